#include "core/decorator_object.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "render/gl_draw_cache.h"
#include "render/mesh_gl_renderer.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace testrender;

namespace
{

constexpr LONG kSize = 64;

// Each call moves the clock one millisecond on.
DWORD g_ticks = 0;
DWORD SteppingClock() { return ++g_ticks; }

// A flat square of n x n cells over [-0.5, 0.5]^2 facing +z, drawn with an
// orthographic view of [-1, 1]^2 and lighting that returns the material
// colour exactly (full scene ambient, no lights).
class MeshDrawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.Ok());
        object = std::make_unique<cMeshObject>();
        BuildSquare(*object->GetMesh(), 8);
        cDecoratorObject& decorator = object->GetDecorator();
        decorator.m_mode = kDisplayFlat;
        decorator.m_flags = 0;
        decorator.SetColour(kDecoratorFront, 1.0f, 0.0f, 0.0f, 1.0f);
        decorator.SetColour(kDecoratorBack, 0.0f, 0.0f, 1.0f, 1.0f);
        decorator.SetColour(kDecoratorSelection, 0.0f, 1.0f, 0.0f, 1.0f);
        context.renderer = &window.Renderer();
    }

    static void BuildSquare(cMesh& mesh, std::uint32_t n)
    {
        for (std::uint32_t r = 0; r <= n; ++r)
            for (std::uint32_t c = 0; c <= n; ++c)
            {
                const float p[3] = {-0.5f + float(c) / float(n), -0.5f + float(r) / float(n), 0.0f};
                mesh.AddVertex(p);
            }
        for (std::uint32_t r = 0; r < n; ++r)
            for (std::uint32_t c = 0; c < n; ++c)
            {
                const std::uint32_t a = r * (n + 1) + c;
                mesh.AddTriangle(a, a + 1, a + n + 2);
                mesh.AddTriangle(a, a + n + 2, a + n + 1);
            }
        mesh.Update();
    }

    wgl::PixelImage Frame(const std::string& name)
    {
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DITHER);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_LIGHT0);
        const GLfloat ambient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        cMeshGLRenderer drawer;
        EXPECT_TRUE(drawer.AttachObject(object.get()));
        lastResult = drawer.Render(context);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "every glBegin closed";
        wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
        Snapshot(image, "mesh_" + name);
        return image;
    }

    RendererWindow window{kSize, kSize};
    std::unique_ptr<cMeshObject> object;
    stDrawContext context;
    std::uint32_t lastResult = 0;
};

TEST_F(MeshDrawing, FlatSolidCoversItsSilhouetteInTheFrontColourExactly)
{
    context.useDisplayLists = 0;
    const wgl::PixelImage image = Frame("flat_immediate");
    EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(255, 0, 0)), 32u * 32u);
    const auto box = wgl::BoundingBoxOf(image, wgl::Rgb(255, 0, 0));
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->left, 16);
    EXPECT_EQ(box->right, 48);
    EXPECT_EQ(box->top, 16);
    EXPECT_EQ(lastResult, 0u);
}

TEST_F(MeshDrawing, TheDisplayListFrameEqualsTheImmediateFrameFromTheFrameThatRecordsIt)
{
    context.useDisplayLists = 0;
    const wgl::PixelImage immediate = Frame("immediate");
    context.useDisplayLists = 1;
    const wgl::PixelImage recording = Frame("recording");
    EXPECT_EQ(wgl::CountDifferences(immediate, recording), 0u) << "the recording frame shows the object too";
    auto* cache = dynamic_cast<cGLObjectDrawCache*>(object->FindAttachedProperty(cMeshGLRenderer::kSolidCacheName));
    ASSERT_NE(cache, nullptr);
    const GLuint list = cache->GetListId();
    EXPECT_TRUE(glIsList(list));
    const wgl::PixelImage replayed = Frame("from_list");
    EXPECT_EQ(cache->GetListId(), list) << "a valid list is called, not recorded again";
    EXPECT_EQ(wgl::CountDifferences(immediate, replayed), 0u);

    // Forbidding lists drops the recorded one.
    context.useDisplayLists = 0;
    Frame("lists_forbidden");
    EXPECT_EQ(cache->GetListId(), 0u);
    EXPECT_FALSE(glIsList(list));
}

