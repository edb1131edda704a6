// CUIM_ExtendSurface: the default mode of the shapes view. On top of the
// selection strokes of CUIM_ScreenSelection it applies a finished stroke to
// the mesh (select, or deselect with Alt), turns a magic-wand click into the
// seed the shapes dialog grows the selection from, shows the current
// shape's handles as cubes and drags them along their directions, opens the
// quick shape pickers on the middle button, and passes the shapes view's
// selection commands to the dialog.
//
// Handle hover is colour-coded: after every full redraw the handles are
// drawn into the back buffer in ids (handle i as i + 1), and a mouse move
// reads the one pixel under the cursor while nothing else has been drawn
// there since. At most kMaxShapeHandles handles can be hovered.
#pragma once

#include "modes/screen_selection.h"

#include <cstdint>
#include <vector>

class IBase;
class IShapesViewOwner;
class ST_IGeometry;
class cCPView;
class cMeshObject;

inline constexpr int kMaxShapeHandles = 99;
// The cursor over a handle.
inline constexpr std::uint32_t kCursorOverHandle = 3021;

// The command ids the mode answers.
enum : UINT
{
    kCmdUndoSelection = 40009,
    kCmdClearFeaturePoints = 32798,
    kCmdPaintFilled = 32799,
    kCmdPaintWand = 32800,
    kCmdPaintLine = 32801,
    kCmdPaintDrawing = 32803,
    kCmdReinitializePrimitive = 32804,
    kCmdUpdateAnnotation = 32812,
    kCmdPrimitiveVertical = 32850,
    kCmdPrimitiveHorizontal = 32851,
    kCmdSelectFrontFacingOnly = 32862,
    kCmdNewShape = 32867,
    kCmdTransferToHost = 32868,
};

// +1.0 when a drag along dragWorld grows the handle (towards its tip, or
// across), -1.0 when it goes from the tip back towards the handle's point.
// projectedPoint and projectedTip are the handle's point and tip in the
// view plane.
double HandleDragSign(const float projectedPoint[3], const float projectedTip[3], const float dragWorld[3]);

// Applies the marks of a finished stroke (triangle value 4) to the mesh:
// selects the marked triangles, or deselects them, then rebuilds the vertex
// marks (vertex bit 1 on exactly the vertices of selected visible triangles).
void ApplyMarkedTriangles(cMesh& mesh, bool deselect);
// Vertex bit 1 on exactly the vertices of selected, visible triangles.
void RebuildSelectedVertexMarks(cMesh& mesh);

class CUIM_ExtendSurface : public CUIM_ScreenSelection
{
public:
    CUIM_ExtendSurface(std::uint32_t id, std::uint32_t temporary, IBase* initial, cCPView* view);
    ~CUIM_ExtendSurface() override;

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonUp(POINT point, UINT flags, C3DView* view) override;
    // The second press of a quick pair: a press of its own for the stroke
    // tools and a handle; the wand and Ctrl leave it to the view.
    BOOL OnLButtonDblClk(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    BOOL OnRButtonUp(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMButtonUp(POINT, UINT, C3DView*) override { return 1; }
    BOOL OnCommand(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info, C3DView* view) override;
    void OnEscape(C3DView* view) override;
    void OnActivate(C3DView* view) override;
    void OnSuspend(C3DView* view, std::uint32_t next) override;
    int OnSetCursor(C3DView* view, UINT hitTest, UINT message) override;
    void DrawGL(C3DView* view) override;
    void OnAfterFullRedraw(C3DView* view) override;
    void DrawOverlay(GpGraphics* graphics, C3DView* view) override;
    BOOL IsPersistentOnEscape() override { return 1; }
    const wchar_t* GetClassName() const override { return L"CUIM_ExtendSurface"; }

    // Applies the finished stroke to the first mesh object of the scene;
    // true when it marked anything.
    bool ApplyStrokeSelection();

    ST_IGeometry* GetActiveShape() const { return activeShape; }
    void SetActiveShape(ST_IGeometry* shape);
    int GetHoveredHandle() const { return hoveredHandle; }
    bool IsHovering() const { return hovering != 0; }
    bool IsDraggingHandle() const { return dragging != 0; }
    bool IsPickImageValid() const { return pickImageValid != 0; }
    int GetHandleCount() const { return handleCount; }
    const float (*GetHandlePoints() const)[3] { return reinterpret_cast<const float(*)[3]>(handlePoints.data()); }

private:
    IShapesViewOwner* Owner() const;
    cMeshObject* FirstMeshObject() const;
    void ResizeHandleArrays(int count);
    void FreeHandleArrays();
    // Refreshes the handle arrays from the active shape; false without one.
    bool LoadHandles();
    void ClearHint(C3DView* view);
    void ShowPopupAt(HWND window, POINT screen);
    void SendViewCommand(C3DView* view, UINT id);
    // The wand's seed under the cursor handed to the view (whose owner grows
    // the selection from it); false when the click hits no triangle.
    bool WandClick(POINT point);
    // Whether the back buffer still holds the handle pick image: nothing
    // has been drawn into it since (a frame, a stroke's face-id pass).
    bool PickImageInBuffer(C3DView* view) const;
    // Hovers the handle under the cursor (none when the id image is gone).
    void HoverHandleAt(POINT point, C3DView* view);

    cCPView* shapesView;
    // Three floats per handle, capacity entries each.
    std::vector<float> handlePoints;
    std::vector<float> handleDirections;
    int handleCount = 0;
    int handleCapacity = 0;
    int hoveredHandle = -1;
    ST_IGeometry* activeShape = nullptr;
    std::uint8_t hovering = 0;
    std::uint8_t dragging = 0;
    // Where the cursor was at the last move, in screen pixels.
    POINT previousScreenPoint{0, 0};
    std::uint8_t pickImageValid = 0;
    // The renderer's back-buffer stamp the pick image took.
    std::uint64_t pickImageStamp = 0;
};
