// "Prompt Data Validation": the rules a new dictation's answer to one data
// prompt must keep, edited for that prompt's section. OK stores all four at
// once. GUI thread.
#pragma once

#include "app/desktop/dialogs/LControlMap.h"
#include "app/shared/prompts/LUserPrompts.h"

#include <QDialog>

#include <map>
#include <string>

class QAbstractButton;
class QSpinBox;

class PromptDataValidationDialog : public QDialog, public LControlMap {
    Q_OBJECT
public:
    enum ControlId : int {
        kIdRestrict = 101,
        kIdMinChars = 102,
        kIdMaxChars = 103,
        kIdNumbersOnly = 104,
        kIdMinLabel = 105,
        kIdMaxLabel = 106,
    };

    PromptDataValidationDialog(std::string section, const LUserPrompts& prompts, QWidget* pParent = nullptr);

    // The OK button: stores the four values and closes with OK; false (the
    // dialog stays open) when the store cannot be written.
    bool Accept();

private:
    void UpdateEnabling();

    std::string m_section;
    LUserPrompts m_prompts;
};
