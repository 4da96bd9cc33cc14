#include "scribe/LInboxSourceFactory.h"

#include "scribe/LFolderInboxSource.h"
#include "scribe/LFtpInboxSource.h"
#include "scribe/LImapMailboxSource.h"
#include "scribe/LImapPoolSource.h"

std::unique_ptr<LInboxSource> MakeInboxSource(
    const LScribeSourceConfig& config, const std::string& typist, std::string* pWhy)
{
    if (config.IsFolder())
        return std::make_unique<LFolderInboxSource>(config.name, typist, config.Get("Folder"));
    if (config.IsFtp())
        return std::make_unique<LFtpInboxSource>(config.name, typist, config);
    if (config.IsImapPool()) {
        if (config.Get("ImapFolder").empty()) {
            *pWhy = "source " + config.name + " is a pool without its ImapFolder";
            return nullptr;
        }
        return std::make_unique<LImapPoolSource>(config.name, typist, config);
    }
    if (config.IsImap())
        return std::make_unique<LImapMailboxSource>(config.name, typist, config);
    *pWhy = "source " + config.name + " names neither a Folder, an FtpServer nor an ImapServer";
    return nullptr;
}
