// The triangle record of a mesh and the triangle view that triangle iterators
// hand out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/vertex.h"

// Fixed meanings of the triangle flag byte; bits 3 to 7 are lent to
// algorithms and dialogs through the triangle used-flag mask.
inline constexpr std::uint8_t kTriangleFlagSelected = 1;
inline constexpr std::uint8_t kTriangleFlagHidden = 2;
inline constexpr std::uint8_t kTriangleFlagScratch = 4;

// The 24-bit colour or region label of a triangle that has none.
inline constexpr std::uint32_t kTriangleUnlabelled = 0xFFFFFF;
inline constexpr std::uint32_t kTriangleColourMask = 0xFFFFFF;
// The neighbour-edge byte of an edge without a neighbour.
inline constexpr std::uint8_t kNoNeighbourEdge = 0xFF;

// 56 bytes. Edge k runs from corner k to corner (k + 1) mod 3. Across edge k
// lies neighbour[k], whose own number for that edge is neighbourEdge[k]; the
// links are symmetric. Records live in chunks that never move, so the links
// are raw record pointers.
struct cMeshTriangle
{
    // Low 24 bits: colour or region label (kTriangleUnlabelled = none). The top
    // byte is not part of the colour; every reader masks it away.
    std::uint32_t colour = kTriangleUnlabelled;
    std::uint8_t flags = 0;
    std::uint8_t neighbourEdge[3] = {kNoNeighbourEdge, kNoNeighbourEdge, kNoNeighbourEdge};
    std::uint32_t vertexIndex[3] = {kNoVertexIndex, kNoVertexIndex, kNoVertexIndex};
    float nx = 0.0f;
    float ny = 0.0f;
    float nz = 0.0f;
    cMeshTriangle* neighbour[3] = {nullptr, nullptr, nullptr};

    std::uint32_t GetLabel() const { return colour & kTriangleColourMask; }
    // Replaces the low 24 bits and keeps the top byte.
    void SetLabel(std::uint32_t label)
    {
        colour = (colour & ~kTriangleColourMask) | (label & kTriangleColourMask);
    }
    float* Normal() { return &nx; }
    const float* Normal() const { return &nx; }

    // The corner (0, 1 or 2) that holds the vertex index, or -1.
    int CornerOf(std::uint32_t vertex) const
    {
        for (int k = 0; k < 3; ++k)
        {
            if (vertexIndex[k] == vertex)
                return k;
        }
        return -1;
    }
};
static_assert(sizeof(cMeshTriangle) == 56, "triangle records are 56 bytes");
static_assert(std::is_standard_layout_v<cMeshTriangle> && std::is_trivially_copyable_v<cMeshTriangle>);
static_assert(offsetof(cMeshTriangle, flags) == 4 && offsetof(cMeshTriangle, vertexIndex) == 8 &&
              offsetof(cMeshTriangle, nx) == 20 && offsetof(cMeshTriangle, neighbour) == 32);

// The view of one triangle handed out by triangle iterators: the three corner
// records, the normal, and three edge bytes (the scan grid marks the diagonal
// of its cell triangles there; always 0 for mesh triangles) with a spare byte.
template <class TVertex> class tTriangle
{
public:
    tTriangle() = default;
    virtual ~tTriangle() = default;

    const TVertex* corner[3] = {nullptr, nullptr, nullptr};
    float nx = 0.0f;
    float ny = 0.0f;
    float nz = 0.0f;
    std::uint8_t edgeFlags[3] = {0, 0, 0};
    std::uint8_t spare = 0;

    const float* Normal() const { return &nx; }
};

// Half the length of TriangleCrossProduct (a, b, c).
double TriangleArea(const float a[3], const float b[3], const float c[3]);

// (b - a) x (c - a) in double, each coordinate converted before it is
// subtracted (a float difference of a point far out and one near the origin
// loses the small one): the triangle normal scaled by twice the area.
void TriangleCrossProduct(const float a[3], const float b[3], const float c[3], double out[3]);
