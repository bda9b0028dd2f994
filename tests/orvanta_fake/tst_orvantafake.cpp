#include "OrvantaFake.h"

#include <QTest>
#include <QThread>
#include <atomic>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr KrInstance Instance = 7;
constexpr qsizetype Guard = 64; // bytes past each buffer that must stay untouched

// A variant the test owns, freed like every value the engine hands back.
struct TValue
{
    TValue() { KrVariantInit(&V); }
    ~TValue() { KrVariantClear(&V); }
    KrVariant V;
};

using TBuild = std::function<void(KrVariant&)>;
using TTextCall = std::function<int32_t(char**)>;

// Same types and values all the way down; QVariant's own == converts numbers.
bool Identical(const QVariant& A, const QVariant& B)
{
    if (A.typeId() != B.typeId())
        return false;
    if (A.typeId() != QMetaType::QVariantList)
        return A == B;
    const QVariantList a = A.toList();
    const QVariantList b = B.toList();
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!Identical(a[i], b[i]))
            return false;
    return true;
}

QByteArray Guarded(qsizetype Size)
{
    return QByteArray(Size + Guard, '#');
}

bool GuardIntact(const QByteArray& Buffer, qsizetype Size)
{
    return Buffer.mid(Size) == QByteArray(Guard, '#');
}

struct TTrackSink
{
    std::atomic<int> Count = 0;
    std::atomic<Qt::HANDLE> Thread = nullptr;
    std::atomic<bool> ArgumentsRight = true;
    const void* Expected = nullptr;
};

int32_t TrackSink(void* Context, int32_t Track, int32_t Size, const void* Buffer, const char* Id)
{
    auto* sink = static_cast<TTrackSink*>(Context);
    if (Track != 2 || Size != 4 || Buffer != sink->Expected || qstrcmp(Id, "peer") != 0)
        sink->ArgumentsRight = false;
    sink->Thread = QThread::currentThreadId();
    ++sink->Count;
    // Engine calls from inside the callback must not deadlock on the fake.
    KrSetEchoMode(Instance, 1);
    return 5;
}

intptr_t RenderStub(KrWindow, uint32_t, intptr_t, intptr_t)
{
    return 0;
}

} // namespace

Q_DECLARE_METATYPE(TBuild)
Q_DECLARE_METATYPE(TTextCall)

class TestOrvantaFake : public QObject
{
    Q_OBJECT
private slots:
    void init() { TOrvantaFake::Reset(); }

    void recordsProcessValue_data();
    void recordsProcessValue();
    void scriptedValueReplacesCallers_data();
    void scriptedValueReplacesCallers();
    void processScriptMatchesOperationAndPath();
    void resultsQueueThenDefault();
    void recordsArgumentsByPosition();
    void textsStopAtTheirBuffers_data();
    void textsStopAtTheirBuffers();
    void blocksStopAtTheirSize();
    void serverListStopsAtCount();
    void userListLayout();
    void inPlaceAndOutputValues();
    void resetForgetsCallsAndScript();
    void trackCallbackFromAnotherThread();
};

void TestOrvantaFake::recordsProcessValue_data()
{
    QTest::addColumn<TBuild>("build");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("empty") << TBuild([](KrVariant&) {}) << QVariant();
    QTest::newRow("integer") << TBuild([](KrVariant& V) {
        V.Type = KrVtInteger;
        V.Value.Integer = -5000000000;
    }) << QVariant::fromValue<qint64>(-5000000000);
    QTest::newRow("unsigned") << TBuild([](KrVariant& V) {
        V.Type = KrVtUnsigned;
        V.Value.Unsigned = 0xFFFFFFFFFFFFFFFFull;
    }) << QVariant::fromValue<quint64>(0xFFFFFFFFFFFFFFFFull);
    QTest::newRow("byte") << TBuild([](KrVariant& V) {
        V.Type = KrVtByte;
        V.Value.Byte = 200;
    }) << QVariant::fromValue<quint8>(200);
    QTest::newRow("boolean other than 1") << TBuild([](KrVariant& V) {
        V.Type = KrVtBoolean;
        V.Value.Boolean = 7;
    }) << QVariant(true);
    QTest::newRow("string") << TBuild([](KrVariant& V) {
        KrVariantSetString(&V, "Kamera \xc3\xa9");
    }) << QVariant(QByteArray("Kamera \xc3\xa9"));
    QTest::newRow("nested array") << TBuild([](KrVariant& V) {
        KrVariantSetArray(&V, 3);
        V.Value.Array[0].Type = KrVtInteger;
        V.Value.Array[0].Value.Integer = 1;
        KrVariantSetString(&V.Value.Array[1], "a");
        KrVariantSetArray(&V.Value.Array[2], 1);
        V.Value.Array[2].Value.Array[0].Type = KrVtBoolean;
    }) << QVariant(QVariantList{qint64(1), QByteArray("a"), QVariantList{false}});
}

