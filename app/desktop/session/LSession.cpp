#include "app/desktop/session/LSession.h"

#include "dictation/LDictationEngineSettings.h"
#include "sound/LSoundTime.h"

#include <algorithm>
#include <limits>

LSession::LSession(LDictationEngineSettings& engine)
    : m_engine(engine)
{
}

int32_t LSession::LengthMs(const LDictation& dictation)
{
    const uint32_t uRate = dictation.Header().uSampleRate;
    if (uRate > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        return 0;
    const uint64_t uSamples = std::min<uint64_t>(dictation.GetTotalSamples(), std::numeric_limits<int64_t>::max());
    return std::max(LSoundTime::FromSamples(static_cast<int64_t>(uSamples), static_cast<int32_t>(uRate)).Ms(), 0);
}

void LSession::Rebuild()
{
    // The notes go to their dictation before the list's objects are rebuilt.
    FlushEdits();
    m_nCurrentId = -1;
    m_selection.clear();
    if (m_engine.IsUsable())
        m_list.Build(m_engine.GetCurrentFolder());
    emit ListRebuilt();
}

void LSession::Select(std::vector<int> ids)
{
    FlushEdits();
    ids.erase(std::remove_if(ids.begin(), ids.end(), [this](int nId) { return !Find(nId); }), ids.end());
    m_selection = std::move(ids);
    const int nCurrent = m_selection.empty() ? -1 : m_selection.front();
    // The transport works on the current dictation only.
    if (nCurrent != m_nCurrentId)
        emit CurrentChanging();
    m_nCurrentId = nCurrent;
    emit CurrentChanged(m_nCurrentId);
    MeasureCurrent();
}

void LSession::SetPosition(int32_t nMs)
{
    m_nPositionMs = std::max(nMs, 0);
    emit PositionChanged(m_nPositionMs);
}

void LSession::SetLength(int32_t nMs)
{
    m_nLengthMs = std::max(nMs, 0);
    emit LengthChanged(m_nLengthMs);
}

void LSession::MeasureCurrent()
{
    const LDictation* pCurrent = Current();
    SetLength(pCurrent ? LengthMs(*pCurrent) : 0);
    SetPosition(m_nLengthMs);
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

bool LSession::Remove(const std::vector<int>& ids)
{
    bool bAll = true;
    for (int nId : ids)
        bAll &= m_list.DeleteDictation(nId);
    Rebuild();
    return bAll;
}

void LSession::Changed(int nId, bool bResort)
{
    emit DictationChanged(nId, bResort);
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
