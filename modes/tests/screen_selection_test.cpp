// The selection mode on a real view: scripted mouse, key and wheel input
// drives strokes over a grid mesh that faces the viewer, and what a stroke
// marks is compared with a CPU oracle: triangles whose centre lies within
// r - 1 pixels of the stroke are marked, those farther than r + 1 pixels
// plus their own size are not; the filled tool adds the inside of the
// outline; hidden triangles never count, and back faces only without
// culling.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "modes/screen_selection.h"
#include "modes/selection_brush_owner.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/input.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "render/gdi_graphics_layer.h"
#include "render/gdiplus_graphics.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

constexpr std::uint32_t kTestModeId = 0xCB07E4;

// The brush owner the view's owner tool stands for.
class TestOwner : public CWnd, public ISelectionBrushOwner
{
public:
    int GetHalfBrushSize() const override { return half; }
    bool ChangeBrushSize(int step) override
    {
        steps.push_back(step);
        const int next = half + (step > 0 ? 1 : -2);
        if (next < 10 || next > 300)
            return false;
        half = next;
        return true;
    }
    int half = 12;
    std::vector<int> steps;
};

// A mode that applies every finished stroke to the mesh, as the editing
// modes do, and paints the stroke over the frame.
class StrokeMode : public CUIM_ScreenSelection
{
public:
    StrokeMode(std::uint32_t id, C3DView* view, cMesh* mesh, TestOwner* owner)
        : CUIM_ScreenSelection(id, 0, view), mesh(mesh), owner(owner)
    {
    }
    BOOL OnLButtonUp(POINT point, UINT flags, C3DView* view) override
    {
        const BOOL handled = CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
        if (handled && !IsStrokeInProgress())
        {
            lastStroke = GetStroke();
            marked = curves ? SelectPointsInStroke(*curves)
                            : SelectTrianglesInStroke(*mesh, attributes, owner->half, cull);
            ++applied;
            ClearStroke();
        }
        return handled;
    }
    // The triangles the last stroke marked, over the frame, so that the
    // snapshots show the selection.
    void DrawGL(C3DView* view) override
    {
        auto* camera = view->GetCamera();
        if (!camera)
            return;
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glColor3ub(255, 140, 0);
        camera->PushViewTransform();
        glBegin(GL_TRIANGLES);
        for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
        {
            const cMeshTriangle* t = mesh->GetTriangle(i);
            if (!(t->flags & kTriangleFlagScratch))
                continue;
            for (std::uint32_t v : t->vertexIndex)
                glVertex3fv(mesh->GetVertex(v)->Position());
        }
        glEnd();
        camera->PopViewTransform();
        glPopAttrib();
    }
    void DrawOverlay(GpGraphics* graphics, C3DView* view) override
    {
        cGdiplusGraphics g(graphics, nullptr);
        RECT dirty{};
        PaintStroke(g, &dirty, attributes, owner->half, true);
        if (dirty.right > dirty.left && view->GetRenderer())
            if (cGDIGraphicsLayer* layer =
                    view->GetRenderer()->GetGDILayer(view->GetClientWidth(), view->GetClientHeight()))
                layer->GetCollector().AddRect(dirty);
        CUIM_ZoomRect::DrawOverlay(graphics, view);
    }

    cMesh* mesh;
    TestOwner* owner;
    tPolylineCollection<tFramePolyline<cVertex>>* curves = nullptr;
    cDecoratorObject attributes;
    bool cull = true;
    bool marked = false;
    int applied = 0;
    std::vector<POINT> lastStroke;
};

class SelectionView : public cP3DView
{
public:
    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM extra) override
    {
        if (id == kTestModeId)
            return mode = new StrokeMode(id, this, mesh, owner);
        return cP3DView::CreateMode(id, temporary, extra);
    }
    CWnd* GetOwnerTool() override { return owner; }

    cMesh* mesh = nullptr;
    TestOwner* owner = nullptr;
    StrokeMode* mode = nullptr;
};

