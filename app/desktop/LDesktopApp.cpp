#include "app/desktop/LDesktopApp.h"

#include "app/desktop/dialogs/RecoverDialog.h"
#include "app/desktop/session/LDesktopNotifier.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/settings/LFirstRunWizard.h"
#include "app/desktop/settings/LWizardKeys.h"
#include "app/desktop/window/LMainWindow.h"
#include "app/shared/bus/LMprisPlayer.h"
#include "app/shared/bus/LSingleInstance.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LControllers.h"
#include "app/shared/input/LHotKeys.h"
#include "app/shared/input/LKeyBindings.h"
#include "app/shared/input/LKeyFilter.h"
#include "app/shared/input/LTerminateSignals.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LPath.h"
#include "foundation/LSecrets.h"
#include "foundation/LThreadQueuedNotify.h"
#include "send/LKeyringMailCredentials.h"
#include "ui/LAccessible.h"
#include "ui/LQtMainLoop.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

// The queue's thread posts here; the status is taken on the GUI thread.
class LDesktopApp::QueueNotify : public LThreadQueuedNotify {
public:
    QueueNotify(LMainLoop& loop, LDesktopApp& app)
        : LThreadQueuedNotify(loop)
        , m_app(app)
    {
    }

protected:
    void EvNotify() override { m_app.OnQueueNotify(); }

private:
    LDesktopApp& m_app;
};

int LDesktopApp::Run(const Launch& launch)
{
    LSingleInstance instance;
    if (launch.bInputs && instance.ClaimOrActivate() == LSingleInstance::Claim::OtherActivated)
        return 0;
    LDictationEngineSettings engine;
    if (!engine.IsUsable()) {
        QMessageBox::critical(nullptr, QStringLiteral("Tavrine Dictate"), QString::fromStdString(engine.GetError()));
        return 1;
    }
    LQtMainLoop loop;
    LDesktopApp desktop(engine, loop);
    desktop.StartInputs(instance, launch.bInputs);
    desktop.OpenWindow();
    desktop.StartSecrets();
    if (launch.bInputs)
        desktop.StartFirstRunWizard();
    if (launch.opened)
        launch.opened(desktop);
    return QApplication::exec();
}

LDesktopApp::LDesktopApp(LDictationEngineSettings& engine, LMainLoop& loop)
    : LDesktopApp(engine, loop, nullptr, std::make_unique<LSendQueue>())
{
}

LDesktopApp::LDesktopApp(LDictationEngineSettings& engine, LMainLoop& loop, LSendStatusSource* pQueue)
    : LDesktopApp(engine, loop, pQueue, nullptr)
{
}

