// Axes and medians read from half a million normals and more, on a pool as
// alone: the medians are then selected on the pool.
#include "fitting/sweep_axis_estimates.h"

#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace
{

// A wall standing on a rim, tilted and far out: normals with noise of
// their own, and every fifth one a copy of one of a few dozen exact ones,
// so that many values are equal.
tFitPointQueue BigWall()
{
    const double x[3] = {0.8, 0.6, 0.0}, y[3] = {-0.36, 0.48, 0.8}, z[3] = {0.48, -0.64, 0.6};
    const double o[3] = {1200.0, -700.0, 450.0};
    std::uint64_t state = 99;
    const auto noise = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5;
    };
    tFitPointQueue points;
    for (int j = 0; j < 600; ++j)
        for (int i = 0; i < 1000; ++i)
        {
            const double a = 1.6 * i / 1000.0;
            const bool rim = j < 100;
            const double local[3] = {rim ? 14.0 * i / 1000.0 : 12.0 * std::cos(a), rim ? 0.05 * j : 12.0 * std::sin(a),
                                     rim ? 0.0 : 0.03 * (j - 100)};
            double n[3] = {rim ? 0.0 : std::cos(a), rim ? 0.0 : std::sin(a), rim ? 1.0 : 0.0};
            if ((i + j) % 5 != 0)
                for (double& c : n)
                    c += 0.04 * noise();
            stFitPoint r;
            for (int k = 0; k < 3; ++k)
            {
                r.position[k] = static_cast<float>(o[k] + x[k] * local[0] + y[k] * local[1] + z[k] * local[2]);
                r.normal[k] = static_cast<float>(x[k] * n[0] + y[k] * n[1] + z[k] * n[2]);
            }
            points.push_back(r);
        }
    return points;
}

} // namespace

TEST(NormalAxesOnAPool, ManyNormalsGiveTheDirectionAndMediansTheyGiveAlone)
{
    const cFitContainer wall(BigWall());
    double alone[3];
    ASSERT_TRUE(EstimateExtrusionDirectionFromNormals(wall, alone));
    const double tilted[3] = {0.6, -0.64, 0.48};
    const double along = MedianNormalAlongDirection(wall, tilted);
    const double centre[3] = {1200.0, -700.0, 450.0};
    const double off = MedianNormalOffMeridian(wall, tilted, centre);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    double pooled[3];
    const bool found = EstimateExtrusionDirectionFromNormals(wall, pooled);
    const double pooledAlong = MedianNormalAlongDirection(wall, tilted);
    const double pooledOff = MedianNormalOffMeridian(wall, tilted, centre);
    // Both medians of one read about two axes: each as alone.
    const double upright[3] = {-0.36, 0.48, 0.8};
    double both[2], bothAlong[2];
    MedianNormalOffMeridians(wall, tilted, centre, upright, centre, both);
    MedianNormalAlongDirections(wall, tilted, upright, bothAlong);
    SetSharedThreadPool(nullptr);
    ASSERT_TRUE(found);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(pooled[k], alone[k]) << k;
    EXPECT_EQ(pooledAlong, along);
    EXPECT_EQ(pooledOff, off);
    EXPECT_EQ(both[0], off);
    EXPECT_EQ(both[1], MedianNormalOffMeridian(wall, upright, centre));
    EXPECT_EQ(bothAlong[0], along);
    EXPECT_EQ(bothAlong[1], MedianNormalAlongDirection(wall, upright));
}

TEST(NormalAxesOnAPool, ARevolvedWallGivesTheAxisItGivesAlone)
{
    // A band of the wall above its rim, turned: its profile measure takes
    // each simplex step's candidates side by side.
    const tFitPointQueue all = BigWall();
    tFitPointQueue band;
    for (std::size_t i = 100 * 1000; i < all.size(); i += 151)
        band.push_back(all[i]);
    const cFitContainer wall(band);
    double axis[3], point[3];
    ASSERT_TRUE(EstimateRevolutionAxisFromNormals(wall, axis, point));
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    double pooledAxis[3], pooledPoint[3];
    const bool found = EstimateRevolutionAxisFromNormals(wall, pooledAxis, pooledPoint);
    SetSharedThreadPool(nullptr);
    ASSERT_TRUE(found);
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(pooledAxis[k], axis[k]) << k;
        EXPECT_EQ(pooledPoint[k], point[k]) << k;
    }
}

