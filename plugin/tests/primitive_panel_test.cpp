// The primitive panel in its "Primitives" dock bar: fits of generated scans
// (millimetres, away from the origin, tilted, with noise), the size slider
// and edit, the direction constraints with picked references, "CREATE" and
// its layer, the preview conduit, the point collection, the mesh visibility
// and the docked panel's picture.
#include "core/mesh.h"
#include "platform/geometry/arc_curve.h"
#include "platform/geometry/brep_primitives.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/plane_surface.h"
#include "platform/geometry/polyline_curve.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_viewport.h"
#include "platform/host/display_pipeline.h"
#include "platform/mfc/win_app.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/controls.h"
#include "platform/win32/input.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window_snapshot.h"
#include "plugin/tools/define_primitive_dlg.h"
#include "plugin/tools/direction_object_getter.h"
#include "plugin/tools/primitives_dock_bar.h"
#include "resources/primitive_panel.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <string>

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kNoise = 0.02; // mm, uniform in +-kNoise

struct stVec
{
    double x, y, z;
};
stVec operator+(stVec a, stVec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
stVec operator-(stVec a, stVec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
stVec operator*(double s, stVec a) { return {s * a.x, s * a.y, s * a.z}; }
double Dot(stVec a, stVec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
stVec Cross(stVec a, stVec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
stVec Unit(stVec a) { return (1.0 / std::sqrt(Dot(a, a))) * a; }
stVec FromArray(const double v[3]) { return {v[0], v[1], v[2]}; }
// Two unit vectors that make a right-handed frame with the unit n.
void FrameOf(stVec n, stVec& u, stVec& v)
{
    u = Unit(Cross(std::fabs(n.x) < 0.9 ? stVec{1, 0, 0} : stVec{0, 1, 0}, n));
    v = Cross(n, u);
}

// A grid of rows x columns points (point(i, j)), triangulated or as quads.
template <class F> ON_Mesh GridMesh(int rows, int columns, F&& point, bool quads = false)
{
    ON_Mesh mesh;
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> noise(-kNoise, kNoise);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
        {
            const stVec p = point(i, j);
            mesh.m_V.Append(ON_3fPoint(float(p.x + noise(random)), float(p.y + noise(random)),
                                       float(p.z + noise(random))));
        }
    int face = 0;
    for (int i = 0; i + 1 < rows; ++i)
        for (int j = 0; j + 1 < columns; ++j)
        {
            const int a = i * columns + j, b = a + 1, c = a + columns + 1, d = a + columns;
            if (quads)
            {
                mesh.m_F.SetCount(face + 1);
                mesh.SetQuad(face++, a, b, c, d);
            }
            else
            {
                mesh.m_F.SetCount(face + 2);
                mesh.SetTriangle(face++, a, b, c);
                mesh.SetTriangle(face++, a, c, d);
            }
        }
    return mesh;
}

// 80 x 60 mm of a plane through origin with normal n.
// An 80 x 60 grid on the plane, turned by `turn` radians about n.
ON_Mesh PlaneScan(stVec origin, stVec n, bool quads = false, double turn = 0.0)
{
    stVec u0, v0;
    FrameOf(n, u0, v0);
    const stVec u = std::cos(turn) * u0 + std::sin(turn) * v0, v = std::cos(turn) * v0 - std::sin(turn) * u0;
    return GridMesh(
        31, 41, [&](int i, int j) { return origin + (-40.0 + 2.0 * j) * u + (-30.0 + 2.0 * i) * v; }, quads);
}

// A sphere band from latitude -60 to 60 degrees.
ON_Mesh SphereScan(stVec centre, double radius)
{
    return GridMesh(25, 49, [&](int i, int j) {
        const double lat = (-60.0 + 5.0 * i) * kPi / 180.0, lon = j * 2.0 * kPi / 48.0;
        return centre + radius * stVec{std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
    });
}

// Three quarters of a cylinder around the axis from base, height long.
ON_Mesh CylinderScan(stVec base, stVec axis, double radius, double height)
{
    stVec u, v;
    FrameOf(axis, u, v);
    return GridMesh(36, 41, [&](int i, int j) {
        const double angle = j * 1.5 * kPi / 40.0;
        return base + (height * i / 35.0) * axis + radius * std::cos(angle) * u + radius * std::sin(angle) * v;
    });
}

std::unique_ptr<ON_Brep> PlaneBrep(stVec origin, stVec n, double half)
{
    auto surface = std::make_unique<ON_PlaneSurface>();
    surface->m_plane.CreateFromNormal(ON_3dPoint(origin.x, origin.y, origin.z), ON_3dVector(n.x, n.y, n.z));
    surface->SetExtents(0, ON_Interval(-half, half));
    surface->SetExtents(1, ON_Interval(-half, half));
    auto brep = std::make_unique<ON_Brep>();
    ON_Surface* raw = surface.release();
    EXPECT_TRUE(brep->Create(raw));
    return brep;
}

class PrimitivePanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ClearPromptAnswers();
        DezazApp().ActiveDoc().Clear();
        DezazApp().ClearCommandLineText();
        m_frame = ::CreateWindowExW(0, L"Static", L"Dezaz", WS_POPUP | WS_VISIBLE, 0, 0, 900, 620, nullptr, nullptr,
                                    nullptr, nullptr);
        DezazApp().SetMainWindowHandle(m_frame);
        // The main window's viewport, made before the bar as the host makes it.
        m_viewportStandIn = ::CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 0, 40, 900, 500, m_frame,
                                              nullptr, nullptr, nullptr);
        m_bar = CreatePrimitivesDockBar();
        ASSERT_NE(m_bar, nullptr);
        m_panel = m_bar->Panel();
        ASSERT_NE(m_panel, nullptr);
        ASSERT_NE(m_panel->GetSafeHwnd(), nullptr);
    }
    void TearDown() override
    {
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "a prompt the test expected was not shown";
        win32::ClearPromptAnswers();
        DestroyPrimitivesDockBar();
        DezazApp().SetMainWindowHandle(nullptr);
        ::DestroyWindow(m_frame);
        DezazApp().ActiveDoc().Clear();
    }

    CDezazDoc& Doc() { return DezazApp().ActiveDoc(); }
    const CDezazObject* AddSelected(const ON_Mesh& mesh)
    {
        CDezazMeshObject* object = Doc().AddMeshObject(mesh);
        EXPECT_NE(object, nullptr);
        if (object)
            object->Select(true);
        return object;
    }
    HWND Item(int id) const { return ::GetDlgItem(m_panel->GetSafeHwnd(), id); }
    void Click(int id)
    {
        m_panel->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
    }
    int SliderPos() const { return int(::SendMessageW(Item(IDC_PRIMITIVE_SIZE_SLIDER), TBM_GETPOS, 0, 0)); }
    void Scroll(WORD code, int position)
    {
        ::SendMessageW(Item(IDC_PRIMITIVE_SIZE_SLIDER), TBM_SETPOS, TRUE, position);
        m_panel->SendMessage(WM_HSCROLL, MAKEWPARAM(code, position),
                             reinterpret_cast<LPARAM>(Item(IDC_PRIMITIVE_SIZE_SLIDER)));
    }
    void Type(const wchar_t* text) { ::SetWindowTextW(Item(IDC_PRIMITIVE_SIZE_EDIT), text); }
    std::wstring EditText() const
    {
        wchar_t text[64] = {};
        ::GetWindowTextW(Item(IDC_PRIMITIVE_SIZE_EDIT), text, 64);
        return text;
    }
    bool Checked(int id) const { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // A left click with the mouse in the middle of the control, as the user
    // clicks it (the click takes the keyboard first).
    void ClickWithTheMouse(int id)
    {
        RECT r{};
        ::GetWindowRect(Item(id), &r);
        const POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        win32::InjectMouseMove(at);
        win32::InjectMouseButton(WM_LBUTTONDOWN, at);
        win32::InjectMouseButton(WM_LBUTTONUP, at);
        mfc::PumpUntilIdle();
    }
    void Answer(const std::wstring& answer)
    {
        std::wstring error;
        ASSERT_TRUE(dezaz::QueueScriptAnswer(answer, error)) << error;
    }
    void AnswerObject(const CDezazObject* object) { Answer(L"Object " + std::to_wstring(object->RuntimeSerialNumber())); }
    const CDezazObject* AddCurve(stVec from, stVec to)
    {
        return Doc().AddObject(std::make_unique<CDezazCurveObject>(
            std::make_unique<ON_LineCurve>(ON_3dPoint(from.x, from.y, from.z), ON_3dPoint(to.x, to.y, to.z))));
    }
    const CDezazObject* AddBrep(std::unique_ptr<ON_Brep> brep)
    {
        return Doc().AddObject(std::make_unique<CDezazBrepObject>(std::move(brep)));
    }
    ON_BoundingBox PreviewBox() const
    {
        return m_panel->GetPreviewObject() ? m_panel->GetPreviewObject()->BoundingBox() : ON_BoundingBox();
    }
    static double Diagonal(const ON_BoundingBox& box) { return (box.m_max - box.m_min).Length(); }

    // Sets the panel's own primitive without a fit, as a fit would leave it.
    void MakePlaneCurrent(stVec origin, stVec n, stVec x, double halfWidth, double halfHeight)
    {
        const double o[3] = {origin.x, origin.y, origin.z}, nn[3] = {n.x, n.y, n.z}, xx[3] = {x.x, x.y, x.z};
        m_panel->GetPlane()->SetOriginAndNormal(nn, o, xx, halfWidth, halfHeight);
        m_panel->SetCurrentPrimitive(&m_panel->GetPlaneRecord());
        m_panel->UpdatePreview();
    }

    HWND m_frame = nullptr;
    HWND m_viewportStandIn = nullptr;
    CVivoZededDezazDockBar* m_bar = nullptr;
    CDefinePrimitiveDlg* m_panel = nullptr;
};

TEST_F(PrimitivePanel, OpensDockedWithTheSizeAtItsStartAndNothingToCreate)
{
    EXPECT_EQ(CDezazDockBarManager::FindDockBar(kPrimitivesDockBarId), m_bar);
    EXPECT_STREQ(m_bar->DockBarName(), L"Primitives");
    EXPECT_EQ(::GetParent(m_bar->GetSafeHwnd()), m_frame);
    EXPECT_EQ(SliderPos(), 20);
    EXPECT_EQ(m_panel->GetSizeValue(), double(0.2f));
    EXPECT_EQ(EditText(), L"0.2");
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), nullptr);
    EXPECT_TRUE(m_panel->GetConduit().IsEnabled());
    for (int id : {IDC_PRIMITIVE_SIZE_SLIDER, IDC_PRIMITIVE_SIZE_EDIT, IDC_PRIMITIVE_PERPENDICULAR, IDC_PRIMITIVE_PARALLEL,
                   IDC_PRIMITIVE_PROFILE_CURVE, IDC_PRIMITIVE_REBUILD, IDC_PRIMITIVE_CLEAR, IDOK})
        EXPECT_FALSE(::IsWindowEnabled(Item(id))) << id;
    for (int id : {IDC_PRIMITIVE_PLANE, IDC_PRIMITIVE_SPHERE, IDC_PRIMITIVE_CYLINDER, IDC_PRIMITIVE_HIDE_MESHES,
                   IDC_PRIMITIVE_SHOW_MESHES})
        EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
    // A second registration gives the bar that is there.
    EXPECT_EQ(CreatePrimitivesDockBar(), m_bar);
}

TEST_F(PrimitivePanel, PlaneOfATiltedScanAwayFromTheOriginWithinTheNoise)
{
    const stVec origin{412.0, -287.0, 163.0};
    const stVec n = Unit({0.3, -0.5, 0.81});
    AddSelected(PlaneScan(origin, n));
    Click(IDC_PRIMITIVE_PLANE);

    ASSERT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetPlaneRecord());
    const cPlane& plane = m_panel->GetPlane()->GetPlane();
    // The normal's sign is not the fit's to choose from points alone.
    EXPECT_NEAR(std::fabs(Dot(FromArray(plane.normal), n)), 1.0, 1e-5);
    EXPECT_LT(std::fabs(Dot(n, origin) * (Dot(FromArray(plane.normal), n) > 0 ? 1 : -1) + plane.d), kNoise);
    EXPECT_LT(m_panel->GetPlane()->GetRms(), kNoise);
    EXPECT_GT(m_panel->GetPlane()->GetRms(), 0.0);
    EXPECT_EQ(m_panel->GetPoints().Points().size(), 31u * 41u);
    EXPECT_TRUE(Checked(IDC_PRIMITIVE_PLANE));
    EXPECT_FALSE(Checked(IDC_PRIMITIVE_SPHERE));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDOK)));
    ASSERT_NE(m_panel->GetPreviewObject(), nullptr);
    EXPECT_EQ(m_panel->GetConduit().GetObject(), m_panel->GetPreviewObject());
    EXPECT_EQ(DezazApp().CommandLineText(), L"\n");
}

