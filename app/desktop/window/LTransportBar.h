// The transport strip of the main window: the level meter across the
// window, the position slider with the elapsed and total time beside it, and
// seven buttons in equal columns below. The buttons hand
// command identifiers to the router (press and release for the scanning
// ones); what they and the strip show comes from the playback model's
// signals, and a move of the slider is asked of the model. GUI thread.
#pragma once

#include <QFrame>

#include <cstdint>
#include <map>

class LCommandRouter;
class LDBDisplay;
class LPlaybackModel;
class QLabel;
class QSlider;

class LTransportBar : public QFrame {
    Q_OBJECT
public:
    LTransportBar(LPlaybackModel& model, LCommandRouter& router, QWidget* pParent);

    // A widget of the strip by its control identifier (LControlIds), or null.
    QWidget* Control(int nId) const;
    // Everything but the record button needs a current dictation.
    void SetCurrent(bool bCurrent);

    // 100 × position ÷ length, in 64 bits; 0 for a length below 1 ms.
    static int PositionPercent(int32_t nPositionMs, int32_t nLengthMs);
    // "0:12 / 3:45": whole seconds, with hours on both sides when either
    // reaches an hour.
    static QString TimeText(int32_t nPositionMs, int32_t nLengthMs);
    // "Recording - Insert", "Waiting for voice - Append"; empty while the
    // recorder is idle.
    static QString RecordStateText(bool bWaiting, bool bRecording, int nMode);

private:
    void ShowPosition();
    // A pressed button is easy to miss: the recorder's state is also said in red beside the time.
    void ShowRecordState();
    // A checkable button shows the transport's state, not the click.
    void SyncButtons();

    LPlaybackModel& m_model;
    LDBDisplay* m_pLevel = nullptr;
    QLabel* m_pPositionText = nullptr;
    QLabel* m_pRecordState = nullptr;
    QSlider* m_pPositionBar = nullptr;
    std::map<int, QWidget*> m_controls;
};
