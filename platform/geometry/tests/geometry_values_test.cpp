#include "platform/geometry/geometry.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace
{

void ExpectNear(const ON_3dPoint& a, const ON_3dPoint& b, double tol = 1e-12)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

void ExpectNear(const ON_3dVector& a, const ON_3dVector& b, double tol = 1e-12)
{
    ExpectNear(ON_3dPoint(a), ON_3dPoint(b), tol);
}

} // namespace

TEST(Vector, ParallelTestsSignAndZero)
{
    EXPECT_EQ(ON_3dVector(0, 0, 2).IsParallelTo(ON_zaxis), 1);
    EXPECT_EQ(ON_3dVector(0, 0.001, -1).IsParallelTo(ON_zaxis), -1);
    EXPECT_EQ(ON_3dVector(0, 0.1, -1).IsParallelTo(ON_zaxis), 0);
    EXPECT_EQ(ON_3dVector().IsParallelTo(ON_zaxis), 0);
    ON_3dVector v;
    EXPECT_FALSE(v.Unitize());
    EXPECT_NEAR(ON_3dVector(1e-200, 1e-200, 0).Length(), std::sqrt(2.0) * 1e-200, 1e-212);
}

TEST(Xform, RotationInverseAndComposition)
{
    const ON_3dPoint c(1, 2, 3);
    const ON_Xform r = ON_Xform::RotationTransformation(ON_PI / 2, ON_zaxis, c);
    ExpectNear(r * ON_3dPoint(2, 2, 3), ON_3dPoint(1, 3, 3));
    ExpectNear(r * ON_3dVector(1, 0, 0), ON_3dVector(0, 1, 0));
    EXPECT_NEAR(r.Determinant(), 1.0, 1e-12);
    const ON_Xform t = ON_Xform::TranslationTransformation(ON_3dVector(5, 0, 0));
    EXPECT_TRUE((r * r.Inverse()).IsIdentity(1e-12));
    ExpectNear((t * r) * ON_3dPoint(2, 2, 3), ON_3dPoint(6, 3, 3));
    ON_Xform singular(0.0);
    EXPECT_FALSE(singular.Invert());
}

TEST(Plane, FrameFromAxesIsOrthonormalised)
{
    const ON_Plane p(ON_3dPoint(0, 0, 5), ON_3dVector(2, 0, 0), ON_3dVector(1, 3, 0));
    EXPECT_TRUE(p.IsValid());
    ExpectNear(p.xaxis, ON_xaxis);
    ExpectNear(p.yaxis, ON_yaxis);
    ExpectNear(p.zaxis, ON_zaxis);
    EXPECT_NEAR(p.plane_equation.d, -5.0, 1e-12);
    EXPECT_NEAR(p.DistanceTo(ON_3dPoint(1, 2, 8)), 3.0, 1e-12);
    const ON_Plane n(ON_3dPoint(1, 1, 1), ON_3dVector(1, 1, 0));
    EXPECT_TRUE(n.IsValid());
    EXPECT_FALSE(ON_Plane().CreateFromNormal(ON_origin, ON_3dVector()));
}

TEST(Plane, TransformFollowsTheImage)
{
    ON_Plane p(ON_3dPoint(1, 0, 0), ON_zaxis);
    ASSERT_TRUE(p.Transform(ON_Xform::RotationTransformation(ON_PI / 2, ON_xaxis, ON_origin)));
    ExpectNear(p.zaxis, ON_3dVector(0, -1, 0));
    EXPECT_NEAR(p.DistanceTo(ON_3dPoint(1, -2, 0)), 2.0, 1e-12);
}

