#include "app/desktop/settings/LOptionsPage.h"

#include "app/desktop/dialogs/LDictationCommandKeys.h"
#include "app/desktop/dialogs/LPromptKeys.h"
#include "app/desktop/dialogs/PromptDataValidationDialog.h"
#include "app/desktop/session/LNoteTemplate.h"
#include "app/shared/transport/LTransportKeys.h"
#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LSendAutoDelete.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace Prompt = PromptKeys;
using namespace DictationCommandKeys;
using namespace TransportKeys;
using Values = std::vector<std::pair<std::string, std::string>>;
constexpr const char* kCaption = "Tavrine Dictate";
constexpr int kMaxDays = 3650;
constexpr int kMaxWarnMb = 1 << 20;

std::string Flag(bool b)
{
    return b ? "1" : "0";
}

// What fits in a stored value, cut at a character boundary.
std::string ForStore(const QLineEdit* pEdit)
{
    const std::string utf8 = pEdit->text().toStdString();
    return std::string(CutUtf8(utf8, kMaxSettingChars));
}

} // namespace

LOptionsPage::LOptionsPage(const LUserPrompts& prompts, QWidget* pParent)
    : LSheetPage(pParent)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("LOptionsPage"));
    auto add = [this](int nId, QWidget* pWidget) {
        m_controls[nId] = pWidget;
        pWidget->setObjectName(QStringLiteral("c%1").arg(nId));
        return pWidget;
    };
    auto check = [&](int nId, const char* szText) { return add(nId, new QCheckBox(QString::fromUtf8(szText), this)); };
    auto label = [&](int nId, const char* szText) { return add(nId, new QLabel(QString::fromUtf8(szText), this)); };
    auto button
        = [&](int nId, const char* szText) { return add(nId, new QPushButton(QString::fromUtf8(szText), this)); };
    auto edit = [&](int nId) {
        auto* pEdit = new QLineEdit(this);
        pEdit->setMaxLength(static_cast<int>(kMaxSettingChars));
        return add(nId, pEdit);
    };

    auto* pLayout = new QVBoxLayout(this);
    // The data prompts: the first one's answer names the dictation or goes
    // into the notes under its tag; the second one's always goes under its tag.
    auto* pPrompts = new QGroupBox(this);
    auto* pGrid = new QGridLayout(pPrompts);
    pGrid->addWidget(check(kIdPrompt, "Prompt For Data"), 0, 0, 1, 4);
    pGrid->addWidget(label(kIdPromptLabel, "Prompt:"), 1, 0);
    pGrid->addWidget(edit(kIdPromptText), 1, 1, 1, 2);
    pGrid->addWidget(button(kIdValidation, "Validation"), 1, 3);
    pGrid->addWidget(
        add(kIdAsName, new QRadioButton(QStringLiteral("Replace Default Dictation Name"), this)), 2, 1, 1, 3);
    pGrid->addWidget(add(kIdTagChoice, new QRadioButton(QStringLiteral("XML Tag:"), this)), 3, 0);
    pGrid->addWidget(edit(kIdTag), 3, 1, 1, 2);
    auto* pPair = new QButtonGroup(this);
    pPair->addButton(Button(kIdAsName));
    pPair->addButton(Button(kIdTagChoice));
    pGrid->addWidget(check(kIdPrompt2, "Use Additional Prompt"), 4, 0, 1, 4);
    pGrid->addWidget(label(kIdPrompt2Label, "Prompt:"), 5, 0);
    pGrid->addWidget(edit(kIdPrompt2Text), 5, 1, 1, 2);
    pGrid->addWidget(button(kIdValidation2, "Validation"), 5, 3);
    pGrid->addWidget(label(kIdTag2Label, "XML Tag:"), 6, 0);
    pGrid->addWidget(edit(kIdTag2), 6, 1, 1, 2);
    pGrid->setColumnStretch(1, 1);
    pLayout->addWidget(pPrompts);

    auto* pNote = new QHBoxLayout;
    pNote->addWidget(check(kIdDefaultNote, "Insert default note for new dictation"), 1);
    pNote->addWidget(button(kIdEditTemplate, "Edit Default Template"));
    pLayout->addLayout(pNote);
    pLayout->addWidget(check(kIdRecordTone, "Sound record tone when recording starts"));
    pLayout->addWidget(check(kIdStoppedTone, "Sound stopped tone when recording stops"));
    auto* pRepeat = new QHBoxLayout;
    pRepeat->addSpacing(20);
    pRepeat->addWidget(check(kIdStoppedToneRepeat, "Repeat stopped tone while not recording"), 1);
    pLayout->addLayout(pRepeat);

    auto* pLimits = new QGridLayout;
    const std::pair<int, const char*> limits[] = { { kIdAutoDeleteDays, "Delete sent recording(s) after (days)" },
        { kIdWarnBelowMb, "Warn when hard drive space is low (below MB)" } };
    for (int i = 0; i < 2; ++i) {
        auto* pSpin = new QSpinBox(this);
        pSpin->setRange(0, limits[i].first == kIdAutoDeleteDays ? kMaxDays : kMaxWarnMb);
        add(limits[i].first, pSpin);
        auto* pLabel = new QLabel(QString::fromUtf8(limits[i].second), this);
        pLabel->setBuddy(pSpin);
        pLimits->addWidget(pLabel, i, 0);
        pLimits->addWidget(pSpin, i, 1);
    }
    pLimits->setColumnStretch(0, 1);
    pLayout->addLayout(pLimits);
    pLayout->addStretch(1);

    for (int nId : { kIdPrompt, kIdTagChoice, kIdPrompt2, kIdStoppedTone, kIdDefaultNote })
        connect(Button(nId), &QAbstractButton::toggled, this, [this] { UpdateEnabling(); });
    connect(Button(kIdValidation), &QAbstractButton::clicked, this, [this] { OpenValidation(0); });
    connect(Button(kIdValidation2), &QAbstractButton::clicked, this, [this] { OpenValidation(1); });
    connect(Button(kIdEditTemplate), &QAbstractButton::clicked, this, [this] { EditDefaultTemplate(); });
    Load();
}

