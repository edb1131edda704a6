// The brute-force distance of the analysis tests, written independently of
// the search code it checks.
#pragma once

#include <algorithm>
#include <cmath>

namespace analysis_test
{

// Brute-force closest point: the plane projection when it falls inside the
// triangle (barycentric test), else the best of the three edges sampled
// exactly by their own projections.
inline double OracleDistance(const float pf[3], const float af[3], const float bf[3], const float cf[3])
{
    auto d = [](const float* f, double* out) {
        out[0] = f[0], out[1] = f[1], out[2] = f[2];
    };
    double p[3], a[3], b[3], c[3];
    d(pf, p), d(af, a), d(bf, b), d(cf, c);
    auto segment = [&](const double* s, const double* t) {
        double st[3] = {t[0] - s[0], t[1] - s[1], t[2] - s[2]};
        double sp[3] = {p[0] - s[0], p[1] - s[1], p[2] - s[2]};
        const double l2 = st[0] * st[0] + st[1] * st[1] + st[2] * st[2];
        double u = l2 > 0 ? (sp[0] * st[0] + sp[1] * st[1] + sp[2] * st[2]) / l2 : 0.0;
        u = std::clamp(u, 0.0, 1.0);
        double dist2 = 0;
        for (int k = 0; k < 3; ++k)
        {
            const double q = s[k] + u * st[k] - p[k];
            dist2 += q * q;
        }
        return std::sqrt(dist2);
    };
    double best = std::min({segment(a, b), segment(b, c), segment(c, a)});
    double e0[3], e1[3], n[3];
    for (int k = 0; k < 3; ++k)
        e0[k] = b[k] - a[k], e1[k] = c[k] - a[k];
    n[0] = e0[1] * e1[2] - e0[2] * e1[1];
    n[1] = e0[2] * e1[0] - e0[0] * e1[2];
    n[2] = e0[0] * e1[1] - e0[1] * e1[0];
    const double n2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    if (n2 > 0)
    {
        const double h = ((p[0] - a[0]) * n[0] + (p[1] - a[1]) * n[1] + (p[2] - a[2]) * n[2]) / n2;
        double q[3];
        for (int k = 0; k < 3; ++k)
            q[k] = p[k] - h * n[k];
        // Inside when the three sub-triangles' normals agree with n.
        auto side = [&](const double* s, const double* t) {
            double st[3] = {t[0] - s[0], t[1] - s[1], t[2] - s[2]};
            double sq[3] = {q[0] - s[0], q[1] - s[1], q[2] - s[2]};
            double x[3] = {st[1] * sq[2] - st[2] * sq[1], st[2] * sq[0] - st[0] * sq[2], st[0] * sq[1] - st[1] * sq[0]};
            return x[0] * n[0] + x[1] * n[1] + x[2] * n[2];
        };
        if (side(a, b) >= 0 && side(b, c) >= 0 && side(c, a) >= 0)
            best = std::min(best, std::fabs(h) * std::sqrt(n2));
    }
    return best;
}

} // namespace analysis_test
