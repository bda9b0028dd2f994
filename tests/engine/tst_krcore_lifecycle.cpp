#include "KrCoreFixture.h"
#include "platform/Resources.h"

#include <QFile>
#include <QTest>
#include <QtEndian>
#include <thread>

namespace {

QByteArray FlagsBlock(std::initializer_list<std::pair<int, qint32>> Words)
{
    QByteArray block(KR_FLAGS_BLOCK_SIZE, '\0');
    for (const auto& [offset, value] : Words)
        qToLittleEndian<qint32>(value, block.data() + offset);
    return block;
}

qint32 WordAt(const QByteArray& Block, int Offset)
{
    return qFromLittleEndian<qint32>(Block.constData() + Offset);
}

QStringList FunctionNames(const QList<TFakeCall>& Calls)
{
    QStringList names;
    for (const TFakeCall& call : Calls)
        names << QString::fromLatin1(call.Function);
    return names;
}

} // namespace

class TestKrCoreLifecycle : public QObject
{
    Q_OBJECT
private slots:
    void initializeTakesOverWhatTheEngineKeeps();
    void storedFrameRateAndVideoStandard_data();
    void storedFrameRateAndVideoStandard();
    void rejectedInterfaceVersionWarnsAndMakesNoInstance();
    void releaseHandsEverythingBack();

    void statusEdges_data();
    void statusEdges();
    void offersOutsideTheirModeAreRejectedEveryTime();
    void edgeIsRememberedBeforeItsEventIsRaised();
    void linkDownInConferenceEndsThroughModeFive();
    void nothingHappensWhileClosing();
    void eventCodes_data();
    void eventCodes();
    void callBreakReasons_data();
    void callBreakReasons();
    void callMessages_data();
    void callMessages();
    void chatAndCommands();
    void userListsAndDetails();
    void trackCallbackRunsOnTheCallingThread();
};

void TestKrCoreLifecycle::initializeTakesOverWhatTheEngineKeeps()
{
    TKrCoreFixture f;
    const QString skin = f.Root.Path() + QStringLiteral("/blue.kr1");
    QFile(skin).open(QIODevice::WriteOnly);
    TOrvantaFake::SetTexts("KrGetSkinName", {skin.toUtf8()});
    TOrvantaFake::SetFlags(FlagsBlock({{8, 1},
                                       {20, 3},
                                       {24, -2},
                                       {36, 9},
                                       {40, 150},
                                       {44, 65535},
                                       {48, 32768},
                                       {52, 2},
                                       {60, 1},
                                       {76, 20},
                                       {80, 1}}));
    TOrvantaFake::SetHistory({"bob@demo", "", "carol@demo"});
    TOrvantaFake::SetServers({"Demo", "Europe", "europe"}); // current server: none equal exactly
    TOrvantaFake::SetTexts("KrGetDefaultServer", {"EUROPE"});
    TOrvantaFake::SetManualPort(1, 4455);
    TOrvantaFake::SetProcess(KR_OP_GET, "Sender\\Render\\GetCapability", 0, true);

    f.Core->Initialize(QString(), QString(), QString(), QString());

    const QList<TFakeCall> calls = TOrvantaFake::Calls();
    QCOMPARE(calls.first().Function, QByteArray("KrInterfaceGetVersion"));
    QCOMPARE(calls.first().Args.value(0).toByteArray(), QByteArray("Tavrilo"));
    QCOMPARE(calls.first().Args.value(1).toByteArray(), ProgramFileVersion().ToString().toUtf8());
    QCOMPARE(calls.at(1).Function, QByteArray("KrInitialize"));
    QCOMPARE(calls.at(1).Args.value(1).toLongLong(), qint64(f.Window.Handle()));
    QCOMPARE(calls.at(1).Args.value(2).toByteArray(), QByteArray("Orvanta\\Tavrilo"));
    QCOMPARE(calls.last().Function, QByteArray("KrSetTrackCallBack"));
    QCOMPARE(f.Core->Instance(), TOrvantaFake::DefaultInstance);

    QVERIFY(f.Core->DirectX());
    QCOMPARE(f.Core->SkinName, skin);
    QVERIFY(f.Core->QualityScale());
    QCOMPARE(TOrvantaFake::Calls("KrForceBicubic").size(), 1); // through its setter
    QCOMPARE(f.Core->aFlags.int1, 3);
    QCOMPARE(f.Core->aFlags.int2, -2);
    QCOMPARE(f.Core->aFlags.int5, 9);
    QCOMPARE(f.Core->Saturation(), 150);
    QCOMPARE(f.Core->PlayVolume(), 100);
    QCOMPARE(f.Core->CurrentVideoChannel(), 2);
    QVERIFY(f.Core->DisableScreenSaver);
    QCOMPARE(f.Core->FPS(), fp20);
    QVERIFY(f.Core->Jitter());
    QCOMPARE(f.Core->History, (QStringList{"bob@demo", "carol@demo"}));
    QCOMPARE(f.Core->ServerList(), (QStringList{"Demo", "Europe"}));
    QCOMPARE(f.Core->DefaultServer(), 1);
    QCOMPARE(f.Core->DefaultPort(), 4455);
    QCOMPARE(f.Core->EchoState(), 1);
    QCOMPARE(f.Core->ConferenceType(), ctPrivate);

    const auto bandwidth = [](const char* Path) {
        const QList<TFakeCall> sets = TOrvantaFake::ProcessCalls(Path, KR_OP_SET);
        return sets.isEmpty() ? QVariant() : sets.last().Value();
    };
    QCOMPARE(bandwidth("Sender\\VideoQuality"), QVariant(qint64(60)));
    QCOMPARE(bandwidth("Protocol\\InputBandwidth"), QVariant(qint64(60)));
}

