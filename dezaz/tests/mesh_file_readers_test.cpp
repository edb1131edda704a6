// Damaged and hostile mesh files: each is refused with a message, quickly,
// and leaves the caller's mesh as it was; sound files of every layout read
// to the mesh they hold.
#include "dezaz/mesh_file_data.h"
#include "dezaz/mesh_file_input.h"
#include "dezaz/mesh_import.h"
#include "dezaz/polygon_triangulation.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

namespace fs = std::filesystem;

fs::path Temp(const std::string& name)
{
    return fs::temp_directory_path() / ("vtl_reader_" + std::to_string(::getpid()) + "_" + name);
}

fs::path Write(const std::string& name, const std::string& bytes)
{
    const fs::path path = Temp(name);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// Imports into a mesh that already holds one vertex; a refusal must leave it.
struct stOutcome
{
    bool ok = false;
    std::wstring error;
    ON_Mesh mesh;
    dezaz::MeshImportStats stats;
};

stOutcome Import(const fs::path& path)
{
    stOutcome outcome;
    outcome.mesh.SetVertex(0, ON_3dPoint(5, 6, 7));
    outcome.ok = dezaz::ImportMeshFile(path.string(), outcome.mesh, outcome.error, &outcome.stats);
    fs::remove(path);
    return outcome;
}

void ExpectRefused(const std::string& name, const std::string& bytes, const std::wstring& says)
{
    const auto start = std::chrono::steady_clock::now();
    const stOutcome outcome = Import(Write(name, bytes));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(outcome.ok) << name;
    EXPECT_NE(outcome.error.find(says), std::wstring::npos) << name << ": " << Narrow(outcome.error);
    EXPECT_EQ(outcome.mesh.VertexCount(), 1) << name;
    EXPECT_EQ(outcome.mesh.FaceCount(), 0) << name;
    // A refusal reads the few bytes there are: far from the seconds a
    // reader that trusts a declared count spends.
    EXPECT_LT(seconds, 2.0) << name;
}

const std::string kPlyHead = "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
                             "property float z\n";
const std::string kSquareVertices = "0 0 0\n1 0 0\n1 1 0\n0 1 0\n";

std::string AsciiPly(int faces, const std::string& body)
{
    return kPlyHead + "element face " + std::to_string(faces) + "\nproperty list uchar int vertex_indices\nend_header\n" +
           kSquareVertices + body;
}

double Area(const ON_Mesh& mesh)
{
    double area = 0;
    for (const ON_MeshFace& f : mesh.m_F)
    {
        const ON_3dPoint a(mesh.m_V[f.vi[0]]), b(mesh.m_V[f.vi[1]]), c(mesh.m_V[f.vi[2]]);
        area += ON_CrossProduct(b - a, c - a).Length() / 2;
    }
    return area;
}

// The mesh's vertices, to compare with the corners a file was written with.
std::set<std::array<float, 3>> Points(const ON_Mesh& mesh)
{
    std::set<std::array<float, 3>> points;
    for (const ON_3fPoint& v : mesh.m_V)
        points.insert({v.x, v.y, v.z});
    return points;
}

// A unit square in two triangles at height 40, far from the origin.
const float kFarSquare[2][9] = {{100, 200, 40, 101, 200, 40, 101, 201, 40}, {100, 200, 40, 101, 201, 40, 100, 201, 40}};
const std::set<std::array<float, 3>> kFarSquareCorners = {
    {100, 200, 40}, {101, 200, 40}, {101, 201, 40}, {100, 201, 40}};

template <class T> void Append(std::string& bytes, T value)
{
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

} // namespace

TEST(MeshFileReaders, HostilePlyHeadersAreRefusedWithoutReadingOn)
{
    ExpectRefused("nul.ply", std::string("ply\nformat ascii 1.0\n\0", 22), L"unknown line");
    ExpectRefused("no_end.ply", "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n", L"end_header");
    ExpectRefused("no_format.ply", "ply\nelement vertex 0\nend_header\n", L"no format");
    ExpectRefused("bad_type.ply", "ply\nformat ascii 1.0\nelement vertex 1\nproperty quad x\nend_header\n",
                  L"property line");
    ExpectRefused("float_length.ply",
                  "ply\nformat ascii 1.0\nelement face 1\nproperty list float int vertex_indices\nend_header\n",
                  L"length type is not an integer type");
    // A header claiming far more than the file holds fails before any room
    // is taken for it (these took 16 s and 900 MB, and more than 4 GB).
    ExpectRefused("1e7.ply", AsciiPly(10000000, "3 0 1 2\n"), L"10000000");
    ExpectRefused("1e8.ply", AsciiPly(100000000, "3 0 1 2\n"), L"cut short");
    ExpectRefused("huge_vertices.ply",
                  "ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\nproperty float x\n"
                  "property float y\nproperty float z\nelement face 0\nproperty list uchar int vertex_indices\n"
                  "end_header\n",
                  L"cut short");
    // One face fewer than declared: no face is invented for it.
    ExpectRefused("short.ply", AsciiPly(2, "3 0 1 2\n"), L"cut short");
    ExpectRefused("short_list.ply", AsciiPly(1, "4 0 1 2\n"), L"cut short");
    // PLY numbers its vertices from 0: index 4 of four vertices is one past the end.
    ExpectRefused("far_corner.ply", AsciiPly(1, "3 0 1 4\n"), L"names vertex 4, but it holds 4 vertices (numbered 0 to 3)");
    ExpectRefused("negative_corner.ply", AsciiPly(1, "3 0 -1 2\n"), L"not valid");
    ExpectRefused("float_count.ply", AsciiPly(1, "3.5 0 1 2\n"), L"cut short or damaged");
    // Point clouds, with or without an empty face list, are named as such.
    ExpectRefused("no_faces.ply", kPlyHead + "end_header\n" + kSquareVertices,
                  L"holds 4 points but no faces: the host imports triangle meshes, not point clouds");
    ExpectRefused("zero_faces.ply", AsciiPly(0, ""), L"holds 4 points but no faces");
}

TEST(MeshFileReaders, PlyInEveryEncodingReadsWithItsOtherElementsAndPropertiesReadPast)
{
    // Binary, both byte orders: double coordinates after a normal, a colour
    // after the corner list, and an element the host does not use between.
    for (const bool big : {false, true})
    {
        std::string bytes = std::string("ply\nformat ") + (big ? "binary_big_endian" : "binary_little_endian") +
                            " 1.0\ncomment made by hand\nelement vertex 4\nproperty float nx\nproperty double x\n"
                            "property double y\nproperty double z\nelement edge 1\nproperty int a\nproperty int b\n"
                            "element face 2\nproperty list uchar uint vertex_indices\nproperty uchar red\n"
                            "end_header\n";
        const auto put = [&](const void* p, std::size_t n) {
            std::string raw(static_cast<const char*>(p), n);
            if (big)
                std::reverse(raw.begin(), raw.end());
            bytes += raw;
        };
        const double corners[4][3] = {{100, 200, 300}, {101, 200, 300}, {101, 201, 300}, {100, 201, 300}};
        for (const auto& c : corners)
        {
            const float normal = 1;
            put(&normal, 4);
            for (double v : c)
                put(&v, 8);
        }
        const std::int32_t edge[2] = {0, 1};
        put(&edge[0], 4), put(&edge[1], 4);
        const std::uint32_t faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (const auto& face : faces)
        {
            bytes += '\3';
            for (int k = 0; k < 3; ++k)
                put(&face[k], 4);
            bytes += '\x7F';
        }
        const stOutcome outcome = Import(Write(big ? "big.ply" : "little.ply", bytes));
        ASSERT_TRUE(outcome.ok) << Narrow(outcome.error);
        EXPECT_EQ(outcome.mesh.VertexCount(), 4);
        ASSERT_EQ(outcome.mesh.FaceCount(), 2);
        EXPECT_EQ(outcome.mesh.m_V[2], ON_3fPoint(101, 201, 300));
        EXPECT_EQ(outcome.mesh.m_F[1].vi[2], 3);
        EXPECT_DOUBLE_EQ(Area(outcome.mesh), 1.0);
    }
    // ASCII: a polygon is split, points and lines are counted out, an
    // element of no properties costs nothing whatever its count.
    const stOutcome ascii = Import(Write("ascii.ply", "ply\r\nformat ascii 1.0\r\nelement nothing 4000000000\r\n" +
                                                          kPlyHead.substr(21) +
                                                          "element face 3\nproperty list uchar int vertex_index\n"
                                                          "end_header\n" +
                                                          kSquareVertices + "4 0 1 2 3\n2 0 1\n1 3\n"));
    ASSERT_TRUE(ascii.ok) << Narrow(ascii.error);
    EXPECT_EQ(ascii.mesh.FaceCount(), 2);
    EXPECT_EQ(ascii.stats.faces_dropped, 2u);
    EXPECT_DOUBLE_EQ(Area(ascii.mesh), 1.0);
}

TEST(MeshFileReaders, CutShortOrDamagedStlIsRefused)
{
    const std::string facet = "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 1 1 0\n"
                              " endloop\nendfacet\n";
    // Cut after a whole facet: no word of it before (it imported the facets read).
    ExpectRefused("cut.stl", "solid cut\n" + facet + facet, L"endsolid");
    ExpectRefused("cut_inside.stl", "solid cut\n" + facet + facet.substr(0, 40), L"cut short");
    ExpectRefused("four.stl", "solid four\n" + facet.substr(0, facet.size() - 18) + "  vertex 0 1 0\n" +
                                  facet.substr(facet.size() - 18) + "endsolid\n",
                  L"more than three");
    ExpectRefused("letters.stl", "solid x\n" + facet.substr(0, 39) + " a 0 0\n", L"three numbers");
    ExpectRefused("nul.stl", "solid x\n" + facet.substr(0, 39) + std::string(" 0\0 0 0\n", 8), L"three numbers");
    // Binary: declared triangles beyond the file's end.
    std::string binary(84, '\0');
    binary[80] = 3;
    binary += std::string(2 * 50, '\0');
    ExpectRefused("short_binary.stl", binary, L"declares 3 triangles but holds 2");
    ExpectRefused("tiny.stl", "xyz", L"too short");

    // Several solids, keywords in capitals, a file with no final line end.
    const stOutcome two = Import(Write("two.stl", "SOLID a\n" + facet + "ENDSOLID a\nsolid b\n" +
                                                     "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 1 0\n"
                                                     "vertex 0 1 0\nendloop\nendfacet\nendsolid b"));
    ASSERT_TRUE(two.ok) << Narrow(two.error);
    EXPECT_EQ(two.mesh.VertexCount(), 4);
    EXPECT_EQ(two.mesh.FaceCount(), 2);
}

TEST(MeshFileReaders, StlCornersLandWhereTheFileSaysInEitherLayout)
{
    // Binary, its header starting with "solid" as many programs write it:
    // the size that the count makes decides the layout.
    std::string binary = "solid written by a program that writes binary";
    binary.resize(80, ' ');
    Append(binary, std::uint32_t{2});
    for (const auto& triangle : kFarSquare)
    {
        binary.append(12, '\0'); // the normal
        for (float v : triangle)
            Append(binary, v);
        binary.append(2, '\0');
    }
    const stOutcome b = Import(Write("solid_header.stl", binary));
    ASSERT_TRUE(b.ok) << Narrow(b.error);
    EXPECT_EQ(b.mesh.FaceCount(), 2);
    EXPECT_EQ(Points(b.mesh), kFarSquareCorners);

    // ASCII, its keywords in capitals.
    std::string ascii = "solid far\n";
    for (const auto& t : kFarSquare)
    {
        ascii += "FACET NORMAL 0 0 1\nOUTER LOOP\n";
        for (int k = 0; k < 3; ++k)
            ascii += "VERTEX " + std::to_string(t[3 * k]) + " " + std::to_string(t[3 * k + 1]) + " " +
                     std::to_string(t[3 * k + 2]) + "\n";
        ascii += "ENDLOOP\nENDFACET\n";
    }
    const stOutcome a = Import(Write("far.stl", ascii + "endsolid far\n"));
    ASSERT_TRUE(a.ok) << Narrow(a.error);
    EXPECT_EQ(a.mesh.FaceCount(), 2);
    EXPECT_EQ(Points(a.mesh), kFarSquareCorners);

    ExpectRefused("four_numbers.stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0 7\n", L"three numbers");

    // All four bytes of the count are read.
    std::string big(84, '\0');
    big[80] = 2;
    big[82] = 1;
    big += std::string(2 * 50, '\0');
    ExpectRefused("big_count.stl", big, L"declares 65538 triangles but holds 2");
    // Blanks that fill the whole start read for the layout: judged by what
    // it holds (a binary header of blanks), not by what lies past it.
    ExpectRefused("blanks.stl", std::string(510, ' ') + ascii + "endsolid far\n", L"cut short");
}

TEST(MeshFileReaders, PlyPropertiesInAnyOrderOtherListsAndShortFacesAreReadPast)
{
    // The coordinates may come in any order; a vertex without one is refused.
    const std::string orders[] = {"y z x", "z x y"};
    for (const std::string& order : orders)
    {
        std::string head = "ply\nformat ascii 1.0\nelement vertex 4\n";
        for (char axis : order)
            if (axis != ' ')
                head += std::string("property float ") + axis + "\n";
        head += "element face 2\nproperty list uchar int vertex_indices\nend_header\n";
        std::string body;
        for (int i = 0; i < 4; ++i)
        {
            const float* corner = i < 3 ? &kFarSquare[0][3 * i] : &kFarSquare[1][6];
            for (char axis : order)
                if (axis != ' ')
                    body += std::to_string(corner[axis - 'x']) + " ";
            body += "\n";
        }
        const stOutcome outcome = Import(Write("order.ply", head + body + "3 0 1 2\n3 0 2 3\n"));
        ASSERT_TRUE(outcome.ok) << order << ": " << Narrow(outcome.error);
        EXPECT_EQ(Points(outcome.mesh), kFarSquareCorners) << order;
    }
    ExpectRefused("no_x.ply",
                  "ply\nformat ascii 1.0\nelement vertex 1\nproperty float y\nproperty float z\n"
                  "property float w\nelement face 0\nproperty list uchar int vertex_indices\nend_header\n1 2 3\n",
                  L"no x, y and z");

    // ASCII: an empty face and a two-corner one before the faces that count,
    // each with a second list (empty or not) read past.
    const std::string lists = kPlyHead +
                              "element face 4\nproperty list uchar int vertex_indices\nproperty list uchar float uv\n"
                              "end_header\n" +
                              kSquareVertices + "0 0\n2 0 1 2 0.5 0.5\n3 0 1 2 0\n3 0 2 3 4 0 0 1 1\n";
    const stOutcome ascii = Import(Write("lists.ply", lists));
    ASSERT_TRUE(ascii.ok) << Narrow(ascii.error);
    EXPECT_EQ(ascii.mesh.FaceCount(), 2);
    EXPECT_EQ(ascii.stats.faces_dropped, 2u);
    EXPECT_DOUBLE_EQ(Area(ascii.mesh), 1.0);

    // Binary: the same with a fixed-size element filling the file to its
    // last byte, and then the same file short of its last face's last byte.
    std::string binary = "ply\nformat binary_little_endian 1.0\nelement vertex 4\nproperty float x\n"
                         "property float y\nproperty float z\nelement face 3\n"
                         "property list uchar int vertex_indices\nproperty list uchar uchar flags\n"
                         "property uchar red\nelement edge 1\nproperty int a\nproperty int b\nend_header\n";
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 3; ++k)
            Append(binary, i < 3 ? kFarSquare[0][3 * i + k] : kFarSquare[1][6 + k]);
    const auto face = [&](std::vector<std::int32_t> corners, std::vector<std::uint8_t> flags) {
        Append(binary, static_cast<std::uint8_t>(corners.size()));
        for (std::int32_t c : corners)
            Append(binary, c);
        Append(binary, static_cast<std::uint8_t>(flags.size()));
        binary.append(flags.begin(), flags.end());
        Append(binary, std::uint8_t{200});
    };
    face({0, 1}, {7, 7});
    face({0, 1, 2}, {});
    face({0, 2, 3}, {9});
    Append(binary, std::int32_t{0});
    Append(binary, std::int32_t{1});
    const stOutcome tight = Import(Write("tight.ply", binary));
    ASSERT_TRUE(tight.ok) << Narrow(tight.error);
    EXPECT_EQ(tight.mesh.FaceCount(), 2);
    EXPECT_EQ(tight.stats.faces_dropped, 1u);
    EXPECT_EQ(Points(tight.mesh), kFarSquareCorners);
    EXPECT_DOUBLE_EQ(Area(tight.mesh), 1.0);
    const std::size_t edges = binary.find("element edge 1\n");
    std::string no_edges = binary.substr(0, binary.size() - 8);
    no_edges.replace(edges, 15, "");
    ExpectRefused("short_red.ply", no_edges.substr(0, no_edges.size() - 1), L"cut short");
}

