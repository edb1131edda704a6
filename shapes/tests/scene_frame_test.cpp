// Frames of the plug-in's scene drawn by the scene renderer on a headless
// window, checked by pixel properties.
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "platform/wgl/buffer_region.h"
#include "platform/wgl/pixel_probe.h"
#include "platform/win32/win32.h"
#include "render/frame_buffer_cache.h"
#include "shapes/line_section_curve.h"
#include "shapes/loft_surface.h"
#include "shapes/network_surface.h"
#include "shapes/primitive_scene_objects.h"
#include "shapes/scene_frame.h"
#include "shapes/spline_section_curve.h"
#include "support/snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace
{

constexpr LONG kWidth = 160;
constexpr LONG kHeight = 120;

LRESULT PlainProc(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcW(window, message, w, l); }

void Snapshot(const wgl::PixelImage& image, const std::string& name) { SnapshotImage(image, "scene_frame_" + name); }

// A flat grid of n x n cells over [x0, x1] x [y0, y1] at z = 0, facing +z.
cMeshObject* GridObject(float x0, float x1, float y0, float y1, std::uint32_t n)
{
    auto* object = new cMeshObject();
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t r = 0; r <= n; ++r)
        for (std::uint32_t c = 0; c <= n; ++c)
        {
            const float p[3] = {x0 + (x1 - x0) * float(c) / float(n), y0 + (y1 - y0) * float(r) / float(n), 0.0f};
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
    cDecoratorObject& decorator = object->GetDecorator();
    decorator.m_mode = kDisplayFlat;
    decorator.m_flags = 0;
    decorator.SetColour(kDecoratorFront, 1.0f, 0.0f, 0.0f, 1.0f);
    decorator.SetColour(kDecoratorBack, 1.0f, 0.0f, 0.0f, 1.0f);
    return object;
}

bool IsGrey(std::uint32_t pixel)
{
    const int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
    return r > 120 && std::abs(r - g) < 6 && std::abs(r - b) < 6;
}

bool IsYellowish(std::uint32_t pixel)
{
    const int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
    return r > 60 && std::abs(r - g) < 20 && b * 2 < r;
}

// The pale yellow (240, 240, 110) of a loft's sections, not the lit loft.
bool IsSectionYellow(std::uint32_t pixel)
{
    const int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
    return r > 200 && r < 250 && g > 200 && g < 250 && b > 95 && b < 135;
}

bool IsReddish(std::uint32_t pixel)
{
    const int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
    return r > 60 && r > 2 * g + 20 && r > 2 * b + 20;
}

class SceneFrame : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = &PlainProc;
        wc.lpszClassName = L"SceneFrameTest";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"SceneFrameTest", L"", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        HWND handle = window;
        ASSERT_EQ(renderer.Initialize(&handle), 0u);
        renderer.MakeCurrent();
        renderer.SetViewport(0, 0, kWidth, kHeight);
        renderer.SetAspect(double(kWidth) / kHeight);
        const float min[3] = {-2, -1.5f, -2}, max[3] = {2, 1.5f, 2};
        renderer.SetSceneBox(min, max);
        scene.GetDecorator().SetColour(kDecoratorFront, 0, 0, 0, 1);
        scene.GetDecorator().SetColour(kDecoratorBack, 0, 0, 0, 1);
        scene.m_switch1 = 0; // no axes and grid unless a test asks
        ResetGluNurbsErrors();
    }

    void TearDown() override
    {
        scene.m_referenceObject = nullptr;
        scene.Clear();
        renderer.Release();
        if (window)
            DestroyWindow(window);
        EXPECT_EQ(GluNurbsErrorCount(), 0u) << "GLU NURBS error " << LastGluNurbsError();
    }

    // One paint as the view does it; the picture is read before the swap.
    wgl::PixelImage Paint(const std::string& name, std::uint32_t redraw = kFullRepaint)
    {
        renderer.BeginFrame(&scene);
        renderer.SetupProjection(&scene);
        renderer.RenderScene(&scene, 0, redraw);
        glFinish();
        wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kWidth, kHeight);
        renderer.EndFrame();
        Snapshot(image, name);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return image;
    }

    HWND window = nullptr;
    cP3DRenderGL renderer;
    cP3DScene scene{nullptr};
};

