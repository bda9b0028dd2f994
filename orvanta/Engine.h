#pragma once

#include "BandwidthTest.h"
#include "EngineStore.h"
#include "PropertyTree.h"
#include "ServiceLink.h"
#include "orvanta.h"

#include <QString>
#include <memory>

class TDeviceManager;
class TMediaPath;

// One engine instance, made by KrInitialize for one client window.
class TEngine
{
public:
    TEngine(KrWindow MessageWindow, const QString& RegString);
    ~TEngine();

    KrWindow MessageWindow() const { return FMessageWindow; }
    TEngineStore& Store() { return FStore; }
    TPropertyTree& Properties() { return FProperties; }
    TDeviceManager& Devices() { return *FDevices; }
    TServiceLink& Link() { return *FLink; }
    TBandwidthTest& Bandwidth() { return *FBandwidth; }
    TMediaPath& Media() { return *FMedia; }

    // The peer's picture and sound are sent back while on (modes 0 to 3).
    int EchoMode() const { return FEchoMode; }
    bool SetEchoMode(int Mode);

    // Kept for the link to the server: no direct peer-to-peer connection;
    // a jitter buffer for the received media.
    bool DisableDirect() const { return FDisableDirect; }
    void SetDisableDirect(bool On) { FDisableDirect = On; }
    bool Jitter() const { return FJitter; }
    void SetJitter(bool On) { FJitter = On; }

    // Settings operations go to the store, the others to the property tree.
    int32_t Process(int32_t Operation, const QString& Path, KrVariant* Value);

    // Posts a notification to the client's window.
    bool Post(uint32_t Msg, intptr_t WParam, intptr_t LParam) const;

private:
    KrWindow FMessageWindow;
    TEngineStore FStore;
    TPropertyTree FProperties;
    std::unique_ptr<TDeviceManager> FDevices;
    std::unique_ptr<TServiceLink> FLink;
    std::unique_ptr<TBandwidthTest> FBandwidth;
    std::unique_ptr<TMediaPath> FMedia;
    int FEchoMode = 0;
    bool FDisableDirect = false;
    bool FJitter = false;
    int FOutBandwidth = 60; // kbit/s the client allows for sending and receiving
    int FInBandwidth = 128;
    QByteArray FPhoto; // the last photo handed out, kept while the client decodes it
    QByteArray FPhotoFormat;

    void RegisterProtocolProperties();
};

// The live instances by handle. Handles are never reused, so a released
// handle stays invalid.
namespace TEngines {

KrInstance Add(TEngine* Engine);
TEngine* Find(KrInstance Instance);
void Remove(KrInstance Instance);

} // namespace TEngines
