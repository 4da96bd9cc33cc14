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

// Beyond either end the limits; a track of no width gives an end, not a division by zero.
TEST(DBEdit, PositionsAcrossTheTrackCoverTheRange)
{
    const struct {
        int x, width, min, max, value;
    } cases[] = { { 0, 96, -36, 12, -36 }, { 48, 96, -36, 12, -12 }, { 96, 96, -36, 12, 12 },
        { -500, 96, -36, 12, -36 }, { 5000, 96, -36, 12, 12 }, { 127, 254, -127, 127, 0 }, { 0, 0, -36, 12, -36 },
        { 10, 0, -36, 12, 12 }, { -3, -5, -36, 12, -36 } };
    for (const auto& c : cases)
        EXPECT_EQ(LDBEdit::ValueAt(c.x, c.width, c.min, c.max), c.value) << c.x << " of " << c.width;
    TestApp();
    LDBEdit edit;
    edit.resize(edit.TrackLeft() + 4, 20); // narrower than the thumb
    ASSERT_EQ(edit.TrackWidth(), 0);
    Mouse(edit, QEvent::MouseButtonPress, edit.TrackLeft() + 8);
    Mouse(edit, QEvent::MouseButtonRelease, edit.TrackLeft() + 8);
    EXPECT_EQ(edit.GetValue(), 12);
    edit.grab(); // paints without dividing by the track either
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

TEST(DBEdit, KeypadKeysStepOnlyWithoutTextBox)
{
    TestApp();
    LDBEdit plain(nullptr, 0x8);
    EXPECT_FALSE(plain.HasTextBox());
    plain.SetValue(0);
    QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::KeypadModifier, "+");
    QApplication::sendEvent(&plain, &plus);
    EXPECT_EQ(plain.GetValue(), 1);
    QKeyEvent minus(QEvent::KeyPress, Qt::Key_Minus, Qt::KeypadModifier, "-");
    QApplication::sendEvent(&plain, &minus);
    QApplication::sendEvent(&plain, &minus);
    EXPECT_EQ(plain.GetValue(), -1);
    // Without a text box the track starts at the left edge.
    plain.resize(LDBEdit::kThumbWidth + 48, 20);
    Mouse(plain, QEvent::MouseButtonPress, 0);
    Mouse(plain, QEvent::MouseButtonRelease, 0);
    EXPECT_EQ(plain.GetValue(), -36);

    LDBEdit boxed;
    boxed.SetValue(0);
    QApplication::sendEvent(&boxed, &plus);
    EXPECT_EQ(boxed.GetValue(), 0);
}

} // namespace
