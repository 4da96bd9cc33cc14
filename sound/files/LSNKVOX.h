// Writer of Dialogic (OKI) 4-bit ADPCM ".vox" files: mono, two samples per
// byte, high nibble first, no header. An odd last sample is completed with an
// encoded silent one, since the file holds whole bytes. Used by one thread at
// a time; the file is complete when the last reference goes.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSinkBase.h"
#include "sound/codecs/LDialogicAdpcm.h"

#include <string>
#include <vector>

class LSNKVOX : public LSoundSinkBase {
public:
    // Creates the file afresh; failure sets the error bit.
    LSNKVOX(const std::string& path, int32_t nSampleRate);
    ~LSNKVOX() override;

    void Write(const int32_t* pBuffer, int32_t nFrames) override;

private:
    static constexpr size_t kBufferBytes = 4096;

    void Flush();

    LFile m_file;
    LDialogicAdpcm m_adpcm;
    std::vector<uint8_t> m_output;
    size_t m_nOutputBytes = 0;
    bool m_bHalf = false; // the high nibble of m_output[m_nOutputBytes] is set
};
