#include "platform/host/dezaz_app.h"

#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/mfc/win_app.h"
#include "platform/mfc/wnd.h"
#include "platform/win32/codepage.h"
#include "platform/win32/controls.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window_snapshot.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <sstream>
#include <vector>

namespace
{

std::wstring Trim(const std::wstring& s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && std::iswspace(s[a]))
        ++a;
    while (b > a && std::iswspace(s[b - 1]))
        --b;
    return s.substr(a, b - a);
}

// "name rest" -> name, rest.
void SplitFirstWord(const std::wstring& line, std::wstring& first, std::wstring& rest)
{
    std::size_t i = 0;
    while (i < line.size() && !std::iswspace(line[i]))
        ++i;
    first = line.substr(0, i);
    rest = Trim(line.substr(i));
}

bool SameNoCase(const std::wstring& a, const wchar_t* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size() && b[i] == 0;
}

bool ParseInteger(const std::wstring& text, long long& value)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    value = std::wcstoll(text.c_str(), &end, 10);
    return errno == 0 && end && *end == 0;
}

} // namespace

CDezazApp::CDezazApp() : m_doc(std::make_unique<CDezazDoc>()) {}

CDezazApp::~CDezazApp() = default;

void CDezazApp::Print(const wchar_t* format, ...)
{
    if (!format)
        return;
    std::vector<wchar_t> buffer(256);
    for (;;)
    {
        va_list args;
        va_start(args, format);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size())
            break;
        // vswprintf reports neither the needed size nor an encoding error
        // apart: grow up to a sane bound, then give up on the text.
        if (buffer.size() >= (1u << 20))
            return;
        buffer.resize(buffer.size() * 4);
    }
    std::function<void(const std::wstring&)> sink;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_commandLine += buffer.data();
        sink = m_sink;
    }
    if (sink)
        sink(buffer.data());
}

std::wstring CDezazApp::CommandLineText() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_commandLine;
}

void CDezazApp::ClearCommandLineText()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_commandLine.clear();
}

void CDezazApp::SetPrintSink(std::function<void(const std::wstring&)> sink)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_sink = std::move(sink);
}

CDezazDoc& CDezazApp::ActiveDoc()
{
    return *m_doc;
}

CWnd* CDezazApp::MainWnd() const
{
    return m_main_window && IsWindow(m_main_window) ? CWnd::FromHandle(m_main_window) : nullptr;
}

void CDezazApp::Fail(const std::wstring& message)
{
    m_last_error = message;
    ++m_failures;
    Print(L"%ls\n", message.c_str());
}

CDezazCommand::result CDezazApp::RunCommandLine(const std::wstring& line, bool echo)
{
    std::wstring name, arguments;
    SplitFirstWord(Trim(line), name, arguments);
    // "-" asks for the batch form of a command, "_" for its English name.
    bool interactive = true;
    std::size_t skip = 0;
    while (skip < name.size() && (name[skip] == L'-' || name[skip] == L'_'))
    {
        if (name[skip] == L'-')
            interactive = false;
        ++skip;
    }
    name.erase(0, skip);
    if (name.empty())
        return CDezazCommand::nothing;
    CDezazCommand* command = dezaz::FindCommand(name);
    if (!command)
    {
        Fail(L"Unknown command: " + name);
        return CDezazCommand::unknown_command;
    }
    if (echo)
        Print(L"Command: %ls\n", Trim(line).c_str());
    CDezazCommandContext context(ActiveDoc(), interactive, arguments);
    CDezazCommand::result result = CDezazCommand::failure;
    try
    {
        result = command->RunCommand(context);
    }
    catch (const win32::UnexpectedPrompt& e)
    {
        Fail(L"Command " + name + L" stopped at a prompt nobody answered: " + win32::Utf8ToWide(e.what()));
        return CDezazCommand::failure;
    }
    if (result != CDezazCommand::success)
        Fail(L"Command " + name + (result == CDezazCommand::cancel ? L" was cancelled" : L" failed"));
    return result;
}

bool CDezazApp::RunEntry(const std::wstring& raw, int echo)
{
    const std::wstring line = Trim(raw);
    if (line.empty() || line[0] == L'#')
        return true;
    if (line[0] == L'>')
    {
        std::wstring error;
        if (!dezaz::QueueScriptAnswer(Trim(line.substr(1)), error))
        {
            Fail(L"Bad answer \"" + line + L"\": " + error);
            return false;
        }
        return true;
    }
    // A command that ran a script fails with it (a plug-in menu's script).
    const unsigned long failures = m_failures;
    const bool ok = RunCommandLine(line, echo != 0) == CDezazCommand::success && m_failures == failures;
    // What the command posted (window updates, notices) is handled before
    // the next entry, as a user's next keystroke would wait for it.
    mfc::PumpUntilIdle();
    return ok;
}

