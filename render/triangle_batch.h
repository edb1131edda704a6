// Triangles of a mesh gathered into one indexed batch of client vertex
// arrays, so that a big mesh goes to GL in a few calls instead of one call
// per normal, colour and position. Smooth triangles share the corners of a
// vertex within the batch (the vertex is sent and lit once); flat ones carry
// their triangle's normal in corners of their own.
#pragma once

#include "core/unwritten_allocator.h"

#include <array>
#include <cstdint>
#include <vector>

class cMesh;
class cThreadPool;
struct cMeshTriangle;

// Which corner each mesh vertex was given in which batch: several batches
// gathered one after the other share one table (one entry per vertex).
struct stCornerSlots
{
    // The batch serial (high half) and the corner (low half) per vertex.
    std::vector<std::uint64_t> slots;
    std::uint32_t serial = 0;
    // A serial that no slot holds yet, for the next batch.
    std::uint32_t NextSerial();
};

// Where the corners of a batch take their colours from.
enum class eBatchColours
{
    None,      // the materials alone
    Vertices,  // the vertices' R, G, B bytes
    Triangles, // one R, G, B, A colour per triangle, given to Add
};

// The colours of a solid coloured by triangle tags: selected triangles in
// the selection colour, the others in their tag's colour (tag 0, and
// triangles beyond the tags, in the plain colour).
struct stTriangleColouring
{
    const std::uint8_t* tags = nullptr;
    std::uint32_t tagCount = 0;
    std::array<std::array<std::uint8_t, 4>, 256> byTag{};
    std::array<std::uint8_t, 4> selected{};

    const std::uint8_t* ColourOf(std::uint32_t triangle, bool isSelected) const
    {
        if (isSelected)
            return selected.data();
        return byTag[triangle < tagCount && tags ? tags[triangle] : 0].data();
    }
};

class cTriangleBatch
{
public:
    // The most corners a batch holds: big enough that a 10M-triangle mesh
    // takes a few dozen draws, small enough for the cache of a few batches.
    static constexpr std::uint32_t kMaxCorners = 1u << 18;

    // Starts an empty batch of the mesh's triangles: flat triangles take the
    // triangle's normal. Smooth batches share vertices through the slot
    // table (sized to the mesh here); with triangle colours only corners of
    // the same colour are shared, so a vertex on the border of two colours
    // gets a corner of each.
    void Begin(const cMesh& mesh, bool flat, eBatchColours colours, stCornerSlots& slots);
    void Begin(const cMesh& mesh, bool flat, bool vertexColours, stCornerSlots& slots)
    {
        Begin(mesh, flat, vertexColours ? eBatchColours::Vertices : eBatchColours::None, slots);
    }
    // Adds the triangle (in a batch of triangle colours, with rgba, which
    // must not be null then); false (nothing added) when one of its vertex
    // indices lies outside the mesh.
    bool Add(const cMeshTriangle& triangle, const std::uint8_t* rgba = nullptr);
    // Adds the listed triangles of a flat batch (every corner inside the
    // mesh, at most kMaxFlatTriangles), each as Add adds it, with the
    // colouring's colour when the batch takes triangle colours; shared out
    // on the pool.
    static constexpr std::uint32_t kMaxFlatTriangles = kMaxCorners / 3;
    void AddFlat(const std::uint32_t* triangles, std::uint32_t count, const stTriangleColouring* colouring,
                 bool selected, cThreadPool* pool);
    // No room for another triangle's three new corners.
    bool Full() const { return m_positions.size() + 3 > kMaxCorners; }
    bool Empty() const { return m_indices.empty(); }
    // Draws the batch through client arrays (the caller enables the vertex,
    // normal and, with colours, colour arrays); the batch keeps its content.
    // A flat batch's corners are its triangles' own, in order, so they go
    // to GL as arrays, without the indices.
    void Draw() const;

    using Vector = std::array<float, 3>;
    const tUnwrittenVector<Vector>& Positions() const { return m_positions; }
    const tUnwrittenVector<Vector>& Normals() const { return m_normals; }
    const tUnwrittenVector<std::array<std::uint8_t, 4>>& Colours() const { return m_colours; }
    const std::vector<std::uint32_t>& Indices() const { return m_indices; }

private:
    std::uint32_t CornerOf(std::uint32_t vertex, const float* normal, const std::uint8_t* rgba);

    const cMesh* m_mesh = nullptr;
    bool m_flat = false;
    eBatchColours m_colourSource = eBatchColours::None;
    // Tightly packed arrays, as GL reads them fastest. A flat batch's
    // corners are first written by the pool's jobs that fill them: their
    // room is made without clearing it (and a new batch's pages are made
    // side by side by those jobs).
    tUnwrittenVector<Vector> m_positions;
    tUnwrittenVector<Vector> m_normals;
    tUnwrittenVector<std::array<std::uint8_t, 4>> m_colours;
    std::vector<std::uint32_t> m_indices;
    stCornerSlots* m_slots = nullptr;
    std::uint32_t m_serial = 0;
};
