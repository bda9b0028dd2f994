// TKrCore: connection settings between the setup dialogs and the engine.
#include "KrClient.h"

#include "platform/Registry.h"
#include "startup/KrStrings.h"

#include <QByteArray>
#include <cstring>
#include <limits>

namespace {

const QString RunKey = QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");

constexpr int MaxNetType = 5;
constexpr int DefaultOutBandwidth = 60;
constexpr int DefaultInBandwidth = 128;

// The proxy settings block with the five areas the client owns.
class TProxyAreas
{
public:
    TProxyAreas()
    {
        Block.ProxyType = &FType;
        Block.Address = FAddress;
        Block.Port = &FPort;
        Block.UserName = FUserName;
        Block.Password = FPassword;
    }
    // The block points into this object.
    TProxyAreas(const TProxyAreas&) = delete;
    TProxyAreas& operator=(const TProxyAreas&) = delete;

    KrProxyBlock Block{};

    int32_t Type() const { return FType; }
    void SetType(int32_t Value) { FType = Value; }
    uint16_t Port() const { return FPort; }
    void SetPort(uint16_t Value) { FPort = Value; }

    static QString Read(const char* Area) { return EngineText(Area, KR_PROXY_TEXT_SIZE); }
    // Texts longer than an area are cut at a character boundary, so the
    // engine never sees half a UTF-8 sequence.
    static void Write(char* Area, const QString& Text)
    {
        const QByteArray bytes = ToEngineText(Text);
        qsizetype length = bytes.size();
        if (length > KR_PROXY_TEXT_SIZE - 1) {
            length = KR_PROXY_TEXT_SIZE - 1;
            while (length > 0 && (quint8(bytes.at(length)) & 0xC0) == 0x80)
                --length;
        }
        std::memcpy(Area, bytes.constData(), size_t(length));
        Area[length] = '\0';
    }

    char* Address() { return FAddress; }
    char* UserName() { return FUserName; }
    char* Password() { return FPassword; }

private:
    int32_t FType = 0;
    char FAddress[KR_PROXY_TEXT_SIZE] = {};
    uint16_t FPort = 0;
    char FUserName[KR_PROXY_TEXT_SIZE] = {};
    char FPassword[KR_PROXY_TEXT_SIZE] = {};
};

} // namespace

// ---- Proxy and connection mode ----------------------------------------------

void TKrCore::ReadProxySettings()
{
    if (!FInitialized)
        return;
    TProxyAreas areas;
    // A failed read must not wipe what the user set up.
    if (KrGetProxySet(&areas.Block) != 0)
        return;
    const QString userName = FPOptions.UserName;
    const QString password = FPOptions.Password;
    FPOptions.ProxyType = areas.Type() == -1 ? 0 : areas.Type();
    FPOptions.Address = TProxyAreas::Read(areas.Address());
    FPOptions.Port = areas.Port();
    FPOptions.UserName = TProxyAreas::Read(areas.UserName());
    FPOptions.Password = TProxyAreas::Read(areas.Password());
    if (FPOptions.bCanSavePassword) {
        FPOptions.UserName = userName;
        FPOptions.Password = password;
    }
}

void TKrCore::WriteProxySettings()
{
    if (!FInitialized)
        return;
    TProxyAreas areas;
    areas.SetType(FPOptions.ProxyType);
    TProxyAreas::Write(areas.Address(), FPOptions.Address);
    areas.SetPort(uint16_t(FPOptions.Port));
    TProxyAreas::Write(areas.UserName(), FPOptions.UserName);
    TProxyAreas::Write(areas.Password(), FPOptions.Password);
    KrSetProxySet(&areas.Block);
}

int TKrCore::ReadConnectionType()
{
    if (!FInitialized)
        return -1;
    int32_t mode = -1;
    if (KrSetProxyNetMode(&mode) != 0)
        return -1;
    FPOptions.ConnectionType = mode;
    return mode;
}

void TKrCore::WriteConnectionType()
{
    if (!FInitialized)
        return;
    int32_t mode = FPOptions.ConnectionType;
    if (KrSetProxyNetMode(&mode) == 0)
        FPOptions.ConnectionType = mode;
}

void TKrCore::SetProxyDialog(HWND Window)
{
    if (FInitialized)
        KrSetProxyDialog(KrWindow(Window));
}

void TKrCore::ProxyDialogEnd(int Result)
{
    KrProxyDialogEnd(Result);
}

// ---- Network type and ports -------------------------------------------------

int TKrCore::GetNetType()
{
    if (!FInitialized)
        return 0;
    const int32_t type = KrSetNetType(-1);
    return type >= 0 && type <= MaxNetType ? type : 0;
}

