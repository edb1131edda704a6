#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_event_watcher.h"
#include "platform/host/document_format.h"
#include "platform/host/document_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace
{

ON_Mesh TwoTriangles()
{
    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(0, 0, 0));
    mesh.SetVertex(1, ON_3dPoint(1, 0, 0));
    mesh.SetVertex(2, ON_3dPoint(1, 1, 0));
    mesh.SetVertex(3, ON_3dPoint(0, 1, 0.5));
    mesh.SetTriangle(0, 0, 1, 2);
    mesh.SetQuad(1, 0, 2, 3, 3);
    mesh.SetQuad(1, 0, 1, 2, 3);
    return mesh;
}

// A document with two layers, a mesh with normals and colours on the second
// layer, a hidden point, and the settings changed from their defaults.
void Fill(CDezazDoc& doc)
{
    ON_Layer layer;
    layer.SetName(L"VTL Mesh");
    layer.SetColor(ON_Color(191, 63, 63));
    const int index = doc.LayerTable().AddLayer(layer);
    ON_Mesh mesh = TwoTriangles();
    mesh.ComputeVertexNormals();
    for (int i = 0; i < mesh.VertexCount(); ++i)
        mesh.m_C.Append(ON_Color(i * 40, 255 - i, 7));
    ON_3dmObjectAttributes at = doc.GetDefaultObjectAttributes();
    at.m_layer_index = index;
    at.m_name = L"scan \u00e9\U0001F600"; // survives UTF-16 with a surrogate pair
    at.SetColorSource(ON_3dmObjectAttributes::color_source::color_from_object);
    at.m_color = ON_Color(1, 2, 3);
    ASSERT_NE(doc.AddMeshObject(mesh, &at), nullptr);
    CDezazPointObject* point = doc.AddPointObject(ON_3dPoint(1e6, -2.5, 3));
    ASSERT_NE(point, nullptr);
    doc.HideObject(CDezazObjRef(point));
    doc.SetAbsoluteTolerance(0.01);
    doc.SetUnitSystem(DezazUnitSystem::meters);
}

std::vector<std::uint8_t> Encode(const CDezazDoc& doc, const std::vector<DezazPlugInChunk>& chunks = {})
{
    std::vector<std::uint8_t> bytes;
    std::wstring error;
    EXPECT_TRUE(dezaz::EncodeDocument(doc, chunks, bytes, error)) << error;
    return bytes;
}

