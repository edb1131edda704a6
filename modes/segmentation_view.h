// cSegmentationView: the 3D view of the segmentation dialog. Its factory
// makes the painting mode (CUIM_Segmentation) and the navigation modes; it
// carries the navigation toolbar of the tool views with its tooltip, the
// views' context menu, and a link back to its dialog (the owner tool) for
// the painting mode. It also records the triangle a magic-wand click hit.
#pragma once

#include "overlay/annotations.h"
#include "render/popup_view.h"

#include <cstdint>

struct cMeshTriangle;

class cSegmentationView : public cP3DView
{
public:
    explicit cSegmentationView(CWnd* owner);
    ~cSegmentationView() override;

    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM extra) override;
    CWnd* GetOwnerTool() override { return owner; }
    UINT GetContextMenuResource() override { return kViewContextMenu; }

    // The wand's triangle: remembered with whether it was unmarked (hidden
    // or not selected) at the time.
    using cP3DView::GetActiveObject;
    void SetActiveObject(cMeshTriangle* triangle) override;
    // Marks the remembered triangle when it was unmarked and unmarks it
    // otherwise; returns it (null when none is remembered).
    cMeshTriangle* GetActiveObject() override;

    // The id of the last editing mode the factory made (0: none yet).
    std::uint32_t GetToolModeId() const { return toolModeId; }
    // The toolbar's buttons, in order (the navigation buttons only while
    // rotation is not locked).
    std::size_t GetToolbarButtonCount() const { return toolbarButtons; }

private:
    void BuildToolbar();

    CWnd* owner;
    std::uint32_t toolModeId = 0;
    std::uint32_t restoreFlag = 0;
    std::size_t toolbarButtons = 0;
    tSafePtr<cVE_GlobalToolTip<C3DView>> tooltip;
};
