// CUIM_EditNetwork: the mode of the shapes view's Curves tab, in which the
// user builds and edits the curve network of a curve-network shape: curves
// are drawn on the mesh (Add Curve), nodes are picked, dragged, inserted and
// deleted (Modify Curves), curve ends are extended (Extrapolate End Points),
// curves are merged or broken at their joints, and the sections a movable
// plane cuts are accepted into the network (Section Plane).
//
// The network is the current shape's profile sketch; the mode keeps no undo
// of its own: before each change it asks the Curves page to save a copy of
// the whole network. A node drag takes the curves through the node out of
// the network until the button is released; whatever else ends the drag
// (Escape, lost capture, another tab, the dialog closing, another shape
// made current) puts their grab-time copies back into the network they came
// from, so no curve is ever lost or moved to another shape.
//
// What the mode holds (a drag, the curve being drawn, hovered and pressed
// curves, the pick image, the page's undo copies) belongs to one shape: when
// another shape becomes current, all of it is let go and the undo list
// starts afresh; when the page replaces the network (Undo, Clear All), the
// mode first lets go of the curves it points at.
#pragma once

#include "modes/curve_edit_support.h"
#include "modes/curve_network_operations.h"
#include "modes/mesh_sample_projection.h"
#include "modes/network_edit_page.h"
#include "modes/network_node_drag.h"
#include "modes/screen_selection.h"

#include <cstdint>
#include <memory>

class cCPView;
class cMesh;
class ST_ISectionCurve;
class ST_IProfiledSurface;

// Commands of the mode (menus 3060 and 3070, the Curves page, its panels
// and the view's accelerators).
inline constexpr UINT kCmdNetworkUpdateStatus = 32812;
inline constexpr UINT kCmdNetworkRemoveLast = 32814;
inline constexpr UINT kCmdNetworkFinish = 32815;
inline constexpr UINT kCmdNetworkRestart = 32816;
inline constexpr UINT kCmdNetworkSnapOn = 32823;
inline constexpr UINT kCmdNetworkSnapOff = 32824;
inline constexpr UINT kCmdNetworkModify = 32825;
inline constexpr UINT kCmdNetworkAddCurve = 32826;
inline constexpr UINT kCmdNetworkSectionPlane = 32833;
inline constexpr UINT kCmdNetworkMerge = 32834;
inline constexpr UINT kCmdNetworkBreak = 32835;
inline constexpr UINT kCmdNetworkTangency = 32836;
inline constexpr UINT kCmdNetworkUndo = 32837;
inline constexpr UINT kCmdNetworkAccept = 32839;
inline constexpr UINT kCmdNetworkFitOnMesh = 32840;
inline constexpr UINT kCmdNetworkTogglePreserveG1 = 32842;
inline constexpr UINT kCmdNetworkToggleSubSampling = 32844;
inline constexpr UINT kCmdNetworkToggleKeepOnMesh = 32845;
inline constexpr UINT kCmdNetworkExtrapolate = 32847;
inline constexpr UINT kCmdNetworkLeavePicker = 32804;
inline constexpr UINT kCmdNetworkNewShape = 32867;
inline constexpr UINT kCmdNetworkTransfer = 32868;
inline constexpr UINT kCmdNetworkDelete = 40005;
inline constexpr UINT kCmdNetworkUndoKey = 40009;

// Menus and cursors.
inline constexpr UINT kNetworkMenu = 3060;
inline constexpr UINT kNetworkDrawMenu = 3070;
inline constexpr std::uint32_t kCursorNetworkOnMesh = 3069;
inline constexpr std::uint32_t kCursorNetworkModify = 3017;
inline constexpr std::uint32_t kCursorNetworkExtrapolate = 3073;
inline constexpr std::uint32_t kCursorNetworkAdd = 3015;
inline constexpr std::uint32_t kCursorNetworkOverPlane = 3017;
inline constexpr std::uint32_t kCursorNetworkSection = 17032;
// Command id -> icon of the sub-state items of menu 3060.
inline constexpr std::uint32_t kNetworkMenuIcons[8] = {kCmdNetworkAddCurve,     3053, kCmdNetworkModify,      3052,
                                                       kCmdNetworkSectionPlane, 3061, kCmdNetworkExtrapolate, 3072};
// A press on a curve segment becomes an insertion once the cursor has moved
// more than this many pixels in x or in y.
inline constexpr int kNetworkInsertDragPixels = 5;
// Snap and marker radius in pixels.
inline constexpr int kNetworkSnapPixels = 5;

