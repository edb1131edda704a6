#include "core/decorator_object.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/thread_pool.h"
#include "render/mesh_gl_renderer.h"
#include "render/pixel_coverage.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <memory>

using namespace testrender;

namespace
{

constexpr LONG kSize = 96;

// A bumpy closed ball of triangles about a third of a pixel in the views
// below: most of them cover no pixel centre, and many lie across the lines
// between centres.
void BuildBumpyBall(cMesh& mesh, const float centre[3], int rings, int segments)
{
    const double pi = std::acos(-1.0);
    auto radius = [](int r, int s)
    { return 1.0 + 0.04 * std::sin(r * 1.7 + s * 0.9) * std::cos(s * 2.3 - r * 0.4); };
    const float top[3] = {centre[0], centre[1], centre[2] + 1.0f};
    mesh.AddVertex(top);
    for (int r = 1; r < rings; ++r)
        for (int s = 0; s < segments; ++s)
        {
            const double theta = pi * r / rings, phi = 2 * pi * s / segments, k = radius(r, s);
            const float p[3] = {centre[0] + float(k * std::sin(theta) * std::cos(phi)),
                                centre[1] + float(k * std::sin(theta) * std::sin(phi)),
                                centre[2] + float(k * std::cos(theta))};
            mesh.AddVertex(p);
        }
    const float bottom[3] = {centre[0], centre[1], centre[2] - 1.0f};
    mesh.AddVertex(bottom);
    const auto at = [&](int r, int s) { return std::uint32_t(1 + (r - 1) * segments + (s % segments)); };
    const std::uint32_t last = std::uint32_t(1 + (rings - 1) * segments);
    for (int s = 0; s < segments; ++s)
    {
        mesh.AddTriangle(0, at(1, s), at(1, s + 1));
        for (int r = 1; r + 1 < rings; ++r)
        {
            mesh.AddTriangle(at(r, s), at(r + 1, s), at(r + 1, s + 1));
            mesh.AddTriangle(at(r, s), at(r + 1, s + 1), at(r, s + 1));
        }
        mesh.AddTriangle(at(rings - 1, s), last, at(rings - 1, s + 1));
    }
    mesh.Update();
}

// A ball of sub-pixel triangles (the scan of a big part in a dialog's
// view), drawn smooth and flat, opaque two-sided and see-through (culled).
struct stCase
{
    const char* name;
    int mode;
    std::uint32_t flags;
    float centre[3];
    int rings = 120, segments = 240;
};

class PixelCoverage : public ::testing::TestWithParam<stCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.Ok());
        object = std::make_unique<cMeshObject>();
        BuildBumpyBall(*object->GetMesh(), GetParam().centre, GetParam().rings, GetParam().segments);
        cDecoratorObject& decorator = object->GetDecorator();
        decorator.m_mode = GetParam().mode;
        decorator.m_flags = GetParam().flags;
        decorator.SetColour(kDecoratorFront, 0.8f, 0.6f, 0.3f, 1.0f);
        decorator.SetColour(kDecoratorBack, 0.2f, 0.3f, 0.9f, 1.0f);
        decorator.SetColour(kDecoratorSelection, 0.9f, 0.1f, 0.1f, 1.0f);
        // Every seventh triangle marked: a second pass of its own.
        cMesh& mesh = *object->GetMesh();
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); i += 7)
            mesh.GetTriangle(i)->flags |= kTriangleFlagSelected;
        context.renderer = &window.Renderer();
        // The passes share their work out on a pool, as in the plug-in.
        SetSharedThreadPool(&pool);
    }
    void TearDown() override { SetSharedThreadPool(nullptr); }

    // A turned, panned and zoomed orthographic view of the ball, lit from
    // the eye; `zoom` 2 shows part of the ball only.
    void SetUpView(const double turn[3], double zoom, double nearest = -10.0)
    {
        const float* centre = GetParam().centre;
        // Off the window's corner, as a view beside a toolbar would be.
        glViewport(5, 3, kSize - 9, kSize - 4);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1.3 / zoom, 1.1 / zoom, -1.2 / zoom, 1.2 / zoom, nearest, 10.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const GLfloat light[4] = {0.0f, 0.0f, 1.0f, 0.0f}, white[4] = {1, 1, 1, 1},
                      grey[4] = {0.3f, 0.3f, 0.3f, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, light);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_AMBIENT, grey);
        glEnable(GL_LIGHT0);
        glEnable(GL_NORMALIZE);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
        glRotated(turn[0], 0.3, 0.8, 0.5);
        glRotated(turn[1], 1.0, 0.0, 0.2);
        glTranslated(0.05 * turn[2] - centre[0], -centre[1], -centre[2]);
        glDisable(GL_DITHER);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    wgl::PixelImage Frame(const double turn[3], double zoom, bool lists, const std::string& name,
                          double nearest = -10.0)
    {
        SetUpView(turn, zoom, nearest);
        context.useDisplayLists = lists ? 1 : 0;
        cMeshGLRenderer drawer;
        EXPECT_TRUE(drawer.AttachObject(object.get()));
        drawer.Render(context);
        wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
        Snapshot(image, "pixel_coverage_" + name);
        return image;
    }

    cThreadPool pool{3};
    RendererWindow window{kSize, kSize};
    std::unique_ptr<cMeshObject> object;
    stDrawContext context;
};

