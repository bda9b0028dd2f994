#pragma once

#include "ToneGenerator.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QElapsedTimer>
#include <QIODevice>
#include <memory>

class QAudioSink;
class QAudioSource;

// An endless tone to be pulled by an audio sink, in the sink's format.
class TToneDevice : public QIODevice
{
    Q_OBJECT
public:
    TToneDevice(const QAudioFormat& Format, const TToneGenerator& Tone, QObject* Parent = nullptr);
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* Data, qint64 MaxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QAudioFormat FFormat;
    TToneGenerator FTone;
    qint64 FNext = 0; // index of the next sample frame
};

// Takes what an audio source records and keeps the peak level.
class TLevelDevice : public QIODevice
{
    Q_OBJECT
public:
    explicit TLevelDevice(const QAudioFormat& Format, QObject* Parent = nullptr);
    bool isSequential() const override { return true; }
    // The peak since the last call, and whether anything came at all.
    int TakePeak(bool* Any);

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* Data, qint64 Size) override;

private:
    QAudioFormat FFormat;
    int FPeak = 0;
    bool FAny = false;
};

// The playback test: a tone on a real device, or nothing at all on the null
// speaker, until stopped.
class TTestSound
{
public:
    TTestSound();
    ~TTestSound();

    // A null Device is the null speaker.
    bool Start(const QAudioDevice& Device, double Volume);
    void Stop();
    bool IsRunning() const { return FRunning; }
    void SetVolume(double Volume);

private:
    std::unique_ptr<QAudioSink> FSink;
    std::unique_ptr<TToneDevice> FTone;
    bool FRunning = false;
};

// The microphone meter: the level of the built-in tone at the present moment,
// or of what a real microphone records.
class TMicrophoneMeter
{
public:
    TMicrophoneMeter();
    ~TMicrophoneMeter();

    void StartTone(const TToneGenerator& Tone);
    bool StartDevice(const QAudioDevice& Device);
    void Stop();
    bool IsRunning() const { return FRunning; }
    // 0..32767, before any volume is applied.
    int Level();

private:
    bool FRunning = false;
    bool FTone = false;
    TToneGenerator FGenerator;
    QElapsedTimer FClock;
    std::unique_ptr<QAudioSource> FSource;
    std::unique_ptr<TLevelDevice> FLevel;
    int FLastLevel = 0;
};
