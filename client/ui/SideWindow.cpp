#include "SideWindow.h"

TSideWindow::TSideWindow(const QString& Caption, QSize ClientSize, QWidget* Parent)
    : QWidget(Parent, Qt::Window)
{
    setWindowTitle(Caption);
    resize(ClientSize);
}
