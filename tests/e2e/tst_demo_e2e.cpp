#include "TestSupport.h"
#include "engine/KrClient.h"
#include "orvanta_demo.h"
#include "platform/Messages.h"

#include <QLabel>
#include <QTest>

namespace {

// A client as the main window runs it: the engine component with the window
// that takes the engine's messages, and what its events said.
class TClient
{
public:
    TClient()
        : Window([this](TMessage& Message) {
              if (Message.Msg == KR_WM_STATUS)
                  Core.HandleEngineMessage(Message);
              else if (Message.Msg == KR_WM_CALL)
                  Core.HandleCallMessage(Message);
          })
    {
        Core.SetMessageObject(&Window);
        Core.AppName = QStringLiteral("Tavrilo");
        Core.RegString = QStringLiteral("Orvanta\\Tavrilo");
        Core.OnModeChange = [this](TKrCore*, int Code) { Log << QStringLiteral("mode %1").arg(Code); };
        Core.OnCallBreak = [this](TKrCore*, int Reason) { Log << QStringLiteral("break %1").arg(Reason); };
        Core.OnWarning = [this](TKrCore*, int Warning) { Log << QStringLiteral("warning %1").arg(Warning); };
        Core.OnIncommingQuery = [this](TKrCore*, bool Start, int Type) {
            Log << QStringLiteral("incoming %1 %2").arg(int(Start)).arg(Type);
        };
        Core.OnMessage = [this](TKrCore*, bool, const QString& Text, const QString& User) {
            Log << QStringLiteral("chat %1 %2").arg(User, Text);
        };
        Core.OnCommand = [this](TKrCore*, const QString& Text, const QString& User) {
            Log << QStringLiteral("command %1 %2").arg(User, Text);
        };
        Core.OnListArrival = [this](TKrCore*, int Kind, const QStringList& List) {
            Lists[Kind] = List;
            Log << QStringLiteral("list %1").arg(Kind);
        };
        Core.OnBookResult = [this](TKrCore*, int Result, int) {
            Log << QStringLiteral("book %1").arg(Result);
        };
    }
    ~TClient()
    {
        Core.SetClosing(true);
        if (Core.StatusMode() >= 3)
            Core.HangUp();
        Core.Release();
    }

    bool Saw(const QString& Line) const { return Log.contains(Line); }

    // The five strings of a listed user, or none.
    QStringList User(int Kind, const QString& UserId) const
    {
        const QStringList list = Lists.value(Kind);
        for (qsizetype i = 0; i + 4 < list.size(); i += 5)
            if (list.at(i) == UserId)
                return list.mid(i, 5);
        return {};
    }

    TMessageTarget Window;
    TKrCore Core;
    QStringList Log;
    QHash<int, QStringList> Lists;
};

// A video panel as the main window has one: a window that counts the frames
// the engine announces to it.
class TPanel : public IVideoPanel
{
public:
    TPanel()
        : FWindow([this](TMessage& Message) {
              if (Message.Msg == KR_WM_RENDER_FRAME)
                  ++Frames;
          })
    {
    }
    HWND WindowHandle() const override { return FWindow.Handle(); }
    void SetRenderProc(KrRenderProc Proc, intptr_t Instance) override
    {
        FProc = Proc;
        FInstance = Instance;
    }
    void StartRender() override {}
    void StopRender() override {}
    KrRenderProc RenderProc() const override { return FProc; }
    intptr_t RenderInstance() const override { return FInstance; }

    int Frames = 0;

private:
    TMessageTarget FWindow;
    KrRenderProc FProc = nullptr;
    intptr_t FInstance = 0;
};

// Traffic both ways at about the tone's 16000 bytes a second: sound, no pictures.
bool SoundOnly(TClient& Client, int& Sent, int& Received)
{
    Client.Core.GetTraffic(Sent, Received);
    const auto sound = [](int Rate) { return Rate >= 8000 && Rate <= 24000; };
    return sound(Sent) && sound(Received);
}

} // namespace

class TestDemoEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        FRoot = std::make_unique<TTestPlatformRoot>();
        TOrvantaDemo::SetTimings(100, 60000, 60000, 60000);
    }
    void cleanup() { FRoot.reset(); }

    void logInSeeFriendsCallChatHangUp();
    void refusedLoginAndBusyCall();
    void incomingCallsAcceptedAndMissed();
    void searchTheDirectory();
    void echoedVideoComesBack();
    void remoteEchoTestBetweenClients();
    void proxyAsksForCredentials_data();
    void proxyAsksForCredentials();

private:
    void LogIn(TClient& Client, const QString& User, const QString& Password);
    void BobCallsAlice(TClient& Alice, TClient& Bob);
    void UseBuiltInAudio(TClient& Client);
    std::unique_ptr<TTestPlatformRoot> FRoot;
};

void TestDemoEndToEnd::LogIn(TClient& Client, const QString& User, const QString& Password)
{
    Client.Core.Initialize(QString(), QString(), QString(), QString());
    QCOMPARE(Client.Core.ServerList(), QStringList{"Demo"});
    QCOMPARE(Client.Core.DefaultServer(), 0);
    QTRY_COMPARE(Client.Core.StatusMode(), 1);
    Client.Core.Login(User, Password, false);
    QVERIFY(Client.Core.LoginPending());
    QTRY_COMPARE(Client.Core.StatusMode(), 2);
}

// The tone microphone and the silent output, whatever hardware there is.
void TestDemoEndToEnd::UseBuiltInAudio(TClient& Client)
{
    const int tone = Client.Core.AudioCaptureDevices().indexOf(QStringLiteral("Tone Generator"));
    QVERIFY(tone >= 0);
    Client.Core.SetCurrentAudioCapture(tone);
    const int silent = Client.Core.AudioRenderDevices().indexOf(QStringLiteral("Silent Output"));
    QVERIFY(silent >= 0);
    Client.Core.SetCurrentAudioRender(silent);
}

