#include "render/arb_cache.h"

#include "render/gl_renderer.h"

#include <cwchar>

bool HasBufferRegionExtension()
{
    return wglGetProcAddress("wglCreateBufferRegionARB") && wglGetProcAddress("wglDeleteBufferRegionARB") &&
           wglGetProcAddress("wglSaveBufferRegionARB") && wglGetProcAddress("wglRestoreBufferRegionARB");
}

cARBCache::~cARBCache() { ReleaseAll(); }

bool cARBCache::Init(cGLRenderer* renderer, std::uint32_t levelCount)
{
    ReleaseAll();
    if (!m_create)
        m_create = reinterpret_cast<PFNWGLCREATEBUFFERREGIONARBPROC>(wglGetProcAddress("wglCreateBufferRegionARB"));
    if (!m_delete)
        m_delete = reinterpret_cast<PFNWGLDELETEBUFFERREGIONARBPROC>(wglGetProcAddress("wglDeleteBufferRegionARB"));
    if (!m_save)
        m_save = reinterpret_cast<PFNWGLSAVEBUFFERREGIONARBPROC>(wglGetProcAddress("wglSaveBufferRegionARB"));
    if (!m_restore)
        m_restore =
            reinterpret_cast<PFNWGLRESTOREBUFFERREGIONARBPROC>(wglGetProcAddress("wglRestoreBufferRegionARB"));
    if (!m_create || !m_delete || !m_save || !m_restore)
        return false;
    m_levels.assign(levelCount, stLevel{});
    m_renderer = renderer;
    return true;
}

void cARBCache::ReleaseAll()
{
    for (stLevel& level : m_levels)
        if (level.region && m_delete)
            m_delete(level.region);
    m_levels.clear();
    m_renderer = nullptr;
}

std::uint32_t cARBCache::GetValidLevelCount()
{
    // A level saved at another viewport size cannot be restored, so it does
    // not count either.
    RECT viewport{0, 0, 0, 0};
    if (m_renderer)
        m_renderer->GetViewport(&viewport);
    const std::uint32_t width = std::uint32_t(viewport.right - viewport.left);
    const std::uint32_t height = std::uint32_t(viewport.bottom - viewport.top);
    std::uint32_t count = 0;
    for (const stLevel& level : m_levels)
    {
        if (!level.region || level.width == 0 || level.height == 0 || level.width != width || level.height != height)
            break;
        ++count;
    }
    return count;
}

std::wstring cARBCache::GetInfoText()
{
    wchar_t text[1024];
    std::swprintf(text, 1024, L"ARBCache\nOverlays: %d\nCurrent cached level: %d", int(m_levels.size()),
                  int(GetValidLevelCount()));
    return text;
}

void cARBCache::SaveLevel(std::uint32_t level, bool fromBack)
{
    if (!m_renderer || level >= m_levels.size())
        return;
    glReadBuffer(fromBack ? GL_BACK : GL_FRONT);
    glFinish();
    RECT viewport;
    m_renderer->GetViewport(&viewport);
    const LONG width = viewport.right - viewport.left, height = viewport.bottom - viewport.top;
    stLevel& record = m_levels[level];
    if (width <= 0 || height <= 0)
    {
        record.width = record.height = 0;
        return;
    }
    if (record.region && (record.width != std::uint32_t(width) || record.height != std::uint32_t(height)))
    {
        m_delete(record.region);
        record.region = nullptr;
    }
    if (!record.region)
    {
        const UINT type = fromBack ? WGL_BACK_COLOR_BUFFER_BIT_ARB | WGL_DEPTH_BUFFER_BIT_ARB
                                   : WGL_FRONT_COLOR_BUFFER_BIT_ARB | WGL_DEPTH_BUFFER_BIT_ARB;
        record.region = m_create(m_renderer->GetDeviceContext(), 0, type);
        if (!record.region)
        {
            record.width = record.height = 0;
            return;
        }
    }
    record.width = std::uint32_t(width);
    record.height = std::uint32_t(height);
    if (!m_save(record.region, viewport.left, viewport.top, width, height))
        record.width = record.height = 0;
}

void cARBCache::RestoreLevel(std::uint32_t level, bool toBack)
{
    if (!m_renderer || level >= m_levels.size())
        return;
    glDrawBuffer(toBack ? GL_BACK : GL_FRONT);
    const stLevel& record = m_levels[level];
    RECT viewport;
    m_renderer->GetViewport(&viewport);
    const LONG width = viewport.right - viewport.left, height = viewport.bottom - viewport.top;
    if (!record.region || record.width == 0 || record.height == 0 || std::uint32_t(width) != record.width ||
        std::uint32_t(height) != record.height)
        return;
    m_restore(record.region, viewport.left, viewport.top, width, height, 0, 0);
    glFinish();
}
