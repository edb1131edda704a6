// The registry of the stand-in platform layer: one file per user hive.
//
// The current user's hive lives in the directory named by DEZAZ_REGISTRY
// (default $XDG_CONFIG_HOME/dezaz/registry, else ~/.config/dezaz/registry),
// read again whenever another process has replaced it. Every change rewrites
// the whole file into a temporary file that is then renamed over the old one,
// under an inter-process lock, so neither a crash nor two processes writing at
// once leave a torn file or lose the other's value. The file is untrusted: a
// damaged one reads as an empty hive and is kept aside as "<file>.bad" by the
// next write.
//
// Key and value names compare case-insensitively (ASCII) and keep the case
// they were created with.
//
// Text values (REG_SZ) are stored as UTF-16LE, and their sizes are UTF-16
// byte counts as on the original platform: the data of RegSetValueExW and
// RegQueryValueExW is wchar_t text, and cbData counts 2 bytes per wchar_t
// (the terminating zero included when the caller passes one). All other types
// are stored as the raw bytes given.
#pragma once

#include "platform/win32/types.h"

#include <string>

using LSTATUS = LONG;
using REGSAM = DWORD;
using PHKEY = HKEY*;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Creates the key and every missing key above it (written to the file at
// once), or opens it when it exists. *disposition, when given, tells which.
LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                        const SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition);

// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);

// Writes a value (a null or empty name is the key's default value). Needs
// KEY_SET_VALUE on the handle.
LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD cbData);

// Reads a value. With data null, *cbData receives the stored size. With a
// buffer smaller than the value the call fails with ERROR_MORE_DATA, copies
// nothing and reports the size needed in *cbData. *type receives the type
// whenever the value exists. ERROR_FILE_NOT_FOUND for a missing value.
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD cbData);

// Closes a handle from RegCreateKeyExW or RegOpenKeyExW (the predefined keys
// need no closing); ERROR_INVALID_HANDLE for anything else.
LSTATUS RegCloseKey(HKEY key);

namespace win32
{

// The file that holds the current user's hive, from the environment at the
// time of the call (tests point DEZAZ_REGISTRY at a temporary directory).
std::string CurrentUserHivePath();

} // namespace win32
