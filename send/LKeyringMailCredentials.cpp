#include "send/LKeyringMailCredentials.h"

#include "foundation/LSecrets.h"
#include "foundation/LSettings.h"
#include "send/LMailSettings.h"

namespace {

LSecretPlace PasswordPlace(const std::string& user)
{
    return { "smtp-password", user, MailKeys::kSection, MailKeys::kSmtpPassword.szName };
}

} // namespace

bool LKeyringMailCredentials::Read(LMailLogon* pLogon) const
{
    *pLogon = {};
    if (!MailKeys::kSmtpUser.Read(&pLogon->user))
        return false;
    LSecrets::Read(PasswordPlace(pLogon->user), &pLogon->password, nullptr);
    return true;
}

bool LKeyringMailCredentials::Write(const LMailLogon& logon)
{
    // The user first: a password is never stored for a logon that is not.
    return MailKeys::kSmtpUser.Set(logon.user) && LSecrets::Write(PasswordPlace(logon.user), logon.password, nullptr);
}

bool LKeyringMailCredentials::CheckReachable(std::string* pWhy)
{
    std::string password;
    return LSecrets::Read(PasswordPlace(MailKeys::kSmtpUser.Get()), &password, pWhy) == LSecretRead::Found;
}

void LKeyringMailCredentials::MoveToKeyring()
{
    LSecrets::Move(PasswordPlace(MailKeys::kSmtpUser.Get()));
}
