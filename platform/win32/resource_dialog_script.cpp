// DIALOG and DIALOGEX statements of the resource script: the dialog's
// rectangle and options, then its controls, each with the styles its
// statement implies. Style expressions may name the platform's style bits
// without the script defining them, and may take bits away with NOT.
#include "platform/win32/dialog.h"
#include "platform/win32/resource_script_reader.h"

namespace win32::detail
{

namespace
{

// Dialog units are 16-bit in a compiled template; anything beyond is no
// dialog, and refusing it keeps the pixel conversion far from overflow.
constexpr long long kMinUnit = -32768;
constexpr long long kMaxUnit = 32767;
// A compiled template counts its controls in 16 bits.
constexpr std::size_t kMaxControls = 0xFFFF;

const std::map<std::string, long long>& StyleNames()
{
    static const auto* names = new std::map<std::string, long long>{
        {"WS_OVERLAPPED", WS_OVERLAPPED},
        {"WS_POPUP", WS_POPUP},
        {"WS_CHILD", WS_CHILD},
        {"WS_MINIMIZE", WS_MINIMIZE},
        {"WS_VISIBLE", WS_VISIBLE},
        {"WS_DISABLED", WS_DISABLED},
        {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
        {"WS_CLIPCHILDREN", WS_CLIPCHILDREN},
        {"WS_MAXIMIZE", WS_MAXIMIZE},
        {"WS_CAPTION", WS_CAPTION},
        {"WS_BORDER", WS_BORDER},
        {"WS_DLGFRAME", WS_DLGFRAME},
        {"WS_VSCROLL", WS_VSCROLL},
        {"WS_HSCROLL", WS_HSCROLL},
        {"WS_SYSMENU", WS_SYSMENU},
        {"WS_THICKFRAME", WS_THICKFRAME},
        {"WS_GROUP", WS_GROUP},
        {"WS_TABSTOP", WS_TABSTOP},
        {"WS_MINIMIZEBOX", WS_MINIMIZEBOX},
        {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
        {"WS_OVERLAPPEDWINDOW", WS_OVERLAPPEDWINDOW},
        {"WS_POPUPWINDOW", WS_POPUPWINDOW},
        {"WS_EX_DLGMODALFRAME", WS_EX_DLGMODALFRAME},
        {"WS_EX_NOPARENTNOTIFY", WS_EX_NOPARENTNOTIFY},
        {"WS_EX_TOPMOST", WS_EX_TOPMOST},
        {"WS_EX_TRANSPARENT", WS_EX_TRANSPARENT},
        {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW},
        {"WS_EX_WINDOWEDGE", WS_EX_WINDOWEDGE},
        {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE},
        {"WS_EX_CONTROLPARENT", WS_EX_CONTROLPARENT},
        {"WS_EX_STATICEDGE", WS_EX_STATICEDGE},
        {"WS_EX_APPWINDOW", WS_EX_APPWINDOW},
        {"DS_ABSALIGN", DS_ABSALIGN},
        {"DS_SYSMODAL", DS_SYSMODAL},
        {"DS_3DLOOK", DS_3DLOOK},
        {"DS_FIXEDSYS", DS_FIXEDSYS},
        {"DS_NOFAILCREATE", DS_NOFAILCREATE},
        {"DS_LOCALEDIT", DS_LOCALEDIT},
        {"DS_SETFONT", DS_SETFONT},
        {"DS_MODALFRAME", DS_MODALFRAME},
        {"DS_NOIDLEMSG", DS_NOIDLEMSG},
        {"DS_SETFOREGROUND", DS_SETFOREGROUND},
        {"DS_CONTROL", DS_CONTROL},
        {"DS_CENTER", DS_CENTER},
        {"DS_CENTERMOUSE", DS_CENTERMOUSE},
        {"DS_CONTEXTHELP", DS_CONTEXTHELP},
        {"DS_SHELLFONT", DS_SHELLFONT},
        {"ES_LEFT", ES_LEFT},
        {"ES_CENTER", ES_CENTER},
        {"ES_RIGHT", ES_RIGHT},
        {"ES_MULTILINE", ES_MULTILINE},
        {"ES_PASSWORD", ES_PASSWORD},
        {"ES_AUTOVSCROLL", ES_AUTOVSCROLL},
        {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
        {"ES_NOHIDESEL", ES_NOHIDESEL},
        {"ES_READONLY", ES_READONLY},
        {"ES_WANTRETURN", ES_WANTRETURN},
        {"ES_NUMBER", ES_NUMBER},
        {"BS_PUSHBUTTON", BS_PUSHBUTTON},
        {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
        {"BS_CHECKBOX", BS_CHECKBOX},
        {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
        {"BS_RADIOBUTTON", BS_RADIOBUTTON},
        {"BS_3STATE", BS_3STATE},
        {"BS_AUTO3STATE", BS_AUTO3STATE},
        {"BS_GROUPBOX", BS_GROUPBOX},
        {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
        {"BS_OWNERDRAW", BS_OWNERDRAW},
        {"BS_PUSHLIKE", BS_PUSHLIKE},
        {"BS_NOTIFY", BS_NOTIFY},
        {"SS_LEFT", SS_LEFT},
        {"SS_CENTER", SS_CENTER},
        {"SS_RIGHT", SS_RIGHT},
        {"SS_BLACKFRAME", SS_BLACKFRAME},
        {"SS_GRAYFRAME", SS_GRAYFRAME},
        {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP},
        {"SS_ETCHEDHORZ", SS_ETCHEDHORZ},
        {"SS_ETCHEDFRAME", SS_ETCHEDFRAME},
        {"SS_NOPREFIX", SS_NOPREFIX},
        {"SS_NOTIFY", SS_NOTIFY},
        {"SS_CENTERIMAGE", SS_CENTERIMAGE},
        {"SS_SUNKEN", SS_SUNKEN},
        {"CBS_SIMPLE", CBS_SIMPLE},
        {"CBS_DROPDOWN", CBS_DROPDOWN},
        {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
        {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL},
        {"CBS_SORT", CBS_SORT},
        {"CBS_HASSTRINGS", CBS_HASSTRINGS},
        {"LBS_NOTIFY", LBS_NOTIFY},
        {"LBS_SORT", LBS_SORT},
        {"LBS_HASSTRINGS", LBS_HASSTRINGS},
        {"LBS_NOINTEGRALHEIGHT", LBS_NOINTEGRALHEIGHT},
        {"LBS_STANDARD", LBS_STANDARD},
        {"TBS_AUTOTICKS", TBS_AUTOTICKS},
        {"TBS_VERT", TBS_VERT},
        {"TBS_HORZ", TBS_HORZ},
        {"TBS_NOTICKS", TBS_NOTICKS},
        {"IDOK", IDOK},
        {"IDCANCEL", IDCANCEL},
        {"IDABORT", IDABORT},
        {"IDRETRY", IDRETRY},
        {"IDIGNORE", IDIGNORE},
        {"IDYES", IDYES},
        {"IDNO", IDNO},
        {"IDC_STATIC", -1},
    };
    return *names;
}

// Class names a CONTROL statement may give as a word instead of a string.
const std::map<std::string, std::wstring>& ClassWords()
{
    static const auto* words = new std::map<std::string, std::wstring>{
        {"BUTTON", WC_BUTTONW},          {"EDIT", WC_EDITW},
        {"STATIC", WC_STATICW},          {"COMBOBOX", WC_COMBOBOXW},
        {"LISTBOX", WC_LISTBOXW},        {"WC_BUTTON", WC_BUTTONW},
        {"WC_EDIT", WC_EDITW},           {"WC_STATIC", WC_STATICW},
        {"WC_COMBOBOX", WC_COMBOBOXW},   {"WC_LISTBOX", WC_LISTBOXW},
        {"TRACKBAR_CLASS", TRACKBAR_CLASSW}, {"WC_TABCONTROL", WC_TABCONTROLW},
    };
    return *words;
}

// How a control statement reads and what it implies.
enum class Form
{
    TextFirst, // "text", id, x, y, cx, cy [, style [, exstyle]]
    IdFirst,   // id, x, y, cx, cy [, style [, exstyle]]
};
struct ControlKind
{
    Form form;
    const wchar_t* className;
    DWORD defaults; // besides WS_CHILD | WS_VISIBLE
};

const std::map<std::string, ControlKind>& ControlKinds()
{
    static const auto* kinds = new std::map<std::string, ControlKind>{
        {"LTEXT", {Form::TextFirst, WC_STATICW, SS_LEFT | WS_GROUP}},
        {"RTEXT", {Form::TextFirst, WC_STATICW, SS_RIGHT | WS_GROUP}},
        {"CTEXT", {Form::TextFirst, WC_STATICW, SS_CENTER | WS_GROUP}},
        {"PUSHBUTTON", {Form::TextFirst, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP}},
        {"DEFPUSHBUTTON", {Form::TextFirst, WC_BUTTONW, BS_DEFPUSHBUTTON | WS_TABSTOP}},
        {"GROUPBOX", {Form::TextFirst, WC_BUTTONW, BS_GROUPBOX}},
        {"CHECKBOX", {Form::TextFirst, WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP}},
        {"AUTOCHECKBOX", {Form::TextFirst, WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP}},
        {"STATE3", {Form::TextFirst, WC_BUTTONW, BS_3STATE | WS_TABSTOP}},
        {"AUTO3STATE", {Form::TextFirst, WC_BUTTONW, BS_AUTO3STATE | WS_TABSTOP}},
        {"RADIOBUTTON", {Form::TextFirst, WC_BUTTONW, BS_RADIOBUTTON}},
        {"AUTORADIOBUTTON", {Form::TextFirst, WC_BUTTONW, BS_AUTORADIOBUTTON}},
        {"EDITTEXT", {Form::IdFirst, WC_EDITW, ES_LEFT | WS_BORDER | WS_TABSTOP}},
        {"COMBOBOX", {Form::IdFirst, WC_COMBOBOXW, CBS_SIMPLE | WS_TABSTOP}},
        {"LISTBOX", {Form::IdFirst, WC_LISTBOXW, LBS_NOTIFY | WS_BORDER}},
    };
    return *kinds;
}

class DialogReader
{
public:
    explicit DialogReader(ScriptReader& reader) : r(reader), lex(reader.lex) {}

    win32::DialogTemplate Read(bool extended)
    {
        // The platform's style names count as known while the dialog is read.
        const auto* saved = r.namedConstants;
        r.namedConstants = &StyleNames();
        struct Restore
        {
            ScriptReader& r;
            const std::map<std::string, long long>* saved;
            ~Restore() { r.namedConstants = saved; }
        } restore{r, saved};

        win32::DialogTemplate t;
        Rectangle(t.x, t.y, t.cx, t.cy);
        if (extended && r.Accept(","))
            r.Expression(); // help id
        t.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
        Options(t, extended);
        if (!lex.AtBegin())
            r.Fail("expected BEGIN of a dialog");
        lex.Next();
        while (!lex.AtEnd())
        {
            if (lex.Peek().kind == Tok::End)
                r.Fail("missing END of a dialog");
            if (t.items.size() >= kMaxControls)
                r.Fail("too many controls in a dialog");
            t.items.push_back(Control(extended));
        }
        lex.Next();
        return t;
    }

private:
    int Unit()
    {
        const long long v = r.Expression();
        if (v < kMinUnit || v > kMaxUnit)
            r.Fail("dialog units out of range");
        return static_cast<int>(v);
    }

    void Rectangle(int& x, int& y, int& cx, int& cy)
    {
        x = Unit();
        r.Expect(",");
        y = Unit();
        r.Expect(",");
        const int line = lex.Peek().line;
        cx = Unit();
        r.Expect(",");
        cy = Unit();
        if (cx < 0 || cy < 0)
            throw ParseError{line, "a negative width or height"};
    }

    // A style: the defaults, then terms joined by | or +; NOT takes a term's
    // bits away.
    DWORD Style(DWORD defaults)
    {
        auto value = static_cast<unsigned long long>(defaults);
        for (;;)
        {
            if (lex.IsWord("NOT"))
            {
                lex.Next();
                value &= ~static_cast<unsigned long long>(r.Term(0));
            }
            else
                value |= static_cast<unsigned long long>(r.Term(0));
            if (!r.Accept("|") && !r.Accept("+"))
                break;
        }
        return static_cast<DWORD>(value);
    }

    void Options(win32::DialogTemplate& t, bool extended)
    {
        while (!lex.AtBegin())
        {
            if (lex.Peek().kind != Tok::Word)
                r.Fail("expected a dialog option or BEGIN");
            const std::string word = Upper(lex.Next().text);
            if (word == "STYLE")
                t.style = Style(0);
            else if (word == "EXSTYLE")
                t.exStyle = Style(0);
            else if (word == "CAPTION")
                t.caption = r.String();
            else if (word == "FONT")
                Font(t, extended);
            else if (word == "CLASS")
            {
                if (lex.Peek().kind == Tok::String)
                    t.className = lex.Next().str;
                else if (lex.Peek().kind == Tok::Word)
                    t.className = Widen(lex.Next().text);
                else
                    r.Fail("expected a class name");
            }
            else if (word == "MENU")
                r.Name(); // dialogs of this system have no menu bar
            else if (word == "LANGUAGE")
            {
                r.Expression();
                r.Expect(",");
                r.Expression();
            }
            else if (word == "VERSION" || word == "CHARACTERISTICS")
                r.Expression();
            else
                r.Fail("unknown dialog option " + word);
        }
    }

    void Font(win32::DialogTemplate& t, bool extended)
    {
        const long long size = r.Expression();
        if (size < 1 || size > 144)
            r.Fail("dialog font size out of range");
        t.pointSize = static_cast<int>(size);
        r.Expect(",");
        const int line = lex.Peek().line;
        t.fontFace = r.String();
        if (t.fontFace.empty())
            throw ParseError{line, "a dialog font needs a face name"};
        if (!extended || !r.Accept(","))
            return;
        const long long weight = r.Expression();
        if (weight < 0 || weight > 1000)
            r.Fail("dialog font weight out of range");
        t.weight = static_cast<int>(weight);
        if (!r.Accept(","))
            return;
        t.italic = r.Expression() != 0;
        if (r.Accept(","))
            r.Expression(); // character set
    }

    // A control's text: a string, or a resource number (an icon or bitmap of
    // a static), which shows no text here.
    std::wstring Text()
    {
        if (lex.Peek().kind == Tok::String)
            return lex.Next().str;
        r.Expression();
        return std::wstring();
    }

    UINT Id() { return static_cast<UINT>(static_cast<WORD>(r.Expression())); }

    void Tail(win32::DialogItemTemplate& item, bool extended, bool withStyle, DWORD defaults)
    {
        if (withStyle && r.Accept(","))
            item.style = Style(defaults);
        if (r.Accept(","))
        {
            item.exStyle = Style(0);
            if (extended && r.Accept(","))
                r.Expression(); // help id
        }
    }

    win32::DialogItemTemplate Control(bool extended)
    {
        if (lex.Peek().kind != Tok::Word)
            r.Fail("expected a control statement");
        const std::string word = Upper(lex.Next().text);
        win32::DialogItemTemplate item;
        constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
        if (word == "CONTROL")
        {
            item.text = Text();
            r.Expect(",");
            item.id = Id();
            r.Expect(",");
            item.className = ClassName();
            r.Expect(",");
            item.style = Style(kChild);
            r.Expect(",");
            Rectangle(item.x, item.y, item.cx, item.cy);
            Tail(item, extended, false, 0);
            item.style |= WS_CHILD;
            return item;
        }
        if (word == "ICON")
        {
            item.className = WC_STATICW;
            item.text = Text();
            r.Expect(",");
            item.id = Id();
            r.Expect(",");
            item.x = Unit();
            r.Expect(",");
            item.y = Unit();
            item.style = kChild | 0x3; // SS_ICON
            if (r.Accept(","))
            {
                item.cx = Unit();
                r.Expect(",");
                item.cy = Unit();
                if (item.cx < 0 || item.cy < 0)
                    throw ParseError{lex.Peek().line, "a negative width or height"};
                Tail(item, extended, true, item.style);
            }
            item.style |= WS_CHILD;
            return item;
        }
        auto kind = ControlKinds().find(word);
        if (kind == ControlKinds().end())
            r.Fail("unknown control statement " + word);
        item.className = kind->second.className;
        item.style = kChild | kind->second.defaults;
        if (kind->second.form == Form::TextFirst)
        {
            item.text = Text();
            r.Expect(",");
        }
        item.id = Id();
        r.Expect(",");
        Rectangle(item.x, item.y, item.cx, item.cy);
        Tail(item, extended, true, item.style);
        item.style |= WS_CHILD;
        return item;
    }

    std::wstring ClassName()
    {
        if (lex.Peek().kind == Tok::String)
        {
            std::wstring name = lex.Next().str;
            if (name.empty())
                r.Fail("a control needs a class name");
            return name;
        }
        if (lex.Peek().kind == Tok::Word)
        {
            auto it = ClassWords().find(Upper(lex.Peek().text));
            if (it == ClassWords().end())
                r.Fail("unknown control class " + lex.Peek().text);
            lex.Next();
            return it->second;
        }
        r.Fail("expected a control class");
    }

    ScriptReader& r;
    Lexer& lex;
};

} // namespace

win32::DialogTemplate ReadDialogTemplate(ScriptReader& reader, bool extended)
{
    return DialogReader(reader).Read(extended);
}

} // namespace win32::detail
