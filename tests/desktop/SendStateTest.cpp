// What the dictator is told of sends: the Status column of the main list and
// of Sent Work, the queue's length, the recorder's state beside the time,
// and the desktop notification through a notification service of the
// test's own on a private session bus.
#include "app/desktop/dialogs/RecoverDialog.h"
#include "app/desktop/session/LDesktopNotifier.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/window/LStatusArea.h"
#include "app/desktop/window/LTransportBar.h"
#include "foundation/LPath.h"
#include "send/ProcessSendDictation.h"
#include "tests/desktop/DesktopFixture.h"

#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QLabel>
#include <QStatusBar>

namespace {

// The recorder's state beside the time, and what a dictation handed back says.
TEST(SendStateText, RecordStateAndFailedSendStatus)
{
    EXPECT_EQ(LTransportBar::RecordStateText(false, false, 1), "");
    EXPECT_EQ(LTransportBar::RecordStateText(false, true, 0), "Recording - Append");
    EXPECT_EQ(LTransportBar::RecordStateText(false, true, 1), "Recording - Insert");
    EXPECT_EQ(LTransportBar::RecordStateText(true, false, 2), "Waiting for voice - Overwrite");
    EXPECT_EQ(FailedSendStatus("The dictation \"A\" was not sent: it names no recipient."),
        "Not sent: it names no recipient.");
    EXPECT_EQ(FailedSendStatus("Could not connect"), "Not sent: Could not connect");
}

// The real queue works a send that fails fast: the "Sending" box has closed
// before the error opens, the dictation is then listed once with why in its
// Status column, the error is shown once, and since the window was not
// active the desktop is told too.
TEST_F(DesktopTest, FailedSendShowsWhyInTheListAndTellsTheDesktop)
{
    uint8_t uSendTo = 0;
    ASSERT_EQ(LDictationEngineSettings::AddSendTo(
                  "Nowhere", { { "SendMethod", "2" }, { "Folder", env.Dir().File("gone") } }, &uSendTo),
        LDictationEngineSettings::AddSendToResult::Added);
    Make("Outgoing", 0, 50, 1);
    LSendQueue sendQueue;
    LDesktopApp desktop(*engine, loop, &sendQueue);
    MainDialog& window = desktop.Window();
    // The list as the window reads it on opening; the window stays in the background.
    desktop.Session().Rebuild();
    window.List()->topLevelItem(0)->setSelected(true);
    std::vector<QString> errors, notices;
    std::vector<std::string> seenWithError;
    window.StatusArea().SetErrorBox([&](const QString& text) {
        errors.push_back(text);
        std::string seen;
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            if (pWidget->isVisible() && pWidget->windowTitle() == "Sending")
                seen += "Sending box open;";
        for (int i = 0; i < window.List()->topLevelItemCount(); ++i)
            seen += window.List()->topLevelItem(i)->text(LDictationListView::kColName).toStdString() + ";";
        seenWithError.push_back(seen);
    });
    desktop.SetSendNotice([&](const QString& name, const QString& status, bool bDelivered) {
        notices.push_back(name + "|" + (status.isEmpty() ? "" : "why") + "|" + (bDelivered ? "sent" : "failed"));
    });
    desktop.Router().Trigger(LCommandId::kSend);
    ASSERT_TRUE(PumpUntil([&] { return !errors.empty() && !notices.empty(); }, 10000));
    PumpFor(100);
    EXPECT_EQ(seenWithError, std::vector<std::string> { "Outgoing;" });
    ASSERT_EQ(window.List()->topLevelItemCount(), 1);
    EXPECT_TRUE(window.List()->topLevelItem(0)->text(LDictationListView::kColStatus).startsWith("Not sent: "));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(notices, (std::vector<QString> { "|why|failed" }));
}

// Sent Work over the real queue file: the head job sending, one waiting,
// one delivered, one the typist reported on; the status bar counts the
// queue, and a job that ends shows the status it left.
TEST_F(DesktopTest, SentWorkShowsEachDictationsState)
{
    const std::string sent = engine->GetSentFolder();
    LProcessListThread sendQueue; // no job runner: the file is kept, not worked
    sendQueue.SetListFilePath(FilePathCat(sent, "sending.dat"));
    std::map<QString, std::string> paths;
    for (auto [name, status] :
        { std::pair { "Head", "" }, { "Next", "" }, { "Mailed", "Emailed" }, { "Done", "Typed" } }) {
        LDictation d(sent, name);
        ASSERT_TRUE(d.IsValid());
        d.SetSendStatus(status);
        paths[name] = d.GetPath();
    }
    SendJobItem head, next;
    ASSERT_TRUE(SendJobItem::MakeSendJob(paths["Head"], &head) && SendJobItem::MakeSendJob(paths["Next"], &next));
    ASSERT_TRUE(sendQueue.Add(head) && sendQueue.Add(next));
    sendQueue.Status().SetText("Uploading", 0);
    sendQueue.Status().SetOverallProgress(0.456);
    RecoverDialog dialog(RecoverDialog::Mode::View, *engine, sendQueue, loop, nullptr,
        [](const char*, const std::function<JobResult(LProgressReporter&)>&) { return JobResult::kDone; });
    auto shown = [&] {
        std::map<std::string, std::string> out;
        for (int i = 0; i < dialog.List()->topLevelItemCount(); ++i)
            out[dialog.List()->topLevelItem(i)->text(RecoverDialog::kColName).toStdString()]
                = dialog.List()->topLevelItem(i)->text(RecoverDialog::kColStatus).toStdString();
        return out;
    };
    dialog.ShowQueueStates();
    EXPECT_EQ(shown(),
        (std::map<std::string, std::string> { { "Head", "Sending 45%" }, { "Next", "Waiting to be sent" },
            { "Mailed", "Emailed" }, { "Done", "Typed" } }));
    QLabel* pLength = dialog.StatusBar()->findChild<QLabel*>();
    ASSERT_NE(pLength, nullptr);
    EXPECT_EQ(pLength->text(), "2 dictations waiting to be sent");

    LDictation(paths["Head"]).SetSendStatus("Uploaded");
    ASSERT_TRUE(sendQueue.Remove(head));
    dialog.ShowQueueStates();
    EXPECT_EQ(shown()["Head"], "Uploaded");
    EXPECT_EQ(pLength->text(), "1 dictation waiting to be sent");
}

// Stands in for the desktop's notification server: records each Notify.
class FakeNotifications : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != "Notify")
            return false;
        calls.push_back(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(uint32_t(calls.size()))));
        return true;
    }
    std::vector<QList<QVariant>> calls;
};

