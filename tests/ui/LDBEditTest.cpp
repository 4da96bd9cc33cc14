#include "ui/LDBEdit.h"
#include "QtTestApp.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace {

void Mouse(QWidget& w, QEvent::Type type, int x)
{
    QPointF pos(x, w.height() / 2);
    Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, w.mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

TEST(DBEdit, TextFollowsTheValueAndShowsSilence)
{
    TestApp();
    LDBEdit edit;
    auto* pText = edit.findChild<QLineEdit*>();
    ASSERT_NE(pText, nullptr);
    edit.SetValue(-7);
    EXPECT_EQ(pText->text(), "-7dB");
    edit.SetValue(40);
    EXPECT_EQ(edit.GetValue(), 12);
    EXPECT_EQ(pText->text(), "12dB");
    edit.SetRange(127, -127);
    edit.SetValue(-200);
    EXPECT_EQ(edit.GetValue(), -127);
    EXPECT_EQ(pText->text(), "--dB");
    // The widest value fits whole, minus sign included.
    edit.resize(160, 22);
    edit.show(); // delivers the resize that places the box
    edit.SetValue(-126);
    EXPECT_LE(pText->fontMetrics().horizontalAdvance(pText->text()) + 4, pText->width());
}

TEST(DBEdit, DraggingPastTheEndsGivesTheLimitsAndNotifiesOnRelease)
{
    TestApp();
    LDBEdit edit;
    edit.resize(edit.TrackLeft() + LDBEdit::kThumbWidth + 96, 20);
    std::vector<int> notified;
    QObject::connect(&edit, &LDBEdit::Changed, [&](int v) { notified.push_back(v); });
    Mouse(edit, QEvent::MouseButtonPress, edit.TrackLeft() + 48);
    EXPECT_EQ(edit.GetValue(), -12);
    Mouse(edit, QEvent::MouseMove, -300);
    EXPECT_EQ(edit.GetValue(), -36);
    EXPECT_TRUE(notified.empty());
    Mouse(edit, QEvent::MouseMove, 3000);
    Mouse(edit, QEvent::MouseButtonRelease, 3000);
    EXPECT_EQ(edit.GetValue(), 12);
    EXPECT_EQ(notified, std::vector<int> { 12 });
}

} // namespace
