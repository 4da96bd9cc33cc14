// The user name and password that log on to the SMTP server belong to the
// user, never to the machine-wide file every account can read. Reached only
// through this interface, so a keyring can take the place of the per-user
// settings file. Any thread.
#pragma once

#include <string>

struct LMailLogon {
    std::string user;
    std::string password;
    bool operator==(const LMailLogon&) const = default;
};

// The server of the machine-wide value and the logon that goes with it.
struct LMailServer {
    std::string host;
    LMailLogon logon;
};

class LMailCredentials {
public:
    virtual ~LMailCredentials() = default;
    // True when this user has a logon stored (an empty user name means none is used).
    virtual bool Read(LMailLogon* pLogon) const = 0;
    // Both values at once: false stores neither.
    virtual bool Write(const LMailLogon& logon) = 0;
    // Where the program keeps them: the password in the keyring when there is
    // one, else the per-user settings file.
    static LMailCredentials& Default();
};

// "host", or the old "host:user:password" (the password may hold colons).
LMailServer SplitMailHostSetting(const std::string& setting);

enum class LMailLogonMove { Nothing, Moved, Failed };
// Moves a logon still held in the machine-wide value into the user's store,
// then leaves only the host there. The user's store is written first, so a
// failed write never loses the logon. A logon the user already has wins.
LMailLogonMove MoveMailLogonToUser(LMailCredentials& store);
// What a send uses, after the move: the machine-wide host with the user's
// logon, or, when the move failed, the logon the old value still holds.
LMailServer CurrentMailServer(LMailCredentials& store);
