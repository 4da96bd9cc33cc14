// Settings page: the typist's public key for sealed dictations (to copy),
// the decryption keys (added, never shown again) and the
// system-wide hot keys, which reach the program while the word processor has
// the focus. Keys store at once. GUI thread.
#pragma once

#include "app/shared/input/LHotKeys.h"
#include "app/shared/sheet/LSheetPage.h"

#include <vector>

class QComboBox;
class QLineEdit;
class QTreeWidget;

class LScribeKeysPage : public LSheetPage {
public:
    explicit LScribeKeysPage(bool bHotKeysAvailable, QWidget* pParent = nullptr);
    QString Title() const override { return QStringLiteral("Keys"); }
    bool Store() override;

    // The stored hot keys, or the defaults while none were ever stored.
    static std::vector<LHotKey> ReadHotKeys();
    static bool StoreHotKeys(const std::vector<LHotKey>& keys);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void FillHotKeys();

    QLineEdit* m_pAuthor = nullptr;
    QLineEdit* m_pKey = nullptr;
    QTreeWidget* m_pHotKeys = nullptr;
    QLineEdit* m_pCapture = nullptr;
    QComboBox* m_pCommand = nullptr;
    uint32_t m_uCaptured = 0;
    std::vector<LHotKey> m_hotKeys;
};
