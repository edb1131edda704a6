// The resource-script parser: preprocessor lines (#define, #include and the
// conditional blocks the resource editors write), then resource statements.
// Menus, accelerator tables and string tables are read, and bitmaps, icons
// and cursors given as hex data; other resources are recorded by type and
// name and their blocks skipped; dialog templates are read by
// resource_dialog_script.cpp.
#include "platform/win32/menu.h"
#include "platform/win32/picture_decode.h"
#include "platform/win32/resource_script_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <set>
#include <sstream>

namespace
{

using win32::detail::kMaxNesting;
using win32::detail::Lexer;
using win32::detail::ParseError;
using win32::detail::Tok;
using win32::detail::Token;
using win32::detail::Upper;
using win32::detail::Widen;

constexpr int kMaxIncludeDepth = 16;

// Preprocessing: joins the script and its includes into logical lines with
// their line numbers (of the top file), drops inactive conditional blocks and
// collects #define values.
class Preprocessor
{
public:
    Preprocessor(const win32::ResourceIncludeResolver& include, std::map<std::string, long long>& symbols,
                 std::map<std::string, std::string>& rawDefines)
        : include(include), symbols(symbols), rawDefines(rawDefines)
    {
    }

    void Run(const std::string& text, int depth, std::vector<std::pair<int, std::string>>& out, int outerLine)
    {
        if (depth > kMaxIncludeDepth)
            throw ParseError{outerLine, "includes nest too deeply"};
        std::istringstream in(text);
        std::string line;
        int number = 0;
        std::vector<bool> active; // one entry per open conditional
        std::vector<bool> taken;
        auto isActive = [&]
        {
            for (bool a : active)
                if (!a)
                    return false;
            return true;
        };
        bool inComment = false;
        while (std::getline(in, line))
        {
            ++number;
            const int reported = depth == 0 ? number : outerLine;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            line = StripComments(line, inComment);
            std::size_t first = line.find_first_not_of(" \t");
            if (first == std::string::npos)
                continue;
            if (line[first] != '#')
            {
                if (isActive())
                    out.emplace_back(reported, line);
                continue;
            }
            std::istringstream directive(line.substr(first + 1));
            std::string word;
            directive >> word;
            std::string rest;
            std::getline(directive, rest);
            rest = Trim(rest);
            if (word == "if" || word == "ifdef" || word == "ifndef")
            {
                bool value = word == "ifdef"    ? IsDefined(rest)
                             : word == "ifndef" ? !IsDefined(rest)
                                                : Evaluate(rest);
                active.push_back(value);
                taken.push_back(value);
            }
            else if (word == "elif")
            {
                if (active.empty())
                    throw ParseError{reported, "#elif without #if"};
                bool value = !taken.back() && Evaluate(rest);
                active.back() = value;
                taken.back() = taken.back() || value;
            }
            else if (word == "else")
            {
                if (active.empty())
                    throw ParseError{reported, "#else without #if"};
                active.back() = !taken.back();
                taken.back() = true;
            }
            else if (word == "endif")
            {
                if (active.empty())
                    throw ParseError{reported, "#endif without #if"};
                active.pop_back();
                taken.pop_back();
            }
            else if (!isActive())
                continue;
            else if (word == "define")
                Define(rest, reported);
            else if (word == "undef")
            {
                symbols.erase(rest);
                rawDefines.erase(rest);
            }
            else if (word == "include")
            {
                std::string name = rest;
                if (name.size() >= 2 && (name.front() == '"' || name.front() == '<'))
                    name = name.substr(1, name.size() - 2);
                if (IsSystemHeader(name))
                    continue; // the platform's own headers define nothing the script needs here
                std::optional<std::string> included = include ? include(name) : std::nullopt;
                if (!included)
                    throw ParseError{reported, "cannot include \"" + name + "\""};
                Run(*included, depth + 1, out, reported);
            }
            // #pragma and anything else: nothing to do.
        }
        if (!active.empty())
            throw ParseError{number, "#if without #endif"};
    }

private:
    static bool IsSystemHeader(const std::string& name)
    {
        static const std::set<std::string> known{"afxres.h", "winres.h", "windows.h", "winresrc.h",
                                                 "commctrl.h"};
        return known.count(name) != 0 || name.rfind("afxres", 0) == 0 || name.rfind("l.", 0) == 0 ||
               name.find(".rc2") != std::string::npos;
    }

