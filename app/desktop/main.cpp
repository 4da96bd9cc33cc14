// tavrine: the desktop program. One instance per user; a second start shows
// the first window and exits. The same file, with a payload and a marker
// appended, is the installer and the uninstaller.
#include "app/desktop/LDesktopApp.h"
#include "app/desktop/setup/LSetupStart.h"
#include "app/desktop/window/LIcons.h"
#include "app/shared/bus/LColorScheme.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
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

    int nResult = 0;
    LDesktopApp::Launch launch;
    launch.bInputs = !szScreenshot && !bStartupTime;
    launch.opened = [&](LDesktopApp& desktop) {
        QMainWindow* pDialog = &desktop.MainWindow();
        if (bStartupTime) {
            // Responsive: the first zero timer runs once the shown window's
            // pending events are handled.
            QTimer::singleShot(0, pDialog, [&started, pDialog, pDesktop = &desktop] {
                std::printf("startup_ms %lld rows %d\n", static_cast<long long>(started.elapsed()),
                    static_cast<int>(pDesktop->Session().List().Count()));
                std::fflush(stdout);
                pDialog->close();
            });
        }
        if (szScreenshot) {
            QTimer::singleShot(1500, pDialog, [&nResult, pDialog, szScreenshot] {
                if (!pDialog->grab().save(QString::fromLocal8Bit(szScreenshot), "PNG"))
                    nResult = 1;
                pDialog->close();
            });
        }
    };
    const int nRun = LDesktopApp::Run(launch);
    if (nResult == 0)
        nResult = nRun;
    return nResult;
}
