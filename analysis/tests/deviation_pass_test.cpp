#include "analysis/analysed_vertex_tree.h"
#include "analysis/colour_ramp.h"
#include "analysis/deviation_pass.h"
#include "core/mesh_object.h"
#include "fitting/fit_drivers.h"

#include "analysis_test_meshes.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <random>

namespace
{

using tRGB = std::array<int, 3>;

tRGB RampOf(float d, float tolerance = 0.1f, float maximum = 0.5f)
{
    tColourTable table;
    SetDefaultColourTable(table);
    std::uint8_t r, g, b;
    Ramp(d, maximum, tolerance, -maximum, maximum, table, r, g, b, 1.0f);
    return {r, g, b};
}

tRGB ColourAt(const ON_Mesh& mesh, int i)
{
    return {mesh.m_C[i].Red(), mesh.m_C[i].Green(), mesh.m_C[i].Blue()};
}

void BuildSearchTree(stAnalysisSettings& settings, const std::vector<const ON_Mesh*>& cad)
{
    settings.searchTree.BuildVertexTree(cad);
    settings.searchTree.BuildFaceTree(cad, nullptr);
}

// A mesh scene object holding a copy of the host mesh's triangles.
std::unique_ptr<cMeshObject> SceneObjectOf(const ON_Mesh& source)
{
    auto object = std::make_unique<cMeshObject>();
    cMesh* mesh = object->GetMesh();
    for (const ON_3fPoint& p : source.m_V)
        mesh->AddVertex(&p.x);
    for (const ON_MeshFace& f : source.m_F)
        mesh->AddTriangle(f.vi[0], f.vi[1], f.vi[2]);
    mesh->Update();
    return object;
}

} // namespace

TEST(ColourRamp, TableEntriesBlendsAndLimits)
{
    EXPECT_EQ(RampOf(0.0f), (tRGB{0, 255, 0}));
    EXPECT_EQ(RampOf(0.0999f), (tRGB{0, 255, 0}));
    // Exactly at the tolerance the blend starts: yellow and cyan, not green.
    EXPECT_EQ(RampOf(0.1f), (tRGB{255, 255, 0}));
    EXPECT_EQ(RampOf(-0.1f), (tRGB{0, 255, 255}));
    EXPECT_EQ(RampOf(0.3f), (tRGB{255, 127, 0}));
    EXPECT_EQ(RampOf(-0.3f), (tRGB{0, 127, 255}));
    EXPECT_EQ(RampOf(0.5f), (tRGB{255, 0, 0}));
    EXPECT_EQ(RampOf(-0.5f), (tRGB{0, 0, 255}));
    EXPECT_EQ(RampOf(0.51f), (tRGB{132, 0, 0}));
    EXPECT_EQ(RampOf(-7.0f), (tRGB{0, 0, 132}));
    EXPECT_EQ(RampOf(NAN), (tRGB{0, 0, 0}));

    // Brightness above 1 saturates instead of wrapping.
    tColourTable table;
    SetDefaultColourTable(table);
    std::uint8_t r, g, b;
    Ramp(0.3f, 0.5f, 0.1f, -0.5f, 0.5f, table, r, g, b, 3.0f);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 255);
}

TEST(ColourRamp, RangesThatCannotDriveTheRampAreRefused)
{
    EXPECT_TRUE(IsValidRampRange(0.01f, 0.05f));
    EXPECT_FALSE(IsValidRampRange(0.0f, 0.05f));
    EXPECT_FALSE(IsValidRampRange(-0.01f, 0.05f));
    EXPECT_FALSE(IsValidRampRange(0.05f, 0.05f)); // multiplier 1
    EXPECT_FALSE(IsValidRampRange(NAN, 0.05f));
    EXPECT_FALSE(IsValidRampRange(0.01f, INFINITY));

    const ON_Mesh cad = analysis_test::PlaneGrid(4, 1.0f, 0.0f);
    ON_Mesh scan = analysis_test::PlaneGrid(4, 1.0f, 0.2f);
    stAnalysisSettings settings;
    BuildSearchTree(settings, {&cad});
    EXPECT_FALSE(HostPass(settings, &scan, 0.1f, 0.1f));
    EXPECT_FALSE(HostPass(settings, &scan, 0.0f, 0.5f));
    EXPECT_EQ(scan.m_C.Count(), 0);
    EXPECT_EQ(cON_AVTree::Find(&scan), nullptr);
}