// A mesh and a plane shape painted at level 0, then at level 1 after the
// mesh was hidden: the level-1 frame restores the mesh picture instead of
// drawing the meshes, so it equals the full frame; back at level 0 the mesh
// is gone.
void CheckLevelOneRestore(cP3DRenderGL& renderer, cP3DScene& scene,
                          const std::function<wgl::PixelImage(const std::string&)>& paint, const std::string& name)
{
    cMeshObject* mesh = GridObject(-1.5f, 0.5f, -1.0f, 1.0f, 8);
    ASSERT_TRUE(scene.AddObject(mesh));
    auto* plane = new Dezaz_PlaneObject();
    const double n[3] = {0, 0, 1}, o[3] = {0.8, 0.2, 0.5}, x[3] = {1, 0, 0};
    plane->GetGeometry()->SetOriginAndNormal(n, o, x, 0.6, 0.6);
    ASSERT_TRUE(scene.AddObject(plane));

    ASSERT_EQ(renderer.GetRedrawLevel(), 0u);
    const wgl::PixelImage full = paint(name + "_level0");
    EXPECT_EQ(renderer.GetRedrawLevel(), 1u);
    EXPECT_TRUE(renderer.HasShapeObjects());
    EXPECT_GT(std::count_if(full.pixels.begin(), full.pixels.end(), IsReddish), 1000) << "the mesh is drawn";

    mesh->ClearStateFlag1();
    const wgl::PixelImage restored = paint(name + "_level1");
    EXPECT_EQ(wgl::CountDifferences(full, restored), 0u);

    renderer.LowerRedrawLevel(0);
    const wgl::PixelImage redrawn = paint(name + "_level0_again");
    EXPECT_LT(std::count_if(redrawn.pixels.begin(), redrawn.pixels.end(), IsReddish), 100)
        << "the hidden mesh is gone at level 0 (the tripod's x arrow stays)";
}

TEST_F(SceneFrame, ALevelOneFrameRestoresTheMeshPictureAndEqualsAFullRedraw)
{
    CheckLevelOneRestore(renderer, scene, [&](const std::string& name) { return Paint(name); }, "arb");
}

TEST_F(SceneFrame, TheTextureTileCacheRestoresTheSamePicture)
{
    // Without the buffer-region extension the renderer keeps the levels in
    // texture tiles.
    renderer.Release();
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Unavailable);
    HWND handle = window;
    const std::uint32_t initialised = renderer.Initialize(&handle);
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Available);
    ASSERT_EQ(initialised, 0u);
    renderer.MakeCurrent();
    renderer.SetViewport(0, 0, kWidth, kHeight);
    EXPECT_EQ(renderer.GetLevelCache()->GetInfoText().rfind(L"SWFrameBufferCache", 0), 0u);
    CheckLevelOneRestore(renderer, scene, [&](const std::string& name) { return Paint(name); }, "tiles");
}

TEST_F(SceneFrame, ShapesBehindAMeshStayHiddenInLevelOneFramesOfEitherCache)
{
    // One plane on each side of the mesh, both over part of it: whichever
    // way the view looks, one lies behind the mesh and must stay hidden
    // when level 1 is drawn over the restored mesh picture.
    cMeshObject* mesh = GridObject(-1.5f, 0.5f, -1.0f, 1.0f, 8);
    ASSERT_TRUE(scene.AddObject(mesh));
    for (double z : {0.5, -0.5})
    {
        auto* plane = new Dezaz_PlaneObject();
        const double n[3] = {0, 0, 1}, o[3] = {z > 0 ? 0.3 : -0.9, z > 0 ? 0.4 : -0.4, z}, x[3] = {1, 0, 0};
        plane->GetGeometry()->SetOriginAndNormal(n, o, x, 0.6, 0.6);
        ASSERT_TRUE(scene.AddObject(plane));
    }
    for (bool tiles : {false, true})
    {
        renderer.Release();
        wgl::SetBufferRegionSupport(tiles ? wgl::BufferRegionSupport::Unavailable
                                          : wgl::BufferRegionSupport::Available);
        HWND handle = window;
        const std::uint32_t initialised = renderer.Initialize(&handle);
        wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Available);
        ASSERT_EQ(initialised, 0u);
        renderer.MakeCurrent();
        renderer.SetViewport(0, 0, kWidth, kHeight);
        renderer.LowerRedrawLevel(0);
        const std::string name = tiles ? "tiles" : "arb";
        const wgl::PixelImage full = Paint(name + "_hidden_shape_level0");
        ASSERT_EQ(renderer.GetRedrawLevel(), 1u);
        const wgl::PixelImage restored = Paint(name + "_hidden_shape_level1");
        EXPECT_EQ(wgl::CountDifferences(full, restored), 0u) << name;
    }
}

