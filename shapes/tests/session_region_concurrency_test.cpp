// Shapes of one object that take the same selection share its points; one
// that takes other marks gets its own, the shared ones untouched. On the
// shared pool, over several blocks of triangles.
#include "shapes/session_kinds.h"

#include "core/bounding_box.h"
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "core/triangle_colour_property.h"
#include "platform/geometry/binary_archive.h"
#include "shapes/region_triangles.h"
#include "support/test_sessions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{

const ON_UUID kHost = ON_UuidFromString("5B0D2E71-9C3A-4E18-A6F2-3D4C5B6A7E80");

// A region of every triangle (whole words of bits) painted before another:
// the later one's code where it lies, the first's everywhere else, up to
// the last triangle of a part-filled last word.
TEST(SessionRegionSharing, AWholeScansRegionIsTaggedUnderALaterRegion)
{
    auto mesh = MakeGridMeshObject(201, 100, 0.5, -7000.0, 2500.0, 300.0);
    cMesh& m = *mesh->GetMesh();
    ASSERT_NE(m.GetTriangleCount() % 64, 0u);
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    std::vector<CSessionSurface*> sessions{entry->CreateSession(CLSID_CSessionPlane, false),
                                           entry->CreateSession(CLSID_CSessionCylinder, false)};
    const auto later = [](std::uint32_t t) { return t >= 100 && t < 300; };
    for (std::uint32_t s = 0; s < 2; ++s)
    {
        std::uint32_t t = 0;
        m.ForEachTriangle([&](cMeshTriangle& triangle) { triangle.flags = s == 0 || later(t++) ? kTriangleFlagSelected : 0; });
        sessions[s]->TakeSelection(mesh.get());
    }
    auto& tags = *dynamic_cast<CTriangleColourProperties*>(mesh->FindAttachedProperty(kTriangleColoursPropertyName));
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        tags.Set(t, 0);
    cThreadPool pool(3);
    CSessionSurface::PaintMeshRegions(sessions, mesh.get(), nullptr, &pool);
    pool.Stop();
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        ASSERT_EQ(tags.Get(t), later(t) ? kSessionKindCylinder : kSessionKindPlane) << t;
}

