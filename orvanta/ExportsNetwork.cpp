// The exported network functions: the process-wide options, and the
// per-instance direct-connection and jitter switches.
#include "Engine.h"
#include "NetworkOptions.h"
#include "orvanta.h"

#include <cstring>

namespace {

constexpr int32_t Failed = -1;

// The text in one of the block's areas, read no further than the area.
QByteArray AreaText(const char* Area)
{
    return QByteArray(Area, qstrnlen(Area, KR_PROXY_TEXT_SIZE - 1));
}

void SetAreaText(char* Area, const QByteArray& Text)
{
    const qsizetype length = qMin<qsizetype>(Text.size(), KR_PROXY_TEXT_SIZE - 1);
    std::memcpy(Area, Text.constData(), size_t(length));
    Area[length] = '\0';
}

bool Complete(const KrProxyBlock* Block)
{
    return Block && Block->ProxyType && Block->Address && Block->Port && Block->UserName &&
           Block->Password;
}

} // namespace

extern "C" {

int32_t KrSetProxyNetMode(int32_t* Mode)
{
    if (!Mode)
        return Failed;
    TNetworkOptions& options = TNetworkOptions::Instance();
    const bool changed = *Mode == -1 || options.SetConnectionMode(*Mode);
    *Mode = options.ConnectionMode();
    return changed ? 0 : Failed;
}

int32_t KrSetProxySet(const KrProxyBlock* Block)
{
    if (!Complete(Block))
        return Failed;
    return TNetworkOptions::Instance().SetProxy({*Block->ProxyType, AreaText(Block->Address),
                                                 *Block->Port, AreaText(Block->UserName),
                                                 AreaText(Block->Password)})
               ? 0
               : Failed;
}

int32_t KrGetProxySet(KrProxyBlock* Block)
{
    if (!Complete(Block))
        return Failed;
    const TNetworkOptions::TProxy proxy = TNetworkOptions::Instance().Proxy();
    *Block->ProxyType = proxy.Type;
    SetAreaText(Block->Address, proxy.Address);
    *Block->Port = proxy.Port;
    SetAreaText(Block->UserName, proxy.UserName);
    SetAreaText(Block->Password, proxy.Password);
    return 0;
}

// Answers the network type in effect; -1 only reads it.
int32_t KrSetNetType(int32_t NetType)
{
    TNetworkOptions& options = TNetworkOptions::Instance();
    if (NetType != -1 && !options.SetNetType(NetType))
        return Failed;
    return options.NetType();
}

int32_t KrSetManualPort(uint16_t* Port, int32_t Mode)
{
    if (!Port)
        return Failed;
    TNetworkOptions& options = TNetworkOptions::Instance();
    switch (Mode) {
    case 0: // the port in use
        *Port = options.ManualPort() != 0 ? options.ManualPort() : TNetworkOptions::DefaultPort;
        return 0;
    case 1:
        *Port = TNetworkOptions::DefaultPort;
        return 0;
    case 2:
        return *Port != 0 && options.SetManualPort(*Port) ? 0 : Failed;
    case 3:
        return options.SetManualPort(0) ? 0 : Failed;
    default:
        return Failed;
    }
}

int32_t KrSetProxyDialog(KrWindow Window)
{
    TNetworkOptions::Instance().SetAuthenticationWindow(Window);
    return 0;
}

int32_t KrProxyDialogEnd(int32_t Result)
{
    return TNetworkOptions::Instance().EndRequest(Result);
}

int32_t KrSetDisableDirect(KrInstance Instance, int32_t Disable)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    engine->SetDisableDirect(Disable != 0);
    return 0;
}

int32_t KrSetJitter(KrInstance Instance, int32_t On)
{
    TEngine* engine = TEngines::Find(Instance);
    if (!engine)
        return Failed;
    engine->SetJitter(On != 0);
    return 0;
}

} // extern "C"
