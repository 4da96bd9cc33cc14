// An inbox source over an FTP directory, the one a dictator's FTP recipient
// uploads into, with the recipient's server settings and TLS rules. Claims
// are RNFR/RNTO into "Claimed/<typist>/" on the server, so typists sharing
// the directory see one another's claims at once. Each call logs on and off
// again: nothing is held open between polls. One thread at a time.
#pragma once

#include "scribe/LInboxSource.h"
#include "scribe/LScribeSettings.h"

#include <string>

class LFileTransferProtocol;

class LFtpInboxSource : public LInboxSource {
public:
    LFtpInboxSource(std::string name, std::string typist, const LScribeSourceConfig& config);

    // How often the window lists this source again ("PollSeconds", at least 5).
    unsigned GetPollSeconds() const { return m_uPollSeconds; }

    bool ListJobs(const LScribeKeys& keys, bool bAll, std::vector<LScribeJob>* pJobs,
        std::vector<std::string>* pProblems) override;
    bool FindJob(const std::string& fileName, const LScribeKeys& keys, LScribeJob* pJob) override;
    LClaimResult Claim(LScribeJob& job, std::string* pWhy) override;
    bool WriteStatus(const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy) override;
    bool MarkDone(LScribeJob& job, std::string* pWhy) override;
    void HandleCancels(std::vector<std::string>* pLines) override;
    void ExpireDone(unsigned nDays, uint32_t tNow, std::vector<std::string>* pLines) override;
    bool FetchLocal(const LScribeJob& job, std::string* pPath, bool* pTemporary, std::string* pWhy) override;

    // The folder of a job's state, relative to the source's directory ("" for waiting).
    std::string AreaOf(LScribeJobState state) const;

private:
    bool LogOn(LFileTransferProtocol& ftp, const std::string& area, std::string* pWhy) const;
    // The directory of an area as the server takes it.
    std::string DirectoryOf(const std::string& area) const;
    bool WriteStatusOn(
        LFileTransferProtocol& ftp, const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy);
    // Scribe's own folder for copies of this source's jobs (0700); empty when none can be had.
    std::string CacheFolder() const;
    // Downloads a file of the current directory into a new private file.
    bool Download(LFileTransferProtocol& ftp, const std::string& name, uint64_t nMaxBytes, std::string* pPath,
        std::string* pWhy) const;

    std::string m_server;
    std::string m_userName;
    std::string m_password;
    std::string m_directory;
    bool m_bAllowPlain = false;
    unsigned m_uPollSeconds = LScribeSettings::kDefaultPollSeconds;
};