void TestKrCoreLifecycle::storedFrameRateAndVideoStandard_data()
{
    QTest::addColumn<int>("frameRate");
    QTest::addColumn<int>("fps");
    QTest::addColumn<bool>("rateSet");
    QTest::addColumn<int>("standard");
    QTest::addColumn<int>("keptStandard");
    QTest::newRow("5, NTSC M") << 5 << int(fp5) << false << 0x1 << 0x1;
    QTest::newRow("30, SECAM L1") << 30 << int(fp30) << false << 0x80000 << 0x80000;
    QTest::newRow("7, two bits") << 7 << int(fp15) << true << 0x3 << 0;
    QTest::newRow("0, PAL G has no row") << 0 << int(fp15) << true << 0x40 << 0;
    QTest::newRow("15, negative") << 15 << int(fp15) << false << -1 << 0;
}

void TestKrCoreLifecycle::storedFrameRateAndVideoStandard()
{
    QFETCH(int, frameRate);
    QFETCH(int, fps);
    QFETCH(bool, rateSet);
    QFETCH(int, standard);
    QFETCH(int, keptStandard);

    TKrCoreFixture f;
    TOrvantaFake::SetFlags(FlagsBlock({{76, frameRate}, {56, standard}}));
    f.Core->Initialize(QString(), QString(), QString(), QString());
    QCOMPARE(int(f.Core->FPS()), fps);
    const QList<TFakeCall> sets =
        TOrvantaFake::ProcessCalls("Sender\\VideoCapture\\CameraFPS", KR_OP_SET);
    QCOMPARE(sets.size(), rateSet ? 1 : 0);
    if (rateSet)
        QCOMPARE(sets.first().Value(), QVariant::fromValue<quint8>(15));

    TOrvantaFake::Reset();
    f.Core->Release();
    const QByteArray written =
        TOrvantaFake::Calls("KrSetFlags").first().Args.value(1).toByteArray();
    QCOMPARE(WordAt(written, 56), keptStandard);
}

void TestKrCoreLifecycle::rejectedInterfaceVersionWarnsAndMakesNoInstance()
{
    TKrCoreFixture f;
    TOrvantaFake::SetResult("KrInterfaceGetVersion", 999);
    f.Core->Initialize(QString(), QString(), QString(), QString());
    QCOMPARE(f.TakeEvents(), QStringList{"warning 0"});
    QCOMPARE(FunctionNames(TOrvantaFake::Calls()), QStringList{"KrInterfaceGetVersion"});
    QCOMPARE(f.Core->Instance(), KrInstance(0));
    QCOMPARE(f.Core->EchoState(), 1);
}

