// The fillet measurement dialog on generated scans of rounded edges: the
// sliders and what they measure, the reference mesh, the annotation, an edge
// whose object is deleted, and the preview in a host viewport by pixels.
#include "analysis/tests/fillet_test_meshes.h"
#include "platform/geometry/plane_surface.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/dezaz_viewport.h"
#include "platform/mfc/win_app.h"
#include "platform/wgl/pixel_probe.h"
#include "platform/wgl/png_writer.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/controls.h"
#include "platform/win32/dialog.h"
#include "platform/win32/input.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window_snapshot.h"
#include "plugin/commands.h"
#include "plugin/resource_text.h"
#include "plugin/tools/measure_fillet_dialog.h"
#include "plugin/vtl_plugin.h"
#include "resources/measure_fillet.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <memory>

using namespace fillet_test;

namespace
{

constexpr WORD kThumbTrack = 5;
constexpr WORD kEndScroll = 8;

class MeasureFilletDialog : public ::testing::Test
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
    }
    void TearDown() override
    {
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "a prompt the test expected was not shown";
        win32::ClearPromptAnswers();
        dialog.reset();
        win32::UnregisterResources(module);
        doc.Clear();
    }

    // The scan and its edge (as a curve object) in the document, and the dialog open on the edge.
    void Open(const stFilletScan& scan)
    {
        mesh = doc.AddMeshObject(FilletScan(scan));
        ASSERT_NE(mesh, nullptr);
        const ON_LineCurve corner = CornerEdge(scan);
        edge = doc.AddObject(std::make_unique<CDezazCurveObject>(std::unique_ptr<ON_Geometry>(corner.Duplicate())));
        ASSERT_NE(edge, nullptr);
        AFX_MANAGE_STATE(&state);
        dialog = std::make_unique<CMeasureFilletDialog>();
        ASSERT_TRUE(dialog->CreateModeless(IDD_MEASURE_FILLET, nullptr));
        const auto* curve = dynamic_cast<const CDezazCurveObject*>(edge)->Curve();
        ASSERT_NE(curve, nullptr);
        static_cast<IFilletTool&>(*dialog).SetPickedEdge(*curve, edge->RuntimeSerialNumber());
    }
    void SelectMesh(const CDezazObject* object)
    {
        std::wstring error;
        ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(object->RuntimeSerialNumber()), error));
        AFX_MANAGE_STATE(&state);
        ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MEASURE_FILLET_SELECT_MESH, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog->GetSafeHwnd(), IDC_MEASURE_FILLET_SELECT_MESH)));
    }
    // A sheet in the plane of the first face whose side runs along the
    // corner from w0 to w1, and its side picked with Pick another edge.
    const CDezazObject* PickSheetEdge(const stFilletScan& scan, double w0, double w1)
    {
        const stBasis basis = MakeBasis(scan);
        const ON_3dPoint from = ToWorld(scan, basis, 0, 0, w0);
        auto surface = std::make_unique<ON_PlaneSurface>(ON_Plane(from, basis.e[2], basis.e[0]));
        surface->SetExtents(0, ON_Interval(0, w1 - w0), true);
        surface->SetExtents(1, ON_Interval(0, 10), true);
        auto brep = std::make_unique<ON_Brep>();
        ON_Surface* s = surface.release();
        if (!brep->Create(s))
            return nullptr;
        const CDezazObject* sheet = doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(brep)));
        if (!sheet)
            return nullptr;
        const ON_3dPoint click = ToWorld(scan, basis, 0.2, 0, (w0 + w1) / 2);
        std::wstring error;
        if (!dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(sheet->RuntimeSerialNumber()) + L" at " +
                                          std::to_wstring(click.x) + L"," + std::to_wstring(click.y) + L"," +
                                          std::to_wstring(click.z),
                                      error))
            return nullptr;
        AFX_MANAGE_STATE(&state);
        ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MEASURE_FILLET_PICK_EDGE, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Control(IDC_MEASURE_FILLET_PICK_EDGE)));
        return sheet;
    }
    HWND Control(int id) const { return ::GetDlgItem(dialog->GetSafeHwnd(), id); }
    int Position(int id) const { return int(::SendMessageW(Control(id), TBM_GETPOS, 0, 0)); }
    // Moves the thumb as a drag does, then lets it go (or not).
    void Slide(int id, int position, WORD code)
    {
        AFX_MANAGE_STATE(&state);
        ::SendMessageW(Control(id), TBM_SETPOS, TRUE, position);
        ::SendMessageW(dialog->GetSafeHwnd(), WM_HSCROLL, MAKEWPARAM(code, position),
                       reinterpret_cast<LPARAM>(Control(id)));
    }
    std::wstring Text(int id) const
    {
        wchar_t text[64] = {};
        ::GetWindowTextW(Control(id), text, 64);
        return text;
    }

    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9490000);
    AFX_MODULE_STATE state;
    CDezazDoc& doc = DezazApp().ActiveDoc();
    const CDezazObject* mesh = nullptr;
    const CDezazObject* edge = nullptr;
    std::unique_ptr<CMeasureFilletDialog> dialog;
};

} // namespace

