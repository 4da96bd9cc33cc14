// Audio import judged by the tools that wrote the files: every type becomes a
// dictation whose audio is ffmpeg's (or sox's) own decoding of the file.
#include "dictation/LDictation.h"
#include "foundation/LTempFolder.h"
#include "import/LDictationLoadSource.h"
#include "import/LExternalDecoder.h"
#include "import/LFlacStreamInfo.h"
#include "import/LGenSourceOpen.h"
#include "tests/support/LTestProgress.h"
#include "tests/support/TestSupport.h"

#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace {

struct Host : LImportHost {
    JobResult RunProgress(const std::string& szTitle, const std::function<JobResult(LProgressReporter&)>& body) override
    {
        titles.push_back(szTitle);
        LTestProgress progress;
        progress.nStopAtPump = nStopAtPump;
        return body(progress);
    }
    void ShowError(const std::string& szText) override { errors.push_back(szText); }
    std::optional<bool> AskRawSettings(const std::string&, LRawSettings* pSettings) override
    {
        ++nAsks;
        *pSettings = answer.value_or(*pSettings);
        return answer.has_value(); // none: Cancel
    }
    std::vector<std::string> titles, errors;
    int nAsks = 0, nStopAtPump = 0;
    std::optional<LRawSettings> answer;
};

class Import : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : { "espeak-ng", "sox", "ffmpeg", "flac", "oggenc", "oggdec", "lame", "faad" })
            TEST_REQUIRE_TOOL(tool);
        ASSERT_EQ(Sh("espeak-ng -w " + Q("voice.wav") + " 'Please type this letter to the bank, thank you.' && sox "
                      + Q("voice.wav") + " -r 22050 -c 2 " + Q("speech.wav")),
            0);
        std::filesystem::create_directories(env.Dir().File("bin"));
        setenv("PATH", (env.Dir().File("bin") + ":" + m_path).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", m_path.c_str(), 1); }
    int Sh(const std::string& command) { return test::RunShell(command + " >/dev/null 2>&1"); }
    std::string Q(const std::string& name) const { return test::ShellQuote(env.Dir().File(name)); }
    // Opens and loads the file into a new dictation, as the Load command does.
    JobResult Load(const std::string& name, std::unique_ptr<LDictation>* pDictation = nullptr)
    {
        LSoundSourceRef source;
        const JobResult nResult = LGenSourceOpen(source, env.Dir().File(name), bAskUser, host);
        auto dictation = std::make_unique<LDictation>(env.Dir().Path(), name);
        LTestProgress progress;
        const JobResult nLoaded = nResult != JobResult::kDone
            ? nResult
            : LDictationLoadSource::Process(
                progress, source, *(pDictation ? * pDictation = std::move(dictation) : dictation));
        for (const std::string& e : progress.errors)
            host.errors.push_back(e + " " + env.Dir().File(name));
        return nLoaded;
    }
    static size_t DecodedFilesLeft()
    {
        size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(LTempFolder::Path()))
            n += entry.path().filename().string().rfind("import", 0) == 0;
        return n;
    }
    // The stand-in that wrote its number to "pid" has ended and been reaped: not even a zombie is left.
    void ExpectReaped()
    {
        const std::vector<uint8_t> text = test::ReadFileBytes(env.Dir().File("pid"));
        EXPECT_EQ(::kill(std::atoi(std::string(text.begin(), text.end()).c_str()), 0), -1);
        EXPECT_EQ(errno, ESRCH);
    }

    test::IsolatedEnvironment env;
    Host host;
    bool bAskUser = true;
    std::string m_path = std::getenv("PATH");
};

struct Case {
    const char* szFile;
    const char* szMake; // from $IN (speech.wav) to $OUT
    const char* szJudge; // ffmpeg from $IN to 16-bit samples in $OUT
    int nTolerance;
    uint32_t uRate;
    uint8_t uChannels;
};

