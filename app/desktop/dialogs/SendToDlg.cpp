#include "app/desktop/dialogs/SendToDlg.h"

#include "app/desktop/dialogs/LEmailSendSettingsDlg.h"
#include "app/desktop/dialogs/LWaveFormatChooser.h"
#include "app/desktop/settings/LDesktopSettings.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LRunCommand.h"
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
constexpr const char* kDefaultFileNameFormat = "%userid%-%filenumber% %filename% by %username%";
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
    detail(kIdEmailToLabel, "Email Address", kIdEmailTo, kIdEmailSettings, "Settings...");
    method(kIdLan, "Local Area Network (LAN) or Floppy Disk");
    detail(kIdFolderLabel, "Folder or Drive", kIdFolder, kIdBrowseFolder, "...");
    method(kIdFtp, "Direct Internet Connect (upload to typist using FTP)");
    detail(kIdFtpServerLabel, "Server", kIdFtpServer);
    detail(kIdFtpUserLabel, "User Name", kIdFtpUser);
    detail(kIdFtpPasswordLabel, "Password", kIdFtpPassword);
    detail(kIdFtpDirectoryLabel, "Directory", kIdFtpDirectory);
    check(kIdFtpAllowPlain, "Allow sending to this server without encryption (password in plain text)");
    pGrid->addWidget(Control(kIdFtpAllowPlain), nRow++, 1, 1, 2);
    method(kIdCommand, "Run Command Line Process (Advanced Option)");
    detail(kIdRunCommandLabel, "Command", kIdRunCommand, kIdBrowseCommand, "...");
    pLayout->addWidget(pMethod);
    Edit(kIdFtpPassword)->setEchoMode(QLineEdit::Password);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_controls[kIdSetDefault] = pButtons->addButton(QStringLiteral("Set Default"), QDialogButtonBox::ActionRole);
    m_controls[kIdHelp] = pButtons->addButton(QDialogButtonBox::Help);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, this, [this] { Accept(); });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (int nId : { kIdDct, kIdWav, kIdEncrypt, kIdEmail, kIdLan, kIdFtp, kIdCommand })
        connect(Button(nId), &QAbstractButton::toggled, this, [this] { UpdateEnabling(); });
    connect(Button(kIdBrowseFolder), &QAbstractButton::clicked, this, [this] {
        QString folder = chooseFolder(this, QStringLiteral("Locate transmit folder..."), Edit(kIdFolder)->text());
        if (!folder.isEmpty())
            Edit(kIdFolder)->setText(folder);
    });
    connect(Button(kIdBrowseCommand), &QAbstractButton::clicked, this, [this] {
        QString start = QString::fromStdString(GetSettingString("Send", "CommandLineLoadDir", ""));
        QString file = chooseExecutable(this, QStringLiteral("Locate the executable file"), start);
        if (file.isEmpty())
            return;
        SetSettingString("Send", "CommandLineLoadDir", QFileInfo(file).absolutePath().toStdString());
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
        DesktopSettings::kSendDefault.Set(m_uSendTo);
        Button(kIdSetDefault)->setEnabled(false);
    });
    Load();
}

void SendToDlg::Load()
{
    const std::string section = Engine::GetSendToUserSettingSection(m_uSendTo);
    auto text = [&](const char* szName, const char* szDefault = "") {
        return QString::fromStdString(GetSettingString(section, szName, szDefault));
    };
    Edit(kIdName)->setText(text("Name", kDefaultName));
    Edit(kIdFileNameFormat)->setText(text("FileNameFormat", kDefaultFileNameFormat));
    Edit(kIdKey)->setText(text("EncryptionKey"));
    Edit(kIdEmailTo)->setText(text("EmailTo"));
    Edit(kIdFolder)->setText(text("Folder"));
    Edit(kIdFtpServer)->setText(text("FtpServer"));
    Edit(kIdFtpUser)->setText(text("FtpUserName"));
    Edit(kIdFtpPassword)->setText(text("FtpPassword"));
    Edit(kIdFtpDirectory)->setText(text("FtpDirectory"));
    Edit(kIdRunCommand)->setText(text("RunCommand"));
    Button(kIdFtpAllowPlain)->setChecked(GetSettingBool(section, "FtpAllowPlain", false));
    Button(kIdEncrypt)->setChecked(!Edit(kIdKey)->text().isEmpty());
    Button(GetSettingInt(section, "SendFileFormat", 0) == 1 ? kIdWav : kIdDct)->setChecked(true);
    const int methods[] = { kIdEmail, kIdLan, kIdFtp, kIdCommand };
    int nMethod = GetSettingInt(section, "SendMethod", 0);
    if (nMethod >= 1 && nMethod <= 4)
        Button(methods[nMethod - 1])->setChecked(true);
    // Read with 0 here: recipient 0 counts as the default until one is set.
    const auto& key = DesktopSettings::kSendDefault;
    Button(kIdSetDefault)->setEnabled(GetSettingInt(key.szSection, key.szName, 0) != m_uSendTo);
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
    if (!LCodecRecord::Save(path, *chosen)
        || !DesktopSettings::kSampleRate.Set(static_cast<int>(chosen->nSamplesPerSec)))
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption),
            QString::fromStdString(tplprintf("Unable to store the audio compression format in \"%s\".", path)));
}

