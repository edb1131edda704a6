// Shapes created in the host document land where the host mesh is, whatever
// the dialog did to its own copy; Create ALL stops at a failing shape; the
// host mesh follows the dialog only when it is still there.
#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"
#include "platform/geometry/brep.h"
#include "platform/geometry/rev_surface.h"
#include "platform/geometry/surface.h"
#include "plugin/dialogs/shape_transfer.h"
#include "core/profiled_surface.h"
#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "shapes/dezaz_wire.h"
#include "shapes/sketch_curve.h"
#include "shapes/primitive_geometry.h"
#include "shapes/session_kinds.h"
#include "shapes/shape_interfaces.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

class ShapeTransfer : public ShapesDialog
{
protected:
    void SetUp() override
    {
        ShapesDialog::SetUp();
        InstallShapeTransfer();
    }
    std::vector<const CDezazBrepObject*> Breps() const
    {
        std::vector<const CDezazBrepObject*> out;
        for (const CDezazObject* object : DezazApp().ActiveDoc().Objects())
            if (const auto* brep = dynamic_cast<const CDezazBrepObject*>(object))
                out.push_back(brep);
        return out;
    }
    CSessionSurface* AddPlaneSession(const double origin[3], double halfWidth, double halfHeight)
    {
        CSessionSurface* session = dialog->GetEntry()->CreateSession(CLSID_CSessionPlane, false);
        auto* plane = static_cast<ST_CPlane*>(session->GetSceneObject()->QueryInterface(IID_ST_CPlane));
        const double x[3] = {1, 0, 0}, y[3] = {0, 1, 0};
        plane->SetFrameFromAxes(origin, x, halfWidth, y, halfHeight);
        return session;
    }
};

const ON_Surface* OnlySurface(const CDezazBrepObject* object)
{
    const ON_Brep* brep = object ? object->Brep() : nullptr;
    if (!brep || brep->FaceCount() != 1)
        return nullptr;
    return const_cast<ON_Brep*>(brep)->Face(0)->SurfaceOf();
}

} // namespace

