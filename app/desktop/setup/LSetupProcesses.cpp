#include "app/desktop/setup/LSetupProcesses.h"

#include "app/desktop/setup/LLicenceDialog.h"
#include "app/shared/bus/LSingleInstance.h"
#include "app/shared/commands/LProgramCommandTable.h"
#include "app/shared/prompts/LUserPrompts.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProcessRunner.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"
#include "install/LInstaller.h"
#include "ui/LProgressDialog.h"

#include <QDeadlineTimer>
#include <QMessageBox>
#include <QThread>

#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

const QString kTitle = QStringLiteral("Installing Tavrine Dictate v 4.02");
const QString kUninstallCaption = QStringLiteral("Uninstall Tavrine Dictate");
constexpr int kInstallCloseWaitMs = 2000;
constexpr int kUninstallCloseWaitMs = 1500;
constexpr unsigned long kUninstallQuestionDelayMs = 250;

enum : int { kDone = 0, kDeclined = 1, kFailed = 2 };

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Each installation knows its program folder; the argument must name one.
bool LayoutOfFolder(const std::string& programFolder, LInstallLayout* pLayout)
{
    for (bool bSystem : { false, true }) {
        LInstallLayout layout = GetInstallLayout(bSystem);
        std::error_code error;
        if (!layout.programFolder.empty() && std::filesystem::equivalent(layout.programFolder, programFolder, error)) {
            *pLayout = layout;
            return true;
        }
    }
    return false;
}

std::string InstalledText(const LInstallLayout& layout, const LInstallResult& result)
{
    std::string text = tplprintf("Tavrine Dictate is installed in \"%s\".\n\n"
                                 "The programs tavrine and tavrine-cli are linked in \"%s\", and the menu entries "
                                 "are in \"%s\".",
        layout.programFolder, layout.binFolder, layout.applicationsFolder);
    if (!layout.desktopFolder.empty())
        text += tplprintf(" A shortcut is on the desktop (\"%s\").", layout.desktopFolder);
    text += tplprintf(
        "\n\nTo remove it, run \"%s\" or the menu entry \"Tavrine Dictate Uninstall\".", result.uninstaller);
    if (!result.notice.empty())
        text += "\n\n" + result.notice;
    return text;
}

} // namespace

bool CloseRunningInstance(int nWaitMs)
{
    if (!LSingleInstance::IsRunning())
        return true;
    QDeadlineTimer deadline(nWaitMs);
    LSingleInstance::SendCommand(LProgramCommandTable::Number(LCommandId::kExit), QString(), nWaitMs);
    // The bus name or the socket goes with the program's end.
    while (LSingleInstance::IsRunning()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

int RunInstallProcess(LUserPrompts& prompts, const std::string& setupFile)
{
    const QString caption = QString::fromUtf8(kInstallErrorCaption);
    const LInstallLayout layout = GetInstallLayout();
    if (layout.programFolder.empty()) {
        prompts.box(nullptr, LUserPrompts::Box::Error, caption,
            QStringLiteral("There is no folder to install into: HOME names no folder."));
        return kFailed;
    }
    // A running copy would keep the old program in memory and its settings open.
    CloseRunningInstance(kInstallCloseWaitMs);

    LInstallResult result;
    bool bAgreed = false;
    const int nStatus = RunInProgressDialog(nullptr, kTitle, [&](LProgressReporter& progress) {
        progress.SetText("Installing Tavrine Dictate", 0);
        progress.SetText("Software Licence Terms", 1);
        LLicenceDialog licence;
        if (prompts.exec(licence) != QDialog::Accepted)
            return kDeclined;
        bAgreed = true;
        // Makes the program folder only now: declining leaves not even that.
        result = Install(setupFile, layout, &progress);
        if (result.bCancelled)
            return kDeclined;
        return result.bOk ? kDone : kFailed;
    });
    if (!bAgreed || nStatus == kDeclined)
        return kDeclined;
    if (nStatus != kDone) {
        const bool bCorrupt = result.error == kInstallCorruptText;
        prompts.box(nullptr, bCorrupt ? LUserPrompts::Box::Warning : LUserPrompts::Box::Error, caption,
            Q(result.error.empty() ? std::string("The installation failed.") : result.error));
        return kFailed;
    }
    prompts.box(nullptr, LUserPrompts::Box::Information, QStringLiteral("Installation Complete"),
        Q(InstalledText(layout, result)));
    int nErrno = 0;
    if (!LProcessRunner::StartDetached({ result.program }, &nErrno)) {
        prompts.box(nullptr, LUserPrompts::Box::Error, caption,
            Q(tplprintf("Tavrine Dictate is installed but could not be started: %s", std::strerror(nErrno))));
    }
    return kDone;
}

int StartUninstallerCopy(LUserPrompts& prompts, const std::string& uninstaller)
{
    std::string error;
    const std::string copy = CopyUninstallerToPrivateFolder(uninstaller, &error);
    int nErrno = 0;
    if (!copy.empty()
        && LProcessRunner::StartDetached({ copy, kUninstallArgument, _GetFolderFromPath(uninstaller) }, &nErrno))
        return kDone;
    if (!copy.empty()) {
        error = tplprintf("The uninstaller could not be started: %s", std::strerror(nErrno));
        RemoveUninstallerCopy(copy);
    }
    prompts.box(nullptr, LUserPrompts::Box::Error, kUninstallCaption, Q(error));
    return kFailed;
}

int RunUninstallProcess(LUserPrompts& prompts, const std::string& self, const std::string& programFolder)
{
    // Whatever happens, the private copy goes at the end.
    struct RemoveSelf {
        const std::string& path;
        ~RemoveSelf() { RemoveUninstallerCopy(path); }
    } removeSelf { self };

    LInstallLayout layout;
    if (!LayoutOfFolder(programFolder, &layout) || !FileExists(GetManifestPath(layout))) {
        prompts.box(nullptr, LUserPrompts::Box::Error, kUninstallCaption,
            Q(tplprintf("Tavrine Dictate is not installed in \"%s\".", programFolder)));
        return kFailed;
    }
    // The first copy has ended and its window is gone before the question.
    QThread::msleep(kUninstallQuestionDelayMs);
    QMessageBox question(QMessageBox::Question, kUninstallCaption,
        QStringLiteral("Are you sure you want to remove Tavrine Dictate from this computer?"),
        QMessageBox::Yes | QMessageBox::No);
    question.setDefaultButton(QMessageBox::No);
    if (prompts.exec(question) != QMessageBox::Yes)
        return kDeclined;
    CloseRunningInstance(kUninstallCloseWaitMs);

    LUninstallResult result;
    RunInProgressDialog(nullptr, kTitle, [&](LProgressReporter& progress) {
        progress.SetText("Removing Tavrine Dictate", 0);
        result = Uninstall(layout, &progress);
        return result.bOk ? kDone : kFailed;
    });
    std::string text;
    if (result.bOk) {
        text = "Tavrine Dictate has been removed from this computer.";
    } else {
        text = result.error.empty() ? std::string("Tavrine Dictate could not be removed completely.") : result.error;
        for (const std::string& path : result.failed)
            text += "\n" + path;
    }
    if (!result.dataFolder.empty())
        text += tplprintf("\n\nYour dictations stay in \"%s\".", result.dataFolder);
    prompts.box(nullptr, result.bOk ? LUserPrompts::Box::Information : LUserPrompts::Box::Error,
        result.bOk ? QStringLiteral("Uninstall Complete") : kUninstallCaption, Q(text));
    return result.bOk ? kDone : kFailed;
}
