// A free form on its way into the document: fitted to a band brushed on a
// curved scan, created with its surface where the scan is and no farther
// past the band than the border it was given.
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"
#include "overlay/prop_tree.h"
#include "plugin/dialogs/guide_curve_receiver.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/shape_transfer.h"
#include "shapes/extracted_loft_surface.h"
#include "shapes/loft_surface.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace
{

using scans::Vec;

// A guide of five points on the patch through centre, along its second
// axis from `start` in steps of `step`, with the patch's normal.
tFramePolyline<cVertex> GuideAcross(Vec centre, Vec normal, double start, double step)
{
    Vec e1, e2;
    scans::Basis(normal, e1, e2);
    tFramePolyline<cVertex> drawn;
    for (int k = 0; k < 5; ++k)
    {
        const Vec p = centre + (start + step * k) * e2;
        cVertex v;
        v.x = float(p.x), v.y = float(p.y), v.z = float(p.z);
        v.nx = float(normal.x), v.ny = float(normal.y), v.nz = float(normal.z);
        drawn.AddVertex(v);
    }
    return drawn;
}

class FreeFormTransfer : public ShapesDialog
{
protected:
    void SetUp() override
    {
        ShapesDialog::SetUp();
        InstallShapeTransfer();
    }
    // Selects the triangles whose centroid, in the patch's own axes (x along
    // e1, y along e2 from the centre), passes the test, as a brush would;
    // returns the selected triangles' corners.
    std::vector<Vec> Brush(Vec centre, Vec normal, const std::function<bool(double, double)>& inside)
    {
        Vec e1, e2;
        scans::Basis(normal, e1, e2);
        cMesh& mesh = Mesh();
        std::vector<Vec> corners;
        mesh.ForEachTriangle(
            [&](cMeshTriangle& t)
            {
                Vec c{0, 0, 0};
                for (int k = 0; k < 3; ++k)
                {
                    const cVertex* v = mesh.GetVertex(t.vertexIndex[k]);
                    c = c + (1.0 / 3.0) * Vec{v->x, v->y, v->z};
                }
                if (!inside(scans::Dot(c - centre, e1), scans::Dot(c - centre, e2)))
                    return;
                t.flags |= kTriangleFlagSelected;
                for (int k = 0; k < 3; ++k)
                {
                    cVertex* v = mesh.GetVertex(t.vertexIndex[k]);
                    v->flags |= 2u;
                    corners.push_back({v->x, v->y, v->z});
                }
            });
        return corners;
    }
    std::vector<const ON_Curve*> CreatedCurves() const
    {
        std::vector<const ON_Curve*> out;
        for (const CDezazObject* object : DezazApp().ActiveDoc().Objects())
            if (const auto* curve = dynamic_cast<const CDezazCurveObject*>(object))
                out.push_back(curve->Curve());
        return out;
    }
    std::vector<const ON_Brep*> CreatedBreps() const
    {
        std::vector<const ON_Brep*> out;
        for (const CDezazObject* object : DezazApp().ActiveDoc().Objects())
            if (const auto* brep = dynamic_cast<const CDezazBrepObject*>(object))
                out.push_back(brep->Brep());
        return out;
    }
};

} // namespace

