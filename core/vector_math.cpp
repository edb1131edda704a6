#include "core/vector_math.h"

#include <cmath>
#include <cstdint>
#include <cstring>

double FastInvSqrt(double x)
{
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const auto high = static_cast<std::uint32_t>(bits >> 32);
    const std::uint32_t guessHigh = (0xBFCD4600u - high) >> 1;
    bits = (static_cast<std::uint64_t>(guessHigh) << 32) | (bits & 0xFFFFFFFFu);
    double y;
    std::memcpy(&y, &bits, sizeof y);

    const double half = x * 0.5;
    for (int step = 0; step < 4; ++step)
        y = y * (1.5 - y * y * half);
    return y;
}

void NormaliseVector3f(float v[3])
{
    const float sum = std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]);
    if (FLT_EPSILON > sum)
        return;
    const double x = v[0], y = v[1], z = v[2];
    const double k = FastInvSqrt(x * x + y * y + z * z);
    v[0] = static_cast<float>(x * k);
    v[1] = static_cast<float>(y * k);
    v[2] = static_cast<float>(z * k);
}

void NormaliseVector3d(double v[3])
{
    if (kNormaliseEpsilon > std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]))
        return;
    const double k = FastInvSqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    v[0] *= k;
    v[1] *= k;
    v[2] *= k;
}

double AngleBetweenVectors(const float a[3], const float b[3])
{
    const double c = CosineBetweenVectors(a, b);
    return c > 1.0 ? 0.0 : std::acos(c);
}

double CosineBetweenVectors(const float a[3], const float b[3])
{
    double ua[3], ub[3];
    if (!UnitForCosine(a, ua) || !UnitForCosine(b, ub))
        return 2.0;
    return CosineOfUnits(ua, ub);
}
