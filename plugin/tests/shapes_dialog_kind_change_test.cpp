// What a kind change gives, whatever it does to be quick on large scans:
// the fit over the marked vertices exactly as the record fits them, the
// region of exactly the selected visible triangles with their tags, the
// picture of the finished state, and regions that still answer for their
// triangles when a second shape is made from the same marks.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"
#include "fitting/fit_container.h"
#include "plugin/dialogs/shape_page.h"
#include "shapes/extracted_record.h"
#include "shapes/primitive_geometry.h"
#include "shapes/session_kinds.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <deque>
#include <vector>

namespace
{

class KindChange : public ShapesDialog
{
protected:
    // A noisy tilted plate far from the origin, all of it marked, then a
    // few marked triangles hidden (they stay out of the region).
    void OpenMarkedPlate()
    {
        Open(scans::Plane({1200, 300, -80}, scans::Unit({0.3, -0.4, 0.85}), 100.0, 24, 0.02));
        Click(IDC_SHAPES_SELECT_ALL);
        for (std::uint32_t i = 7; i < Mesh().GetTriangleCount(); i += 53)
            Mesh().GetTriangle(i)->flags |= kTriangleFlagHidden;
    }
    cMeshObject* MeshObject()
    {
        std::unique_ptr<cSceneObjectIterator> it(dialog->GetScene().GetObjectIterator());
        for (it->First(); !it->IsDone(); it->Next())
            if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()))
                return object;
        return nullptr;
    }
    // The centroids of the selected visible triangles, in triangle order.
    std::vector<float> SelectedCentroids()
    {
        std::vector<float> out;
        cMesh& mesh = Mesh();
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        {
            const cMeshTriangle& t = *mesh.GetTriangle(i);
            if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) != kTriangleFlagSelected)
                continue;
            float c[3];
            RegionCentroid(mesh.GetVertex(t.vertexIndex[0])->Position(), mesh.GetVertex(t.vertexIndex[1])->Position(),
                           mesh.GetVertex(t.vertexIndex[2])->Position(), c);
            out.insert(out.end(), c, c + 3);
        }
        return out;
    }
    static std::vector<float> Region(const CSessionSurface& session)
    {
        std::vector<float> out;
        const cRegionPoints& cloud = session.GetRegionPoints();
        for (std::uint32_t i = 0; i < cloud.GetCount(); ++i)
            out.insert(out.end(), cloud.GetPoint(i), cloud.GetPoint(i) + 3);
        return out;
    }
    static const cPlane& PlaneOf(CSessionSurface& session)
    {
        return static_cast<CSessionPlane&>(session).GetObject().GetGeometry()->GetPlane();
    }
    static void ExpectSamePlane(const tPlane<double>& a, const tPlane<double>& b)
    {
        EXPECT_EQ(std::memcmp(a.normal, b.normal, sizeof a.normal), 0);
        EXPECT_EQ(std::memcmp(a.origin, b.origin, sizeof a.origin), 0);
        EXPECT_EQ(std::memcmp(a.xAxis, b.xAxis, sizeof a.xAxis), 0);
        EXPECT_EQ(a.halfWidth, b.halfWidth);
        EXPECT_EQ(a.halfHeight, b.halfHeight);
        EXPECT_EQ(a.d, b.d);
    }
    std::vector<std::uint8_t> Tags()
    {
        auto* tags = dynamic_cast<CTriangleColourProperties*>(MeshObject()->FindAttachedProperty(kTriangleColoursPropertyName));
        std::vector<std::uint8_t> out;
        for (std::uint32_t i = 0; tags && i < tags->GetCount(); ++i)
            out.push_back(tags->Get(i));
        return out;
    }
    win32::ClientImage ViewPicture() { return win32::ComposeWindowImage(dialog->GetShapesView()->GetSafeHwnd()); }
};

TEST_F(KindChange, FitsTheMarkedVerticesAsTheRecordDoesAndTakesTheSelectedVisibleTriangles)
{
    OpenMarkedPlate();
    const std::vector<float> centroids = SelectedCentroids();
    ASSERT_EQ(Mesh().GetTriangleCount(), 2u * 24u * 24u);
    ASSERT_EQ(centroids.size(), 3u * (2u * 24u * 24u - 22u)); // triangles 7, 60, ... 1120 hidden
    ChooseKind(eShapeKind::Plane);
    CSessionSurface* session = dialog->GetCurrentSession();
    ASSERT_NE(session, nullptr);

    // The region: one centroid per selected visible triangle, bit for bit,
    // and the kind's tag on exactly those triangles.
    EXPECT_EQ(Region(*session), centroids);
    const std::vector<std::uint8_t> tags = Tags();
    ASSERT_EQ(tags.size(), std::size_t(Mesh().GetTriangleCount()));
    for (std::uint32_t i = 0; i < Mesh().GetTriangleCount(); ++i)
    {
        const bool taken = (Mesh().GetTriangle(i)->flags & kTriangleFlagHidden) == 0;
        ASSERT_EQ(tags[i], taken ? kSessionKindPlane : 0) << i;
    }
    // The region's tree finds the region's triangles and no hidden one.
    cMesh& mesh = Mesh();
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        const cMeshTriangle& t = *mesh.GetTriangle(i);
        ASSERT_EQ(session->ContainsTriangle(mesh.GetVertex(t.vertexIndex[0])->Position(),
                                            mesh.GetVertex(t.vertexIndex[1])->Position(),
                                            mesh.GetVertex(t.vertexIndex[2])->Position()),
                  (t.flags & kTriangleFlagHidden) == 0)
            << i;
    }

    // The plane: what a fresh plane record fits to the marked vertices
    // (position, normal, active, no weight yet), in vertex order.
    std::deque<stFitPoint> points;
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        if (!(v->flags & 2u))
            continue;
        stFitPoint p;
        std::memcpy(p.position, v->Position(), sizeof p.position);
        p.normal[0] = v->nx, p.normal[1] = v->ny, p.normal[2] = v->nz;
        p.active = 1;
        p.residual = double(FLT_MAX);
        points.push_back(p);
    }
    ASSERT_EQ(points.size(), std::size_t(mesh.GetVertexCount()));
    CEntitiesHistory other;
    CSessionSurface* reference = other.GetOrCreate(ON_UuidFromString("5A0F3C2E-1B4D-4E6F-8A9B-0C1D2E3F4A5B"))
                                     ->CreateSession(CLSID_CSessionPlane, false);
    ASSERT_NE(reference, nullptr);
    reference->GetRecord()->tree = &dialog->GetShapePage()->GetPropertyTree();
    reference->GetRecord()->BuildRows();
    const cFitContainer container(points);
    ASSERT_NE(reference->GetRecord()->Refit(container, 1.1, MeshObject(), nullptr), 0);
    ExpectSamePlane(PlaneOf(*session), PlaneOf(*reference));
    reference->GetRecord()->tree = nullptr;
    dialog->SetCurrentShape(session); // its rows back in the page
}

