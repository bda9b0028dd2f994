#pragma once

#include "CameraSource.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QTimer>

// The built-in camera: colour bars with a bar sweeping across and the time of
// day, so that a machine without a camera still has moving video. It has two
// inputs and three analog standards, like a capture card, and settings for
// brightness and the speed of the sweep.
class TTestPatternCamera : public QObject, public ICameraSource
{
    Q_OBJECT
public:
    static constexpr const char* DeviceName = "Test Pattern Camera";
    // NTSC M, PAL B and SECAM L.
    static constexpr quint32 NtscM = 0x1;
    static constexpr quint32 PalB = 0x10;
    static constexpr quint32 SecamL = 0x40000;
    static constexpr quint32 SupportedStandards = NtscM | PalB | SecamL;
    static constexpr int MinBrightness = -100;
    static constexpr int MaxBrightness = 100;
    static constexpr int MaxSpeed = 10;

    explicit TTestPatternCamera(QObject* Parent = nullptr);
    ~TTestPatternCamera() override;

    bool Start(int Fps) override;
    void Stop() override;
    bool IsRunning() const override { return FRunning; }
    void SetPaused(bool Paused) override;
    bool IsPaused() const override { return FPaused; }
    void SetFrameCallback(TFrameCallback Callback) override { FCallback = std::move(Callback); }
    QImage LatestFrame() const override;
    QSize FrameSize() const override;

    static QStringList Inputs() { return {QStringLiteral("Composite"), QStringLiteral("S-Video")}; }
    int Input() const { return FInput; }
    bool SetInput(int Index);
    quint32 Standard() const { return FStandard; }
    // Exactly one supported standard code.
    bool SetStandard(quint32 Code);
    int Brightness() const { return FBrightness; }
    void SetBrightness(int Value);
    int Speed() const { return FSpeed; }
    void SetSpeed(int Value);

private:
    void TakeFrame();
    void PaintBackground();
    void UpdateTimer();

    QTimer FTimer;
    QElapsedTimer FClock;
    TFrameCallback FCallback;
    mutable QMutex FLock; // guards FLatest
    QImage FLatest;
    QImage FBackground; // the still part, repainted when a setting changes
    bool FRunning = false;
    bool FPaused = false;
    int FInterval = 100;
    int FInput = 0;
    quint32 FStandard = NtscM;
    int FBrightness = 0;
    int FSpeed = 3;
};
