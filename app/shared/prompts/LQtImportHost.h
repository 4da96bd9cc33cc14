// The audio import's host in the window: each external decoder runs in a
// progress dialog with its title, a failure is a message box with the stop
// icon, and a headerless file asks through the raw settings dialog. GUI
// thread only.
#pragma once

#include "import/LImportHost.h"

class QWidget;

class LQtImportHost : public LImportHost {
public:
    explicit LQtImportHost(QWidget* pParent)
        : m_pParent(pParent)
    {
    }
    JobResult RunProgress(
        const std::string& szTitle, const std::function<JobResult(LProgressReporter&)>& body) override;
    void ShowError(const std::string& szText) override;
    std::optional<bool> AskRawSettings(const std::string& path, LRawSettings* pSettings) override;

private:
    QWidget* m_pParent;
};