void TestKrCoreLifecycle::releaseHandsEverythingBack()
{
    TKrCoreFixture f;
    QByteArray engineFlags = FlagsBlock({{0, 0x5151}, {64, 77}, {128, -5}, {76, 10}});
    TOrvantaFake::SetFlags(engineFlags);
    QByteArrayList history;
    for (int i = 0; i < 12; ++i)
        history << "old" + QByteArray::number(i);
    TOrvantaFake::SetHistory(history);
    f.Start();

    f.Core->History = QStringList{"a@demo", "", "b@demo"} + QStringList(10, QStringLiteral("x"));
    f.Core->aFlags.int4 = 0xFF0000;
    f.Core->SkinName = QStringLiteral("/skins/green.kr1");
    f.Core->SetFPS(fp30);
    f.Core->Release();

    const QStringList order = FunctionNames(TOrvantaFake::Calls());
    QVERIFY(order.indexOf("KrSetHistory") < order.indexOf("KrSetFlags"));
    QVERIFY(order.indexOf("KrSetFlags") < order.indexOf("KrSetSkinName"));
    QCOMPARE(order.last(), QStringLiteral("KrRelease"));

    const QByteArrayList written =
        qvariant_cast<QByteArrayList>(TOrvantaFake::Calls("KrSetHistory").first().Args.value(1));
    QCOMPARE(written.mid(0, 10),
             (QByteArrayList{"a@demo", "", "b@demo", "x", "x", "x", "x", "x", "x", "old9"}));
    QCOMPARE(written.at(11), QByteArray("old11")); // past the ninth: the engine's own

    const QByteArray flags = TOrvantaFake::Calls("KrSetFlags").first().Args.value(1).toByteArray();
    QCOMPARE(WordAt(flags, 32), 0xFF0000); // int4
    QCOMPARE(WordAt(flags, 76), 30);
    QCOMPARE(WordAt(flags, 0), 0x5151); // engine-owned words unchanged
    QCOMPARE(WordAt(flags, 64), 77);
    QCOMPARE(WordAt(flags, 128), -5);
    QCOMPARE(TOrvantaFake::Calls("KrSetSkinName").first().Args.value(1).toByteArray(),
             QByteArray("/skins/green.kr1"));

    TOrvantaFake::Reset();
    f.Core->Release(); // only once
    QVERIFY(TOrvantaFake::Calls().isEmpty());
}

void TestKrCoreLifecycle::statusEdges_data()
{
    QTest::addColumn<QList<quint32>>("words");
    QTest::addColumn<int>("accountFlags");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("mode");

    const quint32 c = KR_STATUS_CONNECTED;
    const quint32 l = KR_STATUS_LOGGED_IN;
    QTest::newRow("connect") << QList<quint32>{c} << 0x11 << QStringList{"mode 1"} << 1;
    QTest::newRow("connect and log in at once")
        << QList<quint32>{c | l} << 0x11 << QStringList{"mode 1", "mode 3"} << 2;
    QTest::newRow("an account of another kind is logged out")
        << QList<quint32>{c | l} << 0x12 << QStringList{"mode 1", "warning 11"} << 1;
    QTest::newRow("account data not valid")
        << QList<quint32>{c | l} << 0x01 << QStringList{"mode 1", "warning 11"} << 1;
    QTest::newRow("log out") << QList<quint32>{c | l, c} << 0x11
                             << QStringList{"mode 1", "mode 3", "mode 4"} << 1;
    QTest::newRow("connection lost while logged in")
        << QList<quint32>{c | l, 0} << 0x11 << QStringList{"mode 1", "mode 3", "mode 4", "mode 2"}
        << 0;
    QTest::newRow("event code bits are not edges")
        << QList<quint32>{c | 0x0F0, c} << 0x11 << QStringList{"mode 1"} << 1;
}

