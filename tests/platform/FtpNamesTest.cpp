// What the FTP client takes from a server's listing and from the server setting.
#include "platform/LFileTransferProtocol.h"

#include <gtest/gtest.h>

using Ftp = LFileTransferProtocol;

TEST(FtpNames, ListingNamesThatCouldLeaveTheDirectoryAreNeverGiven)
{
    std::string listing = "s0000012.sta\r\n../s0000012-1.sta\r\nsub/s0000012-2.sta\r\n..\r\n.\r\na\\b\r\n"
                          "s0000012-3.sta\nx\ry.sta\r\n\r\n"
        + std::string(256, 'n') + "\r\n" + std::string(255, 'm') + "\r\ntorn-last";
    std::vector<std::string> expected = { "s0000012.sta", "s0000012-3.sta", std::string(255, 'm'), "torn-last" };
    EXPECT_EQ(Ftp::ParseNameList(listing), expected);
}

TEST(FtpNames, ServerSettingsGiveHostAndPort)
{
    std::pair<const char*, std::string> cases[] = { { "ftp.typing.example", "ftp.typing.example:21" },
        { "ftp://127.0.0.1:2121/", "127.0.0.1:2121" }, { "[::1]", "[::1]:21" }, { "[::1]:990", "[::1]:990" },
        { "", "" }, { "host:", "" }, { "host:0", "" }, { "host:65536", "" }, { "host:21x", "" }, { "user@host", "" },
        { "host/dir", "" }, { "ho st", "" }, { "host\r\nPASS x", "" }, { "[::1", "" }, { "::1", "" } };
    for (const auto& [szServer, expected] : cases) {
        std::string host;
        unsigned uPort = 0;
        bool bOk = Ftp::SplitServer(szServer, &host, &uPort);
        EXPECT_EQ(bOk ? host + ":" + std::to_string(uPort) : "", expected) << szServer;
    }
}
