// The plug-in's commands run as a user runs them: typed, from a batch script
// and from the plug-in menu, with the prompts answered as a script answers
// them, and the tool dialogs stood in for by small windows that record what
// the commands ask of them.
#include "plugin/command_tapered.h"
#include "plugin/command_trim.h"
#include "plugin/commands.h"
#include "plugin/tool_interfaces.h"
#include "plugin/vtl_plugin.h"

#include "platform/geometry/line_curve.h"
#include "platform/geometry/plane_surface.h"
#include "platform/geometry/polyline_curve.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/host/geometry_services_breps.h"
#include "platform/host/geometry_services_sweeps.h"
#include "platform/host/visual_analysis_mode.h"
#include "platform/win32/input.h"
#include "platform/win32/message.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/shell.h"
#include "platform/win32/window.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace
{

constexpr double kPi = 3.14159265358979323846;

LRESULT FakeToolProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcW(window, message, wparam, lparam);
}

struct ToolLog
{
    int made = 0;
    int cancels = 0;
    bool refuse_unforced = false; // the user keeps the dialog open
    std::vector<ON_UUID> loaded;
    CObjectSurfaces* entry = nullptr;
    int surface_visibility = 0;
    int recalculations = 0;
};

// A tool dialog with a real window that answers every tool's interface.
class CFakeTool : public IToolDialog, public IShapesTool, public IAnalyzerTool
{
public:
    explicit CFakeTool(ToolLog& log) : m_log(log) { ++m_log.made; }
    ~CFakeTool() override
    {
        if (m_window && IsWindow(m_window))
            DestroyWindow(m_window);
    }
    HWND DialogWindow() const override { return m_window; }
    bool CreateModeless(UINT, CWnd*) override
    {
        static const ATOM registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &FakeToolProc;
            wc.lpszClassName = L"VtlFakeCommandTool";
            return RegisterClassW(&wc);
        }();
        (void)registered;
        m_window = CreateWindowExW(0, L"VtlFakeCommandTool", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                   nullptr, nullptr);
        return m_window != nullptr;
    }
    void CancelDialog(bool forced) override
    {
        ++m_log.cancels;
        if (!forced && m_log.refuse_unforced)
            return;
        DestroyWindow(m_window);
    }
    ON_UUID HostObjectUuid() const override { return m_host; }
    bool LoadHostMesh(const CDezazObjRef& mesh, cHostMeshCopy*) override
    {
        if (!mesh.Mesh())
            return false;
        m_host = mesh.ObjectUuid();
        m_log.loaded.push_back(m_host);
        return true;
    }
    void SetEntry(CObjectSurfaces* entry) override { m_log.entry = entry; }
    void ApplySurfaceVisibility() override { ++m_log.surface_visibility; }
    void Recalculate() override { ++m_log.recalculations; }

private:
    ToolLog& m_log;
    HWND m_window = nullptr;
    ON_UUID m_host = ON_nil_uuid;
};

std::wstring WindowText(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

ON_Mesh Square(double x, double y, double z)
{
    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(x, y, z));
    mesh.SetVertex(1, ON_3dPoint(x + 4, y, z));
    mesh.SetVertex(2, ON_3dPoint(x + 4, y + 4, z));
    mesh.SetVertex(3, ON_3dPoint(x, y + 4, z));
    mesh.SetQuad(0, 0, 1, 2, 3);
    return mesh;
}

// A rectangle of the plane through `origin` spanned by x and y, frame
// coordinates [0, a] x [0, b].
std::unique_ptr<ON_Brep> Rectangle(const ON_3dPoint& origin, const ON_3dVector& x, const ON_3dVector& y, double a,
                                   double b)
{
    auto surface = std::make_unique<ON_PlaneSurface>(ON_Plane(origin, x, y));
    surface->SetExtents(0, ON_Interval(0, a), true);
    surface->SetExtents(1, ON_Interval(0, b), true);
    auto brep = std::make_unique<ON_Brep>();
    ON_Surface* s = surface.release();
    if (!brep->Create(s))
        delete s;
    return brep;
}

