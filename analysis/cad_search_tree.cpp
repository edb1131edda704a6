#include "analysis/cad_search_tree.h"

#include "analysis/inspection_geometry.h"
#include "core/bounding_box.h"
#include "core/mesh_triangle.h"
#include "core/vector_math.h"

#include <cfloat>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <new>

namespace
{

bool IsFinitePoint(const ON_3fPoint& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// A face whose four indices address finite vertices of its mesh.
bool IsUsableFace(const ON_Mesh& mesh, const ON_MeshFace& face)
{
    const int count = mesh.VertexCount();
    for (int k = 0; k < 4; ++k)
    {
        if (face.vi[k] < 0 || face.vi[k] >= count || !IsFinitePoint(mesh.m_V[face.vi[k]]))
            return false;
    }
    return true;
}

// Whether the box grown by margin on every side holds p.
bool CubeContains(const float box[6], const float p[3], double margin)
{
    for (int i = 0; i < 3; ++i)
    {
        if (!(static_cast<double>(box[i]) - margin <= p[i] && p[i] <= static_cast<double>(box[i + 3]) + margin))
            return false;
    }
    return true;
}

// Squared distance from p to the box, 0 inside it.
double SquaredDistanceToBox(const double p[3], const float box[6])
{
    double sum = 0.0;
    for (int i = 0; i < 3; ++i)
    {
        double gap = 0.0;
        if (p[i] < box[i])
            gap = static_cast<double>(box[i]) - p[i];
        else if (p[i] > box[i + 3])
            gap = p[i] - static_cast<double>(box[i + 3]);
        sum += gap * gap;
    }
    return sum;
}


} // namespace

bool CADPointerToTriangleFPointComparator::IntersectsVoxel(const cInspectionFace* face, const cUnitVoxel& voxel) const
{
    if (TriangleIntersectsVoxel(face->Corner(0), face->Corner(1), face->Corner(2), voxel))
        return true;
    return face->IsQuad() && TriangleIntersectsVoxel(face->Corner(0), face->Corner(2), face->Corner(3), voxel);
}

bool CADPointerToTriangleFPointComparator::HaveSameExtent(const cInspectionFace* a, const cInspectionFace* b) const
{
    return std::equal(a->box, a->box + 6, b->box);
}

void cCADSearchTree::BuildVertexTree(const std::vector<const ON_Mesh*>& meshes)
{
    m_vertexTree.Clear();
    for (const ON_Mesh* mesh : meshes)
    {
        if (mesh == nullptr)
            continue;
        for (const ON_3fPoint& p : mesh->m_V)
            m_vertexTree.Add(&p); // refuses non-finite points
    }
    m_vertexTree.Build();
}

void cCADSearchTree::BuildFaceTree(const std::vector<const ON_Mesh*>& meshes, IProcProgress* progress)
{
    m_faceTree.Clear();
    m_faceTree.ResetRootCube();
    m_faces.clear();
    m_geometry.clear();
    m_packed.clear();
    m_packedLeaf.clear();
    m_groupBoxes.clear();
    m_childTables.clear();
    m_faceEntryFirst.clear();
    m_faceEntryRank.clear();
    m_faceSigns.clear();
    m_cornerNormals.clear();
    m_edgeNormals.clear();

    float box[6];
    MakeEmptyBox3f(box);
    std::size_t faceCount = 0;
    for (const ON_Mesh* mesh : meshes)
    {
        if (mesh == nullptr)
            continue;
        for (const ON_3fPoint& p : mesh->m_V)
            if (IsFinitePoint(p))
                GrowBox3f(box, &p.x);
        faceCount += static_cast<std::size_t>(mesh->FaceCount());
    }
    if (!IsValidBoundingBox3f(box))
        return;

    double centre[3];
    double edge = 0.0;
    for (int i = 0; i < 3; ++i)
    {
        box[i] -= kRootCubeMargin;
        box[i + 3] += kRootCubeMargin;
        centre[i] = (static_cast<double>(box[i]) + box[i + 3]) / 2.0;
        edge = std::max(edge, static_cast<double>(box[i + 3]) - box[i]);
    }
    const double edges[3] = {edge, edge, edge};
    const cUnitVoxel rootVoxel(centre, edges);
    // On small models the fixed limit would leave the whole model in one
    // leaf and every query would scan every face.
    // On huge models (a revolved shape fitted to a nearly flat patch runs
    // kilometres round) the fixed limit would let a long face enter millions
    // of leaves: no more levels than this below the root cube.
    const float minimumEdge =
        std::max(std::min(kMinimumVoxelEdge, static_cast<float>(edge / static_cast<double>(1 << kMinimumSplitLevels))),
                 static_cast<float>(edge / static_cast<double>(1 << kMaximumSplitLevels)));
    m_faceTree.Reset(rootVoxel.box, kFaceBucketMaximum, minimumEdge);
    // Voxels of neighbouring octants, rounded to floats, may leave hairline
    // gaps between them: the search's reach covers them.
    m_reachSlack = 0.0;
    for (int i = 0; i < 6; ++i)
        m_reachSlack = std::max(m_reachSlack, 4.0 * FLT_EPSILON * std::fabs(static_cast<double>(rootVoxel.box[i])));

    try
    {
        m_faces.reserve(faceCount);
        for (const ON_Mesh* mesh : meshes)
        {
            if (mesh == nullptr)
                continue;
            for (const ON_MeshFace& f : mesh->m_F)
            {
                if (!IsUsableFace(*mesh, f))
                    continue;
                cInspectionFace face;
                face.mesh = mesh;
                face.face = &f;
                double n[3];
                TriangleCrossProduct(face.Corner(0), face.Corner(1), face.Corner(2), n);
                for (int i = 0; i < 3; ++i)
                    face.normal[i] = static_cast<float>(n[i]);
                NormaliseVector3f(face.normal);
                MakeEmptyBox3f(face.box);
                for (int k = 0; k < 4; ++k)
                    GrowBox3f(face.box, face.Corner(k));
                m_faces.push_back(face);
            }
        }
    }
    catch (const std::bad_alloc&)
    {
        m_faces.clear();
        return;
    }

    try
    {
        // The faces' corners and normals side by side, one record a face:
        // a measure reads one record instead of following the face into
        // its mesh.
        m_geometry.reserve(m_faces.size());
        for (const cInspectionFace& face : m_faces)
            m_geometry.push_back(GeometryOf(face));
    }
    catch (const std::bad_alloc&)
    {
        m_faces.clear();
        m_geometry.clear();
        return;
    }

    IProcProgress* report = ProgressOrNull(progress);
    const std::size_t count = m_faces.size();
    report->SetRange(0.0f, static_cast<float>(count));
    const std::size_t step = std::max<std::size_t>(1, count / 10);
    for (std::size_t i = 0; i < count; ++i)
    {
        m_faceTree.Insert(&m_faces[i]);
        if (i % step == 0)
            report->SetPosition(static_cast<float>(i));
    }
    if (!PackLeaves())
    {
        // Without the packed entries no search could rank its ties: no tree.
        m_faceTree.Clear();
        m_faces.clear();
        m_geometry.clear();
        m_packed.clear();
        m_packedLeaf.clear();
        m_groupBoxes.clear();
        m_childTables.clear();
        m_faceEntryFirst.clear();
        m_faceEntryRank.clear();
        return;
    }
    // Without them distances keep the sign of their own face everywhere.
    BuildPseudoNormals();
}

bool cCADSearchTree::PackLeaves()
{
    const std::uint32_t nodes = m_faceTree.GetNodeCount();
    try
    {
        std::size_t total = 0;
        for (std::uint32_t i = 0; i < nodes; ++i)
            total += m_faceTree.GetNode(i)->bucket.GetCount();
        if (total >= 0xFFFFFFFFu)
            return false;
        m_packed.reserve(total);
        m_packedLeaf.reserve(total);
        m_faceEntryFirst.assign(m_faces.size() + 1, 0);
        m_faceEntryRank.resize(total);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    // Depth first, children in octant order: a leaf entry's place in the
    // array is its rank in that order, which settles ties between faces at
    // the same distance whichever way a search walks.
    std::vector<tFaceOcTree::Node*> pending;
    try
    {
        pending.reserve(64);
        if (m_faceTree.GetRoot() != nullptr)
            pending.push_back(m_faceTree.GetNode(0));
        while (!pending.empty())
        {
            tFaceOcTree::Node* node = pending.back();
            pending.pop_back();
            if (!node->IsLeaf())
            {
                tFaceOcTree::Node* children[8];
                int count = 0;
                for (tFaceOcTree::Node* child = node->firstChild; child != nullptr && count < 8;
                     child = child->nextSibling)
                    children[count++] = child;
                for (int k = count - 1; k >= 0; --k)
                    pending.push_back(children[k]);
                continue;
            }
            node->packedFirst = static_cast<std::uint32_t>(m_packed.size());
            node->packedCount = node->bucket.GetCount();
            for (const auto* entry = node->bucket.GetHead(); entry != nullptr; entry = entry->link)
            {
                stPackedFace packed;
                std::copy(entry->value->box, entry->value->box + 6, packed.box);
                packed.face = entry->value;
                m_packed.push_back(packed);
                m_packedLeaf.push_back(node);
            }
        }
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    SetGroupBoxes();
    if (!SetContentBoxes())
        return false;
    // Every face's entries in rank order, for settling ties.
    for (const stPackedFace& packed : m_packed)
        ++m_faceEntryFirst[static_cast<std::size_t>(packed.face - m_faces.data()) + 1];
    for (std::size_t f = 1; f < m_faceEntryFirst.size(); ++f)
        m_faceEntryFirst[f] += m_faceEntryFirst[f - 1];
    std::vector<std::uint32_t> next(m_faceEntryFirst.begin(), m_faceEntryFirst.end() - 1);
    for (std::uint32_t rank = 0; rank < m_packed.size(); ++rank)
        m_faceEntryRank[next[static_cast<std::size_t>(m_packed[rank].face - m_faces.data())]++] = rank;
    return true;
}

namespace
{

// A triangle's closest-point feature as the face's: corners 1 to 4 (A to
// D), edges kFirstEdge + slot (slots as in stFaceSign).
std::uint8_t FaceFeature(eTriangleFeature feature, const std::uint8_t corners[3], const std::uint8_t edges[3])
{
    switch (feature)
    {
    case eTriangleFeature::Inside:
        return 0;
    case eTriangleFeature::CornerA:
        return static_cast<std::uint8_t>(1 + corners[0]);
    case eTriangleFeature::CornerB:
        return static_cast<std::uint8_t>(1 + corners[1]);
    case eTriangleFeature::CornerC:
        return static_cast<std::uint8_t>(1 + corners[2]);
    case eTriangleFeature::EdgeAB:
        return static_cast<std::uint8_t>(kFirstEdgeFeature + edges[0]);
    case eTriangleFeature::EdgeBC:
        return static_cast<std::uint8_t>(kFirstEdgeFeature + edges[1]);
    case eTriangleFeature::EdgeCA:
        return static_cast<std::uint8_t>(kFirstEdgeFeature + edges[2]);
    }
    return 0;
}

} // namespace

cCADSearchTree::stFaceGeometry cCADSearchTree::GeometryOf(const cInspectionFace& face)
{
    stFaceGeometry geometry;
    for (int k = 0; k < 4; ++k)
        std::copy(face.Corner(k), face.Corner(k) + 3, geometry.corner[k]);
    std::copy(face.normal, face.normal + 3, geometry.normal);
    geometry.quad = face.IsQuad();
    if (geometry.quad)
    {
        // A quad need not be planar: (A, C, D) is bounded by its own plane.
        double n[3];
        TriangleCrossProduct(geometry.corner[0], geometry.corner[2], geometry.corner[3], n);
        for (int i = 0; i < 3; ++i)
            geometry.secondNormal[i] = static_cast<float>(n[i]);
        NormaliseVector3f(geometry.secondNormal);
    }
    return geometry;
}

double cCADSearchTree::MeasureFace(const cInspectionFace& face, const float point[3], double bound, double closest[3],
                                   std::uint8_t* feature)
{
    return MeasureGeometry(GeometryOf(face), point, bound, closest, feature);
}

double cCADSearchTree::MeasureGeometry(const stFaceGeometry& face, const float point[3], double bound,
                                       double closest[3], std::uint8_t* feature)
{
    const float* a = face.corner[0];
    const float* b = face.corner[1];
    const float* c = face.corner[2];
    eTriangleFeature where1 = eTriangleFeature::Inside;
    if (!face.quad)
    {
        const double result = SignedPointTriangleDistance(point, a, b, c, face.normal, bound, closest, &where1);
        static constexpr std::uint8_t kCorners[3] = {0, 1, 2}, kEdges[3] = {0, 1, 2};
        if (feature != nullptr && result != FLT_MAX)
            *feature = FaceFeature(where1, kCorners, kEdges);
        return result;
    }
    double first[3];
    double second[3];
    const double d1 = SignedPointTriangleDistance(point, a, b, c, face.normal, bound, first, &where1);
    // (A, C, D)'s distance takes the face's sign like the first half's.
    const float* d = face.corner[3];
    eTriangleFeature where2 = eTriangleFeature::Inside;
    double d2 = SignedPointTriangleDistance(point, a, c, d, face.secondNormal, bound, second, &where2);
    if (d2 != FLT_MAX)
    {
        const double side = (point[0] - second[0]) * face.normal[0] + (point[1] - second[1]) * face.normal[1] +
                            (point[2] - second[2]) * face.normal[2];
        d2 = side < 0.0 ? -std::fabs(d2) : std::fabs(d2);
    }
    // Ties go to (A, C, D).
    const bool takeFirst = std::fabs(d1) < std::fabs(d2);
    const double* pick = takeFirst ? first : second;
    const double result = takeFirst ? d1 : d2;
    if (result != FLT_MAX)
    {
        closest[0] = pick[0], closest[1] = pick[1], closest[2] = pick[2];
        if (feature != nullptr)
        {
            // The halves' corners and sides on the quad: (A, B, C) has the
            // sides AB, BC and the diagonal; (A, C, D) the diagonal, CD, DA.
            static constexpr std::uint8_t kFirstCorners[3] = {0, 1, 2}, kFirstEdges[3] = {0, 1, 4};
            static constexpr std::uint8_t kSecondCorners[3] = {0, 2, 3}, kSecondEdges[3] = {4, 2, 3};
            *feature = takeFirst ? FaceFeature(where1, kFirstCorners, kFirstEdges)
                                 : FaceFeature(where2, kSecondCorners, kSecondEdges);
        }
    }
    return result;
}

namespace
{

// The faces measured by the latest searches of this thread, by their
// address: a small table, overwritten on collision (a face measured twice
// costs time, nothing else).
constexpr std::size_t kMeasuredSlots = 256;
struct stMeasuredSlot
{
    const cInspectionFace* face = nullptr;
    std::uint64_t search = 0;
};
thread_local stMeasuredSlot t_measured[kMeasuredSlots];
thread_local std::uint64_t t_searches = 0;

} // namespace

const cInspectionFace* cCADSearchTree::ClosestFace(const tFaceOcTree::Node* node, const float point[3], double& d,
                                                   double closest[3]) const
{
    if (node == nullptr)
        return nullptr;
    stFaceSearch search;
    search.point = point;
    for (int i = 0; i < 3; ++i)
        search.p[i] = point[i];
    search.bestAbs = std::fabs(d);
    search.startAbs = search.bestAbs;
    search.serial = ++t_searches;
    if (!(search.bestAbs == search.bestAbs))
        return nullptr;
    if (SquaredDistanceToBox(search.p, node->contentBox) > Reach(search.bestAbs))
        return nullptr;
    if (node->IsLeaf())
        SearchLeaf(node->packedFirst, node->packedCount, node->groupFirst, search);
    else
        SearchTable(node->groupFirst, search);
    if (search.best == nullptr)
        return nullptr;
    d = SignAtFeature(search);
    closest[0] = search.closest[0], closest[1] = search.closest[1], closest[2] = search.closest[2];
    return search.best;
}

void cCADSearchTree::SearchTable(std::uint32_t index, stFaceSearch& search) const
{
    // Nearest octant first: the best distance shrinks early and prunes the
    // rest. The order cannot change the answer (see SearchLeaf).
    const stChildTable& table = m_childTables[index];
    double gaps[8];
    int order[8];
    int count = 0;
    const double reach = Reach(search.bestAbs);
    for (int c = 0; c < table.count; ++c)
    {
        double gap = 0.0;
        for (int a = 0; a < 3; ++a)
        {
            const double below = static_cast<double>(table.low[a][c]) - search.p[a];
            const double above = search.p[a] - static_cast<double>(table.high[a][c]);
            const double g = std::max(0.0, std::max(below, above));
            gap += g * g;
        }
        if (gap > reach)
            continue;
        int k = count++;
        for (; k > 0 && gaps[k - 1] > gap; --k)
        {
            gaps[k] = gaps[k - 1];
            order[k] = order[k - 1];
        }
        gaps[k] = gap;
        order[k] = c;
    }
    for (int k = 0; k < count; ++k)
    {
        if (gaps[k] > Reach(search.bestAbs))
            break; // sorted: the others lie farther still
        const int c = order[k];
        if (table.packedCount[c] == kInnerChild)
            SearchTable(table.first[c], search);
        else
            SearchLeaf(table.first[c], table.packedCount[c], table.groupFirst[c], search);
    }
}

void cCADSearchTree::SearchLeaf(std::uint32_t packedFirst, std::uint32_t packedCount, std::uint32_t groupFirst,
                                stFaceSearch& search) const
{
    if (packedFirst == kNotPacked)
        return;
    const stPackedFace* packed = m_packed.data() + packedFirst;
    for (std::uint32_t k = 0; k < packedCount; ++k)
    {
        // A run's box first: most runs of a leaf lie out of reach.
        if (k % kGroupSize == 0 && groupFirst != kNotPacked &&
            SquaredDistanceToBox(search.p, m_groupBoxes[groupFirst + k / kGroupSize].box) >
                Reach(search.bestAbs))
        {
            k += kGroupSize - 1;
            continue;
        }
        if (SquaredDistanceToBox(search.p, packed[k].box) > Reach(search.bestAbs))
            continue;
        // A face that crosses several leaves is measured once a search: again
        // it could only tie with itself.
        {
            stMeasuredSlot& slot = t_measured[(reinterpret_cast<std::uintptr_t>(packed[k].face) / alignof(cInspectionFace)) % kMeasuredSlots];
            if (slot.face == packed[k].face && slot.search == search.serial)
                continue;
            slot.face = packed[k].face;
            slot.search = search.serial;
        }
        const cInspectionFace& face = *packed[k].face;
        double faceClosest[3];
        std::uint8_t feature = 0;
        const double faceD = MeasureGeometry(m_geometry[static_cast<std::size_t>(&face - m_faces.data())],
                                             search.point, search.bestAbs, faceClosest, &feature);
        const double magnitude = std::fabs(faceD);
        if (faceD == FLT_MAX || magnitude > search.bestAbs)
            continue;
        if (magnitude == search.bestAbs)
        {
            // A tie with the face found so far goes to the face a walk of the
            // octants in order would have met first.
            if (search.best == nullptr)
                continue;
            if (search.bestRank == kRankUnknown)
                search.bestRank = TieRank(*search.best, search.point, search.startAbs);
            const std::uint32_t rank = TieRank(face, search.point, search.startAbs);
            if (rank >= search.bestRank)
                continue;
            search.bestRank = rank;
        }
        else
        {
            search.bestRank = kRankUnknown;
        }
        search.best = &face;
        search.bestAbs = magnitude;
        search.bestD = faceD;
        search.bestFeature = feature;
        search.closest[0] = faceClosest[0], search.closest[1] = faceClosest[1], search.closest[2] = faceClosest[2];
    }
}

void cCADSearchTree::SetGroupBoxes()
{
    std::size_t groups = 0;
    for (std::uint32_t i = 0; i < m_faceTree.GetNodeCount(); ++i)
        groups += (m_faceTree.GetNode(i)->packedCount + kGroupSize - 1) / kGroupSize;
    try
    {
        m_groupBoxes.reserve(groups);
    }
    catch (const std::bad_alloc&)
    {
        return; // the leaves are scanned face by face
    }
    for (std::uint32_t i = 0; i < m_faceTree.GetNodeCount(); ++i)
    {
        tFaceOcTree::Node* node = m_faceTree.GetNode(i);
        if (node->packedCount == 0)
            continue;
        node->groupFirst = static_cast<std::uint32_t>(m_groupBoxes.size());
        for (std::uint32_t k = 0; k < node->packedCount; k += kGroupSize)
        {
            stGroupBox group{{FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX}};
            for (std::uint32_t e = k; e < std::min(k + kGroupSize, node->packedCount); ++e)
            {
                const float* box = m_packed[node->packedFirst + e].box;
                for (int a = 0; a < 3; ++a)
                {
                    group.box[a] = std::min(group.box[a], box[a]);
                    group.box[a + 3] = std::max(group.box[a + 3], box[a + 3]);
                }
            }
            m_groupBoxes.push_back(group);
        }
    }
}

bool cCADSearchTree::SetContentBoxes()
{
    try
    {
        std::size_t inner = 0;
        for (std::uint32_t i = 0; i < m_faceTree.GetNodeCount(); ++i)
            inner += m_faceTree.GetNode(i)->IsLeaf() ? 0 : 1;
        m_childTables.reserve(inner);
        m_childTables.clear();
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    // Children are made after their parents: backwards, every child is done
    // before its parent.
    for (std::uint32_t i = m_faceTree.GetNodeCount(); i-- > 0;)
    {
        tFaceOcTree::Node* node = m_faceTree.GetNode(i);
        float box[6] = {FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
        if (node->IsLeaf())
        {
            for (std::uint32_t k = 0; k < node->packedCount; ++k)
            {
                const float* faceBox = m_packed[node->packedFirst + k].box;
                for (int a = 0; a < 3; ++a)
                {
                    box[a] = std::min(box[a], faceBox[a]);
                    box[a + 3] = std::max(box[a + 3], faceBox[a + 3]);
                }
            }
            if (node->packedCount == 0)
            {
                std::copy(box, box + 6, node->contentBox);
                continue;
            }
            // Only what lies inside the voxel: the rest is in other leaves.
            // A face that only grazes the voxel (within the insertion's
            // slack) keeps a flat box on the voxel's side.
            for (int a = 0; a < 3; ++a)
            {
                const float low = std::max(box[a], node->voxel.box[a]);
                const float high = std::min(box[a + 3], node->voxel.box[a + 3]);
                box[a] = low <= high ? low : std::min(low, high);
                box[a + 3] = low <= high ? high : std::max(low, high);
            }
        }
        else
        {
            for (const tFaceOcTree::Node* child = node->firstChild; child != nullptr; child = child->nextSibling)
                for (int a = 0; a < 3; ++a)
                {
                    box[a] = std::min(box[a], child->contentBox[a]);
                    box[a + 3] = std::max(box[a + 3], child->contentBox[a + 3]);
                }
        }
        std::copy(box, box + 6, node->contentBox);
    }
    // Every inner node's children that hold faces, their boxes side by side,
    // with what the search needs of each child: it never reads the child
    // records themselves.
    std::uint32_t tables = 0;
    for (std::uint32_t i = 0; i < m_faceTree.GetNodeCount(); ++i)
    {
        tFaceOcTree::Node* node = m_faceTree.GetNode(i);
        if (!node->IsLeaf())
            node->groupFirst = tables++;
    }
    m_childTables.resize(tables);
    for (std::uint32_t i = 0; i < m_faceTree.GetNodeCount(); ++i)
    {
        const tFaceOcTree::Node* node = m_faceTree.GetNode(i);
        if (node->IsLeaf())
            continue;
        stChildTable& table = m_childTables[node->groupFirst];
        for (const tFaceOcTree::Node* child = node->firstChild; child != nullptr && table.count < 8;
             child = child->nextSibling)
        {
            if (!(child->contentBox[0] <= child->contentBox[3]))
                continue; // no faces below
            const int c = table.count++;
            for (int a = 0; a < 3; ++a)
            {
                table.low[a][c] = child->contentBox[a];
                table.high[a][c] = child->contentBox[a + 3];
            }
            if (child->IsLeaf())
            {
                table.first[c] = child->packedFirst;
                table.packedCount[c] = child->packedCount;
                table.groupFirst[c] = child->groupFirst;
            }
            else
            {
                table.first[c] = child->groupFirst;
                table.packedCount[c] = kInnerChild;
                table.groupFirst[c] = kNotPacked;
            }
        }
    }
    return true;
}

std::uint32_t cCADSearchTree::TieRank(const cInspectionFace& face, const float point[3], double distance) const
{
    const auto f = static_cast<std::size_t>(&face - m_faces.data());
    for (std::uint32_t e = m_faceEntryFirst[f]; e < m_faceEntryFirst[f + 1]; ++e)
    {
        const std::uint32_t rank = m_faceEntryRank[e];
        if (CubeContains(m_packedLeaf[rank]->voxel.box, point, distance))
            return rank;
    }
    return kNotPacked;
}

namespace
{

// A corner's place for welding: its coordinates' bits (-0 taken as +0).
struct stCornerKey
{
    std::uint32_t bits[3];
    std::uint32_t corner; // face * 4 + k

    bool SamePlace(const stCornerKey& other) const
    {
        return bits[0] == other.bits[0] && bits[1] == other.bits[1] && bits[2] == other.bits[2];
    }
    bool operator<(const stCornerKey& other) const
    {
        if (bits[0] != other.bits[0])
            return bits[0] < other.bits[0];
        if (bits[1] != other.bits[1])
            return bits[1] < other.bits[1];
        if (bits[2] != other.bits[2])
            return bits[2] < other.bits[2];
        return corner < other.corner;
    }
};

std::uint32_t FloatBits(float f)
{
    const float positive = f + 0.0f;
    std::uint32_t bits;
    std::memcpy(&bits, &positive, sizeof bits);
    return bits;
}

struct stEdgeKey
{
    std::uint64_t ends; // the two welded corners, smaller first
    std::uint32_t face;
    std::uint8_t slot;

    bool operator<(const stEdgeKey& other) const
    {
        if (ends != other.ends)
            return ends < other.ends;
        if (face != other.face)
            return face < other.face;
        return slot < other.slot;
    }
};

// The unit normal of the triangle (a, b, c) in double; zero when it has no area.
void UnitNormal(const float* a, const float* b, const float* c, double n[3])
{
    TriangleCrossProduct(a, b, c, n);
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int i = 0; i < 3; ++i)
        n[i] = length > 0.0 ? n[i] / length : 0.0;
}

// The angle of the triangle (a, b, c) at a.
double CornerAngle(const float* a, const float* b, const float* c)
{
    double u[3], v[3];
    for (int i = 0; i < 3; ++i)
    {
        u[i] = static_cast<double>(b[i]) - a[i];
        v[i] = static_cast<double>(c[i]) - a[i];
    }
    const double cross[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double sine = std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
    const double cosine = u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
    return sine == 0.0 && cosine == 0.0 ? 0.0 : std::atan2(sine, cosine);
}

// The triangles of a face as corner numbers and the edge slots of their
// sides AB, BC, CA (see MeasureFace).
struct stFaceTriangle
{
    int corner[3];
    std::uint8_t slot[3];
};
constexpr stFaceTriangle kTriangleOfTriangle{{0, 1, 2}, {0, 1, 2}};
constexpr stFaceTriangle kFirstOfQuad{{0, 1, 2}, {0, 1, 4}};
constexpr stFaceTriangle kSecondOfQuad{{0, 2, 3}, {4, 2, 3}};

} // namespace

bool cCADSearchTree::BuildPseudoNormals()
{
    const std::size_t faceCount = m_faces.size();
    try
    {
        // Corners at the same place are one corner, across faces and meshes:
        // render meshes of a closed part repeat their seams' vertices.
        std::vector<stCornerKey> keys(faceCount * 4);
        for (std::size_t f = 0; f < faceCount; ++f)
            for (int k = 0; k < 4; ++k)
            {
                const float* p = m_faces[f].Corner(k);
                keys[f * 4 + static_cast<std::size_t>(k)] =
                    stCornerKey{{FloatBits(p[0]), FloatBits(p[1]), FloatBits(p[2])}, static_cast<std::uint32_t>(f * 4 + k)};
            }
        std::sort(keys.begin(), keys.end());
        m_faceSigns.assign(faceCount, stFaceSign{});
        std::vector<std::array<double, 3>> cornerSums;
        for (std::size_t i = 0; i < keys.size(); ++i)
        {
            if (i == 0 || !keys[i].SamePlace(keys[i - 1]))
                cornerSums.push_back({0.0, 0.0, 0.0});
            m_faceSigns[keys[i].corner / 4].corner[keys[i].corner % 4] = static_cast<std::uint32_t>(cornerSums.size() - 1);
        }
        keys.clear();
        keys.shrink_to_fit();

        std::vector<stEdgeKey> edges;
        edges.reserve(faceCount * 3);
        std::vector<std::array<double, 3>> triangleNormals(faceCount * 2);
        for (std::size_t f = 0; f < faceCount; ++f)
        {
            const cInspectionFace& face = m_faces[f];
            stFaceSign& sign = m_faceSigns[f];
            std::fill(sign.edge, sign.edge + 5, kNoNormal);
            const bool quad = face.IsQuad();
            for (int half = 0; half < (quad ? 2 : 1); ++half)
            {
                const stFaceTriangle& triangle = !quad ? kTriangleOfTriangle : (half == 0 ? kFirstOfQuad : kSecondOfQuad);
                const float* v[3] = {face.Corner(triangle.corner[0]), face.Corner(triangle.corner[1]),
                                     face.Corner(triangle.corner[2])};
                std::array<double, 3>& n = triangleNormals[f * 2 + static_cast<std::size_t>(half)];
                UnitNormal(v[0], v[1], v[2], n.data());
                for (int k = 0; k < 3; ++k)
                {
                    const double angle = CornerAngle(v[k], v[(k + 1) % 3], v[(k + 2) % 3]);
                    std::array<double, 3>& sum = cornerSums[sign.corner[triangle.corner[k]]];
                    for (int i = 0; i < 3; ++i)
                        sum[i] += angle * n[i];
                    const std::uint64_t u = sign.corner[triangle.corner[k]];
                    const std::uint64_t w = sign.corner[triangle.corner[(k + 1) % 3]];
                    if (u != w)
                        edges.push_back(stEdgeKey{u < w ? (u << 32 | w) : (w << 32 | u), static_cast<std::uint32_t>(f),
                                                  static_cast<std::uint8_t>(triangle.slot[k] + 8 * half)});
                }
            }
        }
        std::sort(edges.begin(), edges.end());
        m_edgeNormals.clear();
        for (std::size_t i = 0; i < edges.size();)
        {
            std::size_t j = i;
            double sum[3] = {0, 0, 0};
            for (; j < edges.size() && edges[j].ends == edges[i].ends; ++j)
            {
                const std::array<double, 3>& n = triangleNormals[edges[j].face * 2 + edges[j].slot / 8];
                for (int k = 0; k < 3; ++k)
                    sum[k] += n[k];
                m_faceSigns[edges[j].face].edge[edges[j].slot % 8] = static_cast<std::uint32_t>(m_edgeNormals.size());
            }
            m_edgeNormals.push_back({static_cast<float>(sum[0]), static_cast<float>(sum[1]), static_cast<float>(sum[2])});
            i = j;
        }
        m_cornerNormals.resize(cornerSums.size());
        for (std::size_t c = 0; c < cornerSums.size(); ++c)
            for (int k = 0; k < 3; ++k)
                m_cornerNormals[c][static_cast<std::size_t>(k)] = static_cast<float>(cornerSums[c][static_cast<std::size_t>(k)]);
    }
    catch (const std::bad_alloc&)
    {
        m_faceSigns.clear();
        m_cornerNormals.clear();
        m_edgeNormals.clear();
        return false;
    }
    return true;
}

double cCADSearchTree::SignAtFeature(const stFaceSearch& search) const
{
    const std::uint8_t feature = search.bestFeature;
    if (feature == 0 || m_faceSigns.empty())
        return search.bestD;
    const stFaceSign& sign = m_faceSigns[static_cast<std::size_t>(search.best - m_faces.data())];
    const std::uint32_t slot = feature < kFirstEdgeFeature ? sign.corner[feature - 1] : sign.edge[feature - kFirstEdgeFeature];
    if (slot == kNoNormal)
        return search.bestD;
    const std::array<float, 3>& n = feature < kFirstEdgeFeature ? m_cornerNormals[slot] : m_edgeNormals[slot];
    double side = 0.0;
    double length2 = 0.0;
    for (int i = 0; i < 3; ++i)
    {
        side += (search.p[i] - search.closest[i]) * n[static_cast<std::size_t>(i)];
        length2 += static_cast<double>(n[static_cast<std::size_t>(i)]) * n[static_cast<std::size_t>(i)];
    }
    // Faces folded flat onto each other cancel: their own sign stands.
    if (!(length2 > 1e-12))
        return search.bestD;
    return side < 0.0 ? -search.bestAbs : search.bestAbs;
}

void cCADSearchTree::Clear()
{
    m_vertexTree.Clear();
    m_faceTree.Clear();
    m_faceTree.ResetRootCube();
    m_faces.clear();
    m_faces.shrink_to_fit();
    m_geometry.clear();
    m_geometry.shrink_to_fit();
    m_packed.clear();
    m_packed.shrink_to_fit();
    m_packedLeaf.clear();
    m_packedLeaf.shrink_to_fit();
    m_groupBoxes.clear();
    m_groupBoxes.shrink_to_fit();
    m_childTables.clear();
    m_childTables.shrink_to_fit();
    m_faceEntryFirst.clear();
    m_faceEntryFirst.shrink_to_fit();
    m_faceEntryRank.clear();
    m_faceEntryRank.shrink_to_fit();
    m_faceSigns.clear();
    m_faceSigns.shrink_to_fit();
    m_cornerNormals.clear();
    m_cornerNormals.shrink_to_fit();
    m_edgeNormals.clear();
    m_edgeNormals.shrink_to_fit();
}

bool cCADSearchTree::IsSearchable() const
{
    return !m_vertexTree.IsEmpty() && m_faceTree.GetRoot() != nullptr;
}
