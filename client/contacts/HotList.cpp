#include "HotList.h"

#include "contacts/AddNew.h"
#include "mainwindow/ImageLists.h"
#include "mainwindow/MainScreen.h"
#include "ui/MessageDlg.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

THotListForm* HotListForm = nullptr;

namespace {

constexpr int StatusRole = THotListForm::StateImageRole + 1;
constexpr int ConferenceRole = THotListForm::StateImageRole + 2;
constexpr QSize PhotoSize(160, 120);

QLabel* MakeLabel(QWidget* Parent, const QRect& Geometry)
{
    auto label = new QLabel(Parent);
    label->setGeometry(Geometry);
    // Values come from the service: never let them be read as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

THotListForm::THotListForm(QWidget* Parent)
    : TSideWindow(QStringLiteral("Address Book"), {301, 498}, Parent)
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(301, 498);
    UserStatusList = MakeUserStatusImages();

    SeSkinButton3 = new QToolButton(this);
    SeSkinButton3->setGeometry(1, 1, 110, 22);
    SeSkinButton3->setEnabled(false);
    SeSkinButton4 = new QToolButton(this);
    SeSkinButton4->setGeometry(112, 1, 110, 22);
    SeSkinButton4->setEnabled(false);
    SeSkinButton5 = new QPushButton(this);
    SeSkinButton5->resize(110, 22);
    SeSkinButton6 = new QPushButton(this);
    SeSkinButton6->resize(110, 22);

    UserList = new QTreeWidget(this);
    UserList->setColumnCount(2);
    UserList->hideColumn(1);
    UserList->setRootIsDecorated(false);
    UserList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    UserList->setSelectionMode(QAbstractItemView::SingleSelection);
    UserList->setUniformRowHeights(true);
    UserList->setContextMenuPolicy(Qt::CustomContextMenu);
    UserList->header()->setSectionResizeMode(QHeaderView::Fixed);
    UserList->header()->setSectionsMovable(false);

    SeSkinPanel1 = new QFrame(this);
    SeSkinPanel1->setFrameShape(QFrame::StyledPanel);
    TeLabel2 = new QLabel(SeSkinPanel1);
    TeLabel2->setGeometry(6, 2, 260, 20);
    TeButton2 = new QToolButton(SeSkinPanel1);
    TeButton2->setGeometry(276, 1, 20, 20);
    TeButton2->setIcon(UserStatusList.value(7));
    auto photoFrame = new QFrame(SeSkinPanel1);
    photoFrame->setFrameShape(QFrame::Box);
    photoFrame->setGeometry(5, 28, PhotoSize.width() + 2, PhotoSize.height() + 2);
    Image1 = new QLabel(photoFrame);
    Image1->setGeometry(1, 1, PhotoSize.width(), PhotoSize.height());
    Image1->setAlignment(Qt::AlignCenter);
    TeLabel1 = MakeLabel(SeSkinPanel1, {172, 28, 124, 16});
    TeLabel3 = MakeLabel(SeSkinPanel1, {172, 44, 124, 16});
    TeLabel4 = MakeLabel(SeSkinPanel1, {172, 62, 124, 16});
    TeLabel5 = MakeLabel(SeSkinPanel1, {172, 78, 124, 16});
    TeLabel7 = MakeLabel(SeSkinPanel1, {172, 96, 60, 16});
    TeLabel6 = MakeLabel(SeSkinPanel1, {232, 96, 64, 16});
    TeLabel8 = MakeLabel(SeSkinPanel1, {172, 112, 124, 16});
    TeLabel9 = MakeLabel(SeSkinPanel1, {172, 128, 124, 16});
    btnGetMore = new QPushButton(SeSkinPanel1);
    btnGetMore->setGeometry(196, 134, 100, 24);

    SeSkinPopupMenu1 = new QMenu(this);
    citUserProfile = SeSkinPopupMenu1->addAction(QString());
    CustomItem4 = SeSkinPopupMenu1->addAction(QString());

    connect(SeSkinButton3, &QToolButton::clicked, this, [this] { SeSkinButton3Click(); });
    connect(SeSkinButton4, &QToolButton::clicked, this, [this] { SeSkinButton4Click(); });
    connect(CustomItem4, &QAction::triggered, this, [this] { SeSkinButton4Click(); });
    connect(SeSkinButton5, &QPushButton::clicked, this,
            [this] { SeSkinButton5Click(SeSkinButton5); });
    connect(SeSkinButton6, &QPushButton::clicked, this,
            [this] { SeSkinButton6Click(SeSkinButton6); });
    connect(UserList, &QTreeWidget::itemSelectionChanged, this, [this] { UserListSelectItem(); });
    connect(UserList, &QWidget::customContextMenuRequested, this, [this](const QPoint& Pos) {
        SeSkinPopupMenu1Popup();
        SeSkinPopupMenu1->popup(UserList->viewport()->mapToGlobal(Pos));
    });
    connect(TeButton2, &QToolButton::clicked, this, [this] { TeButton2Click(); });
    const auto showProfile = [] {
        if (MainForm)
            MainForm->ActionShowUserProfile->trigger();
    };
    connect(citUserProfile, &QAction::triggered, this, showProfile);
    connect(btnGetMore, &QPushButton::clicked, this, showProfile);
    for (QObject* watched : std::initializer_list<QObject*>{SeSkinButton5, SeSkinButton6, UserList,
                                                            UserList->viewport(), TeLabel2, Image1})
        watched->installEventFilter(this);

    FormCreate();
}

THotListForm::~THotListForm()
{
    if (HotListForm == this)
        HotListForm = nullptr;
}

void THotListForm::FormCreate()
{
    QPalette palette = UserList->palette();
    palette.setColor(QPalette::Base, Qt::white);
    UserList->setPalette(palette);
    FLastIndex = -1;
    FCurrentTab = 1;
    Localize();
    SeSkinPanel1->setGeometry(0, 341, width(), PanelHeight);
    SeSkinButton5->move(1, 24);
    SeSkinButton6->move(SeSkinButton5->geometry().right() + 1, 24);
    PlaceList();
    UserList->setColumnWidth(0, 300);

    FBlank = QPixmap(PhotoSize);
    FBlank.fill(Qt::black);
    if (ResourceExists(QStringLiteral("NOPHOTO")))
        FNoPhoto.load(QStringLiteral(":/raw/NOPHOTO"), "GIF");
}

void THotListForm::Localize()
{
    setWindowTitle(LoadLocalizedString(55138));
    SeSkinButton3->setText(LoadLocalizedString(55095));
    SeSkinButton3->setToolTip(SeSkinButton3->text());
    SeSkinButton4->setText(LoadLocalizedString(55097));
    SeSkinButton4->setToolTip(SeSkinButton4->text());
    SeSkinButton5->setText(LoadLocalizedString(55099));
    SeSkinButton6->setText(LoadLocalizedString(55100));
    CustomItem4->setText(LoadLocalizedString(55098));
    citUserProfile->setText(LoadLocalizedString(55327));
    TeLabel2->setText(LoadLocalizedString(55172));
    TeLabel1->setText(LoadLocalizedString(55178));
    TeLabel4->setText(LoadLocalizedString(55363));
    TeLabel7->setText(LoadLocalizedString(55365));
    TeLabel8->setText(LoadLocalizedString(55367));
    btnGetMore->setText(LoadLocalizedString(55324));
    UserList->headerItem()->setText(
        0, ColumnCaption(FCurrentTab == 1 ? SeSkinButton5->text() : SeSkinButton6->text()));
}

// ---- Pure rules --------------------------------------------------------------------------

int THotListForm::StatusImage(int Status)
{
    switch (Status) {
    case -1:
        return 3;
    case 3:
    case 4:
        return 4;
    default:
        return Status;
    }
}

void THotListForm::UserListInfoTip(int StateImage, QString& Tip)
{
    static constexpr int Texts[] = {55311, 55310, 55312, 55313, 55314, 55315};
    if (StateImage >= 0 && StateImage < int(std::size(Texts)))
        Tip = LoadLocalizedString(Texts[StateImage]);
}

QString THotListForm::ColumnCaption(const QString& TabText)
{
    const qsizetype spaces = 45 - TabText.size() / 2;
    return spaces > 0 ? QString(spaces, QLatin1Char(' ')) + TabText : TabText;
}

// ---- Showing and hiding -------------------------------------------------------------------

void THotListForm::showEvent(QShowEvent* Event)
{
    TSideWindow::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

void THotListForm::hideEvent(QHideEvent* Event)
{
    TSideWindow::hideEvent(Event);
    if (!Event->spontaneous())
        FormHide();
}

void THotListForm::changeEvent(QEvent* Event)
{
    TSideWindow::changeEvent(Event);
    if (Event->type() == QEvent::ActivationChange && !isActiveWindow())
        UserList->clearSelection();
}

void THotListForm::FormShow()
{
    if (MainForm)
        MainForm->ActionBook->setChecked(true);
    SeSkinButton5Click(this);
    SeSkinButton5->setFocus();
    FCollapsed = true;
    TeButton2->setIcon(UserStatusList.value(7));
    SeSkinPanel1->move(0, height() - 22);
    PlaceList();
    btnGetMore->setText(LoadLocalizedString(55324));
}

void THotListForm::FormHide()
{
    if (MainForm)
        MainForm->ActionBook->setChecked(false);
    if (!FCollapsed)
        TeButton2Click();
}

void THotListForm::PlaceList()
{
    const int top = SeSkinButton5->geometry().bottom() + 2;
    UserList->setGeometry(0, top, width(), std::max(0, SeSkinPanel1->y() - top - 1));
}

bool THotListForm::eventFilter(QObject* Watched, QEvent* Event)
{
    switch (Event->type()) {
    case QEvent::MouseButtonPress:
        if (Watched == SeSkinButton5 || Watched == SeSkinButton6)
            SeSkinButton5MouseDown();
        else if (Watched == TeLabel2)
            TeButton2Click();
        break;
    case QEvent::MouseButtonDblClick:
        if (Watched == UserList->viewport())
            UserListDblClick();
        else if (Watched == Image1)
            Image1DblClick();
        break;
    case QEvent::FocusIn:
        if (Watched == UserList)
            UserListEnter();
        break;
    case QEvent::KeyPress:
        if (Watched == UserList) {
            const int key = static_cast<QKeyEvent*>(Event)->key();
            if (key == Qt::Key_Delete) {
                if (SeSkinButton4->isEnabled())
                    SeSkinButton4->click();
                return true;
            }
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                UserListDblClick();
                return true;
            }
        }
        break;
    default:
        break;
    }
    return TSideWindow::eventFilter(Watched, Event);
}

// ---- The list -----------------------------------------------------------------------------

QTreeWidgetItem* THotListForm::SelectedItem() const
{
    return UserList->selectedItems().value(0);
}

bool THotListForm::CanModifyBook() const
{
    return KrCore && KrCore->Rights().count(arModifyAB) != 0;
}

void THotListForm::SeSkinButton5Click(QObject* Sender)
{
    ShowTab(1, Sender);
}

void THotListForm::SeSkinButton6Click(QObject* Sender)
{
    ShowTab(2, Sender);
}

void THotListForm::ShowTab(int Tab, QObject* Sender)
{
    if (!FCollapsed && Sender)
        TeButton2Click();
    QList<const TBookRecord*> records;
    if (KrBooks)
        KrBooks->CopyList(records, Tab == 1 ? 1 : 0);
    FillList(records);
    UserList->headerItem()->setText(
        0, ColumnCaption(Tab == 1 ? SeSkinButton5->text() : SeSkinButton6->text()));
    FCurrentTab = Tab;
}

void THotListForm::FillList(const QList<const TBookRecord*>& Records)
{
    const QTreeWidgetItem* selected = SelectedItem();
    const QString selectedUID = selected ? selected->text(1) : QString();
    QTreeWidgetItem* reselected = nullptr;
    {
        // The refill is one change to the user: the selection handler runs
        // at most once, afterwards, and only when the selected friend left.
        const QSignalBlocker blocker(UserList);
        UserList->setUpdatesEnabled(false);
        for (qsizetype i = 0; i < Records.size(); ++i) {
            const TBookRecord& record = *Records.at(i);
            QTreeWidgetItem* item = i < UserList->topLevelItemCount()
                                        ? UserList->topLevelItem(int(i))
                                        : new QTreeWidgetItem(UserList, {QString(), QString()});
            const int image = StatusImage(record.Status);
            item->setText(0, record.DisplayName);
            item->setText(1, record.UserID);
            item->setIcon(0, UserStatusList.value(image));
            item->setData(0, StateImageRole, image);
            item->setData(0, StatusRole, record.Status);
            item->setData(0, ConferenceRole, record.Conference);
            QString tip = item->toolTip(0);
            UserListInfoTip(image, tip);
            item->setToolTip(0, tip);
        }
        while (UserList->topLevelItemCount() > Records.size())
            delete UserList->takeTopLevelItem(UserList->topLevelItemCount() - 1);

        QList<QTreeWidgetItem*> items = UserList->invisibleRootItem()->takeChildren();
        std::stable_sort(
            items.begin(), items.end(), [](const QTreeWidgetItem* A, const QTreeWidgetItem* B) {
                const int order = QString::compare(A->text(0), B->text(0), Qt::CaseInsensitive);
                return order != 0 ? order < 0 : A->text(0) < B->text(0);
            });
        UserList->addTopLevelItems(items);

        if (!selectedUID.isEmpty())
            for (QTreeWidgetItem* item : std::as_const(items))
                if (item->text(1) == selectedUID) {
                    reselected = item;
                    UserList->setCurrentItem(item);
                    break;
                }
        if (!reselected)
            UserList->clearSelection();
        UserList->setUpdatesEnabled(true);
    }
    if (reselected) {
        FLastIndex = UserList->indexOfTopLevelItem(reselected);
        UserList->scrollToItem(reselected);
    } else if (!selectedUID.isEmpty()) {
        UserListSelectItem();
    }
}

void THotListForm::RefreshFromBook()
{
    FRefreshing = true;
    if (FCurrentTab == 2)
        SeSkinButton6Click(nullptr);
    else
        SeSkinButton5Click(nullptr);
    FRefreshing = false;
}

void THotListForm::UserListSelectItem()
{
    QTreeWidgetItem* item = SelectedItem();
    if (item)
        FLastIndex = UserList->indexOfTopLevelItem(item);
    if ((!FCollapsed && !FRefreshing) || !FPhotoShown)
        LoadSelectedFriend(true);
    if (item && CanModifyBook()) {
        if (MainForm)
            MainForm->UserListClick(this, {item->text(1)});
        SeSkinButton4->setEnabled(true);
    } else {
        SeSkinButton4->setEnabled(false);
    }
    if (item)
        FSelectedUID = item->text(1);
}

void THotListForm::UserListEnter()
{
    // Deleting needs the right to change the address book, however the list got the focus.
    if (SelectedItem() && CanModifyBook())
        SeSkinButton4->setEnabled(true);
}

void THotListForm::UserListDblClick()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item && !FSelectedUID.isEmpty()) {
        const QList<QTreeWidgetItem*> found =
            UserList->findItems(FSelectedUID, Qt::MatchExactly | Qt::MatchCaseSensitive, 1);
        item = found.value(0);
    }
    if (!item || !MainForm)
        return;
    MainForm->UserListDblClick(item->text(1), item->data(0, ConferenceRole).toString(),
                               item->data(0, StatusRole).toInt(),
                               item->data(0, StateImageRole).toInt());
}