void TestOrvantaFake::recordsProcessValue()
{
    QFETCH(TBuild, build);
    QFETCH(QVariant, expected);

    TValue value;
    build(value.V);
    QCOMPARE(KrProcess(Instance, KR_OP_SET, "Sender\\Pause", &value.V), -1);
    QCOMPARE(KrProcess(Instance, KR_OP_SET, "Sender\\Pause", &value.V), -1);

    const QList<TFakeCall> calls = TOrvantaFake::Calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].Function, "KrProcess");
    QCOMPARE(calls[0].Args.value(0), QVariant::fromValue<qint64>(Instance));
    QCOMPARE(calls[0].Operation(), KR_OP_SET);
    QCOMPARE(calls[0].Path(), "Sender\\Pause");
    QVERIFY2(Identical(calls[0].Value(), expected), qPrintable(calls[0].Value().toString()));
    // Unscripted, the caller's value comes back as it went in.
    QVERIFY(Identical(calls[1].Value(), expected));
}

void TestOrvantaFake::scriptedValueReplacesCallers_data()
{
    QTest::addColumn<QVariant>("script");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("int") << QVariant(42) << QVariant::fromValue<qint64>(42);
    QTest::newRow("unsigned") << QVariant::fromValue<quint64>(0x8000000000000001ull)
                              << QVariant::fromValue<quint64>(0x8000000000000001ull);
    QTest::newRow("byte") << QVariant::fromValue<quint8>(255) << QVariant::fromValue<quint8>(255);
    QTest::newRow("boolean") << QVariant(true) << QVariant(true);
    QTest::newRow("bytes") << QVariant(QByteArray("de.ln0")) << QVariant(QByteArray("de.ln0"));
    QTest::newRow("text as UTF-8")
        << QVariant(QStringLiteral("Kamera é")) << QVariant(QByteArray("Kamera \xc3\xa9"));
    QTest::newRow("nested array")
        << QVariant(QVariantList{QStringLiteral("a"), 7, QVariantList{false, QByteArray("b")}})
        << QVariant(QVariantList{QByteArray("a"), qint64(7), QVariantList{false, QByteArray("b")}});
    QTest::newRow("empty") << QVariant() << QVariant();
}

void TestOrvantaFake::scriptedValueReplacesCallers()
{
    QFETCH(QVariant, script);
    QFETCH(QVariant, expected);

    TOrvantaFake::SetProcess(KR_OP_GET, "Sender\\VideoCapture\\Cameras", 0, script);
    // The preset is allocated, so a replacement that forgets to free it leaks.
    TValue value;
    KrVariantSetString(&value.V, "preset");
    QCOMPARE(KrProcess(Instance, KR_OP_GET, "Sender\\VideoCapture\\Cameras", &value.V), 0);

    KrProcess(Instance, KR_OP_SET, "Echo", &value.V);
    const TFakeCall echoed = TOrvantaFake::Calls().last();
    QVERIFY2(Identical(echoed.Value(), expected), qPrintable(echoed.Value().toString()));
}

