// The wizard shown on a user's first start: the microphone and its volume,
// the speakers and theirs, and whether to open the manual. Each step runs its
// meter or test sound only while it is shown; Finish stores every step and
// Cancel stores nothing. GUI thread.
#pragma once

#include <QString>
#include <QWizard>

#include <functional>
#include <string>

class LMainLoop;
class LPlaybackSettingPage;
class LQuickStartGuidePage;
class LRecordSettingPage;
class LWizardStepPage;

class LFirstRunWizard : public QWizard {
    Q_OBJECT
public:
    static constexpr const char* kTestSoundName = "Test.wav";

    // openHelp opens the help contents; programFolder is where the program
    // lies (the announcement is looked for from there).
    LFirstRunWizard(
        LMainLoop& loop, std::function<void()> openHelp, const QString& programFolder, QWidget* pParent = nullptr);
    ~LFirstRunWizard() override;

    // The announcement beside the program (a build tree) or in the data
    // folder of the installed program; empty when neither has it.
    static std::string FindTestSound(const QString& programFolder);

    LRecordSettingPage& RecordPage() const { return *m_pRecord; }
    LPlaybackSettingPage& PlaybackPage() const { return *m_pPlayback; }
    LQuickStartGuidePage& QuickStartPage() const { return *m_pQuickStart; }

    void done(int nResult) override;

private:
    void OnCurrentChanged(int nId);

    LRecordSettingPage* m_pRecord = nullptr;
    LPlaybackSettingPage* m_pPlayback = nullptr;
    LQuickStartGuidePage* m_pQuickStart = nullptr;
    LWizardStepPage* m_pShown = nullptr;
};
