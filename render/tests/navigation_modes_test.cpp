// The navigation modes driven by injected mouse and key input on a real
// view: trackball angles, the roll, the picked pivot, pan and zoom keeping
// the point under the cursor, the zoom rectangle (framing and its overlay),
// the rotation lock, the cursor wrap, degenerate drags, and the mode every
// profile's presses select. With VTL_SNAPSHOT_DIR set, a PNG after each step.
#include "core/frame_math.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "render/navigation_modes.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>

using namespace testview;

namespace
{

constexpr double kPi = 3.14159265358979323846;

// The angle of the rotation that takes transform a's rotation to b's.
double TurnAngle(const double a[12], const double b[12])
{
    // trace(B A^T) = 1 + 2 cos(angle)
    double trace = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            trace += b[i * 4 + k] * a[i * 4 + k];
    return std::acos(std::clamp((trace - 1.0) / 2.0, -1.0, 1.0));
}

bool IsFinite(const double m[12])
{
    for (int i = 0; i < 12; ++i)
        if (!std::isfinite(m[i]))
            return false;
    return true;
}

class Navigation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ResetInputState();
        view = f.Create(200, 160);
        view->SetStandardView(kTopView);
        std::memcpy(start, Transform(), sizeof start);
    }
    void TearDown() override { win32::ResetInputState(); }
    const double* Transform() { return view->GetCamera()->GetViewTransform(); }
    // Press, one move to the end point, release.
    void Drag(UINT down, POINT from, POINT to)
    {
        win32::ResetInputState(); // no double click with the press before
        Press(view, down, from);
        Move(view, to);
        Press(view, down + 1, to);
    }

    TempRegistry registry;
    ViewFixture f;
    C3DView* view = nullptr;
    double start[12];
};

TEST_F(Navigation, ADragFromTheCentreTurnsTheVirtualSphereByItsArc)
{
    // Default profile: the middle button of the rectangle-zoom mode rotates.
    ASSERT_EQ(view->GetActiveMode()->GetId(), kZoomRectModeId);
    const int n = 30;
    const double r = 160.0; // the client's smaller side
    Drag(WM_MBUTTONDOWN, POINT{100, 80}, POINT{100 + n, 80});
    EXPECT_NEAR(TurnAngle(start, Transform()), 2.0 * std::acos(std::sqrt(r * r - n * n) / r), 1e-6);
    // About the screen's vertical axis: the y axis of the view is unchanged.
    EXPECT_NEAR(Transform()[5], 1.0, 1e-9);
    // Moving right turns the scene's +x towards the viewer's -z.
    EXPECT_LT(Transform()[8], 0.0);
    Snapshot(view, "navigation_trackball");

    // Half a degree per pixel without the virtual sphere.
    std::memcpy(start, Transform(), sizeof start);
    view->SetModeById(kFreeNavigationModeId, 0, 0);
    static_cast<CUIM_RotateTranslate*>(view->GetActiveMode())->sphereTrackball = 0;
    Drag(WM_MBUTTONDOWN, POINT{100, 80}, POINT{100, 80 + n});
    EXPECT_NEAR(TurnAngle(start, Transform()), n * 0.5 * kPi / 180.0, 1e-9);
    Snapshot(view, "navigation_per_pixel");
}

TEST_F(Navigation, AClickOrATinyDragTurnsNothing)
{
    Press(view, WM_MBUTTONDOWN, POINT{100, 80});
    Move(view, POINT{103, 82}); // within 4 pixels
    auto* mode = static_cast<CUIM_RotateTranslate*>(view->GetActiveMode());
    EXPECT_FALSE(mode->IsDragging());
    EXPECT_EQ(mode->OnMButtonUp(POINT{103, 82}, 0, view), 0);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Transform()[i], start[i]);
    ::ReleaseCapture();
}

TEST_F(Navigation, DegenerateTrackballDragsNeverGiveNaN)
{
    // Both points outside the sphere on one ray from the centre: no axis.
    Press(view, WM_MBUTTONDOWN, POINT{5, 80});
    Move(view, POINT{1, 80});
    Press(view, WM_MBUTTONUP, POINT{1, 80});
    EXPECT_TRUE(IsFinite(Transform()));
    // A turntable drag that stays on the centre line and a zero-length move.
    view->turntableRotation = 1;
    Drag(WM_MBUTTONDOWN, POINT{100, 80}, POINT{100, 80});
    Drag(WM_MBUTTONDOWN, POINT{100, 80}, POINT{160, 140});
    EXPECT_TRUE(IsFinite(Transform()));
    EXPECT_GT(TurnAngle(start, Transform()), 0.1);
    Snapshot(view, "navigation_turntable");
}

