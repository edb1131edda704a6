// The primitives as the rest of the system holds them: each ST_C primitive
// with an ON_ISurface part that turns its current parameters into host
// surfaces and cached breps. Every operation that changes parameters empties
// the brep cache.
#pragma once

#include "platform/geometry/cylinder.h"
#include "platform/geometry/plane_surface.h"
#include "platform/geometry/sphere.h"
#include "shapes/host_surface.h"
#include "shapes/primitive_geometry.h"

// {240C6660-...} and {AE2E2460-...} are in shape_interfaces.h; the cylinder
// answers with the ST_CCylinder id.

// The host surface makers. A half extent that is not positive leaves no
// valid rectangle: the result is false and the surface left invalid.
bool MakeONPlaneSurface(ON_PlaneSurface& srf, const double origin[3], const double xAxis[3], double halfWidth,
                        const double yAxis[3], double halfHeight);
void MakeONSphere(ON_Sphere& sphere, const double centre[3], double radius);
void MakeONCylinder(ON_Cylinder& cylinder, const double axisPoint[3], const double axis[3], double radius,
                    double height);

class Dezaz_Plane : public ST_CPlane, public ON_ISurface
{
public:
    Dezaz_Plane() = default;
    Dezaz_Plane(const Dezaz_Plane& other);
    Dezaz_Plane& operator=(const Dezaz_Plane& other);
    ~Dezaz_Plane() override;

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    void Invalidate() override { ClearBreps(); }
    void MoveHandle(int index, double distance) override;
    void Transform(const double frame[12]) override;
    bool Inflate(double factor) override;
    bool CanBeCoincidentWith(ST_IGeometry* other) override;
    bool CanBeParallelTo(ST_IGeometry* other) override;
    bool CanBePerpendicularTo(ST_IGeometry* other) override;
    void SetOriginAndExtent(const double origin[3], double halfWidth, double halfHeight) override;
    void SetFrameFromAxes(const double origin[3], const double xAxis[3], double halfWidth, const double yAxis[3],
                          double halfHeight) override;
    void SetOriginAndNormal(const double normal[3], const double origin[3], const double xAxis[3], double halfWidth,
                            double halfHeight) override;
    void MergeWith(cMesh& mesh, const ST_CPlane& other) override;

    bool GetNurbForm(ON_NurbsSurface& srf) override;
    bool GetRevSurface(ON_RevSurface&) override { return false; }
    bool GetPlaneSurface(ON_PlaneSurface& srf) override;
};

class Dezaz_Sphere : public ST_CSphere, public ON_ISurface
{
public:
    Dezaz_Sphere() = default;
    Dezaz_Sphere(const Dezaz_Sphere& other);
    Dezaz_Sphere& operator=(const Dezaz_Sphere& other);
    ~Dezaz_Sphere() override;

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    void Invalidate() override { ClearBreps(); }
    void Transform(const double frame[12]) override;
    bool CanBeCoincidentWith(ST_IGeometry* other) override;
    bool CanBeParallelTo(ST_IGeometry*) override { return false; }
    bool CanBePerpendicularTo(ST_IGeometry*) override { return false; }
    void SetCentreAndRadius(const double centre[3], double radius) override;
    void MergeWith(cMesh& mesh, const ST_CSphere& other) override;

    bool GetNurbForm(ON_NurbsSurface& srf) override;
    bool GetRevSurface(ON_RevSurface& srf) override;
    bool GetPlaneSurface(ON_PlaneSurface&) override { return false; }
};

class Dezaz_Cylinder : public ST_CCylinder, public ON_ISurface
{
public:
    Dezaz_Cylinder() = default;
    Dezaz_Cylinder(const Dezaz_Cylinder& other);
    Dezaz_Cylinder& operator=(const Dezaz_Cylinder& other);
    ~Dezaz_Cylinder() override;

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    void Invalidate() override { ClearBreps(); }
    void MoveHandle(int index, double distance) override;
    void Transform(const double frame[12]) override;
    bool Inflate(double factor) override;
    bool CanBeCoincidentWith(ST_IGeometry* other) override;
    bool CanBeParallelTo(ST_IGeometry* other) override;
    bool CanBePerpendicularTo(ST_IGeometry* other) override;
    void SetAxisPoint(const double axisPoint[3], double height) override;
    void SetAxis(const double axisPoint[3], const double axis[3], double radius, double height) override;
    void MergeWith(cMesh& mesh, const ST_CCylinder& other) override;

    bool GetNurbForm(ON_NurbsSurface& srf) override;
    bool GetRevSurface(ON_RevSurface& srf) override;
    bool GetPlaneSurface(ON_PlaneSurface&) override { return false; }
};