// The panel frames its plane along the world axes (its x axis square to the
// world axis nearest the plane), not along the scan's outline: the preview
// rectangle of a scan turned in its plane covers it square to those axes.
TEST_F(PrimitivePanel, PlaneOfAScanTurnedInItsPlaneIsFramedAlongTheWorldAxes)
{
    const stVec n = Unit({0.3, -0.5, 0.81});
    const double turn = 30.0 * kPi / 180.0;
    AddSelected(PlaneScan({-615.0, 240.0, 380.0}, n, false, turn));
    Click(IDC_PRIMITIVE_PLANE);
    ASSERT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetPlaneRecord());
    const cPlane& plane = m_panel->GetPlane()->GetPlane();
    EXPECT_NEAR(plane.xAxis[0], 0.0, 1e-9);
    EXPECT_NEAR(Dot(FromArray(plane.xAxis), FromArray(plane.xAxis)), 1.0, 1e-9);
    EXPECT_NEAR(plane.halfWidth, 40.0 * std::cos(turn) + 30.0 * std::sin(turn), 0.05);
    EXPECT_NEAR(plane.halfHeight, 40.0 * std::sin(turn) + 30.0 * std::cos(turn), 0.05);
}

TEST_F(PrimitivePanel, SphereTwiceRefreshesItsRowsAndGivesTheTrueCentreAndRadius)
{
    const stVec centre{-140.0, 260.0, 95.0};
    AddSelected(SphereScan(centre, 35.0));
    Click(IDC_PRIMITIVE_SPHERE);
    ASSERT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetSphereRecord());
    const cSphere& sphere = m_panel->GetSphere()->GetSphere();
    EXPECT_NEAR(sphere.centre[0], centre.x, 0.02);
    EXPECT_NEAR(sphere.centre[1], centre.y, 0.02);
    EXPECT_NEAR(sphere.centre[2], centre.z, 0.02);
    EXPECT_NEAR(sphere.radius, 35.0, 0.02);
    EXPECT_LT(m_panel->GetSphere()->GetRms(), kNoise);

    // The same kind again keeps the rows (only their values change); another
    // kind empties the tree and fills in its own.
    CPropTreeItem* firstRow = m_panel->GetPropTree().GetRootItem()->GetChild();
    ASSERT_NE(firstRow, nullptr);
    Click(IDC_PRIMITIVE_SPHERE);
    EXPECT_EQ(m_panel->GetPropTree().GetRootItem()->GetChild(), firstRow);
    Click(IDC_PRIMITIVE_PLANE);
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetPlaneRecord());
    EXPECT_TRUE(Checked(IDC_PRIMITIVE_PLANE));
    EXPECT_FALSE(Checked(IDC_PRIMITIVE_SPHERE));
}

