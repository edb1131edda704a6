#include "fitting/tangent_arc.h"

#include "core/intersections.h"

#include <cmath>

namespace
{

constexpr double kFltEpsilon = 1.1920928955078125e-07;

struct Vec2
{
    double x = 0.0;
    double y = 0.0;
};

Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
Vec2 operator*(double s, Vec2 a) { return {s * a.x, s * a.y}; }
double Dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
double Cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
double Length(Vec2 a) { return std::sqrt(Dot(a, a)); }

// Unit vector, or the vector unchanged when it is too small to have a
// direction.
Vec2 Unit(Vec2 a)
{
    if (std::fabs(a.x) + std::fabs(a.y) < kFltEpsilon)
        return a;
    const double l = Length(a);
    return {a.x / l, a.y / l};
}

void Store(Vec2 p, float out[3])
{
    out[0] = static_cast<float>(p.x);
    out[1] = static_cast<float>(p.y);
    out[2] = 0.0f;
}

bool Finite(Vec2 p) { return std::isfinite(p.x) && std::isfinite(p.y); }

} // namespace

bool SolveTangentArcBetweenLines(const cVertex& first, const cVertex& second, const float picked[3],
                                 float firstTangent[3], float middle[3], float secondTangent[3], double radiusStep)
{
    const Vec2 p1{first.x, first.y};
    const Vec2 p2{second.x, second.y};
    const Vec2 d1 = Unit({first.nx, first.ny});
    const Vec2 d2 = Unit({second.nx, second.ny});
    const Vec2 pick{picked[0], picked[1]};
    // A line without a direction is no line to be tangent to.
    if (std::fabs(d1.x) + std::fabs(d1.y) < kFltEpsilon || std::fabs(d2.x) + std::fabs(d2.y) < kFltEpsilon)
        return false;

    // The corner where the two lines meet; none for (nearly) parallel lines.
    const double p1In[3] = {p1.x, p1.y, 0.0}, d1In[3] = {d1.x, d1.y, 0.0};
    const double p2In[3] = {p2.x, p2.y, 0.0}, d2In[3] = {d2.x, d2.y, 0.0};
    double onFirst[3], onSecond[3];
    if (ClosestPointsOfLines(p1In, d1In, p2In, d2In, onFirst, onSecond))
    {
        const Vec2 x{onFirst[0], onFirst[1]};
        // A line whose given point is the corner itself has no side to
        // fillet from.
        if (Length(p1 - x) < kFltEpsilon || Length(p2 - x) < kFltEpsilon)
            return false;
        const Vec2 u1 = Unit(p1 - x);
        const Vec2 u2 = Unit(p2 - x);
        const Vec2 b = Unit(u1 + u2);
        const double s = std::fabs(Cross(u1, b));
        const Vec2 g = pick - x;
        const double gb = Dot(g, b);
        const double gg = Dot(g, g) + double(picked[2]) * double(picked[2]);
        const double a = 1.0 - s * s;
        if (std::fabs(a) < kFltEpsilon)
            return false;
        const double disc = 4.0 * gb * gb - 4.0 * a * gg;
        if (disc < kFltEpsilon)
            return false;
        double lambda = (2.0 * gb + std::sqrt(disc)) / (2.0 * a);

        Vec2 c = x + lambda * b;
        Vec2 t1 = x + Dot(c - x, d1) * d1;
        Vec2 t2 = x + Dot(c - x, d2) * d2;
        double r = Length(c - t1);
        if (radiusStep > 0.0 && r > kFltEpsilon)
        {
            lambda *= (std::floor(r / radiusStep) * radiusStep) / r;
            c = x + lambda * b;
            t1 = x + Dot(c - x, d1) * d1;
            t2 = x + Dot(c - x, d2) * d2;
            r = Length(c - t1);
        }
        Vec2 m = (t1 - c) + (t2 - c);
        if (Dot(m, m) <= kFltEpsilon)
            return false;
        m = Unit(m);
        const Vec2 mid = Dot(m, d1) <= 0.0 ? c + r * m : c - r * m;
        if (!Finite(t1) || !Finite(mid) || !Finite(t2))
            return false;
        Store(t1, firstTangent);
        Store(mid, middle);
        Store(t2, secondTangent);
        return true;
    }

    // Parallel lines: a half circle between them. Its diameter runs from the
    // first line's point straight across to the second line (the foot of P1
    // on it), so the arc touches both lines even when the two given points
    // do not face each other.
    const Vec2 q = p2 + Dot(p1 - p2, d2) * d2;
    const double r = Length(p1 - q) / 2.0;
    const Vec2 c = 0.5 * (p1 + q);
    const double lineStart[3] = {c.x, c.y, 0.0};
    const double lineEnd[3] = {c.x + d1.x, c.y + d1.y, 0.0};
    const double centre[3] = {pick.x, pick.y, 0.0};
    double hit1[3], hit2[3];
    if (IntersectLineCircle2d(lineStart, lineEnd, centre, r, hit1, hit2) == 0)
        return false;
    const Vec2 a{hit1[0], hit1[1]};
    const Vec2 tangent1 = p1 + Dot(a - p1, d1) * d1;
    const Vec2 mid = a - r * d1;
    const Vec2 tangent2 = p2 + Dot(a - p2, d2) * d2;
    if (!Finite(tangent1) || !Finite(mid) || !Finite(tangent2))
        return false;
    Store(tangent1, firstTangent);
    Store(mid, middle);
    Store(tangent2, secondTangent);
    return true;
}
