// How fast the engine renders its test-pattern camera into a 320 x 240
// panel: the cost of one paint, and a real run at 30 frames per second.
#include "orvanta.h"
#include "platform/Messages.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <ctime>
#include <vector>

namespace {

constexpr int Width = 320;
constexpr int Height = 240;

// An engine instance sending the test pattern into a panel window that
// paints whenever the engine announces a new frame.
struct TSender
{
    TSender()
        : Panel([this](TMessage& Message) {
              if (Message.Msg == KR_WM_RENDER_FRAME) {
                  Paint();
                  ++Frames;
              }
          }),
          Pixels(size_t(Width) * Height * 4), Target{Pixels.data(), Width, Height, Width * 4}
    {
        qputenv("KR_PLATFORM_ROOT", Root.path().toLocal8Bit());
        Engine = KrInitialize(nullptr, 0, "Orvanta\\TavriloBench");
        KrSetVideoCapture(Engine, "Test Pattern Camera");
        KrVariant fps{};
        fps.Type = KrVtByte;
        fps.Value.Byte = 30;
        KrProcess(Engine, KR_OP_SET, "Sender\\VideoCapture\\CameraFPS", &fps);
        KrStartSender(Engine, nullptr, "Test Pattern Camera", Panel.Handle(), &Proc, &Instance,
                      Width, Height, 8000);
    }
    ~TSender()
    {
        KrStopSender(Engine);
        KrRelease(Engine);
    }
    void Paint()
    {
        const intptr_t previous = SetWindowUserData(Panel.Handle(), Instance);
        Proc(Panel.Handle(), KR_RENDER_PAINT, 0, reinterpret_cast<intptr_t>(&Target));
        SetWindowUserData(Panel.Handle(), previous);
    }

    QTemporaryDir Root;
    TMessageTarget Panel;
    std::vector<uint8_t> Pixels;
    KrPaintTarget Target;
    KrInstance Engine = 0;
    KrRenderProc Proc = nullptr;
    intptr_t Instance = 0;
    int Frames = 0;
};

// Runs the event loop (sleeping while there is nothing to do) for Ms.
void RunEventLoop(int Ms)
{
    QEventLoop loop;
    QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_PaintTestPattern320x240(benchmark::State& State)
{
    TSender sender;
    RunEventLoop(1000);
    if (!sender.Proc || sender.Frames == 0) {
        State.SkipWithError("the sender delivered no frame");
        return;
    }
    for (auto _ : State) {
        sender.Paint();
        benchmark::DoNotOptimize(sender.Pixels.data());
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_PaintTestPattern320x240);

// Three seconds of the camera at 30 fps rendered as the panel would: the
// frames that arrived per second and the process's CPU time per frame
// (capture, announcement and paint together).
void BM_TestPatternAt30Fps(benchmark::State& State)
{
    for (auto _ : State) {
        TSender sender;
        const std::clock_t cpuStart = std::clock();
        QElapsedTimer run;
        run.start();
        RunEventLoop(3000);
        const double seconds = run.elapsed() / 1000.0;
        const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        State.counters["fps"] = sender.Frames / seconds;
        State.counters["cpu_ms_per_frame"] = sender.Frames ? cpuMs / sender.Frames : 0.0;
    }
}
BENCHMARK(BM_TestPatternAt30Fps)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
