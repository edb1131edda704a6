// A mesh's triangles as the sessions' regions see them, worked out once for
// all the sessions a dialog paints or clears on a big scan: each triangle's
// centroid (RegionCentroid, as the regions store them) and whether another
// centroid lies so near it that a region point within the membership radius
// of it could be one that is not its own.
//
// A region taken from this mesh holds the centroids of its triangles in
// triangle order, so its triangles are found by one walk that matches the
// region's points in turn (CSessionSurface uses it). A triangle the walk
// does not match belongs to the region only when some region point lies
// within the radius of its centroid; every region point is then another
// triangle's centroid, so only a triangle with a near twin needs the exact
// test.
#pragma once

#include <cstdint>
#include <memory>

class cMesh;
class cThreadPool;

class cRegionTriangles
{
public:
    // The pool, when given, shares the centroids and the twin search.
    cRegionTriangles(const cMesh& mesh, cThreadPool* pool);

    // Worked out for this mesh as it is (the same triangle count).
    bool IsFor(const cMesh& mesh) const;
    std::uint32_t GetCount() const { return m_count; }
    // False for a triangle with a corner outside the vertex array (it
    // belongs to no region).
    bool HasCentroid(std::uint32_t i) const { return (m_marks[i] & kHasCentroid) != 0; }
    const float* Centroid(std::uint32_t i) const { return &m_centroids[3 * std::size_t{i}]; }
    // True when another centroid may lie within the membership radius (or
    // the search could not tell).
    bool MayHaveTwin(std::uint32_t i) const { return (m_marks[i] & kMayHaveTwin) != 0; }

private:
    static constexpr std::uint8_t kHasCentroid = 1;
    static constexpr std::uint8_t kMayHaveTwin = 2;

    const cMesh* m_mesh;
    std::uint32_t m_count;
    std::unique_ptr<float[]> m_centroids;
    std::unique_ptr<std::uint8_t[]> m_marks;
};
