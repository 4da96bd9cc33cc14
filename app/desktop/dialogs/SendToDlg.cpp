#include "app/desktop/dialogs/SendToDlg.h"

#include "app/desktop/dialogs/LEmailSendSettingsDlg.h"
#include "app/desktop/dialogs/LWaveFormatChooser.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationKeys.h"
#include "foundation/LSettingKey.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LRunCommand.h"
#include "send/LSealIdentity.h"
#include "sound/files/LCodecRecord.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <filesystem>
#include <optional>
#include <system_error>

namespace {

using Engine = LDictationEngineSettings;

constexpr const char* kDefaultName = "Untitled";
// Where the executable chooser starts: the folder of the last one chosen.
constexpr LTextKey kCommandLineLoadDir { false, "Send", "CommandLineLoadDir", "" };
constexpr const char* kCaption = "Tavrine Dictate";

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

QString Trimmed(const QLineEdit* pEdit)
{
    return pEdit->text().trimmed();
}

} // namespace

SendToDlg::SendToDlg(uint8_t uSendTo, const LUserPrompts& prompts, QWidget* pParent)
    : QDialog(pParent)
    , m_uSendTo(uSendTo)
    , m_prompts(prompts)
{
    setWindowTitle(QStringLiteral("Send To Typist Recipient Properties"));
    setObjectName(QStringLiteral("SendToDlg"));
    chooseFolder = [](QWidget* pParent, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(pParent, title, start);
    };
    chooseExecutable = [](QWidget* pParent, const QString& title, const QString& start) {
        // Any executable file: scripts and programs alike carry no extension here.
        QFileDialog chooser(pParent, title, start);
        chooser.setFileMode(QFileDialog::ExistingFile);
        chooser.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
        chooser.setNameFilters({ QStringLiteral("Executable Files (*)") });
        return chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty() ? chooser.selectedFiles()[0]
                                                                                         : QString();
    };

    auto add = [this](int nId, QWidget* pWidget) {
        m_controls[nId] = pWidget;
        pWidget->setObjectName(QStringLiteral("c%1").arg(nId));
        return pWidget;
    };
    auto edit = [&](int nId) { return static_cast<QLineEdit*>(add(nId, new QLineEdit(this))); };
    auto label = [&](int nId, const char* szText) {
        return static_cast<QLabel*>(add(nId, new QLabel(QString::fromUtf8(szText), this)));
    };
    auto radio = [&](int nId, const char* szText) { add(nId, new QRadioButton(QString::fromUtf8(szText), this)); };
    auto check = [&](int nId, const char* szText) { add(nId, new QCheckBox(QString::fromUtf8(szText), this)); };
    auto button = [&](int nId, const char* szText) { add(nId, new QPushButton(QString::fromUtf8(szText), this)); };

    auto* pLayout = new QVBoxLayout(this);
    auto* pTop = new QGridLayout;
    pTop->addWidget(new QLabel(QStringLiteral("Recipient Name"), this), 0, 0);
    pTop->addWidget(edit(kIdName), 0, 1, 1, 2);
    pLayout->addLayout(pTop);

    // The transfer format, its file names and its encryption.
    auto* pFormat = new QGroupBox(QStringLiteral("Transfer Format"), this);
    auto* pFormatGrid = new QGridLayout(pFormat);
    radio(kIdDct, "DCT (allows notes, sender information, autoload and encryption)");
    radio(kIdWav, "WAV (no notes, sender information autodownload or encryption)");
    button(kIdCompression, "Select Audio Compression Format...");
    check(kIdEncrypt, "Encrypt recordings for additional security and privacy");
    pFormatGrid->addWidget(Control(kIdDct), 0, 0, 1, 3);
    pFormatGrid->addWidget(Control(kIdWav), 1, 0, 1, 2);
    pFormatGrid->addWidget(Control(kIdCompression), 1, 2);
    pFormatGrid->addWidget(Control(kIdEncrypt), 2, 0, 1, 3);
    pFormatGrid->addWidget(label(kIdKeyLabel, "Encryption Key"), 3, 0);
    pFormatGrid->addWidget(edit(kIdKey), 3, 1, 1, 2);
    pFormatGrid->addWidget(new QLabel(QStringLiteral("File Name Format:"), this), 4, 0);
    pFormatGrid->addWidget(edit(kIdFileNameFormat), 4, 1, 1, 2);
    check(kIdSeal, "Seal for these typists' public keys (age; replaces the encryption key)");
    pFormatGrid->addWidget(Control(kIdSeal), 5, 0, 1, 3);
    pFormatGrid->addWidget(label(kIdSealToLabel, "Public Keys"), 6, 0);
    pFormatGrid->addWidget(edit(kIdSealTo), 6, 1, 1, 2);
    Edit(kIdSealTo)->setPlaceholderText(QStringLiteral("age1..., age1..."));
    pFormatGrid->addWidget(label(kIdSealProblem, ""), 7, 1, 1, 2);
    pLayout->addWidget(pFormat);

    // The send methods, each with its details beneath it.
    auto* pMethod = new QGroupBox(QStringLiteral("Send Method"), this);
    auto* pGrid = new QGridLayout(pMethod);
    int nRow = 0;
    auto method = [&](int nId, const char* szText) {
        radio(nId, szText);
        pGrid->addWidget(Control(nId), nRow++, 0, 1, 3);
    };
    auto detail = [&](int nLabel, const char* szLabel, int nEdit, int nButton = 0, const char* szButton = "") {
        pGrid->addWidget(label(nLabel, szLabel), nRow, 0);
        pGrid->addWidget(edit(nEdit), nRow, 1, 1, nButton ? 1 : 2);
        if (nButton) {
            button(nButton, szButton);
            pGrid->addWidget(Control(nButton), nRow, 2);
        }
        ++nRow;
    };
    method(kIdEmail, "Email (send dictation as an attachment to an email)");
    detail(kIdEmailToLabel, "Email Address", kIdEmailTo, kIdEmailSettings, "Email Settings...");
    method(kIdLan, "Folder on this computer or the network");
    detail(kIdFolderLabel, "Folder", kIdFolder, kIdBrowseFolder, "Choose Folder...");
    method(kIdFtp, "Direct Internet Connect (upload to typist using FTP)");
    detail(kIdFtpServerLabel, "Server", kIdFtpServer);
    // libcurl takes a port after the host, so one field says both.
    Edit(kIdFtpServer)->setPlaceholderText(QStringLiteral("host or host:port, for example ftp.example.com:2121"));
    detail(kIdFtpUserLabel, "User Name", kIdFtpUser);
    detail(kIdFtpPasswordLabel, "Password", kIdFtpPassword);
    detail(kIdFtpDirectoryLabel, "Directory", kIdFtpDirectory);
    check(kIdFtpAllowPlain, "Allow sending to this server without encryption (password in plain text)");
    pGrid->addWidget(Control(kIdFtpAllowPlain), nRow++, 1, 1, 2);
    method(kIdCommand, "Run Command Line Process (Advanced Option)");
    detail(kIdRunCommandLabel, "Command", kIdRunCommand, kIdBrowseCommand, "Choose Program...");
    method(kIdPool, "Typist pool (IMAP mail server)");
    detail(kIdPoolServerLabel, "Server", kIdPoolServer);
    Edit(kIdPoolServer)->setPlaceholderText(QStringLiteral("host or host:port; port 993 when none"));
    detail(kIdPoolUserLabel, "User Name", kIdPoolUser);
    detail(kIdPoolPasswordLabel, "Password", kIdPoolPassword);
    detail(kIdPoolFolderLabel, "Pool Folder", kIdPoolFolder);
    Edit(kIdPoolFolder)->setPlaceholderText(QStringLiteral("for example Shared/Typing"));
    check(kIdPoolAllowPlain, "Allow sending to this server without encryption (password in plain text)");
    pGrid->addWidget(Control(kIdPoolAllowPlain), nRow++, 1, 1, 2);
    auto* pPoolHelp = label(kIdPoolHelp, "<a href=\"sending.html\">How the typist pool works</a>");
    pGrid->addWidget(pPoolHelp, nRow++, 1, 1, 2);
    connect(pPoolHelp, &QLabel::linkActivated, this, [this] {
        if (m_prompts.openHelp)
            m_prompts.openHelp("sending.html");
    });
    pLayout->addWidget(pMethod);
    Edit(kIdFtpPassword)->setEchoMode(QLineEdit::Password);
    Edit(kIdPoolPassword)->setEchoMode(QLineEdit::Password);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_controls[kIdSetDefault] = pButtons->addButton(QStringLiteral("Set Default"), QDialogButtonBox::ActionRole);
    m_controls[kIdHelp] = pButtons->addButton(QDialogButtonBox::Help);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::helpRequested, this, [this] {
        if (m_prompts.openHelp)
            m_prompts.openHelp("sending.html");
    });
    connect(pButtons, &QDialogButtonBox::accepted, this, [this] { Accept(); });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Each key is checked as it is typed, naming the one that is not a key.
    connect(Edit(kIdSealTo), &QLineEdit::textChanged, this, [this](const QString& text) {
        std::string bad;
        const bool bOk = Engine::ParseSealTo(text.toStdString(), &bad).has_value();
        static_cast<QLabel*>(Control(kIdSealProblem))
            ->setText(
                bOk ? QString() : QStringLiteral("\"%1\" is not an age public key.").arg(QString::fromStdString(bad)));
    });
    for (int nId : { kIdDct, kIdWav, kIdEncrypt, kIdSeal, kIdEmail, kIdLan, kIdFtp, kIdCommand, kIdPool })
        connect(Button(nId), &QAbstractButton::toggled, this, [this] { UpdateEnabling(); });
    connect(Button(kIdBrowseFolder), &QAbstractButton::clicked, this, [this] {
        QString folder = chooseFolder(this, QStringLiteral("Locate transmit folder..."), Edit(kIdFolder)->text());
        if (!folder.isEmpty())
            Edit(kIdFolder)->setText(folder);
    });
    connect(Button(kIdBrowseCommand), &QAbstractButton::clicked, this, [this] {
        QString start = QString::fromStdString(kCommandLineLoadDir.Get());
        QString file = chooseExecutable(this, QStringLiteral("Locate the executable file"), start);
        if (file.isEmpty())
            return;
        kCommandLineLoadDir.Set(QFileInfo(file).absolutePath().toStdString());
        // The filter only hides what cannot run; a typed name gets past it.
        if (const QFileInfo info(file); !info.isFile() || !info.isExecutable()) {
            m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption),
                QStringLiteral("The file \"%1\" is not a program that may be run. Choose an executable file (a "
                               "program, or a script marked executable with chmod +x).")
                    .arg(file));
            return;
        }
        Edit(kIdRunCommand)->setText(file);
    });
    connect(Button(kIdEmailSettings), &QAbstractButton::clicked, this, [this] {
        LEmailSendSettingsDlg settings(m_prompts, this);
        m_prompts.exec(settings);
    });
    connect(Button(kIdCompression), &QAbstractButton::clicked, this, [this] { ChooseCompression(); });
    connect(Button(kIdSetDefault), &QAbstractButton::clicked, this, [this] {
        DictationKeys::kSendDefault.Set(m_uSendTo);
        Button(kIdSetDefault)->setEnabled(false);
    });
    Load();
}

