#include "app/desktop/window/LStatusArea.h"

#include "app/desktop/session/LSendStatusSource.h"
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

LStatusArea::LStatusArea(LSession& session, LMainLoop& loop, LSendStatusSource* pQueue, QWidget* pParent)
    : QLabel(pParent)
    , m_session(session)
    , m_pQueue(pQueue)
    , m_pNotify(std::make_unique<Notify>(loop, *this))
{
    setToolTip(QStringLiteral("Click for more information"));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LStatusArea::OnTimer);
    m_timer.start(1000);
}

LStatusArea::~LStatusArea()
{
    Shutdown();
}

void LStatusArea::StartQueue(const std::string& queuePath)
{
    if (m_pQueue && m_pNotify)
        m_pQueue->Start(queuePath, m_pNotify->GetNotifier());
}

void LStatusArea::Shutdown()
{
    if (!m_pNotify)
        return;
    if (m_pQueue)
        m_pQueue->Stop(5000);
    m_timer.stop();
    m_pNotify.reset();
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

void LStatusArea::EvNotify()
{
    if (!m_pQueue)
        return;
    // Everything is copied or taken off the block under its lock inside
    // TakeStatus; nothing here runs with the lock held.
    LSendStatusSource::Status status = m_pQueue->TakeStatus();
    QString text;
    if (!status.szText[0].empty()) {
        double fPercent = std::clamp(status.fProgress, 0.0, 1.0) * 100.0;
        text = QString::fromStdString(
            tplprintf("%s %s %d%%", status.szText[0], status.szText[1], static_cast<int32_t>(fPercent)));
    }
    // One the list holds already is freed with the unique_ptr.
    for (std::unique_ptr<LDictation>& pFailed : status.failed)
        m_session.AddReturned(pFailed);
    if (text != m_statusText) {
        m_statusText = text;
        if (!text.isEmpty()) {
            setText(text);
            m_timer.start(20000);
        } else {
            m_timer.start(1000);
        }
    }
    if (status.error)
        ShowError(QString::fromStdString(*status.error));
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
