// CUIM_ScreenSelection: the base of every editing mode of the tool views.
// On top of the navigation of CUIM_ZoomRect it records a selection stroke
// drawn with the left button (free hand, filled free hand or a line),
// paints it as a brush of the dialog's brush size, and turns a finished
// stroke into marked triangles or marked curve points: the stroke is painted
// into an off-screen canvas and compared with a face-id image of the mesh.
// The derived modes set the tool and decide what a finished stroke does;
// they apply it and then empty the stroke (ClearStroke).
//
// Marks: triangle flag value 4 (kTriangleFlagScratch) for the triangles
// under the stroke (cleared on every triangle first); value 4 in the flag
// word of curve points. Hidden triangles are never marked.
#pragma once

#include "core/decorator_object.h"
#include "core/polyline_collection.h"
#include "core/rc_object.h"
#include "platform/gdiplus/gdiplus_types.h"
#include "render/navigation_modes.h"
#include "render/triangle_selection.h"

#include <cstdint>
#include <vector>

class cMesh;
class cGdiplusGraphics;
template <class TView> class cScreenAnnotation_Text;

// Tools of the stroke.
enum : std::uint32_t
{
    kToolNone = 0,
    kToolFreeHand = 1,
    kToolFreeHandFilled = 2,
    kToolLine = 3,
    kToolMagicWand = 5,
};

// Cursor resources of the selection tools.
inline constexpr std::uint32_t kCursorBrush = 3017;
inline constexpr std::uint32_t kCursorBrushDeselect = 3018;
inline constexpr std::uint32_t kCursorLine = 3015;
inline constexpr std::uint32_t kCursorLineDeselect = 3016;
inline constexpr std::uint32_t kCursorMagicWand = 3019;

// The selection context menu and its commands.
inline constexpr UINT kSelectionContextMenu = 3075;
enum : UINT
{
    kCmdSelectionZoomAll = 32790,
    kCmdUndoLastSelection = 32854,
    kCmdDeselectAll = 32856,
    kCmdFreeFormFilled = 32857,
    kCmdFreeForm = 32858,
    kCmdLineSelection = 32859,
    kCmdMagicWand = 32860,
};
// Command id -> icon resource id of the selection tools' menu items.
inline constexpr std::uint32_t kSelectionMenuIcons[8] = {kCmdFreeFormFilled, 3021, kCmdFreeForm, 3022,
                                                         kCmdLineSelection, 3020, kCmdMagicWand, 3023};

// The brush half size of the curve-point selection, in pixels.
inline constexpr int kPointBrushHalfSize = 5;
// Half brush sizes a stroke is painted with are kept within this bound, so
// that a bad setting never sizes a canvas beyond the view.
inline constexpr int kMaxHalfBrushSize = 300;

// Whether applying the marks of a finished stroke (triangle value 4) would
// select (or deselect) any triangle not already so.
bool StrokeChangesSelection(cMesh& mesh, bool deselect);

class CUIM_ScreenSelection : public CUIM_ZoomRect
{
public:
    using HintLabel = cScreenAnnotation_Text<C3DView>;

    CUIM_ScreenSelection(std::uint32_t id, std::uint32_t temporary, C3DView* view);
    ~CUIM_ScreenSelection() override;

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonUp(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseWheel(UINT flags, short delta, POINT screen, C3DView* view) override;
    BOOL OnMouseLeave(WPARAM, LPARAM, C3DView* view) override;
    BOOL OnKeyDown(UINT key, UINT repeat, UINT keyFlags, C3DView* view) override;
    BOOL OnKeyUp(UINT key, UINT repeat, UINT keyFlags, C3DView* view) override;
    BOOL OnSysKeyDown(UINT key, UINT repeat, UINT keyFlags, C3DView* view) override;
    BOOL OnSysKeyUp(UINT key, UINT repeat, UINT keyFlags, C3DView* view) override;
    int OnSetCursor(C3DView* view, UINT hitTest, UINT message) override;
    BOOL GetContextMenu(UINT* menuId, CWnd** target) override;
    void UpdateContextMenu(CMenu* menu) override;
    BOOL IsPersistentOnEscape() override { return 0; }
    const wchar_t* GetClassName() const override { return L"CUIM_ScreenSelection"; }

    virtual bool IsAltDown() const;
    virtual bool IsCtrlDown() const;
    // Puts the cursor point at the centre of the view and redraws.
    virtual void CenterCursorPoint();

    // Paints the stroke in progress, or the brush circle at the cursor when
    // there is none. dirty (when given) receives the area painted. r is the
    // half brush size in pixels.
    void PaintStroke(cGdiplusGraphics& graphics, RECT* dirty, const cDecoratorObject& attributes, int r,
                     bool drawCircle);
    // The bounding rectangle of the stroke grown by inflate; false when the
    // stroke is empty.
    bool GetStrokeBounds(RECT* out, int inflate) const;
    // Marks with value 4 the triangles under the finished stroke; true when
    // any was marked. A mesh of more triangles than the face ids' 24 bits
    // name is read in id passes of a window of them each.
    bool SelectTrianglesInStroke(cMesh& mesh, const cDecoratorObject& attributes, int r, bool cullBackFaces);
    // The triangles one id pass names (kMaxColourIdTriangles; a smaller
    // number stands in for it in tests).
    void SetFaceIdSpan(std::uint32_t span) { faceIdSpan = span; }
    // Marks with value 4 the curve points under the finished stroke; true
    // when any was marked.
    bool SelectPointsInStroke(tPolylineCollection<tFramePolyline<cVertex>>& curves);

    std::uint32_t GetTool() const { return tool; }
    void SetTool(std::uint32_t newTool) { tool = newTool; }
    const std::vector<POINT>& GetStroke() const { return stroke; }
    void ClearStroke() { stroke.clear(); }
    bool IsStrokeInProgress() const { return strokeInProgress != 0; }
    POINT GetCursorPoint() const { return cursorPoint; }
    HintLabel* GetHintLabel() const { return hintLabel.Get(); }
    C3DView* GetView() const { return ownerView; }

protected:
    // The colour of the brush: the third attribute colour brightened, or
    // the first one while Alt is down (deselecting).
    ARGB BrushColour(const cDecoratorObject& attributes) const;
    // The line tool's Shift snap of point against the stroke's first point.
    POINT SnapLinePoint(POINT point) const;
    // Paints the stroke into the renderer's canvas over the bounds and
    // returns the painted pixels top-down (width x height, 0 = unpainted).
    bool PaintStrokeMask(const RECT& bounds, const cDecoratorObject& attributes, int r,
                         std::vector<std::uint32_t>& mask);

    C3DView* ownerView;
    tSafePtr<HintLabel> hintLabel;
    GpPen* outlinePen = nullptr;
    int penStatus = 0;
    std::vector<POINT> stroke;
    std::uint32_t faceIdSpan = kMaxColourIdTriangles;
    POINT cursorPoint{0, 0};
    std::uint8_t strokeInProgress = 0;
    std::uint32_t tool = kToolNone;
};
