// The wizard's last step: whether to open the manual once it is finished.
// GUI thread.
#pragma once

#include "app/desktop/settings/LWizardStepPage.h"

#include <functional>

class QRadioButton;

class LQuickStartGuidePage : public LWizardStepPage {
    Q_OBJECT
public:
    enum ControlId : int { kIdShowManual = 101, kIdNoManual = 102 };

    // openHelp opens the help contents.
    explicit LQuickStartGuidePage(std::function<void()> openHelp, QWidget* pParent = nullptr);
    void Store() override;

private:
    std::function<void()> m_openHelp;
    QRadioButton* m_pShow = nullptr;
};
