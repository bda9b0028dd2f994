#include "Engine.h"

#include "NetworkOptions.h"
#include "devices/DeviceManager.h"
#include "media/MediaPath.h"
#include "service/DemoService.h"

#include "platform/Messages.h"

#include <QMutex>
#include <QRandomGenerator>
#include <memory>
#include <unordered_map>

namespace {

// The services the server list can reach: the built-in demo service. A
// server given by address or server file has no service behind it yet, so
// it shows as offline.
std::shared_ptr<IConferenceService> ServiceFor(const QString& Name, const QByteArray&,
                                               const QByteArray&)
{
    if (Name.compare(TServiceLink::DemoServer, Qt::CaseInsensitive) == 0)
        return TDemoService::Instance();
    return nullptr;
}

// What the link to the demo service measures, in bytes per second: a
// broadband line, with the variation of a real measurement.
qint32 Measured(qint32 BytesPerSecond)
{
    const qint32 spread = BytesPerSecond / 20;
    return BytesPerSecond - spread + qint32(QRandomGenerator::global()->bounded(2 * spread + 1));
}

} // namespace

TEngine::TEngine(KrWindow MessageWindow, const QString& RegString)
    : FMessageWindow(MessageWindow), FStore(RegString),
      FDevices(std::make_unique<TDeviceManager>(FStore))
{
    FDevices->Register(FProperties);
    FLink = std::make_unique<TServiceLink>(
        [this](uint32_t Msg, intptr_t WParam, intptr_t LParam) { return Post(Msg, WParam, LParam); },
        &ServiceFor);
    FBandwidth = std::make_unique<TBandwidthTest>(
        [](KrWindow Window, uint32_t Msg, intptr_t WParam, intptr_t LParam) {
            return PostMessage(Window, Msg, WParam, LParam);
        },
        TBandwidthTest::TLinkProbe{[this] { return FLink->Connection() != nullptr; },
                                   [] { return Measured(64000); },
                                   [] { return Measured(128000); }});
    FMedia = std::make_unique<TMediaPath>(*FDevices, *FLink);
    FMedia->Register(FProperties);
    FLink->SetGate([](std::function<void(bool)> Proceed) {
        TNetworkOptions& options = TNetworkOptions::Instance();
        if (!options.ProxyAsksForCredentials())
            return false;
        if (!options.RequestCredentials(Proceed))
            Proceed(false); // nobody to ask: the proxy keeps the way shut
        return true;
    });
    RegisterProtocolProperties();
}

TEngine::~TEngine()
{
    FMedia.reset(); // stops the camera and takes the renderers from the panels
    FLink.reset(); // leaves the service before the devices go
}

bool TEngine::SetEchoMode(int Mode)
{
    if (Mode < 0 || Mode > 3)
        return false;
    FEchoMode = Mode;
    FMedia->SetEchoBack(Mode == 3);
    return true;
}

int32_t TEngine::Process(int32_t Operation, const QString& Path, KrVariant* Value)
{
    if (!Value || Path.isEmpty())
        return -1;
    switch (Operation) {
    case KR_OP_READ_SETTING:
        return FStore.ReadSetting(Path, Value) ? 0 : 1;
    case KR_OP_WRITE_SETTING:
        return FStore.WriteSetting(Path, *Value) ? 0 : -1;
    default:
        return FProperties.Process(Operation, Path, Value);
    }
}

bool TEngine::Post(uint32_t Msg, intptr_t WParam, intptr_t LParam) const
{
    return FMessageWindow != 0 && PostMessage(FMessageWindow, Msg, WParam, LParam);
}

namespace TEngines {
namespace {

struct TTable
{
    QMutex Lock;
    std::unordered_map<KrInstance, std::unique_ptr<TEngine>> Engines;
    KrInstance Next = 1;
};

TTable& Table()
{
    static TTable table;
    return table;
}

} // namespace

KrInstance Add(TEngine* Engine)
{
    QMutexLocker locker(&Table().Lock);
    const KrInstance handle = Table().Next++;
    Table().Engines.emplace(handle, std::unique_ptr<TEngine>(Engine));
    return handle;
}

TEngine* Find(KrInstance Instance)
{
    QMutexLocker locker(&Table().Lock);
    const auto found = Table().Engines.find(Instance);
    return found == Table().Engines.end() ? nullptr : found->second.get();
}

void Remove(KrInstance Instance)
{
    QMutexLocker locker(&Table().Lock);
    Table().Engines.erase(Instance);
}

} // namespace TEngines
