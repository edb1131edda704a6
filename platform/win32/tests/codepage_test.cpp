#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

TEST(CodePage, AnsiIsWindows1252WhateverTheLocale)
{
    const wchar_t text[] = L"Caf\u00E9 \u20AC\u2122";
    char out[16] = {};
    BOOL usedDefault = TRUE;
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, &usedDefault);
    ASSERT_EQ(n, 8); // six characters, two more, and the terminator
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ(static_cast<unsigned char>(out[3]), 0xE9);
    EXPECT_EQ(static_cast<unsigned char>(out[5]), 0x80);
    EXPECT_EQ(static_cast<unsigned char>(out[6]), 0x99);
    EXPECT_EQ(out[7], '\0');

    wchar_t back[16] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, out, -1, back, 16), 8);
    EXPECT_EQ(std::wstring(back), std::wstring(text));
}

TEST(CodePage, EveryAnsiByteSurvivesARoundTrip)
{
    for (int b = 1; b < 256; ++b)
    {
        char in = static_cast<char>(b);
        wchar_t wide = 0;
        ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, &in, 1, &wide, 1), 1);
        char out = 0;
        BOOL usedDefault = FALSE;
        ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &wide, 1, &out, 1, nullptr, &usedDefault), 1);
        EXPECT_EQ(out, in) << b;
        EXPECT_FALSE(usedDefault);
    }
}

TEST(CodePage, UnmappableCharactersBecomeTheDefaultAndAreReported)
{
    const wchar_t text[] = L"a\u4E2Db";
    char out[8] = {};
    BOOL usedDefault = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 3, out, sizeof out, nullptr, &usedDefault), 3);
    EXPECT_EQ(std::string(out, 3), "a?b");
    EXPECT_TRUE(usedDefault);
}

TEST(CodePage, SizeQueryAndShortBuffers)
{
    const wchar_t text[] = L"\u00FCber";
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr), 6);
    char small[3];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, small, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CodePage, MalformedUtf8IsReplacedOrRefused)
{
    const char bad[] = {'a', static_cast<char>(0xC3), 'b', static_cast<char>(0xE0), static_cast<char>(0x80)};
    wchar_t out[8] = {};
    int n = MultiByteToWideChar(CP_UTF8, 0, bad, sizeof bad, out, 8);
    ASSERT_EQ(n, 5);
    EXPECT_EQ(out[0], L'a');
    EXPECT_EQ(out[1], L'\uFFFD');
    EXPECT_EQ(out[2], L'b');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, sizeof bad, out, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePage, Utf16LeRoundTripKeepsCharactersBeyondTheBasicPlane)
{
    std::wstring text = L"A\u00E9\U0001F600";
    EXPECT_EQ(win32::Utf16UnitCount(text.data(), text.size()), 4u);
    std::vector<std::uint8_t> bytes;
    win32::AppendUtf16Le(bytes, text.data(), text.size());
    ASSERT_EQ(bytes.size(), 8u);
    EXPECT_EQ(bytes[0], 'A');
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[4], 0x3D); // high surrogate D83D, little-endian
    EXPECT_EQ(bytes[5], 0xD8);
    EXPECT_EQ(win32::DecodeUtf16Le(bytes.data(), bytes.size()), text);
    // A cut surrogate pair and an odd byte decode without reading past the end.
    EXPECT_EQ(win32::DecodeUtf16Le(bytes.data(), 7), std::wstring(L"A\u00E9") + wchar_t(0xD83D));
}

TEST(CodePage, Utf8PathsRoundTrip)
{
    std::wstring path = L"/tmp/\u00E9t\u00E9/\U0001F600.bin";
    EXPECT_EQ(win32::Utf8ToWide(win32::WideToUtf8(path)), path);
}

TEST(Guid, NewGuidsAreVersion4AndDistinct)
{
    GUID a{};
    GUID b{};
    ASSERT_EQ(CoCreateGuid(&a), S_OK);
    ASSERT_EQ(CoCreateGuid(&b), S_OK);
    EXPECT_FALSE(a == b);
    EXPECT_EQ(a.Data3 >> 12, 4);
    EXPECT_EQ(a.Data4[0] & 0xC0, 0x80);
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

} // namespace
