// Transfer-file commands of tavrine-cli: save a dictation as a DCT or WAV
// file as the window's Save As does, load audio files and DCT files as new
// dictations (and send them) as the window's Load does, dock the files a
// portable recorder left in a folder as the window's dock does, and read
// a DCT file (decrypting it with the typist's key), so a typist on Linux or a
// support person can see what was sent.
#include "app/cli/CliDictationArgs.h"
#include "app/cli/CliSendQueue.h"
#include "app/cli/LCliCommand.h"
#include "app/cli/LTerminalProgress.h"
#include "app/transfer/LDockFiles.h"
#include "app/transfer/LLoadFile.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationKeys.h"
#include "foundation/LDateTime.h"
#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "send/LBlowFish.h"
#include "send/LDctReader.h"
#include "send/LDictationLoadDct.h"
#include "send/LDictationSaveAsDct.h"
#include "send/LDictationSaveAsWav.h"
#include "send/LDictationSend.h"
#include "send/LProcessListThread.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

int RunSaveAs(const std::vector<std::string>& args);
int RunLoad(const std::vector<std::string>& args);
int RunDct(const std::vector<std::string>& args);
int RunDock(const std::vector<std::string>& args);

const LCliCommand kSaveAs { "save-as", "save-as NUMBER OUT.dct|OUT.wav [--to RECIPIENT]", RunSaveAs };
const LCliCommand kLoad { "load",
    "load FILE... [--send]   each file as a new dictation (audio of any type the program reads or decodes, or a DCT "
    "file) and prints its number; --send queues it for the default recipient",
    RunLoad };
const LCliCommand kDct { "dct", "dct FILE [--key KEY] [--extract DIR]", RunDct };
LCliRegistrar regSaveAs(kSaveAs);
LCliRegistrar regLoad(kLoad);
const LCliCommand kDock { "dock",
    "dock --folder DIR [--only-new|--all] [--delete] [--send]   loads the audio files a portable recorder left in "
    "DIR and two levels of its subfolders as the window's dock does, printing each file and its dictation's number; "
    "--only-new (the stored choice when neither is given) loads only files newer than the last dock, --delete "
    "deletes each file once its dictation is saved, --send queues it for the default recipient",
    RunDock };
LCliRegistrar regDct(kDct);
LCliRegistrar regDock(kDock);

bool EndsWithNoCase(const std::string& text, std::string_view end)
{
    return text.size() >= end.size() && EqualsNoCase(std::string_view(text).substr(text.size() - end.size()), end);
}

// A recipient number as `recipients` shows it, in use.
std::optional<uint8_t> ParseRecipient(const std::string& text)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int n = std::stoi(text);
    if (n >= static_cast<int>(LDictationEngineSettings::kSendToCount)
        || !LDictationEngineSettings::IsSendToUsed(static_cast<uint8_t>(n)))
        return std::nullopt;
    return static_cast<uint8_t>(n);
}

int RunSaveAs(const std::vector<std::string>& args)
{
    std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split || split->words.size() != 2)
        return CliUsage(kSaveAs);
    unsigned uSendTo = LDictationSaveAsDct::kKeepRecipient;
    for (const auto& [name, value] : split->options) {
        if (name != "--to")
            return CliUsage(kSaveAs);
        std::optional<uint8_t> recipient = ParseRecipient(value);
        if (!recipient)
            return CliError(tplprintf("RECIPIENT must be the number of a recipient in use, not '%s'", value), 2);
        uSendTo = *recipient;
    }
    const std::string& target = split->words[1];
    const bool bDct = EndsWithNoCase(target, ".dct");
    if (!bDct && !EndsWithNoCase(target, ".wav"))
        return CliError("the file to save must end in .dct or .wav", 2);
    std::optional<LDictation> dictation;
    if (std::optional<CliFailure> failure = OpenCliDictation(split->words[0], true, &dictation))
        return CliError(failure->text, failure->status);
    LTerminalProgress progress;
    const JobResult nResult = bDct ? LDictationSaveAsDct::Process(progress, *dictation, target, uSendTo)
                                   : LDictationSaveAsWav::Process(progress, *dictation, target, uSendTo);
    progress.Finish();
    if (nResult == JobResult::kStopped)
        return CliError("stopped; nothing was saved");
    return nResult == JobResult::kDone ? 0 : 1;
}

