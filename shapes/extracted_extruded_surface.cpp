#include "shapes/extracted_extruded_surface.h"
#include "shapes/extracted_revolved_surface.h"

#include "core/mesh.h"
#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "core/section_curve.h"
#include "core/vector_math.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr std::int32_t kDefaultSections = 20;
constexpr std::size_t kMinPoints = 3;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr std::int32_t kKeepProfileKind = 5;
constexpr std::int32_t kLineOrArc = 0;
// Where the profile sits along the region: at its bottom.
constexpr double kProfileAtBottom = 1.0;

bool Normalise(double v[3])
{
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 1e-12) || !std::isfinite(length))
        return false;
    for (int k = 0; k < 3; ++k)
        v[k] /= length;
    return true;
}

int ResultFor(bool fitted, ST_IProfiledSurface* surface)
{
    if (!fitted)
        return 0; // a failure stays a failure whatever the profile is
    const int kind = DetectProfileKind(surface);
    return kind == 3 || kind == 4 ? 2 : 1;
}

} // namespace

bool ST_CExtractedExtSurface::AttachGeometry(ST_IGeometry* geometry)
{
    m_profiled =
        geometry ? static_cast<ST_IProfiledSurface*>(geometry->QueryInterface(IID_ST_IProfiledSurface)) : nullptr;
    m_geometry = m_profiled ? geometry : nullptr;
    m_mesh = nullptr;
    m_block.sectionCount = ProfileSectionCount(m_profiled, kDefaultSections);
    m_block.profileKind = DetectProfileKind(m_profiled);
    if (!m_profiled)
    {
        m_block.draftMode = 0;
        m_block.draftAngle = 0.0;
    }
    return m_profiled != nullptr;
}

void ST_CExtractedExtSurface::BuildRows()
{
    m_block.sectionCount = kDefaultSections;
    if (!tree)
        return;
    m_directionId = m_sectionsId = m_draftId = 0;
    ClearPage();
    if (!m_geometry)
        return;
    // The surface's draft decides what the draft row starts with.
    if (const auto* extrusion = static_cast<const stExtrusionParameters*>(m_profiled->GetDirectionPtr()))
    {
        m_block.draftAngle = extrusion->draftAngle;
        if (extrusion->draftFlag == 0)
            m_draftChoice = kValueZero;
        else if (extrusion->draftFlag == 1)
            m_draftChoice = kChoiceFitDriven;
        else if (extrusion->draftFlag == 2)
            m_draftChoice = kValueCustom;
    }
    double direction[3];
    m_geometry->GetDirection(direction);
    for (double& d : direction)
        d = RoundToFloat(d);
    CPropTreeItem* root = AddRootItem(L"EXTRUDED SURFACE");
    nameRowId = AddNamePropertyItem(root, name)->GetCtrlID();
    m_sectionsId = AddIntegerPropertyItem(root, L"Sections", m_block.sectionCount)->GetCtrlID();
    m_directionId = AddVectorPropertyItem(root, m_directionChoice, L"Direction", direction)->GetCtrlID();
    m_draftId =
        AddOffsetPropertyItem(root, m_draftChoice, L"DraftAngle", m_block.draftAngle * kDegreesPerRadian)->GetCtrlID();
}

void ST_CExtractedExtSurface::RefreshRows()
{
    if (!tree || !m_geometry)
        return;
    double direction[3];
    m_geometry->GetDirection(direction);
    SetVectorPropertyValues(m_directionId, direction);
    if (auto* sections = dynamic_cast<CPropTreeItemEdit*>(tree->FindItem(m_sectionsId)))
    {
        sections->SetItemValue(m_block.sectionCount);
        tree->RefreshItems(sections);
    }
    if (const auto* extrusion = static_cast<const stExtrusionParameters*>(m_profiled->GetDirectionPtr()))
        SetOffsetPropertyValue(m_draftId, extrusion->draftAngle * kDegreesPerRadian);
}

bool ST_CExtractedExtSurface::CommitRow(CPropTreeItem* item)
{
    if (!tree || !m_geometry || !item)
        return false;
    OnOffsetPropertyChanged(item, m_draftChoice, m_draftId);
    if (item->GetCtrlID() == m_draftId)
        return true;
    double direction[3];
    m_geometry->GetDirection(direction);
    return OnVectorPropertyChanged(item, m_directionChoice, m_directionId, direction);
}

void ST_CExtractedExtSurface::RunRowAction(const double direction[3])
{
    if (tree)
        SetVectorPropertyCustom(tree->FindItem(m_directionId), m_directionId, direction);
}