TEST_F(PrimitivePanel, CylinderOfATiltedScanSaysItIsDetectingAndSpansThePoints)
{
    const stVec base{310.0, 120.0, -240.0};
    const stVec axis = Unit({0.2, 0.7, 0.6});
    AddSelected(CylinderScan(base, axis, 22.0, 70.0));
    Click(IDC_PRIMITIVE_CYLINDER);
    EXPECT_EQ(DezazApp().CommandLineText(), L"Detecting. Please wait...\n\n");
    ASSERT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetCylinderRecord());
    const cCylinder& c = m_panel->GetCylinder()->GetCylinder();
    EXPECT_NEAR(std::fabs(Dot(FromArray(c.axis), axis)), 1.0, 1e-5);
    EXPECT_NEAR(c.radius, 22.0, 0.02);
    EXPECT_NEAR(c.height, 70.0, 0.1);
    // The fitted axis passes through the true one.
    const stVec offset = FromArray(c.axisPoint) - base;
    EXPECT_LT(std::sqrt(Dot(offset, offset) - Dot(offset, axis) * Dot(offset, axis)), 0.02);
    EXPECT_TRUE(Checked(IDC_PRIMITIVE_CYLINDER));
}

TEST_F(PrimitivePanel, NoSelectedMeshSaysSoInEachKindsOrderAndDropsThePreview)
{
    Doc().AddMeshObject(PlaneScan({0, 0, 0}, {0, 0, 1})); // there, but not selected
    Click(IDC_PRIMITIVE_PLANE);
    EXPECT_EQ(DezazApp().CommandLineText(), L"No points to extract\n\n");
    DezazApp().ClearCommandLineText();
    Click(IDC_PRIMITIVE_SPHERE);
    EXPECT_EQ(DezazApp().CommandLineText(), L"\nNo points to extract\n");
    DezazApp().ClearCommandLineText();
    Click(IDC_PRIMITIVE_CYLINDER);
    EXPECT_EQ(DezazApp().CommandLineText(), L"\nNo points to extract\n");
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), nullptr);
    EXPECT_EQ(m_panel->GetPreviewObject(), nullptr);
    EXPECT_FALSE(m_panel->GetConduit().IsEnabled());
}

TEST_F(PrimitivePanel, AFailedFitClearsThePrimitiveButKeepsThePreviewItHad)
{
    AddSelected(SphereScan({10, 20, 30}, 15.0));
    Click(IDC_PRIMITIVE_SPHERE);
    CDezazBrepObject* preview = m_panel->GetPreviewObject();
    ASSERT_NE(preview, nullptr);
    // Points on one line give no plane.
    Doc().UnselectAll();
    ON_Mesh line;
    for (int i = 0; i < 3; ++i)
        line.m_V.Append(ON_3fPoint(float(i), 0.0f, 0.0f));
    line.m_F.SetCount(1);
    line.SetTriangle(0, 0, 1, 2);
    AddSelected(line);
    DezazApp().ClearCommandLineText();
    Click(IDC_PRIMITIVE_PLANE);
    EXPECT_EQ(DezazApp().CommandLineText(), L"\nCan not fit Plane\n");
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), nullptr);
    EXPECT_EQ(m_panel->GetPreviewObject(), preview);
}

// A flat patch a metre out fitted as a sphere gives a radius of about a
// kilometre; Rebuild asks whether to keep it. Answered No, the sphere stays
// as it was, and the command line must not claim the fit failed: the
// refusal is the user's own.
TEST_F(PrimitivePanel, ASphereRadiusTurnedDownAtRebuildIsNoFailure)
{
    AddSelected(PlaneScan({1000.3, -700.2, 400.1}, Unit({0.1, 0.2, 1.0})));
    Click(IDC_PRIMITIVE_SPHERE);
    ASSERT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetSphereRecord());
    const double radius = m_panel->GetSphere()->GetSphere().radius;
    ASSERT_GT(radius, 1e5);
    const CDezazBrepObject* preview = m_panel->GetPreviewObject();
    DezazApp().ClearCommandLineText();
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"seems too big", IDNO, nullptr});
    Click(IDC_PRIMITIVE_REBUILD);
    EXPECT_EQ(DezazApp().CommandLineText(), L"");
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetSphereRecord());
    EXPECT_EQ(m_panel->GetSphere()->GetSphere().radius, radius);
    EXPECT_EQ(m_panel->GetPreviewObject(), preview);
}

