// The vertex store under every geometry the system reads: the point set of a
// fit, the vertices of a triangle mesh and of a scan grid. Vertices live in a
// chunked array and never move, so other structures (merge index, triangle
// iterators, search trees) keep raw vertex pointers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include "core/base.h"
#include "core/chunked_array.h"
#include "core/geometry_iterators.h"
#include "core/vertex.h"
#include "core/vertex_merge_index.h"

// {D2CC343F-8614-4A46-8FDA-26A84EADEFE8}
inline constexpr GUID IID_cPointCloud = {
    0xD2CC343F, 0x8614, 0x4A46, {0x8F, 0xDA, 0x26, 0xA8, 0x4E, 0xAD, 0xEF, 0xE8}};

// The weld tolerance of host mesh imports (the float nearest to 1e-4).
inline constexpr float kImportMergeTolerance = 1e-4f;

class cPointCloud : public IBaseAggregate
{
public:
    cPointCloud();
    ~cPointCloud() override;

    cPointCloud(const cPointCloud&) = delete;
    cPointCloud& operator=(const cPointCloud&) = delete;

    void* NonDelegatingQueryInterface(const GUID& iid) override;

    // Empties the cloud.
    virtual void Reset();
    // What owners call after filling the cloud.
    virtual void Update();
    // Frees the vertices; box empty and invalid, indexed flag off, merge index
    // emptied.
    virtual void Clear();
    // A new iterator over the usable vertices (identity transform); the
    // caller owns it.
    virtual std::unique_ptr<IPointsIterator> CreatePointsIterator();
    virtual void FlipNormals();
    // Recomputes the member box from every vertex without the excluded bit.
    virtual void UpdateBoundingBox();
    // Forwards to GetBoundingBoxInFrame; returns out.
    virtual float* GetTransformedBoundingBox(float out[6], const double frame[12]);
    // Positions by the whole transform, normals by its rotation part (not
    // renormalised); unset vertices (x = FLT_MAX) stay as they are.
    virtual void Transform(const double m[12]);
    // Transform by T(p).m.T(-p), through the virtual Transform.
    virtual void TransformAboutPoint(const double m[12], const float p[3]);
    // Box of the usable vertices mapped by the frame (each mapped point
    // rounded to float before it is compared).
    virtual void GetBoundingBoxInFrame(float out[6], const double frame[12]);
    // A fresh box of the vertices with neither the excluded bit nor the ring
    // visit bit; the member box is not touched.
    virtual void ComputeBoundingBox(float out[6]);

    // Appends a vertex and returns its index.
    std::uint32_t AddVertex(const float p[3]);
    // With merge, the index of an existing vertex that the point coincides
    // with: through the merge index when the indexed flag is on (every
    // coordinate closer than the tolerance; the lowest such index), by a scan
    // from index 0 otherwise (within a sphere of that radius, inclusive).
    // Without merge, or when none coincides, appends the point.
    std::uint32_t AddVertex(float x, float y, float z, bool merge, float tolerance);
    // The same; `repeatable` tells whether the index stands for this point
    // while only merging additions follow: the same point added again gives
    // it (the vertex found or added is in the merge index, and later ones
    // have higher indices).
    std::uint32_t AddVertex(float x, float y, float z, bool merge, float tolerance, bool& repeatable);

    // The member box, recomputed first when it is stale.
    const float* GetBoundingBox();
    bool IsBoxValid() const { return m_boxValid != 0; }

    // The merge index is used by merging additions while the indexed flag is
    // on. Importers empty the index, switch the flag on, add every vertex with
    // merge, then empty the index and switch the flag off.
    void SetIndexed(bool indexed) { m_indexed = indexed ? 1 : 0; }
    bool IsIndexed() const { return m_indexed != 0; }
    void ClearMergeIndex() { m_mergeIndex.Clear(); }

    std::uint32_t GetVertexCount() const { return m_vertices.GetCount(); }
    // No range check: callers index below the count.
    cVertex* GetVertex(std::uint32_t i) { return &m_vertices[i]; }
    const cVertex* GetVertex(std::uint32_t i) const { return &m_vertices[i]; }
    // The array itself, for owners that fill it by index (SetAt) and keep the
    // count themselves.
    tArray<cVertex>& GetVertexArray() { return m_vertices; }
    const tArray<cVertex>& GetVertexArray() const { return m_vertices; }

    // Calls f(vertex) for every vertex in index order, a chunk at a time.
    template <class F> void ForEachVertex(F&& f)
    {
        const std::uint32_t count = m_vertices.GetCount();
        for (std::uint32_t first = 0; first < count; first += kArrayChunkSize)
        {
            cVertex* chunk = m_vertices.GetChunk(first >> kArrayChunkShift);
            const std::uint32_t n = std::min(kArrayChunkSize, count - first);
            for (std::uint32_t j = 0; j < n; ++j)
                f(chunk[j]);
        }
    }

protected:
    // Marks the member box stale; derived classes call it on geometry edits.
    void InvalidateBox() { m_boxValid = 0; }

private:
    std::uint32_t AppendVertex(float x, float y, float z);
    std::uint32_t FindCoincidentVertexByScan(const float p[3], float tolerance) const;

    std::uint8_t m_boxValid = 0;
    std::uint8_t m_indexed = 0;
    float m_box[6];
    tArray<cVertex> m_vertices;
    cVertexMergeIndex m_mergeIndex;
};

// Walks the usable vertices of a plain cloud (those without the excluded
// bit), giving their positions mapped by an optional 3x4 transform.
class cPointCloudIterator : public IPointsIterator
{
public:
    explicit cPointCloudIterator(cPointCloud* cloud, const double transform[12] = nullptr);

    std::uint32_t GetCount() override;
    bool HasPoints() override;
    void First() override;
    bool IsDone() override;
    void Next() override;
    cVertex* GetVertex() override;
    const cVertex* GetVertex() const override;
    void GetPoint(double out[3]) override;

private:
    void SkipExcluded();

    cPointCloud* m_cloud;
    std::uint32_t m_index = 0;
    std::uint32_t m_count = 0;
    double m_transform[12];
};
