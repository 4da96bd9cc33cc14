#include "app/scribe/LSourcesPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

LSourcesPage::LSourcesPage(QWidget* pParent)
    : LSheetPage(pParent)
    , m_sources(LScribeSettings::LoadSources())
{
    auto* pLayout = new QVBoxLayout(this);
    auto* pLabel = new QLabel(QStringLiteral("&Inbox sources:"), this);
    m_pList = new QTreeWidget(this);
    m_pList->setRootIsDecorated(false);
    m_pList->setHeaderLabels({ QStringLiteral("Name"), QStringLiteral("Kind"), QStringLiteral("Where") });
    pLabel->setBuddy(m_pList);
    auto* pButtons = new QHBoxLayout;
    auto* pAdd = new QPushButton(QStringLiteral("Add &Folder..."), this);
    auto* pAddFtp = new QPushButton(QStringLiteral("Add F&TP..."), this);
    auto* pAddImap = new QPushButton(QStringLiteral("Add &IMAP..."), this);
    auto* pRemove = new QPushButton(QStringLiteral("&Remove"), this);
    pButtons->addWidget(pAdd);
    pButtons->addWidget(pAddFtp);
    pButtons->addWidget(pAddImap);
    pButtons->addWidget(pRemove);
    pButtons->addStretch();
    pLayout->addWidget(pLabel);
    pLayout->addWidget(m_pList);
    pLayout->addLayout(pButtons);
    connect(pAdd, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Shared Folder"));
        if (folder.isEmpty())
            return;
        const QString name = QInputDialog::getText(this, QStringLiteral("Source Name"),
            QStringLiteral("Name (letters, digits, - and _):"), QLineEdit::Normal, QStringLiteral("office"));
        if (!name.isEmpty())
            AddFolder(name, folder);
    });
    connect(pAddFtp, &QPushButton::clicked, this, [this] { AskFtp(); });
    connect(pAddImap, &QPushButton::clicked, this, [this] { AskImap(); });
    connect(pRemove, &QPushButton::clicked, this, [this] { Remove(); });
    Fill();
}

void LSourcesPage::Fill()
{
    m_pList->clear();
    for (const LScribeSourceConfig& config : m_sources) {
        auto* pItem = new QTreeWidgetItem(m_pList);
        pItem->setText(0, QString::fromStdString(config.name));
        QString kind = QStringLiteral("Folder");
        std::string where = config.Get("Folder");
        if (config.IsFtp()) {
            kind = QStringLiteral("FTP");
            where = config.Get("FtpServer") + "/" + config.Get("FtpDirectory");
        } else if (config.IsImap()) {
            kind = config.IsImapPool() ? QStringLiteral("Typist pool (IMAP)") : QStringLiteral("Mailbox (IMAP)");
            where = config.Get("ImapServer") + "/" + config.Get("ImapFolder", config.IsImapPool() ? "" : "INBOX");
        }
        pItem->setText(1, kind);
        pItem->setText(2, QString::fromStdString(where));
    }
}

bool LSourcesPage::AddSource(const LScribeSourceConfig& config)
{
    // What the store would refuse is said now, not at OK.
    QString why;
    if (!LScribeSettings::IsValidSourceName(config.name))
        why = QStringLiteral("'%1' is not a source name: use 1 to 32 letters, digits, '-' or '_'.")
                  .arg(QString::fromStdString(config.name));
    else if (int(config.IsFolder()) + int(config.IsFtp()) + int(config.IsImap()) != 1)
        why = QStringLiteral("A source needs a folder, an FTP server or an IMAP server.");
    if (!why.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Tavrine Scribe"), why);
        return false;
    }
    std::erase_if(m_sources, [&](const LScribeSourceConfig& old) { return old.name == config.name; });
    m_sources.push_back(config);
    std::erase(m_added, config.name);
    m_added.push_back(config.name);
    Fill();
    return true;
}

bool LSourcesPage::AddFolder(const QString& name, const QString& folder)
{
    LScribeSourceConfig config;
    config.name = name.toStdString();
    config.values.emplace_back("Folder", folder.toStdString());
    return AddSource(config);
}

void LSourcesPage::AskFtp()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("FTP Source"));
    auto* pForm = new QFormLayout(&dialog);
    auto* pName = new QLineEdit(QStringLiteral("ftp"), &dialog);
    auto* pServer = new QLineEdit(&dialog);
    pServer->setPlaceholderText(QStringLiteral("host or host:port"));
    auto* pUser = new QLineEdit(&dialog);
    auto* pPassword = new QLineEdit(&dialog);
    pPassword->setEchoMode(QLineEdit::Password);
    auto* pDirectory = new QLineEdit(&dialog);
    auto* pPlain = new QCheckBox(QStringLiteral("Allow logging on to this server &without encryption"), &dialog);
    auto* pPoll = new QSpinBox(&dialog);
    pPoll->setRange(5, 86400);
    pPoll->setValue(static_cast<int>(LScribeSettings::kDefaultPollSeconds));
    pPoll->setSuffix(QStringLiteral(" s"));
    pForm->addRow(QStringLiteral("&Name:"), pName);
    pForm->addRow(QStringLiteral("&Server (host:port):"), pServer);
    pForm->addRow(QStringLiteral("&User name:"), pUser);
    pForm->addRow(QStringLiteral("&Password:"), pPassword);
    pForm->addRow(QStringLiteral("&Directory:"), pDirectory);
    pForm->addRow(pPlain);
    pForm->addRow(QStringLiteral("&Look for new jobs every:"), pPoll);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    pForm->addRow(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, &dialog, [&] {
        if (pServer->text().trimmed().isEmpty()) {
            QMessageBox::warning(&dialog, QStringLiteral("Tavrine Scribe"), QStringLiteral("Enter the FTP server."));
            return;
        }
        LScribeSourceConfig config;
        config.name = pName->text().trimmed().toStdString();
        config.values = { { "FtpServer", pServer->text().trimmed().toStdString() },
            { "FtpUserName", pUser->text().toStdString() }, { "FtpPassword", pPassword->text().toStdString() },
            { "FtpDirectory", pDirectory->text().trimmed().toStdString() },
            { "FtpAllowPlain", pPlain->isChecked() ? "1" : "0" }, { "PollSeconds", std::to_string(pPoll->value()) } };
        if (AddSource(config))
            dialog.accept();
    });
    connect(pButtons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.exec();
}

