#include "core/point_cloud.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

#include "core/frame_math.h"

namespace
{

std::vector<float> Box(const float b[6])
{
    return std::vector<float>(b, b + 6);
}

const std::vector<float> kEmptyBox{FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};

std::uint32_t Add(cPointCloud& cloud, float x, float y, float z, std::uint32_t flags = 0)
{
    const float p[3] = {x, y, z};
    const std::uint32_t index = cloud.AddVertex(p);
    cloud.GetVertex(index)->flags = flags;
    return index;
}

TEST(PointCloud, AddedVerticesKnowTheirIndex)
{
    cPointCloud cloud;
    EXPECT_EQ(Add(cloud, 1, 2, 3), 0u);
    EXPECT_EQ(Add(cloud, 4, 5, 6), 1u);
    const cVertex* v = cloud.GetVertex(1);
    EXPECT_EQ(v->x, 4.0f);
    EXPECT_EQ(v->index, 1u);
    EXPECT_EQ(v->flags, 0u);
    EXPECT_EQ(v->nz, 0.0f);
    EXPECT_EQ(v->GetScalar(), 0.0f);
    EXPECT_EQ(cloud.GetVertexCount(), 2u);
}

TEST(PointCloud, VerticesKeepTheirAddressesAcrossChunks)
{
    cPointCloud cloud;
    for (int i = 0; i < 1024; ++i)
        Add(cloud, static_cast<float>(i), 0, 0);
    const cVertex* last = cloud.GetVertex(1023);
    EXPECT_EQ(cloud.GetVertexArray().GetChunkCount(), 1u);
    Add(cloud, 1024, 0, 0);
    EXPECT_EQ(cloud.GetVertexArray().GetChunkCount(), 2u);
    EXPECT_EQ(cloud.GetVertex(1023), last);
    EXPECT_EQ(last->x, 1023.0f);
    EXPECT_EQ(cloud.GetVertex(1024)->index, 1024u);
}

TEST(PointCloud, EmptyCloudBoxes)
{
    cPointCloud cloud;
    cloud.UpdateBoundingBox();
    EXPECT_FALSE(cloud.IsBoxValid());
    EXPECT_EQ(Box(cloud.GetBoundingBox()), kEmptyBox);
    float box[6];
    cloud.ComputeBoundingBox(box);
    EXPECT_EQ(Box(box), kEmptyBox);
    double frame[12];
    MakeIdentity3x4(frame);
    cloud.GetBoundingBoxInFrame(box, frame);
    EXPECT_EQ(Box(box), kEmptyBox);
}

TEST(PointCloud, BoxesSkipExcludedVertices)
{
    cPointCloud cloud;
    Add(cloud, 0, 0, 0);
    Add(cloud, 1, 2, 3);
    Add(cloud, 100, 100, 100, kVertexFlagExcluded);
    Add(cloud, -5, 0, 0, kVertexFlagRingVisit);

    EXPECT_EQ(Box(cloud.GetBoundingBox()), (std::vector<float>{-5, 0, 0, 1, 2, 3}));
    EXPECT_TRUE(cloud.IsBoxValid());

    float box[6];
    cloud.ComputeBoundingBox(box);
    EXPECT_EQ(Box(box), (std::vector<float>{0, 0, 0, 1, 2, 3})) << "bit 3 is left out here only";

    double frame[12];
    MakeIdentity3x4(frame);
    frame[3] = 10;
    EXPECT_EQ(cloud.GetTransformedBoundingBox(box, frame), box);
    EXPECT_EQ(Box(box), (std::vector<float>{5, 0, 0, 11, 2, 3}));

    // A cloud whose every vertex is excluded has no valid box.
    cPointCloud excluded;
    Add(excluded, 1, 1, 1, kVertexFlagExcluded);
    excluded.UpdateBoundingBox();
    EXPECT_FALSE(excluded.IsBoxValid());
}

TEST(PointCloud, TransformMovesPointsAndTurnsNormals)
{
    cPointCloud cloud;
    Add(cloud, 1, 0, 0);
    cloud.GetVertex(0)->nx = 1;
    Add(cloud, FLT_MAX, 7, 7); // an empty scan cell
    cloud.GetVertex(1)->nx = 1;
    cloud.UpdateBoundingBox();

    // 90 degrees about z, then up by 5.
    const double m[12] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 5};
    cloud.Transform(m);
    EXPECT_FALSE(cloud.IsBoxValid());
    const cVertex* v = cloud.GetVertex(0);
    EXPECT_FLOAT_EQ(v->y, 1.0f);
    EXPECT_FLOAT_EQ(v->z, 5.0f);
    EXPECT_FLOAT_EQ(v->ny, 1.0f);
    EXPECT_EQ(v->nz, 0.0f) << "normals take no translation";
    const cVertex* empty = cloud.GetVertex(1);
    EXPECT_EQ(empty->x, FLT_MAX);
    EXPECT_EQ(empty->y, 7.0f);
    EXPECT_EQ(empty->nx, 1.0f);

