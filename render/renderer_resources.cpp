#include "render/renderer_resources.h"

#include "platform/win32/resource_data.h"
#include "render/gl_renderer.h"

#include <cmath>
#include <algorithm>

namespace
{

constexpr int kCell = 16;
constexpr int kWidth = 4 * kCell;
constexpr int kHeight = kCell;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Distance from (px, py) to the segment a-b.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// Whether pixel (x, y) of a cell (y downwards) is ink of the letter.
bool Ink(int letter, int x, int y)
{
    const double px = x + 0.5, py = y + 0.5;
    struct Segment
    {
        double ax, ay, bx, by;
    };
    static const Segment kX[] = {{3, 2, 13, 14}, {13, 2, 3, 14}};
    static const Segment kY[] = {{3, 2, 8, 8}, {13, 2, 8, 8}, {8, 8, 8, 14}};
    static const Segment kZ[] = {{3, 2.5, 13, 2.5}, {13, 2.5, 3, 13.5}, {3, 13.5, 13, 13.5}};
    const Segment* segments = letter == 0 ? kX : letter == 1 ? kY : kZ;
    const int count = letter == 0 ? 2 : 3;
    for (int i = 0; i < count; ++i)
        if (SegmentDistance(px, py, segments[i].ax, segments[i].ay, segments[i].bx, segments[i].by) <= 1.0)
            return true;
    return false;
}

} // namespace

std::vector<std::uint8_t> AxisLetterBitmapBytes()
{
    const std::uint32_t stride = ((kWidth * 24 + 31) / 32) * 4;
    std::vector<std::uint8_t> out;
    Put32(out, 40);
    Put32(out, kWidth);
    Put32(out, kHeight); // bottom-up
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0); // uncompressed
    Put32(out, stride * kHeight);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int row = kHeight - 1; row >= 0; --row)
    {
        std::uint32_t written = 0;
        for (int x = 0; x < kWidth; ++x)
        {
            const int letter = x / kCell;
            const bool ink = letter < 3 && Ink(letter, x % kCell, row);
            const std::uint8_t value = ink ? 0x40 : 0xFF;
            out.insert(out.end(), {value, value, value});
            written += 3;
        }
        for (; written < stride; ++written)
            out.push_back(0);
    }
    return out;
}

void RegisterRendererResources(HMODULE module)
{
    win32::RegisterResourceData(module, RT_BITMAP, MAKEINTRESOURCEW(cGLRenderer::kAxisLetterBitmap),
                                AxisLetterBitmapBytes());
}
