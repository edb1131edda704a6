#include "analysis/analysed_vertex_tree.h"
#include "analysis/deviation_pass.h"
#include "core/mesh_object.h"
#include "core/thread_pool.h"
#include "platform/win32/kernel_faults.h"

#include "analysis_test_meshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

// A wavy scan over a plane: every vertex a different distance.
ON_Mesh WavyScan(int n)
{
    ON_Mesh scan = analysis_test::PlaneGrid(n, 4.0f, 0.0f);
    for (ON_3fPoint& p : scan.m_V)
        p.z = 0.2f * std::sin(3.0f * p.x) * std::cos(2.0f * p.y);
    return scan;
}

std::vector<float> Deviations(const ON_Mesh& mesh)
{
    const cON_AVTree* tree = cON_AVTree::Find(const_cast<ON_Mesh*>(&mesh));
    std::vector<float> out;
    for (std::uint32_t i = 0; i < tree->GetCount(); ++i)
        out.push_back(tree->GetRecord(i)->deviation);
    return out;
}

} // namespace

TEST(DeviationPassConcurrency, SameResultOnOneTwoAndManyThreads)
{
    const ON_Mesh cad = analysis_test::PlaneGrid(9, 4.0f, 0.0f);
    std::vector<std::vector<float>> results;
    std::vector<std::vector<unsigned int>> colours;
    for (const int threads : {0, 1, 2, 7})
    {
        std::unique_ptr<cThreadPool> pool;
        if (threads > 0)
            pool = std::make_unique<cThreadPool>(threads);
        stAnalysisSettings settings;
        settings.pool = pool.get();
        settings.searchTree.BuildVertexTree({&cad});
        settings.searchTree.BuildFaceTree({&cad}, nullptr);
        ON_Mesh scan = WavyScan(30);
        ASSERT_TRUE(HostPass(settings, &scan, 0.05f, 0.25f));
        results.push_back(Deviations(scan));
        std::vector<unsigned int> c;
        for (const ON_Color& colour : scan.m_C)
            c.push_back(colour);
        colours.push_back(c);
        if (pool)
            pool->Stop();
    }
    for (std::size_t i = 1; i < results.size(); ++i)
    {
        EXPECT_EQ(results[i], results[0]) << i;
        EXPECT_EQ(colours[i], colours[0]) << i;
    }
    // And they are right: the wave's height over the plane.
    const ON_Mesh scan = WavyScan(30);
    for (int i = 0; i < scan.VertexCount(); ++i)
        ASSERT_NEAR(results[0][i], scan.m_V[i].z, 1e-6f) << i;
}

TEST(DeviationPassConcurrency, PassesOverSeveralMeshesShareOneTreeAndPool)
{
    const ON_Mesh cad = analysis_test::PlaneGrid(9, 4.0f, 0.0f);
    cThreadPool pool(4);
    stAnalysisSettings settings;
    settings.pool = &pool;
    settings.searchTree.BuildVertexTree({&cad});
    settings.searchTree.BuildFaceTree({&cad}, nullptr);
    for (int round = 0; round < 3; ++round)
    {
        ON_Mesh scan = WavyScan(12 + round);
        ASSERT_TRUE(HostPass(settings, &scan, 0.05f, 0.25f));
        EXPECT_EQ(cON_AVTree::Find(&scan)->GetStatistics().compared, static_cast<std::uint32_t>(scan.VertexCount()));
        // Again on the same mesh, moved: its tree is rebuilt beside the jobs.
        for (ON_3fPoint& p : scan.m_V)
            p.z += 0.01f;
        ASSERT_TRUE(HostPass(settings, &scan, 0.05f, 0.25f));
        const cON_AVTree* tree = cON_AVTree::Find(&scan);
        for (int i = 0; i < scan.VertexCount(); ++i)
        {
            ASSERT_EQ(tree->GetRecord(i)->z, scan.m_V[i].z);
            ASSERT_NEAR(tree->GetRecord(i)->deviation, scan.m_V[i].z, 1e-6f);
        }
    }

    // The scene pass builds its property beside the jobs as well.
    cMeshObject object;
    analysis_test::FillMesh(*object.GetMesh(), WavyScan(15));
    ASSERT_TRUE(ScenePass(settings, &object, false, 0.05f, 0.25f));
    ASSERT_TRUE(ScenePass(settings, &object, false, 0.05f, 0.25f));
    const auto* property = dynamic_cast<cVTL_AVTree*>(object.FindAttachedProperty(kAnalyzerInfoPropertyName));
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(property->GetStatistics().compared, object.GetMesh()->GetVertexCount());
    pool.Stop();
}

TEST(DeviationPassConcurrency, APoolThatCannotStartStillMeasuresEveryVertex)
{
    const ON_Mesh cad = analysis_test::PlaneGrid(9, 4.0f, 0.0f);
    cThreadPool pool(3);
    win32::InjectKernelFault(win32::KernelFault::CreateThreadFails, 2);
    stAnalysisSettings settings;
    settings.pool = &pool;
    settings.searchTree.BuildVertexTree({&cad});
    settings.searchTree.BuildFaceTree({&cad}, nullptr);
    ON_Mesh scan = WavyScan(10);
    ASSERT_TRUE(HostPass(settings, &scan, 0.05f, 0.25f));
    win32::ClearKernelFaults();
    EXPECT_FALSE(pool.IsStarted());
    const std::vector<float> deviations = Deviations(scan);
    for (int i = 0; i < scan.VertexCount(); ++i)
        ASSERT_NEAR(deviations[i], scan.m_V[i].z, 1e-6f) << i;
}
