// Sessions and the parameter records they embed: every kind's record shows
// its shape and carries its name, a shape read from a document freezes the
// record's choices, a moved object turns the record's fixed directions, and
// documents saved before the sessions held records still open whole.
#include "shapes/entities_history.h"
#include "shapes/loft_session.h"
#include "shapes/session_kinds.h"

#include "support/history_document_1_1.h"
#include "support/test_sessions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

const ON_UUID kHostA = ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D");
const ON_UUID kHostB = ON_UuidFromString("F1E2D3C4-B5A6-4978-8695-A4B3C2D1E0F9");

bool ReadDocument(CEntitiesHistory& history, const std::uint8_t* bytes, std::size_t size)
{
    ON_MemoryArchive archive(bytes, size);
    int major = 0, minor = 0;
    if (!archive.Read3dmChunkVersion(&major, &minor) || major != 1 || minor != 0)
        return false;
    return archive.Read3dmChunkVersion(&major, &minor) && history.Read(archive, major, minor);
}

} // namespace

TEST(SessionRecords, EveryKindEmbedsARecordAttachedToItsShapeThatCarriesItsName)
{
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHostA);
    std::size_t n = 0;
    const stSessionKind* kinds = SessionKinds(n);
    ASSERT_EQ(n, 8u);
    for (std::size_t i = 0; i < n; ++i)
    {
        CSessionSurface* session = entry->CreateSession(kinds[i].classId, false);
        ASSERT_NE(session, nullptr) << i;
        ST_IExtracted* record = session->GetRecord();
        ASSERT_NE(record, nullptr) << i;
        // The record works on the very shape the scene object owns.
        ASSERT_NE(record->GetSessionObject(), nullptr) << i;
        EXPECT_EQ(record->GetSessionObject(),
                  static_cast<ST_IGeometry*>(session->GetSceneObject()->QueryInterface(IID_ST_IGeometry)))
            << i;
        EXPECT_EQ(record->name, std::wstring(kinds[i].kindName)) << i;
        session->SetName(L"Renamed \u00e9");
        EXPECT_EQ(record->name, L"Renamed \u00e9") << i;
        EXPECT_EQ(session->GetName(), ON_wString(L"Renamed \u00e9")) << i;
    }
}

TEST(SessionRecords, AShapeReadFromADocumentFreezesItsRecordsChoices)
{
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHostA);
    auto* plane = static_cast<CSessionPlane*>(entry->CreateSession(CLSID_CSessionPlane, false));
    auto* cylinder = static_cast<CSessionCylinder*>(entry->CreateSession(CLSID_CSessionCylinder, false));
    auto* extruded = static_cast<CSessionExtruded*>(entry->CreateSession(CLSID_CSessionExtruded, false));
    FillSession(*plane, 3, 4);
    FillSession(*cylinder, 5, 2);
    EXPECT_EQ(plane->GetExtracted().m_normalChoice, kChoiceFitDriven);
    EXPECT_EQ(cylinder->GetExtracted().m_directionChoice, kChoiceFitDriven);
    EXPECT_EQ(extruded->GetExtracted().m_directionChoice, kChoiceFitDriven);

    ON_MemoryArchive out;
    ASSERT_TRUE(history.Write(out));
    ON_MemoryArchive in(out.Buffer().data(), out.Buffer().size());
    int major = 0, minor = 0;
    ASSERT_TRUE(in.Read3dmChunkVersion(&major, &minor));
    CEntitiesHistory back;
    ASSERT_TRUE(back.Read(in, major, minor));
    const CObjectSurfaces& read = *back.Entry(0);
    const auto& planeBack = static_cast<const CSessionPlane&>(*read.Session(0));
    const auto& cylinderBack = static_cast<const CSessionCylinder&>(*read.Session(1));
    const auto& extrudedBack = static_cast<const CSessionExtruded&>(*read.Session(2));
    EXPECT_EQ(planeBack.GetExtracted().m_normalChoice, kDirectionCustom);
    EXPECT_EQ(planeBack.GetExtracted().m_offsetChoice, kValueCustom);
    EXPECT_EQ(cylinderBack.GetExtracted().m_directionChoice, kDirectionCustom);
    EXPECT_EQ(extrudedBack.GetExtracted().m_directionChoice, kDirectionCustom);
    EXPECT_EQ(extrudedBack.GetExtracted().m_draftChoice, kValueCustom);
    EXPECT_EQ(planeBack.GetName(), ON_wString(L"Plane"));
}

