#include "core/decorator_object.h"
#include "platform/geometry/brep.h"
#include "platform/geometry/circle.h"
#include "platform/geometry/cylinder.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/mesh_parameters.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/plane.h"
#include "platform/geometry/plane_surface.h"
#include "platform/geometry/polyline_curve.h"
#include "platform/geometry/sphere.h"
#include "render/host_geometry_gl.h"
#include "render/surface_sampling_gl.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace testrender;

namespace
{

constexpr LONG kSize = 160;

// The world xy plane with its x axis along world x.
ON_Plane XYPlane() { return ON_Plane(ON_3dPoint(0, 0, 0), ON_3dVector(1, 0, 0), ON_3dVector(0, 1, 0)); }
const std::uint32_t kBackground = wgl::Rgb(0, 0, 0);
const std::uint32_t kFill = wgl::Rgb(255, 0, 0);

TEST(GluKnots, ClampedCubicKnotsGainTheirOuterKnotsUnscaled)
{
    const double host[6] = {0, 0, 0, 1, 1, 1};
    float out[8];
    stKnotScale scale;
    ToGluKnots(4, 4, host, out, &scale);
    const float expected[8] = {0, 0, 0, 0, 1, 1, 1, 1};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], expected[i]) << i;
    EXPECT_EQ(scale.factor, 1.0);
    EXPECT_EQ(scale.shift, 0.0);
}

TEST(GluKnots, SpansAreShiftedToTheDomainStartAndScaledIntoAFloatSafeRange)
{
    // Tiny spans far from zero: the values GLU sees start at 0 and the
    // smallest span becomes 0.01.
    const double tiny[5] = {5000.0, 5000.0, 5000.001, 5000.002, 5000.002};
    float out[7];
    stKnotScale scale;
    ToGluKnots(3, 4, tiny, out, &scale);
    EXPECT_DOUBLE_EQ(scale.shift, 5000.0);
    EXPECT_NEAR(scale.factor, 10.0, 1e-6);
    EXPECT_EQ(out[0], 0.0f) << "clamped start repeats";
    EXPECT_NEAR(out[3], 0.01f, 1e-5f);
    EXPECT_NEAR(out[6], 0.02f, 1e-5f) << "clamped end repeats";

    // Huge spans shrink to at most 10000 when the smallest stays resolvable.
    const double huge[5] = {0.0, 0.0, 50000.0, 100000.0, 100000.0};
    ToGluKnots(3, 4, huge, out, &scale);
    EXPECT_DOUBLE_EQ(scale.factor, 0.2);
    EXPECT_FLOAT_EQ(out[4], 20000.0f);

    // Spans between 1 and 10000 are left alone (both bounds start at 1).
    const double plain[5] = {0.0, 0.0, 2.0, 7.0, 7.0};
    ToGluKnots(3, 4, plain, out, &scale);
    EXPECT_EQ(scale.factor, 1.0);
}

TEST(GluKnots, UnclampedEndsRepeatTheirOuterSpan)
{
    const double host[6] = {0.0, 1.0, 2.0, 3.0, 4.0, 5.0}; // order 3, 5 points
    EXPECT_DOUBLE_EQ(SuperfluousKnot(3, 5, host, false), -1.0);
    EXPECT_DOUBLE_EQ(SuperfluousKnot(3, 5, host, true), 6.0);
}

TEST(GluControlPoints, TheTransformActsOnTheHomogeneousPoint)
{
    const double translate[16] = {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30, 0, 0, 0, 1};
    const double rational[4] = {2.0, 4.0, 6.0, 2.0}; // (1, 2, 3) with weight 2
    float out[4];
    ToGluControlPoint(3, true, rational, translate, out);
    EXPECT_FLOAT_EQ(out[0], 22.0f);
    EXPECT_FLOAT_EQ(out[1], 44.0f);
    EXPECT_FLOAT_EQ(out[2], 66.0f);
    EXPECT_FLOAT_EQ(out[3], 2.0f);

    const double trim[3] = {0.5, 0.25, 1.0};
    const double scaleUv[16] = {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ToGluControlPoint(2, false, trim, scaleUv, out);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[1], 1.0f);
}

