#include "platform/geometry/binary_archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

const ON_UUID kId = ON_UuidFromString("{65882D0D-6EAD-4DA4-8642-9C54FB1F2DA1}");

// One value of every kind, in a fixed order.
bool WriteAll(ON_BinaryArchive& a)
{
    return a.Write3dmChunkVersion(1, 1) && a.WriteUuid(kId) && a.WriteSize(0x0102030405060708ull) &&
           a.WriteInt(-2) && a.WriteFloat(1.5f) && a.WriteDouble(-0.1) && a.WriteString(ON_wString(L"Pl\u00e4ne \U0001F600")) &&
           a.WriteByte(3, "xyz");
}

bool ReadAll(ON_BinaryArchive& a)
{
    int major = 0, minor = 0, i = 0;
    ON_UUID id = ON_nil_uuid;
    std::size_t size = 0;
    float f = 0;
    double d = 0;
    ON_wString s;
    char bytes[3] = {};
    if (!(a.Read3dmChunkVersion(&major, &minor) && a.ReadUuid(id) && a.ReadSize(&size) && a.ReadInt(&i) &&
          a.ReadFloat(&f) && a.ReadDouble(&d) && a.ReadString(s) && a.ReadByte(3, bytes)))
        return false;
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 1);
    EXPECT_TRUE(id == kId);
    EXPECT_EQ(size, 0x0102030405060708ull);
    EXPECT_EQ(i, -2);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(d, -0.1);
    EXPECT_EQ(s, ON_wString(L"Pl\u00e4ne \U0001F600"));
    EXPECT_EQ(std::string(bytes, 3), "xyz");
    EXPECT_TRUE(a.AtEnd());
    return true;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list)
{
    std::vector<std::uint8_t> v;
    for (int b : list)
        v.push_back(static_cast<std::uint8_t>(b));
    return v;
}

} // namespace

TEST(BinaryArchive, EncodingsAreFrozen)
{
    ON_MemoryArchive a;
    ASSERT_TRUE(a.Write3dmChunkVersion(1, 1));
    ASSERT_TRUE(a.WriteInt(-2));
    ASSERT_TRUE(a.WriteSize(3));
    ASSERT_TRUE(a.WriteFloat(1.0f));
    ASSERT_TRUE(a.WriteDouble(2.0));
    ASSERT_TRUE(a.WriteUuid(kId));
    ASSERT_TRUE(a.WriteString(ON_wString(L"A\U0001F600")));
    const auto expected = Bytes({0x11,                                           // version 1.1
                                 0xFE, 0xFF, 0xFF, 0xFF,                         // int -2
                                 3, 0, 0, 0, 0, 0, 0, 0,                         // size 3
                                 0x00, 0x00, 0x80, 0x3F,                         // float 1
                                 0, 0, 0, 0, 0, 0, 0, 0x40,                      // double 2
                                 0x0D, 0x2D, 0x88, 0x65, 0xAD, 0x6E, 0xA4, 0x4D, // uuid u32, u16, u16
                                 0x86, 0x42, 0x9C, 0x54, 0xFB, 0x1F, 0x2D, 0xA1, //   then 8 bytes
                                 3, 0, 0, 0, 0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE}); // UTF-16LE with a pair
    EXPECT_EQ(a.Buffer(), expected);
}

TEST(BinaryArchive, MemoryRoundTripOfEveryValue)
{
    ON_MemoryArchive w;
    ASSERT_TRUE(WriteAll(w));
    ON_MemoryArchive r(w.Buffer().data(), w.Buffer().size());
    EXPECT_TRUE(ReadAll(r));
}

TEST(BinaryArchive, FileRoundTripOfEveryValue)
{
    const auto path = std::filesystem::temp_directory_path() / ("geom_archive_" + std::to_string(getpid()));
    {
        ON_BinaryFile w(ON_BinaryArchive::Mode::write, path.c_str());
        ASSERT_TRUE(w.IsOpen());
        ASSERT_TRUE(WriteAll(w));
        EXPECT_TRUE(w.Close());
    }
    {
        ON_BinaryFile r(ON_BinaryArchive::Mode::read, path.c_str());
        ASSERT_TRUE(r.IsOpen());
        EXPECT_TRUE(ReadAll(r));
        int extra = 0;
        EXPECT_FALSE(r.ReadInt(&extra));
    }
    std::filesystem::remove(path);
    ON_BinaryFile missing(ON_BinaryArchive::Mode::read, path.c_str());
    EXPECT_FALSE(missing.IsOpen());
    int v = 0;
    EXPECT_FALSE(missing.ReadInt(&v));
}

