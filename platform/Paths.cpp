#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace TPaths {
namespace {

const QString Product = QStringLiteral("tavrilo");

QString Root()
{
    return qEnvironmentVariable(RootVariable);
}

QString Below(const QString& RootSub, QStandardPaths::StandardLocation Location)
{
    const QString root = Root();
    if (!root.isEmpty())
        return QDir(root).filePath(RootSub);
    return QStandardPaths::writableLocation(Location);
}

} // namespace

QString ConfigDir()
{
    return QDir(Below("config", QStandardPaths::GenericConfigLocation)).filePath(Product);
}

QString DataDir()
{
    return QDir(Below("data", QStandardPaths::GenericDataLocation)).filePath(Product);
}

QString CacheDir()
{
    return QDir(Below("cache", QStandardPaths::GenericCacheLocation)).filePath(Product);
}

QString RuntimeDir()
{
    const QString root = Root();
    if (!root.isEmpty())
        return QDir(root).filePath("run");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QDir(runtime).filePath(Product);
    return QDir::temp().filePath(QStringLiteral("%1-%2").arg(Product).arg(getuid()));
}

QString AutostartDir()
{
    return QDir(Below("config", QStandardPaths::GenericConfigLocation)).filePath("autostart");
}

QString ApplicationsDir()
{
    return QDir(Below("data", QStandardPaths::GenericDataLocation)).filePath("applications");
}

QString ProgramDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

bool EnsureDir(const QString& Path)
{
    return QDir().mkpath(Path);
}

} // namespace TPaths
