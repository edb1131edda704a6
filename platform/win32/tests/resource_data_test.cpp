#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

TEST(GlobalMemory, BlocksAreZeroedLockedAndFreedOnce)
{
    const std::size_t before = win32::LiveGlobalBlockCount();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 16u);
    auto* bytes = static_cast<std::uint8_t*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[15], 0);
    EXPECT_EQ(GlobalUnlock(block), FALSE) << "the last unlock";
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(block), block) << "a freed block is not a block any more";
    EXPECT_EQ(GlobalLock(block), nullptr);
    EXPECT_EQ(win32::LiveGlobalBlockCount(), before);
}

TEST(GlobalStream, ReadsSeeksAndFreesItsBlockOnlyWhenAsked)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 10);
    std::memcpy(GlobalLock(block), "0123456789", 10);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(block, FALSE, &stream), S_OK);
    char buffer[8] = {};
    ULONG read = 0;
    EXPECT_EQ(stream->Read(buffer, 4, &read), S_OK);
    EXPECT_EQ(std::memcmp(buffer, "0123", 4), 0);
    ULONGLONG position = 0;
    EXPECT_EQ(stream->Seek(-2, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position, 8u);
    EXPECT_EQ(stream->Read(buffer, 8, &read), S_FALSE) << "fewer bytes than asked";
    EXPECT_EQ(read, 2u);
    EXPECT_NE(stream->Seek(-20, STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position, 8u) << "a refused seek does not move";
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(GlobalSize(block), 10u) << "the caller still owns the block";
    GlobalFree(block);

    EXPECT_EQ(CreateStreamOnHGlobal(reinterpret_cast<HGLOBAL>(0x1234), TRUE, &stream), E_INVALIDARG);
}

TEST(ResourceData, RegisteredBytesAreFoundLoadedAndLocked)
{
    auto* module = reinterpret_cast<HMODULE>(0x4400);
    win32::RegisterResourceData(module, RT_RCDATA, MAKEINTRESOURCEW(5), {1, 2, 3});
    win32::RegisterResourceData(module, RT_RCDATA, L"named", {9});
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(5), RT_RCDATA);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(module, found), 3u);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_NE(FindResourceW(module, L"NAMED", RT_RCDATA), nullptr) << "names compare without case";

    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(6), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(5), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(FindResourceW(reinterpret_cast<HMODULE>(0x4401), MAKEINTRESOURCEW(5), RT_RCDATA), nullptr);
    win32::UnregisterResourceData(module, RT_RCDATA, MAKEINTRESOURCEW(5));
    win32::UnregisterResourceData(module, RT_RCDATA, L"named");
    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(5), RT_RCDATA), nullptr);
}

} // namespace
