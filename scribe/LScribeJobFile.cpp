#include "scribe/LScribeJobFile.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "scribe/LScribeKeys.h"
#include "send/LBlowFish.h"
#include "send/LDctReader.h"
#include "send/LDictationSaveAsDct.h"
#include "send/LSealedFile.h"
#include "sound/files/LSoundFileByName.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/stat.h>

namespace {

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool IsValidUtf8(std::string_view s)
{
    for (size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 0 : c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c < 0xF5 ? 3 : 9;
        if (n == 9 || i + n >= s.size())
            return false;
        for (size_t k = 1; k <= n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        }
        i += n + 1;
    }
    return true;
}

bool EndsWithNoCase(std::string_view s, std::string_view tail)
{
    return s.size() >= tail.size() && EqualsNoCase(s.substr(s.size() - tail.size()), tail);
}

// The first bytes of a WAV file, decrypted when need be, give its duration
// from the format's byte rate and the data chunk's size.
uint32_t WavDurationMs(const uint8_t* p, size_t n)
{
    if (n < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0)
        return 0;
    uint32_t avg = 0;
    for (size_t at = 12; at + 8 <= n;) {
        uint32_t size = Get32(p + at + 4);
        if (std::memcmp(p + at, "fmt ", 4) == 0 && at + 16 <= n && size >= 12)
            avg = Get32(p + at + 16);
        if (std::memcmp(p + at, "data", 4) == 0)
            return avg == 0 ? 0 : static_cast<uint32_t>(uint64_t(size) * 1000 / avg);
        uint64_t next = uint64_t(at) + 8 + size + (size & 1);
        if (next > n)
            break;
        at = static_cast<size_t>(next);
    }
    return 0;
}

// Reads the audio's first bytes as stored (whole blocks when encrypted).
bool StoredHead(const LDctPiece& audio, const std::string& path, std::vector<uint8_t>* pOut)
{
    LFile file;
    if (!OpenFileRetry(file, path, LFile::kRead, LFile::kShareRead, 200, LFile::kOpenExisting))
        return false;
    size_t n = static_cast<size_t>(std::min<uint64_t>(audio.nStored, 4096));
    pOut->assign(n, 0);
    return file.Seek(audio.nOffset) && file.Read(pOut->data(), n) == n;
}

// The same, decrypted with a cipher, cut to the audio's real length.
bool AudioHead(const std::string& path, const LDctPiece& audio, const LBlowFish* pCipher, std::vector<uint8_t>* pOut)
{
    if (!StoredHead(audio, path, pOut))
        return false;
    if (pCipher)
        pCipher->Decrypt(pOut->data(), pOut->size() & ~size_t(7));
    pOut->resize(std::min<size_t>(pOut->size(), audio.nReal));
    return true;
}

std::string ReaderText(LDctReader::Result r)
{
    switch (r) {
    case LDctReader::Result::Ok:
        break;
    case LDctReader::Result::ReadFailed:
        return "it is shorter than a DCT header or cannot be read";
    case LDctReader::Result::BadVersion:
        return "it is of a DCT version this program does not read";
    case LDctReader::Result::LengthMismatch:
        return "it is not whole (its size is not the length its header gives)";
    case LDctReader::Result::Corrupt:
        return "it is corrupt (a length runs past the end of the file)";
    case LDctReader::Result::NotesTooLong:
        return "its notes are longer than a DCT file may hold";
    }
    return std::string();
}

// Reads the whole structure, with the key given (or none).
LDctReader::Result ReadWith(const std::string& path, const LBlowFish* pCipher, LDctContents* pContents)
{
    LDctReader reader;
    if (!reader.Open(path))
        return LDctReader::Result::ReadFailed;
    LDctReader::Result r = reader.ReadHeader(&pContents->header);
    // A notice is its header alone.
    if (r != LDctReader::Result::Ok || (pContents->header.uFlags & kDctFlagCancelNotice))
        return r;
    LDctHeader header = pContents->header;
    return reader.ReadBody(header, pCipher, pContents);
}

// The key that opens an encrypted file: its check byte matches and its
// audio decrypts to a WAV header; null when none of the keys does. The head
// is read once, and only its first two blocks are decrypted per key tried,
// since listing a large inbox runs this for every file.
bool FindKey(const std::string& path, const LDctContents& contents, const LScribeKeys& keys, LBlowFish* pCipher,
    std::vector<uint8_t>* pHead = nullptr)
{
    std::vector<uint8_t> raw;
    for (const std::string& key : keys.Candidates(contents.header.uUserID, contents.uKeyCheck)) {
        if (raw.empty() && (!StoredHead(contents.audio, path, &raw) || raw.size() < 16))
            return false;
        const LBlowFish& cipher = keys.Cipher(key);
        uint8_t first[16];
        std::memcpy(first, raw.data(), sizeof first);
        cipher.Decrypt(first, sizeof first);
        if (std::memcmp(first, "RIFF", 4) != 0 || std::memcmp(first + 8, "WAVE", 4) != 0)
            continue;
        *pCipher = cipher;
        if (pHead) {
            // The format and data chunks lie near the start; the rest only when they do not.
            size_t n = std::min<size_t>(raw.size(), 256) & ~size_t(7);
            cipher.Decrypt(raw.data(), n);
            if (WavDurationMs(raw.data(), std::min<size_t>(n, contents.audio.nReal)) == 0)
                cipher.Decrypt(raw.data() + n, (raw.size() - n) & ~size_t(7));
            raw.resize(std::min<size_t>(raw.size(), contents.audio.nReal));
            *pHead = std::move(raw);
        }
        return true;
    }
    return false;
}

std::string NoKeyText(const LDctContents& c)
{
    return tplprintf("it is encrypted and none of the keys held for author %d opens it (key check %d); add "
                     "the author's key with 'scribe key add'",
        c.header.uUserID, uint32_t(c.uKeyCheck));
}

// A name for a file written into the typist's folder: the dictation's name
// cleaned, or "dictation".
std::string BaseName(const std::string& name)
{
    std::string base;
    if (!MakeValidFileName(name, &base))
        base = "dictation";
    return std::string(CutUtf8(base, 200));
}

bool WriteNew(const std::string& path, const void* p, size_t n, std::string* pWhy)
{
    LFile out;
    if (!out.Open(path, LFile::kWrite, LFile::kShareNone, LFile::kCreateNew, 0600) || !out.Write(p, n)) {
        *pWhy = tplprintf("cannot write \"%s\": %s", path, std::string(std::strerror(out.LastErrno())));
        if (out.IsOpen()) {
            out.Close();
            DeleteFileAt(path);
        }
        return false;
    }
    return true;
}

constexpr std::string_view kSealed = ".age";

bool IsSealedName(std::string_view name)
{
    return name.size() > kSealed.size() && EndsWithNoCase(name, kSealed);
}

// Opens a sealed job into a private folder; *pFolder is deleted by the caller.
bool OpenSealed(const std::string& path, std::string_view name, const LScribeKeys& keys, std::string* pFolder,
    std::string* pPlain, std::string* pWhy)
{
    if (keys.Identities().empty()) {
        *pWhy = "it is sealed and this typist has no key: " + keys.IdentityProblem();
        return false;
    }
    *pFolder = LTempFolder::CreateSubfolder("open");
    if (pFolder->empty()) {
        *pWhy = "no private temporary folder can be made";
        return false;
    }
    *pPlain = FilePathCat(*pFolder, std::string(name.substr(0, name.size() - kSealed.size())));
    switch (LSealedFile::Unseal(path, *pPlain, keys.Identities())) {
    case LSealedFile::Result::Ok:
        return true;
    case LSealedFile::Result::NoMatch:
        *pWhy = "it is sealed for other keys, not for this typist's; it is left as it is";
        break;
    case LSealedFile::Result::BadHeader:
    case LSealedFile::Result::HeaderChanged:
    case LSealedFile::Result::PayloadChanged:
    case LSealedFile::Result::Truncated:
        *pWhy = "it was changed or cut after it was sealed (its integrity check failed); nothing of it is used";
        break;
    default:
        *pWhy = "it cannot be opened as a sealed file";
        break;
    }
    DeleteFolderAndFiles(*pFolder, true);
    pFolder->clear();
    return false;
}

} // namespace

