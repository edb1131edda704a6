#include "shapes/host_primitives.h"

#include "core/vector_math.h"
#include "platform/geometry/circle.h"

namespace
{

bool Answers(ST_IGeometry* other, const GUID& iid)
{
    return other != nullptr && other->QueryInterface(iid) != nullptr;
}

} // namespace

bool MakeONPlaneSurface(ON_PlaneSurface& srf, const double origin[3], const double xAxis[3], double halfWidth,
                        const double yAxis[3], double halfHeight)
{
    srf = ON_PlaneSurface(ON_Plane(ON_3dPoint(origin), ON_3dVector(xAxis), ON_3dVector(yAxis)));
    // A rectangle without area would otherwise keep the default extents
    // and pass for a valid unit square.
    if (!srf.SetExtents(0, ON_Interval(-halfWidth, halfWidth), false) ||
        !srf.SetExtents(1, ON_Interval(-halfHeight, halfHeight), false))
    {
        srf = ON_PlaneSurface(ON_Plane(ON_UNSET_POINT, ON_3dVector(), ON_3dVector()));
        return false;
    }
    return true;
}

void MakeONSphere(ON_Sphere& sphere, const double centre[3], double radius)
{
    sphere = ON_Sphere(ON_3dPoint(centre), radius);
}

void MakeONCylinder(ON_Cylinder& cylinder, const double axisPoint[3], const double axis[3], double radius,
                    double height)
{
    const ON_Plane plane{ON_3dPoint(axisPoint), ON_3dVector(axis)};
    cylinder = ON_Cylinder(ON_Circle(plane, radius), height);
}

// --- plane ---

Dezaz_Plane::Dezaz_Plane(const Dezaz_Plane& other) : IBase(), IBaseAggregate(), ST_CPlane(other), ON_ISurface(other)
{
}

Dezaz_Plane& Dezaz_Plane::operator=(const Dezaz_Plane& other)
{
    ST_CPlane::operator=(other);
    ON_ISurface::operator=(other);
    return *this;
}

Dezaz_Plane::~Dezaz_Plane() = default;

void* Dezaz_Plane::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_Dezaz_Plane))
        return static_cast<ST_IGeometry*>(this);
    if (IsEqualInterfaceId(iid, IID_ON_ISurface))
        return static_cast<ON_ISurface*>(this);
    return ST_CPlane::NonDelegatingQueryInterface(iid);
}

void Dezaz_Plane::MoveHandle(int index, double distance)
{
    ClearBreps();
    ST_CPlane::MoveHandle(index, distance);
}

void Dezaz_Plane::Transform(const double frame[12])
{
    ClearBreps();
    ST_CPlane::Transform(frame);
}

bool Dezaz_Plane::Inflate(double factor)
{
    ClearBreps();
    return ST_CPlane::Inflate(factor);
}

bool Dezaz_Plane::CanBeCoincidentWith(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CPlane);
}

bool Dezaz_Plane::CanBeParallelTo(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CPlane);
}

bool Dezaz_Plane::CanBePerpendicularTo(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CCylinder) || Answers(other, IID_RevolvedSurface) ||
           Answers(other, IID_ExtrudedSurface);
}

void Dezaz_Plane::SetOriginAndExtent(const double origin[3], double halfWidth, double halfHeight)
{
    ClearBreps();
    ST_CPlane::SetOriginAndExtent(origin, halfWidth, halfHeight);
}

void Dezaz_Plane::SetFrameFromAxes(const double origin[3], const double xAxis[3], double halfWidth,
                                   const double yAxis[3], double halfHeight)
{
    ClearBreps();
    ST_CPlane::SetFrameFromAxes(origin, xAxis, halfWidth, yAxis, halfHeight);
}

void Dezaz_Plane::SetOriginAndNormal(const double normal[3], const double origin[3], const double xAxis[3],
                                     double halfWidth, double halfHeight)
{
    ClearBreps();
    ST_CPlane::SetOriginAndNormal(normal, origin, xAxis, halfWidth, halfHeight);
}

void Dezaz_Plane::MergeWith(cMesh& mesh, const ST_CPlane& other)
{
    ClearBreps();
    ST_CPlane::MergeWith(mesh, other);
}

bool Dezaz_Plane::GetPlaneSurface(ON_PlaneSurface& srf)
{
    // Parameters read from a file may be anything: an invalid plane has no
    // host form rather than a repaired one.
    if (!IsValid())
        return false;
    double y[3];
    Cross3d(m_plane.normal, m_plane.xAxis, y);
    if (!MakeONPlaneSurface(srf, m_plane.origin, m_plane.xAxis, m_plane.halfWidth, y, m_plane.halfHeight))
        return false;
    return srf.IsValid();
}

bool Dezaz_Plane::GetNurbForm(ON_NurbsSurface& srf)
{
    ON_PlaneSurface plane;
    return GetPlaneSurface(plane) && plane.GetNurbForm(srf, 0.0) > 0;
}

// --- sphere ---

Dezaz_Sphere::Dezaz_Sphere(const Dezaz_Sphere& other)
    : IBase(), IBaseAggregate(), ST_CSphere(other), ON_ISurface(other)
{
}

