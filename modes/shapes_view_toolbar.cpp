// The shapes view's floating toolbar (the tool views' navigation toolbar
// closed by the world axes switch) and the pictures and labels its editing
// modes show.
#include "modes/shapes_view.h"

#include "core/base.h"
#include "modes/navigation_toolbar.h"
#include "overlay/view_3d_overlay.h"
#include "render/bitmap_resources.h"

#include <new>

namespace
{

void AxesClicked(IBase*, void* c)
{
    if (auto* view = dynamic_cast<cCPView*>(static_cast<C3DView*>(c)))
        view->ToggleCoordinateSystem();
}

} // namespace

void cCPView::BuildToolbar()
{
    stNavigationToolbarOptions options;
    options.axesClick = &AxesClicked;
    stNavigationToolbar toolbar = BuildNavigationToolbar(*this, options);
    m_tooltip = toolbar.tooltip;
    m_toolbarButtons = toolbar.buttonCount;
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
