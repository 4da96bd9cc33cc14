// Arbitrary bytes as a server's name listing: each name given is a whole line
// of the input and usable as a file name in the directory, never a way out.
#include "platform/LFileTransferProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::string_view listing(reinterpret_cast<const char*>(pData), nSize);
    std::string framed = "\n" + std::string(listing) + "\n";
    for (const std::string& name : LFileTransferProtocol::ParseNameList(listing)) {
        if (name.empty() || name.size() > 255 || name == "." || name.find("..") != std::string::npos
            || name.find_first_of("/\\") != std::string::npos)
            std::abort();
        for (char c : name)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                std::abort();
        if (framed.find("\n" + name + "\n") == std::string::npos
            && framed.find("\n" + name + "\r\n") == std::string::npos)
            std::abort();
    }
    return 0;
}
