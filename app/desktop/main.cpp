// tavrine: the desktop program. One instance per user; a second start shows
// the first window and exits. The same file, with a payload and a marker
// appended, is the installer and the uninstaller.
#include "app/desktop/LDesktopApp.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/session/LSingleInstance.h"
#include "app/desktop/setup/LSetupStart.h"
#include "app/desktop/window/LColorScheme.h"
#include "app/desktop/window/LIcons.h"
#include "app/shared/input/LTerminateSignals.h"
#include "dictation/LDictationEngineSettings.h"
#include "ui/LQtMainLoop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // The program file's marker decides before anything opens: a setup file
    // or the uninstaller claims no instance and reads no dictations.
    const LStartRole role = GetStartRole();
    QElapsedTimer started;
    started.start();
    // Developer options for the screenshot script and the start-up benchmark;
    // a normal start reads no command line.
    const char* szScreenshot = nullptr;
    bool bStartupTime = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            szScreenshot = argv[++i];
        else if (std::strcmp(argv[i], "--startup-time") == 0)
            bStartupTime = true;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrine Dictate"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setDesktopFileName(QStringLiteral("org.orvane.Tavrine"));
    QApplication::setWindowIcon(LIcons::AppIcon());
    LColorScheme scheme;
    scheme.Follow();
    if (role != LStartRole::Normal)
        return RunSetupRole(role, argc, argv);

    LSingleInstance instance;
    if (!szScreenshot && !bStartupTime && instance.ClaimOrActivate() == LSingleInstance::Claim::OtherActivated)
        return 0;

    LDictationEngineSettings engine;
    if (!engine.IsUsable()) {
        QMessageBox::critical(nullptr, QStringLiteral("Tavrine Dictate"), QString::fromStdString(engine.GetError()));
        return 1;
    }
    LQtMainLoop loop;
    LSendQueue queue;
    int nResult = 0;
    {
        LDesktopApp desktop(engine, loop, &queue);
        QMainWindow& dialog = desktop.MainWindow();
        desktop.Serve(instance);
        if (!szScreenshot && !bStartupTime) {
            desktop.StartHotKeys(desktop.CommandSet());
            desktop.StartMediaKeys();
            desktop.StartControllers(desktop.CommandSet());
        }
        LTerminateSignals terminate(desktop.Router());
        desktop.OpenWindow();
        if (!szScreenshot && !bStartupTime)
            desktop.StartFirstRunWizard();
        if (bStartupTime) {
            // Responsive: the first zero timer runs once the shown window's
            // pending events are handled.
            QTimer::singleShot(0, &dialog, [&] {
                std::printf("startup_ms %lld rows %d\n", static_cast<long long>(started.elapsed()),
                    static_cast<int>(desktop.Session().List().Count()));
                std::fflush(stdout);
                dialog.close();
            });
        }
        if (szScreenshot) {
            QTimer::singleShot(1500, &dialog, [&] {
                if (!dialog.grab().save(QString::fromLocal8Bit(szScreenshot), "PNG"))
                    nResult = 1;
                dialog.close();
            });
        }
        int nLoop = QApplication::exec();
        if (nResult == 0)
            nResult = nLoop;
        desktop.Serve(instance, false);
    }
    return nResult;
}
