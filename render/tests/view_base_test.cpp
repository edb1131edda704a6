// Message routing of the view base over injected input: the overlay
// controls first, then the active mode; a dragging mode alone; escape and
// key order; sizes; cursors; context menus; and modes that end themselves
// inside their own handlers.
#include "platform/mfc/win_app.h"
#include "platform/win32/window_snapshot.h"
#include "render/view_3d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace
{

using Log = std::vector<std::string>;
constexpr std::uint32_t kEditId = 0xCB0001;
constexpr std::uint32_t kTempId = 0xC80001;

class RecordingOverlay : public IScreenObjectManager<C3DView>
{
public:
    explicit RecordingOverlay(Log& log) : log(log) {}
    BOOL OnMouseMove(POINT p, UINT, C3DView*) override
    {
        log.push_back("overlay move");
        return takeMouse && p.x < 50;
    }
    BOOL OnMouseButton(UINT message, POINT p, UINT, C3DView*) override
    {
        log.push_back("overlay button " + std::to_string(message));
        return takeMouse && p.x < 50;
    }
    BOOL OnKey(UINT message, UINT, UINT, UINT, C3DView*) override
    {
        log.push_back("overlay key " + std::to_string(message));
        return takeKeys;
    }
    void OnSize(int w, int h, C3DView*) override { log.push_back("overlay size " + std::to_string(w) + "x" + std::to_string(h)); }
    bool takeMouse = true;
    bool takeKeys = false;
    Log& log;
};

class RecordingMode : public cUserInteractiveMode<C3DView>
{
public:
    RecordingMode(std::uint32_t id, std::uint32_t temporary, Log& log) : cUserInteractiveMode(id, temporary), log(log) {}
    BOOL OnLButtonDown(POINT, UINT, C3DView*) override
    {
        log.push_back("mode left down");
        dragging = true;
        return 1;
    }
    BOOL OnLButtonUp(POINT, UINT, C3DView* view) override
    {
        log.push_back("mode left up");
        dragging = false;
        if (CanEnd())
            RequestEnd(view);
        // Still running after our own end: the mode must be alive here.
        ++handled;
        return 1;
    }
    BOOL OnMouseMove(POINT, UINT, C3DView*) override
    {
        log.push_back("mode move");
        return 1;
    }
    BOOL OnKeyDown(UINT, UINT, UINT, C3DView*) override
    {
        log.push_back("mode key down");
        return 1;
    }
    BOOL OnKeyUp(UINT, UINT, UINT, C3DView*) override
    {
        log.push_back("mode key up");
        return 1;
    }
    void OnEscape(C3DView*) override { log.push_back("mode escape"); }
    int OnSetCursor(C3DView*, UINT, UINT) override { return cursor; }
    BOOL IsDragging() override { return dragging; }
    const wchar_t* GetClassName() const override { return L"RecordingMode"; }
    bool dragging = false;
    int cursor = 0;
    int handled = 0;
    Log& log;
};

class RoutingView : public C3DView
{
public:
    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM) override
    {
        return new RecordingMode(id, temporary, log);
    }
    std::uint32_t GetDefaultModeId() override { return kEditId; }
    std::uint32_t GetModeIdForMouseEvent(UINT flags) override { return (flags & MK_CONTROL) ? kTempId : 0; }
    RecordingMode* Active() { return static_cast<RecordingMode*>(GetActiveMode()); }
    Log log;
};

// A field that refuses to give up the keyboard while it holds text it
// cannot take (it says so and keeps the focus).
class RefusingField : public CWnd
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_KILLFOCUS && refuse)
            ::SetFocus(m_hWnd);
        return CWnd::WindowProc(message, wParam, lParam);
    }
    bool refuse = true;
};

class ViewRouting : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ResetInputState();
        view = new RoutingView;
        auto overlay = std::make_unique<RecordingOverlay>(view->log);
        controls = overlay.get();
        view->SetScreenObjectManager(std::move(overlay));
        ASSERT_TRUE(view->CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr, nullptr));
        view->SetModeById(kEditId, 0, 0);
        view->log.clear();
    }
    void TearDown() override
    {
        if (::IsWindow(view->GetSafeHwnd()))
            view->DestroyWindow();
    }
    void Inject(UINT message, POINT p)
    {
        if (message == WM_MOUSEMOVE)
            win32::InjectMouseMove(p);
        else
            win32::InjectMouseButton(message, p);
        mfc::PumpUntilIdle();
    }
    bool Logged(const std::string& entry) const
    {
        return std::find(view->log.begin(), view->log.end(), entry) != view->log.end();
    }
    RoutingView* view = nullptr;
    RecordingOverlay* controls = nullptr;
};

