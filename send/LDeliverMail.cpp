#include "send/LDelivery.h"

#include "foundation/LProgressReporter.h"

int DeliverByMail(const LDeliveryRequest&, LProgressReporter& progress, std::string*)
{
    progress.ErrorBox("Sending by e-mail is not available in this version.");
    return 2;
}