TEST_F(MeasureFilletDialog, OpensWithTheStretchOfTheSlidersAndTenSections)
{
    stFilletScan scan;
    Open(scan);
    EXPECT_EQ(Position(IDC_MEASURE_FILLET_START), 10);
    EXPECT_EQ(Position(IDC_MEASURE_FILLET_END), 90);
    EXPECT_EQ(Position(IDC_MEASURE_FILLET_SECTIONS), 10);
    EXPECT_EQ(Text(IDC_MEASURE_FILLET_SECTIONS_COUNT), L"10");
    const stFilletRequest& r = dialog->Request();
    ASSERT_NE(r.curve, nullptr);
    EXPECT_EQ(r.edgeSerial, edge->RuntimeSerialNumber());
    EXPECT_DOUBLE_EQ(r.start, 0.1);
    EXPECT_DOUBLE_EQ(r.end, 0.9);
    EXPECT_EQ(r.sections, 10);
    EXPECT_EQ(r.meshSerial, stFilletRequest::kNoMesh);
    EXPECT_TRUE(::IsWindowEnabled(Control(IDC_MEASURE_FILLET_START)));
    // No mesh yet: the label says so, and nothing is measured.
    EXPECT_EQ(CMeasureFilletPreviewConduit::RadiusLabel(r), L"No reference mesh");
    EXPECT_FALSE(dialog->ComputeRadius());
    win32::WriteSnapshotIfRequested(dialog->GetSafeHwnd(), "measure_fillet_dialog_open");

    // Without an edge the sliders are off.
    dialog->SetPickedEdge(nullptr, 0);
    EXPECT_FALSE(::IsWindowEnabled(Control(IDC_MEASURE_FILLET_START)));
    EXPECT_FALSE(::IsWindowEnabled(Control(IDC_MEASURE_FILLET_SECTIONS)));
}

TEST_F(MeasureFilletDialog, TheReferenceMeshMeasuresElevenStationsForTenSections)
{
    stFilletScan scan;
    scan.startRadius = scan.endRadius = 10.0;
    scan.faceLength = 40.0;
    Open(scan);
    const int regens = doc.RegenCount();
    SelectMesh(mesh);
    EXPECT_EQ(dialog->Request().meshSerial, mesh->RuntimeSerialNumber());
    EXPECT_EQ(dialog->Stations(), 11);
    EXPECT_EQ(dialog->MeasuredStations(), 11);
    EXPECT_NEAR(dialog->Request().radius, 10.0, 0.04);
    EXPECT_GT(doc.RegenCount(), regens);
    wchar_t label[64];
    std::swprintf(label, 64, L"Radius: %.3lf", dialog->Request().radius);
    EXPECT_EQ(CMeasureFilletPreviewConduit::RadiusLabel(dialog->Request()), label);
    // The same request again measures nothing.
    EXPECT_FALSE(dialog->ComputeRadius());

    // Fewer sections, on release only.
    Slide(IDC_MEASURE_FILLET_SECTIONS, 4, kThumbTrack);
    EXPECT_EQ(dialog->Request().sections, 4);
    EXPECT_EQ(dialog->Stations(), 11);
    Slide(IDC_MEASURE_FILLET_SECTIONS, 4, kEndScroll);
    EXPECT_EQ(dialog->Stations(), 5);
    EXPECT_EQ(Text(IDC_MEASURE_FILLET_SECTIONS_COUNT), L"4");
}

