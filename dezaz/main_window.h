// The host program's main window: its menu bar with the plug-in menus, and
// a view of the document (its objects) above the command line, so that a
// screenshot shows what the host holds and what it last said.
#pragma once

#include "platform/win32/types.h"

namespace dezaz
{

// Created shown, 1024 x 768, titled "Dezaz".
HWND CreateMainWindow();
// Repaints the window now (before a screenshot).
void RefreshMainWindow(HWND window);

} // namespace dezaz
