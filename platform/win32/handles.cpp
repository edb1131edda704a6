#include "platform/win32/handles.h"

#include "platform/win32/handle_table.h"

namespace
{

// Handle values start well away from null and from INVALID_HANDLE_VALUE.
win32::tHandleTable<win32::KernelObject>& Table()
{
    // Outlives static destructors that close handles.
    static auto* table = new win32::tHandleTable<win32::KernelObject>(0x1000);
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
    return reinterpret_cast<HANDLE>(Table().Register(std::move(obj)));
}

std::shared_ptr<KernelObject> LookupKernelObject(HANDLE h)
{
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return nullptr;
    return Table().Lookup(reinterpret_cast<std::uintptr_t>(h));
}

std::size_t OpenKernelHandleCount()
{
    return Table().Count();
}

} // namespace win32

BOOL CloseHandle(HANDLE h)
{
    std::shared_ptr<win32::KernelObject> released;
    if (h != nullptr && h != INVALID_HANDLE_VALUE)
        released = Table().Remove(reinterpret_cast<std::uintptr_t>(h));
    if (!released)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // The object (if this was its last reference) is destroyed here, outside
    // the table lock, so its destructor may itself use handles.
    released.reset();
    return TRUE;
}