TEST_F(Navigation, APressNearTheBorderRollsAboutTheViewAxis)
{
    // 100 px from the centre lies outside max(200, 160) / 2 - 20 = 80.
    Drag(WM_MBUTTONDOWN, POINT{195, 80}, POINT{195, 150});
    EXPECT_NEAR(Transform()[10], 1.0, 1e-9); // the view axis stays
    const double a[2] = {95, 0}, b[2] = {95, 70};
    const double expected = std::acos((a[0] * b[0] + a[1] * b[1]) / (std::hypot(a[0], a[1]) * std::hypot(b[0], b[1])));
    EXPECT_NEAR(TurnAngle(start, Transform()), expected, 1e-6);
    // Clockwise on the screen turns the scene clockwise: +x goes to -y.
    EXPECT_LT(Transform()[4], 0.0);
    Snapshot(view, "navigation_roll");
}

TEST_F(Navigation, CtrlMiddleRotatesAboutThePickedSurfacePoint)
{
    // The box's top face (z = 0.4) lies under the whole box outline.
    const float onTop[3] = {0.5f, 0.3f, 0.4f};
    const POINT at = ScreenOf(view, onTop);
    win32::SetKeyDown(VK_CONTROL, true);
    Press(view, WM_MBUTTONDOWN, at);
    win32::SetKeyDown(VK_CONTROL, false);
    ASSERT_NE(view->pivot[0], FLT_MAX);
    EXPECT_NEAR(view->pivot[2], 0.4f, 1e-4);
    const float pivot[3] = {view->pivot[0], view->pivot[1], view->pivot[2]};
    const POINT pivotAt = ScreenOf(view, pivot);
    for (int step = 1; step <= 4; ++step)
    {
        Move(view, POINT{at.x + 12 * step, at.y + 7 * step});
        const POINT now = ScreenOf(view, pivot);
        EXPECT_NEAR(now.x, pivotAt.x, 1) << step;
        EXPECT_NEAR(now.y, pivotAt.y, 1) << step;
    }
    EXPECT_GT(TurnAngle(start, Transform()), 0.1);
    Snapshot(view, "navigation_pivot");
    Press(view, WM_MBUTTONUP, POINT{at.x + 48, at.y + 28});
    EXPECT_EQ(view->pivot[0], FLT_MAX);
}

TEST_F(Navigation, APanKeepsThePointUnderTheCursor)
{
    const float corner[3] = {1.0f, 0.6f, 0.4f};
    const POINT at = ScreenOf(view, corner);
    Press(view, WM_RBUTTONDOWN, at); // the default mode's right button pans
    for (int step = 1; step <= 3; ++step)
    {
        const POINT to{at.x - 15 * step, at.y + 10 * step};
        Move(view, to);
        const POINT now = ScreenOf(view, corner);
        EXPECT_NEAR(now.x, to.x, 1);
        EXPECT_NEAR(now.y, to.y, 1);
    }
    Press(view, WM_RBUTTONUP, POINT{at.x - 45, at.y + 30});
    EXPECT_EQ(view->GetActiveMode()->GetId(), kZoomRectModeId);
    Snapshot(view, "navigation_pan");
}

TEST_F(Navigation, AZoomDragKeepsThePressPointAndShiftLeftSelectsIt)
{
    const float corner[3] = {-1.0f, -0.6f, 0.4f};
    const POINT at = ScreenOf(view, corner);
    float min0[3], max0[3];
    view->GetCamera()->GetSceneBox(min0, max0);
    win32::SetKeyDown(VK_SHIFT, true);
    Press(view, WM_LBUTTONDOWN, at); // Default: Shift + left = free navigation, whose left zooms
    win32::SetKeyDown(VK_SHIFT, false);
    ASSERT_EQ(view->GetActiveMode()->GetId(), kFreeNavigationModeId);
    Move(view, POINT{at.x, at.y - 30});
    float min1[3], max1[3];
    view->GetCamera()->GetSceneBox(min1, max1);
    EXPECT_GT(max1[1] - min1[1], max0[1] - min0[1]); // upwards zooms out
    POINT now = ScreenOf(view, corner);
    EXPECT_NEAR(now.x, at.x, 1);
    EXPECT_NEAR(now.y, at.y, 1);
    Press(view, WM_LBUTTONUP, POINT{at.x, at.y - 30});
    EXPECT_EQ(view->GetActiveMode()->GetId(), kZoomRectModeId); // the temporary mode ended
    Snapshot(view, "navigation_zoom");
}

