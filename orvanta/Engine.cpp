#include "Engine.h"

#include "devices/DeviceManager.h"

#include "platform/Messages.h"

#include <QMutex>
#include <memory>
#include <unordered_map>

TEngine::TEngine(KrWindow MessageWindow, const QString& RegString)
    : FMessageWindow(MessageWindow), FStore(RegString),
      FDevices(std::make_unique<TDeviceManager>(FStore))
{
    FDevices->Register(FProperties);
}

TEngine::~TEngine() = default;

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