TEST(ShapeTransferFrames, IdentityWithinFloatEpsilonAndRigidInverseBeforeDisplay)
{
    double frame[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    EXPECT_TRUE(IsIdentityFrame(frame));
    frame[3] = 1e-7; // below FLT_EPSILON
    EXPECT_TRUE(IsIdentityFrame(frame));
    frame[3] = 2e-7;
    EXPECT_FALSE(IsIdentityFrame(frame));

    // Mesh frame: a quarter turn about z then a shift; display frame: a
    // shift. A host point p shown at D(M p) goes back to p.
    const double mesh[12] = {0, -1, 0, 10, 1, 0, 0, -20, 0, 0, 1, 5};
    const double display[12] = {1, 0, 0, 3, 0, 1, 0, 4, 0, 0, 1, 0};
    const ON_Xform placement = HostPlacementXform(mesh, display);
    // The dialog point of host point (1, 2, 3): M p = (8, -19, 8).
    const ON_3dPoint back = placement * ON_3dPoint(8, -19, 8);
    // Display frame applied after the inverse: (1, 2, 3) + (3, 4, 0).
    EXPECT_NEAR(back.x, 4, 1e-12);
    EXPECT_NEAR(back.y, 6, 1e-12);
    EXPECT_NEAR(back.z, 3, 1e-12);
}

TEST_F(ShapeTransfer, PlaneOfHalfExtentsTwoByThreeBecomesAFourBySixRectangle)
{
    Open(scans::Plane({300, -200, 50}, {0, 0, 1}, 20, 4));
    const double origin[3] = {310, -190, 50};
    CSessionSurface* session = AddPlaneSession(origin, 2, 3);
    const int regens = DezazApp().ActiveDoc().RegenCount();
    ASSERT_TRUE(TransferShapeToHost(*dialog, session, true));
    EXPECT_EQ(DezazApp().ActiveDoc().RegenCount(), regens + 1);
    const auto breps = Breps();
    ASSERT_EQ(breps.size(), 1u);
    const ON_BoundingBox box = breps[0]->Brep()->BoundingBox();
    EXPECT_NEAR(box.m_min.x, 308, 1e-9);
    EXPECT_NEAR(box.m_max.x, 312, 1e-9);
    EXPECT_NEAR(box.m_min.y, -193, 1e-9);
    EXPECT_NEAR(box.m_max.y, -187, 1e-9);
    EXPECT_NEAR(box.m_min.z, 50, 1e-9);
    EXPECT_NEAR(box.m_max.z, 50, 1e-9);

    // Leaning at 45 degrees about x: the 6 side rises 3 sqrt(2) in y and z.
    CSessionSurface* leaning = dialog->GetEntry()->CreateSession(CLSID_CSessionPlane, false);
    auto* plane = static_cast<ST_CPlane*>(leaning->GetSceneObject()->QueryInterface(IID_ST_CPlane));
    const double x[3] = {1, 0, 0}, y[3] = {0, std::sqrt(0.5), std::sqrt(0.5)};
    plane->SetFrameFromAxes(origin, x, 2, y, 3);
    ASSERT_TRUE(TransferShapeToHost(*dialog, leaning, false));
    ASSERT_EQ(Breps().size(), 2u);
    const ON_BoundingBox tilted = Breps()[1]->Brep()->BoundingBox();
    const double rise = 3 * std::sqrt(0.5);
    EXPECT_NEAR(tilted.m_max.x - tilted.m_min.x, 4, 1e-9);
    EXPECT_NEAR(tilted.m_min.y, -190 - rise, 1e-9);
    EXPECT_NEAR(tilted.m_max.y, -190 + rise, 1e-9);
    EXPECT_NEAR(tilted.m_min.z, 50 - rise, 1e-9);
    EXPECT_NEAR(tilted.m_max.z, 50 + rise, 1e-9);
}

TEST_F(ShapeTransfer, CylinderAfterAnAlignmentIsTheFittedOneMappedBackToTheHostMesh)
{
    const scans::Vec base{500, -300, 200}, axis = scans::Unit({0.2, 0.5, 1.0});
    Open(scans::Cylinder(base, axis, 25.0, 60.0, 64, 12, false, 0.02));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    const double* f = dialog->GetMeshFrame();
    ASSERT_FALSE(IsIdentityFrame(f));
    // The aligned cylinder, mapped back by the rigid inverse of the frame:
    // p = R^T (q - t), d = R^T e.
    const cCylinder& aligned = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder();
    // A host cylinder's axis is a unit vector, the fitted one only nearly.
    const double length = std::sqrt(aligned.axis[0] * aligned.axis[0] + aligned.axis[1] * aligned.axis[1] +
                                    aligned.axis[2] * aligned.axis[2]);
    double point[3], direction[3];
    for (int c = 0; c < 3; ++c)
    {
        point[c] = direction[c] = 0.0;
        for (int r = 0; r < 3; ++r)
        {
            point[c] += f[r * 4 + c] * (aligned.axisPoint[r] - f[r * 4 + 3]);
            direction[c] += f[r * 4 + c] * aligned.axis[r] / length;
        }
    }
    // Nowhere near where the dialog shows it, close to the scan's truth.
    EXPECT_GT(std::fabs(point[0] - aligned.axisPoint[0]) + std::fabs(point[1] - aligned.axisPoint[1]), 100.0);
    EXPECT_NEAR(std::fabs(direction[0] * axis.x + direction[1] * axis.y + direction[2] * axis.z), 1.0, 1e-4);

    const int regens = DezazApp().ActiveDoc().RegenCount();
    ASSERT_TRUE(TransferShapeToHost(*dialog, dialog->GetCurrentSession(), true));
    EXPECT_EQ(DezazApp().ActiveDoc().RegenCount(), regens + 1);
    const auto breps = Breps();
    ASSERT_EQ(breps.size(), 1u);
    const auto* surface = dynamic_cast<const ON_RevSurface*>(OnlySurface(breps[0]));
    ASSERT_NE(surface, nullptr);
    const ON_3dPoint from = surface->m_axis.from, to = surface->m_axis.to;
    for (int c = 0; c < 3; ++c)
    {
        EXPECT_NEAR(from[c], point[c], 1e-9);
        EXPECT_NEAR(to[c] - from[c], direction[c], 1e-9);
    }
    // The profile line: at the radius from the axis, from height 0 to h.
    for (int i = 0; i < 2; ++i)
    {
        ASSERT_EQ(surface->m_curve.cv_count, 2);
        const double* p = surface->m_curve.CV(i);
        const ON_3dPoint cv(p[0], p[1], p[2]);
        const ON_3dVector v = cv - from;
        // The frame's rows are orthonormal only to float precision: measure
        // along the mapped direction whatever its length.
        const double squared = direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2];
        const double along = (v.x * direction[0] + v.y * direction[1] + v.z * direction[2]) / squared;
        const ON_3dVector radial = v - along * ON_3dVector(direction[0], direction[1], direction[2]);
        EXPECT_NEAR(radial.Length(), aligned.radius, 1e-9);
        EXPECT_NEAR(along, i == 0 ? 0.0 : aligned.height, 1e-9);
    }
}