TEST(HostPass, PlaneAgainstAnOffsetPlaneMeasuresTheOffsetEverywhere)
{
    // Different tessellations, quads on the CAD side, a metre from the origin.
    const ON_Mesh cad = analysis_test::PlaneGrid(7, 10.0f, 0.0f, true, 1000.0f, -1000.0f);
    ON_Mesh above = analysis_test::PlaneGrid(23, 10.0f, 0.25f, false, 1000.0f, -1000.0f);
    stAnalysisSettings settings;
    BuildSearchTree(settings, {&cad});
    ASSERT_TRUE(HostPass(settings, &above, 0.1f, 0.5f));

    const cON_AVTree* tree = cON_AVTree::Find(&above);
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->GetCount(), static_cast<std::uint32_t>(above.VertexCount()));
    ASSERT_EQ(above.m_C.Count(), above.VertexCount());
    const tRGB expected = RampOf(0.25f);
    for (int i = 0; i < above.VertexCount(); ++i)
    {
        ASSERT_FLOAT_EQ(tree->GetRecord(i)->deviation, 0.25f) << i;
        ASSERT_EQ(ColourAt(above, i), expected) << i;
    }
    const stDeviationStatistics& s = tree->GetStatistics();
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.compared, static_cast<std::uint32_t>(above.VertexCount()));
    EXPECT_EQ(s.aboveTolerance, s.compared);
    EXPECT_NEAR(s.rms, 0.25, 1e-6);

    // Below the plane the sign turns, and a second pass rebuilds the tree.
    ON_Mesh below = analysis_test::PlaneGrid(5, 10.0f, -0.05f, false, 1000.0f, -1000.0f);
    ASSERT_TRUE(HostPass(settings, &below, 0.1f, 0.5f));
    ASSERT_TRUE(HostPass(settings, &below, 0.1f, 0.5f));
    const cON_AVTree* belowTree = cON_AVTree::Find(&below);
    EXPECT_EQ(belowTree->GetStatistics().inTolerance, static_cast<std::uint32_t>(below.VertexCount()));
    EXPECT_FLOAT_EQ(belowTree->GetStatistics().minimum, -0.05f);
    EXPECT_EQ(ColourAt(below, 0), (tRGB{0, 255, 0}));
    EXPECT_TRUE(settings.hostJobs.empty());
}

TEST(HostPass, FarVerticesAreGreyOrLimitColouredByTheOutOfRangeFlag)
{
    const ON_Mesh cad = analysis_test::PlaneGrid(4, 1.0f, 0.0f);
    ON_Mesh scan = analysis_test::PlaneGrid(2, 1.0f, 0.0f);
    scan.m_V[0].z = 3.0f;  // far above
    scan.m_V[1].z = -3.0f; // far below
    stAnalysisSettings settings;
    BuildSearchTree(settings, {&cad});

    ASSERT_TRUE(HostPass(settings, &scan, 0.1f, 0.5f));
    EXPECT_EQ(ColourAt(scan, 0), (tRGB{50, 50, 50}));
    EXPECT_EQ(ColourAt(scan, 1), (tRGB{50, 50, 50}));
    EXPECT_EQ(cON_AVTree::Find(&scan)->GetStatistics().compared, static_cast<std::uint32_t>(scan.VertexCount() - 2));

    settings.colourOutOfRange = true;
    ASSERT_TRUE(HostPass(settings, &scan, 0.1f, 0.5f));
    EXPECT_EQ(ColourAt(scan, 0), (tRGB{132, 0, 0}));
    EXPECT_EQ(ColourAt(scan, 1), (tRGB{0, 0, 132}));
    EXPECT_FLOAT_EQ(cON_AVTree::Find(&scan)->GetRecord(0)->deviation, 3.0f);
}

