// Axes read from point normals: what they find on ideal patches far from the
// origin, and the patches that leave them open (a flat face, a sphere).
#include "fitting/sweep_axis_estimates.h"

#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;

stFitPoint Record(const double p[3], const double n[3])
{
    stFitPoint r;
    for (int k = 0; k < 3; ++k)
        r.position[k] = static_cast<float>(p[k]), r.normal[k] = static_cast<float>(n[k]);
    return r;
}

// A tilted orthonormal frame placed far from the origin: x, y, z columns.
struct stFrame
{
    double x[3] = {0.8, 0.6, 0.0};
    double y[3] = {-0.36, 0.48, 0.8};
    double z[3] = {0.48, -0.64, 0.6};
    double o[3] = {1200.0, -700.0, 450.0};

    void Map(const double local[3], double world[3], bool isPoint) const
    {
        for (int k = 0; k < 3; ++k)
            world[k] = (isPoint ? o[k] : 0.0) + x[k] * local[0] + y[k] * local[1] + z[k] * local[2];
    }
};

// A record placed by the frame: its point and normal given in its axes.
stFitPoint Placed(const stFrame& f, const double local[3], const double normal[3])
{
    double wp[3], wn[3];
    f.Map(local, wp, true);
    f.Map(normal, wn, false);
    return Record(wp, wn);
}

// Repeatable noise in [-0.5, 0.5).
class cNoise
{
public:
    explicit cNoise(std::uint64_t seed) : m_state(seed) {}
    double operator()()
    {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(m_state >> 11) / 9007199254740992.0 - 0.5;
    }

private:
    std::uint64_t m_state;
};

double LineAngle(const double a[3], const double b[3])
{
    const double dot = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
    return std::acos(std::min(dot, 1.0));
}

// The noisy cone-like wall r = 10 + 0.3 h about the frame's z, `rows` rings
// `step` apart of `columns` points over half a turn, each normal off by up
// to 0.015 in each component: a row of records after another.
tFitPointQueue NoisyHalfTurnWall(const stFrame& f, int rows, int columns, double step, std::uint64_t seed)
{
    tFitPointQueue points;
    cNoise noise(seed);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i)
        {
            const double h = step * j, a = kPi * i / columns, r = 10.0 + 0.3 * h;
            const double local[3] = {r * std::cos(a), r * std::sin(a), h};
            const double n[3] = {std::cos(a) + 0.03 * noise(), std::sin(a) + 0.03 * noise(), -0.3 + 0.03 * noise()};
            points.push_back(Placed(f, local, n));
        }
    return points;
}

// The axis from the records' normals, found on a pool of four: within 0.01
// of the true direction, and bit for bit what it gave (the direction, then
// the point).
void ExpectAxisOnAPoolToTheBit(const cFitContainer& container, const double truth[3], const double expected[6])
{
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    double axis[3], point[3];
    const bool found = EstimateRevolutionAxisFromNormals(container, axis, point);
    SetSharedThreadPool(nullptr);
    ASSERT_TRUE(found);
    EXPECT_LT(LineAngle(axis, truth), 0.01);
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(axis[k], expected[k]) << k;
        EXPECT_EQ(point[k], expected[3 + k]) << k;
    }
}

// A surface of revolution about the frame's z: the cone-like wall
// r = 10 + 0.3 h over a third of a turn; `stray` normals of every tenth
// point are turned well off.
tFitPointQueue RevolvedPatch(const stFrame& f, bool stray)
{
    tFitPointQueue points;
    for (int j = 0; j <= 20; ++j)
        for (int i = 0; i <= 30; ++i)
        {
            const double h = 0.5 * j, a = (2.0 * kPi / 3.0) * i / 30.0;
            const double r = 10.0 + 0.3 * h;
            const double local[3] = {r * std::cos(a), r * std::sin(a), h};
            double n[3] = {std::cos(a), std::sin(a), -0.3};
            if (stray && (i + j) % 10 == 0)
                n[2] += 0.8;
            const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            for (double& c : n)
                c /= len;
            points.push_back(Placed(f, local, n));
        }
    return points;
}

} // namespace

