#pragma once

#include "orvanta.h"

#include <QJsonObject>
#include <QString>

// The client's named settings, kept between runs in the engine's own file.
// Names compare without regard to case. Every write reaches the disk at once
// (atomically), so nothing is lost when the program ends abruptly.
class TSettingsStore
{
public:
    // Opens the store of a client; RegString is the client's registry branch
    // ("Maker\Product"), which names its folder.
    explicit TSettingsStore(const QString& RegString);

    QString FileName() const { return FFileName; }

    // Replaces Value with the stored setting; false (Value untouched) when
    // there is none or it cannot be represented.
    bool Read(const QString& Name, KrVariant* Value) const;
    bool Write(const QString& Name, const KrVariant& Value);

private:
    QString FFileName;
    QJsonObject FSettings;
};
