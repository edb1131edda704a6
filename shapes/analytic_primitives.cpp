#include "shapes/analytic_primitives.h"

#include "core/bounding_box.h"
#include "core/vector_math.h"
#include "fitting/analytic_surface_ops.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{

double Length3d(const double v[3])
{
    return std::sqrt(Dot3d(v, v));
}

void MapPoint(const double frame[12], const double in[3], double out[3])
{
    double p[3];
    for (int r = 0; r < 3; ++r)
        p[r] = frame[4 * r] * in[0] + frame[4 * r + 1] * in[1] + frame[4 * r + 2] * in[2] + frame[4 * r + 3];
    std::copy(p, p + 3, out);
}

void MapVector(const double frame[12], const double in[3], double out[3])
{
    double v[3];
    for (int r = 0; r < 3; ++r)
        v[r] = frame[4 * r] * in[0] + frame[4 * r + 1] * in[1] + frame[4 * r + 2] * in[2];
    std::copy(v, v + 3, out);
}

void GrowBoxByPoint(float box[6], const double p[3])
{
    const float f[3] = {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
    GrowBox3f(box, f);
}

} // namespace

void* cPlane::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_cPlane))
        return static_cast<cPlane*>(this);
    if (IsEqualInterfaceId(iid, IID_IMathSurface))
        return static_cast<IMathSurface*>(this);
    return IBaseAggregate::NonDelegatingQueryInterface(iid);
}

double cPlane::ClosestPoint(const float p[3], double foot[3]) const
{
    return PlaneDistanceAndProjection(*this, p, foot);
}

bool cPlane::FitToPoints(const std::deque<stFitPoint>& points, double* rms)
{
    return FitPlaneToPoints(*this, points, rms);
}

void* cSphere::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_cSphere))
        return static_cast<cSphere*>(this);
    if (IsEqualInterfaceId(iid, IID_IMathSurface))
        return static_cast<IMathSurface*>(this);
    return IBaseAggregate::NonDelegatingQueryInterface(iid);
}

bool cSphere::FitToPoints(const std::deque<stFitPoint>& points, double* rms)
{
    return FitSphereToPoints(*this, points, rms);
}

double cSphere::ClosestPoint(const float p[3], double foot[3]) const
{
    return SphereDistanceAndProjection(*this, p, foot);
}

void* cCylinder::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_cCylinder))
        return static_cast<cCylinder*>(this);
    return IBaseAggregate::NonDelegatingQueryInterface(iid);
}

bool IsPlaneValid(const tPlane<double>& plane)
{
    return std::fabs(Length3d(plane.normal) - 1.0) < FLT_EPSILON;
}

bool IsSphereValid(const tSphere<double>& sphere)
{
    return sphere.radius > FLT_EPSILON;
}

bool IsCylinderValid(const tCylinder<double>& cylinder)
{
    return cylinder.radius > FLT_EPSILON && cylinder.height > FLT_EPSILON &&
           std::fabs(Length3d(cylinder.axis) - 1.0) < FLT_EPSILON;
}

bool SetCylinderFromPoints(tCylinder<double>& cylinder, const double p0[3], const double p1[3], double radius)
{
    const double v[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    const double length = Length3d(v);
    // The negated tests also refuse NaN input.
    if (!(length > FLT_EPSILON) || !(std::fabs(radius) >= FLT_EPSILON))
        return false;
    for (int i = 0; i < 3; ++i)
    {
        cylinder.axisPoint[i] = p0[i];
        cylinder.axis[i] = v[i] / length;
    }
    cylinder.radius = radius;
    cylinder.height = length;
    return true;
}

void GetPlanePatchCorners(const tPlane<double>& plane, double corners[4][3])
{
    double y[3];
    Cross3d(plane.normal, plane.xAxis, y);
    if (std::fabs(y[0]) + std::fabs(y[1]) + std::fabs(y[2]) >= FLT_EPSILON)
    {
        const double len = Length3d(y);
        for (double& c : y)
            c /= len;
    }
    const double w = plane.halfWidth, h = plane.halfHeight;
    const double signs[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 3; ++i)
            corners[k][i] = plane.origin[i] + signs[k][0] * w * plane.xAxis[i] + signs[k][1] * h * y[i];
}

void GetPlanePatchBox(const tPlane<double>& plane, float box[6])
{
    double corners[4][3];
    GetPlanePatchCorners(plane, corners);
    MakeEmptyBox3f(box);
    for (const auto& c : corners)
        GrowBoxByPoint(box, c);
}

void GetSphereBox(const tSphere<double>& sphere, float box[6])
{
    for (int i = 0; i < 3; ++i)
    {
        box[i] = static_cast<float>(sphere.centre[i] - sphere.radius);
        box[i + 3] = static_cast<float>(sphere.centre[i] + sphere.radius);
    }
}

void GetCylinderBox(const tCylinder<double>& cylinder, float box[6])
{
    const double r = cylinder.radius;
    for (int k = 0; k < 3; ++k)
    {
        const double a = cylinder.axis[k];
        // Half the extent of the end disc along coordinate k.
        const double e = r * std::sqrt(std::max(0.0, 1.0 - a * a));
        const double b = cylinder.axisPoint[k];
        const double top = b + cylinder.height * a;
        box[k] = static_cast<float>(std::min(b, top) - e);
        box[k + 3] = static_cast<float>(std::max(b, top) + e);
    }
}

void TransformPlane(tPlane<double>& plane, const double frame[12])
{
    MapVector(frame, plane.normal, plane.normal);
    MapVector(frame, plane.xAxis, plane.xAxis);
    MapPoint(frame, plane.origin, plane.origin);
    plane.d = -Dot3d(plane.normal, plane.origin);
}

void TransformSphere(tSphere<double>& sphere, const double frame[12])
{
    MapPoint(frame, sphere.centre, sphere.centre);
}

void TransformCylinder(tCylinder<double>& cylinder, const double frame[12])
{
    MapPoint(frame, cylinder.axisPoint, cylinder.axisPoint);
    MapVector(frame, cylinder.axis, cylinder.axis);
}