// The immediate pass leaves out what covers no pixel centre and shows
// exactly what the display list (every triangle handed to GL) shows.
TEST_P(PixelCoverage, TheImmediatePassShowsWhatEveryTriangleShowsWhileLeavingOutMostOfThem)
{
    const double turns[][3] = {{0, 0, 0}, {35, -20, 3}, {160, 75, -4}, {-95, 130, 1}};
    for (double zoom : {1.0, 2.0})
        for (const auto& turn : turns)
        {
            const std::string name = std::string(GetParam().name) + "_" + std::to_string(int(turn[0])) + "_" +
                                     std::to_string(int(zoom));
            const wgl::PixelImage all = Frame(turn, zoom, true, "list_" + name);
            const wgl::PixelImage immediate = Frame(turn, zoom, false, "immediate_" + name);
            EXPECT_EQ(wgl::CountDifferences(all, immediate), 0u) << "view " << name;
            EXPECT_GT(std::size_t(kSize * kSize) - wgl::CountPixels(all, wgl::Rgb(0, 0, 0)), 3000u) << name;

            SetUpView(turn, zoom);
            stWindowMap map;
            ASSERT_TRUE(CurrentWindowMap(map));
            std::vector<std::uint64_t> bits;
            FindTrianglesCoveringNoPixel(*object->GetMesh(), map, bits);
            std::size_t skipped = 0;
            for (std::uint64_t word : bits)
                skipped += std::size_t(std::popcount(word));
            const std::size_t count = object->GetMesh()->GetTriangleCount();
            EXPECT_GT(skipped, count / 6) << "view " << name;
            // Opaque, a good share of the rest lies behind the ball's near
            // side (fewer of the slivers, which seldom surely cover a centre).
            stFragmentRules rules;
            CurrentFragmentRules(rules);
            std::vector<std::uint64_t> nothing;
            bool behind = false;
            FindTrianglesDrawingNothing(*object->GetMesh(), map, rules, bits, nothing, behind);
            std::size_t left = 0;
            for (std::uint64_t word : nothing)
                left += std::size_t(std::popcount(word));
            if (!(GetParam().flags & kDecoratorSeeThrough))
            {
                EXPECT_TRUE(behind) << "view " << name;
            }
            if (!(GetParam().flags & kDecoratorSeeThrough) && GetParam().rings < GetParam().segments)
            {
                EXPECT_GT(left, (count - skipped) / 4) << "view " << name;
            }
        }
}

// The near plane cuts the ball's near side away: what it clips hides
// nothing behind it.
TEST_P(PixelCoverage, TrianglesTheNearPlaneClipsHideNothingBehindThem)
{
    const double turn[3] = {160, 75, -4};
    const std::string name = "near_cut_" + std::string(GetParam().name);
    const wgl::PixelImage immediate = Frame(turn, 1.0, false, name, -0.4);
    const wgl::PixelImage all = Frame(turn, 1.0, true, name + "_list", -0.4);
    EXPECT_EQ(wgl::CountDifferences(all, immediate), 0u);
}

// A frame with a time budget in another view finds the coverage alone; the
// next full frame there culls by that view's turns, not the last view's.
TEST_P(PixelCoverage, AFullFrameAfterABudgetedOneInAnotherViewCullsWhatThatViewShows)
{
    const double first[3] = {35, -20, 3}, second[3] = {-95, 130, 1};
    Frame(first, 1.0, false, "before_budget");
    context.timeBudget = 100000;
    Frame(second, 1.0, false, "budgeted");
    context.timeBudget = 0xFFFFFFFFu;
    const wgl::PixelImage immediate = Frame(second, 1.0, false, "after_budget_" + std::string(GetParam().name));
    const wgl::PixelImage all = Frame(second, 1.0, true, "after_budget_list_" + std::string(GetParam().name));
    EXPECT_EQ(wgl::CountDifferences(all, immediate), 0u);
}

// Triangles hidden after a frame that left others out behind them show
// what lies behind them in the next frame in the same view.
TEST_P(PixelCoverage, TrianglesHiddenInTheSameViewShowWhatLiesBehindThem)
{
    const double turn[3] = {35, -20, 3};
    Frame(turn, 1.0, false, "before_hiding");
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); i += 3)
        mesh.GetTriangle(i)->flags |= kTriangleFlagHidden;
    const wgl::PixelImage immediate = Frame(turn, 1.0, false, "hidden_" + std::string(GetParam().name));
    const wgl::PixelImage all = Frame(turn, 1.0, true, "hidden_list_" + std::string(GetParam().name));
    EXPECT_EQ(wgl::CountDifferences(all, immediate), 0u);
}

