#include "send/LDictationLoadDct.h"

#include "dictation/LDictation.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "send/LDctReader.h"
#include "send/LDictationSaveAsDct.h"
#include "sound/LPRSourceToSink.h"
#include "sound/files/LWaveFile.h"

#include <sys/stat.h>

namespace {

// Names tried for one attachment before giving up: "name.ext", "name (2).ext", ...
constexpr int kNameTries = 1000;
// What an attachment path may hold in the dictation's file.
constexpr size_t kMaxAttachmentPath = 254;

bool Stop(void* pContext)
{
    return static_cast<LProgressReporter*>(pContext)->Pump();
}

// Makes the folder and its parent private to the user; true when it exists.
bool MakePrivateFolder(const std::string& folder)
{
    for (const std::string& path : { _GetFolderFromPath(folder), folder })
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    return FileExists(folder);
}

// Opens the file and checks its header: 0, or 2 with the message given.
JobResult OpenChecked(LProgressReporter& progress, const std::string& path, LDctReader& reader, LDctHeader* pHeader)
{
    if (!reader.Open(path)) {
        progress.ErrorBox(tplprintf("Unable to open the file \"%s\" for reading.", path));
        return JobResult::kFailed;
    }
    switch (reader.ReadHeader(pHeader)) {
    case LDctReader::Result::Ok:
        break;
    case LDctReader::Result::BadVersion:
        progress.ErrorBox("The file you are attempting to load is an invalid version or corrupt. Upgrading "
                          "Tavrine Dictate may resolve the problem if a newer version is required.");
        return JobResult::kFailed;
    case LDctReader::Result::LengthMismatch:
        progress.ErrorBox("The file you are attempting to load is corrupt. (Length check failed)");
        return JobResult::kFailed;
    default:
        progress.ErrorBox(LDictationLoadDct::kCorrupt);
        return JobResult::kFailed;
    }
    if (pHeader->uFlags & kDctFlagEncrypted) {
        progress.ErrorBox(tplprintf("You cannot load encrypted dct files with \"%s\". To load encrypted files use "
                                    "Tavrine Scribe (with the correct encryption key)",
            "Tavrine Dictate"));
        return JobResult::kFailed;
    }
    if (pHeader->uFlags & kDctFlagCancelNotice) {
        progress.ErrorBox(LDictationLoadDct::CancelNoticeMessage(pHeader->uFileNumber, pHeader->uUserID));
        return JobResult::kFailed;
    }
    return JobResult::kDone;
}

} // namespace

const char* const LDictationLoadDct::kCorrupt = "The DCT file you are attempting to load is corrupt.";
const char* const LDictationLoadDct::kNotesTooLong
    = "The DCT file you are attempting to load is refused: its notes are longer than 1 MiB (1048576 bytes).";

std::string LDictationLoadDct::CancelNoticeMessage(uint32_t uFileNumber, uint32_t uUserID)
{
    return tplprintf("This file is a cancel notice for dictation %s of user %s, not a dictation",
        std::to_string(uFileNumber), std::to_string(uUserID));
}

std::string LDictationLoadDct::CheckAudio(const std::string& wav)
{
    // A WAV that ends before its data does is a damaged DCT, not a short dictation.
    LWaveFileInfo info;
    if (LWaveFile::ReadInfo(wav, &info) != 0 || info.bStreaming || info.nDataStart + info.nDataBytes > info.nFileSize
        || !LWaveFile::OpenSource(wav)->IsUsable())
        return kCorrupt;
    return {};
}

std::string LDictationLoadDct::AttachmentFileName(
    std::string_view name, uint32_t uFileNumber, std::string_view storedName)
{
    std::string base;
    if (!MakeValidFileName(name, &base))
        base = std::to_string(uFileNumber);
    const size_t dot = storedName.rfind('.');
    std::string ext;
    if (dot != std::string::npos && MakeValidFileName(storedName.substr(dot + 1), &ext))
        return base + "." + ext;
    return base;
}

std::string LDictationLoadDct::CreateNewFile(
    const std::string& folder, const std::string& fileName, size_t nMaxPath, LFile* pFile)
{
    const size_t dot = fileName.find('.');
    const std::string stem = fileName.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot);
    for (int n = 1; n <= kNameTries; ++n) {
        const std::string suffix = (n == 1 ? std::string() : " (" + std::to_string(n) + ")") + ext;
        const size_t nUsed = folder.size() + 1 + suffix.size();
        if (nUsed >= nMaxPath)
            return {};
        const std::string path = FilePathCat(folder, std::string(CutUtf8(stem, nMaxPath - nUsed)) + suffix);
        if (pFile->Open(path, LFile::kWrite, LFile::kShareNone, LFile::kCreateNew)) {
            // Attachments are as confidential as the dictation.
            ::fchmod(pFile->Fd(), 0600);
            return path;
        }
        if (pFile->LastError() != LFile::Error::Exists)
            return {};
    }
    return {};
}

JobResult LDictationLoadDct::LoadAsNew(
    LProgressReporter& progress, const std::string& path, const std::string& folder, uint32_t* pFileNumber)
{
    {
        LDctReader reader;
        LDctHeader header;
        if (OpenChecked(progress, path, reader, &header) != JobResult::kDone)
            return JobResult::kFailed;
    }
    LDictation dictation(folder, GetFileTitle(path));
    if (!dictation.IsValid()) {
        progress.ErrorBox(tplprintf("Unable to create a new dictation in \"%s\".", folder));
        return JobResult::kFailed;
    }
    const JobResult nResult = Process(progress, path, dictation);
    if (nResult != JobResult::kDone) {
        dictation.Delete();
        return nResult;
    }
    if (pFileNumber)
        *pFileNumber = dictation.GetFileNumber();
    return JobResult::kDone;
}

