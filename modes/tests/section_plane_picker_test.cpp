// The section-plane picker on a real shapes view: the plane placed by a
// screen line contains that line and the viewing direction at the anchor's
// depth, the second point snaps onto the screen axes, a click on the first
// pixel and the right button step back, and the picker ends itself after the
// pick so that the drawing mode under it resumes.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "modes/curve_draw_mode.h"
#include "modes/section_plane_picker.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "platform/win32/input.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "shapes/interactive_section_plane.h"
#include "support/camera_moves.h"
#include "support/view_test_support.h"
#include "stub_shapes_view_owner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

namespace
{

class PlaneOwner : public StubShapesViewOwner, public ISectionPlaneHost
{
public:
    ST_CInteractiveSectionPlane* SectionPlane() override { return &plane; }
    void DiscardSectionPolylines() override { ++discards; }
    ST_ISectionCurve* ActiveProfile() override { return nullptr; }

    ST_CInteractiveSectionPlane plane;
    int discards = 0;
};

double Dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

class SectionPlanePicker : public ::testing::Test
{
protected:
    static constexpr int kWidth = 240, kHeight = 180;
    static constexpr double kOrigin[3] = {1450.0, -2210.0, 905.0};

    void SetUp() override
    {
        win32::ResetInputState();
        RegisterCurveDrawMode();
        RegisterSectionPlanePicker();
        view = new cCPView(&owner, &owner);
        fixture.Open(view, kWidth, kHeight);
        const double* t = view->GetCamera()->GetViewTransform();
        for (int k = 0; k < 3; ++k)
        {
            right[k] = t[k];
            up[k] = t[4 + k];
            towards[k] = t[8 + k];
        }
        auto* object = new cMeshObject();
        cMesh* mesh = object->GetMesh();
        for (int j = 0; j <= 10; ++j)
            for (int i = 0; i <= 10; ++i)
            {
                float p[3];
                for (int k = 0; k < 3; ++k)
                    p[k] = float(kOrigin[k] + 4.0 * i * right[k] + 4.0 * j * up[k]);
                mesh->AddVertex(p);
            }
        for (int j = 0; j < 10; ++j)
            for (int i = 0; i < 10; ++i)
            {
                const std::uint32_t v = std::uint32_t(j * 11 + i);
                mesh->AddTriangle(v, v + 1, v + 12);
                mesh->AddTriangle(v, v + 12, v + 11);
            }
        mesh->Update();
        fixture.scene->AddObject(object);
        view->ZoomAll();
        // The plane starts across the middle of the sheet, a little in front.
        for (int k = 0; k < 3; ++k)
            anchor[k] = float(kOrigin[k] + 20.0 * right[k] + 20.0 * up[k] + 7.0 * towards[k]);
        ASSERT_TRUE(owner.plane.Begin({anchor[0], anchor[1], anchor[2]}, 30.0));
        ASSERT_TRUE(view->StartToolMode(kModeDrawCurveOnMesh, nullptr));
        ASSERT_TRUE(view->StartToolMode(kModeSectionPlanePicker, nullptr));
        picker = dynamic_cast<CUIM_InteractiveSectionPlane*>(view->GetActiveMode());
        ASSERT_NE(picker, nullptr);
    }
    void TearDown() override
    {
        fixture.Close();
        SetShapesViewModeMaker(kModeDrawCurveOnMesh, nullptr);
        SetShapesViewModeMaker(kModeSectionPlanePicker, nullptr);
        win32::ResetInputState();
    }
    void Click(POINT p)
    {
        testview::Press(view, WM_LBUTTONDOWN, p);
        testview::Press(view, WM_LBUTTONUP, p);
    }
    int Cursor() { return picker->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE); }
    // The anchor's depth on the screen as the view shows it now.
    float AnchorDepth()
    {
        float projected[3];
        view->GetRenderer()->ProjectPoint(projected, anchor, false);
        return projected[2];
    }
    // The model point at the pixel `click` and the screen depth `depth`.
    void WorldAt(POINT click, float depth, float world[3])
    {
        I3DSceneRenderer* renderer = view->GetRenderer();
        float onScreen[3] = {0.0f, 0.0f, depth};
        renderer->ScreenToWorld(click, &onScreen[0], &onScreen[1]);
        renderer->ViewToWorld(world, onScreen);
    }
    // The picked plane passes within `pixels` of each point.
    void ExpectPlaneThrough(std::initializer_list<const float*> points, int pixels)
    {
        const cPlane& plane = owner.plane.GetPlane();
        for (const float* p : points)
            EXPECT_NEAR(plane.normal[0] * p[0] + plane.normal[1] * p[1] + plane.normal[2] * p[2] + plane.d, 0.0,
                        PixelsToWorldLength(view, pixels));
    }
    // The plane contains the world direction of the screen step (dx, dy) and
    // the viewing direction, and passes through the anchor's depth.
    void ExpectPlaneAlong(int dx, int dy)
    {
        const cPlane& plane = owner.plane.GetPlane();
        double line[3];
        for (int k = 0; k < 3; ++k)
            line[k] = dx * right[k] - dy * up[k];
        EXPECT_NEAR(Dot(plane.normal, towards), 0.0, 1e-5);
        EXPECT_NEAR(Dot(plane.normal, line) / std::sqrt(Dot(line, line)), 0.0, 1e-5);
        EXPECT_NEAR(Dot(plane.normal, plane.normal), 1.0, 1e-5);
        const double offset[3] = {plane.origin[0] - anchor[0], plane.origin[1] - anchor[1],
                                  plane.origin[2] - anchor[2]};
        EXPECT_NEAR(Dot(offset, towards), 0.0, 1e-3) << "at the anchor's depth";
    }

