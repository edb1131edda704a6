// Saved pictures of the redraw levels of a GL view: level 0 is the
// expensive scene, later levels add cheaper layers. A redraw restores the
// highest valid level below the one it must draw instead of drawing it
// again.
#pragma once

#include <cstdint>
#include <string>

class cGLRenderer;

class IFrameBufferCache
{
public:
    virtual ~IFrameBufferCache() = default;
    // Forgets every saved level and sets up `levelCount` empty ones.
    virtual bool Init(cGLRenderer* renderer, std::uint32_t levelCount) = 0;
    virtual void ReleaseAll() = 0;
    // Consecutive valid levels counted from level 0.
    virtual std::uint32_t GetValidLevelCount() = 0;
    virtual std::wstring GetInfoText() = 0;
    virtual void SaveLevel(std::uint32_t level, bool fromBack) = 0;
    virtual void RestoreLevel(std::uint32_t level, bool toBack) = 0;
};

// True when wglGetProcAddress resolves all four buffer-region entry points.
bool HasBufferRegionExtension();
