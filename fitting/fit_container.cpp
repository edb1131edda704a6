#include "fitting/fit_container.h"

#include "core/thread_pool.h"
#include "core/vector_math.h"
#include "fitting/square_matrix.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace
{

// Records a job of the pool activates, and the fewest worth sharing out.
constexpr std::size_t kActivationBlockRecords = 65536;
constexpr std::size_t kPooledActivationRecords = 4 * kActivationBlockRecords;

} // namespace

cFitContainer::cFitContainer(const tFitPointQueue& points) : m_points(&m_ownPoints), m_ownPoints(points)
{
    ActivateAllPoints();
}

cFitContainer::cFitContainer(tFitPointQueue&& points) : m_points(&m_ownPoints), m_ownPoints(std::move(points))
{
    ActivateAllPoints();
}

// The records are only read through a const container; the pointer is not
// const because owning containers write theirs.
cFitContainer::cFitContainer(const cFitContainer& source, stShareRecords)
    : m_points(const_cast<tFitPointQueue*>(&source.Points())), m_activeCount(source.ActiveCount())
{
}

void cFitContainer::ActivateAllPoints()
{
    tFitPointQueue& points = *m_points;
    m_activeCount = points.size();
    const auto activate = [&points](std::size_t from, std::size_t to) {
        for (auto p = points.begin() + std::ptrdiff_t(from), end = points.begin() + std::ptrdiff_t(to); p != end; ++p)
        {
            p->active = 1;
            p->residual = 0.0;
        }
    };
    // A whole scan's millions of records (a refit of every vertex) are
    // activated a block at a time on the shared pool: on one thread their
    // 200 MB took 8 ms of every kind change.
    cThreadPool* pool = points.size() >= kPooledActivationRecords ? SharedThreadPool() : nullptr;
    if (pool == nullptr)
        return activate(0, points.size());
    const std::size_t blocks = (points.size() + kActivationBlockRecords - 1) / kActivationBlockRecords;
    auto activateBlock = [&](std::size_t block) {
        activate(block * kActivationBlockRecords, std::min(points.size(), (block + 1) * kActivationBlockRecords));
    };
    ParallelForEach(pool, blocks, 1, activateBlock);
}

std::uint64_t cFitContainer::CountActive() const
{
    std::uint64_t count = 0;
    for (const stFitPoint& p : *m_points)
        if (p.active)
            ++count;
    return count;
}

void cFitContainer::GetCentroid(double out[3]) const
{
    double sum[3] = {0.0, 0.0, 0.0};
    std::uint64_t count = 0;
    for (const stFitPoint& p : *m_points)
    {
        if (!p.active)
            continue;
        for (int k = 0; k < 3; ++k)
            sum[k] += p.position[k];
        ++count;
    }
    for (int k = 0; k < 3; ++k)
        out[k] = count ? sum[k] / double(count) : 0.0;
}

void cFitContainer::GetMeanPosition(double out[3]) const
{
    double sum[3] = {0.0, 0.0, 0.0};
    for (const stFitPoint& p : *m_points)
        for (int k = 0; k < 3; ++k)
            sum[k] += p.position[k];
    const std::size_t count = m_points->size();
    for (int k = 0; k < 3; ++k)
        out[k] = count ? sum[k] / double(count) : 0.0;
}

void cFitContainer::GetAverageNormal(double out[3]) const
{
    out[0] = out[1] = out[2] = 0.0;
    for (const stFitPoint& p : *m_points)
        for (int k = 0; k < 3; ++k)
            out[k] += p.normal[k];
    NormaliseVector3d(out);
}

bool cFitContainer::GetPrincipalFrame(double mean[3], double largest[3], double middle[3], double smallest[3]) const
{
    GetMeanPosition(mean);
    for (int k = 0; k < 3; ++k)
        largest[k] = middle[k] = smallest[k] = 0.0;
    if (m_points->empty())
        return false;
    cSquareMatrix scatter(3);
    if (!scatter.IsAllocated())
        return false;
    for (const stFitPoint& p : *m_points)
    {
        double d[3];
        for (int k = 0; k < 3; ++k)
            d[k] = p.position[k] - mean[k];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                scatter(i, j) += d[i] * d[j];
    }
    cSquareMatrix vectors;
    cDoubleVector values;
    if (!EigenSymmetric(scatter, vectors, values))
        return false;
    for (int k = 0; k < 3; ++k)
    {
        largest[k] = vectors(k, 0);
        middle[k] = vectors(k, 1);
        smallest[k] = vectors(k, 2);
    }
    NormaliseVector3d(largest);
    NormaliseVector3d(middle);
    NormaliseVector3d(smallest);
    return true;
}
