#pragma once

#include <QString>
#include <functional>

// The system's "open": a web address or a file goes to the handler the user
// chose for it. Targets often come from the server or from links, so only
// web (http, https), mail (mailto) and file addresses, and local paths, are
// opened; they are handed over as one address and never reach a command line.
class TShell
{
public:
    // True when the target was handed to its handler. Hidden asks the handler
    // to stay out of sight; most handlers ignore it.
    static bool Open(const QString& Target, bool Hidden = false);

    // For tests: while a recorder is installed, targets that pass the checks
    // are recorded instead of opened.
    using TRecorder = std::function<void(const QString& Target, bool Hidden)>;
    static void InstallRecorder(TRecorder Recorder);
    static void RemoveRecorder();
};
