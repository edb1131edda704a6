#include "platform/mfc/mfc_string.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <stdexcept>
#include <vector>

namespace
{

bool IsSpace(wchar_t c)
{
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

std::wstring FromUtf8(const char* s)
{
    return s ? win32::Utf8ToWide(s) : std::wstring();
}

} // namespace

namespace mfc
{

std::wstring TranslateWideFormat(const wchar_t* format)
{
    std::wstring out;
    if (!format)
        return out;
    for (const wchar_t* p = format; *p; ++p)
    {
        out += *p;
        if (*p != L'%')
            continue;
        if (p[1] == L'%')
        {
            out += *++p;
            continue;
        }
        // Flags, width, precision, then the length and the conversion.
        ++p;
        while (*p && std::wcschr(L"-+ #0123456789.*", *p))
            out += *p++;
        bool sized = false;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4')
        {
            out += L"ll";
            p += 3;
            sized = true;
        }
        else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2')
            p += 3;
        else if (*p == L'I')
        {
            out += L"z";
            ++p;
            sized = true;
        }
        while (*p && std::wcschr(L"hlLqjzt", *p))
        {
            sized = true;
            out += *p++;
        }
        if (!*p)
            break;
        switch (*p)
        {
        case L's':
            out += sized ? L"s" : L"ls";
            break;
        case L'c':
            out += sized ? L"c" : L"lc";
            break;
        case L'S':
            out += L"s";
            break;
        case L'C':
            out += L"c";
            break;
        default:
            out += *p;
            break;
        }
    }
    return out;
}

} // namespace mfc

CString::CString(const char* s) : m_text(FromUtf8(s)) {}

wchar_t CString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength())
        throw std::out_of_range("CString: index outside the string");
    return m_text[static_cast<std::size_t>(index)];
}

void CString::SetAt(int index, wchar_t ch)
{
    if (index < 0 || index >= GetLength())
        throw std::out_of_range("CString: index outside the string");
    m_text[static_cast<std::size_t>(index)] = ch;
}

wchar_t* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_text.resize(static_cast<std::size_t>(minLength), L'\0');
    return m_text.data();
}

wchar_t* CString::GetBufferSetLength(int length)
{
    m_text.resize(static_cast<std::size_t>(std::max(0, length)), L'\0');
    return m_text.data();
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(std::wcslen(m_text.c_str()));
    m_text.resize(static_cast<std::size_t>(std::min(newLength, GetLength())));
}

void CString::FormatV(const wchar_t* format, va_list args)
{
    std::wstring fmt = mfc::TranslateWideFormat(format);
    std::vector<wchar_t> buffer(256);
    for (;;)
    {
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buffer.data(), buffer.size(), fmt.c_str(), copy);
        va_end(copy);
        if (n >= 0 && static_cast<std::size_t>(n) < buffer.size())
        {
            m_text.assign(buffer.data(), static_cast<std::size_t>(n));
            return;
        }
        // vswprintf reports neither the needed size nor the reason; grow
        // until it fits, and give up on text no sane format produces.
        if (buffer.size() >= (1u << 24))
        {
            m_text.clear();
            return;
        }
        buffer.resize(buffer.size() * 4);
    }
}

void CString::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const wchar_t* format, ...)
{
    CString more;
    va_list args;
    va_start(args, format);
    more.FormatV(format, args);
    va_end(args);
    m_text += more.m_text;
}

int CString::Compare(const wchar_t* s) const
{
    return m_text.compare(s ? s : L"");
}

int CString::CompareNoCase(const wchar_t* s) const
{
    CString a(*this), b(s);
    a.MakeLower();
    b.MakeLower();
    return a.Compare(b);
}

int CString::Find(wchar_t ch, int start) const
{
    if (start < 0 || start >= GetLength())
        return -1;
    auto pos = m_text.find(ch, static_cast<std::size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* s, int start) const
{
    if (!s || start < 0 || start > GetLength())
        return -1;
    auto pos = m_text.find(s, static_cast<std::size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(wchar_t ch) const
{
    auto pos = m_text.rfind(ch);
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_text.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(count)));
}

CString CString::Left(int count) const
{
    return Mid(0, count);
}
CString CString::Right(int count) const
{
    count = std::clamp(count, 0, GetLength());
    return Mid(GetLength() - count, count);
}

CString& CString::MakeUpper()
{
    for (auto& c : m_text)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return *this;
}

CString& CString::MakeLower()
{
    for (auto& c : m_text)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return *this;
}

CString& CString::TrimLeft()
{
    auto it = std::find_if_not(m_text.begin(), m_text.end(), IsSpace);
    m_text.erase(m_text.begin(), it);
    return *this;
}

CString& CString::TrimRight()
{
    while (!m_text.empty() && IsSpace(m_text.back()))
        m_text.pop_back();
    return *this;
}

CString& CString::Trim()
{
    return TrimLeft().TrimRight();
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText)
{
    if (!oldText || !*oldText)
        return 0;
    std::wstring from(oldText), to(newText ? newText : L"");
    int count = 0;
    for (std::size_t pos = 0; (pos = m_text.find(from, pos)) != std::wstring::npos; pos += to.size(), ++count)
        m_text.replace(pos, from.size(), to);
    return count;
}

int CString::Replace(wchar_t oldCh, wchar_t newCh)
{
    int count = 0;
    for (auto& c : m_text)
        if (c == oldCh)
        {
            c = newCh;
            ++count;
        }
    return count;
}

int CString::Remove(wchar_t ch)
{
    auto before = m_text.size();
    std::erase(m_text, ch);
    return static_cast<int>(before - m_text.size());
}

int CString::Insert(int index, const wchar_t* s)
{
    index = std::clamp(index, 0, GetLength());
    if (s)
        m_text.insert(static_cast<std::size_t>(index), s);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0)
        m_text.erase(static_cast<std::size_t>(index), static_cast<std::size_t>(count));
    return GetLength();
}
