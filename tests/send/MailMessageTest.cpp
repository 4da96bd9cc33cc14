// Mail messages judged by Python's email package both ways (tests/send/mime_judge.py), hostile
// messages refused within the limits, and the typist pool's messages read back into their entries.
#include "send/LMailMessage.h"
#include "send/LTypistPool.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <tuple>

namespace {

using Seen = std::multimap<std::string, std::string>;

// The judge's "key<TAB>hex" lines.
Seen ReadSeen(const std::string& text)
{
    Seen seen;
    std::istringstream in(text);
    for (std::string line, value; std::getline(in, line); value.clear()) {
        for (size_t i = line.find('\t') + 1; i > 0 && i + 1 < line.size(); i += 2)
            value += char(std::stoi(line.substr(i, 2), nullptr, 16));
        seen.emplace(line.substr(0, line.find('\t')), value);
    }
    return seen;
}

std::string One(const Seen& seen, const std::string& key)
{
    auto it = seen.find(key);
    return it == seen.end() ? "(none)" : it->second;
}

std::string Bytes(size_t n, int nSeed)
{
    std::string data(n, 0);
    for (size_t i = 0; i < n; ++i)
        data[i] = char(((i + nSeed) * 7919) >> 3);
    return data;
}

// What the judge saw of the attachments, in our terms.
void ExpectAttachments(const Seen& seen, const std::vector<LMailAttachment>& attachments)
{
    ASSERT_EQ(seen.count("att" + std::to_string(attachments.size()) + ".data"), 0u);
    for (size_t n = 0; n < attachments.size(); ++n) {
        const std::string att = "att" + std::to_string(n);
        EXPECT_EQ(One(seen, att + ".name"), attachments[n].fileName);
        EXPECT_EQ(One(seen, att + ".type"), attachments[n].contentType);
        EXPECT_TRUE(One(seen, att + ".data") == attachments[n].data) << att;
    }
}

class MailMessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::RunShell("/usr/bin/python3 -c 'import email.policy' 2>/dev/null") != 0)
            GTEST_SKIP() << "/usr/bin/python3 has no email package";
    }
    Seen Judge(const std::string& raw)
    {
        test::WriteFileText(dir.File("m.eml"), raw);
        std::string out;
        EXPECT_EQ(0,
            test::RunShell(
                "/usr/bin/python3 " TAVRINE_SOURCE_DIR "/tests/send/mime_judge.py read " + dir.File("m.eml"), &out));
        return ReadSeen(out);
    }
    test::TempDir dir;
};

TEST_F(MailMessageTest, PythonReadsWhatComposeWrites)
{
    struct Row {
        const char* szCase;
        std::string subject, body, notes;
    };
    const std::string longNotes = std::string(300, 'x') + " Größe " + std::string(600, 'y') + " ünd =?x?q?y?= end";
    const Row rows[] = {
        { "non-ASCII everywhere", "Diktat für Frau Müller – Röntgen des linken Knies, zweite Aufnahme nach Befund",
            "Grüße\nZeile zwei\r\nZeile drei\n", longNotes },
        { "plain text holding the boundary", "Tavrine Dictate Dictation", "--=_tavrine_2_0\r\n.\r\nend\r\n", "" },
        { "empty body and blanks inside", "two  blanks", "", "a  b" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.szCase);
        LMailMessage::Composed message;
        message.from = "ann@example.org";
        message.to = "pool@example.org";
        message.subject = row.subject;
        message.body = row.body;
        message.headers = { { "X-Tavrine-Notes", row.notes }, { "X-Tavrine-File-Number", "42" } };
        message.attachments = { { "Diktat Müller 0042.dct", "application/octet-stream", Bytes(3001, 1) },
            { "quote\"and\\back.wav", "audio/wav", Bytes(57, 2) } };
        const std::string raw = LMailMessage::Compose(message);
        // Seven bits and 78 columns: what every server and reader takes.
        for (size_t nAt = 0, nEnd; (nEnd = raw.find("\r\n", nAt)) != std::string::npos; nAt = nEnd + 2)
            ASSERT_TRUE(nEnd - nAt <= 78 && std::ranges::all_of(raw.substr(nAt, nEnd - nAt), [](char c) {
                return c > 0;
            })) << raw.substr(nAt, nEnd - nAt);
        const Seen seen = Judge(raw);
        EXPECT_EQ(0u, seen.count("defects")) << One(seen, "defects");
        EXPECT_EQ(row.subject, One(seen, "h:subject"));
        EXPECT_EQ(row.notes, One(seen, "h:x-tavrine-notes"));
        EXPECT_EQ("42", One(seen, "h:x-tavrine-file-number"));
        std::string body;
        for (char c : row.body)
            body += c == '\r' ? "" : std::string(1, c);
        EXPECT_EQ(body, One(seen, "body"));
        ExpectAttachments(seen, message.attachments);
    }
}

