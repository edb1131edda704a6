// The shell's message box with a "do not show this again" check box. The
// user's choice is remembered under the current user's key by the value
// name the caller gives; once remembered, the box is not shown again and the
// caller's default result comes back at once.
#pragma once

#include "platform/win32/types.h"

// Scripts and tests answer the box as a message box; an answer with this
// bit set also ticks the check box.
inline constexpr int kMessageBoxCheckTicked = 0x10000;

int SHMessageBoxCheckW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type, int defaultResult,
                       LPCWSTR registryValue);

namespace win32
{
// Where the remembered choices live, below HKEY_CURRENT_USER.
inline constexpr const wchar_t* kMessageBoxCheckKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DontShowMeThisDialogAgain";
} // namespace win32