// The MP3 judge keeps the encoder's delay, as the reader does; faad drops an ADTS stream's first frame. AAC is
// made without noise substitution, which each decoder fills with its own random noise.
const Case kCases[] = {
    { "a.wav", "sox $IN $OUT", "ffmpeg -i $IN -f s16le $OUT", 0, 22050, 2 },
    { "NAME.WAV", "sox $IN -r 16000 -c 1 $OUT", "ffmpeg -i $IN -f s16le $OUT", 0, 16000, 1 },
    { "a.aiff", "sox $IN $OUT", "ffmpeg -i $IN -f s16le $OUT", 0, 22050, 2 },
    { "a.au", "sox $IN $OUT", "ffmpeg -i $IN -f s16le $OUT", 0, 22050, 2 },
    { "a.raw", "sox $IN -r 44100 -c 1 -e signed -b 16 $OUT", "ffmpeg -f s16le -ar 44100 -ac 1 -i $IN -f s16le $OUT", 0,
        44100, 1 },
    { "a.gsm", "sox $IN -r 8000 -c 1 $OUT", "ffmpeg -i $IN -f s16le $OUT", 0, 8000, 1 },
    { "a.ul", "sox $IN -r 8000 -c 1 $OUT", "ffmpeg -f mulaw -ar 8000 -i $IN -f s16le $OUT", 0, 8000, 1 },
    { "a.mp3", "lame --quiet -b 128 $IN $OUT", "ffmpeg -flags2 +skip_manual -i $IN -f s16le $OUT", 2, 22050, 2 },
    { "a.flac", "flac -s $IN -o $OUT", "ffmpeg -i $IN -f s16le $OUT", 0, 22050, 2 },
    { "b.flac", "sox $IN -b 24 $OUT", "ffmpeg -i $IN -f s16le $OUT", 0, 22050, 2 }, // through the WAV stream
    { "a.ogg", "oggenc -Q $IN -o $OUT", "ffmpeg -i $IN -f s16le $OUT", 1, 22050, 2 },
    { "a.m4a", "ffmpeg -i $IN -c:a aac -aac_pns 0 $OUT", "ffmpeg -i $IN -f s16le $OUT", 1, 22050, 2 },
    { "a.aac", "ffmpeg -i $IN -ar 44100 -c:a aac -aac_pns 0 -f adts $OUT",
        "ffmpeg -i $IN -af atrim=start_sample=1024 -f s16le $OUT", 1, 44100, 2 },
    { "a.wma", "ffmpeg -i $IN -c:a wmav2 $OUT", "ffmpeg -i $IN -f s16le $OUT", 0, 22050, 2 },
    { "a.mp2", "ffmpeg -i $IN -c:a mp2 $OUT", "ffmpeg -i $IN -f s16le $OUT", 0, 22050, 2 },
};

} // namespace

TEST_F(Import, EveryTypeBecomesTheFilesAudioWithItsRateAndChannels)
{
    bAskUser = false; // headerless files take their stored settings
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.szFile);
        const std::string io = "IN=" + Q("speech.wav") + " OUT=" + Q(c.szFile) + "; ";
        ASSERT_EQ(Sh(io + c.szMake + " && IN=$OUT OUT=$OUT.judge; " + c.szJudge), 0);
        std::unique_ptr<LDictation> d;
        ASSERT_EQ(Load(c.szFile, &d), JobResult::kDone);
        EXPECT_EQ(d->Header().uSampleRate, c.uRate);
        EXPECT_EQ(d->Header().uChannels, c.uChannels);
        ASSERT_EQ(d->GetCutList().Count(), 1u);
        EXPECT_EQ(d->UndoStack().Count(), 0u);
        const auto got = test::ReadFileBytes(d->GetCutFileName(d->GetCutList().GetFirst()->uCutNumber));
        const auto want = test::ReadFileBytes(env.Dir().File(c.szFile + std::string(".judge")));
        ASSERT_EQ(got.size(), want.size());
        int nWorst = 0;
        for (size_t i = 0; i + 1 < got.size(); i += 2)
            nWorst
                = std::max(nWorst, std::abs(int16_t(got[i] | got[i + 1] << 8) - int16_t(want[i] | want[i + 1] << 8)));
        EXPECT_LE(nWorst, c.nTolerance);
        EXPECT_EQ(DecodedFilesLeft(), 0u);
    }
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(host.titles,
        (std::vector<std::string> { "Loading FLAC file", "Loading FLAC file", "Loading OGG file", "Loading AAC file",
            "Loading AAC file", "Loading WMA file", "Loading with ffmpeg" }));
}

