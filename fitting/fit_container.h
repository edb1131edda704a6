// The private copy of the points that every fitter works on. Robust fits
// switch outliers off and on again through the active byte, without copying
// points.
#pragma once

#include <cmath>
#include <cstdint>
#include <deque>

// One point of a fit: 40 bytes.
struct stFitPoint
{
    float position[3] = {0.0f, 0.0f, 0.0f};
    float normal[3] = {0.0f, 0.0f, 0.0f};
    std::uint8_t active = 1;
    double residual = 0.0;
};
static_assert(sizeof(stFitPoint) == 40, "fit point records are 40 bytes");

using tFitPointQueue = std::deque<stFitPoint>;

// Tag of the constructor that reads another container's records in place.
struct stShareRecords
{
};
inline constexpr stShareRecords kShareRecords{};

class cFitContainer
{
public:
    // Copies the caller's records and activates all of them.
    explicit cFitContainer(const tFitPointQueue& points);
    // Takes the caller's records over instead of copying them (a region of
    // millions of points is not held twice), and activates all of them.
    explicit cFitContainer(tFitPointQueue&& points);
    // Reads the source's records in place, as they are, instead of copying
    // them: for a fit that only reads (make it const). The source must
    // outlive it and stay unchanged meanwhile.
    cFitContainer(const cFitContainer& source, stShareRecords);
    virtual ~cFitContainer() = default;

    cFitContainer(const cFitContainer&) = delete;
    cFitContainer& operator=(const cFitContainer&) = delete;

    // Every record active with a zero residual.
    void ActivateAllPoints();

    // Mean of the active points; (0, 0, 0) when none is active.
    void GetCentroid(double out[3]) const;
    // Mean of all records; (0, 0, 0) when there are none.
    void GetMeanPosition(double out[3]) const;
    // Normalised sum of all normals; the zero vector without records.
    void GetAverageNormal(double out[3]) const;
    // Mean of all records and the unit eigenvectors of their scatter matrix
    // by descending eigenvalue. False (and zero axes) when the decomposition
    // fails or there are no records.
    bool GetPrincipalFrame(double mean[3], double largest[3], double middle[3], double smallest[3]) const;

    // The number of records whose active byte is set (counted, not trusted).
    std::uint64_t CountActive() const;

    const tFitPointQueue& Points() const { return *m_points; }
    tFitPointQueue& Points() { return *m_points; }
    std::uint64_t ActiveCount() const { return m_activeCount; }

protected:
    void SetActiveCount(std::uint64_t count) { m_activeCount = count; }

private:
    tFitPointQueue* m_points;
    std::uint64_t m_activeCount = 0;
    tFitPointQueue m_ownPoints;
};

// Runs a fit that only reads over all the caller's records: in place when
// they are all active already (no copy of millions of records), else on an
// activated copy, which leaves the caller's records as they are.
template <class Fit, class Run> bool OnAllRecords(const cFitContainer& points, Run run)
{
    if (points.CountActive() == points.Points().size())
    {
        const Fit fit(points, kShareRecords);
        return run(fit);
    }
    const Fit fit(points.Points());
    return run(fit);
}

// Record helpers for callers that fill the caller-side queue.
inline stFitPoint MakeFitPoint(const float position[3], const float normal[3])
{
    stFitPoint p;
    for (int k = 0; k < 3; ++k)
    {
        p.position[k] = position[k];
        p.normal[k] = normal ? normal[k] : 0.0f;
    }
    return p;
}

// A point's coordinates in double.
inline void FitPointPosition(const stFitPoint& p, double out[3])
{
    out[0] = p.position[0];
    out[1] = p.position[1];
    out[2] = p.position[2];
}

// The fitters' "no value" error: FLT_MAX as a double.
inline constexpr double kNoFitError = 3.4028234663852886e+38;

// True when none of the n values is NaN or infinite: a fit never reports a
// non-finite shape as a result.
inline bool AllFinite(const double* v, int n)
{
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i]))
            return false;
    return true;
}