TEST_F(PrimitivePanel, QuadScansAndMeshesSharingVerticesGiveOnePointPerDistinctVertex)
{
    // A scan stored as quads is fitted like its triangles.
    const stVec n = Unit({0.0, 0.6, 0.8});
    AddSelected(PlaneScan({50, 60, 70}, n, true));
    Click(IDC_PRIMITIVE_PLANE);
    ASSERT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetPlaneRecord());
    EXPECT_EQ(m_panel->GetPoints().Points().size(), 31u * 41u);
    EXPECT_NEAR(std::fabs(Dot(FromArray(m_panel->GetPlane()->GetPlane().normal), n)), 1.0, 1e-5);

    // Two meshes sharing an edge: its two vertices count once; a vertex of
    // no face counts not at all; the records carry zero normals.
    Doc().Clear();
    ON_Mesh a, b;
    for (const auto& p : {ON_3fPoint(0, 0, 0), ON_3fPoint(10, 0, 0), ON_3fPoint(0, 10, 0), ON_3fPoint(5, 5, 5)})
        a.m_V.Append(p);
    a.m_F.SetCount(1);
    a.SetTriangle(0, 0, 1, 2);
    for (const auto& p : {ON_3fPoint(10, 0, 0), ON_3fPoint(0, 10, 0.00005f), ON_3fPoint(10, 10, 0)})
        b.m_V.Append(p);
    b.m_F.SetCount(1);
    b.SetTriangle(0, 0, 2, 1);
    AddSelected(a);
    AddSelected(b);
    m_panel->CollectPoints();
    EXPECT_EQ(m_panel->GetPoints().Points().size(), 4u);
    EXPECT_EQ(m_panel->GetPoints().ActiveCount(), 4u);
    for (const stFitPoint& p : m_panel->GetPoints().Points())
    {
        EXPECT_EQ(p.normal[0] * p.normal[0] + p.normal[1] * p.normal[1] + p.normal[2] * p.normal[2], 0.0f);
        EXPECT_EQ(p.active, 1);
        EXPECT_EQ(p.residual, double(FLT_MAX));
    }
}

TEST_F(PrimitivePanel, PreviewGrowsWithTheSizePlaneExtentsAndCylinderHeightNotASphere)
{
    MakePlaneCurrent({500, -300, 40}, {0, 0, 1}, {1, 0, 0}, 30.0, 20.0);
    Scroll(SB_THUMBTRACK, 0);
    ON_BoundingBox box = PreviewBox();
    EXPECT_NEAR(box.m_max.x - box.m_min.x, 60.0, 1e-4);
    EXPECT_NEAR(box.m_max.y - box.m_min.y, 40.0, 1e-4);
    Scroll(SB_THUMBTRACK, 200);
    box = PreviewBox();
    EXPECT_NEAR(box.m_max.x - box.m_min.x, 180.0, 1e-3);
    EXPECT_NEAR(box.m_max.y - box.m_min.y, 120.0, 1e-3);
    EXPECT_NEAR(box.Center().x, 500.0, 1e-6);
    // The working copy grew, the fitted plane did not.
    EXPECT_EQ(m_panel->GetPlane()->GetPlane().halfWidth, 30.0);

    const double base[3] = {100, 200, 300}, axis[3] = {0, 0, 1};
    m_panel->GetCylinder()->SetAxis(base, axis, 10.0, 50.0);
    m_panel->SetCurrentPrimitive(&m_panel->GetCylinderRecord());
    Scroll(SB_THUMBTRACK, 200);
    box = PreviewBox();
    EXPECT_NEAR(box.m_max.z - box.m_min.z, 150.0, 1e-6);
    EXPECT_NEAR(box.Center().z, 325.0, 1e-6);
    EXPECT_NEAR(box.m_max.x - box.m_min.x, 20.0, 1e-6);
    Scroll(SB_THUMBTRACK, 0);
    EXPECT_NEAR(PreviewBox().m_max.z - PreviewBox().m_min.z, 50.0, 1e-6);

    const double centre[3] = {-50, 60, 70};
    m_panel->GetSphere()->SetCentreAndRadius(centre, 5.0);
    m_panel->SetCurrentPrimitive(&m_panel->GetSphereRecord());
    Scroll(SB_THUMBTRACK, 200);
    EXPECT_NEAR(Diagonal(PreviewBox()), std::sqrt(3.0) * 10.0, 1e-6);
}

TEST_F(PrimitivePanel, ASliderStepKeepsItsPositionAndTheClosingNotificationsChangeNothing)
{
    MakePlaneCurrent({0, 0, 0}, {0, 0, 1}, {1, 0, 0}, 10.0, 10.0);
    // Every position: reading the written size back must not move the thumb.
    for (int position = 0; position <= 200; ++position)
    {
        Scroll(SB_THUMBTRACK, position);
        ASSERT_EQ(SliderPos(), position);
        ASSERT_EQ(m_panel->GetSizeValue(), double(float(position) / 100.0f));
    }
    Scroll(SB_THUMBTRACK, 35);
    EXPECT_EQ(m_panel->GetSizeValue(), 0.3499999940395355);
    EXPECT_EQ(EditText(), L"0.35");
    CDezazBrepObject* preview = m_panel->GetPreviewObject();
    Scroll(SB_THUMBPOSITION, 35);
    Scroll(SB_ENDSCROLL, 35);
    EXPECT_EQ(m_panel->GetPreviewObject(), preview);
    EXPECT_EQ(SliderPos(), 35);
}

TEST_F(PrimitivePanel, TypedSizesSetTheSliderByTruncationAndHalfTypedTextWaits)
{
    MakePlaneCurrent({0, 0, 0}, {0, 0, 1}, {1, 0, 0}, 10.0, 10.0);
    const struct
    {
        const wchar_t* text;
        int slider;
    } cases[] = {{L"1.5", 150}, {L"0.999", 99}, {L"0.29", 28}, {L"3", 200}, {L"-1", 0}};
    for (const auto& c : cases)
    {
        Type(c.text);
        EXPECT_EQ(SliderPos(), c.slider) << c.text;
    }
    // The size itself is as typed, but the preview never shrinks below the fit.
    EXPECT_EQ(m_panel->GetSizeValue(), -1.0);
    EXPECT_NEAR(PreviewBox().m_max.x - PreviewBox().m_min.x, 20.0, 1e-4);
    Type(L"1e300");
    EXPECT_EQ(SliderPos(), 200);
    EXPECT_NE(m_panel->GetPreviewObject(), nullptr);

    // Text on its way to a number changes nothing and asks nothing (a
    // message box would find no answer queued).
    Type(L"0.5");
    for (const wchar_t* partial : {L"", L"-", L"1e", L"abc"})
    {
        Type(partial);
        EXPECT_EQ(m_panel->GetSizeValue(), 0.5) << partial;
        EXPECT_EQ(SliderPos(), 50) << partial;
    }
    // Typing right after a slider step is typing again.
    Scroll(SB_THUMBTRACK, 70);
    Type(L"1.2");
    EXPECT_EQ(SliderPos(), 120);
    Type(L"0.5");
    Type(L"1e");
    // Leaving the edit with such text shows the size in use again.
    m_panel->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PRIMITIVE_SIZE_EDIT, EN_KILLFOCUS),
                         reinterpret_cast<LPARAM>(Item(IDC_PRIMITIVE_SIZE_EDIT)));
    EXPECT_EQ(EditText(), L"0.5");
    EXPECT_EQ(SliderPos(), 50);
    // A typed size no float holds is shown with all its digits.
    Type(L"0.999");
    Type(L"1e");
    m_panel->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PRIMITIVE_SIZE_EDIT, EN_KILLFOCUS),
                         reinterpret_cast<LPARAM>(Item(IDC_PRIMITIVE_SIZE_EDIT)));
    EXPECT_EQ(EditText(), L"0.999");
}

