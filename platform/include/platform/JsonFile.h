#pragma once

#include <QJsonObject>
#include <QString>

// Small JSON documents that must survive crashes: written whole to a
// temporary file and renamed over the old one, so a reader sees either the
// old or the new content, never a torn file.
namespace TJsonFile {

// The object stored in Path; an empty object when the file does not exist.
// A file that cannot be parsed is kept aside as "<Path>.damaged-<time>", a
// warning naming What goes to standard error, and an empty object is returned.
QJsonObject Load(const QString& Path, const QString& What);

// The spelling under which Object stores Name, compared without regard to
// case; Name itself when Object has no such key.
QString StoredKey(const QJsonObject& Object, const QString& Name);

enum class TAccess { Default, OwnerOnly };

// Writes Object atomically, creating the folder when missing. OwnerOnly
// files are never readable by others, not even while being written.
bool Save(const QString& Path, const QJsonObject& Object, TAccess Access = TAccess::Default);

} // namespace TJsonFile
