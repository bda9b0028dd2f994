#include "KrFrame.h"

TKrFrame::TKrFrame(QWidget* Owner) : QWidget(Owner)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

// A skin's style sheet must not give the frame a background either.
void TKrFrame::paintEvent(QPaintEvent*) {}
