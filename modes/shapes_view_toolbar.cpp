// The shapes view's floating toolbar: zoom and navigation buttons, the
// standard views, the isometric cycle and the world axes switch, with one
// tooltip frame that every button shares.
#include "modes/shapes_view.h"

#include "core/base.h"
#include "core/progress.h"
#include "overlay/image_button.h"
#include "overlay/view_3d_overlay.h"
#include "render/bitmap_resources.h"

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
void FrontClicked(IBase*, void* c) { ViewOf(c)->SetStandardView(kFrontView); }
void BackClicked(IBase*, void* c) { ViewOf(c)->SetStandardView(kBackView); }
void LeftClicked(IBase*, void* c) { ViewOf(c)->SetStandardView(kLeftView); }
void RightClicked(IBase*, void* c) { ViewOf(c)->SetStandardView(kRightView); }
void TopClicked(IBase*, void* c) { ViewOf(c)->SetStandardView(kTopView); }
void BottomClicked(IBase*, void* c) { ViewOf(c)->SetStandardView(kBottomView); }
void IsometricClicked(IBase*, void* c) { ViewOf(c)->CycleDiagonalView(); }
void AxesClicked(IBase*, void* c)
{
    if (auto* view = dynamic_cast<cCPView*>(ViewOf(c)))
        view->ToggleCoordinateSystem();
}

// A navigation toggle shows as checked exactly while its mode is active.
template <std::uint32_t ModeId> void UpdateCheck(IBase* button, void* c)
{
    auto* b = dynamic_cast<cC_Button<C3DView>*>(button);
    const auto* mode = ViewOf(c)->GetActiveMode();
    if (b)
        b->SetChecked(mode && mode->GetId() == ModeId);
}

struct stShapesToolbarButton
{
    const wchar_t* title;
    const wchar_t* description;
    std::uint32_t images[4];
    bool toggle;
    tButtonCallback click;
    tButtonCallback check;
    bool translated;
};

const stShapesToolbarButton kShapesToolbar[] = {
    {L"Zoom All", L"Sets the view so all objects are visible", {17008, 17009, 17009, 17008}, false, &ZoomAllClicked,
     nullptr, true},
    {L"Rectangular Zoom", L"Zooms the scene to a user defined rectangular area", {17031, 17032, 17032, 17031}, true,
     &ZoomRectClicked, &UpdateCheck<kZoomRectModeId>, true},
    {L"Rotate Mode", L"Enables mode when using left mouse button the scene can be rotated",
     {17010, 17011, 17011, 17010}, true, &RotateClicked, &UpdateCheck<kRotateModeId>, true},
    {L"Translate Mode", L"Enables mode when using left mouse button the scene can be translated",
     {17012, 17014, 17014, 17012}, true, &TranslateClicked, &UpdateCheck<kTranslateModeId>, true},
    {L"Zoom Mode", L"Enables mode when using left mouse button the scene can be zoomed in and out",
     {17015, 17016, 17016, 17015}, true, &ZoomClicked, &UpdateCheck<kZoomModeId>, true},
    {L"Front View    (F)", L"Sets the view so the objects are vizible from -Y", {17019, 17020, 17020, 17019}, false,
     &FrontClicked, nullptr, true},
    {L"Back View    (B)", L"Sets the view so the objects are vizible from +Y", {17021, 17030, 17030, 17021}, false,
     &BackClicked, nullptr, true},
    {L"Left View    (L)", L"Sets the view so the objects are vizible from -X", {17022, 17023, 17023, 17022}, false,
     &LeftClicked, nullptr, true},
    {L"Right View    (R)", L"Sets the view so the objects are vizible from +X", {17024, 17025, 17025, 17024}, false,
     &RightClicked, nullptr, true},
    {L"Top View    (T)", L"Sets the view so the objects are vizible from +Z", {17026, 17027, 17027, 17026}, false,
     &TopClicked, nullptr, true},
    {L"Bottom View    (M)", L"Sets the view so the objects are vizible from -Z", {17028, 17029, 17029, 17028},
     false, &BottomClicked, nullptr, true},
    {L"Isometric View    (I)", L"Sets the view to isometric", {18037, 18038, 18038, 18037}, false,
     &IsometricClicked, nullptr, true},
    {L"Coordinate System Display", L"Shows or hides global coordinates system in the scene",
     {3032, 3033, 3033, 3032}, false, &AxesClicked, nullptr, false},
};

} // namespace

