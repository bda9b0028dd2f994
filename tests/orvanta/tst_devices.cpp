#include "TestSupport.h"
#include "devices/TestPatternCamera.h"
#include "orvanta.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

// A variant the test owns; freed like every value the engine hands back.
struct TValue
{
    TValue() { KrVariantInit(&V); }
    ~TValue() { KrVariantClear(&V); }
    TValue(const TValue&) = delete;
    TValue& operator=(const TValue&) = delete;
    KrVariant V;
};

// A value of one kind, described in a data row as "int 5", "uint 5", "byte 5",
// "bool 1", "text name", "empty" or "[bool 1, bool 0]".
void Make(KrVariant* Value, const QString& Spec)
{
    KrVariantClear(Value);
    if (Spec.startsWith(QLatin1Char('['))) {
        const QStringList elements =
            Spec.mid(1, Spec.size() - 2).split(QStringLiteral(", "), Qt::SkipEmptyParts);
        KrVariantSetArray(Value, int32_t(elements.size()));
        for (int i = 0; i < elements.size(); ++i)
            Make(&Value->Value.Array[i], elements.at(i));
        return;
    }
    const QString kind = Spec.section(QLatin1Char(' '), 0, 0);
    const QString rest = Spec.section(QLatin1Char(' '), 1);
    if (kind == QLatin1String("int")) {
        Value->Type = KrVtInteger;
        Value->Value.Integer = rest.toLongLong(nullptr, 0);
    } else if (kind == QLatin1String("uint")) {
        Value->Type = KrVtUnsigned;
        Value->Value.Unsigned = rest.toULongLong(nullptr, 0);
    } else if (kind == QLatin1String("byte")) {
        Value->Type = KrVtByte;
        Value->Value.Byte = quint8(rest.toUInt());
    } else if (kind == QLatin1String("bool")) {
        Value->Type = KrVtBoolean;
        Value->Value.Boolean = rest.toInt();
    } else if (kind == QLatin1String("text")) {
        KrVariantSetString(Value, rest.toUtf8().constData());
    }
}

