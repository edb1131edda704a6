// Levels kept in buffer regions of the window (colour and depth), copied
// inside the GL implementation.
#pragma once

#include "platform/wgl/wgl.h"
#include "render/frame_buffer_cache.h"

#include <vector>

class cARBCache : public IFrameBufferCache
{
public:
    struct stLevel
    {
        HANDLE region = nullptr;
        std::uint32_t width = 0; // 0: nothing valid saved
        std::uint32_t height = 0;
    };

    cARBCache() = default;
    ~cARBCache() override;

    // False when an entry point of the extension is missing.
    bool Init(cGLRenderer* renderer, std::uint32_t levelCount) override;
    void ReleaseAll() override;
    // Levels saved at the current viewport's size, counted from level 0.
    std::uint32_t GetValidLevelCount() override;
    std::wstring GetInfoText() override;
    void SaveLevel(std::uint32_t level, bool fromBack) override;
    // Only a level saved at the current viewport's size is put back.
    void RestoreLevel(std::uint32_t level, bool toBack) override;

    const std::vector<stLevel>& GetLevels() const { return m_levels; }

private:
    cGLRenderer* m_renderer = nullptr;
    std::vector<stLevel> m_levels;
    PFNWGLCREATEBUFFERREGIONARBPROC m_create = nullptr;
    PFNWGLDELETEBUFFERREGIONARBPROC m_delete = nullptr;
    PFNWGLSAVEBUFFERREGIONARBPROC m_save = nullptr;
    PFNWGLRESTOREBUFFERREGIONARBPROC m_restore = nullptr;
};
