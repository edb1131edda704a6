// The in-memory form of one registry hive and its file format.
//
// File layout (little-endian):
//   8 bytes   magic "DZREGHV1"
//   u32       key count
//   per key   u32 path length in UTF-16 units, the path (UTF-16LE, components
//             separated by a backslash, no leading one),
//             u32 value count,
//             per value: u32 name length in UTF-16 units, the name,
//                        u32 type, u32 data size in bytes, the data
// Nothing may follow the last key. The parser checks every length against the
// bytes that remain and refuses duplicates, so a damaged file is refused
// whole instead of being half read.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace win32
{

struct RegistryValue
{
    std::wstring name; // empty for the key's default value
    DWORD type = 0;
    std::vector<std::uint8_t> data; // REG_SZ text as UTF-16LE
};

struct RegistryKey
{
    std::wstring path; // as created; the root key has the empty path
    std::vector<RegistryValue> values;

    RegistryValue* FindValue(const std::wstring& name);
    const RegistryValue* FindValue(const std::wstring& name) const;
    void SetValue(const std::wstring& name, DWORD type, std::vector<std::uint8_t> data);
};

class RegistryHive
{
public:
    RegistryHive();

    // Paths are backslash-separated; empty components are ignored, and
    // comparison ignores ASCII case.
    RegistryKey* FindKey(const std::wstring& path);
    const RegistryKey* FindKey(const std::wstring& path) const;
    // Creates the key and every missing key above it; *created tells whether
    // anything was new.
    RegistryKey& CreateKey(const std::wstring& path, bool* created = nullptr);

    std::size_t KeyCount() const { return keys_.size(); }
    const std::map<std::wstring, RegistryKey>& Keys() const { return keys_; }

    std::vector<std::uint8_t> Serialize() const;
    // Replaces this hive by the parsed bytes; false (hive left empty) for
    // anything malformed.
    bool Parse(const std::uint8_t* bytes, std::size_t size);

private:
    std::map<std::wstring, RegistryKey> keys_; // by folded path
};

// "a\\\\B\\" -> "a\\B": the path with empty components removed.
std::wstring NormaliseRegistryPath(const std::wstring& path);
// The comparison form of a name or path (ASCII letters in lower case).
std::wstring FoldRegistryName(const std::wstring& name);

// Longest key-name component and value name that the platform accepts.
inline constexpr std::size_t kMaxRegistryKeyNameLength = 255;
inline constexpr std::size_t kMaxRegistryValueNameLength = 16383;

} // namespace win32
