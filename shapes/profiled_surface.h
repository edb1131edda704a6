// The profiled-surface interface lives in core/, below the fitting that
// fills surfaces through it; this name stays for the code that still
// includes it from here.
#pragma once

#include "core/profiled_surface.h"