class ScreenSelection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ResetInputState();
        view = new SelectionView;
        view->owner = &owner;
        fixture.Open(view, kWidth, kHeight);
        // A grid of 30 x 24 cells in the plane of the screen, far from the
        // origin, so every triangle faces the viewer.
        const double* t = view->GetCamera()->GetViewTransform();
        const double r0[3] = {t[0], t[1], t[2]}, r1[3] = {t[4], t[5], t[6]};
        auto* object = new cMeshObject();
        mesh = object->GetMesh();
        for (int j = 0; j <= 24; ++j)
            for (int i = 0; i <= 30; ++i)
            {
                float p[3];
                for (int k = 0; k < 3; ++k)
                    p[k] = float(kOrigin[k] + 2.0 * i * r0[k] + 2.0 * j * r1[k]);
                mesh->AddVertex(p);
            }
        for (int j = 0; j < 24; ++j)
            for (int i = 0; i < 30; ++i)
            {
                const std::uint32_t v = std::uint32_t(j * 31 + i);
                mesh->AddTriangle(v, v + 1, v + 32);
                mesh->AddTriangle(v, v + 32, v + 31);
            }
        mesh->Update();
        fixture.scene->AddObject(object);
        view->mesh = mesh;
        view->ZoomAll();
        view->SetModeById(kTestModeId, 0, 0);
        ASSERT_NE(view->mode, nullptr);
        mode = view->mode;
    }
    void TearDown() override
    {
        fixture.Close();
        win32::ResetInputState();
    }

    // The centre of triangle i in client pixels (continuous: the pixel
    // (x, y) spans [x, x + 1)).
    void CentreOf(std::uint32_t i, double& x, double& y, double& size)
    {
        cBase3DRenderer* camera = view->GetCamera();
        float min[3], max[3];
        camera->GetSceneBox(min, max);
        RECT viewport{};
        camera->GetViewport(&viewport);
        const double w = viewport.right - viewport.left, h = viewport.bottom - viewport.top;
        const double* t = camera->GetViewTransform();
        const float* c = camera->GetSceneCentre();
        double sx[3], sy[3];
        int k = 0;
        for (std::uint32_t index : mesh->GetTriangle(i)->vertexIndex)
        {
            const cVertex* v = mesh->GetVertex(index);
            const double d[3] = {double(v->x) - c[0], double(v->y) - c[1], double(v->z) - c[2]};
            const double vx = t[0] * d[0] + t[1] * d[1] + t[2] * d[2] + t[3];
            const double vy = t[4] * d[0] + t[5] * d[1] + t[6] * d[2] + t[7];
            sx[k] = w * vx / (double(max[0]) - min[0]) + w * 0.5;
            sy[k] = h - (h * vy / (double(max[1]) - min[1]) + h * 0.5);
            ++k;
        }
        x = (sx[0] + sx[1] + sx[2]) / 3.0;
        y = (sy[0] + sy[1] + sy[2]) / 3.0;
        size = 0.0;
        for (int q = 0; q < 3; ++q)
            size = std::max(size, std::hypot(sx[q] - x, sy[q] - y));
    }

    static double DistanceToStroke(const std::vector<POINT>& stroke, double x, double y)
    {
        double best = 1e30;
        for (std::size_t i = 0; i < stroke.size(); ++i)
        {
            const POINT a = stroke[i], b = stroke[std::min(i + 1, stroke.size() - 1)];
            const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
            double s = l2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / l2 : 0.0;
            s = std::clamp(s, 0.0, 1.0);
            best = std::min(best, std::hypot(x - (a.x + s * dx), y - (a.y + s * dy)));
        }
        return best;
    }

    static bool InsidePolygon(const std::vector<POINT>& polygon, double x, double y)
    {
        bool inside = false;
        for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++)
        {
            const double xi = polygon[i].x, yi = polygon[i].y, xj = polygon[j].x, yj = polygon[j].y;
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
                inside = !inside;
        }
        return inside;
    }

    // Compares the marks with the oracle; returns the number of marks.
    int ExpectMarksMatchOracle(const std::vector<POINT>& stroke, int r, bool filled)
    {
        int marks = 0, must = 0;
        for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
        {
            const cMeshTriangle* t = mesh->GetTriangle(i);
            const bool marked = (t->flags & kTriangleFlagScratch) != 0;
            marks += marked;
            // The pixel centre nearest the triangle's centre.
            double x, y, size;
            CentreOf(i, x, y, size);
            const double d = DistanceToStroke(stroke, x, y);
            const bool inside = filled && InsidePolygon(stroke, x, y) && d > 1.5;
            if (t->flags & kTriangleFlagHidden)
            {
                EXPECT_FALSE(marked) << "hidden triangle " << i;
                continue;
            }
            if (d < r - 1 || inside)
            {
                ++must;
                EXPECT_TRUE(marked) << "triangle " << i << " at " << x << "," << y << " is " << d << " px away";
            }
            else if (d > r + 1 + size && !(filled && InsidePolygon(stroke, x, y)))
            {
                EXPECT_FALSE(marked) << "triangle " << i << " at " << x << "," << y << " is " << d << " px away";
            }
        }
        EXPECT_GT(must, 0);
        return marks;
    }

    // Draws the frame with the marks and writes its PNG when asked.
    void Show(const std::string& name)
    {
        view->Redraw(kFullRedraw);
        testview::Snapshot(view, name);
    }

    void Stroke(const std::vector<POINT>& points)
    {
        testview::Move(view, points.front());
        testview::Press(view, WM_LBUTTONDOWN, points.front());
        for (std::size_t i = 1; i < points.size(); ++i)
            testview::Move(view, points[i]);
        testview::Press(view, WM_LBUTTONUP, points.back());
    }

    static constexpr int kWidth = 260, kHeight = 200;
    static constexpr double kOrigin[3] = {-3500.0, 1200.0, 640.0};
    TempRegistry registry;
    testview::ViewFixture fixture{false};
    TestOwner owner;
    SelectionView* view = nullptr;
    StrokeMode* mode = nullptr;
    cMesh* mesh = nullptr;
};

