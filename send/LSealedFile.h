// Transfer files sealed in the age format: a whole DCT or WAV file sealed to
// typists' public keys, and opened again with an identity. Both directions
// stream through the process's private folder and put the result in place
// only when every byte was checked, so a refused file leaves no output.
// Any thread; one call per file.
#pragma once

#include "platform/LAgeCrypto.h"

#include <string>
#include <vector>

class LSealedFile {
public:
    enum class Result {
        Ok,
        ReadFailed, // the input could not be opened or read
        WriteFailed, // the output could not be written (errno kept)
        NoKey, // no recipient or identity given, or one of low order
        NotSealed,
        BadHeader,
        NoMatch,
        HeaderChanged,
        PayloadChanged,
        Truncated,
    };

    static Result Seal(const std::string& input, const std::string& output, const std::vector<LAgeKey32>& recipients,
        int* pErrno = nullptr);
    static Result Unseal(const std::string& input, const std::string& output, const std::vector<LAgeKey32>& identities,
        int* pErrno = nullptr);

    // A sentence for the user naming the input file.
    static std::string ResultText(Result result, const std::string& input);

    static constexpr const char* kExtension = ".age";
};
