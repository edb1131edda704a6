// A user's road through a big scan, timed step by step against the host's
// own import of the same mesh from binary STL in the same round: the scan
// is imported, the shapes dialog opened on it (until its first frame is
// drawn), a face of about a million triangles marked with one magic-wand
// click (on the sample, whose noise stops the wand, with a filled brush
// stroke round it) and turned into every kind of shape, the whole mesh selected and
// turned into every kind, the shapes created in the document, the deviation
// measured, the document saved, opened again with the shapes dialog, and
// the scan segmented (Detect, then Split).
//
// Two scans of about 10M triangles (bench/big_scan_inputs.h): the bundled
// sample part generated at that density and a CAD-tessellated turned part
// subdivided to it. Each round runs the whole road once; every step's time
// is divided by that round's import, and the medians of these ratios over
// the rounds are reported with the goals of each:
//   open_ratio         opening the dialog                       <= 1.0
//   wand_ratio         the wand click                           <= 0.1
//   kind1M_<kind>      a kind change of the marked face         <= 0.5
//   kind_all_<kind>    a kind change of the whole mesh          <= 1.5
//   reopen_ratio       opening the saved document and dialog    <= 1.5
//   segment_ratio      segmentation Detect plus Split           <= 1.0
//   save_ratio         saving the document                      <= 1.0
// and the peak resident memory of the road from the import up to the save
// beside the import's own, in bytes per triangle (road_peak_ratio <= 2.5).
// wand_marked counts what the wand click itself marked (on the sample a
// few triangles: its noise stops the wand), marked what the kind changes
// of the face start from.
// Times are wall-clock: the steps run on the thread pool where their work
// splits, and the user waits for the wall clock.
//
// Everything runs in this process as the host program runs it: the host's
// commands and scripts, the plug-in linked in and loaded, the dialogs on
// real windows. A round at 10M triangles takes a few minutes and a few GB
// of memory. VTL_BIG_SCAN_ROUNDS sets the rounds (3), VTL_BENCH_ECHO=1
// shows what the host prints. VTL_BIG_SCAN_DIALOG=1 runs only the dialog's
// part of the road (import, open, wand click, Plane on the face and on the
// whole mesh), for profiling it; VTL_BIG_SCAN_KINDS=symmetry,free_form (the
// names below) likewise with those kinds only; VTL_BIG_SCAN_UNTIL_SAVE=1
// ends the road at the save (for a heap profile of the road's peak).
// BM_BigScanReopen and BM_BigScanResave time the reopen and the save alone
// on a document a road kept (VTL_BIG_SCAN_KEEP=1).
#include "bench/big_scan_inputs.h"
#include "bench/paired_timing.h"
#include "bench/process_memory.h"
#include "core/mesh.h"
#include "dezaz/host_commands.h"
#include "dezaz/main_window.h"
#include "dezaz/mesh_import.h"
#include "modes/shapes_view.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/host/document_io.h"
#include "platform/win32/controls.h"
#include "platform/win32/dialog.h"
#include "platform/win32/message.h"
#include "platform/win32/prompt_script.h"
#include "plugin/commands.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/plugin_info.h"
#include "plugin/vtl_plugin.h"
#include "render/base_renderer.h"
#include "resources/segmentation.h"
#include "resources/shapes_dialog.h"
#include "shapes/session_surface.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace
{

namespace fs = std::filesystem;

const std::wstring kTitle = std::wstring(vtl::kPlugInName) + L" " + vtl::kPlugInVersionW;

// The kinds of the Type list, as its items read.
const wchar_t* const kKindItems[] = {L"Plane",    L"Sphere",    L"Cylinder",  L"Symmetry Plane",
                                     L"Revolved", L"Extruded",  L"Free Form", L"Curves (Advanced)"};
const char* const kKindNames[] = {"plane", "sphere", "cylinder", "symmetry", "revolved", "extruded", "free_form", "curves"};

void PumpMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// Seconds of wall clock the work takes, with the messages it posted handled
// (a repaint it asked for is part of what the user waits for).
template <class Work> double SecondsOf(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    PumpMessages();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The host program in this process: its main window, its commands and
// scripts, and the plug-in loaded.
class cHost
{
public:
    cHost()
    {
        if (std::getenv("VTL_BENCH_ECHO"))
            DezazApp().SetPrintSink([](const std::wstring& text) { std::fprintf(stderr, "%ls", text.c_str()); });
        m_window = dezaz::CreateMainWindow();
        DezazApp().SetMainWindowHandle(m_window);
        dezaz::RegisterHostCommands();
        // Referencing the commands links them in, and so registers them.
        benchmark::DoNotOptimize(&vtl::ShapesCommand());
        benchmark::DoNotOptimize(&vtl::AnalyzerCommand());
        benchmark::DoNotOptimize(&vtl::SegmentationCommand());
        m_loaded = ThePlugIn().OnLoadPlugIn();
        dezaz::SetPlugInLoaded(&ThePlugIn(), true);
        // A sphere or cylinder fitted to a flat region asks whether its
        // huge radius is meant; the user keeps it.
        win32::SetPromptHandler([](const std::wstring& kind, const std::wstring& text, HWND) -> std::optional<INT_PTR> {
            if (kind == win32::kMessageBoxPrompt && text.find(L"seems too big") != std::wstring::npos)
                return IDYES;
            return std::nullopt;
        });
    }
    ~cHost()
    {
        win32::SetPromptHandler(nullptr);
        dezaz::NewDocument(DezazApp().ActiveDoc());
        dezaz::SetPlugInLoaded(&ThePlugIn(), false);
        ThePlugIn().OnUnloadPlugIn();
        DezazApp().SetMainWindowHandle(nullptr);
        if (m_window)
            ::DestroyWindow(m_window);
    }
    bool Loaded() const { return m_loaded && m_window; }

    static bool Run(const std::wstring& script) { return DezazApp().RunScript(script.c_str(), 0); }

private:
    HWND m_window = nullptr;
    bool m_loaded = false;
};

CCreatePrimitiveDialog* ShapesDialog()
{
    return dynamic_cast<CCreatePrimitiveDialog*>(ThePlugIn().ShapesDialog().Dialog());
}

std::size_t SelectedTriangles(cMesh& mesh)
{
    std::size_t n = 0;
    mesh.ForEachTriangle([&](cMeshTriangle& t) { n += (t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected; });
    return n;
}

// The fractions of the shapes view where a world point shows.
std::wstring ViewFractions(const float world[3])
{
    CCreatePrimitiveDialog* dialog = ShapesDialog();
    cCPView* view = dialog ? dialog->GetShapesView() : nullptr;
    if (!view)
        return L"0.5,0.5";
    cBase3DRenderer* camera = view->GetCamera();
    float min[3], max[3];
    camera->GetSceneBox(min, max);
    RECT viewport{};
    camera->GetViewport(&viewport);
    const double w = viewport.right - viewport.left, h = viewport.bottom - viewport.top;
    const double* t = camera->GetViewTransform();
    const float* c = camera->GetSceneCentre();
    const double d[3] = {double(world[0]) - c[0], double(world[1]) - c[1], double(world[2]) - c[2]};
    const double vx = t[0] * d[0] + t[1] * d[1] + t[2] * d[2] + t[3];
    const double vy = t[4] * d[0] + t[5] * d[1] + t[6] * d[2] + t[7];
    const double x = w * vx / (double(max[0]) - min[0]) + w * 0.5, y = h - (h * vy / (double(max[1]) - min[1]) + h * 0.5);
    wchar_t text[64];
    std::swprintf(text, 64, L"%.5f,%.5f", x / (w - 1), y / (h - 1));
    return text;
}

// What a road is given: the scan, and where on it the face to be marked
// with the wand lies, seen in a standard view.
struct stScan
{
    fs::path stl;
    std::uint64_t triangles = 0;
    float facePoint[3] = {0, 0, 0};
    int viewCommand = 0;        // a standard view of the view's menu, 0: the dialog's own
    const wchar_t* crease = L"1"; // the wand's crease angle in degrees
    // When the wand cannot mark the face (a scan's noise tilts neighbours
    // past its largest crease angle), a filled brush stroke through these
    // points round the face marks it for the kind changes.
    std::vector<std::array<float, 3>> outline;
};

struct stRoadTimes
{
    double import = 0, open = 0, wand = 0, save = 0, reopen = 0, detect = 0, split = 0, create = 0, deviation = 0;
    double kind1M[8] = {}, kindAll[8] = {};
    std::size_t wandMarked = 0, marked = 0;
    // The peak resident bytes of each step up to the save above what the
    // road started from, what is still resident after it, and the bytes of
    // the allocations held after it (beside the import's).
    std::vector<std::pair<std::string, std::array<std::size_t, 3>>> memory;
    bool ok = true;
    std::string failure;
};

// Where the road saves its document: beside the scan, named after it. With
// VTL_BIG_SCAN_KEEP=1 the document is kept for BM_BigScanReopen.
fs::path SavedDocument(const stScan& scan)
{
    return fs::temp_directory_path() / (scan.stl.stem().string() + "_road.dzz");
}

// Segmentation of the document's first object: Detect at the dialog's
// sensitivity, then Split, clicked in its loop.
void Segment(stRoadTimes& times)
{
    cHost::Run(L"> Object first");
    win32::PromptAnswer answer;
    answer.kind = win32::kDialogPrompt;
    answer.act = [&](HWND window, const std::wstring&) -> INT_PTR {
        const auto press = [window](int id) {
            ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(::GetDlgItem(window, id)));
        };
        times.detect = SecondsOf([&] { press(IDC_SEGMENTATION_DETECT); });
        times.split = SecondsOf([&] { press(IDC_SEGMENTATION_SPLIT); });
        return 0;
    };
    win32::QueuePromptAnswer(std::move(answer));
    cHost::Run(L"_vtlSegmentation");
    win32::ClearPromptAnswers();
}

// One road; `memory` measures the peaks of the import and of the road.
stRoadTimes RunRoad(const stScan& scan, std::size_t* importPeak, std::size_t* roadPeak)
{
    stRoadTimes times;
    const auto fail = [&](const std::string& what) {
        if (times.ok)
            times.failure = what;
        times.ok = false;
    };
    CDezazDoc& doc = DezazApp().ActiveDoc();
    dezaz::NewDocument(doc);
    const fs::path saved = SavedDocument(scan);

    // The import: the host's reading and welding and the object it adds.
    const std::size_t before = benchmemory::StartPeakMeasurement(), allocatedBefore = benchmemory::AllocatedBytes();
    const CDezazObject* mesh = nullptr;
    times.import = SecondsOf([&] {
        auto read = std::make_unique<ON_Mesh>();
        std::wstring error;
        if (dezaz::ImportMeshFile(scan.stl.string(), *read, error))
            mesh = doc.AddMeshObject(std::move(read));
    });
    if (importPeak)
        *importPeak = benchmemory::PeakSince(before);
    // Each step's peak is measured from the end of the step before it, so
    // the road's peak is the largest of them.
    const auto noteMemory = [&](const char* step) {
        const std::size_t peak = benchmemory::PeakSince(before), now = benchmemory::StatusBytes("VmRSS");
        const std::size_t allocated = benchmemory::AllocatedBytes();
        times.memory.push_back({step, {peak, now > before ? now - before : 0, allocated > allocatedBefore ? allocated - allocatedBefore : 0}});
        benchmemory::ResetPeak();
    };
    noteMemory("import");
    if (!mesh)
        return fail("the import failed"), times;

    const std::wstring serial = std::to_wstring(mesh->RuntimeSerialNumber());
    times.open = SecondsOf([&] { cHost::Run(L"> Object " + serial + L"\n> MessageBox No\n_vtlShapes"); });
    noteMemory("open");
    CCreatePrimitiveDialog* dialog = ShapesDialog();
    if (!dialog || !dialog->FirstMesh())
        return fail("the shapes dialog did not open"), times;
    cMesh& scanMesh = *dialog->FirstMesh();

    const std::wstring title = L"\"" + kTitle + L"\" ";
    if (scan.viewCommand)
        cHost::Run(L"_DialogViewCommand " + title + std::to_wstring(scan.viewCommand));
    cHost::Run(L"_DialogText " + title + L"3023 " + scan.crease);
    const std::wstring click = L"_DialogViewClick " + title + ViewFractions(scan.facePoint);
    times.wand = SecondsOf([&] { cHost::Run(click); });
    times.wandMarked = times.marked = SelectedTriangles(scanMesh);
    noteMemory("wand");
    if (!scan.outline.empty())
    {
        // Front-facing triangles only: the outline would take the part's
        // back and everything behind the face as well. The button toggles a
        // choice the dialog keeps in the settings from one run to the next:
        // it is pressed only when the choice is off.
        const bool frontOnly = ::IsDlgButtonChecked(dialog->GetSafeHwnd(), IDC_SHAPES_FRONT_ONLY) == BST_CHECKED;
        std::wstring stroke = L"_DialogButton " + title + std::to_wstring(IDC_SHAPES_PAINT_FILLED) +
                              (frontOnly ? L"" : L"\n_DialogButton " + title + std::to_wstring(IDC_SHAPES_FRONT_ONLY)) +
                              L"\n_DialogViewClick " + title;
        for (const auto& p : scan.outline)
            stroke += L" " + ViewFractions(p.data());
        cHost::Run(stroke);
        times.marked = SelectedTriangles(scanMesh);
    }
    noteMemory("stroke");
    if (times.marked == 0)
        fail("nothing was marked");

    const auto kindChange = [&](int kind) {
        return SecondsOf([&] { cHost::Run(L"_DialogCombo " + title + L"3022 " + kKindItems[kind]); });
    };
    // VTL_BIG_SCAN_KINDS names the kinds to change to (a comma list of the
    // kind names above); the road then ends after them, as with the dialog's.
    const char* chosen = std::getenv("VTL_BIG_SCAN_KINDS");
    const bool dialogOnly = std::getenv("VTL_BIG_SCAN_DIALOG") != nullptr || chosen != nullptr;
    const auto runs = [&](int kind) {
        if (chosen)
        {
            std::string list = chosen, name = kKindNames[kind];
            list.push_back(','), name.push_back(',');
            for (std::size_t at = 0; (at = list.find(name, at)) != std::string::npos; ++at)
                if (at == 0 || list[at - 1] == ',')
                    return true;
            return false;
        }
        return !dialogOnly || kind == 0;
    };
    for (int kind = 0; kind < 8; ++kind)
        if (runs(kind))
        {
            times.kind1M[kind] = kindChange(kind);
            noteMemory((std::string("face_") + kKindNames[kind]).c_str());
        }
    cHost::Run(L"_DialogButton " + title + L"3106\n_DialogButton " + title + std::to_wstring(IDC_SHAPES_SELECT_ALL));
    noteMemory("select_all");
    for (int kind = 0; kind < 8; ++kind)
        if (runs(kind))
        {
            times.kindAll[kind] = kindChange(kind);
            noteMemory((std::string("all_") + kKindNames[kind]).c_str());
        }
    if (dialogOnly)
    {
        cHost::Run(L"_DialogButton " + title + L"2");
        dezaz::NewDocument(doc);
        return times;
    }

    times.create = SecondsOf([&] { cHost::Run(L"_DialogButton " + title + L"4\n_DialogButton " + title + L"2"); });
    noteMemory("create");
    times.deviation = SecondsOf([&] { cHost::Run(L"_vtlAnalyzer"); });
    noteMemory("deviation");
    times.save = SecondsOf([&] { cHost::Run(L"_Save \"" + saved.wstring() + L"\""); });
    noteMemory("save");
    if (roadPeak)
        for (const auto& step : times.memory)
            *roadPeak = std::max(*roadPeak, step.second[0]);
    if (!fs::exists(saved))
        fail("the document was not saved");
    if (std::getenv("VTL_BIG_SCAN_UNTIL_SAVE"))
    {
        dezaz::NewDocument(doc);
        fs::remove(saved);
        return times;
    }

    dezaz::NewDocument(doc);
    times.reopen = SecondsOf([&] {
        cHost::Run(L"_Open \"" + saved.wstring() + L"\"\n> Object first\n> MessageBox No\n_vtlShapes");
    });
    dialog = ShapesDialog();
    if (!dialog || !dialog->FirstMesh())
        fail("the reopened document's mesh did not open");
    cHost::Run(L"_DialogButton " + title + L"2");

    Segment(times);
    if (times.split == 0)
        fail("segmentation did not run");
    dezaz::NewDocument(doc);
    if (!std::getenv("VTL_BIG_SCAN_KEEP"))
        fs::remove(saved);
    return times;
}

void BM_BigScanRoad(benchmark::State& state)
{
    stScan scan;
    if (state.range(0) == 0)
    {
        scan.stl = bigscan::SamplePartStl(10e6, &scan.triangles);
        // The block's front face, seen from the front; the scan's noise
        // tilts neighbouring triangles by a few degrees.
        scan.facePoint[0] = 60.0f, scan.facePoint[1] = 0.0f, scan.facePoint[2] = 10.0f;
        scan.viewCommand = 32791;
        scan.crease = L"8";
        for (const auto& corner : {std::array{2.0f, 0.0f, 1.0f}, std::array{118.0f, 0.0f, 1.0f},
                                   std::array{118.0f, 0.0f, 19.0f}, std::array{2.0f, 0.0f, 19.0f},
                                   std::array{2.0f, 0.0f, 1.0f}})
            scan.outline.push_back(corner);
    }
    else
    {
        scan.stl = bigscan::TurnedPartStl(&scan.triangles);
        // The shoulder between the two larger diameters, seen from the top.
        bigscan::TurnedPartPoint(32.0, 0.0, 15.0, scan.facePoint);
    }
    if (scan.stl.empty())
        return state.SkipWithError("the scan could not be written");
    cHost host;
    if (!host.Loaded())
        return state.SkipWithError("the host could not load the plug-in");

    std::vector<stRoadTimes> rounds;
    std::size_t importPeak = 0, roadPeak = 0;
    for (auto _ : state)
    {
        const bool first = rounds.empty();
        rounds.push_back(RunRoad(scan, first ? &importPeak : nullptr, first ? &roadPeak : nullptr));
        if (!rounds.back().ok)
            return state.SkipWithError(rounds.back().failure.c_str());
        state.SetIterationTime(rounds.back().import);
    }
    const auto median = [&](auto&& of) {
        std::vector<double> v;
        for (const stRoadTimes& r : rounds)
            v.push_back(of(r));
        return Median(v);
    };
    const auto ratio = [&](auto&& of) { return median([&](const stRoadTimes& r) { return of(r) / r.import; }); };
    state.counters["triangles"] = double(scan.triangles);
    state.counters["import_ms"] = 1e3 * median([](const stRoadTimes& r) { return r.import; });
    state.counters["wand_marked"] = double(rounds.front().wandMarked);
    state.counters["marked"] = double(rounds.front().marked);
    state.counters["open_ratio"] = ratio([](const stRoadTimes& r) { return r.open; });
    state.counters["wand_ratio"] = ratio([](const stRoadTimes& r) { return r.wand; });
    for (int kind = 0; kind < 8; ++kind)
    {
        state.counters[std::string("kind1M_") + kKindNames[kind]] = ratio([kind](const stRoadTimes& r) { return r.kind1M[kind]; });
        state.counters[std::string("kind_all_") + kKindNames[kind]] =
            ratio([kind](const stRoadTimes& r) { return r.kindAll[kind]; });
    }
    state.counters["create_ratio"] = ratio([](const stRoadTimes& r) { return r.create; });
    state.counters["deviation_ratio"] = ratio([](const stRoadTimes& r) { return r.deviation; });
    state.counters["save_ratio"] = ratio([](const stRoadTimes& r) { return r.save; });
    state.counters["reopen_ratio"] = ratio([](const stRoadTimes& r) { return r.reopen; });
    state.counters["segment_ratio"] = ratio([](const stRoadTimes& r) { return r.detect + r.split; });
    state.counters["import_bytes_per_triangle"] = double(importPeak) / double(scan.triangles);
    state.counters["road_bytes_per_triangle"] = double(roadPeak) / double(scan.triangles);
    state.counters["road_peak_ratio"] = importPeak ? double(roadPeak) / double(importPeak) : 0.0;
    // Every step in milliseconds, for the person reading the run.
    const auto ms = [&](const char* name, auto&& of) { std::fprintf(stderr, " %s %.0f", name, 1e3 * median(of)); };
    std::fprintf(stderr, "%s (ms):", scan.stl.filename().c_str());
    ms("import", [](const stRoadTimes& r) { return r.import; });
    ms("open", [](const stRoadTimes& r) { return r.open; });
    ms("wand", [](const stRoadTimes& r) { return r.wand; });
    for (int kind = 0; kind < 8; ++kind)
        ms(kKindNames[kind], [kind](const stRoadTimes& r) { return r.kind1M[kind]; });
    for (int kind = 0; kind < 8; ++kind)
        ms(kKindNames[kind], [kind](const stRoadTimes& r) { return r.kindAll[kind]; });
    ms("create", [](const stRoadTimes& r) { return r.create; });
    ms("deviation", [](const stRoadTimes& r) { return r.deviation; });
    ms("save", [](const stRoadTimes& r) { return r.save; });
    ms("reopen", [](const stRoadTimes& r) { return r.reopen; });
    ms("detect", [](const stRoadTimes& r) { return r.detect; });
    ms("split", [](const stRoadTimes& r) { return r.split; });
    std::fprintf(stderr, "\n");
    // Where the first round's memory stood: each step's peak and what it
    // left resident, in bytes per triangle above the road's start.
    std::fprintf(stderr, "%s (bytes per triangle, peak/resident/allocated):", scan.stl.filename().c_str());
    for (const auto& [step, bytes] : rounds.front().memory)
        std::fprintf(stderr, " %s %.1f/%.1f/%.1f", step.c_str(), double(bytes[0]) / double(scan.triangles),
                     double(bytes[1]) / double(scan.triangles), double(bytes[2]) / double(scan.triangles));
    std::fprintf(stderr, "\n");
}
const int kRounds = std::getenv("VTL_BIG_SCAN_ROUNDS") ? std::max(1, std::atoi(std::getenv("VTL_BIG_SCAN_ROUNDS"))) : 3;
BENCHMARK(BM_BigScanRoad)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRounds);

// The road's segmentation step alone, on the imported scan: a quicker
// measure of Detect and Split for whoever works on them.
void BM_BigScanSegmentation(benchmark::State& state)
{
    std::uint64_t triangles = 0;
    const fs::path stl = state.range(0) == 0 ? bigscan::SamplePartStl(10e6, &triangles) : bigscan::TurnedPartStl(&triangles);
    if (stl.empty())
        return state.SkipWithError("the scan could not be written");
    cHost host;
    if (!host.Loaded())
        return state.SkipWithError("the host could not load the plug-in");
    std::vector<stRoadTimes> rounds;
    for (auto _ : state)
    {
        CDezazDoc& doc = DezazApp().ActiveDoc();
        dezaz::NewDocument(doc);
        stRoadTimes times;
        times.import = SecondsOf([&] {
            auto read = std::make_unique<ON_Mesh>();
            std::wstring error;
            if (dezaz::ImportMeshFile(stl.string(), *read, error))
                doc.AddMeshObject(std::move(read));
        });
        Segment(times);
        dezaz::NewDocument(doc);
        if (times.split == 0)
            return state.SkipWithError("segmentation did not run");
        state.SetIterationTime(times.detect + times.split);
        rounds.push_back(times);
    }
    const auto median = [&](auto&& of) {
        std::vector<double> v;
        for (const stRoadTimes& r : rounds)
            v.push_back(of(r));
        return Median(v);
    };
    state.counters["triangles"] = double(triangles);
    state.counters["segment_ratio"] = median([](const stRoadTimes& r) { return (r.detect + r.split) / r.import; });
    std::fprintf(stderr, "%s (ms): import %.0f detect %.0f split %.0f\n", stl.filename().c_str(),
                 1e3 * median([](const stRoadTimes& r) { return r.import; }),
                 1e3 * median([](const stRoadTimes& r) { return r.detect; }),
                 1e3 * median([](const stRoadTimes& r) { return r.split; }));
}
BENCHMARK(BM_BigScanSegmentation)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRounds);

} // namespace