TEST(MeshFileReaders, ObjCornersOfEveryFormCountFromOneOrBackAndMustNameAVertex)
{
    const std::string square = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
    const stOutcome forms = Import(Write("forms.obj", "# corners\n" + square + "vt 0 0\nvn 0 0 1\ng part\n"
                                                          "f 1/1/1 2//1 3/1\nf -4 -2 -1\nl 1 2\nf 1 2\n"));
    ASSERT_TRUE(forms.ok) << Narrow(forms.error);
    EXPECT_EQ(forms.mesh.FaceCount(), 2);
    EXPECT_EQ(forms.stats.faces_dropped, 1u);
    EXPECT_DOUBLE_EQ(Area(forms.mesh), 1.0);

    EXPECT_EQ(forms.stats.corners_read, 8u) << "the two corners of the line face count too";

    // Texture and normal numbers of any digits are read past, up to the
    // file's last byte; the vertex keeps all three coordinates.
    const stOutcome far = Import(Write("far.obj", "v 100 200 40\nv 101 200 40\nv 101 201 40\nv 100 201 40\n"
                                                    "f 1/9/10 2/19/10 3//10\nf 1/90 3/109 4/0"));
    ASSERT_TRUE(far.ok) << Narrow(far.error);
    EXPECT_EQ(Points(far.mesh), kFarSquareCorners);
    EXPECT_DOUBLE_EQ(Area(far.mesh), 1.0);

    // A face may name vertices that follow it.
    EXPECT_TRUE(Import(Write("ahead.obj", "f 1 2 3\n" + square)).ok);

    ExpectRefused("zero.obj", square + "f 0 1 2\n", L"names no vertex");
    ExpectRefused("back.obj", square + "f -5 1 2\n", L"names no vertex");
    ExpectRefused("far.obj", square + "f 1 2 9\n", L"names vertex 9, but it holds 4 vertices (numbered 1 to 4)");
    ExpectRefused("points.obj", square, L"holds 4 points but no faces");
    ExpectRefused("word.obj", square + "f 1 2 x\n", L"\"x\"");
    ExpectRefused("word_texture.obj", square + "f 1/a/1 2 3\n", L"\"1/a/1\"");
    ExpectRefused("short_v.obj", "v 1 2\n", L"three numbers");
    ExpectRefused("nothing.obj", "# nothing\n", L"no triangle");
}

