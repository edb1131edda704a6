#include "core/update_checker.h"

#include "platform/wininet/wininet.h"
#include "vtl_version.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cwchar>
#include <memory>
#include <vector>

// The module's version resource, from the build's version number. It sits
// with its reader so that every module that can check for updates has one.
VTL_MODULE_VERSION_RESOURCE(VTL_VERSION_MAJOR, VTL_VERSION_MINOR, VTL_VERSION_BUILD, VTL_VERSION_REVISION);

std::wstring UpdateInformationAddress(const std::wstring& server) { return server + L"download/update_info4.txt"; }

std::wstring VersionPingAddress(const std::wstring& server, const std::wstring& versionText)
{
    return server + L"download/update_check.php?Version=" + versionText;
}

namespace
{

// A decimal field read the way the platform's wide-to-long conversion reads
// it: leading blanks, a sign, digits up to the first other character,
// saturated to the 32-bit range; the version keeps its low 16 bits.
std::uint16_t FieldValue(const std::wstring& field)
{
    errno = 0;
    long long value = std::wcstoll(field.c_str(), nullptr, 10);
    if (value > INT32_MAX)
        value = INT32_MAX;
    if (value < INT32_MIN)
        value = INT32_MIN;
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(value)) & 0xFFFF);
}

} // namespace

bool ParseUpdateInformation(const std::uint8_t* bytes, std::size_t count, stVersionNumber& offered)
{
    // Without the byte-order mark this is not the update-information text
    // (an error page, say), and skipping two bytes would eat a character.
    if (bytes == nullptr || count < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE)
        return false;
    // An odd last byte is half a character and is left out; the text also
    // ends at an embedded zero character, as a terminated string would.
    std::wstring text;
    text.reserve((count - 2) / 2);
    for (std::size_t i = 2; i + 1 < count; i += 2)
    {
        const wchar_t unit = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == L'\0')
            break;
        text.push_back(unit);
    }

    std::uint16_t fields[4] = {0, 0, 0, 0};
    std::size_t start = 0;
    for (int f = 0; f < 4 && start <= text.size(); ++f)
    {
        std::size_t end = text.find(L'|', start);
        if (end == std::wstring::npos)
            end = text.size();
        fields[f] = FieldValue(text.substr(start, end - start));
        start = end + 1;
    }
    offered = {fields[0], fields[1], fields[2], fields[3]};
    return true;
}

bool IsNewerVersion(const stVersionNumber& offered, DWORD runningMS, DWORD runningLS)
{
    const std::uint16_t running[4] = {HIWORD(runningMS), LOWORD(runningMS), HIWORD(runningLS), LOWORD(runningLS)};
    const std::uint16_t server[4] = {offered.major, offered.minor, offered.build, offered.revision};
    for (int i = 0; i < 4; ++i)
        if (server[i] != running[i])
            return server[i] > running[i];
    return false;
}

namespace
{

void FunctionInThisModule() {}

struct cInternetHandle
{
    explicit cInternetHandle(HINTERNET h) : handle(h) {}
    ~cInternetHandle()
    {
        if (handle != nullptr)
            InternetCloseHandle(handle);
    }
    cInternetHandle(const cInternetHandle&) = delete;
    cInternetHandle& operator=(const cInternetHandle&) = delete;
    HINTERNET handle;
};

// Session and URL request of both network operations.
struct stConnection
{
    ~stConnection()
    {
        // Before the session's handle is closed: no cancel may close it after.
        if (tracked)
            tracked->Untrack();
    }
    std::unique_ptr<cInternetHandle> session;
    std::unique_ptr<cInternetHandle> url;
    cUpdateCheckCancel* tracked = nullptr;
};

bool OpenConnection(const std::wstring& address, stConnection& connection, cUpdateCheckCancel* cancel)
{
    connection.session = std::make_unique<cInternetHandle>(
        InternetOpenW(L"Update check", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (connection.session->handle == nullptr)
        return false;
    if (cancel)
    {
        if (!cancel->Track(connection.session->handle))
            return false;
        connection.tracked = cancel;
    }
    DWORD timeout = cSoftwareUpdatesChecker::kTimeout;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        InternetSetOptionW(connection.session->handle, option, &timeout, sizeof timeout);
    DWORD retries = cSoftwareUpdatesChecker::kConnectRetries;
    InternetSetOptionW(connection.session->handle, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);

    constexpr DWORD kFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE | 0x1;
    connection.url = std::make_unique<cInternetHandle>(
        InternetOpenUrlW(connection.session->handle, address.c_str(), nullptr, 0, kFlags, 0));
    return connection.url->handle != nullptr;
}

} // namespace

void cUpdateCheckCancel::Cancel()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_cancelled = true;
    // Closing the session ends the request being opened on it at once; the
    // worker's own close of the handle then finds it gone.
    if (m_session != nullptr)
        InternetCloseHandle(m_session);
    m_session = nullptr;
}

bool cUpdateCheckCancel::IsCancelled() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_cancelled;
}