TEST(SessionRegionSharing, AKindTriedAgainOnTheSameSelectionSharesItsPointsAndOtherMarksGetTheirOwn)
{
    auto mesh = MakeGridMeshObject(300, 240, 0.5, -7000.0, 2500.0, 300.0);
    cMesh& m = *mesh->GetMesh();
    // Every triangle but a run of seven in `every`, shifted by `shift`: the
    // same count of points for every shift.
    const auto select = [&](std::uint32_t shift) {
        std::uint32_t t = 0;
        m.ForEachTriangle([&](cMeshTriangle& triangle) {
            triangle.flags = ((t + shift) / 7) % 3 != 0 ? kTriangleFlagSelected : 0;
            ++t;
        });
    };
    const auto expected = [&] {
        std::vector<float> out;
        for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
            if (m.GetTriangle(t)->flags & kTriangleFlagSelected)
            {
                const cVertex* corners[3];
                EXPECT_TRUE(m.GetCorners(*m.GetTriangle(t), corners));
                float centroid[3];
                RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
                out.insert(out.end(), centroid, centroid + 3);
            }
        return out;
    };
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    CSessionSurface* plane = entry->CreateSession(CLSID_CSessionPlane, false);
    CSessionSurface* sphere = entry->CreateSession(CLSID_CSessionSphere, false);
    CSessionSurface* cylinder = entry->CreateSession(CLSID_CSessionCylinder, false);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    select(0);
    const std::vector<float> first = expected();
    plane->TakeSelection(mesh.get());
    sphere->TakeSelection(mesh.get());
    EXPECT_TRUE(sphere->GetRegionPoints().SharesWith(plane->GetRegionPoints()));
    EXPECT_EQ(RegionPointsOf(*sphere), first);
    auto& tags = *dynamic_cast<CTriangleColourProperties*>(mesh->FindAttachedProperty(kTriangleColoursPropertyName));
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        ASSERT_EQ(tags.Get(t), (t / 7) % 3 != 0 ? kSessionKindSphere : 0) << t;

    // As many points, others: the cylinder's own, and then the plane's own
    // when it takes them, the sphere's left as they were.
    select(2);
    const std::vector<float> second = expected();
    ASSERT_EQ(second.size(), first.size());
    cylinder->TakeSelection(mesh.get());
    EXPECT_FALSE(cylinder->GetRegionPoints().IsShared());
    EXPECT_EQ(RegionPointsOf(*cylinder), second);
    plane->TakeSelection(mesh.get());
    CSessionSurface* symmetry = entry->CreateSession(CLSID_CSessionSymmetryPlane, false);
    symmetry->TakeSelection(mesh.get());
    ASSERT_TRUE(symmetry->GetRegionPoints().SharesWith(cylinder->GetRegionPoints()));

    // Read back from the record, the runs compared on the pool: the last
    // two share again, the others hold their own.
    ON_MemoryArchive archive;
    ASSERT_TRUE(history.Write(archive));
    ON_MemoryArchive in(archive.Buffer().data(), archive.Buffer().size());
    int major = 0, minor = 0;
    CEntitiesHistory back;
    ASSERT_TRUE(in.Read3dmChunkVersion(&major, &minor) && back.Read(in, major, minor));
    ASSERT_EQ(back.Entry(0)->SessionCount(), 4u);
    const CSessionSurface* read[4];
    for (std::size_t s = 0; s < 4; ++s)
        read[s] = back.Entry(0)->Session(s);
    EXPECT_TRUE(read[3]->GetRegionPoints().SharesWith(read[2]->GetRegionPoints()));
    EXPECT_FALSE(read[1]->GetRegionPoints().IsShared());
    EXPECT_EQ(RegionPointsOf(*read[1]), first);
    EXPECT_EQ(RegionPointsOf(*read[3]), second);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    EXPECT_FALSE(plane->GetRegionPoints().SharesWith(sphere->GetRegionPoints()));
    EXPECT_EQ(RegionPointsOf(*plane), second);
    EXPECT_EQ(RegionPointsOf(*sphere), first);
    for (std::uint32_t i = 0; i < sphere->GetRegionPoints().GetCount(); i += 997)
    {
        const float* p = sphere->GetRegionPoints().GetPoint(i);
        double radius = 1e-6;
        ASSERT_EQ(sphere->GetSearchTree().FindNearest(p, radius), p) << i;
    }
}

// Regions painted side by side tag, a block of triangles at a time on the
// pool, what painting them one after another tags: where they overlap, the
// later one's kind.
TEST(SessionRegionSharing, RegionsPaintedOnThePoolTagWhatPaintingThemInTurnTags)
{
    auto mesh = MakeGridMeshObject(300, 240, 0.5, -7000.0, 2500.0, 300.0);
    cMesh& m = *mesh->GetMesh();
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    std::vector<CSessionSurface*> sessions{entry->CreateSession(CLSID_CSessionPlane, false),
                                           entry->CreateSession(CLSID_CSessionCylinder, false)};
    for (std::uint32_t s = 0; s < 2; ++s)
    {
        std::uint32_t t = 0;
        m.ForEachTriangle([&](cMeshTriangle& triangle) { triangle.flags = ((t++ + 2 * s) / 7) % 3 != 0 ? kTriangleFlagSelected : 0; });
        sessions[s]->TakeSelection(mesh.get());
    }
    auto& tags = *dynamic_cast<CTriangleColourProperties*>(mesh->FindAttachedProperty(kTriangleColoursPropertyName));
    std::vector<std::uint8_t> expected;
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        expected.push_back(tags.Get(t));
    ASSERT_EQ(expected[7], kSessionKindCylinder);
    ASSERT_EQ(expected[19], kSessionKindPlane);
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        tags.Set(t, 0);
    tags.RecomputeHasColours();
    cThreadPool pool(3);
    CSessionSurface::PaintMeshRegions(sessions, mesh.get(), nullptr, &pool);
    pool.Stop();
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        ASSERT_EQ(tags.Get(t), expected[t]) << t;
    EXPECT_TRUE(tags.HasColours());
}