// The same notation back, so results compare as text.
QString Shown(const KrVariant& Value)
{
    switch (Value.Type) {
    case KrVtInteger:
        return QStringLiteral("int %1").arg(Value.Value.Integer);
    case KrVtUnsigned:
        return QStringLiteral("uint %1").arg(Value.Value.Unsigned);
    case KrVtByte:
        return QStringLiteral("byte %1").arg(Value.Value.Byte);
    case KrVtBoolean:
        return QStringLiteral("bool %1").arg(Value.Value.Boolean != 0 ? 1 : 0);
    case KrVtString:
        return QStringLiteral("text ") + QString::fromUtf8(Value.Value.String);
    case KrVtArray: {
        QStringList elements;
        for (int i = 0; i < Value.Count; ++i)
            elements << Shown(Value.Value.Array[i]);
        return QLatin1Char('[') + elements.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    default:
        return QStringLiteral("empty");
    }
}

// A value as the engine gets it, for checking that it came back untouched.
QString AsMade(const QString& Spec)
{
    TValue made;
    Make(&made.V, Spec);
    return Shown(made.V);
}

const char* const CamerasPath = "Sender\\VideoCapture\\Cameras";
const char* const MicrophonesPath = "Sender\\CaptureAudio\\AudioCaptureList";
const char* const SpeakersPath = "Receivers\\AudioPlayback\\AudioRenderList";
const char* const PlaybackDevicePath = "Receivers\\PlaybackDevice";
const char* const PinsPath = "Sender\\VideoCapture\\CameraPins";
const char* const ModePath = "Sender\\VideoCapture\\CameraMode";
const char* const FpsPath = "Sender\\VideoCapture\\CameraFPS";
const char* const LevelPath = "Sender\\CaptureAudio\\MicrophoneLevel";
const char* const MicrophoneVolumePath = "Sender\\CaptureAudio\\MicrophoneVolume";
const char* const TestPlaybackPath = "Receivers\\AudioPlayback\\TestPlayback";
const char* const PropertyPagePath = "Sender\\VideoCapture\\CameraPropertyPage";
const char* const CameraControlPath = "Sender\\VideoCapture\\CameraControl";
const char* const EnabledDevicesPath = "Sender\\EnabledDevices";

const QByteArray TestPattern = QByteArrayLiteral("Test Pattern Camera");
const QByteArray Tone = QByteArrayLiteral("Tone Generator");
const QByteArray Silent = QByteArrayLiteral("Silent Output");

KrInstance Start()
{
    return KrInitialize(nullptr, 0, "Orvanta\\Tavrilo");
}

// The result of one KrProcess with a value made from Spec, and the value after it.
std::pair<int32_t, QString> Process(KrInstance Engine, int32_t Operation, const char* Path,
                                    const QString& Spec = QStringLiteral("empty"))
{
    TValue value;
    Make(&value.V, Spec);
    const int32_t result = KrProcess(Engine, Operation, Path, &value.V);
    return {result, Shown(value.V)};
}

QString Get(KrInstance Engine, const char* Path)
{
    const auto [result, shown] = Process(Engine, KR_OP_GET, Path, QStringLiteral("byte 0"));
    return result == 0 ? shown : QStringLiteral("failed");
}

// Choosing and reading the device of one kind: "camera", "microphone" or "speaker".
int32_t Choose(KrInstance Engine, const QString& Kind, const QByteArray& Name)
{
    if (Kind == QLatin1String("camera"))
        return KrSetVideoCapture(Engine, Name.constData());
    if (Kind == QLatin1String("microphone"))
        return KrSetAudioCapture(Engine, Name.constData());
    return Process(Engine, KR_OP_SET, PlaybackDevicePath, QStringLiteral("text ") + Name).first;
}

QByteArray Current(KrInstance Engine, const QString& Kind)
{
    if (Kind == QLatin1String("speaker")) {
        const QString shown = Get(Engine, PlaybackDevicePath);
        return shown.startsWith(QLatin1String("text ")) ? shown.mid(5).toUtf8() : QByteArray("?");
    }
    QByteArray buffer(KR_PATH_BUFFER_SIZE, 'x');
    const int32_t result = Kind == QLatin1String("camera")
                               ? KrGetCurrentVideoCapture(Engine, buffer.data())
                               : KrGetCurrentAudioCapture(Engine, buffer.data());
    return result == 0 ? QByteArray(buffer.constData()) : QByteArray("?");
}

// Runs Action on the modal window once one is up; gives up after five seconds
// so that a test never hangs on a dialog that did not come.
void WhenModal(std::function<void(QWidget*)> Action)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, Action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < 5000)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (modal)
            Action(modal);
    });
    timer->start(10);
}

} // namespace

class TestDevices : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        FRoot = std::make_unique<TTestPlatformRoot>();
        FEngine = Start();
    }
    void cleanup()
    {
        KrRelease(FEngine);
        FRoot.reset();
    }

    void builtInDevicesAreListedAndChosen_data();
    void builtInDevicesAreListedAndChosen();
    void choiceBelongsToTheInstanceAndIsKept();
    void deviceFunctionsCheckTheirArguments();
    void cameraInputs_data();
    void cameraInputs();
    void cameraStandards_data();
    void cameraStandards();
    void numbersKeepTheirRange_data();
    void numbersKeepTheirRange();
    void wrongOperationsAndTypesChangeNothing_data();
    void wrongOperationsAndTypesChangeNothing();
    void enabledDevices_data();
    void enabledDevices();
    void microphoneLevelMovesWhileMetering();
    void testPlaybackOnTheSilentOutput();
    void cameraControlPausesTheCamera();
    void propertyPageOpensAndKeepsItsSettings();

    void patternCameraDeliversAtItsFrameRate_data();
    void patternCameraDeliversAtItsFrameRate();
    void patternCameraFollowsItsSettings();

private:
    std::unique_ptr<TTestPlatformRoot> FRoot;
    KrInstance FEngine = 0;
};

void TestDevices::builtInDevicesAreListedAndChosen_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("listPath");
    QTest::addColumn<QByteArray>("builtIn");
    QTest::newRow("camera") << "camera" << QByteArray(CamerasPath) << TestPattern;
    QTest::newRow("microphone") << "microphone" << QByteArray(MicrophonesPath) << Tone;
    QTest::newRow("speaker") << "speaker" << QByteArray(SpeakersPath) << Silent;
}

