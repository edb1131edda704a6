// The 3D view on a real GL renderer: settings through the file registry
// (round trip and hostile values), the wheel zoom (amounts, the point under
// the cursor, the middle button, the animation and its interruptions, the
// view destroyed meanwhile), locked redraws and the standard views.
#include "core/frame_math.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/clock.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

using namespace testview;

namespace
{

double BoxHeight(C3DView* view)
{
    float min[3], max[3];
    view->GetCamera()->GetSceneBox(min, max);
    return double(max[1]) - min[1];
}

void WriteText(cRegistryStore& store, const wchar_t* section, const wchar_t* name, const wchar_t* text)
{
    store.WriteValue(section, name, REG_SZ, text, DWORD((std::wcslen(text) + 1) * 2));
}

std::wstring ReadText(cRegistryStore& store, const wchar_t* section, const wchar_t* name)
{
    wchar_t text[256] = {};
    DWORD type = 0, length = sizeof text - sizeof(wchar_t);
    if (!store.ReadValue(section, name, &type, text, &length) || type != REG_SZ)
        return L"<none>";
    return text;
}

class View3D : public ::testing::Test
{
protected:
    void SetUp() override { win32::ResetInputState(); }
    TempRegistry registry;
};

TEST_F(View3D, SettingsRoundTripThroughTheRegistry)
{
    double turned[12];
    {
        ViewFixture f;
        C3DView* view = f.Create();
        // Missing "%d" settings are written back with their defaults.
        EXPECT_EQ(ReadText(f.store, kMouseNavigationSettings, L"ReverseWheelZooming"), L"0");
        EXPECT_EQ(ReadText(f.store, kMouseNavigationSettings, L"TurntableRotation"), L"0");
        EXPECT_EQ(ReadText(f.store, kDisplaySettings, L"AnimateZooming"), L"0");
        EXPECT_EQ(view->GetActiveProfile()->GetName(), L"Default");
        view->SetStandardView(6);
        view->StoreUserDefinedView();
        std::memcpy(turned, view->GetCamera()->GetUserDefinedView(), sizeof turned);
        WriteText(f.store, kMouseNavigationSettings, L"ActiveProfile", L"Dezaz");
        WriteText(f.store, kMouseNavigationSettings, L"ReverseWheelZooming", L"1");
        WriteText(f.store, kMouseNavigationSettings, L"TurntableRotation", L"7");
        WriteText(f.store, kDisplaySettings, L"AnimateZooming", L"2");
        // The scene's colours are written when the view goes.
        ASSERT_FALSE(f.scene->GetColourSettings().Entries().empty());
        stColourEntry& background = f.scene->GetColourSettings().Entries().front();
        background.currentValue = 0x00123456;
        f.Close();
        EXPECT_EQ(ReadText(f.store, L"Preferences\\Display\\Colours", background.key.c_str()),
                  std::to_wstring(0x00123456));
    }
    ViewFixture f;
    C3DView* view = f.Create();
    EXPECT_EQ(view->GetActiveProfile()->GetName(), L"Dezaz");
    EXPECT_EQ(view->GetActiveMode()->GetId(), kZoomRectModeId);
    EXPECT_TRUE(view->reverseWheelZooming);
    EXPECT_TRUE(view->turntableRotation);
    EXPECT_FALSE(view->IsAnimatingZoom()); // only exactly 1 animates
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(view->GetCamera()->GetUserDefinedView()[i], turned[i]);
    // Standard view 14 shows the stored view.
    view->SendMessage(WM_COMMAND, kCmdUserDefinedView);
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(view->GetCamera()->GetViewTransform()[i], i % 4 == 3 ? 0.0 : turned[i], 1e-12);
    // The mapped top view turns the top view a quarter about the view axis.
    view->SetStandardView(kTopView);
    view->RotateMappedTopView();
    const double* mapped = view->GetCamera()->GetMappedTopView();
    EXPECT_NEAR(std::fabs(mapped[1]), 1.0, 1e-6);
    view->ResetMappedTopView();
    EXPECT_EQ(view->GetCamera()->GetMappedTopView()[0], 1.0);
}

TEST_F(View3D, AHostileRegistryIsIgnoredAndTheDefaultsKept)
{
    ViewFixture f;
    const std::uint32_t junk = 0xFFFFFFFF;
    f.store.WriteValue(kMouseNavigationSettings, L"ReverseWheelZooming", REG_BINARY, &junk, sizeof junk);
    WriteText(f.store, kMouseNavigationSettings, L"TurntableRotation", L"yes please");
    // A profile name stored without its terminator, and one that names no profile.
    const wchar_t unterminated[] = {L'D', L'e', L'z', L'a', L'z', L'X'};
    f.store.WriteValue(kMouseNavigationSettings, L"ActiveProfile", REG_SZ, unterminated, 10);
    double nan[12];
    MakeIdentity3x4(nan);
    nan[5] = std::nan("");
    f.store.WriteValue(kDisplaySettings, L"UserDefinedView", REG_BINARY, nan, sizeof nan);
    double sheared[12];
    MakeIdentity3x4(sheared);
    sheared[1] = 0.5;
    f.store.WriteValue(kDisplaySettings, L"MappedTopView", REG_BINARY, sheared, sizeof sheared);

    C3DView* view = f.Create();
    // "Dezaz" is the first five characters of the ten bytes read: a profile.
    EXPECT_EQ(view->GetActiveProfile()->GetName(), L"Dezaz");
    EXPECT_FALSE(view->reverseWheelZooming);
    EXPECT_FALSE(view->turntableRotation);
    EXPECT_EQ(ReadText(f.store, kMouseNavigationSettings, L"ReverseWheelZooming"), L"0");
    EXPECT_EQ(ReadText(f.store, kMouseNavigationSettings, L"TurntableRotation"), L"0");
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(std::isfinite(view->GetCamera()->GetUserDefinedView()[i]));
    EXPECT_EQ(view->GetCamera()->GetMappedTopView()[1], 0.0);
    f.Close();

    // Wrong sizes and an unknown name.
    ViewFixture g;
    double identity[13];
    MakeIdentity3x4(identity);
    identity[0] = -1.0; // a reflection is no rotation either
    g.store.WriteValue(kDisplaySettings, L"MappedTopView", REG_BINARY, identity, 12 * sizeof(double));
    g.store.WriteValue(kDisplaySettings, L"UserDefinedView", REG_BINARY, identity, 95);
    WriteText(g.store, kMouseNavigationSettings, L"ActiveProfile", L"Nobody");
    view = g.Create();
    EXPECT_EQ(view->GetActiveProfile()->GetName(), L"Default");
    EXPECT_EQ(view->GetCamera()->GetMappedTopView()[0], 1.0);
    view->SendMessage(WM_COMMAND, kCmdTopView);
    EXPECT_EQ(view->GetCamera()->GetViewTransform()[0], 1.0);
}

TEST_F(View3D, TheWheelZoomsAboutThePointUnderTheCursor)
{
    ViewFixture f;
    C3DView* view = f.Create(200, 160);
    const float corner[3] = {1.0f, 0.6f, 0.4f};
    const POINT at = ScreenOf(view, corner);
    const double h0 = BoxHeight(view);
    Wheel(view, at, 120);
    EXPECT_NEAR(BoxHeight(view), h0 + 2.0 * (2.0 * h0 / 5.0), 1e-4 * h0); // out: 2/5 of the height each side
    POINT now = ScreenOf(view, corner);
    EXPECT_NEAR(now.x, at.x, 1);
    EXPECT_NEAR(now.y, at.y, 1);
    Snapshot(view, "view3d_wheel_out");
    const double h1 = BoxHeight(view);
    Wheel(view, at, -120);
    EXPECT_NEAR(BoxHeight(view), h1 - 2.0 * (h1 / 5.0), 1e-4 * h1); // in: 1/5 each side
    now = ScreenOf(view, corner);
    EXPECT_NEAR(now.x, at.x, 1);
    EXPECT_NEAR(now.y, at.y, 1);
    Snapshot(view, "view3d_wheel_in");

    // With the middle button held the wheel never zooms.
    const double h2 = BoxHeight(view);
    Press(view, WM_MBUTTONDOWN, POINT{100, 80});
    Wheel(view, POINT{100, 80}, 120);
    EXPECT_EQ(BoxHeight(view), h2);
    Press(view, WM_MBUTTONUP, POINT{100, 80});

    // Reversed, forward zooms in.
    view->reverseWheelZooming = 1;
    Wheel(view, POINT{100, 80}, 120);
    EXPECT_LT(BoxHeight(view), h2);
}

TEST_F(View3D, InPerspectiveTheWheelMovesTheEye)
{
    ViewFixture f;
    C3DView* view = f.Create();
    f.renderer.SetPerspective(true);
    const double h = BoxHeight(view);
    const double z0 = view->GetCamera()->GetViewTransform()[11];
    Wheel(view, POINT{100, 80}, -120); // in: the eye comes closer by a fifth of the box height
    EXPECT_NEAR(view->GetCamera()->GetViewTransform()[11], z0 + h / 5.0, 1e-5);
    EXPECT_EQ(BoxHeight(view), h);
    Snapshot(view, "view3d_perspective_wheel");
}

TEST_F(View3D, ZoomingInNeverCollapsesTheBox)
{
    ViewFixture f;
    C3DView* view = f.Create(40, 300); // tall: a fifth of the height exceeds half the width
    for (int i = 0; i < 30; ++i)
        Wheel(view, POINT{20, 150}, -120);
    float min[3], max[3];
    view->GetCamera()->GetSceneBox(min, max);
    EXPECT_GT(max[0] - min[0], 0.0f);
    EXPECT_GT(max[1] - min[1], 0.0f);
    Wheel(view, POINT{20, 150}, 120);
    view->GetCamera()->GetSceneBox(min, max);
    EXPECT_GT(max[0] - min[0], 0.0f);
}

// A scan 30 m from the origin: zoom steps (Ctrl+numeric-pad plus) took the
// box below one float step there, so it rounded to zero width, and no zoom
// out could grow it again. Zooming in now stops while the box still has its
// width, and the zoom steps out bring the whole scan back.
TEST_F(View3D, ZoomingInThirtyMetresOutStopsWhereTheViewCanStillZoomOut)
{
    ViewFixture f(false);
    const float centre[3] = {30000.0f, -21000.0f, 9000.0f}, half[3] = {40.0f, 25.0f, 30.0f};
    f.scene->AddObject(MakeBoxObject(centre, half));
    C3DView* view = f.Create(200, 160);
    const double h0 = BoxHeight(view);
    const RECT middle{97, 77, 103, 83};
    for (int way = 0; way < 2; ++way)
    {
        view->ZoomAll();
        for (int i = 0; i < 40; ++i)
        {
            if (way == 0)
                view->SendMessage(WM_COMMAND, kCmdZoomIn);
            else
                view->ZoomToRectangle(middle);
        }
        float min[3], max[3];
        view->GetCamera()->GetSceneBox(min, max);
        EXPECT_GT(max[0] - min[0], 0.0f) << "way " << way;
        EXPECT_GT(max[1] - min[1], 0.0f) << "way " << way;
        for (int i = 0; i < 20; ++i)
            view->SendMessage(WM_COMMAND, kCmdZoomOut);
        EXPECT_GT(BoxHeight(view), h0) << "way " << way << ": zoomed back out past the whole scan";
    }
}

TEST_F(View3D, ZoomingOutStopsBeforeTheBoxLeavesTheFloatRange)
{
    ViewFixture f;
    C3DView* view = f.Create(200, 160);
    auto finite = [&] {
        const double* t = view->GetCamera()->GetViewTransform();
        for (int i = 0; i < 12; ++i)
            if (!std::isfinite(t[i]))
                return false;
        float min[3], max[3];
        view->GetCamera()->GetSceneBox(min, max);
        return std::isfinite(max[0] - min[0]) && std::isfinite(max[1] - min[1]) && max[0] - min[0] > 0.0f &&
               max[1] - min[1] > 0.0f;
    };
    for (int i = 0; i < 200; ++i)
        Wheel(view, POINT{50, 40}, 120);
    ASSERT_TRUE(finite()) << "the wheel took the box past the float range";

    // Zoom drags upwards grow the box too.
    for (int drag = 0; drag < 30; ++drag)
    {
        win32::ResetInputState();
        win32::SetKeyDown(VK_SHIFT, true);
        Press(view, WM_LBUTTONDOWN, POINT{100, 150});
        win32::SetKeyDown(VK_SHIFT, false);
        for (int y = 120; y > 0; y -= 30)
            Move(view, POINT{100, y});
        Press(view, WM_LBUTTONUP, POINT{100, 30});
    }
    ASSERT_TRUE(finite()) << "the zoom drag took the box past the float range";

    float min0[3], max0[3], min1[3], max1[3];
    view->GetCamera()->GetSceneBox(min0, max0);
    Wheel(view, POINT{50, 40}, -120);
    view->GetCamera()->GetSceneBox(min1, max1);
    EXPECT_LT(max1[1] - min1[1], max0[1] - min0[1]) << "the view still zooms back in";
    EXPECT_TRUE(finite());
}

// Records the box height of every frame.
struct HeightRecorder : cUserInteractiveMode<C3DView>
{
    HeightRecorder(std::vector<double>& heights) : cUserInteractiveMode(0x50001, 0), heights(heights) {}
    void DrawGL(C3DView* view) override { heights.push_back(BoxHeight(view)); }
    const wchar_t* GetClassName() const override { return L"HeightRecorder"; }
    std::vector<double>& heights;
};

class RecordingView : public cP3DView
{
public:
    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM extra) override
    {
        return id == 0x50001 ? new HeightRecorder(heights) : cP3DView::CreateMode(id, temporary, extra);
    }
    std::vector<double> heights;
};