bool cUpdateCheckCancel::Track(HINTERNET session)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_cancelled)
        return false;
    m_session = session;
    return true;
}

void cUpdateCheckCancel::Untrack()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_session = nullptr;
}

std::wstring cSoftwareUpdatesChecker::GetModulePath()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&FunctionInThisModule), &module))
        return std::wstring();
    constexpr DWORD kMaxPath = 520;
    std::array<wchar_t, kMaxPath> path{};
    const DWORD length = GetModuleFileNameW(module, path.data(), kMaxPath);
    // A cut path would name some other file.
    if (length == 0 || length >= kMaxPath)
        return std::wstring();
    return std::wstring(path.data(), length);
}

bool cSoftwareUpdatesChecker::GetModuleVersion(DWORD& versionMS, DWORD& versionLS)
{
    const std::wstring path = GetModulePath();
    if (path.empty())
        return false;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return false;
    std::vector<std::uint8_t> block(size);
    if (!GetFileVersionInfoW(path.c_str(), handle, size, block.data()))
        return false;
    LPVOID fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", &fixed, &length) || fixed == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO))
        return false;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    versionMS = info->dwFileVersionMS;
    versionLS = info->dwFileVersionLS;
    return true;
}

bool cSoftwareUpdatesChecker::IsNewerVersionAvailable(DWORD versionMS, DWORD versionLS)
{
    stConnection connection;
    if (!OpenConnection(m_updateInfoAddress, connection, m_cancel))
        return false;
    // Room for a terminator after the longest text, although the text is
    // parsed by its byte count.
    std::array<std::uint8_t, kMaxInformationBytes + 2> buffer{};
    DWORD read = 0;
    if (!InternetReadFile(connection.url->handle, buffer.data(), kMaxInformationBytes, &read) || read == 0 ||
        read > kMaxInformationBytes)
        return false;
    stVersionNumber offered;
    return ParseUpdateInformation(buffer.data(), read, offered) && IsNewerVersion(offered, versionMS, versionLS);
}

void cSoftwareUpdatesChecker::PingVersion(const std::wstring& address)
{
    stConnection connection;
    OpenConnection(address, connection, m_cancel);
}

void RunUpdateCheck(void* argument)
{
    std::unique_ptr<stUpdateCheckRequest> request(static_cast<stUpdateCheckRequest*>(argument));
    if (!request)
        return;
    cSoftwareUpdatesChecker checker;
    checker.m_updateInfoAddress = UpdateInformationAddress(request->server);
    checker.m_cancel = request->cancel.get();
    const auto cancelled = [&] { return request->cancel && request->cancel->IsCancelled(); };
    DWORD versionMS = 0;
    DWORD versionLS = 0;
    if (checker.GetModuleVersion(versionMS, versionLS) && checker.IsNewerVersionAvailable(versionMS, versionLS) &&
        !cancelled() && IsWindow(request->notifyWindow))
    {
        static const UINT kNewVersionMessage = RegisterWindowMessageW(L"_NEW_VTL_SOFTWARE_AVAILABLE");
        PostMessageW(request->notifyWindow, kNewVersionMessage, 0, 0);
    }
    // The ping goes out whatever the check found, unless the check was ended.
    if (cancelled())
        return;
    const std::string text = VTL_VERSION_TEXT;
    checker.PingVersion(VersionPingAddress(request->server, std::wstring(text.begin(), text.end())));
}

cWorkerThread* StartUpdateCheck(stUpdateCheckRequest* request)
{
    if (request == nullptr)
        return nullptr;
    auto* block = new (std::nothrow) stWorkerThreadBlock{request, RunUpdateCheck};
    cWorkerThread* thread = block != nullptr ? CreateWorkerThread(block) : nullptr;
    if (thread == nullptr)
        delete request; // the thread never ran, so nothing else frees it
    return thread;
}