class Commands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Referencing the commands links them in (and so registers them).
        for (CDezazCommand* c : {&vtl::ShapesCommand(), &vtl::AnalyzerCommand(), &vtl::SegmentationCommand(),
                                 &vtl::MeasureFilletCommand(), &vtl::TrimCommand(), &vtl::OnlineHelpCommand(),
                                 &vtl::AboutCommand(), &vtl::TestTaperedCommand(), &vtl::ExtractSubmeshCommand(),
                                 &vtl::SymmetryCommand()})
            ASSERT_NE(c, nullptr);
        doc.Clear();
        win32::ClearPromptAnswers();
        win32::ClearShellRequests();
        DezazApp().ClearCommandLineText();
        ThePlugIn().EntitiesHistory().Clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "a prompt the test expected was not shown";
        win32::ClearPromptAnswers();
        for (cDialogHolder* holder :
             {&ThePlugIn().ShapesDialog(), &ThePlugIn().AnalyzerDialog(), &ThePlugIn().FilletDialog()})
        {
            holder->Close(true);
            holder->SetFactory(nullptr);
        }
        vtl::SetSegmentationRunner(nullptr);
        SplitBrep = DezazBrepSplit;
        ExtrudeTapered = DezazCreateTaperedExtrude;
        doc.Clear();
    }
    // Runs script lines; true when every one succeeded.
    static bool Run(const std::wstring& script) { return DezazApp().RunScript(script.c_str(), 0); }
    static std::wstring Serial(const CDezazObject* object) { return std::to_wstring(object->RuntimeSerialNumber()); }
    static std::wstring Said() { return DezazApp().CommandLineText(); }

    CDezazDoc& doc = DezazApp().ActiveDoc();
    // What the stand-in dialogs saw; they live as long as the holders keep them.
    ToolLog log;
};

// ---------------------------------------------------------------- batch runs

TEST_F(Commands, InteractiveOnlyCommandsSayWhyInBatchScriptsAndSucceed)
{
    doc.AddMeshObject(Square(0, 0, 0));
    for (const wchar_t* name : {L"vtlShapes", L"vtlAnalyzer", L"vtlSegmentation", L"vtlMeasureFillet"})
    {
        DezazApp().ClearCommandLineText();
        EXPECT_TRUE(Run(std::wstring(L"-_") + name)) << name;
        EXPECT_EQ(Said(), L"The function works only intereactivelly") << name;
    }
    // The others do their work in batch scripts too.
    DezazApp().ClearCommandLineText();
    EXPECT_TRUE(Run(L"-_vtlExtractSubmesh\n-_vtlSymmetry"));
    EXPECT_EQ(Said(), L"");
    EXPECT_EQ(doc.ObjectCount(), 1);
}

// ---------------------------------------------------------------- vtlShapes