TEST_F(FreeFormTransfer, TheSurfaceStaysWithinItsBorderOfABrushedBand)
{
    // A band 10 long and 0.7 wide brushed across a gently curved scan, its
    // edges wavering by a few triangles; straight, bent one way and the
    // other, in three orientations far from the origin.
    struct Case
    {
        Vec centre, normal;
        double bend;
    };
    const double size = 30.0, noise = 0.015;
    for (const Case& c : {Case{{-650, 420, 1300}, scans::Unit({-0.2, 0.35, 0.9}), 0.0},
                          Case{{2100, -800, 60}, scans::Unit({0.95, 0.1, -0.25}), 0.05},
                          Case{{30, 1500, -700}, scans::Unit({0.3, -0.9, 0.3}), -0.08}})
    {
        SCOPED_TRACE(c.bend);
        Open(scans::CurvedPatch(c.centre, c.normal, size, 150, 2.0, noise));
        const std::vector<Vec> band = Brush(c.centre, c.normal,
                                            [&](double x, double y)
                                            {
                                                const double middle = c.bend * x * x + 0.1 * std::sin(x);
                                                return std::fabs(x) < 5.0 &&
                                                       std::fabs(y - middle) < 0.35 + 0.05 * std::sin(3.0 * x);
                                            });
        ChooseKind(eShapeKind::FreeForm);
        auto* loft = Shape<Dezaz_LoftSurface>(IID_Dezaz_LoftSurface);
        ASSERT_NE(loft, nullptr);
        // The border: half the expand of the longer of the guide and the
        // mean section; a corner takes it along both directions.
        const LoftParameters& p = loft->GetParameters();
        double sum = 0.0;
        int sections = 0;
        for (const LoftSection& s : p.sections)
            if (s.curve && s.curve->GetWire())
                sum += s.curve->GetWire()->GetLength(), ++sections;
        ASSERT_GT(sections, 1);
        const double border =
            std::max(sum / sections, loft->GetProfileCurve()->GetWire()->GetLength()) * p.expand * 0.5;
        EXPECT_GT(border, 0.5);

        Click(IDC_SHAPES_CREATE);
        const std::vector<const ON_Brep*> breps = CreatedBreps();
        ASSERT_EQ(breps.size(), 1u);
        ASSERT_EQ(breps[0]->FaceCount(), 1);
        const ON_Surface* surface = const_cast<ON_Brep*>(breps[0])->Face(0)->SurfaceOf();
        const ON_Interval u = surface->Domain(0), v = surface->Domain(1);
        double farthest = 0.0;
        for (int i = 0; i <= 40; ++i)
            for (int j = 0; j <= 40; ++j)
            {
                const ON_3dPoint q = surface->PointAt(u.ParameterAt(i / 40.0), v.ParameterAt(j / 40.0));
                double nearest = 1e300;
                for (const Vec& b : band)
                {
                    const Vec d = Vec{q.x, q.y, q.z} - b;
                    nearest = std::min(nearest, scans::Dot(d, d));
                }
                farthest = std::max(farthest, std::sqrt(nearest));
            }
        EXPECT_LT(farthest, std::sqrt(2.0) * border + 0.1) << "border " << border;
        Snapshot("free_form_band");
        dialog.reset();
        history.Clear();
        DezazApp().ActiveDoc().Clear();
    }
}

