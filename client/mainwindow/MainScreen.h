#pragma once

#include "engine/KrClient.h"
#include "startup/KrStrings.h"
#include "ui/MessageDlg.h"

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QSlider;
class QTimer;
class QToolButton;
class TIncommingStarter;
class TInfoFormForm;
class TKrBooks;
class TMissedForm;
class TMainForm;
class TOfflineFrame;
class TRegionButton;
class TSelfMainForm;
class TSysTray;
class TVideoPanel;
class TWavePlayer;

// Carries out a scripted request handed in from outside (automation or a
// link): select the server, log in, then call, one step per mode change, for
// at most a minute.
class TCallProcess
{
public:
    explicit TCallProcess(TMainForm* Owner) : FOwner(Owner) {}

    static constexpr quint32 LifetimeMs = 60000;

    void Start(const QString& Server, const QString& Host, const QString& Port,
               const QString& ServerFile, const QString& UserID, const QString& Login,
               const QString& Password, const QString& CallTo, const QString& CallPassword,
               int ConfType, bool Activate);
    void Step();
    bool Idle() const { return FStartTick == -1; }

private:
    void Drop();

    TMainForm* FOwner;
    qint64 FStartTick = -1;
    QString FServer;
    QString FHost;
    QString FPort;
    QString FServerFile;
    QString FUserID;
    QString FLogin;
    QString FPassword;
    QString FCallTo;
    QString FCallPassword;
    quint8 FConfType = 0;
};

// One panel of the status bar: an optional picture and a text, at a set width.
class TStatusPanel;

