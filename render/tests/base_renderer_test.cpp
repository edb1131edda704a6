#include "render/base_renderer.h"

#include "core/frame_math.h"
#include "core/scene.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

namespace
{

// A scene whose object boxes are whatever the test says.
class BoxScene : public cBase3DScene
{
public:
    BoxScene() : cBase3DScene(nullptr) {}
    float box[6] = {0, 0, 0, 0, 0, 0};
    ISceneObject* askedFor = reinterpret_cast<ISceneObject*>(1);
    void GetObjectBoundingBox(ISceneObject* object, float out[6]) override
    {
        askedFor = object;
        std::copy_n(box, 6, out);
    }
};

// The camera alone: every graphics slot does nothing and the viewport is set
// by the test.
class CameraOnly : public cBase3DRenderer
{
public:
    RECT viewport{0, 0, 400, 200};
    bool perspective = false;
    BoxScene scene;
    float (&objectBox)[6] = scene.box;

    void ZoomToObject() { ZoomExtents(&scene, nullptr); }
    void GetViewport(RECT* out) override { *out = viewport; }
    bool IsPerspective() override { return perspective; }
    bool SetPerspective(bool p) override { return std::exchange(perspective, p); }

    ISceneObjectRenderer* GetObjectRenderer(ISceneObject*, const GUID&) override { return nullptr; }
    std::uint32_t Initialize(HWND*) override { return 0; }
    void Release() override {}
    void SetAspect(double) override {}
    double* GetAspect() override { return &aspect_; }
    void SetViewport(int, int, int, int) override {}
    std::uint32_t UploadTexture(const cRGBImage*) override { return 0; }
    void DeleteTexture(std::uint32_t) override {}
    void SetupLights(I3DScene*) override {}
    void SetupProjection(I3DScene*) override {}
    void SetFieldOfView(float) override {}
    float GetFieldOfView() override { return 23.0f; }
    void ZoomAll(I3DScene*, ISceneObject*) override {}
    void BeginFrame(I3DScene*) override {}
    void RenderScene(I3DScene*, int, std::uint32_t) override {}
    void EndFrame() override {}
    void ClearFrame() override {}
    void FinishFrame() override {}
    void ProjectPoint(float[3], const float[3], bool) override {}
    void ViewToWorld(float[3], const float[3]) override {}
    void PushViewTransform() override {}
    void PopViewTransform() override {}
    void ReadColour(cRenderSurfaceColor*, const RECT&, bool, float, float) override {}
    void ReadDepth(cRenderSurfaceDepth*, const RECT&, float, float) override {}
    void ReadColourAndDepth(cRenderSurfaceColorDepth*, const RECT&) override {}
    void DrawColour(cRenderSurfaceColor*, const RECT*, bool, int) override {}
    void DrawColourRects(cRenderSurfaceColor*, const RECT*, std::uint32_t, bool) override {}
    void DrawDepth(cRenderSurfaceDepth*, int) override {}
    void DrawColourAndDepth(cRenderSurfaceColorDepth*, const RECT*, bool, int) override {}
    void SaveLevel(std::uint32_t, bool) override {}
    void RestoreLevel(std::uint32_t, bool) override {}
    void FlipRectYInset(const RECT&, RECT*) override {}
    void FlipPointY(const POINT&, POINT*) override {}
    void FlipRectY(const RECT&, RECT*) override {}
    cOffscreenCanvas* GetCanvas(std::uint32_t, std::uint32_t, bool) override { return nullptr; }
    cGDIGraphicsLayer* GetGDILayer(std::uint32_t, std::uint32_t) override { return nullptr; }
    bool MakeCurrent() override { return true; }
    void RestoreCurrent() override {}
    bool IsCurrent() override { return true; }
    void GetInfoText(std::wstring*) override {}

