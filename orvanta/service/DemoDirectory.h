#pragma once

#include "SearchCondition.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The demo service's data: accounts, presence, address books, call history,
// the user directory and the server properties, kept in an SQLite database
// between runs. Nothing here knows about connections or calls, so a network
// server can sit on the same class later.
//
// User ids and e-mail addresses compare without regard to case for ASCII
// letters only, like the directory search. Texts coming in are bounded;
// anything too long is refused rather than cut. Every change runs in its own
// transaction. An object uses its own database connection and must stay on
// the thread that opened it.

// Answers to address book requests; the values travel to the client as they are.
enum class TBookResult
{
    Done = 0,
    NotFound = 1,
    NotValid = 2,
    AlreadyInBook = 3,
    DatabaseError = 4
};

struct TDemoAccount
{
    QString UserId; // as stored, whatever case it was asked for in
    QString DisplayName;
    int Flags = 0; // bits 0-3 account kind, 0x10 valid, bits 5-11 rights
    QString FirstName;
    QString LastName;
    QString Email;
    QString Role; // how the demo service plays this user: "user", "echo", "busy", ...
};

struct TDemoPresence
{
    int Status = 0; // -1 unknown, 0 offline, 1 online, 2 busy, 3/4 multicasting, 5 conference owner
    QString Conference; // the conference a status 5 user runs
};

// One line of a user list: address book, history or search results.
struct TDirectoryUser
{
    QString UserId;
    QString DisplayName;
    QString Conference;
    int Status = 0;
    QString DateTime; // history only, local time "MM-dd-yyyy hh:mm:ss"
};

struct TDemoPhoto
{
    QByteArray Data;   // empty when the user has no photo
    QByteArray Format; // "PNG" or "JPEG"
};

class TDemoDirectory
{
public:
    static constexpr int MaxIdBytes = 255;    // user ids, e-mail addresses, names, passwords
    static constexpr int MaxTextBytes = 3071; // user details, property values
    static constexpr int MaxHistory = 100;    // calls kept per owner and kind
    static constexpr int UserInfoCount = 12;

    // Opens the database at DatabasePath, making it from the seed (JSON) when
    // the file does not exist. A damaged or foreign database is renamed to
    // "<path>.damaged-<UTC time>" and made afresh. nullptr with a reason in
    // Error (also written to standard error) when no usable database results.
    static std::unique_ptr<TDemoDirectory> Open(const QString& DatabasePath,
                                                const QString& SeedPath, QString* Error = nullptr);
    ~TDemoDirectory();
    TDemoDirectory(const TDemoDirectory&) = delete;
    TDemoDirectory& operator=(const TDemoDirectory&) = delete;

    QString DatabasePath() const { return FPath; }

    // Accounts
    std::optional<TDemoAccount> Account(const QString& UserId) const;
    std::optional<TDemoAccount> FindByEmail(const QString& Email) const;
    // False for an unknown user and for accounts that have no password.
    bool CheckPassword(const QString& UserId, const QString& Password) const;
    // UserInfoCount texts, field 0 and 2 empty; an empty list for an unknown user.
    QStringList UserInfo(const QString& UserId) const;
    TDemoPhoto Photo(const QString& UserId) const;

    // Presence
    bool SetPresence(const QString& UserId, int Status, const QString& Conference);
    std::optional<TDemoPresence> Presence(const QString& UserId) const;
    // The owners whose address book holds UserId: who hears of its changes.
    QStringList Watchers(const QString& UserId) const;

    // Address books, in the order the contacts were added.
    QList<TDirectoryUser> AddressBook(const QString& Owner) const;
    TBookResult AddContact(const QString& Owner, const QString& UserId);
    TBookResult AddContactByEmail(const QString& Owner, const QString& Email);
    TBookResult DeleteContact(const QString& Owner, const QString& UserId);

    // Call history; Kind 3 missed, 4 received, 5 placed. Newest first, at
    // most MaxHistory per owner and kind.
    bool RecordCall(const QString& Owner, int Kind, const QString& Peer, const QDateTime& When);
    QList<TDirectoryUser> History(const QString& Owner, int Kind) const;

    // Users whose field starts with the prefix, by display name, at most Limit.
    QList<TDirectoryUser> Search(const TSearchCondition& Condition, int Limit) const;

    QMap<QString, QString> ServerProperties() const;
    bool SetServerProperty(const QString& Name, const QString& Value);

private:
    TDemoDirectory(const QString& Connection, const QString& Path);

    TBookResult AddContactRow(const QString& Owner, const QString& Key, bool ByEmail);
    std::optional<TDemoAccount> AccountWhere(const char* Column, const QString& Value) const;

    QString FConnection;
    QString FPath;
};
