#include "platform/Sound.h"

#include <QTest>
#include <QtEndian>

namespace {

QByteArray LittleEndian(quint32 Value, int Bytes)
{
    QByteArray out;
    for (int i = 0; i < Bytes; ++i)
        out += char((Value >> (8 * i)) & 0xFF);
    return out;
}

QByteArray Chunk(const char* Id, const QByteArray& Body)
{
    QByteArray chunk = QByteArray(Id, 4) + LittleEndian(quint32(Body.size()), 4) + Body;
    if (Body.size() % 2)
        chunk += '\0';
    return chunk;
}

QByteArray Format(quint16 Tag, int Channels, int Rate, int Bits, int Align = -1)
{
    const int align = Align >= 0 ? Align : Channels * Bits / 8;
    return LittleEndian(Tag, 2) + LittleEndian(quint32(Channels), 2) +
           LittleEndian(quint32(Rate), 4) + LittleEndian(quint32(Rate * align), 4) +
           LittleEndian(quint32(align), 2) + LittleEndian(quint32(Bits), 2);
}

QByteArray Riff(const QByteArray& Chunks)
{
    return "RIFF" + LittleEndian(quint32(Chunks.size() + 4), 4) + "WAVE" + Chunks;
}

// Mono 8-bit PCM at 8000 samples a second: Samples bytes last Samples / 8 ms.
QByteArray Wave(int Samples)
{
    return Riff(Chunk("fmt ", Format(1, 1, 8000, 8)) +
                Chunk("data", QByteArray(Samples, char(128))));
}

} // namespace

class TestSound : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { TSoundService::Stop(); }
    void parseAcceptsOnlyWholePcmImages_data();
    void parseAcceptsOnlyWholePcmImages();
    void singleSoundEndsLoopGoesOnUntilStopped();
    void playingSoundIsLeftAloneUnlessOthersAreStopped();
};

void TestSound::parseAcceptsOnlyWholePcmImages_data()
{
    QTest::addColumn<QByteArray>("wave");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("samples");

    const QByteArray pcm = Chunk("fmt ", Format(1, 1, 8000, 8));
    const QByteArray data = Chunk("data", QByteArray(100, char(128)));
    QTest::newRow("mono 8-bit") << Riff(pcm + data) << true << 100;
    QTest::newRow("odd chunk before the format, padded")
        << Riff(Chunk("LIST", "abc") + pcm + data) << true << 100;
    QTest::newRow("stereo 16-bit, half a frame left over")
        << Riff(Chunk("fmt ", Format(1, 2, 44100, 16)) + Chunk("data", QByteArray(10, '\0')))
        << true << 8;
    const QByteArray extensible = Format(0xFFFE, 1, 8000, 16) + LittleEndian(22, 2) +
                                  LittleEndian(16, 2) + LittleEndian(4, 4) + LittleEndian(1, 4) +
                                  QByteArray(12, '\0');
    QTest::newRow("extensible PCM") << Riff(Chunk("fmt ", extensible) + data) << true << 100;

    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("not RIFF") << QByteArray("RIFX") + Riff(pcm + data).mid(4) << false << 0;
    QTest::newRow("not WAVE") << Riff(pcm + data).replace("WAVE", "AVI ") << false << 0;
    QTest::newRow("no format") << Riff(data) << false << 0;
    QTest::newRow("no data") << Riff(pcm) << false << 0;
    QTest::newRow("float samples")
        << Riff(Chunk("fmt ", Format(3, 1, 8000, 32)) + data) << false << 0;
    QTest::newRow("24-bit samples")
        << Riff(Chunk("fmt ", Format(1, 1, 8000, 24)) + data) << false << 0;
    QTest::newRow("block size disagrees")
        << Riff(Chunk("fmt ", Format(1, 2, 8000, 16, 2)) + data) << false << 0;
    QTest::newRow("no channels") << Riff(Chunk("fmt ", Format(1, 0, 8000, 8, 1)) + data) << false
                                 << 0;
    QTest::newRow("short format chunk") << Riff(Chunk("fmt ", pcm.mid(8, 12)) + data) << false << 0;
    QTest::newRow("data past the end") << Riff(pcm + data).chopped(10) << false << 0;
    QByteArray huge = Riff(pcm + data);
    huge.replace(huge.indexOf("data") + 4, 4, LittleEndian(0xFFFFFFFFu, 4));
    QTest::newRow("data size near 4 GB") << huge << false << 0;
    QByteArray shortRiff = Riff(pcm + data);
    shortRiff.replace(4, 4, LittleEndian(20, 4));
    QTest::newRow("RIFF size ends inside a chunk") << shortRiff << false << 0;
    QTest::newRow("header only") << QByteArray("RIFF\x04\0\0\0WAVE", 12) << false << 0;
}

void TestSound::parseAcceptsOnlyWholePcmImages()
{
    QFETCH(QByteArray, wave);
    QFETCH(bool, valid);
    QFETCH(int, samples);
    TWaveImage image;
    QCOMPARE(TWaveImage::Parse(wave, image), valid);
    QCOMPARE(image.Samples.size(), samples);
    QCOMPARE(TSoundService::PlayWave(wave, false, true), valid);
}

void TestSound::singleSoundEndsLoopGoesOnUntilStopped()
{
    const QByteArray shortWave = Wave(160); // 20 ms
    const int count = TSoundService::PlayCount();
    QVERIFY(TSoundService::PlayWave(shortWave, false, true));
    QCOMPARE(TSoundService::PlayCount(), count + 1);
    QCOMPARE(TSoundService::LastPlayed(), shortWave);
    QVERIFY(TSoundService::Playing());
    QTRY_VERIFY(!TSoundService::Playing());

    QVERIFY(TSoundService::PlayWave(shortWave, true, true));
    QTest::qWait(200);
    QVERIFY(TSoundService::Playing());
    TSoundService::Stop();
    QVERIFY(!TSoundService::Playing());
    QCOMPARE(TSoundService::CurrentSound(), 0u);
}

void TestSound::playingSoundIsLeftAloneUnlessOthersAreStopped()
{
    const QByteArray first = Wave(8000);
    const QByteArray second = Wave(4000);
    QVERIFY(TSoundService::PlayWave(first, true, true));
    const auto sound = TSoundService::CurrentSound();

    QVERIFY(!TSoundService::PlayWave(second, false, false));
    QCOMPARE(TSoundService::CurrentSound(), sound);
    QCOMPARE(TSoundService::LastPlayed(), first);

    QVERIFY(TSoundService::PlayWave(second, false, true));
    QVERIFY(TSoundService::CurrentSound() != sound);
    QCOMPARE(TSoundService::LastPlayed(), second);
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