TEST(BinaryArchive, EveryTruncationFailsCleanly)
{
    ON_MemoryArchive w;
    ASSERT_TRUE(WriteAll(w));
    const auto& full = w.Buffer();
    for (std::size_t n = 0; n < full.size(); ++n)
    {
        ON_MemoryArchive r(full.data(), n);
        EXPECT_FALSE(ReadAll(r)) << "truncated at " << n;
    }
}

TEST(BinaryArchive, FailedReadLeavesOutputAndPosition)
{
    const auto bytes = Bytes({1, 2, 3});
    ON_MemoryArchive r(bytes.data(), bytes.size());
    int i = 77;
    EXPECT_FALSE(r.ReadInt(&i));
    EXPECT_EQ(i, 77);
    EXPECT_EQ(r.CurrentPosition(), 0u);
    std::uint8_t b[3];
    EXPECT_TRUE(r.ReadByte(3, b));
    EXPECT_TRUE(r.AtEnd());
}

// A file that shrinks after it was opened: the archive still believes the
// bytes are there, the read comes up short and must hand over nothing.
TEST(BinaryArchive, ShortFileReadLeavesOutputAndPosition)
{
    const auto path = std::filesystem::temp_directory_path() / ("geom_shrink_" + std::to_string(getpid()));
    std::vector<std::uint8_t> content(65536);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const std::uint64_t at = 50000;
    for (std::size_t count : {std::size_t{16}, std::size_t{1500}})
    {
        {
            ON_BinaryFile w(ON_BinaryArchive::Mode::write, path.c_str());
            ASSERT_TRUE(w.WriteByte(content.size(), content.data()));
            ASSERT_TRUE(w.Close());
        }
        ON_BinaryFile r(ON_BinaryArchive::Mode::read, path.c_str());
        ASSERT_TRUE(r.IsOpen());
        std::filesystem::resize_file(path, at + count / 2);
        ASSERT_TRUE(r.SeekFromStartOfFile(at));
        std::vector<std::uint8_t> out(count, 0xEE);
        EXPECT_FALSE(r.ReadByte(count, out.data())) << count;
        EXPECT_EQ(out, std::vector<std::uint8_t>(count, 0xEE)) << count;
        EXPECT_EQ(r.CurrentPosition(), at);
        // What is still there reads as before.
        std::uint8_t b[4] = {};
        ASSERT_TRUE(r.ReadByte(4, b));
        EXPECT_EQ(b[0], content[at]);
        EXPECT_EQ(b[3], content[at + 3]);
    }
    std::filesystem::remove(path);
}

TEST(BinaryArchive, StringCountBeyondTheDataFailsWithoutAllocating)
{
    // Count 0xFFFFFFFF with two bytes behind it.
    const auto bytes = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x41, 0x00});
    ON_MemoryArchive r(bytes.data(), bytes.size());
    ON_wString s(L"kept");
    EXPECT_FALSE(r.ReadString(s));
    EXPECT_EQ(s, ON_wString(L"kept"));
    EXPECT_EQ(r.CurrentPosition(), 0u);
}

TEST(BinaryArchive, UnpairedSurrogateFailsTheRead)
{
    for (const auto& bytes : {Bytes({1, 0, 0, 0, 0x00, 0xD8}), Bytes({2, 0, 0, 0, 0x00, 0xDC, 0x41, 0x00}),
                              Bytes({2, 0, 0, 0, 0x00, 0xD8, 0x41, 0x00})})
    {
        ON_MemoryArchive r(bytes.data(), bytes.size());
        ON_wString s;
        EXPECT_FALSE(r.ReadString(s));
    }
}

TEST(BinaryArchive, InvalidCharactersAreWrittenAsReplacement)
{
    std::wstring bad;
    bad += static_cast<wchar_t>(0xD800);
    bad += static_cast<wchar_t>(0x110000);
    ON_MemoryArchive w;
    ASSERT_TRUE(w.WriteString(ON_wString(bad)));
    ON_MemoryArchive r(w.Buffer().data(), w.Buffer().size());
    ON_wString s;
    ASSERT_TRUE(r.ReadString(s));
    EXPECT_EQ(s, ON_wString(L"\uFFFD\uFFFD"));
}

