#include "shapes/session_surface.h"

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "core/scene_object.h"
#include "core/thread_pool.h"
#include "core/triangle_colour_property.h"
#include "overlay/prop_tree_item.h"
#include "platform/mfc/controls.h"
#include "shapes/byte_counting_archive.h"
#include "shapes/dezaz_bin_stream.h"
#include "shapes/entities_history.h"
#include "shapes/extracted_record.h"
#include "shapes/region_triangles.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace
{

// Region points are read this many at a time: a chunk of the points.
constexpr std::uint32_t kRegionPointBlock = 1024;
static_assert(kRegionPointBlock == kArrayChunkSize);
// Points read at once and compared side by side with a region they may
// share: 256 runs, 3 MB.
constexpr std::uint32_t kRegionPointBatch = 256 * kRegionPointBlock;
// Words of 64 triangles' region bits a job of the tagging takes.
constexpr std::size_t kTagWordsPerJob = 512;
// Triangles per job of the shared pool when a selection becomes the region.
constexpr std::uint32_t kTakeBlockTriangles = 65536;

// {6E0C7D43-8E2B-4C55-9A1D-2F8B3E6C9D71}: the base's own id, which no
// document holds.
constexpr GUID kUndefinedSessionId = {0x6E0C7D43, 0x8E2B, 0x4C55, {0x9A, 0x1D, 0x2F, 0x8B, 0x3E, 0x6C, 0x9D, 0x71}};

cMesh* MeshOf(ISceneObject* object)
{
    return object != nullptr ? static_cast<cMesh*>(object->QueryInterface(IID_cMesh)) : nullptr;
}

CTriangleColourProperties* TagPropertyOf(ISceneObject* object)
{
    return object != nullptr
               ? dynamic_cast<CTriangleColourProperties*>(object->FindAttachedProperty(kTriangleColoursPropertyName))
               : nullptr;
}

// Sets triangle i's bit.
void MarkTriangle(std::vector<std::uint64_t>& inside, std::uint32_t i)
{
    inside[i >> 6] |= std::uint64_t{1} << (i & 63);
}

// Words of bits for `count` triangles.
std::size_t BitWords(std::uint32_t count)
{
    return (std::size_t{count} + 63) / 64;
}

// Leaves the bits of the first `count` triangles alone.
void KeepBitsBelow(std::vector<std::uint64_t>& inside, std::uint32_t count)
{
    inside.resize(BitWords(count));
    if (count % 64 != 0)
        inside.back() &= (std::uint64_t{1} << (count % 64)) - 1;
}

// Writes the code into the tags of the triangles whose bit is set.
// Writes the code into the tags of a word's triangles whose bits are set:
// all 64 at once where every bit is (a whole scan's region is nearly every
// word, and one call a triangle took most of painting it).
void TagWord(CTriangleColourProperties& tags, std::size_t word, std::uint64_t bits, std::uint8_t code)
{
    if (bits == ~std::uint64_t{0})
        return tags.SetRun(static_cast<std::uint32_t>(64 * word), 64, code);
    for (; bits != 0; bits &= bits - 1)
        tags.Set(static_cast<std::uint32_t>(64 * word + std::countr_zero(bits)), code);
}

void TagTriangles(const std::vector<std::uint64_t>& inside, std::uint8_t code,
                  CTriangleColourProperties& tags)
{
    for (std::size_t word = 0; word < inside.size(); ++word)
        TagWord(tags, word, inside[word], code);
    tags.RecomputeHasColours();
}

// Runs work on a thread of its own (here, when no thread can be had) and
// waits for it at the latest when it goes.
class cBeside
{
public:
    cBeside() = default;
    cBeside(const cBeside&) = delete;
    cBeside& operator=(const cBeside&) = delete;
    ~cBeside() { Join(); }
    template <class TWork> void Run(const TWork& work)
    {
        try
        {
            m_thread = std::thread(work);
        }
        catch (const std::system_error&)
        {
            work();
        }
    }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
};

// Whether every value is finite (no infinity, no NaN), in one pass the
// compiler can do several values at a time.
bool AllFinite(const float* values, std::size_t count)
{
    std::uint32_t special = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
        std::uint32_t bits;
        std::memcpy(&bits, values + i, sizeof bits);
        special |= static_cast<std::uint32_t>((bits & 0x7F800000u) == 0x7F800000u);
    }
    return special == 0;
}

// Inside the region's box grown by the margin, compared in double.
bool InsideGrownBox(const float box[6], const float p[3])
{
    for (int k = 0; k < 3; ++k)
    {
        const double v = p[k];
        if (!(v >= static_cast<double>(box[k]) - kRegionBoxMargin && v <= static_cast<double>(box[k + 3]) + kRegionBoxMargin))
            return false;
    }
    return true;
}

} // namespace

bool IsTakenBySelection(const cMeshTriangle& triangle)
{
    return (triangle.flags & kTriangleFlagSelected) != 0 && (triangle.flags & kTriangleFlagHidden) == 0;
}

void RegionCentroid(const float a[3], const float b[3], const float c[3], float out[3])
{
    for (int k = 0; k < 3; ++k)
        out[k] = (a[k] + b[k] + c[k]) * 0.33333334f;
}

