// Passwords and keys: in the desktop's keyring when there is one, else in the
// per-user settings file (mode 0600), never the machine-wide file. A secret
// has a place in the per-user file (section and value name); once the keyring
// holds it, the value leaves the file and the section "Keyring" marks it, so
// a later run that cannot reach the keyring knows the secret exists and says
// how to reach it instead of going on without it. Any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct LSecretPlace {
    std::string kind; // "ftp-password", "encryption-key", "smtp-password"
    std::string name; // the recipient's, source's or user's name, for people reading the keyring
    std::string section; // where the per-user file keeps it
    std::string value;
};

enum class LSecretRead { Found, Unreachable };

class LSecrets {
public:
    // The keyring's value when it holds the secret, else the file's (empty
    // when neither has one). A file value is moved into a reachable keyring
    // first. Unreachable, with the reason and the fix, when only the keyring
    // holds it and does not answer.
    static LSecretRead Read(const LSecretPlace& place, std::string* pSecret, std::string* pWhy);
    // Into the keyring, read back, then out of the file; without a keyring
    // into the file. An empty value removes it from both.
    static bool Write(const LSecretPlace& place, std::string_view secret, std::string* pWhy);
    // True when a keyring takes secrets. Without one a caller that writes a
    // section whole keeps its secrets in it, where they always stood, and
    // then tells KeptInFile.
    static bool HasKeyring();
    static void KeptInFile(const LSecretPlace& place, std::string_view secret);
    // Moves a value still in the file into the keyring; true when nothing is
    // left to move (also when there is no keyring).
    static bool Move(const LSecretPlace& place);
    // Forgets the secret everywhere (a removed recipient).
    static void Remove(const LSecretPlace& place);
    // The value names of a section whose values only the keyring holds.
    static std::vector<std::string> KeyringValueNames(std::string_view section);
    // True when only the keyring holds this secret.
    static bool IsInKeyring(const LSecretPlace& place);
    // Said once per process: the first time a secret went to, or stayed in,
    // the file for want of a keyring. Empty afterwards and before.
    static std::string TakeNotice();
    // Gives the notice to the handler instead, on the thread where it arose,
    // at once or as soon as it arises; a null handler stops that.
    static void SetNoticeHandler(std::function<void(const std::string&)> handler);
};
