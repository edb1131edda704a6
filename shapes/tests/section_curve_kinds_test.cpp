// The section-curve kinds: line and arc rebuilds, fits and end edits, combo
// segmentation of generated profiles, world evaluation under rigid frames,
// copying between kinds and the sketch's ownership of its curves.
#include "shapes/arc_section_curve.h"
#include "shapes/combo_section_curve.h"
#include "shapes/line_section_curve.h"
#include "shapes/section_curve_factory.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

constexpr double kPi = 3.14159265358979323846;
using Sections = tPolylineCollection<tFramePolyline<cVertex>>;

void Identity(double m[12])
{
    MakeIdentity3x4(m);
}

// A random rigid frame: rotation from a random unit quaternion, translation
// up to `reach` from the origin.
void RandomFrame(std::mt19937& rng, double reach, double m[12])
{
    std::normal_distribution<double> n(0.0, 1.0);
    double q[4] = {n(rng), n(rng), n(rng), n(rng)};
    const double len = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q)
        c /= len;
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - w * z),     2 * (x * z + w * y),
                         2 * (x * y + w * z),     1 - 2 * (x * x + z * z), 2 * (y * z - w * x),
                         2 * (x * z - w * y),     2 * (y * z + w * x),     1 - 2 * (x * x + y * y)};
    std::uniform_real_distribution<double> u(-reach, reach);
    for (int row = 0; row < 3; ++row)
    {
        for (int col = 0; col < 3; ++col)
            m[4 * row + col] = r[3 * row + col];
        m[4 * row + 3] = u(rng);
    }
}

// One section polyline of local points, stored in the world by the frame.
Sections SectionOf(const std::vector<t3DPoint<double>>& local, const double frame[12])
{
    Sections sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    std::copy(frame, frame + 12, s.frame);
    for (const t3DPoint<double>& p : local)
    {
        const double w[3] = {frame[0] * p.x + frame[1] * p.y + frame[2] * p.z + frame[3],
                             frame[4] * p.x + frame[5] * p.y + frame[6] * p.z + frame[7],
                             frame[8] * p.x + frame[9] * p.y + frame[10] * p.z + frame[11]};
        s.AddPoint3d(w);
    }
    return sections;
}

std::vector<t3DPoint<double>> Segment(t3DPoint<double> a, t3DPoint<double> b, int count)
{
    std::vector<t3DPoint<double>> points;
    for (int i = 0; i < count; ++i)
    {
        const double t = static_cast<double>(i) / (count - 1);
        points.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), 0});
    }
    return points;
}

std::vector<t3DPoint<double>> ArcPoints(double cx, double cy, double r, double fromDeg, double toDeg, int count)
{
    std::vector<t3DPoint<double>> points;
    for (int i = 0; i < count; ++i)
    {
        const double a = (fromDeg + (toDeg - fromDeg) * i / (count - 1)) * kPi / 180;
        points.push_back({cx + r * std::cos(a), cy + r * std::sin(a), 0});
    }
    return points;
}

double Distance(const t3DPoint<double>& a, const t3DPoint<double>& b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

} // namespace

TEST(LineCurve, FitsExtendsAndSnapsItsEnds)
{
    double frame[12];
    Identity(frame);
    ST_TLineCurve<Dezaz_Wire> line;
    ASSERT_TRUE(line.RebuildWire(frame, SectionOf(Segment({2, 1, 0}, {4, 3, 0}, 11), frame), 0.0f, nullptr));
    EXPECT_NEAR(line.GetLocalStartPoint().x, 2.0, 1e-6);
    EXPECT_NEAR(line.GetLocalEndPoint().y, 3.0, 1e-6);
    ASSERT_EQ(line.GetDefiningPoints()->GetVertexCount(), 2u);
    EXPECT_TRUE(line.HasValidWire());

    ASSERT_TRUE(line.SnapStartToAxis());
    EXPECT_NEAR(line.GetLocalStartPoint().x, 0.0, 1e-12);
    EXPECT_NEAR(line.GetLocalStartPoint().y, -1.0, 1e-6);

    // Factor 1 lengthens each end by half the fitted chord.
    ST_TLineCurve<Dezaz_Wire> longer;
    ASSERT_TRUE(longer.RebuildWire(frame, SectionOf(Segment({0, 0, 0}, {4, 0, 0}, 9), frame), 1.0f, nullptr));
    EXPECT_NEAR(longer.GetLocalStartPoint().x, -2.0, 1e-5);
    EXPECT_NEAR(longer.GetLocalEndPoint().x, 6.0, 1e-5);
    EXPECT_TRUE(longer.IsHorizontal());
    EXPECT_FALSE(longer.IsVertical());

    // A line along the axis never crosses it: refused, unchanged.
    ST_TLineCurve<Dezaz_Wire> vertical;
    ASSERT_TRUE(vertical.RebuildWire(frame, SectionOf(Segment({1, 0, 0}, {1, 5, 0}, 6), frame), 0.0f, nullptr));
    EXPECT_TRUE(vertical.IsVertical());
    EXPECT_FALSE(vertical.SnapStartToAxis());
    EXPECT_NEAR(vertical.GetLocalStartPoint().x, 1.0, 1e-6);
    EXPECT_TRUE(std::isfinite(vertical.GetLocalStartPoint().y));
}

