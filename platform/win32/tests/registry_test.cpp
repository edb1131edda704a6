#include "platform/win32/registry_hive.h"
#include "platform/win32/win32.h"
#include "support/temp_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace
{

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * 2));
}

HKEY Create(const wchar_t* path)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    return key;
}

std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(Registry, TextValuesHaveUtf16SizesAndRoundTrip)
{
    TempRegistry temp;
    HKEY key = Create(L"SOFTWARE\\Maker\\Product\\Section");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetText(key, L"Count", L"-5"), static_cast<LSTATUS>(ERROR_SUCCESS));

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"Count", nullptr, &type, nullptr, &size), static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);

    wchar_t text[8] = {L'x', L'x', L'x', L'x', L'x', L'x', L'x', L'x'};
    size = 16;
    ASSERT_EQ(RegQueryValueExW(key, L"Count", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(size, 6u);
    EXPECT_STREQ(text, L"-5");
    EXPECT_EQ(text[3], L'x'); // nothing written beyond the value
    EXPECT_EQ(RegCloseKey(key), static_cast<LSTATUS>(ERROR_SUCCESS));
}

TEST(Registry, ShortBufferReportsMoreDataAndTheSizeNeeded)
{
    TempRegistry temp;
    HKEY key = Create(L"A");
    ASSERT_EQ(SetText(key, L"Name", L"abcdef"), static_cast<LSTATUS>(ERROR_SUCCESS));
    wchar_t text[4] = {L'q', L'q', L'q', L'q'};
    DWORD size = 8;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Name", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
              static_cast<LSTATUS>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(text[0], L'q');
    EXPECT_EQ(RegQueryValueExW(key, L"Name", nullptr, &type, reinterpret_cast<BYTE*>(text), nullptr),
              static_cast<LSTATUS>(ERROR_INVALID_PARAMETER));
    RegCloseKey(key);
}

// An empty binary value (a record written with no bytes) reads back as
// empty, without handing the copy a null source.
TEST(Registry, EmptyBinaryValueReadsBackEmpty)
{
    TempRegistry temp;
    HKEY key = Create(L"A");
    ASSERT_EQ(RegSetValueExW(key, L"Record", 0, REG_BINARY, nullptr, 0), static_cast<LSTATUS>(ERROR_SUCCESS));
    std::uint8_t record[4] = {7, 7, 7, 7};
    DWORD size = sizeof record;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"Record", nullptr, &type, record, &size), static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(record[0], 7);
    RegCloseKey(key);
}

