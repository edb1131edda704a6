#include "core/registry_store.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

// Appends src to dst without letting dst exceed cap - 1 characters.
void AppendCut(wchar_t* dst, std::size_t cap, const wchar_t* src)
{
    std::size_t used = std::wcslen(dst);
    while (*src != L'\0' && used + 1 < cap)
        dst[used++] = *src++;
    dst[used] = L'\0';
}

// The number part of a setting text as ASCII: leading blanks skipped, a '+'
// dropped (the conversion below takes only '-'), stopped at the first
// character that cannot belong to a number.
std::string NumberPrefix(const wchar_t* text)
{
    while (*text == L' ' || *text == L'\t' || *text == L'\n' || *text == L'\r' || *text == L'\v' || *text == L'\f')
        ++text;
    std::string ascii;
    if (*text == L'+')
        ++text;
    for (; *text != L'\0' && *text < 0x80; ++text)
        ascii += static_cast<char>(*text);
    return ascii;
}

} // namespace

bool ParseSettingInt(const wchar_t* text, int* value)
{
    if (text == nullptr || value == nullptr)
        return false;
    std::string digits = NumberPrefix(text);
    long long parsed = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (ec != std::errc() || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

bool ParseSettingFloat(const wchar_t* text, float* value)
{
    if (text == nullptr || value == nullptr)
        return false;
    std::string digits = NumberPrefix(text);
    float parsed = 0.0f;
    auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), parsed, std::chars_format::general);
    // "nan" and "inf" parse but are never a usable setting.
    if (ec != std::errc() || !std::isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}

cRegistryStore::cRegistryStore() : m_rootKey(HKEY_CURRENT_USER), m_basePath{}, m_productName{} {}

void cRegistryStore::Init(const wchar_t* company, const wchar_t* product)
{
    m_rootKey = HKEY_CURRENT_USER;
    m_basePath[0] = L'\0';
    AppendCut(m_basePath, kPathLength, L"SOFTWARE\\");
    if (company != nullptr)
    {
        AppendCut(m_basePath, kPathLength, company);
        AppendCut(m_basePath, kPathLength, L"\\");
    }
    m_productName[0] = L'\0';
    if (product != nullptr)
    {
        AppendCut(m_basePath, kPathLength, product);
        AppendCut(m_productName, kPathLength, product);
    }
}

void cRegistryStore::BuildKeyPath(const wchar_t* section, wchar_t (&path)[kPathLength]) const
{
    path[0] = L'\0';
    AppendCut(path, kPathLength, m_basePath);
    if (section != nullptr)
    {
        AppendCut(path, kPathLength, L"\\");
        AppendCut(path, kPathLength, section);
    }
}

bool cRegistryStore::ReadValue(const wchar_t* section, const wchar_t* name, DWORD* type, void* data,
                               DWORD* length) const
{
    if (length == nullptr || (data == nullptr && *length != 0))
        return false;
    wchar_t path[kPathLength];
    BuildKeyPath(section, path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(m_rootKey, path, 0, KEY_QUERY_VALUE, &key) != static_cast<LSTATUS>(ERROR_SUCCESS))
        return false;
    DWORD storedType = 0;
    DWORD storedSize = 0;
    bool ok = RegQueryValueExW(key, name, nullptr, &storedType, nullptr, &storedSize) ==
              static_cast<LSTATUS>(ERROR_SUCCESS);
    // The value is read into a buffer of our own, large enough whatever type
    // it has by the second query: text arrives as wchar_t, which takes more
    // room than its two registry bytes. Only then is it known how many bytes
    // the caller's buffer must hold, so a text value stored under a name the
    // caller reads as a binary record cannot run past that record.
    std::vector<std::uint8_t> value;
    DWORD read = storedSize;
    DWORD readType = 0;
    if (ok)
    {
        value.resize((static_cast<std::size_t>(storedSize) / 2 + 1) * sizeof(wchar_t) + storedSize);
        ok = RegQueryValueExW(key, name, nullptr, &readType, value.data(), &read) ==
             static_cast<LSTATUS>(ERROR_SUCCESS);
    }
    RegCloseKey(key);
    if (!ok)
        return false;
    const std::size_t bytes = readType == REG_SZ ? static_cast<std::size_t>(read) / 2 * sizeof(wchar_t) : read;
    if (bytes > *length)
        return false; // longer than the caller's buffer
    if (bytes != 0)
        std::memcpy(data, value.data(), bytes);
    *length = read;
    if (type)
        *type = readType;
    return true;
}

bool cRegistryStore::ReadText(const wchar_t* section, const wchar_t* name, wchar_t (&text)[kPathLength]) const
{
    // 2048 registry bytes are kPathLength characters. The buffer starts
    // zeroed and the text is ended at the bytes actually read: a stored text
    // without its terminator must not run on into stale characters.
    std::memset(text, 0, sizeof text);
    DWORD type = 0;
    DWORD length = sizeof text;
    if (!ReadValue(section, name, &type, text, &length) || type != REG_SZ)
        return false;
    std::size_t end = length / 2;
    text[end < kPathLength - 1 ? end : kPathLength - 1] = L'\0';
    return true;
}

bool cRegistryStore::ReadFloat(const wchar_t* section, const wchar_t* name, float* value) const
{
    wchar_t text[kPathLength];
    if (!ReadText(section, name, text))
        return false;
    ParseSettingFloat(text, value);
    return true;
}

bool cRegistryStore::ReadInt(const wchar_t* section, const wchar_t* name, int* value) const
{
    wchar_t text[kPathLength];
    if (!ReadText(section, name, text))
        return false;
    ParseSettingInt(text, value);
    return true;
}

bool cRegistryStore::WriteValue(const wchar_t* section, const wchar_t* name, DWORD type, const void* data,
                                DWORD length) const
{
    wchar_t path[kPathLength];
    BuildKeyPath(section, path);
    wchar_t emptyClass[1] = {L'\0'};
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(m_rootKey, path, 0, emptyClass, 0, KEY_ALL_ACCESS, &security, &key, &disposition) !=
        static_cast<LSTATUS>(ERROR_SUCCESS))
        return false;
    bool ok = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), length) ==
              static_cast<LSTATUS>(ERROR_SUCCESS);
    RegCloseKey(key);
    return ok;
}

void cRegistryStore::WriteInt(const wchar_t* section, const wchar_t* name, int value) const
{
    std::wstring text = std::to_wstring(value);
    WriteValue(section, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}
