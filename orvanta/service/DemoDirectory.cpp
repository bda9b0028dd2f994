#include "DemoDirectory.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

constexpr int SchemaVersion = 1;
constexpr int SeedVersion = 1;
// Marks the file as ours, so that another program's SQLite file is never
// taken for a demo database.
constexpr int ApplicationId = 0x4B724444;
constexpr int BusyTimeoutMs = 2000;
constexpr int SaltBytes = 16;
constexpr int MaxRoleBytes = 32;
constexpr int MaxSearchLimit = 1000;
constexpr int DefaultFlags = 0x3F1; // communicator, valid, every right
constexpr qint64 MaxSeedBytes = 16 * 1024 * 1024;
constexpr qint64 MaxPhotoBytes = 1024 * 1024;
constexpr qint64 MaxMinutesAgo = 10LL * 366 * 24 * 60;

const QString Driver = QStringLiteral("QSQLITE");
const QString DateTimeFormat = QStringLiteral("MM-dd-yyyy hh:mm:ss");

const char* const Schema[] = {
    R"(CREATE TABLE accounts (
        id INTEGER PRIMARY KEY,
        user_id TEXT NOT NULL UNIQUE COLLATE NOCASE,
        password_salt BLOB,
        password_hash BLOB,
        display_name TEXT NOT NULL,
        flags INTEGER NOT NULL,
        first_name TEXT NOT NULL,
        last_name TEXT NOT NULL,
        email TEXT NOT NULL UNIQUE COLLATE NOCASE,
        role TEXT NOT NULL,
        status INTEGER NOT NULL CHECK (status BETWEEN -1 AND 5),
        conference TEXT NOT NULL,
        photo BLOB,
        photo_format TEXT))",
    R"(CREATE TABLE user_details (
        account INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
        field INTEGER NOT NULL CHECK (field BETWEEN 0 AND 11),
        text TEXT NOT NULL,
        PRIMARY KEY (account, field)) WITHOUT ROWID)",
    // The row id keeps the order contacts were added in.
    R"(CREATE TABLE contacts (
        id INTEGER PRIMARY KEY,
        owner INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
        contact INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
        UNIQUE (owner, contact),
        CHECK (owner <> contact)))",
    "CREATE INDEX contacts_by_contact ON contacts(contact)",
    R"(CREATE TABLE calls (
        id INTEGER PRIMARY KEY,
        owner INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
        kind INTEGER NOT NULL CHECK (kind IN (3, 4, 5)),
        peer INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
        at INTEGER NOT NULL))",
    "CREATE INDEX calls_by_owner ON calls(owner, kind, at, id)",
    R"(CREATE TABLE server_properties (
        name TEXT PRIMARY KEY,
        value TEXT NOT NULL) WITHOUT ROWID)",
};

// The seed's names for the user-detail texts and where each goes.
const struct
{
    const char* Name;
    int Field;
} DetailFields[] = {
    {"nick", 1}, {"description", 3}, {"about", 4},    {"gender", 5},     {"marital", 6},
    {"age", 7},  {"occupation", 8},  {"location", 9}, {"interests", 10}, {"country", 11},
};

void Warn(const QString& Message)
{
    std::fprintf(stderr, "warning: %s\n", qPrintable(Message));
}

bool Fits(const QString& Text, int MaxBytes)
{
    return Text.size() <= MaxBytes && Text.toUtf8().size() <= MaxBytes;
}

bool HasControl(const QString& Text)
{
    for (const QChar c : Text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// User ids and e-mail addresses: what a call is placed to, so no blanks.
bool ValidId(const QString& Id)
{
    if (Id.isEmpty() || !Fits(Id, TDemoDirectory::MaxIdBytes))
        return false;
    for (const QChar c : Id) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

// The folding SQLite's NOCASE does, so checks here agree with the database.
QString AsciiLower(const QString& Text)
{
    QString lower = Text;
    for (QChar& c : lower) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return lower;
}

QByteArray NewSalt()
{
    QByteArray salt(SaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()),
                                          SaltBytes / sizeof(quint32));
    return salt;
}

QByteArray PasswordHash(const QByteArray& Salt, const QString& Password)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(Salt);
    hash.addData(Password.toUtf8());
    return hash.result();
}

bool SameBytes(const QByteArray& A, const QByteArray& B)
{
    if (A.size() != B.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < A.size(); ++i)
        difference |= static_cast<unsigned char>(A[i] ^ B[i]);
    return difference == 0;
}

QString FirstLetter(const QString& Text)
{
    const QString trimmed = Text.trimmed();
    if (trimmed.isEmpty())
        return {};
    return trimmed.left(trimmed.at(0).isHighSurrogate() ? 2 : 1).toUpper();
}

// A coloured card with the user's initials. Fonts need a GUI application;
// without one the user simply has no photo.
QByteArray InitialsAvatar(const QString& Initials, const QString& Key)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    uint spread = 0;
    for (const QChar c : AsciiLower(Key))
        spread = spread * 31 + c.unicode();

    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(int(spread % 360), 110, 185));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setPixelSize(52);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter, Initials);
    painter.end();

    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    return png;
}

QString NewConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("orvanta-demo-directory-%1").arg(++counter);
}