// What a decoder's stream holds becomes the dictation exactly: 16-bit audio moved as it comes, wider samples
// converted, a stated size kept though more follows, an open-ended stream up to its last whole frame.
TEST_F(Import, DecoderStreamsBecomeTheirWholeFramesExactly)
{
    ASSERT_EQ(Sh("(sox " + Q("speech.wav") + " " + Q("tiny.wav") + " trim 0 0.01 && cat " + Q("tiny.wav") + " "
                  + Q("speech.wav") + " >" + Q("both.wav") + " && ffmpeg -i " + Q("speech.wav") + " -f s16le "
                  + Q("speech.s16") + " && ffmpeg -i " + Q("tiny.wav") + " -f s16le " + Q("tiny.s16") + ")"),
        0);
    const struct {
        std::string script;
        const char* szWant;
    } cases[] = {
        { "exec sox " + Q("speech.wav") + " -b 24 -t wav -", "speech.s16" },
        { "ffmpeg -nostdin -loglevel error -i " + Q("speech.wav") + " -f wav pipe:1; printf x", "speech.s16" },
        { "cat " + Q("both.wav"), "tiny.s16" },
    };
    const std::string program = env.Dir().File("bin/flac");
    ASSERT_TRUE(test::WriteFileBytes(env.Dir().File("a.flac"), { 1, 2, 3 }));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const std::string script = "#!/bin/sh\n" + c.script;
        ASSERT_TRUE(test::WriteFileBytes(program, { script.begin(), script.end() }));
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        std::unique_ptr<LDictation> d;
        ASSERT_EQ(Load("a.flac", &d), JobResult::kDone) << (host.errors.empty() ? "" : host.errors.back());
        ASSERT_EQ(d->GetCutList().Count(), 1u);
        EXPECT_EQ(test::ReadFileBytes(d->GetCutFileName(d->GetCutList().GetFirst()->uCutNumber)),
            test::ReadFileBytes(env.Dir().File(c.szWant)));
    }
    EXPECT_TRUE(host.errors.empty());
}

// A 16-bit FLAC file is decoded straight into the dictation under the stream's rules: a file cut short and one
// that decodes past the bound (seven minutes of silence, over 64 MB from 70 KB) fail with the decoder's words.
TEST_F(Import, FlacDecodedStraightIntoTheDictationFailsAsTheStreamDoes)
{
    const struct {
        std::string make;
        const char* szSaid;
    } cases[] = {
        { "flac -s " + Q("speech.wav") + " -o " + Q("whole.flac")
                + " && dd status=none bs=20000 count=1 if=" + Q("whole.flac") + " of=" + Q("a.flac"),
            "flac exited with status 1" },
        { "sox -D -n -r 44100 -c 2 -b 16 " + Q("a.flac") + " trim 0 420", "flac wrote more than 64 MB and was ended" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szSaid);
        std::filesystem::remove(env.Dir().File("a.flac"));
        ASSERT_EQ(Sh(c.make), 0);
        host.errors.clear();
        std::unique_ptr<LDictation> d;
        EXPECT_EQ(Load("a.flac", &d), JobResult::kFailed);
        ASSERT_EQ(host.errors.size(), 1u);
        EXPECT_NE(host.errors[0].find(c.szSaid), std::string::npos) << host.errors[0];
        // Ended at the bound, not after: the disk never holds more.
        for (const CutRecord& cut : d->GetCutList())
            EXPECT_LE(std::filesystem::file_size(d->GetCutFileName(cut.uCutNumber)), 64u << 20);
    }
}

// What a FLAC file says of itself decides the straight way, behind an ID3 tag too; a header cut short or an
// unknown length leaves the file to the decoder's stream.
TEST_F(Import, FlacStreamInformationIsReadOrLeftToTheDecoder)
{
    ASSERT_EQ(Sh("flac -s " + Q("speech.wav") + " -o " + Q("a.flac")), 0);
    const std::vector<uint8_t> flac = test::ReadFileBytes(env.Dir().File("a.flac"));
    std::vector<uint8_t> tagged = { 'I', 'D', '3', 4, 0, 0, 0, 0, 0, 3, 'x', 'y', 'z' };
    tagged.insert(tagged.end(), flac.begin(), flac.end());
    std::vector<uint8_t> unknown = flac;
    std::fill(unknown.begin() + 21, unknown.begin() + 26, 0);
    unknown[21] = flac[21] & 0xF0;
    const struct {
        std::vector<uint8_t> bytes;
        bool bRead;
    } cases[]
        = { { flac, true }, { tagged, true }, { { flac.begin(), flac.begin() + 41 }, false }, { unknown, false } };
    std::string frames;
    ASSERT_EQ(test::RunShell("soxi -s " + Q("speech.wav"), &frames), 0);
    for (const auto& c : cases) {
        ASSERT_TRUE(test::WriteFileBytes(env.Dir().File("b.flac"), c.bytes));
        LFlacStreamInfo info;
        ASSERT_EQ(LFlacStreamInfo::Read(env.Dir().File("b.flac"), &info), c.bRead);
        if (c.bRead) {
            EXPECT_EQ(std::make_tuple(info.uSampleRate, info.uChannels, info.uBitsPerSample, info.nTotalFrames),
                std::make_tuple(22050u, uint8_t { 2 }, uint8_t { 16 }, uint64_t(std::stoll(frames))));
        }
    }
}

