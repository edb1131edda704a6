#include "platform/host/dezaz_app.h"

#include <gtest/gtest.h>

namespace
{

TEST(DezazApp, PrintFormatsAndKeepsTheCommandLine)
{
    DezazApp().ClearCommandLineText();
    DezazApp().Print(L"Can not fit %ls\n", L"Plane");
    DezazApp().Print(L"%d points\n", 42);
    EXPECT_EQ(DezazApp().CommandLineText(), L"Can not fit Plane\n42 points\n");

    // Long text is not cut off.
    const std::wstring longText(5000, L'x');
    DezazApp().ClearCommandLineText();
    DezazApp().Print(L"%ls", longText.c_str());
    EXPECT_EQ(DezazApp().CommandLineText(), longText);
    DezazApp().Print(nullptr);
    EXPECT_EQ(DezazApp().CommandLineText().size(), longText.size());
}

} // namespace