// Prepares Sql, binds Values in order and runs it; a failure is reported.
// A null QString binds as NULL, but texts here are never NULL: it becomes "".
bool Exec(QSqlQuery& Query, const QString& Sql, const QVariantList& Values = {})
{
    Query.setForwardOnly(true);
    if (Query.prepare(Sql)) {
        for (const QVariant& value : Values) {
            if (value.typeId() == QMetaType::QString && value.toString().isNull())
                Query.addBindValue(QString(QLatin1String("")));
            else
                Query.addBindValue(value);
        }
        if (Query.exec())
            return true;
    }
    Warn(QStringLiteral("demo directory: %1 (in \"%2\")")
             .arg(Query.lastError().text(), Sql.simplified()));
    return false;
}

// A write transaction, rolled back unless committed. IMMEDIATE takes the
// write lock at once, so two connections never deadlock upgrading a read.
class TTransaction
{
public:
    explicit TTransaction(const QSqlDatabase& Database) : FDatabase(Database)
    {
        QSqlQuery query(FDatabase);
        FOpen = Exec(query, QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~TTransaction()
    {
        if (FOpen) {
            QSqlQuery query(FDatabase);
            query.exec(QStringLiteral("ROLLBACK"));
        }
    }
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;

    bool IsOpen() const { return FOpen; }
    bool Commit()
    {
        QSqlQuery query(FDatabase);
        if (!Exec(query, QStringLiteral("COMMIT")))
            return false;
        FOpen = false;
        return true;
    }

private:
    QSqlDatabase FDatabase;
    bool FOpen = false;
};

// The row of the account whose Column equals Value; nullopt when there is
// none. Failed is set when the query itself failed.
std::optional<qint64> RowOf(const QSqlDatabase& Database, const char* Column, const QString& Value,
                            bool* Failed)
{
    QSqlQuery query(Database);
    if (!Exec(query,
              QStringLiteral("SELECT id FROM accounts WHERE %1 = ?").arg(QLatin1String(Column)),
              {Value})) {
        *Failed = true;
        return std::nullopt;
    }
    if (!query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

// Rows of user_id, display_name, conference, status and, when WithTime, the
// call's time.
QList<TDirectoryUser> ReadUsers(QSqlQuery& Query, bool WithTime)
{
    QList<TDirectoryUser> users;
    while (Query.next()) {
        TDirectoryUser user;
        user.UserId = Query.value(0).toString();
        user.DisplayName = Query.value(1).toString();
        user.Conference = Query.value(2).toString();
        user.Status = Query.value(3).toInt();
        if (WithTime)
            user.DateTime =
                QDateTime::fromSecsSinceEpoch(Query.value(4).toLongLong()).toString(DateTimeFormat);
        users.append(user);
    }
    return users;
}

// ---- the seed ----

struct TSeedAccount
{
    QString UserId;
    std::optional<QString> Password;
    QString DisplayName;
    int Flags = DefaultFlags;
    QString FirstName;
    QString LastName;
    QString Email;
    QString Role;
    int Status = 0;
    QString Conference;
    QStringList Details = QStringList(TDemoDirectory::UserInfoCount);
    QByteArray Photo;
    QByteArray PhotoFormat;
    QStringList Contacts;
};

struct TSeedCall
{
    QString Owner;
    int Kind = 0;
    QString Peer;
    qint64 MinutesAgo = 0;
};

struct TSeed
{
    QList<TSeedAccount> Accounts;
    QList<TSeedCall> Calls;
    QList<std::pair<QString, QString>> Properties;
};

// Reads the fields of one JSON object, keeping the first problem found in
// Error with the place it was found.
class TFields
{
public:
    TFields(const QJsonObject& Object, const QString& Where, QString* Error)
        : FObject(Object), FWhere(Where), FError(Error)
    {
    }

    void Fail(const QString& Reason)
    {
        if (FError->isEmpty())
            *FError = FWhere.isEmpty() ? Reason : FWhere + QStringLiteral(": ") + Reason;
    }

    QJsonValue Take(const QString& Name)
    {
        FSeen.insert(Name);
        return FObject.value(Name);
    }

    std::optional<QString> Text(const QString& Name, qint64 MaxBytes, bool Required = false)
    {
        const QJsonValue value = Take(Name);
        if (value.isUndefined()) {
            if (Required)
                Fail(QStringLiteral("\"%1\" is missing").arg(Name));
            return std::nullopt;
        }
        if (!value.isString()) {
            Fail(QStringLiteral("\"%1\" is not a text").arg(Name));
            return std::nullopt;
        }
        const QString text = value.toString();
        if (text.size() > MaxBytes || text.toUtf8().size() > MaxBytes) {
            Fail(QStringLiteral("\"%1\" is longer than %2 bytes")
                     .arg(Name, QString::number(MaxBytes)));
            return std::nullopt;
        }
        return text;
    }

    std::optional<qint64> Integer(const QString& Name, qint64 Min, qint64 Max)
    {
        const QJsonValue value = Take(Name);
        if (value.isUndefined())
            return std::nullopt;
        const double number = value.toDouble();
        if (!value.isDouble() || number != std::floor(number) || number < double(Min) ||
            number > double(Max)) {
            Fail(QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                     .arg(Name, QString::number(Min), QString::number(Max)));
            return std::nullopt;
        }
        return qint64(number);
    }

    // A misspelt field would otherwise be ignored without a word.
    void RefuseOthers()
    {
        for (const QString& key : FObject.keys()) {
            if (!FSeen.contains(key))
                Fail(QStringLiteral("unknown field \"%1\"").arg(key));
        }
    }

private:
    QJsonObject FObject;
    QString FWhere;
    QString* FError;
    QSet<QString> FSeen;
};

TSeedAccount ParseAccount(const QJsonObject& Object, const QString& Where, QString* Error)
{
    TFields fields(Object, Where, Error);
    TSeedAccount account;
    account.UserId = fields.Text(QStringLiteral("user_id"), TDemoDirectory::MaxIdBytes, true)
                         .value_or(QString());
    if (Error->isEmpty() && !ValidId(account.UserId))
        fields.Fail(QStringLiteral("\"user_id\" is not a valid user id"));
    account.Password = fields.Text(QStringLiteral("password"), TDemoDirectory::MaxIdBytes);
    if (account.Password && account.Password->isEmpty())
        fields.Fail(QStringLiteral("\"password\" is empty (leave it out for no login)"));
    account.DisplayName =
        fields.Text(QStringLiteral("display_name"), TDemoDirectory::MaxIdBytes, true)
            .value_or(QString());
    account.FirstName =
        fields.Text(QStringLiteral("first_name"), TDemoDirectory::MaxIdBytes).value_or(QString());
    account.LastName =
        fields.Text(QStringLiteral("last_name"), TDemoDirectory::MaxIdBytes).value_or(QString());
    account.Email =
        fields.Text(QStringLiteral("email"), TDemoDirectory::MaxIdBytes).value_or(account.UserId);
    if (Error->isEmpty() && !ValidId(account.Email))
        fields.Fail(QStringLiteral("\"email\" is not a valid address"));
    account.Role =
        fields.Text(QStringLiteral("role"), MaxRoleBytes).value_or(QStringLiteral("user"));
    for (const QChar c : account.Role) {
        if (c < QLatin1Char('a') || c > QLatin1Char('z')) {
            fields.Fail(QStringLiteral("\"role\" must be a lower-case word"));
            break;
        }
    }
    if (account.Role.isEmpty())
        fields.Fail(QStringLiteral("\"role\" is empty"));
    account.Flags = int(fields.Integer(QStringLiteral("flags"), 0, 0xFFF).value_or(DefaultFlags));
    account.Status = int(fields.Integer(QStringLiteral("status"), -1, 5).value_or(0));
    account.Conference =
        fields.Text(QStringLiteral("conference"), TDemoDirectory::MaxIdBytes).value_or(QString());
    if (account.Status == 5 && account.Conference.isEmpty())
        fields.Fail(QStringLiteral("a conference owner (status 5) needs a \"conference\""));

    const QJsonValue details = fields.Take(QStringLiteral("details"));
    if (details.isObject()) {
        TFields detailFields(details.toObject(), Where + QStringLiteral(" details"), Error);
        for (const auto& field : DetailFields) {
            account.Details[field.Field] =
                detailFields.Text(QLatin1String(field.Name), TDemoDirectory::MaxTextBytes)
                    .value_or(QString());
        }
        const QString country = account.Details[11];
        const auto letter = [](QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); };
        if (!country.isEmpty() &&
            (country.size() != 2 || !letter(country[0]) || !letter(country[1])))
            detailFields.Fail(QStringLiteral("\"country\" must be a two-letter code"));
        detailFields.RefuseOthers();
    } else if (!details.isUndefined()) {
        fields.Fail(QStringLiteral("\"details\" is not an object"));
    }

    if (const auto photo = fields.Text(QStringLiteral("photo"), MaxPhotoBytes * 4 / 3 + 4)) {
        const auto decoded = QByteArray::fromBase64Encoding(
            photo->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.isEmpty())
            fields.Fail(QStringLiteral("\"photo\" is not base64 data"));
        account.Photo = decoded.decoded;
        const QString format =
            fields.Text(QStringLiteral("photo_format"), 8, true).value_or(QString());
        if (format != QLatin1String("PNG") && format != QLatin1String("JPEG"))
            fields.Fail(QStringLiteral("\"photo_format\" must be PNG or JPEG"));
        account.PhotoFormat = format.toLatin1();
    }

    const QJsonValue contacts = fields.Take(QStringLiteral("contacts"));
    if (contacts.isArray()) {
        for (const QJsonValue& contact : contacts.toArray()) {
            if (!contact.isString() || !ValidId(contact.toString()))
                fields.Fail(QStringLiteral("\"contacts\" holds something that is not a user id"));
            else
                account.Contacts << contact.toString();
        }
    } else if (!contacts.isUndefined()) {
        fields.Fail(QStringLiteral("\"contacts\" is not a list"));
    }

    fields.RefuseOthers();
    return account;
}

std::optional<TSeed> ParseSeed(const QJsonObject& Root, QString* Error)
{
    TSeed seed;
    TFields root(Root, QString(), Error);

    const std::optional<qint64> version = root.Integer(QStringLiteral("version"), 0, INT_MAX);
    if (!version)
        root.Fail(QStringLiteral("\"version\" is missing"));
    else if (*version != SeedVersion)
        root.Fail(QStringLiteral("version %1 is not supported").arg(*version));
    if (!Error->isEmpty())
        return std::nullopt;

    const QJsonValue properties = root.Take(QStringLiteral("server_properties"));
    if (properties.isObject()) {
        TFields fields(properties.toObject(), QStringLiteral("server_properties"), Error);
        for (const QString& name : properties.toObject().keys()) {
            if (name.isEmpty() || !Fits(name, TDemoDirectory::MaxIdBytes) || HasControl(name))
                fields.Fail(QStringLiteral("\"%1\" is not a property name").arg(name));
            const auto value = fields.Text(name, TDemoDirectory::MaxTextBytes, true);
            seed.Properties.append({name, value.value_or(QString())});
        }
    } else if (!properties.isUndefined()) {
        root.Fail(QStringLiteral("\"server_properties\" is not an object"));
    }

    const QJsonValue accounts = root.Take(QStringLiteral("accounts"));
    if (!accounts.isArray() || accounts.toArray().isEmpty())
        root.Fail(QStringLiteral("\"accounts\" must be a list of at least one account"));
    QHash<QString, qsizetype> byId;
    QSet<QString> emails;
    const QJsonArray accountList = accounts.toArray();
    for (qsizetype i = 0; i < accountList.size() && Error->isEmpty(); ++i) {
        const QJsonObject object = accountList.at(i).toObject();
        const QString name = object.value(QStringLiteral("user_id")).toString();
        const QString where =
            name.isEmpty() ? QStringLiteral("account %1").arg(i + 1)
                           : QStringLiteral("account %1 (%2)").arg(QString::number(i + 1), name);
        if (!accountList.at(i).isObject()) {
            root.Fail(where + QStringLiteral(" is not an object"));
            break;
        }
        TSeedAccount account = ParseAccount(object, where, Error);
        if (!Error->isEmpty())
            break;
        const QString key = AsciiLower(account.UserId);
        if (byId.contains(key))
            root.Fail(where + QStringLiteral(": the user id is used twice"));
        if (emails.contains(AsciiLower(account.Email)))
            root.Fail(where + QStringLiteral(": the e-mail address is used twice"));
        byId.insert(key, i);
        emails.insert(AsciiLower(account.Email));
        seed.Accounts.append(account);
    }

    for (const TSeedAccount& account : std::as_const(seed.Accounts)) {
        QSet<QString> listed;
        for (const QString& contact : account.Contacts) {
            const QString key = AsciiLower(contact);
            const QString where = QStringLiteral("contacts of %1").arg(account.UserId);
            if (!byId.contains(key))
                root.Fail(QStringLiteral("%1: %2 is not an account").arg(where, contact));
            else if (key == AsciiLower(account.UserId))
                root.Fail(QStringLiteral("%1: an address book cannot hold its owner").arg(where));
            else if (listed.contains(key))
                root.Fail(QStringLiteral("%1: %2 is listed twice").arg(where, contact));
            listed.insert(key);
        }
    }

    const QJsonValue history = root.Take(QStringLiteral("history"));
    if (history.isArray()) {
        const QJsonArray calls = history.toArray();
        for (qsizetype i = 0; i < calls.size() && Error->isEmpty(); ++i) {
            TFields fields(calls.at(i).toObject(), QStringLiteral("history entry %1").arg(i + 1),
                           Error);
            if (!calls.at(i).isObject()) {
                fields.Fail(QStringLiteral("not an object"));
                break;
            }
            TSeedCall call;
            call.Owner = fields.Text(QStringLiteral("owner"), TDemoDirectory::MaxIdBytes, true)
                             .value_or(QString());
            call.Peer = fields.Text(QStringLiteral("peer"), TDemoDirectory::MaxIdBytes, true)
                            .value_or(QString());
            const auto kind = fields.Integer(QStringLiteral("kind"), 3, 5);
            const auto minutes = fields.Integer(QStringLiteral("minutes_ago"), 0, MaxMinutesAgo);
            if (!kind)
                fields.Fail(QStringLiteral("\"kind\" (3, 4 or 5) is missing"));
            if (!minutes)
                fields.Fail(QStringLiteral("\"minutes_ago\" is missing"));
            if (!byId.contains(AsciiLower(call.Owner)) || !byId.contains(AsciiLower(call.Peer)))
                fields.Fail(QStringLiteral("owner and peer must both be accounts"));
            fields.RefuseOthers();
            call.Kind = int(kind.value_or(0));
            call.MinutesAgo = minutes.value_or(0);
            seed.Calls.append(call);
        }
    } else if (!history.isUndefined()) {
        root.Fail(QStringLiteral("\"history\" is not a list"));
    }

    root.RefuseOthers();
    if (!Error->isEmpty())
        return std::nullopt;
    return seed;
}

std::optional<TSeed> LoadSeed(const QString& Path, QString* Error)
{
    QFile file(Path);
    if (!file.exists()) {
        *Error = QStringLiteral("the demo seed %1 is missing").arg(Path);
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *Error = QStringLiteral("cannot read the demo seed %1: %2").arg(Path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > MaxSeedBytes) {
        *Error = QStringLiteral("the demo seed %1 is damaged: larger than %2 bytes")
                     .arg(Path, QString::number(MaxSeedBytes));
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    QString reason;
    std::optional<TSeed> seed;
    if (parseError.error != QJsonParseError::NoError)
        reason =
            QStringLiteral("%1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
    else if (!document.isObject())
        reason = QStringLiteral("not a JSON object");
    else
        seed = ParseSeed(document.object(), &reason);
    if (!seed)
        *Error = QStringLiteral("the demo seed %1 is damaged: %2").arg(Path, reason);
    return seed;
}

// ---- making and checking the database file ----

bool Fill(const QSqlDatabase& Database, const TSeed& Seed, QString* Error)
{
    TTransaction transaction(Database);
    QSqlQuery query(Database);
    if (!transaction.IsOpen()) {
        *Error = Database.lastError().text();
        return false;
    }
    const auto fail = [&] {
        *Error = query.lastError().text();
        return false;
    };
    for (const char* statement : Schema) {
        if (!Exec(query, QString::fromLatin1(statement)))
            return fail();
    }
    if (!Exec(query, QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId)) ||
        !Exec(query, QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion)))
        return fail();

    QHash<QString, qint64> rows;
    for (const TSeedAccount& account : Seed.Accounts) {
        QByteArray salt;
        QByteArray hash;
        if (account.Password) {
            salt = NewSalt();
            hash = PasswordHash(salt, *account.Password);
        }
        QByteArray photo = account.Photo;
        QByteArray format = account.PhotoFormat;
        if (photo.isEmpty()) {
            QString initials = FirstLetter(account.FirstName) + FirstLetter(account.LastName);
            if (initials.isEmpty())
                initials = FirstLetter(account.DisplayName);
            photo = InitialsAvatar(initials, account.UserId);
            format = photo.isEmpty() ? QByteArray() : QByteArray("PNG");
        }
        if (!Exec(query,
                  QStringLiteral("INSERT INTO accounts (user_id, password_salt, password_hash, "
                                 "display_name, flags, first_name, last_name, email, role, status, "
                                 "conference, photo, photo_format) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                  {account.UserId, salt, hash, account.DisplayName, account.Flags,
                   account.FirstName, account.LastName, account.Email, account.Role, account.Status,
                   account.Conference, photo, QString::fromLatin1(format)}))
            return fail();
        const qint64 row = query.lastInsertId().toLongLong();
        rows.insert(AsciiLower(account.UserId), row);
        for (int field = 0; field < TDemoDirectory::UserInfoCount; ++field) {
            if (account.Details[field].isEmpty())
                continue;
            if (!Exec(query,
                      QStringLiteral(
                          "INSERT INTO user_details (account, field, text) VALUES (?, ?, ?)"),
                      {row, field, account.Details[field]}))
                return fail();
        }
    }
    for (const TSeedAccount& account : Seed.Accounts) {
        for (const QString& contact : account.Contacts) {
            if (!Exec(query, QStringLiteral("INSERT INTO contacts (owner, contact) VALUES (?, ?)"),
                      {rows.value(AsciiLower(account.UserId)), rows.value(AsciiLower(contact))}))
                return fail();
        }
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const TSeedCall& call : Seed.Calls) {
        if (!Exec(query,
                  QStringLiteral("INSERT INTO calls (owner, kind, peer, at) VALUES (?, ?, ?, ?)"),
                  {rows.value(AsciiLower(call.Owner)), call.Kind, rows.value(AsciiLower(call.Peer)),
                   now - call.MinutesAgo * 60}))
            return fail();
    }
    for (const auto& [name, value] : Seed.Properties) {
        if (!Exec(query,
                  QStringLiteral("INSERT INTO server_properties (name, value) VALUES (?, ?)"),
                  {name, value}))
            return fail();
    }
    query.finish();
    if (!transaction.Commit()) {
        *Error = Database.lastError().text();
        return false;
    }
    return true;
}

void RemoveBuildFiles(const QString& Temporary)
{
    QFile::remove(Temporary);
    QFile::remove(Temporary + QStringLiteral("-journal"));
}

// Builds the database next to Path and moves it into place whole, so a
// half-made database never sits at Path.
bool Build(const QString& Path, const TSeed& Seed, QString* Error)
{
    const QString temporary = Path + QStringLiteral(".tmp");
    RemoveBuildFiles(temporary);
    const QString connection = NewConnectionName();
    QString reason;
    bool built = false;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(Driver, connection);
        database.setDatabaseName(temporary);
        if (!database.open())
            reason = database.lastError().text();
        else
            built = Fill(database, Seed, &reason);
        database.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (built) {
        // Password hashes: for the owner's eyes only.
        QFile::setPermissions(temporary, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (!QFile::rename(temporary, Path)) {
            reason = QStringLiteral("cannot move %1 into place").arg(temporary);
            built = false;
        }
    }
    if (!built) {
        RemoveBuildFiles(temporary);
        *Error = QStringLiteral("cannot make the demo database %1: %2").arg(Path, reason);
    }
    return built;
}

enum class TCheck
{
    Ok,
    Damaged,
    Failed
};

// Only a file SQLite itself calls corrupt or not a database may be replaced;
// a locked or unreadable one belongs to someone and is left alone.
TCheck Judge(const QSqlError& Error, QString* Reason)
{
    constexpr int SqliteCorrupt = 11;
    constexpr int SqliteNotADatabase = 26;
    *Reason = Error.text();
    bool isNumber = false;
    const int code = Error.nativeErrorCode().toInt(&isNumber) & 0xFF;
    return isNumber && (code == SqliteCorrupt || code == SqliteNotADatabase) ? TCheck::Damaged
                                                                             : TCheck::Failed;
}

TCheck Check(const QSqlDatabase& Database, QString* Reason)
{
    QSqlQuery query(Database);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("PRAGMA quick_check")))
        return Judge(query.lastError(), Reason);
    QStringList problems;
    while (query.next())
        problems << query.value(0).toString();
    if (query.lastError().isValid())
        return Judge(query.lastError(), Reason);
    if (problems != QStringList{QStringLiteral("ok")}) {
        *Reason = QStringLiteral("integrity check: %1").arg(problems.value(0));
        return TCheck::Damaged;
    }

    int values[2] = {};
    const QString pragmas[2] = {QStringLiteral("PRAGMA application_id"),
                                QStringLiteral("PRAGMA user_version")};
    for (int i = 0; i < 2; ++i) {
        if (!query.exec(pragmas[i]) || !query.next())
            return Judge(query.lastError(), Reason);
        values[i] = query.value(0).toInt();
    }
    if (values[0] != ApplicationId) {
        *Reason = QStringLiteral("not a demo database");
        return TCheck::Damaged;
    }
    if (values[1] != SchemaVersion) {
        *Reason = QStringLiteral("unknown schema version %1").arg(values[1]);
        return TCheck::Damaged;
    }
    if (!query.exec(QStringLiteral("PRAGMA foreign_keys = ON")))
        return Judge(query.lastError(), Reason);
    return TCheck::Ok;
}

// Opens Path under Connection; the connection stays only when the result is Ok.
TCheck OpenChecked(const QString& Connection, const QString& Path, QString* Reason)
{
    TCheck result = TCheck::Failed;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(Driver, Connection);
        database.setDatabaseName(Path);
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
        if (database.open())
            result = Check(database, Reason);
        else
            *Reason = database.lastError().text();
        if (result != TCheck::Ok)
            database.close();
    }
    if (result != TCheck::Ok)
        QSqlDatabase::removeDatabase(Connection);
    return result;
}

// Renames File to "<File>.damaged-<UTC time>", never over an existing file.
bool KeepAside(const QString& File, QString* Aside)
{
    const QString base =
        QStringLiteral("%1.damaged-%2")
            .arg(File,
                 QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")));
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString target =
            attempt == 1 ? base : QStringLiteral("%1-%2").arg(base, QString::number(attempt));
        if (QFile::rename(File, target)) {
            *Aside = target;
            return true;
        }
        if (!QFileInfo::exists(target))
            return false;
    }
    return false;
}

} // namespace

TDemoDirectory::TDemoDirectory(const QString& Connection, const QString& Path)
    : FConnection(Connection), FPath(Path)
{
}

TDemoDirectory::~TDemoDirectory()
{
    QSqlDatabase::database(FConnection, false).close();
    QSqlDatabase::removeDatabase(FConnection);
}

std::unique_ptr<TDemoDirectory> TDemoDirectory::Open(const QString& DatabasePath,
                                                     const QString& SeedPath, QString* Error)
{
    const QString path = QFileInfo(DatabasePath).absoluteFilePath();
    const QString connection = NewConnectionName();
    const auto fail = [Error](const QString& Message) {
        std::fprintf(stderr, "error: %s\n", qPrintable(Message));
        if (Error)
            *Error = Message;
        return std::unique_ptr<TDemoDirectory>();
    };

    QString damage;
    if (QFileInfo::exists(path)) {
        const TCheck check = OpenChecked(connection, path, &damage);
        if (check == TCheck::Ok)
            return std::unique_ptr<TDemoDirectory>(new TDemoDirectory(connection, path));
        if (check == TCheck::Failed)
            return fail(QStringLiteral("cannot open the demo database %1: %2").arg(path, damage));
    }

    // Read the seed before anything is moved: without it nothing can replace
    // what is there.
    QString reason;
    const std::optional<TSeed> seed = LoadSeed(SeedPath, &reason);
    if (!seed)
        return fail(reason);

    // A rollback journal left behind belongs to the old file; next to a new
    // one SQLite would play it back into it.
    const QString journal = path + QStringLiteral("-journal");
    for (const QString& file : {path, journal}) {
        if (!QFileInfo::exists(file))
            continue;
        QString aside;
        if (!KeepAside(file, &aside))
            return fail(QStringLiteral("cannot move the damaged demo database %1 aside").arg(file));
        if (file == path)
            Warn(QStringLiteral(
                     "the demo database %1 is damaged or not ours (%2); kept as %3, making a "
                     "fresh one from the seed")
                     .arg(path, damage, aside));
        else
            Warn(QStringLiteral("a stale journal %1 was kept as %2").arg(file, aside));
    }

    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("cannot make the folder of the demo database %1").arg(path));
    if (!Build(path, *seed, &reason))
        return fail(reason);
    if (OpenChecked(connection, path, &reason) != TCheck::Ok)
        return fail(
            QStringLiteral("the new demo database %1 cannot be opened: %2").arg(path, reason));
    return std::unique_ptr<TDemoDirectory>(new TDemoDirectory(connection, path));
}