TEST_F(Commands, ShapesOffersTheMeshAnOwnLayerNamedAfterTheFreeNumber)
{
    const CDezazObject* first = doc.AddMeshObject(Square(0, 0, 0));
    const CDezazObject* second = doc.AddMeshObject(Square(10, 0, 0));
    const CDezazObject* third = doc.AddMeshObject(Square(20, 0, 0));
    const CDezazObject* declined = doc.AddMeshObject(Square(30, 0, 0));
    const std::wstring question = L"For the best results it is recommended to place the mesh in a separate layer.\n"
                                  L"Would you like to place the mesh in it's own layer?";
    auto layerOf = [&](const CDezazObject* o) { return doc.LayerTable()[doc.LookupObject(o->ModelObjectId())
                                                                            ->Attributes()
                                                                            .m_layer_index]; };

    ASSERT_TRUE(Run(L"> Object " + Serial(first) +
                    L"\n> MessageBox Yes For the best results it is recommended to place the mesh in a separate "
                    L"layer.\n_vtlShapes"));
    const ON_Layer made = layerOf(first);
    EXPECT_EQ(std::wstring(made.Name()), L"VTL Mesh");
    EXPECT_EQ(made.Color(), ON_Color(191, 63, 63));
    EXPECT_EQ(doc.LookupObject(first->ModelObjectId())->Attributes().ColorSource(),
              ON_3dmObjectAttributes::color_source::color_from_layer);
    EXPECT_NE(Said().find(L"[Vantrell] " + question), std::wstring::npos); // the plug-in's caption

    ASSERT_TRUE(Run(L"> Object " + Serial(second) + L"\n> MessageBox Yes\n_vtlShapes"));
    EXPECT_EQ(std::wstring(layerOf(second).Name()), L"VTL Mesh (1)");
    ASSERT_TRUE(Run(L"> Object " + Serial(third) + L"\n> MessageBox Yes\n_vtlShapes"));
    EXPECT_EQ(std::wstring(layerOf(third).Name()), L"VTL Mesh (2)");

    ASSERT_TRUE(Run(L"> Object " + Serial(declined) + L"\n> MessageBox No\n_vtlShapes"));
    EXPECT_EQ(std::wstring(layerOf(declined).Name()), L"Default");

    // A mesh on a layer of its own is not asked about (a box would fail the script).
    ASSERT_TRUE(Run(L"> Object " + Serial(first) + L"\n_vtlShapes"));
    EXPECT_EQ(doc.LayerTable().LayerCount(), 4);
    // The command opens the shapes dialog on that mesh.
    auto* shown = dynamic_cast<IShapesTool*>(ThePlugIn().ShapesDialog().Dialog());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->HostObjectUuid(), first->ModelObjectId());

    // A cancelled pick cancels the command.
    EXPECT_FALSE(Run(L"> Object cancel\n_vtlShapes"));
}

TEST_F(Commands, ShapesBringsTheOpenDialogForwardForItsMeshAndReplacesItForAnother)
{
    ThePlugIn().ShapesDialog().SetFactory([this] { return std::make_unique<CFakeTool>(log); });
    ON_3dmObjectAttributes own;
    own.m_layer_index = doc.LayerTable().AddLayer([] {
        ON_Layer l;
        l.SetName(L"Scans");
        return l;
    }());
    const CDezazObject* mesh = doc.AddMeshObject(Square(0, 0, 0), &own);
    const CDezazObject* other = doc.AddMeshObject(Square(10, 0, 0), &own);

    ASSERT_TRUE(Run(L"> Object " + Serial(mesh) + L"\n_vtlShapes"));
    ASSERT_EQ(log.made, 1);
    ASSERT_EQ(log.loaded.size(), 1u);
    EXPECT_EQ(log.loaded[0], mesh->ModelObjectId());
    EXPECT_EQ(log.entry, ThePlugIn().EntitiesHistory().FindByUuid(mesh->ModelObjectId()));
    ASSERT_NE(log.entry, nullptr);
    IToolDialog* dialog = ThePlugIn().ShapesDialog().Dialog();
    EXPECT_EQ(WindowText(dialog->DialogWindow()), L"Vantrell 4.1.74");

    // The same mesh again: the minimised dialog comes back and takes the focus.
    ShowWindow(dialog->DialogWindow(), SW_MINIMIZE);
    SetFocus(nullptr);
    ASSERT_TRUE(Run(L"> Object " + Serial(mesh) + L"\n_vtlShapes"));
    EXPECT_EQ(ThePlugIn().ShapesDialog().Dialog(), dialog);
    EXPECT_EQ(log.made, 1);
    EXPECT_FALSE(IsIconic(dialog->DialogWindow()));
    EXPECT_EQ(GetFocus(), dialog->DialogWindow());

    // Another mesh while the user keeps the open dialog: nothing else opens.
    log.refuse_unforced = true;
    EXPECT_FALSE(Run(L"> Object " + Serial(other) + L"\n_vtlShapes"));
    EXPECT_EQ(log.cancels, 1);
    EXPECT_EQ(log.made, 1);
    EXPECT_EQ(ThePlugIn().ShapesDialog().Dialog(), dialog);
    EXPECT_EQ(static_cast<IShapesTool*>(static_cast<CFakeTool*>(dialog))->HostObjectUuid(), mesh->ModelObjectId());
    EXPECT_EQ(ThePlugIn().EntitiesHistory().FindByUuid(other->ModelObjectId()), nullptr);

    // ... and when the user lets it close, a new one opens on the other mesh.
    log.refuse_unforced = false;
    ASSERT_TRUE(Run(L"> Object " + Serial(other) + L"\n_vtlShapes"));
    EXPECT_EQ(log.made, 2);
    ASSERT_EQ(log.loaded.size(), 2u);
    EXPECT_EQ(log.loaded[1], other->ModelObjectId());
    EXPECT_TRUE(ThePlugIn().ShapesDialog().IsVisible());
}

