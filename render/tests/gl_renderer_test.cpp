#include "core/mesh_object.h"
#include "render/frame_buffer_cache.h"
#include "render/gl_widgets.h"
#include "render/rgb_image.h"
#include "render/scene_object_renderer.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

using namespace testrender;

namespace
{

TEST(GLRenderer, InitializeBuildsTheWidgetListsAndTheLetterTexture)
{
    RendererWindow window(32, 32);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    for (GLuint list = 50; list <= 56; ++list)
        EXPECT_TRUE(glIsList(list)) << list;
    EXPECT_NE(renderer.GetAxisLetterTexture(), 0u);
    EXPECT_EQ(renderer.GetAxisLetterWidth(), 64u);
    EXPECT_EQ(renderer.GetAxisLetterHeight(), 16u);
    EXPECT_EQ(renderer.GetLevelCount(), 2u);
    EXPECT_FLOAT_EQ(renderer.GetFieldOfView(), 23.0f);
}

TEST(GLRenderer, CallsOutsideAFrameGiveTheCallersContextBack)
{
    RendererWindow a(32, 32), b(40, 30);
    ASSERT_TRUE(a.Ok() && b.Ok());
    a.Renderer().MakeCurrent();
    ASSERT_TRUE(a.Renderer().IsCurrent());
    RECT viewport{};
    b.Renderer().GetViewport(&viewport);
    EXPECT_EQ(viewport.right, 40) << "b's own viewport, read in b's context";
    EXPECT_TRUE(a.Renderer().IsCurrent()) << "a is current again";
    b.Renderer().SaveLevel(0, true);
    EXPECT_TRUE(a.Renderer().IsCurrent());

    wglMakeCurrent(nullptr, nullptr);
    b.Renderer().SetViewport(0, 0, 10, 10);
    EXPECT_EQ(wglGetCurrentContext(), nullptr) << "no context before, none after";
}

TEST(GLRenderer, ReleaseFreesItsOwnListsOnlyAndMayRunTwice)
{
    RendererWindow a(32, 32), b(32, 32);
    ASSERT_TRUE(a.Ok() && b.Ok());
    b.Renderer().MakeCurrent();
    a.Renderer().Release(); // while b's context is current
    EXPECT_TRUE(b.Renderer().IsCurrent());
    for (GLuint list = 50; list <= 56; ++list)
        EXPECT_TRUE(glIsList(list)) << "b's list " << list << " survives a's release";
    a.Renderer().Release();
    EXPECT_EQ(a.Renderer().GetRenderingContext(), nullptr);
    EXPECT_EQ(a.Renderer().GetLevelCache(), nullptr);
    std::wstring info;
    a.Renderer().GetInfoText(&info);
    const std::wstring tail = L"Cache implementation: NONE.\n\nCanvas object: NONE.\n\n";
    EXPECT_EQ(info, tail) << "without context, cache or canvas only the last two entries remain";
}

TEST(GLRenderer, AReleaseAfterTheWindowWentLeavesTheCurrentContextsTexturesAlone)
{
    // Texture-tile level caches, whose names each context counts from 1.
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Unavailable);
    RendererWindow a(32, 32), b(32, 32);
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Available);
    ASSERT_TRUE(a.Ok() && b.Ok());
    a.Renderer().SaveLevel(0, true);
    b.Renderer().SaveLevel(0, true);
    b.Renderer().MakeCurrent();
    auto textures = [] {
        int count = 0;
        for (GLuint name = 1; name < 64; ++name)
            count += glIsTexture(name) == GL_TRUE;
        return count;
    };
    const int before = textures();
    ASSERT_GE(before, 2) << "the letter texture and a level tile";

    DestroyWindow(a.Window());
    a.Renderer().Release();
    ASSERT_TRUE(b.Renderer().IsCurrent());
    EXPECT_EQ(textures(), before) << "a's release deleted textures of b's context";
    EXPECT_EQ(b.Renderer().GetLevelCache()->GetValidLevelCount(), 1u);
}

TEST(GLRenderer, InfoTextNamesTheRunningContext)
{
    RendererWindow window(32, 32);
    ASSERT_TRUE(window.Ok());
    std::wstring info;
    window.Renderer().GetInfoText(&info);
    const std::string vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    EXPECT_EQ(info.rfind(L"OpenGL vendor: " + std::wstring(vendor.begin(), vendor.end()) + L"\n", 0), 0u);
    EXPECT_NE(info.find(L"OpenGL renderer: " + std::wstring(renderer.begin(), renderer.end()) + L"\n"),
              std::wstring::npos);
    EXPECT_NE(info.find(L"OpenGL ver: "), std::wstring::npos);
    EXPECT_NE(info.find(L"\nGL_ARB_"), std::wstring::npos) << "one extension per line";
    EXPECT_NE(info.find(L"OpenGL max viewport dimensions: 16384x16384\n\n"), std::wstring::npos);
}

