// The renderer's own bitmap resources, registered with the module that
// carries the plug-in's resources.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>
#include <vector>

// The axis letters: a packed 24-bit DIB of 64 x 16 pixels, the letters X, Y
// and Z in dark grey in 16-pixel cells on white (the fourth cell empty).
std::vector<std::uint8_t> AxisLetterBitmapBytes();

// Registers every bitmap above under its resource id (once per module is
// enough; registering again replaces them).
void RegisterRendererResources(HMODULE module);
