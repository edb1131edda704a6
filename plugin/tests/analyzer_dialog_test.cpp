// The floating deviation analyser on a generated scan of a box-shaped part
// against the part's exact faces: the colours and deviations of the
// vertices against their true distances, the extremes and the labels, the
// tolerance and its validation, the surfaces it hides, the labels of a
// deleted mesh, reuse of the search tree, and closing.
#include "analysis/analysed_vertex_tree.h"
#include "analysis/colour_ramp.h"
#include "core/registry_store.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_event_watcher.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/host/dezaz_viewport.h"
#include "platform/mfc/win_app.h"
#include "platform/wgl/pixel_probe.h"
#include "platform/wgl/png_writer.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/controls.h"
#include "platform/win32/dialog.h"
#include "platform/win32/input.h"
#include "platform/win32/menu.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window_snapshot.h"
#include "plugin/module_state.h"
#include "plugin/resource_text.h"
#include "plugin/tests/support/deviation_part.h"
#include "plugin/tools/analyzer_dialog.h"
#include "plugin/tools/analyzer_settings.h"
#include "plugin/tools/colour_scale_control.h"
#include "plugin/tools/deviation_analysis_mode.h"
#include "plugin/vtl_plugin.h"
#include "resources/analyzer.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <memory>

using deviationtest::stDeviationPart;

namespace
{

class FloatingAnalyzer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ClearPromptAnswers();
        std::string error;
        const auto include = [](const std::string& name) -> std::optional<std::string> {
            for (const VtlResourceHeader* header = kVtlResourceHeaders; header->name; ++header)
                if (name == header->name)
                    return std::string(header->text);
            return std::nullopt;
        };
        ASSERT_TRUE(win32::RegisterResourceScript(module, kVtlResourceScript, include, &error)) << error;
        state.m_hCurrentInstanceHandle = module;
        state.m_hCurrentResourceHandle = module;
        doc.Clear();
        store.Init(L"VtlTests", L"FloatingAnalyzer");
        DezazApp().ClearCommandLineText();
    }
    void TearDown() override
    {
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "a prompt the test expected was not shown";
        win32::ClearPromptAnswers();
        dialog.reset();
        TheVTLAnalysisMode().ReleaseSearchTree();
        TheVTLAnalysisMode().ClearLabels();
        win32::UnregisterResources(module);
        doc.Clear();
    }

    void WriteSetting(const wchar_t* name, const wchar_t* text)
    {
        store.WriteValue(kAnalyzerSection, name, REG_SZ, text, DWORD((std::wcslen(text) + 1) * 2));
    }

    // The part's faces and its scan in the document, and the analyser open.
    void Open(const stDeviationPart& part, const wchar_t* tolerance = L"0.05")
    {
        WriteSetting(L"Multiplier", L"5");
        WriteSetting(L"Tolerance", tolerance);
        for (auto& brep : part.Surfaces())
            surfaces.push_back(doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(brep))));
        scan = part.Scan();
        mesh = doc.AddMeshObject(scan.mesh);
        ASSERT_NE(mesh, nullptr);
        AFX_MANAGE_STATE(&state);
        dialog = std::make_unique<CFloatingAnalyzerDialog>(&store, nullptr);
        ASSERT_TRUE(dialog->CreateModeless(IDD_FLOATING_ANALYZER, nullptr));
    }
    void RunAsTheCommandDoes()
    {
        AFX_MANAGE_STATE(&state);
        static_cast<IAnalyzerTool&>(*dialog).ApplySurfaceVisibility();
        static_cast<IAnalyzerTool&>(*dialog).Recalculate();
    }
    void Click(int id)
    {
        AFX_MANAGE_STATE(&state);
        ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Control(id)));
    }
    void Type(int id, const wchar_t* text)
    {
        AFX_MANAGE_STATE(&state);
        ::SetWindowTextW(Control(id), text);
        ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, EN_CHANGE),
                       reinterpret_cast<LPARAM>(Control(id)));
    }
    HWND Control(int id) const { return ::GetDlgItem(dialog->GetSafeHwnd(), id); }
    std::wstring Text(int id) const
    {
        wchar_t text[128] = {};
        ::GetWindowTextW(Control(id), text, 128);
        return text;
    }
    const ON_Mesh& HostMesh() const { return *ON_Mesh::Cast(mesh->Geometry()); }
    // A label picked right on the scan's highest vertex; that vertex.
    ON_3fPoint LabelTheHighestVertex()
    {
        const ON_3fPoint hp = HostMesh().m_V[VertexAt(4, 15, 12)];
        EXPECT_TRUE(TheVTLAnalysisMode().AddLabel(&HostMesh(), ON_3dPoint(hp.x, hp.y, hp.z), mesh->ModelObjectId()));
        return hp;
    }
    const cON_AVTree* Tree() const { return cON_AVTree::Find(const_cast<ON_Geometry*>(mesh->Geometry())); }
    // The first vertex of face f at grid place (i, j).
    int VertexAt(int f, int i, int j) const
    {
        for (std::size_t v = 0; v < scan.face.size(); ++v)
            if (scan.face[v] == f && scan.gi[v] == i && scan.gj[v] == j)
                return int(v);
        return -1;
    }

    // Settings of this test alone: tests run side by side in other processes.
    TempRegistry registry;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9480000);
    AFX_MODULE_STATE state;
    CDezazDoc& doc = DezazApp().ActiveDoc();
    cRegistryStore store;
    std::vector<const CDezazObject*> surfaces;
    stDeviationPart::stScan scan;
    const CDezazObject* mesh = nullptr;
    std::unique_ptr<CFloatingAnalyzerDialog> dialog;
};

} // namespace

// ---------------------------------------------------------------- colours and extremes

