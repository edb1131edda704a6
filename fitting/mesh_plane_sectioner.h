// Cuts a triangle mesh by one plane into polylines of crossing points in
// world coordinates, each polyline carrying the plane's frame.
//
// One object cuts one plane at a time and can then cut the next (new frame,
// same mesh). It only reads the mesh, so several sectioners may cut the same
// mesh on different threads as long as nobody changes the mesh meanwhile.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/edge_collection.h"
#include "core/point_cloud.h"
#include "core/vector_math.h"
#include "fitting/polyline_join.h"
#include "fitting/section_crossing_cache.h"

class cMesh;
class cSectionTriangleIndex;

// The 16-bit field of the sectioner's edge keys.
inline constexpr std::uint16_t kSectionEdgeFlags = 0x01FF;
// The triangle flag bit that marks the triangles the next section cuts.
inline constexpr std::uint8_t kSectionTriangleMask = 4;

// One plane coordinate of a mesh vertex: a row of the mesh-to-plane
// transform applied in doubles, rounded to float. Every path of a cut
// computes it with this one expression, so the results agree bit for bit.
inline float PlaneCoordinate(const double row[4], const cVertex& v)
{
    return static_cast<float>(row[0] * v.x + row[1] * v.y + row[2] * v.z + row[3]);
}

// A listed triangle that may cross a plane, with its corners' heights.
struct stListedCrossing
{
    std::uint32_t triangle;
    float z[3];
};

class cMeshPlaneSectioner
{
public:
    cMeshPlaneSectioner();
    ~cMeshPlaneSectioner();
    cMeshPlaneSectioner(const cMeshPlaneSectioner&) = delete;
    cMeshPlaneSectioner& operator=(const cMeshPlaneSectioner&) = delete;

    // Plane coordinates to world coordinates (axes in columns); the plane is
    // local z = 0. The frame must be rigid.
    void SetFrame(const double frame[12]);
    const double* GetFrame() const { return m_frame; }
    void SetMesh(const cMesh* mesh) { m_mesh = mesh; }
    // With an index built for the mesh, a cut visits only the triangles near
    // its plane instead of every triangle; the result is the same. Null (the
    // default), or an index built for a different mesh, cuts by a full scan.
    void SetTriangleIndex(const cSectionTriangleIndex* index) { m_index = index; }
    // With the ascending list of every triangle that a cut's mask lets
    // through (TrianglesWithFlag, for the mesh and flags as they are), a cut
    // visits only those instead of every triangle; the result is the same.
    // Null (the default) leaves the cut to the index or a full scan.
    void SetTriangleList(const std::vector<std::uint32_t>* triangles) { m_list = triangles; }
    // For a series of cuts by the list: the listed triangles that may cross
    // each of these planes are found in one pass over the list (for planes
    // that differ in their origin alone, from one sum per corner), and the
    // next cut by frame k after UseStackedCut(k) takes them instead of
    // measuring the list again. The cuts are the same. False (nothing kept)
    // without a list or a mesh.
    bool StackCuts(const std::vector<std::array<double, 12>>& frames, std::uint8_t mask);
    void UseStackedCut(std::size_t k) { m_stackedCut = k; }
    // The whole stack cut side by side on the shared pool, a plane a job,
    // each by a sectioner of its own that takes this one's mesh and the
    // plane's stacked triangles: cuts[k] receives the polylines that
    // UseStackedCut(k) and SectionMeshByPlane with frames[k] and the stack's
    // mask would append. False, with nothing cut, unless the stack was made
    // from these frames for this mesh. `rectangle`, when given, is every
    // cut's SetSectionRectangle (xmin, xmax, ymin, ymax), else none limits
    // them.
    bool CutStackSideBySide(const std::vector<std::array<double, 12>>& frames, float tolerance, double angle,
                            std::vector<tSectionPolylines>& cuts, const float* rectangle = nullptr) const;
    // Crossings outside [xmin, xmax] x [ymin, ymax] (plane coordinates) end
    // the polylines there.
    void SetSectionRectangle(float xmin, float xmax, float ymin, float ymax);
    void SetUnlimitedRectangle();

