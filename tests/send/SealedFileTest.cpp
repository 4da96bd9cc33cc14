// Sealed transfer files judged by the real age tools: what we seal opens in
// `age -d`, what `age -r` seals opens here, keys cross both ways, and any
// changed or cut file is refused with no output left behind.
#include "platform/LAgeKeys.h"
#include "platform/LAgeOpener.h"
#include "send/LSealedFile.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <random>

namespace {

using test::ShellQuote;
using Result = LSealedFile::Result;

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> data(n);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(rng());
    return data;
}

class SealedFileTest : public test::EnvTest {
protected:
    // Identity file and public key: one made by age-keygen, one by us.
    std::pair<std::string, LAgeKey32> Key(bool bAgeKeygen, const std::string& name)
    {
        const std::string path = dir.File(name);
        if (bAgeKeygen) {
            EXPECT_EQ(test::RunShell("age-keygen -o " + ShellQuote(path) + " 2>/dev/null"), 0);
        } else {
            const std::string text = LAgeKeys::IdentityFileText(LAgeKeys::Generate().value(), "2026-12-08T00:00:00Z");
            EXPECT_TRUE(test::WriteFileText(path, text));
        }
        std::string pub;
        EXPECT_EQ(test::RunShell("age-keygen -y " + ShellQuote(path), &pub), 0);
        return { path, LAgeKeys::ParseRecipient(pub.substr(0, pub.find('\n'))).value() };
    }
    std::vector<LAgeKey32> Identities(const std::string& path)
    {
        return LAgeKeys::ParseIdentityFile(test::ReadFileText(path)).value();
    }
};

struct InteropRow {
    size_t bytes;
    bool bAgeSeals; // else we seal and age opens
};

class SealedInteropTest : public SealedFileTest, public ::testing::WithParamInterface<InteropRow> { };

} // namespace

// Sizes around the 64 KiB chunk: empty, one byte, exactly one and two chunks, one past.
INSTANTIATE_TEST_SUITE_P(Sizes, SealedInteropTest,
    ::testing::Values(InteropRow { 0, false }, InteropRow { 0, true }, InteropRow { 1, false }, InteropRow { 1, true },
        InteropRow { 65536, false }, InteropRow { 65536, true }, InteropRow { 65537, false },
        InteropRow { 131072, true }, InteropRow { 300001, false }, InteropRow { 300001, true }),
    [](const auto& info) {
        return std::to_string(info.param.bytes) + (info.param.bAgeSeals ? "_AgeSeals" : "_WeSeal");
    });

TEST_P(SealedInteropTest, OpensForEveryRecipientAndNoOther)
{
    TEST_REQUIRE_TOOL("age");
    const InteropRow row = GetParam();
    const std::vector<uint8_t> plain = RandomBytes(row.bytes, 20261208);
    ASSERT_TRUE(test::WriteFileBytes(dir.File("plain"), plain));
    const auto [theirKey, theirPub] = Key(true, "age-keygen.txt");
    const auto [ourKey, ourPub] = Key(false, "ours.txt");
    const auto [strangerKey, strangerPub] = Key(true, "stranger.txt");
    if (row.bAgeSeals) {
        ASSERT_EQ(
            test::RunShell("age -r " + LAgeKeys::RecipientText(theirPub) + " -r " + LAgeKeys::RecipientText(ourPub)
                + " -o " + ShellQuote(dir.File("plain.age")) + " " + ShellQuote(dir.File("plain"))),
            0);
    } else {
        ASSERT_EQ(LSealedFile::Seal(dir.File("plain"), dir.File("plain.age"), { theirPub, ourPub }), Result::Ok);
    }
    for (const std::string& key : { theirKey, ourKey }) {
        if (row.bAgeSeals) {
            ASSERT_EQ(LSealedFile::Unseal(dir.File("plain.age"), dir.File("out"), Identities(key)), Result::Ok);
        } else {
            ASSERT_EQ(test::RunShell("age -d -i " + ShellQuote(key) + " -o " + ShellQuote(dir.File("out")) + " "
                          + ShellQuote(dir.File("plain.age"))),
                0);
        }
        EXPECT_EQ(test::ReadFileBytes(dir.File("out")), plain) << key;
        std::remove(dir.File("out").c_str());
    }
    EXPECT_EQ(LSealedFile::Unseal(dir.File("plain.age"), dir.File("out"), Identities(strangerKey)), Result::NoMatch);
    EXPECT_EQ(test::FileNames(dir.Path()).count("out"), 0u);
}

