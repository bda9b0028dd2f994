#include "KrCoreFixture.h"

#include <QFile>
#include <QTest>

namespace {

intptr_t FakeRender(KrWindow, uint32_t, intptr_t, intptr_t)
{
    return 0;
}

// Puts the component into a conference with bob@demo.
void EnterConference(TKrCoreFixture& f)
{
    f.LogIn();
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    TOrvantaFake::SetTexts("KrGetOtherName", {"bob@demo", "B\xc3\xb8" "b", ""});
    f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), ctPrivate);
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_LINK_UP);
    f.PostCall(KR_CALL_ESTABLISHED);
    f.TakeEvents();
}

} // namespace

Q_DECLARE_METATYPE(TRights)

class TestKrCoreCalls : public QObject
{
    Q_OBJECT
private slots:
    void serverList_data();
    void serverList();
    void serverSelection_data();
    void serverSelection();
    void currentServerIndexMustBeInTheList();
    void accountKindsAndRights_data();
    void accountKindsAndRights();
    void loginAndAutoLogin();
    void placeCall_data();
    void placeCall();
    void refusedOrMisplacedCallsChangeNothing();
    void acceptRejectAndHangUp();
    void peerNamesAndFormat();
    void sender_data();
    void sender();
    void receivers();
    void receiverEvents();
    void chatCommandsAndEcho();
};

void TestKrCoreCalls::serverList_data()
{
    QTest::addColumn<QByteArrayList>("entries");
    QTest::addColumn<QStringList>("servers");
    QTest::addColumn<int>("current");
    QTest::newRow("none") << QByteArrayList{} << QStringList{} << 0;
    QTest::newRow("only the current entry") << QByteArrayList{"Demo"} << QStringList{} << 0;
    QTest::newRow("three and the current")
        << QByteArrayList{"Demo", "Europe", "Asia", "Europe"}
        << QStringList{"Demo", "Europe", "Asia"} << 1;
    QTest::newRow("current compares exactly")
        << QByteArrayList{"Demo", "Europe", "europe"} << QStringList{"Demo", "Europe"} << 0;
}

void TestKrCoreCalls::serverList()
{
    QFETCH(QByteArrayList, entries);
    TKrCoreFixture f;
    TOrvantaFake::SetServers(entries);
    f.Core->Initialize(QString(), QString(), QString(), QString());
    QTEST(f.Core->ServerList(), "servers");
    QTEST(f.Core->CurrentServer(), "current");
    const TFakeCall call = TOrvantaFake::Calls("KrGetServers").first();
    QCOMPARE(call.Args.value(1).toLongLong(), qint64(KR_SERVER_ENTRIES));
}

void TestKrCoreCalls::serverSelection_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QVariantList>("setServer"); // name, address or file, port; empty: no call
    QTest::newRow("a server file") << "Mine" << "" << "" << true
                                   << QVariantList{QByteArray("Mine"), QByteArray("FILE"), QByteArray()};
    QTest::newRow("file wins over an address") << "Mine" << "1.2.3.4" << "80" << true
                                               << QVariantList{QByteArray("Mine"), QByteArray("FILE"), QByteArray()};
    QTest::newRow("an address") << "Mine" << "1.2.3.4" << "4000" << false
                                << QVariantList{QByteArray("Mine"), QByteArray("1.2.3.4"), QByteArray("4000")};
    QTest::newRow("no port") << "Mine" << "1.2.3.4" << "" << false << QVariantList{};
    QTest::newRow("no name") << "" << "1.2.3.4" << "4000" << true << QVariantList{};
}

void TestKrCoreCalls::serverSelection()
{
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(bool, withFile);
    QFETCH(QVariantList, setServer);
    TKrCoreFixture f;
    QString file;
    if (withFile) {
        file = f.Root.Path() + QStringLiteral("/servers.ini");
        QFile(file).open(QIODevice::WriteOnly);
    }
    f.Core->Initialize(name, address, port, file);
    const QList<TFakeCall> calls = TOrvantaFake::Calls("KrSetServer");
    if (setServer.isEmpty()) {
        QVERIFY(calls.isEmpty());
        return;
    }
    QCOMPARE(calls.size(), 1);
    if (setServer.at(1).toByteArray() == "FILE")
        setServer[1] = file.toUtf8();
    QCOMPARE(calls.first().Args.mid(1), setServer);
}

