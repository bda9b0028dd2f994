// The main window: its controls, creation, languages, side windows, the tray
// and shutdown. Mode handling, calls and failures live in the other
// MainScreen*.cpp files.
#include "MainScreen.h"

#include "FormIncomming.h"
#include "FormWarning.h"
#include "ImageLists.h"
#include "MainScreenParts.h"
#include "chat/chat.h"
#include "contacts/AddressBook.h"
#include "contacts/DirectorySearch.h"
#include "contacts/History.h"
#include "contacts/HotList.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "setup/Authentication.h"
#include "setup/WizardsInfo.h"
#include "startup/Splash.h"
#include "startup/StartupValues.h"
#include "ui/SysTray.h"
#include "ui/WavePlay.h"
#include "video/FrameOffline.h"
#include "video/SelfPanel.h"
#include "video/SelfViewUnit.h"
#include "video/VideoPanel.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

TMainForm* MainForm = nullptr;

std::function<quint32()> TMainForm::TickCount = [] {
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return quint32(clock.elapsed());
};

namespace {

const QString CurrentConfigurationKey = QStringLiteral("\\Current configuration");

QString ApplicationKey(const TKrCore& Core)
{
    return QStringLiteral("\\Software\\") + Core.RegString;
}

QString ProgramFolder()
{
    return QFileInfo(TKrCore::GetAppFileName()).absolutePath();
}

bool ReadBoolSetting(TKrCore& Core, const QString& Name)
{
    TKrValue value;
    Core.ReadSetting(Name, false, value);
    return value.AsBoolean();
}

// The chat colour is kept as the engine's flag holds it: red in the low byte,
// then green, then blue.
QColor ColorFromFlag(int Value)
{
    return QColor(Value & 0xFF, (Value >> 8) & 0xFF, (Value >> 16) & 0xFF);
}

int ColorToFlag(const QColor& Color)
{
    return Color.red() | (Color.green() << 8) | (Color.blue() << 16);
}

QToolButton* ActionButton(QAction* Action, QWidget* Parent)
{
    auto button = new QToolButton(Parent);
    button->setDefaultAction(Action);
    button->setAutoRaise(true);
    return button;
}

QSlider* Bar(int Maximum, Qt::Orientation Orientation, QWidget* Parent)
{
    auto bar = new QSlider(Orientation, Parent);
    bar->setRange(0, Maximum);
    return bar;
}

} // namespace

// ---- Status bar panels -------------------------------------------------------

TStatusPanel::TStatusPanel(QWidget* Parent) : QWidget(Parent)
{
    auto layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    FImage = new QLabel(this);
    FImage->setFixedSize(16, 16);
    FText = new QLabel(this);
    layout->addWidget(FImage);
    layout->addWidget(FText, 1);
    FImage->hide();
}

void TStatusPanel::SetText(const QString& Text)
{
    FText->setText(Text);
}

QString TStatusPanel::Text() const
{
    return FText->text();
}

void TStatusPanel::SetImage(int Index, const QList<QIcon>& Images)
{
    FImageIndex = Index;
    FImage->setVisible(Index >= 0 && Index < Images.size());
    if (FImage->isVisible())
        FImage->setPixmap(Images.at(Index).pixmap(16, 16));
}

void TStatusPanel::SetPanelWidth(int Width)
{
    FWidth = qMax(0, Width);
    setFixedWidth(FWidth);
    setVisible(FWidth > 0);
}

// ---- Creation ------------------------------------------------------------------

TMainForm::TMainForm(QWidget* Parent)
    : QMainWindow(Parent), KrCore(new TKrCore(this)), KrBooks(new TKrBooks(this)),
      IncCallMessage(this)
{
    MainForm = this;
    MainWindowClosing = true;
    FWindow = std::make_unique<TMessageTarget>(
        [this](TMessage& Message) { HandleWindowMessage(Message); });
    KrCore->SetMessageObject(FWindow.get());
    CreateComponents();
    CreateActions();
    CreateControls();
    CreateMenus();
    FormCreate();
}

