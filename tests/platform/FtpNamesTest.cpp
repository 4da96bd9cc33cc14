// What the FTP client takes from a server's listing and from the server setting.
#include "platform/LFileTransferProtocol.h"

#include <gtest/gtest.h>

namespace {

using Ftp = LFileTransferProtocol;

TEST(FtpNames, ListingNamesThatCouldLeaveTheDirectoryAreNeverGiven)
{
    std::string listing = "s0000012.sta\r\n../s0000012-1.sta\r\nsub/s0000012-2.sta\r\n..\r\n.\r\n"
                          "a\\b\r\ns0000012-3.sta\nx\ry.sta\r\n\r\n"
        + std::string(256, 'n') + "\r\n" + std::string(255, 'm') + "\r\ntorn-last";
    std::vector<std::string> expected = { "s0000012.sta", "s0000012-3.sta", std::string(255, 'm'), "torn-last" };
    EXPECT_EQ(Ftp::ParseNameList(listing), expected);
    EXPECT_TRUE(Ftp::ParseNameList("").empty());
}

TEST(FtpNames, ServerSettingsGiveHostAndPort)
{
    struct Case {
        const char* szServer;
        bool bOk;
        const char* szHost;
        unsigned uPort;
    } cases[] = {
        { "ftp.typing.example", true, "ftp.typing.example", 21 },
        { "127.0.0.1:2121", true, "127.0.0.1", 2121 },
        { "ftp://ftp.typing.example:990/", true, "ftp.typing.example", 990 },
        { "[::1]:2121", true, "[::1]", 2121 },
        { "[::1]", true, "[::1]", 21 },
        { "", false, "", 0 },
        { "host:", false, "", 0 },
        { "host:0", false, "", 0 },
        { "host:65536", false, "", 0 },
        { "host:21x", false, "", 0 },
        { "user@host", false, "", 0 },
        { "host/dir", false, "", 0 },
        { "ho st", false, "", 0 },
        { "host\r\nPASS", false, "", 0 },
        { "[::1", false, "", 0 },
        { "::1", false, "", 0 },
    };
    for (const Case& c : cases) {
        std::string host;
        unsigned uPort = 0;
        ASSERT_EQ(Ftp::SplitServer(c.szServer, &host, &uPort), c.bOk) << c.szServer;
        if (c.bOk) {
            EXPECT_EQ(host, c.szHost);
            EXPECT_EQ(uPort, c.uPort);
        }
    }
}

} // namespace
