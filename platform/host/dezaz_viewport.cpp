#include "platform/host/dezaz_viewport.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/display_conduit.h"
#include "platform/host/display_pipeline.h"
#include "platform/wgl/pixel_probe.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/win32.h"

#include <algorithm>
#include <cmath>

namespace
{

std::vector<CDezazViewport*>& Alive()
{
    static std::vector<CDezazViewport*> viewports;
    return viewports;
}

LRESULT ViewportProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* viewport = reinterpret_cast<CDezazViewport*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_PAINT)
    {
        PAINTSTRUCT ps{};
        BeginPaint(window, &ps);
        if (viewport)
            viewport->DrawFrame();
        EndPaint(window, &ps);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcW(window, message, wparam, lparam);
}

const wchar_t* ViewportClass()
{
    static const wchar_t* name = [] {
        WNDCLASSW wc{};
        wc.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &ViewportProc;
        wc.lpszClassName = L"DezazViewport";
        RegisterClassW(&wc);
        return L"DezazViewport";
    }();
    return name;
}

// Whether the conduit is still enabled: one may disable (or delete) another
// while the frame is drawn, so the list is asked, not the conduit.
bool StillEnabled(const CDezazDisplayConduit* conduit)
{
    const auto enabled = CDezazDisplayConduit::EnabledConduits();
    return std::find(enabled.begin(), enabled.end(), conduit) != enabled.end();
}

void RunChannel(CDezazDisplayPipeline& pipeline, const std::vector<CDezazDisplayConduit*>& conduits, UINT channel)
{
    pipeline.SetChannel(channel);
    for (CDezazDisplayConduit* conduit : conduits)
        if (StillEnabled(conduit) && (conduit->ChannelMask() & channel) != 0)
            conduit->ExecConduit(pipeline, channel);
}

} // namespace

CDezazViewport::CDezazViewport() : m_attrs(CDezazDisplayAttrsMgr::FindDisplayAttrs(L"Shaded"))
{
    // Direction first: the default up would be parallel to the new one's.
    m_vp.SetCameraDirection(ON_3dVector(-1, 1, -0.8));
    m_vp.SetCameraUp(ON_3dVector(0, 0, 1));
    Alive().push_back(this);
}

CDezazViewport::~CDezazViewport()
{
    Destroy();
    auto& alive = Alive();
    alive.erase(std::remove(alive.begin(), alive.end(), this), alive.end());
}

CDezazViewport* CDezazViewport::ActiveViewport()
{
    return Alive().empty() ? nullptr : Alive().back();
}

