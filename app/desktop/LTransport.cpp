#include "app/desktop/LTransport.h"

#include "app/desktop/LTones.h"
#include "app/desktop/MainDialog.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "foundation/LFile.h"
#include "foundation/LSettings.h"
#include "sound/LFactoryPlaySpeed.h"
#include "sound/LMixer.h"
#include "sound/LSoundTime.h"
#include "ui/LDBDisplay.h"

#include <QAction>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>

namespace {

const char kPlayFailed[]
    = "Unable to start playback.\n\nThis might mean you do not have a sound card installed or the sound card is being "
      "used by another application. Please check Hardware Settings.";
const char kRecordFailed[] = "Unable to start the sound record device. Please check you have selected the correct "
                             "Sound Record Device with Hardware Settings.";
const char kDeviceCaption[] = "Sound Device Error";

enum class RecordImage { Normal, Insert, Recording, RecordingInsert, Waiting, WaitingInsert };

QIcon RecordIcon(RecordImage image)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    const bool bWaiting = image == RecordImage::Waiting || image == RecordImage::WaitingInsert;
    const bool bActive = image != RecordImage::Normal && image != RecordImage::Insert;
    const bool bInsert
        = image == RecordImage::Insert || image == RecordImage::RecordingInsert || image == RecordImage::WaitingInsert;
    QColor red = bActive ? QColor(240, 20, 20) : QColor(210, 30, 30);
    if (bWaiting) {
        p.setPen(QPen(red, 1.6));
        p.setBrush(Qt::NoBrush);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(red);
    }
    p.drawEllipse(QRectF(4, 4, 8, 8));
    if (bInsert) {
        // The caret of a text insertion point beside the dot.
        p.setPen(QPen(QColor(40, 40, 40), 1.4));
        p.drawLine(QPointF(14, 3), QPointF(14, 13));
    }
    return QIcon(pixmap);
}

QIcon WindowStateIcon(bool bRecording)
{
    QIcon icon = MainDialog::AppIcon();
    QPixmap pixmap = icon.pixmap(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(bRecording ? QColor(230, 20, 20) : QColor(240, 170, 20));
    p.drawEllipse(QRectF(17, 17, 14, 14));
    return QIcon(pixmap);
}

int32_t DictationLengthMs(const LDictation& d)
{
    return MainDialog::LengthMs(d.GetTotalSamples(), d.Header().uSampleRate);
}

} // namespace

LTransport::LTransport(MainDialog& dialog, LMainLoop& loop)
    : m_dialog(dialog)
    , m_player(loop)
    , m_recorder(loop)
{
    m_player.SetListener(&m_playerListener, 0);
    m_recorder.SetListener(&m_recorderListener, 0);
    m_stoppedToneTimer.setSingleShot(true);
    QObject::connect(&m_stoppedToneTimer, &QTimer::timeout, [this] { OnStoppedToneTimer(); });
    SetupPlaySpeed();
    SetupRecordMode();
}

LTransport::~LTransport()
{
    // The window may be half gone: nothing is shown of these last stops.
    m_player.SetListener(nullptr, 0);
    m_recorder.SetListener(nullptr, 0);
    m_player.Stop();
    m_recorder.Stop();
}

bool LTransport::IsTransportCommand(int nId)
{
    switch (nId) {
    case MainDialog::kIdPlay:
    case MainDialog::kIdRecord:
    case MainDialog::kIdStop:
    case MainDialog::kIdGoStart:
    case MainDialog::kIdGoEnd:
    case 2001:
    case 2002:
    case 2003:
    case 2011:
    case 2012:
    case 2013:
    case 2021:
    case 2022:
    case 2023:
    case 2024:
    case 2031:
    case 2032:
    case 2033:
    case 2041:
    case 2042:
    case 2043:
        return true;
    default:
        return false;
    }
}