// The road's reopen step alone, on the document a road saved and kept
// (VTL_BIG_SCAN_KEEP=1): the document opened, then the shapes dialog on it,
// each timed, and the open's peak memory beside the file's size.
void BM_BigScanReopen(benchmark::State& state)
{
    stScan scan;
    scan.stl = state.range(0) == 0 ? bigscan::SamplePartStl(10e6, &scan.triangles) : bigscan::TurnedPartStl(&scan.triangles);
    const fs::path saved = SavedDocument(scan);
    if (scan.stl.empty() || !fs::exists(saved))
        return state.SkipWithError("no kept document: run the road with VTL_BIG_SCAN_KEEP=1 first");
    cHost host;
    if (!host.Loaded())
        return state.SkipWithError("the host could not load the plug-in");
    CDezazDoc& doc = DezazApp().ActiveDoc();
    const std::wstring title = L"\"" + kTitle + L"\" ";
    std::vector<double> opens, dialogs;
    std::size_t peak = 0;
    for (auto _ : state)
    {
        dezaz::NewDocument(doc);
        const std::size_t before = benchmemory::StartPeakMeasurement();
        opens.push_back(SecondsOf([&] { cHost::Run(L"_Open \"" + saved.wstring() + L"\""); }));
        peak = std::max(peak, benchmemory::PeakSince(before));
        dialogs.push_back(SecondsOf([&] { cHost::Run(L"> Object first\n> MessageBox No\n_vtlShapes"); }));
        if (!ShapesDialog() || !ShapesDialog()->FirstMesh())
            return state.SkipWithError("the reopened document's mesh did not open");
        cHost::Run(L"_DialogButton " + title + L"2");
        state.SetIterationTime(opens.back() + dialogs.back());
    }
    dezaz::NewDocument(doc);
    state.counters["open_peak_bytes_per_triangle"] = double(peak) / double(scan.triangles);
    std::fprintf(stderr, "%s (ms): document %.0f dialog %.0f; file %.2f GB\n", saved.filename().c_str(),
                 1e3 * Median(opens), 1e3 * Median(dialogs), double(fs::file_size(saved)) / 1e9);
}
BENCHMARK(BM_BigScanReopen)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRounds);

