#include "app/desktop/window/LIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

QIcon PaintIcon(int nSize, const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(nSize / 16.0, nSize / 16.0);
    draw(painter);
    return QIcon(pixmap);
}

} // namespace

namespace LIcons {

QIcon AppIcon()
{
    QIcon icon;
    for (int nSize : { 16, 32, 64 })
        icon.addPixmap(PaintIcon(nSize, [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(31, 95, 139));
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
            p.setBrush(QColor(242, 242, 242));
            p.drawRoundedRect(QRectF(5.75, 2.5, 4.5, 7.5), 2.25, 2.25);
            p.setPen(QPen(QColor(242, 242, 242), 1));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(4, 3.5, 8, 8), 180 * 16, 180 * 16);
            p.drawLine(QPointF(8, 11.5), QPointF(8, 13.5));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(224, 58, 58));
            p.drawEllipse(QRectF(10.5, 2.5, 3, 3));
        }).pixmap(nSize));
    return icon;
}

QIcon DictationIcon(bool bAttachment)
{
    return PaintIcon(16, [bAttachment](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(QColor(250, 250, 245));
        p.drawRect(QRectF(2.5, 1.5, 10, 13));
        p.setPen(QPen(QColor(31, 95, 139), 1.2));
        for (double y = 5; y < 13; y += 2.5)
            p.drawLine(QPointF(4.5, y), QPointF(10.5, y));
        if (bAttachment) {
            p.setPen(QPen(QColor(200, 40, 40), 1.6));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(10, 6, 4.5, 9), 2, 2);
        }
    });
}

QIcon GlyphIcon(Glyph glyph)
{
    return PaintIcon(32, [glyph](QPainter& p) {
        QColor ink(40, 40, 40);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        auto triangle = [&](double x, double dir) {
            QPainterPath path;
            path.moveTo(x, 4);
            path.lineTo(x + 6 * dir, 8);
            path.lineTo(x, 12);
            path.closeSubpath();
            p.drawPath(path);
        };
        switch (glyph) {
        case Glyph::Play:
            triangle(5, 1.3);
            break;
        case Glyph::Record:
            p.setBrush(QColor(210, 30, 30));
            p.drawEllipse(QRectF(4, 4, 8, 8));
            break;
        case Glyph::Stop:
            p.drawRect(QRectF(4.5, 4.5, 7, 7));
            break;
        case Glyph::GoStart:
            p.drawRect(QRectF(3, 4, 1.5, 8));
            triangle(11, -1);
            break;
        case Glyph::Rewind:
            triangle(8, -1);
            triangle(13, -1);
            break;
        case Glyph::FastForward:
            triangle(3, 1);
            triangle(8, 1);
            break;
        case Glyph::GoEnd:
            triangle(5, 1);
            p.drawRect(QRectF(11.5, 4, 1.5, 8));
            break;
        case Glyph::New:
            p.setPen(QPen(ink, 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(3.5, 1.5, 9, 13));
            p.setPen(QPen(QColor(31, 140, 60), 2));
            p.drawLine(QPointF(8, 5), QPointF(8, 11));
            p.drawLine(QPointF(5, 8), QPointF(11, 8));
            break;
        case Glyph::Send: {
            p.setBrush(QColor(31, 95, 139));
            QPainterPath path;
            path.moveTo(1.5, 7);
            path.lineTo(14.5, 2);
            path.lineTo(10, 14);
            path.lineTo(7.5, 9);
            path.closeSubpath();
            p.drawPath(path);
            break;
        }
        case Glyph::Dock:
            p.drawRoundedRect(QRectF(5, 1.5, 6, 10), 1.5, 1.5);
            p.drawRect(QRectF(2, 12, 12, 2.5));
            break;
        }
    });
}

QIcon RecordIcon(Record image)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    const bool bWaiting = image == Record::Waiting || image == Record::WaitingInsert;
    const bool bActive = image != Record::Normal && image != Record::Insert;
    const bool bInsert = image == Record::Insert || image == Record::RecordingInsert || image == Record::WaitingInsert;
    QColor red = bActive ? QColor(240, 20, 20) : QColor(210, 30, 30);
    if (bWaiting) {
        p.setPen(QPen(red, 1.6));
        p.setBrush(Qt::NoBrush);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(red);
    }
    p.drawEllipse(QRectF(4, 4, 8, 8));
    if (bInsert) {
        // The caret of a text insertion point beside the dot.
        p.setPen(QPen(QColor(40, 40, 40), 1.4));
        p.drawLine(QPointF(14, 3), QPointF(14, 13));
    }
    return QIcon(pixmap);
}

QIcon RecordingAppIcon(bool bRecording)
{
    QIcon icon = AppIcon();
    QPixmap pixmap = icon.pixmap(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(bRecording ? QColor(230, 20, 20) : QColor(240, 170, 20));
    p.drawEllipse(QRectF(17, 17, 14, 14));
    return QIcon(pixmap);
}

} // namespace LIcons
