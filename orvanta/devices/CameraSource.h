#pragma once

#include <QImage>
#include <QSize>
#include <functional>

// A camera as the sender and the self view take its pictures. Frames come on
// the thread that owns the source, at most at the frame rate given to Start;
// a stopped or paused source does no work.
class ICameraSource
{
public:
    using TFrameCallback = std::function<void(const QImage& Frame)>;

    virtual ~ICameraSource() = default;

    // Starts (or, when running, retimes) the capture; false when the device
    // cannot deliver. Fps is clamped to 1..60.
    virtual bool Start(int Fps) = 0;
    // Stops the capture and forgets the last frame.
    virtual void Stop() = 0;
    virtual bool IsRunning() const = 0;

    // A paused source keeps running but delivers nothing; its last frame stays.
    virtual void SetPaused(bool Paused) = 0;
    virtual bool IsPaused() const = 0;

    // Called with every new frame; an empty function removes the callback.
    virtual void SetFrameCallback(TFrameCallback Callback) = 0;
    // The newest frame, null when none was taken since Start. Safe from any thread.
    virtual QImage LatestFrame() const = 0;
    // Size of the frames the source delivers now (may be unknown, 0x0, for a
    // device that has not delivered yet).
    virtual QSize FrameSize() const = 0;
};