TEST_F(MailMessageTest, ParseReadsWhatPythonComposes)
{
    ASSERT_EQ(
        0, test::RunShell("/usr/bin/python3 " TAVRINE_SOURCE_DIR "/tests/send/mime_judge.py write " + dir.Path()));
    for (const char* szCase : { "encoded", "latin1", "nested", "continued" }) {
        SCOPED_TRACE(szCase);
        const Seen seen = ReadSeen(test::ReadFileText(dir.File(std::string(szCase) + ".txt")));
        LMailMessage message;
        std::string why;
        ASSERT_TRUE(LMailMessage::Parse(test::ReadFileText(dir.File(std::string(szCase) + ".eml")), &message, &why))
            << why;
        for (const auto& [key, value] : seen) {
            // Python writes structured fields its own way; the parts judge those.
            if (key.starts_with("h:") && !key.starts_with("h:content-")) {
                EXPECT_EQ(value, message.Header(key.substr(2))) << key;
            }
        }
        EXPECT_EQ(One(seen, "body"), message.body);
        ExpectAttachments(seen, message.attachments);
    }
}

TEST(MailMessageLimits, HostileMessagesAreRefusedWithAReason)
{
    LMailMessage::Composed composed;
    composed.subject = "s";
    composed.attachments = { { "a.dct", "", Bytes(5000, 3) } };
    const std::string good = LMailMessage::Compose(composed);
    const std::string head = "Subject: x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
    std::string deep = "Content-Type: text/plain\r\n\r\nx";
    for (int n = 0; n < 10; ++n) {
        const std::string b = "b" + std::to_string(n);
        deep = "Content-Type: multipart/mixed; boundary=" + b + "\r\n\r\n--" + b + "\r\n" + deep + "\r\n--" + b
            + "--\r\n";
    }
    std::string many = head;
    for (int n = 0; n < 100; ++n)
        many += "--b\r\nContent-Type: text/plain\r\n\r\nx\r\n";
    many += "--b--\r\n";
    const std::string badBase64 = "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: "
                                  "audio/wav\r\nContent-Transfer-Encoding: base64\r\n\r\nUklG*Rg==\r\n--b--\r\n";
    const struct {
        const char* szCase;
        std::string raw;
        const char* szWhy;
    } rows[] = {
        { "cut short", good.substr(0, good.size() / 2), "closing boundary" },
        { "nested too deep", deep, "deeper" },
        { "huge header", "Subject: " + std::string(300 << 10, 'a') + "\r\n\r\nbody", "header" },
        { "boundary never closes", head + "--b\r\n\r\nx\r\n--b\r\nContent-Type: text/plain\r\n\r\ny", "closing" },
        { "too many parts", many, "parts" },
        { "bad base64", badBase64, "base64" },
        { "data after the padding", badBase64.substr(0, badBase64.find('*')) + "Rg==Rg==\r\n--b--\r\n", "base64" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.szCase);
        LMailMessage message;
        message.body = "kept";
        std::string why;
        EXPECT_FALSE(LMailMessage::Parse(row.raw, &message, &why));
        EXPECT_NE(std::string::npos, why.find(row.szWhy)) << why;
        EXPECT_EQ("kept", message.body);
    }
    LMailMessage message;
    std::string why;
    ASSERT_TRUE(LMailMessage::Parse(good, &message, &why)) << why;
    ASSERT_EQ(1u, message.attachments.size());
    EXPECT_EQ(Bytes(5000, 3), message.attachments[0].data);
}

