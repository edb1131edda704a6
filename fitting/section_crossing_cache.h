// The crossing points a plane cut has already welded, by the mesh edge or
// vertex they came from.
//
// A cut meets most crossing points twice: the two triangles of a mesh edge
// both compute its crossing, from the same corners in the same order (the
// corner above the plane first), so bit for bit the same point. Welding that
// point again can only give the index it got the first time (every point
// added since has a higher index), so the second triangle takes the index
// from here instead of searching the crossing-point cloud.
#pragma once

#include <cstdint>
#include <vector>

class cSectionCrossingCache
{
public:
    struct stCrossing
    {
        float point[3];      // as the cut computed it (before welding)
        std::uint32_t index; // in the crossing-point cloud
    };

    // The key of the crossing on the mesh edge from the corner above the
    // plane to the corner below, and of a mesh vertex lying in the plane.
    static std::uint64_t EdgeKey(std::uint32_t above, std::uint32_t below)
    {
        return (static_cast<std::uint64_t>(above) << 32) | below;
    }
    static std::uint64_t VertexKey(std::uint32_t vertex) { return EdgeKey(vertex, vertex); }

    // Forgets every crossing; keeps the storage of small tables.
    void Clear();
    // The crossing stored under the key, or null.
    const stCrossing* Find(std::uint64_t key) const;
    // Stores a crossing under a key not yet stored; does nothing when memory
    // runs out (the point is then welded again by a search, as before).
    void Insert(std::uint64_t key, const float point[3], std::uint32_t index);

private:
    struct stSlot
    {
        std::uint64_t key; // kFree when the slot is free
        stCrossing crossing;
    };
    static constexpr std::uint64_t kFree = ~std::uint64_t{0};

    std::size_t SlotOf(std::uint64_t key) const;
    bool Grow();

    std::vector<stSlot> m_slots; // a power of two in size, at most half full
    int m_slotShift = 64;        // 64 - log2(slot count)
    std::size_t m_count = 0;
};
