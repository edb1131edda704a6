#include "analysis/colour_ramp.h"

#include <cmath>

namespace
{

constexpr float kDark = 0.5176471f; // 132 / 255

std::uint8_t ToByte(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 255.0f)
        return 255;
    return static_cast<std::uint8_t>(value);
}

} // namespace

void SetDefaultColourTable(tColourTable table)
{
    static constexpr float kTable[7][4] = {{kDark, 0, 0, 1}, {1, 0, 0, 1}, {1, 1, 0, 1}, {0, 1, 0, 1},
                                           {0, 1, 1, 1},     {0, 0, 1, 1}, {0, 0, kDark, 1}};
    for (int i = 0; i < 7; ++i)
        for (int c = 0; c < 4; ++c)
            table[i][c] = kTable[i][c];
}

void Ramp(float d, float maximum, float tolerance, float lower, float upper, const tColourTable table,
          std::uint8_t& r, std::uint8_t& g, std::uint8_t& b, float brightness)
{
    int single = -1;
    if (d > upper)
        single = kRampAboveLimit;
    else if (d < lower)
        single = kRampBelowLimit;
    else if (std::fabs(d) < tolerance)
        single = kRampInTolerance;
    if (single >= 0)
    {
        r = ToByte(table[single][0] * 255.0f);
        g = ToByte(table[single][1] * 255.0f);
        b = ToByte(table[single][2] * 255.0f);
        return;
    }
    const float t = (std::fabs(d) - tolerance) / (maximum - tolerance);
    const float* from = d > 0.0f ? table[kRampPositiveStart] : table[kRampNegativeStart];
    const float* to = d > 0.0f ? table[kRampPositiveEnd] : table[kRampNegativeEnd];
    std::uint8_t* out[3] = {&r, &g, &b};
    for (int c = 0; c < 3; ++c)
        *out[c] = ToByte(((1.0f - t) * from[c] + t * to[c]) * brightness * 255.0f / ((1.0f - t) + t));
}

bool IsValidRampRange(float tolerance, float maximum)
{
    return std::isfinite(tolerance) && tolerance > 0.0f && std::isfinite(maximum) && maximum > tolerance;
}
