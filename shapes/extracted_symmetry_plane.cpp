#include "shapes/extracted_symmetry_plane.h"
#include "shapes/extracted_primitives.h"

#include "core/bucket_search_tree_prop.h"
#include "core/scene_object.h"
#include "fitting/fit_drivers.h"
#include "fitting/plane_fit.h"
#include "fitting/symmetry_plane_fit.h"
#include "shapes/shape_interfaces.h"

#include <cfloat>
#include <cmath>

namespace
{

constexpr std::size_t kMinPoints = 3;
constexpr double kTinySum = 1.1920928955078125e-7;

void NormaliseUnlessTiny(double v[3])
{
    if (std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]) < kTinySum)
        return;
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int k = 0; k < 3; ++k)
        v[k] /= length;
}

void Cross(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

bool UnitNormal(double n[3])
{
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 1e-12) || !std::isfinite(length))
        return false;
    for (int k = 0; k < 3; ++k)
        n[k] /= length;
    return true;
}

} // namespace

void MakeFrameFromNormal(const double normal[3], double frame[3][3])
{
    double n[3] = {normal[0], normal[1], normal[2]};
    NormaliseUnlessTiny(n);
    std::copy(n, n + 3, frame[2]);
    if (std::fabs(n[1]) > std::fabs(n[0]))
    {
        const double x[3] = {1.0, 0.0, 0.0};
        Cross(n, x, frame[1]);
        NormaliseUnlessTiny(frame[1]);
        Cross(frame[1], n, frame[0]);
        NormaliseUnlessTiny(frame[0]);
    }
    else
    {
        const double y[3] = {0.0, 1.0, 0.0};
        Cross(y, n, frame[0]);
        NormaliseUnlessTiny(frame[0]);
        Cross(n, frame[0], frame[1]);
        NormaliseUnlessTiny(frame[1]);
    }
}

bool ST_CExtractedSymmetryPlane::AttachGeometry(ST_IGeometry* geometry)
{
    m_plane = geometry ? static_cast<cPlane*>(geometry->QueryInterface(IID_cPlane)) : nullptr;
    m_geometry = m_plane ? geometry : nullptr;
    return m_plane != nullptr;
}

void ST_CExtractedSymmetryPlane::BuildRows()
{
    if (!tree)
        return;
    m_rmsId = m_maxDistanceId = m_maxPointsId = m_normalId = m_offsetId = m_symmetryPointsId = 0;
    ClearPage();
    if (!m_geometry)
        return;
    CPropTreeItem* root = AddRootItem(L"SYMMETRY PLANE");
    nameRowId = AddNamePropertyItem(root, name)->GetCtrlID();
    m_rmsId = AddRmsPropertyItem(root, L"RMS Error:", m_geometry->GetRms())->GetCtrlID();
    m_maxDistanceId = AddValuePropertyItem(root, L"Max Distance", m_maxDistance, false)->GetCtrlID();
    m_maxPointsId = AddIntegerPropertyItem(root, L"Maximum Points", m_maxPoints)->GetCtrlID();
    m_symmetryPointsId =
        AddChoicePropertyItem(root, L"Symmetry Points", {L"Show", L"Hide"}, m_symmetryPoints)->GetCtrlID();
    m_normalId = AddVectorPropertyItem(root, m_normalChoice, L"Normal", m_plane->normal)->GetCtrlID();
    m_offsetId = AddOffsetPropertyItem(root, m_offsetChoice, L"Offset", -m_plane->d)->GetCtrlID();
}

void ST_CExtractedSymmetryPlane::RefreshRows()
{
    if (!tree || !m_geometry)
        return;
    SetRmsRow(m_rmsId, m_geometry->GetRms());
    SetVectorPropertyValues(m_normalId, m_plane->normal);
    SetOffsetPropertyValue(m_offsetId, -m_plane->d);
}

bool ST_CExtractedSymmetryPlane::CommitRow(CPropTreeItem* item)
{
    if (!tree || !m_geometry || !item)
        return false;
    if (item->GetCtrlID() == m_symmetryPointsId)
    {
        m_symmetryPoints = static_cast<int>(item->GetItemValue());
        return true;
    }
    if (IsGroupItem(item, m_offsetId))
        m_offsetKept = false;
    OnOffsetPropertyChanged(item, m_offsetChoice, m_offsetId);
    return OnVectorPropertyChanged(item, m_normalChoice, m_normalId, m_plane->normal);
}

