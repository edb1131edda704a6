#include "core/vector_math.h"
#include "shapes/primitive_geometry.h"
#include "shapes/primitive_support.h"

#include <cfloat>

using namespace primitive_support;

namespace
{

// The half extents are kept in single precision. g++ 12 at -O2 and above
// (its SLP vectoriser) drops the double -> float -> double round trip when
// both extents are converted side by side, so the rounding goes through a
// variable the compiler must store.
double RoundToSinglePrecision(double value)
{
    volatile float rounded = static_cast<float>(value);
    return rounded;
}

// Copies first: the arguments may point into the plane itself.
void StoreFrame(cPlane& plane, const double normal[3], const double origin[3], const double xAxis[3],
                double halfWidth, double halfHeight)
{
    const double n[3] = {normal[0], normal[1], normal[2]};
    const double o[3] = {origin[0], origin[1], origin[2]};
    const double x[3] = {xAxis[0], xAxis[1], xAxis[2]};
    for (int i = 0; i < 3; ++i)
    {
        plane.normal[i] = n[i];
        plane.origin[i] = o[i];
        plane.xAxis[i] = x[i];
    }
    plane.halfWidth = RoundToSinglePrecision(halfWidth);
    plane.halfHeight = RoundToSinglePrecision(halfHeight);
    plane.d = -Dot3d(plane.normal, plane.origin);
}

} // namespace

ST_CPlane::ST_CPlane()
{
    m_plane.SetOuter(static_cast<IBase*>(this));
}

// A copy is wired like a new shape: its inner value answers the copy's ids,
// never those of the original (which may be gone).
ST_CPlane::ST_CPlane(const ST_CPlane& other)
    : IBase(), IBaseAggregate(), ST_IGeometry(other), m_plane(other.m_plane)
{
    m_plane.SetOuter(static_cast<IBase*>(this));
}

ST_CPlane& ST_CPlane::operator=(const ST_CPlane& other)
{
    ST_IGeometry::operator=(other);
    m_plane = other.m_plane;
    return *this;
}

void* ST_CPlane::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_ST_CPlane))
        return static_cast<ST_CPlane*>(this);
    if (IsEqualInterfaceId(iid, IID_ST_IGeometry))
        return static_cast<ST_IGeometry*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(this);
    return m_plane.NonDelegatingQueryInterface(iid);
}

bool ST_CPlane::IsValid() const
{
    return IsPlaneValid(m_plane);
}

void ST_CPlane::GetBoundingBox(float box[6]) const
{
    GetPlanePatchBox(m_plane, box);
}

void ST_CPlane::GetHandles(float points[][3], float directions[][3]) const
{
    const cPlane& p = m_plane;
    double y[3];
    Cross3d(p.normal, p.xAxis, y);
    const double* x = p.xAxis;
    const double w = p.halfWidth, h = p.halfHeight;
    // Edges: (point offset in x and y, direction in x and y).
    const double table[8][4] = {{w, 0, 1, 0},   {-w, 0, -1, 0}, {0, h, 0, 1},    {0, -h, 0, -1},
                                {w, h, 1, 1},   {w, -h, 1, -1}, {-w, h, -1, 1},  {-w, -h, -1, -1}};
    for (int k = 0; k < 8; ++k)
    {
        for (int i = 0; i < 3; ++i)
        {
            points[k][i] = static_cast<float>(p.origin[i] + table[k][0] * x[i] + table[k][1] * y[i]);
            directions[k][i] = static_cast<float>(table[k][2] * x[i] + table[k][3] * y[i]);
        }
        if (k >= 4)
        {
            const float* dir = directions[k];
            if (dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2] > FLT_EPSILON)
                NormaliseVector3f(directions[k]);
        }
    }
}

