#include "TestPatternCamera.h"

#include <QMutexLocker>
#include <QPainter>
#include <QTime>
#include <algorithm>
#include <cmath>

namespace {

// Segments a (top) to g (middle) of the digits 0-9.
constexpr quint8 DigitSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// The time is drawn as seven-segment digits: no fonts are needed, so frames
// come out the same on every machine and without a GUI application.
void PaintDigit(QPainter& Painter, int X, int Y, int Width, int Digit, const QColor& Color)
{
    const int height = 2 * Width;
    const int t = std::max(2, Width / 5);
    const int half = height / 2;
    const QRect segments[7] = {
        {X + t, Y, Width - 2 * t, t},                  // a
        {X + Width - t, Y + t, t, half - t},           // b
        {X + Width - t, Y + half, t, half - t},        // c
        {X + t, Y + height - t, Width - 2 * t, t},     // d
        {X, Y + half, t, half - t},                    // e
        {X, Y + t, t, half - t},                       // f
        {X + t, Y + half - t / 2, Width - 2 * t, t},   // g
    };
    for (int i = 0; i < 7; ++i)
        if (DigitSegments[Digit] & (1 << i))
            Painter.fillRect(segments[i], Color);
}

void PaintClock(QPainter& Painter, const QRect& Area, const QTime& Time)
{
    const int digits[6] = {Time.hour() / 10,   Time.hour() % 10,   Time.minute() / 10,
                           Time.minute() % 10, Time.second() / 10, Time.second() % 10};
    // Six digits, two colons and gaps: 8.5 digit widths in all; half the
    // area's height, so the pattern around it stays in view.
    const int width = std::max(4, std::min(Area.width() * 2 / 17, Area.height() / 4));
    const int gap = width / 4;
    const int total = 6 * width + 5 * gap + 2 * (width / 2);
    int x = Area.left() + (Area.width() - total) / 2;
    const int y = Area.top() + (Area.height() - 2 * width) / 2;
    Painter.fillRect(x - gap, y - gap, total + 2 * gap, 2 * width + 2 * gap, Qt::black);
    for (int i = 0; i < 6; ++i) {
        PaintDigit(Painter, x, y, width, digits[i], Qt::white);
        x += width + gap;
        if (i == 1 || i == 3) {
            const int dot = std::max(2, width / 5);
            Painter.fillRect(x, y + width / 2 - dot / 2, dot, dot, Qt::white);
            Painter.fillRect(x, y + 3 * width / 2 - dot / 2, dot, dot, Qt::white);
            x += width / 2;
        }
    }
}

int Brightened(int Component, int Brightness)
{
    return std::clamp(Component + Brightness * 255 / 200, 0, 255);
}

} // namespace

TTestPatternCamera::TTestPatternCamera(QObject* Parent) : QObject(Parent)
{
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TTestPatternCamera::TakeFrame);
    FClock.start();
}

TTestPatternCamera::~TTestPatternCamera() = default;

bool TTestPatternCamera::Start(int Fps)
{
    FInterval = std::max(1, 1000 / std::clamp(Fps, 1, 60));
    FRunning = true;
    UpdateTimer();
    return true;
}

void TTestPatternCamera::Stop()
{
    FRunning = false;
    FPaused = false;
    UpdateTimer();
    QMutexLocker locker(&FLock);
    FLatest = QImage();
}

void TTestPatternCamera::SetPaused(bool Paused)
{
    FPaused = Paused;
    UpdateTimer();
}

void TTestPatternCamera::UpdateTimer()
{
    if (FRunning && !FPaused)
        FTimer.start(FInterval);
    else
        FTimer.stop();
}

QImage TTestPatternCamera::LatestFrame() const
{
    QMutexLocker locker(&FLock);
    return FLatest;
}

QSize TTestPatternCamera::FrameSize() const
{
    return FStandard == NtscM ? QSize(640, 480) : QSize(768, 576);
}

bool TTestPatternCamera::SetInput(int Index)
{
    if (Index < 0 || Index >= Inputs().size())
        return false;
    if (Index != FInput) {
        FInput = Index;
        FBackground = QImage();
    }
    return true;
}

bool TTestPatternCamera::SetStandard(quint32 Code)
{
    if (qPopulationCount(Code) != 1 || (Code & SupportedStandards) == 0)
        return false;
    if (Code != FStandard) {
        FStandard = Code;
        FBackground = QImage();
    }
    return true;
}

void TTestPatternCamera::SetBrightness(int Value)
{
    Value = std::clamp(Value, MinBrightness, MaxBrightness);
    if (Value != FBrightness) {
        FBrightness = Value;
        FBackground = QImage();
    }
}

void TTestPatternCamera::SetSpeed(int Value)
{
    FSpeed = std::clamp(Value, 0, MaxSpeed);
}

// Bars at 75 % in the upper two thirds; below them a grey ramp on the
// composite input and the bars mirrored on S-Video, so the input shows.
void TTestPatternCamera::PaintBackground()
{
    static constexpr QRgb Bars[7] = {0xBFBFBF, 0xBFBF00, 0x00BFBF, 0x00BF00,
                                     0xBF00BF, 0xBF0000, 0x0000BF};
    const QSize size = FrameSize();
    FBackground = QImage(size, QImage::Format_RGB32);
    QPainter painter(&FBackground);
    const int barsHeight = size.height() * 2 / 3;
    const auto brightened = [this](QRgb Rgb) {
        return QColor(Brightened(qRed(Rgb), FBrightness), Brightened(qGreen(Rgb), FBrightness),
                      Brightened(qBlue(Rgb), FBrightness));
    };
    for (int i = 0; i < 7; ++i) {
        const int left = size.width() * i / 7;
        const int right = size.width() * (i + 1) / 7;
        painter.fillRect(left, 0, right - left, barsHeight, brightened(Bars[i]));
        const QRgb lower = FInput == 0 ? qRgb(255 * i / 6, 255 * i / 6, 255 * i / 6) : Bars[6 - i];
        painter.fillRect(left, barsHeight, right - left, size.height() - barsHeight,
                         brightened(lower));
    }
}

void TTestPatternCamera::TakeFrame()
{
    if (FBackground.isNull())
        PaintBackground();
    QImage frame = FBackground.copy();
    const int width = frame.width();
    const int height = frame.height();
    {
        QPainter painter(&frame);
        // One full sweep takes 20 s at speed 1 and 2 s at speed 10.
        const int sweep = width / 16;
        const double cycle = FSpeed == 0 ? 0.0 : double(FClock.elapsed()) * FSpeed / 20000.0;
        const int x = int(std::fmod(cycle, 1.0) * (width + sweep)) - sweep;
        painter.fillRect(x, 0, sweep, height * 2 / 3, Qt::white);
        PaintClock(painter, QRect(0, height * 2 / 3, width, height / 3), QTime::currentTime());
    }
    {
        QMutexLocker locker(&FLock);
        FLatest = frame;
    }
    // A copy, so that the callback may replace itself.
    if (const TFrameCallback callback = FCallback)
        callback(frame);
}