// ---- accounts ----

std::optional<TDemoAccount> TDemoDirectory::AccountWhere(const char* Column,
                                                         const QString& Value) const
{
    if (!ValidId(Value))
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!Exec(query,
              QStringLiteral("SELECT user_id, display_name, flags, first_name, last_name, email, "
                             "role FROM accounts WHERE %1 = ?")
                  .arg(QLatin1String(Column)),
              {Value}) ||
        !query.next())
        return std::nullopt;
    TDemoAccount account;
    account.UserId = query.value(0).toString();
    account.DisplayName = query.value(1).toString();
    account.Flags = query.value(2).toInt();
    account.FirstName = query.value(3).toString();
    account.LastName = query.value(4).toString();
    account.Email = query.value(5).toString();
    account.Role = query.value(6).toString();
    return account;
}

std::optional<TDemoAccount> TDemoDirectory::Account(const QString& UserId) const
{
    return AccountWhere("user_id", UserId);
}

std::optional<TDemoAccount> TDemoDirectory::FindByEmail(const QString& Email) const
{
    return AccountWhere("email", Email);
}

bool TDemoDirectory::CheckPassword(const QString& UserId, const QString& Password) const
{
    if (!ValidId(UserId) || !Fits(Password, MaxIdBytes))
        return false;
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!Exec(query,
              QStringLiteral("SELECT password_salt, password_hash FROM accounts WHERE user_id = ?"),
              {UserId}) ||
        !query.next() || query.isNull(1))
        return false;
    return SameBytes(PasswordHash(query.value(0).toByteArray(), Password),
                     query.value(1).toByteArray());
}

