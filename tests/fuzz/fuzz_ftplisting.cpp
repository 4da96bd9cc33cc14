// Arbitrary bytes as a server's name listing (NLST) and machine listing
// (MLSD): each name given is the end of a whole line of the input and usable
// as a file name in the directory, never a way out.
#include "platform/LFileTransferProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void CheckName(const std::string& name)
{
    if (name.empty() || name.size() > 255 || name == "." || name.find("..") != std::string::npos
        || name.find_first_of("/\\") != std::string::npos)
        std::abort();
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::string_view listing(reinterpret_cast<const char*>(pData), nSize);
    std::string framed = "\n" + std::string(listing) + "\n";
    for (const std::string& name : LFileTransferProtocol::ParseNameList(listing)) {
        CheckName(name);
        if (framed.find("\n" + name + "\n") == std::string::npos
            && framed.find("\n" + name + "\r\n") == std::string::npos)
            std::abort();
    }
    std::vector<std::string> rejected;
    for (const LFileTransferProtocol::Entry& entry : LFileTransferProtocol::ParseMachineList(listing, &rejected)) {
        CheckName(entry.name);
        if (framed.find(" " + entry.name + "\n") == std::string::npos
            && framed.find(" " + entry.name + "\r\n") == std::string::npos)
            std::abort();
    }
    for (const std::string& line : rejected)
        for (char c : line)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                std::abort();
    return 0;
}
