#include "service/DemoDirectory.h"

#include "TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

Q_DECLARE_METATYPE(TSearchField)
Q_DECLARE_METATYPE(TBookResult)

namespace {

const QString Alice = QStringLiteral("alice@demo.pellory");
const QString Bob = QStringLiteral("bob@demo.pellory");

QString SeedPath()
{
    return QStringLiteral(KR_DEMO_SEED);
}

// What reaches standard error while the object lives.
class TStderrCapture
{
public:
    TStderrCapture()
    {
        if (!FFile.open())
            return;
        std::fflush(stderr);
        FSaved = ::dup(STDERR_FILENO);
        ::dup2(FFile.handle(), STDERR_FILENO);
    }
    ~TStderrCapture() { Restore(); }

    QString Text()
    {
        Restore();
        FFile.seek(0);
        return QString::fromUtf8(FFile.readAll());
    }

private:
    void Restore()
    {
        if (FSaved < 0)
            return;
        std::fflush(stderr);
        ::dup2(FSaved, STDERR_FILENO);
        ::close(FSaved);
        FSaved = -1;
    }

    QTemporaryFile FFile;
    int FSaved = -1;
};

// A plain connection to a database file, for looking behind the class.
class TRawDatabase
{
public:
    explicit TRawDatabase(const QString& Path)
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FName);
        database.setDatabaseName(Path);
        database.open();
    }
    ~TRawDatabase()
    {
        QSqlDatabase::database(FName, false).close();
        QSqlDatabase::removeDatabase(FName);
    }
    // Runs Sql and returns the first column of every row.
    QVariantList Rows(const QString& Sql)
    {
        QSqlQuery query(QSqlDatabase::database(FName, false));
        QVariantList rows;
        if (!query.exec(Sql))
            return {QStringLiteral("error: ") + query.lastError().text()};
        while (query.next())
            rows << query.value(0);
        return rows;
    }

private:
    QString FName = QStringLiteral("raw-%1").arg(quintptr(this));
};

QStringList Ids(const QList<TDirectoryUser>& Users)
{
    QStringList ids;
    for (const TDirectoryUser& user : Users)
        ids << user.UserId;
    return ids;
}

QStringList DamagedCopies(const QString& Folder)
{
    return QDir(Folder).entryList({QStringLiteral("demo.sqlite.damaged-*")}, QDir::Files);
}

QByteArray ReadAll(const QString& Path)
{
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& Path, const QByteArray& Bytes)
{
    QFile file(Path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(Bytes), Bytes.size());
}

} // namespace

class TestDemoDirectory : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void createsFromSeedAndKeepsChangesAcrossRestarts();
    void demoLogins_data();
    void demoLogins();
    void passwords_data();
    void passwords();
    void accountDetailsAndPhoto();
    void bookRequests_data();
    void bookRequests();
    void presenceAndWatchers();
    void historyIsNewestFirstAndCapped();
    void search_data();
    void search();
    void serverProperties();
    void keepsDamagedDatabaseAside_data();
    void keepsDamagedDatabaseAside();
    void leavesLockedDatabaseAlone();
    void refusesMissingOrDamagedSeed_data();
    void refusesMissingOrDamagedSeed();

private:
    // A database made once from the seed; tests work on copies of it.
    std::unique_ptr<TDemoDirectory> OpenCopy(const QString& Folder);

    QTemporaryDir FPristineDir;
    QString FPristine;
};

void TestDemoDirectory::initTestCase()
{
    QVERIFY(FPristineDir.isValid());
    FPristine = FPristineDir.filePath(QStringLiteral("pristine.sqlite"));
    QString error;
    QVERIFY2(TDemoDirectory::Open(FPristine, SeedPath(), &error), qPrintable(error));
}

std::unique_ptr<TDemoDirectory> TestDemoDirectory::OpenCopy(const QString& Folder)
{
    const QString path = Folder + QStringLiteral("/demo.sqlite");
    if (!QFile::copy(FPristine, path))
        return nullptr;
    return TDemoDirectory::Open(path, SeedPath());
}

