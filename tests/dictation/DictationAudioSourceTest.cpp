// The dictation as one source: reads and seeks checked against the cut files
// decoded by this file's own code, record by record.
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <random>

namespace {

class DictationAudioSource : public test::EnvTest {
protected:
    // Writes a cut file of `nFrames` frames whose value at frame i, channel c
    // is (base + i) * 2 + c, with the given channel count.
    void WriteCut(LDictation& d, uint16_t n, int32_t nFrames, int base)
    {
        std::vector<uint8_t> bytes;
        for (int32_t i = 0; i < nFrames; ++i)
            for (int c = 0; c < d.Header().uChannels; ++c) {
                const auto v = static_cast<uint16_t>(static_cast<int16_t>(((base + i) * 2 + c) % 32000));
                bytes.push_back(static_cast<uint8_t>(v));
                bytes.push_back(static_cast<uint8_t>(v >> 8));
            }
        ASSERT_TRUE(test::WriteFileBytes(d.GetCutFileName(n), bytes));
    }
    // The timeline as the records name it, in internal units, decoded here.
    std::vector<int32_t> Expected(const LDictation& d)
    {
        const size_t ch = d.Header().uChannels;
        std::vector<int32_t> out;
        for (const CutRecord& cut : d.GetCutList()) {
            std::vector<uint8_t> bytes = test::ReadFileBytes(d.GetCutFileName(cut.uCutNumber));
            const size_t nFileFrames = bytes.size() / 2 / ch;
            const size_t end = cut.uEnd == kCutToEnd ? nFileFrames : cut.uEnd;
            for (size_t f = cut.uStart; f < end; ++f)
                for (size_t c = 0; c < ch; ++c) {
                    const size_t at = (f * ch + c) * 2;
                    out.push_back(f < nFileFrames ? static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8)) * 16 : 0);
                }
        }
        return out;
    }
    std::vector<int32_t> Read(LDictationAudioSource& source, int32_t nFrames)
    {
        std::vector<int32_t> buf(static_cast<size_t>(nFrames) * source.NumChannels(), 0x5A5A5A5A);
        source.Read(buf.data(), nFrames);
        return buf;
    }
    // What reading nFrames at timeline position p must give.
    static std::vector<int32_t> Window(const std::vector<int32_t>& all, int64_t p, int32_t nFrames, size_t ch)
    {
        std::vector<int32_t> out;
        for (int64_t f = p; f < p + nFrames; ++f)
            for (size_t c = 0; c < ch; ++c) {
                const int64_t at = f * static_cast<int64_t>(ch) + static_cast<int64_t>(c);
                out.push_back(f >= 0 && at < static_cast<int64_t>(all.size()) ? all[static_cast<size_t>(at)] : 0);
            }
        return out;
    }
};

// Random seeks (before the start, past the end, within and across records that
// share files or have none) and reads of random sizes, mono and stereo.
TEST_F(DictationAudioSource, RandomSeeksAndReadsMatchTheRecords)
{
    for (uint8_t nChannels : { 1, 2 }) {
        const unsigned seed = 20261207u + nChannels;
        SCOPED_TRACE("seed " + std::to_string(seed) + ", channels " + std::to_string(nChannels));
        test::TempDir folder;
        LDictation d(folder.Path(), "random");
        d.MutableHeader().uChannels = nChannels;
        std::mt19937 rng(seed);
        for (uint16_t n = 0; n < 6; ++n)
            WriteCut(d, n, 200 + static_cast<int32_t>(rng() % 3000), n * 4000);
        for (int i = 0; i < 25; ++i) {
            const uint16_t n = static_cast<uint16_t>(rng() % 7); // 6 has no file
            // The first records start at frames 0 and 1; the third ends before it starts.
            const uint32_t start = i < 2 ? i : 1 + rng() % 2500;
            const uint32_t end = i == 2 ? start - 1 : rng() % 4 == 0 ? kCutToEnd : start + rng() % 800;
            d.MutableCutList().Add(CutRecord { n, start, end });
        }
        const std::vector<int32_t> all = Expected(d);
        auto source = LDictationAudioSource::Make(d);
        ASSERT_EQ(static_cast<size_t>(source->GetLength()) * nChannels, all.size());
        const int64_t nLength = source->GetLength();
        // First wholly before the start, across it, across the end and wholly past it.
        const std::pair<int64_t, int32_t> edges[]
            = { { -500, 300 }, { -20, 100 }, { nLength - 10, 100 }, { nLength + 9000, 10 } };
        int64_t p = 0;
        for (int step = 0; step < 400; ++step) {
            if (step < 4) {
                p = edges[step].first;
                source->Seek(p);
            } else if (rng() % 2) {
                // Near the current position most of the time, to use the in-record path.
                p = rng() % 3 ? p + static_cast<int64_t>(rng() % 400) - 200
                              : static_cast<int64_t>(rng() % (all.size() / nChannels + 400)) - 200;
                source->Seek(p);
            }
            const auto n = step < 4 ? edges[step].second : static_cast<int32_t>(1 + rng() % 700);
            ASSERT_EQ(Read(*source, n), Window(all, p, n, nChannels)) << "step " << step << " at " << p;
            p += n;
            ASSERT_EQ(source->GetPosition(), p);
        }
    }
}

} // namespace
