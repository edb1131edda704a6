#include "shapes/primitive_geometry.h"
#include "support/test_shapes.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

namespace
{

using Plane = TestPlane;
using Sphere = TestSphere;
using Cylinder = TestCylinder;

// n = (0, 0, 1), o = 0, x = (1, 0, 0), w = 2, h = 1.
Plane UnitPatch()
{
    Plane p;
    const double n[3] = {0, 0, 1}, o[3] = {0, 0, 0}, x[3] = {1, 0, 0};
    p.SetOriginAndNormal(n, o, x, 2.0, 1.0);
    return p;
}

Cylinder ZCylinder(double height)
{
    Cylinder c;
    const double b[3] = {0, 0, 0}, a[3] = {0, 0, 1};
    c.SetAxis(b, a, 1.0, height);
    return c;
}

void Apply(const double f[12], const double p[3], double out[3])
{
    for (int r = 0; r < 3; ++r)
        out[r] = f[4 * r] * p[0] + f[4 * r + 1] * p[1] + f[4 * r + 2] * p[2] + f[4 * r + 3];
}

double Dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void RandomUnit(std::mt19937& rng, double v[3])
{
    std::normal_distribution<double> g;
    for (int i = 0; i < 3; ++i)
        v[i] = g(rng);
    const double l = std::sqrt(Dot(v, v));
    for (int i = 0; i < 3; ++i)
        v[i] /= l;
}

} // namespace

TEST(PrimitiveGeometry, QueryKeepsPointerIdentity)
{
    Plane plane;
    void* geometry = plane.QueryInterface(IID_ST_IGeometry);
    EXPECT_EQ(geometry, static_cast<ST_IGeometry*>(&plane));
    EXPECT_EQ(plane.QueryInterface(IID_ST_CPlane), static_cast<ST_CPlane*>(&plane));
    EXPECT_EQ(static_cast<void*>(static_cast<ST_CPlane*>(&plane)), geometry);
    EXPECT_EQ(plane.QueryInterface(IID_IMathSurface), static_cast<IMathSurface*>(&plane.GetPlane()));
    EXPECT_EQ(plane.QueryInterface(IID_cPlane), &plane.GetPlane());
    EXPECT_EQ(plane.QueryInterface(IID_IBase), static_cast<IBase*>(&plane));
    EXPECT_EQ(plane.QueryInterface(IID_ST_CSphere), nullptr);
    EXPECT_EQ(plane.QueryInterface(IID_ON_ISurface), nullptr);

    // The inner value delegates to the shape, so it finds the shape's ids.
    EXPECT_EQ(plane.GetPlane().QueryInterface(IID_ST_IGeometry), geometry);
    EXPECT_EQ(plane.GetPlane().QueryInterface(IID_Dezaz_Plane), nullptr); // unknown: ends, no loop

    Cylinder cylinder;
    EXPECT_EQ(cylinder.QueryInterface(IID_IMathSurface), nullptr);
    EXPECT_EQ(cylinder.QueryInterface(IID_cCylinder), &cylinder.GetCylinder());
    Sphere sphere;
    EXPECT_EQ(sphere.QueryInterface(IID_cSphere), &sphere.GetSphere());
}

TEST(PrimitiveGeometry, CopiesAreWiredToThemselves)
{
    auto* original = new Plane(UnitPatch());
    original->GetSeeds().push_back(12);
    original->SetMode(3);
    original->SetRms(0.25);
    Plane copy(*original);
    delete original;
    EXPECT_EQ(copy.GetPlane().QueryInterface(IID_ST_IGeometry), static_cast<ST_IGeometry*>(&copy));
    EXPECT_EQ(copy.GetSeeds().size(), 1u);
    EXPECT_EQ(copy.GetMode(), 3);
    EXPECT_EQ(copy.GetRms(), 0.25);
    EXPECT_EQ(copy.GetPlane().halfWidth, 2.0);

    // A shape that lives inside an outer object: its copy is not.
    Plane outer;
    Plane inner;
    inner.SetOuter(&outer);
    Plane innerCopy(inner);
    EXPECT_EQ(innerCopy.GetOuter(), nullptr);
    EXPECT_EQ(innerCopy.QueryInterface(IID_ST_IGeometry), static_cast<ST_IGeometry*>(&innerCopy));
}

