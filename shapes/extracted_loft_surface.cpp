#include "shapes/extracted_loft_surface.h"

#include "core/mesh.h"
#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "core/section_curve.h"
#include "fitting/loft_builder.h"
#include "fitting/sweep_surface_builders.h"
#include "platform/mfc/wnd.h"
#include "shapes/extracted_revolved_surface.h"
#include "shapes/loft_surface.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>

namespace
{

constexpr int kGuideSamples = 10;

// The page keeps its counts in bytes; a typed count outside them is held at
// their ends instead of wrapping round to a negative count.
std::uint8_t CountByte(int value) { return static_cast<std::uint8_t>(std::clamp(value, 1, 255)); }

void SetIntegerRow(CPropTree* tree, UINT id, int value)
{
    if (auto* row = dynamic_cast<CPropTreeItemEdit*>(tree->FindItem(id)))
    {
        row->SetItemValue(value);
        tree->RefreshItems(row);
    }
}

void SetComboRow(CPropTree* tree, UINT id, int value)
{
    if (auto* row = dynamic_cast<CPropTreeItemCombo*>(tree->FindItem(id)))
    {
        row->SetItemValue(value);
        tree->RefreshItems(row);
    }
}

class cWaitCursorScope
{
public:
    cWaitCursorScope() : m_previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~cWaitCursorScope() { SetCursor(m_previous); }
    cWaitCursorScope(const cWaitCursorScope&) = delete;
    cWaitCursorScope& operator=(const cWaitCursorScope&) = delete;

private:
    HCURSOR m_previous;
};

} // namespace

bool ST_CExtractedLoftSurface::AttachGeometry(ST_IGeometry* geometry)
{
    m_loft = dynamic_cast<ST_TLoftSurface<Dezaz_Wire>*>(geometry);
    m_profiled = m_loft ? static_cast<ST_IProfiledSurface*>(m_loft) : nullptr;
    m_geometry = m_loft ? geometry : nullptr;
    return m_loft != nullptr;
}

void ST_CExtractedLoftSurface::BuildRows()
{
    if (!tree)
        return;
    m_typeId = m_samplingId = m_curvesId = m_thresholdId = m_expandId = m_profilesId = 0;
    ClearPage();
    CPropTreeItem* root = AddRootItem(L"FREE FORM");
    nameRowId = AddNamePropertyItem(root, name)->GetCtrlID();
    m_typeId = AddChoicePropertyItem(root, L"Type", {L"Patch", L"Axis Aligned", L"CurveGuided"}, m_type)->GetCtrlID();
    m_curvesId = AddIntegerPropertyItem(root, L"Curves", m_guide.curves)->GetCtrlID();
    m_samplingId = AddIntegerPropertyItem(root, L"Sampling along", m_sampling)->GetCtrlID();
    m_thresholdId = AddValuePropertyItem(root, L"Threshold", m_threshold, false)->GetCtrlID();
    m_expandId = AddIntegerPropertyItem(root, L"Expand By (%)", m_expandPercent)->GetCtrlID();
    m_profilesId = AddChoicePropertyItem(root, L"C. Profiles", {L"Show", L"Hide"}, 1 - m_showProfiles)->GetCtrlID();
}

