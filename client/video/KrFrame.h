#pragma once

#include <QWidget>

// A frame that draws nothing of its own: the window behind it shows through
// around its controls, whatever the skin gives other widgets.
class TKrFrame : public QWidget
{
    Q_OBJECT
public:
    explicit TKrFrame(QWidget* Owner = nullptr);
};
