#include "shapes/extracted_primitives.h"

#include "core/base.h"
#include "core/thread_pool.h"
#include "fitting/cylinder_fit.h"
#include "fitting/fit_drivers.h"
#include "fitting/plane_fit.h"
#include "fitting/sphere_fit.h"
#include "platform/mfc/wnd.h"
#include "shapes/shape_interfaces.h"

#include <cfloat>
#include <charconv>
#include <cmath>

namespace
{

constexpr std::size_t kMinPlanePoints = 3;
constexpr std::size_t kMinSpherePoints = 4;
constexpr std::size_t kMinCylinderPoints = 4;
// A fitted radius this many times the points' largest extent is asked about.
constexpr double kSuspiciousRadiusRatio = 20.0;

template <class T> T* Analytic(ST_IGeometry* geometry, const GUID& iid)
{
    return geometry ? static_cast<T*>(geometry->QueryInterface(iid)) : nullptr;
}

bool Normalise(double v[3])
{
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 1e-12) || !std::isfinite(length))
        return false;
    for (int k = 0; k < 3; ++k)
        v[k] /= length;
    return true;
}

double Rms(double sum, std::uint64_t count)
{
    return count ? std::sqrt(sum / static_cast<double>(count)) : static_cast<double>(FLT_MAX);
}

// "Normal" and "Offset" of a plane page as one constrained plane.
struct stPlaneRows
{
    double normal[3] = {0.0, 0.0, 1.0};
    double d = 0.0;
    std::uint8_t open[4] = {0, 0, 0, 0};
    bool AnyOpen() const { return open[0] || open[1] || open[2] || open[3]; }
};

bool ReadPlaneRows(const ST_IExtracted& record, UINT normalId, UINT offsetId, stPlaneRows& rows)
{
    stRowParameter normal[3];
    stRowParameter offset;
    if (!record.ReadTripleGroup(normalId, normal) || !record.ReadValueGroup(offsetId, offset))
        return false;
    for (int k = 0; k < 3; ++k)
    {
        rows.normal[k] = normal[k].value;
        rows.open[k] = normal[k].open ? 1 : 0;
    }
    rows.d = -offset.value;
    rows.open[3] = offset.open ? 1 : 0;
    return true;
}

std::wstring FormatFixed3(double value)
{
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    return error == std::errc() ? std::wstring(buffer, end) : std::wstring(L"?");
}

} // namespace

namespace extracted_plane
{

void SetPlane(const cFitContainer& points, tPlane<double>& plane, double& rms, const double normal[3], double d,
              bool aligned, double factor)
{
    if (aligned)
        FitPlaneWithNormalAndAxis(points, plane, rms, normal, d, factor);
    else
        FitPlaneWithNormal(points, plane, rms, normal, d, factor);
}

int RebuildLevelPlane(const cFitContainer& points, tPlane<double>& plane, double& rms, double factor)
{
    if (points.Points().size() < kMinPlanePoints)
        return 0;
    // A plane steeper than 45 degrees becomes vertical, any other horizontal.
    double normal[3] = {0.0, 0.0, 1.0};
    std::uint8_t open[4] = {0, 0, 0, 1};
    if (std::fabs(plane.normal[2]) < 0.7071)
    {
        double level[3] = {plane.normal[0], plane.normal[1], 0.0};
        if (Normalise(level))
        {
            std::copy(level, level + 3, normal);
            open[0] = open[1] = 1;
        }
    }
    double d = plane.d;
    if (!OnAllRecords<cPlaneFit>(points, [&](const cPlaneFit& fit) { return FitConstrainedPlane(fit, normal, d, open); }))
        return 0;
    FitPlaneWithNormalAndAxis(points, plane, rms, normal, d, factor);
    return 1;
}

} // namespace extracted_plane

// ------------------------------------------------------------------ plane

