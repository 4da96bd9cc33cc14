// Splits arbitrary bytes as a recipient's command template: a template
// without a '%' never yields the path, and each "%filepath%" puts the path,
// whole, into exactly one argument.
#include "send/LRunCommand.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::string text(reinterpret_cast<const char*>(pData), nSize);
    const std::string path = "\x01 my \"dict\" 'it' \\ $x;|.dct";
    std::vector<std::string> args;
    std::string problem;
    if (!SplitCommandTemplate(text, path, &args, &problem)) {
        if (problem.empty())
            std::abort();
        return 0;
    }
    size_t nFound = 0;
    for (const std::string& arg : args)
        for (size_t at = arg.find(path); at != std::string::npos; at = arg.find(path, at + 1))
            ++nFound;
    size_t nTokens = 0;
    for (size_t at = text.find("%filepath%"); at != std::string::npos; at = text.find("%filepath%", at + 1))
        ++nTokens;
    if (text.find('%') == std::string::npos && nFound != 0)
        std::abort();
    if (nTokens == 0 && text.find("%filepath") == std::string::npos && nFound != 0)
        std::abort();
    return 0;
}
