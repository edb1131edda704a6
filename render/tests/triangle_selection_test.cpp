#include "core/mesh.h"
#include "render/triangle_selection.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

using namespace testrender;

namespace
{

constexpr LONG kWidth = 200;
constexpr LONG kHeight = 160;
constexpr std::uint8_t kBits = 8;

// A closed sphere of latitude rings and longitude segments around c, each
// ring turned by a random angle so that no two runs share a layout. It is
// convex, so its front-facing triangles are the unoccluded ones.
void BuildSphere(cMesh& mesh, const float c[3], float r, int rings, int segments, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> turn(0.0, 0.3 * 2.0 * M_PI / segments);
    const float top[3] = {c[0], c[1], c[2] + r};
    mesh.AddVertex(top);
    for (int i = 1; i < rings; ++i)
    {
        const double theta = M_PI * i / rings;
        const double offset = turn(random);
        for (int j = 0; j < segments; ++j)
        {
            const double phi = 2.0 * M_PI * j / segments + offset;
            const float rr = r;
            const float p[3] = {c[0] + float(rr * std::sin(theta) * std::cos(phi)),
                                c[1] + float(rr * std::sin(theta) * std::sin(phi)),
                                c[2] + float(rr * std::cos(theta))};
            mesh.AddVertex(p);
        }
    }
    const float bottom[3] = {c[0], c[1], c[2] - r};
    const std::uint32_t last = mesh.AddVertex(bottom);
    auto at = [&](int ring, int j) { return std::uint32_t(1 + (ring - 1) * segments + (j % segments)); };
    for (int j = 0; j < segments; ++j)
        mesh.AddTriangle(0, at(1, j), at(1, j + 1));
    for (int i = 1; i + 1 < rings; ++i)
        for (int j = 0; j < segments; ++j)
        {
            mesh.AddTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            mesh.AddTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    for (int j = 0; j < segments; ++j)
        mesh.AddTriangle(at(rings - 1, j), last, at(rings - 1, j + 1));
    mesh.Update();
}

struct Mask
{
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
    float originX = 0.0f, originY = 0.0f;

    stSelectionMask View() const
    {
        return {pixels.data(), width, height, width * 4, originX, originY};
    }
    bool Inside(LONG clientX, LONG clientY) const
    {
        const LONG x = clientX - LONG(originX), y = clientY - LONG(originY);
        return x >= 0 && y >= 0 && x < width && y < height && pixels[std::size_t(y) * width + x] != 0;
    }
};

Mask RectangleMask(int left, int top, int right, int bottom)
{
    Mask mask;
    mask.width = right - left;
    mask.height = bottom - top;
    mask.originX = float(left);
    mask.originY = float(top);
    mask.pixels.assign(std::size_t(mask.width) * mask.height, 0xFFFFFFFFu);
    return mask;
}

// A lasso: the pixels whose centres lie inside a closed polygon (client
// coordinates), in a mask placed at (0, 0) over the whole view.
Mask LassoMask(const std::vector<std::pair<double, double>>& polygon)
{
    Mask mask;
    mask.width = kWidth;
    mask.height = kHeight;
    mask.pixels.assign(std::size_t(kWidth) * kHeight, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
        {
            const double px = x + 0.5, py = y + 0.5;
            bool inside = false;
            for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++)
            {
                const auto [xi, yi] = polygon[i];
                const auto [xj, yj] = polygon[j];
                if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi)
                    inside = !inside;
            }
            mask.pixels[std::size_t(y) * kWidth + x] = inside ? 1u : 0u;
        }
    return mask;
}

// Orthographic view of the box [-2.5, 2.5] x [-2, 2] looking down -z (the
// renderer's top view), the mesh drawn in id colours.
class TriangleSelection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.Ok());
        cGLRenderer& renderer = window.Renderer();
        const float min[3] = {-2.5f, -2.0f, -3.0f}, max[3] = {2.5f, 2.0f, 3.0f};
        renderer.SetSceneBox(min, max);
        renderer.SetAspect(double(kWidth) / kHeight);
        renderer.SetupProjection(nullptr);
    }

    void DrawIds(const std::string& name)
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawMeshIdColoured(mesh, window.Renderer());
        glFinish();
        Snapshot(wgl::ReadGlPixels(0, 0, kWidth, kHeight), "selection_" + name);
    }

    // Client pixel of a world point: x = -2.5 at the left edge, y = 2 at the top.
    static std::pair<double, double> Project(const cVertex& v)
    {
        return {(v.x + 2.5) / 5.0 * kWidth, kHeight - (v.y + 2.0) / 4.0 * kHeight};
    }

    // The oracle: front-facing (on a convex mesh that is also unoccluded)
    // triangles whose centroid falls on a painted pixel inside the painted
    // box. Triangles within a pixel of the region's edge or on the
    // silhouette may go either way, as pixel coverage decides there; they
    // are returned apart.
    void Oracle(const Mask& mask, std::vector<bool>& expected, std::vector<bool>& edge)
    {
        LONG left = kWidth, top = kHeight, right = -1, bottom = -1;
        for (LONG y = 0; y < kHeight; ++y)
            for (LONG x = 0; x < kWidth; ++x)
                if (mask.Inside(x, y))
                    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                    bottom = std::max(bottom, y);
        auto inRegion = [&](double x, double y) {
            const LONG px = LONG(std::floor(x)), py = LONG(std::floor(y));
            return px > left && px < right && py > top && py < bottom && mask.Inside(px, py);
        };
        auto nearEdge = [&](double x, double y) {
            const bool here = inRegion(x, y);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (inRegion(x + dx, y + dy) != here)
                        return true;
            return false;
        };
        const std::uint32_t n = mesh.GetTriangleCount();
        expected.assign(n, false);
        edge.assign(n, false);
        for (std::uint32_t i = 0; i < n; ++i)
        {
            const cMeshTriangle* t = mesh.GetTriangle(i);
            // Grazing triangles on the silhouette win or lose pixels by
            // depth ties.
            if (std::fabs(t->nz) < 0.05f)
                edge[i] = true;
            if (t->nz < 0.0f)
                continue;
            double cx = 0, cy = 0;
            int inside = 0;
            bool near = false;
            for (std::uint32_t v : t->vertexIndex)
            {
                const auto [x, y] = Project(*mesh.GetVertex(v));
                cx += x / 3.0, cy += y / 3.0;
                inside += inRegion(x, y);
                near = near || nearEdge(x, y);
            }
            expected[i] = inRegion(cx, cy);
            edge[i] = edge[i] || near || nearEdge(cx, cy) || (inside != 0 && inside != 3);
        }
    }

    // Selects under the mask and compares with the oracle; returns the
    // number of straddling triangles that went either way.
    void ExpectSelectionEqualsOracle(const Mask& mask, const std::string& name)
    {
        DrawIds(name);
        const stSelectionMask view = mask.View();
        ASSERT_TRUE(SelectTrianglesInFrameBuffer(mesh, view, nullptr, window.Renderer(), kBits, true));
        std::vector<bool> expected, edge;
        Oracle(mask, expected, edge);
        std::size_t selected = 0, agreed = 0, boundary = 0;
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        {
            const bool marked = (mesh.GetTriangle(i)->flags & kBits) != 0;
            selected += marked;
            if (marked == expected[i])
            {
                agreed += expected[i];
                continue;
            }
            if (edge[i])
            {
                ++boundary;
                continue;
            }
            const cMeshTriangle* t = mesh.GetTriangle(i);
            std::string detail;
            for (int k = 0; k < 3; ++k)
            {
                const cVertex& v = *mesh.GetVertex(t->vertexIndex[k]);
                const auto [x, y] = Project(v);
                detail += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
                if (t->neighbour[k])
                    detail += std::string(" n") + ((t->neighbour[k]->flags & kBits) ? "+" : "-");
            }
            ADD_FAILURE() << "triangle " << i << (marked ? " selected" : " missed") << ", normal z " << t->nz
                          << detail;
        }
        EXPECT_GT(agreed, 50u);
        EXPECT_LT(boundary * 5, agreed) << "only the region's edge may differ";
    }

    RendererWindow window{kWidth, kHeight};
    cMesh mesh;
};

