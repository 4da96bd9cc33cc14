#include "app/desktop/dialogs/LEmailSendSettingsDlg.h"

#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LMailSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <string>
#include <utility>
#include <vector>

namespace {

namespace Keys = MailKeys;

} // namespace

LEmailSendSettingsDlg::LEmailSendSettingsDlg(
    const LUserPrompts& prompts, QWidget* pParent, LMailCredentials& credentials)
    : QDialog(pParent)
    , m_prompts(prompts)
    , m_credentials(credentials)
{
    setWindowTitle(QStringLiteral("Email Settings"));
    setObjectName(QStringLiteral("LEmailSendSet"));
    checkMailProgram = [] { return CheckMailProgram(nullptr); };

    auto add = [this](int nId, QWidget* pWidget) {
        m_controls[nId] = pWidget;
        pWidget->setObjectName(QStringLiteral("c%1").arg(nId));
        return pWidget;
    };
    auto label = [&](int nId, const QString& text) {
        auto* pLabel = new QLabel(text, this);
        pLabel->setWordWrap(true);
        return add(nId, pLabel);
    };

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(add(kIdMailProgram,
        new QRadioButton(
            QStringLiteral("Use the desktop's email program to send email (eg. Thunderbird, Evolution, etc)"), this)));
    pLayout->addWidget(
        add(kIdSmtp, new QRadioButton(QStringLiteral("Use SMTP to send email directly to the mail server"), this)));

    auto* pGrid = new QGridLayout;
    pGrid->setColumnMinimumWidth(0, 20);
    int nRow = 0;
    auto row = [&](QWidget* pWidget) { pGrid->addWidget(pWidget, nRow++, 1, 1, 2); };
    row(label(kIdHostLabel, QStringLiteral("SMTP mail host, for example mail.example.com:")));
    row(add(kIdHost, new QLineEdit(this)));
    pGrid->addWidget(label(kIdPortLabel, QStringLiteral("Port (465 for TLS from the start):")), nRow, 1);
    auto* pPort = new QSpinBox(this);
    pPort->setRange(1, 65535);
    pGrid->addWidget(add(kIdPort, pPort), nRow++, 2);
    pGrid->addWidget(label(kIdUserLabel, QStringLiteral("Your user name on the server:")), nRow, 1);
    pGrid->addWidget(add(kIdUser, new QLineEdit(this)), nRow++, 2);
    pGrid->addWidget(label(kIdPasswordLabel, QStringLiteral("Your password:")), nRow, 1);
    pGrid->addWidget(add(kIdPassword, new QLineEdit(this)), nRow++, 2);
    Edit(kIdUser)->setPlaceholderText(QStringLiteral("Empty when the server needs no logon"));
    Edit(kIdPassword)->setEchoMode(QLineEdit::Password);
    row(label(kIdLogonNote,
        QStringLiteral("The server is the same for every user of this computer; the user name and password are "
                       "kept for you alone.")));
    row(add(kIdAllowPlain,
        new QCheckBox(
            QStringLiteral("Allow sending the password without encryption when the server offers no TLS"), this)));
    row(label(kIdReplyToLabel, QStringLiteral("Your email address (reply-to address):")));
    row(add(kIdReplyTo, new QLineEdit(this)));
    row(label(kIdTlsNote,
        QStringLiteral("The connection is encrypted with TLS whenever the server offers it, and the server's "
                       "certificate is always checked.")));
    pLayout->addLayout(pGrid);
    pLayout->addWidget(label(
        kIdDownloadLabel, QStringLiteral("Address where typists download Tavrine Scribe (named in each email):")));
    pLayout->addWidget(add(kIdDownload, new QLineEdit(this)));

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, this, [this] { Accept(); });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    Button(Keys::kUseMailProgram.Get() ? kIdMailProgram : kIdSmtp)->setChecked(true);
    // An old value still holding the logon shows it apart; only OK moves it.
    const LMailServer server = SplitMailHostSetting(Keys::kSmtpHost.Get());
    LMailLogon logon;
    if (!m_credentials.Read(&logon))
        logon = server.logon;
    Edit(kIdHost)->setText(QString::fromStdString(server.host));
    Edit(kIdUser)->setText(QString::fromStdString(logon.user));
    Edit(kIdPassword)->setText(QString::fromStdString(logon.password));
    pPort->setValue(Keys::kSmtpPort.Get());
    Button(kIdAllowPlain)->setChecked(Keys::kAllowPlainPassword.Get());
    Edit(kIdReplyTo)->setText(QString::fromStdString(Keys::kReplyTo.Get()));
    Edit(kIdDownload)->setText(QString::fromStdString(Keys::kDownloadAddress.Get()));
    connect(Button(kIdSmtp), &QAbstractButton::toggled, this, [this] { UpdateEnabling(); });
    UpdateEnabling();
}