TEST_F(ShapeTransfer, CreateAllStopsAtAFailingShapeAddsTheFirstAndRegeneratesOnce)
{
    Open(scans::Plane({0, 0, 0}, {0, 0, 1}, 20, 4));
    const double origin[3] = {1, 2, 0};
    AddPlaneSession(origin, 2, 3);
    dialog->GetEntry()->CreateSession(CLSID_CSessionExtruded, false); // no sketch: nothing to build
    AddPlaneSession(origin, 4, 4);
    QueueAnswer(kSketchNotConnectedMessage, IDOK);
    const int regens = DezazApp().ActiveDoc().RegenCount();
    Click(IDC_SHAPES_CREATE_ALL);
    EXPECT_EQ(Breps().size(), 1u);
    EXPECT_EQ(DezazApp().ActiveDoc().RegenCount(), regens + 1);
    // Without any success nothing is regenerated.
    dialog->GetEntry()->DeleteSession(dialog->GetEntry()->Session(0));
    QueueAnswer(kSketchNotConnectedMessage, IDOK);
    EXPECT_EQ(TransferAllShapesToHost(*dialog), 0);
    EXPECT_EQ(DezazApp().ActiveDoc().RegenCount(), regens + 1);
    EXPECT_FALSE(TransferShapeToHost(*dialog, nullptr, true));
}

TEST_F(ShapeTransfer, HostMeshFollowsTheAlignmentOnceAndADeletedMeshKeepsTheFrame)
{
    const scans::Vec base{120, 40, -60}, axis = scans::Unit({0.0, 1.0, 0.4});
    Open(scans::Cylinder(base, axis, 15.0, 40.0, 48, 8, false, 0.0));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    ASSERT_FALSE(IsIdentityFrame(dialog->GetMeshFrame()));
    double frame[12];
    std::memcpy(frame, dialog->GetMeshFrame(), sizeof frame);

    // The host mesh was deleted meanwhile: nothing moves, the frame stays.
    CDezazDoc& doc = DezazApp().ActiveDoc();
    const ON_Mesh original(*static_cast<const CDezazMeshObject*>(host)->Mesh());
    const ON_UUID id = host->ModelObjectId();
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(host)));
    QueueAnswer(kHostMeshNotMovedMessage, IDOK);
    Click(IDC_SHAPES_HOST_SAME_PLACE);
    EXPECT_EQ(std::memcmp(dialog->GetMeshFrame(), frame, sizeof frame), 0);
    EXPECT_FALSE(MoveHostMeshByFrame(*dialog, frame));

    // Back in the document (same uuid), it follows: vertex i goes to F v_i.
    ON_3dmObjectAttributes attributes;
    attributes.m_uuid = id;
    host = doc.AddObject(std::make_unique<CDezazMeshObject>(original, attributes));
    ASSERT_NE(host, nullptr);
    const int redraws = doc.RedrawCount();
    Click(IDC_SHAPES_HOST_SAME_PLACE);
    EXPECT_TRUE(IsIdentityFrame(dialog->GetMeshFrame()));
    EXPECT_TRUE(IsIdentityFrame(dialog->m_placement));
    EXPECT_FALSE(Enabled(IDC_SHAPES_RESET));
    EXPECT_EQ(doc.RedrawCount(), redraws + 1);
    const auto* moved = dynamic_cast<const CDezazMeshObject*>(doc.LookupObject(id));
    ASSERT_NE(moved, nullptr);
    ASSERT_EQ(moved->Mesh()->m_V.Count(), original.m_V.Count());
    for (int i = 0; i < original.m_V.Count(); i += 37)
    {
        const ON_3fPoint& v = original.m_V[i];
        for (int r = 0; r < 3; ++r)
        {
            const double expected = frame[r * 4] * v.x + frame[r * 4 + 1] * v.y + frame[r * 4 + 2] * v.z + frame[r * 4 + 3];
            EXPECT_NEAR(moved->Mesh()->m_V[i][r], expected, 1e-3) << "vertex " << i;
        }
    }
    // A second press finds nothing to do.
    Click(IDC_SHAPES_HOST_SAME_PLACE);
    EXPECT_EQ(doc.RedrawCount(), redraws + 1);
}

