// A big document is written past the page cache, a stage by a thread of
// its own while the next fills, and read back in pieces side by side, each
// thread with its own stage, into memory made side by side first.
#include "platform/host/dezaz_doc.h"
#include "platform/host/document_file_access.h"
#include "platform/host/document_format.h"
#include "platform/host/document_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>
#include <vector>

namespace
{

TEST(DocumentRead, ABigFileWrittenAndReadInPiecesSideBySideComesBackWholeWithEveryTenthOnce)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vtl_doc_read_" + std::to_string(::getpid()) + ".dzz");
    // Past the size read side by side, ending off a stage's and a block's edge.
    std::vector<std::uint8_t> bytes(std::size_t(dezaz::kProgressByteCount) + (std::size_t{5} << 20) + 1234);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    bytes[0] = 'M', bytes[1] = 'G';
    std::wstring error;
    ASSERT_TRUE(dezaz::WriteFileAtomically(path.wstring(), bytes, error)) << error;
    std::vector<std::uint8_t> read;
    std::vector<int> tenths;
    EXPECT_TRUE(dezaz::ReadFileBytes(path.wstring(), read, error, "MG", nullptr,
                                     [&](int percent) { tenths.push_back(percent); }))
        << error;
    std::filesystem::remove(path);
    EXPECT_TRUE(read == bytes);
    EXPECT_EQ(tenths, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
}

// A document is opened from its file where its records lie: its checksum in
// parts side by side, its chunks read back a stage at a time.
TEST(DocumentRead, ADocumentOfManyStagesOpensFromItsFileWithTheChunkNoPlugInReadKeptByteForByte)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vtl_doc_stages_" + std::to_string(::getpid()) + ".dzz");
    CDezazDoc doc;
    doc.AddPointObject(ON_3dPoint(1, 2, 3));
    // Past two parts of the checksum's pass and many stages, ending off a stage's edge.
    std::vector<DezazPlugInChunk> chunks{{ON_UuidFromString("11111111-2222-3333-4444-555555555555"), {}},
                                         {ON_UuidFromString("66666666-2222-3333-4444-555555555555"), {5, 6, 7}}};
    chunks[0].bytes.resize((std::size_t{70} << 20) + 4321);
    for (std::size_t i = 0; i < chunks[0].bytes.size(); ++i)
        chunks[0].bytes[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    std::vector<std::uint8_t> bytes;
    std::wstring error;
    ASSERT_TRUE(dezaz::EncodeDocument(doc, chunks, bytes, error)) << error;
    ASSERT_TRUE(dezaz::WriteFileAtomically(path.wstring(), bytes, error)) << error;

    CDezazDoc opened;
    std::vector<int> tenths;
    const bool ok = dezaz::OpenDocument(opened, path.wstring(), false, error, [&](int percent) { tenths.push_back(percent); });
    std::filesystem::remove(path);
    ASSERT_TRUE(ok) << std::string(error.begin(), error.end());
    EXPECT_EQ(opened.ObjectCount(), 1);
    ASSERT_EQ(opened.KeptPlugInChunks().size(), 2u);
    EXPECT_TRUE(opened.KeptPlugInChunks()[0].bytes == chunks[0].bytes);
    EXPECT_TRUE(opened.KeptPlugInChunks()[1].bytes == chunks[1].bytes);
    EXPECT_EQ(tenths, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
}

// A file cut short after its checksum's pass fails the reads it no longer
// holds, with the reason, and is told changed.
TEST(DocumentRead, AFileCutShortAfterItsScanFailsTheReadsItNoLongerHolds)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vtl_doc_cut_" + std::to_string(::getpid()) + ".dzz");
    std::vector<std::uint8_t> bytes(std::size_t{9} << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 12));
    std::wstring error;
    ASSERT_TRUE(dezaz::WriteFileAtomically(path.wstring(), bytes, error)) << error;
    dezaz::cFileReader file;
    ASSERT_TRUE(file.Open(path.wstring(), error)) << error;
    std::uint64_t scanned = 0;
    ASSERT_TRUE(file.Scan(bytes.size(), [&](unsigned, std::uint64_t, const std::uint8_t*, std::size_t n) { scanned += n; },
                          error));
    EXPECT_EQ(scanned, bytes.size());
    EXPECT_TRUE(file.Unchanged());
    std::filesystem::resize_file(path, std::size_t{5} << 20);

    std::vector<std::uint8_t> back(std::size_t{2} << 20);
    EXPECT_TRUE(file.Read(std::size_t{3} << 20, back.data(), back.size()));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), bytes.begin() + (std::size_t{3} << 20)));
    EXPECT_FALSE(file.Read(std::size_t{4} << 20, back.data(), back.size()));
    EXPECT_NE(file.Error().find(L"cut short"), std::wstring::npos);
    EXPECT_FALSE(file.Unchanged());
    std::filesystem::remove(path);
}

} // namespace