bool CDezazApp::RunScript(const wchar_t* script, int echo)
{
    if (!script)
        return false;
    std::wistringstream lines{std::wstring(script)};
    std::wstring line;
    while (std::getline(lines, line))
        if (!RunEntry(line, echo))
            return false;
    return true;
}

CDezazApp& DezazApp()
{
    static CDezazApp app;
    return app;
}

namespace dezaz
{

namespace
{

struct ButtonName
{
    const wchar_t* name;
    int id;
};
constexpr ButtonName kButtons[] = {{L"OK", 1},    {L"Cancel", 2}, {L"Abort", 3}, {L"Retry", 4},
                                   {L"Ignore", 5}, {L"Yes", 6},   {L"No", 7}};

// "at x,y,z" (commas or blanks between the numbers): where the user clicked.
bool ParseClickedPoint(const std::wstring& text, ON_3dPoint& point)
{
    std::wstring word, rest;
    SplitFirstWord(text, word, rest);
    if (!SameNoCase(word, L"at"))
        return false;
    for (wchar_t& c : rest)
        if (c == L',')
            c = L' ';
    std::wistringstream numbers(rest);
    double xyz[3];
    for (double& v : xyz)
    {
        std::wstring n;
        if (!(numbers >> n))
            return false;
        wchar_t* end = nullptr;
        v = std::wcstod(n.c_str(), &end);
        if (!end || *end != 0 || !std::isfinite(v))
            return false;
    }
    std::wstring extra;
    if (numbers >> extra)
        return false;
    point = ON_3dPoint(xyz[0], xyz[1], xyz[2]);
    return true;
}

bool QueueObjectAnswer(const std::wstring& what, const std::wstring& where, std::wstring& error)
{
    const CDezazDoc& doc = DezazApp().ActiveDoc();
    long long serial = 0;
    if (SameNoCase(what, L"cancel"))
        serial = 0;
    else if (SameNoCase(what, L"nothing"))
        serial = kAnswerNothing;
    else if (SameNoCase(what, L"last") || SameNoCase(what, L"first") || SameNoCase(what, L"selected"))
    {
        // Resolved now: the object that is last, first or selected when the
        // answer is queued, which is what the script's author sees.
        const std::vector<const CDezazObject*> objects = doc.Objects();
        const CDezazObject* chosen = nullptr;
        if (SameNoCase(what, L"selected"))
        {
            for (const CDezazObject* o : objects)
                if (o->IsSelected() && !chosen)
                    chosen = o;
        }
        else if (!objects.empty())
            chosen = SameNoCase(what, L"last") ? objects.back() : objects.front();
        if (!chosen)
        {
            error = L"the document has no such object";
            return false;
        }
        serial = chosen->RuntimeSerialNumber();
    }
    else if (!ParseInteger(what, serial) || serial <= 0)
    {
        error = L"expected an object serial number, last, first, selected, cancel or nothing";
        return false;
    }
    win32::PromptAnswer answer;
    answer.kind = kObjectPrompt;
    answer.result = static_cast<INT_PTR>(serial);
    if (!where.empty())
    {
        ON_3dPoint point;
        if (serial <= 0 || !ParseClickedPoint(where, point))
        {
            error = L"a picked object takes its point as: at x,y,z";
            return false;
        }
        answer.act = [point, serial](HWND, const std::wstring&) {
            SetAnsweredSelectionPoint(point);
            return static_cast<INT_PTR>(serial);
        };
    }
    win32::QueuePromptAnswer(std::move(answer));
    return true;
}

// A look at the next modal dialog: its picture goes to the folder, named
// after its caption, and the dialog runs on with the next answer.
bool QueueScreenshotAnswer(std::wstring folder, std::wstring& error)
{
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
        folder = folder.substr(1, folder.size() - 2);
    if (folder.empty())
    {
        error = L"a screenshot of a dialog needs a folder";
        return false;
    }
    win32::PromptAnswer answer;
    answer.kind = win32::kDialogPrompt;
    answer.act = [folder](HWND window, const std::wstring& caption) -> INT_PTR {
        // A prompt without a window has no picture, and nothing is written.
        if (!window || !IsWindow(window))
            return 0;
        std::wstring name;
        for (wchar_t c : caption)
            name += (c < 32 || std::wcschr(L"/\\:*?\"<>|", c)) ? L'_' : c;
        if (name.empty() || name.front() == L'.')
            name.insert(0, L"dialog");
        const std::filesystem::path target = std::filesystem::path(win32::WideToUtf8(folder)) / (win32::WideToUtf8(name) + ".png");
        std::error_code ec;
        std::filesystem::create_directories(target.parent_path(), ec);
        std::string reason;
        if (win32::WriteComposedPng(window, target, &reason))
            DezazApp().Print(L"Screenshot of \"%ls\" written to %ls.\n", caption.c_str(), folder.c_str());
        else
            DezazApp().Print(L"Cannot write the screenshot of \"%ls\": %ls\n", caption.c_str(),
                             win32::Utf8ToWide(reason).c_str());
        return 0;
    };
    win32::QueuePromptAnswer(std::move(answer));
    return true;
}

// "Slider <control id> <position>": the next modal dialog's trackbar is
// dragged to the position and let go, as a user moves it (the dialog hears
// the drag, the thumb's position and the end of the scroll); the dialog
// runs on with the next answer.
bool QueueSliderAnswer(const std::wstring& text, std::wstring& error)
{
    std::wstring idText, positionText, expect;
    SplitFirstWord(text, idText, positionText);
    SplitFirstWord(positionText, positionText, expect);
    long long id = 0, position = 0;
    if (!ParseInteger(idText, id) || id <= 0 || id > 0xFFFF || !ParseInteger(positionText, position) ||
        position < INT_MIN || position > INT_MAX)
    {
        error = L"a slider answer needs the trackbar's control id and a position";
        return false;
    }
    win32::PromptAnswer answer;
    answer.kind = win32::kDialogPrompt;
    answer.expect = expect;
    answer.act = [id, position](HWND window, const std::wstring& caption) -> INT_PTR {
        HWND slider = window ? GetDlgItem(window, static_cast<int>(id)) : nullptr;
        if (!slider)
        {
            DezazApp().Print(L"The dialog \"%ls\" has no control %lld to slide.\n", caption.c_str(), id);
            return 0;
        }
        SendMessageW(slider, TBM_SETPOS, TRUE, static_cast<LPARAM>(position));
        const int at = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
        for (const WORD code : {SB_THUMBTRACK, SB_THUMBPOSITION, SB_ENDSCROLL})
            SendMessageW(window, WM_HSCROLL, MAKEWPARAM(code, code == SB_ENDSCROLL ? 0 : at),
                         reinterpret_cast<LPARAM>(slider));
        return 0;
    };
    win32::QueuePromptAnswer(std::move(answer));
    return true;
}

} // namespace

bool QueueScriptAnswer(const std::wstring& text, std::wstring& error)
{
    std::wstring kind, rest;
    SplitFirstWord(text, kind, rest);
    if (SameNoCase(kind, L"Screenshot"))
        return QueueScreenshotAnswer(Trim(rest), error);
    if (SameNoCase(kind, L"Slider"))
        return QueueSliderAnswer(rest, error);
    std::wstring value, expect;
    SplitFirstWord(rest, value, expect);
    if (SameNoCase(kind, L"Object"))
        return QueueObjectAnswer(value, expect, error);

    win32::PromptAnswer answer;
    answer.expect = expect;
    long long number = 0;
    if (SameNoCase(kind, L"MessageBox"))
    {
        answer.kind = win32::kMessageBoxPrompt;
        bool known = false;
        for (const ButtonName& b : kButtons)
            if (SameNoCase(value, b.name))
            {
                answer.result = b.id;
                known = true;
            }
        if (!known)
        {
            error = L"expected a button: OK, Cancel, Abort, Retry, Ignore, Yes or No";
            return false;
        }
    }
    else if (SameNoCase(kind, L"Menu") || SameNoCase(kind, L"Dialog"))
    {
        answer.kind = SameNoCase(kind, L"Menu") ? win32::kPopupMenuPrompt : win32::kDialogPrompt;
        if (!ParseInteger(value, number) || number < 0)
        {
            error = L"expected a non-negative number";
            return false;
        }
        answer.result = static_cast<INT_PTR>(number);
    }
    else
    {
        error = L"unknown prompt kind (Object, MessageBox, Menu, Dialog, Slider or Screenshot)";
        return false;
    }
    win32::QueuePromptAnswer(std::move(answer));
    return true;
}

int MessageBoxAnswer(const wchar_t* text, const wchar_t* caption, unsigned int)
{
    const std::wstring message = text ? text : L"";
    DezazApp().Print(L"[%ls] %ls\n", caption ? caption : L"", message.c_str());
    return static_cast<int>(win32::AnswerPrompt(win32::kMessageBoxPrompt, message));
}

} // namespace dezaz

int DezazMessageBox(HWND, const wchar_t* text, const wchar_t* caption, unsigned int type)
{
    return dezaz::MessageBoxAnswer(text, caption, type);
}
