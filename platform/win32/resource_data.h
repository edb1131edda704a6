// Resources carried as bytes (bitmaps, images, raw data): found by module,
// type and name, loaded and locked as the platform does. A module registers
// the bytes of each such resource once, usually at start-up; the bytes are
// copied and live until the module unregisters them.
#pragma once

#include "platform/win32/global_memory.h"
#include "platform/win32/resource.h"
#include "platform/win32/types.h"

#include <cstdint>
#include <vector>

VTL_DECLARE_HANDLE(HRSRC);

// Null with ERROR_RESOURCE_TYPE_NOT_FOUND or ERROR_RESOURCE_NAME_NOT_FOUND.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
DWORD SizeofResource(HMODULE module, HRSRC resource);
// The resource's bytes as a read-only global (not to be freed by the caller);
// LockResource gives their address.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL loaded);

namespace win32
{

// Replaces any resource of that module, type and name.
void RegisterResourceData(HMODULE module, LPCWSTR type, LPCWSTR name, std::vector<std::uint8_t> bytes);
void UnregisterResourceData(HMODULE module, LPCWSTR type, LPCWSTR name);

} // namespace win32