void ST_CExtractedLoftSurface::RefreshRows()
{
    if (!m_loft)
        return;
    const LoftParameters& p = m_loft->GetParameters();
    m_threshold = p.threshold;
    m_type = static_cast<std::uint8_t>(p.type);
    m_joinAll = p.joinAll;
    // A stored expand that is no number or out of range shows as 0. A whole
    // percentage typed on the page comes back from its fraction a few units
    // in the last place off (0.29 x 100 = 28.999999999999996): it shows as
    // typed. Any other value is truncated towards zero.
    double percent = p.expand * 100.0;
    const double whole = std::round(percent);
    if (std::fabs(percent - whole) <= 1e-9 * std::max(1.0, std::fabs(whole)))
        percent = whole;
    m_expandPercent = std::isfinite(percent) && std::fabs(percent) < 1e9 ? static_cast<std::int32_t>(percent) : 0;
    m_sampling = static_cast<std::uint8_t>(p.sampling);
    m_guide.curves = CountByte(static_cast<int>(std::min<std::size_t>(std::max<std::size_t>(p.sections.size(), 2) - 1, 255)));
    if (!tree)
        return;
    SetIntegerRow(tree, m_samplingId, m_sampling);
    SetIntegerRow(tree, m_curvesId, m_guide.curves);
    SetValueRow(m_thresholdId, m_threshold);
    SetIntegerRow(tree, m_expandId, m_expandPercent);
    SetComboRow(tree, m_typeId, m_type);
}

bool ST_CExtractedLoftSurface::CommitRow(CPropTreeItem* item)
{
    if (!tree || !m_geometry || !item)
        return false;
    if (item->GetCtrlID() == m_profilesId)
    {
        m_showProfiles = static_cast<std::uint8_t>(1 - ComboValue(m_profilesId));
        return true;
    }
    if (item->GetCtrlID() == m_typeId)
    {
        m_type = static_cast<std::uint8_t>(ComboValue(m_typeId));
        return true;
    }
    return false;
}

void ST_CExtractedLoftSurface::RunRowAction(const double v[3])
{
    if (v[0] == FLT_MAX && v[1] == FLT_MAX && v[2] == 0.0)
        m_guide.axisChoice = 0;
    else if (v[0] == 0.0 && v[1] == 0.0 && v[2] == 1.0)
        m_guide.axisChoice = 1;
}

void ST_CExtractedLoftSurface::ResetParameters()
{
    m_type = kLoftGuidePatch;
    m_guide = stLoftGuideBlock{};
    m_sampling = 8;
    m_threshold = 0.05;
    m_expandPercent = 20;
    m_curveKind = 0;
    m_joinAll = 1;
    m_count = 3;
    m_showProfiles = 0;
}

int ST_CExtractedLoftSurface::Refit(const cFitContainer& points, double, ISceneObject* meshObject, CWnd*)
{
    if (!m_geometry || !tree)
        return 0;
    m_geometry->Invalidate();
    if (points.Points().empty())
        return 0;
    int sampling = 0, curves = 0, expand = 0;
    double threshold = 0.0;
    if (!ReadIntegerRow(m_samplingId, sampling) || !ReadIntegerRow(m_curvesId, curves) ||
        !ReadRealRow(m_thresholdId, threshold) || !ReadIntegerRow(m_expandId, expand))
        return 0; // a row that is no number: nothing is refitted
    if (!std::isfinite(threshold) || threshold < 0.0)
        return 0;
    m_sampling = CountByte(sampling);
    m_guide.curves = CountByte(curves);
    m_threshold = threshold;
    m_expandPercent = std::clamp(expand, 0, 1000);

    // The refit replaces the guide, the sections and the surface before it
    // knows whether the new sections loft (one curve span on a patch cuts
    // them on the region's border, a selection may miss the guide): what it
    // replaces is kept, so that a failed refit leaves the shape as it was.
    const ST_ISectionCurve* oldGuide = m_profiled->GetProfileCurve();
    std::unique_ptr<ST_ISectionCurve> keptGuide = oldGuide ? oldGuide->Clone() : nullptr;
    if (keptGuide)
        keptGuide->Assign(*oldGuide);
    Dezaz_LoftSurface kept;
    kept.SetDirection(&m_loft->GetParameters());
    kept.GetParameters().threshold = m_loft->GetParameters().threshold;
    const int fitted = RefitAlongGuide(points, meshObject);
    if (fitted == 0 && keptGuide)
    {
        m_loft->SetDirection(&kept.GetParameters());
        m_loft->GetParameters().threshold = kept.GetParameters().threshold;
        m_profiled->SetProfile(keptGuide.get(), 1);
    }
    return fitted;
}

