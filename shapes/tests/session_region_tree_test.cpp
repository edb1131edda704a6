// A session's region tree is built when a query first needs it: whatever
// made the region (the selection, a document, a transform, points written
// in place), the next membership test and the tree itself answer for
// exactly the region's points, never for those of the region before.
#include "shapes/session_kinds.h"

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "core/triangle_colour_property.h"
#include "platform/geometry/binary_archive.h"
#include "support/test_sessions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace
{

const ON_UUID kHost = ON_UuidFromString("7C1E5A30-2B4D-4F6A-9E8B-1D2C3B4A5F60");

// Nearest region point to p within radius (a copy, so the tree's own
// radius update stays out of the caller's way).
const float* Nearest(const CSessionSurface& session, const float p[3], double radius)
{
    return session.GetSearchTree().FindNearest(p, radius);
}

// Every region point is its own nearest point, and a point between the
// grid's centroids finds none within a tenth of the spacing.
void ExpectTreeHoldsExactlyTheRegion(const CSessionSurface& session)
{
    const cRegionPoints& region = session.GetRegionPoints();
    for (std::uint32_t i = 0; i < region.GetCount(); ++i)
    {
        const float* found = Nearest(session, region.GetPoint(i), 1e-6);
        ASSERT_NE(found, nullptr) << i;
        ASSERT_EQ(found, region.GetPoint(i)) << i;
    }
}

// The history's record, and another history read from it.
bool WriteAndReadBack(const CEntitiesHistory& history, std::vector<std::uint8_t>& bytes, CEntitiesHistory& back)
{
    ON_MemoryArchive archive;
    if (!history.Write(archive))
        return false;
    bytes = archive.Buffer();
    ON_MemoryArchive in(bytes.data(), bytes.size());
    int major = 0, minor = 0;
    return in.Read3dmChunkVersion(&major, &minor) && back.Read(in, major, minor);
}

class SessionRegionTree : public ::testing::TestWithParam<double>
{
protected:
    void SetUp() override
    {
        mesh = MakeGridMeshObject(12, 10, 1.0, GetParam(), -GetParam(), 0.25 * GetParam());
        session = history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionPlane, false);
    }
    void Select(int i0, int i1, int j0, int j1)
    {
        cMesh& m = *mesh->GetMesh();
        m.ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
        for (int j = j0; j < j1; ++j)
            for (int i = i0; i < i1; ++i)
                for (int k = 0; k < 2; ++k)
                    m.GetTriangle(static_cast<std::uint32_t>(2 * (j * 12 + i) + k))->flags |= kTriangleFlagSelected;
    }
    bool Contains(std::uint32_t triangle)
    {
        cMesh& m = *mesh->GetMesh();
        const cMeshTriangle& t = *m.GetTriangle(triangle);
        return session->ContainsTriangle(m.GetVertex(t.vertexIndex[0])->Position(),
                                         m.GetVertex(t.vertexIndex[1])->Position(),
                                         m.GetVertex(t.vertexIndex[2])->Position());
    }
    CEntitiesHistory history;
    std::unique_ptr<cMeshObject> mesh;
    CSessionSurface* session = nullptr;
};

TEST_P(SessionRegionTree, EachNewRegionIsFoundByTheNextQueryAndTheOldOneNeverAgain)
{
    Select(0, 4, 0, 3);
    session->TakeSelection(mesh.get());
    ExpectTreeHoldsExactlyTheRegion(*session);
    EXPECT_TRUE(Contains(0));
    EXPECT_FALSE(Contains(2 * 5));

    // A second selection replaces the first before any query was made.
    Select(5, 9, 4, 8);
    session->TakeSelection(mesh.get());
    Select(6, 7, 6, 7);
    session->TakeSelection(mesh.get());
    EXPECT_EQ(session->GetRegionPoints().GetCount(), 2u);
    EXPECT_FALSE(Contains(0)) << "the first region is gone from the tree";
    EXPECT_FALSE(Contains(2 * (4 * 12 + 5)));
    EXPECT_TRUE(Contains(2 * (6 * 12 + 6)));
    EXPECT_TRUE(Contains(2 * (6 * 12 + 6) + 1));
    ExpectTreeHoldsExactlyTheRegion(*session);

    // The tags the old regions painted go when the selection becomes the
    // region again, which asks the tree of the region before it.
    auto& tags = *dynamic_cast<CTriangleColourProperties*>(mesh->FindAttachedProperty(kTriangleColoursPropertyName));
    for (std::uint32_t t = 0; t < mesh->GetMesh()->GetTriangleCount(); ++t)
        tags.Set(t, 9);
    mesh->GetMesh()->ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
    session->TakeSelection(mesh.get());
    for (std::uint32_t t = 0; t < mesh->GetMesh()->GetTriangleCount(); ++t)
        ASSERT_EQ(tags.Get(t), t == 2 * (6 * 12 + 6) || t == 2 * (6 * 12 + 6) + 1 ? 0 : 9) << t;
}