TEST_F(ViewRouting, ControlsTakeMouseFirstButNeverSeeADrag)
{
    // Over a control (x < 50) the control takes the move and the press.
    Inject(WM_MOUSEMOVE, POINT{20, 20});
    Inject(WM_LBUTTONDOWN, POINT{20, 20});
    EXPECT_TRUE(Logged("overlay move"));
    EXPECT_FALSE(Logged("mode move"));
    EXPECT_FALSE(Logged("mode left down"));
    Inject(WM_LBUTTONUP, POINT{20, 20});

    // A drag that starts beside the controls stays with the mode, even over
    // a control.
    Inject(WM_LBUTTONDOWN, POINT{120, 80});
    ASSERT_TRUE(view->Active()->dragging);
    view->log.clear();
    Inject(WM_MOUSEMOVE, POINT{20, 80});
    Inject(WM_LBUTTONUP, POINT{20, 80});
    EXPECT_EQ(view->log, (Log{"mode move", "mode left up"}));
}

TEST_F(ViewRouting, EscapeReachesTheModeBeforeItsKeyDownEvenWhenAControlTookTheKey)
{
    controls->takeKeys = true;
    ::SetFocus(view->GetSafeHwnd());
    view->SendMessage(WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(view->log, (Log{"overlay key 256", "mode escape", "mode key down"}));
    view->log.clear();
    // Other keys stop at the control that takes them.
    view->SendMessage(WM_KEYUP, 'A', 1);
    EXPECT_EQ(view->log, (Log{"overlay key 257"}));
    controls->takeKeys = false;
    view->log.clear();
    view->SendMessage(WM_KEYUP, 'A', 1);
    EXPECT_EQ(view->log, (Log{"overlay key 257", "mode key up"}));
}

TEST_F(ViewRouting, AZeroSizeIsStoredAsOne)
{
    view->SendMessage(WM_SIZE, 0, MAKELPARAM(0, 0));
    EXPECT_EQ(view->GetClientWidth(), 1u);
    EXPECT_EQ(view->GetClientHeight(), 1u);
    EXPECT_TRUE(Logged("overlay size 1x1"));
    view->SendMessage(WM_SIZE, 0, MAKELPARAM(300, 0));
    EXPECT_EQ(view->GetClientWidth(), 300u);
    EXPECT_EQ(view->GetClientHeight(), 1u);
}

TEST_F(ViewRouting, ACursorIdWithoutAResourceFallsBackToTheSystemCursorOfThatNumber)
{
    CWinApp app;
    view->Active()->cursor = 32515; // no module has it: the system cross
    EXPECT_EQ(view->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(view->GetSafeHwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
    win32::CursorInfo shown = win32::DescribeCursor(::GetCursor());
    EXPECT_TRUE(shown.system);
    EXPECT_EQ(shown.id, 32515u);
    view->Active()->cursor = -32512; // a negative id names the system cursor directly
    view->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(view->GetSafeHwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(win32::DescribeCursor(::GetCursor()).id, 32512u);
}

TEST_F(ViewRouting, ARightClickWithoutAnyMenuFallsToTheDefaultProcedure)
{
    // No control, mode or view supplies a menu: no popup is asked for (an
    // unexpected prompt would throw).
    Inject(WM_RBUTTONDOWN, POINT{100, 100});
    EXPECT_NO_THROW(Inject(WM_RBUTTONUP, POINT{100, 100}));
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
}

TEST_F(ViewRouting, ATemporaryModeThatEndsItselfInItsReleaseHandlerOutlivesTheHandler)
{
    // Ctrl + left pushes the temporary mode over the editing mode.
    win32::SetKeyDown(VK_CONTROL, true);
    Inject(WM_LBUTTONDOWN, POINT{120, 80});
    win32::SetKeyDown(VK_CONTROL, false);
    ASSERT_EQ(view->GetActiveMode()->GetId(), kTempId);
    RecordingMode* temporary = view->Active();
    temporary->dragging = false;
    // Its release ends it through WM_USER + 9 while its handler still runs
    // (address sanitizer reports any use after the delete).
    Inject(WM_LBUTTONUP, POINT{121, 80});
    EXPECT_EQ(view->GetActiveMode()->GetId(), kEditId);
    EXPECT_EQ(view->GetModeCount(), 1);
}

TEST_F(ViewRouting, ALeftClickAFieldRefusesReachesNoModeAndTheNextQuickPressIsAPress)
{
    RefusingField field;
    ASSERT_TRUE(field.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, 300, 0, 60, 20, nullptr, nullptr));
    ::SetFocus(field.GetSafeHwnd());
    Inject(WM_LBUTTONDOWN, POINT{120, 80});
    Inject(WM_LBUTTONUP, POINT{120, 80});
    EXPECT_EQ(::GetFocus(), field.GetSafeHwnd());
    // The text put right, the user clicks again at once: a double click by
    // the clock, but the first click did nothing, so this is a press.
    field.refuse = false;
    Inject(WM_LBUTTONDOWN, POINT{120, 80});
    Inject(WM_LBUTTONUP, POINT{120, 80});
    EXPECT_EQ(::GetFocus(), view->GetSafeHwnd());
    Log buttons;
    std::copy_if(view->log.begin(), view->log.end(), std::back_inserter(buttons),
                 [](const std::string& e) { return e.rfind("mode left", 0) == 0; });
    EXPECT_EQ(buttons, (Log{"mode left down", "mode left up"}));
    field.DestroyWindow();
}

} // namespace