TEST_F(MeasureFilletDialog, TheStartSliderDragsTheEndAndTheEndDragsTheStart)
{
    stFilletScan scan;
    scan.startRadius = 2.0;
    scan.endRadius = 4.0;
    Open(scan);
    SelectMesh(mesh);
    const double before = dialog->Request().radius;
    Slide(IDC_MEASURE_FILLET_START, 95, kThumbTrack);
    EXPECT_EQ(Position(IDC_MEASURE_FILLET_END), 95);
    EXPECT_DOUBLE_EQ(dialog->Request().start, 0.95);
    EXPECT_DOUBLE_EQ(dialog->Request().end, 0.95);
    EXPECT_EQ(dialog->Request().radius, before); // measured on release only
    Slide(IDC_MEASURE_FILLET_START, 95, kEndScroll);
    // Start equal to end: every station is the same place, 0.95 along.
    EXPECT_EQ(dialog->MeasuredStations(), 11);
    // One cut, measured eleven times: the noise of one cut.
    EXPECT_NEAR(dialog->Request().radius, RadiusAt(scan, 0.95 * scan.length), 0.05);

    Slide(IDC_MEASURE_FILLET_END, 20, kEndScroll);
    EXPECT_EQ(Position(IDC_MEASURE_FILLET_START), 20);
    EXPECT_DOUBLE_EQ(dialog->Request().start, 0.2);
    EXPECT_NEAR(dialog->Request().radius, RadiusAt(scan, 0.2 * scan.length), 0.05);

    // Positions whose hundredths fall a hair short in doubles: the slider
    // dragged along shows the same position, not one less.
    for (int p : {29, 57, 58})
    {
        Slide(IDC_MEASURE_FILLET_START, p, kThumbTrack);
        EXPECT_EQ(Position(IDC_MEASURE_FILLET_END), p);
    }
    for (int p : {57, 29})
    {
        Slide(IDC_MEASURE_FILLET_END, p, kThumbTrack);
        EXPECT_EQ(Position(IDC_MEASURE_FILLET_START), p);
    }
}

TEST_F(MeasureFilletDialog, TheAnnotationReadsTheRadiusWithThreeDecimalsAndReleasesTheEdge)
{
    stFilletScan scan;
    scan.noise = 0.0;
    Open(scan);
    SelectMesh(mesh);
    ASSERT_NEAR(dialog->Request().radius, 2.5, 4e-4);
    AFX_MANAGE_STATE(&state);
    ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MEASURE_FILLET_CREATE_ANNOTATION, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Control(IDC_MEASURE_FILLET_CREATE_ANNOTATION)));
    const auto* dot = dynamic_cast<const CDezazTextDot*>(doc.Objects().back());
    ASSERT_NE(dot, nullptr);
    EXPECT_STREQ(dot->Text(), L"R: 2.500");
    // At the middle of the stretch: half way along the edge.
    const stBasis basis = MakeBasis(scan);
    EXPECT_LT(dot->Point().DistanceTo(ToWorld(scan, basis, 0, 0, 0.5 * scan.length)), 1e-9);
    EXPECT_EQ(dialog->Request().curve, nullptr);
    EXPECT_EQ(dialog->Request().edgeSerial, 0xFFFFFFFFu);
    EXPECT_FALSE(::IsWindowEnabled(Control(IDC_MEASURE_FILLET_END)));
    // Nothing more to annotate without an edge.
    const int objects = doc.ObjectCount();
    dialog->OnCreateAnnotation();
    EXPECT_EQ(doc.ObjectCount(), objects);
}

TEST_F(MeasureFilletDialog, ADeletedEdgeIsReleasedBeforeTheNextMeasurementUsesIt)
{
    stFilletScan scan;
    Open(scan);
    SelectMesh(mesh);
    const double radius = dialog->Request().radius;
    ASSERT_NEAR(radius, 2.5, 0.03);
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(edge)));
    // The slider is let go before any frame was drawn: the dialog's own
    // copy is dropped, never read through the deleted object.
    Slide(IDC_MEASURE_FILLET_START, 40, kEndScroll);
    EXPECT_EQ(dialog->Request().curve, nullptr);
    EXPECT_EQ(dialog->Request().radius, FLT_MAX);
    EXPECT_FALSE(::IsWindowEnabled(Control(IDC_MEASURE_FILLET_START)));
    dialog->OnCreateAnnotation();
    EXPECT_EQ(dialog->Request().radius, FLT_MAX);
}

