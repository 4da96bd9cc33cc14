// The "New Dictation" dialog that asks for one or two data prompts before a
// new dictation is made; its answers go to the settings ("Previous" and the
// recent lists), where the new-dictation command picks them up. GUI thread.
#pragma once

#include "app/shared/prompts/LUserPrompts.h"

#include <QDialog>

#include <string>
#include <string_view>

class QComboBox;
class QLabel;

class PromptForDataDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int { kIdAnswer1 = 101, kIdAnswer2 = 102, kIdLabel1 = 103, kIdLabel2 = 104 };
    static constexpr int kMaxRecent = 9;

    // Dialog 4 asks both prompts, dialog 2 only the first.
    PromptForDataDialog(bool bTwoPrompts, const LUserPrompts& prompts, QWidget* pParent = nullptr);

    QComboBox* Answer(int nId) const;
    QLabel* Label(int nId) const;
    bool IsTwoPrompts() const { return m_bTwo; }

    // The OK button: validates, stores the answers and closes with OK; a
    // refused answer shows the validation message and keeps the dialog open.
    bool Accept();

    // The section's rules for an answer: length ("ValidateChars", "MinChars",
    // "MaxChars", counted in characters) and "NumberOnly".
    static bool IsValidAnswer(std::string_view section, const QString& text);
    // Puts a non-empty answer first in the section's recent list, without
    // repeats, keeping at most nine.
    static void AddRecent(std::string_view section, const QString& text);
    static QStringList RecentAnswers(std::string_view section);

private:
    bool m_bTwo;
    LUserPrompts m_prompts;
    QComboBox* m_pAnswer[2] = {};
    QLabel* m_pLabel[2] = {};
};
