// Byte streams in the component-object style (reference counted, HRESULT
// results) and the stream over a global memory block that image decoders
// read resources through.
#pragma once

#include "platform/win32/global_memory.h"
#include "platform/win32/guid.h" // S_OK, E_FAIL, E_INVALIDARG, SUCCEEDED, FAILED
#include "platform/win32/types.h"

inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001);
inline constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009);

inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

struct IStream
{
    virtual ULONG AddRef() = 0;
    // Deletes the stream when the count falls to 0; returns the new count.
    virtual ULONG Release() = 0;
    // Reads up to `bytes`; *read (when given) receives what was read. S_FALSE
    // when fewer bytes than asked remained.
    virtual HRESULT Read(void* buffer, ULONG bytes, ULONG* read) = 0;
    virtual HRESULT Write(const void* buffer, ULONG bytes, ULONG* written) = 0;
    // Moves the position (a negative result is refused); *position receives
    // the new one.
    virtual HRESULT Seek(LONGLONG move, DWORD origin, ULONGLONG* position) = 0;
    virtual HRESULT GetSize(ULONGLONG* size) = 0;

protected:
    virtual ~IStream() = default;
};

// A stream over the block's bytes, starting at position 0 with a reference
// count of 1. With deleteOnRelease the block is freed with the stream;
// otherwise the caller frees it, after the last stream reference is gone.
// A null block makes a new, empty one.
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);