void TestDevices::builtInDevicesAreListedAndChosen()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, listPath);
    QFETCH(QByteArray, builtIn);

    QCOMPARE(int(KrUpdateDeviceList(FEngine)), 0);
    const QString list = Get(FEngine, listPath.constData());
    QVERIFY2(list.startsWith(QLatin1Char('[')) && list.contains(QStringLiteral("text ") + builtIn),
             qPrintable(list));
    QVERIFY(!list.contains(QLatin1String("text None")));

    QCOMPARE(Choose(FEngine, kind, builtIn.toUpper()), 0); // case does not matter
    QCOMPARE(Current(FEngine, kind), builtIn);
    QCOMPARE(Choose(FEngine, kind, "None"), 0);
    QCOMPARE(Current(FEngine, kind), QByteArray("None"));
    QCOMPARE(Choose(FEngine, kind, builtIn), 0);

    for (const QByteArray& unknown : {QByteArray("No Such Device"), QByteArray(""),
                                      builtIn + ' ', QByteArray(4096, 'x')})
        QVERIFY(Choose(FEngine, kind, unknown) != 0);
    QCOMPARE(Current(FEngine, kind), builtIn);
}

void TestDevices::choiceBelongsToTheInstanceAndIsKept()
{
    QCOMPARE(KrSetVideoCapture(FEngine, TestPattern.constData()), 0);
    const KrInstance other = Start();
    QCOMPARE(KrSetVideoCapture(other, "None"), 0);
    QCOMPARE(Current(FEngine, QStringLiteral("camera")), TestPattern);
    QCOMPARE(Current(other, QStringLiteral("camera")), QByteArray("None"));
    KrRelease(other);

    QCOMPARE(KrSetVideoCapture(FEngine, "None"), 0);
    QCOMPARE(KrSetAudioCapture(FEngine, Tone.constData()), 0);
    QCOMPARE(Choose(FEngine, QStringLiteral("speaker"), Silent), 0);
    KrRelease(FEngine);
    FEngine = Start(); // the next run
    QCOMPARE(Current(FEngine, QStringLiteral("camera")), QByteArray("None"));
    QCOMPARE(Current(FEngine, QStringLiteral("microphone")), Tone);
    QCOMPARE(Current(FEngine, QStringLiteral("speaker")), Silent);
}

void TestDevices::deviceFunctionsCheckTheirArguments()
{
    const KrInstance released = Start();
    KrRelease(released);
    for (const KrInstance gone : {KrInstance(0), released}) {
        QCOMPARE(int(KrUpdateDeviceList(gone)), 0x7);
        QByteArray buffer(KR_PATH_BUFFER_SIZE, 'x');
        QVERIFY(KrGetCurrentVideoCapture(gone, buffer.data()) != 0);
        QCOMPARE(buffer.at(0), '\0');
        buffer.fill('x');
        QVERIFY(KrGetCurrentAudioCapture(gone, buffer.data()) != 0);
        QCOMPARE(buffer.at(0), '\0');
        QVERIFY(KrSetVideoCapture(gone, TestPattern.constData()) != 0);
        QVERIFY(KrSetAudioCapture(gone, Tone.constData()) != 0);
        QVERIFY(KrForceBicubic(gone, 1) != 0);
        QVERIFY(KrSetSaturation(gone, 100) != 0);
    }
    QVERIFY(KrGetCurrentVideoCapture(FEngine, nullptr) != 0);
    QVERIFY(KrGetCurrentAudioCapture(FEngine, nullptr) != 0);
    QVERIFY(KrSetVideoCapture(FEngine, nullptr) != 0);
    QVERIFY(KrSetAudioCapture(FEngine, nullptr) != 0);

    // A name that fills the whole path buffer without an end is read no
    // further than the buffer (the sanitizer build would catch more).
    auto unended = std::make_unique<char[]>(KR_PATH_BUFFER_SIZE);
    std::fill_n(unended.get(), KR_PATH_BUFFER_SIZE, 'x');
    QVERIFY(KrSetVideoCapture(FEngine, unended.get()) != 0);
    QVERIFY(KrSetAudioCapture(FEngine, unended.get()) != 0);
    // Exactly the path buffer's size: writing past it would be caught too.
    auto exact = std::make_unique<char[]>(KR_PATH_BUFFER_SIZE);
    QCOMPARE(KrSetVideoCapture(FEngine, TestPattern.constData()), 0);
    QCOMPARE(KrGetCurrentVideoCapture(FEngine, exact.get()), 0);
    QCOMPARE(QByteArray(exact.get()), TestPattern);

    QCOMPARE(KrForceBicubic(FEngine, 1), 0);
    QCOMPARE(KrForceBicubic(FEngine, 0), 0);
    for (int saturation : {0, 100, 200})
        QCOMPARE(KrSetSaturation(FEngine, saturation), 0);
    for (int saturation : {-1, 201, std::numeric_limits<int32_t>::min()})
        QVERIFY(KrSetSaturation(FEngine, saturation) != 0);
}

