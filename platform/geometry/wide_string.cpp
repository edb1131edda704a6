#include "platform/geometry/wide_string.h"

#include <clocale>
#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <locale.h>
#include <vector>

ON_wString::ON_wString(const wchar_t* s, int length)
{
    if (s && length > 0)
        m_s.assign(s, static_cast<std::size_t>(length));
}

ON_wString::ON_wString(const char* utf8)
{
    if (!utf8)
        return;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p)
    {
        const unsigned char b = *p;
        int extra = 0;
        char32_t cp = 0;
        if (b < 0x80)
            cp = b;
        else if ((b & 0xE0) == 0xC0)
            cp = b & 0x1F, extra = 1;
        else if ((b & 0xF0) == 0xE0)
            cp = b & 0x0F, extra = 2;
        else if ((b & 0xF8) == 0xF0)
            cp = b & 0x07, extra = 3;
        else
            extra = -1;
        ++p;
        bool bad = extra < 0;
        for (int i = 0; i < extra && !bad; ++i)
        {
            if ((*p & 0xC0) != 0x80)
                bad = true;
            else
                cp = (cp << 6) | (*p++ & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are not characters.
        static const char32_t min_for_length[4] = {0, 0x80, 0x800, 0x10000};
        if (!bad && (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp < min_for_length[extra]))
            bad = true;
        m_s += bad ? L'\xFFFD' : static_cast<wchar_t>(cp);
    }
}

void ON_wString::SetLength(int length)
{
    m_s.resize(length > 0 ? static_cast<std::size_t>(length) : 0u);
}

bool ON_wString::Format(const wchar_t* format, ...)
{
    m_s.clear();
    if (!format)
        return false;
    // Format in the "C" locale so that numbers always use '.'.
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const locale_t previous = c_locale ? uselocale(c_locale) : static_cast<locale_t>(0);
    std::vector<wchar_t> buffer(256);
    int written = -1;
    for (int attempt = 0; attempt < 16; ++attempt)
    {
        va_list args;
        va_start(args, format);
        written = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size())
            break;
        // vswprintf does not report the needed size: grow and retry.
        buffer.resize(buffer.size() * 4);
        written = -1;
    }
    if (c_locale)
        uselocale(previous);
    if (written < 0)
        return false;
    m_s.assign(buffer.data(), static_cast<std::size_t>(written));
    return true;
}

int ON_wString::CompareNoCase(const wchar_t* s) const
{
    if (!s)
        s = L"";
    for (std::size_t i = 0;; ++i)
    {
        const bool end_a = i >= m_s.size();
        const bool end_b = s[i] == L'\0';
        if (end_a || end_b)
            return end_a && end_b ? 0 : (end_a ? -1 : 1);
        const auto la = std::towlower(static_cast<wint_t>(m_s[i]));
        const auto lb = std::towlower(static_cast<wint_t>(s[i]));
        if (la != lb)
            return la < lb ? -1 : 1;
    }
}

void ON_wString::TrimLeft()
{
    std::size_t i = 0;
    while (i < m_s.size() && std::iswspace(static_cast<wint_t>(m_s[i])))
        ++i;
    m_s.erase(0, i);
}

void ON_wString::TrimRight()
{
    std::size_t n = m_s.size();
    while (n > 0 && std::iswspace(static_cast<wint_t>(m_s[n - 1])))
        --n;
    m_s.resize(n);
}

void ON_wString::TrimLeftAndRight()
{
    TrimRight();
    TrimLeft();
}

void ON_wString::MakeUpper()
{
    for (auto& c : m_s)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

void ON_wString::MakeLower()
{
    for (auto& c : m_s)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

std::string ON_wString::ToUtf8() const
{
    std::string out;
    for (wchar_t wc : m_s)
    {
        auto cp = static_cast<char32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        if (cp < 0x80)
            out += static_cast<char>(cp);
        else if (cp < 0x800)
        {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
        else if (cp < 0x10000)
        {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}
