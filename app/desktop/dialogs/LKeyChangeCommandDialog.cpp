#include "app/desktop/dialogs/LKeyChangeCommandDialog.h"

#include "app/desktop/dialogs/LKeyChangeDlg.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LHotKeys.h"
#include "app/shared/input/LInputKeys.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
using namespace InputKeys;
} // namespace

LKeyChangeCommandDialog::LKeyChangeCommandDialog(int nIndex, const LUserPrompts& prompts, QWidget* pParent)
    : QDialog(pParent)
    , m_nIndex(nIndex)
    , m_prompts(prompts)
{
    setWindowTitle(QStringLiteral("Select Command"));
    setObjectName(QStringLiteral("LKeyChangeCommandDialog"));
    auto* pGrid = new QGridLayout(this);
    m_pKey = new QLabel(StoredKeyText(nIndex), this);
    m_pChangeKey = new QPushButton(QStringLiteral("Change Key"), this);
    m_pCommand = new QComboBox(this);
    m_pKey->setObjectName(QStringLiteral("c%1").arg(kIdKey));
    m_pChangeKey->setObjectName(QStringLiteral("c%1").arg(kIdChangeKey));
    m_pCommand->setObjectName(QStringLiteral("c%1").arg(kIdCommand));
    m_pKey->setMinimumWidth(m_pKey->fontMetrics().horizontalAdvance(QStringLiteral("Ctrl+Alt+Shift+Page Down")));
    m_pKey->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pGrid->addWidget(new QLabel(QStringLiteral("Key:"), this), 0, 0);
    pGrid->addWidget(m_pKey, 0, 1);
    pGrid->addWidget(m_pChangeKey, 0, 2);
    pGrid->addWidget(new QLabel(QStringLiteral("Command:"), this), 1, 0);
    pGrid->addWidget(m_pCommand, 1, 1, 1, 2);
    for (int n = 0; n < LCommandSetTable::kCount; ++n) {
        const std::string_view name = LCommandSetTable::Name(LCommandSetTable::Id(n));
        m_pCommand->addItem(
            QStringLiteral("%1 - %2").arg(n).arg(QString::fromUtf8(name.data(), qsizetype(name.size()))), n);
    }
    const int nShown = m_pCommand->findData(StoredCommand(nIndex));
    m_pCommand->setCurrentIndex(nShown >= 0 ? nShown : 0);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pGrid->addWidget(pButtons, 2, 0, 1, 3);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pChangeKey, &QPushButton::clicked, this, [this] {
        if (std::optional<uint32_t> uValue = CaptureKey(m_prompts, this)) {
            StoreKey(m_nIndex, *uValue);
            m_pKey->setText(StoredKeyText(m_nIndex));
        }
    });
}

std::optional<uint32_t> LKeyChangeCommandDialog::CaptureKey(const LUserPrompts& prompts, QWidget* pParent)
{
    LKeyChangeDlg dialog(pParent);
    const int nResult = prompts.exec ? prompts.exec(dialog) : dialog.exec();
    return nResult == QDialog::Accepted ? dialog.Value() : std::nullopt;
}

uint32_t LKeyChangeCommandDialog::StoredKey(int nIndex)
{
    // Stored as a signed decimal; the bits are what count.
    return static_cast<uint32_t>(kHotKeyValue.At(nIndex).Get());
}

bool LKeyChangeCommandDialog::StoreKey(int nIndex, uint32_t uValue)
{
    return kHotKeyValue.At(nIndex).Set(static_cast<int>(uValue));
}

QString LKeyChangeCommandDialog::StoredKeyText(int nIndex)
{
    return HotKeyText(StoredKey(nIndex));
}

int LKeyChangeCommandDialog::StoredCommand(int nIndex)
{
    return kHotKeyCommand.At(nIndex).Get();
}

void LKeyChangeCommandDialog::accept()
{
    kHotKeyCommand.At(m_nIndex).Set(m_pCommand->currentData().toInt());
    QDialog::accept();
}
