#include "KrCoreFixture.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <QtEndian>
#include <limits>

namespace {

const QByteArray CamerasPath = QByteArrayLiteral("Sender\\VideoCapture\\Cameras");
const QByteArray MicrophonesPath = QByteArrayLiteral("Sender\\CaptureAudio\\AudioCaptureList");
const QByteArray RenderersPath = QByteArrayLiteral("Receivers\\AudioPlayback\\AudioRenderList");
const QByteArray PlaybackDevicePath = QByteArrayLiteral("Receivers\\PlaybackDevice");
const QByteArray CameraPinsPath = QByteArrayLiteral("Sender\\VideoCapture\\CameraPins");
const QByteArray CameraModePath = QByteArrayLiteral("Sender\\VideoCapture\\CameraMode");
const QByteArray CameraFPSPath = QByteArrayLiteral("Sender\\VideoCapture\\CameraFPS");
const QByteArray FPSRatePath = QByteArrayLiteral("Sender\\FPSRate");
const QByteArray MicrophoneVolumePath = QByteArrayLiteral("Sender\\CaptureAudio\\MicrophoneVolume");
const QByteArray SystemVolumePath = QByteArrayLiteral("Receivers\\AudioPlayback\\SystemVolume");
const QByteArray TestPlaybackPath = QByteArrayLiteral("Receivers\\AudioPlayback\\TestPlayback");
const QByteArray PrepareAudioPath = QByteArrayLiteral("Receivers\\AudioPlayback\\PrepareAudio");
const QByteArray MicrophoneLevelPath = QByteArrayLiteral("Sender\\CaptureAudio\\MicrophoneLevel");
const QByteArray PropertyPagePath = QByteArrayLiteral("Sender\\VideoCapture\\CameraPropertyPage");
const QByteArray CameraControlPath = QByteArrayLiteral("Sender\\VideoCapture\\CameraControl");
const QByteArray EnabledDevicesPath = QByteArrayLiteral("Sender\\EnabledDevices");
const QByteArray VideoQualityPath = QByteArrayLiteral("Sender\\VideoQuality");
const QByteArray OwnImagePath = QByteArrayLiteral("Sender\\Render\\GetImage");

constexpr int CameraInputs = 3;

QVariant Int(qint64 Value)
{
    return QVariant::fromValue<qint64>(Value);
}

QVariant Texts(const QByteArrayList& Names)
{
    QVariantList list;
    for (const QByteArray& name : Names)
        list << name;
    return list;
}

const QVariant ThreeInputs = Texts({"Composite", "S-Video", "Tuner"});

// A value as the engine saw it, with its kind: "int 5", "uint 5", "byte 5",
// "bool true", "text Cam", "[...]" or "empty".
QString Shown(const QVariant& Value)
{
    switch (Value.typeId()) {
    case QMetaType::LongLong:
        return QStringLiteral("int %1").arg(Value.toLongLong());
    case QMetaType::ULongLong:
        return QStringLiteral("uint %1").arg(Value.toULongLong());
    case QMetaType::UChar:
        return QStringLiteral("byte %1").arg(Value.value<quint8>());
    case QMetaType::Bool:
        return Value.toBool() ? QStringLiteral("bool true") : QStringLiteral("bool false");
    case QMetaType::QByteArray:
        return QStringLiteral("text ") + QString::fromUtf8(Value.toByteArray());
    case QMetaType::QVariantList: {
        QStringList elements;
        for (const QVariant& element : Value.toList())
            elements << Shown(element);
        return QLatin1Char('[') + elements.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    default:
        return QStringLiteral("empty");
    }
}

// The values the component passed with Operation at Path, call by call.
QStringList Passed(const QByteArray& Path, int32_t Operation)
{
    QStringList values;
    for (const TFakeCall& call : TOrvantaFake::ProcessCalls(Path, Operation))
        values << Shown(call.Value());
    return values;
}

QByteArray FlagsBlock(int VideoChannel, quint32 VideoStandard)
{
    QByteArray block(KR_FLAGS_BLOCK_SIZE, '\0');
    qToLittleEndian<qint32>(VideoChannel, block.data() + 52);
    qToLittleEndian<quint32>(VideoStandard, block.data() + 56);
    qToLittleEndian<qint32>(15, block.data() + 76);
    return block;
}

// Reads the device lists with the named devices current, then forgets the
// script and the calls. An empty list is reported as missing.
void ListDevices(TKrCore& Core, const QByteArrayList& Cameras, const QByteArrayList& Microphones,
                 const QByteArrayList& Renderers, const QByteArray& Camera = {},
                 const QByteArray& Microphone = {}, const QByteArray& Renderer = {})
{
    TOrvantaFake::SetResult("KrUpdateDeviceList", (Microphones.isEmpty() ? 0x1 : 0) |
                                                      (Cameras.isEmpty() ? 0x2 : 0) |
                                                      (Renderers.isEmpty() ? 0x4 : 0));
    TOrvantaFake::SetProcess(KR_OP_GET, CamerasPath, 0, Texts(Cameras));
    TOrvantaFake::SetProcess(KR_OP_GET, MicrophonesPath, 0, Texts(Microphones));
    TOrvantaFake::SetProcess(KR_OP_GET, RenderersPath, 0, Texts(Renderers));
    TOrvantaFake::SetTexts("KrGetCurrentVideoCapture", {Camera});
    TOrvantaFake::SetTexts("KrGetCurrentAudioCapture", {Microphone});
    TOrvantaFake::SetProcess(KR_OP_GET, PlaybackDevicePath, 0, Renderer);
    Core.UpdateDeviceLists();
    TOrvantaFake::Reset();
}

// Starts the sender on camera "Cam A" whose inputs and standards the engine
// answers as given, then forgets the script and the calls.
void StartCamera(TKrCore& Core, qint64 Standards, const QVariant& Inputs = ThreeInputs)
{
    ListDevices(Core, {"Cam A"}, {}, {}, "Cam A");
    TOrvantaFake::SetProcess(KR_OP_GET, CameraPinsPath, 0, Inputs);
    TOrvantaFake::SetProcess(KR_OP_GET, CameraModePath, 0, Int(Standards));
    TFakePanel panel;
    Core.StartSender(&panel, 320, 240, 8000);
    TOrvantaFake::Reset();
}

intptr_t RenderStub(KrWindow, uint32_t, intptr_t, intptr_t)
{
    return 0;
}

// A picture the engine hands over: per pixel blue, green, red and a byte to
// ignore; the buffer's first row is the picture's lowest.
constexpr quint8 PictureRed = 0x5A;

void PaintEngineBuffer(uchar* Buffer, int Width, int Height)
{
    for (int row = 0; row < Height; ++row)
        for (int x = 0; x < Width; ++x) {
            uchar* pixel = Buffer + (qsizetype(row) * Width + x) * 4;
            pixel[0] = uchar(x);
            pixel[1] = uchar(row);
            pixel[2] = PictureRed;
            pixel[3] = 0xC3;
        }
}

QImage ExpectedPicture(int Width, int Height)
{
    QImage picture(Width, Height, QImage::Format_RGB32);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            picture.setPixel(x, y, qRgb(PictureRed, (Height - 1 - y) & 0xFF, x & 0xFF));
    return picture;
}

// Answers a picture request like the engine: fills the buffer whose address
// the request carries, sized by its "small" flag.
TFakeProcessHandler PictureAnswer(int32_t Result)
{
    return [Result](KrVariant* Value) -> int32_t {
        if (!Value || Value->Type != KrVtArray || Value->Count != 2 ||
            Value->Value.Array[0].Type != KrVtInteger || Value->Value.Array[1].Type != KrVtBoolean)
            return -1;
        const bool small = Value->Value.Array[1].Value.Boolean != 0;
        auto* buffer = reinterpret_cast<uchar*>(intptr_t(Value->Value.Array[0].Value.Integer));
        PaintEngineBuffer(buffer, small ? 160 : 320, small ? 120 : 240);
        return Result;
    };
}

} // namespace

class TestKrCoreDevices : public QObject
{
    Q_OBJECT
private slots:
    void deviceLists_data();
    void deviceLists();
    void chosenDevicesReachTheEngine_data();
    void chosenDevicesReachTheEngine();

