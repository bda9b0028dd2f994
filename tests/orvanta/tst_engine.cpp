#include "TestSupport.h"
#include "orvanta.h"

#include <QTest>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

// A variant the test owns; freed like every value the engine hands back.
struct TValue
{
    TValue() { KrVariantInit(&V); }
    ~TValue() { KrVariantClear(&V); }
    KrVariant V;
};

KrInstance Start()
{
    return KrInitialize(nullptr, 0, "Orvanta\\Tavrilo");
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT
private slots:
    void init() { FRoot = std::make_unique<TTestPlatformRoot>(); }
    void cleanup() { FRoot.reset(); }

    void interfaceVersion();
    void settingsKeepTheirTypeAcrossRuns_data();
    void settingsKeepTheirTypeAcrossRuns();
    void missingSettingLeavesThePreset();
    void settingNamesIgnoreCase();
    void releasedInstanceIsRefused();
    void keptBlocksSurviveTheNextRun();
    void unknownPropertiesFailAndLeaveTheValue();
    void networkOptions();

private:
    std::unique_ptr<TTestPlatformRoot> FRoot;
};

void TestEngine::interfaceVersion()
{
    QCOMPARE(KrInterfaceGetVersion("Tavrilo", "4.4.0.1"), KR_INTERFACE_VERSION);
    QVERIFY(KrInterfaceGetVersion(nullptr, "4.4.0.1") != KR_INTERFACE_VERSION);
}

void TestEngine::settingsKeepTheirTypeAcrossRuns_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("text") << int(KrVtString) << QVariant(QByteArray("de.ln0 \xe9"));
    QTest::newRow("empty text") << int(KrVtString) << QVariant(QByteArray());
    QTest::newRow("boolean") << int(KrVtBoolean) << QVariant(true);
    QTest::newRow("integer") << int(KrVtInteger) << QVariant(qint64(-1234567890123));
    QTest::newRow("unsigned") << int(KrVtUnsigned) << QVariant(quint64(0xFFFFFFFFFFFFFFFFull));
    QTest::newRow("byte") << int(KrVtByte) << QVariant(255);
}

void TestEngine::settingsKeepTheirTypeAcrossRuns()
{
    QFETCH(int, type);
    QFETCH(QVariant, value);

    KrInstance engine = Start();
    TValue written;
    switch (type) {
    case KrVtString:
        KrVariantSetString(&written.V, value.toByteArray().constData());
        break;
    case KrVtBoolean:
        written.V.Type = KrVtBoolean;
        written.V.Value.Boolean = value.toBool();
        break;
    case KrVtInteger:
        written.V.Type = KrVtInteger;
        written.V.Value.Integer = value.toLongLong();
        break;
    case KrVtUnsigned:
        written.V.Type = KrVtUnsigned;
        written.V.Value.Unsigned = value.toULongLong();
        break;
    case KrVtByte:
        written.V.Type = KrVtByte;
        written.V.Value.Byte = quint8(value.toInt());
        break;
    }
    QCOMPARE(KrProcess(engine, KR_OP_WRITE_SETTING, "Locale", &written.V), 0);
    KrRelease(engine);

    engine = Start(); // a new run reads the engine's file
    TValue read;
    KrVariantSetString(&read.V, "preset");
    QCOMPARE(KrProcess(engine, KR_OP_READ_SETTING, "Locale", &read.V), 0);
    KrRelease(engine);
    QCOMPARE(read.V.Type, type);
    switch (type) {
    case KrVtString:
        QCOMPARE(QByteArray(read.V.Value.String), value.toByteArray());
        break;
    case KrVtBoolean:
        QCOMPARE(read.V.Value.Boolean != 0, value.toBool());
        break;
    case KrVtInteger:
        QCOMPARE(qint64(read.V.Value.Integer), value.toLongLong());
        break;
    case KrVtUnsigned:
        QCOMPARE(quint64(read.V.Value.Unsigned), value.toULongLong());
        break;
    case KrVtByte:
        QCOMPARE(int(read.V.Value.Byte), value.toInt());
        break;
    }
}