void TestKrCoreCalls::currentServerIndexMustBeInTheList()
{
    TKrCoreFixture f;
    TOrvantaFake::SetServers({"Demo", "Europe", "Demo"});
    f.Start();
    f.Core->SetCurrentServer(-1);
    f.Core->SetCurrentServer(2);
    QVERIFY(TOrvantaFake::Calls("KrSetCurrentServer").isEmpty());
    f.Core->SetCurrentServer(1);
    QCOMPARE(TOrvantaFake::Calls("KrSetCurrentServer").first().Args.value(1).toByteArray(),
             QByteArray("Europe"));
    QCOMPARE(f.Core->CurrentServer(), 1);
}

void TestKrCoreCalls::accountKindsAndRights_data()
{
    QTest::addColumn<int>("subsystem");
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<TRights>("rights");
    QTest::newRow("communicator, no rights") << int(asCommunicator) << 0x11 << true << TRights{};
    QTest::newRow("communicator, all rights")
        << int(asCommunicator) << 0xFF1 << true
        << TRights{arMultiConference, arSelectMulti, arCreateMulti, arSearchHistory, arModifyAB};
    QTest::newRow("advisor, all rights")
        << int(asAdvisor) << 0xFF2 << true
        << TRights{arCreateFree, arCreateVIP, arCreatePrivate, arConnectFree, arConnectVIP,
                   arConnectSP, arKick};
    QTest::newRow("advisor, some") << int(asAdvisor) << 0x532 << true
                                   << TRights{arCreateFree, arConnectFree, arConnectSP};
    QTest::newRow("communicator account in an advisor application")
        << int(asAdvisor) << 0x31 << false << TRights{};
    QTest::newRow("not valid") << int(asCommunicator) << 0x21 << false << TRights{};
}

void TestKrCoreCalls::accountKindsAndRights()
{
    QFETCH(int, subsystem);
    QFETCH(int, flags);
    QFETCH(bool, accepted);
    TKrCoreFixture f;
    f.Core->Subsystem = TApplicationSubsystem(subsystem);
    f.Start();
    f.LogIn(0x211); // an earlier account with the right to change the address book
    TOrvantaFake::SetResult("KrGetMyName", flags);
    f.PostStatus(KR_STATUS_CONNECTED); // log out ...
    f.PostStatus(TKrCoreFixture::Online); // ... and in again
    QCOMPARE(f.Core->StatusMode() == 2, accepted);
    QTEST(f.Core->Rights(), "rights"); // a refused account keeps what the log-out left
}

void TestKrCoreCalls::loginAndAutoLogin()
{
    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::QueueResults("KrLoginToServer", {0, 5});
    f.Core->Login(QStringLiteral("al\u00efce@demo"), QStringLiteral("p\u00e4ss"), true);
    QVERIFY(f.Core->LoginPending());
    QCOMPARE(TOrvantaFake::Calls("KrLoginToServer").first().Args.mid(1),
             (QVariantList{QByteArray("al\xc3\xaf" "ce@demo"), QByteArray("p\xc3\xa4ss"), qint64(1)}));
    f.Core->Login(QStringLiteral("alice@demo"), QStringLiteral("x"), false);
    QVERIFY(!f.Core->LoginPending());

    // The engine's answer: 0 off, 1 on, anything else unsupported.
    TOrvantaFake::QueueResults("KrGetAutologin", {1});
    f.LogIn();
    QCOMPARE(f.Core->AutoLogin(), amEnabled);
    f.Core->SetAutoLogin(amUnsupported);
    QVERIFY(TOrvantaFake::Calls("KrSetAutologin").isEmpty());
    f.Core->SetAutoLogin(amDisabled);
    QCOMPARE(TOrvantaFake::Calls("KrSetAutologin").first().Args.value(1).toLongLong(), 0);
    QCOMPARE(f.Core->AutoLogin(), amDisabled);

    TOrvantaFake::SetResult("KrGetAutologin", 7);
    f.PostStatus(KR_STATUS_CONNECTED);
    QCOMPARE(f.Core->AutoLogin(), amUnsupported); // cleared at log-out
    f.PostStatus(TKrCoreFixture::Online);
    QCOMPARE(f.Core->AutoLogin(), amUnsupported);
    f.Core->SetAutoLogin(amEnabled); // not offered by the server
    QCOMPARE(TOrvantaFake::Calls("KrSetAutologin").size(), 1);

    f.Core->Logout();
    QCOMPARE(TOrvantaFake::Calls("KrLogoutServer").size(), 1);
}

