#include "app/scribe/LScribeWindow.h"

#include "app/scribe/LCompactBar.h"
#include "app/scribe/LScribeSession.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

const char kTitle[] = "Tavrine Scribe";

} // namespace

LScribeWindow::LScribeWindow(LScribeSession& session, Actions actions)
    : m_session(session)
    , m_actions(std::move(actions))
{
    setWindowTitle(QString::fromUtf8(kTitle));
    setObjectName(QStringLiteral("ScribeWindow"));

    m_pList = new QTreeWidget(this);
    m_pList->setRootIsDecorated(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setHeaderLabels({ QStringLiteral("Name"), QStringLiteral("Author"), QStringLiteral("File No."),
        QStringLiteral("Priority"), QStringLiteral("Status"), QStringLiteral("Length") });
    m_pList->setAccessibleName(QStringLiteral("Jobs"));
    m_pList->header()->setStretchLastSection(false);
    m_pList->header()->setSectionResizeMode(kColName, QHeaderView::Stretch);

    auto* pDetails = new QWidget(this);
    auto* pDetailsLayout = new QVBoxLayout(pDetails);
    m_pAuthor = new QLabel(pDetails);
    m_pAuthor->setWordWrap(true);
    m_pAuthor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* pFieldsBox = new QGroupBox(QStringLiteral("Fields"), pDetails);
    m_pFields = new QFormLayout(pFieldsBox);
    m_pNotes = new QPlainTextEdit(pDetails);
    m_pNotes->setReadOnly(true);
    m_pNotes->setAccessibleName(QStringLiteral("Notes"));
    auto* pNotesLabel = new QLabel(QStringLiteral("&Notes"), pDetails);
    pNotesLabel->setBuddy(m_pNotes);
    m_pAttachments = new QListWidget(pDetails);
    m_pAttachments->setAccessibleName(QStringLiteral("Attachments"));
    m_pAttachments->setMaximumHeight(90);
    auto* pAttachLabel = new QLabel(QStringLiteral("&Attachments (double-click to open)"), pDetails);
    pAttachLabel->setBuddy(m_pAttachments);
    pDetailsLayout->addWidget(m_pAuthor);
    pDetailsLayout->addWidget(pFieldsBox);
    pDetailsLayout->addWidget(pNotesLabel);
    pDetailsLayout->addWidget(m_pNotes, 1);
    pDetailsLayout->addWidget(pAttachLabel);
    pDetailsLayout->addWidget(m_pAttachments);

    auto* pSplitter = new QSplitter(Qt::Vertical, this);
    pSplitter->addWidget(m_pList);
    pSplitter->addWidget(pDetails);
    pSplitter->setStretchFactor(0, 3);
    pSplitter->setStretchFactor(1, 2);
    setCentralWidget(pSplitter);

    QToolBar* pTools = addToolBar(QStringLiteral("Jobs"));
    pTools->setObjectName(QStringLiteral("Jobs"));
    pTools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    pTools->addAction(QStringLiteral("&Refresh"), QKeySequence::Refresh, this, [this] { m_session.Refresh(); });
    pTools->addAction(QStringLiteral("&Claim"), QKeySequence(Qt::CTRL | Qt::Key_L), this,
        [this] { Act(&LScribeSession::Claim, QStringLiteral("Claim")); });
    pTools->addAction(QStringLiteral("S&tatus..."), QKeySequence(Qt::CTRL | Qt::Key_T), this, [this] {
        bool bOk = false;
        const QString text = QInputDialog::getText(this, QStringLiteral("Status"),
            QStringLiteral("Status sent back to the author (at most 15 bytes):"), QLineEdit::Normal, QString(), &bOk);
        if (!bOk)
            return;
        std::string why;
        if (!m_session.WriteStatus(text.toStdString(), &why))
            Tell(Q(why.empty() ? "Choose a job you hold first." : why), true);
    });
    pTools->addAction(QStringLiteral("&Done"), QKeySequence(Qt::CTRL | Qt::Key_D), this,
        [this] { Act(&LScribeSession::Done, QStringLiteral("Done")); });
    pTools->addSeparator();
    pTools->addAction(QStringLiteral("Compact &Bar"), QKeySequence(Qt::CTRL | Qt::Key_B), this, [this] {
        if (m_actions.compactBar)
            m_actions.compactBar();
    });
    pTools->addAction(QStringLiteral("&Settings..."), this, [this] {
        if (m_actions.settings)
            m_actions.settings();
    });

    connect(&m_session, &LScribeSession::JobsChanged, this, [this] { Rebuild(); });
    connect(&m_session, &LScribeSession::Lines, this,
        [this](const QStringList& lines) { Tell(lines.join(QStringLiteral("; ")), false); });
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, [this] { OnChosen(); });
    connect(m_pAttachments, &QListWidget::itemActivated, this, [this](QListWidgetItem* pItem) {
        if (m_actions.openAttachment)
            m_actions.openAttachment(pItem->data(Qt::UserRole).toString().toStdString());
    });
    resize(760, 560);
    Rebuild();
}

