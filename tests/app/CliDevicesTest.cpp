// tavrine-cli devices against an ALSA configuration of the test's own.
#include "tests/app/CliFixture.h"
#include "tests/support/AlsaTestConfig.h"

namespace {

class CliDevices : public CliTest {
protected:
    test::AlsaTestConfig alsa;
};

TEST_F(CliDevices, ListsInputsAndOutputsByNumber)
{
    std::string out;
    ASSERT_EQ(Run("devices", &out), 0) << out;
    EXPECT_EQ(out,
        "Sound inputs:\n0  [Default Sound In]\n1  Test Device One\n2  Test Device Two\n3  Test Mono 8000 Hz\n"
        "Sound outputs:\n0  [Default Sound Out]\n1  Test Device One\n2  Test Device Two\n3  Test Mono 8000 Hz\n");
    EXPECT_EQ(Run("devices extra", &out), 2);
}

} // namespace