TEST(NormalAxes, ExtrusionDirectionIsSquareToTheNormalsAndAFlatFaceLeavesItOpen)
{
    const stFrame f;
    tFitPointQueue wall, flat;
    for (int j = 0; j <= 10; ++j)
        for (int i = 0; i <= 30; ++i)
        {
            const double a = 1.5 * i / 30.0;
            const double local[3] = {12.0 * std::cos(a), 12.0 * std::sin(a), 1.5 * j};
            const double n[3] = {std::cos(a), std::sin(a), 0.0};
            double wp[3], wn[3];
            f.Map(local, wp, true);
            f.Map(n, wn, false);
            wall.push_back(Record(wp, wn));
            const double up[3] = {0.0, 0.0, 1.0}, onTop[3] = {1.0 * i, 1.0 * j, 0.0};
            f.Map(onTop, wp, true);
            f.Map(up, wn, false);
            flat.push_back(Record(wp, wn));
        }
    double d[3];
    ASSERT_TRUE(EstimateExtrusionDirectionFromNormals(cFitContainer(wall), d));
    EXPECT_LT(LineAngle(d, f.z), 1e-6);
    EXPECT_LT(MedianNormalAlongDirection(cFitContainer(wall), f.z), 1e-6);
    EXPECT_NEAR(MedianNormalAlongDirection(cFitContainer(wall), f.x), std::cos(0.75), 0.03);
    EXPECT_FALSE(EstimateExtrusionDirectionFromNormals(cFitContainer(flat), d)) << "every direction across is open";
    EXPECT_EQ(MedianNormalAlongDirection(cFitContainer(tFitPointQueue{}), f.z), FLT_MAX);
}

TEST(NormalAxes, RevolutionAxisIsWhereTheNormalsMeetDespiteStrayNormals)
{
    const stFrame f;
    for (const bool stray : {false, true})
    {
        const cFitContainer points(RevolvedPatch(f, stray));
        double axis[3], point[3];
        ASSERT_TRUE(EstimateRevolutionAxisFromNormals(points, axis, point)) << stray;
        EXPECT_LT(LineAngle(axis, f.z), 1e-4) << stray;
        // The point lies on the true axis.
        const double d[3] = {point[0] - f.o[0], point[1] - f.o[1], point[2] - f.o[2]};
        const double along = d[0] * f.z[0] + d[1] * f.z[1] + d[2] * f.z[2];
        EXPECT_LT(std::hypot(std::hypot(d[0] - along * f.z[0], d[1] - along * f.z[1]), d[2] - along * f.z[2]), 1e-3)
            << stray;
        EXPECT_LT(MedianNormalOffMeridian(points, f.z, f.o), 1e-5); // float records far out
        EXPECT_GT(MedianNormalOffMeridian(points, f.x, f.o), 0.1);
    }
}

TEST(NormalAxes, ASphereLeavesTheAxisOpen)
{
    // Every line through a sphere's centre meets all its normals.
    tFitPointQueue sphere;
    for (int j = 1; j < 10; ++j)
        for (int i = 0; i < 20; ++i)
        {
            const double t = kPi * j / 10.0, a = 2.0 * kPi * i / 20.0;
            const double n[3] = {std::sin(t) * std::cos(a), std::sin(t) * std::sin(a), std::cos(t)};
            const double p[3] = {300.0 + 8.0 * n[0], -50.0 + 8.0 * n[1], 20.0 + 8.0 * n[2]};
            sphere.push_back(Record(p, n));
        }
    double axis[3], point[3];
    EXPECT_FALSE(EstimateRevolutionAxisFromNormals(cFitContainer(sphere), axis, point));
    tFitPointQueue few(sphere.begin(), sphere.begin() + 5);
    EXPECT_FALSE(EstimateRevolutionAxisFromNormals(cFitContainer(few), axis, point));
}

