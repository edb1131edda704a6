#include "platform/mfc/mfc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

UINT g_registered = RegisterWindowMessageW(L"MfcTestRegisteredMessage"); // during static initialisation

std::vector<std::string>& Log()
{
    static std::vector<std::string> log;
    return log;
}

class CTestWnd : public CWnd
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_APP + 5)
            current = *GetCurrentMessage();
        return CWnd::WindowProc(message, wParam, lParam);
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE && eatEscape)
        {
            Log().push_back("pretranslate ate escape");
            return TRUE;
        }
        return CWnd::PreTranslateMessage(msg);
    }

    MSG current{};
    bool eatEscape = false;

protected:
    afx_msg void OnSize(UINT type, int cx, int cy)
    {
        Log().push_back("base size " + std::to_string(type) + " " + std::to_string(cx) + "x" +
                        std::to_string(cy));
    }
    afx_msg void OnKeyDown(UINT key, UINT, UINT) { Log().push_back("key " + std::to_string(key)); }
    afx_msg void OnOpen() { Log().push_back("open"); }
    afx_msg void OnTool(UINT id) { Log().push_back("tool " + std::to_string(id)); }
    afx_msg void OnUpdateOpen(CCmdUI* ui) { ui->Enable(FALSE); }
    afx_msg LRESULT OnRegistered(WPARAM w, LPARAM) { return static_cast<LRESULT>(w + 1); }
    afx_msg LRESULT OnApp(WPARAM w, LPARAM)
    {
        Log().push_back("app " + std::to_string(w));
        if (w == 0)
            SendMessage(WM_APP + 5, 7, 0); // nested: the current message changes and comes back
        Log().push_back("current " + std::to_string(GetCurrentMessage()->wParam));
        return 0;
    }
    afx_msg LRESULT OnApp5(WPARAM, LPARAM) { return 0; }
    afx_msg void OnTreeChanged(NMHDR* header, LRESULT* result)
    {
        Log().push_back("notify from " + std::to_string(header->idFrom));
        *result = 42;
    }
    afx_msg void OnIdleUpdate() { Log().push_back("idle"); }
    afx_msg LRESULT OnIdleUpdateMessage(WPARAM, LPARAM)
    {
        Log().push_back("idle");
        return 0;
    }
    void PostNcDestroy() override { Log().push_back("post nc destroy"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestWnd, CWnd)
ON_WM_SIZE()
ON_WM_KEYDOWN()
ON_COMMAND(100, &CTestWnd::OnOpen)
ON_UPDATE_COMMAND_UI(100, &CTestWnd::OnUpdateOpen)
ON_COMMAND_RANGE(200, 210, &CTestWnd::OnTool)
ON_REGISTERED_MESSAGE(g_registered, &CTestWnd::OnRegistered)
ON_MESSAGE(WM_APP, &CTestWnd::OnApp)
ON_MESSAGE(WM_APP + 5, &CTestWnd::OnApp5)
ON_NOTIFY(static_cast<UINT>(-1105), 5, &CTestWnd::OnTreeChanged)
ON_MESSAGE(WM_IDLEUPDATECMDUI, &CTestWnd::OnIdleUpdateMessage)
END_MESSAGE_MAP()

class CDerivedWnd : public CTestWnd
{
protected:
    afx_msg void OnSize(UINT, int, int) { Log().push_back("derived size"); }
    afx_msg void OnTool(UINT id) { Log().push_back("derived tool " + std::to_string(id)); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedWnd, CTestWnd)
ON_WM_SIZE()
ON_COMMAND_RANGE(205, 205, &CDerivedWnd::OnTool)
END_MESSAGE_MAP()

class MfcWindows : public ::testing::Test
{
protected:
    void SetUp() override { Log().clear(); }
    void TearDown() override
    {
        mfc::PumpUntilIdle();
        win32::ResetInputState();
    }
};

TEST_F(MfcWindows, MessageMapsChainToTheBaseAndFallBackToTheDefault)
{
    CDerivedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"title", WS_OVERLAPPED, 0, 0, 100, 50, nullptr, nullptr));
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    EXPECT_EQ(Log(), (std::vector<std::string>{"derived size"})); // the creation's WM_SIZE
    Log().clear();
    wnd.SendMessage(WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"key 65"}));
    CString text;
    wnd.GetWindowText(text); // no entry: the default procedure answers
    EXPECT_EQ(text, L"title");
    EXPECT_EQ(wnd.SendMessage(g_registered, 9, 0), 10);
    wnd.DestroyWindow();
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(Log().back(), "post nc destroy");
}

