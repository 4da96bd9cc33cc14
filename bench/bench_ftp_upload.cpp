// One upload through the delivery's own FTP code, timed, for
// bench/ftp_vs_curl.sh: bench_ftp_upload SERVER USER PASSWORD FILE REMOTE-NAME.
// Plain text is allowed (the script's loopback server may run without TLS).
#include "foundation/LProgressReporter.h"
#include "platform/LFileTransferProtocol.h"
#include "send/LFtpTransfer.h"

#include <chrono>
#include <cstdio>

namespace {

class Quiet : public LProgressReporter {
public:
    void SetText(const std::string&, int) override { }
    void ShowProgress(double) override { }
    void ErrorBox(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    bool Pump() override { return false; }
    bool WaitTimed(uint32_t) override { return false; }
    int WaitHandle(int, uint32_t) override { return kTimedOut; }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s SERVER USER PASSWORD FILE REMOTE-NAME\n", argv[0]);
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    LFileTransferProtocol ftp;
    ftp.SetAllowPlain(true);
    if (!ftp.LogOnServer(argv[1], argv[2], argv[3])) {
        std::fprintf(stderr, "log-on failed: %s\n", ftp.GetLastErrorText().c_str());
        return 1;
    }
    Quiet progress;
    const JobResult nResult = ProcessFtpUpload(progress, argv[5], argv[4], ftp);
    ftp.Disconnect();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (nResult != JobResult::kDone) {
        std::fprintf(stderr, "upload failed: %s\n", ftp.GetLastErrorText().c_str());
        return 1;
    }
    std::printf("%.3f\n", seconds);
    return 0;
}