TEST_F(KindChange, TheViewShowsTheFinishedShapeAsAFreshFrameWould)
{
    OpenMarkedPlate();
    const win32::ClientImage before = ViewPicture();
    ChooseKind(eShapeKind::Plane);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    const win32::ClientImage shown = ViewPicture();
    dialog->GetShapesView()->RequestRedraw(0);
    const win32::ClientImage fresh = ViewPicture();
    ASSERT_EQ(shown.width, fresh.width);
    ASSERT_EQ(shown.height, fresh.height);
    EXPECT_TRUE(shown.pixels == fresh.pixels) << "the frame left on screen is the frame of the finished state";
    EXPECT_FALSE(shown.pixels == before.pixels) << "the shape and its region show";
    EXPECT_FALSE(dialog->GetShapesView()->IsUpdateLocked());
    Snapshot("kind_change_plate");

    // A kind change that fails leaves the view unlocked too, with its hint.
    Click(IDC_SHAPES_DESELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    EXPECT_EQ(dialog->GetCurrentSession(), nullptr);
    EXPECT_FALSE(dialog->GetShapesView()->IsUpdateLocked());
}

TEST_F(KindChange, RebuildAndHorizontalLeaveTheFrameOfTheRefreshedShape)
{
    OpenMarkedPlate();
    ChooseKind(eShapeKind::Plane);
    CSessionSurface* session = dialog->GetCurrentSession();
    ASSERT_NE(session, nullptr);
    const tPlane<double> fitted = PlaneOf(*session);
    const win32::ClientImage chosen = ViewPicture();
    // Rebuild with the marks unchanged: the same plane, region and picture.
    const std::vector<float> region = Region(*session);
    dialog->GetShapePage()->OnRebuild();
    ExpectSamePlane(PlaneOf(*session), fitted);
    EXPECT_EQ(Region(*session), region);
    const win32::ClientImage rebuilt = ViewPicture();
    EXPECT_TRUE(rebuilt.pixels == chosen.pixels);
    // Horizontal: another plane, and the frame left is that of the new plane.
    dialog->GetShapePage()->OnHorizontal();
    EXPECT_NEAR(std::fabs(PlaneOf(*session).normal[2]), 1.0, 1e-9);
    const win32::ClientImage shown = ViewPicture();
    dialog->GetShapesView()->RequestRedraw(0);
    const win32::ClientImage fresh = ViewPicture();
    EXPECT_TRUE(shown.pixels == fresh.pixels);
    EXPECT_FALSE(shown.pixels == chosen.pixels);
}

TEST_F(KindChange, TwoShapesOfTheSameMarksKeepAnsweringForTheirRegions)
{
    OpenMarkedPlate();
    const std::vector<float> centroids = SelectedCentroids();
    ChooseKind(eShapeKind::Plane);
    CSessionSurface* first = dialog->GetCurrentSession();
    ChooseKind(eShapeKind::Plane);
    CSessionSurface* second = dialog->GetCurrentSession();
    ASSERT_TRUE(first && second && first != second);
    EXPECT_EQ(Region(*first), centroids);
    EXPECT_EQ(Region(*second), centroids);
    ExpectSamePlane(PlaneOf(*first), PlaneOf(*second));

    // Rebuilding the first with fewer marks changes its region only.
    for (std::uint32_t i = 0; i < Mesh().GetTriangleCount(); i += 2)
        Mesh().GetTriangle(i)->flags &= std::uint8_t(~kTriangleFlagSelected);
    ASSERT_TRUE(RefitActiveSurface(dialog->GetShapePage(), first));
    const std::vector<float> fewer = SelectedCentroids();
    EXPECT_EQ(Region(*first), fewer);
    EXPECT_EQ(Region(*second), centroids);

    // Deleting the second clears the tags of its whole region, the first's
    // triangles included; painting the first again brings its own back.
    dialog->SetCurrentShape(second);
    dialog->DeleteCurrentShape();
    for (const std::uint8_t tag : Tags())
        ASSERT_EQ(tag, 0);
    first->PaintMeshRegion(MeshObject());
    const std::vector<std::uint8_t> tags = Tags();
    for (std::uint32_t i = 0; i < Mesh().GetTriangleCount(); ++i)
    {
        const cMeshTriangle& t = *Mesh().GetTriangle(i);
        ASSERT_EQ(tags[i], (t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected
                               ? kSessionKindPlane
                               : 0)
            << i;
    }
}

} // namespace
