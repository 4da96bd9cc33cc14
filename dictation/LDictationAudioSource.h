// A dictation's timeline as one sound source: the stretches of its cut list
// read in order, each cut file opened when its turn comes. Works on a copy of
// the list taken at creation, so edits made meanwhile do not disturb a
// playback or an export. Used by one thread at a time (player or export).
#pragma once

#include "dictation/CutRecord.h"
#include "foundation/LList.h"
#include "sound/LSoundSourceBase.h"

#include <string>

class LDictation;

class LDictationAudioSource final : public LSoundSourceBase {
public:
    explicit LDictationAudioSource(const LDictation& dictation);

    static LSoundRef<LDictationAudioSource> Make(const LDictation& dictation);

    // Always fills the whole request; silence before frame 0, past the end
    // and where a cut file has no data.
    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return m_nPosition; }
    // The total at creation: a recording going on meanwhile does not change it.
    int64_t GetLength() override { return m_nLength; }
    void Seek(int64_t nFrame) override;

private:
    LSoundSourceRef OpenCut(const CutRecord& cut) const;
    int64_t CutLength(const CutRecord& cut) const;

    LList<CutRecord> m_cuts;
    LListIterator<CutRecord> m_next; // the record to open next
    int64_t m_nPosition = 0; // on the timeline; negative reads as silence
    int64_t m_nLength = 0;
    LSoundSourceRef m_cutSource; // the record being read, if any
    int64_t m_nFramesLeft = 0; // of that record
    int64_t m_nCutStart = 0; // timeline position where that record begins
    std::string m_folder;
    std::string m_baseName;
};
