// The triangles a big mesh's frame leaves out are found on the shared pool:
// the same bits as alone (run under ThreadSanitizer). No GL context: the
// view is given as its map.
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "platform/wgl/wgl.h"
#include "render/pixel_coverage.h"
#include "render/tests/support/ball_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace
{

// An orthographic view of 160 x 150 pixels onto the ball, turned about x,
// its depth along the view.
stWindowMap BallView()
{
    return ::BallView(1.0, {3, 2, 160, 150});
}

stFragmentRules Rules(std::uint32_t cull)
{
    stFragmentRules rules;
    rules.cull = cull;
    rules.nearestStays = cull == 0;
    rules.depthStep = std::ldexp(1.0, -24);
    return rules;
}

TEST(PixelCoverageConcurrency, TheTrianglesLeftOutOnAPoolAreTheOnesFoundAlone)
{
    cMesh mesh;
    BuildBall(mesh, 300);
    mesh.Update();
    const stWindowMap map = BallView();
    for (const std::uint32_t cull : {0u, std::uint32_t(GL_BACK)})
    {
        const stFragmentRules rules = Rules(cull);
        std::vector<std::uint64_t> alone[2], pooled[2];
        bool behindAlone = false, behindPooled = false;
        SetSharedThreadPool(nullptr);
        FindTrianglesCoveringNoPixel(mesh, map, alone[0]);
        FindTrianglesDrawingNothing(mesh, map, rules, alone[0], alone[1], behindAlone);
        cThreadPool pool(4);
        SetSharedThreadPool(&pool);
        FindTrianglesCoveringNoPixel(mesh, map, pooled[0]);
        FindTrianglesDrawingNothing(mesh, map, rules, pooled[0], pooled[1], behindPooled);
        SetSharedThreadPool(nullptr);
        EXPECT_EQ(alone[0], pooled[0]);
        EXPECT_EQ(alone[1], pooled[1]) << "culled faces " << cull;
        EXPECT_EQ(behindAlone, behindPooled);
        EXPECT_EQ(behindAlone, cull == 0);
        std::size_t left = 0, none = 0;
        for (std::uint64_t word : alone[1])
            left += std::size_t(std::popcount(word));
        for (std::uint64_t word : alone[0])
            none += std::size_t(std::popcount(word));
        // A good share of those covering a centre: the far side.
        EXPECT_GT(left, (mesh.GetTriangleCount() - none) / 4) << "culled faces " << cull;
    }
}

// A view's cache finds the coverage, turns and depths in one pass and
// lists what may cover a centre for the triangles left out: what the steps
// find one after another alone.
TEST(PixelCoverageConcurrency, AViewsCacheOnAPoolLeavesOutWhatTheStepsDoAlone)
{
    cMesh mesh;
    BuildBall(mesh, 300);
    mesh.Update();
    const stWindowMap map = BallView();
    for (const std::uint32_t cull : {0u, std::uint32_t(GL_BACK)})
    {
        const stFragmentRules rules = Rules(cull);
        std::vector<std::uint64_t> alone[2];
        bool behindAlone = false, behindKept = false;
        SetSharedThreadPool(nullptr);
        FindTrianglesCoveringNoPixel(mesh, map, alone[0]);
        FindTrianglesDrawingNothing(mesh, map, rules, alone[0], alone[1], behindAlone);
        cThreadPool pool(4);
        SetSharedThreadPool(&pool);
        cPixelCoverageCache cache(cPixelCoverageCache::kName, nullptr);
        const std::vector<std::uint64_t> kept = cache.FindDrawingNothing(mesh, map, rules, behindKept);
        SetSharedThreadPool(nullptr);
        EXPECT_EQ(cache.Find(mesh, map), alone[0]) << "culled faces " << cull;
        EXPECT_EQ(kept, alone[1]) << "culled faces " << cull;
        EXPECT_EQ(behindKept, behindAlone);
    }
}

// A turned part as a CAD program tessellates it, subdivided: strips of
// long thin triangles round its walls, tilted and far from the origin, with
// a corner at the eye, one at NaN and one thousands of pixels out and one
// naming no vertex among its first triangles, seen in perspective.
const double kTurnedPartEye[3] = {4020.0, -2533.5, 746.5};

void BuildTurnedPart(cMesh& mesh)
{
    const double pi = std::acos(-1.0);
    const double profile[][2] = {{0.0, 0.0}, {9.0, 0.0}, {9.0, 7.0}, {6.5, 7.5}, {6.5, 15.0}, {4.0, 16.0}, {4.0, 24.0}, {0.0, 24.0}};
    const int steps = 4, rings = (int(std::size(profile)) - 1) * steps + 1, segments = 1200;
    const double tilt = 0.3;
    const float eye[3] = {float(kTurnedPartEye[0]), float(kTurnedPartEye[1]), float(kTurnedPartEye[2])},
                nan[3] = {std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f}, far[3] = {5200.0f, -1703.5f, 711.5f};
    for (const float* p : {eye, nan, far})
        mesh.AddVertex(p);
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s)
        {
            const int k = std::min(r / steps, int(std::size(profile)) - 2);
            const double a = double(r - k * steps) / steps;
            const double radius = profile[k][0] + a * (profile[k + 1][0] - profile[k][0]);
            const double h = profile[k][1] + a * (profile[k + 1][1] - profile[k][1]);
            const double phi = 2.0 * pi * (s + 0.37 * r) / segments;
            const double x = radius * std::cos(phi), y = radius * std::sin(phi);
            const float p[3] = {float(4000.0 + x), float(-2500.0 + y * std::cos(tilt) - h * std::sin(tilt)),
                                float(700.0 + y * std::sin(tilt) + h * std::cos(tilt))};
            mesh.AddVertex(p);
        }
    const auto at = [&](int r, int s) { return std::uint32_t(3 + r * segments + s % segments); };
    for (std::uint32_t special = 0; special < 3; ++special)
        mesh.AddTriangle(at(9, 3), at(9, 4), special);
    mesh.AddTriangle(at(9, 5), at(9, 6), at(9, 7));
    for (int r = 0; r + 1 < rings; ++r)
        for (int s = 0; s < segments; ++s)
        {
            mesh.AddTriangle(at(r, s), at(r + 1, s), at(r + 1, s + 1));
            mesh.AddTriangle(at(r, s), at(r + 1, s + 1), at(r, s + 1));
        }
    mesh.Update();
    mesh.GetTriangle(3)->vertexIndex[2] = mesh.GetVertexCount(); // names no vertex
}

