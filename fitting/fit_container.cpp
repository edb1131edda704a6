#include "fitting/fit_container.h"

#include "core/vector_math.h"
#include "fitting/square_matrix.h"

#include <utility>

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
    m_activeCount = m_points->size();
    for (stFitPoint& p : *m_points)
    {
        p.active = 1;
        p.residual = 0.0;
    }
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
