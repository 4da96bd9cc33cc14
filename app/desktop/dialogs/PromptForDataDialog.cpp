#include "app/desktop/dialogs/PromptForDataDialog.h"

#include "app/desktop/dialogs/LPromptKeys.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

namespace Prompt = PromptKeys;
constexpr const auto& kSections = PromptKeys::kSections;

QString Stored(std::string_view section, std::string_view name)
{
    return QString::fromStdString(GetSettingString(section, name, {}));
}

// What fits in a stored value, cut at a character boundary.
std::string ForStore(const QString& text)
{
    std::string utf8 = text.toStdString();
    return std::string(CutUtf8(utf8, kMaxSettingChars));
}

} // namespace

PromptForDataDialog::PromptForDataDialog(bool bTwoPrompts, const LUserPrompts& prompts, QWidget* pParent)
    : QDialog(pParent)
    , m_bTwo(bTwoPrompts)
    , m_prompts(prompts)
{
    setWindowTitle(QStringLiteral("New Dictation"));
    setObjectName(QStringLiteral("PromptForDataDialog"));
    auto* pLayout = new QVBoxLayout(this);
    for (int i = 0; i < (m_bTwo ? 2 : 1); ++i) {
        m_pLabel[i] = new QLabel(
            QString::fromStdString(GetSettingString(kSections[i], Prompt::kText, Prompt::kTextDefaults[i])), this);
        m_pAnswer[i] = new QComboBox(this);
        m_pAnswer[i]->setEditable(true);
        m_pAnswer[i]->setInsertPolicy(QComboBox::NoInsert);
        m_pAnswer[i]->addItems(RecentAnswers(kSections[i]));
        m_pAnswer[i]->setEditText(Stored(kSections[i], Prompt::kPrevious));
        m_pAnswer[i]->setMinimumWidth(260);
        m_pLabel[i]->setBuddy(m_pAnswer[i]);
        pLayout->addWidget(m_pLabel[i]);
        pLayout->addWidget(m_pAnswer[i]);
    }
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, this, [this] { Accept(); });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (m_pAnswer[0]) {
        m_pAnswer[0]->setFocus();
        m_pAnswer[0]->lineEdit()->selectAll();
    }
}

QComboBox* PromptForDataDialog::Answer(int nId) const
{
    int i = nId - kIdAnswer1;
    return i >= 0 && i < 2 ? m_pAnswer[i] : nullptr;
}

QLabel* PromptForDataDialog::Label(int nId) const
{
    int i = nId - kIdLabel1;
    return i >= 0 && i < 2 ? m_pLabel[i] : nullptr;
}

bool PromptForDataDialog::Accept()
{
    QString answers[2];
    for (int i = 0; i < 2; ++i) {
        if (!m_pAnswer[i])
            continue;
        answers[i] = m_pAnswer[i]->currentText();
        // A prompt the dialog does not ask is not held to its rules: an
        // empty answer could never pass them.
        if (!IsValidAnswer(kSections[i], answers[i])) {
            m_prompts.box(this, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
                QStringLiteral("The data you have entered is not valid. Please check your data and try again. To "
                               "change the data validation rules please see the Options tab of Settings."));
            m_pAnswer[i]->setFocus();
            return false;
        }
    }
    for (int i = 0; i < 2; ++i) {
        SetSettingString(kSections[i], Prompt::kPrevious, ForStore(answers[i]));
        AddRecent(kSections[i], answers[i]);
    }
    accept();
    return true;
}

bool PromptForDataDialog::IsValidAnswer(std::string_view section, const QString& text)
{
    if (GetSettingBool(section, Prompt::kValidateChars, false)) {
        qsizetype nChars = text.toUcs4().size();
        if (nChars < GetSettingInt(section, Prompt::kMinChars, Prompt::kMinCharsDefault)
            || nChars > GetSettingInt(section, Prompt::kMaxChars, Prompt::kMaxCharsDefault))
            return false;
    }
    if (GetSettingBool(section, Prompt::kNumberOnly, false))
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return true;
}

QStringList PromptForDataDialog::RecentAnswers(std::string_view section)
{
    const std::string recent = PromptKeys::RecentSection(section);
    int nCount = std::clamp(GetSettingInt(recent, Prompt::kRecentCount, 0), 0, kMaxRecent);
    QStringList items;
    for (int i = 1; i <= nCount; ++i)
        items.push_back(QString::fromStdString(GetSettingString(recent, tplprintf(Prompt::kRecentItem, i), "")));
    return items;
}

void PromptForDataDialog::AddRecent(std::string_view section, const QString& text)
{
    if (text.isEmpty())
        return;
    QStringList items = RecentAnswers(section);
    QString stored = QString::fromStdString(ForStore(text));
    items.removeAll(stored);
    items.push_front(stored);
    while (items.size() > kMaxRecent)
        items.pop_back();
    const std::string recent = PromptKeys::RecentSection(section);
    for (qsizetype i = 0; i < items.size(); ++i)
        SetSettingString(recent, tplprintf(Prompt::kRecentItem, static_cast<int32_t>(i + 1)), items[i].toStdString());
    SetSettingInt(recent, Prompt::kRecentCount, static_cast<int>(items.size()));
}