TMainForm::~TMainForm()
{
    if (!FClosed)
        FormClose();
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::CreateComponents()
{
    FImageList = MakeStateImages();
    FQualityList = MakeQualityImages();
    FStatusImages = MakeStatusImages();
    FButtonImages = MakeButtonImages();

    Tray = new TSysTray(this);
    TrayMenu = new QMenu(this);

    const auto wave = [this](const char* Resource, bool Loop) {
        auto player = new TWavePlayer(this);
        QFile file(QStringLiteral(":/raw/") + QLatin1String(Resource));
        if (file.open(QIODevice::ReadOnly))
            player->Sound = file.readAll();
        player->Loop = Loop;
        return player;
    };
    WaitWave = wave("WAITWAVE", true);
    BusyWave = wave("BUSYWAVE", true);
    RingWave = wave("RINGWAVE", true);
    EchoWave = wave("ECHOWAVE", false);

    const auto timer = [this](int Interval, void (TMainForm::*Handler)()) {
        auto t = new QTimer(this);
        t->setInterval(Interval);
        connect(t, &QTimer::timeout, this, Handler);
        return t;
    };
    StatTimer = timer(1000, &TMainForm::StatTimerTimer);
    QualityTimer = timer(1000, &TMainForm::QualityTimerTimer);
    BusyTimer = timer(5000, &TMainForm::StopBusySignal);
    WaitTimer = timer(25000, &TMainForm::WaitTimerTimer);
    CallTimer = timer(100, &TMainForm::CallTimerTimer);

    KrCore->OnModeChange = [this](TKrCore* Sender, TKrTransition CMC) {
        KrStatusModeChange(Sender, CMC);
    };
    KrCore->OnCallBreak = [this](TKrCore* Sender, TCallBreakReason Reason) {
        KrStatusCallBreak(Sender, Reason);
    };
    KrCore->OnIncommingQuery = [this](TKrCore* Sender, bool Start, TInviteType Type) {
        KrCoreIncommingQuery(Sender, Start, Type);
    };
    KrCore->OnWarning = [this](TKrCore* Sender, TWarningNotify Warning) {
        KrCoreWarning(Sender, Warning);
    };
    KrCore->OnCommand = [this](TKrCore* Sender, const QString& Command, const QString& User) {
        KrCoreCommand(Sender, Command, User);
    };
    KrBooks->SetKrCore(KrCore);
    KrBooks->OnBookNotify = [this](const QString& Name, TActionEnum Action, TBookMessages Message) {
        KrBooksBookNotify(Name, Action, Message);
    };
    KrBooks->OnUserList = [this](TKrBooks*, unsigned BookID) { KrBooksUserList(BookID); };
    KrCore->OnUserDetail = [](TKrCore*, const QString& UID) {
        if (HotListForm && HotListForm->isVisible())
            HotListForm->ShowUserDetails(UID);
    };
    KrCore->OnUserPicture = [](TKrCore*, const QString& UID) {
        if (HotListForm)
            HotListForm->ShowUserPicture(UID);
    };
    KrBooks->OnStatusNotify = [this](TKrBooks*, const QString& ID, int Status) {
        if (OnStatusResultHook)
            OnStatusResultHook(ID, Status);
    };
    // The window has no place for further participants of a multi-party call.
    KrCore->OnMultiConnect = [](TKrCore*) -> IVideoPanel* { return nullptr; };
    KrCore->OnNotifyTrack = [this](TKrCore* Sender, int Track, int Size, const void* Buffer,
                                   const char* ID) {
        KrCoreNotifyTrack(Sender, Track, Size, Buffer, ID);
    };
}

void TMainForm::CreateActions()
{
    const auto action = [this](auto Handler, bool Checkable = false) {
        auto a = new QAction(this);
        a->setCheckable(Checkable);
        connect(a, &QAction::triggered, this, Handler);
        return a;
    };
    // Commands whose windows come later, and the two conference kinds the window never uses.
    const auto plain = [this](bool Checkable = false) {
        auto a = new QAction(this);
        a->setCheckable(Checkable);
        return a;
    };
    ActionConnect = action([this] { ActionConnectExecute(); });
    ActionDisconnect = action([this] { ActionDisconnectExecute(); });
    ActionConfType = plain();
    ActionConfPrivate = action([this] {
        FConfKind = 0;
        UpdateControls();
    });
    ActionConfMulti = plain(true);
    ActionConfCast = plain(true);
    ActionConfPrivate->setCheckable(true);
    ActionLogin = action([this] { ActionLoginExecute(); });
    ActionPip = action([this] { ActionPipExecute(); });
    ActionPip->setCheckable(true);
    ActionSendVideo = action([this] { ActionSendVideoExecute(); }, true);
    ActionSendVideo->setChecked(true);
    ActionSendAudio = action([this] { ActionSendAudioExecute(); }, true);
    ActionSendAudio->setChecked(true);
    ActionPlayAudio = action([this] { ActionPlayAudioExecute(); }, true);
    ActionPlayAudio->setChecked(true);
    ActionPlayAudio->setIcon(FButtonImages.value(0));
    ActionSendVideo->setIcon(FButtonImages.value(2));
    ActionSendAudio->setIcon(FButtonImages.value(4));
    ActionPhoto = plain();
    ActionEcho = plain();
    ActionStatusPanel = plain();
    ActionHardware = plain();
    ActionNetwork = plain();
    ActionBook = action([this] { ActionBookExecute(); }, true); // the window checks it
    ActionHistory = action([this] { ActionHistoryExecute(); });
    ActionDSearch = action([this] { ActionDSearchExecute(); });
    ActionChat = action([this] { ActionChatExecute(); }, true); // the chat window checks it
    ActionShowSelfProfile = plain();
    ActionShowUserProfile = action([] {
        if (HotListForm && HotListForm->isVisible())
            HotListForm->OpenSelectedProfile();
    });
}

void TMainForm::CreateControls()
{
    auto central = new QWidget(this);
    auto layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    // The call line: the status panel while calling, else the calling box.
    auto callRow = new QWidget(central);
    auto callLayout = new QHBoxLayout(callRow);
    callLayout->setContentsMargins(0, 0, 0, 0);
    StatusPanel = new QWidget(callRow);
    auto statusLayout = new QHBoxLayout(StatusPanel);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    StatusLabel = new QLabel(StatusPanel);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setAlignment(Qt::AlignCenter);
    QFont bold = StatusLabel->font();
    bold.setBold(true);
    StatusLabel->setFont(bold);
    StatusLabel->setWordWrap(true);
    StatusLabel->setMinimumHeight(2 * StatusLabel->fontMetrics().height());
    statusLayout->addWidget(StatusLabel);
    SeSkinLabel1 = new QLabel(callRow);
    CallingID = new QComboBox(callRow);
    CallingID->setObjectName(QStringLiteral("CallingID"));
    CallingID->setEditable(true);
    CallingID->setInsertPolicy(QComboBox::NoInsert);
    CallingID->lineEdit()->setMaxLength(255);
    CallingID->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    CallingID->installEventFilter(this);
    CallingID->lineEdit()->installEventFilter(this);
    connect(CallingID, &QComboBox::editTextChanged, this, [this] { CallingIDChange(); });
    ConnectButton = ActionButton(ActionConnect, callRow);
    DisconnectButton = ActionButton(ActionDisconnect, callRow);
    MultiButton = ActionButton(ActionConfType, callRow);
    MultiButton->hide();
    callLayout->addWidget(StatusPanel, 1);
    callLayout->addWidget(SeSkinLabel1);
    callLayout->addWidget(CallingID, 1);
    callLayout->addWidget(ConnectButton);
    callLayout->addWidget(DisconnectButton);
    callLayout->addWidget(MultiButton);
    ConnectButton->setIcon(style()->standardIcon(QStyle::SP_DialogYesButton));
    DisconnectButton->setIcon(style()->standardIcon(QStyle::SP_DialogNoButton));
    ConnectButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    DisconnectButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout->addWidget(callRow);

    // The picture and the tool buttons beside it.
    auto screenRow = new QWidget(central);
    auto screenLayout = new QHBoxLayout(screenRow);
    screenLayout->setContentsMargins(0, 0, 0, 0);
    ScreenPanel = new QWidget(screenRow);
    ScreenPanel->setFixedSize(324, 244);
    MainVideoPanel = new TVideoPanel(ScreenPanel);
    MainVideoPanel->setGeometry(2, 2, 320, 240);
    MainVideoPanel->setContextMenuPolicy(Qt::ActionsContextMenu);
    SelfInButton = new TRegionButton(MainVideoPanel);
    SelfInButton->SetGlyph(SelfViewGlyph());
    SelfInButton->move(4, 240 - SelfInButton->height() - 4);
    SelfInButton->OnClick = [this] { ActionPip->trigger(); };
    SelfInButton->hide();
    RecordIndicator = new TRegionButton(MainVideoPanel);
    RecordIndicator->SetGlyph(RecordGlyph());
    RecordIndicator->move(320 - 32 - 4, 4);
    RecordIndicator->hide();
    ToolPanel = new QWidget(screenRow);
    auto toolLayout = new QVBoxLayout(ToolPanel);
    toolLayout->setContentsMargins(0, 0, 0, 0);
    QualityImage = new QLabel(ToolPanel);
    QualityImage->setFixedSize(32, 20);
    BookButton = ActionButton(ActionBook, ToolPanel);
    ChatButton = ActionButton(ActionChat, ToolPanel);
    HistoryButton = ActionButton(ActionHistory, ToolPanel);
    MMPhotoButton = ActionButton(ActionPhoto, ToolPanel);
    for (QToolButton* button : {BookButton, ChatButton, HistoryButton, MMPhotoButton})
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolLayout->addWidget(QualityImage, 0, Qt::AlignHCenter);
    toolLayout->addWidget(BookButton);
    toolLayout->addWidget(ChatButton);
    toolLayout->addWidget(HistoryButton);
    toolLayout->addWidget(MMPhotoButton);
    toolLayout->addStretch(1);
    screenLayout->addWidget(ScreenPanel);
    screenLayout->addWidget(ToolPanel, 1);
    layout->addWidget(screenRow);

    // Volumes and saturation.
    SetupPanel = new QWidget(central);
    auto setupLayout = new QHBoxLayout(SetupPanel);
    setupLayout->setContentsMargins(0, 0, 0, 0);
    VolumeButton = ActionButton(ActionPlayAudio, SetupPanel);
    VolumeBar = Bar(100, Qt::Horizontal, SetupPanel);
    RecButton = ActionButton(ActionSendAudio, SetupPanel);
    RecBar = Bar(1000, Qt::Horizontal, SetupPanel);
    RecLevelBar = new QProgressBar(SetupPanel);
    RecLevelBar->setOrientation(Qt::Vertical);
    RecLevelBar->setRange(0, 100);
    RecLevelBar->setTextVisible(false);
    RecLevelBar->setFixedSize(8, 24);
    VideoButton = ActionButton(ActionSendVideo, SetupPanel);
    SaturationBar = Bar(200, Qt::Horizontal, SetupPanel);
    EchoButton = ActionButton(ActionEcho, SetupPanel);
    EchoButton->hide();
    for (QWidget* control :
         std::initializer_list<QWidget*>{VolumeButton, VolumeBar, RecButton, RecBar, RecLevelBar,
                                         VideoButton, SaturationBar, EchoButton})
        setupLayout->addWidget(control);
    // Dragging a bar only sets the level; it never toggles the action it follows.
    connect(VolumeBar, &QSlider::valueChanged, this, [this] { VolumeBarChange(); });
    connect(RecBar, &QSlider::valueChanged, this, [this] { RecBarChange(); });
    connect(SaturationBar, &QSlider::valueChanged, this, [this] { SaturationBarChange(); });
    connect(ActionPlayAudio, &QAction::enabledChanged, VolumeBar, &QWidget::setEnabled);
    connect(ActionSendAudio, &QAction::enabledChanged, RecBar, &QWidget::setEnabled);
    connect(ActionStatusPanel, &QAction::visibleChanged, this,
            [this] { StatusPanel->setVisible(ActionStatusPanel->isVisible()); });
    layout->addWidget(SetupPanel);
    setCentralWidget(central);

    for (int panel = 0; panel < 4; ++panel) {
        auto statusPanel = new TStatusPanel(statusBar());
        statusBar()->addWidget(statusPanel);
        StatusBarPanels.append(statusPanel);
    }
    statusBar()->setSizeGripEnabled(false);
}

void TMainForm::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->addAction(ActionLogin);
    CustomItem3 = bar->addMenu(QString());
    SelfViewItem = CustomItem3->addAction(QString());
    SelfViewItem->setCheckable(true);
    connect(SelfViewItem, &QAction::triggered, this, [this] { ActionPip->trigger(); });
    CustomItem3->addAction(ActionBook);
    CustomItem3->addAction(ActionChat);
    CustomItem3->addAction(ActionHistory);
    CustomItem3->addAction(ActionShowSelfProfile);

    SetupItem = bar->addMenu(QString());
    SetupItem->addAction(ActionHardware);
    SetupItem->addAction(ActionNetwork);
    PreferencesItem = SetupItem->addAction(QString());
    SetupItem->addSeparator();
    SkinItem = SetupItem->addMenu(QString());
    DefaultItem = SkinItem->addAction(QString());
    DefaultItem->setCheckable(true);
    DefaultItem->setChecked(true);
    SkinItem->addSeparator();
    // Offers of further skins and languages come from the service, once it names them.
    GetMoreItem = SkinItem->addAction(QString());
    GetMoreItem->setEnabled(false);
    GetMoreLItem = new QAction(this);
    GetMoreLItem->setEnabled(false);
    SetupItem->addSeparator();
    LangItem = SetupItem->addMenu(QString());
    DefaultLItem = new QAction(this);
    DefaultLItem->setObjectName(QStringLiteral("DefaultLItem"));
    DefaultLItem->setCheckable(true);

    HelpItem = bar->addMenu(QString());
    OnlineItem = HelpItem->addAction(QString(), this, [this] { OnlineItemClick(); });
    AboutItem = HelpItem->addAction(QString());
    HelpItem->addSeparator();
    SysInfoItem = HelpItem->addAction(QString(), this, [this] { SysInfoItemClick(); });

    Restore1 = TrayMenu->addAction(QString(), this, [this] {
        if (Tray->PopupMenu())
            RestoreFromTray();
    });
    TrayMenu->addSeparator();
    TrayMenu->addAction(ActionLogin);
    Exit1 = TrayMenu->addAction(QString(), this, [] {
        if (MainForm)
            MainForm->ExitProgram();
        else
            QApplication::quit();
    });
    Tray->OnMouseUp = [this](TSysTray*, Qt::MouseButton Button, bool) {
        if (Button == Qt::LeftButton && FHiddenToTray)
            RestoreFromTray();
    };

    MainVideoPanel->addAction(SelfViewItem);
    MainVideoPanel->addAction(ActionBook);
    MainVideoPanel->addAction(ActionChat);
    MainVideoPanel->addAction(ActionHistory);
    MainVideoPanel->addAction(ActionHardware);
    MainVideoPanel->addAction(ActionNetwork);
    MainVideoPanel->addAction(ActionShowSelfProfile);
}

