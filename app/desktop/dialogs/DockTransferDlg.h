// The options of the audio-file dock: the folder a portable recorder's files
// are in (with a folder browser) and whether to delete them after loading,
// load only those new since the last dock, and send them on. OK stores them.
// Modal over the main window, GUI thread.
#pragma once

#include "app/shared/prompts/LUserPrompts.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;

class DockTransferDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int { kIdFolder = 101, kIdBrowse = 102, kIdDelete = 103, kIdOnlyNew = 104, kIdAutoSend = 105 };

    DockTransferDlg(const LUserPrompts& prompts, QWidget* pParent = nullptr);

    QLineEdit* Folder() const { return m_pFolder; }
    QCheckBox* Check(int nId) const;
    // The folder browser; replaceable for tests (empty: cancelled).
    using Browse = std::function<QString(QWidget* pParent, const QString& title, const QString& start)>;
    void SetBrowse(Browse browse) { m_browse = std::move(browse); }

    void CmBrowseFolder();
    // Refuses an empty folder with a message; otherwise stores the options and closes with OK.
    bool CmOk();

private:
    LUserPrompts m_prompts;
    Browse m_browse;
    QLineEdit* m_pFolder = nullptr;
    QCheckBox* m_pChecks[3] = {};
};