int ST_CExtractedLoftSurface::RefitAlongGuide(const cFitContainer& points, ISceneObject* meshObject)
{
    double start[3], end[3];
    bool guide = false;
    if (m_type == kLoftGuideAxisAligned)
    {
        m_joinAll = 1;
        ComputeAxisAlignedGuide(points, m_guide, start, end);
        guide = true;
    }
    else if (m_type == kLoftGuidePatch)
    {
        m_joinAll = 1;
        if (!ComputePatchGuide(points, m_guide, start, end))
            return 0;
        guide = true;
    }
    if (guide)
    {
        const double up[3] = {m_guide.up[0], m_guide.up[1], m_guide.up[2]};
        const double d[3] = {end[0] - start[0], end[1] - start[1], end[2] - start[2]};
        double axis[3] = {d[1] * up[2] - d[2] * up[1], d[2] * up[0] - d[0] * up[2], d[0] * up[1] - d[1] * up[0]};
        const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        if (!(length > 0.0) || !std::isfinite(length))
            return 0; // all points in one spot: no guide to loft along
        for (double& a : axis)
            a /= length;
        double frame[12];
        BuildGuideFrame(frame, start, axis, up);
        std::unique_ptr<ST_ISectionCurve> line = m_profiled->CreateCurveByClassGuid(CLSID_ST_TLineCurve);
        // The line fitter wants more than the two ends of the guide; points
        // evenly between them give it the same line.
        tPolyline<cVertex> guidePoints;
        for (int i = 0; i <= kGuideSamples; ++i)
        {
            const double t = static_cast<double>(i) / kGuideSamples;
            const float p[3] = {float(start[0] + d[0] * t), float(start[1] + d[1] * t), float(start[2] + d[2] * t)};
            guidePoints.AddFloatPoint(p);
        }
        if (!line || !line->FitToPolyline(frame, guidePoints, 0.0, 0))
            return 0;
        // The rebuild that comes with the new guide fails while the old
        // sections do not fit it; the fit below makes new ones.
        m_profiled->SetProfile(line.get(), 1);
    }
    cMesh* mesh = meshObject ? static_cast<cMesh*>(meshObject->QueryInterface(IID_cMesh)) : nullptr;
    return FitFromMesh(mesh);
}

int ST_CExtractedLoftSurface::FitFromMesh(cMesh* mesh)
{
    if (!mesh || !m_loft)
        return 0;
    LoftParameters& p = m_loft->GetParameters();
    const double expand = m_expandPercent / 100.0;
    p.sampling = m_sampling;
    p.expand = expand;
    p.threshold = m_threshold;
    p.type = m_type;
    if (!ResetLoftSections(*m_loft, m_guide.curves, expand))
        return 0;
    return FitLoftFromMesh(m_loft, mesh);
}

int ST_CExtractedLoftSurface::FitLoftFromMesh(ST_TLoftSurface<Dezaz_Wire>* loft, cMesh* mesh)
{
    if (!loft || !mesh || loft->GetParameters().sections.empty())
        return 0;
    const double e = m_expandPercent < 1 ? 0.0 : m_expandPercent;
    const std::int64_t last = MarkSelectedTriangles(*mesh);
    if (last < 0)
        return 0;
    const std::vector<std::uint32_t> seeds{static_cast<std::uint32_t>(last)};
    const cWaitCursorScope wait;
    LoftParameters& p = loft->GetParameters();
    p.curveKind = m_curveKind;
    p.planeNormalMode = 0;
    p.sampling = m_sampling;
    p.joinAll = m_joinAll;
    p.type = m_type;
    BuildLoftFromSections(*mesh, *loft, seeds, m_threshold, e / 100.0);
    // The builder answers nothing: the loft came out when a surface did.
    auto* host = dynamic_cast<Dezaz_LoftSurface*>(loft);
    return host && host->GetHostSurface() != nullptr ? 1 : 0;
}
