#pragma once

#include "devices/ToneGenerator.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QByteArray>
#include <QElapsedTimer>
#include <memory>

class QAudioSink;
class QAudioSource;
class QIODevice;

// The sound of a call crosses the service as 16-bit mono samples at
// ServiceAudioRate; these carry it from and to the devices, converting
// when a device wants another format. Nothing here blocks: what a device
// has not taken or given yet is simply not there.

// The chosen microphone: the built-in tone made on demand, or a real one read
// when asked.
class TCallMicrophone
{
public:
    TCallMicrophone();
    ~TCallMicrophone();

    // A null Device is the built-in tone. False when a real one cannot record.
    bool Start(const QAudioDevice& Device, const TToneGenerator& Tone);
    void Stop();
    bool IsRunning() const { return FRunning; }
    // The samples recorded since the last call; a long stall loses the oldest.
    QByteArray Take();

private:
    bool FRunning = false;
    TToneGenerator FTone;
    QElapsedTimer FClock;
    qint64 FNext = 0; // the tone's next sample
    std::unique_ptr<QAudioSource> FSource;
    QIODevice* FInput = nullptr;
    QAudioFormat FFormat;
    // Averaging the device's frames down to the service rate.
    double FSum = 0.0;
    int FCount = 0;
    qint64 FPhase = 0;
};

// The chosen playback device; a null device (the silent output) takes the
// sound and discards it.
class TCallSpeaker
{
public:
    TCallSpeaker();
    ~TCallSpeaker();

    bool Start(const QAudioDevice& Device, double Volume);
    void Stop();
    bool IsRunning() const { return FRunning; }
    void SetVolume(double Volume);
    // What does not fit into the device's buffer is dropped.
    void Play(const QByteArray& Pcm);

private:
    bool FRunning = false;
    std::unique_ptr<QAudioSink> FSink;
    QIODevice* FOutput = nullptr;
    QAudioFormat FFormat;
    qint64 FPhase = 0; // repeating service samples up to the device rate
    QByteArray FConverted;
};

// Pcm (service format) with every sample scaled by Volume/65536, clipped.
void ScaleSamples(QByteArray& Pcm, int Volume);
