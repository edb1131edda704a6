#include "modes/navigation_toolbar.h"

#include "core/progress.h"
#include "overlay/image_button.h"
#include "overlay/view_3d_overlay.h"

#include <new>

namespace
{

C3DView* ViewOf(void* context)
{
    return static_cast<C3DView*>(context);
}

void ZoomAllClicked(IBase*, void* c) { ViewOf(c)->ZoomAll(); }
void ZoomRectClicked(IBase*, void* c) { ViewOf(c)->StartZoomRectMode(); }
void RotateClicked(IBase*, void* c) { ViewOf(c)->StartRotateMode(); }
void TranslateClicked(IBase*, void* c) { ViewOf(c)->StartTranslateMode(); }
void ZoomClicked(IBase*, void* c) { ViewOf(c)->StartZoomMode(); }
void FrontClicked(IBase*, void* c) { ViewOf(c)->OnFrontView(); }
void BackClicked(IBase*, void* c) { ViewOf(c)->OnBackView(); }
void LeftClicked(IBase*, void* c) { ViewOf(c)->OnLeftView(); }
void RightClicked(IBase*, void* c) { ViewOf(c)->OnRightView(); }
void TopClicked(IBase*, void* c) { ViewOf(c)->OnTopView(); }
void BottomClicked(IBase*, void* c) { ViewOf(c)->OnBottomView(); }
void IsometricClicked(IBase*, void* c) { ViewOf(c)->CycleDiagonalView(); }

template <bool (C3DView::*Checked)() const> void UpdateCheck(IBase* button, void* c)
{
    if (auto* b = dynamic_cast<cC_Button<C3DView>*>(button))
        b->SetChecked((ViewOf(c)->*Checked)());
}

struct stNavigationButton
{
    const wchar_t* title;
    const wchar_t* description;
    std::uint32_t images[4];
    bool toggle;
    tButtonCallback click;
    tButtonCallback check;
};

// The two zoom buttons every tool view shows.
const stNavigationButton kZoomButtons[] = {
    {L"Zoom All", L"Sets the view so all objects are visible", {17008, 17009, 17009, 17008}, false, &ZoomAllClicked,
     nullptr},
    {L"Rectangular Zoom", L"Zooms the scene to a user defined rectangular area", {17031, 17032, 17032, 17031}, true,
     &ZoomRectClicked, &UpdateCheck<&C3DView::UpdateZoomRectCheck>},
};

// The buttons that turn the camera, left out while rotation is locked.
const stNavigationButton kNavigationButtons[] = {
    {L"Rotate Mode", L"Enables mode when using left mouse button the scene can be rotated",
     {17010, 17011, 17011, 17010}, true, &RotateClicked, &UpdateCheck<&C3DView::UpdateRotateCheck>},
    {L"Translate Mode", L"Enables mode when using left mouse button the scene can be translated",
     {17012, 17014, 17014, 17012}, true, &TranslateClicked, &UpdateCheck<&C3DView::UpdateTranslateCheck>},
    {L"Zoom Mode", L"Enables mode when using left mouse button the scene can be zoomed in and out",
     {17015, 17016, 17016, 17015}, true, &ZoomClicked, &UpdateCheck<&C3DView::UpdateZoomCheck>},
    {L"Front View    (F)", L"Sets the view so the objects are vizible from -Y", {17019, 17020, 17020, 17019}, false,
     &FrontClicked, nullptr},
    {L"Back View    (B)", L"Sets the view so the objects are vizible from +Y", {17021, 17030, 17030, 17021}, false,
     &BackClicked, nullptr},
    {L"Left View    (L)", L"Sets the view so the objects are vizible from -X", {17022, 17023, 17023, 17022}, false,
     &LeftClicked, nullptr},
    {L"Right View    (R)", L"Sets the view so the objects are vizible from +X", {17024, 17025, 17025, 17024}, false,
     &RightClicked, nullptr},
    {L"Top View    (T)", L"Sets the view so the objects are vizible from +Z", {17026, 17027, 17027, 17026}, false,
     &TopClicked, nullptr},
    {L"Bottom View    (M)", L"Sets the view so the objects are vizible from -Z", {17028, 17029, 17029, 17028},
     false, &BottomClicked, nullptr},
    {L"Isometric View    (I)", L"Sets the view to isometric", {18037, 18038, 18038, 18037}, false,
     &IsometricClicked, nullptr},
};

// The world-axes switch (its texts stay untranslated); the view that shows
// it gives the click.
const stNavigationButton kAxesButton = {L"Coordinate System Display",
                                        L"Shows or hides global coordinates system in the scene",
                                        {3032, 3033, 3033, 3032},
                                        false,
                                        nullptr,
                                        nullptr};

class cToolbarColumn
{
public:
    cToolbarColumn(C3DView& view, cC_StackPanel<C3DView>& stack, cVE_GlobalToolTip<C3DView>* tooltip)
        : m_view(view), m_stack(stack), m_tooltip(tooltip)
    {
    }