TEST_P(SessionRegionTree, MovedReadAndWrittenRegionsAnswerForTheirNewPoints)
{
    Select(2, 6, 1, 5);
    session->TakeSelection(mesh.get());
    const std::uint32_t inside = 2 * (3 * 12 + 4);
    ASSERT_TRUE(Contains(inside));

    // Moved with its object: the tree follows the points.
    const double shift[12] = {1, 0, 0, 3.0, 0, 1, 0, 0, 0, 0, 1, 0};
    session->GetOwner()->TransformSessions(shift, nullptr);
    ExpectTreeHoldsExactlyTheRegion(*session);
    EXPECT_FALSE(Contains(2 * (3 * 12 + 2))) << "left behind by the move";
    EXPECT_TRUE(Contains(2 * (3 * 12 + 7))) << "three quads on";

    // Written and read back: the region read answers at once.
    std::vector<std::uint8_t> bytes;
    CEntitiesHistory back;
    ASSERT_TRUE(WriteAndReadBack(history, bytes, back));
    CSessionSurface* read = back.Entry(0)->Session(0);
    ASSERT_EQ(read->GetRegionPoints().GetCount(), session->GetRegionPoints().GetCount());
    ExpectTreeHoldsExactlyTheRegion(*read);
    read->PaintMeshRegion(mesh.get());
    auto& tags = *dynamic_cast<CTriangleColourProperties*>(mesh->FindAttachedProperty(kTriangleColoursPropertyName));
    EXPECT_EQ(tags.Get(2 * (3 * 12 + 7)), kSessionKindPlane);

    // Points written in place are found without an explicit rebuild.
    const float extra[3] = {static_cast<float>(GetParam()) - 40.0f, 7.0f, 1.0f};
    session->GetRegionPoints().Append(extra);
    ASSERT_NE(Nearest(*session, extra, 1e-6), nullptr);
    ExpectTreeHoldsExactlyTheRegion(*session);
}

