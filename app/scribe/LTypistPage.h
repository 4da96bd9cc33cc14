// Settings page: the typist's name, which claims and status files carry.
// GUI thread.
#pragma once

#include "app/shared/sheet/LSheetPage.h"

class QLabel;
class QLineEdit;

class LTypistPage : public LSheetPage {
public:
    explicit LTypistPage(QWidget* pParent = nullptr);
    QString Title() const override { return QStringLiteral("Typist"); }
    bool Store() override;

private:
    QLineEdit* m_pName = nullptr;
    QLabel* m_pCleaned = nullptr;
};