    void Add(const stNavigationButton& b, bool translated)
    {
        tSafePtr<cC_ImageButton<C3DView>> button(CreateImageButton<C3DView>(
            nullptr, b.images[0], b.images[1], b.images[2], b.images[3], kNavigationToolbarCursor,
            kNavigationToolbarAlpha, b.toggle, b.click, &m_view, b.check, &m_view));
        if (!button)
            return;
        m_stack.AddChild(button.Get());
        if (translated)
            button->SetToolTipText(TranslateText(b.title), TranslateText(b.description));
        else
            button->SetToolTipText(b.title, b.description);
        button->SetToolTip(m_tooltip);
        ++m_count;
    }
    std::size_t GetCount() const { return m_count; }

private:
    C3DView& m_view;
    cC_StackPanel<C3DView>& m_stack;
    cVE_GlobalToolTip<C3DView>* m_tooltip;
    std::size_t m_count = 0;
};

} // namespace

stNavigationToolbar BuildNavigationToolbar(C3DView& view, const stNavigationToolbarOptions& options)
{
    stNavigationToolbar result;
    auto* overlay = dynamic_cast<C3DViewOverlay*>(view.GetScreenObjectManager());
    if (!overlay)
        return result;
    result.tooltip = new (std::nothrow) cVE_GlobalToolTip<C3DView>();
    if (result.tooltip)
    {
        result.tooltip->SetHorizontalAlignment(kAlignNear);
        result.tooltip->SetVerticalAlignment(kAlignCentre);
        result.tooltip->SetMarginLTRB(0, 60, 0, 0);
        overlay->GetManager().AddGDIControl(result.tooltip.Get());
    }
    tSafePtr<cC_StackPanel<C3DView>> stack(new (std::nothrow) cC_StackPanel<C3DView>());
    tSafePtr<cC_Frame<C3DView>> frame(new (std::nothrow) cC_Frame<C3DView>());
    if (!stack || !frame)
        return result;
    stack->SetHorizontalAlignment(kAlignNear);
    stack->SetVerticalAlignment(kAlignCentre);
    stack->SetOrientation(kStackVertical);

    cToolbarColumn column(view, *stack, result.tooltip.Get());
    for (const stNavigationButton& b : kZoomButtons)
        column.Add(b, true);
    if (!options.zoomOnly)
        for (const stNavigationButton& b : kNavigationButtons)
            column.Add(b, true);
    if (options.axesClick)
    {
        stNavigationButton axes = kAxesButton;
        axes.click = options.axesClick;
        column.Add(axes, false);
    }
    result.buttonCount = column.GetCount();

    frame->SetContent(stack.Get());
    frame->SetFillColour(0x3CA0A0A0u);
    frame->SetBorderColour(0x3CFFFFFFu);
    frame->SetHorizontalAlignment(kAlignNear);
    frame->SetVerticalAlignment(kAlignCentre);
    frame->SetMarginLTRB(0, -5, 0, -5);
    frame->SetPaddingLTRB(7, 12, 7, 7);
    frame->SetRoundCorners(1, 5);
    overlay->GetManager().AddGDIControl(frame.Get());
    return result;
}
