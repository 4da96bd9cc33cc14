// The upload and download steps of FTP work as progress-run processes: one
// body each that reports to whichever reporter runs it (the send queue's
// status block, a progress dialog, the terminal) and stops on its request.
// Used by the thread that owns the session.
#pragma once

#include "foundation/JobResult.h"

#include <cstdint>
#include <string>

class LFileTransferProtocol;
class LProgressReporter;

// Each returns a JobResult: done, stopped, or failed (no message: the
// caller knows what the file was for).
JobResult ProcessFtpUpload(LProgressReporter& progress, const std::string& remoteName, const std::string& localPath,
    LFileTransferProtocol& session);
// The local file is created (or replaced) only once the server sends the
// file, so a missing remote file leaves it as it was; a transfer that fails
// part-way leaves what arrived, for the caller to delete. nMaxBytes bounds
// what a server may send, uTimeLimitMs how long it may take (0: no limit).
JobResult ProcessFtpDownload(LProgressReporter& progress, const std::string& remoteName, const std::string& localPath,
    LFileTransferProtocol& session, uint64_t nMaxBytes = 0, uint32_t uTimeLimitMs = 0);
