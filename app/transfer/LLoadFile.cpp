#include "app/transfer/LLoadFile.h"

#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationKeys.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "import/LDictationLoadSource.h"
#include "import/LGenSourceOpen.h"
#include "send/LDictationLoadDct.h"

namespace {

bool EndsWithNoCase(const std::string& text, std::string_view end)
{
    return text.size() >= end.size() && EqualsNoCase(std::string_view(text).substr(text.size() - end.size()), end);
}

} // namespace

JobResult LoadFileAsNew(LImportHost& host, bool& bAskUser, const std::string& path, const std::string& folder,
    uint32_t* pNumber, bool* pbRefused)
{
    bool bRefusedUnused = false;
    bool& bRefused = pbRefused ? *pbRefused : bRefusedUnused;
    bRefused = false;
    if (EndsWithNoCase(path, ".dct")) {
        const JobResult nDct = host.RunProgress("Loading Dictation",
            [&](LProgressReporter& p) { return LDictationLoadDct::LoadAsNew(p, path, folder, pNumber); });
        // Almost always a corrupt or foreign file; a folder that refuses the
        // new dictation is counted with them.
        bRefused = nDct == JobResult::kFailed;
        return nDct;
    }
    LSoundSourceRef source;
    JobResult nResult = LGenSourceOpen(source, path, bAskUser, host);
    if (nResult != JobResult::kDone) {
        bRefused = nResult == JobResult::kFailed;
        return nResult;
    }
    LDictation dictation(folder, GetFileTitle(path));
    if (!dictation.IsValid()) {
        host.ShowError(tplprintf("Unable to create a new dictation in \"%s\".", folder));
        return JobResult::kFailed;
    }
    nResult = host.RunProgress(
        "Loading file", [&](LProgressReporter& p) { return LDictationLoadSource::Process(p, source, dictation); });
    if (nResult != JobResult::kDone) {
        dictation.Delete();
        if (nResult == JobResult::kFailed)
            host.ShowError(
                tplprintf("Cannot load the file \"%s\": its audio could not be written into a dictation in \"%s\".",
                    path, folder));
        return nResult;
    }
    *pNumber = dictation.GetFileNumber();
    return JobResult::kDone;
}

std::optional<uint8_t> DefaultRecipient()
{
    using Engine = LDictationEngineSettings;
    const int nDefault = DictationKeys::kSendDefault.Get();
    if (nDefault >= 0 && nDefault < static_cast<int>(Engine::kSendToCount)
        && Engine::IsSendToUsed(static_cast<uint8_t>(nDefault)))
        return static_cast<uint8_t>(nDefault);
    Engine::SendToIterator it;
    if (!it.IsValid())
        return std::nullopt;
    DictationKeys::kSendDefault.Set(it.GetSendTo());
    return it.GetSendTo();
}