void TestDemoDirectory::createsFromSeedAndKeepsChangesAcrossRestarts()
{
    TTestPlatformRoot root;
    const QString path = root.Path() + QStringLiteral("/not/yet/there/demo.sqlite");
    const QDateTime when(QDate(2024, 5, 17), QTime(18, 40, 12));
    {
        QString error;
        const std::unique_ptr<TDemoDirectory> directory =
            TDemoDirectory::Open(path, SeedPath(), &error);
        QVERIFY2(directory, qPrintable(error));
        QVERIFY(error.isEmpty());
        QVERIFY(QFile::exists(path));
        QVERIFY(!QFile::exists(path + QStringLiteral(".tmp")));
        QCOMPARE(directory->Search({TSearchField::Email, QString()}, 1000).size(), 52);

        QCOMPARE(directory->AddContact(Alice, QStringLiteral("lena_ross@demo.pellory")),
                 TBookResult::Done);
        QCOMPARE(directory->DeleteContact(Alice, Bob), TBookResult::Done);
        QVERIFY(directory->SetPresence(Alice, 1, QString()));
        QVERIFY(directory->RecordCall(Alice, 4, QStringLiteral("grace@demo.pellory"), when));
        QVERIFY(directory->SetServerProperty(QStringLiteral("motd"), QStringLiteral("Hello")));

        // A second object on the same file has its own connection and sees
        // the same data; closing it leaves the first one working.
        {
            const std::unique_ptr<TDemoDirectory> second = TDemoDirectory::Open(path, SeedPath());
            QVERIFY(second);
            QCOMPARE(second->Presence(Alice)->Status, 1);
        }
        QCOMPARE(directory->Presence(Alice)->Status, 1);
    }

    QString error;
    const std::unique_ptr<TDemoDirectory> reopened = TDemoDirectory::Open(path, SeedPath(), &error);
    QVERIFY2(reopened, qPrintable(error));
    const QStringList book = Ids(reopened->AddressBook(Alice));
    QCOMPARE(book.size(), 9);
    QCOMPARE(book.last(), QStringLiteral("lena_ross@demo.pellory"));
    QVERIFY(!book.contains(Bob));
    QCOMPARE(reopened->Presence(Alice)->Status, 1);
    const QList<TDirectoryUser> received = reopened->History(Alice, 4);
    QCOMPARE(received.size(), 3);
    QCOMPARE(received.last().UserId, QStringLiteral("grace@demo.pellory")); // the oldest
    QCOMPARE(received.last().DateTime, QStringLiteral("05-17-2024 18:40:12"));
    QCOMPARE(reopened->ServerProperties().value(QStringLiteral("motd")), QStringLiteral("Hello"));
    QVERIFY(reopened->CheckPassword(Alice, QStringLiteral("alice")));
    QVERIFY(DamagedCopies(QFileInfo(path).path()).isEmpty());
}

void TestDemoDirectory::demoLogins_data()
{
    QTest::addColumn<QString>("userId");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("role");

    QTest::newRow("main login") << Alice << "alice"
                                << "user";
    QTest::newRow("second login") << Bob << "bob"
                                  << "user";
    QTest::newRow("echo") << "echo@demo.pellory"
                          << "echo"
                          << "echo";
    QTest::newRow("busy") << "busy@demo.pellory"
                          << "busy"
                          << "busy";
    QTest::newRow("never answers") << "silent@demo.pellory"
                                   << "silent"
                                   << "silent";
    QTest::newRow("calls after login") << "carol@demo.pellory"
                                       << "carol"
                                       << "caller";
}

void TestDemoDirectory::demoLogins()
{
    QFETCH(QString, userId);
    QFETCH(QString, password);
    QFETCH(QString, role);

    QTemporaryDir folder;
    const std::unique_ptr<TDemoDirectory> directory = OpenCopy(folder.path());
    QVERIFY(directory);
    QVERIFY(directory->CheckPassword(userId, password));
    const std::optional<TDemoAccount> account = directory->Account(userId);
    QVERIFY(account);
    QCOMPARE(account->Role, role);
    QCOMPARE(account->Flags, 0x3F1);
    QVERIFY(directory->AddressBook(Alice).size() >= 5);
}