// Regions of several batches of points are read a batch ahead on a thread
// of their own while the batch before is compared on the pool: the second
// shape shares the first one's points, the third, which differs in its
// second batch, holds its own.
TEST(SessionRegionSharing, RegionsOfSeveralBatchesReadAheadShareWhereTheyAreTheSame)
{
    const std::uint32_t count = 700000;
    std::vector<float> points(3 * std::size_t{count});
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = static_cast<float>(i % 9973) * 0.125f - 600.0f;
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    for (const GUID& kind : {CLSID_CSessionPlane, CLSID_CSessionSphere, CLSID_CSessionCylinder})
        ASSERT_TRUE(entry->CreateSession(kind, false)->GetRegionPoints().Append(points.data(), count));
    std::vector<float> third = points;
    third[3 * std::size_t{300000} + 1] += 1.0f;
    entry->Session(2)->GetRegionPoints().Clear();
    ASSERT_TRUE(entry->Session(2)->GetRegionPoints().Append(third.data(), count));
    ON_MemoryArchive archive;
    ASSERT_TRUE(history.Write(archive));

    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    ON_MemoryArchive in(archive.Buffer().data(), archive.Buffer().size());
    int major = 0, minor = 0;
    CEntitiesHistory back;
    ASSERT_TRUE(in.Read3dmChunkVersion(&major, &minor) && back.Read(in, major, minor));
    SetSharedThreadPool(nullptr);
    pool.Stop();
    const CObjectSurfaces& read = *back.Entry(0);
    ASSERT_EQ(read.SessionCount(), 3u);
    EXPECT_TRUE(read.Session(1)->GetRegionPoints().SharesWith(read.Session(0)->GetRegionPoints()));
    EXPECT_FALSE(read.Session(2)->GetRegionPoints().IsShared());
    EXPECT_EQ(RegionPointsOf(*read.Session(0)), points);
    EXPECT_EQ(RegionPointsOf(*read.Session(2)), third);
}

// Which triangles may lie near a region's points, over many blocks of
// triangles and of points, on a pool as alone: the region's own, copies of
// region triangles 0.4 membership radii off (the last blocks' triangles),
// not one 1.6 radii off nor the others.
TEST(SessionRegionSharing, TrianglesNearARegionOverManyBlocksAreFoundOnAPoolAsAlone)
{
    auto mesh = MakeGridMeshObject(400, 300, 0.5, -7000.0, 2500.0, 300.0);
    cMesh& m = *mesh->GetMesh();
    std::uint32_t t = 0;
    m.ForEachTriangle([&](cMeshTriangle& triangle) { triangle.flags = (t++ / 7) % 3 != 0 ? kTriangleFlagSelected : 0; });
    const std::uint32_t grid = m.GetTriangleCount();
    for (const std::uint32_t near : {8u, 70000u, grid - 1})
        AddShiftedTriangleCopy(m, near, 0.4);
    AddShiftedTriangleCopy(m, grid - 2, 1.6);
    m.Update();
    CEntitiesHistory history;
    CSessionSurface* session = history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionPlane, false);
    session->TakeSelection(mesh.get());
    cRegionPoints& region = session->GetRegionPoints();
    ASSERT_GT(region.GetCount(), 150000u);
    std::vector<std::uint32_t> all(m.GetTriangleCount());
    for (std::uint32_t i = 0; i < all.size(); ++i)
        all[i] = i;
    std::vector<std::uint8_t> expected;
    for (std::uint32_t i = 0; i < grid; ++i)
        expected.push_back((i / 7) % 3 != 0);
    expected.insert(expected.end(), {1, 1, 1, 0});
    cThreadPool pool(3);
    for (cThreadPool* shared : {static_cast<cThreadPool*>(nullptr), &pool})
    {
        const cRegionTriangles triangles(m, shared);
        const std::vector<std::uint8_t> flags = triangles.MayLieNear(all, region);
        for (std::uint32_t i = 0; i < all.size(); ++i)
            ASSERT_EQ(flags[i], expected[i]) << i;
    }
    pool.Stop();
}

