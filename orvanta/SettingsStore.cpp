#include "SettingsStore.h"

#include "platform/JsonFile.h"
#include "platform/Paths.h"

#include <QDir>
#include <QJsonArray>

namespace {

const QString SettingsField = QStringLiteral("settings");
const QString TypeField = QStringLiteral("type");
const QString ValueField = QStringLiteral("value");

// Folder parts of a registry branch; "." and ".." cannot climb out.
QString BranchFolder(const QString& RegString)
{
    QStringList parts;
    for (const QString& part : RegString.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        QString clean = part;
        clean.replace(QLatin1Char('/'), QLatin1Char('_'));
        if (clean != QLatin1String(".") && clean != QLatin1String(".."))
            parts << clean;
    }
    return parts.isEmpty() ? QStringLiteral("default") : parts.join(QLatin1Char('/'));
}

QJsonValue ToJson(const KrVariant& Value)
{
    switch (Value.Type) {
    case KrVtInteger:
        return QJsonObject{{TypeField, "integer"}, {ValueField, qint64(Value.Value.Integer)}};
    case KrVtUnsigned: // stored as text: JSON numbers cannot hold every 64-bit value
        return QJsonObject{{TypeField, "unsigned"},
                           {ValueField, QString::number(Value.Value.Unsigned)}};
    case KrVtByte:
        return QJsonObject{{TypeField, "byte"}, {ValueField, int(Value.Value.Byte)}};
    case KrVtBoolean:
        return QJsonObject{{TypeField, "boolean"}, {ValueField, Value.Value.Boolean != 0}};
    case KrVtString:
        return QJsonObject{{TypeField, "string"},
                           {ValueField, QString::fromLatin1(Value.Value.String
                                                                ? Value.Value.String
                                                                : "")}};
    case KrVtArray: {
        QJsonArray elements;
        for (int32_t i = 0; i < Value.Count; ++i)
            elements.append(ToJson(Value.Value.Array[i]));
        return QJsonObject{{TypeField, "array"}, {ValueField, elements}};
    }
    default:
        return QJsonObject{{TypeField, "empty"}};
    }
}

bool FromJson(const QJsonValue& Json, KrVariant* Value)
{
    const QJsonObject object = Json.toObject();
    const QString type = object.value(TypeField).toString();
    const QJsonValue value = object.value(ValueField);
    KrVariant result;
    KrVariantInit(&result);
    if (type == QLatin1String("integer")) {
        result.Type = KrVtInteger;
        result.Value.Integer = value.toInteger();
    } else if (type == QLatin1String("unsigned")) {
        result.Type = KrVtUnsigned;
        result.Value.Unsigned = value.toString().toULongLong();
    } else if (type == QLatin1String("byte")) {
        result.Type = KrVtByte;
        result.Value.Byte = static_cast<uint8_t>(value.toInt());
    } else if (type == QLatin1String("boolean")) {
        result.Type = KrVtBoolean;
        result.Value.Boolean = value.toBool() ? 1 : 0;
    } else if (type == QLatin1String("string")) {
        if (KrVariantSetString(&result, value.toString().toLatin1().constData()) != 0)
            return false;
    } else if (type == QLatin1String("array")) {
        const QJsonArray elements = value.toArray();
        if (KrVariantSetArray(&result, elements.size()) != 0)
            return false;
        for (int i = 0; i < elements.size(); ++i)
            if (!FromJson(elements.at(i), &result.Value.Array[i])) {
                KrVariantClear(&result);
                return false;
            }
    } else if (type != QLatin1String("empty")) {
        return false;
    }
    KrVariantClear(Value);
    *Value = result;
    return true;
}

// The stored spelling of Name, or Name when it is not stored.
QString StoredName(const QJsonObject& Settings, const QString& Name)
{
    for (auto it = Settings.begin(); it != Settings.end(); ++it)
        if (it.key().compare(Name, Qt::CaseInsensitive) == 0)
            return it.key();
    return Name;
}

} // namespace

TSettingsStore::TSettingsStore(const QString& RegString)
    : FFileName(QDir(TPaths::ConfigDir())
                    .filePath(QStringLiteral("engine/%1/settings.json").arg(BranchFolder(RegString))))
{
    FSettings = TJsonFile::Load(FFileName, QStringLiteral("the engine's settings"))
                    .value(SettingsField)
                    .toObject();
}

bool TSettingsStore::Read(const QString& Name, KrVariant* Value) const
{
    const QString stored = StoredName(FSettings, Name);
    return FSettings.contains(stored) && FromJson(FSettings.value(stored), Value);
}

bool TSettingsStore::Write(const QString& Name, const KrVariant& Value)
{
    if (Name.isEmpty())
        return false;
    FSettings.insert(StoredName(FSettings, Name), ToJson(Value));
    return TJsonFile::Save(FFileName, QJsonObject{{SettingsField, FSettings}});
}
