#include "app/desktop/commands/LTransferCommands.h"

#include "app/desktop/commands/LTransferKeys.h"
#include "app/desktop/dialogs/SendToDlg.h"
#include "app/desktop/session/LSession.h"
#include "app/shared/prompts/LCommandProgress.h"
#include "app/transfer/LLoadFile.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationKeys.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProcessRunner.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "import/LDictationLoadSource.h"
#include "import/LGenSourceOpen.h"
#include "send/LDictationSaveAsDct.h"
#include "send/LDictationSaveAsWav.h"
#include "send/LDictationSend.h"
#include "send/LLaunchApplication.h"

#include <QActionGroup>
#include <QCursor>
#include <QMenu>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

using Id = LCommandId;
using Engine = LDictationEngineSettings;
namespace Keys = TransferKeys;

const QString kCaption = QStringLiteral("Tavrine Dictate");

// An editor that hands the file to a copy of itself already running ends
// this soon.
constexpr auto kAtOnce = std::chrono::seconds(3);

bool EndsWithNoCase(const std::string& text, std::string_view end)
{
    return text.size() >= end.size() && EqualsNoCase(std::string_view(text).substr(text.size() - end.size()), end);
}

// "Wave Files (*.wav)" with patterns "*.WAV" becomes "Wave Files (*.wav)
// (*.wav *.WAV)": the chooser matches names case by case.
std::string Filter(const char* szName, std::initializer_list<const char*> patterns)
{
    std::string both;
    for (const char* szPattern : patterns) {
        std::string upper = szPattern;
        std::string lower = upper;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        both += (both.empty() ? "" : " ") + lower + " " + upper;
    }
    return tplprintf("%s (%s)", szName, both);
}

QStringList ToQt(const std::vector<std::string>& texts)
{
    QStringList out;
    for (const std::string& text : texts)
        out << QString::fromStdString(text);
    return out;
}

// What tells an edited file from the one handed over: size, modification
// time to the nanosecond and the content, since an editor may save within
// the file system's time resolution or restore the time.
struct FileState {
    bool bRead = false;
    off_t nSize = 0;
    timespec mtime {};
    uint64_t uHash = 0;

    static FileState Of(const std::string& path)
    {
        FileState state;
        struct stat st { };
        if (::stat(path.c_str(), &st) != 0)
            return state;
        state.nSize = st.st_size;
        state.mtime = st.st_mtim;
        std::FILE* pFile = std::fopen(path.c_str(), "rb");
        if (!pFile)
            return state;
        // FNV-1a over the whole file.
        uint64_t uHash = 14695981039346656037ull;
        unsigned char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pFile)) > 0;)
            for (size_t i = 0; i < n; ++i)
                uHash = (uHash ^ buffer[i]) * 1099511628211ull;
        state.bRead = !std::ferror(pFile);
        std::fclose(pFile);
        state.uHash = uHash;
        return state;
    }
    bool operator==(const FileState& o) const
    {
        return bRead == o.bRead && nSize == o.nSize && mtime.tv_sec == o.mtime.tv_sec
            && mtime.tv_nsec == o.mtime.tv_nsec && uHash == o.uHash;
    }
};

LCommandId ShowPopup(QWidget* pParent, const std::vector<LCommandRouter::PopupItem>& items)
{
    QMenu menu(pParent);
    auto* pGroup = new QActionGroup(&menu);
    for (size_t i = 0; i < items.size(); ++i) {
        const LCommandRouter::PopupItem& item = items[i];
        if (item.kind == LCommandRouter::PopupItem::Kind::Separator) {
            menu.addSeparator();
            continue;
        }
        QAction* pAction = menu.addAction(QString::fromStdString(item.text));
        // Shown only: the main menu's item holds the shortcut.
        if (!item.key.empty())
            pAction->setShortcut(QKeySequence(QString::fromStdString(item.key)));
        pAction->setShortcutContext(Qt::WidgetShortcut);
        pAction->setShortcutVisibleInContextMenu(true);
        pAction->setEnabled(item.bEnabled);
        pAction->setData(QVariant::fromValue(i));
        if (item.kind == LCommandRouter::PopupItem::Kind::Radio) {
            pAction->setCheckable(true);
            pAction->setChecked(item.bChecked);
            pGroup->addAction(pAction);
        }
    }
    QAction* pChosen = menu.exec(QCursor::pos());
    return pChosen ? items[pChosen->data().value<size_t>()].id : Id::kSetNoAction;
}

} // namespace