TEST_F(FloatingAnalyzer, ColoursFollowTheRampOfEachVertexsTrueDistance)
{
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    EXPECT_TRUE(mesh->InAnalysisMode(kVTLAnalysisModeId));
    const ON_Mesh& m = HostMesh();
    ASSERT_EQ(m.m_C.Count(), m.m_V.Count());
    EXPECT_EQ(ON_MappingTag::Compare(m.m_Ctag, CVTLAnalysisMode::ColourTag()), 0);
    const cON_AVTree* tree = Tree();
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->GetCount(), std::uint32_t(m.m_V.Count()));

    tColourTable table;
    SetDefaultColourTable(table);
    int checked = 0;
    for (std::size_t v = 0; v < scan.distance.size(); ++v)
    {
        if (!part.Interior(scan.gi[v], scan.gj[v]))
            continue;
        const double truth = scan.distance[v];
        // Float positions some 2000 mm from the origin: a few 1e-4 of noise.
        EXPECT_NEAR(tree->GetRecord(std::uint32_t(v))->deviation, truth, 4e-4) << v;
        std::uint8_t r, g, b;
        Ramp(float(truth), 0.25f, 0.05f, -0.25f, 0.25f, table, r, g, b, 1.0f);
        const ON_Color c = m.m_C[int(v)];
        // Away from the band edges the ramp changes by under 4 units per 4e-4.
        if (std::fabs(std::fabs(truth) - 0.05) > 1e-3)
        {
            EXPECT_NEAR(c.Red(), r, 4) << v << " at " << truth;
            EXPECT_NEAR(c.Green(), g, 4) << v << " at " << truth;
            EXPECT_NEAR(c.Blue(), b, 4) << v << " at " << truth;
        }
        ++checked;
    }
    EXPECT_GT(checked, 6 * 400);
    // Green inside the band, the extremes red-ish and blue-ish.
    const int low = VertexAt(2, 8, 9), high = VertexAt(4, 15, 12);
    EXPECT_EQ(m.m_C[low].Blue(), 255);
    EXPECT_EQ(m.m_C[low].Red(), 0);
    EXPECT_EQ(m.m_C[high].Red(), 255);
    EXPECT_EQ(m.m_C[high].Blue(), 0);
}

TEST_F(FloatingAnalyzer, StatisticsAndLabelsFindTheTrueExtremeVertices)
{
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    const cON_AVTree* tree = Tree();
    ASSERT_NE(tree, nullptr);
    const stDeviationStatistics& s = tree->GetStatistics();
    ASSERT_TRUE(s.valid);
    const int low = VertexAt(2, 8, 9), high = VertexAt(4, 15, 12);
    const ON_3fPoint& lp = HostMesh().m_V[low];
    const ON_3fPoint& hp = HostMesh().m_V[high];
    EXPECT_NEAR(s.minimum, part.lowest, 4e-4);
    EXPECT_NEAR(s.maximum, part.highest, 4e-4);
    EXPECT_EQ(s.minimumPoint[0], lp.x);
    EXPECT_EQ(s.minimumPoint[1], lp.y);
    EXPECT_EQ(s.minimumPoint[2], lp.z);
    EXPECT_EQ(s.maximumPoint[0], hp.x);
    EXPECT_EQ(s.maximumPoint[2], hp.z);
    // Every vertex lies within the scale's limit, so all were compared.
    EXPECT_EQ(s.compared, tree->GetCount());
    // The statistics went to the command line: mean and RMS of the deviations.
    double sum = 0.0, squares = 0.0;
    for (std::uint32_t v = 0; v < tree->GetCount(); ++v)
    {
        const double d = tree->GetRecord(v)->deviation;
        sum += d, squares += d * d;
    }
    const std::wstring said = DezazApp().CommandLineText();
    const std::size_t at = said.find(L"mean ");
    ASSERT_NE(at, std::wstring::npos) << said;
    double mean = 0, rms = 0, minimum = 0, maximum = 0;
    ASSERT_EQ(std::swscanf(said.c_str() + at, L"mean %lf, RMS %lf, min %lf, max %lf mm", &mean, &rms, &minimum,
                           &maximum),
              4)
        << said;
    const double n = double(scan.distance.size());
    EXPECT_NEAR(mean, sum / n, 1e-4);
    EXPECT_NEAR(rms, std::sqrt(squares / n), 1e-4);
    EXPECT_NEAR(minimum, part.lowest, 1e-4);
    EXPECT_NEAR(maximum, part.highest, 1e-4);

    // Two picks just beside the extremes and then Enter: each label sits on
    // the extreme vertex with its deviation.
    std::wstring error;
    const std::wstring serial = std::to_wstring(mesh->RuntimeSerialNumber());
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object " + serial + L" at " + std::to_wstring(lp.x + 0.3) + L"," +
                                             std::to_wstring(lp.y) + L"," + std::to_wstring(lp.z),
                                         error));
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object " + serial + L" at " + std::to_wstring(hp.x) + L"," +
                                             std::to_wstring(hp.y - 0.3) + L"," + std::to_wstring(hp.z),
                                         error));
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object nothing", error));
    Click(IDC_ANALYZER_PICK);
    const auto& labels = TheVTLAnalysisMode().Labels();
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].point.x, lp.x);
    EXPECT_EQ(labels[0].point.y, lp.y);
    EXPECT_NEAR(labels[0].deviation, part.lowest, 4e-4);
    EXPECT_EQ(labels[1].point.z, hp.z);
    EXPECT_NEAR(labels[1].deviation, part.highest, 4e-4);

    Click(IDC_ANALYZER_CLEAR);
    EXPECT_TRUE(TheVTLAnalysisMode().Labels().empty());
}

