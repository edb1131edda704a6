// The plane driver's answers on generated scans, pinned: the plane, the
// smallest-rectangle frame and its extents that the driver gave when these
// tests were written. A faster driver must give the same rectangle (up to
// rounding), whatever it changes inside; a different frame choice moves the
// axis by 3 degrees and an extent by far more than the tolerance here.
//
// The scans are made from the raw 32-bit output of std::mt19937 (which the
// standard fixes) through our own mappings, so that they are the same points
// on every standard library.
#include "fitting/fit_drivers.h"

#include "fit_samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace
{

using namespace fit_samples;

double Dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// A uniform double in [0, 1) from two raw draws.
double Unit(std::mt19937& rng)
{
    const std::uint64_t high = rng() >> 5, low = rng() >> 6;
    return double((high << 26) | low) * (1.0 / 9007199254740992.0);
}

// A standard normal draw (Box-Muller).
double Gauss(std::mt19937& rng)
{
    const double a = 1.0 - Unit(rng), b = Unit(rng);
    return std::sqrt(-2.0 * std::log(a)) * std::cos(2.0 * kPi * b);
}

enum Outline
{
    kTurnedRectangle, // 60 x 25, sides 1.4 degrees off the basis
    kDisc,            // radius 30
    kL,               // an L of 50 x 50 with arms 20 wide
    kBumpyStrip,      // 80 x 8, a bump of 1.5 across the plane
};

// A scan of an outline about centre in the plane with normal n, noise 0.02
// across the plane, the points in random order; a few outliers a few
// millimetres off the plane when asked for.
tFitPointQueue Scan(std::uint32_t seed, Outline outline, const double centre[3], const double n[3], int count,
                    bool outliers)
{
    std::mt19937 rng(seed);
    double u[3], v[3];
    Basis(n, u, v);
    const double turn = 1.4 * kPi / 180.0;
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        double a = 0.0, b = 0.0, h = 0.02 * Gauss(rng);
        switch (outline)
        {
        case kTurnedRectangle:
        {
            const double s = 30.0 * (2.0 * Unit(rng) - 1.0), t = 12.5 * (2.0 * Unit(rng) - 1.0);
            a = s * std::cos(turn) - t * std::sin(turn);
            b = s * std::sin(turn) + t * std::cos(turn);
            break;
        }
        case kDisc:
        {
            const double r = 30.0 * std::sqrt(Unit(rng)), angle = 2.0 * kPi * Unit(rng);
            a = r * std::cos(angle);
            b = r * std::sin(angle);
            break;
        }
        case kL:
            a = 50.0 * Unit(rng);
            b = 50.0 * Unit(rng);
            if (a > 20.0 && b > 20.0)
                (Unit(rng) < 0.5 ? a : b) *= 0.4;
            break;
        case kBumpyStrip:
            a = 40.0 * (2.0 * Unit(rng) - 1.0);
            b = 4.0 * (2.0 * Unit(rng) - 1.0);
            h += 1.5 * std::exp(-(a * a) / 200.0);
            break;
        }
        if (outliers && i % 997 == 5)
            h += 3.0 + 4.0 * Unit(rng);
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = centre[k] + a * u[k] + b * v[k] + h * n[k];
        q.push_back(Point(p, n));
    }
    return q;
}

struct stPinnedPlane
{
    double normal[3];
    double d;
    double origin[3];
    double xAxis[3];
    double halfWidth, halfHeight;
    double rms;
};

// The same rectangle: the same centre, and the same sides, the first one
// either along the pinned X axis or (the frame turned by 90 degrees has the
// same area, a tie that rounding settles) along the pinned Y axis.
void ExpectSamePlane(const tPlane<double>& plane, double rms, const stPinnedPlane& pinned)
{
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_NEAR(plane.normal[k], pinned.normal[k], 1e-12) << "normal " << k;
        EXPECT_NEAR(plane.origin[k], pinned.origin[k], 1e-9) << "origin " << k;
    }
    EXPECT_NEAR(plane.d, pinned.d, 1e-9);
    EXPECT_NEAR(rms, pinned.rms, 1e-12);
    double pinnedY[3] = {pinned.normal[1] * pinned.xAxis[2] - pinned.normal[2] * pinned.xAxis[1],
                         pinned.normal[2] * pinned.xAxis[0] - pinned.normal[0] * pinned.xAxis[2],
                         pinned.normal[0] * pinned.xAxis[1] - pinned.normal[1] * pinned.xAxis[0]};
    const bool turned = std::fabs(Dot(plane.xAxis, pinnedY)) > std::fabs(Dot(plane.xAxis, pinned.xAxis));
    // Along the pinned X axis it points the same way; turned, either way
    // (its twin may be turned by +90 or -90 degrees).
    if (turned)
        EXPECT_NEAR(std::fabs(Dot(plane.xAxis, pinnedY)), 1.0, 1e-12);
    else
        EXPECT_NEAR(Dot(plane.xAxis, pinned.xAxis), 1.0, 1e-12);
    EXPECT_NEAR(plane.halfWidth, turned ? pinned.halfHeight : pinned.halfWidth, 1e-9);
    EXPECT_NEAR(plane.halfHeight, turned ? pinned.halfWidth : pinned.halfHeight, 1e-9);
}

