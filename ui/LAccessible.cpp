#include "ui/LAccessible.h"

#include "ui/LDBEdit.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>

namespace LAccessible {

namespace {

QString Plain(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

bool IsNameless(QWidget* pWidget)
{
    QAccessibleInterface* p = QAccessible::queryAccessibleInterface(pWidget);
    return p && p->text(QAccessible::Name).trimmed().isEmpty();
}

// The layout below pLayout that holds pWidget as an item, or null.
QLayout* Holder(QLayout* pLayout, QWidget* pWidget)
{
    if (!pLayout)
        return nullptr;
    if (pLayout->indexOf(pWidget) >= 0)
        return pLayout;
    for (int i = 0; i < pLayout->count(); ++i)
        if (QLayout* pFound = Holder(pLayout->itemAt(i)->layout(), pWidget))
            return pFound;
    return nullptr;
}

// The widget that names pWidget from before it in its layout.
QWidget* Before(QLayout* pLayout, QWidget* pWidget)
{
    const int nIndex = pLayout->indexOf(pWidget);
    if (auto* pGrid = qobject_cast<QGridLayout*>(pLayout)) {
        int nRow = 0, nColumn = 0, nRows = 0, nColumns = 0;
        pGrid->getItemPosition(nIndex, &nRow, &nColumn, &nRows, &nColumns);
        QLayoutItem* pItem = nColumn > 0 ? pGrid->itemAtPosition(nRow, nColumn - 1) : nullptr;
        if (!pItem && nRow > 0)
            pItem = pGrid->itemAtPosition(nRow - 1, nColumn);
        return pItem ? pItem->widget() : nullptr;
    }
    if (auto* pForm = qobject_cast<QFormLayout*>(pLayout))
        return pForm->labelForField(pWidget);
    if (qobject_cast<QBoxLayout*>(pLayout) && nIndex > 0)
        return pLayout->itemAt(nIndex - 1)->widget();
    return nullptr;
}

void Name(QWidget* pWidget)
{
    QWidget* pParent = pWidget->parentWidget();
    if (QLayout* pLayout = pParent ? Holder(pParent->layout(), pWidget) : nullptr) {
        QWidget* pBefore = Before(pLayout, pWidget);
        if (auto* pLabel = qobject_cast<QLabel*>(pBefore); pLabel && !Plain(pLabel->text()).isEmpty()) {
            if (!pLabel->buddy())
                pLabel->setBuddy(pWidget);
            if (pLabel->buddy() == pWidget && !IsNameless(pWidget))
                return;
            pWidget->setAccessibleName(Plain(pLabel->text()));
            return;
        }
        if (auto* pButton = qobject_cast<QAbstractButton*>(pBefore); pButton && !Plain(pButton->text()).isEmpty()) {
            pWidget->setAccessibleName(Plain(pButton->text()));
            return;
        }
    }
    if (auto* pBox = qobject_cast<QGroupBox*>(pParent); pBox && !Plain(pBox->title()).isEmpty()) {
        pWidget->setAccessibleName(Plain(pBox->title()));
        return;
    }
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget); pEdit && !pEdit->placeholderText().isEmpty()) {
        pWidget->setAccessibleName(pEdit->placeholderText());
        return;
    }
    if (!pWidget->toolTip().isEmpty()) {
        pWidget->setAccessibleName(pWidget->toolTip());
        return;
    }
    if (qobject_cast<QTabWidget*>(pWidget))
        pWidget->setAccessibleName(Plain(pWidget->window()->windowTitle()) + QStringLiteral(" pages"));
}

// The decibel slider reads as a slider with its value in decibels.
class LDBEditAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit LDBEditAccessible(LDBEdit* pEdit)
        : QAccessibleWidget(pEdit, QAccessible::Slider)
    {
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? LDBEdit::ValueText(Edit()->GetValue()) : QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return Edit()->GetValue(); }
    void setCurrentValue(const QVariant& value) override { Edit()->SetValue(value.toInt()); }
    QVariant maximumValue() const override { return Edit()->GetMaximum(); }
    QVariant minimumValue() const override { return Edit()->GetMinimum(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    LDBEdit* Edit() const { return static_cast<LDBEdit*>(widget()); }
};

QAccessibleInterface* Factory(const QString& className, QObject* pObject)
{
    if (className == QLatin1String("LDBEdit") && pObject && pObject->isWidgetType())
        return new LDBEditAccessible(static_cast<LDBEdit*>(pObject));
    return nullptr;
}

} // namespace

void Describe(std::initializer_list<Entry> entries)
{
    for (const Entry& entry : entries) {
        if (!entry.pWidget)
            continue;
        entry.pWidget->setAccessibleName(QString::fromUtf8(entry.szName));
        if (entry.szDescription)
            entry.pWidget->setAccessibleDescription(QString::fromUtf8(entry.szDescription));
    }
}

void NameFromLayout(QWidget* pRoot)
{
    for (QWidget* pWidget : pRoot->findChildren<QWidget*>()) {
        // A combo box's own editor and pop-up list read as the combo box.
        if (pWidget->focusPolicy() == Qt::NoFocus || pWidget->isWindow()
            || qobject_cast<QComboBox*>(pWidget->parentWidget()) || !IsNameless(pWidget))
            continue;
        Name(pWidget);
    }
}

LWindowNamer::LWindowNamer(QObject* pParent)
    : QObject(pParent)
{
    qApp->installEventFilter(this);
    static const bool bInstalled = (QAccessible::installFactory(Factory), true);
    (void)bInstalled;
}

LWindowNamer::~LWindowNamer()
{
    qApp->removeEventFilter(this);
}

bool LWindowNamer::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::Show && pWatched->isWidgetType()) {
        auto* pWidget = static_cast<QWidget*>(pWatched);
        if (pWidget->isWindow())
            NameFromLayout(pWidget);
    }
    return false;
}

} // namespace LAccessible