// The import's host on a terminal: decoders run under the command's progress
// bar, messages go to stderr, and headerless files take their stored settings.
class CliImportHost : public LImportHost {
public:
    explicit CliImportHost(LTerminalProgress& progress)
        : m_progress(progress)
    {
    }
    JobResult RunProgress(const std::string&, const std::function<JobResult(LProgressReporter&)>& body) override
    {
        return body(m_progress);
    }
    void ShowError(const std::string& szText) override
    {
        std::string text = szText;
        for (size_t n; (n = text.find("\r\n")) != std::string::npos;)
            text.erase(n, 1);
        m_progress.ErrorBox(text);
    }

private:
    LTerminalProgress& m_progress;
};

// "Send" "Default" when it names a recipient in use.
std::optional<uint8_t> StoredDefault()
{
    const int nDefault = DictationKeys::kSendDefault.Get();
    if (nDefault < 0 || nDefault >= static_cast<int>(LDictationEngineSettings::kSendToCount)
        || !LDictationEngineSettings::IsSendToUsed(static_cast<uint8_t>(nDefault)))
        return std::nullopt;
    return static_cast<uint8_t>(nDefault);
}

constexpr const char* kNoDefault = "--send needs a default recipient (\"Send\" \"Default\"); 'tavrine-cli send "
                                   "NUMBER' without --to makes the first recipient the default";

int RunLoad(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    bool bSend = false;
    for (const std::string& arg : args) {
        if (arg == "--send")
            bSend = true;
        else if (arg.empty() || arg[0] == '-')
            return CliUsage(kLoad);
        else
            files.push_back(arg);
    }
    if (files.empty())
        return CliUsage(kLoad);
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    // Load and Send goes to "Send" "Default" only; without one nothing is loaded.
    const std::optional<uint8_t> uDefault = StoredDefault();
    if (bSend && !uDefault)
        return CliError(kNoDefault, 2);
    std::optional<LProcessListThread> queue;
    if (bSend)
        CliOpenQueue(queue.emplace(), engine.GetSentFolder());
    LTerminalProgress progress;
    CliImportHost host(progress);
    // One question and one message at most for the whole batch, as in the window.
    bool bAskUser = true;
    for (const std::string& path : files) {
        uint32_t uNumber = 0;
        const JobResult nResult = LoadFileAsNew(host, bAskUser, path, engine.GetCurrentFolder(), &uNumber);
        progress.Finish();
        if (nResult == JobResult::kStopped)
            return CliError(tplprintf("stopped; \"%s\" was not loaded", path));
        if (nResult != JobResult::kDone)
            return 1;
        std::printf("%u\n", uNumber);
        if (std::fflush(stdout) != 0)
            return CliError("cannot write to the standard output");
        if (!bSend)
            continue;
        LDictation dictation(FilePathCat(engine.GetCurrentFolder(), std::to_string(uNumber) + ".ddf"));
        const JobResult nSent = LDictationSend::Process(progress, dictation, *uDefault, *queue, 0);
        progress.Finish();
        if (nSent == JobResult::kStopped)
            return CliError(tplprintf("stopped; dictation %d was loaded but not sent", uNumber));
        if (nSent != JobResult::kDone)
            return 1;
    }
    return 0;
}

// The dock's loads and sends on a terminal: each file loaded is printed with
// its dictation's number as soon as it is in.
class CliDockHost : public LDockFileHost {
public:
    CliDockHost(LTerminalProgress& progress, const std::string& current, std::optional<uint8_t> uSendTo)
        : m_progress(progress)
        , m_host(progress)
        , m_current(current)
        , m_uSendTo(uSendTo)
    {
        if (uSendTo)
            CliOpenQueue(m_queue.emplace(), LDictationEngineSettings().GetSentFolder());
    }
    JobResult Load(const std::string& path, uint32_t* pNumber, bool* pbRefused) override
    {
        const JobResult nResult = LoadFileAsNew(m_host, m_bAskUser, path, m_current, pNumber, pbRefused);
        m_progress.Finish();
        return nResult;
    }
    bool Send(uint32_t uNumber) override
    {
        if (!m_queue)
            return false;
        LDictation dictation(FilePathCat(m_current, std::to_string(uNumber) + ".ddf"));
        const JobResult nSent = LDictationSend::Process(m_progress, dictation, *m_uSendTo, *m_queue, 0);
        m_progress.Finish();
        return nSent == JobResult::kDone;
    }
    void Loaded(const std::string& path, uint32_t uNumber) override
    {
        std::printf("%s\t%u\n", CliField(path).c_str(), uNumber);
        m_bOutputFailed |= std::fflush(stdout) != 0;
    }
    void DeleteFailed(const std::string& path) override
    {
        CliError(tplprintf("\"%s\" was loaded but could not be deleted", path));
    }
    bool m_bOutputFailed = false;

private:
    LTerminalProgress& m_progress;
    CliImportHost m_host;
    const std::string& m_current;
    std::optional<uint8_t> m_uSendTo;
    std::optional<LProcessListThread> m_queue;
    // One question and one message at most for the whole dock, as in the window.
    bool m_bAskUser = true;
};