std::string Describe(const tPlane<double>& plane, double rms)
{
    char text[1024];
    std::snprintf(
        text, sizeof text,
        "{{%.17g, %.17g, %.17g}, %.17g, {%.17g, %.17g, %.17g}, {%.17g, %.17g, %.17g}, %.17g, %.17g, %.17g}",
        plane.normal[0], plane.normal[1], plane.normal[2], plane.d, plane.origin[0], plane.origin[1],
        plane.origin[2], plane.xAxis[0], plane.xAxis[1], plane.xAxis[2], plane.halfWidth, plane.halfHeight,
        rms);
    return text;
}

struct stCase
{
    Outline outline;
    double normal[3];
    double centre[3];
    int count;
    bool outliers;
    double marginFactor;
    stPinnedPlane pinned;
};

// The scans, each with the smallest-rectangle frame pinned.
const stCase kCases[] = {
    // Normal along a coordinate axis, in a coordinate plane, and tilted
    // out of every coordinate plane; parts a metre or two out.
    {kTurnedRectangle,
     {0.0, 0.0, 1.0},
     {1500.0, -700.0, 2200.0},
     30000,
     false,
     0.0,
     {{1.8579754542537018e-06, -5.773959958952297e-06, 0.99999999998160471},
      -2200.0068713553796,
      {1500.0004717556703, -700.01003292917449, 2200.0000426018905},
      {-0.99960417210462449, -0.028133593943117759, 1.6947977708421765e-06},
      12.594425942180711,
      30.028259342706349,
      0.019893488172642672}},
    {kTurnedRectangle,
     {0.70710678118654752, 0.70710678118654752, 0.0},
     {-900.0, 3100.0, 450.0},
     30001,
     true,
     0.0,
     {{0.70724520936036961, 0.70696832557746503, -2.161024334121761e-05},
      -1555.0765371043785,
      {-899.99641683828622, 3100.0036871282114, 450.00040449568149},
      {0.70676339464655347, -0.70704093345610253, -0.024054571399292408},
      12.501449544877378,
      30.000981984411261,
      0.16627776559401258}},
    {kDisc,
     {0.3, -0.2, 0.93},
     {2500.0, 800.0, -1200.0},
     25000,
     false,
     0.0,
     {{0.30077921417165709, -0.20051701215056802, 0.93237588566011809},
      527.31661554543155,
      {2500.0007337296538, 799.94882491254327, -1200.0112193251682},
      {-0.57475068397806339, 0.74205039732233824, 0.34499689723316124},
      29.897742849726946,
      29.937794181810688,
      0.02009167501073687}},
    {kL,
     {-0.5, 0.4, 0.77},
     {-1800.0, -600.0, 950.0},
     40000,
     true,
     0.0,
     {{-0.49929598733466118, 0.39949849678388616, 0.76883318613267559},
      -1389.4276746441933,
      {-1778.3441512448132, -616.39712053727158, 972.5871780658432},
      {-0.0021410562277416807, 0.88678440620537646, -0.46217835603715546},
      25.009934823095985,
      25.051421246025043,
      0.16090418333923598}},
    {kBumpyStrip,
     {0.1, 0.95, -0.3},
     {700.0, 1900.0, -2600.0},
     20000,
     false,
     1.0,
     {{0.099382944762272871, 0.94884667915149756, -0.29968818754424481},
      -2652.0388529064026,
      {700.04670608396748, 1900.4493385100059, -2600.1395397965975},
      {-0.99504914824760882, 0.094911228800218989, -0.029479674681734604},
      24.011767752135107,
      59.996829746703021,
      0.52748366045058337}},
    // Below the size at which the search measures only the rim.
    {kL,
     {0.6, -0.64, 0.48},
     {1200.0, 1200.0, 1200.0},
     3000,
     false,
     0.0,
     {{0.60001272759557678, -0.63998125510412085, 0.48000908307934204},
      -528.04953664501863,
      {1219.9277712973767, 1197.1133697912194, 1171.2433865074713},
      {0.015989474209854526, -0.59030481677532898, -0.80702203192127153},
      24.995620836776006,
      25.346254647278698,
      0.019993562443454856}},
};