// The first frame in a new view finds what to leave out while GL prepares
// the pass's state with a triangle of no area at the origin: nothing of it
// shows where the origin lies in sight in front of the square.
TEST_F(MeshDrawing, PreparingThePassForANewViewDrawsNoPixel)
{
    const double away[12] = {1, 0, 0, 0.6, 0, 1, 0, 0.6, 0, 0, 1, -0.5};
    object->GetMesh()->Transform(away);
    context.useDisplayLists = 1;
    const wgl::PixelImage listed = Frame("square_away_listed");
    context.useDisplayLists = 0;
    const wgl::PixelImage immediate = Frame("square_away_immediate");
    EXPECT_GT(wgl::CountPixels(immediate, wgl::Rgb(255, 0, 0)), 0u);
    EXPECT_EQ(wgl::CountDifferences(immediate, listed), 0u);
}

TEST_F(MeshDrawing, HiddenTrianglesAreNotDrawnAndSelectedOnesOnlyInTheSelectionColour)
{
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t i = 0; i < 16; ++i)
        mesh.GetTriangle(i)->flags |= kTriangleFlagHidden;
    for (std::uint32_t i = 16; i < 32; ++i)
        mesh.GetTriangle(i)->flags |= kTriangleFlagSelected;
    for (std::uint8_t lists : {0, 1})
    {
        context.useDisplayLists = lists;
        const wgl::PixelImage image = Frame(lists ? "hidden_selected_list" : "hidden_selected");
        // 128 triangles of 8 pixels: 16 hidden, 16 selected.
        EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(0, 0, 0)), 64u * 64u - 32u * 32u + 16u * 8u);
        EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(0, 255, 0)), 16u * 8u);
        EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(255, 0, 0)), 96u * 8u);
    }
}

TEST_F(MeshDrawing, ABudgetStopsThePassAtTheNextCheckAndLeavesAWellFormedFrame)
{
    object = std::make_unique<cMeshObject>();
    BuildSquare(*object->GetMesh(), 40); // 3200 triangles
    object->GetDecorator().m_mode = kDisplayFlat;
    object->GetDecorator().SetColour(kDecoratorFront, 1.0f, 0.0f, 0.0f, 1.0f);
    context.useDisplayLists = 0;
    context.clock = &SteppingClock;

    context.timeBudget = 0;
    const wgl::PixelImage none = Frame("budget_zero");
    EXPECT_GT(lastResult, 0u) << "stopped: the elapsed time is reported";
    EXPECT_EQ(wgl::CountPixels(none, wgl::Rgb(255, 0, 0)), 0u);

    // One millisecond passes per clock read: the check at triangle 1024
    // finds 2 ms elapsed, over a budget of 1.
    context.timeBudget = 1;
    const wgl::PixelImage partial = Frame("budget_partial");
    EXPECT_EQ(lastResult, 2u);
    const std::size_t drawn = wgl::CountPixels(partial, wgl::Rgb(255, 0, 0));
    EXPECT_GT(drawn, 0u);
    EXPECT_LT(drawn, 32u * 32u);

    context.timeBudget = 0xFFFFFFFFu;
    EXPECT_EQ(wgl::CountPixels(Frame("budget_unlimited"), wgl::Rgb(255, 0, 0)), 32u * 32u);
    EXPECT_EQ(lastResult, 0u);
}

TEST_F(MeshDrawing, TwoSidedOpaqueObjectsShowBackFacesBlendedOnesDoNot)
{
    // Seen from behind.
    cMesh& mesh = *object->GetMesh();
    mesh.FlipNormals(); // turns the triangles round too
    context.useDisplayLists = 0;
    object->GetDecorator().m_flags = kDecoratorTwoSided;
    EXPECT_EQ(wgl::CountPixels(Frame("two_sided"), wgl::Rgb(0, 0, 255)), 32u * 32u) << "back material";
    object->GetDecorator().m_flags = kDecoratorTwoSided | kDecoratorSeeThrough;
    EXPECT_EQ(wgl::CountPixels(Frame("two_sided_blended"), wgl::Rgb(0, 0, 0)), 64u * 64u);
    object->GetDecorator().m_flags = 0;
    EXPECT_EQ(wgl::CountPixels(Frame("one_sided"), wgl::Rgb(0, 0, 0)), 64u * 64u);
}

