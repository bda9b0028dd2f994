// The exported C functions: checks of the arguments, then the instance.
#include "Engine.h"
#include "devices/DeviceManager.h"
#include "media/MediaPath.h"
#include "orvanta.h"

#include <cstring>
#include <optional>

namespace {

constexpr int32_t Failed = -1;

void ClearText(char* Buffer)
{
    if (Buffer)
        Buffer[0] = '\0';
}

// A block into a caller's area of Size bytes, zero-filled past the data.
void CopyBlock(void* Area, qsizetype Size, const QByteArray& Data)
{
    const qsizetype length = qMin(Data.size(), Size);
    if (length > 0)
        std::memcpy(Area, Data.constData(), size_t(length));
    std::memset(static_cast<char*>(Area) + length, 0, size_t(Size - length));
}

// A text from the client, read no further than MaxLength bytes.
QByteArray Bounded(const char* Text, qsizetype MaxLength)
{
    return QByteArray(Text, qstrnlen(Text, size_t(MaxLength)));
}

// Text into a caller's buffer of Size bytes, cut to fit, always zero-terminated.
void CopyText(char* Buffer, qsizetype Size, const QByteArray& Text)
{
    const qsizetype length = qMin(Text.size(), Size - 1);
    std::memcpy(Buffer, Text.constData(), size_t(length));
    Buffer[length] = '\0';
}

} // namespace

extern "C" {

int32_t KrInterfaceGetVersion(const char* AppName, const char* Version)
{
    if (!AppName || !*AppName || !Version)
        return 0;
    return KR_INTERFACE_VERSION;
}

KrInstance KrInitialize(int32_t* Reserved, KrWindow MessageWindow, const char* RegString)
{
    if (Reserved)
        *Reserved = 0;
    auto* engine = new TEngine(MessageWindow, QString::fromLatin1(RegString ? RegString : ""));
    const KrInstance instance = TEngines::Add(engine);
    engine->Link().Connect(); // the engine connects to its server by itself
    return instance;
}

void KrRelease(KrInstance Instance)
{
    TEngines::Remove(Instance);
}

int32_t KrProcess(KrInstance Instance, int32_t Operation, const char* Path, KrVariant* Value)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Path)
        return Failed;
    return engine->Process(Operation, QString::fromLatin1(Path), Value);
}

int32_t KrGetSkinName(KrInstance Instance, char* Buffer)
{
    ClearText(Buffer);
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Buffer)
        return Failed;
    CopyText(Buffer, KR_PATH_BUFFER_SIZE, engine->Store().SkinName());
    return 0;
}

int32_t KrSetSkinName(KrInstance Instance, const char* Name)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Name)
        return Failed;
    return engine->Store().SetSkinName(QByteArray(Name, qstrnlen(Name, KR_PATH_BUFFER_SIZE - 1)))
               ? 0
               : Failed;
}

int32_t KrGetFlags(KrInstance Instance, uint8_t* Block)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Block)
        return Failed;
    CopyBlock(Block, KR_FLAGS_BLOCK_SIZE, engine->Store().Flags());
    return 0;
}

int32_t KrSetFlags(KrInstance Instance, const uint8_t* Block)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Block)
        return Failed;
    return engine->Store().SetFlags(
               QByteArray(reinterpret_cast<const char*>(Block), KR_FLAGS_BLOCK_SIZE))
               ? 0
               : Failed;
}

int32_t KrGetHistory(KrInstance Instance, char* Block)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Block)
        return Failed;
    CopyBlock(Block, KR_HISTORY_ENTRIES * KR_HISTORY_ENTRY_SIZE, engine->Store().History());
    return 0;
}

int32_t KrSetHistory(KrInstance Instance, const char* Block)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Block)
        return Failed;
    return engine->Store().SetHistory(QByteArray(Block, KR_HISTORY_ENTRIES * KR_HISTORY_ENTRY_SIZE))
               ? 0
               : Failed;
}

// ---- Devices ----------------------------------------------------------------------

uint8_t KrUpdateDeviceList(KrInstance Instance)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return TDeviceManager::NoMicrophones | TDeviceManager::NoCameras |
               TDeviceManager::NoPlayback;
    return engine->Devices().UpdateDeviceList();
}

int32_t KrGetCurrentVideoCapture(KrInstance Instance, char* Buffer)
{
    ClearText(Buffer);
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Buffer)
        return Failed;
    CopyText(Buffer, KR_PATH_BUFFER_SIZE, engine->Devices().CurrentVideoCapture());
    return 0;
}