// ---------------------------------------------------------------- the tools

TEST_F(Commands, TheAnalyzerNeedsAVisibleMeshAndRecalculatesWhenOpenAgain)
{
    ThePlugIn().AnalyzerDialog().SetFactory([this] { return std::make_unique<CFakeTool>(log); });
    ASSERT_TRUE(Run(L"_vtlAnalyzer"));
    EXPECT_EQ(Said(), L"You need to have a reference mesh visible.");
    EXPECT_EQ(log.made, 0);

    const CDezazObject* hidden = doc.AddMeshObject(Square(0, 0, 0));
    doc.HideObject(CDezazObjRef(hidden));
    ASSERT_TRUE(Run(L"_vtlAnalyzer"));
    EXPECT_EQ(log.made, 0);

    doc.AddObject(std::make_unique<CDezazMeshObject>(Square(5, 0, 0)), true); // a reference mesh counts
    ASSERT_TRUE(Run(L"_vtlAnalyzer"));
    EXPECT_EQ(log.made, 1);
    EXPECT_EQ(log.surface_visibility, 1);
    EXPECT_EQ(log.recalculations, 1);
    ASSERT_TRUE(Run(L"_vtlAnalyzer"));
    EXPECT_EQ(log.made, 1);
    EXPECT_EQ(log.recalculations, 2);
}

TEST_F(Commands, ToolsNotBuiltSaySoWithoutAskingForAnything)
{
    // (The analyser is built: its own tests open it.)
    doc.AddMeshObject(Square(0, 0, 0));

    // The segmentation tool runs on the picked mesh, which is no longer selected.
    const CDezazObject* mesh = doc.AddMeshObject(Square(10, 0, 0));
    const_cast<CDezazObject*>(mesh)->Select(true);
    unsigned int shown = 0;
    vtl::SetSegmentationRunner([&](const CDezazObjRef& picked, CWnd*) {
        shown = picked.RuntimeSerialNumber();
        EXPECT_FALSE(picked.Object()->IsSelected());
    });
    ASSERT_TRUE(Run(L"_vtlSegmentation"));
    EXPECT_EQ(shown, mesh->RuntimeSerialNumber());
}

// ---------------------------------------------------------------- help and about

TEST_F(Commands, HelpOpensThePageOfTheConfiguredSiteAndAboutShowsItsText)
{
    // The binary points the site at a closed loopback port for the tests that
    // open the shapes dialog: the default is seen without it, and it is put
    // back afterwards.
    const char* configured = std::getenv("VTL_WEB_SITE");
    const std::string before = configured ? configured : "";
    ::unsetenv("VTL_WEB_SITE");
    ASSERT_TRUE(Run(L"_vtlOnlineHelp"));
    ASSERT_EQ(win32::ShellRequests().size(), 1u);
    EXPECT_EQ(win32::ShellRequests()[0].verb, L"open");
    EXPECT_EQ(win32::ShellRequests()[0].file, L"http://www.pellmark.example/onlinehelp");
    EXPECT_EQ(win32::ShellRequests()[0].show, SW_SHOWNORMAL);

    ::setenv("VTL_WEB_SITE", "http://127.0.0.1:8765", 1);
    ASSERT_TRUE(Run(L"_vtlOnlineHelp"));
    ASSERT_EQ(win32::ShellRequests().size(), 2u);
    EXPECT_EQ(win32::ShellRequests()[1].file, L"http://127.0.0.1:8765/onlinehelp");

    const std::wstring about = L"Vantrell 4.1.74\nCopyright (c) Pellmark. All rights reserved.\n"
                               L"For more information visit: http://127.0.0.1:8765/";
    // From the plug-in menu, as a user chose it: a box with the plug-in's caption.
    std::wstring error;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"MessageBox OK " + about, error));
    EXPECT_TRUE(ThePlugIn().OnPlugInMenuCommand(ID_VTL_ABOUT));
    EXPECT_NE(Said().find(L"[Vantrell] " + about), std::wstring::npos);
    // In a batch script: printed.
    DezazApp().ClearCommandLineText();
    ASSERT_TRUE(Run(L"-_vtlAbout"));
    EXPECT_EQ(Said(), about + L"\n");
    if (before.empty())
        ::unsetenv("VTL_WEB_SITE");
    else
        ::setenv("VTL_WEB_SITE", before.c_str(), 1);
}