void SendToDlg::Load()
{
    const LRecipient r = Engine::GetRecipient(m_uSendTo);
    auto text = [](const std::string& value) { return QString::fromStdString(value); };
    Edit(kIdName)->setText(r.name.empty() ? QString::fromUtf8(kDefaultName) : text(r.name));
    if (r.name.empty()) {
        // A new recipient: typing replaces "Untitled".
        Edit(kIdName)->selectAll();
        Edit(kIdName)->setFocus();
    }
    Edit(kIdFileNameFormat)->setText(text(r.fileNameFormat));
    Edit(kIdKey)->setText(text(r.encryptionKey));
    Edit(kIdSealTo)->setText(text(r.sealTo));
    Edit(kIdSealTo)->setCursorPosition(0);
    Button(kIdSeal)->setChecked(!r.sealTo.empty());
    Edit(kIdEmailTo)->setText(text(r.emailTo));
    Edit(kIdFolder)->setText(text(r.folder));
    Edit(kIdFtpServer)->setText(text(r.ftpServer));
    Edit(kIdFtpUser)->setText(text(r.ftpUserName));
    Edit(kIdFtpPassword)->setText(text(r.ftpPassword));
    Edit(kIdFtpDirectory)->setText(text(r.ftpDirectory));
    Edit(kIdRunCommand)->setText(text(r.runCommand));
    Button(kIdFtpAllowPlain)->setChecked(r.bFtpAllowPlain);
    Edit(kIdPoolServer)->setText(text(r.poolServer));
    Edit(kIdPoolUser)->setText(text(r.poolUserName));
    Edit(kIdPoolPassword)->setText(text(r.poolPassword));
    Edit(kIdPoolFolder)->setText(text(r.poolFolder));
    Button(kIdPoolAllowPlain)->setChecked(r.bPoolAllowPlain);
    Button(kIdEncrypt)->setChecked(!Edit(kIdKey)->text().isEmpty());
    Button(r.format == TransferFormat::Wav ? kIdWav : kIdDct)->setChecked(true);
    const int methods[] = { kIdEmail, kIdLan, kIdFtp, kIdCommand, kIdPool };
    if (r.method != SendMethod::None)
        Button(methods[static_cast<int>(r.method) - 1])->setChecked(true);
    // Read with 0 here: recipient 0 counts as the default until one is set.
    Button(kIdSetDefault)->setEnabled(DictationKeys::kSendDefault.GetOr(0) != m_uSendTo);
    UpdateEnabling();
}

