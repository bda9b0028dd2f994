#include "QtCameraSource.h"

#include <QCameraFormat>
#include <QMutexLocker>
#include <QVideoFrame>
#include <algorithm>
#include <limits>

namespace {

// The format closest to 640x480 among those that reach the frame rate; the
// device's own choice when none does.
QCameraFormat ChooseFormat(const QCameraDevice& Device, int Fps)
{
    QCameraFormat best;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const QCameraFormat& format : Device.videoFormats()) {
        if (format.maxFrameRate() + 0.5f < float(Fps))
            continue;
        const QSize size = format.resolution();
        const qint64 distance = qAbs(qint64(size.width()) * size.height() - 640 * 480);
        if (distance < bestDistance) {
            best = format;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

TQtCameraSource::TQtCameraSource(const QCameraDevice& Device, QObject* Parent)
    : QObject(Parent), FDevice(Device)
{
    FSession.setVideoSink(&FSink);
    connect(&FSink, &QVideoSink::videoFrameChanged, this, &TQtCameraSource::TakeFrame);
}

TQtCameraSource::~TQtCameraSource()
{
    Stop();
}

bool TQtCameraSource::Start(int Fps)
{
    Fps = std::clamp(Fps, 1, 60);
    FInterval = 1000 / Fps;
    if (FRunning)
        return true;
    FCamera = std::make_unique<QCamera>(FDevice);
    if (const QCameraFormat format = ChooseFormat(FDevice, Fps); !format.isNull())
        FCamera->setCameraFormat(format);
    FSession.setCamera(FCamera.get());
    FCamera->start();
    if (FCamera->error() != QCamera::NoError) {
        FSession.setCamera(nullptr);
        FCamera.reset();
        return false;
    }
    FRunning = true;
    FSinceFrame.invalidate();
    return true;
}

void TQtCameraSource::Stop()
{
    if (FCamera) {
        FCamera->stop();
        FSession.setCamera(nullptr);
        FCamera.reset();
    }
    FRunning = false;
    FPaused = false;
    QMutexLocker locker(&FLock);
    FLatest = QImage();
}

QImage TQtCameraSource::LatestFrame() const
{
    QMutexLocker locker(&FLock);
    return FLatest;
}

QSize TQtCameraSource::FrameSize() const
{
    return FSize;
}

void TQtCameraSource::TakeFrame(const QVideoFrame& Frame)
{
    if (!FRunning || FPaused || !Frame.isValid())
        return;
    // A little slack, so that a device running at exactly the rate is not halved.
    if (FSinceFrame.isValid() && FSinceFrame.elapsed() < FInterval * 9 / 10)
        return;
    FSinceFrame.start();
    const QImage image = Frame.toImage();
    if (image.isNull())
        return;
    FSize = image.size();
    {
        QMutexLocker locker(&FLock);
        FLatest = image;
    }
    if (const TFrameCallback callback = FCallback)
        callback(image);
}
