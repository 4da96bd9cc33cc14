// What the send and queue commands of tavrine-cli share: the listing line of
// one job, and working the queue in this process. Main thread only.
#pragma once

#include "send/SendJobItem.h"

#include <string>
#include <vector>

class LProcessListThread;

// "send\tNUMBER\tRECIPIENT\tNAME" or "notice\tUSER-NUMBER\t...", with its newline.
std::string CliJobLine(const SendJobItem& item, const std::string& sendFolder);

// Takes the Send folder's queue file for a command that only adds or removes
// jobs, and prints what taking it reported (a file that could not be read is
// removed, and the dictations that waited in it go back to Current).
void CliOpenQueue(LProcessListThread& queue, const std::string& sentFolder);

// "queue work": 0 when every job was delivered, 1 when one failed or the run
// was stopped, 3 when another process works the queue.
int RunQueueWork(const std::vector<std::string>& args);
