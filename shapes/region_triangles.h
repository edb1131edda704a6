// A mesh's triangles as the sessions' regions see them, worked out once for
// all the sessions a dialog paints or clears on a big scan: each triangle's
// centroid (RegionCentroid, as the regions store them).
//
// A region taken from this mesh holds the centroids of its triangles in
// triangle order, so its triangles are found by one walk that matches the
// region's points in turn (CSessionSurface uses it). A triangle the walk
// does not match belongs to the region only when some region point lies
// within the radius of its centroid; every region point is then another
// triangle's centroid, so only a triangle with such a point near it needs
// the exact test. The triangles in a region's box that the walk did not
// match are mostly far from every region point (a scan's millions, where
// the box is the whole scan's): a grid of coarse cells over the region
// points passes over those, and only the rest are searched for points
// within the radius.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class cMesh;
class cRegionPoints;
class cThreadPool;

class cRegionTriangles;

// Coarse cells about a region's points (a grid of up to 16M cells over
// their box, each at least four reaches wide, a bit each): a centroid with
// no cell holding a point within twice the reach of it has no point within
// the membership radius. Made on the region triangles' pool.
class cRegionNearCells
{
public:
    // Asks the points for their box.
    cRegionNearCells(const cRegionTriangles& triangles, cRegionPoints& points);
    ~cRegionNearCells();
    cRegionNearCells(const cRegionNearCells&) = delete;
    cRegionNearCells& operator=(const cRegionNearCells&) = delete;

    // False only when no point lies within the membership radius of the
    // centroid (true where the cells could not be made).
    bool MayLieNear(const float* centroid) const;

private:
    friend class cRegionTriangles;
    struct stCells;
    std::unique_ptr<stCells> m_cells;
};

// Where a region's walk over the triangles may be cut (CSessionSurface): a
// few of its points spread over it, the first among them and its last, in
// the points' order, and for each how many triangles have it for their
// centroid and the first of those. No points when the region has too few
// points for more than one stretch, or such a point is NaN.
struct stRegionAnchors
{
    std::vector<std::uint32_t> points;
    std::vector<std::uint32_t> found;
    std::vector<std::uint32_t> first;
};

class cRegionTriangles
{
public:
    // The pool, when given, shares the centroids and the searches for
    // points near them. The anchors of the regions given (up to
    // kAnchoredRegions of them) are looked for as the centroids are made,
    // so that their walks need no pass over the centroids for them.
    cRegionTriangles(const cMesh& mesh, cThreadPool* pool, const std::vector<const cRegionPoints*>& walked = {});
    ~cRegionTriangles();
    static constexpr std::size_t kAnchoredRegions = 16;

    // The anchors of a region's walk: those looked for with the centroids
    // when the region was given and its anchors hold the same positions
    // still, else found now by a pass over the centroids.
    stRegionAnchors FindAnchors(const cRegionPoints& region) const;

    // Worked out for this mesh as it is (the same triangle count).
    bool IsFor(const cMesh& mesh) const;
    std::uint32_t GetCount() const { return m_count; }
    // The pool the work on these triangles is shared out on (may be null).
    cThreadPool* Pool() const { return m_pool; }
    // False for a triangle with a corner outside the vertex array (it
    // belongs to no region).
    bool HasCentroid(std::uint32_t i) const { return (m_marks[i] & kHasCentroid) != 0; }
    const float* Centroid(std::uint32_t i) const { return &m_centroids[3 * std::size_t{i}]; }
    // For each listed triangle (with a centroid), 1 when one of the points
    // may lie within the membership radius of its centroid (or the search
    // could not tell), else 0. The cells about the points, when given, are
    // those of these points (else they are made here).
    std::vector<std::uint8_t> MayLieNear(const std::vector<std::uint32_t>& listed, cRegionPoints& points,
                                         const cRegionNearCells* cells = nullptr) const;

private:
    friend class cRegionNearCells;
    static constexpr std::uint8_t kHasCentroid = 1;

    struct stAnchored;

    const cMesh* m_mesh;
    cThreadPool* m_pool;
    std::uint32_t m_count;
    std::vector<stAnchored> m_anchored;
    // A point within the membership radius of a centroid is closer than
    // this on every axis in float (the twin search's tolerance): the radius
    // of the largest coordinate, widened.
    float m_reach = 0.0f;
    std::unique_ptr<float[]> m_centroids;
    std::unique_ptr<std::uint8_t[]> m_marks;
};
