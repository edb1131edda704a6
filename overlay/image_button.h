// A button that shows one of four state images (normal, hot, checked,
// disabled) loaded from the plug-in's resources; the views build their
// toolbars from these.
#pragma once

#include "overlay/button.h"
#include "overlay/image_control.h"
#include "render/bitmap_resources.h"

#include <array>
#include <new>

// What a view's image-button factory fills in from its arguments.
struct stImageButtonDescription
{
    bool toggle = false;
    std::uint32_t cursorId = 0;
    tButtonCallback click = nullptr;
    void* clickContext = nullptr;
    tButtonCallback update = nullptr;
    void* updateContext = nullptr;
    LPCWSTR resourceType = nullptr; // null: bitmap resources keyed by alpha
    std::uint32_t normalId = 0;
    std::uint32_t hotId = 0;
    std::uint32_t checkedId = 0;
    std::uint32_t disabledId = 0;
    std::uint8_t alpha = 255;
};

enum eImageButtonState : std::uint32_t
{
    kImageNormal = 0,
    kImageHot = 1,
    kImageChecked = 2,
    kImageDisabled = 3,
};

template <class TView> class cC_ImageButton : public virtual cC_Button<TView>
{
public:
    using Button = cC_Button<TView>;

    explicit cC_ImageButton(const stImageButtonDescription& d) : m_image(new cC_Image<TView>())
    {
        this->SetContent(m_image.Get());
        this->SetCursorId(d.cursorId);
        this->SetClickCallback(d.click, d.clickContext);
        this->SetUpdateCallback(d.update, d.updateContext);
        this->SetToggle(d.toggle);
        bool all = LoadStateImage(kImageNormal, d.normalId, d.resourceType, d.alpha);
        all = LoadStateImage(kImageChecked, d.checkedId, d.resourceType, d.alpha) && all;
        all = LoadStateImage(kImageHot, d.hotId, d.resourceType, d.alpha) && all;
        all = LoadStateImage(kImageDisabled, d.disabledId, d.resourceType, d.alpha) && all;
        m_allLoaded = all;
        this->Invalidate();
    }
    // The image control may outlive the button (a parent or a hover still
    // holds it): it is left without an image before the images go.
    ~cC_ImageButton() override
    {
        m_image->SetImage(nullptr, 0);
        for (GpBitmap*& image : m_images)
            if (GpBitmap* old = std::exchange(image, nullptr); old != nullptr)
                GdipDisposeImage(old);
    }

    void SetChecked(BOOL checked) override
    {
        Button::SetChecked(checked);
        ShowStateImage();
    }
    void SetEnabled(BOOL enabled) override
    {
        Button::SetEnabled(enabled);
        ShowStateImage();
    }
    BOOL SetHot(BOOL hot) override
    {
        const BOOL changed = Button::SetHot(hot);
        ShowStateImage();
        return changed;
    }

    // False when an image was asked for and none could be loaded; the state
    // then keeps no image and falls back to the normal one.
    bool LoadStateImage(std::uint32_t state, std::uint32_t id, LPCWSTR type, std::uint8_t alpha)
    {
        if (state >= m_images.size())
            return false;
        if (id == m_ids[state])
            return true;
        GpBitmap* loaded = nullptr;
        if (id != 0)
            loaded = type != nullptr ? LoadImageResource(id, type, nullptr) : LoadBitmapResource(id, alpha);
        GpBitmap* old = std::exchange(m_images[state], loaded);
        m_ids[state] = loaded != nullptr ? id : 0;
        // Show the new choice before the old image goes, so the image control
        // never holds a disposed image.
        ShowStateImage();
        if (old != nullptr)
            GdipDisposeImage(old);
        return id == 0 || loaded != nullptr;
    }
    // Disabled before hot before checked; a state without an image shows
    // the normal one.
    std::uint32_t ChosenState() const
    {
        const std::uint32_t flags = this->GetState();
        std::uint32_t state = kImageNormal;
        if (flags & kButtonDisabled)
            state = kImageDisabled;
        else if (flags & kButtonHot)
            state = kImageHot;
        else if (flags & kButtonChecked)
            state = kImageChecked;
        return m_images[state] != nullptr ? state : kImageNormal;
    }
    GpBitmap* GetStateImage(std::uint32_t state) const { return state < m_images.size() ? m_images[state] : nullptr; }
    cC_Image<TView>* GetImageControl() const { return m_image.Get(); }
    bool AllImagesLoaded() const { return m_allLoaded; }

    const wchar_t* GetClassName() override { return L"cC_ImageButton"; }

private:
    void ShowStateImage() { m_image->SetImage(m_images[ChosenState()], 0); }

    tSafePtr<cC_Image<TView>> m_image;
    std::array<GpBitmap*, 4> m_images{};
    std::array<std::uint32_t, 4> m_ids{};
    bool m_allLoaded = false;
};

// The view's image-button factory: a new button (no reference taken yet),
// or null when it cannot be allocated.
template <class TView>
cC_ImageButton<TView>* CreateImageButton(LPCWSTR resourceType, std::uint32_t normalId, std::uint32_t hotId,
                                         std::uint32_t checkedId, std::uint32_t disabledId, std::uint32_t cursorId,
                                         std::uint8_t alpha, bool toggle, tButtonCallback click,
                                         void* clickContext, tButtonCallback update, void* updateContext)
{
    stImageButtonDescription d;
    d.toggle = toggle;
    d.cursorId = cursorId;
    d.click = click;
    d.clickContext = clickContext;
    d.update = update;
    d.updateContext = updateContext;
    d.resourceType = resourceType;
    d.normalId = normalId;
    d.hotId = hotId;
    d.checkedId = checkedId;
    d.disabledId = disabledId;
    d.alpha = alpha;
    return new (std::nothrow) cC_ImageButton<TView>(d);
}
