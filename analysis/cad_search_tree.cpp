#include "analysis/cad_search_tree.h"

#include "analysis/inspection_geometry.h"
#include "core/bounding_box.h"
#include "core/mesh_triangle.h"
#include "core/vector_math.h"

#include <cfloat>
#include <cmath>
#include <algorithm>
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

bool BoxContains(const float box[6], const float p[3], double margin)
{
    for (int i = 0; i < 3; ++i)
    {
        if (!(static_cast<double>(box[i]) - margin <= p[i] && p[i] <= static_cast<double>(box[i + 3]) + margin))
            return false;
    }
    return true;
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
    m_packed.clear();

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
    const float minimumEdge =
        std::min(kMinimumVoxelEdge, static_cast<float>(edge / static_cast<double>(1 << kMinimumSplitLevels)));
    m_faceTree.Reset(rootVoxel.box, kFaceBucketMaximum, minimumEdge);

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
    PackLeaves();
}

void cCADSearchTree::PackLeaves()
{
    const std::uint32_t nodes = m_faceTree.GetNodeCount();
    try
    {
        std::size_t total = 0;
        for (std::uint32_t i = 0; i < nodes; ++i)
            total += m_faceTree.GetNode(i)->bucket.GetCount();
        m_packed.reserve(total);
    }
    catch (const std::bad_alloc&)
    {
        return; // the scans read the buckets instead
    }
    for (std::uint32_t i = 0; i < nodes; ++i)
    {
        tFaceOcTree::Node* node = m_faceTree.GetNode(i);
        if (!node->IsLeaf() || node->bucket.IsEmpty())
            continue;
        node->packedFirst = static_cast<std::uint32_t>(m_packed.size());
        node->packedCount = node->bucket.GetCount();
        for (const auto* entry = node->bucket.GetHead(); entry != nullptr; entry = entry->link)
        {
            stPackedFace packed;
            std::copy(entry->value->box, entry->value->box + 6, packed.box);
            packed.face = entry->value;
            m_packed.push_back(packed);
        }
    }
}

double cCADSearchTree::MeasureFace(const cInspectionFace& face, const float point[3], double bound, double closest[3])
{
    const float* a = face.Corner(0);
    const float* b = face.Corner(1);
    const float* c = face.Corner(2);
    if (!face.IsQuad())
        return SignedPointTriangleDistance(point, a, b, c, face.normal, bound, closest);
    double first[3];
    double second[3];
    const double d1 = SignedPointTriangleDistance(point, a, b, c, face.normal, bound, first);
    // A quad need not be planar: (A, C, D) is bounded by its own plane, and
    // its distance takes the face's sign like the first half's.
    const float* d = face.Corner(3);
    double n[3];
    TriangleCrossProduct(a, c, d, n);
    float ownNormal[3] = {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])};
    NormaliseVector3f(ownNormal);
    double d2 = SignedPointTriangleDistance(point, a, c, d, ownNormal, bound, second);
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
        closest[0] = pick[0], closest[1] = pick[1], closest[2] = pick[2];
    return result;
}

const cInspectionFace* cCADSearchTree::ClosestFace(const tFaceOcTree::Node* node, const float point[3], double& d,
                                                   double closest[3]) const
{
    if (node == nullptr)
        return nullptr;
    const double bound = std::fabs(d);
    if (!BoxContains(node->voxel.box, point, bound))
        return nullptr;

    const cInspectionFace* best = nullptr;
    if (!node->IsLeaf())
    {
        // Which halves of the node the search sphere's box reaches, from the
        // node's centre alone: children out of reach are never touched (their
        // records are cold in the cache). The slack keeps the test on the
        // safe side of the children's rounded boxes, which decide exactly.
        bool lowerHalf[3];
        bool upperHalf[3];
        for (int i = 0; i < 3; ++i)
        {
            const double reach = std::fabs(d) + 1e-6 / node->voxel.inverseEdge[i];
            lowerHalf[i] = point[i] <= node->voxel.centre[i] + reach;
            upperHalf[i] = point[i] >= node->voxel.centre[i] - reach;
        }
        int k = 0;
        for (const tFaceOcTree::Node* child = node->firstChild; child != nullptr; child = child->nextSibling, ++k)
        {
            // Octant k lies in the lower half on each axis whose bit is set.
            bool reachable = true;
            for (int i = 0; i < 3 && reachable; ++i)
                reachable = (k & (1 << i)) != 0 ? lowerHalf[i] : upperHalf[i];
            if (!reachable)
                continue;
            double childD = d;
            double childClosest[3];
            const cInspectionFace* found = ClosestFace(child, point, childD, childClosest);
            if (found != nullptr && std::fabs(childD) < std::fabs(d))
            {
                best = found;
                d = childD;
                closest[0] = childClosest[0], closest[1] = childClosest[1], closest[2] = childClosest[2];
            }
        }
        return best;
    }

    auto visit = [&](const float faceBox[6], const cInspectionFace& face) {
        const double limit = std::fabs(d);
        // The one-sided x test first: it rejects most faces with one compare.
        if (!(static_cast<double>(faceBox[0]) - limit <= point[0]))
            return;
        if (!BoxContains(faceBox, point, limit))
            return;
        double faceClosest[3];
        const double faceD = MeasureFace(face, point, limit, faceClosest);
        if (std::fabs(faceD) < limit)
        {
            best = &face;
            d = faceD;
            closest[0] = faceClosest[0], closest[1] = faceClosest[1], closest[2] = faceClosest[2];
        }
    };
    if (node->packedFirst != 0xFFFFFFFFu)
    {
        const stPackedFace* packed = m_packed.data() + node->packedFirst;
        for (std::uint32_t k = 0; k < node->packedCount; ++k)
            visit(packed[k].box, *packed[k].face);
    }
    else
    {
        for (const auto* entry = node->bucket.GetHead(); entry != nullptr; entry = entry->link)
            visit(entry->value->box, *entry->value);
    }
    return best;
}

void cCADSearchTree::Clear()
{
    m_vertexTree.Clear();
    m_faceTree.Clear();
    m_faceTree.ResetRootCube();
    m_faces.clear();
    m_faces.shrink_to_fit();
    m_packed.clear();
    m_packed.shrink_to_fit();
}

bool cCADSearchTree::IsSearchable() const
{
    return !m_vertexTree.IsEmpty() && m_faceTree.GetRoot() != nullptr;
}