int32_t KrGetCurrentAudioCapture(KrInstance Instance, char* Buffer)
{
    ClearText(Buffer);
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Buffer)
        return Failed;
    CopyText(Buffer, KR_PATH_BUFFER_SIZE, engine->Devices().CurrentAudioCapture());
    return 0;
}

int32_t KrSetVideoCapture(KrInstance Instance, const char* Name)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Name)
        return Failed;
    return engine->Devices().SetVideoCapture(QByteArray(Name, qstrnlen(Name, KR_PATH_BUFFER_SIZE)))
               ? 0
               : Failed;
}

int32_t KrSetAudioCapture(KrInstance Instance, const char* Name)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Name)
        return Failed;
    return engine->Devices().SetAudioCapture(QByteArray(Name, qstrnlen(Name, KR_PATH_BUFFER_SIZE)))
               ? 0
               : Failed;
}

int32_t KrForceBicubic(KrInstance Instance, int32_t On)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    engine->Devices().SetForceBicubic(On != 0);
    engine->Media().OptionsChanged();
    return 0;
}

int32_t KrSetSaturation(KrInstance Instance, int32_t Saturation)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    if (!engine->Devices().SetSaturation(Saturation))
        return Failed;
    engine->Media().OptionsChanged();
    return 0;
}

int32_t KrStartSender(KrInstance Instance, const char* AudioDevice, const char* VideoDevice,
                      KrWindow Panel, KrRenderProc* RenderProc, intptr_t* RenderInstance, int32_t,
                      int32_t, int32_t)
{
    if (RenderProc)
        *RenderProc = nullptr;
    if (RenderInstance)
        *RenderInstance = 0;
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return TMediaPath::CameraFailed | TMediaPath::MicrophoneFailed;
    const auto name = [](const char* Text) {
        return Text ? std::optional<QByteArray>(Bounded(Text, KR_PATH_BUFFER_SIZE - 1))
                    : std::nullopt;
    };
    intptr_t renderInstance = 0;
    const int32_t flags =
        engine->Media().StartSender(name(AudioDevice), name(VideoDevice), Panel, renderInstance);
    if (RenderProc)
        *RenderProc = TRenderers::Procedure();
    if (RenderInstance)
        *RenderInstance = renderInstance;
    return flags;
}

int32_t KrStopSender(KrInstance Instance)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    engine->Media().StopSender();
    return 0;
}

int32_t KrConnectSender(KrInstance Instance, KrWindow, int32_t)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    engine->Media().ConnectSender();
    return 0;
}

int32_t KrDisconnectSender(KrInstance Instance)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    engine->Media().DisconnectSender();
    return 0;
}

// ---- Servers, login and the account -------------------------------------------

int32_t KrSetServer(KrInstance Instance, const char* Name, const char* AddressOrFile, const char* Port)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Name || !*Name || !AddressOrFile)
        return Failed;
    engine->Link().SetServer(QString::fromUtf8(Bounded(Name, KR_SERVER_ENTRY_SIZE - 1)),
                             Bounded(AddressOrFile, KR_PATH_BUFFER_SIZE - 1),
                             Port ? Bounded(Port, 16) : QByteArray());
    return 0;
}

int32_t KrGetServers(KrInstance Instance, int32_t Count, char* Names, char* Addresses)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Names || Count <= 0)
        return 0;
    // The servers, then the current one.
    const QStringList entries = engine->Link().Servers() << engine->Link().CurrentServer();
    const int filled = int(qMin<qsizetype>(entries.size(), qMin(Count, KR_SERVER_ENTRIES)));
    for (int i = 0; i < filled; ++i) {
        CopyText(Names + i * KR_SERVER_ENTRY_SIZE, KR_SERVER_ENTRY_SIZE, entries.at(i).toUtf8());
        if (Addresses)
            ClearText(Addresses + i * KR_SERVER_ENTRY_SIZE);
    }
    return filled;
}

int32_t KrSetCurrentServer(KrInstance Instance, const char* Name)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Name)
        return Failed;
    return engine->Link().SetCurrentServer(QString::fromUtf8(Bounded(Name, KR_SERVER_ENTRY_SIZE - 1)))
               ? 0
               : Failed;
}

int32_t KrGetDefaultServer(KrInstance Instance, char* Buffer)
{
    ClearText(Buffer);
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Buffer)
        return Failed;
    CopyText(Buffer, KR_DEFAULT_SERVER_SIZE, engine->Link().DefaultServer().toUtf8());
    return 0;
}