TEST_F(PrimitivePanel, CreateTwiceAddsBothOnOneLayerWithTheCylindersAxisLine)
{
    const int layersBefore = Doc().LayerTable().LayerCount();
    const stVec base{-80.0, 40.0, 200.0};
    const stVec axis = Unit({1.0, 0.0, 0.2});
    const CDezazObject* scan = AddSelected(CylinderScan(base, axis, 15.0, 60.0));
    Click(IDC_PRIMITIVE_CYLINDER);
    ASSERT_NE(m_panel->GetPreviewObject(), nullptr);
    const cCylinder fitted = m_panel->GetCylinder()->GetCylinder();
    Click(IDOK);

    const int layer = Doc().LayerTable().FindLayerFromUniqueName(L"vtl Surfaces");
    ASSERT_GE(layer, 0);
    EXPECT_EQ(Doc().LayerTable()[layer].Color(), ON_Color(138, 183, 212));
    EXPECT_EQ(Doc().LayerTable().LayerCount(), layersBefore + 1);
    EXPECT_EQ(m_panel->GetPreviewObject(), nullptr);
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), nullptr);
    EXPECT_FALSE(::IsWindowEnabled(Item(IDOK)));
    EXPECT_FALSE(m_panel->GetConduit().IsEnabled());

    std::vector<const CDezazObject*> objects = Doc().Objects();
    ASSERT_EQ(objects.size(), 3u);
    const auto* line = dynamic_cast<const CDezazCurveObject*>(objects[1]);
    const auto* brep = dynamic_cast<const CDezazBrepObject*>(objects[2]);
    ASSERT_NE(line, nullptr);
    ASSERT_NE(brep, nullptr);
    EXPECT_EQ(brep->Attributes().m_layer_index, layer);
    EXPECT_EQ(line->Attributes().m_layer_index, layer);
    EXPECT_EQ(line->Attributes().m_color, ON_Color(138, 183, 212));
    EXPECT_EQ(line->Attributes().ColorSource(), ON_3dmObjectAttributes::color_source::color_from_object);
    EXPECT_EQ(line->Attributes().ObjectDecoration(), ON_3dmObjectAttributes::object_decoration::end_arrowhead);
    // The line runs along the fitted cylinder, not the enlarged preview.
    const ON_3dPoint start = line->Curve()->PointAtStart(), end = line->Curve()->PointAtEnd();
    EXPECT_NEAR(start.DistanceTo(ON_3dPoint(fitted.axisPoint[0], fitted.axisPoint[1], fitted.axisPoint[2])), 0.0, 1e-9);
    EXPECT_NEAR(start.DistanceTo(end), fitted.height, 1e-9);
    EXPECT_NEAR(Diagonal(brep->BoundingBox()) > Diagonal(scan->BoundingBox()), 1.0, 0.0);

    // A second primitive goes to the same layer; the layer is not made again.
    Click(IDC_PRIMITIVE_PLANE);
    Click(IDOK);
    EXPECT_EQ(Doc().ObjectCount(), 4);
    EXPECT_EQ(Doc().LayerTable().LayerCount(), layersBefore + 1);
    EXPECT_EQ(Doc().Objects()[3]->Attributes().m_layer_index, layer);

    // "CREATE" with nothing to create adds nothing.
    Click(IDOK);
    EXPECT_EQ(Doc().ObjectCount(), 4);
}

TEST_F(PrimitivePanel, AnExistingSurfacesLayerKeepsItsColour)
{
    ON_Layer mine;
    mine.SetName(L"vtl Surfaces");
    mine.SetColor(ON_Color(10, 20, 30));
    const int layer = Doc().LayerTable().AddLayer(mine);
    AddSelected(SphereScan({0, 0, 0}, 10.0));
    Click(IDC_PRIMITIVE_SPHERE);
    Click(IDOK);
    EXPECT_EQ(Doc().LayerTable()[layer].Color(), ON_Color(10, 20, 30));
    EXPECT_EQ(Doc().Objects().back()->Attributes().m_layer_index, layer);
}

TEST_F(PrimitivePanel, CancelAndClearDropThePreviewClearAlsoThePrimitive)
{
    AddSelected(SphereScan({0, 0, 0}, 10.0));
    Click(IDC_PRIMITIVE_SPHERE);
    const int regens = Doc().RegenCount();
    m_panel->OnCancel();
    EXPECT_EQ(m_panel->GetPreviewObject(), nullptr);
    EXPECT_FALSE(m_panel->GetConduit().IsEnabled());
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetSphereRecord());
    EXPECT_TRUE(::IsWindowEnabled(Item(IDOK)));
    EXPECT_EQ(Doc().RegenCount(), regens + 1);
    // The next size change shows it again.
    Scroll(SB_THUMBTRACK, 40);
    EXPECT_NE(m_panel->GetPreviewObject(), nullptr);
    EXPECT_TRUE(m_panel->GetConduit().IsEnabled());

    Click(IDC_PRIMITIVE_CLEAR);
    EXPECT_EQ(m_panel->GetPreviewObject(), nullptr);
    EXPECT_EQ(m_panel->GetConduit().GetObject(), nullptr);
    EXPECT_TRUE(m_panel->GetConduit().IsEnabled());
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), nullptr);
    EXPECT_EQ(m_panel->GetPropTree().GetRootItem()->GetChild(), nullptr);
}

// A plane's Offset row set to Custom and left holding "abc" by a click on
// CREATE: the row says the text is no number and keeps the keyboard, so the
// click only ended the typing. The surface was created all the same while
// the user was being told to correct the row; it is not.
TEST_F(PrimitivePanel, ACreateClickThatARowRefusesCreatesNothing)
{
    AddSelected(PlaneScan({1000.3, -700.2, 400.1}, Unit({0.1, 0.2, 1.0})));
    Click(IDC_PRIMITIVE_PLANE);
    ST_CExtractedPlane& record = m_panel->GetPlaneRecord();
    CPropTreeItem* offset = m_panel->GetPropTree().FindItem(record.m_offsetId);
    ASSERT_NE(offset, nullptr);
    offset->SetItemValue(kValueCustom);
    NMPROPTREE notify{};
    notify.hdr.hwndFrom = m_panel->GetPropTree().GetSafeHwnd();
    notify.hdr.idFrom = IDC_PRIMITIVE_TREE;
    notify.hdr.code = PTN_ITEMCHANGED;
    notify.pItem = offset;
    m_panel->SendMessage(WM_NOTIFY, IDC_PRIMITIVE_TREE, reinterpret_cast<LPARAM>(&notify));
    auto* value = dynamic_cast<CPropTreeItemEdit*>(m_panel->GetPropTree().FindItem(record.m_offsetId)->GetChild());
    ASSERT_NE(value, nullptr);
    value->BeginActivation();
    value->Activate();
    ::SetWindowTextW(value->GetSafeHwnd(), L"abc");
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"Please enter valid real value", IDOK, nullptr});
    const CDezazBrepObject* preview = m_panel->GetPreviewObject();
    ClickWithTheMouse(IDOK);
    EXPECT_EQ(Doc().ObjectCount(), 1);
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), &record);
    EXPECT_EQ(m_panel->GetPreviewObject(), preview);
    EXPECT_EQ(::GetFocus(), value->GetSafeHwnd());
}

