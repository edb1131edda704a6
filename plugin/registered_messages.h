// Window messages the plug-in registers (process-wide ids).
#pragma once

#include "platform/win32/types.h"

// Posted to the shapes view when the update check finds a newer version.
extern const UINT WM_NEW_VTL_SOFTWARE_AVAILABLE;
// Posted by the shape list to its parent on a right click.
extern const UINT WM_RBUTTON_ON_ENTITIES_LIST;
