// Settings page: the inbox sources, shared folders and FTP directories. What
// is added or removed here is stored only when the sheet closes with OK, an
// FTP password in the per-user file as "tavrine-cli scribe source add"
// stores it. GUI thread.
#pragma once

#include "app/shared/sheet/LSheetPage.h"
#include "scribe/LScribeSettings.h"

#include <string>
#include <vector>

class QTreeWidget;

class LSourcesPage : public LSheetPage {
public:
    explicit LSourcesPage(QWidget* pParent = nullptr);
    QString Title() const override { return QStringLiteral("Sources"); }
    bool Store() override;
    // Adds a source to be stored on OK (replacing a listed one of that name);
    // false with the reason shown when it could never be stored.
    bool AddSource(const LScribeSourceConfig& config);
    bool AddFolder(const QString& name, const QString& folder);
    // Asks for an FTP directory's server, logon, directory and polling.
    void AskFtp();
    // A typist pool on an IMAP server, or the typist's own mailbox.
    void AskImap();
    QTreeWidget* List() const { return m_pList; }

private:
    void Fill();
    void Remove();

    std::vector<LScribeSourceConfig> m_sources; // as they will be stored
    std::vector<std::string> m_added;
    std::vector<std::string> m_removed;
    QTreeWidget* m_pList = nullptr;
};