    void senderWithoutCamera();
    void cameraSetUp_data();
    void cameraSetUp();
    void unsupportedStandardIsForgotten();
    void cameraPropertyPage_data();
    void cameraPropertyPage();
    void stopSenderReleasesCaptureAndMeter();

    void videoStandards_data();
    void videoStandards();
    void chooseVideoStandard_data();
    void chooseVideoStandard();
    void chooseVideoInput_data();
    void chooseVideoInput();

    void volumeConversions_data();
    void volumeConversions();
    void testPlaybackFollowsThePlayVolume_data();
    void testPlaybackFollowsThePlayVolume();
    void micLevel_data();
    void micLevel();

    void frameRate_data();
    void frameRate();
    void fpsRate_data();
    void fpsRate();
    void pause_data();
    void pause();
    void sendFlagsGoTogether();
    void commandValueKinds();

    void netQuality_data();
    void netQuality();
    void videoImage_data();
    void videoImage();
    void snapshotSource_data();
    void snapshotSource();

    void notInitialisedDoesNothing();
    void applyDevicesWorksWithoutInitialisation();
};

// ---- Device lists ----------------------------------------------------------------

void TestKrCoreDevices::deviceLists_data()
{
    QTest::addColumn<int>("kind"); // 0 cameras, 1 microphones, 2 playback
    QTest::addColumn<int>("missing");
    QTest::addColumn<int>("result");
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("index");

    const QStringList none = {"None"};
    QTest::newRow("cameras, current in other case")
        << 0 << 0 << 0 << Texts({"Cam A", "Cam B"}) << QByteArray("cam b")
        << QStringList{"None", "Cam A", "Cam B"} << 2;
    QTest::newRow("current camera not listed selects none")
        << 0 << 0 << 0 << Texts({"Cam A"}) << QByteArray("Gone") << QStringList{"None", "Cam A"}
        << 0;
    QTest::newRow("no cameras") << 0 << 0x3 << 0 << Texts({"Cam A"}) << QByteArray("Cam A") << none
                                << 0;
    QTest::newRow("camera answer not an array")
        << 0 << 0 << 0 << QVariant(QByteArray("Cam A")) << QByteArray("Cam A") << none << 0;
    QTest::newRow("camera list stops at a non-text")
        << 0 << 0 << 0 << QVariant(QVariantList{QByteArray("Cam A"), Int(7), QByteArray("Cam C")})
        << QByteArray("Cam C") << QStringList{"None", "Cam A"} << 0;
    QTest::newRow("camera query fails")
        << 0 << 0 << -1 << Texts({"Cam A"}) << QByteArray("Cam A") << none << 0;
    QTest::newRow("microphones") << 1 << 0x6 << 0 << Texts({"Mic 1", "Mic 2"})
                                 << QByteArray("MIC 1") << QStringList{"None", "Mic 1", "Mic 2"}
                                 << 1;
    QTest::newRow("no microphones")
        << 1 << 0x1 << 0 << Texts({"Mic 1"}) << QByteArray("Mic 1") << none << 0;
    QTest::newRow("playback device")
        << 2 << 0 << 0 << Texts({"Speakers", "Headset"}) << QByteArray("headset")
        << QStringList{"None", "Speakers", "Headset"} << 2;
    QTest::newRow("playback device not listed")
        << 2 << 0 << 0 << Texts({"Speakers"}) << QByteArray("Gone")
        << QStringList{"None", "Speakers"} << 0;
    QTest::newRow("no playback devices")
        << 2 << 0x4 << 0 << Texts({"Speakers"}) << QByteArray("Speakers") << none << 0;
}

void TestKrCoreDevices::deviceLists()
{
    QFETCH(int, kind);
    QFETCH(int, missing);
    QFETCH(int, result);
    QFETCH(QVariant, answer);
    QFETCH(QByteArray, current);
    QFETCH(QStringList, expected);
    QFETCH(int, index);

    TKrCoreFixture f;
    f.Start();
    const QByteArray paths[] = {CamerasPath, MicrophonesPath, RenderersPath};
    TOrvantaFake::SetResult("KrUpdateDeviceList", missing);
    TOrvantaFake::SetProcess(KR_OP_GET, paths[kind], result, answer);
    if (kind == 0)
        TOrvantaFake::SetTexts("KrGetCurrentVideoCapture", {current});
    else if (kind == 1)
        TOrvantaFake::SetTexts("KrGetCurrentAudioCapture", {current});
    else
        TOrvantaFake::SetProcess(KR_OP_GET, PlaybackDevicePath, 0, current);

    f.Core->UpdateDeviceLists();

    const QStringList lists[] = {f.Core->VideoCaptureDevices(), f.Core->AudioCaptureDevices(),
                                 f.Core->AudioRenderDevices()};
    const int indexes[] = {f.Core->CurrentVideoCapture(), f.Core->CurrentAudioCapture(),
                           f.Core->CurrentAudioRender()};
    QCOMPARE(lists[kind], expected);
    QCOMPARE(indexes[kind], index);
    const int bit[] = {0x2, 0x1, 0x4};
    if (missing & bit[kind])
        QVERIFY(TOrvantaFake::ProcessCalls(paths[kind]).isEmpty());
    // The engine is told the playback device the list now chooses.
    const QString renderer = kind == 2 ? expected.at(index) : QStringLiteral("None");
    QCOMPARE(Passed(PlaybackDevicePath, KR_OP_SET),
             QStringList{QStringLiteral("text ") + renderer});
}

void TestKrCoreDevices::chosenDevicesReachTheEngine_data()
{
    QTest::addColumn<int>("camera");
    QTest::addColumn<int>("microphone");
    QTest::addColumn<int>("renderer");
    QTest::addColumn<QByteArray>("cameraName");
    QTest::addColumn<QByteArray>("microphoneName");
    QTest::addColumn<QString>("rendererName");

    QTest::newRow("chosen devices")
        << 2 << 1 << 2 << QByteArray("Cam B") << QByteArray("Mic 1") << QStringLiteral("Headset");
    QTest::newRow("index 0 is None")
        << 0 << 0 << 0 << QByteArray("None") << QByteArray("None") << QStringLiteral("None");
    QTest::newRow("index outside the list is None")
        << 5 << -1 << 3 << QByteArray("None") << QByteArray("None") << QStringLiteral("None");
}

// Choosing a playback device tells the engine at once; all three are handed
// back when the component is released.
void TestKrCoreDevices::chosenDevicesReachTheEngine()
{
    QFETCH(int, camera);
    QFETCH(int, microphone);
    QFETCH(int, renderer);
    QFETCH(QByteArray, cameraName);
    QFETCH(QByteArray, microphoneName);
    QFETCH(QString, rendererName);

    TKrCoreFixture f;
    f.Start();
    ListDevices(*f.Core, {"Cam A", "Cam B"}, {"Mic 1"}, {"Speakers", "Headset"});
    f.Core->SetCurrentVideoCapture(camera);
    f.Core->SetCurrentAudioCapture(microphone);
    f.Core->SetCurrentAudioRender(renderer);
    QCOMPARE(f.Core->CurrentAudioRender(), renderer);
    QCOMPARE(Passed(PlaybackDevicePath, KR_OP_SET), QStringList{"text " + rendererName});
    TOrvantaFake::Reset();

    f.Core->Release();

    QCOMPARE(Passed(PlaybackDevicePath, KR_OP_SET), QStringList{"text " + rendererName});
    const QList<TFakeCall> audio = TOrvantaFake::Calls("KrSetAudioCapture");
    const QList<TFakeCall> video = TOrvantaFake::Calls("KrSetVideoCapture");
    QCOMPARE(audio.size(), 1);
    QCOMPARE(video.size(), 1);
    QCOMPARE(audio.first().Args.value(1).toByteArray(), microphoneName);
    QCOMPARE(video.first().Args.value(1).toByteArray(), cameraName);
}

// ---- The sender ---------------------------------------------------------------------

void TestKrCoreDevices::senderWithoutCamera()
{
    TKrCoreFixture f;
    f.Start();
    ListDevices(*f.Core, {}, {"Mic 1"}, {"Speakers"}, {}, "Mic 1", "Speakers");
    QCOMPARE(f.Core->VideoCaptureDevices(), QStringList{"None"});
    QCOMPARE(f.Core->CurrentVideoCapture(), 0);
    TOrvantaFake::SetSenderRender(&RenderStub, 0x55);
    TOrvantaFake::SetResult("KrStartSender", 0x4);
    TOrvantaFake::SetProcess(KR_OP_GET, PropertyPagePath, 0, true);
    TFakePanel panel;

    QCOMPARE(f.Core->StartSender(&panel, 320, 240, 16000), 0x4);

    const QList<TFakeCall> starts = TOrvantaFake::Calls("KrStartSender");
    QCOMPARE(starts.size(), 1);
    const QVariantList& args = starts.first().Args;
    QCOMPARE(args.value(1).toByteArray(), QByteArray("Mic 1"));
    QVERIFY(args.value(2).toByteArray().isNull());
    QCOMPARE(args.value(3).toLongLong(), qint64(panel.WindowHandle()));
    QCOMPARE(args.value(6).toInt(), 320);
    QCOMPARE(args.value(7).toInt(), 240);
    QCOMPARE(args.value(8).toInt(), 16000);
    QVERIFY(TOrvantaFake::ProcessCalls(CameraPinsPath).isEmpty());
    QVERIFY(TOrvantaFake::ProcessCalls(CameraModePath).isEmpty());

    QCOMPARE(panel.Log, (QStringList{"stop", "proc"}));
    QVERIFY(panel.RenderProc() == &RenderStub);
    QCOMPARE(panel.RenderInstance(), intptr_t(0x55));
    QCOMPARE(Passed(MicrophoneLevelPath, KR_OP_RUN), QStringList{"bool true"});
    QCOMPARE(Passed(PropertyPagePath, KR_OP_GET), QStringList{"bool false"});
    QVERIFY(f.Core->VideoProperty());
    QVERIFY(f.Core->VideoMode().isEmpty());
    QVERIFY(f.Core->VideoChannel().isEmpty());
}

void TestKrCoreDevices::cameraSetUp_data()
{
    QTest::addColumn<quint32>("keptStandard");
    QTest::addColumn<int>("keptChannel");
    QTest::addColumn<int>("senderResult");
    QTest::addColumn<int>("pinsResult");
    QTest::addColumn<QVariant>("pins");
    QTest::addColumn<QVariant>("modes"); // invalid: the query fails
    QTest::addColumn<QStringList>("channels");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QStringList>("pinsRun");
    QTest::addColumn<QStringList>("videoModes");
    QTest::addColumn<QStringList>("modeSet");
    QTest::addColumn<int>("currentMode");

    const QStringList three = {"Composite", "S-Video", "Tuner"};
    QTest::newRow("engine's input wins, kept standard set")
        << 0x10u << 0 << 0 << (2 << 16) << ThreeInputs << Int(0x1 | 0x10 | 0x40 | 0x1000) << three
        << 2 << QStringList{"int 2"} << QStringList{"NTSC M", "PAL B", "SECAM B"}
        << QStringList{"uint 16"} << 1;
    QTest::newRow("kept input above the engine's stays")
        << 0x10u << 2 << 0 << (1 << 16) << ThreeInputs << Int(0x10) << three << 2
        << QStringList{"int 2"} << QStringList{"PAL B"} << QStringList{"uint 16"} << 0;
    QTest::newRow("kept input beyond the inputs takes the engine's")
        << 0x10u << 5 << 0 << (1 << 16) << ThreeInputs << Int(0x10) << three << 1
        << QStringList{"int 1"} << QStringList{"PAL B"} << QStringList{"uint 16"} << 0;
    QTest::newRow("kept input at the count stays")
        << 0x10u << CameraInputs << 0 << (1 << 16) << ThreeInputs << Int(0x10) << three
        << CameraInputs << QStringList{"empty"} << QStringList{"PAL B"} << QStringList{"uint 16"}
        << 0;
    QTest::newRow("single input is not listed")
        << 0u << 0 << 0 << 0 << Texts({"Camera"}) << Int(0x1) << QStringList{} << 0
        << QStringList{"empty"} << QStringList{"NTSC M"} << QStringList{} << 0;
    QTest::newRow("kept standard not supported")
        << 0x10u << 0 << 0 << 0 << ThreeInputs << Int(0x3) << three << 0 << QStringList{"int 0"}
        << QStringList{"NTSC M", "NTSC M J"} << QStringList{} << 0;
    QTest::newRow("inputs not an array")
        << 0x10u << 0 << 0 << 0 << QVariant(QByteArray("Composite")) << Int(0x10) << QStringList{}
        << 0 << QStringList{"empty"} << QStringList{"PAL B"} << QStringList{} << 0;
    QTest::newRow("input list stops at a non-text")
        << 0u << 0 << 0 << 0
        << QVariant(QVariantList{QByteArray("Composite"), Int(3), QByteArray("Tuner")}) << Int(0x1)
        << QStringList{"Composite"} << 0 << QStringList{"int 0"} << QStringList{"NTSC M"}
        << QStringList{} << 0;
    QTest::newRow("standards query fails")
        << 0x10u << 0 << 0 << 0 << ThreeInputs << QVariant() << three << 0 << QStringList{"int 0"}
        << QStringList{} << QStringList{} << 0;
    QTest::newRow("standards answer not a number")
        << 0x10u << 0 << 0 << 0 << ThreeInputs << QVariant(QByteArray("PAL B")) << three << 0
        << QStringList{"int 0"} << QStringList{} << QStringList{} << 0;
    QTest::newRow("camera failed to start")
        << 0x10u << 1 << 0x1 << 0 << ThreeInputs << Int(0x10) << QStringList{} << 1 << QStringList{}
        << QStringList{} << QStringList{} << 0;
}

void TestKrCoreDevices::cameraSetUp()
{
    QFETCH(quint32, keptStandard);
    QFETCH(int, keptChannel);
    QFETCH(int, senderResult);
    QFETCH(int, pinsResult);
    QFETCH(QVariant, pins);
    QFETCH(QVariant, modes);
    QFETCH(QStringList, channels);
    QFETCH(int, channel);
    QFETCH(QStringList, pinsRun);
    QFETCH(QStringList, videoModes);
    QFETCH(QStringList, modeSet);
    QFETCH(int, currentMode);

    TKrCoreFixture f;
    TOrvantaFake::SetFlags(FlagsBlock(keptChannel, keptStandard));
    f.Start();
    ListDevices(*f.Core, {"Cam A"}, {}, {}, "Cam A");
    TOrvantaFake::SetResult("KrStartSender", senderResult);
    TOrvantaFake::SetProcess(KR_OP_GET, CameraPinsPath, pinsResult, pins);
    if (modes.isValid())
        TOrvantaFake::SetProcess(KR_OP_GET, CameraModePath, 0, modes);
    else
        TOrvantaFake::SetProcess(KR_OP_GET, CameraModePath, -1);
    TFakePanel panel;

    QCOMPARE(f.Core->StartSender(&panel, 320, 240, 8000), senderResult);

    const QList<TFakeCall> starts = TOrvantaFake::Calls("KrStartSender");
    QCOMPARE(starts.size(), 1);
    QCOMPARE(starts.first().Args.value(2).toByteArray(), QByteArray("Cam A"));
    QVERIFY(starts.first().Args.value(1).toByteArray().isNull());
    QCOMPARE(TOrvantaFake::ProcessCalls(CameraPinsPath, KR_OP_GET).isEmpty(), senderResult & 0x1);
    QCOMPARE(f.Core->VideoChannel(), channels);
    QCOMPARE(f.Core->CurrentVideoChannel(), channel);
    QCOMPARE(Passed(CameraPinsPath, KR_OP_RUN), pinsRun);
    QCOMPARE(f.Core->VideoMode(), videoModes);
    QCOMPARE(Passed(CameraModePath, KR_OP_SET), modeSet);
    QCOMPARE(f.Core->CurrentVideoMode(), currentMode);
    QCOMPARE(panel.Log, (QStringList{"stop", "proc"}));
}

// The standard a camera cannot show is dropped, not kept for the next one.
void TestKrCoreDevices::unsupportedStandardIsForgotten()
{
    TKrCoreFixture f;
    TOrvantaFake::SetFlags(FlagsBlock(0, 0x10)); // PAL B
    f.Start();

    StartCamera(*f.Core, 0x3);
    StartCamera(*f.Core, 0x13);
    QCOMPARE(f.Core->VideoMode(), (QStringList{"NTSC M", "NTSC M J", "PAL B"}));
    QCOMPARE(f.Core->CurrentVideoMode(), 0);

    f.Core->Release();
    const QList<TFakeCall> flags = TOrvantaFake::Calls("KrSetFlags");
    QCOMPARE(flags.size(), 1);
    QCOMPARE(qFromLittleEndian<quint32>(flags.first().Args.value(1).toByteArray().constData() + 56),
             0u);
}

void TestKrCoreDevices::cameraPropertyPage_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<bool>("expected");

