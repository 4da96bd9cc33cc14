// What the controller readers share: opening a device node with a result that
// tells a missing device from one the user may not open, finding HID raw and
// input-event nodes through sysfs by vendor and product, the few fields of a
// HID report descriptor that tell devices of one vendor apart, and cutting a
// byte stream into the fixed-size records the joystick and input-event
// interfaces deliver. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The vendors whose devices the program reads (and the udev rule names).
inline constexpr uint16_t kVendorVec = 0x05F3;
inline constexpr uint16_t kVendorSpeech = 0x0911;

enum class LDeviceOpen { kOpened, kAbsent, kNoPermission, kBusy, kFailed };

// Opens path with flags (O_CLOEXEC is added); *pFd is -1 unless kOpened.
LDeviceOpen OpenControllerDevice(const std::string& path, int nFlags, int* pFd);

// Where the kernel's views live: "/sys" and "/dev", a test's own tree otherwise.
struct LDeviceRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
};

struct LHidrawNode {
    std::string devnode; // "<dev>/hidrawN"
    std::string sysfs; // "<sys>/class/hidraw/hidrawN/device"
    uint16_t uVendor = 0;
    uint16_t uProduct = 0;
};
// Every hidraw node of the vendor (and product, unless nProduct < 0), by name.
std::vector<LHidrawNode> FindHidrawNodes(const LDeviceRoots& roots, uint16_t uVendor, int nProduct = -1);
// Every input-event node ("<dev>/input/eventN") of the vendor, by number.
std::vector<std::string> FindInputEventNodes(const LDeviceRoots& roots, uint16_t uVendor);

// The top-level application collection of a report descriptor: its usage page
// and usage, and whether the device numbers its reports (hidraw then gives the
// report number as the first byte of each report, else it gives none).
struct LHidDescriptorInfo {
    bool bFound = false;
    uint16_t uUsagePage = 0;
    uint16_t uUsage = 0;
    bool bNumberedReports = false;
};
LHidDescriptorInfo ParseHidDescriptor(const uint8_t* pData, size_t nSize);

// Gathers bytes into records of one size, keeping a partial one for the next read.
class LRecordSplitter {
public:
    explicit LRecordSplitter(size_t nRecord)
        : m_nRecord(nRecord)
    {
    }
    // Appends the bytes and returns how many whole records Record(i) now holds.
    size_t Add(const uint8_t* pData, size_t nSize);
    size_t Count() const { return m_bytes.size() / m_nRecord; }
    const uint8_t* Record(size_t i) const { return m_bytes.data() + i * m_nRecord; }
    // Drops the records handed out, keeping the partial tail.
    void Consume();
    void Reset() { m_bytes.clear(); }

private:
    size_t m_nRecord;
    std::vector<uint8_t> m_bytes;
};

// Reads everything fd holds now (non-blocking) into the splitter; false when
// the device is gone (end of file or a read error other than "try again").
bool DrainInto(int fd, LRecordSplitter& splitter);