int RunDock(const std::vector<std::string>& args)
{
    // The stored options, of which this run takes the only-new choice unless
    // told; deleting and sending only when asked.
    LDockFileOptions options = LDockFileOptions::Read();
    options.folder.clear();
    options.bDeleteFiles = false;
    options.bAutoSend = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--folder" && i + 1 < args.size() && !args[i + 1].empty())
            options.folder = args[++i];
        else if (arg == "--only-new" || arg == "--all")
            options.bOnlyNewFiles = arg == "--only-new";
        else if (arg == "--delete")
            options.bDeleteFiles = true;
        else if (arg == "--send")
            options.bAutoSend = true;
        else
            return CliUsage(kDock);
    }
    if (options.folder.empty())
        return CliUsage(kDock);
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    const std::optional<uint8_t> uDefault = StoredDefault();
    if (options.bAutoSend && !uDefault)
        return CliError(kNoDefault, 2);
    LTerminalProgress progress;
    const std::string current = engine.GetCurrentFolder();
    CliDockHost host(progress, current, options.bAutoSend ? uDefault : std::nullopt);
    const LDockFileResult result = DockFiles(host, options, current);
    if (result.bNoFolder)
        return CliError(tplprintf("\"%s\" is not a folder", options.folder));
    for (const std::string& path : result.refused)
        CliError(tplprintf("\"%s\" cannot be loaded; later docks pass it over. To clear this, delete it or move it "
                           "out of the folder",
            path));
    if (host.m_bOutputFailed)
        return CliError("cannot write to the standard output");
    if (result.bStopped)
        return CliError("stopped; the files not loaded are loaded by the next dock");
    return result.nFailed == 0 ? 0 : 1;
}

