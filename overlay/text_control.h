// One string in one font: the text visual measures and draws it through
// GDI+, and the text control is a control that is its own text visual.
#pragma once

#include "overlay/screen_control.h"

#include <algorithm>
#include <cmath>
#include <string>

// {DE45D6F2-5984-4440-A9EB-155A93E991F7}
inline constexpr GUID IID_IV_Text = {0xDE45D6F2, 0x5984, 0x4440, {0xA9, 0xEB, 0x15, 0x5A, 0x93, 0xE9, 0x91, 0xF7}};

class IV_Text
{
public:
    virtual ~IV_Text() = default;
    virtual void SetFontFamily(const wchar_t* family) = 0;
    virtual const wchar_t* GetFontFamily() = 0;
    virtual void SetFontSize(LONG points) = 0;
    virtual LONG GetFontSize() = 0;
    virtual void SetFontStyle(LONG style) = 0;
    virtual LONG GetFontStyle() = 0;
    virtual void SetText(const wchar_t* text) = 0;
    virtual const wchar_t* GetText() = 0;
    virtual void SetAlignment(LONG alignment) = 0;
    virtual void SetLineAlignment(LONG alignment) = 0;
    virtual LONG GetAlignment() = 0;
    virtual LONG GetLineAlignment() = 0;
    virtual void SetTextRenderingHint(LONG hint) = 0;
    virtual LONG GetTextRenderingHint() = 0;
};

// A measured extent in whole pixels: rounded up, with NaN, negative and
// huge extents kept inside the 32-bit range.
inline LONG CeilToPixels(REAL extent)
{
    if (!std::isfinite(extent) || extent <= 0.0f)
        return 0;
    const double up = std::ceil(static_cast<double>(extent));
    return up >= 2147483647.0 ? 2147483647 : static_cast<LONG>(up);
}

template <class TView> class cV_Text : public IV_Text, public virtual IScreenVisual
{
public:
    void* QueryInterface(const GUID& iid) override
    {
        if (IsEqualInterfaceId(iid, IID_IV_Text))
            return static_cast<IV_Text*>(this);
        if (IsEqualInterfaceId(iid, IID_IBase))
            return static_cast<IBase*>(this);
        return nullptr;
    }
    using IBase::QueryInterface;

    void SetFontFamily(const wchar_t* family) override
    {
        m_family = family != nullptr ? family : L"";
        this->Invalidate();
    }
    const wchar_t* GetFontFamily() override { return m_family.c_str(); }
    void SetFontSize(LONG points) override { SetAndInvalidate(m_size, points); }
    LONG GetFontSize() override { return m_size; }
    void SetFontStyle(LONG style) override
    {
        m_style = style;
        this->Invalidate();
    }
    LONG GetFontStyle() override { return m_style; }
    void SetText(const wchar_t* text) override
    {
        const wchar_t* value = text != nullptr ? text : L"";
        if (m_text == value)
            return;
        m_text = value;
        this->Invalidate();
    }
    const wchar_t* GetText() override { return m_text.c_str(); }
    void SetAlignment(LONG alignment) override { SetAndInvalidate(m_alignment, alignment); }
    void SetLineAlignment(LONG alignment) override { SetAndInvalidate(m_lineAlignment, alignment); }
    LONG GetAlignment() override { return m_alignment; }
    LONG GetLineAlignment() override { return m_lineAlignment; }
    void SetTextRenderingHint(LONG hint) override { m_hint = hint; }
    LONG GetTextRenderingHint() override { return m_hint; }

    virtual void TextReserved1() {}
    virtual void TextReserved2() {}
    // Into the box (0, 0, width, height); words wrap at its width.
    virtual void Draw(cOverlayContext* context, SIZE box)
    {
        if (context == nullptr || this->GetForeColour() < 0x01000000u || m_text.empty())
            return;
        GpGraphics* g = context->GetHandle();
        Resources r(*this, context);
        GpSolidFill* brush = nullptr;
        context->Check(GdipCreateSolidFill(this->GetForeColour(), &brush));
        TextRenderingHint previous = TextRenderingHintSystemDefault;
        context->Check(GdipGetTextRenderingHint(g, &previous));
        const auto wanted = static_cast<TextRenderingHint>(m_hint);
        if (wanted != previous)
            context->Check(GdipSetTextRenderingHint(g, wanted));
        const GpRectF layout{0, 0, static_cast<REAL>(box.cx), static_cast<REAL>(box.cy)};
        if (r.font != nullptr && brush != nullptr)
            context->Check(GdipDrawString(g, m_text.c_str(), -1, r.font, &layout, r.format, brush));
        if (wanted != previous)
            context->Check(GdipSetTextRenderingHint(g, previous));
        if (brush != nullptr)
            context->Check(GdipDeleteBrush(brush));
    }
    // The text's extent on one line (or its own lines), in whole pixels.
    virtual SIZE Measure(cOverlayContext* context)
    {
        if (this->IsValid())
            return m_measured;
        m_measured = SIZE{0, 0};
        if (!m_text.empty() && context != nullptr)
        {
            Resources r(*this, context);
            const GpRectF layout{0, 0, 0, 0};
            GpRectF box{0, 0, 0, 0};
            if (r.font != nullptr &&
                context->Check(GdipMeasureString(context->GetHandle(), m_text.c_str(), -1, r.font, &layout, r.format,
                                                 &box, nullptr, nullptr)) == Ok)
                m_measured = SIZE{CeilToPixels(box.Width), CeilToPixels(box.Height)};
        }
        this->Validate();
        return m_measured;
    }
    virtual BOOL TextReserved3() { return 0; }

private:
    // The string format and font of one measure or draw.
    struct Resources
    {
        Resources(cV_Text& text, cOverlayContext* context) : context(context)
        {
            context->Check(GdipCreateStringFormat(0, 0, &format));
            if (format != nullptr)
            {
                context->Check(GdipSetStringFormatAlign(format, static_cast<StringAlignment>(text.m_alignment)));
                context->Check(GdipSetStringFormatLineAlign(format, static_cast<StringAlignment>(text.m_lineAlignment)));
            }
            context->Check(GdipCreateFontFamilyFromName(text.m_family.c_str(), nullptr, &family));
            if (family != nullptr)
                context->Check(GdipCreateFont(family, static_cast<REAL>(text.m_size), text.m_style, UnitPoint, &font));
        }
        ~Resources()
        {
            if (font != nullptr)
                GdipDeleteFont(font);
            if (family != nullptr)
                GdipDeleteFontFamily(family);
            if (format != nullptr)
                GdipDeleteStringFormat(format);
        }
        Resources(const Resources&) = delete;
        Resources& operator=(const Resources&) = delete;

        cOverlayContext* context;
        GpStringFormat* format = nullptr;
        GpFontFamily* family = nullptr;
        GpFont* font = nullptr;
    };

    void SetAndInvalidate(LONG& field, LONG value)
    {
        if (field != value)
        {
            field = value;
            this->Invalidate();
        }
    }

    std::wstring m_family = L"Arial";
    LONG m_style = 0;
    LONG m_size = 10;
    LONG m_lineAlignment = 0;
    LONG m_alignment = 0;
    SIZE m_measured{0, 0};
    LONG m_hint = 0;
    std::wstring m_text;
};