void TestOrvantaFake::processScriptMatchesOperationAndPath()
{
    TOrvantaFake::SetProcess(KR_OP_GET, "Sender\\Pause", 3, QVariant(true));
    TOrvantaFake::SetSetting("Language", QByteArray("de.ln0"));
    TOrvantaFake::SetProcess(KR_OP_RUN, "Sender\\QueryKey", 4);

    TValue value;
    value.V.Type = KrVtInteger;
    value.V.Value.Integer = 9;
    QCOMPARE(KrProcess(Instance, KR_OP_GET, "Sender\\pause", &value.V), -1);
    QCOMPARE(KrProcess(Instance, KR_OP_SET, "Sender\\Pause", &value.V), -1);
    QCOMPARE(KrProcess(Instance, KR_OP_RUN, "Sender\\QueryKey", &value.V), 4);
    QCOMPARE(value.V.Type, KrVtInteger);
    QCOMPARE(value.V.Value.Integer, 9);

    QCOMPARE(KrProcess(Instance, KR_OP_GET, "Sender\\Pause", &value.V), 3);
    QCOMPARE(value.V.Type, KrVtBoolean);
    QCOMPARE(value.V.Value.Boolean, 1);

    QCOMPARE(KrProcess(Instance, KR_OP_READ_SETTING, "Language", &value.V), 0);
    QCOMPARE(value.V.Type, KrVtString);
    QCOMPARE(value.V.Value.String, "de.ln0");

    // A handler answers through the addresses the caller put in the value.
    int32_t size = 0;
    qsizetype seenCalls = 0;
    TOrvantaFake::SetProcessHandler(KR_OP_RUN, "Protocol\\UserPhoto", [&](KrVariant* Value) {
        *reinterpret_cast<int32_t*>(Value->Value.Array[0].Value.Integer) = 1234;
        seenCalls = TOrvantaFake::Calls().size();
        return 0;
    });
    TValue photo;
    KrVariantSetArray(&photo.V, 1);
    photo.V.Value.Array[0].Type = KrVtInteger;
    photo.V.Value.Array[0].Value.Integer = reinterpret_cast<intptr_t>(&size);
    QCOMPARE(KrProcess(Instance, KR_OP_RUN, "Protocol\\UserPhoto", &photo.V), 0);
    QCOMPARE(size, 1234);
    QCOMPARE(seenCalls, 6);

    QCOMPARE(TOrvantaFake::ProcessCalls("Sender\\Pause").size(), 2);
    QCOMPARE(TOrvantaFake::ProcessCalls("Sender\\Pause", KR_OP_SET).size(), 1);
}

void TestOrvantaFake::resultsQueueThenDefault()
{
    QCOMPARE(KrLoginToServer(Instance, "anna", "pw", 0), 0);
    TOrvantaFake::QueueResults("KrLoginToServer", {5, -2});
    TOrvantaFake::SetResult("KrLoginToServer", 1);
    QCOMPARE(KrLoginToServer(Instance, "anna", "pw", 0), 5);
    QCOMPARE(KrLoginToServer(Instance, "anna", "pw", 0), -2);
    QCOMPARE(KrLoginToServer(Instance, "anna", "pw", 0), 1);
    QCOMPARE(KrLoginToServer(Instance, "anna", "pw", 0), 1);

    QCOMPARE(KrInterfaceGetVersion("Tavrilo", "4.4.0.1"), KR_INTERFACE_VERSION);
    TOrvantaFake::QueueResults("KrInterfaceGetVersion", {999});
    QCOMPARE(KrInterfaceGetVersion("Tavrilo", "4.4.0.1"), 999);
    QCOMPARE(KrInterfaceGetVersion("Tavrilo", "4.4.0.1"), KR_INTERFACE_VERSION);

    int32_t reserved = 5;
    QCOMPARE(KrInitialize(&reserved, 1, "Orvanta\\Tavrilo"), TOrvantaFake::DefaultInstance);
    QCOMPARE(reserved, 0);
    TOrvantaFake::SetResult("KrInitialize", 0);
    QCOMPARE(KrInitialize(nullptr, 1, "Orvanta\\Tavrilo"), 0);

    // Cut to the return type, as the engine's own result would be.
    TOrvantaFake::SetResult("KrUpdateDeviceList", 0x103);
    QCOMPARE(KrUpdateDeviceList(Instance), uint8_t(0x03));
}

