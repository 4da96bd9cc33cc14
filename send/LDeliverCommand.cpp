#include "send/LDelivery.h"

#include "foundation/LProgressReporter.h"

int DeliverByCommand(const LDeliveryRequest&, LProgressReporter& progress, std::string*)
{
    progress.ErrorBox("Sending by run command is not available in this version.");
    return 2;
}