void ST_CPlane::MoveHandle(int index, double distance)
{
    if (index < 0 || index > 8)
        return;
    cPlane p = m_plane;
    double y[3];
    Cross3d(p.normal, p.xAxis, y);
    const double half = distance / 2.0;
    // Which way the origin moves along x and y; the dragged edge moves by the
    // whole distance and the opposite one stays.
    const double sx[8] = {1, -1, 0, 0, 1, 1, -1, -1};
    const double sy[8] = {0, 0, 1, -1, 1, -1, 1, -1};
    if (index == 8)
    {
        for (int i = 0; i < 3; ++i)
            p.origin[i] += distance * p.normal[i];
    }
    else
    {
        if (sx[index] != 0.0)
            p.halfWidth += half;
        if (sy[index] != 0.0)
            p.halfHeight += half;
        // An edge dragged onto or past the opposite one would leave a
        // rectangle of no or negative size, which has no surface to draw or
        // create: the plane stays as the last move left it.
        const bool widthLeft = sx[index] == 0.0 || p.halfWidth > 0.0;
        const bool heightLeft = sy[index] == 0.0 || p.halfHeight > 0.0;
        if (!widthLeft || !heightLeft)
            return;
        for (int i = 0; i < 3; ++i)
            p.origin[i] += sx[index] * half * p.xAxis[i] + sy[index] * half * y[i];
    }
    for (int i = 0; i < 3; ++i)
    {
        m_plane.origin[i] = p.origin[i];
        m_plane.xAxis[i] = p.xAxis[i];
    }
    m_plane.halfWidth = p.halfWidth;
    m_plane.halfHeight = p.halfHeight;
    m_plane.d = -Dot3d(m_plane.normal, m_plane.origin);
}

bool ST_CPlane::SupportsOperation(int operation) const
{
    return operation == kGeometryMoveToOrigin || operation == kGeometryAlignNormal;
}

void ST_CPlane::GetLocalFrame(double frame[12], int mode, int axis, bool flip) const
{
    if (mode == kGeometryMoveToOrigin)
    {
        SetIdentityFrame(frame);
        for (int i = 0; i < 3; ++i)
            frame[4 * i + 3] = -m_plane.origin[i];
        return;
    }
    if (mode != kGeometryAlignNormal || axis < 0 || axis > 2)
        return;
    SetIdentityFrame(frame);
    float m[3];
    ChooseAlignmentDirection(m_plane.normal, axis, flip, m);
    BuildAxisFrame(frame, m, axis);
    // The plane point nearest the world origin goes to the origin.
    double p[3];
    for (int i = 0; i < 3; ++i)
        p[i] = -m_plane.d * m_plane.normal[i];
    for (int r = 0; r < 3; ++r)
        frame[4 * r + 3] = -(frame[4 * r] * p[0] + frame[4 * r + 1] * p[1] + frame[4 * r + 2] * p[2]);
}

void ST_CPlane::Transform(const double frame[12])
{
    TransformPlane(m_plane, frame);
}

void ST_CPlane::GetInfoText(ON_wString& text) const
{
    text = RmsLine(m_rms);
    AppendVectorLine(text, L"Normal", m_plane.normal);
}

void ST_CPlane::GetTypeName(ON_wString& name) const
{
    name = L"PLANE";
}

bool ST_CPlane::Inflate(double factor)
{
    SetOriginAndExtent(m_plane.origin, m_plane.halfWidth * (1.0 + factor), m_plane.halfHeight * (1.0 + factor));
    return true;
}

void ST_CPlane::ConstrainPerpendicular(double out[3], const double d[3], bool dIsNormal) const
{
    if (dIsNormal)
        PerpendicularInPlaneOf(m_plane.normal, d, out);
    else
        out[0] = d[0], out[1] = d[1], out[2] = d[2];
}

void ST_CPlane::ConstrainParallel(double out[3], const double d[3], bool dIsNormal) const
{
    if (dIsNormal)
        out[0] = d[0], out[1] = d[1], out[2] = d[2];
    else
        PerpendicularInPlaneOf(m_plane.normal, d, out);
}

void ST_CPlane::GetDirection(double out[3]) const
{
    for (int i = 0; i < 3; ++i)
        out[i] = m_plane.normal[i];
}

void ST_CPlane::GetOrigin(double out[3]) const
{
    for (int i = 0; i < 3; ++i)
        out[i] = m_plane.origin[i];
}

void ST_CPlane::SetOriginAndExtent(const double origin[3], double halfWidth, double halfHeight)
{
    StoreFrame(m_plane, m_plane.normal, origin, m_plane.xAxis, halfWidth, halfHeight);
}

void ST_CPlane::SetFrameFromAxes(const double origin[3], const double xAxis[3], double halfWidth,
                                 const double yAxis[3], double halfHeight)
{
    double n[3];
    Cross3d(xAxis, yAxis, n);
    StoreFrame(m_plane, n, origin, xAxis, halfWidth, halfHeight);
}

void ST_CPlane::SetOriginAndNormal(const double normal[3], const double origin[3], const double xAxis[3],
                                   double halfWidth, double halfHeight)
{
    StoreFrame(m_plane, normal, origin, xAxis, halfWidth, halfHeight);
}