TEST_F(ScreenSelection, AFreeHandClickMarksTheTrianglesUnderOneBrushCircle)
{
    mode->SetTool(kToolFreeHand);
    owner.half = 20;
    Stroke({POINT{120, 90}});
    ASSERT_EQ(mode->applied, 1);
    EXPECT_TRUE(mode->marked);
    ASSERT_EQ(mode->lastStroke.size(), 2u) << "press and release";
    const int marks = ExpectMarksMatchOracle(mode->lastStroke, 20, false);
    EXPECT_LT(marks, 200) << "one disc, not the mesh";
    EXPECT_TRUE(mode->GetStroke().empty());
    Show("modes_selection_click");
}

TEST_F(ScreenSelection, AFreeHandStrokeMarksItsPathAndTheFilledToolItsInside)
{
    mode->SetTool(kToolFreeHand);
    owner.half = 10;
    const std::vector<POINT> path = {{40, 40}, {80, 60}, {130, 50}, {180, 120}, {200, 160}};
    Stroke(path);
    ASSERT_TRUE(mode->marked);
    const int pathMarks = ExpectMarksMatchOracle(mode->lastStroke, 10, false);
    Show("modes_selection_free_hand");

    mode->SetTool(kToolFreeHandFilled);
    const std::vector<POINT> loop = {{50, 40}, {200, 50}, {190, 160}, {60, 150}, {55, 60}};
    Stroke(loop);
    ASSERT_TRUE(mode->marked);
    const int loopMarks = ExpectMarksMatchOracle(mode->lastStroke, 10, true);
    EXPECT_GT(loopMarks, pathMarks * 2) << "the inside of the outline counts";
    Show("modes_selection_filled");
}

TEST_F(ScreenSelection, AScanOfMoreTrianglesThanTheIdsNameIsMarkedUnderTheWholeStroke)
{
    // 500 triangles an id pass stand in for the 16,777,215 that 24-bit ids
    // name (a 50M-triangle scan): the grid's 1440 take three passes.
    mode->SetFaceIdSpan(500);
    mode->SetTool(kToolFreeHandFilled);
    owner.half = 10;
    Stroke({{50, 40}, {200, 50}, {190, 160}, {60, 150}, {55, 60}});
    ASSERT_TRUE(mode->marked);
    ExpectMarksMatchOracle(mode->lastStroke, 10, true);
}

TEST_F(ScreenSelection, InATurnedPannedViewAStrokeMarksWhatItCovers)
{
    testview::TurnPanAndZoom(view);
    mode->SetTool(kToolFreeHandFilled);
    owner.half = 10;
    const std::vector<POINT> loop = {{90, 60}, {200, 70}, {190, 150}, {100, 140}, {95, 80}};
    Stroke(loop);
    ASSERT_TRUE(mode->marked);
    ExpectMarksMatchOracle(mode->lastStroke, 10, true);
    Show("modes_selection_filled_turned");
}

