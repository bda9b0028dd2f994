#include "platform/Registry.h"

#include "platform/Autostart.h"
#include "platform/JsonFile.h"
#include "platform/Paths.h"

#include <QDir>
#include <QJsonArray>
#include <QLockFile>
#include <algorithm>
#include <functional>

namespace {

// One hive file: {"keys": {name: key}, "values": {name: {"type", "data"}}}
// nested the same way below every key.
const QString KeysField = QStringLiteral("keys");
const QString ValuesField = QStringLiteral("values");
const QString TypeField = QStringLiteral("type");
const QString DataField = QStringLiteral("data");

const QString StringType = QStringLiteral("string");
const QString ExpandStringType = QStringLiteral("expand_string");
const QString IntegerType = QStringLiteral("dword");
const QString BinaryType = QStringLiteral("binary");

QStringList SplitPath(const QString& Path)
{
    return Path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}


// The key at Path below Root, or nothing when one of its parts is missing.
std::optional<QJsonObject> FindKey(const QJsonObject& Root, const QStringList& Path)
{
    QJsonObject key = Root;
    for (const QString& part : Path) {
        const QJsonObject children = key.value(KeysField).toObject();
        const QString stored = TJsonFile::StoredKey(children, part);
        if (!children.contains(stored))
            return std::nullopt;
        key = children.value(stored).toObject();
    }
    return key;
}

// Runs Change on the key at Path (created when Create), writing the changes
// back up the tree. False when the key is missing and not created, or when
// Change reports that nothing was changed.
bool ChangeKey(QJsonObject& Key, const QStringList& Path, bool Create,
               const std::function<bool(QJsonObject&)>& Change)
{
    if (Path.isEmpty())
        return Change(Key);
    QJsonObject children = Key.value(KeysField).toObject();
    const QString stored = TJsonFile::StoredKey(children, Path.first());
    if (!children.contains(stored) && !Create)
        return false;
    QJsonObject child = children.value(stored).toObject();
    if (!ChangeKey(child, Path.mid(1), Create, Change))
        return false;
    children.insert(stored, child);
    Key.insert(KeysField, children);
    return true;
}

TRegDataType DataType(const QJsonObject& Value)
{
    const QString type = Value.value(TypeField).toString();
    if (type == StringType)
        return TRegDataType::rdString;
    if (type == ExpandStringType)
        return TRegDataType::rdExpandString;
    if (type == IntegerType)
        return TRegDataType::rdInteger;
    if (type == BinaryType)
        return TRegDataType::rdBinary;
    return TRegDataType::rdUnknown;
}

QString HiveName(THive Hive)
{
    switch (Hive) {
    case THive::CurrentUser:
        return QStringLiteral("current_user");
    case THive::LocalMachine:
        return QStringLiteral("local_machine");
    case THive::ClassesRoot:
        return QStringLiteral("classes_root");
    }
    return {};
}

// A value of the current user's Run key (not its default value) has a
// desktop entry in the autostart folder.
bool IsAutostartValue(THive Hive, const QString& KeyPath, const QString& Name)
{
    return Hive == THive::CurrentUser && !Name.isEmpty() && TAutostart::IsRunKey(KeyPath);
}

// Holds the hive's lock file while a hive is read or changed.
class THiveAccess
{
public:
    explicit THiveAccess(THive Hive)
        : FPath(TRegistry::HiveFile(Hive)), FLock(FPath + QStringLiteral(".lock"))
    {
        TPaths::EnsureDir(QFileInfo(FPath).absolutePath());
        // Held only for one read or write; a lock whose owner died is still
        // taken over, as QLockFile checks the owning process.
        FLock.setStaleLockTime(0);
        FLock.lock();
        Root = TJsonFile::Load(FPath, QStringLiteral("registry hive %1").arg(HiveName(Hive)));
    }
    bool Save() { return TJsonFile::Save(FPath, Root); }