bool CDezazViewport::Create(HWND parent, const RECT& rect, CDezazDoc* doc)
{
    Destroy();
    m_doc = doc;
    const DWORD style = (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE;
    m_window = CreateWindowExW(0, ViewportClass(), L"", style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, nullptr, nullptr, nullptr);
    if (!m_window)
        return false;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_dc = GetDC(m_window);
    PIXELFORMATDESCRIPTOR descriptor{};
    descriptor.nSize = sizeof(descriptor);
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 24;
    descriptor.cDepthBits = 24;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(m_dc, &descriptor);
    if (format != 0 && SetPixelFormat(m_dc, format, &descriptor))
        m_context = wglCreateContext(m_dc);
    return m_context != nullptr;
}

void CDezazViewport::Destroy()
{
    if (m_context)
    {
        if (wglGetCurrentContext() == m_context)
            wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(m_context);
        m_context = nullptr;
    }
    if (m_window)
    {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        if (m_dc)
            ReleaseDC(m_window, m_dc);
        DestroyWindow(m_window);
    }
    m_window = nullptr;
    m_dc = nullptr;
}

bool CDezazViewport::Move(const RECT& rect)
{
    return m_window && MoveWindow(m_window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void CDezazViewport::SetDisplayAttrs(const CDisplayPipelineAttributes* attrs)
{
    if (attrs)
        m_attrs = attrs;
}

CDezazDoc* CDezazViewport::Document() const
{
    return m_doc ? m_doc : &DezazApp().ActiveDoc();
}

ON_3dPoint CDezazViewport::WorldToScreen(const ON_3dPoint& point) const
{
    ON_Xform xform;
    m_vp.GetXform(ON_Viewport::coordinate_system::world_cs, ON_Viewport::coordinate_system::screen_cs, xform);
    return xform * point;
}

void CDezazViewport::DrawInferencePoint(const ON_3dPoint& point, ON_Color colour)
{
    if (!m_frame)
        return;
    // Over the scene whatever the channel, as snap marks always show.
    const GLboolean depth = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_DEPTH_TEST);
    m_frame->DrawPoint(point, colour, kInferencePointSize);
    if (depth)
        glEnable(GL_DEPTH_TEST);
}

bool CDezazViewport::DrawFrame()
{
    if (!m_window || !m_context || m_frame)
        return false;
    RECT client{};
    GetClientRect(m_window, &client);
    const int width = client.right - client.left, height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return false;
    // Plug-in views keep their own contexts current between their frames.
    const HGLRC previous_context = wglGetCurrentContext();
    const HDC previous_dc = wglGetCurrentDC();
    if (!wglMakeCurrent(m_dc, m_context))
        return false;
    m_vp.SetScreenPort(0, width, height, 0);

    CDezazDisplayPipeline pipeline(*this, Document(), *m_attrs);
    m_frame = &pipeline;
    const std::vector<CDezazDisplayConduit*> conduits = CDezazDisplayConduit::EnabledConduits();
    for (CDezazDisplayConduit* conduit : conduits)
        if (StillEnabled(conduit))
            conduit->NotifyConduit(CDezazDisplayConduit::notification::frame_started, pipeline);

    ON_BoundingBox extents;
    for (const CDezazObject* object : Document()->Objects())
        if (object->IsVisible())
            extents.Union(object->BoundingBox());
    pipeline.GetChannelAttrs()->m_BoundingBox = extents;
    RunChannel(pipeline, conduits, SC_CALCBOUNDINGBOX);
    if (m_zoom_extents)
        m_vp.ZoomToBoundingBox(pipeline.GetChannelAttrs()->m_BoundingBox);

    DrawScene(pipeline);
    RunChannel(pipeline, conduits, SC_DRAWOBJECT);
    glDisable(GL_DEPTH_TEST);
    RunChannel(pipeline, conduits, SC_DRAWFOREGROUND);
    glEnable(GL_DEPTH_TEST);
    pipeline.SetChannel(0);
    glFinish();

    // Which dots the scene hides has to be read before the buffer is shown.
    std::vector<DezazPendingDot> shown;
    for (const DezazPendingDot& dot : pipeline.PendingDots())
    {
        const ON_3dPoint s = WorldToScreen(dot.point);
        if (!std::isfinite(s.x) || !std::isfinite(s.y) || s.x < 0 || s.y < 0 || s.x >= width || s.y >= height)
            continue;
        if (!dot.always_on_top &&
            wgl::ReadGlDepth(static_cast<int>(s.x), height - 1 - static_cast<int>(s.y)) < s.z - 1e-4)
            continue;
        shown.push_back(dot);
    }
    SwapBuffers(m_dc);
    m_frame = nullptr;

    HDC dc = GetDC(m_window);
    HGDIOBJ old_font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    for (const DezazPendingDot& dot : shown)
    {
        const ON_3dPoint s = WorldToScreen(dot.point);
        SIZE size{};
        GetTextExtentPoint32W(dc, dot.text.c_str(), static_cast<int>(dot.text.size()), &size);
        const int x = static_cast<int>(std::lround(s.x)), y = static_cast<int>(std::lround(s.y));
        RECT frame{x - size.cx / 2 - 4, y - size.cy / 2 - 2, x + (size.cx + 1) / 2 + 4, y + (size.cy + 1) / 2 + 2};
        HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(dot.dot_colour & 0xFFFFFFu));
        FillRect(dc, &frame, brush);
        DeleteObject(brush);
        SetTextColor(dc, static_cast<COLORREF>(dot.text_colour & 0xFFFFFFu));
        DrawTextW(dc, dot.text.c_str(), static_cast<int>(dot.text.size()), &frame,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, old_font);
    ReleaseDC(m_window, dc);

    for (CDezazDisplayConduit* conduit : conduits)
        if (StillEnabled(conduit))
            conduit->NotifyConduit(CDezazDisplayConduit::notification::frame_finished, pipeline);
    if (previous_context)
        wglMakeCurrent(previous_dc, previous_context);
    else
        wglMakeCurrent(nullptr, nullptr);
    return true;
}

void CDezazViewport::DrawScene(CDezazDisplayPipeline& pipeline)
{
    const RECT port{0, 0, m_vp.ScreenPortWidth(), m_vp.ScreenPortHeight()};
    glViewport(0, 0, port.right, port.bottom);
    const ON_Color background = m_attrs->m_background;
    glClearColor(background.Red() / 255.0f, background.Green() / 255.0f, background.Blue() / 255.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_DITHER);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    pipeline.LoadCamera();
    pipeline.SetChannel(0);
    for (const CDezazObject* object : pipeline.Document()->Objects())
        if (object->IsVisible())
            pipeline.DrawObject(object);
}