double RegionMembershipRadius(const float centroid[3])
{
    const float largest = std::max({std::fabs(centroid[0]), std::fabs(centroid[1]), std::fabs(centroid[2])});
    // Four float spacings at that magnitude: enough for the rounding of a
    // transform applied to the region and to the mesh apart.
    return std::max(kRegionMinimumRadius, 4.0 * static_cast<double>(largest) * FLT_EPSILON);
}

std::uint32_t RecordMinorVersion(std::uint8_t kindCode, int historyMajor, int historyMinor)
{
    switch (kindCode)
    {
    case kSessionKindFreeForm:
    case kSessionKindRevolved:
        return 6;
    case kSessionKindExtruded:
    case kSessionKindCurves:
        return historyMajor > 1 || (historyMajor == 1 && historyMinor >= 1) ? 7 : 6;
    default:
        return 0;
    }
}

CSessionSurface::CSessionSurface(CObjectSurfaces* owner) : m_owner(owner) {}

CSessionSurface::~CSessionSurface()
{
    ClearRegion();
}

void CSessionSurface::GetKindName(ON_wString& name) const
{
    name = L"undefined surface";
}

void CSessionSurface::GetClassId(GUID& id) const
{
    id = kUndefinedSessionId;
}

void CSessionSurface::Init()
{
    GetClassId(m_classId);
    ON_wString name;
    GetKindName(name);
    if (m_owner != nullptr && !m_owner->IsNameUnique(name, this))
        m_owner->MakeUniqueName(name);
    SetName(name);
    if (m_sceneObject != nullptr)
    {
        cDecoratorObject& decorator = m_sceneObject->GetDecorator();
        decorator.m_flags |= kDecoratorSeeThrough;
        std::copy(std::begin(kSessionFrontColour), std::end(kSessionFrontColour), decorator.m_colours[kDecoratorFront]);
    }
}

ON_wString CSessionSurface::GetName() const
{
    return m_record != nullptr ? ON_wString(m_record->name) : ON_wString();
}

void CSessionSurface::SetName(const ON_wString& name)
{
    if (m_record != nullptr)
        m_record->name = name.Str();
}

bool CSessionSurface::CommitRow(CPropTreeItem* item)
{
    if (item == nullptr || m_record == nullptr)
        return false;
    if (item->GetCtrlID() != m_record->nameRowId)
        return m_record->CommitRow(item);
    const auto* text = reinterpret_cast<const wchar_t*>(item->GetItemValue());
    ON_wString name(text != nullptr ? text : L"");
    name.TrimLeftAndRight();
    const auto putBack = [this, item] {
        const std::wstring current = m_record->name;
        item->SetItemValue(reinterpret_cast<LPARAM>(current.c_str()));
    };
    if (name.IsEmpty())
    {
        putBack();
        return false;
    }
    if (m_owner != nullptr && !m_owner->IsNameUnique(name, this))
    {
        // The user's text is an argument, never the format.
        ON_wString message;
        message.Format(L"The name '%ls' already exists.", name.Array());
        AfxMessageBox(message);
        putBack();
        return false;
    }
    SetName(name);
    // The row shows the name the shape now bears, without the spaces cut off.
    if (std::wcscmp(text != nullptr ? text : L"", name.Array()) != 0)
        putBack();
    return true;
}

// ---------------------------------------------------------------- region

void CSessionSurface::ClearRegion()
{
    m_tree.Clear();
    m_region.Clear();
    m_treeStale = false;
}

const cRegionPoints* CSessionSurface::RegionLike(std::uint32_t count) const
{
    if (count == 0)
        return nullptr;
    // A region of that size is compared with itself: with its points while
    // they are shared, else as it is written over (a refit of the same marks
    // keeps its points and its tree).
    if (m_region.GetCount() == count)
        return m_region.IsShared() ? &m_region : nullptr;
    if (m_owner == nullptr)
        return nullptr;
    // The latest other shape's: kinds are tried one after another.
    for (std::size_t i = m_owner->SessionCount(); i-- > 0;)
    {
        const CSessionSurface* other = m_owner->Session(i);
        if (other != this && other != nullptr && other->m_region.GetCount() == count)
            return &other->m_region;
    }
    return nullptr;
}

void CSessionSurface::RebuildSearchTree()
{
    m_tree.Clear();
    const std::uint32_t count = m_region.GetCount();
    for (std::uint32_t i = 0; i < count; ++i)
        m_tree.Add(m_region.GetPoint(i));
    m_tree.Build();
    m_treeStale = false;
}

void CSessionSurface::DeferSearchTree()
{
    // Emptied at once, so it never holds points of the old region.
    m_tree.Clear();
    m_treeStale = true;
}

const tRegionPointTree& CSessionSurface::UpToDateTree() const
{
    if (m_treeStale)
        const_cast<CSessionSurface*>(this)->RebuildSearchTree();
    return m_tree;
}

const tRegionPointTree& CSessionSurface::GetSearchTree() const
{
    return UpToDateTree();
}

void CSessionSurface::TransformRegion(const double m[12])
{
    // The tree is emptied before its points move.
    DeferSearchTree();
    m_region.Transform(m);
}

void CSessionSurface::ShareRegionOf(const CSessionSurface& other)
{
    // The tree is emptied before the points it names go.
    DeferSearchTree();
    m_region.ShareWith(other.m_region);
}

