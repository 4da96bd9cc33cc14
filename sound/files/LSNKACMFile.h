// Writer of a compressed WAV file through the codec table's block encoder:
// frames are taken to 16 bits (saturating), gathered into whole blocks and
// encoded. The header carries the streaming marker until the destructor
// writes the final lengths. Used by one thread at a time.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSinkBase.h"
#include "sound/codecs/LAudioCodec.h"
#include "sound/codecs/LWaveFormat.h"

#include <memory>
#include <string>
#include <vector>

class LSNKACMFile : public LSoundSinkBase {
public:
    // The format's tag, rate and channels choose the encoder; the file holds
    // the encoder's complete format structure. No codec sets the error bit.
    LSNKACMFile(const std::string& path, const LWaveFormat& format);
    ~LSNKACMFile() override;

    void Write(const int32_t* pBuffer, int32_t nFrames) override;

    // The format written into the file (the encoder's own).
    const LWaveFormat& Format() const { return m_format; }

private:
    void Flush();
    void Fail();

    LFile m_file;
    LWaveFormat m_format;
    std::unique_ptr<LAudioEncoder> m_encoder;
    size_t m_nBlockBytes = 0;
    size_t m_nFramesPerBlock = 0;
    std::vector<int16_t> m_pending; // frames of the block being gathered
    size_t m_nPendingFrames = 0;
    std::vector<uint8_t> m_output; // encoded blocks waiting to be written
    size_t m_nOutputBytes = 0;
    uint64_t m_nDataBytes = 0;
};
