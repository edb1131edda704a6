// The shapes view and its surface extension mode on a real view: the mode
// factory, strokes that select or (with Alt) deselect and keep the vertex
// marks, undo, wand clicks that hand the seed to the owner, commands, and
// the current shape's handles hovered through the id image and dragged.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "modes/mode_support.h"
#include "modes/selection_brush_owner.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "modes/surface_extension_mode.h"
#include "overlay/annotations.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/controls.h"
#include "platform/win32/input.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "shapes/host_primitives.h"
#include "shapes/primitive_geometry.h"
#include "shapes/primitive_scene_objects.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace
{

class FakeOwner : public CWnd, public IShapesViewOwner, public ISelectionBrushOwner
{
public:
    void ReapplyMagicWand(bool toggle, bool redraw) override
    {
        wandRuns.push_back({toggle, redraw});
        // As the dialog redraws its view after the wand.
        if (redraw && redrawn)
            redrawn->RequestRedraw(0);
    }
    ISceneObject* CurrentShapeObject() override { return shape; }
    std::wstring& HintText() override { return hint; }
    bool SelectFrontFacingOnly() const override { return false; }
    bool DrawWorldAxes() const override { return axes; }
    void SetDrawWorldAxes(bool on) override { axes = on; }
    void SaveSelectionForUndo() override
    {
        saved.clear();
        mesh->ForEachTriangle([&](cMeshTriangle& t) { saved.push_back(t.flags & kTriangleFlagSelected); });
        ++saves;
    }
    bool RestoreSelectionFromUndo() override
    {
        if (saved.empty())
            return false;
        std::size_t i = 0;
        mesh->ForEachTriangle([&](cMeshTriangle& t)
                              { t.flags = std::uint8_t((t.flags & ~kTriangleFlagSelected) | saved[i++]); });
        RebuildSelectedVertexMarks(*mesh);
        return true;
    }
    HWND QuickShapePicker(bool) override { return nullptr; }
    void HideQuickPickers() override { ++hides; }
    void StartNewShape() override { ++newShapes; }
    bool OnViewCommand(UINT id) override { return commands.push_back(id), true; }
    int GetHalfBrushSize() const override { return 12; }
    bool ChangeBrushSize(int) override { return false; }

    cMesh* mesh = nullptr;
    ISceneObject* shape = nullptr;
    std::wstring hint;
    bool axes = false;
    std::vector<std::uint8_t> saved;
    int saves = 0, hides = 0, newShapes = 0;
    std::vector<std::pair<bool, bool>> wandRuns;
    std::vector<UINT> commands;
    C3DView* redrawn = nullptr;
};

class SurfaceExtension : public ::testing::Test
{
protected:
    static constexpr int kWidth = 260, kHeight = 200;
    static constexpr double kOrigin[3] = {2500.0, -1200.0, 340.0};

    void SetUp() override
    {
        win32::ResetInputState();
        view = new cCPView(&owner, &owner);
        fixture.Open(view, kWidth, kHeight);
        // A grid of 30 x 24 cells facing the viewer, far from the origin.
        const double* t = view->GetCamera()->GetViewTransform();
        for (int k = 0; k < 3; ++k)
        {
            r0[k] = t[k];
            r1[k] = t[4 + k];
        }
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
        owner.mesh = mesh;
        view->ZoomAll();
        view->SetModeById(kModeExtendSurface, 0, 0);
        mode = dynamic_cast<CUIM_ExtendSurface*>(view->GetActiveMode());
        ASSERT_NE(mode, nullptr);
    }
    void TearDown() override
    {
        fixture.Close();
        win32::ResetInputState();
    }
    void Stroke(POINT from, POINT to)
    {
        testview::Press(view, WM_LBUTTONDOWN, from);
        testview::Move(view, POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
        testview::Move(view, to);
        testview::Press(view, WM_LBUTTONUP, to);
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
    std::size_t Selected() const
    {
        std::size_t n = 0;
        mesh->ForEachTriangle([&](cMeshTriangle& t) { n += (t.flags & kTriangleFlagSelected) ? 1 : 0; });
        return n;
    }
    void ExpectVertexMarksMatch() const
    {
        std::set<std::uint32_t> expected;
        mesh->ForEachTriangle(
            [&](cMeshTriangle& t)
            {
                if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected)
                    expected.insert(t.vertexIndex, t.vertexIndex + 3);
            });
        for (std::uint32_t i = 0; i < mesh->GetVertexCount(); ++i)
            ASSERT_EQ((mesh->GetVertex(i)->flags & 2u) != 0, expected.count(i) == 1) << "vertex " << i;
    }

    TempRegistry registry;
    testview::ViewFixture fixture{false};
    FakeOwner owner;
    cCPView* view = nullptr;
    CUIM_ExtendSurface* mode = nullptr;
    cMesh* mesh = nullptr;
    // The mesh's plane: the first two rows of the view it was built facing.
    double r0[3] = {}, r1[3] = {};
};

// The same after the user turned, panned and zoomed the view.
class SurfaceExtensionTurned : public SurfaceExtension
{
protected:
    void SetUp() override
    {
        SurfaceExtension::SetUp();
        testview::TurnPanAndZoom(view);
    }
    // A cylinder of height 20 lying on the mesh, its axis along the mesh's
    // first direction (tilted out of the turned view), as the current shape.
    cCylinder& ShowCylinder()
    {
        cCylinder& c = shape.GetGeometry()->GetCylinder();
        for (int k = 0; k < 3; ++k)
        {
            c.axis[k] = r0[k];
            c.axisPoint[k] = kOrigin[k] + 20.0 * r0[k] + 24.0 * r1[k];
        }
        c.radius = 3.0;
        c.height = 20.0;
        owner.shape = &shape;
        Command(kCmdReinitializePrimitive);
        view->Redraw(kFullRedraw);
        return c;
    }
    void TearDown() override
    {
        owner.shape = nullptr;
        SurfaceExtension::TearDown();
    }

    // Outlives the view, which may draw its handles while it closes.
    Dezaz_CylinderObject shape;
};

// The centre of the pixels of a colour within `radius` of a point; x < 0
// when there are none.
std::pair<double, double> CentreOfColour(const wgl::PixelImage& image, std::uint32_t colour, POINT at, int radius)
{
    double sx = 0.0, sy = 0.0;
    int n = 0;
    for (LONG y = std::max<LONG>(0, at.y - radius); y <= std::min<LONG>(image.height - 1, at.y + radius); ++y)
        for (LONG x = std::max<LONG>(0, at.x - radius); x <= std::min<LONG>(image.width - 1, at.x + radius); ++x)
            if (wgl::SameColour(image.At(x, y), colour, 2))
            {
                sx += x;
                sy += y;
                ++n;
            }
    return n ? std::make_pair(sx / n, sy / n) : std::make_pair(-1.0, -1.0);
}

cUserInteractiveMode<C3DView>* MakeRecordingMode(std::uint32_t id, std::uint32_t temporary, IBase*, cCPView*)
{
    return new CUIM_ZoomRect(id, temporary);
}

TEST_F(SurfaceExtension, TheFactoryMakesTheEditingModesAndRemembersTheLastOne)
{
    EXPECT_EQ(view->GetCurrentToolModeId(), kModeExtendSurface);
    EXPECT_EQ(view->GetContextMenuResource(), kShapesViewMenu);
    // A mode nobody builds yet is not started: the extension mode stays.
    EXPECT_FALSE(view->StartToolMode(kModeDrawCurveOnMesh, nullptr));
    EXPECT_EQ(view->GetActiveMode(), mode);
    EXPECT_EQ(view->GetCurrentToolModeId(), kModeExtendSurface);
    // Once made, the curve drawing's menu stays while navigation stacks on it.
    SetShapesViewModeMaker(kModeDrawCurveOnMesh, MakeRecordingMode);
    EXPECT_TRUE(view->StartToolMode(kModeDrawCurveOnMesh, nullptr));
    EXPECT_EQ(view->GetContextMenuResource(), kDrawOnMeshMenu);
    view->SetModeById(0xC803EA, 0, 0);
    EXPECT_EQ(view->GetContextMenuResource(), kDrawOnMeshMenu);
    SetShapesViewModeMaker(kModeDrawCurveOnMesh, nullptr);
    // A registered maker is used.
    EXPECT_EQ(SetShapesViewModeMaker(kModeEditProfile, MakeRecordingMode), nullptr);
    EXPECT_TRUE(view->StartToolMode(kModeEditProfile, nullptr));
    ASSERT_NE(view->GetActiveMode(), nullptr);
    EXPECT_EQ(view->GetActiveMode()->GetId(), kModeEditProfile);
    EXPECT_EQ(SetShapesViewModeMaker(kModeEditProfile, nullptr), MakeRecordingMode);
    EXPECT_EQ(SetShapesViewModeMaker(0xC803E9, MakeRecordingMode), nullptr) << "navigation ids are not tools";
    EXPECT_FALSE(IsShapesViewToolMode(0xC803E9));
    // Navigation modes stack without changing the remembered tool.
    view->SetModeById(0xC803E9, 0, 0);
    EXPECT_EQ(view->GetCurrentToolModeId(), kModeEditProfile);
}

TEST_F(SurfaceExtension, StrokesSelectAltDeselectsAndUndoGoesBackOneStroke)
{
    Command(kCmdPaintDrawing);
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolFreeHand));
    Stroke(POINT{60, 60}, POINT{200, 60});
    const std::size_t first = Selected();
    EXPECT_GT(first, 20u);
    ExpectVertexMarksMatch();
    Stroke(POINT{60, 140}, POINT{200, 140});
    const std::size_t both = Selected();
    EXPECT_GT(both, first);
    // Alt deselects the first band only.
    win32::SetKeyDown(VK_MENU, true);
    Stroke(POINT{60, 60}, POINT{200, 60});
    win32::SetKeyDown(VK_MENU, false);
    EXPECT_EQ(Selected(), both - first);
    ExpectVertexMarksMatch();
    // Undo brings back what was selected before the Alt stroke.
    Command(kCmdUndoSelection);
    EXPECT_EQ(Selected(), both);
    ExpectVertexMarksMatch();
    EXPECT_EQ(owner.saves, 3);
}