TEST(PrimitiveDirectionPicker, AcceptsLinesPlanesAndSurfacesOfRevolutionOnly)
{
    CDzGetDirectoinObject picker;
    EXPECT_TRUE(picker.CustomGeometryFilter(nullptr, nullptr));
    const ON_LineCurve line(ON_3dPoint(1, 2, 3), ON_3dPoint(1, 2, 13));
    EXPECT_TRUE(picker.CustomGeometryFilter(nullptr, &line));
    const std::unique_ptr<ON_Brep> plane = PlaneBrep({0, 0, 0}, {0, 1, 0}, 5);
    EXPECT_TRUE(picker.CustomGeometryFilter(nullptr, plane.get()));
    ON_Cylinder cylinder(ON_Circle(ON_3dPoint(0, 0, 0), 3.0), 8.0);
    const std::unique_ptr<ON_Brep> side(ON_BrepCylinder(cylinder, false, false));
    ASSERT_NE(side, nullptr);
    EXPECT_TRUE(picker.CustomGeometryFilter(nullptr, side.get()));

    const ON_ArcCurve arc(ON_Arc(ON_Circle(ON_3dPoint(0, 0, 0), 4.0), kPi / 2));
    EXPECT_FALSE(picker.CustomGeometryFilter(nullptr, &arc));
    ON_SimpleArray<ON_3dPoint> points;
    points.Append(ON_3dPoint(0, 0, 0));
    points.Append(ON_3dPoint(1, 0, 0));
    points.Append(ON_3dPoint(1, 1, 0));
    const ON_PolylineCurve polyline(points);
    EXPECT_FALSE(picker.CustomGeometryFilter(nullptr, &polyline));
    std::unique_ptr<ON_Brep> twoFaces = PlaneBrep({0, 0, 0}, {0, 1, 0}, 5);
    twoFaces->NewFace(0);
    EXPECT_FALSE(picker.CustomGeometryFilter(nullptr, twoFaces.get()));

    double d[3] = {FLT_MAX, 0, 0};
    bool isPlane = true;
    ASSERT_TRUE(ReferenceDirectionOf(&line, d, isPlane));
    EXPECT_FALSE(isPlane);
    EXPECT_NEAR(d[2], 1.0, 1e-12);
    ASSERT_TRUE(ReferenceDirectionOf(plane.get(), d, isPlane));
    EXPECT_TRUE(isPlane);
    EXPECT_NEAR(std::fabs(d[1]), 1.0, 1e-12);
    ASSERT_TRUE(ReferenceDirectionOf(side.get(), d, isPlane));
    EXPECT_FALSE(isPlane);
    EXPECT_NEAR(d[0] * d[0] + d[1] * d[1], 0.0, 1e-18);
    EXPECT_FALSE(ReferenceDirectionOf(&arc, d, isPlane));
}

TEST_F(PrimitivePanel, PerpendicularToAPickedLineTurnsThePlanesNormalOntoTheLine)
{
    AddSelected(PlaneScan({100, 100, 100}, {0, 0, 1}));
    Click(IDC_PRIMITIVE_PLANE);
    const stVec d = Unit({0.1, 0.0, 1.0});
    AnswerObject(AddCurve({0, 0, 0}, 10.0 * d));
    EXPECT_TRUE(m_panel->PickDirection(false));
    const cPlane& plane = m_panel->GetPlane()->GetPlane();
    EXPECT_NEAR(std::fabs(Dot(FromArray(plane.normal), d)), 1.0, 1e-9);
    // The constrained plane still passes through the middle of the points.
    EXPECT_NEAR(std::fabs(Dot(FromArray(plane.normal), {100, 100, 100}) + plane.d), 0.0, 0.05);
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetPlaneRecord());
}

TEST_F(PrimitivePanel, ParallelToAPickedPlaneKeepsThePlanesNormalAlongThePicked)
{
    AddSelected(PlaneScan({-60, 30, 10}, Unit({0, 0.1, 1})));
    Click(IDC_PRIMITIVE_PLANE);
    const stVec n = Unit({0.05, 0.0, 1.0});
    AnswerObject(AddBrep(PlaneBrep({0, 0, -50}, n, 20)));
    EXPECT_TRUE(m_panel->PickDirection(true));
    EXPECT_NEAR(std::fabs(Dot(FromArray(m_panel->GetPlane()->GetPlane().normal), n)), 1.0, 1e-9);
}

TEST_F(PrimitivePanel, APlaneParallelToThePrimitiveGivesNoPerpendicularAndChangesNothing)
{
    AddSelected(PlaneScan({0, 0, 0}, {0, 0, 1}));
    Click(IDC_PRIMITIVE_PLANE);
    const double d = m_panel->GetPlane()->GetPlane().d;
    const stVec n = FromArray(m_panel->GetPlane()->GetPlane().normal);
    AnswerObject(AddBrep(PlaneBrep({0, 0, 30}, n, 20)));
    DezazApp().ClearCommandLineText();
    EXPECT_FALSE(m_panel->PickDirection(false));
    EXPECT_EQ(DezazApp().CommandLineText(), L"");
    EXPECT_EQ(m_panel->GetPlane()->GetPlane().d, d);

    // A cancelled pick changes nothing either.
    Answer(L"Object cancel");
    EXPECT_FALSE(m_panel->PickDirection(true));
}

TEST_F(PrimitivePanel, CylinderTakesTheAxisOfAPickedLineOrSurfaceOfRevolutionOrPlaneNormal)
{
    const stVec axis = Unit({0.0, 0.1, 1.0});
    AddSelected(CylinderScan({20, -30, 40}, axis, 12.0, 40.0));
    Click(IDC_PRIMITIVE_CYLINDER);

    const stVec d = Unit({0.0, 0.15, 1.0});
    AnswerObject(AddCurve({0, 0, 0}, 5.0 * d));
    EXPECT_TRUE(m_panel->PickDirection(true));
    EXPECT_NEAR(std::fabs(Dot(FromArray(m_panel->GetCylinder()->GetCylinder().axis), d)), 1.0, 1e-9);

    const stVec n = Unit({0.02, 0.08, 1.0});
    AnswerObject(AddBrep(PlaneBrep({0, 0, -80}, n, 20)));
    EXPECT_TRUE(m_panel->PickDirection(false));
    EXPECT_NEAR(std::fabs(Dot(FromArray(m_panel->GetCylinder()->GetCylinder().axis), n)), 1.0, 1e-9);

    ON_Circle circle(ON_Plane(ON_3dPoint(300, 0, 0), ON_3dVector(0, 0.1, 1)), 4.0);
    ON_Cylinder reference(circle, 10.0);
    AnswerObject(AddBrep(std::unique_ptr<ON_Brep>(ON_BrepCylinder(reference, false, false))));
    EXPECT_TRUE(m_panel->PickDirection(true));
    EXPECT_NEAR(std::fabs(Dot(FromArray(m_panel->GetCylinder()->GetCylinder().axis), axis)), 1.0, 1e-9);
    EXPECT_NEAR(m_panel->GetCylinder()->GetCylinder().radius, 12.0, 0.02);
}

