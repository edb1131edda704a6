// Plane, revolution and NURBS forms of the analytic surfaces: that they
// describe the same point sets with the parameterisations and derivatives
// they claim.
#include "platform/geometry/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

// Derivatives of any surface against central differences of its points.
void ExpectDerivativesMatchDifferences(const ON_Surface& s, double tol)
{
    const ON_Interval ds = s.Domain(0), dt = s.Domain(1);
    const double hs = 1e-5 * ds.Length(), ht = 1e-5 * dt.Length();
    // Off the knots, where second derivatives may jump.
    for (double fs : {0.13, 0.46, 0.77})
        for (double ft : {0.21, 0.55, 0.9})
        {
            const double u = ds.ParameterAt(fs), v = dt.ParameterAt(ft);
            ON_3dVector d[6];
            ASSERT_TRUE(s.Evaluate(u, v, 2, d));
            ON_3dVector p[6];
            ASSERT_TRUE(s.Evaluate(u + hs, v, 1, p));
            ON_3dVector q[6];
            ASSERT_TRUE(s.Evaluate(u - hs, v, 1, q));
            const ON_3dVector ds_fd = (p[0] - q[0]) / (2 * hs);
            const ON_3dVector dss_fd = (p[1] - q[1]) / (2 * hs);
            const ON_3dVector dst_fd = (p[2] - q[2]) / (2 * hs);
            ASSERT_TRUE(s.Evaluate(u, v + ht, 1, p));
            ASSERT_TRUE(s.Evaluate(u, v - ht, 1, q));
            const ON_3dVector dt_fd = (p[0] - q[0]) / (2 * ht);
            const ON_3dVector dtt_fd = (p[2] - q[2]) / (2 * ht);
            EXPECT_LT((d[1] - ds_fd).Length(), tol * (1 + d[1].Length()));
            EXPECT_LT((d[2] - dt_fd).Length(), tol * (1 + d[2].Length()));
            EXPECT_LT((d[3] - dss_fd).Length(), tol * (1 + d[3].Length()));
            EXPECT_LT((d[4] - dst_fd).Length(), tol * (1 + d[4].Length()));
            EXPECT_LT((d[5] - dtt_fd).Length(), tol * (1 + d[5].Length()));
        }
}

// Every grid point of the surface at distance r from the centre.
void ExpectOnSphere(const ON_Surface& s, const ON_3dPoint& c, double r)
{
    for (int i = 0; i <= 16; ++i)
        for (int j = 0; j <= 16; ++j)
        {
            const ON_3dPoint p = s.PointAt(s.Domain(0).ParameterAt(i / 16.0), s.Domain(1).ParameterAt(j / 16.0));
            EXPECT_NEAR(p.DistanceTo(c), r, 1e-9 * (1 + r));
        }
}

} // namespace

TEST(PlaneSurface, ExtentsApartFromTheDomain)
{
    ON_PlaneSurface srf(ON_Plane(ON_3dPoint(1, 2, 3), ON_3dVector(0, 2, 0), ON_3dVector(-3, 0, 0)));
    ASSERT_TRUE(srf.SetExtents(0, ON_Interval(-2, 2), false));
    ASSERT_TRUE(srf.SetExtents(1, ON_Interval(-1, 1), false));
    EXPECT_EQ(srf.Domain(0), ON_Interval(0, 1));
    ASSERT_TRUE(srf.IsValid());
    // Domain corners land on the extent corners of the orthonormal frame.
    const ON_3dPoint p = srf.PointAt(1.0, 0.0);
    EXPECT_NEAR(p.x, 1 + 1, 1e-12); // y axis is -x
    EXPECT_NEAR(p.y, 2 + 2, 1e-12);
    ON_3dVector d[3];
    ASSERT_TRUE(srf.Evaluate(0.5, 0.5, 1, d));
    EXPECT_NEAR(d[1].Length(), 4.0, 1e-12);
    EXPECT_NEAR(d[2].Length(), 2.0, 1e-12);
    // The NURBS form is the same surface with the same parameters.
    ON_NurbsSurface nurbs;
    ASSERT_EQ(srf.GetNurbForm(nurbs), 1);
    for (double s : {0.0, 0.3, 1.0})
        for (double t : {0.0, 0.6, 1.0})
            EXPECT_LT(nurbs.PointAt(s, t).DistanceTo(srf.PointAt(s, t)), 1e-12);
    const ON_BoundingBox box = srf.BoundingBox();
    EXPECT_NEAR(box.m_min.x, 0.0, 1e-12);
    EXPECT_NEAR(box.m_max.y, 4.0, 1e-12);
    // A synchronised domain measures length.
    ASSERT_TRUE(srf.SetExtents(0, ON_Interval(-2, 2), true));
    EXPECT_EQ(srf.Domain(0), ON_Interval(-2, 2));
    // Empty or reversed extents are refused and leave the surface as it was.
    EXPECT_FALSE(srf.SetExtents(1, ON_Interval(1, 1)));
    EXPECT_FALSE(srf.SetExtents(1, ON_Interval(1, -1)));
    EXPECT_EQ(srf.Extents(1), ON_Interval(-1, 1));
    // A scaling transform scales the rectangle.
    ASSERT_TRUE(srf.Transform(ON_Xform::ScaleTransformation(ON_origin, 2.0)));
    EXPECT_NEAR(srf.BoundingBox().Diagonal().Length(), 2.0 * std::sqrt(16.0 + 4.0), 1e-9);
}

