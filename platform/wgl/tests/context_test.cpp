#include "support/gl_window.h"

#include "platform/wgl/pixel_probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>

namespace
{

using testgl::GlWindow;
using wgl::Rgb;

// Keeps the picture of a failed check where it can be looked at.
void Inspect(const wgl::PixelImage& image, const char* name)
{
    if (::testing::Test::HasFailure())
        ADD_FAILURE() << "picture kept at " << wgl::SaveForInspection(image, name);
}

void FillRect(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

void DrawFan(int count, float cx, float cy, float radius)
{
    // Triangles around a centre, each in its own id colour (low byte red).
    for (int i = 0; i < count; ++i)
    {
        const float a0 = 6.2831853f * static_cast<float>(i) / static_cast<float>(count);
        const float a1 = 6.2831853f * static_cast<float>(i + 1) / static_cast<float>(count);
        const unsigned id = static_cast<unsigned>(i + 1) * 4099u;
        glColor3ub(static_cast<GLubyte>(id & 0xFF), static_cast<GLubyte>((id >> 8) & 0xFF),
                   static_cast<GLubyte>((id >> 16) & 0xFF));
        glBegin(GL_TRIANGLES);
        glVertex2f(cx, cy);
        glVertex2f(cx + radius * std::cos(a0), cy + radius * std::sin(a0));
        glVertex2f(cx + radius * std::cos(a1), cy + radius * std::sin(a1));
        glEnd();
    }
}

class Contexts : public ::testing::Test
{
protected:
    void TearDown() override
    {
        wgl::SetSwapWipe({});
        win32::PumpUntilIdle();
    }
};

TEST_F(Contexts, ColourCodedTrianglesReadBackExactIds)
{
    GlWindow gl(160, 120);
    ASSERT_TRUE(gl.Ok()) << wgl::PlatformFailure();
    gl.SetUpPixelProjection(160, 120);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawFan(48, 80, 60, 55);
    wgl::PixelImage image = wgl::ReadGlPixels(0, 0, 160, 120);

    std::set<std::uint32_t> ids;
    for (int i = 0; i < 48; ++i)
    {
        const unsigned id = static_cast<unsigned>(i + 1) * 4099u;
        ids.insert(Rgb(id & 0xFF, (id >> 8) & 0xFF, (id >> 16) & 0xFF));
    }
    std::map<std::uint32_t, int> seen;
    for (std::uint32_t p : image.pixels)
        ++seen[p | 0xFF000000u];
    for (std::uint32_t id : ids)
        EXPECT_GT(seen[id], 20) << std::hex << id;
    for (const auto& [colour, count] : seen)
        EXPECT_TRUE(colour == Rgb(0, 0, 0) || ids.count(colour)) << "foreign colour " << std::hex << colour;
    Inspect(image, "colour_ids");
}

TEST_F(Contexts, DisplayListDrawsTheSameImageAsImmediateMode)
{
    GlWindow gl(96, 96);
    ASSERT_TRUE(gl.Ok()) << wgl::PlatformFailure();
    gl.SetUpPixelProjection(96, 96);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawFan(17, 40, 50, 38);
    wgl::PixelImage immediate = wgl::ReadGlPixels(0, 0, 96, 96);

    ASSERT_FALSE(glIsList(53));
    glNewList(53, GL_COMPILE);
    DrawFan(17, 40, 50, 38);
    glEndList();
    ASSERT_TRUE(glIsList(53));
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(53);
    wgl::PixelImage listed = wgl::ReadGlPixels(0, 0, 96, 96);
    EXPECT_EQ(wgl::CountDifferences(immediate, listed), 0u);
    EXPECT_GT(wgl::CountPixels(listed, Rgb(0, 0, 0)), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    Inspect(listed, "display_list");
}

void FailOnGluError(GLenum error) { ADD_FAILURE() << "GLU error: " << gluErrorString(error); }

TEST_F(Contexts, GluQuadricsAndNurbsSurfacesDraw)
{
    GlWindow gl(128, 128);
    ASSERT_TRUE(gl.Ok()) << wgl::PlatformFailure();
    glViewport(0, 0, 128, 128);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DITHER);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    GLUquadric* quadric = gluNewQuadric();
    ASSERT_NE(quadric, nullptr);
    gluQuadricCallback(quadric, GLU_ERROR, reinterpret_cast<void (*)()>(&FailOnGluError));
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricDrawStyle(quadric, GLU_FILL);
    glColor3ub(255, 0, 0);
    glPushMatrix();
    glTranslatef(-1, 0, 0);
    gluSphere(quadric, 0.8, 10, 10);
    glPopMatrix();
    gluDeleteQuadric(quadric);

    // A bilinear patch over x 0.2..1.8, y -1..1.
    GLUnurbs* nurbs = gluNewNurbsRenderer();
    ASSERT_NE(nurbs, nullptr);
    gluNurbsCallback(nurbs, GLU_ERROR, reinterpret_cast<void (*)()>(&FailOnGluError));
    gluNurbsProperty(nurbs, GLU_SAMPLING_TOLERANCE, 25.0f);
    GLfloat knots[4] = {0, 0, 1, 1};
    GLfloat control[2][2][3] = {{{0.2f, -1, 0}, {0.2f, 1, 0}}, {{1.8f, -1, 0}, {1.8f, 1, 0}}};
    glColor3ub(0, 255, 0);
    gluBeginSurface(nurbs);
    gluNurbsSurface(nurbs, 4, knots, 4, knots, 2 * 3, 3, &control[0][0][0], 2, 2, GL_MAP2_VERTEX_3);
    gluEndSurface(nurbs);
    gluDeleteNurbsRenderer(nurbs);

    wgl::PixelImage image = wgl::ReadGlPixels(0, 0, 128, 128);
    auto sphere = wgl::BoundingBoxOf(image, Rgb(255, 0, 0));
    ASSERT_TRUE(sphere.has_value());
    EXPECT_NEAR(sphere->left, 6, 2);   // x = -1.8
    EXPECT_NEAR(sphere->right, 58, 2); // x = -0.2
    auto patch = wgl::BoundingBoxOf(image, Rgb(0, 255, 0));
    ASSERT_TRUE(patch.has_value());
    EXPECT_NEAR(patch->left, 70, 1);
    EXPECT_NEAR(patch->right, 122, 1);
    EXPECT_NEAR(patch->top, 32, 1);
    EXPECT_NEAR(patch->bottom, 96, 1);
    // The patch is filled, not just outlined.
    EXPECT_GT(wgl::CountPixels(image, Rgb(0, 255, 0)), 52u * 64u * 9 / 10);
    Inspect(image, "glu");
}

TEST_F(Contexts, ResizeKeepsTheContextUsableAtTheNewSize)
{
    GlWindow gl(64, 48);
    ASSERT_TRUE(gl.Ok()) << wgl::PlatformFailure();
    glNewList(54, GL_COMPILE);
    FillRect(0, 0, 1000, 1000);
    glEndList();

    ASSERT_TRUE(SetWindowPos(gl.window, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER));
    RECT client{};
    GetClientRect(gl.window, &client);
    ASSERT_EQ(client.right, 200);
    EXPECT_EQ(wglGetCurrentContext(), gl.context);

    gl.SetUpPixelProjection(200, 150);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3ub(0, 200, 0);
    ASSERT_TRUE(glIsList(54)); // the context, with its lists, survived
    glCallList(54);
    EXPECT_EQ(wgl::ReadGlPixel(199, 149), Rgb(0, 200, 0));
    ASSERT_TRUE(SwapBuffers(gl.dc));
    wgl::PixelImage shown = wgl::ReadWindowImage(gl.window);
    ASSERT_EQ(shown.width, 200);
    EXPECT_EQ(wgl::CountPixels(shown, Rgb(0, 200, 0)), 200u * 150u);

    // Shrinking works the same way.
    ASSERT_TRUE(SetWindowPos(gl.window, nullptr, 0, 0, 30, 20, SWP_NOMOVE | SWP_NOZORDER));
    gl.SetUpPixelProjection(30, 20);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(SwapBuffers(gl.dc));
    shown = wgl::ReadWindowImage(gl.window);
    EXPECT_EQ(wgl::CountPixels(shown, Rgb(0, 0, 255)), 30u * 20u);
}

TEST_F(Contexts, TwoWindowsWithTwoContextsDoNotDisturbEachOther)
{
    GlWindow a(40, 30);
    GlWindow b(50, 20);
    ASSERT_TRUE(a.Ok() && b.Ok()) << wgl::PlatformFailure();

    ASSERT_TRUE(a.MakeCurrent());
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glNewList(50, GL_COMPILE);
    glEndList();

    ASSERT_TRUE(b.MakeCurrent());
    EXPECT_FALSE(glIsList(50)); // nothing is shared between contexts
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(wglGetCurrentContext(), b.context);
    EXPECT_EQ(wglGetCurrentDC(), b.dc);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 50);
    EXPECT_EQ(viewport[3], 20);

    ASSERT_TRUE(a.MakeCurrent());
    EXPECT_TRUE(glIsList(50));
    EXPECT_EQ(wgl::ReadGlPixel(5, 5), Rgb(255, 0, 0));
    ASSERT_TRUE(SwapBuffers(a.dc));
    ASSERT_TRUE(SwapBuffers(b.dc)); // b is not current here
    EXPECT_EQ(wglGetCurrentContext(), a.context);
    EXPECT_EQ(wgl::ReadGlPixel(5, 5), Rgb(255, 0, 0));
    EXPECT_EQ(wgl::CountPixels(wgl::ReadWindowImage(a.window), Rgb(255, 0, 0)), 40u * 30u);
    EXPECT_EQ(wgl::CountPixels(wgl::ReadWindowImage(b.window), Rgb(0, 255, 0)), 50u * 20u);

    // A context cannot be made current on a window of another pixel format,
    // and a context cannot draw into a window without one.
    HWND bare = testgl::CreateClientWindow(10, 10);
    HDC bareDc = GetDC(bare);
    EXPECT_FALSE(wglMakeCurrent(bareDc, a.context));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PIXEL_FORMAT);
    EXPECT_EQ(wglCreateContext(bareDc), nullptr);
    EXPECT_EQ(wglGetCurrentContext(), a.context);
    DestroyWindow(bare);
}

