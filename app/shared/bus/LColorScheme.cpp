#include "app/shared/bus/LColorScheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>

namespace {

const char kService[] = "org.freedesktop.portal.Desktop";
const char kPath[] = "/org/freedesktop/portal/desktop";
const char kInterface[] = "org.freedesktop.portal.Settings";
const char kNamespace[] = "org.freedesktop.appearance";
const char kKey[] = "color-scheme";

// Read answers a variant holding a variant (older portals) or the value.
uint32_t Unwrap(QVariant value)
{
    for (int i = 0; i < 3 && value.canConvert<QDBusVariant>(); ++i)
        value = value.value<QDBusVariant>().variant();
    bool bOk = false;
    uint32_t n = value.toUInt(&bOk);
    return bOk && n <= LColorScheme::kLight ? n : LColorScheme::kNoPreference;
}

// The program's style over the platform's (Fusion on a dark palette).
// Fusion outlines check boxes and radio buttons in the window colour
// darkened, which vanishes on a dark window, and shades a checked button
// (Play while playing) a hair darker than the rest. Those are drawn with a
// grey window behind the indicators and a blue-grey button.
class LDarkFusionStyle : public QProxyStyle {
public:
    // Null: the platform's own style.
    explicit LDarkFusionStyle(QStyle* pBase)
        : QProxyStyle(pBase)
    {
    }
    int styleHint(
        StyleHint hint, const QStyleOption* pOption, const QWidget* pWidget, QStyleHintReturn* pReturn) const override
    {
        // Qt's generic theme, in force where no desktop theme is loaded, puts
        // icons on OK and Cancel; GNOME's theme does not, and a desktop whose
        // theme owns the look (KDE) says for itself.
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons && !LColorScheme::ThemeOwnsPalette())
            return 0;
        return QProxyStyle::styleHint(hint, pOption, pWidget, pReturn);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* pOption, QPainter* pPainter,
        const QWidget* pWidget) const override
    {
        const bool bDark = pOption && pOption->palette.window().color().lightness() < 128;
        const bool bIndicator = element == PE_IndicatorCheckBox || element == PE_IndicatorRadioButton;
        const bool bChecked = (element == PE_PanelButtonCommand || element == PE_PanelButtonTool) && pOption
            && (pOption->state & State_On);
        if (bDark && bIndicator)
            return Draw(element, pOption, QPalette::Window, QColor(150, 150, 150), pPainter, pWidget);
        if (bDark && bChecked)
            return Draw(element, pOption, QPalette::Button, QColor(40, 78, 125), pPainter, pWidget);
        QProxyStyle::drawPrimitive(element, pOption, pPainter, pWidget);
    }

private:
    // The option copied whole (its own type) with one colour changed.
    template <typename T>
    bool DrawAs(PrimitiveElement element, const QStyleOption* pOption, QPalette::ColorRole role, const QColor& color,
        QPainter* pPainter, const QWidget* pWidget) const
    {
        const auto* pTyped = qstyleoption_cast<const T*>(pOption);
        if (!pTyped)
            return false;
        T copy(*pTyped);
        copy.palette.setColor(role, color);
        QProxyStyle::drawPrimitive(element, &copy, pPainter, pWidget);
        return true;
    }
    void Draw(PrimitiveElement element, const QStyleOption* pOption, QPalette::ColorRole role, const QColor& color,
        QPainter* pPainter, const QWidget* pWidget) const
    {
        if (!DrawAs<QStyleOptionButton>(element, pOption, role, color, pPainter, pWidget)
            && !DrawAs<QStyleOptionToolButton>(element, pOption, role, color, pPainter, pWidget))
            DrawAs<QStyleOption>(element, pOption, role, color, pPainter, pWidget);
    }
};

} // namespace

LColorScheme::LColorScheme(QObject* pParent)
    : QObject(pParent)
{
    if (!dynamic_cast<LDarkFusionStyle*>(QApplication::style()))
        QApplication::setStyle(new LDarkFusionStyle(nullptr));
}

bool LColorScheme::ThemeOwnsPalette()
{
    // The GTK and portal themes of Qt 6.4 bring dialogs, not a palette.
    const QString theme = qEnvironmentVariable("QT_QPA_PLATFORMTHEME").section(QChar(':'), 0, 0);
    if (!theme.isEmpty())
        return theme != QLatin1String("gtk3") && theme != QLatin1String("xdgdesktopportal")
            && theme != QLatin1String("flatpak") && theme != QLatin1String("snap");
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("KDE"), Qt::CaseInsensitive);
}

bool LColorScheme::Follow()
{
    if (ThemeOwnsPalette())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface), QStringLiteral("Read"));
    call.setArguments({ QLatin1String(kNamespace), QLatin1String(kKey) });
    // A portal that is slow to start must not hold up the window for long.
    QDBusMessage reply = bus.call(call, QDBus::Block, 1000);
    bus.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
        QStringLiteral("SettingChanged"), this, SLOT(OnSettingChanged(QString, QString, QDBusVariant)));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    m_nScheme = Unwrap(reply.arguments().first());
    Apply(m_nScheme);
    return true;
}

void LColorScheme::OnSettingChanged(const QString& nameSpace, const QString& key, const QDBusVariant& value)
{
    if (nameSpace != QLatin1String(kNamespace) || key != QLatin1String(kKey))
        return;
    const uint32_t nScheme = Unwrap(QVariant::fromValue(value));
    if (nScheme == m_nScheme)
        return;
    m_nScheme = nScheme;
    Apply(nScheme);
}

void LColorScheme::Apply(uint32_t nScheme)
{
    if (nScheme == kDark) {
        // Fusion draws everything from the palette; other styles may not.
        auto* pStyle = dynamic_cast<LDarkFusionStyle*>(QApplication::style());
        if (!pStyle || pStyle->baseStyle()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
            QApplication::setStyle(new LDarkFusionStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
        QApplication::setPalette(DarkPalette());
    } else {
        QApplication::setPalette(QApplication::style()->standardPalette());
    }
}

QPalette LColorScheme::DarkPalette()
{
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 32);
    const QColor text(232, 232, 232);
    const QColor disabled(128, 128, 128);
    const QColor highlight(53, 132, 228);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(40, 40, 43));
    p.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(58, 58, 62));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 90, 90));
    p.setColor(QPalette::Light, QColor(88, 88, 92));
    p.setColor(QPalette::Midlight, QColor(70, 70, 74));
    p.setColor(QPalette::Mid, QColor(64, 64, 68));
    p.setColor(QPalette::Dark, QColor(25, 25, 27));
    p.setColor(QPalette::Shadow, QColor(10, 10, 10));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(120, 170, 255));
    p.setColor(QPalette::LinkVisited, QColor(170, 140, 255));
    for (QPalette::ColorRole role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 84));
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    return p;
}