TEST(NormalAxes, ANoisyWallWithItsRimAndStrayNormalsGivesItsDirectionToTheBit)
{
    // A quarter of a rounded wall standing on a face that runs on past it,
    // normals turned by noise and every seventh far off, far out and tilted.
    const stFrame f;
    tFitPointQueue points;
    cNoise noise(12345);
    for (int j = 0; j <= 60; ++j)
        for (int i = 0; i <= 90; ++i)
        {
            const double a = 1.6 * i / 90.0;
            const bool rim = j < 12;
            const double local[3] = {rim ? 14.0 * i / 90.0 : 12.0 * std::cos(a), rim ? 0.5 * j : 12.0 * std::sin(a),
                                     rim ? 0.0 : 0.3 * (j - 12)};
            double n[3] = {rim ? 0.0 : std::cos(a), rim ? 0.0 : std::sin(a), rim ? 1.0 : 0.0};
            for (double& c : n)
                c += 0.04 * noise();
            if ((i + 3 * j) % 7 == 0)
                n[2] += 0.9;
            points.push_back(Placed(f, local, n));
        }
    double d[3];
    ASSERT_TRUE(EstimateExtrusionDirectionFromNormals(cFitContainer(points), d));
    EXPECT_LT(LineAngle(d, f.z), 0.02);
    // The direction found before the trials' medians were cut short.
    EXPECT_EQ(d[0], -0x1.ebc2a227253b1p-2);
    EXPECT_EQ(d[1], 0x1.47bc13245d3cfp-1);
    EXPECT_EQ(d[2], -0x1.330ba650f682fp-1);
}

TEST(NormalAxes, ANoisyRevolvedWallGivesItsAxisToTheBitOnAPool)
{
    // The cone-like wall of RevolvedPatch, denser, over half a turn, with
    // noisy normals and every eleventh far off.
    const stFrame f;
    tFitPointQueue points;
    cNoise noise(777);
    for (int j = 0; j <= 40; ++j)
        for (int i = 0; i <= 120; ++i)
        {
            const double h = 0.5 * j, a = kPi * i / 120.0, r = 10.0 + 0.3 * h;
            const double local[3] = {r * std::cos(a), r * std::sin(a), h};
            double n[3] = {std::cos(a) + 0.03 * noise(), std::sin(a) + 0.03 * noise(), -0.3 + 0.03 * noise()};
            if ((i + 5 * j) % 11 == 0)
                n[2] += 0.8;
            points.push_back(Placed(f, local, n));
        }
    const cFitContainer container(points);
    // What it gave before its passes went on the pool, where they run now.
    const double expected[6] = {-0x1.eb851ea91e6a7p-2,  0x1.47ae126a347eep-1,  -0x1.3333356d334a4p-1,
                                0x1.2d33333068dd3p+10, -0x1.6133335739cebp+9, 0x1.c7ffffd7c20aap+8};
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    double axis[3], point[3];
    const bool found = EstimateRevolutionAxisFromNormals(container, axis, point);
    SetSharedThreadPool(nullptr);
    ASSERT_TRUE(found);
    EXPECT_LT(LineAngle(axis, f.z), 0.01);
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(axis[k], expected[k]) << k;
        EXPECT_EQ(point[k], expected[3 + k]) << k;
    }
    // The medians that weigh this axis against the circle's, measured on the
    // pool as alone.
    const double off = MedianNormalOffMeridian(container, axis, point);
    const double along = MedianNormalAlongDirection(container, axis);
    SetSharedThreadPool(&pool);
    EXPECT_EQ(MedianNormalOffMeridian(container, axis, point), off);
    EXPECT_EQ(MedianNormalAlongDirection(container, axis), along);
    SetSharedThreadPool(nullptr);
    EXPECT_LT(off, 0.05);
}