// The same scans' planes with the frame along the reference axis.
const stPinnedPlane kAxisPinned[] = {
    {{1.8579754542537018e-06, -5.773959958952297e-06, 0.99999999998160471},
     -2200.0068713553796,
     {1500.0133056654997, -700.00161731277058, 2200.000042626637},
     {0.0, -0.99999999998333067, -5.7739599589622624e-06},
     30.257720838922396, 13.180175804966659, 0.019893488172642672},
    {{0.70724520936036961, 0.70696832557746503, -2.161024334121761e-05},
     -1555.0765371043783,
     {-900.00750056830213, 3100.0147763052828, 450.03659060998831},
     {-0.70696832574254298, 0.70724520952551218, 0.0},
     13.186909017036562, 30.224487153422864, 0.16627776559401258},
    {{0.30077921417165709, -0.20051701215056802, 0.93237588566011809},
     527.31661554543166,
     {2500.032599067225, 800.04176214815016, -1200.0015117965347},
     {0.95170480045465022, 0.0, -0.30701461331925967},
     29.950846967723159, 29.940631246190065, 0.02009167501073687},
    {{-0.49929598733466118, 0.39949849678388616, 0.76883318613267559},
     -1389.4276746441933,
     {-1781.4733769473498, -616.42382858305166, 970.56887287222196},
     {0.83866564591066273, -0.0, 0.54464661420892979},
     26.658582713090475, 30.388356635639276, 0.16090418333923598},
    {{0.099382944762272871, 0.94884667915149756, -0.29968818754424481},
     -2652.0388529064021,
     {700.04778651397964, 1900.4492776415216, -2600.1393742196437},
     {-0.0, 0.30117924762242332, 0.95356754391159471},
     39.996834743644847, 3.9994983046952832, 0.52748366045058337},
    {{0.60001272759557678, -0.63998125510412085, 0.48000908307934204},
     -528.04953664501841,
     {1218.037569926051, 1199.1036977557187, 1176.2597863094413},
     {0.72951996966862642, 0.68395951185335968, -0.0},
     32.683966787011492, 26.527988087483603, 0.019993562443454856},
};

} // namespace

TEST(PlaneDriverPinned, SmallestRectangleFramesOfScansFarFromTheOrigin)
{
    std::uint32_t seed = 5200;
    for (const stCase& c : kCases)
    {
        SCOPED_TRACE("outline " + std::to_string(int(c.outline)) + ", " + std::to_string(c.count) +
                     " points");
        double n[3] = {c.normal[0], c.normal[1], c.normal[2]};
        Normalise(n);
        const cFitContainer points(Scan(++seed, c.outline, c.centre, n, c.count, c.outliers));
        tPlane<double> plane;
        double rms = 0.0;
        ASSERT_TRUE(FitPlane(points, plane, rms, false, c.marginFactor));
        SCOPED_TRACE("the driver now gives " + Describe(plane, rms));
        ExpectSamePlane(plane, rms, c.pinned);
    }
}

TEST(PlaneDriverPinned, AxisFramesOfScansFarFromTheOrigin)
{
    // The same scans with the frame along the coordinate axis least aligned
    // with the normal.
    std::uint32_t seed = 5200;
    int index = 0;
    for (const stCase& c : kCases)
    {
        SCOPED_TRACE("outline " + std::to_string(int(c.outline)) + ", " + std::to_string(c.count) +
                     " points");
        double n[3] = {c.normal[0], c.normal[1], c.normal[2]};
        Normalise(n);
        const cFitContainer points(Scan(++seed, c.outline, c.centre, n, c.count, c.outliers));
        tPlane<double> plane;
        double rms = 0.0;
        ASSERT_TRUE(FitPlane(points, plane, rms, true, c.marginFactor));
        SCOPED_TRACE("the driver now gives " + Describe(plane, rms));
        ExpectSamePlane(plane, rms, kAxisPinned[index++]);
    }
}
