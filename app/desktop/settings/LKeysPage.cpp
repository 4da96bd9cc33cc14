#include "app/desktop/settings/LKeysPage.h"

#include "app/desktop/dialogs/LKeyChangeCommandDialog.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LHotKeys.h"
#include "app/shared/input/LInputKeys.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace InputKeys;
using Dialog = LKeyChangeCommandDialog;

QString CommandText(LCommandId command)
{
    const std::string_view name = LCommandSetTable::Name(command);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace

LKeysPage::LKeysPage(const LUserPrompts& prompts, bool bHotKeysAvailable, QWidget* pParent)
    : LSheetPage(pParent)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("LKeysPage"));
    auto* pGrid = new QGridLayout(this);
    m_pList = new QTreeWidget(this);
    m_pList->setObjectName(QStringLiteral("c%1").arg(kIdList));
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setHeaderLabels({ QStringLiteral("Key"), QStringLiteral("Command") });
    // Every column in view, with room for the frame and a scroll bar.
    m_pList->setMinimumWidth(
        150 + 200 + 2 * m_pList->frameWidth() + m_pList->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
    m_pList->setColumnWidth(0, 150);
    m_pList->setColumnWidth(1, 200);
    m_pAdd = new QPushButton(QStringLiteral("Add..."), this);
    m_pRemove = new QPushButton(QStringLiteral("Remove"), this);
    m_pChange = new QPushButton(QStringLiteral("Change..."), this);
    m_pUseNumeric = new QCheckBox(QStringLiteral("Use Numeric Keypad Control Keys"), this);
    const std::pair<QWidget*, int> ids[]
        = { { m_pAdd, kIdAdd }, { m_pRemove, kIdRemove }, { m_pChange, kIdChange }, { m_pUseNumeric, kIdUseNumeric } };
    for (const auto& [pWidget, nId] : ids)
        pWidget->setObjectName(QStringLiteral("c%1").arg(nId));

    int nRow = 0;
    if (!bHotKeysAvailable) {
        // Nothing here is grabbed on this desktop; its own shortcuts can run the commands.
        m_pUnavailable = new QLabel(LHotKeys::UnavailableText()
                + QStringLiteral("\nIn the desktop's keyboard settings, add a shortcut for each key that runs "
                                 "\"tavrine-cli command NAME\", NAME being one of the commands listed under "
                                 "Change..., for example: tavrine-cli command \"Record\""),
            this);
        m_pUnavailable->setWordWrap(true);
        m_pUnavailable->setTextInteractionFlags(Qt::TextSelectableByMouse);
        pGrid->addWidget(m_pUnavailable, nRow++, 0, 1, 2);
    }
    pGrid->addWidget(m_pList, nRow, 0, 4, 1);
    pGrid->addWidget(m_pAdd, nRow, 1);
    pGrid->addWidget(m_pRemove, nRow + 1, 1);
    pGrid->addWidget(m_pChange, nRow + 2, 1);
    pGrid->setRowStretch(nRow + 3, 1);
    pGrid->addWidget(m_pUseNumeric, nRow + 4, 0, 1, 2);

    m_pUseNumeric->setChecked(kUseNumeric.Get());
    connect(m_pAdd, &QPushButton::clicked, this, &LKeysPage::Add);
    connect(m_pRemove, &QPushButton::clicked, this, &LKeysPage::Remove);
    connect(m_pChange, &QPushButton::clicked, this, &LKeysPage::Change);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] { Change(); });
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &LKeysPage::UpdateEnabling);
    Fill(-1);
}

QPushButton* LKeysPage::Button(int nId) const
{
    return nId == kIdAdd ? m_pAdd : nId == kIdRemove ? m_pRemove : nId == kIdChange ? m_pChange : nullptr;
}

void LKeysPage::Fill(int nSelect)
{
    m_pList->clear();
    const std::vector<LHotKey> keys = ReadHotKeys();
    for (size_t i = 0; i < keys.size(); ++i) {
        auto* pItem = new QTreeWidgetItem(m_pList, { HotKeyText(keys[i].uValue), CommandText(keys[i].command) });
        pItem->setData(0, Qt::UserRole, static_cast<int>(i));
    }
    if (nSelect >= 0 && nSelect < m_pList->topLevelItemCount())
        m_pList->setCurrentItem(m_pList->topLevelItem(nSelect));
    UpdateEnabling();
}

int LKeysPage::Selected() const
{
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    return selected.isEmpty() ? -1 : selected.front()->data(0, Qt::UserRole).toInt();
}

void LKeysPage::UpdateEnabling()
{
    const bool bSelected = Selected() >= 0;
    m_pRemove->setEnabled(bSelected);
    m_pChange->setEnabled(bSelected);
}

void LKeysPage::Add()
{
    const std::optional<uint32_t> uValue = Dialog::CaptureKey(m_prompts, this);
    if (!uValue)
        return;
    // Stored beyond "Count" first: a Cancel of the command leaves it unused.
    const int nIndex = static_cast<int>(ReadHotKeys().size());
    Dialog::StoreKey(nIndex, *uValue);
    Dialog command(nIndex, m_prompts, this);
    if (m_prompts.exec(command) == QDialog::Accepted)
        kHotKeyCount.Set(nIndex + 1);
    Fill(nIndex);
}

void LKeysPage::Remove()
{
    const int nSelected = Selected();
    const int nCount = static_cast<int>(ReadHotKeys().size());
    if (nSelected < 0 || nSelected >= nCount)
        return;
    // One rewrite: a crash or a refused write leaves the old list or the new, never a key twice.
    std::vector<std::pair<std::string, std::string>> values;
    for (int i = nSelected + 1; i < nCount; ++i) {
        values.emplace_back(kHotKeyValue.At(i - 1).name, std::to_string(static_cast<int>(Dialog::StoredKey(i))));
        values.emplace_back(kHotKeyCommand.At(i - 1).name, std::to_string(Dialog::StoredCommand(i)));
    }
    values.emplace_back(kHotKeyCount.szName, std::to_string(nCount - 1));
    SetSettingStrings(kHotKeySection, values);
    Fill(std::min(nSelected, nCount - 2));
}

void LKeysPage::Change()
{
    const int nSelected = Selected();
    if (nSelected < 0)
        return;
    Dialog command(nSelected, m_prompts, this);
    if (m_prompts.exec(command) == QDialog::Accepted)
        Fill(nSelected);
}

bool LKeysPage::Store()
{
    if (kUseNumeric.Set(m_pUseNumeric->isChecked()))
        return true;
    if (m_prompts.box)
        m_prompts.box(this, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
            QStringLiteral("The settings could not be stored."));
    return false;
}
