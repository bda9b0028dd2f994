#pragma once

#include <QByteArray>
#include <QString>

// Named raw-data resources of the program (compiled in below ":/raw/") and
// the program file's version.
namespace TResources {

bool Exists(const QString& Name);

// The resource's bytes; empty when it does not exist.
QByteArray Read(const QString& Name);

} // namespace TResources

struct TFileVersion
{
    int Major = 0;
    int Minor = 0;
    int Release = 0;
    int Build = 0;

    // "Major.Minor.Release.Build", e.g. 4.4.0.4500
    QString ToString() const;
};

TFileVersion ProgramFileVersion();