// ---------------------------------------------------------------- vtlTrim

class Trim : public Commands
{
protected:
    void SetUp() override
    {
        Commands::SetUp();
        // A sheet 10 x 6 far from the origin and a wall across it at x = 3.
        sheet = doc.AddObject(std::make_unique<CDezazBrepObject>(Rectangle(kFar, ON_xaxis, ON_yaxis, 10, 6)));
        wall = doc.AddObject(std::make_unique<CDezazBrepObject>(
            Rectangle(kFar + ON_3dVector(3, -2, -5), ON_yaxis, ON_zaxis, 10, 10)));
        scan = doc.AddMeshObject(Square(kFar.x, kFar.y, kFar.z + 20));
        ON_3dmObjectAttributes locked = doc.GetDefaultObjectAttributes();
        locked.SetMode(ON_3dmObjectAttributes::object_mode::locked_object);
        lockedScan = doc.AddMeshObject(Square(kFar.x, kFar.y, kFar.z + 30), &locked);
        ASSERT_TRUE(sheet && wall && scan && lockedScan);
    }
    std::wstring PickSheetAt(double x, double y) const
    {
        return L"> Object " + Serial(sheet) + L" at " + std::to_wstring(kFar.x + x) + L"," +
               std::to_wstring(kFar.y + y) + L"," + std::to_wstring(kFar.z) + L"\n_vtlTrim";
    }
    // The meshes are back as they were: shown, the locked one locked.
    void ExpectOthersShownAgain() const
    {
        EXPECT_TRUE(doc.LookupObject(scan->ModelObjectId())->IsVisible());
        EXPECT_TRUE(doc.LookupObject(lockedScan->ModelObjectId())->IsVisible());
        EXPECT_TRUE(doc.LookupObject(lockedScan->ModelObjectId())->IsLocked());
    }
    std::vector<const ON_Brep*> Breps() const
    {
        std::vector<const ON_Brep*> breps;
        for (const CDezazObject* o : doc.Objects())
            if (const auto* b = dynamic_cast<const CDezazBrepObject*>(o))
                breps.push_back(b->Brep());
        return breps;
    }

    const ON_3dPoint kFar{140.0, -60.0, 25.0};
    const CDezazObject* sheet = nullptr;
    const CDezazObject* wall = nullptr;
    const CDezazObject* scan = nullptr;
    const CDezazObject* lockedScan = nullptr;
};

// An analysis mode for every object, as the deviation analysis is for breps.
class CAnyObjectMode : public CDezazVisualAnalysisMode
{
public:
    CAnyObjectMode()
        : CDezazVisualAnalysisMode(ON_UuidFromString("0E4C7A21-5B93-4D6F-A1E8-3C2B9D7F6A10"),
                                   DezazAnalysisStyle::false_colour_style)
    {
    }
    void GetAnalysisModeName(ON_wString& name) const override { name = L"test analysis"; }
    bool ObjectSupportsAnalysisMode(const CDezazObject*) const override { return true; }
};

