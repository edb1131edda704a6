// A big document is written past the page cache, a stage by a thread of
// its own while the next fills, and read back in pieces side by side, each
// thread with its own stage, into memory made side by side first.
#include "platform/host/document_file_access.h"

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

} // namespace