void TestDemoDirectory::passwords_data()
{
    QTest::addColumn<QString>("userId");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("right") << Alice << "alice" << true;
    QTest::newRow("wrong") << Alice << "bob" << false;
    QTest::newRow("user id in another case") << "ALICE@Demo.Pellory"
                                             << "alice" << true;
    QTest::newRow("password in another case") << Alice << "Alice" << false;
    QTest::newRow("empty password") << Alice << "" << false;
    QTest::newRow("over-long password") << Alice << "alice" + QString(300, 'x') << false;
    QTest::newRow("unknown user") << "nobody@demo.pellory"
                                  << "alice" << false;
    QTest::newRow("empty user id") << ""
                                   << "alice" << false;
    QTest::newRow("account without a login, empty password") << "lena_ross@demo.pellory"
                                                             << "" << false;
    QTest::newRow("account without a login, some password") << "lena_ross@demo.pellory"
                                                            << "lena" << false;
}

void TestDemoDirectory::passwords()
{
    QFETCH(QString, userId);
    QFETCH(QString, password);
    QFETCH(bool, accepted);

    QTemporaryDir folder;
    const std::unique_ptr<TDemoDirectory> directory = OpenCopy(folder.path());
    QVERIFY(directory);
    QCOMPARE(directory->CheckPassword(userId, password), accepted);
}

void TestDemoDirectory::accountDetailsAndPhoto()
{
    QTemporaryDir folder;
    const std::unique_ptr<TDemoDirectory> directory = OpenCopy(folder.path());
    QVERIFY(directory);

    const std::optional<TDemoAccount> alice =
        directory->Account(QStringLiteral("Alice@DEMO.pellory"));
    QVERIFY(alice);
    QCOMPARE(alice->UserId, Alice);
    QCOMPARE(alice->DisplayName, QStringLiteral("Alice Fenwright"));
    QCOMPARE(alice->Email, Alice);
    QVERIFY(!directory->Account(QStringLiteral("nobody@demo.pellory")));
    QVERIFY(!directory->Account(QString(300, 'a') + QStringLiteral("@demo.pellory")));

    // The e-mail address and the user id are separate keys.
    QCOMPARE(directory->FindByEmail(QStringLiteral("Dave.Morrow@demo.pellory"))->UserId,
             QStringLiteral("dave@demo.pellory"));
    QVERIFY(!directory->FindByEmail(QStringLiteral("dave@demo.pellory")));

    const QStringList info = directory->UserInfo(Alice);
    QCOMPARE(info.size(), TDemoDirectory::UserInfoCount);
    QVERIFY(info[0].isEmpty());
    QVERIFY(info[2].isEmpty());
    QCOMPARE(info[1], QStringLiteral("alice"));
    QCOMPARE(info[5], QStringLiteral("f"));
    QCOMPARE(info[6], QStringLiteral("s"));
    QCOMPARE(info[7], QStringLiteral("34"));
    QCOMPARE(info[11], QStringLiteral("GB"));
    QVERIFY(directory->UserInfo(QStringLiteral("nobody@demo.pellory")).isEmpty());
    QCOMPARE(directory->UserInfo(QStringLiteral("irina.sokolova@demo.pellory"))[1],
             QStringLiteral("Ирина"));

    const TDemoPhoto photo = directory->Photo(Alice);
    QCOMPARE(photo.Format, QByteArray("PNG"));
    const QImage image = QImage::fromData(photo.Data, "PNG");
    QCOMPARE(image.size(), QSize(160, 120));
    QVERIFY(directory->Photo(QStringLiteral("nobody@demo.pellory")).Data.isEmpty());

    // Salted: no two hashes share a salt and none is the bare digest.
    TRawDatabase raw(directory->DatabasePath());
    QCOMPARE(raw.Rows("SELECT COUNT(DISTINCT password_salt) = COUNT(password_hash) AND "
                      "COUNT(password_hash) >= 10 FROM accounts"),
             QVariantList{1});
    const QByteArray bare = QCryptographicHash::hash("alice", QCryptographicHash::Sha256);
    QVERIFY(raw.Rows("SELECT password_hash FROM accounts WHERE user_id = 'alice@demo.pellory'")
                .value(0)
                .toByteArray() != bare);
}

