#include "platform/geometry/color.h"

#include <algorithm>

namespace
{

std::uint32_t Channel(int value)
{
    return static_cast<std::uint32_t>(std::clamp(value, 0, 255));
}

} // namespace

ON_Color::ON_Color(int red, int green, int blue, int alpha)
    : m_color(Channel(red) | (Channel(green) << 8) | (Channel(blue) << 16) | (Channel(alpha) << 24))
{
}

void ON_Color::SetRGB(int red, int green, int blue)
{
    m_color = (m_color & 0xFF000000u) | Channel(red) | (Channel(green) << 8) | (Channel(blue) << 16);
}
