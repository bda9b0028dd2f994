// The address book model: list deliveries, request results, lookups.
#include "contacts/AddressBook.h"
#include "engine/KrCoreFixture.h"

#include <QTest>

namespace {

QStringList User(const QString& Id, const QString& Name, int Status, const QString& Conference = {},
                 const QString& DateTime = {})
{
    return {Id, Name, Conference, QString::number(Status), DateTime};
}

QStringList Ids(const QList<const TBookRecord*>& Records)
{
    QStringList ids;
    for (const TBookRecord* record : Records)
        ids << record->UserID;
    return ids;
}

} // namespace

class TestAddressBook : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void deliveriesFillTheirList_data();
    void deliveriesFillTheirList();
    void historyKeepsOnlyTheLastKind();
    void onlineFriends();
    void fieldsAreCut();
    void statusChangeNamesTheThirdText();
    void resultsMatchTheirRequests();
    void unknownResultsAreDropped();
    void bracketChar_data();
    void bracketChar();

private:
    std::unique_ptr<TKrCoreFixture> F;
    std::unique_ptr<TKrBooks> FBooks;
    QStringList FLog;
};

void TestAddressBook::init()
{
    F = std::make_unique<TKrCoreFixture>();
    F->Start();
    FBooks = std::make_unique<TKrBooks>();
    FBooks->SetKrCore(F->Core.get());
    FLog.clear();
    FBooks->OnUserList = [this](TKrBooks*, unsigned Kind) {
        FLog << QStringLiteral("list %1").arg(Kind);
    };
    FBooks->OnBookNotify = [this](const QString& Name, TActionEnum Action, TBookMessages Result) {
        FLog << QStringLiteral("result %1 %2 %3").arg(Name).arg(int(Action)).arg(int(Result));
    };
    FBooks->OnStatusNotify = [this](TKrBooks*, const QString& Id, int Status) {
        FLog << QStringLiteral("status %1 %2").arg(Id).arg(Status);
    };
}

void TestAddressBook::cleanup()
{
    FBooks.reset();
    F.reset();
}

void TestAddressBook::deliveriesFillTheirList_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("listSel"); // -1: kept nowhere
    QTest::addColumn<bool>("raised");
    QTest::newRow("address book") << 1 << 0 << true;
    QTest::newRow("missed calls") << 3 << 3 << true;
    QTest::newRow("received calls") << 4 << 3 << true;
    QTest::newRow("placed calls") << 5 << 3 << true;
    QTest::newRow("search results") << 6 << 2 << true;
    QTest::newRow("kind 2") << 2 << -1 << false;
    QTest::newRow("kind 7") << 7 << -1 << false;
}

void TestAddressBook::deliveriesFillTheirList()
{
    QFETCH(int, kind);
    QFETCH(int, listSel);
    QFETCH(bool, raised);
    FBooks->HandleUserList(kind, User("bob@x", "Bob", 1, "", "12-01-2026 10:00:00") +
                                     User("erin@x", "Erin", 5, "review"));
    QCOMPARE(FLog, raised ? QStringList{QStringLiteral("list %1").arg(kind)} : QStringList());
    for (int sel = 0; sel <= 3; ++sel) {
        const bool kept = sel == listSel || (listSel == 0 && sel == 1);
        QCOMPARE(FBooks->GetUserField("erin@x", 2, sel), kept ? QStringLiteral("Erin") : QString());
    }
    if (listSel >= 0) {
        QCOMPARE(FBooks->GetUserField("erin@x", 0, listSel), QStringLiteral("review"));
        QCOMPARE(FBooks->GetUserField("erin@x", 3, listSel), QStringLiteral("5"));
        QCOMPARE(FBooks->GetUserField("ERIN@x", 2, listSel), QString()); // exact keys
        QCOMPARE(FBooks->GetUserField("bob@x", 4, listSel),
                 listSel == 3 ? QStringLiteral("12-01-2026 10:00:00") : QString());
    }

    // An empty delivery empties the list and is announced too.
    FLog.clear();
    FBooks->HandleUserList(kind, {});
    QCOMPARE(FLog, raised ? QStringList{QStringLiteral("list %1").arg(kind)} : QStringList());
    QList<const TBookRecord*> records;
    FBooks->CopyList(records, listSel < 0 ? 0 : listSel);
    QVERIFY(records.isEmpty());
}

void TestAddressBook::historyKeepsOnlyTheLastKind()
{
    FBooks->HandleUserList(3, User("missed@x", "M", 0));
    FBooks->HandleUserList(4, User("received@x", "R", 0));
    QList<const TBookRecord*> history;
    FBooks->CopyList(history, 3);
    QCOMPARE(Ids(history), QStringList{"received@x"});
    QCOMPARE(FLog, (QStringList{"list 3", "list 4"}));
}

