// OpenGL in windows: Mesa's OpenGL 1.1 and GLU, and the WGL and GDI calls
// that bind them to windows. System code includes this one header.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/wgl/buffer_region.h"
#include "platform/wgl/context.h"
#include "platform/wgl/device_context.h"
#include "platform/wgl/pixel_format.h"
