#include "send/LUserFileMailCredentials.h"

#include "foundation/LSettings.h"
#include "send/LMailSettings.h"

bool LUserFileMailCredentials::Read(LMailLogon* pLogon) const
{
    *pLogon = {};
    if (!MailKeys::kSmtpUser.Read(&pLogon->user))
        return false;
    pLogon->password = MailKeys::kSmtpPassword.Get();
    return true;
}

bool LUserFileMailCredentials::Write(const LMailLogon& logon)
{
    return SetSettingStrings(MailKeys::kSection,
        { { MailKeys::kSmtpUser.szName, logon.user }, { MailKeys::kSmtpPassword.szName, logon.password } });
}