    QJsonObject Root;

private:
    QString FPath;
    QLockFile FLock;
};

} // namespace

TRegistry::TRegistry(THive RootKey) : FRootKey(RootKey) {}

void TRegistry::SetRootKey(THive RootKey)
{
    CloseKey();
    FRootKey = RootKey;
}

QString TRegistry::HiveFile(THive Hive)
{
    const QString folder =
        Hive == THive::CurrentUser ? TPaths::ConfigDir() : TPaths::DataDir();
    return QDir(QDir(folder).filePath(QStringLiteral("registry")))
        .filePath(HiveName(Hive) + QStringLiteral(".json"));
}

QString TRegistry::Resolve(const QString& Key) const
{
    if (Key.startsWith(QLatin1Char('\\')) || !FOpen)
        return SplitPath(Key).join(QLatin1Char('\\'));
    return (SplitPath(FCurrentPath) + SplitPath(Key)).join(QLatin1Char('\\'));
}

bool TRegistry::OpenKey(const QString& Key, bool CanCreate)
{
    const QString path = Resolve(Key);
    THiveAccess hive(FRootKey);
    if (!FindKey(hive.Root, SplitPath(path))) {
        if (!CanCreate)
            return false;
        ChangeKey(hive.Root, SplitPath(path), true, [](QJsonObject&) { return true; });
        if (!hive.Save())
            return false;
    }
    FCurrentPath = path;
    FOpen = true;
    FReadOnly = false;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const QString& Key)
{
    const QString path = Resolve(Key);
    THiveAccess hive(FRootKey);
    if (!FindKey(hive.Root, SplitPath(path)))
        return false;
    FCurrentPath = path;
    FOpen = true;
    FReadOnly = true;
    return true;
}

void TRegistry::CloseKey()
{
    FOpen = false;
    FReadOnly = false;
    FCurrentPath.clear();
}

bool TRegistry::KeyExists(const QString& Key) const
{
    THiveAccess hive(FRootKey);
    return FindKey(hive.Root, SplitPath(Resolve(Key))).has_value();
}

bool TRegistry::DeleteKey(const QString& Key)
{
    const QStringList path = SplitPath(Resolve(Key));
    if (path.isEmpty())
        return false;
    THiveAccess hive(FRootKey);
    const bool removed = ChangeKey(hive.Root, path.mid(0, path.size() - 1), false,
                                   [&path](QJsonObject& parent) {
                                       QJsonObject children = parent.value(KeysField).toObject();
                                       const QString stored = TJsonFile::StoredKey(children, path.last());
                                       if (!children.contains(stored))
                                           return false;
                                       children.remove(stored);
                                       parent.insert(KeysField, children);
                                       return true;
                                   });
    return removed && hive.Save();
}

QStringList TRegistry::GetKeyNames() const
{
    if (!FOpen)
        return {};
    THiveAccess hive(FRootKey);
    const auto key = FindKey(hive.Root, SplitPath(FCurrentPath));
    return key ? key->value(KeysField).toObject().keys() : QStringList();
}

std::optional<QJsonObject> TRegistry::OpenValue(const QString& Name) const
{
    if (!FOpen)
        return std::nullopt;
    THiveAccess hive(FRootKey);
    const auto key = FindKey(hive.Root, SplitPath(FCurrentPath));
    if (!key)
        return std::nullopt;
    const QJsonObject values = key->value(ValuesField).toObject();
    const QString stored = TJsonFile::StoredKey(values, Name);
    if (!values.contains(stored))
        return std::nullopt;
    return values.value(stored).toObject();
}

bool TRegistry::ValueExists(const QString& Name) const
{
    return OpenValue(Name).has_value();
}

TRegDataType TRegistry::GetDataType(const QString& Name) const
{
    const auto value = OpenValue(Name);
    return value ? DataType(*value) : TRegDataType::rdUnknown;
}