void FixChecksum(std::vector<std::uint8_t>& bytes)
{
    const std::size_t body = bytes.size() - 4;
    const std::uint32_t crc = dezaz::Crc32(bytes.data(), body);
    for (int i = 0; i < 4; ++i)
        bytes[body + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
}

std::filesystem::path TempPath(const char* name)
{
    return std::filesystem::temp_directory_path() / (std::string("vtl_host_") + name);
}

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class OpenRecorder : public CDezazEventWatcher
{
public:
    int opens = 0;
    int saves = 0;
    int news = 0;
    bool last_merge = false;
    void OnBeginOpenDocument(CDezazDoc&, const wchar_t*, BOOL merge, BOOL) override
    {
        ++opens;
        last_merge = merge != FALSE;
    }
    void OnBeginSaveDocument(CDezazDoc&, const wchar_t*, BOOL) override { ++saves; }
    void OnNewDocument(CDezazDoc&) override { ++news; }
};

TEST(DocumentFile, TheChecksumIsTheStandardCrc32AtEveryLengthAndAlignment)
{
    const std::string check = "123456789";
    EXPECT_EQ(dezaz::Crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    // A byte at a time, as the standard defines it.
    const auto bytewise = [](const std::uint8_t* bytes, std::size_t size) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (std::size_t i = 0; i < size; ++i)
        {
            c ^= bytes[i];
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        return c ^ 0xFFFFFFFFu;
    };
    std::vector<std::uint8_t> bytes(40);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (std::size_t start = 0; start < 8; ++start)
        for (std::size_t size = 0; start + size <= bytes.size(); ++size)
            ASSERT_EQ(dezaz::Crc32(bytes.data() + start, size), bytewise(bytes.data() + start, size))
                << start << " " << size;
    // Long runs, off every alignment, and a checksum continued over no
    // bytes (no buffer at all) that stays as it was.
    std::vector<std::uint8_t> longer(300001);
    for (std::size_t i = 0; i < longer.size(); ++i)
        longer[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 11);
    for (const std::size_t size : {std::size_t{1000}, std::size_t{65537}, std::size_t{299997}})
        for (std::size_t start = 0; start < 4; ++start)
            ASSERT_EQ(dezaz::Crc32(longer.data() + start, size), bytewise(longer.data() + start, size)) << size;
    EXPECT_EQ(dezaz::Crc32Continue(0xCBF43926u, nullptr, 0), 0xCBF43926u);
    // Taken in pieces side by side and joined, however the bytes split.
    for (const unsigned pieces : {2u, 3u, 7u, 40u, 100u})
        for (std::size_t start = 0; start < 4; ++start)
            ASSERT_EQ(dezaz::Crc32InPieces(bytes.data() + start, bytes.size() - start, pieces),
                      bytewise(bytes.data() + start, bytes.size() - start))
                << pieces << " " << start;
    // Joined from the checksums of two parts, at every split.
    for (std::size_t split = 0; split <= bytes.size(); ++split)
        ASSERT_EQ(dezaz::Crc32Combine(dezaz::Crc32(bytes.data(), split), dezaz::Crc32(bytes.data() + split, bytes.size() - split),
                                      bytes.size() - split),
                  bytewise(bytes.data(), bytes.size()))
            << split;
}

TEST(DocumentFile, TheChecksumTakenManyBytesAStepIsTheStandardOneAtEveryLengthStartAndStartingValue)
{
    // Across 64 bytes a step, 16 a step and the bytes left, from every
    // start within a block, fresh and continued from another checksum.
    const auto bytewise = [](std::uint32_t crc, const std::uint8_t* bytes, std::size_t size) {
        std::uint32_t c = ~crc;
        for (std::size_t i = 0; i < size; ++i)
        {
            c ^= bytes[i];
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        return ~c;
    };
    std::vector<std::uint8_t> bytes(16 + 300);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 7);
    for (std::size_t start = 0; start < 16; ++start)
        for (std::size_t size = 0; start + size <= bytes.size(); ++size)
            for (const std::uint32_t from : {0u, 0xCBF43926u, 0xFFFFFFFFu})
                ASSERT_EQ(dezaz::Crc32Continue(from, bytes.data() + start, size),
                          bytewise(from, bytes.data() + start, size))
                    << start << " " << size << " " << from;
    // All ones: every bit of the lanes set.
    const std::vector<std::uint8_t> ones(1000, 0xFF);
    EXPECT_EQ(dezaz::Crc32(ones.data(), ones.size()), bytewise(0, ones.data(), ones.size()));
}

TEST(DocumentFile, RoundTripGivesTheSameBytesAndTheSameContents)
{
    CDezazDoc doc;
    Fill(doc);
    const DezazPlugInChunk chunk{ON_UuidFromString("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"), {1, 2, 3, 0, 255}};
    const std::vector<std::uint8_t> first = Encode(doc, {chunk});

    CDezazDoc back;
    std::vector<DezazPlugInChunk> chunks;
    std::wstring error;
    ASSERT_TRUE(dezaz::DecodeDocument(first.data(), first.size(), back, chunks, error)) << error;
    EXPECT_EQ(Encode(back, chunks), first);
    // The mesh record as documents hold it: its vertices as three floats and
    // its faces as four ints each, lowest byte first.
    const auto littleEndian = [](std::initializer_list<std::uint32_t> words)
    {
        std::vector<std::uint8_t> out;
        for (const std::uint32_t w : words)
            for (int i = 0; i < 4; ++i)
                out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
        return out;
    };
    const auto holds = [&first](const std::vector<std::uint8_t>& run)
    { return std::search(first.begin(), first.end(), run.begin(), run.end()) != first.end(); };
    EXPECT_TRUE(holds(littleEndian(
        {4,           2, 3, 0, 0, 0, 0x3F800000u, 0, 0, 0x3F800000u, 0x3F800000u, 0, 0, 0x3F800000u,
         0x3F000000u, 0, 1, 2, 2, 0, 1,           2, 3})));

    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].bytes, chunk.bytes);
    EXPECT_EQ(back.UnitSystem(), DezazUnitSystem::meters);
    EXPECT_DOUBLE_EQ(back.AbsoluteTolerance(), 0.01);
    ASSERT_EQ(back.LayerTable().LayerCount(), 2);
    EXPECT_EQ(back.LayerTable()[1], doc.LayerTable()[1]);
    const auto objects = back.Objects();
    const auto originals = doc.Objects();
    ASSERT_EQ(objects.size(), 2u);
    for (std::size_t i = 0; i < objects.size(); ++i)
    {
        EXPECT_EQ(objects[i]->Attributes(), originals[i]->Attributes());
        EXPECT_EQ(objects[i]->ObjectType(), originals[i]->ObjectType());
    }
    const ON_Mesh* mesh = static_cast<const CDezazMeshObject*>(objects[0])->Mesh();
    const ON_Mesh* original = static_cast<const CDezazMeshObject*>(originals[0])->Mesh();
    ASSERT_EQ(mesh->VertexCount(), original->VertexCount());
    EXPECT_TRUE(mesh->HasVertexNormals());
    EXPECT_TRUE(mesh->HasVertexColors());
    EXPECT_EQ(mesh->m_C[3], original->m_C[3]);
    EXPECT_EQ(mesh->m_F[1].vi[3], 3);
    EXPECT_TRUE(objects[1]->IsHidden());
}