void TestEngine::missingSettingLeavesThePreset()
{
    const KrInstance engine = Start();
    TValue text;
    KrVariantSetString(&text.V, "");
    KrProcess(engine, KR_OP_READ_SETTING, "Lastlogin", &text.V);
    QCOMPARE(text.V.Type, int(KrVtString));
    QCOMPARE(QByteArray(text.V.Value.String), QByteArray());

    TValue byte;
    byte.V.Type = KrVtByte;
    KrProcess(engine, KR_OP_READ_SETTING, "ShowSelf", &byte.V);
    QCOMPARE(byte.V.Type, int(KrVtByte));
    QCOMPARE(int(byte.V.Value.Byte), 0);
    KrRelease(engine);
}

void TestEngine::settingNamesIgnoreCase()
{
    const KrInstance engine = Start();
    TValue value;
    value.V.Type = KrVtInteger;
    value.V.Value.Integer = 1;
    KrProcess(engine, KR_OP_WRITE_SETTING, "CloseToTray", &value.V);
    value.V.Value.Integer = 2;
    KrProcess(engine, KR_OP_WRITE_SETTING, "CLOSETOTRAY", &value.V);

    TValue read;
    QCOMPARE(KrProcess(engine, KR_OP_READ_SETTING, "closetotray", &read.V), 0);
    QCOMPARE(qint64(read.V.Value.Integer), qint64(2));
    KrRelease(engine);
}

void TestEngine::releasedInstanceIsRefused()
{
    const KrInstance engine = Start();
    QVERIFY(engine != 0);
    KrRelease(engine);
    TValue value;
    QVERIFY(KrProcess(engine, KR_OP_READ_SETTING, "Locale", &value.V) != 0);
    QVERIFY(KrProcess(0, KR_OP_READ_SETTING, "Locale", &value.V) != 0);
    const KrInstance next = Start();
    QVERIFY(next != engine); // handles are not reused
    KrRelease(next);
}

void TestEngine::keptBlocksSurviveTheNextRun()
{
    KrInstance engine = Start();
    uint8_t flags[KR_FLAGS_BLOCK_SIZE];
    QCOMPARE(KrGetFlags(engine, flags), 0);
    const auto word = [&flags](int Offset) { return qFromLittleEndian<qint32>(flags + Offset); };
    QCOMPARE(word(40), 100); // a first run: natural colours
    QCOMPARE(word(76), 15);
    QCOMPARE(word(0), 0);
    for (int i = 0; i < KR_FLAGS_BLOCK_SIZE; ++i)
        flags[i] = uint8_t(i * 7);
    QByteArray history(KR_HISTORY_ENTRIES * KR_HISTORY_ENTRY_SIZE, '\0');
    const QByteArray longest(KR_HISTORY_ENTRY_SIZE - 1, 'x');
    history.replace(0, 8, "bob@demo");
    history.replace(2 * KR_HISTORY_ENTRY_SIZE, longest.size(), longest);
    history.replace(126 * KR_HISTORY_ENTRY_SIZE, 4, "\xe9t\xe9!");
    QCOMPARE(KrSetFlags(engine, flags), 0);
    QCOMPARE(KrSetHistory(engine, history.constData()), 0);
    QCOMPARE(KrSetSkinName(engine, "/home/u/skins/blue.kr1"), 0);
    KrRelease(engine);

    engine = Start();
    uint8_t readFlags[KR_FLAGS_BLOCK_SIZE];
    QCOMPARE(KrGetFlags(engine, readFlags), 0);
    QVERIFY(std::equal(std::begin(flags), std::end(flags), std::begin(readFlags)));
    QByteArray readHistory(history.size(), 'z');
    QCOMPARE(KrGetHistory(engine, readHistory.data()), 0);
    QCOMPARE(readHistory, history);
    QByteArray skin(KR_PATH_BUFFER_SIZE, 'z');
    QCOMPARE(KrGetSkinName(engine, skin.data()), 0);
    QCOMPARE(QByteArray(skin.constData()), QByteArray("/home/u/skins/blue.kr1"));
    KrRelease(engine);
}

