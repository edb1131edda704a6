// Display attributes of one scene object or of a whole scene, read by the GL
// renderers. The renderers fix what the mode and flag bits mean; scenes and
// dialogs toggle them.
#pragma once

#include <cstdint>

// Colour slots.
inline constexpr int kDecoratorFront = 0;     // front material; top of a scene's background
inline constexpr int kDecoratorBack = 1;      // back material; bottom of a scene's background
inline constexpr int kDecoratorSelection = 2;
inline constexpr int kDecoratorBoundary = 3;
inline constexpr int kDecoratorWireframe = 4;

// Mode word bits.
inline constexpr std::uint32_t kDisplayPoints = 2;
inline constexpr std::uint32_t kDisplayWireframe = 4; // over the solid
inline constexpr std::uint32_t kDisplayFlat = 8;
inline constexpr std::uint32_t kDisplaySmooth = 16;

// Flag word bits.
inline constexpr std::uint32_t kDecoratorBoundingBox = 1;
inline constexpr std::uint32_t kDecoratorBoundaries = 4;
inline constexpr std::uint32_t kDecoratorSeeThrough = 8;
inline constexpr std::uint32_t kDecoratorTwoSided = 16;

// Refresh word bit: the colours were restored from a stream.
inline constexpr std::uint64_t kDecoratorColoursRestored = 2;

class cDecoratorObject
{
public:
    cDecoratorObject();
    virtual ~cDecoratorObject() = default;

    void SetColour(int slot, float r, float g, float b, float a);

    float m_colours[5][4];
    std::uint32_t m_mode = 0;
    std::uint32_t m_flags = 0;
    double m_transform[12]; // 3x4 row-major, identity
    std::uint64_t m_refresh = 0;
    std::uint64_t m_word2 = 0;
    std::uint8_t m_switches[5] = {};
    float m_pointSize;       // negative: the default size 1.5
    std::int32_t m_count = 1;
    float m_lineWidths[2] = {1.0f, 1.0f}; // wireframe, boundaries
};

