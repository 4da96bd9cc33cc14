#include "sound/files/LGSMFileSink.h"

LGSMFileSink::LGSMFileSink(const std::string& path)
    : LGSMSinkBase(path, kSampleRate, LGSMFrame::kFrameBytes, LGSMFrame::kSamples)
{
    Start();
}

LGSMFileSink::~LGSMFileSink()
{
    Finish();
}
