#include "app/desktop/window/LStatusArea.h"

#include "app/desktop/session/LSession.h"
#include "foundation/LText.h"

#include <QMessageBox>
#include <QMouseEvent>

#include <algorithm>

namespace {

// Shown in turn while no send is reported.
const char* const kRotation[] = {
    "Tavrine Dictate - Orvane",
    "Press F5 to record and F9 to play back",
    "Ctrl+S sends the dictation to your typist",
    "tavrine-cli works with the same dictations from scripts",
};

} // namespace

LStatusArea::LStatusArea(LSession& session, QWidget* pParent)
    : QLabel(pParent)
    , m_session(session)
{
    setToolTip(QStringLiteral("Click for more information"));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LStatusArea::OnTimer);
    m_timer.start(1000);
    connect(&m_session, &LSession::QueueStatusChanged, this, &LStatusArea::OnQueueStatus);
    connect(&m_session, &LSession::QueueError, this, &LStatusArea::ShowError);
}

LStatusArea::~LStatusArea()
{
    Shutdown();
}

void LStatusArea::Shutdown()
{
    if (m_bShutDown)
        return;
    m_bShutDown = true;
    disconnect(&m_session, nullptr, this, nullptr);
    m_timer.stop();
}

void LStatusArea::mousePressEvent(QMouseEvent* pEvent)
{
    emit Clicked(pEvent->globalPosition().toPoint());
}

void LStatusArea::OnTimer()
{
    setText(QString::fromUtf8(kRotation[m_nRotation]));
    m_nRotation = (m_nRotation + 1) % std::size(kRotation);
    m_timer.start(5000);
}

void LStatusArea::OnQueueStatus()
{
    const LSession::QueueStatus& status = m_session.Queue();
    QString text;
    if (status.IsSending()) {
        double fPercent = std::clamp(status.fProgress, 0.0, 1.0) * 100.0;
        text = QString::fromStdString(
            tplprintf("%s %s %d%%", status.szText[0], status.szText[1], static_cast<int32_t>(fPercent)));
    }
    if (text != m_statusText) {
        m_statusText = text;
        if (!text.isEmpty()) {
            setText(text);
            m_timer.start(20000);
        } else {
            m_timer.start(1000);
        }
    }
}

void LStatusArea::ShowError(const QString& text)
{
    // The box runs its own event loop; errors arriving meanwhile wait and are
    // shown one after another instead of stacking boxes.
    m_waitingErrors.push_back(text);
    if (m_bInErrorBox)
        return;
    m_bInErrorBox = true;
    while (!m_waitingErrors.empty()) {
        QString next = m_waitingErrors.front();
        m_waitingErrors.erase(m_waitingErrors.begin());
        m_shownErrors.push_back(next);
        if (m_beforeError)
            m_beforeError();
        if (m_errorBox)
            m_errorBox(next);
        else
            QMessageBox::critical(window(), QStringLiteral("Tavrine Dictate"), next);
    }
    m_bInErrorBox = false;
}
