#include "dezaz/mesh_import.h"
#include "dezaz/sample_part.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace
{

std::filesystem::path Temp(const std::string& name)
{
    return std::filesystem::temp_directory_path() / ("vtl_import_" + name);
}

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A unit square in z = 0 as two triangles, in every format the host reads;
// the shared diagonal's corners must weld.
const char* kAsciiStl = "solid square\n"
                        "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 1 1 0\n endloop\nendfacet\n"
                        "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 1 0\n  vertex 0 1 0\n endloop\nendfacet\n"
                        "endsolid square\n";
const char* kObj = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
const char* kAsciiPly = "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
                        "element face 2\nproperty list uchar int vertex_indices\nend_header\n"
                        "0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n";

TEST(MeshImport, ReadsStlObjAndPlyIntoOneWeldedMesh)
{
    ON_Mesh square;
    square.SetVertex(0, ON_3dPoint(0, 0, 0));
    square.SetVertex(1, ON_3dPoint(1, 0, 0));
    square.SetVertex(2, ON_3dPoint(1, 1, 0));
    square.SetVertex(3, ON_3dPoint(0, 1, 0));
    square.SetTriangle(0, 0, 1, 2);
    square.SetTriangle(1, 0, 2, 3);
    std::wstring error;
    ASSERT_TRUE(dezaz::WriteBinaryStl(Temp("binary.stl"), square, error)) << error;
    WriteText(Temp("ascii.stl"), kAsciiStl);
    WriteText(Temp("quad.obj"), kObj);
    WriteText(Temp("ascii.ply"), kAsciiPly);
    for (const char* name : {"binary.stl", "ascii.stl", "quad.obj", "ascii.ply"})
    {
        ON_Mesh mesh;
        ASSERT_TRUE(dezaz::ImportMeshFile(Temp(name).string(), mesh, error)) << name << ": " << std::string(error.begin(), error.end());
        EXPECT_EQ(mesh.VertexCount(), 4) << name;
        EXPECT_EQ(mesh.FaceCount(), 2) << name;
        EXPECT_TRUE(mesh.IsValid()) << name;
        const ON_BoundingBox box = mesh.BoundingBox();
        EXPECT_EQ(box.m_min, ON_3dPoint(0, 0, 0)) << name;
        EXPECT_EQ(box.m_max, ON_3dPoint(1, 1, 0)) << name;
        std::filesystem::remove(Temp(name));
    }
}

TEST(MeshImport, ABadFileIsRefusedWithTheReadersMessageAndTheMeshKept)
{
    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(5, 5, 5));
    std::wstring error;
    WriteText(Temp("garbage.stl"), "solid x\nfacet normal 0 0 1\n outer loop\n  vertex 0 0\n");
    WriteText(Temp("empty.obj"), "# nothing\n");
    for (const char* name : {"garbage.stl", "empty.obj", "missing.ply"})
    {
        error.clear();
        EXPECT_FALSE(dezaz::ImportMeshFile(Temp(name).string(), mesh, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_EQ(mesh.VertexCount(), 1) << name;
        std::filesystem::remove(Temp(name));
    }
}

TEST(MeshImport, WeldingJoinsExactPositionsOnlyAndDropsCollapsedOrNonFiniteFaces)
{
    const float nan = std::nanf("");
    // t0 and t1 share an edge; t2 is apart by one float step; t3 collapses;
    // t4 has a NaN corner; -0.0 and 0.0 are one coordinate.
    const float step = std::nextafter(1.0f, 2.0f);
    const float soup[] = {
        0, 0, 0, 1, 0, 0, 0, 1, 0,         //
        1, 0, 0, 1, 1, 0, 0, 1, 0,         //
        step, 0, 0, 2, 0, 0, 2, 1, 0,      //
        3, 3, 3, 3, 3, 3, 4, 4, 4,         //
        0, 0, 0, nan, 0, 0, 1, 1, 1,       //
        -0.0f, -0.0f, 0, 5, 0, 0, 5, 5, 0, //
    };
    ON_Mesh mesh;
    dezaz::MeshImportStats stats;
    dezaz::WeldTriangles(soup, 6, mesh, &stats);
    EXPECT_EQ(stats.faces_read, 6u);
    EXPECT_EQ(stats.faces_dropped, 2u);
    ASSERT_EQ(mesh.FaceCount(), 4);
    EXPECT_EQ(mesh.VertexCount(), 4 + 3 + 2);
    EXPECT_EQ(mesh.m_F[3].vi[0], 0); // (-0, -0, 0) is the first vertex
    EXPECT_TRUE(mesh.IsValid());
}

TEST(MeshImport, LargeImportsReportTheirProgressInSteps)
{
    // A strip of 1.2M triangles over a grid of points.
    const std::size_t count = dezaz::kProgressTriangleCount + 200000;
    std::vector<float> soup;
    soup.reserve(count * 9);
    for (std::size_t t = 0; t < count; ++t)
    {
        const float x = static_cast<float>(t / 2 % 2048), y = static_cast<float>(t / 4096);
        const float corners[2][9] = {{x, y, 0, x + 1, y, 0, x, y + 1, 0}, {x + 1, y, 0, x + 1, y + 1, 0, x, y + 1, 0}};
        soup.insert(soup.end(), corners[t % 2], corners[t % 2] + 9);
    }
    std::vector<int> reported;
    ON_Mesh mesh;
    dezaz::WeldTriangles(soup.data(), count, mesh, nullptr, [&](int percent) { reported.push_back(percent); });
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.front(), 0);
    EXPECT_EQ(reported.back(), 100);
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_LE(reported.size(), 11u);
    EXPECT_EQ(static_cast<std::size_t>(mesh.FaceCount()), count);

    // Small imports stay quiet.
    reported.clear();
    ON_Mesh small;
    dezaz::WeldTriangles(soup.data(), 1000, small, nullptr, [&](int percent) { reported.push_back(percent); });
    EXPECT_TRUE(reported.empty());
}

TEST(SamplePart, IsAClosedOutwardMeshOfTheStatedPartWithTheStatedNoise)
{
    dezaz::SamplePartOptions options;
    options.cell = 1.5; // coarser than the bundled sample, same part
    ON_Mesh mesh;
    dezaz::GenerateSamplePart(options, mesh);
    ASSERT_TRUE(mesh.IsValid());

    // Closed and consistently oriented: every directed edge once, its twin once.
    std::map<std::pair<int, int>, int> edges;
    for (const ON_MeshFace& f : mesh.m_F)
        for (int k = 0; k < 3; ++k)
            ++edges[{f.vi[k], f.vi[(k + 1) % 3]}];
    for (const auto& [edge, n] : edges)
    {
        ASSERT_EQ(n, 1);
        ASSERT_EQ(edges.count({edge.second, edge.first}), 1u);
    }
    // One through hole: V - E + F = 0.
    EXPECT_EQ(mesh.VertexCount() - static_cast<int>(edges.size()) / 2 + mesh.FaceCount(), 0);

    // Outward: the signed volume is the part's (block + boss + knob - hole -
    // dimple - the back face's dent, whose cos^2 profiles average one half
    // over its 60 x 16).
    double volume = 0;
    for (const ON_MeshFace& f : mesh.m_F)
    {
        const ON_3dPoint a(mesh.m_V[f.vi[0]]), b(mesh.m_V[f.vi[1]]), c(mesh.m_V[f.vi[2]]);
        volume += ON_DotProduct(ON_3dVector(a), ON_CrossProduct(ON_3dVector(b), ON_3dVector(c))) / 6.0;
    }
    const double pi = 3.14159265358979;
    const double knob = [&] {
        double v = 0;
        for (int i = 0; i < 1200; ++i)
        {
            const double z = 20 + (i + 0.5) * 12.0 / 1200, r = 7 - 2 * std::sin(pi * (z - 20) / 12);
            v += pi * r * r * 12.0 / 1200;
        }
        return v;
    }();
    const double expected = 120.0 * 60 * 20 + pi * 144 * 15 + knob - pi * 64 * 20 - pi * 4 * 4 * (3 * 10 - 4) / 3 -
                            60.0 * 16 / 4;
    EXPECT_NEAR(volume, expected, 0.02 * expected);

    const ON_BoundingBox box = mesh.BoundingBox();
    for (int a = 0; a < 3; ++a)
    {
        EXPECT_NEAR(box.m_min[a], 0.0, 0.1);
        EXPECT_NEAR(box.m_max[a], a == 0 ? 120.0 : a == 1 ? 60.0 : 35.0, 0.1);
    }

    // On the flat top between the features the noise is all there is.
    double sum = 0, sum2 = 0;
    int n = 0;
    for (const ON_3fPoint& v : mesh.m_V)
        if (std::abs(v.z - 20) < 0.1 && v.x > 60 && v.x < 66 && v.y > 5 && v.y < 55)
        {
            sum += v.z - 20;
            sum2 += (v.z - 20) * (v.z - 20);
            ++n;
        }
    ASSERT_GT(n, 100);
    EXPECT_NEAR(sum / n, 0.0, 0.003);
    EXPECT_NEAR(std::sqrt(sum2 / n), options.noise_sigma, 0.3 * options.noise_sigma);

    // The back face lies where its description puts it, dent and all:
    // y = 60 - cos^2(pi (x - 60) / 60) cos^2(pi (z - 10) / 16) over x 30..90,
    // z 2..18.
    double worst = 0, deepest = 60;
    int onBack = 0;
    for (const ON_3fPoint& v : mesh.m_V)
        if (v.y > 58.5 && v.x > 2 && v.x < 118 && v.z > 2 && v.z < 18)
        {
            const double u = (v.x - 60) / 30, w = (v.z - 10) / 8;
            const double d = std::abs(u) < 1 && std::abs(w) < 1
                                 ? std::pow(std::cos(pi * u / 2), 2) * std::pow(std::cos(pi * w / 2), 2)
                                 : 0.0;
            worst = std::max(worst, std::abs(v.y - (60 - d)));
            deepest = std::min(deepest, double(v.y));
            ++onBack;
        }
    ASSERT_GT(onBack, 500);
    EXPECT_LT(worst, 0.07);
    EXPECT_NEAR(deepest, 59.0, 0.05);

    // The same seed gives the same scan.
    ON_Mesh again;
    dezaz::GenerateSamplePart(options, again);
    ASSERT_EQ(again.VertexCount(), mesh.VertexCount());
    EXPECT_EQ(again.m_V[again.VertexCount() / 2], mesh.m_V[mesh.VertexCount() / 2]);
}

} // namespace