void TestDevices::cameraInputs_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("inUse"); // afterwards; it was 1 before
    QTest::newRow("first") << "int 0" << true << 0;
    QTest::newRow("second") << "int 1" << true << 1;
    QTest::newRow("empty keeps the input") << "empty" << true << 1;
    QTest::newRow("past the last") << "int 2" << false << 1;
    QTest::newRow("negative") << "int -1" << false << 1;
    QTest::newRow("beyond 32 bits") << "int 0x100000000" << false << 1;
    QTest::newRow("byte") << "byte 0" << false << 1;
    QTest::newRow("text") << "text Composite" << false << 1;
}

void TestDevices::cameraInputs()
{
    QFETCH(QString, input);
    QFETCH(bool, accepted);
    QFETCH(int, inUse);

    QCOMPARE(KrSetVideoCapture(FEngine, TestPattern.constData()), 0);
    QCOMPARE(Process(FEngine, KR_OP_RUN, PinsPath, QStringLiteral("int 1")).first, 0);
    const auto [result, shown] = Process(FEngine, KR_OP_RUN, PinsPath, input);
    QCOMPARE(result == 0, accepted);
    QCOMPARE(shown, AsMade(input)); // a run gives nothing back

    // The answer carries the input in use in its high 16 bits.
    TValue pins;
    const int32_t answer = KrProcess(FEngine, KR_OP_GET, PinsPath, &pins.V);
    QCOMPARE(Shown(pins.V), QStringLiteral("[text Composite, text S-Video]"));
    QCOMPARE(answer, int32_t(inUse << 16));

    // Without a camera there are no inputs, and the value stays.
    QCOMPARE(KrSetVideoCapture(FEngine, "None"), 0);
    const auto [noCamera, kept] = Process(FEngine, KR_OP_GET, PinsPath, QStringLiteral("byte 7"));
    QVERIFY(noCamera != 0);
    QCOMPARE(kept, QStringLiteral("byte 7"));
    QVERIFY(Process(FEngine, KR_OP_RUN, PinsPath, QStringLiteral("int 0")).first != 0);
}

void TestDevices::cameraStandards_data()
{
    QTest::addColumn<QString>("standard");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("NTSC M as Integer") << "int 0x1" << true;
    QTest::newRow("PAL B as Unsigned") << "uint 0x10" << true;
    QTest::newRow("SECAM L") << "uint 0x40000" << true;
    QTest::newRow("unsupported PAL D") << "uint 0x20" << false;
    QTest::newRow("two standards") << "uint 0x11" << false;
    QTest::newRow("none") << "uint 0" << false;
    QTest::newRow("NTSC M above 32 bits") << "uint 0x100000001" << false;
    QTest::newRow("negative") << "int -1" << false;
    QTest::newRow("byte") << "byte 1" << false;
    QTest::newRow("text") << "text NTSC M" << false;
}

void TestDevices::cameraStandards()
{
    QFETCH(QString, standard);
    QFETCH(bool, accepted);

    QCOMPARE(KrSetVideoCapture(FEngine, TestPattern.constData()), 0);
    QCOMPARE(Get(FEngine, ModePath), QStringLiteral("int %1").arg(0x1 | 0x10 | 0x40000));
    QCOMPARE(Process(FEngine, KR_OP_SET, ModePath, standard).first == 0, accepted);

    QCOMPARE(KrSetVideoCapture(FEngine, "None"), 0);
    QCOMPARE(Get(FEngine, ModePath), QStringLiteral("failed"));
    QVERIFY(Process(FEngine, KR_OP_SET, ModePath, QStringLiteral("int 1")).first != 0);
}