TEST_F(Navigation, AZoomRectangleIsDrawnAndThenFramed)
{
    const wgl::PixelImage before = Frame(view);
    Press(view, WM_LBUTTONDOWN, POINT{110, 60});
    Move(view, POINT{150, 80});
    const wgl::PixelImage during = Frame(view);
    Snapshot(view, "navigation_zoom_rect_drag");
    // Inside the rectangle the translucent white brightens what was there.
    auto luminance = [](std::uint32_t c) { return ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255); };
    EXPECT_GT(luminance(during.At(130, 70)), luminance(before.At(130, 70)) + 60);
    EXPECT_EQ(during.At(30, 140), before.At(30, 140)); // outside nothing changed
    // The centre cross.
    EXPECT_EQ(during.At(130, 70) & 0xFFFFFF, 0xFFFFFFu);

    // The world point at the rectangle's centre comes to the client's centre
    // and the rectangle's width fills the client width.
    float cx = 0, cy = 0, lx = 0, ly = 0, rx = 0, ry = 0;
    view->GetRenderer()->ScreenToWorld(POINT{130, 70}, &cx, &cy);
    view->GetRenderer()->ScreenToWorld(POINT{110, 70}, &lx, &ly);
    view->GetRenderer()->ScreenToWorld(POINT{150, 70}, &rx, &ry);
    const double* t = Transform();
    const float centreWorld[3] = {float(cx - t[3]), float(cy - t[7]), 0.0f};
    const float leftWorld[3] = {float(lx - t[3]), float(ly - t[7]), 0.0f};
    Press(view, WM_LBUTTONUP, POINT{150, 80});
    const POINT centre = ScreenOf(view, centreWorld);
    EXPECT_NEAR(centre.x, 100, 1);
    EXPECT_NEAR(centre.y, 80, 1);
    const POINT left = ScreenOf(view, leftWorld);
    EXPECT_NEAR(left.x, 0, 2);
    Snapshot(view, "navigation_zoom_rect_done");

    // A rectangle 4 pixels wide does nothing.
    float min0[3], max0[3], min1[3], max1[3];
    view->GetCamera()->GetSceneBox(min0, max0);
    Press(view, WM_LBUTTONDOWN, POINT{20, 20});
    Move(view, POINT{24, 120});
    Press(view, WM_LBUTTONUP, POINT{24, 120});
    view->GetCamera()->GetSceneBox(min1, max1);
    EXPECT_EQ(max1[0] - min1[0], max0[0] - min0[0]);
}

TEST_F(Navigation, ADragWhoseButtonCameUpElsewhereEndsAtTheNextMove)
{
    const POINT at{100, 80};
    Press(view, WM_MBUTTONDOWN, at); // the default mode's middle button rotates
    Move(view, POINT{at.x + 30, at.y + 10});
    auto* mode = dynamic_cast<CUIM_RotateTranslate*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr);
    ASSERT_NE(mode->GetOperation(), kNoOperation);
    ASSERT_TRUE(view->GetCamera()->IsInteracting());
    double turned[12];
    std::memcpy(turned, Transform(), sizeof turned);

    // Another window takes the capture and sees the release.
    ::ReleaseCapture();
    win32::SetKeyDown(VK_MBUTTON, false);
    Move(view, POINT{at.x + 60, at.y + 40});
    Move(view, POINT{at.x + 90, at.y + 70});
    EXPECT_EQ(mode->GetOperation(), kNoOperation);
    EXPECT_FALSE(view->GetCamera()->IsInteracting()) << "the scene keeps its interaction look";
    EXPECT_NEAR(TurnAngle(turned, Transform()), 0.0, 1e-9) << "the bare pointer still turns the view";
}

TEST_F(Navigation, WithRotationLockedARotatePressPans)
{
    view->rotationLocked = 1;
    view->StartRotateMode();
    EXPECT_EQ(view->GetActiveMode()->GetId(), kTranslateModeId);
    view->SetModeById(kZoomRectModeId, 0, 0);
    Drag(WM_MBUTTONDOWN, POINT{100, 80}, POINT{140, 100});
    for (int i = 0; i < 12; ++i)
    {
        if (i % 4 != 3)
        {
            EXPECT_EQ(Transform()[i], start[i]);
        }
    }
    EXPECT_NE(Transform()[3], start[3]);
}

