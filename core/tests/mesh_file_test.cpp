#include "core/mesh.h"
#include "core/mesh_file.h"
#include "platform/win32/codepage.h"
#include "mesh_builders.h"
#include "recording_progress.h"
#include "support/memory_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>
#include <unistd.h>
#include <memory>

namespace
{

// Little-endian byte builders for hand-made files.
struct Bytes
{
    std::vector<std::uint8_t> data;
    Bytes& U64(std::uint64_t v)
    {
        for (int i = 0; i < 8; ++i)
            data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Bytes& F32(float f)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
        return *this;
    }
    Bytes& U8(std::uint8_t b)
    {
        data.push_back(b);
        return *this;
    }
    Bytes& Header(std::uint16_t major = 1, std::uint16_t minor = 0, std::uint8_t colours = 0,
                  std::uint64_t magic = 0x7174E32E)
    {
        U64(magic);
        U8(major & 0xFF).U8(major >> 8).U8(minor & 0xFF).U8(minor >> 8).U8(colours);
        data.insert(data.end(), 131, 0);
        return *this;
    }
};

// Two triangles over four corners of a unit square.
Bytes SquareFile(std::uint64_t vertexCount = 4, std::uint64_t triangleCount = 2)
{
    Bytes b;
    b.Header().U64(vertexCount);
    const float corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (const auto& c : corners)
        b.F32(c[0]).F32(c[1]).F32(c[2]);
    b.U64(triangleCount).U64(0).U64(1).U64(2).U64(0).U64(2).U64(3);
    return b;
}

bool ReadBytes(cMesh& mesh, const std::vector<std::uint8_t>& bytes, IProcProgress* progress = nullptr)
{
    std::unique_ptr<cBINFile> stream(NewStreamOver(bytes));
    return ReadMesh(mesh, stream.get(), progress);
}

std::vector<std::uint8_t> WriteAll(cMesh& mesh)
{
    std::unique_ptr<cBINFile> stream(NewStreamOver({}));
    EXPECT_TRUE(WriteMeshHeader(stream.get()));
    EXPECT_TRUE(WriteMeshVertices(mesh, stream.get(), nullptr));
    EXPECT_TRUE(WriteMeshTriangles(mesh, stream.get(), nullptr));
    return StreamBytes(*stream);
}

TEST(MeshFile, WrittenBytesMatchTheHandBuiltLayout)
{
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}});
    std::vector<std::uint8_t> written = WriteAll(mesh);
    EXPECT_EQ(written, SquareFile().data);
    EXPECT_EQ(written.size(), 144u + 8 + 4 * 12 + 8 + 2 * 24);
}

TEST(MeshFile, RoundTripIsByteForByteFromFewToManyTriangles)
{
    for (std::uint32_t side : {2u, 3u, 80u})
    {
        cMesh mesh;
        BuildGrid(mesh, side, side);
        std::vector<std::uint8_t> first = WriteAll(mesh);
        cMesh back;
        ASSERT_TRUE(ReadBytes(back, first)) << side;
        EXPECT_EQ(back.GetVertexCount(), mesh.GetVertexCount());
        EXPECT_EQ(back.GetTriangleCount(), mesh.GetTriangleCount());
        EXPECT_EQ(WriteAll(back), first) << side;
        EXPECT_TRUE(back.IsBoxValid()); // the reader ran the mesh's update
    }
}

TEST(MeshFile, ColourFlagMeansFifteenBytesPerVertex)
{
    Bytes b;
    b.Header(1, 0, 1).U64(3);
    for (int i = 0; i < 3; ++i)
        b.F32(static_cast<float>(i)).F32(static_cast<float>(i * i)).F32(0).U8(10 + i).U8(20 + i).U8(30 + i);
    b.U64(1).U64(0).U64(1).U64(2);
    cMesh mesh;
    ASSERT_TRUE(ReadBytes(mesh, b.data));
    ASSERT_EQ(mesh.GetVertexCount(), 3u);
    EXPECT_EQ(mesh.GetVertex(2)->y, 4.0f);
    // The colours land in the vertices' colour slot; the mesh's update then
    // reuses that slot, so they are seen where the update does not run: a
    // cancel inside the triangle block.
    RecordingProgress cancel;
    cancel.cancelAnswer = 1;
    cancel.cancelAfter = 2;
    cMesh partial;
    EXPECT_FALSE(ReadBytes(partial, b.data, &cancel));
    ASSERT_EQ(partial.GetVertexCount(), 3u);
    EXPECT_EQ(partial.GetVertex(2)->extra[0], 12);
    EXPECT_EQ(partial.GetVertex(2)->extra[2], 32);
    // Written back it has no colours: 12 bytes per vertex, flag 0.
    std::vector<std::uint8_t> written = WriteAll(mesh);
    EXPECT_EQ(written[12], 0);
    EXPECT_EQ(written.size(), 144u + 8 + 3 * 12 + 8 + 24);
}

