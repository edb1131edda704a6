// The Win32 subset of the stand-in platform layer. System code includes this
// one header; each concern lives in its own header below.
#pragma once

#include "platform/win32/types.h"
#include "platform/win32/handles.h"
