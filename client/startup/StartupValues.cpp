#include "StartupValues.h"

TStartupValues StartupValues;
bool MainWindowReady = false;
bool MainWindowClosing = false;

namespace {

// The switch the automation service starts the program with.
bool IsAutomationSwitch(const QString& Argument)
{
    return Argument.compare(QLatin1String("-Embedding"), Qt::CaseInsensitive) == 0 ||
           Argument.compare(QLatin1String("/Embedding"), Qt::CaseInsensitive) == 0;
}

} // namespace

TStartupValues ParseCommandLine(const QStringList& Arguments)
{
    TStartupValues values;
    const QHash<QString, QString*> valueSwitches = {
        {QStringLiteral("/serv"), &values.ServerName},
        {QStringLiteral("/servip"), &values.ServerAddress},
        {QStringLiteral("/port"), &values.ServerPort},
        {QStringLiteral("/f"), &values.ServerFile},
    };
    const QStringList unusedSwitches = {QStringLiteral("/p"), QStringLiteral("/l"),
                                        QStringLiteral("/c"), QStringLiteral("/t")};
    for (qsizetype i = 0; i < Arguments.size(); ++i) {
        const QString& argument = Arguments.at(i);
        const bool last = i + 1 == Arguments.size();
        if (QString* target = valueSwitches.value(argument)) {
            if (!last)
                *target = Arguments.at(++i);
        } else if (unusedSwitches.contains(argument)) {
            if (!last)
                values.UnusedValues.insert(argument, Arguments.at(++i));
        } else if (argument == QLatin1String("/m")) {
            values.StartHidden = true;
        } else if (IsAutomationSwitch(argument)) {
            values.AutomationStart = true;
        }
    }
    return values;
}