TEST(HostPass, TheGivenMaximumBoundsTheSearchTheColoursAndTheCount)
{
    // The settings keep another maximum than the pass is given: the pass's
    // own decides, both ways.
    const ON_Mesh cad = analysis_test::PlaneGrid(6, 10.0f, 0.0f, true, 500.0f, 200.0f);
    ON_Mesh scan = analysis_test::PlaneGrid(4, 10.0f, 0.03f, false, 500.0f, 200.0f);
    scan.m_V[0].z = 0.3f;
    stAnalysisSettings settings;
    settings.maximum = 0.5f;
    BuildSearchTree(settings, {&cad});

    ASSERT_TRUE(HostPass(settings, &scan, 0.05f, 0.1f));
    EXPECT_EQ(ColourAt(scan, 0), (tRGB{50, 50, 50}));
    EXPECT_EQ(ColourAt(scan, 1), RampOf(0.03f, 0.05f, 0.1f));
    const cON_AVTree* tree = cON_AVTree::Find(&scan);
    EXPECT_EQ(tree->GetStatistics().compared, static_cast<std::uint32_t>(scan.VertexCount() - 1));
    EXPECT_FLOAT_EQ(tree->GetStatistics().maximum, 0.03f);

    settings.maximum = 0.1f;
    ASSERT_TRUE(HostPass(settings, &scan, 0.05f, 0.5f));
    EXPECT_EQ(ColourAt(scan, 0), RampOf(0.3f, 0.05f, 0.5f));
    EXPECT_EQ(tree->GetStatistics().compared, static_cast<std::uint32_t>(scan.VertexCount()));
    EXPECT_FLOAT_EQ(tree->GetRecord(0)->deviation, 0.3f);
}

TEST(ScenePass, TheGivenMaximumBoundsTheSearchTheColoursAndTheCount)
{
    const ON_Mesh cad = analysis_test::PlaneGrid(6, 10.0f, 0.0f, true, -300.0f, 800.0f);
    const ON_Mesh scanSource = analysis_test::PlaneGrid(4, 10.0f, 0.03f, false, -300.0f, 800.0f);
    auto object = SceneObjectOf(scanSource);
    cMesh* mesh = object->GetMesh();
    mesh->GetVertex(0)->z = 0.3f;
    stAnalysisSettings settings;
    settings.maximum = 0.5f;
    BuildSearchTree(settings, {&cad});

    ASSERT_TRUE(ScenePass(settings, object.get(), false, 0.05f, 0.1f));
    auto* property = dynamic_cast<cVTL_AVTree*>(object->FindAttachedProperty(kAnalyzerInfoPropertyName));
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(mesh->GetVertex(0)->extra[0], 30);
    EXPECT_EQ(property->GetStatistics().compared, mesh->GetVertexCount() - 1);

    settings.maximum = 0.1f;
    ASSERT_TRUE(ScenePass(settings, object.get(), false, 0.05f, 0.5f));
    const tRGB far = RampOf(0.3f, 0.05f, 0.5f);
    EXPECT_EQ(mesh->GetVertex(0)->extra[0], static_cast<int>(static_cast<float>(far[0]) * 0.6f));
    EXPECT_EQ(mesh->GetVertex(0)->extra[1], static_cast<int>(static_cast<float>(far[1]) * 0.6f));
    EXPECT_EQ(property->GetStatistics().compared, mesh->GetVertexCount());
}

TEST(HostPass, EmptySearchTreeLeavesTheMeshUntouched)
{
    ON_Mesh scan = analysis_test::PlaneGrid(2, 1.0f, 0.0f);
    scan.m_C.Append(ON_Color(1, 2, 3));
    stAnalysisSettings settings;
    EXPECT_FALSE(HostPass(settings, &scan, 0.1f, 0.5f));
    BuildSearchTree(settings, {});
    EXPECT_FALSE(HostPass(settings, &scan, 0.1f, 0.5f));
    EXPECT_EQ(scan.m_C.Count(), 1);
    EXPECT_EQ(cON_AVTree::Find(&scan), nullptr);
    EXPECT_FALSE(HostPass(settings, nullptr, 0.1f, 0.5f));
}

TEST(HostPass, UnusedCadVerticesDoNotHideTheFacesBehindThem)
{
    // A stray CAD vertex right at the scan point, used by no face: its
    // distance is no bound for the faces.
    ON_Mesh cad = analysis_test::PlaneGrid(2, 1.0f, 0.0f);
    cad.SetVertex(cad.VertexCount(), ON_3fPoint(0.5f, 0.5f, 0.3f));
    ON_Mesh scan(1, 3, false, false);
    scan.SetVertex(0, ON_3fPoint(0.5f, 0.5f, 0.3f));
    stAnalysisSettings settings;
    BuildSearchTree(settings, {&cad});
    ASSERT_TRUE(HostPass(settings, &scan, 0.1f, 0.5f));
    EXPECT_FLOAT_EQ(cON_AVTree::Find(&scan)->GetRecord(0)->deviation, 0.3f);
}

