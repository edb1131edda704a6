#include "support/user_session_driver.h"

#include "machined_part_mesh.h"

#include "modes/shapes_view.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/host/dezaz_object.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/host/document_io.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/clock.h"
#include "platform/win32/input.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window.h"
#include "plugin/commands.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/tools/define_primitive_dlg.h"
#include "plugin/tools/primitives_dock_bar.h"
#include "plugin/vtl_plugin.h"
#include "platform/host/dock_bar.h"
#include "resources/primitive_panel.h"
#include "render/base_renderer.h"
#include "core/mesh.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <sstream>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace usersession
{

namespace
{

// The steps of the sequence being played, for a process that dies in it.
std::string* g_liveLog = nullptr;

void PrintLiveLog()
{
    if (g_liveLog)
        std::fprintf(stderr, "\nrandom user session, steps before the process died:\n%s\n", g_liveLog->c_str());
}

// A failed assert or an uncaught exception aborts without the sanitizer's
// report: the steps are printed on the way down all the same.
void PrintLiveLogAndAbort(int)
{
    PrintLiveLog();
    std::signal(SIGABRT, SIG_DFL);
    std::raise(SIGABRT);
}

// How often each action is drawn; the ones that change shapes weigh most.
// Actions that cannot run in the present state are drawn again.
constexpr double kWeights[int(eAction::count)] = {
    /*kind*/ 8,      /*tab*/ 6,          /*listSelect*/ 4,  /*listMenu*/ 1.5,   /*deleteShape*/ 1,
    /*deleteAll*/ 0.4, /*newShape*/ 1.5,  /*turn*/ 2,        /*pan*/ 1.5,       /*zoom*/ 1.5,
    /*standardView*/ 1.5, /*stroke*/ 7,  /*wand*/ 6,        /*selectAll*/ 2,   /*deselectAll*/ 1,
    /*undoSelection*/ 2, /*crease*/ 1,   /*handle*/ 4,      /*rebuild*/ 2,     /*vertical*/ 1,
    /*horizontal*/ 1, /*align*/ 2,       /*reset*/ 1.5,     /*sameLocation*/ 0.7, /*create*/ 2,
    /*createAll*/ 1,  /*ok*/ 0.4,        /*cancel*/ 0.6,    /*escape*/ 2,      /*sketchTool*/ 6,
    /*sketchClick*/ 12, /*sketchDrag*/ 6, /*sketchUndo*/ 4, /*sketchClearAll*/ 1, /*sketchDelete*/ 2,
    /*curvesButton*/ 5, /*curvesClick*/ 12, /*curvesDrag*/ 5, /*curvesUndo*/ 3, /*saveReopen*/ 0.7,
    /*analyzer*/ 0.5, /*segmentation*/ 0.3, /*fillet*/ 0.3, /*primitivePanel*/ 0.5,
};

} // namespace

// A step that never ends (an endless loop, the tessellation of a surface a
// million kilometres across) is ended by the test run's timeout without a
// word: the watchdog prints the steps and aborts first.
class cStepWatchdog
{
public:
    explicit cStepWatchdog(std::chrono::seconds limit) : m_limit(limit), m_thread([this] { Watch(); }) {}
    ~cStepWatchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    void Begin(const std::string& log)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_log = log;
        m_start = std::chrono::steady_clock::now();
        m_running = true;
    }
    void End()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = false;
    }

private:
    void Watch()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop)
        {
            m_wake.wait_for(lock, std::chrono::seconds(1));
            if (m_running && std::chrono::steady_clock::now() - m_start > m_limit)
            {
                std::fprintf(stderr, "\nrandom user session: a step ran for more than %ld s; the steps:\n%s\n",
                             long(m_limit.count()), m_log.c_str());
                std::signal(SIGABRT, SIG_DFL);
                std::abort();
            }
        }
    }

    const std::chrono::seconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false, m_running = false;
    std::chrono::steady_clock::time_point m_start;
    std::string m_log;
    std::thread m_thread;
};

namespace
{

std::vector<std::uint32_t> ParseSeeds(const char* text)
{
    std::vector<std::uint32_t> seeds;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ','))
    {
        const std::size_t dash = part.find('-');
        if (dash == std::string::npos)
        {
            seeds.push_back(std::uint32_t(std::strtoul(part.c_str(), nullptr, 10)));
            continue;
        }
        const std::uint32_t first = std::uint32_t(std::strtoul(part.substr(0, dash).c_str(), nullptr, 10));
        const std::uint32_t last = std::uint32_t(std::strtoul(part.substr(dash + 1).c_str(), nullptr, 10));
        for (std::uint32_t s = first; s <= last; ++s)
            seeds.push_back(s);
    }
    return seeds;
}

} // namespace

