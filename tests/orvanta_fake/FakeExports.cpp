// The engine's exported functions as the fake offers them: record the call,
// then answer from the script within the sizes the interface promises.
#include "FakeState.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace {

QVariant IntArg(qint64 Value)
{
    return QVariant::fromValue<qint64>(Value);
}

QVariant TextArg(const char* Value)
{
    return Value ? QByteArray(Value) : QByteArray();
}

template <typename TPointer> QVariant AddressArg(TPointer Pointer)
{
    return IntArg(reinterpret_cast<intptr_t>(Pointer));
}

// Stands for a pointer to an area the function only writes.
const QVariant Output;

void WriteText(char* Buffer, qsizetype Size, const QByteArray& Value)
{
    if (!Buffer)
        return;
    const qsizetype length = std::min(Value.size(), Size - 1);
    std::memcpy(Buffer, Value.constData(), size_t(length));
    Buffer[length] = '\0';
}

void WriteBlock(void* Block, qsizetype Size, const QByteArray& Value)
{
    if (!Block)
        return;
    const qsizetype length = std::min(Value.size(), Size);
    std::memcpy(Block, Value.constData(), size_t(length));
    std::memset(static_cast<char*>(Block) + length, 0, size_t(Size - length));
}

// Entries of fixed size one after the other, each zero-filled past its text.
void WriteEntries(char* Block, int32_t Count, qsizetype EntrySize, const QByteArrayList& Entries)
{
    if (!Block)
        return;
    for (int32_t i = 0; i < Count; ++i) {
        char* entry = Block + i * EntrySize;
        std::memset(entry, 0, size_t(EntrySize));
        WriteText(entry, EntrySize, Entries.value(i));
    }
}

QByteArray ReadEntry(const char* Entry, qsizetype EntrySize)
{
    return QByteArray(Entry, qstrnlen(Entry, size_t(EntrySize)));
}

// A group of five slots; a null text stays a null slot.
void AppendUser(TFakeData& Data, const TFakeUser& User)
{
    const auto slotOf = [&Data](const QByteArray& Value) -> intptr_t {
        if (Value.isNull())
            return 0;
        Data.UserTexts.push_back(Value);
        return reinterpret_cast<intptr_t>(Data.UserTexts.back().constData());
    };
    Data.UserSlots.push_back(slotOf(User.UserName));
    Data.UserSlots.push_back(slotOf(User.DisplayName));
    Data.UserSlots.push_back(slotOf(User.Third));
    Data.UserSlots.push_back(intptr_t(User.Number));
    Data.UserSlots.push_back(slotOf(User.Fifth));
}

// Functions that only take values: record them and return the scripted result.
int32_t Plain(const char* Function, QVariantList Args)
{
    TFakeCallScope call(Function, std::move(Args));
    return int32_t(call.Result(0));
}

// Functions that write nothing but their texts into buffers of one size.
int32_t TextsInto(const char* Function, QVariantList Args, qsizetype Size,
                  std::initializer_list<char*> Buffers)
{
    TFakeCallScope call(Function, std::move(Args));
    qsizetype index = 0;
    for (char* buffer : Buffers)
        WriteText(buffer, Size, call.Text(index++));
    return int32_t(call.Result(0));
}

} // namespace

