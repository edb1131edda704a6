// CUIM_EditProfile: the mode of the shapes view's Sketch tab, in which the
// user draws and edits the profile sketch of an extruded or revolved shape
// in its section plane: lines, arcs, tangent arcs between two lines and
// free-form curves, snapped and stepped as the Sketch page sets; the select
// tool picks, drags, inserts spline points, fits lines and arcs to stroked
// section points, deletes, undoes and applies typed lengths and radii.
//
// The sketch is the active shape's profile object; the mode changes only
// that object and tells the page when the shape has to rebuild its surface.
// It works in the sketch plane's local coordinates (z = 0).
#pragma once

#include "modes/profile_sketch_selection.h"
#include "modes/screen_selection.h"
#include "modes/sketch_snapping.h"

#include <cstdint>
#include <memory>

class cCPView;
class cGLRenderer;
class ST_ISectionCurve;
class ST_IProfiledSurface;

// What the mode asks of the Sketch page.
class IProfileEditPanel
{
public:
    virtual ~IProfileEditPanel() = default;
    // The undo list: a copy of the current profile per edit.
    virtual void PushUndoState() = 0;
    virtual void ClearUndoStates() = 0;
    virtual std::unique_ptr<ST_ISectionCurve> PopUndoState() = 0;
    // A negative value clears and disables the field.
    virtual void SetDistanceRadiusField(double value, bool isDistance) = 0;
    virtual double GetDistanceRadiusValue() = 0;
    // Gives the field the focus with its whole text selected.
    virtual void FocusDistanceField() = 0;
    // Presses the button of the tool and releases the other four.
    virtual void ShowTool(std::uint32_t tool) = 0;
    virtual bool IsSnapping() = 0;
    virtual bool UseControlPoints() = 0;
    virtual int GetSnapDistanceIndex() = 0;
    virtual int GetSnapAngleIndex() = 0;
    virtual const wchar_t* UnitText() = 0;
    // The current shape's profile changed: its surface is rebuilt and drawn.
    virtual void NotifyProfileChanged() = 0;
};

// Tools of the profile editor.
enum : std::uint32_t
{
    kProfileToolSelect = 0,
    kProfileToolLine = 1,
    kProfileToolTangentArc = 2,
    kProfileToolArc = 3,
    kProfileToolFreeForm = 4,
};

// Cursors and menus.
inline constexpr std::uint32_t kCursorOverSketch = 3017;
inline constexpr std::uint32_t kCursorSketchTool = 3015;

// The point of a client pixel on the sketch plane, in the frame's local
// coordinates (z = 0); false when the view cannot see the plane there.
bool ScreenToSketchPoint(C3DView* view, POINT point, const double frame[12], float local[3]);
// The client pixel where a point of the sketch plane (the frame's local
// coordinates) shows; false without a renderer.
bool SketchToScreenPoint(C3DView* view, const double frame[12], const float local[3], POINT* point);

// Turns the view to look at the sketch plane face-on, the sketch's x axis
// across the screen and its y axis up it (both reversed when the sketch's y
// runs down the world, so the part stands upright), and zooms to the scene.
// A view that already looks along the plane's normal is left as it is. True
// when it turned.
bool FaceSketchPlane(C3DView* view, const double frame[12]);

