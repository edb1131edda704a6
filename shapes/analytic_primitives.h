// The analytic values of the three primitives: plain double parameter sets
// with the geometric operations the shapes need. Each shape embeds one as
// its aggregated inner object.
//
// Frames are 3x4 row-major: rows (R00 R01 R02 T0), (R10 R11 R12 T1),
// (R20 R21 R22 T2); a point p maps to R p + T, a vector v to R v. Float boxes
// are min x, y, z, max x, y, z.
#pragma once

#include "fitting/primitive_records.h"
#include "shapes/shape_interfaces.h"

class cPlane : public tPlane<double>, public IMathSurface, public virtual IBaseAggregate
{
public:
    cPlane() = default;
    // Copies the values only: a copy has no outer object.
    cPlane(const cPlane& other) : IBase(), IBaseAggregate(), tPlane<double>(other), IMathSurface() {}
    cPlane& operator=(const cPlane& other)
    {
        static_cast<tPlane<double>&>(*this) = other;
        return *this;
    }

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    // s = n . p + d; foot = p - s n.
    double ClosestPoint(const float p[3], double foot[3]) const override;
    bool FitToPoints(const std::deque<stFitPoint>& points, double* rms) override;
};

class cSphere : public tSphere<double>, public IMathSurface, public virtual IBaseAggregate
{
public:
    cSphere() = default;
    cSphere(const cSphere& other) : IBase(), IBaseAggregate(), tSphere<double>(other), IMathSurface() {}
    cSphere& operator=(const cSphere& other)
    {
        static_cast<tSphere<double>&>(*this) = other;
        return *this;
    }

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    // |p - c| - r; at the centre the foot is not written and the result is -r.
    double ClosestPoint(const float p[3], double foot[3]) const override;
    bool FitToPoints(const std::deque<stFitPoint>& points, double* rms) override;
};

// Not an IMathSurface: cylinders are fitted through their shape.
class cCylinder : public tCylinder<double>, public virtual IBaseAggregate
{
public:
    cCylinder() = default;
    cCylinder(const cCylinder& other) : IBase(), IBaseAggregate(), tCylinder<double>(other) {}
    cCylinder& operator=(const cCylinder& other)
    {
        static_cast<tCylinder<double>&>(*this) = other;
        return *this;
    }

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;
};

// |abs(n) - 1| < FLT_EPSILON.
bool IsPlaneValid(const tPlane<double>& plane);
// r > FLT_EPSILON.
bool IsSphereValid(const tSphere<double>& sphere);
// r > FLT_EPSILON, hgt > FLT_EPSILON and a of unit length within FLT_EPSILON.
bool IsCylinderValid(const tCylinder<double>& cylinder);

// The cylinder from the bottom centre p0 to the top centre p1; false (and
// the cylinder unchanged) when the points coincide or the radius is zero.
bool SetCylinderFromPoints(tCylinder<double>& cylinder, const double p0[3], const double p1[3], double radius);

// o - w x + h y, o + w x + h y, o + w x - h y, o - w x - h y (y = n x x).
void GetPlanePatchCorners(const tPlane<double>& plane, double corners[4][3]);
void GetPlanePatchBox(const tPlane<double>& plane, float box[6]);
void GetSphereBox(const tSphere<double>& sphere, float box[6]);
// The exact box of the finite cylinder, end discs included.
void GetCylinderBox(const tCylinder<double>& cylinder, float box[6]);

// n and x by R (not renormalised), o as a point, d recomputed; extents kept.
void TransformPlane(tPlane<double>& plane, const double frame[12]);
// The centre as a point; the radius is kept (the frame is taken as rigid).
void TransformSphere(tSphere<double>& sphere, const double frame[12]);
// b as a point, a by R (not renormalised); radius and height kept.
void TransformCylinder(tCylinder<double>& cylinder, const double frame[12]);