TEST(Circle, ThroughThreePointsAndClosestPoint)
{
    const ON_Circle c(ON_3dPoint(3, 0, 1), ON_3dPoint(0, 3, 1), ON_3dPoint(-3, 0, 1));
    ASSERT_TRUE(c.IsValid());
    ExpectNear(c.Center(), ON_3dPoint(0, 0, 1));
    EXPECT_NEAR(c.Radius(), 3.0, 1e-12);
    ExpectNear(c.ClosestPointTo(ON_3dPoint(0, -10, 4)), ON_3dPoint(0, -3, 1));
    EXPECT_FALSE(ON_Circle(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1), ON_3dPoint(2, 2, 2)).IsValid());
}

TEST(Arc, ThreePointArcRunsThroughItsInteriorPoint)
{
    // Clockwise in the xy plane: start (0,1), interior (1,0), end (0,-1).
    const ON_Arc a(ON_3dPoint(0, 1, 0), ON_3dPoint(1, 0, 0), ON_3dPoint(0, -1, 0));
    ASSERT_TRUE(a.IsValid());
    ExpectNear(a.StartPoint(), ON_3dPoint(0, 1, 0));
    ExpectNear(a.EndPoint(), ON_3dPoint(0, -1, 0));
    ExpectNear(a.MidPoint(), ON_3dPoint(1, 0, 0));
    EXPECT_NEAR(a.Length(), ON_PI, 1e-12);
    // Beyond the end the closest point is the nearer end.
    ExpectNear(a.ClosestPointTo(ON_3dPoint(-5, -0.1, 0)), ON_3dPoint(0, -1, 0));

    const ON_Arc big(ON_3dPoint(1, 0, 0), ON_3dPoint(0, -1, 0), ON_3dPoint(0, 1, 0));
    EXPECT_NEAR(big.AngleRadians(), 1.5 * ON_PI, 1e-12);
    ON_Arc rev = big;
    ASSERT_TRUE(rev.Reverse());
    ExpectNear(rev.StartPoint(), big.EndPoint());
    ExpectNear(rev.EndPoint(), big.StartPoint());
    ExpectNear(rev.MidPoint(), big.MidPoint());
}

TEST(SphereAndCylinder, ClosestPointsAndTransforms)
{
    ON_Sphere s(ON_3dPoint(1, 1, 1), 2.0);
    ExpectNear(s.ClosestPointTo(ON_3dPoint(1, 1, 9)), ON_3dPoint(1, 1, 3));
    ASSERT_TRUE(s.Transform(ON_Xform::ScaleTransformation(ON_origin, 2.0)));
    ExpectNear(s.Center(), ON_3dPoint(2, 2, 2));
    EXPECT_NEAR(s.Radius(), 4.0, 1e-12);

    ON_Cylinder c(ON_Circle(ON_Plane(ON_origin, ON_zaxis), 1.0), 3.0);
    ASSERT_TRUE(c.IsValid());
    double angle = 0, h = 0;
    c.ClosestPointTo(ON_3dPoint(0, 5, 10), &angle, &h);
    EXPECT_NEAR(h, 3.0, 1e-12);
    ExpectNear(c.PointAt(angle, h), ON_3dPoint(0, 1, 3));
    // A mirror keeps the cylinder on the image of its axis segment.
    ON_Xform mirror;
    mirror.m_xform[2][2] = -1.0;
    ASSERT_TRUE(c.Transform(mirror));
    const ON_Line axis = c.AxisLine();
    EXPECT_NEAR(std::fmin(axis.from.z, axis.to.z), -3.0, 1e-12);
    EXPECT_NEAR(std::fmax(axis.from.z, axis.to.z), 0.0, 1e-12);
}

TEST(BoundingBox, EmptyUnionAndTransform)
{
    ON_BoundingBox b;
    EXPECT_FALSE(b.IsValid());
    EXPECT_TRUE(b.Union(ON_BoundingBox(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1))));
    b.Set(ON_3dPoint(-1, 2, 0), true);
    ExpectNear(b.m_min, ON_3dPoint(-1, 0, 0));
    ExpectNear(b.m_max, ON_3dPoint(1, 2, 1));
    EXPECT_FALSE(b.Set(ON_UNSET_POINT, true));
    ASSERT_TRUE(b.Transform(ON_Xform::RotationTransformation(ON_PI, ON_zaxis, ON_origin)));
    ExpectNear(b.m_min, ON_3dPoint(-1, -2, 0), 1e-12);
}