void LOptionsPage::Load()
{
    const auto& sections = PromptKeys::kSections;
    auto text = [](const char* szSection, const char* szName, const char* szDefault) {
        return QString::fromStdString(GetSettingString(szSection, szName, szDefault));
    };
    Button(kIdPrompt)->setChecked(GetSettingBool(sections[0], Prompt::kAsk, false));
    Edit(kIdPromptText)->setText(text(sections[0], Prompt::kText, Prompt::kTextDefaults[0]));
    Button(GetSettingBool(sections[0], Prompt::kAsName, false) ? kIdAsName : kIdTagChoice)->setChecked(true);
    Edit(kIdTag)->setText(text(sections[0], Prompt::kTag, Prompt::kTagDefaults[0]));
    Button(kIdPrompt2)->setChecked(GetSettingBool(sections[1], Prompt::kAsk, false));
    Edit(kIdPrompt2Text)->setText(text(sections[1], Prompt::kText, Prompt::kTextDefaults[1]));
    Edit(kIdTag2)->setText(text(sections[1], Prompt::kTag, Prompt::kTagDefaults[1]));
    Button(kIdDefaultNote)->setChecked(kDefaultNote.Get());
    Button(kIdRecordTone)->setChecked(kRecordTone.Get());
    Button(kIdStoppedTone)->setChecked(kStoppedTone.Get());
    Button(kIdStoppedToneRepeat)->setChecked(kStoppedToneRepeat.Get());
    Spin(kIdAutoDeleteDays)->setValue(LSendAutoDelete::kDaysKey.Get());
    Spin(kIdWarnBelowMb)->setValue(kWarnBelowMB.Get());
    UpdateEnabling();
}

void LOptionsPage::UpdateEnabling()
{
    const bool bPrompt = Button(kIdPrompt)->isChecked();
    const bool bPrompt2 = Button(kIdPrompt2)->isChecked();
    auto enable = [this](std::initializer_list<int> ids, bool bOn) {
        for (int nId : ids)
            Control(nId)->setEnabled(bOn);
    };
    enable({ kIdPromptLabel, kIdPromptText, kIdTagChoice, kIdAsName, kIdValidation, kIdPrompt2 }, bPrompt);
    enable({ kIdTag }, bPrompt && Button(kIdTagChoice)->isChecked());
    enable({ kIdPrompt2Label, kIdPrompt2Text, kIdTag2Label, kIdTag2 }, bPrompt && bPrompt2);
    enable({ kIdValidation2 }, bPrompt2);
    enable({ kIdStoppedToneRepeat }, Button(kIdStoppedTone)->isChecked());
    enable({ kIdEditTemplate }, Button(kIdDefaultNote)->isChecked());
}

void LOptionsPage::OpenValidation(int nPrompt)
{
    PromptDataValidationDialog dialog(PromptKeys::kSections[nPrompt], m_prompts, this);
    m_prompts.exec(dialog);
}

bool LOptionsPage::EditDefaultTemplate()
{
    const std::string path = LNoteTemplate::Path();
    if (!FileExists(path)) {
        // Another process may make it at the same moment: then it is there.
        errno = 0;
        if (!CreateFolderTree(_GetFolderFromPath(path))
            || (!WriteNewFileAtomic(path, "", 0, 0600) && errno != EEXIST)) {
            m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption),
                QString::fromStdString(tplprintf("Cannot create the default note template \"%s\".", path)));
            return false;
        }
    }
    std::string whyNot;
    if (!m_opener.Open(path, &whyNot)) {
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption), QString::fromStdString(whyNot));
        return false;
    }
    return true;
}

bool LOptionsPage::Store()
{
    const auto& sections = PromptKeys::kSections;
    const bool bPrompt = Button(kIdPrompt)->isChecked();
    // The second prompt is asked only after the first.
    const Values prompt1 = { { Prompt::kAsk, Flag(bPrompt) }, { Prompt::kText, ForStore(Edit(kIdPromptText)) },
        { Prompt::kAsName, Flag(Button(kIdAsName)->isChecked()) }, { Prompt::kTag, ForStore(Edit(kIdTag)) } };
    const Values prompt2 = { { Prompt::kAsk, Flag(bPrompt && Button(kIdPrompt2)->isChecked()) },
        { Prompt::kText, ForStore(Edit(kIdPrompt2Text)) }, { Prompt::kTag, ForStore(Edit(kIdTag2)) } };
    const Values settings = { { kDefaultNote.szName, Flag(Button(kIdDefaultNote)->isChecked()) },
        { kRecordTone.szName, Flag(Button(kIdRecordTone)->isChecked()) },
        { kStoppedTone.szName, Flag(Button(kIdStoppedTone)->isChecked()) },
        { kStoppedToneRepeat.szName, Flag(Button(kIdStoppedToneRepeat)->isChecked()) },
        { LSendAutoDelete::kDaysKey.szName, std::to_string(Spin(kIdAutoDeleteDays)->value()) } };
    const bool bStored = SetSettingStrings(sections[0], prompt1) && SetSettingStrings(sections[1], prompt2)
        && SetSettingStrings(kDefaultNote.szSection, settings) && kWarnBelowMB.Set(Spin(kIdWarnBelowMb)->value());
    if (!bStored)
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption),
            QString::fromStdString(tplprintf("Cannot store the settings in %s.", GetUserSettingsPath())));
    return bStored;
}
