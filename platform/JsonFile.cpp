#include "platform/JsonFile.h"

#include "platform/Paths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <cstdio>

namespace TJsonFile {

QJsonObject Load(const QString& Path, const QString& What)
{
    QFile file(Path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "warning: cannot read %s (%s): %s\n", qPrintable(What),
                     qPrintable(Path), qPrintable(file.errorString()));
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    if (error.error == QJsonParseError::NoError && document.isObject())
        return document.object();

    const QString aside = QStringLiteral("%1.damaged-%2").arg(
        Path, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")));
    const bool kept = QFile::rename(Path, aside);
    std::fprintf(stderr, "warning: %s (%s) is damaged%s; starting with an empty one\n",
                 qPrintable(What), qPrintable(Path),
                 kept ? qPrintable(QStringLiteral(", kept as %1").arg(aside)) : "");
    return {};
}

QString StoredKey(const QJsonObject& Object, const QString& Name)
{
    for (auto it = Object.begin(); it != Object.end(); ++it)
        if (it.key().compare(Name, Qt::CaseInsensitive) == 0)
            return it.key();
    return Name;
}

bool Save(const QString& Path, const QJsonObject& Object, TAccess Access)
{
    if (!TPaths::EnsureDir(QFileInfo(Path).absolutePath()))
        return false;
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (Access == TAccess::OwnerOnly &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return false;
    }
    file.write(QJsonDocument(Object).toJson(QJsonDocument::Indented));
    return file.commit();
}

} // namespace TJsonFile
