// "Press Key": captures one key with the Ctrl, Alt and Shift held with it as
// a stored hot-key value. The first press of a key that is not a modifier,
// Escape or Enter closes it with OK; Escape and Cancel close it with none.
// GUI thread.
#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>

class LKeyChangeDlg : public QDialog {
    Q_OBJECT
public:
    explicit LKeyChangeDlg(QWidget* pParent = nullptr);

    // The key pressed; none until one closed the dialog.
    std::optional<uint32_t> Value() const { return m_value; }

protected:
    // Every key goes here first, so that Tab, Space and Enter never reach a button.
    bool event(QEvent* pEvent) override;

private:
    std::optional<uint32_t> m_value;
};
