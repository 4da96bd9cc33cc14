#include "app/shared/prompts/LCommandProgress.h"

#include "ui/LProgressDialog.h"

#include <QDialog>

JobResult RunInProgress(QWidget* pParent, LUserPrompts& prompts, const std::string& title,
    const std::function<JobResult(LProgressReporter&)>& body)
{
    return RunJobInProgressDialog(
        pParent, QString::fromStdString(title), body, [&prompts](QDialog* pDialog, const std::string& szText) {
            prompts.box(
                pDialog, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"), QString::fromStdString(szText));
        });
}

void LCommandImportHost::ShowError(const std::string& szText)
{
    m_prompts.box(
        m_pParent, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"), QString::fromStdString(szText));
}
