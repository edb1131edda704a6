// The Win32 subset of the stand-in platform layer. System code includes this
// one header; each concern lives in its own header below.
#pragma once

#include "platform/win32/types.h"
#include "platform/win32/handles.h"

#if __has_include("platform/win32/interlocked.h")
#include "platform/win32/interlocked.h"
#endif
#if __has_include("platform/win32/file_mapping.h")
#include "platform/win32/file_mapping.h"
#endif
#if __has_include("platform/win32/kernel.h")
#include "platform/win32/kernel.h"
#endif
#if __has_include("platform/win32/module.h")
#include "platform/win32/module.h"
#endif
#if __has_include("platform/win32/registry.h")
#include "platform/win32/registry.h"
#endif
#if __has_include("platform/win32/guid.h")
#include "platform/win32/guid.h"
#endif
#if __has_include("platform/win32/codepage.h")
#include "platform/win32/codepage.h"
#endif
#if __has_include("platform/win32/clock.h")
#include "platform/win32/clock.h"
#endif
#if __has_include("platform/win32/window.h")
#include "platform/win32/window.h"
#endif
#if __has_include("platform/win32/message.h")
#include "platform/win32/message.h"
#endif
#if __has_include("platform/win32/input.h")
#include "platform/win32/input.h"
#endif
#if __has_include("platform/win32/gdi.h")
#include "platform/win32/gdi.h"
#endif
#if __has_include("platform/win32/gdi_objects.h")
#include "platform/win32/gdi_objects.h"
#endif
#if __has_include("platform/win32/device_context.h")
#include "platform/win32/device_context.h"
#endif
#if __has_include("platform/win32/gdi_paint.h")
#include "platform/win32/gdi_paint.h"
#endif
#if __has_include("platform/win32/controls.h")
#include "platform/win32/controls.h"
#endif
#if __has_include("platform/win32/menu.h")
#include "platform/win32/menu.h"
#endif
#if __has_include("platform/win32/resource.h")
#include "platform/win32/resource.h"
#endif
#if __has_include("platform/win32/global_memory.h")
#include "platform/win32/global_memory.h"
#endif
#if __has_include("platform/win32/stream.h")
#include "platform/win32/stream.h"
#endif
#if __has_include("platform/win32/resource_data.h")
#include "platform/win32/resource_data.h"
#endif
#if __has_include("platform/win32/icons.h")
#include "platform/win32/icons.h"
#endif
#if __has_include("platform/win32/sound.h")
#include "platform/win32/sound.h"
#endif
#if __has_include("platform/win32/tooltip.h")
#include "platform/win32/tooltip.h"
#endif
#if __has_include("platform/win32/shell.h")
#include "platform/win32/shell.h"
#endif
#if __has_include("platform/win32/dialog.h")
#include "platform/win32/dialog.h"
#endif
