// The guiding-curve picker on a real shapes view: the curve under the cursor
// is found through the id image, a click places the section plane at the
// curve's start across its start tangent and hands it the curve, and the
// picker ends (after its own handler) on a pick or on Escape.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "modes/curve_draw_mode.h"
#include "modes/guiding_curve_picker.h"
#include "modes/profile_sketch_selection.h"
#include "modes/section_plane_picker.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "overlay/annotations.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/input.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "shapes/interactive_section_plane.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"
#include "support/view_test_support.h"
#include "stub_shapes_view_owner.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

class ProfileOwner : public StubShapesViewOwner, public ISectionPlaneHost
{
public:
    ST_CInteractiveSectionPlane* SectionPlane() override { return &plane; }
    void DiscardSectionPolylines() override { ++discards; }
    ST_ISectionCurve* ActiveProfile() override { return profile; }

    ST_CInteractiveSectionPlane plane;
    ST_ISectionCurve* profile = nullptr;
    int discards = 0;
};

class GuidingCurvePicker : public ::testing::Test
{
protected:
    static constexpr int kWidth = 240, kHeight = 180;
    static constexpr double kOrigin[3] = {-640.0, 1320.0, -275.0};

    void SetUp() override
    {
        win32::ResetInputState();
        RegisterCurveDrawMode();
        RegisterGuidingCurvePicker();
        view = new cCPView(&owner, &owner);
        fixture.Open(view, kWidth, kHeight);
        const double* t = view->GetCamera()->GetViewTransform();
        for (int r = 0; r < 3; ++r)
        {
            frame[r * 4 + 0] = t[r];
            frame[r * 4 + 1] = t[4 + r];
            frame[r * 4 + 2] = t[8 + r];
            frame[r * 4 + 3] = kOrigin[r];
        }
        std::copy(frame, frame + 12, sketch.frame);
        // A sheet behind the profile gives the view its extent.
        auto* object = new cMeshObject();
        cMesh* mesh = object->GetMesh();
        for (int j = 0; j <= 1; ++j)
            for (int i = 0; i <= 1; ++i)
            {
                float p[3];
                World(-10.0 + 60.0 * i, -10.0 + 50.0 * j, -5.0, p);
                mesh->AddVertex(p);
            }
        mesh->AddTriangle(0, 1, 3);
        mesh->AddTriangle(0, 3, 2);
        mesh->Update();
        fixture.scene->AddObject(object);
        first = AddSpline({{0, 5}, {20, 15}, {40, 5}});
        second = AddSpline({{5, 30}, {20, 20}, {35, 32}});
        owner.profile = &sketch;
        first->selected = 1;
        view->ZoomAll();
        const float anchor[3] = {float(kOrigin[0]), float(kOrigin[1]), float(kOrigin[2])};
        ASSERT_TRUE(owner.plane.Begin({anchor[0], anchor[1], anchor[2]}, 20.0));
        ASSERT_TRUE(view->StartToolMode(kModeDrawCurveOnMesh, nullptr));
        ASSERT_TRUE(view->StartToolMode(kModeGuidingCurvePicker, nullptr));
        picker = dynamic_cast<CUIM_SelectGuidingCurve*>(view->GetActiveMode());
        ASSERT_NE(picker, nullptr);
        ASSERT_TRUE(view->GetLabelAnnotation(0)->IsVisible()) << "after start";
        view->Redraw(kFullRedraw); // draws the id image
    }
    void TearDown() override
    {
        fixture.Close();
        SetShapesViewModeMaker(kModeDrawCurveOnMesh, nullptr);
        SetShapesViewModeMaker(kModeGuidingCurvePicker, nullptr);
        win32::ResetInputState();
    }
    void World(double x, double y, double z, float out[3]) const
    {
        for (int r = 0; r < 3; ++r)
            out[r] = float(frame[r * 4] * x + frame[r * 4 + 1] * y + frame[r * 4 + 2] * z + frame[r * 4 + 3]);
    }
    ST_ISectionCurve* AddSpline(std::initializer_list<std::pair<double, double>> xy)
    {
        auto* curve = new ST_TSplineCurve<Dezaz_Wire>;
        std::copy(frame, frame + 12, curve->frame);
        tPolyline<cVertex> points;
        for (const auto& [x, y] : xy)
        {
            const double p[3] = {x, y, 0.0};
            points.AddPoint3d(p);
        }
        EXPECT_TRUE(RebuildSketchCurve(*curve, points));
        sketch.AddCurve(curve);
        return curve;
    }
    void Click(POINT p)
    {
        testview::Press(view, WM_LBUTTONDOWN, p);
        testview::Press(view, WM_LBUTTONUP, p);
    }
    // The screen pixel of the curve's point at a fraction.
    POINT OnCurve(ST_ISectionCurve* curve, double fraction)
    {
        t3DPoint<double> p, tangent, third;
        EXPECT_TRUE(curve->EvaluateInWorld(fraction, &p, &tangent, &third));
        const float w[3] = {float(p.x), float(p.y), float(p.z)};
        return testview::ScreenOf(view, w);
    }

    TempRegistry registry;
    testview::ViewFixture fixture{false};
    ProfileOwner owner;
    ST_TSketch<Dezaz_Wire> sketch;
    double frame[12];
    cCPView* view = nullptr;
    CUIM_SelectGuidingCurve* picker = nullptr;
    ST_ISectionCurve* first = nullptr;
    ST_ISectionCurve* second = nullptr;
};

