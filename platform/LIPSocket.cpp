#include "platform/LIPSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/provider.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

uint64_t NowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

// OpenSSL writes to the socket with write(), which raises SIGPIPE when the
// peer has gone; the signal is held back on this thread for the call and a
// pending one taken away, so a closed connection is an error, not an exit.
class SigPipeGuard {
public:
    SigPipeGuard()
    {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_bWasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe, &m_old);
    }
    ~SigPipeGuard()
    {
        if (!m_bWasPending) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            timespec zero {};
            while (sigtimedwait(&pipe, nullptr, &zero) > 0) { }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }

private:
    sigset_t m_old;
    bool m_bWasPending = false;
};

std::string SslErrorText()
{
    unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0)
        return "the connection was closed";
    char sz[256];
    ERR_error_string_n(e, sz, sizeof sz);
    return sz;
}

// A library context of the client's own with the default provider, so that
// what other code of the process loads into OpenSSL's default context (the
// legacy provider for Blowfish, which then stands alone) never leaves TLS
// without ciphers.
OSSL_LIB_CTX* TlsLibrary()
{
    static OSSL_LIB_CTX* pLibrary = [] {
        OSSL_LIB_CTX* p = OSSL_LIB_CTX_new();
        if (p && !OSSL_PROVIDER_load(p, "default")) {
            OSSL_LIB_CTX_free(p);
            p = nullptr;
        }
        return p;
    }();
    return pLibrary;
}

} // namespace

struct LIPSocket::Tls {
    SSL_CTX* pCtx = nullptr;
    SSL* pSsl = nullptr;
    ~Tls()
    {
        if (pSsl)
            SSL_free(pSsl);
        if (pCtx)
            SSL_CTX_free(pCtx);
    }
};

LIPSocket::LIPSocket(StopTest stop)
    : m_stop(std::move(stop))
{
}

LIPSocket::~LIPSocket()
{
    Close();
}

bool LIPSocket::IsTls() const
{
    return m_tls && m_tls->pSsl;
}

int LIPSocket::Fail(const std::string& why)
{
    m_error = why;
    return kFailed;
}