void TestKrCoreCalls::placeCall_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("private") << int(ctPrivate) << ""
                             << QVariant(QVariantList{qint64(0), QByteArray("bob@demo")});
    QTest::newRow("group conference") << int(ctMulti) << ""
                                      << QVariant(QVariantList{qint64(3), QByteArray("@c_bob@demo")});
    QTest::newRow("with a password")
        << int(ctMulti) << "s3cret"
        << QVariant(QVariantList{qint64(3), QByteArray("@c_bob@demo"), QByteArray("s3cret")});
    QTest::newRow("hot create") << int(ctHotCreate) << ""
                                << QVariant(QVariantList{qint64(11), QByteArray("@c_bob@demo")});
    QTest::newRow("hot query") << int(ctHotQuery) << ""
                               << QVariant(QVariantList{qint64(12), QByteArray("bob@demo")});
}

void TestKrCoreCalls::placeCall()
{
    QFETCH(int, type);
    QFETCH(QString, password);
    QFETCH(QVariant, value);
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    f.Core->PlaceCall(QStringLiteral("bob@demo"), password, TConferenceType(type));
    QCOMPARE(TOrvantaFake::ProcessCalls("Protocol\\Call", KR_OP_RUN).first().Value(), value);
    QCOMPARE(f.TakeEvents(), QStringList{"mode 5"});
    QCOMPARE(int(f.Core->ConferenceType()), type);
}

void TestKrCoreCalls::refusedOrMisplacedCallsChangeNothing()
{
    TKrCoreFixture f;
    f.Start();
    f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), ctMulti); // mode 0
    QVERIFY(TOrvantaFake::ProcessCalls("Protocol\\Call").isEmpty());
    QCOMPARE(f.Core->ConferenceType(), ctMulti);

    f.LogIn();
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 1);
    f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), ctPrivate);
    QCOMPARE(f.Core->StatusMode(), 2);
    QVERIFY(f.TakeEvents().isEmpty());
}

void TestKrCoreCalls::acceptRejectAndHangUp()
{
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    TOrvantaFake::QueueResults("KrAcceptProtocolConnect", {3, 0});
    f.Core->AcceptCall(true); // refused
    QCOMPARE(f.Core->StatusMode(), 2);
    f.Core->AcceptCall(true);
    QCOMPARE(f.Core->StatusMode(), 3);
    QCOMPARE(f.Core->ConferenceType(), ctMulti);

    // Hang-up before the other side connected ends the call at once.
    f.Core->HangUp();
    QCOMPARE(f.TakeEvents(), (QStringList{"mode 5", "break 0"}));
    QCOMPARE(TOrvantaFake::Calls("KrHangupProtocolConnect").first().Args.value(1).toLongLong(), 0);

    // After the hand-shake the mode waits for the link to go down.
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), ctPrivate);
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_LINK_UP);
    f.TakeEvents();
    f.Core->HangUp();
    QVERIFY(f.TakeEvents().isEmpty());
    QCOMPARE(f.Core->StatusMode(), 3);

    TOrvantaFake::SetResult("KrRejectProtocolConnect", 42);
    QCOMPARE(f.Core->RejectCall(), 42);
}