    QTest::newRow("camera has a page") << 0 << QVariant(true) << true;
    QTest::newRow("camera has none") << 0 << QVariant(false) << false;
    QTest::newRow("query fails") << -1 << QVariant(true) << false;
    QTest::newRow("answer not a Boolean keeps the last") << 0 << QVariant(QByteArray("no")) << true;
}

void TestKrCoreDevices::cameraPropertyPage()
{
    QFETCH(int, result);
    QFETCH(QVariant, answer);
    QFETCH(bool, expected);

    TKrCoreFixture f;
    f.Start();
    TFakePanel panel;
    TOrvantaFake::SetProcess(KR_OP_GET, PropertyPagePath, 0, true);
    f.Core->StartSender(&panel, 320, 240, 8000);
    QVERIFY(f.Core->VideoProperty());

    TOrvantaFake::SetProcess(KR_OP_GET, PropertyPagePath, result, answer);
    f.Core->StartSender(&panel, 320, 240, 8000);
    QCOMPARE(f.Core->VideoProperty(), expected);
}

void TestKrCoreDevices::stopSenderReleasesCaptureAndMeter()
{
    TKrCoreFixture f;
    f.Start();
    TFakePanel panel;
    f.Core->StartSender(&panel, 320, 240, 8000);
    TOrvantaFake::SetProcess(KR_OP_GET, MicrophoneLevelPath, 0, Int(32767));
    QCOMPARE(f.Core->MicLevel(), 99);
    TOrvantaFake::SetProcess(KR_OP_RUN, CameraControlPath, 0);
    f.Core->SetPause(true);
    QVERIFY(f.Core->Pause());
    TOrvantaFake::Reset();
    panel.Log.clear();

    f.Core->StopSender(&panel);

    QCOMPARE(panel.Log, QStringList{"stop"});
    QCOMPARE(Passed(MicrophoneLevelPath, KR_OP_RUN), QStringList{"bool false"});
    QCOMPARE(TOrvantaFake::Calls("KrStopSender").size(), 1);
    QVERIFY(!f.Core->Pause());
    // The meter starts from nothing again instead of falling from the old level.
    TOrvantaFake::SetProcess(KR_OP_GET, MicrophoneLevelPath, 0, Int(1));
    QCOMPARE(f.Core->MicLevel(), 0);
}