bool ST_CExtractedPlane::AttachGeometry(ST_IGeometry* geometry)
{
    m_plane = Analytic<cPlane>(geometry, IID_cPlane);
    m_geometry = m_plane ? geometry : nullptr;
    return m_plane != nullptr;
}

void ST_CExtractedPlane::BuildRows()
{
    if (!tree)
        return;
    m_rmsId = m_typeId = m_normalId = m_offsetId = 0;
    ClearPage();
    if (!m_geometry)
        return;
    CPropTreeItem* root = AddRootItem(L"PLANE");
    nameRowId = AddNamePropertyItem(root, name)->GetCtrlID();
    m_rmsId = AddRmsPropertyItem(root, L"Fit RMS:", m_geometry->GetRms())->GetCtrlID();
    m_typeId = AddChoicePropertyItem(root, L"Type", {L"Minimal", L"Aligned to axises"}, m_type)->GetCtrlID();
    m_normalId = AddVectorPropertyItem(root, m_normalChoice, L"Normal", m_plane->normal)->GetCtrlID();
    m_offsetId = AddOffsetPropertyItem(root, m_offsetChoice, L"Offset", -m_plane->d)->GetCtrlID();
}

void ST_CExtractedPlane::RefreshRows()
{
    if (!tree || !m_geometry)
        return;
    SetRmsRow(m_rmsId, m_geometry->GetRms());
    SetVectorPropertyValues(m_normalId, m_plane->normal);
    SetOffsetPropertyValue(m_offsetId, -m_plane->d);
}

bool ST_CExtractedPlane::CommitRow(CPropTreeItem* item)
{
    if (!tree || !m_geometry || !item)
        return false;
    if (item->GetCtrlID() == m_typeId)
    {
        m_type = static_cast<int>(item->GetItemValue());
        return true;
    }
    if (IsGroupItem(item, m_offsetId))
        m_offsetKept = false;
    OnOffsetPropertyChanged(item, m_offsetChoice, m_offsetId);
    return OnVectorPropertyChanged(item, m_normalChoice, m_normalId, m_plane->normal);
}

void ST_CExtractedPlane::RunRowAction(const double direction[3])
{
    if (tree)
        SetVectorPropertyCustom(tree->FindItem(m_normalId), m_normalId, direction);
}

int ST_CExtractedPlane::Refit(const cFitContainer& points, double factor, ISceneObject*, CWnd*)
{
    if (!m_geometry || points.Points().size() < kMinPlanePoints || !tree)
        return 0;
    stPlaneRows rows;
    if (!ReadPlaneRows(*this, m_normalId, m_offsetId, rows))
        return 0; // a row holds text that is no number: nothing is refitted
    const bool aligned = m_type == 1;
    m_geometry->Invalidate();
    bool fitted = false;
    if (ComboValue(m_normalId) == kChoiceFitDriven && ComboValue(m_offsetId) == kChoiceFitDriven)
    {
        double rms = 0.0;
        if (!FitPlane(points, *m_plane, rms, aligned, factor))
        {
            m_geometry->SetRms(FLT_MAX);
            return 0;
        }
        m_geometry->SetRms(rms);
        // Every parameter is free: the constrained fit below refines all four
        // from this plane.
        std::copy(m_plane->normal, m_plane->normal + 3, rows.normal);
        rows.d = m_plane->d;
        for (auto& o : rows.open)
            o = 1;
        fitted = true;
    }
    double rms = 0.0;
    if (!rows.AnyOpen())
    {
        if (!Normalise(rows.normal))
            return 0;
        extracted_plane::SetPlane(points, *m_plane, rms, rows.normal, rows.d, aligned, factor);
        m_geometry->SetRms(rms);
        return 1;
    }
    // Over the records in place when all are active (a whole scan's copy
    // was 200 MB), else over an activated copy.
    if (!OnAllRecords<cPlaneFit>(
            points, [&](const cPlaneFit& fit) { return FitConstrainedPlane(fit, rows.normal, rows.d, rows.open); }))
        return fitted ? 1 : 0; // the general fit's plane stands
    extracted_plane::SetPlane(points, *m_plane, rms, rows.normal, rows.d, aligned, factor);
    m_geometry->SetRms(rms);
    return 1;
}