TEST_F(MeasureFilletDialog, AMeshNoStationCutsReadsUnknown)
{
    stFilletScan scan;
    Open(scan);
    // A mesh far from the edge: no station cuts it.
    stFilletScan away = scan;
    away.origin = ON_3dPoint(-5000, 0, 0);
    const CDezazObject* far = doc.AddMeshObject(FilletScan(away));
    SelectMesh(far);
    EXPECT_EQ(dialog->MeasuredStations(), 0);
    EXPECT_EQ(dialog->Request().radius, FLT_MAX);
    EXPECT_EQ(CMeasureFilletPreviewConduit::RadiusLabel(dialog->Request()), L"Unknown");

    stFilletRequest stale = dialog->Request();
    stale.radius = 2.5;
    stale.meshSerial = stFilletRequest::kNoMesh;
    EXPECT_EQ(CMeasureFilletPreviewConduit::RadiusLabel(stale), L"No reference mesh");
    stale.meshSerial = 7;
    EXPECT_EQ(CMeasureFilletPreviewConduit::RadiusLabel(stale), L"Radius: 2.500");
}

TEST_F(MeasureFilletDialog, AReferenceMeshDeletedSinceKeepsTheRadiusMeasuredWhileItWasThere)
{
    stFilletScan scan;
    scan.startRadius = 2.0;
    scan.endRadius = 4.0;
    Open(scan);
    SelectMesh(mesh);
    const double radius = dialog->Request().radius;
    ASSERT_NEAR(radius, 3.0, 0.05);
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(mesh)));
    // Another stretch, which the mesh would measure wider: nothing measures it.
    Slide(IDC_MEASURE_FILLET_START, 60, kEndScroll);
    EXPECT_EQ(dialog->Request().radius, radius);
    EXPECT_EQ(dialog->ReferenceMesh(), nullptr);
}

TEST_F(MeasureFilletDialog, TheCopyOfAReferenceMeshWhoseDocumentClosedIsFreedAtTheNextFrame)
{
    if (wgl::PlatformFailure()[0] != '\0')
        GTEST_SKIP() << wgl::PlatformFailure();
    stFilletScan scan;
    Open(scan);
    SelectMesh(mesh);
    const double radius = dialog->Request().radius;
    ASSERT_NEAR(radius, 2.5, 0.03);
    ASSERT_NE(dialog->ReferenceMesh(), nullptr);
    CDezazViewport viewport;
    ASSERT_TRUE(viewport.Create(nullptr, RECT{0, 0, 160, 120}, &doc));
    ASSERT_TRUE(viewport.DrawFrame());
    EXPECT_NE(dialog->ReferenceMesh(), nullptr) << "kept while its mesh is there";
    // The document goes; the dialog stays open and no slider is touched.
    doc.Clear();
    ASSERT_TRUE(viewport.DrawFrame());
    EXPECT_EQ(dialog->ReferenceMesh(), nullptr);
    EXPECT_EQ(dialog->Request().radius, radius) << "the radius measured stays";
}

TEST_F(MeasureFilletDialog, AnEdgePickedAfterTheReferenceMeshWasReplacedHasNoRadiusUntilMeasured)
{
    stFilletScan scan;
    scan.startRadius = 2.0;
    scan.endRadius = 4.0;
    Open(scan);
    SelectMesh(mesh);
    ASSERT_NEAR(dialog->Request().radius, 3.0, 0.05);
    // A segmentation split puts the band in place of the scan: the object
    // measured is gone.
    ON_Mesh band;
    band.m_V.Append(ON_3fPoint(0, 0, 0));
    band.m_V.Append(ON_3fPoint(1, 0, 0));
    band.m_V.Append(ON_3fPoint(0, 1, 0));
    band.SetTriangle(0, 0, 1, 2);
    ASSERT_NE(doc.ReplaceObject(CDezazObjRef(mesh), band), nullptr);
    // Another edge, along the far half of the corner (radius 3.5 there).
    ASSERT_NE(PickSheetEdge(scan, 20, 40), nullptr);
    ASSERT_NE(dialog->Request().curve, nullptr);
    EXPECT_EQ(dialog->Request().radius, FLT_MAX);
    EXPECT_EQ(CMeasureFilletPreviewConduit::RadiusLabel(dialog->Request()), L"Unknown");
    const int objects = doc.ObjectCount();
    dialog->OnCreateAnnotation();
    EXPECT_EQ(doc.ObjectCount(), objects);
}

TEST_F(MeasureFilletDialog, CloseLeavesTheViewportsAndTheHolderKeepsNoWindow)
{
    stFilletScan scan;
    Open(scan);
    const HWND window = dialog->GetSafeHwnd();
    AFX_MANAGE_STATE(&state);
    dialog->CancelDialog(false);
    EXPECT_FALSE(::IsWindow(window));
    for (CDezazDisplayConduit* c : CDezazDisplayConduit::EnabledConduits())
        EXPECT_FALSE(dynamic_cast<CMeasureFilletPreviewConduit*>(c));
}