LTransferCommands::LTransferCommands(LSession& session, LUserPrompts& prompts, LProcessListThread* pQueue)
    : m_session(session)
    , m_prompts(prompts)
    , m_pQueue(pQueue)
    , m_popup(ShowPopup)
{
}

void LTransferCommands::RegisterCommands(LCommandRouter& router)
{
    m_pRouter = &router;
    auto add = [&router](Id id, std::function<bool()> run, std::function<bool()> enabled, bool bNeedsSelection) {
        LCommandRouter::Handler handler;
        handler.trigger = std::move(run);
        handler.enabled = std::move(enabled);
        handler.bNeedsSelection = bNeedsSelection;
        router.Register(id, std::move(handler));
    };
    auto canSend = [this] { return m_pQueue && !m_session.Selection().empty(); };
    auto current = [this] { return m_session.Current() != nullptr; };
    for (Id id : { Id::kSend, Id::kToolSend, Id::kSetSend })
        add(
            id, [this] { return CmSendFile(); }, canSend, true);
    LCommandRouter::Handler sendTo;
    sendTo.trigger = [this] { return CmSendFileSelected(); };
    sendTo.enabled = canSend;
    sendTo.bNeedsSelection = true;
    sendTo.popup = [this] { return SendToMenu(); };
    router.Register(Id::kSendTo, sendTo);
    for (unsigned n = 0; n < Engine::kSendToCount; ++n) {
        const auto uSendTo = static_cast<uint8_t>(n);
        add(
            SendToCommand(n), [this, uSendTo] { return SendToRecipient(uSendTo); },
            [canSend, uSendTo] { return canSend() && Engine::IsSendToUsed(uSendTo); }, true);
    }
    add(
        Id::kSendNewRecipient, [this] { return CmSendNewRecipient(); }, canSend, true);
    add(
        Id::kSaveAs, [this] { return CmSaveAs(); }, current, true);
    add(
        Id::kLoadAudio, [this] { return CmLoadAudioFile(false); }, [this] { return m_session.Engine().IsUsable(); },
        false);
    add(
        Id::kLoadAndSendAudio, [this] { return CmLoadAudioFile(true); },
        [this] { return m_pQueue && m_session.Engine().IsUsable(); }, false);
    add(
        Id::kEditExternal, [this] { return CmEdit(); }, current, true);
    add(
        Id::kViewSentWork, [this] { return CmSentWork(false); }, [this] { return bool(m_sentWork); }, false);
    add(
        Id::kRecoverSent, [this] { return CmSentWork(true); }, [this] { return bool(m_sentWork); }, false);
}

void LTransferCommands::StopTransport()
{
    if (m_stop)
        m_stop();
}

void LTransferCommands::NoRecipient()
{
    m_prompts.box(m_pParent, LUserPrompts::Box::Warning, kCaption,
        QStringLiteral("No recipient is set up to send dictations to. Add one with \"Send to New...\" on "
                       "the menu of the Send button, then load the files again."));
}

bool LTransferCommands::CmSendFile()
{
    if (std::optional<uint8_t> uDefault = DefaultRecipient())
        return SendToRecipient(*uDefault);
    return CmSendNewRecipient();
}

bool LTransferCommands::CmSendNewRecipient()
{
    StopTransport();
    const uint8_t uSendTo = Engine::GetNextFreeSendToNumber();
    return MakeNewRecipient() && SendToRecipient(uSendTo);
}

bool LTransferCommands::MakeNewRecipient()
{
    const uint8_t uSendTo = Engine::GetNextFreeSendToNumber();
    if (uSendTo == kNoRecipient)
        return false;
    SendToDlg properties(uSendTo, m_prompts, m_pParent);
    return m_prompts.exec(properties) == QDialog::Accepted;
}

JobResult LTransferCommands::SendOne(int nId, uint8_t uSendTo, const char* szTitle)
{
    return RunInProgress(m_pParent, m_prompts, szTitle, [&](LProgressReporter& progress) {
        // Looked up inside: the dialog before it ran other events.
        LDictation* pDictation = m_session.Find(nId);
        return pDictation ? LDictationSend::Process(progress, *pDictation, uSendTo, *m_pQueue) : JobResult::kFailed;
    });
}

