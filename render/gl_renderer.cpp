#include "render/gl_renderer.h"

#include "core/frame_math.h"
#include "core/p3d_scene.h"
#include "core/scene.h"
#include "render/arb_cache.h"
#include "render/gdi_graphics_layer.h"
#include "render/grid_gl_renderer.h"
#include "render/mesh_gl_renderer.h"
#include "render/range_image_gl_renderer.h"
#include "render/textured_mesh_gl_renderer.h"
#include "render/offscreen_canvas.h"
#include "render/sw_frame_buffer_cache.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <cwchar>

namespace
{

constexpr std::uint32_t kFailure = 0xFFFFFFFFu;
constexpr double kHalfPi = 1.5707963705062866;

// Keeps the caller's context around GL calls made outside a frame.
class CurrentScope
{
public:
    explicit CurrentScope(cGLRenderer* renderer) : m_renderer(renderer), m_wasCurrent(renderer->IsCurrent())
    {
        if (!m_wasCurrent)
            m_renderer->MakeCurrent();
    }
    ~CurrentScope()
    {
        if (!m_wasCurrent)
            m_renderer->RestoreCurrent();
    }
    CurrentScope(const CurrentScope&) = delete;
    CurrentScope& operator=(const CurrentScope&) = delete;
    bool Ok() const { return m_renderer->IsCurrent(); }

private:
    cGLRenderer* m_renderer;
    bool m_wasCurrent;
};

std::wstring Widen(const GLubyte* text)
{
    std::wstring out;
    if (text)
        for (const GLubyte* p = text; *p; ++p)
            out.push_back(wchar_t(*p));
    return out;
}

} // namespace

cGLRenderer::cGLRenderer()
{
    // The user-defined view starts as the front view: the inverse of a
    // quarter turn about x.
    double front[12];
    MakeIdentity3x4(front);
    const double axis[3] = {1.0, 0.0, 0.0};
    RotateTransform3x4(front, kHalfPi, axis);
    InvertRigidTransform3x4(front);
    front[3] = front[7] = front[11] = 0.0;
    SetUserDefinedView(front);
}

cGLRenderer::~cGLRenderer() { Release(); }

std::uint32_t cGLRenderer::Initialize(HWND* window)
{
    if (!window)
        return kFailure;
    m_window = *window;
    m_deviceContext = GetDC(m_window);
    if (!m_deviceContext)
        return kFailure;
    const BYTE colourBits = BYTE(GetDeviceCaps(m_deviceContext, BITSPIXEL) * GetDeviceCaps(m_deviceContext, PLANES));
    PIXELFORMATDESCRIPTOR descriptor{};
    descriptor.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = colourBits;
    descriptor.cRedBits = descriptor.cGreenBits = descriptor.cBlueBits = 8;
    descriptor.cDepthBits = 24;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(m_deviceContext, &descriptor);
    if (format == 0 || !SetPixelFormat(m_deviceContext, format, &descriptor))
        return kFailure;
    m_renderingContext = wglCreateContext(m_deviceContext);
    if (!m_renderingContext)
        return kFailure;

    MakeCurrent();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    LoadAxisLetterTexture();
    BuildWidgetLists();
    m_orthoNear = -100000.0f;
    m_orthoFar = 100000.0f;
    m_perspectiveNear = 100.0f;
    m_perspectiveFar = -100.0f;
    SetFieldOfView(23.0f);

    m_canvas = std::make_unique<cOffscreenCanvas>(kCanvasGranularity);
    m_layer = std::make_unique<cGDIGraphicsLayer>();
    m_canvas->Resize(kInitialCanvasSize, kInitialCanvasSize);

    const std::uint32_t levels = std::max<std::uint32_t>(m_levelCount, 1);
    if (HasBufferRegionExtension())
    {
        auto arb = std::make_unique<cARBCache>();
        if (arb->Init(this, levels))
            m_levelCache = std::move(arb);
    }
    if (!m_levelCache)
    {
        auto software = std::make_unique<cSWFrameBufferCache>();
        software->Init(this, levels);
        m_levelCache = std::move(software);
    }
    return 0;
}

