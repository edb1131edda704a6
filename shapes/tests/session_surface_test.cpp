// Sessions: names in their owner, the colours they give their shape, and
// the region they mark on the reference mesh, near and far from the origin.
#include "shapes/session_kinds.h"

#include "core/mesh.h"
#include "core/triangle_colour_property.h"
#include "overlay/prop_tree.h"
#include "shapes/extracted_record.h"
#include "shapes/region_triangles.h"
#include "core/thread_pool.h"
#include "platform/win32/controls.h"
#include "platform/win32/prompt_script.h"
#include "shapes/sketch_curve.h"
#include "support/test_sessions.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace
{

const ON_UUID kHost = ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D");

CTriangleColourProperties& TagsOf(cMeshObject& object)
{
    return *dynamic_cast<CTriangleColourProperties*>(object.FindAttachedProperty(kTriangleColoursPropertyName));
}

// Selects the quads with i in [i0, i1) and j in [j0, j1) of an nx-wide grid.
void SelectQuads(cMesh& mesh, int nx, int i0, int i1, int j0, int j1)
{
    for (int j = j0; j < j1; ++j)
        for (int i = i0; i < i1; ++i)
            for (int k = 0; k < 2; ++k)
                mesh.GetTriangle(static_cast<std::uint32_t>(2 * (j * nx + i) + k))->flags |= kTriangleFlagSelected;
}

bool QuadInside(std::uint32_t triangle, int nx, int i0, int i1, int j0, int j1)
{
    const int quad = static_cast<int>(triangle / 2);
    const int i = quad % nx, j = quad / nx;
    return i >= i0 && i < i1 && j >= j0 && j < j1;
}

} // namespace

TEST(SessionNames, KindNameThenRunningSuffixThatNeverGoesBack)
{
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    CSessionSurface* a = entry->CreateSession(CLSID_CSessionPlane, false);
    CSessionSurface* b = entry->CreateSession(CLSID_CSessionPlane, false);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->GetName(), ON_wString(L"Plane"));
    EXPECT_EQ(b->GetName(), ON_wString(L"Plane(1)"));
    EXPECT_TRUE(entry->DeleteSession(b));
    EXPECT_FALSE(entry->DeleteSession(b));
    EXPECT_EQ(entry->CreateSession(CLSID_CSessionPlane, false)->GetName(), ON_wString(L"Plane(2)"));
    EXPECT_EQ(entry->CreateSession(CLSID_CSessionSymmetryPlane, false)->GetName(), ON_wString(L"Symmetry Plane"));

    // Suffixes in use are skipped, and names compare without case.
    CObjectSurfaces* other = history.GetOrCreate(ON_UuidFromString("11111111-2222-3333-4444-555555555555"));
    other->CreateSession(CLSID_CSessionSphere, false);
    other->CreateSession(CLSID_CSessionCylinder, false)->SetName(L"SPHERE(1)");
    ON_wString name = L"Sphere";
    other->MakeUniqueName(name);
    EXPECT_EQ(name, ON_wString(L"Sphere(2)"));
    EXPECT_EQ(other->NameCounter(), 3u);
    EXPECT_EQ(other->FindByName(L"sphere(1)"), other->Session(1));

    // A name read with NULs inside it (a damaged record) gets a suffix that
    // tells it apart, instead of looking for one forever.
    ON_wString damaged(L"SPHERE\0\0x", 9);
    ASSERT_FALSE(other->IsNameUnique(damaged, nullptr));
    other->MakeUniqueName(damaged);
    EXPECT_EQ(damaged, ON_wString(L"SPHERE(3)"));
}

TEST(SessionNames, UnknownAndUnbuiltKindsMakeNothing)
{
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    EXPECT_EQ(entry->CreateSession(ON_UuidFromString("01234567-89AB-CDEF-0123-456789ABCDEF"), false), nullptr);
    // Every kind is built now; one without its maker stands for an unbuilt one.
    const SessionFactory saved = SetSessionFactory(CLSID_CSessionFreeForm, nullptr);
    EXPECT_EQ(entry->CreateSession(CLSID_CSessionFreeForm, false), nullptr);
    SetSessionFactory(CLSID_CSessionFreeForm, saved);
    EXPECT_EQ(entry->SessionCount(), 0u);
    EXPECT_EQ(entry->NameCounter(), 1u);
    EXPECT_EQ(history.GetOrCreate(ON_nil_uuid), nullptr);
}

