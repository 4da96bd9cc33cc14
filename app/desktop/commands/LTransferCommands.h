// The commands that move whole dictations in and out: send to the default
// recipient or one from the send-to menu, Save As (DCT or WAV), Load (and
// Load and Send) of any file type the import reads, editing in the user's
// audio editor, and opening the sent-work dialog. They change the session,
// never a widget of the window; their questions go through the dictation
// commands' replaceable prompts. Built by the composition root; GUI thread.
#pragma once

#include "app/shared/input/LCommandRouter.h"
#include "foundation/JobResult.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class LProcessListThread;
class LSession;
struct LUserPrompts;
class QWidget;

class LTransferCommands {
public:
    // pQueue null: the program has no send queue and cannot send.
    LTransferCommands(LSession& session, LUserPrompts& prompts, LProcessListThread* pQueue);

    void RegisterCommands(LCommandRouter& router);
    void SetDialogParent(QWidget* pParent) { m_pParent = pParent; }
    void SetStopTransport(std::function<void()> stop) { m_stop = std::move(stop); }
    // Opens the sent-work dialog (bRecover: recover mode); true when it
    // closed with OK. Unset, the two commands are disabled.
    void SetSentWork(std::function<bool(bool bRecover)> open) { m_sentWork = std::move(open); }
    // Opens the send-to menu at the cursor; the identifier chosen, or
    // kSetNoAction. Replaceable for tests.
    using Popup = std::function<LCommandId(QWidget* pParent, const std::vector<LCommandRouter::PopupItem>& items)>;
    void SetPopup(Popup popup) { m_popup = std::move(popup); }
    // Shows a menu of these items through the replaceable pop-up, each
    // enabled as the router says; the identifier chosen, or kSetNoAction.
    LCommandId RunPopup(std::vector<LCommandRouter::PopupItem> items);
    LProcessListThread* Queue() const { return m_pQueue; }
    QWidget* DialogParent() const { return m_pParent; }

    bool CmSendFile();
    bool SendToRecipient(uint8_t uSendTo);
    bool CmSendFileSelected();
    bool CmSendNewRecipient();
    // The properties of a new recipient; true when one was made.
    bool MakeNewRecipient();
    bool CmSaveAs();
    bool CmLoadAudioFile(bool bSend);
    // Loads one file as a new dictation and sends it or lists it selected.
    bool LoadOneFile(const std::string& path, bool bSend, bool& bAskUser);
    // Its two halves: a JobResult, with the number and list identifier of the
    // dictation listed (selected when bSelect); then sending that dictation to
    // the default recipient, after which the list is read again.
    JobResult LoadAndList(
        const std::string& path, bool bSelect, bool& bAskUser, uint32_t* pNumber, int* pId, bool* pbRefused = nullptr);
    bool SendListed(int nId);
    bool CmEdit();
    bool CmSentWork(bool bRecover);

    // The send-to menu as it stands now.
    std::vector<LCommandRouter::PopupItem> SendToMenu() const;
    // The audio editor: "Settings"/"AudioEditor", else audacity when it is on
    // the PATH; empty when there is none.
    static std::string AudioEditor();
    // The Load chooser's filters, as the file dialog takes them.
    static std::vector<std::string> LoadFilters();

private:
    void StopTransport();
    void NoRecipient();
    // One send under a progress dialog with this title; its JobResult.
    JobResult SendOne(int nId, uint8_t uSendTo, const char* szTitle);

    LSession& m_session;
    LUserPrompts& m_prompts;
    LProcessListThread* m_pQueue;
    LCommandRouter* m_pRouter = nullptr;
    QWidget* m_pParent = nullptr;
    std::function<void()> m_stop;
    std::function<bool(bool)> m_sentWork;
    Popup m_popup;
};