    // Empties the crossing points' merge index and switches it on, so that
    // merging by tolerance is a tree look-up. Call before each cut.
    void PrepareCrossingPoints();
    // Collects the directed segments in which the plane cuts the triangles:
    // all triangles for mask 0, else those whose flag byte has a mask bit.
    void CollectCrossingEdges(std::uint8_t mask);
    // Chains the collected segments into polylines appended to the collection
    // and joins their pieces (JoinPolylines with max(tolerance, 1e-5) and the
    // angle); consumes the segments.
    void ExtractPolylines(tSectionPolylines& collection, float tolerance, double angle);
    // Frees the crossing points after a cut.
    void ClearCrossingPoints() { m_crossingPoints.Clear(); }

    cPointCloud& GetCrossingPoints() { return m_crossingPoints; }
    const cEdgeCollection& GetCrossingEdges() const { return m_crossingEdges; }

private:
    // Plane coordinate `row` (0 x, 1 y, 2 z) of a mesh vertex; every path
    // computes it with this one expression, so the results agree bit for bit.
    float LocalCoordinate(const cVertex& v, int row) const { return PlaneCoordinate(m_toPlane + 4 * row, v); }
    void CollectByScan(std::uint8_t mask);
    void CollectByIndex(std::uint8_t mask);
    void CollectByList(std::uint8_t mask);
    // The triangle step, given the corners' signed distances from the plane.
    void CutTriangle(const std::uint32_t corner[3], const float z[3]);
    // The crossing of the mesh edge u-v with the plane in world coordinates;
    // false when it lies outside the section rectangle.
    bool ClipCrossingPoint(const t3DPoint<float>& a, const t3DPoint<float>& b, float world[3]) const;
    // One end of a segment: its point, the key of the edge or vertex it came
    // from, and its crossing-point index when that is already known.
    struct stSegmentEnd
    {
        float point[3];
        std::uint64_t key;
        std::uint32_t index;
    };
    void AddSegment(const stSegmentEnd& first, const stSegmentEnd& second);
    std::uint32_t WeldCrossingPoint(const stSegmentEnd& end);

    // Signed distances of every vertex from the plane (full scans only).
    std::vector<float> m_localZ;
    // One bit per triangle: the candidates of an indexed cut.
    std::vector<std::uint64_t> m_candidates;
    double m_toPlane[12];
    const cSectionTriangleIndex* m_index = nullptr;
    const std::vector<std::uint32_t>* m_list = nullptr;
    // StackCuts: each plane's z row and its listed triangles that may cross,
    // in the list's order; the plane the next cut takes, or none.
    struct stStackedPlane
    {
        double zRow[4];
        std::vector<stListedCrossing> crossing;
    };
    std::vector<stStackedPlane> m_stacked;
    const cMesh* m_stackedMesh = nullptr;
    std::uint8_t m_stackedMask = 0;
    static constexpr std::size_t kNoStackedCut = ~std::size_t{0};
    std::size_t m_stackedCut = kNoStackedCut;
    float m_rectangle[4]; // xmin, xmax, ymin, ymax
    double m_frame[12];
    const cMesh* m_mesh = nullptr;
    cPointCloud m_crossingPoints;
    cEdgeCollection m_crossingEdges;
    // The crossings welded so far in this cut.
    cSectionCrossingCache m_welded;
};

// The triangles whose flag byte has a bit of the mask, in ascending order:
// the list that a run of masked cuts of a region far smaller than its mesh
// visits instead of the whole mesh. Found a block at a time on the shared
// pool.
std::vector<std::uint32_t> TrianglesWithFlag(const cMesh& mesh, std::uint8_t mask);

// One complete cut: frame, mesh and unlimited rectangle, then collect with
// the mask, extract into the collection and clear the crossing points.
void SectionMeshByPlane(cMeshPlaneSectioner& sectioner, const cMesh* mesh, const double frame[12], std::uint8_t mask,
                        tSectionPolylines& collection, float tolerance, double angle);