bool CSessionSurface::FindRegionTrianglesInTurn(const cMesh& mesh, std::vector<std::uint64_t>& triangles)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    triangles.assign(BitWords(count), 0);
    const std::uint32_t points = m_region.GetCount();
    std::uint32_t next = 0;
    for (std::uint32_t i = 0; i < count && next < points; ++i)
    {
        const cVertex* corners[3];
        if (!mesh.GetCorners(*mesh.GetTriangle(i), corners))
            continue;
        float centroid[3];
        RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
        const float* p = m_region.GetPoint(next);
        if (centroid[0] == p[0] && centroid[1] == p[1] && centroid[2] == p[2])
        {
            MarkTriangle(triangles, i);
            ++next;
        }
    }
    return points > 0 && next == points;
}

void CSessionSurface::PutRegionOnTriangles(const cMesh& mesh, const std::vector<std::uint64_t>& triangles)
{
    // The tree is emptied before its points change.
    DeferSearchTree();
    if (!m_region.MakeOwn())
        return;
    const std::uint32_t count = std::min<std::uint32_t>(mesh.GetTriangleCount(), std::uint32_t(triangles.size() * 64));
    const std::uint32_t points = m_region.GetCount();
    std::uint32_t next = 0;
    for (std::uint32_t i = 0; i < count && next < points; ++i)
    {
        const cVertex* corners[3];
        if ((triangles[i >> 6] >> (i & 63) & 1) == 0 || !mesh.GetCorners(*mesh.GetTriangle(i), corners))
            continue;
        float centroid[3];
        RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
        m_region.Put(next++, centroid);
    }
    m_region.PointsChanged();
}

bool CSessionSurface::ContainsTriangle(const float a[3], const float b[3], const float c[3])
{
    float centroid[3];
    RegionCentroid(a, b, c, centroid);
    return ContainsCentroid(centroid);
}

bool CSessionSurface::ContainsCentroid(const float centroid[3])
{
    if (m_region.GetCount() == 0)
        return false;
    const float* box = m_region.GetBoundingBox();
    if (!InsideGrownBox(box, centroid))
        return false;
    double radius = RegionMembershipRadius(centroid);
    return UpToDateTree().FindNearest(centroid, radius) != nullptr;
}

