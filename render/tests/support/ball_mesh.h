// A closed ball of n x 2n quads, each split in two, about (3, -2, 1.5), and
// an orthographic view onto it: the big mesh the pixel-coverage tests and
// benchmark look at.
#pragma once

#include "core/mesh.h"
#include "render/pixel_coverage.h"

#include <algorithm>

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

// An orthographic view onto the ball, turned about x, its depth along the
// view; x is scaled by `aspect` (height over width) to fill the viewport
// {left, bottom, width, height}.
inline stWindowMap BallView(double aspect, const double (&viewport)[4])
{
    stWindowMap map;
    const double c = std::cos(0.4), s = std::sin(0.4), scale = 1.0 / 1.2;
    const double rows[3][4] = {{scale * aspect, 0, 0, -3.0 * scale * aspect},
                               {0, c * scale, -s * scale, (2.0 * c + 1.5 * s) * scale},
                               {0, 0, 0, 1}};
    const double depth[4] = {0, -s * 0.1, -c * 0.1, (-2.0 * s + 1.5 * c) * 0.1};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 4; ++k)
        {
            map.rows[r][k] = rows[r][k];
            map.termSize[r][k] = std::fabs(rows[r][k]);
        }
    for (int k = 0; k < 4; ++k)
    {
        map.depthRow[k] = depth[k];
        map.depthTermSize[k] = std::fabs(depth[k]);
    }
    std::copy(viewport, viewport + 4, map.viewport);
    return map;
}
