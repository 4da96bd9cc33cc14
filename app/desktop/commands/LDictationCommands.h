// The commands on whole dictations: new (with data prompts and the default
// note), notes with tagged answers, delete, priority, attachments, undo and
// redo. They change the session and never touch a widget; the questions they
// ask and the disk they measure go through replaceable functions so tests can
// answer them. Built by the composition root; GUI thread.
#pragma once

#include "app/shared/prompts/LUserPrompts.h"
#include "app/transfer/LAttachmentOpener.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class LCommandRouter;
class LDictation;
class LSession;
class QWidget;

class LDictationCommands {
public:
    explicit LDictationCommands(LSession& session);

    // Registers new, delete, priority, attachments, undo and redo.
    void RegisterCommands(LCommandRouter& router);
    // The window the questions and dialogs open over.
    void SetDialogParent(QWidget* pParent) { m_pParent = pParent; }

    // Creates a dictation named from the display counter, asks the enabled
    // data prompts and applies them, adds the default note; null when none
    // was made or the prompts were cancelled (the new one is then deleted).
    LDictation* CmNewFile();
    // Replaces any element of that tag in the current notes by the value.
    bool AddTaggedAnswer(std::string_view tag, std::string_view value);
    // Appends the text and a line break to the current notes.
    bool AppendNoteLine(std::string_view text);
    // Renames the current dictation, cut as a name typed into the list is;
    // an empty name is refused, as in the list.
    bool RenameCurrent(std::string_view name);
    // The selected dictations, after asking when bAsk.
    bool CmDeleteFile(bool bAsk);
    bool CmSetPriority(uint8_t uPriority);
    bool CmAttachFile();
    bool CmOpenAttachmentList();
    bool CmUndo();
    bool CmRedo();

    // The notes with the tag's first element (and the blanks and line breaks
    // after it) removed and "<tag>value</tag>\r\n" appended.
    static std::string ReplaceTagged(std::string_view notes, std::string_view tag, std::string_view value);
    // True when WarnBelowMB megabytes, counted in 64 bits, exceed the free KiB.
    static bool IsLowOnSpace(int nWarnBelowMB, uint32_t uFreeKB);

    // Seams: the user's answers, the free space of a folder in KiB, stopping
    // the transport before an edit, and the program that views attachments.
    LUserPrompts& Prompts() { return m_prompts; }
    void SetFreeSpace(std::function<uint32_t(const std::string& folder)> freeKB) { m_freeKB = std::move(freeKB); }
    void SetStopTransport(std::function<void()> stop) { m_stop = std::move(stop); }
    void SetLauncher(LAttachmentOpener::Launcher launcher) { m_opener = LAttachmentOpener(std::move(launcher)); }
    LAttachmentOpener& Opener() { return m_opener; }

private:
    void StopTransport();
    void ApplyPromptAnswer(LDictation* pDictation, const char* szSection);
    // Undo or redo on the current dictation, then its length measured again.
    bool Step(bool bRedo);

    LSession& m_session;
    QWidget* m_pParent = nullptr;
    LUserPrompts m_prompts;
    std::function<uint32_t(const std::string&)> m_freeKB;
    std::function<void()> m_stop;
    LAttachmentOpener m_opener;
};