void SendToDlg::ChooseCompression()
{
    const LDictationEngineSettings engine;
    if (!engine.IsUsable()) {
        m_prompts.box(
            this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption), QString::fromStdString(engine.GetError()));
        return;
    }
    // The same file and reader as the WAV transfer, so what is chosen here is what it writes.
    const std::string path = LCodecRecord::PathFor(engine.GetCurrentFolder(), m_uSendTo);
    LWaveFormat format;
    LCodecRecord::Load(path, &format);
    std::optional<LWaveFormat> chosen
        = LWaveFormatChooser::Choose(format, 1, QStringLiteral("Select Wave File Format"), m_prompts, this);
    if (!chosen)
        return;
    if (!LCodecRecord::Save(path, *chosen) || !DictationKeys::kSampleRate.Set(static_cast<int>(chosen->nSamplesPerSec)))
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption),
            QString::fromStdString(tplprintf("Unable to store the audio compression format in \"%s\".", path)));
}

int SendToDlg::SelectedMethod() const
{
    const int methods[] = { kIdEmail, kIdLan, kIdFtp, kIdCommand, kIdPool };
    for (int i = 0; i < 5; ++i)
        if (Button(methods[i])->isChecked())
            return i + 1;
    return 0;
}

void SendToDlg::UpdateEnabling()
{
    auto enable = [this](int nFirst, int nLast, bool bOn) {
        for (int nId = nFirst; nId <= nLast; ++nId)
            if (QWidget* p = Control(nId))
                p->setEnabled(bOn);
    };
    enable(kIdEmailToLabel, kIdEmailSettings, Button(kIdEmail)->isChecked());
    enable(kIdFolderLabel, kIdBrowseFolder, Button(kIdLan)->isChecked());
    enable(kIdFtpServerLabel, kIdFtpDirectory, Button(kIdFtp)->isChecked());
    enable(kIdFtpAllowPlain, kIdFtpAllowPlain, Button(kIdFtp)->isChecked());
    enable(kIdRunCommand, kIdRunCommandLabel, Button(kIdCommand)->isChecked());
    enable(kIdPoolServerLabel, kIdPoolAllowPlain, Button(kIdPool)->isChecked());
    const bool bDct = !Button(kIdWav)->isChecked();
    const bool bSeal = Button(kIdSeal)->isChecked();
    enable(kIdEncrypt, kIdEncrypt, bDct && !bSeal);
    enable(kIdKeyLabel, kIdKey, bDct && !bSeal && Button(kIdEncrypt)->isChecked());
    enable(kIdSealToLabel, kIdSealProblem, bSeal);
    enable(kIdCompression, kIdCompression, !bDct);
}

