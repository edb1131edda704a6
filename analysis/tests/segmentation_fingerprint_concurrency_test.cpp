// Detect and Split on a noisy, tilted scan of a CAD block far from the
// origin leave exactly the values, marks and host meshes they always have:
// every bit of them goes into one fingerprint per sensitivity, with and
// without the shared pool.
#include "analysis/segmentation.h"
#include "analysis/segmentation_split.h"
#include "analysis_test_meshes.h"
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "core/thread_pool.h"
#include "platform/host/dezaz_doc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{

struct stFingerprint
{
    std::uint64_t hash = 1469598103934665603ull;
    void Add(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i)
            hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    template <class T> void Add(const T& value) { Add(&value, sizeof value); }
};

// The block subdivided three times (its facet strips freed from the band,
// for the clean-up to take), turned about two axes, every vertex moved by up
// to 0.004 in each direction (a fixed sequence), and a vertex that no
// triangle uses.
ON_Mesh NoisyTiltedBlock()
{
    ON_Mesh mesh = analysis_test::CadBlock(6, 6, 12);
    for (int level = 0; level < 3; ++level)
        mesh = analysis_test::MidpointSubdivision(mesh);
    std::uint32_t state = 12345;
    const auto noise = [&state] {
        state = state * 1664525u + 1013904223u;
        return 0.004 * (double(state >> 8) / double(1u << 24) * 2.0 - 1.0);
    };
    const double a = 0.5, b = 0.3;
    for (ON_3fPoint& p : mesh.m_V)
    {
        const double x = p.x, y = std::cos(a) * p.y - std::sin(a) * p.z, z = std::sin(a) * p.y + std::cos(a) * p.z;
        p = ON_3fPoint(float(std::cos(b) * x + std::sin(b) * z + noise()), float(y + noise()),
                       float(-std::sin(b) * x + std::cos(b) * z + noise()));
    }
    const ON_3fPoint inside = mesh.m_V[0];
    mesh.SetVertex(mesh.VertexCount(), inside);
    return mesh;
}

std::uint64_t DetectAndSplit(const ON_Mesh& source, float sensitivity, std::size_t* objects)
{
    stFingerprint print;
    CDezazDoc doc;
    const CDezazObject* host = doc.AddMeshObject(source);
    cP3DScene scene{nullptr};
    cMeshObject* object = new cMeshObject();
    analysis_test::FillMesh(*object->GetMesh(), source);
    scene.AddObject(object);
    cMesh& mesh = *object->GetMesh();

    ComputeSegmentationValues(mesh);
    mesh.ForEachVertex([&](cVertex& v) { print.Add(v.GetScalar()); });
    MarkSharpTriangles(mesh, sensitivity);
    RemoveSmallRegions(mesh, SegmentationAreaLimit(mesh.GetBoundingBox()));
    RefreshSelectedVertices(mesh);
    mesh.ForEachTriangle([&](cMeshTriangle& t) { print.Add(t.flags); });
    mesh.ForEachVertex([&](cVertex& v) { print.Add(v.flags); });

    cSegmentationSplitter splitter(&doc, host->ModelObjectId(), L"test");
    EXPECT_TRUE(splitter.OnSplitIntoSubMeshes(&scene));
    *objects = 0;
    for (const CDezazObject* o : doc.Objects())
    {
        const auto* m = dynamic_cast<const CDezazMeshObject*>(o);
        if (m == nullptr)
            continue;
        ++*objects;
        print.Add(static_cast<unsigned int>(m->Attributes().m_color));
        const ON_Mesh& out = *m->Mesh();
        print.Add(out.m_V.Array(), sizeof(ON_3fPoint) * std::size_t(out.m_V.Count()));
        print.Add(out.m_F.Array(), sizeof(ON_MeshFace) * std::size_t(out.m_F.Count()));
        print.Add(out.m_N.Array(), sizeof(ON_3fVector) * std::size_t(out.m_N.Count()));
        print.Add(out.m_FN.Array(), sizeof(ON_3fVector) * std::size_t(out.m_FN.Count()));
    }
    return print.hash;
}

TEST(SegmentationFingerprint, DetectAndSplitGiveTheSameBitsAloneAndOnThePool)
{
    const ON_Mesh scan = NoisyTiltedBlock();
    ASSERT_GT(scan.FaceCount(), 1 << 14);
    struct stCase
    {
        float sensitivity;
        std::size_t objects;
        std::uint64_t hash;
    };
    for (const stCase& c : {stCase{20.0f, 7, 0x0685a77ffa2d061dull}, stCase{45.0f, 7, 0x50d78fea131c84f6ull}})
    {
        std::size_t objects = 0;
        const std::uint64_t alone = DetectAndSplit(scan, c.sensitivity, &objects);
        cThreadPool pool(3);
        SetSharedThreadPool(&pool);
        std::size_t pooledObjects = 0;
        const std::uint64_t pooled = DetectAndSplit(scan, c.sensitivity, &pooledObjects);
        SetSharedThreadPool(nullptr);
        pool.Stop();
        EXPECT_EQ(objects, c.objects) << c.sensitivity;
        EXPECT_EQ(alone, c.hash) << c.sensitivity;
        EXPECT_EQ(pooled, alone) << c.sensitivity;
    }
}

} // namespace