void TestOrvantaFake::recordsArgumentsByPosition()
{
    const KrInstance instance = KrInitialize(nullptr, 0x99, "Orvanta\\Tavrilo");
    KrRenderProc proc = nullptr;
    intptr_t renderInstance = 0;
    KrStartSender(instance, nullptr, "Test camera", 0x55, &proc, &renderInstance, 320, 240, 16000);

    uint8_t flags[KR_FLAGS_BLOCK_SIZE];
    for (int i = 0; i < KR_FLAGS_BLOCK_SIZE; ++i)
        flags[i] = uint8_t(i);
    KrSetFlags(instance, flags);

    std::vector<char> history(KR_HISTORY_ENTRIES * KR_HISTORY_ENTRY_SIZE, '\0');
    std::strcpy(history.data(), "anna");
    // An entry without its zero is read up to the entry's end, not beyond.
    std::memset(history.data() + 2 * KR_HISTORY_ENTRY_SIZE, 'z', KR_HISTORY_ENTRY_SIZE);
    std::strcpy(history.data() + 3 * KR_HISTORY_ENTRY_SIZE, "bob");
    KrSetHistory(instance, history.data());

    int32_t type = 2;
    char address[KR_PROXY_TEXT_SIZE] = "proxy.example";
    uint16_t port = 3128;
    char user[KR_PROXY_TEXT_SIZE] = "";
    char password[KR_PROXY_TEXT_SIZE] = "pw";
    const KrProxyBlock proxy{&type, address, &port, user, password};
    KrSetProxySet(&proxy);

    const QList<TFakeCall> calls = TOrvantaFake::Calls();
    QByteArrayList functions;
    for (const TFakeCall& call : calls)
        functions.append(call.Function);
    QCOMPARE(functions, QByteArrayList({"KrInitialize", "KrStartSender", "KrSetFlags",
                                        "KrSetHistory", "KrSetProxySet"}));

    const auto integer = [](qint64 Value) { return QVariant::fromValue<qint64>(Value); };
    const QVariantList expected[] = {
        {QVariant(), integer(0x99), QByteArray("Orvanta\\Tavrilo")},
        {integer(instance), QByteArray(), QByteArray("Test camera"), integer(0x55), QVariant(),
         QVariant(), integer(320), integer(240), integer(16000)},
        {integer(instance), QByteArray(reinterpret_cast<const char*>(flags), sizeof flags)},
        {},
        {QVariantList{integer(2), QByteArray("proxy.example"), integer(3128), QByteArray(""),
                      QByteArray("pw")}},
    };
    for (int i : {0, 1, 2, 4})
        QVERIFY2(Identical(calls[i].Args, expected[i]), calls[i].Function.constData());
    QVERIFY(calls[1].Args[1].toByteArray().isNull());

    const QByteArrayList entries = calls[3].Args.value(1).value<QByteArrayList>();
    QCOMPARE(entries.size(), KR_HISTORY_ENTRIES);
    QCOMPARE(entries[0], "anna");
    QCOMPARE(entries[1], "");
    QCOMPARE(entries[2], QByteArray(KR_HISTORY_ENTRY_SIZE, 'z'));
    QCOMPARE(entries[3], "bob");

    QCOMPARE(TOrvantaFake::Calls("KrSetFlags").size(), 1);
    QVERIFY(TOrvantaFake::Calls("KrRelease").isEmpty());
}

