#include "KrCoreFixture.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "startup/KrStrings.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <functional>
#include <map>

namespace {

const QString RunKey = QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");

// Every file below Root with its content, to see whether anything changed.
QMap<QString, QByteArray> Snapshot(const QString& Root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(Root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        file.open(QIODevice::ReadOnly);
        files.insert(file.fileName(), file.readAll());
    }
    return files;
}

QVariantList ProxyWritten()
{
    const QList<TFakeCall> calls = TOrvantaFake::Calls("KrSetProxySet");
    return calls.isEmpty() ? QVariantList() : calls.last().Args.value(0).toList();
}

// The operations whose engine call depends on the component being initialised.
const std::map<QString, std::function<void(TKrCore&)>>& Operations()
{
    static const std::map<QString, std::function<void(TKrCore&)>> operations{
        {"ReadProxySettings", [](TKrCore& c) { c.ReadProxySettings(); }},
        {"WriteProxySettings", [](TKrCore& c) { c.WriteProxySettings(); }},
        {"WriteConnectionType", [](TKrCore& c) { c.WriteConnectionType(); }},
        {"SetProxyDialog", [](TKrCore& c) { c.SetProxyDialog(0x7002); }},
        {"ProxyDialogEnd", [](TKrCore& c) { c.ProxyDialogEnd(2); }},
        {"SetNetType", [](TKrCore& c) { c.SetNetType(3); }},
        {"CurrentPort", [](TKrCore& c) { c.CurrentPort(); }},
        {"SetCurrentPort", [](TKrCore& c) { c.SetCurrentPort(5060); }},
        {"ResetPort", [](TKrCore& c) { c.ResetPort(); }},
        {"SetDisableDirect", [](TKrCore& c) { c.SetDisableDirect(true); }},
        {"SetJitter", [](TKrCore& c) { c.SetJitter(true); }},
        {"SetOutBandwidth", [](TKrCore& c) { c.SetOutBandwidth(90); }},
        {"StartBandwidthTest", [](TKrCore& c) { c.StartBandwidthTest(0x7003); }},
        {"StopBandwidthTest", [](TKrCore& c) { c.StopBandwidthTest(); }},
        {"GetBandwidthTestResult",
         [](TKrCore& c) {
             char record[KR_BWT_RESULT_SIZE];
             c.GetBandwidthTestResult(record, 1);
         }},
        {"SetBandwidthWizard", [](TKrCore& c) { c.SetBandwidthWizard(true); }},
    };
    return operations;
}

} // namespace

class TestKrCoreNetwork : public QObject
{
    Q_OBJECT
private slots:
    void engineCallsFollowInitialisation_data();
    void engineCallsFollowInitialisation();

    void readProxySettings_data();
    void readProxySettings();
    void failedProxyReadKeepsTheSettings();
    void proxyTextsAreCutToFit_data();
    void proxyTextsAreCutToFit();
    void connectionType();

    void netType_data();
    void netType();
    void setNetTypeOutOfRangeRaisesAndCallsNothing_data();
    void setNetTypeOutOfRangeRaisesAndCallsNothing();

    void ports();
    void switchesAndBandwidth();

    void runAtStartupWritesOneValueAndEntry();
    void runAtStartupOffWithoutValueChangesNothing();
};

void TestKrCoreNetwork::engineCallsFollowInitialisation_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<bool>("alwaysCalls");
    QTest::newRow("read proxy") << "ReadProxySettings" << QByteArray("KrGetProxySet") << false;
    QTest::newRow("write proxy") << "WriteProxySettings" << QByteArray("KrSetProxySet") << false;
    QTest::newRow("write connection type")
        << "WriteConnectionType" << QByteArray("KrSetProxyNetMode") << false;
    QTest::newRow("proxy dialog") << "SetProxyDialog" << QByteArray("KrSetProxyDialog") << false;
    QTest::newRow("proxy dialog end") << "ProxyDialogEnd" << QByteArray("KrProxyDialogEnd") << true;
    QTest::newRow("net type") << "SetNetType" << QByteArray("KrSetNetType") << false;
    QTest::newRow("current port") << "CurrentPort" << QByteArray("KrSetManualPort") << true;
    QTest::newRow("set port") << "SetCurrentPort" << QByteArray("KrSetManualPort") << false;
    QTest::newRow("reset port") << "ResetPort" << QByteArray("KrSetManualPort") << true;
    QTest::newRow("direct") << "SetDisableDirect" << QByteArray("KrSetDisableDirect") << false;
    QTest::newRow("jitter") << "SetJitter" << QByteArray("KrSetJitter") << false;
    QTest::newRow("bandwidth") << "SetOutBandwidth" << QByteArray("KrProcess") << false;
    QTest::newRow("test start") << "StartBandwidthTest" << QByteArray("KrBwtStart") << false;
    QTest::newRow("test stop") << "StopBandwidthTest" << QByteArray("KrBwtStop") << false;
    QTest::newRow("test result") << "GetBandwidthTestResult" << QByteArray("KrBwtGet") << false;
    QTest::newRow("wizard") << "SetBandwidthWizard" << QByteArray("KrBwtWizardOn") << false;
}