TEST(NormalAxes, TwinPointsWithOtherNormalsGiveTheAxisTheyGaveToTheBit)
{
    // Every point of a noisy revolved wall twice, the twin's normal turned:
    // in the profile measure the twins lie at the same distance from any
    // point, and the first of them in the measure's order is its nearest.
    const stFrame f;
    tFitPointQueue points;
    cNoise noise(4242);
    for (int j = 0; j <= 30; ++j)
        for (int i = 0; i <= 90; ++i)
        {
            const double h = 0.5 * j, a = 1.2 * kPi * i / 90.0, r = 10.0 + 0.3 * h;
            const double local[3] = {r * std::cos(a), r * std::sin(a), h};
            const double n[3] = {std::cos(a) + 0.03 * noise(), std::sin(a) + 0.03 * noise(), -0.3 + 0.03 * noise()};
            const double turned[3] = {n[0] + 0.2 * noise(), n[1] + 0.2 * noise(), n[2] + 0.2};
            points.push_back(Placed(f, local, n));
            points.push_back(Placed(f, local, turned));
        }
    const cFitContainer container(points);
    double axis[3], point[3];
    ASSERT_TRUE(EstimateRevolutionAxisFromNormals(container, axis, point));
    const double expected[6] = {0x1.eb9d3f403fb17p-2,  -0x1.47b2e631c7b38p-1, 0x1.332467fea196bp-1,
                                0x1.2ce66ddc0178p+10, -0x1.60665ef5efd6bp+9,  0x1.c67f9480d4c04p+8};
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(axis[k], expected[k]) << k;
        EXPECT_EQ(point[k], expected[3 + k]) << k;
    }
}

TEST(NormalAxes, OverAMillionNormalsGiveTheAxisTheyGaveOneCandidateAtATime)
{
    // The noisy cone-like wall over half a turn, 1,100 x 1,000 points: more
    // samples than the caches hold, whose axis refinement measures a simplex
    // step's candidates in one pass over them. What measuring one candidate
    // at a time gave.
    const stFrame f;
    const cFitContainer container(NoisyHalfTurnWall(f, 1000, 1100, 0.01, 2024));
    const double expected[6] = {-0x1.eb8526a773227p-2, 0x1.47ae15b828286p-1,  -0x1.33332eb451b79p-1,
                                0x1.2c99723f52c85p+10, -0x1.5f9930792ab28p+9, 0x1.c4ff3bee14b9ap+8};
    ExpectAxisOnAPoolToTheBit(container, f.z, expected);
}

TEST(NormalAxes, RecordsWithoutAUsableNormalOrPlaceAreLeftOutOfTheAxisToTheBit)
{
    // The noisy wall over half a turn, on a pool, with every seventh normal
    // missing, every thirteenth too short and a point that is not finite:
    // those records are no samples, and the others give the axis they gave.
    const stFrame f;
    tFitPointQueue points = NoisyHalfTurnWall(f, 200, 150, 0.05, 31);
    for (int j = 0; j < 200; ++j)
        for (int i = 0; i < 150; ++i)
        {
            float* normal = points[static_cast<std::size_t>(150 * j + i)].normal;
            if ((i + j) % 7 == 0)
                std::fill(normal, normal + 3, 0.0f);
            else if ((i + 3 * j) % 13 == 0)
                for (int k = 0; k < 3; ++k)
                    normal[k] *= 0.4f;
        }
    points[4321].position[1] = std::numeric_limits<float>::infinity();
    const double expected[6] = {-0x1.eb850311ea9bbp-2, 0x1.47adfef34c74dp-1,  -0x1.3333553991eb9p-1,
                                0x1.2c98d6667fb06p+10, -0x1.5f979074bdf22p+9, 0x1.c4fc2f8bfa85cp+8};
    ExpectAxisOnAPoolToTheBit(cFitContainer(points), f.z, expected);
}

TEST(NormalAxes, AWallAcrossTheOriginGivesTheAxisItGaveToTheBit)
{
    // The noisy wall over half a turn about an axis through the origin, on a
    // pool: its points' coordinates run through zero, so that the records'
    // mean is rounded as it is summed in their order.
    stFrame f;
    std::fill(f.o, f.o + 3, 0.0);
    f.o[2] = -2.5;
    const double expected[6] = {0x1.eb8b822e7c9cfp-2,  -0x1.47b0cd8219018p-1, 0x1.332dbd710187cp-1,
                                0x1.6d7e5d9482684p+0,  -0x1.e756daab44402p+0, -0x1.6e167ff8fdb3p-1};
    ExpectAxisOnAPoolToTheBit(cFitContainer(NoisyHalfTurnWall(f, 120, 150, 0.05, 57)), f.z, expected);
}