bool LTransport::Command(int nId)
{
    switch (nId) {
    case MainDialog::kIdPlay:
    case 2002:
        CmPlay();
        return true;
    case MainDialog::kIdRecord:
    case 2001:
        CmRecord(m_nRecordMode);
        return true;
    case 2031:
    case 2032:
    case 2033:
        CmRecord(2033 - nId);
        return true;
    case 2041:
    case 2042:
    case 2043:
        SetDefaultRecordMode(2043 - nId);
        return true;
    case MainDialog::kIdStop:
    case 2003:
        CmStop();
        return true;
    case MainDialog::kIdGoStart:
    case 2021:
        CmGoStart();
        return true;
    case MainDialog::kIdGoEnd:
    case 2024:
        CmEnd();
        return true;
    case 2022:
        CmBack();
        return true;
    case 2023:
        CmFwd();
        return true;
    case 2011:
    case 2012:
    case 2013:
        SetPlaySpeed(nId - 2011);
        return true;
    default:
        return false;
    }
}

void LTransport::ConnectControls()
{
    for (int nId : { int { MainDialog::kIdPlay }, int { MainDialog::kIdRecord }, int { MainDialog::kIdStop },
             int { MainDialog::kIdGoStart }, int { MainDialog::kIdGoEnd } }) {
        auto* pButton = qobject_cast<QToolButton*>(m_dialog.Control(nId));
        if (!pButton)
            continue;
        QObject::connect(pButton, &QToolButton::clicked, pButton, [this, nId] {
            m_dialog.Command(nId);
            // A checkable button shows the transport's state, not the click.
            if (auto* p = qobject_cast<QToolButton*>(m_dialog.Control(MainDialog::kIdPlay)))
                p->setChecked(IsPlaying() && !IsScanning());
            if (auto* p = qobject_cast<QToolButton*>(m_dialog.Control(MainDialog::kIdRecord)))
                p->setChecked(GetRecordState() != LSoundRecorder::kStateStopped);
        });
    }
    if (auto* pRewind = qobject_cast<QToolButton*>(m_dialog.Control(MainDialog::kIdRewind))) {
        QObject::connect(pRewind, &QToolButton::pressed, pRewind, [this] { CmBack(); });
        QObject::connect(pRewind, &QToolButton::released, pRewind, [this] { CmBackFwdStop(); });
    }
    if (auto* pForward = qobject_cast<QToolButton*>(m_dialog.Control(MainDialog::kIdFastForward))) {
        QObject::connect(pForward, &QToolButton::pressed, pForward, [this] { CmFwd(); });
        QObject::connect(pForward, &QToolButton::released, pForward, [this] { CmBackFwdStop(); });
    }
    if (auto* pBar = qobject_cast<QScrollBar*>(m_dialog.Control(MainDialog::kIdPositionBar))) {
        QObject::connect(pBar, &QScrollBar::actionTriggered, pBar, [this, pBar](int nAction) {
            switch (nAction) {
            case QAbstractSlider::SliderSingleStepSub:
                ScrollSeek(kLineLeft, 0);
                break;
            case QAbstractSlider::SliderPageStepSub:
                ScrollSeek(kPageLeft, 0);
                break;
            case QAbstractSlider::SliderSingleStepAdd:
                ScrollSeek(kLineRight, 0);
                break;
            case QAbstractSlider::SliderPageStepAdd:
                ScrollSeek(kPageRight, 0);
                break;
            case QAbstractSlider::SliderMove:
                ScrollSeek(kThumbTrack, pBar->sliderPosition());
                break;
            case QAbstractSlider::SliderToMinimum:
                ScrollSeek(kTop, 0);
                break;
            case QAbstractSlider::SliderToMaximum:
                ScrollSeek(kBottom, 0);
                break;
            default:
                break;
            }
        });
    }
    ResetImages();
}

LDictation* LTransport::Current() const
{
    const int nId = m_dialog.GetCurrentId();
    return nId < 0 ? nullptr : m_dialog.Dictations().FindDictation(nId);
}

void LTransport::ShowMessage(const QString& caption, const QString& text)
{
    if (m_messageBox)
        m_messageBox(caption, text);
    else
        QMessageBox::critical(&m_dialog, caption, text);
}