void TestKrCoreNetwork::engineCallsFollowInitialisation()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, function);
    QFETCH(bool, alwaysCalls);
    const auto& run = Operations().at(operation);

    TKrCoreFixture f;
    run(*f.Core);
    QCOMPARE(TOrvantaFake::Calls().size(), alwaysCalls ? 1 : 0);

    f.Start();
    run(*f.Core);
    const QList<TFakeCall> calls = TOrvantaFake::Calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first().Function, function);
}

void TestKrCoreNetwork::readProxySettings_data()
{
    QTest::addColumn<int>("engineType");
    QTest::addColumn<bool>("canSave");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("engine's credentials") << 2 << false << 2 << "proxyuser"
                                          << "sëcret";
    QTest::newRow("typed credentials win") << 2 << true << 2 << "typed"
                                           << "typedpw";
    QTest::newRow("no proxy reads as 0") << -1 << false << 0 << "proxyuser"
                                         << "sëcret";
}

void TestKrCoreNetwork::readProxySettings()
{
    QFETCH(int, engineType);
    QFETCH(bool, canSave);
    QFETCH(int, type);
    QFETCH(QString, user);
    QFETCH(QString, password);

    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetProxy({engineType, "proxy.example", 3128, "proxyuser",
                            "s\xc3\xab"
                            "cret"});
    f.Core->FPOptions.UserName = QStringLiteral("typed");
    f.Core->FPOptions.Password = QStringLiteral("typedpw");
    f.Core->FPOptions.bCanSavePassword = canSave;

    f.Core->ReadProxySettings();
    QCOMPARE(f.Core->FPOptions.ProxyType, type);
    QCOMPARE(f.Core->FPOptions.Address, QStringLiteral("proxy.example"));
    QCOMPARE(f.Core->FPOptions.Port, 3128);
    QCOMPARE(f.Core->FPOptions.UserName, user);
    QCOMPARE(f.Core->FPOptions.Password, password);
}

void TestKrCoreNetwork::failedProxyReadKeepsTheSettings()
{
    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetProxy({3, "other.example", 80, "", ""});
    TOrvantaFake::SetResult("KrGetProxySet", -1);
    TFPSettings& options = f.Core->FPOptions;
    options = {"user", "pw", false, "proxy.example", 8080, 2, 1};

    f.Core->ReadProxySettings();
    QCOMPARE(options.Address, QStringLiteral("proxy.example"));
    QCOMPARE(options.Port, 8080);
    QCOMPARE(options.ProxyType, 2);
    QCOMPARE(options.UserName, QStringLiteral("user"));
    QCOMPARE(options.Password, QStringLiteral("pw"));
}

void TestKrCoreNetwork::proxyTextsAreCutToFit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");
    const QByteArray a254(254, 'a');
    QTest::newRow("UTF-8") << QStringLiteral("Zoë") << QByteArray("Zo\xc3\xab");
    QTest::newRow("255 bytes fit") << QString(255, 'a') << QByteArray(255, 'a');
    QTest::newRow("256 bytes") << QString(256, 'a') << QByteArray(255, 'a');
    QTest::newRow("two-byte character across the end")
        << QString::fromUtf8(a254 + "\xc3\xab" + "b") << a254;
    QTest::newRow("four-byte character across the end")
        << QString::fromUtf8(QByteArray(253, 'a') + "\xf0\x9f\x99\x82") << QByteArray(253, 'a');
}

void TestKrCoreNetwork::proxyTextsAreCutToFit()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, written);

    TKrCoreFixture f;
    f.Start();
    f.Core->FPOptions = {text, text, false, text, 8080, 3, 0};
    f.Core->WriteProxySettings();
    QCOMPARE(ProxyWritten(), (QVariantList{qint64(3), written, qint64(8080), written, written}));
}