TEST(LineCurve, OutputModeAndFailedFitsLeaveTheGeometry)
{
    double frame[12];
    Identity(frame);
    ST_TLineCurve<Dezaz_Wire> line;
    ASSERT_TRUE(line.RebuildWire(frame, SectionOf(Segment({0, 0, 0}, {4, 0, 0}, 5), frame), 0.0f, nullptr));
    double other[12];
    Identity(other);
    other[3] = 7.0;
    tPolyline<cVertex> output;
    ASSERT_TRUE(line.RebuildWire(other, SectionOf(Segment({0, 1, 0}, {0, 9, 0}, 5), other), 0.0f, &output));
    EXPECT_EQ(output.GetVertexCount(), 2u);
    EXPECT_EQ(line.frame[3], 0.0);
    EXPECT_NEAR(line.GetLocalEndPoint().x, 4.0, 1e-6);
    EXPECT_EQ(line.sections[0].GetVertexCount(), 5u);

    // No points: no line, nothing changed.
    EXPECT_FALSE(line.RebuildWire(other, Sections(), 0.0f, nullptr));
    EXPECT_NEAR(line.GetLocalEndPoint().x, 4.0, 1e-6);
    EXPECT_EQ(line.sections.GetCount(), 1u);
}

TEST(ArcCurve, SnapsAlongItsCircleAndRefusesACircleThatMissesTheAxis)
{
    double frame[12];
    Identity(frame);
    ST_TArcCurve<Dezaz_Wire> arc;
    const double s[3] = {-0.2, 1.5, 0}, m[3] = {3, 0, 0}, e[3] = {1, -2, 0};
    // Circle about (1, 0) of radius 2 through three of its points.
    const double start[3] = {1 + 2 * std::cos(2.2), 2 * std::sin(2.2), 0};
    ASSERT_TRUE(arc.SetArcFromPoints(start, m, e, frame, 0.0f, false));
    (void)s;
    EXPECT_NEAR(arc.Radius(), 2.0, 1e-9);
    ASSERT_TRUE(arc.SnapStartToAxis());
    EXPECT_NEAR(arc.GetLocalStartPoint().x, 0.0, 1e-12);
    EXPECT_NEAR(arc.GetLocalStartPoint().y, std::sqrt(3.0), 1e-9);

    ST_TArcCurve<Dezaz_Wire> far;
    const double a[3] = {10, 1, 0}, b[3] = {11, 0, 0}, c[3] = {10, -1, 0};
    ASSERT_TRUE(far.SetArcFromPoints(a, b, c, frame, 0.0f, false));
    const t3DPoint<double> before = far.GetLocalStartPoint();
    EXPECT_FALSE(far.SnapStartToAxis());
    EXPECT_EQ(far.GetLocalStartPoint(), before);

    // Collinear points admit no arc.
    ST_TArcCurve<Dezaz_Wire> flat;
    const double p[3] = {0, 0, 0}, q[3] = {1, 0, 0}, r[3] = {2, 0, 0};
    EXPECT_FALSE(flat.SetArcFromPoints(p, q, r, frame, 0.0f, false));
    EXPECT_FALSE(flat.GetWire()->IsValid());
}

