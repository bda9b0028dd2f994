#include "ServiceLink.h"

#include <QTest>

namespace {

struct TPosted
{
    uint32_t Msg;
    quint32 WParam;
    intptr_t LParam;
    bool operator==(const TPosted& Other) const
    {
        return Msg == Other.Msg && WParam == Other.WParam && LParam == Other.LParam;
    }
};

// A service that records what the link asks of it; the test answers for it.
class TFakeConnection : public IServiceConnection
{
public:
    QStringList Log;
    void Login(const QByteArray& UserId, const QByteArray& Password, bool AutoLogin) override
    {
        Log << QStringLiteral("login %1 %2 %3").arg(UserId, Password).arg(AutoLogin);
    }
    void Logout() override { Log << QStringLiteral("logout"); }
    void SetAutoLogin(bool On) override { Log << QStringLiteral("autologin %1").arg(On); }
    QByteArray Property(const QByteArray& Name) const override
    {
        return Name == "site_url" ? QByteArray("https://www.pellory.example/") : QByteArray();
    }
    void SetProperty(const QByteArray&, const QByteArray&) override {}
    int AddressBook(int Operation, const QByteArray& Text, int Kind) override
    {
        Log << QStringLiteral("book %1 %2 %3").arg(Operation).arg(Text).arg(Kind);
        return 42;
    }
    void RequestUserStatus(const QByteArray&) override {}
    QByteArrayList UserInfo(const QByteArray&) const override { return {}; }
    std::pair<QByteArray, QByteArray> UserPhoto(const QByteArray&) const override { return {}; }
    bool Call(int, const QByteArray&, const QByteArray&) override { return true; }
    bool Accept() override { return true; }
    bool Reject() override { return true; }
    void HangUp() override {}
    void Invite(const QByteArray&) override {}
    bool SendChat(const QString&) override { return true; }
    bool SendCommand(const QByteArray&, const QByteArray&) override { return true; }
    void SendFrame(const QImage&) override {}
    void SendAudio(const QByteArray&) override {}
};

class TFakeService : public IConferenceService
{
public:
    QString Name() const override { return QStringLiteral("Demo"); }
    std::unique_ptr<IServiceConnection> Connect(IServiceClient* Client) override
    {
        this->Client = Client;
        auto connection = std::make_unique<TFakeConnection>();
        Connection = connection.get();
        return connection;
    }
    IServiceClient* Client = nullptr;
    TFakeConnection* Connection = nullptr;
};

struct TLinkFixture
{
    TLinkFixture()
        : Service(std::make_shared<TFakeService>()),
          Link([this](uint32_t Msg, intptr_t W, intptr_t L) {
              Posted.append({Msg, quint32(W), L});
              return true;
          },
               [this](const QString& Name, const QByteArray&, const QByteArray&) {
                   return Name == QLatin1String("Demo") ? Service : nullptr;
               })
    {
    }
    // Connected and logged in as alice.
    void LogIn()
    {
        Link.Connect();
        Link.ServiceConnected();
        Link.Login("alice@demo.pellory", "alice", false);
        Link.LoginAccepted({"alice@demo.pellory", QStringLiteral("Alice"), 0x3F1, 0});
        Posted.clear();
    }
    QList<TPosted> TakePosted() { return std::exchange(Posted, {}); }

    std::shared_ptr<TFakeService> Service;
    TServiceLink Link;
    QList<TPosted> Posted;
};

constexpr quint32 Online = KR_STATUS_CONNECTED | KR_STATUS_LOGGED_IN;

} // namespace

class TestServiceLink : public QObject
{
    Q_OBJECT
private slots:
    void serverList();
    void connectionAndLogin();
    void unreachableServerIsOffline();
    void listsAreFiveSlotsPerUser();
    void bookResults_data();
    void bookResults();
    void chatsAndCommandsAreFetchedOnceByHandle();
    void callStatus();
};

