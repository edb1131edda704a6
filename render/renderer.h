// The interface through which views, navigation and editing modes and
// dialogs talk to a scene renderer: camera, projection, frames, pixel
// transfers, cached frame levels and the GL context.
#pragma once

#include "core/events.h"
#include "platform/win32/types.h"

#include <cstdint>
#include <string>

class I3DScene;
class ISceneObject;
class ISceneObjectRenderer;
class cRGBImage;
class cRenderSurfaceColor;
class cRenderSurfaceDepth;
class cRenderSurfaceColorDepth;
class cOffscreenCanvas;
class cGDIGraphicsLayer;

// A saved camera (scene box and view transform) that can be put back.
class IViewState
{
public:
    virtual ~IViewState() = default;
    virtual void Restore() = 0;
};

class I3DSceneRenderer
{
public:
    virtual ~I3DSceneRenderer() = default;

    virtual ISceneObjectRenderer* GetObjectRenderer(ISceneObject* object, const GUID& kind) = 0;
    // 0 on success, all bits set on failure.
    virtual std::uint32_t Initialize(HWND* window) = 0;
    virtual void Release() = 0;
    virtual void SetAspect(double aspect) = 0;
    virtual double* GetAspect() = 0;
    virtual void SetViewport(int x, int y, int width, int height) = 0;
    virtual std::uint32_t UploadTexture(const cRGBImage* image) = 0;
    virtual void DeleteTexture(std::uint32_t name) = 0;
    virtual void SetupLights(I3DScene* scene) = 0;
    virtual void SetupProjection(I3DScene* scene) = 0;
    virtual void GetStandardViewTransform(double out[12], I3DScene* scene, int index) = 0;
    virtual bool SetPerspective(bool perspective) = 0;
    virtual bool IsPerspective() = 0;
    virtual void SetFieldOfView(float degrees) = 0;
    virtual float GetFieldOfView() = 0;
    virtual void ZoomAll(I3DScene* scene, ISceneObject* object) = 0;
    virtual std::uint32_t LowerRedrawLevel(std::uint32_t level) = 0;
    virtual std::uint32_t GetRedrawLevel() = 0;
    virtual void BeginFrame(I3DScene* scene) = 0;
    virtual void RenderScene(I3DScene* scene, int flag, std::uint32_t redraw) = 0;
    virtual void EndFrame() = 0;
    virtual void ClearFrame() = 0;
    virtual void FinishFrame() = 0;
    // Window points have rows counted from the top of the client area.
    virtual void ScreenToWorld(const POINT& point, float* x, float* y) = 0;
    virtual void WorldToRectPoint(const RECT& rect, float x, float y, POINT* out) = 0;
    virtual void WorldToScreen(float x, float y, POINT* out) = 0;
    virtual float PixelsToWorld(int pixels) = 0;
    virtual void ProjectPoint(float out[3], const float point[3], bool pushTransform) = 0;
    virtual void ViewToWorld(float out[3], const float point[3]) = 0;
    virtual void PushViewTransform() = 0;
    virtual void PopViewTransform() = 0;
    virtual void ReadColour(cRenderSurfaceColor* image, const RECT& rect, bool fromBack, float alphaBias,
                            float alphaScale) = 0;
    virtual void ReadDepth(cRenderSurfaceDepth* image, const RECT& rect, float depthBias, float depthScale) = 0;
    virtual void ReadColourAndDepth(cRenderSurfaceColorDepth* pair, const RECT& rect) = 0;
    virtual void DrawColour(cRenderSurfaceColor* image, const RECT* rect, bool toBack, int mode) = 0;
    virtual void DrawColourRects(cRenderSurfaceColor* image, const RECT* rects, std::uint32_t count,
                                 bool toBack) = 0;
    virtual void DrawDepth(cRenderSurfaceDepth* image, int mode) = 0;
    virtual void DrawColourAndDepth(cRenderSurfaceColorDepth* pair, const RECT* rect, bool toBack, int mode) = 0;
    virtual void SaveLevel(std::uint32_t level, bool backBuffer) = 0;
    virtual void RestoreLevel(std::uint32_t level, bool backBuffer) = 0;
    virtual void FlipRectYInset(const RECT& in, RECT* out) = 0;
    virtual void FlipPointY(const POINT& in, POINT* out) = 0;
    virtual void FlipRectY(const RECT& in, RECT* out) = 0;
    virtual void GetViewport(RECT* out) = 0;
    virtual cOffscreenCanvas* GetCanvas(std::uint32_t width, std::uint32_t height, bool exact) = 0;
    virtual cGDIGraphicsLayer* GetGDILayer(std::uint32_t width, std::uint32_t height) = 0;
    // Returns whether the renderer's context was already current.
    virtual bool MakeCurrent() = 0;
    virtual void RestoreCurrent() = 0;
    virtual bool IsCurrent() = 0;
    virtual void GetInfoText(std::wstring* out) = 0;
    // A new state of the current camera, owned by the caller.
    virtual IViewState* CreateViewState() = 0;

    // Fired with the renderer when it releases its graphics resources, so
    // that caches holding GL objects can free them first.
    tEvent<I3DSceneRenderer, cEventDummyLocker> m_releaseEvent;

    // Whatever is drawn into the back buffer (a frame, a face-id pass, a
    // pick image) takes a new stamp first. A mode that reads back a picture
    // it left there reads it only while the stamp is still the one its
    // drawing took: anything drawn since has overwritten it.
    std::uint64_t StampBackBuffer() { return ++m_backBufferStamp; }
    std::uint64_t GetBackBufferStamp() const { return m_backBufferStamp; }

private:
    std::uint64_t m_backBufferStamp = 0;
};
