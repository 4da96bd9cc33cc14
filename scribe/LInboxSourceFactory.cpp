#include "scribe/LInboxSourceFactory.h"

#include "scribe/LFolderInboxSource.h"
#include "scribe/LFtpInboxSource.h"

std::unique_ptr<LInboxSource> MakeInboxSource(
    const LScribeSourceConfig& config, const std::string& typist, std::string* pWhy)
{
    if (config.IsFolder())
        return std::make_unique<LFolderInboxSource>(config.name, typist, config.Get("Folder"));
    if (config.IsFtp())
        return std::make_unique<LFtpInboxSource>(config.name, typist, config);
    *pWhy = "source " + config.name + " names neither a Folder nor an FtpServer";
    return nullptr;
}
