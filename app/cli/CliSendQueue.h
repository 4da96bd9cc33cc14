// What the send and queue commands of tavrine-cli share: the listing line of
// one job, and working the queue in this process. Main thread only.
#pragma once

#include "send/SendJobItem.h"

#include <string>
#include <vector>

// "send\tNUMBER\tRECIPIENT\tNAME" or "notice\tUSER-NUMBER\t...", with its newline.
std::string CliJobLine(const SendJobItem& item, const std::string& sendFolder);

// "queue work": 0 when every job was delivered, 1 when one failed or the run
// was stopped, 3 when another process works the queue.
int RunQueueWork(const std::vector<std::string>& args);