bool LTransferCommands::SendToRecipient(uint8_t uSendTo)
{
    StopTransport();
    m_session.FlushEdits();
    if (!m_pQueue || !Engine::IsSendToUsed(uSendTo))
        return false;
    const std::vector<int> ids = m_session.Selection();
    bool bAll = !ids.empty();
    m_session.HoldQueueReports(true);
    for (int nId : ids) {
        if (SendOne(nId, uSendTo, "Sending") != JobResult::kDone) {
            bAll = false;
            break;
        }
    }
    // Read again from the Current folder: what was sent has left it; the one
    // that failed and those not yet sent are still there.
    m_session.Rebuild();
    m_session.HoldQueueReports(false);
    return bAll;
}

std::vector<LCommandRouter::PopupItem> LTransferCommands::SendToMenu() const
{
    using Item = LCommandRouter::PopupItem;
    std::vector<Item> items;
    const int nDefault = DictationKeys::kSendDefault.Get();
    for (Engine::SendToIterator it; it.IsValid(); it.Next()) {
        const uint8_t n = it.GetSendTo();
        std::string method;
        Engine::GetSendToDisplayText(n, &method);
        // A name is shown as it is: an ampersand is not a mnemonic.
        std::string name = Engine::GetSendToName(n);
        for (size_t i = 0; (i = name.find('&', i)) != std::string::npos; i += 2)
            name.insert(i, 1, '&');
        items.push_back({ Item::Kind::Radio, SendToCommand(n), tplprintf("Send to %s - %s", name, method),
            nDefault == static_cast<int>(n) });
    }
    if (!items.empty())
        items.push_back({ Item::Kind::Separator, Id::kSetNoAction, {}, false });
    items.push_back({ Item::Kind::Item, Id::kSend, "&Send to Default", false });
    items.push_back({ Item::Kind::Item, Id::kSendNewRecipient, "Send to &New...", false });
    return items;
}

LCommandId LTransferCommands::RunPopup(std::vector<LCommandRouter::PopupItem> items)
{
    for (LCommandRouter::PopupItem& item : items) {
        item.bEnabled = m_pRouter && m_pRouter->IsEnabled(item.id);
        item.key = m_pRouter ? m_pRouter->KeyName(item.id) : std::string();
    }
    return m_popup ? m_popup(m_pParent, items) : Id::kSetNoAction;
}

bool LTransferCommands::CmSendFileSelected()
{
    const LCommandId chosen = RunPopup(SendToMenu());
    return chosen != Id::kSetNoAction && m_pRouter && m_pRouter->Trigger(chosen);
}

bool LTransferCommands::CmSaveAs()
{
    StopTransport();
    m_session.FlushEdits();
    LDictation* pDictation = m_session.Current();
    if (!pDictation)
        return false;
    const int nId = pDictation->nListIndex;
    const QStringList filters = { QString::fromStdString(Filter("Dictation Files", { "*.DCT" })),
        QString::fromStdString(Filter("Wave Files", { "*.WAV" })) };
    std::string path;
    for (;;) {
        const std::string folder = Keys::kSaveFolder.Get();
        path = m_prompts
                   .chooseSaveFile(m_pParent, QStringLiteral("Save File As"), QString::fromStdString(folder), filters,
                       QStringLiteral("dct"))
                   .toStdString();
        if (path.empty())
            return false;
        Keys::kSaveFolder.Set(_GetFolderFromPath(path));
        if (!FileExists(path))
            break;
        const LUserPrompts::Answer answer = m_prompts.askYesNoCancel(m_pParent, kCaption,
            QStringLiteral("Another file with the same name already exists. Do you want to replace it?"));
        if (answer == LUserPrompts::Answer::Yes)
            break;
        if (answer == LUserPrompts::Answer::Cancel)
            return false;
    }
    const bool bWav = EndsWithNoCase(path, ".wav");
    if (!bWav && !EndsWithNoCase(path, ".dct")) {
        // Saving nothing without a word would look like a save.
        m_prompts.box(m_pParent, LUserPrompts::Box::Error, kCaption,
            QString::fromStdString(tplprintf(
                "\"%s\" was not saved: a dictation is saved as a DCT file (.dct) or a WAV file (.wav).", path)));
        return false;
    }
    return RunInProgress(m_pParent, m_prompts, "Saving Dictation", [&](LProgressReporter& progress) {
        LDictation* p = m_session.Find(nId);
        if (!p)
            return JobResult::kFailed;
        return bWav ? LDictationSaveAsWav::Process(progress, *p, path)
                    : LDictationSaveAsDct::Process(progress, *p, path);
    }) == JobResult::kDone;
}

