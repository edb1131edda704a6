#include "platform/win32/win32.h"
#include "support/temp_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace
{

// Threads writing and reading their own values at once: every write lands
// and every read sees a whole value.
TEST(RegistryConcurrency, ThreadsWritingAtOnceLoseNothing)
{
    TempRegistry temp;
    constexpr int kThreads = 4;
    constexpr int kValues = 25;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &failures] {
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Shared\\Threads", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) != 0)
            {
                ++failures[t];
                return;
            }
            for (int i = 0; i < kValues; ++i)
            {
                std::wstring name = L"T" + std::to_wstring(t) + L"_" + std::to_wstring(i);
                std::wstring text = std::to_wstring(i * 7);
                if (RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>((text.size() + 1) * 2)) != 0)
                    ++failures[t];
                wchar_t back[16] = {};
                DWORD size = sizeof back / 2;
                if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(back), &size) != 0 ||
                    text != back)
                    ++failures[t];
            }
            RegCloseKey(key);
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(failures[t], 0) << t;

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Shared\\Threads", 0, KEY_QUERY_VALUE, &key), 0);
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kValues; ++i)
        {
            std::wstring name = L"T" + std::to_wstring(t) + L"_" + std::to_wstring(i);
            DWORD size = 0;
            EXPECT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size), 0) << t << " " << i;
        }
    RegCloseKey(key);
}

} // namespace
