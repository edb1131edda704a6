#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

struct Mapping
{
    HANDLE handle;
    unsigned char* view;
};

Mapping CreateAndMap(const wchar_t* name, DWORD size = 16)
{
    HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    EXPECT_NE(h, nullptr);
    auto* v = static_cast<unsigned char*>(MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    EXPECT_NE(v, nullptr);
    return {h, v};
}

void Release(const Mapping& m)
{
    EXPECT_TRUE(UnmapViewOfFile(m.view));
    EXPECT_TRUE(CloseHandle(m.handle));
}

TEST(FileMapping, SecondCreateByNameOpensTheSameZeroFilledMemory)
{
    const std::size_t handlesBefore = win32::OpenKernelHandleCount();
    SetLastError(ERROR_INVALID_DATA);
    Mapping first = CreateAndMap(L"FileMappingTest_Shared", 3);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(first.view[0] | first.view[1] | first.view[2], 0);
    first.view[0] = 42;

    HANDLE again = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1, L"FileMappingTest_Shared");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_NE(again, first.handle);
    auto* second = static_cast<unsigned char*>(MapViewOfFile(again, FILE_MAP_WRITE, 0, 0, 3));
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first.view); // a view of its own, on the same memory
    EXPECT_EQ(second[0], 42);
    second[2] = 7;
    EXPECT_EQ(first.view[2], 7);

    HANDLE opened = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"FileMappingTest_Shared");
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(CloseHandle(opened));
    EXPECT_TRUE(UnmapViewOfFile(second));
    EXPECT_TRUE(CloseHandle(again));
    Release(first);
    EXPECT_EQ(win32::OpenKernelHandleCount(), handlesBefore);
}

TEST(FileMapping, NamesAreCaseSensitiveAndUnnamedMappingsDistinct)
{
    Mapping upper = CreateAndMap(L"FileMappingTest_Case");
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, L"filemappingtest_case"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    Mapping a = CreateAndMap(nullptr);
    Mapping b = CreateAndMap(L"");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    a.view[0] = 1;
    EXPECT_EQ(b.view[0], 0);
    Release(a);
    Release(b);
    Release(upper);
}

TEST(FileMapping, LivesWhileAHandleOrAViewIsOpen)
{
    Mapping m = CreateAndMap(L"FileMappingTest_Life");
    m.view[5] = 9;
    EXPECT_TRUE(CloseHandle(m.handle)); // the view keeps it alive
    HANDLE reopened = OpenFileMappingW(FILE_MAP_READ, FALSE, L"FileMappingTest_Life");
    ASSERT_NE(reopened, nullptr);
    EXPECT_TRUE(CloseHandle(reopened));
    EXPECT_TRUE(UnmapViewOfFile(m.view));

    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, L"FileMappingTest_Life"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    Mapping fresh = CreateAndMap(L"FileMappingTest_Life");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(fresh.view[5], 0);
    Release(fresh);
}

TEST(FileMapping, AccessIsCheckedAgainstProtectionAndHandle)
{
    HANDLE ro = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 8, L"FileMappingTest_ReadOnly");
    ASSERT_NE(ro, nullptr);
    EXPECT_EQ(MapViewOfFile(ro, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    void* readView = MapViewOfFile(ro, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(readView, nullptr);
    EXPECT_TRUE(UnmapViewOfFile(readView));
    EXPECT_TRUE(CloseHandle(ro));

    Mapping rw = CreateAndMap(L"FileMappingTest_ReadHandle");
    HANDLE readOnlyHandle = OpenFileMappingW(FILE_MAP_READ, FALSE, L"FileMappingTest_ReadHandle");
    ASSERT_NE(readOnlyHandle, nullptr);
    EXPECT_EQ(MapViewOfFile(readOnlyHandle, FILE_MAP_ALL_ACCESS, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(readOnlyHandle));
    Release(rw);
}

TEST(FileMapping, BadArgumentsFailWithTheirErrors)
{
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, L"FileMappingTest_Bad"),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, 0x40, 0, 1, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateFileMappingW(nullptr, nullptr, PAGE_READWRITE, 0, 1, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    EXPECT_EQ(MapViewOfFile(nullptr, FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x20000, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(MapViewOfFile(h, FILE_MAP_READ, 0, 100, 0), nullptr); // off the granularity
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0x20001), nullptr); // beyond the end
    EXPECT_EQ(MapViewOfFile(h, 0, 0, 0, 0), nullptr);                  // no access asked
    auto* whole = static_cast<unsigned char*>(MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, 0));
    auto* upper = static_cast<unsigned char*>(MapViewOfFile(h, FILE_MAP_READ, 0, kFileMappingGranularity, 0));
    ASSERT_NE(whole, nullptr);
    ASSERT_NE(upper, nullptr);
    whole[kFileMappingGranularity + 3] = 5;
    EXPECT_EQ(upper[3], 5);

    EXPECT_FALSE(UnmapViewOfFile(whole + 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
    EXPECT_TRUE(UnmapViewOfFile(whole));
    EXPECT_FALSE(UnmapViewOfFile(whole));
    EXPECT_TRUE(UnmapViewOfFile(upper));
    EXPECT_TRUE(CloseHandle(h));
}

} // namespace
