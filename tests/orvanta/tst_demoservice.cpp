#include "TestSupport.h"
#include "service/DemoService.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// A client that writes down what the service tells it, one line an event.
class TRecordingClient : public IServiceClient
{
public:
    QStringList Log;
    QList<TServiceUser> LastList;
    TServiceAccount Account;
    QImage LastFrame;
    QList<QByteArray> Audio;

    void ServiceConnected() override { Log << "connected"; }
    void ServiceDisconnected() override { Log << "disconnected"; }
    void LoginAccepted(const TServiceAccount& A) override
    {
        Account = A;
        Log << "login " + QString::fromUtf8(A.UserId);
    }
    void LoginRefused(int Code) override { Log << QStringLiteral("refused %1").arg(Code); }
    void LoggedOut(int Code) override { Log << QStringLiteral("logged out %1").arg(Code); }
    void PropertiesChanged() override { Log << "properties"; }
    void ListArrived(int Kind, const QList<TServiceUser>& Users) override
    {
        LastList = Users;
        Log << QStringLiteral("list %1 %2").arg(Kind).arg(Users.size());
    }
    void BookResult(int, int Result) override { Log << QStringLiteral("book %1").arg(Result); }
    void CallOffered(const QByteArray& From, const QString&, bool Invitation) override
    {
        Log << QStringLiteral("offered %1 %2").arg(QString::fromUtf8(From)).arg(Invitation);
    }
    void JoinRequested(const QByteArray& From, const QString&) override
    {
        Log << "join " + QString::fromUtf8(From);
    }
    void OfferWithdrawn() override { Log << "withdrawn"; }
    void CallFailed(int Code) override { Log << QStringLiteral("failed %1").arg(Code); }
    void CallLinkUp(const QByteArray& Peer, const QString&, bool) override
    {
        Log << "link up " + QString::fromUtf8(Peer);
    }
    void CallEstablished() override { Log << "established"; }
    void CallEnded(TCallEnd How) override { Log << QStringLiteral("ended %1").arg(int(How)); }
    void ChatArrived(const QByteArray& From, const QString& Text, bool) override
    {
        Log << QStringLiteral("chat %1 %2").arg(QString::fromUtf8(From), Text);
    }
    void CommandArrived(const QByteArray& From, const QByteArray& Command) override
    {
        Log << QStringLiteral("command %1 %2")
                   .arg(QString::fromUtf8(From), QString::fromUtf8(Command));
    }
    void PeerFrame(const QImage& Frame) override { LastFrame = Frame; }
    void PeerAudio(const QByteArray& Pcm) override { Audio << Pcm; }

    bool Saw(const QString& Line) const { return Log.contains(Line); }
};

// A user of the demo service: a client and its connection.
struct TUser
{
    TRecordingClient Client;
    std::unique_ptr<IServiceConnection> Connection;
};

// Samples -Count/2 .. Count/2 - 1, 16-bit little-endian: each differs, so a
// reordered or cut chunk shows.
QByteArray PcmRamp(int Count)
{
    QByteArray pcm;
    for (int i = 0; i < Count; ++i) {
        const qint16 sample = qint16((i - Count / 2) * 97);
        pcm.append(char(sample & 0xff)).append(char((sample >> 8) & 0xff));
    }
    return pcm;
}

} // namespace

class TestDemoService : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void loginAndData();
    void callsToPlayedUsers_data();
    void callsToPlayedUsers();
    void echoPeerAnswersChatCommandsAndPictures();
    void twoClientsCallEachOther();
    void playedCallerRingsAndIsMissed();
    void sameAccountElsewhereLogsTheFirstOut();

private:
    std::unique_ptr<TUser> LogIn(const QByteArray& User, const QByteArray& Password);

    std::unique_ptr<TTestPlatformRoot> FRoot;
    std::unique_ptr<TDemoService> FService;
};

void TestDemoService::init()
{
    FRoot = std::make_unique<TTestPlatformRoot>();
    FService = std::make_unique<TDemoService>(FRoot->Path() + QStringLiteral("/demo.sqlite"),
                                              QStringLiteral(KR_DEMO_SEED));
    FService->Timings = {50, 200, 400, 60000};
}

void TestDemoService::cleanup()
{
    FService.reset();
    FRoot.reset();
}

