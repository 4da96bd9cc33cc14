// Dialogic (OKI) 4-bit ADPCM as telephony equipment writes it in ".vox" files,
// in the internal sample scale. One object per stream, owned by the thread
// that reads or writes the stream.
#pragma once

#include <cstdint>

class LDialogicAdpcm {
public:
    static constexpr int kStepCount = 49;

    // Decodes one nibble (low 4 bits of n) to a sample.
    int32_t DecodeNibble(uint8_t n);
    // Encodes one sample; the state follows the decoder's, so a decoder fed
    // the returned nibbles reproduces this object's predicted values.
    uint8_t EncodeSample(int32_t x);
    void Reset()
    {
        V = 0;
        i = 0;
    }

    int32_t V = 0; // predicted value
    int i = 0; // step index into the 49-entry table
};