void TestOrvantaFake::textsStopAtTheirBuffers_data()
{
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("buffers");
    QTest::addColumn<TTextCall>("call");

    const auto row = [](const char* Name, const QByteArray& Function, int Size, int Buffers,
                        TTextCall Call) {
        QTest::newRow(Name) << Function << Size << Buffers << Call;
    };
    row("my name", "KrGetMyName", KR_NAME_BUFFER_SIZE, 3,
        [](char** B) { return KrGetMyName(Instance, B[0], B[1], B[2]); });
    row("other name", "KrGetOtherName", KR_NAME_BUFFER_SIZE, 3,
        [](char** B) { return KrGetOtherName(Instance, B[0], B[1], B[2]); });
    row("skin", "KrGetSkinName", KR_PATH_BUFFER_SIZE, 1,
        [](char** B) { return KrGetSkinName(Instance, B[0]); });
    row("camera", "KrGetCurrentVideoCapture", KR_PATH_BUFFER_SIZE, 1,
        [](char** B) { return KrGetCurrentVideoCapture(Instance, B[0]); });
    row("microphone", "KrGetCurrentAudioCapture", KR_PATH_BUFFER_SIZE, 1,
        [](char** B) { return KrGetCurrentAudioCapture(Instance, B[0]); });
    row("default server", "KrGetDefaultServer", KR_DEFAULT_SERVER_SIZE, 1,
        [](char** B) { return KrGetDefaultServer(Instance, B[0]); });
    row("receiver", "KrGetReceiverState", KR_RECEIVER_NAME_SIZE, 1,
        [](char** B) { return int32_t(KrGetReceiverState(Instance, 3, B[0])); });
    row("chat", "KrGetChatMessage", KR_MESSAGE_BUFFER_SIZE, 2,
        [](char** B) { return KrGetChatMessage(Instance, 11, B[0], B[1]); });
    row("command", "KrGetCommandMessage", KR_MESSAGE_BUFFER_SIZE, 2,
        [](char** B) { return KrGetCommandMessage(Instance, 12, B[0], B[1]); });
    row("user info", "KrReadUserInfo", KR_USER_INFO_FIELD_SIZE, KR_USER_INFO_FIELDS,
        [](char** B) { return KrReadUserInfo(Instance, "anna", B); });
    row("property", "KrGetProperty", KR_PROPERTY_BUFFER_SIZE, 1,
        [](char** B) { return KrGetProperty(Instance, "MaxUsers", B[0]); });
}

void TestOrvantaFake::textsStopAtTheirBuffers()
{
    QFETCH(QByteArray, function);
    QFETCH(int, size);
    QFETCH(int, buffers);
    QFETCH(TTextCall, call);

    QList<QByteArray> storage(buffers);
    std::vector<char*> pointers(buffers);
    const auto run = [&](const QByteArrayList& Texts) {
        if (function == "KrGetProperty") {
            TOrvantaFake::SetProperty("MaxUsers", Texts.value(0));
            TOrvantaFake::SetProperty("Other", "not this one");
        } else {
            TOrvantaFake::SetTexts(function, Texts);
        }
        for (int i = 0; i < buffers; ++i) {
            storage[i] = Guarded(size);
            pointers[i] = storage[i].data();
        }
        QCOMPARE(call(pointers.data()), 0);
    };

    run({});
    for (int i = 0; i < buffers; ++i)
        QCOMPARE(storage[i][0], '\0');

    QByteArrayList texts;
    for (int i = 0; i < buffers; ++i)
        texts.append("text " + QByteArray::number(i));
    run(texts);
    for (int i = 0; i < buffers; ++i)
        QCOMPARE(QByteArray(storage[i].constData()), texts[i]);

    texts.clear();
    for (int i = 0; i < buffers; ++i)
        texts.append(QByteArray(size + 100, char('a' + i)));
    run(texts);
    for (int i = 0; i < buffers; ++i) {
        QCOMPARE(QByteArray(storage[i].constData()), QByteArray(size - 1, char('a' + i)));
        QVERIFY2(GuardIntact(storage[i], size), qPrintable(QString::number(i)));
    }
}