TEST_F(SceneFrame, InteractionRedrawsShowMeshesAsPointsAndLeaveTheirAttributesAlone)
{
    cMeshObject* mesh = GridObject(-1.5f, 1.5f, -1.0f, 1.0f, 6);
    ASSERT_TRUE(scene.AddObject(mesh));
    const wgl::PixelImage full = Paint("interaction_full");
    renderer.LowerRedrawLevel(0);
    const wgl::PixelImage moving = Paint("interaction_points", 0);
    const auto solid = std::count_if(full.pixels.begin(), full.pixels.end(), IsReddish);
    const auto points = std::count_if(moving.pixels.begin(), moving.pixels.end(), IsReddish);
    EXPECT_GT(points, 0);
    EXPECT_LT(points * 4, solid) << "only the vertices are drawn";
    const cDecoratorObject& decorator = mesh->GetDecorator();
    EXPECT_EQ(decorator.m_mode, kDisplayFlat);
    EXPECT_EQ(decorator.m_count, 1);
    EXPECT_EQ(decorator.m_colours[kDecoratorFront][0], 1.0f);
    EXPECT_TRUE(renderer.LastDrawingComplete());
}

// A clock that moves 20 ms each time the drawers look at it.
DWORD g_drawTicks = 0;
DWORD SteppingClock() { return g_drawTicks += 20; }

// The cells of a 4 x 4 split of the rectangle that hold no pixel the test
// accepts.
int EmptyCells(const wgl::PixelImage& image, LONG x0, LONG y0, LONG x1, LONG y1,
               const std::function<bool(std::uint32_t)>& accept)
{
    int empty = 0;
    for (int cy = 0; cy < 4; ++cy)
        for (int cx = 0; cx < 4; ++cx)
        {
            bool found = false;
            for (LONG y = y0 + (y1 - y0) * cy / 4; y < y0 + (y1 - y0) * (cy + 1) / 4 && !found; ++y)
                for (LONG x = x0 + (x1 - x0) * cx / 4; x < x0 + (x1 - x0) * (cx + 1) / 4 && !found; ++x)
                    found = accept(image.At(x, y));
            empty += found ? 0 : 1;
        }
    return empty;
}

std::size_t CountIn(const wgl::PixelImage& image, LONG x0, LONG y0, LONG x1, LONG y1,
                    const std::function<bool(std::uint32_t)>& accept)
{
    std::size_t count = 0;
    for (LONG y = y0; y < y1; ++y)
        for (LONG x = x0; x < x1; ++x)
            count += accept(image.At(x, y));
    return count;
}

