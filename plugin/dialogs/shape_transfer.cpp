#include "plugin/dialogs/shape_transfer.h"

#include "core/frame_math.h"
#include "core/profiled_surface.h"
#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "core/scene_object.h"
#include "platform/geometry/brep_primitives.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object.h"
#include "platform/host/geometry_services_breps.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "resources/shapes_dialog.h"
#include "shapes/dezaz_wire.h"
#include "shapes/entities_history.h"
#include "shapes/extracted_loft_surface.h"
#include "shapes/loft_session.h"
#include "shapes/host_primitives.h"
#include "shapes/session_surface.h"
#include "shapes/shape_interfaces.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

namespace
{

constexpr double kIdentityFrame[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};

template <class T> T* Query(CSessionSurface& session, const GUID& iid)
{
    ISceneObject* object = session.GetSceneObject();
    return object ? static_cast<T*>(object->QueryInterface(iid)) : nullptr;
}

std::unique_ptr<ON_Brep> PlaneBrep(const cPlane& p)
{
    double yAxis[3];
    yAxis[0] = p.normal[1] * p.xAxis[2] - p.normal[2] * p.xAxis[1];
    yAxis[1] = p.normal[2] * p.xAxis[0] - p.normal[0] * p.xAxis[2];
    yAxis[2] = p.normal[0] * p.xAxis[1] - p.normal[1] * p.xAxis[0];
    ON_PlaneSurface surface;
    if (!MakeONPlaneSurface(surface, p.origin, p.xAxis, p.halfWidth, yAxis, p.halfHeight))
        return nullptr;
    auto brep = std::make_unique<ON_Brep>();
    ON_Surface* owned = new ON_PlaneSurface(surface);
    if (!brep->Create(owned))
    {
        delete owned;
        return nullptr;
    }
    return brep;
}

// Copies of the host curves of a profile, in the dialog's coordinates: the
// curve itself, or each segment of a sketch (a network is a sketch of
// curves). A curve's wire lies in its own plane, which its frame places.
void CollectProfileCurves(ST_ISectionCurve* curve, std::vector<std::unique_ptr<ON_Curve>>& out, int depth = 0)
{
    if (!curve)
        return;
    // Only a sketch is made of other curves (a plain curve may count its
    // own pieces); sketches do not nest deeper than a few levels.
    if (curve->GetClassGuid() == CLSID_ST_TSketch)
    {
        const std::uint32_t segments = curve->GetSegmentCount();
        for (std::uint32_t i = 0; i < segments && depth < 4; ++i)
            if (ST_ISectionCurve* segment = curve->GetSegment(i); segment && segment != curve)
                CollectProfileCurves(segment, out, depth + 1);
        return;
    }
    const auto* wire = dynamic_cast<const Dezaz_Wire*>(curve->GetWire());
    if (!wire || !wire->GetCurve())
        return;
    std::unique_ptr<ON_Curve> copy(wire->GetCurve()->Duplicate());
    if (copy && copy->Transform(XformFromFrame(curve->frame)))
        out.push_back(std::move(copy));
}

// The free form's surface as host breps, built when the shape has not been
// drawn or was moved since (its brep cache is empty then) and lofted again
// when only its sections are known (a shape read from a document).
bool CollectFreeFormBreps(CSessionSurface& session, std::vector<std::unique_ptr<ON_Brep>>& breps)
{
    auto* surface = Query<ON_ISurface>(session, IID_ON_ISurface);
    if (!surface)
        return false;
    const ON_SimpleArray<ON_Brep*>* built = surface->GetBreps();
    if (!built)
        if (auto* freeForm = dynamic_cast<CSessionFreeForm*>(&session); freeForm && freeForm->RebuildSurface())
            built = surface->GetBreps();
    if (!built)
        return false;
    for (int i = 0; i < built->Count(); ++i)
        if ((*built)[i])
            breps.push_back(std::make_unique<ON_Brep>(*(*built)[i]));
    return !breps.empty();
}

// The host breps and curves of a session, in the dialog's coordinates.
// False when a sketch-built surface gives nothing.
bool CollectSessionGeometry(CSessionSurface& session, std::vector<std::unique_ptr<ON_Brep>>& breps,
                            std::vector<std::unique_ptr<ON_Curve>>& curves)
{
    const std::uint8_t kind = session.GetKindCode();
    switch (kind)
    {
    case kSessionKindPlane:
        if (auto* plane = Query<ST_CPlane>(session, IID_ST_CPlane))
            if (auto brep = PlaneBrep(plane->GetPlane()))
                breps.push_back(std::move(brep));
        return true;
    case kSessionKindSphere:
        if (auto* sphere = Query<ST_CSphere>(session, IID_ST_CSphere))
        {
            ON_Sphere s;
            MakeONSphere(s, sphere->GetSphere().centre, sphere->GetSphere().radius);
            if (ON_Brep* brep = ON_BrepSphere(s))
                breps.emplace_back(brep);
        }
        return true;
    case kSessionKindCylinder:
        if (auto* cylinder = Query<ST_CCylinder>(session, IID_ST_CCylinder))
        {
            const cCylinder& c = cylinder->GetCylinder();
            ON_Cylinder host;
            MakeONCylinder(host, c.axisPoint, c.axis, c.radius, c.height);
            if (ON_Brep* brep = ON_BrepCylinder(host, false, false))
                breps.emplace_back(brep);
        }
        return true;
    case kSessionKindFreeForm:
    {
        if (!CollectFreeFormBreps(session, breps))
        {
            ON_wString text;
            text.Format(kFreeFormNotBuiltMessage, static_cast<const wchar_t*>(session.GetName()));
            DezazMessageBox(nullptr, text, nullptr, MB_OK);
            return false;
        }
        // The guide curves go along only when the page asks for them.
        const auto* record = dynamic_cast<const ST_CExtractedLoftSurface*>(session.GetRecord());
        if (record && record->m_showProfiles != 0)
            if (auto* profiled = Query<ST_IProfiledSurface>(session, IID_ST_IProfiledSurface))
                CollectProfileCurves(profiled->GetProfileCurve(), curves);
        return true;
    }
    case kSessionKindCurves:
        if (auto* profiled = Query<ST_IProfiledSurface>(session, IID_ST_IProfiledSurface))
            CollectProfileCurves(profiled->GetProfileCurve(), curves);
        return true;
    case kSessionKindRevolved:
    case kSessionKindExtruded:
    {
        auto* surface = Query<ON_ISurface>(session, IID_ON_ISurface);
        const ON_SimpleArray<ON_Brep*>* built = surface ? surface->GetBreps() : nullptr;
        // A shape read from a document holds its sketch, not yet the
        // surface the sketch makes.
        if (!built && surface)
            if (auto* profiled = Query<ST_IProfiledSurface>(session, IID_ST_IProfiledSurface);
                profiled && profiled->BuildHostSurface())
                built = surface->GetBreps();
        if (built)
            for (int i = 0; i < built->Count(); ++i)
                if ((*built)[i])
                    breps.push_back(std::make_unique<ON_Brep>(*(*built)[i]));
        if (breps.empty())
        {
            DezazMessageBox(nullptr, kSketchNotConnectedMessage, nullptr, MB_OK);
            return false;
        }
        return true;
    }
    default: return true; // a symmetry plane has nothing to create
    }
}

void JoinBreps(std::vector<std::unique_ptr<ON_Brep>>& breps, double tolerance)
{
    if (breps.size() < 2)
        return;
    ON_SimpleArray<const ON_Brep*> in;
    for (const auto& brep : breps)
        in.Append(brep.get());
    ON_SimpleArray<ON_Brep*> joined;
    if (!DezazJoinBreps(in, joined, tolerance) || joined.Count() == 0)
    {
        for (int i = 0; i < joined.Count(); ++i)
            delete joined[i];
        return;
    }
    breps.clear();
    for (int i = 0; i < joined.Count(); ++i)
        breps.emplace_back(joined[i]);
}

} // namespace

