#include "platform/Autostart.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

namespace TAutostart {
namespace {

// Characters that make a desktop entry's Exec argument need quotes.
const QString Reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

bool NeedsQuotes(const QString& Argument)
{
    if (Argument.isEmpty())
        return true;
    for (const QChar c : Argument)
        if (Reserved.contains(c))
            return true;
    return false;
}

QString Quoted(const QString& Argument)
{
    QString result = QStringLiteral("\"");
    for (const QChar c : Argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            result += QLatin1Char('\\');
        result += c;
    }
    return result + QLatin1Char('"');
}

// The escapes every string value of a desktop entry takes. Readers undo
// these before they look at Exec quoting, so they go on last.
QString EscapedValue(const QString& Value)
{
    QString result;
    for (qsizetype i = 0; i < Value.size(); ++i) {
        const QChar c = Value.at(i);
        if (c == QLatin1Char('\\'))
            result += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            result += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            result += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            result += QStringLiteral("\\r");
        else if (c == QLatin1Char(' ') && i == 0)
            result += QStringLiteral("\\s");
        else
            result += c;
    }
    return result;
}

// Program path and the text of its arguments. The path may hold spaces and
// is not quoted in a Run value, so the file system decides where it ends.
std::pair<QString, QString> SplitCommand(const QString& Command)
{
    if (Command.startsWith(QLatin1Char('"'))) {
        const qsizetype close = Command.indexOf(QLatin1Char('"'), 1);
        if (close > 0)
            return {Command.mid(1, close - 1), Command.mid(close + 1)};
    }
    if (QFileInfo(Command).isFile())
        return {Command, QString()};
    for (qsizetype i = Command.lastIndexOf(QLatin1Char(' ')); i > 0;
         i = Command.lastIndexOf(QLatin1Char(' '), i - 1)) {
        const QString program = Command.left(i);
        if (QFileInfo(program).isFile())
            return {program, Command.mid(i + 1)};
    }
    return {Command, QString()};
}

QString FileName(const QString& Name)
{
    // Injective, so two value names never share one entry.
    QString safe = Name;
    safe.replace(QLatin1Char('%'), QStringLiteral("%25"));
    safe.replace(QLatin1Char('/'), QStringLiteral("%2F"));
    return safe + QStringLiteral(".desktop");
}

} // namespace

bool IsRunKey(const QString& KeyPath)
{
    const QStringList parts = KeyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts.join(QLatin1Char('\\')).compare(QLatin1StringView(RunKey), Qt::CaseInsensitive) ==
           0;
}

QString EntryFile(const QString& Name)
{
    return QDir(TPaths::AutostartDir()).filePath(FileName(Name));
}

QString ExecLine(const QString& Command)
{
    const auto [program, rest] = SplitCommand(Command);
    QStringList arguments{Quoted(program)};
    for (const QString& argument : QProcess::splitCommand(rest))
        arguments << (NeedsQuotes(argument) ? Quoted(argument) : argument);
    QString exec = arguments.join(QLatin1Char(' '));
    exec.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return exec;
}

bool WriteEntry(const QString& Name, const QString& Command)
{
    if (!TPaths::EnsureDir(TPaths::AutostartDir()))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(EscapedValue(Name), EscapedValue(ExecLine(Command)));
    QSaveFile file(EntryFile(Name));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(entry.toUtf8());
    return file.commit();
}

bool RemoveEntry(const QString& Name)
{
    const QString path = EntryFile(Name);
    return !QFileInfo::exists(path) || QFile::remove(path);
}

} // namespace TAutostart
