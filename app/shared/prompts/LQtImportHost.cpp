#include "app/shared/prompts/LQtImportHost.h"

#include "ui/LProgressDialog.h"
#include "ui/LRawSettingsDialog.h"

#include <QApplication>
#include <QMessageBox>

JobResult LQtImportHost::RunProgress(
    const std::string& szTitle, const std::function<JobResult(LProgressReporter&)>& body)
{
    return RunJobInProgressDialog(m_pParent, QString::fromStdString(szTitle), body);
}

void LQtImportHost::ShowError(const std::string& szText)
{
    QMessageBox::critical(m_pParent, QApplication::applicationDisplayName(), QString::fromStdString(szText));
}

std::optional<bool> LQtImportHost::AskRawSettings(const std::string&, LRawSettings* pSettings)
{
    return LRawSettingsDialog::Ask(m_pParent, pSettings);
}
