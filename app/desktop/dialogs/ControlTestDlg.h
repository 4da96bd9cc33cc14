// "Test Controller": shows which buttons of the chosen controller are down,
// so that a user can check a pedal before relying on it. Opened from the
// hardware settings with the port chosen there (not yet stored). GUI thread.
#pragma once

#include "app/shared/input/HardwareControl.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;

class ControlTestDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTickMs = 50;
    using MessageBox = std::function<void(const QString& caption, const QString& text)>;

    ControlTestDlg(int nPort, HardwareControl::Devices devices = {}, QWidget* pParent = nullptr);
    ~ControlTestDlg() override;

    // Tests the port: the station and the microphone are tested by the window
    // once the settings are closed, which the box says; other ports open the dialog.
    static void Test(int nPort, QWidget* pParent, HardwareControl::Devices devices = {}, MessageBox box = {});

    // "Button/Pedal 1", "Button/Pedal 12EOL", "Nothing pressed".
    static QString ButtonsText(uint8_t uBits);
    QString Text() const;

private:
    void Tick();

    HardwareControl m_control;
    QLabel* m_pText = nullptr; // control 101
    QTimer m_timer;
    int m_nLastBits = -1;
};
