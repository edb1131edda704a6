#include "platform/win32/shell_message_box.h"

#include "platform/win32/controls.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/registry.h"

namespace
{

bool IsRemembered(LPCWSTR name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, win32::kMessageBoxCheckKey, 0, KEY_READ, &key) !=
        static_cast<LSTATUS>(ERROR_SUCCESS))
        return false;
    const bool found = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) ==
                       static_cast<LSTATUS>(ERROR_SUCCESS);
    RegCloseKey(key);
    return found;
}

void Remember(LPCWSTR name)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, win32::kMessageBoxCheckKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != static_cast<LSTATUS>(ERROR_SUCCESS))
        return;
    static const wchar_t kNo[] = L"NO";
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), 3 * 2); // two bytes a character, NUL included
    RegCloseKey(key);
}

} // namespace

int SHMessageBoxCheckW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type, int defaultResult,
                       LPCWSTR registryValue)
{
    if (registryValue && *registryValue && IsRemembered(registryValue))
        return defaultResult;
    (void)caption;
    (void)type;
    // The box and its check box answer together: the button, with the
    // ticked bit when the user asked not to see it again.
    const int answer = static_cast<int>(win32::AnswerPrompt(win32::kMessageBoxPrompt, text ? text : L"", owner));
    if ((answer & kMessageBoxCheckTicked) && registryValue && *registryValue)
        Remember(registryValue);
    return answer & ~kMessageBoxCheckTicked;
}
