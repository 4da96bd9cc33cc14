// Names found in a typist's shared folder: the sweep of partial copies removes only a fresh part of this
// host whose process is gone, never another name.
#include "send/LProcessCopyFile.h"
#include "tests/fuzz/FuzzTempDir.h"

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string folder = FuzzFolder("fuzz-partnames");
    std::string name(reinterpret_cast<const char*>(pData), std::min<size_t>(nSize, 255));
    name = name.substr(0, name.find_first_of(std::string("/\0", 2)));
    if (name.empty() || name == "." || name == "..")
        return 0;
    FuzzWrite(folder + "/" + name, pData, 0);
    const int nRemoved = LProcessCopyFile::RemoveStaleParts(folder);
    const bool bGone = ::access((folder + "/" + name).c_str(), F_OK) != 0;
    const std::string ours = ".tavrine-" + LProcessCopyFile::HostTag() + "-";
    if (nRemoved != (bGone ? 1 : 0) || (bGone && (!name.starts_with(ours) || !name.ends_with(".part"))))
        std::abort();
    ::unlink((folder + "/" + name).c_str());
    return 0;
}
