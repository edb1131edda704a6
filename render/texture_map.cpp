#include "render/texture_map.h"

#include "core/scene_object.h"
#include "render/gl_renderer.h"
#include "render/rgb_image.h"

#include <algorithm>
#include <cstring>

cTextureMap::cTextureMap(std::wstring_view name, ISceneObject* owner) : IAttachedProperty(name, owner)
{
    m_delegate.Bind(this, &cTextureMap::OnRendererReleased);
}

cTextureMap::~cTextureMap()
{
    Clear();
    if (m_renderer)
        m_renderer->m_releaseEvent.Unsubscribe(&m_delegate);
}

void cTextureMap::SetRenderer(cGLRenderer* renderer)
{
    if (renderer == m_renderer)
        return;
    Clear();
    if (m_renderer)
        m_renderer->m_releaseEvent.Unsubscribe(&m_delegate);
    m_renderer = renderer;
    if (m_renderer)
        m_renderer->m_releaseEvent.Subscribe(&m_delegate);
}

void cTextureMap::OnRendererReleased(I3DSceneRenderer*)
{
    Clear();
    m_renderer->m_releaseEvent.Unsubscribe(&m_delegate);
    m_renderer = nullptr;
}

void cTextureMap::DeleteTiles(std::vector<tImagePartVisualisation>& tiles)
{
    // Textures belong to the renderer's context; without it they are only
    // forgotten, never deleted in another context.
    if (m_renderer && !tiles.empty())
    {
        const bool wasCurrent = m_renderer->IsCurrent();
        if (!wasCurrent)
            m_renderer->MakeCurrent();
        if (m_renderer->IsCurrent())
            for (const tImagePartVisualisation& tile : tiles)
                glDeleteTextures(1, &tile.texture);
        if (!wasCurrent)
            m_renderer->RestoreCurrent();
    }
    tiles.clear();
}

void cTextureMap::Clear()
{
    for (auto& entry : m_tiles)
        DeleteTiles(entry.second);
    m_tiles.clear();
}

const std::vector<tImagePartVisualisation>* cTextureMap::FindTiles(const cRGBImage* image) const
{
    auto it = m_tiles.find(image);
    return it == m_tiles.end() ? nullptr : &it->second;
}

const std::vector<tImagePartVisualisation>& cTextureMap::CreateTiles(const cRGBImage* image)
{
    std::vector<tImagePartVisualisation>& tiles = m_tiles[image];
    DeleteTiles(tiles);
    if (!image || !image->HasPixels() || !m_renderer)
        return tiles;
    const bool wasCurrent = m_renderer->IsCurrent();
    if (!wasCurrent)
        m_renderer->MakeCurrent();
    const std::int32_t width = std::int32_t(image->GetWidth()), height = std::int32_t(image->GetHeight());
    std::vector<std::uint8_t> buffer(std::size_t(kTile) * kTile * 3);
    GLint previous = 0, alignment = 4, rowLength = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    for (std::int32_t y = 0; y < height; y += kTile)
        for (std::int32_t x = 0; x < width; x += kTile)
        {
            tImagePartVisualisation tile;
            tile.x0 = x;
            tile.y0 = y;
            tile.x1 = std::min(x + kTile, width);
            tile.y1 = std::min(y + kTile, height);
            const std::int32_t w = tile.x1 - tile.x0, h = tile.y1 - tile.y0;
            tile.s1 = float(w) / float(kTile);
            tile.t0 = 1.0f - float(h) / float(kTile);
            // The tile's rows go to the top of the texture, its first row
            // highest (t = 1 is the top of the picture).
            std::fill(buffer.begin(), buffer.end(), 0);
            for (std::int32_t k = 0; k < h; ++k)
                std::memcpy(buffer.data() + std::size_t(kTile - h + k) * kTile * 3,
                            image->Row(std::uint32_t(tile.y1 - 1 - k)) + std::size_t(tile.x0) * 3, std::size_t(w) * 3);
            glGenTextures(1, &tile.texture);
            glBindTexture(GL_TEXTURE_2D, tile.texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kTile, kTile, 0, GL_BGR_EXT, GL_UNSIGNED_BYTE, buffer.data());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            tiles.push_back(tile);
        }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    if (!wasCurrent)
        m_renderer->RestoreCurrent();
    return tiles;
}

bool cRGBImageGLRenderer::AttachObject(ISceneObject* object)
{
    auto* image = object ? static_cast<IRGBImageObject*>(object->QueryInterface(IID_IRGBImageObject)) : nullptr;
    if (!image)
        return false;
    m_object = object;
    m_image = image;
    return true;
}

std::uint32_t cRGBImageGLRenderer::Render(const stDrawContext& context)
{
    const cRGBImage* image = m_image ? m_image->GetImage() : nullptr;
    if (!image || !image->HasPixels() || !context.renderer)
        return 0;
    cTextureMap* map = GetOrCreateAttachedProperty<cTextureMap>(m_object, cTextureMap::kName);
    if (!map)
        return 0;
    map->SetRenderer(context.renderer);
    const std::vector<tImagePartVisualisation>* tiles = map->FindTiles(image);
    if (!tiles || tiles->empty())
        tiles = &map->CreateTiles(image);

    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_COLOR_MATERIAL);
    glShadeModel(GL_FLAT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (const tImagePartVisualisation& tile : *tiles)
    {
        // Pixel rectangle shifted by half a pixel so texel centres land on
        // pixel centres.
        const float x0 = float(tile.x0) - 0.5f, x1 = float(tile.x1) - 0.5f;
        const float y0 = float(tile.y0) - 0.5f, y1 = float(tile.y1) - 0.5f;
        glBindTexture(GL_TEXTURE_2D, tile.texture);
        glBegin(GL_QUADS);
        glTexCoord2f(tile.s0, tile.t1);
        glVertex3f(x0, y0, -1.0f);
        glTexCoord2f(tile.s1, tile.t1);
        glVertex3f(x1, y0, -1.0f);
        glTexCoord2f(tile.s1, tile.t0);
        glVertex3f(x1, y1, -1.0f);
        glTexCoord2f(tile.s0, tile.t0);
        glVertex3f(x0, y1, -1.0f);
        glEnd();
    }
    if (m_image->ShowsOutlines())
    {
        glDisable(GL_TEXTURE_2D);
        glColor3ub(0, 255, 0);
        glLineWidth(2.0f);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        for (const tImagePartVisualisation& tile : *tiles)
        {
            glBegin(GL_LINE_LOOP);
            glVertex3f(float(tile.x0) - 0.5f, float(tile.y0) - 0.5f, -1.0f);
            glVertex3f(float(tile.x1) - 0.5f, float(tile.y0) - 0.5f, -1.0f);
            glVertex3f(float(tile.x1) - 0.5f, float(tile.y1) - 0.5f, -1.0f);
            glVertex3f(float(tile.x0) - 0.5f, float(tile.y1) - 0.5f, -1.0f);
            glEnd();
        }
    }
    glPopAttrib();
    return 0;
}
