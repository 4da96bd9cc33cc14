#include "ui/LRawSettingsDialog.h"

#include "sound/convert/LSampleRates.h"
#include "sound/files/LRawCoding.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QMessageBox>

LRawSettingsDialog::LRawSettingsDialog(QWidget* pParent, const LRawSettings& settings)
    : QDialog(pParent)
    , m_settings(settings)
    , m_pCodec(new QComboBox(this))
    , m_pRate(new QComboBox(this))
    , m_pChannels(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Raw Audio Settings"));
    for (const char* szName : kRawCodecNames)
        m_pCodec->addItem(QString::fromUtf8(szName));
    m_pCodec->setCurrentIndex(
        settings.nCodec < kRawCodecCount ? static_cast<int>(settings.nCodec) : int { kRawPCM16LE });
    m_pRate->setEditable(true);
    for (int32_t nRate : GetSampleRateList())
        m_pRate->addItem(QString::number(nRate));
    m_pRate->setValidator(new QIntValidator(0, 9999999, m_pRate));
    m_pRate->setCurrentText(QString::number(settings.nSampleRate));
    m_pChannels->addItems({ QStringLiteral("1 - Mono"), QStringLiteral("2 - Stereo") });
    m_pChannels->setCurrentIndex(settings.nChannels == 2 ? 1 : 0);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QFormLayout(this);
    pLayout->addRow(QStringLiteral("&Format:"), m_pCodec);
    pLayout->addRow(QStringLiteral("Sample &rate:"), m_pRate);
    pLayout->addRow(QStringLiteral("&Channels:"), m_pChannels);
    pLayout->addRow(pButtons);
}

void LRawSettingsDialog::accept()
{
    bool bNumber = false;
    const int nRate = m_pRate->currentText().trimmed().toInt(&bNumber);
    if (!bNumber || !IsUserSampleRate(nRate)) {
        QMessageBox::critical(
            this, windowTitle(), QStringLiteral("Please enter a sample rate between 6000 and 196000."));
        return;
    }
    m_settings.nSampleRate = nRate;
    m_settings.nChannels = static_cast<uint8_t>(m_pChannels->currentIndex() + 1);
    m_settings.nCodec = static_cast<uint32_t>(m_pCodec->currentIndex());
    QDialog::accept();
}

bool LRawSettingsDialog::Ask(QWidget* pParent, LRawSettings* pSettings)
{
    LRawSettingsDialog dialog(pParent, *pSettings);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *pSettings = dialog.Settings();
    return true;
}
