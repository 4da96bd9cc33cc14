#include "ui/LDBDisplay.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {

// Two shades per colour in 2-pixel columns, so a bar reads as segments.
QBrush MakePattern(QColor bright, QColor dark)
{
    QPixmap pattern(4, 4);
    QPainter painter(&pattern);
    painter.fillRect(0, 0, 3, 4, bright);
    painter.fillRect(3, 0, 1, 4, dark);
    return QBrush(pattern);
}

} // namespace

LDBDisplay::LDBDisplay(QWidget* parent)
    : QWidget(parent)
    , m_green(MakePattern(QColor(0, 230, 0), QColor(0, 120, 0)))
    , m_red(MakePattern(QColor(240, 0, 0), QColor(130, 0, 0)))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(24, 6);
}

int LDBDisplay::GetLevel(int nChannel) const
{
    if (nChannel < 0 || nChannel >= GetChannelCount())
        return kMinDB;
    return m_levels[static_cast<size_t>(nChannel)];
}

int LDBDisplay::BarEnd(int nLevel, int nWidth)
{
    int nSpan = kMaxDB - kMinDB;
    return (std::clamp(nLevel, kMinDB, kMaxDB) - kMinDB) * (nWidth - 1) / nSpan;
}

QRect LDBDisplay::BandRect(int nChannel) const
{
    int n = GetChannelCount();
    int h = height();
    if (n <= 0)
        return rect();
    int top = nChannel * (h - 1) / n;
    int bottom = (nChannel + 1) * (h - 1) / n;
    return QRect(0, top, width(), bottom - top);
}

void LDBDisplay::SetLevels(const int8_t* pLevels, int nChannels)
{
    nChannels = std::max(nChannels, 0);
    if (nChannels != GetChannelCount()) {
        m_levels.assign(static_cast<size_t>(nChannels), kMinDB);
        for (int i = 0; i < nChannels; ++i)
            m_levels[static_cast<size_t>(i)] = pLevels ? std::clamp<int>(pLevels[i], kMinDB, kMaxDB) : kMinDB;
        update();
        return;
    }
    for (int i = 0; i < nChannels; ++i) {
        int nNew = std::clamp<int>(pLevels[i], kMinDB, kMaxDB);
        int& nOld = m_levels[static_cast<size_t>(i)];
        if (nNew == nOld)
            continue;
        int x1 = BarEnd(nOld, width());
        int x2 = BarEnd(nNew, width());
        nOld = nNew;
        QRect band = BandRect(i);
        update(QRect(std::min(x1, x2), band.top(), std::abs(x2 - x1) + 1, band.height()));
    }
}

void LDBDisplay::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(this);
    int w = width();
    int h = height();
    int n = GetChannelCount();
    if (n == 0 || !isEnabled()) {
        painter.fillRect(rect(), palette().color(QPalette::Mid));
        return;
    }
    int x0 = BarEnd(0, w);
    bool bReachesBottom = false;
    for (int i = 0; i < n; ++i) {
        QRect band = BandRect(i);
        if (!band.intersects(pEvent->rect()))
            continue;
        int nLevel = m_levels[static_cast<size_t>(i)];
        int x = BarEnd(nLevel, w);
        // Patterns start at the band's top so both bands look alike.
        m_green.setTransform(QTransform::fromTranslate(0, band.top()));
        m_red.setTransform(QTransform::fromTranslate(0, band.top()));
        painter.fillRect(QRect(0, band.top(), std::min(x, x0), band.height()), m_green);
        if (nLevel > 0)
            painter.fillRect(QRect(x0, band.top(), x - x0, band.height()), m_red);
        painter.fillRect(QRect(x, band.top(), w - x, band.height()), palette().color(QPalette::Base));
        if (band.bottom() + 1 >= h - 1)
            bReachesBottom = true;
    }
    if (bReachesBottom || pEvent->rect().bottom() >= h - 1) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(0, h - 1, w - 1, h - 1);
        painter.drawLine(w - 1, h - 1, w - 1, 0);
    }
}
