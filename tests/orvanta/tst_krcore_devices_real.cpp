// The client's engine component on the real engine: device lists, choice,
// inputs, the microphone meter and the sound test with the built-in devices.
#include "TestSupport.h"
#include "engine/KrClient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

const QString TestPattern = QStringLiteral("Test Pattern Camera");
const QString Tone = QStringLiteral("Tone Generator");
const QString Silent = QStringLiteral("Silent Output");

std::unique_ptr<TKrCore> MakeCore()
{
    auto core = std::make_unique<TKrCore>();
    core->AppName = QStringLiteral("Tavrilo");
    core->RegString = QStringLiteral("Orvanta\\Tavrilo");
    core->Initialize(QString(), QString(), QString(), QString());
    return core;
}

// The engine's answer for a property, with the call's result.
std::pair<int32_t, TKrValue> Ask(TKrCore& Core, const char* Path)
{
    TKrValue value;
    const int32_t result = KrProcess(Core.Instance(), KR_OP_GET, Path, value.Data());
    return {result, std::move(value)};
}

} // namespace

class TestKrCoreDevicesReal : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        FRoot = std::make_unique<TTestPlatformRoot>();
        FCore = MakeCore();
        QVERIFY(FCore->Initialized());
        QVERIFY(FCore->Instance() != 0);
    }
    void cleanup()
    {
        FCore->Release();
        FCore.reset();
        FRoot.reset();
    }

    void builtInDevicesAreListedAndKept();
    void cameraInputsAndStandards();
    void microphoneMeterFollowsTheTone();
    void soundTestAndSendFlags();

private:
    // Chooses the built-in devices and hands the choice to the engine.
    void ChooseBuiltIns()
    {
        FCore->SetCurrentVideoCapture(int(FCore->VideoCaptureDevices().indexOf(TestPattern)));
        FCore->SetCurrentAudioCapture(int(FCore->AudioCaptureDevices().indexOf(Tone)));
        FCore->SetCurrentAudioRender(int(FCore->AudioRenderDevices().indexOf(Silent)));
        FCore->ApplyDevices();
    }

    std::unique_ptr<TTestPlatformRoot> FRoot;
    std::unique_ptr<TKrCore> FCore;
};

void TestKrCoreDevicesReal::builtInDevicesAreListedAndKept()
{
    QCOMPARE(FCore->VideoCaptureDevices().value(0), QStringLiteral("None"));
    QVERIFY(FCore->VideoCaptureDevices().contains(TestPattern));
    QVERIFY(FCore->AudioCaptureDevices().contains(Tone));
    QVERIFY(FCore->AudioRenderDevices().contains(Silent));
    // Something is chosen from the start, if only a built-in device.
    QVERIFY(FCore->CurrentVideoCapture() > 0);
    QVERIFY(FCore->CurrentAudioCapture() > 0);
    QVERIFY(FCore->CurrentAudioRender() > 0);

    ChooseBuiltIns();
    FCore->SetCurrentVideoCapture(0);
    FCore->RefreshDevices();
    QCOMPARE(FCore->CurrentVideoCapture(), 0);
    QCOMPARE(FCore->AudioCaptureDevices().value(FCore->CurrentAudioCapture()), Tone);
    QCOMPARE(FCore->AudioRenderDevices().value(FCore->CurrentAudioRender()), Silent);

    // The next run finds the same choice.
    FCore->Release();
    FCore = MakeCore();
    QCOMPARE(FCore->CurrentVideoCapture(), 0);
    QCOMPARE(FCore->AudioCaptureDevices().value(FCore->CurrentAudioCapture()), Tone);
    QCOMPARE(FCore->AudioRenderDevices().value(FCore->CurrentAudioRender()), Silent);
}

void TestKrCoreDevicesReal::cameraInputsAndStandards()
{
    ChooseBuiltIns();
    const int result = FCore->StartSender(nullptr, 320, 240, 16000);
    QVERIFY(FCore->VideoProperty());

    // The camera's own settings open and close again.
    bool opened = false;
    QTimer::singleShot(0, [&opened] {
        if (QWidget* page = QApplication::activeModalWidget()) {
            opened = true;
            page->close();
        }
    });
    FCore->ShowCameraPropertyPage(0);
    QVERIFY(opened);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    if (result & 0x1) {
        // Until the sender starts cameras, no inputs or standards are read:
        // an input outside the (empty) list keeps the one in use.
        QVERIFY(FCore->VideoChannel().isEmpty());
        FCore->SetCurrentVideoChannel(1);
        QCOMPARE(Ask(*FCore, "Sender\\VideoCapture\\CameraPins").first, 0);
        FCore->StopSender(nullptr);
        QSKIP("the sender does not start the camera yet");
    }
    QCOMPARE(FCore->VideoChannel(), (QStringList{"Composite", "S-Video"}));
    QCOMPARE(FCore->VideoMode(), (QStringList{"NTSC M", "PAL B", "SECAM L"}));
    FCore->SetCurrentVideoChannel(1);
    QCOMPARE(Ask(*FCore, "Sender\\VideoCapture\\CameraPins").first, 1 << 16);
    FCore->SetCurrentVideoMode(2);
    QCOMPARE(FCore->CurrentVideoMode(), 2);
    FCore->StopSender(nullptr);
}

void TestKrCoreDevicesReal::microphoneMeterFollowsTheTone()
{
    ChooseBuiltIns();
    FCore->SetRecVolume(1000);
    FCore->StartSender(nullptr, 320, 240, 16000);

    QSet<int> shown;
    int highest = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000) {
        const int level = FCore->MicLevel();
        QVERIFY(level >= 0 && level <= 99);
        shown.insert(level);
        highest = std::max(highest, level);
        QTest::qWait(50);
    }
    QVERIFY2(highest >= 80 && shown.size() >= 5, qPrintable(QString::number(highest)));

    // Turned down all the way, the meter falls to nothing.
    FCore->SetRecVolume(-10);
    QTRY_COMPARE(FCore->MicLevel(), 0);
    FCore->SetRecVolume(1000);
    QTRY_VERIFY(FCore->MicLevel() > 50);

    FCore->StopSender(nullptr);
    QTRY_COMPARE(FCore->MicLevel(), 0);
}

void TestKrCoreDevicesReal::soundTestAndSendFlags()
{
    ChooseBuiltIns();
    QVERIFY(!FCore->StartTestPlayback()); // false: it runs
    FCore->SetPlayVolume(40);
    QCOMPARE(Ask(*FCore, "Receivers\\AudioPlayback\\TestPlayback").second.AsBoolean(), true);
    FCore->StopTestPlayback();
    QCOMPARE(Ask(*FCore, "Receivers\\AudioPlayback\\TestPlayback").second.AsBoolean(), false);

    FCore->SetCurrentAudioRender(0);
    QVERIFY(FCore->StartTestPlayback()); // nothing to play on

    FCore->SetSendAudio(false);
    FCore->SetSendVideo(true);
    const TKrValue enabled = Ask(*FCore, "Sender\\EnabledDevices").second;
    QCOMPARE(enabled.Count(), 2);
    QCOMPARE(enabled.Element(0).AsBoolean(), false);
    QCOMPARE(enabled.Element(1).AsBoolean(), true);

    // A pause needs a camera; without one the engine refuses and nothing changes.
    FCore->SetPause(true);
    QVERIFY(FCore->Pause());
    FCore->SetCurrentVideoCapture(0);
    FCore->ApplyDevices();
    FCore->SetPause(false);
    QVERIFY(FCore->Pause());
}

QTEST_MAIN(TestKrCoreDevicesReal)
#include "tst_krcore_devices_real.moc"
