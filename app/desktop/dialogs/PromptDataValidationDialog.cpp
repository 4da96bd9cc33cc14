#include "app/desktop/dialogs/PromptDataValidationDialog.h"

#include "app/desktop/dialogs/LPromptKeys.h"
#include "foundation/LSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <utility>

namespace {

namespace Prompt = PromptKeys;
// An answer longer than a stored value could not be kept anyway.
constexpr int kMaxLimit = static_cast<int>(kMaxSettingChars);

} // namespace

PromptDataValidationDialog::PromptDataValidationDialog(
    std::string section, const LUserPrompts& prompts, QWidget* pParent)
    : QDialog(pParent)
    , m_section(std::move(section))
    , m_prompts(prompts)
{
    setWindowTitle(QStringLiteral("Prompt Data Validation"));
    setObjectName(QStringLiteral("PromptDataValidationDialog"));
    auto add = [this](int nId, QWidget* pWidget) {
        m_controls[nId] = pWidget;
        pWidget->setObjectName(QStringLiteral("c%1").arg(nId));
        return pWidget;
    };
    auto spin = [&](int nId, int nValue) {
        auto* pSpin = static_cast<QSpinBox*>(add(nId, new QSpinBox(this)));
        pSpin->setRange(0, kMaxLimit);
        pSpin->setValue(nValue);
        return pSpin;
    };

    auto* pLayout = new QVBoxLayout(this);
    add(kIdRestrict, new QCheckBox(QStringLiteral("Has restricted number of characters"), this));
    pLayout->addWidget(Control(kIdRestrict));
    auto* pGrid = new QGridLayout;
    pGrid->setColumnMinimumWidth(0, 20);
    const std::pair<int, int> rows[] = { { kIdMinLabel, kIdMinChars }, { kIdMaxLabel, kIdMaxChars } };
    const char* const labels[] = { "Minimum number of characters", "Maximum number of characters" };
    const int values[] = { GetSettingInt(m_section, Prompt::kMinChars, Prompt::kMinCharsDefault),
        GetSettingInt(m_section, Prompt::kMaxChars, Prompt::kMaxCharsDefault) };
    for (int i = 0; i < 2; ++i) {
        auto* pLabel = static_cast<QLabel*>(add(rows[i].first, new QLabel(QString::fromUtf8(labels[i]), this)));
        pLabel->setBuddy(spin(rows[i].second, values[i]));
        pGrid->addWidget(pLabel, i, 1);
        pGrid->addWidget(Control(rows[i].second), i, 2);
    }
    pLayout->addLayout(pGrid);
    add(kIdNumbersOnly, new QCheckBox(QStringLiteral("Contains numbers only"), this));
    pLayout->addWidget(Control(kIdNumbersOnly));

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, this, [this] { Accept(); });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    Button(kIdRestrict)->setChecked(GetSettingBool(m_section, Prompt::kValidateChars, false));
    Button(kIdNumbersOnly)->setChecked(GetSettingBool(m_section, Prompt::kNumberOnly, false));
    connect(Button(kIdRestrict), &QAbstractButton::toggled, this, [this] { UpdateEnabling(); });
    UpdateEnabling();
}

void PromptDataValidationDialog::UpdateEnabling()
{
    const bool bOn = Button(kIdRestrict)->isChecked();
    for (int nId : { kIdMinChars, kIdMaxChars, kIdMinLabel, kIdMaxLabel })
        Control(nId)->setEnabled(bOn);
}

bool PromptDataValidationDialog::Accept()
{
    auto flag = [this](int nId) { return std::string(Button(nId)->isChecked() ? "1" : "0"); };
    const bool bStored = SetSettingStrings(m_section,
        { { Prompt::kValidateChars, flag(kIdRestrict) },
            { Prompt::kMinChars, std::to_string(Spin(kIdMinChars)->value()) },
            { Prompt::kMaxChars, std::to_string(Spin(kIdMaxChars)->value()) },
            { Prompt::kNumberOnly, flag(kIdNumbersOnly) } });
    if (!bStored) {
        m_prompts.box(this, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
            QStringLiteral("Cannot store the settings in %1.").arg(QString::fromStdString(GetUserSettingsPath())));
        return false;
    }
    accept();
    return true;
}
