// The desktop's keyring through the Secret Service (libsecret). Every item
// carries the attribute application=tavrine and the attributes given. Every
// call is bounded in time, so a locked keyring whose prompt nobody answers
// (cron, SSH) fails instead of hanging; a session without a bus, or without a
// service that owns or can activate org.freedesktop.secrets, is found at once.
// TAVRINE_KEYRING=off in the environment means no keyring. Any thread;
// calls are serialised.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum class LSecretStatus { Ok, NotFound, NoService, TimedOut, Failed };

using LSecretAttributes = std::vector<std::pair<std::string, std::string>>;

class LSecretStore {
public:
    static constexpr int kDefaultTimeoutMs = 15000;

    // TAVRINE_KEYRING=off: the user chose the per-user file.
    static bool IsTurnedOff();
    // Asked once per process: a bus, and a service on it or activatable.
    static bool IsAvailable();
    // Replaces every item matching the attributes by one holding the secret.
    static LSecretStatus Store(const LSecretAttributes& attributes, const std::string& label, const std::string& secret,
        int nTimeoutMs, std::string* pWhy);
    static LSecretStatus Lookup(
        const LSecretAttributes& attributes, std::string* pSecret, int nTimeoutMs, std::string* pWhy);
    // Ok also when nothing matched.
    static LSecretStatus Clear(const LSecretAttributes& attributes, int nTimeoutMs, std::string* pWhy);
};
