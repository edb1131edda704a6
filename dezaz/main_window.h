// The host program's main window: its menu bar with the plug-in menus, a
// line naming the document, a 3D viewport of the document's objects (drawn
// through the host display pipeline, so plug-ins' conduits and analysis
// modes show in it) and the command line below it, so that a screenshot
// shows what a user of the host sees.
#pragma once

#include "platform/win32/types.h"

class CDezazViewport;

namespace dezaz
{

// Created shown, 1024 x 768, titled "Dezaz".
HWND CreateMainWindow();
// Repaints the window and its viewport now (before a screenshot).
void RefreshMainWindow(HWND window);
// The main window's viewport (null for another window, or when the window
// could not make one).
CDezazViewport* MainViewport(HWND window);

// Layout of the client area: the menu band and document line on top, the
// command line's lines at the bottom, the viewport between them.
inline constexpr int kMainLineHeight = 18;
inline constexpr int kMainViewportTop = 2 * kMainLineHeight + 12;
inline constexpr int kMainCommandLines = 8;
int MainCommandLineTop(int client_height);

} // namespace dezaz
