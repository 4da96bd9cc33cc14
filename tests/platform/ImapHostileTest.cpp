// The IMAP client against a scripted server that answers one command with
// hostile bytes: each ends in a clear error, the client hanging up long
// before the server's stream ends; folder names that do not decode are left out.
#include "platform/LImapClient.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

using Imap = LImapClient;

// A loopback thread: greets, answers log-on, CAPABILITY, LIST "" "" and
// SELECT as a server would, and the command starting with trigger with head,
// then repeated over and over (up to nStreamBytes), then tail ("%T" is the tag).
class ScriptedServer {
public:
    ScriptedServer(std::string trigger, std::string head, std::string repeated, size_t nStreamBytes, std::string tail)
        : m_trigger(std::move(trigger))
        , m_head(std::move(head))
        , m_repeated(std::move(repeated))
        , m_tail(std::move(tail))
        , m_nStreamBytes(nStreamBytes)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        EXPECT_EQ(::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::listen(m_listen, 1);
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_nPort = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedServer()
    {
        m_bStop = true;
        m_thread.join();
        ::close(m_listen);
    }
    std::string Server() const { return "127.0.0.1:" + std::to_string(m_nPort); }
    size_t Sent() const { return m_nSent; }

private:
    bool Write(int fd, std::string_view bytes)
    {
        for (int nIdle = 0; !bytes.empty() && !m_bStop && nIdle < 300;) { // 30 s of no room at most
            pollfd pfd { fd, POLLOUT, 0 };
            if (::poll(&pfd, 1, 100) <= 0) {
                ++nIdle;
                continue;
            }
            const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            m_nSent += static_cast<size_t>(n);
            bytes.remove_prefix(static_cast<size_t>(n));
        }
        return bytes.empty();
    }

    void Serve()
    {
        pollfd pfd { m_listen, POLLIN, 0 };
        if (::poll(&pfd, 1, 10000) <= 0)
            return;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        std::string in;
        bool bOpen = Write(fd, "* OK [CAPABILITY IMAP4rev1 MOVE AUTH=PLAIN] scripted\r\n");
        for (int nIdle = 0; bOpen && !m_bStop && nIdle < 300;) {
            const size_t nFeed = in.find('\n');
            if (nFeed == std::string::npos) {
                pollfd rfd { fd, POLLIN, 0 };
                char buf[4096];
                if (::poll(&rfd, 1, 100) <= 0) {
                    ++nIdle;
                    continue;
                }
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                bOpen = n > 0;
                in.append(buf, std::max<ssize_t>(n, 0));
                continue;
            }
            const std::string line = in.substr(0, nFeed);
            in.erase(0, nFeed + 1);
            const std::string tag = line.substr(0, line.find(' '));
            const std::string command = line.substr(std::min(line.find(' ') + 1, line.size()));
            if (command.rfind(m_trigger, 0) == 0) {
                bOpen = Write(fd, m_head);
                for (size_t n = 0; bOpen && !m_repeated.empty() && n < m_nStreamBytes; n += m_repeated.size())
                    bOpen = Write(fd, m_repeated);
                std::string tail = m_tail;
                if (const size_t nAt = tail.find("%T"); nAt != std::string::npos)
                    tail.replace(nAt, 2, tag);
                bOpen = bOpen && Write(fd, tail);
            } else if (command.rfind("CAPABILITY", 0) == 0) {
                bOpen = Write(fd, "* CAPABILITY IMAP4rev1 MOVE\r\n" + tag + " OK done\r\n");
            } else if (command.rfind("LIST \"\" \"\"", 0) == 0) {
                bOpen = Write(fd, "* LIST (\\Noselect) \"/\" \"\"\r\n" + tag + " OK done\r\n");
            } else if (command.rfind("SELECT", 0) == 0) {
                bOpen = Write(fd, "* 1 EXISTS\r\n* OK [UIDVALIDITY 7] ok\r\n" + tag + " OK [READ-WRITE] done\r\n");
            } else {
                bOpen = Write(fd, tag + " OK done\r\n");
            }
        }
        ::close(fd);
    }

    std::string m_trigger, m_head, m_repeated, m_tail;
    size_t m_nStreamBytes;
    int m_listen = -1;
    int m_nPort = 0;
    std::thread m_thread;
    std::atomic<bool> m_bStop { false };
    std::atomic<size_t> m_nSent { 0 };
};

struct HostileCase {
    const char* name;
    const char* head;
    const char* repeated;
    size_t nStreamBytes;
    Imap::Error error;
};

class ImapHostile : public ::testing::TestWithParam<HostileCase> { };

constexpr size_t kStream = 64 << 20;

const HostileCase kCases[] = {
    { "HugeLiteral", "* 1 FETCH (UID 1 BODY[] {99999999999}\r\n", "x", 1 << 20, Imap::Error::TooLarge },
    { "LiteralPastBound", "* 1 FETCH (UID 1 BODY[] {5000000}\r\n", "x", 0, Imap::Error::TooLarge },
    { "LiteralNeverEnds", "* 1 FETCH (UID 1 BODY[] {500000}\r\n", "x", 1000, Imap::Error::TimedOut },
    { "EndlessLine", "* 1 FETCH (UID 1 X ", "aaaaaaaaaaaaaaaa", kStream, Imap::Error::TooLarge },
    { "UntaggedFlood", "", "* 1 EXISTS\r\n", kStream, Imap::Error::TooLarge },
    { "DeepLists", "* 1 FETCH ((((((((((((((((((((((((((((((((\r\n", "", 0, Imap::Error::TooLarge },
    { "NotImap", "HTTP/1.1 400 Bad Request\r\n\r\n", "", 0, Imap::Error::BadReply },
    { "Unterminated quote", "* 1 FETCH (UID 1 BODY[] \"abc\r\n", "", 0, Imap::Error::BadReply },
};

TEST_P(ImapHostile, ClearErrorEarly)
{
    const HostileCase& c = GetParam();
    ScriptedServer server("UID FETCH", c.head, c.repeated, c.nStreamBytes, "");
    Imap imap;
    Imap::Options options;
    options.commandMs = 1500;
    options.maxMessageBytes = 1 << 20;
    options.maxLineBytes = 64 << 10;
    options.maxItems = 100;
    imap.SetOptions(options);
    imap.SetAllowPlain(true);
    ASSERT_TRUE(imap.LogOn(server.Server(), "ann", "pw")) << imap.GetLastErrorText();
    ASSERT_TRUE(imap.Select("P")) << imap.GetLastErrorText();
    std::string message;
    EXPECT_FALSE(imap.FetchMessage(1, &message));
    EXPECT_EQ(imap.GetLastError(), c.error) << imap.GetLastErrorText();
    EXPECT_FALSE(imap.GetLastErrorText().empty());
    EXPECT_FALSE(imap.IsLoggedOn()); // the stream's place is lost: the session ends
    if (c.nStreamBytes == kStream) {
        EXPECT_LT(server.Sent(), kStream / 4);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripted, ImapHostile, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.name;
    name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
    return name;
});

// Names a server lists that do not decode as modified UTF-7, or that hold our
// '/' in a level, are left out; the rest are decoded.
TEST(ImapHostileNames, BadFolderNamesLeftOut)
{
    ScriptedServer server("LIST \"\" \"P/*\"",
        "* LIST () \"/\" \"P/&AOQ-\"\r\n" // ä
        "* LIST () \"/\" \"P/&Jjo\"\r\n" // an unterminated shift
        "* LIST () \"/\" \"P/&AGE-\"\r\n" // 'a' needlessly shifted
        "* LIST () \"/\" \"P/&2D0-\"\r\n" // a lone surrogate
        "* LIST () \"/\" \"P/&2D3eAA-\"\r\n" // a pair
        "* LIST () \"/\" \"P/&AC8-x\"\r\n" // '/' shifted, as if inside a level
        "* LIST () \"/\" \"P/&Jj\x01-\"\r\n" // a control character
        "* LIST () \"/\" {5}\r\nP/a&-\r\n",
        "", 0, "%T OK done\r\n");
    Imap imap;
    imap.SetAllowPlain(true);
    ASSERT_TRUE(imap.LogOn(server.Server(), "ann", "pw")) << imap.GetLastErrorText();
    std::vector<std::string> folders;
    ASSERT_TRUE(imap.ListFolders("P", &folders)) << imap.GetLastErrorText();
    EXPECT_EQ(folders, (std::vector<std::string> { "P/ä", "P/😀", "P/a&" }));
}

} // namespace
