// The sent work: every dictation of the Send folder with when it went, to
// whom and how far the typist has got, fetched from the typists' status
// files; in recover mode the selected ones are taken back. Modal over the
// main window, GUI thread; it plays a sent dictation with a player of its own.
// A long list arrives progressively: the most recently sent rows at once, the
// rest in slices from the event loop.
#pragma once

#include "dictation/LDictationList.h"
#include "foundation/JobResult.h"
#include "sound/device/LSoundPlayer.h"
#include "sound/device/LSoundPlayerNotify.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class LDictation;
class LDictationEngineSettings;
class LMainLoop;
class LProcessListThread;
class LProgressReporter;
class QCheckBox;
class QLabel;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

class RecoverDialog : public QDialog, private LSoundPlayerNotify {
    Q_OBJECT
public:
    enum class Mode { View, Recover };
    enum ControlId : int { kIdRecover = 1, kIdPlay = 2, kIdCancel = 3, kIdUpdate = 4 };
    enum Column : int { kColDate, kColTime, kColName, kColRecipient, kColStatus, kColNotes, kColumns };

    // Runs a long operation under a progress window titled szTitle and
    // returns its result; replaceable so tests need no window of their own.
    using ProcessRunner
        = std::function<JobResult(const char* szTitle, const std::function<JobResult(LProgressReporter&)>& body)>;

    // Opening restores the placement, fills the list and, with "Update
    // Always" set, fetches the status files at once (through runner, or a
    // progress window when it is empty).
    RecoverDialog(Mode mode, LDictationEngineSettings& engine, LProcessListThread& queue, LMainLoop& loop,
        QWidget* pParent = nullptr, ProcessRunner runner = {});
    ~RecoverDialog() override;

    QTreeWidget* List() const { return m_pList; }
    QPushButton* Button(int nId) const;
    QCheckBox* UpdateAlways() const { return m_pUpdateAlways; }
    bool IsPlaying() const { return m_player.IsPlaying(); }
    // Paths of the selected rows, in the list's order.
    std::vector<std::string> SelectedPaths() const;

    // One row per dictation of the Send folder; the row at the selected
    // position (or the last) is selected again, once all rows are there
    // unless the user chose meanwhile.
    void FillList();
    bool IsFilling() const { return m_nNextRow < m_rows.size(); }
    void CmUpdateStatus();
    void CmPlay();
    // Recovers every selected row; closes unless one failed.
    void CmRecover();

    void done(int nResult) override;

    // What the Status column says of a sent dictation: the job being sent
    // with the same percent as the main window's status bar, one waiting in
    // the queue, else its send status (how it was delivered, then the
    // typist's word for it).
    static QString StateText(bool bQueued, bool bSending, int nPercent, const QString& sendStatus);
    // "No dictations waiting to be sent", "1 dictation waiting to be sent", ...
    static QString QueueLengthText(int nWaiting);
    QStatusBar* StatusBar() const { return m_pStatusBar; }
    // Reads the queue file and the job's progress again into the Status
    // column and the status bar; a timer does it while the dialog is open.
    void ShowQueueStates();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void OnStopped(uint32_t uCookie) override;
    void UpdateButtons();
    // Adds up to nMax of the rows still to come, for at most nMs (never when 0) milliseconds.
    void FillSlice(size_t nMax, int nMs);
    void SelectRestored();
    void StorePlacement();
    JobResult RunProcess(const char* szTitle, const std::function<JobResult(LProgressReporter&)>& body);

    Mode m_mode;
    LDictationEngineSettings& m_engine;
    LProcessListThread& m_queue;
    ProcessRunner m_runner;
    QTreeWidget* m_pList = nullptr;
    QPushButton* m_pButtons[4] = {};
    QCheckBox* m_pUpdateAlways = nullptr;
    QStatusBar* m_pStatusBar = nullptr;
    QLabel* m_pQueueLength = nullptr;
    QTimer m_queueTimer;
    LSoundPlayer m_player;
    // What is playing; the list may be refilled meanwhile.
    std::unique_ptr<LDictation> m_pPlaying;
    bool m_bPlacementStored = false;
    // The Send folder's dictations, most recently sent first; those from
    // m_nNextRow on have no row yet.
    LDictationList m_sent;
    std::vector<const LDictation*> m_rows;
    size_t m_nNextRow = 0;
    int m_nRestore = -1;
    QTreeWidgetItem* m_pRestored = nullptr;
    QTimer m_fillTimer;
};
