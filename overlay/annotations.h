// Ready-made frames of the 3D views: a text label and a picture that the
// modes place at projected points, and the view's single tooltip that shows
// the title and description of the button under the mouse.
#pragma once

#include "overlay/button.h"
#include "overlay/frame_control.h"
#include "overlay/image_control.h"
#include "overlay/stack_panel.h"
#include "overlay/text_control.h"

template <class TView> class cScreenAnnotation_Text : public cC_Frame<TView>
{
public:
    cScreenAnnotation_Text()
    {
        tSafePtr<cC_Text<TView>> label(new cC_Text<TView>());
        m_label = label.Get();
        this->SetContent(label.Get());
    }
    // The label is the frame's content, which holds it.
    cC_Text<TView>* GetLabel() const { return m_label; }

private:
    cC_Text<TView>* m_label = nullptr;
};

template <class TView> class cScreenAnnotation_Image : public cC_Frame<TView>, public IV_Image
{
public:
    cScreenAnnotation_Image()
    {
        tSafePtr<cC_Image<TView>> image(new cC_Image<TView>());
        m_image = image.Get();
        this->SetContent(image.Get());
    }
    void* QueryInterface(const GUID& iid) override
    {
        if (IsEqualInterfaceId(iid, IID_IV_Image))
            return static_cast<IV_Image*>(this);
        return cC_Frame<TView>::QueryInterface(iid);
    }
    using IBase::QueryInterface;
    void SetImage(GpImage* image, BOOL owns) override
    {
        if (m_image != nullptr)
            m_image->SetImage(image, owns);
    }
    cC_Image<TView>* GetImageControl() const { return m_image; }

private:
    cC_Image<TView>* m_image = nullptr;
};

template <class TView> class cVE_GlobalToolTip : public cC_Frame<TView>, public IVEffect
{
public:
    cVE_GlobalToolTip()
    {
        tSafePtr<cC_StackPanel<TView>> stack(new cC_StackPanel<TView>());
        stack->SetOrientation(kStackVertical);
        stack->SetSpacing(3);
        m_title = new cC_Text<TView>();
        m_description = new cC_Text<TView>();
        stack->AddChild(m_title.Get());
        stack->AddChild(m_description.Get());
        this->SetContent(stack.Get());
        this->SetVisible(0);
        this->SetFillColour(0xFFFAFAFAu);
        this->SetSquareBorder(0xFF000000u);
        this->SetPadding(7);
        this->GetFrameVisual().SetRoundCorners(1, 5);
        m_title->SetHorizontalAlignment(kAlignStretch);
        m_title->SetBackColour(0xFFFAFAFAu);
        m_title->SetForeColour(0xFF000000u);
        m_title->SetFontFamily(L"Arial");
        m_title->SetFontStyle(1);
        m_title->SetFontSize(10);
        m_description->SetBackColour(0xFFFAFAFAu);
        m_description->SetForeColour(0xFF000000u);
        m_description->SetFontFamily(L"Arial");
        m_description->SetFontSize(8);
    }

    void* QueryInterface(const GUID& iid) override
    {
        return IsEqualInterfaceId(iid, IID_IVEffect) ? static_cast<IVEffect*>(this) : nullptr;
    }
    using IBase::QueryInterface;

    // A control that is no button keeps the texts of the last one.
    void Show(IBase* control) override
    {
        if (control != nullptr)
            if (auto* button = static_cast<cC_Button<TView>*>(control->QueryInterface(IID_IC_Button)); button != nullptr)
            {
                if (const wchar_t* title = button->GetToolTipTitle(); title != nullptr)
                    m_title->SetText(title);
                if (const wchar_t* description = button->GetToolTipDescription(); description != nullptr)
                    m_description->SetText(description);
            }
        this->SetVisible(1);
    }
    void Hide() override { this->SetVisible(0); }

    cC_Text<TView>* GetTitle() const { return m_title.Get(); }
    cC_Text<TView>* GetDescription() const { return m_description.Get(); }

private:
    tSafePtr<cC_Text<TView>> m_title;
    tSafePtr<cC_Text<TView>> m_description;
};