// ---- Video standards and inputs ---------------------------------------------------------

void TestKrCoreDevices::videoStandards_data()
{
    QTest::addColumn<qint64>("standards");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("lastSet"); // choosing the last name

    const QList<std::pair<qint64, const char*>> rows = {
        {0x1, "NTSC M"},      {0x2, "NTSC M J"},    {0x4, "NTSC 433"},    {0x10, "PAL B"},
        {0x20, "PAL D"},      {0x80, "PAL H"},      {0x100, "PAL I"},     {0x200, "PAL M"},
        {0x400, "PAL N"},     {0x800, "PAL 60"},    {0x1000, "SECAM B"},  {0x2000, "SECAM D"},
        {0x4000, "SECAM G"},  {0x8000, "SECAM H"},  {0x10000, "SECAM K"}, {0x20000, "SECAM K1"},
        {0x40000, "SECAM L"}, {0x80000, "SECAM L1"}};
    QStringList all;
    for (const auto& [code, name] : rows) {
        QTest::newRow(name) << code << QStringList{QString::fromLatin1(name)}
                            << QStringList{QStringLiteral("uint %1").arg(code)};
        all << QString::fromLatin1(name);
    }
    QTest::newRow("PAL G has no row") << qint64(0x40) << QStringList{} << QStringList{};
    QTest::newRow("every standard, in order")
        << qint64(0xFFFFF) << all << QStringList{QStringLiteral("uint 524288")};
}

