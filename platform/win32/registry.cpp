#include "platform/win32/registry.h"

#include "platform/win32/codepage.h"
#include "platform/win32/registry_hive.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <unordered_map>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr ULONG_PTR kCurrentUserValue = 0x80000001u;
constexpr const char* kHiveFileName = "current_user.hive";

struct OpenKey
{
    std::wstring path; // normalised, as the hive stores it
    REGSAM access = 0;
};

// Identity of the hive file as last read; a rename by any process changes
// the inode, so a changed identity means the file must be read again.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    long long mtimeNs = -1;
    bool operator==(const FileIdentity&) const = default;
};

struct RegistryState
{
    std::mutex lock;
    std::unordered_map<ULONG_PTR, OpenKey> handles;
    ULONG_PTR nextHandle = 0x3000; // steps by 4, never reused
    std::string cachedPath;
    std::optional<FileIdentity> cachedIdentity;
    win32::RegistryHive cachedHive;
};

RegistryState& State()
{
    static RegistryState* state = new RegistryState; // outlives static destructors closing keys
    return *state;
}

std::optional<FileIdentity> Identify(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino, st.st_size,
                        static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

// Reads and parses the hive file. A missing file is an empty hive; a damaged
// or unreadable one is an empty hive with *damaged set.
win32::RegistryHive ReadHiveFile(const std::string& path, bool* damaged)
{
    if (damaged)
        *damaged = false;
    win32::RegistryHive hive;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return hive;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!hive.Parse(bytes.data(), bytes.size()) && damaged)
        *damaged = true;
    return hive;
}

// The hive as it is on disk now, through the cache. Caller holds State().lock.
const win32::RegistryHive& CurrentHive(RegistryState& s)
{
    std::string path = win32::CurrentUserHivePath();
    std::optional<FileIdentity> id = Identify(path);
    if (path != s.cachedPath || id != s.cachedIdentity || !id)
    {
        s.cachedHive = ReadHiveFile(path, nullptr);
        s.cachedPath = path;
        s.cachedIdentity = id;
    }
    return s.cachedHive;
}

