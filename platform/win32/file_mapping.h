// Named file mappings backed by the paging file: blocks of zero-filled memory
// that several parts of the process find by name and see through views.
//
// Only this process sees them (each mapping is an anonymous memory file);
// the names form one namespace for all mappings of the process. A mapping
// lives while a handle or a view of it is open; its name is free again after
// that. Mapping an ordinary file is not supported.
#pragma once

#include "platform/win32/types.h"

// Page protections of a mapping.
inline constexpr DWORD PAGE_READONLY = 0x02;
inline constexpr DWORD PAGE_READWRITE = 0x04;

// Access rights of a mapping handle and of its views.
inline constexpr DWORD FILE_MAP_WRITE = 0x0002;
inline constexpr DWORD FILE_MAP_READ = 0x0004;
inline constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

// Views start at multiples of this many bytes into the mapping.
inline constexpr DWORD kFileMappingGranularity = 0x10000;

// Creates a mapping of the given size on the paging file (file must be
// INVALID_HANDLE_VALUE) or, when a mapping of that name exists, opens it and
// sets the last error to ERROR_ALREADY_EXISTS (its size and protection stay).
// A new mapping sets the last error to ERROR_SUCCESS. Null on failure: a size
// of 0 or protection other than PAGE_READONLY / PAGE_READWRITE
// (ERROR_INVALID_PARAMETER), a file handle (ERROR_INVALID_HANDLE), no memory
// (ERROR_NOT_ENOUGH_MEMORY). A null or empty name makes an unnamed mapping.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name);

// Opens the existing mapping of that name with the given access; null with
// ERROR_FILE_NOT_FOUND when there is none.
HANDLE OpenFileMappingW(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name);

// Maps `bytes` bytes from the offset (0 = up to the end) with FILE_MAP_READ,
// FILE_MAP_WRITE (read and write) or FILE_MAP_ALL_ACCESS. Every view has an
// address of its own; all views of a mapping share the same memory. Null on
// failure: no mapping handle (ERROR_INVALID_HANDLE), write access to a
// read-only mapping or through a read-only handle (ERROR_ACCESS_DENIED), an
// offset off the granularity or a range beyond the end (ERROR_INVALID_PARAMETER).
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);

// Unmaps the view that starts at base; FALSE with ERROR_INVALID_ADDRESS for
// any other address.
BOOL UnmapViewOfFile(LPCVOID base);
