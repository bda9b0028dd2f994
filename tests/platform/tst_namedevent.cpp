#include "TestSupport.h"
#include "platform/NamedEvent.h"

#include <QTest>
#include <QThread>

class TestNamedEvent : public QObject
{
    Q_OBJECT
private slots:
    void init() { FRoot = std::make_unique<TTestPlatformRoot>(); }
    void cleanup() { FRoot.reset(); }

    void secondCreateOpensTheExistingEvent();
    void signalIsTakenByOneWait();
    void setWakesAWaiterOnAnotherThread();
    void eventDiesWithItsLastHolder();

private:
    std::unique_ptr<TTestPlatformRoot> FRoot;
};

void TestNamedEvent::secondCreateOpensTheExistingEvent()
{
    bool existed = true;
    auto first = TNamedEvent::Create(QStringLiteral("App_Event"), &existed);
    QVERIFY(first);
    QVERIFY(!existed);
    auto second = TNamedEvent::Create(QStringLiteral("App_Event"), &existed);
    QVERIFY(second);
    QVERIFY(existed);
    auto other = TNamedEvent::Create(QStringLiteral("App_EventDie"), &existed);
    QVERIFY(other);
    QVERIFY(!existed);

    // Names with characters a file name cannot carry are events like others.
    auto odd = TNamedEvent::Create(QStringLiteral("../a/b:c\\d"), &existed);
    QVERIFY(odd);
    QVERIFY(!existed);
    QVERIFY(TNamedEvent::Exists(QStringLiteral("../a/b:c\\d")));
    QVERIFY(!TNamedEvent::Create(QString()));
}

void TestNamedEvent::signalIsTakenByOneWait()
{
    auto event = TNamedEvent::Create(QStringLiteral("E"));
    auto sameEvent = TNamedEvent::Create(QStringLiteral("E"));
    QVERIFY(!event->Wait(0));
    QVERIFY(event->Set());
    QVERIFY(event->Set()); // does not count
    QVERIFY(sameEvent->Wait(1000));
    QVERIFY(!event->Wait(0)); // auto-reset
    QVERIFY(!sameEvent->Wait(50));
}

void TestNamedEvent::setWakesAWaiterOnAnotherThread()
{
    auto event = TNamedEvent::Create(QStringLiteral("E"));
    bool woke = false;
    QThread* waiter = QThread::create([&] { woke = event->Wait(10000); });
    waiter->start();
    QThread::msleep(50);
    event->Set();
    QVERIFY(waiter->wait(10000));
    QVERIFY(woke);
    delete waiter;
}

void TestNamedEvent::eventDiesWithItsLastHolder()
{
    auto first = TNamedEvent::Create(QStringLiteral("E"));
    auto second = TNamedEvent::Create(QStringLiteral("E"));
    first->Set();
    first.reset();
    QVERIFY(TNamedEvent::Exists(QStringLiteral("E"))); // second still holds it
    second.reset();
    QVERIFY(!TNamedEvent::Exists(QStringLiteral("E")));

    bool existed = true;
    auto fresh = TNamedEvent::Create(QStringLiteral("E"), &existed);
    QVERIFY(!existed);
    QVERIFY(!fresh->Wait(0)); // the old signal died with the old event
}

QTEST_GUILESS_MAIN(TestNamedEvent)
#include "tst_namedevent.moc"
