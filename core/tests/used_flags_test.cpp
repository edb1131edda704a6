#include "core/used_flags.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{

std::uint8_t LowestClearBit(std::uint8_t m) { return static_cast<std::uint8_t>(~m & (m + 1)); }

TEST(UsedFlags, ProcessMasksStartWithTheFixedBitsReserved)
{
    // Every test gives its bits back, so these hold in any test order too.
    ASSERT_EQ(TriangleUsedFlags().Value(), 7);
    ASSERT_EQ(VertexUsedFlags().Value(), 15);
    EXPECT_TRUE(TriangleUsedFlags().IsShared());

    const std::uint8_t t = BorrowTriangleFlag();
    EXPECT_EQ(t, 8);
    EXPECT_EQ(TriangleUsedFlags().Value(), 15);
    const std::uint8_t v = BorrowVertexFlag();
    EXPECT_EQ(v, 16);
    EXPECT_EQ(VertexUsedFlags().Value(), 31);

    const std::uint8_t t2 = BorrowTriangleFlag();
    EXPECT_EQ(t2, 16);
    ReturnTriangleFlag(t2);
    ReturnTriangleFlag(t);
    ReturnVertexFlag(v);
    EXPECT_EQ(TriangleUsedFlags().Value(), 7);
    EXPECT_EQ(VertexUsedFlags().Value(), 15);
}

TEST(UsedFlags, OutOfOrderReturnsStillLendSingleBits)
{
    cUsedFlagMask mask(L"UsedFlagsTest_OutOfOrder", 7);
    const std::uint8_t a = mask.Borrow();
    const std::uint8_t b = mask.Borrow();
    ASSERT_EQ(a, 8);
    ASSERT_EQ(b, 16);
    mask.Return(a);
    EXPECT_EQ(mask.Borrow(), 8); // the freed bit again, alone
    EXPECT_EQ(mask.Value(), 0x1F);
    EXPECT_EQ(mask.Borrow(), 32);
}

TEST(UsedFlags, ExhaustedMaskLendsNothingAndStaysFull)
{
    cUsedFlagMask triangles(L"UsedFlagsTest_FullTriangles", 7);
    for (int expected : {8, 16, 32, 64, 128})
        EXPECT_EQ(triangles.Borrow(), expected);
    EXPECT_EQ(triangles.Value(), 0xFF);
    EXPECT_EQ(triangles.Borrow(), 0);
    EXPECT_EQ(triangles.Value(), 0xFF);

    cUsedFlagMask vertices(L"UsedFlagsTest_FullVertices", 15);
    int lent = 0;
    while (vertices.Borrow() != 0)
        ++lent;
    EXPECT_EQ(lent, 4);
    EXPECT_EQ(vertices.Value(), 0xFF);
}

TEST(UsedFlags, ReturningReservedBitsDoesNotFreeThem)
{
    cUsedFlagMask mask(L"UsedFlagsTest_Reserved", 7);
    ASSERT_EQ(mask.Borrow(), 8);
    mask.Return(0xFF); // a stray return of everything
    EXPECT_EQ(mask.Value(), 7);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(mask.Borrow() & 7, 0);
}

TEST(UsedFlags, RandomBorrowAndReturnNeverDoublesOrLeaksABit)
{
    cUsedFlagMask mask(L"UsedFlagsTest_Random", 15);
    std::mt19937 rng(12345);
    std::vector<std::uint8_t> held;
    std::uint8_t model = 15;
    for (int step = 0; step < 5000; ++step)
    {
        if (held.empty() || rng() % 2)
        {
            const std::uint8_t bit = mask.Borrow();
            EXPECT_EQ(bit, LowestClearBit(model)) << "step " << step;
            if (bit)
            {
                EXPECT_EQ(bit & (bit - 1), 0) << "more than one bit";
                EXPECT_EQ(model & bit, 0) << "bit already lent";
                model |= bit;
                held.push_back(bit);
            }
        }
        else
        {
            const std::size_t k = rng() % held.size();
            mask.Return(held[k]);
            model &= static_cast<std::uint8_t>(~held[k]);
            held.erase(held.begin() + static_cast<std::ptrdiff_t>(k));
        }
        ASSERT_EQ(mask.Value(), model) << "step " << step;
    }
    for (std::uint8_t bit : held)
        mask.Return(bit);
    EXPECT_EQ(mask.Value(), 15);
}

TEST(UsedFlags, SecondLoadKeepsTheCurrentValue)
{
    const std::uint8_t mine = BorrowTriangleFlag();
    ASSERT_EQ(mine, 8);
    {
        cUsedFlagMask secondCopy(L"cMeshTriangle_s_UsedFlags", 7);
        EXPECT_TRUE(secondCopy.IsShared());
        EXPECT_EQ(secondCopy.Value(), 15);
        const std::uint8_t theirs = secondCopy.Borrow();
        EXPECT_EQ(theirs, 16);
        EXPECT_EQ(TriangleUsedFlags().Value(), 31);
        secondCopy.Return(theirs);
    }
    // The first copy's mapping outlives the second copy's unload.
    EXPECT_EQ(TriangleUsedFlags().Value(), 15);
    ReturnTriangleFlag(mine);
    EXPECT_EQ(TriangleUsedFlags().Value(), 7);
}

TEST(UsedFlags, MaskWithoutAWritableMappingLivesInItsOwnObject)
{
    // A read-only mapping of that name opens but cannot be written through:
    // the mask keeps its byte in the object instead of writing through null.
    HANDLE readOnly =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 1, L"UsedFlagsTest_ReadOnly");
    ASSERT_NE(readOnly, nullptr);
    {
        cUsedFlagMask mask(L"UsedFlagsTest_ReadOnly", 7);
        EXPECT_FALSE(mask.IsShared());
        EXPECT_EQ(mask.Value(), 7);
        EXPECT_EQ(mask.Borrow(), 8);
        EXPECT_EQ(mask.Borrow(), 16);
        mask.Return(8);
        EXPECT_EQ(mask.Value(), 0x17);
    }
    CloseHandle(readOnly);
}

TEST(UsedFlags, HoldersReturnTheirBitOnEveryExit)
{
    auto walk = [](bool leaveEarly) {
        cBorrowedVertexFlag flag;
        if (!flag.IsValid())
            return 0;
        if (leaveEarly)
            return -1;
        return static_cast<int>(flag.Bit());
    };
    EXPECT_EQ(walk(false), 16);
    EXPECT_EQ(walk(true), -1);
    EXPECT_EQ(VertexUsedFlags().Value(), 15);

    {
        cBorrowedTriangleFlag a;
        cBorrowedTriangleFlag b;
        EXPECT_EQ(a.Bit(), 8);
        EXPECT_EQ(b.Bit(), 16);
        EXPECT_EQ(sizeof a, 1u);
    }
    EXPECT_EQ(TriangleUsedFlags().Value(), 7);
}

TEST(UsedFlags, HolderOfAnExhaustedMaskIsInvalid)
{
    std::vector<std::uint8_t> taken;
    for (std::uint8_t bit; (bit = BorrowVertexFlag()) != 0;)
        taken.push_back(bit);
    {
        cBorrowedVertexFlag flag;
        EXPECT_FALSE(flag.IsValid());
#ifndef NDEBUG
        EXPECT_DEATH((void)flag.Bit(), "check IsValid");
#endif
    }
    EXPECT_EQ(VertexUsedFlags().Value(), 0xFF); // the failed holder returned nothing
    for (std::uint8_t bit : taken)
        ReturnVertexFlag(bit);
    EXPECT_EQ(VertexUsedFlags().Value(), 15);
}

} // namespace
