#include "ToneGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

TToneGenerator::TToneGenerator(double Frequency, double Amplitude, double SwellPeriod)
    : FFrequency(Frequency), FAmplitude(std::clamp(Amplitude, 0.0, 1.0)),
      FSwellPeriod(std::max(0.0, SwellPeriod))
{
}

double TToneGenerator::Sample(qint64 Index, int SampleRate) const
{
    if (SampleRate <= 0)
        return 0.0;
    const double seconds = double(Index) / SampleRate;
    const double phase = std::fmod(double(Index) * FFrequency / SampleRate, 1.0);
    double envelope = 1.0;
    if (FSwellPeriod > 0.0) {
        // Never quite silent, so a meter on it never drops to nothing.
        const double swell = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * seconds / FSwellPeriod);
        envelope = 0.08 + 0.92 * swell;
    }
    return FAmplitude * envelope * std::sin(2.0 * std::numbers::pi * phase);
}

void TToneGenerator::Fill(qint16* Samples, qsizetype Count, int SampleRate, qint64 FirstIndex) const
{
    for (qsizetype i = 0; i < Count; ++i)
        Samples[i] = qint16(std::lround(Sample(FirstIndex + i, SampleRate) * 32767.0));
}

int TToneGenerator::Peak(qint64 FirstIndex, qsizetype Count, int SampleRate) const
{
    int peak = 0;
    for (qsizetype i = 0; i < Count; ++i)
        peak = std::max(peak, int(std::lround(std::abs(Sample(FirstIndex + i, SampleRate)) * 32767.0)));
    return peak;
}

namespace TSampleIo {

void Write(char* Data, const QAudioFormat& Format, double Value)
{
    Value = std::clamp(Value, -1.0, 1.0);
    const int channels = std::max(1, Format.channelCount());
    const int bytes = Format.bytesPerSample();
    for (int channel = 0; channel < channels; ++channel, Data += bytes) {
        switch (Format.sampleFormat()) {
        case QAudioFormat::UInt8:
            *reinterpret_cast<quint8*>(Data) = quint8(std::lround(Value * 127.0) + 128);
            break;
        case QAudioFormat::Int16: {
            const qint16 sample = qint16(std::lround(Value * 32767.0));
            std::memcpy(Data, &sample, sizeof sample);
            break;
        }
        case QAudioFormat::Int32: {
            const qint32 sample = qint32(std::llround(Value * 2147483647.0));
            std::memcpy(Data, &sample, sizeof sample);
            break;
        }
        case QAudioFormat::Float: {
            const float sample = float(Value);
            std::memcpy(Data, &sample, sizeof sample);
            break;
        }
        default:
            std::memset(Data, 0, size_t(bytes));
            break;
        }
    }
}

double Read(const char* Data, const QAudioFormat& Format)
{
    switch (Format.sampleFormat()) {
    case QAudioFormat::UInt8:
        return (double(quint8(Data[0])) - 128.0) / 128.0;
    case QAudioFormat::Int16: {
        qint16 sample;
        std::memcpy(&sample, Data, sizeof sample);
        return sample / 32768.0;
    }
    case QAudioFormat::Int32: {
        qint32 sample;
        std::memcpy(&sample, Data, sizeof sample);
        return sample / 2147483648.0;
    }
    case QAudioFormat::Float: {
        float sample;
        std::memcpy(&sample, Data, sizeof sample);
        return std::isfinite(sample) ? std::clamp(double(sample), -1.0, 1.0) : 0.0;
    }
    default:
        return 0.0;
    }
}

int Peak(const char* Data, qint64 Size, const QAudioFormat& Format)
{
    const int bytes = Format.bytesPerSample();
    if (bytes <= 0)
        return 0;
    double peak = 0.0;
    for (qint64 offset = 0; offset + bytes <= Size; offset += bytes)
        peak = std::max(peak, std::abs(Read(Data + offset, Format)));
    return int(std::lround(std::min(peak, 1.0) * 32767.0));
}

} // namespace TSampleIo
