#include "app/scribe/LPedalsPage.h"

#include "app/scribe/LScribeUiKeys.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/HardwareControl.h"
#include "app/shared/input/LInputKeys.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>

LPedalsPage::LPedalsPage(QWidget* pParent)
    : LSheetPage(pParent)
{
    auto* pLayout = new QFormLayout(this);
    m_pPort = new QComboBox(this);
    for (int n = 0; n < HardwareControl::kPortCount; ++n)
        m_pPort->addItem(HardwareControl::PortName(n), n);
    m_pPort->setCurrentIndex(std::max(m_pPort->findData(InputKeys::kControlPort.Get()), 0));
    pLayout->addRow(QStringLiteral("Foot control &port:"), m_pPort);
    const char* kNames[3] = { "&Left pedal:", "&Middle pedal:", "&Right pedal:" };
    for (int n = 0; n < 3; ++n) {
        m_pPedals[n] = new QComboBox(this);
        for (int nCommand = 0; nCommand < LCommandSetTable::kCount; ++nCommand) {
            const std::string_view name = LCommandSetTable::Name(LCommandSetTable::Id(nCommand));
            m_pPedals[n]->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())), nCommand);
        }
        m_pPedals[n]->setCurrentIndex(std::max(m_pPedals[n]->findData(ScribeUiKeys::kPedals[n].Get()), 0));
        pLayout->addRow(QString::fromUtf8(kNames[n]), m_pPedals[n]);
    }
    auto* pNote = new QLabel(QStringLiteral("Play plays only while its pedal is held; each pause goes back by "
                                            "the auto-rewind time. Rewind and fast forward scan while held."),
        this);
    pNote->setWordWrap(true);
    pLayout->addRow(pNote);
}

bool LPedalsPage::Store()
{
    bool bOk = InputKeys::kControlPort.Set(m_pPort->currentData().toInt());
    for (int n = 0; n < 3; ++n)
        bOk = ScribeUiKeys::kPedals[n].Set(m_pPedals[n]->currentData().toInt()) && bOk;
    return bOk;
}
