#include "KrFrame.h"

TKrFrame::TKrFrame(QWidget* Owner) : QWidget(Owner)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}
