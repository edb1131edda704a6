// The guide-curve drawing on a real shapes view: clicks land on the mesh
// under the cursor, Shift keeps a segment on the screen axis, Escape and
// Remove Last take points back, a double click hands the curve over, and the
// drawn curve shows over the mesh.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "modes/curve_draw_mode.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "platform/win32/controls.h"
#include "platform/win32/input.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "support/view_test_support.h"
#include "stub_shapes_view_owner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

class GuideOwner : public StubShapesViewOwner, public IGuideCurveReceiver
{
public:
    void ApplyGuideCurve(const tFramePolyline<cVertex>& points) override { curves.push_back(points); }

    std::vector<tFramePolyline<cVertex>> curves;
};

class CurveDrawing : public ::testing::Test
{
protected:
    static constexpr int kWidth = 240, kHeight = 180;
    static constexpr double kOrigin[3] = {-3100.0, 780.0, 2650.0};

    void SetUp() override
    {
        win32::ResetInputState();
        RegisterCurveDrawMode();
        view = new cCPView(&owner, &owner);
        fixture.Open(view, kWidth, kHeight);
        // A sheet facing the viewer, far from the origin, bent gently along
        // its rows so that picked depths differ.
        const double* t = view->GetCamera()->GetViewTransform();
        const double r0[3] = {t[0], t[1], t[2]}, r1[3] = {t[4], t[5], t[6]}, r2[3] = {t[8], t[9], t[10]};
        auto* object = new cMeshObject();
        mesh = object->GetMesh();
        for (int j = 0; j <= 20; ++j)
            for (int i = 0; i <= 30; ++i)
            {
                const double bend = 0.02 * (i - 15) * (i - 15);
                float p[3];
                for (int k = 0; k < 3; ++k)
                    p[k] = float(kOrigin[k] + 2.0 * i * r0[k] + 2.0 * j * r1[k] - bend * r2[k]);
                mesh->AddVertex(p);
            }
        for (int j = 0; j < 20; ++j)
            for (int i = 0; i < 30; ++i)
            {
                const std::uint32_t v = std::uint32_t(j * 31 + i);
                mesh->AddTriangle(v, v + 1, v + 32);
                mesh->AddTriangle(v, v + 32, v + 31);
            }
        mesh->Update();
        fixture.scene->AddObject(object);
        view->ZoomAll();
        ASSERT_TRUE(view->StartToolMode(kModeDrawCurveOnMesh, nullptr));
        mode = dynamic_cast<CUIM_DrawCurveOnMesh*>(view->GetActiveMode());
        ASSERT_NE(mode, nullptr);
    }
    void TearDown() override
    {
        fixture.Close();
        SetShapesViewModeMaker(kModeDrawCurveOnMesh, nullptr);
        win32::ResetInputState();
    }
    void Click(POINT p)
    {
        testview::Press(view, WM_LBUTTONDOWN, p);
        testview::Press(view, WM_LBUTTONUP, p);
    }
    // A notification (code other than 0) comes from a control; a menu's or
    // an accelerator's command from none.
    void Command(UINT id, int code = 0)
    {
        if (code && !control)
            control = ::CreateWindowExW(0, WC_BUTTONW, L"", WS_CHILD, 0, 0, 1, 1, view->GetSafeHwnd(), nullptr,
                                        nullptr, nullptr);
        ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, code), code ? LPARAM(control) : 0);
    }
    HWND control = nullptr;
    int Cursor() { return mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE); }
    POINT OnScreen(std::uint32_t i) { return testview::ScreenOf(view, mode->GetPoints().GetVertex(i)->Position()); }

    TempRegistry registry;
    testview::ViewFixture fixture{false};
    GuideOwner owner;
    cCPView* view = nullptr;
    CUIM_DrawCurveOnMesh* mode = nullptr;
    cMesh* mesh = nullptr;
};

TEST_F(CurveDrawing, ClicksAddTheMeshPointsUnderTheCursorAndMissesAddNothing)
{
    const POINT centre{kWidth / 2, kHeight / 2};
    Click(centre);
    Click({centre.x + 40, centre.y + 20});
    ASSERT_EQ(mode->GetPoints().GetVertexCount(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i)
    {
        const POINT at = OnScreen(i);
        const POINT want = i == 0 ? centre : POINT{centre.x + 40, centre.y + 20};
        EXPECT_LE(std::abs(at.x - want.x), 1) << i;
        EXPECT_LE(std::abs(at.y - want.y), 1) << i;
        // The point lies on the sheet: its depth follows the bend.
        const cVertex& v = *mode->GetPoints().GetVertex(i);
        const float n = std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz);
        EXPECT_NEAR(n, 1.0f, 1e-3f) << "the hit triangle's unit normal";
    }
    Click({2, 2}); // off the sheet
    EXPECT_EQ(mode->GetPoints().GetVertexCount(), 2u);
    testview::Move(view, {centre.x + 60, centre.y - 10});
    testview::Snapshot(view, "curve_draw_on_mesh");
    // The curve is drawn over the mesh in near white.
    const wgl::PixelImage frame = testview::Frame(view);
    const POINT a = OnScreen(0), b = OnScreen(1);
    EXPECT_EQ(frame.At((a.x + b.x) / 2, (a.y + b.y) / 2) & 0xFFFFFFu, 0xFAFAFAu);
}

