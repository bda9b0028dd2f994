#include "SelfViewUnit.h"

#include "VideoPanel.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QMouseEvent>

TSelfMainForm::TSelfMainForm(QWidget* Owner)
    : QWidget(Owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      TeGroupBox1(new QGroupBox(this)), SelfVideoPanel(new TVideoPanel(TeGroupBox1))
{
    setFixedSize(ClientWidth, ClientHeight);
    TeGroupBox1->setFlat(true);
    TeGroupBox1->setStyleSheet(
        QStringLiteral("QGroupBox { border: none; background: transparent; }"));
    TeGroupBox1->setGeometry(0, 0, ClientWidth, ClientHeight);
    SelfVideoPanel->setGeometry(4, 2, 160, 120);
    SelfVideoPanel->OnMouseDown = [this](TVideoPanel*, QMouseEvent* Event) {
        SelfVideoPanelMouseDown(Event);
    };
    SelfVideoPanel->OnMouseMove = [this](TVideoPanel*, QMouseEvent* Event) {
        SelfVideoPanelMouseMove(Event);
    };
    SelfVideoPanel->OnMouseUp = [this](TVideoPanel*, QMouseEvent* Event) {
        SelfVideoPanelMouseUp(Event);
    };
    FormCreate();
}

void TSelfMainForm::FormCreate()
{
    FDragging = false;
    Localize();
}

void TSelfMainForm::Localize()
{
    setWindowTitle(LoadLocalizedString(55347));
}

void TSelfMainForm::closeEvent(QCloseEvent* Event)
{
    // Accepted without delete-on-close: the window is only hidden.
    QWidget::closeEvent(Event);
    FormClose();
}

void TSelfMainForm::FormClose()
{
    FDragging = false;
    if (OnClosed)
        OnClosed();
}

void TSelfMainForm::SelfVideoPanelMouseDown(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton)
        return;
    FDragging = true;
    FDragStart = Event->position().toPoint();
}

void TSelfMainForm::SelfVideoPanelMouseMove(QMouseEvent* Event)
{
    if (!FDragging)
        return;
    move(pos() + Event->position().toPoint() - FDragStart);
}

void TSelfMainForm::SelfVideoPanelMouseUp(QMouseEvent*)
{
    FDragging = false;
}
