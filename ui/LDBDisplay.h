// The level meter: one band per channel on a fixed −36..+12 dB scale, green up
// to 0 dB and red above, the rest in the palette's colours so that it suits a
// light or a dark desktop. Lives on the window's thread; levels arrive there
// through the recorder's and player's queued notifications.
#pragma once

#include "sound/device/LChannelLevels.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class LDBDisplay : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinDB = -36;
    static constexpr int kMaxDB = 12;

    explicit LDBDisplay(QWidget* parent = nullptr);

    // One signed dB value per channel; each is clamped to the scale. Only the
    // stretch between the old and the new bar end is repainted.
    void SetLevels(const int8_t* pLevels, int nChannels);
    void SetLevels(const LChannelLevels& levels) { SetLevels(levels.nLevel, levels.nCount); }
    void ClearLevels() { SetLevels(nullptr, 0); }
    int GetChannelCount() const { return static_cast<int>(m_levels.size()); }
    int GetLevel(int nChannel) const;

    QSize sizeHint() const override { return QSize(120, 20); }

    // Pixel column where a level's bar ends, for a client width.
    static int BarEnd(int nLevel, int nWidth);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QRect BandRect(int nChannel) const;

    std::vector<int> m_levels;
    QBrush m_green;
    QBrush m_red;
};
