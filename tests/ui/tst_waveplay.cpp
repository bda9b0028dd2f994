#include "platform/Resources.h"
#include "platform/Sound.h"
#include "ui/WavePlay.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

QByteArray LittleEndian(quint32 Value, int Bytes)
{
    QByteArray out;
    for (int i = 0; i < Bytes; ++i)
        out += char((Value >> (8 * i)) & 0xFF);
    return out;
}

// Mono 8-bit PCM at 8000 samples a second, lasting Ms milliseconds.
QByteArray Wave(int Ms)
{
    const QByteArray samples(Ms * 8, char(128));
    const QByteArray format = LittleEndian(1, 2) + LittleEndian(1, 2) + LittleEndian(8000, 4) +
                              LittleEndian(8000, 4) + LittleEndian(1, 2) + LittleEndian(8, 2);
    const QByteArray chunks = "fmt " + LittleEndian(16, 4) + format + "data" +
                              LittleEndian(quint32(samples.size()), 4) + samples;
    return "RIFF" + LittleEndian(quint32(chunks.size() + 4), 4) + "WAVE" + chunks;
}

} // namespace

class TestWavePlay : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { TSoundService::Stop(); }
    void activeFollowsLoopingSounds_data();
    void activeFollowsLoopingSounds();
    void oneSoundAtATimeForAllPlayers();
    void waitToStopWaitsForSingleSoundsOnly();
    void callSoundsAreBuiltIn_data();
    void callSoundsAreBuiltIn();
};

void TestWavePlay::activeFollowsLoopingSounds_data()
{
    QTest::addColumn<QByteArray>("sound");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("plays");
    QTest::newRow("empty sound") << QByteArray() << true << false;
    QTest::newRow("malformed wave") << Wave(1000).left(60) << true << false;
    QTest::newRow("single sound") << Wave(1000) << false << true;
    QTest::newRow("looping sound") << Wave(1000) << true << true;
}

void TestWavePlay::activeFollowsLoopingSounds()
{
    QFETCH(QByteArray, sound);
    QFETCH(bool, loop);
    QFETCH(bool, plays);
    TWavePlayer player;
    player.Sound = sound;
    player.Loop = loop;
    const int count = TSoundService::PlayCount();

    player.SetActive(true);
    QCOMPARE(TSoundService::Playing(), plays);
    QCOMPARE(player.Active(), plays && loop);
    QCOMPARE(TSoundService::PlayCount(), count + int(plays));

    // Still active, a looping sound is left to play; a single one plays again.
    player.SetActive(true);
    QCOMPARE(TSoundService::PlayCount(), count + (plays ? (loop ? 1 : 2) : 0));

    // A single sound is never active, so it plays on to its end.
    player.SetActive(false);
    QCOMPARE(player.Active(), false);
    QCOMPARE(TSoundService::Playing(), plays && !loop);
}

void TestWavePlay::oneSoundAtATimeForAllPlayers()
{
    TWavePlayer ring;
    ring.Sound = Wave(1000);
    ring.Loop = true;
    TWavePlayer echo;
    echo.Sound = Wave(1000);

    ring.SetActive(true);
    echo.Stop();
    QVERIFY(!TSoundService::Playing());
    QVERIFY(!ring.Active());

    ring.SetActive(true);
    QVERIFY(ring.Active());
    echo.SetActive(true);
    QCOMPARE(TSoundService::LastPlayed(), echo.Sound);
    QVERIFY(!ring.Active());
    // Stopping the ring now must not cut off the sound the echo started.
    ring.SetActive(false);
    QVERIFY(TSoundService::Playing());

    {
        TWavePlayer other;
    }
    QVERIFY(!TSoundService::Playing());
}

void TestWavePlay::waitToStopWaitsForSingleSoundsOnly()
{
    TWavePlayer player;
    player.Sound = Wave(100);
    player.WaitToStop = true;
    QElapsedTimer clock;
    clock.start();
    player.SetActive(true);
    QVERIFY(clock.elapsed() >= 90);
    QVERIFY(!TSoundService::Playing());

    player.Loop = true;
    clock.start();
    player.SetActive(true);
    QVERIFY(clock.elapsed() < 90);
    QVERIFY(player.Active());
}

void TestWavePlay::callSoundsAreBuiltIn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("dataSize");
    QTest::newRow("ring-back") << "WAITWAVE" << 20858;
    QTest::newRow("busy") << "BUSYWAVE" << 14339;
    QTest::newRow("ring") << "RINGWAVE" << 18126;
    QTest::newRow("echo") << "ECHOWAVE" << 12570;
}

void TestWavePlay::callSoundsAreBuiltIn()
{
    QFETCH(QString, name);
    QFETCH(int, dataSize);
    TWaveImage image;
    QVERIFY(TWaveImage::Parse(TResources::Read(name), image));
    QCOMPARE(image.Channels, 1);
    QCOMPARE(image.SampleRate, 8000);
    QCOMPARE(image.BitsPerSample, 8);
    QCOMPARE(image.Samples.size(), dataSize);
}

QTEST_MAIN(TestWavePlay)
#include "tst_waveplay.moc"
