// The cylinder fit on large scans: the packed points and their error passes
// give what the records give, on any processor's kernel and any number of
// threads, and a fit of thousands of points (whose starts are compared on a
// subsample) still ends at the least-squares cylinder that an independent
// Levenberg-Marquardt (Eigen's) finds from the true cylinder.
#include "core/thread_pool.h"
#include "fitting/cylinder_fit.h"
#include "fitting/fit_drivers.h"
#include "fitting/packed_fit_points.h"
#include "fitting/radial_error_pass.h"

#include "fit_samples.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>
#include <unsupported/Eigen/NonLinearOptimization>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace
{

using namespace fit_samples;

tFitPointQueue CylinderScan(std::mt19937& rng, const double centre[3], const double axis[3], double radius,
                            double height, double span, double noise, int count)
{
    double base[3];
    for (int k = 0; k < 3; ++k)
        base[k] = centre[k] - 0.5 * height * axis[k];
    return Cylinder(rng, base, axis, radius, height, 0.0, span, noise, count);
}

// Residuals |(p - c) x a| - r over (c, polar and azimuth angles of a, r), as
// Eigen's Levenberg-Marquardt takes them; the Jacobian by forward differences.
struct LeastSquaresCylinder
{
    using Scalar = double;
    enum
    {
        InputsAtCompileTime = Eigen::Dynamic,
        ValuesAtCompileTime = Eigen::Dynamic
    };
    using InputType = Eigen::VectorXd;
    using ValueType = Eigen::VectorXd;
    using JacobianType = Eigen::MatrixXd;

    const std::vector<Eigen::Vector3d>& points;
    int inputs() const { return 6; }
    int values() const { return static_cast<int>(points.size()); }

    static Eigen::Vector3d Axis(const Eigen::VectorXd& x)
    {
        return {std::sin(x[3]) * std::cos(x[4]), std::sin(x[3]) * std::sin(x[4]), std::cos(x[3])};
    }
    int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& f) const
    {
        const Eigen::Vector3d c = x.head<3>(), a = Axis(x);
        for (std::size_t i = 0; i < points.size(); ++i)
            f[static_cast<Eigen::Index>(i)] = (points[i] - c).cross(a).norm() - x[5];
        return 0;
    }
};

// The RMS of the least-squares cylinder found from the true one.
double LeastSquaresRms(const tFitPointQueue& q, const double centre[3], const double axis[3], double radius)
{
    std::vector<Eigen::Vector3d> points;
    for (const stFitPoint& p : q)
        points.emplace_back(p.position[0], p.position[1], p.position[2]);
    Eigen::VectorXd x(6);
    x << centre[0], centre[1], centre[2], std::acos(axis[2]), std::atan2(axis[1], axis[0]), radius;
    LeastSquaresCylinder functor{points};
    Eigen::NumericalDiff<LeastSquaresCylinder> numeric(functor);
    Eigen::LevenbergMarquardt<Eigen::NumericalDiff<LeastSquaresCylinder>> lm(numeric);
    lm.parameters.ftol = 1e-15;
    lm.parameters.xtol = 1e-15;
    lm.minimize(x);
    Eigen::VectorXd f(points.size());
    functor(x, f);
    return std::sqrt(f.squaredNorm() / double(points.size()));
}

double Rms(const tFitPointQueue& q, const tCylinder<double>& c)
{
    double sum = 0.0;
    for (const stFitPoint& p : q)
    {
        const double d[3] = {p.position[0] - c.axisPoint[0], p.position[1] - c.axisPoint[1],
                             p.position[2] - c.axisPoint[2]};
        const double x[3] = {d[1] * c.axis[2] - d[2] * c.axis[1], d[2] * c.axis[0] - d[0] * c.axis[2],
                             d[0] * c.axis[1] - d[1] * c.axis[0]};
        const double e = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]) - c.radius;
        sum += e * e;
    }
    return std::sqrt(sum / double(q.size()));
}