    static std::string Trim(const std::string& s)
    {
        std::size_t a = s.find_first_not_of(" \t");
        std::size_t b = s.find_last_not_of(" \t");
        return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
    }

    static std::string StripComments(const std::string& line, bool& inComment)
    {
        std::string out;
        bool inString = false;
        for (std::size_t i = 0; i < line.size(); ++i)
        {
            if (inComment)
            {
                if (line.compare(i, 2, "*/") == 0)
                {
                    inComment = false;
                    ++i;
                }
                continue;
            }
            if (inString)
            {
                out += line[i];
                if (line[i] == '"')
                {
                    if (i + 1 < line.size() && line[i + 1] == '"')
                        out += line[++i];
                    else
                        inString = false;
                }
                else if (line[i] == '\\' && i + 1 < line.size())
                    out += line[++i];
                continue;
            }
            if (line[i] == '"')
                inString = true;
            else if (line.compare(i, 2, "//") == 0)
                break;
            else if (line.compare(i, 2, "/*") == 0)
            {
                inComment = true;
                ++i;
                continue;
            }
            out += line[i];
        }
        return out;
    }

    bool IsDefined(const std::string& name) const { return rawDefines.count(Trim(name)) != 0; }

    bool Evaluate(std::string expr) const
    {
        expr = Trim(expr);
        bool negate = false;
        while (!expr.empty() && expr[0] == '!')
        {
            negate = !negate;
            expr = Trim(expr.substr(1));
        }
        bool value;
        if (expr.rfind("defined", 0) == 0)
        {
            std::string name = expr.substr(7);
            name.erase(std::remove_if(name.begin(), name.end(),
                                      [](char c) { return c == '(' || c == ')' || c == ' '; }),
                       name.end());
            value = IsDefined(name);
        }
        else if (!expr.empty() && std::isdigit(static_cast<unsigned char>(expr[0])))
            value = std::strtoll(expr.c_str(), nullptr, 0) != 0;
        else
        {
            auto it = symbols.find(expr);
            value = it != symbols.end() && it->second != 0;
        }
        return negate ? !value : value;
    }

    void Define(const std::string& rest, int line)
    {
        std::size_t end = rest.find_first_of(" \t(");
        std::string name = rest.substr(0, end);
        if (name.empty())
            throw ParseError{line, "#define without a name"};
        std::string value = end == std::string::npos ? "" : Trim(rest.substr(end));
        rawDefines[name] = value;
        // Numeric defines (possibly through other defines) become symbols.
        if (auto v = NumericValue(value, 0))
            symbols[name] = *v;
    }

    // The value of a define's text: numbers, other defines, parentheses and
    // + - | ~; nothing else (a define that is no number is not a symbol).
    std::optional<long long> NumericValue(const std::string& v, int depth) const
    {
        std::size_t pos = 0;
        auto value = Sum(v, pos, depth);
        SkipSpace(v, pos);
        if (!value || pos != v.size())
            return std::nullopt;
        return value;
    }

    static void SkipSpace(const std::string& v, std::size_t& pos)
    {
        while (pos < v.size() && (v[pos] == ' ' || v[pos] == '\t'))
            ++pos;
    }