TEST_F(Trim, KeepsThePieceUnderThePickAndGivesItTheSurfacesAttributes)
{
    const CAnyObjectMode analysis;
    const ON_UUID mode = analysis.AnalysisModeId();
    ASSERT_TRUE(const_cast<CDezazObject*>(sheet)->EnableAnalysisMode(mode, true));
    ASSERT_TRUE(Run(PickSheetAt(7.0, 2.0)));
    EXPECT_EQ(doc.LookupObject(sheet->ModelObjectId()), nullptr); // replaced by its piece
    const std::vector<const ON_Brep*> breps = Breps();
    ASSERT_EQ(breps.size(), 2u); // the wall and the kept piece
    const ON_Brep* piece = breps[0] == static_cast<const CDezazBrepObject*>(wall)->Brep() ? breps[1] : breps[0];
    EXPECT_TRUE(DezazIsPointOnBrep(*piece, kFar + ON_3dVector(7, 2, 0), 0.001));
    EXPECT_FALSE(DezazIsPointOnBrep(*piece, kFar + ON_3dVector(1, 2, 0), 0.001));
    const CDezazObject* pieceObject = doc.Objects().back();
    EXPECT_TRUE(pieceObject->InAnalysisMode(mode));
    EXPECT_EQ(pieceObject->Attributes().m_layer_index, sheet->Attributes().m_layer_index);
    ExpectOthersShownAgain();
}

TEST_F(Trim, TheSurfaceIsNeverLostWhateverTheSplitGives)
{
    static int pieceCount = 0;
    static bool piecesUnderThePick = false;
    SplitBrep = [](const ON_Brep& brep, const ON_Brep&, double, ON_SimpleArray<ON_Brep*>& pieces) {
        for (int i = 0; i < pieceCount; ++i)
        {
            auto* piece = new ON_Brep(brep);
            if (!piecesUnderThePick)
                piece->Transform(ON_Xform::TranslationTransformation(ON_3dVector(0, 0, 50)));
            pieces.Append(piece);
        }
        return true;
    };
    for (int count : {0, 1})
    {
        pieceCount = count;
        DezazApp().ClearCommandLineText();
        ASSERT_TRUE(Run(PickSheetAt(7.0, 2.0))) << count;
        EXPECT_NE(Said().find(L"Single surface is not trimmed. Delete manualy.\n"), std::wstring::npos);
        EXPECT_NE(doc.LookupObject(sheet->ModelObjectId()), nullptr) << count;
        EXPECT_EQ(doc.ObjectCount(), 4) << count;
        ExpectOthersShownAgain();
    }
    // Two pieces, neither under the pick: the surface stays.
    pieceCount = 2;
    piecesUnderThePick = false;
    ASSERT_TRUE(Run(PickSheetAt(7.0, 2.0)));
    EXPECT_NE(doc.LookupObject(sheet->ModelObjectId()), nullptr);
    EXPECT_EQ(doc.ObjectCount(), 4);
    // Two pieces under the pick: both kept, the surface replaced.
    piecesUnderThePick = true;
    ASSERT_TRUE(Run(PickSheetAt(7.0, 2.0)));
    EXPECT_EQ(doc.LookupObject(sheet->ModelObjectId()), nullptr);
    EXPECT_EQ(doc.ObjectCount(), 5);
    ExpectOthersShownAgain();

    // A split that fails says so and changes nothing.
    SplitBrep = [](const ON_Brep&, const ON_Brep&, double, ON_SimpleArray<ON_Brep*>&) { return false; };
    const CDezazObject* survivor = doc.Objects().back();
    DezazApp().ClearCommandLineText();
    ASSERT_TRUE(Run(L"> Object " + Serial(survivor) + L"\n_vtlTrim"));
    EXPECT_NE(Said().find(L"Internal splitting failed.\n"), std::wstring::npos);
    EXPECT_EQ(doc.ObjectCount(), 5);
}