TEST_F(SurfaceExtensionTurned, AStrokeThatChangesNoSelectionLeavesUndoToTheStrokeBefore)
{
    Command(kCmdPaintDrawing);
    Stroke(POINT{90, 90}, POINT{170, 100});
    const std::size_t band = Selected();
    ASSERT_GT(band, 10u);
    // Over the background, then over the band already selected.
    Stroke(POINT{2, 2}, POINT{12, 3});
    Stroke(POINT{90, 90}, POINT{170, 100});
    ASSERT_EQ(Selected(), band);
    Command(kCmdUndoSelection);
    EXPECT_EQ(Selected(), 0u) << "Undo takes back the band";
    ExpectVertexMarksMatch();
}

TEST_F(SurfaceExtension, AWandClickHandsTheHitTriangleToTheOwner)
{
    Command(kCmdPaintWand);
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolMagicWand));
    testview::Press(view, WM_LBUTTONDOWN, POINT{130, 100});
    testview::Press(view, WM_LBUTTONUP, POINT{130, 100});
    ASSERT_EQ(owner.wandRuns.size(), 1u);
    EXPECT_EQ(owner.wandRuns[0], std::make_pair(false, true));
    cMeshTriangle* seed = view->GetActiveObject();
    ASSERT_NE(seed, nullptr);
    EXPECT_TRUE(view->GetRestoreFlag()) << "an unselected triangle: the click selects";
    EXPECT_TRUE(seed->flags & kTriangleFlagSelected);
    // Outside the mesh nothing is hit.
    testview::Press(view, WM_LBUTTONDOWN, POINT{2, 2});
    testview::Press(view, WM_LBUTTONUP, POINT{2, 2});
    EXPECT_EQ(owner.wandRuns.size(), 1u);
}

