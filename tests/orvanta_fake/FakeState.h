#pragma once

#include "OrvantaFake.h"

#include <QHash>
#include <QMutex>
#include <map>
#include <utility>
#include <vector>

struct TFakeProcessScript
{
    int32_t Result = -1;
    std::optional<QVariant> Value;
    TFakeProcessHandler Handler;
};

// Everything recorded and scripted; Reset puts it back to this.
struct TFakeData
{
    QList<TFakeCall> Calls;
    QHash<QByteArray, qint64> Results;
    QHash<QByteArray, QList<qint64>> Queued;
    QHash<QByteArray, QByteArrayList> Texts;
    QHash<QByteArray, QByteArray> Properties;
    std::map<std::pair<int32_t, QByteArray>, TFakeProcessScript> Process;
    QByteArrayList ServerNames;
    QByteArrayList ServerAddresses;
    QByteArrayList History;
    QByteArray Flags;
    QByteArray BandwidthTestResult;
    QHash<int32_t, QList<TFakeUser>> Users;
    std::vector<QByteArray> UserTexts; // owns what the slots point to
    std::vector<intptr_t> UserSlots;
    KrRenderProc RenderProc = nullptr;
    intptr_t RenderInstance = 0;
    TFakeProxy Proxy;
    int32_t Sent = 0;
    int32_t Received = 0;
    std::optional<int32_t> ProxyNetMode;
    QHash<int32_t, uint16_t> ManualPorts;
    KrTrackCallback TrackCallback = nullptr;
    void* TrackContext = nullptr;
};

struct TFakeEngine
{
    QMutex Lock;
    TFakeData Data;

    static TFakeEngine& Get();
};

// One call of an exported function: records it and holds the lock until it
// ends or Unlock.
class TFakeCallScope
{
public:
    TFakeCallScope(const char* Function, QVariantList Args);

    TFakeData& Data() { return FEngine.Data; }
    // The next queued result, else the scripted default, else Unscripted.
    qint64 Result(qint64 Unscripted);
    QByteArray Text(qsizetype Index) const;
    void Unlock() { FLocker.unlock(); }

private:
    TFakeEngine& FEngine;
    QMutexLocker<QMutex> FLocker;
    QByteArray FFunction;
};

bool IsEngineFunction(const QByteArray& Function);

QVariant VariantToQVariant(const KrVariant& Value);
// Replaces Target with Source (freeing what Target held); false, and Target
// untouched, when Source holds a type no KrVariant can carry.
bool AssignVariant(KrVariant* Target, const QVariant& Source);
