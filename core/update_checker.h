// The update check: once per load of the plug-in a worker thread reads the
// plug-in's own version, asks the publisher's server for the version it
// offers, tells a window when that one is newer, and pings the server with
// the running version. Every failure means "no newer version", silently.
#pragma once

#include "core/worker_thread.h"
#include "platform/win32/win32.h"
#include "platform/wininet/wininet.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// The publisher's server; the update-information text and the version ping
// live below it.
inline constexpr const wchar_t* kUpdateServer = L"http://www.pellmark.example/";
std::wstring UpdateInformationAddress(const std::wstring& server);
std::wstring VersionPingAddress(const std::wstring& server, const std::wstring& versionText);

// A four-part version as the version resource packs it: MS = major:minor,
// LS = build:revision.
struct stVersionNumber
{
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t revision = 0;
};

// Reads the update-information text: UTF-16LE after a byte-order mark, four
// decimal fields major|minor|build|revision. A missing field counts as 0 and
// a field keeps the low 16 bits of its value. The bytes come from the
// network: false for text without the byte-order mark; never reads past
// `count`.
bool ParseUpdateInformation(const std::uint8_t* bytes, std::size_t count, stVersionNumber& offered);
// Most significant part first; equal versions are not newer.
bool IsNewerVersion(const stVersionNumber& offered, DWORD runningMS, DWORD runningLS);

// Lets another thread end a check whose server is slow or silent, so that
// the plug-in can go without waiting for the network's time-outs: Cancel
// closes the connection being opened, and the check then ends without a
// notice or a ping.
class cUpdateCheckCancel
{
public:
    void Cancel();
    bool IsCancelled() const;
    // The session of the request being opened; false (nothing kept) once
    // cancelled. Untrack before the session is closed.
    bool Track(HINTERNET session);
    void Untrack();

private:
    mutable std::mutex m_lock;
    bool m_cancelled = false;
    HINTERNET m_session = nullptr;
};

class cSoftwareUpdatesChecker
{
public:
    // The address of the update-information text; the caller fills it.
    std::wstring m_updateInfoAddress;
    // Optional; lets another thread end the requests.
    cUpdateCheckCancel* m_cancel = nullptr;

    virtual ~cSoftwareUpdatesChecker() = default;

    // The full path of the module that holds this code; empty on failure.
    static std::wstring GetModulePath();
    // The file version of that module from its version resource.
    bool GetModuleVersion(DWORD& versionMS, DWORD& versionLS);
    // Fetches the update-information text and compares it with the running
    // version; false on any failure.
    bool IsNewerVersionAvailable(DWORD versionMS, DWORD versionLS);
    // Opens the address and closes it at once; the address itself carries
    // the information. Failures are ignored.
    void PingVersion(const std::wstring& address);

    // The time-outs (ms) and connect retries of both requests.
    static constexpr DWORD kTimeout = 1000;
    static constexpr DWORD kConnectRetries = 4;
    // The update-information text is never longer than this.
    static constexpr DWORD kMaxInformationBytes = 1024;
};

// What the update-check thread needs; owned and freed by RunUpdateCheck.
struct stUpdateCheckRequest
{
    // Receives the registered message "_NEW_VTL_SOFTWARE_AVAILABLE" (both
    // parameters 0) when a newer version is offered and it still exists.
    HWND notifyWindow = nullptr;
    std::wstring server = kUpdateServer;
    // Shared with the starter, which may end the check early.
    std::shared_ptr<cUpdateCheckCancel> cancel;
};

// The thread body: version, comparison, notice, ping. Takes ownership of its
// stUpdateCheckRequest argument.
void RunUpdateCheck(void* request);
// Starts RunUpdateCheck on a one-shot worker thread; the caller owns (and
// finally deletes) the returned thread object. Null when the thread cannot
// start; the request is freed either way.
cWorkerThread* StartUpdateCheck(stUpdateCheckRequest* request);
