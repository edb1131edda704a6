// WinINet sessions and URL requests on libcurl. A request runs its whole
// transfer when it is opened and keeps the body for InternetReadFile.
#include "platform/wininet/wininet.h"
#include "platform/win32/codepage.h"
#include "platform/win32/handles.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <curl/curl.h>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace
{

// What a request keeps of a body; a longer body is cut here and reading past
// the cut fails instead of ending quietly.
constexpr std::size_t kMaxBodyBytes = 1 << 20;

struct SessionOptions
{
    DWORD connectTimeout = 60000;
    DWORD connectRetries = 5;
    DWORD sendTimeout = 30000;
    DWORD receiveTimeout = 30000;
    DWORD dataSendTimeout = 30000;
    DWORD dataReceiveTimeout = 30000;
};

class Session final : public win32::KernelObject
{
public:
    std::string agent;
    DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy;
    std::string proxyBypass;
    std::mutex lock;
    SessionOptions options; // guarded by lock
    // Set when the session's handle is closed: a request still running on
    // another thread gives up, as closing a handle cancels what is pending.
    std::atomic<bool> closed{false};
};

class Request final : public win32::KernelObject
{
public:
    std::mutex lock;
    std::vector<std::uint8_t> body;
    std::size_t position = 0;
    DWORD pendingError = ERROR_SUCCESS; // why the body ends early, if it does
};

void InitialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// One attempt's state, shared with libcurl's callbacks.
struct Transfer
{
    CURL* curl = nullptr;
    std::vector<std::uint8_t> body;
    bool overflow = false;
    bool answered = false;
    bool stalled = false;
    DWORD waitLimit = 0; // ms without progress before the transfer is given up
    DWORD bodyWaitLimit = 0;
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;
    std::chrono::steady_clock::time_point lastActivity;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    const std::size_t room = kMaxBodyBytes - t->body.size();
    t->body.insert(t->body.end(), data, data + std::min(bytes, room));
    if (bytes > room)
    {
        t->overflow = true;
        return 0; // stops the transfer
    }
    return bytes;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (bytes >= 5 && std::memcmp(data, "HTTP/", 5) == 0)
        t->answered = true;
    return bytes;
}

// Gives up a transfer that makes no progress for longer than the time-out
// of its phase (sending and awaiting the answer, then receiving the body).
int OnProgress(void* user, curl_off_t, curl_off_t downNow, curl_off_t, curl_off_t upNow)
{
    auto* t = static_cast<Transfer*>(user);
    const auto now = std::chrono::steady_clock::now();
    curl_off_t connectTime = 0;
    curl_easy_getinfo(t->curl, CURLINFO_CONNECT_TIME_T, &connectTime);
    if (connectTime == 0 || downNow != t->lastDown || upNow != t->lastUp)
    {
        // Still connecting (bounded by the connect time-out) or moving.
        t->lastDown = downNow;
        t->lastUp = upNow;
        t->lastActivity = now;
        return 0;
    }
    const DWORD limit = t->answered ? t->bodyWaitLimit : t->waitLimit;
    if (now - t->lastActivity > std::chrono::milliseconds(limit))
    {
        t->stalled = true;
        return 1;
    }
    return 0;
}

// Runs one attempt of the transfer. Unlike a plain easy perform, which may
// sleep up to a second between its checks, it looks at the cancel flag at
// least every 50 ms, so a closed session ends a wait on a silent server at
// once.
CURLcode Perform(CURL* h, const std::atomic<bool>& cancelled)
{
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), curl_multi_cleanup);
    if (!multi || curl_multi_add_handle(multi.get(), h) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (;;)
    {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
        {
            result = CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        bool done = false;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &left))
            if (message->msg == CURLMSG_DONE && message->easy_handle == h)
            {
                result = message->data.result;
                done = true;
            }
        if (done || running == 0)
            break;
        if (cancelled.load())
        {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, 50, nullptr);
    }
    curl_multi_remove_handle(multi.get(), h);
    return result;
}