    std::optional<long long> Sum(const std::string& v, std::size_t& pos, int depth) const
    {
        auto value = Primary(v, pos, depth);
        while (value)
        {
            SkipSpace(v, pos);
            if (pos >= v.size() || (v[pos] != '+' && v[pos] != '-' && v[pos] != '|'))
                return value;
            char op = v[pos++];
            auto rhs = Primary(v, pos, depth);
            if (!rhs)
                return std::nullopt;
            // Wrapping arithmetic: a script's numbers are untrusted and may
            // overflow; the result is as meaningless as the input, never UB.
            const auto a = static_cast<unsigned long long>(*value);
            const auto b = static_cast<unsigned long long>(*rhs);
            value = static_cast<long long>(op == '+' ? a + b : op == '-' ? a - b : (a | b));
        }
        return value;
    }

    std::optional<long long> Primary(const std::string& v, std::size_t& pos, int depth) const
    {
        if (depth > kMaxNesting)
            return std::nullopt;
        SkipSpace(v, pos);
        if (pos >= v.size())
            return std::nullopt;
        char c = v[pos];
        if (c == '(')
        {
            ++pos;
            auto value = Sum(v, pos, depth + 1);
            SkipSpace(v, pos);
            if (!value || pos >= v.size() || v[pos] != ')')
                return std::nullopt;
            ++pos;
            return value;
        }
        if (c == '-' || c == '~')
        {
            ++pos;
            auto value = Primary(v, pos, depth + 1);
            if (!value)
                return std::nullopt;
            return c == '-' ? static_cast<long long>(0ull - static_cast<unsigned long long>(*value)) : ~*value;
        }
        if (std::isdigit(static_cast<unsigned char>(c)))
        {
            char* end = nullptr;
            long long n = std::strtoll(v.c_str() + pos, &end, 0);
            pos = static_cast<std::size_t>(end - v.c_str());
            while (pos < v.size() && std::strchr("lLuU", v[pos]))
                ++pos;
            return n;
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_')
        {
            std::size_t start = pos;
            while (pos < v.size() && (std::isalnum(static_cast<unsigned char>(v[pos])) || v[pos] == '_'))
                ++pos;
            auto it = rawDefines.find(v.substr(start, pos - start));
            if (it == rawDefines.end())
                return std::nullopt;
            return NumericValue(it->second, depth + 1);
        }
        return std::nullopt;
    }

    const win32::ResourceIncludeResolver& include;
    std::map<std::string, long long>& symbols;
    std::map<std::string, std::string>& rawDefines;
};

class Parser : public win32::detail::ScriptReader
{
public:
    Parser(Lexer& lex, win32::ResourceScript& out) : ScriptReader(lex, out) {}

    void Run()
    {
        while (lex.Peek().kind != Tok::End)
            Statement();
    }

private:
    void Statement()
    {
        if (lex.IsWord("LANGUAGE"))
        {
            lex.Next();
            Expression();
            Expect(",");
            Expression();
            return;
        }
        if (lex.IsWord("STRINGTABLE"))
        {
            lex.Next();
            SkipUntilBegin();
            StringTable();
            return;
        }
        if (lex.IsWord("VERSION") || lex.IsWord("CHARACTERISTICS"))
        {
            lex.Next();
            Expression();
            return;
        }
        win32::ResourceKey key = Name();
        if (lex.Peek().kind != Tok::Word)
            Fail("expected a resource type after the resource name");
        std::string type = Upper(lex.Next().text);
        if (type == "MENU" || type == "MENUEX")
        {
            SkipUntilBegin();
            std::vector<win32::MenuTemplateItem> items;
            MenuBlock(items, type == "MENUEX", 0);
            out.menus[key] = std::move(items);
        }
        else if (type == "ACCELERATORS")
        {
            SkipUntilBegin();
            out.accelerators[key] = Accelerators();
        }
        else if (type == "DIALOG" || type == "DIALOGEX")
        {
            out.others.emplace_back(Widen(type), key);
            while (lex.Peek().kind == Tok::Word && IsMemoryOption(Upper(lex.Peek().text)))
                lex.Next();
            out.dialogs[key] = win32::detail::ReadDialogTemplate(*this, type == "DIALOGEX");
        }
        else
        {
            out.others.emplace_back(Widen(type), key);
            while (lex.Peek().kind == Tok::Word && IsMemoryOption(Upper(lex.Peek().text)))
                lex.Next();
            if (lex.Peek().kind == Tok::String)
            {
                lex.Next(); // a file-backed resource
                return;
            }
            if ((type == "BITMAP" || type == "ICON" || type == "CURSOR") && lex.AtBegin())
            {
                PictureData(type, key);
                return;
            }
            SkipUntilBegin();
            SkipBlock(0);
        }
    }

