// The MFC subset of the stand-in platform layer. System code includes this
// one header; each concern lives in its own header below.
#pragma once

#include "platform/mfc/cmd_target.h"
#include "platform/mfc/dc.h"
#include "platform/mfc/geometry_types.h"
#include "platform/mfc/mfc_string.h"
#include "platform/mfc/object.h"
#include "platform/mfc/ptr_list.h"
#include "platform/mfc/view.h"
#include "platform/mfc/win_app.h"
#include "platform/mfc/wnd.h"

#if __has_include("platform/mfc/menu.h")
#include "platform/mfc/menu.h"
#endif
#if __has_include("platform/mfc/dialog.h")
#include "platform/mfc/dialog.h"
#endif
#if __has_include("platform/mfc/controls.h")
#include "platform/mfc/controls.h"
#endif