    TempRegistry registry;
    testview::ViewFixture fixture{false};
    PlaneOwner owner;
    cCPView* view = nullptr;
    CUIM_InteractiveSectionPlane* picker = nullptr;
    double right[3], up[3], towards[3];
    float anchor[3];
};

TEST_F(SectionPlanePicker, TheLineAndTheViewingDirectionLieInThePlaneAndThePickerEnds)
{
    EXPECT_EQ(Cursor(), int(kCursorSectionLine));
    Click({60, 50});
    EXPECT_EQ(picker->GetClickCount(), 1);
    testview::Move(view, {170, 130});
    EXPECT_EQ(Cursor(), int(kCursorSectionLine));
    // The preview already moves the plane.
    ExpectPlaneAlong(110, 80);
    testview::Snapshot(view, "section_plane_picker_preview");
    Click({180, 120});
    ExpectPlaneAlong(120, 70);
    EXPECT_EQ(owner.discards, 1);
    EXPECT_EQ(owner.plane.GetSectionCurve(), nullptr);
    // The picker has ended (deleted only after its own handler returned) and
    // the drawing mode under it is active again.
    ASSERT_NE(view->GetActiveMode(), nullptr);
    EXPECT_EQ(view->GetActiveMode()->GetId(), kModeDrawCurveOnMesh);
}

TEST_F(SectionPlanePicker, InATurnedPannedViewThePlaneHoldsTheLineAsDrawn)
{
    testview::TurnPanAndZoom(view);
    const double* t = view->GetCamera()->GetViewTransform();
    for (int k = 0; k < 3; ++k)
    {
        right[k] = t[k];
        up[k] = t[4 + k];
        towards[k] = t[8 + k];
    }
    Click({60, 50});
    Click({170, 130});
    ExpectPlaneAlong(110, 80);
    // The plane passes through the points under both clicks.
    float first[3], second[3];
    WorldAt({60, 50}, AnchorDepth(), first);
    WorldAt({170, 130}, AnchorDepth(), second);
    ExpectPlaneThrough({first, second}, 1);
}

// A zoom step between the two clicks: the line still begins where the first
// click was on the model, not at the pixel that now shows another place.
TEST_F(SectionPlanePicker, AZoomBetweenTheClicksKeepsTheFirstPointWhereItWasClicked)
{
    testview::TurnPanAndZoom(view);
    float clicked[3];
    WorldAt({60, 50}, AnchorDepth(), clicked);
    Click({60, 50});
    testview::Move(view, {150, 120});
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, kCmdZoomIn, 0);
    mfc::PumpUntilIdle();
    view->Redraw(kFullRedraw);
    float second[3];
    WorldAt({170, 130}, AnchorDepth(), second);
    Click({170, 130});
    ExpectPlaneThrough({clicked, second}, 2);
}

