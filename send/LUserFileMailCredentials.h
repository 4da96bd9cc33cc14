// The SMTP logon in the per-user settings file (mode 0600), both values in
// one atomic rewrite. Any thread.
#pragma once

#include "send/LMailCredentials.h"

class LUserFileMailCredentials : public LMailCredentials {
public:
    bool Read(LMailLogon* pLogon) const override;
    bool Write(const LMailLogon& logon) override;
};
