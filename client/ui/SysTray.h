#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QSystemTrayIcon;

// What the notification area reports of the mouse over the icon.
enum TTrayMouseMessage
{
    tmMouseMove,
    tmLButtonDown,
    tmLButtonUp,
    tmLButtonDblClk,
    tmRButtonDown,
    tmRButtonUp,
    tmRButtonDblClk,
    tmMButtonDown,
    tmMButtonUp,
    tmMButtonDblClk
};

// An icon in the notification area with a tooltip, mouse events and an
// optional pop-up menu. Where the system has no notification area it keeps
// its values and shows nothing.
class TSysTray : public QObject
{
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TSysTray* Sender)>;
    // The notification carries no shift state or position, only the button.
    using TMouseEvent = std::function<void(TSysTray* Sender, Qt::MouseButton Button, bool Double)>;
    using TNotifyQueryPopUp = std::function<void(TSysTray* Sender, bool& PopUp)>;

    static constexpr int MaxHintLength = 63;

    explicit TSysTray(QObject* Owner = nullptr);
    ~TSysTray() override;

    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    QMenu* PopupMenu() const { return FPopupMenu; }
    // Becomes empty when the menu is destroyed.
    void SetPopupMenu(QMenu* Menu);
    const QIcon& Icon() const { return FIcon; }
    // Empty: the application's icon is shown.
    void SetIcon(const QIcon& Icon);
    const QString& Hint() const { return FHint; }
    // At most MaxHintLength characters are kept.
    void SetHint(const QString& Hint);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseMove;
    TNotifyQueryPopUp OnPopUpQuery;

    // Runs the events for one mouse action over the icon.
    void HandleTrayMessage(TTrayMouseMessage MouseMessage);
    // How often the icon in the notification area was changed (shown,
    // hidden, new icon or tooltip), also where there is none.
    int TrayUpdates() const { return FTrayUpdates; }

private:
    void Activated(int Reason);
    void Dispatch(TTrayMouseMessage MouseMessage);
    void ShowPopupMenu();
    void UpdateTrayIcon();

    bool FVisible = false;
    QPointer<QMenu> FPopupMenu;
    QIcon FIcon;
    QString FHint;
    QSystemTrayIcon* FTrayIcon = nullptr; // none without a notification area
    int FTrayUpdates = 0;
};