TEST(SphereForms, RevolutionFormByArcLengthLiesOnTheSphere)
{
    const ON_Sphere sphere(ON_3dPoint(1000.0, -3.0, 0.5), 0.004); // a 4 mm ball a metre out
    ON_RevSurface rev;
    ASSERT_EQ(sphere.RevSurfaceForm(true, &rev), &rev);
    ASSERT_TRUE(rev.IsValid());
    EXPECT_NEAR(rev.Domain(0).Length(), 2 * ON_PI * 0.004, 1e-15);
    EXPECT_NEAR(rev.Domain(1).Length(), ON_PI * 0.004, 1e-15);
    ExpectOnSphere(rev, sphere.Center(), sphere.Radius());
    // Latitude 0 is the equator, at longitude 0 on the x axis.
    EXPECT_LT(rev.PointAt(0.0, 0.0).DistanceTo(ON_3dPoint(1000.004, -3.0, 0.5)), 1e-12);
    EXPECT_LT(rev.PointAt(0.0, rev.Domain(1)[1]).DistanceTo(sphere.NorthPole()), 1e-12);
    // The box is the sphere's.
    const ON_BoundingBox box = rev.BoundingBox();
    EXPECT_NEAR(box.m_min.x, 999.996, 1e-12);
    EXPECT_NEAR(box.m_max.y, -2.996, 1e-12);
    EXPECT_NEAR(box.m_min.z, 0.496, 1e-12);
    // Angle parameters without arc length.
    ON_RevSurface* angles = sphere.RevSurfaceForm(false);
    ASSERT_NE(angles, nullptr);
    EXPECT_NEAR(angles->Domain(1)[1], ON_PI / 2, 1e-15);
    delete angles;
    EXPECT_EQ(ON_Sphere(ON_origin, -1.0).RevSurfaceForm(true), nullptr);
}

TEST(SphereForms, NurbsFormLiesOnTheSphereWithTheSphereBox)
{
    const ON_Sphere sphere(ON_3dPoint(0.5, 0.25, -2.0), 3.0);
    ON_NurbsSurface nurbs;
    ASSERT_EQ(sphere.GetNurbForm(nurbs), 2);
    ASSERT_TRUE(nurbs.IsValid());
    EXPECT_EQ(nurbs.m_cv_count[0], 9);
    EXPECT_EQ(nurbs.m_cv_count[1], 5);
    ExpectOnSphere(nurbs, sphere.Center(), 3.0);
    const ON_BoundingBox box = nurbs.BoundingBox();
    EXPECT_NEAR(box.m_min.x, -2.5, 1e-12);
    EXPECT_NEAR(box.m_max.z, 1.0, 1e-12);
    ExpectDerivativesMatchDifferences(nurbs, 1e-6);
    EXPECT_EQ(ON_Sphere(ON_origin, 0.0).GetNurbForm(nurbs), 0);
}

