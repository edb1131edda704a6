// Seeded random user sessions on the real shapes dialog and the tool
// windows, inside the stand-in host with the plug-in loaded: the driver
// plays a sequence of user actions chosen by a seeded generator, each aimed
// at what is on the screen (pixels of the scan, the current shape's handles,
// sketch and network points), and after every step checks what a user
// relies on: nothing crashed, every listed shape has a whole session, the
// shape drawn is the current one, an undo gives back exactly the state
// before the step it undoes and never touches another shape, what Create
// adds lies on the fitted shape where the scan is, and a saved and reopened
// document lists the same shapes with the same parameters.
//
// A sequence is replayed from its seed alone; the steps it played are kept
// as text and printed with any failure (and, under AddressSanitizer, when
// the process dies).
#pragma once

#include "platform/geometry/uuid.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "platform/win32/message.h"
#include "platform/win32/types.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

class CCreatePrimitiveDialog;
class CDezazObject;
class CSessionSurface;
class cCPView;
class ST_ISectionCurve;

namespace usersession
{

// What the actions are: one entry per kind of step, with its weight.
enum class eAction : int
{
    kind,
    tab,
    listSelect,
    listMenu,
    deleteShape,
    deleteAll,
    newShape,
    turn,
    pan,
    zoom,
    standardView,
    stroke,
    wand,
    selectAll,
    deselectAll,
    undoSelection,
    crease,
    handle,
    rebuild,
    vertical,
    horizontal,
    align,
    reset,
    sameLocation,
    create,
    createAll,
    ok,
    cancel,
    escape,
    sketchTool,
    sketchClick,
    sketchDrag,
    sketchUndo,
    sketchClearAll,
    sketchDelete,
    curvesButton,
    curvesClick,
    curvesDrag,
    curvesUndo,
    saveReopen,
    analyzer,
    segmentation,
    fillet,
    primitivePanel,
    count
};
const char* ActionName(eAction action);

// A snapshot of one session: its place in the entry and its bytes.
struct stShapeState
{
    const CSessionSurface* session = nullptr;
    std::wstring name;
    std::vector<std::uint8_t> bytes;
};

// What the checks compare across a step.
struct stWorldState
{
    bool dialogOpen = false;
    // Which opening of the shapes dialog it is.
    int dialog = 0;
    std::vector<stShapeState> shapes;
    const CSessionSurface* current = nullptr;
    // The visible selection of the dialog's scan, one byte per triangle.
    std::vector<std::uint8_t> selection;
    // The current shape's profile (sketch or network) and the undo list of
    // the page that edits it.
    std::vector<std::uint8_t> profile;
    std::size_t sketchUndo = 0, networkUndo = 0;
    // A curve drawn on the Curves page waits while edits of the other
    // sub-states saved copies after the one it saved as it began.
    bool drawingWaits = false;
};

class cStepWatchdog;

struct stCounts
{
    long sequences = 0, steps = 0, failures = 0;
    std::map<std::string, long> actions;
    long shapesMade = 0, breps = 0, curves = 0, reopened = 0, undos = 0;
};

class cUserSessionDriver
{
public:
    cUserSessionDriver();
    ~cUserSessionDriver();
    cUserSessionDriver(const cUserSessionDriver&) = delete;
    cUserSessionDriver& operator=(const cUserSessionDriver&) = delete;

    // Plays one sequence on a new document; an empty result when every
    // check held, else what failed, with the seed and the steps so far.
    std::string Play(std::uint32_t seed, int steps);
    const stCounts& Counts() const { return m_counts; }

private:
    // ------------------------------------------------------------ world
    void StartDocument();
    bool OpenShapesDialog();
    CCreatePrimitiveDialog* Dialog() const;
    cCPView* View() const;
    void Pump();
    void Paint();
    void Note(const std::string& text);