TEST_F(SceneFrame, EveryFrameOfADragShowsTheWholeScanEvenWhenTheBudgetStopsTheDrawing)
{
    EXPECT_FALSE(renderer.LastDrawingComplete()) << "nothing is drawn yet";
    // 14400 vertices over x in [-0.2, 1.9], y in [-1.4, 1.4] (pixels 72 to
    // 156 and 4 to 116), drawn as single pixels: the stepping clock stops
    // the points pass after 4500 of them, and the navigation modes redraw
    // with an argument of 0.
    cMeshObject* mesh = GridObject(-0.2f, 1.9f, -1.4f, 1.4f, 119);
    mesh->GetDecorator().m_pointSize = 1.0f;
    ASSERT_TRUE(scene.AddObject(mesh));
    const LONG x0 = 74, y0 = 6, x1 = 154, y1 = 114;
    const wgl::PixelImage full = Paint("drag_full");
    EXPECT_TRUE(renderer.LastDrawingComplete());
    const auto black = [](std::uint32_t p) { return (p & 0xFFFFFF) == 0; };
    ASSERT_EQ(CountIn(full, x0, y0, x1, y1, black), 0u) << "the solid covers the rectangle";

    g_drawTicks = 0;
    renderer.SetDrawClock(&SteppingClock);
    for (int frame = 0; frame < 3; ++frame)
    {
        renderer.LowerRedrawLevel(0);
        const wgl::PixelImage moving = Paint("drag_frame" + std::to_string(frame), 0);
        EXPECT_FALSE(renderer.LastDrawingComplete()) << "frame " << frame;
        EXPECT_EQ(EmptyCells(moving, x0, y0, x1, y1, IsReddish), 0) << "frame " << frame << ": the whole scan";
        EXPECT_GT(CountIn(moving, x0, y0, x1, y1, black), std::size_t((x1 - x0) * (y1 - y0) / 4))
            << "frame " << frame << ": sparse points, not the solid";
    }
    // The deviation display's drawers keep the same rules.
    scene.m_deviationDisplay = 1;
    renderer.LowerRedrawLevel(0);
    const wgl::PixelImage registered = Paint("drag_frame_registered_drawer", 0);
    EXPECT_FALSE(renderer.LastDrawingComplete());
    EXPECT_EQ(EmptyCells(registered, x0, y0, x1, y1, IsReddish), 0);
    renderer.SetDrawClock(nullptr);
    renderer.LowerRedrawLevel(0);
    Paint("drag_end_registered_drawer");
    EXPECT_TRUE(renderer.LastDrawingComplete());
    scene.m_deviationDisplay = 0;
    EXPECT_EQ(mesh->GetDecorator().m_mode, kDisplayFlat) << "the look is the frame's, not the object's";
}

TEST_F(SceneFrame, ALevelOneFrameWithoutAValidMeshPictureDrawsTheMeshesAgain)
{
    ASSERT_TRUE(scene.AddObject(GridObject(-1.5f, 1.5f, -1.0f, 1.0f, 4)));
    Paint("before_resize");
    // A resize invalidates the cached levels; a view that forgets to lower
    // the level must still not lose the meshes.
    SetWindowPos(window, nullptr, 0, 0, kWidth + 8, kHeight, SWP_NOMOVE | SWP_NOZORDER);
    renderer.MakeCurrent();
    renderer.SetViewport(0, 0, kWidth + 8, kHeight);
    ASSERT_EQ(renderer.GetRedrawLevel(), 1u);
    const wgl::PixelImage image = Paint("after_resize");
    EXPECT_GT(std::count_if(image.pixels.begin(), image.pixels.end(), IsReddish), 1000);
    ASSERT_NE(renderer.GetLevelCache(), nullptr);
    EXPECT_EQ(renderer.GetLevelCache()->GetValidLevelCount(), 2u);
}

TEST_F(SceneFrame, TheMirrorCopyOfASymmetryPlaneIsTheMeshReflectedAsGreyPoints)
{
    // Points on the right of the plane x = 0.
    cMeshObject* mesh = GridObject(0.25f, 1.75f, -0.9f, 0.6f, 30);
    mesh->GetDecorator().m_mode = kDisplayPoints;
    mesh->GetDecorator().m_pointSize = 1.5f;
    // Yellow, a colour the corner tripod does not use.
    mesh->GetDecorator().SetColour(kDecoratorFront, 1.0f, 1.0f, 0.0f, 1.0f);
    ASSERT_TRUE(scene.AddObject(mesh));
    Dezaz_SymmetryPlaneObject symmetry;
    const double n[3] = {1, 0, 0}, o[3] = {0, 0.3, 0}, x[3] = {0, 1, 0};
    symmetry.GetGeometry()->SetOriginAndNormal(n, o, x, 1.0, 1.0);
    scene.m_referenceObject = static_cast<ISceneObject*>(&symmetry);

    const wgl::PixelImage image = Paint("mirror");
    std::size_t red = 0, mirrored = 0, grey = 0;
    for (LONG y = 0; y < kHeight; ++y)
        for (LONG x = 0; x < kWidth; ++x)
        {
            grey += IsGrey(image.At(x, y));
            if (!IsYellowish(image.At(x, y)))
                continue;
            ++red;
            // The reflection of column x in the centre line, give or take a
            // pixel of rounding.
            const LONG mx = kWidth - 1 - x;
            bool found = false;
            for (LONG d = -1; d <= 1 && !found; ++d)
                found = mx + d >= 0 && mx + d < kWidth && IsGrey(image.At(mx + d, y));
            mirrored += found;
        }
    ASSERT_GT(red, 200u);
    EXPECT_GT(double(mirrored), 0.97 * double(red));
    EXPECT_NEAR(double(grey), double(red), 0.1 * double(red));

    // Hidden, the symmetry plane mirrors nothing.
    symmetry.ClearStateFlag1();
    renderer.LowerRedrawLevel(0);
    const wgl::PixelImage plain = Paint("mirror_hidden");
    EXPECT_EQ(std::count_if(plain.pixels.begin(), plain.pixels.end(), IsGrey), 0);
}

