// The network surface and the profiled-surface base under it: profile
// replacement, the identities its query answers, and its scene object's
// record with and without a profile.
#include "shapes/line_section_curve.h"
#include "shapes/network_surface.h"
#include "shapes/sketch_curve.h"
#include "shapes/tests/support/memory_stream.h"

#include "core/frame_math.h"
#include "core/section_curve_classes.h"

#include <gtest/gtest.h>

#include <array>

namespace
{

tPolylineCollection<tFramePolyline<cVertex>> TwoPoints(double x0, double x1)
{
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    const double a[3] = {x0, 1, 0}, b[3] = {x1, 1, 0};
    s.AddPoint3d(a);
    s.AddPoint3d(b);
    return sections;
}

} // namespace

TEST(NetworkSurface, ProfilesAreReplacedWholeAndOnlyOnSuccess)
{
    Dezaz_NetworkSurface surface;
    EXPECT_EQ(surface.GetAxis(), t3DPoint<double>());
    EXPECT_EQ(surface.GetProfileOrigin(), t3DPoint<double>());
    double frame[12];
    surface.GetProfileFrame(frame);
    EXPECT_EQ(frame[0], 1.0);
    EXPECT_FALSE(surface.IsValid());
    EXPECT_FALSE(surface.SetProfile(nullptr, 0));
    surface.CloseProfile(1); // no profile: nothing happens

    double placed[12];
    MakeIdentity3x4(placed);
    placed[3] = 4.0;
    ASSERT_TRUE(surface.SetProfileFromSections(CLSID_ST_TLineCurve, placed, 9, TwoPoints(0, 6), 0.0f, 0, 0, 0, 0.0f));
    const ST_ISectionCurve* first = surface.GetProfileCurve();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(surface.IsValid());
    EXPECT_EQ(surface.GetProfileOrigin().x, 4.0);
    EXPECT_GE(surface.GetRms(), 0.0);

    // A failed rebuild or an unknown class keeps the profile.
    EXPECT_FALSE(surface.SetProfileFromSections(CLSID_ST_TLineCurve, placed, 1, TwoPoints(1, 1), 0.0f, 0, 0, 0, 0));
    EXPECT_FALSE(surface.SetProfileFromSections(CLSID_Dezaz_Wire, placed, 1, TwoPoints(0, 6), 0.0f, 0, 0, 0, 0));
    EXPECT_EQ(surface.GetProfileCurve(), first);

    ST_TLineCurve<Dezaz_Wire> mine;
    ASSERT_TRUE(mine.RebuildWire(placed, TwoPoints(0, 2), 0.0f, nullptr));
    ASSERT_TRUE(surface.SetProfile(&mine, 0));
    EXPECT_NE(surface.GetProfileCurve(), &mine) << "the surface holds a copy";
    EXPECT_NEAR(surface.GetProfileCurve()->GetLocalEndPoint().x, 2.0, 1e-6);

    // The box spans the network's points; a transform moves it.
    float box[6];
    surface.GetBoundingBox(box);
    EXPECT_NEAR(box[0], 0.0f, 1e-5);
    EXPECT_NEAR(box[3], 6.0f, 1e-5);
    double move[12];
    MakeIdentity3x4(move);
    move[7] = 10.0;
    surface.Transform(move);
    surface.GetBoundingBox(box);
    EXPECT_NEAR(box[1], 11.0f, 1e-5);
    surface.Clear();
    EXPECT_EQ(surface.GetProfileCurve(), nullptr);
}