// What the camera reports lists the standards by name; choosing one sends its code.
void TestKrCoreDevices::videoStandards()
{
    QFETCH(qint64, standards);
    QFETCH(QStringList, names);
    QFETCH(QStringList, lastSet);

    TKrCoreFixture f;
    f.Start();
    StartCamera(*f.Core, standards);
    QCOMPARE(f.Core->VideoMode(), names);

    TOrvantaFake::SetProcess(KR_OP_GET, CameraModePath, 0, Int(standards));
    const int last = int(names.size()) - 1;
    f.Core->SetCurrentVideoMode(last);
    QCOMPARE(Passed(CameraModePath, KR_OP_SET), lastSet);
    QCOMPARE(f.Core->CurrentVideoMode(), std::max(last, 0));
}

void TestKrCoreDevices::chooseVideoStandard_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("result");
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QStringList>("set");
    QTest::addColumn<int>("current");

    // The camera lists NTSC M, PAL B, SECAM B.
    QTest::newRow("supported") << 2 << 0 << Int(0x1011) << true << QStringList{"uint 4096"} << 2;
    QTest::newRow("camera no longer supports it, still chosen")
        << 2 << 0 << Int(0x1) << true << QStringList{} << 2;
    QTest::newRow("query fails, still chosen")
        << 1 << -1 << Int(0x1011) << true << QStringList{} << 1;
    QTest::newRow("answer not a number, still chosen")
        << 1 << 0 << QVariant(QByteArray("PAL B")) << true << QStringList{} << 1;
    QTest::newRow("index past the list") << 3 << 0 << Int(0x1011) << false << QStringList{} << 0;
    QTest::newRow("negative index") << -1 << 0 << Int(0x1011) << false << QStringList{} << 0;
}

void TestKrCoreDevices::chooseVideoStandard()
{
    QFETCH(int, index);
    QFETCH(int, result);
    QFETCH(QVariant, answer);
    QFETCH(bool, asked);
    QFETCH(QStringList, set);
    QFETCH(int, current);

    TKrCoreFixture f;
    f.Start();
    StartCamera(*f.Core, 0x1011);
    QCOMPARE(f.Core->VideoMode(), (QStringList{"NTSC M", "PAL B", "SECAM B"}));
    TOrvantaFake::SetProcess(KR_OP_GET, CameraModePath, result, answer);

    f.Core->SetCurrentVideoMode(index);

    QCOMPARE(!TOrvantaFake::ProcessCalls(CameraModePath, KR_OP_GET).isEmpty(), asked);
    QCOMPARE(Passed(CameraModePath, KR_OP_SET), set);
    QCOMPARE(f.Core->CurrentVideoMode(), current);
}