int SendToDlg::SelectedMethod() const
{
    const int methods[] = { kIdEmail, kIdLan, kIdFtp, kIdCommand };
    for (int i = 0; i < 4; ++i)
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
    const bool bDct = !Button(kIdWav)->isChecked();
    enable(kIdEncrypt, kIdEncrypt, bDct);
    enable(kIdKeyLabel, kIdKey, bDct && Button(kIdEncrypt)->isChecked());
    enable(kIdCompression, kIdCompression, !bDct);
}

bool SendToDlg::Collect(std::vector<std::pair<std::string, std::string>>* pValues, QString* pRefusal, int* pFocus) const
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
    if (nMethod == 4 && Trimmed(Edit(kIdRunCommand)).isEmpty())
        return refuse(kIdRunCommand, "Please enter the exe or bat file you want to run.");
    std::string problem;
    if (nMethod == 4 && !CheckCommandTemplate(Trimmed(Edit(kIdRunCommand)).toStdString(), &problem))
        return refuse(kIdRunCommand, problem.c_str());

    const bool bWav = Button(kIdWav)->isChecked();
    // A key stays only while its box is checked; WAV files carry none.
    const bool bKeep = !bWav && Button(kIdEncrypt)->isChecked();
    auto& v = *pValues;
    v = { { "SendMethod", std::to_string(nMethod) }, { "Name", name.toStdString() },
        { "EmailTo", Trimmed(Edit(kIdEmailTo)).toStdString() }, { "Folder", Trimmed(Edit(kIdFolder)).toStdString() },
        { "FtpServer", Trimmed(Edit(kIdFtpServer)).toStdString() },
        { "FtpUserName", Trimmed(Edit(kIdFtpUser)).toStdString() },
        // A password may begin or end with a space.
        { "FtpPassword", Edit(kIdFtpPassword)->text().toStdString() },
        { "FtpDirectory", Trimmed(Edit(kIdFtpDirectory)).toStdString() },
        { "FtpAllowPlain", Button(kIdFtpAllowPlain)->isChecked() ? "1" : "0" },
        { "RunCommand", Trimmed(Edit(kIdRunCommand)).toStdString() }, { "SendFileFormat", bWav ? "1" : "0" },
        { "EncryptionKey", bKeep ? Edit(kIdKey)->text().toStdString() : std::string() },
        { "FileNameFormat", Edit(kIdFileNameFormat)->text().toStdString() } };
    for (const auto& [key, value] : v)
        if (Engine::CheckSendToValue(key, value) == Engine::SendToValueProblem::TooLong)
            return refuse(kIdName,
                tplprintf("The value of %s is too long: at most %d characters are kept.", key,
                    static_cast<uint32_t>(kMaxSettingChars))
                    .c_str());
    return true;
}

bool SendToDlg::Accept()
{
    std::vector<std::pair<std::string, std::string>> values;
    QString refusal;
    int nFocus = kIdName;
    if (!Collect(&values, &refusal, &nFocus)) {
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption), refusal);
        Control(nFocus)->setFocus();
        return false;
    }
    const std::string section = Engine::GetSendToUserSettingSection(m_uSendTo);
    if (!SetSettingStrings(section, values) || !Engine::SaveSendTo(m_uSendTo)) {
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption),
            QString::fromStdString(tplprintf("Cannot store the recipient in %s.", GetUserSettingsPath())));
        return false;
    }
    accept();
    return true;
}
