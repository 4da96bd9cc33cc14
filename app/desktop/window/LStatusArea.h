// The status bar's text: a rotation of hints while nothing is sent, the send
// queue's progress while it works, and the queue's errors, shown one box at a
// time. It only watches the session's queue status; the composition root runs
// the queue. GUI thread.
#pragma once

#include <QLabel>
#include <QTimer>

#include <functional>
#include <vector>

class LSession;

class LStatusArea : public QLabel {
    Q_OBJECT
public:
    LStatusArea(LSession& session, QWidget* pParent);
    ~LStatusArea() override;

    // Stops the rotation and the watching; nothing more reaches the window.
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
    void OnQueueStatus();
    void OnTimer();

    LSession& m_session;
    bool m_bShutDown = false;
    QTimer m_timer;
    size_t m_nRotation = 0;
    QString m_statusText;
    bool m_bInErrorBox = false;
    std::vector<QString> m_waitingErrors;
    std::vector<QString> m_shownErrors;
    std::function<void(const QString&)> m_errorBox;
    std::function<void()> m_beforeError;
};
