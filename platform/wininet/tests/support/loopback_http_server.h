// A tiny HTTP server on 127.0.0.1 for tests: one thread, one connection at
// a time, answering every request with the reply it is set to, and keeping
// the requests it received. Header-only so that every folder's tests can use it.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vtl_test
{

class LoopbackHttpServer
{
public:
    struct Reply
    {
        int status = 200;
        std::string body;
        int delayMs = 0;     // before the answer is sent
        bool stall = false;  // never answer; hold the connection until the server stops
        bool bodyStalls = false; // send the header and half the body, then hold
    };

    LoopbackHttpServer()
    {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        int yes = 1;
        setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        listen(m_listen, 16);
        m_thread = std::thread([this] { Serve(); });
    }

    ~LoopbackHttpServer()
    {
        m_stop.store(true);
        m_thread.join();
        close(m_listen);
    }

    void SetReply(const Reply& reply)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_reply = reply;
    }

    // "http://127.0.0.1:<port>" followed by the path.
    std::wstring Url(const std::wstring& path) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + path;
    }

    // The head of every request received (request line and headers).
    std::vector<std::string> Requests() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_requests;
    }

    // A port on which nothing listens. The socket that found it stays bound,
    // never listening, for the life of the process: a port merely let go could
    // be handed to the next server bound anywhere on the machine (this
    // binary's or a test running beside it), which would then answer.
    static std::uint16_t ClosedPort()
    {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }

private:
    // Waits for the socket to be readable, looking at the stop flag every 20 ms.
    bool WaitReadable(int fd) const
    {
        while (!m_stop.load())
        {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) > 0)
                return true;
        }
        return false;
    }

    void HoldUntilStopped() const
    {
        while (!m_stop.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    static void SendAll(int fd, const std::string& bytes)
    {
        std::size_t sent = 0;
        while (sent < bytes.size())
        {
            const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += static_cast<std::size_t>(n);
        }
    }

    void Serve()
    {
        while (WaitReadable(m_listen))
        {
            const int client = accept(m_listen, nullptr, nullptr);
            if (client < 0)
                continue;
            std::string head;
            char chunk[4096];
            while (head.find("\r\n\r\n") == std::string::npos && WaitReadable(client))
            {
                const ssize_t n = recv(client, chunk, sizeof chunk, 0);
                if (n <= 0)
                    break;
                head.append(chunk, static_cast<std::size_t>(n));
            }
            Reply reply;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_requests.push_back(head);
                reply = m_reply;
            }
            if (reply.stall)
                HoldUntilStopped();
            else
            {
                if (reply.delayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
                const std::string header = "HTTP/1.1 " + std::to_string(reply.status) +
                                           " X\r\nContent-Type: text/plain\r\nContent-Length: " +
                                           std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
                if (reply.bodyStalls)
                {
                    SendAll(client, header + reply.body.substr(0, reply.body.size() / 2));
                    HoldUntilStopped();
                }
                else
                    SendAll(client, header + reply.body);
            }
            close(client);
        }
    }

    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    Reply m_reply;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace vtl_test
