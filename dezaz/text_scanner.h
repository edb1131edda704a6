// A cursor over the bytes of a text mesh file (ASCII STL and PLY, OBJ):
// words, numbers and lines, never past the end. A NUL or any other byte
// that is not white space is part of a word, so a number that holds one
// does not read.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace dezaz
{

class cTextScanner
{
public:
    cTextScanner(const char* begin, const char* end) : m_begin(begin), m_at(begin), m_end(end) {}

    bool AtEnd() const { return m_at == m_end; }
    std::size_t Remaining() const { return static_cast<std::size_t>(m_end - m_at); }
    const char* Cursor() const { return m_at; }

    // Blanks inside a line: space, tab, carriage return, vertical tab, form feed.
    void SkipBlanks()
    {
        while (m_at != m_end && IsBlank(*m_at))
            ++m_at;
    }
    void SkipWhitespace()
    {
        while (m_at != m_end && (IsBlank(*m_at) || *m_at == '\n'))
            ++m_at;
    }
    // True at a line end or the end of the bytes, blanks skipped.
    bool AtLineEnd()
    {
        SkipBlanks();
        return m_at == m_end || *m_at == '\n';
    }
    // To the start of the next line (or the end).
    void SkipLine()
    {
        const void* newline = m_at == m_end ? nullptr : std::memchr(m_at, '\n', Remaining());
        m_at = newline ? static_cast<const char*>(newline) + 1 : m_end;
    }
    // The next word on this line; empty at the line's end.
    std::string_view Word()
    {
        SkipBlanks();
        const char* start = m_at;
        while (m_at != m_end && !IsBlank(*m_at) && *m_at != '\n')
            ++m_at;
        return {start, static_cast<std::size_t>(m_at - start)};
    }
    // The next word, on this line or a later one; empty at the end.
    std::string_view AnyWord()
    {
        SkipWhitespace();
        return Word();
    }

    // The next word on this line as a number; false when it is missing or
    // is not wholly a number.
    bool Float(float& value) { return Number(Word(), value); }
    bool Double(double& value) { return Number(Word(), value); }
    bool AnyDouble(double& value) { return Number(AnyWord(), value); }

    // 1-based line of the cursor, for messages (counts from the start: call
    // it only when reporting).
    std::size_t Line() const { return 1 + static_cast<std::size_t>(std::count(m_begin, m_at, '\n')); }

    template <class T> static bool Number(std::string_view word, T& value)
    {
        if (!word.empty() && word.front() == '+')
            word.remove_prefix(1);
        if (word.empty() || word.front() == '+' || (word.front() == '-' && word.size() > 1 && word[1] == '+'))
            return false;
        const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
        return ec == std::errc() && end == word.data() + word.size();
    }

    static bool SameWord(std::string_view word, std::string_view keyword)
    {
        return word.size() == keyword.size() &&
               std::equal(word.begin(), word.end(), keyword.begin(), [](char a, char b) { return Lower(a) == b; });
    }

    // A word fit for a message: printable ASCII, at most 24 characters.
    static std::wstring Quoted(std::string_view word)
    {
        std::wstring text = L"\"";
        for (std::size_t i = 0; i < word.size() && i < 24; ++i)
            text += word[i] >= 0x20 && word[i] < 0x7F ? static_cast<wchar_t>(word[i]) : L'?';
        if (word.size() > 24)
            text += L"...";
        return text + L"\"";
    }

private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
    static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

    const char* m_begin;
    const char* m_at;
    const char* m_end;
};

} // namespace dezaz