void TestDevices::numbersKeepTheirRange_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("after"); // what a get answers afterwards

    const QByteArray fps = FpsPath;
    QTest::newRow("5 fps") << fps << "byte 5" << "byte 5";
    QTest::newRow("30 fps") << fps << "byte 30" << "byte 30";
    QTest::newRow("25 fps refused") << fps << "byte 25" << "byte 15";
    QTest::newRow("0 fps refused") << fps << "byte 0" << "byte 15";
    QTest::newRow("fps as Integer refused") << fps << "int 10" << "byte 15";

    const QByteArray rate = "Sender\\FPSRate";
    QTest::newRow("rate") << rate << "int 20" << "int 20";
    QTest::newRow("negative rate") << rate << "int -1" << "int 32";
    QTest::newRow("rate past 32 bits") << rate << "int 0x80000000" << "int 32";

    const QByteArray microphone = MicrophoneVolumePath;
    QTest::newRow("microphone silent") << microphone << "int 0" << "int 0";
    QTest::newRow("microphone full") << microphone << "int 65536" << "int 65536";
    QTest::newRow("microphone too loud") << microphone << "int 65537" << "int 65536";
    QTest::newRow("microphone negative") << microphone << "int -1" << "int 65536";

    const QByteArray system = "Receivers\\AudioPlayback\\SystemVolume";
    QTest::newRow("system half") << system << "int 32768" << "int 32768";
    QTest::newRow("system too loud") << system << "int 65536" << "int 65535";
    QTest::newRow("system as Unsigned") << system << "uint 100" << "int 65535";
}

void TestDevices::numbersKeepTheirRange()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, value);
    QFETCH(QString, after);
    // A value that was taken is what a get answers afterwards.
    const bool accepted = value == after;
    QCOMPARE(Process(FEngine, KR_OP_SET, path.constData(), value).first == 0, accepted);
    QCOMPARE(Get(FEngine, path.constData()), after);
}

void TestDevices::wrongOperationsAndTypesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("value");
    QTest::newRow("set a list") << QByteArray(CamerasPath) << KR_OP_SET << "text Cam";
    QTest::newRow("run a list") << QByteArray(SpeakersPath) << KR_OP_RUN << "text Cam";
    QTest::newRow("playback device as Integer") << QByteArray(PlaybackDevicePath) << KR_OP_SET << "int 1";
    QTest::newRow("run the playback device") << QByteArray(PlaybackDevicePath) << KR_OP_RUN << "text None";
    QTest::newRow("set the inputs") << QByteArray(PinsPath) << KR_OP_SET << "int 0";
    QTest::newRow("run the standard") << QByteArray(ModePath) << KR_OP_RUN << "int 1";
    QTest::newRow("run the frame rate") << QByteArray(FpsPath) << KR_OP_RUN << "byte 5";
    QTest::newRow("run a volume") << QByteArray(MicrophoneVolumePath) << KR_OP_RUN << "int 5";
    QTest::newRow("set the level") << QByteArray(LevelPath) << KR_OP_SET << "int 5";
    QTest::newRow("meter with an Integer") << QByteArray(LevelPath) << KR_OP_RUN << "int 1";
    QTest::newRow("prepare with 1") << QByteArray("Receivers\\AudioPlayback\\PrepareAudio") << KR_OP_RUN << "byte 1";
    QTest::newRow("prepare with an Integer") << QByteArray("Receivers\\AudioPlayback\\PrepareAudio") << KR_OP_RUN << "int 0";
    QTest::newRow("page with an Integer") << QByteArray(PropertyPagePath) << KR_OP_RUN << "int 0";
    QTest::newRow("set the page") << QByteArray(PropertyPagePath) << KR_OP_SET << "bool 1";
    QTest::newRow("control with a Byte") << QByteArray(CameraControlPath) << KR_OP_RUN << "byte 1";
    QTest::newRow("test sound with True") << QByteArray(TestPlaybackPath) << KR_OP_RUN << "bool 1";
    QTest::newRow("test sound on None") << QByteArray(TestPlaybackPath) << KR_OP_RUN << "text None";
    QTest::newRow("test sound on no device") << QByteArray(TestPlaybackPath) << KR_OP_RUN << "text Nowhere";
    QTest::newRow("test volume while silent") << QByteArray(TestPlaybackPath) << KR_OP_SET << "int 100";
    QTest::newRow("run enabled devices") << QByteArray(EnabledDevicesPath) << KR_OP_RUN << "[bool 1, bool 1]";
}