class CUIM_EditNetwork : public CUIM_ScreenSelection
{
public:
    CUIM_EditNetwork(std::uint32_t id, std::uint32_t temporary, cCPView* view);
    ~CUIM_EditNetwork() override;

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonUp(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonDblClk(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnCommand(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info, C3DView* view) override;
    void OnEscape(C3DView* view) override;
    void OnActivate(C3DView* view) override;
    BOOL OnDeactivate(C3DView* view) override;
    void OnSuspend(C3DView* view, std::uint32_t next) override;
    void OnKillFocus(CWnd* gets, C3DView* view) override;
    int OnSetCursor(C3DView* view, UINT hitTest, UINT message) override;
    BOOL GetContextMenu(UINT* menuId, CWnd** target) override;
    void UpdateContextMenu(CMenu* menu) override;
    void DrawGL(C3DView* view) override;
    void OnAfterFullRedraw(C3DView* view) override;
    void DrawOverlay(GpGraphics* graphics, C3DView* view) override;
    BOOL IsPersistentOnEscape() override { return 1; }
    BOOL IsDragging() override;
    const wchar_t* GetClassName() const override { return L"CUIM_EditNetwork"; }

    // The current shape's network surface and its network sketch, or null.
    ST_IProfiledSurface* GetProfiledSurface() const;
    ST_ISectionCurve* GetNetwork() const;
    INetworkEditPage* Page() const;

    std::uint32_t GetSubState() const { return subState; }
    ST_ISectionCurve* GetDrawnCurve() const { return drawn.get(); }
    std::uint32_t GetClickedPointCount() const { return clickedPoints; }
    bool IsNodeDragging() const { return drag.IsDragging(); }
    std::size_t GetDraggedCurveCount() { return drag.Mover().GetCurveCount(); }
    // Where the dragged node is now (x FLT_MAX without a drag).
    t3DPoint<float> GetDraggedNode() { return drag.Mover().GetGrabbedPoint(); }
    bool IsPickBufferValid() const { return pickBufferValid != 0; }
    bool IsSnappingOn() const { return snapping != 0; }
    bool IsOverSectionPlane() const { return planeHover != 0; }
    double GetTangencyAngle() const { return tangencyAngle; }
    ST_ISectionCurve* GetHoveredCurve() const { return hoveredCurve; }
    const float* GetHoveredPoint() const { return hoveredPoint; }
    const stCurvePick& GetPick() const { return pick; }
    const stCurveSnap& GetSnap() const { return snap; }

    // Puts a running drag's curves back as they were grabbed; true when a
    // drag was running. The network is then as the copy the drag saved holds
    // it: unless an Undo is about to take that copy (keepCopy), it leaves the
    // page's undo list while it is still the last one.
    bool CancelNodeDrag(bool keepCopy = false);
    // Called before the network is replaced: the drag ends as it began and
    // nothing points into the old network any more (the pick image of it
    // included).
    void LetGoOfNetwork();
    // Called before the page puts back its last saved network: when that
    // copy is the one saved as the curve being drawn began, the drawing goes
    // with the undo (finished later, it would have no undo step of its own).
    void LetGoOfNetworkForUndo();
    // Drops the drawn curve; with nothing saved since it began, the network
    // it was drawn on goes back to the copy saved then (a click of the
    // drawing onto a curve made a node of that curve). Escape, another shape
    // or tab, and Clear All give a drawing up so.
    void TakeBackDrawing();
    // The shape the mode's state belongs to, and whether the curve being
    // drawn made every change since the page's last saved copy (the one
    // saved as it began).
    ST_IProfiledSurface* GetEditedSurface() const { return editedSurface; }
    bool IsDrawingSinceLastCopy() const;
    // Whether a node drag made every change since the page's last saved
    // copy (the one saved as it began): the dragged curves are out of the
    // network until they are dropped.
    bool IsDraggingSinceLastCopy() const;
    // Called before the network is swapped for a while and put back (a
    // save): nothing points into it any more. A node drag goes on, since it
    // holds copies of its curves, not the network's own.
    void LetGoOfNetworkForWrite();
    // When the current shape is not the one the mode's state belongs to,
    // lets go of that shape (its drag, drawn curve and undo copies) and takes
    // up the current one; true when the shape changed.
    bool FollowCurrentShape(C3DView* view);

private:
    // Sub-states and their panels.
    void EnterSubState(std::uint32_t state, C3DView* view);
    void ApplyTangencyFromPage();
    // The current shape becomes the edited one: its profile becomes a
    // network sketch and the page's undo list starts empty.
    void AdoptCurrentShape();
    // The network of the shape the mode's state belongs to.
    ST_ISectionCurve* EditedNetwork() const;
    void ClearPressState();
    void ClearHover();
    // After curves were replaced: the press, hover, pick and snap records
    // let go of them.
    void ForgetCurvePointers();
    // Ends a section-plane drag that lost its release, cutting the sections
    // where the plane was left.
    void EndPlaneDrag();
    void HideAnnotations();
    void Repaint(C3DView* view) const;
    void RequestLevel1Redraw(C3DView* view) const;
    void SendSetCursor(C3DView* view) const;
    void ShowHint(C3DView* view);
    void DeleteSelection(C3DView* view);
    void UndoNetwork(C3DView* view);
    void DiscardDrawnCurve();
    void FinishDrawing(C3DView* view, double nearLimit);
    stSubSampling SubSampling() const;

    // Cursor queries (network_edit_mouse.cpp).
    const cMesh* FirstMesh() const;
    bool CursorOnViewPlane(POINT point, float* x, float* y) const;
    cVertex MeshPointAt(POINT point);
    cVertex CurvePointAt(POINT point, const ST_ISectionCurve& curve) const;
    std::int32_t SegmentAt(POINT point, const ST_ISectionCurve& curve) const;
    bool IsNetworkCurve(const ST_ISectionCurve* curve) const;
    // The pick id under the cursor, -1 for none (the pick record updated).
    std::int32_t ReadPick(POINT point, C3DView* view);
    // Whether the back buffer holds the network's pick image; an image that
    // was valid but has been drawn over is drawn again first.
    bool PickImageInBuffer(C3DView* view);
    void UpdateHover(POINT point, C3DView* view);
    // Presses, drags and drops.
    void PressModify(POINT point, UINT flags, C3DView* view);
    void PressExtrapolate(POINT point, C3DView* view);
    void PressAddCurve(POINT point, C3DView* view);
    void StartNodeDrag(const float position[3], C3DView* view);
    void InsertOnDrag(POINT point, C3DView* view);
    // The cursor a node drag follows: with Shift held in Modify Curves,
    // kept on the screen axis through where the drag began.
    POINT DragCursor(POINT point, C3DView* view) const;
    void DragNode(POINT point, C3DView* view);
    void DropNodes(POINT released, C3DView* view);
    // A node pressed and released where it was pressed: the network goes
    // back to the copy saved as the press began and the node is selected.
    void SelectPressedNode(C3DView* view);
    // The same without the drop: false (nothing done) when the copy saved
    // as the press began is not the last one.
    bool RestorePressedNetwork(C3DView* view);
    void MoveDrawnPoint(POINT point, C3DView* view);
    void DragSectionPlane(POINT point, C3DView* view);
    // The point a click or a drawn curve's cursor-following point takes:
    // a hovered node, else the mesh, else the hovered curve under the cursor.
    cVertex DrawingPointAt(POINT point, C3DView* view);
    POINT ShiftSnappedCursor(POINT point) const;
    POINT PressInView(C3DView* view) const;
    void ViewDirection(float out[3]) const;

    cVertex pressedVertex;
    ST_ISectionCurve* pressedCurve = nullptr;
    // The last press, in screen pixels.
    POINT pressPoint{0, 0};
    std::int32_t segmentIndex = -1;
    std::int32_t pressKind = 0;
    cCPView* shapesView;
    HWND viewWindow = nullptr;
    // The shape whose network the drag, the drawn curve, the hover and the
    // page's undo copies belong to.
    ST_IProfiledSurface* editedSurface = nullptr;
    stCurveSnap snap;
    stCurvePick pick;
    std::uint8_t snapping = 1;
    cNetworkNodeDrag drag;
    float dragStart[3] = {FLT_MAX, 0.0f, 0.0f};
    std::uint8_t planeHover = 0;
    std::uint8_t planeDrag = 0;
    std::uint8_t pickBufferValid = 0;
    // The renderer's back-buffer stamp the pick image took.
    std::uint64_t pickImageStamp = 0;
    std::uint32_t clickedPoints = 0;
    std::unique_ptr<ST_ISectionCurve> drawn;
    // The page's undo count once the copy saved as the drawn curve began
    // was on it (SIZE_MAX without a drawn curve).
    std::size_t drawnUndoCount = SIZE_MAX;
    // The drawn curve's clicks have put joints into network curves.
    bool drawnChangedNetwork = false;
    // The page's undo count just after a node drag saved its copy.
    std::size_t dragUndoCount = SIZE_MAX;
    // The running drag began with a press on a node (not by an insertion).
    std::uint8_t dragFromNodePress = 0;
    ST_ISectionCurve* hoveredCurve = nullptr;
    float hoveredPoint[3] = {FLT_MAX, 0.0f, 0.0f};
    ST_ISectionCurve* hoveredPointCurve = nullptr;
    std::uint32_t subState = kNetworkAddCurve;
    double tangencyAngle = -1.0;
    // The cursor at the section plane drag's last move, in screen pixels.
    POINT lastPlanePoint{0, 0};
    std::uint8_t buttonDown = 0;
    cMeshSampleProjector projector;
};

// Installs the network mode's maker in the shapes view's factory; the mode
// is made for a view whose Curves page is registered (SetNetworkEditPage).
void RegisterNetworkEditMode();