TEST_F(FloatingAnalyzer, VerticesBeyondTheScaleStayGreyAndUncounted)
{
    stDeviationPart part;
    Open(part, L"0.01"); // limit 0.05: the wave's peaks and both extremes lie beyond it
    RunAsTheCommandDoes();
    const ON_Mesh& m = HostMesh();
    const cON_AVTree* tree = Tree();
    ASSERT_NE(tree, nullptr);
    std::uint32_t within = 0;
    for (std::size_t v = 0; v < scan.distance.size(); ++v)
    {
        if (!part.Interior(scan.gi[v], scan.gj[v]) || std::fabs(std::fabs(scan.distance[v]) - 0.05) < 1e-3)
            continue;
        if (std::fabs(scan.distance[v]) > 0.05)
        {
            EXPECT_EQ(tree->GetRecord(std::uint32_t(v))->deviation, FLT_MAX) << v;
            EXPECT_EQ(m.m_C[int(v)].Red(), kUnmeasuredGrey);
            EXPECT_EQ(m.m_C[int(v)].Green(), kUnmeasuredGrey);
        }
        else
            ++within;
    }
    EXPECT_GT(within, 100u);
    EXPECT_LT(tree->GetStatistics().compared, tree->GetCount());

    // The summary's extremes are those of the compared points, so it says
    // how many lie beyond the limit on each side: as many as a run that
    // measures every vertex finds there.
    const std::wstring said = DezazApp().CommandLineText();
    const std::size_t at = said.find(L"beyond \u00b10.05: ");
    ASSERT_NE(at, std::wstring::npos) << said;
    unsigned above = 0, below = 0;
    ASSERT_EQ(std::swscanf(said.c_str() + at, L"beyond \u00b10.05: %u above, %u below", &above, &below), 2) << said;
    ::SendMessageW(Control(IDC_ANALYZER_OUT_OF_RANGE), BM_SETCHECK, BST_CHECKED, 0);
    Click(IDC_ANALYZER_OUT_OF_RANGE);
    Click(IDC_ANALYZER_RECALCULATE);
    std::uint32_t measuredAbove = 0, measuredBelow = 0;
    for (std::uint32_t v = 0; v < Tree()->GetCount(); ++v)
    {
        const float d = Tree()->GetRecord(v)->deviation;
        ASSERT_NE(d, FLT_MAX);
        measuredAbove += d > 0.05f ? 1u : 0u;
        measuredBelow += d < -0.05f ? 1u : 0u;
    }
    EXPECT_GT(measuredAbove, 0u);
    EXPECT_GT(measuredBelow, 0u);
    EXPECT_EQ(above, measuredAbove);
    EXPECT_EQ(below, measuredBelow);
    EXPECT_EQ(Tree()->GetStatistics().beyondAbove, measuredAbove) << "the same count past the limit";
}

// ---------------------------------------------------------------- tolerance

TEST_F(FloatingAnalyzer, EditingEnablesApplyWhichRecalculatesAndDisablesItself)
{
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    EXPECT_FALSE(::IsWindowEnabled(Control(IDC_ANALYZER_APPLY)));
    EXPECT_EQ(Text(IDC_ANALYZER_LEGEND_MAX), L"0.250");
    EXPECT_EQ(Text(IDC_ANALYZER_LEGEND_MIN), L"-0.250");
    Type(IDC_ANALYZER_TOLERANCE, L"0.02");
    EXPECT_TRUE(::IsWindowEnabled(Control(IDC_ANALYZER_APPLY)));
    Click(IDC_ANALYZER_APPLY);
    EXPECT_FALSE(::IsWindowEnabled(Control(IDC_ANALYZER_APPLY)));
    EXPECT_FLOAT_EQ(dialog->Tolerance(), 0.02f);
    EXPECT_FLOAT_EQ(TheVTLAnalysisMode().Maximum(), 0.1f);
    EXPECT_EQ(Text(IDC_ANALYZER_LEGEND_MAX), L"0.100");
    EXPECT_EQ(Text(IDC_ANALYZER_LEGEND_TOLERANCE), L"0.020");
    EXPECT_EQ(Text(IDC_ANALYZER_LEGEND_MINUS_TOLERANCE), L"-0.020");
    EXPECT_EQ(Text(IDC_ANALYZER_RECALCULATE), L"Recalculate");
    float stored = 0.0f;
    ASSERT_TRUE(store.ReadFloat(kAnalyzerSection, L"Tolerance", &stored));
    EXPECT_FLOAT_EQ(stored, 0.02f);
}

// Enter typed into the tolerance field reaches the dialog as IDOK. The
// analyser has no OK: ended that way, the window went (hidden) while the
// surfaces it hid stayed hidden and the scan kept its deviation colours.
TEST_F(FloatingAnalyzer, EnterInTheToleranceFieldKeepsTheAnalyserOpen)
{
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    dialog->ShowWindow(SW_SHOW);
    ::SetFocus(Control(IDC_ANALYZER_TOLERANCE));
    Type(IDC_ANALYZER_TOLERANCE, L"0.02");
    win32::InjectKey(VK_RETURN, true);
    win32::InjectKey(VK_RETURN, false);
    mfc::PumpUntilIdle();
    EXPECT_FALSE(win32::IsDialogEnded(dialog->GetSafeHwnd()));
    EXPECT_EQ(Text(IDC_ANALYZER_TOLERANCE), L"0.02");
    EXPECT_TRUE(::IsWindowEnabled(Control(IDC_ANALYZER_APPLY))) << "the typed value still waits for Apply";
}

