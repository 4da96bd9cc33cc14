// The raw settings dialog: how a headerless sample file (".raw", ".snd",
// ".vox") is coded, asked when such a file is loaded. It edits the settings
// it is given and checks the rate; the caller stores them. GUI thread only.
#pragma once

#include "sound/files/LRawSettings.h"

#include <QDialog>

class QComboBox;

class LRawSettingsDialog : public QDialog {
    Q_OBJECT
public:
    LRawSettingsDialog(QWidget* pParent, const LRawSettings& settings);

    // Shows the dialog modal to the parent: true with *pSettings changed on OK.
    static bool Ask(QWidget* pParent, LRawSettings* pSettings);

    LRawSettings Settings() const { return m_settings; }
    // The controls, for tests and keyboard focus.
    QComboBox* CodecList() const { return m_pCodec; }
    QComboBox* RateField() const { return m_pRate; }
    QComboBox* ChannelList() const { return m_pChannels; }

    // OK: a rate outside 6000 to 196000 is refused with a message and the
    // dialog stays open.
    void accept() override;

private:
    LRawSettings m_settings;
    QComboBox* m_pCodec;
    QComboBox* m_pRate;
    QComboBox* m_pChannels;
};