void TMainForm::FormCreate()
{
    // 1. Built-in skin and the extra tray picture.
    if (ResourceExists(QStringLiteral("SKIN")))
        qApp->setStyleSheet(ReadResourceText(QStringLiteral("SKIN")));
    if (ResourceExists(QStringLiteral("TRAYICON")) && ResourceExists(QStringLiteral("TRAYMASK"))) {
        QPixmap image(QStringLiteral(":/raw/TRAYICON"));
        const QBitmap mask = QBitmap::fromPixmap(QPixmap(QStringLiteral(":/raw/TRAYMASK")));
        if (!image.isNull() && mask.size() == image.size())
            image.setMask(mask);
        FImageList.append(QIcon(image));
    }

    // 2. Names of the program.
    KrCore->AppName = ReadResourceText(QStringLiteral("APPNAME"));
    KrCore->FullName = ReadResourceText(QStringLiteral("FULLNAME"));
    KrCore->RegString = ReadResourceText(QStringLiteral("REGSTRING"));
    KrCore->Version = ReadResourceText(QStringLiteral("VERSTRING"));

    // 3. Helpers and state.
    FCallProcess = std::make_unique<TCallProcess>(this);
    FIncomingStarter = std::make_unique<TIncommingStarter>(this);
    FMissedCount = 0;
    FMissedSince = QDateTime::currentDateTime();

    // 5. Tray.
    SetTray(6, LoadLocalizedString(54933));
    Tray->SetVisible(true);
    setWindowFlag(Qt::WindowMinimizeButtonHint, false);
    MainWindowReady = true;

    // 6. Centred on the screen.
    resize(sizeHint().expandedTo(QSize(482, 420)));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(qMax(0, (area.width() - width()) / 2), qMax(0, (area.height() - height()) / 2));
    }

    // 7. System information needs its helper files beside the program.
    const QDir folder(ProgramFolder());
    SysInfoItem->setEnabled(folder.exists(QStringLiteral("hardwaretest.bat")) &&
                            folder.exists(QStringLiteral("hardwaretest.exe")));

    // 9. The engine, on the server the command line names.
    KrCore->Initialize(StartupValues.ServerName, StartupValues.ServerAddress,
                       StartupValues.ServerPort, StartupValues.ServerFile);

    // 10.
    Localize();
    if (HotListForm) {
        HotListForm->KrBooks = KrBooks;
        HotListForm->KrCore = KrCore;
    }
    if (ChatForm) {
        ChatForm->KrCore = KrCore;
        ChatForm->ChatAction = ActionChat;
        KrCore->OnMessage = [](TKrCore* Sender, bool System, const QString& Text,
                               const QString& User) {
            if (ChatForm)
                ChatForm->ReceiveMessage(Sender, System, Text, User);
        };
    }
    setWindowTitle(KrCore->FullName);

    // 11-12. First run, language and self view.
    ReadFirstRunState();
    TKrValue locale;
    KrCore->ReadSetting(QStringLiteral("Locale"), true, locale);
    ActionPip->setChecked(ReadBoolSetting(*KrCore, QStringLiteral("ShowSelf")));
    FLanguageFile = locale.AsText();
    if (!FLanguageFile.isEmpty()) {
        const HMODULE module =
            LoadLanguageModule(ProgramFolder() + QStringLiteral("/lang/") + FLanguageFile);
        if (module) {
            FreeLanguageModule(LanguageModule);
            LanguageModule = module;
            LocalizeAllForms();
        } else {
            FLanguageFile.clear();
        }
    }

    // 13. Skin files come with the skin menu; the built-in skin stays until then.
    KrCore->SkinName.clear();

    // 14. Side windows beside the main window.
    PlaceSideWindows();

    // 15.
    if (!KrCore->DirectX())
        setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    // 16. The chat's font size and the colour of the own lines.
    if (ChatForm) {
        const int size = KrCore->aFlags.int1;
        ChatForm->FontSizeEdit->setCurrentIndex(size >= 0 && size <= 15 ? size : 0);
        ChatForm->SetColor(ColorFromFlag(KrCore->aFlags.int4));
        ChatForm->ApplyColor();
    }

    // 17. Stored values.
    SaturationBar->setValue(KrCore->Saturation());
    VolumeBar->setValue(KrCore->PlayVolume());
    RecBar->setValue(KrCore->RecVolume());
    CallingID->addItems(KrCore->History);
    CallingID->setEditText(QString());

    // 18.
    QApplication::processEvents();

    // 19-20. Own picture.
    ReadCaptureFormat();
    KrCore->StartSender(MainVideoPanel, FVideoWidth, FVideoHeight, FAudioRate);
    SetConferencePanelWidths(false);
    if (CameraSelected())
        MainVideoPanel->StartRender();

    // 21.
    if (SplashForm)
        SplashForm->close();
    if (StartupValues.StartHidden && !FFirstRun)
        FHiddenToTray = true;
    else
        StartupValues.StartHidden = false;

    // 22.
    BuildLanguageMenu();
    KrCore->ReadProxySettings();
    KrCore->ReadConnectionType();
    ShowQualityImage(5);
    MultiButton->hide();
    MainWindowClosing = false;
    UpdateControls();
    KrCore->SetCurrentServer(KrCore->CurrentServer());
    Tray->SetPopupMenu(TrayMenu);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { ExitProgram(); });

    if (!FHiddenToTray)
        show();
}

