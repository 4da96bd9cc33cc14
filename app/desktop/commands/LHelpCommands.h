// The Help menu: "&Help Contents" (F1) opens the user manual, "&About..."
// names the version, the licences of the libraries the program links and
// where the manual is, and "&Internet Resources" opens the manual's main
// pages (the program names no web site of its own). The manual is a file
// beside the program (the self-installed folder, the build tree) or the page
// folder of a package install. Built by the composition root; GUI thread.
#pragma once

#include "app/shared/input/LCommandRouter.h"
#include "app/transfer/LAttachmentOpener.h"

#include <QString>

#include <span>
#include <string>

class QWidget;
struct LUserPrompts;

class LHelpCommands {
public:
    struct Page {
        LCommandId id;
        // The page's file in the folder; its name without ".html" is its
        // anchor in the single file.
        const char* szFile;
        const char* szTitle;
    };
    // The "&Internet Resources" entries, in menu order.
    static std::span<const Page> Pages();

    // programFolder: where the running program lies.
    LHelpCommands(LUserPrompts& prompts, QString programFolder,
        LAttachmentOpener::Launcher launcher = LAttachmentOpener::StartDetached);

    void RegisterCommands(LCommandRouter& router);
    void SetDialogParent(QWidget* pParent) { m_pParent = pParent; }
    void SetProgramFolder(QString folder) { m_programFolder = std::move(folder); }

    // The manual's file: the single file beside the program, else the
    // folder's index.html; empty when neither exists.
    std::string FindManual() const;
    // Opens the manual at a page (null: its contents); false after a message
    // that says why not.
    bool OpenPage(const char* szFile);
    // The about box's text; manual empty when none was found.
    static QString AboutText(const std::string& manual);

private:
    LUserPrompts& m_prompts;
    QString m_programFolder;
    LAttachmentOpener::Launcher m_launcher;
    QWidget* m_pParent = nullptr;
};
