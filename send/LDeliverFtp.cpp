#include "send/LDelivery.h"

#include "foundation/LProgressReporter.h"

int DeliverByFtp(const LDeliveryRequest&, LProgressReporter& progress, std::string*)
{
    progress.ErrorBox("Sending by FTP is not available in this version.");
    return 2;
}
