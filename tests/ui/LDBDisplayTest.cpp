#include "ui/LDBDisplay.h"
#include "QtTestApp.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

// G green, R red, K black, W white, S gray (a shade without colour), ? other.
char ShadeOf(QRgb c)
{
    int r = qRed(c), g = qGreen(c), b = qBlue(c);
    if (r > 200 && g > 200 && b > 200)
        return 'W';
    if (r < 20 && g < 20 && b < 20)
        return 'K';
    if (g > 80 && r < 40 && b < 40)
        return 'G';
    if (r > 80 && g < 40 && b < 40)
        return 'R';
    if (std::abs(r - g) < 10 && std::abs(g - b) < 10)
        return 'S';
    return '?';
}

// The shades along row y from column x0 to x1 (or down column x0 when bColumn).
std::string Shades(const QImage& image, int x0, int x1, int y, bool bColumn = false)
{
    std::string out;
    for (int i = x0; i < x1; ++i)
        out += ShadeOf(bColumn ? image.pixel(y, i) : image.pixel(i, y));
    return out;
}

// The meter draws its empty scale, frame and idle face in these roles.
QPalette Roles()
{
    QPalette palette;
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Mid, Qt::gray);
    return palette;
}

// Width 97 puts -36 dB at column 0, 0 dB at column 72 and every 2 dB on a whole
// column; the last column and the last row are the frame.
TEST(DBDisplay, LevelsDrawAlongTheScaleAndClampAtItsEnds)
{
    TestApp();
    const struct {
        int8_t nLevel;
        int nGreen, nRed; // columns of each, the rest black up to column 96
    } cases[] = { { -12, 48, 0 }, { 6, 72, 12 }, { 2, 72, 4 }, { 0, 72, 0 }, { 20, 72, 24 }, { -60, 0, 0 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.nLevel));
        LDBDisplay display;
        display.setPalette(Roles());
        display.resize(97, 41);
        display.SetLevels(&c.nLevel, 1);
        const QImage image = display.grab().toImage();
        EXPECT_EQ(Shades(image, 0, 96, 5),
            std::string(c.nGreen, 'G') + std::string(c.nRed, 'R') + std::string(96 - c.nGreen - c.nRed, 'K'));
        EXPECT_EQ(Shades(image, 0, 97, 40), std::string(97, 'W'));
        EXPECT_EQ(Shades(image, 0, 41, 96, true), std::string(41, 'W'));
    }
}

} // namespace
