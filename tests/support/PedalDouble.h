// A USB foot pedal where the kernel's hidraw node would be: a sysfs entry
// naming the pedal's vendor and product and a named pipe in a /dev of the
// test's own, into which the test writes the pedal's reports.
#pragma once

#include "platform/LControllerDevice.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace test {

class PedalDouble {
public:
    // Under folder: "sys" and "dev" with hidraw0 as the three-pedal control.
    explicit PedalDouble(const std::string& folder)
    {
        m_roots.sys = folder + "/sys";
        m_roots.dev = folder + "/dev";
        const std::string sys = m_roots.sys + "/class/hidraw/hidraw0/device";
        std::filesystem::create_directories(sys);
        std::filesystem::create_directories(m_roots.dev);
        std::ofstream(sys + "/uevent") << "HID_ID=0003:000005F3:000000FF\n";
        std::ofstream(sys + "/report_descriptor");
        const std::string node = m_roots.dev + "/hidraw0";
        EXPECT_EQ(mkfifo(node.c_str(), 0600), 0);
        m_fd = open(node.c_str(), O_RDWR | O_CLOEXEC);
        EXPECT_GE(m_fd, 0);
    }
    ~PedalDouble()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    PedalDouble(const PedalDouble&) = delete;
    PedalDouble& operator=(const PedalDouble&) = delete;

    const LDeviceRoots& Roots() const { return m_roots; }

    // Bits 0 to 2: left, middle and right pedal down. Returns once the
    // reader took the report, pumping the caller's event loop meanwhile.
    void Set(uint8_t uBits, const std::function<bool(const std::function<bool()>&)>& pumpUntil)
    {
        const uint8_t report[2] = { 0, uBits };
        ASSERT_EQ(write(m_fd, report, 2), 2);
        EXPECT_TRUE(pumpUntil([this] {
            int n = -1;
            return ioctl(m_fd, FIONREAD, &n) == 0 && n == 0;
        }));
    }

private:
    LDeviceRoots m_roots;
    int m_fd = -1;
};

} // namespace test
