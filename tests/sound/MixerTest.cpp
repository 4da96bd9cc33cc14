// The mixer's decibel forms.
#include "sound/device/LMixer.h"

#include <gtest/gtest.h>

namespace {

TEST(MixerText, DecibelTextsReadBackAndOddTextsParse)
{
    for (int d = -127; d <= 127; ++d)
        EXPECT_EQ(LMixer::ParseDB(LMixer::LevelText(d)), d);
    const std::pair<const char*, int> parsed[] = { { "--dB", -127 }, { "200", 127 }, { "-200 dB", -127 },
        { "level: 3 4", 34 }, { "", 0 }, { "99999999999999999999999", 127 } };
    for (auto [szText, nDb] : parsed)
        EXPECT_EQ(LMixer::ParseDB(szText), nDb) << szText;
}

} // namespace