TEST(NetworkSurface, AMovedNetworkKeepsItsCurvesNodesInWorldCoordinates)
{
    // A curve drawn on a scan far from the origin: nodes in world
    // coordinates, identity frame, as the network editor makes it.
    Dezaz_NetworkSurface surface;
    std::unique_ptr<ST_ISectionCurve> network = surface.CreateCurveByClassGuid(CLSID_ST_TSketch);
    std::unique_ptr<ST_ISectionCurve> curve = surface.CreateCurveByClassGuid(CLSID_ST_TSplineCurve);
    ASSERT_TRUE(network && curve);
    double identity[12];
    MakeIdentity3x4(identity);
    network->SetFrame(identity);
    tFramePolyline<cVertex> nodes, pair;
    for (const auto& p : std::array<std::array<double, 3>, 3>{{{2500, -1300, 700}, {2520, -1290, 704}, {2540, -1296, 701}}})
    {
        cVertex* node = nodes.AddPoint3d(p.data());
        node->nx = 0.6f, node->ny = 0.48f, node->nz = 0.64f; // the scan's normal there
    }
    pair.vertices.assign(nodes.vertices.begin() + 1, nodes.vertices.end());
    ASSERT_TRUE(curve->FitToPolyline(identity, nodes, 0.0, 0));
    network->AddCurve(curve.release());
    // A curve of two nodes (a click and a double click) too.
    std::unique_ptr<ST_ISectionCurve> shortCurve = surface.CreateCurveByClassGuid(CLSID_ST_TSplineCurve);
    ASSERT_TRUE(shortCurve->FitToPolyline(identity, pair, 0.0, 0));
    network->AddCurve(shortCurve.release());
    ASSERT_TRUE(surface.SetProfile(network.get(), 0));
    // Aligned (turned a quarter about z and shifted), then moved back.
    const double turn[12] = {0, -1, 0, -1290, 1, 0, 0, -2500, 0, 0, 1, -700};
    double back[12];
    std::copy(turn, turn + 12, back);
    InvertRigidTransform3x4(back);
    surface.Transform(turn);
    ST_ISectionCurve* moved = surface.GetProfileCurve()->GetSegment(0);
    ASSERT_NE(moved, nullptr);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(moved->frame[i], identity[i]) << i;
    const cVertex& first = *moved->GetDefiningPoints()->GetVertex(0);
    EXPECT_NEAR(first.x, 1300 - 1290, 1e-3);
    EXPECT_NEAR(first.y, 0, 1e-3);
    EXPECT_NEAR(first.z, 0, 1e-3);
    EXPECT_NEAR(first.nx, -0.48, 1e-6) << "normals turn with the nodes";
    EXPECT_NEAR(first.ny, 0.6, 1e-6);
    EXPECT_NEAR(first.nz, 0.64, 1e-6);
    ST_ISectionCurve* two = surface.GetProfileCurve()->GetSegment(1);
    ASSERT_NE(two, nullptr);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(two->frame[i], identity[i]) << i;
    EXPECT_NEAR(two->GetDefiningPoints()->GetVertex(1)->x, 1296 - 1290, 1e-3);
    surface.Transform(back);
    moved = surface.GetProfileCurve()->GetSegment(0);
    const cVertex& home = *moved->GetDefiningPoints()->GetVertex(2);
    EXPECT_NEAR(home.x, 2540, 1e-3);
    EXPECT_NEAR(home.y, -1296, 1e-3);
    EXPECT_NEAR(home.z, 701, 1e-3);
    t3DPoint<double> end{};
    ASSERT_TRUE(moved->EvaluateInWorld(1.0, &end, nullptr, nullptr));
    EXPECT_NEAR(end.x, 2540, 1e-3);
    EXPECT_NEAR(end.y, -1296, 1e-3);
    EXPECT_NEAR(end.z, 701, 1e-3);
}

