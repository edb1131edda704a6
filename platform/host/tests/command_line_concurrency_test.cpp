// The command line is printed to from worker threads (a long job's
// progress, the update check) while the user-interface thread reads it.
#include "platform/host/dezaz_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace
{

TEST(CommandLine, PrintsFromSeveralThreadsArriveWholeAndReachTheSink)
{
    DezazApp().ClearCommandLineText();
    std::atomic<int> sunk{0};
    DezazApp().SetPrintSink([&](const std::wstring& text) {
        if (text == L"line\n")
            ++sunk;
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i)
                DezazApp().Print(L"%ls\n", L"line");
        });
    std::size_t longest = 0;
    for (int i = 0; i < 200; ++i)
        longest = std::max(longest, DezazApp().CommandLineText().size());
    for (std::thread& t : threads)
        t.join();
    DezazApp().SetPrintSink(nullptr);
    const std::wstring text = DezazApp().CommandLineText();
    EXPECT_EQ(text.size(), 800u * 5u);
    for (std::size_t at = 0; at < text.size(); at += 5)
        ASSERT_EQ(text.compare(at, 5, L"line\n"), 0) << at;
    EXPECT_EQ(sunk.load(), 800);
    EXPECT_LE(longest, text.size());
}

} // namespace
