#include "shapes/primitive_geometry.h"
#include "shapes/primitive_support.h"

#include <cfloat>

using namespace primitive_support;

ST_CSphere::ST_CSphere()
{
    m_sphere.SetOuter(static_cast<IBase*>(this));
}

ST_CSphere::ST_CSphere(const ST_CSphere& other)
    : IBase(), IBaseAggregate(), ST_IGeometry(other), m_sphere(other.m_sphere)
{
    m_sphere.SetOuter(static_cast<IBase*>(this));
}

ST_CSphere& ST_CSphere::operator=(const ST_CSphere& other)
{
    ST_IGeometry::operator=(other);
    m_sphere = other.m_sphere;
    return *this;
}

void* ST_CSphere::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_ST_CSphere))
        return static_cast<ST_CSphere*>(this);
    if (IsEqualInterfaceId(iid, IID_ST_IGeometry))
        return static_cast<ST_IGeometry*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(this);
    return m_sphere.NonDelegatingQueryInterface(iid);
}

bool ST_CSphere::IsValid() const
{
    return IsSphereValid(m_sphere);
}

void ST_CSphere::GetBoundingBox(float box[6]) const
{
    GetSphereBox(m_sphere, box);
}

bool ST_CSphere::SupportsOperation(int operation) const
{
    return operation == kGeometryMoveToOrigin || operation == kGeometryAlignNormal;
}

void ST_CSphere::GetLocalFrame(double frame[12], int mode, int axis, bool) const
{
    SetIdentityFrame(frame);
    for (int i = 0; i < 3; ++i)
        frame[4 * i + 3] = -m_sphere.centre[i];
    // Aligning the centre with an axis keeps only that axis' offset.
    if (mode == kGeometryAlignNormal && axis >= 0 && axis <= 2)
        for (int i = 0; i < 3; ++i)
            if (i != axis)
                frame[4 * i + 3] = 0.0;
}

void ST_CSphere::Transform(const double frame[12])
{
    TransformSphere(m_sphere, frame);
}

void ST_CSphere::GetInfoText(ON_wString& text) const
{
    text = RmsLine(m_rms);
    ON_wString line;
    line.Format(L"\nRadius: %.5f", static_cast<double>(static_cast<float>(m_sphere.radius)));
    text += line;
    AppendVectorLine(text, L"Center", m_sphere.centre);
}

void ST_CSphere::GetTypeName(ON_wString& name) const
{
    name = L"SPHERE";
}

void ST_CSphere::ConstrainPerpendicular(double out[3], const double d[3], bool) const
{
    out[0] = d[0], out[1] = d[1], out[2] = d[2];
}

void ST_CSphere::ConstrainParallel(double out[3], const double d[3], bool) const
{
    out[0] = d[0], out[1] = d[1], out[2] = d[2];
}

void ST_CSphere::GetDirection(double out[3]) const
{
    out[0] = FLT_MAX, out[1] = 0.0, out[2] = 0.0;
}

void ST_CSphere::GetOrigin(double out[3]) const
{
    for (int i = 0; i < 3; ++i)
        out[i] = m_sphere.centre[i];
}

void ST_CSphere::SetCentreAndRadius(const double centre[3], double radius)
{
    for (int i = 0; i < 3; ++i)
        m_sphere.centre[i] = centre[i];
    m_sphere.radius = radius;
}
