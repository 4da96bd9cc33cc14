#include "app/desktop/dialogs/LCommandProgress.h"

#include "ui/LProgressDialog.h"

#include <QDialog>

namespace {

class LBodyProgress : public LProgressDialog {
public:
    LBodyProgress(const std::string& title, LUserPrompts& prompts, const std::function<int(LProgressReporter&)>& body)
        : LProgressDialog(QString::fromStdString(title))
        , m_prompts(prompts)
        , m_body(body)
    {
    }
    void ErrorBox(const std::string& szText) override
    {
        m_prompts.box(
            GetDialog(), LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"), QString::fromStdString(szText));
    }
    int nResult = 1;

protected:
    bool RunProcess() override
    {
        nResult = m_body(*this);
        return true;
    }

private:
    LUserPrompts& m_prompts;
    const std::function<int(LProgressReporter&)>& m_body;
};

} // namespace

int RunInProgress(QWidget* pParent, LUserPrompts& prompts, const std::string& title,
    const std::function<int(LProgressReporter&)>& body)
{
    LBodyProgress progress(title, prompts, body);
    progress.Run(pParent);
    return progress.nResult;
}

void LCommandImportHost::ShowError(const std::string& szText)
{
    m_prompts.box(
        m_pParent, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"), QString::fromStdString(szText));
}