    cPointCloud nothing;
    nothing.UpdateBoundingBox();
    nothing.Transform(m);
    EXPECT_FALSE(nothing.IsBoxValid());
}

TEST(PointCloud, TransformAboutPointKeepsThePointFixed)
{
    cPointCloud cloud;
    Add(cloud, 2, 3, 0);
    Add(cloud, 3, 3, 0);
    const double rotation[12] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    const float pivot[3] = {2, 3, 0};
    cloud.TransformAboutPoint(rotation, pivot);
    EXPECT_FLOAT_EQ(cloud.GetVertex(0)->x, 2.0f);
    EXPECT_FLOAT_EQ(cloud.GetVertex(0)->y, 3.0f);
    EXPECT_FLOAT_EQ(cloud.GetVertex(1)->x, 2.0f);
    EXPECT_FLOAT_EQ(cloud.GetVertex(1)->y, 4.0f);
}

TEST(PointCloud, FlipNormalsNegatesEveryNormal)
{
    cPointCloud cloud;
    Add(cloud, 0, 0, 0);
    cloud.GetVertex(0)->ny = 0.5f;
    cloud.FlipNormals();
    EXPECT_EQ(cloud.GetVertex(0)->ny, -0.5f);
}

TEST(PointCloudMerge, ScanMergesWithinASphere)
{
    cPointCloud cloud;
    EXPECT_EQ(cloud.AddVertex(0, 0, 0, true, 0.5f), 0u);
    EXPECT_EQ(cloud.AddVertex(0.5f, 0, 0, true, 0.5f), 0u) << "a distance equal to the tolerance merges";
    EXPECT_EQ(cloud.AddVertex(0.4f, 0.4f, 0, true, 0.5f), 1u) << "outside the sphere, inside the box";
    EXPECT_EQ(cloud.AddVertex(0, 0, 0, false, 0.5f), 2u) << "without merge every point is added";
    EXPECT_EQ(cloud.GetVertexCount(), 3u);
}

TEST(PointCloudMerge, IndexMergesWithinABox)
{
    cPointCloud cloud;
    cloud.SetIndexed(true);
    EXPECT_EQ(cloud.AddVertex(0, 0, 0, true, 0.5f), 0u);
    EXPECT_EQ(cloud.AddVertex(0.4f, 0.4f, 0.4f, true, 0.5f), 0u) << "inside the box";
    EXPECT_EQ(cloud.AddVertex(0.5f, 0, 0, true, 0.5f), 1u) << "a difference equal to the tolerance does not";
    EXPECT_EQ(cloud.AddVertex(5, 5, 5, true, 0.5f), 2u);
    EXPECT_EQ(cloud.AddVertex(5, 5, 5.25f, true, 0.5f), 2u);
    EXPECT_EQ(cloud.GetVertexCount(), 3u);
    // The taken-back slot is clean for the next addition.
    EXPECT_EQ(cloud.AddVertex(-9, 0, 0, false, 0), 3u);
    EXPECT_EQ(cloud.GetVertex(3)->index, 3u);

    // The import protocol: after the index is emptied and the flag cleared,
    // merging falls back to the scan.
    cloud.ClearMergeIndex();
    cloud.SetIndexed(false);
    EXPECT_EQ(cloud.AddVertex(0.5f, 0, 0, true, 0.5f), 0u);
}