const char* ActionName(eAction action)
{
    static const char* names[int(eAction::count)] = {
        "kind",         "tab",           "list",        "list-menu",  "delete",       "delete-all",  "new-shape",
        "turn",         "pan",           "zoom",        "std-view",   "stroke",       "wand",        "select-all",
        "deselect-all", "undo-selection", "crease",     "handle",     "rebuild",      "vertical",    "horizontal",
        "align",        "reset",         "same-location", "create",   "create-all",   "ok",          "cancel",
        "escape",       "sketch-tool",   "sketch-click", "sketch-drag", "sketch-undo", "sketch-clear", "sketch-delete",
        "curves-button", "curves-click", "curves-drag", "curves-undo", "save-reopen", "analyzer",    "segmentation",
        "fillet",       "primitive-panel"};
    return names[int(action)];
}

std::vector<std::uint32_t> SeedsFromEnvironment(const std::vector<std::uint32_t>& fallback)
{
    const char* text = std::getenv("VTL_SESSION_SEEDS");
    return text && *text ? ParseSeeds(text) : fallback;
}

int StepsFromEnvironment(int fallback)
{
    const char* text = std::getenv("VTL_SESSION_STEPS");
    return text && *text ? std::max(1, std::atoi(text)) : fallback;
}

// ------------------------------------------------------------ world

cUserSessionDriver::cUserSessionDriver()
{
    // Referencing the commands links them in, and so registers them.
    for (CDezazCommand* c : {&vtl::ShapesCommand(), &vtl::AnalyzerCommand(), &vtl::SegmentationCommand(),
                             &vtl::MeasureFilletCommand()})
        (void)c;
    win32::UseManualClock(100000);
    win32::ResetInputState();
    win32::ClearPromptAnswers();
    win32::SetPromptHandler([this](const std::wstring& kind, const std::wstring& text, HWND)
                            { return Answer(kind, text); });
    // The host's main window, which the tool windows and the primitive
    // panel's dock bar belong to.
    m_mainWindow = ::CreateWindowExW(0, L"Static", L"Dezaz", WS_POPUP | WS_VISIBLE, 0, 0, 1600, 1000, nullptr, nullptr,
                                     nullptr, nullptr);
    DezazApp().SetMainWindowHandle(m_mainWindow);
    dezaz::SetPlugInLoaded(&ThePlugIn(), true);
    ThePlugIn().OnLoadPlugIn();
    g_liveLog = &m_log;
    const char* limit = std::getenv("VTL_SESSION_STEP_SECONDS");
    m_watchdog = std::make_unique<cStepWatchdog>(std::chrono::seconds(limit && *limit ? std::atol(limit) : 300));
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(&PrintLiveLog);
#endif
    std::signal(SIGABRT, &PrintLiveLogAndAbort);
}

cUserSessionDriver::~cUserSessionDriver()
{
    g_liveLog = nullptr;
    std::signal(SIGABRT, SIG_DFL);
    m_forcedClose = true;
    dezaz::NewDocument(DezazApp().ActiveDoc());
    ThePlugIn().OnUnloadPlugIn();
    dezaz::SetPlugInLoaded(&ThePlugIn(), false);
    DezazApp().SetMainWindowHandle(nullptr);
    ::DestroyWindow(m_mainWindow);
    win32::SetPromptHandler(nullptr);
    win32::ClearPromptAnswers();
    win32::ResetInputState();
    win32::UseSystemClock();
}

void cUserSessionDriver::Note(const std::string& text)
{
    m_log += text;
}