QStringList TDemoDirectory::UserInfo(const QString& UserId) const
{
    if (!ValidId(UserId))
        return {};
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!Exec(query,
              QStringLiteral("SELECT d.field, d.text FROM accounts a "
                             "LEFT JOIN user_details d ON d.account = a.id WHERE a.user_id = ?"),
              {UserId}))
        return {};
    QStringList texts;
    while (query.next()) {
        if (texts.isEmpty())
            texts = QStringList(UserInfoCount);
        const int field = query.value(0).toInt();
        if (!query.isNull(0) && field >= 0 && field < UserInfoCount)
            texts[field] = query.value(1).toString();
    }
    return texts;
}

TDemoPhoto TDemoDirectory::Photo(const QString& UserId) const
{
    if (!ValidId(UserId))
        return {};
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!Exec(query, QStringLiteral("SELECT photo, photo_format FROM accounts WHERE user_id = ?"),
              {UserId}) ||
        !query.next() || query.isNull(0))
        return {};
    return {query.value(0).toByteArray(), query.value(1).toString().toLatin1()};
}

// ---- presence ----

bool TDemoDirectory::SetPresence(const QString& UserId, int Status, const QString& Conference)
{
    if (!ValidId(UserId) || Status < -1 || Status > 5 || !Fits(Conference, MaxIdBytes) ||
        HasControl(Conference))
        return false;
    const QSqlDatabase database = QSqlDatabase::database(FConnection, false);
    TTransaction transaction(database);
    QSqlQuery query(database);
    return transaction.IsOpen() &&
           Exec(query,
                QStringLiteral("UPDATE accounts SET status = ?, conference = ? WHERE user_id = ?"),
                {Status, Conference, UserId}) &&
           query.numRowsAffected() == 1 && transaction.Commit();
}

