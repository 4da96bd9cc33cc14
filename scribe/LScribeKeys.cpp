#include "scribe/LScribeKeys.h"

#include "foundation/LPath.h"
#include "foundation/LSecrets.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "scribe/LScribeSettings.h"
#include "send/LBlowFish.h"
#include "send/LSealIdentity.h"

#include <charconv>

namespace {

// Value "Key%d" holds "USERID:KEY" or "*:KEY": the key text may hold any
// character, the author part never a colon.
constexpr const char* kSection = "ScribeKeys";

std::optional<LScribeKey> Parse(const std::string& value)
{
    size_t colon = value.find(':');
    if (colon == std::string::npos || colon + 1 >= value.size())
        return std::nullopt;
    LScribeKey key;
    key.key = value.substr(colon + 1);
    std::string_view author(value.data(), colon);
    if (author == "*")
        return key;
    uint32_t id = 0;
    auto [end, ec] = std::from_chars(author.data(), author.data() + author.size(), id);
    if (ec != std::errc() || end != author.data() + author.size() || author.empty())
        return std::nullopt;
    key.author = id;
    return key;
}

// Every stored key's value name, whether the file or the keyring holds it.
std::vector<std::string> KeyNames()
{
    std::vector<std::string> names = GetSettingNames(kSection);
    for (std::string& name : LSecrets::KeyringValueNames(kSection))
        names.push_back(std::move(name));
    return names;
}

std::string ReadKey(const std::string& name)
{
    std::string value;
    LSecrets::Read({ "scribe-key", name, kSection, name }, &value, nullptr);
    return value;
}

std::string Format(const LScribeKey& key)
{
    return (key.author ? std::to_string(*key.author) : std::string("*")) + ":" + key.key;
}

} // namespace

LScribeKeys LScribeKeys::Load()
{
    LScribeKeys keys;
    for (const std::string& name : KeyNames()) {
        if (auto key = Parse(ReadKey(name)))
            keys.Insert(std::move(*key));
    }
    if (auto identity = LSealIdentity::LoadOrCreate(IdentityPath(), &keys.m_identityProblem))
        keys.InsertIdentity(*identity);
    return keys;
}

std::string LScribeKeys::IdentityPath()
{
    return FilePathCat(_GetFolderFromPath(GetUserSettingsPath()), "scribe-identity.txt");
}

bool LScribeKeys::Add(const LScribeKey& key, std::string* pWhy)
{
    if (key.key.empty()) {
        *pWhy = "a key cannot be empty";
        return false;
    }
    std::string value = Format(key);
    if (value.size() > kMaxSettingChars) {
        *pWhy = tplprintf("the key is too long; a setting holds at most %d characters", uint32_t(kMaxSettingChars));
        return false;
    }
    int n = 1;
    for (const std::string& name : KeyNames()) {
        if (ReadKey(name) == value)
            return true;
        n = std::max(n, ParseLeadingInt(std::string_view(name).substr(name.size() > 3 ? 3 : name.size())) + 1);
    }
    const std::string name = tplprintf("Key%d", int32_t { n });
    if (!LSecrets::Write({ "scribe-key", name, kSection, name }, value, nullptr)) {
        *pWhy = "the settings cannot be written";
        return false;
    }
    return true;
}

void LScribeKeys::MoveToKeyring()
{
    for (const std::string& name : GetSettingNames(kSection))
        LSecrets::Move({ "scribe-key", name, kSection, name });
    LScribeSettings::LoadSources(); // reading a source moves its password
}

std::vector<std::string> LScribeKeys::Candidates(uint32_t uAuthor, uint8_t uKeyCheck) const
{
    std::vector<std::string> out;
    for (int pass = 0; pass < 2; ++pass) {
        for (const LScribeKey& k : m_keys) {
            bool mine = pass == 0 ? (k.author && *k.author == uAuthor) : !k.author;
            if (mine && LBlowFish::KeyCheck(k.key) == uKeyCheck)
                out.push_back(k.key);
        }
    }
    return out;
}

const LBlowFish& LScribeKeys::Cipher(const std::string& key) const
{
    std::shared_ptr<LBlowFish>& cipher = m_ciphers[key];
    if (!cipher) {
        cipher = std::make_shared<LBlowFish>();
        cipher->SetKey(key);
    }
    return *cipher;
}
