#include "tests/support/AlsaTestConfig.h"

#include "platform/LAlsaBackend.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace test {

namespace {

const char* const kNames[] = { "default", "tavrine_one", "tavrine_two", "tavrine_mono8k" };
constexpr uint32_t kFileDevices = 3;

std::string FileDevice(const std::string& head, const std::string& in, const std::string& out, const char* szHint)
{
    std::string text = head + " {\n  type file\n  slave.pcm { type null }\n  format \"raw\"\n  file \"" + out
        + "\"\n  infile \"" + in + "\"\n";
    if (szHint)
        text += "  hint { show on description \"" + std::string(szHint) + "\" }\n";
    return text + "}\n";
}

} // namespace

AlsaTestConfig::AlsaTestConfig()
{
    m_config = m_dir.File("asound.conf");
    std::string text = FileDevice("pcm.!default", InputFile(0), OutputFile(0), nullptr)
        + FileDevice("pcm.tavrine_one", InputFile(1), OutputFile(1), "Test Device One")
        + FileDevice("pcm.tavrine_two", InputFile(2), OutputFile(2), "Test Device Two")
        + "pcm.tavrine_mono8k {\n  type multi\n"
          "  slaves.a { pcm { type plug slave { pcm { type null } rate 8000 } } channels 1 }\n"
          "  bindings.0 { slave a channel 0 }\n"
          "  hint { show on description \"Test Mono 8000 Hz\" }\n}\n";
    EXPECT_TRUE(WriteFileBytes(m_config, { text.begin(), text.end() }));
    for (uint32_t i = 0; i < kFileDevices; ++i)
        EXPECT_TRUE(WriteFileBytes(InputFile(i), {}));
    if (const char* p = getenv("ALSA_CONFIG_PATH")) {
        m_bHadOld = true;
        m_old = p;
    }
    setenv("ALSA_CONFIG_PATH", m_config.c_str(), 1);
    LAlsaBackend::ReloadConfiguration();
}

AlsaTestConfig::~AlsaTestConfig()
{
    if (m_bHadOld)
        setenv("ALSA_CONFIG_PATH", m_old.c_str(), 1);
    else
        unsetenv("ALSA_CONFIG_PATH");
    LAlsaBackend::ReloadConfiguration();
}

const char* AlsaTestConfig::PcmName(uint32_t device)
{
    return device < sizeof(kNames) / sizeof(kNames[0]) ? kNames[device] : "";
}

std::string AlsaTestConfig::InputFile(uint32_t device) const
{
    return m_dir.File("in" + std::to_string(device) + ".raw");
}

std::string AlsaTestConfig::OutputFile(uint32_t device) const
{
    return m_dir.File("out" + std::to_string(device) + ".raw");
}

bool AlsaTestConfig::SetCaptureSamples(uint32_t device, const std::vector<int16_t>& samples) const
{
    if (device >= kFileDevices)
        return false;
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        uint16_t u = static_cast<uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<uint8_t>(u & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>(u >> 8);
    }
    return WriteFileBytes(InputFile(device), bytes);
}

std::vector<int16_t> AlsaTestConfig::StreamSamples(uint32_t device) const
{
    std::vector<int16_t> samples;
    if (device >= kFileDevices)
        return samples;
    std::vector<uint8_t> bytes = ReadFileBytes(OutputFile(device));
    samples.resize(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(uint16_t(bytes[2 * i]) | uint16_t(bytes[2 * i + 1]) << 8);
    return samples;
}

} // namespace test
