// What the desktop program is working on, without any widget: on top of the
// playback model (current dictation, position, length, transport state), the
// dictations of the Current folder, the selected ones, and the send queue's
// status with the dictations it hands back. The transport, the commands and
// the composition root change it; the window only watches its signals and
// reports the user's selection. GUI thread.
#pragma once

#include "app/desktop/session/LSendStatusSource.h"
#include "app/shared/transport/LPlaybackModel.h"
#include "dictation/LDictationList.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LDictationEngineSettings;

class LSession : public LPlaybackModel {
    Q_OBJECT
public:
    // What the send queue last reported of the job it works on.
    struct QueueStatus {
        std::string szText[2];
        double fProgress = 0.0;
        bool IsSending() const { return !szText[0].empty(); }
    };

    explicit LSession(LDictationEngineSettings& engine);

    LDictationEngineSettings& Engine() const { return m_engine; }
    LDictationList& List() { return m_list; }
    LDictation* Find(int nId) const override { return nId < 0 ? nullptr : m_list.FindDictation(nId); }
    // The selected dictations in the list's order; the first is current.
    const std::vector<int>& Selection() const { return m_selection; }
    const QueueStatus& Queue() const { return m_queue; }

    // Typed notes go to their dictation first; then the list is read again
    // from the Current folder and nothing is current until a selection.
    void Rebuild();
    // The user's selection. Whenever it is reported the position goes to the
    // end of the current dictation, as the length is measured afresh.
    void Select(std::vector<int> ids);

    // A new dictation in the Current folder, added to the list, selected and
    // current; null when none could be made.
    LDictation* NewDictation(const std::string& name);
    // One handed back (a failed send) or loaded from a file: added as a row,
    // selected and current when bSelect; false when the list holds it
    // already (it is then freed).
    bool AddReturned(std::unique_ptr<LDictation>& pDictation, bool bSelect = false);
    // What the send queue reported: its job's status, the dictations it hands
    // back (a failed send, added to the list), then its error.
    void QueueReported(LSendStatusSource::Status status);
    // While a send command's progress box is open the queue's reports wait,
    // then come in their order once it has closed and the list is read
    // again: a send that fails at once lists its dictation once, and its
    // message opens over the window rather than under the closing box.
    void HoldQueueReports(bool bHold);
    // Deletes the dictations with every file of theirs, then rebuilds.
    bool Remove(const std::vector<int>& ids);
    // Writes the notes to the dictation and shows them as its notes, not as
    // a fresh edit.
    bool ReplaceNotes(int nId, const std::string& text);
    // Asks the window to store typed notes now (before an edit of the list)
    // or to drop them (their dictation is about to go).
    void FlushEdits() { emit FlushPendingEdits(); }
    void DropEdits() { emit DropPendingEdits(); }
    // Says text in the status bar for a while.
    void Say(const QString& text) { emit StatusMessage(text); }

signals:
    void ListRebuilt();
    void DictationAdded(int nId, bool bSelect);
    void NotesReplaced(int nId);
    void QueueStatusChanged();
    void QueueError(const QString& text);
    // A send ended: delivered, or handed back with why in status.
    void SendFinished(const QString& name, const QString& status, bool bDelivered);
    // A word for the status bar: what a command did not do, or found.
    void StatusMessage(const QString& text);
    void FlushPendingEdits();
    void DropPendingEdits();

private:
    LDictationEngineSettings& m_engine;
    LDictationList m_list;
    std::vector<int> m_selection;
    QueueStatus m_queue;
    int m_nQueueHolds = 0;
    std::vector<LSendStatusSource::Status> m_heldReports;
};
