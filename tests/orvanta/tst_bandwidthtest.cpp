#include "BandwidthTest.h"

#include <QTest>
#include <QtEndian>

namespace {

qint32 IntAt(const QByteArray& Record, int Offset)
{
    if (Record.size() < Offset + 4)
        return 0;
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | quint8(Record.at(Offset + i));
    return qint32(value);
}

struct TReport
{
    KrWindow Window;
    uint32_t Msg;
    intptr_t State;
    int Percent;
    QByteArray Text;
};

struct TTestFixture
{
    TTestFixture()
        : Test([this](KrWindow Window, uint32_t Msg, intptr_t, intptr_t State) {
                   const QByteArray record = Test.Result();
                   Reports.append({Window, Msg, State, IntAt(record, 304),
                                   QByteArray(record.constData(), qstrnlen(record.constData(), 256))});
                   return true;
               },
               {[this] { return Connected; }, [] { return 62500; }, [] { return 125000; }})
    {
    }
    qint32 Int(int Offset) const { return IntAt(Test.Result(), Offset); }

    bool Connected = true;
    QList<TReport> Reports;
    TBandwidthTest Test;
};

} // namespace

class TestBandwidthTest : public QObject
{
    Q_OBJECT
private slots:
    void measuresAndFinishes();
    void unreachableServerFails();
    void stopEndsWithAFinalMessage();
};

void TestBandwidthTest::measuresAndFinishes()
{
    TTestFixture f;
    QVERIFY(f.Test.Start(0x4242));
    QVERIFY(!f.Test.Start(0x4242)); // one test at a time
    QTRY_VERIFY_WITH_TIMEOUT(!f.Test.IsRunning(), 10000);

    QCOMPARE(f.Reports.size(), TBandwidthTest::Steps + 1);
    int lastPercent = -1;
    for (const TReport& report : f.Reports.mid(0, f.Reports.size() - 1)) {
        QCOMPARE(report.Window, KrWindow(0x4242));
        QCOMPARE(report.Msg, uint32_t(KR_WM_BANDWIDTH_TEST));
        QCOMPARE(report.State, TBandwidthTest::Running);
        QVERIFY(report.Percent > lastPercent);
        lastPercent = report.Percent;
    }
    QCOMPARE(f.Reports.last().State, intptr_t(KR_BWT_DONE));
    QCOMPARE(f.Reports.last().Percent, 100);
    QCOMPARE(f.Int(280), 62500); // out
    QCOMPARE(f.Int(284), 125000); // in
    const quint32 terms = quint32(f.Int(300) - f.Int(292) + f.Int(296) - f.Int(288) + f.Int(256) + f.Int(260));
    QVERIFY(terms > 0 && terms < 200); // a plausible latency
    QVERIFY(f.Test.Start(0x4242)); // and again
}

void TestBandwidthTest::unreachableServerFails()
{
    TTestFixture f;
    f.Connected = false;
    QVERIFY(f.Test.Start(0x4242));
    QTRY_VERIFY_WITH_TIMEOUT(!f.Test.IsRunning(), 10000);
    QCOMPARE(f.Reports.size(), 2);
    QCOMPARE(f.Reports.last().State, intptr_t(KR_BWT_FAILED));
    QVERIFY(f.Reports.last().Text.contains("Unable to connect"));
    QVERIFY(!f.Test.Start(0)); // no window to report to
}

void TestBandwidthTest::stopEndsWithAFinalMessage()
{
    TTestFixture f;
    f.Test.Start(0x4242);
    f.Test.Stop(); // before anything was measured
    QCOMPARE(f.Reports.last().State, intptr_t(KR_BWT_FAILED));
    f.Test.Start(0x4242);
    QTRY_VERIFY_WITH_TIMEOUT(f.Reports.size() >= 4, 10000);
    f.Test.Stop();
    QCOMPARE(f.Reports.last().State, intptr_t(KR_BWT_DONE));
    const qsizetype reports = f.Reports.size();
    QTest::qWait(2 * TBandwidthTest::StepMs);
    QCOMPARE(f.Reports.size(), reports); // nothing after the end
    f.Test.Stop();
    QCOMPARE(f.Reports.size(), reports);
}

QTEST_GUILESS_MAIN(TestBandwidthTest)
#include "tst_bandwidthtest.moc"