TEST(MeshQuads, AQuadIsSplitAlongItsShorterDiagonalAndEqualDiagonalsUseTheFirst)
{
    const float square[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    EXPECT_TRUE(SplitQuadAlongFirstDiagonal(square[0], square[1], square[2], square[3]));
    const float kite[4][3] = {{0, 0, 0}, {2, -0.2f, 0}, {4, 0, 0}, {2, 0.2f, 0}};
    EXPECT_FALSE(SplitQuadAlongFirstDiagonal(kite[0], kite[1], kite[2], kite[3])) << "0-2 is the longer one";
}

// An orthographic view of [-2, 2]^2 over a kSize square window, lighting
// off so that the fill shows its colour exactly.
class HostGeometryDrawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.Ok());
        cGLRenderer& renderer = window.Renderer();
        const float min[3] = {-2, -2, -2}, max[3] = {2, 2, 2};
        renderer.SetSceneBox(min, max);
        renderer.SetAspect(1.0);
        renderer.SetupProjection(nullptr);
        drawer.SetRenderer(&renderer);
        decorator.m_flags = 0;
        decorator.SetColour(kDecoratorFront, 1, 0, 0, 1);
        decorator.SetColour(kDecoratorSelection, 0, 1, 0, 1);
        decorator.SetColour(kDecoratorBoundary, 0, 0, 1, 1);
        ResetGluNurbsErrors();
        Clear();
    }

    void TearDown() override
    {
        EXPECT_EQ(GluNurbsErrorCount(), 0u) << "GLU NURBS error " << LastGluNurbsError();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    static void Clear()
    {
        glDisable(GL_LIGHTING);
        glDisable(GL_DITHER);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    wgl::PixelImage Read(const std::string& name)
    {
        glFinish();
        wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
        Snapshot(image, "host_geometry_" + name);
        return image;
    }

    // Window pixel of a world point on the z = 0 plane.
    static double ToPixel(double world) { return (world + 2.0) / 4.0 * kSize; }

    RendererWindow window{kSize, kSize};
    cGeometriesGLRenderer drawer;
    cDecoratorObject decorator;
};

TEST_F(HostGeometryDrawing, ANurbsSpheresSilhouetteIsItsProjectedDisc)
{
    ON_NurbsSurface sphere;
    ASSERT_TRUE(ON_Sphere(ON_3dPoint(0.5, -0.25, 0.0), 1.0).GetNurbForm(sphere));
    // The outline pass traces the patch boundary; give it the fill colour so
    // that only the silhouette is measured.
    decorator.SetColour(kDecoratorBoundary, 1, 0, 0, 1);
    DrawNurbsSurfaceGL(&drawer, nullptr, sphere, decorator, false);
    const wgl::PixelImage image = Read("sphere");

    const double cx = ToPixel(0.5), cy = kSize - ToPixel(-0.25), r = ToPixel(1.0) - ToPixel(0.0);
    std::size_t inside = 0, wrong = 0;
    for (LONG y = 0; y < kSize; ++y)
        for (LONG x = 0; x < kSize; ++x)
        {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            const bool filled = image.At(x, y) != kBackground;
            if (d < r - 1.5 && !filled)
                ++wrong;
            if (d > r + 1.5 && filled)
                ++wrong;
            inside += filled;
        }
    EXPECT_EQ(wrong, 0u) << "pixels further than 1.5 px from the disc's edge on the wrong side";
    EXPECT_NEAR(double(inside), M_PI * r * r, 0.02 * M_PI * r * r);
}

TEST_F(HostGeometryDrawing, SeeThroughStipplesTheFillUnlessSelected)
{
    ON_PlaneSurface square(XYPlane());
    square.SetExtents(0, ON_Interval(-1.5, 1.5), true);
    square.SetExtents(1, ON_Interval(-1.5, 1.5), true);
    ON_NurbsSurface nurbs;
    ASSERT_TRUE(square.GetNurbForm(nurbs));
    decorator.SetColour(kDecoratorBoundary, 0, 0, 0, 1); // outline invisible on black
    decorator.m_flags = kDecoratorSeeThrough;

    DrawNurbsSurfaceGL(&drawer, nullptr, nurbs, decorator, false);
    const wgl::PixelImage stippled = Read("see_through");
    const double area = std::pow(ToPixel(1.5) - ToPixel(-1.5), 2.0);
    EXPECT_NEAR(double(wgl::CountPixels(stippled, kFill)), 0.4375 * area, 0.02 * area);

    Clear();
    DrawNurbsSurfaceGL(&drawer, nullptr, nurbs, decorator, true);
    const wgl::PixelImage selected = Read("see_through_selected");
    EXPECT_EQ(wgl::CountPixels(selected, kFill), 0u);
    EXPECT_NEAR(double(wgl::CountPixels(selected, wgl::Rgb(0, 255, 0))), area, 0.03 * area)
        << "a selected surface is solid in the selection colour";
    GLboolean stipple = GL_TRUE;
    glGetBooleanv(GL_POLYGON_STIPPLE, &stipple);
    EXPECT_FALSE(stipple) << "state restored";
}

TEST_F(HostGeometryDrawing, ABrepsFacesDrawFromTheirSurfacesWithoutNestingGluSurfaces)
{
    ON_Brep brep;
    for (double x0 : {-1.8, 0.2})
    {
        ON_PlaneSurface* face = new ON_PlaneSurface(XYPlane());
        face->SetExtents(0, ON_Interval(x0, x0 + 1.5), true);
        face->SetExtents(1, ON_Interval(-1.0, 1.0), true);
        const int index = brep.AddSurface(face);
        ASSERT_GE(index, 0);
        ASSERT_NE(brep.NewFace(index), nullptr);
    }
    DrawBrepGL(&drawer, nullptr, brep, decorator, false);
    const wgl::PixelImage image = Read("brep_surfaces");
    // Both faces are filled: GLU drew the second one too.
    EXPECT_EQ(image.At(LONG(ToPixel(-1.0)), kSize / 2), kFill);
    EXPECT_EQ(image.At(LONG(ToPixel(1.0)), kSize / 2), kFill);
    EXPECT_EQ(image.At(kSize / 2, kSize / 2), kBackground) << "the gap between the faces";
}

TEST_F(HostGeometryDrawing, ABrepWithRenderMeshesShowsTheMeshesAndTheirBoundaries)
{
    ON_Surface* surface = new ON_PlaneSurface(XYPlane());
    static_cast<ON_PlaneSurface*>(surface)->SetExtents(0, ON_Interval(-1.0, 1.0), true);
    static_cast<ON_PlaneSurface*>(surface)->SetExtents(1, ON_Interval(-1.0, 1.0), true);
    ON_Brep brep;
    ASSERT_TRUE(brep.Create(surface));
    ON_BrepFace* face = brep.Face(0);
    face->SetRenderMesh(face->CreateMesh(ON_MeshParameters::FastRenderMesh));
    ASSERT_NE(face->RenderMesh(), nullptr);
    decorator.m_lineWidths[0] = 1.0f;
    DrawBrepGL(&drawer, nullptr, brep, decorator, false);
    const wgl::PixelImage image = Read("brep_mesh");
    EXPECT_EQ(image.At(kSize / 2, kSize / 2), kFill) << "inner mesh edges are not outlined";
    const auto outline = wgl::BoundingBoxOf(image, wgl::Rgb(0, 0, 255), 8);
    ASSERT_TRUE(outline.has_value());
    EXPECT_NEAR(outline->left, ToPixel(-1.0), 1.5);
    EXPECT_NEAR(outline->right, ToPixel(1.0), 1.5);
    EXPECT_NEAR(outline->top, ToPixel(-1.0), 1.5);
}

TEST_F(HostGeometryDrawing, AnInnerTrimLoopCutsAHoleAndTrimCurvesUseTheSurfacesKnotScale)
{
    // A bilinear patch over [-1.5, 1.5]^2 whose parameters run over
    // [0, 0.004]: its knots are scaled by 2.5 for GLU, and the trims must be
    // mapped the same way.
    ON_NurbsSurface patch(false, 2, 2, 2, 2);
    const double knots[4] = {0.0, 0.0, 0.004, 0.004};
    ASSERT_TRUE(patch.SetKnots(0, knots) && patch.SetKnots(1, knots));
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            patch.SetCV(i, j, ON_3dPoint(i ? 1.5 : -1.5, j ? 1.5 : -1.5, 0.0));
    ASSERT_TRUE(patch.IsValid());

    auto loop = [](std::initializer_list<std::pair<double, double>> uv) {
        ON_SimpleArray<ON_3dPoint> points;
        for (const auto& [u, v] : uv)
            points.Append(ON_3dPoint(u * 0.004, v * 0.004, 0.0));
        return ON_PolylineCurve(points);
    };
    const ON_PolylineCurve outer = loop({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}});
    const ON_PolylineCurve hole = loop({{0.3, 0.3}, {0.3, 0.7}, {0.7, 0.7}, {0.7, 0.3}, {0.3, 0.3}});

    cGLRenderer& renderer = window.Renderer();
    renderer.PushViewTransform();
    GLUnurbs* nurbs = NewNurbsRenderer();
    ASSERT_NE(nurbs, nullptr);
    glColor3ub(255, 0, 0);
    stKnotScale u, v;
    gluBeginSurface(nurbs);
    ASSERT_TRUE(DrawNurbsSurfaceGlu(patch, nurbs, 0, &u, &v));
    EXPECT_NEAR(u.factor, 2.5, 1e-9);
    const double toGlu[16] = {u.factor, 0, 0, -u.shift * u.factor, 0, v.factor, 0, -v.shift * v.factor,
                              0, 0, 1, 0, 0, 0, 0, 1};
    for (const ON_PolylineCurve* trim : {&outer, &hole})
    {
        gluBeginTrim(nurbs);
        DrawTrimCurveGlu(*trim, nurbs, GLU_MAP1_TRIM_2, toGlu);
        gluEndTrim(nurbs);
    }
    gluEndSurface(nurbs);
    gluDeleteNurbsRenderer(nurbs);
    renderer.PopViewTransform();

    const wgl::PixelImage image = Read("trimmed");
    EXPECT_EQ(image.At(kSize / 2, kSize / 2), kBackground) << "the hole";
    EXPECT_EQ(image.At(LONG(ToPixel(-1.2)), LONG(ToPixel(-1.2))), kFill);
    EXPECT_EQ(image.At(LONG(ToPixel(1.2)), LONG(ToPixel(0.0))), kFill);
}