QStringList TRegistry::GetValueNames() const
{
    if (!FOpen)
        return {};
    THiveAccess hive(FRootKey);
    const auto key = FindKey(hive.Root, SplitPath(FCurrentPath));
    return key ? key->value(ValuesField).toObject().keys() : QStringList();
}

bool TRegistry::DeleteValue(const QString& Name)
{
    if (!FOpen || FReadOnly)
        return false;
    THiveAccess hive(FRootKey);
    QString stored;
    const bool removed =
        ChangeKey(hive.Root, SplitPath(FCurrentPath), false, [&](QJsonObject& key) {
            QJsonObject values = key.value(ValuesField).toObject();
            stored = TJsonFile::StoredKey(values, Name);
            if (!values.contains(stored))
                return false;
            values.remove(stored);
            key.insert(ValuesField, values);
            return true;
        });
    if (!removed || !hive.Save())
        return false;
    if (IsAutostartValue(FRootKey, FCurrentPath, stored))
        TAutostart::RemoveEntry(stored);
    return true;
}

std::optional<QJsonValue> TRegistry::ReadData(const QString& Name,
                                              std::initializer_list<TRegDataType> Types) const
{
    const auto value = OpenValue(Name);
    if (!value || std::find(Types.begin(), Types.end(), DataType(*value)) == Types.end())
        return std::nullopt;
    return value->value(DataField);
}

std::optional<QString> TRegistry::ReadString(const QString& Name) const
{
    const auto data = ReadData(Name, {TRegDataType::rdString, TRegDataType::rdExpandString});
    return data ? std::optional(data->toString()) : std::nullopt;
}

std::optional<quint32> TRegistry::ReadInteger(const QString& Name) const
{
    const auto data = ReadData(Name, {TRegDataType::rdInteger});
    return data ? std::optional(static_cast<quint32>(data->toInteger())) : std::nullopt;
}

std::optional<QByteArray> TRegistry::ReadBinaryData(const QString& Name) const
{
    const auto data = ReadData(Name, {TRegDataType::rdBinary});
    return data ? std::optional(QByteArray::fromBase64(data->toString().toLatin1()))
                : std::nullopt;
}

bool TRegistry::WriteValue(const QString& Name, const QString& Type, const QJsonValue& Data)
{
    if (!FOpen || FReadOnly)
        return false;
    THiveAccess hive(FRootKey);
    QString stored;
    // The key may have been deleted by someone else since it was opened; it
    // comes back, as a write to an open key cannot fail for that.
    ChangeKey(hive.Root, SplitPath(FCurrentPath), true, [&](QJsonObject& key) {
        QJsonObject values = key.value(ValuesField).toObject();
        stored = TJsonFile::StoredKey(values, Name);
        values.insert(stored, QJsonObject{{TypeField, Type}, {DataField, Data}});
        key.insert(ValuesField, values);
        return true;
    });
    if (!hive.Save())
        return false;
    // The hive is what counts; a missing entry only means the program is not
    // started at logon, so a failure there does not fail the write.
    if (IsAutostartValue(FRootKey, FCurrentPath, stored)) {
        if (Type == StringType || Type == ExpandStringType)
            TAutostart::WriteEntry(stored, Data.toString());
        else
            TAutostart::RemoveEntry(stored);
    }
    return true;
}

bool TRegistry::WriteString(const QString& Name, const QString& Value)
{
    return WriteValue(Name, StringType, Value);
}

bool TRegistry::WriteExpandString(const QString& Name, const QString& Value)
{
    return WriteValue(Name, ExpandStringType, Value);
}

bool TRegistry::WriteInteger(const QString& Name, quint32 Value)
{
    return WriteValue(Name, IntegerType, static_cast<qint64>(Value));
}

bool TRegistry::WriteBinaryData(const QString& Name, const QByteArray& Value)
{
    return WriteValue(Name, BinaryType, QString::fromLatin1(Value.toBase64()));
}