void TestDevices::wrongOperationsAndTypesChangeNothing()
{
    QFETCH(QByteArray, path);
    QFETCH(int, operation);
    QFETCH(QString, value);
    QCOMPARE(KrSetVideoCapture(FEngine, TestPattern.constData()), 0);
    const QString before = Get(FEngine, path.constData());
    const auto [result, shown] = Process(FEngine, operation, path.constData(), value);
    QVERIFY(result != 0);
    QCOMPARE(shown, AsMade(value));
    QCOMPARE(Get(FEngine, path.constData()), before);
    QCOMPARE(Get(FEngine, TestPlaybackPath), QStringLiteral("bool 0"));
}

void TestDevices::enabledDevices_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("audio only") << "[bool 1, bool 0]" << true;
    QTest::newRow("video only") << "[bool 0, bool 1]" << true;
    QTest::newRow("one element") << "[bool 0]" << false;
    QTest::newRow("three elements") << "[bool 0, bool 0, bool 0]" << false;
    QTest::newRow("not Booleans") << "[int 0, bool 0]" << false;
    QTest::newRow("not an array") << "bool 0" << false;
}

void TestDevices::enabledDevices()
{
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    QCOMPARE(Get(FEngine, EnabledDevicesPath), QStringLiteral("[bool 1, bool 1]"));
    QCOMPARE(Process(FEngine, KR_OP_SET, EnabledDevicesPath, value).first == 0, accepted);
    QCOMPARE(Get(FEngine, EnabledDevicesPath), accepted ? value : QStringLiteral("[bool 1, bool 1]"));

    // An array that claims two elements but has none.
    KrVariant hollow{};
    hollow.Type = KrVtArray;
    hollow.Count = 2;
    QVERIFY(KrProcess(FEngine, KR_OP_SET, EnabledDevicesPath, &hollow) != 0);
    QCOMPARE(hollow.Value.Array, nullptr);
}

void TestDevices::microphoneLevelMovesWhileMetering()
{
    QCOMPARE(KrSetAudioCapture(FEngine, Tone.constData()), 0);
    QCOMPARE(Get(FEngine, LevelPath), QStringLiteral("int 0"));
    QCOMPARE(Process(FEngine, KR_OP_RUN, LevelPath, QStringLiteral("bool 1")).first, 0);

    // The tone swells and fades within two seconds.
    qint64 lowest = 32767;
    qint64 highest = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000) {
        TValue level;
        QCOMPARE(KrProcess(FEngine, KR_OP_GET, LevelPath, &level.V), 0);
        QCOMPARE(level.V.Type, int(KrVtInteger));
        QVERIFY(level.V.Value.Integer >= 0 && level.V.Value.Integer <= 32767);
        lowest = std::min(lowest, qint64(level.V.Value.Integer));
        highest = std::max(highest, qint64(level.V.Value.Integer));
        QTest::qWait(40);
    }
    QVERIFY2(highest > 20000 && lowest < 8000,
             qPrintable(QStringLiteral("%1..%2").arg(lowest).arg(highest)));

    // The microphone's volume scales what the meter shows.
    QCOMPARE(Process(FEngine, KR_OP_SET, MicrophoneVolumePath, QStringLiteral("int 0")).first, 0);
    QCOMPARE(Get(FEngine, LevelPath), QStringLiteral("int 0"));
    QCOMPARE(Process(FEngine, KR_OP_SET, MicrophoneVolumePath, QStringLiteral("int 65536")).first, 0);
    QTRY_VERIFY(Get(FEngine, LevelPath) != QStringLiteral("int 0"));

    // Choosing no microphone ends the metering; it cannot start again without one.
    QCOMPARE(KrSetAudioCapture(FEngine, "None"), 0);
    QCOMPARE(Get(FEngine, LevelPath), QStringLiteral("int 0"));
    QVERIFY(Process(FEngine, KR_OP_RUN, LevelPath, QStringLiteral("bool 1")).first != 0);

    QCOMPARE(KrSetAudioCapture(FEngine, Tone.constData()), 0);
    QCOMPARE(Process(FEngine, KR_OP_RUN, LevelPath, QStringLiteral("bool 1")).first, 0);
    QTRY_VERIFY(Get(FEngine, LevelPath) != QStringLiteral("int 0"));
    QCOMPARE(Process(FEngine, KR_OP_RUN, LevelPath, QStringLiteral("bool 0")).first, 0);
    QCOMPARE(Get(FEngine, LevelPath), QStringLiteral("int 0"));
}