void LScribeWindow::Tell(const QString& text, bool bBox)
{
    statusBar()->showMessage(text);
    if (bBox)
        QMessageBox::warning(this, QString::fromUtf8(kTitle), text);
}

void LScribeWindow::Act(bool (LScribeSession::*action)(std::string*), const QString& caption)
{
    std::string why;
    if (!m_session.CurrentJob()) {
        Tell(QStringLiteral("Choose a job first."), false);
        return;
    }
    if (!(m_session.*action)(&why))
        Tell(caption + QStringLiteral(": ") + Q(why.empty() ? "not possible for this job." : why), true);
}

void LScribeWindow::Rebuild()
{
    m_bRebuilding = true;
    m_pList->clear();
    const LScribeJob* pCurrent = m_session.CurrentJob();
    QTreeWidgetItem* pSelect = nullptr;
    for (const LScribeJob& job : m_session.Jobs()) {
        auto* pItem = new QTreeWidgetItem(m_pList);
        pItem->setText(kColName, Q(job.szName.empty() ? job.szFileName : job.szName));
        pItem->setText(kColAuthor, Q(job.szUserName.empty() ? std::to_string(job.uUserID) : job.szUserName));
        pItem->setText(kColFileNumber, QString::number(job.uFileNumber));
        pItem->setText(kColPriority, Q(job.PriorityText()));
        pItem->setText(kColStatus, Q(job.szStatus));
        pItem->setText(kColDuration, LCompactBar::TimeText(static_cast<int32_t>(job.nDurationMs)));
        pItem->setData(kColName, Qt::UserRole, Q(job.szId));
        if (pCurrent && job.szId == pCurrent->szId)
            pSelect = pItem;
    }
    if (pSelect)
        m_pList->setCurrentItem(pSelect);
    m_bRebuilding = false;
    ShowCurrent();
}

void LScribeWindow::OnChosen()
{
    if (m_bRebuilding)
        return;
    QTreeWidgetItem* pItem = m_pList->currentItem();
    const int nIndex = pItem ? m_pList->indexOfTopLevelItem(pItem) : -1;
    std::string why;
    if (!m_session.Choose(nIndex, &why))
        Tell(Q(why), false);
    ShowCurrent();
}

void LScribeWindow::ShowCurrent()
{
    while (m_pFields->rowCount() > 0)
        m_pFields->removeRow(0);
    m_pAttachments->clear();
    const LScribeJob* pJob = m_session.CurrentJob();
    if (!pJob) {
        m_pAuthor->setText(QStringLiteral("No job chosen."));
        m_pNotes->clear();
        return;
    }
    QString author = Q(pJob->szUserName) + QStringLiteral(" (user ID %1)").arg(pJob->uUserID);
    if (!pJob->szUserEmail.empty())
        author += QStringLiteral(", ") + Q(pJob->szUserEmail);
    for (const std::string& detail : pJob->details)
        if (!detail.empty())
            author += QStringLiteral(", ") + Q(detail);
    if (pJob->bEncrypted && !pJob->bKeyFound)
        author += QStringLiteral("\nEncrypted: no key held opens it (Settings, Keys).");
    m_pAuthor->setText(author);
    for (const auto& [tag, value] : pJob->fields) {
        auto* pValue = new QLabel(Q(value));
        pValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_pFields->addRow(Q(tag) + QStringLiteral(":"), pValue);
    }
    m_pNotes->setPlainText(Q(pJob->notes));
    for (const std::string& path : m_session.Attachments()) {
        auto* pItem = new QListWidgetItem(QFileInfo(Q(path)).fileName(), m_pAttachments);
        pItem->setData(Qt::UserRole, Q(path));
    }
}