TEST_P(SessionRegionTree, RetakingTheSelectionRenewsTheRegionPointByPoint)
{
    const auto expectRegionOf = [this](int i0, int i1, int j0, int j1)
    {
        const cRegionPoints& region = session->GetRegionPoints();
        ASSERT_EQ(region.GetCount(), static_cast<std::uint32_t>(2 * (i1 - i0) * (j1 - j0)));
        const float* box = const_cast<cRegionPoints&>(region).GetBoundingBox();
        EXPECT_FLOAT_EQ(box[0], static_cast<float>(GetParam() + i0 + 1.0 / 3.0));
        EXPECT_FLOAT_EQ(box[3], static_cast<float>(GetParam() + i1 - 1.0 / 3.0));
        for (std::uint32_t t = 0; t < 2u * 12u * 10u; ++t)
        {
            const int i = static_cast<int>(t / 2 % 12), j = static_cast<int>(t / 2 / 12);
            ASSERT_EQ(Contains(t), i >= i0 && i < i1 && j >= j0 && j < j1) << t;
        }
        ExpectTreeHoldsExactlyTheRegion(*session);
    };
    Select(0, 4, 0, 3);
    session->TakeSelection(mesh.get());
    expectRegionOf(0, 4, 0, 3);
    // The same marks again: the region and the tree its queries built stay.
    session->TakeSelection(mesh.get());
    expectRegionOf(0, 4, 0, 3);
    // And again, with a region point moved in place (the marks put it back).
    const float moved[3] = {-1.0f, 2.0f, 3.0f};
    session->GetRegionPoints().Replace(5, moved);
    session->TakeSelection(mesh.get());
    expectRegionOf(0, 4, 0, 3);
    // As many points, all moved one quad on.
    Select(1, 5, 0, 3);
    session->TakeSelection(mesh.get());
    expectRegionOf(1, 5, 0, 3);
    // Only the last quad differs.
    Select(1, 5, 0, 3);
    mesh->GetMesh()->GetTriangle(2 * (2 * 12 + 4))->flags = 0;
    mesh->GetMesh()->GetTriangle(2 * (2 * 12 + 4) + 1)->flags = 0;
    mesh->GetMesh()->GetTriangle(2 * (2 * 12 + 7))->flags = kTriangleFlagSelected;
    mesh->GetMesh()->GetTriangle(2 * (2 * 12 + 7) + 1)->flags = kTriangleFlagSelected;
    session->TakeSelection(mesh.get());
    EXPECT_FALSE(Contains(2 * (2 * 12 + 4)));
    EXPECT_TRUE(Contains(2 * (2 * 12 + 7) + 1));
    ExpectTreeHoldsExactlyTheRegion(*session);
    // Fewer points, down to one, then more than ever.
    Select(2, 3, 1, 2);
    session->TakeSelection(mesh.get());
    expectRegionOf(2, 3, 1, 2);
    const std::uint32_t lone = 2 * (1 * 12 + 2) + 1;
    mesh->GetMesh()->GetTriangle(lone - 1)->flags = 0;
    session->TakeSelection(mesh.get());
    ASSERT_EQ(session->GetRegionPoints().GetCount(), 1u);
    EXPECT_TRUE(Contains(lone));
    EXPECT_FALSE(Contains(lone - 1));
    auto& tags = *dynamic_cast<CTriangleColourProperties*>(mesh->FindAttachedProperty(kTriangleColoursPropertyName));
    EXPECT_EQ(tags.Get(lone), kSessionKindPlane);
    EXPECT_EQ(tags.Get(lone - 1), 0);
    // A one-point region gives its tag back when another is taken.
    Select(3, 4, 1, 2);
    session->TakeSelection(mesh.get());
    EXPECT_EQ(tags.Get(lone), 0);
    Select(0, 12, 0, 10);
    session->TakeSelection(mesh.get());
    expectRegionOf(0, 12, 0, 10);
}

TEST_P(SessionRegionTree, TakingANewSelectionClearsExactlyTheOldRegionsTagsTheNewOneDoesNotRetag)
{
    auto& tags = *dynamic_cast<CTriangleColourProperties*>(mesh->FindAttachedProperty(kTriangleColoursPropertyName));
    const auto inQuads = [](std::uint32_t t, int i0, int i1, int j0, int j1)
    {
        const int i = static_cast<int>(t / 2 % 12), j = static_cast<int>(t / 2 / 12);
        return i >= i0 && i < i1 && j >= j0 && j < j1;
    };
    for (const bool refitFirst : {false, true})
    {
        Select(1, 7, 1, 6); // the old region
        session->TakeSelection(mesh.get());
        if (refitFirst)
            session->TakeSelection(mesh.get()); // unchanged marks: the same region
        // Other shapes' tags everywhere on every third triangle, some inside
        // the old region.
        std::vector<std::uint8_t> before;
        for (std::uint32_t t = 0; t < tags.GetCount(); ++t)
        {
            if (t % 3 == 0)
                tags.Set(t, 9);
            before.push_back(tags.Get(t));
        }
        Select(4, 10, 3, 9); // overlaps the old region
        const std::uint32_t hidden = 2 * (3 * 12 + 5);
        mesh->GetMesh()->GetTriangle(hidden)->flags |= kTriangleFlagHidden; // in both, but not taken
        session->TakeSelection(mesh.get());
        for (std::uint32_t t = 0; t < tags.GetCount(); ++t)
        {
            const std::uint8_t expected = inQuads(t, 4, 10, 3, 9) && t != hidden ? kSessionKindPlane
                                          : inQuads(t, 1, 7, 1, 6)                 ? 0
                                                                                   : before[t];
            ASSERT_EQ(tags.Get(t), expected) << t << (refitFirst ? " after a refit" : "");
        }
        EXPECT_TRUE(tags.HasColours());
        // Nothing selected: every tag of the region goes, the others stay.
        mesh->GetMesh()->ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
        session->TakeSelection(mesh.get());
        for (std::uint32_t t = 0; t < tags.GetCount(); ++t)
            ASSERT_EQ(tags.Get(t), inQuads(t, 4, 10, 3, 9) || inQuads(t, 1, 7, 1, 6) ? 0 : before[t]) << t;
        for (std::uint32_t t = 0; t < tags.GetCount(); ++t)
            tags.Set(t, 0);
    }
}

