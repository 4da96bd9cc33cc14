// Reader of Dialogic (OKI) 4-bit ADPCM ".vox" files: mono, two samples per
// byte, high nibble first. Every sample depends on all before it, so a seek
// decodes up to its target from the nearest saved decoder state: reading after
// a seek gives exactly what reading from the start gives there. Used by one
// thread at a time.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSourceBase.h"
#include "sound/codecs/LDialogicAdpcm.h"

#include <vector>

class LSRCVOX : public LSoundSourceBase {
public:
    // The leak lets the prediction run beyond 16-bit full scale.
    static constexpr int32_t kMaxAmplitude = 0x200000;

    // The data starts where the file stands; an unopened file sets error 4.
    LSRCVOX(LFile&& file, int32_t nSampleRate);

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return m_nPosition; }
    // Two samples per byte of the file as it is now.
    int64_t GetLength() override;
    void Seek(int64_t nFrame) override { m_nPosition = nFrame; }

private:
    struct State {
        int32_t V;
        int i;
    };
    // Decoder state is saved before every this many bytes (about a second at
    // 8000 Hz), so that a seek decodes at most that much.
    static constexpr uint64_t kCheckpointBytes = 4096;
    static constexpr size_t kReadBytes = 4096;

    // Brings the decoder to sample nSample (0 <= nSample < length).
    void MoveTo(int64_t nSample);
    // Decodes up to nSamples from m_nNext into pOut (null: dropped); returns
    // how many the file held.
    int64_t Decode(int32_t* pOut, int64_t nSamples);

    LFile m_file;
    uint64_t m_nDataStart = 0;
    LDialogicAdpcm m_adpcm;
    int64_t m_nNext = 0; // the sample the decoder state leads to; -1 when unknown
    uint8_t m_uPending = 0; // the byte whose low nibble is next when m_nNext is odd
    std::vector<State> m_checkpoints; // [k]: state before byte k × kCheckpointBytes
    std::vector<uint8_t> m_input;
    int64_t m_nPosition = 0;
};