void TestKrCoreLifecycle::statusEdges()
{
    QFETCH(QList<quint32>, words);
    QFETCH(int, accountFlags);
    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetResult("KrGetMyName", accountFlags);
    TOrvantaFake::SetTexts("KrGetMyName", {"alice@demo",
                                           "Al\xc3\xad"
                                           "ce",
                                           ""});
    for (quint32 word : words)
        f.PostStatus(word);
    QTEST(f.TakeEvents(), "events");
    QTEST(f.Core->StatusMode(), "mode");
    if (accountFlags == 0x11 && f.Core->StatusMode() == 2) {
        QCOMPARE(f.Core->MyName(), QStringLiteral("alice@demo"));
        QCOMPARE(f.Core->MyDisplayName(), QStringLiteral("Al\u00edce"));
    }
    if (accountFlags != 0x11)
        QCOMPARE(TOrvantaFake::Calls("KrLogoutServer").size(), 1);
}

void TestKrCoreLifecycle::offersOutsideTheirModeAreRejectedEveryTime()
{
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), ctPrivate); // mode 3
    f.TakeEvents();

    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_INCOMING_CALL);
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_INCOMING_CALL);
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_JOIN_REQUEST); // only offered in a conference
    QCOMPARE(TOrvantaFake::Calls("KrRejectProtocolConnect").size(), 3);
    QVERIFY(f.TakeEvents().isEmpty());

    // Without a handler even a fitting offer is rejected.
    TKrCoreFixture g;
    g.Start();
    g.LogIn();
    g.Core->OnIncommingQuery = nullptr;
    g.PostStatus(TKrCoreFixture::Online | KR_STATUS_INCOMING_CALL);
    QCOMPARE(TOrvantaFake::Calls("KrRejectProtocolConnect").size(), 1);
}

void TestKrCoreLifecycle::edgeIsRememberedBeforeItsEventIsRaised()
{
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    const quint32 offered = TKrCoreFixture::Online | KR_STATUS_INCOMING_CALL | 144;
    int offers = 0;
    f.Core->OnIncommingQuery = [&](TKrCore*, bool Start, int Type) {
        f.Events << QStringLiteral("incoming %1 %2").arg(int(Start)).arg(Type);
        if (Start && ++offers == 1)
            f.PostStatus(offered); // as a modal dialog would, while the offer is shown
    };
    f.PostStatus(offered);
    f.PostStatus(TKrCoreFixture::Online);
    QCOMPARE(f.TakeEvents(), (QStringList{"incoming 1 1", "incoming 0 0"}));
    QCOMPARE(TOrvantaFake::Calls("KrRejectProtocolConnect").size(), 0);

    // The offer is withdrawn while its dialog is still open; the next offer
    // must be seen as new once the dialog has gone.
    f.Core->OnIncommingQuery = [&](TKrCore*, bool Start, int Type) {
        f.Events << QStringLiteral("incoming %1 %2").arg(int(Start)).arg(Type);
        if (Start && ++offers == 2)
            f.PostStatus(TKrCoreFixture::Online);
    };
    f.PostStatus(offered);
    f.PostStatus(offered);
    f.PostStatus(TKrCoreFixture::Online);
    QCOMPARE(f.TakeEvents(),
             (QStringList{"incoming 1 1", "incoming 0 0", "incoming 1 1", "incoming 0 0"}));
}

void TestKrCoreLifecycle::linkDownInConferenceEndsThroughModeFive()
{
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    TOrvantaFake::SetTexts("KrGetOtherName", {"bob@demo", "Bob", ""});
    f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), ctPrivate);
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_LINK_UP | 160);
    QVERIFY(f.Core->HandShakeSuccess());
    QVERIFY(f.Core->IsOwner());
    QCOMPARE(f.Core->PeerName(), QStringLiteral("bob@demo"));
    f.PostCall(KR_CALL_ESTABLISHED);
    QCOMPARE(f.Core->StatusMode(), 4);
    f.TakeEvents();

    f.PostStatus(TKrCoreFixture::Online);
    QCOMPARE(f.TakeEvents(), (QStringList{"mode 8", "mode 9"}));
    QCOMPARE(f.Core->StatusMode(), 2);
    QVERIFY(!f.Core->HandShakeSuccess());
    QVERIFY(!f.Core->IsOwner());
    QCOMPARE(TOrvantaFake::Calls("KrSetEchoMode").last().Args.value(1).toLongLong(), 0);

    // The link coming up outside a call is not remembered.
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_LINK_UP);
    f.PostStatus(TKrCoreFixture::Online);
    QVERIFY(f.TakeEvents().isEmpty());
}