void TestKrCoreNetwork::connectionType()
{
    TKrCoreFixture f;
    QCOMPARE(f.Core->ReadConnectionType(), -1); // not initialised
    QVERIFY(TOrvantaFake::Calls().isEmpty());

    f.Start();
    TOrvantaFake::SetProxyNetMode(2);
    QCOMPARE(f.Core->ReadConnectionType(), 2);
    QCOMPARE(f.Core->FPOptions.ConnectionType, 2);
    QCOMPARE(TOrvantaFake::Calls("KrSetProxyNetMode").last().Args.value(0), QVariant(qint64(-1)));

    // The engine may answer another mode than asked for; that one is kept.
    f.Core->FPOptions.ConnectionType = 1;
    TOrvantaFake::SetProxyNetMode(3);
    f.Core->WriteConnectionType();
    QCOMPARE(TOrvantaFake::Calls("KrSetProxyNetMode").last().Args.value(0), QVariant(qint64(1)));
    QCOMPARE(f.Core->FPOptions.ConnectionType, 3);

    TOrvantaFake::SetResult("KrSetProxyNetMode", -1);
    QCOMPARE(f.Core->ReadConnectionType(), -1);
    QCOMPARE(f.Core->FPOptions.ConnectionType, 3);
}

void TestKrCoreNetwork::netType_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("netType");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("5") << 5 << 5;
    QTest::newRow("7 is out of range") << 7 << 0;
    QTest::newRow("-1 is out of range") << -1 << 0;
}

void TestKrCoreNetwork::netType()
{
    QFETCH(int, answer);
    QFETCH(int, netType);

    TKrCoreFixture f;
    TOrvantaFake::SetResult("KrSetNetType", answer);
    QCOMPARE(f.Core->GetNetType(), 0); // not initialised
    QVERIFY(TOrvantaFake::Calls().isEmpty());
    f.Start();
    TOrvantaFake::SetResult("KrSetNetType", answer);
    QCOMPARE(f.Core->GetNetType(), netType);
    QCOMPARE(TOrvantaFake::Calls("KrSetNetType").last().Args.value(0), QVariant(qint64(-1)));
}

void TestKrCoreNetwork::setNetTypeOutOfRangeRaisesAndCallsNothing_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("6") << 6 << "6 is not within the valid range of 0..5";
    QTest::newRow("-1") << -1 << "-1 is not within the valid range of 0..5";
}

void TestKrCoreNetwork::setNetTypeOutOfRangeRaisesAndCallsNothing()
{
    QFETCH(int, value);
    QFETCH(QString, message);

    TKrCoreFixture f;
    f.Start();
    try {
        f.Core->SetNetType(value);
        QFAIL("no error raised");
    } catch (const EKrError& error) {
        QCOMPARE(QString::fromStdString(error.what()), message);
    }
    QVERIFY(TOrvantaFake::Calls().isEmpty());

    f.Core->SetNetType(5);
    QCOMPARE(TOrvantaFake::Calls("KrSetNetType").last().Args.value(0), QVariant(qint64(5)));
}

void TestKrCoreNetwork::ports()
{
    TKrCoreFixture f;
    TOrvantaFake::SetManualPort(1, 4455);
    f.Start();
    QCOMPARE(f.Core->DefaultPort(), 4455);

    TOrvantaFake::SetManualPort(0, 8080);
    QCOMPARE(f.Core->CurrentPort(), 8080);
    TOrvantaFake::SetResult("KrSetManualPort", 7);
    QCOMPARE(f.Core->CurrentPort(), -1);

    // Reset hands the default port back and answers what the engine said.
    TOrvantaFake::Reset();
    TOrvantaFake::SetResult("KrSetManualPort", 5);
    QCOMPARE(f.Core->ResetPort(), 5);
    QCOMPARE(TOrvantaFake::Calls("KrSetManualPort").last().Args,
             (QVariantList{qint64(4455), qint64(3)}));

    TOrvantaFake::Reset();
    f.Core->SetCurrentPort(5060);
    QCOMPARE(TOrvantaFake::Calls("KrSetManualPort").last().Args,
             (QVariantList{qint64(5060), qint64(2)}));
    // -1 is "no port" (CurrentPort's failure); cut to 16 bits it would be 65535.
    f.Core->SetCurrentPort(-1);
    f.Core->SetCurrentPort(65536);
    QCOMPARE(TOrvantaFake::Calls().size(), 1);
}