TEST(MeshFile, ForeignHeadersAreRefusedBeforeTheMeshIsTouched)
{
    cMesh mesh;
    BuildTetrahedron(mesh);
    for (Bytes header : {Bytes().Header(1, 1), Bytes().Header(2, 0), Bytes().Header(1, 0, 0, 0x7174E32F)})
    {
        std::vector<std::uint8_t> bytes = header.data;
        std::vector<std::uint8_t> rest = SquareFile().data;
        bytes.insert(bytes.end(), rest.begin() + 144, rest.end());
        EXPECT_FALSE(ReadBytes(mesh, bytes));
        EXPECT_EQ(mesh.GetVertexCount(), 4u);
        EXPECT_EQ(mesh.GetTriangleCount(), 4u);
    }
}

TEST(MeshFile, BadCountsAndIndicesLeaveAnEmptyMesh)
{
    std::vector<Bytes> bad;
    bad.push_back(SquareFile(0));                                 // no vertices
    bad.push_back(SquareFile(4, 0));                              // no triangles
    bad.push_back(SquareFile(5));                                 // more vertices than bytes
    bad.push_back(SquareFile(4, 3));                              // more triangles than bytes
    bad.push_back(SquareFile(0x100000004ULL));                    // a count beyond 32 bits
    Bytes outOfRange = SquareFile();
    outOfRange.data[outOfRange.data.size() - 8] = 4;              // index 4 of 4 vertices
    bad.push_back(outOfRange);
    Bytes wide = SquareFile();
    wide.data[wide.data.size() - 4] = 1;                          // 2^32 + 3: low bits would look fine
    bad.push_back(wide);
    for (std::size_t k = 0; k < bad.size(); ++k)
    {
        cMesh mesh;
        BuildTetrahedron(mesh);
        EXPECT_FALSE(ReadBytes(mesh, bad[k].data)) << k;
        EXPECT_EQ(mesh.GetVertexCount(), 0u) << k;
        EXPECT_EQ(mesh.GetTriangleCount(), 0u) << k;
    }
}

TEST(MeshFile, TruncationAtEveryOffsetFailsCleanly)
{
    std::vector<std::uint8_t> whole = SquareFile().data;
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
    {
        cMesh mesh;
        BuildTetrahedron(mesh);
        std::vector<std::uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(ReadBytes(mesh, part)) << cut;
        // A short header leaves the mesh as it was; anything later empties it.
        EXPECT_EQ(mesh.GetVertexCount(), cut < 144 ? 4u : 0u) << cut;
        EXPECT_EQ(mesh.GetTriangleCount(), cut < 144 ? 4u : 0u) << cut;
    }
}

TEST(MeshFile, TrianglesWithARepeatedCornerAreSkipped)
{
    Bytes b = SquareFile();
    b.data[b.data.size() - 16] = 0; // second triangle (0, 0, 3)
    cMesh mesh;
    ASSERT_TRUE(ReadBytes(mesh, b.data));
    EXPECT_EQ(mesh.GetTriangleCount(), 1u);
}

TEST(MeshFile, EmptyMeshesAndMeshesWithoutTrianglesCannotBeWritten)
{
    cMesh empty;
    std::unique_ptr<cBINFile> stream(NewStreamOver({}));
    EXPECT_FALSE(WriteMeshVertices(empty, stream.get(), nullptr));
    EXPECT_TRUE(StreamBytes(*stream).empty());

    cMesh points;
    BuildMesh(points, {{0, 0, 0}, {1, 2, 3}}, {});
    EXPECT_TRUE(WriteMeshVertices(points, stream.get(), nullptr));
    std::size_t size = StreamBytes(*stream).size();
    EXPECT_FALSE(WriteMeshTriangles(points, stream.get(), nullptr));
    EXPECT_EQ(StreamBytes(*stream).size(), size);
}

