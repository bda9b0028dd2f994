#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// What the command line asks of this start.
struct TStartupValues
{
    QString ServerName;    // "/serv"
    QString ServerAddress; // "/servip"
    QString ServerPort;    // "/port", as text
    QString ServerFile;    // "/f"
    // "/p", "/l", "/c" and "/t" take a value that nothing uses; kept by switch.
    QHash<QString, QString> UnusedValues;
    bool StartHidden = false;     // "/m", or a start by the automation service
    bool AutomationStart = false; // started to serve an automation request
};

// Arguments after the program name. A switch is only an argument equal to it
// exactly (case matters). A value switch takes the next argument, whatever it
// is, and sets nothing when it is the last; a later switch replaces the value
// of an earlier one; every other argument is ignored.
TStartupValues ParseCommandLine(const QStringList& Arguments);

// The process-wide start-up values and flags.
extern TStartupValues StartupValues;
extern bool MainWindowReady;   // the main window exists and may be brought forward
extern bool MainWindowClosing; // the main window is shutting the program down