TEST(CylinderForms, RevolutionAndNurbsFormsLieOnTheCylinder)
{
    const ON_Plane base(ON_3dPoint(2, -1, 5), ON_3dVector(1, 1, 0));
    const ON_Cylinder cylinder(ON_Circle(base, 0.75), 3.0);
    ON_RevSurface rev;
    ASSERT_NE(cylinder.RevSurfaceForm(&rev), nullptr);
    ON_NurbsSurface nurbs;
    ASSERT_EQ(cylinder.GetNurbForm(nurbs), 2);
    for (const ON_Surface* s : {static_cast<const ON_Surface*>(&rev), static_cast<const ON_Surface*>(&nurbs)})
    {
        ASSERT_TRUE(s->IsValid());
        for (int i = 0; i <= 12; ++i)
            for (int j = 0; j <= 4; ++j)
            {
                const ON_3dPoint p = s->PointAt(s->Domain(0).ParameterAt(i / 12.0), s->Domain(1).ParameterAt(j / 4.0));
                const double h = ON_DotProduct(p - base.origin, base.zaxis);
                EXPECT_NEAR((p - base.origin - h * base.zaxis).Length(), 0.75, 1e-12);
                EXPECT_GE(h, -1e-12);
                EXPECT_LE(h, 3.0 + 1e-12);
            }
        ExpectDerivativesMatchDifferences(*s, 1e-6);
    }
    // The revolution form is parameterised by angle and height.
    EXPECT_LT(rev.PointAt(ON_PI / 2, 1.0).DistanceTo(cylinder.PointAt(ON_PI / 2, 1.0)), 1e-12);
    EXPECT_EQ(ON_Cylinder(ON_Circle(base, 1.0), 0.0).RevSurfaceForm(), nullptr);
}

TEST(RevSurface, PartialTurnsTransposedAndTheirNurbsForms)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-2.0, 2.0);
    for (int trial = 0; trial < 8; ++trial)
    {
        ON_RevSurface rev;
        rev.m_curve = ON_NurbsCurveData(3, true, 3, 4);
        const double knots[7] = {0, 0, 0, 0.4, 1, 1, 1};
        rev.m_curve.knot.assign(knots, knots + 7);
        for (int i = 0; i < 4; ++i)
        {
            const double p[3] = {u(rng) + 3.0, u(rng), u(rng)};
            rev.m_curve.SetCV(i, p, 0.5 + (i % 2));
        }
        rev.m_axis = ON_Line(ON_3dPoint(0.1, 0.2, 0.3), ON_3dPoint(0.1 + u(rng), 0.2 + u(rng), 2.3));
        rev.m_angle.Set(0.3, 0.3 + 0.5 + trial * 0.7);
        rev.m_t.Set(-1.0, 4.0);
        rev.m_bTransposed = (trial % 2) == 1;
        ASSERT_TRUE(rev.IsValid());
        ExpectDerivativesMatchDifferences(rev, 1e-6);

        // The NURBS form covers the same points: same profile points, and the
        // same angle at each end of the turn.
        ON_NurbsSurface nurbs;
        ASSERT_EQ(rev.GetNurbForm(nurbs), 2);
        const int around = rev.m_bTransposed ? 1 : 0;
        for (double f : {0.0, 0.35, 1.0})
        {
            const double w = rev.Domain(1 - around).ParameterAt(f);
            for (double end : {0.0, 1.0})
            {
                const double a0 = rev.Domain(around).ParameterAt(end);
                const double n0 = nurbs.Domain(around).ParameterAt(end);
                const ON_3dPoint p = around == 0 ? rev.PointAt(a0, w) : rev.PointAt(w, a0);
                const ON_3dPoint q = around == 0 ? nurbs.PointAt(n0, w) : nurbs.PointAt(w, n0);
                EXPECT_LT(p.DistanceTo(q), 1e-9);
            }
        }
        // And the box holds every point of both.
        const ON_BoundingBox box = rev.BoundingBox();
        for (int i = 0; i <= 40; ++i)
            for (int j = 0; j <= 10; ++j)
            {
                const ON_3dPoint q = nurbs.PointAt(nurbs.Domain(0).ParameterAt(i / 40.0), nurbs.Domain(1).ParameterAt(j / 10.0));
                for (int k = 0; k < 3; ++k)
                {
                    EXPECT_GE(q[k], box.m_min[k] - 1e-12);
                    EXPECT_LE(q[k], box.m_max[k] + 1e-12);
                }
            }
    }
}

TEST(RevSurface, NormalsAtThePolesAreDefined)
{
    const ON_Sphere sphere(ON_origin, 2.0);
    ON_RevSurface rev;
    ASSERT_NE(sphere.RevSurfaceForm(true, &rev), nullptr);
    const ON_3dVector north = rev.NormalAt(0.3, rev.Domain(1)[1]);
    const ON_3dVector south = rev.NormalAt(0.3, rev.Domain(1)[0]);
    // Outward: the profile runs south to north with the turn about +z.
    EXPECT_NEAR(std::fabs(north.z), 1.0, 1e-4);
    EXPECT_NEAR(north.z, -south.z, 1e-4);
    const ON_3dVector equator = rev.NormalAt(0.0, 0.0);
    EXPECT_NEAR(std::fabs(equator.x), 1.0, 1e-12);
}
