#pragma once

#include "SettingsStore.h"
#include "orvanta.h"

#include <QString>

// One engine instance, made by KrInitialize for one client window.
class TEngine
{
public:
    TEngine(KrWindow MessageWindow, const QString& RegString);

    KrWindow MessageWindow() const { return FMessageWindow; }
    TSettingsStore& Settings() { return FSettings; }

    int32_t Process(int32_t Operation, const QString& Path, KrVariant* Value);

private:
    KrWindow FMessageWindow;
    TSettingsStore FSettings;
};

// The live instances by handle. Handles are never reused, so a released
// handle stays invalid.
namespace TEngines {

KrInstance Add(TEngine* Engine);
TEngine* Find(KrInstance Instance);
void Remove(KrInstance Instance);

} // namespace TEngines
