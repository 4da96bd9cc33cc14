// A time in milliseconds, with the text forms the window, the lists and the
// command line show. Plain value, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class LSoundTime {
public:
    LSoundTime() = default;
    explicit LSoundTime(int32_t nMs)
        : m_nMs(nMs)
    {
    }

    int32_t Ms() const { return m_nMs; }
    void SetMs(int32_t nMs) { m_nMs = nMs; }

    // Frames at a rate to milliseconds, split so that long recordings do not
    // overflow; a rate below 1 leaves the value as it was. Saturates at the
    // limits of 32 bits.
    void SetSamples(int64_t nSamples, int32_t nRate);
    static LSoundTime FromSamples(int64_t nSamples, int32_t nRate);
    // Milliseconds back to frames at a rate (0 for a rate below 1).
    int64_t ToSamples(int32_t nRate) const;
    // The block in which the player's and recorder's threads move audio: a
    // tenth of a second, within 20..8192 frames.
    static uint32_t BlockFrames(int32_t nRate);

    std::string ToTextMinSec() const; // "mm:ss"
    std::string ToTextMinSecTenths() const; // "mm:ss.t"
    std::string ToTextHourTenths() const; // "h:mm:ss.t"
    std::string ToTextMillis() const; // "h:mm:ss.mmm"
    std::string ToTextHundredths() const; // "h:mm:ss.hh", rounded
    std::string ToTextTenths() const; // "h:mm:ss.t", rounded
    std::string ToTextSeconds() const; // "h:mm:ss", rounded

    // Reads any of the forms above ("-" anywhere makes it negative; other
    // characters are skipped). Values beyond 32 bits saturate.
    static LSoundTime FromText(std::string_view text);

private:
    int32_t m_nMs = 0;
};