TEST_F(SurfaceExtension, AWandClickDrawsTheGrownSelectionInOneFrame)
{
    owner.redrawn = view;
    Command(kCmdPaintWand);
    testview::Press(view, WM_LBUTTONDOWN, POINT{130, 100});
    ::UpdateWindow(view->GetSafeHwnd());
    const int before = fixture.renderer.frames;
    testview::Press(view, WM_LBUTTONUP, POINT{130, 100});
    ::UpdateWindow(view->GetSafeHwnd());
    ASSERT_EQ(owner.wandRuns.size(), 1u);
    EXPECT_EQ(fixture.renderer.frames - before, 1);
}

TEST_F(SurfaceExtension, CommandsReachTheirTargetsAndNotificationsAreIgnored)
{
    Command(kCmdPaintLine, 1); // a control notification
    EXPECT_NE(mode->GetTool(), std::uint32_t(kToolLine));
    Command(kCmdPaintLine);
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolLine));
    Command(kCmdPaintFilled);
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolFreeHandFilled));
    for (UINT id : {32850u, 32851u, 32856u, 32860u, 32867u})
        Command(id);
    EXPECT_EQ(owner.commands, (std::vector<UINT>{32850u, 32851u, 32856u, 32860u, 32867u}));
    owner.hint = L"Mark an area first";
    Command(kCmdUpdateAnnotation);
    ASSERT_NE(mode->GetHintLabel(), nullptr);
    EXPECT_TRUE(mode->GetHintLabel()->IsVisible());
    // A press empties the hint and hides the label.
    testview::Press(view, WM_LBUTTONDOWN, POINT{100, 100});
    testview::Press(view, WM_LBUTTONUP, POINT{100, 100});
    EXPECT_TRUE(owner.hint.empty());
    EXPECT_FALSE(mode->GetHintLabel()->IsVisible());
    // Escape starts a new shape only while there is one; the mode stays.
    mode->OnEscape(view);
    EXPECT_EQ(owner.newShapes, 0);
    Dezaz_CylinderObject shape;
    owner.shape = &shape;
    mode->OnEscape(view);
    EXPECT_EQ(owner.newShapes, 1);
    EXPECT_EQ(view->GetActiveMode(), mode);
    owner.shape = nullptr;
}