TEST(PrimitiveGeometry, ClearAndInitialState)
{
    Plane p;
    EXPECT_FALSE(p.IsValid());
    EXPECT_EQ(p.GetMode(), -1);
    EXPECT_EQ(p.GetRms(), 0.0);
    p = UnitPatch();
    EXPECT_TRUE(p.IsValid());
    p.GetSeeds().push_back(1);
    p.SetRms(2.0);
    p.SetMode(4);
    p.Clear();
    EXPECT_TRUE(p.GetSeeds().empty());
    EXPECT_EQ(p.GetRms(), 0.0);
    EXPECT_EQ(p.GetMode(), -1);
    EXPECT_TRUE(p.IsValid()); // the parameters stay
}

TEST(PrimitiveGeometry, KindsOperationsAndNames)
{
    Plane p;
    Sphere s;
    Cylinder c;
    EXPECT_EQ(p.GetKindId(), 1);
    EXPECT_EQ(s.GetKindId(), 2);
    EXPECT_EQ(c.GetKindId(), 7);
    EXPECT_EQ(p.GetHandleCount(), 8);
    EXPECT_EQ(s.GetHandleCount(), 0);
    EXPECT_EQ(c.GetHandleCount(), 2);
    for (ST_IGeometry* g : {static_cast<ST_IGeometry*>(&p), static_cast<ST_IGeometry*>(&s)})
    {
        EXPECT_TRUE(g->SupportsOperation(kGeometryMoveToOrigin));
        EXPECT_FALSE(g->SupportsOperation(kGeometryAlignAxis));
        EXPECT_TRUE(g->SupportsOperation(kGeometryAlignNormal));
    }
    EXPECT_TRUE(c.SupportsOperation(kGeometryAlignAxis));
    EXPECT_FALSE(c.SupportsOperation(kGeometryMoveToOrigin));
    ON_wString name;
    c.GetTypeName(name);
    EXPECT_EQ(name, ON_wString(L"CYLINDER"));
    double dir[3];
    s.GetDirection(dir);
    EXPECT_EQ(dir[0], FLT_MAX);
    EXPECT_FALSE(s.Inflate(1.0));
}

TEST(PrimitiveGeometry, InfoTexts)
{
    Plane p = UnitPatch();
    p.SetRms(0.1234567);
    ON_wString text;
    p.GetInfoText(text);
    EXPECT_EQ(text, ON_wString(L"RMS: 0.12346\nNormal: 0.00000, 0.00000, 1.00000"));
    Sphere s;
    const double c[3] = {1, 2, 3};
    s.SetCentreAndRadius(c, 0.5);
    s.GetInfoText(text);
    EXPECT_EQ(text, ON_wString(L"RMS: 0.00000\nRadius: 0.50000\nCenter: 1.00000, 2.00000, 3.00000"));
    Cylinder cyl = ZCylinder(2.0);
    cyl.GetInfoText(text);
    EXPECT_EQ(text, ON_wString(L"RMS: 0.00000\nRadius: 1.00000\nDirection: 0.00000, 0.00000, 1.00000"));
}

TEST(PrimitiveGeometry, PlaneHandleDragKeepsTheOppositeEdge)
{
    Plane p = UnitPatch();
    p.MoveHandle(0, 1.0);
    EXPECT_DOUBLE_EQ(p.GetPlane().halfWidth, 2.5);
    EXPECT_DOUBLE_EQ(p.GetPlane().origin[0], 0.5);
    EXPECT_DOUBLE_EQ(p.GetPlane().origin[0] - p.GetPlane().halfWidth, -2.0);

    // Every edge and corner handle: the dragged handle moves by t along its
    // direction, the handle opposite it stays.
    const int opposite[8] = {1, 0, 3, 2, 7, 6, 5, 4};
    for (int k = 0; k < 8; ++k)
    {
        Plane q = UnitPatch();
        float before[8][3], dirs[8][3], after[8][3], dirsAfter[8][3];
        q.GetHandles(before, dirs);
        const double t = 0.75;
        q.MoveHandle(k, t);
        q.GetHandles(after, dirsAfter);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(after[opposite[k]][i], before[opposite[k]][i], 1e-6) << k;
        if (k < 4)
        {
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(after[k][i], before[k][i] + t * dirs[k][i], 1e-6) << k;
        }
    }
}