TEST(ArcCurve, EndsWithinAHundredthCloseTheArcIntoAFullCircle)
{
    double frame[12];
    Identity(frame);
    // Round a circle of radius 3 about (5, 1), its ends 0.005 apart.
    ST_TArcCurve<Dezaz_Wire> arc;
    const double s0[3] = {8, 1, 0}, m0[3] = {2, 1, 0}, e0[3] = {8 - 3 * (1 - std::cos(0.005 / 3)), 1 - 0.005, 0};
    ASSERT_TRUE(arc.SetArcFromPoints(s0, m0, e0, frame, 1.0f, false));
    arc.sections = SectionOf(ArcPoints(5, 1, 3, 0, 360, 21), frame);
    EXPECT_TRUE(arc.IsClosed());
    EXPECT_TRUE(arc.HasValidWire());
    EXPECT_EQ(arc.GetLocalStartPoint(), arc.GetLocalEndPoint());
    EXPECT_NEAR(arc.GetWire()->GetLength(), 2 * kPi * 3, 1e-3) << "closed arcs are not extended";
    EXPECT_FALSE(arc.ExtendStart(1.0, true));

    // Exactly coincident ends: no circumcentre, the circle on the diameter.
    ST_TArcCurve<Dezaz_Wire> exact;
    const double s[3] = {2, 0, 0}, m[3] = {-2, 0, 0};
    ASSERT_TRUE(exact.SetArcFromPoints(s, m, s, frame, 0.0f, false));
    EXPECT_NEAR(exact.Radius(), 2.0, 1e-12);
    EXPECT_NEAR(exact.GetWire()->GetLength(), 4 * kPi, 1e-6);
}

TEST(SectionCurves, WorldEvaluationFollowsRandomRigidFrames)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 20; ++trial)
    {
        double frame[12];
        const double reach = trial % 2 ? 1000.0 : 1.0;
        // Section points are floats: far from the origin they carry the
        // float spacing there.
        const double tolerance = 1e-5 + 2e-7 * reach;
        RandomFrame(rng, reach, frame);
        const Sections arcSection = SectionOf(ArcPoints(1, 2, 5, 10, 120, 50), frame);
        ST_TArcCurve<Dezaz_Wire> arc;
        ASSERT_TRUE(arc.RebuildWire(frame, arcSection, 0.0f, nullptr));
        ST_TLineCurve<Dezaz_Wire> line;
        ASSERT_TRUE(line.RebuildWire(frame, SectionOf(Segment({-3, 1, 0}, {4, 2, 0}, 8), frame), 0.0f, nullptr));
        for (const double t : {0.0, 0.3, 1.0})
        {
            t3DPoint<double> p, d, third;
            ASSERT_TRUE(arc.EvaluateInWorld(t, &p, &d, &third));
            const t3DPoint<double> local = arc.WorldToLocal(p);
            EXPECT_NEAR(local.z, 0.0, tolerance);
            EXPECT_NEAR(std::hypot(local.x - 1, local.y - 2), 5.0, tolerance);
            EXPECT_EQ(third, t3DPoint<double>());
            ASSERT_TRUE(line.EvaluateInWorld(t, &p, &d, &third));
            EXPECT_NEAR(third.x, frame[2], 1e-15);
            EXPECT_NEAR(third.z, frame[10], 1e-15);
            const t3DPoint<double> l = line.WorldToLocal(p);
            EXPECT_NEAR(l.x, -3 + 7 * t, tolerance);
        }
        EXPECT_NEAR(Distance(arc.GetStartPoint(), arc.LocalToWorld(arc.GetLocalStartPoint())), 0.0, 1e-9);
    }
}