TEST_F(SurfaceExtension, TheToolbarShowsItsButtonsAndTheAxesButtonTogglesTheAxes)
{
    EXPECT_EQ(view->GetToolbarButtonCount(), 13u);
    for (int i = 0; i < 2; ++i)
    {
        ASSERT_NE(view->GetLabelAnnotation(i), nullptr);
        EXPECT_FALSE(view->GetLabelAnnotation(i)->IsVisible());
        ASSERT_NE(view->GetImageAnnotation(i), nullptr);
        EXPECT_FALSE(view->GetImageAnnotation(i)->IsVisible());
    }
    view->ToggleCoordinateSystem();
    EXPECT_TRUE(owner.axes);
    view->ToggleCoordinateSystem();
    EXPECT_FALSE(owner.axes);
    testview::Snapshot(view, "shapes_view_toolbar");
}

TEST(HandleDragSign, TowardsTheTipGrowsBackShrinksAcrossGrows)
{
    const float p[3] = {0, 0, 0}, tip[3] = {1, 0, 0};
    const float towards[3] = {3, 0, 0}, back[3] = {-2, 0, 0}, across[3] = {0, 5, 0};
    EXPECT_EQ(HandleDragSign(p, tip, towards), 1.0);
    EXPECT_EQ(HandleDragSign(p, tip, back), -1.0);
    EXPECT_EQ(HandleDragSign(p, tip, across), 1.0);
}