TEST(SessionNames, RenameTrimsRefusesEmptyAndTakenNamesAndNeverFormatsTheText)
{
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    CSessionSurface* plane = entry->CreateSession(CLSID_CSessionPlane, false);
    CSessionSurface* sphere = entry->CreateSession(CLSID_CSessionSphere, false);
    // The name row of each session's page, as the shapes dialog shows it.
    CWnd dialog;
    dialog.CreateEx(0, AfxRegisterWndClass(0), L"Shapes", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr);
    CPropTree tree;
    RECT r{0, 0, 300, 300};
    ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | PTS_NOTIFY, r, &dialog, 3027));
    const auto nameRow = [&tree](CSessionSurface* session) {
        session->GetRecord()->tree = &tree;
        session->GetRecord()->BuildRows();
        return tree.FindItem(session->GetRecord()->nameRowId);
    };
    const auto commit = [](CSessionSurface* session, CPropTreeItem* row, const wchar_t* text) {
        row->SetItemValue(reinterpret_cast<LPARAM>(text));
        return session->CommitRow(row);
    };
    const auto shown = [](CPropTreeItem* row) {
        return std::wstring(reinterpret_cast<const wchar_t*>(row->GetItemValue()));
    };

    CPropTreeItem* row = nameRow(sphere);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(commit(sphere, row, L"  Ball %s %n  "));
    EXPECT_EQ(sphere->GetName(), ON_wString(L"Ball %s %n"));
    EXPECT_EQ(sphere->GetRecord()->name, L"Ball %s %n");

    row = nameRow(plane);
    EXPECT_FALSE(commit(plane, row, L"   "));
    EXPECT_EQ(shown(row), L"Plane");

    // A case variant of another session's name: the message names the text as typed.
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"The name 'BALL %s %n' already exists.", IDOK, nullptr});
    EXPECT_FALSE(commit(plane, row, L"BALL %s %n"));
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    EXPECT_EQ(plane->GetName(), ON_wString(L"Plane"));
    EXPECT_EQ(shown(row), L"Plane");
    // Its own name in another case is no conflict.
    EXPECT_TRUE(commit(plane, row, L"PLANE"));
    EXPECT_EQ(plane->GetName(), ON_wString(L"PLANE"));
    EXPECT_FALSE(plane->CommitRow(nullptr));
    plane->GetRecord()->tree = nullptr;
    sphere->GetRecord()->tree = nullptr;
    tree.DeleteAllItems();
    tree.DestroyWindow();
    dialog.DestroyWindow();
}

// A name typed with spaces around it: the shape and the list took "Top",
// the row went on showing "  Top  ".
TEST(SessionNames, TheNameRowShowsTheTrimmedNameTheShapeTook)
{
    CEntitiesHistory history;
    CSessionSurface* plane = history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionPlane, false);
    CWnd dialog;
    dialog.CreateEx(0, AfxRegisterWndClass(0), L"Shapes", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr);
    CPropTree tree;
    RECT r{0, 0, 300, 300};
    ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | PTS_NOTIFY, r, &dialog, 3027));
    plane->GetRecord()->tree = &tree;
    plane->GetRecord()->BuildRows();
    CPropTreeItem* row = tree.FindItem(plane->GetRecord()->nameRowId);
    ASSERT_NE(row, nullptr);
    row->SetItemValue(reinterpret_cast<LPARAM>(L"  Top  "));
    EXPECT_TRUE(plane->CommitRow(row));
    EXPECT_EQ(plane->GetName(), ON_wString(L"Top"));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(row->GetItemValue())), L"Top");
    plane->GetRecord()->tree = nullptr;
    tree.DeleteAllItems();
    tree.DestroyWindow();
    dialog.DestroyWindow();
}