    void SetLevel(std::uint32_t level) { SetRedrawLevel(level); }

private:
    double aspect_ = 1.0;
};

void ExpectBox(CameraOnly& camera, const float (&min)[3], const float (&max)[3], float tolerance = 0.0f)
{
    float gotMin[3], gotMax[3];
    camera.GetSceneBox(gotMin, gotMax);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_NEAR(gotMin[i], min[i], tolerance) << "min " << i;
        EXPECT_NEAR(gotMax[i], max[i], tolerance) << "max " << i;
    }
}

// R p for the rotation part of a 3x4 transform.
void Rotate(const double t[12], const double p[3], double out[3])
{
    for (int r = 0; r < 3; ++r)
        out[r] = t[4 * r] * p[0] + t[4 * r + 1] * p[1] + t[4 * r + 2] * p[2];
}

void ExpectMaps(const double t[12], const double (&from)[3], const double (&to)[3])
{
    double got[3];
    Rotate(t, from, got);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(got[i], to[i], 1e-6) << "component " << i;
}

void ExpectRigid(const double t[12])
{
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
        {
            double dot = 0.0;
            for (int k = 0; k < 3; ++k)
                dot += t[4 * a + k] * t[4 * b + k];
            EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-6);
        }
    const double det = t[0] * (t[5] * t[10] - t[6] * t[9]) - t[1] * (t[4] * t[10] - t[6] * t[8]) +
                       t[2] * (t[4] * t[9] - t[5] * t[8]);
    EXPECT_NEAR(det, 1.0, 1e-6);
}

TEST(BaseRendererCamera, StartsWithTheDefaultCamera)
{
    CameraOnly camera;
    ExpectBox(camera, {-1, -1, 0}, {1, 1, 0});
    double identity[12];
    MakeIdentity3x4(identity);
    EXPECT_EQ(std::memcmp(camera.GetViewTransform(), identity, sizeof(identity)), 0);
    EXPECT_FALSE(camera.HasInteractionPoint());
    EXPECT_EQ(camera.GetInteractionPoint()[0], FLT_MAX);
    EXPECT_FALSE(camera.IsInteracting());
    EXPECT_EQ(camera.GetRedrawLevel(), 0u);
}

TEST(BaseRendererCamera, ZoomExtentsMakesACubeAroundTheObject)
{
    CameraOnly camera;
    camera.objectBox[3] = camera.objectBox[4] = camera.objectBox[5] = 2.0f;
    camera.ZoomToObject();
    const float r = static_cast<float>(static_cast<float>(std::sqrt(3.0)) * 1.2);
    ExpectBox(camera, {1 - r, 1 - r, 1 - r}, {1 + r, 1 + r, 1 + r}, 1e-6f);
    EXPECT_EQ(camera.scene.askedFor, nullptr); // null asks for the whole scene
    EXPECT_FLOAT_EQ(camera.GetSceneCentre()[0], 1.0f);
    EXPECT_FLOAT_EQ(camera.GetSceneCentre()[2], 1.0f);
}

TEST(BaseRendererCamera, ZoomExtentsOfAnInvalidBoxGivesTheDefaultCube)
{
    CameraOnly camera;
    camera.objectBox[0] = camera.objectBox[1] = camera.objectBox[2] = FLT_MAX;
    camera.objectBox[3] = camera.objectBox[4] = camera.objectBox[5] = -FLT_MAX;
    camera.ZoomToObject();
    ExpectBox(camera, {-1, -1, -1}, {1, 1, 1});

    camera.objectBox[0] = NAN;
    camera.ZoomToObject();
    ExpectBox(camera, {-1, -1, -1}, {1, 1, 1});

    camera.GrowSceneBoxBy(3);
    camera.ZoomExtents(nullptr, nullptr);
    ExpectBox(camera, {-1, -1, -1}, {1, 1, 1});
}