TEST_F(SurfaceExtension, HandlesAreHoveredThroughTheIdImageAndDraggedAlongTheirDirection)
{
    // A cylinder lying in the view plane: its two end handles point left
    // and right on the screen.
    Dezaz_CylinderObject shape;
    cCylinder& c = shape.GetGeometry()->GetCylinder();
    const double* t = view->GetCamera()->GetViewTransform();
    float centre[3];
    for (int k = 0; k < 3; ++k)
        centre[k] = float(kOrigin[k] + 30.0 * t[k] + 24.0 * t[4 + k]);
    for (int k = 0; k < 3; ++k)
    {
        c.axis[k] = t[k];
        c.axisPoint[k] = centre[k] - 10.0 * t[k];
    }
    c.radius = 3.0;
    c.height = 20.0;
    owner.shape = &shape;
    Command(kCmdReinitializePrimitive);
    ASSERT_NE(mode->GetActiveShape(), nullptr);
    view->Redraw(kFullRedraw);
    ASSERT_TRUE(mode->IsPickImageValid());
    ASSERT_EQ(mode->GetHandleCount(), 2);
    const POINT top = testview::ScreenOf(view, mode->GetHandlePoints()[1]);
    testview::Move(view, top);
    ASSERT_TRUE(mode->IsHovering());
    EXPECT_EQ(mode->GetHoveredHandle(), 1);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorOverHandle));

    const float pixel = PixelsToWorldLength(view, 1);
    testview::Press(view, WM_LBUTTONDOWN, top);
    EXPECT_TRUE(mode->IsDraggingHandle());
    testview::Move(view, POINT{top.x + 30, top.y}); // towards the tip: grows
    EXPECT_NEAR(c.height, 20.0 + 30.0 * pixel, 2.0 * pixel);
    testview::Move(view, POINT{top.x + 20, top.y}); // back: shrinks
    EXPECT_NEAR(c.height, 20.0 + 20.0 * pixel, 2.0 * pixel);
    testview::Move(view, POINT{top.x + 20, top.y + 10}); // across: grows
    EXPECT_NEAR(c.height, 20.0 + 30.0 * pixel, 2.0 * pixel);
    testview::Press(view, WM_LBUTTONUP, POINT{top.x + 20, top.y + 10});
    EXPECT_FALSE(mode->IsDraggingHandle());
    EXPECT_EQ(Selected(), 0u) << "a handle drag is no stroke";

    // The first handle (the bottom end) points the other way: dragging it
    // left lengthens the cylinder at its bottom.
    view->Redraw(kFullRedraw);
    const double grown = c.height;
    const POINT bottom = testview::ScreenOf(view, mode->GetHandlePoints()[0]);
    testview::Move(view, bottom);
    ASSERT_TRUE(mode->IsHovering());
    EXPECT_EQ(mode->GetHoveredHandle(), 0);
    testview::Press(view, WM_LBUTTONDOWN, bottom);
    testview::Move(view, POINT{bottom.x - 25, bottom.y});
    testview::Press(view, WM_LBUTTONUP, POINT{bottom.x - 25, bottom.y});
    EXPECT_NEAR(c.height, grown + 25.0 * pixel, 2.0 * pixel);

    // Off the handles (and outside the view) nothing is hovered.
    view->Redraw(kFullRedraw);
    testview::Move(view, POINT{5, 5});
    EXPECT_FALSE(mode->IsHovering());
    testview::Move(view, POINT{-20, kHeight + 30});
    EXPECT_FALSE(mode->IsHovering());
    EXPECT_EQ(mode->GetHoveredHandle(), -1);
    testview::Snapshot(view, "surface_extension_handles");
    // Clearing the shape forgets the hovered handle with it.
    const POINT again = testview::ScreenOf(view, mode->GetHandlePoints()[1]);
    testview::Move(view, again);
    ASSERT_TRUE(mode->IsHovering());
    Command(kCmdClearFeaturePoints);
    EXPECT_EQ(mode->GetActiveShape(), nullptr);
    EXPECT_FALSE(mode->IsHovering());
    EXPECT_EQ(mode->GetHoveredHandle(), -1);
    owner.shape = nullptr;
}

