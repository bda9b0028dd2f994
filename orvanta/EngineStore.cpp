#include "EngineStore.h"

#include "platform/JsonFile.h"
#include "platform/Paths.h"

#include <QDir>
#include <QJsonArray>
#include <QtEndian>

namespace {

const QString SettingsField = QStringLiteral("settings");
const QString FlagsField = QStringLiteral("flags");
const QString HistoryField = QStringLiteral("history");
const QString SkinField = QStringLiteral("skin");

constexpr qsizetype HistorySize = qsizetype(KR_HISTORY_ENTRIES) * KR_HISTORY_ENTRY_SIZE;

// The flags block of a first run: natural colours, both volumes at half, 15
// frames per second; everything else off.
QByteArray FirstRunFlags()
{
    QByteArray block(KR_FLAGS_BLOCK_SIZE, '\0');
    const auto set = [&block](int Offset, qint32 Value) {
        qToLittleEndian<qint32>(Value, block.data() + Offset);
    };
    set(40, 100);   // saturation
    set(44, 32768); // playback volume
    set(48, 32768); // microphone volume
    set(76, 15);    // frame rate
    return block;
}

// Texts of the engine are kept byte for byte: each byte as one character.
QString Bytes(const QByteArray& Text)
{
    return QString::fromLatin1(Text);
}
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


} // namespace

TEngineStore::TEngineStore(const QString& RegString)
    : FFileName(QDir(TPaths::ConfigDir())
                    .filePath(QStringLiteral("engine/%1/settings.json").arg(BranchFolder(RegString)))),
      FFlags(FirstRunFlags()), FHistory(HistorySize, '\0')
{
    const QJsonObject stored = TJsonFile::Load(FFileName, QStringLiteral("the engine's settings"));
    FSettings = stored.value(SettingsField).toObject();

    const QByteArray flags = QByteArray::fromBase64(stored.value(FlagsField).toString().toLatin1());
    if (flags.size() == KR_FLAGS_BLOCK_SIZE)
        FFlags = flags;

    const QJsonArray history = stored.value(HistoryField).toArray();
    for (qsizetype i = 0; i < qMin<qsizetype>(history.size(), KR_HISTORY_ENTRIES); ++i) {
        const QByteArray entry = history.at(i).toString().toLatin1().left(KR_HISTORY_ENTRY_SIZE - 1);
        FHistory.replace(i * KR_HISTORY_ENTRY_SIZE, entry.size(), entry);
    }
    FSkinName = stored.value(SkinField).toString().toLatin1();
}

bool TEngineStore::ReadSetting(const QString& Name, KrVariant* Value) const
{
    const QString stored = TJsonFile::StoredKey(FSettings, Name);
    return FSettings.contains(stored) && FromJson(FSettings.value(stored), Value);
}

bool TEngineStore::WriteSetting(const QString& Name, const KrVariant& Value)
{
    if (Name.isEmpty())
        return false;
    FSettings.insert(TJsonFile::StoredKey(FSettings, Name), ToJson(Value));
    return Save();
}

bool TEngineStore::SetFlags(const QByteArray& Block)
{
    if (Block.size() != KR_FLAGS_BLOCK_SIZE)
        return false;
    FFlags = Block;
    return Save();
}

bool TEngineStore::SetHistory(const QByteArray& Block)
{
    if (Block.size() != HistorySize)
        return false;
    FHistory = Block;
    return Save();
}

bool TEngineStore::SetSkinName(const QByteArray& Name)
{
    FSkinName = Name;
    return Save();
}

bool TEngineStore::Save() const
{
    // History entries as texts up to their first zero; the empty tail is left out.
    QJsonArray history;
    qsizetype used = 0;
    for (int i = 0; i < KR_HISTORY_ENTRIES; ++i) {
        const char* entry = FHistory.constData() + i * KR_HISTORY_ENTRY_SIZE;
        const QByteArray text(entry, qstrnlen(entry, KR_HISTORY_ENTRY_SIZE - 1));
        history.append(Bytes(text));
        if (!text.isEmpty())
            used = i + 1;
    }
    while (history.size() > used)
        history.removeLast();
    return TJsonFile::Save(FFileName, QJsonObject{{SettingsField, FSettings},
                                                  {FlagsField, QString::fromLatin1(FFlags.toBase64())},
                                                  {HistoryField, history},
                                                  {SkinField, Bytes(FSkinName)}});
}