void TestKrCoreDevices::chooseVideoInput_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("run");

    QTest::newRow("listed input") << 1 << QStringList{"int 1"};
    QTest::newRow("past the inputs") << CameraInputs << QStringList{"empty"};
    QTest::newRow("negative") << -1 << QStringList{"empty"};
}

void TestKrCoreDevices::chooseVideoInput()
{
    QFETCH(int, index);
    QFETCH(QStringList, run);

    TKrCoreFixture f;
    f.Start();
    StartCamera(*f.Core, 0x1);
    QCOMPARE(f.Core->VideoChannel().size(), CameraInputs);

    f.Core->SetCurrentVideoChannel(index);

    QCOMPARE(f.Core->CurrentVideoChannel(), index);
    QCOMPARE(Passed(CameraPinsPath, KR_OP_RUN), run);
}

// ---- Volumes and the meter ---------------------------------------------------------------

void TestKrCoreDevices::volumeConversions_data()
{
    QTest::addColumn<QString>("conversion");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");

    const QString recTo = QStringLiteral("rec to engine");
    const QString recFrom = QStringLiteral("rec from engine");
    const QString playTo = QStringLiteral("play to engine");
    const QString playFrom = QStringLiteral("play from engine");
    const int most = std::numeric_limits<int>::max();

    QTest::newRow("rec -10 is 0") << recTo << -10 << 0;
    QTest::newRow("rec 0") << recTo << 0 << 649;
    QTest::newRow("rec 1000 is 65536") << recTo << 1000 << 65536;
    QTest::newRow("rec far out of scale is held") << recTo << most << most;
    QTest::newRow("rec from 0") << recFrom << 0 << -10;
    QTest::newRow("rec from 65536") << recFrom << 65536 << 1000;
    QTest::newRow("rec from half, down to even") << recFrom << 16384 << 242; // 252.5
    QTest::newRow("rec from half, up to even") << recFrom << 49152 << 748;   // 757.5
    QTest::newRow("rec from negative half") << recFrom << -16384 << -262;    // -252.5
    QTest::newRow("play 0") << playTo << 0 << 0;
    QTest::newRow("play 100 is 65535") << playTo << 100 << 65535;
    QTest::newRow("play half, up to even") << playTo << 10 << 6554;    // 6553.5
    QTest::newRow("play half, down to even") << playTo << 30 << 19660; // 19660.5
    QTest::newRow("play from 65535") << playFrom << 65535 << 100;
    QTest::newRow("play from just below half") << playFrom << 327 << 0;
    QTest::newRow("play from just above half") << playFrom << 328 << 1;
}

void TestKrCoreDevices::volumeConversions()
{
    QFETCH(QString, conversion);
    QFETCH(int, value);
    QFETCH(int, expected);

    if (conversion == QLatin1String("rec to engine"))
        QCOMPARE(TKrCore::RecVolumeToEngine(value), expected);
    else if (conversion == QLatin1String("rec from engine"))
        QCOMPARE(TKrCore::RecVolumeFromEngine(value), expected);
    else if (conversion == QLatin1String("play to engine"))
        QCOMPARE(TKrCore::PlayVolumeToEngine(value), expected);
    else
        QCOMPARE(TKrCore::PlayVolumeFromEngine(value), expected);
}

void TestKrCoreDevices::testPlaybackFollowsThePlayVolume_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("running");

    QTest::newRow("test sound plays") << 0 << true;
    QTest::newRow("engine cannot play it") << -1 << false;
}

void TestKrCoreDevices::testPlaybackFollowsThePlayVolume()
{
    QFETCH(int, result);
    QFETCH(bool, running);

    TKrCoreFixture f;
    f.Start();
    ListDevices(*f.Core, {}, {}, {"Speakers", "Headset"}, {}, {}, "Headset");
    f.Core->SetRecVolume(1000);
    QCOMPARE(Passed(MicrophoneVolumePath, KR_OP_SET), QStringList{"int 65536"});
    QCOMPARE(f.Core->RecVolume(), 1000);
    TOrvantaFake::SetProcess(KR_OP_RUN, TestPlaybackPath, result);

    QCOMPARE(f.Core->StartTestPlayback(), !running);
    QCOMPARE(Passed(TestPlaybackPath, KR_OP_RUN), QStringList{"text Headset"});

    f.Core->SetPlayVolume(50);
    QCOMPARE(f.Core->PlayVolume(), 50);
    QCOMPARE(Passed(SystemVolumePath, KR_OP_SET), QStringList{"int 32768"});
    QCOMPARE(Passed(TestPlaybackPath, KR_OP_SET),
             running ? QStringList{"int 32768"} : QStringList{});

    f.Core->StopTestPlayback();
    QCOMPARE(Passed(TestPlaybackPath, KR_OP_RUN), (QStringList{"text Headset", "bool false"}));
    f.Core->SetPlayVolume(100);
    QCOMPARE(Passed(SystemVolumePath, KR_OP_SET), (QStringList{"int 32768", "int 65535"}));
    QCOMPARE(Passed(TestPlaybackPath, KR_OP_SET).size(), running ? 1 : 0);
}

void TestKrCoreDevices::micLevel_data()
{
    QTest::addColumn<QVariantList>("readings");
    QTest::addColumn<QList<int>>("shown");

    QTest::newRow("quietest") << QVariantList{Int(1)} << QList<int>{0};
    QTest::newRow("loudest") << QVariantList{Int(32767)} << QList<int>{99};
    QTest::newRow("silence") << QVariantList{Int(0)} << QList<int>{0};
    QTest::newRow("half rounds to even") << QVariantList{Int(10)} << QList<int>{2}; // 2.5
    QTest::newRow("falls half-way")
        << QVariantList{Int(32767), Int(1), Int(1)} << QList<int>{99, 91, 83};
    QTest::newRow("rises at once") << QVariantList{Int(100), Int(1000)} << QList<int>{30, 58};
    QTest::newRow("negative reading falls like silence")
        << QVariantList{Int(32767), Int(-5)} << QList<int>{99, 91};
    QTest::newRow("unreadable level holds the meter")
        << QVariantList{Int(32767), QByteArray("loud"), Int(1)} << QList<int>{99, 99, 91};
}

void TestKrCoreDevices::micLevel()
{
    QFETCH(QVariantList, readings);
    QFETCH(QList<int>, shown);

    TKrCoreFixture f;
    f.Start();
    QList<int> levels;
    for (const QVariant& reading : readings) {
        TOrvantaFake::SetProcess(KR_OP_GET, MicrophoneLevelPath, 0, reading);
        levels << f.Core->MicLevel();
    }
    QCOMPARE(levels, shown);
}

