#include "app/shared/input/LKeyFilterWidgets.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

void LKeyFilterWidgets::Pass(QWidget* pTo, QKeyEvent& key)
{
    m_bPassing = true;
    QCoreApplication::sendEvent(pTo, &key);
    m_bPassing = false;
}
