#include "app/desktop/dialogs/LWaveFormatChooser.h"

#include "sound/codecs/LCodecTable.h"
#include "sound/files/LWaveFileFormat.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLocale>
#include <QVBoxLayout>

namespace {

QString FormatName(uint16_t wTag)
{
    const LCodecEntry* pEntry = LCodecTable::Find(wTag);
    return pEntry ? QString::fromUtf8(pEntry->szName) : QStringLiteral("Format tag %1").arg(wTag);
}

QString AttributeText(const LWaveFormat& f)
{
    const QLocale locale;
    QString text = locale.toString(f.nSamplesPerSec) + QStringLiteral(" Hz");
    if (f.wBitsPerSample)
        text += QStringLiteral(", %1 Bit").arg(f.wBitsPerSample);
    text += f.nChannels == 1 ? QStringLiteral(", Mono")
        : f.nChannels == 2   ? QStringLiteral(", Stereo")
                             : QStringLiteral(", %1 Channels").arg(f.nChannels);
    return text + QStringLiteral(", %1 bytes/s").arg(locale.toString(f.nAvgBytesPerSec));
}

bool SameChoice(const LWaveFormat& a, const LWaveFormat& b)
{
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec
        && (a.wFormatTag != kWaveFormatPCM || a.wBitsPerSample == b.wBitsPerSample);
}

} // namespace

LWaveFormatChooser::LWaveFormatChooser(LWaveFormat start, uint16_t nChannels, const QString& title, QWidget* pParent)
    : QDialog(pParent)
    , m_formats(LWaveFileFormat::RecordableFormats(nChannels))
    , m_pFormats(new QComboBox(this))
    , m_pAttributes(new QComboBox(this))
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("LWaveFormatChooser"));
    m_pFormats->setObjectName(QStringLiteral("c%1").arg(kIdFormat));
    m_pAttributes->setObjectName(QStringLiteral("c%1").arg(kIdAttributes));
    start.nChannels = nChannels;
    size_t nStart = 0;
    while (nStart < m_formats.size() && !SameChoice(m_formats[nStart], start))
        ++nStart;
    if (nStart == m_formats.size()) {
        m_formats.insert(m_formats.begin(), start);
        nStart = 0;
    }
    for (const LWaveFormat& f : m_formats)
        if (m_pFormats->findData(f.wFormatTag) < 0)
            m_pFormats->addItem(FormatName(f.wFormatTag), f.wFormatTag);

    auto* pLayout = new QVBoxLayout(this);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("&Format:"), m_pFormats);
    pForm->addRow(QStringLiteral("&Attributes:"), m_pAttributes);
    pLayout->addLayout(pForm);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pFormats, &QComboBox::currentIndexChanged, this, [this] { FillAttributes(); });

    // As wide as the longest attributes of any format, not only of the one
    // shown first: choosing another format must not cut its text off.
    for (const LWaveFormat& f : m_formats)
        m_pAttributes->addItem(AttributeText(f));
    m_pAttributes->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_pAttributes->setMinimumWidth(m_pAttributes->sizeHint().width());

    m_pFormats->setCurrentIndex(m_pFormats->findData(m_formats[nStart].wFormatTag));
    FillAttributes();
    m_pAttributes->setCurrentIndex(m_pAttributes->findData(static_cast<int>(nStart)));
}

void LWaveFormatChooser::FillAttributes()
{
    const uint16_t wTag = static_cast<uint16_t>(m_pFormats->currentData().toUInt());
    m_pAttributes->clear();
    for (size_t i = 0; i < m_formats.size(); ++i)
        if (m_formats[i].wFormatTag == wTag)
            m_pAttributes->addItem(AttributeText(m_formats[i]), static_cast<int>(i));
}

bool LWaveFormatChooser::Select(uint16_t wFormatTag, uint32_t nRate, uint16_t wBits)
{
    for (size_t i = 0; i < m_formats.size(); ++i) {
        const LWaveFormat& f = m_formats[i];
        if (f.wFormatTag == wFormatTag && f.nSamplesPerSec == nRate && (!wBits || f.wBitsPerSample == wBits)) {
            m_pFormats->setCurrentIndex(m_pFormats->findData(wFormatTag));
            m_pAttributes->setCurrentIndex(m_pAttributes->findData(static_cast<int>(i)));
            return true;
        }
    }
    return false;
}

LWaveFormat LWaveFormatChooser::Selected() const
{
    const int nIndex = m_pAttributes->currentData().toInt();
    return nIndex >= 0 && static_cast<size_t>(nIndex) < m_formats.size() ? m_formats[static_cast<size_t>(nIndex)]
                                                                         : m_formats.front();
}

std::optional<LWaveFormat> LWaveFormatChooser::Choose(
    const LWaveFormat& start, uint16_t nChannels, const QString& title, const LUserPrompts& prompts, QWidget* pParent)
{
    LWaveFormat from = start;
    for (;;) {
        LWaveFormatChooser chooser(from, nChannels, title, pParent);
        if (prompts.exec(chooser) != QDialog::Accepted)
            return std::nullopt;
        from = chooser.Selected();
        if (LWaveFileFormat::TestSupportedRecord(from))
            return from;
        prompts.box(pParent, LUserPrompts::Box::Error, QStringLiteral("Format Not Available"),
            QStringLiteral("The requested format is not available because the required CODEC is not installed on "
                           "this computer."));
    }
}
