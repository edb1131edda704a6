#include "shapes/network_surface.h"

#include "core/bin_stream.h"
#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "core/section_curve_classes.h"
#include "platform/geometry/xform.h"
#include "shapes/section_curve_records.h"
#include "shapes/shape_object_support.h"

#include <algorithm>
#include <cstring>

namespace
{

// The minor version of the records the current writer produces.
constexpr std::uint32_t kCurrentMinor = 7;

void GrowByCurve(float box[6], ST_ISectionCurve& curve)
{
    for (const tFramePolyline<cVertex>& polyline : curve.sections.items)
        for (const cVertex& v : polyline.vertices)
            GrowBox3f(box, v.Position());
    if (curve.GetWire() != nullptr && curve.GetWire()->IsValid())
        for (const t3DPoint<double>& p : {curve.GetStartPoint(), curve.GetEndPoint()})
        {
            const float f[3] = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
            GrowBox3f(box, f);
        }
    for (std::uint32_t i = 0; i < curve.GetSegmentCount(); ++i)
    {
        ST_ISectionCurve* part = curve.GetSegment(i);
        if (part != nullptr && part != &curve)
            GrowByCurve(box, *part);
    }
}

} // namespace

// The network editor keeps a curve's nodes in world coordinates with the
// identity frame: it reads, drags and refits them so. A move of the network
// therefore moves the nodes and refits the curve through them (a spline
// through moved nodes is the moved spline), and the frame stays identity;
// moving the frame instead would leave nodes the editor takes for world
// points, and its next refit would place the curve a second time.
void MoveNetworkCurve(ST_ISectionCurve& curve, const double m[12])
{
    const tPolyline<cVertex>* nodes = curve.GetDefiningPoints();
    if (nodes == nullptr || nodes->GetVertexCount() < 2)
    {
        curve.Transform(m);
        return;
    }
    double toWorld[12];
    MultiplyTransform3x4(m, toWorld, curve.frame);
    tFramePolyline<cVertex> moved;
    for (const cVertex& node : nodes->vertices)
    {
        cVertex v = node;
        const double p[3] = {node.x, node.y, node.z}, n[3] = {node.nx, node.ny, node.nz};
        for (int r = 0; r < 3; ++r)
        {
            const double* row = toWorld + 4 * r;
            v.Position()[r] = static_cast<float>(row[0] * p[0] + row[1] * p[1] + row[2] * p[2] + row[3]);
            v.Normal()[r] = static_cast<float>(row[0] * n[0] + row[1] * n[1] + row[2] * n[2]);
        }
        moved.AddVertex(v);
    }
    double identity[12];
    MakeIdentity3x4(identity);
    if (!curve.FitToPolyline(identity, moved, 0.0, 0))
        curve.Transform(m);
}

namespace
{

ON_Xform XformOf(const double m[12])
{
    ON_Xform xform;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            xform.m_xform[r][c] = m[4 * r + c];
    return xform;
}

} // namespace

Dezaz_NetworkSurface::Dezaz_NetworkSurface()
{
    SetExtent(this);
}

Dezaz_NetworkSurface::~Dezaz_NetworkSurface()
{
    delete m_hostSurface;
    ClearBreps();
}

void* Dezaz_NetworkSurface::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_Dezaz_NetworkSurface) || IsEqualInterfaceId(iid, IID_ST_IGeometry))
        return static_cast<ST_IGeometry*>(this);
    if (IsEqualInterfaceId(iid, IID_ON_ISurface))
        return static_cast<ON_ISurface*>(this);
    if (IsEqualInterfaceId(iid, IID_ST_IProfiledSurface))
        return static_cast<ST_IProfiledSurface*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(static_cast<IBaseAggregate*>(this));
    return nullptr;
}

void Dezaz_NetworkSurface::GetLocalFrame(double frame[12], int, int, bool) const
{
    MakeIdentity3x4(frame);
}

void MoveNetworkCurves(ST_ISectionCurve& network, const double m[12])
{
    // Only a sketch is made of other curves (a plain curve may count its
    // own pieces).
    if (network.GetClassGuid() != CLSID_ST_TSketch)
    {
        network.Transform(m);
        return;
    }
    network.sections.Transform(m);
    for (std::uint32_t i = 0; i < network.GetSegmentCount(); ++i)
        if (ST_ISectionCurve* curve = network.GetSegment(i); curve != nullptr && curve != &network)
            MoveNetworkCurve(*curve, m);
}

void Dezaz_NetworkSurface::Transform(const double m[12])
{
    if (ST_ISectionCurve* network = GetProfileCurve())
        MoveNetworkCurves(*network, m);
    TransformExtent(m);
    BuildHostSurface();
}

bool Dezaz_NetworkSurface::BuildHostSurface()
{
    ClearBreps();
    SetHostSurface(nullptr);
    return false;
}

bool Dezaz_NetworkSurface::GetNurbForm(ON_NurbsSurface& srf)
{
    if (m_hostSurface == nullptr)
        return false;
    srf = *m_hostSurface;
    return true;
}

void Dezaz_NetworkSurface::SetHostSurface(ON_NurbsSurface* surface)
{
    if (surface != m_hostSurface)
        delete m_hostSurface;
    m_hostSurface = surface;
    ClearBreps();
}

void Dezaz_NetworkSurface::TransformExtent(const double m[12])
{
    if (m_hostSurface != nullptr)
        m_hostSurface->Transform(XformOf(m));
    ClearBreps();
}

void Dezaz_NetworkSurface::GetExtentBox(float box[6]) const
{
    MakeEmptyBox3f(box);
    if (m_hostSurface != nullptr)
    {
        const ON_BoundingBox b = m_hostSurface->BoundingBox();
        if (b.IsValid())
        {
            const float lo[3] = {static_cast<float>(b.m_min.x), static_cast<float>(b.m_min.y),
                                 static_cast<float>(b.m_min.z)};
            const float hi[3] = {static_cast<float>(b.m_max.x), static_cast<float>(b.m_max.y),
                                 static_cast<float>(b.m_max.z)};
            GrowBox3f(box, lo);
            GrowBox3f(box, hi);
            return;
        }
    }
    if (ST_ISectionCurve* profile = const_cast<Dezaz_NetworkSurface*>(this)->GetProfileCurve())
        GrowByCurve(box, *profile);
}

std::uint32_t Dezaz_NetworkSurfaceObject::CurrentMinor() const
{
    return kCurrentMinor;
}