TEST(MeshFile, ProgressReportsEvery5000RecordsAndOnlyAnswer1Cancels)
{
    cMesh mesh;
    BuildGrid(mesh, 101, 60); // 6060 vertices, 11800 triangles
    std::vector<std::uint8_t> bytes = WriteAll(mesh);

    RecordingProgress progress;
    progress.cancelAnswer = 2;
    cMesh back;
    ASSERT_TRUE(ReadBytes(back, bytes, &progress));
    EXPECT_EQ(progress.rangeEnd, 3.0f * 6060);
    // Vertices 0 and 5000, then triangles 0, 5000 and 10000 mapped onto the range.
    ASSERT_EQ(progress.positions.size(), 5u);
    EXPECT_EQ(progress.positions[1], 5000.0f);
    EXPECT_EQ(progress.positions[2], 0.0f);
    EXPECT_FLOAT_EQ(progress.positions[3], 5000.0f * 18180.0f / 11800.0f);

    RecordingProgress cancelVertices;
    cancelVertices.cancelAnswer = 1;
    cancelVertices.cancelAfter = 2;
    EXPECT_FALSE(ReadBytes(back, bytes, &cancelVertices));
    EXPECT_EQ(back.GetVertexCount(), 0u);

    RecordingProgress cancelTriangles;
    cancelTriangles.cancelAnswer = 1;
    cancelTriangles.cancelAfter = 4; // the second report of the triangle block
    EXPECT_FALSE(ReadBytes(back, bytes, &cancelTriangles));
    EXPECT_EQ(back.GetVertexCount(), 6060u);
    EXPECT_EQ(back.GetTriangleCount(), 5001u);
}

TEST(MeshFile, LoadFromAPathOrLeaveTheMeshAlone)
{
    cMesh mesh;
    BuildTetrahedron(mesh);
    EXPECT_FALSE(LoadMeshFile(mesh, L"/nonexistent/dir/mesh.bin", nullptr));
    EXPECT_EQ(mesh.GetVertexCount(), 4u);

    std::filesystem::path path = std::filesystem::temp_directory_path() / "m\u00E9sh-file-test.bin";
    {
        std::ofstream out(path, std::ios::binary);
        std::vector<std::uint8_t> bytes = SquareFile().data;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    EXPECT_TRUE(LoadMeshFile(mesh, win32::Utf8ToWide(path.string()).c_str(), nullptr));
    EXPECT_EQ(mesh.GetVertexCount(), 4u);
    EXPECT_EQ(mesh.GetTriangleCount(), 2u);
    std::filesystem::remove(path);
}

// Every triangle skipped leaves a mesh that has nothing to fit and cannot be
// written back: the read fails instead of succeeding with zero triangles.
TEST(MeshFile, AFileWithoutOneValidTriangleIsAFailedRead)
{
    Bytes b;
    b.Header().U64(3);
    for (int i = 0; i < 3; ++i)
        b.F32(static_cast<float>(i)).F32(1).F32(2);
    b.U64(2).U64(0).U64(0).U64(1).U64(2).U64(1).U64(2);
    cMesh mesh;
    BuildTetrahedron(mesh);
    EXPECT_FALSE(ReadBytes(mesh, b.data));
    EXPECT_EQ(mesh.GetVertexCount(), 0u);
    EXPECT_EQ(mesh.GetTriangleCount(), 0u);
}

// A NaN or infinite coordinate would make the box, the normals and every
// search tree meaningless; the largest finite float stays a legal value.
TEST(MeshFile, NonFiniteCoordinatesAreRefused)
{
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (float value : bad)
        for (int coordinate = 0; coordinate < 3; ++coordinate)
        {
            Bytes b = SquareFile();
            Bytes patch;
            patch.F32(value);
            std::copy(patch.data.begin(), patch.data.end(), b.data.begin() + 152 + 2 * 12 + 4 * coordinate);
            cMesh mesh;
            BuildTetrahedron(mesh);
            EXPECT_FALSE(ReadBytes(mesh, b.data)) << value << " at " << coordinate;
            EXPECT_EQ(mesh.GetVertexCount(), 0u);
        }
    Bytes b = SquareFile();
    Bytes patch;
    patch.F32(std::numeric_limits<float>::max());
    std::copy(patch.data.begin(), patch.data.end(), b.data.begin() + 152 + 12 + 8);
    cMesh mesh;
    ASSERT_TRUE(ReadBytes(mesh, b.data));
    EXPECT_EQ(mesh.GetVertex(1)->z, std::numeric_limits<float>::max());

    // Nor is such a mesh written: it could never be read back.
    mesh.GetVertex(2)->y = std::numeric_limits<float>::infinity();
    std::unique_ptr<cBINFile> stream(NewStreamOver({}));
    EXPECT_FALSE(WriteMeshVertices(mesh, stream.get(), nullptr));
    EXPECT_TRUE(StreamBytes(*stream).empty());
}

// A stream that cannot tell its size (a pipe, a document's stream): serves
// its bytes in order and remembers the largest single read asked of it.
class SequentialStream : public IBinStream
{
public:
    explicit SequentialStream(std::vector<std::uint8_t> bytes, std::uint64_t endless = 0)
        : m_bytes(std::move(bytes)), m_endless(endless)
    {
    }
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count) override
    {
        largestRead = std::max(largestRead, size);
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::uint32_t n = 0;
        for (; n < size; ++n, ++m_at)
        {
            if (m_at < m_bytes.size())
                out[n] = m_bytes[m_at];
            else if (m_at < m_bytes.size() + m_endless)
                out[n] = 0; // zero vertices: valid data that keeps arriving
            else
                break;
        }
        served += n;
        if (count != nullptr)
            *count = n;
        return n == size;
    }
    bool Write(const void*, std::uint32_t, std::uint32_t*) override { return false; }
    bool Rewind() override { return false; }
    std::int64_t Tell() override { return -1; }
    bool Seek(std::int64_t) override { return false; }
    bool IsEof() override { return m_at >= m_bytes.size() + m_endless; }

    std::uint32_t largestRead = 0;
    std::uint64_t served = 0;

private:
    std::vector<std::uint8_t> m_bytes;
    std::uint64_t m_at = 0;
    std::uint64_t m_endless;
};