class CUIM_EditProfile : public CUIM_ScreenSelection
{
public:
    CUIM_EditProfile(std::uint32_t id, std::uint32_t temporary, cCPView* view, IProfileEditPanel* panel);
    ~CUIM_EditProfile() override;

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonUp(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonDblClk(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnCommand(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info, C3DView* view) override;
    void OnEscape(C3DView* view) override;
    void OnActivate(C3DView* view) override;
    int OnSetCursor(C3DView* view, UINT hitTest, UINT message) override;
    BOOL GetContextMenu(UINT* menuId, CWnd** target) override;
    void UpdateContextMenu(CMenu* menu) override;
    void DrawGL(C3DView* view) override;
    void OnAfterFullRedraw(C3DView* view) override;
    void DrawOverlay(GpGraphics* graphics, C3DView* view) override;
    BOOL OnDeactivate(C3DView* view) override;
    BOOL IsPersistentOnEscape() override { return 1; }
    const wchar_t* GetClassName() const override { return L"CUIM_EditProfile"; }

    // The active shape's profile object (normally the sketch), or null.
    ST_ISectionCurve* GetActiveProfile() const;
    ST_IProfiledSurface* GetProfiledSurface() const;

    void BeginElement(const GUID& classId);
    void CommitElement();
    void DiscardElement();
    // An element given up unfinished (Escape, another tool, Clear All, the
    // editor ending) leaves the sketch as it was: a tangent arc's two lines
    // get back the ends it trimmed.
    void AbandonElement();
    // Drops everything the editor holds of the sketch it works on (the
    // element being drawn, a tangent arc's anchor lines, a drag, a pending
    // spline point, what is hovered and what the last snap found): called
    // before the sketch is replaced (Undo, Clear All), which frees its curves.
    void ForgetSketch();
    // The shapes moved by m (Reset, an alignment): the copies the editor
    // keeps of the sketch's curves move with them, the element being drawn,
    // the copy a drag shows and the profile the sketch replaced, so that
    // finishing any of them puts it where the sketch now is.
    void MoveWithShapes(const double m[12]);
    // The document is written (true before, false after): it takes the
    // shape as the user has made it, without what is only being drawn. The
    // lines a tangent arc being drawn has trimmed go into the write whole;
    // while nothing is drawn on the sketch that stands in for the fitted
    // profile, the shape is still the fitted one, so that profile is in it
    // for the write. After it the editor goes on as it was.
    void ShowSketchAsKeptForWrite(bool writing);
    // The page replaced the sketch (Clear All): when the old one stood in for
    // the fitted profile, the new one does, so that a visit that ends with no
    // curve drawn gives that profile back.
    void SketchReplaced(const ST_ISectionCurve* old);
    void StoreDragStart(ST_ISectionCurve* curve, POINT press);
    void FitElementToSectionPoints();
    // The length or radius typed in the panel, applied to the selected line
    // or arc as the panel's field loses the focus; the focus goes where the
    // user sent it.
    void ApplyTypedValue(C3DView* view) { ApplyValue(view, false); }

    std::uint32_t GetCurrentTool() const { return currentTool; }
    std::uint32_t GetClickCount() const { return clickCount; }
    ST_ISectionCurve* GetElement() const { return element.get(); }
    const stSketchSnap& GetSnap() const { return snap; }
    bool IsSnappingOn() const { return snapping != 0; }
    std::int32_t GetHoverIndex() const { return hoverIndex; }
    bool IsDraggingSketch() const { return dragging != 0; }
    bool IsPickImageValid() const { return pickImageValid != 0; }

private:
    // Ending the editor: a sketch it installed and nothing was drawn into
    // gives way to the profile it replaced.
    void RestoreUntouchedProfile();
    // The current shape still holds the sketch installed here, with nothing
    // drawn on it.
    bool HoldsUntouchedSketch() const;
    // The sketch's curves over everything the frame drew.
    void DrawSketchOverScan(cGLRenderer* gl, ST_ISectionCurve& sketch) const;

    struct stTangentAnchor
    {
        cVertex point = UndefinedSketchPoint();
        float direction[3] = {0.0f, 0.0f, 0.0f};
        ST_ISectionCurve* curve = nullptr;
        // The curve's points before the arc trimmed it.
        tPolyline<cVertex> original;
        // Its trimmed points while the document is written.
        tPolyline<cVertex> trimmedForWrite;
    };

    // Cursor to sketch point, snapped when the snap finds something; the
    // snap tolerance is the world length of 5 pixels.
    bool SketchPointAt(POINT point, float local[3]) const;
    double SnapTolerance() const;
    bool SnapCursor(const float local[3], std::uint32_t exceptIndex, bool force, bool pointsOnly, float out[3]);
    bool IsSnapActiveNow() const;
    double DistanceStep() const;
    double AngleStepDegrees() const;

    // The active profile as a sketch: a profile of another kind (or none)
    // is replaced by a sketch with its frame and section points first.
    ST_ISectionCurve* InstallSketch();
    // The editor ends: nothing of the sketch stays held or selected.
    void EndEditing();
    // The middle point of the arc through start, middle and end moved so
    // that its radius is a whole number of distance steps (all in the
    // sketch's local coordinates); false leaves middle as it is.
    bool StepArcRadius(const float start[3], float middle[3], const float end[3]);

    void SetTool(std::uint32_t tool, C3DView* view);
    void DrawingClick(POINT point, C3DView* view);
    void UpdateRubberElement(POINT point, C3DView* view);
    bool RebuildElement();
    void ShowValueLabel(POINT point, const wchar_t* text);
    void HideSketchAnnotations();
    void FinishFreeForm(C3DView* view);
    void ShowCurveValue(ST_ISectionCurve* curve);
    // The panel's Distance/Radius field shows the value of the element a
    // typed value would change, or nothing when there is none.
    void ShowTargetValue();

    // The select tool (picking, dragging, insertion, delete, undo, values).
    void SelectToolDown(POINT point, UINT flags, C3DView* view);
    void SelectToolMove(POINT point, C3DView* view);
    // Reads what the pick image shows under the cursor into the hover; false
    // when the image cannot be read.
    bool HoverAt(POINT point, C3DView* view);
    bool EndDrag(C3DView* view);
    void DragCurve(POINT point, C3DView* view);
    void DeleteSelection(C3DView* view);
    void UndoLastEdit(C3DView* view);
    void ApplyValue(C3DView* view, bool focusView = true);
    void InsertSplinePointAtClick(POINT point, C3DView* view);

    void Redraw(C3DView* view);

    cCPView* shapesView;
    IProfileEditPanel* panel;
    // Spline insertion candidate.
    cVertex insertPoint = UndefinedSketchPoint();
    ST_ISectionCurve* insertSpline = nullptr;
    POINT pressPoint{0, 0};
    // The press of an insertion candidate, in screen pixels.
    POINT pressScreenPoint{0, 0};
    std::int32_t insertSegment = -1;
    std::int32_t insertPending = 0;
    POINT lastPoint{0, 0};
    stSketchSnap snap;
    // Pick and drag.
    std::int32_t hoverIndex = -1;
    ST_ISectionCurve* dragCurve = nullptr;
    std::unique_ptr<ST_ISectionCurve> dragCopy;
    // The dragged spline as it was before the drag inserted its point: an
    // editor that ends during the drag puts it back.
    std::unique_ptr<ST_ISectionCurve> splineBeforeInsertion;
    std::int32_t dragPointIndex = -1;
    std::uint8_t hovering = 0;
    std::uint8_t dragging = 0;
    std::uint8_t snapping = 1;
    tPolyline<cVertex> dragStart;
    std::uint8_t pickImageValid = 0;
    // The renderer's back-buffer stamp the pick image took.
    std::uint64_t pickImageStamp = 0;
    std::uint32_t clickCount = 0;
    std::unique_ptr<ST_ISectionCurve> element;
    tPolyline<cVertex> elementPoints;
    // The undo state saved when the element was begun is still the panel's
    // last one: an element dropped unfinished takes it back, as the sketch
    // is as it was.
    bool elementUndoStep = false;
    // The same for the undo state a point or curve drag saved as it began:
    // a drag that changes nothing (a click that selects a point to type its
    // length, a drag given up by Delete or Clear All) takes it back.
    bool dragUndoStep = false;
    stTangentAnchor anchors[2];
    std::uint32_t currentTool = kProfileToolSelect;
    bool ended = false;
    // The profile the editor's sketch replaced, the sketch and the shape it
    // was installed on: compared, never followed, until the editor ends.
    std::unique_ptr<ST_ISectionCurve> replacedProfile;
    // The sketch taken out while the document is written.
    std::unique_ptr<ST_ISectionCurve> sketchOutForWrite;
    ST_ISectionCurve* installedSketch = nullptr;
    ST_IProfiledSurface* installedOn = nullptr;
};

// The profile editing mode's maker for the shapes view, with the panel the
// caller resolves for the view (null: the mode is not made).
cUserInteractiveMode<C3DView>* MakeProfileEditMode(std::uint32_t id, std::uint32_t temporary, cCPView* view,
                                                   IProfileEditPanel* panel);