TEST_F(SceneFrame, AFaceTurnedToTheViewerIsLitByTheEyeLight)
{
    // A red grid facing the eye: its diffuse light, not just its ambient
    // share, makes it bright; a light behind the scene would leave it dim.
    ASSERT_TRUE(scene.AddObject(GridObject(-1.8f, 1.8f, -1.3f, 1.3f, 4)));
    const wgl::PixelImage image = Paint("lit_face");
    const std::uint32_t centre = image.At(kWidth / 2 + 20, kHeight / 2);
    EXPECT_GT(int((centre >> 16) & 255), 200) << std::hex << centre;
}

// The colour the eye light gives a surface of colour c whose unit normal
// makes cos t with the line of sight: the global ambient (0.2) and the
// light's ambient (0.5) and diffuse (1.0) shares, and the meshes' specular
// material (0.3, shininess 50) under a white light, whose half vector is the
// line of sight.
std::uint32_t LitColour(const float c[3], double cosine)
{
    auto channel = [&](float v) {
        const double n = std::max(0.0, cosine);
        const double lit = std::min(1.0, double(v) * (0.2 + 0.5 + n) + 0.3 * std::pow(n, 50.0));
        return std::uint8_t(std::lround(lit * 255.0));
    };
    return wgl::Rgb(channel(c[0]), channel(c[1]), channel(c[2]));
}

TEST_F(SceneFrame, ShapesAreLitByTheEyeLightAsTheMeshesAre)
{
    // Two planes: one facing the eye, one tilted by acos(0.8) about x; their
    // colour comes from the lighting equation at their normals, at level 0
    // and again in a level-1 frame over the restored mesh picture.
    const float colour[3] = {0.4f, 0.3f, 0.2f};
    ASSERT_TRUE(scene.AddObject(GridObject(-1.9f, -1.5f, -1.4f, -1.0f, 2)));
    auto addPlane = [&](double x, const double normal[3]) {
        auto* plane = new Dezaz_PlaneObject();
        const double o[3] = {x, 0.3, 0.5}, axis[3] = {1, 0, 0};
        plane->GetGeometry()->SetOriginAndNormal(normal, o, axis, 0.45, 0.45);
        plane->GetDecorator().SetColour(kDecoratorFront, colour[0], colour[1], colour[2], 1.0f);
        plane->GetDecorator().m_flags = 0;
        ASSERT_TRUE(scene.AddObject(plane));
    };
    const double facing[3] = {0, 0, 1}, tilted[3] = {0, 0.6, 0.8};
    addPlane(0.35, facing);
    addPlane(1.45, tilted);
    // Plane centres in pixels, right of the corner tripod: x = 80 + x * 40,
    // y = 60 - 0.3 * 40.
    for (std::uint32_t level : {0u, 1u})
    {
        renderer.LowerRedrawLevel(level);
        const wgl::PixelImage image = Paint("lit_shapes_level" + std::to_string(level));
        EXPECT_TRUE(wgl::SameColour(image.At(94, 48), LitColour(colour, 1.0), 2))
            << "level " << level << std::hex << " facing " << image.At(94, 48) << " want " << LitColour(colour, 1.0);
        EXPECT_TRUE(wgl::SameColour(image.At(138, 48), LitColour(colour, 0.8), 2))
            << "level " << level << std::hex << " tilted " << image.At(138, 48) << " want " << LitColour(colour, 0.8);
    }
}

