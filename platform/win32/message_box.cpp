#include "platform/win32/codepage.h"
#include "platform/win32/controls.h"
#include "platform/win32/input.h"
#include "platform/win32/prompt_script.h"

#include <string>

namespace
{

bool IsButtonOf(UINT type, INT_PTR answer)
{
    switch (type & MB_TYPEMASK)
    {
    case MB_OK:
        return answer == IDOK;
    case MB_OKCANCEL:
        return answer == IDOK || answer == IDCANCEL;
    case MB_ABORTRETRYIGNORE:
        return answer == IDABORT || answer == IDRETRY || answer == IDIGNORE;
    case MB_YESNOCANCEL:
        return answer == IDYES || answer == IDNO || answer == IDCANCEL;
    case MB_YESNO:
        return answer == IDYES || answer == IDNO;
    case MB_RETRYCANCEL:
        return answer == IDRETRY || answer == IDCANCEL;
    default:
        return false;
    }
}

LPCWSTR BoxClass()
{
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"VtlMessageBox";
        return RegisterClassW(&wc);
    }();
    return MAKEINTATOM(atom);
}

} // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    const std::wstring message = text ? text : L"";
    HWND previousFocus = GetFocus();
    // The box is a window while it is up: it takes the focus as the real box
    // does, so the focused control hears WM_KILLFOCUS now, not afterwards.
    HWND box = CreateWindowExW(0, BoxClass(), caption ? caption : L"Error", WS_POPUP | WS_CAPTION, 0, 0, 300, 120,
                               nullptr, nullptr, nullptr, nullptr);
    if (box)
        SetFocus(box);
    struct Cleanup
    {
        HWND box;
        HWND previousFocus;
        ~Cleanup()
        {
            if (box && IsWindow(box))
            {
                const bool hadFocus = GetFocus() == box;
                DestroyWindow(box);
                if (hadFocus && previousFocus && IsWindow(previousFocus))
                    SetFocus(previousFocus);
            }
        }
    } cleanup{box, previousFocus};
    const INT_PTR answer = win32::AnswerPrompt(win32::kMessageBoxPrompt, message, owner);
    if (!IsButtonOf(type, answer))
        throw win32::UnexpectedPrompt("the answer " + std::to_string(answer) +
                                      " is not a button of the message box \"" + win32::WideToUtf8(message) + "\"");
    return static_cast<int>(answer);
}
