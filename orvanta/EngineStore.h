#pragma once

#include "orvanta.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// What the engine keeps for a client between runs: the client's named
// settings, the flags block, the history block and the skin file name. All of
// it lives in one file of the engine's, in a folder named after the client's
// registry branch; every change reaches the disk at once and atomically, so
// nothing is lost or torn when the process ends abruptly.
class TEngineStore
{
public:
    // RegString is the client's registry branch ("Maker\Product").
    explicit TEngineStore(const QString& RegString);

    QString FileName() const { return FFileName; }

    // Settings: names compare without regard to case. Read replaces Value with
    // the stored setting; false (Value untouched) when there is none.
    bool ReadSetting(const QString& Name, KrVariant* Value) const;
    bool WriteSetting(const QString& Name, const KrVariant& Value);

    // KR_FLAGS_BLOCK_SIZE bytes; zeros until first written.
    QByteArray Flags() const { return FFlags; }
    bool SetFlags(const QByteArray& Block);

    // KR_HISTORY_ENTRIES entries of KR_HISTORY_ENTRY_SIZE bytes.
    QByteArray History() const { return FHistory; }
    bool SetHistory(const QByteArray& Block);

    QByteArray SkinName() const { return FSkinName; }
    bool SetSkinName(const QByteArray& Name);

private:
    bool Save() const;

    QString FFileName;
    QJsonObject FSettings;
    QByteArray FFlags;
    QByteArray FHistory;
    QByteArray FSkinName;
};