extern "C" {

int32_t KrInterfaceGetVersion(const char* AppName, const char* Version)
{
    TFakeCallScope call(__func__, {TextArg(AppName), TextArg(Version)});
    return int32_t(call.Result(KR_INTERFACE_VERSION));
}

KrInstance KrInitialize(int32_t* Reserved, KrWindow MessageWindow, const char* RegString)
{
    TFakeCallScope call(__func__, {Output, IntArg(MessageWindow), TextArg(RegString)});
    if (Reserved)
        *Reserved = 0;
    return KrInstance(call.Result(TOrvantaFake::DefaultInstance));
}

void KrRelease(KrInstance Instance)
{
    TFakeCallScope call(__func__, {IntArg(Instance)});
    call.Data().TrackCallback = nullptr;
    call.Data().TrackContext = nullptr;
}

int32_t KrProcess(KrInstance Instance, int32_t Operation, const char* Path, KrVariant* Value)
{
    TFakeCallScope call(__func__, {IntArg(Instance), IntArg(Operation), TextArg(Path),
                                   Value ? VariantToQVariant(*Value) : QVariant()});
    const auto found = call.Data().Process.find({Operation, QByteArray(Path)});
    if (found == call.Data().Process.end())
        return int32_t(call.Result(-1));
    const TFakeProcessScript script = found->second;
    call.Unlock();
    if (script.Handler)
        return script.Handler(Value);
    if (script.Value && Value)
        AssignVariant(Value, *script.Value);
    return script.Result;
}

int32_t KrGetSkinName(KrInstance Instance, char* Buffer)
{
    return TextsInto(__func__, {IntArg(Instance), Output}, KR_PATH_BUFFER_SIZE, {Buffer});
}

int32_t KrSetSkinName(KrInstance Instance, const char* Name)
{
    return Plain(__func__, {IntArg(Instance), TextArg(Name)});
}

int32_t KrGetFlags(KrInstance Instance, uint8_t* Block)
{
    TFakeCallScope call(__func__, {IntArg(Instance), Output});
    WriteBlock(Block, KR_FLAGS_BLOCK_SIZE, call.Data().Flags);
    return int32_t(call.Result(0));
}

int32_t KrSetFlags(KrInstance Instance, const uint8_t* Block)
{
    const QByteArray content =
        Block ? QByteArray(reinterpret_cast<const char*>(Block), KR_FLAGS_BLOCK_SIZE)
              : QByteArray();
    return Plain(__func__, {IntArg(Instance), content});
}

int32_t KrGetHistory(KrInstance Instance, char* Block)
{
    TFakeCallScope call(__func__, {IntArg(Instance), Output});
    WriteEntries(Block, KR_HISTORY_ENTRIES, KR_HISTORY_ENTRY_SIZE, call.Data().History);
    return int32_t(call.Result(0));
}

int32_t KrSetHistory(KrInstance Instance, const char* Block)
{
    QVariant entries;
    if (Block) {
        QByteArrayList list;
        for (int32_t i = 0; i < KR_HISTORY_ENTRIES; ++i)
            list.append(ReadEntry(Block + i * KR_HISTORY_ENTRY_SIZE, KR_HISTORY_ENTRY_SIZE));
        entries = QVariant::fromValue(list);
    }
    return Plain(__func__, {IntArg(Instance), entries});
}

uint8_t KrUpdateDeviceList(KrInstance Instance)
{
    TFakeCallScope call(__func__, {IntArg(Instance)});
    return uint8_t(call.Result(0));
}

int32_t KrGetCurrentVideoCapture(KrInstance Instance, char* Buffer)
{
    return TextsInto(__func__, {IntArg(Instance), Output}, KR_PATH_BUFFER_SIZE, {Buffer});
}

int32_t KrGetCurrentAudioCapture(KrInstance Instance, char* Buffer)
{
    return TextsInto(__func__, {IntArg(Instance), Output}, KR_PATH_BUFFER_SIZE, {Buffer});
}

int32_t KrSetVideoCapture(KrInstance Instance, const char* Name)
{
    return Plain(__func__, {IntArg(Instance), TextArg(Name)});
}

int32_t KrSetAudioCapture(KrInstance Instance, const char* Name)
{
    return Plain(__func__, {IntArg(Instance), TextArg(Name)});
}

int32_t KrStartSender(KrInstance Instance, const char* AudioDevice, const char* VideoDevice,
                      KrWindow Panel, KrRenderProc* RenderProc, intptr_t* RenderInstance,
                      int32_t Width, int32_t Height, int32_t SampleRate)
{
    TFakeCallScope call(__func__, {IntArg(Instance), TextArg(AudioDevice), TextArg(VideoDevice),
                                   IntArg(Panel), Output, Output, IntArg(Width), IntArg(Height),
                                   IntArg(SampleRate)});
    if (RenderProc)
        *RenderProc = call.Data().RenderProc;
    if (RenderInstance)
        *RenderInstance = call.Data().RenderInstance;
    return int32_t(call.Result(0));
}

int32_t KrStopSender(KrInstance Instance)
{
    return Plain(__func__, {IntArg(Instance)});
}

int32_t KrForceBicubic(KrInstance Instance, int32_t On)
{
    return Plain(__func__, {IntArg(Instance), IntArg(On)});
}

int32_t KrSetSaturation(KrInstance Instance, int32_t Saturation)
{
    return Plain(__func__, {IntArg(Instance), IntArg(Saturation)});
}

int32_t KrConnectSender(KrInstance Instance, KrWindow MessageWindow, int32_t Multi)
{
    return Plain(__func__, {IntArg(Instance), IntArg(MessageWindow), IntArg(Multi)});
}

int32_t KrDisconnectSender(KrInstance Instance)
{
    return Plain(__func__, {IntArg(Instance)});
}

int32_t KrSetServer(KrInstance Instance, const char* Name, const char* AddressOrFile,
                    const char* Port)
{
    return Plain(__func__,
                 {IntArg(Instance), TextArg(Name), TextArg(AddressOrFile), TextArg(Port)});
}

int32_t KrGetServers(KrInstance Instance, int32_t Count, char* Names, char* Addresses)
{
    TFakeCallScope call(__func__, {IntArg(Instance), IntArg(Count), Output, Output});
    const int32_t capacity = std::clamp(Count, 0, int32_t(KR_SERVER_ENTRIES));
    WriteEntries(Names, capacity, KR_SERVER_ENTRY_SIZE, call.Data().ServerNames);
    WriteEntries(Addresses, capacity, KR_SERVER_ENTRY_SIZE, call.Data().ServerAddresses);
    const qsizetype written =
        Names ? std::min<qsizetype>(call.Data().ServerNames.size(), capacity) : 0;
    return int32_t(call.Result(written));
}

int32_t KrSetCurrentServer(KrInstance Instance, const char* Name)
{
    return Plain(__func__, {IntArg(Instance), TextArg(Name)});
}

int32_t KrGetDefaultServer(KrInstance Instance, char* Buffer)
{
    return TextsInto(__func__, {IntArg(Instance), Output}, KR_DEFAULT_SERVER_SIZE, {Buffer});
}

int32_t KrLoginToServer(KrInstance Instance, const char* UserName, const char* Password,
                        int32_t AutoLogin)
{
    return Plain(__func__,
                 {IntArg(Instance), TextArg(UserName), TextArg(Password), IntArg(AutoLogin)});
}

int32_t KrLogoutServer(KrInstance Instance)
{
    return Plain(__func__, {IntArg(Instance)});
}

int32_t KrGetMyName(KrInstance Instance, char* Name, char* DisplayName, char* Third)
{
    return TextsInto(__func__, {IntArg(Instance), Output, Output, Output}, KR_NAME_BUFFER_SIZE,
                     {Name, DisplayName, Third});
}

int32_t KrGetAutologin(KrInstance Instance)
{
    return Plain(__func__, {IntArg(Instance)});
}

int32_t KrSetAutologin(KrInstance Instance, int32_t On)
{
    return Plain(__func__, {IntArg(Instance), IntArg(On)});
}

int32_t KrAcceptProtocolConnect(KrInstance Instance)
{
    return Plain(__func__, {IntArg(Instance)});
}

int32_t KrRejectProtocolConnect(KrInstance Instance)
{
    return Plain(__func__, {IntArg(Instance)});
}

int32_t KrHangupProtocolConnect(KrInstance Instance, int32_t Reason)
{
    return Plain(__func__, {IntArg(Instance), IntArg(Reason)});
}

int32_t KrGetOtherName(KrInstance Instance, char* Name, char* DisplayName, char* Third)
{
    return TextsInto(__func__, {IntArg(Instance), Output, Output, Output}, KR_NAME_BUFFER_SIZE,
                     {Name, DisplayName, Third});
}

uint32_t KrGetReceiverState(KrInstance Instance, intptr_t Receiver, char* Name)
{
    TFakeCallScope call(__func__, {IntArg(Instance), IntArg(Receiver), Output});
    WriteText(Name, KR_RECEIVER_NAME_SIZE, call.Text(0));
    return uint32_t(call.Result(0));
}

int32_t KrSetEchoMode(KrInstance Instance, int32_t Mode)
{
    return Plain(__func__, {IntArg(Instance), IntArg(Mode)});
}

int32_t KrSetTrackCallBack(KrInstance Instance, KrTrackCallback Callback, void* Context)
{
    TFakeCallScope call(__func__, {IntArg(Instance), AddressArg(Callback), AddressArg(Context)});
    call.Data().TrackCallback = Callback;
    call.Data().TrackContext = Context;
    return int32_t(call.Result(0));
}

int32_t KrSendMessage(KrInstance Instance, const char* Text, int32_t Reserved)
{
    return Plain(__func__, {IntArg(Instance), TextArg(Text), IntArg(Reserved)});
}

int32_t KrSendCommand(KrInstance Instance, const char* Command, const char* UserName)
{
    return Plain(__func__, {IntArg(Instance), TextArg(Command), TextArg(UserName)});
}

int32_t KrGetChatMessage(KrInstance Instance, intptr_t Message, char* UserName, char* Text)
{
    return TextsInto(__func__, {IntArg(Instance), IntArg(Message), Output, Output},
                     KR_MESSAGE_BUFFER_SIZE, {UserName, Text});
}

int32_t KrGetCommandMessage(KrInstance Instance, intptr_t Message, char* UserName, char* Command)
{
    return TextsInto(__func__, {IntArg(Instance), IntArg(Message), Output, Output},
                     KR_MESSAGE_BUFFER_SIZE, {UserName, Command});
}

int32_t KrGetLoggedUsersList(KrInstance Instance, const intptr_t** List, int32_t Kind)
{
    TFakeCallScope call(__func__, {IntArg(Instance), Output, IntArg(Kind)});
    TFakeData& data = call.Data();
    const QList<TFakeUser> users =
        data.Users.value(data.Users.contains(Kind) ? Kind : TOrvantaFake::AnyKind);
    data.UserTexts.clear();
    data.UserSlots.clear();
    // The slots point into UserTexts, which must therefore never reallocate.
    data.UserTexts.reserve(size_t(users.size()) * 4);
    for (const TFakeUser& user : users)
        AppendUser(data, user);
    data.UserSlots.insert(data.UserSlots.end(), 5, 0);
    if (List)
        *List = data.UserSlots.data();
    return int32_t(call.Result(0));
}

int32_t KrAddressBook(KrInstance Instance, int32_t Operation, const char* Text, int32_t Param)
{
    return Plain(__func__, {IntArg(Instance), IntArg(Operation), TextArg(Text), IntArg(Param)});
}

int32_t KrReadUserInfo(KrInstance Instance, const char* UserName, char** Fields)
{
    TFakeCallScope call(__func__, {IntArg(Instance), TextArg(UserName), Output});
    if (Fields)
        for (int32_t i = 0; i < KR_USER_INFO_FIELDS; ++i)
            WriteText(Fields[i], KR_USER_INFO_FIELD_SIZE, call.Text(i));
    return int32_t(call.Result(0));
}

int32_t KrGetProperty(KrInstance Instance, const char* Name, char* Buffer)
{
    TFakeCallScope call(__func__, {IntArg(Instance), TextArg(Name), Output});
    WriteText(Buffer, KR_PROPERTY_BUFFER_SIZE, call.Data().Properties.value(QByteArray(Name)));
    return int32_t(call.Result(0));
}

int32_t KrGetTraffic(KrInstance Instance, int32_t* Sent, int32_t* Received)
{
    TFakeCallScope call(__func__, {IntArg(Instance), Output, Output});
    if (Sent)
        *Sent = call.Data().Sent;
    if (Received)
        *Received = call.Data().Received;
    return int32_t(call.Result(0));
}

int32_t KrSetProxyNetMode(int32_t* Mode)
{
    TFakeCallScope call(__func__, {Mode ? IntArg(*Mode) : QVariant()});
    if (Mode && call.Data().ProxyNetMode)
        *Mode = *call.Data().ProxyNetMode;
    return int32_t(call.Result(0));
}

int32_t KrSetProxySet(const KrProxyBlock* Block)
{
    QVariant values;
    if (Block)
        values =
            QVariantList{Block->ProxyType ? IntArg(*Block->ProxyType) : QVariant(),
                         TextArg(Block->Address), Block->Port ? IntArg(*Block->Port) : QVariant(),
                         TextArg(Block->UserName), TextArg(Block->Password)};
    return Plain(__func__, {values});
}

int32_t KrGetProxySet(KrProxyBlock* Block)
{
    TFakeCallScope call(__func__, {Output});
    if (Block) {
        const TFakeProxy& proxy = call.Data().Proxy;
        if (Block->ProxyType)
            *Block->ProxyType = proxy.ProxyType;
        WriteText(Block->Address, KR_PROXY_TEXT_SIZE, proxy.Address);
        if (Block->Port)
            *Block->Port = proxy.Port;
        WriteText(Block->UserName, KR_PROXY_TEXT_SIZE, proxy.UserName);
        WriteText(Block->Password, KR_PROXY_TEXT_SIZE, proxy.Password);
    }
    return int32_t(call.Result(0));
}

int32_t KrSetProxyDialog(KrWindow Window)
{
    return Plain(__func__, {IntArg(Window)});
}

int32_t KrProxyDialogEnd(int32_t Result)
{
    return Plain(__func__, {IntArg(Result)});
}

int32_t KrSetNetType(int32_t NetType)
{
    return Plain(__func__, {IntArg(NetType)});
}

int32_t KrSetManualPort(uint16_t* Port, int32_t Mode)
{
    TFakeCallScope call(__func__, {Port ? IntArg(*Port) : QVariant(), IntArg(Mode)});
    const auto found = call.Data().ManualPorts.constFind(Mode);
    if (Port && found != call.Data().ManualPorts.constEnd())
        *Port = *found;
    return int32_t(call.Result(0));
}

int32_t KrSetDisableDirect(KrInstance Instance, int32_t Disable)
{
    return Plain(__func__, {IntArg(Instance), IntArg(Disable)});
}

int32_t KrSetJitter(KrInstance Instance, int32_t On)
{
    return Plain(__func__, {IntArg(Instance), IntArg(On)});
}

int32_t KrBwtStart(KrInstance Instance, KrWindow Window)
{
    return Plain(__func__, {IntArg(Instance), IntArg(Window)});
}

int32_t KrBwtStop(KrInstance Instance)
{
    return Plain(__func__, {IntArg(Instance)});
}

int32_t KrBwtGet(KrInstance Instance, void* Result, intptr_t Param)
{
    TFakeCallScope call(__func__, {IntArg(Instance), Output, IntArg(Param)});
    WriteBlock(Result, KR_BWT_RESULT_SIZE, call.Data().BandwidthTestResult);
    return int32_t(call.Result(0));
}

int32_t KrBwtWizardOn(KrInstance Instance, int32_t On)
{
    return Plain(__func__, {IntArg(Instance), IntArg(On)});
}

} // extern "C"
