// The shapes dialog's work on large scans: the magic wand's flood fill over
// a whole flat patch (the worst case: every triangle is reached), a kind
// change on a marked scan (session, fit, shape list and redraw), and the
// Shape page's Rebuild of that shape with the marks unchanged (refit, region
// taken again, redraw), on 1M and 10M triangles.
#include "core/mesh.h"
#include "core/registry_store.h"
#include "platform/geometry/mesh.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/controls.h"
#include "plugin/dialogs/magic_wand.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/resource_text.h"
#include "resources/resource.h"
#include "resources/shapes_dialog.h"
#include "shapes/entities_history.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>

namespace
{

// A square grid of about `triangles` triangles, tilted, 300 mm away from
// the origin.
int CellsFor(std::int64_t triangles)
{
    return int(std::sqrt(double(triangles) / 2.0));
}

void FillGrid(cMesh& mesh, int cells)
{
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i)
        {
            const float p[3] = {300.0f + 0.1f * float(i), -200.0f + 0.1f * float(j), 50.0f + 0.02f * float(i)};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i)
        {
            const std::uint32_t v = std::uint32_t(j * (cells + 1) + i);
            mesh.AddTriangle(v, v + 1, v + std::uint32_t(cells) + 2);
            mesh.AddTriangle(v, v + std::uint32_t(cells) + 2, v + std::uint32_t(cells) + 1);
        }
    mesh.Update();
}

ON_Mesh HostGrid(int cells)
{
    ON_Mesh mesh;
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i)
            mesh.m_V.Append(ON_3fPoint(300.0f + 0.1f * float(i), -200.0f + 0.1f * float(j), 50.0f + 0.02f * float(i)));
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i)
        {
            const int v = j * (cells + 1) + i;
            ON_MeshFace f{};
            f.vi[0] = v, f.vi[1] = v + 1, f.vi[2] = v + cells + 2, f.vi[3] = v + cells + 1;
            mesh.m_F.Append(f);
        }
    return mesh;
}

void BM_MagicWandFloodFill(benchmark::State& state)
{
    cMesh mesh;
    FillGrid(mesh, CellsFor(state.range(0)));
    cMeshTriangle* seed = mesh.GetTriangle(mesh.GetTriangleCount() / 2);
    bool select = true;
    for (auto _ : state)
    {
        // Alternate: every run floods the whole patch to the other state.
        if (select)
            seed->flags |= kTriangleFlagSelected;
        else
            seed->flags &= std::uint8_t(~kTriangleFlagSelected);
        select = !select;
        benchmark::DoNotOptimize(GrowMagicWandSelection(mesh, seed, 4.0));
    }
    state.counters["triangles"] = double(mesh.GetTriangleCount());
    state.counters["triangles/s"] =
        benchmark::Counter(double(mesh.GetTriangleCount()) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MagicWandFloodFill)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->Iterations(5);

// The dialog open on a marked grid of about `triangles` triangles.
struct stMarkedScan
{
    explicit stMarkedScan(std::int64_t triangles)
    {
        const auto include = [](const std::string& name) -> std::optional<std::string>
        {
            for (const VtlResourceHeader* header = kVtlResourceHeaders; header->name; ++header)
                if (name == header->name)
                    return std::string(header->text);
            return std::nullopt;
        };
        if (!win32::RegisterResourceScript(module, std::string(kVtlResourceScript), include, &error))
            return;
        registered = true;
        moduleState.m_hCurrentInstanceHandle = module;
        moduleState.m_hCurrentResourceHandle = module;
        AFX_MANAGE_STATE(&moduleState);
        store.Init(L"Pellmark", L"VTL_4 For Dezaz");
        {
            ON_Mesh scan = HostGrid(CellsFor(triangles));
            host = DezazApp().ActiveDoc().AddMeshObject(scan);
        }
        dialog = std::make_unique<CCreatePrimitiveDialog>(&store);
        if (!dialog->CreateModeless(IDD_CREATE_PRIMITIVE, nullptr) || !dialog->LoadHostMesh(CDezazObjRef(host)))
        {
            error = "the dialog could not be opened";
            return;
        }
        dialog->ShowWindow(SW_SHOW);
        dialog->SetEntry(history.GetOrCreate(host->ModelObjectId()));
        dialog->OnSelectAll();
    }
    ~stMarkedScan()
    {
        dialog.reset();
        DezazApp().ActiveDoc().Clear();
        if (registered)
            win32::UnregisterResources(module);
    }
    void ChooseKind(eShapeKind kind)
    {
        const HWND window = dialog->GetSafeHwnd();
        const HWND combo = ::GetDlgItem(window, IDC_SHAPES_KIND);
        ::SendMessageW(combo, CB_SETCURSEL, WPARAM(kind), 0);
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SHAPES_KIND, CBN_SELCHANGE), LPARAM(combo));
    }

    const HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9700000);
    std::string error;
    bool registered = false;
    AFX_MODULE_STATE moduleState;
    cRegistryStore store;
    CEntitiesHistory history;
    const CDezazObject* host = nullptr;
    std::unique_ptr<CCreatePrimitiveDialog> dialog;
};

