#include "scribe/LInboxSourceFactory.h"

#include "scribe/LFolderInboxSource.h"

std::unique_ptr<LInboxSource> MakeInboxSource(
    const LScribeSourceConfig& config, const std::string& typist, std::string* pWhy)
{
    if (config.IsFolder())
        return std::make_unique<LFolderInboxSource>(config.name, typist, config.Get("Folder"));
    if (config.IsFtp()) {
        *pWhy = "source " + config.name + ": FTP sources are not available yet";
        return nullptr;
    }
    *pWhy = "source " + config.name + " names neither a Folder nor an FtpServer";
    return nullptr;
}