bool LScribeJobFile::IsSafeName(std::string_view name)
{
    if (name.empty() || name[0] == '.' || name.size() > 255 || !IsValidUtf8(name))
        return false;
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || c == '/')
            return false;
    }
    // C1 controls (U+0080 to U+009F) are two bytes C2 80 to C2 9F.
    for (size_t i = 0; i + 1 < name.size(); ++i) {
        if (static_cast<unsigned char>(name[i]) == 0xC2 && static_cast<unsigned char>(name[i + 1]) < 0xA0)
            return false;
    }
    return true;
}

bool LScribeJobFile::ParseCancelName(std::string_view name, uint32_t* pUserID, uint32_t* pFileNumber)
{
    if (name.size() < 10 || name.substr(0, 4) != "dcan" || !EndsWithNoCase(name, ".dct"))
        return false;
    std::string_view body = name.substr(4, name.size() - 8);
    size_t dash = body.find('-');
    if (dash == std::string_view::npos)
        return false;
    auto number = [](std::string_view s, uint32_t* p) {
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *p);
        return !s.empty() && ec == std::errc() && end == s.data() + s.size();
    };
    return number(body.substr(0, dash), pUserID) && number(body.substr(dash + 1), pFileNumber);
}

LScribeJobFile::NameKind LScribeJobFile::KindOfName(std::string_view name)
{
    if (!IsSafeName(name))
        return NameKind::None;
    uint32_t user = 0, number = 0;
    if (ParseCancelName(name, &user, &number))
        return NameKind::CancelNotice;
    // A sealed job is of the kind of the file inside.
    if (IsSealedName(name)) {
        const NameKind inner = KindOfName(name.substr(0, name.size() - kSealed.size()));
        return inner == NameKind::CancelNotice ? NameKind::None : inner;
    }
    if (EndsWithNoCase(name, ".dct") && name.size() > 4)
        return NameKind::Dct;
    std::string ext = GetFileExtension(name);
    if (ext.empty() || ext.size() == name.size())
        return NameKind::None;
    return LSoundFileByName::KindOf(std::string(name)) != LSoundFileKind::Unknown ? NameKind::Audio : NameKind::None;
}

