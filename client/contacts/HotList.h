#pragma once

#include "contacts/AddressBook.h"
#include "engine/KrClient.h"
#include "startup/KrStrings.h"
#include "ui/SideWindow.h"

#include <QIcon>
#include <QList>
#include <QPixmap>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The address book window: the friends with their state, online ones or
// all, and a fold-out panel with the selected friend's photo and details.
class THotListForm : public TSideWindow, public TLocalizable
{
    Q_OBJECT
public:
    explicit THotListForm(QWidget* Parent = nullptr);
    ~THotListForm() override;

    void Localize() override;

    // Set by the main window.
    TKrBooks* KrBooks = nullptr;
    TKrCore* KrCore = nullptr;

    // Controls
    QToolButton* SeSkinButton3; // "Add new friend"
    QToolButton* SeSkinButton4; // "Delete friend"
    QPushButton* SeSkinButton5; // tab "Online Friends"
    QPushButton* SeSkinButton6; // tab "All Friends"
    QTreeWidget* UserList;      // column 0 the name, column 1 (hidden) the user ID
    QFrame* SeSkinPanel1;
    QLabel* TeLabel2; // panel header
    QToolButton* TeButton2;
    QLabel* Image1;
    QLabel* TeLabel1; // "Nick:"
    QLabel* TeLabel3;
    QLabel* TeLabel4; // "Gender:"
    QLabel* TeLabel5;
    QLabel* TeLabel7; // "Age:"
    QLabel* TeLabel6;
    QLabel* TeLabel8; // "Location:"
    QLabel* TeLabel9;
    QPushButton* btnGetMore;
    QMenu* SeSkinPopupMenu1;
    QAction* citUserProfile;
    QAction* CustomItem4; // "&Delete friend"

    static constexpr int PanelHeight = 162;
    static constexpr int FoldedHeight = 23;
    static constexpr int FoldStep = PanelHeight - 27;

    // Item role holding the state image index.
    static constexpr int StateImageRole = Qt::UserRole + 1;

    // State image for a status code; unknown codes pass through.
    static int StatusImage(int Status);
    // Tip for a state image; Tip stays as it is for an image without one.
    static void UserListInfoTip(int StateImage, QString& Tip);
    // The list column's caption for a tab's text: centred by leading spaces.
    static QString ColumnCaption(const QString& TabText);

    // -- Operations the main window calls
    void RefreshFromBook();
    void ShowUserDetails(const QString& UserID);
    void ShowUserPicture(const QString& UserID);
    void OpenSelectedProfile();
    void ClearSelection();

    // -- Handlers
    void SeSkinButton5Click(QObject* Sender);
    void SeSkinButton6Click(QObject* Sender);
    void SeSkinButton5MouseDown();
    void SeSkinButton3Click();
    void SeSkinButton4Click();
    void UserListSelectItem();
    void UserListEnter();
    void UserListDblClick();
    void TeButton2Click();
    void Image1DblClick();
    void SeSkinPopupMenu1Popup();

    // State
    int CurrentTab() const { return FCurrentTab; }
    bool PanelCollapsed() const { return FCollapsed; }
    int RememberedIndex() const { return FLastIndex; }
    QString RememberedUserID() const { return FSelectedUID; }
    bool PhotoShown() const { return FPhotoShown; }
    const TUserInfoRecord& Details() const { return FDetails; }
    QTreeWidgetItem* SelectedItem() const;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    void FormCreate();
    void FormShow();
    void FormHide();
    void ShowTab(int Tab, QObject* Sender);
    void FillList(const QList<const TBookRecord*>& Records);
    void LoadSelectedFriend(bool WithPhoto);
    void ShowBlankPicture();
    void PlaceList();
    bool CanModifyBook() const;

    QList<QIcon> UserStatusList;
    int FCurrentTab = 1;
    bool FCollapsed = true;
    int FLastIndex = -1;
    QString FSelectedUID;
    bool FRefreshing = false;
    bool FPhotoShown = false;
    TUserInfoRecord FDetails;
    QPixmap FNoPhoto;
    QPixmap FBlank;
};

extern THotListForm* HotListForm;
