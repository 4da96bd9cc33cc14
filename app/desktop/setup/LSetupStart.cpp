#include "app/desktop/setup/LSetupStart.h"

#include "app/desktop/setup/LSetupProcesses.h"
#include "app/shared/prompts/LUserPrompts.h"
#include "foundation/LPath.h"
#include "install/LInstallPayload.h"
#include "install/LInstaller.h"

#include <QApplication>

#include <algorithm>
#include <cctype>
#include <climits>

#include <unistd.h>

namespace {

constexpr const char* kSelf = "/proc/self/exe";

std::string OwnPath()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(kSelf, buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

LStartRole RoleOf(const std::string& file, const std::string& name)
{
    uint32_t uMarker = 0;
    if (ReadInstallMarker(file, &uMarker)) {
        if (uMarker == kInstallMarker)
            return LStartRole::Installer;
        if (uMarker == kUninstallMarker)
            return LStartRole::Uninstaller;
    }
    std::string upper = _GetFileFromPath(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return upper.find("SETUP") != std::string::npos ? LStartRole::CorruptSetup : LStartRole::Normal;
}

} // namespace

LStartRole GetStartRole()
{
    // The running image even when its file was renamed or replaced since.
    return RoleOf(kSelf, OwnPath());
}

LStartRole GetStartRole(const std::string& programFile)
{
    return RoleOf(programFile, programFile);
}

int RunSetupRole(LStartRole role, int argc, char** argv)
{
    // Dialogs follow one another with no main loop between them.
    QApplication::setQuitOnLastWindowClosed(false);
    LUserPrompts prompts = LUserPrompts::Desktop();
    switch (role) {
    case LStartRole::Installer:
        return RunInstallProcess(prompts, kSelf);
    case LStartRole::Uninstaller: {
        const bool bCopy = argc > 1 && std::string_view(argv[1]) == kUninstallArgument;
        return bCopy ? RunUninstallProcess(prompts, OwnPath(), argc > 2 ? argv[2] : "")
                     : StartUninstallerCopy(prompts, OwnPath());
    }
    case LStartRole::CorruptSetup:
        prompts.box(nullptr, LUserPrompts::Box::Warning, QString::fromUtf8(kInstallErrorCaption),
            QString::fromUtf8(kInstallCorruptText));
        return 1;
    case LStartRole::Normal:
        break;
    }
    return 0;
}