void cGLRenderer::Release()
{
    m_releaseEvent.Fire(this);
    // GL objects die in their own context: a view is usually destroyed while
    // another view's context (or none) is current, and names are per
    // context, so freeing them there would delete that view's objects.
    if (m_renderingContext)
    {
        const bool wasCurrent = IsCurrent();
        if (!wasCurrent)
            MakeCurrent();
        if (IsCurrent())
        {
            glDeleteLists(kListAxisArrows, 6);
            glDeleteLists(kListUnitSquare, 1);
            if (m_letterTexture)
                glDeleteTextures(1, &m_letterTexture);
            m_levelCache.reset();
        }
        if (!wasCurrent)
            RestoreCurrent();
    }
    if (m_levelCache)
    {
        // Our context could not be made current (its window is gone): the
        // cache's texture names would be freed in the caller's context, so
        // it goes while no context is current and the caller's comes back.
        HGLRC callerContext = wglGetCurrentContext();
        HDC callerDc = wglGetCurrentDC();
        wglMakeCurrent(nullptr, nullptr);
        m_levelCache.reset();
        if (callerContext)
            wglMakeCurrent(callerDc, callerContext);
    }
    m_letterTexture = 0;
    m_letterWidth = m_letterHeight = 0;
    if (IsCurrent())
        RestoreCurrent();
    if (m_renderingContext)
        wglDeleteContext(m_renderingContext);
    m_renderingContext = nullptr;
    m_canvas.reset();
    m_layer.reset();
    if (m_deviceContext)
        ReleaseDC(m_window, m_deviceContext);
    m_deviceContext = nullptr;
    m_window = nullptr;
}

bool cGLRenderer::MakeCurrent()
{
    if (IsCurrent())
        return true;
    m_savedContext = wglGetCurrentContext();
    m_savedDeviceContext = wglGetCurrentDC();
    wglMakeCurrent(m_deviceContext, m_renderingContext);
    return false;
}

void cGLRenderer::RestoreCurrent()
{
    if (!IsCurrent())
        return;
    if (!wglMakeCurrent(m_savedDeviceContext, m_savedContext))
        wglMakeCurrent(nullptr, nullptr);
    m_savedContext = nullptr;
    m_savedDeviceContext = nullptr;
}

bool cGLRenderer::IsCurrent() { return m_renderingContext && wglGetCurrentContext() == m_renderingContext; }

void cGLRenderer::SetViewport(int x, int y, int width, int height)
{
    CurrentScope scope(this);
    if (scope.Ok())
        glViewport(x, y, width, height);
}

void cGLRenderer::GetViewport(RECT* out)
{
    if (!out)
        return;
    *out = RECT{0, 0, 0, 0};
    CurrentScope scope(this);
    if (!scope.Ok())
        return;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    *out = RECT{viewport[0], viewport[1], viewport[0] + viewport[2], viewport[1] + viewport[3]};
}

bool cGLRenderer::SetPerspective(bool perspective) { return std::exchange(m_perspective, perspective); }

void cGLRenderer::ZoomAll(I3DScene* scene, ISceneObject* object)
{
    if (!scene)
        return;
    ClearInteractionPoint();
    SetPan(0.0, 0.0);
    double transform[12];
    std::memcpy(transform, GetViewTransform(), sizeof(transform));
    SetViewTransformAndZoomExtents(transform, scene, object);
    SetupProjection(scene);
}