std::optional<TDemoPresence> TDemoDirectory::Presence(const QString& UserId) const
{
    if (!ValidId(UserId))
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!Exec(query, QStringLiteral("SELECT status, conference FROM accounts WHERE user_id = ?"),
              {UserId}) ||
        !query.next())
        return std::nullopt;
    return TDemoPresence{query.value(0).toInt(), query.value(1).toString()};
}

QStringList TDemoDirectory::Watchers(const QString& UserId) const
{
    if (!ValidId(UserId))
        return {};
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!Exec(
            query,
            QStringLiteral("SELECT o.user_id FROM contacts c "
                           "JOIN accounts o ON o.id = c.owner JOIN accounts u ON u.id = c.contact "
                           "WHERE u.user_id = ? ORDER BY o.user_id"),
            {UserId}))
        return {};
    QStringList owners;
    while (query.next())
        owners << query.value(0).toString();
    return owners;
}

// ---- address books ----

QList<TDirectoryUser> TDemoDirectory::AddressBook(const QString& Owner) const
{
    if (!ValidId(Owner))
        return {};
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!Exec(query,
              QStringLiteral("SELECT a.user_id, a.display_name, a.conference, a.status "
                             "FROM contacts c JOIN accounts a ON a.id = c.contact "
                             "JOIN accounts o ON o.id = c.owner WHERE o.user_id = ? ORDER BY c.id"),
              {Owner}))
        return {};
    return ReadUsers(query, false);
}

