#include "send/LDictationLoadDct.h"

#include "foundation/LProgressReporter.h"

int LDictationLoadDct::Process(LProgressReporter& progress, const std::string&, LDictation&)
{
    progress.ErrorBox("Loading DCT files is not available in this version.");
    return 2;
}