bool LScribeJobFile::ReadDct(const std::string& path, const LScribeKeys& keys, LScribeJob* pJob, std::string* pWhy)
{
    LDctContents c;
    LDctReader reader;
    LDctReader::Result r = reader.Open(path) ? reader.ReadHeader(&c.header) : LDctReader::Result::ReadFailed;
    if (r == LDctReader::Result::Ok && !(c.header.uFlags & kDctFlagCancelNotice)) {
        const LDctHeader header = c.header;
        r = reader.ReadBody(header, nullptr, &c);
    }
    if (r != LDctReader::Result::Ok) {
        *pWhy = ReaderText(r);
        return false;
    }
    if (c.header.uFlags & kDctFlagCancelNotice) {
        *pWhy = "it is a cancel notice, not a dictation";
        return false;
    }
    pJob->kind = LScribeJobKind::Dct;
    pJob->bEncrypted = (c.header.uFlags & kDctFlagEncrypted) != 0;
    pJob->bKeyFound = !pJob->bEncrypted;
    LBlowFish cipher;
    std::vector<uint8_t> head;
    if (pJob->bEncrypted && FindKey(path, c, keys, &cipher, &head)) {
        pJob->bKeyFound = true;
        // The notes again, decrypted, from the file already open.
        const LDctHeader header = c.header;
        if (reader.ReadBody(header, &cipher, &c) != LDctReader::Result::Ok) {
            *pWhy = "it changed while it was read";
            return false;
        }
    }
    pJob->uUserID = c.header.uUserID;
    pJob->uFileNumber = c.header.uFileNumber;
    pJob->tCreated = c.tCreated;
    pJob->szName = c.szName;
    pJob->szUserName = c.szUserName;
    pJob->szUserEmail = c.szUserEmail;
    pJob->details = c.details;
    pJob->uPriority = c.uPriority;
    pJob->notes = pJob->bKeyFound ? c.notes : std::string();
    pJob->fields = LScribeJob::ParseFields(pJob->notes);
    pJob->attachments.clear();
    for (const LDctAttachment& a : c.attachments)
        pJob->attachments.push_back(a.szName);
    if (pJob->bKeyFound && (!head.empty() || AudioHead(path, c.audio, nullptr, &head)))
        pJob->nDurationMs = WavDurationMs(head.data(), head.size());
    return true;
}