TEST(TypistPool, MessagesGiveTheirEntriesBackAndSealedOnesTellNoNames)
{
    LTypistPool::Entry entry;
    entry.kind = "dictation";
    entry.uUserID = 4000000000u;
    entry.uFileNumber = 1234567;
    entry.uPriority = 255;
    entry.name = "Befund Müller";
    entry.userName = "Dr. Jürgen Weiß";
    entry.notes = std::string(990, 'n') + "ääääää";
    entry.nLengthMs = 61000;
    entry.tCreated = 1796000000;
    const LMailAttachment dct { "d0001234.dct", "application/octet-stream", Bytes(700, 4) };
    for (bool bSealed : { false, true }) {
        SCOPED_TRACE(bSealed ? "sealed" : "open");
        const std::string raw = LTypistPool::ComposeDictation(
            entry, bSealed, "ann@example.org", "Tavrine Dictate Dictation", "Open with Tavrine Scribe.\n", dct);
        LMailMessage message;
        std::string why;
        ASSERT_TRUE(LMailMessage::Parse(raw, &message, &why)) << why;
        LTypistPool::Entry back;
        ASSERT_TRUE(LTypistPool::ReadEntry(message.headers, &back));
        auto numbers = [](const LTypistPool::Entry& e) {
            return std::tuple(e.kind, e.uUserID, e.uFileNumber, e.uPriority, e.nLengthMs, e.tCreated);
        };
        EXPECT_EQ(numbers(entry), numbers(back));
        const std::string notes = std::string(990, 'n') + "äääää"; // cut to 1,000 bytes
        EXPECT_EQ(bSealed ? "||" : entry.name + "|" + entry.userName + "|" + notes,
            back.name + "|" + back.userName + "|" + back.notes);
        EXPECT_EQ(bSealed, raw.find(LTypistPool::kNameField) == std::string::npos);
        EXPECT_EQ(bSealed, raw.find(LTypistPool::kNotesField) == std::string::npos);
        ASSERT_EQ(1u, message.attachments.size());
        EXPECT_TRUE(dct.fileName + dct.data == message.attachments[0].fileName + message.attachments[0].data);
    }
    LMailMessage status;
    ASSERT_TRUE(LMailMessage::Parse(
        LTypistPool::ComposeStatus(7, "anne_2", { "s0000007-anne_2.sta", "", "S" }), &status, nullptr));
    LTypistPool::Entry back;
    ASSERT_TRUE(LTypistPool::ReadEntry(status.headers, &back));
    EXPECT_EQ(std::tuple("status", "anne_2", 7u), std::tuple(back.kind, back.typist, back.uUserID));
    EXPECT_EQ("Pool/Claimed/anne", LTypistPool::Folder("Pool", LTypistPool::kClaimed, "anne"));
}

TEST(TypistPool, FieldsThatMakeNoEntryAreRefused)
{
    using Fields = std::vector<std::pair<std::string, std::string>>;
    const Fields base
        = { { "x-tavrine-kind", "dictation" }, { "X-Tavrine-Author", " 12 " }, { "X-Tavrine-File-Number", "3" } };
    LTypistPool::Entry entry;
    ASSERT_TRUE(LTypistPool::ReadEntry(base, &entry));
    // Each goes first, so it is the field of its name that counts.
    for (const char* szField : { "X-Tavrine-Kind:", "X-Tavrine-Kind:audio", "X-Tavrine-Author:-1",
             "X-Tavrine-Author:4294967296", "X-Tavrine-File-Number:3x", "X-Tavrine-Priority:256",
             "X-Tavrine-Length-Ms:", "X-Tavrine-Typist:../anne", "X-Tavrine-Typist:=?UTF-8?B?YS9i?=" }) {
        SCOPED_TRACE(szField);
        Fields fields = base;
        const std::string field = szField;
        fields.insert(fields.begin(), { field.substr(0, field.find(':')), field.substr(field.find(':') + 1) });
        EXPECT_FALSE(LTypistPool::ReadEntry(fields, &entry));
    }
}

} // namespace