TEST_F(Navigation, ADragPastTheMonitorEdgeWrapsThePointer)
{
    win32::SetMonitors({win32::Monitor{RECT{0, 0, 200, 200}, RECT{0, 0, 200, 200}}});
    Press(view, WM_RBUTTONDOWN, POINT{100, 80});
    Move(view, POINT{150, 80});
    POINT p{};
    Move(view, POINT{198, 80}); // 2 px from the right edge: reappears 4 px inside the left
    ::GetCursorPos(&p);
    EXPECT_EQ(p.x, 4);
    EXPECT_EQ(view->pressPoint.x, 4);
    EXPECT_EQ(view->lastPoint.x, 4);
    Press(view, WM_RBUTTONUP, POINT{4, 80});
    win32::SetMonitors({win32::Monitor{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}}});
}

struct ProfilePress
{
    const wchar_t* profile;
    UINT button;
    bool shift, control, alt;
    std::uint32_t expected; // the active mode while the button is down
};

TEST_F(Navigation, EveryProfileMapsItsPressesToTheRightMode)
{
    const std::uint32_t R = kRotateModeId, T = kTranslateModeId, Z = kZoomModeId, ZR = kZoomRectModeId,
                        F = kFreeNavigationModeId;
    const ProfilePress presses[] = {
        {L"Default", WM_LBUTTONDOWN, true, false, false, F},
        {L"Default", WM_MBUTTONDOWN, false, false, false, ZR},
        {L"Default", WM_RBUTTONDOWN, false, false, false, ZR},
        {L"Polyworks", WM_LBUTTONDOWN, false, false, false, R},
        {L"Polyworks", WM_LBUTTONDOWN, false, false, true, R}, // Alt: no switch, rotate stays
        {L"Polyworks", WM_MBUTTONDOWN, false, false, false, T},
        {L"Polyworks", WM_RBUTTONDOWN, false, false, false, Z},
        {L"SolidWorks", WM_MBUTTONDOWN, false, false, false, ZR},
        {L"SolidWorks", WM_MBUTTONDOWN, true, true, false, T},
        {L"SolidWorks", WM_MBUTTONDOWN, true, false, false, Z},
        {L"Geomagic", WM_MBUTTONDOWN, false, false, false, R},
        {L"Geomagic", WM_MBUTTONDOWN, false, false, true, T},
        {L"Geomagic", WM_RBUTTONDOWN, true, false, false, Z},
        {L"Geomagic", WM_RBUTTONDOWN, false, false, false, ZR},
        {L"Google SketchUp", WM_MBUTTONDOWN, false, false, true, T},
        {L"Gom Inspect", WM_LBUTTONDOWN, true, true, false, R},
        {L"Gom Inspect", WM_MBUTTONDOWN, false, false, false, T},
        {L"Gom Inspect", WM_MBUTTONDOWN, true, false, false, Z},
        {L"Dezaz", WM_RBUTTONDOWN, false, false, false, R},
        {L"Dezaz", WM_RBUTTONDOWN, true, true, false, T},
        {L"Dezaz", WM_RBUTTONDOWN, false, true, false, Z},
        {L"Dezaz", WM_LBUTTONDOWN, false, false, false, ZR},
    };
    for (const ProfilePress& p : presses)
    {
        view->SelectProfile(p.profile);
        ASSERT_EQ(view->GetActiveProfile()->GetName(), p.profile);
        const std::uint32_t defaultMode = view->GetActiveMode()->GetId();
        win32::ResetInputState();
        win32::SetKeyDown(VK_SHIFT, p.shift);
        win32::SetKeyDown(VK_CONTROL, p.control);
        win32::SetKeyDown(VK_MENU, p.alt);
        Press(view, p.button, POINT{100, 80});
        EXPECT_EQ(view->GetActiveMode()->GetId(), p.expected) << p.profile << " " << p.button;
        win32::SetKeyDown(VK_SHIFT, false);
        win32::SetKeyDown(VK_CONTROL, false);
        win32::SetKeyDown(VK_MENU, false);
        Press(view, p.button + 1, POINT{100, 80});
        // The release ends a profile's temporary mode.
        EXPECT_EQ(view->GetActiveMode()->GetId(), defaultMode) << p.profile << " " << p.button;
    }
}

} // namespace
