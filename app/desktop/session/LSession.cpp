#include "app/desktop/session/LSession.h"

#include "dictation/LDictationEngineSettings.h"

#include <algorithm>

LSession::LSession(LDictationEngineSettings& engine)
    : m_engine(engine)
{
}

void LSession::Rebuild()
{
    // The notes go to their dictation before the list's objects are rebuilt.
    FlushEdits();
    m_selection.clear();
    ForgetCurrent();
    if (m_engine.IsUsable())
        m_list.Build(m_engine.GetCurrentFolder());
    emit ListRebuilt();
}

void LSession::Select(std::vector<int> ids)
{
    FlushEdits();
    ids.erase(std::remove_if(ids.begin(), ids.end(), [this](int nId) { return !Find(nId); }), ids.end());
    m_selection = std::move(ids);
    SetCurrent(m_selection.empty() ? -1 : m_selection.front());
    MeasureCurrent();
}

LDictation* LSession::NewDictation(const std::string& name)
{
    LDictation* pDictation = m_list.NewDictation(m_engine.GetCurrentFolder(), name);
    if (!pDictation)
        return nullptr;
    const int nId = pDictation->nListIndex;
    emit DictationAdded(nId, true);
    Select({ nId });
    return m_list.FindDictation(nId);
}

bool LSession::AddReturned(std::unique_ptr<LDictation>& pDictation, bool bSelect)
{
    LDictation* pRaw = pDictation.get();
    if (!pRaw || !m_list.AddDictation(pDictation))
        return false;
    const int nId = pRaw->nListIndex;
    emit DictationAdded(nId, bSelect);
    if (bSelect)
        Select({ nId });
    return true;
}

void LSession::HoldQueueReports(bool bHold)
{
    m_nQueueHolds += bHold ? 1 : -1;
    if (m_nQueueHolds > 0)
        return;
    m_nQueueHolds = 0;
    // A report may open an error box, whose event loop may bring more.
    std::vector<LSendStatusSource::Status> held;
    held.swap(m_heldReports);
    for (LSendStatusSource::Status& status : held)
        QueueReported(std::move(status));
}

void LSession::QueueReported(LSendStatusSource::Status status)
{
    if (m_nQueueHolds > 0) {
        m_heldReports.push_back(std::move(status));
        return;
    }
    // One the list holds already is freed with the unique_ptr.
    for (std::unique_ptr<LDictation>& pFailed : status.failed)
        AddReturned(pFailed);
    m_queue.szText[0] = std::move(status.szText[0]);
    m_queue.szText[1] = std::move(status.szText[1]);
    m_queue.fProgress = status.fProgress;
    emit QueueStatusChanged();
    for (const LThreadStatus::Finished& finished : status.finished)
        emit SendFinished(
            QString::fromStdString(finished.name), QString::fromStdString(finished.status), finished.bDelivered);
    if (status.error)
        emit QueueError(QString::fromStdString(*status.error));
}

bool LSession::Remove(const std::vector<int>& ids)
{
    bool bAll = true;
    for (int nId : ids)
        bAll &= m_list.DeleteDictation(nId);
    Rebuild();
    return bAll;
}

bool LSession::ReplaceNotes(int nId, const std::string& text)
{
    LDictation* pDictation = Find(nId);
    if (!pDictation)
        return false;
    // Written as it stands (line breaks included).
    const bool bSaved = pDictation->SetNotes(text);
    emit NotesReplaced(nId);
    emit DictationChanged(nId, false);
    return bSaved;
}
