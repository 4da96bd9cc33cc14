#include "app/desktop/dialogs/DockDialog.h"

#include "app/desktop/dialogs/LDictationCommandKeys.h"
#include "app/shared/prompts/LCommandProgress.h"
#include "app/transfer/LDockFiles.h"
#include "app/transfer/LLoadFile.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationKeys.h"
#include "foundation/LText.h"
#include "platform/LPcmBackend.h"
#include "send/LDictationSend.h"
#include "sound/convert/LRecordSpeed.h"
#include "sound/device/LMixer.h"
#include "sound/device/LSoundRecordDevice.h"
#include "ui/LDBDisplay.h"
#include "ui/LDBEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

namespace Keys = DockKeys;

const char* const kConnect
    = "Please connect your portable recorder to your computer and press the play button on your portable.";
const char* const kUnable = "Unable to start transfer.\nThis may be because the sound card is being used.";
const char* const kRecording = "Recording dictation.\nWhen complete please click Done.";

} // namespace

DockDialog::DockDialog(LDictationEngineSettings& engine, LMainLoop& loop, LUserPrompts& prompts,
    LProcessListThread* pQueue, Notify notify, std::function<int64_t()> clock, QWidget* pParent)
    : QDialog(pParent)
    , m_engine(engine)
    , m_prompts(prompts)
    , m_pQueue(pQueue)
    , m_notify(std::move(notify))
    , m_clock(std::move(clock))
    , m_recorder(loop)
{
    setWindowTitle(QStringLiteral("Transfer from Portable Dictaphone"));
    setModal(false);
    m_recorder.SetListener(this, 0);

    m_pDevice = new QComboBox(this);
    m_pChannel = new QComboBox(this);
    m_pVolume = new LDBEdit(this);
    m_pActiveLevel = new LDBEdit(this);
    for (LDBEdit* pEdit : { m_pVolume, m_pActiveLevel })
        pEdit->SetRange(127, LDBEdit::kSilent);
    m_pText = new QLabel(this);
    m_pText->setWordWrap(true);
    m_pText->setMinimumHeight(48);
    m_pName = new QLineEdit(this);
    m_pName->setMaxLength(95);
    m_pNotes = new QPlainTextEdit(this);
    m_pNotes->setMaximumHeight(80);
    m_pAutoSend = new QCheckBox(QStringLiteral("Automatically Send when Done"), this);
    m_pRestart = new QPushButton(QStringLiteral("Restart"), this);
    m_pTime = new QLabel(this);
    m_pLevel = new LDBDisplay(this);
    m_pHighSpeed = new QCheckBox(QStringLiteral("High Speed Transfer at speed (%)"), this);
    m_pPercent = new QSpinBox(this);
    m_pPercent->setRange(50, 400);

    auto* pLayout = new QVBoxLayout(this);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("Record device:"), m_pDevice);
    pForm->addRow(QStringLiteral("Input channel:"), m_pChannel);
    pForm->addRow(QStringLiteral("Input volume:"), m_pVolume);
    pForm->addRow(QStringLiteral("Activate level:"), m_pActiveLevel);
    auto* pSpeed = new QHBoxLayout;
    pSpeed->addWidget(m_pHighSpeed);
    pSpeed->addWidget(m_pPercent);
    pSpeed->addStretch();
    pForm->addRow(pSpeed);
    pLayout->addLayout(pForm);
    pLayout->addWidget(m_pText);
    auto* pProgress = new QHBoxLayout;
    pProgress->addWidget(m_pTime);
    pProgress->addWidget(m_pLevel, 1);
    pProgress->addWidget(m_pRestart);
    pLayout->addLayout(pProgress);
    auto* pTape = new QFormLayout;
    pTape->addRow(QStringLiteral("Name:"), m_pName);
    pTape->addRow(QStringLiteral("Notes:"), m_pNotes);
    pLayout->addLayout(pTape);
    pLayout->addWidget(m_pAutoSend);
    auto* pButtons = new QDialogButtonBox(this);
    pButtons->addButton(QStringLiteral("Done"), QDialogButtonBox::AcceptRole);
    pButtons->addButton(QDialogButtonBox::Cancel);
    pLayout->addWidget(pButtons);
    // Tab down the window as it is laid out, and out of the notes rather than into them.
    m_pNotes->setTabChangesFocus(true);
    QWidget* chain[] = { m_pDevice, m_pChannel, m_pVolume, m_pActiveLevel, m_pHighSpeed, m_pPercent, m_pRestart,
        m_pName, m_pNotes, m_pAutoSend };
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);

    connect(pButtons, &QDialogButtonBox::accepted, this, &DockDialog::CmOk);
    connect(pButtons, &QDialogButtonBox::rejected, this, &DockDialog::reject);
    connect(m_pRestart, &QPushButton::clicked, this, &DockDialog::CmRestart);
    connect(m_pName, &QLineEdit::textEdited, this, [this] { m_bNameEdited = true; });
    connect(m_pNotes, &QPlainTextEdit::textChanged, this, [this] { m_bNotesEdited = true; });
    connect(m_pVolume, &LDBEdit::Changed, this, [this](int nDb) {
        (void)LMixer::SetInputChannel(m_pDevice->currentIndex(), m_pChannel->currentIndex() - 1, nDb);
    });
    connect(m_pHighSpeed, &QCheckBox::toggled, this, [this](bool bOn) {
        m_pPercent->setEnabled(bOn);
        StartTransfer();
    });
    connect(m_pPercent, &QSpinBox::editingFinished, this, [this] { StartTransfer(); });
}