TEST_F(HostGeometryDrawing, ABrepFaceIsDrawnWithinItsTrimmingLoopsWhicheverWayTheyRun)
{
    // The bilinear patch over [-1.5, 1.5]^2 with parameters over [0, 0.004]
    // (scaled by 2.5 for GLU) as a brep face, trimmed to the parameter
    // square [0.1, 0.9]^2 (world [-1.2, 1.2]^2) with a hole over
    // [0.6, 0.8] x [0.2, 0.4] (world [0.3, 0.9] x [-0.9, -0.3]). The outer
    // loop is stored clockwise and the hole counter-clockwise, the opposite
    // of GLU's rule.
    auto* patch = new ON_NurbsSurface(false, 2, 2, 2, 2);
    const double knots[4] = {0.0, 0.0, 0.004, 0.004};
    ASSERT_TRUE(patch->SetKnots(0, knots) && patch->SetKnots(1, knots));
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            patch->SetCV(i, j, ON_3dPoint(i ? 1.5 : -1.5, j ? 1.5 : -1.5, 0.0));
    ON_Brep brep;
    const int index = brep.AddSurface(patch);
    ASSERT_GE(index, 0);
    ON_BrepFace* face = brep.NewFace(index);
    ASSERT_NE(face, nullptr);
    auto loop = [](std::initializer_list<std::pair<double, double>> st) {
        std::vector<ON_3dPoint> points;
        for (const auto& [s, t] : st)
            points.push_back(ON_3dPoint(s * 0.004, t * 0.004, 0.0));
        return points;
    };
    face->m_loops = {loop({{0.1, 0.1}, {0.1, 0.9}, {0.9, 0.9}, {0.9, 0.1}}),
                     loop({{0.6, 0.2}, {0.8, 0.2}, {0.8, 0.4}, {0.6, 0.4}, {0.6, 0.2}})};

    DrawBrepGL(&drawer, nullptr, brep, decorator, false);
    const wgl::PixelImage image = Read("brep_trimmed");
    auto at = [&](double x, double y) { return image.At(LONG(ToPixel(x)), LONG(kSize - 1 - ToPixel(y))); };
    EXPECT_EQ(at(0.6, -0.6), kBackground) << "the hole";
    EXPECT_EQ(at(-1.4, 0.0), kBackground) << "outside the outer loop";
    EXPECT_EQ(at(0.0, 1.4), kBackground) << "outside the outer loop";
    EXPECT_EQ(at(1.35, -1.35), kBackground) << "outside the outer loop";
    EXPECT_EQ(at(-0.6, 0.6), kFill) << "where the hole would be mirrored";
    EXPECT_EQ(at(-0.6, -0.6), kFill);
    EXPECT_EQ(at(0.6, 0.6), kFill);
    EXPECT_EQ(at(0.0, 0.0), kFill);
    EXPECT_EQ(at(1.1, -0.6), kFill);
    // The trimmed area: the outer square less the hole, within a pixel
    // along the edges.
    const double pixel = 4.0 / kSize;
    const double expected = (2.4 * 2.4 - 0.6 * 0.6) / (pixel * pixel);
    EXPECT_NEAR(double(wgl::CountPixels(image, kFill)), expected, 4.0 * (2.4 + 0.6) / pixel * 2.0);

    // A face whose outer loop bounds nothing is not drawn; a hole that
    // bounds nothing is left out.
    Clear();
    face->m_loops = {loop({{0.1, 0.1}, {0.9, 0.9}}), loop({{0.6, 0.2}, {0.8, 0.2}, {0.8, 0.4}})};
    DrawBrepGL(&drawer, nullptr, brep, decorator, false);
    EXPECT_EQ(wgl::CountPixels(Read("brep_trimmed_degenerate"), kFill), 0u);
    Clear();
    face->m_loops = {loop({{0.1, 0.1}, {0.9, 0.1}, {0.9, 0.9}, {0.1, 0.9}}),
                     loop({{0.6, 0.2}, {0.8, 0.2}, {0.6, 0.2}})};
    DrawBrepGL(&drawer, nullptr, brep, decorator, false);
    const wgl::PixelImage noHole = Read("brep_trimmed_no_hole");
    EXPECT_EQ(noHole.At(LONG(ToPixel(0.6)), LONG(kSize - 1 - ToPixel(-0.6))), kFill);
    EXPECT_NEAR(double(wgl::CountPixels(noHole, kFill)), 2.4 * 2.4 / (pixel * pixel), 4.0 * 2.4 / pixel * 2.0);
}