void BM_RebuildWithUnchangedMarks(benchmark::State& state)
{
    stMarkedScan scan(state.range(0));
    if (!scan.dialog)
    {
        state.SkipWithError(scan.error.c_str());
        return;
    }
    scan.ChooseKind(eShapeKind::Plane);
    if (!scan.dialog->GetCurrentSession())
    {
        state.SkipWithError("no shape was made");
        return;
    }
    // The first Rebuild is the one that finds the region without its tree.
    scan.dialog->GetShapePage()->OnRebuild();
    for (auto _ : state)
        scan.dialog->GetShapePage()->OnRebuild();
    state.counters["triangles"] = double(scan.dialog->FirstMesh()->GetTriangleCount());
}
BENCHMARK(BM_RebuildWithUnchangedMarks)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_KindChangeOnMarkedScan(benchmark::State& state)
{
    const HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9600000);
    const auto include = [](const std::string& name) -> std::optional<std::string>
    {
        for (const VtlResourceHeader* header = kVtlResourceHeaders; header->name; ++header)
            if (name == header->name)
                return std::string(header->text);
        return std::nullopt;
    };
    std::string error;
    if (!win32::RegisterResourceScript(module, std::string(kVtlResourceScript), include, &error))
    {
        state.SkipWithError(error.c_str());
        return;
    }
    AFX_MODULE_STATE moduleState;
    moduleState.m_hCurrentInstanceHandle = module;
    moduleState.m_hCurrentResourceHandle = module;
    AFX_MANAGE_STATE(&moduleState);
    cRegistryStore store;
    store.Init(L"Pellmark", L"VTL_4 For Dezaz");
    CEntitiesHistory history;
    const CDezazObject* host = nullptr;
    {
        ON_Mesh scan = HostGrid(CellsFor(state.range(0)));
        host = DezazApp().ActiveDoc().AddMeshObject(scan);
    }
    auto dialog = std::make_unique<CCreatePrimitiveDialog>(&store);
    if (!dialog->CreateModeless(IDD_CREATE_PRIMITIVE, nullptr) || !dialog->LoadHostMesh(CDezazObjRef(host)))
    {
        state.SkipWithError("the dialog could not be opened");
        return;
    }
    dialog->ShowWindow(SW_SHOW);
    dialog->SetEntry(history.GetOrCreate(host->ModelObjectId()));
    dialog->OnSelectAll();
    const HWND window = dialog->GetSafeHwnd();
    const HWND combo = ::GetDlgItem(window, IDC_SHAPES_KIND);
    for (auto _ : state)
    {
        ::SendMessageW(combo, CB_SETCURSEL, WPARAM(eShapeKind::Plane), 0);
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SHAPES_KIND, CBN_SELCHANGE), LPARAM(combo));
        state.PauseTiming();
        if (!dialog->GetCurrentSession())
            state.SkipWithError("no shape was made");
        dialog->DeleteCurrentShape();
        dialog->OnSelectAll();
        state.ResumeTiming();
    }
    state.counters["triangles"] = double(dialog->FirstMesh()->GetTriangleCount());
    dialog.reset();
    DezazApp().ActiveDoc().Clear();
    win32::UnregisterResources(module);
}
BENCHMARK(BM_KindChangeOnMarkedScan)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
