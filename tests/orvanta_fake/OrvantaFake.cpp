// The fake's state and the control side that tests use.
#include "FakeState.h"

#include <QSet>
#include <utility>

namespace {

// Scripts that name no engine function would silently never answer; a typo in
// a test must fail loudly instead.
void CheckFunction(const QByteArray& Function)
{
    if (!IsEngineFunction(Function))
        qFatal("TOrvantaFake: %s is not an engine function", Function.constData());
}

template <typename TChange> void Change(TChange&& ChangeData)
{
    TFakeEngine& engine = TFakeEngine::Get();
    QMutexLocker locker(&engine.Lock);
    ChangeData(engine.Data);
}

} // namespace

TFakeEngine& TFakeEngine::Get()
{
    static TFakeEngine engine;
    return engine;
}

bool IsEngineFunction(const QByteArray& Function)
{
    static const QSet<QByteArray> names = {"KrInterfaceGetVersion",
                                           "KrInitialize",
                                           "KrRelease",
                                           "KrProcess",
                                           "KrGetSkinName",
                                           "KrSetSkinName",
                                           "KrGetFlags",
                                           "KrSetFlags",
                                           "KrGetHistory",
                                           "KrSetHistory",
                                           "KrUpdateDeviceList",
                                           "KrGetCurrentVideoCapture",
                                           "KrGetCurrentAudioCapture",
                                           "KrSetVideoCapture",
                                           "KrSetAudioCapture",
                                           "KrStartSender",
                                           "KrStopSender",
                                           "KrForceBicubic",
                                           "KrSetSaturation",
                                           "KrConnectSender",
                                           "KrDisconnectSender",
                                           "KrSetServer",
                                           "KrGetServers",
                                           "KrSetCurrentServer",
                                           "KrGetDefaultServer",
                                           "KrLoginToServer",
                                           "KrLogoutServer",
                                           "KrGetMyName",
                                           "KrGetAutologin",
                                           "KrSetAutologin",
                                           "KrAcceptProtocolConnect",
                                           "KrRejectProtocolConnect",
                                           "KrHangupProtocolConnect",
                                           "KrGetOtherName",
                                           "KrGetReceiverState",
                                           "KrSetEchoMode",
                                           "KrSetTrackCallBack",
                                           "KrSendMessage",
                                           "KrSendCommand",
                                           "KrGetChatMessage",
                                           "KrGetCommandMessage",
                                           "KrGetLoggedUsersList",
                                           "KrAddressBook",
                                           "KrReadUserInfo",
                                           "KrGetProperty",
                                           "KrGetTraffic",
                                           "KrSetProxyNetMode",
                                           "KrSetProxySet",
                                           "KrGetProxySet",
                                           "KrSetProxyDialog",
                                           "KrProxyDialogEnd",
                                           "KrSetNetType",
                                           "KrSetManualPort",
                                           "KrSetDisableDirect",
                                           "KrSetJitter",
                                           "KrBwtStart",
                                           "KrBwtStop",
                                           "KrBwtGet",
                                           "KrBwtWizardOn"};
    return names.contains(Function);
}

TFakeCallScope::TFakeCallScope(const char* Function, QVariantList Args)
    : FEngine(TFakeEngine::Get()), FLocker(&FEngine.Lock), FFunction(Function)
{
    FEngine.Data.Calls.append({FFunction, std::move(Args)});
}

qint64 TFakeCallScope::Result(qint64 Unscripted)
{
    auto queued = FEngine.Data.Queued.find(FFunction);
    if (queued != FEngine.Data.Queued.end() && !queued->isEmpty())
        return queued->takeFirst();
    return FEngine.Data.Results.value(FFunction, Unscripted);
}

QByteArray TFakeCallScope::Text(qsizetype Index) const
{
    return FEngine.Data.Texts.value(FFunction).value(Index);
}

QVariant VariantToQVariant(const KrVariant& Value)
{
    switch (Value.Type) {
    case KrVtInteger:
        return QVariant::fromValue<qint64>(Value.Value.Integer);
    case KrVtUnsigned:
        return QVariant::fromValue<quint64>(Value.Value.Unsigned);
    case KrVtByte:
        return QVariant::fromValue<quint8>(Value.Value.Byte);
    case KrVtBoolean:
        return QVariant(Value.Value.Boolean != 0);
    case KrVtString:
        return QVariant(QByteArray(Value.Value.String));
    case KrVtArray: {
        QVariantList elements;
        if (Value.Value.Array)
            for (int32_t i = 0; i < Value.Count; ++i)
                elements.append(VariantToQVariant(Value.Value.Array[i]));
        return elements;
    }
    default:
        return {};
    }
}

namespace {

bool BuildVariant(KrVariant* Target, const QVariant& Source)
{
    switch (Source.typeId()) {
    case QMetaType::UnknownType:
        return true;
    case QMetaType::Bool:
        Target->Type = KrVtBoolean;
        Target->Value.Boolean = Source.toBool() ? 1 : 0;
        return true;
    case QMetaType::UChar:
        Target->Type = KrVtByte;
        Target->Value.Byte = Source.value<quint8>();
        return true;
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        Target->Type = KrVtInteger;
        Target->Value.Integer = Source.toLongLong();
        return true;
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        Target->Type = KrVtUnsigned;
        Target->Value.Unsigned = Source.toULongLong();
        return true;
    case QMetaType::QByteArray:
        return KrVariantSetString(Target, Source.toByteArray().constData()) == 0;
    case QMetaType::QString:
        return KrVariantSetString(Target, Source.toString().toUtf8().constData()) == 0;
    case QMetaType::QVariantList: {
        const QVariantList elements = Source.toList();
        if (KrVariantSetArray(Target, int32_t(elements.size())) != 0)
            return false;
        for (qsizetype i = 0; i < elements.size(); ++i)
            if (!BuildVariant(&Target->Value.Array[i], elements[i]))
                return false;
        return true;
    }
    default:
        return false;
    }
}

} // namespace

