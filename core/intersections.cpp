#include "core/intersections.h"

#include "core/vector_math.h"

#include <cfloat>
#include <cmath>

namespace
{

// Determinant below which two directions count as parallel (FLT_EPSILON).
constexpr double kParallelEpsilon = 1.1920928955078125e-7;

void Zero(double v[3]) { v[0] = v[1] = v[2] = 0.0; }

void Set(double v[3], double x, double y, double z)
{
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

} // namespace

bool TriangleCircumcentre(const double a[3], const double b[3], const double c[3], double out[3])
{
    double ca[3], ba[3], cb[3], ab[3], ac[3], bc[3];
    for (int i = 0; i < 3; ++i)
    {
        ca[i] = c[i] - a[i];
        ba[i] = b[i] - a[i];
        cb[i] = c[i] - b[i];
        ab[i] = a[i] - b[i];
        ac[i] = a[i] - c[i];
        bc[i] = b[i] - c[i];
    }
    const double d1 = Dot3d(ca, ba);
    const double d2 = Dot3d(cb, ab);
    const double d3 = Dot3d(ac, bc);
    const double s = d1 * d3 + d2 * d3 + d1 * d2;
    if (std::fabs(s) < DBL_MIN)
    {
        for (int i = 0; i < 3; ++i)
            out[i] = (a[i] + b[i] + c[i]) * 0.3333333333333;
        return false;
    }
    const double k = 0.5 / s;
    const double wa = (d1 * d2 + d1 * d3) * k;
    const double wb = (d1 * d2 + d2 * d3) * k;
    const double wc = (d1 * d3 + d2 * d3) * k;
    for (int i = 0; i < 3; ++i)
        out[i] = wa * a[i] + wb * b[i] + wc * c[i];
    return true;
}

int IntersectLineCircle2d(const double p0[3], const double p1[3], const double centre[3], double radius,
                          double out1[3], double out2[3])
{
    const double cx = centre[0], cy = centre[1], cz = centre[2];
    const double x1 = p0[0] - cx, y1 = p0[1] - cy;
    const double x2 = p1[0] - cx, y2 = p1[1] - cy;
    Zero(out1);
    Zero(out2);
    const double dx = x2 - x1, dy = y2 - y1;
    const double len2 = dx * dx + dy * dy;
    if (!(len2 > 0.0))
        return 0; // no line: every formula below divides by its length
    const double d = x1 * y2 - x2 * y1;
    const double disc = radius * radius * len2 - d * d;
    if (std::fabs(disc) <= DBL_EPSILON)
    {
        Set(out1, d * dy / len2 + cx, -d * dx / len2 + cy, cz);
        Set(out2, out1[0], out1[1], cz);
        return 1;
    }
    if (disc < 0.0)
        return 0;
    const double q = std::sqrt(disc);
    const double sg = dy < 0.0 ? -1.0 : 1.0;
    Set(out1, (d * dy + sg * dx * q) / len2 + cx, (-d * dx + std::fabs(dy) * q) / len2 + cy, cz);
    Set(out2, (d * dy - sg * dx * q) / len2 + cx, (-d * dx - std::fabs(dy) * q) / len2 + cy, cz);
    return 2;
}

int CircleTangentPoints2d(const double p[3], const double centre[3], double radius, double out1[3], double out2[3])
{
    const double pt[3] = {p[0], p[1], p[2]};
    const double c[3] = {centre[0], centre[1], centre[2]};
    Zero(out1);
    Zero(out2);
    double u[3] = {c[0] - pt[0], c[1] - pt[1], c[2] - pt[2]};
    const double dist = std::sqrt(Dot3d(u, u));
    if (dist < radius - DBL_EPSILON)
        return 0;
    if (dist <= radius + DBL_EPSILON)
    {
        NormaliseVector3d(u);
        Set(out1, pt[0], pt[1], pt[2]);
        Set(out2, pt[0] - u[1], pt[1] + u[0], pt[2]);
        return 1;
    }
    const double mid[3] = {(pt[0] + c[0]) * 0.5, (pt[1] + c[1]) * 0.5, (pt[2] + c[2]) * 0.5};
    return IntersectCircles2d(c, radius, mid, dist / 2, out1, out2);
}

int IntersectCircles2d(const double c1[3], double r1, const double c2[3], double r2, double out1[3], double out2[3])
{
    const double x = c1[0], y = c1[1], z = c1[2];
    const double dx = c2[0] - x, dy = c2[1] - y;
    Zero(out1);
    Zero(out2);
    const double len2 = dx * dx + dy * dy;
    if (!(len2 > 0.0))
        return 0; // concentric: no isolated intersection point
    const double a = (r1 * r1 + len2 - r2 * r2) / 2;

    // Solved along the axis of the larger centre offset (the major axis), so
    // that the division by that offset stays well conditioned; the points
    // are offsets (major, minor) from c1.
    const bool xMajor = std::fabs(dx) > std::fabs(dy);
    const double major = xMajor ? dx : dy;
    const double minor = xMajor ? dy : dx;
    auto store = [&](double out[3], double s) {
        const double alongMajor = (a - s * minor) / major;
        if (xMajor)
            Set(out, x + alongMajor, y + s, z);
        else
            Set(out, x + s, y + alongMajor, z);
    };
    const double disc = a * a * minor * minor - (a * a - r1 * r1 * major * major) * len2;
    if (std::fabs(disc) <= DBL_EPSILON)
    {
        store(out1, a * minor / len2);
        Set(out2, out1[0], out1[1], z);
        return 1;
    }
    if (disc < 0.0)
        return 0;
    const double q = std::sqrt(disc);
    store(out1, (a * minor + q) / len2);
    store(out2, (a * minor - q) / len2);
    return 2;
}

bool ClosestPointsOfLines(const double p0[3], const double d0[3], const double p1[3], const double d1[3],
                          double out0[3], double out1[3])
{
    const double a = Dot3d(d0, d0), b = Dot3d(d0, d1), c = Dot3d(d1, d1);
    const double det = c * a - b * b;
    if (std::fabs(det) <= kParallelEpsilon)
        return false;
    const double w[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    const double e = Dot3d(d0, w), f = Dot3d(d1, w);
    const double s = (e * c - f * b) / det;
    const double t = (e * b - f * a) / det;
    double r0[3], r1[3];
    for (int i = 0; i < 3; ++i)
    {
        r0[i] = p0[i] + s * d0[i];
        r1[i] = p1[i] + t * d1[i];
    }
    Set(out0, r0[0], r0[1], r0[2]); // written last: the outputs may be the inputs
    Set(out1, r1[0], r1[1], r1[2]);
    return true;
}
