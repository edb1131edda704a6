#include "support/gl_window.h"

#include "platform/wgl/pixel_probe.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

using testgl::GlWindow;
using wgl::Rgb;

struct Regions
{
    PFNWGLCREATEBUFFERREGIONARBPROC create = nullptr;
    PFNWGLDELETEBUFFERREGIONARBPROC destroy = nullptr;
    PFNWGLSAVEBUFFERREGIONARBPROC save = nullptr;
    PFNWGLRESTOREBUFFERREGIONARBPROC restore = nullptr;

    bool Resolve()
    {
        create = reinterpret_cast<PFNWGLCREATEBUFFERREGIONARBPROC>(wglGetProcAddress("wglCreateBufferRegionARB"));
        destroy = reinterpret_cast<PFNWGLDELETEBUFFERREGIONARBPROC>(wglGetProcAddress("wglDeleteBufferRegionARB"));
        save = reinterpret_cast<PFNWGLSAVEBUFFERREGIONARBPROC>(wglGetProcAddress("wglSaveBufferRegionARB"));
        restore =
            reinterpret_cast<PFNWGLRESTOREBUFFERREGIONARBPROC>(wglGetProcAddress("wglRestoreBufferRegionARB"));
        return create && destroy && save && restore;
    }
};

// A scene with distinct colours and depths: a gradient of quads, each at its
// own depth.
void DrawScene(LONG width, LONG height)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClearColor(0.1f, 0.2f, 0.3f, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int i = 0; i < 8; ++i)
    {
        glColor3ub(static_cast<GLubyte>(30 * i), static_cast<GLubyte>(255 - 20 * i), static_cast<GLubyte>(7 * i));
        const float z = -0.9f + 0.2f * static_cast<float>(i);
        const float x0 = static_cast<float>(width) * static_cast<float>(i) / 10.0f;
        glBegin(GL_QUADS);
        glVertex3f(x0, 2, z);
        glVertex3f(x0 + static_cast<float>(width) / 3, 2, z);
        glVertex3f(x0 + static_cast<float>(width) / 3, static_cast<float>(height) - 2, z);
        glVertex3f(x0, static_cast<float>(height) - 2, z);
        glEnd();
    }
    glDisable(GL_DEPTH_TEST);
}

std::vector<GLuint> ReadDepthBits(LONG width, LONG height)
{
    std::vector<GLuint> depth(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, depth.data());
    return depth;
}

class BufferRegions : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gl.Ok()) << wgl::PlatformFailure();
        ASSERT_TRUE(regions.Resolve());
        gl.SetUpPixelProjection(kWidth, kHeight);
    }
    void TearDown() override { wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Available); }

    static constexpr LONG kWidth = 120;
    static constexpr LONG kHeight = 70;
    GlWindow gl{kWidth, kHeight};
    Regions regions;
};

TEST_F(BufferRegions, SaveAndRestoreGiveBackColourAndDepthBitForBit)
{
    DrawScene(kWidth, kHeight);
    wgl::PixelImage colour = wgl::ReadGlPixels(0, 0, kWidth, kHeight);
    std::vector<GLuint> depth = ReadDepthBits(kWidth, kHeight);

    HANDLE region = regions.create(gl.dc, 0, WGL_BACK_COLOR_BUFFER_BIT_ARB | WGL_DEPTH_BUFFER_BIT_ARB);
    ASSERT_NE(region, nullptr);
    ASSERT_TRUE(regions.save(region, 0, 0, kWidth, kHeight));

    // Poison both buffers, then restore.
    glClearColor(1, 0, 1, 1);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ASSERT_TRUE(regions.restore(region, 0, 0, kWidth, kHeight, 0, 0));
    glFinish();
    EXPECT_EQ(wgl::CountDifferences(colour, wgl::ReadGlPixels(0, 0, kWidth, kHeight)), 0u);
    std::vector<GLuint> restored = ReadDepthBits(kWidth, kHeight);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < depth.size(); ++i)
        if (restored[i] != depth[i] && wrong++ < 5)
            ADD_FAILURE() << "depth at " << i << ": " << std::hex << restored[i] << " instead of " << depth[i];
    EXPECT_EQ(wrong, 0u);
    regions.destroy(region);
    EXPECT_EQ(wgl::LiveBufferRegionCount(), 0u);
}

TEST_F(BufferRegions, SaveAndRestoreLeaveEveryGlStateAsItWas)
{
    DrawScene(kWidth, kHeight);
    HANDLE region = regions.create(gl.dc, 0, WGL_BACK_COLOR_BUFFER_BIT_ARB | WGL_DEPTH_BUFFER_BIT_ARB);
    ASSERT_NE(region, nullptr);

    // Unusual values for the states a pixel copy depends on.
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
    glPixelStorei(GL_PACK_SKIP_ROWS, 3);
    glPixelTransferf(GL_ALPHA_BIAS, 0.5f);
    glPixelTransferf(GL_RED_SCALE, 0.25f);
    glPixelZoom(2.0f, 3.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_GREATER);
    glDepthMask(GL_FALSE);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE);
    glEnable(GL_SCISSOR_TEST);
    glScissor(1, 2, 3, 4);
    glEnable(GL_TEXTURE_2D);
    glReadBuffer(GL_FRONT);
    glRasterPos2i(11, 13);

    ASSERT_TRUE(regions.save(region, 0, 0, kWidth, kHeight));
    ASSERT_TRUE(regions.restore(region, 0, 0, kWidth, kHeight, 0, 0));

    auto integer = [](GLenum name) {
        GLint v[4] = {};
        glGetIntegerv(name, v);
        return v[0];
    };
    auto real = [](GLenum name) {
        GLfloat v[4] = {};
        glGetFloatv(name, v);
        return v[0];
    };
    EXPECT_EQ(integer(GL_PACK_ALIGNMENT), 8);
    EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 2);
    EXPECT_EQ(integer(GL_UNPACK_ROW_LENGTH), 7);
    EXPECT_EQ(integer(GL_PACK_SKIP_ROWS), 3);
    EXPECT_EQ(real(GL_ALPHA_BIAS), 0.5f);
    EXPECT_EQ(real(GL_RED_SCALE), 0.25f);
    EXPECT_EQ(real(GL_ZOOM_X), 2.0f);
    EXPECT_EQ(real(GL_ZOOM_Y), 3.0f);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_ONE);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_GREATER);
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_FALSE);
    GLboolean mask[4] = {};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_TRUE(mask[0] && !mask[1] && mask[2] && !mask[3]);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(integer(GL_SCISSOR_BOX), 1);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(integer(GL_READ_BUFFER), GL_FRONT);
    EXPECT_EQ(integer(GL_DRAW_BUFFER), GL_BACK);
    GLfloat raster[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    EXPECT_NEAR(raster[0], 11.0f, 1e-3);
    EXPECT_NEAR(raster[1], 13.0f, 1e-3);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    regions.destroy(region);
}