void TestDemoDirectory::bookRequests_data()
{
    QTest::addColumn<QString>("operation"); // add, email, delete
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<TBookResult>("result");
    QTest::addColumn<QString>("target"); // the account the argument names
    QTest::addColumn<bool>("listedAfter");

    const QString lena = QStringLiteral("lena_ross@demo.pellory");
    const QString dave = QStringLiteral("dave@demo.pellory");
    const QString grace = QStringLiteral("grace@demo.pellory");
    const QString nobody = QStringLiteral("nobody@demo.pellory");
    const QString tooLong = QString(250, 'a') + QStringLiteral("@demo.pellory");

    QTest::newRow("add") << "add" << Alice << lena << TBookResult::Done << lena << true;
    QTest::newRow("add in another case")
        << "add" << Alice << "Lena_Ross@DEMO.pellory" << TBookResult::Done << lena << true;
    QTest::newRow("add twice") << "add" << Alice << Bob << TBookResult::AlreadyInBook << Bob
                               << true;
    QTest::newRow("add twice in another case")
        << "add" << Alice << "BOB@demo.pellory" << TBookResult::AlreadyInBook << Bob << true;
    QTest::newRow("add oneself") << "add" << Alice << Alice << TBookResult::NotValid << Alice
                                 << false;
    QTest::newRow("add oneself in another case")
        << "add" << Alice << "Alice@Demo.Pellory" << TBookResult::NotValid << Alice << false;
    QTest::newRow("add unknown") << "add" << Alice << nobody << TBookResult::NotFound << nobody
                                 << false;
    QTest::newRow("add empty") << "add" << Alice << "" << TBookResult::NotValid << "" << false;
    QTest::newRow("add over-long")
        << "add" << Alice << tooLong << TBookResult::NotValid << "" << false;
    QTest::newRow("add with a blank")
        << "add" << Alice << "lena_ross@demo.pellory " << TBookResult::NotValid << lena << false;
    QTest::newRow("owner unknown")
        << "add" << nobody << Bob << TBookResult::NotValid << Bob << false;

    QTest::newRow("by e-mail") << "email" << Bob << "dave.morrow@demo.pellory" << TBookResult::Done
                               << dave << true;
    QTest::newRow("by e-mail in another case")
        << "email" << Bob << "Dave.Morrow@Demo.Pellory" << TBookResult::Done << dave << true;
    QTest::newRow("by e-mail: a user id is no address")
        << "email" << Bob << dave << TBookResult::NotFound << dave << false;
    QTest::newRow("by e-mail: own address")
        << "email" << Alice << Alice << TBookResult::NotValid << Alice << false;
    QTest::newRow("by e-mail: already there") << "email" << Alice << "grace.lindqvist@demo.pellory"
                                              << TBookResult::AlreadyInBook << grace << true;
    QTest::newRow("by e-mail: unknown")
        << "email" << Alice << nobody << TBookResult::NotFound << nobody << false;

    QTest::newRow("delete") << "delete" << Alice << Bob << TBookResult::Done << Bob << false;
    QTest::newRow("delete in another case")
        << "delete" << Alice << "BOB@Demo.Pellory" << TBookResult::Done << Bob << false;
    QTest::newRow("delete one not in the book")
        << "delete" << Alice << lena << TBookResult::NotFound << lena << false;
    QTest::newRow("delete unknown")
        << "delete" << Alice << nobody << TBookResult::NotFound << nobody << false;
    QTest::newRow("delete over-long")
        << "delete" << Alice << tooLong << TBookResult::NotValid << "" << false;
}

void TestDemoDirectory::bookRequests()
{
    QFETCH(QString, operation);
    QFETCH(QString, owner);
    QFETCH(QString, argument);
    QFETCH(TBookResult, result);
    QFETCH(QString, target);
    QFETCH(bool, listedAfter);

    QTemporaryDir folder;
    const std::unique_ptr<TDemoDirectory> directory = OpenCopy(folder.path());
    QVERIFY(directory);
    const QStringList before = Ids(directory->AddressBook(owner));

    TBookResult answer = TBookResult::DatabaseError;
    if (operation == QLatin1String("add"))
        answer = directory->AddContact(owner, argument);
    else if (operation == QLatin1String("email"))
        answer = directory->AddContactByEmail(owner, argument);
    else
        answer = directory->DeleteContact(owner, argument);
    QCOMPARE(answer, result);

    const QStringList after = Ids(directory->AddressBook(owner));
    QCOMPARE(after.contains(target), listedAfter);
    if (answer == TBookResult::Done && operation != QLatin1String("delete")) {
        QCOMPARE(after.mid(0, before.size()), before); // appended, order kept
        QCOMPARE(after.last(), target);
    } else if (answer == TBookResult::Done) {
        QStringList expected = before;
        expected.removeOne(target);
        QCOMPARE(after, expected);
    } else {
        QCOMPARE(after, before);
    }
}

