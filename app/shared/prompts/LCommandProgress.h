// Long operations of the window's commands: each body runs in the progress
// dialog over the window, and every message it or the audio import shows
// goes through the replaceable prompts, so tests answer them. GUI thread.
#pragma once

#include "app/shared/prompts/LQtImportHost.h"
#include "app/shared/prompts/LUserPrompts.h"

#include <functional>
#include <string>

class LProgressReporter;
class QWidget;

// Runs the body under a progress dialog with this title; its result
// (stopped when the dialog could not run it).
JobResult RunInProgress(QWidget* pParent, LUserPrompts& prompts, const std::string& title,
    const std::function<JobResult(LProgressReporter&)>& body);

// The import's host for the commands: progress and messages as above, the
// raw settings dialog as the window's host asks it.
class LCommandImportHost : public LQtImportHost {
public:
    LCommandImportHost(QWidget* pParent, LUserPrompts& prompts)
        : LQtImportHost(pParent)
        , m_pParent(pParent)
        , m_prompts(prompts)
    {
    }
    JobResult RunProgress(const std::string& szTitle, const std::function<JobResult(LProgressReporter&)>& body) override
    {
        return RunInProgress(m_pParent, m_prompts, szTitle, body);
    }
    void ShowError(const std::string& szText) override;

private:
    QWidget* m_pParent;
    LUserPrompts& m_prompts;
};
