// Context menus whose items show pictures (SetMenuItemBitmaps). A menu does
// not own the bitmaps put on its items, so whoever shows a menu and then
// destroys it deletes them with it; otherwise every menu shown leaves its
// pictures alive in the host's process.
#pragma once

#include "platform/win32/types.h"

// Deletes the check-mark bitmaps of every item of the menu and of its
// sub-menus and takes them off the items.
void DeleteMenuItemBitmaps(HMENU menu);