TEST(NetworkSurface, AnswersAsANetworkWithNoHostSurfaceOfItsOwn)
{
    Dezaz_NetworkSurfaceObject object;
    Dezaz_NetworkSurface& surface = *object.GetGeometry();
    EXPECT_EQ(surface.GetKindId(), 6);
    ON_wString name;
    surface.GetTypeName(name);
    EXPECT_TRUE(name == ON_wString(L"NETWORK SURFACE"));
    EXPECT_EQ(surface.GetHandleCount(), 0);
    EXPECT_FALSE(surface.BuildHostSurface());
    EXPECT_FALSE(surface.SupportsOperation(1));
    EXPECT_TRUE(surface.SupportsProfileOperation(2));
    double d[3];
    surface.GetDirection(d);
    EXPECT_EQ(d[0], FLT_MAX);
    ON_NurbsSurface nurbs;
    EXPECT_FALSE(surface.GetNurbForm(nurbs));

    // One query on the surface reaches the scene object's ids too.
    EXPECT_EQ(surface.QueryInterface(IID_Dezaz_NetworkSurface), static_cast<ST_IGeometry*>(&surface));
    EXPECT_EQ(surface.QueryInterface(IID_ON_ISurface), static_cast<ON_ISurface*>(&surface));
    EXPECT_EQ(surface.QueryInterface(IID_ST_IProfiledSurface), static_cast<ST_IProfiledSurface*>(&surface));
    EXPECT_EQ(surface.QueryInterface(CLSID_Dezaz_NetworkSurfaceObject), static_cast<ISceneObject*>(&object));
    EXPECT_EQ(object.QueryInterface(IID_ST_IGeometry), static_cast<ST_IGeometry*>(&surface));
    EXPECT_EQ(object.QueryInterface(IID_ST_CPlane), nullptr);
    EXPECT_TRUE(object.UpdateGeometry());
}

TEST(NetworkSurface, ARecordWithoutAProfileIsTheNilClassIdAndReadsBackEmpty)
{
    Dezaz_NetworkSurfaceObject object;
    cTestMemoryStream stream;
    ASSERT_TRUE(object.Write(&stream));
    EXPECT_EQ(stream.bytes, std::vector<std::uint8_t>(16, 0));
    const std::uint8_t next = 0xAB;
    stream.Write(&next, 1);

    Dezaz_NetworkSurfaceObject reader;
    double frame[12];
    MakeIdentity3x4(frame);
    ASSERT_TRUE(reader.GetGeometry()->SetProfileFromSections(CLSID_ST_TLineCurve, frame, 0, TwoPoints(0, 3), 0, 0, 0,
                                                             0, 0));
    ASSERT_TRUE(reader.Read(&stream));
    EXPECT_EQ(reader.GetGeometry()->GetProfileCurve(), nullptr);
    EXPECT_EQ(stream.at, 16u) << "the next record starts where it should";

    // A sketch profile round trip; a cut record fails and keeps the profile.
    auto* line = new ST_TLineCurve<Dezaz_Wire>;
    ASSERT_TRUE(line->RebuildWire(frame, TwoPoints(2, 5), 0.0f, nullptr));
    ST_TSketch<Dezaz_Wire> sketch;
    sketch.AddCurve(line);
    ASSERT_TRUE(object.GetGeometry()->SetProfile(&sketch, 0));
    cTestMemoryStream full;
    ASSERT_TRUE(object.Write(&full));
    Dezaz_NetworkSurfaceObject copy;
    cTestMemoryStream in(full.bytes);
    ASSERT_TRUE(copy.Read(&in));
    ASSERT_NE(copy.GetGeometry()->GetProfileCurve(), nullptr);
    EXPECT_EQ(copy.GetGeometry()->GetProfileCurve()->GetSegmentCount(), 1u);
    cTestMemoryStream cut(std::vector<std::uint8_t>(full.bytes.begin(), full.bytes.end() - 1));
    const ST_ISectionCurve* kept = copy.GetGeometry()->GetProfileCurve();
    EXPECT_FALSE(copy.Read(&cut)) << "a short record is a failed read";
    EXPECT_EQ(copy.GetGeometry()->GetProfileCurve(), kept);

    cTestMemoryStream refusing;
    refusing.limit = 10;
    EXPECT_FALSE(object.Write(&refusing)) << "a profile that cannot be written fails the record";
}
