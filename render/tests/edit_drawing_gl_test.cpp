#include "core/decorator_object.h"
#include "render/edit_drawing_gl.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace testrender;

namespace
{

constexpr LONG kSize = 128;

TEST(PlaneRectangle, CornersRunAroundTheRectangleFromTheUpperLeft)
{
    stPlaneRecord plane;
    plane.o[0] = 1.0, plane.o[1] = 2.0, plane.o[2] = 3.0;
    plane.a[0] = 2.0, plane.a[1] = 0.0, plane.a[2] = 0.0; // not unit: w scales it
    plane.w = 0.5;
    plane.h = 3.0;
    float c[4][3];
    PlaneRectCorners(plane, c[0], c[1], c[2], c[3]);
    const float expected[4][3] = {{0, 5, 3}, {2, 5, 3}, {2, -1, 3}, {0, -1, 3}};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(c[k][i], expected[k][i]) << k << "," << i;
}

TEST(PlaneRectangle, AnAxisAlongTheNormalCollapsesTheRectangleOntoALine)
{
    stPlaneRecord plane;
    plane.a[0] = 0.0, plane.a[2] = 1.0; // parallel to n
    plane.w = 2.0;
    plane.h = 5.0;
    float c[4][3];
    PlaneRectCorners(plane, c[0], c[1], c[2], c[3]);
    EXPECT_FLOAT_EQ(c[0][2], -2.0f);
    EXPECT_FLOAT_EQ(c[1][2], 2.0f);
    for (const auto& corner : c)
    {
        EXPECT_FLOAT_EQ(corner[0], 0.0f);
        EXPECT_FLOAT_EQ(corner[1], 0.0f);
    }
}

class EditDrawing : public ::testing::Test
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
        glDisable(GL_LIGHTING);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    wgl::PixelImage Read(const std::string& name)
    {
        glFinish();
        wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
        Snapshot(image, "edit_" + name);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return image;
    }

    static LONG ToPixel(float world) { return LONG((world + 2.0f) / 4.0f * kSize); }

    RendererWindow window{kSize, kSize};
    cGeometriesGLRenderer drawer;
};

TEST_F(EditDrawing, HandleIdsReadBackExactlyAndASkippedHandleKeepsItsNumber)
{
    const float positions[3][3] = {{-1.2f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {1.2f, 0.5f, 0.0f}};
    const float directions[3][3] = {{0, 0, 1}, {0, 0, 0}, {1, 1, 0}};
    // Smoothing and blending left on by someone else must not blur the ids.
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    DrawCubeHandlesIdColoured(&drawer, positions, directions, 3);
    const wgl::PixelImage image = Read("handle_ids");
    std::set<std::uint32_t> ids;
    for (std::uint32_t pixel : image.pixels)
        ids.insert(IdOfColour(std::uint8_t(pixel >> 16), std::uint8_t(pixel >> 8), std::uint8_t(pixel)));
    EXPECT_EQ(ids, (std::set<std::uint32_t>{0, 1, 3}));
    const std::uint32_t centre = image.At(ToPixel(-1.2f), kSize - 1 - ToPixel(0.0f));
    EXPECT_EQ(centre, wgl::Rgb(1, 0, 0));
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH) && glIsEnabled(GL_BLEND)) << "state given back";
}

TEST_F(EditDrawing, AGridQuadWithNDivisionsHasNMinusOneInteriorLinesEachWay)
{
    cDecoratorObject decorator;
    decorator.SetColour(kDecoratorFront, 1, 1, 1, 1);
    decorator.m_lineWidths[0] = 1.0f;
    const float c0[3] = {-1.5f, -1.5f, 0}, c1[3] = {1.5f, -1.5f, 0}, c2[3] = {1.5f, 1.5f, 0},
                c3[3] = {-1.5f, 1.5f, 0}, normal[3] = {0, 0, 1};
    auto crossings = [&](const wgl::PixelImage& image, bool alongRow) {
        // Lit runs along the middle row (or column), borders included.
        int runs = 0;
        bool lit = false;
        for (LONG i = 0; i < kSize; ++i)
        {
            const std::uint32_t p = alongRow ? image.At(i, kSize / 2 + 3) : image.At(kSize / 2 + 3, i);
            const bool now = (p & 0xFFFFFF) != 0;
            runs += now && !lit;
            lit = now;
        }
        return runs;
    };
    window.Renderer().PushViewTransform();
    DrawGridQuadGL(false, 1, c0, c1, c2, c3, normal, decorator);
    const wgl::PixelImage border = Read("grid_1");
    EXPECT_EQ(crossings(border, true), 2);
    EXPECT_EQ(crossings(border, false), 2);

    glClear(GL_COLOR_BUFFER_BIT);
    DrawGridQuadGL(false, 10, c0, c1, c2, c3, normal, decorator);
    window.Renderer().PopViewTransform();
    const wgl::PixelImage grid = Read("grid_10");
    EXPECT_EQ(crossings(grid, true), 11);
    EXPECT_EQ(crossings(grid, false), 11);
}

TEST_F(EditDrawing, ThePlaneQuadFillsItsRectangle)
{
    stPlaneRecord plane;
    plane.w = 1.0;
    plane.h = 0.5;
    window.Renderer().PushViewTransform();
    glColor3ub(0, 255, 0);
    DrawPlaneQuadGL(plane);
    window.Renderer().PopViewTransform();
    const wgl::PixelImage image = Read("plane_quad");
    const auto box = wgl::BoundingBoxOf(image, wgl::Rgb(0, 255, 0));
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(box->left, ToPixel(-1.0f), 1);
    EXPECT_NEAR(box->right, ToPixel(1.0f), 1);
    EXPECT_NEAR(box->bottom - box->top, kSize / 4, 1);
}

} // namespace