TEST(PrimitiveGeometry, PlaneHandleDirectionsAndNormalMove)
{
    Plane p = UnitPatch();
    float points[8][3], dirs[8][3];
    p.GetHandles(points, dirs);
    EXPECT_FLOAT_EQ(points[4][0], 2.0f);
    EXPECT_FLOAT_EQ(points[4][1], 1.0f);
    for (int k = 4; k < 8; ++k)
        EXPECT_NEAR(std::sqrt(dirs[k][0] * dirs[k][0] + dirs[k][1] * dirs[k][1]), 1.0, 1e-6);
    EXPECT_FLOAT_EQ(dirs[7][0], -dirs[4][0]);

    p.MoveHandle(8, 3.0);
    EXPECT_DOUBLE_EQ(p.GetPlane().origin[2], 3.0);
    EXPECT_DOUBLE_EQ(p.GetPlane().d, -3.0);
    EXPECT_DOUBLE_EQ(p.GetPlane().halfWidth, 2.0);
    const cPlane before = p.GetPlane();
    p.MoveHandle(9, 5.0);
    p.MoveHandle(-1, 5.0);
    EXPECT_EQ(std::memcmp(&static_cast<const tPlane<double>&>(before),
                          &static_cast<const tPlane<double>&>(p.GetPlane()), sizeof(tPlane<double>)),
              0);
}

TEST(PrimitiveGeometry, CylinderHandles)
{
    Cylinder c = ZCylinder(2.0);
    float points[2][3], dirs[2][3];
    c.GetHandles(points, dirs);
    EXPECT_FLOAT_EQ(points[1][2], 2.0f);
    EXPECT_FLOAT_EQ(dirs[0][2], -1.0f);

    c.MoveHandle(0, 1.0);
    EXPECT_DOUBLE_EQ(c.GetCylinder().axisPoint[2], -1.0);
    EXPECT_DOUBLE_EQ(c.GetCylinder().height, 3.0);

    // Dragging the bottom past the top turns the axis round.
    c = ZCylinder(2.0);
    c.MoveHandle(0, -3.0);
    EXPECT_DOUBLE_EQ(c.GetCylinder().axisPoint[2], 3.0);
    EXPECT_DOUBLE_EQ(c.GetCylinder().axis[2], -1.0);
    EXPECT_DOUBLE_EQ(c.GetCylinder().height, 1.0);
    EXPECT_TRUE(c.IsValid());

    c = ZCylinder(2.0);
    c.MoveHandle(0, -2.0);
    EXPECT_FALSE(c.IsValid());
    EXPECT_EQ(c.GetCylinder().radius, 0.0);
    EXPECT_EQ(c.GetCylinder().axis[2], 0.0);

    c = ZCylinder(2.0);
    c.MoveHandle(1, 0.5);
    EXPECT_DOUBLE_EQ(c.GetCylinder().height, 2.5);
    c.MoveHandle(1, -2.5);
    EXPECT_FALSE(c.IsValid());

    c = ZCylinder(2.0);
    c.MoveHandle(2, 5.0); // not a handle
    c.MoveHandle(-1, 5.0);
    EXPECT_DOUBLE_EQ(c.GetCylinder().height, 2.0);
}

TEST(PrimitiveGeometry, InflateGrowsAboutTheMiddle)
{
    Plane p = UnitPatch();
    EXPECT_TRUE(p.Inflate(0.5));
    EXPECT_DOUBLE_EQ(p.GetPlane().halfWidth, 3.0);
    EXPECT_DOUBLE_EQ(p.GetPlane().halfHeight, 1.5);
    Cylinder c = ZCylinder(2.0);
    EXPECT_TRUE(c.Inflate(1.0));
    EXPECT_DOUBLE_EQ(c.GetCylinder().axisPoint[2], -1.0);
    EXPECT_DOUBLE_EQ(c.GetCylinder().height, 4.0);
}

