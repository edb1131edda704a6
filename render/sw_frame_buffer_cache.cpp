#include "render/sw_frame_buffer_cache.h"

#include "platform/wgl/wgl.h"
#include "render/gl_renderer.h"

#include <cwchar>

namespace
{

bool SameSize(const RECT& a, const RECT& b)
{
    return a.right - a.left == b.right - b.left && a.bottom - a.top == b.bottom - b.top;
}

} // namespace

cGLCache::~cGLCache() { Clear(); }

void cGLCache::Clear()
{
    if (m_count)
        glDeleteTextures(GLsizei(m_count), m_textures);
    m_count = 0;
    m_rect = RECT{0, 0, 0, 0};
}

bool cGLCache::Save(bool fromBack)
{
    RECT viewport;
    m_renderer->GetViewport(&viewport);
    const LONG width = viewport.right - viewport.left, height = viewport.bottom - viewport.top;
    const std::uint32_t across = width > 0 ? std::uint32_t((width + kTileSize - 1) / kTileSize) : 0;
    const std::uint32_t down = height > 0 ? std::uint32_t((height + kTileSize - 1) / kTileSize) : 0;
    if (across == 0 || down == 0 || std::uint64_t(across) * down > kMaxTiles)
    {
        Clear();
        return false;
    }
    m_rect = viewport;
    const std::uint32_t wanted = across * down;
    if (m_count > wanted)
    {
        glDeleteTextures(GLsizei(m_count - wanted), m_textures + wanted);
        m_count = wanted;
    }
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    if (m_count < wanted)
    {
        glGenTextures(GLsizei(wanted - m_count), m_textures + m_count);
        for (std::uint32_t i = m_count; i < wanted; ++i)
        {
            glBindTexture(GL_TEXTURE_2D, m_textures[i]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        }
        m_count = wanted;
    }
    GLint readBuffer = GL_BACK;
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glReadBuffer(fromBack ? GL_BACK : GL_FRONT);
    std::uint32_t next = 0;
    for (LONG y = viewport.top; y < viewport.bottom; y += LONG(kTileSize))
        for (LONG x = viewport.left; x < viewport.right; x += LONG(kTileSize))
        {
            glBindTexture(GL_TEXTURE_2D, m_textures[next++]);
            glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, x, y, GLsizei(kTileSize), GLsizei(kTileSize), 0);
        }
    glReadBuffer(GLenum(readBuffer));
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    return true;
}

void cGLCache::Restore(bool toBack)
{
    if (m_count == 0)
        return;
    RECT viewport;
    m_renderer->GetViewport(&viewport);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT |
                 GL_TEXTURE_BIT | GL_CURRENT_BIT | GL_TRANSFORM_BIT);
    glDrawBuffer(toBack ? GL_BACK : GL_FRONT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport.left, viewport.right, viewport.top, viewport.bottom, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glShadeModel(GL_FLAT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    std::uint32_t next = 0;
    const float tile = float(kTileSize);
    for (LONG y = m_rect.top; y < m_rect.bottom && next < m_count; y += LONG(kTileSize))
        for (LONG x = m_rect.left; x < m_rect.right && next < m_count; x += LONG(kTileSize))
        {
            glBindTexture(GL_TEXTURE_2D, m_textures[next++]);
            const float x0 = float(x - m_rect.left + viewport.left), y0 = float(y - m_rect.top + viewport.top);
            glBegin(GL_QUADS);
            glTexCoord2f(0.0f, 0.0f);
            glVertex2f(x0, y0);
            glTexCoord2f(1.0f, 0.0f);
            glVertex2f(x0 + tile, y0);
            glTexCoord2f(1.0f, 1.0f);
            glVertex2f(x0 + tile, y0 + tile);
            glTexCoord2f(0.0f, 1.0f);
            glVertex2f(x0, y0 + tile);
            glEnd();
        }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

cSWFrameBufferCache::~cSWFrameBufferCache() { ReleaseAll(); }

bool cSWFrameBufferCache::Init(cGLRenderer* renderer, std::uint32_t levelCount)
{
    ReleaseAll();
    m_levelCount = levelCount;
    m_caches.resize(levelCount);
    m_surfaces.resize(levelCount);
    m_depths.resize(levelCount);
    m_renderer = renderer;
    return true;
}

void cSWFrameBufferCache::ReleaseAll()
{
    m_caches.clear();
    m_surfaces.clear();
    m_depths.clear();
    m_levelCount = 0;
    m_renderer = nullptr;
}

bool cSWFrameBufferCache::IsValid(std::uint32_t level) const
{
    const cGLCache* cache = level < m_caches.size() ? m_caches[level].get() : nullptr;
    if (!cache || cache->GetTextureCount() == 0 || !m_renderer)
        return false;
    RECT viewport;
    m_renderer->GetViewport(&viewport);
    return SameSize(viewport, cache->GetRect());
}

std::uint32_t cSWFrameBufferCache::GetValidLevelCount()
{
    std::uint32_t count = 0;
    while (count < m_levelCount && IsValid(count))
        ++count;
    return count;
}

std::wstring cSWFrameBufferCache::GetInfoText()
{
    wchar_t text[1024];
    std::swprintf(text, 1024, L"SWFrameBufferCache\nOverlays: %d\nCurrent cached level: %d", int(m_levelCount),
                  int(GetValidLevelCount()));
    return text;
}

void cSWFrameBufferCache::SaveLevel(std::uint32_t level, bool fromBack)
{
    if (level >= m_levelCount || !m_renderer)
        return;
    if (!m_surfaces[level])
        m_surfaces[level] = std::make_unique<cRenderSurfaceColor>();
    RECT viewport;
    m_renderer->GetViewport(&viewport);
    m_renderer->ReadColour(m_surfaces[level].get(), viewport, fromBack, 0.0f, 1.0f);
    if (!m_depths[level])
        m_depths[level] = std::make_unique<cRenderSurfaceDepth>();
    m_renderer->ReadDepth(m_depths[level].get(), viewport, 0.0f, 1.0f);
    if (!m_caches[level])
        m_caches[level] = std::make_unique<cGLCache>(m_renderer);
    if (!m_caches[level]->Save(fromBack))
    {
        // Refused: nothing of this level may be restored.
        m_surfaces[level]->Release();
        m_depths[level]->Release();
    }
}

void cSWFrameBufferCache::RestoreLevel(std::uint32_t level, bool toBack)
{
    if (level >= m_levelCount || !IsValid(level))
        return;
    m_caches[level]->Restore(toBack);
    if (m_surfaces[level] && m_surfaces[level]->HasPixels())
        m_renderer->DrawColour(m_surfaces[level].get(), nullptr, toBack, 0);
    if (m_depths[level] && m_depths[level]->HasValues())
        m_renderer->DrawDepth(m_depths[level].get(), 0);
}