TEST_F(View3D, TheAnimatedZoomRunsItsFramesAndJumpsToTheEndWhenClicked)
{
    win32::UseManualClock(1000);
    ViewFixture f;
    WriteText(f.store, kDisplaySettings, L"AnimateZooming", L"1");
    auto* view = f.Create<RecordingView>();
    ASSERT_TRUE(view->IsAnimatingZoom());
    view->SetModeById(0x50001, 0, 0);
    const double h0 = BoxHeight(view);
    view->heights.clear();
    Wheel(view, POINT{100, 80}, 120);
    const double target = h0 + 4.0 * h0 / 5.0;
    std::vector<int> progress;
    for (double h : view->heights)
        progress.push_back(int(std::lround((h - h0) / (target - h0) * 100.0)));
    // The frames of the animation, then the final repaint.
    EXPECT_EQ(progress, (std::vector<int>{52, 77, 89, 94, 97, 98, 99, 100, 100}));

    // A click while it runs ends it at the full target, not half way.
    const double h1 = BoxHeight(view);
    view->heights.clear();
    POINT click{150, 20};
    ::ClientToScreen(view->GetSafeHwnd(), &click);
    view->PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 20));
    view->PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(150, 20));
    POINT at{100, 80};
    ::ClientToScreen(view->GetSafeHwnd(), &at);
    view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(at.x, at.y));
    ASSERT_GE(view->heights.size(), 2u);
    EXPECT_LT(view->heights.size(), 5u);
    EXPECT_NEAR(BoxHeight(view), h1 + 4.0 * h1 / 5.0, 1e-4 * h1);
    win32::UseSystemClock();
}

