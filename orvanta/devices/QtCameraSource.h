#pragma once

#include "CameraSource.h"

#include <QCamera>
#include <QCameraDevice>
#include <QElapsedTimer>
#include <QMediaCaptureSession>
#include <QMutex>
#include <QObject>
#include <QVideoSink>
#include <memory>

class QVideoFrame;

// A camera of the system, through QtMultimedia. The device delivers at its own
// rate; frames are passed on no faster than the rate given to Start.
class TQtCameraSource : public QObject, public ICameraSource
{
    Q_OBJECT
public:
    explicit TQtCameraSource(const QCameraDevice& Device, QObject* Parent = nullptr);
    ~TQtCameraSource() override;

    bool Start(int Fps) override;
    void Stop() override;
    bool IsRunning() const override { return FRunning; }
    void SetPaused(bool Paused) override { FPaused = Paused; }
    bool IsPaused() const override { return FPaused; }
    void SetFrameCallback(TFrameCallback Callback) override { FCallback = std::move(Callback); }
    QImage LatestFrame() const override;
    QSize FrameSize() const override;

private:
    void TakeFrame(const QVideoFrame& Frame);

    QCameraDevice FDevice;
    std::unique_ptr<QCamera> FCamera;
    QMediaCaptureSession FSession;
    QVideoSink FSink;
    QElapsedTimer FSinceFrame;
    TFrameCallback FCallback;
    mutable QMutex FLock; // guards FLatest
    QImage FLatest;
    QSize FSize;
    bool FRunning = false;
    bool FPaused = false;
    int FInterval = 100;
};
