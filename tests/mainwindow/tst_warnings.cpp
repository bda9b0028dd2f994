// What the main window tells the user about the engine's warnings, the
// other party's commands and calls that fail.
#include "MainFormFixture.h"
#include "ModalSupport.h"
#include "OrvantaFake.h"
#include "TestSupport.h"
#include "mainwindow/MainScreen.h"
#include "platform/Shell.h"
#include "startup/StartupValues.h"
#include "ui/MessageDlg.h"
#include "ui/WavePlay.h"
#include "video/FrameOffline.h"
#include "video/SelfPanel.h"

#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <memory>

namespace {

using MainFormFixture::Connected;
using MainFormFixture::Online;

} // namespace

class TestWarnings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void warnings_data();
    void warnings();
    void fatalWarningsEndTheProgram_data();
    void fatalWarningsEndTheProgram();
    void incompatibleEngineAtStart();
    void offlineNoticeWhileNotConnected();
    void versionCheck_data();
    void versionCheck();
    void callBreaks_data();
    void callBreaks();
    void busySignalEndsByItself();
    void recordingPermission_data();
    void recordingPermission();

private:
    void Post(quint32 StatusWord, LPARAM Param = 0);
    void LogIn();
    void Call();

    std::unique_ptr<TTestPlatformRoot> FRoot;
    std::unique_ptr<TMainForm> FForm;
    int FAnswer = mrOk;
    QStringList FOpened;
};

void TestWarnings::init()
{
    FRoot = std::make_unique<TTestPlatformRoot>();
    TOrvantaFake::Reset();
    MainFormFixture::PrepareEngine();
    FAnswer = mrOk;
    TKrMessageDlg::InstallScript([this](const TShownMessage&) { return FAnswer; });
    FOpened.clear();
    TShell::InstallRecorder([this](const QString& Target, bool) { FOpened << Target; });
    FForm = std::make_unique<TMainForm>();
    FForm->setAttribute(Qt::WA_DontShowOnScreen);
}

void TestWarnings::cleanup()
{
    FForm.reset();
    TShell::RemoveRecorder();
    TKrMessageDlg::RemoveScript();
    TOrvantaFake::Reset();
    FRoot.reset();
}

void TestWarnings::Post(quint32 StatusWord, LPARAM Param)
{
    MainFormFixture::Post(*FForm, KR_WM_STATUS, StatusWord, Param);
}

void TestWarnings::LogIn()
{
    MainFormFixture::LogIn(*FForm);
}

void TestWarnings::Call()
{
    FForm->CallingID->setEditText(QStringLiteral("bob@demo.pellory"));
    FForm->ActionConnect->trigger();
    QCOMPARE(FForm->StatusMode(), 3);
}

// Event codes of the status word and the box each gives.
void TestWarnings::warnings_data()
{
    QTest::addColumn<int>("eventCode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("asksLogin"); // the login dialog opens again
    QTest::newRow("wrong password") << 33 << "User login: Incorrect user name or password" << true;
    QTest::newRow("registration failed")
        << 34 << "User registration has failed: Invalid data" << false;
    QTest::newRow("unknown user") << 65 << "User login: Incorrect user name or password" << true;
    QTest::newRow("logged in elsewhere")
        << 69 << "You were logged out because your user name was used on another computer" << false;
    QTest::newRow("server busy") << 71 << "Server is busy" << false;
    QTest::newRow("minor notice") << 1 << "" << false;
}

void TestWarnings::warnings()
{
    QFETCH(int, eventCode);
    QFETCH(QString, text);
    QFETCH(bool, asksLogin);
    Post(Connected);
    TKrMessageDlg::ClearShownMessages();
    bool asked = false;
    if (asksLogin)
        WhenModal([&](QWidget* Dialog) {
            asked = true;
            Dialog->close();
        });
    Post(Connected | quint32(eventCode));
    QCOMPARE(asked, asksLogin);
    const QList<TShownMessage> shown = TKrMessageDlg::ShownMessages();
    if (text.isEmpty()) {
        QVERIFY(shown.isEmpty());
        return;
    }
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().Text, text);
    QCOMPARE(shown.first().DlgType, mtWarning);
    QCOMPARE(shown.first().Buttons, TMsgDlgButtons(mbOK));
    QVERIFY(!MainWindowClosing);
}

void TestWarnings::fatalWarningsEndTheProgram_data()
{
    QTest::addColumn<int>("eventCode");
    QTest::addColumn<QString>("text");
    QTest::newRow("fatal error") << 17 << "Fatal error !";
    QTest::newRow("version no longer supported")
        << 28
        << "Your Tavrilo version is no longer supported. Please visit https://www.pellory.example/ "
           "for the information on current versions.";
}

