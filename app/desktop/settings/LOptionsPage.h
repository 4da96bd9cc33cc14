// The "Options" page of the settings sheet: the two data prompts of a new
// dictation, the default note and its template, the transport's tones, the
// age at which sent work is deleted and the low-disk warning. GUI thread.
#pragma once

#include "app/desktop/dialogs/LControlMap.h"
#include "app/shared/prompts/LUserPrompts.h"
#include "app/shared/sheet/LSheetPage.h"
#include "app/transfer/LAttachmentOpener.h"

#include <map>

class QAbstractButton;
class QLineEdit;
class QSpinBox;

class LOptionsPage : public LSheetPage, public LControlMap {
    Q_OBJECT
public:
    enum ControlId : int {
        kIdPrompt = 101,
        kIdPromptLabel = 102,
        kIdPromptText = 103,
        kIdTagChoice = 104,
        kIdTag = 105,
        kIdPrompt2 = 106,
        kIdPrompt2Label = 107,
        kIdPrompt2Text = 108,
        kIdTag2Label = 109,
        kIdTag2 = 110,
        kIdRecordTone = 111,
        kIdStoppedTone = 112,
        kIdStoppedToneRepeat = 113,
        kIdAutoDeleteDays = 114,
        kIdWarnBelowMb = 115,
        kIdAsName = 116,
        kIdValidation = 117,
        kIdValidation2 = 118,
        kIdDefaultNote = 119,
        kIdEditTemplate = 120,
    };

    explicit LOptionsPage(const LUserPrompts& prompts, QWidget* pParent = nullptr);

    QString Title() const override { return QStringLiteral("Options"); }
    bool Store() override;

    // The program that opens the template; the desktop's default otherwise.
    void SetLauncher(LAttachmentOpener::Launcher launcher) { m_opener = LAttachmentOpener(std::move(launcher)); }
    // "Edit Default Template": makes the template when it is missing (empty)
    // and opens it; false, after saying why, when neither worked.
    bool EditDefaultTemplate();

private:
    void Load();
    void UpdateEnabling();
    void OpenValidation(int nPrompt);

    LUserPrompts m_prompts;
    LAttachmentOpener m_opener;
};