void TMainForm::ReadFirstRunState()
{
    FFirstRun = FFirstRunNetwork = false;
    TRegistry registry(HKEY_CURRENT_USER);
    if (!registry.OpenKey(ApplicationKey(*KrCore), true))
        return;
    const std::optional<quint32> initialized =
        registry.ValueExists(QStringLiteral("Initialized"))
            ? registry.ReadInteger(QStringLiteral("Initialized"))
            : std::optional<quint32>(0);
    if (!initialized) // there but unreadable: leave it and skip the first run
        return;
    if (*initialized >= 3)
        return;
    const bool firstRun = *initialized < 2;
    KrCore->PrepareAudio();
    if (registry.WriteInteger(QStringLiteral("Initialized"), 3))
        FFirstRun = FFirstRunNetwork = firstRun;
}

void TMainForm::ReadCaptureFormat()
{
    FVideoWidth = 320;
    FVideoHeight = 240;
    FAudioRate = 8000;
    TRegistry registry(HKEY_CURRENT_USER);
    if (!registry.OpenKey(ApplicationKey(*KrCore) + CurrentConfigurationKey, true))
        return;
    const quint32 format = registry.ReadInteger(QStringLiteral("Format")).value_or(0);
    const quint32 width = format & 0xFF;
    const quint32 height = (format >> 8) & 0xFF;
    if (width <= 19 || height <= 14)
        return;
    FVideoWidth = int(width * 8);
    FVideoHeight = int(height * 8);
    switch ((format >> 16) & 0xFF) {
    case 1:
        FAudioRate = 11025;
        break;
    case 2:
        FAudioRate = 22050;
        break;
    default:
        FAudioRate = 8000;
    }
}

