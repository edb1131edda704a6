#include "shapes/extracted_revolved_surface.h"

#include "core/mesh.h"
#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "core/section_curve.h"
#include "core/thread_pool.h"
#include "core/vector_math.h"
#include "platform/mfc/wnd.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

constexpr std::int32_t kDefaultSections = 20;
constexpr std::size_t kMinPoints = 3;
constexpr std::uint8_t kSelectedTriangle = 1;
constexpr std::uint8_t kExcludedTriangle = 2;
// The builder's kind for "whatever kind the current profile has".
constexpr std::int32_t kKeepProfileKind = 5;
// "Line or arc, whichever fits", for a surface without a profile yet.
constexpr std::int32_t kLineOrArc = 0;

bool Normalise(double v[3])
{
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 1e-12) || !std::isfinite(length))
        return false;
    for (int k = 0; k < 3; ++k)
        v[k] /= length;
    return true;
}

} // namespace

int DetectProfileKind(ST_IProfiledSurface* surface)
{
    ST_ISectionCurve* curve = surface ? surface->GetProfileCurve() : nullptr;
    if (!curve)
        return 0;
    const GUID id = curve->GetClassGuid();
    if (IsEqualInterfaceId(id, CLSID_ST_TLineCurve))
        return 1;
    if (IsEqualInterfaceId(id, CLSID_ST_TArcCurve))
        return 2;
    if (IsEqualInterfaceId(id, CLSID_ST_TSplineCurve))
        return 3;
    return 4;
}

std::int32_t ProfileSectionCount(ST_IProfiledSurface* surface, std::int32_t withoutProfile)
{
    const ST_ISectionCurve* curve = surface ? surface->GetProfileCurve() : nullptr;
    if (!curve)
        return withoutProfile;
    // An id read from a document may be anything: the builders refuse more
    // sections than their limit, so more are never asked for.
    return static_cast<std::int32_t>(std::min<std::uint32_t>(curve->id, kMaxSweepSections));
}

namespace
{

// Tags a block of triangles at a time on the shared pool, and hands each
// triangle and whether it is tagged to take(block, i, triangle, tagged).
template <class Take> void TagSelectedTriangles(cMesh& mesh, std::size_t blocks, std::uint32_t block, Take take)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    auto tag = [&](std::size_t b) {
        const std::uint32_t end = std::min<std::uint32_t>(count, std::uint32_t(b + 1) * block);
        for (std::uint32_t i = std::uint32_t(b) * block; i < end; ++i)
        {
            cMeshTriangle* t = mesh.GetTriangle(i);
            const bool selected = (t->flags & kSelectedTriangle) && !(t->flags & kExcludedTriangle);
            t->SetLabel(selected ? 1u : 0u);
            take(b, i, *t, selected);
        }
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, tag);
}

constexpr std::uint32_t kTagBlock = 16384;

} // namespace

std::int64_t MarkSelectedTriangles(cMesh& mesh)
{
    // Each block keeps its last selected triangle.
    std::vector<std::int64_t> lastIn((std::size_t{mesh.GetTriangleCount()} + kTagBlock - 1) / kTagBlock, -1);
    TagSelectedTriangles(mesh, lastIn.size(), kTagBlock,
                         [&](std::size_t block, std::uint32_t i, cMeshTriangle&, bool selected) {
                             if (selected)
                                 lastIn[block] = i;
                         });
    std::int64_t last = -1;
    for (const std::int64_t l : lastIn)
        last = l >= 0 ? l : last;
    return last;
}

std::int64_t MarkSelectedRegion(cMesh& mesh, std::vector<std::uint64_t>& bits)
{
    // A block's words are its own (a block is whole words); each block
    // keeps its last tagged triangle.
    static_assert(kTagBlock % 64 == 0);
    const std::uint32_t count = mesh.GetTriangleCount();
    bits.assign((std::size_t{count} + 63) / 64, 0);
    std::vector<std::int64_t> lastIn((std::size_t{count} + kTagBlock - 1) / kTagBlock, -1);
    TagSelectedTriangles(mesh, lastIn.size(), kTagBlock,
                         [&](std::size_t block, std::uint32_t i, cMeshTriangle& t, bool selected) {
                             if (!selected)
                             {
                                 t.flags &= static_cast<std::uint8_t>(~kSweepRegionFlag);
                                 return;
                             }
                             t.flags |= kSweepRegionFlag;
                             bits[i / 64] |= std::uint64_t{1} << (i % 64);
                             lastIn[block] = i;
                         });
    std::int64_t last = -1;
    for (const std::int64_t l : lastIn)
        last = l >= 0 ? l : last;
    return last;
}

