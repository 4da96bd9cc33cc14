#include "sound/codecs/LGSMFrame.h"

#include <algorithm>
#include <bit>
#include <cstring>

// The arithmetic below is the standard's 16/32-bit fixed point, operation for
// operation: every saturation, rounding and truncation changes the bits that
// the decoders of other systems expect, so nothing here is "simplified".

namespace {

constexpr int32_t kMaxWord = 32767;
constexpr int32_t kMinWord = -32768;

inline int16_t Saturate(int32_t x)
{
    return static_cast<int16_t>(std::clamp(x, kMinWord, kMaxWord));
}

inline int16_t Add(int16_t a, int16_t b)
{
    return Saturate(int32_t(a) + b);
}
inline int16_t Sub(int16_t a, int16_t b)
{
    return Saturate(int32_t(a) - b);
}

inline int16_t Mult(int16_t a, int16_t b)
{
    if (a == kMinWord && b == kMinWord)
        return kMaxWord;
    return static_cast<int16_t>((int32_t(a) * b) >> 15);
}

inline int16_t MultR(int16_t a, int16_t b)
{
    if (a == kMinWord && b == kMinWord)
        return kMaxWord;
    return static_cast<int16_t>((int32_t(a) * b + 16384) >> 15);
}

// MultR where one factor is known never to be -32768, so the product cannot
// overflow and needs no check.
inline int16_t MultRNoMin(int16_t a, int16_t b)
{
    return static_cast<int16_t>((int32_t(a) * b + 16384) >> 15);
}

// Plain 32-bit arithmetic for a run of 16-bit operations done without
// saturation, to be checked afterwards with Outside16. It wraps instead of
// overflowing: the first value to leave 16 bits is computed from operands
// still within 16 bits, so it is exact and gets caught, and what follows it
// is discarded however it wrapped.
inline int32_t WrapMultR(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b) + 16384u) >> 15;
}
inline int32_t WrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Nonzero above bit 15 exactly when x does not fit 16 bits; ORed over many
// values, one test covers them all.
inline uint32_t Outside16(int32_t x)
{
    return static_cast<uint32_t>(x) + 32768u;
}

inline int16_t Abs(int16_t a)
{
    if (a == kMinWord)
        return kMaxWord;
    return static_cast<int16_t>(a < 0 ? -a : a);
}