TEST_F(FreeFormTransfer, TheGuideGoesAlongWhereItIsOnlyWhenThePageAsksForIt)
{
    const Vec centre{850, -1200, 640}, normal = scans::Unit({0.25, 0.9, -0.3});
    Open(scans::CurvedPatch(centre, normal, 60.0, 30, 3.0, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    auto* profiled = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
    ASSERT_NE(profiled, nullptr);
    Click(IDC_SHAPES_CREATE);
    EXPECT_EQ(CreatedBreps().size(), 1u);
    EXPECT_TRUE(CreatedCurves().empty()) << "\"C. Profiles\" is \"Hide\"";

    // "Show": the guide reaches the document where it runs across the scan.
    auto* record = dynamic_cast<ST_CExtractedLoftSurface*>(dialog->GetCurrentSession()->GetRecord());
    ASSERT_NE(record, nullptr);
    CPropTree& tree = dialog->GetShapePage()->GetPropertyTree();
    auto* row = dynamic_cast<CPropTreeItemCombo*>(tree.FindItem(record->m_profilesId));
    ASSERT_NE(row, nullptr);
    row->SetItemValue(0);
    dialog->GetShapePage()->OnPropertyChanged(row);
    ASSERT_EQ(record->m_showProfiles, 1);
    const ST_ISectionCurve* guide = profiled->GetProfileCurve();
    ASSERT_NE(guide, nullptr);
    Click(IDC_SHAPES_CREATE);
    const std::vector<const ON_Curve*> curves = CreatedCurves();
    ASSERT_EQ(curves.size(), 1u);
    const t3DPoint<double> start = guide->GetStartPoint(), end = guide->GetEndPoint();
    const ON_3dPoint a = curves[0]->PointAtStart(), b = curves[0]->PointAtEnd();
    EXPECT_NEAR(a.x, start.x, 1e-6);
    EXPECT_NEAR(a.y, start.y, 1e-6);
    EXPECT_NEAR(a.z, start.z, 1e-6);
    EXPECT_NEAR(b.x, end.x, 1e-6);
    EXPECT_NEAR(b.y, end.y, 1e-6);
    EXPECT_NEAR(b.z, end.z, 1e-6);
    EXPECT_LT(std::fabs(scans::Dot(Vec{a.x, a.y, a.z} - centre, normal)), 5.0) << "on the scan, not at the origin";
}

TEST_F(FreeFormTransfer, AGuideThatFailsToFitLeavesTheShapeAsItWas)
{
    const Vec centre{-420, 130, 980}, normal = scans::Unit({-0.5, 0.1, 0.85});
    Open(scans::CurvedPatch(centre, normal, 60.0, 30, 3.0, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    auto* loft = Shape<Dezaz_LoftSurface>(IID_Dezaz_LoftSurface);
    ASSERT_NE(loft, nullptr);
    auto* record = dynamic_cast<ST_CExtractedLoftSurface*>(dialog->GetCurrentSession()->GetRecord());
    const std::uint8_t type = record->m_type;
    const std::size_t sections = loft->GetParameters().sections.size();
    const GUID guideClass = loft->GetProfileCurve()->GetClassGuid();
    const t3DPoint<double> guideStart = loft->GetProfileCurve()->GetStartPoint();
    ASSERT_NE(loft->GetHostSurface(), nullptr);
    const ON_3dPoint corner = loft->GetHostSurface()->PointAt(loft->GetHostSurface()->Domain(0)[0],
                                                             loft->GetHostSurface()->Domain(1)[0]);

    // Five points across the scan with nothing selected: nothing to loft.
    Click(IDC_SHAPES_DESELECT_ALL);
    const tFramePolyline<cVertex> drawn = GuideAcross(centre, normal, -20.0, 10.0);
    EXPECT_FALSE(ApplyGuideCurveToShape(*dialog, drawn));
    EXPECT_EQ(record->m_type, type);
    EXPECT_EQ(loft->GetParameters().sections.size(), sections);
    EXPECT_EQ(CountValidSections(loft->GetParameters()), sections);
    ASSERT_NE(loft->GetProfileCurve(), nullptr);
    EXPECT_EQ(loft->GetProfileCurve()->GetClassGuid(), guideClass);
    const t3DPoint<double> start = loft->GetProfileCurve()->GetStartPoint();
    EXPECT_NEAR(start.x, guideStart.x, 1e-9);
    EXPECT_NEAR(start.y, guideStart.y, 1e-9);
    EXPECT_NEAR(start.z, guideStart.z, 1e-9);
    ASSERT_NE(loft->GetHostSurface(), nullptr);
    const ON_3dPoint now = loft->GetHostSurface()->PointAt(loft->GetHostSurface()->Domain(0)[0],
                                                          loft->GetHostSurface()->Domain(1)[0]);
    EXPECT_LT(now.DistanceTo(corner), 1e-9);

    // With the scan marked again the same guide takes.
    Click(IDC_SHAPES_SELECT_ALL);
    EXPECT_TRUE(ApplyGuideCurveToShape(*dialog, drawn));
    EXPECT_EQ(record->m_type, kLoftGuideCurve);
    EXPECT_EQ(loft->GetProfileCurve()->GetClassGuid(), CLSID_ST_TSplineCurve);
}

TEST_F(FreeFormTransfer, AGuideDrawnWithNothingSelectedSaysWhyItDidNotTake)
{
    const Vec centre{-420, 130, 980}, normal = scans::Unit({-0.5, 0.1, 0.85});
    Open(scans::CurvedPatch(centre, normal, 60.0, 30, 3.0, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    ASSERT_NE(Shape<Dezaz_LoftSurface>(IID_Dezaz_LoftSurface), nullptr);
    Click(IDC_SHAPES_DESELECT_ALL); // as a reopened document is
    const tFramePolyline<cVertex> drawn = GuideAcross(centre, normal, -20.0, 10.0);
    EXPECT_FALSE(ApplyGuideCurveToShape(*dialog, drawn));
    EXPECT_EQ(dialog->HintText(), kNoSelectionHint);

    Click(IDC_SHAPES_SELECT_ALL);
    EXPECT_TRUE(ApplyGuideCurveToShape(*dialog, drawn));
    EXPECT_TRUE(dialog->HintText().empty());
}

TEST_F(FreeFormTransfer, AGuideDrawnAwayFromTheSelectedRegionSaysWhyItDidNotTake)
{
    const Vec centre{-420, 130, 980}, normal = scans::Unit({-0.5, 0.1, 0.85});
    Open(scans::CurvedPatch(centre, normal, 60.0, 30, 3.0, 0.01));
    Brush(centre, normal, [](double, double y) { return y < -10.0; });
    ChooseKind(eShapeKind::FreeForm);
    ASSERT_NE(Shape<Dezaz_LoftSurface>(IID_Dezaz_LoftSurface), nullptr);
    // Drawn along the unselected half: its section planes cross no selected
    // triangle.
    const tFramePolyline<cVertex> drawn = GuideAcross(centre, normal, 5.0, 5.0);
    ASSERT_GT(SelectedTriangles(), 0u);
    EXPECT_FALSE(ApplyGuideCurveToShape(*dialog, drawn));
    EXPECT_EQ(dialog->HintText(), kNoSelectionHint);
}

TEST_F(FreeFormTransfer, AGuideTakenOverAWiderSelectionColoursTheTrianglesItWasLoftedThrough)
{
    const Vec centre{-420, 130, 980}, normal = scans::Unit({-0.5, 0.1, 0.85});
    Open(scans::CurvedPatch(centre, normal, 60.0, 30, 3.0, 0.01));
    Brush(centre, normal, [](double, double y) { return y < 0.0; });
    ChooseKind(eShapeKind::FreeForm);
    ASSERT_NE(Shape<Dezaz_LoftSurface>(IID_Dezaz_LoftSurface), nullptr);
    // The whole scan marked, the guide drawn across all of it.
    Click(IDC_SHAPES_SELECT_ALL);
    const tFramePolyline<cVertex> drawn = GuideAcross(centre, normal, -24.0, 12.0);
    ASSERT_TRUE(ApplyGuideCurveToShape(*dialog, drawn));
    auto* tags = dynamic_cast<CTriangleColourProperties*>(
        dialog->FirstMeshObject()->FindAttachedProperty(kTriangleColoursPropertyName));
    ASSERT_NE(tags, nullptr);
    std::uint32_t painted = 0;
    for (std::uint32_t i = 0; i < Mesh().GetTriangleCount(); ++i)
        painted += tags->Get(i) == kSessionKindFreeForm ? 1u : 0u;
    EXPECT_EQ(painted, Mesh().GetTriangleCount()) << "the region is what the shape was lofted through";
}

TEST_F(FreeFormTransfer, AGuideLoftsWithTheCurvesAndExpandTypedOnThePage)
{
    const Vec centre{-420, 130, 980}, normal = scans::Unit({-0.5, 0.1, 0.85});
    Open(scans::CurvedPatch(centre, normal, 60.0, 30, 3.0, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    auto* loft = Shape<Dezaz_LoftSurface>(IID_Dezaz_LoftSurface);
    ASSERT_NE(loft, nullptr);
    auto* record = dynamic_cast<ST_CExtractedLoftSurface*>(dialog->GetCurrentSession()->GetRecord());
    ASSERT_NE(record, nullptr);
    // Typed on the page, not applied by a Rebuild, then the guide drawn.
    CPropTree& tree = dialog->GetShapePage()->GetPropertyTree();
    const auto type = [&](UINT id, const wchar_t* text)
    {
        auto* edit = dynamic_cast<CPropTreeItemEdit*>(tree.FindItem(id));
        ASSERT_NE(edit, nullptr);
        edit->BeginActivation();
        edit->Activate();
        ::SetWindowTextW(edit->GetSafeHwnd(), text);
        edit->Commit();
    };
    type(record->m_curvesId, L"4");
    type(record->m_expandId, L"50");
    const tFramePolyline<cVertex> drawn = GuideAcross(centre, normal, -20.0, 10.0);
    ASSERT_TRUE(ApplyGuideCurveToShape(*dialog, drawn));
    EXPECT_EQ(loft->GetParameters().sections.size(), 5u) << "four curves, as typed";
    EXPECT_DOUBLE_EQ(loft->GetParameters().expand, 0.5);
    EXPECT_EQ(dynamic_cast<CPropTreeItemEdit*>(tree.FindItem(record->m_curvesId))->GetText(), L"4");
    EXPECT_EQ(dynamic_cast<CPropTreeItemEdit*>(tree.FindItem(record->m_expandId))->GetText(), L"50");
}

// One curve span typed for a free form lofted across its patch, a metre
// out, then Rebuild: the two sections lie on the region's border, nothing
// lofts, and the refit fails. It had already replaced the guide and the
// sections and dropped the surface: the shape showed nothing and had
// nothing to create. A failed refit now leaves the shape as it was, its
// threshold and region too (tried here on half the scan, with another
// threshold typed).
TEST_F(FreeFormTransfer, ARebuildThatCannotLoftLeavesTheShapeAsItWas)
{
    const Vec centre{1000.3, -700.7, 500.2}, normal = scans::Unit({0.2, -0.3, 0.9});
    Open(scans::CurvedPatch(centre, normal, 80.0, 40, 6.0, 0.002));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    auto* loft = Shape<Dezaz_LoftSurface>(IID_Dezaz_LoftSurface);
    ASSERT_TRUE(loft && loft->GetHostSurface());
    const ON_NurbsSurface before = *loft->GetHostSurface();
    const std::size_t sections = loft->GetParameters().sections.size();
    const std::vector<std::uint32_t> seeds = loft->GetSeeds();
    const double threshold = loft->GetParameters().threshold;
    auto* record = dynamic_cast<ST_CExtractedLoftSurface*>(dialog->GetCurrentSession()->GetRecord());
    ASSERT_NE(record, nullptr);
    const auto type = [&](UINT id, const wchar_t* text)
    {
        auto* edit = dynamic_cast<CPropTreeItemEdit*>(dialog->GetShapePage()->GetPropertyTree().FindItem(id));
        ASSERT_NE(edit, nullptr);
        edit->BeginActivation();
        edit->Activate();
        ::SetWindowTextW(edit->GetSafeHwnd(), text);
        edit->Commit();
    };
    type(record->m_curvesId, L"1");
    type(record->m_thresholdId, L"0.2");
    Click(IDC_SHAPES_DESELECT_ALL);
    Brush(centre, normal, [](double, double y) { return y < 0.0; });
    dialog->GetShapePage()->OnRebuild();
    ASSERT_NE(loft->GetHostSurface(), nullptr);
    EXPECT_EQ(loft->GetParameters().sections.size(), sections);
    EXPECT_EQ(loft->GetParameters().threshold, threshold);
    EXPECT_EQ(loft->GetSeeds(), seeds);
    for (double u : {0.0, 0.5, 1.0})
        for (double v : {0.0, 0.5, 1.0})
            EXPECT_LT(loft->GetHostSurface()
                          ->PointAt(before.Domain(0).ParameterAt(u), before.Domain(1).ParameterAt(v))
                          .DistanceTo(before.PointAt(before.Domain(0).ParameterAt(u), before.Domain(1).ParameterAt(v))),
                      1e-9);
}

// A guide drawn across a gently curved patch a metre out, thirty curves
// typed, then Rebuild: the host's loft through the 33 sections (two of
// them the border) swung between them, 10.5 off the scan and reaching 100
// from the patch's centre where the border ends at about 48.7. The loft
// keeps to its sections now.
TEST_F(FreeFormTransfer, ThirtyCurvesTypedAlongADrawnGuideLoftASurfaceThatKeepsToTheScan)
{
    const Vec centre{1000.3, -700.7, 500.2}, normal = scans::Unit({0.2, -0.3, 0.9});
    const double size = 80.0, bend = 6.0;
    Open(scans::CurvedPatch(centre, normal, size, 60, bend, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    auto* loft = Shape<Dezaz_LoftSurface>(IID_Dezaz_LoftSurface);
    ASSERT_NE(loft, nullptr);
    ASSERT_TRUE(ApplyGuideCurveToShape(*dialog, GuideAcross(centre, normal, -30.0, 15.0)));
    auto* record = dynamic_cast<ST_CExtractedLoftSurface*>(dialog->GetCurrentSession()->GetRecord());
    ASSERT_NE(record, nullptr);
    auto* edit = dynamic_cast<CPropTreeItemEdit*>(dialog->GetShapePage()->GetPropertyTree().FindItem(record->m_curvesId));
    ASSERT_NE(edit, nullptr);
    edit->BeginActivation();
    edit->Activate();
    ::SetWindowTextW(edit->GetSafeHwnd(), L"30");
    edit->Commit();
    dialog->GetShapePage()->OnRebuild();
    ASSERT_EQ(loft->GetParameters().sections.size(), 31u);
    const ON_NurbsSurface* surface = loft->GetHostSurface();
    ASSERT_NE(surface, nullptr);

    Vec e1, e2;
    scans::Basis(normal, e1, e2);
    const ON_Interval u = surface->Domain(0), v = surface->Domain(1);
    double worst = 0.0, reach = 0.0;
    for (int i = 0; i <= 20; ++i)
        for (int j = 0; j <= 20; ++j)
        {
            const ON_3dPoint q = surface->PointAt(u.ParameterAt(i / 20.0), v.ParameterAt(j / 20.0));
            const Vec d = Vec{q.x, q.y, q.z} - centre;
            const double x = scans::Dot(d, e1), y = scans::Dot(d, e2);
            reach = std::max({reach, std::fabs(x), std::fabs(y)});
            if (std::fabs(x) <= 0.5 * size && std::fabs(y) <= 0.5 * size)
                worst = std::max(worst, std::fabs(scans::Dot(d, normal) - scans::CurvedPatchHeight(x, y, size, bend)));
        }
    EXPECT_LT(worst, 0.3) << "the straight border leaves the bending scan by about 0.17";
    EXPECT_LT(reach, 50.0);
}
