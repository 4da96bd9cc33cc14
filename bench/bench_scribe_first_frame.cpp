// How long from choosing a one-hour DCT in the typist's list to its first
// frame reaching the sound device: the real session (the job read into the
// private folder), the shared transport and player, over the tests' scripted
// sound device on the offscreen platform. Goal: under 300 ms.
#include "app/scribe/LScribeSession.h"
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/transport/LTransport.h"
#include "scribe/LFolderInboxSource.h"
#include "tests/support/DctBuilder.h"
#include "tests/support/ScriptedPcmBackend.h"
#include "tests/support/TestSupport.h"
#include "ui/LQtMainLoop.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr int kRate = 11025;
constexpr int kSeconds = 3600;

bool Pump(const std::function<bool()>& done, int nMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > nMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

// A mono 16-bit PCM WAV of a quiet tone, as the dictator's DCT carries it.
std::vector<uint8_t> Wav()
{
    const uint32_t uData = kRate * kSeconds * 2;
    std::vector<uint8_t> b;
    auto put = [&b](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    b.insert(b.end(), { 'R', 'I', 'F', 'F' }), put(36 + uData, 4);
    b.insert(b.end(), { 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ' }), put(16, 4);
    put(1, 2), put(1, 2), put(kRate, 4), put(kRate * 2, 4), put(2, 2), put(16, 2);
    b.insert(b.end(), { 'd', 'a', 't', 'a' }), put(uData, 4);
    b.reserve(b.size() + uData);
    for (uint32_t i = 0; i < uData / 2; ++i)
        put(static_cast<uint16_t>(static_cast<int16_t>(2000 * std::sin(i * 0.25))), 2);
    return b;
}

void FirstFrame(benchmark::State& state)
{
    test::IsolatedEnvironment env;
    test::ScriptedPcmBackend backend;
    backend.Install();
    const std::string inbox = env.Dir().File("inbox");
    std::filesystem::create_directories(inbox);
    test::WriteFileBytes(inbox + "/hour.dct", test::DctBuilder::Plain(0, 7, "One hour", Wav()));

    LQtMainLoop loop;
    for (auto _ : state) {
        state.PauseTiming();
        LScribeInbox scribeInbox;
        scribeInbox.AddSource(std::make_unique<LFolderInboxSource>("office", "typist", inbox));
        LScribeSession session(std::move(scribeInbox));
        session.Refresh();
        LTransport transport(session, loop);
        const size_t uBefore = backend.PlaybackSamples().size();
        state.ResumeTiming();
        std::string why;
        if (!session.Choose(0, &why)) {
            state.SkipWithError(why.c_str());
            break;
        }
        transport.CmPlay();
        if (!Pump([&] { return backend.PlaybackSamples().size() > uBefore; })) {
            state.SkipWithError("nothing played");
            break;
        }
        state.PauseTiming();
        transport.CmStop();
        state.ResumeTiming();
    }
    backend.Uninstall();
}

} // namespace

BENCHMARK(FirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
