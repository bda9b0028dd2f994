#include "ImageLists.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

QIcon Draw(QSize Size, const std::function<void(QPainter&)>& Paint)
{
    QPixmap pixmap(Size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    Paint(painter);
    return QIcon(pixmap);
}

QIcon Dot(const QColor& Fill, const QColor& Ring = Qt::white)
{
    return Draw({16, 16}, [&](QPainter& P) {
        P.setPen(QPen(Fill.darker(160), 1));
        P.setBrush(Fill);
        P.drawEllipse(QRectF(2.5, 2.5, 11, 11));
        P.setPen(Qt::NoPen);
        P.setBrush(Ring);
        P.drawEllipse(QRectF(5.5, 5, 3, 3));
    });
}

QIcon Crossed(const QIcon& Icon)
{
    return Draw({16, 16}, [&](QPainter& P) {
        P.drawPixmap(0, 0, Icon.pixmap(16, 16));
        P.setPen(QPen(QColor(200, 30, 30), 2));
        P.drawLine(2, 14, 14, 2);
    });
}

} // namespace

QList<QIcon> MakeStateImages()
{
    return {Dot(QColor(150, 150, 150)), Dot(QColor(60, 170, 60)),   Dot(QColor(230, 160, 30)),
            Dot(QColor(90, 120, 220)),  Dot(QColor(170, 170, 170)), Dot(QColor(40, 180, 70)),
            Dot(QColor(200, 60, 60)),   Dot(QColor(40, 110, 220))};
}

QList<QIcon> MakeQualityImages()
{
    QList<QIcon> images;
    for (int level = 0; level <= 5; ++level)
        images.append(Draw({32, 20}, [level](QPainter& P) {
            for (int bar = 0; bar < 5; ++bar) {
                const bool lit = level < 5 && bar <= level;
                P.setPen(Qt::NoPen);
                P.setBrush(lit ? QColor(50, 170, 60) : QColor(120, 120, 120, 110));
                const int height = 4 + bar * 3;
                P.drawRect(2 + bar * 6, 18 - height, 4, height);
            }
        }));
    return images;
}

QList<QIcon> MakeStatusImages()
{
    return {Dot(QColor(160, 160, 160)), Dot(QColor(40, 180, 70)),  Dot(QColor(230, 160, 30)),
            Dot(QColor(150, 80, 200)),  Dot(QColor(40, 110, 220)), Dot(QColor(220, 90, 40))};
}

QList<QIcon> MakeUserStatusImages()
{
    const QList<QIcon> status = MakeStatusImages();
    const QIcon unknown = Draw({16, 16}, [](QPainter& P) {
        P.setPen(QPen(QColor(110, 110, 110), 1));
        P.setBrush(QColor(235, 235, 235));
        P.drawEllipse(QRectF(2.5, 2.5, 11, 11));
        P.setPen(QColor(80, 80, 80));
        P.drawText(QRectF(2, 2, 12, 12), Qt::AlignCenter, QStringLiteral("?"));
    });
    const auto arrow = [](bool Down) {
        return Draw({16, 16}, [Down](QPainter& P) {
            QPainterPath path;
            path.moveTo(4, Down ? 6 : 10);
            path.lineTo(12, Down ? 6 : 10);
            path.lineTo(8, Down ? 11 : 5);
            path.closeSubpath();
            P.fillPath(path, QColor(60, 60, 60));
        });
    };
    return {status.value(0), status.value(1), status.value(2), unknown,
            status.value(3), status.value(5), arrow(true),     arrow(false)};
}

QList<QIcon> MakeButtonImages()
{
    const QIcon speaker = Draw({16, 16}, [](QPainter& P) {
        QPainterPath body;
        body.moveTo(2, 6);
        body.lineTo(5, 6);
        body.lineTo(9, 2);
        body.lineTo(9, 14);
        body.lineTo(5, 10);
        body.lineTo(2, 10);
        body.closeSubpath();
        P.fillPath(body, QColor(60, 60, 60));
        P.setPen(QPen(QColor(60, 60, 60), 1.2));
        P.drawArc(QRectF(7, 4, 6, 8), -60 * 16, 120 * 16);
    });
    const QIcon camera = Draw({16, 16}, [](QPainter& P) {
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(60, 60, 60));
        P.drawRoundedRect(QRectF(1, 4, 10, 8), 2, 2);
        QPainterPath lens;
        lens.moveTo(11, 8);
        lens.lineTo(15, 5);
        lens.lineTo(15, 11);
        lens.closeSubpath();
        P.fillPath(lens, QColor(60, 60, 60));
    });
    const QIcon microphone = Draw({16, 16}, [](QPainter& P) {
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(60, 60, 60));
        P.drawRoundedRect(QRectF(6, 1, 4, 9), 2, 2);
        P.setPen(QPen(QColor(60, 60, 60), 1.2));
        P.setBrush(Qt::NoBrush);
        P.drawArc(QRectF(4, 4, 8, 8), 180 * 16, 180 * 16);
        P.drawLine(8, 12, 8, 15);
    });
    return {speaker, Crossed(speaker), camera, Crossed(camera), microphone, Crossed(microphone)};
}

namespace {

QImage Glyph(QSize Size, const std::function<void(QPainter&)>& Paint)
{
    QImage image(Size, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    QPainter painter(&image);
    Paint(painter);
    return image;
}

} // namespace

QImage SelfViewGlyph()
{
    return Glyph({24, 18}, [](QPainter& P) {
        P.fillRect(1, 1, 22, 16, QColor(40, 40, 40));
        P.fillRect(3, 3, 18, 12, QColor(90, 140, 220));
        P.fillRect(12, 8, 8, 6, QColor(230, 230, 230));
    });
}

QImage RecordGlyph()
{
    return Glyph({32, 32}, [](QPainter& P) {
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(210, 30, 30));
        P.drawEllipse(4, 4, 24, 24);
        P.setBrush(QColor(250, 250, 250));
        P.drawEllipse(12, 12, 8, 8);
    });
}