TEST_F(FloatingAnalyzer, ATypedToleranceThatCannotDriveTheScaleIsRefused)
{
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    for (const wchar_t* bad : {L"0", L"-0.5", L"1e38"})
    {
        Type(IDC_ANALYZER_TOLERANCE, bad);
        std::wstring error;
        ASSERT_TRUE(dezaz::QueueScriptAnswer(std::wstring(L"MessageBox OK ") + kBadToleranceText, error));
        Click(IDC_ANALYZER_APPLY);
        EXPECT_FLOAT_EQ(dialog->Tolerance(), 0.05f) << bad;
        EXPECT_FLOAT_EQ(TheVTLAnalysisMode().Tolerance(), 0.05f) << bad;
        EXPECT_TRUE(::IsWindowEnabled(Control(IDC_ANALYZER_APPLY))) << bad;
    }
    float stored = 0.0f;
    ASSERT_TRUE(store.ReadFloat(kAnalyzerSection, L"Tolerance", &stored));
    EXPECT_FLOAT_EQ(stored, 0.05f);
}

TEST(AnalyzerSettings, StoredValuesThatCannotDriveTheScaleKeepTheDefaults)
{
    TempRegistry registry;
    cRegistryStore store;
    store.Init(L"VtlTests", L"AnalyzerSettings");
    const auto write = [&](const wchar_t* name, const wchar_t* text) {
        store.WriteValue(kAnalyzerSection, name, REG_SZ, text, DWORD((std::wcslen(text) + 1) * 2));
    };
    const auto read = [&](float& m, float& t) {
        m = kDefaultMultiplier;
        t = kDefaultTolerance;
        ReadAnalyzerRange(&store, m, t);
    };
    float m, t;
    write(L"Multiplier", L"3");
    write(L"Tolerance", L"0.2");
    read(m, t);
    EXPECT_FLOAT_EQ(m, 3.0f);
    EXPECT_FLOAT_EQ(t, 0.2f);
    for (const wchar_t* multiplier : {L"1", L"0.5", L"-2", L"abc", L"nan", L"inf"})
    {
        write(L"Multiplier", multiplier);
        read(m, t);
        EXPECT_FLOAT_EQ(m, kDefaultMultiplier) << multiplier;
        EXPECT_FLOAT_EQ(t, 0.2f) << multiplier;
    }
    write(L"Multiplier", L"5");
    for (const wchar_t* tolerance : {L"0", L"-0.01", L"abc", L"nan", L"1e38", L"1e40"})
    {
        write(L"Tolerance", tolerance);
        read(m, t);
        EXPECT_FLOAT_EQ(t, kDefaultTolerance) << tolerance;
        EXPECT_TRUE(IsValidRampRange(t, m * t));
    }
    const auto legend = AnalyzerLegend(5.0f, 0.01f);
    EXPECT_EQ(legend[0], L"0.050");
    EXPECT_EQ(legend[1], L"0.010");
    EXPECT_EQ(legend[2], L"-0.010");
    EXPECT_EQ(legend[3], L"-0.050");
}

TEST(AnalyzerSettings, StoredSwitchesReadBackEachAsItWasWrittenAsZeroOrOne)
{
    TempRegistry registry;
    cRegistryStore store;
    store.Init(L"VtlTests", L"AnalyzerSwitches");
    // Nothing stored: what the caller holds stays, as 0 or 1.
    int selectionOnly = 7, showMinMax = 0;
    ReadAnalyzerSwitches(&store, selectionOnly, showMinMax);
    EXPECT_EQ(selectionOnly, 1);
    EXPECT_EQ(showMinMax, 0);
    const std::pair<int, int> written[] = {{1, 0}, {0, 1}, {0, 0}, {5, -3}};
    for (const auto& [selection, minMax] : written)
    {
        WriteAnalyzerSwitch(&store, L"CompareSelectionOnly", selection);
        WriteAnalyzerSwitch(&store, L"ShowMinMaxPoints", minMax);
        int readSelection = 1 - (selection != 0), readMinMax = 1 - (minMax != 0);
        ReadAnalyzerSwitches(&store, readSelection, readMinMax);
        EXPECT_EQ(readSelection, selection != 0 ? 1 : 0) << selection;
        EXPECT_EQ(readMinMax, minMax != 0 ? 1 : 0) << minMax;
    }
}

// ---------------------------------------------------------------- reuse of the trees

TEST_F(FloatingAnalyzer, AToleranceChangeKeepsTheTreesAndGivesTheColoursOfAFreshRun)
{
    stDeviationPart part;
    Open(part, L"0.04"); // limit 0.2: the highest extreme beyond it
    RunAsTheCommandDoes();
    CVTLAnalysisMode& mode = TheVTLAnalysisMode();
    for (const wchar_t* tolerance : {L"0.03", L"0.01", L"0.035"})
    {
        const std::uint64_t builds = mode.TreeBuilds();
        Type(IDC_ANALYZER_TOLERANCE, tolerance);
        Click(IDC_ANALYZER_APPLY);
        const std::vector<ON_Color> reused(HostMesh().m_C.Array(), HostMesh().m_C.Array() + HostMesh().m_C.Count());
        const stDeviationStatistics reusedStats = Tree()->GetStatistics();
        // The same trees: recoloured from the stored deviations, or (the
        // last, which widens the search) measured again against them.
        EXPECT_EQ(mode.TreeBuilds(), builds) << tolerance;

        // A fresh run over new trees gives the same colours and statistics.
        mode.ReleaseSearchTree();
        dialog->Recalculate();
        EXPECT_EQ(mode.TreeBuilds(), builds + 1);
        ASSERT_EQ(HostMesh().m_C.Count(), int(reused.size()));
        for (std::size_t v = 0; v < reused.size(); ++v)
            ASSERT_TRUE(HostMesh().m_C[int(v)] == reused[v]) << tolerance << " vertex " << v;
        const stDeviationStatistics& fresh = Tree()->GetStatistics();
        EXPECT_EQ(fresh.compared, reusedStats.compared);
        EXPECT_EQ(fresh.inTolerance, reusedStats.inTolerance);
        EXPECT_FLOAT_EQ(fresh.minimum, reusedStats.minimum);
        EXPECT_DOUBLE_EQ(fresh.rms, reusedStats.rms);
        EXPECT_EQ(fresh.beyondAbove, reusedStats.beyondAbove) << tolerance;
        EXPECT_EQ(fresh.beyondBelow, reusedStats.beyondBelow) << tolerance;
    }
}

