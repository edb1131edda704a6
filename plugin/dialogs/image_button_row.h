// Icon buttons of the Curves page and its section panel: an icon from the
// plug-in's resources instead of a caption, a flat white face, laid out in
// one row one pixel apart.
#pragma once

#include "overlay/button_st.h"

#include <cstddef>

class CWnd;

// Takes over the dialog's button `id` (when the dialog has it) and gives it
// the icon resource `icon`; an id with all bits set loads no icon. False when
// the button is missing.
bool SetupImageButton(CImageButton& button, CWnd* dialog, int id, UINT icon, bool alwaysDrawFace);

// The first button keeps its place; each following one starts one pixel
// right of the previous one, top-aligned with the first, keeping its size.
// Missing buttons are skipped.
void LayOutImageButtonRow(HWND dialog, const int* ids, std::size_t count);
