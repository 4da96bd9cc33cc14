#include "send/LMailCredentials.h"

#include "send/LKeyringMailCredentials.h"
#include "send/LMailSettings.h"

LMailCredentials& LMailCredentials::Default()
{
    static LKeyringMailCredentials s_store;
    return s_store;
}

LMailServer SplitMailHostSetting(const std::string& setting)
{
    LMailServer server;
    const size_t nColon = setting.find(':');
    server.host = setting.substr(0, nColon);
    if (nColon == std::string::npos)
        return server;
    const std::string rest = setting.substr(nColon + 1);
    const size_t nSecond = rest.find(':');
    server.logon.user = rest.substr(0, nSecond);
    if (nSecond != std::string::npos)
        server.logon.password = rest.substr(nSecond + 1);
    return server;
}

LMailLogonMove MoveMailLogonToUser(LMailCredentials& store)
{
    const std::string setting = MailKeys::kSmtpHost.Get();
    if (setting.find(':') == std::string::npos)
        return LMailLogonMove::Nothing;
    const LMailServer old = SplitMailHostSetting(setting);
    LMailLogon mine;
    if (!store.Read(&mine) && !store.Write(old.logon))
        return LMailLogonMove::Failed;
    return MailKeys::kSmtpHost.Set(old.host) ? LMailLogonMove::Moved : LMailLogonMove::Failed;
}

LMailServer CurrentMailServer(LMailCredentials& store)
{
    MoveMailLogonToUser(store);
    LMailServer server = SplitMailHostSetting(MailKeys::kSmtpHost.Get());
    LMailLogon mine;
    if (store.Read(&mine))
        server.logon = mine;
    return server;
}