TEST(DocumentFile, EveryTruncationAndEveryFlippedByteIsRefused)
{
    CDezazDoc doc;
    Fill(doc);
    const std::vector<std::uint8_t> bytes = Encode(doc);
    for (std::size_t size = 0; size < bytes.size(); ++size)
    {
        CDezazDoc into;
        std::vector<DezazPlugInChunk> chunks;
        std::wstring error;
        EXPECT_FALSE(dezaz::DecodeDocument(bytes.data(), size, into, chunks, error)) << size;
        EXPECT_FALSE(error.empty());
    }
    for (std::size_t at = 0; at < bytes.size(); at += 7)
    {
        std::vector<std::uint8_t> damaged = bytes;
        damaged[at] ^= 0x41;
        CDezazDoc into;
        std::vector<DezazPlugInChunk> chunks;
        std::wstring error;
        EXPECT_FALSE(dezaz::DecodeDocument(damaged.data(), damaged.size(), into, chunks, error)) << at;
    }
}

TEST(DocumentFile, DamageBehindAValidChecksumIsStillRefused)
{
    CDezazDoc doc;
    doc.AddMeshObject(TwoTriangles());
    std::vector<std::uint8_t> bytes = Encode(doc);
    // The last face's fourth index is the last int before the end section
    // (4 + 8 bytes) and the checksum: point it past the vertices.
    const std::size_t at = bytes.size() - 4 - 12 - 4;
    bytes[at] = 9;
    FixChecksum(bytes);
    CDezazDoc into;
    std::vector<DezazPlugInChunk> chunks;
    std::wstring error;
    EXPECT_FALSE(dezaz::DecodeDocument(bytes.data(), bytes.size(), into, chunks, error));
    EXPECT_NE(error.find(L"vertex that does not exist"), std::wstring::npos) << error;

    // A newer format is named as such, not as damage.
    bytes = Encode(doc);
    bytes[8] = 2;
    FixChecksum(bytes);
    EXPECT_FALSE(dezaz::DecodeDocument(bytes.data(), bytes.size(), into, chunks, error));
    EXPECT_NE(error.find(L"newer version"), std::wstring::npos) << error;
}

TEST(DocumentFile, AFailedOpenLeavesTheOpenDocumentAndTellsNoWatcher)
{
    CDezazDoc doc;
    doc.AddMeshObject(TwoTriangles());
    doc.SetFileName(L"open.dzz");
    OpenRecorder watcher;
    watcher.Register();
    watcher.Enable(TRUE);

    const auto foreign = TempPath("foreign.stl");
    std::ofstream(foreign, std::ios::binary) << "solid cube\nendsolid\n";
    CDezazDoc other;
    Fill(other);
    std::vector<std::uint8_t> truncated = Encode(other);
    truncated.resize(truncated.size() / 2);
    const auto cut = TempPath("cut.dzz");
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(truncated.data()),
                                                 static_cast<std::streamsize>(truncated.size()));

    for (const auto& path : {foreign, cut, TempPath("missing.dzz")})
    {
        std::wstring error;
        EXPECT_FALSE(dezaz::OpenDocument(doc, path.wstring(), false, error));
        EXPECT_NE(error.find(L"Cannot open"), std::wstring::npos) << error;
        EXPECT_EQ(doc.ObjectCount(), 1);
        EXPECT_EQ(doc.FileName(), L"open.dzz");
    }
    EXPECT_EQ(watcher.opens, 0);
    std::filesystem::remove(foreign);
    std::filesystem::remove(cut);
}