void TMainForm::PlaceSideWindows()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 0;
    const QRect main = frameGeometry();
    const auto place = [&](QWidget* Window, int FitWidth) {
        if (!Window)
            return;
        int left = main.left() + main.width();
        if (left + FitWidth > screenWidth)
            left = screenWidth - FitWidth;
        Window->move(left, main.top());
        Window->resize(Window->width(), height());
    };
    if (ChatForm)
        place(ChatForm, ChatForm->width());
    const int listWidth = HotListForm ? HotListForm->width() : 0;
    place(HotListForm, listWidth);
    place(HistoryForm, listWidth);
    place(SearchForm, listWidth);
}

void TMainForm::BindEngineWindow()
{
    KrCore->SetProxyDialog(FWindow->Handle());
}

bool TMainForm::CameraSelected() const
{
    const int camera = KrCore->CurrentVideoCapture();
    return camera > 0 && camera < KrCore->VideoCaptureDevices().size();
}

// ---- Window messages ------------------------------------------------------------

void TMainForm::HandleWindowMessage(TMessage& Message)
{
    switch (Message.Msg) {
    case KR_WM_STATUS:
        KrCore->HandleEngineMessage(Message);
        break;
    case KR_WM_CALL:
        HandleCallMessage(Message);
        break;
    case KR_WM_PROXY_AUTH:
        ProxyAuthentication(Message);
        break;
    case WM_MISSED_CALLS:
        ShowMissedCalls();
        break;
    default:
        break;
    }
}

