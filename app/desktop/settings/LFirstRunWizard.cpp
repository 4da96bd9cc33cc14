#include "app/desktop/settings/LFirstRunWizard.h"

#include "app/desktop/settings/LPlaybackSettingPage.h"
#include "app/desktop/settings/LQuickStartGuidePage.h"
#include "app/desktop/settings/LRecordSettingPage.h"

#include <QDir>
#include <QFileInfo>

LFirstRunWizard::LFirstRunWizard(
    LMainLoop& loop, std::function<void()> openHelp, const QString& programFolder, QWidget* pParent)
    : QWizard(pParent)
{
    setWindowTitle(QStringLiteral("Tavrine Dictate"));
    setObjectName(QStringLiteral("LFirstRunWizard"));
    // The same look on every desktop: a plain header band with each step's
    // title and subtitle above it.
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::NoBackButtonOnStartPage);
    m_pRecord = new LRecordSettingPage(loop, this);
    m_pPlayback = new LPlaybackSettingPage(loop, FindTestSound(programFolder), this);
    m_pQuickStart = new LQuickStartGuidePage(std::move(openHelp), this);
    addPage(m_pRecord);
    addPage(m_pPlayback);
    addPage(m_pQuickStart);
    connect(this, &QWizard::currentIdChanged, this, &LFirstRunWizard::OnCurrentChanged);
}

LFirstRunWizard::~LFirstRunWizard()
{
    if (m_pShown)
        m_pShown->Leave();
}

std::string LFirstRunWizard::FindTestSound(const QString& programFolder)
{
    const QDir folder(programFolder);
    for (const QString& candidate : { folder.filePath(QString::fromUtf8(kTestSoundName)),
             folder.filePath(QStringLiteral("../share/tavrine/") + QString::fromUtf8(kTestSoundName)) }) {
        const QFileInfo info(candidate);
        if (info.isFile())
            return QDir::cleanPath(info.absoluteFilePath()).toStdString();
    }
    return std::string();
}

void LFirstRunWizard::OnCurrentChanged(int nId)
{
    if (m_pShown)
        m_pShown->Leave();
    m_pShown = dynamic_cast<LWizardStepPage*>(page(nId));
    if (m_pShown)
        m_pShown->Enter();
}

void LFirstRunWizard::done(int nResult)
{
    // Nothing runs behind the manual or the next window.
    if (m_pShown)
        m_pShown->Leave();
    m_pShown = nullptr;
    if (nResult == QDialog::Accepted)
        for (LWizardStepPage* pPage : { static_cast<LWizardStepPage*>(m_pRecord),
                 static_cast<LWizardStepPage*>(m_pPlayback), static_cast<LWizardStepPage*>(m_pQuickStart) })
            pPage->Store();
    QWizard::done(nResult);
}