void TestOrvantaFake::blocksStopAtTheirSize()
{
    QByteArray flags = Guarded(KR_FLAGS_BLOCK_SIZE);
    QCOMPARE(KrGetFlags(Instance, reinterpret_cast<uint8_t*>(flags.data())), 0);
    QCOMPARE(flags.left(KR_FLAGS_BLOCK_SIZE), QByteArray(KR_FLAGS_BLOCK_SIZE, '\0'));
    TOrvantaFake::SetFlags(QByteArray(200, '\x11'));
    KrGetFlags(Instance, reinterpret_cast<uint8_t*>(flags.data()));
    QCOMPARE(flags.left(KR_FLAGS_BLOCK_SIZE), QByteArray(KR_FLAGS_BLOCK_SIZE, '\x11'));
    QVERIFY(GuardIntact(flags, KR_FLAGS_BLOCK_SIZE));
    TOrvantaFake::SetFlags(QByteArray("\x01\x02", 2));
    KrGetFlags(Instance, reinterpret_cast<uint8_t*>(flags.data()));
    QCOMPARE(flags.left(KR_FLAGS_BLOCK_SIZE),
             QByteArray("\x01\x02", 2) + QByteArray(KR_FLAGS_BLOCK_SIZE - 2, '\0'));

    QByteArray record = Guarded(KR_BWT_RESULT_SIZE);
    TOrvantaFake::SetBandwidthTestResult(QByteArray(400, '\x22'));
    QCOMPARE(KrBwtGet(Instance, record.data(), 0), 0);
    QCOMPARE(record.left(KR_BWT_RESULT_SIZE), QByteArray(KR_BWT_RESULT_SIZE, '\x22'));
    QVERIFY(GuardIntact(record, KR_BWT_RESULT_SIZE));

    constexpr qsizetype historySize = KR_HISTORY_ENTRIES * KR_HISTORY_ENTRY_SIZE;
    QByteArray history = Guarded(historySize);
    TOrvantaFake::SetHistory({"anna", QByteArray(300, 'h')});
    QCOMPARE(KrGetHistory(Instance, history.data()), 0);
    QCOMPARE(QByteArray(history.constData()), "anna");
    QCOMPARE(QByteArray(history.constData() + KR_HISTORY_ENTRY_SIZE),
             QByteArray(KR_HISTORY_ENTRY_SIZE - 1, 'h'));
    QCOMPARE(history.mid(2 * KR_HISTORY_ENTRY_SIZE, historySize - 2 * KR_HISTORY_ENTRY_SIZE),
             QByteArray(historySize - 2 * KR_HISTORY_ENTRY_SIZE, '\0'));
    QVERIFY(GuardIntact(history, historySize));
}

void TestOrvantaFake::serverListStopsAtCount()
{
    constexpr qsizetype arraySize = KR_SERVER_ENTRIES * KR_SERVER_ENTRY_SIZE;
    QByteArray names = Guarded(arraySize);
    QByteArray addresses = Guarded(arraySize);
    QCOMPARE(KrGetServers(Instance, KR_SERVER_ENTRIES, names.data(), addresses.data()), 0);
    QCOMPARE(names[0], '\0');

    QByteArrayList many;
    for (int i = 0; i < 130; ++i)
        many.append(QByteArray(300, char('a' + i % 26)));
    TOrvantaFake::SetServers(many, {"host:5000"});
    QCOMPARE(KrGetServers(Instance, KR_SERVER_ENTRIES, names.data(), addresses.data()),
             KR_SERVER_ENTRIES);
    const qsizetype last = (KR_SERVER_ENTRIES - 1) * KR_SERVER_ENTRY_SIZE;
    QCOMPARE(QByteArray(names.constData()), QByteArray(KR_SERVER_ENTRY_SIZE - 1, 'a'));
    QCOMPARE(QByteArray(names.constData() + last),
             QByteArray(KR_SERVER_ENTRY_SIZE - 1, char('a' + (KR_SERVER_ENTRIES - 1) % 26)));
    QVERIFY(GuardIntact(names, arraySize));
    QCOMPARE(QByteArray(addresses.constData()), "host:5000");
    QCOMPARE(addresses[KR_SERVER_ENTRY_SIZE], '\0');
    QVERIFY(GuardIntact(addresses, arraySize));

    // A caller that offers fewer entries gets no more than that.
    TOrvantaFake::SetServers({"one", "two", "three"});
    names.fill('#');
    QCOMPARE(KrGetServers(Instance, 2, names.data(), nullptr), 2);
    QCOMPARE(QByteArray(names.constData() + KR_SERVER_ENTRY_SIZE), "two");
    QCOMPARE(names[2 * KR_SERVER_ENTRY_SIZE], '#');
}

