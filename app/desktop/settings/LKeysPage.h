// The "Keys" page: the system-wide hot keys, each a key and the command it
// runs, added, removed and changed at once in the "Keys" section; and the
// keypad as the window's transport pad, stored on OK. Where the desktop
// grabs no hot keys it says so and how to bind the commands there instead.
// GUI thread.
#pragma once

#include "app/shared/prompts/LUserPrompts.h"
#include "app/shared/sheet/LSheetPage.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class LKeysPage : public LSheetPage {
    Q_OBJECT
public:
    enum ControlId : int { kIdList = 101, kIdAdd = 102, kIdRemove = 103, kIdChange = 104, kIdUseNumeric = 105 };

    LKeysPage(const LUserPrompts& prompts, bool bHotKeysAvailable, QWidget* pParent = nullptr);

    QString Title() const override { return QStringLiteral("Keys"); }
    bool Store() override;

    QTreeWidget* List() const { return m_pList; }
    QPushButton* Button(int nId) const;
    QCheckBox* UseNumeric() const { return m_pUseNumeric; }
    // The note shown where hot keys are unavailable; null where they work.
    QLabel* Unavailable() const { return m_pUnavailable; }

    void Add();
    void Remove();
    void Change();

private:
    void Fill(int nSelect);
    int Selected() const;
    void UpdateEnabling();

    LUserPrompts m_prompts;
    QTreeWidget* m_pList;
    QPushButton* m_pAdd;
    QPushButton* m_pRemove;
    QPushButton* m_pChange;
    QCheckBox* m_pUseNumeric;
    QLabel* m_pUnavailable = nullptr;
};
