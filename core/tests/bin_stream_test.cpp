#include "core/bin_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace
{

TEST(BinFile, WithoutAFileEverythingFailsAndTheStreamIsAtItsEnd)
{
    cBINFile stream;
    char byte = 0;
    std::uint32_t count = 99;
    EXPECT_FALSE(stream.Read(&byte, 1, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(stream.Write(&byte, 1, &count));
    EXPECT_FALSE(stream.Rewind());
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_FALSE(stream.Seek(0));
    EXPECT_TRUE(stream.IsEof());
}

TEST(BinFile, BlocksRoundTripAndAShortReadFails)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    cBINFile stream(file);
    const char data[] = "0123456789";
    std::uint32_t count = 0;
    ASSERT_TRUE(stream.Write(data, 10, &count));
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(stream.Tell(), 10);
    ASSERT_TRUE(stream.Rewind());

    char block[6] = {};
    ASSERT_TRUE(stream.Read(block, 6, &count));
    EXPECT_EQ(count, 6u);
    EXPECT_EQ(std::memcmp(block, "012345", 6), 0);
    EXPECT_FALSE(stream.IsEof());
    // Four bytes remain: a six-byte block is not there.
    EXPECT_FALSE(stream.Read(block, 6, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(stream.IsEof());

    ASSERT_TRUE(stream.Seek(8));
    EXPECT_EQ(stream.Tell(), 8);
    ASSERT_TRUE(stream.Read(block, 2));
    EXPECT_EQ(std::memcmp(block, "89", 2), 0);
    EXPECT_FALSE(stream.Seek(-1));
}

} // namespace