TEST_F(TriangleSelection, ARectangleSelectsWhatTheOracleSelects)
{
    const float centre[3] = {0.3f, -0.2f, 0.0f};
    BuildSphere(mesh, centre, 1.6f, 40, 80, 1);
    ExpectSelectionEqualsOracle(RectangleMask(60, 30, 150, 110), "rectangle");
}

TEST_F(TriangleSelection, AFreeHandRegionSelectsWhatTheOracleSelects)
{
    const float centre[3] = {0.0f, 0.0f, 0.0f};
    BuildSphere(mesh, centre, 1.7f, 48, 96, 2);
    // A concave lasso, so that rows leave and re-enter the region.
    ExpectSelectionEqualsOracle(
        LassoMask({{40, 40}, {160, 30}, {110, 80}, {165, 135}, {50, 125}, {80, 80}}), "lasso");
}

TEST_F(TriangleSelection, TrianglesTooSmallForAPixelAreReachedThroughTheirNeighbours)
{
    // 160 x 160 segments on a sphere of 110 pixels: most triangles own no
    // pixel centre of their own.
    const float centre[3] = {0.0f, 0.0f, 0.0f};
    BuildSphere(mesh, centre, 1.4f, 160, 160, 3);
    ExpectSelectionEqualsOracle(RectangleMask(70, 50, 130, 110), "fine");
}

