#pragma once

#include "DllInterface.h"
#include "EngineValue.h"
#include "platform/Messages.h"

#include <QObject>
#include <QRecursiveMutex>
#include <QString>
#include <QStringList>
#include <functional>
#include <set>
#include <utility>

class QLabel;
class TMessageTarget;

// ---- Types of the engine binding --------------------------------------------

enum TConferenceType
{
    ctPrivate,
    ctBroadcast,
    ctPublic,
    ctMulti,
    ctIntercom,
    ctFreeStart,
    ctVIPStart,
    ctHalfPrivateStart,
    ctFreeJoin,
    ctVIPJoin,
    ctHalfPrivateJoin,
    ctHotCreate,
    ctHotQuery
};

enum TAccountRights
{
    arMultiConference,
    arCreateFree,
    arCreateVIP,
    arCreatePrivate,
    arConnectFree,
    arConnectVIP,
    arConnectSP,
    arKick,
    arModifyAB,
    arSearchHistory,
    arSelectMulti,
    arCreateMulti
};
using TRights = std::set<TAccountRights>;

enum TAutoLoginMode
{
    amUnsupported,
    amEnabled,
    amDisabled
};
enum TFPSMode
{
    fp5,
    fp10,
    fp15,
    fp20,
    fp30
};
enum TApplicationSubsystem
{
    asCommunicator,
    asAdvisor
};

// Notification codes; their meanings are listed with the component.
using TKrTransition =
    int; // mode change: 1 0->1, 2 1->0, 3 1->2, 4 2->1, 5 2->3, 7 3->4, 8 4->5, 9 5->2, 0 other
using TWarningNotify = int;   // 0 to 12
using TCallBreakReason = int; // 0 to 16
using TInviteType = int;      // 0 incoming call, 1 group conference invitation, 2 join request

// The five integers the client keeps in the engine's flags block.
struct TFlagsArray
{
    int int1 = 0;
    int int2 = 0;
    int int3 = 0;
    int int4 = 0;
    int int5 = 0;
};

// An analog video standard.
struct TVideoCode
{
    quint32 Code;
    const char* Name;
};
extern const TVideoCode VideoCodes[18];

// The twelve texts of a user's details, each at most 255 characters.
struct TUserInfoRecord
{
    QString Nick;
    QString Description;
    QString About;
    QString Gender;
    QString MaritalStatus;
    QString Age;
    QString Occupation;
    QString Location;
    QString Interests;
    QString CountryCode;
};

// A panel the engine renders video into.
class IVideoPanel
{
public:
    virtual ~IVideoPanel() = default;
    virtual HWND WindowHandle() const = 0;
    virtual void SetRenderProc(KrRenderProc Proc, intptr_t Instance) = 0;
    virtual void StartRender() = 0;
    virtual void StopRender() = 0;
    virtual KrRenderProc RenderProc() const = 0;
    virtual intptr_t RenderInstance() const = 0;
};

// Proxy and firewall settings.
class TFPSettings
{
public:
    QString UserName;
    QString Password;
    bool bCanSavePassword = false;
    QString Address;
    int Port = 0;
    int ProxyType = 0;
    int ConnectionType = 0;

    void Assign(const TFPSettings& Source) { *this = Source; }
};

// ---- The engine component ----------------------------------------------------

// Owns the engine instance; every engine call of the program goes through it.
// Almost every operation does nothing (or answers its default) until
// Initialize has bound the engine and after Release.
class TKrCore : public QObject
{
public:
    using TNotifyModeChange = std::function<void(TKrCore* Sender, TKrTransition CMC)>;
    using TNotifyCallBreak = std::function<void(TKrCore* Sender, TCallBreakReason cReason)>;
    using TNotifyWarning = std::function<void(TKrCore* Sender, TWarningNotify WarningType)>;
    using TNotifyIcomming = std::function<void(TKrCore* Sender, bool bStart, TInviteType invType)>;
    using TNotifyMessage = std::function<void(
        TKrCore* Sender, bool bSystem, const QString& MessageString, const QString& UserName)>;
    using TNotifyCommand =
        std::function<void(TKrCore* Sender, const QString& MessageString, const QString& UserName)>;
    using TNotifyUserDetail = std::function<void(TKrCore* Sender, const QString& UID)>;
    using TNotifyUserPicture = std::function<void(TKrCore* Sender, const QString& UID)>;
    // Returns the panel for a further participant's stream, or none.
    using TNotifyReceiver = std::function<IVideoPanel*(TKrCore* Sender)>;
    using TNotifyReceiverChange =
        std::function<void(TKrCore* Sender, const QString& Name, quint32 flags)>;
    using TNotifyReceiverRemove = std::function<void(TKrCore* Sender, const QString& Name)>;
    using TNotifyTrack = std::function<void(TKrCore* Sender, int Track, int iSize,
                                            const void* pBuffer, const char* ID)>;
    using TListArrival = std::function<void(TKrCore* Sender, int Kind, const QStringList& List)>;
    using TBookResult = std::function<void(TKrCore* Sender, int Result, int RequestId)>;

