// Controllers end to end: recorded reports fed into pipes where the kernel's
// nodes would be (a sysfs and /dev of the test's own), the serial lines
// through a double of their status read, and the real command set with a
// clock the test moves, over a router that writes down what it was asked.
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LCommandSet.h"
#include "app/shared/input/LControllers.h"
#include "app/shared/input/LInputKeys.h"
#include "tests/desktop/DesktopFixture.h"

#include <linux/input.h>
#include <linux/joystick.h>

#include <atomic>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Js(uint8_t uButton, int16_t nValue)
{
    return { 0, 0, 0, 0, uint8_t(nValue), 0, JS_EVENT_BUTTON, uButton };
}

Bytes Key(uint16_t uCode, int32_t nValue)
{
    input_event event {};
    event.type = EV_KEY;
    event.code = uCode;
    event.value = nValue;
    Bytes bytes(sizeof event);
    std::memcpy(bytes.data(), &event, sizeof event);
    return bytes;
}

class ControllersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        roots.sys = env.Dir().File("sys");
        roots.dev = env.Dir().File("dev");
        std::filesystem::create_directories(roots.dev + "/input");
        for (auto [id, name] : std::initializer_list<std::pair<LCommandId, const char*>> {
                 { LCommandId::kRecord, "record" }, { LCommandId::kRecordInsert, "insert" },
                 { LCommandId::kPlay, "play" }, { LCommandId::kStop, "stop" }, { LCommandId::kRewind, "rewind" },
                 { LCommandId::kFastForward, "forward" }, { LCommandId::kSetSend, "send" } }) {
            LCommandRouter::Handler handler;
            const std::string text = name;
            handler.trigger = [this, text] {
                log += (log.empty() ? "" : ",") + text;
                if (text == "record" || text == "insert")
                    bRecording = true;
                else if (text == "play")
                    bPlaying = true;
                else if (text == "stop")
                    bRecording = bPlaying = false;
                return true;
            };
            handler.release = [this, text] { return log += "," + text + " up", true; };
            router.Register(id, std::move(handler));
        }
    }
    void TearDown() override
    {
        controllers.reset();
        for (int fd : fds)
            close(fd);
    }

    // A node: a pipe in dev, and its sysfs entry naming vendor and product.
    std::string AddHidraw(int n, uint16_t uVendor, uint16_t uProduct, const Bytes& descriptor = {})
    {
        const std::string sys = roots.sys + "/class/hidraw/hidraw" + std::to_string(n) + "/device";
        std::filesystem::create_directories(sys);
        char uevent[64];
        std::snprintf(uevent, sizeof uevent, "HID_ID=0003:%08X:%08X\n", uVendor, uProduct);
        test::WriteFileBytes(sys + "/uevent", Bytes(uevent, uevent + std::strlen(uevent)));
        test::WriteFileBytes(sys + "/report_descriptor", descriptor);
        return Pipe("hidraw" + std::to_string(n));
    }
    std::string AddInputEvent(int n, const char* szVendor)
    {
        const std::string sys = roots.sys + "/class/input/event" + std::to_string(n) + "/device/id";
        std::filesystem::create_directories(sys);
        test::WriteFileBytes(sys + "/vendor", Bytes(szVendor, szVendor + std::strlen(szVendor)));
        return Pipe("input/event" + std::to_string(n));
    }
    std::string Pipe(const std::string& name)
    {
        const std::string path = roots.dev + "/" + name;
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        fds.push_back(open(path.c_str(), O_RDWR | O_CLOEXEC));
        pipes[name] = fds.back();
        return path;
    }
    // Writes a report and runs the window's events until the reader took it.
    void Feed(const std::string& name, const Bytes& bytes)
    {
        const int fd = pipes.at(name);
        ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        EXPECT_TRUE(PumpUntil([fd] {
            int n = -1;
            return ioctl(fd, FIONREAD, &n) == 0 && n == 0;
        }));
        PumpFor(5);
    }
    void Start(int nPort)
    {
        InputKeys::kControlPort.Set(nPort);
        HardwareControl::Devices devices { roots, [this](int, int* pStatus) { return *pStatus = nStatus, 0; }, {} };
        controllers = std::make_unique<LControllers>(
            set, router, LControllers::State { [this] { return bRecording; }, [this] { return bPlaying; } }, devices);
        controllers->SetMessageBox([this](const QString&, const QString& text) { messages << text; });
        controllers->StartHardwareControl();
    }

    test::IsolatedEnvironment env;
    LDeviceRoots roots;
    LCommandRouter router;
    std::string log;
    bool bRecording = false, bPlaying = false;
    uint64_t uNow = 1000;
    // The serial lines' watcher reads it on its own thread.
    std::atomic<int> nStatus { 0 };
    LCommandSet set { router, { [this] { return bRecording; }, [this] { return bPlaying; } }, [this] { return uNow; } };
    std::unique_ptr<LControllers> controllers;
    std::vector<int> fds;
    std::map<std::string, int> pipes;
    QStringList messages;
};

