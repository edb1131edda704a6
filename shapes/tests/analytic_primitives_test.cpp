#include "shapes/analytic_primitives.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

namespace
{

cPlane MakePlane(double nx, double ny, double nz, double ox, double oy, double oz)
{
    cPlane p;
    p.normal[0] = nx, p.normal[1] = ny, p.normal[2] = nz;
    p.origin[0] = ox, p.origin[1] = oy, p.origin[2] = oz;
    p.xAxis[0] = 1.0;
    p.d = -(nx * ox + ny * oy + nz * oz);
    return p;
}

double Norm(const double v[3])
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

} // namespace

TEST(AnalyticPrimitives, PlaneSignedDistanceAndFoot)
{
    const cPlane p = MakePlane(0, 0, 1, 0, 0, 5);
    const float q[3] = {1, 2, 8};
    double foot[3] = {};
    EXPECT_DOUBLE_EQ(p.ClosestPoint(q, foot), 3.0);
    EXPECT_DOUBLE_EQ(foot[0], 1.0);
    EXPECT_DOUBLE_EQ(foot[1], 2.0);
    EXPECT_DOUBLE_EQ(foot[2], 5.0);
    const float on[3] = {7, -3, 5};
    EXPECT_DOUBLE_EQ(p.ClosestPoint(on, foot), 0.0);
    EXPECT_DOUBLE_EQ(foot[0], 7.0);
}

TEST(AnalyticPrimitives, SphereDistanceAndFootAgainstClosedForm)
{
    cSphere s;
    s.radius = 2.0;
    double foot[3] = {9, 9, 9};
    const float centre[3] = {0, 0, 0};
    EXPECT_DOUBLE_EQ(s.ClosestPoint(centre, foot), -2.0);
    EXPECT_EQ(foot[0], 9.0); // not written at the centre
    const float out[3] = {0, 0, 4};
    EXPECT_DOUBLE_EQ(s.ClosestPoint(out, foot), 2.0);
    EXPECT_DOUBLE_EQ(foot[2], 2.0);

    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-10.0f, 10.0f);
    s.centre[0] = 1.5, s.centre[1] = -2.0, s.centre[2] = 0.25;
    s.radius = 3.0;
    for (int i = 0; i < 100; ++i)
    {
        const float p[3] = {u(rng), u(rng), u(rng)};
        const double v[3] = {p[0] - s.centre[0], p[1] - s.centre[1], p[2] - s.centre[2]};
        const double dist = s.ClosestPoint(p, foot);
        EXPECT_NEAR(dist, Norm(v) - 3.0, 1e-12);
        const double f[3] = {foot[0] - s.centre[0], foot[1] - s.centre[1], foot[2] - s.centre[2]};
        EXPECT_NEAR(Norm(f), 3.0, 1e-12);
        // The foot lies on the ray from the centre through p.
        EXPECT_NEAR(f[0] * v[0] + f[1] * v[1] + f[2] * v[2], 3.0 * Norm(v), 1e-9);
    }
}

TEST(AnalyticPrimitives, CylinderBoxIsExact)
{
    cCylinder c;
    c.axis[2] = 1.0;
    c.radius = 1.0;
    c.height = 3.0;
    float box[6];
    GetCylinderBox(c, box);
    EXPECT_FLOAT_EQ(box[0], -1.0f);
    EXPECT_FLOAT_EQ(box[2], 0.0f);
    EXPECT_FLOAT_EQ(box[4], 1.0f);
    EXPECT_FLOAT_EQ(box[5], 3.0f);
    c.axis[2] = 0.0, c.axis[0] = 1.0;
    GetCylinderBox(c, box);
    EXPECT_FLOAT_EQ(box[0], 0.0f);
    EXPECT_FLOAT_EQ(box[1], -1.0f);
    EXPECT_FLOAT_EQ(box[3], 3.0f);
    EXPECT_FLOAT_EQ(box[5], 1.0f);
}

TEST(AnalyticPrimitives, CylinderBoxMatchesSampledRims)
{
    std::mt19937 rng(3);
    std::normal_distribution<double> g(0.0, 1.0);
    for (int trial = 0; trial < 20; ++trial)
    {
        double a[3] = {g(rng), g(rng), g(rng)};
        const double len = Norm(a);
        for (double& x : a)
            x /= len;
        const double p0[3] = {g(rng), g(rng), g(rng)};
        const double p1[3] = {p0[0] + 4 * a[0], p0[1] + 4 * a[1], p0[2] + 4 * a[2]};
        cCylinder c;
        ASSERT_TRUE(SetCylinderFromPoints(c, p0, p1, 1.5));
        float box[6];
        GetCylinderBox(c, box);
        // Two unit vectors across the axis.
        double u[3] = {a[1] - a[2], a[2] - a[0], a[0] - a[1]};
        const double ul = Norm(u);
        for (double& x : u)
            x /= ul;
        const double v[3] = {a[1] * u[2] - a[2] * u[1], a[2] * u[0] - a[0] * u[2], a[0] * u[1] - a[1] * u[0]};
        double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
        for (int i = 0; i < 20000; ++i)
        {
            const double t = 2 * M_PI * i / 20000.0;
            for (const double* base : {p0, p1})
                for (int k = 0; k < 3; ++k)
                {
                    const double x = base[k] + 1.5 * (std::cos(t) * u[k] + std::sin(t) * v[k]);
                    lo[k] = std::fmin(lo[k], x);
                    hi[k] = std::fmax(hi[k], x);
                }
        }
        for (int k = 0; k < 3; ++k)
        {
            EXPECT_NEAR(box[k], lo[k], 1e-5);
            EXPECT_NEAR(box[k + 3], hi[k], 1e-5);
        }
    }
}