    explicit TKrCore(QObject* Owner = nullptr);
    ~TKrCore() override;

    // -- Events (raised only when assigned)
    TNotifyModeChange OnModeChange;
    TNotifyCallBreak OnCallBreak;
    TNotifyWarning OnWarning;
    TNotifyIcomming OnIncommingQuery;
    TNotifyMessage OnMessage;
    TNotifyCommand OnCommand;
    TNotifyUserDetail OnUserDetail;
    TNotifyUserPicture OnUserPicture;
    TNotifyReceiver OnMultiConnect;
    TNotifyReceiverChange OnReceiverChange;
    TNotifyReceiverRemove OnReceiverRemove;
    TNotifyTrack OnNotifyTrack; // may run on an engine thread
    // Set by the address book model.
    TListArrival OnListArrival;
    TBookResult OnBookResult;

    // -- Lifecycle and messages
    void Initialize(const QString& ServerName, const QString& ServerAddress,
                    const QString& ServerPort, const QString& ServerFile);
    void Release();
    bool Initialized() const { return FInitialized; }
    void HandleEngineMessage(TMessage& Msg);
    void HandleCallMessage(TMessage& Msg);
    void ReadUserList(int Kind);
    static int32_t TrackCallback(void* Context, int32_t Track, int32_t Size, const void* Buffer,
                                 const char* ID);

    // -- Public state
    int StatusMode() const { return FStatusMode; }
    bool Closing() const { return FClosing; }
    void SetClosing(bool Value) { FClosing = Value; }
    bool LoginPending() const { return FLoginPending; }
    int EchoState() const { return FEchoState; }
    QString MyName() const { return FMyName; }
    QString MyDisplayName() const { return FMyDisplayName; }
    QString PeerName() const { return FPeerName; }

    // -- Properties kept for the engine
    KrInstance Instance() const { return FInstance; }
    TMessageTarget* MessageObject() const { return FMessageObject; }
    void SetMessageObject(TMessageTarget* Value) { FMessageObject = Value; }
    QString Version;
    QString FullName;
    QString AppName;
    QString RegString;
    QString SkinName;
    bool DirectX() const { return FDirectX; }
    TFlagsArray aFlags;
    bool DisableScreenSaver = false;
    QStringList History; // up to nine recently called addresses
    TApplicationSubsystem Subsystem = asCommunicator;
    TFPSettings FPOptions;

    // -- Devices and media
    QStringList VideoCaptureDevices() const { return FVideoCaptureDevices; }
    QStringList AudioCaptureDevices() const { return FAudioCaptureDevices; }
    QStringList AudioRenderDevices() const { return FAudioRenderDevices; }
    int CurrentVideoCapture() const { return FCurrentVideoCapture; }
    void SetCurrentVideoCapture(int Value) { FCurrentVideoCapture = Value; }
    int CurrentAudioCapture() const { return FCurrentAudioCapture; }
    void SetCurrentAudioCapture(int Value) { FCurrentAudioCapture = Value; }
    int CurrentAudioRender() const { return FCurrentAudioRender; }
    void SetCurrentAudioRender(int Value);
    void UpdateDeviceLists();
    void ApplyDevices();
    void RefreshDevices();

