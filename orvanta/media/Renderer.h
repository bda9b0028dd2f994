#pragma once

#include "orvanta.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMutex>
#include <QSize>
#include <atomic>
#include <memory>

// How pictures are drawn: bicubic (smooth) scaling, saturation 0..200 with
// 100 unchanged.
struct TRenderOptions
{
    bool Smooth = false;
    int Saturation = 100;
};

// The latest picture of one stream (the own camera or a peer) and the panel
// window it is drawn into. Frames arrive on the engine's thread; the panel
// paints on its own, so everything here is guarded.
class TRenderer
{
public:
    explicit TRenderer(KrWindow Panel);

    intptr_t Instance() const { return FInstance; }
    KrWindow Panel() const { return FPanel.load(); }
    // Moves the drawing to another window; the next frame is announced there.
    void SetPanel(KrWindow Panel);

    void SetOptions(const TRenderOptions& Options);
    TRenderOptions Options() const;

    // Keeps the frame and tells the panel, unless it has not yet painted
    // what it was told of before.
    void NewFrame(const QImage& Frame);
    QImage LatestFrame() const;
    // The answers to the panel's messages.
    bool Paint(const KrPaintTarget& Target);
    void Resized(QSize Size);
    QSize Size() const;

private:
    const intptr_t FInstance;
    std::atomic<KrWindow> FPanel;
    mutable QMutex FLock; // guards the fields below
    QImage FFrame;
    TRenderOptions FOptions;
    QSize FSize;
    bool FAnnounced = false; // told the panel of a frame it has not painted
    QElapsedTimer FAnnouncedAt;
};

// Frame scaled to Size with Options, written as 32-bit pixels (blue, green,
// red, 0) into Bits, rows Stride bytes apart, the top row first or last;
// black when Frame is null. The caller has checked the area.
void DrawFrame(const QImage& Frame, QSize Size, const TRenderOptions& Options, uint8_t* Bits,
               qsizetype Stride, bool BottomUp);

// The live renderers of all engine instances by render instance number, which
// is never reused, so a released renderer stays unknown.
namespace TRenderers {

std::shared_ptr<TRenderer> Add(KrWindow Panel);
std::shared_ptr<TRenderer> Find(intptr_t Instance);
void Remove(intptr_t Instance);
// The procedure handed to the client for its video panels; it finds the
// renderer through the panel window's user data.
KrRenderProc Procedure();

} // namespace TRenderers
