#pragma once

#include <QAudioFormat>
#include <QtGlobal>

// A sine tone, optionally swelling and fading with a period of its own: the
// sound of the built-in microphone and of the playback test. Sample n at a
// given rate is always the same, so any stretch can be made on demand.
class TToneGenerator
{
public:
    // Amplitude 0..1 of full scale; SwellPeriod in seconds, 0 for a steady tone.
    explicit TToneGenerator(double Frequency = 440.0, double Amplitude = 0.8,
                            double SwellPeriod = 0.0);

    // Sample Index at SampleRate, -1..1.
    double Sample(qint64 Index, int SampleRate) const;
    // 16-bit samples FirstIndex .. FirstIndex + Count - 1.
    void Fill(qint16* Samples, qsizetype Count, int SampleRate, qint64 FirstIndex) const;
    // The largest magnitude among those samples, 0..32767.
    int Peak(qint64 FirstIndex, qsizetype Count, int SampleRate) const;

private:
    double FFrequency;
    double FAmplitude;
    double FSwellPeriod;
};

// Whole frames of Format written from and read into -1..1 values; only the
// four sample formats of QtMultimedia are known, anything else is silence.
namespace TSampleIo {

void Write(char* Data, const QAudioFormat& Format, double Value);
// One sample (one channel) at Data, -1..1.
double Read(const char* Data, const QAudioFormat& Format);
// The largest magnitude among Size bytes of samples, 0..32767.
int Peak(const char* Data, qint64 Size, const QAudioFormat& Format);

} // namespace TSampleIo
