#include "SysTray.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

TSysTray::TSysTray(QObject* Owner) : QObject(Owner)
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        FTrayIcon = new QSystemTrayIcon(this);
        connect(FTrayIcon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason Reason) { Activated(int(Reason)); });
    }
}

TSysTray::~TSysTray()
{
    if (FTrayIcon)
        FTrayIcon->hide();
}

void TSysTray::SetVisible(bool Value)
{
    FVisible = Value;
    UpdateTrayIcon();
}

void TSysTray::SetPopupMenu(QMenu* Menu)
{
    FPopupMenu = Menu;
}

void TSysTray::SetIcon(const QIcon& Icon)
{
    FIcon = Icon;
    UpdateTrayIcon();
}

void TSysTray::SetHint(const QString& Hint)
{
    const QString hint = Hint.left(MaxHintLength);
    if (hint == FHint)
        return;
    FHint = hint;
    UpdateTrayIcon();
}

void TSysTray::UpdateTrayIcon()
{
    ++FTrayUpdates;
    if (!FTrayIcon)
        return;
    FTrayIcon->setIcon(FIcon.isNull() ? QApplication::windowIcon() : FIcon);
    FTrayIcon->setToolTip(FHint);
    FTrayIcon->setVisible(FVisible);
}

// The system reports whole actions, not single button changes.
void TSysTray::Activated(int Reason)
{
    switch (QSystemTrayIcon::ActivationReason(Reason)) {
    case QSystemTrayIcon::Trigger:
        HandleTrayMessage(tmLButtonDown);
        HandleTrayMessage(tmLButtonUp);
        break;
    case QSystemTrayIcon::DoubleClick:
        HandleTrayMessage(tmLButtonDblClk);
        break;
    case QSystemTrayIcon::Context:
        HandleTrayMessage(tmRButtonDown);
        HandleTrayMessage(tmRButtonUp);
        break;
    case QSystemTrayIcon::MiddleClick:
        HandleTrayMessage(tmMButtonDown);
        HandleTrayMessage(tmMButtonUp);
        break;
    default:
        break;
    }
}

void TSysTray::HandleTrayMessage(TTrayMouseMessage MouseMessage)
{
    try {
        Dispatch(MouseMessage);
    } catch (...) {
        // A failing handler must not cost the program its tray icon.
    }
}

void TSysTray::Dispatch(TTrayMouseMessage MouseMessage)
{
    const auto down = [this](Qt::MouseButton Button, bool Double) {
        if (OnMouseDown)
            OnMouseDown(this, Button, Double);
    };
    const auto up = [this](Qt::MouseButton Button) {
        if (OnMouseUp)
            OnMouseUp(this, Button, false);
    };
    switch (MouseMessage) {
    case tmMouseMove:
        if (OnMouseMove)
            OnMouseMove(this);
        break;
    case tmLButtonDown:
        down(Qt::LeftButton, false);
        break;
    case tmLButtonUp:
        if (OnClick)
            OnClick(this);
        up(Qt::LeftButton);
        break;
    case tmLButtonDblClk:
        if (OnDblClick)
            OnDblClick(this);
        down(Qt::LeftButton, true);
        break;
    case tmRButtonDown:
        down(Qt::RightButton, false);
        ShowPopupMenu();
        break;
    case tmRButtonUp:
        up(Qt::RightButton);
        break;
    case tmRButtonDblClk:
        down(Qt::RightButton, true);
        break;
    case tmMButtonDown:
        down(Qt::MiddleButton, false);
        break;
    case tmMButtonUp:
        up(Qt::MiddleButton);
        break;
    case tmMButtonDblClk:
        down(Qt::MiddleButton, true);
        break;
    }
}

void TSysTray::ShowPopupMenu()
{
    if (!FPopupMenu)
        return;
    bool popUp = true;
    if (OnPopUpQuery)
        OnPopUpQuery(this, popUp);
    // The handler may have destroyed the menu.
    if (popUp && FPopupMenu)
        FPopupMenu->popup(QCursor::pos());
}