TEST_F(ShapeTransfer, NetworkCurvesAfterAnAlignmentLandWhereTheHostMeshIs)
{
    Open(scans::Plane({200, -100, 40}, scans::Unit({0.3, -0.2, 1.0}), 30, 6, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    const double* f = dialog->GetMeshFrame();
    ASSERT_FALSE(IsIdentityFrame(f));

    // A network of one line, drawn where the dialog shows the mesh.
    CSessionSurface* session = dialog->GetEntry()->CreateSession(CLSID_CSessionCurveNetwork, false);
    ASSERT_NE(session, nullptr);
    auto* profiled = static_cast<ST_IProfiledSurface*>(session->GetSceneObject()->QueryInterface(IID_ST_IProfiledSurface));
    ASSERT_NE(profiled, nullptr);
    if (!profiled->GetProfileCurve())
    {
        auto sketch = profiled->CreateCurveByClassGuid(CLSID_ST_TSketch);
        ASSERT_NE(sketch, nullptr);
        profiled->SetProfile(sketch.get(), 0);
    }
    ST_ISectionCurve* sketch = profiled->GetProfileCurve();
    ASSERT_NE(sketch, nullptr);
    auto line = profiled->CreateCurveByClassGuid(CLSID_ST_TLineCurve);
    ASSERT_NE(line, nullptr);
    auto* wire = dynamic_cast<Dezaz_Wire*>(line->GetWire());
    ASSERT_NE(wire, nullptr);
    const double a[3] = {1, 2, 0}, b[3] = {11, -4, 0};
    ASSERT_TRUE(wire->SetLine(t3DPoint<double>(a[0], a[1], a[2]), t3DPoint<double>(b[0], b[1], b[2])));
    sketch->AddCurve(line.release());

    const std::size_t before = DezazApp().ActiveDoc().Objects().size();
    ASSERT_TRUE(TransferShapeToHost(*dialog, session, true));
    const auto objects = DezazApp().ActiveDoc().Objects();
    ASSERT_EQ(objects.size(), before + 1);
    const auto* curve = dynamic_cast<const CDezazCurveObject*>(objects.back());
    ASSERT_NE(curve, nullptr);
    ASSERT_NE(curve->Curve(), nullptr);
    // The host point of a dialog point q is R^T (q - t).
    const auto back = [&](const double q[3], int c)
    {
        double v = 0.0;
        for (int r = 0; r < 3; ++r)
            v += f[r * 4 + c] * (q[r] - f[r * 4 + 3]);
        return v;
    };
    const ON_3dPoint start = curve->Curve()->PointAtStart(), end = curve->Curve()->PointAtEnd();
    for (int c = 0; c < 3; ++c)
    {
        EXPECT_NEAR(start[c], back(a, c), 1e-9);
        EXPECT_NEAR(end[c], back(b, c), 1e-9);
    }
    // The network adds no brep.
    EXPECT_EQ(Breps().size(), 0u);
}

// ------------------------------------------------------------ after an alignment

TEST_F(ShapeTransfer, OkAfterMovingTheHostMeshCreatesTheCylinderOnTheMovedMesh)
{
    Open(scans::Cylinder({400, 250, -120}, scans::Unit({0.3, -0.4, 1.0}), 20.0, 50.0, 64, 12, false, 0.02));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    ASSERT_FALSE(IsIdentityFrame(dialog->GetMeshFrame()));
    // The dialog's cylinder is where the host mesh goes.
    const cCylinder aligned = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder();
    QueueAnswer(kMovedMeshQuestion, IDYES);
    Click(IDOK);
    ASSERT_TRUE(dialog->IsClosed());

    const auto breps = Breps();
    ASSERT_EQ(breps.size(), 1u);
    const auto* surface = dynamic_cast<const ON_RevSurface*>(OnlySurface(breps[0]));
    ASSERT_NE(surface, nullptr);
    const ON_3dPoint from = surface->m_axis.from;
    const ON_3dVector axis = surface->m_axis.to - from;
    const double length = std::sqrt(aligned.axis[0] * aligned.axis[0] + aligned.axis[1] * aligned.axis[1] +
                                    aligned.axis[2] * aligned.axis[2]);
    for (int c = 0; c < 3; ++c)
    {
        EXPECT_NEAR(from[c], aligned.axisPoint[c], 1e-9 * (1.0 + std::fabs(aligned.axisPoint[c])));
        EXPECT_NEAR(axis[c], aligned.axis[c] / length, 1e-9);
    }
    const double* cv = surface->m_curve.CV(0);
    const ON_3dVector v = ON_3dPoint(cv[0], cv[1], cv[2]) - from;
    const auto dot = [](const ON_3dVector& a, const ON_3dVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    const ON_3dVector radial = v - dot(v, axis) / dot(axis, axis) * axis;
    EXPECT_NEAR(radial.Length(), aligned.radius, 1e-9 * aligned.radius);
}

// The scan deleted in the host while the dialog shows it aligned: closing
// with "yes" cannot move it, and the user is told so instead of nothing.
TEST_F(ShapeTransfer, CloseWithYesAfterTheScanWasDeletedSaysTheMeshWasNotMoved)
{
    Open(scans::Cylinder({400, 250, -120}, scans::Unit({0.3, -0.4, 1.0}), 20.0, 50.0, 64, 12, false, 0.02));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    ASSERT_FALSE(IsIdentityFrame(dialog->GetMeshFrame()));
    ASSERT_TRUE(DezazApp().ActiveDoc().DeleteObject(CDezazObjRef(host)));
    QueueAnswer(kMovedMeshQuestion, IDYES);
    QueueAnswer(kHostMeshNotMovedMessage, IDOK);
    Click(IDCANCEL);
    ASSERT_TRUE(dialog->IsClosed());
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "the failed move was not reported";
    EXPECT_TRUE(IsIdentityFrame(dialog->GetMeshFrame())) << "the sessions went back to the unmoved mesh";
}

TEST_F(ShapeTransfer, CreateAllAfterAnAlignmentAddsTheFreeFormOfAnotherShape)
{
    const scans::Vec centre{-300, 800, 450};
    Open(scans::CurvedPatch(centre, scans::Unit({0.2, -0.3, 1.0}), 60.0, 30, 3.0, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    Click(IDC_SHAPES_NEW_SHAPE);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::Plane);
    // The alignment moves the free form, which is not current: nothing
    // draws it until Create ALL.
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    Click(IDC_SHAPES_CREATE_ALL);
    const auto breps = Breps();
    ASSERT_EQ(breps.size(), 2u) << "the plane and the free form";
    // The free form spans the scan where the host mesh is.
    const ON_BoundingBox box = breps[0]->Brep()->BoundingBox();
    const double c[3] = {centre.x, centre.y, centre.z};
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_LT(box.m_min[k], c[k] + 5.0) << k;
        EXPECT_GT(box.m_max[k], c[k] - 5.0) << k;
        EXPECT_LT(box.m_max[k] - box.m_min[k], 90.0) << k;
    }
}

TEST_F(ShapeTransfer, CreateInDezazKeepsTheDialogOpenForTheNextShapeAndOkCloses)
{
    Open(scans::Plane({-40, 60, 15}, scans::Unit({0.1, 0.2, 1.0}), 30, 6, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_CREATE);
    EXPECT_EQ(Breps().size(), 1u);
    EXPECT_FALSE(dialog->IsClosed());
    EXPECT_TRUE(::IsWindow(Window()));
    EXPECT_EQ(dialog->GetCurrentKind(), eShapeKind::Plane);
    Click(IDOK);
    EXPECT_EQ(Breps().size(), 2u);
    EXPECT_TRUE(dialog->IsClosed());
}

// A sphere scanned 30 m out, fitted to its upper part and brought to the
// origin by its Align button; the host mesh follows ("Set Dezaz Mesh in Same
// Location") and the dialog is opened on it again: the sphere's colour
// covers exactly the triangles it was fitted to. Its region points, moved
// beside the mesh, had kept the rounding of 30 m out (thousandths) and found
// 2 of its 336 triangles. A region that is not the mesh's centroids in turn
// (here one made by hand) moves with the alignment as before.
TEST_F(ShapeTransfer, AShapeBroughtToTheOriginKeepsItsRegionOnTheScanTheHostMeshFollowed)
{
    const scans::Vec centre{30000.3, -29000.7, 15000.2};
    Open(scans::Sphere(centre, 25.0, 48, 10, 0.01));
    cMesh& mesh = Mesh();
    std::vector<std::uint8_t> fitted(mesh.GetTriangleCount(), 0);
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        cMeshTriangle& t = *mesh.GetTriangle(i);
        if (mesh.GetVertex(t.vertexIndex[0])->z < float(centre.z + 5.0))
            continue;
        fitted[i] = 1;
        t.flags |= kTriangleFlagSelected;
        for (std::uint32_t v : t.vertexIndex)
            mesh.GetVertex(v)->flags |= 2u;
    }
    ChooseKind(eShapeKind::Sphere);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    CSessionSurface* byHand = dialog->GetEntry()->CreateSession(CLSID_CSessionPlane, false);
    const float odd[3] = {30001.5f, -29002.25f, 15003.75f};
    ASSERT_TRUE(byHand->GetRegionPoints().Append(odd));
    Click(IDC_SHAPES_ALIGN_ORIGIN);
    const double* f = dialog->GetMeshFrame();
    ASSERT_FALSE(IsIdentityFrame(f));
    for (int r = 0; r < 3; ++r)
        EXPECT_NEAR(byHand->GetRegionPoints().GetPoint(0)[r],
                    f[4 * r] * odd[0] + f[4 * r + 1] * odd[1] + f[4 * r + 2] * odd[2] + f[4 * r + 3], 1e-3);
    Click(IDC_SHAPES_HOST_SAME_PLACE);
    ASSERT_TRUE(IsIdentityFrame(dialog->GetMeshFrame()));
    CObjectSurfaces* entry = dialog->GetEntry();
    Click(IDCANCEL);
    ASSERT_TRUE(dialog->IsClosed());

    AFX_MANAGE_STATE(&state);
    dialog = std::make_unique<CCreatePrimitiveDialog>(&store);
    ASSERT_TRUE(dialog->CreateModeless(IDD_CREATE_PRIMITIVE, nullptr));
    dialog->ShowWindow(SW_SHOW);
    host = DezazApp().ActiveDoc().LookupObject(host->ModelObjectId());
    ASSERT_TRUE(dialog->LoadHostMesh(CDezazObjRef(host)));
    dialog->SetEntry(entry);
    const auto* tags =
        dynamic_cast<CTriangleColourProperties*>(dialog->FirstMeshObject()->FindAttachedProperty(kTriangleColoursPropertyName));
    ASSERT_NE(tags, nullptr);
    ASSERT_EQ(tags->GetCount(), fitted.size());
    std::uint32_t wrong = 0, painted = 0;
    for (std::uint32_t i = 0; i < tags->GetCount(); ++i)
    {
        painted += tags->Get(i) == kSessionKindSphere;
        wrong += (tags->Get(i) == kSessionKindSphere) != (fitted[i] == 1);
    }
    EXPECT_EQ(wrong, 0u) << painted << " painted";
}