// Enter pressed with a slider focused reaches the dialog as IDOK. The tool
// has no OK: ended that way, the window went (hidden) with its preview
// still drawn in the viewports and its copy of the reference mesh kept.
TEST_F(MeasureFilletDialog, EnterOnASliderKeepsTheToolOpen)
{
    stFilletScan scan;
    Open(scan);
    dialog->ShowWindow(SW_SHOW);
    ::SetFocus(Control(IDC_MEASURE_FILLET_SECTIONS));
    win32::InjectKey(VK_RETURN, true);
    win32::InjectKey(VK_RETURN, false);
    mfc::PumpUntilIdle();
    EXPECT_FALSE(win32::IsDialogEnded(dialog->GetSafeHwnd()));
}

TEST_F(MeasureFilletDialog, ClosingFreesTheCopyOfTheReferenceMesh)
{
    stFilletScan scan;
    Open(scan);
    SelectMesh(mesh);
    ASSERT_NE(dialog->ReferenceMesh(), nullptr);
    // The holder keeps the closed dialog until the next run; a big scan's
    // copy (about 75 bytes a triangle) must not stay with it.
    AFX_MANAGE_STATE(&state);
    dialog->CancelDialog(false);
    ASSERT_FALSE(::IsWindow(dialog->GetSafeHwnd()));
    EXPECT_EQ(dialog->ReferenceMesh(), nullptr);
}

// ---------------------------------------------------------------- preview by pixels

TEST_F(MeasureFilletDialog, ThePreviewMarksTheInnerStationsRedAndReleasesADeletedEdge)
{
    if (wgl::PlatformFailure()[0] != '\0')
        GTEST_SKIP() << wgl::PlatformFailure();
    // An edge along +y in the top view, no mesh drawn: only the preview
    // shows. The radius label sits at the middle station, wide but low, so
    // the stations above and below it stay clear.
    stFilletScan scan;
    scan.origin = ON_3dPoint(500, -340, 0);
    scan.u = ON_3dVector(0, 0, 1);
    scan.v = ON_3dVector(1, 0, 0); // the edge runs along +y
    scan.length = 120.0;
    Open(scan);
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(mesh)));
    Slide(IDC_MEASURE_FILLET_SECTIONS, 4, kEndScroll);

    constexpr int kWidth = 200, kHeight = 160;
    CDezazViewport viewport;
    ASSERT_TRUE(viewport.Create(nullptr, RECT{0, 0, kWidth, kHeight}, &doc));
    viewport.SetZoomExtentsOnDraw(false);
    ON_Viewport& vp = viewport.VP();
    ASSERT_TRUE(vp.SetCameraUp(ON_3dVector(1, 1, 0)));
    ASSERT_TRUE(vp.SetCameraDirection(ON_3dVector(0, 0, -1)));
    ASSERT_TRUE(vp.SetCameraUp(ON_3dVector(0, 1, 0)));
    vp.SetCameraLocation(ON_3dPoint(500, -280, 1000));
    vp.SetFrustum(-kWidth / 2.0, kWidth / 2.0, -kHeight / 2.0, kHeight / 2.0, 1, 2000);
    ASSERT_TRUE(viewport.DrawFrame());
    const wgl::PixelImage image = wgl::ReadWindowImage(viewport.Window());
    if (const char* dir = std::getenv("VTL_SNAPSHOT_DIR"); dir && *dir)
    {
        std::filesystem::create_directories(dir);
        wgl::WritePng(std::filesystem::path(dir) / "measure_fillet_preview.png", image.width, image.height,
                      image.pixels.data());
    }
    const auto at = [&](double y) {
        const ON_3dPoint screen = viewport.WorldToScreen(ON_3dPoint(500, y, 0));
        return image.At(int(std::lround(screen.x)), int(std::lround(screen.y)));
    };
    // Stretch 0.1..0.9 of 120 mm from y = -340: stations at y = -328, -304,
    // -280, -256, -232 at one pixel per millimetre; the inner ones red.
    const std::uint32_t red = wgl::Rgb(255, 0, 0);
    EXPECT_TRUE(wgl::SameColour(at(-304), red));
    EXPECT_TRUE(wgl::SameColour(at(-256), red));
    // The ends carry the S and E dots, not red marks; the only red is the
    // inner 7-pixel marks (the middle one under the label).
    const std::size_t reds = wgl::CountPixels(image, red);
    EXPECT_GE(reds, std::size_t(2 * 36));
    EXPECT_LE(reds, std::size_t(3 * 64));
    const ON_Color back = viewport.DisplayAttrs().m_background;
    const std::uint32_t background =
        wgl::Rgb(std::uint8_t(back.Red()), std::uint8_t(back.Green()), std::uint8_t(back.Blue()));
    for (double y : {-328.0, -232.0, -280.0})
    {
        EXPECT_FALSE(wgl::SameColour(at(y), red)) << y;
        EXPECT_FALSE(wgl::SameColour(at(y), background)) << "a dot at " << y;
    }
    // "S" at the start of the stretch, "E" at its end.
    EXPECT_STREQ(dialog->Conduit().StartDot().Text(), L"S");
    EXPECT_LT(dialog->Conduit().StartDot().Point().DistanceTo(ON_3dPoint(500, -328, 0)), 1e-6);
    EXPECT_STREQ(dialog->Conduit().EndDot().Text(), L"E");
    EXPECT_LT(dialog->Conduit().EndDot().Point().DistanceTo(ON_3dPoint(500, -232, 0)), 1e-6);

    // The edge's object is deleted: the next frame releases it and draws no preview.
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(edge)));
    ASSERT_TRUE(viewport.DrawFrame());
    EXPECT_EQ(dialog->Request().curve, nullptr);
    ASSERT_TRUE(viewport.DrawFrame());
    EXPECT_EQ(wgl::CountPixels(wgl::ReadWindowImage(viewport.Window()), red), 0u);
}