void LIPSocket::Close()
{
    if (m_tls && m_tls->pSsl && m_fd >= 0) {
        SigPipeGuard guard;
        ERR_clear_error();
        SSL_shutdown(m_tls->pSsl); // one try: the socket is non-blocking
        // The queue is the thread's: what a failed shutdown left there would
        // be read as the failure of another connection's next read.
        ERR_clear_error();
    }
    m_tls.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void LIPSocket::Attach(int fd)
{
    Close();
    m_fd = fd;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
}

int LIPSocket::WaitFor(short events, uint64_t deadlineMs)
{
    for (;;) {
        if (Stopping())
            return kStopped;
        uint64_t now = NowMs();
        if (now >= deadlineMs)
            return Fail("the server did not answer in time");
        uint64_t nSlice = deadlineMs - now < kSliceMs ? deadlineMs - now : kSliceMs;
        pollfd p { m_fd, events, 0 };
        int n = ::poll(&p, 1, static_cast<int>(nSlice));
        if (n < 0 && errno != EINTR)
            return Fail(std::strerror(errno));
        if (n > 0)
            return kDone;
    }
}

int LIPSocket::ProcessConnect(const std::string& host, uint16_t uPort, uint32_t timeoutMs, bool bNoDelay)
{
    Close();
    m_error.clear();
    m_bCertRejected = false;
    uint64_t deadline = NowMs() + timeoutMs;
    if (host.empty())
        return Fail("no server was named");

    // The lookup runs on a thread of its own, so that a slow name server is
    // waited for in slices and a stop is heard. An abandoned lookup keeps its
    // thread until the resolver answers; the last of the two frees the state.
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool bDone = false;
        int nError = 0;
        addrinfo* pResult = nullptr;
        ~Lookup()
        {
            if (pResult)
                freeaddrinfo(pResult);
        }
    };
    auto pLookup = std::make_shared<Lookup>();
    try {
        std::thread([pLookup, host, service = std::to_string(uPort)] {
            addrinfo hints {};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* pResult = nullptr;
            int nError = getaddrinfo(host.c_str(), service.c_str(), &hints, &pResult);
            std::lock_guard lock(pLookup->mutex);
            pLookup->nError = nError;
            pLookup->pResult = pResult;
            pLookup->bDone = true;
            pLookup->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return Fail("the name could not be looked up");
    }
    int nResult = kDone;
    addrinfo* pList = nullptr;
    {
        std::unique_lock lock(pLookup->mutex);
        while (!pLookup->bDone) {
            if (Stopping())
                return kStopped;
            if (NowMs() >= deadline)
                return Fail("the name could not be looked up in time");
            pLookup->done.wait_for(lock, std::chrono::milliseconds(kSliceMs));
        }
        if (pLookup->nError != 0)
            nResult = Fail(gai_strerror(pLookup->nError));
        pList = pLookup->pResult;
    }

    for (addrinfo* p = pList; p && nResult == kDone; p = p->ai_next) {
        m_fd = ::socket(p->ai_family, p->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, p->ai_protocol);
        if (m_fd < 0) {
            nResult = Fail(std::strerror(errno));
            continue;
        }
        if (bNoDelay) {
            int one = 1;
            ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        }
        int nConnect = ::connect(m_fd, p->ai_addr, p->ai_addrlen);
        int nErr = nConnect == 0 ? 0 : errno;
        if (nConnect != 0 && errno == EINPROGRESS) {
            int nWait = WaitFor(POLLOUT, deadline);
            if (nWait != kDone) {
                nResult = nWait;
                break;
            }
            socklen_t len = sizeof nErr;
            ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &nErr, &len);
        }
        if (nErr == 0)
            break;
        nResult = Fail(std::strerror(nErr));
        ::close(m_fd);
        m_fd = -1;
        if (p->ai_next)
            nResult = kDone; // the next address may answer
    }
    if (nResult == kDone && m_fd < 0)
        nResult = Fail(m_error.empty() ? "the name has no address" : m_error);
    if (nResult != kDone)
        Close();
    return nResult;
}

int LIPSocket::ProcessStartTls(const std::string& host, uint32_t timeoutMs)
{
    uint64_t deadline = NowMs() + timeoutMs;
    m_bCertRejected = false;
    if (m_fd < 0)
        return Fail("not connected");
    m_tls = std::make_unique<Tls>();
    m_tls->pCtx = TlsLibrary() ? SSL_CTX_new_ex(TlsLibrary(), nullptr, TLS_client_method()) : nullptr;
    if (!m_tls->pCtx)
        return Fail(SslErrorText());
    SSL_CTX_set_min_proto_version(m_tls->pCtx, TLS1_2_VERSION);
    if (SSL_CTX_set_default_verify_paths(m_tls->pCtx) != 1)
        return Fail("the system's trusted certificates could not be read");
    SSL_CTX_set_verify(m_tls->pCtx, SSL_VERIFY_PEER, nullptr);
    m_tls->pSsl = SSL_new(m_tls->pCtx);
    if (!m_tls->pSsl)
        return Fail(SslErrorText());
    SSL_set_mode(m_tls->pSsl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_set_fd(m_tls->pSsl, m_fd);
    in6_addr addr6;
    in_addr addr4;
    bool bNumeric = inet_pton(AF_INET, host.c_str(), &addr4) == 1 || inet_pton(AF_INET6, host.c_str(), &addr6) == 1;
    if (bNumeric) {
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_tls->pSsl), host.c_str()) != 1)
            return Fail("the address cannot be checked against a certificate");
    } else {
        SSL_set_tlsext_host_name(m_tls->pSsl, host.c_str());
        SSL_set_hostflags(m_tls->pSsl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (SSL_set1_host(m_tls->pSsl, host.c_str()) != 1)
            return Fail("the name cannot be checked against a certificate");
    }
    for (;;) {
        int n;
        {
            SigPipeGuard guard;
            ERR_clear_error(); // SSL_get_error reads the thread's whole queue
            n = SSL_connect(m_tls->pSsl);
        }
        if (n == 1)
            return kDone;
        int nErr = SSL_get_error(m_tls->pSsl, n);
        if (nErr == SSL_ERROR_WANT_READ || nErr == SSL_ERROR_WANT_WRITE) {
            int nWait = WaitFor(nErr == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline);
            if (nWait != kDone)
                return nWait;
            continue;
        }
        long nVerify = SSL_get_verify_result(m_tls->pSsl);
        if (nVerify != X509_V_OK) {
            m_bCertRejected = true;
            ERR_clear_error();
            return Fail(X509_verify_cert_error_string(nVerify));
        }
        return Fail(SslErrorText());
    }
}