TEST_F(MfcWindows, CommandsRouteByIdAndRangeAndCanBeQueried)
{
    CDerivedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    Log().clear();
    wnd.SendMessage(WM_COMMAND, 100, 0);
    wnd.SendMessage(WM_COMMAND, 203, 0);
    wnd.SendMessage(WM_COMMAND, 205, 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"open", "tool 203", "derived tool 205"}));
    EXPECT_FALSE(wnd.OnCmdMsg(211, CN_COMMAND, nullptr, nullptr));
    // An accelerator's command (code 1, no control) is a command like a
    // menu's; a control's notification with that code is not.
    Log().clear();
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(203, 1), 0);
    CWnd button;
    ASSERT_TRUE(button.CreateEx(0, L"BUTTON", L"", WS_CHILD, 0, 0, 5, 5, wnd.m_hWnd, nullptr));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(204, 1), reinterpret_cast<LPARAM>(button.m_hWnd));
    EXPECT_EQ(Log(), (std::vector<std::string>{"tool 203"}));

    Log().clear();
    AFX_CMDHANDLERINFO info{nullptr, nullptr};
    EXPECT_TRUE(wnd.OnCmdMsg(100, CN_COMMAND, nullptr, &info));
    EXPECT_EQ(info.pTarget, &wnd);
    EXPECT_TRUE(Log().empty()); // asking does not run the handler

    CCmdUI ui;
    ui.m_nID = 100;
    EXPECT_TRUE(ui.DoUpdate(&wnd, TRUE));
    EXPECT_FALSE(ui.IsEnabled());
    CCmdUI orphan;
    orphan.m_nID = 999;
    EXPECT_FALSE(orphan.DoUpdate(&wnd, TRUE));
    EXPECT_FALSE(orphan.IsEnabled()); // no handler at all: disabled
}

TEST_F(MfcWindows, NotificationsReachTheirHandlerWithTheResult)
{
    CTestWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    Log().clear();
    NMHDR header{nullptr, 5, static_cast<UINT>(-1105)};
    EXPECT_EQ(wnd.SendMessage(WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&header)), 42);
    NMHDR other{nullptr, 6, static_cast<UINT>(-1105)};
    EXPECT_EQ(wnd.SendMessage(WM_NOTIFY, 6, reinterpret_cast<LPARAM>(&other)), 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"notify from 5"}));
}

TEST_F(MfcWindows, TheCurrentMessageFollowsNestedSends)
{
    CTestWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    Log().clear();
    wnd.SendMessage(WM_APP, 0, 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"app 0", "current 0"}));
    EXPECT_EQ(wnd.current.message, WM_APP + 5);
    EXPECT_EQ(wnd.current.wParam, 7u);
}

TEST_F(MfcWindows, TemporaryObjectsStandInForForeignWindowsUntilTheyAreDestroyed)
{
    CTestWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    HWND plain = CreateWindowExW(0, AfxRegisterWndClass(0), L"plain", WS_CHILD, 0, 0, 5, 5, owner.m_hWnd,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);
    CWnd* temp = CWnd::FromHandle(plain);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->m_hWnd, plain);
    EXPECT_EQ(CWnd::FromHandle(plain), temp);
    EXPECT_EQ(temp->GetParent(), &owner);
    DestroyWindow(plain);
    EXPECT_EQ(CWnd::FromHandle(plain), nullptr);
}

TEST_F(MfcWindows, PreTranslationWalksUpFromTheTargetWindow)
{
    CTestWnd parent;
    ASSERT_TRUE(
        parent.CreateEx(0, nullptr, L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr));
    CTestWnd child;
    ASSERT_TRUE(child.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 50), &parent, 3));
    parent.eatEscape = true;
    child.SetFocus();
    mfc::PumpUntilIdle();
    Log().clear();
    win32::InjectKey(VK_ESCAPE, true);
    win32::InjectKey('B', true);
    mfc::PumpUntilIdle();
    EXPECT_EQ(Log(), (std::vector<std::string>{"pretranslate ate escape", "key 66", "idle", "idle"}));
    win32::InjectKey(VK_ESCAPE, false);
    win32::InjectKey('B', false);
}

class CCountedView : public CView
{
    DECLARE_DYNCREATE(CCountedView)

public:
    CCountedView() { ++alive; }
    ~CCountedView() override { --alive; }
    static int alive;
    int draws = 0;

protected:
    void OnDraw(CDC*) override { ++draws; }
};
int CCountedView::alive = 0;
IMPLEMENT_DYNCREATE(CCountedView, CView)