// A perspective view onto the part from above, as GL's float matrices give
// it: the rows of projection x model-view and their terms' sizes.
stWindowMap TurnedPartView()
{
    const double* eye = kTurnedPartEye;
    const double target[3] = {4000.0, -2503.5, 711.5};
    double f[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& c : f)
        c /= fl;
    const double up[3] = {0.0, 0.0, 1.0};
    double side[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]};
    const double sl = std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]);
    for (double& c : side)
        c /= sl;
    const double u[3] = {side[1] * f[2] - side[2] * f[1], side[2] * f[0] - side[0] * f[2], side[0] * f[1] - side[1] * f[0]};
    double view[4][4] = {{side[0], side[1], side[2], 0}, {u[0], u[1], u[2], 0}, {-f[0], -f[1], -f[2], 0}, {0, 0, 0, 1}};
    for (int r = 0; r < 3; ++r)
        view[r][3] = -(view[r][0] * eye[0] + view[r][1] * eye[1] + view[r][2] * eye[2]);
    const double n = 1.0, fa = 200.0, t = 0.35, rt = 0.35 * 220.0 / 170.0;
    const double projection[4][4] = {
        {n / rt, 0, 0, 0}, {0, n / t, 0, 0}, {0, 0, -(fa + n) / (fa - n), -2.0 * fa * n / (fa - n)}, {0, 0, -1, 0}};
    stWindowMap map;
    const auto row = [&](int pr, double out[4], double size[4])
    {
        for (int c = 0; c < 4; ++c)
        {
            out[c] = size[c] = 0.0;
            for (int k = 0; k < 4; ++k)
            {
                const double term = double(float(projection[pr][k])) * double(float(view[k][c]));
                out[c] += term;
                size[c] += std::fabs(term);
            }
        }
    };
    row(0, map.rows[0], map.termSize[0]);
    row(1, map.rows[1], map.termSize[1]);
    row(3, map.rows[2], map.termSize[2]);
    row(2, map.depthRow, map.depthTermSize);
    const double viewport[4] = {5, 3, 220, 170};
    std::copy(viewport, viewport + 4, map.viewport);
    return map;
}

std::uint64_t Fingerprint(const std::vector<std::uint64_t>& bits)
{
    std::uint64_t hash = 1469598103934665603ull;
    for (std::uint64_t word : bits)
        hash = (hash ^ word) * 1099511628211ull;
    return hash;
}

// What the turned part's frames leave out, to the bit: alone, on a pool, and
// through a view's cache (which lists what may cover a centre).
TEST(PixelCoverageConcurrency, ATurnedPartFarOutLeavesOutTheSameTrianglesAloneAndOnAPool)
{
    cMesh mesh;
    BuildTurnedPart(mesh);
    const stWindowMap map = TurnedPartView();
    cThreadPool pool(4);
    for (cThreadPool* shared : {static_cast<cThreadPool*>(nullptr), &pool})
    {
        SetSharedThreadPool(shared);
        std::vector<std::uint64_t> none, drawsNothing[2];
        FindTrianglesCoveringNoPixel(mesh, map, none);
        EXPECT_EQ(Fingerprint(none), 17687419513817021670u) << "covering no pixel";
        bool behind[2] = {false, false};
        for (const std::uint32_t cull : {0u, std::uint32_t(GL_BACK)})
        {
            const int k = cull == 0 ? 0 : 1;
            FindTrianglesDrawingNothing(mesh, map, Rules(cull), none, drawsNothing[k], behind[k]);
            cPixelCoverageCache cache(cPixelCoverageCache::kName, nullptr);
            bool behindKept = !behind[k];
            EXPECT_EQ(cache.FindDrawingNothing(mesh, map, Rules(cull), behindKept), drawsNothing[k]);
            EXPECT_EQ(cache.Find(mesh, map), none);
            EXPECT_EQ(behindKept, behind[k]);
        }
        EXPECT_EQ(Fingerprint(drawsNothing[0]), 7231267408602752163u) << "opaque";
        EXPECT_EQ(Fingerprint(drawsNothing[1]), 17595091026790251299u) << "culled";
        EXPECT_TRUE(behind[0]);
        std::size_t counts[3] = {0, 0, 0};
        for (std::size_t w = 0; w < none.size(); ++w)
        {
            counts[0] += std::size_t(std::popcount(none[w]));
            counts[1] += std::size_t(std::popcount(drawsNothing[0][w]));
            counts[2] += std::size_t(std::popcount(drawsNothing[1][w]));
        }
        EXPECT_EQ(counts[0], 31604u);
        EXPECT_EQ(counts[1], 1419u);
        EXPECT_EQ(counts[2], 14023u);
    }
    SetSharedThreadPool(nullptr);
}

} // namespace