bool IsIdentityFrame(const double frame[12])
{
    for (int i = 0; i < 12; ++i)
        if (!(std::fabs(frame[i] - kIdentityFrame[i]) <= double(FLT_EPSILON)))
            return false;
    return true;
}

ON_Xform XformFromFrame(const double frame[12])
{
    ON_Xform x;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            x.m_xform[r][c] = frame[r * 4 + c];
    x.m_xform[3][0] = x.m_xform[3][1] = x.m_xform[3][2] = 0.0;
    x.m_xform[3][3] = 1.0;
    return x;
}

ON_Xform HostPlacementXform(const double meshFrame[12], const double displayFrame[12])
{
    ON_Xform placement; // identity
    if (!IsIdentityFrame(meshFrame))
    {
        double inverse[12];
        std::memcpy(inverse, meshFrame, sizeof inverse);
        InvertRigidTransform3x4(inverse);
        placement = XformFromFrame(inverse);
    }
    if (!IsIdentityFrame(displayFrame))
        placement = XformFromFrame(displayFrame) * placement;
    return placement;
}

bool TransferShapeToHost(CCreatePrimitiveDialog& dialog, CSessionSurface* session, bool regenerate)
{
    if (!session)
        return false;
    std::vector<std::unique_ptr<ON_Brep>> breps;
    std::vector<std::unique_ptr<ON_Curve>> curves;
    if (!CollectSessionGeometry(*session, breps, curves))
        return false;
    CDezazDoc& doc = DezazApp().ActiveDoc();
    JoinBreps(breps, doc.AbsoluteTolerance());

    const ON_Xform placement = HostPlacementXform(dialog.GetMeshFrame(), dialog.m_placement);
    const bool move = !placement.IsIdentity();
    bool added = false;
    for (auto& curve : curves)
    {
        if (move)
            curve->Transform(placement);
        // A curve the document refuses is dropped with its object.
        added = doc.AddObject(std::make_unique<CDezazCurveObject>(std::move(curve))) != nullptr || added;
    }
    for (auto& brep : breps)
    {
        if (move)
            brep->Transform(placement);
        auto object = std::make_unique<CDezazBrepObject>();
        object->SetBrep(std::move(brep));
        added = doc.AddObject(std::move(object)) != nullptr || added;
    }
    if (added && regenerate)
        doc.Regen();
    return true;
}