    // A picture's bytes in hex strings up to END, checked to be what the
    // type says.
    void PictureData(const std::string& type, const win32::ResourceKey& key)
    {
        const int line = lex.Next().line;
        std::vector<std::uint8_t> bytes;
        while (!lex.AtEnd())
        {
            if (lex.Peek().kind != Tok::Hex)
                Fail("expected picture data in single quotes or END");
            const std::string chunk = lex.Next().text;
            bytes.insert(bytes.end(), chunk.begin(), chunk.end());
        }
        lex.Next();
        if (type == "BITMAP")
        {
            std::optional<std::vector<std::uint8_t>> dib = win32::DibOfBitmapFile(bytes);
            if (!dib)
                throw ParseError{line, "the bitmap's data is no uncompressed 24- or 32-bit bitmap file"};
            bytes = std::move(*dib);
        }
        else if (!win32::DecodeIconFile(bytes, type == "ICON" ? 1 : 2))
            throw ParseError{line, "the " + std::string(type == "ICON" ? "icon" : "cursor") +
                                       "'s data is no icon or cursor file of 24- or 32-bit pictures"};
        out.pictures.push_back(win32::ResourceScript::Picture{Widen(type), key, std::move(bytes)});
    }

    void MenuBlock(std::vector<win32::MenuTemplateItem>& items, bool extended, int depth)
    {
        if (depth > kMaxNesting)
            Fail("menus nest too deeply");
        while (!lex.AtEnd())
        {
            if (lex.Peek().kind == Tok::End)
                Fail("missing END of a menu");
            win32::MenuTemplateItem item;
            if (lex.IsWord("MENUITEM"))
            {
                lex.Next();
                if (lex.IsWord("SEPARATOR"))
                {
                    lex.Next();
                    item.flags = MF_SEPARATOR;
                }
                else
                {
                    item.text = String();
                    if (Accept(","))
                    {
                        item.id = static_cast<UINT>(Expression());
                        if (extended)
                            ExtendedFields(item);
                        else
                            item.flags |= MenuOptions();
                    }
                    if (extended && item.text.empty() && (item.flags & MF_SEPARATOR))
                        item.id = 0;
                }
            }
            else if (lex.IsWord("POPUP"))
            {
                lex.Next();
                item.text = String();
                item.flags = MF_POPUP;
                if (extended)
                {
                    if (Accept(","))
                    {
                        Expression(); // a popup's own id
                        ExtendedFields(item);
                        if (Accept(","))
                            Expression(); // help id
                    }
                }
                else
                    item.flags |= MenuOptions();
                if (!lex.AtBegin())
                    Fail("expected BEGIN after POPUP");
                lex.Next();
                MenuBlock(item.children, extended, depth + 1);
            }
            else
                Fail("expected MENUITEM, POPUP or END in a menu");
            items.push_back(std::move(item));
        }
        lex.Next();
    }

    // MENUEX: , type , state after the id.
    void ExtendedFields(win32::MenuTemplateItem& item)
    {
        if (!Accept(","))
            return;
        long long type = Expression();
        if (type & 0x800) // MFT_SEPARATOR
            item.flags |= MF_SEPARATOR;
        if (!Accept(","))
            return;
        long long state = Expression();
        if (state & 0x3) // MFS_GRAYED / MFS_DISABLED
            item.flags |= MF_GRAYED;
        if (state & 0x8) // MFS_CHECKED
            item.flags |= MF_CHECKED;
    }