// ---- Frame rate, pause, sending --------------------------------------------------------------

void TestKrCoreDevices::frameRate_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("sent");

    QTest::newRow("5") << int(fp5) << QStringLiteral("byte 5");
    QTest::newRow("10") << int(fp10) << QStringLiteral("byte 10");
    QTest::newRow("15") << int(fp15) << QStringLiteral("byte 15");
    QTest::newRow("20") << int(fp20) << QStringLiteral("byte 20");
    QTest::newRow("30") << int(fp30) << QStringLiteral("byte 30");
}

void TestKrCoreDevices::frameRate()
{
    QFETCH(int, mode);
    QFETCH(QString, sent);

    TKrCoreFixture f;
    f.Start();
    f.Core->SetFPS(TFPSMode(mode));
    QCOMPARE(int(f.Core->FPS()), mode);
    QCOMPARE(Passed(CameraFPSPath, KR_OP_SET), QStringList{sent});
}

void TestKrCoreDevices::fpsRate_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<int>("expected");

    QTest::newRow("engine's rate") << 0 << Int(25) << 25;
    QTest::newRow("query fails") << -1 << Int(25) << 32;
    QTest::newRow("answer not a number") << 0 << QVariant(QByteArray("25")) << 32;
}

void TestKrCoreDevices::fpsRate()
{
    QFETCH(int, result);
    QFETCH(QVariant, answer);
    QFETCH(int, expected);

    TKrCoreFixture f;
    f.Start();
    f.Core->SetFPSRate(24);
    QCOMPARE(Passed(FPSRatePath, KR_OP_SET), QStringList{"int 24"});
    TOrvantaFake::SetProcess(KR_OP_GET, FPSRatePath, result, answer);
    QCOMPARE(f.Core->FPSRate(), expected);
}

void TestKrCoreDevices::pause_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("paused");

    QTest::newRow("engine stops the capture") << 0 << true;
    QTest::newRow("engine fails") << -1 << false;
}

void TestKrCoreDevices::pause()
{
    QFETCH(int, result);
    QFETCH(bool, paused);

    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetProcess(KR_OP_RUN, CameraControlPath, result);
    f.Core->SetPause(true);
    QCOMPARE(Passed(CameraControlPath, KR_OP_RUN), QStringList{"bool false"});
    QCOMPARE(f.Core->Pause(), paused);
}

void TestKrCoreDevices::sendFlagsGoTogether()
{
    TKrCoreFixture f;
    f.Start();
    f.Core->SetSendAudio(true);
    f.Core->SetSendVideo(true);
    f.Core->SetSendAudio(false);
    QCOMPARE(Passed(EnabledDevicesPath, KR_OP_SET),
             (QStringList{"[bool true, bool false]", "[bool true, bool true]",
                          "[bool false, bool true]"}));
    QVERIFY(!f.Core->SendAudio());
    QVERIFY(f.Core->SendVideo());
}

void TestKrCoreDevices::commandValueKinds()
{
    TKrCoreFixture f;
    f.Start();
    f.Core->PrepareAudio();
    f.Core->ShowCameraPropertyPage(0xABCDEF);
    f.Core->SetQualityScale(true);
    f.Core->SetSaturation(150);

    QCOMPARE(Passed(PrepareAudioPath, KR_OP_RUN), QStringList{"byte 0"});
    QCOMPARE(Passed(PropertyPagePath, KR_OP_RUN), QStringList{"uint 11259375"});
    QVERIFY(f.Core->QualityScale());
    const QList<TFakeCall> bicubic = TOrvantaFake::Calls("KrForceBicubic");
    QCOMPARE(bicubic.size(), 1);
    QCOMPARE(bicubic.first().Args.value(1).toInt(), 1);
    const QList<TFakeCall> saturation = TOrvantaFake::Calls("KrSetSaturation");
    QCOMPARE(saturation.size(), 1);
    QCOMPARE(saturation.first().Args.value(1).toInt(), 150);
    QCOMPARE(f.Core->Saturation(), 150);
}

// ---- Connection quality and pictures ------------------------------------------------------------

void TestKrCoreDevices::netQuality_data()
{
    QTest::addColumn<QVariant>("sending"); // invalid: the run fails
    QTest::addColumn<QVariant>("audio");   // invalid: the get fails
    QTest::addColumn<int>("expected");

    QTest::newRow("A=250, B=8") << Int(250) << Int(8) << 1;
    QTest::newRow("both best") << Int(1000) << Int(0) << 0;
    const QList<std::pair<qint64, int>> rates = {{49, 4},  {50, 3},  {79, 3},  {80, 2},   {119, 2},
                                                 {120, 1}, {199, 1}, {200, 0}, {1001, 4}, {-1, 4}};
    for (const auto& [rate, quality] : rates)
        QTest::addRow("sending %lld", rate) << Int(rate) << Int(0) << quality;
    const QList<std::pair<qint64, int>> figures = {{6, 0},  {7, 1},  {9, 2},  {10, 2},
                                                   {11, 3}, {14, 3}, {15, 4}, {-1, 4}};
    for (const auto& [figure, quality] : figures)
        QTest::addRow("audio %lld", figure) << Int(500) << Int(figure) << quality;
    QTest::newRow("nothing readable") << QVariant() << QVariant() << 4;
    QTest::newRow("answers not numbers")
        << QVariant(QByteArray("500")) << QVariant(QByteArray("0")) << 4;
}

void TestKrCoreDevices::netQuality()
{
    QFETCH(QVariant, sending);
    QFETCH(QVariant, audio);
    QFETCH(int, expected);

    TKrCoreFixture f;
    f.Start();
    const QByteArray audioPath = "Receivers\\bob@demo>\\RenderAudio\\AudioQuality";
    TOrvantaFake::SetTexts("KrGetOtherName", {"bob@demo", "Bob", ""});
    if (sending.isValid())
        TOrvantaFake::SetProcess(KR_OP_RUN, VideoQualityPath, 0, sending);
    if (audio.isValid())
        TOrvantaFake::SetProcess(KR_OP_GET, audioPath, 0, audio);

    QCOMPARE(f.Core->NetQuality(), expected);
    QCOMPARE(TOrvantaFake::ProcessCalls(VideoQualityPath, KR_OP_RUN).size(), 1);
    QCOMPARE(TOrvantaFake::ProcessCalls(audioPath, KR_OP_GET).size(), 1);
}