TEST(DocumentFile, AMeshOfMegabytesIsSavedAsEncodedAndReadBackWhole)
{
    // A record of 12 MB: a piece of its own, its arrays through many fills
    // of the writer's buffer, the faces' array (4.8 MB) big enough to have
    // its pages made side by side when it is read.
    CDezazDoc doc;
    Fill(doc);
    ON_Mesh big;
    const int side = 550;
    for (int i = 0; i < side * side; ++i)
        big.SetVertex(i, ON_3dPoint(1000.5 + i % side, -3.25 * (i / side), 0.001 * i));
    for (int i = 0; i + side + 1 < side * side; ++i)
        big.SetQuad(i, i, i + 1, i + side + 1, i % 3 == 0 ? i + side + 1 : i + side);
    big.ComputeVertexNormals();
    ASSERT_NE(doc.AddMeshObject(big), nullptr);
    const std::vector<std::uint8_t> bytes = Encode(doc);
    ASSERT_GT(bytes.size(), std::size_t{3} << 19);
    const auto path = TempPath("big_mesh.dzz");
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), CDezazFileWriteOptions(), error)) << error;
    EXPECT_EQ(FileBytes(path), bytes);

    CDezazDoc back;
    std::vector<DezazPlugInChunk> chunks;
    ASSERT_TRUE(dezaz::DecodeDocument(bytes.data(), bytes.size(), back, chunks, error)) << error;
    EXPECT_EQ(Encode(back), bytes);
    const auto* read = static_cast<const CDezazMeshObject*>(back.Objects().back())->Mesh();
    ASSERT_EQ(read->VertexCount(), big.VertexCount());
    ASSERT_EQ(read->FaceCount(), big.FaceCount());
    for (int i = 0; i < big.VertexCount(); ++i)
        ASSERT_EQ(std::memcmp(&read->m_V[i], &big.m_V[i], sizeof(ON_3fPoint)), 0) << i;
    for (int i = 0; i < big.FaceCount(); ++i)
        ASSERT_EQ(std::memcmp(read->m_F[i].vi, big.m_F[i].vi, sizeof big.m_F[i].vi), 0) << i;
    std::filesystem::remove(path);
}

