// A TCP connection for the mail client, with TLS when asked for: a
// non-blocking POSIX socket whose every wait (name lookup included) is a slice
// of at most 200 ms, between which the caller's stop test runs, so a stop
// request ends any operation within a slice. TLS is OpenSSL's, the server's
// certificate verified against the system's trust store (SSL_CERT_FILE and
// SSL_CERT_DIR are honoured) and the host name; there is no way to switch the
// verification off. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class LIPSocket {
public:
    // Results of every Process operation.
    enum : int { kDone = 0, kStopped = 1, kFailed = 2 };
    static constexpr uint32_t kSliceMs = 200;

    // True when the operation should stop; asked between slices.
    using StopTest = std::function<bool()>;

    explicit LIPSocket(StopTest stop = {});
    ~LIPSocket();
    LIPSocket(const LIPSocket&) = delete;
    LIPSocket& operator=(const LIPSocket&) = delete;

    // Closes any earlier connection, resolves the host (a numeric address or
    // a name; every address is tried in turn until the time-out) and connects.
    int ProcessConnect(const std::string& host, uint16_t uPort, uint32_t timeoutMs, bool bNoDelay);
    // Takes over a connected socket (tests, fuzzing); it is made non-blocking.
    void Attach(int fd);
    // Starts TLS on the connection; host is the name the certificate must
    // carry (a name, or a numeric address matched against its IP entries).
    // A certificate that does not verify fails; CertificateRejected() tells.
    int ProcessStartTls(const std::string& host, uint32_t timeoutMs);
    // Sends every byte; the time-out counts the waits for room.
    int ProcessSend(const void* pData, size_t nBytes, uint32_t timeoutMs);
    // Waits until data is there and receives at most nCapacity bytes. A peer
    // that closed gives kFailed.
    int ProcessRecvReady(void* pBuffer, size_t nCapacity, uint32_t timeoutMs, size_t* pnReceived);
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    bool IsTls() const;
    // The connected peer is this machine (127.0.0.0/8, ::1).
    bool IsPeerLoopback() const;
    // Why the last operation failed, in words for a message ("Connection
    // refused", "certificate has expired").
    const std::string& LastError() const { return m_error; }
    bool CertificateRejected() const { return m_bCertRejected; }

private:
    struct Tls;
    // Waits for the socket to become readable or writable (events as poll's)
    // in slices: kDone when it did, kStopped, or kFailed at the deadline.
    int WaitFor(short events, uint64_t deadlineMs);
    int Fail(const std::string& why);
    bool Stopping() const { return m_stop && m_stop(); }

    StopTest m_stop;
    int m_fd = -1;
    std::unique_ptr<Tls> m_tls;
    std::string m_error;
    bool m_bCertRejected = false;
};

// Buffered reading of text lines from a connection: what arrived after the
// line asked for stays for the next read.
class LIPSocketStream {
public:
    explicit LIPSocketStream(LIPSocket& socket)
        : m_socket(socket)
    {
    }

    // Reads one line up to its line feed, keeping at most nKeep characters of
    // it (the rest is read and dropped) without the line end ("\r\n" or
    // "\n"). The time-out covers the whole line.
    int ProcessReadLine(std::string* pLine, size_t nKeep, uint32_t timeoutMs);
    // Drops what was received but not yet read; returns how many bytes. Data
    // sent before TLS starts must never be read as if it came through TLS.
    size_t DiscardBuffered();
    LIPSocket& Socket() { return m_socket; }

private:
    LIPSocket& m_socket;
    std::string m_buffer;
    size_t m_nRead = 0;
};
