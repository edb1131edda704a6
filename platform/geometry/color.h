// Colours of the geometry library: one 32-bit value with red in the low byte,
// then green, blue and alpha (0 = opaque), as documents store them.
#pragma once

#include <cstdint>

class ON_Color
{
public:
    constexpr ON_Color() = default;
    constexpr ON_Color(unsigned int colorref) : m_color(colorref) {}
    // Each channel 0..255; values outside are clamped.
    ON_Color(int red, int green, int blue, int alpha = 0);

    constexpr operator unsigned int() const { return m_color; }

    int Red() const { return static_cast<int>(m_color & 0xFFu); }
    int Green() const { return static_cast<int>((m_color >> 8) & 0xFFu); }
    int Blue() const { return static_cast<int>((m_color >> 16) & 0xFFu); }
    int Alpha() const { return static_cast<int>((m_color >> 24) & 0xFFu); }

    void SetRGB(int red, int green, int blue);

private:
    std::uint32_t m_color = 0;
};
