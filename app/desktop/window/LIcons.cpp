#include "app/desktop/window/LIcons.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>

// Outside any namespace, as the resource's initialiser is declared.
static void InitIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace {

// Renders an SVG at the size asked for, with "currentColor" replaced by the
// palette's text colour of the moment: a palette switch repaints in the new ink.
class LTintedSvgEngine : public QIconEngine {
public:
    explicit LTintedSvgEngine(QByteArray svg)
        : m_svg(std::move(svg))
    {
    }
    QIconEngine* clone() const override { return new LTintedSvgEngine(m_svg); }
    QString key() const override { return QStringLiteral("LTintedSvgEngine"); }

    void paint(QPainter* pPainter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QSvgRenderer renderer(Tinted(mode));
        renderer.render(pPainter, QRectF(rect));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        // Coloured parts fade too when disabled, not only the ink.
        if (mode == QIcon::Disabled)
            painter.setOpacity(0.4);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        painter.end();
        return QPixmap::fromImage(image);
    }

private:
    QByteArray Tinted(QIcon::Mode mode) const
    {
        const QPalette palette = QGuiApplication::palette();
        QColor ink = palette.color(
            QPalette::Active, mode == QIcon::Selected ? QPalette::HighlightedText : QPalette::ButtonText);
        QByteArray svg = m_svg;
        return svg.replace("currentColor", ink.name(QColor::HexRgb).toLatin1());
    }

    QByteArray m_svg;
};

QByteArray ReadResource(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The theme's icon when it has one, else ours.
QIcon Themed(const char* szTheme, const char* szOwn)
{
    QIcon themed = QIcon::fromTheme(QString::fromLatin1(szTheme));
    return themed.isNull() ? LIcons::BuiltIn(szOwn) : themed;
}

} // namespace

namespace LIcons {

QIcon BuiltIn(const char* szName)
{
    static const bool bInitialised = (InitIconResources(), true);
    (void)bInitialised;
    return QIcon(new LTintedSvgEngine(ReadResource(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(szName)))));
}

QIcon AppIcon()
{
    return BuiltIn("org.orvane.Tavrine");
}

QIcon DictationIcon(bool bAttachment)
{
    return bAttachment ? Themed("mail-attachment", "dictation-attached") : Themed("audio-x-generic", "dictation");
}

QIcon GlyphIcon(Glyph glyph)
{
    switch (glyph) {
    case Glyph::Play:
        return Themed("media-playback-start", "play");
    case Glyph::Record:
        return Themed("media-record", "record");
    case Glyph::Stop:
        return Themed("media-playback-stop", "stop");
    case Glyph::GoStart:
        return Themed("media-skip-backward", "skip-backward");
    case Glyph::Rewind:
        return Themed("media-seek-backward", "seek-backward");
    case Glyph::FastForward:
        return Themed("media-seek-forward", "seek-forward");
    case Glyph::GoEnd:
        return Themed("media-skip-forward", "skip-forward");
    case Glyph::New:
        return Themed("document-new", "document-new");
    case Glyph::Send:
        return Themed("mail-send", "mail-send");
    case Glyph::Dock:
        return Themed("drive-removable-media", "dock");
    }
    return {};
}

QIcon RecordIcon(Record image)
{
    // The theme has no insert or waiting forms: those are always ours.
    switch (image) {
    case Record::Normal:
        return GlyphIcon(Glyph::Record);
    case Record::Insert:
        return BuiltIn("record-insert");
    case Record::Recording:
        return BuiltIn("record-active");
    case Record::RecordingInsert:
        return BuiltIn("record-active-insert");
    case Record::Waiting:
        return BuiltIn("record-waiting");
    case Record::WaitingInsert:
        return BuiltIn("record-waiting-insert");
    }
    return {};
}

QIcon RecordingAppIcon(bool bRecording)
{
    QPixmap pixmap = AppIcon().pixmap(64);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(bRecording ? QColor(230, 20, 20) : QColor(240, 170, 20));
    p.drawEllipse(QRectF(34, 34, 28, 28));
    return QIcon(pixmap);
}

} // namespace LIcons