TEST(ComboCurve, RecoversTheLinesAndArcOfANoisyProfile)
{
    // Line (0,0)-(10,0), quarter arc about (10,5) of radius 5, line (15,5)-(15,15),
    // seen in a rigid frame far from the origin, with noise of 0.005.
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0.0, 0.005);
    std::vector<t3DPoint<double>> profile = Segment({0, 0, 0}, {10, 0, 0}, 60);
    const std::vector<t3DPoint<double>> arc = ArcPoints(10, 5, 5, -90, 0, 40);
    profile.insert(profile.end(), arc.begin() + 1, arc.end());
    const std::vector<t3DPoint<double>> up = Segment({15, 5, 0}, {15, 15, 0}, 60);
    profile.insert(profile.end(), up.begin() + 1, up.end());
    for (t3DPoint<double>& p : profile)
    {
        p.x += noise(rng);
        p.y += noise(rng);
    }
    double frame[12];
    RandomFrame(rng, 500.0, frame);
    ST_TComboCurve<Dezaz_Wire> combo;
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, SectionOf(profile, frame), 0.0f, nullptr));
    EXPECT_EQ(combo.GetSegmentCount(), 1u);
    ASSERT_EQ(combo.Joints().GetVertexCount(), 2u);

    ASSERT_TRUE(combo.InsertJoint(59, {10, 0, 0}));
    ASSERT_TRUE(combo.InsertJoint(98, {15, 5, 0}));
    EXPECT_TRUE(combo.IsEdited());
    ASSERT_EQ(combo.GetSegmentCount(), 3u);
    const tComboSegments& pieces = combo.Segments();

    EXPECT_EQ(pieces[0].GetVertexCount(), 2u);
    ASSERT_EQ(pieces[1].GetVertexCount(), 5u);
    EXPECT_EQ(pieces[2].GetVertexCount(), 2u);
    EXPECT_NEAR(pieces[1].GetVertex(4)->x, 5.0, 0.05);
    EXPECT_NEAR(pieces[1].GetVertex(3)->x, 10.0, 0.05);
    EXPECT_NEAR(pieces[1].GetVertex(3)->y, 5.0, 0.05);
    // The solved joints are the true corners, within the noise; a tangent
    // joint moves along the line by about sqrt(2 r noise).
    EXPECT_NEAR(Distance(*pieces[0].GetVertex(1), {10, 0, 0}), 0.0, 0.1);
    EXPECT_NEAR(Distance(*pieces[1].GetVertex(1), {15, 5, 0}), 0.0, 0.3);
    EXPECT_EQ(*pieces[0].GetVertex(1), *pieces[1].GetVertex(0));
    EXPECT_TRUE(combo.HasValidWire());
    EXPECT_EQ(combo.GetWire()->GetSegmentCount(), 3u);
    // The ends keep the offset the one-piece fit had from the first and last
    // joints, so the chain is at least the profile's length.
    EXPECT_GT(combo.GetWire()->GetLength(), 10 + 2.5 * kPi + 10 - 0.2);
    EXPECT_LT(combo.GetCachedFitRms(), 0.02);

    // The arc piece made a line and back; its neighbours stay lines.
    ASSERT_TRUE(combo.SetSegmentKind(1, CLSID_ST_TLineCurve));
    EXPECT_EQ(combo.Segments()[1].GetVertexCount(), 2u);
    EXPECT_EQ(combo.GetWire()->GetSegment(1)->GetKind(), kWireLine);
    ASSERT_TRUE(combo.SetSegmentKind(1, CLSID_ST_TArcCurve));
    ASSERT_EQ(combo.Segments()[1].GetVertexCount(), 5u);
    EXPECT_NEAR(combo.Segments()[1].GetVertex(4)->x, 5.0, 0.05);
    EXPECT_EQ(combo.Segments()[0].GetVertexCount(), 2u);
    EXPECT_EQ(combo.Segments()[2].GetVertexCount(), 2u);

    // Back to one piece by removing the interior joints.
    ASSERT_TRUE(combo.RemoveJoint(1));
    EXPECT_EQ(combo.GetSegmentCount(), 2u);
    EXPECT_FALSE(combo.RemoveJoint(0));
    EXPECT_FALSE(combo.RemoveJoint(2)) << "the last joint stays";
    EXPECT_EQ(combo.GetJointPoint(0).x, FLT_MAX);
}