void THotListForm::SeSkinButton5MouseDown()
{
    ClearSelection();
}

void THotListForm::ClearSelection()
{
    UserList->clearSelection();
    FSelectedUID.clear();
    ShowBlankPicture();
    FDetails = TUserInfoRecord();
    for (QLabel* label : {TeLabel3, TeLabel5, TeLabel6, TeLabel9})
        label->clear();
}

void THotListForm::SeSkinPopupMenu1Popup()
{
    const bool enabled = SelectedItem() && CanModifyBook();
    CustomItem4->setEnabled(enabled);
    citUserProfile->setEnabled(enabled);
    if (MainForm)
        MainForm->ActionShowUserProfile->setEnabled(enabled);
}

// ---- Adding and deleting ------------------------------------------------------------------

void THotListForm::SeSkinButton3Click()
{
    TAddNewForm dialog(KrBooks, this);
    dialog.setObjectName(QStringLiteral("AddNewForm"));
    if (KrCore && KrCore->StatusMode() == 4 && KrCore->ConferenceType() == ctPrivate)
        dialog.SeSkinEdit1->setText(KrCore->GetPeerName());
    dialog.exec();
}

void THotListForm::SeSkinButton4Click()
{
    const QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    // Copies: the list may be refilled while the question is open.
    const QString caption = item->text(0);
    const QString userID = item->text(1);
    const TKrMessageDlg own(this);
    const TKrMessageDlg& messages = MainForm ? MainForm->IncCallMessage : own;
    if (messages.MessageDlg(FormatText(LoadLocalizedString(55320), {caption}), mtConfirmation,
                            mbYes | mbNo) != mrYes)
        return;
    if (KrBooks)
        KrBooks->DeleteFriend(caption, userID);
    SeSkinButton4->setEnabled(false);
    ClearSelection();
}