// A big region walked in stretches side by side on a pool tags and selects
// what testing every triangle does: with a near copy of a region triangle
// among the last triangles, and once more with a second copy of the
// triangle of a point the stretches would start from (walked in one piece).
TEST(SessionRegionSharing, ABigRegionWalkedInStretchesOnAPoolTagsAndSelectsWhatTestingEveryTriangleDoes)
{
    auto mesh = MakeGridMeshObject(400, 300, 0.5, -7000.0, 2500.0, 300.0);
    cMesh& m = *mesh->GetMesh();
    const auto select = [&m] {
        std::uint32_t t = 0;
        m.ForEachTriangle([&](cMeshTriangle& triangle) { triangle.flags = (t++ / 7) % 3 != 0 ? kTriangleFlagSelected : 0; });
    };
    select();
    CEntitiesHistory history;
    CSessionSurface* session = history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionCylinder, false);
    session->TakeSelection(mesh.get());
    const std::uint32_t points = session->GetRegionPoints().GetCount();
    ASSERT_GE(points, 1u << 17);
    // The triangle of the middle point, the second stretch's first on a pool of three.
    std::uint32_t middle = 0;
    for (std::uint32_t k = 0; middle < m.GetTriangleCount(); ++middle)
        if ((middle / 7) % 3 != 0 && k++ == points / 2)
            break;
    const cMeshTriangle near = *m.GetTriangle(middle + 3);
    const cVertex* corners[3];
    m.GetCorners(near, corners);
    float centroid[3];
    RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
    const float shift = static_cast<float>(0.4 * RegionMembershipRadius(centroid));
    std::uint32_t index[3];
    for (int k = 0; k < 3; ++k)
        index[k] = m.AddVertex(corners[k]->x + shift, corners[k]->y, corners[k]->z, false, 0.0f);
    m.AddTriangle(index[0], index[1], index[2]);
    auto& tags = *dynamic_cast<CTriangleColourProperties*>(mesh->FindAttachedProperty(kTriangleColoursPropertyName));
    cThreadPool pool(3);
    for (const bool twice : {false, true})
    {
        if (twice)
        {
            const cMeshTriangle copy = *m.GetTriangle(middle);
            m.AddTriangle(copy.vertexIndex[0], copy.vertexIndex[1], copy.vertexIndex[2]);
        }
        m.Update();
        ASSERT_TRUE(tags.Resize(m.GetTriangleCount()));
        const auto tagsOf = [&] {
            std::vector<std::uint8_t> out;
            for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
                out.push_back(tags.Get(t));
            return out;
        };
        const auto selectionOf = [&] {
            std::vector<std::uint8_t> out;
            m.ForEachTriangle([&](cMeshTriangle& t) { out.push_back(t.flags & kTriangleFlagSelected); });
            return out;
        };
        session->ClearMeshRegion(mesh.get());
        session->PaintMeshRegion(mesh.get());
        const std::vector<std::uint8_t> painted = tagsOf();
        ASSERT_EQ(painted[m.GetTriangleCount() - (twice ? 2 : 1)], kSessionKindCylinder);
        select();
        session->SelectRegion(&m);
        const std::vector<std::uint8_t> selected = selectionOf();
        const cRegionTriangles triangles(m, &pool);
        session->ClearMeshRegion(mesh.get(), &triangles);
        EXPECT_FALSE(tags.HasColours());
        CSessionSurface::PaintMeshRegions({session}, mesh.get(), &triangles, &pool);
        EXPECT_EQ(tagsOf(), painted) << twice;
        select();
        session->SelectRegion(&m, &triangles);
        EXPECT_EQ(selectionOf(), selected) << twice;
    }
    pool.Stop();
}