TEST_F(Contexts, SwapShowsTheFrameTopDownAndKeepsTheBackBuffer)
{
    GlWindow gl(32, 24);
    ASSERT_TRUE(gl.Ok()) << wgl::PlatformFailure();
    gl.SetUpPixelProjection(32, 24);
    glClearColor(0, 0, 0, 1);
    glClearDepth(0.75);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3ub(250, 10, 20);
    FillRect(0, 0, 32, 6); // the bottom quarter in GL rows
    ASSERT_TRUE(SwapBuffers(gl.dc));

    wgl::PixelImage shown = wgl::ReadWindowImage(gl.window);
    ASSERT_EQ(shown.height, 24);
    auto box = wgl::BoundingBoxOf(shown, Rgb(250, 10, 20));
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->top, 18);
    EXPECT_EQ(box->bottom, 24);
    EXPECT_EQ(shown.At(0, 23), Rgb(250, 10, 20));
    EXPECT_EQ(wgl::ReadGlPixel(3, 3), Rgb(250, 10, 20));
    EXPECT_NEAR(wgl::ReadGlDepth(3, 3), 0.75, 1e-6);

    // With the wipe switch on the back buffer is gone after the swap, while
    // the window still shows the frame.
    wgl::SetSwapWipe({true, 0xFFFF00FF, 0.0});
    ASSERT_TRUE(SwapBuffers(gl.dc));
    EXPECT_EQ(wgl::ReadGlPixel(3, 3), Rgb(255, 0, 255));
    EXPECT_EQ(wgl::ReadGlDepth(3, 3), 0.0);
    EXPECT_EQ(wgl::ReadWindowImage(gl.window).At(0, 23), Rgb(250, 10, 20));
    // The wipe leaves the clear state of the caller alone.
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
    GLfloat clearDepth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    EXPECT_FLOAT_EQ(clearDepth, 0.75f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Contexts, CurrentContextBookkeeping)
{
    GlWindow gl(16, 16);
    ASSERT_TRUE(gl.Ok()) << wgl::PlatformFailure();
    EXPECT_EQ(wglGetCurrentContext(), gl.context);
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(wglGetCurrentDC(), nullptr);
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr)); // releasing nothing is fine

    EXPECT_TRUE(gl.MakeCurrent());
    HGLRC second = wglCreateContext(gl.dc);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(wglMakeCurrent(gl.dc, second));
    EXPECT_TRUE(wglDeleteContext(second)); // deleting the current one releases it
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_FALSE(wglDeleteContext(second));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(wglMakeCurrent(gl.dc, second));
    EXPECT_FALSE(wglMakeCurrent(nullptr, gl.context)); // no device context
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