void TestKrCoreDevices::videoImage_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("receiver");
    QTest::addColumn<QByteArray>("path"); // empty: the engine is not asked
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("pictured");

    QTest::newRow("own picture, 320x240")
        << QSize(320, 240) << QString() << OwnImagePath << 0 << true;
    QTest::newRow("receiver's picture, 160x120")
        << QSize(160, 120) << QStringLiteral("bob>")
        << QByteArray("Receivers\\bob>\\Render\\GetImage") << 0 << true;
    QTest::newRow("engine fails") << QSize(320, 240) << QString() << OwnImagePath << -1 << false;
    QTest::newRow("640x480 does nothing")
        << QSize(640, 480) << QString() << QByteArray() << 0 << false;
    QTest::newRow("320x241 does nothing")
        << QSize(320, 241) << QString() << QByteArray() << 0 << false;
}

void TestKrCoreDevices::videoImage()
{
    QFETCH(QSize, size);
    QFETCH(QString, receiver);
    QFETCH(QByteArray, path);
    QFETCH(int, result);
    QFETCH(bool, pictured);

    TKrCoreFixture f;
    f.Start();
    if (!path.isEmpty())
        TOrvantaFake::SetProcessHandler(KR_OP_GET, path, PictureAnswer(result));
    QLabel image;
    image.resize(size);

    f.Core->GetVideoImage(&image, receiver);

    if (path.isEmpty()) {
        QVERIFY(TOrvantaFake::Calls().isEmpty());
    } else {
        const QList<TFakeCall> requests = TOrvantaFake::ProcessCalls(path, KR_OP_GET);
        QCOMPARE(requests.size(), 1);
        const QVariantList request = requests.first().Value().toList();
        QCOMPARE(request.size(), 2);
        QCOMPARE(request.at(0).typeId(), int(QMetaType::LongLong));
        QCOMPARE(Shown(request.at(1)), size.width() == 160 ? "bool true" : "bool false");
    }
    QCOMPARE(!image.pixmap().isNull(), pictured);
    if (pictured)
        QCOMPARE(image.pixmap().toImage().convertToFormat(QImage::Format_RGB32),
                 ExpectedPicture(size.width(), size.height()));
}

void TestKrCoreDevices::snapshotSource_data()
{
    QTest::addColumn<bool>("own");
    QTest::addColumn<QByteArray>("path");

    QTest::newRow("own picture") << true << OwnImagePath;
    QTest::newRow("peer's picture")
        << false << QByteArray("Receivers\\bob@demo>\\Render\\GetImage");
}

void TestKrCoreDevices::snapshotSource()
{
    QFETCH(bool, own);
    QFETCH(QByteArray, path);

    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetTexts("KrGetOtherName", {"bob@demo", "Bob", ""});
    TOrvantaFake::SetProcessHandler(KR_OP_GET, path, PictureAnswer(0));
    QLabel image;
    image.resize(160, 120);

    f.Core->TakeSnapshot(&image, own);

    QCOMPARE(TOrvantaFake::ProcessCalls(path, KR_OP_GET).size(), 1);
    QCOMPARE(image.pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             ExpectedPicture(160, 120));
}

// ---- Without the engine
// -----------------------------------------------------------------------------

void TestKrCoreDevices::notInitialisedDoesNothing()
{
    TKrCoreFixture f;
    TKrCore& core = *f.Core;
    TFakePanel panel;
    QLabel image;
    image.resize(320, 240);

    QCOMPARE(core.StartSender(&panel, 320, 240, 8000), -1);
    core.StopSender(&panel);
    QVERIFY(panel.Log.isEmpty());
    QCOMPARE(core.MicLevel(), 0);
    QCOMPARE(core.FPSRate(), 32);
    QCOMPARE(core.NetQuality(), 0);
    QVERIFY(core.StartTestPlayback()); // nothing can play: reported as failed
    core.StopTestPlayback();
    QCOMPARE(core.RecVolume(), -10);
    QCOMPARE(core.PlayVolume(), 0);

    core.SetRecVolume(500);
    core.SetPlayVolume(100);
    core.SetPause(true);
    core.SetQualityScale(true);
    core.SetSaturation(150);
    core.SetSendVideo(true);
    core.SetFPS(fp30);
    core.SetFPSRate(20);
    core.SetCurrentVideoChannel(2);
    core.SetCurrentVideoMode(0);
    core.SetCurrentAudioRender(1);
    core.PrepareAudio();
    core.ShowCameraPropertyPage(0x1234);
    core.GetVideoImage(&image, QString());
    core.TakeSnapshot(&image, false);
    core.UpdateDeviceLists();
    core.RefreshDevices();

    QVERIFY(TOrvantaFake::Calls().isEmpty());
    // Kept values are kept; the rest waits for the engine.
    QCOMPARE(core.RecVolume(), 500);
    QCOMPARE(core.PlayVolume(), 100);
    QCOMPARE(core.Saturation(), 150);
    QVERIFY(core.SendVideo());
    QCOMPARE(core.FPS(), fp30);
    QCOMPARE(core.CurrentAudioRender(), 1);
    QVERIFY(!core.Pause());
    QVERIFY(!core.QualityScale());
    QCOMPARE(core.CurrentVideoChannel(), 0);
    QVERIFY(core.VideoCaptureDevices().isEmpty());
    QVERIFY(image.pixmap().isNull());
}

// Release clears the initialised flag before it hands the devices back.
void TestKrCoreDevices::applyDevicesWorksWithoutInitialisation()
{
    TKrCoreFixture f;
    f.Core->SetCurrentAudioRender(1);
    f.Core->SetCurrentVideoCapture(1);

    f.Core->ApplyDevices();

    QCOMPARE(Passed(PlaybackDevicePath, KR_OP_SET), QStringList{"text None"});
    QCOMPARE(TOrvantaFake::Calls("KrSetAudioCapture").value(0).Args.value(1).toByteArray(),
             QByteArray("None"));
    QCOMPARE(TOrvantaFake::Calls("KrSetVideoCapture").value(0).Args.value(1).toByteArray(),
             QByteArray("None"));
}

QTEST_MAIN(TestKrCoreDevices)
#include "tst_krcore_devices.moc"
