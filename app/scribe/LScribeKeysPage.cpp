#include "app/scribe/LScribeKeysPage.h"

#include "app/scribe/LScribeUiKeys.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "scribe/LScribeKeys.h"
#include "send/LSealIdentity.h"

#include <optional>

#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kMaxHotKeys = 64;

QString CommandName(LCommandId id)
{
    const std::string_view name = LCommandSetTable::Name(id);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace

std::vector<LHotKey> LScribeKeysPage::ReadHotKeys()
{
    using namespace ScribeUiKeys;
    std::vector<LHotKey> keys;
    const int nCount = kHotKeyCount.Get();
    if (nCount < 0) {
        for (const DefaultHotKey& key : kDefaultHotKeys)
            keys.push_back({ key.uValue, LCommandSetTable::Id(key.nCommand) });
        return keys;
    }
    for (int i = 0; i < std::min(nCount, kMaxHotKeys); ++i)
        keys.push_back(
            { static_cast<uint32_t>(kHotKeyValue.At(i).Get()), LCommandSetTable::Id(kHotKeyCommand.At(i).Get()) });
    return keys;
}

bool LScribeKeysPage::StoreHotKeys(const std::vector<LHotKey>& keys)
{
    using namespace ScribeUiKeys;
    bool bOk = true;
    for (size_t i = 0; i < keys.size(); ++i) {
        bOk = kHotKeyValue.At(static_cast<int>(i)).Set(static_cast<int>(keys[i].uValue)) && bOk;
        bOk = kHotKeyCommand.At(static_cast<int>(i)).Set(LCommandSetTable::Number(keys[i].command)) && bOk;
    }
    return kHotKeyCount.Set(static_cast<int>(keys.size())) && bOk;
}

LScribeKeysPage::LScribeKeysPage(bool bHotKeysAvailable, QWidget* pParent)
    : LSheetPage(pParent)
    , m_hotKeys(ReadHotKeys())
{
    auto* pLayout = new QVBoxLayout(this);

    auto* pCipher = new QGroupBox(QStringLiteral("Decryption keys"), this);
    auto* pCipherLayout = new QFormLayout(pCipher);
    m_pAuthor = new QLineEdit(pCipher);
    m_pAuthor->setPlaceholderText(QStringLiteral("every author"));
    m_pKey = new QLineEdit(pCipher);
    m_pKey->setEchoMode(QLineEdit::Password);
    auto* pAddKey = new QPushButton(QStringLiteral("Add &Key"), pCipher);
    pCipherLayout->addRow(QStringLiteral("Author's &user ID:"), m_pAuthor);
    pCipherLayout->addRow(QStringLiteral("&Key:"), m_pKey);
    pCipherLayout->addRow(pAddKey);
    connect(pAddKey, &QPushButton::clicked, this, [this] {
        LScribeKey key;
        bool bNumber = true;
        if (!m_pAuthor->text().trimmed().isEmpty())
            key.author = m_pAuthor->text().trimmed().toUInt(&bNumber);
        key.key = m_pKey->text().toStdString();
        std::string why;
        if (!bNumber)
            why = "The user ID is a number.";
        else if (LScribeKeys::Add(key, &why))
            m_pKey->clear();
        if (!why.empty())
            QMessageBox::warning(this, QStringLiteral("Tavrine Scribe"), QString::fromStdString(why));
    });

    // Dictators seal for this key; it is shown to be copied to them.
    auto* pSeal = new QGroupBox(QStringLiteral("Your public key for sealed dictations"), this);
    auto* pSealLayout = new QHBoxLayout(pSeal);
    auto* pPublic = new QLineEdit(pSeal);
    pPublic->setReadOnly(true);
    pPublic->setAccessibleName(QStringLiteral("Public key"));
    std::string why;
    const std::optional<std::string> pub = LSealIdentity::PublicText(LScribeKeys::IdentityPath(), &why);
    pPublic->setText(QString::fromStdString(pub ? *pub : why));
    pPublic->setCursorPosition(0);
    auto* pCopy = new QPushButton(QStringLiteral("&Copy"), pSeal);
    pCopy->setEnabled(pub.has_value());
    pSealLayout->addWidget(pPublic, 1);
    pSealLayout->addWidget(pCopy);
    connect(pCopy, &QPushButton::clicked, this, [pPublic] { QGuiApplication::clipboard()->setText(pPublic->text()); });

    auto* pHot = new QGroupBox(QStringLiteral("System-wide hot keys"), this);
    auto* pHotLayout = new QVBoxLayout(pHot);
    if (!bHotKeysAvailable) {
        auto* pNote = new QLabel(LHotKeys::UnavailableText(), pHot);
        pNote->setWordWrap(true);
        pHotLayout->addWidget(pNote);
    }
    m_pHotKeys = new QTreeWidget(pHot);
    m_pHotKeys->setRootIsDecorated(false);
    m_pHotKeys->setHeaderLabels({ QStringLiteral("Key"), QStringLiteral("Command") });
    m_pHotKeys->setAccessibleName(QStringLiteral("Hot keys"));
    auto* pRow = new QHBoxLayout;
    m_pCapture = new QLineEdit(pHot);
    m_pCapture->setReadOnly(true);
    m_pCapture->setPlaceholderText(QStringLiteral("press a key here"));
    m_pCapture->setAccessibleName(QStringLiteral("New hot key"));
    m_pCapture->installEventFilter(this);
    m_pCommand = new QComboBox(pHot);
    m_pCommand->setAccessibleName(QStringLiteral("Command"));
    for (int n = 1; n < LCommandSetTable::kCount; ++n)
        m_pCommand->addItem(CommandName(LCommandSetTable::Id(n)), n);
    auto* pAdd = new QPushButton(QStringLiteral("&Add"), pHot);
    auto* pRemove = new QPushButton(QStringLiteral("&Remove"), pHot);
    pRow->addWidget(m_pCapture);
    pRow->addWidget(m_pCommand);
    pRow->addWidget(pAdd);
    pRow->addWidget(pRemove);
    pHotLayout->addWidget(m_pHotKeys);
    pHotLayout->addLayout(pRow);
    connect(pAdd, &QPushButton::clicked, this, [this] {
        if (m_uCaptured == 0 || static_cast<int>(m_hotKeys.size()) >= kMaxHotKeys)
            return;
        m_hotKeys.push_back({ m_uCaptured, LCommandSetTable::Id(m_pCommand->currentData().toInt()) });
        StoreHotKeys(m_hotKeys);
        FillHotKeys();
    });
    connect(pRemove, &QPushButton::clicked, this, [this] {
        const int n = m_pHotKeys->indexOfTopLevelItem(m_pHotKeys->currentItem());
        if (n < 0)
            return;
        m_hotKeys.erase(m_hotKeys.begin() + n);
        StoreHotKeys(m_hotKeys);
        FillHotKeys();
    });
    pLayout->addWidget(pSeal);
    pLayout->addWidget(pCipher);
    pLayout->addWidget(pHot, 1);
    FillHotKeys();
}

void LScribeKeysPage::FillHotKeys()
{
    m_pHotKeys->clear();
    for (const LHotKey& key : m_hotKeys) {
        auto* pItem = new QTreeWidgetItem(m_pHotKeys);
        pItem->setText(0, HotKeyText(key.uValue));
        pItem->setText(1, CommandName(key.command));
    }
}

bool LScribeKeysPage::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pCapture && pEvent->type() == QEvent::KeyPress) {
        const uint32_t uValue = HotKeyValueOf(*static_cast<QKeyEvent*>(pEvent));
        if (uValue != 0) {
            m_uCaptured = uValue;
            m_pCapture->setText(HotKeyText(uValue));
        }
        return true;
    }
    return LSheetPage::eventFilter(pWatched, pEvent);
}

bool LScribeKeysPage::Store()
{
    return true;
}
