// The Blowfish keys a typist holds: for one author or for every author. An
// encrypted DCT file names no key, only a check byte, so the keys are tried in
// turn: the author's own first, then the ones for all. Kept in the per-user
// settings (mode 0600), never on a command line. Any thread, not shared.
#pragma once

#include "platform/LAgeCrypto.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct LScribeKey {
    std::optional<uint32_t> author; // none: for every author
    std::string key;
};

class LBlowFish;

class LScribeKeys {
public:
    // The keys stored in the settings, and the typist's age identity (made
    // on first use; see IdentityPath).
    static LScribeKeys Load();
    // The typist's identity file (age-keygen's form, 0600), beside user.conf.
    static std::string IdentityPath();
    // Adds a key to the settings (a key already held for the same author is
    // not added twice); false when it cannot be stored or is empty.
    static bool Add(const LScribeKey& key, std::string* pWhy);
    // Moves keys, and the sources' FTP passwords, still in the per-user file
    // into the keyring.
    static void MoveToKeyring();

    void Insert(LScribeKey key) { m_keys.push_back(std::move(key)); }
    // The keys whose check byte matches, in the order to try them.
    std::vector<std::string> Candidates(uint32_t uAuthor, uint8_t uKeyCheck) const;
    bool IsEmpty() const { return m_keys.empty(); }
    // The identities sealed jobs are opened with.
    void InsertIdentity(const LAgeKey32& identity) { m_identities.push_back(identity); }
    const std::vector<LAgeKey32>& Identities() const { return m_identities; }
    // Why no identity is held (empty when one is).
    const std::string& IdentityProblem() const { return m_identityProblem; }
    // The cipher of a key, its schedule made once: an inbox tries the same
    // few keys on thousands of files.
    const LBlowFish& Cipher(const std::string& key) const;

private:
    std::vector<LScribeKey> m_keys;
    std::vector<LAgeKey32> m_identities;
    std::string m_identityProblem;
    mutable std::map<std::string, std::shared_ptr<LBlowFish>> m_ciphers;
};
