#include "platform/win32/file_mapping.h"

#include "platform/win32/handles.h"

#include <sys/mman.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace
{

// The memory behind a mapping: an anonymous memory file of the mapping's size.
class Section
{
public:
    Section(int fd, std::uint64_t size, DWORD protect, std::wstring name)
        : fd(fd), size(size), protect(protect), name(std::move(name))
    {
    }
    ~Section();
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;

    const int fd;
    const std::uint64_t size;
    const DWORD protect;
    const std::wstring name;
};

// One open handle: the mapping and the access the handle grants.
class MappingHandle : public win32::KernelObject
{
public:
    MappingHandle(std::shared_ptr<Section> section, DWORD access) : section(std::move(section)), access(access) {}
    const std::shared_ptr<Section> section;
    const DWORD access;
};

struct View
{
    std::shared_ptr<Section> section;
    std::size_t length;
};

struct Registry
{
    std::mutex lock;
    std::map<std::wstring, std::weak_ptr<Section>> names;
    std::map<std::uintptr_t, View> views;
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry; // outlives static destructors that unmap
    return *registry;
}

Section::~Section()
{
    ::close(fd);
    if (name.empty())
        return;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.names.find(name);
    // A newer mapping may already carry the name once this one expired.
    if (it != r.names.end() && it->second.expired())
        r.names.erase(it);
}

std::shared_ptr<Section> MakeSection(std::uint64_t size, DWORD protect, const std::wstring& name)
{
    int fd = ::memfd_create("win32-file-mapping", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0)
    {
        ::close(fd);
        return nullptr;
    }
    return std::make_shared<Section>(fd, size, protect, name);
}

} // namespace

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name)
{
    if (file != INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
    if (size == 0 || size > static_cast<std::uint64_t>(INT64_MAX) ||
        (protect != PAGE_READONLY && protect != PAGE_READWRITE))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::wstring key = name ? name : L"";

    std::shared_ptr<Section> section;
    bool existed = false;
    {
        Registry& r = TheRegistry();
        std::unique_lock<std::mutex> guard(r.lock);
        if (!key.empty())
        {
            auto it = r.names.find(key);
            if (it != r.names.end())
                section = it->second.lock();
        }
        existed = section != nullptr;
        if (!existed)
        {
            section = MakeSection(size, protect, key);
            if (!section)
            {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            if (!key.empty())
                r.names[key] = section;
        }
    }
    HANDLE h = win32::RegisterKernelObject(std::make_shared<MappingHandle>(section, FILE_MAP_ALL_ACCESS));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

HANDLE OpenFileMappingW(DWORD desiredAccess, BOOL, LPCWSTR name)
{
    std::shared_ptr<Section> section;
    if (name && *name)
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> guard(r.lock);
        auto it = r.names.find(name);
        if (it != r.names.end())
            section = it->second.lock();
    }
    if (!section)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return win32::RegisterKernelObject(std::make_shared<MappingHandle>(section, desiredAccess));
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes)
{
    auto handle = win32::LookupKernelObjectAs<MappingHandle>(mapping);
    if (!handle)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const bool write = (desiredAccess & FILE_MAP_WRITE) != 0;
    const bool read = write || (desiredAccess & FILE_MAP_READ) != 0;
    if (!read)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const Section& section = *handle->section;
    if ((write && (section.protect != PAGE_READWRITE || (handle->access & FILE_MAP_WRITE) == 0)) ||
        (handle->access & (FILE_MAP_READ | FILE_MAP_WRITE)) == 0)
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::uint64_t offset = (static_cast<std::uint64_t>(offsetHigh) << 32) | offsetLow;
    if (offset % kFileMappingGranularity != 0 || offset >= section.size || bytes > section.size - offset)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::size_t length = bytes ? bytes : static_cast<std::size_t>(section.size - offset);
    void* base = ::mmap(nullptr, length, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, section.fd,
                        static_cast<off_t>(offset));
    if (base == MAP_FAILED)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.views[reinterpret_cast<std::uintptr_t>(base)] = View{handle->section, length};
    return base;
}

BOOL UnmapViewOfFile(LPCVOID base)
{
    View view;
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> guard(r.lock);
        auto it = r.views.find(reinterpret_cast<std::uintptr_t>(base));
        if (it == r.views.end())
        {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        view = std::move(it->second);
        r.views.erase(it);
    }
    ::munmap(const_cast<void*>(base), view.length);
    // The mapping (when this was its last user) goes away here, outside the
    // registry lock that its destructor takes.
    view.section.reset();
    return TRUE;
}
