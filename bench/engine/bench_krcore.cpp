// How fast the engine component turns engine messages into events, and reads
// a large user list.
#include "OrvantaFake.h"
#include "engine/KrClient.h"
#include "platform/Messages.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

constexpr quint32 Online = KR_STATUS_CONNECTED | KR_STATUS_LOGGED_IN;

// A component on the fake engine, logged in (mode 2).
struct TLoggedIn
{
    TLoggedIn()
    {
        TOrvantaFake::Reset();
        Core.SetMessageObject(&Window);
        Core.Initialize(QString(), QString(), QString(), QString());
        TOrvantaFake::SetResult("KrGetMyName", 0x11);
        TMessage login{KR_WM_STATUS, Online, 0, 0};
        Core.HandleEngineMessage(login);
        Core.OnWarning = [this](TKrCore*, int) { ++Warnings; };
        Core.OnListArrival = [this](TKrCore*, int, const QStringList& List) { Users = List.size(); };
    }
    TMessageTarget Window{[this](TMessage& Message) { Core.HandleEngineMessage(Message); }};
    TKrCore Core;
    qint64 Warnings = 0;
    qsizetype Users = 0;
};

// Status words the way a session produces them: mostly unchanged status with
// an event code, now and then a server notice.
void BM_HandleEngineMessage(benchmark::State& State)
{
    TLoggedIn session;
    const quint32 words[] = {Online | 0x130, Online | 1280, Online, Online | 0x123};
    size_t i = 0;
    for (auto _ : State) {
        TMessage message{KR_WM_STATUS, WPARAM(words[i++ & 3]), 0, 0};
        session.Core.HandleEngineMessage(message);
    }
    benchmark::DoNotOptimize(session.Warnings);
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_HandleEngineMessage);

// The same, posted to the window and delivered through the event queue.
void BM_PostedEngineMessage(benchmark::State& State)
{
    TLoggedIn session;
    for (auto _ : State) {
        PostMessage(session.Window.Handle(), KR_WM_STATUS, Online | 1280, 0);
        QCoreApplication::sendPostedEvents();
    }
    benchmark::DoNotOptimize(session.Warnings);
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_PostedEngineMessage);

// An address book of State.range(0) users arriving (event code 1552).
void BM_ReadUserList(benchmark::State& State)
{
    TLoggedIn session;
    QList<TFakeUser> users;
    for (int i = 0; i < State.range(0); ++i)
        users.append({"user" + QByteArray::number(i) + "@demo", "Display N\xc3\xa4me " + QByteArray::number(i),
                      i % 7 == 0 ? QByteArray("team") : QByteArray(), i % 6, QByteArray()});
    TOrvantaFake::SetUsers(users, 1);
    for (auto _ : State) {
        TMessage message{KR_WM_STATUS, Online | 1552, 0, 0};
        session.Core.HandleEngineMessage(message);
    }
    if (session.Users != 5 * State.range(0))
        State.SkipWithError("the list did not arrive whole");
    State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_ReadUserList)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
