#include "ui/LDBDisplay.h"
#include "QtTestApp.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

enum class Shade { Green, Red, Black, White, Gray, Other };

Shade ShadeOf(QRgb c)
{
    int r = qRed(c), g = qGreen(c), b = qBlue(c);
    if (r > 200 && g > 200 && b > 200)
        return Shade::White;
    if (r < 20 && g < 20 && b < 20)
        return Shade::Black;
    if (g > 80 && r < 40 && b < 40)
        return Shade::Green;
    if (r > 80 && g < 40 && b < 40)
        return Shade::Red;
    if (std::abs(r - g) < 10 && std::abs(g - b) < 10)
        return Shade::Gray;
    return Shade::Other;
}

// Width 97 puts 0 dB at column 72 and every 2 dB on a whole column.
class DBDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { display.resize(97, 41); }
    QImage Render() { return display.grab().toImage(); }
    void Set(std::initializer_list<int8_t> levels)
    {
        std::vector<int8_t> v(levels);
        display.SetLevels(v.data(), static_cast<int>(v.size()));
    }
    QApplication& app = TestApp();
    LDBDisplay display;
};

TEST_F(DBDisplayTest, ScaleRunsFromMinus36ToPlus12WithZeroAtThreeQuarters)
{
    Set({ -12 });
    QImage image = Render();
    int y = 10;
    // -12 dB ends at (24 / 48) of the 96 usable columns.
    EXPECT_EQ(ShadeOf(image.pixel(0, y)), Shade::Green);
    EXPECT_EQ(ShadeOf(image.pixel(47, y)), Shade::Green);
    EXPECT_EQ(ShadeOf(image.pixel(48, y)), Shade::Black);
    EXPECT_EQ(ShadeOf(image.pixel(95, y)), Shade::Black);

    Set({ 6 });
    image = Render();
    EXPECT_EQ(ShadeOf(image.pixel(71, y)), Shade::Green);
    EXPECT_EQ(ShadeOf(image.pixel(72, y)), Shade::Red);
    EXPECT_EQ(ShadeOf(image.pixel(83, y)), Shade::Red);
    EXPECT_EQ(ShadeOf(image.pixel(84, y)), Shade::Black);
}

TEST_F(DBDisplayTest, LevelsBeyondTheScaleShowFullOrEmpty)
{
    Set({ 20 });
    EXPECT_EQ(display.GetLevel(0), 12);
    QImage image = Render();
    for (int x = 0; x < 72; ++x)
        ASSERT_EQ(ShadeOf(image.pixel(x, 5)), Shade::Green) << x;
    for (int x = 72; x < 96; ++x)
        ASSERT_EQ(ShadeOf(image.pixel(x, 5)), Shade::Red) << x;

    Set({ -60 });
    image = Render();
    for (int x = 0; x < 96; ++x)
        ASSERT_EQ(ShadeOf(image.pixel(x, 5)), Shade::Black) << x;
}

TEST_F(DBDisplayTest, FrameLineAlongTheBottomAndUpTheRight)
{
    Set({ 0 });
    QImage image = Render();
    for (int x = 0; x < 97; ++x)
        ASSERT_EQ(ShadeOf(image.pixel(x, 40)), Shade::White) << x;
    for (int y = 0; y < 41; ++y)
        ASSERT_EQ(ShadeOf(image.pixel(96, y)), Shade::White) << y;
}

TEST_F(DBDisplayTest, StereoDrawsTwoBandsOfEqualHeight)
{
    LChannelLevels levels;
    levels.nCount = 2;
    levels.Set(0, 0);
    levels.Set(1, -100);
    display.SetLevels(levels);
    QImage image = Render();
    // Rows 0..19 are the left channel, 20..39 the right.
    for (int y = 0; y < 20; ++y)
        ASSERT_EQ(ShadeOf(image.pixel(30, y)), Shade::Green) << y;
    for (int y = 20; y < 40; ++y)
        ASSERT_EQ(ShadeOf(image.pixel(30, y)), Shade::Black) << y;

    // A later partial update of one channel leaves the other as it was.
    Set({ -36, 12 });
    image = Render();
    EXPECT_EQ(ShadeOf(image.pixel(30, 10)), Shade::Black);
    EXPECT_EQ(ShadeOf(image.pixel(90, 30)), Shade::Red);
}

TEST_F(DBDisplayTest, NoChannelsOrDisabledShowsGray)
{
    QImage image = Render();
    EXPECT_EQ(ShadeOf(image.pixel(40, 20)), Shade::Gray);
    Set({ 12 });
    display.setEnabled(false);
    image = Render();
    EXPECT_EQ(ShadeOf(image.pixel(40, 20)), Shade::Gray);
    EXPECT_EQ(ShadeOf(image.pixel(96, 40)), Shade::Gray);
}

} // namespace