inline int32_t LAdd(int32_t a, int32_t b)
{
    const int64_t sum = int64_t(a) + b;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

inline int32_t LMult(int16_t a, int16_t b)
{
    if (a == kMinWord && b == kMinWord)
        return INT32_MAX;
    return (int32_t(a) * b) * 2;
}

// Left shifts that bring a nonzero value into [2^30, 2^31) or [-2^31, -2^30).
inline int Norm(int32_t x)
{
    const uint32_t u = static_cast<uint32_t>(x < 0 ? ~x : x);
    return std::countl_zero(u) - 1;
}

// A 16-bit shift whose negative count shifts the other way.
inline int16_t Shl(int16_t a, int n)
{
    if (n < 0)
        return static_cast<int16_t>(a >> -n);
    return static_cast<int16_t>(a << n);
}

// num / denum for 0 <= num <= denum, as a 15-bit fraction.
int16_t Div(int16_t num, int16_t denum)
{
    if (num == 0)
        return 0;
    int32_t lNum = num;
    const int32_t lDenum = denum;
    int16_t result = 0;
    for (int k = 0; k < 15; ++k) {
        result = static_cast<int16_t>(result << 1);
        lNum <<= 1;
        if (lNum >= lDenum) {
            lNum -= lDenum;
            ++result;
        }
    }
    return result;
}

// Quantisation of the log-area ratios and the LTP gain, and the RPE tables.
constexpr int16_t kA[8] = { 20480, 20480, 20480, 20480, 13964, 15360, 8534, 9036 };
constexpr int16_t kB[8] = { 0, 0, 2048, -2560, 94, -1792, -341, -1144 };
constexpr int16_t kMIC[8] = { -32, -32, -16, -16, -8, -8, -4, -4 };
constexpr int16_t kMAC[8] = { 31, 31, 15, 15, 7, 7, 3, 3 };
constexpr int16_t kINVA[8] = { 13107, 13107, 13107, 13107, 19223, 17476, 31454, 29708 };
constexpr int16_t kDLB[4] = { 6554, 16384, 26214, 32767 };
constexpr int16_t kQLB[4] = { 3277, 11469, 21299, 32767 };
constexpr int16_t kH[11] = { -134, -374, 0, 2054, 5741, 8192, 5741, 2054, 0, -374, -134 };
constexpr int16_t kNRFAC[8] = { 29128, 26215, 23832, 21846, 20165, 18725, 17476, 16384 };
constexpr int16_t kFAC[8] = { 18431, 20479, 22527, 24575, 26623, 28671, 30719, 32767 };

// Bit widths of the parameters in transmission order.
constexpr int kLARBits[8] = { 6, 6, 5, 5, 4, 4, 3, 3 };
constexpr int kNcBits = 7, kBcBits = 2, kMcBits = 2, kXmaxcBits = 6, kXMcBits = 3;

// ---- LPC analysis ---------------------------------------------------------

// Autocorrelation of the frame, scaled to avoid overflow. The scaling is
// undone on s[] afterwards at the cost of its low bits, which the filter
// that follows sees: that loss is part of the standard.
void Autocorrelation(int16_t* s, int32_t* lACF)
{
    int16_t smax = 0;
    for (int k = 0; k < 160; ++k)
        smax = std::max(smax, Abs(s[k]));

    int scalauto = 0;
    if (smax != 0)
        scalauto = 4 - Norm(int32_t(smax) << 16);

    if (scalauto > 0) {
        const int16_t factor = static_cast<int16_t>(16384 >> (scalauto - 1));
        for (int k = 0; k < 160; ++k)
            s[k] = MultR(s[k], factor);
    }

    // With |s| at most 2048 now, 160 doubled products stay below 2^31: the
    // saturating adds of the standard never act, so plain sums are exact.
    for (int k = 0; k <= 8; ++k) {
        int32_t sum = 0;
        for (int i = k; i < 160; ++i)
            sum += int32_t(s[i]) * s[i - k];
        lACF[k] = sum * 2;
    }

    if (scalauto > 0)
        for (int k = 0; k < 160; ++k)
            s[k] = static_cast<int16_t>(s[k] << scalauto);
}

// Schur recursion: reflection coefficients r[1..8] (stored at r[0..7]).
void Reflection(const int32_t* lACF, int16_t* r)
{
    if (lACF[0] == 0) {
        std::fill(r, r + 8, int16_t(0));
        return;
    }
    const int shift = Norm(lACF[0]);
    int16_t acf[9];
    for (int k = 0; k <= 8; ++k)
        acf[k] = static_cast<int16_t>((lACF[k] << shift) >> 16);

    int16_t P[9], K[9];
    for (int i = 1; i <= 7; ++i)
        K[9 - i] = acf[i];
    for (int i = 0; i <= 8; ++i)
        P[i] = acf[i];

    for (int n = 1; n <= 8; ++n) {
        if (P[0] < Abs(P[1])) {
            for (int i = n; i <= 8; ++i)
                r[i - 1] = 0;
            return;
        }
        int16_t rn = Div(Abs(P[1]), P[0]);
        if (P[1] > 0)
            rn = Sub(0, rn);
        r[n - 1] = rn;
        if (n == 8)
            return;
        P[0] = Add(P[0], MultR(P[1], rn));
        for (int m = 1; m <= 8 - n; ++m) {
            P[m] = Add(P[m + 1], MultR(K[9 - m], rn));
            K[9 - m] = Add(K[9 - m], MultR(P[m + 1], rn));
        }
    }
}

// Reflection coefficients to log-area ratios (piecewise linear), then coded.
void QuantiseLARs(const int16_t* r, int16_t* LARc)
{
    for (int i = 0; i < 8; ++i) {
        int16_t temp = Abs(r[i]);
        if (temp < 22118)
            temp = static_cast<int16_t>(temp >> 1);
        else if (temp < 31130)
            temp = static_cast<int16_t>(temp - 11059);
        else
            temp = static_cast<int16_t>((temp - 26112) << 2);
        const int16_t lar = r[i] < 0 ? static_cast<int16_t>(-temp) : temp;

        temp = Mult(kA[i], lar);
        temp = Add(temp, kB[i]);
        temp = Add(temp, 256);
        int16_t code = static_cast<int16_t>(temp >> 9);
        code = std::clamp(code, kMIC[i], kMAC[i]);
        LARc[i] = static_cast<int16_t>(code - kMIC[i]);
    }
}

void DecodeLARs(const int16_t* LARc, int16_t* LARpp)
{
    for (int i = 0; i < 8; ++i) {
        int16_t temp1 = static_cast<int16_t>(Add(LARc[i], kMIC[i]) << 10);
        const int16_t temp2 = static_cast<int16_t>(kB[i] << 1);
        temp1 = Sub(temp1, temp2);
        temp1 = MultR(kINVA[i], temp1);
        LARpp[i] = Add(temp1, temp1);
    }
}

// The LARs of the four stretches of a frame (samples 0-12, 13-26, 27-39,
// 40-159) are interpolated between the last frame's and this frame's, then
// turned back into reflection coefficients.
void InterpolatedCoefficients(int segment, const int16_t* prev, const int16_t* cur, int16_t* rp)
{
    for (int i = 0; i < 8; ++i) {
        int16_t lar;
        switch (segment) {
        case 0:
            lar = Add(static_cast<int16_t>(prev[i] >> 2), static_cast<int16_t>(cur[i] >> 2));
            lar = Add(lar, static_cast<int16_t>(prev[i] >> 1));
            break;
        case 1:
            lar = Add(static_cast<int16_t>(prev[i] >> 1), static_cast<int16_t>(cur[i] >> 1));
            break;
        case 2:
            lar = Add(static_cast<int16_t>(prev[i] >> 2), static_cast<int16_t>(cur[i] >> 2));
            lar = Add(lar, static_cast<int16_t>(cur[i] >> 1));
            break;
        default:
            lar = cur[i];
            break;
        }

        int16_t temp = Abs(lar);
        if (temp < 11059)
            temp = static_cast<int16_t>(temp << 1);
        else if (temp < 20070)
            temp = static_cast<int16_t>(temp + 11059);
        else
            temp = Add(static_cast<int16_t>(temp >> 2), 26112);
        rp[i] = lar < 0 ? static_cast<int16_t>(-temp) : temp;
    }
}

constexpr int kSegmentStart[5] = { 0, 13, 27, 40, 160 };

// ---- RPE ------------------------------------------------------------------

// Exponent and mantissa (mantissa already less 8) of a coded block maximum.
void XmaxcToExpMant(int16_t xmaxc, int* pExp, int* pMant)
{
    int exp = 0;
    if (xmaxc > 15)
        exp = (xmaxc >> 3) - 1;
    int mant = xmaxc - (exp << 3);
    if (mant == 0) {
        exp = -4;
        mant = 7;
    } else {
        while (mant <= 7) {
            mant = (mant << 1) | 1;
            --exp;
        }
        mant -= 8;
    }
    *pExp = exp;
    *pMant = mant;
}

// Inverse APCM: the 13 pulse codes back to amplitudes.
void InverseAPCM(const int16_t* xMc, int exp, int mant, int16_t* xMp)
{
    const int16_t fac = kFAC[mant];
    const int shift = 6 - exp;
    const int16_t round = Shl(1, shift - 1);
    for (int i = 0; i < 13; ++i) {
        int16_t temp = static_cast<int16_t>((xMc[i] << 1) - 7);
        temp = static_cast<int16_t>(temp << 12);
        temp = MultR(fac, temp);
        temp = Add(temp, round);
        xMp[i] = static_cast<int16_t>(temp >> shift);
    }
}

void RpeDecode(int16_t xmaxc, int16_t Mc, const int16_t* xMc, int16_t* ep)
{
    int exp, mant;
    XmaxcToExpMant(xmaxc, &exp, &mant);
    int16_t xMp[13];
    InverseAPCM(xMc, exp, mant, xMp);
    std::fill(ep, ep + 40, int16_t(0));
    for (int i = 0; i < 13; ++i)
        ep[Mc + 3 * i] = xMp[i];
}

// ---- Bit packing ----------------------------------------------------------

// The bit writers and readers move whole bytes through a small accumulator;
// they touch exactly the bytes that hold their bits, no further.

class MsbWriter {
public:
    explicit MsbWriter(uint8_t* p)
        : m_p(p)
    {
    }
    void Put(int value, int bits)
    {
        m_acc = (m_acc << bits) | (static_cast<uint32_t>(value) & ((1u << bits) - 1));
        m_nHave += bits;
        while (m_nHave >= 8) {
            m_nHave -= 8;
            *m_p++ = static_cast<uint8_t>(m_acc >> m_nHave);
        }
    }
    // A partial last byte, its unused low bits zero.
    void Flush()
    {
        if (m_nHave > 0)
            *m_p = static_cast<uint8_t>(m_acc << (8 - m_nHave));
        m_nHave = 0;
    }

private:
    uint8_t* m_p;
    uint32_t m_acc = 0;
    int m_nHave = 0;
};

class MsbReader {
public:
    explicit MsbReader(const uint8_t* p)
        : m_p(p)
    {
    }
    int16_t Get(int bits)
    {
        while (m_nHave < bits) {
            m_acc = (m_acc << 8) | *m_p++;
            m_nHave += 8;
        }
        m_nHave -= bits;
        return static_cast<int16_t>((m_acc >> m_nHave) & ((1u << bits) - 1));
    }

private:
    const uint8_t* m_p;
    uint32_t m_acc = 0;
    int m_nHave = 0;
};

// Starts at any bit; the bits of a shared first or last byte that lie
// outside the written run keep their values.
class LsbWriter {
public:
    LsbWriter(uint8_t* p, size_t nBit)
        : m_p(p + nBit / 8)
        , m_nHave(static_cast<int>(nBit % 8))
    {
        if (m_nHave > 0)
            m_acc = *m_p & ((1u << m_nHave) - 1);
    }
    void Put(int value, int bits)
    {
        m_acc |= (static_cast<uint32_t>(value) & ((1u << bits) - 1)) << m_nHave;
        m_nHave += bits;
        while (m_nHave >= 8) {
            *m_p++ = static_cast<uint8_t>(m_acc);
            m_acc >>= 8;
            m_nHave -= 8;
        }
    }
    void Flush()
    {
        if (m_nHave > 0) {
            const uint32_t mask = (1u << m_nHave) - 1;
            *m_p = static_cast<uint8_t>((*m_p & ~mask) | (m_acc & mask));
        }
        m_nHave = 0;
    }

private:
    uint8_t* m_p;
    uint32_t m_acc = 0;
    int m_nHave;
};

class LsbReader {
public:
    LsbReader(const uint8_t* p, size_t nBit)
        : m_p(p + nBit / 8)
    {
        const int nSkip = static_cast<int>(nBit % 8);
        if (nSkip > 0) {
            m_acc = *m_p++ >> nSkip;
            m_nHave = 8 - nSkip;
        }
    }
    int16_t Get(int bits)
    {
        while (m_nHave < bits) {
            m_acc |= static_cast<uint32_t>(*m_p++) << m_nHave;
            m_nHave += 8;
        }
        const uint32_t value = m_acc & ((1u << bits) - 1);
        m_acc >>= bits;
        m_nHave -= bits;
        return static_cast<int16_t>(value);
    }

private:
    const uint8_t* m_p;
    uint32_t m_acc = 0;
    int m_nHave = 0;
};

template <class Writer> void PutParameters(Writer& w, const LGSMFrame::Parameters& p)
{
    for (int i = 0; i < 8; ++i)
        w.Put(p.LARc[i], kLARBits[i]);
    for (int j = 0; j < 4; ++j) {
        w.Put(p.Nc[j], kNcBits);
        w.Put(p.bc[j], kBcBits);
        w.Put(p.Mc[j], kMcBits);
        w.Put(p.xmaxc[j], kXmaxcBits);
        for (int i = 0; i < 13; ++i)
            w.Put(p.xMc[j][i], kXMcBits);
    }
}

template <class Reader> void GetParameters(Reader& r, LGSMFrame::Parameters* p)
{
    for (int i = 0; i < 8; ++i)
        p->LARc[i] = r.Get(kLARBits[i]);
    for (int j = 0; j < 4; ++j) {
        p->Nc[j] = r.Get(kNcBits);
        p->bc[j] = r.Get(kBcBits);
        p->Mc[j] = r.Get(kMcBits);
        p->xmaxc[j] = r.Get(kXmaxcBits);
        for (int i = 0; i < 13; ++i)
            p->xMc[j][i] = r.Get(kXMcBits);
    }
}

constexpr size_t kFrameBits = 260;
constexpr int kSignature = 0xD;

} // namespace

