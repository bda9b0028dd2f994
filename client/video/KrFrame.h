#pragma once

#include <QWidget>

// A frame that draws nothing of its own: the window behind it shows through
// around its controls.
class TKrFrame : public QWidget
{
    Q_OBJECT
public:
    explicit TKrFrame(QWidget* Owner = nullptr);

protected:
    void paintEvent(QPaintEvent* Event) override;
};