void TKrCore::SetNetType(int Value)
{
    // -1 would only read the type, so it is as invalid as 6.
    if (Value < 0 || Value > MaxNetType)
        throw EKrError(
            QString::asprintf("%d is not within the valid range of %d..%d", Value, 0, MaxNetType)
                .toStdString());
    if (FInitialized)
        KrSetNetType(Value);
}

int TKrCore::ManualPort(quint16& Port, int Mode)
{
    return KrSetManualPort(&Port, Mode);
}

int TKrCore::CurrentPort()
{
    quint16 port = 0;
    return ManualPort(port, 0) == 0 ? int(port) : -1;
}

void TKrCore::SetCurrentPort(int Value)
{
    // -1 is what CurrentPort answers on failure; cut to 16 bits it would set
    // port 65535, so values that are no port are not passed on.
    if (!FInitialized || Value < 0 || Value > std::numeric_limits<quint16>::max())
        return;
    quint16 port = quint16(Value);
    ManualPort(port, 2);
}

int TKrCore::ResetPort()
{
    quint16 port = quint16(FDefaultPort);
    return ManualPort(port, 3);
}

// ---- Connection switches and bandwidth ---------------------------------------

void TKrCore::SetDisableDirect(bool Value)
{
    if (!FInitialized)
        return;
    KrSetDisableDirect(FInstance, Value ? 1 : 0);
    FDisableDirect = Value;
}

void TKrCore::SetJitter(bool Value)
{
    FJitter = Value;
    if (FInitialized)
        KrSetJitter(FInstance, Value ? 1 : 0);
}

namespace {

// The engine's answer to a bandwidth read, or the preset when it gave none.
int BandwidthOrPreset(int Result, const TKrValue& Value, int Preset)
{
    bool ok = false;
    const qint64 bandwidth = Value.AsInteger(&ok);
    return Result == 0 && ok ? int(bandwidth) : Preset;
}

} // namespace

int TKrCore::OutBandwidth()
{
    if (!FInitialized)
        return DefaultOutBandwidth;
    TKrValue value = TKrValue::Byte(DefaultOutBandwidth);
    const int result = Process(KR_OP_GET, QStringLiteral("Sender\\VideoQuality"), value);
    return BandwidthOrPreset(result, value, DefaultOutBandwidth);
}

void TKrCore::SetOutBandwidth(int Value)
{
    if (!FInitialized)
        return;
    TKrValue value = TKrValue::Integer(Value);
    Process(KR_OP_SET, QStringLiteral("Sender\\VideoQuality"), value);
}

int TKrCore::InBandwidth()
{
    if (!FInitialized)
        return DefaultInBandwidth;
    TKrValue value = TKrValue::Byte(DefaultInBandwidth);
    const int result = Process(KR_OP_GET, QStringLiteral("Protocol\\InputBandwidth"), value);
    return BandwidthOrPreset(result, value, DefaultInBandwidth);
}

void TKrCore::SetInBandwidth(int Value)
{
    if (!FInitialized)
        return;
    TKrValue value = TKrValue::Integer(Value);
    Process(KR_OP_SET, QStringLiteral("Protocol\\InputBandwidth"), value);
}

// ---- Bandwidth test -----------------------------------------------------------

void TKrCore::StartBandwidthTest(HWND Window)
{
    if (FInitialized)
        KrBwtStart(FInstance, KrWindow(Window));
}

void TKrCore::StopBandwidthTest()
{
    if (FInitialized)
        KrBwtStop(FInstance);
}

void TKrCore::GetBandwidthTestResult(void* Result, intptr_t Param)
{
    if (FInitialized && Result)
        KrBwtGet(FInstance, Result, Param);
}

void TKrCore::SetBandwidthWizard(bool On)
{
    if (FInitialized)
        KrBwtWizardOn(FInstance, On ? 1 : 0);
}

// ---- Start at logon -------------------------------------------------------------

bool TKrCore::RunAtStartup() const
{
    if (!FInitialized || AppName.isEmpty())
        return false;
    TRegistry registry(HKEY_CURRENT_USER);
    return registry.OpenKeyReadOnly(RunKey) && registry.ValueExists(AppName);
}

void TKrCore::SetRunAtStartup(bool Value)
{
    // An empty name would be the key's default value, which starts nothing.
    if (!FInitialized || AppName.isEmpty())
        return;
    TRegistry registry(HKEY_CURRENT_USER);
    if (Value) {
        if (registry.OpenKey(RunKey, true))
            registry.WriteString(AppName, GetAppFileName() + QStringLiteral(" /m"));
    } else if (registry.OpenKey(RunKey, false)) {
        registry.DeleteValue(AppName);
    }
}