    int RecVolume() const;
    void SetRecVolume(int Value);
    int PlayVolume() const;
    void SetPlayVolume(int Value);
    TFPSMode FPS() const { return FFPS; }
    void SetFPS(TFPSMode Value);
    int FPSRate();
    void SetFPSRate(int Value);
    bool QualityScale() const { return FQualityScale; }
    void SetQualityScale(bool Value);
    int Saturation() const { return FSaturation; }
    void SetSaturation(int Value);
    bool Pause() const { return FPause; }
    void SetPause(bool Value);
    bool SendVideo() const { return FSendVideo; }
    void SetSendVideo(bool Value);
    bool SendAudio() const { return FSendAudio; }
    void SetSendAudio(bool Value);
    int MicLevel();
    QStringList VideoMode() const { return FVideoMode; }
    QStringList VideoChannel() const { return FVideoChannel; }
    int CurrentVideoMode() const;
    void SetCurrentVideoMode(int Index);
    int CurrentVideoChannel() const { return FCurrentVideoChannel; }
    void SetCurrentVideoChannel(int Index);
    bool VideoProperty() const { return FVideoProperty; }
    int NetQuality();

    int StartSender(IVideoPanel* Panel, int Width, int Height, int SampleRate);
    void StopSender(IVideoPanel* Panel);
    bool StartTestPlayback(); // true: failed
    void StopTestPlayback();
    void PrepareAudio();
    void ShowCameraPropertyPage(quintptr ParentHandle);
    void GetVideoImage(QLabel* Image, const QString& ReceiverName);
    void TakeSnapshot(QLabel* Image, bool Own);

    // -- Servers, login, calls and receivers
    QStringList ServerList() const { return FServerList; }
    int CurrentServer() const { return FCurrentServer; }
    void SetCurrentServer(int Index);
    int DefaultServer() const { return FDefaultServer; }
    bool DefaultServerExist() const { return FDefaultServer != -1; }
    void LoadServers(const QString& ServerName, const QString& ServerAddress,
                     const QString& ServerPort, const QString& ServerFile);
    QString GetDefaultServerName();
    void SelectDefaultServer();

    void Login(const QString& UserName, const QString& Password, bool AutoLogin);
    void Logout();
    bool LoadAccountInfo();
    void ClearAccountInfo();
    TAutoLoginMode AutoLogin() const { return FAutoLogin; }
    void SetAutoLogin(TAutoLoginMode Value);
    TRights Rights() const { return FRights; }

    TConferenceType ConferenceType() const { return FConferenceType; }
    bool HandShakeSuccess() const { return FHandShakeSuccess; }
    bool IsOwner() const { return FIsOwner; }
    void PlaceCall(const QString& Name, const QString& Password, TConferenceType ConfType);
    void AcceptCall(bool Multi);
    int RejectCall();
    void HangUp();
    void Invite(const QString& UserName);
    QString GetPeerName();
    QString GetPeerDisplayName();
    void ConnectSender(bool& AudioOn, bool& VideoOn);
    void DisconnectSender();
    bool ConnectReceiver(IVideoPanel* Panel); // true: failed
    void DisconnectReceiver();
    void ResetVideoWindow(IVideoPanel* Panel, IVideoPanel* SourcePanel, bool Own);
    void MultiConnect(intptr_t Id);
    void ReceiverChanged(intptr_t Id);
    void ReceiverRemoved(intptr_t Id);
    void GetReceiverFormat(int& Width, int& Height, int& Rate);
    void SendChatMessage(const QString& Text);
    void SendCommand(const QString& Command, const QString& UserName);
    void SetEchoMode(int Mode);
    void RequestEcho(bool Off);

    // -- Network options
    int ReadConnectionType();
    void WriteConnectionType();
    void ReadProxySettings();
    void WriteProxySettings();
    int GetNetType();
    void SetNetType(int Value);
    int ManualPort(quint16& Port, int Mode);
    int CurrentPort();
    void SetCurrentPort(int Value);
    int ResetPort();
    int DefaultPort() const { return FDefaultPort; }
    bool DisableDirect() const { return FDisableDirect; }
    void SetDisableDirect(bool Value);
    bool Jitter() const { return FJitter; }
    void SetJitter(bool Value);
    int OutBandwidth();
    void SetOutBandwidth(int Value);
    int InBandwidth();
    void SetInBandwidth(int Value);
    void StartBandwidthTest(HWND Window);
    void StopBandwidthTest();
    void GetBandwidthTestResult(void* Result, intptr_t Param);
    void SetBandwidthWizard(bool On);
    void SetProxyDialog(HWND Window);
    void ProxyDialogEnd(int Result);
    bool RunAtStartup() const;
    void SetRunAtStartup(bool Value);

