// Keeps GDI+ running while any holder exists: the first guard starts it,
// the last one to go shuts it down.
#pragma once

#include "platform/win32/types.h"

class cGdiplusGuard
{
public:
    cGdiplusGuard();
    ~cGdiplusGuard();
    cGdiplusGuard(const cGdiplusGuard&) = delete;
    cGdiplusGuard& operator=(const cGdiplusGuard&) = delete;

    // Guards alive in the process.
    static long GetHolderCount();
};