void cUserSessionDriver::StartDocument()
{
    // Each sequence starts from nothing the last one left (a tool window
    // open, the panel's primitive, settings), so that its seed replays it.
    m_forcedClose = true;
    ThePlugIn().FilletDialog().Close(true);
    dezaz::NewDocument(DezazApp().ActiveDoc());
    m_forcedClose = false;
    if (auto* bar = dynamic_cast<CVivoZededDezazDockBar*>(CDezazDockBarManager::FindDockBar(kPrimitivesDockBarId)))
        if (CDefinePrimitiveDlg* panel = bar->Panel(); panel && panel->GetSafeHwnd())
            ::SendMessageW(panel->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_PRIMITIVE_CLEAR, BN_CLICKED),
                           LPARAM(::GetDlgItem(panel->GetSafeHwnd(), IDC_PRIMITIVE_CLEAR)));
    m_registry.reset();
    m_registry.emplace();
    win32::ResetInputState();
    // A machined part far from the origin, turned about two axes: flat
    // faces, a through hole and rounded edges, about 5,000 triangles.
    segmentationtest::stMachinedPart part;
    part.arcStepDeg = 9.0;
    part.rows = 5;
    part.capRings = 4;
    const double a = 0.35, b = -0.6;
    const double r[9] = {std::cos(b), 0, std::sin(b), std::sin(a) * std::sin(b), std::cos(a), -std::sin(a) * std::cos(b),
                         -std::cos(a) * std::sin(b), std::sin(a), std::cos(a) * std::cos(b)};
    std::copy(r, r + 9, part.rotation);
    const ON_Mesh mesh = part.Build();
    m_hostVertices.clear();
    for (int i = 0; i < mesh.m_F.Count(); ++i)
        for (int k = 0; k < 3; ++k)
        {
            const ON_3fPoint& p = mesh.m_V[mesh.m_F[i].vi[k]];
            m_hostVertices.insert(m_hostVertices.end(), {p.x, p.y, p.z});
        }
    ON_3dmObjectAttributes own;
    ON_Layer layer;
    layer.SetName(L"Scan");
    own.m_layer_index = DezazApp().ActiveDoc().LayerTable().AddLayer(layer);
    m_hostId = DezazApp().ActiveDoc().AddMeshObject(mesh, &own)->ModelObjectId();
    m_selectionUndo.clear();
    m_sketchUndo.clear();
    m_networkUndo.clear();
    m_saved.clear();
    m_checkReopen = false;
    m_curveDragReach = 0.0;
}

bool cUserSessionDriver::OpenShapesDialog()
{
    const CDezazObject* mesh = DezazApp().ActiveDoc().LookupObject(m_hostId);
    if (!mesh)
        return false;
    std::wstring error;
    dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(mesh->RuntimeSerialNumber()), error);
    const bool ran = DezazApp().RunScript(L"_vtlShapes", 0);
    win32::ClearPromptAnswers();
    Pump();
    ++m_dialogsOpened;
    m_selectionUndo.clear(); // a new dialog has saved no selection
    return ran && Dialog();
}

CCreatePrimitiveDialog* cUserSessionDriver::Dialog() const
{
    auto* dialog = dynamic_cast<CCreatePrimitiveDialog*>(ThePlugIn().ShapesDialog().Dialog());
    if (!dialog || dialog->IsClosed() || !dialog->GetSafeHwnd() || !::IsWindow(dialog->GetSafeHwnd()))
        return nullptr;
    return dialog;
}

cCPView* cUserSessionDriver::View() const
{
    CCreatePrimitiveDialog* dialog = Dialog();
    cCPView* view = dialog ? dialog->GetShapesView() : nullptr;
    return view && view->GetSafeHwnd() ? view : nullptr;
}

void cUserSessionDriver::Pump()
{
    mfc::PumpUntilIdle();
}

void cUserSessionDriver::Paint()
{
    Pump();
    if (cCPView* view = View())
        view->Redraw(kFullRedraw);
    Pump();
}

// ------------------------------------------------------------ prompts

std::optional<INT_PTR> cUserSessionDriver::Answer(const std::wstring& kind, const std::wstring& text)
{
    if (kind == win32::kPopupMenuPrompt)
        return 0; // a context menu the step did not plan for is dismissed
    if (kind != win32::kMessageBoxPrompt)
        return std::nullopt;
    const bool question = !text.empty() && (text.back() == L'?' || text.find(L"?\n") != std::wstring::npos);
    std::uniform_int_distribution<int> pick(0, 2);
    const int choice = pick(m_random);
    INT_PTR answer = IDOK;
    if (text == kMovedMeshQuestion)
    {
        answer = m_forcedClose ? (choice == 0 ? IDNO : IDYES) : (choice == 0 ? IDYES : choice == 1 ? IDNO : IDCANCEL);
    }
    else if (question)
        answer = choice == 0 ? IDNO : IDYES;
    std::string said;
    for (std::size_t i = 0; i < text.size() && i < 24; ++i)
        said += text[i] >= 32 && text[i] < 127 ? char(text[i]) : ' ';
    Note(std::string(" [\"") + said + "...\": " +
         (answer == IDYES ? "yes" : answer == IDNO ? "no" : answer == IDCANCEL ? "cancel" : "ok") + "]");
    return answer;
}