// Holds the inter-process lock of the hive while a change is read, applied
// and written back.
class HiveFileLock
{
public:
    explicit HiveFileLock(const std::string& hivePath)
    {
        fd_ = ::open((hivePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0)
        {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~HiveFileLock()
    {
        if (fd_ >= 0)
        {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    HiveFileLock(const HiveFileLock&) = delete;
    HiveFileLock& operator=(const HiveFileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size())
    {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// Applies change to the hive on disk: read it fresh under the file lock,
// change it, write a temporary file and rename it over the old one.
template <class Change> LSTATUS ChangeHive(RegistryState& s, Change&& change)
{
    std::string path = win32::CurrentUserHivePath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    HiveFileLock fileLock(path);
    if (!fileLock.Held())
        return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);

    bool damaged = false;
    win32::RegistryHive hive = ReadHiveFile(path, &damaged);
    bool modified = false;
    LSTATUS status = change(hive, modified);
    if (status != static_cast<LSTATUS>(ERROR_SUCCESS) || !modified)
        return status;

    if (damaged)
        std::filesystem::rename(path, path + ".bad", ec); // keep what could not be read
    std::string temp = path + ".tmp";
    if (!WriteWholeFile(temp, hive.Serialize()) || ::rename(temp.c_str(), path.c_str()) != 0)
    {
        ::unlink(temp.c_str());
        return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
    }
    s.cachedHive = std::move(hive);
    s.cachedPath = path;
    s.cachedIdentity = Identify(path);
    return static_cast<LSTATUS>(ERROR_SUCCESS);
}

// The path of key + subKey; false for a handle that is not open or a name
// the platform would refuse.
bool ResolvePath(RegistryState& s, HKEY key, LPCWSTR subKey, std::wstring& path, REGSAM* parentAccess)
{
    auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value == kCurrentUserValue)
    {
        path.clear();
        if (parentAccess)
            *parentAccess = KEY_ALL_ACCESS;
    }
    else
    {
        auto it = s.handles.find(value);
        if (it == s.handles.end())
            return false;
        path = it->second.path;
        if (parentAccess)
            *parentAccess = it->second.access;
    }
    if (subKey != nullptr && *subKey != L'\0')
    {
        std::wstring sub = win32::NormaliseRegistryPath(subKey);
        std::size_t start = 0;
        while (start < sub.size())
        {
            std::size_t end = sub.find(L'\\', start);
            if (end == std::wstring::npos)
                end = sub.size();
            if (end - start > win32::kMaxRegistryKeyNameLength)
                return false;
            start = end + 1;
        }
        if (!sub.empty())
            path = path.empty() ? sub : path + L'\\' + sub;
    }
    return true;
}

bool IsKnownHandle(RegistryState& s, HKEY key)
{
    auto value = reinterpret_cast<ULONG_PTR>(key);
    return value == kCurrentUserValue || s.handles.count(value) != 0;
}

HKEY NewHandle(RegistryState& s, const std::wstring& path, REGSAM access)
{
    ULONG_PTR value = s.nextHandle;
    s.nextHandle += 4;
    s.handles.emplace(value, OpenKey{path, access});
    return reinterpret_cast<HKEY>(value);
}

// Text values arrive and leave as wchar_t text whose sizes count 2 bytes per
// character; copied unit by unit so that unaligned buffers are fine.
std::vector<std::uint8_t> EncodeValueData(DWORD type, const BYTE* data, DWORD cbData)
{
    std::vector<std::uint8_t> stored;
    if (data == nullptr || cbData == 0)
        return stored;
    if (type != REG_SZ)
        return std::vector<std::uint8_t>(data, data + cbData);
    std::wstring text(cbData / 2, L'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    win32::AppendUtf16Le(stored, text.data(), text.size());
    return stored;
}

void DecodeValueData(const win32::RegistryValue& value, BYTE* out)
{
    if (value.type != REG_SZ)
    {
        if (!value.data.empty()) // an empty value's data may be null, which memcpy must not see
            std::memcpy(out, value.data.data(), value.data.size());
        return;
    }
    std::wstring text = win32::DecodeUtf16Le(value.data.data(), value.data.size());
    std::memcpy(out, text.data(), text.size() * sizeof(wchar_t));
}

} // namespace

namespace win32
{

std::string CurrentUserHivePath()
{
    std::filesystem::path dir;
    if (const char* explicitDir = std::getenv("DEZAZ_REGISTRY"); explicitDir && *explicitDir)
        dir = explicitDir;
    else if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        dir = std::filesystem::path(config) / "dezaz" / "registry";
    else if (const char* home = std::getenv("HOME"); home && *home)
        dir = std::filesystem::path(home) / ".config" / "dezaz" / "registry";
    else
        dir = std::filesystem::temp_directory_path() / "dezaz-registry";
    return (dir / kHiveFileName).string();
}

} // namespace win32

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*keyClass*/, DWORD /*options*/,
                        REGSAM access, const SECURITY_ATTRIBUTES* /*security*/, PHKEY result, LPDWORD disposition)
{
    if (result == nullptr)
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    std::wstring path;
    REGSAM parentAccess = 0;
    if (!IsKnownHandle(s, key))
        return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    if (!ResolvePath(s, key, subKey, path, &parentAccess))
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);

    bool created = false;
    if (CurrentHive(s).FindKey(path) == nullptr)
    {
        if ((parentAccess & KEY_CREATE_SUB_KEY) == 0)
            return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
        LSTATUS status = ChangeHive(s, [&](win32::RegistryHive& hive, bool& modified) {
            hive.CreateKey(path, &created);
            modified = created;
            return static_cast<LSTATUS>(ERROR_SUCCESS);
        });
        if (status != static_cast<LSTATUS>(ERROR_SUCCESS))
            return status;
    }
    *result = NewHandle(s, path, access);
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM access, PHKEY result)
{
    if (result == nullptr)
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    std::wstring path;
    if (!IsKnownHandle(s, key))
        return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    if (!ResolvePath(s, key, subKey, path, nullptr))
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    if (CurrentHive(s).FindKey(path) == nullptr)
        return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    *result = NewHandle(s, path, access);
    return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data, DWORD cbData)
{
    if (data == nullptr && cbData != 0)
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    std::wstring name = valueName ? valueName : L"";
    if (name.size() > win32::kMaxRegistryValueNameLength)
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    std::wstring path;
    REGSAM access = 0;
    if (!IsKnownHandle(s, key) || !ResolvePath(s, key, nullptr, path, &access))
        return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    if ((access & KEY_SET_VALUE) == 0)
        return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
    std::vector<std::uint8_t> stored = EncodeValueData(type, data, cbData);
    return ChangeHive(s, [&](win32::RegistryHive& hive, bool& modified) {
        // The key exists while its handle is open; a hive file replaced by
        // hand meanwhile gets it back rather than losing the value.
        hive.CreateKey(path).SetValue(name, type, stored);
        modified = true;
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                         LPDWORD cbData)
{
    if (data != nullptr && cbData == nullptr)
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    std::wstring path;
    REGSAM access = 0;
    if (!IsKnownHandle(s, key) || !ResolvePath(s, key, nullptr, path, &access))
        return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    if ((access & KEY_QUERY_VALUE) == 0)
        return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
    const win32::RegistryKey* k = CurrentHive(s).FindKey(path);
    const win32::RegistryValue* v = k ? k->FindValue(valueName ? valueName : L"") : nullptr;
    if (v == nullptr)
        return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    if (type)
        *type = v->type;
    auto size = static_cast<DWORD>(v->data.size());
    if (data == nullptr)
    {
        if (cbData)
            *cbData = size;
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    }
    if (*cbData < size)
    {
        *cbData = size;
        return static_cast<LSTATUS>(ERROR_MORE_DATA);
    }
    DecodeValueData(*v, data);
    *cbData = size;
    return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegCloseKey(HKEY key)
{
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value == kCurrentUserValue)
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    if (s.handles.erase(value) == 0)
        return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    return static_cast<LSTATUS>(ERROR_SUCCESS);
}