std::unique_ptr<TUser> TestDemoService::LogIn(const QByteArray& User, const QByteArray& Password)
{
    auto user = std::make_unique<TUser>();
    user->Connection = FService->Connect(&user->Client);
    user->Connection->Login(User, Password, false);
    if (!QTest::qWaitFor([&] { return user->Client.Log.size() >= 2; }, 5000))
        qWarning("the demo service did not answer the login");
    return user;
}

void TestDemoService::loginAndData()
{
    auto wrong = LogIn("alice@demo.pellory", "bob");
    QCOMPARE(wrong->Client.Log, (QStringList{"connected", "refused 33"}));

    auto alice = LogIn("ALICE@demo.pellory", "alice");
    QCOMPARE(alice->Client.Log.mid(0, 2), (QStringList{"connected", "login alice@demo.pellory"}));
    QCOMPARE(alice->Client.Account.Flags & 0x1F, 0x11);
    QVERIFY(alice->Connection->Property("site_url").startsWith("https://"));

    alice->Connection->AddressBook(0, QByteArray(), 1);
    QTRY_VERIFY(alice->Client.Log.last().startsWith("list 1 "));
    QVERIFY(!alice->Client.LastList.isEmpty());

    alice->Connection->AddressBook(4, "frank@demo.pellory", 1); // by e-mail: his e-mail may differ
    alice->Connection->AddressBook(1, "nobody@demo.pellory", 1);
    alice->Connection->AddressBook(1, "alice@demo.pellory", 1);
    QTRY_COMPARE(alice->Client.Log.filter("book ").size(), 3);
    QCOMPARE(alice->Client.Log.filter("book ").mid(1), (QStringList{"book 1", "book 2"}));

    alice->Connection->AddressBook(3, "p.last_name LIKE N'Ro%'", 6);
    QTRY_VERIFY(alice->Client.Log.last().startsWith("list 6 "));
    QVERIFY(!alice->Client.LastList.isEmpty());
    alice->Connection->AddressBook(3, "p.email LIKE N'a%' OR 1=1 --", 6);
    QTRY_COMPARE(alice->Client.Log.last(), QStringLiteral("list 6 0"));

    alice->Connection->AddressBook(0, QByteArray(), 5);
    QTRY_VERIFY(alice->Client.Log.last().startsWith("list 5 "));
    QVERIFY(!alice->Client.LastList.isEmpty());
    QCOMPARE(alice->Client.LastList.first().DateTime.size(), 19);

    QCOMPARE(alice->Connection->UserInfo("bob@demo.pellory").size(), 12);
}

void TestDemoService::callsToPlayedUsers_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("busy") << QByteArray("busy@demo.pellory") << "failed 133";
    QTest::newRow("unknown") << QByteArray("nobody@demo.pellory") << "failed 134";
    QTest::newRow("offline friend") << QByteArray("frank@demo.pellory") << "failed 135";
    QTest::newRow("online friend") << QByteArray("bob@demo.pellory") << "established";
    QTest::newRow("conference of a friend") << QByteArray("@c_design-review") << "established";
    QTest::newRow("conference nobody runs") << QByteArray("@c_nothing") << "failed 141";
}

void TestDemoService::callsToPlayedUsers()
{
    QFETCH(QByteArray, target);
    QFETCH(QString, outcome);
    auto alice = LogIn("alice@demo.pellory", "alice");
    QVERIFY(alice->Connection->Call(0, target, QByteArray()));
    QVERIFY(!alice->Connection->Call(0, target, QByteArray())); // one call at a time
    QTRY_VERIFY_WITH_TIMEOUT(alice->Client.Saw(outcome), 5000);
}

