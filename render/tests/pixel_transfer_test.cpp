#include "render/render_surface.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testrender;

namespace
{

struct PixelStateSnapshot
{
    GLint packAlignment, unpackAlignment, unpackRowLength, readBuffer, matrixMode, depthFunc;
    GLfloat redScale, alphaBias, depthScale;
    GLboolean depthTest, depthMask, colourMask[4];
    GLfloat projection[16];

    static PixelStateSnapshot Take()
    {
        PixelStateSnapshot s{};
        glGetIntegerv(GL_PACK_ALIGNMENT, &s.packAlignment);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &s.unpackAlignment);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &s.unpackRowLength);
        glGetIntegerv(GL_READ_BUFFER, &s.readBuffer);
        glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
        glGetIntegerv(GL_DEPTH_FUNC, &s.depthFunc);
        glGetFloatv(GL_RED_SCALE, &s.redScale);
        glGetFloatv(GL_ALPHA_BIAS, &s.alphaBias);
        glGetFloatv(GL_DEPTH_SCALE, &s.depthScale);
        s.depthTest = glIsEnabled(GL_DEPTH_TEST);
        glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
        glGetBooleanv(GL_COLOR_WRITEMASK, s.colourMask);
        glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
        return s;
    }
    bool operator==(const PixelStateSnapshot& o) const { return std::memcmp(this, &o, sizeof(*this)) == 0; }
};

// Unusual state a caller might have left: every transfer must keep it.
void SetOddState()
{
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 3);
    glPixelTransferf(GL_RED_SCALE, 0.5f);
    glPixelTransferf(GL_ALPHA_BIAS, 0.25f);
    glPixelTransferf(GL_DEPTH_SCALE, 2.0f);
    glMatrixMode(GL_TEXTURE);
    glDepthFunc(GL_GREATER);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
}

void ResetState()
{
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelTransferf(GL_RED_SCALE, 1.0f);
    glPixelTransferf(GL_ALPHA_BIAS, 0.0f);
    glPixelTransferf(GL_DEPTH_SCALE, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glDepthFunc(GL_LESS);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

TEST(GLPixelTransfer, ColourAndDepthRoundTripsAreExactAndLeaveGlStateAlone)
{
    const LONG width = 80, height = 60;
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    DrawTestScene(width, height);
    const wgl::PixelImage drawn = wgl::ReadGlPixels(0, 0, width, height);
    const double depth = wgl::ReadGlDepth(20, 20);

    SetOddState();
    const PixelStateSnapshot before = PixelStateSnapshot::Take();
    cRenderSurfaceColorDepth pair;
    renderer.ReadColourAndDepth(&pair, RECT{0, 0, width, height});
    ASSERT_TRUE(pair.colour.HasPixels());
    EXPECT_EQ(pair.colour.GetFormat(), kGlRgba);
    EXPECT_EQ(pair.colour.GetPixels()[3], 255) << "read as opaque";
    EXPECT_FLOAT_EQ(pair.depth.GetValues()[20 * width + 20], float(depth));
    EXPECT_TRUE(PixelStateSnapshot::Take() == before);

    ResetState();
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetOddState();
    renderer.DrawColourAndDepth(&pair, nullptr, true, 0);
    EXPECT_TRUE(PixelStateSnapshot::Take() == before);
    ResetState();
    EXPECT_EQ(wgl::CountDifferences(drawn, wgl::ReadGlPixels(0, 0, width, height)), 0u);
    EXPECT_DOUBLE_EQ(wgl::ReadGlDepth(20, 20), depth);
}

TEST(GLPixelTransfer, ReadsAreClippedToTheViewportAndEmptyOutsideIt)
{
    RendererWindow window(50, 40);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    cRenderSurfaceColor image;
    renderer.ReadColour(&image, RECT{40, 30, 70, 90}, true, 0.0f, 1.0f);
    EXPECT_EQ(image.GetX0(), 40);
    EXPECT_EQ(image.GetY0(), 30);
    EXPECT_EQ(image.GetWidth(), 10u);
    EXPECT_EQ(image.GetHeight(), 10u);
    renderer.ReadColour(&image, RECT{60, 0, 90, 10}, true, 0.0f, 1.0f);
    EXPECT_FALSE(image.HasPixels());

    renderer.SetViewport(0, 0, 0, 0);
    renderer.ReadColour(&image, RECT{0, 0, 10, 10}, true, 0.0f, 1.0f);
    EXPECT_FALSE(image.HasPixels()) << "a 0 x 0 viewport reads nothing";
    cRenderSurfaceDepth depth;
    renderer.ReadDepth(&depth, RECT{0, 0, 10, 10}, 0.0f, 1.0f);
    EXPECT_FALSE(depth.HasValues());
}

TEST(GLPixelTransfer, RectanglesDrawOnlyTheirPartOfTheImage)
{
    const LONG width = 40, height = 40;
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    cRenderSurfaceColor image;
    ASSERT_TRUE(image.Resize(10, 10, 30, 30));
    image.SetFormat(kGlBgraExt);
    for (std::size_t i = 0; i < 20 * 20; ++i)
    {
        std::uint8_t* p = image.GetPixels() + 4 * i;
        p[0] = 0x10; // blue
        p[1] = 0x80; // green
        p[2] = 0xF0; // red
        p[3] = 0xFF;
    }
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const RECT parts[2] = {{0, 0, 15, 15}, {25, 25, 60, 60}}; // both cut by the image
    renderer.DrawColourRects(&image, parts, 2, true);
    const wgl::PixelImage result = wgl::ReadGlPixels(0, 0, width, height);
    Snapshot(result, "draw_colour_rects");
    EXPECT_EQ(wgl::CountPixels(result, wgl::Rgb(0xF0, 0x80, 0x10)), 25u + 25u);
    // GL row 10 is image row 30 from the top of a 40-row read-back.
    EXPECT_TRUE(wgl::SameColour(result.At(12, 40 - 1 - 12), wgl::Rgb(0xF0, 0x80, 0x10)));
    EXPECT_TRUE(wgl::SameColour(result.At(20, 40 - 1 - 20), wgl::Rgb(0, 0, 0)));
}

TEST(GLPixelTransfer, FlipsConvertBetweenWindowAndGlRows)
{
    RendererWindow window(50, 40);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    RECT out{};
    renderer.FlipRectY(RECT{1, 0, 11, 5}, &out);
    EXPECT_EQ(out.top, 35);
    EXPECT_EQ(out.bottom, 40);
    renderer.FlipRectYInset(RECT{1, 0, 11, 5}, &out);
    EXPECT_EQ(out.top, 33);
    EXPECT_EQ(out.bottom, 38);
    POINT p{};
    renderer.FlipPointY(POINT{3, 0}, &p);
    EXPECT_EQ(p.y, 39);
}

} // namespace