bool SendToDlg::Collect(LRecipient* pRecipient, QString* pRefusal, int* pFocus) const
{
    const int nMethod = SelectedMethod();
    auto refuse = [&](int nFocus, const char* szText) {
        *pFocus = nFocus;
        *pRefusal = QString::fromUtf8(szText);
        return false;
    };
    if (nMethod == 0)
        return refuse(kIdEmail, "Please select a send method for this recipient.");
    const QString name = Trimmed(Edit(kIdName));
    if (name.isEmpty())
        return refuse(kIdName, "Recipient name is required. Please try again.");
    if (nMethod == 1 && Trimmed(Edit(kIdEmailTo)).isEmpty())
        return refuse(kIdEmailTo, "Please enter the email address of the person you want to send your dictations to.");
    if (nMethod == 2 && !IsFolder(Trimmed(Edit(kIdFolder)).toStdString()))
        return refuse(
            kIdFolder, "The folder specified is not valid. Please select a valid folder to transfer dictations to.");
    if (nMethod == 3)
        for (int nId : { kIdFtpServer, kIdFtpUser, kIdFtpPassword, kIdFtpDirectory })
            if (Trimmed(Edit(nId)).isEmpty())
                return refuse(nId,
                    "FTP Server or user details are required. If you do not know what they are contact your typing "
                    "server or the ftp server hosting company.");
    if (nMethod == 5)
        for (int nId : { kIdPoolServer, kIdPoolUser, kIdPoolPassword, kIdPoolFolder })
            if (Trimmed(Edit(nId)).isEmpty())
                return refuse(nId,
                    "The mail server, user details and pool folder are required. If you do not know them, ask "
                    "whoever runs the typing pool's mail server.");
    if (nMethod == 4 && Trimmed(Edit(kIdRunCommand)).isEmpty())
        return refuse(kIdRunCommand, "Please enter the exe or bat file you want to run.");
    std::string problem;
    if (nMethod == 4 && !CheckCommandTemplate(Trimmed(Edit(kIdRunCommand)).toStdString(), &problem))
        return refuse(kIdRunCommand, problem.c_str());

    std::string sealTo;
    if (Button(kIdSeal)->isChecked()) {
        sealTo = Trimmed(Edit(kIdSealTo)).toStdString();
        std::string bad;
        const std::optional<std::vector<LAgeKey32>> keys = Engine::ParseSealTo(sealTo, &bad);
        if (!keys)
            return refuse(kIdSealTo,
                tplprintf("\"%s\" is not an age public key. A typist's key begins with \"age1\"; Tavrine Scribe "
                          "shows it on its Keys page.",
                    bad)
                    .c_str());
        if (keys->empty())
            return refuse(kIdSealTo, "Please enter the public key (age1...) of at least one typist to seal for.");
    }
    const bool bWav = Button(kIdWav)->isChecked();
    // A key stays only while its box is checked; WAV files carry none.
    const bool bKeep = !bWav && Button(kIdEncrypt)->isChecked();
    // What the dialog does not show (the command's time-out) stays as stored.
    LRecipient& r = *pRecipient;
    r = Engine::GetRecipient(m_uSendTo);
    r.method = static_cast<SendMethod>(nMethod);
    r.name = name.toStdString();
    r.emailTo = Trimmed(Edit(kIdEmailTo)).toStdString();
    r.folder = Trimmed(Edit(kIdFolder)).toStdString();
    r.ftpServer = Trimmed(Edit(kIdFtpServer)).toStdString();
    r.ftpUserName = Trimmed(Edit(kIdFtpUser)).toStdString();
    // A password may begin or end with a space.
    r.ftpPassword = Edit(kIdFtpPassword)->text().toStdString();
    r.ftpDirectory = Trimmed(Edit(kIdFtpDirectory)).toStdString();
    r.bFtpAllowPlain = Button(kIdFtpAllowPlain)->isChecked();
    r.runCommand = Trimmed(Edit(kIdRunCommand)).toStdString();
    r.poolServer = Trimmed(Edit(kIdPoolServer)).toStdString();
    r.poolUserName = Trimmed(Edit(kIdPoolUser)).toStdString();
    r.poolPassword = Edit(kIdPoolPassword)->text().toStdString();
    r.poolFolder = Trimmed(Edit(kIdPoolFolder)).toStdString();
    r.bPoolAllowPlain = Button(kIdPoolAllowPlain)->isChecked();
    r.format = bWav ? TransferFormat::Wav : TransferFormat::Dct;
    r.encryptionKey = bKeep ? Edit(kIdKey)->text().toStdString() : std::string();
    r.fileNameFormat = Edit(kIdFileNameFormat)->text().toStdString();
    r.sealTo = sealTo;
    if (const char* szTooLong = Engine::FindTooLongValue(r))
        return refuse(kIdName,
            tplprintf("The value of %s is too long: at most %d characters are kept.", szTooLong,
                static_cast<uint32_t>(kMaxSettingChars))
                .c_str());
    return true;
}

bool SendToDlg::Accept()
{
    LRecipient recipient;
    QString refusal;
    int nFocus = kIdName;
    if (!Collect(&recipient, &refusal, &nFocus)) {
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption), refusal);
        Control(nFocus)->setFocus();
        return false;
    }
    if (!Engine::SetRecipient(m_uSendTo, recipient)) {
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption),
            QString::fromStdString(tplprintf("Cannot store the recipient in %s.", GetUserSettingsPath())));
        return false;
    }
    // Sealing chosen: the dictator's own key is made now, so every sealed
    // copy can be opened by its author too.
    std::string why;
    if (!recipient.sealTo.empty() && !LSealIdentity::LoadOrCreate(LSealIdentity::DictatorPath(), &why)) {
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption), QString::fromStdString(why));
        return false;
    }
    accept();
    return true;
}