TEST_F(FloatingAnalyzer, AScaleNarrowedAndWidenedAgainMeasuresTheWiderRangeAndTheLabelFollows)
{
    stDeviationPart part;
    Open(part); // limit 0.25: every vertex within
    RunAsTheCommandDoes();
    CVTLAnalysisMode& mode = TheVTLAnalysisMode();
    LabelTheHighestVertex();
    const auto colours = [&] {
        return std::vector<ON_Color>(HostMesh().m_C.Array(), HostMesh().m_C.Array() + HostMesh().m_C.Count());
    };
    const std::vector<ON_Color> wide = colours();

    Type(IDC_ANALYZER_TOLERANCE, L"0.01"); // limit 0.05: the highest extreme beyond it
    Click(IDC_ANALYZER_APPLY);
    ASSERT_EQ(mode.Labels().size(), 1u);
    EXPECT_EQ(mode.Labels()[0].deviation, FLT_MAX) << "beyond the scale: no value";
    EXPECT_FALSE(colours() == wide);

    Type(IDC_ANALYZER_TOLERANCE, L"0.05");
    Click(IDC_ANALYZER_APPLY);
    EXPECT_TRUE(colours() == wide) << "the vertices beyond the narrow limit are measured again";
    ASSERT_EQ(mode.Labels().size(), 1u);
    EXPECT_NEAR(mode.Labels()[0].deviation, part.highest, 4e-4);
}

TEST_F(FloatingAnalyzer, TheHostRecoloursOnlyMeshesWithoutTheModesTag)
{
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    CVTLAnalysisMode& mode = TheVTLAnalysisMode();
    ON_SimpleArray<ON_Mesh*> meshes;
    meshes.Append(const_cast<ON_Mesh*>(&HostMesh()));
    // Tagged: left alone, even when its colours were painted over.
    const_cast<ON_Mesh&>(HostMesh()).m_C[0] = ON_Color(1, 2, 3);
    mode.UpdateVertexColors(mesh, meshes);
    EXPECT_EQ(HostMesh().m_C[0], ON_Color(1, 2, 3));
    // Untagged: coloured again.
    const_cast<ON_Mesh&>(HostMesh()).m_Ctag.Default();
    mode.UpdateVertexColors(mesh, meshes);
    EXPECT_NE(HostMesh().m_C[0], ON_Color(1, 2, 3));
    EXPECT_EQ(ON_MappingTag::Compare(HostMesh().m_Ctag, CVTLAnalysisMode::ColourTag()), 0);
}

// ---------------------------------------------------------------- surfaces, closing

TEST_F(FloatingAnalyzer, HidingTheSurfacesKeepsThemOnTheCADSideAndCloseRestoresEverything)
{
    stDeviationPart part;
    Open(part);
    // A surface the user hid is not measured against; one the analyser hid is.
    const CDezazObject* userHidden =
        doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(part.Surfaces()[0])));
    ASSERT_TRUE(doc.HideObject(CDezazObjRef(userHidden)));
    RunAsTheCommandDoes();
    EXPECT_FALSE(dialog->SurfacesShown());
    EXPECT_EQ(Text(IDC_ANALYZER_SURFACES), L"Show Surfaces");
    for (const CDezazObject* s : surfaces)
        EXPECT_FALSE(s->IsVisible());
    const std::vector<CDezazObjRef> cad = TheVTLAnalysisMode().CollectCADMeshes(doc);
    ASSERT_EQ(cad.size(), 6u);
    for (const CDezazObjRef& ref : cad)
        EXPECT_NE(ref.Object(), userHidden);
    ASSERT_TRUE(Tree()->GetStatistics().valid);

    Click(IDC_ANALYZER_SURFACES);
    EXPECT_TRUE(dialog->SurfacesShown());
    for (const CDezazObject* s : surfaces)
        EXPECT_TRUE(s->IsVisible());
    EXPECT_FALSE(userHidden->IsVisible());
    Click(IDC_ANALYZER_SURFACES);

    const HWND window = dialog->GetSafeHwnd();
    {
        AFX_MANAGE_STATE(&state);
        dialog->CancelDialog(false);
    }
    EXPECT_FALSE(::IsWindow(window));
    for (const CDezazObject* s : surfaces)
        EXPECT_TRUE(s->IsVisible());
    EXPECT_FALSE(userHidden->IsVisible());
    EXPECT_FALSE(mesh->InAnalysisMode(kVTLAnalysisModeId));
    EXPECT_EQ(Tree(), nullptr);
    EXPECT_EQ(HostMesh().m_C.Count(), 0);
    EXPECT_FALSE(TheVTLAnalysisMode().Settings().searchTree.IsSearchable());
    for (CDezazDisplayConduit* c : CDezazDisplayConduit::EnabledConduits())
        EXPECT_FALSE(dynamic_cast<CAnalyzerPreviewConduit*>(c));
}

