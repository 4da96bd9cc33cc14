#include "app/desktop/commands/LDockCommands.h"

#include "app/desktop/commands/LTransferCommands.h"
#include "app/desktop/dialogs/DockDialog.h"
#include "app/desktop/dialogs/DockTransferDlg.h"
#include "app/desktop/session/LSession.h"
#include "app/shared/prompts/LUserPrompts.h"
#include "app/transfer/LDockFiles.h"
#include "app/transfer/LLoadFile.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LText.h"

#include <QTimer>

#include <ctime>

namespace {

using Id = LCommandId;
namespace Keys = DockKeys;

// The dock's loads and sends go through the transfer commands, as Load and
// Load and Send do, so the list shows each dictation as it arrives.
class WindowDockHost : public LDockFileHost {
public:
    WindowDockHost(LTransferCommands& transfer, LUserPrompts& prompts, bool bSend)
        : m_transfer(transfer)
        , m_prompts(prompts)
        , m_bSend(bSend)
    {
    }
    JobResult Load(const std::string& path, uint32_t* pNumber, bool* pbRefused) override
    {
        return m_transfer.LoadAndList(path, !m_bSend, m_bAskUser, pNumber, &m_nId, pbRefused);
    }
    bool Send(uint32_t) override { return m_transfer.SendListed(m_nId); }
    void DeleteFailed(const std::string& path) override
    {
        m_prompts.box(m_transfer.DialogParent(), LUserPrompts::Box::Warning, QStringLiteral("Tavrine Dictate"),
            QString::fromStdString(tplprintf("\"%s\" was loaded but could not be deleted.", path)));
    }

private:
    LTransferCommands& m_transfer;
    LUserPrompts& m_prompts;
    bool m_bSend;
    // One question and one message at most for the whole dock.
    bool m_bAskUser = true;
    int m_nId = -1;
};

} // namespace

LDockCommands::LDockCommands(LSession& session, LTransferCommands& transfer, LUserPrompts& prompts, LMainLoop& loop)
    : m_session(session)
    , m_transfer(transfer)
    , m_prompts(prompts)
    , m_loop(loop)
    , m_clock([] { return static_cast<int64_t>(std::time(nullptr)); })
{
}

LDockCommands::~LDockCommands()
{
    delete m_pWindow.data();
}

std::vector<LCommandRouter::PopupItem> LDockCommands::Methods()
{
    using Item = LCommandRouter::PopupItem;
    return { { Item::Kind::Item, Id::kDockCable, "Audio Cable Method", false },
        { Item::Kind::Item, Id::kDockFile, "Audio File Transfer Method", false } };
}

void LDockCommands::RegisterCommands(LCommandRouter& router)
{
    m_pRouter = &router;
    LCommandRouter::Handler dock;
    dock.trigger = [this] { return CmDock(); };
    dock.checked = [this] { return !m_pWindow.isNull(); };
    dock.popup = [] { return Methods(); };
    router.Register(Id::kToolDock, dock);
    LCommandRouter::Handler cable;
    cable.trigger = [this] { return CmDockAudio(); };
    router.Register(Id::kDockCable, cable);
    LCommandRouter::Handler file;
    file.trigger = [this] { return CmDockFile(); };
    file.enabled = [this] { return m_session.Engine().IsUsable(); };
    router.Register(Id::kDockFile, file);
}

bool LDockCommands::CmDock()
{
    switch (Keys::kMethod.Get()) {
    case 0:
        return CmDockAudio();
    case 1:
        return CmDockFile();
    case -1: {
        // No method chosen yet: both, at the cursor.
        const LCommandId chosen = m_transfer.RunPopup(Methods());
        return chosen != Id::kSetNoAction && m_pRouter && m_pRouter->Trigger(chosen);
    }
    default:
        return false;
    }
}

bool LDockCommands::CmDockAudio()
{
    Keys::kMethod.Set(0);
    if (m_pWindow) {
        m_pWindow->raise();
        m_pWindow->activateWindow();
        return true;
    }
    m_pWindow = new DockDialog(
        m_session.Engine(), m_loop, m_prompts, m_transfer.Queue(),
        [this](int nCode, std::unique_ptr<LDictation> pDictation) { EvDockNotify(nCode, std::move(pDictation)); },
        [this] { return m_clock(); }, m_transfer.DialogParent());
    m_pWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_pWindow->InitDialog();
    m_pWindow->show();
    return true;
}

bool LDockCommands::CmDockFile()
{
    DockTransferDlg dialog(m_prompts, m_transfer.DialogParent());
    if (m_prompts.exec(dialog) != QDialog::Accepted)
        return false;
    Keys::kMethod.Set(1);
    const LDockFileOptions options = LDockFileOptions::Read();
    if (options.bAutoSend && !m_transfer.Queue())
        return false;
    // Nobody to send to yet: the recipient is made first, and the files are
    // then docked and sent to them; cancelled, nothing is docked.
    if (options.bAutoSend && !DefaultRecipient() && (!m_transfer.MakeNewRecipient() || !DefaultRecipient()))
        return false;
    if (m_stop)
        m_stop();
    m_session.FlushEdits();
    WindowDockHost host(m_transfer, m_prompts, options.bAutoSend);
    const LDockFileResult result = DockFiles(host, options, m_session.Engine().GetCurrentFolder());
    if (result.bNoFolder)
        m_prompts.box(m_transfer.DialogParent(), LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
            QString::fromStdString(tplprintf("The folder \"%s\" cannot be read.", options.folder)));
    if (!result.refused.empty()) {
        QString text = QStringLiteral("These files could not be loaded:\n");
        for (const std::string& path : result.refused)
            text += QStringLiteral("\n") + QString::fromStdString(path);
        text += QStringLiteral("\n\nLater docks pass them over, so they are not reported again. To clear this, "
                               "delete them or move them out of the folder; a file replaced by a new copy is "
                               "tried again.");
        m_prompts.box(m_transfer.DialogParent(), LUserPrompts::Box::Warning, QStringLiteral("Tavrine Dictate"), text);
    }
    // A dock that loads nothing would otherwise look like one that never ran.
    if (!result.bNoFolder && !result.bStopped && result.nLoaded == 0 && result.nFailed == 0)
        m_session.Say(QString::fromStdString(tplprintf("No new dictations in \"%s\"", options.folder)));
    else if (result.nLoaded > 0)
        m_session.Say(QStringLiteral("%1 dictation%2 docked")
                          .arg(result.nLoaded)
                          .arg(result.nLoaded == 1 ? QString() : QStringLiteral("s")));
    return !result.bNoFolder && !result.bStopped && result.nFailed == 0;
}

void LDockCommands::EvDockNotify(int nCode, std::unique_ptr<LDictation> pDictation)
{
    if (nCode == kNotifyHandOver && pDictation) {
        // AddReturned frees one the list holds already.
        m_session.AddReturned(pDictation, true);
    } else if (nCode == kNotifyOpenClosed && m_pRouter) {
        // After the window is gone: the Dock button shows whether it exists.
        QTimer::singleShot(0, m_pRouter, [router = m_pRouter] { router->Refresh(); });
    }
}