void TestKrCoreLifecycle::nothingHappensWhileClosing()
{
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    f.Core->SetClosing(true);
    f.PostStatus(0x123);
    f.PostStatus(0);
    f.PostCall(KR_CALL_PEER_HUNG_UP);
    QVERIFY(f.TakeEvents().isEmpty());
    QCOMPARE(f.Core->StatusMode(), 2);
    QVERIFY(TOrvantaFake::Calls("KrHangupProtocolConnect").isEmpty());

    // What was remembered is forgotten: the edges rise again afterwards.
    f.Core->SetClosing(false);
    f.PostStatus(TKrCoreFixture::Online);
    QCOMPARE(f.TakeEvents(), (QStringList{"mode 4", "mode 3"})); // 2 -> 1 -> 2
}

void TestKrCoreLifecycle::eventCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("loginPendingAfter");
    QTest::newRow("17 fatal") << 17 << QStringList{"warning 6"} << true;
    QTest::newRow("28 version") << 28 << QStringList{"warning 8"} << true;
    QTest::newRow("31 offline") << 31 << QStringList{"warning 9"} << true;
    QTest::newRow("33 login refused") << 33 << QStringList{"warning 2"} << false;
    QTest::newRow("34 registration refused") << 34 << QStringList{"warning 3"} << false;
    QTest::newRow("65 login refused") << 65 << QStringList{"warning 4"} << false;
    QTest::newRow("69 logged in elsewhere") << 69 << QStringList{"warning 5"} << true;
    QTest::newRow("71 server busy") << 71 << QStringList{"warning 10"} << false;
    QTest::newRow("1280 server properties") << 1280 << QStringList{"warning 7"} << true;
    QTest::newRow("0x123 unlisted") << 0x123 << QStringList{"warning 1"} << true;
    QTest::newRow("0x130 unlisted, low bits clear") << 0x130 << QStringList{} << true;
    QTest::newRow("130 is no call break") << 130 << QStringList{"warning 1"} << true;
    QTest::newRow("144 outside an offer") << 144 << QStringList{} << true;
    QTest::newRow("1536 book done") << 1536 << QStringList{"book 0 77"} << true;
    QTest::newRow("1537 not valid") << 1537 << QStringList{"book 2 77"} << true;
    QTest::newRow("1538 already there") << 1538 << QStringList{"book 3 77"} << true;
    QTest::newRow("1539 not found") << 1539 << QStringList{"book 1 77"} << true;
    QTest::newRow("1540 database error") << 1540 << QStringList{"book 4 77"} << true;
}

void TestKrCoreLifecycle::eventCodes()
{
    QFETCH(int, code);
    TKrCoreFixture f;
    f.Start();
    f.PostStatus(KR_STATUS_CONNECTED);
    f.Core->Login(QStringLiteral("alice@demo"), QStringLiteral("pw"), false);
    QVERIFY(f.Core->LoginPending());
    f.TakeEvents();
    f.PostStatus(KR_STATUS_CONNECTED | quint32(code), 77);
    QTEST(f.TakeEvents(), "events");
    QTEST(f.Core->LoginPending(), "loginPendingAfter");
}

void TestKrCoreLifecycle::callBreakReasons_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("reason");
    const QList<std::pair<int, int>> table = {
        {129, 3}, {131, 11}, {132, 2}, {133, 6},  {134, 4}, {135, 9},  {136, 8},  {137, 14},
        {138, 5}, {139, 16}, {140, 7}, {141, 15}, {142, 3}, {143, 12}, {145, 13}, {146, 10}};
    for (const auto& [code, reason] : table)
        QTest::addRow("%d", code) << code << reason;
}