TEST_F(FloatingAnalyzer, ClosingTakesTheColoursOffAHiddenScanItMeasuredToo)
{
    stDeviationPart part;
    // A second scan of the part, hidden: the mode cannot be turned on for
    // it, yet the recalculation colours it with the shown one.
    const CDezazObject* hiddenScan = doc.AddMeshObject(part.Scan().mesh);
    ASSERT_TRUE(doc.HideObject(CDezazObjRef(hiddenScan)));
    Open(part);
    RunAsTheCommandDoes();
    const ON_Mesh& hidden = *ON_Mesh::Cast(hiddenScan->Geometry());
    ASSERT_FALSE(hiddenScan->InAnalysisMode(kVTLAnalysisModeId));
    ASSERT_EQ(hidden.m_C.Count(), hidden.m_V.Count());
    {
        AFX_MANAGE_STATE(&state);
        dialog->CancelDialog(false);
    }
    EXPECT_EQ(HostMesh().m_C.Count(), 0);
    EXPECT_EQ(hidden.m_C.Count(), 0) << "no deviation colours left to be saved with the scan";
    EXPECT_NE(ON_MappingTag::Compare(hidden.m_Ctag, CVTLAnalysisMode::ColourTag()), 0);
    EXPECT_EQ(cON_AVTree::Find(const_cast<ON_Geometry*>(hiddenScan->Geometry())), nullptr);
}

// ---------------------------------------------------------------- labels

TEST(DeviationLabels, TextsCarryTheUnitAndAreCutSafely)
{
    EXPECT_EQ(DeviationLabelText(0.1234f, UnitSystemText(2), 3, L"Unknown"), L"0.123 mm");
    EXPECT_EQ(DeviationLabelText(-0.5f, UnitSystemText(19), 3, L"Unknown"), L"-0.500 yd");
    EXPECT_EQ(DeviationLabelText(0.25f, UnitSystemText(10), 3, L"Unknown"), L"0.250 ml");
    // An unlisted unit system: the value and a blank.
    EXPECT_EQ(DeviationLabelText(0.25f, UnitSystemText(7), 3, L"Unknown"), L"0.250 ");
    EXPECT_EQ(DeviationLabelText(FLT_MAX, L"mm", 3, L"Unknown"), L"Unknown");
    EXPECT_EQ(DeviationLabelText(std::nanf(""), L"mm", 4, L"Out of tolerance"), L"Out of tolerance");
    EXPECT_EQ(DeviationLabelText(0.1f, L"mm", 4, L"x", L"min: "), L"min: 0.1000 mm");
    const std::wstring huge = DeviationLabelText(-3.0e38f, L"mm", 4, L"Unknown", L"max: ");
    EXPECT_EQ(huge.size(), kMaxLabelLength);
    EXPECT_EQ(huge.substr(0, 7), L"max: -3");
}

TEST(DeviationLabels, APickOnAMeshWithoutAnalysedVerticesAddsNoLabel)
{
    CVTLAnalysisMode& mode = TheVTLAnalysisMode();
    mode.ClearLabels();
    ON_Mesh mesh;
    mesh.m_V.Append(ON_3fPoint(-450.0f, 120.0f, 75.0f));
    mesh.m_V.Append(ON_3fPoint(-440.0f, 121.0f, 76.0f));
    const ON_3dPoint picked(-441.0, 121.5, 76.0);
    EXPECT_FALSE(mode.AddLabel(&mesh, picked, ON_nil_uuid)) << "never analysed";
    ON_Mesh empty;
    ASSERT_NE(cON_AVTree::GetOrCreate(&empty), nullptr);
    EXPECT_FALSE(mode.AddLabel(&empty, picked, ON_nil_uuid)) << "analysed, but without a vertex";
    EXPECT_TRUE(mode.Labels().empty());

    ASSERT_NE(cON_AVTree::GetOrCreate(&mesh), nullptr);
    ASSERT_TRUE(mode.AddLabel(&mesh, picked, ON_nil_uuid));
    ASSERT_EQ(mode.Labels().size(), 1u);
    EXPECT_EQ(mode.Labels()[0].point, ON_3dPoint(-440.0, 121.0, 76.0));
    EXPECT_EQ(mode.Labels()[0].picked, picked);
    EXPECT_NEAR(mode.Labels()[0].distance, std::sqrt(1.25), 1e-6);
    EXPECT_EQ(mode.Labels()[0].deviation, FLT_MAX) << "not measured yet";
    mode.ClearLabels();
}

TEST_F(FloatingAnalyzer, LabelsOfADeletedMeshGoAtTheNextFrameAndTheDotsShowTheDeviation)
{
    if (wgl::PlatformFailure()[0] != '\0')
        GTEST_SKIP() << wgl::PlatformFailure();
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    const ON_3fPoint hp = LabelTheHighestVertex();

    constexpr int kWidth = 240, kHeight = 200;
    CDezazViewport viewport;
    ASSERT_TRUE(viewport.Create(nullptr, RECT{0, 0, kWidth, kHeight}, &doc));
    ASSERT_TRUE(viewport.DrawFrame());
    ASSERT_EQ(dialog->Conduit().DotCount(), 1u);
    EXPECT_STREQ(dialog->Conduit().Dot(0)->Text(), L"0.220 mm");
    // The dot stands 20 pixels right of and above its vertex.
    const ON_3dPoint vertexOnScreen = viewport.WorldToScreen(ON_3dPoint(hp.x, hp.y, hp.z));
    const ON_3dPoint dotOnScreen = viewport.WorldToScreen(dialog->Conduit().Dot(0)->Point());
    EXPECT_NEAR(dotOnScreen.x - vertexOnScreen.x, 20.0, 0.5);
    EXPECT_NEAR(dotOnScreen.y - vertexOnScreen.y, -20.0, 0.5);
    const wgl::PixelImage image = wgl::ReadWindowImage(viewport.Window());
    if (const char* dir = std::getenv("VTL_SNAPSHOT_DIR"); dir && *dir)
    {
        std::filesystem::create_directories(dir);
        wgl::WritePng(std::filesystem::path(dir) / "analyzer_coloured_scan.png", image.width, image.height,
                      image.pixels.data());
    }
    // The scan is drawn in its analysis colours: mostly green, with the
    // wave's yellow and cyan.
    EXPECT_GT(wgl::CountPixels(image, wgl::Rgb(0, 255, 0)), 500u);
    // The label's marker: red at the vertex.
    const ON_3dPoint at = viewport.WorldToScreen(ON_3dPoint(hp.x, hp.y, hp.z));
    EXPECT_TRUE(wgl::SameColour(image.At(int(std::lround(at.x)), int(std::lround(at.y))), wgl::Rgb(255, 0, 0)));

    // The mesh goes: its label goes with it, and nothing points at it.
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(mesh)));
    ASSERT_TRUE(viewport.DrawFrame());
    EXPECT_TRUE(TheVTLAnalysisMode().Labels().empty());
    EXPECT_EQ(dialog->Conduit().DotCount(), 0u);
}