LDesktopApp::LDesktopApp(
    LDictationEngineSettings& engine, LMainLoop& loop, LSendStatusSource* pQueue, std::unique_ptr<LSendQueue> pOwnQueue)
    : m_loop(loop)
    , m_pOwnQueue(std::move(pOwnQueue))
    , m_pQueue(m_pOwnQueue ? m_pOwnQueue.get() : pQueue)
    , m_session(engine)
    , m_transport(m_session, loop)
    , m_commands(m_session)
    // Sending needs the real queue: jobs go into its file.
    , m_transfer(m_session, m_commands.Prompts(),
          dynamic_cast<LSendQueue*>(m_pQueue) ? &static_cast<LSendQueue*>(m_pQueue)->Queue() : nullptr)
    // The command set runs through the router; the session tells what is running.
    , m_dock(m_session, m_transfer, m_commands.Prompts(), loop)
    , m_commandSet(
          m_router, { [this] { return m_session.IsRecorderBusy(); }, [this] { return m_session.IsPlaying(); } })
    , m_programCommands(m_router,
          { [this](std::string_view name) { m_commands.RenameCurrent(name); },
              [this](std::string_view text) { m_commands.AppendNoteLine(text); },
              [] { return static_cast<int>(LDictationEngineSettings::GetUserID()); },
              [this] {
                  const LDictation* pDictation = m_session.Current();
                  return pDictation ? static_cast<int>(pDictation->GetFileNumber()) : 0;
              },
              [this] { m_commands.CmDeleteFile(false); } })
    , m_settings(m_commands.Prompts(),
          { [this] { m_transport.CmStop(); }, [this] { SuspendInputs(); }, [this] { ResumeInputs(); },
              [this] { return m_pHotKeys && m_pHotKeys->IsAvailable(); } })
    , m_help(m_commands.Prompts(), QApplication::applicationDirPath())
{
    m_router.SetKeyNames([](LCommandId id) { return LKeyBindings::KeyOf(id).toString().toStdString(); });
    m_transport.RegisterCommands(m_router);
    m_commands.RegisterCommands(m_router);
    m_transfer.RegisterCommands(m_router);
    m_transport.SetNewDictation([this] { return m_commands.CmNewFile(); });
    m_commands.SetStopTransport([this] { m_transport.CmStop(); });
    m_transfer.SetStopTransport([this] { m_transport.CmStop(); });
    m_dock.RegisterCommands(m_router);
    m_dock.SetStopTransport([this] { m_transport.CmStop(); });
    m_settings.RegisterCommands(m_router);
    m_help.RegisterCommands(m_router);
    m_commands.Prompts().openHelp = [this](const char* szPage) { return m_help.OpenPage(szPage); };
    // Whatever changes the session may change what is enabled.
    QObject::connect(&m_session, &LSession::ListRebuilt, &m_router, &LCommandRouter::Refresh);
    QObject::connect(&m_session, &LSession::CurrentChanged, &m_router, &LCommandRouter::Refresh);
    QObject::connect(&m_session, &LSession::DictationChanged, &m_router, &LCommandRouter::Refresh);
    QObject::connect(&m_session, &LSession::DictationAdded, &m_router, &LCommandRouter::Refresh);

    // Told in the window itself while it is active; otherwise on the desktop
    // too. Connected before the window's own error box, which brings the
    // window forward: a failure is told by its message, as it arrives.
    auto notice = [this, pNotifier = std::make_shared<LDesktopNotifier>()](
                      const QString& name, const QString& status, bool bDelivered) {
        if (!m_pWindow || MainWindow().isActiveWindow())
            return;
        if (m_sendNotice)
            m_sendNotice(name, status, bDelivered);
        else
            pNotifier->NotifySend(name, status, bDelivered);
    };
    QObject::connect(&m_session, &LSession::QueueError, &m_session,
        [notice](const QString& text) { notice(QString(), text, false); });
    QObject::connect(&m_session, &LSession::SendFinished, &m_session,
        [notice](const QString& name, const QString& status, bool bDelivered) {
            if (bDelivered)
                notice(name, status, true);
        });
    m_pWindow = LMainWindow::Create(m_session, m_router, [this] { OnWindowClosing(); });
    StartQueue();
    m_commands.SetDialogParent(&MainWindow());
    // The sent-work dialog needs the real queue: it takes jobs out and adds notices.
    if (auto* pSendQueue = dynamic_cast<LSendQueue*>(m_pQueue)) {
        m_transfer.SetSentWork([this, &engine, &loop, pSendQueue](bool bRecover) {
            RecoverDialog dialog(bRecover ? RecoverDialog::Mode::Recover : RecoverDialog::Mode::View, engine,
                pSendQueue->Queue(), loop, &MainWindow());
            dialog.exec();
            // Recovered dictations are in Current even when a later one failed.
            return true;
        });
        m_router.Refresh();
    }
    // A command refused for want of a dictation says so, not nothing at all.
    QObject::connect(&m_router, &LCommandRouter::Refused, &MainWindow(), [this](LCommandId id) {
        if (m_router.NeedsSelection(id) && m_session.Selection().empty())
            m_session.Say(QStringLiteral("No dictation is selected: select one in the list first"));
    });
    QObject::connect(&m_session, &LSession::StatusMessage, &MainWindow(),
        [this](const QString& text) { MainWindow().statusBar()->showMessage(text, 10000); });
    m_transfer.SetDialogParent(&MainWindow());
    m_settings.SetDialogParent(&MainWindow());
    m_help.SetDialogParent(&MainWindow());
    QObject::connect(
        &m_transport, &LTransport::Message, &MainWindow(), [this](const QString& caption, const QString& text) {
            if (m_messageBox)
                m_messageBox(caption, text);
            else
                QMessageBox::critical(&MainWindow(), caption, text);
        });

    m_pNamer = std::make_unique<LAccessible::LWindowNamer>();
    // The keyboard: record and play through the command set for the hold
    // rule; key-ups wait while a hot key holds a command.
    m_pKeyboard = std::make_unique<LKeyFilter>(m_commandSet, m_router, LKeyBindings::Rows(), &MainWindow(),
        LMainWindow::KeyWidgets(*m_pWindow), [this] { return m_pHotKeys && m_pHotKeys->IsCommandHeld(); });
}