TEST_F(CurveDrawing, InATurnedPannedViewPointsLandUnderTheClicksAndTheCurveShowsThere)
{
    testview::TurnPanAndZoom(view);
    const POINT clicks[2] = {{kWidth / 2, kHeight / 2}, {kWidth / 2 + 30, kHeight / 2 + 15}};
    for (POINT p : clicks)
        Click(p);
    ASSERT_EQ(mode->GetPoints().GetVertexCount(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i)
    {
        EXPECT_LE(std::abs(OnScreen(i).x - clicks[i].x), 1) << i;
        EXPECT_LE(std::abs(OnScreen(i).y - clicks[i].y), 1) << i;
    }
    view->Redraw(kFullRedraw);
    const wgl::PixelImage frame = testview::Frame(view);
    EXPECT_EQ(frame.At((clicks[0].x + clicks[1].x) / 2, (clicks[0].y + clicks[1].y) / 2) & 0xFFFFFFu, 0xFAFAFAu);
    testview::Snapshot(view, "curve_draw_on_mesh_turned");
}

TEST_F(CurveDrawing, ShiftKeepsTheSegmentOnTheScreenAxisAndTheCursorShowsIt)
{
    const POINT first{kWidth / 2 - 40, kHeight / 2};
    Click(first);
    const POINT start = OnScreen(0);
    testview::Move(view, {start.x + 30, start.y + 20});
    EXPECT_EQ(Cursor(), int(kCursorDrawOnMesh));
    win32::InjectKey(VK_SHIFT, true);
    testview::Move(view, {start.x + 60, start.y + 2}); // about 1.9 degrees off
    EXPECT_EQ(mode->GetCursorPoint().y, start.y);
    EXPECT_EQ(Cursor(), int(kCursorDrawHorizontal));
    testview::Move(view, {start.x + 1, start.y + 50});
    EXPECT_EQ(Cursor(), int(kCursorDrawVertical));
    Click({start.x + 60, start.y + 2});
    win32::InjectKey(VK_SHIFT, false);
    ASSERT_EQ(mode->GetPoints().GetVertexCount(), 2u);
    EXPECT_LE(std::abs(OnScreen(1).y - start.y), 1);
    // Without Shift the same offset stays off the axis.
    testview::Move(view, {start.x + 60, start.y + 12});
    EXPECT_EQ(Cursor(), int(kCursorDrawOnMesh));
}

TEST_F(CurveDrawing, EscapeAndRemoveLastTakePointsBackAndTheModeStays)
{
    const POINT centre{kWidth / 2, kHeight / 2};
    Click(centre);
    Click({centre.x + 30, centre.y});
    mode->OnEscape(view);
    EXPECT_EQ(mode->GetPoints().GetVertexCount(), 1u);
    Command(kCmdRemoveLastPoint, 1); // a notification is not a command
    EXPECT_EQ(mode->GetPoints().GetVertexCount(), 1u);
    Command(kCmdRemoveLastPoint);
    EXPECT_TRUE(mode->GetPoints().IsEmpty());
    mode->OnEscape(view);
    EXPECT_EQ(view->GetActiveMode(), mode);
    EXPECT_EQ(Cursor(), int(kCursorDrawOnMesh)) << "no rubber band from a removed point";
    Click(centre);
    Command(kCmdRestartDrawing);
    EXPECT_TRUE(mode->GetPoints().IsEmpty());
    UINT menu = 0;
    CWnd* target = nullptr;
    EXPECT_TRUE(mode->GetContextMenu(&menu, &target));
    EXPECT_EQ(menu, 3042u);
    EXPECT_EQ(target, view);
    EXPECT_EQ(view->GetContextMenuResource(), 3042u);
}

TEST_F(CurveDrawing, ADoubleClickAddsItsPointAndHandsTheCurveOver)
{
    const POINT centre{kWidth / 2, kHeight / 2};
    Click({centre.x - 30, centre.y + 10});
    Command(kCmdFinishCurve);
    EXPECT_TRUE(owner.curves.empty()) << "one point is no curve";
    EXPECT_TRUE(mode->GetPoints().IsEmpty());

    // The second press at the same pixel arrives as a double click.
    Click({centre.x - 20, centre.y - 15});
    Click({centre.x + 30, centre.y - 10});
    EXPECT_EQ(mode->GetPoints().GetVertexCount(), 2u);
    Click({centre.x + 30, centre.y - 10});
    ASSERT_EQ(owner.curves.size(), 1u);
    EXPECT_EQ(owner.curves[0].GetVertexCount(), 2u);
    EXPECT_TRUE(mode->GetPoints().IsEmpty());
    EXPECT_EQ(view->GetActiveMode(), mode) << "the mode stays for the next curve";
}

} // namespace