TEST_F(TriangleSelection, TheBackOfAThinWallIsLeftOutWhenOnlyTheFrontCounts)
{
    // A closed slab 0.02 thick: its back faces project onto the front.
    const float corners[8][3] = {{-1, -1, 0.01f}, {1, -1, 0.01f}, {1, 1, 0.01f}, {-1, 1, 0.01f},
                                 {-1, -1, -0.01f}, {1, -1, -0.01f}, {1, 1, -0.01f}, {-1, 1, -0.01f}};
    for (const auto& c : corners)
        mesh.AddVertex(c);
    const std::uint32_t quads[6][4] = {{0, 1, 2, 3}, {5, 4, 7, 6}, {4, 5, 1, 0}, {5, 6, 2, 1}, {6, 7, 3, 2}, {7, 4, 0, 3}};
    for (const auto& q : quads)
    {
        mesh.AddTriangle(q[0], q[1], q[2]);
        mesh.AddTriangle(q[0], q[2], q[3]);
    }
    mesh.Update();
    auto backMarked = [&] {
        int count = 0;
        for (std::uint32_t i = 2; i < 4; ++i)
            count += (mesh.GetTriangle(i)->flags & kBits) != 0;
        return count;
    };
    const Mask mask = RectangleMask(10, 10, 190, 150);
    DrawIds("slab");
    ASSERT_TRUE(SelectTrianglesInFrameBuffer(mesh, mask.View(), nullptr, window.Renderer(), kBits, true));
    EXPECT_EQ(backMarked(), 0);
    EXPECT_NE(mesh.GetTriangle(0)->flags & kBits, 0);

    mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
    ASSERT_TRUE(SelectTrianglesInFrameBuffer(mesh, mask.View(), nullptr, window.Renderer(), kBits, false));
    EXPECT_EQ(backMarked(), 2) << "without the facing test the back grows in through the sides";
}

TEST_F(TriangleSelection, EmptyRegionsForeignIdsAndMarkedTrianglesMarkNothing)
{
    const float centre[3] = {0.0f, 0.0f, 0.0f};
    BuildSphere(mesh, centre, 1.5f, 20, 40, 4);
    DrawIds("ids");

    Mask empty = RectangleMask(0, 0, kWidth, kHeight);
    std::fill(empty.pixels.begin(), empty.pixels.end(), 0u);
    EXPECT_FALSE(SelectTrianglesInFrameBuffer(mesh, empty.View(), nullptr, window.Renderer(), kBits, true));

    // Every triangle already carries the bits: nothing is re-marked.
    mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags |= kBits; });
    const Mask all = RectangleMask(0, 0, kWidth, kHeight);
    EXPECT_FALSE(SelectTrianglesInFrameBuffer(mesh, all.View(), nullptr, window.Renderer(), kBits, true));
    mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });

    // Pixels naming triangles beyond the mesh (and the background) are
    // ignored.
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f); // id 0xFFFFFF
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_FALSE(SelectTrianglesInFrameBuffer(mesh, all.View(), nullptr, window.Renderer(), kBits, true));
}

TEST_F(TriangleSelection, MasksReachingOutsideTheViewAndClipRectanglesAreCutToTheView)
{
    const float centre[3] = {0.0f, 0.0f, 0.0f};
    BuildSphere(mesh, centre, 1.5f, 20, 40, 5);
    DrawIds("clipped");
    // A mask hanging over the top-left corner of the view.
    Mask mask = RectangleMask(-50, -40, 120, 100);
    const RECT clip{-50, -40, 400, 400};
    EXPECT_TRUE(SelectTrianglesInFrameBuffer(mesh, mask.View(), &clip, window.Renderer(), kBits, true));

    // A clip rectangle off the view marks nothing.
    mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
    const RECT outside{kWidth + 10, 0, kWidth + 60, 50};
    EXPECT_FALSE(SelectTrianglesInFrameBuffer(mesh, mask.View(), &outside, window.Renderer(), kBits, true));

    // A stride shorter than a row is refused.
    stSelectionMask bad = mask.View();
    bad.stride = bad.width * 2;
    EXPECT_FALSE(SelectTrianglesInFrameBuffer(mesh, bad, nullptr, window.Renderer(), kBits, true));
}

} // namespace