TEST(Interval, NormalisedParametersUseTheStart)
{
    const ON_Interval i(2.0, 6.0);
    EXPECT_DOUBLE_EQ(i.ParameterAt(0.25), 3.0);
    EXPECT_DOUBLE_EQ(i.NormalizedParameterAt(5.0), 0.75);
    EXPECT_EQ(ON_Interval(1, 1).NormalizedParameterAt(1), ON_UNSET_VALUE);
}

TEST(SimpleArray, CountsCapacityAndCheckedAccess)
{
    ON_SimpleArray<int> a(4);
    EXPECT_EQ(a.Capacity(), 4);
    EXPECT_EQ(a.At(0), nullptr);
    a.Append(1);
    a.Append(3);
    a.Insert(1, 2);
    a.Insert(7, 9); // out of range: ignored
    ASSERT_EQ(a.Count(), 3);
    EXPECT_EQ(a[1], 2);
    a.Remove(0);
    EXPECT_EQ(*a.First(), 2);
    EXPECT_EQ(*a.Last(), 3);
    a.Empty();
    EXPECT_EQ(a.Count(), 0);
    a.Destroy();
    EXPECT_EQ(a.Capacity(), 0);
}

TEST(Uuid, ParsesRegistryFormsAndRefusesOthers)
{
    const ON_UUID a = ON_UuidFromString("{9ad89f7d-10da-40c0-bb17-fb0b4c14f96d}");
    EXPECT_EQ(a.Data1, 0x9AD89F7Du);
    EXPECT_EQ(a.Data2, 0x10DA);
    EXPECT_EQ(a.Data3, 0x40C0);
    EXPECT_EQ(a.Data4[0], 0xBB);
    EXPECT_EQ(a.Data4[7], 0x6D);
    EXPECT_TRUE(ON_UuidFromString(L" 9AD89F7D-10DA-40C0-BB17-FB0B4C14F96D ") == a);
    EXPECT_EQ(ON_UuidToString(a), ON_wString(L"9AD89F7D-10DA-40C0-BB17-FB0B4C14F96D"));
    for (const char* bad : {"", "{9AD89F7D-10DA-40C0-BB17-FB0B4C14F96D", "9AD89F7D-10DA-40C0-BB17-FB0B4C14F96",
                            "9AD89F7D-10DA-40C0-BB17-FB0B4C14F96DX", "9AD89F7D_10DA-40C0-BB17-FB0B4C14F96D",
                            "9AD89F7G-10DA-40C0-BB17-FB0B4C14F96D"})
        EXPECT_TRUE(ON_UuidIsNil(ON_UuidFromString(bad))) << bad;
    EXPECT_TRUE(ON_UuidIsNil(ON_UuidFromString(static_cast<const char*>(nullptr))));
    EXPECT_LT(ON_UuidCompare(ON_nil_uuid, a), 0);
}

TEST(WideString, FormatTrimAndCaseInsensitiveCompare)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // A comma-decimal locale, where installed, must not change the text.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    ON_wString s;
    ASSERT_TRUE(s.Format(L"RMS: %.5f %ls", 0.5, L"x"));
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(s, ON_wString(L"RMS: 0.50000 x"));

    ON_wString t(L"  Plane(1) \t");
    t.TrimLeftAndRight();
    EXPECT_EQ(t, ON_wString(L"Plane(1)"));
    EXPECT_EQ(t.CompareNoCase(L"PLANE(1)"), 0);
    EXPECT_LT(t.CompareNoCase(L"plane(1)x"), 0);
    EXPECT_GT(t.CompareNoCase(L"plane"), 0);
    EXPECT_EQ(ON_wString("\xC3\xA4\xFF"), ON_wString(L"\u00e4\uFFFD"));
    EXPECT_EQ(ON_wString(L"\u00e4").ToUtf8(), "\xC3\xA4");

    ON_wString longer;
    ASSERT_TRUE(longer.Format(L"%ls", std::wstring(1000, L'a').c_str()));
    EXPECT_EQ(longer.Length(), 1000);
}