TEST(BaseRendererCamera, ZoomExtentsOfASinglePointStaysUsable)
{
    // One vertex makes a valid box of size zero; the view must still have an
    // extent so that projection, picking and wheel zoom keep working.
    CameraOnly camera;
    const float p[6] = {5, -3, 2, 5, -3, 2};
    std::copy_n(p, 6, camera.objectBox);
    camera.ZoomToObject();
    ExpectBox(camera, {4, -4, 1}, {6, -2, 3});
    float x = 0, y = 0;
    camera.ScreenToWorld(POINT{0, 0}, &x, &y);
    EXPECT_LT(x, 0.0f);
    EXPECT_GT(y, 0.0f);
}

TEST(BaseRendererCamera, FitToAspectIsMeanPreservingAndIdempotent)
{
    CameraOnly camera;
    const float min[3] = {-1, -1, -4}, max[3] = {1, 1, 4};
    camera.SetSceneBox(min, max);
    camera.FitSceneBoxToAspect(2.0);
    ExpectBox(camera, {-1.5f, -0.75f, -4}, {1.5f, 0.75f, 4});
    camera.FitSceneBoxToAspect(2.0);
    ExpectBox(camera, {-1.5f, -0.75f, -4}, {1.5f, 0.75f, 4});

    // Taller than wide: the width grows to the mean.
    camera.FitSceneBoxToAspect(0.5);
    float gotMin[3], gotMax[3];
    camera.GetSceneBox(gotMin, gotMax);
    EXPECT_FLOAT_EQ((gotMax[0] - gotMin[0]) / (gotMax[1] - gotMin[1]), 0.5f);

    // An empty window has no aspect: the box stays.
    camera.SetSceneBox(min, max);
    camera.FitSceneBoxToAspect(0.0);
    camera.FitSceneBoxToAspect(NAN);
    ExpectBox(camera, {-1, -1, -4}, {1, 1, 4});
}

TEST(BaseRendererCamera, GrowAndShrinkKeepTheCentreInStep)
{
    CameraOnly camera;
    camera.GrowSceneBox(1, 2, 3, 4);
    ExpectBox(camera, {-2, -4, 0}, {3, 5, 0});
    EXPECT_FLOAT_EQ(camera.GetSceneCentre()[0], 0.5f);
    EXPECT_FLOAT_EQ(camera.GetSceneCentre()[1], 0.5f);
    camera.GrowSceneBoxBy(-0.5f);
    ExpectBox(camera, {-1.5f, -3.5f, 0}, {2.5f, 4.5f, 0});
}

TEST(BaseRendererCamera, RedrawLevelOnlyEverGoesDown)
{
    CameraOnly camera;
    camera.SetLevel(1);
    EXPECT_EQ(camera.LowerRedrawLevel(1000000), 1u);
    EXPECT_EQ(camera.LowerRedrawLevel(0), 0u);
    EXPECT_EQ(camera.LowerRedrawLevel(1), 0u);
    EXPECT_EQ(camera.GetRedrawLevel(), 0u);
}

TEST(BaseRendererCamera, PanDepthAndTransformWithZoomExtents)
{
    CameraOnly camera;
    camera.SetPan(3.0, -2.0);
    camera.SetDepthOffset(7.0);
    EXPECT_EQ(camera.GetViewTransform()[3], 3.0);
    EXPECT_EQ(camera.GetViewTransform()[7], -2.0);
    EXPECT_EQ(camera.GetViewTransform()[11], 7.0);

    double t[12];
    MakeIdentity3x4(t);
    t[3] = 1.0;
    t[11] = 9.0;
    camera.objectBox[3] = camera.objectBox[4] = camera.objectBox[5] = 2.0f;
    camera.SetViewTransformAndZoomExtents(t, &camera.scene, nullptr);
    EXPECT_EQ(camera.GetViewTransform()[3], 1.0);
    EXPECT_EQ(camera.GetViewTransform()[11], 0.0);
    EXPECT_FLOAT_EQ(camera.GetSceneCentre()[1], 1.0f);
}

