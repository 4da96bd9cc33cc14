#include "platform/LControllerDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::string ReadSmallFile(const std::string& path, size_t nMax = 4096)
{
    std::string text;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[512];
    ssize_t n;
    while (text.size() < nMax && (n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(fd);
    if (text.size() > nMax)
        text.resize(nMax);
    return text;
}

// Names in a folder that begin with prefix followed by a number, in number order.
std::vector<std::string> NumberedEntries(const std::string& folder, const char* szPrefix)
{
    std::vector<std::pair<long, std::string>> found;
    if (DIR* pDir = opendir(folder.c_str())) {
        const size_t nPrefix = std::strlen(szPrefix);
        while (dirent* pEntry = readdir(pDir)) {
            const char* szName = pEntry->d_name;
            if (std::strncmp(szName, szPrefix, nPrefix) != 0 || szName[nPrefix] < '0' || szName[nPrefix] > '9')
                continue;
            char* pEnd = nullptr;
            long nNumber = std::strtol(szName + nPrefix, &pEnd, 10);
            if (*pEnd == '\0' && nNumber < 4096)
                found.emplace_back(nNumber, szName);
        }
        closedir(pDir);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& entry : found)
        names.push_back(std::move(entry.second));
    return names;
}

// "HID_ID=0003:000005F3:000000FF" of a hidraw node's uevent.
bool ParseHidId(const std::string& uevent, uint16_t* pVendor, uint16_t* pProduct)
{
    size_t nAt = uevent.find("HID_ID=");
    if (nAt == std::string::npos)
        return false;
    unsigned uBus = 0, uVendor = 0, uProduct = 0;
    if (std::sscanf(uevent.c_str() + nAt + 7, "%x:%x:%x", &uBus, &uVendor, &uProduct) != 3 || uVendor > 0xFFFF
        || uProduct > 0xFFFF)
        return false;
    *pVendor = static_cast<uint16_t>(uVendor);
    *pProduct = static_cast<uint16_t>(uProduct);
    return true;
}

} // namespace

LDeviceOpen OpenControllerDevice(const std::string& path, int nFlags, int* pFd)
{
    *pFd = open(path.c_str(), nFlags | O_CLOEXEC);
    if (*pFd >= 0)
        return LDeviceOpen::kOpened;
    switch (errno) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return LDeviceOpen::kAbsent;
    case EACCES:
    case EPERM:
        return LDeviceOpen::kNoPermission;
    case EBUSY:
        return LDeviceOpen::kBusy;
    default:
        return LDeviceOpen::kFailed;
    }
}

std::vector<LHidrawNode> FindHidrawNodes(const LDeviceRoots& roots, uint16_t uVendor, int nProduct)
{
    std::vector<LHidrawNode> nodes;
    const std::string classFolder = roots.sys + "/class/hidraw";
    for (const std::string& name : NumberedEntries(classFolder, "hidraw")) {
        LHidrawNode node;
        node.sysfs = classFolder + "/" + name + "/device";
        if (!ParseHidId(ReadSmallFile(node.sysfs + "/uevent"), &node.uVendor, &node.uProduct))
            continue;
        if (node.uVendor != uVendor || (nProduct >= 0 && node.uProduct != nProduct))
            continue;
        node.devnode = roots.dev + "/" + name;
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::vector<std::string> FindInputEventNodes(const LDeviceRoots& roots, uint16_t uVendor)
{
    std::vector<std::string> nodes;
    const std::string classFolder = roots.sys + "/class/input";
    for (const std::string& name : NumberedEntries(classFolder, "event")) {
        const std::string text = ReadSmallFile(classFolder + "/" + name + "/device/id/vendor", 16);
        char* pEnd = nullptr;
        unsigned long uFound = std::strtoul(text.c_str(), &pEnd, 16);
        if (pEnd != text.c_str() && uFound == uVendor)
            nodes.push_back(roots.dev + "/input/" + name);
    }
    return nodes;
}

LHidDescriptorInfo ParseHidDescriptor(const uint8_t* pData, size_t nSize)
{
    LHidDescriptorInfo info;
    uint32_t uUsagePage = 0, uUsage = 0;
    bool bUsage = false, bUsageWithPage = false;
    size_t nAt = 0;
    while (nAt < nSize) {
        const uint8_t uPrefix = pData[nAt];
        if (uPrefix == 0xFE) {
            // A long item: its data size follows, then its tag.
            if (nSize - nAt < 3 || pData[nAt + 1] > nSize - nAt - 3)
                break;
            nAt += 3u + pData[nAt + 1];
            continue;
        }
        const size_t nData = (uPrefix & 3) == 3 ? 4 : (uPrefix & 3);
        if (nData > nSize - nAt - 1)
            break;
        uint32_t uValue = 0;
        for (size_t i = 0; i < nData; ++i)
            uValue |= static_cast<uint32_t>(pData[nAt + 1 + i]) << (8 * i);
        const int nType = (uPrefix >> 2) & 3, nTag = uPrefix >> 4;
        if (nType == 1 && nTag == 0) // Usage Page
            uUsagePage = uValue;
        else if (nType == 1 && nTag == 8) // Report ID
            info.bNumberedReports = true;
        else if (nType == 2 && nTag == 0 && !bUsage) { // Usage: the collection's is the first
            uUsage = uValue;
            bUsage = true;
            bUsageWithPage = nData == 4;
        } else if (nType == 0 && nTag == 0xA && !info.bFound) { // Collection
            info.bFound = true;
            // A four-byte usage carries its own page in the high half.
            info.uUsagePage = static_cast<uint16_t>(bUsageWithPage ? uUsage >> 16 : uUsagePage);
            info.uUsage = static_cast<uint16_t>(uUsage);
        } else if (nType == 0)
            bUsage = false; // local items end with each main item
        nAt += 1 + nData;
    }
    return info;
}

size_t LRecordSplitter::Add(const uint8_t* pData, size_t nSize)
{
    m_bytes.insert(m_bytes.end(), pData, pData + nSize);
    return m_bytes.size() / m_nRecord;
}

void LRecordSplitter::Consume()
{
    const size_t nWhole = m_bytes.size() / m_nRecord * m_nRecord;
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(nWhole));
}

bool DrainInto(int fd, LRecordSplitter& splitter)
{
    uint8_t buffer[1024];
    for (int nRounds = 0; nRounds < 64; ++nRounds) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            splitter.Add(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}
