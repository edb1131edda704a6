#include "fitting/sweep_axis_estimates.h"

#include "core/ordered_sum_steps.h"
#include "core/pool_ordered_pass.h"
#include "core/pool_team.h"
#include "core/simplex_minimiser.h"
#include "core/thread_pool.h"
#include "core/unwritten_allocator.h"
#include "fitting/direction_trial_counts.h"
#include "fitting/meridian_lean_pass.h"
#include "fitting/square_matrix.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>


namespace
{

struct stOriented
{
    double p[3];
    double n[3];
};

// Samples are made and written a block at a time on the pool: their
// arrays are not cleared first.
template <class T> using tSamples = tUnwrittenVector<T>;
// Values measured on the pool (every one written before it is read), not
// cleared first either.
using tValues = tUnwrittenVector<double>;

// A sample of the extrusion direction, which reads the normals alone.
struct stUnitNormal
{
    double n[3];
};
// The trial counts read a block of them as one run of doubles.
static_assert(sizeof(stUnitNormal) == 3 * sizeof(double));

// Solution passes: the first sees every usable normal, each later one only
// those within kKeepFactor times the median disagreement of the one before.
constexpr int kPasses = 3;
constexpr double kKeepFactor = 3.0;
// Pairs of normals tried for the start of the extrusion direction, and how
// many of them are counted in one pass over the normals.
constexpr int kDirectionTrials = 64;
constexpr std::size_t kTrialsPerPass = kTrialsPerCount;
// A team's helpers when every thread of the pool may help.
constexpr std::size_t kAllHelpers = 64;
// Samples per job of the shared pool in the passes over every sample.
constexpr std::size_t kSamplesPerJob = 4096;
// More samples than this (48 MB and more) are refined a simplex step's
// candidates at a time.
constexpr std::size_t kBatchedAxisSamples = std::size_t{1} << 20;
// Values per job of a median selected on the pool, and the fewest values
// worth it; the selection sorts the values into buckets by their top bits.
constexpr std::size_t kSelectValuesPerJob = std::size_t{1} << 18;
constexpr std::size_t kSelectPoolMinimum = std::size_t{1} << 19;
constexpr int kSelectBucketShift = 48;
constexpr std::size_t kSelectBuckets = std::size_t{1} << (64 - kSelectBucketShift);
// A bucket of more values than this is narrowed by the next 16 bits.
constexpr int kSelectNextShift = kSelectBucketShift - 16;
constexpr std::size_t kSelectNarrowMinimum = std::size_t{1} << 16;

double Dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void Cross(const double a[3], const double b[3], double out[3])
{
    const double r[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    std::copy(r, r + 3, out);
}

bool MakeUnit(double v[3])
{
    const double n = std::sqrt(Dot(v, v));
    if (!(n > 0.0) || !std::isfinite(n))
        return false;
    v[0] /= n, v[1] /= n, v[2] /= n;
    return true;
}

// The record as a sample when its normal is of about unit length (a missing
// normal is zero), made exactly unit.
bool UsableNormal(const stFitPoint& record, stOriented& s)
{
    for (int k = 0; k < 3; ++k)
        s.p[k] = record.position[k], s.n[k] = record.normal[k];
    const double length = std::sqrt(Dot(s.n, s.n));
    if (!(length > 0.5) || !std::isfinite(length) || !std::isfinite(Dot(s.p, s.p)))
        return false;
    for (double& c : s.n)
        c /= length;
    return true;
}

void TakeSample(const stOriented& from, std::size_t, stUnitNormal& to)
{
    std::copy(from.n, from.n + 3, to.n);
}

// A record's place among the records stands for its sample: 4 bytes, as a
// fit's records (40 bytes each) number far fewer than 2^32.
using tPlace = std::uint32_t;

void TakeSample(const stOriented&, std::size_t place, tPlace& to)
{
    to = static_cast<tPlace>(place);
}

// The samples of the records with a usable normal, in the records' order:
// counted a block of records at a time on the shared pool, sized once, and
// each block's samples written from where its count starts.
template <class Sample> tSamples<Sample> UsableSamples(const cFitContainer& points)
{
    const tFitPointQueue& records = points.Points();
    const std::size_t blocks = (records.size() + kSamplesPerJob - 1) / kSamplesPerJob;
    std::vector<std::size_t> firstOf(blocks + 1, 0);
    const auto visit = [&records](std::size_t block, auto&& take) {
        const std::size_t first = block * kSamplesPerJob, last = std::min(records.size(), (block + 1) * kSamplesPerJob);
        auto record = records.begin() + static_cast<std::ptrdiff_t>(first);
        for (std::size_t place = first; place < last; ++place, ++record)
        {
            stOriented s;
            if (UsableNormal(*record, s))
                take(s, place);
        }
    };
    auto count = [&](std::size_t block) { visit(block, [&](const stOriented&, std::size_t) { ++firstOf[block + 1]; }); };
    ParallelForEach(SharedThreadPool(), blocks, 1, count);
    for (std::size_t block = 0; block < blocks; ++block)
        firstOf[block + 1] += firstOf[block];
    tSamples<Sample> out(firstOf[blocks]);
    auto write = [&](std::size_t block) {
        Sample* to = out.data() + firstOf[block];
        visit(block, [&](const stOriented& s, std::size_t place) { TakeSample(s, place, *to++); });
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, write);
    return out;
}

// The revolution axis's samples made from their records where they are
// read: the record's point centred on the samples' mean and scaled to unit
// spread, and its unit normal, with the operations that made them when
// they were kept whole (the same values to the bit). A whole scan's samples
// (48 bytes each, 240 MB for 5M records) are made only once the solution
// passes have left those that agree.
struct stScaledRecords
{
    const tFitPointQueue* records;
    double mean[3];
    double spread;

    void Make(std::size_t place, stOriented& s) const
    {
        UsableNormal((*records)[place], s);
        for (int k = 0; k < 3; ++k)
        {
            s.p[k] -= mean[k];
            s.p[k] /= spread;
        }
    }
};

// Places per block of the mean's and spread's passes: three terms each, a
// block's terms are counted at once (core/ordered_sum_steps.h).
constexpr std::size_t kSpreadPlaces = kMaxSumStepTerms / 3;
// The fewest places whose mean and spread the revolution axis finds on the
// pool (MeanAndSquaredSpread): a face of a million triangles is summed
// faster in one pass each.
constexpr std::size_t kPooledSpreadPlaces = std::size_t{1} << 21;

// The value of rank size / 2, as std::nth_element finds it, selected on the
// shared pool: the values are counted by their top bits a block at a time,
// and only the bucket that holds that rank is gathered and searched (a
// bucket of many values narrowed first by their next bits, counted the same
// way: a region's values can crowd into one bucket, and a whole scan's
// gathered would take 17 MB on top of its values at the fit's peak). For
// values that are at least zero (and not -0 or NaN) the bits' order is the
// values' order and equal values have equal bits, so the value found is the
// one a full selection gives. False (nothing changed) for any other value.
bool SelectMedianOnPool(cThreadPool* pool, const tValues& values, double& median)
{
    const std::size_t blocks = (values.size() + kSelectValuesPerJob - 1) / kSelectValuesPerJob;
    std::vector<std::uint32_t> counts(blocks * kSelectBuckets, 0);
    std::vector<std::uint8_t> foreign(blocks, 0);
    const auto bitsOf = [](double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return bits;
    };
    auto count = [&](std::size_t block) {
        std::uint32_t* histogram = counts.data() + block * kSelectBuckets;
        const std::size_t end = std::min(values.size(), (block + 1) * kSelectValuesPerJob);
        std::uint64_t any = 0;
        for (std::size_t i = block * kSelectValuesPerJob; i < end; ++i)
        {
            const std::uint64_t bits = bitsOf(values[i]);
            // Bit 63 (a sign) or past infinity's pattern (NaN).
            any |= (bits >> 63) | static_cast<std::uint64_t>(bits > 0x7FF0000000000000ull);
            ++histogram[bits >> kSelectBucketShift];
        }
        foreign[block] = any != 0;
    };
    ParallelForEach(pool, blocks, 1, count);
    if (std::any_of(foreign.begin(), foreign.end(), [](std::uint8_t f) { return f != 0; }))
        return false;
    std::vector<std::size_t> total(kSelectBuckets, 0);
    for (std::size_t block = 0; block < blocks; ++block)
        for (std::size_t b = 0; b < kSelectBuckets; ++b)
            total[b] += counts[block * kSelectBuckets + b];
    const std::size_t rank = values.size() / 2;
    std::size_t below = 0, bucket = 0;
    while (below + total[bucket] <= rank)
        below += total[bucket++];
    // The values gathered are those whose bits above `shift` are `key`; the
    // counts' column `bucket` counts them.
    std::uint64_t key = bucket;
    int shift = kSelectBucketShift;
    if (total[bucket] > kSelectNarrowMinimum)
    {
        std::fill(counts.begin(), counts.end(), 0u);
        auto countNext = [&](std::size_t block) {
            std::uint32_t* histogram = counts.data() + block * kSelectBuckets;
            const std::size_t end = std::min(values.size(), (block + 1) * kSelectValuesPerJob);
            for (std::size_t i = block * kSelectValuesPerJob; i < end; ++i)
                if (const std::uint64_t bits = bitsOf(values[i]); (bits >> kSelectBucketShift) == key)
                    ++histogram[(bits >> kSelectNextShift) & (kSelectBuckets - 1)];
        };
        ParallelForEach(pool, blocks, 1, countNext);
        std::fill(total.begin(), total.end(), 0);
        for (std::size_t block = 0; block < blocks; ++block)
            for (std::size_t b = 0; b < kSelectBuckets; ++b)
                total[b] += counts[block * kSelectBuckets + b];
        bucket = 0;
        while (below + total[bucket] <= rank)
            below += total[bucket++];
        key = key << (kSelectBucketShift - kSelectNextShift) | bucket;
        shift = kSelectNextShift;
    }
    std::vector<std::size_t> firstOf(blocks + 1, 0);
    for (std::size_t block = 0; block < blocks; ++block)
        firstOf[block + 1] = firstOf[block] + counts[block * kSelectBuckets + bucket];
    tValues gathered(firstOf[blocks]);
    auto gather = [&](std::size_t block) {
        double* to = gathered.data() + firstOf[block];
        const std::size_t end = std::min(values.size(), (block + 1) * kSelectValuesPerJob);
        for (std::size_t i = block * kSelectValuesPerJob; i < end; ++i)
            if ((bitsOf(values[i]) >> shift) == key)
                *to++ = values[i];
    };
    ParallelForEach(pool, blocks, 1, gather);
    const auto middle = gathered.begin() + static_cast<std::ptrdiff_t>(rank - below);
    std::nth_element(gathered.begin(), middle, gathered.end());
    median = *middle;
    return true;
}

// The median, leaving the values in another order.
double MedianInPlace(tValues& values)
{
    if (values.empty())
        return FLT_MAX;
    double median = 0.0;
    cThreadPool* pool = SharedThreadPool();
    if (pool != nullptr && values.size() >= kSelectPoolMinimum && SelectMedianOnPool(pool, values, median))
        return median;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The median, leaving the values as they are.
double Median(const tValues& values)
{
    double median = 0.0;
    cThreadPool* pool = SharedThreadPool();
    if (pool != nullptr && values.size() >= kSelectPoolMinimum && SelectMedianOnPool(pool, values, median))
        return median;
    tValues copy(values);
    return MedianInPlace(copy);
}

// The medians of the N values measure(sample, values) gives for each usable
// normal, each leaving out those that are not at least zero, from one read
// of the records. The values are measured a block of records at a time on
// the shared pool: a median does not depend on their order.
template <std::size_t N, class Measure>
std::array<double, N> MediansOfUsableNormals(const cFitContainer& points, Measure measure)
{
    // Each block writes its values from where its records start and counts
    // them; the blocks' values are then moved together (blocks that kept all
    // their records stay where they are).
    const tFitPointQueue& records = points.Points();
    const std::size_t jobs = (records.size() + kSamplesPerJob - 1) / kSamplesPerJob;
    std::array<tValues, N> values;
    std::array<std::vector<std::size_t>, N> countOf;
    for (std::size_t k = 0; k < N; ++k)
        values[k].resize(records.size()), countOf[k].assign(jobs, 0);
    auto run = [&](std::size_t job) {
        const auto first = records.begin() + static_cast<std::ptrdiff_t>(job * kSamplesPerJob);
        const auto last = records.begin() + static_cast<std::ptrdiff_t>(std::min(records.size(), (job + 1) * kSamplesPerJob));
        std::array<double*, N> to;
        for (std::size_t k = 0; k < N; ++k)
            to[k] = values[k].data() + job * kSamplesPerJob;
        for (auto record = first; record != last; ++record)
        {
            stOriented s;
            if (!UsableNormal(*record, s))
                continue;
            double value[N];
            measure(s, value);
            for (std::size_t k = 0; k < N; ++k)
                if (value[k] >= 0.0)
                    *to[k]++ = value[k];
        }
        for (std::size_t k = 0; k < N; ++k)
            countOf[k][job] = static_cast<std::size_t>(to[k] - (values[k].data() + job * kSamplesPerJob));
    };
    ParallelForEach(SharedThreadPool(), jobs, 1, run);
    std::array<double, N> medians;
    for (std::size_t k = 0; k < N; ++k)
    {
        std::size_t total = 0;
        for (std::size_t job = 0; job < jobs; ++job)
        {
            const double* from = values[k].data() + job * kSamplesPerJob;
            if (from != values[k].data() + total)
                std::copy(from, from + countOf[k][job], values[k].data() + total);
            total += countOf[k][job];
        }
        values[k].resize(total);
        medians[k] = MedianInPlace(values[k]);
        tValues().swap(values[k]);
    }
    return medians;
}

template <class Measure> double MedianOfUsableNormals(const cFitContainer& points, Measure measure)
{
    return MediansOfUsableNormals<1>(points, [&](const stOriented& s, double value[1]) { value[0] = measure(s); })[0];
}

// Keeps the samples whose disagreement is within kKeepFactor medians, in
// their order; all of them when that would leave fewer than `least`. The
// samples are moved down in place (a copy of millions of them cost more
// than the passes that read them), a block at a time on the shared pool:
// each block's kept samples go from a job's room to where the blocks before
// keep theirs, once every earlier block whose samples lie there has been
// read into its job's room.
template <class Sample>
void KeepAgreeing(tSamples<Sample>& samples, const tValues& disagreement, std::size_t least)
{
    const double limit = kKeepFactor * Median(disagreement);
    const std::size_t count = samples.size();
    const std::size_t blocks = (count + kSamplesPerJob - 1) / kSamplesPerJob;
    const auto endOf = [&](std::size_t block) { return std::min(count, (block + 1) * kSamplesPerJob); };
    std::vector<std::size_t> firstOf(blocks + 1, 0);
    auto tally = [&](std::size_t block) {
        std::size_t kept = 0;
        for (std::size_t i = block * kSamplesPerJob; i < endOf(block); ++i)
            kept += disagreement[i] <= limit;
        firstOf[block + 1] = kept;
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, tally);
    for (std::size_t block = 0; block < blocks; ++block)
        firstOf[block + 1] += firstOf[block];
    const std::size_t kept = firstOf[blocks];
    if (kept < least || kept == count)
        return;
    // The blocks are taken in ascending order by the jobs, so an earlier
    // block is always held by a job that runs, and reading a block waits for
    // nothing.
    struct alignas(64) stRead
    {
        std::atomic<std::uint8_t> done{0};
    };
    const std::unique_ptr<stRead[]> read(new stRead[blocks]);
    alignas(64) std::atomic<std::size_t> next{0};
    cThreadPool* pool = SharedThreadPool();
    const std::size_t jobs = std::min<std::size_t>(blocks, pool != nullptr ? static_cast<std::size_t>(pool->GetThreadCount()) : 1);
    std::vector<Sample> room(jobs * kSamplesPerJob);
    auto move = [&](std::size_t job) {
        Sample* own = room.data() + job * kSamplesPerJob;
        for (std::size_t block; (block = next.fetch_add(1, std::memory_order_relaxed)) < blocks;)
        {
            Sample* to = own;
            for (std::size_t i = block * kSamplesPerJob; i < endOf(block); ++i)
                if (disagreement[i] <= limit)
                    *to++ = samples[i];
            read[block].done.store(1, std::memory_order_release);
            for (std::size_t earlier = firstOf[block] / kSamplesPerJob;
                 earlier < block && earlier * kSamplesPerJob < firstOf[block + 1]; ++earlier)
                while (read[earlier].done.load(std::memory_order_acquire) == 0)
                    std::this_thread::yield();
            std::copy(own, to, samples.begin() + static_cast<std::ptrdiff_t>(firstOf[block]));
        }
    };
    ParallelForEach(pool, jobs, 1, move);
    samples.resize(kept);
}

// Symmetric 3 x 3 eigen decomposition: values descending, vectors in columns.
bool Eigen3(const double m[3][3], double values[3], double vectors[3][3])
{
    cSquareMatrix a(3);
    if (!a.IsAllocated())
        return false;
    for (std::uint32_t i = 0; i < 3; ++i)
        for (std::uint32_t j = 0; j < 3; ++j)
            a(i, j) = m[i][j];
    cSquareMatrix v;
    cDoubleVector w;
    if (!EigenSymmetric(a, v, w) || w.GetCount() != 3)
        return false;
    for (std::uint32_t i = 0; i < 3; ++i)
    {
        values[i] = w[i];
        for (std::uint32_t j = 0; j < 3; ++j)
            vectors[i][j] = v(i, j);
    }
    return std::isfinite(values[0]) && std::isfinite(values[2]);
}

double OffMeridian(const stOriented& s, const double axis[3], const double point[3])
{
    return MeridianLean(s.p, s.n, axis, point);
}

// One linear solve for the axis over the samples (positions already centred
// and scaled): the line complex (c, cbar) with |c| = 1 that the normal lines
// (n, p x n) come nearest to, c . (p x n) + cbar . n = 0 for a line meeting
// them all. The pitch c . cbar of a helical solution (a cylinder's normals
// leave the moment along the axis open) is taken off before the axis is read.
// The samples are made from their records a wave of them at a time on the
// shared pool and added in their order.
bool SolveAxis(const tSamples<tPlace>& places, const stScaledRecords& records, bool checkDetermined,
               double axis[3], double point[3])
{
    double a[3][3] = {}, b[3][3] = {}, c[3][3] = {};
    constexpr std::size_t kWave = 64 * kSamplesPerJob;
    tSamples<stOriented> wave(std::min(places.size(), kWave));
    for (std::size_t first = 0; first < places.size(); first += kWave)
    {
        const std::size_t count = std::min(kWave, places.size() - first);
        auto make = [&](std::size_t t) { records.Make(places[first + t], wave[t]); };
        ParallelForEach(SharedThreadPool(), count, kSamplesPerJob, make);
        for (std::size_t t = 0; t < count; ++t)
        {
            const stOriented& s = wave[t];
            double q[3];
            Cross(s.p, s.n, q);
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                {
                    a[i][j] += q[i] * q[j];
                    b[i][j] += q[i] * s.n[j];
                    c[i][j] += s.n[i] * s.n[j];
                }
        }
    }
    // The pseudo-inverse of c: normals that all lie in one plane (a band of
    // a cylinder) leave it singular across that plane.
    double values[3], vectors[3][3];
    if (!Eigen3(c, values, vectors) || !(values[0] > 0.0))
        return false;
    double pinv[3][3] = {};
    for (int k = 0; k < 3; ++k)
    {
        if (!(values[k] > 1e-9 * values[0]))
            continue;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                pinv[i][j] += vectors[i][k] * vectors[j][k] / values[k];
    }
    // Schur complement a - b pinv b^T: the quadratic form left in c once the
    // best cbar = -pinv b^T c is put in.
    double bp[3][3] = {}, schur[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                bp[i][j] += b[i][k] * pinv[k][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
        {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k)
                sum += bp[i][k] * b[j][k];
            schur[i][j] = a[i][j] - sum;
        }
    double sv[3], svec[3][3];
    if (!Eigen3(schur, sv, svec))
        return false;
    // Two nearly equal smallest values: a pencil of lines fits as well (the
    // normals of a sphere all meet every line through its centre). Checked
    // when asked.
    // (Terms are of order one: unit normals, unit spread.)
    if (checkDetermined &&
        (!(sv[1] > 2.0 * std::max(sv[2], 0.0)) || !(sv[1] > 1e-6 * static_cast<double>(places.size()))))
        return false;
    double dir[3] = {svec[0][2], svec[1][2], svec[2][2]};
    if (!MakeUnit(dir))
        return false;
    double btc[3] = {}, cbar[3] = {};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            btc[i] += b[k][i] * dir[k];
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            cbar[i] -= pinv[i][k] * btc[k];
    const double pitch = Dot(dir, cbar);
    const double moment[3] = {cbar[0] - pitch * dir[0], cbar[1] - pitch * dir[1], cbar[2] - pitch * dir[2]};
    Cross(dir, moment, point);
    std::copy(dir, dir + 3, axis);
    return std::isfinite(Dot(point, point));
}

struct stAxisRefinement
{
    // The samples laid out by component a block of kSamplesPerJob at a time.
    const double* blocks;
    std::size_t count;
    double axis[3], point[3], u[3], v[3];
    // For each point of an evaluation (the same role from one simplex step
    // to the next: the reflection, the expansion, the contractions) and each
    // block of terms, the binade its sum had before the block at the last
    // evaluation (none before the first): nearby axes give sums alike, and
    // a step's expansion, say, gives sums nearer the last expansion's than
    // its reflection's. For each point, every block's steps counted for that
    // binade, kept from one evaluation to the next.
    mutable std::vector<std::vector<int>> binades = {};
    mutable std::vector<std::vector<stSumSteps>> steps = {};
    // The team of the pool's threads that measures the samples (none: the
    // pool's batches).
    cPoolTeam* team = nullptr;

    // The axis tilted by (x[0], x[1]) towards u and v, its point moved by
    // (x[2], x[3]) along them.
    void Apply(const cDoubleVector& x, double dir[3], double at[3]) const
    {
        for (int k = 0; k < 3; ++k)
        {
            dir[k] = axis[k] + x[0] * u[k] + x[1] * v[k];
            at[k] = point[k] + x[2] * u[k] + x[3] * v[k];
        }
        MakeUnit(dir);
    }
};

// The sum of squared sines by which the normals lean out of their meridian
// planes (the geometric measure that the linear solve only approximates:
// its terms are weighted by each point's distance from the axis), at each
// of the points asked for, in one pass over the samples: a block of samples
// read once gives every point's leans, the block still in the caches for the
// second and later ones. Each point's sum is the one it has alone.
void AxisObjectives(const cDoubleVector* points, std::uint32_t count, double* values, void* context)
{
    const auto& refinement = *static_cast<const stAxisRefinement*>(context);
    const std::size_t samples = refinement.count;
    const std::size_t blocks = (samples + kSamplesPerJob - 1) / kSamplesPerJob;
    std::vector<std::array<double, 6>> axes(count);
    for (std::uint32_t c = 0; c < count; ++c)
        refinement.Apply(points[c], axes[c].data(), axes[c].data() + 3);
    if (refinement.steps.size() < count)
    {
        refinement.steps.resize(count);
        refinement.binades.resize(count);
    }
    for (std::uint32_t c = 0; c < count; ++c)
    {
        refinement.steps[c].resize(blocks);
        refinement.binades[c].resize(blocks, INT_MIN);
    }
    const auto endOf = [&](std::size_t block) { return std::min(samples, (block + 1) * kSamplesPerJob); };
    // A block's leans about point c's axis into `to` (its first sample's at
    // to[0]).
    const eMeridianLeanKernel kernel = FastestMeridianLeanKernel();
    const auto lean = [&](std::uint32_t c, std::size_t block, double* to) {
        const std::size_t first = block * kSamplesPerJob;
        MeridianLeansOfBlock(kernel, refinement.blocks + 6 * first, endOf(block) - first, axes[c].data(),
                             axes[c].data() + 3, to);
    };
    // The terms on the pool, each point's sum in the samples' order taken a
    // block at a time as the blocks are measured. A block's leans are kept
    // on its job's stack while their steps are counted: no evaluation stores
    // the samples' leans, which cost a write to memory per sample beside the
    // sample's read, and room for them all beside the samples.
    auto measure = [&](std::size_t block) {
        const std::size_t first = block * kSamplesPerJob, end = endOf(block);
        double own[kSamplesPerJob];
        for (std::uint32_t c = 0; c < count; ++c)
        {
            lean(c, block, own);
            refinement.steps[c][block] = CountSumStepsOfSquares(own, end - first, refinement.binades[c][block]);
        }
    };
    // The running sums: a block's counted steps at once where they hold,
    // else its terms one by one, its leans measured again with the same
    // operations, on the one thread that takes the sums while the others
    // wait for the pass's end (the blocks where a sum leaves its binade, and
    // those where its binade is not the last evaluation's).
    std::fill(values, values + count, 0.0);
    auto add = [&](std::size_t block) {
        for (std::uint32_t c = 0; c < count; ++c)
        {
            refinement.binades[c][block] = SumBinade(values[c]);
            values[c] = TakeSumSteps(values[c], refinement.steps[c][block], [&](double running) {
                const std::size_t end = endOf(block) - block * kSamplesPerJob;
                double again[kSamplesPerJob];
                lean(c, block, again);
                for (std::size_t i = 0; i < end; ++i)
                    if (again[i] >= 0.0)
                        running += again[i] * again[i];
                return running;
            });
        }
    };
    if (refinement.team != nullptr)
        FindOnTeamTakeInOrder(*refinement.team, blocks, measure, add);
    else
        FindOnPoolTakeInOrder(SharedThreadPool(), blocks, measure, add);
}

double AxisObjective(const cDoubleVector& x, void* context)
{
    double value = 0.0;
    AxisObjectives(&x, 1, &value, context);
    return value;
}

// Lays the samples out by component (see meridian_lean_pass.h) for the
// vector lanes: they are no longer samples one after another afterwards.
void RefineAxis(tSamples<stOriented>& samples, double axis[3], double point[3])
{
    static_assert(sizeof(stOriented) == 6 * sizeof(double));
    double* blocks = reinterpret_cast<double*>(samples.data());
    LaySamplesOutByComponent(blocks, samples.size(), kSamplesPerJob);
    stAxisRefinement refinement{blocks, samples.size(), {}, {}, {}, {}};
    std::copy(axis, axis + 3, refinement.axis);
    std::copy(point, point + 3, refinement.point);
    const int smallest = std::fabs(axis[0]) <= std::fabs(axis[1]) && std::fabs(axis[0]) <= std::fabs(axis[2])
                             ? 0
                             : (std::fabs(axis[1]) <= std::fabs(axis[2]) ? 1 : 2);
    double e[3] = {0.0, 0.0, 0.0};
    e[smallest] = 1.0;
    Cross(axis, e, refinement.u);
    MakeUnit(refinement.u);
    Cross(axis, refinement.u, refinement.v);
    cDoubleVector x(4);
    if (x.GetCount() != 4)
        return;
    // The hundreds of passes run on a team of the pool's threads kept for
    // them. Samples that the caches cannot hold are read from memory by
    // every pass: a simplex step's candidates are then measured in one pass
    // (the same steps and axis, fewer passes, more measures); fewer are
    // measured one at a time.
    bool moved = false;
    auto refine = [&](cPoolTeam& team) {
        refinement.team = &team;
        const double before = AxisObjective(x, &refinement);
        double after = before;
        const std::uint32_t found =
            samples.size() > kBatchedAxisSamples
                ? MinimiseSimplexBatched(x, AxisObjectives, &refinement, 1e-10, 2000, 0.001f, &after)
                : MinimiseSimplex(x, AxisObjective, &refinement, 1e-10, 2000, 0.001f, &after);
        moved = found != kSimplexFailed && after < before;
        refinement.team = nullptr;
    };
    RunWithPoolTeam(SharedThreadPool(), kAllHelpers, refine);
    if (moved)
        refinement.Apply(x, axis, point);
}

// Whether std::hypot(x, y) > 0, without taking it: an infinite value makes
// it infinite (even beside a NaN), a NaN otherwise makes it NaN, and finite
// values give zero only when both are zero.
bool HypotIsPositive(double x, double y)
{
    if (std::isinf(x) || std::isinf(y))
        return true;
    return !std::isnan(x) && !std::isnan(y) && (x != 0.0 || y != 0.0);
}

// How far an angle's estimate (AngleEstimate) may lie from std::atan2.
constexpr double kAngleSlack = 1e-4;

// The median (the value of rank size / 2) of the items' angles exact(item),
// from their estimates (within kAngleSlack of them), the angle itself taken
// only for the items estimated near a value A. With a window [A - w, A + w]:
// an item estimated below A - w - slack has its angle below the window, one
// estimated above A + w + slack above it, and the others' angles are taken;
// when the angle of that rank lies in the window (no more angles lie below
// it than that rank, nor above it than the rest), it is the one of its rank
// among the angles taken there. A is first the median of an earlier call
// (`guess`, nearby axes split alike) with a window of kGuessWindow, else the
// estimates' median with a window of 3 slacks, which always holds it: no
// more angles lie below A - 3 slacks than estimates below A, nor above
// A + 3 slacks than above it.
constexpr double kGuessWindow = 0.01;

template <class Item, class Estimate, class Exact>
double MedianAngle(const std::vector<Item>& items, Estimate estimate, Exact exact, double guess)
{
    const std::size_t rank = items.size() / 2;
    tValues near;
    const auto window = [&](double middle, double width, double& median) {
        const double low = middle - width, high = middle + width;
        std::size_t below = 0;
        near.clear();
        for (const Item& item : items)
        {
            const double e = estimate(item);
            if (e < low - kAngleSlack)
                ++below;
            else if (!(e > high + kAngleSlack))
            {
                const double angle = exact(item);
                if (angle < low)
                    ++below;
                else if (!(angle > high))
                    near.push_back(angle);
            }
        }
        if (below > rank || rank - below >= near.size())
            return false;
        const auto at = near.begin() + static_cast<std::ptrdiff_t>(rank - below);
        std::nth_element(near.begin(), at, near.end());
        median = *at;
        return true;
    };
    double median = 0.0;
    if (std::isfinite(guess) && window(guess, kGuessWindow, median))
        return median;
    tValues estimates(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        estimates[i] = estimate(items[i]);
    if (window(MedianInPlace(estimates), 3.0 * kAngleSlack, median))
        return median;
    // Only for estimates off by more than their slack: every angle taken.
    near.clear();
    for (const Item& item : items)
        near.push_back(exact(item));
    const auto at = near.begin() + static_cast<std::ptrdiff_t>(rank);
    std::nth_element(near.begin(), at, near.end());
    return *at;
}

// The profile measure of an axis: the points turned into their meridian
// half-plane (radius, height) fall on one profile curve only about the
// true axis. The points are split by their angle about the axis into two
// halves; every point of the second half is measured across the profile
// from its nearest point of the first (along that point's profile normal,
// the normal turned into the half-plane). The terms are capped, so that a
// stray point weighs no more than a point a few noise widths off.
struct stProfileMeasure
{
    // The samples' positions and normals by component.
    const double* p[3];
    const double* n[3];
    std::size_t count;
    stAxisRefinement frame;
    // Until it is set from the terms about the starting axis (collected in
    // `terms`), points without a near neighbour are passed over.
    double cap = DBL_MAX;
    tValues* terms = nullptr;
    // The last evaluation's split angle (none before the first).
    mutable double lastSplit = DBL_MAX;

    double Evaluate(const cDoubleVector& x) const { return Evaluate(x, lastSplit); }

    // With the split angle of an earlier evaluation in `split` (it only
    // speeds the median's search, whose value does not depend on it), set
    // to this one's.
    double Evaluate(const cDoubleVector& x, double& split) const
    {
        double dir[3], at[3];
        frame.Apply(x, dir, at);
        double u[3], v[3];
        const double e[3] = {frame.u[0], frame.u[1], frame.u[2]};
        const double along = Dot(e, dir);
        for (int k = 0; k < 3; ++k)
            u[k] = e[k] - along * dir[k];
        if (!MakeUnit(u))
            return FLT_MAX;
        Cross(dir, u, v);
        struct stMeridian
        {
            // The point's place about the axis (x, y: std::atan2(y, x) is its
            // angle) and that angle's estimate; whether it is of the first
            // half.
            double r, h, x, y, angle, mr, mh;
            bool first;
        };
        // Each sample turned into the half-plane, in their order, but for
        // those that have no place there, a chunk at a time in the vector
        // lanes where the processor has them. The measure's few thousand
        // points are measured on this thread: hundreds of evaluations handed
        // to the pool twice each waited longer for it than the work takes.
        std::vector<stMeridian> points;
        points.reserve(count);
        double rMin = DBL_MAX, rMax = -DBL_MAX, hMin = DBL_MAX, hMax = -DBL_MAX;
        stHalfPlaneFrame turn;
        for (int k = 0; k < 3; ++k)
            turn.dir[k] = dir[k], turn.at[k] = at[k], turn.u[k] = u[k], turn.v[k] = v[k];
        const eMeridianLeanKernel kernel = FastestMeridianLeanKernel();
        stHalfPlaneChunk chunk;
        for (std::size_t first = 0; first < count; first += kHalfPlaneChunk)
        {
            const std::size_t size = std::min(kHalfPlaneChunk, count - first);
            TurnIntoHalfPlane(kernel, p, n, first, size, turn, chunk);
            for (std::size_t j = 0; j < size; ++j)
            {
                const double r = chunk.r[j], h = chunk.h[j], mr = chunk.mr[j], mh = chunk.mh[j];
                if (!(r > 0.0) || !HypotIsPositive(mr, mh))
                    continue;
                // The profile normal is made unit below, for the first half's
                // points only: no other point's is read.
                points.push_back({r, h, chunk.a[j], chunk.b[j], chunk.angle[j], mr, mh, false});
                rMin = std::min(rMin, r), rMax = std::max(rMax, r);
                hMin = std::min(hMin, h), hMax = std::max(hMax, h);
            }
        }
        if (points.size() < 6)
            return FLT_MAX;
        // The first half: the points whose angle is below the median angle
        // (std::atan2 taken where the estimate leaves it open).
        const auto exact = [](const stMeridian& m) { return std::atan2(m.y, m.x); };
        const double median = MedianAngle(points, [](const stMeridian& m) { return m.angle; }, exact, split);
        split = median;
        for (stMeridian& m : points)
            m.first = m.angle < median - kAngleSlack || (!(m.angle >= median + kAngleSlack) && exact(m) < median);
        for (stMeridian& m : points)
            if (m.first)
            {
                const double length = std::hypot(m.mr, m.mh);
                m.mr /= length, m.mh /= length;
            }
        // A grid over the first half in (radius, height).
        const double cell = std::max(0.02 * std::hypot(rMax - rMin, hMax - hMin), 1e-6);
        const std::size_t nr = static_cast<std::size_t>((rMax - rMin) / cell) + 1;
        const std::size_t nh = static_cast<std::size_t>((hMax - hMin) / cell) + 1;
        if (nr * nh > 4000000)
            return FLT_MAX;
        // Well past the rounding of a cell's edge (the points are of order
        // one: centred and scaled).
        const double margin = 1e-9 * (std::fabs(rMin) + std::fabs(rMax) + std::fabs(hMin) + std::fabs(hMax) + cell);
        const auto cellOf = [&](double r, double h, std::size_t& i, std::size_t& j) {
            i = std::min(static_cast<std::size_t>((r - rMin) / cell), nr - 1);
            j = std::min(static_cast<std::size_t>((h - hMin) / cell), nh - 1);
        };
        // The first half's points by cell: cell c holds entries
        // [start[c], start[c + 1]) of `members`, by radius (ties in the
        // points' order).
        std::vector<std::uint32_t> start(nr * nh + 1, 0), cellOfPoint(points.size());
        for (std::uint32_t k = 0; k < points.size(); ++k)
            if (points[k].first)
            {
                std::size_t i, j;
                cellOf(points[k].r, points[k].h, i, j);
                cellOfPoint[k] = static_cast<std::uint32_t>(i * nh + j);
                ++start[i * nh + j + 1];
            }
        for (std::size_t c = 0; c < nr * nh; ++c)
            start[c + 1] += start[c];
        // Each member with its radius, filled in the points' order, so that
        // sorting a cell's members by radius and then by index keeps the ties
        // in that order; then the radii beside the members for the searches.
        struct stMember
        {
            double r;
            std::uint32_t k;
        };
        std::vector<stMember> byCell(start.back());
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (std::uint32_t k = 0; k < points.size(); ++k)
            if (points[k].first)
                byCell[fill[cellOfPoint[k]]++] = {points[k].r, k};
        const auto byRadius = [](const stMember& x, const stMember& y) { return x.r < y.r || (x.r == y.r && x.k < y.k); };
        for (std::size_t c = 0; c < nr * nh; ++c)
            if (start[c + 1] - start[c] > 1)
                std::sort(byCell.begin() + start[c], byCell.begin() + start[c + 1], byRadius);
        std::vector<std::uint32_t> members(byCell.size());
        tValues radiusOf(byCell.size());
        for (std::size_t m = 0; m < byCell.size(); ++m)
            members[m] = byCell[m].k, radiusOf[m] = byCell[m].r;
        // Each second-half point's term (-1: none, the first half and points
        // passed over), summed in the points' order.
        tValues termOf(points.size());
        auto measure = [&](std::size_t p) {
            const stMeridian& q = points[p];
            termOf[p] = -1.0;
            if (q.first)
                return;
            std::size_t i, j;
            cellOf(q.r, q.h, i, j);
            // The nearest point of the neighbouring cells; of points at the
            // same distance the first in cell order and then in the points'
            // order. A cell is searched outwards from the query's radius, and
            // a side ends at the first point whose radial term alone is past
            // the best distance (the sum of the two terms is at least either).
            double best = DBL_MAX;
            std::size_t bestCell = 0;
            std::uint32_t bestPoint = 0;
            const stMeridian* nearest = nullptr;
            const auto consider = [&](std::size_t cellIndex, std::uint32_t k) {
                const double d2 = (points[k].r - q.r) * (points[k].r - q.r) + (points[k].h - q.h) * (points[k].h - q.h);
                if (d2 < best || (d2 == best && nearest != nullptr &&
                                  (cellIndex < bestCell || (cellIndex == bestCell && k < bestPoint))))
                    best = d2, bestCell = cellIndex, bestPoint = k, nearest = &points[k];
            };
            const auto beyond = [&](std::size_t m) { return (radiusOf[m] - q.r) * (radiusOf[m] - q.r) > best; };
            // The nearest is the least by distance, cell and point whatever
            // the order the cells are searched in: the query's own cell
            // first, then each neighbour whose rectangle may hold a point no
            // farther than the best so far (its edges taken a rounding's
            // margin nearer, as the cells were found by a division).
            const auto gap = [&](std::size_t c, std::size_t own, double value, double low) {
                const double d = c < own ? value - (low + static_cast<double>(c + 1) * cell)
                                         : (c > own ? low + static_cast<double>(c) * cell - value : 0.0);
                return std::max(d - margin, 0.0);
            };
            const auto search = [&](std::size_t a, std::size_t b) {
                const std::size_t cellIndex = a * nh + b;
                const std::size_t first = start[cellIndex], last = start[cellIndex + 1];
                if (first == last)
                    return;
                // The first member whose radius is not below the query's, as
                // std::lower_bound finds it: by halving without branches down
                // to a few members (the member sought lies among the n from
                // `base` on, or just past them), then by counting those below
                // it, which waits for no load to pick the next.
                const double* base = radiusOf.data() + first;
                std::size_t n = last - first;
                for (; n > 8; n -= n / 2)
                    base = base[n / 2] < q.r ? base + n / 2 : base;
                std::size_t from = static_cast<std::size_t>(base - radiusOf.data());
                for (std::size_t k = 0; k < n; ++k)
                    from += base[k] < q.r ? 1 : 0;
                for (std::size_t m = from; m != last && !beyond(m); ++m)
                    consider(cellIndex, members[m]);
                for (std::size_t m = from; m != first && !beyond(m - 1); --m)
                    consider(cellIndex, members[m - 1]);
            };
            search(i, j);
            // Every neighbour's squared gap is at least the squared gap of
            // the side of the query's cell it lies across (the gap of the
            // neighbour straight across; none across the grid's edge): when
            // each is past the best distance, no neighbour is searched.
            const auto across = [&](std::size_t a, std::size_t b) {
                const double dr = gap(a, i, q.r, rMin), dh = gap(b, j, q.h, hMin);
                return a < nr && b < nh ? dr * dr + dh * dh : DBL_MAX;
            };
            if (!(std::min(std::min(across(i - 1, j), across(i + 1, j)), std::min(across(i, j - 1), across(i, j + 1))) >
                  best))
                for (std::size_t a = i > 0 ? i - 1 : 0; a <= std::min(i + 1, nr - 1); ++a)
                    for (std::size_t b = j > 0 ? j - 1 : 0; b <= std::min(j + 1, nh - 1); ++b)
                    {
                        const double dr = gap(a, i, q.r, rMin), dh = gap(b, j, q.h, hMin);
                        if ((a != i || b != j) && !(dr * dr + dh * dh > best))
                            search(a, b);
                    }
            if (nearest == nullptr && cap == DBL_MAX)
                return;
            double term = cap;
            if (nearest != nullptr)
                term = std::min(std::fabs((q.r - nearest->r) * nearest->mr + (q.h - nearest->h) * nearest->mh), cap);
            termOf[p] = term;
        };
        for (std::size_t p = 0; p < points.size(); ++p)
            measure(p);
        double sum = 0.0;
        // Without terms to collect, the sum stays in a register.
        if (terms == nullptr)
        {
            for (const double term : termOf)
                if (term >= 0.0)
                    sum += term * term;
            return sum;
        }
        for (const double term : termOf)
        {
            if (!(term >= 0.0))
                continue;
            terms->push_back(term);
            sum += term * term;
        }
        return sum;
    }
};

// The trial points of a simplex step measured side by side by a team of the
// pool's threads, one an item: a measure's few thousand points are too few
// to share out, but the step's candidates are measured alone. Each batch
// slot keeps the split of its last point for the next.
struct stProfileBatch
{
    const stProfileMeasure* measure;
    cPoolTeam* team;
    double splits[9];
};

// A step's candidates are four but for the first simplex's nine.
constexpr std::size_t kProfileHelpers = 3;

void ProfileObjectives(const cDoubleVector* points, std::uint32_t count, double* values, void* context)
{
    auto& batch = *static_cast<stProfileBatch*>(context);
    auto each = [&](std::size_t i) {
        double none = DBL_MAX;
        values[i] = batch.measure->Evaluate(points[i], i < std::size(batch.splits) ? batch.splits[i] : none);
    };
    batch.team->Run(count, each);
}

// At most this many points take part in the profile measure: every
// evaluation turns them all into the half-plane.
constexpr std::size_t kMaxProfilePoints = 6000;

// The samples the profile measure takes: every one of a stride that leaves
// at most kMaxProfilePoints.
tSamples<stOriented> ProfileSamples(const tSamples<stOriented>& all)
{
    tSamples<stOriented> samples;
    const std::size_t stride = all.size() / kMaxProfilePoints + 1;
    for (std::size_t i = 0; i < all.size(); i += stride)
        samples.push_back(all[i]);
    return samples;
}

void RefineAxisByProfile(const tSamples<stOriented>& samples, double axis[3], double point[3])
{
    // The samples by component, for the vector lanes.
    const std::size_t count = samples.size();
    std::vector<double> laid(6 * count);
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t c = 0; c < 3; ++c)
            laid[c * count + i] = samples[i].p[c], laid[(3 + c) * count + i] = samples[i].n[c];
    const double* base = laid.data();
    stProfileMeasure measure{{base, base + count, base + 2 * count},
                             {base + 3 * count, base + 4 * count, base + 5 * count},
                             count,
                             {nullptr, 0, {}, {}, {}, {}}};
    std::copy(axis, axis + 3, measure.frame.axis);
    std::copy(point, point + 3, measure.frame.point);
    const int smallest = std::fabs(axis[0]) <= std::fabs(axis[1]) && std::fabs(axis[0]) <= std::fabs(axis[2])
                             ? 0
                             : (std::fabs(axis[1]) <= std::fabs(axis[2]) ? 1 : 2);
    double e[3] = {0.0, 0.0, 0.0};
    e[smallest] = 1.0;
    Cross(axis, e, measure.frame.u);
    MakeUnit(measure.frame.u);
    Cross(axis, measure.frame.u, measure.frame.v);
    cDoubleVector x(4);
    if (x.GetCount() != 4)
        return;
    // The cap: a few times the typical term about the starting axis.
    tValues terms;
    measure.terms = &terms;
    const double start = measure.Evaluate(x);
    measure.terms = nullptr;
    if (!(start < FLT_MAX) || terms.size() < 3)
        return;
    measure.cap = 3.0 * Median(terms);
    if (!(measure.cap > 0.0))
        return;
    // Rounds from the best axis so far, each with a smaller first simplex:
    // the measure changes in steps as nearest points change, where a single
    // simplex can settle early. The hundreds of steps run on a team of the
    // pool's threads kept for them.
    auto rounds = [&](cPoolTeam& team) {
        for (const float step : {0.02f, 0.005f, 0.001f})
        {
            x[0] = x[1] = x[2] = x[3] = 0.0;
            const double before = measure.Evaluate(x);
            double after = before;
            stProfileBatch batch{&measure, &team, {}};
            std::fill(std::begin(batch.splits), std::end(batch.splits), measure.lastSplit);
            const std::uint32_t found =
                MinimiseSimplexBatched(x, ProfileObjectives, &batch, 1e-10, 400, step, &after);
            measure.lastSplit = batch.splits[0];
            if (found == kSimplexFailed || !(after < before))
                continue;
            double dir[3], at[3];
            measure.frame.Apply(x, dir, at);
            std::copy(dir, dir + 3, measure.frame.axis);
            std::copy(at, at + 3, measure.frame.point);
        }
    };
    RunWithPoolTeam(SharedThreadPool(), kProfileHelpers, rounds);
    std::copy(measure.frame.axis, measure.frame.axis + 3, axis);
    std::copy(measure.frame.point, measure.frame.point + 3, point);
}

} // namespace

// MeanAndSquaredSpread on the shared pool: a pass over blocks of places gathers
// each block's sums of the coordinates, of their sizes and of their squares
// and its coordinates' finest exponent. When every coordinate (a float, a
// whole multiple of 2^(e - 23) for its exponent e) is a whole multiple of
// the spacing of the doubles at the sum of the sizes, every partial sum in
// any order is a multiple of it below 2^53 of them: no addition rounds, and
// the blocks' sums give the sum of the ordered pass (else that pass runs, as
// where the coordinates run through zero). The spread's terms are counted a
// block at a time in steps of the binade its running sum has before the
// block by the blocks' squares (ordered_sum_steps.h) and taken in order,
// term by term where the count does not hold.
double MeanAndSquaredSpread(const tFitPointQueue& records, const std::uint32_t* places, std::size_t count,
                            double mean[3])
{
    struct stBlock
    {
        double sum[3] = {0.0, 0.0, 0.0}, size[3] = {0.0, 0.0, 0.0}, squares[3] = {0.0, 0.0, 0.0};
        // The least biased exponent of the block's coordinates that are not
        // zero (256 for none; 1 for the subnormal floats, whose spacing is
        // that of the least normal exponent).
        std::uint32_t finest[3] = {256, 256, 256};
    };
    const std::size_t blocks = (count + kSpreadPlaces - 1) / kSpreadPlaces;
    const auto endOf = [&](std::size_t block) { return std::min(count, (block + 1) * kSpreadPlaces); };
    std::vector<stBlock> of(blocks);
    // A block's records, one after another (the places ascend: the queue's
    // iterator steps from one to the next without finding its node anew).
    const auto eachRecord = [&](std::size_t block, auto&& visit) {
        const std::size_t first = block * kSpreadPlaces;
        auto record = records.begin() + static_cast<std::ptrdiff_t>(places[first]);
        for (std::size_t i = first; i < endOf(block); ++i)
        {
            if (i > first)
                record += static_cast<std::ptrdiff_t>(places[i] - places[i - 1]);
            visit(i - first, *record);
        }
    };
    auto survey = [&](std::size_t block) {
        stBlock own;
        eachRecord(block, [&](std::size_t, const stFitPoint& record) {
            for (int k = 0; k < 3; ++k)
            {
                const double c = static_cast<double>(record.position[k]);
                own.sum[k] += c;
                own.size[k] += std::fabs(c);
                own.squares[k] += c * c;
                std::uint32_t bits;
                std::memcpy(&bits, &record.position[k], sizeof bits);
                const std::uint32_t exponent = (bits >> 23) & 0xFFu;
                own.finest[k] = std::min(own.finest[k], (bits & 0x7FFFFFFFu) == 0 ? 256u : std::max(exponent, 1u));
            }
        });
        of[block] = own;
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, survey);
    stBlock all;
    for (const stBlock& b : of)
        for (int k = 0; k < 3; ++k)
        {
            all.sum[k] += b.sum[k];
            all.size[k] += b.size[k];
            all.finest[k] = std::min(all.finest[k], b.finest[k]);
        }
    bool exact = true;
    for (int k = 0; k < 3; ++k)
    {
        // Above the sizes' true sum: the rounding of millions of additions
        // stays far below a relative 2^-20. A float of biased exponent f is
        // a multiple of 2^(f - 150); the doubles at the bound are spaced
        // 2^(ilogb(bound) - 52).
        const double bound = all.size[k] * (1.0 + 0x1p-20);
        exact = exact && bound <= DBL_MAX &&
                (!(bound > 0.0) || static_cast<int>(all.finest[k]) - 150 >= std::ilogb(bound) - 52);
    }
    if (exact)
        std::copy(all.sum, all.sum + 3, mean);
    else
    {
        std::fill(mean, mean + 3, 0.0);
        for (std::size_t i = 0; i < count; ++i)
            for (int k = 0; k < 3; ++k)
                mean[k] += static_cast<double>(records[places[i]].position[k]);
    }
    for (int k = 0; k < 3; ++k)
        mean[k] /= static_cast<double>(count);

    // Each block's share of the spread from its sums, and the binade of the
    // running sum before it by the blocks' shares before it: only a guess
    // (the terms' own sum can differ in its last bits), which the counts are
    // taken in only where it holds.
    std::vector<int> binadeBefore(blocks);
    double before = 0.0;
    for (std::size_t block = 0; block < blocks; ++block)
    {
        binadeBefore[block] = SumBinade(before);
        const stBlock& b = of[block];
        const double n = static_cast<double>(endOf(block) - block * kSpreadPlaces);
        for (int k = 0; k < 3; ++k)
            before += std::max(b.squares[k] - 2.0 * mean[k] * b.sum[k] + n * mean[k] * mean[k], 0.0);
    }
    // A block's distances |c - mean[k]|, whose squares are its terms, in
    // their order.
    const auto distances = [&](std::size_t block, double* to) {
        eachRecord(block, [&](std::size_t i, const stFitPoint& record) {
            for (int k = 0; k < 3; ++k)
                to[3 * i + k] = std::fabs(static_cast<double>(record.position[k]) - mean[k]);
        });
    };
    std::vector<stSumSteps> steps(blocks);
    auto find = [&](std::size_t block) {
        double own[3 * kSpreadPlaces];
        distances(block, own);
        steps[block] = CountSumStepsOfSquares(own, 3 * (endOf(block) - block * kSpreadPlaces), binadeBefore[block]);
    };
    double spread = 0.0;
    auto take = [&](std::size_t block) {
        spread = TakeSumSteps(spread, steps[block], [&](double running) {
            double own[3 * kSpreadPlaces];
            distances(block, own);
            const std::size_t terms = 3 * (endOf(block) - block * kSpreadPlaces);
            for (std::size_t t = 0; t < terms; ++t)
                running += own[t] * own[t];
            return running;
        });
    };
    FindOnPoolTakeInOrder(SharedThreadPool(), blocks, find, take);
    return spread;
}

bool EstimateExtrusionDirectionFromNormals(const cFitContainer& points, double direction[3])
{
    // The normals alone: half the memory the trials and passes read.
    tSamples<stUnitNormal> samples = UsableSamples<stUnitNormal>(points);
    if (samples.size() < 3)
        return false;
    double best[3] = {0.0, 0.0, 0.0};
    // A start that the normals of a rim cannot pull away: of the directions
    // square to two normals, the one the median normal stands most nearly
    // square to (a rim of the face below a wall can hold more normals than
    // the wall's turn spreads across it). The normals far from square to it
    // leave before the passes.
    {
        std::uint64_t state = 0x9E3779B97F4A7C15ull ^ samples.size();
        const auto next = [&state](std::size_t n) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            return static_cast<std::size_t>((state >> 33) % n);
        };
        // The trial directions, drawn as the trials come.
        std::vector<std::array<double, 3>> trials;
        for (int trial = 0; trial < kDirectionTrials; ++trial)
        {
            double c[3];
            Cross(samples[next(samples.size())].n, samples[next(samples.size())].n, c);
            if (!(std::sqrt(Dot(c, c)) > 0.1) || !MakeUnit(c))
                continue;
            trials.push_back({c[0], c[1], c[2]});
        }
        double bestScore = DBL_MAX;
        tValues along(samples.size());
        const std::size_t jobs = (samples.size() + kSamplesPerJob - 1) / kSamplesPerJob;
        const auto endOf = [&](std::size_t job) { return std::min(samples.size(), (job + 1) * kSamplesPerJob); };
        // Only a trial whose median is below the best so far needs it: that
        // takes more than half the values below the best. The values and
        // their count are found a block at a time on the pool.
        std::vector<std::size_t> belowIn(jobs);
        const auto tryDirection = [&](const double c[3]) {
            auto measure = [&](std::size_t job) {
                std::size_t below = 0;
                for (std::size_t i = job * kSamplesPerJob; i < endOf(job); ++i)
                {
                    along[i] = std::fabs(Dot(samples[i].n, c));
                    below += along[i] < bestScore;
                }
                belowIn[job] = below;
            };
            ParallelForEach(SharedThreadPool(), jobs, 1, measure);
            std::size_t below = 0;
            for (const std::size_t b : belowIn)
                below += b;
            if (below <= samples.size() / 2)
                return;
            const double score = MedianInPlace(along);
            if (score < bestScore)
                bestScore = score, std::copy(c, c + 3, best);
        };
        // The trials are first counted against the best before them, several
        // in one pass over the normals: the best only falls, so a trial with
        // no more than half its values below it has no more below the best
        // its turn comes with either, and is passed over as it would be then.
        // (Until there is a best, every trial needs its median.)
        std::size_t first = 0;
        while (first < trials.size() && bestScore == DBL_MAX)
            tryDirection(trials[first++].data());
        // The trials of a pass are counted in the vector lanes, one a lane.
        std::vector<std::array<std::size_t, kTrialsPerPass>> belowOf(jobs);
        const eTrialCountKernel kernel = FastestTrialCountKernel();
        for (; first < trials.size(); first += kTrialsPerPass)
        {
            const std::size_t count = std::min(kTrialsPerPass, trials.size() - first);
            const double limit = bestScore;
            double passTrials[kTrialsPerPass][3];
            for (std::size_t t = 0; t < count; ++t)
                std::copy(trials[first + t].begin(), trials[first + t].end(), passTrials[t]);
            auto countBelow = [&](std::size_t job) {
                std::array<std::size_t, kTrialsPerPass> below{};
                const std::size_t begin = job * kSamplesPerJob;
                CountNearlySquare(kernel, samples[begin].n, endOf(job) - begin, passTrials, count, limit,
                                  below.data());
                belowOf[job] = below;
            };
            ParallelForEach(SharedThreadPool(), jobs, 1, countBelow);
            for (std::size_t t = 0; t < count; ++t)
            {
                std::size_t below = 0;
                for (const auto& b : belowOf)
                    below += b[t];
                if (below > samples.size() / 2)
                    tryDirection(trials[first + t].data());
            }
        }
        if (bestScore < DBL_MAX)
        {
            auto measure = [&](std::size_t i) { along[i] = std::fabs(Dot(samples[i].n, best)); };
            ParallelForEach(SharedThreadPool(), samples.size(), kSamplesPerJob, measure);
            KeepAgreeing(samples, along, 3);
        }
    }
    for (int pass = 0; pass < kPasses; ++pass)
    {
        double scatter[3][3] = {};
        for (const stUnitNormal& s : samples)
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    scatter[i][j] += s.n[i] * s.n[j];
        double values[3], vectors[3][3];
        if (!Eigen3(scatter, values, vectors))
            return false;
        // The normals left at the end must turn about the direction (a
        // clear middle value) and keep square to it (a much smaller last
        // one). The first passes see the normals of whatever else the region
        // holds too (a rim of the face the wall stands on).
        const double total = values[0] + values[1] + values[2];
        if (pass + 1 == kPasses && (!(values[1] > 0.005 * total) || !(values[1] > 25.0 * std::max(values[2], 0.0))))
            return false;
        for (int k = 0; k < 3; ++k)
            best[k] = vectors[k][2];
        if (!MakeUnit(best))
            return false;
        if (pass + 1 < kPasses)
        {
            tValues along(samples.size());
            auto measure = [&](std::size_t i) { along[i] = std::fabs(Dot(samples[i].n, best)); };
            ParallelForEach(SharedThreadPool(), samples.size(), kSamplesPerJob, measure);
            KeepAgreeing(samples, along, 3);
        }
    }
    std::copy(best, best + 3, direction);
    return true;
}

double MedianNormalAlongDirection(const cFitContainer& points, const double direction[3])
{
    double d[3] = {direction[0], direction[1], direction[2]};
    if (!MakeUnit(d))
        return FLT_MAX;
    // Measured as the records are read: a region of millions of points
    // is not copied first.
    return MedianOfUsableNormals(points, [&](const stOriented& s) { return std::fabs(Dot(s.n, d)); });
}

void MedianNormalAlongDirections(const cFitContainer& points, const double directionA[3],
                                 const double directionB[3], double medians[2])
{
    double a[3] = {directionA[0], directionA[1], directionA[2]}, b[3] = {directionB[0], directionB[1], directionB[2]};
    if (!MakeUnit(a) || !MakeUnit(b))
    {
        medians[0] = MedianNormalAlongDirection(points, directionA);
        medians[1] = MedianNormalAlongDirection(points, directionB);
        return;
    }
    const std::array<double, 2> both = MediansOfUsableNormals<2>(points, [&](const stOriented& s, double value[2]) {
        value[0] = std::fabs(Dot(s.n, a));
        value[1] = std::fabs(Dot(s.n, b));
    });
    medians[0] = both[0], medians[1] = both[1];
}

bool EstimateRevolutionAxisFromNormals(const cFitContainer& points, double axis[3], double point[3])
{
    // The solution passes keep the places of the samples that agree; the
    // samples are made from their records where the passes read them.
    if (points.Points().size() > std::numeric_limits<tPlace>::max())
        return false;
    tSamples<tPlace> places = UsableSamples<tPlace>(points);
    if (places.size() < 6)
        return false;
    const tFitPointQueue& records = points.Points();
    // Centred on the mean and scaled to unit spread.
    stScaledRecords scaled{&records, {0.0, 0.0, 0.0}, 0.0};
    double* mean = scaled.mean;
    double spread = 0.0;
    if (places.size() >= kPooledSpreadPlaces)
        spread = MeanAndSquaredSpread(records, places.data(), places.size(), mean);
    else
    {
        // Fewer places in one pass each: the pool's passes cost them more.
        for (const tPlace place : places)
            for (int k = 0; k < 3; ++k)
                mean[k] += static_cast<double>(records[place].position[k]);
        for (int k = 0; k < 3; ++k)
            mean[k] /= static_cast<double>(places.size());
        for (const tPlace place : places)
            for (int k = 0; k < 3; ++k)
            {
                const double centred = static_cast<double>(records[place].position[k]) - mean[k];
                spread += centred * centred;
            }
    }
    spread = std::sqrt(spread / static_cast<double>(places.size()));
    if (!(spread > 0.0) || !std::isfinite(spread))
        return false;
    scaled.spread = spread;

    double dir[3] = {}, foot[3] = {};
    for (int pass = 0; pass < kPasses; ++pass)
    {
        // Stray normals can blur the first solves; the line must be clearly
        // determined by the normals that agree with it.
        if (!SolveAxis(places, scaled, pass + 1 == kPasses, dir, foot))
            return false;
        if (pass + 1 < kPasses)
        {
            tValues off(places.size());
            auto measure = [&](std::size_t i) {
                stOriented s;
                scaled.Make(places[i], s);
                off[i] = std::max(OffMeridian(s, dir, foot), 0.0);
            };
            ParallelForEach(SharedThreadPool(), places.size(), kSamplesPerJob, measure);
            KeepAgreeing(places, off, 6);
        }
    }
    // The samples that agree, made once their places are known. The places'
    // room for every record goes first (a whole scan's 5M places beside
    // its 111 MB of samples).
    places.shrink_to_fit();
    tSamples<stOriented> samples(places.size());
    auto make = [&](std::size_t i) { scaled.Make(places[i], samples[i]); };
    ParallelForEach(SharedThreadPool(), places.size(), kSamplesPerJob, make);
    tSamples<tPlace>().swap(places);
    // The profile's samples are taken first: the axis refinement lays the
    // samples out anew.
    const tSamples<stOriented> profileSamples = ProfileSamples(samples);
    RefineAxis(samples, dir, foot);
    RefineAxisByProfile(profileSamples, dir, foot);
    // Back to world units; the point nearest the mean (the origin here).
    const double along = Dot(foot, dir);
    for (int k = 0; k < 3; ++k)
    {
        axis[k] = dir[k];
        point[k] = mean[k] + spread * (foot[k] - along * dir[k]);
    }
    return true;
}

double MedianNormalOffMeridian(const cFitContainer& points, const double axis[3], const double point[3])
{
    double d[3] = {axis[0], axis[1], axis[2]};
    if (!MakeUnit(d))
        return FLT_MAX;
    return MedianOfUsableNormals(points, [&](const stOriented& s) { return OffMeridian(s, d, point); });
}

void MedianNormalOffMeridians(const cFitContainer& points, const double axisA[3], const double pointA[3],
                              const double axisB[3], const double pointB[3], double medians[2])
{
    double a[3] = {axisA[0], axisA[1], axisA[2]}, b[3] = {axisB[0], axisB[1], axisB[2]};
    if (!MakeUnit(a) || !MakeUnit(b))
    {
        medians[0] = MedianNormalOffMeridian(points, axisA, pointA);
        medians[1] = MedianNormalOffMeridian(points, axisB, pointB);
        return;
    }
    const std::array<double, 2> both = MediansOfUsableNormals<2>(points, [&](const stOriented& s, double value[2]) {
        value[0] = OffMeridian(s, a, pointA);
        value[1] = OffMeridian(s, b, pointB);
    });
    medians[0] = both[0], medians[1] = both[1];
}
