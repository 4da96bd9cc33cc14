#include "app/scribe/LScribeApp.h"

#include "app/scribe/LCompactBar.h"
#include "app/scribe/LScribeKeysPage.h"
#include "app/scribe/LScribeSettingsSheet.h"
#include "app/scribe/LScribeUiKeys.h"
#include "app/scribe/LScribeWindow.h"
#include "app/shared/bus/LMprisPlayer.h"
#include "app/shared/bus/LSingleInstance.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LControllers.h"
#include "app/shared/input/LHotKeys.h"
#include "app/shared/input/LTerminateSignals.h"
#include "foundation/LSecrets.h"
#include "scribe/LScribeKeys.h"
#include "ui/LQtMainLoop.h"

#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>

int LScribeApp::Run(const Launch& launch)
{
    LSingleInstance::UseNames({ "org.orvane.TavrineScribe", "tavrine-scribe" });
    LSingleInstance instance;
    if (launch.bInputs && instance.ClaimOrActivate() == LSingleInstance::Claim::OtherActivated)
        return 0;
    // Keys and passwords left in the per-user file go to a keyring that is there now.
    LScribeKeys::MoveToKeyring();
    std::vector<std::string> problems;
    LScribeInbox inbox = LScribeInbox::FromSettings(&problems);
    LQtMainLoop loop;
    LScribeApp scribe(std::move(inbox), loop);
    scribe.Serve(instance);
    scribe.StartInputs(launch.bInputs);
    scribe.Window().show();
    scribe.Session().Refresh();
    for (const std::string& line : problems)
        scribe.Window().Tell(QString::fromStdString(line), false);
    if (const std::string notice = LSecrets::TakeNotice(); !notice.empty())
        scribe.Window().Tell(QString::fromStdString(notice), false);
    if (launch.opened)
        launch.opened(scribe);
    return QApplication::exec();
}

LScribeApp::LScribeApp(LScribeInbox inbox, LMainLoop& loop)
    : m_session(std::move(inbox))
    , m_transport(m_session, loop)
    , m_commandSet(m_router, { [] { return false; }, [this] { return m_session.IsPlaying(); } })
    , m_holdToPlay(m_commandSet, m_router)
{
    LCommandSetTable::SetProgramName("Tavrine Scribe");
    m_transport.RegisterCommands(m_router);
    LCommandRouter::Handler open;
    open.trigger = [this] { return Raise(), true; };
    m_router.Register(LCommandId::kSetOpen, std::move(open));
    LCommandRouter::Handler minimize;
    minimize.trigger = [this] { return m_pWindow->showMinimized(), true; };
    m_router.Register(LCommandId::kSetMinimize, std::move(minimize));
    LCommandRouter::Handler exit;
    exit.trigger = [] { return QApplication::quit(), true; };
    m_router.Register(LCommandId::kExit, std::move(exit));

    LScribeWindow::Actions actions;
    actions.compactBar = [this] { ShowCompactBar(); };
    actions.settings = [this] { ShowSettings(LScribeSettingsSheet::kSources); };
    actions.openAttachment = [this](const std::string& path) {
        std::string why;
        if (!m_opener.Open(path, &why))
            m_pWindow->Tell(QString::fromStdString(why), true);
    };
    m_pWindow = std::make_unique<LScribeWindow>(m_session, std::move(actions));
    m_pBar = std::make_unique<LCompactBar>(
        m_router, m_session,
        [this](int nPercent) {
            ScribeUiKeys::kFineSpeed.Set(nPercent);
            m_transport.SetFineSpeed(nPercent);
            if (m_session.IsPlaying() && !m_session.IsScanning())
                m_transport.CmPlay();
        },
        std::clamp(ScribeUiKeys::kFineSpeed.Get(), LTransport::kMinFineSpeed, LTransport::kMaxFineSpeed));
    m_pBar->onShowList = [this] { Raise(); };
    QObject::connect(&m_session, &LPlaybackModel::CurrentChanged, m_pBar.get(), [this] {
        const LScribeJob* pJob = m_session.CurrentJob();
        m_pBar->SetTitle(pJob ? QString::fromStdString(pJob->szName) : QString());
        m_router.Refresh();
    });
    QObject::connect(&m_transport, &LTransport::Message, m_pWindow.get(),
        [this](const QString&, const QString& text) { m_pWindow->Tell(text, true); });
    QObject::connect(&m_watch, &LInboxWatch::Changed, m_pWindow.get(), [this](const QStringList& sources) {
        std::vector<std::string> names;
        for (const QString& source : sources)
            names.push_back(source.toStdString());
        m_session.RefreshSources(names);
    });
    ReadSettings();
}

