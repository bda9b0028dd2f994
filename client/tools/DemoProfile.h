#pragma once

#include "engine/KrClient.h"
#include "platform/Registry.h"

// A user ready to be shown or tested: the first run is over and, on the real
// engine, the built-in test camera is chosen as the first run's hardware page
// would choose it. For the documentation pictures and the window tests.
namespace TDemoProfile {

inline void MarkFirstRunDone()
{
    TRegistry registry(HKEY_CURRENT_USER);
    registry.OpenKey(QStringLiteral("\\Software\\Orvanta\\Tavrilo"), true);
    registry.WriteInteger(QStringLiteral("Initialized"), 3);
}

inline void SelectTestCamera()
{
    TKrCore core;
    core.RegString = QStringLiteral("Orvanta\\Tavrilo");
    core.Initialize(QString(), QString(), QString(), QString());
    core.SetCurrentVideoCapture(
        core.VideoCaptureDevices().indexOf(QStringLiteral("Test Pattern Camera")));
    core.ApplyDevices();
    core.Release();
}

} // namespace TDemoProfile