DWORD ErrorOf(CURLcode code)
{
    switch (code)
    {
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_URL_MALFORMAT:
        return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    default:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    }
}

bool HasHttpScheme(const std::wstring& url)
{
    auto startsWith = [&](const wchar_t* scheme) {
        const std::size_t n = std::wcslen(scheme);
        if (url.size() < n)
            return false;
        for (std::size_t i = 0; i < n; ++i)
            if (std::towlower(static_cast<wint_t>(url[i])) != static_cast<wint_t>(scheme[i]))
                return false;
        return true;
    };
    return startsWith(L"http://") || startsWith(L"https://");
}

curl_slist* RequestHeaders(LPCWSTR headers, DWORD headersLength, DWORD flags)
{
    curl_slist* list = nullptr;
    if ((flags & INTERNET_FLAG_PRAGMA_NOCACHE) != 0)
        list = curl_slist_append(list, "Pragma: no-cache");
    if ((flags & INTERNET_FLAG_RELOAD) != 0)
        list = curl_slist_append(list, "Cache-Control: no-cache");
    if (headers != nullptr)
    {
        const std::wstring text = headersLength == 0xFFFFFFFF ? std::wstring(headers)
                                                               : std::wstring(headers, headersLength);
        std::size_t start = 0;
        while (start < text.size())
        {
            std::size_t end = text.find(L"\r\n", start);
            if (end == std::wstring::npos)
                end = text.size();
            if (end > start)
                list = curl_slist_append(list, win32::WideToUtf8(text.substr(start, end - start)).c_str());
            start = end + 2;
        }
    }
    return list;
}

template <class T> std::shared_ptr<T> LookupInternet(HINTERNET handle)
{
    return win32::LookupKernelObjectAs<T>(reinterpret_cast<HANDLE>(handle));
}

} // namespace

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD)
{
    InitialiseCurlOnce();
    auto session = std::make_shared<Session>();
    session->agent = agent != nullptr ? win32::WideToUtf8(agent) : std::string();
    session->accessType = accessType;
    session->proxy = proxy != nullptr ? win32::WideToUtf8(proxy) : std::string();
    session->proxyBypass = proxyBypass != nullptr ? win32::WideToUtf8(proxyBypass) : std::string();
    return reinterpret_cast<HINTERNET>(win32::RegisterKernelObject(session));
}