TEST(PointCloudMerge, IndexAnswersLikeTheBoxScanAcrossCellBorders)
{
    // Points on a lattice finer than the tolerance, nudged by a few ulps, so
    // that pairs straddle cell borders on every axis: each addition must weld
    // to the lowest-indexed earlier vertex inside its box, as a scan finds it.
    const float tolerance = 0.25f;
    std::mt19937 random(11);
    std::uniform_int_distribution<int> step(-6, 6);
    std::uniform_int_distribution<int> nudge(-2, 2);
    const auto coordinate = [&] {
        float c = static_cast<float>(step(random)) * 0.125f;
        for (int k = nudge(random); k != 0; k += k > 0 ? -1 : 1)
            c = std::nextafter(c, k > 0 ? FLT_MAX : -FLT_MAX);
        return c;
    };
    cPointCloud cloud;
    cloud.SetIndexed(true);
    for (int i = 0; i < 3000; ++i)
    {
        const float p[3] = {coordinate(), coordinate(), coordinate()};
        std::uint32_t expected = cloud.GetVertexCount();
        for (std::uint32_t v = 0; v < cloud.GetVertexCount() && expected == cloud.GetVertexCount(); ++v)
        {
            const cVertex* q = cloud.GetVertex(v);
            if (std::fabs(q->x - p[0]) < tolerance && std::fabs(q->y - p[1]) < tolerance &&
                std::fabs(q->z - p[2]) < tolerance)
                expected = v;
        }
        ASSERT_EQ(cloud.AddVertex(p[0], p[1], p[2], true, tolerance), expected) << "point " << i;
    }
}

TEST(PointCloudMerge, IndexWeldsWhateverTheOrderOfAddition)
{
    // Clusters of near twins around lattice sites, added in a random order:
    // every point must weld onto the first of its cluster.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> jitter(-0.2e-4f, 0.2e-4f);
    struct Sample
    {
        float p[3];
        int site;
    };
    std::vector<Sample> samples;
    for (int site = 0; site < 300; ++site)
        for (int twin = 0; twin < 4; ++twin)
        {
            // Sites share coordinates on some axes, as scanned grids do.
            const float base[3] = {static_cast<float>(site % 7), static_cast<float>(site % 5) * 0.5f,
                                   static_cast<float>(site / 35)};
            samples.push_back(
                {{base[0] + jitter(random), base[1] + jitter(random), base[2] + jitter(random)}, site});
        }
    std::shuffle(samples.begin(), samples.end(), random);

    cPointCloud cloud;
    cloud.SetIndexed(true);
    std::vector<std::uint32_t> indexOfSite(300, kNoVertexIndex);
    for (const Sample& s : samples)
    {
        const std::uint32_t index = cloud.AddVertex(s.p[0], s.p[1], s.p[2], true, kImportMergeTolerance);
        if (indexOfSite[s.site] == kNoVertexIndex)
            indexOfSite[s.site] = index;
        ASSERT_EQ(index, indexOfSite[s.site]);
    }
    EXPECT_EQ(cloud.GetVertexCount(), 300u);
}