TEST_F(HostGeometryDrawing, MalformedSurfacesAndCurvesAreNotHandedToGlu)
{
    ON_NurbsSurface broken;
    ASSERT_TRUE(ON_Sphere(ON_3dPoint(0, 0, 0), 1.0).GetNurbForm(broken));
    broken.m_cv[5] = std::numeric_limits<double>::quiet_NaN();
    DrawNurbsSurfaceGL(&drawer, nullptr, broken, decorator, false);

    GLUnurbs* nurbs = NewNurbsRenderer();
    ASSERT_NE(nurbs, nullptr);
    const double points[6] = {0, 0, 0, 1, 1, 0};
    const double descending[2] = {1.0, 0.0};
    EXPECT_FALSE(DrawNurbsCurveGlu(3, false, 2, 2, descending, 3, points, nurbs, 0, nullptr));
    EXPECT_FALSE(DrawNurbsCurveGlu(3, false, 3, 2, descending, 3, points, nurbs, 0, nullptr)) << "order above count";
    const double zeroWeight[8] = {0, 0, 0, 1, 1, 1, 0, 0};
    const double knots[2] = {0.0, 1.0};
    EXPECT_FALSE(DrawNurbsCurveGlu(3, true, 2, 2, knots, 4, zeroWeight, nurbs, 0, nullptr));
    gluDeleteNurbsRenderer(nurbs);

    const wgl::PixelImage image = Read("malformed");
    EXPECT_EQ(wgl::CountPixels(image, kBackground), std::size_t(kSize * kSize));
}

} // namespace

