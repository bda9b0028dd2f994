// The exported C functions: checks of the arguments, then the instance.
#include "Engine.h"
#include "devices/DeviceManager.h"
#include "orvanta.h"

#include <cstring>

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
    return TEngines::Add(
        new TEngine(MessageWindow, QString::fromLatin1(RegString ? RegString : "")));
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
    return 0;
}

int32_t KrSetSaturation(KrInstance Instance, int32_t Saturation)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    return engine->Devices().SetSaturation(Saturation) ? 0 : Failed;
}

// What follows belongs to the sender and the server link, which this engine
// does not offer yet: every call reports failure and leaves its output empty.

int32_t KrStartSender(KrInstance, const char*, const char*, KrWindow, KrRenderProc* RenderProc,
                      intptr_t* RenderInstance, int32_t, int32_t, int32_t)
{
    if (RenderProc)
        *RenderProc = nullptr;
    if (RenderInstance)
        *RenderInstance = 0;
    return 0x3;
}
int32_t KrStopSender(KrInstance) { return Failed; }
int32_t KrConnectSender(KrInstance, KrWindow, int32_t) { return Failed; }
int32_t KrDisconnectSender(KrInstance) { return Failed; }

int32_t KrSetServer(KrInstance, const char*, const char*, const char*) { return Failed; }
int32_t KrGetServers(KrInstance, int32_t, char* Names, char* Addresses)
{
    ClearText(Names);
    ClearText(Addresses);
    return 0;
}
int32_t KrSetCurrentServer(KrInstance, const char*) { return Failed; }
int32_t KrGetDefaultServer(KrInstance, char* Buffer)
{
    ClearText(Buffer);
    return Failed;
}
int32_t KrLoginToServer(KrInstance, const char*, const char*, int32_t) { return Failed; }
int32_t KrLogoutServer(KrInstance) { return Failed; }
int32_t KrGetMyName(KrInstance, char* Name, char* DisplayName, char* Third)
{
    ClearText(Name);
    ClearText(DisplayName);
    ClearText(Third);
    return 0;
}
int32_t KrGetAutologin(KrInstance) { return Failed; }
int32_t KrSetAutologin(KrInstance, int32_t) { return Failed; }

int32_t KrAcceptProtocolConnect(KrInstance) { return Failed; }
int32_t KrRejectProtocolConnect(KrInstance) { return Failed; }
int32_t KrHangupProtocolConnect(KrInstance, int32_t) { return Failed; }
int32_t KrGetOtherName(KrInstance, char* Name, char* DisplayName, char* Third)
{
    ClearText(Name);
    ClearText(DisplayName);
    ClearText(Third);
    return Failed;
}
uint32_t KrGetReceiverState(KrInstance, intptr_t, char* Name)
{
    ClearText(Name);
    return 0;
}
int32_t KrSetEchoMode(KrInstance, int32_t) { return Failed; }
int32_t KrSetTrackCallBack(KrInstance Instance, KrTrackCallback, void*)
{
    return TEngines::Find(Instance) ? 0 : Failed;
}

int32_t KrSendMessage(KrInstance, const char*, int32_t) { return Failed; }
int32_t KrSendCommand(KrInstance, const char*, const char*) { return Failed; }
int32_t KrGetChatMessage(KrInstance, intptr_t, char* UserName, char* Text)
{
    ClearText(UserName);
    ClearText(Text);
    return Failed;
}
int32_t KrGetCommandMessage(KrInstance, intptr_t, char* UserName, char* Command)
{
    ClearText(UserName);
    ClearText(Command);
    return Failed;
}

int32_t KrGetLoggedUsersList(KrInstance, const intptr_t** List, int32_t)
{
    static const intptr_t empty[5] = {};
    if (List)
        *List = empty;
    return Failed;
}
int32_t KrAddressBook(KrInstance, int32_t, const char*, int32_t) { return Failed; }
int32_t KrReadUserInfo(KrInstance, const char*, char** Fields)
{
    if (Fields)
        for (int i = 0; i < KR_USER_INFO_FIELDS; ++i)
            ClearText(Fields[i]);
    return Failed;
}
int32_t KrGetProperty(KrInstance, const char*, char* Buffer)
{
    ClearText(Buffer);
    return Failed;
}
int32_t KrGetTraffic(KrInstance, int32_t* Sent, int32_t* Received)
{
    if (Sent)
        *Sent = 0;
    if (Received)
        *Received = 0;
    return Failed;
}

int32_t KrSetProxyNetMode(int32_t*) { return Failed; }
int32_t KrSetProxySet(const KrProxyBlock*) { return Failed; }
int32_t KrGetProxySet(KrProxyBlock*) { return Failed; }
int32_t KrSetProxyDialog(KrWindow) { return Failed; }
int32_t KrProxyDialogEnd(int32_t) { return Failed; }
int32_t KrSetNetType(int32_t) { return 0; }
int32_t KrSetManualPort(uint16_t*, int32_t) { return Failed; }
int32_t KrSetDisableDirect(KrInstance, int32_t) { return Failed; }
int32_t KrSetJitter(KrInstance, int32_t) { return Failed; }

int32_t KrBwtStart(KrInstance, KrWindow) { return Failed; }
int32_t KrBwtStop(KrInstance) { return Failed; }
int32_t KrBwtGet(KrInstance, void* Result, intptr_t)
{
    if (Result)
        std::memset(Result, 0, KR_BWT_RESULT_SIZE);
    return Failed;
}
int32_t KrBwtWizardOn(KrInstance, int32_t) { return Failed; }

} // extern "C"
