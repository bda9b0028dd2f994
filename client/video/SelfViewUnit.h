#pragma once

#include "startup/KrStrings.h"

#include <QPoint>
#include <QWidget>
#include <functional>

class QGroupBox;
class QMouseEvent;
class TVideoPanel;

// The small floating window with the user's own camera picture, dragged by
// its video. Closing it only hides it.
class TSelfMainForm : public QWidget, public TLocalizable
{
    Q_OBJECT
public:
    explicit TSelfMainForm(QWidget* Owner = nullptr);

    void Localize() override;

    QGroupBox* TeGroupBox1;
    TVideoPanel* SelfVideoPanel;

    // Told when the user has closed the window.
    std::function<void()> OnClosed;

    static constexpr int ClientWidth = 168;
    static constexpr int ClientHeight = 126;

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void FormCreate();
    void FormClose();
    void SelfVideoPanelMouseDown(QMouseEvent* Event);
    void SelfVideoPanelMouseMove(QMouseEvent* Event);
    void SelfVideoPanelMouseUp(QMouseEvent* Event);

    bool FDragging = false;
    QPoint FDragStart; // where the drag began, within the panel
};
