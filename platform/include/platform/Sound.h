#pragma once

#include <QByteArray>
#include <cstdint>

// The program's simple sound service: one process-wide player for WAVE
// images held in memory. It never blocks; without an audio output (or one
// that cannot take the sound's format) a valid sound "plays" silently for
// as long as it would have sounded. Main thread only.
class TSoundService
{
public:
    // Starts Wave (a complete RIFF/WAVE image of PCM samples), once or
    // looping until stopped. With StopOthers false a sound that is playing
    // is left alone and the request fails; otherwise it is replaced. False
    // also for an empty or malformed image.
    static bool PlayWave(const QByteArray& Wave, bool Loop, bool StopOthers);
    // Stops whatever sound is playing.
    static void Stop();
    static bool Playing();
    // Numbers each started sound; 0 while none plays.
    static std::uint64_t CurrentSound();

    // For tests: the image of the last sound started and how many were started.
    static QByteArray LastPlayed();
    static int PlayCount();
};

// The PCM layout and samples of a RIFF/WAVE image.
struct TWaveImage
{
    int Channels = 0;
    int SampleRate = 0;
    int BitsPerSample = 0;
    QByteArray Samples; // whole sample frames only

    // False unless Wave is a RIFF/WAVE image with a PCM "fmt " chunk and a
    // "data" chunk, every chunk inside the image.
    static bool Parse(const QByteArray& Wave, TWaveImage& Image);
    int FrameBytes() const { return Channels * BitsPerSample / 8; }
    // How long the samples sound.
    qint64 DurationMs() const;
};