void TestServiceLink::serverList()
{
    TLinkFixture f;
    QCOMPARE(f.Link.Servers(), QStringList{"Demo"});
    QCOMPARE(f.Link.DefaultServer(), QStringLiteral("Demo"));
    f.Link.SetServer(QStringLiteral("Office"), "10.0.0.5", "4000");
    f.Link.SetServer(QStringLiteral("OFFICE"), "10.0.0.6", "4001"); // the same entry
    f.Link.SetServer(QString(), "x", "1");
    QCOMPARE(f.Link.Servers(), (QStringList{"Demo", "Office"}));
    QVERIFY(!f.Link.SetCurrentServer(QStringLiteral("Nowhere")));
    QCOMPARE(f.Link.CurrentServer(), QStringLiteral("Demo"));
}

void TestServiceLink::connectionAndLogin()
{
    TLinkFixture f;
    QCOMPARE(f.Link.Login("alice@demo.pellory", "alice", false), -1); // not connected yet
    f.Link.Connect();
    QVERIFY(f.TakePosted().isEmpty()); // connecting
    f.Link.ServiceConnected();
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, KR_STATUS_CONNECTED, 0}}));

    QCOMPARE(f.Link.Login("alice@demo.pellory", "wrong", true), 0);
    f.Link.LoginRefused(33);
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, KR_STATUS_CONNECTED | 33, 0}}));

    f.Link.Login("alice@demo.pellory", "alice", false);
    QCOMPARE(f.Service->Connection->Log,
             (QStringList{"login alice@demo.pellory wrong 1", "login alice@demo.pellory alice 0"}));
    f.Link.LoginAccepted({"alice@demo.pellory", QStringLiteral("Alice"), 0x3F1, 0});
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, Online, 0}}));
    QCOMPARE(f.Link.Account().DisplayName, QStringLiteral("Alice"));
    QCOMPARE(f.Link.Property("site_url"), QByteArray("https://www.pellory.example/"));
    QCOMPARE(f.Link.AddressBook(0, QByteArray(), 1), 42);

    QCOMPARE(f.Link.SetAutoLogin(true), 0);
    QCOMPARE(f.Link.Account().AutoLogin, 1);

    f.Link.LoggedOut(69);
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, KR_STATUS_CONNECTED | 69, 0}}));
    QCOMPARE(f.Link.AddressBook(0, QByteArray(), 1), -1);
    QCOMPARE(f.Link.Logout(), -1);

    f.Link.ServiceDisconnected();
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, 31, 0}}));
    QCOMPARE(f.Link.Property("site_url"), QByteArray());
}

void TestServiceLink::unreachableServerIsOffline()
{
    TLinkFixture f;
    f.Link.SetServer(QStringLiteral("Office"), "10.0.0.5", "4000");
    QVERIFY(f.Link.SetCurrentServer(QStringLiteral("Office")));
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, 31, 0}}));

    // Back to the demo service: the connection comes up again.
    QVERIFY(f.Link.SetCurrentServer(QStringLiteral("demo")));
    f.Link.ServiceConnected();
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, KR_STATUS_CONNECTED, 0}}));
}

void TestServiceLink::listsAreFiveSlotsPerUser()
{
    TLinkFixture f;
    f.LogIn();
    f.Link.ListArrived(1, {{"bob@demo.pellory", QStringLiteral("B\u00f6b"), QString(), 1, QString()},
                           {QByteArray(), QStringLiteral("nobody"), QString(), 0, QString()},
                           {"team@demo.pellory", QStringLiteral("Team"), QStringLiteral("standup"), 5,
                            QString()}});
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, Online | 1552, 0}}));
    const intptr_t* entries = f.Link.UserList(1);
    const auto text = [](intptr_t Slot) { return QByteArray(reinterpret_cast<const char*>(Slot)); };
    QCOMPARE(text(entries[0]), QByteArray("bob@demo.pellory"));
    QCOMPARE(text(entries[1]), QByteArray("B\xc3\xb6" "b"));
    QCOMPARE(entries[3], intptr_t(1));
    QCOMPARE(text(entries[5]), QByteArray("team@demo.pellory")); // the user without an id is left out
    QCOMPARE(text(entries[7]), QByteArray("standup"));
    QCOMPARE(entries[8], intptr_t(5));
    QCOMPARE(entries[10], intptr_t(0)); // end of the list

    QCOMPARE(f.Link.UserList(6)[0], intptr_t(0)); // nothing arrived: an empty list

    f.Link.ListArrived(10, {{"bob@demo.pellory", QString(), QString(), 2, QString()}});
    QCOMPARE(f.TakePosted().first().WParam, Online | 1696);
    f.Link.ListArrived(11, {});
    QCOMPARE(f.TakePosted().first().WParam, Online | 1712);
}

