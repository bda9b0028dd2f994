#include "TestSupport.h"
#include "orvanta.h"

#include <QTest>

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

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