TEST(ScenePass, ColoursVertexBytesAndMeasuresOnlyTheSelection)
{
    const ON_Mesh cad = analysis_test::PlaneGrid(3, 2.0f, 0.0f);
    const ON_Mesh scanSource = analysis_test::PlaneGrid(4, 2.0f, 0.3f);
    auto object = SceneObjectOf(scanSource);
    cMesh* mesh = object->GetMesh();
    stAnalysisSettings settings;
    BuildSearchTree(settings, {&cad});

    // Nothing selected: nothing measured, every vertex the dark grey.
    ASSERT_TRUE(ScenePass(settings, object.get(), true, 0.1f, 0.5f));
    auto* property = dynamic_cast<cVTL_AVTree*>(object->FindAttachedProperty(kAnalyzerInfoPropertyName));
    ASSERT_NE(property, nullptr);
    EXPECT_FALSE(property->GetStatistics().valid);
    EXPECT_EQ(property->GetStatistics().compared, 0u);
    for (std::uint32_t i = 0; i < mesh->GetVertexCount(); ++i)
        ASSERT_EQ(mesh->GetVertex(i)->extra[0], 30);

    // One selected triangle, one selected but hidden, one excluded vertex.
    mesh->GetTriangle(0)->flags |= kTriangleFlagSelected;
    mesh->GetTriangle(5)->flags |= kTriangleFlagSelected | kTriangleFlagHidden;
    mesh->GetVertex(mesh->GetTriangle(0)->vertexIndex[2])->flags |= kVertexFlagExcluded;
    ASSERT_TRUE(ScenePass(settings, object.get(), true, 0.1f, 0.5f));
    EXPECT_EQ(property->GetStatistics().compared, 2u);
    const tRGB full = RampOf(0.3f);
    const cVertex* measured = mesh->GetVertex(mesh->GetTriangle(0)->vertexIndex[0]);
    EXPECT_EQ(measured->extra[0], static_cast<int>(full[0] * 0.6f));
    EXPECT_EQ(measured->extra[1], static_cast<int>(full[1] * 0.6f));
    EXPECT_FLOAT_EQ(property->GetRecord(mesh->GetTriangle(0)->vertexIndex[0])->deviation, 0.3f);

    // Everything (but the excluded vertex).
    ASSERT_TRUE(ScenePass(settings, object.get(), false, 0.1f, 0.5f));
    EXPECT_EQ(property->GetStatistics().compared, mesh->GetVertexCount() - 1);
    EXPECT_EQ(object->FindAttachedProperty(kAnalyzerInfoPropertyName), property); // reused, not stacked

    // An object without a mesh is refused.
    auto empty = std::make_unique<cMeshObject>();
    stAnalysisSettings none;
    EXPECT_FALSE(ScenePass(none, empty.get(), false, 0.1f, 0.5f));
}

