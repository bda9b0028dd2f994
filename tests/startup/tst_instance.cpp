#include "TestSupport.h"
#include "platform/NamedEvent.h"
#include "startup/KrInstance.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <csignal>

namespace {

const QString AppName = QStringLiteral("Mirelto_1_0_6");
const QString RequestEvent = AppName + QStringLiteral("_Event");

// A real start of the program, offscreen, with the test's platform folder.
class TProgram
{
public:
    TProgram()
    {
        FProcess.setProgram(QStringLiteral(TAVRILO_PATH));
        FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        FProcess.start();
    }
    ~TProgram()
    {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished();
        }
    }
    QProcess& Process() { return FProcess; }

    bool WaitEnded(int TimeoutMs)
    {
        // Keep the test's own event loop running: its instance guard must
        // answer while the program waits for it.
        QElapsedTimer timer;
        timer.start();
        while (FProcess.state() != QProcess::NotRunning && timer.elapsed() < TimeoutMs)
            QTest::qWait(20);
        return FProcess.state() == QProcess::NotRunning;
    }

private:
    QProcess FProcess;
};

} // namespace

class TestInstance : public QObject
{
    Q_OBJECT
private slots:
    void init() { FRoot = std::make_unique<TTestPlatformRoot>(); }
    void cleanup() { FRoot.reset(); }

    void emptyNameNeverRuns();
    void secondStartBringsTheFirstForwardAndEnds();
    void secondStartGoesOnWhenTheFirstEndsInTime();
    void activateOldModeEndsAtOnce();
    void killedFirstInstanceDoesNotBlockTheNext();

private:
    std::unique_ptr<TTestPlatformRoot> FRoot;
};

void TestInstance::emptyNameNeverRuns()
{
    TKrInstance instance;
    QVERIFY(!instance.CheckInstance());
}

void TestInstance::secondStartBringsTheFirstForwardAndEnds()
{
    TProgram first;
    QTRY_VERIFY_WITH_TIMEOUT(TNamedEvent::Exists(RequestEvent), 20000);

    TProgram second;
    QVERIFY(second.WaitEnded(20000));
    QCOMPARE(second.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.Process().exitCode(), 0);
    QCOMPARE(first.Process().state(), QProcess::Running);
}

void TestInstance::secondStartGoesOnWhenTheFirstEndsInTime()
{
    // This process is the first instance; the program is the second start.
    auto first = std::make_unique<TKrInstance>();
    first->ApplicationName = AppName;
    int notified = 0;
    first->OnNotify = [&] { ++notified; };
    QVERIFY(first->CheckInstance());

    TProgram second;
    QTRY_COMPARE_WITH_TIMEOUT(notified, 1, 20000); // asked to come forward

    // Ending now releases the waiting start, which then runs as the instance.
    first.reset();
    QTest::qWait(TKrInstance::ExitWaitMs + 1000);
    QCOMPARE(second.Process().state(), QProcess::Running);
    QVERIFY(TNamedEvent::Exists(RequestEvent));
}

void TestInstance::activateOldModeEndsAtOnce()
{
    TProgram first;
    QTRY_VERIFY_WITH_TIMEOUT(TNamedEvent::Exists(RequestEvent), 20000);

    TKrInstance second;
    second.ApplicationName = AppName;
    second.Mode = imActivateOld;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!second.CheckInstance());
    QVERIFY(timer.elapsed() < TKrInstance::ExitWaitMs); // did not wait for the first to end
    QCOMPARE(first.Process().state(), QProcess::Running);
}

void TestInstance::killedFirstInstanceDoesNotBlockTheNext()
{
    {
        TProgram first;
        QTRY_VERIFY_WITH_TIMEOUT(TNamedEvent::Exists(RequestEvent), 20000);
        ::kill(pid_t(first.Process().processId()), SIGKILL);
        QVERIFY(first.WaitEnded(10000));
    }
    QVERIFY(!TNamedEvent::Exists(RequestEvent));

    TProgram next;
    QTRY_VERIFY_WITH_TIMEOUT(TNamedEvent::Exists(RequestEvent), 20000);
    QTest::qWait(500);
    QCOMPARE(next.Process().state(), QProcess::Running);
}

QTEST_MAIN(TestInstance)
#include "tst_instance.moc"
