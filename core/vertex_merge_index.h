// The merge index of a point cloud: finds an existing vertex that a new point
// coincides with while a mesh is imported, so that corners shared by several
// host faces become one vertex.
//
// Two points coincide when every coordinate differs by less than the
// tolerance (a box, not a sphere). A search tree ordered "equal within the
// tolerance, else by x, y, z" cannot answer that reliably: the order is not
// transitive, so a near twin can descend past its partner and stay unwelded,
// leaving cracks in the imported mesh that depend on the order of the faces.
// The index therefore hashes points into cells twice as wide as the
// tolerance and looks at every cell the box touches.
//
// The cells live in one open-addressed table: a search probes eight cells,
// most of them empty, and a plane cut empties the index after a few thousand
// points, so lookups must not chase nodes and emptying must not touch every
// slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/vertex.h"

class cVertexMergeIndex
{
public:
    // The vertex of lowest index among the indexed vertices that the point
    // coincides with, or null.
    const cVertex* Find(const float p[3], float tolerance) const;

    // Indexes a vertex; its record must stay where it is while it is indexed.
    // False (nothing indexed) for a point that cannot be hashed: non-finite or
    // so far out that its cell number overflows. The first vertex after Clear
    // fixes the cell width to twice its tolerance.
    bool Insert(const cVertex* vertex, float tolerance);

    // The cell of a point in an index filled with this tolerance; false
    // for a point the index cannot hold (not finite, or too far out).
    static bool CellOfPoint(const float p[3], float tolerance, std::int64_t cell[3]);

    // Small tables are kept for the next filling (cheap to empty); large ones
    // are freed, so a mesh does not carry its import's index around.
    void Clear();
    bool IsEmpty() const { return m_entries.empty(); }
    std::uint32_t GetCount() const { return static_cast<std::uint32_t>(m_entries.size()); }

private:
    struct stCell
    {
        std::int64_t x;
        std::int64_t y;
        std::int64_t z;
        bool operator==(const stCell&) const = default;
    };
    // The cells that hold vertices, in the order they were first used.
    struct stCellRecord
    {
        stCell cell;
        std::uint32_t first; // first entry of the cell
    };
    // A slot of the hash table holds a tag of its cell's hash (0 when free)
    // and the cell's record; the record is read only when the tag matches, so
    // the probes of a search, mostly of empty cells, stay within a small
    // array that is at most a quarter full (half for very many cells).
    struct stSlot
    {
        std::uint32_t tag;
        std::uint32_t cell;
    };
    // Vertices of one cell are chained through their entries.
    struct stEntry
    {
        const cVertex* vertex;
        std::uint32_t next;
    };

    bool CellOf(double coordinate, std::int64_t& cell) const;
    // The slot holding the cell, or the free slot where it belongs; the
    // table must not be full. `hash` is the cell's hash.
    std::size_t Probe(const stCell& cell, std::uint64_t hash) const;
    bool Grow();

    double m_cellWidth = 0.0;
    double m_inverseCellWidth = 0.0;
    std::vector<stSlot> m_slots; // a power of two in size
    int m_slotShift = 64;        // 64 - log2(slot count)
    std::vector<stCellRecord> m_cells;
    std::vector<stEntry> m_entries;
};