std::vector<std::string> LTransferCommands::LoadFilters()
{
    return {
        "All Files (*)",
        Filter("Audio Files",
            { "*.WAV", "*.MP3", "*.OGG", "*.WMA", "*.AIF", "*.AIFF", "*.AU", "*.RA", "*.RAM", "*.FLAC", "*.AAC",
                "*.GSM", "*.VOX", "*.RAW", "*.DSS", "*.DCT", "*.M4A", "*.MP2", "*.SRI", "*.MPGA", "*.MSV", "*.DVF" }),
        Filter("Wave Files (*.wav)", { "*.WAV" }),
        Filter("MPEG Layer-3 Files (*.mp3, *.mp2, *.mpga)", { "*.MP3", "*.MP2", "*.MPGA" }),
        Filter("Ogg Vorbis Files (*.ogg)", { "*.OGG" }),
        Filter("Windows Media Audio Files (*.wma)", { "*.WMA" }),
        Filter("Apple AIFF Files (*.aif, *.aiff)", { "*.AIF", "*.AIFF" }),
        Filter("Sun AU Files (*.au)", { "*.AU" }),
        Filter("Real Audio Files (*.ra, *.ram)", { "*.RA", "*.RAM" }),
        Filter("FLAC Files (*.flac)", { "*.FLAC" }),
        Filter("AAC Files (*.aac, *.m4a)", { "*.AAC", "*.M4A" }),
        Filter("GSM Files (*.gsm)", { "*.GSM" }),
        Filter("Dialogic Vox Files (*.vox)", { "*.VOX" }),
        Filter("Raw Audio Files (*.raw)", { "*.RAW" }),
        Filter("DSS Files (*.dss)", { "*.DSS" }),
        Filter("VoiceIt Files (*.sri)", { "*.SRI" }),
        Filter("Dictation Files (*.dct)", { "*.DCT" }),
    };
}

bool LTransferCommands::CmLoadAudioFile(bool bSend)
{
    StopTransport();
    m_session.FlushEdits();
    if (bSend && (!m_pQueue || !DefaultRecipient())) {
        NoRecipient();
        return false;
    }
    const QStringList files = m_prompts.chooseFilesOf(m_pParent,
        bSend ? QStringLiteral("Load and Send File(s)") : QStringLiteral("Load File(s)"),
        QString::fromStdString(Keys::kLoadFolder.Get()), ToQt(LoadFilters()));
    if (files.isEmpty())
        return false;
    Keys::kLoadFolder.Set(_GetFolderFromPath(files.front().toStdString()));
    // One question and one message at most for the whole batch.
    bool bAskUser = true;
    for (const QString& file : files)
        if (!LoadOneFile(file.toStdString(), bSend, bAskUser))
            return false;
    return true;
}

bool LTransferCommands::LoadOneFile(const std::string& path, bool bSend, bool& bAskUser)
{
    const bool bSendNow = bSend && m_pQueue && DefaultRecipient();
    uint32_t uNumber = 0;
    int nId = -1;
    if (LoadAndList(path, !bSendNow, bAskUser, &uNumber, &nId) != JobResult::kDone)
        return false;
    return !bSendNow || SendListed(nId);
}

JobResult LTransferCommands::LoadAndList(
    const std::string& path, bool bSelect, bool& bAskUser, uint32_t* pNumber, int* pId, bool* pbRefused)
{
    const std::string folder = m_session.Engine().GetCurrentFolder();
    LCommandImportHost host(m_pParent, m_prompts);
    uint32_t uNumber = 0;
    if (const JobResult nResult = LoadFileAsNew(host, bAskUser, path, folder, &uNumber, pbRefused);
        nResult != JobResult::kDone) {
        m_session.Rebuild();
        return nResult;
    }
    auto pLoaded = std::make_unique<LDictation>(FilePathCat(folder, std::to_string(uNumber) + ".ddf"));
    if (!pLoaded->IsValid()) {
        m_session.Rebuild();
        return JobResult::kFailed;
    }
    LDictation* pRaw = pLoaded.get();
    if (!m_session.AddReturned(pLoaded, bSelect))
        return JobResult::kFailed;
    *pNumber = uNumber;
    *pId = pRaw->nListIndex;
    return JobResult::kDone;
}