HWND g_doomed = nullptr;
LRESULT DestroyerProc(HWND hwnd, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_APP && g_doomed)
        ::DestroyWindow(g_doomed);
    return DefWindowProcW(hwnd, message, w, l);
}

TEST_F(View3D, AViewDestroyedDuringTheAnimatedZoomEndsItSafely)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DestroyerProc;
    wc.lpszClassName = L"ViewDestroyer";
    RegisterClassW(&wc);
    HWND destroyer = CreateWindowExW(0, L"ViewDestroyer", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ViewFixture f;
    WriteText(f.store, kDisplaySettings, L"AnimateZooming", L"1");
    C3DView* view = f.Create();
    g_doomed = view->GetSafeHwnd();
    ::PostMessageW(destroyer, WM_APP, 0, 0);
    POINT at{100, 80};
    ::ClientToScreen(view->GetSafeHwnd(), &at);
    // The wheel handler returns without touching the deleted view (the
    // address sanitizer reports any use).
    EXPECT_EQ(::SendMessageW(g_doomed, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(at.x, at.y)), 1);
    EXPECT_FALSE(::IsWindow(g_doomed));
    f.view = nullptr;
    g_doomed = nullptr;
    ::DestroyWindow(destroyer);
}

TEST_F(View3D, AQueuedCloseEndsTheAnimationAndStaysQueued)
{
    ViewFixture f;
    WriteText(f.store, kDisplaySettings, L"AnimateZooming", L"1");
    C3DView* view = f.Create();
    view->PostMessage(WM_CLOSE);
    POINT at{100, 80};
    ::ClientToScreen(view->GetSafeHwnd(), &at);
    view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(at.x, at.y));
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, view->GetSafeHwnd(), WM_CLOSE, WM_CLOSE, PM_REMOVE));
    // The view keeps no stale flag: a second wheel zooms as usual.
    const double h = BoxHeight(view);
    view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(at.x, at.y));
    EXPECT_GT(BoxHeight(view), h);
}