bool ST_CExtractedRevSurface::AttachGeometry(ST_IGeometry* geometry)
{
    m_profiled =
        geometry ? static_cast<ST_IProfiledSurface*>(geometry->QueryInterface(IID_ST_IProfiledSurface)) : nullptr;
    m_geometry = m_profiled ? geometry : nullptr;
    m_mesh = nullptr;
    m_block.sectionCount = m_profiled ? ProfileSectionCount(m_profiled, 0) : kDefaultSections;
    m_block.profileKind = DetectProfileKind(m_profiled);
    return m_profiled != nullptr;
}

void ST_CExtractedRevSurface::BuildRows()
{
    m_block.sectionCount = kDefaultSections;
    if (!tree)
        return;
    m_rmsId = m_sectionsId = m_directionId = m_basePointId = 0;
    ClearPage();
    if (!m_geometry)
        return;
    double axis[3], origin[3];
    m_geometry->GetDirection(axis);
    m_geometry->GetOrigin(origin);
    for (double& a : axis)
        a = RoundToFloat(a);
    CPropTreeItem* root = AddRootItem(L"REVOLVED SURFACE");
    nameRowId = AddNamePropertyItem(root, name)->GetCtrlID();
    m_rmsId = AddRmsPropertyItem(root, L"Fit RMS:", m_geometry->GetRms())->GetCtrlID();
    m_sectionsId = AddIntegerPropertyItem(root, L"Sections", m_block.sectionCount)->GetCtrlID();
    m_directionId = AddVectorPropertyItem(root, m_directionChoice, L"Direction", axis)->GetCtrlID();
    m_basePointId = AddPointPropertyItem(root, m_basePointChoice, L"Base Point", origin)->GetCtrlID();
}

void ST_CExtractedRevSurface::RefreshRows()
{
    if (!tree || !m_geometry)
        return;
    if (auto* sections = dynamic_cast<CPropTreeItemEdit*>(tree->FindItem(m_sectionsId)))
    {
        sections->SetItemValue(m_block.sectionCount);
        tree->RefreshItems(sections);
    }
    SetRmsRow(m_rmsId, m_geometry->GetRms());
    double axis[3], origin[3];
    m_geometry->GetDirection(axis);
    m_geometry->GetOrigin(origin);
    SetVectorPropertyValues(m_directionId, axis);
    SetVectorPropertyValues(m_basePointId, origin);
}

bool ST_CExtractedRevSurface::CommitRow(CPropTreeItem* item)
{
    if (!tree || !m_geometry || !item)
        return false;
    const bool base = OnPointPropertyChanged(item, m_basePointChoice, m_basePointId);
    double axis[3];
    m_geometry->GetDirection(axis);
    const bool direction = OnVectorPropertyChanged(item, m_directionChoice, m_directionId, axis);
    return base || direction;
}

void ST_CExtractedRevSurface::RunRowAction(const double direction[3])
{
    if (tree)
        SetVectorPropertyCustom(tree->FindItem(m_directionId), m_directionId, direction);
}

