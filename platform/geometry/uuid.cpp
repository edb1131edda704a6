#include "platform/geometry/uuid.h"

#include <cstdio>
#include <string>

const ON_UUID ON_nil_uuid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace
{

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

template <class Char> ON_UUID Parse(const Char* s)
{
    if (!s)
        return ON_nil_uuid;
    std::wstring t;
    for (; *s; ++s)
        t += static_cast<wchar_t>(*s);
    const auto first = t.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return ON_nil_uuid;
    t = t.substr(first, t.find_last_not_of(L" \t\r\n") - first + 1);
    if (t.size() >= 2 && t.front() == L'{' && t.back() == L'}')
        t = t.substr(1, t.size() - 2);
    else if (t.front() == L'{' || t.back() == L'}')
        return ON_nil_uuid;
    if (t.size() != 36)
        return ON_nil_uuid;
    unsigned char bytes[16];
    int nibble = 0;
    for (std::size_t i = 0; i < t.size(); ++i)
    {
        if (i == 8 || i == 13 || i == 18 || i == 23)
        {
            if (t[i] != L'-')
                return ON_nil_uuid;
            continue;
        }
        const int v = HexValue(t[i]);
        if (v < 0)
            return ON_nil_uuid;
        if (nibble % 2 == 0)
            bytes[nibble / 2] = static_cast<unsigned char>(v << 4);
        else
            bytes[nibble / 2] = static_cast<unsigned char>(bytes[nibble / 2] | v);
        ++nibble;
    }
    // The text is big-endian per field: Data1, Data2, Data3, then Data4 bytes.
    ON_UUID id;
    id.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
               bytes[3];
    id.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    id.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        id.Data4[i] = bytes[8 + i];
    return id;
}

} // namespace

ON_UUID ON_UuidFromString(const char* s)
{
    return Parse(s);
}

ON_UUID ON_UuidFromString(const wchar_t* s)
{
    return Parse(s);
}

ON_wString ON_UuidToString(const ON_UUID& id)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", id.Data1,
                  unsigned{id.Data2}, unsigned{id.Data3}, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3],
                  id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return ON_wString(buf);
}

bool ON_UuidIsNil(const ON_UUID& id)
{
    return id == ON_nil_uuid;
}

bool ON_UuidIsNotNil(const ON_UUID& id)
{
    return !(id == ON_nil_uuid);
}

int ON_UuidCompare(const ON_UUID& a, const ON_UUID& b)
{
    if (a.Data1 != b.Data1)
        return a.Data1 < b.Data1 ? -1 : 1;
    if (a.Data2 != b.Data2)
        return a.Data2 < b.Data2 ? -1 : 1;
    if (a.Data3 != b.Data3)
        return a.Data3 < b.Data3 ? -1 : 1;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return a.Data4[i] < b.Data4[i] ? -1 : 1;
    return 0;
}