void TestDemoDirectory::presenceAndWatchers()
{
    QTemporaryDir folder;
    const std::unique_ptr<TDemoDirectory> directory = OpenCopy(folder.path());
    QVERIFY(directory);

    const std::optional<TDemoPresence> erin =
        directory->Presence(QStringLiteral("erin@demo.pellory"));
    QCOMPARE(erin->Status, 5);
    QCOMPARE(erin->Conference, QStringLiteral("design-review"));
    QCOMPARE(directory->Watchers(QStringLiteral("BOB@demo.pellory")), QStringList{Alice});
    QCOMPARE(directory->Watchers(Alice), (QStringList{Bob, QStringLiteral("carol@demo.pellory")}));
    QVERIFY(directory->Watchers(QStringLiteral("lena_ross@demo.pellory")).isEmpty());
    QVERIFY(directory->Watchers(QStringLiteral("nobody@demo.pellory")).isEmpty());

    QVERIFY(
        directory->SetPresence(QStringLiteral("Bob@Demo.Pellory"), 5, QStringLiteral("standup")));
    const TDirectoryUser bob = directory->AddressBook(Alice).first();
    QCOMPARE(bob.UserId, Bob);
    QCOMPARE(bob.DisplayName, QStringLiteral("Bob Quillan"));
    QCOMPARE(bob.Status, 5);
    QCOMPARE(bob.Conference, QStringLiteral("standup"));
    QVERIFY(bob.DateTime.isEmpty());

    struct
    {
        QString UserId;
        int Status;
        QString Conference;
    } const refused[] = {
        {Bob, 6, QString()},         {Bob, -2, QString()},
        {Bob, 1, QString(256, 'c')}, {QStringLiteral("nobody@demo.pellory"), 1, QString()},
        {QString(), 1, QString()},
    };
    for (const auto& attempt : refused) {
        QVERIFY(!directory->SetPresence(attempt.UserId, attempt.Status, attempt.Conference));
        QCOMPARE(directory->Presence(Bob)->Status, 5);
        QCOMPARE(directory->Presence(Bob)->Conference, QStringLiteral("standup"));
    }
    QVERIFY(!directory->Presence(QStringLiteral("nobody@demo.pellory")));

    QCOMPARE(directory->DeleteContact(Alice, Bob), TBookResult::Done);
    QVERIFY(directory->Watchers(Bob).isEmpty());
}

void TestDemoDirectory::historyIsNewestFirstAndCapped()
{
    QTemporaryDir folder;
    const std::unique_ptr<TDemoDirectory> directory = OpenCopy(folder.path());
    QVERIFY(directory);

    QCOMPARE(Ids(directory->History(Alice, 3)),
             (QStringList{QStringLiteral("carol@demo.pellory"), Bob}));
    QCOMPARE(directory->History(Alice, 5).size(), 3);

    const QString frank = QStringLiteral("frank@demo.pellory");
    const QDateTime base(QDate(2024, 3, 7), QTime(9, 5, 0));
    QVERIFY(directory->RecordCall(frank, 4, Alice, base.addSecs(10 * 60)));
    QVERIFY(directory->RecordCall(frank, 4, Bob, base.addSecs(30 * 60)));
    QVERIFY(directory->RecordCall(frank, 4, QStringLiteral("Grace@Demo.Pellory"),
                                  base.addSecs(20 * 60)));
    const QList<TDirectoryUser> received = directory->History(frank, 4);
    QCOMPARE(Ids(received), (QStringList{Bob, QStringLiteral("grace@demo.pellory"), Alice}));
    QCOMPARE(received[0].DisplayName, QStringLiteral("Bob Quillan"));
    QCOMPARE(received[0].DateTime, QStringLiteral("03-07-2024 09:35:00"));
    QCOMPARE(received[2].DateTime, QStringLiteral("03-07-2024 09:15:00"));

    for (int i = 0; i < TDemoDirectory::MaxHistory + 5; ++i)
        QVERIFY(
            directory->RecordCall(frank, 3, i % 2 ? Alice : Bob, base.addDays(1).addSecs(i * 60)));
    QList<TDirectoryUser> missed = directory->History(frank, 3);
    QCOMPARE(missed.size(), TDemoDirectory::MaxHistory);
    QCOMPARE(missed.first().DateTime, QStringLiteral("03-08-2024 10:49:00")); // call 104
    QCOMPARE(missed.last().DateTime, QStringLiteral("03-08-2024 09:10:00"));  // call 5
    // One older than everything kept is not kept either.
    QVERIFY(directory->RecordCall(frank, 3, Alice, base));
    missed = directory->History(frank, 3);
    QCOMPARE(missed.size(), TDemoDirectory::MaxHistory);
    QCOMPARE(missed.last().DateTime, QStringLiteral("03-08-2024 09:10:00"));
    QCOMPARE(directory->History(frank, 4).size(), 3);

    QVERIFY(!directory->RecordCall(frank, 2, Alice, base));
    QVERIFY(!directory->RecordCall(frank, 6, Alice, base));
    QVERIFY(!directory->RecordCall(frank, 5, QStringLiteral("nobody@demo.pellory"), base));
    QVERIFY(!directory->RecordCall(QStringLiteral("nobody@demo.pellory"), 5, Alice, base));
    QVERIFY(!directory->RecordCall(frank, 5, Alice, QDateTime()));
    QVERIFY(directory->History(frank, 5).isEmpty());
    QVERIFY(directory->History(Alice, 1).isEmpty());
}

