// The kernel handle table: every kernel object (event, thread, file mapping,
// ...) is registered here and reached through an opaque HANDLE. Handle values
// are never reused, so a closed handle stays invalid for the life of the
// process instead of silently naming a newer object.
#pragma once

#include "platform/win32/types.h"

#include <memory>

namespace win32
{

// Base of every object that a HANDLE can name. Kinds derive from it; the
// table keeps a shared reference per open handle, so an object lives until
// its last handle is closed and every in-flight user has let go.
class KernelObject
{
public:
    virtual ~KernelObject() = default;
};

// Registers the object and returns a fresh handle (null when obj is null).
HANDLE RegisterKernelObject(std::shared_ptr<KernelObject> obj);

// The object behind an open handle, or null (closed, unknown or
// INVALID_HANDLE_VALUE).
std::shared_ptr<KernelObject> LookupKernelObject(HANDLE h);

template <class T> std::shared_ptr<T> LookupKernelObjectAs(HANDLE h)
{
    return std::dynamic_pointer_cast<T>(LookupKernelObject(h));
}

// Number of open handles; tests use it to find leaked handles.
std::size_t OpenKernelHandleCount();

} // namespace win32

// Closes an open handle; FALSE with ERROR_INVALID_HANDLE for anything else.
BOOL CloseHandle(HANDLE h);
