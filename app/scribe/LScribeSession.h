// The typist's model: the inbox's jobs, the one the typist chose, its notes,
// fields and attachments, and its audio for the shared transport, which plays
// whatever the playback model offers. A job's file is read into Scribe's
// private folder when it is chosen, never written back. GUI thread.
#pragma once

#include "app/shared/transport/LPlaybackModel.h"
#include "scribe/LScribeInbox.h"

#include <QStringList>

#include <string>
#include <vector>

class LScribeSession : public LPlaybackModel {
    Q_OBJECT
public:
    explicit LScribeSession(LScribeInbox inbox);
    ~LScribeSession() override;

    // Acts on cancel notices and lists every source again; the chosen job
    // stays chosen while it is listed (a cancelled one stops playing).
    void Refresh();
    // The same for the named sources alone (a folder that changed).
    void RefreshSources(const std::vector<std::string>& names);
    const std::vector<LScribeJob>& Jobs() const { return m_jobs; }
    const LScribeJob* CurrentJob() const;
    // Chooses the job at an index of Jobs (-1: none) and reads its audio;
    // false with the reason when the audio cannot be had (the wrong key).
    bool Choose(int nIndex, std::string* pWhy);
    // The typist's actions on the chosen job; each says why it failed.
    bool Claim(std::string* pWhy);
    bool WriteStatus(const std::string& text, std::string* pWhy);
    bool Done(std::string* pWhy);
    // The chosen job's attachments as read into the private folder.
    const std::vector<std::string>& Attachments() const { return m_attachments; }
    LScribeInbox& Inbox() { return m_inbox; }

    bool HasCurrent() const override { return !m_audioPath.empty(); }
    LSoundSourceRef OpenCurrentAudio() const override;
    int32_t CurrentLengthMs() const override { return m_nAudioMs; }

signals:
    void JobsChanged();
    // Lines a refresh or an action had to say (a file not taken, a lost race).
    void Lines(const QStringList& lines);

private:
    void ForgetAudio();
    void Relisted(std::vector<LScribeJob> jobs, const std::vector<std::string>& lines);
    LInboxSource* SourceOf(const LScribeJob& job) const;
    int IndexOf(const std::string& id) const;

    LScribeInbox m_inbox;
    std::vector<LScribeJob> m_jobs;
    std::string m_currentId;
    std::string m_folder; // the chosen job's private copy
    std::string m_audioPath;
    int32_t m_nAudioMs = 0;
    std::vector<std::string> m_attachments;
};