void TestDemoDirectory::search_data()
{
    QTest::addColumn<TSearchField>("field");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QStringList>("found");

    const auto first = TSearchField::FirstName;
    const auto last = TSearchField::LastName;
    const auto email = TSearchField::Email;
    const auto ids = [](std::initializer_list<const char*> Locals) {
        QStringList list;
        for (const char* local : Locals)
            list << QString::fromUtf8(local) + QStringLiteral("@demo.pellory");
        return list;
    };

    QTest::newRow("first name, by display name")
        << first << "Ali" << 50 << ids({"alice", "alicia.montrose"});
    QTest::newRow("first name, any ASCII case")
        << first << "aLI" << 50 << ids({"alice", "alicia.montrose"});
    QTest::newRow("last name") << last << "O" << 50
                               << ids({"frank", "niamh.omalley", "nora.olsen", "siobhan.orourke"});
    QTest::newRow("quote") << last << "O'" << 50 << ids({"niamh.omalley", "siobhan.orourke"});
    QTest::newRow("quote and more") << last << "o'r" << 50 << ids({"siobhan.orourke"});
    QTest::newRow("e-mail") << email << "Dave." << 50 << ids({"dave"});
    QTest::newRow("e-mail is not the user id") << email << "dave@" << 50 << QStringList();
    QTest::newRow("prefix of two") << email << "lena" << 50 << ids({"lena_ross", "lenar.zakirov"});
    QTest::newRow("underscore is a letter") << email << "lena_" << 50 << ids({"lena_ross"});
    QTest::newRow("percent is a letter") << email << "lena%" << 50 << QStringList();
    QTest::newRow("backslash is a letter") << first << "\\" << 50 << QStringList();
    QTest::newRow("umlaut") << first << "Jür" << 50 << ids({"juergen.falkenried"});
    QTest::newRow("cyrillic") << last << "Соко" << 50 << ids({"irina.sokolova"});
    QTest::newRow("no match") << first << "Qwxyz" << 50 << QStringList();
    QTest::newRow("empty prefix, limited") << email << "" << 5
                                           << ids({"aaron.blackmere", "alice", "alicia.montrose",
                                                   "amelia.brightwater", "beatrix.vandermolen"});
    QTest::newRow("no room") << email << "" << 0 << QStringList();
    QTest::newRow("quote trick") << last << "x' OR '1'='1" << 50 << QStringList();
    QTest::newRow("statement trick")
        << first << "'; DROP TABLE accounts; --" << 50 << QStringList();
    QTest::newRow("wildcard trick") << email << "%' OR email LIKE '%" << 50 << QStringList();
    QTest::newRow("over-long") << email << QString(300, 'a') << 50 << QStringList();
}

void TestDemoDirectory::search()
{
    QFETCH(TSearchField, field);
    QFETCH(QString, prefix);
    QFETCH(int, limit);
    QFETCH(QStringList, found);

    QTemporaryDir folder;
    const std::unique_ptr<TDemoDirectory> directory = OpenCopy(folder.path());
    QVERIFY(directory);
    QCOMPARE(Ids(directory->Search({field, prefix}, limit)), found);
    QCOMPARE(directory->Search({TSearchField::Email, QString()}, 1000).size(), 52);
}

