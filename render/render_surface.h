// Pixel surfaces that pass between GL read-backs, the GDI+ overlay layer,
// the offscreen canvas and the frame-buffer caches: a buffer of pixels with
// the window rectangle it covers (GL rows, counted from the bottom).
#pragma once

#include <cstdint>
#include <vector>

// GL pixel formats the surfaces carry.
inline constexpr std::uint32_t kGlRgba = 0x1908;     // GL_RGBA
inline constexpr std::uint32_t kGlBgraExt = 0x80E1;  // GL_BGRA_EXT
inline constexpr std::uint32_t kGlDepth = 0x1902;    // GL_DEPTH_COMPONENT

// Four bytes per pixel, rows bottom-up.
class cRenderSurfaceColor
{
public:
    virtual ~cRenderSurfaceColor() = default;

    // Stores the rectangle; the buffer is reallocated only when the pixel
    // count changes. False (buffer freed, rectangle empty) when the memory
    // cannot be had or the rectangle is inverted.
    bool Resize(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
    void Release();

    std::uint8_t* GetPixels() { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    const std::uint8_t* GetPixels() const { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    bool HasPixels() const { return !m_pixels.empty(); }
    std::int32_t GetX0() const { return m_x0; }
    std::int32_t GetY0() const { return m_y0; }
    std::int32_t GetX1() const { return m_x1; }
    std::int32_t GetY1() const { return m_y1; }
    std::uint32_t GetWidth() const { return std::uint32_t(m_x1 - m_x0); }
    std::uint32_t GetHeight() const { return std::uint32_t(m_y1 - m_y0); }
    // Moves the rectangle without touching the pixels.
    void SetOrigin(std::int32_t x0, std::int32_t y0);

    std::uint32_t GetFormat() const { return m_format; }
    void SetFormat(std::uint32_t format) { m_format = format; }

    // Where a surface drawn at a 3D raster position goes (mode non-zero of
    // the renderer's draws).
    void SetAnchor(const float anchor[3]);
    const float* GetAnchor() const { return m_anchor; }

private:
    std::vector<std::uint8_t> m_pixels;
    std::int32_t m_x0 = 0, m_y0 = 0, m_x1 = 0, m_y1 = 0;
    float m_anchor[3] = {0.0f, 0.0f, 0.0f};
    std::uint32_t m_format = 0;
};

// One float depth value per pixel, rows bottom-up.
class cRenderSurfaceDepth
{
public:
    bool Resize(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
    void Release();

    float* GetValues() { return m_values.empty() ? nullptr : m_values.data(); }
    const float* GetValues() const { return m_values.empty() ? nullptr : m_values.data(); }
    bool HasValues() const { return !m_values.empty(); }
    std::int32_t GetX0() const { return m_x0; }
    std::int32_t GetY0() const { return m_y0; }
    std::uint32_t GetWidth() const { return std::uint32_t(m_x1 - m_x0); }
    std::uint32_t GetHeight() const { return std::uint32_t(m_y1 - m_y0); }
    void SetAnchor(const float anchor[3]);
    const float* GetAnchor() const { return m_anchor; }

private:
    std::vector<float> m_values;
    std::int32_t m_x0 = 0, m_y0 = 0, m_x1 = 0, m_y1 = 0;
    float m_anchor[3] = {0.0f, 0.0f, 0.0f};
};

// The colour and depth of one window rectangle.
class cRenderSurfaceColorDepth
{
public:
    cRenderSurfaceColor colour;
    cRenderSurfaceDepth depth;
};
