// tavrine-scribe: the typist's program. One instance per user; a second
// start shows the first window and exits.
#include "app/scribe/LCompactBar.h"
#include "app/scribe/LScribeApp.h"
#include "app/scribe/LScribeSettingsSheet.h"
#include "app/scribe/LScribeWindow.h"
#include "app/shared/bus/LColorScheme.h"

#include <QApplication>
#include <QIcon>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The developer option for the screenshot script: "list", "bar" or
// "settings:N" (a page of the sheet) saved as a PNG, then the program ends.
bool Shoot(LScribeApp& scribe, const std::string& what, const QString& path)
{
    // The first job chosen, so that its notes, fields and length show.
    QTreeWidget* pList = scribe.Window().List();
    if (pList->topLevelItemCount() > 0) {
        pList->setCurrentItem(pList->topLevelItem(0));
        QApplication::processEvents();
    }
    if (what == "list")
        return scribe.Window().grab().save(path, "PNG");
    if (what == "bar") {
        scribe.ShowCompactBar();
        return scribe.Bar().grab().save(path, "PNG");
    }
    if (what.rfind("settings:", 0) == 0) {
        LScribeSettingsSheet sheet(true, std::atoi(what.c_str() + 9), &scribe.Window());
        sheet.show();
        QApplication::processEvents();
        return sheet.grab().save(path, "PNG");
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    const char* szShot = nullptr;
    const char* szWhat = "list";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 2 < argc) {
            szShot = argv[++i];
            szWhat = argv[++i];
        }
    }
    QApplication app(argc, argv);
    // The icon lives in the static library's resources.
    Q_INIT_RESOURCE(scribe_icons);
    QApplication::setApplicationName(QStringLiteral("Tavrine Scribe"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setDesktopFileName(QStringLiteral("org.orvane.TavrineScribe"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/scribe/tavrine-scribe.svg")));
    LColorScheme scheme;
    scheme.Follow();

    int nResult = 0;
    LScribeApp::Launch launch;
    launch.bInputs = !szShot;
    if (szShot) {
        launch.opened = [&](LScribeApp& scribe) {
            QTimer::singleShot(800, &scribe.Window(), [&nResult, &scribe, szShot, szWhat] {
                if (!Shoot(scribe, szWhat, QString::fromLocal8Bit(szShot)))
                    nResult = 1;
                QApplication::quit();
            });
        };
    }
    const int nRun = LScribeApp::Run(launch);
    return nResult ? nResult : nRun;
}
