// The two geometric kernels of the deviation analysis: whether a triangle
// touches a voxel (building the face octree) and the signed distance from a
// point to a triangle (the closest-face query).
#pragma once

#include "analysis/bucket_octree.h"

#include <cstdint>

// Whether the triangle, in unit-cube coordinates, touches the cube
// [-0.5, 0.5]^3. Every plane test is widened by FLT_EPSILON, so a triangle
// lying on a cube face counts for the cubes on both sides.
bool TriangleIntersectsUnitCube(const double a[3], const double b[3], const double c[3]);

// The same for a triangle in world coordinates and a voxel.
bool TriangleIntersectsVoxel(const float a[3], const float b[3], const float c[3], const cUnitVoxel& voxel);

// Where on a triangle (a, b, c) a closest point lies.
enum class eTriangleFeature : std::uint8_t
{
    Inside,
    CornerA,
    CornerB,
    CornerC,
    EdgeAB,
    EdgeBC,
    EdgeCA,
};

// Signed distance from p to the triangle (a, b, c), in double from float
// input, with the closest point written to `closest`. The sign follows the
// given normal n: negative when n . (p - closest) < 0, positive otherwise (so
// a point on the triangle is +0). FLT_MAX (closest untouched) when the
// distance of p from the triangle's plane along n already exceeds `bound`.
// A triangle without area is measured as its three edges.
// FLT_MAX (closest untouched) as well when p or a corner is NaN or infinite.
// `feature`, when given, receives where the closest point lies (set only
// when a distance is returned).
double SignedPointTriangleDistance(const float p[3], const float a[3], const float b[3], const float c[3],
                                   const float n[3], double bound, double closest[3],
                                   eTriangleFeature* feature = nullptr);
