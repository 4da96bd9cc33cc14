// Settings page: the inbox sources. Adding a shared folder and removing a
// source store at once, as the dictator's recipients do; FTP sources, with
// their password, are added with "tavrine-cli scribe source add". GUI thread.
#pragma once

#include "app/shared/sheet/LSheetPage.h"

class QTreeWidget;

class LSourcesPage : public LSheetPage {
public:
    explicit LSourcesPage(QWidget* pParent = nullptr);
    QString Title() const override { return QStringLiteral("Sources"); }
    bool Store() override { return true; }
    // Stores a folder source; false with the reason shown.
    bool AddFolder(const QString& name, const QString& folder);

private:
    void Fill();
    void Remove();

    QTreeWidget* m_pList = nullptr;
};
