// SIGTERM, SIGINT and SIGHUP as an input of the program: a logout or `kill`
// ends it as the Exit command does, so the notes and the window state are
// stored and the send queue stops cleanly; a progress-run process is
// cancelled first, so no decoder or command it waits for is left running. The handler only writes a byte to
// a socket; the GUI thread reads it and triggers the command. One per
// process, GUI thread.
#pragma once

#include <QObject>

class LCommandRouter;

class LTerminateSignals : public QObject {
    Q_OBJECT
public:
    LTerminateSignals(LCommandRouter& router, QObject* pParent = nullptr);
};