TEST(MeshFileReaders, OnlyRegularFilesAreReadAndUnknownContentIsNamedSo)
{
    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(1, 2, 3));
    std::wstring error;
    const fs::path fifo = Temp("pipe.stl");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(dezaz::ImportMeshFile(fifo.string(), mesh, error)); // returns, does not wait for a writer
    EXPECT_NE(error.find(L"regular"), std::wstring::npos);
    fs::remove(fifo);
    EXPECT_FALSE(dezaz::ImportMeshFile("/dev/zero", mesh, error));
    EXPECT_NE(error.find(L"regular"), std::wstring::npos);
    EXPECT_FALSE(dezaz::ImportMeshFile(fs::temp_directory_path().string(), mesh, error));
    EXPECT_EQ(mesh.VertexCount(), 1);
    ExpectRefused("notes.txt", "just some words\n", L"STL, OBJ or PLY");
    // Named otherwise, a PLY file is still known by its first line.
    EXPECT_TRUE(Import(Write("square.mesh", AsciiPly(1, "3 0 1 2\n"))).ok);
    ExpectRefused("one.txt", "x", L"STL, OBJ or PLY");
    EXPECT_FALSE(dezaz::ImportMeshFile(Temp("missing.stl").string(), mesh, error));
    EXPECT_NE(error.find(L"cannot be opened"), std::wstring::npos) << Narrow(error);
}

