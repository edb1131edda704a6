// The plane about which a scanned mesh (or scan grid) is most nearly mirror
// symmetric. Sampled vertices are mirrored through a candidate plane; each
// mirrored point is matched with the nearest vertex of the unmirrored object
// within a maximum distance (through the object's cached vertex search
// tree), and measured against the local surface plane there. The plane's
// open parameters are optimised by the downhill-simplex minimiser from the
// plane the caller gives, and restarted where it stalls.
#pragma once

#include "core/topology.h"
#include "core/unwritten_allocator.h"
#include "core/vertex.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

class ISceneObject;
class cMesh;
class cPoolTeam;

class cSymmetryPlaneFit
{
public:
    // maxPoints bounds the samples of one evaluation (stride = vertex count /
    // maxPoints + 1); 0 samples every vertex. The source is not owned and
    // must outlive the fitter.
    cSymmetryPlaneFit(double maxDistance, std::uint32_t maxPoints, ISceneObject* source);
    virtual ~cSymmetryPlaneFit();

    cSymmetryPlaneFit(const cSymmetryPlaneFit&) = delete;
    cSymmetryPlaneFit& operator=(const cSymmetryPlaneFit&) = delete;

    // Refines the plane n . p + d = 0 by the mirror error. open: normal x, y,
    // z, offset (1 = the fit chooses it). With nothing open the plane is
    // returned unchanged. False (plane unchanged) when the minimiser fails or
    // ends on a plane that is not finite.
    bool Fit(double normal[3], double& offset, const std::uint8_t open[4]);

    // The mean error of the matched samples for the plane n . p + d = 0;
    // FLT_MAX when no sample finds a partner, or there is no source, no
    // vertices or no search tree. Samples are the vertices outside the
    // marked region (flag bit 1) and never empty ones (bit 0); when every
    // vertex is marked, the marked ones.
    double MirrorError(const double normal[3], double offset);
    // MirrorError of `count` planes (normals three doubles each, one after
    // another), errors[i] for plane i: their samples' partners are sought
    // side by side on the shared pool.
    void MirrorErrors(const double* normals, const double* offsets, std::uint32_t count, double* errors);

    // The error of one match: the distance of the mirrored point from the
    // local plane through the matched vertex's first ring. Where no plane can
    // be had, the distance between the two points for a mesh vertex, and
    // its square for a source without topology (a plain cloud).
    double PointError(const double mirrored[3], const cVertex* matched);

    std::uint32_t GetStride() const { return m_stride; }
    // The fit transform: the reflection across the XY plane of a local frame.
    const double* GetFitTransform() const { return m_fitTransform; }
    // How many local planes are cached.
    std::size_t GetCachedPlaneCount() const { return m_planes.size(); }

private:
    // The reflection across the plane n . p + d = 0; false for a plane
    // without a usable normal or offset.
    bool MirrorOf(const double normal[3], double offset, double mirror[12]) const;
    // The first ring of a matched vertex.
    std::uint32_t RingOf(ITopology* topology, const cVertex* vertex, tVertexDeque& ring);
    // The first triangle of each vertex of a mesh source, found once.
    void FindFirstTriangles(cMesh* mesh);

    struct stLocalPlane
    {
        float normal[3];
        float offset;
    };

    ISceneObject* m_source;
    std::uint32_t m_stride = 1;
    double m_maxDistance;
    double m_fitTransform[12];
    std::unordered_map<const cVertex*, stLocalPlane> m_planes;
    // The first triangle at each vertex of a mesh source, found once, so
    // that each local plane's ring does not search the mesh for it.
    tUnwrittenVector<std::uint32_t> m_firstTriangles;
    bool m_firstTrianglesFound = false;
    // While Fit runs its minimiser on a team of the pool's threads: the
    // team that seeks the partners.
    cPoolTeam* m_team = nullptr;
};
