#include "sound/LSoundTime.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

namespace {

int32_t Saturate(int64_t n)
{
    if (n > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (n < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(n);
}

// Splits the magnitude (after rounding) and formats with the sign in front.
// Pattern arguments: hours, minutes, seconds, fraction.
struct Parts {
    const char* szSign;
    int64_t h, m, s, ms;
};

Parts Split(int32_t nMs, int64_t nRound)
{
    int64_t n = nMs;
    Parts p {};
    p.szSign = n < 0 ? "-" : "";
    if (n < 0)
        n = -n;
    n += nRound;
    p.h = n / 3600000;
    p.m = (n / 60000) % 60;
    p.s = (n / 1000) % 60;
    p.ms = n % 1000;
    return p;
}

} // namespace

void LSoundTime::SetSamples(int64_t nSamples, int32_t nRate)
{
    if (nRate < 1)
        return;
    m_nMs = Saturate((nSamples / nRate) * 1000 + ((nSamples % nRate) * 1000) / nRate);
}

LSoundTime LSoundTime::FromSamples(int64_t nSamples, int32_t nRate)
{
    LSoundTime t;
    t.SetSamples(nSamples, nRate);
    return t;
}

uint32_t LSoundTime::BlockFrames(int32_t nRate)
{
    return static_cast<uint32_t>(std::clamp(nRate / 10, 20, 8192));
}

int64_t LSoundTime::ToSamples(int32_t nRate) const
{
    if (nRate < 1)
        return 0;
    int64_t n = m_nMs;
    return (n / 1000) * nRate + ((n % 1000) * nRate) / 1000;
}

std::string LSoundTime::ToTextMinSec() const
{
    Parts p = Split(m_nMs, 0);
    char sz[48];
    std::snprintf(sz, sizeof sz, "%s%.2" PRId64 ":%.2" PRId64, p.szSign, p.m, p.s);
    return sz;
}

std::string LSoundTime::ToTextMinSecTenths() const
{
    Parts p = Split(m_nMs, 0);
    char sz[48];
    std::snprintf(sz, sizeof sz, "%s%.2" PRId64 ":%.2" PRId64 ".%.1" PRId64, p.szSign, p.m, p.s, p.ms / 100);
    return sz;
}

std::string LSoundTime::ToTextHourTenths() const
{
    Parts p = Split(m_nMs, 0);
    char sz[64];
    std::snprintf(
        sz, sizeof sz, "%s%" PRId64 ":%.2" PRId64 ":%.2" PRId64 ".%.1" PRId64, p.szSign, p.h, p.m, p.s, p.ms / 100);
    return sz;
}

std::string LSoundTime::ToTextMillis() const
{
    Parts p = Split(m_nMs, 0);
    char sz[64];
    std::snprintf(sz, sizeof sz, "%s%" PRId64 ":%.2" PRId64 ":%.2" PRId64 ".%.3" PRId64, p.szSign, p.h, p.m, p.s, p.ms);
    return sz;
}

std::string LSoundTime::ToTextHundredths() const
{
    Parts p = Split(m_nMs, 5);
    char sz[64];
    std::snprintf(
        sz, sizeof sz, "%s%" PRId64 ":%.2" PRId64 ":%.2" PRId64 ".%.2" PRId64, p.szSign, p.h, p.m, p.s, p.ms / 10);
    return sz;
}

std::string LSoundTime::ToTextTenths() const
{
    Parts p = Split(m_nMs, 50);
    char sz[64];
    std::snprintf(
        sz, sizeof sz, "%s%" PRId64 ":%.2" PRId64 ":%.2" PRId64 ".%.1" PRId64, p.szSign, p.h, p.m, p.s, p.ms / 100);
    return sz;
}

std::string LSoundTime::ToTextSeconds() const
{
    Parts p = Split(m_nMs, 500);
    char sz[64];
    std::snprintf(sz, sizeof sz, "%s%" PRId64 ":%.2" PRId64 ":%.2" PRId64, p.szSign, p.h, p.m, p.s);
    return sz;
}

LSoundTime LSoundTime::FromText(std::string_view text)
{
    // Totals are held in 64 bits and clamped after every step, so a long run
    // of digits saturates instead of overflowing.
    constexpr int64_t kLimit = std::numeric_limits<int32_t>::max();
    int64_t nTotal = 0;
    int64_t nField = 0;
    int64_t nWeight = 1000;
    bool bNegative = false;
    bool bPoint = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            int64_t d = c - '0';
            if (!bPoint) {
                int64_t nNewField = std::min(nField * 10 + 1000 * d, kLimit);
                nTotal = std::min(nTotal + (nNewField - nField), kLimit);
                nField = nNewField;
            } else {
                nTotal = std::min(nTotal + d * nWeight, kLimit);
                nWeight /= 10;
            }
        } else if (c == ':') {
            nTotal = std::min(nTotal * 60, kLimit);
            nField = 0;
        } else if (c == '.') {
            if (!bPoint) {
                bPoint = true;
                nWeight = 100;
            }
        } else if (c == '-') {
            bNegative = true;
        }
    }
    return LSoundTime(static_cast<int32_t>(bNegative ? -nTotal : nTotal));
}
