// The decibel slider of the settings pages: a track with a 12-pixel thumb and,
// unless the style says otherwise, a small box showing the value. Lives on the
// window's thread.
#pragma once

#include <QWidget>

class QLineEdit;

class LDBEdit : public QWidget {
    Q_OBJECT
public:
    // Any of these style bits leaves out the text box; the track then starts
    // at the left edge and the keypad's plus and minus keys move the value.
    static constexpr unsigned kStyleNoText = 0x1 | 0x2 | 0x8;
    // The narrowest the text box gets; it widens to fit "-127dB" in its font.
    static constexpr int kTextWidth = 32;
    static constexpr int kThumbWidth = 12;
    static constexpr int kSilent = -127;

    explicit LDBEdit(QWidget* parent = nullptr, unsigned uStyle = 0);

    // Clamped to the range; repaints the old and the new thumb.
    void SetValue(int nDB);
    int GetValue() const { return m_nValue; }
    void SetRange(int nMaximum, int nMinimum);
    int GetMaximum() const { return m_nMaximum; }
    int GetMinimum() const { return m_nMinimum; }
    bool HasTextBox() const { return m_pText != nullptr; }
    // What the text box shows for a value: "%ddB", or "--dB" for silence.
    static QString ValueText(int nDB);

    // The value for a pointer position p measured from the track's start, on
    // a track of the given width; a track of no width gives an end.
    static int ValueAt(int p, int nTrackWidth, int nMinimum, int nMaximum);
    int TrackLeft() const { return m_pText ? m_nTextWidth : 0; }
    int TrackWidth() const;

    QSize sizeHint() const override { return QSize(160, 22); }

signals:
    // The user moved the value (mouse release or a key).
    void Changed(int nDB);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    int ThumbLeft(int nValue) const;
    void InvalidateThumb(int nValue);
    void TrackMouse(int x);

    QLineEdit* m_pText = nullptr;
    int m_nTextWidth = kTextWidth;
    int m_nValue = 0;
    int m_nMaximum = 12;
    int m_nMinimum = -36;
    bool m_bDragging = false;
};
