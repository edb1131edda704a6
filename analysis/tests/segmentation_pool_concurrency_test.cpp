// The sharpness values and the split's labels of big meshes, with the
// process's pool sharing their passes: the same values and labels as alone
// and as the walks give.
#include "analysis/segmentation.h"
#include "analysis/segmentation_regions.h"
#include "analysis/segmentation_split.h"
#include "analysis_test_meshes.h"
#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace
{

TEST(SegmentationPool, SharedPassesGiveEveryVertexTheSameValue)
{
    // A CAD block subdivided past one block of the angle pass, with a
    // vertex that no triangle uses.
    const ON_Mesh block = analysis_test::MidpointSubdivision(analysis_test::MidpointSubdivision(
        analysis_test::MidpointSubdivision(analysis_test::CadBlock(6, 8, 30))));
    cMesh alone, shared;
    for (cMesh* mesh : {&alone, &shared})
    {
        analysis_test::FillMesh(*mesh, block);
        const float lone[3] = {0.0f, 0.0f, 0.0f};
        mesh->AddVertex(lone);
    }
    ASSERT_GT(alone.GetTriangleCount(), 1u << 14);
    ComputeSegmentationValues(alone);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    ComputeSegmentationValues(shared);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    std::size_t sharp = 0;
    for (std::uint32_t i = 0; i < alone.GetVertexCount(); ++i)
    {
        const float a = alone.GetVertex(i)->GetScalar(), b = shared.GetVertex(i)->GetScalar();
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "vertex " << i;
        sharp += a > 50.0f;
    }
    EXPECT_GT(sharp, 0u) << "the block's edges are sharp";
}

// Runs the work alone and then with a pool of three threads.
void AloneAndPooled(const std::function<void(bool pooled)>& work)
{
    work(false);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    work(true);
    SetSharedThreadPool(nullptr);
    pool.Stop();
}

// A 200 x 200 plate of uneven cells, far out, its triangles selected where
// `selected` says of their cell (i across, j along).
void UnevenPlate(cMesh& mesh, const std::function<bool(int i, int j)>& selected)
{
    const int n = 200;
    std::uint32_t state = 11;
    const ON_Mesh plate = analysis_test::HeightField(n, [&state](double, double) {
        state = state * 1664525u + 1013904223u;
        return 4000.0 + 0.3 * double(state >> 8) / double(1u << 24);
    });
    analysis_test::FillMesh(mesh, plate);
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        mesh.GetTriangle(t)->flags = selected(int(t / 2 % n), int(t / 2 / n)) ? kTriangleFlagSelected : 0;
}

// The split's labels as walking the regions one by one from their first
// triangles gives them, every triangle's colour word in order; their number.
std::uint32_t WalkedLabels(cMesh& walks, std::vector<std::uint32_t>& walked)
{
    walks.ForEachTriangle([](cMeshTriangle& t) { t.colour = 0xFFFFFFFFu; });
    std::uint32_t labels = 0;
    for (std::uint32_t i = 0; i < walks.GetTriangleCount(); ++i)
        if (cMeshTriangle* t = walks.GetTriangle(i); !IsVisibleSelected(*t) && t->GetLabel() == kTriangleUnlabelled)
        {
            t->SetLabel(labels++);
            walks.LabelConnectedTriangles(t, kTriangleFlagSelected);
        }
    walks.ForEachTriangle([&](cMeshTriangle& t) { walked.push_back(t.colour); });
    return labels;
}

TEST(SegmentationPool, RegionsFirstFoundInLaterBlocksAreLabelledAsTheWalksLabelThem)
{
    // Selected rows cut the plate into strips; the last two start past the
    // first 65,536 triangles.
    const auto selected = [](int, int j) { return j == 20 || j == 100 || j == 170 || j == 185; };
    std::vector<std::uint32_t> walked, pooled;
    cMesh walks;
    UnevenPlate(walks, selected);
    const std::uint32_t labels = WalkedLabels(walks, walked);
    ASSERT_EQ(labels, 5u);
    AloneAndPooled([&](bool) {
        // Colour words an earlier split or painting left: every word, its
        // top byte too, ends as the walks leave it.
        cMesh mesh;
        UnevenPlate(mesh, selected);
        mesh.ForEachTriangle([](cMeshTriangle& t) { t.colour = 0x5A000000u | (t.vertexIndex[0] & 0xFFFF); });
        std::uint32_t count = 0;
        ASSERT_TRUE(LabelRegionsOnPool(mesh, count));
        EXPECT_EQ(count, labels);
        EXPECT_EQ(mesh.GetHighestLabel(), walks.GetHighestLabel());
        pooled.clear();
        mesh.ForEachTriangle([&](cMeshTriangle& t) { pooled.push_back(t.colour); });
        EXPECT_EQ(pooled, walked);
    });
}

TEST(SegmentationPool, ALinkIntoTheBandNotReturnedLabelsAsTheWalksDoAndOneBetweenRegionsIsLeftToThem)
{
    // The strips of the plate; the first triangle beside the band has its
    // link into the band turned to a band triangle far away (no walk follows
    // either), or its first link to a triangle outside the band turned to
    // one of the last strip (the walks then depend on where they start: the
    // pool declines).
    const auto selected = [](int, int j) { return j == 20 || j == 100 || j == 170 || j == 185; };
    const std::uint32_t band = 2 * (100 * 200 + 7), lastStrip = 2 * (190 * 200 + 7);
    const auto link = [band](cMesh& mesh, std::uint32_t to) {
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        {
            cMeshTriangle* t = mesh.GetTriangle(i);
            if (IsVisibleSelected(*t))
                continue;
            for (cMeshTriangle*& n : t->neighbour)
                if (n != nullptr && IsVisibleSelected(*n) == (to == band))
                {
                    n = mesh.GetTriangle(to);
                    return;
                }
        }
    };
    cMesh walks;
    UnevenPlate(walks, selected);
    link(walks, band);
    std::vector<std::uint32_t> walked, pooled;
    const std::uint32_t labels = WalkedLabels(walks, walked);
    AloneAndPooled([&](bool) {
        for (const std::uint32_t to : {band, lastStrip})
        {
            cMesh mesh;
            UnevenPlate(mesh, selected);
            link(mesh, to);
            std::uint32_t count = 0;
            ASSERT_EQ(LabelRegionsOnPool(mesh, count), to == band) << to;
            pooled.clear();
            mesh.ForEachTriangle([&](cMeshTriangle& t) { pooled.push_back(t.colour); });
            if (to == band)
            {
                EXPECT_EQ(count, labels);
                EXPECT_EQ(pooled, walked);
            }
            else
                EXPECT_EQ(std::count(pooled.begin(), pooled.end(), 0xFFFFFFFFu), long(pooled.size()));
        }
    });
}

TEST(SegmentationPool, AHiddenTriangleLeavesTheLabelsToTheWalksWithEveryColourWordUnlabelled)
{
    const auto selected = [](int, int j) { return j == 20 || j == 170; };
    AloneAndPooled([&](bool) {
        cMesh mesh;
        UnevenPlate(mesh, selected);
        mesh.ForEachTriangle([](cMeshTriangle& t) { t.colour = 7; });
        mesh.GetTriangle(2 * (180 * 200 + 3))->flags |= kTriangleFlagHidden;
        std::uint32_t count = 0;
        ASSERT_FALSE(LabelRegionsOnPool(mesh, count));
        std::uint32_t unlabelled = 0;
        mesh.ForEachTriangle([&](cMeshTriangle& t) { unlabelled += t.colour == 0xFFFFFFFFu; });
        EXPECT_EQ(unlabelled, mesh.GetTriangleCount());
    });
}

TEST(SegmentationPool, AFewMarkedIslandsAreCleanedUpOnAPoolAsAlone)
{
    // Marked squares of 1 to 12 cells a side every 25 cells, a tenth of the
    // plate: their regions are joined over the list of marked triangles,
    // which the pool's threads share. Islands of up to 40 in area go; the
    // rest of the plate is one region and stays.
    const auto selected = [](int i, int j) {
        const int side = 1 + (i / 25 + 3 * (j / 25)) % 12;
        return i % 25 < side && j % 25 < side;
    };
    std::vector<std::uint8_t> alone;
    AloneAndPooled([&](bool pooled) {
        cMesh mesh;
        UnevenPlate(mesh, selected);
        RemoveSmallRegions(mesh, 40.0);
        std::vector<std::uint8_t> flags;
        mesh.ForEachTriangle([&](cMeshTriangle& t) { flags.push_back(t.flags); });
        if (!pooled)
        {
            // Squares of 7 cells a side and more stay (about 49 in area),
            // of 6 and less go (about 36); nothing keeps a scratch mark.
            long kept = 0;
            for (int J = 0; J < 8; ++J)
                for (int I = 0; I < 8; ++I)
                    if (const int side = 1 + (I + 3 * J) % 12; side >= 7)
                        kept += 2 * side * side;
            EXPECT_EQ(std::count(flags.begin(), flags.end(), kTriangleFlagSelected), kept);
            EXPECT_EQ(std::count(flags.begin(), flags.end(), std::uint8_t(0)), long(flags.size()) - kept);
            alone = flags;
        }
        else
            EXPECT_EQ(flags, alone);
    });
}

} // namespace

