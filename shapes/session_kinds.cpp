#include "shapes/session_kinds.h"

#include "core/frame_math.h"
#include "platform/geometry/uuid.h"
#include "shapes/loft_session.h"
#include "shapes/sketch_curve.h"

namespace
{

template <class TSession> CSessionSurface* Make(CObjectSurfaces* owner)
{
    return new TSession(owner);
}

stSessionKind g_kinds[] = {
    {CLSID_CSessionPlane, L"Plane", kSessionKindPlane, &Make<CSessionPlane>},
    {CLSID_CSessionSymmetryPlane, L"Symmetry Plane", kSessionKindSymmetryPlane, &Make<CSessionSymmetryPlane>},
    {CLSID_CSessionSphere, L"Sphere", kSessionKindSphere, &Make<CSessionSphere>},
    {CLSID_CSessionCylinder, L"Cylinder", kSessionKindCylinder, &Make<CSessionCylinder>},
    {CLSID_CSessionFreeForm, L"Free Form", kSessionKindFreeForm, &Make<CSessionFreeForm>},
    {CLSID_CSessionRevolved, L"Revolved", kSessionKindRevolved, &Make<CSessionRevolved>},
    {CLSID_CSessionExtruded, L"Extruded", kSessionKindExtruded, &Make<CSessionExtruded>},
    {CLSID_CSessionCurveNetwork, L"Curves", kSessionKindCurves, &Make<CSessionCurveNetwork>},
};

stSessionKind* FindKind(const GUID& classId)
{
    for (stSessionKind& kind : g_kinds)
        if (kind.classId == classId)
            return &kind;
    return nullptr;
}

} // namespace

const stSessionKind* FindSessionKind(const GUID& classId)
{
    return FindKind(classId);
}

const stSessionKind* SessionKinds(std::size_t& count)
{
    count = sizeof g_kinds / sizeof g_kinds[0];
    return g_kinds;
}

SessionFactory SetSessionFactory(const GUID& classId, SessionFactory make)
{
    stSessionKind* kind = FindKind(classId);
    if (kind == nullptr)
        return nullptr;
    SessionFactory previous = kind->make;
    kind->make = make;
    return previous;
}

CSessionCurveNetwork::CSessionCurveNetwork(CObjectSurfaces* owner) : tSessionSurface(owner)
{
    Dezaz_NetworkSurface* network = m_object.GetGeometry();
    if (network == nullptr)
        return;
    std::unique_ptr<ST_ISectionCurve> sketch = network->CreateCurveByClassGuid(CLSID_ST_TSketch);
    if (!sketch)
        return;
    double identity[12];
    MakeIdentity3x4(identity);
    sketch->SetFrame(identity);
    network->SetProfile(sketch.get(), 1);
}

bool CSessionCurveNetwork::ReadObjectRecord(IBinStream& stream, std::uint32_t minor)
{
    return m_object.Read(&stream, 0, minor);
}

void CSessionRevolved::SetParameter(double value)
{
    if (Dezaz_Revolved* revolved = m_object.GetGeometry())
        revolved->SetParameter(value);
}

bool CSessionRevolved::ReadObjectRecord(IBinStream& stream, std::uint32_t minor)
{
    return m_object.Read(&stream, 0, minor);
}

void CSessionExtruded::SetParameter(double value)
{
    if (Dezaz_Extruded* extruded = m_object.GetGeometry())
        extruded->SetMergeTolerance(value);
}

bool CSessionExtruded::ReadObjectRecord(IBinStream& stream, std::uint32_t minor)
{
    return m_object.Read(&stream, 0, minor);
}
