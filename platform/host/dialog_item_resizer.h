// Keeps a dialog's controls in place when the dialog is resized: each
// control registered with flags keeps its distance to the dialog edges the
// flags name (left 1, right 2, top 4, bottom 8). A control with both edges
// of a direction stretches with the dialog; with one, it moves with that
// edge; with neither, its centre keeps its relative place and its size.
#pragma once

#include "platform/win32/types.h"

#include <vector>

class CWnd;

class CDezazUiDialogItemResizer
{
public:
    enum : UINT
    {
        resize_lockleft = 1,
        resize_lockright = 2,
        resize_locktop = 4,
        resize_lockbottom = 8,
        resize_lockall = 15,
    };

    // The dialog whose controls are kept (its window may come later).
    explicit CDezazUiDialogItemResizer(CWnd* dialog);

    // Registers a control of the dialog by id or by window, with its place
    // now; false for a control that is not the dialog's child. Registering
    // a control again replaces its flags and place.
    bool Add(UINT control_id, UINT flags);
    bool Add(HWND control, UINT flags);
    int Count() const { return static_cast<int>(m_items.size()); }

    // Moves the registered controls for a client area of that size.
    void Resize(int client_width, int client_height);

private:
    struct Item
    {
        HWND window;
        UINT flags;
        RECT place;       // in the dialog's client area when registered
        SIZE client_then; // the dialog's client size when registered
    };

    CWnd* m_dialog;
    std::vector<Item> m_items;
};