bool ConfirmProfileReplacement(ST_IProfiledSurface* surface, CWnd* parent)
{
    ST_ISectionCurve* curve = surface ? surface->GetProfileCurve() : nullptr;
    if (!curve || !curve->IsEdited())
        return true;
    return MessageBoxW(parent ? parent->GetSafeHwnd() : nullptr,
                       L"You are going to change profile curve.\nAll manual modifications will be lost.\nDo you "
                       L"want to proceed?",
                       L"", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

int ST_CExtractedRevSurface::Refit(const cFitContainer& points, double, ISceneObject* meshObject, CWnd* parent)
{
    if (!m_geometry || !tree)
        return 0;
    m_mesh = meshObject ? static_cast<cMesh*>(meshObject->QueryInterface(IID_cMesh)) : nullptr;
    int sections = 0;
    stRowParameter direction[3], base[3];
    if (!ReadIntegerRow(m_sectionsId, sections) || !ReadTripleGroup(m_directionId, direction) ||
        !ReadTripleGroup(m_basePointId, base))
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
        double axis[3], v[3];
        m_geometry->GetDirection(axis);
        const eDirectionRows rows = WholeDirectionFromRows(direction, axis, v);
        if (rows == eDirectionRows::kNoDirection || (rows == eDirectionRows::kTyped && !Normalise(v)))
            return 0;
        if (rows == eDirectionRows::kToTheFit)
            m_block.directionFixed = 0;
        else
            std::copy(v, v + 3, m_block.direction);
    }
    // A given base point whose row was emptied keeps the shape's own
    // coordinate there (the builder takes a whole point); with all three
    // emptied the fit chooses the point.
    const bool pointGiven = ComboValue(m_basePointId) != kChoiceFitDriven;
    double origin[3];
    m_geometry->GetOrigin(origin);
    for (int k = 0; k < 3; ++k)
        m_block.point[k] = pointGiven && base[k].open ? origin[k] : base[k].value;
    m_block.pointFixed = pointGiven && !(base[0].open && base[1].open && base[2].open);
    // An existing profile keeps its kind (line, arc, spline or combo); a new
    // surface gets the line or arc that fits best.
    m_block.profileKind = m_profiled->GetProfileCurve() ? kKeepProfileKind : kLineOrArc;
    m_geometry->Invalidate();
    return FitFromMesh(points, m_mesh);
}

int ST_CExtractedRevSurface::FitFromMesh(const cFitContainer& points, cMesh* mesh)
{
    if (!mesh || !m_profiled)
        return 0;
    // The selection's tags and the region they make (the builder's marking
    // from the last tagged triangle) in one pass over the triangles.
    std::vector<std::uint64_t> region;
    const std::int64_t last = MarkSelectedRegion(*mesh, region);
    if (last < 0)
        return 0;
    const std::vector<std::uint32_t> seeds{static_cast<std::uint32_t>(last)};
    const bool fitted = points.Points().size() >= kMinPoints &&
                        BuildRevolvedFromSections(points, *mesh, *m_profiled, seeds, m_block, true, &region);
    m_geometry->GetSeeds() = seeds;
    m_geometry->SetMode(-1);
    m_profiled->BuildHostSurface();
    // A failed fit is a failure whatever the profile is.
    if (!fitted)
        return 0;
    const int kind = DetectProfileKind(m_profiled);
    return kind == 3 || kind == 4 ? 2 : 1;
}

int ST_CExtractedRevSurface::RebuildSurface(const cFitContainer& points, double)
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
    const bool fitted =
        BuildRevolvedFromSections(points, *m_mesh, *m_profiled, m_geometry->GetSeeds(), m_block, true);
    m_profiled->BuildHostSurface();
    if (!fitted)
        return 0;
    const int kind = DetectProfileKind(m_profiled);
    return kind == 3 || kind == 4 ? 2 : 1;
}

void ST_CExtractedRevSurface::ResetParameters()
{
    m_directionChoice = m_basePointChoice = kChoiceFitDriven;
}

void ST_CExtractedRevSurface::SetDefaultModes()
{
    m_directionChoice = kDirectionCustom;
    m_basePointChoice = kPointCustom;
}

void ST_CExtractedRevSurface::ApplyDirection(const double m[12])
{
    double d[3], p[3];
    for (int r = 0; r < 3; ++r)
    {
        d[r] = m[4 * r] * m_block.direction[0] + m[4 * r + 1] * m_block.direction[1] + m[4 * r + 2] * m_block.direction[2];
        p[r] = m[4 * r] * m_block.point[0] + m[4 * r + 1] * m_block.point[1] + m[4 * r + 2] * m_block.point[2] +
               m[4 * r + 3];
    }
    std::copy(d, d + 3, m_block.direction);
    std::copy(p, p + 3, m_block.point);
}