TEST(MeshFile, StreamsThatCannotSeekAreReadInBoundedSteps)
{
    // A whole file reads as from a seekable file.
    SequentialStream whole(SquareFile().data);
    cMesh mesh;
    ASSERT_TRUE(ReadMesh(mesh, &whole, nullptr));
    EXPECT_EQ(mesh.GetTriangleCount(), 2u);

    // Counts beyond what the mesh can index are refused before any record
    // is read.
    for (std::uint64_t count : {kMeshFileMaxRecords + 1, std::uint64_t{0xFFFFFFFF}, std::uint64_t{1} << 40})
    {
        SequentialStream lying(Bytes().Header().U64(count).data, 1u << 20);
        BuildTetrahedron(mesh);
        EXPECT_FALSE(ReadMesh(mesh, &lying, nullptr)) << count;
        EXPECT_EQ(lying.served, 152u) << count;
        EXPECT_EQ(mesh.GetVertexCount(), 0u);
    }

    // A legal but lying count: the data stops long before. Reads are asked
    // in steps, never for the whole announced block at once, and the read
    // fails cleanly where the data ends.
    SequentialStream shortBody(Bytes().Header().U64(kMeshFileMaxRecords).data, 100000 * 12);
    EXPECT_FALSE(ReadMesh(mesh, &shortBody, nullptr));
    EXPECT_LE(shortBody.largestRead, 1u << 20);
    EXPECT_EQ(mesh.GetVertexCount(), 0u);
}

TEST(MeshFile, APipeDeliversAWholeFile)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::vector<std::uint8_t> bytes = SquareFile().data;
    std::thread writer([&] {
        for (std::size_t at = 0; at < bytes.size(); at += 7) // in dribbles
            if (::write(ends[1], bytes.data() + at, std::min<std::size_t>(7, bytes.size() - at)) < 0)
                break;
        ::close(ends[1]);
    });
    cBINFile stream(::fdopen(ends[0], "rb"));
    cMesh mesh;
    EXPECT_TRUE(ReadMesh(mesh, &stream, nullptr));
    writer.join();
    EXPECT_EQ(mesh.GetVertexCount(), 4u);
    EXPECT_EQ(mesh.GetTriangleCount(), 2u);
}

} // namespace
