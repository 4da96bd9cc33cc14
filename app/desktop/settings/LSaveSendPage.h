// The "Send" page: the recipients in use with their send methods and the
// default one; new recipients, their properties and their deletion are
// stored at once, as the recipient dialog stores them. GUI thread.
#pragma once

#include "app/shared/prompts/LUserPrompts.h"
#include "app/shared/sheet/LSheetPage.h"

#include <cstdint>
#include <vector>

class QPushButton;
class QTreeWidget;

class LSaveSendPage : public LSheetPage {
    Q_OBJECT
public:
    enum ControlId : int { kIdList = 106, kIdNew = 107, kIdDelete = 108, kIdProperties = 109 };

    explicit LSaveSendPage(const LUserPrompts& prompts, QWidget* pParent = nullptr);

    QString Title() const override { return QStringLiteral("Send"); }
    // Everything here is stored as it is done.
    bool Store() override { return true; }

    QTreeWidget* List() const { return m_pList; }
    QPushButton* Button(int nId) const;

    void NewRecipient();
    void Delete();
    void Properties();

private:
    void Fill();
    std::vector<uint8_t> Selected() const;
    void UpdateEnabling();

    LUserPrompts m_prompts;
    QTreeWidget* m_pList;
    QPushButton* m_pNew;
    QPushButton* m_pDelete;
    QPushButton* m_pProperties;
};
