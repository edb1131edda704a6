#include "fitting/analytic_surface_ops.h"

#include "fitting/plane_fit.h"
#include "fitting/sphere_fit.h"

#include <cfloat>
#include <cmath>

double PlaneDistanceAndProjection(const tPlane<double>& plane, const float p[3], double projection[3])
{
    const double* n = plane.normal;
    const double s = n[0] * p[0] + n[1] * p[1] + n[2] * p[2] + plane.d;
    for (int i = 0; i < 3; ++i)
        projection[i] = p[i] - s * n[i];
    return s;
}

double SphereDistanceAndProjection(const tSphere<double>& sphere, const float p[3], double projection[3])
{
    const double v[3] = {p[0] - sphere.centre[0], p[1] - sphere.centre[1], p[2] - sphere.centre[2]};
    const double dist = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (dist < DBL_EPSILON)
        return -sphere.radius;
    const double scale = sphere.radius / dist;
    for (int i = 0; i < 3; ++i)
        projection[i] = sphere.centre[i] + v[i] * scale;
    return dist - sphere.radius;
}

namespace
{

double RootMean(double sum, std::uint64_t count)
{
    return count == 0 ? static_cast<double>(FLT_MAX) : std::sqrt(sum / static_cast<double>(count));
}

} // namespace

bool FitSphereToPoints(tSphere<double>& sphere, const tFitPointQueue& points, double* rms)
{
    if (rms)
        *rms = FLT_MAX;
    const cSphereFit fit(points);
    double centre[3] = {0, 0, 0};
    double radius = 0.0;
    if (!fit.Fit(centre, radius) || !fit.Refine(centre, radius))
        return false;
    for (int i = 0; i < 3; ++i)
        sphere.centre[i] = centre[i];
    sphere.radius = radius;
    if (rms)
    {
        std::uint64_t count = 0;
        const double sum = fit.SumSquaredRadialErrors(centre, radius, count);
        *rms = RootMean(sum, count);
    }
    return true;
}

bool FitPlaneToPoints(tPlane<double>& plane, const tFitPointQueue& points, double* rms)
{
    if (rms)
        *rms = FLT_MAX;
    const cPlaneFit fit(points);
    double normal[3] = {0, 0, 0}, offset = 0.0;
    if (!fit.Fit(normal, offset))
        return false;
    double origin[3], xAxis[3], yAxis[3], halfWidth = 0.0, halfHeight = 0.0;
    if (!fit.BuildFrame(normal, offset, origin, xAxis, halfWidth, yAxis, halfHeight, 0.0))
        return false;
    for (int i = 0; i < 3; ++i)
    {
        plane.normal[i] = normal[i];
        plane.origin[i] = origin[i];
        plane.xAxis[i] = xAxis[i];
    }
    plane.halfWidth = halfWidth;
    plane.halfHeight = halfHeight;
    plane.d = -(normal[0] * origin[0] + normal[1] * origin[1] + normal[2] * origin[2]);
    if (rms)
    {
        std::uint64_t count = 0;
        const double sum = fit.GetSumSquaredDistances(normal, offset, count);
        *rms = RootMean(sum, count);
    }
    return true;
}
