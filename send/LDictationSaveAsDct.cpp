#include "send/LDictationSaveAsDct.h"

#include "foundation/LProgressReporter.h"

int LDictationSaveAsDct::Process(LProgressReporter& progress, const LDictation&, const std::string&, unsigned)
{
    progress.ErrorBox("Saving DCT files is not available in this version.");
    return 2;
}

bool LDictationSaveAsDct::WriteCancelNotice(const std::string&, uint32_t, uint32_t)
{
    return false;
}