TEST_F(MeshDrawing, PointsHonourStrideSelectionAndTheDefaultSize)
{
    // One vertex per pixel column along a row.
    object = std::make_unique<cMeshObject>();
    cMesh& mesh = *object->GetMesh();
    for (int i = 0; i < 30; ++i)
    {
        const float p[3] = {-1.0f + (2.0f * float(i) + 1.0f) / float(kSize), 0.0f + 1.0f / float(kSize), 0.0f};
        mesh.AddVertex(p);
    }
    cDecoratorObject& decorator = object->GetDecorator();
    decorator.m_mode = kDisplayPoints;
    decorator.m_pointSize = 1.0f;
    decorator.SetColour(kDecoratorFront, 1.0f, 1.0f, 0.0f, 1.0f);
    const std::uint32_t yellow = wgl::Rgb(255, 255, 0);
    EXPECT_EQ(wgl::CountPixels(Frame("points_all"), yellow), 30u);

    context.pointStride = 3;
    const wgl::PixelImage strided = Frame("points_stride3");
    EXPECT_EQ(wgl::CountPixels(strided, yellow), 10u);
    EXPECT_TRUE(wgl::SameColour(strided.At(0, kSize / 2 - 1), yellow));
    EXPECT_FALSE(wgl::SameColour(strided.At(1, kSize / 2 - 1), yellow));
    EXPECT_TRUE(wgl::SameColour(strided.At(3, kSize / 2 - 1), yellow));

    context.pointStride = 1;
    context.selectedOnly = 1;
    mesh.GetVertex(4)->flags |= 2;
    mesh.GetVertex(7)->flags |= 2 | 1; // excluded wins
    EXPECT_EQ(wgl::CountPixels(Frame("points_selected"), yellow), 1u);

    context.selectedOnly = 0;
    decorator.m_pointSize = 1.5f;
    const std::size_t explicitSize = wgl::CountPixels(Frame("points_size_1_5"), yellow);
    decorator.m_pointSize = -1.0f;
    EXPECT_EQ(wgl::CountPixels(Frame("points_default_size"), yellow), explicitSize);
}

TEST(ProgressivePoints, TheOffsetsVisitEveryResidueOnceAndEachPrefixIsSpreadOut)
{
    std::vector<std::uint32_t> offsets;
    for (std::uint32_t k = 0; k < cMeshGLRenderer::kProgressiveSpacing; ++k)
        offsets.push_back(cMeshGLRenderer::ProgressiveOffset(k));
    EXPECT_EQ(offsets[0], 0u);
    std::vector<std::uint32_t> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    for (std::uint32_t k = 0; k < sorted.size(); ++k)
        EXPECT_EQ(sorted[k], k);
    // The first 8 offsets leave no cyclic gap wider than 8 of 61.
    std::vector<std::uint32_t> prefix(offsets.begin(), offsets.begin() + 8);
    std::sort(prefix.begin(), prefix.end());
    std::uint32_t widest = cMeshGLRenderer::kProgressiveSpacing - prefix.back();
    for (std::size_t i = 1; i < prefix.size(); ++i)
        widest = std::max(widest, prefix[i] - prefix[i - 1]);
    EXPECT_LE(widest, 8u);
}

