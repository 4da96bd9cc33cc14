// The first-run wizard's setting: it is shown once per user. Any thread.
#pragma once

#include "foundation/LSettingKey.h"

namespace WizardKeys {

inline const LSettingKey<bool> kInstallWizRun { false, "Settings", "InstallWizRun", false };

} // namespace WizardKeys