TEST(DocumentFile, ASavedDocumentHoldsTheseBytesExactly)
{
    // Small objects before and after a mesh record of megabytes, and data
    // of a plug-in that is not loaded, every id fixed: the file's length and
    // checksum pin every byte of it.
    CDezazDoc doc;
    std::vector<ON_Layer> layers(2);
    layers[0].m_layer_id = ON_UuidFromString("11111111-2222-3333-4444-555555555555");
    layers[0].SetName(L"Default");
    layers[1].m_layer_id = ON_UuidFromString("11111111-2222-3333-4444-666666666666");
    layers[1].SetName(L"VTL Mesh");
    layers[1].SetColor(ON_Color(191, 63, 63));
    layers[1].SetLocked(true);
    doc.LayerTable().Assign(std::move(layers));
    doc.SetAbsoluteTolerance(0.01);
    doc.SetUnitSystem(DezazUnitSystem::meters);
    ON_3dmObjectAttributes at = doc.GetDefaultObjectAttributes();
    at.m_uuid = ON_UuidFromString("A0000000-0000-0000-0000-000000000001");
    at.m_layer_index = 1;
    at.m_name = L"scan \u00e9";
    ON_Mesh small = TwoTriangles();
    for (int i = 0; i < small.VertexCount(); ++i)
        small.m_C.Append(ON_Color(i * 40, 255 - i, 7));
    ASSERT_NE(doc.AddMeshObject(small, &at), nullptr);
    ON_Mesh big;
    const int side = 300;
    for (int i = 0; i < side * side; ++i)
        big.SetVertex(i, ON_3dPoint(0.25 * (i % side), -0.5 * (i / side), 0.001 * i));
    for (int i = 0; i + side + 1 < side * side; ++i)
        big.SetQuad(i, i, i + 1, i + side + 1, i % 2 == 0 ? i + side + 1 : i + side);
    at.m_uuid = ON_UuidFromString("A0000000-0000-0000-0000-000000000002");
    at.m_name = L"big";
    ASSERT_NE(doc.AddMeshObject(big, &at), nullptr);
    at.m_uuid = ON_UuidFromString("A0000000-0000-0000-0000-000000000003");
    at.m_layer_index = 0;
    ASSERT_NE(doc.AddPointObject(ON_3dPoint(-7, 8.5, 1e-3), &at), nullptr);
    std::vector<std::uint8_t> kept(5000);
    for (std::size_t i = 0; i < kept.size(); ++i)
        kept[i] = static_cast<std::uint8_t>(i * 37 + 11);
    doc.SetKeptPlugInChunks({{ON_UuidFromString("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"), kept}});
    const auto path = TempPath("pinned.dzz");
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), CDezazFileWriteOptions(), error)) << error;
    const std::vector<std::uint8_t> bytes = FileBytes(path);
    ASSERT_EQ(bytes.size(), 2520744u);
    // The checksum of every byte before the stored one, and the stored one.
    EXPECT_EQ(dezaz::Crc32(bytes.data(), bytes.size() - 4), 0x637B12B5u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 4, bytes.end()), (std::vector<std::uint8_t>{0xB5, 0x12, 0x7B, 0x63}));
    std::filesystem::remove(path);
}

TEST(DocumentFile, AMeshRecordClaimingMoreThanItHoldsOrHoldingBadValuesIsRefusedForWhatItIs)
{
    CDezazDoc doc;
    Fill(doc);
    const std::vector<std::uint8_t> bytes = Encode(doc);
    // The mesh record's counts and flags: 4 vertices, 2 faces, normals and colours.
    const std::uint8_t head[12] = {4, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    const auto at = std::search(bytes.begin(), bytes.end(), std::begin(head), std::end(head)) - bytes.begin();
    ASSERT_LT(std::size_t(at), bytes.size());
    // A word changed and the checksum taken again, so that the record is read.
    const auto refusal = [&](std::size_t offset, std::uint32_t word) {
        std::vector<std::uint8_t> damaged = bytes;
        for (int i = 0; i < 4; ++i)
            damaged[offset + i] = static_cast<std::uint8_t>(word >> (8 * i));
        const std::uint32_t crc = dezaz::Crc32(damaged.data(), damaged.size() - 4);
        for (int i = 0; i < 4; ++i)
            damaged[damaged.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        CDezazDoc back;
        std::vector<DezazPlugInChunk> chunks;
        std::wstring error;
        EXPECT_FALSE(dezaz::DecodeDocument(damaged.data(), damaged.size(), back, chunks, error));
        return std::string(error.begin(), error.end());
    };
    EXPECT_NE(refusal(at, 1u << 30).find("cut short"), std::string::npos) << "a billion vertices claimed";
    EXPECT_NE(refusal(at + 4, 1u << 30).find("cut short"), std::string::npos) << "a billion faces claimed";
    EXPECT_NE(refusal(at + 12 + 4, 0x7FC00000u).find("not a finite point"), std::string::npos);
    EXPECT_NE(refusal(at + 12 + 48 + 16 + 8, 4).find("does not exist"), std::string::npos) << "the last face";
}

TEST(DocumentFile, ChunksOfPlugInsThatAreNotLoadedAreSavedBackByteForByte)
{
    CDezazDoc doc;
    Fill(doc);
    std::vector<DezazPlugInChunk> chunks{{ON_UuidFromString("11111111-2222-3333-4444-555555555555"), {9, 8, 7}},
                                         {ON_UuidFromString("66666666-2222-3333-4444-555555555555"), {}}};
    const std::vector<std::uint8_t> bytes = Encode(doc, chunks);
    const auto path = TempPath("kept.dzz");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));

    OpenRecorder watcher;
    watcher.Register();
    watcher.Enable(TRUE);
    CDezazDoc opened;
    std::wstring error;
    ASSERT_TRUE(dezaz::OpenDocument(opened, path.wstring(), false, error)) << error;
    EXPECT_EQ(watcher.opens, 1);
    EXPECT_FALSE(watcher.last_merge);
    ASSERT_EQ(opened.KeptPlugInChunks().size(), 2u);

    const auto again = TempPath("kept_again.dzz");
    ASSERT_TRUE(dezaz::SaveDocument(opened, again.wstring(), CDezazFileWriteOptions(), error)) << error;
    EXPECT_EQ(watcher.saves, 1);
    EXPECT_EQ(FileBytes(again), bytes);
    EXPECT_EQ(opened.FileName(), again.wstring());

    // An export of the geometry alone leaves them out.
    CDezazFileWriteOptions geometry_only;
    geometry_only.SetMode(CDezazFileWriteOptions::geometry_only, true);
    ASSERT_TRUE(dezaz::SaveDocument(opened, again.wstring(), geometry_only, error)) << error;
    EXPECT_EQ(FileBytes(again), Encode(doc));

    // Merging the file adds its objects under fresh ids and keeps the layers by name.
    ASSERT_TRUE(dezaz::OpenDocument(opened, path.wstring(), true, error)) << error;
    EXPECT_TRUE(watcher.last_merge);
    EXPECT_EQ(opened.ObjectCount(), 4);
    EXPECT_EQ(opened.LayerTable().LayerCount(), 2);
    std::filesystem::remove(path);
    std::filesystem::remove(again);
}

