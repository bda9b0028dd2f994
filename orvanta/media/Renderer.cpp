#include "Renderer.h"

#include "platform/Messages.h"

#include <QMutexLocker>
#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

// Larger panels do not exist; a larger size is a broken target.
constexpr int32_t MaxPaintSide = 8192;
// A panel that never paints (rendering off, message lost) is reminded this often.
constexpr qint64 ReannounceMs = 1000;

std::atomic<intptr_t> NextInstance{1};

bool ValidPaintTarget(const KrPaintTarget& Target)
{
    return Target.Bits && Target.Width > 0 && Target.Height > 0 && Target.Width <= MaxPaintSide &&
           Target.Height <= MaxPaintSide && qint64(Target.Stride) >= qint64(Target.Width) * 4;
}

int Saturated(int Gray, int Channel, int Saturation)
{
    return std::clamp(Gray + (Channel - Gray) * Saturation / 100, 0, 255);
}

} // namespace

void DrawFrame(const QImage& Frame, QSize Size, const TRenderOptions& Options, uint8_t* Bits,
               qsizetype Stride, bool BottomUp)
{
    const int width = Size.width();
    const int height = Size.height();
    if (Frame.isNull()) {
        for (int y = 0; y < height; ++y)
            std::memset(Bits + y * Stride, 0, size_t(width) * 4);
        return;
    }
    QImage picture = Frame.size() == Size ? Frame
                                          : Frame.scaled(Size, Qt::IgnoreAspectRatio,
                                                         Options.Smooth ? Qt::SmoothTransformation
                                                                        : Qt::FastTransformation);
    if (picture.format() != QImage::Format_RGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    const int saturation = std::clamp(Options.Saturation, 0, 200);
    for (int y = 0; y < height; ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        uint8_t* target = Bits + (BottomUp ? height - 1 - y : y) * Stride;
        for (int x = 0; x < width; ++x, target += 4) {
            int red = qRed(source[x]);
            int green = qGreen(source[x]);
            int blue = qBlue(source[x]);
            if (saturation != 100) {
                const int gray = (red * 77 + green * 150 + blue * 29) >> 8;
                red = Saturated(gray, red, saturation);
                green = Saturated(gray, green, saturation);
                blue = Saturated(gray, blue, saturation);
            }
            target[0] = uint8_t(blue);
            target[1] = uint8_t(green);
            target[2] = uint8_t(red);
            target[3] = 0;
        }
    }
}

TRenderer::TRenderer(KrWindow Panel) : FInstance(NextInstance.fetch_add(1)), FPanel(Panel) {}

void TRenderer::SetPanel(KrWindow Panel)
{
    bool announce = false;
    {
        QMutexLocker locker(&FLock);
        FPanel = Panel;
        announce = !FFrame.isNull();
        FAnnounced = announce;
        FAnnouncedAt.start();
    }
    if (announce && !PostMessage(Panel, KR_WM_RENDER_FRAME, FInstance, 0)) {
        QMutexLocker locker(&FLock);
        FAnnounced = false;
    }
}

void TRenderer::SetOptions(const TRenderOptions& Options)
{
    QMutexLocker locker(&FLock);
    FOptions = Options;
}

TRenderOptions TRenderer::Options() const
{
    QMutexLocker locker(&FLock);
    return FOptions;
}

void TRenderer::NewFrame(const QImage& Frame)
{
    KrWindow panel = 0;
    {
        QMutexLocker locker(&FLock);
        FFrame = Frame;
        if (Frame.isNull())
            return;
        if (FAnnounced && FAnnouncedAt.isValid() && FAnnouncedAt.elapsed() < ReannounceMs)
            return;
        panel = FPanel;
        FAnnounced = panel != 0;
        FAnnouncedAt.start();
    }
    if (panel != 0 && !PostMessage(panel, KR_WM_RENDER_FRAME, FInstance, 0)) {
        QMutexLocker locker(&FLock);
        FAnnounced = false;
    }
}

QImage TRenderer::LatestFrame() const
{
    QMutexLocker locker(&FLock);
    return FFrame;
}

bool TRenderer::Paint(const KrPaintTarget& Target)
{
    if (!ValidPaintTarget(Target))
        return false;
    QImage frame;
    TRenderOptions options;
    {
        QMutexLocker locker(&FLock);
        frame = FFrame;
        options = FOptions;
        FAnnounced = false;
    }
    DrawFrame(frame, QSize(Target.Width, Target.Height), options, Target.Bits, Target.Stride,
              false);
    return true;
}

void TRenderer::Resized(QSize Size)
{
    QMutexLocker locker(&FLock);
    FSize = Size;
}

QSize TRenderer::Size() const
{
    QMutexLocker locker(&FLock);
    return FSize;
}

namespace TRenderers {
namespace {

struct TTable
{
    QMutex Lock;
    std::unordered_map<intptr_t, std::shared_ptr<TRenderer>> Renderers;
};

TTable& Table()
{
    static TTable table;
    return table;
}

// Exported nowhere: the client gets its address from the engine.
intptr_t EngineRenderProc(KrWindow Window, uint32_t Msg, intptr_t, intptr_t LParam)
{
    const std::shared_ptr<TRenderer> renderer = Find(GetWindowUserData(Window));
    if (!renderer)
        return 0;
    switch (Msg) {
    case KR_RENDER_PAINT:
        return LParam && renderer->Paint(*reinterpret_cast<const KrPaintTarget*>(LParam)) ? 1 : 0;
    case KR_RENDER_SIZE:
        // The new client size: width in the low 16 bits, height in the next 16.
        renderer->Resized(QSize(int(LParam & 0xFFFF), int((LParam >> 16) & 0xFFFF)));
        return 0;
    default: // a move needs nothing: the picture is drawn into the panel's own pixels
        return 0;
    }
}

} // namespace

std::shared_ptr<TRenderer> Add(KrWindow Panel)
{
    auto renderer = std::make_shared<TRenderer>(Panel);
    QMutexLocker locker(&Table().Lock);
    Table().Renderers.emplace(renderer->Instance(), renderer);
    return renderer;
}

std::shared_ptr<TRenderer> Find(intptr_t Instance)
{
    if (Instance == 0)
        return nullptr;
    QMutexLocker locker(&Table().Lock);
    const auto found = Table().Renderers.find(Instance);
    return found == Table().Renderers.end() ? nullptr : found->second;
}

void Remove(intptr_t Instance)
{
    std::shared_ptr<TRenderer> gone;
    QMutexLocker locker(&Table().Lock);
    const auto found = Table().Renderers.find(Instance);
    if (found == Table().Renderers.end())
        return;
    gone = std::move(found->second); // freed after the lock is left
    Table().Renderers.erase(found);
    locker.unlock();
}

KrRenderProc Procedure()
{
    return &EngineRenderProc;
}

} // namespace TRenderers
