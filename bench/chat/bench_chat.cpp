// What adding a chat line costs as the conversation grows, and what a full
// redraw of the transcript costs for comparison (size or colour changes).
#include "chat/chat.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

// A shown chat window holding Lines received lines.
struct TChat
{
    explicit TChat(int Lines)
    {
        Form.show();
        for (int i = 0; i < Lines; ++i)
            Receive(i);
        QCoreApplication::processEvents();
    }
    void Receive(int Number)
    {
        Form.ReceiveMessage(nullptr, Number % 7 == 0,
                            QStringLiteral("line %1 of the conversation").arg(Number),
                            QStringLiteral("Bob"));
    }
    TChatForm Form;
};

// One line received and painted. The count of iterations is fixed so the
// conversation stays near its starting length.
void BM_ReceiveLine(benchmark::State& State)
{
    TChat chat(int(State.range(0)));
    int number = 0;
    for (auto _ : State) {
        chat.Receive(number++);
        QCoreApplication::processEvents();
    }
    State.counters["lines"] = double(State.range(0));
}
BENCHMARK(BM_ReceiveLine)->Arg(10)->Arg(10000)->Iterations(300)->Unit(benchmark::kMicrosecond);

// The whole transcript drawn again, as a colour change does.
void BM_RedrawTranscript(benchmark::State& State)
{
    TChat chat(int(State.range(0)));
    for (auto _ : State) {
        chat.Form.ApplyColor();
        QCoreApplication::processEvents();
    }
    State.counters["lines"] = double(State.range(0));
}
BENCHMARK(BM_RedrawTranscript)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
