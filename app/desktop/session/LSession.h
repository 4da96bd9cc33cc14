// What the desktop program is working on, without any widget: the dictations
// of the Current folder, the selected ones and the current one, and the
// position and length the transport shows. The transport and the commands
// change it; the window only watches its signals and reports the user's
// selection. GUI thread.
#pragma once

#include "dictation/LDictationList.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LDictationEngineSettings;

class LSession : public QObject {
    Q_OBJECT
public:
    explicit LSession(LDictationEngineSettings& engine);

    LDictationEngineSettings& Engine() const { return m_engine; }
    LDictationList& List() { return m_list; }
    LDictation* Find(int nId) const { return nId < 0 ? nullptr : m_list.FindDictation(nId); }
    LDictation* Current() const { return Find(m_nCurrentId); }
    int CurrentId() const { return m_nCurrentId; }
    // The selected dictations in the list's order; the first is current.
    const std::vector<int>& Selection() const { return m_selection; }
    int32_t Position() const { return m_nPositionMs; }
    int32_t Length() const { return m_nLengthMs; }

    // The length of a dictation in milliseconds (0 without a rate).
    static int32_t LengthMs(const LDictation& dictation);

    // Typed notes go to their dictation first; then the list is read again
    // from the Current folder and nothing is current until a selection.
    void Rebuild();
    // The user's selection. Whenever it is reported the position goes to the
    // end of the current dictation, as the length is measured afresh.
    void Select(std::vector<int> ids);
    void SetPosition(int32_t nMs);
    void SetLength(int32_t nMs);
    // Length and position at the end of the current dictation.
    void MeasureCurrent();

    // A new dictation in the Current folder, added to the list, selected and
    // current; null when none could be made.
    LDictation* NewDictation(const std::string& name);
    // One handed back (a failed send) or loaded from a file: added as a row,
    // selected and current when bSelect; false when the list holds it
    // already (it is then freed).
    bool AddReturned(std::unique_ptr<LDictation>& pDictation, bool bSelect = false);
    // Deletes the dictations with every file of theirs, then rebuilds.
    bool Remove(const std::vector<int>& ids);
    // A dictation's header changed (name, priority, duration, attachments);
    // bResort when its place in the sorted list may have moved.
    void Changed(int nId, bool bResort = false);
    // Writes the notes to the dictation and shows them as its notes, not as
    // a fresh edit.
    bool ReplaceNotes(int nId, const std::string& text);
    // Asks the window to store typed notes now (before an edit of the list)
    // or to drop them (their dictation is about to go).
    void FlushEdits() { emit FlushPendingEdits(); }
    void DropEdits() { emit DropPendingEdits(); }

signals:
    void ListRebuilt();
    void DictationAdded(int nId, bool bSelect);
    void DictationChanged(int nId, bool bResort);
    void CurrentChanging();
    void CurrentChanged(int nId);
    void NotesReplaced(int nId);
    void PositionChanged(int32_t nMs);
    void LengthChanged(int32_t nMs);
    void FlushPendingEdits();
    void DropPendingEdits();

private:
    LDictationEngineSettings& m_engine;
    LDictationList m_list;
    std::vector<int> m_selection;
    int m_nCurrentId = -1;
    int32_t m_nPositionMs = 0;
    int32_t m_nLengthMs = 0;
};
