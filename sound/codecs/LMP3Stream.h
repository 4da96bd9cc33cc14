// The framing of an MP3 stream around LMP3Decoder: finding and accepting
// headers, VBR information frames ("Xing", "Info", "VBRI"), the length, reading
// by frames of the internal sample form, and seeking with the bit-reservoir
// refill. Owned by one thread; it drives its byte reader from that thread.
#pragma once

#include "sound/codecs/LMP3ByteReader.h"
#include "sound/codecs/LMP3Decoder.h"
#include "sound/codecs/MP3Header.h"

#include <cstdint>
#include <memory>
#include <vector>

class LMP3Stream {
public:
    // How far a header is searched for from where the search starts (after
    // any leading ID3v2 tags, which are skipped by their size).
    static constexpr uint64_t kMaxHeaderSearch = 65535;
    // Non-matching headers skipped in a row before decoding gives up.
    static constexpr unsigned kMaxForeignHeaders = 10;
    // Frames decoded and dropped before a seek target to refill the reservoir.
    static constexpr int64_t kSeekRefillFrames = 4;

    // The reader is not owned and must outlive the stream. The decoder uses
    // pDsp's kernels, or by default mp3::ChosenDspKernels().
    explicit LMP3Stream(LMP3ByteReader* pReader, const mp3::DspKernels* pDsp = nullptr);
    LMP3Stream(const LMP3Stream&) = delete;
    LMP3Stream& operator=(const LMP3Stream&) = delete;

    // Finds the first header, reads VBR information, indexes the frames and
    // sets the length. False when no acceptable header lies in the first
    // kMaxHeaderSearch bytes (after leading ID3v2 tags); the stream then
    // reads as silence of length 0.
    bool Open();

    const MP3Header& FirstHeader() const { return m_first; }
    int32_t SampleRate() const { return m_first.SampleRate(); }
    unsigned Channels() const { return m_first.Channels(); }
    unsigned SamplesPerFrame() const { return m_first.SamplesPerFrame(); }

    int64_t GetLength() const { return m_nLength; }
    int64_t GetPosition() const { return m_nPosition; }
    // Fills nFrames × Channels() samples; frames before 0, at or beyond the
    // length, or after the stream ended are zeros. The position always
    // advances by nFrames. A frame that cannot be decoded ends the stream and
    // shortens the length to the position reached.
    void Read(int32_t* pBuffer, int64_t nFrames);
    // Keeps nFrame as the position (even outside 0..length) and decodes from
    // the nearest point at or before it after refilling the reservoir.
    void Seek(int64_t nFrame);

    // Frame count from a VBR information frame; 0 when there is none.
    uint32_t VbrFrameCount() const { return m_nVbrFrames; }
    // True when every frame's offset is known (the header scan finished).
    bool IsIndexed() const { return m_bIndexed; }
    size_t IndexedFrames() const { return m_offsets.size(); }
    const LMP3Decoder& Decoder() const { return *m_pDecoder; }

private:
    // Bytes at an offset through the read buffer; null when fewer than nBytes remain.
    const uint8_t* Window(uint64_t nOffset, size_t nBytes);
    // The first header at or after nFrom that starts before nLimit.
    bool FindHeader(uint64_t nFrom, uint64_t nLimit, MP3Header* pHeader, uint64_t* pAt);
    // Where audio may start after leading ID3v2 tags; 0 without a valid tag.
    uint64_t SkipId3v2Tags();
    bool FindFirstHeader();
    bool FindFirstHeaderFrom(uint64_t nFrom);
    // The next header matching the first one at or after nFrom, with its
    // whole frame present, skipping up to kMaxForeignHeaders others.
    bool NextFrame(uint64_t nFrom, MP3Header* pHeader, uint64_t* pAt);
    void ReadVbrFrame();
    void Scan();
    void Estimate();
    // Decodes the frame at m_nNextPos into m_pcm; false ends the stream.
    bool DecodeNext();
    // Makes frame nFrame the one in m_pcm, refilling the reservoir first.
    bool Reposition(int64_t nFrame);

    LMP3ByteReader* m_pReader;
    std::unique_ptr<LMP3Decoder> m_pDecoder;
    std::vector<uint8_t> m_buffer;
    uint64_t m_nBufferStart = 0;
    size_t m_nBufferLength = 0;
    uint64_t m_nSize = 0;
    bool m_bReadError = false;

    bool m_bOpen = false;
    MP3Header m_first;
    uint64_t m_nFirstAt = 0;
    uint64_t m_nAudioStart = 0; // where the first audio frame is searched for
    uint32_t m_nVbrFrames = 0;
    double m_fAverageFrameBytes = 0.0;
    bool m_bIndexed = false;
    std::vector<uint64_t> m_offsets;

    int64_t m_nLength = 0;
    int64_t m_nPosition = 0;
    bool m_bEnded = false;
    int64_t m_nNextFrame = 0; // index of the frame DecodeNext reads
    uint64_t m_nNextPos = 0;
    int64_t m_nPcmFrame = -1; // index of the frame held in m_pcm
    std::vector<int32_t> m_pcm;
};