TEST(SessionRecords, MovingTheObjectTurnsTheRecordsFixedDirections)
{
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHostA);
    auto* extruded = static_cast<CSessionExtruded*>(entry->CreateSession(CLSID_CSessionExtruded, false));
    auto* revolved = static_cast<CSessionRevolved*>(entry->CreateSession(CLSID_CSessionRevolved, false));
    stProfileFitParams& e = extruded->GetExtracted().m_block;
    e.direction[0] = 1.0, e.direction[1] = 0.0, e.direction[2] = 0.0;
    stProfileFitParams& r = revolved->GetExtracted().m_block;
    r.direction[0] = 0.0, r.direction[1] = 1.0, r.direction[2] = 0.0;
    r.point[0] = 10.0, r.point[1] = 0.0, r.point[2] = 0.0;
    // A quarter turn about z, then a move by (100, -50, 7).
    const double m[12] = {0, -1, 0, 100, 1, 0, 0, -50, 0, 0, 1, 7};
    entry->TransformSessions(m, nullptr);
    EXPECT_NEAR(e.direction[0], 0.0, 1e-12);
    EXPECT_NEAR(e.direction[1], 1.0, 1e-12);
    EXPECT_NEAR(e.direction[2], 0.0, 1e-12);
    EXPECT_NEAR(r.direction[0], -1.0, 1e-12);
    EXPECT_NEAR(r.direction[1], 0.0, 1e-12);
    EXPECT_NEAR(r.point[0], 100.0, 1e-12);
    EXPECT_NEAR(r.point[1], -40.0, 1e-12);
    EXPECT_NEAR(r.point[2], 7.0, 1e-12);
}

TEST(SessionRecords, ADocumentSavedBeforeTheRecordsOpensWithEverySessionAndSavesTheSameBytes)
{
    CEntitiesHistory history;
    ASSERT_TRUE(ReadDocument(history, kHistoryDocument11, sizeof kHistoryDocument11));
    ASSERT_EQ(history.Count(), 2u);
    const CObjectSurfaces& a = *history.Entry(0);
    const CObjectSurfaces& b = *history.Entry(1);
    EXPECT_EQ(a.HostId(), kHostA);
    EXPECT_EQ(b.HostId(), kHostB);
    const wchar_t* names[] = {L"Plane", L"Mirror \u00e9", L"Sphere", L"Cylinder",
                              L"Free Form", L"Revolved", L"Extruded", L"Curves"};
    std::size_t n = 0;
    const stSessionKind* kinds = SessionKinds(n);
    ASSERT_EQ(a.SessionCount(), n);
    for (std::size_t i = 0; i < n; ++i)
    {
        const CSessionSurface& session = *a.Session(i);
        EXPECT_EQ(session.GetKindCode(), kinds[i].kindCode) << i;
        EXPECT_EQ(session.GetName(), ON_wString(names[i])) << i;
        EXPECT_EQ(session.GetRecord()->name, std::wstring(names[i])) << i;
        // Curve networks hold no region.
        const std::uint32_t points = kinds[i].kindCode == kSessionKindCurves ? 0u : static_cast<std::uint32_t>(4 + i);
        EXPECT_EQ(session.GetRegionPoints().GetCount(), points) << i;
    }
    const auto& loft = static_cast<const CSessionFreeForm&>(*a.Session(4)).GetObject();
    ASSERT_NE(loft.GetGeometry()->GetProfileCurve(), nullptr);
    EXPECT_EQ(loft.GetGeometry()->GetParameters().sections.size(), 2u);
    const auto& extruded = static_cast<const CSessionExtruded&>(*a.Session(6)).GetObject();
    EXPECT_DOUBLE_EQ(extruded.GetGeometry()->GetExtrusion().length, 6.0);
    ASSERT_EQ(b.SessionCount(), 2u);
    EXPECT_EQ(b.Session(0)->GetName(), ON_wString(L"Plane"));
    EXPECT_EQ(b.Session(1)->GetName(), ON_wString(L"Plane(1)"));

    // Saved again, only the curve network's stale region (eleven points) is
    // gone; what is saved then opens and saves to the same bytes.
    ON_MemoryArchive again;
    ASSERT_TRUE(again.Write3dmChunkVersion(1, 0));
    ASSERT_TRUE(history.Write(again));
    EXPECT_EQ(again.Buffer().size() + 11 * 12, sizeof kHistoryDocument11);
    CEntitiesHistory reopened;
    ASSERT_TRUE(ReadDocument(reopened, again.Buffer().data(), again.Buffer().size()));
    ON_MemoryArchive third;
    ASSERT_TRUE(third.Write3dmChunkVersion(1, 0));
    ASSERT_TRUE(reopened.Write(third));
    EXPECT_EQ(third.Buffer(), again.Buffer());
}
