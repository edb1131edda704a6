// A guide curve drawn on a free-form scan through the Guide curve tab: the
// clicks land on the mesh, the double click hands the curve to the dialog,
// and the free-form shape is lofted again along the drawn guide, still on
// the scanned surface.
#include "core/frame_math.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/curve_draw_mode.h"
#include "platform/mfc/win_app.h"
#include "render/tests/support/camera_moves.h"
#include "render/renderer.h"
#include "shapes/loft_surface.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"
#include "support/view_input.h"

#include <cmath>
#include <vector>

namespace
{

// A saddle-like free-form sheet that no primitive fits: height over the
// plane of the normal at (x, y) within the square of the given size.
double FreeFormHeight(double x, double y, double size, double bend)
{
    const double h = 0.5 * size;
    return bend * ((x / h) * (x / h) - 0.5 * (y / h) * (y / h));
}

ON_Mesh FreeFormScan(scans::Vec centre, scans::Vec normal, double size, int cells, double bend, double noise)
{
    scans::MeshBuilder b(noise);
    normal = scans::Unit(normal);
    scans::Vec e1, e2;
    scans::Basis(normal, e1, e2);
    return scans::SquareGrid(b, size, cells, [&](double x, double y)
                             { return centre + x * e1 + y * e2 + FreeFormHeight(x, y, size, bend) * normal; });
}

POINT ScreenOf(C3DView* view, const scans::Vec& p)
{
    const float w[3] = {float(p.x), float(p.y), float(p.z)};
    float projected[3];
    view->GetRenderer()->ProjectPoint(projected, w, true);
    POINT at{};
    view->GetRenderer()->WorldToScreen(projected[0], projected[1], &at);
    return at;
}

} // namespace

TEST_F(ShapesDialog, AGuideDrawnAcrossAFreeFormScanIsTheGuideTheShapeIsLoftedAlong)
{
    const scans::Vec centre{-650, 420, 1300}, normal = scans::Unit({-0.2, 0.35, 0.9});
    const double size = 120.0, bend = 6.0, noise = 0.02;
    Open(FreeFormScan(centre, normal, size, 40, bend, noise));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::FreeForm);
    const std::vector<std::wstring> titles = dialog->TabTitles();
    for (std::size_t i = 0; i < titles.size(); ++i)
        if (titles[i] == L"Guide curve")
            dialog->SelectTab(int(i));
    cCPView* view = dialog->GetShapesView();
    auto* mode = dynamic_cast<CUIM_DrawCurveOnMesh*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr);
    view->Redraw(kFullRedraw);

    // Five points across the patch along its second axis, on the surface.
    scans::Vec e1, e2;
    scans::Basis(normal, e1, e2);
    POINT last{};
    for (int k = 0; k < 5; ++k)
    {
        const double y = -45.0 + 22.5 * k, x = 4.0;
        const scans::Vec p = centre + x * e1 + y * e2 + FreeFormHeight(x, y, size, bend) * normal;
        last = ScreenOf(view, p);
        viewinput::Inject(view, WM_MOUSEMOVE, last);
        viewinput::Inject(view, WM_LBUTTONDOWN, last);
        viewinput::Inject(view, WM_LBUTTONUP, last);
    }
    ASSERT_EQ(mode->GetPoints().GetVertexCount(), 5u);
    if (dialog->GetShapesView())
        win32::WriteSnapshotIfRequested(Window(), "shapes_dialog_guide_drawn");
    // The second press on the last point is the double click that finishes.
    viewinput::Inject(view, WM_LBUTTONDOWN, last);
    viewinput::Inject(view, WM_LBUTTONUP, last);
    EXPECT_TRUE(mode->GetPoints().IsEmpty());

    auto* loft = Shape<Dezaz_LoftSurface>(IID_Dezaz_LoftSurface);
    ASSERT_NE(loft, nullptr);
    auto* profiled = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
    ASSERT_NE(profiled, nullptr);
    ST_ISectionCurve* guide = profiled->GetProfileCurve();
    ASSERT_NE(guide, nullptr);
    EXPECT_EQ(guide->GetClassGuid(), CLSID_ST_TSplineCurve) << "the drawn guide replaced the patch guide";
    // The guide runs along the second axis, from the first drawn point.
    const t3DPoint<double> start = guide->GetStartPoint(), end = guide->GetEndPoint();
    const scans::Vec along{end.x - start.x, end.y - start.y, end.z - start.z};
    EXPECT_GT(std::fabs(scans::Dot(along, e2)), 80.0);
    EXPECT_LT(std::fabs(scans::Dot(along, e1)), 5.0);

    // The lofted surface still lies on the scanned surface.
    const ON_NurbsSurface* surface = loft->GetHostSurface();
    ASSERT_NE(surface, nullptr);
    const ON_Interval s = surface->Domain(0), t = surface->Domain(1);
    double worst = 0.0;
    int inside = 0;
    for (int i = 0; i <= 30; ++i)
        for (int j = 0; j <= 30; ++j)
        {
            const ON_3dPoint p = surface->PointAt(s.ParameterAt(i / 30.0), t.ParameterAt(j / 30.0));
            const scans::Vec d = scans::Vec{p.x, p.y, p.z} - centre;
            const double x = scans::Dot(d, e1), y = scans::Dot(d, e2);
            if (std::fabs(x) > 0.45 * size || std::fabs(y) > 0.45 * size)
                continue;
            ++inside;
            worst = std::max(worst, std::fabs(scans::Dot(d, normal) - FreeFormHeight(x, y, size, bend)));
        }
    EXPECT_GT(inside, 200);
    EXPECT_LT(worst, 0.3) << "within a few times the noise and the loft's own sampling";
    Snapshot("guide_lofted");
}