void TestDevices::testPlaybackOnTheSilentOutput()
{
    QCOMPARE(Process(FEngine, KR_OP_RUN, "Receivers\\AudioPlayback\\PrepareAudio",
                     QStringLiteral("byte 0"))
                 .first,
             0);
    QCOMPARE(Process(FEngine, KR_OP_RUN, TestPlaybackPath, QStringLiteral("text silent output")).first, 0);
    QCOMPARE(Get(FEngine, TestPlaybackPath), QStringLiteral("bool 1"));
    QCOMPARE(Process(FEngine, KR_OP_SET, TestPlaybackPath, QStringLiteral("int 1000")).first, 0);
    QVERIFY(Process(FEngine, KR_OP_SET, TestPlaybackPath, QStringLiteral("int 65536")).first != 0);
    QCOMPARE(Process(FEngine, KR_OP_RUN, TestPlaybackPath, QStringLiteral("bool 0")).first, 0);
    QCOMPARE(Get(FEngine, TestPlaybackPath), QStringLiteral("bool 0"));
    // Stopping what does not run is no error.
    QCOMPARE(Process(FEngine, KR_OP_RUN, TestPlaybackPath, QStringLiteral("bool 0")).first, 0);
    QVERIFY(Process(FEngine, KR_OP_SET, TestPlaybackPath, QStringLiteral("int 1000")).first != 0);
}

void TestDevices::cameraControlPausesTheCamera()
{
    QCOMPARE(KrSetVideoCapture(FEngine, TestPattern.constData()), 0);
    QCOMPARE(Get(FEngine, CameraControlPath), QStringLiteral("bool 1"));
    QCOMPARE(Process(FEngine, KR_OP_RUN, CameraControlPath, QStringLiteral("bool 0")).first, 0);
    QCOMPARE(Get(FEngine, CameraControlPath), QStringLiteral("bool 0"));
    QCOMPARE(Process(FEngine, KR_OP_RUN, CameraControlPath, QStringLiteral("bool 1")).first, 0);
    QCOMPARE(Get(FEngine, CameraControlPath), QStringLiteral("bool 1"));

    QCOMPARE(KrSetVideoCapture(FEngine, "None"), 0);
    QVERIFY(Process(FEngine, KR_OP_RUN, CameraControlPath, QStringLiteral("bool 0")).first != 0);
}

