// The age format judged by its authors' own test vectors (tests/data/age-testkit):
// each file must open, or be refused for the reason the vector names, and all
// plaintext handed on, even before a failure, must match the vector's hash.
#include "platform/LAgeKeys.h"
#include "platform/LAgeOpener.h"
#include "platform/LSha256.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <map>
#include <set>

namespace {

using Result = LAgeOpener::Result;

struct Vector {
    std::string expect;
    std::string payload;
    std::vector<LAgeKey32> identities;
    std::vector<uint8_t> file;
};

Vector ReadVector(const std::string& path, const test::TempDir& dir)
{
    Vector v;
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    size_t pos = 0;
    bool bZlib = false;
    for (size_t end; (end = text.find('\n', pos)) != pos; pos = end + 1) {
        const std::string line = text.substr(pos, end - pos);
        const size_t colon = line.find(": ");
        const std::string key = line.substr(0, colon);
        const std::string value = line.substr(colon + 2);
        if (key == "expect")
            v.expect = value;
        else if (key == "payload")
            v.payload = value;
        else if (key == "identity")
            v.identities.push_back(LAgeKeys::ParseIdentity(value).value());
        bZlib |= key == "compressed";
    }
    v.file.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos + 1), bytes.end());
    if (bZlib) {
        // Python's zlib inflates, so no library is linked for the tests alone.
        EXPECT_TRUE(test::WriteFileBytes(dir.File("z"), v.file));
        EXPECT_EQ(test::RunShell("/usr/bin/python3 -c 'import sys,zlib; sys.stdout.buffer.write(zlib.decompress("
                                 "open(sys.argv[1],\"rb\").read()))' "
                      + test::ShellQuote(dir.File("z")) + " > " + test::ShellQuote(dir.File("u"))),
            0);
        v.file = test::ReadFileBytes(dir.File("u"));
    }
    return v;
}

const std::map<std::string, std::set<Result>> kOutcomes = {
    { "success", { Result::Ok } },
    { "no match", { Result::NoMatch } },
    { "HMAC failure", { Result::HeaderChanged } },
    { "header failure", { Result::NotAge, Result::BadHeader, Result::Truncated } },
    { "payload failure", { Result::PayloadChanged, Result::Truncated } },
};

} // namespace

TEST(AgeFormat, PublishedVectorsOpenOrFailForTheirReason)
{
    test::TempDir dir;
    size_t nVectors = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TAVRINE_SOURCE_DIR "/tests/data/age-testkit")) {
        const std::string name = entry.path().filename();
        const Vector v = ReadVector(entry.path(), dir);
        ASSERT_TRUE(kOutcomes.count(v.expect)) << name;
        // Pieces of an odd size cross every chunk and header boundary.
        for (size_t piece : { size_t(1), size_t(4093), v.file.size() + 1 }) {
            if (piece == 1 && v.file.size() > 4096)
                continue;
            LAgeOpener opener(v.identities);
            std::vector<uint8_t> plain;
            Result result = Result::Ok;
            for (size_t at = 0; result == Result::Ok && at < v.file.size(); at += piece)
                result = opener.Feed(v.file.data() + at, std::min(piece, v.file.size() - at), &plain);
            if (result == Result::Ok)
                result = opener.Finish(&plain);
            EXPECT_TRUE(kOutcomes.at(v.expect).count(result)) << name << ": " << static_cast<int>(result);
            LSha256 sha;
            sha.Update(plain.data(), plain.size());
            if (!v.payload.empty()) {
                EXPECT_EQ(sha.FinalHex(), v.payload)
                    << name << " piece " << piece << " plain " << plain.size() << " file " << v.file.size();
            }
        }
        ++nVectors;
    }
    EXPECT_GE(nVectors, 60u);
}

TEST(AgeFormat, KeysReadBackAsWrittenAndRefuseAChangedCharacter)
{
    const LAgeKey32 secret = LAgeKeys::Generate().value();
    const std::string identity = LAgeKeys::IdentityText(secret);
    const std::string recipient = LAgeKeys::RecipientText(LAgeKeys::PublicOf(secret).value());
    EXPECT_EQ(LAgeKeys::ParseIdentity(identity), secret);
    EXPECT_EQ(LAgeKeys::ParseRecipient(recipient), LAgeKeys::PublicOf(secret));
    // The checksum catches every one-character slip; the case is fixed per kind.
    for (size_t i = 4; i < recipient.size(); ++i) {
        std::string changed = recipient;
        changed[i] = changed[i] == 'q' ? 'p' : 'q';
        EXPECT_FALSE(LAgeKeys::ParseRecipient(changed)) << changed;
    }
    EXPECT_FALSE(LAgeKeys::ParseRecipient(identity));
    EXPECT_FALSE(LAgeKeys::ParseIdentity(recipient));
    EXPECT_FALSE(LAgeKeys::ParseIdentityFile("# only a comment\n"));
    EXPECT_FALSE(LAgeKeys::ParseIdentityFile("# x\n" + identity + "\nrubbish\n"));
}
