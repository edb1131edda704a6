// UUIDs of the geometry library: the Windows GUID struct (u32, u16, u16,
// 8 bytes), also as they are laid out in archives.
#pragma once

#include "platform/geometry/wide_string.h"
#include "platform/win32/types.h"

using ON_UUID = GUID;

extern const ON_UUID ON_nil_uuid;

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (hex digits of either case),
// optionally inside braces and surrounded by spaces. Anything else, or null,
// gives the nil uuid.
ON_UUID ON_UuidFromString(const char* s);
ON_UUID ON_UuidFromString(const wchar_t* s);
// Upper-case registry form without braces.
ON_wString ON_UuidToString(const ON_UUID& id);
bool ON_UuidIsNil(const ON_UUID& id);
bool ON_UuidIsNotNil(const ON_UUID& id);
// A total order: Data1, Data2, Data3, then the bytes of Data4.
int ON_UuidCompare(const ON_UUID& a, const ON_UUID& b);
