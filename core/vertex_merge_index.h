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
#pragma once

#include <cstdint>
#include <unordered_map>
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
    struct stCellHash
    {
        std::size_t operator()(const stCell& c) const;
    };
    // Vertices of one cell are chained through their entries.
    struct stEntry
    {
        const cVertex* vertex;
        std::uint32_t next;
    };

    bool CellOf(double coordinate, std::int64_t& cell) const;

    double m_cellWidth = 0.0;
    std::unordered_map<stCell, std::uint32_t, stCellHash> m_cells; // first entry of each cell
    std::vector<stEntry> m_entries;
};