void TestWarnings::fatalWarningsEndTheProgram()
{
    QFETCH(int, eventCode);
    QFETCH(QString, text);
    Post(Connected | quint32(eventCode));
    QCOMPARE(TKrMessageDlg::ShownMessages().value(0).Text, text);
    QVERIFY(MainWindowClosing);
    QCOMPARE(TOrvantaFake::Calls("KrRelease").size(), 1);
}

void TestWarnings::incompatibleEngineAtStart()
{
    FForm.reset();
    TOrvantaFake::Reset();
    TKrMessageDlg::ClearShownMessages();
    TOrvantaFake::SetResult("KrInterfaceGetVersion", KR_INTERFACE_VERSION + 1);
    FForm = std::make_unique<TMainForm>();
    const QList<TShownMessage> shown = TKrMessageDlg::ShownMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().Text, QStringLiteral("Incompatible library version !"));
    QCOMPARE(shown.first().DlgType, mtError);
    QVERIFY(TOrvantaFake::Calls("KrInitialize").isEmpty());
}

void TestWarnings::offlineNoticeWhileNotConnected()
{
    Post(31); // cannot reach the server
    auto frames = FForm->findChildren<TOfflineFrame*>();
    QCOMPARE(frames.size(), 1);
    Post(31);
    QCOMPARE(FForm->findChildren<TOfflineFrame*>().size(), 1);
    Post(Connected);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(FForm->findChildren<TOfflineFrame*>().isEmpty());
    Post(Connected | 31); // connected: no notice
    QVERIFY(FForm->findChildren<TOfflineFrame*>().isEmpty());
}

// Versions compare as plain text.
void TestWarnings::versionCheck_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QByteArray>("minimum");
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("notice"); // the start of it; empty: none
    QTest::addColumn<bool>("quits");
    QTest::newRow("up to date") << "4.4.0.9" << QByteArray("4.4.0.1") << QByteArray("4.4.0.9")
                                << int(mrOk) << "" << false;
    QTest::newRow("no server values")
        << "4.4.0.9" << QByteArray() << QByteArray() << int(mrOk) << "" << false;
    QTest::newRow("10 sorts before 9")
        << "4.4.0.10" << QByteArray("4.4.0.9") << QByteArray() << int(mrOk)
        << "Your Tavrilo  version is no longer supported." << true;
    QTest::newRow("newer one, taken")
        << "4.4.0.1" << QByteArray() << QByteArray("4.4.0.2") << int(mrOk)
        << "New Tavrilo version 4.5 is available." << true;
    QTest::newRow("newer one, declined")
        << "4.4.0.1" << QByteArray() << QByteArray("4.4.0.2") << int(mrCancel)
        << "New Tavrilo version 4.5 is available." << false;
}

void TestWarnings::versionCheck()
{
    QFETCH(QString, version);
    QFETCH(QByteArray, minimum);
    QFETCH(QByteArray, current);
    QFETCH(int, answer);
    QFETCH(QString, notice);
    QFETCH(bool, quits);
    FForm->KrCore->Version = version;
    TOrvantaFake::SetProperty("min_version", minimum);
    TOrvantaFake::SetProperty("current_version", current);
    TOrvantaFake::SetProperty("last_version", "4.5");
    TOrvantaFake::SetProperty("setup_url", "https://www.pellory.example/setup");
    FAnswer = answer;
    Post(Connected);
    Post(Connected | 1280); // the server's properties arrived
    const QList<TShownMessage> shown = TKrMessageDlg::ShownMessages();
    if (notice.isEmpty()) {
        QVERIFY(shown.isEmpty());
    } else {
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().Text.startsWith(notice), qPrintable(shown.first().Text));
        QCOMPARE(shown.first().DlgType, mtInformation);
    }
    QCOMPARE(MainWindowClosing, quits);
    QCOMPARE(FOpened, quits ? QStringList{QStringLiteral("https://www.pellory.example/setup")}
                            : QStringList());
}