TEST_F(MeshDrawing, AStoppedProgressivePointsPassStillCoversTheWholeMesh)
{
    // 61 x 61 vertices over the 32-pixel square; a budget of 0 with the
    // stepping clock stops both passes at the 1500th point.
    object = std::make_unique<cMeshObject>();
    BuildSquare(*object->GetMesh(), 60);
    cDecoratorObject& decorator = object->GetDecorator();
    decorator.m_mode = kDisplayPoints;
    decorator.m_pointSize = 1.0f;
    decorator.SetColour(kDecoratorFront, 1.0f, 1.0f, 0.0f, 1.0f);
    context.clock = &SteppingClock;
    context.timeBudget = 0;
    const std::uint32_t yellow = wgl::Rgb(255, 255, 0);
    // The 8 x 8-pixel cells of the square that show no point.
    auto emptyCells = [&](const wgl::PixelImage& image) {
        int empty = 0;
        for (LONG cy = 0; cy < 4; ++cy)
            for (LONG cx = 0; cx < 4; ++cx)
            {
                bool found = false;
                for (LONG y = 16 + cy * 8; y < 24 + cy * 8; ++y)
                    for (LONG x = 16 + cx * 8; x < 24 + cx * 8; ++x)
                        found = found || wgl::SameColour(image.At(x, y), yellow);
                empty += found ? 0 : 1;
            }
        return empty;
    };

    const wgl::PixelImage plain = Frame("points_stopped_in_order");
    EXPECT_GT(lastResult, 0u);
    EXPECT_GE(emptyCells(plain), 8) << "in index order only the first rows are drawn";

    context.progressivePoints = 1;
    const wgl::PixelImage spread = Frame("points_stopped_progressive");
    EXPECT_GT(lastResult, 0u) << "still stopped by the budget";
    EXPECT_EQ(emptyCells(spread), 0);
    EXPECT_LT(wgl::CountPixels(spread, yellow), 32u * 32u * 3u / 4u) << "sparser than the whole mesh";

    context.timeBudget = 0xFFFFFFFFu;
    const wgl::PixelImage all = Frame("points_progressive_complete");
    EXPECT_EQ(lastResult, 0u);
    context.progressivePoints = 0;
    EXPECT_EQ(wgl::CountDifferences(all, Frame("points_complete")), 0u) << "every point once, in any order";
}

TEST_F(MeshDrawing, ReleasingTheRendererDeletesEveryCacheListAndTheNextDrawRecordsAgain)
{
    context.useDisplayLists = 1;
    Frame("before_release");
    auto* cache = dynamic_cast<cGLObjectDrawCache*>(object->FindAttachedProperty(cMeshGLRenderer::kSolidCacheName));
    ASSERT_NE(cache, nullptr);
    EXPECT_NE(cache->GetListId(), 0u);
    window.Renderer().Release();
    EXPECT_EQ(cache->GetListId(), 0u);
    EXPECT_EQ(cache->GetRenderer(), nullptr);

    RendererWindow other(kSize, kSize);
    ASSERT_TRUE(other.Ok());
    context.renderer = &other.Renderer();
    const wgl::PixelImage image = Frame("after_release");
    EXPECT_NE(cache->GetListId(), 0u);
    EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(255, 0, 0)), 32u * 32u);
}

TEST_F(MeshDrawing, WireframeAndBoundariesUseTheirColours)
{
    context.useDisplayLists = 0;
    cDecoratorObject& decorator = object->GetDecorator();
    decorator.m_mode = kDisplayFlat | kDisplayWireframe;
    decorator.SetColour(kDecoratorWireframe, 1.0f, 1.0f, 1.0f, 1.0f);
    const wgl::PixelImage wire = Frame("wireframe");
    EXPECT_GT(wgl::CountPixels(wire, wgl::Rgb(255, 255, 255)), 8u * 32u);

    decorator.m_mode = kDisplayFlat;
    decorator.m_flags = kDecoratorBoundaries;
    decorator.SetColour(kDecoratorBoundary, 0.0f, 1.0f, 1.0f, 1.0f);
    const wgl::PixelImage border = Frame("boundaries");
    const auto box = wgl::BoundingBoxOf(border, wgl::Rgb(0, 255, 255));
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(box->left, 16, 1);
    EXPECT_NEAR(box->right, 48, 1);
    // Only the outline: the centre keeps the solid's colour.
    EXPECT_TRUE(wgl::SameColour(border.At(32, 32), wgl::Rgb(255, 0, 0)));
}

} // namespace

namespace
{

TEST_F(MeshDrawing, TheHostMeshDrawerColoursByVertex)
{
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        cVertex* v = mesh.GetVertex(i);
        v->extra[0] = 10;
        v->extra[1] = 200;
        v->extra[2] = 30;
    }
    context.useDisplayLists = 0;
    cDezazMeshGLRenderer drawer;
    drawer.SetVertexColours(true);
    ASSERT_TRUE(drawer.AttachObject(object.get()));
    Frame("host_mesh_plain"); // sets up the view
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawer.Render(context);
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
    Snapshot(image, "mesh_host_vertex_colours");
    EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(10, 200, 30)), 32u * 32u);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
}

} // namespace
