// A 20 MB attachment to the same loopback SMTP server (aiosmtpd, which only
// counts what it gets): the system's own client, which encodes as it sends,
// against curl uploading the same message already encoded. Best wall time of
// five each, in one run, and the ratio (ours / curl; below 1 is faster).
// Usage: bench_smtp [megabytes]   (run from the source tree's root)
#include "foundation/LProgressReporter.h"
#include "send/LEmailSMTP.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

class QuietProgress : public LProgressReporter {
public:
    void SetText(const std::string&, int) override { }
    void ShowProgress(double) override { }
    void ErrorBox(const std::string& szText) override { std::fprintf(stderr, "error: %s\n", szText.c_str()); }
    bool Pump() override { return false; }
    bool WaitTimed(uint32_t) override { return false; }
    int WaitHandle(int, uint32_t) override { return kTimedOut; }
};

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU seconds (user + system) of this process or of its waited-for children.
double CpuSeconds(int who)
{
    rusage u {};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string Run(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char sz[256];
        while (fgets(sz, sizeof sz, p))
            out += sz;
        pclose(p);
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    size_t nMB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    char szDir[] = "/tmp/bench_smtp.XXXXXX";
    if (!mkdtemp(szDir))
        return 1;
    std::string dir = szDir;
    std::string file = dir + "/dictation.dct";
    {
        std::vector<char> data(nMB << 20);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>((i * 2654435761u) >> 13);
        std::ofstream(file, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    // The same message for curl, made by Python's email package.
    Run("/usr/bin/python3 -c 'import sys; from email.message import EmailMessage; m = EmailMessage(); "
        "import email.policy; m[\"From\"] = \"ann@example.org\"; m[\"To\"] = \"typist@example.org\"; m[\"Subject\"] = "
        "\"Dictation\"; "
        "m.set_content(\"File\"); m.add_attachment(open(sys.argv[1], \"rb\").read(), maintype=\"application\", "
        "subtype=\"octet-stream\", filename=\"dictation.dct\"); open(sys.argv[2], "
        "\"wb\").write(m.as_bytes(policy=email.policy.SMTP))' "
        + file + " " + dir + "/message.eml");
    std::string pid = Run("/usr/bin/python3 tests/send/smtp_server.py --parse 0 --out " + dir + " --port-file " + dir
        + "/port >/dev/null 2>&1 & echo $!");
    int nPort = 0;
    for (int i = 0; i < 100 && nPort == 0; ++i, usleep(50000))
        nPort = std::atoi(Run("cat " + dir + "/port 2>/dev/null").c_str());
    if (nPort == 0) {
        std::fprintf(stderr, "the server did not start (python3-aiosmtpd; run from the source tree)\n");
        return 1;
    }

    LEmailRequest request;
    request.recipients = "typist@example.org";
    request.sender = "ann@example.org";
    request.subject = "Dictation";
    request.body = "File";
    request.attachments = { file };
    request.hostSetting = "127.0.0.1";
    request.nPort = nPort;
    std::string curl = "curl -s --url smtp://127.0.0.1:" + std::to_string(nPort)
        + " --mail-from ann@example.org --mail-rcpt typist@example.org --upload-file " + dir + "/message.eml";
    double fOurs = 1e9, fCurl = 1e9, fOursCpu = 1e9, fCurlCpu = 1e9;
    for (int i = 0; i < 5; ++i) {
        QuietProgress progress;
        double fCpu = CpuSeconds(RUSAGE_SELF);
        auto start = std::chrono::steady_clock::now();
        if (EmailSMTPSendProcess(progress, request) != JobResult::kDone) {
            std::fprintf(stderr, "our client failed\n");
            return 1;
        }
        fOurs = std::min(fOurs, Seconds(start));
        fOursCpu = std::min(fOursCpu, CpuSeconds(RUSAGE_SELF) - fCpu);
        fCpu = CpuSeconds(RUSAGE_CHILDREN);
        start = std::chrono::steady_clock::now();
        if (system(curl.c_str()) != 0) {
            std::fprintf(stderr, "curl failed: %s\n", curl.c_str());
            return 1;
        }
        fCurl = std::min(fCurl, Seconds(start));
        fCurlCpu = std::min(fCurlCpu, CpuSeconds(RUSAGE_CHILDREN) - fCpu);
    }
    kill(std::atoi(pid.c_str()), SIGTERM);
    Run("rm -rf " + dir);
    std::printf("%zu MB attachment: tavrine %.3f s   curl %.3f s   ratio %.2f   (best wall time of 5)\n", nMB, fOurs,
        fCurl, fOurs / fCurl);
    std::printf(
        "client CPU:         tavrine %.3f s   curl %.3f s   ratio %.2f   (base64 encoding included for tavrine)\n",
        fOursCpu, fCurlCpu, fOursCpu / fCurlCpu);
    return 0;
}
