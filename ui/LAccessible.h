// What a screen reader reads of the program's windows: names and
// descriptions set from a window's own table, and, for the fields of
// dialogs, a name taken from the label beside the field in its layout
// (made the label's buddy, so its mnemonic reaches the field as well).
// GUI thread.
#pragma once

#include <QObject>

#include <initializer_list>

class QWidget;

namespace LAccessible {

struct Entry {
    QWidget* pWidget;
    const char* szName;
    const char* szDescription; // what it does and its key; null: the tool tip
};
void Describe(std::initializer_list<Entry> entries);

// Every focusable widget below pRoot that the accessibility interface reports
// without a name gets one from its layout: the label or button text before
// it in its row or box, the title of the group it alone fills, its
// placeholder text or its tool tip.
void NameFromLayout(QWidget* pRoot);

// Runs NameFromLayout on every window of the application as it is first shown.
class LWindowNamer : public QObject {
public:
    explicit LWindowNamer(QObject* pParent = nullptr);
    ~LWindowNamer() override;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
};

} // namespace LAccessible
