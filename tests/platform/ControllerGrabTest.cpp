// The dictation microphone's grab on a real input device: a keyboard-like
// device made through /dev/uinput with the microphone's vendor. While the
// reader holds it, another reader of the same node sees none of its keys.
#include "platform/LDictationMicrophone.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <linux/uinput.h>

#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

void Emit(int fd, uint16_t uType, uint16_t uCode, int32_t nValue)
{
    input_event event {};
    event.type = uType;
    event.code = uCode;
    event.value = nValue;
    ASSERT_EQ(write(fd, &event, sizeof event), ssize_t(sizeof event));
}

void Tap(int fd, uint16_t uKey)
{
    for (int nValue : { 1, 0 }) {
        Emit(fd, EV_KEY, uKey, nValue);
        Emit(fd, EV_SYN, SYN_REPORT, 0);
    }
}

// The key events another reader of the node sees within nMs.
int KeyEventsSeen(int fd, int nMs)
{
    int nKeys = 0;
    pollfd pfd { fd, POLLIN, 0 };
    input_event event;
    while (poll(&pfd, 1, nMs) == 1 && read(fd, &event, sizeof event) == ssize_t(sizeof event))
        nKeys += event.type == EV_KEY;
    return nKeys;
}

} // namespace

TEST(ControllerGrab, GrabbedMicrophoneKeysReachNoOtherReader)
{
    const int uinput = open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (uinput < 0)
        GTEST_SKIP() << "/dev/uinput cannot be opened here (" << std::strerror(errno)
                     << "): no input device can be made, so the grab is not tried";
    ioctl(uinput, UI_SET_EVBIT, EV_KEY);
    for (int nKey : { KEY_RECORD, KEY_A })
        ioctl(uinput, UI_SET_KEYBIT, nKey);
    uinput_setup setup {};
    setup.id.bustype = BUS_USB;
    setup.id.vendor = kVendorSpeech;
    setup.id.product = 0x1234;
    std::strcpy(setup.name, "tavrine test microphone");
    ASSERT_EQ(ioctl(uinput, UI_DEV_SETUP, &setup), 0);
    ASSERT_EQ(ioctl(uinput, UI_DEV_CREATE), 0);

    std::vector<std::string> nodes;
    ASSERT_TRUE(test::WaitUntil([&] {
        nodes = LDictationMicrophone::Find({});
        return !nodes.empty() && access(nodes.back().c_str(), R_OK) == 0;
    })) << "the made device never showed in sysfs";
    const std::string node = nodes.back();
    const int other = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(other, 0);

    LDictationMicrophone microphone;
    ASSERT_EQ(microphone.Open({ node }), LDeviceOpen::kOpened);
    ASSERT_TRUE(microphone.IsGrabbed());
    Tap(uinput, KEY_RECORD);
    Tap(uinput, KEY_A);
    std::vector<int> events;
    ASSERT_TRUE(test::WaitUntil([&] { return microphone.Read(microphone.Fds().at(0), &events), events.size() >= 2; }));
    EXPECT_EQ(events, (std::vector<int> { 6, 7 }));
    EXPECT_EQ(KeyEventsSeen(other, 200), 0);

    // Let go, the same keys reach the other reader: it was listening all along.
    microphone.Close();
    Tap(uinput, KEY_A);
    EXPECT_EQ(KeyEventsSeen(other, 200), 2);
    close(other);
    ioctl(uinput, UI_DEV_DESTROY);
    close(uinput);
}