void TestKrCoreLifecycle::callBreakReasons()
{
    QFETCH(int, code);
    QFETCH(int, reason);
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), ctPrivate);
    f.TakeEvents();
    f.PostStatus(TKrCoreFixture::Online | quint32(code));
    QCOMPARE(f.TakeEvents(), QStringList{QStringLiteral("break %1").arg(reason)});
    QCOMPARE(f.Core->StatusMode(), 2);

    // Outside a call the same code breaks nothing.
    f.PostStatus(TKrCoreFixture::Online | quint32(code));
    QVERIFY(f.TakeEvents().isEmpty());
}

void TestKrCoreLifecycle::callMessages_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("hangUps");
    QTest::addColumn<int>("modeAfter");
    QTest::newRow("peer left in conference") << 4 << 3 << QStringList{"mode 8"} << 1 << 5;
    QTest::newRow("peer left while calling") << 3 << 3 << QStringList{} << 0 << 3;
    QTest::newRow("peer hung up while calling") << 3 << 5 << QStringList{"break 1"} << 1 << 2;
    QTest::newRow("established while calling") << 3 << 6 << QStringList{"mode 7"} << 0 << 4;
    QTest::newRow("established while idle") << 2 << 6 << QStringList{} << 1 << 2;
    QTest::newRow("notice") << 4 << 9 << QStringList{} << 0 << 4;
}

void TestKrCoreLifecycle::callMessages()
{
    QFETCH(int, mode);
    QFETCH(int, code);
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    if (mode >= 3)
        f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), ctPrivate);
    if (mode == 4)
        f.PostCall(KR_CALL_ESTABLISHED);
    f.TakeEvents();
    TOrvantaFake::Reset();

    f.PostCall(code);
    QTEST(f.TakeEvents(), "events");
    QTEST(int(TOrvantaFake::Calls("KrHangupProtocolConnect").size()), "hangUps");
    QTEST(f.Core->StatusMode(), "modeAfter");
}

void TestKrCoreLifecycle::chatAndCommands()
{
    TKrCoreFixture f;
    f.Start();
    f.LogIn();
    TOrvantaFake::SetResult("KrGetChatMessage", 1);
    TOrvantaFake::SetTexts("KrGetChatMessage", {"bob@demo", "hi \xff there"});

    // Outside a conference: fetched and dropped.
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_CHAT_WAITING, 0x55);
    QVERIFY(f.TakeEvents().isEmpty());
    QCOMPARE(TOrvantaFake::Calls("KrGetChatMessage").first().Args.value(1).toLongLong(), 0x55);

    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    f.Core->PlaceCall(QStringLiteral("bob@demo"), QString(), ctPrivate);
    f.PostCall(KR_CALL_ESTABLISHED);
    f.TakeEvents();

    // The handle is consumed: a code in the same word gets no parameter.
    f.PostStatus(TKrCoreFixture::Online | KR_STATUS_CHAT_WAITING | 1536, 0x55);
    QCOMPARE(f.TakeEvents(), (QStringList{"message 1 hi \ufffd there bob@demo", "book 0 0"}));

    const auto command = [&](const QByteArray& Text) {
        TOrvantaFake::SetTexts("KrGetCommandMessage", {"bob@demo", Text});
        f.PostStatus(TKrCoreFixture::Online | KR_STATUS_COMMAND_WAITING, 0x66);
    };
    command("EchoOn");
    QCOMPARE(TOrvantaFake::Calls("KrSetEchoMode").last().Args.value(1).toLongLong(), 3);
    QCOMPARE(TOrvantaFake::Calls("KrSendCommand").last().Args.mid(1),
             (QVariantList{QByteArray("EchoOnCommit"), QByteArray("bob@demo")}));
    command("EchoOFF");
    QCOMPARE(TOrvantaFake::Calls("KrSetEchoMode").last().Args.value(1).toLongLong(), 0);
    QCOMPARE(TOrvantaFake::Calls("KrSendCommand").last().Args.value(1).toByteArray(),
             QByteArray("EchoOffCommit"));
    command("EchoOnCommit");
    QCOMPARE(f.Core->EchoState(), 0);
    command("EchoOffCommit");
    QCOMPARE(f.Core->EchoState(), 1);
    command("plugin:Record:OnQuery");
    command("echoon"); // commands compare exactly
    QCOMPARE(f.TakeEvents(),
             (QStringList{"warning 12", "warning 12", "command plugin:Record:OnQuery bob@demo",
                          "command echoon bob@demo"}));
}