// The program's central window: owns the engine component, the tray icon, the
// sounds and the timers, and turns the engine's news into what the user sees.
class TMainForm : public QMainWindow, public TLocalizable
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget* Parent = nullptr);
    ~TMainForm() override;

    // Window messages of the engine and of the window itself.
    static constexpr std::uint32_t WM_MISSED_CALLS = WM_USER + 34;

    // The tick count the window's timeouts are measured with; tests may move it.
    static std::function<quint32()> TickCount;

    TKrCore* KrCore;
    TKrBooks* KrBooks;
    TKrMessageDlg IncCallMessage;

    // Controls
    QMenu* CustomItem3; // View
    QMenu* SetupItem;
    QMenu* HelpItem;
    QMenu* LangItem;
    QMenu* SkinItem;
    QAction* DefaultLItem;
    QAction* DefaultItem;
    QAction* GetMoreLItem;
    QAction* GetMoreItem;
    QAction* SysInfoItem;
    QAction* OnlineItem;
    QAction* AboutItem;
    QAction* PreferencesItem;
    QAction* SelfViewItem;
    QWidget* StatusPanel;
    QLabel* StatusLabel;
    QLabel* SeSkinLabel1; // "Call to:"
    QComboBox* CallingID;
    QToolButton* ConnectButton;
    QToolButton* DisconnectButton;
    QToolButton* MultiButton;
    QWidget* ScreenPanel;
    TVideoPanel* MainVideoPanel;
    TRegionButton* SelfInButton;
    TRegionButton* RecordIndicator;
    QWidget* ToolPanel;
    QLabel* QualityImage;
    QToolButton* BookButton;
    QToolButton* ChatButton;
    QToolButton* HistoryButton;
    QToolButton* MMPhotoButton;
    QWidget* SetupPanel;
    QToolButton* VolumeButton;
    QSlider* VolumeBar;
    QToolButton* RecButton;
    QSlider* RecBar;
    QProgressBar* RecLevelBar;
    QToolButton* VideoButton;
    QSlider* SaturationBar;
    QToolButton* EchoButton;
    QList<TStatusPanel*> StatusBarPanels;
    TSysTray* Tray;
    QMenu* TrayMenu;
    QAction* Restore1;
    QAction* Exit1;
    TWavePlayer* WaitWave;
    TWavePlayer* BusyWave;
    TWavePlayer* RingWave;
    TWavePlayer* EchoWave;
    QTimer* StatTimer;
    QTimer* QualityTimer;
    QTimer* BusyTimer;
    QTimer* WaitTimer;
    QTimer* CallTimer;

    // Actions
    QAction* ActionConnect;
    QAction* ActionDisconnect;
    QAction* ActionConfType;
    QAction* ActionConfPrivate;
    QAction* ActionConfMulti;
    QAction* ActionConfCast;
    QAction* ActionLogin;
    QAction* ActionPip;
    QAction* ActionSendVideo;
    QAction* ActionSendAudio;
    QAction* ActionPlayAudio;
    QAction* ActionPhoto;
    QAction* ActionEcho;
    QAction* ActionStatusPanel;
    QAction* ActionHardware;
    QAction* ActionNetwork;
    QAction* ActionBook;
    QAction* ActionHistory;
    QAction* ActionDSearch;
    QAction* ActionChat;
    QAction* ActionShowSelfProfile;
    QAction* ActionShowUserProfile;

    // Automation hooks, fired when set.
    std::function<void(int Transition)> OnServerStatusHook;
    std::function<void(int Transition)> OnClientStatusHook;
    std::function<void()> OnCloseHook;
    std::function<void(const QString& Command, const QString& UserName)> OnPluginCommandHook;
    std::function<void()> OnSkinChangeHook;
    std::function<void(TKrCore* Sender, int Track, const char* ID, const void* Buffer, int Size)>
        OnTrackHook;
    std::function<void(const QString& ID, int Status)> OnStatusResultHook;

    // -- Creation, closing
    void BindEngineWindow();
    void ExitProgram();
    static void QuitProgram();
    void Localize() override;

    // -- Status modes
    void UpdateControls();
    void ConferenceStarted();
    void ConferenceStopped();
    void ShowQualityImage(int Index);
    void KrStatusModeChange(TKrCore* Sender, TKrTransition CMC);
    void StatTimerTimer();
    void QualityTimerTimer();
    void CallTimerTimer();
    void KrBooksUserList(unsigned BookID);
    void KrBooksBookNotify(const QString& sName, int eAction, int BookMessage);

    // -- Calls
    void ActionConnectExecute();
    void ActionDisconnectExecute();
    void CallFromList(int ImageIndex, const QString& Address, const QString& DisplayName);
    // A double click on a contact of the address book: its address, the
    // conference it runs, its status and its state image.
    void UserListDblClick(const QString& Address, const QString& Conference, int Status,
                          int StateImage);
    // A click on a list of the address book or history window: the addresses
    // of the selected rows, in list order.
    void UserListClick(QWidget* Sender, const QStringList& SelectedAddresses);
    void ActionLoginExecute();
    void WaitTimerTimer();
    void ActionSendVideoExecute();
    void ActionSendAudioExecute();
    void ActionPlayAudioExecute();
    void VolumeBarChange();
    void RecBarChange();
    void SaturationBarChange();
    void ActionPipExecute();
    void UpdateSelfViewState();
    void ShowSelfView(bool On);
    void StopAllSounds();
    void StopBusySignal();
    void ClearCallingHint();
    void AddToCallHistory();
    void CallingIDChange();
    void CallingIDKeyDown(int Key);

    // -- Incoming and missed calls
    void KrCoreIncommingQuery(TKrCore* Sender, bool Start, TInviteType InviteType);
    void YesButtonClick();
    void NoButtonClick();
    void ShowMissedCalls();

    // -- Tray, side windows, shared operations
    void TrayButtonClick();
    void RestoreFromTray();
    void ActionBookExecute();
    void ActionHistoryExecute();
    void ActionDSearchExecute();
    void ActionChatExecute();
    void ServerChanged() {}
    void OnlineItemClick();
    void SysInfoItemClick();
    int ConfirmAction(const QString& Text, const QString& SettingName);

    // -- Languages
    void BuildLanguageMenu();
    void SelectLanguage(QAction* Item);

    // State read by other windows and by tests.
    int StatusMode() const { return KrCore->StatusMode(); }
    bool HiddenToTray() const { return FHiddenToTray; }
    bool BusySignal() const { return FBusySignal; }
    bool IncomingDialogOpen() const;
    int MissedCount() const { return FMissedCount; }
    QDateTime MissedSince() const { return FMissedSince; }
    QDateTime MissedFirstTime() const { return FMissedFirstTime; }
    TMissedForm* MissedForm() const;
    TIncommingStarter* IncomingStarter() const { return FIncomingStarter.get(); }
    void SetPreferencesOpen(bool Value) { FPreferencesOpen = Value; }
    QString CallTarget() const { return FCallTarget; }
    QString LanguageFile() const { return FLanguageFile; }
    QString LoginName() const { return FLoginName; }
    int StatusBarWidth(int Panel) const;
    QString StatusBarText(int Panel) const;
    int StatusBarImage(int Panel) const;
    int TrayIconIndex() const { return FTrayIndex; }
    QString TrayHint() const;
    int QualityIndex() const { return FQualityIndex; }
    QSize CaptureSize() const { return {FVideoWidth, FVideoHeight}; }
    int AudioRate() const { return FAudioRate; }
    TCallProcess* CallProcess() const { return FCallProcess.get(); }
    TSelfMainForm* SelfView() const;
    TInfoFormForm* InfoForm() const;
    bool ShowsHint() const { return FShowsHint; }
    void SetTargetMulticasting(bool Value) { FTargetMulticasting = Value; }

    // Runs the first-run pages now (the first paint does this on its own).
    void RunFirstRunPages();
    // Called when the server's properties arrive: ends the first run with the account page.
    void ShowAccountInfo();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    friend class TCallProcess;

    void CreateControls();
    void CreateActions();
    void CreateMenus();
    void CreateComponents();
    void FormCreate();
    void FormPaint();
    bool FormCloseQuery();
    void FormClose();
    void HandleWindowMessage(TMessage& Message);
    void HandleCallMessage(TMessage& Message);
    void ProxyAuthentication(TMessage& Message);
    void ReadFirstRunState();
    void ReadCaptureFormat();
    void PlaceSideWindows();
    void SetTray(int ImageIndex, const QString& Hint);
    void SetStatusPanel0(const QString& Text, int ImageIndex);
    void SetConferencePanelWidths(bool InConference);
    void ToggleSideWindow(QWidget* Target);
    void SideWindowsChanged();
    bool CameraSelected() const;
    void StartDelayedLogin();
    void HideSideLists();
    void KrStatusCallBreak(TKrCore* Sender, TCallBreakReason Reason);
    void KrCoreWarning(TKrCore* Sender, TWarningNotify Warning);
    void KrCoreCommand(TKrCore* Sender, const QString& Command, const QString& UserName);
    void ServerPropertiesArrived();
    void CloseMissedNotice();
    void KrCoreNotifyTrack(TKrCore* Sender, int Track, int Size, const void* Buffer,
                           const char* ID);

    std::unique_ptr<TMessageTarget> FWindow; // the window's handle for the engine
    QList<QIcon> FImageList;
    QList<QIcon> FQualityList;
    QList<QIcon> FStatusImages;
    QList<QIcon> FButtonImages;
    int FTrayIndex = -1;
    QString FTrayHint;
    int FQualityIndex = -1;

    quint8 FConfKind = 0;
    bool FHiddenToTray = false;
    bool FExitRequested = false;
    bool FBusySignal = false;
    bool FIncomingPending = false;
    quint8 FInviteKind = 0;
    int FMissedCount = 0;
    QDateTime FMissedSince;
    QDateTime FLastQueryTime;
    QDateTime FMissedFirstTime;
    quint32 FCallStartTick = 0;
    int FVideoWidth = 320;
    int FVideoHeight = 240;
    int FAudioRate = 8000;
    QString FLanguageFile;
    QString FLoginName;
    QString FCallTarget;
    QString FConferenceName;
    bool FFirstRun = false;
    bool FFirstRunNetwork = false;
    bool FNetworkWizardShown = false;
    bool FShowsHint = false;
    bool FTargetMulticasting = false;
    bool FPreferencesOpen = false;
    bool FHardwareOpen = false;
    bool FNetworkOpen = false;
    bool FLoginBusy = false;
    bool FClosed = false;
    bool FConferenceLayout = false; // the status bar shows the rates
    QPointer<TOfflineFrame> FOfflineFrame;
    QPointer<TMissedForm> FMissedForm;
    QPointer<TInfoFormForm> FInfoForm;
    QPointer<TSelfMainForm> FSelfView;
    std::unique_ptr<TCallProcess> FCallProcess;
    std::unique_ptr<TIncommingStarter> FIncomingStarter;
    QPointer<QTimer> FLoginTimer;
};

// The program's main window, while it exists.
extern TMainForm* MainForm;