void TMainForm::ProxyAuthentication(TMessage& Message)
{
    auto userName = reinterpret_cast<char*>(Message.WParam);
    auto password = reinterpret_cast<char*>(Message.LParam);
    const int result =
        userName && password ? RunProxyAuthentication(*KrCore, userName, password) : 0;
    Message.Result = result;
    KrCore->ProxyDialogEnd(result);
}

// ---- Languages --------------------------------------------------------------------

void TMainForm::BuildLanguageMenu()
{
    LangItem->clear();
    LangItem->addAction(DefaultLItem);
    DefaultLItem->setChecked(true);
    LangItem->addSeparator();
    TPaths::EnsureDir(ProgramFolder() + QStringLiteral("/lang"));
    QStringList files;
    TKrCore::ListFiles(files, QStringLiteral("lang"), QStringLiteral("ln0"));
    for (const QString& file : files) {
        const QString name = QFileInfo(file).fileName();
        if (name.size() <= 4)
            continue;
        QAction* item = LangItem->addAction(name.left(name.size() - 4));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, item] { SelectLanguage(item); });
        if (name == FLanguageFile) {
            item->setChecked(true);
            DefaultLItem->setChecked(false);
        }
    }
    LangItem->addSeparator();
    LangItem->addAction(GetMoreLItem);
}

void TMainForm::SelectLanguage(QAction* Item)
{
    FreeLanguageModule(LanguageModule);
    LanguageModule = 0;
    if (Item == DefaultLItem) {
        FLanguageFile.clear();
    } else {
        const QString file = Item->text() + QStringLiteral(".ln0");
        LanguageModule = LoadLanguageModule(ProgramFolder() + QStringLiteral("/lang/") + file);
        if (LanguageModule)
            FLanguageFile = file;
    }
    LocalizeAllForms();
    for (QAction* item : LangItem->actions())
        item->setChecked(false);
    Item->setChecked(true);
}