namespace
{

// A view turned and panned a metre away from the origin: the world point
// kEye + x X + y Y + z Z shows at (x, y, z) of the fixture's view.
struct stTurnedView
{
    ON_3dPoint eye{1000.0, -2000.0, 500.0};
    ON_3dVector x, y, z;
    double modelview[16] = {};

    stTurnedView()
    {
        z = ON_3dVector(1.0, 2.0, 3.0);
        z.Unitize();
        x = ON_CrossProduct(ON_3dVector(0.0, 1.0, 0.0), z);
        x.Unitize();
        y = ON_CrossProduct(z, x);
        const ON_3dVector axes[3] = {x, y, z};
        for (int r = 0; r < 3; ++r)
        {
            modelview[r] = axes[r].x;
            modelview[4 + r] = axes[r].y;
            modelview[8 + r] = axes[r].z;
            modelview[12 + r] = -(axes[r].x * eye.x + axes[r].y * eye.y + axes[r].z * eye.z);
        }
        modelview[15] = 1.0;
    }
};

// A cylinder of radius 20 km seen nearly along its axis (tilted by 10
// degrees about the view's x axis) from a view 4 units wide: the top of its
// wall crosses the view as a band from y = 0.5 cos(10 deg) up by 2 sin(10 deg).
constexpr double kHugeRadius = 20000.0, kTilt = 10.0 * M_PI / 180.0;

ON_NurbsSurface HugeCylinderThroughTheView(const stTurnedView& view)
{
    const ON_3dVector tiltedY = std::cos(kTilt) * view.y + std::sin(kTilt) * view.z;
    const ON_Plane plane(view.eye + (0.5 - kHugeRadius) * tiltedY, view.x, tiltedY);
    ON_NurbsSurface surface;
    EXPECT_EQ(ON_Cylinder(ON_Circle(plane, kHugeRadius), -2.0).GetNurbForm(surface), 2);
    return surface;
}

} // namespace

