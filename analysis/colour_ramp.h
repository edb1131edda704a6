// The colour scale of the deviation analysis: green within tolerance,
// yellow to red above it, cyan to blue below it, dark red and dark blue
// beyond the scale's limits.
#pragma once

#include <cstdint>

// Seven entries of R, G, B, A (0..1).
using tColourTable = float[7][4];

enum eRampEntry : int
{
    kRampAboveLimit = 0,
    kRampPositiveEnd = 1,
    kRampPositiveStart = 2,
    kRampInTolerance = 3,
    kRampNegativeStart = 4,
    kRampNegativeEnd = 5,
    kRampBelowLimit = 6,
};

// The analysis' own table.
void SetDefaultColourTable(tColourTable table);

// The colour of deviation d: entry 0 above `upper`, entry 6 below `lower`,
// entry 3 when |d| < tolerance, otherwise a blend from the blend start at
// |d| = tolerance to its end at |d| = maximum (entries 2 to 1 for d > 0,
// 4 to 5 for d <= 0), times brightness. Channels are truncated to 0..255;
// a NaN gives 0.
void Ramp(float d, float maximum, float tolerance, float lower, float upper, const tColourTable table,
          std::uint8_t& r, std::uint8_t& g, std::uint8_t& b, float brightness);

// Whether a tolerance and a scale maximum can drive the ramp: a finite
// tolerance above 0 and a finite maximum above it (a multiplier above 1).
bool IsValidRampRange(float tolerance, float maximum);