void TMainForm::Localize()
{
    const auto text = [](int Id) { return LoadLocalizedString(Id); };
    const QString hint = text(54877);
    CallingID->setToolTip(hint);
    if (FShowsHint)
        CallingID->setEditText(hint);
    ActionConnect->setText(text(54878));
    ActionDisconnect->setText(text(54879));
    ActionBook->setText(text(55340));
    ActionBook->setToolTip(text(55138));
    ActionHistory->setText(text(54851));
    ActionHistory->setToolTip(text(55175));
    ActionDSearch->setText(text(54852));
    ActionDSearch->setToolTip(text(55141));
    ActionChat->setText(text(54855));
    ActionChat->setToolTip(text(55189));
    ActionPhoto->setText(text(55307));
    ActionPhoto->setToolTip(text(55348));
    ActionShowSelfProfile->setText(text(55308));
    ActionShowUserProfile->setText(text(55327));
    CustomItem3->setTitle(text(54848));
    SelfViewItem->setText(text(54849));
    AboutItem->setText(text(55181));
    HelpItem->setTitle(text(55182));
    OnlineItem->setText(text(54860));
    SysInfoItem->setText(text(54861));
    ActionConfCast->setText(text(55341));
    ActionConfMulti->setText(text(55342));
    ActionConfPrivate->setText(text(55343));
    SetupItem->setTitle(text(55155));
    ActionHardware->setText(text(54862));
    LangItem->setTitle(text(54863));
    DefaultLItem->setText(text(55301));
    ActionNetwork->setText(text(55157));
    PreferencesItem->setText(text(55158));
    SkinItem->setTitle(text(55159));
    DefaultItem->setText(text(55160));
    GetMoreItem->setText(text(55156));
    GetMoreLItem->setText(text(55156));
    SeSkinLabel1->setText(text(54835));
    ActionEcho->setToolTip(text(54837));
    RecBar->setToolTip(text(54838));
    ActionSendAudio->setToolTip(text(54839));
    SaturationBar->setToolTip(text(54840));
    ActionSendVideo->setToolTip(text(55129));
    VolumeBar->setToolTip(text(55125));
    ActionPlayAudio->setToolTip(text(55130));
    switch (KrCore->StatusMode()) {
    case 0:
        StatusBarPanels[0]->SetText(text(54933));
        break;
    case 1:
        StatusBarPanels[0]->SetText(text(54934));
        break;
    default:
        StatusBarPanels[0]->SetText(FormatText(text(54870), {KrCore->MyDisplayName()}));
    }
    StatusBarPanels[1]->SetText(text(54868));
    StatusBarPanels[2]->SetText(text(54869));
    Exit1->setText(text(55163));
    Restore1->setText(text(55185));
    UpdateControls();
}

// ---- Status bar and tray ----------------------------------------------------------

void TMainForm::SetTray(int ImageIndex, const QString& Hint)
{
    FTrayIndex = ImageIndex;
    FTrayHint = Hint.left(255);
    if (ImageIndex >= 0 && ImageIndex < FImageList.size())
        Tray->SetIcon(FImageList.at(ImageIndex));
    Tray->SetHint(FTrayHint);
}

TSelfMainForm* TMainForm::SelfView() const
{
    return FSelfView;
}

TInfoFormForm* TMainForm::InfoForm() const
{
    return FInfoForm;
}

QString TMainForm::TrayHint() const
{
    return FTrayHint;
}

void TMainForm::SetStatusPanel0(const QString& Text, int ImageIndex)
{
    StatusBarPanels[0]->SetText(Text);
    StatusBarPanels[0]->SetImage(ImageIndex, FStatusImages);
}

void TMainForm::SetConferencePanelWidths(bool InConference)
{
    FConferenceLayout = InConference;
    const int client = statusBar()->width();
    StatusBarPanels[1]->SetPanelWidth(InConference ? 110 : 0);
    StatusBarPanels[2]->SetPanelWidth(InConference ? 110 : 0);
    StatusBarPanels[0]->SetPanelWidth(client - (InConference ? 276 : 56));
}

int TMainForm::StatusBarWidth(int Panel) const
{
    return StatusBarPanels.value(Panel) ? StatusBarPanels[Panel]->PanelWidth() : 0;
}

QString TMainForm::StatusBarText(int Panel) const
{
    return StatusBarPanels.value(Panel) ? StatusBarPanels[Panel]->Text() : QString();
}

int TMainForm::StatusBarImage(int Panel) const
{
    return StatusBarPanels.value(Panel) ? StatusBarPanels[Panel]->ImageIndex() : -1;
}

void TMainForm::ShowQualityImage(int Index)
{
    if (Index < 0 || Index >= FQualityList.size())
        return;
    FQualityIndex = Index;
    QualityImage->setPixmap(FQualityList.at(Index).pixmap(32, 20));
}

// ---- Tray and side windows -----------------------------------------------------------

void TMainForm::TrayButtonClick()
{
    if (FHiddenToTray)
        return;
    FHiddenToTray = true;
    if (FSelfView && FSelfView->isVisible())
        FSelfView->hide();
    hide();
}

void TMainForm::RestoreFromTray()
{
    if (MainWindowClosing)
        return;
    if (FHiddenToTray || !isVisible()) {
        FHiddenToTray = false;
        show();
        UpdateSelfViewState();
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    if (HistoryForm && HistoryForm->isVisible()) {
        if (SearchForm)
            SearchForm->hide();
        if (HotListForm)
            HotListForm->hide();
    }
}

void TMainForm::resizeEvent(QResizeEvent* Event)
{
    QMainWindow::resizeEvent(Event);
    SetConferencePanelWidths(FConferenceLayout);
}

void TMainForm::changeEvent(QEvent* Event)
{
    QMainWindow::changeEvent(Event);
    // Minimizing hides the window to the tray, once the minimizing is done.
    if (Event->type() == QEvent::WindowStateChange && isMinimized() && !MainWindowClosing)
        QMetaObject::invokeMethod(
            this,
            [this] {
                setWindowState(windowState() & ~Qt::WindowMinimized);
                TrayButtonClick();
            },
            Qt::QueuedConnection);
}

void TMainForm::OnlineItemClick()
{
    QString help = KrCore->GetServerProperty(QStringLiteral("help_url"));
    if (help.isEmpty())
        help = ReadResourceText(QStringLiteral("DEFHELP"));
    TShell::Open(help);
}

void TMainForm::SysInfoItemClick()
{
    TShell::Open(ProgramFolder() + QStringLiteral("/hardwaretest.bat"), true);
}

void TMainForm::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (KrCore->Pause())
        KrCore->SetPause(false);
}

