#include "app/scribe/LTypistPage.h"

#include "foundation/LSettings.h"
#include "scribe/LScribeSettings.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

LTypistPage::LTypistPage(QWidget* pParent)
    : LSheetPage(pParent)
{
    auto* pLayout = new QFormLayout(this);
    m_pName = new QLineEdit(QString::fromStdString(LScribeSettings::GetTypistName()), this);
    m_pName->setMaxLength(64);
    m_pCleaned = new QLabel(this);
    pLayout->addRow(QStringLiteral("Typist &name:"), m_pName);
    pLayout->addRow(QStringLiteral("In file names:"), m_pCleaned);
    auto* pNote = new QLabel(QStringLiteral("Claimed jobs go into \"Claimed/<name>/\" and your status file is "
                                            "\"s<user ID>-<name>.sta\": two typists sharing a folder need "
                                            "different names."),
        this);
    pNote->setWordWrap(true);
    pLayout->addRow(pNote);
    auto update = [this] {
        m_pCleaned->setText(
            QString::fromStdString(LScribeSettings::CleanTypistName(m_pName->text().trimmed().toStdString())));
    };
    connect(m_pName, &QLineEdit::textChanged, this, update);
    update();
}

bool LTypistPage::Store()
{
    const QString name = m_pName->text().trimmed();
    if (name.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Tavrine Scribe"), QStringLiteral("Enter the typist's name."));
        m_pName->setFocus();
        return false;
    }
    return SetSettingString(LScribeSettings::kSection, LScribeSettings::kTypistName, name.toStdString());
}
