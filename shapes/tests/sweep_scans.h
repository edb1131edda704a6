// Generated scans of swept shapes with a known truth: a revolved knob whose
// profile is lines and an arc, and an extrusion of a rounded rectangle,
// straight or drafted. Vertices carry Gaussian noise; the whole scan is
// placed by a rigid frame (axes in columns) so that tests can put it far
// from the origin in any orientation. Every triangle has the region colour.
#pragma once

#include "core/frame_math.h"
#include "core/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace sweep_scans
{

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr std::uint32_t kRegionColour = 0x00A0B0;

// The knob's profile in (radius, height): a wall at r = 10 from z = 0 to 8,
// a rounded edge (radius 4 about (6, 8)) up to the top, the top to r = 2.
struct stKnob
{
    static double Distance(double r, double z)
    {
        auto segment = [](double px, double py, double ax, double ay, double bx, double by) {
            const double dx = bx - ax, dy = by - ay;
            const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            return std::hypot(px - ax - t * dx, py - ay - t * dy);
        };
        double best = std::min(segment(r, z, 10, 0, 10, 8), segment(r, z, 6, 12, 2, 12));
        const double a = std::atan2(z - 8.0, r - 6.0);
        if (a >= 0.0 && a <= 0.5 * kPi)
            best = std::min(best, std::fabs(std::hypot(r - 6.0, z - 8.0) - 4.0));
        else
            best = std::min({best, std::hypot(r - 10.0, z - 8.0), std::hypot(r - 6.0, z - 12.0)});
        return best;
    }
    // The profile point at arc length fraction s of its whole length.
    static void At(double s, double& r, double& z)
    {
        const double l1 = 8.0, l2 = 2.0 * kPi, l3 = 4.0, total = l1 + l2 + l3;
        double d = s * total;
        if (d <= l1)
        {
            r = 10.0, z = d;
            return;
        }
        d -= l1;
        if (d <= l2)
        {
            const double a = d / 4.0;
            r = 6.0 + 4.0 * std::cos(a), z = 8.0 + 4.0 * std::sin(a);
            return;
        }
        d -= l2;
        r = 6.0 - d, z = 12.0;
    }
};

inline void AddNoisy(cMesh& mesh, const double frame[12], const double local[3], std::mt19937& rng, double sigma)
{
    std::normal_distribution<double> noise(0.0, sigma);
    double world[3];
    for (int r = 0; r < 3; ++r)
        world[r] = frame[4 * r] * local[0] + frame[4 * r + 1] * local[1] + frame[4 * r + 2] * local[2] +
                   frame[4 * r + 3] + (sigma > 0.0 ? noise(rng) : 0.0);
    const float p[3] = {static_cast<float>(world[0]), static_cast<float>(world[1]), static_cast<float>(world[2])};
    mesh.AddVertex(p);
}

// A grid of (columns + 1) x (rows + 1) vertices, already added from `first`,
// triangulated; every triangle gets the region colour.
inline void Triangulate(cMesh& mesh, std::uint32_t first, std::uint32_t columns, std::uint32_t rows, bool wrap)
{
    const std::uint32_t stride = columns + 1;
    for (std::uint32_t j = 0; j < rows; ++j)
        for (std::uint32_t i = 0; i < columns; ++i)
        {
            const std::uint32_t a = first + j * stride + i;
            const std::uint32_t b = first + j * stride + (wrap && i + 1 == columns ? 0 : i + 1);
            const std::uint32_t c = b + stride, d = a + stride;
            for (cMeshTriangle* t : {mesh.AddTriangle(a, b, c), mesh.AddTriangle(a, c, d)})
                if (t != nullptr)
                    t->colour = kRegionColour;
        }
}

// The knob turned about the frame's y axis (the frame's x column at angle 0)
// over [0, sweep], `around` x `along` quads; `upTo` < 1 keeps only that
// fraction of the profile's length from its foot.
inline void BuildKnob(cMesh& mesh, const double frame[12], double sweep, std::uint32_t around, std::uint32_t along,
                      double sigma, std::uint32_t seed = 7, double upTo = 1.0)
{
    std::mt19937 rng(seed);
    const std::uint32_t first = mesh.GetVertexCount();
    for (std::uint32_t j = 0; j <= along; ++j)
    {
        double r = 0.0, z = 0.0;
        stKnob::At(upTo * j / along, r, z);
        for (std::uint32_t i = 0; i <= around; ++i)
        {
            const double a = sweep * i / around;
            const double local[3] = {r * std::cos(a), z, -r * std::sin(a)};
            AddNoisy(mesh, frame, local, rng, sigma);
        }
    }
    Triangulate(mesh, first, around, along, false);
    mesh.Update();
}

// A strip of a round boss: the wall of radius `radius` about the frame's z
// axis over the angles [from, from + sweep] (from the frame's x column,
// counter-clockwise about z) and heights [0, height].
inline void BuildCylinderStrip(cMesh& mesh, const double frame[12], double radius, double from, double sweep,
                               double height, std::uint32_t around, std::uint32_t along, double sigma,
                               std::uint32_t seed = 13)
{
    std::mt19937 rng(seed);
    const std::uint32_t first = mesh.GetVertexCount();
    for (std::uint32_t j = 0; j <= along; ++j)
        for (std::uint32_t i = 0; i <= around; ++i)
        {
            const double a = from + sweep * i / around;
            const double local[3] = {radius * std::cos(a), radius * std::sin(a), height * j / along};
            AddNoisy(mesh, frame, local, rng, sigma);
        }
    Triangulate(mesh, first, around, along, false);
    mesh.Update();
}

// The wall r = radius(z) turned about the frame's z axis over the angles
// [from, from + sweep], for heights [bottom, top].
template <class F>
void BuildTurnedStrip(cMesh& mesh, const double frame[12], F&& radius, double bottom, double top, double from,
                      double sweep, std::uint32_t around, std::uint32_t along, double sigma, std::uint32_t seed = 19)
{
    std::mt19937 rng(seed);
    const std::uint32_t first = mesh.GetVertexCount();
    for (std::uint32_t j = 0; j <= along; ++j)
        for (std::uint32_t i = 0; i <= around; ++i)
        {
            const double a = from + sweep * i / around, z = bottom + (top - bottom) * j / along;
            const double r = radius(z);
            const double local[3] = {r * std::cos(a), r * std::sin(a), z};
            AddNoisy(mesh, frame, local, rng, sigma);
        }
    Triangulate(mesh, first, around, along, false);
    mesh.Update();
}

// A flat ring sector in the frame's plane z = `height`, from radius `inner`
// to `outer` over the angles [from, from + sweep]: the rim of a face that a
// stroke across a boss also catches (its top, or the face it stands on).
inline void BuildRingSector(cMesh& mesh, const double frame[12], double inner, double outer, double height,
                            double from, double sweep, std::uint32_t around, std::uint32_t across, double sigma,
                            std::uint32_t seed = 17)
{
    std::mt19937 rng(seed);
    const std::uint32_t first = mesh.GetVertexCount();
    for (std::uint32_t j = 0; j <= across; ++j)
        for (std::uint32_t i = 0; i <= around; ++i)
        {
            const double a = from + sweep * i / around, r = inner + (outer - inner) * j / across;
            const double local[3] = {r * std::cos(a), r * std::sin(a), height};
            AddNoisy(mesh, frame, local, rng, sigma);
        }
    Triangulate(mesh, first, around, across, false);
    mesh.Update();
}

// `count` vertices, spread over the mesh, pushed off the surface along their
// normals by `offset` (alternately out and in): the stray points of a scan.
inline void AddOutliers(cMesh& mesh, std::uint32_t count, double offset)
{
    const std::uint32_t n = mesh.GetVertexCount();
    if (n == 0 || count == 0)
        return;
    for (std::uint32_t k = 0; k < count; ++k)
    {
        cVertex& v = *mesh.GetVertex((k * 2654435761u + n / 3) % n);
        const double s = (k % 2 == 0 ? 1.0 : -1.0) * offset;
        v.x = static_cast<float>(v.x + s * v.nx);
        v.y = static_cast<float>(v.y + s * v.ny);
        v.z = static_cast<float>(v.z + s * v.nz);
    }
    mesh.Update();
}

// The rounded rectangle [-a, a] x [-b, b] with corner radius rc, grown by g,
// at fraction s of its outline (counter-clockwise from the bottom middle).
inline void RoundedRectangleAt(double a, double b, double rc, double g, double s, double& x, double& y)
{
    const double r = rc + g, sx = a - rc, sy = b - rc;
    const double sides[4] = {2 * sx, 2 * sy, 2 * sx, 2 * sy};
    const double arc = 0.5 * kPi * r;
    const double total = 2 * sides[0] + 2 * sides[1] + 4 * arc;
    double d = std::fmod(s, 1.0) * total;
    // Start at the bottom middle, half a side in.
    d += 0.5 * sides[0];
    const double cx[4] = {sx, sx, -sx, -sx}, cy[4] = {-sy, sy, sy, -sy};
    for (int round = 0; round < 2; ++round)
        for (int k = 0; k < 4; ++k)
        {
            const double start = -0.5 * kPi + 0.5 * kPi * k;
            const int prev = (k + 3) % 4;
            const double ax = cx[prev] + r * std::cos(start), ay = cy[prev] + r * std::sin(start);
            const double bx = cx[k] + r * std::cos(start), by = cy[k] + r * std::sin(start);
            if (d <= sides[k])
            {
                x = ax + (bx - ax) * d / sides[k], y = ay + (by - ay) * d / sides[k];
                return;
            }
            d -= sides[k];
            if (d <= arc)
            {
                const double t = start + d / r;
                x = cx[k] + r * std::cos(t), y = cy[k] + r * std::sin(t);
                return;
            }
            d -= arc;
        }
    x = y = 0.0;
}

// Distance of a local point from the wall of the rectangle grown by
// z tan(draft) at its height z (heights outside [0, height] add their
// overshoot).
inline double DistanceFromWall(double a, double b, double rc, double draft, double height, double x, double y,
                               double z)
{
    const double g = z * std::tan(draft);
    const double qx = std::fabs(x) - (a - rc), qy = std::fabs(y) - (b - rc);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    const double inside = std::min(std::max(qx, qy), 0.0);
    const double across = std::fabs(outside + inside - (rc + g)) * std::cos(draft);
    const double beyond = std::max({0.0, -z, z - height});
    return std::hypot(across, beyond);
}

// The wall of the rounded rectangle extruded along the frame's z from 0 to
// height, widening by z tan(draft).
inline void BuildRoundedPrism(cMesh& mesh, const double frame[12], double a, double b, double rc, double height,
                              double draft, std::uint32_t around, std::uint32_t along, double sigma,
                              std::uint32_t seed = 11)
{
    std::mt19937 rng(seed);
    const std::uint32_t first = mesh.GetVertexCount();
    for (std::uint32_t j = 0; j <= along; ++j)
    {
        const double z = height * j / along;
        for (std::uint32_t i = 0; i <= around; ++i)
        {
            double x = 0.0, y = 0.0;
            RoundedRectangleAt(a, b, rc, z * std::tan(draft), static_cast<double>(i % around) / around, x, y);
            const double local[3] = {x, y, z};
            AddNoisy(mesh, frame, local, rng, sigma);
        }
    }
    Triangulate(mesh, first, around, along, false);
    mesh.Update();
}

// A rigid frame: the z axis turned towards `tilt`, placed at `origin`.
inline void PlacedFrame(double frame[12], const double zAxis[3], const double origin[3])
{
    const double reference[3] = {0.3, -0.8, 0.5};
    MakeFrame3x4(frame, origin, zAxis, reference);
    double n = std::sqrt(zAxis[0] * zAxis[0] + zAxis[1] * zAxis[1] + zAxis[2] * zAxis[2]);
    for (int r = 0; r < 3; ++r)
        frame[4 * r + 2] = zAxis[r] / n;
    // Re-orthonormalise the x and y columns about the unit z column.
    double x[3] = {frame[0], frame[4], frame[8]};
    const double z[3] = {frame[2], frame[6], frame[10]};
    const double along = x[0] * z[0] + x[1] * z[1] + x[2] * z[2];
    for (int k = 0; k < 3; ++k)
        x[k] -= along * z[k];
    n = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    for (int k = 0; k < 3; ++k)
        x[k] /= n;
    const double y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2], z[0] * x[1] - z[1] * x[0]};
    SetMatrixColumns(frame, x, y, z);
}

// World to the frame's local coordinates.
inline void ToLocal(const double frame[12], const double world[3], double local[3])
{
    const double d[3] = {world[0] - frame[3], world[1] - frame[7], world[2] - frame[11]};
    for (int c = 0; c < 3; ++c)
        local[c] = frame[c] * d[0] + frame[4 + c] * d[1] + frame[8 + c] * d[2];
}

} // namespace sweep_scans
