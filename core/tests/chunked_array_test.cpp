#include "core/chunked_array.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace
{

// Counts live records so that tests see exactly which chunks were destroyed.
struct Tracked
{
    static inline int live = 0;
    static inline int constructionsLeft = -1; // < 0: unlimited

    Tracked()
    {
        if (constructionsLeft == 0)
            throw std::bad_alloc();
        if (constructionsLeft > 0)
            --constructionsLeft;
        ++live;
    }
    Tracked(const Tracked& other) : value(other.value) { ++live; }
    Tracked& operator=(const Tracked&) = default;
    ~Tracked() { --live; }

    int value = -1;
};

struct DefaultSeven
{
    int a = 7;
};

struct KeepsDefault
{
    int a = 7;
};

} // namespace

template <> inline constexpr bool kArrayZeroFillHonoured<KeepsDefault> = false;

namespace
{

TEST(ChunkedArray, ResizeAllocatesWholeChunks)
{
    tArray<int> a;
    EXPECT_TRUE(a.Resize(1));
    EXPECT_EQ(a.GetChunkCount(), 1u);
    EXPECT_EQ(a.GetCapacity(), 1024u);
    int* first = a.GetChunk(0);
    EXPECT_TRUE(a.Resize(1024));
    EXPECT_EQ(a.GetChunkCount(), 1u);
    EXPECT_EQ(a.GetChunk(0), first);
    EXPECT_TRUE(a.Resize(1025));
    EXPECT_EQ(a.GetChunkCount(), 2u);
    EXPECT_EQ(a.GetCapacity(), 2048u);
    EXPECT_EQ(a.GetChunk(0), first);

    a.SetCount(17);
    EXPECT_TRUE(a.Resize(0));
    EXPECT_EQ(a.GetChunkCount(), 0u);
    EXPECT_EQ(a.GetCapacity(), 0u);
    EXPECT_EQ(a.GetCount(), 17u) << "resizing never changes the record count";
}

TEST(ChunkedArray, SetAtGrowsWithoutCounting)
{
    tArray<int> a;
    int* slot = a.SetAt(5000, 42);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(a.GetChunkCount(), 5u);
    EXPECT_EQ(a.GetCapacity(), 5120u);
    EXPECT_EQ(a.GetCount(), 0u);
    EXPECT_EQ(a[5000], 42);
    EXPECT_EQ(&a[5000], slot);
    EXPECT_EQ(a[4999], 0) << "new plain records start zeroed";
}

TEST(ChunkedArray, ShrinkDestroysOnlySurplusChunksAndKeepsAddresses)
{
    Tracked::live = 0;
    {
        tArray<Tracked> a;
        ASSERT_TRUE(a.Resize(3 * 1024));
        EXPECT_EQ(Tracked::live, 3 * 1024);
        for (std::uint32_t i = 0; i < 1024; ++i)
            a[i].value = static_cast<int>(i);
        Tracked* kept = &a[1000];
        ASSERT_TRUE(a.Resize(1000));
        EXPECT_EQ(Tracked::live, 1024) << "chunks 1 and 2 destroyed, chunk 0 untouched";
        EXPECT_EQ(&a[1000], kept);
        for (std::uint32_t i = 0; i < 1024; ++i)
            ASSERT_EQ(a[i].value, static_cast<int>(i));

        // Growing again after a shrink reuses the (unshrunk) table correctly.
        ASSERT_TRUE(a.Resize(4000));
        EXPECT_EQ(Tracked::live, 4 * 1024);
        EXPECT_EQ(&a[1000], kept);
    }
    EXPECT_EQ(Tracked::live, 0);
}

TEST(ChunkedArray, RecordsKeepTheirAddressesWhileGrowing)
{
    tArray<std::uint64_t> a;
    std::vector<std::uint64_t*> addresses;
    for (std::uint32_t i = 0; i < 10000; ++i)
    {
        std::uint64_t* r = a.Append();
        ASSERT_NE(r, nullptr);
        *r = i * 3u;
        addresses.push_back(r);
    }
    EXPECT_EQ(a.GetCount(), 10000u);
    for (std::uint32_t i = 0; i < 10000; ++i)
    {
        ASSERT_EQ(&a[i], addresses[i]);
        ASSERT_EQ(*addresses[i], i * 3u);
    }
}

TEST(ChunkedArray, ZeroFillIsHonouredOnlyWhereOffered)
{
    tArray<DefaultSeven> plain;
    ASSERT_TRUE(plain.Resize(10, false));
    EXPECT_EQ(plain[9].a, 7);
    ASSERT_TRUE(plain.Resize(2000, true));
    EXPECT_EQ(plain[9].a, 7) << "existing chunk is left alone";
    EXPECT_EQ(plain[1500].a, 0) << "new chunk cleared";

    tArray<KeepsDefault> kept;
    ASSERT_TRUE(kept.Resize(10, true));
    EXPECT_EQ(kept[5].a, 7);
}

TEST(ChunkedArray, FailedGrowthLeavesTheArrayAsItWas)
{
    Tracked::live = 0;
    {
        tArray<Tracked> a;
        for (int i = 0; i < 1500; ++i)
            ASSERT_NE(a.PushBack(Tracked()), nullptr);
        const std::uint32_t count = a.GetCount();
        Tracked* first = &a[0];
        const Tracked sample;

        // The third chunk's construction fails part way through.
        Tracked::constructionsLeft = 1024 + 10;
        EXPECT_FALSE(a.Resize(4 * 1024));
        EXPECT_EQ(a.GetChunkCount(), 2u);
        EXPECT_EQ(a.GetCapacity(), 2048u);
        EXPECT_EQ(Tracked::live, 2048 + 1) << "partly built chunks are destroyed";

        Tracked::constructionsLeft = 0;
        a.SetCount(2048);
        EXPECT_EQ(a.Append(), nullptr);
        EXPECT_EQ(a.GetCount(), 2048u) << "a failed append does not count";
        EXPECT_EQ(a.PushBack(sample), nullptr);
        EXPECT_EQ(a.GetCount(), 2048u);
        EXPECT_EQ(a.SetAt(3000, sample), nullptr);
        Tracked::constructionsLeft = -1;

        a.SetCount(count);
        EXPECT_EQ(&a[0], first);
        EXPECT_NE(a.Append(), nullptr);
    }
    Tracked::constructionsLeft = -1;
    EXPECT_EQ(Tracked::live, 0);
}

TEST(ChunkedArray, IndicesBeyondTheU32CapacityAreRefused)
{
    tArray<char> a;
    ASSERT_NE(a.SetAt(3, 'x'), nullptr);
    EXPECT_FALSE(a.Resize(0xFFFFFFFFu));
    EXPECT_EQ(a.SetAt(0xFFFFFFFFu, 'y'), nullptr) << "i + 1 must not wrap to a resize to zero";
    EXPECT_EQ(a.GetChunkCount(), 1u);
    EXPECT_EQ(a[3], 'x');
    a.SetCount(kArrayMaxRecords);
    EXPECT_EQ(a.Append(), nullptr);
    EXPECT_EQ(a.GetCount(), kArrayMaxRecords);
}

TEST(ChunkedArray, ClearFreesAndResetsTheCount)
{
    tArray<int> a;
    a.PushBack(1);
    a.PushBack(2);
    a.Clear();
    EXPECT_EQ(a.GetCount(), 0u);
    EXPECT_EQ(a.GetChunkCount(), 0u);
    EXPECT_EQ(a.GetChunk(0), nullptr);
    a.PushBack(3);
    EXPECT_EQ(a[0], 3);
}

// Random operation sequences against std::vector as the model.
TEST(ChunkedArray, BehavesLikeAVectorUnderRandomOperations)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 20; ++round)
    {
        tArray<std::uint32_t> a;
        std::vector<std::uint32_t> model;
        for (int step = 0; step < 3000; ++step)
        {
            const std::uint32_t value = rng();
            switch (rng() % 7)
            {
            case 0:
            case 1:
                ASSERT_NE(a.PushBack(value), nullptr);
                model.push_back(value);
                break;
            case 2:
            {
                std::uint32_t* r = a.Append();
                ASSERT_NE(r, nullptr);
                *r = value;
                model.push_back(value);
                break;
            }
            case 3:
                if (!model.empty())
                {
                    const std::uint32_t i = rng() % model.size();
                    ASSERT_NE(a.SetAt(i, value), nullptr);
                    model[i] = value;
                }
                break;
            case 4:
            {
                // Owners trim by lowering the count and then the capacity.
                const std::uint32_t n = model.empty() ? 0 : rng() % (model.size() + 1);
                model.resize(n);
                a.SetCount(n);
                ASSERT_TRUE(a.Resize(n));
                break;
            }
            case 5:
                if (rng() % 50 == 0)
                {
                    a.Clear();
                    model.clear();
                }
                break;
            case 6:
            {
                // Room ahead of the count never disturbs the records.
                const std::uint32_t n = static_cast<std::uint32_t>(model.size()) + rng() % 3000;
                ASSERT_TRUE(a.Resize(n));
                break;
            }
            }
            ASSERT_EQ(a.GetCount(), model.size());
            ASSERT_EQ(a.GetCapacity(), a.GetChunkCount() * 1024u);
            ASSERT_GE(a.GetCapacity(), a.GetCount());
        }
        for (std::uint32_t i = 0; i < model.size(); ++i)
            ASSERT_EQ(a[i], model[i]) << "round " << round << " index " << i;
    }
}

} // namespace
