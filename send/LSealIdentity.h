// An age key pair kept as the identity file age-keygen writes (mode 0600,
// unencrypted, "AGE-SECRET-KEY-1..."): the dictator's own, so a copy sealed
// for typists can still be opened by its author, and a typist's, which
// Tavrine Scribe opens sealed jobs with. Any thread; the file is made once,
// never replaced.
#pragma once

#include "platform/LAgeCrypto.h"

#include <optional>
#include <string>
#include <vector>

class LSealIdentity {
public:
    // The dictator's identity file, beside user.conf.
    static std::string DictatorPath();
    // The identities in the file; null with a reason when it cannot be read
    // or holds none.
    static std::optional<std::vector<LAgeKey32>> Load(const std::string& path, std::string* pWhy);
    // The first identity in the file, made first when there is no file.
    static std::optional<LAgeKey32> LoadOrCreate(const std::string& path, std::string* pWhy);
    // The public key of the file's first identity ("age1..."), made as above.
    static std::optional<std::string> PublicText(const std::string& path, std::string* pWhy);
    // RFC 3339 in local time, as age-keygen writes its "created" line.
    static std::string CreatedNow();
};