LDesktopApp::~LDesktopApp()
{
    m_pKeyboard.reset();
    m_pNamer.reset();
    m_pHotKeys.reset();
    m_pControllers.reset();
    m_pMediaKeys.reset();
    m_pTerminate.reset();
    if (m_pServed)
        Serve(*m_pServed, false);
    LMainWindow::Destroy(m_pWindow);
    m_pWindow = nullptr;
}

void LDesktopApp::StartQueue()
{
    const LDictationEngineSettings& engine = m_session.Engine();
    if (!m_pQueue || !engine.IsUsable())
        return;
    m_pQueueNotify = std::make_unique<QueueNotify>(m_loop, *this);
    // Jobs left from the last run continue.
    m_pQueue->Start(FilePathCat(engine.GetSentFolder(), "sending.dat"), m_pQueueNotify->GetNotifier());
}

void LDesktopApp::OnQueueNotify()
{
    // Everything is copied or taken off the block under its lock inside
    // TakeStatus; nothing here runs with the lock held.
    if (m_pQueue && m_pQueueNotify)
        m_session.QueueReported(m_pQueue->TakeStatus());
}

void LDesktopApp::OnWindowClosing()
{
    // Nothing more reaches a window that is going away.
    if (m_pQueueNotify) {
        m_pQueue->Stop(5000);
        m_pQueueNotify.reset();
    }
    m_transport.CmStop();
}

void LDesktopApp::StartInputs(LSingleInstance& instance, bool bDevices)
{
    Serve(instance);
    m_pServed = &instance;
    if (bDevices) {
        StartHotKeys(m_commandSet);
        StartMediaKeys();
        StartControllers(m_commandSet);
    }
    m_pTerminate = std::make_unique<LTerminateSignals>(m_router);
}

QMainWindow& LDesktopApp::MainWindow()
{
    return LMainWindow::Widget(*m_pWindow);
}

void LDesktopApp::OpenWindow()
{
    LMainWindow::Open(*m_pWindow);
}

void LDesktopApp::StartSecrets()
{
    // The notice may arise on the send queue's thread; the window shows it.
    QPointer<QMainWindow> pWindow = &MainWindow();
    LSecrets::SetNoticeHandler([pWindow](const std::string& notice) {
        QMetaObject::invokeMethod(
            pWindow,
            [pWindow, text = QString::fromStdString(notice)] {
                if (pWindow)
                    pWindow->statusBar()->showMessage(text, 30000);
            },
            Qt::QueuedConnection);
    });
    // Secrets left in the per-user file go to a keyring that is there now.
    LDictationEngineSettings::MoveRecipientSecrets();
    LKeyringMailCredentials::MoveToKeyring();
}

