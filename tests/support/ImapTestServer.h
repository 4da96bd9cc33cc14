// A private Dovecot for the IMAP tests: its own configuration, run and state
// folders, log and mail folders under a TempDir, on free loopback ports (one
// implicit-TLS port like 993, one plain port offering STARTTLS), with a test
// certificate that the client trusts through SSL_CERT_FILE. Never the system
// service. Started in the constructor (bounded wait), ended in the destructor.
#pragma once

#include "tests/support/TestSupport.h"

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace test {

struct ImapTestServerOptions {
    // Dovecot's ssl setting: "yes" (STARTTLS offered, plain log-on refused
    // until TLS), "required", or "no" (no TLS at all, no TLS port, plain
    // log-on accepted: for the refusal and SetAllowPlain tests).
    std::string ssl = "yes";
    // Post-log-on capabilities: without MOVE for the refused claim, without
    // IDLE for the NOOP fallback.
    bool bMove = true;
    bool bIdle = true;
    // The namespace's hierarchy separator.
    char cSeparator = '/';
    // Appended to the configuration as it stands.
    std::string extraConfig;
};

class ImapTestServer {
public:
    using Users = std::vector<std::pair<std::string, std::string>>;

    using Options = ImapTestServerOptions;

    explicit ImapTestServer(
        const Users& users = { { "alice", "alice-pw" }, { "bob", "bob-pw" } }, const Options& options = {});
    ~ImapTestServer();
    ImapTestServer(const ImapTestServer&) = delete;
    ImapTestServer& operator=(const ImapTestServer&) = delete;

    // False when Dovecot did not come up; Log() says why.
    bool IsRunning() const { return m_bRunning; }
    // "127.0.0.1:port" of the implicit-TLS port and of the plain (STARTTLS) port.
    std::string TlsServer() const { return "127.0.0.1:" + std::to_string(m_nTlsPort); }
    std::string PlainServer() const { return "127.0.0.1:" + std::to_string(m_nPlainPort); }
    int TlsPort() const { return m_nTlsPort; }
    int PlainPort() const { return m_nPlainPort; }
    // The certificate alone, for SSL_CERT_FILE.
    std::string CertFile() const { return m_dir.File("server.crt"); }
    // A user's maildir (owned by the mail user).
    std::string Maildir(const std::string& user) const { return m_dir.File("mail/" + user + "/Maildir"); }
    std::string Log() const;
    // doveadm against this instance (arguments as shell words): mail changed
    // behind the clients' backs, e.g. "flags add -u pool '$Kw' mailbox P uid 3".
    int Doveadm(const std::string& args, std::string* pOut = nullptr) const;

    // A free loopback port (bound and released; the usual small race).
    static int FreePort();

private:
    bool Start(const Users& users, const Options& options);
    void Stop();

    TempDir m_dir;
    pid_t m_pid = 0;
    int m_nTlsPort = 0;
    int m_nPlainPort = 0;
    bool m_bRunning = false;
};

// SSL_CERT_FILE set to the server's certificate for the life of the object.
class TrustCertificate {
public:
    explicit TrustCertificate(const std::string& certFile);
    ~TrustCertificate();

private:
    std::string m_saved;
    bool m_bHadValue = false;
};

} // namespace test
