#include "core/frame_math.h"
#include "core/section_curve.h"
#include "stub_section_curve.h"

#include <gtest/gtest.h>

#include <random>

namespace
{

// Rigid frames in every orientation, from millimetres to a kilometre away.
void RandomRigidFrame(std::mt19937& rng, double frame[12])
{
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_real_distribution<double> exponent(-3.0, 3.0);
    const double scale = std::pow(10.0, exponent(rng));
    const double origin[3] = {scale * unit(rng), scale * unit(rng), scale * unit(rng)};
    const double normal[3] = {unit(rng), unit(rng), unit(rng) + 1e-3};
    const double reference[3] = {unit(rng), unit(rng), unit(rng)};
    MakeFrame3x4(frame, origin, normal, reference);
    double n = 0.0;
    for (int i = 0; i < 3; ++i)
        n += frame[4 * i + 2] * frame[4 * i + 2];
    // MakeFrame3x4 keeps the normal's length: make the z column a unit one.
    for (int i = 0; i < 3; ++i)
        frame[4 * i + 2] /= std::sqrt(n);
}

tFramePolyline<cVertex> WorldSection(const cStubSectionCurve& curve, std::initializer_list<t3DPoint<double>> local)
{
    tFramePolyline<cVertex> section;
    for (const auto& p : local)
    {
        const t3DPoint<double> w = curve.LocalToWorld(p);
        section.AddPoint3d(w.Data());
    }
    std::copy(curve.frame, curve.frame + 12, section.frame);
    return section;
}

} // namespace

TEST(SectionCurveBase, FreshAndResetStates)
{
    cStubSectionCurve curve;
    EXPECT_EQ(curve.GetMergeMode(), 3u);
    EXPECT_EQ(curve.id, 0u);
    EXPECT_EQ(curve.cachedRms, -FLT_MAX);
    const t3DPoint<double> start = curve.GetStartPoint();
    EXPECT_EQ(start.x, 0.0);
    EXPECT_EQ(start.z, 0.0);
    EXPECT_EQ(curve.GetJointPoint(0).x, FLT_MAX);
    EXPECT_EQ(curve.IndexOfCurve(&curve), 0xFFFFFFFFu);

    curve.SetMergeMode(1);
    curve.SetId(7);
    curve.frame[3] = 5.0;
    curve.cachedEnd[0] = 2.0;
    curve.sections.Add(tFramePolyline<cVertex>());
    curve.cachedRms = 0.25f;
    curve.Reset();
    EXPECT_EQ(curve.GetMergeMode(), 1u);
    EXPECT_EQ(curve.id, 7u);
    EXPECT_EQ(curve.frame[3], 0.0);
    EXPECT_EQ(curve.cachedEnd[0], 0.0);
    EXPECT_EQ(curve.sections.GetCount(), 0u);
    // The wire went with the sections: the measure must be recomputed.
    EXPECT_EQ(curve.cachedRms, -FLT_MAX);
}

TEST(SectionCurveBase, WithoutAValidWire)
{
    cStubSectionCurve curve;
    curve.hasWire = false;
    EXPECT_EQ(curve.GetParameterAtPoint({1, 2, 3}), -FLT_MAX);
    EXPECT_EQ(curve.GetParameterAtLocalPoint({1, 2, 3}), -FLT_MAX);
    EXPECT_EQ(curve.GetCachedFitRms(), -FLT_MAX);
    EXPECT_FALSE(curve.HasValidWire());
    curve.hasWire = true;
    curve.wire.valid = false;
    curve.sections.Add(tFramePolyline<cVertex>());
    EXPECT_FALSE(curve.HasValidWire());
    const t3DPoint<double> t = curve.GetStartTangent();
    EXPECT_EQ(t.x, 0.0);
    EXPECT_EQ(t.y, 0.0);
    curve.cachedStart[0] = 1.0;
    curve.ExtendStartPoint(5.0);
    EXPECT_EQ(curve.cachedStart[0], 1.0);
    curve.wire.valid = true;
    EXPECT_TRUE(curve.HasValidWire());
}

TEST(SectionCurveBase, EndExtensionMovesAlongTheUnitTangents)
{
    cStubSectionCurve curve;
    curve.wire.SetLine({0, 0, 0}, {0, 4, 0});
    curve.cachedStart[1] = 0.0;
    curve.cachedEnd[1] = 4.0;
    curve.cachedRms = 0.5f;
    curve.ExtendStartPoint(1e-8);
    EXPECT_EQ(curve.cachedStart[1], 0.0);
    EXPECT_EQ(curve.cachedRms, 0.5f);
    curve.ExtendStartPoint(1.5);
    curve.ExtendEndPoint(-0.5);
    EXPECT_DOUBLE_EQ(curve.cachedStart[1], -1.5);
    EXPECT_DOUBLE_EQ(curve.cachedEnd[1], 3.5);
    EXPECT_EQ(curve.cachedRms, -FLT_MAX);
}