void TestAddressBook::onlineFriends()
{
    QStringList book;
    for (int status : {-1, 0, 1, 2, 3, 4, 5, 7})
        book += User(QStringLiteral("s%1").arg(status), "x", status);
    FBooks->HandleUserList(1, book);
    QList<const TBookRecord*> online;
    FBooks->CopyList(online, 1);
    QCOMPARE(Ids(online), (QStringList{"s1", "s2", "s3", "s4", "s5"}));
    QList<const TBookRecord*> all;
    FBooks->CopyList(all, 0);
    QCOMPARE(all.size(), 8);
    QCOMPARE(all.last()->Status, 7); // other codes pass through
    QList<const TBookRecord*> none;
    FBooks->CopyList(none, 4);
    QVERIFY(none.isEmpty());
}

void TestAddressBook::fieldsAreCut()
{
    const QString longName(300, QLatin1Char('n'));
    const QString longTime(40, QLatin1Char('9'));
    FBooks->HandleUserList(5, User("u@x", longName, 0, longName, longTime));
    QCOMPARE(FBooks->GetUserField("u@x", 2, 3).size(), 255);
    QCOMPARE(FBooks->GetUserField("u@x", 0, 3).size(), 255);
    QCOMPARE(FBooks->GetUserField("u@x", 4, 3), longTime.left(32));
    // A group cut short by the engine still gives a record.
    FBooks->HandleUserList(1, {"short@x", "Short"});
    QCOMPARE(FBooks->GetUserField("short@x", 3, 0), QStringLiteral("0"));
}

void TestAddressBook::statusChangeNamesTheThirdText()
{
    FBooks->HandleUserList(1, User("bob@x", "Bob", 1));
    FLog.clear();
    FBooks->HandleUserList(10, User("first@x", "", 3, "third@x") + User("later@x", "", 4));
    QCOMPARE(FLog, QStringList{"status third@x 3"});
    QCOMPARE(FBooks->GetUserField("bob@x", 2, 0), QStringLiteral("Bob")); // lists untouched
}

void TestAddressBook::resultsMatchTheirRequests()
{
    TOrvantaFake::QueueResults("KrAddressBook", {11, 0, 12, 0, 13, 0});
    FBooks->AddFriendByEmail("ann@x");
    FBooks->AddFriend("Bo", "bo@x");
    FBooks->DeleteFriend("Cy", "cy@x");
    const QList<TFakeCall> calls = TOrvantaFake::Calls("KrAddressBook");
    QCOMPARE(calls.size(), 6); // each request asks for the address book again
    QCOMPARE(calls.at(0).Args.value(1).toInt(), 4);
    QCOMPARE(calls.at(0).Args.value(2).toByteArray(), QByteArray("ann@x"));
    QCOMPARE(calls.at(1).Args.value(1).toInt(), 0);
    QCOMPARE(calls.at(1).Args.value(3).toInt(), 1);
    QCOMPARE(calls.at(2).Args.value(2).toByteArray(), QByteArray("bo@x"));
    QCOMPARE(calls.at(4).Args.value(1).toInt(), 2);

    // The deleted friend's refreshed book comes first; the answers come in reverse.
    FBooks->HandleUserList(1, {});
    FLog.clear();
    FBooks->HandleBookResult(0, 13);
    FBooks->HandleBookResult(3, 12);
    FBooks->HandleBookResult(1, 11);
    QCOMPARE(FLog, (QStringList{"result Cy 2 0", "result Bo 1 3", "result ann@x 1 1"}));
}

void TestAddressBook::unknownResultsAreDropped()
{
    TOrvantaFake::QueueResults("KrAddressBook", {21, 0});
    FBooks->AddFriendByEmail("ann@x");
    FBooks->HandleBookResult(0, 99);
    FBooks->HandleBookResult(0, 21);
    FBooks->HandleBookResult(0, 21); // answered already
    QCOMPARE(FLog, QStringList{"result ann@x 1 0"});

    TOrvantaFake::QueueResults("KrAddressBook", {22, 0});
    FBooks->AddFriendByEmail("bea@x");
    FBooks->ClearAll();
    FBooks->HandleBookResult(4, 22);
    QCOMPARE(FLog.size(), 1);
}

void TestAddressBook::bracketChar_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("ch");
    QTest::addColumn<QString>("result");
    QTest::newRow("percent") << "50%_off"
                             << "%"
                             << "50[%]_off";
    QTest::newRow("then underscore") << "50[%]_off"
                                     << "_"
                                     << "50[%][_]off";
    QTest::newRow("at the ends") << "%a%"
                                 << "%"
                                 << "[%]a[%]";
    QTest::newRow("repeated") << "%%"
                              << "%"
                              << "[%][%]";
    QTest::newRow("none") << "abc"
                          << "%"
                          << "abc";
}

void TestAddressBook::bracketChar()
{
    QFETCH(QString, text);
    QFETCH(QString, ch);
    QTEST(TKrBooks::BracketChar(text, ch.at(0)), "result");
}

QTEST_MAIN(TestAddressBook)
#include "tst_addressbook.moc"