void LGSMFrame::Reset()
{
    ResetEncoder();
    ResetDecoder();
}

void LGSMFrame::ResetEncoder()
{
    m_z1 = 0;
    m_Lz2 = 0;
    m_mp = 0;
    std::memset(m_encLARpp, 0, sizeof m_encLARpp);
    std::memset(m_u, 0, sizeof m_u);
    std::memset(m_dp, 0, sizeof m_dp);
}

void LGSMFrame::ResetDecoder()
{
    m_nrp = 40;
    std::memset(m_drp, 0, sizeof m_drp);
    std::memset(m_decLARpp, 0, sizeof m_decLARpp);
    std::memset(m_v, 0, sizeof m_v);
    m_msr = 0;
}

void LGSMFrame::EncodeNormal(const int16_t* pSamples, Parameters* pOut)
{
    // Pre-processing: keep 13 bits, remove the DC offset, pre-emphasise.
    int16_t s[160];
    for (int k = 0; k < 160; ++k) {
        const int16_t so = static_cast<int16_t>((pSamples[k] >> 3) << 2);
        const int16_t s1 = static_cast<int16_t>(so - m_z1);
        m_z1 = so;
        int32_t lS2 = int32_t(s1) << 15;
        // 31 x 16-bit multiplication of the filter memory by alpha = 32735/32768.
        const int16_t msp = static_cast<int16_t>(m_Lz2 >> 15);
        const int16_t lsp = static_cast<int16_t>(m_Lz2 - (int32_t(msp) << 15));
        lS2 += MultR(lsp, 32735);
        m_Lz2 = LAdd(int32_t(msp) * 32735, lS2);
        const int16_t sof = static_cast<int16_t>(LAdd(m_Lz2, 16384) >> 15);
        s[k] = Add(sof, MultR(m_mp, -28180));
        m_mp = sof;
    }

    // LPC analysis.
    int32_t lACF[9];
    Autocorrelation(s, lACF);
    int16_t r[8];
    Reflection(lACF, r);
    QuantiseLARs(r, pOut->LARc);

    // Short-term analysis filter; the residual d[] replaces s[].
    int16_t LARpp[8];
    DecodeLARs(pOut->LARc, LARpp);
    for (int seg = 0; seg < 4; ++seg) {
        int16_t rp[8];
        InterpolatedCoefficients(seg, m_encLARpp, LARpp, rp);
        for (int k = kSegmentStart[seg]; k < kSegmentStart[seg + 1]; ++k) {
            int16_t di = s[k];
            int16_t sav = di;
            for (int i = 0; i < 8; ++i) {
                const int16_t ui = m_u[i];
                const int16_t temp = Add(ui, MultR(rp[i], di));
                di = Add(di, MultR(rp[i], ui));
                m_u[i] = sav;
                sav = temp;
            }
            s[k] = di;
        }
    }
    std::memcpy(m_encLARpp, LARpp, sizeof LARpp);

    for (int j = 0; j < 4; ++j) {
        const int16_t* d = s + 40 * j;
        const int16_t* dp = m_dp + 120; // dp[-120..-1]

        // Long-term predictor: lag by the largest cross-correlation of the
        // (scaled) residual with the past reconstructed residual.
        int16_t dmax = 0;
        for (int k = 0; k < 40; ++k)
            dmax = std::max(dmax, Abs(d[k]));
        int temp = 0;
        if (dmax != 0)
            temp = Norm(int32_t(dmax) << 16);
        const int scal = temp > 6 ? 0 : 6 - temp;
        int16_t wt[40];
        for (int k = 0; k < 40; ++k)
            wt[k] = static_cast<int16_t>(d[k] >> scal);

        // |wt| <= 2^9, so 40 doubled products with dp stay below 2^31 and
        // plain sums equal the standard's saturating ones.
        int32_t lMax = 0;
        int16_t Nc = 40;
        for (int lambda = 40; lambda <= 120; ++lambda) {
            int32_t sum = 0;
            for (int k = 0; k < 40; ++k)
                sum += int32_t(wt[k]) * dp[k - lambda];
            sum *= 2;
            if (sum > lMax) {
                Nc = static_cast<int16_t>(lambda);
                lMax = sum;
            }
        }
        lMax >>= 6 - scal;

        int32_t lPower = 0;
        for (int k = 0; k < 40; ++k) {
            const int16_t t = static_cast<int16_t>(dp[k - Nc] >> 3);
            lPower = LAdd(lPower, LMult(t, t));
        }

        int16_t bc;
        if (lMax <= 0) {
            bc = 0;
        } else if (lMax >= lPower) {
            bc = 3;
        } else {
            const int shift = Norm(lPower);
            const int16_t R = static_cast<int16_t>((lMax << shift) >> 16);
            const int16_t S = static_cast<int16_t>((lPower << shift) >> 16);
            bc = 3;
            for (int16_t b = 0; b < 3; ++b) {
                if (R <= Mult(S, kDLB[b])) {
                    bc = b;
                    break;
                }
            }
        }
        pOut->Nc[j] = Nc;
        pOut->bc[j] = bc;

        // Long-term analysis filter.
        int16_t dpp[40], e[40];
        const int16_t bp = kQLB[bc];
        for (int k = 0; k < 40; ++k) {
            dpp[k] = MultR(bp, dp[k - Nc]);
            e[k] = Sub(d[k], dpp[k]);
        }

        // Weighting filter over e[] with five zeros on either side.
        int16_t x[40];
        for (int k = 0; k < 40; ++k) {
            int32_t acc = 8192;
            for (int i = 0; i < 11; ++i) {
                const int n = k + i - 5;
                if (n >= 0 && n < 40)
                    acc = LAdd(acc, LMult(e[n], kH[i]));
            }
            acc = LAdd(acc, acc);
            acc = LAdd(acc, acc);
            x[k] = static_cast<int16_t>(acc >> 16);
        }

        // Grid selection: the decimated sequence with the most energy.
        int32_t em = 0;
        int16_t Mc = 0;
        for (int m = 0; m < 4; ++m) {
            int32_t sum = 0;
            for (int i = 0; i < 13; ++i) {
                const int16_t t = static_cast<int16_t>(x[m + 3 * i] >> 2);
                sum = LAdd(LMult(t, t), sum);
            }
            if (sum > em) {
                Mc = static_cast<int16_t>(m);
                em = sum;
            }
        }
        int16_t xM[13];
        for (int i = 0; i < 13; ++i)
            xM[i] = x[Mc + 3 * i];

        // APCM: block maximum coded as a 6-bit pseudo-logarithm, then the
        // pulses normalised by it into 3 bits.
        int16_t xmax = 0;
        for (int i = 0; i < 13; ++i)
            xmax = std::max(xmax, Abs(xM[i]));
        int exp = 0;
        {
            int16_t t = static_cast<int16_t>(xmax >> 9);
            bool stop = false;
            for (int i = 0; i <= 5; ++i) {
                if (t <= 0)
                    stop = true;
                t = static_cast<int16_t>(t >> 1);
                if (!stop)
                    ++exp;
            }
        }
        const int16_t xmaxc = Add(static_cast<int16_t>(xmax >> (exp + 5)), static_cast<int16_t>(exp << 3));
        pOut->Mc[j] = Mc;
        pOut->xmaxc[j] = xmaxc;

        int mant;
        XmaxcToExpMant(xmaxc, &exp, &mant);
        const int normShift = 6 - exp;
        const int16_t nrfac = kNRFAC[mant];
        for (int i = 0; i < 13; ++i) {
            int16_t t = static_cast<int16_t>(xM[i] << normShift);
            t = Mult(t, nrfac);
            t = static_cast<int16_t>(t >> 12);
            pOut->xMc[j][i] = Add(t, 4);
        }

        // What the decoder will rebuild of this subframe becomes the past
        // residual for the next.
        int16_t xMp[13];
        InverseAPCM(pOut->xMc[j], exp, mant, xMp);
        int16_t ep[40] = {};
        for (int i = 0; i < 13; ++i)
            ep[Mc + 3 * i] = xMp[i];
        std::memmove(m_dp, m_dp + 40, 80 * sizeof(int16_t));
        for (int k = 0; k < 40; ++k)
            m_dp[80 + k] = Add(ep[k], dpp[k]);
    }
}