TEST_F(View3D, ALockedViewDrawsNothingAndSaysSo)
{
    ViewFixture f;
    C3DView* view = f.Create();
    win32::TakeDebugOutput();
    const int frames = f.renderer.frames;
    view->LockUpdate();
    view->Redraw(0);
    view->RequestRedraw(0);
    EXPECT_EQ(f.renderer.frames, frames);
    EXPECT_EQ(win32::TakeDebugOutput(), L"View redraw is locked, try again later ...");
    EXPECT_EQ(view->UnlockUpdate(), 0u);
    EXPECT_EQ(view->UnlockUpdate(), 0u); // never below zero
    // Modes reach the view through its command context.
    auto* context = static_cast<ICommandContext*>(view->QueryInterface(IID_ICommandContext));
    ASSERT_EQ(context, static_cast<ICommandContext*>(view));
    EXPECT_EQ(context->GetView(), view);
    EXPECT_EQ(view->QueryInterface(IID_IBase), nullptr);
    view->RequestRedraw(0);
    EXPECT_EQ(f.renderer.frames, frames + 1);
}

TEST_F(View3D, StandardViewsCycleAndFollowTheLock)
{
    ViewFixture f;
    C3DView* view = f.Create();
    auto same = [&](int index) {
        double m[12];
        MakeIdentity3x4(m);
        view->GetRenderer()->GetStandardViewTransform(m, view->GetScene(), index);
        for (int i = 0; i < 12; ++i)
            if (std::fabs(m[i] - view->GetCamera()->GetViewTransform()[i]) > 1e-9)
                return false;
        return true;
    };
    view->SendMessage(WM_COMMAND, kCmdFrontView);
    EXPECT_TRUE(same(kFrontView));
    Snapshot(view, "view3d_front");
    view->SetStandardView(8);
    const int expected[] = {6, 7, 9, 8, 6};
    for (int index : expected)
    {
        view->CycleDiagonalView();
        EXPECT_TRUE(same(index)) << index;
    }
    Snapshot(view, "view3d_diagonal");
    // A quarter turn about the screen's vertical axis from the top view is
    // the right or left view up to the turn's sign.
    view->SendMessage(WM_COMMAND, kCmdTopView);
    view->SendMessage(WM_COMMAND, kCmdTurnRight);
    EXPECT_NEAR(std::fabs(view->GetCamera()->GetViewTransform()[2]), 1.0, 1e-6);
    view->rotationLocked = 1;
    view->SendMessage(WM_COMMAND, kCmdFrontView);
    EXPECT_TRUE(same(kTopView));
}

} // namespace
