// The vertex record under every geometry the system reads (point sets of the
// fits, mesh vertices, scan grid cells, polyline points), and the distance
// helpers on float points that go with it.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// Fixed meanings in the low byte of the vertex flag word. The process-wide
// vertex used-flag mask keeps bits 0 to 3 reserved, so only bits 4 to 7 are
// ever lent out to algorithms.
inline constexpr std::uint32_t kVertexFlagExcluded = 1;  // empty scan cell or excluded point
inline constexpr std::uint32_t kVertexFlagRingVisit = 8; // visited mark of the ring walk

// "No vertex" in index fields and searches.
inline constexpr std::uint32_t kNoVertexIndex = 0xFFFFFFFF;

// Nine 32-bit fields, 36 bytes: the layout that the binary mesh file, the
// search trees and the GL drawers rely on.
struct cVertex
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    std::uint32_t flags = 0;
    float nx = 0.0f;
    float ny = 0.0f;
    float nz = 0.0f;
    std::uint32_t index = 0; // the vertex's own index, written when it is added
    // Either R, G, B bytes and a spare byte, or a float scalar (the mesh's
    // normal computation leaves the summed area of the vertex's triangles here).
    std::uint8_t extra[4] = {0, 0, 0, 0};

    float* Position() { return &x; }
    const float* Position() const { return &x; }
    float* Normal() { return &nx; }
    const float* Normal() const { return &nx; }

    float GetScalar() const
    {
        float value;
        std::memcpy(&value, extra, sizeof value);
        return value;
    }
    void SetScalar(float value) { std::memcpy(extra, &value, sizeof value); }

    bool IsExcluded() const { return (flags & kVertexFlagExcluded) != 0; }
};
static_assert(sizeof(cVertex) == 36, "vertex records are 36 bytes");
static_assert(std::is_standard_layout_v<cVertex> && std::is_trivially_copyable_v<cVertex>);
static_assert(offsetof(cVertex, y) == 4 && offsetof(cVertex, z) == 8 && offsetof(cVertex, ny) == 20 &&
              offsetof(cVertex, nz) == 24);

// True when the value is the "unset" marker FLT_MAX (within FLT_EPSILON): an
// empty scan cell or an undefined curve point.
inline bool IsFloatUnset(float value)
{
    return std::fabs(value - FLT_MAX) < FLT_EPSILON;
}

// Euclidean distance of two float points: each coordinate difference is taken
// in float and widened to double before squaring. Some callers know it as
// DistancePoints3f.
inline double PointDistance(const float a[3], const float b[3])
{
    const double dx = static_cast<float>(a[0] - b[0]);
    const double dy = static_cast<float>(a[1] - b[1]);
    const double dz = static_cast<float>(a[2] - b[2]);
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The square of PointDistance, without the root. Some callers know it as
// SquaredDistance3f.
inline double SquaredDistance(const float a[3], const float b[3])
{
    const double dx = static_cast<float>(a[0] - b[0]);
    const double dy = static_cast<float>(a[1] - b[1]);
    const double dz = static_cast<float>(a[2] - b[2]);
    return dx * dx + dy * dy + dz * dz;
}

// Distance of point p from the segment a-b, in double from float inputs. A
// segment whose squared length is at most 1e-6 (as a float) counts as the
// point a. The returned parameter t is the unclamped projection of p onto the
// segment (0 for such a short segment); the distance is to a for t <= 0, to b
// for t > 1, and perpendicular in between.
double PointSegmentParameter(const float p[3], const float a[3], const float b[3], double* distance);

// The distance of PointSegmentParameter alone.
double PointSegmentDistance3f(const float p[3], const float a[3], const float b[3]);
