#include "core/vector_math.h"
#include "shapes/primitive_geometry.h"
#include "shapes/primitive_support.h"

#include <cfloat>
#include <cmath>

using namespace primitive_support;

namespace
{

// Invalid by every test: axis point, axis, radius and height all zero.
void MakeZeroCylinder(cCylinder& c)
{
    for (int i = 0; i < 3; ++i)
        c.axisPoint[i] = c.axis[i] = 0.0;
    c.radius = c.height = 0.0;
}

} // namespace

ST_CCylinder::ST_CCylinder()
{
    m_cylinder.SetOuter(static_cast<IBase*>(this));
}

ST_CCylinder::ST_CCylinder(const ST_CCylinder& other)
    : IBase(), IBaseAggregate(), ST_IGeometry(other), m_cylinder(other.m_cylinder)
{
    m_cylinder.SetOuter(static_cast<IBase*>(this));
}

ST_CCylinder& ST_CCylinder::operator=(const ST_CCylinder& other)
{
    ST_IGeometry::operator=(other);
    m_cylinder = other.m_cylinder;
    return *this;
}

void* ST_CCylinder::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_ST_CCylinder))
        return static_cast<ST_CCylinder*>(this);
    if (IsEqualInterfaceId(iid, IID_ST_IGeometry))
        return static_cast<ST_IGeometry*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(this);
    return m_cylinder.NonDelegatingQueryInterface(iid);
}

bool ST_CCylinder::IsValid() const
{
    return IsCylinderValid(m_cylinder);
}

void ST_CCylinder::GetBoundingBox(float box[6]) const
{
    GetCylinderBox(m_cylinder, box);
}

void ST_CCylinder::GetHandles(float points[][3], float directions[][3]) const
{
    const cCylinder& c = m_cylinder;
    for (int i = 0; i < 3; ++i)
    {
        points[0][i] = static_cast<float>(c.axisPoint[i]);
        directions[0][i] = static_cast<float>(-c.axis[i]);
        points[1][i] = static_cast<float>(c.axisPoint[i] + c.height * c.axis[i]);
        directions[1][i] = static_cast<float>(c.axis[i]);
    }
}

void ST_CCylinder::MoveHandle(int index, double distance)
{
    cCylinder& c = m_cylinder;
    double top[3], bottom[3];
    for (int i = 0; i < 3; ++i)
        top[i] = c.axisPoint[i] + c.height * c.axis[i];
    if (index == 0)
    {
        // The bottom moves out along -a; past the top the axis turns round.
        double v[3];
        for (int i = 0; i < 3; ++i)
        {
            bottom[i] = c.axisPoint[i] - distance * c.axis[i];
            v[i] = top[i] - bottom[i];
        }
        const double length = std::sqrt(Dot3d(v, v));
        if (length > FLT_EPSILON && std::fabs(c.radius) >= FLT_EPSILON)
        {
            for (int i = 0; i < 3; ++i)
            {
                c.axisPoint[i] = bottom[i];
                c.axis[i] = v[i] / length;
            }
            c.height = length;
        }
        else
            MakeZeroCylinder(c);
    }
    else if (index == 1)
    {
        for (int i = 0; i < 3; ++i)
        {
            bottom[i] = c.axisPoint[i];
            top[i] = c.axisPoint[i] + (c.height + distance) * c.axis[i];
        }
        if (!SetCylinderFromPoints(c, bottom, top, c.radius))
            MakeZeroCylinder(c);
    }
}

bool ST_CCylinder::SupportsOperation(int operation) const
{
    return operation == kGeometryAlignAxis;
}

void ST_CCylinder::GetLocalFrame(double frame[12], int, int axis, bool flip) const
{
    if (axis < 0 || axis > 2)
        return;
    SetIdentityFrame(frame);
    float m[3];
    ChooseAlignmentDirection(m_cylinder.axis, axis, flip, m);
    BuildAxisFrame(frame, m, axis);
    // The axis goes through the origin; the position along it is kept.
    const double* b = m_cylinder.axisPoint;
    for (int r = 0; r < 3; ++r)
        frame[4 * r + 3] = r == axis ? 0.0 : -(frame[4 * r] * b[0] + frame[4 * r + 1] * b[1] + frame[4 * r + 2] * b[2]);
}

void ST_CCylinder::Transform(const double frame[12])
{
    TransformCylinder(m_cylinder, frame);
}

void ST_CCylinder::GetInfoText(ON_wString& text) const
{
    text = RmsLine(m_rms);
    ON_wString line;
    line.Format(L"\nRadius: %.5f", static_cast<double>(static_cast<float>(m_cylinder.radius)));
    text += line;
    AppendVectorLine(text, L"Direction", m_cylinder.axis);
}

void ST_CCylinder::GetTypeName(ON_wString& name) const
{
    name = L"CYLINDER";
}

bool ST_CCylinder::Inflate(double factor)
{
    double b[3];
    for (int i = 0; i < 3; ++i)
        b[i] = m_cylinder.axisPoint[i] - m_cylinder.axis[i] * m_cylinder.height * factor / 2.0;
    SetAxisPoint(b, m_cylinder.height * (1.0 + factor));
    return true;
}

void ST_CCylinder::ConstrainPerpendicular(double out[3], const double d[3], bool dIsNormal) const
{
    if (dIsNormal)
        out[0] = d[0], out[1] = d[1], out[2] = d[2];
    else
        PerpendicularInPlaneOf(m_cylinder.axis, d, out);
}

void ST_CCylinder::ConstrainParallel(double out[3], const double d[3], bool dIsNormal) const
{
    if (dIsNormal)
        PerpendicularInPlaneOf(m_cylinder.axis, d, out);
    else
        out[0] = d[0], out[1] = d[1], out[2] = d[2];
}

void ST_CCylinder::GetDirection(double out[3]) const
{
    for (int i = 0; i < 3; ++i)
        out[i] = m_cylinder.axis[i];
}

void ST_CCylinder::GetOrigin(double out[3]) const
{
    for (int i = 0; i < 3; ++i)
        out[i] = m_cylinder.axisPoint[i];
}

void ST_CCylinder::SetAxisPoint(const double axisPoint[3], double height)
{
    const double b[3] = {axisPoint[0], axisPoint[1], axisPoint[2]};
    for (int i = 0; i < 3; ++i)
        m_cylinder.axisPoint[i] = b[i];
    m_cylinder.height = height;
    NormaliseVector3d(m_cylinder.axis);
}

void ST_CCylinder::SetAxis(const double axisPoint[3], const double axis[3], double radius, double height)
{
    const double b[3] = {axisPoint[0], axisPoint[1], axisPoint[2]};
    const double a[3] = {axis[0], axis[1], axis[2]};
    for (int i = 0; i < 3; ++i)
    {
        m_cylinder.axisPoint[i] = b[i];
        m_cylinder.axis[i] = a[i];
    }
    NormaliseVector3d(m_cylinder.axis);
    m_cylinder.radius = radius;
    m_cylinder.height = height;
}