TEST(Registry, NamesAreCaseInsensitiveAndKeepTheirCase)
{
    TempRegistry temp;
    HKEY key = Create(L"Software\\Maker");
    std::uint8_t record[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(RegSetValueExW(key, L"SavedView", 0, REG_BINARY, record, 5), static_cast<LSTATUS>(ERROR_SUCCESS));
    RegCloseKey(key);

    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\maker", 0, KEY_QUERY_VALUE, &again),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    std::uint8_t out[5] = {};
    DWORD size = 5;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExW(again, L"SAVEDVIEW", nullptr, &type, out, &size), static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(std::memcmp(out, record, 5), 0);
    RegCloseKey(again);

    win32::RegistryHive hive;
    std::vector<std::uint8_t> bytes = ReadFile(win32::CurrentUserHivePath());
    ASSERT_TRUE(hive.Parse(bytes.data(), bytes.size()));
    ASSERT_NE(hive.FindKey(L"software\\MAKER"), nullptr);
    EXPECT_EQ(hive.FindKey(L"software\\MAKER")->path, L"Software\\Maker");
    EXPECT_EQ(hive.FindKey(L"software\\MAKER")->values.at(0).name, L"SavedView");
}

TEST(Registry, MissingKeysAndValuesAndBadHandles)
{
    TempRegistry temp;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Nowhere", 0, KEY_QUERY_VALUE, &key),
              static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Absent", nullptr, nullptr, nullptr, &size),
              static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
    RegCloseKey(key);
    EXPECT_EQ(RegCloseKey(key), static_cast<LSTATUS>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegQueryValueExW(key, L"Absent", nullptr, nullptr, nullptr, &size),
              static_cast<LSTATUS>(ERROR_INVALID_HANDLE));

    // Intermediate keys were created too.
    HKEY middle = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"A\\B", 0, KEY_QUERY_VALUE, &middle),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    ASSERT_EQ(RegCreateKeyExW(middle, L"C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);
    RegCloseKey(middle);
}

TEST(Registry, ReadOnlyHandleRefusesWrites)
{
    TempRegistry temp;
    RegCloseKey(Create(L"K"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"K", 0, KEY_QUERY_VALUE, &key), static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(SetText(key, L"V", L"1"), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExW(key, L"Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
    RegCloseKey(key);
}

TEST(Registry, ValuesPersistInTheFileAndAChangeByAnotherWriterIsSeen)
{
    TempRegistry temp;
    HKEY key = Create(L"P");
    ASSERT_EQ(SetText(key, L"V", L"one"), static_cast<LSTATUS>(ERROR_SUCCESS));

    // Another writer replaces the file: the next query reads the new one.
    win32::RegistryHive hive;
    hive.CreateKey(L"P").SetValue(L"V", REG_DWORD, {7, 0, 0, 0});
    std::vector<std::uint8_t> bytes = hive.Serialize();
    std::string path = win32::CurrentUserHivePath();
    {
        std::ofstream out(path + ".new", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"V", nullptr, &type, nullptr, &size), static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    RegCloseKey(key);
}

TEST(Registry, DamagedFileReadsEmptyAndIsKeptAsideByTheNextWrite)
{
    TempRegistry temp;
    std::string path = win32::CurrentUserHivePath();
    {
        std::ofstream out(path, std::ios::binary);
        out << "DZREGHV1 this is not a hive";
    }
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"P", 0, KEY_QUERY_VALUE, &key),
              static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
    key = Create(L"P");
    ASSERT_EQ(SetText(key, L"V", L"1"), static_cast<LSTATUS>(ERROR_SUCCESS));
    RegCloseKey(key);
    EXPECT_EQ(ReadFile(path + ".bad").size(), 27u);
    win32::RegistryHive hive;
    std::vector<std::uint8_t> bytes = ReadFile(path);
    EXPECT_TRUE(hive.Parse(bytes.data(), bytes.size()));
}

TEST(Registry, TwoProcessesWritingAtOnceLoseNothing)
{
    TempRegistry temp;
    RegCloseKey(Create(L"Shared"));
    constexpr int kValues = 40;
    pid_t children[2];
    for (int p = 0; p < 2; ++p)
    {
        children[p] = ::fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0)
        {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Shared", 0, KEY_ALL_ACCESS, &key) != 0)
                ::_exit(2);
            for (int i = 0; i < kValues; ++i)
            {
                std::wstring name = L"P" + std::to_wstring(p) + L"_" + std::to_wstring(i);
                if (SetText(key, name.c_str(), std::to_wstring(i)) != 0)
                    ::_exit(3);
            }
            RegCloseKey(key);
            ::_exit(0);
        }
    }
    for (pid_t child : children)
    {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Shared", 0, KEY_QUERY_VALUE, &key),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < kValues; ++i)
        {
            std::wstring name = L"P" + std::to_wstring(p) + L"_" + std::to_wstring(i);
            wchar_t text[16] = {};
            DWORD size = sizeof text / 2;
            ASSERT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
                      static_cast<LSTATUS>(ERROR_SUCCESS))
                << p << " " << i;
            EXPECT_EQ(std::wstring(text), std::to_wstring(i));
        }
    RegCloseKey(key);
}

TEST(RegistryHive, ParserRefusesEveryTruncationAndTrailingBytes)
{
    win32::RegistryHive hive;
    hive.CreateKey(L"A\\B").SetValue(L"Text", REG_SZ, {'h', 0, 'i', 0, 0, 0});
    hive.CreateKey(L"A").SetValue(L"", REG_BINARY, {1, 2, 3});
    std::vector<std::uint8_t> bytes = hive.Serialize();

    win32::RegistryHive parsed;
    ASSERT_TRUE(parsed.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(parsed.Serialize(), bytes);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    {
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(parsed.Parse(part.data(), part.size())) << cut;
        EXPECT_EQ(parsed.KeyCount(), 1u); // only the root after a failure
    }
    bytes.push_back(0);
    EXPECT_FALSE(parsed.Parse(bytes.data(), bytes.size()));
}

TEST(RegistryHive, ParserRefusesHugeCountsAndDuplicates)
{
    win32::RegistryHive hive;
    hive.CreateKey(L"K").SetValue(L"v", REG_DWORD, {1, 0, 0, 0});
    std::vector<std::uint8_t> bytes = hive.Serialize();
    // Key count at offset 8: claim far more keys than the bytes could hold.
    std::vector<std::uint8_t> huge = bytes;
    huge[8] = huge[9] = huge[10] = huge[11] = 0xFF;
    win32::RegistryHive parsed;
    EXPECT_FALSE(parsed.Parse(huge.data(), huge.size()));

    // The same value name twice, differing in case only.
    win32::RegistryHive twice;
    twice.CreateKey(L"K").values = {{L"v", REG_DWORD, {1, 0, 0, 0}}, {L"V", REG_DWORD, {2, 0, 0, 0}}};
    std::vector<std::uint8_t> dup = twice.Serialize();
    EXPECT_FALSE(parsed.Parse(dup.data(), dup.size()));
}

} // namespace