TEST(SessionInit, ShapeIsSeeThroughWithTheSessionFrontColourAndOtherColoursKept)
{
    Dezaz_PlaneObject plain;
    CEntitiesHistory history;
    auto* session = static_cast<CSessionPlane*>(history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionPlane, false));
    const cDecoratorObject& d = session->GetObject().GetDecoratorConst();
    EXPECT_NE(d.m_flags & kDecoratorSeeThrough, 0u);
    EXPECT_FLOAT_EQ(d.m_colours[kDecoratorFront][0], 0.23529412f);
    EXPECT_FLOAT_EQ(d.m_colours[kDecoratorFront][1], 0.54901963f);
    EXPECT_FLOAT_EQ(d.m_colours[kDecoratorFront][3], 1.0f);
    for (int c = 1; c < 5; ++c)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(d.m_colours[c][k], plain.GetDecoratorConst().m_colours[c][k]);
    EXPECT_EQ(d.m_mode, plain.GetDecoratorConst().m_mode);
    GUID id;
    session->GetClassId(id);
    EXPECT_EQ(session->ClassId(), id);
}

// The region on a 40 x 30 grid, at the origin and 5,000 units away (float
// spacing there is 4.9e-4, five times the base membership radius).
class SessionRegion : public ::testing::TestWithParam<double>
{
protected:
    void SetUp() override
    {
        mesh = MakeGridMeshObject(40, 30, 1.0, GetParam(), -GetParam(), GetParam() / 2);
        session = static_cast<CSessionCylinder*>(history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionCylinder, false));
    }
    CEntitiesHistory history;
    std::unique_ptr<cMeshObject> mesh;
    CSessionCylinder* session = nullptr;
};

TEST_P(SessionRegion, TakePaintClearAndSelectAgreeOnEveryTriangle)
{
    cMesh& m = *mesh->GetMesh();
    SelectQuads(m, 40, 5, 17, 3, 20);
    m.GetTriangle(0)->flags |= kTriangleFlagSelected | kTriangleFlagHidden; // hidden: never part of a region
    session->TakeSelection(mesh.get());
    EXPECT_EQ(session->GetRegionPoints().GetCount(), 12u * 17u * 2u);
    CTriangleColourProperties& tags = TagsOf(*mesh);
    EXPECT_TRUE(tags.HasColours());
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        ASSERT_EQ(tags.Get(t), QuadInside(t, 40, 5, 17, 3, 20) ? kSessionKindCylinder : 0) << t;

    session->ClearMeshRegion(mesh.get());
    EXPECT_FALSE(tags.HasColours());
    session->PaintMeshRegion(mesh.get());
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        ASSERT_EQ(tags.Get(t), QuadInside(t, 40, 5, 17, 3, 20) ? kSessionKindCylinder : 0) << t;

    m.ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
    m.GetTriangle(1)->flags = kTriangleFlagSelected; // outside: deselected again
    session->SelectRegion(&m);
    std::uint32_t selectedVertices = 0;
    m.ForEachVertex([&](cVertex& v) { selectedVertices += (v.flags & 2) ? 1 : 0; });
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        ASSERT_EQ((m.GetTriangle(t)->flags & kTriangleFlagSelected) != 0, QuadInside(t, 40, 5, 17, 3, 20)) << t;
    EXPECT_EQ(selectedVertices, 13u * 18u);
}

TEST_P(SessionRegion, RegionStillMatchesAfterTheObjectAndItsSessionsAreMovedApart)
{
    cMesh& m = *mesh->GetMesh();
    SelectQuads(m, 40, 0, 40, 0, 30);
    session->TakeSelection(mesh.get());
    // A quarter turn about z with a shift: the mesh and the region are
    // rounded to floats each on its own.
    const double turn[12] = {0, -1, 0, 0.3, 1, 0, 0, -7.1, 0, 0, 1, 2.9};
    m.Transform(turn);
    session->GetOwner()->TransformSessions(turn, nullptr);
    m.ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
    session->SelectRegion(&m);
    std::uint32_t selected = 0;
    m.ForEachTriangle([&](cMeshTriangle& t) { selected += t.flags & kTriangleFlagSelected; });
    EXPECT_EQ(selected, m.GetTriangleCount());
}