int LIPSocket::ProcessSend(const void* pData, size_t nBytes, uint32_t timeoutMs)
{
    uint64_t deadline = NowMs() + timeoutMs;
    const char* p = static_cast<const char*>(pData);
    // Large pieces: each call hands the kernel (or a TLS record) as much as
    // fits, which keeps a 20 MB attachment from costing a call per line.
    constexpr size_t kPiece = 65536;
    while (nBytes > 0) {
        if (m_fd < 0)
            return Fail("not connected");
        if (Stopping())
            return kStopped;
        size_t nTry = nBytes < kPiece ? nBytes : kPiece;
        ssize_t nSent;
        short wait = POLLOUT;
        if (IsTls()) {
            SigPipeGuard guard;
            ERR_clear_error();
            int n = SSL_write(m_tls->pSsl, p, static_cast<int>(nTry));
            nSent = n;
            if (n <= 0) {
                int nErr = SSL_get_error(m_tls->pSsl, n);
                if (nErr != SSL_ERROR_WANT_WRITE && nErr != SSL_ERROR_WANT_READ)
                    return Fail(SslErrorText());
                wait = nErr == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
                nSent = 0;
            }
        } else {
            nSent = ::send(m_fd, p, nTry, MSG_NOSIGNAL);
            if (nSent < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    return Fail(std::strerror(errno));
                nSent = 0;
            }
        }
        p += nSent;
        nBytes -= static_cast<size_t>(nSent);
        if (nBytes > 0 && static_cast<size_t>(nSent) < nTry) {
            int nWait = WaitFor(wait, deadline);
            if (nWait != kDone)
                return nWait;
        }
    }
    return kDone;
}

int LIPSocket::ProcessRecvReady(void* pBuffer, size_t nCapacity, uint32_t timeoutMs, size_t* pnReceived)
{
    uint64_t deadline = NowMs() + timeoutMs;
    *pnReceived = 0;
    for (;;) {
        if (m_fd < 0)
            return Fail("not connected");
        short wait = POLLIN;
        if (IsTls()) {
            ERR_clear_error();
            int n = SSL_read(m_tls->pSsl, pBuffer, static_cast<int>(nCapacity));
            if (n > 0) {
                *pnReceived = static_cast<size_t>(n);
                return kDone;
            }
            int nErr = SSL_get_error(m_tls->pSsl, n);
            if (nErr != SSL_ERROR_WANT_READ && nErr != SSL_ERROR_WANT_WRITE)
                return Fail(nErr == SSL_ERROR_ZERO_RETURN ? "the server closed the connection" : SslErrorText());
            wait = nErr == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
        } else {
            ssize_t n = ::recv(m_fd, pBuffer, nCapacity, 0);
            if (n > 0) {
                *pnReceived = static_cast<size_t>(n);
                return kDone;
            }
            if (n == 0)
                return Fail("the server closed the connection");
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return Fail(std::strerror(errno));
        }
        int nWait = WaitFor(wait, deadline);
        if (nWait != kDone)
            return nWait;
    }
}

bool LIPSocket::IsPeerLoopback() const
{
    sockaddr_storage addr {};
    socklen_t len = sizeof addr;
    if (m_fd < 0 || ::getpeername(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return false;
    if (addr.ss_family == AF_INET) {
        uint32_t a = ntohl(reinterpret_cast<sockaddr_in*>(&addr)->sin_addr.s_addr);
        return (a >> 24) == 127;
    }
    if (addr.ss_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<sockaddr_in6*>(&addr)->sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&a))
            return true;
        return IN6_IS_ADDR_V4MAPPED(&a) && a.s6_addr[12] == 127;
    }
    return false;
}

int LIPSocketStream::ProcessReadLine(std::string* pLine, size_t nKeep, uint32_t timeoutMs)
{
    uint64_t deadline = NowMs() + timeoutMs;
    pLine->clear();
    size_t nTotal = 0;
    for (;;) {
        size_t nEnd = m_buffer.find('\n', m_nRead);
        size_t nTake = (nEnd == std::string::npos ? m_buffer.size() : nEnd) - m_nRead;
        if (pLine->size() < nKeep)
            pLine->append(m_buffer, m_nRead, nTake < nKeep - pLine->size() ? nTake : nKeep - pLine->size());
        nTotal += nTake;
        if (nEnd != std::string::npos) {
            m_nRead = nEnd + 1;
            if (pLine->size() == nTotal && !pLine->empty() && pLine->back() == '\r')
                pLine->pop_back();
            return LIPSocket::kDone;
        }
        m_buffer.clear();
        m_nRead = 0;
        uint64_t now = NowMs();
        if (now >= deadline)
            return LIPSocket::kFailed;
        char chunk[512];
        size_t n = 0;
        int nResult = m_socket.ProcessRecvReady(chunk, sizeof chunk, static_cast<uint32_t>(deadline - now), &n);
        if (nResult != LIPSocket::kDone)
            return nResult;
        m_buffer.assign(chunk, n);
    }
}

size_t LIPSocketStream::DiscardBuffered()
{
    size_t n = m_buffer.size() - m_nRead;
    m_buffer.clear();
    m_nRead = 0;
    return n;
}