TBookResult TDemoDirectory::AddContactRow(const QString& Owner, const QString& Key, bool ByEmail)
{
    if (!ValidId(Owner) || !ValidId(Key))
        return TBookResult::NotValid;
    const QSqlDatabase database = QSqlDatabase::database(FConnection, false);
    TTransaction transaction(database);
    if (!transaction.IsOpen())
        return TBookResult::DatabaseError;
    bool failed = false;
    const std::optional<qint64> owner = RowOf(database, "user_id", Owner, &failed);
    const std::optional<qint64> contact =
        RowOf(database, ByEmail ? "email" : "user_id", Key, &failed);
    if (failed)
        return TBookResult::DatabaseError;
    if (!owner || (contact && *contact == *owner))
        return TBookResult::NotValid;
    if (!contact)
        return TBookResult::NotFound;

    QSqlQuery query(database);
    if (!Exec(query, QStringLiteral("SELECT 1 FROM contacts WHERE owner = ? AND contact = ?"),
              {*owner, *contact}))
        return TBookResult::DatabaseError;
    if (query.next())
        return TBookResult::AlreadyInBook;
    if (!Exec(query, QStringLiteral("INSERT INTO contacts (owner, contact) VALUES (?, ?)"),
              {*owner, *contact}))
        return TBookResult::DatabaseError;
    query.finish();
    return transaction.Commit() ? TBookResult::Done : TBookResult::DatabaseError;
}

