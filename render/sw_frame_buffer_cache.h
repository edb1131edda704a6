// Levels kept by copying the frame into 512 x 512 textures (and a pixel
// surface) and drawing them back, for GL implementations without buffer
// regions.
#pragma once

#include "platform/win32/types.h"
#include "render/frame_buffer_cache.h"
#include "render/render_surface.h"

#include <cstdint>
#include <memory>
#include <vector>

// The texture tiles of one saved level.
class cGLCache
{
public:
    static constexpr std::uint32_t kTileSize = 512;
    static constexpr std::uint32_t kMaxTiles = 256;

    explicit cGLCache(cGLRenderer* renderer) : m_renderer(renderer) {}
    virtual ~cGLCache();
    cGLCache(const cGLCache&) = delete;
    cGLCache& operator=(const cGLCache&) = delete;

    // Copies the viewport into tiles. A viewport that would need more than
    // kMaxTiles tiles is refused: the cache is emptied and false returned.
    bool Save(bool fromBack);
    void Restore(bool toBack);
    // Deletes every texture and forgets the viewport.
    void Clear();

    std::uint32_t GetTextureCount() const { return m_count; }
    // The viewport (x0, y0, x1, y1) of the last save; empty when none.
    const RECT& GetRect() const { return m_rect; }

private:
    std::uint32_t m_textures[kMaxTiles] = {};
    std::uint32_t m_count = 0;
    cGLRenderer* m_renderer;
    RECT m_rect{0, 0, 0, 0};
};

class cSWFrameBufferCache : public IFrameBufferCache
{
public:
    cSWFrameBufferCache() = default;
    ~cSWFrameBufferCache() override;

    bool Init(cGLRenderer* renderer, std::uint32_t levelCount) override;
    void ReleaseAll() override;
    // A level counts as valid only while the viewport has the size it was
    // saved at.
    std::uint32_t GetValidLevelCount() override;
    std::wstring GetInfoText() override;
    void SaveLevel(std::uint32_t level, bool fromBack) override;
    // An invalid level (never saved, or saved at another viewport) is not
    // drawn: the caller redraws it.
    void RestoreLevel(std::uint32_t level, bool toBack) override;

    const cGLCache* GetLevelCache(std::uint32_t level) const
    {
        return level < m_caches.size() ? m_caches[level].get() : nullptr;
    }

private:
    bool IsValid(std::uint32_t level) const;

    std::uint32_t m_levelCount = 0;
    std::vector<std::unique_ptr<cGLCache>> m_caches;
    std::vector<std::unique_ptr<cRenderSurfaceColor>> m_surfaces;
    // The depth of each saved level: later levels draw over a restored
    // picture, and what lies behind it must stay hidden there too.
    std::vector<std::unique_ptr<cRenderSurfaceDepth>> m_depths;
    cGLRenderer* m_renderer = nullptr;
};
