// The FTP requests the typist's side makes, against pyftpdlib: the loser of a
// rename race is told so, folders are made once, an upload appears whole.
#include "platform/LFileTransferProtocol.h"
#include "tests/support/FtpTestServer.h"

#include <gtest/gtest.h>

namespace {

using Ftp = LFileTransferProtocol;

struct Session {
    explicit Session(const test::FtpServer& server)
    {
        ftp.SetAllowPlain(true);
        EXPECT_TRUE(ftp.LogOnServer(server.Server(), "typist", "secret")) << ftp.GetLastErrorText();
    }
    Ftp ftp;
};

TEST(FtpSession, ClaimsByRenameFoldersAndWholeUploads)
{
    test::FtpServer server;
    ASSERT_TRUE(test::WriteFileBytes(server.Root() + "/job.dct", { 1, 2, 3 }));
    ASSERT_TRUE(test::WriteFileBytes(server.Root() + "/bad\x01name.dct", { 1 }));
    Session a(server), b(server);
    for (Session* s : { &a, &b })
        EXPECT_TRUE(s->ftp.MakeDirectory("Claimed")) << s->ftp.GetLastErrorText(); // the second finds it made
    EXPECT_TRUE(a.ftp.MakeDirectory("Claimed/ann"));
    EXPECT_TRUE(b.ftp.MakeDirectory("Claimed/bob"));
    EXPECT_FALSE(a.ftp.MakeDirectory("no/such/parent"));

    EXPECT_TRUE(a.ftp.RenameFile("job.dct", "Claimed/ann/job.dct")) << a.ftp.GetLastErrorText();
    EXPECT_FALSE(b.ftp.RenameFile("job.dct", "Claimed/bob/job.dct"));
    EXPECT_EQ(Ftp::Error::NotFound, b.ftp.GetLastError()) << b.ftp.GetLastErrorText();
    // A refused target is no lost race.
    ASSERT_TRUE(test::WriteFileBytes(server.Root() + "/other.dct", { 1 }));
    EXPECT_FALSE(b.ftp.RenameFile("other.dct", "Missing/other.dct"));
    EXPECT_EQ(Ftp::Error::Refused, b.ftp.GetLastError());

    std::string body = "0123456789";
    size_t nAt = 0;
    Ftp::Reader reader = [&](char* p, size_t n) {
        n = std::min(n, body.size() - nAt);
        std::copy_n(body.data() + nAt, n, p);
        nAt += n;
        return static_cast<ptrdiff_t>(n);
    };
    EXPECT_TRUE(a.ftp.UploadAs("~s0000012-ann.tmp", "s0000012-ann.sta", body.size(), reader, {}));
    EXPECT_EQ(test::ReadFileBytes(server.Root() + "/s0000012-ann.sta"), std::vector<uint8_t>(body.begin(), body.end()));
    std::vector<std::string> names;
    ASSERT_TRUE(a.ftp.ListNames("*", &names));
    EXPECT_EQ(std::count(names.begin(), names.end(), "~s0000012-ann.tmp"), 0);

    std::vector<Ftp::Entry> entries;
    std::vector<std::string> rejected;
    ASSERT_TRUE(a.ftp.ListEntries(&entries, &rejected)) << a.ftp.GetLastErrorText();
    std::string seen;
    for (const Ftp::Entry& e : entries)
        seen += e.name + ":" + std::to_string(e.nSize) + (e.bFile ? "f " : "d ");
    EXPECT_NE(seen.find("Claimed:"), std::string::npos) << seen;
    EXPECT_NE(seen.find("s0000012-ann.sta:10f "), std::string::npos) << seen;
    EXPECT_EQ(seen.find("bad"), std::string::npos) << seen;
    ASSERT_EQ(1u, rejected.size());
    EXPECT_NE(rejected[0].find("\"bad?name.dct\" holds control characters"), std::string::npos) << rejected[0];
}

} // namespace