void TestDemoService::echoPeerAnswersChatCommandsAndPictures()
{
    auto alice = LogIn("alice@demo.pellory", "alice");
    QVERIFY(!alice->Connection->SendChat(QStringLiteral("too early")));
    QVERIFY(alice->Connection->Call(0, "echo@demo.pellory", QByteArray()));
    QTRY_VERIFY(alice->Client.Saw("established"));
    QVERIFY(alice->Client.Saw("link up echo@demo.pellory"));

    QVERIFY(alice->Connection->SendChat(QStringLiteral("h\u00e9llo")));
    QTRY_VERIFY(alice->Client.Saw(QStringLiteral("chat echo@demo.pellory h\u00e9llo")));
    alice->Connection->SendCommand("EchoOn", "echo@demo.pellory");
    QTRY_VERIFY(alice->Client.Saw("command echo@demo.pellory EchoOnCommit"));
    QImage frame(32, 24, QImage::Format_RGB32);
    frame.fill(Qt::green);
    alice->Connection->SendFrame(frame);
    QTRY_COMPARE(alice->Client.LastFrame, frame);

    // Chunks a service must not carry are dropped; the good one comes back whole.
    const QByteArray pcm = PcmRamp(160);
    alice->Connection->SendAudio(QByteArray(MaxAudioChunk + 2, '\0'));
    alice->Connection->SendAudio(QByteArray(3, '\1'));
    alice->Connection->SendAudio(pcm);
    QTRY_COMPARE(alice->Client.Audio, QList<QByteArray>{pcm});

    alice->Connection->HangUp();
    QTRY_VERIFY(alice->Client.Saw("ended 2")); // the link went down
    alice->Connection->AddressBook(0, QByteArray(), 5);
    QTRY_VERIFY(alice->Client.Log.last().startsWith("list 5 "));
    QCOMPARE(alice->Client.LastList.first().UserId, QByteArray("echo@demo.pellory"));
}

void TestDemoService::twoClientsCallEachOther()
{
    auto alice = LogIn("alice@demo.pellory", "alice");
    auto bob = LogIn("bob@demo.pellory", "bob");
    QTRY_VERIFY(alice->Client.Saw("list 10 1")); // bob came online: alice watches him
    // ... and her address book comes again, showing him online.
    const int change = int(alice->Client.Log.indexOf(QStringLiteral("list 10 1")));
    QTRY_VERIFY(alice->Client.Log.mid(change).filter(QStringLiteral("list 1 ")).size() >= 1);

    QVERIFY(alice->Connection->Call(0, "bob@demo.pellory", QByteArray()));
    QTRY_VERIFY(bob->Client.Saw("offered alice@demo.pellory 0"));
    QVERIFY(!bob->Connection->Call(0, "echo@demo.pellory", QByteArray())); // ringing
    QVERIFY(bob->Connection->Accept());
    QTRY_VERIFY(alice->Client.Saw("established") && bob->Client.Saw("established"));

    alice->Connection->SendChat(QStringLiteral("hi bob"));
    QTRY_VERIFY(bob->Client.Saw("chat alice@demo.pellory hi bob"));
    QVERIFY(!alice->Client.Saw("chat alice@demo.pellory hi bob"));
    const QByteArray pcm = PcmRamp(320);
    alice->Connection->SendAudio(pcm);
    QTRY_COMPARE(bob->Client.Audio, QList<QByteArray>{pcm});
    QVERIFY(alice->Client.Audio.isEmpty());

    bob->Connection->HangUp();
    QTRY_VERIFY(alice->Client.Saw("ended 0")); // the other side hung up
    QTRY_VERIFY(bob->Client.Saw("ended 2"));
    alice->Connection->SendAudio(pcm); // no call: goes nowhere
    QTest::qWait(50);
    QCOMPARE(bob->Client.Audio.size(), 1);

    // A refused call fails for the caller.
    QVERIFY(alice->Connection->Call(0, "bob@demo.pellory", QByteArray()));
    QTRY_COMPARE(bob->Client.Log.filter("offered").size(), 2);
    QVERIFY(bob->Connection->Reject());
    QTRY_VERIFY(alice->Client.Saw("failed 133"));
}

void TestDemoService::playedCallerRingsAndIsMissed()
{
    auto alice = LogIn("alice@demo.pellory", "alice");
    QTRY_VERIFY_WITH_TIMEOUT(alice->Client.Saw("offered carol@demo.pellory 0"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(alice->Client.Saw("withdrawn"), 5000);
    alice->Connection->AddressBook(0, QByteArray(), 3);
    QTRY_VERIFY(alice->Client.Log.last().startsWith("list 3 "));
    QCOMPARE(alice->Client.LastList.first().UserId, QByteArray("carol@demo.pellory"));
}

void TestDemoService::sameAccountElsewhereLogsTheFirstOut()
{
    auto first = LogIn("bob@demo.pellory", "bob");
    auto second = LogIn("bob@demo.pellory", "bob");
    QTRY_VERIFY(first->Client.Saw("logged out 69"));
    QVERIFY(second->Client.Saw("login bob@demo.pellory"));

    FService->DropConnections();
    QTRY_VERIFY(second->Client.Saw("disconnected"));
}

QTEST_MAIN(TestDemoService)
#include "tst_demoservice.moc"