void TestDemoDirectory::serverProperties()
{
    QTemporaryDir folder;
    const std::unique_ptr<TDemoDirectory> directory = OpenCopy(folder.path());
    QVERIFY(directory);

    const QString site = QStringLiteral("https://www.pellory.example");
    QMap<QString, QString> expected{
        {"skin_url", site + "/skins1.txt"},
        {"lang_url", site + "/lang.kll"},
        {"min_version", "4.0.0.0"},
        {"current_version", "4.4.0.0"},
        {"last_version", "4.4.0.0"},
        {"setup_url", site + "/download/setup"},
        {"registration_url", site + "/register"},
        {"privacypolicy_url", site + "/privacy"},
        {"help_url", site + "/help"},
        {"site_url", site + "/"},
        {"account_url", site + "/account"},
    };
    QCOMPARE(directory->ServerProperties(), expected);

    QVERIFY(directory->SetServerProperty(QStringLiteral("min_version"), QStringLiteral("4.1.0.0")));
    QVERIFY(directory->SetServerProperty(QStringLiteral("motd"), QString()));
    QVERIFY(!directory->SetServerProperty(QString(), QStringLiteral("x")));
    QVERIFY(!directory->SetServerProperty(QString(256, 'n'), QStringLiteral("x")));
    QVERIFY(!directory->SetServerProperty(QStringLiteral("help_url"),
                                          QString(TDemoDirectory::MaxTextBytes + 1, 'v')));
    expected[QStringLiteral("min_version")] = QStringLiteral("4.1.0.0");
    expected[QStringLiteral("motd")] = QString();
    QCOMPARE(directory->ServerProperties(), expected);
}

void TestDemoDirectory::keepsDamagedDatabaseAside_data()
{
    QTest::addColumn<QString>("damage");

    QTest::newRow("garbage") << "garbage";
    QTest::newRow("truncated") << "truncated";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("another program's database") << "foreign";
    QTest::newRow("unknown schema version") << "version";
}

void TestDemoDirectory::keepsDamagedDatabaseAside()
{
    QFETCH(QString, damage);

    TTestPlatformRoot root;
    const QString path = root.Path() + QStringLiteral("/demo.sqlite");
    if (damage == QLatin1String("garbage")) {
        Write(path, QByteArray("not a database at all\n").repeated(200));
    } else if (damage == QLatin1String("truncated")) {
        QVERIFY(QFile::copy(FPristine, path));
        QFile file(path);
        QVERIFY(file.size() > 8192);
        QVERIFY(file.resize(file.size() / 2));
    } else if (damage == QLatin1String("empty")) {
        Write(path, QByteArray());
    } else if (damage == QLatin1String("foreign")) {
        TRawDatabase raw(path);
        QCOMPARE(raw.Rows("CREATE TABLE accounts (user_id TEXT)"), QVariantList());
        QCOMPARE(raw.Rows("INSERT INTO accounts VALUES ('alice@demo.pellory')"), QVariantList());
    } else {
        QVERIFY(QFile::copy(FPristine, path));
        TRawDatabase raw(path);
        QCOMPARE(raw.Rows("PRAGMA user_version = 2"), QVariantList());
    }
    if (QTest::currentTestFailed())
        return;
    const QByteArray original = ReadAll(path);

    TStderrCapture capture;
    QString error;
    const std::unique_ptr<TDemoDirectory> directory =
        TDemoDirectory::Open(path, SeedPath(), &error);
    const QString message = capture.Text();
    QVERIFY2(directory, qPrintable(error));
    QVERIFY(directory->CheckPassword(Alice, QStringLiteral("alice")));
    QCOMPARE(directory->AddressBook(Alice).size(), 9);

    const QStringList aside = DamagedCopies(root.Path());
    QCOMPARE(aside.size(), 1);
    QCOMPARE(ReadAll(root.Path() + QLatin1Char('/') + aside.first()), original);
    QVERIFY2(message.contains(QStringLiteral("damaged")) && message.contains(aside.first()),
             qPrintable(message));
}