TEST(Line, ClosestPointsClampToTheSegment)
{
    const ON_Line l(ON_3dPoint(0, 0, 0), ON_3dPoint(2, 0, 0));
    double t = 0;
    ASSERT_TRUE(l.ClosestPointTo(ON_3dPoint(3, 1, 0), &t));
    EXPECT_DOUBLE_EQ(t, 1.5); // on the infinite line
    ExpectNear(l.ClosestPointTo(ON_3dPoint(3, 1, 0)), ON_3dPoint(2, 0, 0));
    EXPECT_DOUBLE_EQ(l.DistanceTo(ON_3dPoint(1, 4, 0)), 4.0);
    EXPECT_EQ(l.PointAt(1.0), l.to); // exact at the end
    EXPECT_FALSE(ON_Line(ON_origin, ON_origin).ClosestPointTo(ON_3dPoint(1, 1, 1), &t));
    EXPECT_FALSE(ON_Line(ON_origin, ON_origin).IsValid());
}

TEST(Plane, FlipStaysRightHanded)
{
    ON_Plane p(ON_3dPoint(0, 0, 2), ON_zaxis);
    p.Flip();
    EXPECT_TRUE(p.IsValid());
    ExpectNear(p.zaxis, -ON_zaxis);
    EXPECT_NEAR(p.plane_equation.ValueAt(ON_3dPoint(0, 0, 0)), 2.0, 1e-12);
}

TEST(Circle, UniformScaleScalesTheRadius)
{
    ON_Circle c(ON_3dPoint(1, 0, 0), 2.0);
    ASSERT_TRUE(c.Transform(ON_Xform::ScaleTransformation(ON_origin, 3.0)));
    EXPECT_NEAR(c.Radius(), 6.0, 1e-12);
    ExpectNear(c.Center(), ON_3dPoint(3, 0, 0));
    EXPECT_FALSE(ON_Circle(ON_3dPoint(0, 0, 0), 0.0).IsValid());
}

TEST(Geometry, GetBBoxGrowsTheGivenBox)
{
    ON_Mesh m;
    m.SetVertex(0, ON_3dPoint(1, 1, 1));
    m.SetVertex(1, ON_3dPoint(2, 3, 1));
    m.SetVertex(2, ON_3dPoint(1, 2, 4));
    m.SetTriangle(0, 0, 1, 2);
    double lo[3] = {-5, 0, 0}, hi[3] = {0, 0, 0};
    ASSERT_TRUE(m.GetBBox(lo, hi, true));
    EXPECT_EQ(lo[0], -5.0);
    EXPECT_EQ(hi[1], 3.0);
    ASSERT_TRUE(m.GetBBox(lo, hi, false));
    EXPECT_EQ(lo[0], 1.0);
    ON_Mesh empty;
    EXPECT_FALSE(empty.GetBBox(lo, hi));
    EXPECT_EQ(lo[0], 1.0); // untouched
}

TEST(WideString, Utf8DecodingRefusesMalformedSequences)
{
    // Overlong '/', a lone continuation byte, an encoded surrogate, a
    // truncated sequence at the end.
    EXPECT_EQ(ON_wString("\xC0\xAF"), ON_wString(L"\uFFFD"));
    EXPECT_EQ(ON_wString("a\x80" "b"), ON_wString(L"a\uFFFDb"));
    EXPECT_EQ(ON_wString("\xED\xA0\x80").Length(), 1);
    EXPECT_EQ(ON_wString("\xE2\x82"), ON_wString(L"\uFFFD"));
    EXPECT_EQ(ON_wString("\xF0\x9F\x98\x80"), ON_wString(L"\U0001F600"));
}
