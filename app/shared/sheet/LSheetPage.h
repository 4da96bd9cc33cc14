// One page of the "Settings" sheet. A page reads its settings when it is
// built and stores them only from Store(), which the sheet calls for every
// page when it closes with OK, so Cancel leaves every setting as it was.
// GUI thread.
#pragma once

#include <QString>
#include <QWidget>

class LSheetPage : public QWidget {
public:
    explicit LSheetPage(QWidget* pParent = nullptr)
        : QWidget(pParent)
    {
    }
    // The tab's title ("Devices", "Options", ...).
    virtual QString Title() const = 0;
    // Checks and stores the page's values. False keeps the sheet open on this
    // page; the page has already told the user why.
    virtual bool Store() = 0;
};
