// A machined part as a scanner's host mesh, for the segmentation tests and
// benchmarks: a W x D x H block (millimetres) with a vertical through hole
// of radius R and its four vertical edges rounded by arcs of radius r. Each
// arc meets its two faces at a crease of creaseDeg degrees (a tooling
// step), so that a face and its round are told apart by their normals.
//
// The outline is sampled along its length (arc points every arcStepDeg
// degrees, straight sides at the same spacing), the hole as many points
// evenly round, and the top and bottom faces are rings blended between
// the hole and the outline; the walls have `rows` rows. The part is moved by a rigid transform (rotation
// rows, then translation).
#pragma once

#include "platform/geometry/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace segmentationtest
{

struct stMachinedPart
{
    double width = 60.0, depth = 40.0, height = 16.0;
    double holeRadius = 6.0;
    double roundRadius = 6.0;
    double creaseDeg = 14.0;
    double arcStepDeg = 1.0;
    int rows = 16;     // wall rows
    int capRings = 10; // rings of each face between the hole and the outline
    // Rotation rows and translation applied to every point.
    double rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double translation[3] = {2500.0, -1300.0, 700.0};

    // The outline, counter-clockwise from +z, in the part's own frame. Each
    // point carries the index of the feature it lies on: 0..3 the sides
    // (bottom, right, top, left), 4..7 the rounds after them.
    void Outline(std::vector<double>& xs, std::vector<double>& ys, std::vector<int>& feature) const
    {
        const double pi = std::acos(-1.0);
        const double c = creaseDeg * pi / 180.0;
        const double inset = roundRadius * std::cos(c);
        const double step = roundRadius * arcStepDeg * pi / 180.0;
        const double cx[4] = {width - inset, width - inset, inset, inset};
        const double cy[4] = {inset, depth - inset, depth - inset, inset};
        const double sideNormal[4] = {-90.0, 0.0, 90.0, 180.0};
        for (int side = 0; side < 4; ++side)
        {
            // The side from the end of the previous round to the start of the next.
            const int prev = (side + 3) % 4;
            const double endAngle = (sideNormal[prev] + 90.0 - creaseDeg) * pi / 180.0;
            const double startAngle = (sideNormal[side] + creaseDeg) * pi / 180.0;
            const double sx = cx[prev] + roundRadius * std::cos(endAngle), sy = cy[prev] + roundRadius * std::sin(endAngle);
            const double ex = cx[side] + roundRadius * std::cos(startAngle),
                         ey = cy[side] + roundRadius * std::sin(startAngle);
            const double length = std::hypot(ex - sx, ey - sy);
            const int n = std::max(1, int(std::lround(length / step)));
            for (int i = 0; i < n; ++i)
            {
                const double t = double(i) / n;
                xs.push_back(sx + t * (ex - sx));
                ys.push_back(sy + t * (ey - sy));
                feature.push_back(side);
            }
            // The round after the side, crease to crease.
            const int m = std::max(1, int(std::lround((90.0 - 2.0 * creaseDeg) / arcStepDeg)));
            for (int i = 0; i < m; ++i)
            {
                const double a = startAngle + (90.0 - 2.0 * creaseDeg) * pi / 180.0 * double(i) / m;
                xs.push_back(cx[side] + roundRadius * std::cos(a));
                ys.push_back(cy[side] + roundRadius * std::sin(a));
                feature.push_back(4 + side);
            }
        }
    }

    void Place(double x, double y, double z, ON_Mesh& mesh) const
    {
        const double* r = rotation;
        mesh.m_V.Append(ON_3fPoint(float(r[0] * x + r[1] * y + r[2] * z + translation[0]),
                                   float(r[3] * x + r[4] * y + r[5] * z + translation[1]),
                                   float(r[6] * x + r[7] * y + r[8] * z + translation[2])));
    }

    // The mesh; the expected regions are 2 faces across the hole, 4 sides,
    // 4 rounds and the hole's wall.
    ON_Mesh Build() const
    {
        std::vector<double> xs, ys;
        std::vector<int> feature;
        Outline(xs, ys, feature);
        const int n = int(xs.size());
        const double hx = width / 2.0, hy = depth / 2.0;
        // Hole point i at the share of the outline's length that point i
        // has reached, starting at the polar angle of the first point.
        std::vector<double> hxs(n), hys(n), along(n, 0.0);
        for (int i = 1; i < n; ++i)
            along[i] = along[i - 1] + std::hypot(xs[i] - xs[i - 1], ys[i] - ys[i - 1]);
        const double total = along[n - 1] + std::hypot(xs[0] - xs[n - 1], ys[0] - ys[n - 1]);
        const double start = std::atan2(ys[0] - hy, xs[0] - hx);
        for (int i = 0; i < n; ++i)
        {
            const double a = start + 2.0 * std::acos(-1.0) * along[i] / total;
            hxs[i] = hx + holeRadius * std::cos(a);
            hys[i] = hy + holeRadius * std::sin(a);
        }
        ON_Mesh mesh;
        // Rings: the outer wall rows 0..rows, the hole wall rows 0..rows,
        // then the inner rings of the bottom and the top faces.
        auto outer = [&](int row, int i) { return row * n + (i % n); };
        auto hole = [&](int row, int i) { return (rows + 1) * n + row * n + (i % n); };
        const int capBase = 2 * (rows + 1) * n;
        // Ring k of a face: 0 the hole's rim, capRings the outline.
        auto cap = [&](int top, int k, int i)
        {
            const int row = top ? rows : 0;
            if (k == 0)
                return hole(row, i);
            if (k == capRings)
                return outer(row, i);
            return capBase + (top * (capRings - 1) + (k - 1)) * n + (i % n);
        };
        for (int row = 0; row <= rows; ++row)
            for (int i = 0; i < n; ++i)
                Place(xs[i], ys[i], height * row / rows, mesh);
        for (int row = 0; row <= rows; ++row)
            for (int i = 0; i < n; ++i)
                Place(hxs[i], hys[i], height * row / rows, mesh);
        for (int top = 0; top < 2; ++top)
            for (int k = 1; k < capRings; ++k)
                for (int i = 0; i < n; ++i)
                {
                    const double t = double(k) / capRings;
                    Place(hxs[i] + t * (xs[i] - hxs[i]), hys[i] + t * (ys[i] - hys[i]), top ? height : 0.0, mesh);
                }
        auto triangle = [&](int a, int b, int c)
        {
            ON_MeshFace f{};
            f.vi[0] = a, f.vi[1] = b, f.vi[2] = c, f.vi[3] = c;
            mesh.m_F.Append(f);
        };
        for (int row = 0; row < rows; ++row)
            for (int i = 0; i < n; ++i)
            {
                triangle(outer(row, i), outer(row, i + 1), outer(row + 1, i + 1));
                triangle(outer(row, i), outer(row + 1, i + 1), outer(row + 1, i));
                triangle(hole(row, i + 1), hole(row, i), hole(row + 1, i));
                triangle(hole(row, i + 1), hole(row + 1, i), hole(row + 1, i + 1));
            }
        for (int k = 0; k < capRings; ++k)
            for (int i = 0; i < n; ++i)
            {
                triangle(cap(1, k, i), cap(1, k + 1, i), cap(1, k + 1, i + 1));
                triangle(cap(1, k, i), cap(1, k + 1, i + 1), cap(1, k, i + 1));
                triangle(cap(0, k, i), cap(0, k + 1, i + 1), cap(0, k + 1, i));
                triangle(cap(0, k, i), cap(0, k, i + 1), cap(0, k + 1, i + 1));
            }
        return mesh;
    }

    // Roughly this many triangles: the arc step and the rows are chosen.
    static stMachinedPart WithTriangles(double triangles)
    {
        stMachinedPart part;
        // Triangles ~ 2 n (2 rows + 2 rings) with n ~ 2 (W + D) / (r step).
        const double base = double(part.Build().m_F.Count());
        const double scale = std::sqrt(triangles / base);
        part.arcStepDeg /= scale;
        part.rows = std::max(1, int(std::lround(part.rows * scale)));
        part.capRings = std::max(2, int(std::lround(part.capRings * scale)));
        return part;
    }
};

} // namespace segmentationtest