TEST(SectionCurveBase, WorldAndLocalRoundTripsUnderRandomRigidFrames)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int trial = 0; trial < 200; ++trial)
    {
        cStubSectionCurve curve;
        RandomRigidFrame(rng, curve.frame);
        const double scale = std::fabs(curve.frame[3]) + std::fabs(curve.frame[7]) + std::fabs(curve.frame[11]) + 1;
        const t3DPoint<double> local{unit(rng), unit(rng), 0.0};
        const t3DPoint<double> world = curve.LocalToWorld(local);
        const t3DPoint<double> back = curve.WorldToLocal(world);
        EXPECT_NEAR(back.x, local.x, 1e-12 * scale);
        EXPECT_NEAR(back.y, local.y, 1e-12 * scale);
        EXPECT_NEAR(back.z, 0.0, 1e-12 * scale);
        // The cached points and the wire's tangents reach the world through
        // the same frame.
        std::copy(local.Data(), local.Data() + 3, curve.cachedMid);
        const t3DPoint<double> mid = curve.GetMidPoint();
        EXPECT_NEAR(mid.x, world.x, 1e-12 * scale);
        EXPECT_NEAR(mid.z, world.z, 1e-12 * scale);
        curve.wire.SetLine({-1, 0, 0}, {1, 0, 0});
        const t3DPoint<double> tangent = curve.GetEndTangent();
        EXPECT_NEAR(tangent.x, curve.frame[0], 1e-12);
        EXPECT_NEAR(tangent.y, curve.frame[4], 1e-12);
        EXPECT_NEAR(tangent.z, curve.frame[8], 1e-12);
        // A world point at a quarter of the line is found at fraction 0.25
        // (to float precision of the world point).
        const t3DPoint<double> quarter = curve.LocalToWorld({-0.5, 0.0, 0.0});
        const double f = curve.GetParameterAtPoint(
            {static_cast<float>(quarter.x), static_cast<float>(quarter.y), static_cast<float>(quarter.z)});
        EXPECT_NEAR(f, 0.25, 1e-6 * scale);
    }
}

TEST(SectionCurveBase, FitMeasureIsTakenInTheCurvesPlaneAndCached)
{
    std::mt19937 rng(9);
    cStubSectionCurve curve;
    RandomRigidFrame(rng, curve.frame);
    curve.wire.SetLine({0, 0, 0}, {10, 0, 0});
    // Section points 0.5 off the line in the plane, stored in the world.
    curve.sections.Add(WorldSection(curve, {{1, 0.5, 0}, {5, -0.5, 0}, {9, 0.5, 0}}));
    const float rms = curve.GetCachedFitRms();
    EXPECT_NEAR(rms, 0.5f, 1e-4f * (1.0f + static_cast<float>(std::fabs(curve.frame[3]))));
    // Cached: a change the base does not see leaves the value alone.
    curve.wire.SetLine({0, 0.5, 0}, {10, 0.5, 0});
    EXPECT_EQ(curve.GetCachedFitRms(), rms);
    // A copy takes the cached value without recomputing.
    cStubSectionCurve copy;
    copy.hasWire = false;
    copy.Assign(curve);
    EXPECT_EQ(copy.GetCachedFitRms(), rms);
}

TEST(SectionCurveBase, TransformComposesIntoTheFrameAndRebuilds)
{
    cStubSectionCurve curve;
    const double origin[3] = {1, 2, 3}, normal[3] = {0, 1, 1}, reference[3] = {1, 0, 0};
    MakeFrame3x4(curve.frame, origin, normal, reference);
    double before[12];
    std::copy(curve.frame, curve.frame + 12, before);
    curve.sections.Add(WorldSection(curve, {{1, 1, 0}}));
    curve.cachedRms = 0.5f;
    const double translation[12] = {1, 0, 0, 10, 0, 1, 0, -20, 0, 0, 1, 30};
    curve.Transform(translation);
    EXPECT_EQ(curve.setFrameCalls, 1);
    EXPECT_EQ(curve.frame[3], before[3] + 10);
    EXPECT_EQ(curve.frame[7], before[7] - 20);
    EXPECT_EQ(curve.frame[11], before[11] + 30);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(curve.frame[4 * r + c], before[4 * r + c]);
    EXPECT_FLOAT_EQ(curve.sections[0].vertices[0].x, static_cast<float>(before[0] + before[1] + before[3] + 10));
    EXPECT_EQ(curve.sections[0].frame[3], curve.frame[3]);
    EXPECT_EQ(curve.cachedRms, -FLT_MAX);
}