void cGLRenderer::SetupLights(I3DScene* scene)
{
    if (!scene || !m_deviceContext)
        return;
    CurrentScope scope(this);
    if (!scope.Ok())
        return;
    glEnable(GL_NORMALIZE);
    const GLfloat ambient[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    // A head light: directional (w = 0), shining from the eye along the line
    // of sight. (0, 0, -1) would name the light's place behind the scene, and
    // every face turned to the viewer would keep its ambient colour only.
    const GLfloat position[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
}

void cGLRenderer::SetupProjection(I3DScene* scene)
{
    CurrentScope scope(this);
    if (!scope.Ok())
        return;
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    if (mode != GL_PROJECTION)
        glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (!m_perspective)
    {
        FitSceneBoxToAspect(m_aspect);
        float min[3], max[3];
        GetSceneBox(min, max);
        glOrtho(min[0], max[0], min[1], max[1], m_orthoNear, m_orthoFar);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    else
    {
        gluPerspective(m_fieldOfView, m_aspect, m_perspectiveNear, m_perspectiveFar);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        float box[6] = {FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
        if (scene)
            scene->GetBoundingBox(box);
        // Without a scene, or with an empty one, the camera's own box sets
        // the distance, so the eye never goes to infinity.
        if (!(box[0] <= box[3] && box[1] <= box[4] && box[2] <= box[5]) || box[0] <= -FLT_MAX || box[3] >= FLT_MAX)
            GetSceneBox(box, box + 3);
        const double dx = (double(box[3]) - box[0]) * 0.5, dy = (double(box[4]) - box[1]) * 0.5,
                     dz = (double(box[5]) - box[2]) * 0.5;
        double r = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (!std::isfinite(r))
            r = 1.0;
        const float* c = GetSceneCentre();
        gluLookAt(c[0], c[1], c[2] + r / std::tan(m_fieldOfView * 0.5 * M_PI / 180.0), c[0], c[1], c[2], 0.0, 1.0,
                  0.0);
    }
    GLint now = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &now);
    if (now != mode)
        glMatrixMode(GLenum(mode));
}

void cGLRenderer::BeginFrame(I3DScene* scene)
{
    StampBackBuffer();
    if (!m_deviceContext)
        return;
    CurrentScope scope(this);
    if (!scope.Ok())
        return;
    float colour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    if (auto* base = dynamic_cast<cBase3DScene*>(scene))
        if (const stColourEntry* top = base->GetColourSettings().Find(kColourBackgroundTop))
            RegistryValueToColour(top->currentValue, colour);
    glClearColor(colour[0], colour[1], colour[2], colour[3]);
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void cGLRenderer::EndFrame()
{
    CurrentScope scope(this);
    if (!scope.Ok())
        return;
    glFlush();
    glFinish();
    SwapBuffers(m_deviceContext);
}

void cGLRenderer::ClearFrame() { BeginFrame(nullptr); }

void cGLRenderer::FinishFrame()
{
    CurrentScope scope(this);
    if (!scope.Ok())
        return;
    glFlush();
    glFinish();
    glReadBuffer(GL_BACK);
}

void cGLRenderer::ProjectPoint(float out[3], const float point[3], bool pushTransform)
{
    const double* t = GetViewTransform();
    const float* c = GetSceneCentre();
    const double d[3] = {double(point[0]) - c[0], double(point[1]) - c[1], double(point[2]) - c[2]};
    for (int row = 0; row < 3; ++row)
        out[row] = float(t[row * 4] * d[0] + t[row * 4 + 1] * d[1] + t[row * 4 + 2] * d[2] + t[row * 4 + 3]);
    if (!m_perspective)
        return;
    CurrentScope scope(this);
    if (!scope.Ok())
        return;
    if (pushTransform)
        PushViewTransform();
    GLdouble modelView[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx = 0, wy = 0, wz = 0;
    if (gluProject(point[0], point[1], point[2], modelView, projection, viewport, &wx, &wy, &wz) == GL_TRUE)
    {
        out[0] = float(wx);
        out[1] = float(wy);
    }
    if (pushTransform)
        PopViewTransform();
}

void cGLRenderer::ViewToWorld(float out[3], const float point[3])
{
    const double* t = GetViewTransform();
    const float* c = GetSceneCentre();
    const double v[3] = {double(point[0]) - t[3], double(point[1]) - t[7], double(point[2]) - t[11]};
    for (int column = 0; column < 3; ++column)
        out[column] = float(t[column] * v[0] + t[4 + column] * v[1] + t[8 + column] * v[2] + c[column]);
}

void cGLRenderer::PushViewTransform()
{
    const double* t = GetViewTransform();
    const float* c = GetSceneCentre();
    const GLfloat matrix[16] = {float(t[0]), float(t[4]), float(t[8]),  0.0f, float(t[1]), float(t[5]),
                                float(t[9]), 0.0f,        float(t[2]),  float(t[6]), float(t[10]), 0.0f,
                                float(t[3]), float(t[7]), float(t[11]), 1.0f};
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(c[0], c[1], c[2]);
    glMultMatrixf(matrix);
    glTranslatef(-c[0], -c[1], -c[2]);
}

void cGLRenderer::PopViewTransform()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void cGLRenderer::SaveLevel(std::uint32_t level, bool backBuffer)
{
    if (!m_levelCache)
        return;
    CurrentScope scope(this);
    if (scope.Ok())
        m_levelCache->SaveLevel(level, backBuffer);
}

void cGLRenderer::RestoreLevel(std::uint32_t level, bool backBuffer)
{
    if (!m_levelCache)
        return;
    CurrentScope scope(this);
    if (scope.Ok())
        m_levelCache->RestoreLevel(level, backBuffer);
}

void cGLRenderer::FlipRectY(const RECT& in, RECT* out)
{
    RECT viewport;
    GetViewport(&viewport);
    const LONG b = viewport.bottom;
    const RECT flipped{in.left, b - in.bottom, in.right, b - in.top};
    *out = flipped;
}

void cGLRenderer::FlipRectYInset(const RECT& in, RECT* out)
{
    FlipRectY(in, out);
    out->top -= 2;
    out->bottom -= 2;
}

void cGLRenderer::FlipPointY(const POINT& in, POINT* out)
{
    RECT viewport;
    GetViewport(&viewport);
    *out = POINT{in.x, viewport.bottom - in.y - 1};
}

cOffscreenCanvas* cGLRenderer::GetCanvas(std::uint32_t width, std::uint32_t height, bool exact)
{
    if (!m_canvas)
        return nullptr;
    const std::uint32_t currentWidth = m_canvas->GetWidth(), currentHeight = m_canvas->GetHeight();
    if (currentWidth >= width && currentHeight >= height)
    {
        if (exact && (currentWidth != width || currentHeight != height))
            m_canvas->Resize(width, height);
        return m_canvas.get();
    }
    m_canvas->Resize(std::max(currentWidth, width), std::max(currentHeight, height));
    return m_canvas.get();
}

cGDIGraphicsLayer* cGLRenderer::GetGDILayer(std::uint32_t width, std::uint32_t height)
{
    if (!m_layer)
        m_layer = std::make_unique<cGDIGraphicsLayer>();
    if (m_layer->GetWidth() != width || m_layer->GetHeight() != height)
        m_layer->Resize(width, height);
    return m_layer.get();
}

void cGLRenderer::GetInfoText(std::wstring* out)
{
    if (!out)
        return;
    out->clear();
    CurrentScope scope(this);
    if (scope.Ok())
    {
        *out += L"OpenGL vendor: " + Widen(glGetString(GL_VENDOR)) + L"\n";
        *out += L"OpenGL renderer: " + Widen(glGetString(GL_RENDERER)) + L"\n";
        *out += L"OpenGL ver: " + Widen(glGetString(GL_VERSION)) + L"\n";
        std::wstring extensions = Widen(glGetString(GL_EXTENSIONS));
        std::replace(extensions.begin(), extensions.end(), L' ', L'\n');
        *out += L"OpenGL extensions:\n" + extensions + L"\n";
        GLint dims[2] = {0, 0};
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
        wchar_t line[64];
        std::swprintf(line, 64, L"OpenGL max viewport dimensions: %dx%d\n\n", dims[0], dims[1]);
        *out += line;
    }
    *out += L"Cache implementation: ";
    *out += m_levelCache ? m_levelCache->GetInfoText() + L"\n\n" : std::wstring(L"NONE.\n\n");
    *out += L"Canvas object: ";
    if (m_canvas)
    {
        wchar_t line[64];
        std::swprintf(line, 64, L"%dx%d\n\n", int(m_canvas->GetWidth()), int(m_canvas->GetHeight()));
        *out += line;
    }
    else
        *out += L"NONE.\n\n";
}

void cGLRenderer::DrawPivotMarker(const float point[3], float size)
{
    if (std::fabs(point[0] - FLT_MAX) < FLT_EPSILON)
        return;
    PushViewTransform();
    const GLboolean lighting = glIsEnabled(GL_LIGHTING);
    glDisable(GL_LIGHTING);
    glTranslatef(point[0], point[1], point[2]);
    glColor3f(1.0f, 0.0f, 0.0f);
    glPointSize(size);
    glScalef(size, size, size);
    glCallList(kListAxisCross);
    if (lighting)
        glEnable(GL_LIGHTING);
    PopViewTransform();
}

ISceneObjectRenderer* cGLRenderer::GetObjectRenderer(ISceneObject* object, const GUID& kind)
{
    // One drawer of each kind serves every renderer: the frame binds it to
    // an object, draws, and moves on.
    static cMeshGLRenderer meshRenderer;
    static cTexturedMeshGLRenderer texturedRenderer;
    static cRIDataGLRenderer rangeImageRenderer;
    static cGridGLRenderer gridRenderer;
    if (!object)
        return nullptr;
    if (kind == kMeshRendererKind)
        return meshRenderer.AttachObject(object) ? &meshRenderer : nullptr;
    if (kind == kTexturedMeshRendererKind)
    {
        auto* textured = static_cast<ITexturedMeshObject*>(object->QueryInterface(IID_ITexturedMeshObject));
        if (!textured || !textured->HasTexture() || !AllTexturesBound(textured))
            return nullptr;
        return texturedRenderer.AttachObject(object) ? &texturedRenderer : nullptr;
    }
    if (kind == kRangeImageRendererKind)
        return rangeImageRenderer.AttachObject(object) ? &rangeImageRenderer : nullptr;
    if (kind == kGridRendererKind)
        return gridRenderer.AttachObject(object) ? &gridRenderer : nullptr;
    return nullptr;
}

void cGLRenderer::DeleteTexture(std::uint32_t name)
{
    CurrentScope scope(this);
    if (!scope.Ok())
        return;
    const GLuint texture = name;
    glDeleteTextures(1, &texture);
}

