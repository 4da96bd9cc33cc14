#include "app/desktop/dialogs/LKeyChangeDlg.h"

#include "app/shared/input/LHotKeys.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

LKeyChangeDlg::LKeyChangeDlg(QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("Press Key"));
    setObjectName(QStringLiteral("LKeyChangeDlg"));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Press key or key combination."), this));
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    // The dialog itself keeps the focus: a key pressed is the answer.
    for (QAbstractButton* pButton : pButtons->buttons()) {
        pButton->setFocusPolicy(Qt::NoFocus);
        if (auto* pPush = qobject_cast<QPushButton*>(pButton))
            pPush->setAutoDefault(false);
    }
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setFocusPolicy(Qt::StrongFocus);
}

bool LKeyChangeDlg::event(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::ShortcutOverride) {
        // Claimed, so that no shortcut of the window behind runs instead.
        pEvent->accept();
        return true;
    }
    if (pEvent->type() != QEvent::KeyPress)
        return QDialog::event(pEvent);
    const auto* pKey = static_cast<const QKeyEvent*>(pEvent);
    switch (pKey->key()) {
    case Qt::Key_Escape:
        m_value.reset();
        reject();
        return true;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        break;
    }
    // A key no stored value can name leaves the dialog waiting.
    if (const uint32_t uValue = HotKeyValueOf(*pKey)) {
        m_value = uValue;
        accept();
    }
    return true;
}