int ST_CExtractedPlane::RebuildSurface(const cFitContainer& points, double factor)
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

void ST_CExtractedPlane::ResetParameters()
{
    m_type = 1;
    m_normalChoice = m_offsetChoice = kChoiceFitDriven;
    m_offsetKept = false;
}

void ST_CExtractedPlane::SetDefaultModes()
{
    m_normalChoice = kDirectionCustom;
    m_offsetChoice = kValueCustom;
    m_offsetKept = true;
}

// ----------------------------------------------------------------- sphere

bool ST_CExtractedSphere::AttachGeometry(ST_IGeometry* geometry)
{
    m_sphere = Analytic<cSphere>(geometry, IID_cSphere);
    m_geometry = m_sphere ? geometry : nullptr;
    return m_sphere != nullptr;
}

void ST_CExtractedSphere::BuildRows()
{
    if (!tree)
        return;
    m_rmsId = m_centreId = m_radiusId = 0;
    ClearPage();
    if (!m_geometry)
        return;
    CPropTreeItem* root = AddRootItem(L"SPHERE");
    nameRowId = AddNamePropertyItem(root, name)->GetCtrlID();
    m_rmsId = AddRmsPropertyItem(root, L"Fit RMS:", m_geometry->GetRms())->GetCtrlID();
    m_centreId = AddPointPropertyItem(root, m_centreChoice, L"Center", m_sphere->centre)->GetCtrlID();
    m_radiusId = AddOffsetPropertyItem(root, m_radiusChoice, L"Radius", m_sphere->radius)->GetCtrlID();
}

void ST_CExtractedSphere::RefreshRows()
{
    if (!tree || !m_geometry)
        return;
    SetRmsRow(m_rmsId, m_geometry->GetRms());
    SetVectorPropertyValues(m_centreId, m_sphere->centre);
    SetOffsetPropertyValue(m_radiusId, m_sphere->radius);
}

bool ST_CExtractedSphere::CommitRow(CPropTreeItem* item)
{
    if (!tree || !m_geometry || !item)
        return false;
    OnOffsetPropertyChanged(item, m_radiusChoice, m_radiusId);
    return OnPointPropertyChanged(item, m_centreChoice, m_centreId);
}

bool ST_CExtractedSphere::AcceptRadius(const cFitContainer& points, double radius, CWnd* parent)
{
    double box[6];
    ComputeFitBoundingBox(points, box);
    if (!(radius > kSuspiciousRadiusRatio * LargestBoxExtent(box)))
        return true;
    const std::wstring text =
        L"The result radius is " + FormatFixed3(radius) + L" which seems too big. Do you want to keep the result?";
    resultTurnedDown =
        MessageBoxW(parent ? parent->GetSafeHwnd() : nullptr, text.c_str(), L"", MB_YESNO | MB_ICONQUESTION) == IDNO;
    return !resultTurnedDown;
}