TEST_F(SurfaceExtensionTurned, HandlesSitOnTheirPointsAndDragByTheDraggedLength)
{
    const cCylinder& c = ShowCylinder();
    ASSERT_EQ(mode->GetHandleCount(), 2);
    const wgl::PixelImage frame = testview::Frame(view);
    for (int i = 0; i < 2; ++i)
    {
        const POINT at = testview::ScreenOf(view, mode->GetHandlePoints()[i]);
        const auto [x, y] = CentreOfColour(frame, wgl::Rgb(255, 232, 135), at, 12);
        EXPECT_NEAR(x, at.x, 1.0) << "handle " << i;
        EXPECT_NEAR(y, at.y, 1.0) << "handle " << i;
        testview::Move(view, at);
        EXPECT_TRUE(mode->IsHovering()) << "handle " << i;
        EXPECT_EQ(mode->GetHoveredHandle(), i);
    }
    testview::Snapshot(view, "surface_extension_handles_turned");

    // The top handle dragged 30 pixels along its projected direction.
    const float* p = mode->GetHandlePoints()[1];
    const float far[3] = {p[0] + float(10.0 * c.axis[0]), p[1] + float(10.0 * c.axis[1]), p[2] + float(10.0 * c.axis[2])};
    const POINT from = testview::ScreenOf(view, p), towards = testview::ScreenOf(view, far);
    const double dx = towards.x - from.x, dy = towards.y - from.y, d = std::hypot(dx, dy);
    const POINT to{from.x + LONG(std::lround(30.0 * dx / d)), from.y + LONG(std::lround(30.0 * dy / d))};
    testview::Move(view, from);
    ASSERT_TRUE(mode->IsHovering());
    testview::Press(view, WM_LBUTTONDOWN, from);
    testview::Move(view, to);
    testview::Press(view, WM_LBUTTONUP, to);
    const double dragged = std::hypot(double(to.x - from.x), double(to.y - from.y)) * PixelsToWorldLength(view, 1);
    EXPECT_NEAR(c.height, 20.0 + dragged, 1e-3 * dragged);
}

TEST_F(SurfaceExtensionTurned, AWandClickSeedsTheTriangleUnderTheCursor)
{
    Command(kCmdPaintWand);
    const POINT at{150, 120};
    testview::Press(view, WM_LBUTTONDOWN, at);
    testview::Press(view, WM_LBUTTONUP, at);
    ASSERT_EQ(owner.wandRuns.size(), 1u);
    const cMeshTriangle* seed = view->GetActiveObject();
    ASSERT_NE(seed, nullptr);
    POINT corner[3];
    for (int k = 0; k < 3; ++k)
        corner[k] = testview::ScreenOf(view, mesh->GetVertex(seed->vertexIndex[k])->Position());
    // The click lies in the seed's screen triangle (a pixel of slack).
    double u = 0.0, v = 0.0;
    EXPECT_TRUE(PointInTriangle2D(at.x + 0.5, at.y + 0.5, corner[0].x, corner[0].y, corner[1].x, corner[1].y,
                                  corner[2].x, corner[2].y, &u, &v, 0.15));
}

TEST_F(SurfaceExtensionTurned, NoHandleIsFoundInWhatAStrokeLeftInTheBackBuffer)
{
    const cCylinder& c = ShowCylinder();
    // The first cell's triangles carry face ids 1 and 2: in a face-id image
    // they read as the two handles.
    float cell[3];
    for (int k = 0; k < 3; ++k)
        cell[k] = float(kOrigin[k] + 1.3 * r0[k] + 0.7 * r1[k]);
    const POINT onCell = testview::ScreenOf(view, cell);
    ASSERT_TRUE(onCell.x > 0 && onCell.x < kWidth && onCell.y > 0 && onCell.y < kHeight);
    // A stroke off the mesh marks nothing; the cursor moves on before the
    // view repaints.
    testview::Press(view, WM_LBUTTONDOWN, POINT{20, 30});
    testview::Move(view, POINT{40, 30});
    POINT release{40, 30}, moved = onCell;
    ::ClientToScreen(view->GetSafeHwnd(), &release);
    ::ClientToScreen(view->GetSafeHwnd(), &moved);
    win32::InjectMouseButton(WM_LBUTTONUP, release);
    win32::InjectMouseMove(moved);
    // Input before the repaint, as a message loop takes them.
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE))
        ::DispatchMessageW(&msg);
    EXPECT_EQ(Selected(), 0u);
    EXPECT_FALSE(mode->IsHovering());
    testview::Press(view, WM_LBUTTONDOWN, onCell);
    testview::Move(view, POINT{onCell.x + 40, onCell.y});
    testview::Press(view, WM_LBUTTONUP, POINT{onCell.x + 40, onCell.y});
    EXPECT_EQ(c.height, 20.0) << "the press was a stroke, not a handle drag";
    // Once the view has repainted, the handles are found again.
    testview::Move(view, testview::ScreenOf(view, mode->GetHandlePoints()[0]));
    EXPECT_TRUE(mode->IsHovering());
}

} // namespace