void TestOrvantaFake::userListLayout()
{
    TOrvantaFake::SetUsers(
        {{"anna", "Anna \xc3\xa9", "x", 42, "f"}, {"bob", QByteArray(), "", -1, QByteArray()}});
    TOrvantaFake::SetUsers({{"carl", "Carl", "", 0, ""}}, 8);

    const intptr_t* list = nullptr;
    QCOMPARE(KrGetLoggedUsersList(Instance, &list, 2), 0);
    QVERIFY(list);
    const auto text = [](intptr_t Slot) { return QByteArray(reinterpret_cast<const char*>(Slot)); };
    KrGetMyName(Instance, nullptr, nullptr, nullptr); // other calls leave the list alone
    QCOMPARE(text(list[0]), "anna");
    QCOMPARE(text(list[1]), "Anna \xc3\xa9");
    QCOMPARE(text(list[2]), "x");
    QCOMPARE(list[3], 42);
    QCOMPARE(text(list[4]), "f");
    QCOMPARE(text(list[5]), "bob");
    QCOMPARE(list[6], 0);
    QVERIFY(list[7] != 0);
    QCOMPARE(text(list[7]), "");
    QCOMPARE(list[8], -1);
    QCOMPARE(list[9], 0);
    QCOMPARE(list[10], 0);

    QCOMPARE(KrGetLoggedUsersList(Instance, &list, 8), 0);
    QCOMPARE(text(list[0]), "carl");
    QCOMPARE(list[5], 0);
    QCOMPARE(TOrvantaFake::Calls("KrGetLoggedUsersList").last().Args.value(2).toInt(), 8);

    TOrvantaFake::Reset();
    QCOMPARE(KrGetLoggedUsersList(Instance, &list, 8), 0);
    QCOMPARE(list[0], 0);
}

void TestOrvantaFake::inPlaceAndOutputValues()
{
    int32_t mode = -1;
    KrSetProxyNetMode(&mode);
    QCOMPARE(mode, -1);
    TOrvantaFake::SetProxyNetMode(2);
    KrSetProxyNetMode(&mode);
    QCOMPARE(mode, 2);
    QCOMPARE(TOrvantaFake::Calls("KrSetProxyNetMode").last().Args.value(0).toInt(), -1);

    TOrvantaFake::SetManualPort(1, 5004);
    uint16_t port = 7;
    KrSetManualPort(&port, 0);
    QCOMPARE(port, 7);
    KrSetManualPort(&port, 1);
    QCOMPARE(port, 5004);
    QCOMPARE(TOrvantaFake::Calls("KrSetManualPort").last().Args.value(0).toInt(), 7);

    TOrvantaFake::SetProxy({3, QByteArray(300, 'p'), 8080, "user", "pw"});
    int32_t type = -1;
    QByteArray address = Guarded(KR_PROXY_TEXT_SIZE);
    uint16_t proxyPort = 0;
    char user[KR_PROXY_TEXT_SIZE];
    char password[KR_PROXY_TEXT_SIZE];
    KrProxyBlock block{&type, address.data(), &proxyPort, user, password};
    QCOMPARE(KrGetProxySet(&block), 0);
    QCOMPARE(type, 3);
    QCOMPARE(QByteArray(address.constData()), QByteArray(KR_PROXY_TEXT_SIZE - 1, 'p'));
    QVERIFY(GuardIntact(address, KR_PROXY_TEXT_SIZE));
    QCOMPARE(proxyPort, 8080);
    QCOMPARE(user, "user");
    QCOMPARE(password, "pw");

    int32_t sent = -1;
    int32_t received = -1;
    KrGetTraffic(Instance, &sent, &received);
    QCOMPARE(sent, 0);
    QCOMPARE(received, 0);
    TOrvantaFake::SetTraffic(1000, 2000);
    KrGetTraffic(Instance, &sent, &received);
    QCOMPARE(sent, 1000);
    QCOMPARE(received, 2000);

    TOrvantaFake::SetSenderRender(&RenderStub, 77);
    TOrvantaFake::SetResult("KrStartSender", 0x2);
    KrRenderProc proc = nullptr;
    intptr_t renderInstance = 0;
    QCOMPARE(
        KrStartSender(Instance, "Tone", "Test camera", 5, &proc, &renderInstance, 320, 240, 16000),
        0x2);
    QVERIFY(proc == &RenderStub);
    QCOMPARE(renderInstance, 77);
}