TEST(BaseRendererConversions, CentreOfTheViewportIsTheOrigin)
{
    CameraOnly camera;
    float x = 1, y = 1;
    camera.ScreenToWorld(POINT{200, 100}, &x, &y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    // Window rows go down, view y goes up.
    camera.ScreenToWorld(POINT{400, 0}, &x, &y);
    EXPECT_FLOAT_EQ(x, 1.0f);
    EXPECT_FLOAT_EQ(y, 1.0f);
}

TEST(BaseRendererConversions, ScreenToWorldAndBackIsWithinAPixel)
{
    CameraOnly camera;
    const float min[3] = {-13.5f, 2.25f, 0}, max[3] = {40.0f, 29.0f, 0};
    camera.SetSceneBox(min, max);
    for (RECT viewport : {RECT{0, 0, 400, 200}, RECT{0, 0, 333, 517}, RECT{10, 20, 650, 500}})
    {
        camera.viewport = viewport;
        for (LONG px = 0; px < 640; px += 37)
            for (LONG py = 0; py < 500; py += 41)
            {
                float x = 0, y = 0;
                camera.ScreenToWorld(POINT{px, py}, &x, &y);
                POINT back{};
                camera.WorldToScreen(x, y, &back);
                EXPECT_LE(std::abs(back.x - px), 1) << px << "," << py;
                EXPECT_LE(std::abs(back.y - py), 1) << px << "," << py;
            }
    }
}

TEST(BaseRendererConversions, PixelLengthsAndDeltas)
{
    CameraOnly camera; // 2 x 2 box over 400 x 200 pixels
    EXPECT_FLOAT_EQ(camera.PixelsToWorld(100), 0.5f);
    float d[3] = {1, 1, 1};
    camera.ScreenDeltaToWorld(d, POINT{100, 100}, POINT{300, 50});
    EXPECT_FLOAT_EQ(d[0], 1.0f);
    EXPECT_FLOAT_EQ(d[1], 0.5f);
    EXPECT_EQ(d[2], 0.0f);
}

TEST(BaseRendererConversions, DegenerateBoxOrViewportMapsToTheCentre)
{
    CameraOnly camera;
    const float flat[3] = {0, -1, 0}, flatMax[3] = {0, 1, 0};
    camera.SetSceneBox(flat, flatMax);
    float x = 1, y = 1;
    camera.ScreenToWorld(POINT{0, 0}, &x, &y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    POINT p{};
    camera.WorldToScreen(5.0f, 0.0f, &p);
    EXPECT_EQ(p.x, 200);

    const float min[3] = {-1, -1, 0}, max[3] = {1, 1, 0};
    camera.SetSceneBox(min, max);
    camera.viewport = RECT{0, 0, 0, 0};
    camera.ScreenToWorld(POINT{5, 5}, &x, &y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_EQ(camera.PixelsToWorld(10), 0.0f);
    // Far-away points stay representable instead of overflowing.
    camera.viewport = RECT{0, 0, 400, 200};
    camera.WorldToScreen(1e30f, -1e30f, &p);
    EXPECT_GT(p.x, 1000000);
    EXPECT_GT(p.y, 1000000);
}

TEST(BaseRendererConversions, PerspectivePassesWindowCoordinatesThrough)
{
    CameraOnly camera;
    camera.perspective = true;
    float x = 0, y = 0;
    camera.ScreenToWorld(POINT{30, 50}, &x, &y);
    EXPECT_EQ(x, 30.0f);
    EXPECT_EQ(y, 150.0f);
    POINT p{};
    camera.WorldToScreen(30.7f, 150.2f, &p);
    EXPECT_EQ(p.x, 30);
    EXPECT_EQ(p.y, 50);
}

TEST(BaseRendererViewStates, PushPopRestoresTransformAndBoxExactly)
{
    CameraOnly camera;
    double t[12];
    MakeIdentity3x4(t);
    RotateAboutLocalX(t, 0.3);
    t[3] = 0.125;
    camera.SetViewTransform(t);
    const float min[3] = {-3.3f, 1.1f, 0.7f}, max[3] = {9.9f, 2.2f, 5.5f};
    camera.SetSceneBox(min, max);
    camera.PushViewState();

    camera.SetPan(5, 5);
    camera.GrowSceneBoxBy(4);
    camera.PopViewState();
    EXPECT_EQ(std::memcmp(camera.GetViewTransform(), t, sizeof(t)), 0);
    ExpectBox(camera, {-3.3f, 1.1f, 0.7f}, {9.9f, 2.2f, 5.5f});
    EXPECT_EQ(camera.GetViewStateCount(), 0u);
    camera.PopViewState(); // nothing to pop: no change, no crash
    ExpectBox(camera, {-3.3f, 1.1f, 0.7f}, {9.9f, 2.2f, 5.5f});

    std::unique_ptr<IViewState> state(camera.CreateViewState());
    camera.SetPan(1, 1);
    state->Restore();
    EXPECT_EQ(camera.GetViewTransform()[3], 0.125);
}

TEST(BaseRendererViewStates, StackKeepsTheNewestStates)
{
    CameraOnly camera;
    for (std::size_t i = 0; i < cBase3DRenderer::kMaxViewStates + 10; ++i)
    {
        camera.SetPan(static_cast<double>(i), 0.0);
        camera.PushViewState();
    }
    EXPECT_EQ(camera.GetViewStateCount(), cBase3DRenderer::kMaxViewStates);
    camera.PopViewState();
    EXPECT_EQ(camera.GetViewTransform()[3], static_cast<double>(cBase3DRenderer::kMaxViewStates + 9));
}

TEST(StandardViews, EveryViewIsARotationWithoutTranslation)
{
    CameraOnly camera;
    double mapped[12];
    MakeIdentity3x4(mapped);
    RotateAboutLocalX(mapped, 0.4);
    mapped[3] = 7.0;
    camera.SetMappedTopView(mapped);
    for (int index = 0; index < 20; ++index)
    {
        double t[12];
        camera.GetStandardViewTransform(t, nullptr, index);
        SCOPED_TRACE(index);
        ExpectRigid(t);
        EXPECT_EQ(t[3], 0.0);
        EXPECT_EQ(t[7], 0.0);
        EXPECT_EQ(t[11], 0.0);
    }
}

TEST(StandardViews, LookAlongTheAxesWithAnIdentityMappedTop)
{
    CameraOnly camera;
    double t[12];
    camera.GetStandardViewTransform(t, nullptr, 2); // top: the identity
    ExpectMaps(t, {1, 0, 0}, {1, 0, 0});
    ExpectMaps(t, {0, 0, 1}, {0, 0, 1});

    camera.GetStandardViewTransform(t, nullptr, 4); // front: world z up, world y away
    ExpectMaps(t, {0, 0, 1}, {0, 1, 0});
    ExpectMaps(t, {0, 1, 0}, {0, 0, -1});
    ExpectMaps(t, {1, 0, 0}, {1, 0, 0});

    camera.GetStandardViewTransform(t, nullptr, 5); // back: world z up, world x to the left
    ExpectMaps(t, {0, 0, 1}, {0, 1, 0});
    ExpectMaps(t, {1, 0, 0}, {-1, 0, 0});

    camera.GetStandardViewTransform(t, nullptr, 0); // right: world z up, world x towards the viewer
    ExpectMaps(t, {0, 0, 1}, {0, 1, 0});
    ExpectMaps(t, {1, 0, 0}, {0, 0, 1});

    camera.GetStandardViewTransform(t, nullptr, 1); // left
    ExpectMaps(t, {0, 0, 1}, {0, 1, 0});
    ExpectMaps(t, {1, 0, 0}, {0, 0, -1});

    camera.GetStandardViewTransform(t, nullptr, 3); // bottom: world z away from the viewer
    ExpectMaps(t, {0, 0, 1}, {0, 0, -1});

    const double up[3] = {0, 0, 1};
    double z[3];
    camera.GetStandardViewTransform(t, nullptr, 6); // from above: world z tilted towards the viewer
    Rotate(t, up, z);
    EXPECT_NEAR(z[1], std::sin(1.0471975803375244), 1e-6);
    EXPECT_GT(z[2], 0.0);
    camera.GetStandardViewTransform(t, nullptr, 10); // from below
    Rotate(t, up, z);
    EXPECT_LT(z[2], 0.0);
}

TEST(StandardViews, BottomTwiceUserDefinedAndOutOfRange)
{
    CameraOnly camera;
    double a[12], b[12];
    camera.GetStandardViewTransform(a, nullptr, 3);
    camera.GetStandardViewTransform(b, nullptr, 15);
    EXPECT_EQ(std::memcmp(a, b, sizeof(a)), 0);

    double user[12];
    MakeIdentity3x4(user);
    RotateAboutLocalX(user, 1.0);
    user[3] = 4.0;
    camera.SetUserDefinedView(user);
    camera.GetStandardViewTransform(a, nullptr, 14);
    user[3] = 0.0;
    EXPECT_EQ(std::memcmp(a, user, sizeof(a)), 0);

    // Outside 0..15 only the mapped top's inverse remains.
    double mapped[12];
    MakeIdentity3x4(mapped);
    RotateAboutLocalX(mapped, 0.5);
    camera.SetMappedTopView(mapped);
    camera.GetStandardViewTransform(a, nullptr, 16);
    InvertRigidTransform3x4(mapped);
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(a[i], mapped[i], 1e-12);
    camera.GetStandardViewTransform(b, nullptr, -1);
    EXPECT_EQ(std::memcmp(a, b, sizeof(a)), 0);
}

TEST(RigidTransforms, InvertTwiceAndTurnAboutOwnAxis)
{
    double t[12];
    MakeIdentity3x4(t);
    RotateAboutLocalX(t, 0.7);
    const double axis[3] = {0.3, -0.5, 0.8};
    RotateTransform3x4(t, 1.1, axis);
    t[3] = 1.5;
    t[7] = -2.0;
    t[11] = 0.25;
    double twice[12];
    std::memcpy(twice, t, sizeof(t));
    InvertRigidTransform3x4(twice);
    InvertRigidTransform3x4(twice);
    // The rotations are built in single precision, so R is orthonormal only
    // to about 1e-8.
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(twice[i], t[i], 1e-6);

    // Turning about its own x axis keeps that axis and the translation.
    double turned[12];
    std::memcpy(turned, t, sizeof(t));
    RotateAboutLocalX(turned, 0.9);
    for (int r = 0; r < 3; ++r)
    {
        EXPECT_NEAR(turned[4 * r], t[4 * r], 1e-6);
        EXPECT_EQ(turned[4 * r + 3], t[4 * r + 3]);
    }
    ExpectRigid(turned);
}

TEST(RigidTransforms, RotateRowsAboutXTurnsTheViewAboutScreenX)
{
    double t[12];
    MakeIdentity3x4(t);
    t[3] = 2.0;
    t[11] = 3.0;
    RotateRowsAboutX(t, std::acos(-1.0) / 2);
    ExpectMaps(t, {0, 1, 0}, {0, 0, 1});
    ExpectMaps(t, {0, 0, 1}, {0, -1, 0});
    ExpectMaps(t, {1, 0, 0}, {1, 0, 0});
    EXPECT_EQ(t[3], 2.0);
    EXPECT_EQ(t[11], 3.0);
}

TEST(RendererEvents, ReleaseEventReachesItsObservers)
{
    struct Counter : tObserver<I3DSceneRenderer>
    {
        int calls = 0;
        I3DSceneRenderer* sender = nullptr;
        void OnEvent(I3DSceneRenderer* s) override
        {
            ++calls;
            sender = s;
        }
    } counter;
    CameraOnly camera;
    camera.m_releaseEvent.Subscribe(&counter);
    camera.m_releaseEvent.Fire(&camera);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(counter.sender, &camera);
}

} // namespace