TEST_P(SessionRegion, TheMeshWalkTagsAndSelectsWhatTestingEveryTriangleDoes)
{
    // Beside the grid: a second copy of a region triangle, copies moved by
    // 0.4 and 1.6 membership radii off a region triangle and off a triangle
    // outside the region, and a triangle naming a vertex that does not exist.
    cMesh& m = *mesh->GetMesh();
    SelectQuads(m, 40, 5, 17, 3, 20);
    const std::uint32_t inRegion = 2 * (10 * 40 + 8), outside = 2 * (25 * 40 + 30);
    const cMeshTriangle copy = *m.GetTriangle(inRegion);
    m.AddTriangle(copy.vertexIndex[0], copy.vertexIndex[1], copy.vertexIndex[2]);
    AddShiftedTriangleCopy(m, inRegion, 0.4);
    AddShiftedTriangleCopy(m, inRegion + 1, 1.6);
    AddShiftedTriangleCopy(m, outside, 0.4);
    m.AddTriangle(0, 1, m.GetVertexCount() + 5);
    m.Update();
    CTriangleColourProperties& tags = TagsOf(*mesh);
    ASSERT_TRUE(tags.Resize(m.GetTriangleCount()));
    session->TakeSelection(mesh.get());

    const auto tagsOf = [&] {
        std::vector<std::uint8_t> out;
        for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
            out.push_back(tags.Get(t));
        return out;
    };
    const auto selectionOf = [&] {
        std::vector<std::uint32_t> out;
        m.ForEachTriangle([&](cMeshTriangle& t) { out.push_back(t.flags & kTriangleFlagSelected); });
        m.ForEachVertex([&](cVertex& v) { out.push_back(v.flags & 2); });
        return out;
    };
    // Every triangle on its own, as the tags and selection must come out.
    session->ClearMeshRegion(mesh.get());
    session->PaintMeshRegion(mesh.get());
    const std::vector<std::uint8_t> painted = tagsOf();
    session->SelectRegion(&m);
    const std::vector<std::uint32_t> selected = selectionOf();
    const std::uint32_t grid = 2 * 40 * 30;
    ASSERT_EQ(std::vector<std::uint8_t>(painted.begin() + grid, painted.end()),
              (std::vector<std::uint8_t>{kSessionKindCylinder, kSessionKindCylinder, 0, 0, 0}))
        << "the copy and the near copy are in the region; the far copy, the outsider's copy and the broken "
           "triangle are not";

    cThreadPool pool(3);
    {
        // What the walk reads: every triangle's centroid as regions store
        // it, none for the broken one, and which may have a twin.
        const cRegionTriangles triangles(m, &pool);
        ASSERT_TRUE(triangles.IsFor(m));
        cMesh other;
        EXPECT_FALSE(triangles.IsFor(other));
        for (std::uint32_t t = 0; t + 1 < m.GetTriangleCount(); ++t)
        {
            const cVertex* corners[3];
            ASSERT_TRUE(m.GetCorners(*m.GetTriangle(t), corners));
            float centroid[3];
            RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
            ASSERT_TRUE(triangles.HasCentroid(t));
            ASSERT_EQ(std::memcmp(triangles.Centroid(t), centroid, sizeof centroid), 0) << t;
        }
        EXPECT_FALSE(triangles.HasCentroid(m.GetTriangleCount() - 1));
        // Which may lie near a region point, asked about each alone and
        // about all triangles at once: the region's own, the second copy and
        // the near copy of one; not the far copy, the outsider or its copy.
        const std::uint32_t asked[] = {inRegion, grid, grid + 1, grid + 2, 0u, outside, grid + 3};
        std::vector<std::uint32_t> all;
        for (std::uint32_t t = 0; t + 1 < m.GetTriangleCount(); ++t)
            all.push_back(t);
        cRegionPoints& region = session->GetRegionPoints();
        const std::vector<std::uint8_t> flags = triangles.MayLieNear(all, region);
        for (std::size_t k = 0; k < std::size(asked); ++k)
        {
            const std::uint8_t near = k < 3 ? 1 : 0;
            const std::vector<std::uint32_t> alone{asked[k]};
            EXPECT_EQ(triangles.MayLieNear(alone, region), std::vector<std::uint8_t>{near}) << asked[k];
            EXPECT_EQ(flags[asked[k]], near) << asked[k];
        }
    }
    for (const bool moved : {false, true})
    {
        if (moved)
        {
            // Two points swapped: the same region, whose points no longer
            // match the triangles in turn, so every triangle is tested again.
            cRegionPoints& region = session->GetRegionPoints();
            const std::array<float, 3> first{region.GetPoint(0)[0], region.GetPoint(0)[1],
                                             region.GetPoint(0)[2]};
            region.Replace(0, region.GetPoint(1));
            region.Replace(1, first.data());
        }
        for (cThreadPool* shared : {static_cast<cThreadPool*>(nullptr), &pool})
        {
            const cRegionTriangles triangles(m, shared);
            session->ClearMeshRegion(mesh.get(), &triangles);
            EXPECT_FALSE(tags.HasColours());
            session->PaintMeshRegion(mesh.get(), &triangles);
            EXPECT_EQ(tagsOf(), painted);
            // The region's tree not built yet (as after a read): the copies
            // near a region triangle are measured against every point.
            const double identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
            session->TransformRegion(identity);
            session->ClearMeshRegion(mesh.get(), &triangles);
            session->PaintMeshRegion(mesh.get(), &triangles);
            EXPECT_EQ(tagsOf(), painted);
            m.ForEachTriangle([](cMeshTriangle& t) { t.flags ^= kTriangleFlagSelected; });
            session->SelectRegion(&m, &triangles);
            EXPECT_EQ(selectionOf(), selected);
        }
    }
    pool.Stop();
}

