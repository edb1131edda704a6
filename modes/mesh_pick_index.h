// A spatial index that answers PickMeshPointUnderCursor without visiting
// every triangle: triangles are ordered along a Morton curve of their
// centres and grouped, and the groups' boxes form a tree (each box holds
// kFanout boxes of the level below). A pick walks down the boxes whose
// (slightly grown) projection onto the view plane holds the cursor and
// tests the triangles of the groups it reaches, taking the
// largest depth and, on equal depths, the lowest triangle index, which is
// what the scan in index order keeps. So the index gives the scan's answer
// in a fraction of its time on large meshes.
//
// The index holds triangle numbers and boxes of the positions at Build; it
// must be built again after vertices move or triangles are added. Hidden
// flags are read at pick time, so hiding needs no rebuild.
#pragma once

#include "core/vertex.h"

#include <cstdint>
#include <vector>

class cMesh;
struct cMeshTriangle;

class cMeshPickIndex
{
public:
    // Triangles per group, and boxes per box of the next level.
    static constexpr std::uint32_t kGroupSize = 8;
    static constexpr std::uint32_t kFanout = 8;

    void Build(const cMesh& mesh);
    void Clear();
    // Whether the index was built for this mesh with its present counts.
    bool IsBuiltFor(const cMesh& mesh) const;

    // As PickMeshPointUnderCursor; a mesh the index was not built for is
    // scanned in full.
    cVertex Pick(const cMesh& mesh, float x, float y, const double view[12], const float centre[3],
                 const cMeshTriangle** hitTriangle = nullptr) const;

    std::size_t GetMemoryBytes() const;

private:
    struct Box
    {
        float min[3];
        float max[3];
    };

    const cMesh* m_mesh = nullptr;
    std::uint32_t m_triangleCount = 0;
    std::uint32_t m_vertexCount = 0;
    std::vector<std::uint32_t> m_order; // triangle numbers, grouped
    // m_levels[0][g] bounds m_order[g * kGroupSize ...]; m_levels[k + 1][b]
    // bounds m_levels[k][b * kFanout ...]. The last level has at most
    // kFanout boxes.
    std::vector<std::vector<Box>> m_levels;
};
