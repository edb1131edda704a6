// The tokens of a resource script and the readers shared by its statements
// (names, numbers and symbol expressions, strings, blocks); the parser of the
// whole script and the reader of dialog templates stand on them. Not part of
// the platform's interface.
#pragma once

#include "platform/win32/codepage.h"
#include "platform/win32/input.h"
#include "platform/win32/resource.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace win32::detail
{

inline constexpr int kMaxNesting = 64;

struct ParseError
{
    int line;
    std::string message;
};

enum class Tok
{
    End,
    Word, // identifiers and keywords
    Number,
    String,
    Hex, // 'hex digits' of a picture's data block: text holds the bytes
    Punct
};

struct Token
{
    Tok kind = Tok::End;
    std::string text; // words, punctuation
    std::wstring str; // string literals
    long long value = 0;
    int line = 0;
};

inline std::wstring Widen(const std::string& s)
{
    return win32::Utf8ToWide(s);
}

inline std::string Upper(std::string s)
{
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class Lexer
{
public:
    explicit Lexer(const std::vector<std::pair<int, std::string>>& lines)
    {
        for (const auto& [number, text] : lines)
            Scan(number, text);
        tokens.push_back(Token{Tok::End, "", L"", 0, lines.empty() ? 0 : lines.back().first});
    }

    const Token& Peek(std::size_t ahead = 0) const
    {
        return tokens[std::min(pos + ahead, tokens.size() - 1)];
    }
    Token Next()
    {
        Token t = Peek();
        if (pos < tokens.size() - 1)
            ++pos;
        return t;
    }
    bool IsPunct(const char* p, std::size_t ahead = 0) const
    {
        return Peek(ahead).kind == Tok::Punct && Peek(ahead).text == p;
    }
    bool IsWord(const char* w, std::size_t ahead = 0) const
    {
        return Peek(ahead).kind == Tok::Word && Upper(Peek(ahead).text) == w;
    }
    bool AtBegin() const { return IsWord("BEGIN") || IsPunct("{"); }
    bool AtEnd() const { return IsWord("END") || IsPunct("}"); }

private:
    void Scan(int line, const std::string& s)
    {
        for (std::size_t i = 0; i < s.size();)
        {
            unsigned char c = static_cast<unsigned char>(s[i]);
            if (std::isspace(c))
            {
                ++i;
                continue;
            }
            Token t;
            t.line = line;
            if ((c == 'L' || c == 'l') && i + 1 < s.size() && s[i + 1] == '"')
                ++i, c = '"';
            if (c == '"')
            {
                t.kind = Tok::String;
                std::string raw;
                ++i;
                bool closed = false;
                while (i < s.size())
                {
                    char ch = s[i++];
                    if (ch == '"')
                    {
                        if (i < s.size() && s[i] == '"')
                        {
                            raw += '"';
                            ++i;
                            continue;
                        }
                        closed = true;
                        break;
                    }
                    if (ch == '\\' && i < s.size())
                    {
                        char e = s[i++];
                        switch (e)
                        {
                        case 't':
                            raw += '\t';
                            break;
                        case 'n':
                            raw += '\n';
                            break;
                        case 'r':
                            raw += '\r';
                            break;
                        case 'a':
                            raw += '\a';
                            break;
                        case '\\':
                            raw += '\\';
                            break;
                        case '"':
                            raw += '"';
                            break;
                        case '0':
                            raw += '\0';
                            break;
                        default:
                            raw += '\\';
                            raw += e;
                        }
                        continue;
                    }
                    raw += ch;
                }
                if (!closed)
                    throw ParseError{line, "unterminated string"};
                t.str = Widen(raw);
            }
            else if (c == '\'')
            {
                // Picture data written as hex digits in single quotes,
                // spaces between them allowed.
                t.kind = Tok::Hex;
                ++i;
                int pending = -1;
                bool closed = false;
                while (i < s.size())
                {
                    const char ch = s[i++];
                    if (ch == '\'')
                    {
                        closed = true;
                        break;
                    }
                    if (ch == ' ' || ch == '\t')
                        continue;
                    if (!std::isxdigit(static_cast<unsigned char>(ch)))
                        throw ParseError{line, "picture data holds something other than hex digits"};
                    const int digit = std::isdigit(static_cast<unsigned char>(ch))
                                          ? ch - '0'
                                          : std::tolower(static_cast<unsigned char>(ch)) - 'a' + 10;
                    if (pending < 0)
                        pending = digit;
                    else
                    {
                        t.text += static_cast<char>(pending << 4 | digit);
                        pending = -1;
                    }
                }
                if (!closed)
                    throw ParseError{line, "unterminated picture data"};
                if (pending >= 0)
                    throw ParseError{line, "picture data with half a byte"};
            }
            else if (std::isdigit(c))
            {
                t.kind = Tok::Number;
                char* end = nullptr;
                t.value = std::strtoll(s.c_str() + i, &end, 0);
                i = static_cast<std::size_t>(end - s.c_str());
                while (i < s.size() && (s[i] == 'L' || s[i] == 'l' || s[i] == 'U' || s[i] == 'u'))
                    ++i;
            }
            else if (std::isalpha(c) || c == '_')
            {
                t.kind = Tok::Word;
                std::size_t start = i;
                while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_'))
                    ++i;
                t.text = s.substr(start, i - start);
            }
            else
            {
                t.kind = Tok::Punct;
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
            tokens.push_back(std::move(t));
        }
    }

    std::vector<Token> tokens;
    std::size_t pos = 0;
};

// Reads the parts that every statement is made of; a failure throws
// ParseError with the line of the token it stopped at.
class ScriptReader
{
public:
    ScriptReader(Lexer& lex, win32::ResourceScript& out) : lex(lex), out(out) {}

    [[noreturn]] void Fail(const std::string& message) const { throw ParseError{lex.Peek().line, message}; }

    static bool IsMemoryOption(const std::string& w)
    {
        return w == "DISCARDABLE" || w == "PRELOAD" || w == "LOADONCALL" || w == "MOVEABLE" || w == "FIXED" ||
               w == "PURE" || w == "IMPURE";
    }

    win32::ResourceKey Name()
    {
        const Token& t = lex.Peek();
        win32::ResourceKey key;
        if (t.kind == Tok::Number)
        {
            key.id = static_cast<ULONG_PTR>(lex.Next().value);
            return key;
        }
        if (t.kind == Tok::Word)
        {
            auto it = out.symbols.find(t.text);
            if (it != out.symbols.end())
                key.id = static_cast<ULONG_PTR>(it->second);
            else
                key.name = Widen(Upper(t.text));
            lex.Next();
            return key;
        }
        if (t.kind == Tok::String)
        {
            key.name = lex.Next().str;
            for (auto& c : key.name)
                c = static_cast<wchar_t>(std::towupper(c));
            return key;
        }
        Fail("expected a resource name");
    }

    void Expect(const char* p)
    {
        if (!lex.IsPunct(p))
            Fail(std::string("expected '") + p + "'");
        lex.Next();
    }

    bool Accept(const char* p)
    {
        if (!lex.IsPunct(p))
            return false;
        lex.Next();
        return true;
    }

    void SkipUntilBegin()
    {
        while (!lex.AtBegin())
        {
            if (lex.Peek().kind == Tok::End)
                Fail("expected BEGIN");
            lex.Next();
        }
        lex.Next();
    }

    void SkipBlock(int depth)
    {
        if (depth > kMaxNesting)
            Fail("blocks nest too deeply");
        while (!lex.AtEnd())
        {
            if (lex.Peek().kind == Tok::End)
                Fail("missing END");
            if (lex.AtBegin())
            {
                lex.Next();
                SkipBlock(depth + 1);
                continue;
            }
            lex.Next();
        }
        lex.Next();
    }

    // Same wrapping arithmetic as the #define evaluator: the numbers are
    // untrusted, so an overflowing sum or negation gives a meaningless id
    // rather than undefined behaviour. Nesting counts through parentheses
    // too, so that a run of "(" cannot exhaust the stack.
    long long Expression(int depth = 0)
    {
        auto v = static_cast<unsigned long long>(Term(depth));
        for (;;)
        {
            if (Accept("+"))
                v += static_cast<unsigned long long>(Term(depth));
            else if (Accept("-"))
                v -= static_cast<unsigned long long>(Term(depth));
            else if (Accept("|"))
                v |= static_cast<unsigned long long>(Term(depth));
            else
                return static_cast<long long>(v);
        }
    }

    long long Term(int depth)
    {
        if (depth > kMaxNesting)
            Fail("expression nests too deeply");
        if (Accept("("))
        {
            long long v = Expression(depth + 1);
            Expect(")");
            return v;
        }
        if (Accept("-"))
            return static_cast<long long>(0ull - static_cast<unsigned long long>(Term(depth + 1)));
        if (Accept("~"))
            return ~Term(depth + 1);
        const Token& t = lex.Peek();
        if (t.kind == Tok::Number)
            return lex.Next().value;
        if (t.kind == Tok::Word)
        {
            auto it = out.symbols.find(t.text);
            if (it == out.symbols.end())
            {
                if (auto vk = VirtualKey(Upper(t.text)))
                {
                    lex.Next();
                    return *vk;
                }
                if (namedConstants)
                    if (auto c = namedConstants->find(t.text); c != namedConstants->end())
                    {
                        lex.Next();
                        return c->second;
                    }
                Fail("unknown symbol " + t.text);
            }
            lex.Next();
            return it->second;
        }
        Fail("expected a number or a symbol");
    }

    static std::optional<long long> VirtualKey(const std::string& name)
    {
        static const std::map<std::string, int> keys{
            {"VK_BACK", VK_BACK},         {"VK_TAB", VK_TAB},
            {"VK_RETURN", VK_RETURN},     {"VK_SHIFT", VK_SHIFT},
            {"VK_CONTROL", VK_CONTROL},   {"VK_MENU", VK_MENU},
            {"VK_ESCAPE", VK_ESCAPE},     {"VK_SPACE", VK_SPACE},
            {"VK_PRIOR", VK_PRIOR},       {"VK_NEXT", VK_NEXT},
            {"VK_END", VK_END},           {"VK_HOME", VK_HOME},
            {"VK_LEFT", VK_LEFT},         {"VK_UP", VK_UP},
            {"VK_RIGHT", VK_RIGHT},       {"VK_DOWN", VK_DOWN},
            {"VK_INSERT", VK_INSERT},     {"VK_DELETE", VK_DELETE},
            {"VK_ADD", VK_ADD},           {"VK_SUBTRACT", VK_SUBTRACT},
            {"VK_MULTIPLY", VK_MULTIPLY}, {"VK_DIVIDE", VK_DIVIDE},
            {"VK_DECIMAL", VK_DECIMAL}};
        auto it = keys.find(name);
        if (it != keys.end())
            return it->second;
        if (name.size() >= 4 && name.rfind("VK_F", 0) == 0)
        {
            int n = std::atoi(name.c_str() + 4);
            if (n >= 1 && n <= 24)
                return VK_F1 + n - 1;
        }
        if (name.size() == 10 && name.rfind("VK_NUMPAD", 0) == 0 &&
            std::isdigit(static_cast<unsigned char>(name[9])))
            return VK_NUMPAD0 + (name[9] - '0');
        return std::nullopt;
    }

    std::wstring String()
    {
        if (lex.Peek().kind != Tok::String)
            Fail("expected a string");
        return lex.Next().str;
    }

    Lexer& lex;
    win32::ResourceScript& out;
    // Names the script may use without defining them (the platform headers'
    // style bits inside a dialog); null: none.
    const std::map<std::string, long long>* namedConstants = nullptr;
};

// A DIALOG or DIALOGEX statement after its type word, up to and with its END.
win32::DialogTemplate ReadDialogTemplate(ScriptReader& reader, bool extended);

} // namespace win32::detail