TEST_P(SessionRegion, RegionsPaintedSideBySideEndAsPaintedOneAfterAnother)
{
    // Three overlapping regions, the last one's points out of triangle
    // order (every triangle tested on its own), a session without one, and
    // two more that share the points of the first two.
    cMesh& m = *mesh->GetMesh();
    CObjectSurfaces& owner = *session->GetOwner();
    std::vector<CSessionSurface*> sessions{session};
    for (const GUID& kind : {CLSID_CSessionPlane, CLSID_CSessionSphere, CLSID_CSessionPlane, CLSID_CSessionCylinder,
                             CLSID_CSessionSphere})
        sessions.push_back(owner.CreateSession(kind, false));
    const auto take = [&](CSessionSurface* s, int i0, int i1, int j0, int j1)
    {
        m.ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
        SelectQuads(m, 40, i0, i1, j0, j1);
        s->TakeSelection(mesh.get());
    };
    take(sessions[0], 5, 17, 3, 20);
    take(sessions[1], 10, 30, 0, 10);
    take(sessions[2], 0, 12, 8, 30);
    take(sessions[4], 10, 30, 0, 10);
    take(sessions[5], 5, 17, 3, 20);
    ASSERT_TRUE(sessions[4]->GetRegionPoints().SharesWith(sessions[1]->GetRegionPoints()));
    ASSERT_TRUE(sessions[5]->GetRegionPoints().SharesWith(sessions[0]->GetRegionPoints()));
    cRegionPoints& swapped = sessions[2]->GetRegionPoints();
    const std::array<float, 3> first{swapped.GetPoint(0)[0], swapped.GetPoint(0)[1], swapped.GetPoint(0)[2]};
    swapped.Replace(0, swapped.GetPoint(swapped.GetCount() - 1));
    swapped.Replace(swapped.GetCount() - 1, first.data());
    CTriangleColourProperties& tags = TagsOf(*mesh);
    const auto clearAll = [&]
    {
        for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
            tags.Set(t, 0);
    };
    clearAll();
    for (CSessionSurface* s : sessions)
        s->PaintMeshRegion(mesh.get());
    std::vector<std::uint8_t> expected;
    for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
        expected.push_back(tags.Get(t));
    EXPECT_EQ(expected[2 * (8 * 40 + 11)], kSessionKindSphere) << "the last region over the others";
    EXPECT_EQ(expected[2 * (5 * 40 + 11)], kSessionKindSphere) << "the first one's twin over the second's";
    EXPECT_EQ(expected[2 * (2 * 40 + 25)], kSessionKindCylinder) << "the second one's twin";

    cThreadPool pool(3);
    for (cThreadPool* shared : {static_cast<cThreadPool*>(nullptr), &pool})
    {
        const cRegionTriangles triangles(m, shared);
        clearAll();
        CSessionSurface::PaintMeshRegions(sessions, mesh.get(), &triangles, shared);
        for (std::uint32_t t = 0; t < m.GetTriangleCount(); ++t)
            ASSERT_EQ(tags.Get(t), expected[t]) << t;
        EXPECT_TRUE(tags.HasColours());
    }
    pool.Stop();
}

