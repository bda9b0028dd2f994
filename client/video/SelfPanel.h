#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <functional>

// A button shaped like its glyph: every pixel of the glyph's top-left colour
// is cut out of the control, and only the rest of it takes clicks.
class TRegionButton : public QWidget
{
    Q_OBJECT
public:
    explicit TRegionButton(QWidget* Parent = nullptr);

    const QImage& Glyph() const { return FGlyph; }
    // Copies the picture and takes its size.
    void SetGlyph(const QImage& Glyph);
    // The part of the control that shows and takes clicks.
    const QRegion& Shape() const { return FShape; }

    std::function<void()> OnClick;

    // Rows of pixels not of the top-left colour, scanned left to right.
    static QRegion GlyphRegion(const QImage& Glyph);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    QImage FGlyph;
    QRegion FShape;
    bool FPressed = false;
};