JobResult LDictationLoadDct::Process(LProgressReporter& progress, const std::string& path, LDictation& dictation)
{
    progress.SetText("Loading audio...", 0);
    progress.SetText(_GetFileFromPath(path), 1);
    LDctReader reader;
    LDctHeader header;
    if (OpenChecked(progress, path, reader, &header) != JobResult::kDone)
        return JobResult::kFailed;
    // The whole structure is checked before the dictation changes.
    LDctContents contents;
    if (const LDctReader::Result result = reader.ReadBody(header, nullptr, &contents);
        result != LDctReader::Result::Ok) {
        progress.ErrorBox(result == LDctReader::Result::NotesTooLong ? kNotesTooLong : kCorrupt);
        return JobResult::kFailed;
    }

    DictationHeader& h = dictation.MutableHeader();
    h.tCreated = h.tRecorded = contents.tCreated;
    dictation.SetName(contents.szName);
    dictation.SetPriority(contents.uPriority);
    if (!dictation.SetNotes(contents.notes) || !dictation.Save()) {
        progress.ErrorBox(tplprintf("Unable to save the dictation \"%s\".", dictation.GetPath()));
        return JobResult::kFailed;
    }
    progress.SetProgress(0.1);

    if (!contents.attachments.empty()) {
        const std::string folder = dictation.GetAttachmentFolder();
        if (!MakePrivateFolder(folder)) {
            progress.ErrorBox(tplprintf("Unable to create the folder \"%s\" for the attachments.", folder));
            return JobResult::kFailed;
        }
        for (const LDctAttachment& attachment : contents.attachments) {
            LFile out;
            const std::string file = CreateNewFile(folder,
                AttachmentFileName(dictation.GetName(), dictation.GetFileNumber(), attachment.szName),
                kMaxAttachmentPath, &out);
            if (file.empty()) {
                progress.ErrorBox(tplprintf("Unable to create an attachment file in \"%s\".", folder));
                return JobResult::kFailed;
            }
            const bool bCopied = reader.CopyPiece(attachment.data, nullptr, out, Stop, &progress);
            out.Close();
            if (!bCopied || !dictation.AddAttachment(file)) {
                DeleteFileAt(file);
                if (progress.Pump())
                    return JobResult::kStopped;
                progress.ErrorBox(tplprintf("Unable to write the attachment \"%s\".", file));
                return JobResult::kFailed;
            }
        }
    }

    const std::string wav = LTempFolder::CreateFile("tmp", ".wav");
    if (wav.empty()) {
        progress.ErrorBox("Unable to create a temporary file for the audio.");
        return JobResult::kFailed;
    }
    auto done = [&wav](JobResult nResult) {
        DeleteFileAt(wav);
        return nResult;
    };
    {
        LFile out;
        if (!out.Open(wav, LFile::kWrite, LFile::kShareNone, LFile::kCreateAlways)) {
            progress.ErrorBox(tplprintf("Unable to open file \"%s\" for writing.", wav));
            return done(JobResult::kFailed);
        }
        // The copy runs in blocks; progress goes from 0.1 to 0.9 with it.
        struct Context {
            LProgressReporter* pProgress;
            uint64_t nDone;
            uint64_t nTotal;
        } context { &progress, 0, contents.audio.nStored };
        auto stop = [](void* p) {
            auto* c = static_cast<Context*>(p);
            c->pProgress->SetProgress(0.1 + 0.8 * static_cast<double>(c->nDone) / std::max<uint64_t>(c->nTotal, 1));
            c->nDone += kDctBlockBytes;
            return c->pProgress->Pump();
        };
        if (!reader.CopyPiece(contents.audio, nullptr, out, stop, &context)) {
            if (progress.Pump())
                return done(JobResult::kStopped);
            progress.ErrorBox(kCorrupt);
            return done(JobResult::kFailed);
        }
    }
    if (const std::string refused = CheckAudio(wav); !refused.empty()) {
        progress.ErrorBox(refused);
        return done(JobResult::kFailed);
    }
    LSoundSourceRef source = LWaveFile::OpenSource(wav);
    // An empty dictation takes the audio's own format rather than converting it.
    if (dictation.GetCutList().Count() == 0 && source->SampleRate() >= 6000 && source->SampleRate() <= 196000
        && source->NumChannels() >= 1 && source->NumChannels() <= 2) {
        h.uSampleRate = static_cast<uint32_t>(source->SampleRate());
        h.uChannels = source->NumChannels();
    }
    LSoundSinkRef sink = dictation.OpenSink(kRecordAtEnd, false, 0);
    if (!sink) {
        progress.ErrorBox(tplprintf("Unable to record into the dictation \"%s\".", dictation.GetPath()));
        return done(JobResult::kFailed);
    }
    JobResult nResult = LPRSourceToSink::Process(progress, "Loading audio...", source, sink);
    sink.Reset();
    source.Reset();
    dictation.UpdateDuration();
    // The copy is no new recording: the dictation keeps the time it was made.
    h.tRecorded = contents.tCreated;
    if (!dictation.Save() && nResult == JobResult::kDone)
        nResult = JobResult::kFailed;
    if (nResult == JobResult::kFailed)
        progress.ErrorBox(tplprintf("Unable to load the audio into the dictation \"%s\".", dictation.GetPath()));
    return done(nResult);
}