int TransferAllShapesToHost(CCreatePrimitiveDialog& dialog)
{
    CObjectSurfaces* entry = dialog.GetEntry();
    if (!entry)
        return 0;
    int done = 0;
    for (std::size_t i = 0; i < entry->SessionCount(); ++i)
    {
        if (!TransferShapeToHost(dialog, entry->Session(i), false))
            break;
        ++done;
    }
    if (done > 0)
        DezazApp().ActiveDoc().Regen();
    return done;
}

bool MoveHostMeshByFrame(CCreatePrimitiveDialog& dialog, const double meshFrame[12])
{
    if (IsIdentityFrame(meshFrame))
        return true;
    CDezazDoc& doc = DezazApp().ActiveDoc();
    const auto* object = dynamic_cast<const CDezazMeshObject*>(doc.LookupObject(dialog.GetHostObjectId()));
    if (!object || !object->Mesh())
        return false;
    ON_Mesh moved(*object->Mesh());
    if (!moved.Transform(XformFromFrame(meshFrame)))
        return false;
    moved.m_N.Destroy();
    moved.m_FN.Destroy();
    moved.ComputeFaceNormals();
    moved.ComputeVertexNormals();
    moved.SetClosed(-1);
    if (!moved.IsValid() || !doc.ReplaceObject(CDezazObjRef(object), moved))
        return false;
    doc.Redraw();
    return true;
}

void InstallShapeTransfer()
{
    CCreatePrimitiveDialog::SetShapeTransfer([](CCreatePrimitiveDialog& dialog, CSessionSurface* session)
                                             { return TransferShapeToHost(dialog, session, true); });
    CCreatePrimitiveDialog::SetHostMeshMover(MoveHostMeshByFrame);
}
