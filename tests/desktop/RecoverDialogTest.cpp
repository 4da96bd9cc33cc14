// The sent-work dialog on the offscreen platform over real sent dictations,
// the real queue and the scripted sound device.
#include "app/desktop/dialogs/RecoverDialog.h"
#include "app/desktop/dialogs/LRecoverKeys.h"
#include "dictation/LDictationList.h"
#include "foundation/LPath.h"
#include "send/LProcessListThread.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/send/TransferTestUtil.h"
#include "tests/support/ScriptedPcmBackend.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>

namespace {

namespace Keys = RecoverKeys;
using Dialog = RecoverDialog;

class RecoverDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        backend.Install();
        queue.SetListFilePath(FilePathCat(ws.engine->GetSentFolder(), "sending.dat"));
        uint8_t r = ws.Recipient();
        // Sent in the order B, C, A.
        for (auto [name, tSent] : { std::pair { "B", 1000u }, { "C", 2000u }, { "A", 3000u } }) {
            auto d = ws.Dictation(name, test::TestSignal(3000, 1));
            d->MutableHeader().tSent = tSent;
            d->MutableHeader().uSendTo = r;
            d->Save();
            d->MoveToFolder(ws.engine->GetSentFolder());
        }
    }
    std::unique_ptr<Dialog> Open(Dialog::Mode mode)
    {
        auto p = std::make_unique<Dialog>(mode, *ws.engine, queue, loop, nullptr,
            [this](const char* szTitle, const std::function<JobResult(LProgressReporter&)>& body) {
                titles.push_back(szTitle);
                LTestProgress progress;
                return body(progress);
            });
        p->show();
        PumpFor(20);
        return p;
    }
    // The rows' names in the list's order, or those selected.
    static QStringList Names(const Dialog& d, bool bSelected = false)
    {
        QStringList out;
        for (int i = 0; i < d.List()->topLevelItemCount(); ++i)
            if (!bSelected || d.List()->topLevelItem(i)->isSelected())
                out << d.List()->topLevelItem(i)->text(Dialog::kColName);
        return out;
    }
    static void ClickHeader(const Dialog& d, int nColumn)
    {
        QHeaderView* h = d.List()->header();
        QPoint at(h->sectionViewportPosition(nColumn) + 10, h->height() / 2);
        for (QEvent::Type type : { QEvent::MouseButtonPress, QEvent::MouseButtonRelease }) {
            QMouseEvent e(type, at, h->viewport()->mapToGlobal(at), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(h->viewport(), &e);
        }
    }

    transfertest::Workspace ws;
    test::ScriptedPcmBackend backend;
    LQtMainLoop loop;
    LProcessListThread queue;
    std::vector<std::string> titles;
};

TEST_F(RecoverDialogTest, SortsKeepsTheSelectionPlaysAndKeepsItsPlace)
{
    Keys::kUpdateStatusAlways.Set(false);
    Keys::kRecoverX.Set(30), Keys::kRecoverY.Set(40), Keys::kRecoverWidth.Set(500), Keys::kRecoverHeight.Set(300);
    auto d = Open(Dialog::Mode::Recover);
    EXPECT_EQ(QRect(30, 40, 500, 300), QRect(d->pos(), d->size()));
    EXPECT_EQ(QStringList({ "B", "C", "A" }), Names(*d)); // by date sent
    EXPECT_EQ(QStringList({ "A" }), Names(*d, true)) << "the last row";
    ClickHeader(*d, Dialog::kColName);
    EXPECT_EQ(QStringList({ "A", "B", "C" }), Names(*d));
    ClickHeader(*d, Dialog::kColName);
    EXPECT_EQ(QStringList({ "C", "B", "A" }), Names(*d));
    d->List()->clearSelection();
    d->List()->topLevelItem(1)->setSelected(true);
    d->FillList();
    EXPECT_EQ(QStringList({ "B" }), Names(*d, true));

    d->Button(Dialog::kIdPlay)->click();
    EXPECT_EQ("&Stop", d->Button(Dialog::kIdPlay)->text().toStdString());
    EXPECT_TRUE(PumpUntil([&] { return d->Button(Dialog::kIdPlay)->text() == "&Play"; }));
    EXPECT_GE(backend.PlaybackHeardFrames(), 3000u);

    d->move(60, 70);
    d->resize(520, 330);
    // Recovering the selected row closes the dialog and stores the placement.
    d->Button(Dialog::kIdRecover)->click();
    EXPECT_EQ(QDialog::Accepted, d->result());
    EXPECT_EQ(2u, LDictationList(ws.engine->GetSentFolder()).Count());
    EXPECT_EQ((std::vector<int> { 60, 70, 520, 330 }),
        (std::vector<int> {
            Keys::kRecoverX.Get(), Keys::kRecoverY.Get(), Keys::kRecoverWidth.Get(), Keys::kRecoverHeight.Get() }));
}

} // namespace