TEST_F(ShapesDialog, AGuideBegunOnTheAlignedScanAndFinishedAfterResetIsDrawnWhereTheScanIs)
{
    const scans::Vec centre{-650, 420, 1300}, normal = scans::Unit({-0.2, 0.35, 0.9});
    const double size = 120.0, bend = 6.0;
    Open(FreeFormScan(centre, normal, size, 40, bend, 0.02));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    ASSERT_TRUE(Enabled(IDC_SHAPES_RESET));
    double frame[12];
    std::copy(dialog->GetMeshFrame(), dialog->GetMeshFrame() + 12, frame);
    Click(IDC_SHAPES_NEW_SHAPE);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    const std::vector<std::wstring> titles = dialog->TabTitles();
    for (std::size_t i = 0; i < titles.size(); ++i)
        if (titles[i] == L"Guide curve")
            dialog->SelectTab(int(i));
    cCPView* view = dialog->GetShapesView();
    auto* mode = dynamic_cast<CUIM_DrawCurveOnMesh*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr);
    view->ZoomAll();
    testview::TurnView(view, 20.0, -15.0);
    view->Redraw(kFullRedraw);

    // Three points across the aligned patch, then Reset before the finish.
    scans::Vec e1, e2;
    scans::Basis(normal, e1, e2);
    for (int k = 0; k < 3; ++k)
    {
        const double y = -40.0 + 40.0 * k, x = 4.0;
        const scans::Vec p = centre + x * e1 + y * e2 + FreeFormHeight(x, y, size, bend) * normal;
        float world[3] = {float(p.x), float(p.y), float(p.z)}, aligned[3];
        TransformPoint3f(frame, aligned, world);
        viewinput::Click(view, ScreenOf(view, {aligned[0], aligned[1], aligned[2]}));
    }
    ASSERT_EQ(mode->GetPoints().GetVertexCount(), 3u);
    const cVertex first = *mode->GetPoints().GetFirstVertex();
    Click(IDC_SHAPES_RESET);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kCmdFinishCurve, 0), 0);
    mfc::PumpUntilIdle();

    // The guide starts at the first point clicked, where Reset put it.
    auto* profiled = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
    ASSERT_NE(profiled, nullptr);
    ST_ISectionCurve* guide = profiled->GetProfileCurve();
    ASSERT_NE(guide, nullptr);
    ASSERT_EQ(guide->GetClassGuid(), CLSID_ST_TSplineCurve) << "the drawn guide replaced the patch guide";
    float back[3] = {first.x, first.y, first.z};
    InverseTransformPoint3f(frame, back);
    const t3DPoint<double> start = guide->GetStartPoint();
    EXPECT_LT(std::hypot(start.x - back[0], start.y - back[1], start.z - back[2]), 1e-2);
}

TEST_F(ShapesDialog, AGuideHalfDrawnOnOneFreeFormIsDroppedWhenAnotherFreeFormIsChosen)
{
    const scans::Vec centre{-650, 420, 1300}, normal = scans::Unit({-0.2, 0.35, 0.9});
    const double size = 120.0, bend = 6.0;
    Open(FreeFormScan(centre, normal, size, 40, bend, 0.02));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    CSessionSurface* first = dialog->GetCurrentSession();
    auto* firstShape = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
    ASSERT_NE(firstShape, nullptr);
    const GUID firstGuide = firstShape->GetProfileCurve()->GetClassGuid();
    Click(IDC_SHAPES_NEW_SHAPE);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    ASSERT_NE(dialog->GetCurrentSession(), first);
    dialog->SelectTab(dialog->TabIndexOf(eShapesPage::GuideCurve));
    cCPView* view = dialog->GetShapesView();
    auto* mode = dynamic_cast<CUIM_DrawCurveOnMesh*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr);
    view->Redraw(kFullRedraw);

    // Three points drawn while the second free form is current.
    scans::Vec e1, e2;
    scans::Basis(normal, e1, e2);
    for (int k = 0; k < 3; ++k)
    {
        const double y = -40.0 + 40.0 * k, x = 4.0;
        viewinput::Click(view, ScreenOf(view, centre + x * e1 + y * e2 + FreeFormHeight(x, y, size, bend) * normal));
    }
    ASSERT_EQ(mode->GetPoints().GetVertexCount(), 3u);

    // The first free form chosen in the list, then Finish.
    const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
    ::SendMessageW(list, LB_SETCURSEL, 0, 0);
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
    ASSERT_EQ(dialog->GetCurrentSession(), first);
    ASSERT_EQ(view->GetActiveMode(), mode);
    EXPECT_TRUE(mode->GetPoints().IsEmpty());
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kCmdFinishCurve, 0), 0);
    EXPECT_EQ(firstShape->GetProfileCurve()->GetClassGuid(), firstGuide)
        << "a guide drawn for the second shape was applied to the first";
}
