// GUID creation of the stand-in platform layer: random (version 4) GUIDs,
// laid out as the platform lays them out (Data1..Data3 little-endian in the
// 16 bytes that files store).
#pragma once

#include "platform/win32/types.h"

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);

// Fills *guid with a new random GUID; E_INVALIDARG for null.
HRESULT CoCreateGuid(GUID* guid);

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }
