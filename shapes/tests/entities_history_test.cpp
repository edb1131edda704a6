// The entity history in the document: round trips of every kind, the
// version handed to the kinds' readers, damaged and truncated records, and
// failed writes.
#include "shapes/entities_history.h"

#include "shapes/dezaz_bin_stream.h"
#include "shapes/line_section_curve.h"
#include "shapes/sketch_curve.h"
#include "core/frame_math.h"
#include "support/test_sessions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace
{

const ON_UUID kHostA = ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D");
const ON_UUID kHostB = ON_UuidFromString("F1E2D3C4-B5A6-4978-8695-A4B3C2D1E0F9");

// Stands for a kind whose shape is built elsewhere: a record of four bytes,
// and a log of the minor version its reader was given.
std::vector<std::pair<std::uint8_t, std::uint32_t>> g_minors;

template <std::uint8_t Code> class SpySession : public CSessionSurface
{
public:
    explicit SpySession(CObjectSurfaces* owner) : CSessionSurface(owner) { m_record = &m_names; }
    ~SpySession() override { m_record = nullptr; }
    void GetKindName(ON_wString& name) const override { name = L"Spy"; }
    void GetClassId(GUID& id) const override
    {
        std::size_t n = 0;
        const stSessionKind* kinds = SessionKinds(n);
        for (std::size_t i = 0; i < n; ++i)
            if (kinds[i].kindCode == Code)
                id = kinds[i].classId;
    }
    std::uint8_t GetKindCode() const override { return Code; }

protected:
    bool WriteObjectRecord(IBinStream& stream) override
    {
        const std::uint8_t record[4] = {Code, 0xAB, 0xCD, 0xEF};
        return stream.Write(record, 4);
    }
    bool ReadObjectRecord(IBinStream& stream, std::uint32_t minor) override
    {
        g_minors.emplace_back(Code, minor);
        std::uint8_t record[4];
        return stream.Read(record, 4) && record[0] == Code && record[1] == 0xAB;
    }

private:
    // A record without a shape carries the name.
    ST_CExtractedNetworkSurface m_names;
};

template <std::uint8_t Code> CSessionSurface* MakeSpy(CObjectSurfaces* owner)
{
    return new SpySession<Code>(owner);
}

std::vector<std::uint8_t> WriteHistory(const CEntitiesHistory& history)
{
    ON_MemoryArchive archive;
    EXPECT_TRUE(history.Write(archive));
    return archive.Buffer();
}

bool ReadHistory(CEntitiesHistory& history, const std::vector<std::uint8_t>& bytes, std::size_t size)
{
    ON_MemoryArchive archive(bytes.data(), size);
    int major = 0, minor = 0;
    return archive.Read3dmChunkVersion(&major, &minor) && history.Read(archive, major, minor);
}

std::vector<std::uint8_t> ObjectRecord(CSessionSurface& session)
{
    ON_MemoryArchive archive;
    CDezazBinStream stream(&archive);
    if (session.GetSceneObject() != nullptr)
    {
        EXPECT_TRUE(session.GetSceneObject()->Write(&stream));
    }
    return archive.Buffer();
}

// The eight kinds: the four built ones and spies for the others.
class EntitiesHistoryRecord : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_minors.clear();
        saved[0] = SetSessionFactory(CLSID_CSessionFreeForm, &MakeSpy<kSessionKindFreeForm>);
        saved[1] = SetSessionFactory(CLSID_CSessionRevolved, &MakeSpy<kSessionKindRevolved>);
        saved[2] = SetSessionFactory(CLSID_CSessionExtruded, &MakeSpy<kSessionKindExtruded>);
        saved[3] = SetSessionFactory(CLSID_CSessionCurveNetwork, &MakeSpy<kSessionKindCurves>);
    }
    void TearDown() override
    {
        SetSessionFactory(CLSID_CSessionFreeForm, saved[0]);
        SetSessionFactory(CLSID_CSessionRevolved, saved[1]);
        SetSessionFactory(CLSID_CSessionExtruded, saved[2]);
        SetSessionFactory(CLSID_CSessionCurveNetwork, saved[3]);
    }

    // Host A: every kind once, two planes, region points in each; host B:
    // one sphere with an empty region.
    void Fill(CEntitiesHistory& history)
    {
        CObjectSurfaces* a = history.GetOrCreate(kHostA);
        std::size_t n = 0;
        const stSessionKind* kinds = SessionKinds(n);
        int seed = 1;
        for (std::size_t i = 0; i < n; ++i, ++seed)
            FillSession(*a->CreateSession(kinds[i].classId, false), seed, 3 + seed);
        FillSession(*a->CreateSession(CLSID_CSessionPlane, false), seed, 1);
        a->Session(1)->SetName(L"Mirror \u00e9\U0001F600");
        CObjectSurfaces* b = history.GetOrCreate(kHostB);
        FillSession(*b->CreateSession(CLSID_CSessionSphere, false), 40, 0);
    }

    SessionFactory saved[4] = {};
};

} // namespace

TEST_F(EntitiesHistoryRecord, EveryKindRoundTripsWithNamesPointsRecordsAndOrderAndRewritesIdentically)
{
    CEntitiesHistory history;
    Fill(history);
    const std::vector<std::uint8_t> bytes = WriteHistory(history);

    CEntitiesHistory back;
    ASSERT_TRUE(ReadHistory(back, bytes, bytes.size()));
    ASSERT_EQ(back.Count(), 2u);
    for (std::size_t e = 0; e < 2; ++e)
    {
        CObjectSurfaces* x = history.Entry(e);
        CObjectSurfaces* y = back.Entry(e);
        EXPECT_EQ(y->HostId(), x->HostId());
        ASSERT_EQ(y->SessionCount(), x->SessionCount());
        for (std::size_t s = 0; s < x->SessionCount(); ++s)
        {
            CSessionSurface& p = *x->Session(s);
            CSessionSurface& q = *y->Session(s);
            EXPECT_EQ(q.ClassId(), p.ClassId());
            EXPECT_EQ(q.GetName(), p.GetName());
            EXPECT_EQ(q.IsNew(), 0);
            EXPECT_EQ(ObjectRecord(q), ObjectRecord(p));
            const std::uint32_t expected =
                q.GetKindCode() == kSessionKindCurves ? 0 : p.GetRegionPoints().GetCount();
            ASSERT_EQ(q.GetRegionPoints().GetCount(), expected);
            for (std::uint32_t i = 0; i < expected; ++i)
                EXPECT_EQ(std::memcmp(q.GetRegionPoints().GetPoint(i), p.GetRegionPoints().GetPoint(i), 12),
                          0);
        }
    }
    // The curve network drops its region on reading, so only the second
    // write must equal the first after one trip.
    const std::vector<std::uint8_t> again = WriteHistory(back);
    CEntitiesHistory third;
    ASSERT_TRUE(ReadHistory(third, again, again.size()));
    EXPECT_EQ(WriteHistory(third), again);
}

TEST_F(EntitiesHistoryRecord, HistoryVersionChoosesTheMinorVersionOfTheExtrudedAndCurveReaders)
{
    CEntitiesHistory history;
    Fill(history);
    std::vector<std::uint8_t> bytes = WriteHistory(history);
    const auto minorsFor = [&](std::uint8_t version) {
        bytes[0] = version;
        g_minors.clear();
        CEntitiesHistory back;
        EXPECT_TRUE(ReadHistory(back, bytes, bytes.size()));
        std::vector<std::uint32_t> byCode(9, 99);
        for (const auto& [code, minor] : g_minors)
            byCode[code] = minor;
        return byCode;
    };
    const std::vector<std::uint32_t> v10 = minorsFor(0x10), v11 = minorsFor(0x11), v20 = minorsFor(0x20);
    EXPECT_EQ(v10[kSessionKindExtruded], 6u);
    EXPECT_EQ(v10[kSessionKindCurves], 6u);
    EXPECT_EQ(v11[kSessionKindExtruded], 7u);
    EXPECT_EQ(v11[kSessionKindCurves], 7u);
    EXPECT_EQ(v20[kSessionKindExtruded], 7u); // a later major is later, whatever its minor
    for (const auto* v : {&v10, &v11, &v20})
    {
        EXPECT_EQ((*v)[kSessionKindRevolved], 6u);
        EXPECT_EQ((*v)[kSessionKindFreeForm], 6u);
    }
    EXPECT_EQ(RecordMinorVersion(kSessionKindPlane, 1, 1), 0u);
}

TEST_F(EntitiesHistoryRecord, EveryTruncationFailsAndAddsNothing)
{
    CEntitiesHistory history;
    Fill(history);
    const std::vector<std::uint8_t> bytes = WriteHistory(history);
    for (std::size_t size = 0; size < bytes.size(); ++size)
    {
        CEntitiesHistory back;
        back.GetOrCreate(kHostB);
        ASSERT_FALSE(ReadHistory(back, bytes, size)) << size;
        ASSERT_EQ(back.Count(), 1u) << size;
        ASSERT_EQ(back.Entry(0)->SessionCount(), 0u);
    }
}

TEST_F(EntitiesHistoryRecord, EveryFailedWriteIsReported)
{
    CEntitiesHistory history;
    Fill(history);
    const std::size_t size = WriteHistory(history).size();
    for (std::size_t budget = 0; budget < size; ++budget)
    {
        ON_MemoryArchive archive;
        archive.SetFaultInjection(static_cast<std::int64_t>(budget));
        ASSERT_FALSE(history.Write(archive)) << budget;
    }
}

namespace
{

// A kind whose record cannot be written: it gets two bytes out, then fails.
class UnwritableSession : public SpySession<kSessionKindRevolved>
{
public:
    using SpySession::SpySession;

protected:
    bool WriteObjectRecord(IBinStream& stream) override
    {
        const std::uint8_t partial[2] = {0xEE, 0xEE};
        stream.Write(partial, 2);
        return false;
    }
};

CSessionSurface* MakeUnwritable(CObjectSurfaces* owner)
{
    return new UnwritableSession(owner);
}

} // namespace

TEST_F(EntitiesHistoryRecord, ASessionWhoseRecordFailsIsLeftOutAndEveryOtherSessionIsSaved)
{
    SetSessionFactory(CLSID_CSessionRevolved, &MakeUnwritable);
    CEntitiesHistory history;
    CObjectSurfaces* a = history.GetOrCreate(kHostA);
    FillSession(*a->CreateSession(CLSID_CSessionPlane, false), 2, 3);
    FillSession(*a->CreateSession(CLSID_CSessionRevolved, false), 3, 2);
    FillSession(*a->CreateSession(CLSID_CSessionSphere, false), 4, 5);
    FillSession(*history.GetOrCreate(kHostB)->CreateSession(CLSID_CSessionCylinder, false), 5, 1);

    ON_MemoryArchive archive;
    ASSERT_TRUE(history.Write(archive));
    const std::vector<std::uint8_t> bytes = archive.Buffer();
    CEntitiesHistory back;
    ASSERT_TRUE(ReadHistory(back, bytes, bytes.size()));
    ASSERT_EQ(back.Count(), 2u);
    ASSERT_EQ(back.Entry(0)->SessionCount(), 2u);
    EXPECT_EQ(back.Entry(0)->Session(0)->GetName(), ON_wString(L"Plane"));
    EXPECT_EQ(back.Entry(0)->Session(0)->GetRegionPoints().GetCount(), 3u);
    EXPECT_EQ(back.Entry(0)->Session(1)->GetName(), ON_wString(L"Sphere"));
    EXPECT_EQ(back.Entry(0)->Session(1)->GetRegionPoints().GetCount(), 5u);
    EXPECT_EQ(ObjectRecord(*back.Entry(0)->Session(1)), ObjectRecord(*a->Session(2)));
    ASSERT_EQ(back.Entry(1)->SessionCount(), 1u);
    EXPECT_EQ(back.Entry(1)->Session(0)->GetName(), ON_wString(L"Cylinder"));
    // Nothing of the failed record is left behind to be read as the next one.
    ON_MemoryArchive again;
    ASSERT_TRUE(back.Write(again));
    EXPECT_EQ(again.Buffer(), bytes);
}

namespace
{

// A history with one plane session of `points` region points, as bytes.
std::vector<std::uint8_t> OnePlane(int points)
{
    CEntitiesHistory history;
    FillSession(*history.GetOrCreate(kHostA)->CreateSession(CLSID_CSessionPlane, false), 3, points);
    return WriteHistory(history);
}

// Offsets in OnePlane's bytes: version 1, N 8, host uuid 16, K 4, class id 16.
constexpr std::size_t kSessionCountAt = 1 + 8 + 16;
constexpr std::size_t kClassIdAt = kSessionCountAt + 4;
constexpr std::size_t kNameAt = kClassIdAt + 16;
constexpr std::size_t kPointCountAt = kNameAt + 4 + 2 * 5; // "Plane"

void PutI32(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t v)
{
    std::memcpy(b.data() + at, &v, 4);
}

} // namespace

TEST(EntitiesHistoryDamage, UnknownClassNegativeCountsNonFiniteAndHugeCountsFailAtOnce)
{
    const std::vector<std::uint8_t> good = OnePlane(2);
    CEntitiesHistory ok;
    ASSERT_TRUE(ReadHistory(ok, good, good.size()));

    std::vector<std::uint8_t> b = good;
    b[kClassIdAt] ^= 0x55;
    CEntitiesHistory h1;
    EXPECT_FALSE(ReadHistory(h1, b, b.size()));
    EXPECT_TRUE(h1.IsEmpty());

    b = good;
    PutI32(b, kSessionCountAt, -1);
    EXPECT_FALSE(ReadHistory(h1, b, b.size()));
    b = good;
    PutI32(b, kPointCountAt, -3);
    EXPECT_FALSE(ReadHistory(h1, b, b.size()));
    b = good;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(b.data() + kPointCountAt + 4 + 4, &nan, 4);
    EXPECT_FALSE(ReadHistory(h1, b, b.size()));

    // Counts far beyond the bytes fail at the end of the bytes without
    // reserving for them.
    b = good;
    PutI32(b, kPointCountAt, 0x7FFFFFFF);
    EXPECT_FALSE(ReadHistory(h1, b, b.size()));
    b = good;
    const std::uint64_t n = ~std::uint64_t{0};
    std::memcpy(b.data() + 1, &n, 8);
    EXPECT_FALSE(ReadHistory(h1, b, b.size()));
    EXPECT_TRUE(h1.IsEmpty());

    // A region read in several runs of points comes back whole; one whose
    // point in the second run is not finite fails.
    const std::vector<std::uint8_t> big = OnePlane(2500);
    CEntitiesHistory whole;
    ASSERT_TRUE(ReadHistory(whole, big, big.size()));
    EXPECT_EQ(WriteHistory(whole), big);
    b = big;
    std::memcpy(b.data() + kPointCountAt + 4 + 12 * 1500 + 8, &nan, 4);
    EXPECT_FALSE(ReadHistory(h1, b, b.size()));
}

TEST(EntitiesHistoryDamage, RepeatedHostKeepsTheFirstEntryWithinARecordAndAgainstThoseThere)
{
    CEntitiesHistory history;
    FillSession(*history.GetOrCreate(kHostA)->CreateSession(CLSID_CSessionPlane, false), 1, 2);
    std::vector<std::uint8_t> one = WriteHistory(history);
    // Two copies of the entry, the second with a sphere instead.
    CEntitiesHistory other;
    FillSession(*other.GetOrCreate(kHostA)->CreateSession(CLSID_CSessionSphere, false), 2, 1);
    const std::vector<std::uint8_t> sphere = WriteHistory(other);
    std::vector<std::uint8_t> both = one;
    both.insert(both.end(), sphere.begin() + 9, sphere.end());
    both[1] = 2;
    CEntitiesHistory back;
    ASSERT_TRUE(ReadHistory(back, both, both.size()));
    ASSERT_EQ(back.Count(), 1u);
    EXPECT_EQ(back.Entry(0)->Session(0)->GetKindCode(), kSessionKindPlane);

    ASSERT_TRUE(ReadHistory(back, sphere, sphere.size()));
    ASSERT_EQ(back.Count(), 1u);
    EXPECT_EQ(back.Entry(0)->SessionCount(), 1u);
    EXPECT_EQ(back.Entry(0)->Session(0)->GetKindCode(), kSessionKindPlane);

    // A name already taken in the list gets a suffix instead of failing
    // (the counter went on when the new session got its default name).
    CEntitiesHistory twins;
    CObjectSurfaces* entry = twins.GetOrCreate(kHostA);
    entry->CreateSession(CLSID_CSessionPlane, false);
    entry->CreateSession(CLSID_CSessionPlane, false)->SetName(L"PLANE");
    const std::vector<std::uint8_t> named = WriteHistory(twins);
    CEntitiesHistory read;
    ASSERT_TRUE(ReadHistory(read, named, named.size()));
    EXPECT_EQ(read.Entry(0)->Session(1)->GetName(), ON_wString(L"PLANE(2)"));
}

TEST(EntitiesHistoryDamage, ManyEntriesWithoutSessionsReadInOnePassAndRepeatsStayDropped)
{
    // A chunk of 200,000 bare entries (20 bytes each) and one repeat: every
    // entry is checked against those before it, which must not cost a pass
    // over them each.
    const std::uint32_t count = 200000;
    std::vector<std::uint8_t> b(9, 0);
    b[0] = static_cast<std::uint8_t>(kEntitiesHistoryMajor << 4 | kEntitiesHistoryMinor);
    const std::uint64_t total = count + 1;
    std::memcpy(b.data() + 1, &total, 8);
    const auto entry = [&b](std::uint32_t tag) {
        std::uint8_t bytes[20] = {};
        std::memcpy(bytes, &tag, 4);
        bytes[15] = 0x42;
        b.insert(b.end(), bytes, bytes + 20);
    };
    for (std::uint32_t i = 0; i < count; ++i)
        entry(i);
    entry(count / 2);
    CEntitiesHistory history;
    ASSERT_TRUE(ReadHistory(history, b, b.size()));
    EXPECT_EQ(history.Count(), count);
    // Reading the same chunk again adds nothing: every host is there.
    ASSERT_TRUE(ReadHistory(history, b, b.size()));
    EXPECT_EQ(history.Count(), count);
}

TEST(EntitiesHistoryPrune, OnlyMarkedEntriesStay)
{
    CEntitiesHistory history;
    CObjectSurfaces* a = history.GetOrCreate(kHostA);
    bool created = false;
    history.GetOrCreate(kHostB, &created);
    EXPECT_TRUE(created);
    EXPECT_EQ(history.GetOrCreate(kHostA, &created), a);
    EXPECT_FALSE(created);
    history.ClearKeepFlags();
    history.MarkKept(history.FindByUuid(kHostA));
    history.MarkKept(history.FindByUuid(ON_nil_uuid));
    EXPECT_TRUE(history.Prune());
    EXPECT_EQ(history.Count(), 1u);
    EXPECT_EQ(history.Entry(0), a);
    history.MarkKept(a);
    EXPECT_FALSE(history.Prune());
}

TEST(EntitiesHistoryRefs, OtherSessionsWithAShapeOfferTheirPointsAndDirections)
{
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHostA);
    CSessionSurface* plane = entry->CreateSession(CLSID_CSessionPlane, false);
    FillSession(*plane, 2, 0);
    std::vector<stReferenceEntry> points{{L"stale", 0, 0, 0}};
    entry->CollectPointRefs(points, plane);
    EXPECT_TRUE(points.empty());

    CSessionSurface* sphere = entry->CreateSession(CLSID_CSessionSphere, false);
    FillSession(*sphere, 3, 0);
    entry->CollectPointRefs(points, plane);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].label, ON_wString(L"of Sphere"));
    EXPECT_FLOAT_EQ(points[0].y, 6.0f);

    std::vector<stReferenceEntry> directions{{L"earlier", 1, 2, 3}};
    entry->CollectDirectionRefs(directions, sphere);
    ASSERT_EQ(directions.size(), 2u); // the earlier entry stays; a sphere has no direction
    EXPECT_EQ(directions[1].label, ON_wString(L"as Plane"));
    EXPECT_FLOAT_EQ(directions[1].z, 0.8f);
}

TEST(DezazBinStream, MovesWithinTheArchiveAndRefusesWithoutOne)
{
    ON_MemoryArchive archive;
    CDezazBinStream stream(&archive);
    const std::uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
    std::uint32_t count = 77;
    ASSERT_TRUE(stream.Write(bytes, 6, &count));
    EXPECT_EQ(count, 77u);
    EXPECT_EQ(stream.Tell(), 6);
    EXPECT_TRUE(stream.Seek(2));
    EXPECT_EQ(stream.Tell(), 2);
    EXPECT_FALSE(stream.Seek(7));
    EXPECT_FALSE(stream.Seek(-1));
    EXPECT_TRUE(stream.Rewind());
    EXPECT_EQ(stream.Tell(), 0);

    ON_MemoryArchive reader(bytes, 6);
    CDezazBinStream in(&reader);
    std::uint8_t got[4] = {};
    EXPECT_TRUE(in.Seek(2));
    EXPECT_TRUE(in.Read(got, 4));
    EXPECT_EQ(got[0], 3);
    EXPECT_TRUE(in.IsEof());
    EXPECT_FALSE(in.Read(got, 1));

    CDezazBinStream none(nullptr);
    EXPECT_FALSE(none.Read(got, 1));
    EXPECT_FALSE(none.Write(got, 1));
    EXPECT_FALSE(none.Rewind());
    EXPECT_FALSE(none.Seek(0));
    EXPECT_FALSE(none.IsEof());
    EXPECT_EQ(none.Tell(), 0);
}

TEST(EntitiesHistoryCurves, ANetworkWithItsCurvesRoundTripsAndDropsItsRegion)
{
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHostA);
    auto* curves = static_cast<CSessionCurveNetwork*>(entry->CreateSession(CLSID_CSessionCurveNetwork, false));
    FillSession(*curves, 4, 3);
    double frame[12];
    MakeIdentity3x4(frame);
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    const double a[3] = {1, 2, 0}, b[3] = {6, 2, 0};
    s.AddPoint3d(a);
    s.AddPoint3d(b);
    auto* line = new ST_TLineCurve<Dezaz_Wire>;
    ASSERT_TRUE(line->RebuildWire(frame, sections, 0.0f, nullptr));
    curves->GetObject().GetGeometry()->GetProfileCurve()->AddCurve(line);
    FillSession(*entry->CreateSession(CLSID_CSessionPlane, false), 2, 2);

    const std::vector<std::uint8_t> bytes = WriteHistory(history);
    for (const std::uint8_t version : {std::uint8_t{0x10}, std::uint8_t{0x11}})
    {
        std::vector<std::uint8_t> chunk = bytes;
        chunk[0] = version;
        CEntitiesHistory back;
        ASSERT_TRUE(ReadHistory(back, chunk, chunk.size())) << int(version);
        auto* read = dynamic_cast<CSessionCurveNetwork*>(back.Entry(0)->Session(0));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->GetName(), ON_wString(L"Curves"));
        EXPECT_EQ(read->GetRegionPoints().GetCount(), 0u);
        const ST_ISectionCurve* profile = read->GetObject().GetGeometry()->GetProfileCurve();
        ASSERT_NE(profile, nullptr);
        EXPECT_EQ(profile->GetSegmentCount(), 1u);
        EXPECT_EQ(ObjectRecord(*read), ObjectRecord(*curves));
        EXPECT_EQ(back.Entry(0)->Session(1)->GetRegionPoints().GetCount(), 2u) << "the next session is found";
    }
}

namespace
{

// An extruded shape as far as the profile checks see one: a network object
// that also answers the extruded-surface id.
class FakeExtrudedObject : public Dezaz_NetworkSurfaceObject
{
public:
    void* QueryInterface(const GUID& iid) override
    {
        if (iid == IID_ExtrudedSurface)
            return GetGeometry();
        return Dezaz_NetworkSurfaceObject::QueryInterface(iid);
    }
    using IBase::QueryInterface;
};

class FakeExtrudedSession : public tSessionSurface<FakeExtrudedObject, ST_CExtractedNetworkSurface>
{
public:
    using tSessionSurface::tSessionSurface;
    void GetKindName(ON_wString& name) const override { name = L"Extruded"; }
    void GetClassId(GUID& id) const override { id = CLSID_CSessionExtruded; }
    std::uint8_t GetKindCode() const override { return kSessionKindExtruded; }
};

CSessionSurface* MakeFakeExtruded(CObjectSurfaces* owner)
{
    return new FakeExtrudedSession(owner);
}

} // namespace

TEST(EntitiesHistoryProfiles, OnlyAProfiledSketchWithCurvesCountsAndAResetKeepsItsFrameAndTheNetwork)
{
    const SessionFactory saved = SetSessionFactory(CLSID_CSessionExtruded, &MakeFakeExtruded);
    {
        CEntitiesHistory history;
        CObjectSurfaces* entry = history.GetOrCreate(kHostA);
        auto* network = static_cast<CSessionCurveNetwork*>(entry->CreateSession(CLSID_CSessionCurveNetwork, false));
        auto* extruded = static_cast<FakeExtrudedSession*>(entry->CreateSession(CLSID_CSessionExtruded, false));
        ASSERT_NE(network, nullptr);
        ASSERT_NE(extruded, nullptr);
        Dezaz_NetworkSurface& surface = *extruded->GetObject().GetGeometry();

        double frame[12] = {0, -1, 0, 5, 1, 0, 0, 6, 0, 0, 1, 7};
        tPolylineCollection<tFramePolyline<cVertex>> sections;
        tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
        const double a[3] = {1, 2, 0}, b[3] = {6, 2, 0};
        s.AddPoint3d(a);
        s.AddPoint3d(b);
        // A network's curves are no profile: an alignment moves them with
        // the mesh, so it neither asks about them nor resets them.
        ST_ISectionCurve* curves = network->GetObject().GetGeometry()->GetProfileCurve();
        auto* curve = new ST_TLineCurve<Dezaz_Wire>;
        ASSERT_TRUE(curve->RebuildWire(frame, sections, 0.0f, nullptr));
        curves->AddCurve(curve);
        EXPECT_FALSE(entry->HasProfiles()) << "no profile";

        ST_TLineCurve<Dezaz_Wire> line;
        ASSERT_TRUE(line.RebuildWire(frame, sections, 0.0f, nullptr));
        ASSERT_TRUE(surface.SetProfile(&line, 0));
        EXPECT_FALSE(entry->HasProfiles()) << "a line is no sketch";

        ST_TSketch<Dezaz_Wire> sketch;
        std::memcpy(sketch.frame, frame, sizeof frame);
        ASSERT_TRUE(surface.SetProfile(&sketch, 0));
        EXPECT_FALSE(entry->HasProfiles()) << "an empty sketch";
        auto* piece = new ST_TLineCurve<Dezaz_Wire>;
        ASSERT_TRUE(piece->RebuildWire(frame, sections, 0.0f, nullptr));
        surface.GetProfileCurve()->AddCurve(piece);
        EXPECT_TRUE(entry->HasProfiles());

        entry->ResetProfiles();
        const ST_ISectionCurve* reset = surface.GetProfileCurve();
        ASSERT_NE(reset, nullptr);
        EXPECT_EQ(reset->GetClassGuid(), CLSID_ST_TSketch);
        EXPECT_EQ(reset->GetSegmentCount(), 0u);
        for (int k = 0; k < 12; ++k)
            EXPECT_EQ(reset->frame[k], frame[k]) << k;
        EXPECT_FALSE(entry->HasProfiles());
        ASSERT_EQ(network->GetObject().GetGeometry()->GetProfileCurve(), curves);
        EXPECT_EQ(curves->GetSegmentCount(), 1u);
    }
    SetSessionFactory(CLSID_CSessionExtruded, saved);
}