TEST_F(MfcWindows, ViewsAreCreatedByRuntimeClassPaintThroughOnDrawAndDeleteThemselves)
{
    CRuntimeClass* cls = CRuntimeClass::FromName("CCountedView");
    ASSERT_EQ(cls, RUNTIME_CLASS(CCountedView));
    EXPECT_TRUE(cls->IsDerivedFrom(RUNTIME_CLASS(CView)));
    EXPECT_FALSE(RUNTIME_CLASS(CView)->IsDerivedFrom(cls));
    EXPECT_EQ(RUNTIME_CLASS(CView)->CreateObject(), nullptr); // abstract: not creatable
    auto* view = static_cast<CCountedView*>(cls->CreateObject());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_EQ(CCountedView::alive, 1);
    ASSERT_TRUE(view->CreateEx(0, nullptr, L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr));
    view->RedrawWindow();
    EXPECT_EQ(view->draws, 1);
    ::DestroyWindow(view->m_hWnd);
    EXPECT_EQ(CCountedView::alive, 0);
}

class CLoggedView : public CView
{
protected:
    void OnDraw(CDC*) override { Log().push_back("draw"); }
};

TEST_F(MfcWindows, ThePumpHandsOutQueuedInputBeforeAPaintAndLeavesTheQuit)
{
    CTestWnd target;
    ASSERT_TRUE(target.CreateEx(0, nullptr, L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr));
    auto* view = new CLoggedView;
    ASSERT_TRUE(view->CreateEx(0, nullptr, L"", WS_OVERLAPPED | WS_VISIBLE, 50, 0, 40, 40, nullptr, nullptr));
    target.SetFocus();
    mfc::PumpUntilIdle();
    Log().clear();
    ::InvalidateRect(view->m_hWnd, nullptr, FALSE);
    win32::InjectKey('B', true);
    ::PostQuitMessage(4);
    mfc::PumpUntilIdle();
    std::vector<std::string> ran;
    for (const std::string& entry : Log())
        if (entry != "idle")
            ran.push_back(entry);
    EXPECT_EQ(ran, (std::vector<std::string>{"key 66", "draw"}));
    MSG msg{};
    EXPECT_FALSE(::GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 4u);
    win32::InjectKey('B', false);
    ::DestroyWindow(view->m_hWnd);
}

class CModuleApp : public CWinApp
{
public:
    CModuleApp() : CWinApp(L"module app") {}
};

TEST_F(MfcWindows, ModuleStatesCarryTheirOwnApplicationAndResources)
{
    EXPECT_EQ(AfxGetApp(), nullptr);
    AFX_MODULE_STATE plugin;
    plugin.m_hCurrentInstanceHandle = reinterpret_cast<HINSTANCE>(0x5000);
    {
        AFX_MANAGE_STATE(&plugin);
        CModuleApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(AfxGetResourceHandle(), reinterpret_cast<HINSTANCE>(0x5000));
        AfxSetResourceHandle(reinterpret_cast<HINSTANCE>(0x6000));
        EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(4)),
                  reinterpret_cast<HINSTANCE>(0x6000));
    }
    EXPECT_EQ(AfxGetModuleState(), AfxGetAppModuleState());
    EXPECT_EQ(AfxGetApp(), nullptr);
}

// A library's window handles its messages in the module state it was made
// under, whichever state the loop that dispatches them is in.
class CStateWnd : public CWnd
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_APP + 9)
            seen = AfxGetModuleState();
        return CWnd::WindowProc(message, wParam, lParam);
    }
    AFX_MODULE_STATE* seen = nullptr;
};

TEST_F(MfcWindows, AWindowsMessagesRunInTheModuleStateItWasMadeUnder)
{
    AFX_MODULE_STATE plugin;
    CStateWnd library;
    {
        AFX_MANAGE_STATE(&plugin);
        ASSERT_TRUE(library.CreateEx(0, nullptr, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    }
    CStateWnd program;
    ASSERT_TRUE(program.CreateEx(0, nullptr, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    library.SendMessage(WM_APP + 9, 0, 0);
    EXPECT_EQ(library.seen, &plugin);
    program.SendMessage(WM_APP + 9, 0, 0);
    EXPECT_EQ(program.seen, AfxGetAppModuleState());
    EXPECT_EQ(AfxGetModuleState(), AfxGetAppModuleState()) << "the caller's state comes back";
    library.DestroyWindow();
}

} // namespace