TEST(PointCloudMerge, PointsThatCannotBeIndexedAreAddedAsTheyAre)
{
    cPointCloud cloud;
    cloud.SetIndexed(true);
    const float nan = std::nanf("");
    EXPECT_EQ(cloud.AddVertex(nan, 0, 0, true, 0.1f), 0u);
    EXPECT_EQ(cloud.AddVertex(nan, 0, 0, true, 0.1f), 1u);
    EXPECT_EQ(cloud.AddVertex(FLT_MAX, 0, 0, true, 1e-30f), 2u);
    EXPECT_EQ(cloud.AddVertex(FLT_MAX, 0, 0, true, 1e-30f), 3u);
    EXPECT_EQ(cloud.AddVertex(1, 1, 1, true, 0.1f), 4u);
    EXPECT_EQ(cloud.AddVertex(1, 1, 1.05f, true, 0.1f), 4u);
    EXPECT_EQ(cloud.AddVertex(1, 1, 1, true, 0.0f), 5u) << "nothing coincides within no tolerance";
    // A tolerance far wider than the index cells still finds the lowest index.
    EXPECT_EQ(cloud.AddVertex(1.5f, 1, 1, true, 50.0f), 4u);
}

TEST(PointCloudMerge, ClearEmptiesTheIndex)
{
    cPointCloud cloud;
    cloud.SetIndexed(true);
    cloud.AddVertex(1, 1, 1, true, 0.1f);
    cloud.Clear();
    EXPECT_FALSE(cloud.IsIndexed());
    EXPECT_EQ(cloud.GetVertexCount(), 0u);
    cloud.SetIndexed(true);
    // A stale node would point into the freed vertices.
    EXPECT_EQ(cloud.AddVertex(1, 1, 1, true, 0.1f), 0u);
    EXPECT_EQ(cloud.AddVertex(1, 1, 1, true, 0.1f), 0u);
}

TEST(PointCloudMerge, IndexRefilledAfterClearingWeldsAsAFreshOne)
{
    // Fillings of very different sizes and tolerances through one index: a
    // large one (its table is freed by the emptying), small ones (their table
    // is kept and reused). Each must weld exactly as the box scan does, with
    // nothing left over from the filling before.
    std::mt19937 random(3);
    cPointCloud cloud;
    for (const auto& [count, tolerance] : {std::pair{20000, 0.01f}, std::pair{500, 0.2f}, std::pair{700, 0.05f},
                                           std::pair{20000, 0.002f}, std::pair{300, 0.3f}})
    {
        cloud.ClearMergeIndex();
        cloud.Clear();
        cloud.SetIndexed(true);
        std::uniform_int_distribution<int> site(0, count / 4);
        std::uniform_real_distribution<float> jitter(-tolerance, tolerance);
        std::vector<std::array<float, 3>> added;
        for (int i = 0; i < count; ++i)
        {
            const int s = site(random);
            const float p[3] = {static_cast<float>(s % 37) + jitter(random),
                                static_cast<float>(s / 37 % 41) + jitter(random), static_cast<float>(s) * 0.01f};
            std::uint32_t expected = static_cast<std::uint32_t>(added.size());
            for (std::uint32_t v = 0; v < added.size() && expected == added.size(); ++v)
                if (std::fabs(added[v][0] - p[0]) < tolerance && std::fabs(added[v][1] - p[1]) < tolerance &&
                    std::fabs(added[v][2] - p[2]) < tolerance)
                    expected = v;
            const std::uint32_t index = cloud.AddVertex(p[0], p[1], p[2], true, tolerance);
            ASSERT_EQ(index, expected) << count << " points at " << tolerance << ", point " << i;
            if (index == added.size())
                added.push_back({p[0], p[1], p[2]});
        }
    }
}