TEST(SessionRegionMemory, ARegionThatShrinksKeepsNoRoomForThePointsItLost)
{
    auto mesh = MakeGridMeshObject(40, 30, 1.0, 2000.0, -300.0, 10.0);
    CEntitiesHistory history;
    CSessionSurface* session = history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionCylinder, false);
    mesh->GetMesh()->ForEachTriangle([](cMeshTriangle& t) { t.flags = kTriangleFlagSelected; });
    session->TakeSelection(mesh.get());
    ASSERT_EQ(session->GetRegionPoints().GetCount(), 2400u);
    mesh->GetMesh()->ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
    mesh->GetMesh()->GetTriangle(77)->flags = kTriangleFlagSelected;
    session->TakeSelection(mesh.get());
    const cRegionPoints& region = session->GetRegionPoints();
    ASSERT_EQ(region.GetCount(), 1u);
    EXPECT_EQ(region.GetCapacity(), kArrayChunkSize) << "one chunk left";
}

TEST(SessionRegionPool, ASelectionOverManyBlocksBecomesTheSameRegionOnAPool)
{
    // Over two jobs of the pool; far out, with gaps and a hidden triangle
    // in the selection.
    auto mesh = MakeGridMeshObject(300, 240, 0.5, -7000.0, 2500.0, 300.0);
    cMesh& m = *mesh->GetMesh();
    const auto select = [&](std::uint32_t every) {
        std::uint32_t t = 0;
        m.ForEachTriangle([&](cMeshTriangle& triangle) {
            triangle.flags = (t / 7) % every != 0 ? kTriangleFlagSelected : 0;
            triangle.flags |= t == 70001 ? kTriangleFlagHidden : 0;
            ++t;
        });
    };
    const auto expected = [&] {
        std::vector<float> out;
        for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
            if ((m.GetTriangle(t)->flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected)
            {
                const cVertex* corners[3];
                EXPECT_TRUE(m.GetCorners(*m.GetTriangle(t), corners));
                float centroid[3];
                RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
                out.insert(out.end(), centroid, centroid + 3);
            }
        return out;
    };
    const auto pointsOf = [](const CSessionSurface& session) {
        std::vector<float> out;
        const cRegionPoints& region = session.GetRegionPoints();
        for (std::uint32_t v = 0; v < region.GetCount(); ++v)
            out.insert(out.end(), region.GetPoint(v), region.GetPoint(v) + 3);
        return out;
    };
    CEntitiesHistory history;
    CSessionSurface* session = history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionPlane, false);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    // Fewer points, then more than before.
    for (const std::uint32_t every : {3u, 2u, 5u})
    {
        select(every);
        session->TakeSelection(mesh.get());
        ASSERT_EQ(pointsOf(*session), expected()) << every;
    }
    SetSharedThreadPool(nullptr);
    pool.Stop();
    auto& tags = *dynamic_cast<CTriangleColourProperties*>(mesh->FindAttachedProperty(kTriangleColoursPropertyName));
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        ASSERT_EQ(tags.Get(t), t != 70001 && (t / 7) % 5 != 0 ? kSessionKindPlane : 0) << t;
}

