// A loopback TCP proxy for fault tests: forwards both ways between the
// program and a server, and breaks a connection (both sides closed) at a
// chosen place in what the program sends, so a test sees the program's
// answer to a connection lost mid-command. Plain text only: the place is
// found in the program's bytes. One thread of its own, bounded in
// connections and time; ended by the destructor.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

class CuttingProxy {
public:
    // Forward through the end of the line that holds the pattern, then cut.
    static constexpr size_t kThroughLine = static_cast<size_t>(-1);

    explicit CuttingProxy(uint16_t targetPort)
        : m_targetPort(targetPort)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr = Loopback(0);
        socklen_t len = sizeof addr;
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
            || ::listen(m_listen, 16) != 0 || ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Loop(); });
    }
    ~CuttingProxy()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (Pipe& pipe : m_pipes)
            Close(pipe);
        if (m_listen >= 0)
            ::close(m_listen);
    }
    CuttingProxy(const CuttingProxy&) = delete;
    CuttingProxy& operator=(const CuttingProxy&) = delete;

    uint16_t Port() const { return m_port; }
    std::string Server() const { return "127.0.0.1:" + std::to_string(m_port); }

    // Arms one cut: in the first connection (opened from now on) whose bytes
    // from the program hold pattern, nAfter more bytes past it are forwarded
    // (kThroughLine: through that line's end), then both sides are closed.
    // Other connections pass untouched; arm again for another cut.
    void CutAt(const std::string& pattern, size_t nAfter = 0)
    {
        std::lock_guard lock(m_mutex);
        m_pattern = pattern;
        m_nAfter = nAfter;
    }
    int Cuts() const { return m_nCuts; }

private:
    struct Pipe {
        int client = -1;
        int server = -1;
        std::string seen; // the program's bytes while the pattern is looked for
        bool bArmed = false;
        std::string pattern;
        size_t nLeft = 0; // bytes still to forward once the pattern was found
        bool bFound = false;
        bool bThroughLine = false;
    };

    static sockaddr_in Loopback(uint16_t port)
    {
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return addr;
    }
    static void Close(Pipe& pipe)
    {
        for (int* fd : { &pipe.client, &pipe.server })
            if (*fd >= 0)
                ::close(*fd), *fd = -1;
    }
    static bool SendAll(int fd, const char* data, size_t n)
    {
        for (int tries = 0; n > 0 && tries < 1000; ++tries) {
            const ssize_t sent = ::send(fd, data, n, MSG_NOSIGNAL);
            if (sent < 0)
                return false;
            data += sent, n -= static_cast<size_t>(sent);
        }
        return n == 0;
    }

    void Accept()
    {
        Pipe pipe;
        pipe.client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        pipe.server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in target = Loopback(m_targetPort);
        if (pipe.client < 0 || pipe.server < 0 || m_pipes.size() >= 64
            || ::connect(pipe.server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
            Close(pipe);
            return;
        }
        std::lock_guard lock(m_mutex);
        if (!m_pattern.empty()) {
            pipe.bArmed = true, pipe.pattern = m_pattern;
            pipe.bThroughLine = m_nAfter == kThroughLine;
            pipe.nLeft = pipe.bThroughLine ? 0 : m_nAfter;
        }
        m_pipes.push_back(std::move(pipe));
    }

    // Of the n bytes the program sent, how many go on; *pCut when the connection ends after them.
    static size_t Allowed(Pipe& pipe, const char* data, size_t n, bool* pCut)
    {
        *pCut = false;
        for (size_t i = 0; pipe.bArmed && i < n; ++i) {
            if (!pipe.bFound) {
                pipe.seen += data[i];
                pipe.bFound = pipe.seen.ends_with(pipe.pattern);
                if (pipe.seen.size() > 4 * pipe.pattern.size())
                    pipe.seen.erase(0, pipe.seen.size() - pipe.pattern.size());
                *pCut = pipe.bFound && !pipe.bThroughLine && pipe.nLeft == 0;
            } else if (pipe.bThroughLine) {
                *pCut = data[i] == '\n';
            } else {
                *pCut = --pipe.nLeft == 0;
            }
            if (*pCut)
                return i + 1;
        }
        return n;
    }

    // False when the pipe is finished (a side closed, or the cut came).
    bool Forward(Pipe& pipe, bool bFromClient)
    {
        char buffer[16384];
        const ssize_t got = ::recv(bFromClient ? pipe.client : pipe.server, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        bool bCut = false;
        const size_t allowed
            = bFromClient ? Allowed(pipe, buffer, static_cast<size_t>(got), &bCut) : static_cast<size_t>(got);
        if (!SendAll(bFromClient ? pipe.server : pipe.client, buffer, allowed))
            return false;
        if (bCut) {
            ++m_nCuts;
            std::lock_guard lock(m_mutex);
            m_pattern.clear();
            for (Pipe& other : m_pipes)
                other.bArmed = false;
        }
        return !bCut;
    }

    void Loop()
    {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        while (!m_bStop && std::chrono::steady_clock::now() < tEnd) {
            std::vector<pollfd> fds { { m_listen, POLLIN, 0 } };
            for (const Pipe& pipe : m_pipes)
                fds.push_back({ pipe.client, POLLIN, 0 }), fds.push_back({ pipe.server, POLLIN, 0 });
            if (::poll(fds.data(), fds.size(), 50) <= 0)
                continue;
            if (fds[0].revents & POLLIN)
                Accept();
            for (size_t i = 0; i < m_pipes.size() && 1 + 2 * i < fds.size(); ++i) {
                bool bAlive = true;
                for (int side = 0; side < 2 && bAlive; ++side)
                    if (fds[1 + 2 * i + side].revents & (POLLIN | POLLHUP | POLLERR))
                        bAlive = Forward(m_pipes[i], side == 0);
                if (!bAlive)
                    Close(m_pipes[i]);
            }
            std::erase_if(m_pipes, [](const Pipe& pipe) { return pipe.client < 0; });
        }
    }

    uint16_t m_targetPort;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_bStop { false };
    std::atomic<int> m_nCuts { 0 };
    std::mutex m_mutex;
    std::string m_pattern;
    size_t m_nAfter = 0;
    std::vector<Pipe> m_pipes;
};

} // namespace test