// The anchors of a region's walk looked for as the centroids are made are
// those a pass of their own finds: the middle anchor's triangle doubled
// (two triangles at it), and once the region's middle point has moved
// (its anchors are looked for again, not taken from before).
TEST(SessionRegionSharing, AnchorsFoundWithTheCentroidsAreThoseOfTheirOwnPass)
{
    auto mesh = MakeGridMeshObject(400, 300, 0.5, -7000.0, 2500.0, 300.0);
    cMesh& m = *mesh->GetMesh();
    std::uint32_t t = 0;
    m.ForEachTriangle([&](cMeshTriangle& triangle) { triangle.flags = (t++ / 7) % 3 != 0 ? kTriangleFlagSelected : 0; });
    CEntitiesHistory history;
    CSessionSurface* session = history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionCylinder, false);
    session->TakeSelection(mesh.get());
    const std::uint32_t points = session->GetRegionPoints().GetCount();
    ASSERT_GE(points, 1u << 17);
    ASSERT_LT(points, 3u << 16); // two stretches on a pool of three
    std::uint32_t middle = 0, first = 0, last = 0;
    for (std::uint32_t k = 0, i = 0; i < m.GetTriangleCount(); ++i)
        if ((i / 7) % 3 != 0)
        {
            first = k == 0 ? i : first;
            middle = k == points / 2 ? i : middle;
            last = i, ++k;
        }
    const cMeshTriangle copy = *m.GetTriangle(middle);
    m.AddTriangle(copy.vertexIndex[0], copy.vertexIndex[1], copy.vertexIndex[2]);
    m.Update();
    const cRegionPoints& region = static_cast<const CSessionSurface*>(session)->GetRegionPoints();
    cThreadPool pool(3);
    const cRegionTriangles alone(m, &pool), together(m, &pool, {&region, &region});
    const auto expectAnchors = [](const stRegionAnchors& a, const stRegionAnchors& b) {
        EXPECT_EQ(a.points, b.points);
        EXPECT_EQ(a.found, b.found);
        EXPECT_EQ(a.first, b.first);
    };
    const stRegionAnchors found = together.FindAnchors(region);
    EXPECT_EQ(found.points, (std::vector<std::uint32_t>{0, points / 2, points - 1}));
    EXPECT_EQ(found.found, (std::vector<std::uint32_t>{1, 2, 1}));
    EXPECT_EQ(found.first, (std::vector<std::uint32_t>{first, middle, last}));
    expectAnchors(found, alone.FindAnchors(region));
    // The middle point moved onto the first point's triangle.
    const float moved[3] = {region.GetPoint(0)[0], region.GetPoint(0)[1], region.GetPoint(0)[2]};
    session->GetRegionPoints().Store(points / 2, moved);
    const stRegionAnchors again = together.FindAnchors(region);
    EXPECT_EQ(again.found, (std::vector<std::uint32_t>{1, 1, 1}));
    EXPECT_EQ(again.first, (std::vector<std::uint32_t>{first, first, last}));
    expectAnchors(again, alone.FindAnchors(region));
    pool.Stop();
}

// A big region's box found on the shared pool is the one grown point by
// point: the least x +0 in an early block and -0 in a later one (the first
// kept), a NaN passed over.
TEST(SessionRegionSharing, ABigRegionsBoxOnThePoolIsTheOneGrownPointByPoint)
{
    std::vector<float> xyz;
    for (std::uint32_t i = 0; i < 300000; ++i)
    {
        const float t = static_cast<float>(i);
        xyz.insert(xyz.end(), {1.0f + 0.25f * static_cast<float>(i % 977), 5000.0f - t * 0.001f, -3000.0f + t * 0.002f});
    }
    xyz[3 * 70000] = 0.0f;
    xyz[3 * 250000] = -0.0f;
    xyz[3 * 260000 + 1] = std::nanf("");
    cRegionPoints region;
    ASSERT_TRUE(region.Append(xyz.data(), 300000));
    float expected[6];
    MakeEmptyBox3f(expected);
    for (std::uint32_t i = 0; i < 300000; ++i)
        GrowBox3f(expected, &xyz[3 * i]);
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    const float* box = region.GetBoundingBox();
    SetSharedThreadPool(nullptr);
    pool.Stop();
    EXPECT_EQ(std::memcmp(box, expected, sizeof expected), 0);
    EXPECT_FALSE(std::signbit(box[0]));
}

} // namespace