// Points of a part two metres out in millimetres.
tFitPointQueue FarScan(int count, int seed)
{
    std::mt19937 rng(seed);
    const double centre[3] = {1800.0, -2200.0, 950.0};
    double axis[3] = {0.3, -0.5, 0.8};
    Normalise(axis);
    return CylinderScan(rng, centre, axis, 42.0, 120.0, 2.0 * kPi, 0.05, count);
}

} // namespace

TEST(PackedFitPoints, KeepTheActivePointsInOrderAndSubsampleEvenly)
{
    tFitPointQueue q(10);
    for (int i = 0; i < 10; ++i)
    {
        q[i].position[0] = float(i);
        q[i].position[1] = float(10 * i);
        q[i].position[2] = float(-i);
        q[i].active = i % 4 == 1 ? 0 : 1;
    }
    const cPackedFitPoints packed(q);
    const std::vector<float> expected = {0, 2, 3, 4, 6, 7, 8};
    ASSERT_EQ(packed.Count(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ(packed.X()[i], expected[i]);
        EXPECT_EQ(packed.Y()[i], 10 * expected[i]);
        EXPECT_EQ(packed.Z()[i], -expected[i]);
    }
    const cPackedFitPoints every3 = packed.EveryNth(3);
    ASSERT_EQ(every3.Count(), 3u);
    EXPECT_EQ(every3.X()[0], 0.0f);
    EXPECT_EQ(every3.X()[1], 4.0f);
    EXPECT_EQ(every3.X()[2], 8.0f);
    EXPECT_EQ(packed.BlockCount(), 1u);
    EXPECT_EQ(cPackedFitPoints(tFitPointQueue()).BlockCount(), 0u);
}

TEST(RadialErrorPass, EveryKernelGivesThePortableKernelsBits)
{
    const tFitPointQueue q = FarScan(3000, 5);
    const cPackedFitPoints packed(q);
    double axis[3] = {0.31, -0.49, 0.8};
    Normalise(axis);
    const double point[3] = {1800.01, -2199.98, 950.02};
    int kernels = 0;
    for (eRadialErrorKernel kernel : {eRadialErrorKernel::kSse2, eRadialErrorKernel::kAvx2, eRadialErrorKernel::kAvx512})
    {
        if (!IsRadialErrorKernelAvailable(kernel))
            continue;
        ++kernels;
        // Counts around the eight lanes and the tail after them.
        for (std::size_t count : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 1000u, 2571u})
        {
            SCOPED_TRACE("kernel " + std::to_string(int(kernel)) + ", " + std::to_string(count) + " points");
            const double portable = SumRadialErrorBlock(eRadialErrorKernel::kPortable, packed.X(), packed.Y(),
                                                        packed.Z(), count, point, axis, 42.0);
            const double wide =
                SumRadialErrorBlock(kernel, packed.X(), packed.Y(), packed.Z(), count, point, axis, 42.0);
            EXPECT_EQ(wide, portable);
            if (count == 1)
            {
                // The one point's error as the fitter's own sum forms it.
                tFitPointQueue one(1, q[0]);
                std::uint64_t n = 0;
                EXPECT_EQ(portable, cCylinderFit(one).SumSquaredRadialErrors(point, axis, 42.0, n));
            }
        }
    }
    EXPECT_GE(kernels, 1); // SSE2 at least on x86-64
}

TEST(RadialErrorPass, SumsTheActiveRecordsAsTheFitterDoesOverManyBlocks)
{
    cCylinderFit fit(FarScan(3 * int(kPackedBlockSize) + 123, 6));
    for (std::size_t i = 0; i < fit.Points().size(); i += 7)
        fit.Points()[i].active = 0;
    const cPackedFitPoints packed(fit.Points());
    ASSERT_EQ(packed.BlockCount(), 3u); // a seventh of the records is switched off
    double axis[3] = {0.3, -0.5, 0.8};
    Normalise(axis);
    const double point[3] = {1800.0, -2200.0, 950.0};
    std::uint64_t count = 0;
    const double records = fit.SumSquaredRadialErrors(point, axis, 42.0, count);
    EXPECT_EQ(count, packed.Count());
    const double sum = SumSquaredRadialErrors(packed, point, axis, 42.0, nullptr);
    EXPECT_NEAR(sum, records, 1e-12 * records);
    // Off the cylinder too: another axis point, axis and radius.
    double tilted[3] = {0.35, -0.45, 0.8};
    Normalise(tilted);
    const double other[3] = {1801.5, -2199.0, 949.0};
    const double off = fit.SumSquaredRadialErrors(other, tilted, 40.0, count);
    EXPECT_GT(off, 10.0 * records);
    EXPECT_NEAR(SumSquaredRadialErrors(packed, other, tilted, 40.0, nullptr), off, 1e-12 * off);
}

