#include "app/desktop/LDesktopApp.h"

#include "app/desktop/dialogs/RecoverDialog.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/window/LMainWindow.h"

#include <QMainWindow>
#include <QMessageBox>

LDesktopApp::LDesktopApp(LDictationEngineSettings& engine, LMainLoop& loop, LSendStatusSource* pQueue)
    : m_session(engine)
    , m_transport(m_session, loop)
    , m_commands(m_session)
{
    m_transport.RegisterCommands(m_router);
    m_commands.RegisterCommands(m_router);
    m_transport.SetNewDictation([this] { return m_commands.CmNewFile(); });
    m_commands.SetStopTransport([this] { m_transport.CmStop(); });
    // Whatever changes the session may change what is enabled.
    QObject::connect(&m_session, &LSession::ListRebuilt, &m_router, &LCommandRouter::Refresh);
    QObject::connect(&m_session, &LSession::CurrentChanged, &m_router, &LCommandRouter::Refresh);
    QObject::connect(&m_session, &LSession::DictationChanged, &m_router, &LCommandRouter::Refresh);
    QObject::connect(&m_session, &LSession::DictationAdded, &m_router, &LCommandRouter::Refresh);

    m_pWindow = LMainWindow::Create(m_session, m_router, m_transport, loop, pQueue);
    m_commands.SetDialogParent(&MainWindow());
    // The sent-work dialog needs the real queue: it takes jobs out and adds notices.
    if (auto* pSendQueue = dynamic_cast<LSendQueue*>(pQueue)) {
        for (auto [id, mode] : { std::pair { LCommandId::kViewSentWork, RecoverDialog::Mode::View },
                 std::pair { LCommandId::kRecoverSent, RecoverDialog::Mode::Recover } }) {
            LCommandRouter::Handler handler;
            handler.trigger = [this, &engine, &loop, pSendQueue, mode] {
                m_transport.CmStop();
                RecoverDialog dialog(mode, engine, pSendQueue->Queue(), loop, &MainWindow());
                dialog.exec();
                // Recovered dictations are in Current now, also when a later one failed.
                if (mode == RecoverDialog::Mode::Recover)
                    m_session.Rebuild();
                return true;
            };
            m_router.Register(id, handler);
        }
    }
    QObject::connect(
        &m_transport, &LTransport::Message, &MainWindow(), [this](const QString& caption, const QString& text) {
            if (m_messageBox)
                m_messageBox(caption, text);
            else
                QMessageBox::critical(&MainWindow(), caption, text);
        });
}

LDesktopApp::~LDesktopApp()
{
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