void TestDevices::propertyPageOpensAndKeepsItsSettings()
{
    QCOMPARE(KrSetVideoCapture(FEngine, "None"), 0);
    QCOMPARE(Get(FEngine, PropertyPagePath), QStringLiteral("bool 0"));
    QVERIFY(Process(FEngine, KR_OP_RUN, PropertyPagePath, QStringLiteral("uint 0")).first != 0);

    QCOMPARE(KrSetVideoCapture(FEngine, TestPattern.constData()), 0);
    QCOMPARE(Get(FEngine, PropertyPagePath), QStringLiteral("bool 1"));

    // Changed and accepted ...
    QString title;
    WhenModal([&](QWidget* Page) {
        title = Page->windowTitle();
        Page->findChild<QSlider*>(QStringLiteral("Brightness"))->setValue(40);
        Page->findChild<QSlider*>(QStringLiteral("Speed"))->setValue(9);
        qobject_cast<QDialog*>(Page)->accept();
    });
    QCOMPARE(Process(FEngine, KR_OP_RUN, PropertyPagePath, QStringLiteral("uint 0x12345")).first, 0);
    QVERIFY(title.contains(QString::fromLatin1(TestPattern)));

    // ... the next opening shows what was kept; then changed and cancelled.
    int brightness = 0;
    int speed = 0;
    WhenModal([&](QWidget* Page) {
        brightness = Page->findChild<QSlider*>(QStringLiteral("Brightness"))->value();
        speed = Page->findChild<QSlider*>(QStringLiteral("Speed"))->value();
        Page->findChild<QSlider*>(QStringLiteral("Brightness"))->setValue(-80);
        Page->close();
    });
    QCOMPARE(Process(FEngine, KR_OP_RUN, PropertyPagePath, QStringLiteral("uint 0")).first, 0);
    QCOMPARE(brightness, 40);
    QCOMPARE(speed, 9);

    WhenModal([&](QWidget* Page) {
        brightness = Page->findChild<QSlider*>(QStringLiteral("Brightness"))->value();
        qobject_cast<QDialog*>(Page)->reject();
    });
    QCOMPARE(Process(FEngine, KR_OP_RUN, PropertyPagePath, QStringLiteral("uint 0")).first, 0);
    QCOMPARE(brightness, 40);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

// ---- The built-in camera as the sender sees it ----------------------------------

void TestDevices::patternCameraDeliversAtItsFrameRate_data()
{
    QTest::addColumn<int>("fps");
    QTest::newRow("5") << 5;
    QTest::newRow("15") << 15;
    QTest::newRow("30") << 30;
}

void TestDevices::patternCameraDeliversAtItsFrameRate()
{
    QFETCH(int, fps);
    TTestPatternCamera camera;
    std::vector<QImage> frames;
    camera.SetFrameCallback([&](const QImage& Frame) { frames.push_back(Frame); });
    QTest::qWait(200);
    QVERIFY(frames.empty()); // nothing before Start
    QVERIFY(camera.LatestFrame().isNull());

    QVERIFY(camera.Start(fps));
    QTest::qWait(1000);
    const int taken = int(frames.size());
    QVERIFY2(taken >= fps * 6 / 10 && taken <= fps + 2, qPrintable(QString::number(taken)));
    QCOMPARE(frames.back().size(), QSize(640, 480));
    QCOMPARE(camera.LatestFrame().size(), QSize(640, 480));

    camera.Stop();
    frames.clear();
    QTest::qWait(300);
    QVERIFY(frames.empty());
    QVERIFY(camera.LatestFrame().isNull());
}

void TestDevices::patternCameraFollowsItsSettings()
{
    TTestPatternCamera camera;
    int frames = 0;
    camera.SetFrameCallback([&](const QImage&) { ++frames; });
    QVERIFY(camera.Start(30));
    QTRY_VERIFY(!camera.LatestFrame().isNull());
    const QImage first = camera.LatestFrame();

    // The sweep moves: the bars area changes over time.
    camera.SetSpeed(10);
    QTRY_VERIFY(camera.LatestFrame().copy(0, 0, 640, 320) != first.copy(0, 0, 640, 320));

    // Other standards have other sizes; only supported single standards are taken.
    QVERIFY(camera.SetStandard(TTestPatternCamera::PalB));
    QTRY_COMPARE(camera.LatestFrame().size(), QSize(768, 576));
    QVERIFY(!camera.SetStandard(0x20));
    QVERIFY(!camera.SetStandard(TTestPatternCamera::PalB | TTestPatternCamera::NtscM));
    QCOMPARE(camera.Standard(), TTestPatternCamera::PalB);

    // Brighter bars: the first bar's colour rises.
    camera.SetSpeed(0); // the sweep parks out of sight
    const int seen = frames;
    QTRY_VERIFY(frames > seen);
    const int before = qRed(camera.LatestFrame().pixel(2, 2));
    camera.SetBrightness(100);
    QTRY_VERIFY(qRed(camera.LatestFrame().pixel(2, 2)) > before);
    // The input shows in the lower part of the picture.
    const QRgb composite = camera.LatestFrame().pixel(2, 560);
    QVERIFY(camera.SetInput(1));
    QTRY_VERIFY(camera.LatestFrame().pixel(2, 560) != composite);
    QVERIFY(!camera.SetInput(2));

    // Paused, nothing comes and the last picture stays.
    camera.SetPaused(true);
    QTest::qWait(50);
    frames = 0;
    QTest::qWait(300);
    QCOMPARE(frames, 0);
    QVERIFY(!camera.LatestFrame().isNull());
    camera.SetPaused(false);
    QTRY_VERIFY(frames > 0);
}

QTEST_MAIN(TestDevices)
#include "tst_devices.moc"
