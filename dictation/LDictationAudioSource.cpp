#include "dictation/LDictationAudioSource.h"

#include "dictation/LDictation.h"
#include "sound/files/LCutFile.h"

#include <algorithm>

LDictationAudioSource::LDictationAudioSource(const LDictation& dictation)
    : LSoundSourceBase(
        static_cast<int32_t>(dictation.Header().uSampleRate), dictation.Header().uChannels, kMaxAmplitudePCM)
    , m_cuts(dictation.GetCutList())
    , m_next(m_cuts.GetFirst())
    , m_nLength(static_cast<int64_t>(dictation.GetTotalSamples()))
    , m_folder(dictation.GetFolder())
    , m_baseName(dictation.GetBaseName())
{
}

LSoundRef<LDictationAudioSource> LDictationAudioSource::Make(const LDictation& dictation)
{
    return MakeSoundRef<LDictationAudioSource>(dictation);
}

LSoundSourceRef LDictationAudioSource::OpenCut(const CutRecord& cut) const
{
    return LCutFile::OpenSource(
        LDictation::CutFileName(m_folder, m_baseName, cut.uCutNumber), SampleRate(), NumChannels());
}

int64_t LDictationAudioSource::CutLength(const CutRecord& cut) const
{
    if (cut.uEnd != kCutToEnd)
        return cut.uEnd > cut.uStart ? cut.uEnd - cut.uStart : 0;
    return LDictation::CutLength(cut, LDictation::CutFileName(m_folder, m_baseName, cut.uCutNumber), NumChannels());
}

void LDictationAudioSource::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    const size_t nChannels = NumChannels();
    int32_t* pOut = pBuffer;
    int64_t nWanted = nFrames;
    if (m_nPosition < 0) {
        const int64_t nLead = std::min(-m_nPosition, nWanted);
        std::fill_n(pOut, static_cast<size_t>(nLead) * nChannels, 0);
        pOut += static_cast<size_t>(nLead) * nChannels;
        m_nPosition += nLead;
        nWanted -= nLead;
    }
    m_nPosition += nWanted;
    while (nWanted > 0) {
        const int64_t nTake = std::min(nWanted, m_nFramesLeft);
        if (nTake > 0) {
            m_cutSource->Read(pOut, static_cast<int32_t>(nTake));
            pOut += static_cast<size_t>(nTake) * nChannels;
            m_nFramesLeft -= nTake;
            nWanted -= nTake;
            continue;
        }
        m_cutSource.Reset();
        if (!m_next.IsValid())
            break;
        const CutRecord& cut = *m_next;
        m_next.Next();
        m_cutSource = OpenCut(cut);
        // An open-ended record is measured now; what a recording adds later
        // is read after the next seek.
        const int64_t nEnd = cut.uEnd == kCutToEnd ? m_cutSource->GetLength() : cut.uEnd;
        if (cut.uStart != 0)
            m_cutSource->Seek(cut.uStart);
        m_nCutStart = m_nPosition - nWanted;
        m_nFramesLeft = std::max<int64_t>(nEnd - cut.uStart, 0);
    }
    std::fill(pOut, pBuffer + static_cast<size_t>(nFrames) * nChannels, 0);
}

void LDictationAudioSource::Seek(int64_t nFrame)
{
    const int64_t nDelta = nFrame - m_nPosition;
    m_nPosition = nFrame;
    // Within the record being read only the file position moves. Without a
    // record held (past the last one, or after a seek beyond the end) there
    // is nothing to move: the records are walked.
    if (m_cutSource && ((nDelta >= 0 && nDelta < m_nFramesLeft) || (nDelta < 0 && nFrame >= m_nCutStart))) {
        m_cutSource->Seek(m_cutSource->GetPosition() + nDelta);
        m_nFramesLeft -= nDelta;
        return;
    }
    m_cutSource.Reset();
    m_nFramesLeft = 0;
    m_next = m_cuts.GetFirst();
    if (nFrame <= 0)
        return;
    int64_t nRest = nFrame;
    int64_t nLength = 0;
    for (; m_next.IsValid(); m_next.Next()) {
        nLength = CutLength(*m_next);
        if (nRest < nLength)
            break;
        nRest -= nLength;
    }
    // Past the end: nothing is left to open, so reads give silence.
    if (!m_next.IsValid())
        return;
    const CutRecord& cut = *m_next;
    m_next.Next();
    m_cutSource = OpenCut(cut);
    m_nFramesLeft = nLength - nRest;
    m_nCutStart = nFrame - nRest;
    m_cutSource->Seek(cut.uStart + nRest);
}