    // -- Server properties, user data and settings
    QString GetServerProperty(const QString& Name);
    void SetServerProperty(const QString& Name, const QString& Value);
    // Preset: an empty text when AsText, else Byte 0; replaced by the stored value.
    void ReadSetting(const QString& Name, bool AsText, TKrValue& Value);
    void WriteSetting(const QString& Name, const TKrValue& Value);
    bool ReadUserInfo(const QString& UserId, TUserInfoRecord& Info);
    bool GetUserPhoto(const QString& UserId, const void*& Data, int& Size, QString& FormatName);
    void RequestUserStatus(const QString& UserId);
    void QueryKey();
    void GetTraffic(int& Sent, int& Received);
    int BookRequestList(int Kind);
    int BookAddContact(const QString& UserId);
    int BookDeleteUser(const QString& UserId);
    int BookSearch(const QString& Condition);
    int BookAddByEmail(const QString& Email);

    static QString GetAppFileName();
    static void ListFiles(QStringList& List, const QString& SubDir, const QString& Ext);
    void RaiseOverScreenSaver();

    // Engine scale of the volumes, as kept.
    static int RecVolumeToEngine(int Volume);
    static int RecVolumeFromEngine(int EngineValue);
    static int PlayVolumeToEngine(int Volume);
    static int PlayVolumeFromEngine(int EngineValue);

private:
    void ChangeMode(int NewMode);
    void DoCallBreak(TCallBreakReason Reason);
    void ReadFlags();
    void WriteFlags();
    void ReadHistory();
    void WriteHistory();
    void DispatchEventCode(int EventCode, LPARAM Param);
    void ReadListAndNotify(int Kind);
    int Process(int Operation, const QString& Path, TKrValue& Value);
    void Warn(TWarningNotify Warning);
    std::pair<QString, QString> OtherNames(); // the peer's user name and display name

    // Engine binding
    bool FInitialized = false;
    QByteArray FFlagsBlock;   // as the engine gave it; its own words go back unchanged
    QByteArray FHistoryBlock; // likewise for the entries past the ninth
    KrInstance FInstance = 0;
    TMessageTarget* FMessageObject = nullptr;
    bool FDirectX = false;

    // Status
    int FStatusMode = 0;
    bool FClosing = false;
    bool FLoginPending = false;
    int FEchoState = 1;
    quint32 FLastStatus = 0;
    quint64 FStatusSerial = 0; // status words handled so far
    QString FMyName;
    QString FMyDisplayName;
    QString FPeerName;
    bool FHandShakeSuccess = false;
    bool FIsOwner = false;
    QRecursiveMutex FLock;
    QStringList FUserList;

    // Devices and media
    QStringList FVideoCaptureDevices;
    QStringList FAudioCaptureDevices;
    QStringList FAudioRenderDevices;
    int FCurrentVideoCapture = 0;
    int FCurrentAudioCapture = 0;
    int FCurrentAudioRender = 0;
    int FRecVolumeEngine = 0;
    int FPlayVolumeEngine = 0;
    TFPSMode FFPS = fp5;
    bool FQualityScale = false;
    int FSaturation = 0;
    bool FPause = false;
    bool FSendVideo = false;
    bool FSendAudio = false;
    int FMicMemory = 0;
    bool FTestPlayback = false;
    QStringList FVideoMode;
    QStringList FVideoChannel;
    quint32 FVideoStandard = 0;
    int FCurrentVideoChannel = 0;
    bool FVideoProperty = false;

    // Servers and account
    QStringList FServerList;
    int FCurrentServer = 0;
    int FDefaultServer = -1;
    TAutoLoginMode FAutoLogin = amUnsupported;
    TRights FRights;
    TConferenceType FConferenceType = ctPrivate;

    // Network
    int FDefaultPort = 0;
    bool FDisableDirect = false;
    bool FJitter = false;
};
