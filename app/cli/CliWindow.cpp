// tavrine-cli window and command: drive the running window over the session
// bus, as any other program may ("window" sends a numbered command of the
// message interface; "command" presses and releases one of the command set).
#include "app/cli/LCliCommand.h"
#include "app/shared/commands/LCommandSetTable.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// The window's well-known name, object and interface on the session bus.
constexpr const char* kService = "org.orvane.Tavrine";
constexpr const char* kPath = "/org/orvane/Tavrine";
constexpr size_t kMaxTextBytes = 260;
constexpr int kCallTimeoutMs = 10000;
constexpr long kMaxHoldMs = 600000;

int RunWindow(const std::vector<std::string>& args);
int RunCommand(const std::vector<std::string>& args);

const LCliCommand kWindow { "window", "window COMMAND [TEXT]", RunWindow };
const LCliCommand kCommand { "command", "command NAME|NUMBER [--hold MS]", RunCommand };
LCliRegistrar regWindow(kWindow);
LCliRegistrar regCommand(kCommand);

std::optional<long> ParseNumber(const std::string& text, long nMin, long nMax)
{
    long n = 0;
    const char* pEnd = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), pEnd, n);
    if (ec != std::errc() || p != pEnd || n < nMin || n > nMax)
        return std::nullopt;
    return n;
}

// One call to the window; an error when it did not answer.
std::optional<QDBusMessage> Call(const char* szMethod, const QList<QVariant>& arguments, int* pStatus)
{
    // QtDBus wants an application object for its connection's thread.
    static int nArgc = 1;
    static char szName[] = "tavrine-cli";
    static char* argv[] = { szName, nullptr };
    static QCoreApplication app(nArgc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *pStatus = CliError("no Tavrine Dictate window is running (no session bus)");
        return std::nullopt;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromUtf8(kService), QString::fromUtf8(kPath),
        QString::fromUtf8(kService), QString::fromUtf8(szMethod));
    call.setArguments(arguments);
    QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply;
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        *pStatus = CliError("no Tavrine Dictate window is running");
    else
        *pStatus = CliError("the window did not answer: " + reply.errorMessage().toStdString());
    return std::nullopt;
}

int RunWindow(const std::vector<std::string>& args)
{
    if (args.empty() || args.size() > 2)
        return CliUsage(kWindow);
    std::optional<long> nCommand = ParseNumber(args[0], INT32_MIN, INT32_MAX);
    if (!nCommand)
        return CliUsage(kWindow);
    const std::string text = args.size() > 1 ? args[1] : std::string();
    if (text.size() > kMaxTextBytes)
        return CliError("the text is longer than 260 bytes", 2);
    int nStatus = 1;
    std::optional<QDBusMessage> reply
        = Call("Command", { QVariant(static_cast<int>(*nCommand)), QVariant(QString::fromStdString(text)) }, &nStatus);
    if (!reply)
        return nStatus;
    if (reply->arguments().size() != 1)
        return CliError("the window gave no result");
    std::printf("%d\n", reply->arguments().at(0).toInt());
    return 0;
}

int RunCommand(const std::vector<std::string>& args)
{
    std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split || split->words.size() != 1)
        return CliUsage(kCommand);
    long nHoldMs = 0;
    for (const auto& [name, value] : split->options) {
        std::optional<long> n = name == "--hold" ? ParseNumber(value, 0, kMaxHoldMs) : std::nullopt;
        if (!n)
            return CliUsage(kCommand);
        nHoldMs = *n;
    }
    std::optional<long> nNumber = ParseNumber(split->words[0], 0, LCommandSetTable::kCount - 1);
    const int nCommand = nNumber ? static_cast<int>(*nNumber) : LCommandSetTable::NumberOfName(split->words[0]);
    if (nCommand < 0)
        return CliError("no such command: " + split->words[0], 2);
    int nStatus = 1;
    if (!Call("Press", { QVariant(nCommand) }, &nStatus))
        return nStatus;
    std::this_thread::sleep_for(std::chrono::milliseconds(nHoldMs));
    if (!Call("Release", { QVariant(nCommand) }, &nStatus))
        return nStatus;
    return 0;
}

} // namespace
