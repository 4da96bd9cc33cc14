#include "app/shared/input/LTerminateSignals.h"

#include "app/shared/input/LCommandRouter.h"
#include "ui/LProgressDialog.h"

#include <QDialog>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = { -1, -1 };

void OnTerminateSignal(int)
{
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[0], &c, 1);
}

} // namespace

LTerminateSignals::LTerminateSignals(LCommandRouter& router, QObject* pParent)
    : QObject(pParent)
{
    if (g_signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* pNotifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, this);
    connect(pNotifier, &QSocketNotifier::activated, this, [&router] {
        char buffer[16];
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[1], buffer, sizeof buffer);
        // A body running under a progress dialog stops first, so a decoder it
        // waits for is ended with it instead of outliving the program.
        LProgressDialog::CancelAll();
        router.Trigger(LCommandId::kExit);
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int nSignal : { SIGTERM, SIGINT, SIGHUP })
        sigaction(nSignal, &action, nullptr);
}
