// The compact transport bar the typist keeps above the word processor: always
// on top, never taking the focus, so a click on it leaves the keyboard where
// the typing goes. It triggers the router and watches the playback model,
// like every other input. GUI thread.
#pragma once

#include "app/shared/transport/LPlaybackModel.h"

#include <QWidget>

#include <functional>

class LCommandRouter;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;
class QToolButton;

class LCompactBar : public QWidget {
    Q_OBJECT
public:
    // fineSpeed: stores and applies the finer speed in percent.
    LCompactBar(LCommandRouter& router, LPlaybackModel& model, std::function<void(int)> fineSpeed, int nFineSpeed);

    // The job's name, shown beside the position.
    void SetTitle(const QString& title);
    // Back to the job list.
    std::function<void()> onShowList;

    static QString TimeText(int32_t nMs);

protected:
    void changeEvent(QEvent* pEvent) override;

private:
    void UpdateIcons();
    void UpdateState();
    void UpdatePosition();

    LCommandRouter& m_router;
    LPlaybackModel& m_model;
    QToolButton* m_pList = nullptr;
    QToolButton* m_pRewind = nullptr;
    QToolButton* m_pPlay = nullptr;
    QToolButton* m_pForward = nullptr;
    QComboBox* m_pSpeed = nullptr;
    QSpinBox* m_pFine = nullptr;
    QSlider* m_pPosition = nullptr;
    QLabel* m_pTime = nullptr;
    QLabel* m_pTitle = nullptr;
};
