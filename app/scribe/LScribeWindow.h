// The typist's main window: the inbox's jobs sorted as the inbox sorts them,
// the chosen job's author, data-prompt fields, notes and attachments, and the
// actions on it (claim, status, done). It only shows the session and asks
// the root for the rest. GUI thread.
#pragma once

#include <QMainWindow>

#include <functional>

class LScribeSession;
class QFormLayout;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QTreeWidget;

class LScribeWindow : public QMainWindow {
    Q_OBJECT
public:
    enum Column { kColName, kColAuthor, kColFileNumber, kColPriority, kColStatus, kColDuration, kColumns };

    struct Actions {
        std::function<void()> compactBar;
        std::function<void()> settings;
        // Opens an attachment through the program's opener.
        std::function<void(const std::string& path)> openAttachment;
    };
    LScribeWindow(LScribeSession& session, Actions actions);

    QTreeWidget* List() const { return m_pList; }
    QListWidget* AttachmentList() const { return m_pAttachments; }
    // Says a line in the status bar and, for a refusal, in a box.
    void Tell(const QString& text, bool bBox);

private:
    void Rebuild();
    void ShowCurrent();
    void OnChosen();
    void Act(bool (LScribeSession::*action)(std::string*), const QString& caption);

    LScribeSession& m_session;
    Actions m_actions;
    QTreeWidget* m_pList = nullptr;
    QLabel* m_pAuthor = nullptr;
    QFormLayout* m_pFields = nullptr;
    QPlainTextEdit* m_pNotes = nullptr;
    QListWidget* m_pAttachments = nullptr;
    bool m_bRebuilding = false;
};