TEST(SessionRegionSharing, EqualRegionsReadShareTheirPointsAndOneDifferingInALaterRunIsReadWhole)
{
    // 2500 points far out: two whole runs of a chunk and a part.
    std::vector<float> points;
    for (int i = 0; i < 2500; ++i)
        points.insert(points.end(), {5000.0f + 0.25f * float(i), -3000.0f + 0.5f * float(i % 37), 120.0f + 0.01f * float(i)});
    std::vector<float> other = points;
    other[3 * 1500 + 1] = std::nextafter(other[3 * 1500 + 1], 0.0f);
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    const GUID kinds[4] = {CLSID_CSessionPlane, CLSID_CSessionSphere, CLSID_CSessionCylinder, CLSID_CSessionPlane};
    const std::vector<float>* regions[4] = {&points, &points, &other, &points};
    for (int s = 0; s < 4; ++s)
        ASSERT_TRUE(entry->CreateSession(kinds[s], false)->GetRegionPoints().Append(regions[s]->data(), 2500));
    std::vector<std::uint8_t> bytes;
    CEntitiesHistory back;
    ASSERT_TRUE(WriteAndReadBack(history, bytes, back));
    const CObjectSurfaces& read = *back.Entry(0);
    ASSERT_EQ(read.SessionCount(), 4u);
    for (int s = 0; s < 4; ++s)
        EXPECT_EQ(RegionPointsOf(*read.Session(s)), *regions[s]) << s;
    EXPECT_TRUE(read.Session(1)->GetRegionPoints().SharesWith(read.Session(0)->GetRegionPoints()));
    EXPECT_FALSE(read.Session(2)->GetRegionPoints().IsShared());
    ExpectTreeHoldsExactlyTheRegion(*read.Session(3));
    ON_MemoryArchive again;
    ASSERT_TRUE(back.Write(again));
    EXPECT_EQ(again.Buffer(), bytes);

    // A point that is not finite past a run matched: the read fails, the
    // points before it read.
    std::vector<std::uint8_t> damaged = bytes;
    const float nan = std::nanf("");
    const float first = points[0];
    // The second session's 1100th point: its run follows the first one's
    // points and the session's own leading fields.
    const auto at = std::search(damaged.begin() + 1, damaged.end(), reinterpret_cast<const std::uint8_t*>(&first),
                                reinterpret_cast<const std::uint8_t*>(&first) + 4);
    const auto second = std::search(at + 1, damaged.end(), reinterpret_cast<const std::uint8_t*>(&first),
                                    reinterpret_cast<const std::uint8_t*>(&first) + 4);
    ASSERT_NE(second, damaged.end());
    std::memcpy(&*(second + 12 * 1100), &nan, 4);
    ON_MemoryArchive broken(damaged.data(), damaged.size());
    CEntitiesHistory none;
    int major = 0, minor = 0;
    ASSERT_TRUE(broken.Read3dmChunkVersion(&major, &minor));
    EXPECT_FALSE(none.Read(broken, major, minor));
    EXPECT_TRUE(none.IsEmpty());
    // Cut short in the second session's second run: read run by run as far
    // as the bytes go, and failed.
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + (second - damaged.begin()) + 12 * 1500);
    ON_MemoryArchive shortened(cut.data(), cut.size());
    ASSERT_TRUE(shortened.Read3dmChunkVersion(&major, &minor));
    EXPECT_FALSE(none.Read(shortened, major, minor));
    EXPECT_TRUE(none.IsEmpty());
}

TEST(SessionRegionSharing, SharedRegionsAreMovedOnceAndAsARegionMovedAlone)
{
    auto mesh = MakeGridMeshObject(40, 30, 1.0, 2000.0, -300.0, 10.0);
    mesh->GetMesh()->ForEachTriangle([](cMeshTriangle& t) { t.flags = kTriangleFlagSelected; });
    CEntitiesHistory history, alone;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    CSessionSurface* a = entry->CreateSession(CLSID_CSessionPlane, false);
    CSessionSurface* b = entry->CreateSession(CLSID_CSessionSphere, false);
    CSessionSurface* c = alone.GetOrCreate(kHost)->CreateSession(CLSID_CSessionPlane, false);
    for (CSessionSurface* session : {a, b, c})
        session->TakeSelection(mesh.get());
    ASSERT_TRUE(b->GetRegionPoints().SharesWith(a->GetRegionPoints()));
    // Turned a little about z and moved.
    const double turn[12] = {0.8, -0.6, 0, 12.5, 0.6, 0.8, 0, -7.25, 0, 0, 1, 3};
    entry->TransformSessions(turn, nullptr);
    c->GetOwner()->TransformSessions(turn, nullptr);
    EXPECT_TRUE(b->GetRegionPoints().SharesWith(a->GetRegionPoints()));
    EXPECT_EQ(RegionPointsOf(*a), RegionPointsOf(*c));
    ExpectTreeHoldsExactlyTheRegion(*b);
}

INSTANTIATE_TEST_SUITE_P(NearAndFar, SessionRegionTree, ::testing::Values(0.0, 5000.0));

} // namespace