void TestKrCoreNetwork::switchesAndBandwidth()
{
    TKrCoreFixture f;
    QCOMPARE(f.Core->OutBandwidth(), 60);
    QCOMPARE(f.Core->InBandwidth(), 128);
    f.Core->SetJitter(true);        // kept even before the engine is there
    f.Core->SetDisableDirect(true); // only with the engine
    QVERIFY(f.Core->Jitter());
    QVERIFY(!f.Core->DisableDirect());
    QVERIFY(TOrvantaFake::Calls().isEmpty());

    f.Start();
    f.Core->SetDisableDirect(true);
    QVERIFY(f.Core->DisableDirect());
    QCOMPARE(TOrvantaFake::Calls("KrSetDisableDirect").last().Args,
             (QVariantList{qint64(TOrvantaFake::DefaultInstance), qint64(1)}));

    // Unanswered reads give the presets; answers are taken.
    QCOMPARE(f.Core->OutBandwidth(), 60);
    QCOMPARE(f.Core->InBandwidth(), 128);
    TOrvantaFake::SetProcess(KR_OP_GET, "Sender\\VideoQuality", 0, qint64(96));
    TOrvantaFake::SetProcess(KR_OP_GET, "Protocol\\InputBandwidth", 0, qint64(256));
    QCOMPARE(f.Core->OutBandwidth(), 96);
    QCOMPARE(f.Core->InBandwidth(), 256);

    f.Core->SetInBandwidth(40);
    QCOMPARE(TOrvantaFake::ProcessCalls("Protocol\\InputBandwidth", KR_OP_SET).last().Value(),
             QVariant(qint64(40)));

    QByteArray engineRecord(KR_BWT_RESULT_SIZE, '\0');
    engineRecord[0] = 7;
    engineRecord[KR_BWT_RESULT_SIZE - 1] = 9;
    TOrvantaFake::SetBandwidthTestResult(engineRecord);
    QByteArray record(KR_BWT_RESULT_SIZE, '\x55');
    f.Core->GetBandwidthTestResult(record.data(), 0x1234);
    QCOMPARE(record, engineRecord);
    QCOMPARE(TOrvantaFake::Calls("KrBwtGet").last().Args.value(2), QVariant(qint64(0x1234)));
}

void TestKrCoreNetwork::runAtStartupWritesOneValueAndEntry()
{
    TKrCoreFixture f;
    f.Core->SetRunAtStartup(true); // not initialised: nothing
    QVERIFY(!TRegistry().KeyExists(RunKey));

    f.Start();
    QVERIFY(!f.Core->RunAtStartup());
    f.Core->SetRunAtStartup(true);
    f.Core->SetRunAtStartup(true);
    QVERIFY(f.Core->RunAtStartup());

    const QString program = QCoreApplication::applicationFilePath();
    TRegistry registry;
    QVERIFY(registry.OpenKeyReadOnly(RunKey));
    QCOMPARE(registry.GetValueNames(), QStringList{"Tavrilo"});
    QCOMPARE(registry.ReadString("Tavrilo"), program + QStringLiteral(" /m"));

    const QDir autostart(TPaths::AutostartDir());
    QCOMPARE(autostart.entryList(QDir::Files), QStringList{"Tavrilo.desktop"});
    QFile entry(autostart.filePath("Tavrilo.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QVERIFY(entry.readAll().split('\n').contains(
        QStringLiteral("Exec=\"%1\" /m").arg(program).toUtf8()));

    f.Core->SetRunAtStartup(false);
    QVERIFY(!f.Core->RunAtStartup());
    QVERIFY(!registry.ValueExists("Tavrilo"));
    QVERIFY(autostart.entryList(QDir::Files).isEmpty());
}

void TestKrCoreNetwork::runAtStartupOffWithoutValueChangesNothing()
{
    TKrCoreFixture f;
    f.Start();
    const QMap<QString, QByteArray> before = Snapshot(f.Root.Path());
    f.Core->SetRunAtStartup(false);
    QCOMPARE(Snapshot(f.Root.Path()), before);
    QVERIFY(!f.Core->RunAtStartup());
}

QTEST_MAIN(TestKrCoreNetwork)
#include "tst_krcore_network.moc"
