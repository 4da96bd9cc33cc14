// The controller readers fed recorded reports through a pipe where the kernel's
// node would be, one table of cases per kind of reader.
#include "platform/LDictationMicrophone.h"
#include "platform/LHidPedal.h"
#include "platform/LJoystickReader.h"
#include "platform/LSerialLines.h"
#include "platform/LVoiceStation.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <linux/input.h>
#include <linux/joystick.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <mutex>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A named pipe the test writes recorded reports into; it holds its own read
// end too, so the reader never sees an end of file before the test closes it.
struct Fifo {
    explicit Fifo(const std::string& path)
        : path(path)
    {
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
    ~Fifo() { Close(); }
    void Close()
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    void Write(const Bytes& bytes) { ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // Until a reader thread has taken everything.
    bool Drained()
    {
        return test::WaitUntil([&] {
            int n = -1;
            return ioctl(fd, FIONREAD, &n) == 0 && n == 0;
        });
    }
    std::string path;
    int fd = -1;
};

Bytes JsEvent(uint8_t uType, uint8_t uNumber, int16_t nValue)
{
    return { 1, 0, 0, 0, uint8_t(nValue & 0xFF), uint8_t(uint16_t(nValue) >> 8), uType, uNumber };
}

Bytes KeyEvent(uint16_t uType, uint16_t uCode, int32_t nValue)
{
    input_event event {};
    event.type = uType;
    event.code = uCode;
    event.value = nValue;
    Bytes bytes(sizeof event);
    std::memcpy(bytes.data(), &event, sizeof event);
    return bytes;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

} // namespace

TEST(ControllerReaders, SerialLinesGiveButtonBitsFromTheModemStatus)
{
    test::TempDir dir;
    ASSERT_TRUE(test::WriteFileBytes(dir.File("ttyS0"), {}));
    int nStatus = 0, nResult = 0;
    LSerialLines lines([&](int, int* pStatus) { return *pStatus = nStatus, nResult; });
    EXPECT_EQ(lines.ReadBits(), 0) << "closed";
    EXPECT_EQ(lines.Open(dir.File("ttyS1")), LDeviceOpen::kAbsent);
    ASSERT_EQ(lines.Open(dir.File("ttyS0")), LDeviceOpen::kOpened);
    const std::pair<int, uint8_t> kCases[] = { { TIOCM_CTS, 1 }, { TIOCM_DSR, 2 }, { TIOCM_RNG, 4 }, { TIOCM_CAR, 8 },
        { TIOCM_CTS | TIOCM_DSR | TIOCM_RTS | TIOCM_DTR, 3 }, { TIOCM_RTS | TIOCM_DTR | TIOCM_LE, 0 } };
    for (auto [nLines, uBits] : kCases) {
        nStatus = nLines;
        EXPECT_EQ(lines.ReadBits(), uBits) << std::hex << nLines;
    }
    nResult = -1; // the status cannot be read
    EXPECT_EQ(lines.ReadBits(), 0);
}

TEST(ControllerReaders, JoystickEventsGiveButtonsOneToFour)
{
    struct Case {
        const char* szName;
        std::vector<Bytes> writes;
        Bytes states;
    };
    const Case kCases[] = {
        { "press and release read together both count",
            { Cat({ JsEvent(JS_EVENT_BUTTON, 0, 1), JsEvent(JS_EVENT_BUTTON, 0, 0) }) }, { 1, 0 } },
        { "initial state of a held button", { JsEvent(JS_EVENT_BUTTON | JS_EVENT_INIT, 2, 1) }, { 4 } },
        { "buttons 1 and 2 together", { JsEvent(JS_EVENT_BUTTON, 0, 1), JsEvent(JS_EVENT_BUTTON, 1, 1) }, { 1, 3 } },
        { "axes and buttons past 4 are not buttons",
            { JsEvent(JS_EVENT_AXIS, 0, -32767), JsEvent(JS_EVENT_BUTTON, 4, 1), JsEvent(JS_EVENT_BUTTON, 3, 1) },
            { 8 } },
        { "an event split over two reads", { Bytes { 1, 0, 0, 0, 1 }, Bytes { 0, JS_EVENT_BUTTON, 1 } }, { 2 } },
    };
    for (const Case& c : kCases) {
        test::TempDir dir;
        Fifo fifo(dir.File("js0"));
        LJoystickReader reader;
        ASSERT_EQ(reader.Open(fifo.path), LDeviceOpen::kOpened);
        Bytes states;
        for (const Bytes& bytes : c.writes) {
            fifo.Write(bytes);
            EXPECT_TRUE(reader.Read(&states)) << c.szName;
        }
        EXPECT_EQ(states, c.states) << c.szName;
    }
}

TEST(ControllerReaders, PedalByteFollowsTheReportStride)
{
    struct Case {
        const char* szName;
        std::vector<Bytes> reads;
        Bytes pedals; // after each read
        int nStride;
    };
    const Case kCases[] = {
        { "stride 2", { { 0, 1 }, { 0, 5 }, { 0, 0 } }, { 1, 5, 0 }, 2 },
        { "stride 3", { { 0, 2, 0 }, { 0, 6, 0 } }, { 2, 6 }, 3 },
        { "two reports at once: the last one counts", { { 0, 1, 0, 3 } }, { 3 }, 2 },
        { "6 and 12 bytes before any other size give 0", { Bytes(6, 1), Bytes(12, 2), { 0, 4, 9, 0, 7, 9, 0, 1, 9 } },
            { 0, 0, 1 }, 3 },
        { "a stride once known stays", { { 0, 2, 0 }, { 0, 4, 0, 0, 1, 0 } }, { 2, 1 }, 3 },
    };
    for (const Case& c : kCases) {
        test::TempDir dir;
        Fifo fifo(dir.File("hidraw0"));
        LHidPedal pedal;
        ASSERT_EQ(pedal.Open(fifo.path), LDeviceOpen::kOpened);
        Bytes pedals;
        for (const Bytes& bytes : c.reads) {
            fifo.Write(bytes);
            EXPECT_TRUE(pedal.Read(nullptr)) << c.szName;
            pedals.push_back(pedal.Pedals());
        }
        EXPECT_EQ(pedals, c.pedals) << c.szName;
        LPedalStride stride;
        for (const Bytes& bytes : c.reads)
            stride.Take(bytes.data(), bytes.size());
        EXPECT_EQ(stride.Stride(), c.nStride) << c.szName;
    }
}

TEST(ControllerReaders, VoiceStationKeyReportsGiveTransportCodesOnChangeOnly)
{
    struct Case {
        const char* szName;
        bool bNumbered;
        std::vector<Bytes> reports;
        std::vector<int> codes;
    };
    const Case kCases[] = {
        { "record, the same bits again, then stopped", false, { { 0x10 }, { 0x10 }, { 0x00 } }, { 1, 0 } },
        { "later keys win", false, { { 0x02 | 0x04 }, { 0x02 | 0x04 | 0x40 }, { 0x02 } }, { 2, 5, 3 } },
        { "forward", false, { { 0x20 } }, { 4 } },
        { "end of letter once per press", false, { { 0x80 }, { 0x84 }, { 0x04 }, { 0x80 } }, { 7, 2, 0, 7 } },
        { "numbered reports carry the keys second", true, { { 0x01, 0x04 }, { 0x04, 0x04 } }, { 2 } },
        { "an empty numbered report is skipped", true, { { 0x01 }, { 0x01, 0x10 } }, { 1 } },
    };
    for (const Case& c : kCases) {
        test::TempDir dir;
        Fifo fifo(dir.File("hidraw1"));
        std::mutex mutex;
        std::vector<int> codes;
        LVoiceStation station;
        ASSERT_TRUE(test::WriteFileBytes(dir.File("indicator"), {}));
        ASSERT_EQ(station.Open(
                      { fifo.path, c.bNumbered },
                      [&](int nCode) {
                          std::lock_guard<std::mutex> lock(mutex);
                          codes.push_back(nCode);
                      },
                      dir.File("indicator")),
            LDeviceOpen::kOpened);
        for (const Bytes& report : c.reports) {
            fifo.Write(report);
            ASSERT_TRUE(fifo.Drained()) << c.szName;
        }
        ASSERT_TRUE(station.SetIndicator(LVoiceStation::kRecording));
        station.Close();
        EXPECT_EQ(codes, c.codes) << c.szName;
        Bytes expected(80, 0);
        expected[1] = 2, expected[2] = 41, expected[3] = 17;
        EXPECT_EQ(test::ReadFileBytes(dir.File("indicator")), expected);
    }
}

TEST(ControllerReaders, MicrophoneKeyEventsGiveButtonEvents)
{
    struct Case {
        const char* szName;
        std::vector<Bytes> writes;
        std::vector<int> events;
    };
    const Bytes kSyn = KeyEvent(EV_SYN, SYN_REPORT, 0), kForward = KeyEvent(EV_KEY, KEY_FASTFORWARD, 1);
    const Case kCases[] = {
        { "record held with repeats, then let go",
            { Cat({ KeyEvent(EV_KEY, KEY_RECORD, 1), kSyn }), KeyEvent(EV_KEY, KEY_RECORD, 2),
                KeyEvent(EV_KEY, KEY_RECORD, 0) },
            { 6, 7 } },
        { "the transport keys",
            { Cat({ KeyEvent(EV_KEY, KEY_PLAYPAUSE, 1), KeyEvent(EV_KEY, KEY_STOPCD, 1),
                KeyEvent(EV_KEY, KEY_REWIND, 0), KeyEvent(EV_KEY, KEY_NEXTSONG, 1) }) },
            { 20, 2, 13, 10 } },
        { "keys not in the table and other events", { KeyEvent(EV_KEY, KEY_A, 1), KeyEvent(EV_MSC, MSC_SCAN, 1) }, {} },
        { "an event split over two reads",
            { Bytes(kForward.begin(), kForward.begin() + 5), Bytes(kForward.begin() + 5, kForward.end()) }, { 14 } },
    };
    for (const Case& c : kCases) {
        test::TempDir dir;
        Fifo fifo(dir.File("event3"));
        LDictationMicrophone microphone;
        ASSERT_EQ(microphone.Open({ fifo.path, dir.File("event4") }), LDeviceOpen::kOpened);
        EXPECT_FALSE(microphone.IsGrabbed()) << "a pipe cannot be grabbed";
        std::vector<int> events;
        for (const Bytes& bytes : c.writes) {
            fifo.Write(bytes);
            EXPECT_TRUE(microphone.Read(microphone.Fds().at(0), &events)) << c.szName;
        }
        EXPECT_EQ(events, c.events) << c.szName;
    }
}

// The watcher sleeps in the driver's line wait where there is one and polls
// where there is none; either way a press reaches the callback, and closing
// the port wakes a watcher asleep in the wait at once.
TEST(ControllerReaders, SerialLinesWatcherSeesPressesAndStopsWhenClosed)
{
    test::TempDir dir;
    ASSERT_TRUE(test::WriteFileBytes(dir.File("ttyS0"), {}));
    for (bool bDriverWaits : { true, false }) {
        SCOPED_TRACE(bDriverWaits ? "TIOCMIWAIT" : "EINVAL, polled");
        int wake[2];
        ASSERT_EQ(pipe2(wake, O_CLOEXEC), 0);
        std::atomic<int> nStatus { 0 }, nBits { -1 };
        LSerialLines lines([&](int, int* pStatus) { return *pStatus = nStatus, 0; },
            [&](int, int) {
                if (!bDriverWaits)
                    return errno = EINVAL, -1;
                char c;
                return read(wake[0], &c, 1) == 1 ? 0 : -1;
            });
        ASSERT_EQ(lines.Open(dir.File("ttyS0")), LDeviceOpen::kOpened);
        ASSERT_TRUE(lines.Watch([&](uint8_t uBits) { nBits = uBits; }));
        EXPECT_TRUE(test::WaitUntil([&] { return nBits == 0; }));
        nStatus = TIOCM_RNG;
        ASSERT_EQ(write(wake[1], "x", 1), 1);
        EXPECT_TRUE(test::WaitUntil([&] { return nBits == 4; })) << nBits;

        auto closed = std::async(std::launch::async, [&] { lines.Close(); });
        const bool bWoken = closed.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        EXPECT_TRUE(bWoken) << "the watcher slept on in the line wait";
        while (closed.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
            ASSERT_EQ(write(wake[1], "x", 1), 1);
        close(wake[0]);
        close(wake[1]);
    }
}
