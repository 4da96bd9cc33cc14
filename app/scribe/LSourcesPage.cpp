#include "app/scribe/LSourcesPage.h"

#include "scribe/LScribeSettings.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

LSourcesPage::LSourcesPage(QWidget* pParent)
    : LSheetPage(pParent)
{
    auto* pLayout = new QVBoxLayout(this);
    auto* pLabel = new QLabel(QStringLiteral("&Inbox sources:"), this);
    m_pList = new QTreeWidget(this);
    m_pList->setRootIsDecorated(false);
    m_pList->setHeaderLabels({ QStringLiteral("Name"), QStringLiteral("Kind"), QStringLiteral("Where") });
    pLabel->setBuddy(m_pList);
    auto* pButtons = new QHBoxLayout;
    auto* pAdd = new QPushButton(QStringLiteral("Add &Folder..."), this);
    auto* pRemove = new QPushButton(QStringLiteral("&Remove"), this);
    pButtons->addWidget(pAdd);
    pButtons->addWidget(pRemove);
    pButtons->addStretch();
    auto* pNote = new QLabel(QStringLiteral("An FTP directory is added with \"tavrine-cli scribe source add NAME "
                                            "FtpServer=... FtpPassword=-\", so its password is never typed "
                                            "where others can see it."),
        this);
    pNote->setWordWrap(true);
    pLayout->addWidget(pLabel);
    pLayout->addWidget(m_pList);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(pNote);
    connect(pAdd, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Shared Folder"));
        if (folder.isEmpty())
            return;
        const QString name = QInputDialog::getText(this, QStringLiteral("Source Name"),
            QStringLiteral("Name (letters, digits, - and _):"), QLineEdit::Normal, QStringLiteral("office"));
        if (!name.isEmpty())
            AddFolder(name, folder);
    });
    connect(pRemove, &QPushButton::clicked, this, [this] { Remove(); });
    Fill();
}

void LSourcesPage::Fill()
{
    m_pList->clear();
    for (const LScribeSourceConfig& config : LScribeSettings::LoadSources()) {
        auto* pItem = new QTreeWidgetItem(m_pList);
        pItem->setText(0, QString::fromStdString(config.name));
        pItem->setText(1, config.IsFtp() ? QStringLiteral("FTP") : QStringLiteral("Folder"));
        pItem->setText(2,
            QString::fromStdString(
                config.IsFtp() ? config.Get("FtpServer") + "/" + config.Get("FtpDirectory") : config.Get("Folder")));
    }
}

bool LSourcesPage::AddFolder(const QString& name, const QString& folder)
{
    LScribeSourceConfig config;
    config.name = name.toStdString();
    config.values.emplace_back("Folder", folder.toStdString());
    std::string why;
    if (!LScribeSettings::SaveSource(config, &why)) {
        QMessageBox::warning(this, QStringLiteral("Tavrine Scribe"), QString::fromStdString(why));
        return false;
    }
    Fill();
    return true;
}

void LSourcesPage::Remove()
{
    QTreeWidgetItem* pItem = m_pList->currentItem();
    if (!pItem)
        return;
    std::string why;
    if (!LScribeSettings::RemoveSource(pItem->text(0).toStdString(), &why))
        QMessageBox::warning(this, QStringLiteral("Tavrine Scribe"), QString::fromStdString(why));
    Fill();
}