TEST_F(BufferRegions, RestoreTakesASubRectangleToAnotherPlace)
{
    DrawScene(kWidth, kHeight);
    wgl::PixelImage before = wgl::ReadGlPixels(0, 0, kWidth, kHeight);
    HANDLE region = regions.create(gl.dc, 0, WGL_BACK_COLOR_BUFFER_BIT_ARB);
    ASSERT_TRUE(regions.save(region, 10, 5, 60, 40));
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // Saved pixel (10 + 20, 5 + 8) lands at window (0, 0).
    ASSERT_TRUE(regions.restore(region, 0, 0, 16, 12, 20, 8));
    wgl::PixelImage after = wgl::ReadGlPixels(0, 0, 16, 12);
    for (LONG y = 0; y < 12; ++y)
        for (LONG x = 0; x < 16; ++x)
            ASSERT_EQ(after.At(x, y), before.At(30 + x, kHeight - 1 - (13 + (11 - y)))) << x << "," << y;
    EXPECT_EQ(wgl::ReadGlPixel(16, 0), Rgb(0, 0, 0));
    EXPECT_EQ(wgl::ReadGlPixel(0, 12), Rgb(0, 0, 0));
    regions.destroy(region);
}

TEST_F(BufferRegions, RectanglesPartlyOutsideTheWindowAreClipped)
{
    DrawScene(kWidth, kHeight);
    wgl::PixelImage before = wgl::ReadGlPixels(0, 0, kWidth, kHeight);
    HANDLE region = regions.create(gl.dc, 0, WGL_BACK_COLOR_BUFFER_BIT_ARB | WGL_DEPTH_BUFFER_BIT_ARB);
    ASSERT_TRUE(regions.save(region, -50, -50, 100000, 100000));
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(regions.restore(region, -50, -50, 100000, 100000, 0, 0));
    EXPECT_EQ(wgl::CountDifferences(before, wgl::ReadGlPixels(0, 0, kWidth, kHeight)), 0u);
    // Entirely outside: nothing to save.
    EXPECT_FALSE(regions.save(region, kWidth, 0, 10, 10));
    EXPECT_FALSE(regions.save(region, 0, 0, 0, 10));
    regions.destroy(region);
}

TEST_F(BufferRegions, BadRegionsAndUnsavedRestoresFail)
{
    EXPECT_EQ(regions.create(gl.dc, 1, WGL_BACK_COLOR_BUFFER_BIT_ARB), nullptr); // overlay planes: none
    EXPECT_EQ(regions.create(gl.dc, 0, WGL_STENCIL_BUFFER_BIT_ARB), nullptr);
    EXPECT_EQ(regions.create(nullptr, 0, WGL_BACK_COLOR_BUFFER_BIT_ARB), nullptr);
    HANDLE region = regions.create(gl.dc, 0, WGL_BACK_COLOR_BUFFER_BIT_ARB);
    EXPECT_FALSE(regions.restore(region, 0, 0, 10, 10, 0, 0));
    regions.destroy(region);
    EXPECT_FALSE(regions.save(region, 0, 0, 10, 10));
    regions.destroy(region); // deleting twice does nothing

    // A region of another window cannot be saved through this context.
    GlWindow other(20, 20);
    ASSERT_TRUE(other.Ok());
    HANDLE foreign = regions.create(gl.dc, 0, WGL_BACK_COLOR_BUFFER_BIT_ARB);
    EXPECT_FALSE(regions.save(foreign, 0, 0, 10, 10));
    regions.destroy(foreign);
}

TEST_F(BufferRegions, SupportCanBeTakenAwayOrMadeToFail)
{
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Unavailable);
    EXPECT_EQ(wglGetProcAddress("wglCreateBufferRegionARB"), nullptr);
    EXPECT_EQ(wglGetProcAddress("wglRestoreBufferRegionARB"), nullptr);

    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::FailingSaves);
    ASSERT_TRUE(regions.Resolve());
    DrawScene(kWidth, kHeight);
    HANDLE region = regions.create(gl.dc, 0, WGL_BACK_COLOR_BUFFER_BIT_ARB | WGL_DEPTH_BUFFER_BIT_ARB);
    ASSERT_NE(region, nullptr);
    EXPECT_FALSE(regions.save(region, 0, 0, kWidth, kHeight));
    EXPECT_FALSE(regions.restore(region, 0, 0, kWidth, kHeight, 0, 0));
    regions.destroy(region);
}

} // namespace
