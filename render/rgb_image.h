// Image buffers handed to the GL renderer's texture upload and to the image
// drawers: 3-byte B, G, R pixels in rows padded to an alignment, or 4-byte
// B, G, R, A pixels, row 0 first (texture uploads put row 0 at t = 0; the
// image drawer shows row 0 at the top).
#pragma once

#include <cstdint>
#include <vector>

class cRGBImage
{
public:
    cRGBImage() = default;
    // Alignment 0 is taken as 1. Keeps the buffer when the byte size does
    // not change; false (image empty) when the memory cannot be had.
    bool Resize(std::uint32_t width, std::uint32_t height, std::uint32_t alignment = 4);
    void Release();

    std::uint32_t GetWidth() const { return m_width; }
    std::uint32_t GetHeight() const { return m_height; }
    std::uint32_t GetStride() const { return m_stride; }
    bool HasPixels() const { return !m_pixels.empty(); }
    std::uint8_t* GetPixels() { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    const std::uint8_t* GetPixels() const { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    std::uint8_t* Row(std::uint32_t y) { return m_pixels.data() + std::size_t(y) * m_stride; }
    const std::uint8_t* Row(std::uint32_t y) const { return m_pixels.data() + std::size_t(y) * m_stride; }

private:
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::uint32_t m_stride = 0;
    std::vector<std::uint8_t> m_pixels;
};

class cRGBAImage
{
public:
    bool Resize(std::uint32_t width, std::uint32_t height);
    std::uint32_t GetWidth() const { return m_width; }
    std::uint32_t GetHeight() const { return m_height; }
    std::uint32_t GetStride() const { return m_width * 4; }
    std::uint8_t* GetPixels() { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    const std::uint8_t* GetPixels() const { return m_pixels.empty() ? nullptr : m_pixels.data(); }

private:
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::vector<std::uint8_t> m_pixels;
};