TEST(AnalyticPrimitives, CylinderFromPointsRefusesDegenerateInput)
{
    cCylinder c;
    c.radius = 7.0;
    const double p[3] = {1, 2, 3};
    EXPECT_FALSE(SetCylinderFromPoints(c, p, p, 1.0));
    const double q[3] = {1, 2, 5};
    EXPECT_FALSE(SetCylinderFromPoints(c, p, q, 0.0));
    EXPECT_FALSE(SetCylinderFromPoints(c, p, q, std::nan("")));
    EXPECT_EQ(c.radius, 7.0);
    ASSERT_TRUE(SetCylinderFromPoints(c, p, q, -1.0));
    EXPECT_EQ(c.height, 2.0);
    EXPECT_EQ(c.axis[2], 1.0);
    EXPECT_FALSE(IsCylinderValid(c)); // negative radius
}

TEST(AnalyticPrimitives, PlanePatchCornersInOrder)
{
    cPlane p = MakePlane(0, 0, 1, 10, 20, 0);
    p.halfWidth = 2.0;
    p.halfHeight = 1.0;
    double c[4][3];
    GetPlanePatchCorners(p, c);
    const double expected[4][2] = {{-2, 1}, {2, 1}, {2, -1}, {-2, -1}};
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_DOUBLE_EQ(c[k][0], 10 + expected[k][0]);
        EXPECT_DOUBLE_EQ(c[k][1], 20 + expected[k][1]);
    }
    float box[6];
    GetPlanePatchBox(p, box);
    EXPECT_FLOAT_EQ(box[0], 8.0f);
    EXPECT_FLOAT_EQ(box[4], 21.0f);
}

TEST(AnalyticPrimitives, RigidTransformsKeepValidity)
{
    // 90 degrees about z, then a translation.
    const double frame[12] = {0, -1, 0, 5, 1, 0, 0, 6, 0, 0, 1, 7};
    cPlane p = MakePlane(1, 0, 0, 1, 0, 0);
    ASSERT_TRUE(IsPlaneValid(p));
    TransformPlane(p, frame);
    EXPECT_TRUE(IsPlaneValid(p));
    EXPECT_NEAR(p.normal[1], 1.0, 1e-15);
    EXPECT_NEAR(p.d, -(p.normal[0] * p.origin[0] + p.normal[1] * p.origin[1] + p.normal[2] * p.origin[2]), 1e-12);
    EXPECT_DOUBLE_EQ(p.origin[1], 7.0);

    cCylinder c;
    c.axis[0] = 1.0, c.radius = 1.0, c.height = 2.0;
    TransformCylinder(c, frame);
    EXPECT_TRUE(IsCylinderValid(c));
    EXPECT_DOUBLE_EQ(c.axisPoint[0], 5.0);

    cSphere s;
    s.radius = 4.0;
    TransformSphere(s, frame);
    EXPECT_DOUBLE_EQ(s.centre[2], 7.0);
    EXPECT_TRUE(IsSphereValid(s));
}

TEST(AnalyticPrimitives, QueriesAnswerOwnIdsAndNothingElse)
{
    cPlane plane;
    EXPECT_EQ(plane.QueryInterface(IID_cPlane), &plane);
    EXPECT_EQ(plane.QueryInterface(IID_IMathSurface), static_cast<IMathSurface*>(&plane));
    EXPECT_EQ(plane.QueryInterface(IID_IBase), static_cast<IBase*>(&plane));
    EXPECT_EQ(plane.QueryInterface(IID_cSphere), nullptr);
    EXPECT_EQ(plane.QueryInterface(IID_ST_IGeometry), nullptr);

    cSphere sphere;
    EXPECT_EQ(sphere.QueryInterface(IID_cSphere), &sphere);
    EXPECT_NE(sphere.QueryInterface(IID_IMathSurface), nullptr);

    cCylinder cylinder;
    EXPECT_EQ(cylinder.QueryInterface(IID_cCylinder), &cylinder);
    EXPECT_EQ(cylinder.QueryInterface(IID_IMathSurface), nullptr);
}

TEST(AnalyticPrimitives, ACopyHasNoOuterObject)
{
    cPlane outer;
    cPlane inner;
    inner.SetOuter(&outer);
    inner.halfWidth = 3.0;
    EXPECT_EQ(inner.QueryInterface(IID_cPlane), &outer);
    cPlane copy(inner);
    EXPECT_EQ(copy.halfWidth, 3.0);
    EXPECT_EQ(copy.GetOuter(), nullptr);
    EXPECT_EQ(copy.QueryInterface(IID_cPlane), &copy);
    cPlane assigned;
    assigned = inner;
    EXPECT_EQ(assigned.GetOuter(), nullptr);
    EXPECT_EQ(assigned.halfWidth, 3.0);
}