TEST_F(Trim, ACancelledPickOrAnUnansweredOneStillShowsTheOthersAgain)
{
    ASSERT_TRUE(Run(L"> Object cancel\n_vtlTrim"));
    ExpectOthersShownAgain();
    EXPECT_EQ(doc.ObjectCount(), 4);
    // A prompt nobody answered stops the script, not the showing.
    EXPECT_FALSE(Run(L"_vtlTrim"));
    ExpectOthersShownAgain();
    // The hidden meshes cannot be picked while the trim runs.
    EXPECT_FALSE(Run(L"> Object " + Serial(scan) + L"\n_vtlTrim"));
    ExpectOthersShownAgain();
    EXPECT_EQ(doc.ObjectCount(), 4);
}

// While the trim waits for its pick, the shapes dialog (still usable) moves
// its scan with "Set Dezaz Mesh in Same Location", which puts a moved copy
// in the scan's place: the trim hid the scan it replaced, and the copy
// stayed hidden (and was saved so).
TEST_F(Trim, AScanMovedWhileThePickWaitsIsShownAgain)
{
    win32::PromptAnswer pick;
    pick.kind = dezaz::kObjectPrompt;
    pick.act = [this](HWND, const std::wstring&) -> INT_PTR
    {
        ON_Mesh moved(*ON_Mesh::Cast(scan->Geometry()));
        moved.Transform(ON_Xform::TranslationTransformation(ON_3dVector(0, 0, 5)));
        EXPECT_NE(doc.ReplaceObject(CDezazObjRef(scan), moved), nullptr);
        return 0; // then the pick is cancelled
    };
    win32::QueuePromptAnswer(std::move(pick));
    ASSERT_TRUE(Run(L"_vtlTrim"));
    ExpectOthersShownAgain();
}

// A surface created while the pick waits (the shapes dialog's "Create in
// Dezaz" is still usable) and then picked is trimmed like any other; it was
// refused as not "a visible polysurface".
TEST_F(Trim, ASurfaceCreatedWhileThePickWaitsIsTrimmed)
{
    const CDezazObject* created = nullptr;
    win32::PromptAnswer pick;
    pick.kind = dezaz::kObjectPrompt;
    pick.act = [this, &created](HWND, const std::wstring&) -> INT_PTR
    {
        created = doc.AddObject(
            std::make_unique<CDezazBrepObject>(Rectangle(kFar + ON_3dVector(0, 0, 1), ON_xaxis, ON_yaxis, 10, 6)));
        dezaz::SetAnsweredSelectionPoint(kFar + ON_3dVector(7, 2, 1));
        return INT_PTR(created->RuntimeSerialNumber());
    };
    win32::QueuePromptAnswer(std::move(pick));
    ASSERT_TRUE(Run(L"_vtlTrim"));
    EXPECT_EQ(Said().find(L"Only a visible polysurface"), std::wstring::npos);
    EXPECT_EQ(doc.LookupObject(created->ModelObjectId()), nullptr) << "replaced by its piece";
    const auto* piece = dynamic_cast<const CDezazBrepObject*>(doc.Objects().back());
    ASSERT_NE(piece, nullptr);
    EXPECT_TRUE(DezazIsPointOnBrep(*piece->Brep(), kFar + ON_3dVector(7, 2, 1), 0.001));
    EXPECT_FALSE(DezazIsPointOnBrep(*piece->Brep(), kFar + ON_3dVector(1, 2, 1), 0.001));
}

// ---------------------------------------------------------------- vtlTestTapered

struct TaperedCall
{
    int calls = 0;
    bool anticlockwise = false;
    double height = 0, draft = 0;
    ON_3dVector direction;
    ON_3dPoint base;
    int corner = -1;
};
TaperedCall g_tapered;

bool RecordTapered(const ON_Curve* curve, double height, const ON_3dVector& direction, const ON_3dPoint& base,
                   double draft, int corner_type, ON_SimpleArray<ON_Brep*>& breps)
{
    ++g_tapered.calls;
    g_tapered.anticlockwise = WindingNormal(*curve).z > 0;
    g_tapered.height = height, g_tapered.draft = draft, g_tapered.corner = corner_type;
    g_tapered.direction = direction, g_tapered.base = base;
    return DezazCreateTaperedExtrude(curve, height, direction, base, draft, corner_type, breps);
}

