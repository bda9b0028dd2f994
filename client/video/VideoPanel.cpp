#include "VideoPanel.h"

#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace {

// Two 16-bit values in one parameter, the first in the low half.
LPARAM PackPair(int Low, int High)
{
    return LPARAM((quint32(Low) & 0xFFFF) | ((quint32(High) & 0xFFFF) << 16));
}

} // namespace

TVideoPanel::TVideoPanel(QWidget* Owner)
    : QWidget(Owner), FWindow([this](TMessage& Message) { WindowMessage(Message); })
{
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(DefaultWidth, DefaultHeight);
    WatchOwnerWindow();
}

TVideoPanel::~TVideoPanel()
{
    FRendering = false;
    if (FOwnerWindow)
        FOwnerWindow->removeEventFilter(this);
}

void TVideoPanel::SetRenderProc(KrRenderProc Proc, intptr_t Instance)
{
    FProc = Proc;
    FInstance = Instance;
}

void TVideoPanel::StartRender()
{
    if (!FProc || FInstance == 0)
        return;
    FRendering = true;
    WatchOwnerWindow();
    update();
}

void TVideoPanel::StopRender()
{
    FRendering = false;
    update();
}

void TVideoPanel::WindowMessage(TMessage& Message)
{
    if (Message.Msg == KR_WM_RENDER_FRAME && FRendering)
        update();
}

LRESULT TVideoPanel::Forward(uint32_t Msg, WPARAM WParam, LPARAM LParam)
{
    if (!FRendering || !FProc)
        return 0;
    const HWND window = FWindow.Handle();
    const KrRenderProc proc = FProc;
    const intptr_t previous = SetWindowUserData(window, FInstance);
    LRESULT result = 0;
    try {
        result = proc(window, Msg, WParam, LParam);
    } catch (...) {
        // The engine's trouble must not take the window down; the next frame tries again.
    }
    SetWindowUserData(window, previous);
    return result;
}

void TVideoPanel::WatchOwnerWindow()
{
    QWidget* owner = window();
    if (owner == FOwnerWindow)
        return;
    if (FOwnerWindow)
        FOwnerWindow->removeEventFilter(this);
    FOwnerWindow = owner;
    owner->installEventFilter(this);
}

bool TVideoPanel::event(QEvent* Event)
{
    if (Event->type() == QEvent::ParentChange || Event->type() == QEvent::Show)
        WatchOwnerWindow();
    return QWidget::event(Event);
}

bool TVideoPanel::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FOwnerWindow) {
        if (Event->type() == QEvent::Move) {
            const QPoint position = FOwnerWindow->pos();
            Forward(KR_RENDER_MOVE, 0, PackPair(position.x(), position.y()));
        } else if (Event->type() == QEvent::ParentChange) {
            // The window holding the panel became part of another one.
            WatchOwnerWindow();
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void TVideoPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!FRendering || width() <= 0 || height() <= 0) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    QImage picture(size(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    KrPaintTarget target{picture.bits(), picture.width(), picture.height(),
                         int32_t(picture.bytesPerLine())};
    Forward(KR_RENDER_PAINT, 0, reinterpret_cast<LPARAM>(&target));
    // The engine writes 0 into each pixel's unused byte; RGB32 wants it 0xFF
    // there, or the picture blends as if transparent.
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            row[x] |= 0xFF000000u;
    }
    painter.drawImage(0, 0, picture);
}

void TVideoPanel::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    Forward(KR_RENDER_SIZE, 0, PackPair(width(), height()));
}

void TVideoPanel::mousePressEvent(QMouseEvent* Event)
{
    if (OnMouseDown)
        OnMouseDown(this, Event);
    else
        QWidget::mousePressEvent(Event);
}

void TVideoPanel::mouseMoveEvent(QMouseEvent* Event)
{
    if (OnMouseMove)
        OnMouseMove(this, Event);
    else
        QWidget::mouseMoveEvent(Event);
}

void TVideoPanel::mouseReleaseEvent(QMouseEvent* Event)
{
    if (OnMouseUp)
        OnMouseUp(this, Event);
    else
        QWidget::mouseReleaseEvent(Event);
}
