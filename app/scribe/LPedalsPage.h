// Settings page: the foot control's port and what each pedal does. The port
// is the machine's, shared with the dictator's program; the layout is the
// typist's own. GUI thread.
#pragma once

#include "app/shared/sheet/LSheetPage.h"

class QComboBox;

class LPedalsPage : public LSheetPage {
public:
    explicit LPedalsPage(QWidget* pParent = nullptr);
    QString Title() const override { return QStringLiteral("Pedals"); }
    bool Store() override;

private:
    QComboBox* m_pPort = nullptr;
    QComboBox* m_pPedals[3] = {};
};