TBookResult TDemoDirectory::AddContact(const QString& Owner, const QString& UserId)
{
    return AddContactRow(Owner, UserId, false);
}

TBookResult TDemoDirectory::AddContactByEmail(const QString& Owner, const QString& Email)
{
    return AddContactRow(Owner, Email, true);
}

TBookResult TDemoDirectory::DeleteContact(const QString& Owner, const QString& UserId)
{
    if (!ValidId(Owner) || !ValidId(UserId))
        return TBookResult::NotValid;
    const QSqlDatabase database = QSqlDatabase::database(FConnection, false);
    TTransaction transaction(database);
    if (!transaction.IsOpen())
        return TBookResult::DatabaseError;
    bool failed = false;
    const std::optional<qint64> owner = RowOf(database, "user_id", Owner, &failed);
    if (failed)
        return TBookResult::DatabaseError;
    if (!owner)
        return TBookResult::NotValid;

    QSqlQuery query(database);
    if (!Exec(query,
              QStringLiteral("DELETE FROM contacts WHERE owner = ? AND contact = "
                             "(SELECT id FROM accounts WHERE user_id = ?)"),
              {*owner, UserId}))
        return TBookResult::DatabaseError;
    if (query.numRowsAffected() == 0)
        return TBookResult::NotFound;
    return transaction.Commit() ? TBookResult::Done : TBookResult::DatabaseError;
}