TEST(DocumentFile, ASaveThatCannotBeWrittenFailsAndLeavesNoTemporaryFile)
{
    CDezazDoc doc;
    doc.AddMeshObject(TwoTriangles());
    const auto folder = TempPath("no_such_folder");
    std::wstring error;
    EXPECT_FALSE(dezaz::SaveDocument(doc, (folder / "doc.dzz").wstring(), CDezazFileWriteOptions(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(folder));

    // Over an existing file: the old file is replaced whole, nothing is left beside it.
    const auto dir = TempPath("atomic");
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "doc.dzz") << "old";
    ASSERT_TRUE(dezaz::SaveDocument(doc, (dir / "doc.dzz").wstring(), CDezazFileWriteOptions(), error)) << error;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    EXPECT_EQ(FileBytes(dir / "doc.dzz"), Encode(doc));
    std::filesystem::remove_all(dir);
}

} // namespace

#include "platform/geometry/line_curve.h"
#include "platform/geometry/plane_surface.h"

namespace
{

TEST(DocumentFile, CurvesAndBrepsGoThroughTheGeometryLibrarysRecords)
{
    CDezazDoc doc;
    doc.AddObject(std::make_unique<CDezazCurveObject>(
        std::make_unique<ON_LineCurve>(ON_3dPoint(0, 0, 0), ON_3dPoint(10, 0, 0))));
    ON_Surface* surface = new ON_PlaneSurface(ON_Plane(ON_3dPoint(0, 0, 5), ON_3dVector(0, 0, 1)));
    auto brep = std::make_unique<ON_Brep>();
    ASSERT_TRUE(brep->Create(surface));
    auto object = std::make_unique<CDezazBrepObject>();
    object->SetBrep(std::move(brep));
    ASSERT_NE(doc.AddObject(std::move(object)), nullptr);
    doc.AddObject(std::make_unique<CDezazBrepObject>(
        std::make_unique<ON_PlaneSurface>(ON_Plane(ON_3dPoint(0, 0, 1), ON_3dVector(1, 0, 0)))));
    // Geometry of the wrong kind makes no object a document takes.
    EXPECT_EQ(doc.AddObject(std::make_unique<CDezazCurveObject>(std::make_unique<ON_Mesh>(TwoTriangles()))), nullptr);

    const std::vector<std::uint8_t> bytes = Encode(doc);
    CDezazDoc back;
    std::vector<DezazPlugInChunk> chunks;
    std::wstring error;
    ASSERT_TRUE(dezaz::DecodeDocument(bytes.data(), bytes.size(), back, chunks, error)) << error;
    const auto objects = back.Objects();
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_NE(dynamic_cast<const ON_PlaneSurface*>(objects[2]->Geometry()), nullptr);
    const auto* curve = dynamic_cast<const CDezazCurveObject*>(objects[0]);
    const auto* brep_object = dynamic_cast<const CDezazBrepObject*>(objects[1]);
    ASSERT_TRUE(curve && curve->Curve());
    ASSERT_TRUE(brep_object && brep_object->Brep());
    EXPECT_EQ(brep_object->Brep()->FaceCount(), 1);
    EXPECT_EQ(curve->Curve()->PointAtEnd(), ON_3dPoint(10, 0, 0));
    EXPECT_EQ(Encode(back), bytes);
}

} // namespace

