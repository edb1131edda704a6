#include "fitting/section_triangle_index.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>

#include "core/bounding_box.h"
#include "core/mesh.h"

namespace
{

// Spreads the low 10 bits of v to every third bit.
std::uint32_t Spread3(std::uint32_t v)
{
    v &= 0x3FF;
    v = (v | (v << 16)) & 0x030000FF;
    v = (v | (v << 8)) & 0x0300F00F;
    v = (v | (v << 4)) & 0x030C30C3;
    v = (v | (v << 2)) & 0x09249249;
    return v;
}

// The signed distances of the box's points from the plane n . p + d = 0
// span [centre - radius, centre + radius]; `magnitude` bounds the terms
// summed, for the rounding of the sums.
void PlaneDistanceRange(const float box[6], const double normal[3], double d, double& centre, double& radius,
                        double& magnitude)
{
    centre = d;
    radius = 0.0;
    magnitude = std::fabs(d);
    for (int k = 0; k < 3; ++k)
    {
        const double mid = (static_cast<double>(box[k]) + box[k + 3]) / 2.0;
        const double half = (static_cast<double>(box[k + 3]) - box[k]) / 2.0;
        centre += normal[k] * mid;
        radius += std::fabs(normal[k]) * half;
        magnitude += std::fabs(normal[k] * mid);
    }
}

} // namespace

void cSectionTriangleIndex::Clear()
{
    m_triangleCount = 0;
    m_vertexCount = 0;
    m_triangles.clear();
    m_triangles.shrink_to_fit();
    m_bins.clear();
    m_bins.shrink_to_fit();
    m_groups.clear();
    m_groups.shrink_to_fit();
}

bool cSectionTriangleIndex::Matches(const cMesh& mesh) const
{
    return mesh.GetTriangleCount() == m_triangleCount && mesh.GetVertexCount() == m_vertexCount;
}

bool cSectionTriangleIndex::Build(const cMesh& mesh)
{
    Clear();
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    try
    {
        // Box of the finite vertices, for quantising the centres.
        float box[6];
        MakeEmptyBox3f(box);
        for (std::uint32_t i = 0; i < vertexCount; ++i)
        {
            const cVertex* v = mesh.GetVertex(i);
            if (std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z))
                GrowBox3f(box, v->Position());
        }
        double scale[3] = {0.0, 0.0, 0.0};
        for (int k = 0; k < 3; ++k)
        {
            const double extent = static_cast<double>(box[k + 3]) - box[k];
            scale[k] = extent > 0.0 ? 1023.0 / extent : 0.0;
        }

        // Key = space-filling-curve code of the centre, then the index; a
        // triangle with a corner outside the mesh is never cut and is left out.
        std::vector<std::uint64_t> keys;
        keys.reserve(triangleCount);
        for (std::uint32_t t = 0; t < triangleCount; ++t)
        {
            const cMeshTriangle& tri = *mesh.GetTriangle(t);
            const cVertex* corner[3];
            if (!mesh.GetCorners(tri, corner))
                continue;
            std::uint32_t code = 0;
            for (int k = 0; k < 3; ++k)
            {
                const double c = (static_cast<double>(corner[0]->Position()[k]) + corner[1]->Position()[k] +
                                  corner[2]->Position()[k]) / 3.0;
                const double q = (c - box[k]) * scale[k];
                const std::uint32_t cell = std::isfinite(q) ? static_cast<std::uint32_t>(std::clamp(q, 0.0, 1023.0)) : 0;
                code |= Spread3(cell) << k;
            }
            keys.push_back((static_cast<std::uint64_t>(code) << 32) | t);
        }
        std::sort(keys.begin(), keys.end());

        m_triangles.resize(keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i)
            m_triangles[i] = static_cast<std::uint32_t>(keys[i]);
        keys.clear();
        keys.shrink_to_fit();

        // Exact sizes: the bins take a quarter of the index.
        m_bins.reserve((m_triangles.size() + kBinSize - 1) / kBinSize);
        for (std::uint32_t first = 0; first < m_triangles.size(); first += kBinSize)
        {
            stBin bin{};
            bin.first = first;
            bin.count = std::min<std::uint32_t>(kBinSize, static_cast<std::uint32_t>(m_triangles.size()) - first);
            MakeEmptyBox3f(bin.box);
            bin.finite = true;
            for (std::uint32_t i = first; i < first + bin.count; ++i)
            {
                const cMeshTriangle& tri = *mesh.GetTriangle(m_triangles[i]);
                for (std::uint32_t index : tri.vertexIndex)
                {
                    const cVertex* v = mesh.GetVertex(index);
                    if (std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z))
                        GrowBox3f(bin.box, v->Position());
                    else
                        bin.finite = false;
                }
            }
            m_bins.push_back(bin);
        }

        m_groups.reserve((m_bins.size() + kGroupSize - 1) / kGroupSize);
        for (std::size_t first = 0; first < m_bins.size(); first += kGroupSize)
        {
            stGroup group{};
            MakeEmptyBox3f(group.box);
            group.finite = true;
            const std::size_t end = std::min<std::size_t>(first + kGroupSize, m_bins.size());
            for (std::size_t b = first; b < end; ++b)
            {
                const stBin& bin = m_bins[b];
                group.finite = group.finite && bin.finite;
                if (!bin.finite)
                    continue;
                GrowBox3f(group.box, bin.box);
                GrowBox3f(group.box, bin.box + 3);
            }
            m_groups.push_back(group);
        }
    }
    catch (const std::bad_alloc&)
    {
        Clear();
        return false;
    }
    m_triangleCount = triangleCount;
    m_vertexCount = vertexCount;
    return true;
}

void cSectionTriangleIndex::MarkCandidates(const double normal[3], double d, double margin,
                                           std::vector<std::uint64_t>& marks) const
{
    double centre, radius, magnitude;
    for (std::size_t g = 0; g < m_groups.size(); ++g)
    {
        const stGroup& group = m_groups[g];
        if (group.finite)
        {
            // The group's box holds its bins' boxes, so its range holds
            // theirs up to the rounding of the sums: a group is passed over
            // only when each of its bins would be.
            PlaneDistanceRange(group.box, normal, d, centre, radius, magnitude);
            const double slack = margin + 1e-12 * (magnitude + radius);
            if (centre - radius > slack || centre + radius < -slack)
                continue;
        }
        const std::size_t end = std::min<std::size_t>((g + 1) * kGroupSize, m_bins.size());
        for (std::size_t b = g * kGroupSize; b < end; ++b)
        {
            const stBin& bin = m_bins[b];
            if (bin.finite)
            {
                PlaneDistanceRange(bin.box, normal, d, centre, radius, magnitude);
                if (centre - radius > margin || centre + radius < -margin)
                    continue;
            }
            for (std::uint32_t i = bin.first; i < bin.first + bin.count; ++i)
            {
                const std::uint32_t t = m_triangles[i];
                marks[t >> 6] |= std::uint64_t{1} << (t & 63);
            }
        }
    }
}