// The bits kept for a repaint in the same view are found anew when the scan
// moves (an alignment), even by less than a pixel.
TEST_P(PixelCoverage, AScanMovedInTheSameViewIsDrawnWhereItNowIs)
{
    const double turn[3] = {35, -20, 3};
    Frame(turn, 1.0, false, "before_move");
    const double shift[12] = {1, 0, 0, 0.013, 0, 1, 0, -0.007, 0, 0, 1, 0.002};
    object->ApplyTransform(shift);
    const wgl::PixelImage immediate = Frame(turn, 1.0, false, "moved_" + std::string(GetParam().name));
    const wgl::PixelImage all = Frame(turn, 1.0, true, "moved_list_" + std::string(GetParam().name));
    EXPECT_EQ(wgl::CountDifferences(all, immediate), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Looks, PixelCoverage,
    ::testing::Values(
        stCase{"SmoothOpaque", kDisplaySmooth, kDecoratorTwoSided, {30.0f, -20.0f, 15.0f}},
        stCase{"FlatSeeThrough",
               kDisplayFlat,
               kDecoratorTwoSided | kDecoratorSeeThrough,
               {30.0f, -20.0f, 15.0f}},
        stCase{"SmoothFarOut", kDisplaySmooth, kDecoratorSeeThrough, {3000.0f, -2000.0f, 1500.0f}},
        // Long thin triangles (a coarse part subdivided) lying across many
        // centres they miss.
        stCase{"FlatOpaqueSlivers", kDisplayFlat, kDecoratorTwoSided, {30.0f, -20.0f, 15.0f}, 900, 20}),
    [](const ::testing::TestParamInfo<stCase>& info) { return std::string(info.param.name); });

// Zoomed far in on a coarse part: triangles whose corners lie thousands of
// pixels outside the view, or name no vertex, are left to GL; a sliver
// between two centres is left out.
TEST(PixelCoverageMap, TrianglesReachingFarOutOrNamingNoVertexAreKept)
{
    RendererWindow window{32, 32};
    ASSERT_TRUE(window.Ok());
    glViewport(3, 2, 29, 30);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    cMesh mesh;
    for (const auto& p :
         {std::array{-5000.0f, -5000.0f, 0.0f}, std::array{5000.0f, -5000.0f, 0.0f},
          std::array{5000.0f, 5000.0f, 0.0f}, std::array{-5000.0f, 5000.0f, 0.0f},
          std::array{0.0f, 0.0f, 0.0f}, std::array{0.02f, 0.0f, 0.0f}, std::array{0.0f, 0.02f, 0.0f}})
        mesh.AddVertex(p.data());
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(0, 2, 3);
    mesh.AddTriangle(4, 5, 6); // a third of a pixel, between centres
    mesh.AddTriangle(4, 5, 6);
    mesh.GetTriangle(3)->vertexIndex[2] = mesh.GetVertexCount();
    stWindowMap map;
    ASSERT_TRUE(CurrentWindowMap(map));
    EXPECT_EQ(map.viewport[0], 3.0);
    EXPECT_EQ(map.viewport[1], 2.0);
    std::vector<std::uint64_t> bits;
    FindTrianglesCoveringNoPixel(mesh, map, bits);
    ASSERT_EQ(bits.size(), 1u);
    EXPECT_EQ(bits[0], std::uint64_t(4)) << "only the sliver is left out";
}

// A sliver whose box holds centres that it passes between covers none; the
// same sliver with an edge through centres may cover them.
TEST(PixelCoverageMap, ASliverPassingBetweenCentresIsLeftOutAndOneThroughThemIsKept)
{
    RendererWindow window{32, 32};
    ASSERT_TRUE(window.Ok());
    glViewport(0, 0, 32, 32);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 32, 0, 32, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    cMesh mesh;
    for (const auto& p : {std::array{2.0f, 2.5f, 0.0f}, std::array{5.0f, 5.5f, 0.0f}, std::array{5.0f, 5.55f, 0.0f},
                          std::array{2.0f, 2.0f, 0.0f}, std::array{5.0f, 5.0f, 0.0f}, std::array{5.0f, 5.05f, 0.0f}})
        mesh.AddVertex(p.data());
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(3, 4, 5);
    stWindowMap map;
    ASSERT_TRUE(CurrentWindowMap(map));
    std::vector<std::uint64_t> bits;
    FindTrianglesCoveringNoPixel(mesh, map, bits);
    ASSERT_EQ(bits.size(), 1u);
    EXPECT_EQ(bits[0], std::uint64_t(1));
}

TEST(PixelCoverageMap, NothingIsLeftOutWhereATriangleMayColourPixelsItsCentresMiss)
{
    RendererWindow window{8, 8};
    ASSERT_TRUE(window.Ok());
    stWindowMap map;
    EXPECT_TRUE(CurrentWindowMap(map));
    glEnable(GL_POLYGON_SMOOTH);
    EXPECT_FALSE(CurrentWindowMap(map));
    glDisable(GL_POLYGON_SMOOTH);
    glViewport(0, 0, 0, 8);
    EXPECT_FALSE(CurrentWindowMap(map));
    glViewport(0, 0, 8, 8);
}

} // namespace