TEST(ComboCurve, ClosedSectionsAndJointEditsOutOfRange)
{
    double frame[12];
    Identity(frame);
    ST_TComboCurve<Dezaz_Wire> combo(1);
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, SectionOf(ArcPoints(0, 0, 4, 0, 350, 36), frame), 0.0f, nullptr));
    ASSERT_EQ(combo.Joints().GetVertexCount(), 2u);
    EXPECT_EQ(combo.Joints().GetVertex(0)->x, combo.Joints().GetVertex(1)->x);
    EXPECT_EQ(combo.Joints().GetVertex(1)->index, 35u);

    EXPECT_FALSE(combo.InsertJoint(40, {0, 0, 0})) << "beyond the last joint";
    EXPECT_FALSE(combo.MoveJoint(9, {0, 0, 0}));
    EXPECT_FALSE(combo.SetSegmentKind(0, CLSID_ST_TSplineCurve));

    // An open chain's end moves along its last piece and the chain follows.
    ST_TComboCurve<Dezaz_Wire> open;
    open.SetMergeMode(0);
    ASSERT_TRUE(open.RebuildWire(frame, SectionOf(Segment({0, 0, 0}, {6, 0, 0}, 7), frame), 0.0f, nullptr));
    ASSERT_TRUE(open.ExtendEnd(2.0, true));
    EXPECT_NEAR(open.GetLocalEndPoint().x, 8.0, 1e-6);
    EXPECT_NEAR(open.GetWire()->GetLength(), 8.0, 1e-6);
    ASSERT_TRUE(open.ExtendStart(1.0, true));
    EXPECT_NEAR(open.GetLocalStartPoint().x, -1.0, 1e-6);
    EXPECT_FALSE(combo.ExtendEnd(1.0, true)) << "a closed chain has no end to move";

    // Two section points: two joints, one piece.
    ST_TComboCurve<Dezaz_Wire> two;
    two.SetMergeMode(0);
    ASSERT_TRUE(two.RebuildWire(frame, SectionOf({{0, 0, 0}, {3, 4, 0}}, frame), 0.0f, nullptr));
    EXPECT_EQ(two.GetSegmentCount(), 1u);
    EXPECT_NEAR(two.GetWire()->GetLength(), 5.0, 1e-6);
}

TEST(SectionCurves, ClonesAndCopiesStayWithinTheirClass)
{
    double frame[12];
    Identity(frame);
    ST_TArcCurve<Dezaz_Wire> arc(1);
    const double a[3] = {1, 0, 0}, b[3] = {0, 1, 0}, c[3] = {-1, 0, 0};
    ASSERT_TRUE(arc.SetArcFromPoints(a, b, c, frame, 0.0f, false));
    std::unique_ptr<ST_ISectionCurve> clone = arc.Clone();
    EXPECT_TRUE(clone->IsClosed());
    EXPECT_EQ(clone->GetDefiningPoints()->GetVertexCount(), 0u);
    clone->Assign(arc);
    EXPECT_NEAR(clone->GetWire()->GetLength(), arc.GetWire()->GetLength(), 1e-12);
    EXPECT_NE(clone->GetWire(), arc.GetWire());

    // A line takes an arc's defining points but nothing else of it.
    ST_TLineCurve<Dezaz_Wire> line;
    line.CopyFrom(arc);
    EXPECT_EQ(line.GetDefiningPoints()->GetVertexCount(), 3u);
    EXPECT_FALSE(line.GetWire()->IsValid());
    EXPECT_FALSE(IsSameCurveClass(line, arc));

    ST_TSplineCurve<Dezaz_Wire> spline(1);
    EXPECT_TRUE(spline.Clone()->IsClosed());
    for (const GUID& id : {CLSID_ST_TLineCurve, CLSID_ST_TArcCurve, CLSID_ST_TComboCurve, CLSID_ST_TSplineCurve,
                           CLSID_ST_TSketch})
    {
        std::unique_ptr<ST_ISectionCurve> made = CreateSectionCurveByClassGuid(id);
        ASSERT_TRUE(made);
        EXPECT_EQ(made->GetClassGuid(), id);
        EXPECT_FALSE(made->IsClosed());
    }
    EXPECT_FALSE(CreateSectionCurveByClassGuid(CLSID_Dezaz_Wire));
}