TEST_F(FloatingAnalyzer, ALabelStaysOnTheMeshItWasPickedOnAndGoesWithIt)
{
    stDeviationPart part;
    // A second scan of the part lies 2.8 mm beside the first, analysed too.
    stDeviationPart::stScan beside = part.Scan();
    for (ON_3fPoint& p : beside.mesh.m_V)
        p.x += 2.8f;
    const CDezazObject* other = doc.AddMeshObject(beside.mesh);
    ASSERT_NE(other, nullptr);
    Open(part);
    RunAsTheCommandDoes();
    CVTLAnalysisMode& mode = TheVTLAnalysisMode();
    const int high = VertexAt(4, 15, 12);
    const ON_3fPoint& hp = HostMesh().m_V[high];
    // Picked 1.5 mm towards the other scan: its vertices lie nearer.
    const float picked[3] = {hp.x + 1.5f, hp.y, hp.z};
    ASSERT_TRUE(mode.AddLabel(&HostMesh(), ON_3dPoint(picked[0], picked[1], picked[2]), mesh->ModelObjectId()));
    {
        AFX_MANAGE_STATE(&state);
        dialog->Recalculate();
    }
    double ownDistance = 0.0, otherDistance = 0.0;
    const cON_AVertex* own = Tree()->NearestRecord(picked, &ownDistance);
    ASSERT_NE(own, nullptr);
    const cON_AVTree* otherTree = cON_AVTree::Find(const_cast<ON_Geometry*>(other->Geometry()));
    ASSERT_NE(otherTree, nullptr);
    ASSERT_NE(otherTree->NearestRecord(picked, &otherDistance), nullptr);
    ASSERT_LT(otherDistance, ownDistance);
    ASSERT_EQ(mode.Labels().size(), 1u);
    EXPECT_EQ(mode.Labels()[0].point, ON_3dPoint(own->x, own->y, own->z)) << "its own mesh's vertex";
    EXPECT_EQ(mode.Labels()[0].deviation, own->deviation);
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(mesh)));
    mode.RefreshLabelsIfObjectsChanged(doc);
    EXPECT_TRUE(mode.Labels().empty()) << "gone with its mesh, not moved to the other";
}

TEST_F(FloatingAnalyzer, RecalculatedWithoutSurfacesNothingOfTheLastRunIsReportedOrShown)
{
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    LabelTheHighestVertex();
    for (const CDezazObject* s : surfaces)
        ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(s)));
    DezazApp().ClearCommandLineText();
    Click(IDC_ANALYZER_RECALCULATE);
    const std::wstring said = DezazApp().CommandLineText();
    EXPECT_NE(said.find(L"There are no surfaces"), std::wstring::npos) << said;
    EXPECT_EQ(said.find(L"Deviation of mesh"), std::wstring::npos) << said;
    EXPECT_EQ(Tree(), nullptr);
    EXPECT_EQ(HostMesh().m_C.Count(), 0);
    EXPECT_TRUE(TheVTLAnalysisMode().Labels().empty());
}

TEST_F(FloatingAnalyzer, APickIsNotStartedAgainWhileOneRuns)
{
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    // Pick pressed again while the first pick waits for its object.
    win32::PromptAnswer nested;
    nested.kind = dezaz::kObjectPrompt;
    nested.act = [this](HWND, const std::wstring&) {
        Click(IDC_ANALYZER_PICK);
        return INT_PTR(mesh->RuntimeSerialNumber());
    };
    win32::QueuePromptAnswer(std::move(nested));
    std::wstring error;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object nothing", error));
    Click(IDC_ANALYZER_PICK);
    EXPECT_EQ(TheVTLAnalysisMode().Labels().size(), 1u) << "one pick, one label";
}

// The pick waits in the host's loop, where the analyser can be closed by its
// Close or, deleted too, by a save (or a new or opened document). The pick
// came back into the deleted dialog, and after a Close it went on asking.
TEST_F(FloatingAnalyzer, APickWaitingWhenTheAnalyserClosesEndsWithIt)
{
    stDeviationPart part;
    Open(part);
    dialog.reset();
    Cvtl_for_Dezaz4PlugIn plugin;
    ASSERT_TRUE(plugin.OnLoadPlugIn());
    plugin.AnalyzerDialog().SetFactory([this] { return std::make_unique<CFloatingAnalyzerDialog>(&store, nullptr); });
    const auto openAndPick = [&](std::function<void(HWND)> meanwhile) {
        ASSERT_TRUE(plugin.AnalyzerDialog().Open(nullptr));
        const HWND window = plugin.AnalyzerDialog().Dialog()->DialogWindow();
        {
            AFX_MANAGE_STATE(AfxGetStaticModuleState());
            dynamic_cast<IAnalyzerTool&>(*plugin.AnalyzerDialog().Dialog()).Recalculate();
        }
        ASSERT_NE(Tree(), nullptr);
        // What the user does while the pick waits, then a click on the scan
        // that was on its way; nothing more is asked.
        win32::PromptAnswer pick;
        pick.kind = dezaz::kObjectPrompt;
        pick.act = [&, window](HWND, const std::wstring&) {
            meanwhile(window);
            return INT_PTR(mesh->RuntimeSerialNumber());
        };
        win32::QueuePromptAnswer(std::move(pick));
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_ANALYZER_PICK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_ANALYZER_PICK)));
        EXPECT_FALSE(::IsWindow(window));
        EXPECT_TRUE(TheVTLAnalysisMode().Labels().empty());
        EXPECT_EQ(Tree(), nullptr);
    };
    openAndPick([](HWND window) {
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, IDCANCEL)));
    });
    openAndPick([this](HWND) { dezaz::FireBeginSaveDocument(doc, L"part.dzz", false); });
    EXPECT_EQ(plugin.AnalyzerDialog().Dialog(), nullptr);
    plugin.OnUnloadPlugIn();
}