TEST(PrimitiveGeometry, PlaneSettersKeepExtentsInSinglePrecisionAndOffsetCurrent)
{
    Plane p;
    const double o[3] = {1, 2, 3}, x[3] = {0, 2, 0}, y[3] = {0, 0, 3};
    p.SetFrameFromAxes(o, x, 0.1, y, 0.2);
    EXPECT_EQ(p.GetPlane().halfWidth, static_cast<double>(0.1f));
    EXPECT_EQ(p.GetPlane().normal[0], 6.0); // not normalised
    EXPECT_DOUBLE_EQ(p.GetPlane().d, -6.0);
    // Arguments that point into the plane itself.
    p.SetOriginAndNormal(p.GetPlane().normal, p.GetPlane().xAxis, p.GetPlane().origin, 1, 1);
    EXPECT_EQ(p.GetPlane().origin[1], 2.0);
    EXPECT_EQ(p.GetPlane().xAxis[0], 1.0);
}

TEST(PrimitiveGeometry, ConstrainDirections)
{
    Plane p = UnitPatch(); // normal z
    const double d[3] = {1, 0, 1};
    double out[3];
    p.ConstrainPerpendicular(out, d, false);
    EXPECT_EQ(out[0], 1.0);
    p.ConstrainPerpendicular(out, d, true);
    // q = (s x d) x d lies in the plane of s and d and is perpendicular to d.
    EXPECT_NEAR(Dot(out, d), 0.0, 1e-15);
    EXPECT_GT(std::fabs(out[0]) + std::fabs(out[2]), 0.5);
    EXPECT_EQ(out[1], 0.0);
    p.ConstrainParallel(out, d, true);
    EXPECT_EQ(out[2], 1.0);
    p.ConstrainParallel(out, d, false);
    EXPECT_NEAR(Dot(out, d), 0.0, 1e-15);
    EXPECT_GT(std::fabs(out[0]) + std::fabs(out[2]), 0.5);
    // The cylinder's table is the plane's with the flag turned round.
    Cylinder c = ZCylinder(1.0);
    c.ConstrainParallel(out, d, true);
    EXPECT_NEAR(Dot(out, d), 0.0, 1e-15);
    EXPECT_GT(std::fabs(out[0]) + std::fabs(out[2]), 0.5);
    c.ConstrainParallel(out, d, false);
    EXPECT_EQ(out[0], 1.0);
    EXPECT_EQ(out[2], 1.0);
    c.ConstrainPerpendicular(out, d, true);
    EXPECT_EQ(out[0], 1.0);
    EXPECT_EQ(out[2], 1.0);
    c.ConstrainPerpendicular(out, d, false);
    EXPECT_NEAR(Dot(out, d), 0.0, 1e-15);
    EXPECT_GT(std::fabs(out[0]) + std::fabs(out[2]), 0.5);
    // The sphere has no direction of its own: it takes the reference.
    Sphere s;
    s.ConstrainPerpendicular(out, d, true);
    EXPECT_EQ(out[0], 1.0);
    s.ConstrainParallel(out, d, false);
    EXPECT_EQ(out[2], 1.0);
}

TEST(PrimitiveGeometry, BuildAxisFrameIsRightHandedOrthonormal)
{
    std::mt19937 rng(11);
    for (int axis = 0; axis < 3; ++axis)
    {
        double f[12] = {};
        float e[3] = {0, 0, 0};
        e[axis] = 1.0f;
        BuildAxisFrame(f, e, axis);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(f[4 * r + c], r == c ? 1.0 : 0.0, 1e-15);
        for (int trial = 0; trial < 50; ++trial)
        {
            double m[3];
            RandomUnit(rng, m);
            const float mf[3] = {static_cast<float>(3 * m[0]), static_cast<float>(3 * m[1]),
                                 static_cast<float>(3 * m[2])};
            BuildAxisFrame(f, mf, axis);
            const double* r0 = f;
            const double* r1 = f + 4;
            const double* r2 = f + 8;
            EXPECT_NEAR(Dot(r0, r0), 1.0, 1e-6);
            EXPECT_NEAR(Dot(r1, r1), 1.0, 1e-6);
            EXPECT_NEAR(Dot(r0, r1), 0.0, 1e-6);
            EXPECT_NEAR(Dot(r1, r2), 0.0, 1e-6);
            const double det = r0[0] * (r1[1] * r2[2] - r1[2] * r2[1]) - r0[1] * (r1[0] * r2[2] - r1[2] * r2[0]) +
                               r0[2] * (r1[0] * r2[1] - r1[1] * r2[0]);
            EXPECT_NEAR(det, 1.0, 1e-6);
            EXPECT_NEAR(f[4 * axis] * m[0] + f[4 * axis + 1] * m[1] + f[4 * axis + 2] * m[2], 1.0, 1e-6);
        }
    }
}