bool CSessionSurface::ContainsCentroidByScan(const float centroid[3])
{
    if (m_region.GetCount() == 0 || !InsideGrownBox(m_region.GetBoundingBox(), centroid))
        return false;
    const double radius = RegionMembershipRadius(centroid);
    if (!(radius > 0.0))
        return false;
    const double r2 = radius * radius;
    // The tree's measure: the differences and their squares' sum in float,
    // compared in double; a point that is not finite is never nearer.
    return !m_region.ForEachRun([&](const float* xyz, std::uint32_t n) {
        bool near = false;
        for (std::uint32_t k = 0; k < n; ++k)
        {
            const float d[3] = {centroid[0] - xyz[3 * k], centroid[1] - xyz[3 * k + 1], centroid[2] - xyz[3 * k + 2]};
            near |= r2 > static_cast<double>(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        }
        return !near;
    });
}

namespace
{

// A stretch of the walk: triangles [begin, end) matched against the region
// points [first, last).
struct stWalkStretch
{
    std::uint32_t begin, end, first, last;
};

// Where the walk can be cut into stretches walked side by side: a few
// region points spread over the region (the first among them), each the
// centroid of exactly one triangle, those triangles in the points' order.
// In a walk that matches every point, such a point is matched at its one
// triangle, with the points before it matched before that triangle; and a
// triangle before it is never compared with a point after it, whose one
// triangle comes later. So the stretches between them, each walked from its
// first point, match what the walk in turn matches, and fail where it
// fails. Empty when there are too few points or no such points.
std::vector<stWalkStretch> WalkStretches(const cRegionTriangles& triangles, const cRegionPoints& region)
{
    const std::uint32_t points = region.GetCount(), count = triangles.GetCount();
    const stRegionAnchors anchors = triangles.FindAnchors(region);
    if (anchors.points.empty())
        return {};
    const auto stretches = static_cast<std::uint32_t>(anchors.points.size() - 1);
    std::vector<stWalkStretch> out;
    for (std::uint32_t j = 0; j <= stretches; ++j)
    {
        const std::uint32_t triangle = anchors.first[j];
        if (anchors.found[j] != 1 || (j > 0 && triangle <= out.back().begin))
            return {};
        if (j == 0)
            out.push_back({0, triangle, 0, 0}); // before the first point's triangle: none matched
        else
            out.back().end = triangle;
        out.push_back({triangle, count, anchors.points[j], j + 1 <= stretches ? anchors.points[j + 1] : points});
    }
    // The last point's triangle alone, then the rest with no point.
    out.back().end = out.back().begin + 1;
    out.push_back({out.back().end, count, points, points});
    // Stretches with no point to match (before the first point's triangle
    // and after the last's) are cut into pieces of a few blocks, so that
    // the triangles before or after a region are not walked by one job.
    constexpr std::uint32_t kBlock = 1u << 16;
    std::vector<stWalkStretch> pieces;
    for (const stWalkStretch& stretch : out)
        if (stretch.first == stretch.last)
            for (std::uint32_t begin = stretch.begin; begin < stretch.end; begin += std::min(stretch.end - begin, 4 * kBlock))
                pieces.push_back({begin, begin + std::min(stretch.end - begin, 4 * kBlock), stretch.first, stretch.last});
        else
            pieces.push_back(stretch);
    return pieces;
}

} // namespace

std::unique_ptr<cRegionNearCells> CSessionSurface::NearCellsForWalk(const cRegionTriangles& triangles)
{
    // A region of part of a scan mostly leaves many triangles of its box
    // unmatched (the sample's brushed face: 7.4M), and the walk passes over
    // those far from every point itself instead of listing them. A region
    // of most of the scan leaves few, and needs no cells for them.
    if (m_region.GetCount() > triangles.GetCount() / 2)
        return nullptr;
    try
    {
        return std::make_unique<cRegionNearCells>(triangles, m_region);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

bool CSessionSurface::WalkMatchedTriangles(const cRegionTriangles& triangles, std::vector<std::uint64_t>& inside,
                                          std::vector<std::uint32_t>& near, const cRegionNearCells* cells)
{
    const float* box = m_region.GetBoundingBox();
    std::vector<stWalkStretch> stretches = WalkStretches(triangles, m_region);
    if (stretches.empty())
        stretches.push_back({0, triangles.GetCount(), 0, m_region.GetCount()});
    std::vector<std::vector<std::uint32_t>> nears(stretches.size());
    std::vector<std::uint8_t> matched(stretches.size(), 0);
    auto walk = [&](std::size_t s) {
        const stWalkStretch& stretch = stretches[s];
        std::uint32_t next = stretch.first;
        // A word of bits is put together here and joined into `inside` when
        // the walk leaves it (its first and last may be another stretch's).
        std::uint64_t word = 0;
        std::uint32_t wordAt = stretch.begin >> 6;
        const auto flush = [&] {
            if (word != 0)
                std::atomic_ref<std::uint64_t>(inside[wordAt]).fetch_or(word, std::memory_order_relaxed);
            word = 0;
        };
        for (std::uint32_t i = stretch.begin; i < stretch.end; ++i)
        {
            if (!triangles.HasCentroid(i))
                continue;
            const float* c = triangles.Centroid(i);
            if (next < stretch.last)
            {
                // A region point equal to the centroid lies at distance 0.
                const float* p = m_region.GetPoint(next);
                if (c[0] == p[0] && c[1] == p[1] && c[2] == p[2])
                {
                    ++next;
                    if ((i >> 6) != wordAt)
                    {
                        flush();
                        wordAt = i >> 6;
                    }
                    word |= std::uint64_t{1} << (i & 63);
                    continue;
                }
            }
            if (InsideGrownBox(box, c) && (cells == nullptr || cells->MayLieNear(c)))
                nears[s].push_back(i);
        }
        flush();
        matched[s] = next == stretch.last;
    };
    ParallelForEach(triangles.Pool(), stretches.size(), 1, walk);
    std::vector<std::size_t> firsts(nears.size() + 1, 0);
    for (std::size_t s = 0; s < nears.size(); ++s)
        firsts[s + 1] = firsts[s] + nears[s].size();
    near.resize(firsts.back());
    auto gather = [&](std::size_t s) { std::copy(nears[s].begin(), nears[s].end(), near.begin() + std::ptrdiff_t(firsts[s])); };
    ParallelForEach(triangles.Pool(), nears.size(), 1, gather);
    return std::find(matched.begin(), matched.end(), 0) == matched.end();
}

void CSessionSurface::DecideNearTriangles(const cRegionTriangles& triangles, const std::vector<std::uint32_t>& near,
                                          const std::vector<std::uint8_t>& mayLieNear, std::vector<std::uint64_t>& inside)
{
    // A few triangles of a region whose tree is not built yet are measured
    // against every point instead of building the tree for them (a face of
    // a million triangles: about 75 ms for a dozen queries).
    std::vector<std::uint32_t> doubtful;
    for (std::size_t k = 0; k < near.size(); ++k)
        if (mayLieNear[k])
            doubtful.push_back(near[k]);
    const bool scan = m_treeStale && doubtful.size() * std::uint64_t{m_region.GetCount()} <= kScanInsteadOfTree;
    for (const std::uint32_t i : doubtful)
        if (scan ? ContainsCentroidByScan(triangles.Centroid(i)) : ContainsCentroid(triangles.Centroid(i)))
            MarkTriangle(inside, i);
}

bool CSessionSurface::WalkRegionTriangles(const cRegionTriangles& triangles, std::vector<std::uint64_t>& inside)
{
    std::vector<std::uint32_t> near;
    const std::unique_ptr<cRegionNearCells> cells = NearCellsForWalk(triangles);
    if (!WalkMatchedTriangles(triangles, inside, near, cells.get()))
        return false;
    DecideNearTriangles(triangles, near, triangles.MayLieNear(near, m_region, cells.get()), inside);
    return true;
}

void CSessionSurface::TestEveryTriangle(const cMesh& mesh, std::uint32_t count, std::vector<std::uint64_t>& inside)
{
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cVertex* corners[3];
        if (mesh.GetCorners(*mesh.GetTriangle(i), corners) &&
            ContainsTriangle(corners[0]->Position(), corners[1]->Position(), corners[2]->Position()))
            MarkTriangle(inside, i);
    }
}

void CSessionSurface::MarkMeshRegion(ISceneObject* meshObject, std::uint8_t code,
                                     const cRegionTriangles* triangles)
{
    cMesh* mesh = MeshOf(meshObject);
    CTriangleColourProperties* tags = TagPropertyOf(meshObject);
    if (mesh == nullptr || tags == nullptr || m_region.GetCount() == 0)
        return;
    const std::uint32_t count = std::min(mesh->GetTriangleCount(), tags->GetCount());
    std::vector<std::uint64_t> inside(BitWords(mesh->GetTriangleCount()), 0);
    // A walk that stops short has only found triangles of the region; the
    // test of every triangle finds the rest.
    if (triangles == nullptr || !triangles->IsFor(*mesh) || !WalkRegionTriangles(*triangles, inside))
        TestEveryTriangle(*mesh, count, inside);
    KeepBitsBelow(inside, count);
    TagTriangles(inside, code, *tags);
}

void CSessionSurface::PaintMeshRegions(const std::vector<CSessionSurface*>& sessions,
                                       ISceneObject* meshObject, const cRegionTriangles* triangles,
                                       cThreadPool* pool)
{
    cMesh* mesh = MeshOf(meshObject);
    CTriangleColourProperties* tags = TagPropertyOf(meshObject);
    if (mesh == nullptr || tags == nullptr)
        return;
    const std::uint32_t count = std::min(mesh->GetTriangleCount(), tags->GetCount());
    // Each session's region is found by one job (it alone touches that
    // session's box and tree); the tags are then written in the sessions'
    // order, so a triangle two regions share keeps the later one's code.
    // A session whose points a later one shares has every tag it would
    // write written over by that one: it is passed over.
    std::vector<std::uint8_t> paints(sessions.size(), 0);
    for (std::size_t s = 0; s < sessions.size(); ++s)
    {
        const CSessionSurface* session = sessions[s];
        paints[s] = session != nullptr && session->m_region.GetCount() != 0 &&
                    std::none_of(sessions.begin() + std::ptrdiff_t(s) + 1, sessions.end(),
                                 [session](const CSessionSurface* later)
                                 { return later != nullptr && later->m_region.SharesWith(session->m_region); });
    }
    // The walks one after another, each on the pool, and which of the
    // triangles each left in doubt may lie near its points; then the
    // doubtful ones, or every triangle where a walk stopped short, side by
    // side.
    std::vector<std::vector<std::uint64_t>> inside(sessions.size());
    std::vector<std::vector<std::uint32_t>> near(sessions.size());
    std::vector<std::vector<std::uint8_t>> mayLieNear(sessions.size());
    std::vector<std::uint8_t> walked(sessions.size(), 0);
    const bool walk = triangles != nullptr && triangles->IsFor(*mesh);
    // Each walk shares itself out on the pool.
    for (std::size_t s = 0; s < sessions.size(); ++s)
    {
        if (!paints[s])
            continue;
        inside[s].assign(BitWords(mesh->GetTriangleCount()), 0);
        const std::unique_ptr<cRegionNearCells> cells = walk ? sessions[s]->NearCellsForWalk(*triangles) : nullptr;
        walked[s] = walk && sessions[s]->WalkMatchedTriangles(*triangles, inside[s], near[s], cells.get());
        if (walked[s])
            mayLieNear[s] = triangles->MayLieNear(near[s], sessions[s]->m_region, cells.get());
    }
    // A walk that stops short has only found triangles of the region; the
    // test of every triangle finds the rest.
    const auto decide = [&](std::size_t s)
    {
        if (walked[s])
            sessions[s]->DecideNearTriangles(*triangles, near[s], mayLieNear[s], inside[s]);
        else if (paints[s])
            sessions[s]->TestEveryTriangle(*mesh, count, inside[s]);
        KeepBitsBelow(inside[s], count);
    };
    ParallelForEach(pool, sessions.size(), 1, decide);
    // The tags are written a block of triangles at a time on the pool, each
    // block taking the sessions in order.
    const std::size_t words = (std::size_t{count} + 63) / 64;
    auto tag = [&](std::size_t word)
    {
        for (std::size_t s = 0; s < sessions.size(); ++s)
            if (paints[s])
                TagWord(*tags, word, inside[s][word], sessions[s]->GetKindCode());
    };
    ParallelForEach(pool, words, kTagWordsPerJob, tag);
    tags->RecomputeHasColours();
}

void CSessionSurface::PaintMeshRegion(ISceneObject* meshObject, const cRegionTriangles* triangles)
{
    MarkMeshRegion(meshObject, GetKindCode(), triangles);
}

void CSessionSurface::ClearMeshRegion(ISceneObject* meshObject, const cRegionTriangles* triangles)
{
    MarkMeshRegion(meshObject, 0, triangles);
}

void CSessionSurface::ClearReplacedRegion(ISceneObject* meshObject)
{
    cMesh* mesh = MeshOf(meshObject);
    CTriangleColourProperties* tags = TagPropertyOf(meshObject);
    if (mesh == nullptr || tags == nullptr || m_region.GetCount() == 0)
        return;
    // Clearing the old region's tags changes only a tag that is not 0 on a
    // triangle the new region does not tag again: the others end as they
    // would anyway, and are spared the tree query (on a refit of unchanged
    // marks that is every triangle of the region).
    const std::uint32_t count = std::min(mesh->GetTriangleCount(), tags->GetCount());
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cMeshTriangle& triangle = *mesh->GetTriangle(i);
        if (tags->Get(i) == 0 || IsTakenBySelection(triangle))
            continue;
        const cVertex* corners[3];
        if (mesh->GetCorners(triangle, corners) &&
            ContainsTriangle(corners[0]->Position(), corners[1]->Position(), corners[2]->Position()))
            tags->Set(i, 0);
    }
}

void CSessionSurface::TakeSelection(ISceneObject* meshObject)
{
    ClearReplacedRegion(meshObject);
    cMesh* mesh = MeshOf(meshObject);
    if (mesh == nullptr)
    {
        ClearRegion();
        return;
    }
    // The new region is written over the old one point by point: a refit of
    // unchanged marks (Rebuild, a direction, a row) finds every point where
    // it was, and the tree the old region's tags were just cleared with
    // stays the region's tree instead of being built again. The triangles
    // are counted a block at a time on the pool, the region sized once, and
    // each block's points then written from where its count starts.
    std::uint32_t before = m_region.GetCount();
    CTriangleColourProperties* tags = TagPropertyOf(meshObject);
    const std::uint8_t code = GetKindCode();
    const std::uint32_t count = mesh->GetTriangleCount();
    const std::size_t blocks = (std::size_t{count} + kTakeBlockTriangles - 1) / kTakeBlockTriangles;
    const auto taken = [&](std::uint32_t i, const cVertex* corners[3]) {
        return IsTakenBySelection(*mesh->GetTriangle(i)) && mesh->GetCorners(*mesh->GetTriangle(i), corners);
    };
    std::vector<std::uint32_t> firstOf(blocks + 1, 0);
    // The count notes the taken triangles, so that the passes after it read
    // only their records, not every triangle's again (a block is whole words
    // of the bits).
    static_assert(kTakeBlockTriangles % 64 == 0);
    std::vector<std::uint64_t> takenBits(BitWords(count), 0);
    auto countBlock = [&](std::size_t block) {
        const std::uint32_t end = std::min<std::uint32_t>(count, std::uint32_t(block + 1) * kTakeBlockTriangles);
        std::uint32_t n = 0;
        for (std::uint32_t i = std::uint32_t(block) * kTakeBlockTriangles; i < end; ++i)
        {
            const cVertex* corners[3];
            if (taken(i, corners))
            {
                ++n;
                takenBits[i >> 6] |= std::uint64_t{1} << (i & 63);
            }
        }
        firstOf[block + 1] = n;
    };
    // visit(i, corners) for each taken triangle of the block in order, until
    // it returns false.
    const auto forEachTaken = [&](std::size_t block, auto&& visit) {
        const std::uint32_t end = std::min<std::uint32_t>(count, std::uint32_t(block + 1) * kTakeBlockTriangles);
        for (std::size_t word = std::size_t(block) * (kTakeBlockTriangles / 64); word < BitWords(end); ++word)
            for (std::uint64_t bits = takenBits[word]; bits != 0; bits &= bits - 1)
            {
                const auto i = static_cast<std::uint32_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
                const cVertex* corners[3];
                mesh->GetCorners(*mesh->GetTriangle(i), corners);
                if (!visit(i, corners))
                    return;
            }
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, countBlock);
    for (std::size_t block = 0; block < blocks; ++block)
        firstOf[block + 1] += firstOf[block];
    const std::uint32_t total = firstOf[blocks];
    // Points that another shape of the object holds already (another kind
    // tried on the same selection) are shared with it, not held once more;
    // points this region shares are compared with, never written over.
    if (const cRegionPoints* like = RegionLike(total))
    {
        std::atomic<bool> differs{false};
        auto compareBlock = [&](std::size_t block) {
            std::uint32_t at = firstOf[block];
            forEachTaken(block, [&](std::uint32_t i, const cVertex* const corners[3]) {
                if (differs.load(std::memory_order_relaxed))
                    return false;
                if (tags != nullptr)
                    tags->Set(i, code);
                float centroid[3];
                RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
                if (std::memcmp(like->GetPoint(at), centroid, sizeof centroid) != 0)
                    differs.store(true, std::memory_order_relaxed);
                ++at;
                return true;
            });
        };
        ParallelForEach(SharedThreadPool(), blocks, 1, compareBlock);
        if (!differs.load())
        {
            if (!m_region.SharesWith(*like))
            {
                // The tree is emptied before the points it names go.
                DeferSearchTree();
                m_region.ShareWith(*like);
            }
            if (tags != nullptr)
                tags->RecomputeHasColours();
            return;
        }
    }
    if (m_region.IsShared())
    {
        // Other points than the shared ones: this region gets its own.
        DeferSearchTree();
        m_region.Clear();
        before = 0;
    }
    if (total > before && !m_region.Resize(total))
    {
        // No room for the region: it is left without points rather than cut
        // short where memory ran out.
        ClearRegion();
        return;
    }
    std::vector<std::uint8_t> sameIn(blocks, 1);
    auto writeBlock = [&](std::size_t block) {
        std::uint32_t at = firstOf[block];
        bool same = true;
        forEachTaken(block, [&](std::uint32_t i, const cVertex* const corners[3]) {
            if (tags != nullptr)
                tags->Set(i, code);
            float centroid[3];
            RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
            if (at < before)
                same = m_region.Store(at, centroid) && same;
            else
                m_region.Put(at, centroid), same = false;
            ++at;
            return true;
        });
        sameIn[block] = same ? 1 : 0;
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, writeBlock);
    const bool same =
        total == before && std::all_of(sameIn.begin(), sameIn.end(), [](std::uint8_t b) { return b != 0; });
    if (total < before)
    {
        if (total == 0)
            ClearRegion();
        else
            m_region.Truncate(total);
    }
    if (tags != nullptr)
        tags->RecomputeHasColours();
    if (same)
        return;
    m_region.PointsChanged();
    DeferSearchTree();
}

void CSessionSurface::SelectRegion(cMesh* mesh, const cRegionTriangles* triangles)
{
    if (mesh == nullptr || m_region.GetCount() == 0)
        return;
    mesh->ForEachVertex([](cVertex& v) { v.flags &= ~std::uint32_t{2}; });
    const std::uint32_t count = mesh->GetTriangleCount();
    // A triangle without a centroid is not in the region.
    const auto select = [mesh](std::uint32_t i, bool inside) {
        cMeshTriangle& triangle = *mesh->GetTriangle(i);
        if (inside)
            triangle.flags |= kTriangleFlagSelected;
        else
            triangle.flags &= static_cast<std::uint8_t>(~kTriangleFlagSelected);
    };
    std::vector<std::uint64_t> inside(BitWords(count), 0);
    const bool walked = triangles != nullptr && triangles->IsFor(*mesh) && WalkRegionTriangles(*triangles, inside);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        if (walked)
        {
            select(i, triangles->HasCentroid(i) && (inside[i >> 6] >> (i & 63) & 1) != 0);
            continue;
        }
        const cVertex* corners[3];
        select(i, mesh->GetCorners(*mesh->GetTriangle(i), corners) &&
                      ContainsTriangle(corners[0]->Position(), corners[1]->Position(), corners[2]->Position()));
    }
    for (std::uint32_t i = 0; i < count; ++i)
    {
        cMeshTriangle& triangle = *mesh->GetTriangle(i);
        if ((triangle.flags & kTriangleFlagSelected) == 0 || (triangle.flags & kTriangleFlagHidden) != 0)
            continue;
        cVertex* corners[3];
        if (mesh->GetCorners(triangle, corners))
            for (cVertex* corner : corners)
                corner->flags |= 2;
    }
}