template <class TView> class cC_Text : public virtual IScreenControl_GDI<TView>, public cV_Text<TView>
{
public:
    using cV_Text<TView>::QueryInterface;
    void* QueryInterface(const GUID& iid) override { return cV_Text<TView>::QueryInterface(iid); }

    SIZE Measure(cOverlayContext* context, TView*) override
    {
        if (this->IsValid())
            return this->m_desired;
        const SIZE text = cV_Text<TView>::Measure(context);
        this->StoreDesired(RaiseToMinimum(this->AddPadding(text), this->m_minimum));
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
    // A box smaller than the padding draws nothing rather than a negative box.
    void Paint(cOverlayContext* context, TView* view) override
    {
        if (!this->IsValid())
            Measure(context, view);
        this->RenderBackground(context);
        const stOverlayMargins& pad = this->m_padding;
        const bool shifted = (pad.left != 0 || pad.top != 0) && context != nullptr;
        if (shifted)
            context->Check(GdipTranslateWorldTransform(context->GetHandle(), static_cast<REAL>(pad.left),
                                                       static_cast<REAL>(pad.top), MatrixOrderPrepend));
        const RECT a = this->GetArrangedRect();
        const SIZE box{std::max<LONG>(0, ClampToLong(std::int64_t{RectWidth(a)} - pad.left - pad.right)),
                       std::max<LONG>(0, ClampToLong(std::int64_t{RectHeight(a)} - pad.top - pad.bottom))};
        if (box.cx > 0 && box.cy > 0)
            cV_Text<TView>::Draw(context, box);
        if (shifted)
            context->Check(GdipTranslateWorldTransform(context->GetHandle(), -static_cast<REAL>(pad.left),
                                                       -static_cast<REAL>(pad.top), MatrixOrderPrepend));
    }
    const wchar_t* GetClassName() override { return L"cC_Text"; }
};
