#include "analysis/inspection_geometry.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>

namespace
{

constexpr double kPlaneSlack = FLT_EPSILON;
// Slack of the inside-the-triangle sign tests of the diagonal hits.
constexpr double kInsideSlack = 1e-5;

constexpr std::uint32_t kInside = 0;

// Bits of the six cube faces a point lies beyond.
std::uint32_t FacePlaneCode(const double p[3])
{
    const double h = 0.5 + kPlaneSlack;
    std::uint32_t code = 0;
    if (p[0] > h)
        code |= 0x01;
    if (p[0] < -h)
        code |= 0x02;
    if (p[1] > h)
        code |= 0x04;
    if (p[1] < -h)
        code |= 0x08;
    if (p[2] > h)
        code |= 0x10;
    if (p[2] < -h)
        code |= 0x20;
    return code;
}

// Bits of the twelve edge-bevel planes a point lies beyond.
std::uint32_t EdgeBevelCode(const double p[3])
{
    const double h = 1.0 + kPlaneSlack;
    std::uint32_t code = 0;
    const double x = p[0], y = p[1], z = p[2];
    const double sums[12] = {x + y, x - y, -x + y, -x - y, x + z, x - z, -x + z, -x - z, y + z, y - z, -y + z, -y - z};
    for (int i = 0; i < 12; ++i)
        if (sums[i] > h)
            code |= 1u << i;
    return code;
}

// Bits of the eight corner-bevel planes a point lies beyond.
std::uint32_t CornerBevelCode(const double p[3])
{
    const double h = 1.5 + kPlaneSlack;
    std::uint32_t code = 0;
    const double x = p[0], y = p[1], z = p[2];
    const double sums[8] = {x + y + z, x + y - z, x - y + z, x - y - z, -x + y + z, -x + y - z, -x - y + z, -x - y - z};
    for (int i = 0; i < 8; ++i)
        if (sums[i] > h)
            code |= 1u << i;
    return code;
}

// Whether the point of the segment a-b at parameter alpha lies inside the
// cube as far as the face planes in `mask` tell.
bool SegmentPointInside(const double a[3], const double b[3], double alpha, std::uint32_t mask)
{
    double p[3];
    for (int i = 0; i < 3; ++i)
        p[i] = a[i] + alpha * (b[i] - a[i]);
    return (FacePlaneCode(p) & mask) == kInside;
}

// Whether the segment a-b crosses one of the cube faces that its end codes
// say it straddles, inside that face.
bool SegmentCrossesCube(const double a[3], const double b[3], std::uint32_t straddled)
{
    // Face plane (axis, side) with the mask of the other four faces.
    struct stFace
    {
        std::uint32_t bit;
        int axis;
        double plane;
        std::uint32_t others;
    };
    static constexpr stFace kFaces[6] = {{0x01, 0, 0.5, 0x3c},  {0x02, 0, -0.5, 0x3c}, {0x04, 1, 0.5, 0x33},
                                         {0x08, 1, -0.5, 0x33}, {0x10, 2, 0.5, 0x0f},  {0x20, 2, -0.5, 0x0f}};
    for (const stFace& f : kFaces)
    {
        if ((straddled & f.bit) == 0)
            continue;
        const double span = b[f.axis] - a[f.axis];
        if (span == 0.0)
            continue;
        if (SegmentPointInside(a, b, (f.plane - a[f.axis]) / span, f.others))
            return true;
    }
    return false;
}

// Sign bits of a vector's components with slack: bit set for "not above
// +slack" (4, 2, 1 for x, y, z) and for "not below -slack" (32, 16, 8).
std::uint32_t SignBits(const double v[3])
{
    std::uint32_t bits = 0;
    if (v[0] < kInsideSlack)
        bits |= 4;
    if (v[0] > -kInsideSlack)
        bits |= 32;
    if (v[1] < kInsideSlack)
        bits |= 2;
    if (v[1] > -kInsideSlack)
        bits |= 16;
    if (v[2] < kInsideSlack)
        bits |= 1;
    if (v[2] > -kInsideSlack)
        bits |= 8;
    return bits;
}

void Sub(const double a[3], const double b[3], double out[3])
{
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

void Cross(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

double Dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Whether a point of the triangle's plane lies inside the triangle: its box
// first, then the three edge cross products agree in sign.
bool PointInTriangle(const double p[3], const double a[3], const double b[3], const double c[3])
{
    for (int i = 0; i < 3; ++i)
    {
        if (p[i] > std::max({a[i], b[i], c[i]}) + FLT_EPSILON || p[i] < std::min({a[i], b[i], c[i]}) - FLT_EPSILON)
            return false;
    }
    double edge[3], toPoint[3], cross[3];
    Sub(a, b, edge);
    Sub(a, p, toPoint);
    Cross(edge, toPoint, cross);
    const std::uint32_t s1 = SignBits(cross);
    Sub(b, c, edge);
    Sub(b, p, toPoint);
    Cross(edge, toPoint, cross);
    const std::uint32_t s2 = SignBits(cross);
    Sub(c, a, edge);
    Sub(c, p, toPoint);
    Cross(edge, toPoint, cross);
    const std::uint32_t s3 = SignBits(cross);
    return (s1 & s2 & s3) != 0;
}

void ToDouble(const float f[3], double d[3])
{
    d[0] = f[0];
    d[1] = f[1];
    d[2] = f[2];
}

// The closest point of segment a-b to p as a parameter in [0, 1].
double ClosestSegmentParameter(const double p[3], const double a[3], const double b[3])
{
    double ab[3], ap[3];
    Sub(b, a, ab);
    Sub(p, a, ap);
    const double length2 = Dot(ab, ab);
    if (!(length2 > 0.0))
        return 0.0;
    return std::clamp(Dot(ap, ab) / length2, 0.0, 1.0);
}

} // namespace

bool TriangleIntersectsUnitCube(const double a[3], const double b[3], const double c[3])
{
    std::uint32_t ca = FacePlaneCode(a);
    std::uint32_t cb = FacePlaneCode(b);
    std::uint32_t cc = FacePlaneCode(c);
    if (ca == kInside || cb == kInside || cc == kInside)
        return true;
    if ((ca & cb & cc) != 0)
        return false;
    ca |= EdgeBevelCode(a) << 8;
    cb |= EdgeBevelCode(b) << 8;
    cc |= EdgeBevelCode(c) << 8;
    if ((ca & cb & cc) != 0)
        return false;
    ca |= CornerBevelCode(a) << 24;
    cb |= CornerBevelCode(b) << 24;
    cc |= CornerBevelCode(c) << 24;
    if ((ca & cb & cc) != 0)
        return false;

    // An edge of the triangle that passes through a cube face.
    if ((ca & cb) == 0 && SegmentCrossesCube(a, b, (ca | cb) & 0x3f))
        return true;
    if ((ca & cc) == 0 && SegmentCrossesCube(a, c, (ca | cc) & 0x3f))
        return true;
    if ((cb & cc) == 0 && SegmentCrossesCube(b, c, (cb | cc) & 0x3f))
        return true;

    // The cube pierces the triangle's interior: one of its four diagonals
    // meets the triangle inside the cube.
    double ab[3], ac[3], normal[3];
    Sub(a, b, ab);
    Sub(a, c, ac);
    Cross(ab, ac, normal);
    const double d = Dot(normal, a);
    const double normalLength = std::sqrt(Dot(normal, normal));
    static constexpr double kDiagonals[4][3] = {{1, 1, 1}, {1, 1, -1}, {1, -1, 1}, {1, -1, -1}};
    for (const auto& diagonal : kDiagonals)
    {
        const double denominator = Dot(normal, diagonal);
        // A diagonal (nearly) parallel to the plane meets it nowhere inside.
        if (!(std::fabs(denominator) > FLT_EPSILON * normalLength))
            continue;
        const double t = d / denominator;
        if (std::fabs(t) > 0.5)
            continue;
        const double hit[3] = {t * diagonal[0], t * diagonal[1], t * diagonal[2]};
        if (PointInTriangle(hit, a, b, c))
            return true;
    }
    return false;
}

bool TriangleIntersectsVoxel(const float a[3], const float b[3], const float c[3], const cUnitVoxel& voxel)
{
    double da[3], db[3], dc[3], ua[3], ub[3], uc[3];
    ToDouble(a, da);
    ToDouble(b, db);
    ToDouble(c, dc);
    voxel.ToUnitCube(da, ua);
    voxel.ToUnitCube(db, ub);
    voxel.ToUnitCube(dc, uc);
    return TriangleIntersectsUnitCube(ua, ub, uc);
}

double SignedPointTriangleDistance(const float pf[3], const float af[3], const float bf[3], const float cf[3],
                                   const float nf[3], double bound, double closest[3], eTriangleFeature* feature)
{
    eTriangleFeature where = eTriangleFeature::Inside;
    // A non-finite corner or point has no distance: every comparison below
    // would fail and leave no closest point to report.
    for (const float* v : {pf, af, bf, cf})
        if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2]))
            return FLT_MAX;

    double p[3], a[3], b[3], c[3], n[3];
    ToDouble(pf, p);
    ToDouble(af, a);
    ToDouble(bf, b);
    ToDouble(cf, c);
    ToDouble(nf, n);

    double w[3];
    Sub(a, p, w);
    if (std::fabs(Dot(w, n)) > bound)
        return FLT_MAX;

    double e0[3], e1[3];
    Sub(b, a, e0);
    Sub(c, a, e1);
    const double a00 = Dot(e0, e0);
    const double a01 = Dot(e0, e1);
    const double a11 = Dot(e1, e1);
    const double b0 = Dot(e0, w);
    const double b1 = Dot(e1, w);
    const double det = a00 * a11 - a01 * a01;

    double q[3] = {a[0], a[1], a[2]};
    // A triangle whose edges are (nearly) parallel has no interior to project
    // onto; the divisions below would make NaN of it.
    if (!(det > 1e-12 * a00 * a11) || !(a00 > 0.0) || !(a11 > 0.0))
    {
        const double* ends[3][2] = {{a, b}, {b, c}, {c, a}};
        // Each side's edge and its two corners.
        constexpr eTriangleFeature kSides[3][3] = {
            {eTriangleFeature::EdgeAB, eTriangleFeature::CornerA, eTriangleFeature::CornerB},
            {eTriangleFeature::EdgeBC, eTriangleFeature::CornerB, eTriangleFeature::CornerC},
            {eTriangleFeature::EdgeCA, eTriangleFeature::CornerC, eTriangleFeature::CornerA}};
        double best2 = DBL_MAX;
        for (int side = 0; side < 3; ++side)
        {
            const auto& segment = ends[side];
            const double t = ClosestSegmentParameter(p, segment[0], segment[1]);
            double point[3], diff[3];
            for (int i = 0; i < 3; ++i)
                point[i] = segment[0][i] + t * (segment[1][i] - segment[0][i]);
            Sub(p, point, diff);
            const double d2 = Dot(diff, diff);
            if (d2 < best2)
            {
                best2 = d2;
                q[0] = point[0], q[1] = point[1], q[2] = point[2];
                where = t == 0.0 ? kSides[side][1] : (t == 1.0 ? kSides[side][2] : kSides[side][0]);
            }
        }
    }
    else
    {
        double s = a01 * b1 - a11 * b0;
        double t = a01 * b0 - a00 * b1;
        bool onEdgeBC = false; // t = 1 - s was set
        // The regions of the (s, t) plane around the triangle: each picks the
        // closest point of the edge or corner it faces.
        if (s + t <= det)
        {
            if (s < 0.0)
            {
                if (t < 0.0)
                {
                    // Beyond corner A: edge A-B or edge A-C.
                    if (b0 < 0.0)
                    {
                        t = 0.0;
                        s = -b0 >= a00 ? 1.0 : -b0 / a00;
                    }
                    else
                    {
                        s = 0.0;
                        t = b1 >= 0.0 ? 0.0 : (-b1 >= a11 ? 1.0 : -b1 / a11);
                    }
                }
                else
                {
                    s = 0.0;
                    t = b1 >= 0.0 ? 0.0 : (-b1 >= a11 ? 1.0 : -b1 / a11);
                }
            }
            else if (t < 0.0)
            {
                t = 0.0;
                s = b0 >= 0.0 ? 0.0 : (-b0 >= a00 ? 1.0 : -b0 / a00);
            }
            else
            {
                s /= det;
                t /= det;
            }
        }
        else
        {
            const double denominator = a00 - 2.0 * a01 + a11;
            if (s < 0.0)
            {
                // Beyond corner C: edge B-C or edge A-C.
                const double tmp0 = a01 + b0;
                const double tmp1 = a11 + b1;
                if (tmp1 > tmp0)
                {
                    const double numerator = tmp1 - tmp0;
                    s = numerator >= denominator ? 1.0 : numerator / denominator;
                    t = 1.0 - s;
                    onEdgeBC = true;
                }
                else
                {
                    s = 0.0;
                    t = tmp1 <= 0.0 ? 1.0 : (b1 >= 0.0 ? 0.0 : -b1 / a11);
                }
            }
            else if (t < 0.0)
            {
                // Beyond corner B: edge B-C or edge A-B.
                const double tmp0 = a01 + b1;
                const double tmp1 = a00 + b0;
                if (tmp1 > tmp0)
                {
                    const double numerator = tmp1 - tmp0;
                    t = numerator >= denominator ? 1.0 : numerator / denominator;
                    s = 1.0 - t;
                    onEdgeBC = true;
                }
                else
                {
                    t = 0.0;
                    s = tmp1 <= 0.0 ? 1.0 : (b0 >= 0.0 ? 0.0 : -b0 / a00);
                }
            }
            else
            {
                const double numerator = (a11 + b1) - (a01 + b0);
                if (numerator <= 0.0)
                    s = 0.0;
                else
                    s = numerator >= denominator ? 1.0 : numerator / denominator;
                t = 1.0 - s;
                onEdgeBC = true;
            }
        }
        for (int i = 0; i < 3; ++i)
            q[i] = a[i] + s * e0[i] + t * e1[i];
        if (onEdgeBC)
            where = s == 1.0 || t == 0.0 ? eTriangleFeature::CornerB
                                         : (s == 0.0 || t == 1.0 ? eTriangleFeature::CornerC : eTriangleFeature::EdgeBC);
        else if (s == 0.0 && t == 0.0)
            where = eTriangleFeature::CornerA;
        else if (t == 0.0)
            where = s == 1.0 ? eTriangleFeature::CornerB : eTriangleFeature::EdgeAB;
        else if (s == 0.0)
            where = t == 1.0 ? eTriangleFeature::CornerC : eTriangleFeature::EdgeCA;
        else if (s + t == 1.0)
            where = eTriangleFeature::EdgeBC;
    }

    double diff[3];
    Sub(p, q, diff);
    const double distance = std::sqrt(Dot(diff, diff));
    closest[0] = q[0], closest[1] = q[1], closest[2] = q[2];
    if (feature != nullptr)
        *feature = where;
    return Dot(n, diff) < 0.0 ? -distance : distance;
}