void TestWarnings::callBreaks_data()
{
    QTest::addColumn<int>("eventCode");
    QTest::addColumn<QString>("message"); // a warning box
    QTest::addColumn<QString>("busy");    // the busy signal's text
    QTest::newRow("no resources") << 129 << "Not enough resources for conference on server"
                                  << "";
    QTest::newRow("access denied") << 131 << ""
                                   << "Access denied";
    QTest::newRow("busy") << 133 << ""
                          << "Busy ....";
    QTest::newRow("not found") << 134 << "Friend not found"
                               << "";
    QTest::newRow("not available") << 135 << ""
                                   << "Friend is not available....";
    QTest::newRow("busy elsewhere") << 136 << ""
                                    << "Busy ....";
    QTest::newRow("conference full") << 137 << "Maximum number of conference participants reached"
                                     << "";
    QTest::newRow("server busy") << 138 << ""
                                 << "Server is busy ....";
    QTest::newRow("conference ended") << 139 << "Conference  has ended"
                                      << "";
    QTest::newRow("quietly") << 140 << ""
                             << "";
    QTest::newRow("not active yet") << 141 << "Conference  is not active yet"
                                    << "";
    QTest::newRow("name taken") << 143 << "Conference with this name already exists"
                                << "";
    QTest::newRow("wrong password") << 145 << "Incorrect conference name or password !"
                                    << "";
    QTest::newRow("server busy too") << 146 << ""
                                     << "Server is busy ....";
}

void TestWarnings::callBreaks()
{
    QFETCH(int, eventCode);
    QFETCH(QString, message);
    QFETCH(QString, busy);
    LogIn();
    Call();
    TKrMessageDlg::ClearShownMessages();
    Post(Online | quint32(eventCode));
    QCOMPARE(FForm->StatusMode(), 2);
    const QList<TShownMessage> shown = TKrMessageDlg::ShownMessages();
    QCOMPARE(shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(shown.first().Text, message);
        QCOMPARE(shown.first().DlgType, mtWarning);
    }
    QCOMPARE(FForm->BusySignal(), !busy.isEmpty());
    QCOMPARE(FForm->BusyWave->Active(), !busy.isEmpty());
    if (!busy.isEmpty()) {
        QCOMPARE(FForm->StatusLabel->text(), busy);
        QVERIFY(FForm->BusyTimer->isActive());
        QCOMPARE(FForm->BusyTimer->interval(), 5000);
    }
    QVERIFY(!FForm->WaitWave->Active());
}

void TestWarnings::busySignalEndsByItself()
{
    LogIn();
    Call();
    Post(Online | 133);
    QVERIFY(FForm->BusySignal());
    FForm->BusyTimer->start(1); // its five seconds, made short
    QTRY_VERIFY(!FForm->BusySignal());
    QVERIFY(!FForm->BusyTimer->isActive());
    QVERIFY(!FForm->BusyWave->Active());
    QVERIFY(FForm->ActionConnect->isEnabled());
}

void TestWarnings::recordingPermission_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("marked");
    QTest::newRow("allowed") << int(mrYes) << QByteArray("plugin:Record:Accept") << true;
    QTest::newRow("refused") << int(mrNo) << QByteArray("plugin:Record:Reject") << false;
}

void TestWarnings::recordingPermission()
{
    QFETCH(int, answer);
    QFETCH(QByteArray, reply);
    QFETCH(bool, marked);
    LogIn();
    Call();
    Post(Online | KR_STATUS_LINK_UP);
    PostMessage(FForm->KrCore->MessageObject()->Handle(), KR_WM_CALL, KR_CALL_ESTABLISHED, 0);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(FForm->StatusMode(), 4);
    FAnswer = answer;
    TOrvantaFake::SetTexts("KrGetOtherName", {"bob@demo.pellory", "Bob", ""});
    TOrvantaFake::SetTexts("KrGetCommandMessage", {"bob@demo.pellory", "plugin:Record:OnQuery"});
    Post(Online | KR_STATUS_LINK_UP | KR_STATUS_COMMAND_WAITING);
    QCOMPARE(TKrMessageDlg::ShownMessages().value(0).Text,
             QStringLiteral("Bob has requested your permission to record the conference. Allow "
                            "recording?"));
    const QList<TFakeCall> sent = TOrvantaFake::Calls("KrSendCommand");
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().Args.value(1).toByteArray(), reply);
    QCOMPARE(sent.first().Args.value(2).toByteArray(), QByteArray("bob@demo.pellory"));
    QCOMPARE(FForm->RecordIndicator->isVisibleTo(FForm.get()), marked);

    TOrvantaFake::SetTexts("KrGetCommandMessage", {"bob@demo.pellory", "plugin:Record:OffNotify"});
    Post(Online | KR_STATUS_LINK_UP | KR_STATUS_COMMAND_WAITING);
    QVERIFY(!FForm->RecordIndicator->isVisibleTo(FForm.get()));
}

QTEST_MAIN(TestWarnings)
#include "tst_warnings.moc"