LScribeApp::~LScribeApp()
{
    m_watch.Stop();
    m_pHotKeys.reset();
    m_pControllers.reset();
    m_pMediaKeys.reset();
    m_pTerminate.reset();
    m_transport.CmStop();
    m_pBar.reset();
    m_pWindow.reset();
}

void LScribeApp::ReadSettings()
{
    m_transport.SetPauseRewind(std::clamp(ScribeUiKeys::kAutoRewindMs.Get(), 0, ScribeUiKeys::kMaxAutoRewindMs));
    m_transport.SetFineSpeed(ScribeUiKeys::kFineSpeed.Get());
}

void LScribeApp::StartInputs(bool bDevices, HardwareControl::Devices devices)
{
    m_pTerminate = std::make_unique<LTerminateSignals>(m_router);
    m_watch.Watch(m_session.Inbox());
    if (!bDevices)
        return;
    // Pedals: play only while held; the layout is the typist's own.
    m_pControllers = std::make_unique<LControllers>(m_holdToPlay, m_router,
        LControllers::State { [] { return false; }, [this] { return m_session.IsPlaying(); } }, std::move(devices));
    m_pControllers->SetButtonCommands(
        [](int nButton) { return LCommandSetTable::Id(ScribeUiKeys::kPedals[std::clamp(nButton, 0, 3)].Get()); });
    m_pControllers->SetMessageBox([this](const QString&, const QString& text) { m_pWindow->Tell(text, false); });
    m_pControllers->StartHardwareControl();

    m_pHotKeys = std::make_unique<LHotKeys>(m_commandSet);
    if (m_pHotKeys->OpenForDesktop())
        m_pHotKeys->Start(LScribeKeysPage::ReadHotKeys());
    else
        m_pWindow->Tell(LHotKeys::UnavailableText(), false);

    m_pMediaKeys = std::make_unique<LMprisPlayer>(m_router, m_session);
    LMprisPlayer::Names names;
    names.service = QStringLiteral("org.mpris.MediaPlayer2.tavrine_scribe");
    names.identity = QStringLiteral("Tavrine Scribe");
    names.desktopEntry = QStringLiteral("org.orvane.TavrineScribe");
    m_pMediaKeys->SetNames(names);
    m_pMediaKeys->Open();
}

void LScribeApp::Serve(LSingleInstance& instance)
{
    instance.onActivate = [this] { Raise(); };
    instance.onPress = [this](int nCommand) { m_commandSet.CommandPress(LCommandSetTable::Id(nCommand)); };
    instance.onRelease = [this](int nCommand) { m_commandSet.CommandRelease(LCommandSetTable::Id(nCommand)); };
}

void LScribeApp::Raise()
{
    m_pWindow->showNormal();
    m_pWindow->raise();
    m_pWindow->activateWindow();
}

void LScribeApp::ShowCompactBar()
{
    m_pBar->adjustSize();
    m_pBar->show();
    m_pBar->raise();
}

void LScribeApp::ShowSettings(int nPage)
{
    m_transport.CmStop();
    if (m_pHotKeys)
        m_pHotKeys->Stop();
    if (m_pControllers)
        m_pControllers->StopHardwareControl();
    {
        LScribeSettingsSheet sheet(m_pHotKeys && m_pHotKeys->IsAvailable(), nPage, m_pWindow.get());
        sheet.exec();
    }
    ReadSettings();
    if (m_pControllers)
        m_pControllers->StartHardwareControl();
    if (m_pHotKeys && m_pHotKeys->IsAvailable())
        m_pHotKeys->Start(LScribeKeysPage::ReadHotKeys());
    // Sources and keys may have changed.
    std::vector<std::string> problems;
    m_session.Inbox() = LScribeInbox::FromSettings(&problems);
    if (m_pTerminate)
        m_watch.Watch(m_session.Inbox());
    m_session.Refresh();
}
