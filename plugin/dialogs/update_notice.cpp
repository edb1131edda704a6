#include "plugin/dialogs/update_notice.h"

#include "core/update_checker.h"

#include <memory>
#include <new>

namespace
{

// The running check and the means to end it early.
struct stRunningCheck
{
    std::unique_ptr<cWorkerThread> thread;
    std::shared_ptr<cUpdateCheckCancel> cancel;
    void Abandon()
    {
        if (cancel)
            cancel->Cancel();
        thread.reset(); // the worker's destructor waits for the run
        cancel.reset();
    }
};

// Both only touched on the user-interface thread.
bool g_checked = false;
stRunningCheck g_check;

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
    g_check.cancel = std::make_shared<cUpdateCheckCancel>();
    request->cancel = g_check.cancel;
    g_check.thread.reset(StartUpdateCheck(request));
    return g_check.thread != nullptr;
}

void FinishUpdateCheck()
{
    g_check.thread.reset(); // the worker's destructor waits for the run
    g_check.cancel.reset();
}

void AbandonUpdateCheck()
{
    g_check.Abandon();
}

void ResetUpdateCheckOnce()
{
    FinishUpdateCheck();
    g_checked = false;
}