TEST_F(PrimitivePanel, AConstrainedRefitThatFailsPutsTheDirectionRowBackWithTheCylinder)
{
    const stVec axis = Unit({0.0, 0.1, 1.0});
    const CDezazObject* scan = AddSelected(CylinderScan({20, -30, 40}, axis, 12.0, 40.0));
    Click(IDC_PRIMITIVE_CYLINDER);
    const double fitted[3] = {m_panel->GetCylinder()->GetCylinder().axis[0], m_panel->GetCylinder()->GetCylinder().axis[1],
                              m_panel->GetCylinder()->GetCylinder().axis[2]};
    // Three points give no cylinder: the refit under the picked direction fails.
    const_cast<CDezazObject*>(scan)->Select(false);
    ON_Mesh triangle;
    triangle.SetVertex(0, ON_3dPoint(0, 0, 0));
    triangle.SetVertex(1, ON_3dPoint(1, 0, 0));
    triangle.SetVertex(2, ON_3dPoint(0, 1, 0));
    triangle.SetTriangle(0, 0, 1, 2);
    AddSelected(triangle);
    AnswerObject(AddCurve({0, 0, 0}, {5, 0, 0}));
    DezazApp().ClearCommandLineText();
    m_panel->PickDirection(true);
    EXPECT_EQ(DezazApp().CommandLineText(), L"Can not fit\n");

    ST_CExtractedCylinder& record = m_panel->GetCylinderRecord();
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), &record);
    EXPECT_EQ(record.ComboValue(record.m_directionId), kChoiceFitDriven);
    for (UINT k = 0; k < 3; ++k)
    {
        CPropTreeItem* row = m_panel->GetPropTree().FindItem(record.m_directionId + 1 + k);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(m_panel->GetCylinder()->GetCylinder().axis[k], fitted[k]);
        EXPECT_NEAR(*reinterpret_cast<double*>(row->GetItemValue()), fitted[k], 1e-6) << k;
    }
}

TEST_F(PrimitivePanel, ASphereIsRefittedWhateverIsPicked)
{
    AddSelected(SphereScan({5, 6, 7}, 20.0));
    Click(IDC_PRIMITIVE_SPHERE);
    AnswerObject(AddCurve({0, 0, 0}, {1, 2, 3}));
    DezazApp().ClearCommandLineText();
    EXPECT_TRUE(m_panel->PickDirection(false));
    EXPECT_EQ(DezazApp().CommandLineText(), L"\n");
    EXPECT_NEAR(m_panel->GetSphere()->GetSphere().radius, 20.0, 0.02);
}

TEST_F(PrimitivePanel, HideAndShowAllMeshesRedrawOnlyWhenSomethingChanged)
{
    const CDezazObject* a = Doc().AddMeshObject(PlaneScan({0, 0, 0}, {0, 0, 1}));
    const CDezazObject* b = Doc().AddMeshObject(PlaneScan({0, 0, 50}, {0, 0, 1}));
    ON_3dmObjectAttributes locked = b->Attributes();
    locked.SetMode(ON_3dmObjectAttributes::object_mode::locked_object);
    Doc().ModifyObjectAttributes(CDezazObjRef(b), locked);
    AddCurve({0, 0, 0}, {1, 1, 1});

    int redraws = Doc().RedrawCount();
    Click(IDC_PRIMITIVE_HIDE_MESHES);
    EXPECT_TRUE(a->IsHidden());
    EXPECT_TRUE(Doc().LookupObject(b->ModelObjectId())->IsHidden());
    EXPECT_FALSE(Doc().Objects()[2]->IsHidden());
    EXPECT_EQ(Doc().RedrawCount(), redraws + 1);
    Click(IDC_PRIMITIVE_HIDE_MESHES);
    EXPECT_EQ(Doc().RedrawCount(), redraws + 1);
    Click(IDC_PRIMITIVE_SHOW_MESHES);
    EXPECT_FALSE(a->IsHidden());
    EXPECT_EQ(Doc().RedrawCount(), redraws + 2);

    // One mesh to show is enough for a redraw.
    Doc().HideObject(CDezazObjRef(a));
    redraws = Doc().RedrawCount();
    Click(IDC_PRIMITIVE_SHOW_MESHES);
    EXPECT_FALSE(a->IsHidden());
    EXPECT_EQ(Doc().RedrawCount(), redraws + 1);
}

TEST_F(PrimitivePanel, APickWithoutAPrimitiveChangesNothing)
{
    AddSelected(PlaneScan({0, 0, 0}, {0, 0, 1}));
    AnswerObject(AddCurve({0, 0, 0}, {0, 0, 10}));
    DezazApp().ClearCommandLineText();
    EXPECT_TRUE(m_panel->PickDirection(true));
    EXPECT_EQ(m_panel->GetCurrentPrimitive(), nullptr);
    EXPECT_EQ(m_panel->GetPreviewObject(), nullptr);
    EXPECT_EQ(DezazApp().CommandLineText(), L"");
}

TEST_F(PrimitivePanel, CurveProfileAcceptedOrCancelledChangesNothing)
{
    AddSelected(SphereScan({0, 0, 0}, 10.0));
    Click(IDC_PRIMITIVE_SPHERE);
    CDezazBrepObject* preview = m_panel->GetPreviewObject();
    for (const wchar_t* answer : {L"Dialog 1", L"Dialog 2"})
    {
        Answer(answer);
        Click(IDC_PRIMITIVE_PROFILE_CURVE);
        EXPECT_EQ(m_panel->GetCurrentPrimitive(), &m_panel->GetSphereRecord());
        EXPECT_EQ(m_panel->GetPreviewObject(), preview);
        EXPECT_EQ(Doc().ObjectCount(), 1);
    }
}