void TMainForm::hideEvent(QHideEvent* Event)
{
    QMainWindow::hideEvent(Event);
    if (KrCore->StatusMode() != 4 && !MainWindowClosing)
        KrCore->SetPause(true);
}

void TMainForm::ToggleSideWindow(QWidget* Target)
{
    const int mode = KrCore->StatusMode();
    const auto done = qScopeGuard([this] { SideWindowsChanged(); });
    if (mode == 1) {
        ActionLogin->trigger();
        return;
    }
    if (!Target)
        return;
    if (Target->isVisible()) {
        Target->hide();
        return;
    }
    if (mode == 0)
        return;
    const QList<QWidget*> lists{HotListForm, HistoryForm, SearchForm};
    QWidget* replaced = nullptr;
    for (QWidget* window : lists + QList<QWidget*>{ChatForm})
        if (window && window != Target && window->isVisible()) {
            if (lists.contains(window))
                replaced = window;
            window->hide();
        }
    if (replaced) {
        if (lists.contains(Target))
            Target->move(replaced->pos());
        else
            for (QWidget* window : lists)
                if (window && window != replaced)
                    window->move(replaced->pos());
    }
    Target->show();
}

void TMainForm::ActionBookExecute()
{
    ToggleSideWindow(HotListForm);
}

void TMainForm::SideWindowsChanged()
{
    // The actions show whether their window is open, also when a command opened nothing.
    ActionBook->setChecked(HotListForm && HotListForm->isVisible());
    ActionChat->setChecked(ChatForm && ChatForm->isVisible());
}

void TMainForm::ActionHistoryExecute()
{
    ToggleSideWindow(HistoryForm);
}

void TMainForm::ActionDSearchExecute()
{
    ToggleSideWindow(SearchForm);
}

void TMainForm::ActionChatExecute()
{
    ToggleSideWindow(ChatForm);
}

void TMainForm::HideSideLists()
{
    for (QWidget* window : {static_cast<QWidget*>(HistoryForm), static_cast<QWidget*>(HotListForm),
                            static_cast<QWidget*>(SearchForm)})
        if (window)
            window->hide();
}

int TMainForm::ConfirmAction(const QString& Text, const QString& SettingName)
{
    if (ReadBoolSetting(*KrCore, SettingName))
        return mrYes;
    TWarningForm dialog(this);
    dialog.SetQuestion(Text);
    const int result = dialog.exec() == mrYes ? mrYes : mrNo;
    KrCore->WriteSetting(SettingName, TKrValue::Boolean(dialog.TeCheckBox1->isChecked()));
    return result;
}

// ---- Closing ----------------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* Event)
{
    if (!FormCloseQuery()) {
        Event->ignore();
        return;
    }
    Event->accept();
    FormClose();
}

bool TMainForm::FormCloseQuery()
{
    if (MainWindowClosing)
        return false;
    if (FExitRequested)
        return true;
    if (!ReadBoolSetting(*KrCore, QStringLiteral("CloseToTray")))
        return true;
    const int mode = KrCore->StatusMode();
    if ((mode == 3 || mode == 4) &&
        IncCallMessage.MessageDlg(LoadLocalizedString(54888), mtConfirmation, mbYes | mbNo) ==
            mrYes)
        KrCore->HangUp();
    TrayButtonClick();
    return false;
}

void TMainForm::ExitProgram()
{
    if (FExitRequested)
        return;
    Tray->SetPopupMenu(nullptr);
    FExitRequested = true;
    close();
}

void TMainForm::QuitProgram()
{
    if (MainForm)
        MainForm->ExitProgram();
    else
        QApplication::quit();
}

void TMainForm::FormClose()
{
    if (FClosed)
        return;
    FClosed = true;
    MainWindowClosing = true;

    // 1-2.
    Tray->SetPopupMenu(nullptr);
    KrCore->SetClosing(true);
    if (KrCore->StatusMode() == 4) {
        KrCore->HangUp();
        ConferenceStopped();
    }

    // 4.
    StatTimer->stop();
    FHiddenToTray = true;
    if (FSelfView)
        FSelfView->hide();
    hide();

    // 5.
    KrCore->WriteSetting(QStringLiteral("ShowSelf"), TKrValue::Boolean(ActionPip->isChecked()));
    if (ChatForm) {
        KrCore->aFlags.int1 = ChatForm->FontSizeEdit->currentIndex();
        KrCore->aFlags.int4 = ColorToFlag(ChatForm->Color());
    }
    KrCore->SetPlayVolume(VolumeBar->value());
    MainVideoPanel->StopRender();

    // 7.
    KrCore->StopSender(MainVideoPanel);
    QStringList history;
    for (int i = 0; i < CallingID->count(); ++i)
        history.append(CallingID->itemText(i));
    KrCore->History = history;
    KrCore->WriteSetting(QStringLiteral("Locale"), TKrValue::Text(FLanguageFile));

    // 8.
    FCallProcess.reset();
    FIncomingStarter.reset();
    KrCore->Release();
    Tray->SetVisible(false);
    MainWindowReady = false;
    QApplication::quit();
}