// The consumer-page collection of the station's key interface.
const Bytes kStationDescriptor = { 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0 };

} // namespace

TEST_F(ControllersTest, ButtonsEndInTheCommandSetWithTheHoldRule)
{
    // Each step feeds a report into the port's pipe (or sets the serial
    // lines and waits for the poll), then lets time pass for the hold rule.
    struct Step {
        Bytes bytes;
        int nLines = -1;
        uint64_t uThenMs = 0;
    };
    struct Case {
        const char* szName;
        int nPort;
        const char* szPipe;
        std::vector<Step> steps;
        const char* szLog;
    };
    const Case kCases[] = {
        { "both pedals act as pedal 3, held over the limit", 3, "hidraw0",
            { { { 0, 3, 0 }, -1, 700 }, { { 0, 0, 0 } } }, "record,stop" },
        { "holding pedal 1 rewinds while held", 3, "hidraw0", { { { 0, 1 }, -1, 2000 }, { { 0, 0 } } },
            "rewind,rewind up" },
        { "tapping button 2 latches play, tapping again stops", 1, "input/js0",
            { { Js(1, 1), -1, 100 }, { Js(1, 0), -1, 1000 }, { Js(1, 1), -1, 100 }, { Js(1, 0) } }, "play,stop" },
        { "an end-of-letter press sends once", 2, "input/js1", { { Js(3, 1), -1, 3000 }, { Js(3, 0) } }, "send" },
        { "a press and release read at once both count", 1, "input/js0", { { [] {
             Bytes both = Js(0, 1), up = Js(0, 0);
             both.insert(both.end(), up.begin(), up.end());
             return both;
         }() } },
            "rewind,rewind up" },
        { "buttons changed in one poll go in the order 1, 2, 3, end of letter", 4, nullptr,
            { { {}, TIOCM_DSR | TIOCM_RNG | TIOCM_CAR }, { {}, TIOCM_CTS } }, "play,record,send,rewind,stop" },
    };
    AddHidraw(0, kVendorVec, kProductInfinityPedal);
    Pipe("input/js0");
    Pipe("input/js1");
    ASSERT_TRUE(test::WriteFileBytes(roots.dev + "/ttyS0", {}));
    for (const Case& c : kCases) {
        log.clear();
        bRecording = bPlaying = false;
        nStatus = 0;
        Start(c.nPort);
        EXPECT_TRUE(messages.isEmpty()) << c.szName;
        for (const Step& step : c.steps) {
            if (step.nLines >= 0) {
                nStatus = step.nLines;
                PumpFor(LControllers::kFirstPollMs + 2 * LControllers::kPollMs);
            } else
                Feed(c.szPipe, step.bytes);
            uNow += step.uThenMs;
        }
        EXPECT_EQ(log, c.szLog) << c.szName;
        controllers.reset();
    }
}

TEST_F(ControllersTest, StationAndMicrophoneOpenWhateverThePortAndDriveTheTransport)
{
    AddHidraw(1, kVendorVec, kProductVoiceStation, kStationDescriptor);
    AddInputEvent(2, "0911\n");
    Start(0);
    EXPECT_TRUE(controllers->IsStationOpen());
    EXPECT_TRUE(controllers->IsMicrophoneOpen());
    // Record, the same keys again, stopped, end of letter: one message each.
    for (Bytes report : { Bytes { 0x10 }, Bytes { 0x10 }, Bytes { 0x00 }, Bytes { 0x80 } })
        Feed("hidraw1", report);
    EXPECT_TRUE(PumpUntil([&] { return log == "record,stop,send"; }, 2000)) << log;

    log.clear();
    bRecording = false;
    Feed("input/event2", Key(KEY_RECORD, 1));
    uNow += 700;
    // Stop is ignored while record is held.
    Feed("input/event2", Key(KEY_STOPCD, 1));
    Feed("input/event2", Key(KEY_RECORD, 0));
    Feed("input/event2", Key(KEY_NEXTSONG, 1));
    Feed("input/event2", Key(KEY_REWIND, 1));
    Feed("input/event2", Key(KEY_REWIND, 0));
    EXPECT_EQ(log, "record,stop,send,rewind,rewind up");
    EXPECT_TRUE(messages.isEmpty());
}

// A station chosen but not there, or whose node has gone, is said as the microphone's absence is.
TEST_F(ControllersTest, AChosenStationThatDoesNotAnswerIsSaid)
{
    for (bool bListed : { false, true }) {
        controllers.reset();
        messages.clear();
        if (bListed)
            std::filesystem::remove(AddHidraw(1, kVendorVec, kProductVoiceStation, kStationDescriptor));
        Start(HardwareControl::kVoiceStation);
        ASSERT_EQ(messages.size(), 1) << bListed;
        EXPECT_TRUE(messages[0].startsWith("Unable to detect a Voice Input Station.")) << messages[0].toStdString();
    }
}