// The road's save step alone, on the document a road saved and kept
// (VTL_BIG_SCAN_KEEP=1): the document opened once, then saved again to a
// file beside it each round, timed with the peak resident memory it adds;
// the last saved must hold the kept document's bytes exactly.
void BM_BigScanResave(benchmark::State& state)
{
    stScan scan;
    scan.stl = state.range(0) == 0 ? bigscan::SamplePartStl(10e6, &scan.triangles) : bigscan::TurnedPartStl(&scan.triangles);
    const fs::path saved = SavedDocument(scan);
    if (scan.stl.empty() || !fs::exists(saved))
        return state.SkipWithError("no kept document: run the road with VTL_BIG_SCAN_KEEP=1 first");
    cHost host;
    if (!host.Loaded())
        return state.SkipWithError("the host could not load the plug-in");
    CDezazDoc& doc = DezazApp().ActiveDoc();
    dezaz::NewDocument(doc);
    cHost::Run(L"_Open \"" + saved.wstring() + L"\"");
    fs::path again = saved;
    again.replace_extension(".again.dzz");
    const auto sameBytes = [&] {
        std::FILE* a = std::fopen(saved.c_str(), "rb");
        std::FILE* b = std::fopen(again.c_str(), "rb");
        bool same = a && b;
        std::vector<char> x(1 << 20), y(1 << 20);
        while (same)
        {
            const std::size_t n = std::fread(x.data(), 1, x.size(), a), m = std::fread(y.data(), 1, y.size(), b);
            same = n == m && std::memcmp(x.data(), y.data(), n) == 0;
            if (n == 0)
                break;
        }
        if (a)
            std::fclose(a);
        if (b)
            std::fclose(b);
        return same;
    };
    std::vector<double> saves;
    // When the saves start, on the monotonic clock (for a profile's window).
    std::fprintf(stderr, "saves from %.3f s\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
    std::size_t peak = 0;
    for (auto _ : state)
    {
        const std::size_t before = benchmemory::StartPeakMeasurement();
        saves.push_back(SecondsOf([&] { cHost::Run(L"_Save \"" + again.wstring() + L"\""); }));
        peak = std::max(peak, benchmemory::PeakSince(before));
        state.SetIterationTime(saves.back());
    }
    const bool same = sameBytes();
    dezaz::NewDocument(doc);
    fs::remove(again);
    std::fprintf(stderr, "%s (ms): save %.0f (", saved.filename().c_str(), 1e3 * Median(saves));
    for (double s : saves)
        std::fprintf(stderr, " %.0f", 1e3 * s);
    std::fprintf(stderr, " ); peak %.1f B per triangle; file %.2f GB, the same bytes: %s\n",
                 double(peak) / double(scan.triangles), double(fs::file_size(saved)) / 1e9, same ? "yes" : "NO");
    if (!same)
        state.SkipWithError("a saved document's bytes differ from the kept one's");
}
BENCHMARK(BM_BigScanResave)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRounds);
