// Whether a composed window image shows a scroll bar's arrow button at a
// place: the arrow's black triangle inside the 17-pixel square.
#pragma once

#include "platform/win32/window.h"

#include <cstddef>

namespace testwin
{

// The black pixels inside the square of the arrow button whose top left
// corner is at `corner` in the image (a drawn arrow has a dozen, a list's
// white rows or a dialog's face none).
inline int ArrowInk(const win32::ClientImage& image, POINT corner)
{
    int ink = 0;
    for (LONG y = corner.y + 2; y < corner.y + 15; ++y)
        for (LONG x = corner.x + 2; x < corner.x + 15; ++x)
            if (x >= 0 && y >= 0 && x < image.width && y < image.height)
                ink += (image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)] & 0xFFFFFFu) == 0;
    return ink;
}

} // namespace testwin
