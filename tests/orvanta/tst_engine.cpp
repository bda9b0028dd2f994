#include "TestSupport.h"
#include "orvanta.h"

#include <QTest>
#include <QtEndian>
#include <algorithm>

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

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
