#include "foundation/LSecrets.h"

#include "foundation/LSettings.h"
#include "platform/LSecretStore.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

constexpr const char* kMarkSection = "Keyring";

std::mutex s_noticeMutex;
bool s_bNoticeDue = false;
bool s_bNoticeGiven = false;
std::function<void(const std::string&)> s_noticeHandler;

int TimeoutMs()
{
    // Tests shorten the wait for a keyring that never answers.
    if (const char* text = std::getenv("TAVRINE_KEYRING_TIMEOUT_MS")) {
        const int n = std::atoi(text);
        if (n > 0)
            return n;
    }
    return LSecretStore::kDefaultTimeoutMs;
}

std::string MarkName(const LSecretPlace& place)
{
    return place.section + "." + place.value;
}

LSecretAttributes Attributes(const LSecretPlace& place)
{
    return { { "kind", place.kind }, { "name", place.name }, { "slot", MarkName(place) } };
}

void NoteFileFallback()
{
    if (LSecretStore::IsTurnedOff())
        return; // chosen, so nothing to tell
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard lock(s_noticeMutex);
        s_bNoticeDue = !s_bNoticeGiven;
        if (!s_bNoticeDue || !s_noticeHandler)
            return;
        handler = s_noticeHandler;
    }
    if (const std::string notice = LSecrets::TakeNotice(); !notice.empty())
        handler(notice);
}

// Into the keyring and read back: only then may the file let go of it.
bool StoreChecked(const LSecretPlace& place, const std::string& secret, std::string* pWhy)
{
    const LSecretAttributes attributes = Attributes(place);
    const std::string label = "Tavrine " + place.kind + (place.name.empty() ? "" : " for " + place.name);
    if (LSecretStore::Store(attributes, label, secret, TimeoutMs(), pWhy) != LSecretStatus::Ok)
        return false;
    std::string back;
    if (LSecretStore::Lookup(attributes, &back, TimeoutMs(), pWhy) != LSecretStatus::Ok || back != secret) {
        if (pWhy && pWhy->empty())
            *pWhy = "the keyring did not give the secret back";
        return false;
    }
    // The mark first: a crash between the two leaves the keyring in charge, and it holds the value.
    return SetSettingBool(kMarkSection, MarkName(place), true) && DeleteSetting(place.section, place.value);
}

} // namespace

std::vector<std::string> LSecrets::KeyringValueNames(std::string_view section)
{
    std::vector<std::string> names;
    const std::string prefix = std::string(section) + ".";
    for (const std::string& mark : GetSettingNames(kMarkSection))
        if (mark.size() > prefix.size() && mark.compare(0, prefix.size(), prefix) == 0
            && GetSettingBool(kMarkSection, mark, false))
            names.push_back(mark.substr(prefix.size()));
    return names;
}

bool LSecrets::IsInKeyring(const LSecretPlace& place)
{
    return GetSettingBool(kMarkSection, MarkName(place), false);
}

LSecretRead LSecrets::Read(const LSecretPlace& place, std::string* pSecret, std::string* pWhy)
{
    pSecret->clear();
    if (!IsInKeyring(place)) {
        *pSecret = GetSettingString(place.section, place.value, "");
        if (!pSecret->empty())
            Move(place);
        return LSecretRead::Found;
    }
    std::string why;
    switch (LSecretStore::Lookup(Attributes(place), pSecret, TimeoutMs(), &why)) {
    case LSecretStatus::Ok:
        return LSecretRead::Found;
    case LSecretStatus::NotFound:
        // Removed from the keyring by hand: nothing is stored any more.
        return LSecretRead::Found;
    case LSecretStatus::NoService:
        why = "no Secret Service on the session bus";
        break;
    case LSecretStatus::TimedOut:
    case LSecretStatus::Failed:
        break;
    }
    if (pWhy)
        *pWhy = "The " + place.kind + (place.name.empty() ? "" : " of \"" + place.name + "\"")
            + " is kept in the desktop's keyring, which cannot be reached (" + why
            + "). Unlock the keyring in the desktop session, or run this where that keyring can be reached; to do "
              "without a keyring, store the secret again with TAVRINE_KEYRING=off in the environment, which keeps it "
              "in "
            + GetUserSettingsPath() + ".";
    return LSecretRead::Unreachable;
}

bool LSecrets::Write(const LSecretPlace& place, std::string_view secret, std::string* pWhy)
{
    if (secret.empty()) {
        Remove(place);
        return !IsInKeyring(place) && GetSettingString(place.section, place.value, "").empty();
    }
    if (LSecretStore::IsAvailable() && StoreChecked(place, std::string(secret), pWhy))
        return true;
    NoteFileFallback();
    if (!SetSettingString(place.section, place.value, secret))
        return false;
    // The file's value is now the one in force.
    return DeleteSetting(kMarkSection, MarkName(place));
}

bool LSecrets::HasKeyring()
{
    return LSecretStore::IsAvailable();
}

void LSecrets::KeptInFile(const LSecretPlace& place, std::string_view secret)
{
    DeleteSetting(kMarkSection, MarkName(place));
    if (!secret.empty())
        NoteFileFallback();
}

bool LSecrets::Move(const LSecretPlace& place)
{
    const std::string secret = GetSettingString(place.section, place.value, "");
    if (secret.empty())
        return true;
    if (!LSecretStore::IsAvailable()) {
        NoteFileFallback();
        return true;
    }
    return StoreChecked(place, secret, nullptr);
}

void LSecrets::Remove(const LSecretPlace& place)
{
    // Without a keyring its item stays behind, but unmarked it is never read.
    if (LSecretStore::IsAvailable())
        LSecretStore::Clear(Attributes(place), TimeoutMs(), nullptr);
    DeleteSetting(kMarkSection, MarkName(place));
    DeleteSetting(place.section, place.value);
}

std::string LSecrets::TakeNotice()
{
    std::lock_guard lock(s_noticeMutex);
    if (!s_bNoticeDue)
        return {};
    s_bNoticeDue = false;
    s_bNoticeGiven = true;
    return "No desktop keyring (Secret Service) is reachable: passwords and keys are kept in " + GetUserSettingsPath()
        + " (readable by you alone).";
}

void LSecrets::SetNoticeHandler(std::function<void(const std::string&)> handler)
{
    {
        std::lock_guard lock(s_noticeMutex);
        s_noticeHandler = handler;
    }
    if (!handler)
        return;
    // Called outside the lock: a handler may read secrets itself.
    if (const std::string notice = TakeNotice(); !notice.empty())
        handler(notice);
}