TEST(SurfaceSampling, OnlyAFaceSpanningHundredsOfViewsOrReachingBehindTheEyeIsSampledByBoundedParameterSteps)
{
    const stTurnedView view;
    const double ortho[16] = {0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, -1e-5, 0, 0, 0, 0, 1};
    const int viewport[4] = {0, 0, 160, 160};

    ON_NurbsSurface sphere;
    ASSERT_TRUE(ON_Sphere(view.eye + 0.5 * view.x, 1.5).GetNurbForm(sphere));
    EXPECT_FALSE(ChooseSurfaceSampling(sphere, view.modelview, ortho, viewport, 8.0).byParameterSteps)
        << "a face within the view keeps GLU's pixel sampling";

    const stSurfaceSampling huge =
        ChooseSurfaceSampling(HugeCylinderThroughTheView(view), view.modelview, ortho, viewport, 8.0);
    ASSERT_TRUE(huge.byParameterSteps);
    EXPECT_EQ(huge.uSteps, kMostParameterSteps) << "around: millions of pixels";
    EXPECT_GE(huge.vSteps, 1.0);
    EXPECT_LE(huge.vSteps, 16.0) << "along the axis: 70 pixels";

    // A fan: its first row spans a million pixels, its second is one point,
    // its columns half a million each. Both directions are counted from
    // their longest line, then shrunk alike to the patch bound.
    ON_NurbsSurface fan(false, 2, 2, 2, 2);
    const double unit[4] = {0.0, 0.0, 1.0, 1.0};
    ASSERT_TRUE(fan.SetKnots(0, unit) && fan.SetKnots(1, unit));
    for (int i = 0; i < 2; ++i)
    {
        fan.SetCV(i, 0, view.eye + (i ? 12500.0 : -12500.0) * view.x);
        fan.SetCV(i, 1, view.eye + 0.1 * view.y);
    }
    const stSurfaceSampling fanned = ChooseSurfaceSampling(fan, view.modelview, ortho, viewport, 8.0);
    ASSERT_TRUE(fanned.byParameterSteps);
    EXPECT_EQ(fanned.uSteps, 512.0);
    EXPECT_EQ(fanned.vSteps, 512.0);

    // Perspective (clip w = -z): a plane patch through the eye's plane.
    const double perspective[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, -1, 0, 0, -0.2, 0};
    ON_NurbsSurface through(false, 2, 2, 2, 2);
    const double knots[4] = {0.0, 0.0, 1.0, 1.0};
    ASSERT_TRUE(through.SetKnots(0, knots) && through.SetKnots(1, knots));
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            through.SetCV(i, j, view.eye + (i ? 1.0 : -1.0) * view.x + (j ? 1.0 : -1.0) * view.z);
    const stSurfaceSampling behind = ChooseSurfaceSampling(through, view.modelview, perspective, viewport, 8.0);
    ASSERT_TRUE(behind.byParameterSteps);
    EXPECT_EQ(behind.uSteps * behind.vSteps, kMostParameterPatches) << "512 x 512";
    // The same patch moved in front of the eye, 0.2 units across at 1 unit.
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            through.SetCV(i, j, view.eye + (i ? 0.1 : -0.1) * view.x + (j ? 0.1 : -0.1) * view.y - view.z);
    EXPECT_FALSE(ChooseSurfaceSampling(through, view.modelview, perspective, viewport, 8.0).byParameterSteps);
}