// Needs a session bus of its own: the ctest entry runs it under dbus-run-session.
TEST_F(DesktopTest, DesktopNotifierCallsTheNotificationService)
{
    if (qEnvironmentVariable("TAVRINE_PRIVATE_BUS") != "1")
        GTEST_SKIP() << "runs only on a private session bus (ctest desktop_notifications_private_bus)";
    LDesktopNotifier notifier;
    // No server yet: nothing is sent, and nothing fails.
    EXPECT_FALSE(notifier.NotifySend("A", "Emailed", true));

    QDBusConnection server = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-notifications");
    FakeNotifications fake;
    ASSERT_TRUE(server.registerVirtualObject("/org/freedesktop/Notifications", &fake));
    ASSERT_TRUE(server.registerService(LDesktopNotifier::kService));
    ASSERT_TRUE(notifier.NotifySend("A", "Emailed", true));
    ASSERT_TRUE(PumpUntil([&] { return notifier.LastId() == 1; }));
    ASSERT_TRUE(notifier.NotifySend("B", "Not sent: no route", false));
    ASSERT_TRUE(PumpUntil([&] { return fake.calls.size() == 2; }));
    const QList<QVariant>& first = fake.calls[0];
    ASSERT_EQ(first.size(), 8);
    EXPECT_EQ(first[0].toString(), "Tavrine Dictate");
    EXPECT_EQ(first[1].toUInt(), 0u);
    EXPECT_EQ(first[3].toString(), "Dictation sent");
    EXPECT_EQ(first[4].toString(), "\"A\": Emailed");
    // The second replaces the first bubble, by the id the server gave.
    EXPECT_EQ(fake.calls[1][1].toUInt(), 1u);
    EXPECT_EQ(fake.calls[1][3].toString(), "Dictation not sent");
    server.unregisterService(LDesktopNotifier::kService);
    QDBusConnection::disconnectFromBus("fake-notifications");
}

} // namespace
