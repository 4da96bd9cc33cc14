#include "tests/support/ImapTestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace test {

namespace {

// Reads the plain port's greeting: Dovecot is usable once it names itself
// ready (before its auth process is up it says "Waiting for authentication").
bool Greets(int nPort)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool bReady = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::string got;
        char buf[512];
        for (int i = 0; i < 20 && !bReady; ++i) {
            pollfd pfd { fd, POLLIN, 0 };
            if (::poll(&pfd, 1, 100) <= 0)
                continue;
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, static_cast<size_t>(n));
            bReady = got.find("ready.") != std::string::npos;
        }
    }
    ::close(fd);
    return bReady;
}

std::string UserName(uid_t uid)
{
    const passwd* pw = ::getpwuid(uid);
    return pw ? pw->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid)
{
    const group* gr = ::getgrgid(gid);
    return gr ? gr->gr_name : std::to_string(gid);
}

} // namespace

ImapTestServer::ImapTestServer(const Users& users, const Options& options)
{
    // A port taken between FreePort and Dovecot's bind costs a second try.
    for (int nTry = 0; nTry < 3 && !m_bRunning; ++nTry)
        m_bRunning = Start(users, options);
}

ImapTestServer::~ImapTestServer()
{
    Stop();
}

int ImapTestServer::FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int nPort = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        nPort = ntohs(addr.sin_port);
    ::close(fd);
    return nPort;
}

std::string ImapTestServer::Log() const
{
    return ReadFileText(m_dir.File("log")) + ReadFileText(m_dir.File("out"));
}

int ImapTestServer::Doveadm(const std::string& args, std::string* pOut) const
{
    return RunShell("doveadm -c " + ShellQuote(m_dir.File("dovecot.conf")) + " " + args + " 2>&1", pOut);
}

bool ImapTestServer::Start(const Users& users, const Options& options)
{
    Stop();
    if (MakeTestCertificate(m_dir, "server", "IP:127.0.0.1,DNS:localhost").empty())
        return false;
    m_nPlainPort = FreePort();
    m_nTlsPort = FreePort();
    const bool bTls = options.ssl != "no";

    // Dovecot will not run its login processes, nor open mail, as root: a root
    // test run hands those to Dovecot's own users and the mail to nobody.
    const bool bRoot = ::geteuid() == 0;
    uid_t mailUid = ::getuid();
    gid_t mailGid = ::getgid();
    std::string internalUser = UserName(::getuid()), loginUser = internalUser, internalGroup = GroupName(::getgid());
    if (bRoot) {
        const passwd* nobody = ::getpwnam("nobody");
        mailUid = nobody ? nobody->pw_uid : 65534;
        mailGid = nobody ? nobody->pw_gid : 65534;
        internalUser = ::getpwnam("dovecot") ? "dovecot" : "nobody";
        loginUser = ::getpwnam("dovenull") ? "dovenull" : "nobody";
        internalGroup = GroupName(::getpwnam(internalUser.c_str())->pw_gid);
        ::chmod(m_dir.Path().c_str(), 0711); // the mail user walks through to its folder
    }
    const std::string mail = m_dir.File("mail");
    ::mkdir(mail.c_str(), 0700);
    ::mkdir(m_dir.File("run").c_str(), 0755);
    ::mkdir(m_dir.File("state").c_str(), 0700);
    if (bRoot && ::chown(mail.c_str(), mailUid, mailGid) != 0)
        return false;

    std::ostringstream passwd;
    for (const auto& [user, password] : users)
        passwd << user << ":{PLAIN}" << password << ":" << mailUid << ":" << mailGid << "::" << mail << "/" << user
               << "\n";
    WriteFileText(m_dir.File("passwd"), passwd.str());

    std::string capabilities = "IMAP4rev1 SASL-IR LOGIN-REFERRALS ID ENABLE SORT UNSELECT CHILDREN NAMESPACE UIDPLUS "
                               "LIST-EXTENDED I18NLEVEL=1 CONDSTORE ESEARCH LITERAL+";
    if (options.bIdle)
        capabilities += " IDLE";
    if (options.bMove)
        capabilities += " MOVE";

    std::ostringstream conf;
    conf << "protocols = imap\n"
         << "listen = 127.0.0.1\n"
         << "base_dir = " << m_dir.File("run") << "\n"
         << "state_dir = " << m_dir.File("state") << "\n"
         << "log_path = " << m_dir.File("log") << "\n"
         << "info_log_path = " << m_dir.File("log") << "\n"
         << "instance_name = tavrine-test-" << m_nPlainPort << "\n"
         << "default_internal_user = " << internalUser << "\n"
         << "default_internal_group = " << internalGroup << "\n"
         << "default_login_user = " << loginUser << "\n"
         << "first_valid_uid = 1\n"
         << "ssl = " << options.ssl << "\n";
    if (bTls)
        conf << "ssl_cert = <" << m_dir.File("server.crt") << "\n"
             << "ssl_key = <" << m_dir.File("server.key") << "\n"
             << "disable_plaintext_auth = yes\n";
    else
        conf << "disable_plaintext_auth = no\n";
    conf << "auth_mechanisms = plain login\n"
         << "auth_failure_delay = 0\n"
         << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " << m_dir.File("passwd") << "\n}\n"
         << "userdb {\n  driver = passwd-file\n  args = " << m_dir.File("passwd") << "\n}\n"
         << "mail_location = maildir:~/Maildir\n"
         << "mail_fsync = never\n"
         << "mail_max_userip_connections = 1000\n"
         << "mailbox_idle_check_interval = 1 secs\n"
         << "imap_capability = " << capabilities << "\n"
         << "namespace inbox {\n  inbox = yes\n  separator = " << options.cSeparator << "\n}\n"
         << "service imap-login {\n  chroot =\n  inet_listener imap {\n    address = 127.0.0.1\n    port = "
         << m_nPlainPort
         << "\n  }\n  inet_listener imaps {\n    address = 127.0.0.1\n    port = " << (bTls ? m_nTlsPort : 0)
         << "\n    ssl = yes\n  }\n}\n"
         << "service anvil {\n  chroot =\n}\n"
         << "service imap {\n  process_limit = 200\n}\n"
         << options.extraConfig << "\n";
    if (!bTls)
        m_nTlsPort = 0;
    WriteFileText(m_dir.File("dovecot.conf"), conf.str());

    const std::string confPath = m_dir.File("dovecot.conf"), outPath = m_dir.File("out");
    m_pid = ::fork();
    if (m_pid == 0) {
        const int fd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execl("/usr/sbin/dovecot", "dovecot", "-F", "-c", confPath.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (m_pid < 0) {
        m_pid = 0;
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) { // it gave up: a port taken, or a bad setting
            m_pid = 0;
            return false;
        }
        if (Greets(m_nPlainPort))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop();
    return false;
}

void ImapTestServer::Stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 200; ++i) { // up to 10 s, then no more asking
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = 0;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = 0;
}

TrustCertificate::TrustCertificate(const std::string& certFile)
{
    if (const char* szOld = std::getenv("SSL_CERT_FILE")) {
        m_saved = szOld;
        m_bHadValue = true;
    }
    ::setenv("SSL_CERT_FILE", certFile.c_str(), 1);
}

TrustCertificate::~TrustCertificate()
{
    if (m_bHadValue)
        ::setenv("SSL_CERT_FILE", m_saved.c_str(), 1);
    else
        ::unsetenv("SSL_CERT_FILE");
}

} // namespace test