// ---- call history ----

bool TDemoDirectory::RecordCall(const QString& Owner, int Kind, const QString& Peer,
                                const QDateTime& When)
{
    if (!ValidId(Owner) || !ValidId(Peer) || Kind < 3 || Kind > 5 || !When.isValid())
        return false;
    const QSqlDatabase database = QSqlDatabase::database(FConnection, false);
    TTransaction transaction(database);
    if (!transaction.IsOpen())
        return false;
    bool failed = false;
    const std::optional<qint64> owner = RowOf(database, "user_id", Owner, &failed);
    const std::optional<qint64> peer = RowOf(database, "user_id", Peer, &failed);
    if (failed || !owner || !peer)
        return false;

    QSqlQuery query(database);
    return Exec(query,
                QStringLiteral("INSERT INTO calls (owner, kind, peer, at) VALUES (?, ?, ?, ?)"),
                {*owner, Kind, *peer, When.toSecsSinceEpoch()}) &&
           Exec(query,
                QStringLiteral("DELETE FROM calls WHERE owner = ? AND kind = ? AND id NOT IN "
                               "(SELECT id FROM calls WHERE owner = ? AND kind = ? "
                               "ORDER BY at DESC, id DESC LIMIT ?)"),
                {*owner, Kind, *owner, Kind, MaxHistory}) &&
           transaction.Commit();
}

QList<TDirectoryUser> TDemoDirectory::History(const QString& Owner, int Kind) const
{
    if (!ValidId(Owner) || Kind < 3 || Kind > 5)
        return {};
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!Exec(query,
              QStringLiteral("SELECT p.user_id, p.display_name, p.conference, p.status, c.at "
                             "FROM calls c JOIN accounts p ON p.id = c.peer "
                             "JOIN accounts o ON o.id = c.owner "
                             "WHERE o.user_id = ? AND c.kind = ? ORDER BY c.at DESC, c.id DESC"),
              {Owner, Kind}))
        return {};
    return ReadUsers(query, true);
}

// ---- directory search ----

QList<TDirectoryUser> TDemoDirectory::Search(const TSearchCondition& Condition, int Limit) const
{
    if (Limit <= 0 || !Fits(Condition.Prefix, MaxIdBytes))
        return {};
    const char* column = nullptr;
    switch (Condition.Field) {
    case TSearchField::FirstName:
        column = "first_name";
        break;
    case TSearchField::LastName:
        column = "last_name";
        break;
    case TSearchField::Email:
        column = "email";
        break;
    }
    if (!column)
        return {};
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!Exec(query,
              QStringLiteral("SELECT user_id, display_name, conference, status FROM accounts "
                             "WHERE %1 LIKE ? ESCAPE '\\' "
                             "ORDER BY display_name COLLATE NOCASE, user_id LIMIT ?")
                  .arg(QLatin1String(column)),
              {LikePattern(Condition), std::min(Limit, MaxSearchLimit)}))
        return {};
    return ReadUsers(query, false);
}

// ---- server properties ----

QMap<QString, QString> TDemoDirectory::ServerProperties() const
{
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    QMap<QString, QString> properties;
    if (Exec(query, QStringLiteral("SELECT name, value FROM server_properties"))) {
        while (query.next())
            properties.insert(query.value(0).toString(), query.value(1).toString());
    }
    return properties;
}

bool TDemoDirectory::SetServerProperty(const QString& Name, const QString& Value)
{
    if (Name.isEmpty() || !Fits(Name, MaxIdBytes) || HasControl(Name) || !Fits(Value, MaxTextBytes))
        return false;
    const QSqlDatabase database = QSqlDatabase::database(FConnection, false);
    TTransaction transaction(database);
    QSqlQuery query(database);
    return transaction.IsOpen() &&
           Exec(query,
                QStringLiteral("INSERT INTO server_properties (name, value) VALUES (?, ?) "
                               "ON CONFLICT (name) DO UPDATE SET value = excluded.value"),
                {Name, Value}) &&
           transaction.Commit();
}