TEST_F(ScreenSelection, ShiftMakesTheLineExactlyHorizontalOrVertical)
{
    mode->SetTool(kToolLine);
    owner.half = 10;
    win32::InjectKey(VK_SHIFT, true);
    Stroke({POINT{60, 50}, POINT{120, 70}, POINT{200, 80}});
    ASSERT_EQ(mode->lastStroke.size(), 3u) << "first point, the latest move and the release";
    for (const POINT& p : mode->lastStroke)
        EXPECT_EQ(p.y, 50);
    EXPECT_EQ(mode->lastStroke.back().x, 200);
    ExpectMarksMatchOracle(mode->lastStroke, 10, false);
    Show("modes_selection_shift_line");

    Stroke({POINT{100, 40}, POINT{130, 150}});
    for (const POINT& p : mode->lastStroke)
        EXPECT_EQ(p.x, 100) << "|dy| > |dx| snaps to the vertical";
    // Presses far apart, so that none becomes a double click.
    Stroke({POINT{60, 120}, POINT{90, 150}});
    EXPECT_EQ(mode->lastStroke.back().y, 120) << "equal |dx| and |dy| give the horizontal";
    win32::InjectKey(VK_SHIFT, false);
    Stroke({POINT{180, 30}, POINT{210, 60}});
    EXPECT_EQ(mode->lastStroke.back().y, 60);
    EXPECT_EQ(mode->applied, 4);
}

TEST_F(ScreenSelection, HiddenTrianglesAreNeverMarkedAndBackFacesOnlyWithoutCulling)
{
    mode->SetTool(kToolFreeHand);
    owner.half = 30;
    for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); i += 3)
        mesh->GetTriangle(i)->flags |= kTriangleFlagHidden;
    Stroke({POINT{130, 100}});
    ASSERT_TRUE(mode->marked);
    ExpectMarksMatchOracle(mode->lastStroke, 30, false);
    Show("modes_selection_hidden");
    for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
        mesh->GetTriangle(i)->flags &= ~kTriangleFlagHidden;

    // Turn every triangle away from the viewer.
    for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
    {
        cMeshTriangle* t = mesh->GetTriangle(i);
        std::swap(t->vertexIndex[1], t->vertexIndex[2]);
        t->nx = -t->nx, t->ny = -t->ny, t->nz = -t->nz;
    }
    // Presses far apart, so that none becomes a double click.
    Stroke({POINT{60, 60}});
    EXPECT_EQ(mode->applied, 2);
    EXPECT_FALSE(mode->marked) << "culled";
    mode->cull = false;
    Stroke({POINT{190, 140}});
    EXPECT_EQ(mode->applied, 3);
    EXPECT_TRUE(mode->marked);
    ExpectMarksMatchOracle(mode->lastStroke, 30, false);
    Show("modes_selection_back_faces");
}

TEST_F(ScreenSelection, AStrokeLeavingTheViewReadsOnlyTheViewport)
{
    mode->SetTool(kToolFreeHand);
    owner.half = 10;
    // The pointer runs off the window while the button is held (the moves
    // a captured pointer delivers).
    const std::vector<POINT> away = {{200, 100}, {250, 100}, {400, 100}, {2000, 5000}, {-30000, 90000}};
    ASSERT_TRUE(mode->OnLButtonDown(away[0], MK_LBUTTON, view));
    for (std::size_t i = 1; i + 1 < away.size(); ++i)
        mode->OnMouseMove(away[i], MK_LBUTTON, view);
    mode->OnLButtonUp(away.back(), 0, view);
    ASSERT_TRUE(mode->marked);
    ExpectMarksMatchOracle(mode->lastStroke, 10, false);
    Show("modes_selection_leaving_view");
    // A stroke wholly outside marks nothing.
    mesh->GetTriangle(5)->flags |= kTriangleFlagScratch;
    ASSERT_TRUE(mode->OnLButtonDown(POINT{-400, -400}, MK_LBUTTON, view));
    mode->OnLButtonUp(POINT{-300, -380}, 0, view);
    EXPECT_FALSE(mode->marked);
    EXPECT_EQ(mesh->GetTriangle(5)->flags & kTriangleFlagScratch, 0) << "the marks of the last stroke are cleared";
}

