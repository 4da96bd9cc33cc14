// A dialog's or page's widgets by their control numbers, so that the code,
// the enabling rules and the tests name a control as the dialog's table
// does. GUI thread.
#pragma once

#include <QAbstractButton>
#include <QLineEdit>
#include <QSpinBox>
#include <QWidget>

#include <map>

class LControlMap {
public:
    QWidget* Control(int nId) const
    {
        auto it = m_controls.find(nId);
        return it == m_controls.end() ? nullptr : it->second;
    }
    QLineEdit* Edit(int nId) const { return qobject_cast<QLineEdit*>(Control(nId)); }
    QAbstractButton* Button(int nId) const { return qobject_cast<QAbstractButton*>(Control(nId)); }
    QSpinBox* Spin(int nId) const { return qobject_cast<QSpinBox*>(Control(nId)); }

protected:
    std::map<int, QWidget*> m_controls;
};
