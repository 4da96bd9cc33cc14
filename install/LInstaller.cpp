#include "install/LInstaller.h"

#include "foundation/LPath.h"

LInstallLayout GetInstallLayout(bool bSystem)
{
    LInstallLayout layout;
    layout.bSystem = bSystem;
    return layout;
}

LInstallLayout GetInstallLayout()
{
    return GetInstallLayout(false);
}

bool CreateProgramFolder(const LInstallLayout&, std::string* pError)
{
    *pError = kInstallNoAdminText;
    return false;
}

bool WriteFolderSettings(const LInstallLayout&)
{
    return false;
}

std::string GetManifestPath(const LInstallLayout& layout)
{
    return FilePathCat(layout.programFolder, "install-manifest");
}

LInstallResult Install(const std::string&, const LInstallLayout&, LProgressReporter*)
{
    LInstallResult result;
    result.error = "Not built yet.";
    return result;
}

LUninstallResult Uninstall(const LInstallLayout&, LProgressReporter*)
{
    LUninstallResult result;
    result.error = "Not built yet.";
    return result;
}

std::string CopyUninstallerToPrivateFolder(const std::string&, std::string* pError)
{
    *pError = "Not built yet.";
    return std::string();
}

void RemoveUninstallerCopy(const std::string&)
{
}
