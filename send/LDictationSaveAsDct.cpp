#include "send/LDictationSaveAsDct.h"

#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationKeys.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSettings.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "send/LBlowFish.h"
#include "send/LDictationSaveAsWav.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace {

void PutU8(std::vector<uint8_t>& out, uint8_t v)
{
    out.push_back(v);
}

void PutU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One length byte, then at most 255 bytes of the text.
void PutShortString(std::vector<uint8_t>& out, std::string_view text)
{
    const size_t n = std::min<size_t>(text.size(), 255);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
}

size_t RoundUp8(size_t n)
{
    return (n + 7) & ~static_cast<size_t>(7);
}

// The bytes of a piece as stored: as they are, or zero-padded to whole
// blocks and encrypted.
void PutPiece(std::vector<uint8_t>& out, const uint8_t* pData, size_t nBytes, const LBlowFish& cipher)
{
    const size_t nStart = out.size();
    out.insert(out.end(), pData, pData + nBytes);
    if (cipher.HasKey()) {
        out.resize(nStart + RoundUp8(nBytes), 0);
        cipher.Encrypt(out.data() + nStart, out.size() - nStart);
    }
}

// The stored extension of an attachment: its last extension with the dot,
// empty when the name has none.
std::string AttachmentExtension(std::string_view path)
{
    std::string name = _GetFileFromPath(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// Writes and empties the buffer; false on a write error.
bool FlushTo(LFile& out, std::vector<uint8_t>& buffer)
{
    const bool bOk = buffer.empty() || out.Write(buffer.data(), buffer.size());
    buffer.clear();
    return bOk;
}

// Appends one attachment's entry: its extension, real size, then its data
// (padded and encrypted when a key is set). A file that cannot be opened
// gives size 0 and no data.
bool WriteAttachment(LFile& out, std::vector<uint8_t>& buffer, const std::string& path, const LBlowFish& cipher)
{
    PutShortString(buffer, AttachmentExtension(path));
    LFile in;
    uint64_t nSize = 0;
    if (!path.empty() && OpenFileRetry(in, path, LFile::kRead, LFile::kShareRead, 200, LFile::kOpenExisting))
        nSize = in.GetFileSizeBytes();
    // A size field holds 32 bits: a larger file cannot travel in a DCT.
    if (nSize > UINT32_MAX)
        nSize = 0;
    PutU32(buffer, static_cast<uint32_t>(nSize));
    if (!FlushTo(out, buffer))
        return false;
    std::vector<uint8_t> block(kDctBlockBytes);
    for (uint64_t nDone = 0; nDone < nSize;) {
        const size_t nWant = static_cast<size_t>(std::min<uint64_t>(kDctBlockBytes, nSize - nDone));
        const size_t nGot = in.Read(block.data(), nWant);
        // A file that shrank while read keeps the size given: zeros stand in.
        std::fill(block.begin() + static_cast<std::ptrdiff_t>(nGot), block.end(), 0);
        PutPiece(buffer, block.data(), nWant, cipher);
        if (!FlushTo(out, buffer))
            return false;
        nDone += nWant;
    }
    return true;
}

} // namespace

JobResult LDictationSaveAsDct::Process(
    LProgressReporter& progress, const LDictation& dictation, const std::string& target, unsigned uSendTo)
{
    const std::string name(dictation.GetName());
    progress.SetText("Saving Dictation Header...", 0);
    progress.SetText(name, 1);
    progress.SetProgress(0.0);
    if (dictation.GetNotes().size() > kDctMaxNotesBytes) {
        progress.ErrorBox(tplprintf("Unable to save \"%s\" as a DCT file: its notes are longer than 1 MiB (1048576 "
                                    "bytes), more than a DCT file may carry.",
            name));
        return JobResult::kFailed;
    }

    // Written beside the target and renamed over it when whole, so neither a
    // crash nor a failure leaves a torn file under the target's name.
    const std::string partial = CreatePartialFile(target);
    LFile out;
    if (partial.empty() || !out.Open(partial, LFile::kWrite, LFile::kShareNone, LFile::kOpenExisting)) {
        DeleteFileAt(partial);
        progress.ErrorBox(tplprintf("Unable to open file \"%s\" for writing.", target));
        return JobResult::kFailed;
    }
    std::string wav;
    auto fail = [&](JobResult nResult, bool bSay) {
        if (bSay)
            progress.ErrorBox(tplprintf("Unable to write the file \"%s\".", target));
        out.Close();
        DeleteFileAt(partial);
        if (!wav.empty())
            DeleteFileAt(wav);
        return nResult;
    };

    const uint8_t uRecipient = LDictationSaveAsWav::ResolveRecipient(dictation, uSendTo);
    std::string key;
    if (uRecipient != kNoRecipient) {
        // A file sealed afterwards needs no second, weaker cipher inside.
        const LRecipient recipient = LDictationEngineSettings::GetRecipient(uRecipient);
        if (recipient.sealTo.empty())
            key = recipient.encryptionKey;
    }
    LBlowFish cipher;
    cipher.SetKey(key);
    const bool bEncrypted = cipher.HasKey();
    const DictationHeader& h = dictation.Header();
    const uint8_t nAttachments = h.nAttachments;

    std::vector<uint8_t> buffer;
    PutU16(buffer, bEncrypted ? 2 : 0);
    PutU32(buffer, 0); // the file length, written last
    PutU32(buffer, (bEncrypted ? kDctFlagEncrypted : 0) | (nAttachments > 0 ? kDctFlagAttachments : 0));
    PutU32(buffer, h.uUserID);
    PutU32(buffer, h.uFileNumber);
    if (bEncrypted)
        PutU8(buffer, LBlowFish::KeyCheck(key));
    PutU32(buffer, h.tCreated);
    PutShortString(buffer, name);
    PutShortString(buffer, LDictationEngineSettings::GetUserName());
    PutShortString(buffer, LDictationEngineSettings::GetUserEmail());
    for (const char* szDetail : DictationKeys::kUserDetails)
        PutShortString(buffer, LDictationEngineSettings::GetUserDetail(szDetail));
    PutU8(buffer, h.uPriority);
    const std::string& notes = dictation.GetNotes();
    PutU32(buffer, static_cast<uint32_t>(notes.size()));
    PutPiece(buffer, reinterpret_cast<const uint8_t*>(notes.data()), notes.size(), cipher);
    if (nAttachments > 0) {
        PutU8(buffer, nAttachments);
        unsigned nDone = 0;
        for (const std::string& path : dictation.GetAttachments()) {
            if (nDone == nAttachments)
                break;
            if (!WriteAttachment(out, buffer, path, cipher))
                return fail(JobResult::kFailed, true);
            ++nDone;
        }
        // Entries the header counts but the list lacks travel empty.
        for (; nDone < nAttachments; ++nDone)
            if (!WriteAttachment(out, buffer, std::string(), cipher))
                return fail(JobResult::kFailed, true);
    }
    if (bEncrypted)
        PutU8(buffer, 1); // audio present
    if (!FlushTo(out, buffer))
        return fail(JobResult::kFailed, true);

    wav = LTempFolder::CreateFile("tmp", ".wav");
    if (wav.empty()) {
        progress.ErrorBox("Unable to create a temporary file for the audio.");
        return fail(JobResult::kFailed, false);
    }
    const JobResult nWav = LDictationSaveAsWav::Process(progress, dictation, wav, uRecipient);
    if (nWav != JobResult::kDone)
        return fail(nWav, false);

    progress.SetText("Packing DCT File...", 0);
    progress.SetText(name, 1);
    LFile in;
    if (!in.Open(wav, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting) || in.GetFileSizeBytes() > UINT32_MAX)
        return fail(JobResult::kFailed, true);
    const uint32_t nAudio = static_cast<uint32_t>(in.GetFileSizeBytes());
    if (bEncrypted) {
        PutU32(buffer, nAudio);
        if (!FlushTo(out, buffer))
            return fail(JobResult::kFailed, true);
    }
    const double fStep = static_cast<double>(kDctBlockBytes) / std::max<double>(nAudio, kDctBlockBytes);
    double fDone = 0.0;
    std::vector<uint8_t> block(kDctBlockBytes);
    for (uint32_t nDone = 0; nDone < nAudio;) {
        if (progress.Pump())
            return fail(JobResult::kStopped, false);
        const size_t nWant = std::min<size_t>(kDctBlockBytes, nAudio - nDone);
        if (in.Read(block.data(), nWant) != nWant)
            return fail(JobResult::kFailed, true);
        PutPiece(buffer, block.data(), nWant, cipher);
        if (!FlushTo(out, buffer))
            return fail(JobResult::kFailed, true);
        nDone += static_cast<uint32_t>(nWant);
        if (nWant == kDctBlockBytes) {
            fDone += fStep;
            progress.SetProgress(std::min(fDone, 1.0));
        }
    }
    in.Close();
    DeleteFileAt(wav);
    wav.clear();

    std::vector<uint8_t> length;
    PutU32(length, static_cast<uint32_t>(std::min<uint64_t>(out.Tell(), UINT32_MAX)));
    if (out.Tell() > UINT32_MAX || !out.Seek(2) || !out.Write(length.data(), length.size()))
        return fail(JobResult::kFailed, true);
    out.Close();
    if (!CommitPartialFile(partial, target))
        return fail(JobResult::kFailed, true);
    return JobResult::kDone;
}

bool LDictationSaveAsDct::WriteCancelNotice(const std::string& target, uint32_t uUserID, uint32_t uFileNumber)
{
    std::vector<uint8_t> notice;
    PutU16(notice, 0);
    PutU32(notice, kDctHeaderBytes);
    PutU32(notice, kDctFlagCancelNotice);
    PutU32(notice, uUserID);
    PutU32(notice, uFileNumber);
    return WriteFileAtomic(target, notice.data(), notice.size());
}