void LTransport::CmStop()
{
    m_player.Stop();
    m_recorder.Stop();
}

void LTransport::CmPlay()
{
    CmStop();
    LDictation* pDictation = Current();
    if (!pDictation)
        return;
    LSoundSourceRef source(LDictationAudioSource::Make(*pDictation));
    if (!source || !source->IsUsable())
        return;
    const int32_t nRate = source->SampleRate();
    const int32_t nLength = LSoundTime::FromSamples(source->GetLength(), nRate).Ms();
    // Playing from the end replays the last second.
    int32_t nFrom = std::min(m_dialog.GetPosition(), nLength - 1000);
    if (nFrom > 0)
        source->Seek(LSoundTime(nFrom).ToSamples(nRate));
    m_dialog.SetPosition(std::max(nFrom, 0));
    if (m_nPlaySpeed != 1)
        source = LFactoryPlaySpeed::ForSetting(m_nPlaySpeed).OpenSource(source);
    const int nDevice = std::max(GetMachineInt("Settings", "PlayDevice", 0), 0);
    const int nVolume = LChannelLevels::Clamp(GetMachineInt("Settings", "PlayVolume", 0));
    (void)LMixer::SetPlayVolume(nDevice, 0, nVolume);
    m_player.SetPlayDevice(LSoundPlayDevice { nDevice });
    m_nPlayRate = nRate;
    m_nPlaySourceMs = nLength;
    if (!m_player.Start(source))
        ShowMessage(QString::fromUtf8(kDeviceCaption), QString::fromUtf8(kPlayFailed));
}

void LTransport::CmRecord(int nMode)
{
    if (GetRecordState() != LSoundRecorder::kStateStopped)
        return;
    CmStop();
    LDictation* pDictation = Current();
    if (!pDictation)
        pDictation = m_dialog.CmNewFile();
    if (!pDictation)
        return;
    nMode = std::clamp(nMode, int { kRecordAtEnd }, int { kRecordOverwrite });
    const int32_t nLength = DictationLengthMs(*pDictation);
    const int32_t nPosition = std::clamp(m_dialog.GetPosition(), 0, nLength);
    switch (nMode) {
    case kRecordAtEnd:
        m_nRecordStart = m_nRecordBaseLength = nLength;
        break;
    case kRecordInsert:
        m_nRecordStart = nPosition;
        m_nRecordBaseLength = nLength;
        break;
    default:
        m_nRecordStart = m_nRecordBaseLength = nPosition;
        break;
    }
    if (GetSettingBool("Settings", "RecordTone", false))
        LTones::Play(LTones::Tone::Record, std::max(GetMachineInt("Settings", "PlayDevice", 0), 0));

    LSoundSinkRef sink = pDictation->OpenSink(nMode, true, nPosition);
    if (!sink) {
        ShowMessage(QStringLiteral("Tavrine Dictate"),
            QString::fromUtf8(IsDiskFullError(pDictation->GetLastErrno())
                    ? "Unable to create a recording file in \"%1\": the disk holding that folder is full."
                    : "Unable to create a recording file in \"%1\".")
                .arg(QString::fromStdString(pDictation->GetFolder())));
        return;
    }
    const int nDevice = std::clamp(GetMachineInt("Settings", "RecordDevice", 0), 0, 255);
    const int nChannel = GetMachineInt("Settings", "RecordChan", -1);
    const int nVolume = LChannelLevels::Clamp(GetMachineInt("Settings", "RecordVolume", 0));
    (void)LMixer::SetInputChannel(nDevice, nChannel, nVolume);
    m_recorder.SetRecordDevice(LSoundRecordDevice { static_cast<uint8_t>(nDevice), -1 });
    const int nStartLevel = LChannelLevels::Clamp(GetMachineInt("Settings", "VoiceActivateLevel", -18));
    if (!m_recorder.Start(sink, 0, kMaxRecordMs, nStartLevel, kHangTimeMs)) {
        // The dictation goes back to what it was: list, undo stack, no cut file.
        sink.Reset();
        pDictation->UndoFailedRecording();
        m_dialog.RefreshRow(pDictation->nListIndex);
        ShowMessage(QString::fromUtf8(kDeviceCaption), QString::fromUtf8(kRecordFailed));
        return;
    }
    // The recorder holds the sink; its release at stop closes the cut file.
    // A reference stays here until then, to tell a full disk at the stop.
    m_recordSink = std::move(sink);
    m_nRecordingId = pDictation->nListIndex;
    m_nRecordingMode = nMode;
    m_dialog.SetLength(m_nRecordBaseLength);
    m_dialog.SetPosition(m_nRecordStart);
}

