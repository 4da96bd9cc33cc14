// "Select Command": the command of stored hot key nIndex, and its key, which
// "Change Key" captures anew and stores at once; OK stores the command.
// GUI thread.
#pragma once

#include "app/shared/prompts/LUserPrompts.h"

#include <QDialog>

#include <cstdint>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

class LKeyChangeCommandDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int { kIdKey = 101, kIdChangeKey = 102, kIdCommand = 103 };

    LKeyChangeCommandDialog(int nIndex, const LUserPrompts& prompts, QWidget* pParent = nullptr);

    QLabel* KeyText() const { return m_pKey; }
    QPushButton* ChangeKey() const { return m_pChangeKey; }
    QComboBox* Command() const { return m_pCommand; }

    // Runs the key dialog through prompts.exec; the key pressed, none for Escape or Cancel.
    static std::optional<uint32_t> CaptureKey(const LUserPrompts& prompts, QWidget* pParent);
    // Stored hot key nIndex ("Key%d" of "Keys") and its text.
    static uint32_t StoredKey(int nIndex);
    static bool StoreKey(int nIndex, uint32_t uValue);
    static QString StoredKeyText(int nIndex);
    static int StoredCommand(int nIndex);

    void accept() override;

private:
    int m_nIndex;
    LUserPrompts m_prompts;
    QLabel* m_pKey;
    QPushButton* m_pChangeKey;
    QComboBox* m_pCommand;
};