// ---------------------------------------------------------------- records

bool CSessionSurface::WriteObjectRecord(IBinStream& stream)
{
    return m_sceneObject != nullptr && m_sceneObject->Write(&stream, nullptr);
}

bool CSessionSurface::ReadObjectRecord(IBinStream& stream, std::uint32_t)
{
    return m_sceneObject != nullptr && m_sceneObject->Read(&stream, nullptr);
}

bool CSessionSurface::CanWrite()
{
    if (m_region.GetCount() > static_cast<std::uint32_t>(INT_MAX))
        return false;
    cByteCountingArchive counter;
    CDezazBinStream stream(&counter);
    return WriteObjectRecord(stream);
}

bool CSessionSurface::Write(ON_BinaryArchive& archive)
{
    const std::uint32_t count = m_region.GetCount();
    if (count > static_cast<std::uint32_t>(INT_MAX))
        return false;
    if (!archive.WriteUuid(m_classId) || !archive.WriteString(GetName()) ||
        !archive.WriteInt(static_cast<int>(count)))
        return false;
    // The points' coordinates a run at a time: the same floats in the same
    // order as one write each.
    if (!m_region.ForEachRun([&archive](const float* xyz, std::uint32_t n)
                             { return archive.WriteFloat(3 * std::size_t{n}, xyz); }))
        return false;
    CDezazBinStream stream(&archive);
    return WriteObjectRecord(stream);
}