TEST_F(ScreenSelection, CurvePointsUnderTheStrokeAreMarkedWithAFivePixelBrush)
{
    // The world point shown at the centre of a client pixel.
    cBase3DRenderer* camera = view->GetCamera();
    auto worldAt = [&](LONG x, LONG y) {
        float x0, y0, x1, y1;
        camera->ScreenToWorld(POINT{x, y}, &x0, &y0);
        camera->ScreenToWorld(POINT{x + 1, y + 1}, &x1, &y1);
        const double v[3] = {0.5 * (x0 + x1), 0.5 * (y0 + y1), 0.0};
        const double* t = camera->GetViewTransform();
        const float* c = camera->GetSceneCentre();
        const double d[3] = {v[0] - t[3], v[1] - t[7], v[2] - t[11]};
        float p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = float(c[k] + t[k] * d[0] + t[4 + k] * d[1] + t[8 + k] * d[2]);
        return std::vector<float>{p[0], p[1], p[2]};
    };
    tPolylineCollection<tFramePolyline<cVertex>> curves;
    tFramePolyline<cVertex> column, far;
    for (LONG dy = -10; dy <= 10; ++dy)
        column.AddFloatPoint(worldAt(130, 100 + dy).data());
    for (LONG x = 40; x <= 220; x += 10)
        far.AddFloatPoint(worldAt(x, 60).data())->flags = kTriangleFlagScratch | 1u;
    curves.Add(column);
    curves.Add(far);
    mode->curves = &curves;
    mode->SetTool(kToolFreeHand);
    Stroke({POINT{40, 100}, POINT{130, 100}, POINT{220, 100}});
    ASSERT_EQ(mode->applied, 1);
    EXPECT_TRUE(mode->marked);
    for (std::uint32_t i = 0; i < curves[0].GetVertexCount(); ++i)
    {
        const int dy = int(i) - 10;
        const bool marked = (curves[0].GetVertex(i)->flags & kTriangleFlagScratch) != 0;
        if (std::abs(dy) < 4)
        {
            EXPECT_TRUE(marked) << dy;
        }
        else if (std::abs(dy) > 6)
        {
            EXPECT_FALSE(marked) << dy;
        }
    }
    for (std::uint32_t i = 0; i < curves[1].GetVertexCount(); ++i)
        EXPECT_EQ(curves[1].GetVertex(i)->flags, 1u) << "cleared, other bits kept";
    Stroke({POINT{40, 180}, POINT{220, 180}});
    EXPECT_FALSE(mode->marked) << "a stroke over no point";
}

TEST_F(ScreenSelection, CtrlWheelResizesTheBrushInsteadOfZooming)
{
    float min[3], max[3], min2[3], max2[3];
    view->GetCamera()->GetSceneBox(min, max);
    win32::InjectKey(VK_CONTROL, true);
    testview::Wheel(view, POINT{100, 100}, -120);
    testview::Wheel(view, POINT{100, 100}, 120);
    win32::InjectKey(VK_CONTROL, false);
    EXPECT_EQ(owner.steps, (std::vector<int>{1, -1})) << "towards the user grows the brush";
    view->GetCamera()->GetSceneBox(min2, max2);
    EXPECT_EQ(min[0], min2[0]) << "the view did not zoom";
    EXPECT_EQ(max[1], max2[1]);
    owner.half = 300;
    EXPECT_EQ(mode->OnMouseWheel(MK_CONTROL, -120, POINT{0, 0}, view), 1) << "refused, still taken";
    EXPECT_EQ(owner.half, 300);
    EXPECT_EQ(mode->OnMouseWheel(0, -120, POINT{0, 0}, view), 0) << "no Ctrl: the view zooms";
    testview::Wheel(view, POINT{100, 100}, 120);
    view->GetCamera()->GetSceneBox(min2, max2);
    EXPECT_NE(max[1] - min[1], max2[1] - min2[1]);
}

