// A coarse spatial index of a mesh's triangles for repeated plane cuts: the
// triangles are grouped into bins of nearby triangles (in the order of a
// space-filling curve through their centres), each bin with its bounding box,
// and runs of consecutive bins into groups with the box of their bins, so
// that a cut looks only at the groups and bins its plane passes through and
// visits only their triangles instead of every triangle of the mesh.
//
// The index is built once for a mesh and only read afterwards, so any number
// of sectioners on any threads may share it. It describes the mesh as it was
// when built: rebuild it after the mesh changes.
#pragma once

#include <cstdint>
#include <vector>

class cMesh;

class cSectionTriangleIndex
{
public:
    // Triangles per bin: small bins keep the triangles a cut visits close to
    // those it crosses (a cut of a 1M-triangle scan visits about six times as
    // many triangles as it crosses with 32, four times with 16), for a few
    // bytes per triangle more.
    static constexpr std::uint32_t kBinSize = 16;
    // Bins per group: the groups spare a cut the test of most bins.
    static constexpr std::uint32_t kGroupSize = 32;

    // False (and an empty index) when memory runs out.
    bool Build(const cMesh& mesh);
    void Clear();

    // Whether the index was built for a mesh with these counts.
    bool Matches(const cMesh& mesh) const;

    // Sets bit t of `marks` (one bit per triangle) for every triangle t whose
    // bin may reach within `margin` of the plane n . p + d = 0. Bins whose box
    // is not finite are always marked. `marks` must hold a bit per triangle.
    void MarkCandidates(const double normal[3], double d, double margin, std::vector<std::uint64_t>& marks) const;

    std::uint32_t GetTriangleCount() const { return m_triangleCount; }

private:
    struct stBin
    {
        float box[6];
        std::uint32_t first;
        std::uint32_t count;
        bool finite;
    };

    struct stGroup
    {
        float box[6];
        bool finite;
    };

    std::uint32_t m_triangleCount = 0;
    std::uint32_t m_vertexCount = 0;
    std::vector<std::uint32_t> m_triangles; // grouped by bin
    std::vector<stBin> m_bins;
    std::vector<stGroup> m_groups; // group g holds bins g * kGroupSize onwards
};
