#include "fitting/loft_loop_sampling.h"

#include <algorithm>
#include <cmath>

namespace
{

using Vec = t3DPoint<double>;

Vec Sub(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec AddScaled(const Vec& a, const Vec& b, double s) { return {a.x + s * b.x, a.y + s * b.y, a.z + s * b.z}; }
double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(const Vec& v) { return std::sqrt(Dot(v, v)); }
bool IsFinite(const Vec& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

Vec Unit(const Vec& v)
{
    const double l = Length(v);
    return l > 0.0 ? Vec{v.x / l, v.y / l, v.z / l} : Vec{};
}

// Point of the cubic Bezier b at t.
Vec Bezier(const Vec b[4], double t)
{
    const double s = 1.0 - t;
    const double w[4] = {s * s * s, 3.0 * s * s * t, 3.0 * s * t * t, t * t * t};
    Vec out{};
    for (int i = 0; i < 4; ++i)
        out = AddScaled(out, b[i], w[i]);
    return out;
}

// The loop's normal by Newell's sum: its direction says which way round the
// loop runs, whatever its shape.
Vec LoopNormal(const std::vector<Vec>& loop)
{
    Vec n{};
    for (std::size_t i = 0; i < loop.size(); ++i)
    {
        const Vec& a = loop[i];
        const Vec& b = loop[(i + 1) % loop.size()];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

// The same loop from index `start` on, run the other way round when asked.
std::vector<Vec> Restart(const std::vector<Vec>& loop, std::size_t start, bool reverse)
{
    std::vector<Vec> out;
    out.reserve(loop.size());
    const std::size_t n = loop.size();
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(reverse ? loop[(start + n - i) % n] : loop[(start + i) % n]);
    return out;
}

// `count` points evenly spaced along the closed polygon, the first at its
// first point.
std::vector<Vec> EvenAlongLoop(const std::vector<Vec>& loop, std::int32_t count)
{
    const std::size_t n = loop.size();
    std::vector<double> at(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        at[i + 1] = at[i] + Length(Sub(loop[(i + 1) % n], loop[i]));
    const double total = at[n];
    std::vector<Vec> out;
    out.reserve(static_cast<std::size_t>(count));
    std::size_t edge = 0;
    for (std::int32_t j = 0; j < count; ++j)
    {
        const double s = total * j / count;
        while (edge + 1 < n && at[edge + 1] <= s)
            ++edge;
        const double span = at[edge + 1] - at[edge];
        const double f = span > 0.0 ? (s - at[edge]) / span : 0.0;
        out.push_back(AddScaled(loop[edge], Sub(loop[(edge + 1) % n], loop[edge]), f));
    }
    return out;
}

} // namespace

bool DenseLoop(const ST_ISectionCurve& curve, std::int32_t density, std::vector<Vec>& loop)
{
    loop.clear();
    const ST_IWire* wire = curve.GetWire();
    if (wire == nullptr || density < 2)
        return false;
    Vec startTangent, endTangent;
    for (std::int32_t i = 0; i < density; ++i)
    {
        Vec p, t;
        if (!wire->EvaluateAtFraction(static_cast<double>(i) / (density - 1), &p, &t))
            return false;
        p = curve.LocalToWorld(p);
        if (!IsFinite(p))
            return false;
        loop.push_back(p);
        if (i == 0)
            startTangent = Unit(curve.LocalToWorldDirection(t));
        if (i + 1 == density)
            endTangent = Unit(curve.LocalToWorldDirection(t));
    }
    double length = 0.0;
    for (std::size_t i = 1; i < loop.size(); ++i)
        length += Length(Sub(loop[i], loop[i - 1]));
    const Vec from = loop.back(), to = loop.front();
    const double gap = Length(Sub(to, from));
    if (gap <= 1e-9 * (1.0 + length))
    {
        loop.pop_back(); // the curve closes itself
        return loop.size() >= 3;
    }
    // Handles of the circular arc that turns from one tangent to the other
    // over the gap; a cubic with them stays within a hair of that arc.
    const double turn = std::acos(std::clamp(Dot(endTangent, startTangent), -1.0, 1.0));
    const double handle =
        turn > 1e-6 ? gap * (2.0 / 3.0) * std::tan(turn / 4.0) / std::sin(turn / 2.0) : gap / 3.0;
    const Vec bridge[4] = {from, AddScaled(from, endTangent, handle), AddScaled(to, startTangent, -handle), to};
    const double spacing = length / (density - 1);
    const std::int32_t pieces =
        std::clamp(spacing > 0.0 ? static_cast<std::int32_t>(std::ceil(gap / spacing)) : 2, 2, density);
    for (std::int32_t i = 1; i < pieces; ++i)
        loop.push_back(Bezier(bridge, static_cast<double>(i) / pieces));
    return loop.size() >= 3;
}

bool SampleAlignedLoops(const std::vector<const ST_ISectionCurve*>& loops, std::int32_t count,
                        std::vector<std::vector<Vec>>& samples)
{
    samples.clear();
    if (count < 3)
        return false;
    // Dense enough that the polygon's chords stay far inside the scan noise
    // and that the nearest point to the previous start is found closely.
    const std::int32_t density = std::max(1024, 16 * std::min(count, 1 << 16));
    Vec previousNormal{}, previousStart{};
    for (std::size_t k = 0; k < loops.size(); ++k)
    {
        if (loops[k] == nullptr)
            return false;
        std::vector<Vec> loop;
        if (!DenseLoop(*loops[k], density, loop))
            return false;
        const Vec normal = LoopNormal(loop);
        if (k > 0)
        {
            std::size_t nearest = 0;
            double best = Dot(Sub(loop[0], previousStart), Sub(loop[0], previousStart));
            for (std::size_t i = 1; i < loop.size(); ++i)
            {
                const Vec d = Sub(loop[i], previousStart);
                if (Dot(d, d) < best)
                {
                    best = Dot(d, d);
                    nearest = i;
                }
            }
            loop = Restart(loop, nearest, Dot(normal, previousNormal) < 0.0);
        }
        previousNormal = LoopNormal(loop);
        previousStart = loop.front();
        samples.push_back(EvenAlongLoop(loop, count));
    }
    return true;
}