TEST_F(SceneFrame, MeshesAreSeenThroughBesideShapesWithSurfacesButNotBesideACurveNetwork)
{
    // A red grid facing the eye over the black background; the pixel read
    // lies off every shape.
    ASSERT_TRUE(scene.AddObject(GridObject(-1.8f, 1.8f, -1.3f, 1.3f, 4)));
    ASSERT_TRUE(scene.AddObject(new Dezaz_NetworkSurfaceObject()));
    const float red[3] = {1.0f, 0.0f, 0.0f};
    const std::uint32_t opaque = LitColour(red, 1.0);
    const std::uint32_t besideNetwork = Paint("mesh_beside_network").At(120, 30);
    EXPECT_TRUE(wgl::SameColour(besideNetwork, opaque, 2)) << std::hex << besideNetwork;
    auto* plane = new Dezaz_PlaneObject();
    const double normal[3] = {0, 0, 1}, o[3] = {-1.2, 0.8, 0.5}, axis[3] = {1, 0, 0};
    plane->GetGeometry()->SetOriginAndNormal(normal, o, axis, 0.2, 0.2);
    ASSERT_TRUE(scene.AddObject(plane));
    renderer.LowerRedrawLevel(0);
    const std::uint32_t besidePlane = Paint("mesh_beside_plane").At(120, 30);
    const std::uint32_t half = wgl::Rgb(((opaque >> 16) & 255) / 2, ((opaque >> 8) & 255) / 2, (opaque & 255) / 2);
    EXPECT_TRUE(wgl::SameColour(besidePlane, half, 3)) << std::hex << besidePlane << " want " << half;
}

TEST_F(SceneFrame, ShapesAreDrawnAtLevelOneOverTheMeshes)
{
    ASSERT_TRUE(scene.AddObject(GridObject(-1.8f, 1.8f, -1.3f, 1.3f, 4)));
    auto* cylinder = new Dezaz_CylinderObject();
    const double base[3] = {-1.0, 0.0, 0.2}, axis[3] = {1.0, 0.0, 0.0};
    cylinder->GetGeometry()->SetAxis(base, axis, 0.4, 2.0);
    ASSERT_TRUE(scene.AddObject(cylinder));
    const wgl::PixelImage image = Paint("shapes");
    // The cylinder covers the mesh between y = -0.4 and 0.4 (rows 44 to 76),
    // right of the corner tripod.
    const LONG row = kHeight / 2, column = 112;
    EXPECT_FALSE(IsReddish(image.At(column, row)));
    EXPECT_NE(image.At(column, row), wgl::Rgb(0, 0, 0));
    EXPECT_TRUE(IsReddish(image.At(150, 15))) << "the mesh outside the cylinder";
}

TEST_F(SceneFrame, TheSectionViewShowsSectionPointsTheProfileAndMeshPointsOnly)
{
    scene.GetDecorator().SetColour(kDecoratorFront, 1, 1, 1, 1);
    scene.GetDecorator().SetColour(kDecoratorBack, 1, 1, 1, 1);
    ASSERT_TRUE(scene.AddObject(GridObject(-1.5f, 1.5f, -1.2f, -0.6f, 6)));
    Dezaz_NetworkSurfaceObject network;
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    tFramePolyline<cVertex>& section = *sections.Add(tFramePolyline<cVertex>());
    for (int i = 0; i <= 8; ++i)
    {
        const double p[3] = {-1.6 + 0.4 * i, 0.9, 0.0};
        section.AddPoint3d(p);
    }
    double frame[12];
    MakeIdentity3x4(frame);
    ASSERT_TRUE(network.GetGeometry()->SetProfileFromSections(CLSID_ST_TLineCurve, frame, 0, sections, 0.0f, 0, 0, 0,
                                                              0.0f));
    scene.m_referenceObject = static_cast<ISceneObject*>(&network);
    scene.m_boxMode = kBoxModeSectionView;
    scene.m_displayWord2 = kSectionShowPoints | kSectionShowCurves | kSectionShowMeshPoints;

    const wgl::PixelImage image = Paint("section_view");
    const std::uint32_t pointGrey = wgl::Rgb(224, 224, 224);
    auto greyInRows = [&](double y0, double y1) {
        std::size_t count = 0;
        for (LONG y = LONG((1.5 - y1) / 3.0 * kHeight); y <= LONG((1.5 - y0) / 3.0 * kHeight); ++y)
            for (LONG x = 0; x < kWidth; ++x)
                count += wgl::SameColour(image.At(x, y), pointGrey, 2);
        return count;
    };
    EXPECT_GT(greyInRows(-1.25, -0.55), 30u) << "the mesh's vertices";
    EXPECT_GT(greyInRows(0.85, 0.95), 0u) << "section points beside the profile";
    EXPECT_LT(std::count_if(image.pixels.begin(), image.pixels.end(), IsReddish), 100) << "no shaded mesh (the tripod stays)";
    // The profile: a dark line along y = 0.9.
    const LONG row = LONG((1.5 - 0.9) / 3.0 * kHeight);
    std::size_t dark = 0;
    for (LONG x = 0; x < kWidth; ++x)
        for (LONG y = row - 2; y <= row + 2; ++y)
            dark += (image.At(x, y) & 0xFF) < 80;
    EXPECT_GT(dark, std::size_t(kWidth / 2));
}