// ---- Details panel ------------------------------------------------------------------------

void THotListForm::TeButton2Click()
{
    if (FCollapsed) {
        LoadSelectedFriend(true);
        SeSkinPanel1->setGeometry(SeSkinPanel1->x(), SeSkinPanel1->y() - FoldStep,
                                  SeSkinPanel1->width(), PanelHeight);
        PlaceList();
        FCollapsed = false;
        TeButton2->setIcon(UserStatusList.value(6));
    } else {
        SeSkinPanel1->setGeometry(SeSkinPanel1->x(), SeSkinPanel1->y() + FoldStep,
                                  SeSkinPanel1->width(), FoldedHeight);
        PlaceList();
        UserList->viewport()->update();
        if (FLastIndex >= 0 && FLastIndex < UserList->topLevelItemCount())
            UserList->setCurrentItem(UserList->topLevelItem(FLastIndex));
        FCollapsed = true;
        TeButton2->setIcon(UserStatusList.value(7));
    }
    if (isVisible()) {
        UserList->setFocus();
        // The list's height changed: keep the selected friend in view.
        if (QTreeWidgetItem* item = SelectedItem())
            UserList->scrollToItem(item);
    }
}

void THotListForm::Image1DblClick()
{
    if (MainForm)
        MainForm->ActionShowUserProfile->trigger();
}