void LGSMFrame::DecodeNormal(const Parameters& params, int16_t* pSamples)
{
    // The filter states live in locals for the frame: written through
    // members, every store to pSamples could alias them and would force them
    // back to memory on each sample.

    // The past residual drp[-120..-1] followed by this frame's, so the
    // long-term filter reads any lag without shifting the history per subframe.
    int16_t drp[120 + 160];
    std::memcpy(drp, m_drp, sizeof m_drp);
    int16_t nrp = m_nrp;
    for (int j = 0; j < 4; ++j) {
        int16_t xMc[13];
        for (int i = 0; i < 13; ++i)
            xMc[i] = static_cast<int16_t>(params.xMc[j][i] & 7);
        int16_t erp[40];
        RpeDecode(static_cast<int16_t>(params.xmaxc[j] & 63), static_cast<int16_t>(params.Mc[j] & 3), xMc, erp);

        // Long-term synthesis; a lag outside 40..120 repeats the last good one.
        int16_t Nr = static_cast<int16_t>(params.Nc[j] & 127);
        if (Nr < 40 || Nr > 120)
            Nr = nrp;
        nrp = Nr;
        const int16_t brp = kQLB[params.bc[j] & 3];
        int16_t* out = drp + 120 + 40 * j;
        // k - Nr < 0 always, so the whole subframe reads only earlier output;
        // the gain brp is a positive table value.
        for (int k = 0; k < 40; ++k)
            out[k] = Add(erp[k], MultRNoMin(brp, out[k - Nr]));
    }
    std::memcpy(m_drp, drp + 160, sizeof m_drp);
    m_nrp = nrp;
    const int16_t* wt = drp + 120;

    int16_t LARc[8];
    for (int i = 0; i < 8; ++i)
        LARc[i] = static_cast<int16_t>(params.LARc[i] & ((1 << kLARBits[i]) - 1));
    int16_t LARpp[8];
    DecodeLARs(LARc, LARpp);

    // The lattice state in named locals, unrolled by hand: as an array (or
    // a member) it goes through memory on every sample. A sample first runs
    // through the lattice in plain 32-bit arithmetic; only when some value
    // left 16 bits, where the standard's saturation acts, is it run again
    // from the same state with saturation at every step. Either way the bits
    // are the standard's, and the common case keeps saturation off the
    // lattice's long dependency chain.
    int32_t v0 = m_v[0], v1 = m_v[1], v2 = m_v[2], v3 = m_v[3], v4 = m_v[4], v5 = m_v[5], v6 = m_v[6], v7 = m_v[7],
            v8 = m_v[8];
    int16_t msr = m_msr;
    for (int seg = 0; seg < 4; ++seg) {
        // Reflection coefficients never reach -32768 (InterpolatedCoefficients
        // saturates their magnitude), so MultR's one special case cannot arise.
        int16_t rrp[8];
        InterpolatedCoefficients(seg, m_decLARpp, LARpp, rrp);
        const int32_t r0 = rrp[0], r1 = rrp[1], r2 = rrp[2], r3 = rrp[3], r4 = rrp[4], r5 = rrp[5], r6 = rrp[6],
                      r7 = rrp[7];
        for (int k = kSegmentStart[seg]; k < kSegmentStart[seg + 1]; ++k) {
            // Synthesis lattice, then de-emphasis, upscaling and truncation
            // back to 13 significant bits.
            int32_t sri = wt[k];
            sri = WrapSub(sri, WrapMultR(r7, v7));
            const int32_t n8 = WrapAdd(v7, WrapMultR(r7, sri));
            uint32_t outside = Outside16(sri) | Outside16(n8);
            sri = WrapSub(sri, WrapMultR(r6, v6));
            const int32_t n7 = WrapAdd(v6, WrapMultR(r6, sri));
            outside |= Outside16(sri) | Outside16(n7);
            sri = WrapSub(sri, WrapMultR(r5, v5));
            const int32_t n6 = WrapAdd(v5, WrapMultR(r5, sri));
            outside |= Outside16(sri) | Outside16(n6);
            sri = WrapSub(sri, WrapMultR(r4, v4));
            const int32_t n5 = WrapAdd(v4, WrapMultR(r4, sri));
            outside |= Outside16(sri) | Outside16(n5);
            sri = WrapSub(sri, WrapMultR(r3, v3));
            const int32_t n4 = WrapAdd(v3, WrapMultR(r3, sri));
            outside |= Outside16(sri) | Outside16(n4);
            sri = WrapSub(sri, WrapMultR(r2, v2));
            const int32_t n3 = WrapAdd(v2, WrapMultR(r2, sri));
            outside |= Outside16(sri) | Outside16(n3);
            sri = WrapSub(sri, WrapMultR(r1, v1));
            const int32_t n2 = WrapAdd(v1, WrapMultR(r1, sri));
            outside |= Outside16(sri) | Outside16(n2);
            sri = WrapSub(sri, WrapMultR(r0, v0));
            const int32_t n1 = WrapAdd(v0, WrapMultR(r0, sri));
            outside |= Outside16(sri) | Outside16(n1);
            if ((outside >> 16) == 0) [[likely]] {
                v8 = n8, v7 = n7, v6 = n6, v5 = n5, v4 = n4, v3 = n3, v2 = n2, v1 = n1, v0 = sri;
            } else {
                int16_t v[9] = { int16_t(v0), int16_t(v1), int16_t(v2), int16_t(v3), int16_t(v4), int16_t(v5),
                    int16_t(v6), int16_t(v7), int16_t(v8) };
                int16_t sat = wt[k];
                for (int i = 7; i >= 0; --i) {
                    sat = Sub(sat, MultRNoMin(rrp[i], v[i]));
                    v[i + 1] = Add(v[i], MultRNoMin(rrp[i], sat));
                }
                v[0] = sat;
                v0 = v[0], v1 = v[1], v2 = v[2], v3 = v[3], v4 = v[4], v5 = v[5], v6 = v[6], v7 = v[7], v8 = v[8];
            }
            msr = Add(static_cast<int16_t>(v0), MultRNoMin(msr, 28180));
            pSamples[k] = static_cast<int16_t>(Add(msr, msr) & 0xFFF8);
        }
    }
    m_v[0] = int16_t(v0), m_v[1] = int16_t(v1), m_v[2] = int16_t(v2), m_v[3] = int16_t(v3);
    m_v[4] = int16_t(v4), m_v[5] = int16_t(v5), m_v[6] = int16_t(v6), m_v[7] = int16_t(v7);
    m_v[8] = int16_t(v8);
    m_msr = msr;
    std::memcpy(m_decLARpp, LARpp, sizeof LARpp);
}

