#include "core/update_checker.h"
#include "platform/wininet/tests/support/loopback_http_server.h"
#include "vtl_version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using vtl_test::LoopbackHttpServer;

// The update-information text as the server stores it: byte-order mark and
// UTF-16LE characters.
std::string Utf16Text(const std::wstring& text, bool mark = true)
{
    std::string bytes = mark ? std::string("\xFF\xFE", 2) : std::string();
    for (wchar_t c : text)
    {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

bool Parse(const std::string& bytes, stVersionNumber& v)
{
    return ParseUpdateInformation(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), v);
}

stVersionNumber Parsed(const std::wstring& text)
{
    stVersionNumber v;
    EXPECT_TRUE(Parse(Utf16Text(text), v)) << std::string(text.begin(), text.end());
    return v;
}

constexpr DWORD MS(WORD major, WORD minor) { return MAKELONG(minor, major); }
constexpr DWORD LS(WORD build, WORD revision) { return MAKELONG(revision, build); }

TEST(UpdateInformation, ComparesMostSignificantPartFirst)
{
    const stVersionNumber offered = Parsed(L"4|0|12|3");
    EXPECT_FALSE(IsNewerVersion(offered, MS(4, 0), LS(12, 3)));
    EXPECT_TRUE(IsNewerVersion(offered, MS(4, 0), LS(12, 2)));
    EXPECT_FALSE(IsNewerVersion(offered, MS(4, 1), LS(0, 0)));
    EXPECT_TRUE(IsNewerVersion(offered, MS(3, 9), LS(65535, 65535)));
    EXPECT_FALSE(IsNewerVersion(offered, MS(4, 0), LS(13, 0)));
}

TEST(UpdateInformation, MissingFieldsCountAsZeroAndValuesKeepTheirLow16Bits)
{
    stVersionNumber v = Parsed(L"5");
    EXPECT_EQ(v.major, 5);
    EXPECT_EQ(v.minor + v.build + v.revision, 0);
    v = Parsed(L"4|0");
    EXPECT_FALSE(IsNewerVersion(v, MS(4, 0), LS(0, 0)));
    v = Parsed(L"65540|1|2|3|9|9");
    EXPECT_EQ(v.major, 4);
    EXPECT_EQ(v.revision, 3);
    // Past the 32-bit range the value saturates before it is cut to 16 bits.
    EXPECT_EQ(Parsed(L"99999999999|0|0|0").major, 0xFFFF);
    EXPECT_EQ(Parsed(L"-1").major, 0xFFFF);
    EXPECT_EQ(Parsed(L" 7x|abc||").major, 7);
    EXPECT_EQ(Parsed(L" 7x|abc||").minor, 0);
}

TEST(UpdateInformation, OddCountsMissingMarksAndEmbeddedZerosAreSafe)
{
    stVersionNumber v;
    EXPECT_FALSE(Parse("", v));
    EXPECT_FALSE(Parse("\xFF", v));
    EXPECT_FALSE(Parse(Utf16Text(L"9|9|9|9", false), v)) << "text without a byte-order mark";
    EXPECT_FALSE(Parse("<html>404</html>", v));
    EXPECT_TRUE(ParseUpdateInformation(nullptr, 0, v) == false);

    // Only the mark: a version of 0, never newer.
    ASSERT_TRUE(Parse(Utf16Text(L""), v));
    EXPECT_FALSE(IsNewerVersion(v, 0, 0));
    // A stray last byte is half a character and is dropped.
    ASSERT_TRUE(Parse(Utf16Text(L"4|1") + "7", v));
    EXPECT_EQ(v.minor, 1);
    EXPECT_EQ(v.build, 0);
    // The text ends at a zero character.
    ASSERT_TRUE(Parse(Utf16Text(std::wstring(L"4|0\0|9|9", 8)), v));
    EXPECT_EQ(v.build, 0);

    // The longest answer, full to its last byte.
    std::wstring longest = L"4|2|0|0";
    longest.resize(511, L' ');
    const std::string bytes = Utf16Text(longest);
    ASSERT_EQ(bytes.size(), 1024u);
    ASSERT_TRUE(Parse(bytes, v));
    EXPECT_EQ(v.minor, 2);
}

struct UpdateCheck : ::testing::Test
{
    bool Check(const std::string& body, DWORD ms, DWORD ls, int delayMs = 0)
    {
        server.SetReply({200, body, delayMs, false, false});
        cSoftwareUpdatesChecker checker;
        checker.m_updateInfoAddress = UpdateInformationAddress(server.Url(L"/"));
        return checker.IsNewerVersionAvailable(ms, ls);
    }
    LoopbackHttpServer server;
};

TEST_F(UpdateCheck, AnswersFromTheServedText)
{
    EXPECT_TRUE(Check(Utf16Text(L"4|0|12|3"), MS(4, 0), LS(12, 2)));
    EXPECT_FALSE(Check(Utf16Text(L"4|0|12|3"), MS(4, 0), LS(12, 3)));
    EXPECT_FALSE(Check(Utf16Text(L"4|0|12|3"), MS(4, 1), LS(0, 0)));
    EXPECT_TRUE(Check(Utf16Text(L"5"), MS(4, 9), LS(9, 9)));
    EXPECT_FALSE(Check(Utf16Text(L"65540|0|0|0"), MS(4, 1), LS(0, 0)));
    EXPECT_FALSE(Check("", MS(0, 0), LS(0, 0)));
    EXPECT_FALSE(Check(Utf16Text(L"9|9|9|9", false), MS(4, 0), LS(0, 0)));
    // Only the first 1024 bytes of a longer answer are read.
    std::wstring padded = L"5|0|0|0";
    padded.resize(2000, L' ');
    EXPECT_TRUE(Check(Utf16Text(padded), MS(4, 0), LS(0, 0)));

    const auto requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].rfind("GET /download/update_info4.txt HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(requests[0].find("User-Agent: Update check"), std::string::npos);
}

TEST_F(UpdateCheck, ErrorPagesSlowServersAndClosedPortsMeanNoNewerVersion)
{
    server.SetReply({404, "9|9|9|9", 0, false, false});
    cSoftwareUpdatesChecker checker;
    checker.m_updateInfoAddress = UpdateInformationAddress(server.Url(L"/"));
    EXPECT_FALSE(checker.IsNewerVersionAvailable(0, 0));

    EXPECT_FALSE(Check(Utf16Text(L"9|9|9|9"), 0, 0, 2500)) << "an answer after the time-out";

    checker.m_updateInfoAddress =
        L"http://127.0.0.1:" + std::to_wstring(LoopbackHttpServer::ClosedPort()) + L"/download/update_info4.txt";
    EXPECT_FALSE(checker.IsNewerVersionAvailable(0, 0));
    checker.m_updateInfoAddress = L"not an address";
    EXPECT_FALSE(checker.IsNewerVersionAvailable(0, 0));
}

TEST_F(UpdateCheck, PingCarriesTheRunningVersion)
{
    cSoftwareUpdatesChecker checker;
    checker.PingVersion(VersionPingAddress(server.Url(L"/"), L"4.0.0.1"));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET /download/update_check.php?Version=4.0.0.1 HTTP/1.1\r\n", 0), 0u);
    // Failures are ignored.
    checker.PingVersion(L"http://127.0.0.1:" + std::to_wstring(LoopbackHttpServer::ClosedPort()) + L"/");
}

TEST(ModuleVersion, ComesFromTheBuildsVersionNumber)
{
    const std::wstring path = cSoftwareUpdatesChecker::GetModulePath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find(L"core_tests"), std::wstring::npos);
    cSoftwareUpdatesChecker checker;
    DWORD ms = 0;
    DWORD ls = 0;
    ASSERT_TRUE(checker.GetModuleVersion(ms, ls));
    EXPECT_EQ(ms, MS(VTL_VERSION_MAJOR, VTL_VERSION_MINOR));
    EXPECT_EQ(ls, LS(VTL_VERSION_BUILD, VTL_VERSION_REVISION));
}

} // namespace