bool CSessionSurface::Read(ON_BinaryArchive& archive, int major, int minor)
{
    ON_wString name;
    if (!archive.ReadString(name))
        return false;
    if (m_owner != nullptr && !m_owner->IsNameUnique(name, this))
        m_owner->MakeUniqueName(name);
    int count = 0;
    if (!archive.ReadInt(&count) || count < 0)
        return false;
    // Points are read a block at a time: a count from a damaged file
    // allocates no more than a block beyond the bytes that are really there.
    ClearRegion();
    // Points equal to those of a shape read before (several kinds fitted to
    // one selection) are compared with them as they come and shared once all
    // are found equal; the first that differs has the points matched so far
    // copied, and the rest are read into this region's own.
    const cRegionPoints* like = RegionLike(static_cast<std::uint32_t>(count));
    std::uint32_t matched = 0;
    const auto ownMatched = [&] {
        if (like != nullptr && matched != 0)
        {
            m_region.ShareWith(*like);
            m_region.Truncate(matched);
        }
        like = nullptr;
    };
    const auto total = static_cast<std::uint32_t>(count);
    // Appends a run of points up to the first that is not finite (the
    // points before it are kept, as they would be read one by one); false
    // when there is such a point.
    const auto appendFinite = [this](const float* xyz, std::uint32_t n) {
        std::uint32_t finite = n;
        if (!AllFinite(xyz, 3 * std::size_t{n}))
            for (finite = 0; finite < n && std::isfinite(xyz[3 * finite]) && std::isfinite(xyz[3 * finite + 1]) &&
                             std::isfinite(xyz[3 * finite + 2]);)
                ++finite;
        m_region.Append(xyz, finite);
        return finite == n;
    };
    // Appends a batch of points as appendFinite appends them run by run.
    // Where the region ends on a whole chunk, the runs are checked and
    // copied into their chunks side by side on the shared pool (a whole
    // scan's 10M points took about 50 ms on this thread, most of it the
    // first writes to the fresh chunks), up to the first run that holds a
    // point that is not finite, which goes as above.
    const auto appendBatch = [&](const float* xyz, std::uint32_t n) {
        const std::uint32_t start = m_region.GetCount();
        const std::uint32_t runs = (n + kRegionPointBlock - 1) / kRegionPointBlock;
        if (start % kRegionPointBlock != 0 || runs < 2 || !m_region.ReserveUnwritten(start + n))
        {
            // Room that cannot be had now fails the appends below.
            m_region.Reserve(start + n);
            for (std::uint32_t at = 0; at < n; at += kRegionPointBlock)
                if (!appendFinite(xyz + 3 * std::size_t{at}, std::min(kRegionPointBlock, n - at)))
                    return false;
            return true;
        }
        std::vector<std::uint8_t> finite(runs);
        auto copy = [&](std::size_t r) {
            const std::uint32_t at = std::uint32_t(r) * kRegionPointBlock, size = std::min(kRegionPointBlock, n - at);
            finite[r] = AllFinite(xyz + 3 * std::size_t{at}, 3 * std::size_t{size});
            if (finite[r])
                m_region.StoreRun(start + at, xyz + 3 * std::size_t{at}, size);
        };
        ParallelForEach(SharedThreadPool(), runs, 1, copy);
        const auto good = static_cast<std::uint32_t>(std::find(finite.begin(), finite.end(), 0) - finite.begin());
        const std::uint32_t kept = std::min(n, good * kRegionPointBlock);
        m_region.Resize(start + kept);
        return good == runs ? m_region.GetCount() == start + n
                            : appendFinite(xyz + 3 * std::size_t{kept}, std::min(kRegionPointBlock, n - kept));
    };
    // Whether a run read is finite and the same as the other region's at
    // `first` (a run is one chunk of the points, so the other region's
    // lies in one piece).
    const auto sameAsLike = [&like](std::uint32_t first, const float* xyz, std::uint32_t n) {
        return AllFinite(xyz, 3 * std::size_t{n}) &&
               std::memcmp(like->GetPoint(first), xyz, 3 * sizeof(float) * std::size_t{n}) == 0;
    };
    std::uint32_t first = 0;
    // A batch of runs is read at once. With points to compare with, its
    // runs are compared side by side on the shared pool; the runs after the
    // first that is not the same go as runs read one at a time go, and room
    // is made for them at once (a region grown a chunk at a time copies its
    // table of chunks each time: a whole 10M-point region copied it ten
    // thousand times). A batch the bytes do not hold whole is read run by
    // run below.
    std::vector<float> batch, next;
    std::vector<std::uint8_t> same;
    const auto readBatch = [&archive, total](std::vector<float>& into, std::uint32_t at) {
        into.resize(3 * std::size_t{std::min(total - at, kRegionPointBatch)});
        return archive.ReadFloat(into.size(), into.data());
    };
    bool held = first < total && readBatch(batch, first);
    while (held)
    {
        const std::uint32_t n = static_cast<std::uint32_t>(batch.size() / 3);
        // The next batch is read on a thread of its own while this one is
        // compared or kept (a whole scan's shapes read 120 MB each).
        const std::uint32_t after = first + n;
        bool nextHeld = false;
        cBeside ahead;
        if (after < total)
            ahead.Run([&] {
                try
                {
                    nextHeld = readBatch(next, after);
                }
                catch (const std::bad_alloc&)
                {
                    // Read run by run below.
                }
            });
        std::uint32_t agreed = 0;
        if (like != nullptr)
        {
            const std::size_t runs = (std::size_t{n} + kRegionPointBlock - 1) / kRegionPointBlock;
            same.assign(runs, 0);
            auto compare = [&](std::size_t r) {
                const std::uint32_t at = std::uint32_t(r) * kRegionPointBlock;
                same[r] =
                    sameAsLike(first + at, batch.data() + 3 * std::size_t{at}, std::min(kRegionPointBlock, n - at));
            };
            ParallelForEach(SharedThreadPool(), runs, 1, compare);
            agreed =
                std::min(n, std::uint32_t(std::find(same.begin(), same.end(), 0) - same.begin()) * kRegionPointBlock);
            matched += agreed;
        }
        if (agreed < n)
        {
            ownMatched();
            if (!appendBatch(batch.data() + 3 * std::size_t{agreed}, n - agreed))
                return false;
        }
        ahead.Join();
        first = after;
        batch.swap(next);
        held = nextHeld;
    }
    float block[3 * kRegionPointBlock];
    for (; first < total; first += kRegionPointBlock)
    {
        const std::uint32_t n = std::min(kRegionPointBlock, total - first);
        if (!archive.ReadFloat(3 * std::size_t{n}, block))
        {
            ownMatched();
            return false;
        }
        if (like != nullptr && sameAsLike(first, block, n))
        {
            matched += n;
            continue;
        }
        ownMatched();
        if (!appendFinite(block, n))
            return false;
    }
    if (like != nullptr)
        m_region.ShareWith(*like);
    DeferSearchTree();
    SetName(name);
    m_isNew = 0;

    CDezazBinStream stream(&archive);
    if (!ReadObjectRecord(stream, RecordMinorVersion(GetKindCode(), major, minor)))
        return false;
    if (m_record != nullptr)
        m_record->SetDefaultModes();
    // A curve network is not tied to a region of the mesh.
    if (GetKindCode() == kSessionKindCurves)
        ClearRegion();
    return true;
}