TEST(CylinderFitPasses, SameCylinderOnAnyNumberOfThreads)
{
    const tFitPointQueue q = FarScan(int(kPackedPoolMinimum) + 20000, 7);
    const cFitContainer points(q);
    tCylinder<double> alone;
    double aloneRms = 0.0;
    ASSERT_TRUE(FitCylinder(points, alone, aloneRms, 0.0));
    for (int threads : {1, 3, 8})
    {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        cThreadPool pool(threads);
        tCylinder<double> pooled;
        double pooledRms = 0.0;
        ASSERT_TRUE(FitCylinder(points, pooled, pooledRms, 0.0, &pool));
        for (int k = 0; k < 3; ++k)
        {
            EXPECT_EQ(pooled.axisPoint[k], alone.axisPoint[k]);
            EXPECT_EQ(pooled.axis[k], alone.axis[k]);
        }
        EXPECT_EQ(pooled.radius, alone.radius);
        EXPECT_EQ(pooled.height, alone.height);
        EXPECT_EQ(pooledRms, aloneRms);
    }
    EXPECT_NEAR(alone.radius, 42.0, 0.01);
    EXPECT_NEAR(aloneRms, 0.05, 0.005);
}

// Thousands of points: the starts are compared on a subsample and the good
// ones finished on every point. Parts in millimetres far from the origin,
// coordinate and tilted axes, full and short arcs, two noise levels.
TEST(CylinderFitPasses, LargeScansEndAtTheLeastSquaresCylinder)
{
    struct Part
    {
        double centre[3];
        double radius, height;
    };
    const Part parts[] = {{{1000.0, 1500.0, -800.0}, 5.0, 12.0}, {{-2500.0, 400.0, 1200.0}, 60.0, 30.0}};
    std::vector<std::array<double, 3>> axes = {{0.0, 0.0, 1.0}, {0.7071067811865476, 0.7071067811865476, 0.0}};
    std::array<double, 3> tilted = {0.3, -0.2, 0.93};
    Normalise(tilted.data());
    axes.push_back(tilted);
    std::mt19937 rng(211);
    for (const Part& part : parts)
        for (const auto& axis : axes)
            for (double span : {2.0 * kPi, kPi / 3.0})
                for (double level : {1e-3, 1e-2})
                {
                    const double sigma = level * part.radius;
                    std::ostringstream what;
                    what << "radius " << part.radius << " at " << part.centre[0] << ", axis " << axis[0] << " "
                         << axis[1] << " " << axis[2] << ", arc " << span * 180.0 / kPi << ", noise " << sigma;
                    SCOPED_TRACE(what.str());
                    const tFitPointQueue q =
                        CylinderScan(rng, part.centre, axis.data(), part.radius, part.height, span, sigma, 6000);
                    tCylinder<double> fitted;
                    double rms = 0.0;
                    ASSERT_TRUE(FitCylinder(cFitContainer(q), fitted, rms, 0.0));
                    const double best = LeastSquaresRms(q, part.centre, axis.data(), part.radius);
                    EXPECT_NEAR(Rms(q, fitted), best, 1e-7 * best);
                    EXPECT_NEAR(rms, best, 1e-6 * best);
                    const double slack = span < kPi ? 10.0 : 1.0;
                    EXPECT_NEAR(fitted.radius, part.radius, slack * sigma);
                }
}