TEST_F(SealedFileTest, EveryChangedByteAndCutIsRefusedAndLeavesNothing)
{
    const uint32_t seed = 20261208;
    const std::vector<uint8_t> plain = RandomBytes(1 << 20, seed);
    ASSERT_TRUE(test::WriteFileBytes(dir.File("plain"), plain));
    const LAgeKey32 secret = LAgeKeys::Generate().value();
    ASSERT_EQ(
        LSealedFile::Seal(dir.File("plain"), dir.File("sealed"), { LAgeKeys::PublicOf(secret).value() }), Result::Ok);
    const std::vector<uint8_t> sealed = test::ReadFileBytes(dir.File("sealed"));
    const std::string text(sealed.begin(), sealed.end());
    const size_t headerEnd = text.find('\n', text.find("\n---") + 1) + 1;
    const auto unseal = [&](const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(test::WriteFileBytes(dir.File("changed"), bytes));
        const Result result = LSealedFile::Unseal(dir.File("changed"), dir.File("out"), { secret });
        EXPECT_EQ(result != Result::Ok, test::FileNames(dir.Path()).count("out") == 0);
        return result;
    };
    ASSERT_EQ(unseal(sealed), Result::Ok);
    std::remove(dir.File("out").c_str());
    // A changed byte in each header line, then positions sampled over the whole file.
    std::vector<size_t> positions;
    for (size_t at = 0; at < headerEnd; at = text.find('\n', at) + 1)
        positions.push_back(at + 5);
    for (size_t at : positions)
        EXPECT_NE(unseal([&] {
            auto b = sealed;
            b[at] ^= 0x20;
            return b;
        }()),
            Result::Ok)
            << "header byte " << at;
    // In memory from here on: the file-level cases above show that a refusal leaves nothing.
    const auto open = [&](const uint8_t* pData, size_t nData) {
        LAgeOpener opener({ secret });
        std::vector<uint8_t> out;
        const LAgeOpener::Result result = opener.Feed(pData, nData, &out);
        return result == LAgeOpener::Result::Ok ? opener.Finish(&out) : result;
    };
    const char* szCount = std::getenv("TAVRINE_AGE_TAMPER_POSITIONS");
    const size_t nCount = szCount ? std::strtoul(szCount, nullptr, 10) : 2000;
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes = sealed;
    for (size_t i = 0; i < nCount; ++i) {
        const size_t at = rng() % sealed.size();
        const uint8_t flip = static_cast<uint8_t>(1 + rng() % 255);
        bytes[at] ^= flip;
        ASSERT_NE(open(bytes.data(), bytes.size()), LAgeOpener::Result::Ok)
            << "byte " << at << " ^ " << int(flip) << ", seed " << seed;
        bytes[at] ^= flip;
    }
    // Cut at every chunk's end (the last flag tells), and inside a chunk.
    const size_t kSealedChunk = 65536 + 16;
    for (size_t cut = headerEnd + 16; cut < sealed.size(); cut += kSealedChunk)
        EXPECT_EQ(open(sealed.data(), cut), LAgeOpener::Result::Truncated) << "cut at " << cut;
    EXPECT_EQ(
        unseal({ sealed.begin(), sealed.begin() + static_cast<std::ptrdiff_t>(headerEnd + 16 + 3 * kSealedChunk) }),
        Result::Truncated);
    EXPECT_EQ(unseal({ sealed.begin(), sealed.end() - 100 }), Result::PayloadChanged);
    EXPECT_EQ(unseal({ sealed.begin(), sealed.begin() + static_cast<std::ptrdiff_t>(headerEnd) }), Result::Truncated);
}
