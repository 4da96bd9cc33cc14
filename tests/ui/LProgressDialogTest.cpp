#include "ui/LProgressDialog.h"
#include "QtTestApp.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <unistd.h>

namespace {

class BodyDialog : public LProgressDialog {
public:
    explicit BodyDialog(std::function<bool(BodyDialog&)> body)
        : LProgressDialog("Working")
        , m_body(std::move(body))
    {
    }
    int nRuns = 0;

protected:
    bool RunProcess() override
    {
        ++nRuns;
        return m_body(*this);
    }

private:
    std::function<bool(BodyDialog&)> m_body;
};

void ClickCancel(QDialog* pDialog)
{
    auto* pBox = pDialog->findChild<QDialogButtonBox*>();
    pBox->button(QDialogButtonBox::Cancel)->click();
}

TEST(ProgressDialog, ShowsTextAndProgressModalToItsParentWhileTheBodyRuns)
{
    TestApp();
    QWidget parent;
    parent.show();
    QString line0, line1;
    int nPercent = -1;
    bool bModal = false;
    BodyDialog dialog([&](BodyDialog& d) {
        d.SetText("Saving", 0);
        d.SetText("file.wav", 1);
        d.SetText("ignored", 2);
        d.SetProgress(0.999);
        line0 = d.GetText(0);
        line1 = d.GetText(1);
        nPercent = d.GetProgressPercent();
        bModal = d.GetDialog()->isVisible() && d.GetDialog()->windowModality() == Qt::WindowModal
            && d.GetDialog()->parentWidget() == &parent;
        return !d.Pump();
    });
    EXPECT_TRUE(dialog.Run(&parent));
    EXPECT_EQ(line0, "Saving");
    EXPECT_EQ(line1, "file.wav");
    EXPECT_EQ(nPercent, 99); // truncated, not rounded
    EXPECT_TRUE(bModal);
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_TRUE(parent.isEnabled());
    // Reports to a closed dialog are ignored.
    dialog.SetText("late", 0);
    dialog.SetProgress(0.5);
}

TEST(ProgressDialog, CancelReachesTheBodyAtItsNextPumpAndRunStaysRefused)
{
    TestApp();
    QWidget parent;
    int nStepsAfterCancel = -1;
    bool bNestedOpen = true, bNestedCancelled = true;
    BodyDialog dialog([&](BodyDialog& d) {
        bNestedOpen = d.Run(&parent);
        for (int step = 0; step < 1000 && nStepsAfterCancel < 0; ++step) {
            if (d.Pump())
                nStepsAfterCancel = step - 3;
            else if (step == 3)
                ClickCancel(d.GetDialog());
        }
        bNestedCancelled = d.Run(&parent);
        return true;
    });
    EXPECT_TRUE(dialog.Run(&parent));
    EXPECT_EQ(nStepsAfterCancel, 1);
    EXPECT_FALSE(bNestedOpen);
    EXPECT_FALSE(bNestedCancelled);
    EXPECT_EQ(dialog.nRuns, 1);
    EXPECT_FALSE(dialog.IsOpen());
}

} // namespace
