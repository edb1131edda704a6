// CString: the wide string class of the MFC layer. Format follows the
// original platform's wide printf rules (%s and %c take wide arguments, %S
// and %C narrow ones, %I64d a 64-bit integer), which differ from the C
// library's on this system.
#pragma once

#include "platform/win32/win32.h"

#include <cstdarg>
#include <string>

class CString
{
public:
    CString() = default;
    CString(const wchar_t* s) : m_text(s ? s : L"") {}
    CString(const wchar_t* s, int length)
        : m_text(s ? std::wstring(s, static_cast<std::size_t>(length)) : L"")
    {
    }
    CString(wchar_t ch, int repeat = 1) : m_text(static_cast<std::size_t>(repeat > 0 ? repeat : 0), ch) {}
    CString(const std::wstring& s) : m_text(s) {}
    // Narrow text is taken as UTF-8.
    explicit CString(const char* s);

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    const wchar_t* GetString() const { return m_text.c_str(); }
    operator const wchar_t*() const { return m_text.c_str(); }
    const std::wstring& Std() const { return m_text; }
    wchar_t GetAt(int index) const;
    void SetAt(int index, wchar_t ch);
    wchar_t operator[](int index) const { return GetAt(index); }

    // A writable buffer of at least minLength characters; ReleaseBuffer ends
    // the text at newLength, or at the first terminator when it is -1.
    wchar_t* GetBuffer(int minLength = 0);
    wchar_t* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    void Format(const wchar_t* format, ...);
    void FormatV(const wchar_t* format, va_list args);
    void AppendFormat(const wchar_t* format, ...);

    CString& operator=(const wchar_t* s)
    {
        m_text = s ? s : L"";
        return *this;
    }
    CString& operator+=(const CString& s)
    {
        m_text += s.m_text;
        return *this;
    }
    CString& operator+=(const wchar_t* s)
    {
        if (s)
            m_text += s;
        return *this;
    }
    CString& operator+=(wchar_t ch)
    {
        m_text += ch;
        return *this;
    }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, const wchar_t* b) { return a + CString(b); }
    friend CString operator+(const wchar_t* a, const CString& b) { return CString(a) + b; }
    friend CString operator+(const CString& a, wchar_t b) { return CString(a.m_text + b); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.m_text == (b ? b : L""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

    int Compare(const wchar_t* s) const;
    int CompareNoCase(const wchar_t* s) const;
    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* s, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;
    CString& MakeUpper();
    CString& MakeLower();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    int Replace(const wchar_t* oldText, const wchar_t* newText);
    int Replace(wchar_t oldCh, wchar_t newCh);
    int Remove(wchar_t ch);
    int Insert(int index, const wchar_t* s);
    int Delete(int index, int count = 1);

private:
    std::wstring m_text;
};

using CStringW = CString;

namespace mfc
{

// The format rewritten for this system's wide printf (see CString::Format).
std::wstring TranslateWideFormat(const wchar_t* format);

} // namespace mfc
