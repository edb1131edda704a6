// A command script of the host (commands, "> Kind answer" prompt answers,
// comments) from untrusted text. A probe command "Ask <kind> <text>" shows
// a prompt of the kind (box, menu, dialog, object) with the text, so that
// queued answers are taken, matched against what the prompt shows, or left
// over. Invariants: nothing crashes or hangs; a script that fails says why;
// a script of comments and blank lines alone succeeds; answers never
// outlive their script.
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/win32/codepage.h"
#include "platform/win32/prompt_script.h"

#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <string>

namespace
{

class cAskCommand : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override { return ON_UuidFromString("5C1A7E55-0F0F-4A4A-9B9B-0123456789AB"); }
    const wchar_t* EnglishCommandName() override { return L"Ask"; }
    result RunCommand(const CDezazCommandContext& context) override
    {
        const std::wstring& arguments = context.Arguments();
        const std::size_t space = arguments.find(L' ');
        const std::wstring kind = arguments.substr(0, space);
        const std::wstring text = space == std::wstring::npos ? std::wstring() : arguments.substr(space + 1);
        const wchar_t* prompt = kind == L"box"      ? win32::kMessageBoxPrompt
                                : kind == L"menu"   ? win32::kPopupMenuPrompt
                                : kind == L"dialog" ? win32::kDialogPrompt
                                : kind == L"object" ? dezaz::kObjectPrompt
                                                    : nullptr;
        if (!prompt)
            return failure;
        return win32::AnswerPrompt(prompt, text) > 0 ? success : cancel;
    }
};

bool OnlyCommentsAndBlanks(const std::wstring& script)
{
    bool line_start = true, comment = false;
    for (const wchar_t c : script)
    {
        if (c == L'\n')
        {
            line_start = true;
            comment = false;
            continue;
        }
        if (comment || std::iswspace(c))
            continue;
        if (!line_start || c != L'#')
            return false;
        comment = true;
        line_start = false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static cAskCommand ask;
    static const bool filled = [] {
        DezazApp().ActiveDoc().AddPointObject(ON_3dPoint(1, 2, 3));
        DezazApp().ActiveDoc().AddPointObject(ON_3dPoint(4, 5, 6));
        return true;
    }();
    (void)filled;
    const std::wstring script = win32::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
    win32::ClearPromptAnswers();
    DezazApp().ClearCommandLineText();
    const bool ok = DezazApp().RunScript(script.c_str(), 1);
    if (!ok && DezazApp().LastScriptError().empty())
        std::abort();
    // The script ends at its first NUL, as a C string does.
    if (!ok && OnlyCommentsAndBlanks(std::wstring(script.c_str())))
        std::abort();
    win32::ClearPromptAnswers();
    if (win32::PendingPromptAnswers() != 0)
        std::abort();
    return 0;
}
