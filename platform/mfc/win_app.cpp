#include "platform/mfc/win_app.h"

#include <stdexcept>

namespace
{

AFX_MODULE_STATE& ProcessState()
{
    static AFX_MODULE_STATE* state = new AFX_MODULE_STATE;
    return *state;
}

thread_local AFX_MODULE_STATE* t_current = nullptr;

} // namespace

AFX_MODULE_STATE* AfxGetAppModuleState()
{
    return &ProcessState();
}
AFX_MODULE_STATE* AfxGetModuleState()
{
    return t_current ? t_current : &ProcessState();
}

AFX_MODULE_STATE* AfxSetModuleState(AFX_MODULE_STATE* state)
{
    AFX_MODULE_STATE* previous = AfxGetModuleState();
    t_current = state;
    return previous;
}

CWinApp::CWinApp(LPCWSTR appName) : m_pszAppName(appName)
{
    AFX_MODULE_STATE* state = AfxGetModuleState();
    state->m_pCurrentWinApp = this;
    state->m_lpszCurrentAppName = appName;
    m_hInstance = state->m_hCurrentInstanceHandle;
}

CWinApp::~CWinApp()
{
    for (AFX_MODULE_STATE* state : {AfxGetModuleState(), AfxGetAppModuleState()})
        if (state->m_pCurrentWinApp == this)
            state->m_pCurrentWinApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return AfxGetModuleState()->m_pCurrentWinApp;
}
CWinThread* AfxGetThread()
{
    return AfxGetApp();
}

CWnd* AfxGetMainWnd()
{
    CWinThread* thread = AfxGetThread();
    return thread ? thread->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return AfxGetModuleState()->m_hCurrentInstanceHandle;
}

HINSTANCE AfxGetResourceHandle()
{
    AFX_MODULE_STATE* state = AfxGetModuleState();
    return state->m_hCurrentResourceHandle ? state->m_hCurrentResourceHandle
                                           : state->m_hCurrentInstanceHandle;
}

void AfxSetResourceHandle(HINSTANCE instance)
{
    AfxGetModuleState()->m_hCurrentResourceHandle = instance;
}

HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type)
{
    HINSTANCE current = AfxGetResourceHandle();
    if (win32::ModuleHasResource(current, type, name))
        return current;
    AFX_MODULE_STATE* app = AfxGetAppModuleState();
    HINSTANCE fallback =
        app->m_hCurrentResourceHandle ? app->m_hCurrentResourceHandle : app->m_hCurrentInstanceHandle;
    if (win32::ModuleHasResource(fallback, type, name))
        return fallback;
    return current;
}

BOOL CWinThread::OnIdle(LONG)
{
    std::vector<HWND> tops;
    ::EnumWindows(
        [](HWND h, LPARAM p) -> BOOL
        {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tops));
    for (HWND h : tops)
    {
        if (!::IsWindow(h) || !::IsWindowVisible(h))
            continue;
        ::SendMessageW(h, WM_IDLEUPDATECMDUI, TRUE, 0);
        if (CWnd* w = CWnd::FromHandle(h))
            w->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
    }
    return FALSE;
}

BOOL CWinThread::PreTranslateMessage(MSG* msg)
{
    if (!msg || !msg->hwnd)
        return FALSE;
    return CWnd::WalkPreTranslateTree(::GetAncestor(msg->hwnd, GA_ROOT), msg);
}

BOOL CWinThread::PumpMessage()
{
    MSG msg{};
    if (!::GetMessageW(&msg, nullptr, 0, 0))
        return FALSE;
    if (!PreTranslateMessage(&msg))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return TRUE;
}

BOOL AfxPumpMessage()
{
    if (CWinThread* thread = AfxGetThread())
        return thread->PumpMessage();
    CWinThread plain;
    return plain.PumpMessage();
}

namespace mfc
{

std::size_t PumpUntilIdle(std::size_t maxMessages)
{
    CWinThread plain;
    CWinThread* thread = AfxGetThread() ? AfxGetThread() : &plain;
    std::size_t count = 0;
    for (int idleRounds = 0;; ++idleRounds)
    {
        MSG msg{};
        bool any = false;
        while (win32::PeekMessageLeavingQuit(&msg))
        {
            any = true;
            if (!thread->PreTranslateMessage(&msg))
            {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            if (++count > maxMessages)
                throw std::runtime_error("mfc::PumpUntilIdle: messages keep coming");
        }
        if (!any && idleRounds > 0)
            return count;
        thread->OnIdle(0);
        if (idleRounds > 1000)
            throw std::runtime_error("mfc::PumpUntilIdle: idle processing keeps posting messages");
    }
}

} // namespace mfc
