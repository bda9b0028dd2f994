#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <optional>

// The settings registry: a tree of keys per hive, each key holding named,
// typed values (the empty name is the key's default value). Key and value
// names compare without regard to case and keep the case they were created
// with. Each hive is one JSON file, written atomically after every change and
// guarded by a lock file, so several processes may use it at once.

enum class THive { CurrentUser, LocalMachine, ClassesRoot };

inline constexpr THive HKEY_CURRENT_USER = THive::CurrentUser;
inline constexpr THive HKEY_LOCAL_MACHINE = THive::LocalMachine;
inline constexpr THive HKEY_CLASSES_ROOT = THive::ClassesRoot;

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistry
{
public:
    explicit TRegistry(THive RootKey = HKEY_CURRENT_USER);

    THive RootKey() const { return FRootKey; }
    void SetRootKey(THive RootKey);

    // The file that holds a hive.
    static QString HiveFile(THive Hive);

    // Key is relative to the open key, or to the hive when it begins with a
    // backslash or no key is open. False when the key is missing and may not
    // be created, or the hive cannot be written.
    bool OpenKey(const QString& Key, bool CanCreate);
    bool OpenKeyReadOnly(const QString& Key);
    void CloseKey();
    bool HasOpenKey() const { return FOpen; }
    QString CurrentPath() const { return FCurrentPath; }

    bool KeyExists(const QString& Key) const;
    bool DeleteKey(const QString& Key); // with everything below it
    QStringList GetKeyNames() const;

    // Values of the open key.
    bool ValueExists(const QString& Name) const;
    TRegDataType GetDataType(const QString& Name) const;
    QStringList GetValueNames() const;
    bool DeleteValue(const QString& Name);

    std::optional<QString> ReadString(const QString& Name) const; // string or expandable string
    std::optional<quint32> ReadInteger(const QString& Name) const;
    std::optional<QByteArray> ReadBinaryData(const QString& Name) const;

    bool WriteString(const QString& Name, const QString& Value);
    bool WriteExpandString(const QString& Name, const QString& Value);
    bool WriteInteger(const QString& Name, quint32 Value);
    bool WriteBinaryData(const QString& Name, const QByteArray& Value);

private:
    QString Resolve(const QString& Key) const;
    std::optional<QJsonObject> OpenValue(const QString& Name) const;
    std::optional<QJsonValue> ReadData(const QString& Name,
                                       std::initializer_list<TRegDataType> Types) const;
    bool WriteValue(const QString& Name, const QString& Type, const QJsonValue& Data);

    THive FRootKey;
    QString FCurrentPath;
    bool FOpen = false;
    bool FReadOnly = false;
};
