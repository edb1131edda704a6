#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

VTL_MODULE_VERSION_RESOURCE(1, 2, 3, 4);

namespace
{

void FunctionInThisProgram() {}

std::wstring ModulePathOf(const void* address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return {};
    wchar_t path[520];
    const DWORD n = GetModuleFileNameW(module, path, 520);
    return n == 0 || n == 520 ? std::wstring() : std::wstring(path, n);
}

bool ReadFixedInfo(const std::wstring& path, VS_FIXEDFILEINFO& out)
{
    DWORD handle = 7;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0)
        return false;
    std::vector<std::uint8_t> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return false;
    LPVOID fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", &fixed, &length) || length != sizeof(VS_FIXEDFILEINFO))
        return false;
    out = *static_cast<VS_FIXEDFILEINFO*>(fixed);
    return true;
}

TEST(Modules, AddressLeadsToTheModulePathAndItsVersionResource)
{
    const auto address = reinterpret_cast<const void*>(&FunctionInThisProgram);
    const std::wstring path = ModulePathOf(address);
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(path), "/proc/self/exe"));

    VS_FIXEDFILEINFO info{};
    ASSERT_TRUE(ReadFixedInfo(path, info));
    EXPECT_EQ(info.dwFileVersionMS, (1u << 16) | 2u);
    EXPECT_EQ(info.dwFileVersionLS, (3u << 16) | 4u);

    // The same module by its null handle.
    wchar_t program[520];
    ASSERT_GT(GetModuleFileNameW(nullptr, program, 520), 0u);
    EXPECT_EQ(std::wstring(program), path);
}

TEST(Modules, LibraryWithoutVersionResourceHasNone)
{
    const std::wstring path = ModulePathOf(reinterpret_cast<const void*>(&GetModuleFileNameW));
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find(L"vtl_platform_win32"), std::wstring::npos);
    EXPECT_EQ(GetFileVersionInfoSizeW(path.c_str(), nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST(Modules, ShortBuffersAreCutAndReported)
{
    wchar_t path[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(GetModuleFileNameW(nullptr, path, 4), 4u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(path[3], L'\0');

    const std::wstring self = ModulePathOf(reinterpret_cast<const void*>(&FunctionInThisProgram));
    const DWORD size = GetFileVersionInfoSizeW(self.c_str(), nullptr);
    std::vector<std::uint8_t> small(size - 1);
    EXPECT_FALSE(GetFileVersionInfoW(self.c_str(), 0, size - 1, small.data()));
    LPVOID out = nullptr;
    UINT length = 0;
    std::vector<std::uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(self.c_str(), 0, size, block.data()));
    EXPECT_FALSE(VerQueryValueW(block.data(), L"\\StringFileInfo", &out, &length));
}

TEST(Modules, DamagedOrMissingFilesHaveNoVersion)
{
    const std::wstring self = ModulePathOf(reinterpret_cast<const void*>(&FunctionInThisProgram));
    std::ifstream in(std::filesystem::path(self), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto dir = std::filesystem::temp_directory_path();
    const auto damaged = dir / ("vtl_module_test_" + std::to_string(GetCurrentThreadId()));
    // Cut short at several places, and with its section table pointing past the end.
    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{64}, bytes.size() / 2, bytes.size() - 1})
    {
        std::ofstream(damaged, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(cut));
        EXPECT_EQ(GetFileVersionInfoSizeW(damaged.wstring().c_str(), nullptr), 0u) << cut;
    }
    std::vector<char> bad = bytes;
    bad[0x28] = '\xFF'; // e_shoff far beyond the file
    bad[0x2F] = '\x7F';
    std::ofstream(damaged, std::ios::binary).write(bad.data(), static_cast<std::streamsize>(bad.size()));
    EXPECT_EQ(GetFileVersionInfoSizeW(damaged.wstring().c_str(), nullptr), 0u);
    std::filesystem::remove(damaged);
    EXPECT_EQ(GetFileVersionInfoSizeW(damaged.wstring().c_str(), nullptr), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeW(nullptr, nullptr), 0u);
}

} // namespace
