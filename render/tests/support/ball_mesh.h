// A closed ball of n x 2n quads, each split in two, about (3, -2, 1.5): the
// big mesh the pixel-coverage tests and benchmark look at.
#pragma once

#include "core/mesh.h"

#include <cmath>
#include <cstdint>

inline void BuildBall(cMesh& mesh, int n)
{
    const double pi = std::acos(-1.0);
    for (int r = 0; r <= n; ++r)
        for (int s = 0; s < 2 * n; ++s)
        {
            const double theta = pi * r / n, phi = pi * s / n;
            const float p[3] = {float(3.0 + std::sin(theta) * std::cos(phi)),
                                float(-2.0 + std::sin(theta) * std::sin(phi)), float(1.5 + std::cos(theta))};
            mesh.AddVertex(p);
        }
    const auto at = [n](int r, int s) { return std::uint32_t(r * 2 * n + s % (2 * n)); };
    for (int r = 0; r < n; ++r)
        for (int s = 0; s < 2 * n; ++s)
        {
            mesh.AddTriangle(at(r, s), at(r + 1, s), at(r + 1, s + 1));
            mesh.AddTriangle(at(r, s), at(r + 1, s + 1), at(r, s + 1));
        }
}
