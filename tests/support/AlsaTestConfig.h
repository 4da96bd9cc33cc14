// An ALSA configuration of the test's own, so that the real ALSA code runs
// without a sound card: every device is a file PCM over the null PCM, whose
// capture side reads a raw input file and whose both sides copy the stream
// into an output file. Set up and torn down on the test's main thread while
// no stream is open.
//
// Devices: 0 "default"; 1 "tavrine_one" and 2 "tavrine_two" (listed as
// "Test Device One" and "Test Device Two"); 3 "tavrine_mono8k" (listed as
// "Test Mono 8000 Hz"), which takes only 8000 Hz mono and writes no file.
// There is no control device, so no mixer.
//
// Good to know: the null PCM takes and gives data as fast as asked, with no
// pacing; the file PCM writes its output in whole periods (padding the last)
// and reads its input only through snd_pcm_readi. At the input's end newer
// ALSA libraries give 0 frames (LPcmCapture::kEnd); older ones, such as 1.2.8,
// go on delivering, and LAlsaBackend then reads silence.
#pragma once

#include "tests/support/TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace test {

class AlsaTestConfig {
public:
    AlsaTestConfig();
    ~AlsaTestConfig();
    AlsaTestConfig(const AlsaTestConfig&) = delete;
    AlsaTestConfig& operator=(const AlsaTestConfig&) = delete;

    // The PCM names of the devices by number, as above.
    static const char* PcmName(uint32_t device);

    // What capture on the device delivers: interleaved S16_LE samples, read
    // when a capture stream is opened (set it before opening).
    bool SetCaptureSamples(uint32_t device, const std::vector<int16_t>& samples) const;
    // Everything the last stream opened on the device passed through (the
    // samples played, or those captured), including the file PCM's padding.
    std::vector<int16_t> StreamSamples(uint32_t device) const;

    std::string InputFile(uint32_t device) const;
    std::string OutputFile(uint32_t device) const;
    const std::string& ConfigFile() const { return m_config; }

private:
    TempDir m_dir;
    std::string m_config;
    bool m_bHadOld = false;
    std::string m_old;
};

} // namespace test
