// How script commands reach a tool window's controls: the window's own
// controls first, then those on its child dialogs (tab pages, panels), as a
// user sees them.
#pragma once

#include "platform/win32/window.h"

#include <string>

namespace dezaz
{

// The control of that id: the window's own visible child when it is enabled,
// else the one visible and enabled control of that id on its child dialogs
// (searched in z-order), else the window's own visible one, else the one
// visible control on its child dialogs, else the window's own hidden one.
// Null when there is none, or when several visible ones carry the id; then
// `problem` says which, to be printed after "The window "<title>" ".
HWND FindDialogControl(HWND window, int id, std::wstring& problem);

// The first visible tab control among the window's descendants (z-order)
// that has a tab of that caption (compared without case, "&" ignored), and
// that tab's index; null when none has it. `captions` lists the tabs seen.
HWND FindDialogTab(HWND window, const std::wstring& caption, int& index, std::wstring& captions);

} // namespace dezaz