void LSourcesPage::AskImap()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("IMAP Source"));
    auto* pForm = new QFormLayout(&dialog);
    auto* pKind = new QComboBox(&dialog);
    pKind->addItem(QStringLiteral("Typist pool (IMAP mail server)"));
    pKind->addItem(QStringLiteral("My mailbox (dictations sent by mail)"));
    auto* pName = new QLineEdit(QStringLiteral("pool"), &dialog);
    auto* pServer = new QLineEdit(&dialog);
    pServer->setPlaceholderText(QStringLiteral("host or host:port (993 when none)"));
    auto* pUser = new QLineEdit(&dialog);
    auto* pPassword = new QLineEdit(&dialog);
    pPassword->setEchoMode(QLineEdit::Password);
    auto* pFolder = new QLineEdit(&dialog);
    pFolder->setPlaceholderText(QStringLiteral("the pool folder, e.g. Pool"));
    auto* pPlain = new QCheckBox(QStringLiteral("Allow logging on to this server &without encryption"), &dialog);
    pForm->addRow(QStringLiteral("&Kind:"), pKind);
    pForm->addRow(QStringLiteral("&Name:"), pName);
    pForm->addRow(QStringLiteral("&Server (host:port):"), pServer);
    pForm->addRow(QStringLiteral("&User name:"), pUser);
    pForm->addRow(QStringLiteral("&Password:"), pPassword);
    pForm->addRow(QStringLiteral("F&older:"), pFolder);
    pForm->addRow(pPlain);
    connect(pKind, &QComboBox::currentIndexChanged, &dialog, [=](int index) {
        pName->setText(index == 0 ? QStringLiteral("pool") : QStringLiteral("mail"));
        pFolder->setPlaceholderText(
            index == 0 ? QStringLiteral("the pool folder, e.g. Pool") : QStringLiteral("INBOX"));
    });
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    pForm->addRow(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, &dialog, [&] {
        const bool bPool = pKind->currentIndex() == 0;
        QString missing;
        if (pServer->text().trimmed().isEmpty())
            missing = QStringLiteral("Enter the IMAP server.");
        else if (bPool && pFolder->text().trimmed().isEmpty())
            missing = QStringLiteral("Enter the pool folder.");
        if (!missing.isEmpty()) {
            QMessageBox::warning(&dialog, QStringLiteral("Tavrine Scribe"), missing);
            return;
        }
        LScribeSourceConfig config;
        config.name = pName->text().trimmed().toStdString();
        config.values = { { "ImapServer", pServer->text().trimmed().toStdString() },
            { "ImapUserName", pUser->text().toStdString() }, { "ImapPassword", pPassword->text().toStdString() },
            { "ImapPool", bPool ? "1" : "0" }, { "ImapAllowPlain", pPlain->isChecked() ? "1" : "0" } };
        if (!pFolder->text().trimmed().isEmpty())
            config.values.emplace_back("ImapFolder", pFolder->text().trimmed().toStdString());
        if (AddSource(config))
            dialog.accept();
    });
    connect(pButtons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.exec();
}

void LSourcesPage::Remove()
{
    QTreeWidgetItem* pItem = m_pList->currentItem();
    if (!pItem)
        return;
    const std::string name = pItem->text(0).toStdString();
    std::erase_if(m_sources, [&](const LScribeSourceConfig& config) { return config.name == name; });
    m_removed.push_back(name);
    Fill();
}

bool LSourcesPage::Store()
{
    // Only what changed is written: a stored password is not rewritten.
    std::string why;
    const std::vector<LScribeSourceConfig> stored = LScribeSettings::LoadSources();
    auto isIn = [](const std::vector<LScribeSourceConfig>& sources, const std::string& name) {
        return std::any_of(sources.begin(), sources.end(), [&](const auto& config) { return config.name == name; });
    };
    for (const std::string& name : m_removed) {
        if (isIn(stored, name) && !isIn(m_sources, name) && !LScribeSettings::RemoveSource(name, &why))
            break;
    }
    for (const std::string& name : m_added) {
        auto it
            = std::find_if(m_sources.begin(), m_sources.end(), [&](const auto& config) { return config.name == name; });
        if (!why.empty() || (it != m_sources.end() && !LScribeSettings::SaveSource(*it, &why)))
            break;
    }
    if (!why.empty()) {
        QMessageBox::warning(this, QStringLiteral("Tavrine Scribe"), QString::fromStdString(why));
        return false;
    }
    m_removed.clear();
    m_added.clear();
    return true;
}
