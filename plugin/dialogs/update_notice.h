// The shapes dialog's once-per-load update check. The worker gets a copy of
// the shapes view's window handle and the server address, nothing of the
// dialog, so closing the dialog while the check runs is harmless: the
// worker tests the window before it posts the notice.
#pragma once

#include "platform/win32/types.h"

#include <string>

// Starts the check unless it already ran since the plug-in was loaded.
// True when a check was started now.
bool StartUpdateCheckOnce(HWND viewWindow, const std::wstring& server);
// Waits for a running check to end by itself and frees it.
void FinishUpdateCheck();
// Ends a running check at once, without a notice or a ping, and frees it
// (the plug-in is unloading: a silent server must not hold the host).
void AbandonUpdateCheck();
// Lets the next dialog check again, as a fresh load of the plug-in would.
void ResetUpdateCheckOnce();
