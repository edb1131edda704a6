#include "core/vertex.h"

double PointSegmentParameter(const float p[3], const float a[3], const float b[3], double* distance)
{
    const double d[3] = {static_cast<double>(b[0]) - a[0], static_cast<double>(b[1]) - a[1],
                         static_cast<double>(b[2]) - a[2]};
    const double ap[3] = {static_cast<double>(p[0]) - a[0], static_cast<double>(p[1]) - a[1],
                          static_cast<double>(p[2]) - a[2]};
    const double lengthSquared = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    // The threshold is the single-precision constant the curve code has always
    // compared against.
    if (lengthSquared <= static_cast<double>(1e-6f))
    {
        if (distance != nullptr)
            *distance = PointDistance(p, a);
        return 0.0;
    }
    const double t = (d[0] * ap[0] + d[1] * ap[1] + d[2] * ap[2]) / lengthSquared;
    if (distance != nullptr)
    {
        if (t <= 0.0)
        {
            *distance = PointDistance(p, a);
        }
        else if (t > 1.0)
        {
            *distance = PointDistance(p, b);
        }
        else
        {
            const double e[3] = {ap[0] - t * d[0], ap[1] - t * d[1], ap[2] - t * d[2]};
            *distance = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
        }
    }
    return t;
}

double PointSegmentDistance3f(const float p[3], const float a[3], const float b[3])
{
    double distance = 0.0;
    PointSegmentParameter(p, a, b, &distance);
    return distance;
}
