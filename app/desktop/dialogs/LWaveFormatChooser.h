// The audio format chooser of a WAV transfer: a format (codec) and its
// attributes (rate, bits, channels, data rate), over the formats our codecs
// write. GUI thread.
#pragma once

#include "app/shared/prompts/LUserPrompts.h"
#include "sound/codecs/LWaveFormat.h"

#include <QDialog>

#include <cstdint>
#include <optional>
#include <vector>

class QComboBox;

class LWaveFormatChooser : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int { kIdFormat = 101, kIdAttributes = 102 };

    // Starts on the given format (its channel count replaced by nChannels);
    // a start that no codec here writes is listed first, as it stands.
    LWaveFormatChooser(LWaveFormat start, uint16_t nChannels, const QString& title, QWidget* pParent = nullptr);

    QComboBox* Formats() const { return m_pFormats; }
    QComboBox* Attributes() const { return m_pAttributes; }
    // Selects the entry of this tag and rate; false when there is none.
    bool Select(uint16_t wFormatTag, uint32_t nRate, uint16_t wBits = 0);
    LWaveFormat Selected() const;

    // Runs the chooser until the choice can be recorded, saying so when it
    // cannot; nothing when cancelled.
    static std::optional<LWaveFormat> Choose(const LWaveFormat& start, uint16_t nChannels, const QString& title,
        const LUserPrompts& prompts, QWidget* pParent);

private:
    void FillAttributes();

    std::vector<LWaveFormat> m_formats;
    QComboBox* m_pFormats;
    QComboBox* m_pAttributes;
};