void TestKrCoreCalls::peerNamesAndFormat()
{
    TKrCoreFixture f;
    f.Start();
    int width = 0, height = 0, rate = 0;
    TOrvantaFake::SetProcess(KR_OP_GET, "Receivers\\bob@demo>\\Format", 0,
                             QVariantList{qint64(640), qint64(480), qint64(16000)});
    f.LogIn();
    f.Core->GetReceiverFormat(width, height, rate); // not in a conference
    QCOMPARE(std::tuple(width, height, rate), std::tuple(320, 240, 8000));

    EnterConference(f);
    QCOMPARE(f.Core->GetPeerName(), QStringLiteral("bob@demo"));
    QCOMPARE(f.Core->GetPeerDisplayName(), QStringLiteral("B\u00f8b"));
    f.Core->GetReceiverFormat(width, height, rate);
    QCOMPARE(std::tuple(width, height, rate), std::tuple(640, 480, 16000));

    TOrvantaFake::SetProcess(KR_OP_GET, "Receivers\\bob@demo>\\Format", 0,
                             QVariantList{qint64(640), QByteArray("x"), qint64(16000)});
    f.Core->GetReceiverFormat(width, height, rate); // wrong shape: the defaults
    QCOMPARE(std::tuple(width, height, rate), std::tuple(320, 240, 8000));
}

void TestKrCoreCalls::sender_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("enabled");
    QTest::addColumn<bool>("audio");
    QTest::addColumn<bool>("video");
    QTest::addColumn<qint64>("multi");
    QTest::newRow("private, video off") << int(ctPrivate) << QVariant(QVariantList{true, false})
                                        << true << false << qint64(0);
    QTest::newRow("multi, audio off") << int(ctMulti) << QVariant(QVariantList{false, true})
                                      << false << true << qint64(1);
    QTest::newRow("not an array") << int(ctBroadcast) << QVariant(true) << true << true << qint64(1);
    QTest::newRow("too short") << int(ctPrivate) << QVariant(QVariantList{false}) << true << true
                               << qint64(0);
    QTest::newRow("texts") << int(ctPrivate) << QVariant(QVariantList{QByteArray("no"), false})
                           << true << true << qint64(0);
}

void TestKrCoreCalls::sender()
{
    QFETCH(int, type);
    QFETCH(QVariant, enabled);
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), TConferenceType(type));
    TOrvantaFake::SetProcess(KR_OP_GET, "Sender\\EnabledDevices", 0, enabled);
    bool audio = false, video = false;
    f.Core->ConnectSender(audio, video);
    QTEST(audio, "audio");
    QTEST(video, "video");
    const TFakeCall call = TOrvantaFake::Calls("KrConnectSender").first();
    QCOMPARE(call.Args.value(1).toLongLong(), qint64(f.Window.Handle()));
    QTEST(call.Args.value(2).toLongLong(), "multi");
    f.Core->DisconnectSender();
    QCOMPARE(TOrvantaFake::Calls("KrDisconnectSender").size(), 1);
}

void TestKrCoreCalls::receivers()
{
    TKrCoreFixture f;
    f.Start();
    EnterConference(f);
    TFakePanel panel(0x9001);
    const qint64 proc = qint64(reinterpret_cast<intptr_t>(&FakeRender));

    TOrvantaFake::SetProcess(KR_OP_RUN, "Receivers\\ConnectReceiver", 0,
                             QVariantList{proc, qint64(0x77)});
    QVERIFY(!f.Core->ConnectReceiver(&panel));
    QCOMPARE(TOrvantaFake::ProcessCalls("Receivers\\ConnectReceiver").first().Value(),
             QVariant(QVariantList{qint64(0x9001), qint64(f.Window.Handle()), qint64(0)}));
    QCOMPARE(panel.Log, (QStringList{"stop", "proc"}));
    QVERIFY(panel.RenderProc() == &FakeRender);
    QCOMPARE(panel.RenderInstance(), intptr_t(0x77));

    TOrvantaFake::SetProcess(KR_OP_RUN, "Receivers\\ConnectReceiver", 5);
    QVERIFY(f.Core->ConnectReceiver(&panel));
    QVERIFY(panel.RenderProc() == nullptr);
    QCOMPARE(panel.RenderInstance(), intptr_t(0));
    TOrvantaFake::SetProcess(KR_OP_RUN, "Receivers\\ConnectReceiver", 0, QVariant(qint64(1)));
    QVERIFY(f.Core->ConnectReceiver(nullptr)); // success without the procedure is no success

    // The peer captured at the hand-shake, whoever the engine names now.
    TOrvantaFake::SetTexts("KrGetOtherName", {"carol@demo", "", ""});
    f.Core->DisconnectReceiver();
    QCOMPARE(TOrvantaFake::ProcessCalls("Receivers\\DisconnectReceiver", KR_OP_RUN).first().Value(),
             QVariant(QByteArray("bob@demo>")));

    TFakePanel source(0x9002);
    source.SetRenderProc(&FakeRender, 0x88);
    TFakePanel target(0x9003);
    f.Core->ResetVideoWindow(&target, &source, true);
    QCOMPARE(source.Log, (QStringList{"proc", "stop"}));
    QCOMPARE(target.Log, (QStringList{"stop", "proc"}));
    QCOMPARE(target.RenderInstance(), intptr_t(0x88));
    QCOMPARE(TOrvantaFake::ProcessCalls("Sender\\ResetWindow", KR_OP_RUN).first().Value(),
             QVariant::fromValue<quint64>(0x9003));
    f.Core->ResetVideoWindow(&target, &source, false);
    QCOMPARE(TOrvantaFake::ProcessCalls("Receivers\\carol@demo>\\ResetWindow", KR_OP_RUN).size(), 1);
}

