// The quick trim ("vtlTrim"): the picked surface is split by every other
// visible polysurface and only the pieces under the pick are kept.
#pragma once

#include "platform/geometry/brep.h"
#include "platform/geometry/simple_array.h"

// The host's brep split, through a pointer a test may redirect to hand the
// trim a chosen number of pieces.
using BrepSplitService = bool (*)(const ON_Brep& brep, const ON_Brep& cutter, double tolerance,
                                  ON_SimpleArray<ON_Brep*>& pieces);
extern BrepSplitService SplitBrep;
