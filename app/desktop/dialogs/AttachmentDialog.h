// The attachment list of one dictation: adds, removes and opens its attached
// files. Modal over the main window, GUI thread; the dictation outlives it.
#pragma once

#include "app/shared/prompts/LUserPrompts.h"
#include "app/transfer/LAttachmentOpener.h"
#include "foundation/LSettingKey.h"

#include <QDialog>

#include <string_view>

class LDictation;
class QTreeWidget;
class QPushButton;

class AttachmentDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int { kIdList = 101, kIdAdd = 102, kIdRemove = 103, kIdOpen = 104 };

    AttachmentDialog(
        LDictation& dictation, const LUserPrompts& prompts, LAttachmentOpener& opener, QWidget* pParent = nullptr);

    QTreeWidget* List() const { return m_pList; }
    QPushButton* Button(int nId) const;

    // Refills the list from the dictation: path and "%d KB".
    void FillList();
    // The buttons' work; each returns whether something changed or opened.
    bool Add();
    bool Remove();
    bool OpenSelected();

    // Asks for files (titled "Attach Files", starting in the folder stored
    // under folderSetting, which keeps the folder chosen) and adds
    // each; a dictation full at 255 takes no more and the user is told how
    // many were left out. Returns how many were added.
    static int AttachFiles(
        QWidget* pParent, LDictation& dictation, const LUserPrompts& prompts, const LTextKey& folderSetting);

private:
    LDictation& m_dictation;
    LUserPrompts m_prompts;
    LAttachmentOpener& m_opener;
    QTreeWidget* m_pList = nullptr;
    QPushButton* m_pButtons[3] = {};
};