void ST_CExtractedSymmetryPlane::RunRowAction(const double direction[3])
{
    if (tree)
        SetVectorPropertyCustom(tree->FindItem(m_normalId), m_normalId, direction);
}

int ST_CExtractedSymmetryPlane::Refit(const cFitContainer& points, double factor, ISceneObject* mesh, CWnd*)
{
    if (!m_geometry || points.Points().size() < kMinPoints || !tree || !mesh)
        return 0;
    double maxDistance = 0.0;
    int maxPoints = 0;
    stRowParameter normal[3], offset;
    if (!ReadRealRow(m_maxDistanceId, maxDistance) || !(maxDistance > 0.0) || !std::isfinite(maxDistance) ||
        !ReadIntegerRow(m_maxPointsId, maxPoints) || !ReadTripleGroup(m_normalId, normal) ||
        !ReadValueGroup(m_offsetId, offset))
        return 0; // a row the fitter cannot use: nothing is refitted
    cBucketSearchTreeProp* searchTree = cBucketSearchTreeProp::GetOrAttach(mesh, kBucketSearchTreePropertyName);
    if (!searchTree || !searchTree->EnsureBuilt())
        return 0; // a mesh without usable vertices cannot measure a mirror error
    m_geometry->Invalidate();
    double n[3] = {normal[0].value, normal[1].value, normal[2].value};
    double d = -offset.value;
    std::uint8_t open[4] = {normal[0].open, normal[1].open, normal[2].open, offset.open};
    if (ComboValue(m_normalId) == kChoiceFitDriven && ComboValue(m_offsetId) == kChoiceFitDriven)
    {
        double rms = 0.0;
        if (!FitPlane(points, *m_plane, rms, true, factor))
        {
            m_geometry->SetRms(FLT_MAX);
            return 0;
        }
        m_geometry->SetRms(rms);
        std::copy(m_plane->normal, m_plane->normal + 3, n);
        d = m_plane->d;
    }
    // The mesh's vertex search tree was built above, once, before the
    // fitter's evaluations look vertices up in it.
    cSymmetryPlaneFit mirror(maxDistance, maxPoints > 0 ? static_cast<std::uint32_t>(maxPoints) : 0u, mesh);
    double rms = 0.0;
    const bool anyOpen = open[0] || open[1] || open[2] || open[3];
    if (anyOpen)
    {
        // Over the records in place when all are active, else over an
        // activated copy. That least-squares start refuses a given normal far
        // from the points' own plane, which is where a symmetry plane's
        // normal usually lies (a part lying flat, mirrored left to right):
        // the mirror search then starts from the rows, its open components
        // the plane's own, an open offset through the middle of the points.
        if (!OnAllRecords<cPlaneFit>(points, [&](const cPlaneFit& fit) { return FitConstrainedPlane(fit, n, d, open); }))
        {
            if (!DirectionFromRows(normal, m_plane->normal, n))
                return 0;
            if (open[3])
            {
                double middle[3];
                points.GetMeanPosition(middle);
                d = -(n[0] * middle[0] + n[1] * middle[1] + n[2] * middle[2]);
            }
        }
        if (!mirror.Fit(n, d, open))
            return 0;
    }
    if (!UnitNormal(n))
        return 0;
    FitPlaneWithNormalAndAxis(points, *m_plane, rms, n, d, factor);
    m_geometry->SetRms(mirror.MirrorError(m_plane->normal, m_plane->d));
    return 1;
}

int ST_CExtractedSymmetryPlane::RebuildSurface(const cFitContainer& points, double factor)
{
    if (!m_geometry)
        return 0;
    m_geometry->Invalidate();
    double rms = 0.0;
    if (!extracted_plane::RebuildLevelPlane(points, *m_plane, rms, factor))
        return 0;
    m_geometry->SetRms(rms);
    return 1;
}

void ST_CExtractedSymmetryPlane::ResetParameters()
{
    m_maxPoints = 200;
    m_symmetryPoints = 0;
    m_normalChoice = m_offsetChoice = kChoiceFitDriven;
    m_offsetKept = false;
    m_maxDistance = 1.0;
}

void ST_CExtractedSymmetryPlane::SetDefaultModes()
{
    m_normalChoice = kDirectionCustom;
    m_offsetChoice = kValueCustom;
    m_offsetKept = true;
    m_symmetryPoints = 0;
}