#include "platform/geometry/polyline_curve.h"
#include "platform/host/dezaz_text_dot.h"

namespace
{

// One object of every kind the host keeps, each with every attribute away
// from its default (hidden or locked, a second layer, a name, an own colour
// and decoration), through a saved file and back.
TEST(DocumentFile, EveryObjectKeepsEveryAttributeThroughASaveAndReopen)
{
    CDezazDoc doc;
    ON_Layer layer;
    layer.SetName(L"Parts");
    layer.SetColor(ON_Color(10, 20, 30));
    const int parts = doc.LayerTable().AddLayer(layer);
    ON_SimpleArray<ON_3dPoint> corners;
    for (const ON_3dPoint& p : {ON_3dPoint(0, 0, 0), ON_3dPoint(4, 0, 0), ON_3dPoint(4, 3, 0)})
        corners.Append(p);
    std::vector<std::unique_ptr<CDezazObject>> objects;
    objects.push_back(std::make_unique<CDezazPointObject>(ON_3dPoint(-7, 8, 9)));
    objects.push_back(std::make_unique<CDezazCurveObject>(std::make_unique<ON_PolylineCurve>(corners)));
    objects.push_back(std::make_unique<CDezazBrepObject>(
        std::make_unique<ON_PlaneSurface>(ON_Plane(ON_3dPoint(0, 0, 1), ON_3dVector(0, 0, 1)))));
    objects.push_back(std::make_unique<CDezazMeshObject>(TwoTriangles()));
    objects.push_back(std::make_unique<CDezazTextDot>(ON_3dPoint(1, 2, 3), L"R: 12"));
    using mode = ON_3dmObjectAttributes::object_mode;
    std::vector<ON_3dmObjectAttributes> given;
    for (std::size_t i = 0; i < objects.size(); ++i)
    {
        ON_3dmObjectAttributes at = doc.GetDefaultObjectAttributes();
        at.m_name = (L"object " + std::to_wstring(i)).c_str();
        at.m_layer_index = parts;
        at.SetMode(i % 2 ? mode::locked_object : mode::hidden_object);
        at.SetColorSource(ON_3dmObjectAttributes::color_source::color_from_object);
        at.m_color = ON_Color(static_cast<int>(40 * i), 200, 7);
        at.SetObjectDecoration(ON_3dmObjectAttributes::object_decoration::end_arrowhead);
        objects[i]->SetAttributes(at);
        const CDezazObject* added = doc.AddObject(std::move(objects[i]));
        ASSERT_NE(added, nullptr) << i;
        given.push_back(added->Attributes());
    }

    const auto path = TempPath("attributes.dzz");
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), CDezazFileWriteOptions(), error)) << error;
    CDezazDoc opened;
    ASSERT_TRUE(dezaz::OpenDocument(opened, path.wstring(), false, error)) << error;
    std::filesystem::remove(path);

    const auto back = opened.Objects();
    ASSERT_EQ(back.size(), given.size());
    for (std::size_t i = 0; i < back.size(); ++i)
    {
        EXPECT_EQ(back[i]->Attributes(), given[i]) << i;
        EXPECT_EQ(back[i]->IsHidden(), i % 2 == 0) << i;
        EXPECT_EQ(back[i]->IsLocked(), i % 2 == 1) << i;
        EXPECT_FALSE(back[i]->IsSelected()) << i;
        EXPECT_EQ(back[i]->ObjectType(), doc.Objects()[i]->ObjectType()) << i;
    }
}

} // namespace