bool AssignVariant(KrVariant* Target, const QVariant& Source)
{
    KrVariant built;
    KrVariantInit(&built);
    if (!BuildVariant(&built, Source)) {
        KrVariantClear(&built);
        return false;
    }
    KrVariantClear(Target);
    *Target = built;
    return true;
}

namespace TOrvantaFake {

void Reset()
{
    Change([](TFakeData& Data) { Data = TFakeData(); });
}

QList<TFakeCall> Calls()
{
    TFakeEngine& engine = TFakeEngine::Get();
    QMutexLocker locker(&engine.Lock);
    return engine.Data.Calls;
}

QList<TFakeCall> Calls(const QByteArray& Function)
{
    CheckFunction(Function);
    QList<TFakeCall> found;
    for (const TFakeCall& call : Calls())
        if (call.Function == Function)
            found.append(call);
    return found;
}

QList<TFakeCall> ProcessCalls(const QByteArray& Path, int32_t Operation)
{
    QList<TFakeCall> found;
    for (const TFakeCall& call : Calls("KrProcess"))
        if (call.Path() == Path && (Operation == AnyOperation || call.Operation() == Operation))
            found.append(call);
    return found;
}

void SetResult(const QByteArray& Function, qint64 Result)
{
    CheckFunction(Function);
    Change([&](TFakeData& Data) { Data.Results.insert(Function, Result); });
}

void QueueResults(const QByteArray& Function, const QList<qint64>& Results)
{
    CheckFunction(Function);
    Change([&](TFakeData& Data) { Data.Queued[Function].append(Results); });
}

void SetTexts(const QByteArray& Function, const QByteArrayList& Texts)
{
    CheckFunction(Function);
    Change([&](TFakeData& Data) { Data.Texts.insert(Function, Texts); });
}

void SetProperty(const QByteArray& Name, const QByteArray& Text)
{
    Change([&](TFakeData& Data) { Data.Properties.insert(Name, Text); });
}

void SetServers(const QByteArrayList& Names, const QByteArrayList& Addresses)
{
    Change([&](TFakeData& Data) {
        Data.ServerNames = Names;
        Data.ServerAddresses = Addresses;
    });
}

void SetHistory(const QByteArrayList& Entries)
{
    Change([&](TFakeData& Data) { Data.History = Entries; });
}

void SetFlags(const QByteArray& Block)
{
    Change([&](TFakeData& Data) { Data.Flags = Block; });
}

void SetBandwidthTestResult(const QByteArray& Record)
{
    Change([&](TFakeData& Data) { Data.BandwidthTestResult = Record; });
}

void SetUsers(const QList<TFakeUser>& Users, int32_t Kind)
{
    Change([&](TFakeData& Data) { Data.Users.insert(Kind, Users); });
}

void SetSenderRender(KrRenderProc Proc, intptr_t RenderInstance)
{
    Change([&](TFakeData& Data) {
        Data.RenderProc = Proc;
        Data.RenderInstance = RenderInstance;
    });
}

void SetProxy(const TFakeProxy& Proxy)
{
    Change([&](TFakeData& Data) { Data.Proxy = Proxy; });
}

void SetTraffic(int32_t Sent, int32_t Received)
{
    Change([&](TFakeData& Data) {
        Data.Sent = Sent;
        Data.Received = Received;
    });
}

void SetProxyNetMode(int32_t Mode)
{
    Change([&](TFakeData& Data) { Data.ProxyNetMode = Mode; });
}

void SetManualPort(int32_t Mode, uint16_t Port)
{
    Change([&](TFakeData& Data) { Data.ManualPorts.insert(Mode, Port); });
}

void SetProcess(int32_t Operation, const QByteArray& Path, int32_t Result)
{
    Change([&](TFakeData& Data) { Data.Process[{Operation, Path}] = {Result, std::nullopt, {}}; });
}

void SetProcess(int32_t Operation, const QByteArray& Path, int32_t Result, const QVariant& Value)
{
    KrVariant probe;
    KrVariantInit(&probe);
    const bool carried = AssignVariant(&probe, Value);
    KrVariantClear(&probe);
    if (!carried)
        qFatal("TOrvantaFake: a KrVariant cannot carry a %s", Value.typeName());
    Change([&](TFakeData& Data) { Data.Process[{Operation, Path}] = {Result, Value, {}}; });
}

void SetProcessHandler(int32_t Operation, const QByteArray& Path, TFakeProcessHandler Handler)
{
    Change([&](TFakeData& Data) {
        Data.Process[{Operation, Path}] = {-1, std::nullopt, std::move(Handler)};
    });
}

void SetSetting(const QByteArray& Path, const QVariant& Value)
{
    SetProcess(KR_OP_READ_SETTING, Path, 0, Value);
}

std::optional<int32_t> InvokeTrackCallback(int32_t Track, int32_t Size, const void* Buffer,
                                           const char* Id)
{
    KrTrackCallback callback = nullptr;
    void* context = nullptr;
    Change([&](TFakeData& Data) {
        callback = Data.TrackCallback;
        context = Data.TrackContext;
    });
    if (!callback)
        return std::nullopt;
    return callback(context, Track, Size, Buffer, Id);
}

} // namespace TOrvantaFake
