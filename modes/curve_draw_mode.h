// CUIM_DrawCurveOnMesh: the guide-curve tool of the shapes view. Each left
// click adds the mesh point under the cursor (Shift keeps the new segment on
// the screen horizontal or vertical through the last point), a rubber band
// follows the cursor, and Finish (or a double click) hands the points to the
// dialog, which makes them a guide curve of the current shape. Navigation
// by the mouse profile keeps working while drawing.
#pragma once

#include "core/polyline.h"
#include "core/vertex.h"
#include "render/navigation_modes.h"

#include <cstdint>

class cCPView;
class IBase;

// Commands of the drawing's context menu.
enum : UINT
{
    kCmdRemoveLastPoint = 32814,
    kCmdFinishCurve = 32815,
    kCmdRestartDrawing = 32816,
};
// Cursors: plain, on the horizontal and on the vertical through the last
// point.
inline constexpr std::uint32_t kCursorDrawOnMesh = 3041;
inline constexpr std::uint32_t kCursorDrawHorizontal = 3043;
inline constexpr std::uint32_t kCursorDrawVertical = 3044;
// The markers' radius in pixels.
inline constexpr int kDrawnPointMarkerPixels = 4;

// What takes a finished curve: the window that owns the view (the shapes
// dialog) implements it. The points are world positions with the normals of
// the triangles they were picked on; the receiver copies what it keeps.
class IGuideCurveReceiver
{
public:
    virtual ~IGuideCurveReceiver() = default;
    virtual void ApplyGuideCurve(const tFramePolyline<cVertex>& points) = 0;
};

class CUIM_DrawCurveOnMesh : public CUIM_ZoomRect
{
public:
    CUIM_DrawCurveOnMesh(std::uint32_t id, std::uint32_t temporary, cCPView* view);
    ~CUIM_DrawCurveOnMesh() override = default;

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonDblClk(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    BOOL OnCommand(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info, C3DView* view) override;
    void OnEscape(C3DView* view) override;
    void OnActivate(C3DView* view) override;
    int OnSetCursor(C3DView* view, UINT hitTest, UINT message) override;
    BOOL GetContextMenu(UINT* menuId, CWnd** target) override;
    void DrawGL(C3DView* view) override;
    const wchar_t* GetClassName() const override { return L"CUIM_DrawCurveOnMesh"; }

    const tFramePolyline<cVertex>& GetPoints() const { return points; }
    // The mesh moved by m (Reset, an alignment): the points clicked so far
    // move with it, normals turned.
    void MoveWithMesh(const double m[12]);
    POINT GetCursorPoint() const { return cursor; }

private:
    // The last point in client pixels; false for an empty polyline.
    bool LastPointOnScreen(POINT* out) const;
    POINT SnappedToLastPoint(POINT point) const;
    void RemoveLastPoint();
    void Invalidate() const;

    cCPView* view;
    POINT cursor{0, 0};
    tFramePolyline<cVertex> points;
};

// Sets (or, with null, forgets) the receiver of a view's finished curves;
// without one, the view's owner window receives them when it is a receiver.
void SetGuideCurveReceiver(cCPView* view, IGuideCurveReceiver* receiver);

// Installs the maker of the drawing mode in the shapes view's factory.
void RegisterCurveDrawMode();