namespace
{

struct stPipeCase
{
    double origin[3];
    double axis[3]; // unit
    double radius;
    double length;
    double sigma;
};

// A pipe scanned with Gaussian radial noise, fitted, meshed finely from the
// fit and measured: the deviations' RMS is the noise's.
void ExpectPipeDeviationHasTheNoiseRms(const stPipeCase& c)
{
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, c.sigma);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    // A frame around the true axis.
    double e1[3] = {0, 0, 0};
    e1[std::fabs(c.axis[0]) < 0.5 ? 0 : 1] = 1.0;
    double e2[3] = {c.axis[1] * e1[2] - c.axis[2] * e1[1], c.axis[2] * e1[0] - c.axis[0] * e1[2],
                    c.axis[0] * e1[1] - c.axis[1] * e1[0]};
    const double l2 = std::sqrt(e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2]);
    for (double& v : e2)
        v /= l2;
    const double e3[3] = {e2[1] * c.axis[2] - e2[2] * c.axis[1], e2[2] * c.axis[0] - e2[0] * c.axis[2],
                          e2[0] * c.axis[1] - e2[1] * c.axis[0]};
    ON_Mesh scan;
    tFitPointQueue points;
    for (int i = 0; i < 8000; ++i)
    {
        const double a = 6.283185307179586 * u(rng);
        const double t = c.length * (0.05 + 0.9 * u(rng));
        const double r = c.radius + noise(rng);
        float p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = static_cast<float>(c.origin[k] + t * c.axis[k] + r * (std::cos(a) * e2[k] + std::sin(a) * e3[k]));
        scan.SetVertex(scan.VertexCount(), ON_3fPoint(p));
        points.push_back(MakeFitPoint(p, nullptr));
    }
    cFitContainer container(points);
    tCylinder<double> cylinder;
    double fitRms = 0.0;
    ASSERT_TRUE(FitCylinder(container, cylinder, fitRms, 0.1));

    // The fitted cylinder's render mesh: fine enough that the chord error is
    // far below the noise, faces outward.
    const double* axis = cylinder.axis;
    double ux[3] = {0, 0, 0};
    ux[std::fabs(axis[0]) < 0.5 ? 0 : 1] = 1.0;
    double v[3] = {axis[1] * ux[2] - axis[2] * ux[1], axis[2] * ux[0] - axis[0] * ux[2],
                   axis[0] * ux[1] - axis[1] * ux[0]};
    const double vl = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (double& k : v)
        k /= vl;
    const double w[3] = {v[1] * axis[2] - v[2] * axis[1], v[2] * axis[0] - v[0] * axis[2],
                         v[0] * axis[1] - v[1] * axis[0]};
    ON_Mesh cad = analysis_test::CylinderMesh(cylinder.radius, cylinder.height, 720, 4);
    for (ON_3fPoint& p : cad.m_V)
    {
        const double lx = p.x, ly = p.y, lz = p.z;
        for (int k = 0; k < 3; ++k)
            (&p.x)[k] = static_cast<float>(cylinder.axisPoint[k] + lx * w[k] + ly * v[k] + lz * axis[k]);
    }

    stAnalysisSettings settings;
    BuildSearchTree(settings, {&cad});
    ASSERT_TRUE(HostPass(settings, &scan, static_cast<float>(2 * c.sigma), static_cast<float>(10 * c.sigma)));
    const stDeviationStatistics& s = cON_AVTree::Find(&scan)->GetStatistics();
    EXPECT_EQ(s.compared, 8000u);
    EXPECT_NEAR(s.rms, c.sigma, 0.05 * c.sigma);
    EXPECT_NEAR(s.rms, fitRms, 0.05 * c.sigma);
    // Both signs occur: the render mesh faces outward, so points outside are
    // positive.
    EXPECT_GT(s.maximum, 2.0 * c.sigma);
    EXPECT_LT(s.minimum, -2.0 * c.sigma);
}

} // namespace

TEST(HostPass, NoisyPipeScansAgainstTheirFittedCylindersHaveTheNoiseRms)
{
    // A pipe along the x axis a metre from the origin...
    ExpectPipeDeviationHasTheNoiseRms({{0.0, 1000.0, 0.0}, {1.0, 0.0, 0.0}, 5.0, 20.0, 0.01});
    // ...and a thin one on a tilted axis.
    const double n = std::sqrt(14.0);
    ExpectPipeDeviationHasTheNoiseRms({{300.0, -200.0, 50.0}, {1.0 / n, 2.0 / n, 3.0 / n}, 0.8, 6.0, 0.002});
}

TEST(HostPass, NonFiniteScanVerticesStayUnmeasuredAndTheRestKeepTheirIndices)
{
    const ON_Mesh cad = analysis_test::PlaneGrid(4, 4.0f, 0.0f);
    ON_Mesh scan = analysis_test::PlaneGrid(6, 4.0f, 0.0f);
    for (int i = 0; i < scan.VertexCount(); ++i)
        scan.m_V[i].z = 0.01f * static_cast<float>(i % 7); // each vertex tells its own distance
    scan.m_V[5].x = NAN;
    scan.m_V[9].z = INFINITY;
    stAnalysisSettings settings;
    BuildSearchTree(settings, {&cad});
    ASSERT_TRUE(HostPass(settings, &scan, 0.001f, 0.5f));
    const cON_AVTree* tree = cON_AVTree::Find(&scan);
    for (int i = 0; i < scan.VertexCount(); ++i)
    {
        if (i == 5 || i == 9)
        {
            EXPECT_EQ(tree->GetRecord(i)->deviation, FLT_MAX);
            EXPECT_EQ(ColourAt(scan, i), (tRGB{50, 50, 50}));
        }
        else
        {
            ASSERT_FLOAT_EQ(tree->GetRecord(i)->deviation, 0.01f * static_cast<float>(i % 7)) << i;
        }
    }
    EXPECT_EQ(tree->GetStatistics().compared, static_cast<std::uint32_t>(scan.VertexCount() - 2));
}