namespace
{

TEST(SegmentationPool, SubMeshNormalsAreTheMeshsOwnWithAVertexsFacesInManyChunks)
{
    // A noisy 130 x 130 plate far out whose triangles go into the sub-mesh
    // in a scattered order, so that most vertices have faces in several
    // chunks of the normals' pass, and a vertex whose three faces lie in
    // three chunks: a huge one facing +z, a unit one and a huge one facing
    // -z, whose sum is zero in face order and not in any other. Its face
    // and vertex normals are, to the bit, those the host mesh computes from
    // the same vertices and faces.
    std::uint32_t state = 7;
    ON_Mesh plate = analysis_test::HeightField(130, [&state](double x, double y) {
        state = state * 1664525u + 1013904223u;
        return 300.0 + 0.01 * x - 0.02 * y + 0.05 * double(state >> 8) / double(1u << 24);
    });
    const int plateFaces = plate.FaceCount(), v = plate.VertexCount();
    const double huge = 1 << 30;
    for (const ON_3dPoint& p : {ON_3dPoint(0, 0, 0), ON_3dPoint(huge, 0, 0), ON_3dPoint(0, huge, 0), ON_3dPoint(1, 0, 0),
                                ON_3dPoint(0, 1, 0), ON_3dPoint(huge, 0, 0), ON_3dPoint(0, huge, 0)})
        plate.SetVertex(plate.VertexCount(), p);
    plate.SetTriangle(plateFaces, v, v + 1, v + 2);
    plate.SetTriangle(plateFaces + 1, v, v + 3, v + 4);
    plate.SetTriangle(plateFaces + 2, v, v + 6, v + 5);
    cMesh mesh;
    analysis_test::FillMesh(mesh, plate);
    std::vector<std::uint32_t> triangles;
    for (std::uint32_t i = 0; i < std::uint32_t(plateFaces); ++i)
        triangles.push_back(std::uint32_t(std::uint64_t{i} * 7919 % std::uint32_t(plateFaces)));
    ASSERT_EQ(std::set<std::uint32_t>(triangles.begin(), triangles.end()).size(), triangles.size());
    triangles.insert(triangles.begin(), std::uint32_t(plateFaces));
    triangles.insert(triangles.begin() + 20000, std::uint32_t(plateFaces + 1));
    triangles.push_back(std::uint32_t(plateFaces + 2));
    AloneAndPooled([&](bool pooled) {
        const std::unique_ptr<ON_Mesh> sub = BuildSubMesh(mesh, triangles);
        ASSERT_EQ(sub->FaceCount(), int(triangles.size()));
        ON_Mesh own = *sub;
        own.ComputeFaceNormals();
        own.m_N.Destroy();
        own.ComputeVertexNormals();
        ASSERT_EQ(sub->m_N.Count(), own.m_N.Count());
        EXPECT_EQ(own.m_N[v].z, 0.0f); // the huge faces cancel in face order
        EXPECT_EQ(std::memcmp(sub->m_FN.Array(), own.m_FN.Array(), sizeof(ON_3fVector) * std::size_t(own.m_FN.Count())), 0)
            << pooled;
        EXPECT_EQ(std::memcmp(sub->m_N.Array(), own.m_N.Array(), sizeof(ON_3fVector) * std::size_t(own.m_N.Count())), 0)
            << pooled;
    });
}

} // namespace