void THotListForm::ShowBlankPicture()
{
    Image1->setPixmap(FBlank);
}

void THotListForm::LoadSelectedFriend(bool WithPhoto)
{
    const QTreeWidgetItem* item = SelectedItem();
    if (!isVisible() || !item)
        return;
    const QString userID = item->text(1);
    ShowUserDetails(userID);
    if (!WithPhoto)
        return;
    ShowBlankPicture();
    const void* data = nullptr;
    int size = 0;
    QString format;
    bool shown = KrCore && KrCore->GetUserPhoto(userID, data, size, format);
    if (shown) {
        const qint64 blank = Image1->pixmap().cacheKey();
        LoadPictureFromBuffer(Image1, data, size, format);
        // A photo that does not decode counts as none.
        shown = Image1->pixmap().cacheKey() != blank;
    }
    FPhotoShown = shown;
    if (!shown && !FNoPhoto.isNull())
        Image1->setPixmap(FNoPhoto);
}

void THotListForm::ShowUserDetails(const QString& UserID)
{
    FDetails = TUserInfoRecord();
    const QTreeWidgetItem* item = SelectedItem();
    if (!item || item->text(1) != UserID || !KrCore)
        return;
    KrCore->ReadUserInfo(UserID, FDetails);
    const QString none = LoadLocalizedString(55321);
    TeLabel3->setText(FDetails.Nick);
    const QString& gender = FDetails.Gender;
    TeLabel5->setText(gender == QLatin1String("m")   ? LoadLocalizedString(55322)
                      : gender == QLatin1String("f") ? LoadLocalizedString(55323)
                      : !gender.isEmpty() && gender != QLatin1String(" ") ? gender
                                                                          : none);
    TeLabel6->setText(FDetails.Age.isEmpty() ? none : FDetails.Age);
    TeLabel9->setText(FDetails.Location.isEmpty() ? none : FDetails.Location);
}

void THotListForm::ShowUserPicture(const QString& UserID)
{
    const QTreeWidgetItem* item = SelectedItem();
    if (!item || item->text(1) != UserID || !KrCore)
        return;
    const void* data = nullptr;
    int size = 0;
    QString format;
    if (!KrCore->GetUserPhoto(UserID, data, size, format))
        return;
    const qint64 before = Image1->pixmap().cacheKey();
    LoadPictureFromBuffer(Image1, data, size, format);
    if (Image1->pixmap().cacheKey() != before)
        FPhotoShown = true;
}

void THotListForm::OpenSelectedProfile()
{
    if (FSelectedUID.isEmpty() || !MainForm)
        return;
    // The profile window is not part of the program yet; opening it goes here.
}
