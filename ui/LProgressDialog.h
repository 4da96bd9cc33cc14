// A long operation run on the GUI thread inside a small dialog modal to its
// parent: two lines of text, a progress bar and Cancel. The body reports to
// it as an LProgressReporter and pumps the window's events between its steps.
#pragma once

#include "foundation/JobResult.h"
#include "foundation/LProgressReporter.h"

#include <QPointer>
#include <QString>

#include <functional>

class QDialog;
class QLabel;
class QProgressBar;
class QWidget;

class LProgressDialog : public LProgressReporter {
public:
    explicit LProgressDialog(QString title);
    ~LProgressDialog() override;
    LProgressDialog(const LProgressDialog&) = delete;
    LProgressDialog& operator=(const LProgressDialog&) = delete;

    // Opens the dialog over the parent and runs the body; false without
    // running it when this object is already running. Afterwards the parent
    // is active again and the dialog gone.
    bool Run(QWidget* pParent);
    bool IsOpen() const { return !m_pDialog.isNull(); }

    void SetText(const std::string& szText, int nLine) override;
    void ErrorBox(const std::string& szText) override;
    bool Pump() override;
    bool WaitTimed(uint32_t ms) override;
    int WaitHandle(int fd, uint32_t ms) override;

    // Cancels every dialog that is running a body, as its Cancel button does
    // (the program is asked to end: a decoder or command the body waits for
    // is ended and reaped before it returns). GUI thread.
    static void CancelAll();

    // For tests and callers that drive the dialog.
    QDialog* GetDialog() const { return m_pDialog.data(); }
    QString GetText(int nLine) const;
    int GetProgressPercent() const;

protected:
    void ShowProgress(double fFraction) override;
    // The body; true when it ran (the result is kept by the subclass).
    virtual bool RunProcess() = 0;

private:
    QString m_title;
    QPointer<QDialog> m_pDialog;
    QLabel* m_pLines[2] = {};
    QProgressBar* m_pBar = nullptr;
    bool m_bRunning = false;
};

// Runs the body under a progress dialog with this title and gives its result
// (1, cancelled, when the dialog could not run it). The error box, when
// given, shows the body's messages in place of the dialog's own.
int RunInProgressDialog(QWidget* pParent, const QString& title, const std::function<int(LProgressReporter&)>& body,
    const std::function<void(QDialog*, const std::string&)>& errorBox = {});
// The same for a job: stopped when the dialog could not run it.
JobResult RunJobInProgressDialog(QWidget* pParent, const QString& title,
    const std::function<JobResult(LProgressReporter&)>& body,
    const std::function<void(QDialog*, const std::string&)>& errorBox = {});
