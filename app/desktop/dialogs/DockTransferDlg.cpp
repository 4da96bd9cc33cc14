#include "app/desktop/dialogs/DockTransferDlg.h"

#include "app/transfer/LDockFiles.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

DockTransferDlg::DockTransferDlg(const LUserPrompts& prompts, QWidget* pParent)
    : QDialog(pParent)
    , m_prompts(prompts)
    , m_browse([](QWidget* pParent, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(pParent, title, start);
    })
{
    setWindowTitle(QStringLiteral("Dock (Audio File Transfer)"));
    const LDockFileOptions options = LDockFileOptions::Read();
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Folder to load the portable recorder's files from:"), this));
    auto* pRow = new QHBoxLayout;
    m_pFolder = new QLineEdit(QString::fromStdString(options.folder), this);
    m_pFolder->setMinimumWidth(320);
    auto* pBrowse = new QPushButton(QStringLiteral("Browse..."), this);
    pRow->addWidget(m_pFolder);
    pRow->addWidget(pBrowse);
    pLayout->addLayout(pRow);
    const struct {
        const char* szText;
        bool bOn;
    } kChecks[3] = { { "Delete files after loading", options.bDeleteFiles },
        { "Only load new files since previous dock", options.bOnlyNewFiles },
        { "Automatically send files to default recipient after loading", options.bAutoSend } };
    for (int i = 0; i < 3; ++i) {
        m_pChecks[i] = new QCheckBox(QString::fromUtf8(kChecks[i].szText), this);
        m_pChecks[i]->setChecked(kChecks[i].bOn);
        pLayout->addWidget(m_pChecks[i]);
    }
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pLayout->addWidget(pButtons);
    connect(pBrowse, &QPushButton::clicked, this, &DockTransferDlg::CmBrowseFolder);
    connect(pButtons, &QDialogButtonBox::accepted, this, [this] { CmOk(); });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QCheckBox* DockTransferDlg::Check(int nId) const
{
    return nId >= kIdDelete && nId <= kIdAutoSend ? m_pChecks[nId - kIdDelete] : nullptr;
}

void DockTransferDlg::CmBrowseFolder()
{
    const QString chosen = m_browse(this, QStringLiteral("Locate folder to load files from..."), m_pFolder->text());
    if (!chosen.isEmpty())
        m_pFolder->setText(chosen);
}

bool DockTransferDlg::CmOk()
{
    const QString folder = m_pFolder->text().trimmed();
    if (folder.isEmpty()) {
        m_prompts.box(this, LUserPrompts::Box::Error, windowTitle(),
            QStringLiteral("Please select the folder you want to dock files from."));
        return false;
    }
    LDockFileOptions options;
    options.folder = folder.toStdString();
    options.bDeleteFiles = m_pChecks[0]->isChecked();
    options.bOnlyNewFiles = m_pChecks[1]->isChecked();
    options.bAutoSend = m_pChecks[2]->isChecked();
    options.Store();
    accept();
    return true;
}