TEST_F(GuidingCurvePicker, AClickOnTheHoveredCurvePlacesThePlaneAcrossItsStart)
{
    EXPECT_EQ(first->selected, 0) << "the picker starts with no curve selected";
    auto* label = view->GetLabelAnnotation(0);
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->IsVisible());
    ASSERT_TRUE(picker->HasPickImage());
    testview::Move(view, {3, 3});
    EXPECT_EQ(picker->GetHoveredCurve(), nullptr);
    const POINT over = OnCurve(second, 0.5);
    testview::Move(view, over);
    ASSERT_EQ(picker->GetHoveredCurve(), second);
    testview::Snapshot(view, "guiding_curve_hovered");
    Click(over);

    t3DPoint<double> start, tangent, third;
    ASSERT_TRUE(second->EvaluateInWorld(0.0, &start, &tangent, &third));
    const cPlane& plane = owner.plane.GetPlane();
    const double length = std::sqrt(tangent.x * tangent.x + tangent.y * tangent.y + tangent.z * tangent.z);
    const double n = std::sqrt(plane.normal[0] * plane.normal[0] + plane.normal[1] * plane.normal[1] +
                               plane.normal[2] * plane.normal[2]);
    EXPECT_NEAR((plane.normal[0] * tangent.x + plane.normal[1] * tangent.y + plane.normal[2] * tangent.z) /
                    (n * length),
                1.0, 1e-5);
    // The start point lies on the plane.
    EXPECT_NEAR(plane.normal[0] * start.x + plane.normal[1] * start.y + plane.normal[2] * start.z + plane.d, 0.0,
                1e-3 * n);
    ASSERT_NE(owner.plane.GetSectionCurve(), nullptr);
    EXPECT_NE(owner.plane.GetSectionCurve(), second) << "the plane keeps its own copy";
    EXPECT_EQ(owner.discards, 1);
    ASSERT_NE(view->GetActiveMode(), nullptr);
    EXPECT_EQ(view->GetActiveMode()->GetId(), kModeDrawCurveOnMesh);
    EXPECT_FALSE(label->IsVisible()) << "the prompt goes with the picker";
}

TEST_F(GuidingCurvePicker, InATurnedPannedViewTheCurveUnderTheCursorIsPicked)
{
    testview::TurnPanAndZoom(view);
    for (ST_ISectionCurve* curve : {first, second})
    {
        testview::Move(view, OnCurve(curve, 0.3));
        EXPECT_EQ(picker->GetHoveredCurve(), curve);
    }
    Click(OnCurve(second, 0.3));
    EXPECT_NE(owner.plane.GetSectionCurve(), nullptr);
    EXPECT_EQ(owner.discards, 1);
}

// The cursor rests on a curve while a zoom step moves the curves away from
// it: the click there picked the curve hovered before the zoom. It is a
// stroke beside the curves, as a click beside them after a move.
TEST_F(GuidingCurvePicker, AClickAfterTheViewZoomedUnderARestingCursorPicksNoCurveThatMovedAway)
{
    testview::TurnPanAndZoom(view);
    const POINT over = OnCurve(second, 0.3);
    testview::Move(view, over);
    ASSERT_EQ(picker->GetHoveredCurve(), second);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, kCmdZoomIn, 0);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, kCmdZoomIn, 0);
    mfc::PumpUntilIdle();
    Click(over);
    EXPECT_EQ(owner.plane.GetSectionCurve(), nullptr);
    EXPECT_EQ(owner.discards, 0);
    EXPECT_EQ(view->GetActiveMode(), picker);
}

TEST_F(GuidingCurvePicker, AClickBesideTheCurvesIsAStrokeAndEscapeEndsThePicker)
{
    testview::Move(view, {3, 3});
    testview::Press(view, WM_LBUTTONDOWN, {3, 3});
    EXPECT_EQ(owner.discards, 0);
    EXPECT_EQ(view->GetActiveMode(), picker);
    testview::Press(view, WM_LBUTTONUP, {3, 3});
    UINT menu = 0;
    CWnd* target = nullptr;
    EXPECT_TRUE(picker->GetContextMenu(&menu, &target));
    EXPECT_EQ(menu, kCurveNetworkMenu);
    EXPECT_EQ(picker->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorGuidingCurve));
    ::SendMessageW(view->GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    mfc::PumpUntilIdle();
    ASSERT_NE(view->GetActiveMode(), nullptr);
    EXPECT_EQ(view->GetActiveMode()->GetId(), kModeDrawCurveOnMesh);
    EXPECT_EQ(owner.plane.GetSectionCurve(), nullptr);
}

TEST_F(GuidingCurvePicker, OfTwoOverlappingCurvesTheOneDrawnLastIsHovered)
{
    ST_ISectionCurve* twin = AddSpline({{0, 5}, {20, 15}, {40, 5}});
    view->Redraw(kFullRedraw);
    testview::Move(view, OnCurve(first, 0.5));
    EXPECT_EQ(picker->GetHoveredCurve(), twin);
}

TEST_F(GuidingCurvePicker, WithoutAProfileNothingIsHoveredOrPicked)
{
    owner.profile = nullptr;
    view->Redraw(kFullRedraw);
    const POINT over = OnCurve(first, 0.5);
    testview::Move(view, over);
    EXPECT_EQ(picker->GetHoveredCurve(), nullptr);
    EXPECT_FALSE(picker->HasPickImage());
    Click(over);
    EXPECT_EQ(owner.discards, 0);
    EXPECT_EQ(view->GetActiveMode(), picker);
}

} // namespace