DockDialog::~DockDialog()
{
    // Closed any way but Done: the tape goes with its files.
    m_recorder.Stop();
    m_recorder.SetListener(nullptr, 0);
    DeleteTape();
    if (m_notify)
        m_notify(1, nullptr);
}

QWidget* DockDialog::Control(int nId) const
{
    switch (nId) {
    case kIdDevice:
        return m_pDevice;
    case kIdChannel:
        return m_pChannel;
    case kIdVolume:
        return m_pVolume;
    case kIdActiveLevel:
        return m_pActiveLevel;
    case kIdText:
        return m_pText;
    case kIdName:
        return m_pName;
    case kIdNotes:
        return m_pNotes;
    case kIdAutoSend:
        return m_pAutoSend;
    case kIdRestart:
        return m_pRestart;
    case kIdTime:
        return m_pTime;
    case kIdLevel:
        return m_pLevel;
    case kIdHighSpeed:
        return m_pHighSpeed;
    case kIdPercent:
        return m_pPercent;
    default:
        return nullptr;
    }
}

void DockDialog::InitDialog()
{
    const size_t nInputs = LPcmBackend::Current().ListDevices(LPcmBackend::Direction::Capture).size();
    for (size_t n = 0; n <= nInputs && n <= 255; ++n)
        m_pDevice->addItem(QString::fromStdString(LSoundRecordDevice { static_cast<uint8_t>(n), -1 }.GetText()));
    m_pDevice->setCurrentIndex(std::clamp(Keys::kRecordDevice.Get(), 0, m_pDevice->count() - 1));
    SetupRecordChannels();
    m_pChannel->setCurrentIndex(std::clamp(Keys::kRecordChannel.Get(), 0, m_pChannel->count() - 1));
    m_pVolume->SetValue(LChannelLevels::Clamp(Keys::kRecordVolume.Get()));
    m_pActiveLevel->SetValue(LChannelLevels::Clamp(Keys::kActiveLevel.Get()));
    m_pAutoSend->setChecked(Keys::kAutoSend.Get());
    {
        const QSignalBlocker block(m_pHighSpeed);
        m_pHighSpeed->setChecked(Keys::kHighSpeed.Get());
    }
    m_pPercent->setValue(Keys::kHighSpeedPercent.Get());
    m_pPercent->setEnabled(m_pHighSpeed->isChecked());
    // Device and channel changes start again once the tape exists.
    connect(m_pDevice, &QComboBox::currentIndexChanged, this, [this] {
        SetupRecordChannels();
        StartTransfer();
    });
    connect(m_pChannel, &QComboBox::activated, this, [this] { StartTransfer(); });

    DeleteTape();
    // The tapes share the counter of the new dictations.
    const int n = (DictationCommandKeys::kDisplayFileNumber.Get() % 999 + 999) % 999 + 1;
    DictationCommandKeys::kDisplayFileNumber.Set(n);
    const std::string name = tplprintf("Tape %.3d", n);
    m_pTape = std::make_unique<LDictation>(m_engine.GetCurrentFolder(), name);
    if (!m_pTape->IsValid())
        m_pTape.reset();
    {
        const QSignalBlocker block(m_pName);
        m_pName->setText(QString::fromStdString(name));
    }
    m_tLastLoud = 0;
    EnableControls(false, false);
    StartTransfer();
    if (m_notify)
        m_notify(1, nullptr);
}

void DockDialog::SetupRecordChannels()
{
    const QSignalBlocker block(m_pChannel);
    m_pChannel->clear();
    m_pChannel->addItem(QStringLiteral("[Default Input Channel]"));
    const int nDevice = m_pDevice->currentIndex();
    for (int n = 0; n < LMixer::GetInputChannelCount(nDevice); ++n)
        m_pChannel->addItem(QString::fromStdString(LMixer::GetInputChannelName(nDevice, n)));
}

