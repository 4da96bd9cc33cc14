#include "app/desktop/settings/LSaveSendPage.h"

#include "app/desktop/dialogs/SendToDlg.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationKeys.h"
#include "ui/LAccessible.h"

#include <QGridLayout>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

namespace {
using Engine = LDictationEngineSettings;
} // namespace

LSaveSendPage::LSaveSendPage(const LUserPrompts& prompts, QWidget* pParent)
    : LSheetPage(pParent)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("LSaveSendPage"));
    auto* pGrid = new QGridLayout(this);
    m_pList = new QTreeWidget(this);
    LAccessible::Describe({ { m_pList, "Recipients", "The recipients dictations are sent to" } });
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setHeaderLabels({ QStringLiteral("Name"), QStringLiteral("Send Method"), QStringLiteral("Default") });
    // Every column in view, with room for the frame and a scroll bar.
    m_pList->setMinimumWidth(
        150 + 270 + 75 + 2 * m_pList->frameWidth() + m_pList->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
    m_pList->setColumnWidth(0, 150);
    m_pList->setColumnWidth(1, 270);
    m_pList->setColumnWidth(2, 75);
    m_pNew = new QPushButton(QStringLiteral("New Recipient..."), this);
    m_pDelete = new QPushButton(QStringLiteral("Delete"), this);
    m_pProperties = new QPushButton(QStringLiteral("Properties..."), this);
    const std::pair<QWidget*, int> ids[]
        = { { m_pList, kIdList }, { m_pNew, kIdNew }, { m_pDelete, kIdDelete }, { m_pProperties, kIdProperties } };
    for (const auto& [pWidget, nId] : ids)
        pWidget->setObjectName(QStringLiteral("c%1").arg(nId));
    pGrid->addWidget(m_pList, 0, 0, 1, 4);
    pGrid->addWidget(m_pNew, 1, 0);
    pGrid->addWidget(m_pDelete, 1, 1);
    pGrid->addWidget(m_pProperties, 1, 2);
    pGrid->setColumnStretch(3, 1);

    connect(m_pNew, &QPushButton::clicked, this, &LSaveSendPage::NewRecipient);
    connect(m_pDelete, &QPushButton::clicked, this, &LSaveSendPage::Delete);
    connect(m_pProperties, &QPushButton::clicked, this, &LSaveSendPage::Properties);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] { Properties(); });
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &LSaveSendPage::UpdateEnabling);
    Fill();
}

QPushButton* LSaveSendPage::Button(int nId) const
{
    return nId == kIdNew ? m_pNew : nId == kIdDelete ? m_pDelete : nId == kIdProperties ? m_pProperties : nullptr;
}

void LSaveSendPage::Fill()
{
    m_pList->clear();
    const int nDefault = DictationKeys::kSendDefault.Get();
    for (Engine::SendToIterator it; it.IsValid(); it.Next()) {
        const uint8_t n = it.GetSendTo();
        std::string method;
        Engine::GetSendToDisplayText(n, &method);
        auto* pItem = new QTreeWidgetItem(m_pList,
            { QString::fromStdString(Engine::GetSendToName(n)), QString::fromStdString(method),
                n == nDefault ? QStringLiteral("Default") : QString() });
        pItem->setData(0, Qt::UserRole, n);
    }
    UpdateEnabling();
}

std::vector<uint8_t> LSaveSendPage::Selected() const
{
    // In list order, which is increasing number.
    std::vector<uint8_t> out;
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        if (m_pList->topLevelItem(i)->isSelected())
            out.push_back(static_cast<uint8_t>(m_pList->topLevelItem(i)->data(0, Qt::UserRole).toUInt()));
    return out;
}

void LSaveSendPage::UpdateEnabling()
{
    const bool bSelected = !m_pList->selectedItems().isEmpty();
    m_pDelete->setEnabled(bSelected);
    m_pProperties->setEnabled(bSelected);
}

void LSaveSendPage::NewRecipient()
{
    const uint8_t n = Engine::GetNextFreeSendToNumber();
    if (n == kNoRecipient)
        return;
    SendToDlg properties(n, m_prompts, this);
    if (m_prompts.exec(properties) == QDialog::Accepted)
        Fill();
}

void LSaveSendPage::Delete()
{
    const std::vector<uint8_t> selected = Selected();
    if (selected.empty()
        || !m_prompts.box(this, LUserPrompts::Box::Question, QStringLiteral("Confirm Delete"),
            QStringLiteral("Are you sure you want to delete the selected send-to recipient(s)?")))
        return;
    for (uint8_t n : selected)
        Engine::RemoveSendTo(n);
    Fill();
}

void LSaveSendPage::Properties()
{
    const std::vector<uint8_t> selected = Selected();
    if (selected.empty())
        return;
    SendToDlg properties(selected.front(), m_prompts, this);
    if (m_prompts.exec(properties) == QDialog::Accepted)
        Fill();
}
