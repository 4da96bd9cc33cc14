#include "app/desktop/dialogs/AttachmentDialog.h"

#include "app/desktop/dialogs/LDictationCommandKeys.h"
#include "dictation/LDictation.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "ui/LAccessible.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

// The longest attachment path a dictation's file holds.
constexpr int32_t kMaxAttachmentBytes = 254;

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Whole KiB, 0 for a file that cannot be read.
int32_t SizeKB(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    uint64_t uKB = static_cast<uint64_t>(st.st_size) / 1024;
    return static_cast<int32_t>(std::min<uint64_t>(uKB, 0x7FFFFFFF));
}

} // namespace

AttachmentDialog::AttachmentDialog(
    LDictation& dictation, const LUserPrompts& prompts, LAttachmentOpener& opener, QWidget* pParent)
    : QDialog(pParent)
    , m_dictation(dictation)
    , m_prompts(prompts)
    , m_opener(opener)
{
    setObjectName(QStringLiteral("AttachmentDialog"));
    setWindowTitle(QString::fromStdString(tplprintf("Attachment List of \"%s\"", std::string(dictation.GetName()))));
    auto* pLayout = new QVBoxLayout(this);
    m_pList = new QTreeWidget(this);
    LAccessible::Describe({ { m_pList, "Attached files", "Files attached to the dictation" } });
    m_pList->setColumnCount(2);
    m_pList->setHeaderLabels({ QStringLiteral("File Path"), QStringLiteral("File Size(KB)") });
    m_pList->setRootIsDecorated(false);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setColumnWidth(0, 280);
    m_pList->header()->setStretchLastSection(true);
    m_pList->setMinimumWidth(420);
    pLayout->addWidget(m_pList, 1);

    auto* pRow = new QHBoxLayout();
    const char* const kTexts[3] = { "&Add...", "&Remove", "&Open" };
    for (int i = 0; i < 3; ++i) {
        m_pButtons[i] = new QPushButton(QString::fromUtf8(kTexts[i]), this);
        m_pButtons[i]->setAutoDefault(false);
        pRow->addWidget(m_pButtons[i]);
    }
    pRow->addStretch(1);
    auto* pClose = new QPushButton(QStringLiteral("&Close"), this);
    pRow->addWidget(pClose);
    pLayout->addLayout(pRow);

    connect(m_pButtons[0], &QPushButton::clicked, this, [this] { Add(); });
    connect(m_pButtons[1], &QPushButton::clicked, this, [this] { Remove(); });
    connect(m_pButtons[2], &QPushButton::clicked, this, [this] { OpenSelected(); });
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] { OpenSelected(); });
    connect(pClose, &QPushButton::clicked, this, &QDialog::accept);
    FillList();
}

QPushButton* AttachmentDialog::Button(int nId) const
{
    int i = nId - kIdAdd;
    return i >= 0 && i < 3 ? m_pButtons[i] : nullptr;
}

void AttachmentDialog::FillList()
{
    m_pList->clear();
    for (const std::string& path : m_dictation.GetAttachments()) {
        auto* pItem = new QTreeWidgetItem(m_pList);
        pItem->setText(0, FromUtf8(path));
        pItem->setText(1, QString::fromStdString(tplprintf("%d KB", SizeKB(path))));
        pItem->setData(0, Qt::UserRole, FromUtf8(path));
    }
}

int AttachmentDialog::AttachFiles(
    QWidget* pParent, LDictation& dictation, const LUserPrompts& prompts, const LTextKey& folderSetting)
{
    QString folder = QString::fromStdString(folderSetting.Get());
    QStringList files = prompts.chooseFiles(pParent, QStringLiteral("Attach Files"), folder);
    if (files.isEmpty())
        return 0;
    folderSetting.Set(QFileInfo(files.front()).absolutePath().toStdString());
    int nAdded = 0, nLeft = 0, nLong = 0;
    for (const QString& file : files) {
        std::string path = QFileInfo(file).absoluteFilePath().toStdString();
        // A path the file cannot hold whole would be stored cut, naming
        // another file or none.
        if (path.size() > static_cast<size_t>(kMaxAttachmentBytes))
            ++nLong;
        else if (dictation.AddAttachment(path))
            ++nAdded;
        else
            ++nLeft;
    }
    if (nLong > 0)
        prompts.box(pParent, LUserPrompts::Box::Warning, QStringLiteral("Tavrine Dictate"),
            QString::fromStdString(tplprintf("%d file(s) were not attached: a path may be at most %d bytes long.",
                int32_t { nLong }, int32_t { kMaxAttachmentBytes })));
    if (nLeft > 0)
        prompts.box(pParent, LUserPrompts::Box::Warning, QStringLiteral("Tavrine Dictate"),
            QString::fromStdString(tplprintf(
                "%d file(s) were not attached: a dictation holds at most 255 attachments.", int32_t { nLeft })));
    return nAdded;
}

bool AttachmentDialog::Add()
{
    int nAdded = AttachFiles(this, m_dictation, m_prompts, DictationCommandKeys::kAttachListFolder);
    FillList();
    return nAdded > 0;
}

bool AttachmentDialog::Remove()
{
    QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    if (selected.isEmpty())
        return false;
    if (!m_prompts.box(this, LUserPrompts::Box::Question, QStringLiteral("Tavrine Dictate"),
            QStringLiteral("Are you sure you want to remove the selected attachment(s)?")))
        return false;
    bool bRemoved = false;
    for (QTreeWidgetItem* pItem : selected)
        bRemoved |= m_dictation.RemoveAttachment(pItem->data(0, Qt::UserRole).toString().toStdString());
    FillList();
    return bRemoved;
}

bool AttachmentDialog::OpenSelected()
{
    QTreeWidgetItem* pItem = m_pList->currentItem();
    if (!pItem || !pItem->isSelected()) {
        QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
        pItem = selected.isEmpty() ? nullptr : selected.front();
    }
    if (!pItem)
        return false;
    std::string whyNot;
    if (m_opener.Open(pItem->data(0, Qt::UserRole).toString().toStdString(), &whyNot))
        return true;
    m_prompts.box(this, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"), QString::fromStdString(whyNot));
    return false;
}
