// An image shown at its natural size: the image visual, the control that
// hosts a visual (control and visual share one set of visible and valid
// flags and colours), and the image control built from the two.
#pragma once

#include "overlay/screen_control.h"

#include <algorithm>

// {EF7CB58C-2CE5-4DA3-8DFC-43B8AF73C9E0}
inline constexpr GUID IID_IV_Image = {0xEF7CB58C, 0x2CE5, 0x4DA3, {0x8D, 0xFC, 0x43, 0xB8, 0xAF, 0x73, 0xC9, 0xE0}};

class IV_Image
{
public:
    virtual ~IV_Image() = default;
    // `owns`: the visual disposes of the image when it lets it go.
    virtual void SetImage(GpImage* image, BOOL owns) = 0;
};

template <class TView> class cV_Image : public IV_Image, public virtual IScreenVisual
{
public:
    cV_Image() = default;
    cV_Image(const cV_Image&) = delete;
    cV_Image& operator=(const cV_Image&) = delete;
    ~cV_Image() override { ReleaseImage(); }

    void* QueryInterface(const GUID& iid) override
    {
        if (IsEqualInterfaceId(iid, IID_IV_Image))
            return static_cast<IV_Image*>(this);
        if (IsEqualInterfaceId(iid, IID_IScreenVisual))
            return static_cast<IScreenVisual*>(this);
        return nullptr;
    }
    using IBase::QueryInterface;

    virtual void VisualReserved1() {}
    virtual void VisualReserved2() {}
    // At the natural size at the origin; the size offered is not used.
    virtual void Draw(cOverlayContext* context, SIZE, TView* view)
    {
        const SIZE size = cV_Image::Measure(context, view);
        if (m_image == nullptr || context == nullptr)
            return;
        context->Check(GdipDrawImageRectRectI(context->GetHandle(), m_image, 0, 0, size.cx, size.cy, 0, 0, size.cx,
                                              size.cy, UnitPixel, nullptr, nullptr, nullptr));
    }
    virtual SIZE Measure(cOverlayContext*, TView*)
    {
        if (this->IsValid())
            return m_natural;
        UINT w = 0, h = 0;
        if (m_image != nullptr)
        {
            GdipGetImageWidth(m_image, &w);
            GdipGetImageHeight(m_image, &h);
        }
        m_natural = SIZE{ClampToLong(w), ClampToLong(h)};
        m_measuredImage = m_image;
        this->Validate();
        return m_natural;
    }
    virtual BOOL VisualReserved3() { return 0; }

    // An image of the same pixel size keeps the layout. The old size is the
    // one measured before, never read from an image that may be gone.
    void SetImage(GpImage* image, BOOL owns) override
    {
        if (image == m_image)
        {
            m_owns = owns != 0;
            return;
        }
        bool sameSize = false;
        if (m_image != nullptr && image != nullptr)
        {
            UINT w = 0, h = 0;
            GdipGetImageWidth(image, &w);
            GdipGetImageHeight(image, &h);
            sameSize = m_measuredImage == m_image && ClampToLong(w) == m_natural.cx && ClampToLong(h) == m_natural.cy;
        }
        ReleaseImage();
        m_image = image;
        m_owns = owns != 0;
        if (sameSize)
            m_measuredImage = image;
        else
            this->Invalidate();
    }
    GpImage* GetImage() const { return m_image; }

protected:
    SIZE m_natural{0, 0};

private:
    void ReleaseImage()
    {
        if (m_image != nullptr && m_owns)
            GdipDisposeImage(m_image);
        m_image = nullptr;
        m_measuredImage = nullptr;
    }

    GpImage* m_image = nullptr;
    bool m_owns = false;
    // The image whose size m_natural holds.
    GpImage* m_measuredImage = nullptr;
};

template <class TView, class TVisual> class cC_VisualHost : public virtual IScreenControl_GDI<TView>, public TVisual
{
public:
    void* QueryInterface(const GUID&) override { return nullptr; }
    using IBase::QueryInterface;

    // The visual's size plus the padding, raised to the minimum.
    SIZE Measure(cOverlayContext* context, TView* view) override
    {
        if (this->IsValid())
            return this->m_desired;
        const SIZE v = TVisual::Measure(context, view);
        this->StoreDesired(RaiseToMinimum(this->AddPadding(v), this->m_minimum));
        this->Validate();
        return this->m_desired;
    }
    RECT Arrange(cOverlayContext* context, const SIZE* available, TView* view) override
    {
        RECT r{};
        if (this->ArrangeCacheHit(available, &r))
            return r;
        const SIZE desired = Measure(context, view);
        if (available == nullptr)
            return RECT{0, 0, desired.cx, desired.cy};
        r = this->AlignInAvailable(desired, *available);
        this->StoreArrange(*available, r);
        return r;
    }
    void Paint(cOverlayContext* context, TView* view) override
    {
        if (!this->IsValid())
            Measure(context, view);
        this->RenderBackground(context);
        const stOverlayMargins& pad = this->m_padding;
        const bool shifted = pad.left != 0 || pad.top != 0;
        if (shifted && context != nullptr)
            context->Check(GdipTranslateWorldTransform(context->GetHandle(), static_cast<REAL>(pad.left),
                                                       static_cast<REAL>(pad.top), MatrixOrderPrepend));
        const RECT a = this->GetArrangedRect();
        const SIZE content{std::max<LONG>(0, ClampToLong(std::int64_t{RectWidth(a)} - pad.right - pad.left)),
                           std::max<LONG>(0, ClampToLong(std::int64_t{RectHeight(a)} - pad.bottom - pad.top))};
        TVisual::Draw(context, content, view);
        if (shifted && context != nullptr)
            context->Check(GdipTranslateWorldTransform(context->GetHandle(), -static_cast<REAL>(pad.left),
                                                       -static_cast<REAL>(pad.top), MatrixOrderPrepend));
    }
    const wchar_t* GetClassName() override { return L"cC_VisualHost"; }
};

template <class TView> class cC_Image : public cC_VisualHost<TView, cV_Image<TView>>
{
public:
    const wchar_t* GetClassName() override { return L"cC_Image"; }
};
