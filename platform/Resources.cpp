#include "platform/Resources.h"

#include <QFile>

namespace TResources {
namespace {

QString PathOf(const QString& Name)
{
    return QStringLiteral(":/raw/") + Name;
}

} // namespace

bool Exists(const QString& Name)
{
    return !Name.isEmpty() && !Name.contains(QLatin1Char('/')) && QFile::exists(PathOf(Name));
}

QByteArray Read(const QString& Name)
{
    if (!Exists(Name))
        return {};
    QFile file(PathOf(Name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace TResources

QString TFileVersion::ToString() const
{
    return QStringLiteral("%1.%2.%3.%4").arg(Major).arg(Minor).arg(Release).arg(Build);
}

TFileVersion ProgramFileVersion()
{
    return {KR_VERSION_MAJOR, KR_VERSION_MINOR, KR_VERSION_RELEASE, KR_VERSION_BUILD};
}
