// Device contexts belong to the GDI layer; GL windows use the same ones.
#pragma once

#include "platform/win32/device_context.h"