// A closed rectangle 10 x 6 at height z around (cx, cy), as four lines.
std::vector<const CDezazObject*> AddRectangle(CDezazDoc& doc, double cx, double cy, double z, bool clockwise)
{
    std::vector<ON_3dPoint> corners = {{cx - 5, cy - 3, z}, {cx + 5, cy - 3, z}, {cx + 5, cy + 3, z}, {cx - 5, cy + 3, z}};
    if (clockwise)
        std::reverse(corners.begin(), corners.end());
    std::vector<const CDezazObject*> sides;
    for (std::size_t i = 0; i < 4; ++i)
        sides.push_back(doc.AddObject(
            std::make_unique<CDezazCurveObject>(std::make_unique<ON_LineCurve>(corners[i], corners[(i + 1) % 4]))));
    return sides;
}

TEST_F(Commands, TaperedExtrusionLeansInwardsForCurvesRunningEitherWay)
{
    ExtrudeTapered = &RecordTapered;
    for (bool clockwise : {false, true})
    {
        doc.Clear();
        g_tapered = {};
        const std::vector<const CDezazObject*> sides = AddRectangle(doc, 80.0, -35.0, 0.0, clockwise);
        std::wstring script;
        for (const CDezazObject* side : sides)
            script += L"> Object " + Serial(side) + L"\n";
        script += L"> Object nothing\n_vtlTestTapered";
        ASSERT_TRUE(Run(script)) << clockwise;
        ASSERT_EQ(g_tapered.calls, 1);
        EXPECT_TRUE(g_tapered.anticlockwise) << clockwise;
        EXPECT_EQ(g_tapered.height, 5.0);
        EXPECT_DOUBLE_EQ(g_tapered.draft, -5.0 * kPi / 180.0);
        EXPECT_EQ(g_tapered.direction, ON_zaxis);
        EXPECT_EQ(g_tapered.base, ON_origin);
        EXPECT_EQ(g_tapered.corner, 0);

        // The wall stands on the rectangle and narrows by 5 tan 5° at its top.
        const CDezazObject* wallObject = doc.Objects().back();
        const auto* wallBrep = dynamic_cast<const CDezazBrepObject*>(wallObject);
        ASSERT_NE(wallBrep, nullptr);
        const ON_BoundingBox box = wallBrep->Brep()->BoundingBox();
        EXPECT_NEAR(box.m_min.x, 75.0, 1e-9);
        EXPECT_NEAR(box.m_max.x, 85.0, 1e-9);
        EXPECT_NEAR(box.m_max.z, 5.0, 1e-9);
        EXPECT_TRUE(DezazIsPointOnBrep(*wallBrep->Brep(), ON_3dPoint(85.0 - 5.0 * std::tan(5.0 * kPi / 180.0), -35.0, 5.0),
                                       1e-6));
    }
}

TEST_F(Commands, TaperedPickTakesOnlyPlanarCurves)
{
    const CDezazObject* bent = doc.AddObject(std::make_unique<CDezazCurveObject>(std::make_unique<ON_PolylineCurve>([] {
        ON_SimpleArray<ON_3dPoint> p;
        p.Append(ON_3dPoint(0, 0, 0));
        p.Append(ON_3dPoint(1, 0, 0));
        p.Append(ON_3dPoint(1, 1, 0));
        p.Append(ON_3dPoint(1, 1, 1));
        return p;
    }())));
    CDzGetClosedPlanarCurve go;
    EXPECT_FALSE(go.CustomGeometryFilter(bent, bent->Geometry()));
    EXPECT_FALSE(Run(L"> Object " + Serial(bent) + L"\n_vtlTestTapered"));
    const std::vector<const CDezazObject*> sides = AddRectangle(doc, 0, 0, 3, false);
    EXPECT_TRUE(go.CustomGeometryFilter(sides[0], sides[0]->Geometry()));
    // Cancelling the pick cancels the command and adds nothing.
    EXPECT_FALSE(Run(L"> Object cancel\n_vtlTestTapered"));
    EXPECT_EQ(doc.ObjectCount(), 5);
}

} // namespace
