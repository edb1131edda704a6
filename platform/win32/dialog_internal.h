// What the dialog sources of this folder share about a dialog window; not
// part of the platform's interface.
#pragma once

#include "platform/win32/dialog.h"

#include <memory>

namespace win32::detail
{

struct DialogState
{
    DLGPROC proc = nullptr;
    HFONT font = nullptr;      // owned; deleted with the dialog
    HFONT shownFont = nullptr; // WM_SETFONT
    SIZE baseUnits{1, 1}; // pixels per 4 horizontal and 8 vertical dialog units
    WORD defId = 0;       // DM_SETDEFID; 0: the template's default button, else IDOK
    HWND lastFocus = nullptr;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
};

// The state of a window made by CreateDialog*, or null.
std::shared_ptr<DialogState> FindDialog(HWND hwnd);
// Focus to a control the way the dialog moves it: an edit's text is selected
// whole, and the dialog remembers the control for when it gets focus again.
void SetDialogFocus(HWND dialog, HWND control);
// Whether b is in a's group (the controls from one WS_GROUP to the next).
bool SameGroup(HWND dialog, HWND a, HWND b);
// The id Enter presses when no push button has the focus.
WORD DialogDefaultId(HWND dialog);

} // namespace win32::detail