Dezaz_Sphere& Dezaz_Sphere::operator=(const Dezaz_Sphere& other)
{
    ST_CSphere::operator=(other);
    ON_ISurface::operator=(other);
    return *this;
}

Dezaz_Sphere::~Dezaz_Sphere() = default;

void* Dezaz_Sphere::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_Dezaz_Sphere))
        return static_cast<ST_IGeometry*>(this);
    if (IsEqualInterfaceId(iid, IID_ON_ISurface))
        return static_cast<ON_ISurface*>(this);
    return ST_CSphere::NonDelegatingQueryInterface(iid);
}

void Dezaz_Sphere::Transform(const double frame[12])
{
    ClearBreps();
    ST_CSphere::Transform(frame);
}

bool Dezaz_Sphere::CanBeCoincidentWith(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CSphere);
}

void Dezaz_Sphere::SetCentreAndRadius(const double centre[3], double radius)
{
    ClearBreps();
    ST_CSphere::SetCentreAndRadius(centre, radius);
}

void Dezaz_Sphere::MergeWith(cMesh& mesh, const ST_CSphere& other)
{
    ClearBreps();
    ST_CSphere::MergeWith(mesh, other);
}

bool Dezaz_Sphere::GetNurbForm(ON_NurbsSurface& srf)
{
    if (!IsValid())
        return false;
    ON_Sphere sphere;
    MakeONSphere(sphere, m_sphere.centre, m_sphere.radius);
    return sphere.GetNurbForm(srf) > 0;
}

bool Dezaz_Sphere::GetRevSurface(ON_RevSurface& srf)
{
    if (!IsValid())
        return false;
    ON_Sphere sphere;
    MakeONSphere(sphere, m_sphere.centre, m_sphere.radius);
    return sphere.RevSurfaceForm(true, &srf) != nullptr && srf.IsValid();
}

// --- cylinder ---

Dezaz_Cylinder::Dezaz_Cylinder(const Dezaz_Cylinder& other)
    : IBase(), IBaseAggregate(), ST_CCylinder(other), ON_ISurface(other)
{
}

Dezaz_Cylinder& Dezaz_Cylinder::operator=(const Dezaz_Cylinder& other)
{
    ST_CCylinder::operator=(other);
    ON_ISurface::operator=(other);
    return *this;
}

Dezaz_Cylinder::~Dezaz_Cylinder() = default;

void* Dezaz_Cylinder::NonDelegatingQueryInterface(const GUID& iid)
{
    // The class id is the ST_CCylinder id, answered below.
    if (IsEqualInterfaceId(iid, IID_ON_ISurface))
        return static_cast<ON_ISurface*>(this);
    return ST_CCylinder::NonDelegatingQueryInterface(iid);
}

void Dezaz_Cylinder::MoveHandle(int index, double distance)
{
    ClearBreps();
    ST_CCylinder::MoveHandle(index, distance);
}

void Dezaz_Cylinder::Transform(const double frame[12])
{
    ClearBreps();
    ST_CCylinder::Transform(frame);
}

bool Dezaz_Cylinder::Inflate(double factor)
{
    ClearBreps();
    return ST_CCylinder::Inflate(factor);
}

bool Dezaz_Cylinder::CanBeCoincidentWith(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CCylinder) || Answers(other, IID_RevolvedSurface);
}

bool Dezaz_Cylinder::CanBeParallelTo(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CCylinder) || Answers(other, IID_RevolvedSurface) ||
           Answers(other, IID_ExtrudedSurface);
}

bool Dezaz_Cylinder::CanBePerpendicularTo(ST_IGeometry* other)
{
    return Answers(other, IID_ST_CPlane);
}

void Dezaz_Cylinder::SetAxisPoint(const double axisPoint[3], double height)
{
    ClearBreps();
    ST_CCylinder::SetAxisPoint(axisPoint, height);
}

void Dezaz_Cylinder::SetAxis(const double axisPoint[3], const double axis[3], double radius, double height)
{
    ClearBreps();
    ST_CCylinder::SetAxis(axisPoint, axis, radius, height);
}

void Dezaz_Cylinder::MergeWith(cMesh& mesh, const ST_CCylinder& other)
{
    ClearBreps();
    ST_CCylinder::MergeWith(mesh, other);
}

bool Dezaz_Cylinder::GetNurbForm(ON_NurbsSurface& srf)
{
    if (!IsValid())
        return false;
    ON_Cylinder cylinder;
    MakeONCylinder(cylinder, m_cylinder.axisPoint, m_cylinder.axis, m_cylinder.radius, m_cylinder.height);
    return cylinder.GetNurbForm(srf) > 0;
}

bool Dezaz_Cylinder::GetRevSurface(ON_RevSurface& srf)
{
    if (!IsValid())
        return false;
    ON_Cylinder cylinder;
    MakeONCylinder(cylinder, m_cylinder.axisPoint, m_cylinder.axis, m_cylinder.radius, m_cylinder.height);
    return cylinder.RevSurfaceForm(&srf) != nullptr && srf.IsValid();
}