TEST(GLRenderer, ClearFrameAndTheBackgroundGradient)
{
    const LONG width = 40, height = 50;
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    renderer.ClearFrame();
    EXPECT_EQ(wgl::CountPixels(wgl::ReadGlPixels(0, 0, width, height), wgl::Rgb(0, 0, 0)), std::size_t(width * height));

    const float top[4] = {1.0f, 1.0f, 1.0f, 1.0f}, bottom[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    glDisable(GL_DITHER);
    DrawBackgroundGradient(&renderer, top, bottom);
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, width, height);
    Snapshot(image, "background_gradient");
    EXPECT_TRUE(wgl::SameColour(image.At(20, 0), wgl::Rgb(255, 255, 255), 6));
    EXPECT_TRUE(wgl::SameColour(image.At(20, height - 1), wgl::Rgb(0, 0, 255), 6));
    int previous = -1;
    for (LONG y = height - 1; y >= 0; --y)
    {
        const int red = int((image.At(20, y) >> 16) & 0xFF);
        EXPECT_GE(red, previous) << "brighter towards the top";
        previous = red;
    }
}

TEST(GLRenderer, ArrowsShowThroughSurfaces)
{
    const LONG size = 64;
    RendererWindow window(size, size);
    ASSERT_TRUE(window.Ok());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDisable(GL_LIGHTING);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3ub(0, 0, 255);
    glBegin(GL_QUADS); // an occluder in front (nearer than the arrow)
    glVertex3f(-1, -1, 0.9f);
    glVertex3f(1, -1, 0.9f);
    glVertex3f(1, 1, 0.9f);
    glVertex3f(-1, 1, 0.9f);
    glEnd();
    glColor3ub(255, 255, 0);
    const float position[3] = {0.0f, 0.0f, -0.5f}, direction[3] = {1.0f, 0.0f, 0.0f};
    DrawArrowGL(position, direction, 2.0f);
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, size, size);
    Snapshot(image, "arrow_through_surface");
    EXPECT_GT(wgl::CountPixels(image, wgl::Rgb(255, 255, 0)), 20u);
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_TRUE);
    GLint func = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    EXPECT_EQ(func, GL_LESS) << "the depth function is put back";
}

TEST(GLRenderer, NonPowerOfTwoTexturesUploadUnskewed)
{
    RendererWindow window(16, 16);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    cRGBImage image;
    ASSERT_TRUE(image.Resize(5, 3, 4)); // 15 bytes of pixels in 16-byte rows
    for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 5; ++x)
        {
            std::uint8_t* p = image.Row(y) + x * 3;
            p[0] = std::uint8_t(10 * x);      // blue
            p[1] = std::uint8_t(50 * y);      // green
            p[2] = std::uint8_t(200);         // red
        }
    const std::uint32_t texture = renderer.UploadTexture(&image);
    ASSERT_NE(texture, 0xFFFFFFFFu);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, texture);
    std::uint8_t back[3 * 5 * 3] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, back);
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 5; ++x)
        {
            EXPECT_EQ(back[(y * 5 + x) * 3 + 0], 10 * x);
            EXPECT_EQ(back[(y * 5 + x) * 3 + 1], 50 * y);
        }
    renderer.DeleteTexture(texture);
    EXPECT_FALSE(glIsTexture(texture));
    cRGBImage empty;
    EXPECT_EQ(renderer.UploadTexture(&empty), 0xFFFFFFFFu);
    EXPECT_EQ(renderer.UploadTexture(nullptr), 0xFFFFFFFFu);

    // Wider than this GL takes: no name is given, and the GL error is not
    // left for the next caller to take for its own.
    GLint maximum = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maximum);
    ASSERT_GT(maximum, 0);
    cRGBImage wide;
    ASSERT_TRUE(wide.Resize(std::uint32_t(maximum) + 1, 1, 4));
    EXPECT_EQ(renderer.UploadTexture(&wide), 0xFFFFFFFFu);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(GLRenderer, ObjectRenderersAreHandedOutByKindForObjectsTheySupport)
{
    RendererWindow window(16, 16);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    cMeshObject mesh;
    EXPECT_NE(renderer.GetObjectRenderer(&mesh, kMeshRendererKind), nullptr);
    EXPECT_EQ(renderer.GetObjectRenderer(&mesh, kGridRendererKind), nullptr) << "a mesh is no grid";
    EXPECT_EQ(renderer.GetObjectRenderer(&mesh, kTexturedMeshRendererKind), nullptr);
    EXPECT_EQ(renderer.GetObjectRenderer(nullptr, kMeshRendererKind), nullptr);
    const GUID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(renderer.GetObjectRenderer(&mesh, unknown), nullptr);
}

TEST(GLRenderer, TheAxisTripodDrawsItsThreeColouredAxes)
{
    const LONG size = 96;
    RendererWindow window(size, size);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(20.0f, 1.0f, 1.0f, 0.0f);
    glDisable(GL_LIGHTING);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawAxisTripod(&renderer, 2.0f);
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, size, size);
    Snapshot(image, "axis_tripod");
    const auto reddish = [&] {
        std::size_t n = 0;
        for (std::uint32_t p : image.pixels)
            n += ((p >> 16) & 0xFF) > 120 && ((p >> 8) & 0xFF) < 40 && (p & 0xFF) < 40;
        return n;
    }();
    EXPECT_GT(reddish, 10u) << "the x axis in red";
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "texturing is put back";
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

} // namespace

