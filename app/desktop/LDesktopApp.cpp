#include "app/desktop/LDesktopApp.h"

#include "app/desktop/bus/LMprisPlayer.h"
#include "app/desktop/dialogs/RecoverDialog.h"
#include "app/desktop/input/LKeyboardControl.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/session/LSingleInstance.h"
#include "app/desktop/settings/LFirstRunWizard.h"
#include "app/desktop/settings/LWizardKeys.h"
#include "app/desktop/window/LControlIds.h"
#include "app/desktop/window/LMainWindow.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LControllers.h"
#include "app/shared/input/LHotKeys.h"
#include "app/shared/input/LKeyBindings.h"
#include "ui/LAccessible.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>

LDesktopApp::LDesktopApp(LDictationEngineSettings& engine, LMainLoop& loop, LSendStatusSource* pQueue)
    : m_loop(loop)
    , m_session(engine)
    , m_transport(m_session, loop)
    , m_commands(m_session)
    // Sending needs the real queue: jobs go into its file.
    , m_transfer(m_session, m_commands.Prompts(),
          dynamic_cast<LSendQueue*>(pQueue) ? &static_cast<LSendQueue*>(pQueue)->Queue() : nullptr)
    // The command set runs through the router; the transport tells what is running.
    , m_dock(m_session, m_transfer, m_commands.Prompts(), loop)
    , m_commandSet(m_router,
          { [this] { return m_transport.GetRecordState() != LSoundRecorder::kStateStopped; },
              [this] { return m_transport.IsPlaying(); } })
    , m_programCommands(m_router, m_session, m_commands)
    , m_settings(m_commands.Prompts(),
          { [this] { m_transport.CmStop(); }, [this] { SuspendInputs(); }, [this] { ResumeInputs(); },
              [this] { return m_pHotKeys && m_pHotKeys->IsAvailable(); } })
    , m_help(m_commands.Prompts(), QCoreApplication::applicationDirPath())
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
    // Whatever changes the session may change what is enabled.
    QObject::connect(&m_session, &LSession::ListRebuilt, &m_router, &LCommandRouter::Refresh);
    QObject::connect(&m_session, &LSession::CurrentChanged, &m_router, &LCommandRouter::Refresh);
    QObject::connect(&m_session, &LSession::DictationChanged, &m_router, &LCommandRouter::Refresh);
    QObject::connect(&m_session, &LSession::DictationAdded, &m_router, &LCommandRouter::Refresh);

    m_pWindow = LMainWindow::Create(m_session, m_router, m_transport, loop, pQueue);
    m_commands.SetDialogParent(&MainWindow());
    // The sent-work dialog needs the real queue: it takes jobs out and adds notices.
    if (auto* pSendQueue = dynamic_cast<LSendQueue*>(pQueue)) {
        m_transfer.SetSentWork([this, &engine, &loop, pSendQueue](bool bRecover) {
            RecoverDialog dialog(bRecover ? RecoverDialog::Mode::Recover : RecoverDialog::Mode::View, engine,
                pSendQueue->Queue(), loop, &MainWindow());
            dialog.exec();
            // Recovered dictations are in Current even when a later one failed.
            return true;
        });
        m_router.Refresh();
    }
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
    m_pKeyboard = std::make_unique<LKeyboardControl>(m_commandSet, m_router,
        LKeyboardControl::Targets { &MainWindow(), LMainWindow::Control(*m_pWindow, LControlIds::kIdList),
            qobject_cast<QPlainTextEdit*>(LMainWindow::Control(*m_pWindow, LControlIds::kIdNotes)) },
        [this] { return m_pHotKeys && m_pHotKeys->IsCommandHeld(); });
}

LDesktopApp::~LDesktopApp()
{
    m_pKeyboard.reset();
    m_pNamer.reset();
    m_pHotKeys.reset();
    m_pControllers.reset();
    m_pMediaKeys.reset();
    LMainWindow::Destroy(m_pWindow);
    m_pWindow = nullptr;
}

QMainWindow& LDesktopApp::MainWindow()
{
    return LMainWindow::Widget(*m_pWindow);
}

void LDesktopApp::OpenWindow()
{
    LMainWindow::Open(*m_pWindow);
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
        LControllers::State { [this] { return m_transport.GetRecordState() != LSoundRecorder::kStateStopped; },
            [this] { return m_transport.IsPlaying(); } },
        std::move(devices));
    m_pControllers->SetMessageBox([this](const QString& caption, const QString& text) {
        if (m_messageBox)
            m_messageBox(caption, text);
        else
            QMessageBox::critical(&MainWindow(), caption, text);
    });
    QObject::connect(&m_transport, &LTransport::RecordStateChanged, m_pControllers.get(),
        [this](LTransport::RecordState state, bool) {
            m_pControllers->SetIndicator(state == LTransport::RecordState::Recording ? LVoiceStation::kRecording
                    : state == LTransport::RecordState::Waiting                      ? LVoiceStation::kWaiting
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
    m_pMediaKeys = std::make_unique<LMprisPlayer>(m_router, m_session, m_transport);
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
        m_loop, [this] { m_router.Trigger(LCommandId::kHelpContents); }, QCoreApplication::applicationDirPath(),
        &MainWindow());
    wizard.exec();
    WizardKeys::kInstallWizRun.Set(true);
}