int ST_CExtractedSphere::Refit(const cFitContainer& points, double, ISceneObject*, CWnd* parent)
{
    resultTurnedDown = false;
    if (!m_geometry || points.Points().size() < kMinSpherePoints || !tree)
        return 0;
    stRowParameter centre[3];
    stRowParameter radius;
    const bool allFit = ComboValue(m_centreId) == kChoiceFitDriven && ComboValue(m_radiusId) == kChoiceFitDriven;
    if (!allFit && (!ReadTripleGroup(m_centreId, centre) || !ReadValueGroup(m_radiusId, radius)))
        return 0;
    m_geometry->Invalidate();
    if (allFit)
    {
        tSphere<double> fitted = *m_sphere;
        double rms = 0.0;
        if (!FitSphere(points, fitted, rms))
        {
            m_geometry->SetRms(FLT_MAX);
            return 0;
        }
        if (!AcceptRadius(points, fitted.radius, parent))
            return 0;
        static_cast<tSphere<double>&>(*m_sphere) = fitted;
        m_geometry->SetRms(rms);
        return 1;
    }
    double c[3] = {centre[0].value, centre[1].value, centre[2].value};
    double r = radius.value;
    const std::uint8_t open[4] = {centre[0].open, centre[1].open, centre[2].open, radius.open};
    cSphereFit fit(points.Points());
    fit.ActivateAllPoints();
    const bool anyOpen = open[0] || open[1] || open[2] || open[3];
    if (anyOpen && !fit.RefineConstrained(c, r, open))
        return 0;
    if (!(r > 0.0) || !std::isfinite(r))
        return 0;
    std::uint64_t count = 0;
    const double sum = fit.SumSquaredRadialErrors(c, r, count);
    const double rms = Rms(sum, count);
    if (anyOpen && !AcceptRadius(points, r, parent))
        return 0;
    std::copy(c, c + 3, m_sphere->centre);
    m_sphere->radius = r;
    m_geometry->SetRms(rms);
    return 1;
}

void ST_CExtractedSphere::ResetParameters()
{
    m_centreChoice = m_radiusChoice = kChoiceFitDriven;
}

void ST_CExtractedSphere::SetDefaultModes()
{
    m_centreChoice = kPointCustom;
    m_radiusChoice = kValueCustom;
}

// --------------------------------------------------------------- cylinder

bool ST_CExtractedCylinder::AttachGeometry(ST_IGeometry* geometry)
{
    m_cylinder = Analytic<cCylinder>(geometry, IID_cCylinder);
    m_geometry = m_cylinder ? geometry : nullptr;
    return m_cylinder != nullptr;
}

void ST_CExtractedCylinder::BuildRows()
{
    if (!tree)
        return;
    m_rmsId = m_directionId = m_basePointId = m_radiusId = 0;
    ClearPage();
    if (!m_geometry)
        return;
    CPropTreeItem* root = AddRootItem(L"CYLINDER");
    nameRowId = AddNamePropertyItem(root, name)->GetCtrlID();
    m_rmsId = AddRmsPropertyItem(root, L"Fit RMS:", m_geometry->GetRms())->GetCtrlID();
    m_directionId = AddVectorPropertyItem(root, m_directionChoice, L"Direction", m_cylinder->axis)->GetCtrlID();
    m_radiusId = AddOffsetPropertyItem(root, m_radiusChoice, L"Radius", m_cylinder->radius)->GetCtrlID();
    m_basePointId = AddPointPropertyItem(root, m_basePointChoice, L"Base Point", m_cylinder->axisPoint)->GetCtrlID();
}

void ST_CExtractedCylinder::RefreshRows()
{
    if (!tree || !m_geometry)
        return;
    SetRmsRow(m_rmsId, m_geometry->GetRms());
    SetVectorPropertyValues(m_directionId, m_cylinder->axis);
    SetVectorPropertyValues(m_basePointId, m_cylinder->axisPoint);
    SetOffsetPropertyValue(m_radiusId, m_cylinder->radius);
}

bool ST_CExtractedCylinder::CommitRow(CPropTreeItem* item)
{
    if (!tree || !m_geometry || !item)
        return false;
    const bool direction = OnVectorPropertyChanged(item, m_directionChoice, m_directionId, m_cylinder->axis);
    const bool base = OnPointPropertyChanged(item, m_basePointChoice, m_basePointId);
    OnOffsetPropertyChanged(item, m_radiusChoice, m_radiusId);
    return direction || base;
}

void ST_CExtractedCylinder::RunRowAction(const double direction[3])
{
    if (tree)
        SetVectorPropertyCustom(tree->FindItem(m_directionId), m_directionId, direction);
}

