// Wide-character string of the geometry library (wchar_t in memory; the
// archive stores it as UTF-16LE).
#pragma once

#include <string>

class ON_wString
{
public:
    ON_wString() = default;
    ON_wString(const wchar_t* s) : m_s(s ? s : L"") {}
    ON_wString(const wchar_t* s, int length);
    // From UTF-8; invalid sequences become U+FFFD.
    explicit ON_wString(const char* utf8);
    explicit ON_wString(std::wstring s) : m_s(std::move(s)) {}

    int Length() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    bool IsNotEmpty() const { return !m_s.empty(); }
    void Empty() { m_s.clear(); }
    void Destroy() { std::wstring().swap(m_s); }
    const wchar_t* Array() const { return m_s.c_str(); }
    operator const wchar_t*() const { return m_s.c_str(); }
    const std::wstring& Str() const { return m_s; }
    wchar_t operator[](int i) const { return i >= 0 && i < Length() ? m_s[static_cast<std::size_t>(i)] : L'\0'; }
    void SetLength(int length);

    ON_wString& operator=(const wchar_t* s)
    {
        m_s = s ? s : L"";
        return *this;
    }
    ON_wString& operator+=(const ON_wString& s)
    {
        m_s += s.m_s;
        return *this;
    }
    ON_wString& operator+=(const wchar_t* s)
    {
        if (s)
            m_s += s;
        return *this;
    }
    ON_wString& operator+=(wchar_t c)
    {
        m_s += c;
        return *this;
    }

    // printf-style formatting into this string ("%s" takes a wide string).
    // Numbers use '.' as the decimal point whatever the process locale.
    bool Format(const wchar_t* format, ...);
    // <0, 0, >0 like wcscmp, ignoring case.
    int CompareNoCase(const wchar_t* s) const;
    bool EqualNoCase(const wchar_t* s) const { return CompareNoCase(s) == 0; }
    void TrimLeft();
    void TrimRight();
    void TrimLeftAndRight();
    void MakeUpper();
    void MakeLower();
    // UTF-8 encoding of the string.
    std::string ToUtf8() const;

    friend bool operator==(const ON_wString& a, const ON_wString& b) { return a.m_s == b.m_s; }
    friend bool operator!=(const ON_wString& a, const ON_wString& b) { return a.m_s != b.m_s; }
    friend ON_wString operator+(ON_wString a, const ON_wString& b) { return a += b; }

private:
    std::wstring m_s;
};
