#include "AudioDevices.h"

#include <QAudioSink>
#include <QAudioSource>
#include <algorithm>

TToneDevice::TToneDevice(const QAudioFormat& Format, const TToneGenerator& Tone, QObject* Parent)
    : QIODevice(Parent), FFormat(Format), FTone(Tone)
{
}

qint64 TToneDevice::bytesAvailable() const
{
    // Endless; a second's worth is what a sink may ask for at most.
    return FFormat.bytesForDuration(1000000) + QIODevice::bytesAvailable();
}

qint64 TToneDevice::readData(char* Data, qint64 MaxSize)
{
    const int frame = FFormat.bytesPerFrame();
    if (frame <= 0)
        return -1;
    const qint64 frames = MaxSize / frame;
    for (qint64 i = 0; i < frames; ++i)
        TSampleIo::Write(Data + i * frame, FFormat, FTone.Sample(FNext++, FFormat.sampleRate()));
    return frames * frame;
}

TLevelDevice::TLevelDevice(const QAudioFormat& Format, QObject* Parent)
    : QIODevice(Parent), FFormat(Format)
{
}

qint64 TLevelDevice::writeData(const char* Data, qint64 Size)
{
    FPeak = std::max(FPeak, TSampleIo::Peak(Data, Size, FFormat));
    FAny = true;
    return Size;
}

int TLevelDevice::TakePeak(bool* Any)
{
    *Any = std::exchange(FAny, false);
    return std::exchange(FPeak, 0);
}

TTestSound::TTestSound() = default;

TTestSound::~TTestSound()
{
    Stop();
}

bool TTestSound::Start(const QAudioDevice& Device, double Volume)
{
    Stop();
    if (!Device.isNull()) {
        const QAudioFormat format = Device.preferredFormat();
        if (!format.isValid())
            return false;
        FTone = std::make_unique<TToneDevice>(format, TToneGenerator(440.0, 0.5));
        FTone->open(QIODevice::ReadOnly);
        FSink = std::make_unique<QAudioSink>(Device, format);
        FSink->setVolume(Volume);
        FSink->start(FTone.get());
        if (FSink->error() != QAudio::NoError) {
            Stop();
            return false;
        }
    }
    FRunning = true;
    return true;
}

void TTestSound::Stop()
{
    if (FSink)
        FSink->stop();
    FSink.reset();
    FTone.reset();
    FRunning = false;
}

void TTestSound::SetVolume(double Volume)
{
    if (FSink)
        FSink->setVolume(Volume);
}

TMicrophoneMeter::TMicrophoneMeter() = default;

TMicrophoneMeter::~TMicrophoneMeter()
{
    Stop();
}

void TMicrophoneMeter::StartTone(const TToneGenerator& Tone)
{
    Stop();
    FGenerator = Tone;
    FTone = true;
    FRunning = true;
    FClock.start();
}

bool TMicrophoneMeter::StartDevice(const QAudioDevice& Device)
{
    Stop();
    const QAudioFormat format = Device.preferredFormat();
    if (Device.isNull() || !format.isValid())
        return false;
    FLevel = std::make_unique<TLevelDevice>(format);
    FLevel->open(QIODevice::WriteOnly);
    FSource = std::make_unique<QAudioSource>(Device, format);
    FSource->start(FLevel.get());
    if (FSource->error() != QAudio::NoError) {
        Stop();
        return false;
    }
    FRunning = true;
    return true;
}

void TMicrophoneMeter::Stop()
{
    if (FSource)
        FSource->stop();
    FSource.reset();
    FLevel.reset();
    FTone = false;
    FRunning = false;
    FLastLevel = 0;
}

int TMicrophoneMeter::Level()
{
    if (!FRunning)
        return 0;
    if (FTone) {
        // The peak of the last 50 ms of the tone, measured at 8 kHz.
        constexpr int Rate = 8000;
        constexpr qint64 Window = Rate / 20;
        const qint64 now = FClock.elapsed() * Rate / 1000;
        return FGenerator.Peak(std::max<qint64>(0, now - Window), Window, Rate);
    }
    bool any = false;
    const int peak = FLevel->TakePeak(&any);
    // Between two blocks of the device the reading falls off rather than
    // dropping to nothing.
    FLastLevel = any ? peak : FLastLevel / 2;
    return FLastLevel;
}