// Both log in; Bob calls, Alice accepts, and both are in the conference.
void TestDemoEndToEnd::BobCallsAlice(TClient& Alice, TClient& Bob)
{
    LogIn(Alice, QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"));
    LogIn(Bob, QStringLiteral("bob@demo.pellory"), QStringLiteral("bob"));
    Bob.Core.PlaceCall(QStringLiteral("alice@demo.pellory"), QString(), ctPrivate);
    QTRY_VERIFY(Alice.Saw("incoming 1 0"));
    Alice.Core.AcceptCall(false);
    QTRY_COMPARE(Alice.Core.StatusMode(), 4);
    QTRY_COMPARE(Bob.Core.StatusMode(), 4);
}

void TestDemoEndToEnd::logInSeeFriendsCallChatHangUp()
{
    TClient alice;
    LogIn(alice, QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"));
    QCOMPARE(alice.Core.MyName(), QStringLiteral("alice@demo.pellory"));
    QCOMPARE(alice.Core.MyDisplayName(), QStringLiteral("Alice Fenwright"));
    QVERIFY(alice.Saw("warning 7")); // the server properties came
    QVERIFY(alice.Core.GetServerProperty(QStringLiteral("site_url")).startsWith("https://"));

    alice.Core.BookRequestList(1);
    QTRY_VERIFY(alice.Saw("list 1"));
    QCOMPARE(alice.User(1, QStringLiteral("echo@demo.pellory")).value(3), QStringLiteral("1"));
    QCOMPARE(alice.User(1, QStringLiteral("erin@demo.pellory")).mid(2, 2),
             (QStringList{"design-review", "5"}));

    TUserInfoRecord info;
    QVERIFY(alice.Core.ReadUserInfo(QStringLiteral("bob@demo.pellory"), info));

    alice.Log.clear();
    alice.Core.PlaceCall(QStringLiteral("echo@demo.pellory"), QString(), ctPrivate);
    QCOMPARE(alice.Core.StatusMode(), 3);
    QTRY_COMPARE(alice.Core.StatusMode(), 4);
    QCOMPARE(alice.Log.filter("mode ").mid(0, 2), (QStringList{"mode 5", "mode 7"}));
    QCOMPARE(alice.Core.PeerName(), QStringLiteral("echo@demo.pellory"));

    alice.Core.SendChatMessage(QStringLiteral("Hall\u00f6chen"));
    QTRY_VERIFY(alice.Saw(QStringLiteral("chat echo@demo.pellory Hall\u00f6chen")));
    alice.Core.RequestEcho(false);
    QCOMPARE(alice.Core.EchoState(), 2);
    QTRY_COMPARE(alice.Core.EchoState(), 0);

    alice.Core.HangUp();
    QTRY_COMPARE(alice.Core.StatusMode(), 2);
    QVERIFY(alice.Saw("mode 8") && alice.Saw("mode 9"));

    alice.Core.BookRequestList(5);
    QTRY_VERIFY(alice.Saw("list 5"));
    QCOMPARE(alice.Lists.value(5).value(0), QStringLiteral("echo@demo.pellory"));

    alice.Core.Logout();
    QTRY_COMPARE(alice.Core.StatusMode(), 1);
}

void TestDemoEndToEnd::refusedLoginAndBusyCall()
{
    TClient alice;
    alice.Core.Initialize(QString(), QString(), QString(), QString());
    QTRY_COMPARE(alice.Core.StatusMode(), 1);
    alice.Core.Login(QStringLiteral("alice@demo.pellory"), QStringLiteral("wrong"), false);
    QTRY_VERIFY(alice.Saw("warning 2"));
    QVERIFY(!alice.Core.LoginPending());
    QCOMPARE(alice.Core.StatusMode(), 1);

    alice.Core.Login(QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"), false);
    QTRY_COMPARE(alice.Core.StatusMode(), 2);
    alice.Core.PlaceCall(QStringLiteral("busy@demo.pellory"), QString(), ctPrivate);
    QTRY_VERIFY(alice.Saw("break 6"));
    QCOMPARE(alice.Core.StatusMode(), 2);
    alice.Core.PlaceCall(QStringLiteral("nobody@demo.pellory"), QString(), ctPrivate);
    QTRY_VERIFY(alice.Saw("break 4"));
}

void TestDemoEndToEnd::incomingCallsAcceptedAndMissed()
{
    TOrvantaDemo::SetTimings(100, 60000, 1500, 60000);
    TClient alice;
    TClient bob;
    BobCallsAlice(alice, bob);
    if (QTest::currentTestFailed())
        return;
    bob.Core.SendChatMessage(QStringLiteral("hi alice"));
    QTRY_VERIFY(alice.Saw("chat bob@demo.pellory hi alice"));
    bob.Core.HangUp();
    QTRY_COMPARE(alice.Core.StatusMode(), 2);
    QTRY_COMPARE(bob.Core.StatusMode(), 2);

    // A played caller rings and nobody answers: a missed call.
    alice.Log.clear();
    QVERIFY(TOrvantaDemo::PlaceCall(QStringLiteral("carol@demo.pellory"),
                                    QStringLiteral("alice@demo.pellory")));
    QTRY_VERIFY(alice.Saw("incoming 1 0"));
    QTRY_VERIFY_WITH_TIMEOUT(alice.Saw("incoming 0 0"), 10000);
    alice.Core.BookRequestList(3);
    QTRY_VERIFY(alice.Saw("list 3"));
    QCOMPARE(alice.Lists.value(3).value(0), QStringLiteral("carol@demo.pellory"));
    alice.Core.BookRequestList(4);
    QTRY_VERIFY(alice.Saw("list 4"));
    QCOMPARE(alice.Lists.value(4).value(0), QStringLiteral("bob@demo.pellory"));
}

void TestDemoEndToEnd::searchTheDirectory()
{
    TClient alice;
    LogIn(alice, QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"));
    alice.Core.BookSearch(QStringLiteral("p.last_name LIKE N'O''R%'"));
    QTRY_VERIFY(alice.Saw("list 6"));
    QVERIFY(!alice.User(6, QStringLiteral("siobhan.orourke@demo.pellory")).isEmpty());

    alice.Log.clear();
    alice.Core.BookSearch(QStringLiteral("p.email LIKE N'%' OR 1=1 --"));
    QTRY_VERIFY(alice.Saw("list 6"));
    QVERIFY(alice.Lists.value(6).isEmpty());

    alice.Core.BookAddContact(QStringLiteral("lena_ross@demo.pellory"));
    alice.Core.BookAddContact(QStringLiteral("echo@demo.pellory"));
    QTRY_COMPARE(alice.Log.filter("book ").size(), 2);
    QCOMPARE(alice.Log.filter("book "), (QStringList{"book 0", "book 3"}));
}

void TestDemoEndToEnd::echoedVideoComesBack()
{
    TClient alice;
    LogIn(alice, QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"));
    QStringList tracks;
    alice.Core.OnNotifyTrack = [&](TKrCore*, int Track, int Size, const void* Buffer, const char* Id) {
        if (Buffer && Size == 320 * 240 * 4)
            tracks << QStringLiteral("%1 %2").arg(Track).arg(QString::fromUtf8(Id));
    };
    TPanel own;
    TPanel peer;
    UseBuiltInAudio(alice);
    alice.Core.SetSendVideo(true);
    alice.Core.SetSendAudio(true);
    QCOMPARE(alice.Core.StartSender(&own, 320, 240, 8000), 0);
    QVERIFY(own.RenderProc() != nullptr);
    QTRY_VERIFY(own.Frames > 0);

    alice.Core.PlaceCall(QStringLiteral("echo@demo.pellory"), QString(), ctPrivate);
    QTRY_COMPARE(alice.Core.StatusMode(), 4);
    bool audio = false;
    bool video = false;
    alice.Core.ConnectSender(audio, video);
    QVERIFY(video);
    QVERIFY(!alice.Core.ConnectReceiver(&peer));
    QVERIFY(peer.RenderProc() != nullptr && peer.RenderInstance() != own.RenderInstance());
    QTRY_VERIFY(peer.Frames > 0);

    // The test pattern's second bar, 75 % yellow (or the white bar sweeping over it).
    QLabel snapshot;
    snapshot.resize(320, 240);
    alice.Core.TakeSnapshot(&snapshot, false);
    const QImage picture = snapshot.pixmap().toImage();
    QCOMPARE(picture.size(), QSize(320, 240));
    const QRgb pixel = picture.pixel(68, 40);
    QVERIFY2(pixel == qRgb(191, 191, 0) || pixel == qRgb(255, 255, 255),
             qPrintable(QString::number(pixel, 16)));

    int sent = 0;
    int received = 0;
    QTRY_VERIFY((alice.Core.GetTraffic(sent, received), sent > 0 && received > 0));
    QVERIFY(tracks.contains(QStringLiteral("0 Sender")));
    QVERIFY(tracks.contains(QStringLiteral("1 echo@demo.pellory>")));
    int width = 0;
    int height = 0;
    int rate = 0;
    alice.Core.GetReceiverFormat(width, height, rate);
    QCOMPARE(QSize(width, height), QSize(320, 240));

    // Without pictures what remains is the tone, 16000 bytes a second each
    // way: sent, and back from the echo user.
    alice.Core.SetSendVideo(false);
    QTRY_VERIFY2_WITH_TIMEOUT(SoundOnly(alice, sent, received),
                              qPrintable(QStringLiteral("%1 %2").arg(sent).arg(received)), 5000);
    alice.Core.SetSendAudio(false);
    QTRY_VERIFY((alice.Core.GetTraffic(sent, received), sent == 0 && received == 0));

    alice.Core.DisconnectReceiver();
    alice.Core.DisconnectSender();
    alice.Core.StopSender(&own);
    alice.Core.HangUp();
    QTRY_COMPARE(alice.Core.StatusMode(), 2);
    alice.Core.GetTraffic(sent, received);
    QCOMPARE(sent, 0);
    QCOMPARE(received, 0);
}

void TestDemoEndToEnd::remoteEchoTestBetweenClients()
{
    TClient alice;
    TClient bob;
    BobCallsAlice(alice, bob);
    if (QTest::currentTestFailed())
        return;

    // Bob sends video, Alice none; once Bob asks for the echo, his own
    // pictures come back to him through Alice's engine.
    TPanel own;
    TPanel peer;
    UseBuiltInAudio(bob);
    bob.Core.StartSender(&own, 320, 240, 8000);
    bool audio = false;
    bool video = false;
    bob.Core.ConnectSender(audio, video);
    QVERIFY(!bob.Core.ConnectReceiver(&peer));
    QTest::qWait(300);
    QCOMPARE(peer.Frames, 0);

    bob.Core.RequestEcho(false);
    QTRY_COMPARE(bob.Core.EchoState(), 0);
    QVERIFY(bob.Saw("warning 12"));
    QTRY_VERIFY(peer.Frames > 0);

    // Sound alone: Bob's tone comes back as well.
    bob.Core.SetSendVideo(false);
    bob.Core.SetSendAudio(true);
    int sent = 0;
    int received = 0;
    QTRY_VERIFY2_WITH_TIMEOUT(SoundOnly(bob, sent, received),
                              qPrintable(QStringLiteral("%1 %2").arg(sent).arg(received)), 5000);

    bob.Core.RequestEcho(true);
    QTRY_COMPARE(bob.Core.EchoState(), 1);
    bob.Core.StopSender(&own);
    bob.Core.HangUp();
    QTRY_COMPARE(alice.Core.StatusMode(), 2);
}

void TestDemoEndToEnd::proxyAsksForCredentials_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("mode");
    QTest::newRow("right credentials") << QByteArray("demo") << 2 << 1;
    QTest::newRow("wrong password") << QByteArray("guess") << 2 << 0;
    QTest::newRow("cancelled") << QByteArray("demo") << 0 << 0;
}

void TestDemoEndToEnd::proxyAsksForCredentials()
{
    QFETCH(QByteArray, password);
    QFETCH(int, answer);

    TClient alice;
    QByteArray offeredUser;
    TMessageTarget authentication([&](TMessage& Message) {
        if (Message.Msg != KR_WM_PROXY_AUTH)
            return;
        // As the authentication dialog does: shows the kept texts, writes the typed ones.
        auto* user = reinterpret_cast<char*>(Message.WParam);
        auto* secret = reinterpret_cast<char*>(Message.LParam);
        offeredUser = QByteArray(user);
        qstrncpy(user, "demo", KR_PROXY_TEXT_SIZE);
        qstrncpy(secret, password.constData(), KR_PROXY_TEXT_SIZE);
        alice.Core.ProxyDialogEnd(answer);
    });

    // The demo proxy, configured manually, stands between the engine and the server.
    int32_t type = 0;
    char address[KR_PROXY_TEXT_SIZE] = "proxy.demo.pellory";
    uint16_t port = 8080;
    char user[KR_PROXY_TEXT_SIZE] = "kept-user";
    char secret[KR_PROXY_TEXT_SIZE] = "";
    KrProxyBlock block{&type, address, &port, user, secret};
    QCOMPARE(KrSetProxySet(&block), 0);
    int32_t manual = 1;
    QCOMPARE(KrSetProxyNetMode(&manual), 0);
    QCOMPARE(KrSetProxyDialog(authentication.Handle()), 0);

    alice.Core.Initialize(QString(), QString(), QString(), QString());
    QTRY_VERIFY(!offeredUser.isEmpty());
    QCOMPARE(offeredUser, QByteArray("kept-user"));
    QFETCH(int, mode);
    if (mode == 1)
        QTRY_COMPARE(alice.Core.StatusMode(), 1);
    else
        QTRY_VERIFY(alice.Saw("warning 9")); // no connection
    QCOMPARE(alice.Core.StatusMode(), mode);

    int32_t direct = 0;
    KrSetProxyNetMode(&direct); // the options belong to the process: leave it as found
}

QTEST_MAIN(TestDemoEndToEnd)
#include "tst_demo_e2e.moc"