namespace
{

TEST(GLRendererProjection, APointDrawnInTheViewTransformLandsWhereTheCameraMapsIt)
{
    const LONG width = 120, height = 80;
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    const float min[3] = {-2.0f, -1.0f, -1.0f}, max[3] = {4.0f, 3.0f, 1.0f};
    renderer.SetSceneBox(min, max);
    renderer.SetAspect(double(width) / double(height));
    double transform[12] = {0.8, -0.6, 0.0, 0.3, 0.6, 0.8, 0.0, -0.2, 0.0, 0.0, 1.0, 0.0};
    renderer.SetViewTransform(transform);
    renderer.SetupProjection(nullptr);
    float boxMin[3], boxMax[3];
    renderer.GetSceneBox(boxMin, boxMax);
    EXPECT_NEAR((boxMax[0] - boxMin[0]) / (boxMax[1] - boxMin[1]), 1.5, 1e-5) << "fitted to the aspect";

    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const float point[3] = {1.7f, 0.4f, 0.2f};
    renderer.PushViewTransform();
    glPointSize(1.0f);
    glColor3ub(255, 255, 255);
    glBegin(GL_POINTS);
    glVertex3fv(point);
    glEnd();
    renderer.PopViewTransform();
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, width, height);
    const auto lit = wgl::BoundingBoxOf(image, wgl::Rgb(255, 255, 255));
    ASSERT_TRUE(lit.has_value());

    float view[3];
    renderer.ProjectPoint(view, point, false);
    POINT expected{};
    renderer.WorldToScreen(view[0], view[1], &expected);
    EXPECT_NEAR(lit->left, expected.x, 1);
    EXPECT_NEAR(lit->top, expected.y, 1);

    float back[3];
    renderer.ViewToWorld(back, view);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(back[i], point[i], 1e-5);
}

TEST(GLRendererProjection, PerspectiveProjectPointIsWhereGluProjectPutsIt)
{
    const LONG width = 100, height = 100;
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    renderer.SetPerspective(true);
    renderer.SetupProjection(nullptr);
    const float point[3] = {0.1f, -0.2f, 0.05f};
    float out[3];
    renderer.ProjectPoint(out, point, true);
    GLdouble modelView[16], projection[16], wx, wy, wz;
    GLint viewport[4];
    renderer.PushViewTransform();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    renderer.PopViewTransform();
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    ASSERT_EQ(gluProject(point[0], point[1], point[2], modelView, projection, viewport, &wx, &wy, &wz), GL_TRUE);
    EXPECT_NEAR(out[0], wx, 1e-3);
    EXPECT_NEAR(out[1], wy, 1e-3);
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1) << "the pushed transform was popped";
}

TEST(GLRendererProjection, MarkersPolylinesAndThePivotRestoreWhatTheyChange)
{
    const LONG size = 64;
    RendererWindow window(size, size);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLineWidth(3.0f);
    glPointSize(4.0f);

    glColor3ub(255, 0, 0);
    const float centre[3] = {-0.5f, -0.5f, 0.0f};
    DrawSphereMarkerGL(centre, 0.25f);
    const float corner[3] = {0.5f, 0.5f, 0.0f}, up[3] = {0.0f, 0.0f, 1.0f};
    glColor3ub(0, 0, 255);
    DrawOrientedCubeGL(corner, up, 0.4f);
    tPolyline<t3DPoint<float>> line;
    line.AddFloatPoint(std::array<float, 3>{-0.9f, 0.8f, 0.0f}.data());
    line.AddFloatPoint(std::array<float, 3>{-0.1f, 0.8f, 0.0f}.data());
    DrawPolylineGL(line, 0, 255, 0, 1.0f, true, 2.0f);
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, size, size);
    Snapshot(image, "markers");

    const auto sphere = wgl::BoundingBoxOf(image, wgl::Rgb(255, 0, 0));
    ASSERT_TRUE(sphere.has_value());
    EXPECT_NEAR(sphere->right - sphere->left, 16, 2) << "a sphere of radius 0.25 spans a quarter of the view";
    const auto cube = wgl::BoundingBoxOf(image, wgl::Rgb(0, 0, 255));
    ASSERT_TRUE(cube.has_value());
    EXPECT_NEAR(cube->right - cube->left, 13, 1);
    EXPECT_GT(wgl::CountPixels(image, wgl::Rgb(0, 255, 0)), 20u);
    GLfloat width = 0, pointSize = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    glGetFloatv(GL_POINT_SIZE, &pointSize);
    EXPECT_EQ(width, 3.0f);
    EXPECT_EQ(pointSize, 4.0f);
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));

    // No pivot: nothing is drawn.
    glClear(GL_COLOR_BUFFER_BIT);
    const float none[3] = {3.402823466e+38F, 0.0f, 0.0f};
    renderer.DrawPivotMarker(none, 10.0f);
    EXPECT_EQ(wgl::CountPixels(wgl::ReadGlPixels(0, 0, size, size), wgl::Rgb(0, 0, 0)), std::size_t(size * size));
}

} // namespace
