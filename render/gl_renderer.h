// The OpenGL side of a scene renderer: the window's device and rendering
// contexts, the GL defaults, projection and lights, frames, pixel
// transfers between the frame buffer and pixel surfaces, the cached frame
// levels, the offscreen GDI+ canvas and the GDI+ overlay layer. The frame
// itself (RenderScene) is drawn by a derived class.
//
// Every operation that issues GL calls outside a frame makes the renderer's
// context current when it is not, and puts the caller's context back after.
#pragma once

#include "platform/wgl/wgl.h"
#include "render/base_renderer.h"

#include <cstdint>
#include <memory>
#include <string>

class cOffscreenCanvas;
class cGDIGraphicsLayer;
class IFrameBufferCache;

class cGLRenderer : public cBase3DRenderer
{
public:
    // Granularity and first size of the offscreen canvas.
    static constexpr std::uint32_t kCanvasGranularity = 32;
    static constexpr std::uint32_t kInitialCanvasSize = 256;
    // Fixed display-list names of the widgets, per context.
    static constexpr GLuint kListAxisArrows = 50;
    static constexpr GLuint kListAxisCross = 51;
    static constexpr GLuint kListUnitSphere = 52;
    static constexpr GLuint kListArrow = 53;
    static constexpr GLuint kListUnitCube = 54;
    static constexpr GLuint kListUnitCircle = 55;
    static constexpr GLuint kListUnitSquare = 56;
    // The bitmap resource of the axis letters.
    static constexpr std::uint32_t kAxisLetterBitmap = 17034;

    cGLRenderer();
    ~cGLRenderer() override;
    cGLRenderer(const cGLRenderer&) = delete;
    cGLRenderer& operator=(const cGLRenderer&) = delete;

    ISceneObjectRenderer* GetObjectRenderer(ISceneObject* object, const GUID& kind) override;
    std::uint32_t Initialize(HWND* window) override;
    void Release() override;
    void SetAspect(double aspect) override { m_aspect = aspect; }
    double* GetAspect() override { return &m_aspect; }
    void SetViewport(int x, int y, int width, int height) override;
    std::uint32_t UploadTexture(const cRGBImage* image) override;
    void DeleteTexture(std::uint32_t name) override;
    void SetupLights(I3DScene* scene) override;
    void SetupProjection(I3DScene* scene) override;
    bool SetPerspective(bool perspective) override;
    bool IsPerspective() override { return m_perspective; }
    void SetFieldOfView(float degrees) override { m_fieldOfView = degrees; }
    float GetFieldOfView() override { return m_fieldOfView; }
    void ZoomAll(I3DScene* scene, ISceneObject* object) override;
    void BeginFrame(I3DScene* scene) override;
    void EndFrame() override;
    void ClearFrame() override;
    void FinishFrame() override;
    void ProjectPoint(float out[3], const float point[3], bool pushTransform) override;
    void ViewToWorld(float out[3], const float point[3]) override;
    void PushViewTransform() override;
    void PopViewTransform() override;

    // Rectangles of pixel transfers are GL window rectangles: left/top are
    // x0/y0, right/bottom x1/y1, rows counted from the bottom.
    void ReadColour(cRenderSurfaceColor* image, const RECT& rect, bool fromBack, float alphaBias,
                    float alphaScale) override;
    void ReadDepth(cRenderSurfaceDepth* image, const RECT& rect, float depthBias, float depthScale) override;
    void ReadColourAndDepth(cRenderSurfaceColorDepth* pair, const RECT& rect) override;
    void DrawColour(cRenderSurfaceColor* image, const RECT* rect, bool toBack, int mode) override;
    void DrawColourRects(cRenderSurfaceColor* image, const RECT* rects, std::uint32_t count, bool toBack) override;
    void DrawDepth(cRenderSurfaceDepth* image, int mode) override;
    void DrawColourAndDepth(cRenderSurfaceColorDepth* pair, const RECT* rect, bool toBack, int mode) override;

    void SaveLevel(std::uint32_t level, bool backBuffer) override;
    void RestoreLevel(std::uint32_t level, bool backBuffer) override;
    void FlipRectYInset(const RECT& in, RECT* out) override;
    void FlipPointY(const POINT& in, POINT* out) override;
    void FlipRectY(const RECT& in, RECT* out) override;
    void GetViewport(RECT* out) override;
    cOffscreenCanvas* GetCanvas(std::uint32_t width, std::uint32_t height, bool exact) override;
    cGDIGraphicsLayer* GetGDILayer(std::uint32_t width, std::uint32_t height) override;
    bool MakeCurrent() override;
    void RestoreCurrent() override;
    bool IsCurrent() override;
    void GetInfoText(std::wstring* out) override;
    void DrawPivotMarker(const float point[3], float size) override;

    std::uint32_t GetLevelCount() const { return m_levelCount; }
    IFrameBufferCache* GetLevelCache() const { return m_levelCache.get(); }
    HDC GetDeviceContext() const { return m_deviceContext; }
    HGLRC GetRenderingContext() const { return m_renderingContext; }
    HWND GetWindow() const { return m_window; }
    GLuint GetAxisLetterTexture() const { return m_letterTexture; }
    std::uint32_t GetAxisLetterWidth() const { return m_letterWidth; }
    std::uint32_t GetAxisLetterHeight() const { return m_letterHeight; }
    float GetOrthoNear() const { return m_orthoNear; }
    float GetOrthoFar() const { return m_orthoFar; }

protected:
    // The shared widget display lists and the axis-letter texture of the
    // context, made by Initialize.
    virtual void BuildWidgetLists();
    virtual void LoadAxisLetterTexture();

private:
    // Draws rows of a colour image (already clipped) at a window position.
    void DrawColourPart(cRenderSurfaceColor* image, const RECT& part);

    HGLRC m_renderingContext = nullptr;
    HDC m_deviceContext = nullptr;
    HWND m_window = nullptr;
    HGLRC m_savedContext = nullptr;
    HDC m_savedDeviceContext = nullptr;
    bool m_perspective = false;
    float m_fieldOfView = 22.0f;
    float m_orthoNear = -100000.0f;
    float m_orthoFar = 100000.0f;
    float m_perspectiveNear = 100.0f;
    float m_perspectiveFar = -100.0f;
    double m_aspect = 1.0;
    std::unique_ptr<cOffscreenCanvas> m_canvas;
    std::unique_ptr<cGDIGraphicsLayer> m_layer;
    std::uint32_t m_levelCount = 2;
    std::unique_ptr<IFrameBufferCache> m_levelCache;
    GLuint m_letterTexture = 0;
    std::uint32_t m_letterWidth = 0;
    std::uint32_t m_letterHeight = 0;
};