bool LScribeJobFile::ReadJob(
    const std::string& path, std::string_view name, const LScribeKeys& keys, LScribeJob* pJob, std::string* pWhy)
{
    const NameKind kind = KindOfName(name);
    if (kind != NameKind::Dct && kind != NameKind::Audio) {
        *pWhy = "it is not a job";
        return false;
    }
    std::string folder, plain = path;
    if (IsSealedName(name) && !OpenSealed(path, name, keys, &folder, &plain, pWhy))
        return false;
    const bool bOk = kind == NameKind::Dct ? ReadDct(plain, keys, pJob, pWhy) : ReadAudio(plain, pJob, pWhy);
    pJob->bSealed = !folder.empty();
    if (!folder.empty())
        DeleteFolderAndFiles(folder, true);
    return bOk;
}

bool LScribeJobFile::ReadAudio(const std::string& path, LScribeJob* pJob, std::string* pWhy)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *pWhy = "it is not a regular file";
        return false;
    }
    pJob->kind = LScribeJobKind::Audio;
    pJob->szName = GetFileTitle(path);
    // The recipients' default name "%userid%-%filenumber% %filename% by
    // %username%" tells whose dictation it is, so a status can go back.
    std::string_view title = pJob->szName;
    uint32_t user = 0, number = 0;
    auto [userEnd, ec1] = std::from_chars(title.data(), title.data() + title.size(), user);
    if (ec1 == std::errc() && userEnd != title.data() && userEnd < title.data() + title.size() && *userEnd == '-') {
        auto [numberEnd, ec2] = std::from_chars(userEnd + 1, title.data() + title.size(), number);
        if (ec2 == std::errc() && numberEnd != userEnd + 1 && numberEnd < title.data() + title.size()
            && *numberEnd == ' ' && number != 0) {
            std::string_view rest(numberEnd + 1, title.data() + title.size() - numberEnd - 1);
            size_t by = rest.rfind(" by ");
            pJob->uUserID = user;
            pJob->uFileNumber = number;
            pJob->szName = std::string(by == std::string_view::npos ? rest : rest.substr(0, by));
        }
    }
    pJob->tCreated = static_cast<uint32_t>(st.st_mtime);
    pJob->bKeyFound = true;
    if (LSoundFileByName::KindOf(path) == LSoundFileKind::Wave) {
        LDctPiece whole;
        whole.nStored = static_cast<uint64_t>(st.st_size);
        whole.nReal = static_cast<uint32_t>(std::min<uint64_t>(whole.nStored, 4096));
        std::vector<uint8_t> head;
        if (AudioHead(path, whole, nullptr, &head))
            pJob->nDurationMs = WavDurationMs(head.data(), head.size());
    }
    return true;
}

