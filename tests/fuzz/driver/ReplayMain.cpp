// Replays a fuzz target's corpus without libFuzzer, so the normal and
// sanitizer builds run every stored input as a regression test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize);

int main(int argc, char** argv)
{
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // As libFuzzer's malloc limit: a size from the input that reaches an allocation fails the run.
    const rlimit limit { size_t { 2 } << 30, size_t { 2 } << 30 };
    setrlimit(RLIMIT_AS, &limit);
#endif
    size_t nRun = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[i], ec)) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[i], ec))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else {
            files.emplace_back(argv[i]);
        }
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            // libFuzzer never passes a null pointer, even for an empty input.
            static const uint8_t kEmpty = 0;
            LLVMFuzzerTestOneInput(data.empty() ? &kEmpty : data.data(), data.size());
            ++nRun;
        }
    }
    std::printf("replayed %zu inputs\n", nRun);
    return nRun > 0 ? 0 : 1;
}