int32_t KrLoginToServer(KrInstance Instance, const char* UserName, const char* Password,
                        int32_t AutoLogin)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !UserName || !Password)
        return Failed;
    return engine->Link().Login(Bounded(UserName, 255), Bounded(Password, 255), AutoLogin != 0);
}

int32_t KrLogoutServer(KrInstance Instance)
{
    TEngine* engine = TEngines::Find(Instance);
    return engine ? engine->Link().Logout() : Failed;
}

int32_t KrGetMyName(KrInstance Instance, char* Name, char* DisplayName, char* Third)
{
    ClearText(Name);
    ClearText(DisplayName);
    ClearText(Third);
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !engine->Link().LoggedIn())
        return 0;
    const TServiceAccount& account = engine->Link().Account();
    if (Name)
        CopyText(Name, KR_NAME_BUFFER_SIZE, account.UserId);
    if (DisplayName)
        CopyText(DisplayName, KR_NAME_BUFFER_SIZE, account.DisplayName.toUtf8());
    return account.Flags;
}

int32_t KrGetAutologin(KrInstance Instance)
{
    constexpr int32_t Unsupported = 2;
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !engine->Link().LoggedIn() || engine->Link().Account().AutoLogin < 0)
        return Unsupported;
    return engine->Link().Account().AutoLogin;
}

int32_t KrSetAutologin(KrInstance Instance, int32_t On)
{
    TEngine* engine = TEngines::Find(Instance);
    return engine ? engine->Link().SetAutoLogin(On != 0) : Failed;
}

// ---- Calls -----------------------------------------------------------------------

namespace {

// The connection of a logged-in instance, or null.
IServiceConnection* Connection(KrInstance Instance)
{
    TEngine* engine = TEngines::Find(Instance);
    return engine && engine->Link().LoggedIn() ? engine->Link().Connection() : nullptr;
}

} // namespace

int32_t KrAcceptProtocolConnect(KrInstance Instance)
{
    IServiceConnection* connection = Connection(Instance);
    return connection && connection->Accept() ? 0 : Failed;
}

int32_t KrRejectProtocolConnect(KrInstance Instance)
{
    IServiceConnection* connection = Connection(Instance);
    return connection && connection->Reject() ? 0 : Failed;
}

int32_t KrHangupProtocolConnect(KrInstance Instance, int32_t)
{
    IServiceConnection* connection = Connection(Instance);
    if (!connection)
        return Failed;
    connection->HangUp();
    return 0;
}

int32_t KrGetOtherName(KrInstance Instance, char* Name, char* DisplayName, char* Third)
{
    ClearText(Name);
    ClearText(DisplayName);
    ClearText(Third);
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    if (Name)
        CopyText(Name, KR_NAME_BUFFER_SIZE, engine->Link().PeerId());
    if (DisplayName)
        CopyText(DisplayName, KR_NAME_BUFFER_SIZE, engine->Link().PeerDisplayName().toUtf8());
    return 0;
}

uint32_t KrGetReceiverState(KrInstance, intptr_t, char* Name)
{
    // Only one-to-one calls are carried: no further participants to report.
    ClearText(Name);
    return 0;
}

int32_t KrSetEchoMode(KrInstance Instance, int32_t Mode)
{
    TEngine* engine = TEngines::Find(Instance);
    return engine && engine->SetEchoMode(Mode) ? 0 : Failed;
}

int32_t KrSetTrackCallBack(KrInstance Instance, KrTrackCallback Callback, void* Context)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    engine->Media().SetTrackCallback(Callback, Context);
    return 0;
}

// ---- Chat and peer commands ----------------------------------------------------

int32_t KrSendMessage(KrInstance Instance, const char* Text, int32_t)
{
    IServiceConnection* connection = Connection(Instance);
    if (!connection || !Text)
        return Failed;
    return connection->SendChat(QString::fromUtf8(Bounded(Text, KR_MESSAGE_BUFFER_SIZE - 1))) ? 0
                                                                                              : Failed;
}

int32_t KrSendCommand(KrInstance Instance, const char* Command, const char* UserName)
{
    IServiceConnection* connection = Connection(Instance);
    if (!connection || !Command)
        return Failed;
    return connection->SendCommand(Bounded(Command, KR_MESSAGE_BUFFER_SIZE - 1),
                                   UserName ? Bounded(UserName, 255) : QByteArray())
               ? 0
               : Failed;
}

