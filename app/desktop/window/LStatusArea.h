// The status bar's text: a rotation of hints while nothing is sent, the send
// queue's progress while it works, and the queue's errors, shown one box at a
// time. It starts and stops the queue's thread, whose notifications reach it
// through the main loop; dictations the queue hands back go to the session.
// GUI thread.
#pragma once

#include "foundation/LThreadQueuedNotify.h"

#include <QLabel>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class LMainLoop;
class LSendStatusSource;
class LSession;

class LStatusArea : public QLabel {
    Q_OBJECT
public:
    // pQueue may be null (no send queue).
    LStatusArea(LSession& session, LMainLoop& loop, LSendStatusSource* pQueue, QWidget* pParent);
    ~LStatusArea() override;

    void StartQueue(const std::string& queuePath);
    // Stops the queue and the rotation; nothing more reaches the window.
    void Shutdown();

    // The queue's text ("" while it reports none).
    const QString& GetStatusText() const { return m_statusText; }
    void ShowError(const QString& text);
    // Error texts shown so far (a test seam; the box itself is modal).
    const std::vector<QString>& ShownErrors() const { return m_shownErrors; }
    // Replaces the modal error box (tests); the default shows a QMessageBox.
    void SetErrorBox(std::function<void(const QString&)> show) { m_errorBox = std::move(show); }
    // Runs before an error box opens (the window comes forward).
    void SetBeforeError(std::function<void()> before) { m_beforeError = std::move(before); }

signals:
    void Clicked(const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;

private:
    class Notify : public LThreadQueuedNotify {
    public:
        Notify(LMainLoop& loop, LStatusArea& area)
            : LThreadQueuedNotify(loop)
            , m_area(area)
        {
        }

    protected:
        void EvNotify() override { m_area.EvNotify(); }

    private:
        LStatusArea& m_area;
    };

    void EvNotify();
    void OnTimer();

    LSession& m_session;
    LSendStatusSource* m_pQueue;
    std::unique_ptr<Notify> m_pNotify;
    QTimer m_timer;
    size_t m_nRotation = 0;
    QString m_statusText;
    bool m_bInErrorBox = false;
    std::vector<QString> m_waitingErrors;
    std::vector<QString> m_shownErrors;
    std::function<void(const QString&)> m_errorBox;
    std::function<void()> m_beforeError;
};
