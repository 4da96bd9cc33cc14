// Build tool: makes the self-installing setup file from the built program and
// its companion files, one argument per entry of the file table, in order.
#include "install/LInstallPayload.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string>& table = GetInstallFileTable();
    if (argc != int(table.size()) + 2) {
        std::fprintf(stderr, "usage: tavrine-pack OUTPUT");
        for (const std::string& name : table)
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n(\"-\" for an entry left out)\n");
        return 2;
    }
    std::vector<std::string> inputs;
    for (int i = 2; i < argc; ++i)
        inputs.push_back(std::string(argv[i]) == "-" ? std::string() : std::string(argv[i]));
    std::string error;
    if (!PackSetupFile(inputs, argv[1], &error)) {
        std::fprintf(stderr, "tavrine-pack: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
