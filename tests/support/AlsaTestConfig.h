// An ALSA configuration of the test's own, so the real ALSA code runs without
// a sound card: every device is a file PCM over the null PCM (unpaced), whose
// capture reads a raw input file and whose both sides copy the stream, in
// whole periods, into an output file. Devices: 0 "default"; 1 "tavrine_one",
// 2 "tavrine_two" ("Test Device One"/"Two"); 3 "tavrine_mono8k" ("Test Mono
// 8000 Hz", 8000 Hz mono only, no file). No control device, so no mixer. At
// the input's end newer ALSA gives kEnd, older (1.2.8) goes on with silence.
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
