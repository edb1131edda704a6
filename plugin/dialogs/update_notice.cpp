#include "plugin/dialogs/update_notice.h"

#include "core/update_checker.h"

#include <memory>
#include <new>

namespace
{

// Both only touched on the user-interface thread.
bool g_checked = false;
std::unique_ptr<cWorkerThread> g_thread;

} // namespace

bool StartUpdateCheckOnce(HWND viewWindow, const std::wstring& server)
{
    if (g_checked)
        return false;
    g_checked = true;
    FinishUpdateCheck();
    auto* request = new (std::nothrow) stUpdateCheckRequest;
    if (!request)
        return false;
    request->notifyWindow = viewWindow;
    request->server = server;
    g_thread.reset(StartUpdateCheck(request));
    return g_thread != nullptr;
}

void FinishUpdateCheck()
{
    g_thread.reset(); // the worker's destructor waits for the run
}

void ResetUpdateCheckOnce()
{
    FinishUpdateCheck();
    g_checked = false;
}
