// "Email Settings": whether mail goes to the desktop's mail program or
// straight to an SMTP server, and that server's details (machine-wide).
// OK checks everything before it stores anything. GUI thread.
#pragma once

#include "app/desktop/dialogs/LControlMap.h"
#include "app/shared/prompts/LUserPrompts.h"
#include "send/LMailSettings.h"

#include <QDialog>

#include <functional>
#include <map>

class QAbstractButton;
class QLineEdit;
class QSpinBox;

class LEmailSendSettingsDlg : public QDialog, public LControlMap {
    Q_OBJECT
public:
    enum ControlId : int {
        kIdMailProgram = 101,
        kIdSmtp = 102,
        kIdHostLabel = 103,
        kIdHost = 104,
        kIdPortLabel = 105,
        kIdPort = 106,
        kIdAllowPlain = 107,
        kIdReplyToLabel = 108,
        kIdReplyTo = 109,
        kIdTlsNote = 110,
        kIdDownloadLabel = 111,
        kIdDownload = 112,
    };

    explicit LEmailSendSettingsDlg(const LUserPrompts& prompts, QWidget* pParent = nullptr);

    QSpinBox* Port() const;

    // The OK button: false (the dialog stays open, nothing stored) after a message.
    bool Accept();

    // The availability test of the desktop's mail program; replaceable for tests.
    std::function<LMailProgramCheck()> checkMailProgram;

private:
    void UpdateEnabling();

    LUserPrompts m_prompts;
};
