#include "platform/Sound.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <cstring>
#include <memory>

namespace {

constexpr quint16 PcmTag = 1;
constexpr quint16 ExtensibleTag = 0xFFFE;

quint16 Word(const char* At)
{
    return qFromLittleEndian<quint16>(At);
}

quint32 DoubleWord(const char* At)
{
    return qFromLittleEndian<quint32>(At);
}

bool ReadFormat(const char* Body, quint32 Size, TWaveImage& Image, int& BlockAlign)
{
    if (Size < 16)
        return false;
    const quint16 tag = Word(Body);
    // The extensible layout names its sample kind by a GUID whose first field is the tag.
    if (tag == ExtensibleTag) {
        if (Size < 40 || DoubleWord(Body + 24) != PcmTag)
            return false;
    } else if (tag != PcmTag) {
        return false;
    }
    const quint32 rate = DoubleWord(Body + 4);
    Image.Channels = Word(Body + 2);
    Image.SampleRate = rate > 384000 ? 0 : int(rate);
    BlockAlign = Word(Body + 12);
    Image.BitsPerSample = Word(Body + 14);
    return true;
}

QAudioFormat::SampleFormat SampleFormat(int BitsPerSample)
{
    switch (BitsPerSample) {
    case 8:
        return QAudioFormat::UInt8;
    case 16:
        return QAudioFormat::Int16;
    case 32:
        return QAudioFormat::Int32;
    default:
        return QAudioFormat::Unknown;
    }
}

// Test hooks, kept apart from the player so they outlive it.
QByteArray LastPlayedWave;
int PlayedCount = 0;

class TSoundPlayer : public QObject
{
public:
    TSoundPlayer()
    {
        FSilence.setSingleShot(true);
        connect(&FSilence, &QTimer::timeout, this, [this] { FCurrent = 0; });
    }
    ~TSoundPlayer() override { Stop(); }

    void Play(const TWaveImage& Image, bool Loop)
    {
        Stop();
        FCurrent = FNext++;
        FLoop = Loop;
        FSamples = Image.Samples;
        FDurationMs = Image.DurationMs();
        if (FSamples.isEmpty()) {
            FCurrent = 0; // nothing to hear, so nothing is playing
            return;
        }
        QAudioFormat format;
        format.setSampleRate(Image.SampleRate);
        format.setChannelCount(Image.Channels);
        format.setSampleFormat(SampleFormat(Image.BitsPerSample));
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (!device.isNull() && device.isFormatSupported(format)) {
            FBuffer.setData(FSamples);
            FBuffer.open(QIODevice::ReadOnly);
            FSink = std::make_unique<QAudioSink>(device, format);
            const std::uint64_t sound = FCurrent;
            connect(FSink.get(), &QAudioSink::stateChanged, this,
                    [this, sound](QAudio::State State) { SinkStateChanged(sound, State); });
            FSink->start(&FBuffer);
            if (FSink->error() != QAudio::NoError)
                DropSink();
        }
        if (!FSink)
            StartSilence();
    }

    void Stop()
    {
        FSilence.stop();
        DropSink();
        FCurrent = 0;
    }

    std::uint64_t Current() const { return FCurrent; }

private:
    void StartSilence()
    {
        // A looping sound goes on until stopped; a single one ends after its length.
        if (!FLoop)
            FSilence.start(int(qBound(qint64(1), FDurationMs, qint64(24 * 3600 * 1000))));
    }

    void DropSink()
    {
        if (FSink) {
            FSink->disconnect(this);
            FSink->stop();
            FSink.reset();
        }
        FBuffer.close();
    }

    void SinkStateChanged(std::uint64_t Sound, QAudio::State State)
    {
        if (Sound != FCurrent || !FSink)
            return;
        const bool drained = State == QAudio::IdleState;
        const bool failed = State == QAudio::StoppedState && FSink->error() != QAudio::NoError;
        if (!drained && !failed)
            return;
        // Never inside the sink's own signal: restarting or freeing it waits a turn.
        QTimer::singleShot(0, this, [this, Sound, failed] {
            if (Sound != FCurrent || !FSink)
                return;
            if (failed) {
                // The device went away: the rest is silent, as without one.
                DropSink();
                StartSilence();
            } else if (FLoop) {
                FBuffer.seek(0);
                FSink->start(&FBuffer);
            } else {
                Stop();
            }
        });
    }

    std::unique_ptr<QAudioSink> FSink;
    QBuffer FBuffer;
    QByteArray FSamples;
    QTimer FSilence;
    qint64 FDurationMs = 0;
    bool FLoop = false;
    std::uint64_t FCurrent = 0;
    std::uint64_t FNext = 1;
};

// The one player, on the application's thread; none without an application
// or when asked from another thread. It goes before the application does,
// while the audio system is still there.
TSoundPlayer* Player()
{
    static QPointer<TSoundPlayer> player;
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread())
        return nullptr;
    if (!player) {
        player = new TSoundPlayer;
        qAddPostRoutine([] { delete player.data(); });
    }
    return player;
}

} // namespace

bool TWaveImage::Parse(const QByteArray& Wave, TWaveImage& Image)
{
    Image = {};
    const char* bytes = Wave.constData();
    const qint64 size = Wave.size();
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    const qint64 end = qMin(size, qint64(DoubleWord(bytes + 4)) + 8);
    bool haveFormat = false;
    bool haveData = false;
    int blockAlign = 0;
    qint64 dataOffset = 0;
    qint64 dataSize = 0;
    qint64 at = 12;
    while (at + 8 <= end) {
        const char* id = bytes + at;
        const quint32 chunkSize = DoubleWord(bytes + at + 4);
        const qint64 body = at + 8;
        if (qint64(chunkSize) > end - body)
            return false;
        if (std::memcmp(id, "fmt ", 4) == 0 && !haveFormat) {
            if (!ReadFormat(bytes + body, chunkSize, Image, blockAlign))
                return false;
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0 && !haveData) {
            dataOffset = body;
            dataSize = chunkSize;
            haveData = true;
        }
        at = body + chunkSize + (chunkSize & 1);
    }
    if (!haveFormat || !haveData || Image.Channels < 1 || Image.Channels > 8 ||
        Image.SampleRate < 1 || SampleFormat(Image.BitsPerSample) == QAudioFormat::Unknown ||
        blockAlign != Image.FrameBytes()) {
        Image = {};
        return false;
    }
    Image.Samples = Wave.mid(dataOffset, dataSize - dataSize % Image.FrameBytes());
    return true;
}

qint64 TWaveImage::DurationMs() const
{
    const qint64 bytesPerSecond = qint64(SampleRate) * FrameBytes();
    return bytesPerSecond > 0 ? Samples.size() * 1000 / bytesPerSecond : 0;
}

bool TSoundService::PlayWave(const QByteArray& Wave, bool Loop, bool StopOthers)
{
    TSoundPlayer* player = Player();
    TWaveImage image;
    if (!player || !TWaveImage::Parse(Wave, image))
        return false;
    if (!StopOthers && player->Current() != 0)
        return false;
    player->Play(image, Loop);
    LastPlayedWave = Wave;
    ++PlayedCount;
    return true;
}

void TSoundService::Stop()
{
    if (TSoundPlayer* player = Player())
        player->Stop();
}

bool TSoundService::Playing()
{
    return CurrentSound() != 0;
}

std::uint64_t TSoundService::CurrentSound()
{
    const TSoundPlayer* player = Player();
    return player ? player->Current() : 0;
}

QByteArray TSoundService::LastPlayed()
{
    return LastPlayedWave;
}

int TSoundService::PlayCount()
{
    return PlayedCount;
}