// Returns 1 for a message of the service itself, 0 for one of a user.
int32_t KrGetChatMessage(KrInstance Instance, intptr_t Message, char* UserName, char* Text)
{
    ClearText(UserName);
    ClearText(Text);
    TEngine* engine = TEngines::Find(Instance);
    QByteArray from, text;
    bool system = false;
    if (!engine || !engine->Link().TakeChat(Message, from, text, system))
        return Failed;
    if (UserName)
        CopyText(UserName, KR_MESSAGE_BUFFER_SIZE, from);
    if (Text)
        CopyText(Text, KR_MESSAGE_BUFFER_SIZE, text);
    return system ? 1 : 0;
}

int32_t KrGetCommandMessage(KrInstance Instance, intptr_t Message, char* UserName, char* Command)
{
    ClearText(UserName);
    ClearText(Command);
    TEngine* engine = TEngines::Find(Instance);
    QByteArray from, command;
    if (!engine || !engine->Link().TakeCommand(Message, from, command))
        return Failed;
    if (UserName)
        CopyText(UserName, KR_MESSAGE_BUFFER_SIZE, from);
    if (Command)
        CopyText(Command, KR_MESSAGE_BUFFER_SIZE, command);
    return 0;
}

// ---- Users, the address book and server properties ------------------------------

int32_t KrGetLoggedUsersList(KrInstance Instance, const intptr_t** List, int32_t Kind)
{
    static const intptr_t empty[5] = {};
    if (!List)
        return Failed;
    *List = empty;
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    *List = engine->Link().UserList(Kind);
    return 0;
}

int32_t KrAddressBook(KrInstance Instance, int32_t Operation, const char* Text, int32_t Param)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || Operation < 0 || Operation > 4 || (Operation != 0 && !Text))
        return Failed;
    return engine->Link().AddressBook(Operation, Text ? Bounded(Text, 4095) : QByteArray(), Param);
}

int32_t KrReadUserInfo(KrInstance Instance, const char* UserName, char** Fields)
{
    if (!Fields)
        return Failed;
    for (int i = 0; i < KR_USER_INFO_FIELDS; ++i)
        ClearText(Fields[i]);
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !UserName)
        return Failed;
    const QByteArrayList info = engine->Link().UserInfo(Bounded(UserName, 255));
    if (info.size() != KR_USER_INFO_FIELDS)
        return Failed;
    for (int i = 0; i < KR_USER_INFO_FIELDS; ++i)
        if (Fields[i])
            CopyText(Fields[i], KR_USER_INFO_FIELD_SIZE, info.at(i));
    return 0;
}

int32_t KrGetProperty(KrInstance Instance, const char* Name, char* Buffer)
{
    ClearText(Buffer);
    TEngine* engine = TEngines::Find(Instance);
    if (!engine || !Name || !Buffer)
        return Failed;
    const QByteArray value = engine->Link().Property(Bounded(Name, 255));
    if (value.isEmpty())
        return Failed;
    CopyText(Buffer, KR_PROPERTY_BUFFER_SIZE, value);
    return 0;
}

int32_t KrGetTraffic(KrInstance Instance, int32_t* Sent, int32_t* Received)
{
    if (Sent)
        *Sent = 0;
    if (Received)
        *Received = 0;
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    int32_t sent = 0;
    int32_t received = 0;
    engine->Media().Traffic(sent, received);
    if (Sent)
        *Sent = sent;
    if (Received)
        *Received = received;
    return 0;
}

// The network functions are in ExportsNetwork.cpp.

// ---- Bandwidth test --------------------------------------------------------------

int32_t KrBwtStart(KrInstance Instance, KrWindow Window)
{
    TEngine* engine = TEngines::Find(Instance);
    return engine && engine->Bandwidth().Start(Window) ? 0 : Failed;
}

int32_t KrBwtStop(KrInstance Instance)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    engine->Bandwidth().Stop();
    return 0;
}

int32_t KrBwtGet(KrInstance Instance, void* Result, intptr_t)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!Result || !engine)
        return Failed;
    CopyBlock(Result, KR_BWT_RESULT_SIZE, engine->Bandwidth().Result());
    return 0;
}

int32_t KrBwtWizardOn(KrInstance Instance, int32_t On)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    engine->Bandwidth().SetWizard(On != 0);
    return 0;
}

} // extern "C"