void TestKrCoreCalls::receiverEvents()
{
    TKrCoreFixture f;
    f.Start();
    EnterConference(f);
    TOrvantaFake::SetTexts("KrGetReceiverState", {"dave@demo>"});
    TOrvantaFake::SetResult("KrGetReceiverState", 0x30);
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_LINK_UP | 256, 0x501);
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_LINK_UP | 272, 0x502);
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_LINK_UP | 288, 0x503);
    QCOMPARE(f.TakeEvents(),
             (QStringList{"multi", "receiver dave@demo> 48", "removed dave@demo>"}));
    const QList<TFakeCall> states = TOrvantaFake::Calls("KrGetReceiverState");
    QCOMPARE(states.size(), 2);
    QCOMPARE(states.at(0).Args.value(1).toLongLong(), 0x502);
    QCOMPARE(states.at(1).Args.value(1).toLongLong(), 0x503);
}

void TestKrCoreCalls::chatCommandsAndEcho()
{
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    f.Core->RequestEcho(true); // outside a conference: nothing
    QVERIFY(TOrvantaFake::Calls("KrSendCommand").isEmpty());
    QCOMPARE(f.Core->EchoState(), 1);

    EnterConference(f);
    f.Core->RequestEcho(true);
    QCOMPARE(f.Core->EchoState(), 2);
    QCOMPARE(TOrvantaFake::Calls("KrSendCommand").last().Args.mid(1),
             (QVariantList{QByteArray("EchoOFF"), QByteArray("bob@demo")}));
    f.Core->RequestEcho(false);
    QCOMPARE(TOrvantaFake::Calls("KrSendCommand").last().Args.value(1).toByteArray(),
             QByteArray("EchoOn"));

    f.Core->SendChatMessage(QStringLiteral("gr\u00fc\u00df dich"));
    QCOMPARE(TOrvantaFake::Calls("KrSendMessage").first().Args.mid(1),
             (QVariantList{QByteArray("gr\xc3\xbc\xc3\x9f dich"), qint64(0)}));

    f.Core->Invite(QStringLiteral("carol@demo"));
    QCOMPARE(TOrvantaFake::ProcessCalls("Protocol\\Invite", KR_OP_RUN).first().Value(),
             QVariant(QByteArray("carol@demo")));

    TOrvantaFake::Reset();
    for (int mode : {-1, 0, 3, 4})
        f.Core->SetEchoMode(mode);
    const QList<TFakeCall> echo = TOrvantaFake::Calls("KrSetEchoMode");
    QCOMPARE(echo.size(), 2);
    QCOMPARE(echo.at(1).Args.value(1).toLongLong(), 3);
}

QTEST_MAIN(TestKrCoreCalls)
#include "tst_krcore_calls.moc"
