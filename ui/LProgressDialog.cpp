#include "ui/LProgressDialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <poll.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The dialogs running a body, innermost last; GUI thread only.
std::vector<LProgressDialog*> g_running;

} // namespace

LProgressDialog::LProgressDialog(QString title)
    : m_title(std::move(title))
{
}

LProgressDialog::~LProgressDialog()
{
    delete m_pDialog.data();
}

bool LProgressDialog::Run(QWidget* pParent)
{
    // Also refused after a cancel while the body still finishes its step.
    if (m_bRunning || m_pDialog)
        return false;
    RestartProgress();
    auto* pDialog = new QDialog(pParent);
    pDialog->setWindowTitle(m_title);
    pDialog->setWindowModality(Qt::WindowModal);
    auto* pLayout = new QVBoxLayout(pDialog);
    for (QLabel*& pLine : m_pLines) {
        pLine = new QLabel(pDialog);
        pLine->setMinimumWidth(300);
        pLayout->addWidget(pLine);
    }
    m_pBar = new QProgressBar(pDialog);
    m_pBar->setRange(0, 100);
    m_pBar->setValue(0);
    pLayout->addWidget(m_pBar);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Cancel, pDialog);
    pLayout->addWidget(pButtons);
    // Cancel destroys the dialog; the body notices at its next Pump. Escape
    // and the close box end up here too.
    QObject::connect(pDialog, &QDialog::rejected, pDialog, &QObject::deleteLater);
    QObject::connect(pButtons, &QDialogButtonBox::rejected, pDialog, &QDialog::reject);
    m_pDialog = pDialog;
    pDialog->show();

    m_bRunning = true;
    g_running.push_back(this);
    bool bRan = RunProcess();
    g_running.erase(std::find(g_running.begin(), g_running.end(), this));
    m_bRunning = false;

    delete m_pDialog.data();
    m_pDialog = nullptr;
    m_pLines[0] = m_pLines[1] = nullptr;
    m_pBar = nullptr;
    if (pParent) {
        pParent->activateWindow();
        pParent->setFocus();
    }
    return bRan;
}

void LProgressDialog::CancelAll()
{
    for (LProgressDialog* pRunning : g_running)
        if (pRunning->m_pDialog)
            pRunning->m_pDialog->reject();
}

void LProgressDialog::SetText(const std::string& szText, int nLine)
{
    if (!m_pDialog || nLine < 0 || nLine > 1)
        return;
    m_pLines[nLine]->setText(QString::fromStdString(szText));
}

void LProgressDialog::ShowProgress(double fFraction)
{
    if (!m_pDialog || !std::isfinite(fFraction))
        return;
    m_pBar->setValue(static_cast<int>(std::clamp(fFraction, 0.0, 1.0) * 100.0));
}

QString LProgressDialog::GetText(int nLine) const
{
    if (!m_pDialog || nLine < 0 || nLine > 1)
        return QString();
    return m_pLines[nLine]->text();
}

int LProgressDialog::GetProgressPercent() const
{
    return m_pDialog ? m_pBar->value() : -1;
}

void LProgressDialog::ErrorBox(const std::string& szText)
{
    QWidget* pOwner = m_pDialog ? static_cast<QWidget*>(m_pDialog.data()) : QApplication::activeWindow();
    QMessageBox::warning(pOwner, QStringLiteral("Error"), QString::fromStdString(szText));
}

bool LProgressDialog::Pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // A dialog that Cancel closed is deleted later; count a hidden one as gone.
    return !m_pDialog || !m_pDialog->isVisible();
}

bool LProgressDialog::WaitTimed(uint32_t ms)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (Pump())
            return true;
        qint64 nLeft = static_cast<qint64>(ms) - timer.elapsed();
        if (nLeft <= 0)
            return false;
        // Short slices keep the window answering while nothing arrives.
        ::poll(nullptr, 0, static_cast<int>(std::min<qint64>(nLeft, 10)));
    }
}

int LProgressDialog::WaitHandle(int fd, uint32_t ms)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (Pump())
            return kCancelled;
        qint64 nLeft = static_cast<qint64>(ms) - timer.elapsed();
        pollfd pfd { fd, POLLIN, 0 };
        int nSlice = static_cast<int>(std::clamp<qint64>(nLeft, 0, 10));
        int rc = ::poll(&pfd, 1, nSlice);
        if (rc > 0)
            return kSignalled;
        if (nLeft <= 0)
            return kTimedOut;
    }
}

namespace {

class LBodyProgressDialog : public LProgressDialog {
public:
    LBodyProgressDialog(const QString& title, const std::function<int(LProgressReporter&)>& body,
        const std::function<void(QDialog*, const std::string&)>& errorBox)
        : LProgressDialog(title)
        , m_body(body)
        , m_errorBox(errorBox)
    {
    }
    void ErrorBox(const std::string& szText) override
    {
        if (m_errorBox)
            m_errorBox(GetDialog(), szText);
        else
            LProgressDialog::ErrorBox(szText);
    }
    int nResult = 1;

protected:
    bool RunProcess() override
    {
        nResult = m_body(*this);
        return true;
    }

private:
    const std::function<int(LProgressReporter&)>& m_body;
    const std::function<void(QDialog*, const std::string&)>& m_errorBox;
};

} // namespace

int RunInProgressDialog(QWidget* pParent, const QString& title, const std::function<int(LProgressReporter&)>& body,
    const std::function<void(QDialog*, const std::string&)>& errorBox)
{
    LBodyProgressDialog dialog(title, body, errorBox);
    dialog.Run(pParent);
    return dialog.nResult;
}

JobResult RunJobInProgressDialog(QWidget* pParent, const QString& title,
    const std::function<JobResult(LProgressReporter&)>& body,
    const std::function<void(QDialog*, const std::string&)>& errorBox)
{
    const int nResult = RunInProgressDialog(
        pParent, title, [&body](LProgressReporter& progress) { return JobResultCode(body(progress)); }, errorBox);
    return nResult == JobResultCode(JobResult::kDone)  ? JobResult::kDone
        : nResult == JobResultCode(JobResult::kFailed) ? JobResult::kFailed
                                                       : JobResult::kStopped;
}
