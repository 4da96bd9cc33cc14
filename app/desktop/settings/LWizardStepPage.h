// One step of the first-run wizard. Unlike a page of the settings sheet it
// runs something while it is shown (a level meter, a test sound), so the
// wizard tells it when it is entered and left; it stores its settings only
// from Store(), called for every page on Finish. GUI thread.
#pragma once

#include <QString>
#include <QWizardPage>

class LWizardStepPage : public QWizardPage {
public:
    LWizardStepPage(const char* szTitle, const char* szSubTitle, QWidget* pParent = nullptr)
        : QWizardPage(pParent)
    {
        setTitle(QString::fromUtf8(szTitle));
        setSubTitle(QString::fromUtf8(szSubTitle));
    }
    virtual void Enter() { }
    virtual void Leave() { }
    virtual void Store() = 0;

    // The widget with a control number of the page (null when none).
    QWidget* Control(int nId) const { return findChild<QWidget*>(ControlName(nId)); }

protected:
    template <typename W> W* Add(int nId, W* pWidget)
    {
        pWidget->setObjectName(ControlName(nId));
        return pWidget;
    }

private:
    static QString ControlName(int nId) { return QStringLiteral("c%1").arg(nId); }
};