TEST_F(PrimitivePanel, ConduitGrowsTheFrameBoxAndDrawsThePreviewWhiteThenPutsItsColourBack)
{
    if (wgl::PlatformFailure()[0] != '\0')
        GTEST_SKIP() << wgl::PlatformFailure();
    CDezazViewport viewport;
    ASSERT_TRUE(viewport.Create(nullptr, RECT{0, 0, 200, 160}, &Doc()));
    MakePlaneCurrent({500, -300, 0}, {0, 0, 1}, {1, 0, 0}, 30.0, 20.0);
    Scroll(SB_THUMBTRACK, 0);
    CDezazBrepObject* preview = m_panel->GetPreviewObject();
    ASSERT_NE(preview, nullptr);

    CDezazDisplayPipeline pipeline(viewport, &Doc(), viewport.DisplayAttrs());
    EXPECT_TRUE(m_panel->GetConduit().ExecConduit(pipeline, SC_CALCBOUNDINGBOX));
    const ON_BoundingBox box = pipeline.GetChannelAttrs()->m_BoundingBox;
    EXPECT_NEAR(box.m_min.x, 470.0, 1e-4);
    EXPECT_NEAR(box.m_max.y, -280.0, 1e-4);
    EXPECT_TRUE(m_panel->GetConduit().ExecConduit(pipeline, SC_DRAWFOREGROUND));
    EXPECT_EQ(pipeline.GetChannelAttrs()->m_BoundingBox.m_max.x, box.m_max.x);

    // Top view, 1 pixel per millimetre, the plane's centre in the middle.
    viewport.SetZoomExtentsOnDraw(false);
    ON_Viewport& vp = viewport.VP();
    ASSERT_TRUE(vp.SetCameraUp(ON_3dVector(1, 1, 0)));
    ASSERT_TRUE(vp.SetCameraDirection(ON_3dVector(0, 0, -1)));
    ASSERT_TRUE(vp.SetCameraUp(ON_3dVector(0, 1, 0)));
    vp.SetCameraLocation(ON_3dPoint(500, -300, 1000));
    vp.SetFrustum(-100, 100, -80, 80, 1, 2000);
    const ON_3dmObjectAttributes before = preview->Attributes();
    ASSERT_TRUE(viewport.DrawFrame());
    const win32::ClientImage image = win32::ComposeWindowImage(viewport.Window());
    win32::WriteSnapshotIfRequested(viewport.Window(), "primitive_panel_conduit_plane");
    ASSERT_EQ(image.width, 200);
    const auto pixel = [&](int x, int y) { return image.pixels[std::size_t(y) * image.width + x] & 0xFFFFFFu; };
    // Head-on under the headlight the white material shows white (ambient
    // 0.2 + diffuse 0.8); 40 mm out, beyond the half width of 30, the background.
    EXPECT_EQ(pixel(100, 80), 0xFFFFFFu);
    EXPECT_NE(pixel(140, 80), 0xFFFFFFu);
    EXPECT_TRUE(preview->Attributes() == before);

    // At size 1 the half width is 60: the same pixel is covered.
    Scroll(SB_THUMBTRACK, 100);
    ASSERT_TRUE(viewport.DrawFrame());
    const win32::ClientImage grown = win32::ComposeWindowImage(viewport.Window());
    EXPECT_EQ(grown.pixels[std::size_t(80) * grown.width + 140] & 0xFFFFFFu, 0xFFFFFFu);

    // Without an object the conduit adds nothing.
    m_panel->OnCancel();
    CDezazDisplayPipeline empty(viewport, &Doc(), viewport.DisplayAttrs());
    EXPECT_TRUE(m_panel->GetConduit().ExecConduit(empty, SC_CALCBOUNDINGBOX));
    EXPECT_FALSE(empty.GetChannelAttrs()->m_BoundingBox.IsValid());
}

TEST_F(PrimitivePanel, ATallerBarGivesTheRowsTheRoomAndKeepsTheButtonsAtTheBottom)
{
    const auto placeOf = [&](HWND window) {
        RECT r{};
        ::GetWindowRect(window, &r);
        return r;
    };
    RECT bar = placeOf(m_bar->GetSafeHwnd());
    POINT corner{bar.left, bar.top};
    ::ScreenToClient(m_frame, &corner);
    const RECT tree = placeOf(m_panel->GetPropTree().GetSafeHwnd());
    const RECT hide = placeOf(Item(IDC_PRIMITIVE_HIDE_MESHES)), show = placeOf(Item(IDC_PRIMITIVE_SHOW_MESHES));
    const RECT perpendicular = placeOf(Item(IDC_PRIMITIVE_PERPENDICULAR)), clear = placeOf(Item(IDC_PRIMITIVE_CLEAR));
    ::MoveWindow(m_bar->GetSafeHwnd(), corner.x, corner.y, bar.right - bar.left, bar.bottom - bar.top + 100, TRUE);
    EXPECT_EQ(placeOf(m_panel->GetPropTree().GetSafeHwnd()).bottom, tree.bottom + 100);
    EXPECT_EQ(placeOf(m_panel->GetPropTree().GetSafeHwnd()).top, tree.top);
    for (const auto& [id, before] : {std::pair{IDC_PRIMITIVE_HIDE_MESHES, hide}, std::pair{IDC_PRIMITIVE_SHOW_MESHES, show},
                                     std::pair{IDC_PRIMITIVE_PERPENDICULAR, perpendicular},
                                     std::pair{IDC_PRIMITIVE_CLEAR, clear}})
    {
        EXPECT_EQ(placeOf(Item(id)).top, before.top + 100) << id;
        EXPECT_EQ(placeOf(Item(id)).bottom - placeOf(Item(id)).top, before.bottom - before.top) << id;
    }
}

TEST_F(PrimitivePanel, DockedPanelShowsItsControlsAtTheRightOfTheMainWindow)
{
    AddSelected(CylinderScan({0, 0, 0}, {0, 0, 1}, 20.0, 50.0));
    Click(IDC_PRIMITIVE_CYLINDER);
    RECT frame{}, bar{};
    ::GetClientRect(m_frame, &frame);
    ::GetWindowRect(m_bar->GetSafeHwnd(), &bar);
    POINT corner{bar.left, bar.top};
    ::ScreenToClient(m_frame, &corner);
    const int width = bar.right - bar.left;
    EXPECT_GT(corner.x, frame.right / 2);
    // In front of the viewport it docks over.
    EXPECT_EQ(::GetWindow(m_frame, GW_CHILD), m_bar->GetSafeHwnd());
    EXPECT_LE(corner.x + width, frame.right);

    // Every control of the template lies inside the bar, none squeezed off.
    RECT panel{};
    ::GetWindowRect(m_panel->GetSafeHwnd(), &panel);
    for (int id : {IDC_PRIMITIVE_PLANE, IDC_PRIMITIVE_CYLINDER, IDC_PRIMITIVE_SIZE_EDIT, IDOK, IDC_PRIMITIVE_REBUILD,
                   IDC_PRIMITIVE_SHOW_MESHES, IDC_PRIMITIVE_CLEAR})
    {
        RECT r{};
        ::GetWindowRect(Item(id), &r);
        EXPECT_GE(r.left, panel.left) << id;
        EXPECT_LE(r.right, panel.right) << id;
        EXPECT_LE(r.bottom, panel.bottom) << id;
    }
    ::RedrawWindow(m_frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    mfc::PumpUntilIdle();
    const win32::ClientImage image = win32::ComposeWindowImage(m_frame);
    win32::WriteSnapshotIfRequested(m_frame, "primitive_panel_docked");
    ASSERT_GT(image.width, 0);
    // The panel's rows are drawn where the tree stands: some pixel there
    // differs from the panel's face beside the buttons.
    RECT tree{};
    ::GetWindowRect(m_panel->GetPropTree().GetSafeHwnd(), &tree);
    POINT a{tree.left, tree.top};
    ::ScreenToClient(m_frame, &a);
    const auto at = [&](int x, int y) { return image.pixels[std::size_t(y) * image.width + x] & 0xFFFFFFu; };
    const std::uint32_t face = at(a.x + 2, a.y - 4);
    bool rows = false;
    for (int y = a.y + 2; y < a.y + 60 && !rows; ++y)
        for (int x = a.x + 2; x < a.x + 120 && !rows; ++x)
            rows = at(x, y) != face;
    EXPECT_TRUE(rows);
}

} // namespace
