#include "app/desktop/dialogs/ControlTestDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

ControlTestDlg::ControlTestDlg(int nPort, HardwareControl::Devices devices, QWidget* pParent)
    : QDialog(pParent)
    , m_control(std::move(devices))
{
    setWindowTitle(QStringLiteral("Test Controller"));
    auto* pLayout = new QVBoxLayout(this);
    m_pText = new QLabel(QStringLiteral("Press a controller button/pedal."), this);
    m_pText->setObjectName(QStringLiteral("101"));
    m_pText->setMinimumWidth(260);
    pLayout->addWidget(m_pText);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    pLayout->addWidget(pButtons);
    if (!m_control.Open(nPort)) {
        m_pText->setText(QStringLiteral("Unable to open port"));
        return;
    }
    connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
    m_timer.start(kTickMs);
}

ControlTestDlg::~ControlTestDlg()
{
    m_timer.stop();
    m_control.Close();
}

void ControlTestDlg::Test(int nPort, QWidget* pParent, HardwareControl::Devices devices, MessageBox box)
{
    if (nPort == HardwareControl::kVoiceStation || nPort == HardwareControl::kSpeechMike) {
        const QString caption = QStringLiteral("Test Controller");
        const QString text
            = QStringLiteral("The controller you have selected will be tested after you close (OK) Settings");
        if (box)
            box(caption, text);
        else
            QMessageBox::information(pParent, caption, text);
        return;
    }
    ControlTestDlg dialog(nPort, std::move(devices), pParent);
    dialog.exec();
}

QString ControlTestDlg::ButtonsText(uint8_t uBits)
{
    static const char* const kNames[4] = { "1", "2", "3", "EOL" };
    QString text;
    for (int i = 0; i < 4; ++i)
        if (uBits & (1u << i))
            text += QLatin1String(kNames[i]);
    return text.isEmpty() ? QStringLiteral("Nothing pressed") : QStringLiteral("Button/Pedal ") + text;
}

QString ControlTestDlg::Text() const
{
    return m_pText->text();
}

void ControlTestDlg::Tick()
{
    // The buttons as read, so that both pedals of a pair show as 1 and 2.
    const uint8_t uBits = m_control.ReadButtons();
    if (uBits == m_nLastBits)
        return;
    // The first look at an idle controller keeps the prompt.
    if (m_nLastBits >= 0 || uBits != 0)
        m_pText->setText(ButtonsText(uBits));
    m_nLastBits = uBits;
}