void TestKrCoreLifecycle::userListsAndDetails()
{
    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetUsers({{"bob@demo",
                             "B\xc3\xb6"
                             "b",
                             "team", 5, QByteArray()},
                            {"eve@demo", "bad \xc3", QByteArray(), 0, "2026-12-01 10:00"},
                            {"-", "", "", -1, ""}},
                           1);
    f.PostStatus(KR_STATUS_CONNECTED | 1552); // not logged in: an empty list
    QCOMPARE(f.TakeEvents(), (QStringList{"mode 1", "list 1 0"}));

    f.LogIn();
    f.PostStatus(TKrCoreFixture::Online | 1552);
    QCOMPARE(f.TakeEvents(), QStringList{"list 1 15"});
    QCOMPARE(f.LastList.mid(0, 10),
             (QStringList{"bob@demo", "B\u00f6b", "team", "5", "", "eve@demo", "bad \ufffd", "",
                          "0", "2026-12-01 10:00"}));
    QCOMPARE(f.LastList.at(13), QStringLiteral("-1"));

    // A list ends at its first null user slot.
    TOrvantaFake::SetUsers(
        {{"a", "", "", 1, ""}, {QByteArray(), "x", "", 0, ""}, {"c", "", "", 1, ""}}, 6);
    f.PostStatus(TKrCoreFixture::Online | 1632);
    QCOMPARE(f.TakeEvents(), QStringList{"list 6 5"});

    TOrvantaFake::SetUsers({{"bob@demo", "", "", 0, ""}}, 8);
    TOrvantaFake::SetUsers({{"carol@demo", "", "", 0, ""}}, 11);
    f.PostStatus(TKrCoreFixture::Online | 1664);
    f.PostStatus(TKrCoreFixture::Online | 1712);
    TOrvantaFake::SetUsers({}, 8);
    f.PostStatus(TKrCoreFixture::Online | 1664); // nothing arrived: no event
    QCOMPARE(f.TakeEvents(), (QStringList{"detail bob@demo", "picture carol@demo"}));

    const QList<int> kinds = {1568, 1584, 1600, 1616, 1648, 1680, 1696};
    for (int code : kinds)
        f.PostStatus(TKrCoreFixture::Online | quint32(code));
    QCOMPARE(f.TakeEvents(), (QStringList{"list 2 0", "list 3 0", "list 4 0", "list 5 0",
                                          "list 7 0", "list 9 0", "list 10 0"}));
}

void TestKrCoreLifecycle::trackCallbackRunsOnTheCallingThread()
{
    TKrCoreFixture f;
    f.Core->Initialize(QString(), QString(), QString(), QString());
    std::atomic<int> calls{0};
    std::thread::id seenOn;
    f.Core->OnNotifyTrack = [&](TKrCore* Sender, int Track, int Size, const void* Buffer,
                                const char* Id) {
        if (Sender == f.Core.get() && Track == 2 && Size == 3 &&
            std::memcmp(Buffer, "abc", 3) == 0 && std::strcmp(Id, "bob>") == 0)
            ++calls;
        seenOn = std::this_thread::get_id();
    };
    std::optional<int32_t> result;
    std::thread engine([&] { result = TOrvantaFake::InvokeTrackCallback(2, 3, "abc", "bob>"); });
    const std::thread::id engineId = engine.get_id();
    engine.join();
    QCOMPARE(result, std::optional<int32_t>(0));
    QCOMPARE(calls.load(), 1);
    QVERIFY(seenOn == engineId);

    f.Core->OnNotifyTrack = nullptr; // no handler: still answers 0
    QCOMPARE(TOrvantaFake::InvokeTrackCallback(1, 0, nullptr, ""), std::optional<int32_t>(0));
}

QTEST_MAIN(TestKrCoreLifecycle)
#include "tst_krcore_lifecycle.moc"
