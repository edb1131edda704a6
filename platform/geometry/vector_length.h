// The length of a double vector without overflow or underflow of its
// squares, and its scaling to length 1: ON_3dVector's Length and Unitize,
// written once here so that a big mesh's loops over its faces and vertices
// can have them in line instead of calling them a few times per item.
#pragma once

#include <cmath>

namespace vector_length
{

inline double Length(double x, double y, double z)
{
    // hypot-style scaling keeps tiny and huge vectors from under/overflowing.
    const double ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
    double m = ax > ay ? ax : ay;
    m = m > az ? m : az;
    if (m == 0.0 || !std::isfinite(m))
        return m;
    const double sx = ax / m, sy = ay / m, sz = az / m;
    return m * std::sqrt(sx * sx + sy * sy + sz * sz);
}

// False, with the vector unchanged, when its length is 0 or not finite.
inline bool Unitize(double& x, double& y, double& z)
{
    const double len = Length(x, y, z);
    if (!(len > 0.0) || !std::isfinite(len))
        return false;
    x /= len, y /= len, z /= len;
    return true;
}

} // namespace vector_length
