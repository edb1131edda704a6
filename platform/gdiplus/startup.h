// Starting and shutting down GDI+. Start-ups nest: objects can be made from
// the first start-up until the matching last shut-down.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

// Versions 1 to 3 are accepted; the token identifies this start-up.
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

namespace gdiplus
{

// Start-ups not yet shut down.
int ActiveStartupCount();

} // namespace gdiplus