bool LTransport::StartScan(bool bForward, int32_t nFromMs)
{
    LDictation* pDictation = Current();
    if (!pDictation)
        return false;
    LSoundSourceRef source(LDictationAudioSource::Make(*pDictation));
    if (!source || !source->IsUsable())
        return false;
    const int32_t nRate = source->SampleRate();
    const int32_t nLength = LSoundTime::FromSamples(source->GetLength(), nRate).Ms();
    if (bForward && nLength < nFromMs) {
        CmEnd();
        return false;
    }
    if (nFromMs > 0)
        source->Seek(LSoundTime(nFromMs).ToSamples(nRate));
    source = LFactoryPlaySpeed::ForScan(bForward).OpenSource(source);
    m_player.Stop();
    m_player.SetPlayDevice(LSoundPlayDevice { std::max(GetMachineInt("Settings", "PlayDevice", 0), 0) });
    m_nPlayRate = nRate;
    m_nPlaySourceMs = nLength;
    if (!m_player.Start(source))
        return false;
    (bForward ? m_bFastForwardRunning : m_bRewindRunning) = true;
    return true;
}

void LTransport::CmBack()
{
    int32_t nFrom = m_dialog.GetPosition() - 500;
    if (IsPlaying()) {
        if (m_bRewindRunning)
            return;
        nFrom = m_dialog.GetPosition() - 500;
        m_bResumePlay = true;
    } else {
        m_bResumePlay = false;
    }
    if (GetRecordState() != LSoundRecorder::kStateStopped) {
        nFrom = m_dialog.GetPosition() - 500;
        m_recorder.Stop();
        m_bResumePlay = true;
    }
    StartScan(false, nFrom);
}

void LTransport::CmFwd()
{
    int32_t nFrom = m_dialog.GetPosition();
    if (IsPlaying()) {
        if (m_bFastForwardRunning)
            return;
        nFrom = m_dialog.GetPosition() + 300;
        m_bResumePlay = true;
    } else {
        m_bResumePlay = false;
    }
    if (GetRecordState() != LSoundRecorder::kStateStopped) {
        nFrom = m_dialog.GetPosition();
        m_recorder.Stop();
    }
    StartScan(true, nFrom);
}

void LTransport::CmBackFwdStop()
{
    m_player.Stop();
    if (m_bResumePlay) {
        m_bResumePlay = false;
        CmPlay();
    }
}

void LTransport::StopRecorderForMove()
{
    m_recorder.Stop();
}

void LTransport::CmGoStart()
{
    if (IsPlaying()) {
        m_player.Seek(0);
        m_dialog.SetPosition(0);
    } else if (GetRecordState() != LSoundRecorder::kStateStopped) {
        StopRecorderForMove();
        m_dialog.SetPosition(0);
        CmPlay();
    } else {
        m_dialog.SetPosition(0);
    }
}

void LTransport::CmEnd()
{
    if (IsPlaying()) {
        const int32_t nTo = std::max(m_nPlaySourceMs - 1000, 0);
        m_player.Seek(LSoundTime(nTo).ToSamples(m_nPlayRate));
        m_dialog.SetPosition(nTo);
        return;
    }
    m_recorder.Stop();
    if (LDictation* pDictation = Current())
        m_dialog.SetPosition(DictationLengthMs(*pDictation));
}