void cCPView::BuildToolbar()
{
    auto* overlay = dynamic_cast<C3DViewOverlay*>(GetScreenObjectManager());
    if (!overlay)
        return;
    m_tooltip = new (std::nothrow) cVE_GlobalToolTip<C3DView>();
    if (m_tooltip)
    {
        m_tooltip->SetHorizontalAlignment(kAlignNear);
        m_tooltip->SetVerticalAlignment(kAlignCentre);
        m_tooltip->SetMarginLTRB(0, 60, 0, 0);
        overlay->GetManager().AddGDIControl(m_tooltip.Get());
    }
    tSafePtr<cC_StackPanel<C3DView>> stack(new (std::nothrow) cC_StackPanel<C3DView>());
    tSafePtr<cC_Frame<C3DView>> frame(new (std::nothrow) cC_Frame<C3DView>());
    if (!stack || !frame)
        return;
    stack->SetHorizontalAlignment(kAlignNear);
    stack->SetVerticalAlignment(kAlignCentre);
    stack->SetOrientation(kStackVertical);
    for (const stShapesToolbarButton& b : kShapesToolbar)
    {
        tSafePtr<cC_ImageButton<C3DView>> button(CreateImageButton<C3DView>(
            nullptr, b.images[0], b.images[1], b.images[2], b.images[3], kShapesToolbarCursor, kShapesToolbarAlpha,
            b.toggle, b.click, static_cast<C3DView*>(this), b.check, static_cast<C3DView*>(this)));
        if (!button)
            continue;
        stack->AddChild(button.Get());
        if (b.translated)
            button->SetToolTipText(TranslateText(b.title), TranslateText(b.description));
        else
            button->SetToolTipText(b.title, b.description);
        button->SetToolTip(m_tooltip.Get());
        ++m_toolbarButtons;
    }
    frame->SetContent(stack.Get());
    frame->SetFillColour(0x3CA0A0A0u);
    frame->SetBorderColour(0x3CFFFFFFu);
    frame->SetHorizontalAlignment(kAlignNear);
    frame->SetVerticalAlignment(kAlignCentre);
    frame->SetMarginLTRB(0, -5, 0, -5);
    frame->SetPaddingLTRB(7, 12, 7, 7);
    frame->SetRoundCorners(1, 5);
    overlay->GetManager().AddGDIControl(frame.Get());
}

void cCPView::BuildAnnotations()
{
    auto* overlay = dynamic_cast<C3DViewOverlay*>(GetScreenObjectManager());
    if (!overlay)
        return;
    // Two pictures and two labels that the curve and profile editors show;
    // all start hidden.
    const std::uint32_t images[2] = {kShapesViewImage1, kShapesViewImage2};
    for (int i = 0; i < 2; ++i)
    {
        m_images[i] = new (std::nothrow) cScreenAnnotation_Image<C3DView>();
        if (!m_images[i])
            continue;
        if (GpBitmap* bitmap = LoadBitmapResource(images[i], 255))
            m_images[i]->SetImage(bitmap, TRUE);
        m_images[i]->SetHorizontalAlignment(kAlignNear);
        m_images[i]->SetVerticalAlignment(kAlignNear);
        m_images[i]->SetVisible(FALSE);
    }
    m_labels[0] = new (std::nothrow) cScreenAnnotation_Text<C3DView>();
    if (m_labels[0])
    {
        m_labels[0]->SetSquareBorder(0xFF000000u);
        m_labels[0]->SetFillColour(0xFFFFFFFFu);
        m_labels[0]->GetLabel()->SetForeColour(0xFF000000u);
        m_labels[0]->GetLabel()->SetBackColour(0x00B4B4B4u);
        m_labels[0]->GetLabel()->SetFontSize(12);
        m_labels[0]->SetHorizontalAlignment(kAlignNear);
        m_labels[0]->SetVerticalAlignment(kAlignNear);
        m_labels[0]->SetVisible(FALSE);
    }
    m_labels[1] = new (std::nothrow) cScreenAnnotation_Text<C3DView>();
    if (m_labels[1])
    {
        m_labels[1]->SetSquareBorder(0xFA1E1E1Eu);
        m_labels[1]->SetRoundCorners(TRUE, 7);
        m_labels[1]->SetFillColour(0xC8FFFFFFu);
        m_labels[1]->GetLabel()->SetForeColour(0xFF000000u);
        m_labels[1]->GetLabel()->SetBackColour(0x00B4B4B4u);
        m_labels[1]->GetLabel()->SetFontSize(12);
        m_labels[1]->SetHorizontalAlignment(kAlignFar);
        m_labels[1]->SetVerticalAlignment(kAlignCentre);
        m_labels[1]->SetMarginLTRB(5, 5, 5, 5);
        m_labels[1]->SetMinimumSize(50, 10);
        m_labels[1]->SetVisible(FALSE);
    }
    for (auto& image : m_images)
        if (image)
            overlay->GetManager().AddGDIControl(image.Get());
    for (auto& label : m_labels)
        if (label)
            overlay->GetManager().AddGDIControl(label.Get());
}