void TestDemoDirectory::leavesLockedDatabaseAlone()
{
    TTestPlatformRoot root;
    const QString path = root.Path() + QStringLiteral("/demo.sqlite");
    QVERIFY(QFile::copy(FPristine, path));
    {
        TRawDatabase holder(path);
        QCOMPARE(holder.Rows("BEGIN EXCLUSIVE"), QVariantList());
        TStderrCapture capture;
        QString error;
        QVERIFY(!TDemoDirectory::Open(path, SeedPath(), &error));
        QVERIFY2(error.contains(QStringLiteral("cannot open")), qPrintable(error));
        QVERIFY(capture.Text().contains(error));
        QVERIFY(DamagedCopies(root.Path()).isEmpty());
        QCOMPARE(holder.Rows("ROLLBACK"), QVariantList());
    }
    QVERIFY(TDemoDirectory::Open(path, SeedPath()));
}

void TestDemoDirectory::refusesMissingOrDamagedSeed_data()
{
    QTest::addColumn<QByteArray>("seed"); // empty: no seed file at all
    QTest::addColumn<QString>("reason");

    const auto account = [](const QByteArray& Fields) {
        return QByteArray(R"({"version": 1, "accounts": [{"user_id": "a@demo.pellory",
                              "display_name": "A")") +
               Fields + "}]}";
    };

    QTest::newRow("missing") << QByteArray() << "is missing";
    QTest::newRow("not JSON") << QByteArray("{\"version\": 1,") << "is damaged";
    QTest::newRow("not an object") << QByteArray("[1, 2]") << "not a JSON object";
    QTest::newRow("no version") << QByteArray(R"({"accounts": []})") << "\"version\" is missing";
    QTest::newRow("newer version")
        << QByteArray(R"({"version": 2})") << "version 2 is not supported";
    QTest::newRow("no accounts") << QByteArray(R"({"version": 1})") << "\"accounts\"";
    QTest::newRow("account without a user id")
        << QByteArray(R"({"version": 1, "accounts": [{"display_name": "A"}]})")
        << "\"user_id\" is missing";
    QTest::newRow("user id twice") << QByteArray(R"({"version": 1, "accounts": [
               {"user_id": "a@demo.pellory", "display_name": "A"},
               {"user_id": "A@Demo.Pellory", "display_name": "B", "email": "b@demo.pellory"}]})")
                                   << "used twice";
    QTest::newRow("contact unknown")
        << account(R"(, "contacts": ["b@demo.pellory"])") << "b@demo.pellory is not an account";
    QTest::newRow("status out of range") << account(R"(, "status": 7)") << "\"status\" must be";
    QTest::newRow("misspelt field")
        << account(R"(, "dispaly_name": "x")") << "unknown field \"dispaly_name\"";
    QTest::newRow("detail too long")
        << account(QByteArray(", \"details\": {\"about\": \"" + QByteArray(3072, 'x') + "\"}"))
        << "\"about\" is longer than 3071 bytes";
    QTest::newRow("photo of unknown format")
        << account(R"(, "photo": "iVBORw0KGgo=", "photo_format": "GIF")") << "photo_format";
    QTest::newRow("history with an unknown peer")
        << QByteArray(R"({"version": 1, "accounts": [{"user_id": "a@demo.pellory",
               "display_name": "A"}], "history": [{"owner": "a@demo.pellory",
               "peer": "b@demo.pellory", "kind": 3, "minutes_ago": 5}]})")
        << "owner and peer";
}

void TestDemoDirectory::refusesMissingOrDamagedSeed()
{
    QFETCH(QByteArray, seed);
    QFETCH(QString, reason);

    TTestPlatformRoot root;
    const QString seedPath = root.Path() + QStringLiteral("/seed.json");
    const QString path = root.Path() + QStringLiteral("/demo.sqlite");
    if (!seed.isEmpty())
        Write(seedPath, seed);

    TStderrCapture capture;
    QString error;
    QVERIFY(!TDemoDirectory::Open(path, seedPath, &error));
    const QString message = capture.Text();
    QVERIFY2(error.contains(seedPath) && error.contains(reason), qPrintable(error));
    QVERIFY2(message.contains(error), qPrintable(message));
    QVERIFY(!QFile::exists(path));
    QVERIFY(!QFile::exists(path + QStringLiteral(".tmp")));
}

QTEST_MAIN(TestDemoDirectory)
#include "tst_demodirectory.moc"