void TestEngine::unknownPropertiesFailAndLeaveTheValue()
{
    const KrInstance engine = Start();
    for (int operation : {KR_OP_SET, KR_OP_GET, KR_OP_RUN, 7, -1}) {
        TValue value;
        KrVariantSetString(&value.V, "kept");
        QVERIFY(KrProcess(engine, operation, "No\\Such\\Property", &value.V) != 0);
        QCOMPARE(QByteArray(value.V.Value.String), QByteArray("kept"));
    }
    QVERIFY(KrProcess(engine, KR_OP_GET, "Sender\\FPSRate", nullptr) != 0);
    QVERIFY(KrProcess(engine, KR_OP_GET, nullptr, nullptr) != 0);
    KrRelease(engine);
}

void TestEngine::networkOptions()
{
    // The options belong to the process: one test sees them all.
    int32_t mode = -1;
    QCOMPARE(KrSetProxyNetMode(&mode), 0);
    QCOMPARE(mode, 0);
    mode = 2;
    QCOMPARE(KrSetProxyNetMode(&mode), 0);
    mode = 9;
    QVERIFY(KrSetProxyNetMode(&mode) != 0);
    QCOMPARE(mode, 2); // answers the mode in effect

    QCOMPARE(KrSetNetType(-1), 0);
    QCOMPARE(KrSetNetType(4), 4);
    QVERIFY(KrSetNetType(7) < 0);
    QCOMPARE(KrSetNetType(-1), 4);

    uint16_t port = 0;
    QCOMPARE(KrSetManualPort(&port, 1), 0);
    const uint16_t defaultPort = port;
    QVERIFY(defaultPort != 0);
    port = 4000;
    QCOMPARE(KrSetManualPort(&port, 2), 0);
    port = 0;
    QCOMPARE(KrSetManualPort(&port, 0), 0);
    QCOMPARE(port, uint16_t(4000));
    QCOMPARE(KrSetManualPort(&port, 3), 0);
    QCOMPARE(KrSetManualPort(&port, 0), 0);
    QCOMPARE(port, defaultPort);
    QVERIFY(KrSetManualPort(nullptr, 0) != 0);

    // The proxy block: five areas the caller owns; a text fills its area at most.
    int32_t type = 2;
    char address[KR_PROXY_TEXT_SIZE] = "proxy.example";
    uint16_t proxyPort = 3128;
    char user[KR_PROXY_TEXT_SIZE];
    std::memset(user, 'u', sizeof user); // no terminating zero: read to the area's end only
    char password[KR_PROXY_TEXT_SIZE] = "secret";
    KrProxyBlock block{&type, address, &proxyPort, user, password};
    QCOMPARE(KrSetProxySet(&block), 0);

    int32_t readType = 0;
    char readAddress[KR_PROXY_TEXT_SIZE] = {};
    uint16_t readPort = 0;
    char readUser[KR_PROXY_TEXT_SIZE] = {};
    char readPassword[KR_PROXY_TEXT_SIZE] = {};
    KrProxyBlock read{&readType, readAddress, &readPort, readUser, readPassword};
    QCOMPARE(KrGetProxySet(&read), 0);
    QCOMPARE(readType, 2);
    QCOMPARE(QByteArray(readAddress), QByteArray("proxy.example"));
    QCOMPARE(readPort, uint16_t(3128));
    QCOMPARE(QByteArray(readUser), QByteArray(KR_PROXY_TEXT_SIZE - 1, 'u'));
    QCOMPARE(QByteArray(readPassword), QByteArray("secret"));
    read.Password = nullptr;
    QVERIFY(KrGetProxySet(&read) != 0);
    QVERIFY(KrSetProxySet(nullptr) != 0);

    QCOMPARE(KrSetProxyDialog(0x1234), 0);
    QVERIFY(KrProxyDialogEnd(2) != 0); // no proxy asked for credentials

    const KrInstance engine = Start();
    QCOMPARE(KrSetDisableDirect(engine, 1), 0);
    QCOMPARE(KrSetJitter(engine, 1), 0);
    KrRelease(engine);
    QVERIFY(KrSetJitter(engine, 1) != 0);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
