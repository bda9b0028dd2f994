#include "SelfPanel.h"

#include <QMouseEvent>
#include <QPainter>

TRegionButton::TRegionButton(QWidget* Parent) : QWidget(Parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    resize(0, 0);
}

QRegion TRegionButton::GlyphRegion(const QImage& Glyph)
{
    QRegion region;
    if (Glyph.width() < 1 || Glyph.height() < 1)
        return region;
    const QImage pixels = Glyph.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = pixels.pixel(0, 0);
    const int width = pixels.width();
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        int x = 0;
        while (x < width) {
            while (x < width && row[x] == transparent)
                ++x;
            const int start = x;
            while (x < width && row[x] != transparent)
                ++x;
            if (x > start)
                region += QRect(start, y, x - start, 1);
        }
    }
    return region;
}

void TRegionButton::SetGlyph(const QImage& Glyph)
{
    FGlyph = Glyph.copy();
    FShape = GlyphRegion(FGlyph);
    FPressed = false;
    resize(FGlyph.size());
    // An empty mask would mean no mask at all: a shape with no pixels takes
    // no clicks instead.
    setAttribute(Qt::WA_TransparentForMouseEvents, FShape.isEmpty());
    if (FShape.isEmpty())
        clearMask();
    else
        setMask(FShape);
    update();
}

void TRegionButton::paintEvent(QPaintEvent*)
{
    if (FShape.isEmpty())
        return;
    QPainter painter(this);
    painter.setClipRegion(FShape);
    painter.drawImage(0, 0, FGlyph);
}

void TRegionButton::mousePressEvent(QMouseEvent* Event)
{
    FPressed = Event->button() == Qt::LeftButton && FShape.contains(Event->position().toPoint());
    if (!FPressed)
        Event->ignore();
}

void TRegionButton::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton)
        return;
    const bool click = FPressed && FShape.contains(Event->position().toPoint());
    FPressed = false;
    if (click && OnClick)
        OnClick();
}