bool DockDialog::StartTransfer()
{
    if (!m_pTape)
        return false;
    m_recorder.Stop();
    // Over everything from 0: a restart replaces what was recorded.
    LSoundSinkRef sink = m_pTape->OpenSink(kRecordOverwrite, false, 0);
    if (sink && m_pHighSpeed->isChecked())
        sink = LRecordSpeed::OpenSink(m_pPercent->value(), sink);
    const int nDevice = m_pDevice->currentIndex();
    const int nChannel = m_pChannel->currentIndex() - 1;
    (void)LMixer::SetInputChannel(nDevice, nChannel, m_pVolume->GetValue());
    m_recorder.SetRecordDevice(LSoundRecordDevice { static_cast<uint8_t>(std::max(nDevice, 0)), -1 });
    m_tLastLoud = 0;
    // The recorder's mark starts at the sink's time, 0; its thread may move
    // it before Start returns.
    m_nRecorderLoudMs = 0;
    const bool bStarted = sink && m_recorder.Start(sink, 0, kMaxTimeMs, m_pActiveLevel->GetValue(), kHangTimeMs);
    m_pText->setText(QString::fromUtf8(bStarted ? kConnect : kUnable));
    return bStarted;
}

void DockDialog::CmRestart()
{
    StartTransfer();
}

void DockDialog::EnableControls(bool bRecording, bool bWaiting)
{
    m_pRestart->setEnabled(bRecording);
    m_pTime->setEnabled(bRecording || bWaiting);
    m_pLevel->setEnabled(bRecording || bWaiting);
}

void DockDialog::OnRecording(uint32_t)
{
    EnableControls(true, false);
    m_pText->setText(QString::fromUtf8(kRecording));
}

void DockDialog::OnWaiting(uint32_t)
{
    m_pTime->setEnabled(true);
    m_pLevel->setEnabled(true);
    // State reports coalesce: a short recording may be over before the
    // window hears of it, and what it recorded can still be restarted.
    if (m_pTape && m_pTape->GetTotalSamples() > 0 && !m_pRestart->isEnabled())
        OnRecording(0);
}

void DockDialog::OnStopped(uint32_t)
{
    EnableControls(false, false);
    m_tLastLoud = 0;
}

void DockDialog::OnTime(uint32_t, int32_t nMs)
{
    m_pTime->setText(QString::fromStdString(LSoundTime(nMs).ToTextTenths()));
}

void DockDialog::OnLevels(uint32_t, const LChannelLevels& levels)
{
    m_pLevel->SetLevels(levels);
    int nLevel = LChannelLevels::kSilence;
    if (levels.nCount == 1)
        nLevel = levels.nLevel[0];
    else if (levels.nCount >= 2)
        nLevel = std::max(levels.nLevel[0], levels.nLevel[1]);
    // Level reports coalesce, so a busy window may never see a loud one: a
    // loud block the recorder marked since the last report counts as well.
    const int32_t nLoudMs = m_recorder.GetLastLoudTime();
    const bool bMarked = nLoudMs != m_nRecorderLoudMs;
    m_nRecorderLoudMs = nLoudMs;
    const int64_t now = m_clock();
    if (nLevel > m_pActiveLevel->GetValue() || bMarked) {
        m_tLastLoud = now;
    } else if (m_tLastLoud != 0 && !m_bEnding && now - m_tLastLoud >= kQuietEndSeconds) {
        // At least, not exactly: a busy second must not keep the transfer going for ever.
        m_bEnding = true;
        QTimer::singleShot(0, this, &DockDialog::CmOk);
    }
}

void DockDialog::CmOk()
{
    if (!m_pTape) {
        close();
        return;
    }
    m_recorder.Stop();
    m_pTape->UpdateDuration();
    m_pTape->Save();
    if (m_bNameEdited && !m_pName->text().trimmed().isEmpty())
        m_pTape->SetName(m_pName->text().trimmed().toStdString());
    if (m_bNotesEdited)
        m_pTape->SetNotes(m_pNotes->toPlainText().toStdString());
    Keys::kRecordDevice.Set(m_pDevice->currentIndex());
    Keys::kRecordChannel.Set(m_pChannel->currentIndex());
    Keys::kRecordVolume.Set(m_pVolume->GetValue());
    Keys::kActiveLevel.Set(m_pActiveLevel->GetValue());
    Keys::kHighSpeed.Set(m_pHighSpeed->isChecked());
    Keys::kHighSpeedPercent.Set(m_pPercent->value());
    Keys::kAutoSend.Set(m_pAutoSend->isChecked());
    const int nDefault = DictationKeys::kSendDefault.Get();
    if (m_pAutoSend->isChecked() && nDefault != -1 && m_pQueue) {
        const std::optional<uint8_t> uSendTo = DefaultRecipient();
        const JobResult nSent = uSendTo ? RunInProgress(this, m_prompts, "Sending Dictation",
                                    [&](LProgressReporter& progress) {
                                        return LDictationSend::Process(progress, *m_pTape, *uSendTo, *m_pQueue);
                                    })
                                        : JobResult::kFailed;
        // Sent, it is the queue's; a tape that could not be sent stays in the list.
        if (nSent == JobResult::kDone)
            m_pTape.reset();
    }
    if (m_pTape && m_notify)
        m_notify(0, std::move(m_pTape));
    m_pTape.reset();
    close();
}

void DockDialog::reject()
{
    m_recorder.Stop();
    DeleteTape();
    QDialog::reject();
}

void DockDialog::DeleteTape()
{
    if (m_pTape) {
        m_pTape->Delete();
        m_pTape.reset();
    }
}