// ---------------------------------------------------------------- the command

TEST_F(MeasureFilletDialog, TheCommandAsksForAnEdgeBeforeOpeningTheDialog)
{
    cDialogHolder& holder = ThePlugIn().FilletDialog();
    holder.Close(true);
    holder.SetFactory(nullptr);
    ASSERT_NE(&vtl::MeasureFilletCommand(), nullptr); // links the command in
    DezazApp().ClearCommandLineText();
    // The user cancels the pick: the dialog class is there, nothing opens.
    EXPECT_FALSE(DezazApp().RunScript(L"> Object cancel\n_vtlMeasureFillet", 0));
    EXPECT_TRUE(holder.IsAvailable());
    EXPECT_EQ(holder.Dialog(), nullptr);
    EXPECT_EQ(DezazApp().CommandLineText().find(L"not available"), std::wstring::npos);
    holder.SetFactory(nullptr);
}

TEST_F(MeasureFilletDialog, SectionsStayBetweenOneAndTwenty)
{
    stFilletScan scan;
    Open(scan);
    SelectMesh(mesh);
    Slide(IDC_MEASURE_FILLET_SECTIONS, 0, kEndScroll);
    EXPECT_EQ(Position(IDC_MEASURE_FILLET_SECTIONS), 1);
    EXPECT_EQ(dialog->Request().sections, 1);
    EXPECT_EQ(dialog->Stations(), 2);
    Slide(IDC_MEASURE_FILLET_SECTIONS, 50, kEndScroll);
    EXPECT_EQ(Position(IDC_MEASURE_FILLET_SECTIONS), 20);
    EXPECT_EQ(dialog->Stations(), 21);
    EXPECT_EQ(Text(IDC_MEASURE_FILLET_SECTIONS_COUNT), L"20");
}

TEST_F(MeasureFilletDialog, PickAnotherEdgeTakesTheBrepEdgeNextToTheClick)
{
    stFilletScan scan;
    scan.startRadius = scan.endRadius = 4.0;
    Open(scan);
    SelectMesh(mesh);
    // The sheet's side runs along the corner from the middle of the scan to its far end.
    const CDezazObject* sheet = PickSheetEdge(scan, 20, 40);
    ASSERT_NE(sheet, nullptr);
    const stBasis basis = MakeBasis(scan);
    const ON_3dPoint from = ToWorld(scan, basis, 0, 0, 20), to = ToWorld(scan, basis, 0, 0, 40);
    const stFilletRequest& r = dialog->Request();
    ASSERT_NE(r.curve, nullptr);
    EXPECT_EQ(r.edgeSerial, sheet->RuntimeSerialNumber());
    EXPECT_LT(r.curve->PointAtStart().DistanceTo(from), 1e-6);
    EXPECT_LT(r.curve->PointAtEnd().DistanceTo(to), 1e-6);
    EXPECT_EQ(dialog->MeasuredStations(), 11);
    EXPECT_NEAR(r.radius, 4.0, 0.03);
}