INSTANTIATE_TEST_SUITE_P(NearAndFar, SessionRegion, ::testing::Values(0.0, 5000.0));

TEST(SessionRegionEdges, EmptySelectionClearsTheOldTagsAndANewRegionNeverKeepsOldTreePoints)
{
    auto mesh = MakeGridMeshObject(4, 4, 1.0);
    CEntitiesHistory history;
    CSessionSurface* session = history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionSphere, false);
    SelectQuads(*mesh->GetMesh(), 4, 0, 2, 0, 2);
    session->TakeSelection(mesh.get());
    EXPECT_TRUE(TagsOf(*mesh).HasColours());
    mesh->GetMesh()->ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
    session->TakeSelection(mesh.get());
    EXPECT_EQ(session->GetRegionPoints().GetCount(), 0u);
    EXPECT_FALSE(TagsOf(*mesh).HasColours());

    // Without a mesh the region is emptied and so is the tree over it.
    SelectQuads(*mesh->GetMesh(), 4, 0, 4, 0, 4);
    session->TakeSelection(mesh.get());
    session->TakeSelection(nullptr);
    EXPECT_EQ(session->GetRegionPoints().GetCount(), 0u);
    const float p[3] = {0.5f, 0.5f, 0.0f};
    double radius = 10.0;
    EXPECT_EQ(session->GetSearchTree().FindNearest(p, radius), nullptr);
}

TEST(SessionRegionEdges, TriangleWhoseCentroidIsARegionPointCountsAndOneBesideItDoesNot)
{
    CEntitiesHistory history;
    CSessionSurface* session = history.GetOrCreate(kHost)->CreateSession(CLSID_CSessionPlane, false);
    const float p[3] = {1.0f, 1.0f, 1.0f};
    session->GetRegionPoints().Append(p);
    session->RebuildSearchTree();
    // Three corners whose centroid is exactly the region point.
    const float a[3] = {1.0f, 1.0f, 1.0f};
    EXPECT_TRUE(session->ContainsTriangle(a, a, a));
    const float far[3] = {1.5f, 1.0f, 1.0f};
    EXPECT_FALSE(session->ContainsTriangle(far, far, far));
}

