#include "send/LDelivery.h"

#include "foundation/LProgressReporter.h"

int DeliverToFolder(const LDeliveryRequest&, LProgressReporter& progress, std::string*)
{
    progress.ErrorBox("Sending by folder is not available in this version.");
    return 2;
}
