// "Send To Typist Recipient Properties": edits one recipient's section
// (name, transfer format, file-name format, encryption key and the send
// method with its details). OK checks every value before it stores any, so a
// refused OK leaves the recipient as it was. GUI thread.
#pragma once

#include "app/desktop/dialogs/LControlMap.h"
#include "app/shared/prompts/LUserPrompts.h"
#include "dictation/LRecipient.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class QAbstractButton;
class QLineEdit;

class SendToDlg : public QDialog, public LControlMap {
    Q_OBJECT
public:
    enum ControlId : int {
        kIdHelp = 9,
        kIdName = 101,
        kIdEmail = 102,
        kIdEmailToLabel = 103,
        kIdEmailTo = 104,
        kIdEmailSettings = 105,
        kIdLan = 106,
        kIdFolderLabel = 107,
        kIdFolder = 108,
        kIdBrowseFolder = 109,
        kIdFtp = 110,
        kIdFtpServerLabel = 111,
        kIdFtpServer = 112,
        kIdFtpUserLabel = 113,
        kIdFtpUser = 114,
        kIdFtpPasswordLabel = 115,
        kIdFtpPassword = 116,
        kIdFtpDirectoryLabel = 117,
        kIdFtpDirectory = 118,
        kIdEncrypt = 119,
        kIdKeyLabel = 120,
        kIdKey = 121,
        kIdCompression = 122,
        kIdSetDefault = 123,
        kIdDct = 124,
        kIdWav = 125,
        kIdFileNameFormat = 126,
        kIdCommand = 127,
        kIdRunCommand = 128,
        kIdBrowseCommand = 129,
        kIdRunCommandLabel = 130,
        kIdFtpAllowPlain = 131,
        kIdSeal = 132,
        kIdSealToLabel = 133,
        kIdSealTo = 134,
        kIdSealProblem = 135,
        kIdPool = 136,
        kIdPoolServerLabel = 137,
        kIdPoolServer = 138,
        kIdPoolUserLabel = 139,
        kIdPoolUser = 140,
        kIdPoolPasswordLabel = 141,
        kIdPoolPassword = 142,
        kIdPoolFolderLabel = 143,
        kIdPoolFolder = 144,
        kIdPoolAllowPlain = 145,
        kIdPoolHelp = 146,
    };

    SendToDlg(uint8_t uSendTo, const LUserPrompts& prompts, QWidget* pParent = nullptr);

    uint8_t GetSendTo() const { return m_uSendTo; }

    // The OK button: checks everything, then stores it all and closes with
    // OK; a refusal shows its message, keeps the dialog open and stores nothing.
    bool Accept();

    // The folder and executable choosers; empty when cancelled. Replaceable for tests.
    std::function<QString(QWidget* pParent, const QString& title, const QString& start)> chooseFolder;
    std::function<QString(QWidget* pParent, const QString& title, const QString& start)> chooseExecutable;

private:
    void Load();
    void UpdateEnabling();
    int SelectedMethod() const;
    // Button 122: the WAV transfer's format, in "Codec %d.wff" of Current.
    void ChooseCompression();
    // The values OK stores, or the message refusing them.
    bool Collect(LRecipient* pRecipient, QString* pRefusal, int* pFocus) const;

    uint8_t m_uSendTo;
    LUserPrompts m_prompts;
};