int ST_CExtractedExtSurface::Refit(const cFitContainer& points, double factor, ISceneObject* meshObject, CWnd* parent)
{
    if (!m_geometry || !tree)
        return 0;
    m_mesh = meshObject ? static_cast<cMesh*>(meshObject->QueryInterface(IID_cMesh)) : nullptr;
    int sections = 0;
    stRowParameter direction[3], draft;
    if (!ReadIntegerRow(m_sectionsId, sections) || !ReadTripleGroup(m_directionId, direction) ||
        !ReadValueGroup(m_draftId, draft))
        return 0; // a row that is no number: nothing is refitted
    if (points.Points().size() < kMinPoints || !ConfirmProfileReplacement(m_profiled, parent))
        return 0;
    m_block.sectionCount = std::max(sections, 1);
    const int directionChoice = ComboValue(m_directionId);
    m_block.directionFixed = directionChoice != kChoiceFitDriven;
    if (directionChoice >= kDirectionXAxis && directionChoice <= kDirectionZAxis)
    {
        std::fill(m_block.direction, m_block.direction + 3, 0.0);
        m_block.direction[directionChoice - kDirectionXAxis] = 1.0;
    }
    else if (m_block.directionFixed)
    {
        // Some rows open (Horizontal fixes z alone): the open components
        // keep the shape's own, under the fixed ones; all three emptied
        // leave the direction to the fit.
        double current[3], v[3];
        m_geometry->GetDirection(current);
        const eDirectionRows rows = WholeDirectionFromRows(direction, current, v);
        if (rows == eDirectionRows::kNoDirection)
            return 0;
        if (rows == eDirectionRows::kToTheFit)
            m_block.directionFixed = 0;
        bool same = true;
        for (int k = 0; k < 3; ++k)
            same = same && std::fabs(v[k] - m_block.direction[k]) <= 1e-6;
        if (m_block.directionFixed && !same)
        {
            if (!Normalise(v))
                return 0;
            std::copy(v, v + 3, m_block.direction);
        }
    }
    // No draft for "Zero"; measured for "Fit Driven" or an emptied value;
    // the typed angle otherwise.
    const int draftChoice = ComboValue(m_draftId);
    m_block.draftMode = draftChoice == kValueZero ? 0u : draft.open ? 1u : 2u;
    m_block.draftAngle = m_block.draftMode == 2 ? draft.value * kRadiansPerDegree : 0.0;
    m_block.profileKind = m_profiled->GetProfileCurve() ? kKeepProfileKind : kLineOrArc;
    m_geometry->Invalidate();
    // The page's factor is the margin the user asked for around the region.
    return FitFromMesh(points, m_mesh, factor);
}

int ST_CExtractedExtSurface::FitFromMesh(const cFitContainer& points, cMesh* mesh, double factor)
{
    if (!mesh || !m_profiled)
        return 0;
    const std::int64_t last = MarkSelectedTriangles(*mesh);
    if (last < 0)
        return 0;
    const std::vector<std::uint32_t> seeds{static_cast<std::uint32_t>(last)};
    const bool fitted =
        BuildExtrudedFromSections(points, *mesh, *m_profiled, seeds, m_block, factor, true);
    m_geometry->GetSeeds() = seeds;
    m_geometry->SetMode(-1);
    return ResultFor(fitted, m_profiled);
}

int ST_CExtractedExtSurface::RebuildSurface(const cFitContainer& points, double)
{
    if (!m_geometry || !m_mesh || points.Points().size() < kMinPoints || !tree)
        return 0;
    if (!ConfirmProfileReplacement(m_profiled, nullptr))
        return 3;
    m_block.sectionCount = ProfileSectionCount(m_profiled, m_block.sectionCount);
    m_block.direction[0] = m_block.direction[1] = 0.0;
    m_block.direction[2] = 1.0;
    m_block.directionFixed = 1;
    m_block.profileKind = m_profiled->GetProfileCurve() ? kKeepProfileKind : kLineOrArc;
    m_geometry->Invalidate();
    const bool fitted = BuildExtrudedFromSections(points, *m_mesh, *m_profiled, m_geometry->GetSeeds(), m_block,
                                                  kProfileAtBottom, true);
    return ResultFor(fitted, m_profiled);
}

void ST_CExtractedExtSurface::ResetParameters()
{
    m_directionChoice = kChoiceFitDriven;
    m_draftChoice = kChoiceFitDriven;
}

void ST_CExtractedExtSurface::SetDefaultModes()
{
    m_directionChoice = kDirectionCustom;
    m_draftChoice = kValueCustom;
}

void ST_CExtractedExtSurface::ApplyDirection(const double m[12])
{
    double d[3];
    for (int r = 0; r < 3; ++r)
        d[r] = m[4 * r] * m_block.direction[0] + m[4 * r + 1] * m_block.direction[1] + m[4 * r + 2] * m_block.direction[2];
    std::copy(d, d + 3, m_block.direction);
}