TEST_F(HostGeometryDrawing, AHugeCylinderSeenFromCloseByInATurnedPannedViewIsDrawnAsTheBandItsWallCrosses)
{
    const stTurnedView view;
    ON_Brep brep;
    ON_Surface* surface = new ON_NurbsSurface(HugeCylinderThroughTheView(view));
    ASSERT_TRUE(brep.Create(surface));
    decorator.SetColour(kDecoratorBoundary, 1, 0, 0, 1);
    cGLRenderer& renderer = window.Renderer();
    renderer.PushViewTransform();
    glMultMatrixd(view.modelview);
    DrawBrepGL(&drawer, nullptr, brep, decorator, false);
    renderer.PopViewTransform();
    const wgl::PixelImage image = Read("huge_cylinder_turned");

    const double bottom = kSize - ToPixel(0.5 * std::cos(kTilt));
    const double top = kSize - ToPixel(0.5 * std::cos(kTilt) + 2.0 * std::sin(kTilt));
    std::size_t wrong = 0;
    for (LONG y = 0; y < kSize; ++y)
        for (LONG x = 0; x < kSize; ++x)
        {
            const bool filled = image.At(x, y) != kBackground;
            const double row = y + 0.5;
            if (row > top + 1.5 && row < bottom - 1.5 && !filled)
                ++wrong;
            if ((row < top - 1.5 || row > bottom + 1.5) && filled)
                ++wrong;
        }
    EXPECT_EQ(wrong, 0u) << "pixels further than 1.5 px from the band's edges on the wrong side";
}
