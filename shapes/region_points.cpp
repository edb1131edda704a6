#include "shapes/region_points.h"

#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "core/thread_pool.h"
#include "core/vertex.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

void cRegionPoints::ShareWith(const cRegionPoints& other)
{
    if (&other == this)
        return;
    m_points = other.m_points;
    std::memcpy(m_box, other.m_box, sizeof m_box);
    m_boxValid = other.m_boxValid;
}

bool cRegionPoints::MakeOwn()
{
    return !IsShared() || TakeCopy(m_points->GetCount());
}

bool cRegionPoints::TakeCopy(std::uint32_t count)
{
    std::shared_ptr<tStorage> own(new (std::nothrow) tStorage);
    if (!own || !own->Resize(count))
        return false;
    for (std::uint32_t first = 0; first < count; first += kArrayChunkSize)
        std::memcpy(static_cast<void*>(own->GetChunk(first >> kArrayChunkShift)),
                    m_points->GetChunk(first >> kArrayChunkShift),
                    std::size_t{std::min(kArrayChunkSize, count - first)} * sizeof(stRegionPoint));
    own->SetCount(count);
    m_points = std::move(own);
    return true;
}

bool cRegionPoints::Append(const float p[3])
{
    if (!MakeOwn())
        return false;
    stRegionPoint* point = m_points->Append();
    if (point == nullptr)
        return false;
    std::memcpy(point->xyz, p, sizeof point->xyz);
    m_boxValid = false;
    return true;
}

bool cRegionPoints::Append(const float* xyz, std::uint32_t n)
{
    if (n != 0 && !MakeOwn())
        return false;
    m_boxValid = m_boxValid && n == 0;
    tStorage& points = *m_points;
    while (n != 0)
    {
        const std::uint32_t at = points.GetCount();
        if (at >= kArrayMaxRecords || (at >= points.GetCapacity() && !points.Resize(at + 1)))
            return false;
        // As many as the chunk at `at` still holds.
        const std::uint32_t room = std::min(n, kArrayChunkSize - (at & kArrayChunkMask));
        std::memcpy(static_cast<void*>(&points[at]), xyz, std::size_t{room} * sizeof(stRegionPoint));
        points.SetCount(at + room);
        xyz += 3 * std::size_t{room};
        n -= room;
    }
    return true;
}

bool cRegionPoints::Reserve(std::uint32_t count)
{
    return MakeOwn() && (count <= m_points->GetCapacity() || m_points->Resize(count));
}

bool cRegionPoints::ReserveUnwritten(std::uint32_t count)
{
    return MakeOwn() && (count <= m_points->GetCapacity() ||
                         (count <= kArrayMaxRecords &&
                          m_points->GrowUnwritten(((count - 1) >> kArrayChunkShift) + 1)));
}

bool cRegionPoints::Replace(std::uint32_t i, const float p[3])
{
    const bool kept = std::memcmp((*m_points)[i].xyz, p, 3 * sizeof(float)) == 0;
    // Points shared are only copied for a point that changes.
    if (kept || !MakeOwn())
        return kept;
    std::memcpy((*m_points)[i].xyz, p, 3 * sizeof(float));
    m_boxValid = false;
    return false;
}

bool cRegionPoints::Resize(std::uint32_t count)
{
    if (count <= m_points->GetCount())
    {
        Truncate(count);
        return MakeOwn();
    }
    // The new room is left for the writers: cleared here first, a whole
    // scan's 10M points were written twice, the first time on this thread.
    if (!ReserveUnwritten(count))
        return false;
    m_points->SetCount(count);
    m_boxValid = false;
    return true;
}

bool cRegionPoints::Store(std::uint32_t i, const float p[3])
{
    float* xyz = (*m_points)[i].xyz;
    const bool kept = std::memcmp(xyz, p, 3 * sizeof(float)) == 0;
    std::memcpy(xyz, p, 3 * sizeof(float));
    return kept;
}

void cRegionPoints::Truncate(std::uint32_t count)
{
    if (count >= m_points->GetCount())
        return;
    if (count == 0)
    {
        Clear();
        return;
    }
    m_boxValid = false;
    // Shared points: the ones kept are copied (no room for them empties the
    // region rather than cutting into the shared ones).
    if (IsShared())
    {
        if (!TakeCopy(count))
            Clear();
        return;
    }
    m_points->Resize(count);
    m_points->SetCount(count);
}

void cRegionPoints::Clear()
{
    if (IsShared())
        m_points = std::make_shared<tStorage>();
    else
        m_points->Clear();
    m_boxValid = false;
}

void cRegionPoints::Transform(const double m[12])
{
    // Shared points with no room for a copy of them stay where they are.
    if (!MakeOwn())
        return;
    tStorage& points = *m_points;
    const std::uint32_t count = points.GetCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        float* xyz = points[i].xyz;
        if (IsFloatUnset(xyz[0]))
            continue;
        const float old[3] = {xyz[0], xyz[1], xyz[2]};
        TransformPoint3f(m, xyz, old);
    }
    m_boxValid = false;
}

const float* cRegionPoints::GetBoundingBox()
{
    if (!m_boxValid)
    {
        // A big region's box on the shared pool, a block of chunks per job:
        // each block's box grown point by point and the blocks' joined in
        // order, each side keeping the first of equal values (and passing
        // over NaN) as growing one box point by point does.
        constexpr std::uint32_t kChunksPerJob = 64;
        constexpr std::uint32_t kPointsOnPool = 1u << 18;
        const std::uint32_t count = m_points->GetCount();
        const std::uint32_t chunks = (count + kArrayChunkSize - 1) >> kArrayChunkShift;
        std::vector<std::array<float, 6>> boxes((chunks + kChunksPerJob - 1) / kChunksPerJob);
        auto grow = [&](std::size_t job) {
            float* box = boxes[job].data();
            MakeEmptyBox3f(box);
            for (std::uint32_t c = std::uint32_t(job) * kChunksPerJob; c < std::min(chunks, std::uint32_t(job + 1) * kChunksPerJob); ++c)
            {
                const stRegionPoint* run = m_points->GetChunk(c);
                const std::uint32_t n = std::min(kArrayChunkSize, count - c * kArrayChunkSize);
                for (std::uint32_t k = 0; k < n; ++k)
                    GrowBox3f(box, run[k].xyz);
            }
        };
        ParallelForEach(count >= kPointsOnPool ? SharedThreadPool() : nullptr, boxes.size(), 1, grow);
        MakeEmptyBox3f(m_box);
        for (const std::array<float, 6>& box : boxes)
            for (int k = 0; k < 3; ++k)
            {
                if (m_box[k] > box[k])
                    m_box[k] = box[k];
                if (box[k + 3] > m_box[k + 3])
                    m_box[k + 3] = box[k + 3];
            }
        m_boxValid = true;
    }
    return m_box;
}