// The view resized between the two clicks (a maximise, say): the model point
// clicked first now shows at another pixel, and the line still begins there.
TEST_F(SectionPlanePicker, AResizeBetweenTheClicksKeepsTheFirstPointWhereItWasClicked)
{
    testview::TurnPanAndZoom(view);
    const float depth = AnchorDepth();
    float clicked[3];
    WorldAt({60, 50}, depth, clicked);
    Click({60, 50});
    testview::Move(view, {65, 120});
    ::SetWindowPos(view->GetSafeHwnd(), nullptr, 0, 0, kWidth + 80, kHeight, SWP_NOMOVE | SWP_NOZORDER);
    mfc::PumpUntilIdle();
    float second[3];
    WorldAt({70, 150}, depth, second);
    Click({70, 150});
    ExpectPlaneThrough({clicked, second}, 2);
}

// The view turned between the two clicks (an arrow key): the line begins at
// the model point clicked first, at the depth of the plane's anchor.
TEST_F(SectionPlanePicker, ATurnBetweenTheClicksKeepsTheFirstPointWhereItWasClicked)
{
    testview::TurnPanAndZoom(view);
    float clicked[3];
    WorldAt({60, 50}, AnchorDepth(), clicked);
    Click({60, 50});
    testview::TurnView(view, 25.0, 15.0);
    float second[3];
    WorldAt({170, 130}, AnchorDepth(), second);
    Click({170, 130});
    ExpectPlaneThrough({clicked, second}, 2);
}

TEST_F(SectionPlanePicker, ANearlyHorizontalLineSnapsOntoTheScreenHorizontal)
{
    Click({40, 90});
    testview::Move(view, {200, 92}); // about 0.7 degrees off
    EXPECT_EQ(picker->GetSecondPoint().y, 90);
    EXPECT_EQ(Cursor(), int(kCursorSectionHorizontal));
    testview::Move(view, {41, 20});
    EXPECT_EQ(picker->GetSecondPoint().x, 40);
    EXPECT_EQ(Cursor(), int(kCursorSectionVertical));
    testview::Move(view, {200, 96}); // about 2.1 degrees off: no snap
    EXPECT_EQ(picker->GetSecondPoint().y, 96);
    Click({200, 92});
    ExpectPlaneAlong(1, 0);
}

TEST_F(SectionPlanePicker, AClickOnTheFirstPixelAndTheRightButtonStepBackAndEscapeStays)
{
    const cPlane before = owner.plane.GetPlane();
    picker->OnEscape(view);
    EXPECT_EQ(view->GetActiveMode(), picker);
    picker->OnRButtonUp({10, 10}, 0, view);
    EXPECT_EQ(picker->GetClickCount(), 0);
    Click({80, 60});
    testview::Move(view, {80, 60});
    // A second press on the first pixel is a double click here; both are
    // ignored the same way.
    picker->OnLButtonDown({80, 60}, 0, view);
    EXPECT_EQ(picker->GetClickCount(), 1);
    EXPECT_EQ(owner.discards, 0);
    picker->OnRButtonUp({80, 60}, 0, view);
    EXPECT_EQ(picker->GetClickCount(), 0);
    picker->OnRButtonUp({80, 60}, 0, view);
    EXPECT_EQ(picker->GetClickCount(), 0);
    EXPECT_EQ(owner.plane.GetPlane().normal[2], before.normal[2]);
    EXPECT_EQ(view->GetActiveMode(), picker);
    // A click on the same row, another pixel, places the plane.
    picker->OnLButtonDown({80, 60}, 0, view);
    picker->OnLButtonDown({140, 60}, 0, view);
    EXPECT_EQ(owner.discards, 1);
    ExpectPlaneAlong(1, 0);
}

} // namespace
