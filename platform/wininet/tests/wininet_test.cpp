#include "platform/wininet/wininet.h"
#include "platform/win32/win32.h"
#include "support/loopback_http_server.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using vtl_test::LoopbackHttpServer;

// A session with short time-outs, closed at the end of the test.
struct Session
{
    explicit Session(DWORD timeout = 1000, DWORD retries = 4)
    {
        handle = InternetOpenW(L"Update check", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                             INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
            InternetSetOptionW(handle, option, &timeout, sizeof timeout);
        InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);
    }
    ~Session() { InternetCloseHandle(handle); }
    HINTERNET Open(const std::wstring& url, DWORD flags = 0) const
    {
        return InternetOpenUrlW(handle, url.c_str(), nullptr, 0, flags, 0);
    }
    HINTERNET handle;
};

std::string ReadAll(HINTERNET request, DWORD chunk, bool* ok = nullptr)
{
    std::string out;
    std::vector<char> buffer(chunk);
    for (;;)
    {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.data(), chunk, &read))
        {
            if (ok)
                *ok = false;
            return out;
        }
        if (read == 0)
            break;
        out.append(buffer.data(), read);
    }
    if (ok)
        *ok = true;
    return out;
}

TEST(WinInet, ReadsTheBodyInPiecesAndSendsTheRequestHeaders)
{
    LoopbackHttpServer server;
    server.SetReply({200, "0123456789abcdef", 0, false, false});
    Session session;
    HINTERNET request =
        session.Open(server.Url(L"/download/info.txt?Version=4.0.0.1"),
                     INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE | 0x1);
    ASSERT_NE(request, nullptr);
    bool ok = false;
    EXPECT_EQ(ReadAll(request, 5, &ok), "0123456789abcdef");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(InternetCloseHandle(request));
    EXPECT_FALSE(InternetCloseHandle(request));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET /download/info.txt?Version=4.0.0.1 HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(requests[0].find("User-Agent: Update check\r\n"), std::string::npos);
    EXPECT_NE(requests[0].find("Pragma: no-cache\r\n"), std::string::npos);
}

TEST(WinInet, ErrorStatusStillOpensWithItsBody)
{
    LoopbackHttpServer server;
    server.SetReply({404, "not here", 0, false, false});
    Session session;
    HINTERNET request = session.Open(server.Url(L"/missing"));
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(ReadAll(request, 64), "not here");
    InternetCloseHandle(request);
}

TEST(WinInet, OptionsTakeFourByteValuesOnSessionsOnly)
{
    Session session;
    DWORD value = 1000;
    std::uint64_t wide = 1000;
    EXPECT_FALSE(InternetSetOptionW(session.handle, INTERNET_OPTION_CONNECT_TIMEOUT, &wide, sizeof wide));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_BAD_OPTION_LENGTH);
    EXPECT_FALSE(InternetSetOptionW(session.handle, 99, &value, sizeof value));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_OPTION);
    EXPECT_FALSE(InternetSetOptionW(nullptr, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof value));
    DWORD read = 0;
    char byte = 0;
    EXPECT_FALSE(InternetReadFile(session.handle, &byte, 1, &read));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
}

TEST(WinInet, ReachesOnlyHttpAddresses)
{
    Session session;
    for (const wchar_t* url : {L"file:///etc/passwd", L"ftp://127.0.0.1/x", L"", L"127.0.0.1/x"})
    {
        EXPECT_EQ(session.Open(url), nullptr) << url;
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    }
    EXPECT_EQ(InternetOpenUrlW(session.handle, nullptr, nullptr, 0, 0, 0), nullptr);
}

TEST(WinInet, ClosedPortFailsAfterItsRetries)
{
    Session session;
    const std::wstring url =
        L"http://127.0.0.1:" + std::to_wstring(LoopbackHttpServer::ClosedPort()) + L"/download/info.txt";
    EXPECT_EQ(session.Open(url), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
}

TEST(WinInet, SilentServerTimesOut)
{
    LoopbackHttpServer server;
    server.SetReply({200, "", 0, true, false});
    Session session(300);
    EXPECT_EQ(session.Open(server.Url(L"/slow")), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
}

TEST(WinInet, BodyThatStopsHalfWayFailsTheReadThatNeedsTheRest)
{
    LoopbackHttpServer server;
    server.SetReply({200, "0123456789", 0, false, true});
    Session session(300);
    HINTERNET request = session.Open(server.Url(L"/half"));
    ASSERT_NE(request, nullptr);
    char buffer[16];
    DWORD read = 0;
    EXPECT_TRUE(InternetReadFile(request, buffer, 5, &read));
    EXPECT_EQ(read, 5u);
    EXPECT_FALSE(InternetReadFile(request, buffer, 5, &read));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
    InternetCloseHandle(request);
}

TEST(WinInet, OverlongBodyIsCutWithAFailureNotAQuietEnd)
{
    LoopbackHttpServer server;
    server.SetReply({200, std::string((1 << 20) + 100, 'x'), 0, false, false});
    Session session;
    HINTERNET request = session.Open(server.Url(L"/big"));
    ASSERT_NE(request, nullptr);
    bool ok = true;
    EXPECT_EQ(ReadAll(request, 65536, &ok).size(), std::size_t{1} << 20);
    EXPECT_FALSE(ok);
    InternetCloseHandle(request);
}

} // namespace
