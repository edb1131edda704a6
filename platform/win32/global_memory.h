// Movable global memory blocks: the form in which resources and clipboard
// data are handed between components (a handle that is locked to reach its
// bytes). Blocks never move here, but callers still lock them.
#pragma once

#include "platform/win32/types.h"

VTL_DECLARE_HANDLE(HGLOBAL__);
using HGLOBAL = HGLOBAL__;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Null with ERROR_NOT_ENOUGH_MEMORY when the block cannot be had.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Null for a stale handle (ERROR_INVALID_HANDLE) or a block of 0 bytes.
LPVOID GlobalLock(HGLOBAL block);
// TRUE while the block is still locked by someone.
BOOL GlobalUnlock(HGLOBAL block);
SIZE_T GlobalSize(HGLOBAL block);
// Null on success, the handle itself when it is not a live block.
HGLOBAL GlobalFree(HGLOBAL block);

namespace win32
{

bool IsGlobalBlock(HGLOBAL block);
// Blocks allocated and not yet freed; tests use it to find leaked blocks.
std::size_t LiveGlobalBlockCount();

} // namespace win32
