#include "platform/win32/handles.h"

#include <mutex>
#include <unordered_map>

namespace
{

struct HandleTable
{
    std::mutex lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<win32::KernelObject>> objects;
    // Handle values step by 4 like the original platform's and start well
    // away from null and from INVALID_HANDLE_VALUE.
    std::uintptr_t next = 0x1000;
};

HandleTable& Table()
{
    static HandleTable* table = new HandleTable; // outlives static destructors that close handles
    return *table;
}

thread_local DWORD g_lastError = ERROR_SUCCESS;

} // namespace

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD code) { g_lastError = code; }

namespace win32
{

HANDLE RegisterKernelObject(std::shared_ptr<KernelObject> obj)
{
    if (!obj)
        return nullptr;
    HandleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    std::uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(obj));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupKernelObject(HANDLE h)
{
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return nullptr;
    HandleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
    return it == t.objects.end() ? nullptr : it->second;
}

std::size_t OpenKernelHandleCount()
{
    HandleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.objects.size();
}

} // namespace win32

BOOL CloseHandle(HANDLE h)
{
    std::shared_ptr<win32::KernelObject> released;
    {
        HandleTable& t = Table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
        if (h == nullptr || h == INVALID_HANDLE_VALUE || it == t.objects.end())
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        released = std::move(it->second);
        t.objects.erase(it);
    }
    // The object (if this was its last reference) is destroyed here, outside
    // the table lock, so its destructor may itself use handles.
    released.reset();
    return TRUE;
}
