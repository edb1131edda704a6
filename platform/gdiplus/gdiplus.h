// The GDI+ flat functions, drawn with cairo. System code includes this one
// header; each concern lives in its own header below.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"
#include "platform/gdiplus/startup.h"
#include "platform/gdiplus/bitmap.h"
#include "platform/gdiplus/image_load.h"
#include "platform/gdiplus/graphics.h"
#include "platform/gdiplus/graphics_draw.h"
#include "platform/gdiplus/pen_brush.h"
#include "platform/gdiplus/path.h"
#include "platform/gdiplus/text.h"
