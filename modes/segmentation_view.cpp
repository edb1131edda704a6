#include "modes/segmentation_view.h"

#include "core/mesh_triangle.h"
#include "modes/mode_support.h"
#include "modes/navigation_toolbar.h"
#include "modes/segmentation_paint_mode.h"
#include "overlay/view_3d_overlay.h"

#include <new>

cSegmentationView::cSegmentationView(CWnd* owner) : owner(owner)
{
    SetScreenObjectManager(std::make_unique<C3DViewOverlay>(this));
    BuildToolbar();
}

cSegmentationView::~cSegmentationView() = default;

void cSegmentationView::BuildToolbar()
{
    stNavigationToolbarOptions options;
    options.zoomOnly = rotationLocked != 0;
    stNavigationToolbar toolbar = BuildNavigationToolbar(*this, options);
    tooltip = toolbar.tooltip;
    toolbarButtons = toolbar.buttonCount;
}

cSegmentationView::Mode* cSegmentationView::CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM extra)
{
    if (id != kSegmentationModeId)
        return cP3DView::CreateMode(id, temporary, extra);
    toolModeId = id;
    return new (std::nothrow) CUIM_Segmentation(id, temporary, this);
}

void cSegmentationView::SetActiveObject(cMeshTriangle* triangle)
{
    cP3DView::SetActiveObject(triangle);
    restoreFlag = triangle && SeedClickSelects(*triangle) ? 1u : 0u;
}

cMeshTriangle* cSegmentationView::GetActiveObject()
{
    return AimSeedTriangle(cP3DView::GetActiveObject(), restoreFlag != 0);
}
