#include "platform/win32/shell.h"

#include <mutex>

namespace
{

struct RequestLog
{
    std::mutex lock;
    std::vector<win32::ShellRequest> requests;
};

RequestLog& Log()
{
    static auto* log = new RequestLog;
    return *log;
}

std::wstring Text(LPCWSTR s) { return s != nullptr ? std::wstring(s) : std::wstring(); }

} // namespace

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info)
{
    if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFOW) || info->lpFile == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    win32::ShellRequest request{Text(info->lpVerb), info->lpFile, Text(info->lpParameters), info->fMask,
                                info->nShow, info->hwnd};
    {
        RequestLog& log = Log();
        std::lock_guard<std::mutex> guard(log.lock);
        log.requests.push_back(std::move(request));
    }
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(33));
    info->hProcess = nullptr;
    return TRUE;
}

namespace win32
{

std::vector<ShellRequest> ShellRequests()
{
    RequestLog& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    return log.requests;
}

void ClearShellRequests()
{
    RequestLog& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    log.requests.clear();
}

} // namespace win32