    // ------------------------------------------------------------ input
    POINT ToScreen(POINT client) const;
    void Mouse(UINT message, POINT client, bool pump = true);
    void Key(BYTE vk);
    void KeyWith(BYTE modifier, BYTE vk);
    void Click(POINT client);
    void DoubleClick(POINT client);
    void Drag(POINT from, POINT to, int moves, UINT button = 0);
    // The control the step meant to use is disabled or hidden: the user
    // could not have done it, so the step did nothing.
    void NotOffered();
    // A left drag from the point to a random one within reach; answers its
    // length in pixels.
    double DragAway(POINT from, int reach);
    // A click (or a right click) in the middle of a part of a window.
    void ClickOn(HWND window, const RECT& part, UINT down = WM_LBUTTONDOWN);
    void Button(int id);
    void PageButton(HWND page, int id);
    void ViewCommand(UINT id);
    RECT ViewRect() const;
    POINT RandomViewPoint();
    // A point on a triangle of the scan that faces the viewer and lies in
    // the view, or a random point of the view when none does.
    POINT MeshPoint();
    std::optional<POINT> Project(const float world[3]) const;
    // Where a curve's body shows between its points (clicks there insert a
    // point or pick the curve whole).
    void AddCurveBody(ST_ISectionCurve& curve, std::vector<POINT>& targets) const;

    // ------------------------------------------------------------ actions
    eAction Choose();
    bool Allowed(eAction action) const;
    void Run(eAction action);
    void RunKind();
    void RunTab();
    void RunListSelect();
    void RunListMenu();
    void RunNavigation(eAction action);
    void RunStroke();
    void RunWand();
    void RunHandle();
    void RunAlign();
    void RunSketch(eAction action);
    void RunCurves(eAction action);
    void RunClose(bool ok);
    void RunSaveReopen();
    void RunAnalyzer();
    void RunSegmentation();
    void RunFillet();
    void RunPrimitivePanel();

    // ------------------------------------------------------------ checks
    stWorldState Capture();
    // Each returns what failed, or an empty text.
    std::string CheckStructure();
    std::string CheckOtherShapes(eAction action, const stWorldState& before, const stWorldState& after);
    std::string CheckSelectionUndo(eAction action, const stWorldState& before, const stWorldState& after);
    std::string CheckProfileUndo(eAction action, const stWorldState& before, const stWorldState& after);
    std::string CheckCreated(const stWorldState& before, const std::vector<const CDezazObject*>& added);
    std::string CheckReopened();
    std::optional<INT_PTR> Answer(const std::wstring& kind, const std::wstring& text);

    HWND m_mainWindow = nullptr;
    std::unique_ptr<cStepWatchdog> m_watchdog;
    // Each sequence's settings start empty.
    std::optional<TempRegistry> m_registry;
    std::mt19937 m_random;
    std::uint32_t m_seed = 0;
    int m_dialogsOpened = 0;
    int m_step = 0;
    std::string m_log;
    std::string m_failure;
    stCounts m_counts;
    // The scan in the document (its objects are replaced when it is opened).
    ON_UUID m_hostId = ON_nil_uuid;
    // The host mesh as it was added, to place created geometry against.
    std::vector<float> m_hostVertices;
    bool m_notOffered = false;
    // Forced closes (a document going) ask yes or no only.
    bool m_forcedClose = false;
    // Selection undo: the selections the dialog may give back.
    std::vector<std::vector<std::uint8_t>> m_selectionUndo;
    // The profile editors' undo lists as the driver saw them grow: a copy of
    // the profile before each step that saved one.
    std::vector<std::vector<std::uint8_t>> m_sketchUndo, m_networkUndo;
    bool m_sketchUndoKnown = true, m_networkUndoKnown = true;
    // Saved sessions (name and bytes in order) of the last save.
    std::vector<stShapeState> m_saved;
    bool m_checkReopen = false;
    // How far the network drags of the sequence reached, in the world: a
    // node dragged (or an end extrapolated) off the scan goes where the
    // cursor takes it, a pixel of a view zoomed far out being millimetres.
    double m_curveDragReach = 0.0;
};

// The seeds and steps a run plays: VTL_SESSION_SEEDS ("7", "1-500" or
// "3,9,27") and VTL_SESSION_STEPS override the given ones.
std::vector<std::uint32_t> SeedsFromEnvironment(const std::vector<std::uint32_t>& fallback);
int StepsFromEnvironment(int fallback);

} // namespace usersession
