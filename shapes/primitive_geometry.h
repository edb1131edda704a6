// The editable definitions of the three primitive shapes: ST_IGeometry over
// an embedded analytic value (the aggregated inner object, whose outer
// object is the shape). They give the shapes view its drag handles, the
// property pages their setters, the primitive dialog its alignment frames,
// and the merge of two shapes of one kind.
#pragma once

#include "shapes/analytic_primitives.h"

class cMesh;

// The rotation rows of a right-handed orthonormal frame whose row `axis` is
// the direction m (normalised unless |x| + |y| + |z| < FLT_EPSILON); m along
// +e_axis gives the identity. Only the rotation part of the frame is written.
void BuildAxisFrame(double frame[12], const float m[3], int axis);

class ST_CPlane : public ST_IGeometry, public virtual IBaseAggregate
{
public:
    ST_CPlane();
    ST_CPlane(const ST_CPlane& other);
    ST_CPlane& operator=(const ST_CPlane& other);

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    bool IsValid() const override;
    void Invalidate() override {}
    void GetBoundingBox(float box[6]) const override;
    int GetHandleCount() const override { return 8; }
    void GetHandles(float points[][3], float directions[][3]) const override;
    void MoveHandle(int index, double distance) override;
    bool SupportsOperation(int operation) const override;
    void GetLocalFrame(double frame[12], int mode, int axis, bool flip) const override;
    void Transform(const double frame[12]) override;
    std::uint8_t GetKindId() const override { return kShapeKindPlane; }
    void GetInfoText(ON_wString& text) const override;
    void GetTypeName(ON_wString& name) const override;
    bool Inflate(double factor) override;
    void ConstrainPerpendicular(double out[3], const double d[3], bool dIsNormal) const override;
    void ConstrainParallel(double out[3], const double d[3], bool dIsNormal) const override;
    void GetDirection(double out[3]) const override;
    void GetOrigin(double out[3]) const override;

    // The setters keep the half extents in single precision.
    virtual void SetOriginAndExtent(const double origin[3], double halfWidth, double halfHeight);
    // n = x axis x y axis (not normalised).
    virtual void SetFrameFromAxes(const double origin[3], const double xAxis[3], double halfWidth,
                                  const double yAxis[3], double halfHeight);
    virtual void SetOriginAndNormal(const double normal[3], const double origin[3], const double xAxis[3],
                                    double halfWidth, double halfHeight);
    // Absorbs the other plane (left unchanged): averaged normal and offset,
    // its region seeds, and a frame that covers both regions of the mesh.
    virtual void MergeWith(cMesh& mesh, const ST_CPlane& other);

    cPlane& GetPlane() { return m_plane; }
    const cPlane& GetPlane() const { return m_plane; }

protected:
    cPlane m_plane;
};

class ST_CSphere : public ST_IGeometry, public virtual IBaseAggregate
{
public:
    ST_CSphere();
    ST_CSphere(const ST_CSphere& other);
    ST_CSphere& operator=(const ST_CSphere& other);

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    bool IsValid() const override;
    void Invalidate() override {}
    void GetBoundingBox(float box[6]) const override;
    int GetHandleCount() const override { return 0; }
    void GetHandles(float[][3], float[][3]) const override {}
    void MoveHandle(int, double) override {}
    bool SupportsOperation(int operation) const override;
    void GetLocalFrame(double frame[12], int mode, int axis, bool flip) const override;
    void Transform(const double frame[12]) override;
    std::uint8_t GetKindId() const override { return kShapeKindSphere; }
    void GetInfoText(ON_wString& text) const override;
    void GetTypeName(ON_wString& name) const override;
    bool Inflate(double) override { return false; }
    void ConstrainPerpendicular(double out[3], const double d[3], bool dIsNormal) const override;
    void ConstrainParallel(double out[3], const double d[3], bool dIsNormal) const override;
    void GetDirection(double out[3]) const override;
    void GetOrigin(double out[3]) const override;

    virtual void SetCentreAndRadius(const double centre[3], double radius);
    // Mean centre and radius, and the other's region seeds.
    virtual void MergeWith(cMesh& mesh, const ST_CSphere& other);

    cSphere& GetSphere() { return m_sphere; }
    const cSphere& GetSphere() const { return m_sphere; }

protected:
    cSphere m_sphere;
};

class ST_CCylinder : public ST_IGeometry, public virtual IBaseAggregate
{
public:
    ST_CCylinder();
    ST_CCylinder(const ST_CCylinder& other);
    ST_CCylinder& operator=(const ST_CCylinder& other);

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    bool IsValid() const override;
    void Invalidate() override {}
    void GetBoundingBox(float box[6]) const override;
    int GetHandleCount() const override { return 2; }
    void GetHandles(float points[][3], float directions[][3]) const override;
    void MoveHandle(int index, double distance) override;
    bool SupportsOperation(int operation) const override;
    void GetLocalFrame(double frame[12], int mode, int axis, bool flip) const override;
    void Transform(const double frame[12]) override;
    std::uint8_t GetKindId() const override { return kShapeKindCylinder; }
    void GetInfoText(ON_wString& text) const override;
    void GetTypeName(ON_wString& name) const override;
    bool Inflate(double factor) override;
    void ConstrainPerpendicular(double out[3], const double d[3], bool dIsNormal) const override;
    void ConstrainParallel(double out[3], const double d[3], bool dIsNormal) const override;
    void GetDirection(double out[3]) const override;
    void GetOrigin(double out[3]) const override;

    // b and hgt set; the axis renormalised in place; r unchanged.
    virtual void SetAxisPoint(const double axisPoint[3], double height);
    // All set; the axis normalised.
    virtual void SetAxis(const double axisPoint[3], const double axis[3], double radius, double height);
    // Absorbs the other cylinder (left unchanged): averaged axis and radius,
    // its region seeds, and an extent that covers both regions of the mesh.
    virtual void MergeWith(cMesh& mesh, const ST_CCylinder& other);

    cCylinder& GetCylinder() { return m_cylinder; }
    const cCylinder& GetCylinder() const { return m_cylinder; }

protected:
    cCylinder m_cylinder;
};