    UINT MenuOptions()
    {
        UINT flags = 0;
        for (;;)
        {
            Accept(",");
            if (lex.Peek().kind != Tok::Word)
                return flags;
            std::string w = Upper(lex.Peek().text);
            if (w == "GRAYED")
                flags |= MF_GRAYED;
            else if (w == "INACTIVE")
                flags |= MF_DISABLED;
            else if (w == "CHECKED")
                flags |= MF_CHECKED;
            else if (w == "MENUBARBREAK")
                flags |= MF_MENUBARBREAK;
            else if (w == "MENUBREAK")
                flags |= MF_MENUBREAK;
            else if (w == "HELP")
                flags |= MF_HELP;
            else
                return flags;
            lex.Next();
        }
    }

    std::vector<win32::AcceleratorEntry> Accelerators()
    {
        std::vector<win32::AcceleratorEntry> table;
        while (!lex.AtEnd())
        {
            if (lex.Peek().kind == Tok::End)
                Fail("missing END of an accelerator table");
            win32::AcceleratorEntry e;
            bool character = false;
            if (lex.Peek().kind == Tok::String)
            {
                std::wstring s = lex.Next().str;
                if (s.size() == 2 && s[0] == L'^')
                    e.key = static_cast<WORD>(std::towupper(s[1]) - L'A' + 1); // a control character
                else if (s.size() == 1)
                    e.key = static_cast<WORD>(s[0]);
                else
                    Fail("an accelerator's key is one character");
                character = true;
            }
            else
                e.key = static_cast<WORD>(Expression());
            Expect(",");
            e.cmd = static_cast<WORD>(Expression());
            bool virtualKey = false;
            while (Accept(","))
            {
                if (lex.Peek().kind != Tok::Word)
                    Fail("expected an accelerator option");
                std::string w = Upper(lex.Next().text);
                if (w == "VIRTKEY")
                    virtualKey = true;
                else if (w == "ASCII")
                    virtualKey = false;
                else if (w == "NOINVERT")
                    e.fVirt |= FNOINVERT;
                else if (w == "SHIFT")
                    e.fVirt |= FSHIFT;
                else if (w == "CONTROL")
                    e.fVirt |= FCONTROL;
                else if (w == "ALT")
                    e.fVirt |= FALT;
                else
                    Fail("unknown accelerator option " + w);
            }
            if (virtualKey)
            {
                e.fVirt |= FVIRTKEY;
                if (character && e.key >= L'a' && e.key <= L'z')
                    e.key = static_cast<WORD>(e.key - L'a' + L'A');
            }
            table.push_back(e);
        }
        lex.Next();
        return table;
    }

    void StringTable()
    {
        while (!lex.AtEnd())
        {
            if (lex.Peek().kind == Tok::End)
                Fail("missing END of a string table");
            UINT id = static_cast<UINT>(Expression());
            Accept(",");
            out.strings[id] = String();
        }
        lex.Next();
    }

};
} // namespace

namespace win32
{

bool ParseResourceScript(const std::string& text, const ResourceIncludeResolver& include, ResourceScript& out,
                         std::string& error)
{
    out = ResourceScript{};
    try
    {
        std::map<std::string, std::string> rawDefines;
        Preprocessor pre(include, out.symbols, rawDefines);
        std::vector<std::pair<int, std::string>> lines;
        pre.Run(text, 0, lines, 0);
        Lexer lex(lines);
        Parser(lex, out).Run();
        return true;
    }
    catch (const ParseError& e)
    {
        error = "line " + std::to_string(e.line) + ": " + e.message;
        return false;
    }
}

} // namespace win32
