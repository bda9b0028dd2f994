#pragma once

#include "engine/KrClient.h"
#include "orvanta.h"
#include "platform/Messages.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QMouseEvent;

// A black panel the engine draws video into. While rendering is on, the
// panel's paint, size and owner-window move messages go to the engine's
// render procedure, with the engine's instance as the panel window's user
// data for the duration of each call.
class TVideoPanel : public QWidget, public IVideoPanel
{
    Q_OBJECT
public:
    using TPanelMouseEvent = std::function<void(TVideoPanel* Sender, QMouseEvent* Event)>;

    explicit TVideoPanel(QWidget* Owner = nullptr);
    ~TVideoPanel() override;

    KrRenderProc dwProc() const { return FProc; }
    intptr_t dwInstance() const { return FInstance; }
    bool Rendering() const { return FRendering; }

    HWND WindowHandle() const override { return FWindow.Handle(); }
    void SetRenderProc(KrRenderProc Proc, intptr_t Instance) override;
    // Only with both a procedure and an instance.
    void StartRender() override;
    void StopRender() override;
    KrRenderProc RenderProc() const override { return FProc; }
    intptr_t RenderInstance() const override { return FInstance; }

    TPanelMouseEvent OnMouseDown;
    TPanelMouseEvent OnMouseMove;
    TPanelMouseEvent OnMouseUp;

    static constexpr int DefaultWidth = 320;
    static constexpr int DefaultHeight = 240;

protected:
    bool event(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    void WindowMessage(TMessage& Message);
    LRESULT Forward(uint32_t Msg, WPARAM WParam, LPARAM LParam);
    void WatchOwnerWindow();

    TMessageTarget FWindow;
    KrRenderProc FProc = nullptr;
    intptr_t FInstance = 0;
    bool FRendering = false;
    QPointer<QWidget> FOwnerWindow; // the top-level window whose moves the engine hears of
};