// A spline section straight across x at height y (identity frame).
std::unique_ptr<ST_ISectionCurve> SectionAcross(double y)
{
    auto curve = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
    double identity[12];
    MakeIdentity3x4(identity);
    tPolyline<cVertex> points;
    for (int i = 0; i <= 10; ++i)
    {
        const double p[3] = {-1.5 + 0.3 * i, y, 0.0};
        points.AddPoint3d(p);
    }
    EXPECT_TRUE(curve->FitToPolyline(identity, points, 0.0, 0));
    return curve;
}

TEST_F(SceneFrame, LoftSectionsShowOnlyWhileTheirLoftIsTheReferenceWithItsDisplayWordSet)
{
    auto* object = new Dezaz_LoftSurfaceObject();
    Dezaz_LoftSurface& loft = *object->GetGeometry();
    const std::unique_ptr<ST_ISectionCurve> guide = [] {
        auto curve = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
        double identity[12];
        MakeIdentity3x4(identity);
        tPolyline<cVertex> points;
        for (int i = 0; i <= 4; ++i)
        {
            const double p[3] = {-1.7, -1.0 + 0.5 * i, 0.0};
            points.AddPoint3d(p);
        }
        EXPECT_TRUE(curve->FitToPolyline(identity, points, 0.0, 0));
        return curve;
    }();
    ASSERT_TRUE(loft.SetProfile(guide.get(), 0));
    LoftParameters& parameters = loft.GetParameters();
    parameters.expand = 0.0;
    for (double y : {-1.0, 0.0, 1.0})
    {
        LoftSection section;
        section.curve = SectionAcross(y);
        section.position = (y + 1.0) / 2.0;
        parameters.sections.push_back(std::move(section));
    }
    ASSERT_TRUE(loft.BuildHostSurface());
    ASSERT_TRUE(scene.AddObject(object));

    // Yellow pixels on the row of the middle section, right of the tripod.
    auto yellowOnMiddleRow = [](const wgl::PixelImage& image) {
        std::size_t count = 0;
        for (LONG x = 60; x < kWidth - 10; ++x)
            for (LONG y = kHeight / 2 - 2; y <= kHeight / 2 + 2; ++y)
                count += IsSectionYellow(image.At(x, y));
        return count;
    };
    const wgl::PixelImage plain = Paint("loft_plain");
    EXPECT_EQ(yellowOnMiddleRow(plain), 0u) << "no reference object";

    scene.m_referenceObject = static_cast<ISceneObject*>(object);
    renderer.LowerRedrawLevel(0);
    const wgl::PixelImage wires = Paint("loft_wires");
    EXPECT_GT(yellowOnMiddleRow(wires), std::size_t(kWidth - 80)) << "the middle section along its whole length";
    EXPECT_EQ(wires.At(kWidth / 2, kHeight / 4 + 1), plain.At(kWidth / 2, kHeight / 4 + 1))
        << "the surface between the sections is unchanged";

    // The reference's display word decides, not its visibility: the loft
    // tools may hide the object while its sections are edited.
    object->ClearStateFlag1();
    renderer.LowerRedrawLevel(0);
    EXPECT_GT(yellowOnMiddleRow(Paint("loft_hidden_reference")), std::size_t(kWidth - 80))
        << "a hidden loft whose display word is set shows its sections";
    object->SetStateFlag1();
    const std::uint32_t mode = object->GetDecorator().m_mode;
    object->GetDecorator().m_mode = 0;
    renderer.LowerRedrawLevel(0);
    EXPECT_EQ(yellowOnMiddleRow(Paint("loft_reference_display_word_zero")), 0u)
        << "a visible loft whose display word is 0 shows no sections";
    object->GetDecorator().m_mode = mode;

    // Another kind of reference object shows no loft wires either.
    Dezaz_PlaneObject plane;
    scene.m_referenceObject = static_cast<ISceneObject*>(&plane);
    renderer.LowerRedrawLevel(0);
    EXPECT_EQ(yellowOnMiddleRow(Paint("loft_other_reference")), 0u);
}