void TestOrvantaFake::resetForgetsCallsAndScript()
{
    TTrackSink sink;
    KrSetTrackCallBack(Instance, &TrackSink, &sink);
    TOrvantaFake::SetTexts("KrGetMyName", {"anna"});
    TOrvantaFake::QueueResults("KrGetMyName", {0x13});
    TOrvantaFake::SetProcess(KR_OP_GET, "Sender\\Pause", 0, QVariant(true));
    TOrvantaFake::SetUsers({{"anna", "Anna", "", 0, ""}});
    const intptr_t* list = nullptr;
    KrGetLoggedUsersList(Instance, &list, 2);

    TOrvantaFake::Reset();

    QVERIFY(TOrvantaFake::Calls().isEmpty());
    char name[KR_NAME_BUFFER_SIZE] = "stale";
    QCOMPARE(KrGetMyName(Instance, name, nullptr, nullptr), 0);
    QCOMPARE(name, "");
    TValue value;
    QCOMPARE(KrProcess(Instance, KR_OP_GET, "Sender\\Pause", &value.V), -1);
    QCOMPARE(value.V.Type, KrVtEmpty);
    QVERIFY(!TOrvantaFake::InvokeTrackCallback(2, 4, nullptr, "peer"));
    QCOMPARE(sink.Count.load(), 0);
}

void TestOrvantaFake::trackCallbackFromAnotherThread()
{
    QVERIFY(!TOrvantaFake::InvokeTrackCallback(2, 4, nullptr, "peer"));

    TTrackSink sink;
    const char data[4] = {1, 2, 3, 4};
    sink.Expected = data;
    KrSetTrackCallBack(Instance, &TrackSink, &sink);
    QCOMPARE(TOrvantaFake::Calls("KrSetTrackCallBack").last().Args.value(1).toLongLong(),
             qint64(reinterpret_cast<intptr_t>(&TrackSink)));

    constexpr int rounds = 200;
    std::atomic<int> answeredFive = 0;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        for (int i = 0; i < rounds; ++i)
            if (TOrvantaFake::InvokeTrackCallback(2, 4, data, "peer") == 5)
                ++answeredFive;
    }));
    worker->start();
    for (int i = 0; i < rounds; ++i)
        KrSetJitter(Instance, i % 2);
    QVERIFY(worker->wait(30000));

    QCOMPARE(answeredFive.load(), rounds);
    QVERIFY(sink.ArgumentsRight);
    QVERIFY(sink.Thread != QThread::currentThreadId());
    QCOMPARE(TOrvantaFake::Calls("KrSetJitter").size(), rounds);
    QCOMPARE(TOrvantaFake::Calls("KrSetEchoMode").size(), rounds);

    KrRelease(Instance);
    QVERIFY(!TOrvantaFake::InvokeTrackCallback(2, 4, data, "peer"));
}

QTEST_GUILESS_MAIN(TestOrvantaFake)
#include "tst_orvantafake.moc"
