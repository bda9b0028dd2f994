#include "platform/Messages.h"

#include <QCoreApplication>
#include <QList>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

class TestMessages : public QObject
{
    Q_OBJECT
private slots:
    void postedFromManyThreadsArriveOnTheTargetThreadInOrder();
    void sendRunsTheHandlerBeforeReturning();
    void messagesToAGoneTargetAreDropped();
    void userDataLivesWithItsWindow();
};

void TestMessages::postedFromManyThreadsArriveOnTheTargetThreadInOrder()
{
    struct TReceived
    {
        int Sender;
        int Sequence;
        bool OnMainThread;
    };
    QList<TReceived> received;
    TMessageTarget target([&](TMessage& m) {
        received.append({int(m.WParam), int(m.LParam), QThread::currentThread() == qApp->thread()});
    });

    constexpr int Senders = 4;
    constexpr int PerSender = 500;
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int s = 0; s < Senders; ++s)
        threads.emplace_back([&, s] {
            for (int i = 0; i < PerSender; ++i)
                if (!PostMessage(target.Handle(), WM_USER + 16, s, i))
                    ++refused;
        });
    for (auto& thread : threads)
        thread.join();

    QCOMPARE(refused.load(), 0);
    QVERIFY(received.isEmpty()); // nothing runs on the posting threads
    QTRY_COMPARE(received.size(), Senders * PerSender);
    QList<int> next(Senders, 0);
    for (const TReceived& r : received) {
        QVERIFY(r.OnMainThread);
        QCOMPARE(r.Sequence, next[r.Sender]++);
    }
}

void TestMessages::sendRunsTheHandlerBeforeReturning()
{
    TMessageTarget target([](TMessage& m) { m.Result = m.WParam + m.LParam; });

    QCOMPARE(SendMessage(target.Handle(), WM_USER, 2, 3), LRESULT(5));

    // From another thread: the handler runs on the target's thread while
    // the sender waits, and its result comes back.
    LRESULT fromThread = 0;
    QThread* worker = QThread::create(
        [&] { fromThread = SendMessage(target.Handle(), WM_USER, 40, 2); });
    worker->start();
    QTRY_VERIFY(worker->isFinished());
    QCOMPARE(fromThread, LRESULT(42));
    delete worker;
}

void TestMessages::messagesToAGoneTargetAreDropped()
{
    int handled = 0;
    auto* target = new TMessageTarget([&](TMessage&) { ++handled; });
    const HWND handle = target->Handle();
    QVERIFY(PostMessage(handle, WM_USER, 0, 0)); // queued, then the target goes
    delete target;

    QVERIFY(!IsWindow(handle));
    QVERIFY(!PostMessage(handle, WM_USER, 0, 0));
    QCOMPARE(SendMessage(handle, WM_USER, 0, 0), LRESULT(0));
    QCoreApplication::processEvents();
    QCOMPARE(handled, 0);

    // A handle is never given out again.
    TMessageTarget other([](TMessage&) {});
    QVERIFY(other.Handle() != handle);
}

void TestMessages::userDataLivesWithItsWindow()
{
    auto* first = new TMessageTarget([](TMessage&) {});
    TMessageTarget second([](TMessage&) {});
    const HWND handle = first->Handle();

    QCOMPARE(GetWindowUserData(handle), std::intptr_t(0));
    QCOMPARE(SetWindowUserData(handle, 42), std::intptr_t(0));
    QCOMPARE(SetWindowUserData(handle, -7), std::intptr_t(42));
    QCOMPARE(GetWindowUserData(handle), std::intptr_t(-7));
    QCOMPARE(GetWindowUserData(second.Handle()), std::intptr_t(0)); // each window its own

    // Set from another thread, read here.
    std::thread([&] { SetWindowUserData(second.Handle(), 9); }).join();
    QCOMPARE(GetWindowUserData(second.Handle()), std::intptr_t(9));

    delete first;
    QCOMPARE(GetWindowUserData(handle), std::intptr_t(0));
    QCOMPARE(SetWindowUserData(handle, 5), std::intptr_t(0));
    QCOMPARE(GetWindowUserData(handle), std::intptr_t(0));
    QCOMPARE(SetWindowUserData(0, 5), std::intptr_t(0));
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