TEST(BinaryArchive, ChunkVersionOutOfRangeIsRefused)
{
    ON_MemoryArchive w;
    EXPECT_FALSE(w.Write3dmChunkVersion(16, 0));
    EXPECT_FALSE(w.Write3dmChunkVersion(1, -1));
    EXPECT_TRUE(w.Buffer().empty());
}

TEST(BinaryArchive, ModeIsEnforced)
{
    ON_MemoryArchive w;
    int i = 0;
    EXPECT_FALSE(w.ReadInt(&i));
    const auto bytes = Bytes({0, 0, 0, 0});
    ON_MemoryArchive r(bytes.data(), bytes.size());
    EXPECT_FALSE(r.WriteInt(1));
}

TEST(BinaryArchive, SeekStaysInsideTheData)
{
    ON_MemoryArchive w;
    ASSERT_TRUE(w.WriteInt(1) && w.WriteInt(2));
    EXPECT_TRUE(w.SeekFromCurrentPosition(-8));
    EXPECT_TRUE(w.WriteInt(5)); // overwrites the first int
    EXPECT_EQ(w.Buffer().size(), 8u);
    EXPECT_FALSE(w.SeekFromCurrentPosition(5));
    EXPECT_FALSE(w.SeekFromCurrentPosition(-5));
    EXPECT_FALSE(w.SeekFromCurrentPosition(INT64_MIN));
    EXPECT_EQ(w.CurrentPosition(), 4u);

    ON_MemoryArchive r(w.Buffer().data(), w.Buffer().size());
    EXPECT_TRUE(r.SeekFromCurrentPosition(8));
    EXPECT_TRUE(r.AtEnd());
    EXPECT_FALSE(r.SeekFromCurrentPosition(1));
    EXPECT_TRUE(r.SeekFromStartOfFile(0));
    int i = 0;
    ASSERT_TRUE(r.ReadInt(&i));
    EXPECT_EQ(i, 5);
}

TEST(BinaryArchive, FloatRunsAreTheSingleFloatsInARowAllOrNothing)
{
    const float values[3] = {1.0f, -0.1f, 3e38f};
    ON_MemoryArchive singles, run;
    for (const float v : values)
        ASSERT_TRUE(singles.WriteFloat(v));
    ASSERT_TRUE(run.WriteInt(7) && run.WriteFloat(1, values));
    // A run written over the end of the data: the first float overwrites,
    // the others extend.
    ASSERT_TRUE(run.SeekFromCurrentPosition(-4));
    ASSERT_TRUE(run.WriteFloat(3, values));
    const std::vector<std::uint8_t> tail(run.Buffer().begin() + 4, run.Buffer().end());
    EXPECT_EQ(tail, singles.Buffer());

    ON_MemoryArchive r(run.Buffer().data(), run.Buffer().size());
    ASSERT_TRUE(r.SeekFromCurrentPosition(4));
    float read[4] = {9, 9, 9, 9};
    EXPECT_FALSE(r.ReadFloat(4, read)) << "one float more than there is";
    EXPECT_EQ(read[0], 9.0f);
    EXPECT_EQ(r.CurrentPosition(), 4u);
    ASSERT_TRUE(r.ReadFloat(3, read));
    EXPECT_EQ(std::vector<float>(read, read + 3), std::vector<float>(values, values + 3));
    EXPECT_TRUE(r.AtEnd());
}

TEST(BinaryArchive, FaultInjectionFailsEveryTransferPastTheBudget)
{
    ON_MemoryArchive full;
    ASSERT_TRUE(WriteAll(full));
    const auto total = static_cast<std::int64_t>(full.Buffer().size());
    for (std::int64_t budget = 0; budget < total; ++budget)
    {
        ON_MemoryArchive w;
        w.SetFaultInjection(budget);
        EXPECT_FALSE(WriteAll(w)) << budget;
        EXPECT_LE(static_cast<std::int64_t>(w.Buffer().size()), budget);
        EXPECT_FALSE(w.WriteByte(1, "x")); // stays failed

        ON_MemoryArchive r(full.Buffer().data(), full.Buffer().size());
        r.SetFaultInjection(budget);
        EXPECT_FALSE(ReadAll(r)) << budget;
    }
    ON_MemoryArchive w;
    w.SetFaultInjection(total);
    EXPECT_TRUE(WriteAll(w));
}
