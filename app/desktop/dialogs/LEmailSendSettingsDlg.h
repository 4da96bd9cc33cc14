// "Email Settings": whether mail goes to the desktop's mail program or
// straight to an SMTP server, and that server's details (machine-wide) with
// the user's own logon (per user). OK checks everything before it stores
// anything; Cancel stores nothing. GUI thread.
#pragma once

#include "app/desktop/dialogs/LControlMap.h"
#include "app/shared/prompts/LUserPrompts.h"
#include "send/LMailCredentials.h"
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
        kIdUserLabel = 113,
        kIdUser = 114,
        kIdPasswordLabel = 115,
        kIdPassword = 116,
        kIdLogonNote = 117,
    };

    // The logon is read from and stored to the user's own store, never the machine-wide file.
    explicit LEmailSendSettingsDlg(const LUserPrompts& prompts, QWidget* pParent = nullptr,
        LMailCredentials& credentials = LMailCredentials::Default());

    QSpinBox* Port() const;

    // The OK button: false (the dialog stays open, nothing stored) after a message.
    bool Accept();

    // The availability test of the desktop's mail program; replaceable for tests.
    std::function<LMailProgramCheck()> checkMailProgram;

private:
    void UpdateEnabling();

    LUserPrompts m_prompts;
    LMailCredentials& m_credentials;
};
