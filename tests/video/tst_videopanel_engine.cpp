// The engine's own render procedure drawing the test camera into a panel.
#include "TestSupport.h"
#include "engine/KrClient.h"
#include "video/VideoPanel.h"

#include <QTest>
#include <memory>

class TestVideoPanelEngine : public QObject
{
    Q_OBJECT
private slots:
    void senderPaintsTheCameraIntoThePanel();
};

void TestVideoPanelEngine::senderPaintsTheCameraIntoThePanel()
{
    TTestPlatformRoot root;
    TKrCore core;
    core.AppName = QStringLiteral("Tavrilo");
    core.RegString = QStringLiteral("Orvanta\\Tavrilo");
    core.Initialize(QString(), QString(), QString(), QString());
    QVERIFY(core.Initialized());
    const auto choose = [](const QStringList& Devices, const char* Name) {
        return int(Devices.indexOf(QString::fromLatin1(Name)));
    };
    core.SetCurrentVideoCapture(choose(core.VideoCaptureDevices(), "Test Pattern Camera"));
    core.SetCurrentAudioCapture(choose(core.AudioCaptureDevices(), "Tone Generator"));
    core.SetCurrentAudioRender(choose(core.AudioRenderDevices(), "Silent Output"));

    TVideoPanel panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QCOMPARE(core.StartSender(&panel, 320, 240, 8000), 0);
    QVERIFY(panel.dwProc() != nullptr && panel.dwInstance() != 0);
    panel.StartRender();

    // The test pattern's bars: the panel's middle row is not all black.
    const auto painted = [&panel] {
        const QImage picture = panel.grab().toImage();
        for (int x = 0; x < picture.width(); x += 8)
            if ((picture.pixel(x, picture.height() / 2) & 0xFFFFFF) != 0)
                return true;
        return false;
    };
    QTRY_VERIFY(painted());

    core.StopSender(&panel);
    QVERIFY(!panel.Rendering());
    QVERIFY(!painted());
    core.Release();
}

QTEST_MAIN(TestVideoPanelEngine)
#include "tst_videopanel_engine.moc"