bool LScribeJobFile::Extract(const std::string& path, const LScribeJob& job, const LScribeKeys& keys,
    const std::string& folder, std::vector<std::string>* pWritten, std::string* pWhy)
{
    if (job.bSealed) {
        std::string opened, plain;
        if (!OpenSealed(path, job.szFileName, keys, &opened, &plain, pWhy))
            return false;
        LScribeJob inner = job;
        inner.bSealed = false;
        const bool bOk = Extract(plain, inner, keys, folder, pWritten, pWhy);
        DeleteFolderAndFiles(opened, true);
        return bOk;
    }
    std::string base = BaseName(job.szName);
    if (job.kind == LScribeJobKind::Audio) {
        std::string ext = GetFileExtension(path);
        std::string target = FilePathCat(folder, base + ext);
        LFile in;
        if (!OpenFileRetry(in, path, LFile::kRead, LFile::kShareRead, 200, LFile::kOpenExisting)) {
            *pWhy = tplprintf("cannot read \"%s\"", path);
            return false;
        }
        LFile out;
        if (!out.Open(target, LFile::kWrite, LFile::kShareNone, LFile::kCreateNew, 0600)) {
            *pWhy = tplprintf("cannot write \"%s\": %s", target, std::string(std::strerror(out.LastErrno())));
            return false;
        }
        std::vector<uint8_t> buf(65536);
        for (;;) {
            size_t n = in.Read(buf.data(), buf.size());
            if (n == 0)
                break;
            if (!out.Write(buf.data(), n)) {
                out.Close();
                DeleteFileAt(target);
                *pWhy = tplprintf("cannot write \"%s\"", target);
                return false;
            }
        }
        pWritten->push_back(target);
        return true;
    }

    LDctContents c;
    LDctReader::Result r = ReadWith(path, nullptr, &c);
    if (r != LDctReader::Result::Ok) {
        *pWhy = ReaderText(r);
        return false;
    }
    LBlowFish cipher;
    bool encrypted = (c.header.uFlags & kDctFlagEncrypted) != 0;
    if (encrypted) {
        if (!FindKey(path, c, keys, &cipher)) {
            *pWhy = NoKeyText(c);
            return false;
        }
        if (ReadWith(path, &cipher, &c) != LDctReader::Result::Ok) {
            *pWhy = "it changed while it was read";
            return false;
        }
    }
    LDctReader reader;
    LDctHeader header;
    if (!reader.Open(path) || reader.ReadHeader(&header) != LDctReader::Result::Ok) {
        *pWhy = "it cannot be read";
        return false;
    }
    auto copyPiece = [&](const LDctPiece& piece, const std::string& target) {
        LFile out;
        if (!out.Open(target, LFile::kWrite, LFile::kShareNone, LFile::kCreateNew, 0600)) {
            *pWhy = tplprintf("cannot write \"%s\": %s", target, std::string(std::strerror(out.LastErrno())));
            return false;
        }
        if (!reader.CopyPiece(piece, encrypted ? &cipher : nullptr, out)) {
            out.Close();
            DeleteFileAt(target);
            *pWhy = tplprintf("cannot copy into \"%s\"", target);
            return false;
        }
        pWritten->push_back(target);
        return true;
    };
    std::string wav = FilePathCat(folder, base + ".wav");
    if (!copyPiece(c.audio, wav))
        return false;
    std::string notes = FilePathCat(folder, base + ".txt");
    if (!WriteNew(notes, c.notes.data(), c.notes.size(), pWhy))
        return false;
    pWritten->push_back(notes);
    for (size_t i = 0; i < c.attachments.size(); ++i) {
        // The stored text is an extension (".doc") in every file written so
        // far; only letters and digits of it are kept, so it names no path.
        std::string ext;
        for (char ch : c.attachments[i].szName) {
            if (((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) && ext.size() < 16)
                ext += ch;
        }
        std::string name = tplprintf("%s attachment %d", base, uint32_t(i + 1)) + (ext.empty() ? "" : "." + ext);
        if (!copyPiece(c.attachments[i].data, FilePathCat(folder, name)))
            return false;
    }
    return true;
}
