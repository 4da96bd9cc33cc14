// Settings page: auto-rewind on each pause and the finer speed. GUI thread.
#pragma once

#include "app/shared/sheet/LSheetPage.h"

class QSpinBox;

class LPlaybackPage : public LSheetPage {
public:
    explicit LPlaybackPage(QWidget* pParent = nullptr);
    QString Title() const override { return QStringLiteral("Playback"); }
    bool Store() override;

private:
    QSpinBox* m_pRewind = nullptr;
    QSpinBox* m_pFine = nullptr;
};
