#include "platform/win32/codepage.h"

#include <cstring>
#include <cwchar>

namespace
{

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the five bytes the code page leaves
// undefined map to the C1 control of the same value, as the platform does.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t Cp1252ToUnicode(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F)
        return kCp1252High[b - 0x80];
    return b;
}

// -1 when the character has no byte in Windows-1252.
int UnicodeToCp1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

bool IsAnsi(UINT codePage) { return codePage == CP_ACP || codePage == CP_WINDOWS_1252; }

void AppendUtf8(std::string& out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = kReplacement;
    if (c < 0x80)
    {
        out += static_cast<char>(c);
    }
    else if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence starting at bytes[i]; advances i. Sets bad for
// malformed, overlong or surrogate sequences (one byte is consumed then).
char32_t DecodeUtf8(const unsigned char* bytes, std::size_t count, std::size_t& i, bool& bad)
{
    bad = false;
    unsigned char b = bytes[i];
    if (b < 0x80)
    {
        ++i;
        return b;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((b & 0xE0) == 0xC0)
    {
        extra = 1;
        c = b & 0x1F;
        minimum = 0x80;
    }
    else if ((b & 0xF0) == 0xE0)
    {
        extra = 2;
        c = b & 0x0F;
        minimum = 0x800;
    }
    else if ((b & 0xF8) == 0xF0)
    {
        extra = 3;
        c = b & 0x07;
        minimum = 0x10000;
    }
    else
    {
        ++i;
        bad = true;
        return kReplacement;
    }
    if (count - i <= static_cast<std::size_t>(extra))
    {
        ++i;
        bad = true;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k)
    {
        unsigned char cont = bytes[i + k];
        if ((cont & 0xC0) != 0x80)
        {
            ++i;
            bad = true;
            return kReplacement;
        }
        c = (c << 6) | (cont & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    {
        ++i;
        bad = true;
        return kReplacement;
    }
    i += extra + 1;
    return c;
}

std::u32string DecodeMultiByte(UINT codePage, const unsigned char* bytes, std::size_t count, bool& anyBad)
{
    std::u32string result;
    result.reserve(count);
    anyBad = false;
    if (IsAnsi(codePage))
    {
        for (std::size_t i = 0; i < count; ++i)
            result += Cp1252ToUnicode(bytes[i]);
        return result;
    }
    for (std::size_t i = 0; i < count;)
    {
        bool bad = false;
        result += DecodeUtf8(bytes, count, i, bad);
        anyBad = anyBad || bad;
    }
    return result;
}

} // namespace

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR wide, int wideCount, LPSTR out, int outBytes,
                        LPCSTR defaultChar, BOOL* usedDefault)
{
    if (usedDefault)
        *usedDefault = FALSE;
    if (wide == nullptr || wideCount == 0 || wideCount < -1 || outBytes < 0 || (outBytes > 0 && out == nullptr) ||
        !(IsAnsi(codePage) || codePage == CP_UTF8))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t count = wideCount == -1 ? std::wcslen(wide) + 1 : static_cast<std::size_t>(wideCount);

    std::string bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        char32_t c = static_cast<char32_t>(wide[i]);
        if (codePage == CP_UTF8)
        {
            AppendUtf8(bytes, c);
            continue;
        }
        int b = UnicodeToCp1252(c);
        if (b < 0)
        {
            bytes += (defaultChar && *defaultChar) ? *defaultChar : '?';
            if (usedDefault)
                *usedDefault = TRUE;
        }
        else
        {
            bytes += static_cast<char>(b);
        }
    }
    if (outBytes == 0)
        return static_cast<int>(bytes.size());
    if (bytes.size() > static_cast<std::size_t>(outBytes))
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = bytes[i];
    return static_cast<int>(bytes.size());
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR mb, int mbCount, LPWSTR out, int outCount)
{
    if (mb == nullptr || mbCount == 0 || mbCount < -1 || outCount < 0 || (outCount > 0 && out == nullptr) ||
        !(IsAnsi(codePage) || codePage == CP_UTF8))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t count = mbCount == -1 ? std::strlen(mb) + 1 : static_cast<std::size_t>(mbCount);
    bool anyBad = false;
    std::u32string text = DecodeMultiByte(codePage, reinterpret_cast<const unsigned char*>(mb), count, anyBad);
    if (anyBad && (flags & MB_ERR_INVALID_CHARS))
    {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (outCount == 0)
        return static_cast<int>(text.size());
    if (text.size() > static_cast<std::size_t>(outCount))
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<wchar_t>(text[i]);
    return static_cast<int>(text.size());
}

namespace win32
{

std::size_t Utf16UnitCount(const wchar_t* text, std::size_t count)
{
    std::size_t units = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
        auto c = static_cast<std::uint32_t>(text[i]);
        units += (c > 0xFFFF && c <= 0x10FFFF) ? 2 : 1;
    }
    return units;
}

void AppendUtf16Le(std::vector<std::uint8_t>& out, const wchar_t* text, std::size_t count)
{
    auto put = [&out](std::uint32_t unit) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
    };
    for (std::size_t i = 0; i < count; ++i)
    {
        auto c = static_cast<std::uint32_t>(text[i]);
        if (c <= 0xFFFF)
        {
            put(c);
        }
        else if (c <= 0x10FFFF)
        {
            c -= 0x10000;
            put(0xD800 | (c >> 10));
            put(0xDC00 | (c & 0x3FF));
        }
        else
        {
            put(kReplacement);
        }
    }
}

std::wstring DecodeUtf16Le(const std::uint8_t* bytes, std::size_t byteCount)
{
    std::wstring text;
    std::size_t units = byteCount / 2;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i)
    {
        std::uint32_t u = bytes[2 * i] | (static_cast<std::uint32_t>(bytes[2 * i + 1]) << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units)
        {
            std::uint32_t v = bytes[2 * i + 2] | (static_cast<std::uint32_t>(bytes[2 * i + 3]) << 8);
            if (v >= 0xDC00 && v <= 0xDFFF)
            {
                text += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        text += static_cast<wchar_t>(u);
    }
    return text;
}

std::string WideToUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        AppendUtf8(out, static_cast<char32_t>(c));
    return out;
}

std::wstring Utf8ToWide(const std::string& text)
{
    bool anyBad = false;
    std::u32string decoded =
        DecodeMultiByte(CP_UTF8, reinterpret_cast<const unsigned char*>(text.data()), text.size(), anyBad);
    return std::wstring(decoded.begin(), decoded.end());
}

} // namespace win32
