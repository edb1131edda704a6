// CUIM_Segmentation: the painting mode of the segmentation view. The user
// corrects the detected sharp band with the selection strokes: a finished
// stroke marks the triangles under it (or unmarks them while Alt is held),
// saving the previous marks for "Undo selection" first. The mode reaches
// its dialog through the view's owner tool (ISegmentationTool) and stays
// when Escape is pressed, so the view always comes back to painting.
#pragma once

#include "modes/screen_selection.h"

#include <cstdint>
#include <string>

// The painting mode's id: an editing level, so navigation modes rest on it.
inline constexpr std::uint32_t kSegmentationModeId = 0xCB07E5;

// Commands of the painting mode (the dialog's buttons and the context menu).
enum : UINT
{
    kCmdPaintFilled = 32799,
    kCmdPaintWand = 32800,
    kCmdPaintLine = 32801,
    kCmdPaintFreeHand = 32803,
    kCmdUpdateAnnotationText = 32812,
    kCmdUndoSelection = 40009,
};

// What the painting mode asks of the segmentation dialog.
class ISegmentationTool
{
public:
    virtual ~ISegmentationTool() = default;
    // Whether strokes mark only triangles that face the viewer.
    virtual bool IsFrontFacingOnly() const = 0;
    // The one-level undo of the marks.
    virtual void SaveMarksForUndo() = 0;
    virtual bool RestoreMarksFromUndo() = 0;
    // The dialog's tool buttons (each also switches the mode's tool).
    virtual void UsePaintFilled() = 0;
    virtual void UsePaint() = 0;
    virtual void UseLine() = 0;
    // The text the mode's annotation shows; empty hides it.
    virtual std::wstring GetPendingAnnotationText() const = 0;
};

class CUIM_Segmentation : public CUIM_ScreenSelection
{
public:
    CUIM_Segmentation(std::uint32_t id, std::uint32_t temporary, C3DView* view);

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonUp(POINT point, UINT flags, C3DView* view) override;
    // The second press of a quick pair: a stroke of its own (not for the
    // wand, nor with Ctrl, which leaves it to the view).
    BOOL OnLButtonDblClk(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    BOOL OnCommand(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info, C3DView* view) override;
    void OnActivate(C3DView* view) override;
    void UpdateContextMenu(CMenu* menu) override;
    void DrawOverlay(GpGraphics* graphics, C3DView* view) override;
    // The view returns to painting whatever the user escapes from.
    BOOL IsPersistentOnEscape() override { return 1; }
    const wchar_t* GetClassName() const override { return L"CUIM_Segmentation"; }

    // Applies the finished stroke to the scene's mesh: the stroked visible
    // triangles are marked, or unmarked while Alt is down; the marks before
    // it are saved for undo. True when the stroke changed any triangle's mark.
    bool SelectInStroke();

private:
    ISegmentationTool* Tool() const;
    void Redraw(std::uint32_t level) const;
};
