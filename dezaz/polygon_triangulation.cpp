#include "dezaz/polygon_triangulation.h"

#include <cmath>

namespace dezaz
{

namespace
{

struct stPoint2
{
    double u = 0, v = 0;
};

double Cross(const stPoint2& a, const stPoint2& b, const stPoint2& c)
{
    return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
}

// The corners projected onto the coordinate plane most nearly parallel to
// the face, turned so that the face runs counter-clockwise.
std::vector<stPoint2> Projected(const float* positions, const std::uint32_t* corners, std::size_t n)
{
    double normal[3] = {0, 0, 0}; // Newell's normal
    for (std::size_t i = 0; i < n; ++i)
    {
        const float* p = positions + 3 * std::size_t{corners[i]};
        const float* q = positions + 3 * std::size_t{corners[(i + 1) % n]};
        normal[0] += (double{p[1]} - q[1]) * (double{p[2]} + q[2]);
        normal[1] += (double{p[2]} - q[2]) * (double{p[0]} + q[0]);
        normal[2] += (double{p[0]} - q[0]) * (double{p[1]} + q[1]);
    }
    int drop = 2;
    if (std::fabs(normal[0]) > std::fabs(normal[1]) && std::fabs(normal[0]) > std::fabs(normal[2]))
        drop = 0;
    else if (std::fabs(normal[1]) > std::fabs(normal[2]))
        drop = 1;
    const int a = (drop + 1) % 3, b = (drop + 2) % 3;
    const double sign = normal[drop] < 0 ? -1.0 : 1.0;
    std::vector<stPoint2> points(n);
    for (std::size_t i = 0; i < n; ++i)
    {
        const float* p = positions + 3 * std::size_t{corners[i]};
        points[i] = {p[a], sign * p[b]};
    }
    return points;
}

bool Inside(const stPoint2& p, const stPoint2& a, const stPoint2& b, const stPoint2& c)
{
    return Cross(a, b, p) >= 0 && Cross(b, c, p) >= 0 && Cross(c, a, p) >= 0;
}

void ClipEars(const std::vector<stPoint2>& points, const std::uint32_t* corners,
              std::vector<std::uint32_t>& triangles)
{
    std::vector<std::size_t> left(points.size());
    for (std::size_t i = 0; i < left.size(); ++i)
        left[i] = i;
    std::size_t at = 0;
    std::size_t tried = 0;
    while (left.size() > 3)
    {
        const std::size_t m = left.size();
        const std::size_t i0 = left[(at + m - 1) % m], i1 = left[at % m], i2 = left[(at + 1) % m];
        bool ear = Cross(points[i0], points[i1], points[i2]) > 0;
        for (std::size_t k = 0; ear && k < m; ++k)
        {
            const std::size_t j = left[k];
            if (j != i0 && j != i1 && j != i2 && Inside(points[j], points[i0], points[i1], points[i2]))
                ear = false;
        }
        // A face that crosses itself or folds flat may have no ear left:
        // then any corner is cut off, so the split always ends.
        if (ear || tried >= m)
        {
            triangles.insert(triangles.end(), {corners[i0], corners[i1], corners[i2]});
            left.erase(left.begin() + static_cast<std::ptrdiff_t>(at % m));
            at = at % m == 0 ? 0 : at % m - 1;
            tried = 0;
            continue;
        }
        at = (at + 1) % m;
        ++tried;
    }
    triangles.insert(triangles.end(), {corners[left[0]], corners[left[1]], corners[left[2]]});
}

} // namespace

bool TriangulateFace(const float* positions, const std::uint32_t* corners, std::size_t n,
                     std::vector<std::uint32_t>& triangles)
{
    if (n == 3)
    {
        triangles.insert(triangles.end(), {corners[0], corners[1], corners[2]});
        return true;
    }
    const std::vector<stPoint2> points = Projected(positions, corners, n);
    std::size_t concave = n;
    std::size_t concave_count = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (Cross(points[(i + n - 1) % n], points[i], points[(i + 1) % n]) < 0)
        {
            concave = concave == n ? i : concave;
            ++concave_count;
        }
    // A quad has at most one concave corner: the fan from it stays inside.
    if (concave_count == 0 || n == 4)
    {
        const std::size_t start = concave == n ? 0 : concave;
        for (std::size_t i = 1; i + 1 < n; ++i)
            triangles.insert(triangles.end(),
                             {corners[start], corners[(start + i) % n], corners[(start + i + 1) % n]});
        return true;
    }
    if (n > kMostConcaveCorners)
        return false;
    ClipEars(points, corners, triangles);
    return true;
}

} // namespace dezaz