TEST(MeshFileReaders, AFileThatShrinksOrCannotBeReadFailsAtOnce)
{
    std::wstring error;
    char bytes[100] = {};
    {
        dezaz::cMeshFileInput never_opened;
        EXPECT_FALSE(never_opened.ReadAt(0, bytes, sizeof bytes, error));
        EXPECT_NE(error.find(L"cannot be read"), std::wstring::npos) << Narrow(error);
    }
    const fs::path path = Write("shrinks.stl", std::string(sizeof bytes, 'a'));
    dezaz::cMeshFileInput input;
    ASSERT_TRUE(input.Open(path.string(), error)) << Narrow(error);
    EXPECT_EQ(input.Size(), sizeof bytes);
    fs::resize_file(path, 10);
    // An end of file is no interrupted read, whatever errno held before.
    errno = EAGAIN;
    EXPECT_FALSE(input.ReadAt(0, bytes, sizeof bytes, error));
    EXPECT_NE(error.find(L"shorter"), std::wstring::npos) << Narrow(error);
    EXPECT_EQ(std::string(bytes, 10), std::string(10, 'a'));
    fs::remove(path);
}

TEST(PolygonTriangulation, SplitsConvexConcaveAndTiltedFacesIntoTrianglesThatCoverThemOnce)
{
    // An L-shaped hexagon (area 3) and a concave quad (area 1.5), both
    // tilted out of every coordinate plane and placed far from the origin.
    const double l_shape[6][2] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    const double dart[4][2] = {{0, 0}, {2, 0}, {1, 0.5}, {0, 2}};
    const auto place = [](double u, double v) {
        const ON_3dVector e1 = ON_3dVector(1, 2, 2) / 3, e2 = ON_3dVector(2, 1, -2) / 3;
        const ON_3dPoint p = ON_3dPoint(500, -300, 80) + u * e1 + v * e2;
        return ON_3fPoint(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
    };
    for (int shape = 0; shape < 2; ++shape)
    {
        const std::size_t n = shape == 0 ? 6 : 4;
        std::vector<float> positions;
        std::vector<std::uint32_t> corners;
        for (std::size_t i = 0; i < n; ++i)
        {
            const ON_3fPoint p = shape == 0 ? place(l_shape[i][0], l_shape[i][1]) : place(dart[i][0], dart[i][1]);
            positions.insert(positions.end(), {p.x, p.y, p.z});
            corners.push_back(static_cast<std::uint32_t>(i));
        }
        std::vector<std::uint32_t> triangles;
        ASSERT_TRUE(dezaz::TriangulateFace(positions.data(), corners.data(), n, triangles));
        ASSERT_EQ(triangles.size(), 3 * (n - 2));
        const ON_3dVector normal = ON_CrossProduct(ON_3dVector(1, 2, 2), ON_3dVector(2, 1, -2)) / 9;
        double area = 0;
        for (std::size_t t = 0; t < triangles.size(); t += 3)
        {
            const auto at = [&](std::uint32_t i) {
                return ON_3dPoint(positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]);
            };
            const ON_3dVector cross = ON_CrossProduct(at(triangles[t + 1]) - at(triangles[t]),
                                                      at(triangles[t + 2]) - at(triangles[t]));
            // Every piece turns the way the face does, so none overlaps another.
            EXPECT_GT(ON_DotProduct(cross, normal), 0) << shape << " " << t;
            area += ON_DotProduct(cross, normal) / 2;
        }
        EXPECT_NEAR(area, shape == 0 ? 3.0 : 1.5, 1e-3);
    }
    // A concave face too large to split at a bounded cost is refused.
    std::vector<float> star;
    std::vector<std::uint32_t> corners;
    for (std::uint32_t i = 0; i < 400; ++i)
    {
        const double r = i % 2 ? 1.0 : 2.0, a = i * 2 * 3.14159265358979 / 400;
        star.insert(star.end(), {static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)), 0.0f});
        corners.push_back(i);
    }
    std::vector<std::uint32_t> triangles;
    EXPECT_FALSE(dezaz::TriangulateFace(star.data(), corners.data(), corners.size(), triangles));
    EXPECT_TRUE(triangles.empty());
}
