// The SMTP logon with its password in the desktop's keyring when there is
// one: the user name stays in the per-user file, the password goes through
// the secrets store (keyring, else the per-user file). Any thread.
#pragma once

#include "send/LMailCredentials.h"

class LKeyringMailCredentials : public LMailCredentials {
public:
    bool Read(LMailLogon* pLogon) const override;
    bool Write(const LMailLogon& logon) override;
    // False, with the reason and the fix, when the password is kept only in
    // a keyring that cannot be reached.
    static bool CheckReachable(std::string* pWhy);
    // Moves a password still in the per-user file into the keyring.
    static void MoveToKeyring();
};