TEST_F(FloatingAnalyzer, ASurfaceMovedSinceTheLastRunIsMeasuredWhereItIsNow)
{
    stDeviationPart part;
    Open(part);
    RunAsTheCommandDoes();
    const int v = VertexAt(4, 10, 10);
    const float before = Tree()->GetRecord(std::uint32_t(v))->deviation;
    std::unique_ptr<ON_Brep> moved = std::move(part.Surfaces()[4]);
    ASSERT_TRUE(moved->Transform(ON_Xform::TranslationTransformation(0.03 * part.Normal(4))));
    ASSERT_NE(doc.ReplaceObject(CDezazObjRef(surfaces[4]), std::make_unique<CDezazBrepObject>(std::move(moved))),
              nullptr);
    Click(IDC_ANALYZER_RECALCULATE);
    EXPECT_NEAR(Tree()->GetRecord(std::uint32_t(v))->deviation, before - 0.03f, 1e-3);
}

TEST_F(FloatingAnalyzer, EachChangeOnScreenRedrawsAndTheAnalyserOpenedAgainHidesTheSurfacesAgain)
{
    stDeviationPart part;
    Open(part);
    IAnalyzerTool& tool = *dialog;
    int redraws = doc.RedrawCount();
    {
        AFX_MANAGE_STATE(&state);
        tool.ApplySurfaceVisibility();
    }
    EXPECT_EQ(doc.RedrawCount(), redraws + 1) << "the surfaces went";
    for (int i = 0; i < 2; ++i)
    {
        AFX_MANAGE_STATE(&state);
        tool.ApplySurfaceVisibility();
    }
    EXPECT_EQ(doc.RedrawCount(), redraws + 3) << "the surfaces came back and went again";
    {
        AFX_MANAGE_STATE(&state);
        tool.Recalculate();
    }
    redraws = doc.RedrawCount();
    {
        AFX_MANAGE_STATE(&state);
        dialog->CancelDialog(false);
    }
    EXPECT_EQ(doc.RedrawCount(), redraws + 1) << "the one analysed mesh loses its colours";
    for (const CDezazObject* s : surfaces)
        EXPECT_TRUE(s->IsVisible());

    // The plug-in keeps the dialog object: opened again, it starts as new.
    {
        AFX_MANAGE_STATE(&state);
        ASSERT_TRUE(dialog->CreateModeless(IDD_FLOATING_ANALYZER, nullptr));
    }
    RunAsTheCommandDoes();
    for (const CDezazObject* s : surfaces)
        EXPECT_FALSE(s->IsVisible());
    EXPECT_EQ(Text(IDC_ANALYZER_SURFACES), L"Show Surfaces");
}

TEST_F(FloatingAnalyzer, TheDeviationDisplaysMenuOffersZoomAll)
{
    HMENU menu = ::LoadMenuW(module, MAKEINTRESOURCEW(IDR_DEVIATION_MENU));
    ASSERT_NE(menu, nullptr);
    HMENU popup = ::GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(::GetMenuItemCount(popup), 1);
    EXPECT_EQ(::GetMenuItemID(popup, 0), UINT(ID_DEVIATION_ZOOM_ALL));
    wchar_t text[64] = {};
    ::GetMenuStringW(popup, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Zoom All\tA");
    ::DestroyMenu(menu);
}

TEST_F(FloatingAnalyzer, TheColourScaleRunsFromRedOverGreenToBlue)
{
    stDeviationPart part;
    Open(part);
    ::ShowWindow(dialog->GetSafeHwnd(), SW_SHOW);
    ::UpdateWindow(dialog->GetSafeHwnd());
    ::UpdateWindow(Control(IDC_ANALYZER_SCALE));
    win32::WriteSnapshotIfRequested(dialog->GetSafeHwnd(), "floating_analyzer");
    const wgl::PixelImage image = wgl::ReadWindowImage(Control(IDC_ANALYZER_SCALE));
    ASSERT_FALSE(image.Empty());
    const POINT corner{0, 0};
    const LONG width = image.width, height = image.height;
    const LONG x = corner.x + width / 2;
    EXPECT_TRUE(wgl::SameColour(image.At(x, corner.y), wgl::Rgb(255, 0, 0), 40));
    EXPECT_TRUE(wgl::SameColour(image.At(x, corner.y + height / 2), wgl::Rgb(0, 255, 0)));
    EXPECT_TRUE(wgl::SameColour(image.At(x, corner.y + height - 1), wgl::Rgb(0, 0, 255), 40));
    tColourTable table;
    SetDefaultColourTable(table);
    EXPECT_EQ(CColourScaleControl::ColourAtRow(table, 50, 100), wgl::Rgb(0, 255, 0));
}