void LDesktopApp::StartHotKeys(LCommandSink& sink)
{
    m_pHotKeys = std::make_unique<LHotKeys>(sink);
    const std::vector<LHotKey> keys = ReadHotKeys();
    // The portal may refuse later, once asked.
    QObject::connect(m_pHotKeys.get(), &LHotKeys::Unavailable, &MainWindow(),
        [this] { MainWindow().statusBar()->showMessage(LHotKeys::UnavailableText(), 30000); });
    if (m_pHotKeys->OpenForDesktop())
        m_pHotKeys->Start(keys);
    else if (!keys.empty())
        MainWindow().statusBar()->showMessage(LHotKeys::UnavailableText(), 30000);
}

void LDesktopApp::StartControllers(LCommandSink& sink, HardwareControl::Devices devices)
{
    m_pControllers = std::make_unique<LControllers>(sink, m_router,
        LControllers::State { [this] { return m_session.IsRecorderBusy(); }, [this] { return m_session.IsPlaying(); } },
        std::move(devices));
    m_pControllers->SetMessageBox([this](const QString& caption, const QString& text) {
        if (m_messageBox)
            m_messageBox(caption, text);
        else
            QMessageBox::critical(&MainWindow(), caption, text);
    });
    QObject::connect(
        &m_session, &LPlaybackModel::StateChanged, m_pControllers.get(), [this](LPlaybackModel::State state) {
            m_pControllers->SetIndicator(state == LPlaybackModel::State::Recording ? LVoiceStation::kRecording
                    : state == LPlaybackModel::State::Waiting                      ? LVoiceStation::kWaiting
                                                                                   : LVoiceStation::kStopped);
        });
    m_pControllers->StartHardwareControl();
}

void LDesktopApp::SuspendInputs()
{
    if (m_pHotKeys)
        m_pHotKeys->Stop();
    if (m_pControllers)
        m_pControllers->StopHardwareControl();
}

void LDesktopApp::ResumeInputs()
{
    if (m_pControllers)
        m_pControllers->StartHardwareControl();
    // The keys as the Keys page left them.
    if (m_pHotKeys && m_pHotKeys->IsAvailable())
        m_pHotKeys->Start();
    m_pKeyboard->ReadSettings();
}

LMprisPlayer* LDesktopApp::StartMediaKeys()
{
    // Without a session bus the keys still work while the window has the focus.
    m_pMediaKeys.reset();
    m_pMediaKeys = std::make_unique<LMprisPlayer>(m_router, m_session);
    m_pMediaKeys->Open();
    return m_pMediaKeys.get();
}

void LDesktopApp::Serve(LSingleInstance& instance, bool bOn)
{
    if (!bOn) {
        instance.onActivate = nullptr;
        instance.onCommand = nullptr;
        instance.onPress = instance.onRelease = nullptr;
        return;
    }
    // Another start asks for the window, as the command set's "Open" does.
    instance.onActivate = [this] { m_router.Trigger(LCommandId::kSetOpen); };
    instance.onCommand
        = [this](int nCommand, const QString& text) { return m_programCommands.Run(nCommand, text.toStdString()); };
    instance.onPress = [this](int nCommand) { m_commandSet.CommandPress(LCommandSetTable::Id(nCommand)); };
    instance.onRelease = [this](int nCommand) { m_commandSet.CommandRelease(LCommandSetTable::Id(nCommand)); };
}

void LDesktopApp::StartFirstRunWizard()
{
    if (!WizardKeys::kInstallWizRun.Get())
        QTimer::singleShot(kFirstRunDelayMs, &MainWindow(), [this] { RunFirstRunWizard(); });
}

void LDesktopApp::RunFirstRunWizard()
{
    // Once, even when a second start asked for it meanwhile.
    if (WizardKeys::kInstallWizRun.Get())
        return;
    // Its steps open the devices themselves.
    m_transport.CmStop();
    LFirstRunWizard wizard(
        m_loop, [this] { m_router.Trigger(LCommandId::kHelpContents); }, QApplication::applicationDirPath(),
        &MainWindow());
    wizard.exec();
    WizardKeys::kInstallWizRun.Set(true);
}
