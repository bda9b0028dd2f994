#include "mainwindow/MainScreen.h"
#include "startup/KrInstance.h"
#include "startup/Splash.h"
#include "startup/StartupValues.h"

#include <QLabel>
#include <QTest>

class TestSplash : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void splashShowsItsPicture();
    void mainWindowClosesTheSplashAndComesForwardWhenAsked_data();
    void mainWindowClosesTheSplashAndComesForwardWhenAsked();
};

void TestSplash::cleanup()
{
    StartupValues = {};
    MainWindowReady = false;
    SplashForm = nullptr;
}

void TestSplash::splashShowsItsPicture()
{
    TSplashForm splash;
    QCOMPARE(splash.size(), QSize(406, 268));
    QCOMPARE(splash.Image1->geometry(), QRect(0, 0, 406, 268));
    QCOMPARE(splash.Image1->pixmap().size(), QSize(406, 268));
    QCOMPARE(splash.KrInstance1->ApplicationName, QStringLiteral("Mirelto_1_0_6"));
    QCOMPARE(splash.KrInstance1->Mode, imKillOld);
}

void TestSplash::mainWindowClosesTheSplashAndComesForwardWhenAsked_data()
{
    QTest::addColumn<bool>("startHidden");
    QTest::newRow("normal start") << false;
    QTest::newRow("/m") << true;
}

void TestSplash::mainWindowClosesTheSplashAndComesForwardWhenAsked()
{
    QFETCH(bool, startHidden);
    StartupValues.StartHidden = startHidden;
    TSplashForm splash;
    SplashForm = &splash;
    if (!startHidden)
        splash.show();

    {
        TMainForm mainForm;
        QVERIFY(!splash.isVisible());
        QVERIFY(MainWindowReady);
        QCOMPARE(mainForm.isVisible(), !startHidden);
        QVERIFY(mainForm.windowTitle().startsWith(QStringLiteral("Tavrilo v4.4.")));

        // Another start asks this one to come forward: out of the tray too.
        splash.KrInstance1Notify();
        QVERIFY(mainForm.isVisible());
    }
    QVERIFY(!MainWindowReady);
    QCOMPARE(MainForm, nullptr);
    splash.KrInstance1Notify(); // no main window any more: nothing to bring forward
}

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