void ST_CExtractedCylinder::Store(const cFitContainer& points, double base[3], double direction[3], double radius)
{
    cCylinderFit fit(points.Points());
    fit.ActivateAllPoints();
    std::uint64_t count = 0;
    // The sum fills count: it must run before count is read.
    const double sum = fit.SumSquaredRadialErrors(base, direction, radius, count);
    const double rms = Rms(sum, count);
    // The shape ends where the points end along the axis.
    const double height = fit.GetAxisExtent(base, direction, 0.0);
    std::copy(base, base + 3, m_cylinder->axisPoint);
    std::copy(direction, direction + 3, m_cylinder->axis);
    m_cylinder->radius = radius;
    m_cylinder->height = static_cast<double>(static_cast<float>(height));
    m_geometry->SetRms(rms);
}

int ST_CExtractedCylinder::Refit(const cFitContainer& points, double, ISceneObject*, CWnd*)
{
    if (!m_geometry || points.Points().size() < kMinCylinderPoints || !tree)
        return 0;
    const bool allFit = ComboValue(m_directionId) == kChoiceFitDriven &&
                        ComboValue(m_basePointId) == kChoiceFitDriven && ComboValue(m_radiusId) == kChoiceFitDriven;
    if (allFit)
    {
        m_geometry->Invalidate();
        tCylinder<double> fitted = *m_cylinder;
        double rms = 0.0;
        if (!FitCylinder(points, fitted, rms, 0.0, SharedThreadPool()))
        {
            m_geometry->SetRms(FLT_MAX);
            return 0;
        }
        static_cast<tCylinder<double>&>(*m_cylinder) = fitted;
        m_geometry->SetRms(rms);
        return 1;
    }
    stRowParameter direction[3], base[3], radius;
    if (!ReadTripleGroup(m_directionId, direction) || !ReadTripleGroup(m_basePointId, base) ||
        !ReadValueGroup(m_radiusId, radius))
        return 0;
    double a[3] = {direction[0].value, direction[1].value, direction[2].value};
    double p[3] = {base[0].value, base[1].value, base[2].value};
    double r = radius.value;
    const std::uint8_t open[7] = {direction[0].open, direction[1].open, direction[2].open, base[0].open,
                                  base[1].open,      base[2].open,      radius.open};
    bool anyOpen = false;
    for (std::uint8_t o : open)
        anyOpen = anyOpen || o;
    m_geometry->Invalidate();
    if (anyOpen)
    {
        cCylinderFit fit(points.Points());
        fit.ActivateAllPoints();
        if (!FitConstrainedCylinder(fit, p, a, r, open))
            return 0;
    }
    if (!Normalise(a) || !(r > 0.0) || !std::isfinite(r))
        return 0;
    Store(points, p, a, r);
    return 1;
}

int ST_CExtractedCylinder::RebuildSurface(const cFitContainer& points, double)
{
    if (!m_geometry || points.Points().size() < kMinCylinderPoints)
        return 0;
    m_geometry->Invalidate();
    double p[3] = {m_cylinder->axisPoint[0], m_cylinder->axisPoint[1], m_cylinder->axisPoint[2]};
    double a[3] = {0.0, 0.0, 1.0};
    double r = m_cylinder->radius;
    const std::uint8_t open[7] = {0, 0, 0, 1, 1, 1, 1};
    cCylinderFit fit(points.Points());
    fit.ActivateAllPoints();
    if (!FitConstrainedCylinder(fit, p, a, r, open) || !(r > 0.0))
        return 0;
    Store(points, p, a, r);
    return 1;
}

void ST_CExtractedCylinder::ResetParameters()
{
    m_directionChoice = m_basePointChoice = m_radiusChoice = kChoiceFitDriven;
}

void ST_CExtractedCylinder::SetDefaultModes()
{
    m_directionChoice = kDirectionCustom;
    m_basePointChoice = kPointCustom;
    m_radiusChoice = kValueCustom;
}
