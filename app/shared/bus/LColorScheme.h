// Follows the desktop's light or dark choice. Qt 6.4 has no colour-scheme
// hint, so where no platform theme supplies the palette, the desktop portal's
// "color-scheme" setting is read at start and watched on the session bus, and
// a dark choice gets Fusion's widgets with a dark palette. GUI thread; one
// object for the life of the program.
#pragma once

#include <QObject>
#include <QPalette>

class QDBusVariant;

class LColorScheme : public QObject {
    Q_OBJECT
public:
    // The portal's values.
    enum Scheme : uint32_t { kNoPreference = 0, kDark = 1, kLight = 2 };

    explicit LColorScheme(QObject* pParent = nullptr);

    // Reads the portal and keeps following it; false (nothing changed) when
    // a platform theme owns the palette or no portal answers.
    bool Follow();
    uint32_t Current() const { return m_nScheme; }

    // Sets the application's palette for a scheme: dark, or the style's own.
    static void Apply(uint32_t nScheme);
    static QPalette DarkPalette();
    // A platform theme (KDE's, qt6ct, ...) that brings its own palette and
    // follows the desktop itself.
    static bool ThemeOwnsPalette();

private slots:
    void OnSettingChanged(const QString& nameSpace, const QString& key, const QDBusVariant& value);

private:
    uint32_t m_nScheme = kNoPreference;
};