TEST_F(Contexts, DestroyedWindowsRefuseDrawing)
{
    auto gl = std::make_unique<GlWindow>(16, 16);
    ASSERT_TRUE(gl->Ok()) << wgl::PlatformFailure();
    HDC dc = gl->dc;
    DestroyWindow(gl->window);
    EXPECT_FALSE(SwapBuffers(dc));
    EXPECT_EQ(WindowFromDC(dc), nullptr);
    EXPECT_FALSE(wglMakeCurrent(dc, gl->context));
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_TRUE(wglDeleteContext(gl->context));
    gl->context = nullptr;
    gl->window = nullptr;
}

TEST_F(Contexts, ProcAddressesOfExtensions)
{
    GlWindow gl(8, 8);
    ASSERT_TRUE(gl.Ok()) << wgl::PlatformFailure();
    EXPECT_NE(wglGetProcAddress("wglCreateBufferRegionARB"), nullptr);
    EXPECT_NE(wglGetProcAddress("glWindowPos2i"), nullptr);
    EXPECT_EQ(wglGetProcAddress("wglSwapIntervalEXT"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(wglGetProcAddress(nullptr), nullptr);
    wglMakeCurrent(nullptr, nullptr);
    EXPECT_EQ(wglGetProcAddress("glWindowPos2i"), nullptr); // only with a current context
}

} // namespace