void LTransport::SeekTo(int32_t nMs)
{
    nMs = std::max(nMs, 0);
    if (IsPlaying()) {
        m_player.Seek(LSoundTime(nMs).ToSamples(m_nPlayRate));
        m_dialog.SetPosition(nMs);
    } else if (GetRecordState() != LSoundRecorder::kStateStopped) {
        StopRecorderForMove();
        m_dialog.SetPosition(nMs);
        CmPlay();
    } else {
        m_dialog.SetPosition(nMs);
    }
}

void LTransport::CmStepBack()
{
    SeekTo(std::max(m_dialog.GetPosition() - kStepMs, 0));
}

void LTransport::CmStepForward()
{
    if (IsPlaying()) {
        SeekTo(std::min(m_dialog.GetPosition() + kStepMs, m_nPlaySourceMs));
        return;
    }
    // A recording stops first, so that the length is the dictation's.
    const bool bRecording = GetRecordState() != LSoundRecorder::kStateStopped;
    m_recorder.Stop();
    const LDictation* pDictation = Current();
    const int32_t nLength = pDictation ? DictationLengthMs(*pDictation) : 0;
    m_dialog.SetPosition(std::min(m_dialog.GetPosition() + kStepMs, nLength));
    if (bRecording)
        CmPlay();
}

void LTransport::ScrollSeek(int nCode, int nThumb)
{
    const int32_t nLength = m_dialog.GetLength();
    const int32_t nPosition = m_dialog.GetPosition();
    switch (nCode) {
    case kLineLeft:
    case kPageLeft:
        SeekTo(nPosition < kScrollStepMs ? 0 : nPosition - kScrollStepMs);
        break;
    case kLineRight:
    case kPageRight:
        SeekTo(nPosition > nLength - kScrollStepMs ? nLength : nPosition + kScrollStepMs);
        break;
    case kThumbPosition:
    case kThumbTrack:
        SeekTo(static_cast<int32_t>(nLength * std::clamp(nThumb, 0, 100) * 0.01));
        break;
    case kTop:
        CmGoStart();
        break;
    case kBottom:
        CmEnd();
        break;
    default:
        break;
    }
}

void LTransport::SetPlaySpeed(int nSpeed)
{
    nSpeed = std::clamp(nSpeed, 0, 2);
    SetSettingInt("Settings", "PlaySpeed", nSpeed);
    SetupPlaySpeed();
    CmPlay();
}

void LTransport::SetupPlaySpeed()
{
    m_nPlaySpeed = std::clamp(GetSettingInt("Settings", "PlaySpeed", 1), 0, 2);
    if (QAction* pAction = m_dialog.MenuAction(2011 + m_nPlaySpeed))
        pAction->setChecked(true);
}

void LTransport::SetDefaultRecordMode(int nMode)
{
    SetSettingInt("Settings", "RecordMode", std::clamp(nMode, 0, 2));
    SetupRecordMode();
}

void LTransport::SetupRecordMode()
{
    m_nRecordMode = std::clamp(GetSettingInt("Settings", "RecordMode", kRecordOverwrite), 0, 2);
    if (QAction* pAction = m_dialog.MenuAction(2043 - m_nRecordMode))
        pAction->setChecked(true);
    if (GetRecordState() == LSoundRecorder::kStateStopped)
        ResetImages();
}

void LTransport::ResetImages()
{
    if (auto* pRecord = qobject_cast<QToolButton*>(m_dialog.Control(MainDialog::kIdRecord)))
        pRecord->setIcon(RecordIcon(m_nRecordMode == kRecordInsert ? RecordImage::Insert : RecordImage::Normal));
}

void LTransport::ShowLevels(const LChannelLevels& levels)
{
    if (auto* pLevel = qobject_cast<LDBDisplay*>(m_dialog.Control(MainDialog::kIdLevel)))
        pLevel->SetLevels(levels.nLevel, levels.nCount);
}