TEST(PrimitiveGeometry, PlaneAlignmentTurnsAnAlignedPlaneOver)
{
    Plane p = UnitPatch();
    double f[12];
    p.GetLocalFrame(f, kGeometryAlignNormal, 2, false);
    p.Transform(f);
    EXPECT_NEAR(p.GetPlane().normal[2], -1.0, 1e-12);
    p.GetLocalFrame(f, kGeometryAlignNormal, 2, false);
    p.Transform(f);
    EXPECT_NEAR(p.GetPlane().normal[2], 1.0, 1e-12);
}

TEST(PrimitiveGeometry, PlaneAlignmentPutsThePlaneOnAWorldPlane)
{
    std::mt19937 rng(5);
    for (int trial = 0; trial < 30; ++trial)
    {
        const int axis = trial % 3;
        const bool flip = trial % 2 == 1;
        double n[3], x[3], tmp[3];
        RandomUnit(rng, n);
        RandomUnit(rng, tmp);
        x[0] = n[1] * tmp[2] - n[2] * tmp[1], x[1] = n[2] * tmp[0] - n[0] * tmp[2], x[2] = n[0] * tmp[1] - n[1] * tmp[0];
        const double xl = std::sqrt(Dot(x, x));
        for (double& v : x)
            v /= xl;
        const double o[3] = {3.0 * tmp[0] + 5, -2.0, 7.0};
        Plane p;
        p.SetOriginAndNormal(n, o, x, 1, 1);
        double f[12];
        p.GetLocalFrame(f, kGeometryAlignNormal, axis, flip);
        p.Transform(f);
        // The direction passes through single precision on its way.
        EXPECT_NEAR(p.GetPlane().normal[axis], flip ? -1.0 : 1.0, 1e-6);
        EXPECT_NEAR(p.GetPlane().d, 0.0, 1e-9); // through the origin
    }
    Plane p = UnitPatch();
    const double o[3] = {4, 5, 6};
    p.SetOriginAndExtent(o, 2, 1);
    double f[12];
    p.GetLocalFrame(f, kGeometryMoveToOrigin, 0, false);
    double out[3];
    Apply(f, o, out);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[2], 0.0);
}

TEST(PrimitiveGeometry, SphereAndCylinderFrames)
{
    Sphere s;
    const double c[3] = {1, 2, 3};
    s.SetCentreAndRadius(c, 1.0);
    double f[12];
    s.GetLocalFrame(f, kGeometryMoveToOrigin, 0, false);
    EXPECT_EQ(f[3], -1.0);
    EXPECT_EQ(f[11], -3.0);
    s.GetLocalFrame(f, kGeometryAlignNormal, 1, false);
    EXPECT_EQ(f[3], 0.0);
    EXPECT_EQ(f[7], -2.0);
    EXPECT_EQ(f[11], 0.0);

    // A tilted cylinder lies on world axis 0 afterwards, through the origin,
    // and keeps its position along the axis.
    Cylinder cyl;
    const double b[3] = {2, 3, 4}, a[3] = {0, 0.6, 0.8};
    cyl.SetAxis(b, a, 1.0, 5.0);
    cyl.GetLocalFrame(f, kGeometryAlignAxis, 0, false);
    double along = Dot(b, a);
    cyl.Transform(f);
    EXPECT_NEAR(std::fabs(cyl.GetCylinder().axis[0]), 1.0, 1e-6);
    EXPECT_NEAR(cyl.GetCylinder().axisPoint[1], 0.0, 1e-9);
    EXPECT_NEAR(cyl.GetCylinder().axisPoint[2], 0.0, 1e-9);
    EXPECT_NEAR(std::fabs(cyl.GetCylinder().axisPoint[0]), along, 1e-5);
}
