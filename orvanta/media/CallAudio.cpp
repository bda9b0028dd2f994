#include "CallAudio.h"

#include "service/ConferenceService.h"

#include <QAudioSink>
#include <QAudioSource>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The most a microphone hands over at once: older sound is late anyway.
constexpr qint64 MaxBacklogSamples = ServiceAudioRate / 4;

QAudioFormat ServiceFormat()
{
    QAudioFormat format;
    format.setSampleRate(ServiceAudioRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

// The service format when the device takes it, else what the device likes.
QAudioFormat DeviceFormat(const QAudioDevice& Device)
{
    const QAudioFormat service = ServiceFormat();
    if (Device.isFormatSupported(service))
        return service;
    return Device.preferredFormat();
}

bool Usable(const QAudioFormat& Format)
{
    return Format.isValid() && Format.sampleRate() > 0 && Format.channelCount() > 0 &&
           Format.bytesPerSample() > 0 && Format.sampleFormat() != QAudioFormat::Unknown;
}

void PutSample(QByteArray& Pcm, double Value)
{
    const qint16 sample = qint16(std::lround(std::clamp(Value, -1.0, 1.0) * 32767.0));
    Pcm.append(char(sample & 0xff)).append(char((sample >> 8) & 0xff));
}

double GetSample(const char* Data)
{
    const auto low = quint8(Data[0]);
    const auto high = quint8(Data[1]);
    return double(qint16(quint16(low | (high << 8)))) / 32768.0;
}

} // namespace

void ScaleSamples(QByteArray& Pcm, int Volume)
{
    if (Volume == 65536)
        return;
    char* data = Pcm.data();
    for (qsizetype i = 0; i + 1 < Pcm.size(); i += 2) {
        const qint64 sample = qint64(qint16(quint16(quint8(data[i]) | (quint8(data[i + 1]) << 8))));
        const auto scaled = qint16(std::clamp<qint64>(sample * Volume / 65536, -32768, 32767));
        data[i] = char(scaled & 0xff);
        data[i + 1] = char((scaled >> 8) & 0xff);
    }
}

// ---- Microphone ---------------------------------------------------------------------

TCallMicrophone::TCallMicrophone() = default;

TCallMicrophone::~TCallMicrophone()
{
    Stop();
}

bool TCallMicrophone::Start(const QAudioDevice& Device, const TToneGenerator& Tone)
{
    Stop();
    if (!Device.isNull()) {
        FFormat = DeviceFormat(Device);
        if (!Usable(FFormat))
            return false;
        FSource = std::make_unique<QAudioSource>(Device, FFormat);
        FInput = FSource->start();
        if (!FInput || FSource->error() != QAudio::NoError) {
            Stop();
            return false;
        }
    }
    FTone = Tone;
    FNext = 0;
    FClock.start();
    FRunning = true;
    return true;
}

void TCallMicrophone::Stop()
{
    if (FSource)
        FSource->stop();
    FSource.reset();
    FInput = nullptr;
    FSum = 0.0;
    FCount = 0;
    FPhase = 0;
    FRunning = false;
}

QByteArray TCallMicrophone::Take()
{
    QByteArray pcm;
    if (!FRunning)
        return pcm;
    if (!FInput) {
        const qint64 now = FClock.elapsed() * ServiceAudioRate / 1000;
        FNext = std::max(FNext, now - MaxBacklogSamples);
        const qint64 count = now - FNext;
        if (count <= 0)
            return pcm;
        pcm.resize(count * 2);
        std::vector<qint16> samples(size_t(count), 0);
        FTone.Fill(samples.data(), count, ServiceAudioRate, FNext);
        for (qint64 i = 0; i < count; ++i) {
            const auto sample = quint16(samples[size_t(i)]);
            pcm[i * 2] = char(sample & 0xff);
            pcm[i * 2 + 1] = char(sample >> 8);
        }
        FNext = now;
        return pcm;
    }

    const int frame = FFormat.bytesPerFrame();
    const int rate = FFormat.sampleRate();
    const int channels = FFormat.channelCount();
    const int sampleBytes = FFormat.bytesPerSample();
    // A quarter of a second of the device's frames at most; the rest waits.
    const qint64 limit = std::max<qint64>(frame, qint64(rate) / 4 * frame);
    const QByteArray raw = FInput->read(limit);
    const qint64 frames = raw.size() / frame;
    for (qint64 i = 0; i < frames; ++i) {
        const char* at = raw.constData() + i * frame;
        double value = 0.0;
        for (int c = 0; c < channels; ++c)
            value += TSampleIo::Read(at + c * sampleBytes, FFormat);
        FSum += value / channels;
        ++FCount;
        FPhase += ServiceAudioRate;
        if (FPhase >= rate) {
            PutSample(pcm, FSum / FCount);
            FSum = 0.0;
            FCount = 0;
            FPhase -= rate;
        }
    }
    return pcm;
}

// ---- Speaker ------------------------------------------------------------------------

TCallSpeaker::TCallSpeaker() = default;

TCallSpeaker::~TCallSpeaker()
{
    Stop();
}

bool TCallSpeaker::Start(const QAudioDevice& Device, double Volume)
{
    Stop();
    if (!Device.isNull()) {
        FFormat = DeviceFormat(Device);
        if (!Usable(FFormat))
            return false;
        FSink = std::make_unique<QAudioSink>(Device, FFormat);
        FSink->setVolume(Volume);
        FOutput = FSink->start();
        if (!FOutput || FSink->error() != QAudio::NoError) {
            Stop();
            return false;
        }
    }
    FRunning = true;
    return true;
}

void TCallSpeaker::Stop()
{
    if (FSink)
        FSink->stop();
    FSink.reset();
    FOutput = nullptr;
    FPhase = 0;
    FRunning = false;
}

void TCallSpeaker::SetVolume(double Volume)
{
    if (FSink)
        FSink->setVolume(Volume);
}

void TCallSpeaker::Play(const QByteArray& Pcm)
{
    if (!FOutput || !FSink)
        return;
    const int frame = FFormat.bytesPerFrame();
    const int rate = FFormat.sampleRate();
    FConverted.clear();
    for (qsizetype i = 0; i + 1 < Pcm.size(); i += 2) {
        const double value = GetSample(Pcm.constData() + i);
        FPhase += rate;
        while (FPhase >= ServiceAudioRate) {
            const qsizetype at = FConverted.size();
            FConverted.resize(at + frame);
            TSampleIo::Write(FConverted.data() + at, FFormat, value);
            FPhase -= ServiceAudioRate;
        }
    }
    const qint64 room = std::min<qint64>(FSink->bytesFree(), FConverted.size());
    const qint64 whole = room / frame * frame;
    if (whole > 0)
        FOutput->write(FConverted.constData(), whole);
}