TEST_F(SceneFrame, AxesSpanTheViewAndTheGridHoldsTheOrigin)
{
    scene.m_switch1 = 1;
    // A mesh far from the origin: the grid still reaches the origin.
    ASSERT_TRUE(scene.AddObject(GridObject(1.0f, 1.4f, 0.8f, 1.2f, 2)));
    EXPECT_NEAR(renderer.GridSize(scene), 1.4f * 1.1f, 1e-5f);
    scene.Clear();
    EXPECT_NEAR(renderer.GridSize(scene), renderer.PixelsToWorld(200), 1e-5f) << "an empty scene";

    const wgl::PixelImage image = Paint("axes");
    // The x axis runs right from the centre in its dark red.
    std::size_t axisPixels = 0;
    for (LONG x = kWidth / 2 + 2; x < kWidth; ++x)
        for (LONG y = kHeight / 2 - 1; y <= kHeight / 2; ++y)
            axisPixels += wgl::SameColour(image.At(x, y), wgl::Rgb(180, 0, 0), 3);
    EXPECT_GE(axisPixels, std::size_t(kWidth / 2 - 4));
}

} // namespace

namespace
{
struct DeviationRecordStandIn : IAttachedProperty
{
    using IAttachedProperty::IAttachedProperty;
};
} // namespace

TEST_F(SceneFrame, TheDeviationBoxModeShowsTheVertexColoursOfMeasuredMeshesOnly)
{
    // A grid facing the eye whose vertices hold the colour (100, 50, 20);
    // its material is red.
    cMeshObject* mesh = GridObject(-1.5f, 1.5f, -1.0f, 1.0f, 4);
    ASSERT_TRUE(scene.AddObject(mesh));
    cMesh& m = *mesh->GetMesh();
    for (std::uint32_t i = 0; i < m.GetVertexCount(); ++i)
    {
        m.GetVertex(i)->extra[0] = 100;
        m.GetVertex(i)->extra[1] = 50;
        m.GetVertex(i)->extra[2] = 20;
    }
    const float red[3] = {1, 0, 0}, vertex[3] = {100 / 255.0f, 50 / 255.0f, 20 / 255.0f};
    const auto centre = [&](const std::string& name) {
        renderer.LowerRedrawLevel(0);
        return Paint(name).At(80, 60);
    };
    EXPECT_TRUE(wgl::SameColour(centre("deviation_off"), LitColour(red, 1.0), 2));
    // Not measured yet: the slot may hold anything but colours.
    scene.m_boxMode = kBoxModeDeviation;
    EXPECT_TRUE(wgl::SameColour(centre("deviation_unmeasured"), LitColour(red, 1.0), 2));
    // A pass's record on the object: its vertices' colours.
    ASSERT_NE(GetOrCreateAttachedProperty<DeviationRecordStandIn>(mesh, L"VTL_AnalyzerInfo_Property"), nullptr);
    const std::uint32_t measured = centre("deviation_measured");
    EXPECT_TRUE(wgl::SameColour(measured, LitColour(vertex, 1.0), 2)) << std::hex << measured;
    scene.m_boxMode = kBoxModeNormal;
    EXPECT_TRUE(wgl::SameColour(centre("deviation_ended"), LitColour(red, 1.0), 2));
}