QSpinBox* LEmailSendSettingsDlg::Port() const
{
    return qobject_cast<QSpinBox*>(Control(kIdPort));
}

void LEmailSendSettingsDlg::UpdateEnabling()
{
    const bool bSmtp = Button(kIdSmtp)->isChecked();
    for (int nId : { kIdHostLabel, kIdHost, kIdPortLabel, kIdPort, kIdAllowPlain, kIdReplyToLabel, kIdReplyTo,
             kIdTlsNote, kIdUserLabel, kIdUser, kIdPasswordLabel, kIdPassword, kIdLogonNote })
        Control(nId)->setEnabled(bSmtp);
}

bool LEmailSendSettingsDlg::Accept()
{
    const bool bSmtp = Button(kIdSmtp)->isChecked();
    const std::string host = Edit(kIdHost)->text().trimmed().toStdString();
    const std::string replyTo = Edit(kIdReplyTo)->text().trimmed().toStdString();
    const std::string download = Edit(kIdDownload)->text().trimmed().toStdString();
    const std::string user = Edit(kIdUser)->text().trimmed().toStdString();
    // A password may begin or end with a space; without a user name none is sent.
    const std::string password = user.empty() ? std::string() : Edit(kIdPassword)->text().toStdString();
    auto refuse = [this](LUserPrompts::Box box, int nFocus, const QString& caption, const QString& text) {
        m_prompts.box(this, box, caption, text);
        Control(nFocus)->setFocus();
        return false;
    };
    if (!bSmtp) {
        const LMailProgramCheck check = checkMailProgram();
        if (check != LMailProgramCheck::Ready)
            return refuse(LUserPrompts::Box::Information, kIdMailProgram, QStringLiteral("MAPI Not Detected"),
                QStringLiteral("Your email software (eg. Thunderbird / Evolution) has not been setup for MAPI. Refer "
                               "to your email software Help to find out how to set it up for MAPI. Otherwise use the "
                               "SMTP option.\n\nOn this desktop: %1")
                    .arg(QString::fromStdString(MailProgramProblemText(check))));
    }
    if (bSmtp && host.empty())
        return refuse(LUserPrompts::Box::Warning, kIdHost, QStringLiteral("Mailhost Required"),
            QStringLiteral("If you choose SMTP you must enter a SMTP mailhost. Call your ISP if you don't know what "
                           "your SMTP mailhost is."));
    // A logon typed after the host would land in the file every user reads.
    if (host.find(':') != std::string::npos)
        return refuse(LUserPrompts::Box::Warning, kIdHost, QStringLiteral("Email Settings"),
            QStringLiteral("Enter the mail host alone, and your user name and password in their own fields."));
    if (bSmtp && replyTo.empty())
        return refuse(LUserPrompts::Box::Warning, kIdReplyTo, QStringLiteral("Reply Email Required"),
            QStringLiteral("If you choose SMTP you must enter a valid reply-to address. Enter your email address."));
    const std::pair<int, const std::string*> texts[] = { { kIdHost, &host }, { kIdUser, &user },
        { kIdPassword, &password }, { kIdReplyTo, &replyTo }, { kIdDownload, &download } };
    for (const auto& [nId, pText] : texts)
        if (pText->size() > kMaxSettingChars)
            return refuse(LUserPrompts::Box::Error, nId, QStringLiteral("Email Settings"),
                QString::fromStdString(tplprintf("This entry is too long: at most %d characters are kept.",
                    static_cast<uint32_t>(kMaxSettingChars))));

    // The logon first: the machine-wide value loses an old one only once it is the user's.
    if (!m_credentials.Write({ user, password }))
        return refuse(LUserPrompts::Box::Error, kIdUser, QStringLiteral("Email Settings"),
            QString::fromStdString(
                tplprintf("Cannot store your user name and password in %s.", GetUserSettingsPath())));
    // Checked above, so that a refused OK never leaves the method switched
    // without the server it needs.
    const bool bStored = Keys::kUseMailProgram.Set(!bSmtp) && Keys::kSmtpHost.Set(host)
        && Keys::kSmtpPort.Set(Port()->value()) && Keys::kAllowPlainPassword.Set(Button(kIdAllowPlain)->isChecked())
        && Keys::kReplyTo.Set(replyTo) && Keys::kDownloadAddress.Set(download);
    if (!bStored)
        return refuse(LUserPrompts::Box::Error, kIdHost, QStringLiteral("Email Settings"),
            QString::fromStdString(tplprintf("Cannot store the email settings in %s.", GetMachineSettingsPath())));
    accept();
    return true;
}