void TestServiceLink::bookResults_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("code");
    QTest::newRow("done") << 0 << 1536;
    QTest::newRow("not found") << 1 << 1539;
    QTest::newRow("not valid") << 2 << 1537;
    QTest::newRow("already there") << 3 << 1538;
    QTest::newRow("database error") << 4 << 1540;
}

void TestServiceLink::bookResults()
{
    QFETCH(int, result);
    QFETCH(int, code);
    TLinkFixture f;
    f.LogIn();
    f.Link.BookResult(7, result);
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, Online | quint32(code), 7}}));
}

void TestServiceLink::chatsAndCommandsAreFetchedOnceByHandle()
{
    TLinkFixture f;
    f.LogIn();
    f.Link.ChatArrived("bob@demo.pellory", QStringLiteral("gr\u00fc\u00df"), true);
    f.Link.CommandArrived("bob@demo.pellory", "EchoOn");
    const QList<TPosted> posted = f.TakePosted();
    QCOMPARE(posted.size(), 2);
    QCOMPARE(posted.at(0).WParam, Online | KR_STATUS_CHAT_WAITING);
    QCOMPARE(posted.at(1).WParam, Online | KR_STATUS_COMMAND_WAITING);

    QByteArray from, text;
    bool system = false;
    QVERIFY(f.Link.TakeChat(posted.at(0).LParam, from, text, system));
    QCOMPARE(text, QByteArray("gr\xc3\xbc\xc3\x9f"));
    QVERIFY(system);
    QVERIFY(!f.Link.TakeChat(posted.at(0).LParam, from, text, system)); // once
    QVERIFY(!f.Link.TakeChat(posted.at(1).LParam, from, text, system)); // a command's handle
    QVERIFY(f.Link.TakeCommand(posted.at(1).LParam, from, text));
    QCOMPARE(text, QByteArray("EchoOn"));

    // A client that never fetches does not make the engine grow without end.
    for (int i = 0; i < 1000; ++i)
        f.Link.ChatArrived("bob@demo.pellory", QStringLiteral("spam"), false);
    const QList<TPosted> spam = f.TakePosted();
    QVERIFY(!f.Link.TakeChat(spam.first().LParam, from, text, system));
    QVERIFY(f.Link.TakeChat(spam.last().LParam, from, text, system));
}

void TestServiceLink::callStatus()
{
    TLinkFixture f;
    f.LogIn();
    QList<QByteArray> heard;
    f.Link.SetPeerAudioSink([&](const QByteArray& Pcm) { heard << Pcm; });
    f.Link.PeerAudio("early");
    f.Link.CallOffered("carol@demo.pellory", QStringLiteral("Carol"), true);
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, Online | KR_STATUS_INCOMING_CALL | 144, 0}}));
    QCOMPARE(f.Link.PeerId(), QByteArray("carol@demo.pellory"));
    f.Link.CallLinkUp("carol@demo.pellory", QStringLiteral("Carol"), true);
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, Online | KR_STATUS_LINK_UP | 160, 0}}));
    f.Link.CallEstablished();
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_CALL, KR_CALL_ESTABLISHED, 0}}));
    f.Link.PeerAudio("during");
    f.Link.CallEnded(TCallEnd::PeerHungUp);
    f.Link.PeerAudio("late"); // sound of an ended call still under way
    QCOMPARE(heard, QList<QByteArray>{"during"});
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_CALL, KR_CALL_PEER_HUNG_UP, 0},
                                             {KR_WM_STATUS, Online, 0}}));

    f.Link.CallOffered("bob@demo.pellory", QStringLiteral("Bob"), false);
    f.Link.OfferWithdrawn();
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, Online | KR_STATUS_INCOMING_CALL, 0},
                                             {KR_WM_STATUS, Online, 0}}));
    f.Link.CallFailed(133);
    QCOMPARE(f.TakePosted(), (QList<TPosted>{{KR_WM_STATUS, Online | 133, 0}}));
}

QTEST_GUILESS_MAIN(TestServiceLink)
#include "tst_servicelink.moc"
