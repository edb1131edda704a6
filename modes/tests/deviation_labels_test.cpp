// Deviation labels follow the analysed vertex nearest to their picked point
// on the mesh they were picked on, whichever way a label stores its points,
// and go when that mesh goes.
#include "analysis/analysed_vertex_tree.h"
#include "core/mesh.h"
#include "modes/deviation_display_mode.h"
#include "modes/deviation_labels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace
{

constexpr int kSide = 5;

// A tilted 5 x 5 grid of 2 mm steps far from the origin; vertex v has the
// deviation first + step * v.
std::unique_ptr<cAVTree> AnalysedGrid(float shiftX, float first, float step)
{
    cMesh mesh;
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < kSide; ++i)
        {
            const float p[3] = {1200.0f + shiftX + 2.0f * i, -800.0f + 2.0f * j, 300.0f + 0.5f * i - 0.25f * j};
            mesh.AddVertex(p);
        }
    auto tree = std::make_unique<cAVTree>();
    tree->Build(&mesh);
    for (std::uint32_t v = 0; v < tree->GetCount(); ++v)
        tree->SetDeviation(v, first + step * float(v));
    return tree;
}

constexpr GUID kMeshA = {0xA, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
constexpr GUID kMeshB = {0xB, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};

// A label picked `lift` mm above vertex v of a tree, on the object `on`.
stDeviationPageLabel PickedAbove(const cAVTree& tree, std::uint32_t v, float lift, const GUID& on = kMeshA)
{
    const cON_AVertex* r = tree.GetRecord(v);
    stDeviationPageLabel label;
    label.object = on;
    label.picked[0] = r->x;
    label.picked[1] = r->y;
    label.picked[2] = r->z + lift;
    return label;
}

void ExpectShows(const stDeviationPageLabel& label, const cAVTree& tree, std::uint32_t v, float lift)
{
    const cON_AVertex* r = tree.GetRecord(v);
    EXPECT_TRUE(label.found);
    EXPECT_EQ(label.point[0], r->x);
    EXPECT_EQ(label.point[1], r->y);
    EXPECT_EQ(label.point[2], r->z);
    EXPECT_EQ(label.deviation, r->deviation);
    EXPECT_NEAR(label.distance, lift, 1e-4);
}

// The host's labels keep their points in doubles.
struct stDoubleLabel
{
    ON_UUID object = kMeshA;
    ON_3dPoint picked;
    ON_3dPoint point;
    float deviation = FLT_MAX;
    bool found = false;
    double distance = FLT_MAX;
};

} // namespace

TEST(DeviationLabelMatching, EachLabelTakesTheNearestVertexOfItsOwnMeshWhateverTheOrder)
{
    const auto a = AnalysedGrid(0.0f, 0.001f, 0.001f);
    const auto b = AnalysedGrid(30.0f, -0.002f, -0.002f);
    for (const std::vector<stAnalysedObject>& trees :
         {std::vector<stAnalysedObject>{{kMeshA, a.get()}, {kMeshB, b.get()}},
          std::vector<stAnalysedObject>{{kMeshB, b.get()}, {kMeshA, a.get()}}})
    {
        std::vector<stDeviationPageLabel> labels{PickedAbove(*a, 7, 0.3f), PickedAbove(*b, 12, 0.4f, kMeshB)};
        // Colours the page matched on the pick stay with the label.
        labels[1].rgb[0] = 7;
        ResolveDeviationLabels(labels, trees);
        ASSERT_EQ(labels.size(), 2u);
        ExpectShows(labels[0], *a, 7, 0.3f);
        ExpectShows(labels[1], *b, 12, 0.4f);
        EXPECT_EQ(labels[1].rgb[0], 7);
    }
    // Picked on A right above a vertex of B (the two grids overlaid): it
    // stays on A, the nearer vertex of B notwithstanding.
    const auto over = AnalysedGrid(1.0f, 0.5f, 0.0f);
    std::vector<stDeviationPageLabel> labels{PickedAbove(*over, 12, 0.1f, kMeshA)};
    ResolveDeviationLabels(labels, {{kMeshB, over.get()}, {kMeshA, a.get()}});
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].deviation, a->GetRecord(12)->deviation);
    EXPECT_GT(labels[0].distance, 0.9);
}

TEST(DeviationLabelMatching, TheFirstTreeOfItsObjectCountsAndAnObjectWithoutATreeDropsIt)
{
    const auto a = AnalysedGrid(0.0f, 0.001f, 0.001f);
    const auto same = AnalysedGrid(0.0f, 0.5f, 0.0f); // the same vertices, another pass
    std::vector<stDeviationPageLabel> labels{PickedAbove(*a, 3, 0.2f)};
    ResolveDeviationLabels(labels, {{kMeshB, same.get()}, {kMeshA, a.get()}, {kMeshA, same.get()}});
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].deviation, a->GetRecord(3)->deviation);
    ResolveDeviationLabels(labels, {{kMeshA, nullptr}, {kMeshA, a.get()}});
    EXPECT_TRUE(labels.empty());
}

TEST(DeviationLabelMatching, ALabelGoesWithItsMeshAndWithoutAVertex)
{
    const auto a = AnalysedGrid(0.0f, 0.001f, 0.001f);
    const auto b = AnalysedGrid(30.0f, -0.002f, -0.002f);
    std::vector<stDeviationPageLabel> labels{PickedAbove(*a, 24, 0.1f)};
    ResolveDeviationLabels(labels, {{kMeshA, a.get()}, {kMeshB, b.get()}});
    ASSERT_EQ(labels.size(), 1u);
    // Its mesh gone, the label goes too: it never moves to the nearest
    // vertex left on another mesh.
    ResolveDeviationLabels(labels, {{kMeshB, b.get()}});
    EXPECT_TRUE(labels.empty());

    cAVTree empty;
    stDeviationPageLabel lonely = PickedAbove(*a, 0, 1.0f);
    EXPECT_EQ(MatchNearestRecord(lonely, empty), nullptr);
    EXPECT_FALSE(lonely.found);
    EXPECT_EQ(lonely.distance, FLT_MAX);
    labels.push_back(lonely);
    ResolveDeviationLabels(labels, {{kMeshA, &empty}});
    EXPECT_TRUE(labels.empty());
}

TEST(DeviationLabelMatching, LabelsWithDoublePointsMatchAlike)
{
    const auto a = AnalysedGrid(0.0f, 0.001f, 0.001f);
    const cON_AVertex* r = a->GetRecord(13);
    stDoubleLabel label;
    label.picked = ON_3dPoint(r->x + 0.3, r->y - 0.4, r->z);
    ASSERT_EQ(MatchNearestRecord(label, *a), r);
    EXPECT_TRUE(label.found);
    EXPECT_EQ(label.point.x, double(r->x));
    EXPECT_EQ(label.point.y, double(r->y));
    EXPECT_EQ(label.point.z, double(r->z));
    EXPECT_EQ(label.deviation, r->deviation);
    EXPECT_NEAR(label.distance, 0.5, 1e-4);

    std::vector<stDoubleLabel> labels{label};
    labels[0].picked.z += 1000.0; // far above, still nearest to the grid's top side
    ResolveDeviationLabels(labels, {{kMeshA, a.get()}});
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_GT(labels[0].distance, 990.0);
}