void LGSMFrame::EncodeFrame(const int16_t* pSamples, uint8_t* pFrame)
{
    Parameters params;
    EncodeNormal(pSamples, &params);
    PackFrame(params, pFrame);
}

bool LGSMFrame::DecodeFrame(const uint8_t* pFrame, int16_t* pSamples)
{
    Parameters params;
    if (!UnpackFrame(pFrame, &params)) {
        std::fill(pSamples, pSamples + kSamples, int16_t(0));
        return false;
    }
    DecodeNormal(params, pSamples);
    return true;
}

void LGSMFrame::EncodeWavBlock(const int16_t* pSamples, uint8_t* pBlock)
{
    Parameters first, second;
    EncodeNormal(pSamples, &first);
    EncodeNormal(pSamples + kSamples, &second);
    PackWavBlock(first, second, pBlock);
}

void LGSMFrame::DecodeWavBlock(const uint8_t* pBlock, int16_t* pSamples)
{
    Parameters first, second;
    UnpackWavBlock(pBlock, &first, &second);
    DecodeNormal(first, pSamples);
    DecodeNormal(second, pSamples + kSamples);
}

void LGSMFrame::PackFrame(const Parameters& params, uint8_t* pFrame)
{
    MsbWriter w(pFrame);
    w.Put(kSignature, 4);
    PutParameters(w, params);
    w.Flush();
}

bool LGSMFrame::UnpackFrame(const uint8_t* pFrame, Parameters* pOut)
{
    if ((pFrame[0] >> 4) != kSignature)
        return false;
    MsbReader r(pFrame);
    r.Get(4);
    GetParameters(r, pOut);
    return true;
}

void LGSMFrame::PackWavBlock(const Parameters& first, const Parameters& second, uint8_t* pBlock)
{
    LsbWriter w1(pBlock, 0);
    PutParameters(w1, first);
    w1.Flush();
    LsbWriter w2(pBlock, kFrameBits);
    PutParameters(w2, second);
    w2.Flush();
}

void LGSMFrame::UnpackWavBlock(const uint8_t* pBlock, Parameters* pFirst, Parameters* pSecond)
{
    LsbReader r1(pBlock, 0);
    GetParameters(r1, pFirst);
    LsbReader r2(pBlock, kFrameBits);
    GetParameters(r2, pSecond);
}

void LGSMFrame::UnpackWavFirst(const uint8_t* pBlock, Parameters* pFirst)
{
    LsbReader r(pBlock, 0);
    GetParameters(r, pFirst);
}