BOOL InternetSetOptionW(HINTERNET internet, DWORD option, LPVOID buffer, DWORD bufferLength)
{
    auto session = LookupInternet<Session>(internet);
    if (!session)
    {
        SetLastError(LookupInternet<Request>(internet) ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(session->lock);
    SessionOptions& o = session->options;
    DWORD* target = nullptr;
    switch (option)
    {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
        target = &o.connectTimeout;
        break;
    case INTERNET_OPTION_CONNECT_RETRIES:
        target = &o.connectRetries;
        break;
    case INTERNET_OPTION_SEND_TIMEOUT:
        target = &o.sendTimeout;
        break;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
        target = &o.receiveTimeout;
        break;
    case INTERNET_OPTION_DATA_SEND_TIMEOUT:
        target = &o.dataSendTimeout;
        break;
    case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT:
        target = &o.dataReceiveTimeout;
        break;
    default:
        SetLastError(ERROR_INTERNET_INVALID_OPTION);
        return FALSE;
    }
    if (buffer == nullptr || bufferLength != sizeof(DWORD))
    {
        SetLastError(ERROR_INTERNET_BAD_OPTION_LENGTH);
        return FALSE;
    }
    std::memcpy(target, buffer, sizeof(DWORD));
    return TRUE;
}

HINTERNET InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers, DWORD headersLength, DWORD flags,
                           DWORD_PTR)
{
    auto session = LookupInternet<Session>(internet);
    if (!session)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (url == nullptr || !HasHttpScheme(url))
    {
        SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return nullptr;
    }
    SessionOptions options;
    {
        std::lock_guard<std::mutex> guard(session->lock);
        options = session->options;
    }

    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(
        RequestHeaders(headers, headersLength, flags), curl_slist_free_all);
    if (!curl)
    {
        SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
        return nullptr;
    }
    const std::string address = win32::WideToUtf8(url);
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    if (!session->agent.empty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, session->agent.c_str());
    if (headerList)
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());
    if (session->accessType == INTERNET_OPEN_TYPE_DIRECT)
        curl_easy_setopt(h, CURLOPT_PROXY, "");
    else if (session->accessType == INTERNET_OPEN_TYPE_PROXY)
    {
        curl_easy_setopt(h, CURLOPT_PROXY, session->proxy.c_str());
        if (!session->proxyBypass.empty())
            curl_easy_setopt(h, CURLOPT_NOPROXY, session->proxyBypass.c_str());
    }
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout));
    // Every attempt is also bounded as a whole, so a server that trickles
    // bytes cannot hold the caller for ever.
    const long attemptLimit = static_cast<long>(std::min<std::uint64_t>(
        std::uint64_t{options.connectTimeout} + options.sendTimeout + options.receiveTimeout +
            options.dataSendTimeout + options.dataReceiveTimeout,
        0x7FFFFFFF));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, attemptLimit);

    Transfer transfer;
    transfer.curl = h;
    transfer.waitLimit = std::max(options.sendTimeout, options.receiveTimeout);
    transfer.bodyWaitLimit = options.dataReceiveTimeout;
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

    CURLcode result = CURLE_OK;
    for (DWORD attempt = 0;; ++attempt)
    {
        transfer.body.clear();
        transfer.overflow = transfer.answered = transfer.stalled = false;
        transfer.lastDown = transfer.lastUp = -1;
        transfer.lastActivity = std::chrono::steady_clock::now();
        result = Perform(h, session->closed);
        curl_off_t connectTime = 0;
        curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connectTime);
        const bool connectFailed =
            result == CURLE_COULDNT_CONNECT || (result == CURLE_OPERATION_TIMEDOUT && connectTime == 0);
        if (!connectFailed || attempt >= options.connectRetries || session->closed.load())
            break;
    }
    if (session->closed.load())
    {
        SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
        return nullptr;
    }

    if (result != CURLE_OK && !transfer.answered)
    {
        SetLastError(ErrorOf(result));
        return nullptr;
    }
    auto request = std::make_shared<Request>();
    request->body = std::move(transfer.body);
    if (result != CURLE_OK)
        request->pendingError = transfer.overflow ? ERROR_NOT_ENOUGH_MEMORY : ErrorOf(result);
    return reinterpret_cast<HINTERNET>(win32::RegisterKernelObject(request));
}

BOOL InternetReadFile(HINTERNET internet, LPVOID buffer, DWORD toRead, LPDWORD read)
{
    auto request = LookupInternet<Request>(internet);
    if (!request)
    {
        SetLastError(LookupInternet<Session>(internet) ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (read == nullptr || (buffer == nullptr && toRead != 0))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(request->lock);
    *read = 0;
    const std::size_t available = request->body.size() - request->position;
    // A read that needs the part that never arrived fails like the transfer did.
    if (available < toRead && request->pendingError != ERROR_SUCCESS)
    {
        SetLastError(request->pendingError);
        return FALSE;
    }
    const std::size_t n = std::min<std::size_t>(available, toRead);
    if (n > 0)
        std::memcpy(buffer, request->body.data() + request->position, n);
    request->position += n;
    *read = static_cast<DWORD>(n);
    return TRUE;
}

BOOL InternetCloseHandle(HINTERNET internet)
{
    const auto session = LookupInternet<Session>(internet);
    if (session)
        session->closed.store(true);
    if (!session && !LookupInternet<Request>(internet))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(reinterpret_cast<HANDLE>(internet));
}
