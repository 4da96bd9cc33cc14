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

TEST(FtpNames, MachineListingsGiveSizesAndRefuseWhatCouldLeaveTheDirectory)
{
    struct Case {
        std::string line;
        std::string entry; // "name size f|d", or empty when left out
        std::string rejected; // what the line said, or empty
    } cases[] = {
        { "type=file;size=1234;modify=20260101120000; a letter.dct", "a letter.dct 1234 f", "" },
        { "Type=DIR;Modify=20260101120000; Claimed", "Claimed 0 d", "" },
        { "type=cdir; .", "", "" },
        { "type=pdir; ..", "", "" },
        { "type=file;size=3; ../s0000012.sta", "",
            "listing line 1: the name \"../s0000012.sta\" could leave the directory" },
        { "type=file;size=3; sub/x.dct", "", "listing line 1: the name \"sub/x.dct\" could leave the directory" },
        { "type=file;size=3; a\\b", "", "listing line 1: the name \"a\\b\" could leave the directory" },
        { "type=file;size=3; x\x1b[2Jy.dct", "", "listing line 1: the name \"x?[2Jy.dct\" holds control characters" },
        { "type=file;size=-1; x.dct", "", "listing line 1: the size of \"x.dct\" is not a number" },
        { "type=file;size=99999999999999999999; x.dct", "", "listing line 1: the size of \"x.dct\" is not a number" },
        { "size=3; x.dct", "", "listing line 1: the entry \"x.dct\" has no type" },
        { "x.dct", "", "listing line 1: not an entry (no facts)" },
        { "type=file; " + std::string(256, 'n'), "", "listing line 1: a name longer than 255 bytes" },
        { "type=file; " + std::string(5000, 'n'), "", "listing line 1: a line longer than 4096 bytes" },
    };
    for (const Case& c : cases) {
        std::vector<std::string> rejected;
        auto entries = Ftp::ParseMachineList(c.line + "\r\n", &rejected);
        std::string entry = entries.empty()
            ? ""
            : entries[0].name + " " + std::to_string(entries[0].nSize) + (entries[0].bFile ? " f" : " d");
        EXPECT_EQ(c.entry, entry) << c.line.substr(0, 60);
        EXPECT_EQ(c.rejected, rejected.empty() ? "" : rejected[0]) << c.line.substr(0, 60);
    }
}
