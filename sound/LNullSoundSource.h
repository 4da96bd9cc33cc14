// The silent placeholder that stands in wherever a source is required but
// none exists; factories return it with the reason in ErrorCode.
#pragma once

#include "sound/LSoundSourceBase.h"

class LNullSoundSource : public LSoundSourceBase {
public:
    explicit LNullSoundSource(uint8_t uErrorCode = kSoundErrPlaceholder);

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return 0; }
    int64_t GetLength() override { return 0; }

    static LSoundSourceRef Make(uint8_t uErrorCode = kSoundErrPlaceholder);
};