TEST(SessionKinds, TheFactoryOrderNamesCodesAndTheClassIdsDocumentsHold)
{
    const struct
    {
        const wchar_t* id;
        const wchar_t* name;
        std::uint8_t code;
    } expected[8] = {
        {L"BEF37E0E-70F8-471C-A3E1-22177929DEEB", L"Plane", 1},
        {L"49F99501-53CC-4808-846C-25A338287A43", L"Symmetry Plane", 8},
        {L"3E90B1C1-0EB6-43CB-9AB8-74F6F1025E76", L"Sphere", 3},
        {L"E9B600DE-D78C-47F8-9EC6-999DB013E56C", L"Cylinder", 2},
        {L"379C3343-5C18-4EB9-8E51-6DB911B4DA0E", L"Free Form", 6},
        {L"21CBB60E-18BF-4E2E-BC9D-45C9FD0BD91D", L"Revolved", 4},
        {L"3DC03442-5651-4B25-BEA1-12F1DDFE8CA2", L"Extruded", 5},
        {L"549E77D6-DEE0-49AD-A750-791766501A22", L"Curves", 7},
    };
    std::size_t count = 0;
    const stSessionKind* kinds = SessionKinds(count);
    ASSERT_EQ(count, 8u);
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    for (std::size_t i = 0; i < count; ++i)
    {
        EXPECT_EQ(kinds[i].classId, ON_UuidFromString(expected[i].id)) << i;
        EXPECT_STREQ(kinds[i].kindName, expected[i].name);
        EXPECT_EQ(kinds[i].kindCode, expected[i].code);
        // A built kind answers with the same values as the table.
        if (CSessionSurface* session = entry->CreateSession(kinds[i].classId, false))
        {
            ON_wString name;
            session->GetKindName(name);
            EXPECT_EQ(name, ON_wString(expected[i].name));
            EXPECT_EQ(session->GetKindCode(), expected[i].code);
            EXPECT_EQ(session->ClassId(), kinds[i].classId);
        }
    }
    EXPECT_EQ(entry->SessionCount(), 8u);
}

TEST(SessionCurveNetwork, StartsWithAnEmptySketchAndTakesNoRegion)
{
    auto mesh = MakeGridMeshObject(4, 4, 1.0);
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(kHost);
    auto* curves = static_cast<CSessionCurveNetwork*>(entry->CreateSession(CLSID_CSessionCurveNetwork, false));
    ASSERT_NE(curves, nullptr);
    EXPECT_EQ(curves->GetName(), ON_wString(L"Curves"));
    const ST_ISectionCurve* profile = curves->GetObject().GetGeometry()->GetProfileCurve();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->GetClassGuid(), CLSID_ST_TSketch);
    EXPECT_EQ(profile->GetSegmentCount(), 0u);

    SelectQuads(*mesh->GetMesh(), 4, 0, 4, 0, 4);
    curves->TakeSelection(mesh.get());
    EXPECT_EQ(curves->GetRegionPoints().GetCount(), 0u);
    EXPECT_FALSE(TagsOf(*mesh).HasColours());
    // A network is no profiled shape whose sketch a reorientation would lose.
    EXPECT_FALSE(entry->HasProfiles());
}

TEST(SessionRegionEdges, SelectingARegionClearsTheVertexMarkOfEveryVertexOutsideIt)
{
    auto object = MakeGridMeshObject(6, 4, 2.0, -700.0, 350.0, 40.0);
    cMesh& mesh = *object->GetMesh();
    CObjectSurfaces owner(ON_nil_uuid, nullptr);
    CSessionSurface* session = owner.CreateSession(CLSID_CSessionPlane, false);
    // Quads (0, 0) and (1, 1) are the region.
    for (std::uint32_t t : {0u, 1u, 14u, 15u})
        mesh.GetTriangle(t)->flags |= kTriangleFlagSelected;
    session->TakeSelection(object.get());
    // Marks left over from an earlier selection everywhere, and triangles
    // selected since.
    mesh.ForEachVertex([](cVertex& v) { v.flags |= 2; });
    mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags |= kTriangleFlagSelected; });
    session->SelectRegion(&mesh);
    // Vertex (i, j) is j * 7 + i.
    const std::uint32_t inside[7] = {0, 1, 7, 8, 9, 15, 16};
    for (std::uint32_t v = 0; v < mesh.GetVertexCount(); ++v)
    {
        const bool expected = std::find(std::begin(inside), std::end(inside), v) != std::end(inside);
        EXPECT_EQ((mesh.GetVertex(v)->flags & 2) != 0, expected) << v;
    }
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        EXPECT_EQ((mesh.GetTriangle(t)->flags & kTriangleFlagSelected) != 0, t <= 1 || t == 14 || t == 15) << t;
}