TEST_F(ScreenSelection, CursorsFollowTheToolAndAlt)
{
    mode->SetTool(kToolFreeHand);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorBrush));
    win32::SetKeyDown(VK_MENU, true);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorBrushDeselect));
    mode->SetTool(kToolLine);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorLineDeselect));
    win32::SetKeyDown(VK_MENU, false);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorLine));
    mode->SetTool(kToolMagicWand);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorMagicWand));
    mode->SetTool(kToolNone);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorIdle));
    UINT menu = 0;
    CWnd* target = nullptr;
    mode->GetContextMenu(&menu, &target);
    EXPECT_EQ(menu, kSelectionContextMenu);
    EXPECT_EQ(target, view);

    // The context menu loses the item of the tool in use.
    for (const auto& [tool, item] : std::vector<std::pair<std::uint32_t, UINT>>{
             {kToolFreeHandFilled, kCmdFreeFormFilled}, {kToolFreeHand, kCmdFreeForm},
             {kToolLine, kCmdLineSelection}, {kToolMagicWand, kCmdMagicWand}, {kToolNone, 0}})
    {
        CMenu popup;
        ASSERT_TRUE(popup.CreatePopupMenu());
        const UINT items[] = {kCmdSelectionZoomAll, kCmdUndoLastSelection, kCmdFreeFormFilled, kCmdFreeForm,
                              kCmdLineSelection, kCmdMagicWand};
        for (UINT id : items)
            popup.AppendMenu(MF_STRING, id, L"item");
        mode->SetTool(tool);
        mode->UpdateContextMenu(&popup);
        std::vector<UINT> left;
        for (UINT i = 0; i < popup.GetMenuItemCount(); ++i)
            left.push_back(popup.GetMenuItemID(int(i)));
        EXPECT_EQ(left.size(), item ? 5u : 6u) << tool;
        EXPECT_EQ(std::count(left.begin(), left.end(), item), 0) << tool;
        popup.DestroyMenu();
    }
}

TEST_F(ScreenSelection, TheBrushCircleShowsInTheBrushColourOnlyOverTheView)
{
    mode->SetTool(kToolFreeHand);
    owner.half = 15;
    testview::Move(view, POINT{100, 80});
    view->Redraw(kFullRedraw);
    testview::Snapshot(view, "modes_selection_brush_circle");
    wgl::PixelImage frame = testview::Frame(view);
    // The outline pen is white on the circle of radius 15 about the cursor,
    // and the inside keeps the frame.
    auto whiteNear = [&](LONG x, LONG y) {
        for (LONG dy = -1; dy <= 1; ++dy)
            for (LONG dx = -1; dx <= 1; ++dx)
                if ((frame.At(x + dx, y + dy) & 0xFFFFFFu) == 0xFFFFFFu)
                    return true;
        return false;
    };
    EXPECT_TRUE(whiteNear(100 + 15, 80));
    EXPECT_TRUE(whiteNear(100 - 15, 80));
    EXPECT_TRUE(whiteNear(100, 80 + 15));
    EXPECT_TRUE(whiteNear(100, 80 - 15));
    EXPECT_FALSE(whiteNear(100 + 20, 80));
    EXPECT_FALSE(whiteNear(100, 80 + 20));
    EXPECT_NE(frame.At(100, 80) & 0xFFFFFFu, 0xFFFFFFu);

    // The stroke in progress is painted in the third attribute colour x 1.4.
    mode->attributes.SetColour(2, 0.5f, 0.25f, 0.0f, 1.0f);
    testview::Press(view, WM_LBUTTONDOWN, POINT{100, 80});
    testview::Move(view, POINT{160, 80});
    view->Redraw(kFullRedraw);
    frame = testview::Frame(view);
    testview::Snapshot(view, "modes_selection_stroke_colour");
    EXPECT_EQ(frame.At(130, 80) & 0xFFFFFFu, 0xB25900u) << "trunc(0.7 x 255), trunc(0.35 x 255), 0";
    win32::SetKeyDown(VK_MENU, true);
    view->Redraw(kFullRedraw);
    frame = testview::Frame(view);
    EXPECT_EQ(frame.At(130, 80) & 0xFFFFFFu, 0xF2F2F2u) << "Alt paints in the first colour (0.95)";
    win32::SetKeyDown(VK_MENU, false);
    testview::Press(view, WM_LBUTTONUP, POINT{160, 80});

    // The pointer outside the view: no circle.
    testview::Move(view, POINT{100, 80});
    win32::InjectMouseMove(POINT{1000, 1000});
    mfc::PumpUntilIdle();
    view->Redraw(kFullRedraw);
    frame = testview::Frame(view);
    EXPECT_FALSE(whiteNear(115, 80));
}

} // namespace