TEST(SketchCurve, OwnsItsCurvesAndRefusesToTakeOneTwice)
{
    ST_TSketch<Dezaz_Wire> sketch;
    double frame[12];
    Identity(frame);
    EXPECT_FALSE(sketch.SetFrame(frame));
    EXPECT_FALSE(sketch.SnapStartToAxis());
    EXPECT_EQ(sketch.GetLocalMidPoint().x, -FLT_MAX);
    EXPECT_FALSE(sketch.GetWire()->IsValid());

    auto* first = new ST_TLineCurve<Dezaz_Wire>;
    ASSERT_TRUE(first->RebuildWire(frame, SectionOf(Segment({0, 0, 0}, {2, 0, 0}, 3), frame), 0.0f, nullptr));
    auto* second = new ST_TLineCurve<Dezaz_Wire>;
    ASSERT_TRUE(second->RebuildWire(frame, SectionOf(Segment({5, 0, 0}, {9, 1, 0}, 3), frame), 0.0f, nullptr));
    EXPECT_EQ(sketch.AddCurve(first), 0u);
    EXPECT_EQ(sketch.AddCurve(second), 1u);
    EXPECT_EQ(sketch.AddCurve(first), 0xFFFFFFFFu) << "a curve held already is not taken again";
    EXPECT_EQ(sketch.AddCurve(&sketch), 0xFFFFFFFFu);
    EXPECT_EQ(sketch.GetSegmentCount(), 2u);
    EXPECT_TRUE(sketch.GetWire()->IsValid());
    EXPECT_EQ(sketch.GetSegment(1), second);
    EXPECT_EQ(sketch.GetSegment(2), nullptr);
    ST_TLineCurve<Dezaz_Wire> stranger;
    EXPECT_EQ(sketch.IndexOfCurve(&stranger), 0xFFFFFFFFu);
    EXPECT_NEAR(sketch.GetLocalMidPoint().x, 7.0, 1e-9);
    EXPECT_TRUE(sketch.SetFrame(frame));

    ST_TSketch<Dezaz_Wire> copy;
    copy.Assign(sketch);
    EXPECT_TRUE(copy.LastCopySucceeded());
    ASSERT_EQ(copy.GetSegmentCount(), 2u);
    EXPECT_NE(copy.GetSegment(0), first);
    EXPECT_NEAR(copy.GetSegment(1)->GetLocalEndPoint().x, 9.0, 1e-6);

    double move[12];
    Identity(move);
    move[7] = 3.0;
    sketch.Transform(move);
    EXPECT_EQ(sketch.frame[7], 3.0);
    EXPECT_EQ(first->frame[7], 3.0);
    sketch.RemoveCurve(first);
    EXPECT_EQ(sketch.GetSegmentCount(), 1u);
    sketch.RemoveCurve(&stranger);
    EXPECT_EQ(sketch.GetSegmentCount(), 1u);
}

TEST(ComboCurve, RemovingAJointMarksAChainThatWasNotEditedAsEdited)
{
    // A U of three lines with its corner joints placed; asking the curve for
    // its merged section alone clears the edited mark and keeps the joints.
    double frame[12] = {1, 0, 0, 40, 0, 0, -1, -15, 0, 1, 0, 260};
    std::vector<t3DPoint<double>> profile = Segment({0, 10, 0}, {0, 0, 0}, 30);
    const std::vector<t3DPoint<double>> bottom = Segment({0, 0, 0}, {20, 0, 0}, 60);
    profile.insert(profile.end(), bottom.begin() + 1, bottom.end());
    const std::vector<t3DPoint<double>> up = Segment({20, 0, 0}, {20, 10, 0}, 30);
    profile.insert(profile.end(), up.begin() + 1, up.end());
    ST_TComboCurve<Dezaz_Wire> combo;
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, SectionOf(profile, frame), 0.0f, nullptr));
    ASSERT_TRUE(combo.InsertJoint(29, {0, 0, 0}));
    ASSERT_TRUE(combo.InsertJoint(88, {20, 0, 0}));
    ASSERT_EQ(combo.Joints().GetVertexCount(), 4u);
    tPolyline<cVertex> merged;
    ASSERT_TRUE(combo.RebuildWire(frame, SectionOf(profile, frame), 0.0f, &merged));
    ASSERT_FALSE(combo.IsEdited());
    ASSERT_EQ(combo.Joints().GetVertexCount(), 4u);
    // The pieces went with that request, so the chain may not rebuild; the
    // joint is gone and the user's edit is marked all the same.
    combo.RemoveJoint(1);
    EXPECT_EQ(combo.Joints().GetVertexCount(), 3u);
    EXPECT_TRUE(combo.IsEdited());
}