int RunDct(const std::vector<std::string>& args)
{
    std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split || split->words.size() != 1)
        return CliUsage(kDct);
    std::optional<std::string> key;
    std::optional<std::string> extract;
    for (const auto& [name, value] : split->options) {
        if (name == "--key" && !value.empty())
            key = value;
        else if (name == "--extract" && !value.empty())
            extract = value;
        else
            return CliUsage(kDct);
    }
    const std::string& path = split->words[0];
    LDctReader reader;
    if (!reader.Open(path))
        return CliError(tplprintf("Unable to open the file \"%s\" for reading.", path));
    LDctHeader header;
    switch (reader.ReadHeader(&header)) {
    case LDctReader::Result::Ok:
        break;
    case LDctReader::Result::BadVersion:
        return CliError(tplprintf("\"%s\" is a DCT file of version %d, newer than this program reads", path,
            static_cast<uint32_t>(header.uVersion)));
    case LDctReader::Result::LengthMismatch:
        return CliError(tplprintf("\"%s\" is corrupt: its header says %d bytes, the file has %d", path,
            header.uFileLength, static_cast<uint32_t>(reader.FileSize())));
    default:
        return CliError(tplprintf("\"%s\" is corrupt: it is shorter than a DCT header", path));
    }
    std::string out;
    const bool bEncrypted = (header.uFlags & kDctFlagEncrypted) != 0;
    out += tplprintf("Version: %d\nFile length: %d\nFlags: %d", static_cast<uint32_t>(header.uVersion),
        header.uFileLength, header.uFlags);
    out += (header.uFlags & kDctFlagCancelNotice) ? " (cancel-and-recover notice)" : "";
    out += bEncrypted ? " (encrypted)" : "";
    out += (header.uFlags & kDctFlagAttachments) ? " (attachments)" : "";
    out += tplprintf(
        "\nUser ID: %s\nFile number: %s\n", std::to_string(header.uUserID), std::to_string(header.uFileNumber));
    if (header.uFlags & kDctFlagCancelNotice) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        if (std::fflush(stdout) != 0)
            return CliError("cannot write to the standard output");
        return extract ? CliError(LDictationLoadDct::CancelNoticeMessage(header.uFileNumber, header.uUserID)) : 0;
    }
    LBlowFish cipher;
    if (key)
        cipher.SetKey(*key);
    LDctContents c;
    if (const LDctReader::Result result = reader.ReadBody(header, bEncrypted && key ? &cipher : nullptr, &c);
        result != LDctReader::Result::Ok)
        return CliError(result == LDctReader::Result::NotesTooLong
                ? std::string(LDictationLoadDct::kNotesTooLong)
                : tplprintf("\"%s\" is corrupt: a length in it runs past its end", path));
    if (bEncrypted && key && c.uKeyCheck != LBlowFish::KeyCheck(*key))
        return CliError("the key is not the one this file was encrypted with (its key check differs)");
    const bool bReadable = !bEncrypted || key.has_value();
    LDateTime created(c.tCreated);
    out += tplprintf("Created: %s %s\nName: %s\nUser name: %s\nUser e-mail: %s\n", created.Date(), created.Time(),
        CliPrintable(c.szName), CliPrintable(c.szUserName), CliPrintable(c.szUserEmail));
    static const char* const kDetails[]
        = { "Company", "Phone", "Cell", "Fax", "Address1", "Address2", "Address3", "Address4" };
    for (size_t i = 0; i < c.details.size(); ++i)
        out += tplprintf("%s: %s\n", kDetails[i], CliPrintable(c.details[i]));
    out += tplprintf("Priority: %s (%d)\n", PriorityText(c.uPriority), static_cast<uint32_t>(c.uPriority));
    out += bReadable
        ? tplprintf("Notes: %s\n", CliPrintable(c.notes))
        : tplprintf("Notes: %d bytes, encrypted (give --key to read them)\n", static_cast<uint32_t>(c.notes.size()));
    for (size_t i = 0; i < c.attachments.size(); ++i)
        out += tplprintf("Attachment %d: \"%s\", %d bytes\n", static_cast<uint32_t>(i + 1),
            CliPrintable(c.attachments[i].szName), c.attachments[i].data.nReal);
    out += tplprintf("Audio: %d bytes of WAV\n", c.audio.nReal);
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0)
        return CliError("cannot write to the standard output");
    if (!extract)
        return 0;
    if (!bReadable)
        return CliError("the file is encrypted: give --key to extract it");
    // The audio is judged as the loader judges it before anything is
    // written, so a torn WAV never lands in the folder.
    {
        const std::string wav = LTempFolder::CreateFile("extract", ".wav");
        LFile file;
        if (wav.empty() || !file.Open(wav, LFile::kWrite, LFile::kShareNone, LFile::kOpenExisting))
            return CliError("Unable to create a temporary file for the audio.");
        const bool bCopied = reader.CopyPiece(c.audio, bEncrypted ? &cipher : nullptr, file);
        file.Close();
        const std::string refused = bCopied ? LDictationLoadDct::CheckAudio(wav) : std::string();
        DeleteFileAt(wav);
        if (!bCopied)
            return CliError("Unable to copy the audio to a temporary file.");
        if (!refused.empty())
            return CliError(refused);
    }
    if (!CreateFolderTree(*extract))
        return CliError(tplprintf("cannot create the folder \"%s\"", *extract));
    auto write = [&](const std::string& name, const LDctPiece& piece) -> bool {
        LFile file;
        const std::string target = LDictationLoadDct::CreateNewFile(*extract, name, kMaxPath, &file);
        if (target.empty()) {
            CliError(tplprintf("cannot create a file for \"%s\" in \"%s\"", name, *extract));
            return false;
        }
        if (!reader.CopyPiece(piece, bEncrypted ? &cipher : nullptr, file)) {
            file.Close();
            DeleteFileAt(target);
            CliError(tplprintf("cannot write \"%s\"", target));
            return false;
        }
        std::printf("Extracted: %s\n", target.c_str());
        return true;
    };
    for (const LDctAttachment& attachment : c.attachments)
        if (!write(LDictationLoadDct::AttachmentFileName(c.szName, header.uFileNumber, attachment.szName),
                attachment.data))
            return 1;
    if (!write(LDictationLoadDct::AttachmentFileName(c.szName, header.uFileNumber, ".wav"), c.audio))
        return 1;
    return std::fflush(stdout) == 0 ? 0 : CliError("cannot write to the standard output");
}

} // namespace
