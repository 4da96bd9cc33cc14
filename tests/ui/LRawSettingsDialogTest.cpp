#include "ui/LRawSettingsDialog.h"
#include "QtTestApp.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

// Clicks the dialog's button once its event loop runs; a message box that
// opens meanwhile is read and closed first.
void Click(LRawSettingsDialog& dialog, QDialogButtonBox::StandardButton button, QString* pMessage)
{
    QTimer::singleShot(0, &dialog, [&dialog, button, pMessage] {
        QTimer::singleShot(0, [pMessage] {
            if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                *pMessage = pBox->text();
                pBox->close();
            }
        });
        dialog.findChild<QDialogButtonBox*>()->button(button)->click();
    });
}

TEST(RawSettingsDialog, RefusesARateOutsideTheRangeAndGivesWhatWasChosen)
{
    TestApp();
    LRawSettingsDialog dialog(nullptr, LRawSettings { 8000, 1, 0 });
    EXPECT_EQ(dialog.CodecList()->itemText(6), "16 bit PCM (BE)");
    dialog.RateField()->setCurrentText("5999");
    dialog.ChannelList()->setCurrentIndex(1);
    QString message;
    Click(dialog, QDialogButtonBox::Ok, &message);
    QTimer::singleShot(50, &dialog, [&] { // still open after the message: now a good rate
        EXPECT_TRUE(dialog.isVisible());
        dialog.RateField()->setCurrentText("22050");
        dialog.CodecList()->setCurrentIndex(6);
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(message, "Please enter a sample rate between 6000 and 196000.");
    const LRawSettings chosen = dialog.Settings();
    EXPECT_EQ(chosen.nSampleRate, 22050);
    EXPECT_EQ(chosen.nChannels, 2);
    EXPECT_EQ(chosen.nCodec, 6u);

    LRawSettingsDialog cancelled(nullptr, chosen);
    Click(cancelled, QDialogButtonBox::Cancel, &message);
    EXPECT_EQ(cancelled.exec(), QDialog::Rejected);
}

} // namespace
