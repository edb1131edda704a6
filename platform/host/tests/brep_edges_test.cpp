// Picking an edge of a brep by clicking next to it: the edges of faces with
// and without trimming loops, and the getter's edge reference.
#include "platform/geometry/line_curve.h"
#include "platform/geometry/plane_surface.h"
#include "platform/host/brep_edges.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/win32/prompt_script.h"

#include <gtest/gtest.h>

namespace
{

// The rectangle [0, a] x [0, b] of the plane through origin with axes x, y.
std::unique_ptr<ON_Brep> Sheet(const ON_3dPoint& origin, const ON_3dVector& x, const ON_3dVector& y, double a,
                               double b)
{
    auto surface = std::make_unique<ON_PlaneSurface>(ON_Plane(origin, x, y));
    surface->SetExtents(0, ON_Interval(0, a), true);
    surface->SetExtents(1, ON_Interval(0, b), true);
    auto brep = std::make_unique<ON_Brep>();
    ON_Surface* s = surface.release();
    if (!brep->Create(s))
        delete s;
    return brep;
}

} // namespace

TEST(BrepEdges, AnUntrimmedFaceHasTheFourSidesOfItsSurfaceAsLines)
{
    const ON_3dPoint o(300, -40, 12);
    const auto brep = Sheet(o, ON_3dVector(0, 1, 0), ON_3dVector(0, 0, 1), 10, 4);
    const auto edges = dezaz::BrepEdgeCurves(*brep);
    ASSERT_EQ(edges.size(), 4u);
    for (const auto& edge : edges)
        EXPECT_EQ(edge->CurveKind(), ON_Curve::Kind::line);
    EXPECT_LT(edges[0]->PointAtStart().DistanceTo(o), 1e-9);
    EXPECT_LT(edges[0]->PointAtEnd().DistanceTo(o + ON_3dVector(0, 10, 0)), 1e-9);
    EXPECT_LT(edges[1]->PointAtEnd().DistanceTo(o + ON_3dVector(0, 10, 4)), 1e-9);

    // The nearest edge to a point beside the far short side is that side.
    const auto nearest = dezaz::NearestEdge(edges, o + ON_3dVector(0.5, 10.2, 2));
    ASSERT_NE(nearest, nullptr);
    EXPECT_EQ(nearest, edges[1]);
    EXPECT_EQ(dezaz::NearestEdge({}, o), nullptr);
}

TEST(BrepEdges, ATrimmedFaceHasTheSidesOfItsLoops)
{
    auto brep = Sheet(ON_3dPoint(0, 0, 0), ON_3dVector(1, 0, 0), ON_3dVector(0, 1, 0), 10, 10);
    brep->Face(0)->m_loops = {{ON_3dPoint(0, 0, 0), ON_3dPoint(10, 0, 0), ON_3dPoint(0, 10, 0)}};
    const auto edges = dezaz::BrepEdgeCurves(*brep);
    ASSERT_EQ(edges.size(), 3u);
    EXPECT_LT(edges[1]->PointAt(edges[1]->Domain().ParameterAt(0.5)).DistanceTo(ON_3dPoint(5, 5, 0)), 1e-9);
}

TEST(BrepEdges, TheGetterTakesTheEdgeNextToTheClickOfABrep)
{
    CDezazDoc& doc = DezazApp().ActiveDoc();
    doc.Clear();
    win32::ClearPromptAnswers();
    const ON_3dPoint o(300, -40, 12);
    const CDezazObject* sheet = doc.AddObject(
        std::make_unique<CDezazBrepObject>(Sheet(o, ON_3dVector(0, 1, 0), ON_3dVector(0, 0, 1), 10, 4)));
    ASSERT_NE(sheet, nullptr);
    std::wstring error;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(sheet->RuntimeSerialNumber()) +
                                             L" at 300,-30.1,14",
                                         error));
    CDezazGetObject go;
    go.EnablePreSelect(false, true);
    go.SetGeometryFilter(CDezazGetObject::curve_object);
    go.SetGeometryAttributeFilter(CDezazGetObject::edge_curve);
    ASSERT_EQ(go.GetObjects(1, 1), CDezazGet::object);
    const ON_Curve* edge = go.Object(0).Curve();
    ASSERT_NE(edge, nullptr);
    EXPECT_LT(edge->PointAtStart().DistanceTo(o + ON_3dVector(0, 10, 0)), 1e-9);
    EXPECT_LT(edge->PointAtEnd().DistanceTo(o + ON_3dVector(0, 10, 4)), 1e-9);
    EXPECT_EQ(go.Object(0).RuntimeSerialNumber(), sheet->RuntimeSerialNumber());
    // The object's own curve is what a curve object's reference gives.
    EXPECT_EQ(CDezazObjRef(sheet).Curve(), nullptr);
    // Once the brep is gone the edge goes with it.
    const CDezazObjRef picked = go.Object(0);
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(sheet)));
    EXPECT_EQ(picked.Curve(), nullptr);
    doc.Clear();
}
