#include "fitting/simplex_scale.h"

#include "fitting/packed_fit_points.h"

#include <algorithm>
#include <cmath>

namespace
{

double UsableSpread(double spread)
{
    return spread > 0.0 && std::isfinite(spread) ? spread : 1.0;
}

struct stSpreadSums
{
    double sum[3] = {0.0, 0.0, 0.0};
    double squares = 0.0;
    stSpreadSums& operator+=(const stSpreadSums& o)
    {
        for (int k = 0; k < 3; ++k)
            sum[k] += o.sum[k];
        squares += o.squares;
        return *this;
    }
};

} // namespace

double ActivePointSpread(const cFitContainer& points, double centroid[3])
{
    points.GetCentroid(centroid);
    double squares = 0.0;
    std::uint64_t count = 0;
    for (const stFitPoint& p : points.Points())
    {
        if (!p.active)
            continue;
        for (int k = 0; k < 3; ++k)
        {
            const double d = p.position[k] - centroid[k];
            squares += d * d;
        }
        ++count;
    }
    const double spread = count > 0 ? std::sqrt(squares / double(count)) : 0.0;
    return UsableSpread(spread);
}

double PackedPointSpread(const cPackedFitPoints& points, cThreadPool* pool, const double near[3])
{
    const std::size_t count = points.Count();
    if (count == 0)
        return 1.0;
    const float* px = points.X();
    const float* py = points.Y();
    const float* pz = points.Z();
    const stSpreadSums sums =
        SumPackedBlocks<stSpreadSums>(points, pool,
                                      [&](std::size_t begin, std::size_t end, stSpreadSums& out)
                                      {
                                          for (std::size_t i = begin; i < end; ++i)
                                          {
                                              const double d0 = px[i] - near[0], d1 = py[i] - near[1],
                                                           d2 = pz[i] - near[2];
                                              out.sum[0] += d0;
                                              out.sum[1] += d1;
                                              out.sum[2] += d2;
                                              out.squares += d0 * d0 + d1 * d1 + d2 * d2;
                                          }
                                      });
    const double n = double(count);
    double meanSquared = 0.0;
    for (int k = 0; k < 3; ++k)
        meanSquared += (sums.sum[k] / n) * (sums.sum[k] / n);
    return UsableSpread(std::sqrt(std::max(0.0, sums.squares / n - meanSquared)));
}
