// The Help menu: "&Help Contents" (F1) opens the user manual, "Manual &Pages"
// its main pages, "&About..." names the version, the licences of the
// libraries the program links and where the manual is, and "&Internet
// Resources" opens the project's web address, registered only where the build
// names one (TAVRINE_WEB_ADDRESS), so that the menu hides it otherwise. The manual is a file
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
    // The "Manual &Pages" entries, in menu order.
    static std::span<const Page> Pages();

    // programFolder: where the running program lies; webAddress: the
    // project's web site, taken only as an http or https address.
    LHelpCommands(LUserPrompts& prompts, QString programFolder,
        LAttachmentOpener::Launcher launcher = LAttachmentOpener::StartDetached,
        QString webAddress = QString::fromUtf8(BuiltWebAddress()));
    // The address the build was configured with; empty when none.
    static const char* BuiltWebAddress();
    const QString& WebAddress() const { return m_webAddress; }

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
    QString m_webAddress;
};
