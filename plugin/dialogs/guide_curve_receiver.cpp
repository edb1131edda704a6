#include "plugin/dialogs/guide_curve_receiver.h"

#include "core/mesh_object.h"
#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "core/section_curve_classes.h"
#include "modes/curve_draw_mode.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "shapes/extracted_loft_surface.h"
#include "shapes/loft_guide.h"
#include "shapes/loft_surface.h"
#include "shapes/session_surface.h"

#include <cmath>
#include <map>
#include <memory>

namespace
{

class cGuideCurveApplier : public IGuideCurveReceiver
{
public:
    explicit cGuideCurveApplier(CCreatePrimitiveDialog* dialog) : m_dialog(dialog) {}
    void ApplyGuideCurve(const tFramePolyline<cVertex>& points) override
    {
        if (m_dialog)
            ApplyGuideCurveToShape(*m_dialog, points);
    }

private:
    CCreatePrimitiveDialog* m_dialog;
};

std::map<cCPView*, std::unique_ptr<cGuideCurveApplier>>& Appliers()
{
    static std::map<cCPView*, std::unique_ptr<cGuideCurveApplier>> appliers;
    return appliers;
}

double Length(const double v[3])
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

} // namespace

void InstallGuideCurveReceiver(CCreatePrimitiveDialog* dialog, cCPView* view)
{
    if (!view)
        return;
    auto applier = std::make_unique<cGuideCurveApplier>(dialog);
    SetGuideCurveReceiver(view, applier.get());
    Appliers()[view] = std::move(applier);
}

void RemoveGuideCurveReceiver(cCPView* view)
{
    SetGuideCurveReceiver(view, nullptr);
    Appliers().erase(view);
}

bool ApplyGuideCurveToShape(CCreatePrimitiveDialog& dialog, const tFramePolyline<cVertex>& points)
{
    CSessionSurface* session = dialog.GetCurrentSession();
    ISceneObject* object = session ? session->GetSceneObject() : nullptr;
    auto* record = session ? dynamic_cast<ST_CExtractedLoftSurface*>(session->GetRecord()) : nullptr;
    auto* surface =
        object ? static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface)) : nullptr;
    const std::uint32_t n = points.GetVertexCount();
    if (!record || !surface || n < 2)
        return false;

    // The guide's plane holds the chord and the mean surface normal under
    // it, so it stands across the scan along the drawn line.
    const cVertex& first = *points.GetFirstVertex();
    const cVertex& last = *points.GetLastVertex();
    const double chord[3] = {double(last.x) - first.x, double(last.y) - first.y, double(last.z) - first.z};
    double up[3] = {0.0, 0.0, 0.0};
    for (const cVertex& v : points.vertices)
    {
        up[0] += v.nx;
        up[1] += v.ny;
        up[2] += v.nz;
    }
    double axis[3] = {chord[1] * up[2] - chord[2] * up[1], chord[2] * up[0] - chord[0] * up[2],
                      chord[0] * up[1] - chord[1] * up[0]};
    const double axisLength = Length(axis);
    if (!(axisLength > 1e-9) || !std::isfinite(axisLength))
        return false;
    for (double& a : axis)
        a /= axisLength;
    const double origin[3] = {first.x, first.y, first.z};
    double frame[12];
    BuildGuideFrame(frame, origin, axis, up);

    // Spline points are given in the curve's plane.
    tPolyline<cVertex> local;
    for (const cVertex& v : points.vertices)
    {
        const double d[3] = {v.x - origin[0], v.y - origin[1], v.z - origin[2]};
        const double p[3] = {frame[0] * d[0] + frame[4] * d[1] + frame[8] * d[2],
                             frame[1] * d[0] + frame[5] * d[1] + frame[9] * d[2], 0.0};
        local.AddPoint3d(p);
    }
    std::unique_ptr<ST_ISectionCurve> guide = surface->CreateCurveByClassGuid(CLSID_ST_TSplineCurve);
    if (!guide || !guide->FitToPolyline(frame, local, 0.0, 0))
        return false;
    // The fit replaces the guide and the sections before it knows whether
    // anything of the mesh lies along the new guide: what it replaces is kept
    // so that a failed fit leaves the shape as it was.
    auto* loft = dynamic_cast<Dezaz_LoftSurface*>(surface);
    const ST_ISectionCurve* oldGuide = surface->GetProfileCurve();
    std::unique_ptr<ST_ISectionCurve> keptGuide = oldGuide ? oldGuide->Clone() : nullptr;
    if (keptGuide)
        keptGuide->Assign(*oldGuide);
    Dezaz_LoftSurface kept;
    if (loft)
    {
        kept.SetDirection(&loft->GetParameters());
        kept.GetParameters().threshold = loft->GetParameters().threshold;
    }
    const std::uint8_t keptType = record->m_type;

    record->m_type = kLoftGuideCurve;
    surface->SetProfile(guide.get(), 1);
    cMesh* mesh = dialog.FirstMesh();
    // The loft is fitted along the new guide as Rebuild fits it: with what
    // the page's rows hold (curves, sampling, threshold, expand), typed
    // there or not yet applied, and the selection then becomes its region.
    if (!FitActiveSurface(dialog.GetShapePage(), session))
    {
        record->m_type = keptType;
        if (loft)
        {
            loft->SetDirection(&kept.GetParameters());
            loft->GetParameters().threshold = kept.GetParameters().threshold;
        }
        if (keptGuide)
            surface->SetProfile(keptGuide.get(), 1);
        // The drawn line is gone from the view: the user is told why it did
        // not take. The loft is made of the selected triangles its section
        // planes cross, and none were: nothing is selected (a reopened
        // document selects nothing), or the selection lies away from the
        // guide.
        if (mesh)
            dialog.ShowAnnotation(kNoSelectionHint);
        return false;
    }
    dialog.ClearAnnotation();
    dialog.RefreshCurrentShape();
    return true;
}