TEST_F(Import, FailingDecodersAreFailuresWithTheirMessage)
{
    const std::string speech = Q("speech.wav");
    std::error_code ec;
    struct Failing {
        const char* szFile;
        const char* szProgram;
        std::string script; // empty: the program is missing
        int nResult;
        const char* szSaid;
    } cases[] = {
        { "a.flac", "flac", "head -c 30000 " + speech + "; exit 1", 2, "flac exited with status 1" },
        { "a.ogg", "oggdec", "cat " + speech + "; kill -KILL $$", 2, "oggdec was killed by signal 9" },
        { "a.m4a", "faad", "head -c 30000 " + speech, 2, "faad ended before the size it stated" },
        { "b.m4a", "faad", "head -c 30 " + speech, 2, "faad did not write a whole PCM WAV stream" },
        // Without end, in an open-ended stream: bounded, never filling the disk.
        { "b.wma", "ffmpeg", "exec /usr/bin/ffmpeg -nostdin -loglevel error -f lavfi -i anullsrc -f wav pipe:1", 2,
            "ffmpeg wrote more than 64 MB and was ended" },
        { "a.aac", "faad", "", 2,
            "the program \"faad\" that decodes it is not installed.\n\nInstall the Debian "
            "package \"faad\"" },
        { "a.dss", "ffmpeg", "echo 'Invalid data found' >&2; exit 1", 2, "Only DSS SP files can be read here" },
        { "a.wma", "ffmpeg", "echo $$ >" + Q("pid") + "; exec sleep 100", 1, nullptr },
    };
    for (const Failing& c : cases) {
        SCOPED_TRACE(c.szFile);
        ASSERT_TRUE(test::WriteFileBytes(env.Dir().File(c.szFile), { 1, 2, 3 }));
        const std::string path = c.script.empty() ? env.Dir().File("nowhere") : env.Dir().File("bin") + ":" + m_path;
        setenv("PATH", path.c_str(), 1);
        const std::string program = env.Dir().File("bin/") + c.szProgram, script = "#!/bin/sh\n" + c.script;
        ASSERT_TRUE(c.script.empty() || test::WriteFileBytes(program, { script.begin(), script.end() }));
        std::filesystem::permissions(
            program, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        host.nStopAtPump = c.nResult == 1 ? 8 : 0;
        host.errors.clear();
        bAskUser = true;
        EXPECT_EQ(JobResultCode(Load(c.szFile)), c.nResult);
        EXPECT_EQ(DecodedFilesLeft(), 0u);
        if (c.szSaid) {
            ASSERT_EQ(host.errors.size(), 1u);
            EXPECT_NE(host.errors[0].find(c.szSaid), std::string::npos) << host.errors[0];
            EXPECT_NE(host.errors[0].find(env.Dir().File(c.szFile)), std::string::npos) << host.errors[0];
            continue;
        }
        EXPECT_TRUE(host.errors.empty());
        ExpectReaped();
    }
    // A decoder that never ends is ended at the time-out, with a message.
    setenv("PATH", (env.Dir().File("bin") + ":" + m_path).c_str(), 1);
    LTestProgress progress;
    std::string said;
    LSoundRef<LDecoderPipeSource> source;
    EXPECT_EQ(LExternalDecoder::ForExtension(".WMA").Open(progress, env.Dir().File("a.wma"), &source, &said, 300),
        JobResult::kFailed);
    EXPECT_NE(said.find("Digital Rights Management (DRM)"), std::string::npos) << said;
    EXPECT_NE(said.find("ffmpeg did not end in time"), std::string::npos) << said;
    ExpectReaped();
}
