#include "send/LDictationSaveAsWav.h"

#include "foundation/LProgressReporter.h"

int LDictationSaveAsWav::Process(LProgressReporter& progress, const LDictation&, const std::string&, unsigned)
{
    progress.ErrorBox("Saving WAV transfer files is not available in this version.");
    return 2;
}