bool LTransferCommands::SendListed(int nId)
{
    std::optional<uint8_t> uSendTo = m_pQueue ? DefaultRecipient() : std::nullopt;
    if (!uSendTo)
        return false;
    m_session.HoldQueueReports(true);
    const bool bSent = SendOne(nId, *uSendTo, "Sending Dictation") == JobResult::kDone;
    // A sent dictation has left the Current folder; one that could not be
    // sent stays in the list.
    m_session.Rebuild();
    m_session.HoldQueueReports(false);
    return bSent;
}

std::string LTransferCommands::AudioEditor()
{
    std::string program = Keys::kAudioEditor.Get();
    if (program.empty() && !LProcessRunner::FindProgram("audacity").empty())
        program = "audacity";
    return program;
}

bool LTransferCommands::CmEdit()
{
    StopTransport();
    m_session.FlushEdits();
    LDictation* pDictation = m_session.Current();
    if (!pDictation)
        return false;
    const int nId = pDictation->nListIndex;
    const std::string name(pDictation->GetName());
    const std::string editor = AudioEditor();
    if (editor.empty()) {
        m_prompts.box(m_pParent, LUserPrompts::Box::Warning, kCaption,
            QStringLiteral("No audio editor is set up. Choose the program that opens a WAV file given as its one "
                           "argument, for example:\n\ntavrine-cli settings set Settings AudioEditor audacity"));
        return false;
    }
    // In the process's own folder: the audio is as confidential as the dictation.
    const std::string path = LTempFolder::CreateFile("edit-", ".wav");
    if (path.empty()) {
        m_prompts.box(m_pParent, LUserPrompts::Box::Error, kCaption,
            QStringLiteral("Cannot create a temporary file for the audio editor."));
        return false;
    }
    struct Remove {
        const std::string& path;
        bool bKeep = false;
        ~Remove()
        {
            if (!bKeep)
                DeleteFileAt(path);
        }
    } remove { path };
    auto find = [this, nId] { return m_session.Find(nId); };
    if (RunInProgress(m_pParent, m_prompts, "Saving Dictation",
            [&](LProgressReporter& progress) {
                LDictation* p = find();
                return p ? LDictationSaveAsWav::Process(progress, *p, path, kNoRecipient) : JobResult::kFailed;
            })
        != JobResult::kDone)
        return false;
    const FileState before = FileState::Of(path);
    const auto started = std::chrono::steady_clock::now();
    const std::string display = _GetFileFromPath(editor);
    const JobResult nLaunched = RunInProgress(m_pParent, m_prompts, tplprintf("Editing %s", name),
        [&](LProgressReporter& progress) { return ProcessLLaunchApplication(progress, path, editor, display, true); });
    if (nLaunched == JobResult::kStopped) {
        // The editor runs on with the file; it goes when the program ends.
        remove.bKeep = true;
        return false;
    }
    if (nLaunched != JobResult::kDone)
        return false;
    const FileState after = FileState::Of(path);
    if (after == before) {
        if (std::chrono::steady_clock::now() - started < kAtOnce)
            m_prompts.box(m_pParent, LUserPrompts::Box::Warning, kCaption,
                QString::fromStdString(tplprintf(
                    "%s ended at once without changing the dictation. If it passed the file to a copy of itself that "
                    "was already open, close that copy and choose Edit in Audio Editor again.",
                    display)));
        return false;
    }
    LCommandImportHost host(m_pParent, m_prompts);
    bool bAskUser = true;
    LSoundSourceRef source;
    if (!after.bRead || LGenSourceOpen(source, path, bAskUser, host) != JobResult::kDone)
        return false;
    const JobResult nReloaded = RunInProgress(m_pParent, m_prompts, "Reloading File", [&](LProgressReporter& progress) {
        LDictation* p = find();
        return p ? LDictationLoadSource::Process(progress, source, *p) : JobResult::kFailed;
    });
    source.Reset();
    if (!find())
        return false;
    m_session.Changed(nId);
    if (m_session.CurrentId() == nId)
        m_session.MeasureCurrent();
    return nReloaded == JobResult::kDone;
}

bool LTransferCommands::CmSentWork(bool bRecover)
{
    StopTransport();
    if (!m_sentWork)
        return false;
    const bool bOk = m_sentWork(bRecover);
    if (bOk && bRecover)
        m_session.Rebuild();
    return bOk;
}