TEST(PointCloudIterator, SkipsExcludedVertices)
{
    cPointCloud cloud;
    Add(cloud, 0, 0, 0, kVertexFlagExcluded);
    Add(cloud, 1, 0, 0);
    Add(cloud, 2, 0, 0, kVertexFlagExcluded);
    Add(cloud, 3, 0, 0, kVertexFlagRingVisit);
    Add(cloud, 4, 0, 0, kVertexFlagExcluded);

    auto iterator = cloud.CreatePointsIterator();
    EXPECT_EQ(iterator->GetCount(), 5u);
    EXPECT_TRUE(iterator->HasPoints());
    std::vector<float> seen;
    for (iterator->First(); !iterator->IsDone(); iterator->Next())
        seen.push_back(iterator->GetVertex()->x);
    EXPECT_EQ(seen, (std::vector<float>{1, 3}));
    iterator->First();
    EXPECT_EQ(iterator->GetVertex()->x, 1.0f);
}

TEST(PointCloudIterator, AllExcludedIsDoneAtOnce)
{
    cPointCloud cloud;
    Add(cloud, 0, 0, 0, kVertexFlagExcluded);
    Add(cloud, 1, 0, 0, kVertexFlagExcluded);
    cPointCloudIterator iterator(&cloud);
    EXPECT_TRUE(iterator.IsDone());
    iterator.First();
    EXPECT_TRUE(iterator.IsDone());

    cPointCloudIterator none(nullptr);
    EXPECT_EQ(none.GetCount(), 0u);
    EXPECT_FALSE(none.HasPoints());
    EXPECT_TRUE(none.IsDone());
}

TEST(PointCloudIterator, PointsAreMappedByTheTransform)
{
    cPointCloud cloud;
    Add(cloud, 1, 2, 3);
    const double m[12] = {1, 0, 0, 0.1, 0, 1, 0, 0, 0, 0, 1, 0};
    cPointCloudIterator iterator(&cloud, m);
    double p[3];
    iterator.GetPoint(p);
    // The result is rounded through float.
    EXPECT_EQ(p[0], static_cast<double>(1.1f));
    EXPECT_EQ(p[1], 2.0);
}

TEST(PointCloud, AnswersItsInterfaceIds)
{
    cPointCloud cloud;
    EXPECT_EQ(cloud.QueryInterface(IID_cPointCloud), static_cast<void*>(&cloud));
    EXPECT_EQ(cloud.QueryInterface(IID_IBase), static_cast<void*>(static_cast<IBase*>(&cloud)));
    const GUID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(cloud.QueryInterface(other), nullptr);
}

TEST(PointDistanceHelpers, DistancesAndSegments)
{
    const float a[3] = {0, 0, 0};
    const float b[3] = {3, 4, 12};
    EXPECT_DOUBLE_EQ(PointDistance(a, b), 13.0);
    EXPECT_DOUBLE_EQ(SquaredDistance(a, b), 169.0);

    const float s0[3] = {0, 0, 0};
    const float s1[3] = {10, 0, 0};
    const float above[3] = {4, 3, 0};
    const float before[3] = {-3, 4, 0};
    const float after[3] = {13, 4, 0};
    double distance = 0;
    EXPECT_DOUBLE_EQ(PointSegmentParameter(above, s0, s1, &distance), 0.4);
    EXPECT_DOUBLE_EQ(distance, 3.0);
    EXPECT_DOUBLE_EQ(PointSegmentParameter(before, s0, s1, &distance), -0.3);
    EXPECT_DOUBLE_EQ(distance, 5.0);
    EXPECT_DOUBLE_EQ(PointSegmentParameter(after, s0, s1, &distance), 1.3);
    EXPECT_DOUBLE_EQ(distance, 5.0);
    const float tiny[3] = {0.0005f, 0, 0};
    EXPECT_EQ(PointSegmentParameter(above, s0, tiny, &distance), 0.0) << "a very short segment is its start";
    EXPECT_DOUBLE_EQ(PointSegmentDistance3f(above, s0, tiny), 5.0);

    EXPECT_TRUE(IsFloatUnset(FLT_MAX));
    EXPECT_FALSE(IsFloatUnset(1e38f));
}

} // namespace