void LTransport::OnPlayerPlaying()
{
    if (auto* pPlay = qobject_cast<QToolButton*>(m_dialog.Control(MainDialog::kIdPlay)))
        pPlay->setChecked(true);
}

void LTransport::OnPlayerTime(int32_t nMs)
{
    if (IsPlaying())
        m_dialog.SetPosition(nMs);
}

void LTransport::OnPlayerStopped()
{
    if (auto* pPlay = qobject_cast<QToolButton*>(m_dialog.Control(MainDialog::kIdPlay)))
        pPlay->setChecked(false);
    if (auto* pLevel = qobject_cast<LDBDisplay*>(m_dialog.Control(MainDialog::kIdLevel)))
        pLevel->ClearLevels();
    m_bRewindRunning = m_bFastForwardRunning = false;
    if (GetSettingBool("Settings", "StoppedToneRepeat", false))
        m_stoppedToneTimer.start(kStoppedToneRepeatMs);
}

void LTransport::OnRecorderState(bool bRecording)
{
    const bool bInsert = m_nRecordingMode == kRecordInsert;
    if (auto* pRecord = qobject_cast<QToolButton*>(m_dialog.Control(MainDialog::kIdRecord))) {
        pRecord->setChecked(true);
        pRecord->setIcon(RecordIcon(bRecording ? (bInsert ? RecordImage::RecordingInsert : RecordImage::Recording)
                                               : (bInsert ? RecordImage::WaitingInsert : RecordImage::Waiting)));
    }
    m_dialog.setWindowIcon(WindowStateIcon(bRecording));
}

void LTransport::OnRecorderTime(int32_t nMs)
{
    if (GetRecordState() != LSoundRecorder::kStateRecording)
        return;
    m_dialog.SetLength(m_nRecordBaseLength + nMs);
    m_dialog.SetPosition(m_nRecordStart + nMs);
}

void LTransport::OnRecorderStopped()
{
    if (auto* pRecord = qobject_cast<QToolButton*>(m_dialog.Control(MainDialog::kIdRecord)))
        pRecord->setChecked(false);
    ResetImages();
    if (auto* pLevel = qobject_cast<LDBDisplay*>(m_dialog.Control(MainDialog::kIdLevel)))
        pLevel->ClearLevels();
    m_dialog.setWindowIcon(MainDialog::AppIcon());
    m_stoppedToneTimer.start(kStoppedToneDelayMs);
    LDictation* pDictation = m_nRecordingId >= 0 ? m_dialog.Dictations().FindDictation(m_nRecordingId) : nullptr;
    const bool bDiskFull = m_recordSink && IsDiskFullError(m_recordSink->SystemError());
    m_recordSink.Reset();
    if (pDictation && bDiskFull)
        ShowMessage(QStringLiteral("Tavrine Dictate"),
            QStringLiteral("Recording stopped writing: the disk holding \"%1\" is full. What was recorded before "
                           "is kept.")
                .arg(QString::fromStdString(pDictation->GetFolder())));
    if (pDictation) {
        pDictation->UpdateDuration();
        m_dialog.RefreshRow(m_nRecordingId);
        if (m_nRecordingId == m_dialog.GetCurrentId()) {
            // Trailing quiet cut at stop can make the recording shorter than shown.
            const int32_t nLength = DictationLengthMs(*pDictation);
            m_dialog.SetLength(nLength);
            m_dialog.SetPosition(std::min(m_dialog.GetPosition(), nLength));
        }
    }
    m_nRecordingId = -1;
}

void LTransport::OnStoppedToneTimer()
{
    if (IsPlaying() || GetRecordState() != LSoundRecorder::kStateStopped)
        return;
    if (!GetSettingBool("Settings", "StoppedTone", false))
        return;
    LTones::Play(LTones::Tone::Stopped, std::max(GetMachineInt("Settings", "PlayDevice", 0), 0));
    if (GetSettingBool("Settings", "StoppedToneRepeat", false))
        m_stoppedToneTimer.start(kStoppedToneRepeatMs);
}
