// The points that record a session's region on the mesh: one triangle
// centroid each, as positions alone (12 bytes a point). A shape of a big
// scan holds millions of them and a document a dozen such shapes, so the
// full vertex record (normal, flags, index, colour) that nothing here reads
// would triple what every region costs. Points sit in fixed chunks and never
// move while the region grows, so a search tree may keep pointers to them.
//
// Regions that hold the same points share them: a user trying kind after
// kind on one selection makes a shape for each, and on a big scan every one
// of them would hold the same hundred megabytes again. Shared points are
// never changed: a region that is written to takes its own copy first (or a
// fresh array when it is emptied), so another region's points, and the
// search tree over them, stay as they were.
#pragma once

#include "core/bucket_kd_tree.h"
#include "core/chunked_array.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

struct stRegionPoint
{
    float xyz[3] = {0.0f, 0.0f, 0.0f};
};
// Runs of points are runs of floats.
static_assert(sizeof(stRegionPoint) == 12 && alignof(stRegionPoint) == alignof(float));

// Reads a region point's position through a pointer to its coordinates.
struct stRegionPointCoordinates
{
    const float* Coordinates(const float* point) const { return point; }
};

using tRegionPointTree = tBucketKDTree<const float*, stRegionPointCoordinates>;

class cRegionPoints
{
public:
    using tStorage = tArray<stRegionPoint>;

    cRegionPoints() : m_points(std::make_shared<tStorage>()) {}
    cRegionPoints(const cRegionPoints&) = delete;
    cRegionPoints& operator=(const cRegionPoints&) = delete;

    std::uint32_t GetCount() const { return m_points->GetCount(); }
    // Room for points in whole chunks (a truncated region gives back the rest).
    std::uint32_t GetCapacity() const { return m_points->GetCapacity(); }
    // No range check: callers index below the count.
    const float* GetPoint(std::uint32_t i) const { return (*m_points)[i].xyz; }

    // Shares the other region's points (the box is taken along); this
    // region's own points go.
    void ShareWith(const cRegionPoints& other);
    // Whether another region holds these very points.
    bool IsShared() const { return m_points.use_count() > 1; }
    bool SharesWith(const cRegionPoints& other) const { return m_points == other.m_points; }
    // The points' storage itself, for one who keeps track of which regions
    // share it.
    const std::shared_ptr<tStorage>& Storage() const { return m_points; }
    // Makes the points this region's own (a copy when they are shared);
    // false, with nothing changed, when there is no room for the copy.
    bool MakeOwn();
    // False, with nothing stored, when the array cannot grow.
    bool Append(const float p[3]);
    // Appends n points given as 3 n floats; false, with those that fitted
    // stored, when the array cannot grow.
    bool Append(const float* xyz, std::uint32_t n);
    // Makes the points own and room for `count` of them at once, so that
    // appending up to there does not grow the array chunk by chunk; false,
    // with nothing changed but the points made own, when there is no room.
    bool Reserve(std::uint32_t count);
    // For writers that fill a batch of points a chunk at a time, on several
    // threads: ReserveUnwritten makes room as Reserve does, the new room
    // left unwritten; StoreRun writes n points (3 n floats) from point i on,
    // i a chunk's first and n no more than a chunk holds, each writer its
    // own chunks; Resize to the points written then makes them the
    // region's.
    bool ReserveUnwritten(std::uint32_t count);
    void StoreRun(std::uint32_t i, const float* xyz, std::uint32_t n)
    {
        std::memcpy(static_cast<void*>(&(*m_points)[i]), xyz, std::size_t{n} * sizeof(stRegionPoint));
    }
    // Calls run(xyz, n) for the points in order, as runs of n points held
    // one after another (3 n floats), until run returns false; returns
    // whether every run returned true.
    template <class TRun> bool ForEachRun(TRun&& run) const
    {
        const std::uint32_t count = m_points->GetCount();
        for (std::uint32_t first = 0; first < count; first += kArrayChunkSize)
            if (!run(m_points->GetChunk(first >> kArrayChunkShift)->xyz,
                     std::min(kArrayChunkSize, count - first)))
                return false;
        return true;
    }
    // Writes point i afresh; true when it held that position already.
    bool Replace(std::uint32_t i, const float p[3]);
    // Keeps the first `count` points (no more than there are).
    void Truncate(std::uint32_t count);
    // For writers that fill the points by index, from several threads (one
    // writer a point; the points are made own first, by Resize or MakeOwn):
    // Resize makes room for `count` points at once (the new
    // ones hold no position until stored, their room left unwritten: false,
    // with nothing changed, when the array cannot grow), Store writes point
    // i without touching the box and tells whether it held that position
    // already (only for a point that holds one), Put writes a new point, and
    // PointsChanged, called once the writers are done, has the box
    // recomputed when it is next asked for.
    bool Resize(std::uint32_t count);
    bool Store(std::uint32_t i, const float p[3]);
    void Put(std::uint32_t i, const float p[3]) { std::memcpy((*m_points)[i].xyz, p, 3 * sizeof(float)); }
    void PointsChanged() { m_boxValid = false; }
    void Clear();

    // Positions by the whole transform; a point whose x is unset (FLT_MAX)
    // stays as it is.
    void Transform(const double m[12]);
    // The box of every point, recomputed when points changed since.
    const float* GetBoundingBox();

private:
    // Makes the first `count` points (no more than there are) this region's
    // own copy; false, with nothing changed, when there is no room.
    bool TakeCopy(std::uint32_t count);

    // Never null; shared with other regions that hold the same points.
    std::shared_ptr<tStorage> m_points;
    float m_box[6] = {0, 0, 0, 0, 0, 0};
    bool m_boxValid = false;
};