// ------------------------------------------------------------ the loop

std::string cUserSessionDriver::Play(std::uint32_t seed, int steps)
{
    m_seed = seed;
    m_random.seed(seed);
    m_log = "seed " + std::to_string(seed) + ":";
    m_failure.clear();
    ++m_counts.sequences;
    StartDocument();
    if (!OpenShapesDialog())
        return "seed " + std::to_string(seed) + ": the shapes dialog did not open";
    Paint();
    for (m_step = 0; m_step < steps; ++m_step)
    {
        const eAction action = Choose();
        Note("\n  " + std::to_string(m_step) + " " + ActionName(action));
        ++m_counts.steps;
        ++m_counts.actions[ActionName(action)];
        m_watchdog->Begin(m_log);
        const stWorldState before = Capture();
        m_notOffered = false;
        std::vector<std::uint32_t> serialsBefore;
        for (const CDezazObject* o : DezazApp().ActiveDoc().Objects())
            serialsBefore.push_back(o->RuntimeSerialNumber());
        try
        {
            Run(action);
            Paint();
        }
        catch (const std::exception& e)
        {
            m_failure = std::string("the step threw: ") + e.what();
            break;
        }
        const stWorldState after = Capture();
        if (after.shapes.size() > before.shapes.size() && action != eAction::saveReopen)
            m_counts.shapesMade += long(after.shapes.size() - before.shapes.size());
        // What the step added to the document (an opened document's
        // objects are all new, and not the step's).
        std::vector<const CDezazObject*> added;
        for (const CDezazObject* o : DezazApp().ActiveDoc().Objects())
            if (action != eAction::saveReopen)
                if (std::find(serialsBefore.begin(), serialsBefore.end(), o->RuntimeSerialNumber()) ==
                    serialsBefore.end())
                    added.push_back(o);
        // The primitive panel's surfaces are its own, not the dialog's.
        if (action == eAction::primitivePanel)
            added.clear();
        for (std::string failure :
             {CheckStructure(), CheckOtherShapes(action, before, after), CheckSelectionUndo(action, before, after),
              CheckProfileUndo(action, before, after), CheckCreated(before, added),
              m_checkReopen ? CheckReopened() : std::string()})
            if (m_failure.empty() && !failure.empty())
                m_failure = failure;
        m_checkReopen = false;
        if (!m_failure.empty())
            break;
        // A closed dialog is opened again, as a user would go on.
        if (!Dialog())
        {
            Note(" (reopened)");
            if (!OpenShapesDialog())
            {
                m_failure = "the shapes dialog did not open again";
                break;
            }
            Paint();
        }
    }
    m_watchdog->End();
    if (const char* show = std::getenv("VTL_SESSION_LOG"); show && *show == '1')
        std::fprintf(stderr, "%s\n", m_log.c_str());
    if (m_failure.empty())
        return {};
    ++m_counts.failures;
    return "random user session, seed " + std::to_string(seed) + ", step " + std::to_string(m_step) + ": " +
           m_failure + "\nsteps (replay: VTL_SESSION_SEEDS=" + std::to_string(seed) +
           " VTL_SESSION_STEPS=" + std::to_string(m_step + 1) + "):\n" + m_log;
}

eAction cUserSessionDriver::Choose()
{
    std::vector<double> weights(std::begin(kWeights), std::end(kWeights));
    for (int i = 0; i < int(eAction::count); ++i)
        if (!Allowed(eAction(i)))
            weights[std::size_t(i)] = 0.0;
    // Deep states: with a shape made, its pages draw the user more than
    // another kind does.
    if (CCreatePrimitiveDialog* dialog = Dialog(); dialog && dialog->GetCurrentSession())
    {
        weights[std::size_t(eAction::kind)] *= 0.4;
        if (dialog->GetSelectedTab() == 0 && dialog->TabTitles().size() > 2)
            weights[std::size_t(eAction::tab)] *= 3.0;
        // A user editing a sketch or a network stays at it a while.
        if (Allowed(eAction::sketchClick) || Allowed(eAction::curvesDrag))
            for (eAction leave : {eAction::tab, eAction::listSelect, eAction::listMenu, eAction::newShape,
                                  eAction::deleteShape, eAction::deleteAll, eAction::saveReopen, eAction::ok,
                                  eAction::cancel})
                weights[std::size_t(leave)] *= 0.3;
    }
    std::discrete_distribution<int> pick(weights.begin(), weights.end());
    return eAction(pick(m_random));
}

} // namespace usersession