// Normals whose values along a direction all lie within a sixteenth of an
// octave (many of them equal): the pool's selection narrows the one bucket
// that holds them all by their next bits, and finds the median a full
// selection finds.
TEST(NormalAxesOnAPool, AMedianOfValuesCrowdedIntoOneBucketIsTheFullSelections)
{
    tFitPointQueue points;
    std::uint64_t state = 7;
    double c = 0.5;
    for (int i = 0; i < 600000; ++i)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double u = static_cast<double>(state >> 11) / 9007199254740992.0;
        if (i % 4 != 0)
            c = 0.5005 + 0.03 * u; // every fourth value repeats the one before
        const double s = std::sqrt(1.0 - c * c), a = 6.283 * u;
        stFitPoint r;
        r.position[0] = static_cast<float>(i % 1000), r.position[1] = static_cast<float>(i / 1000);
        r.normal[0] = static_cast<float>(c);
        r.normal[1] = static_cast<float>(s * std::cos(a));
        r.normal[2] = static_cast<float>(s * std::sin(a));
        points.push_back(r);
    }
    const cFitContainer crowd(points);
    const double x[3] = {1.0, 0.0, 0.0};
    const double alone = MedianNormalAlongDirection(crowd, x);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    const double pooled = MedianNormalAlongDirection(crowd, x);
    SetSharedThreadPool(nullptr);
    EXPECT_GT(alone, 0.5);
    EXPECT_LT(alone, 0.53);
    EXPECT_EQ(pooled, alone);
}

TEST(NormalAxesOnAPool, TheMeanAndSpreadOfRecordsAreThoseOfTheirOrderedSums)
{
    // Every place but each third of 30,000 records: far out and then near
    // the origin, where a coordinate of about one is rounded as it is added
    // to the far ones' sum (past 2^28); and all far out, where no addition
    // rounds. Alone and on a pool of four: the bits of one pass in order.
    std::uint64_t state = 99;
    const auto noise = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5;
    };
    for (const bool nearOrigin : {true, false})
    {
        tFitPointQueue records;
        for (int i = 0; i < 30000; ++i)
        {
            const bool far = !nearOrigin || i < 15000;
            const double p[3] = {far ? 40000.0 + 100.0 * noise() : 2.0 * noise(),
                                 far ? -30000.0 + noise() : 2.0 * noise(), far ? 5.0 * noise() : 100.0 + noise()};
            stFitPoint r;
            for (int k = 0; k < 3; ++k)
                r.position[k] = static_cast<float>(p[k]);
            r.normal[2] = 1.0f;
            records.push_back(r);
        }
        std::vector<std::uint32_t> places;
        for (std::uint32_t i = 0; i < records.size(); ++i)
            if (i % 3 != 0)
                places.push_back(i);
        double mean[3] = {0.0, 0.0, 0.0};
        for (const std::uint32_t place : places)
            for (int k = 0; k < 3; ++k)
                mean[k] += static_cast<double>(records[place].position[k]);
        for (double& m : mean)
            m /= static_cast<double>(places.size());
        double spread = 0.0;
        for (const std::uint32_t place : places)
            for (int k = 0; k < 3; ++k)
            {
                const double centred = static_cast<double>(records[place].position[k]) - mean[k];
                spread += centred * centred;
            }
        cThreadPool pool(4);
        for (cThreadPool* shared : {static_cast<cThreadPool*>(nullptr), &pool})
        {
            SetSharedThreadPool(shared);
            double got[3];
            const double sum = MeanAndSquaredSpread(records, places.data(), places.size(), got);
            SetSharedThreadPool(nullptr);
            EXPECT_EQ(sum, spread) << nearOrigin;
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(got[k], mean[k]) << nearOrigin << " " << k;
        }
    }
}
