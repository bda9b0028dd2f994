// The main window on the fake engine: what it asks of the engine and what it
// shows for each state.
#include "MainFormFixture.h"
#include "ModalSupport.h"
#include "OrvantaFake.h"
#include "TestSupport.h"
#include "chat/chat.h"
#include "contacts/AddressBook.h"
#include "contacts/DirectorySearch.h"
#include "contacts/History.h"
#include "contacts/HotList.h"
#include "mainwindow/MainScreen.h"
#include "mainwindow/MainScreenParts.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "setup/Authentication.h"
#include "setup/Login.h"
#include "setup/WizardsInfo.h"
#include "startup/StartupValues.h"
#include "ui/MessageDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

using MainFormFixture::Connected;
using MainFormFixture::Online;
const QString AppKey = QStringLiteral("\\Software\\Orvanta\\Tavrilo");

void WriteRegistry(const QString& Key, const QString& Name, quint32 Value)
{
    TRegistry registry(HKEY_CURRENT_USER);
    QVERIFY(registry.OpenKey(Key, true));
    QVERIFY(registry.WriteInteger(Name, Value));
}

std::optional<quint32> ReadRegistry(const QString& Key, const QString& Name)
{
    TRegistry registry(HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(Key))
        return std::nullopt;
    return registry.ReadInteger(Name);
}

QStringList Shown()
{
    QStringList texts;
    for (const TShownMessage& message : TKrMessageDlg::ShownMessages())
        texts << message.Text;
    return texts;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstRunFollowsInitialized_data();
    void firstRunFollowsInitialized();
    void captureFormat_data();
    void captureFormat();
    void modesSetTrayAndStatusBar();
    void controlsFollowTheMode_data();
    void controlsFollowTheMode();
    void callingBoxRules_data();
    void callingBoxRules();
    void callHistoryKeepsTenNewestFirst();
    void pastedLinesJoin();
    void ringBackTimesOut();
    void busySignalHoldsTheStatusPanel();
    void loginLoopAsksAgainForMissingFields();
    void refusedLoginReopensTheDialog();
    void logoutAsksFirst();
    void sendRateIsCappedAt60();
    void volumeBarUnmutes();
    void scriptedRequestLogsOutLogsInAndCalls();
    void scriptedRequestExpiresAfterAMinute();
    void doubleClickedContact_data();
    void doubleClickedContact();
    void proxyCredentialsGoBackToTheEngine();
    void hiddenStart_data();
    void hiddenStart();
    void closeToTrayAsksAboutTheConference();
    void exitDuringAConferenceHangsUp();
    void chatSizeAndColourComeBack();
    void sideWindowsShareOnePlace();
    void onlineHelp_data();
    void onlineHelp();
    void minimizingHidesToTheTray();
    void loginOpensTheAddressBook_data();
    void loginOpensTheAddressBook();
    void bookResultsShowBesideTheLists_data();
    void bookResultsShowBesideTheLists();

private:
    void CreateForm();
    void Post(quint32 Msg, WPARAM WParam, LPARAM LParam = 0);
    void LogIn(const QByteArray& Name = "alice@demo.pellory");
    void Call(const QString& Address);
    // The called side answers: the link comes up and the conference starts.
    void Establish();
    // A shown window with "CloseToTray" set, in a conference.
    void ConferenceClosingToTray();
    QComboBox* Box() const { return FForm->CallingID; }

    std::unique_ptr<TTestPlatformRoot> FRoot;
    std::unique_ptr<TMainForm> FForm;
    quint32 FTick = 1000;
};

void TestMainWindow::init()
{
    FRoot = std::make_unique<TTestPlatformRoot>();
    TOrvantaFake::Reset();
    MainFormFixture::PrepareEngine();
    FTick = 1000;
    TMainForm::TickCount = [this] { return FTick; };
}

void TestMainWindow::cleanup()
{
    FForm.reset();
    TKrMessageDlg::RemoveScript();
    TOrvantaFake::Reset();
    FRoot.reset();
}

void TestMainWindow::CreateForm()
{
    FForm = std::make_unique<TMainForm>();
    FForm->setAttribute(Qt::WA_DontShowOnScreen);
}

void TestMainWindow::Post(quint32 Msg, WPARAM WParam, LPARAM LParam)
{
    MainFormFixture::Post(*FForm, Msg, WParam, LParam);
}

void TestMainWindow::LogIn(const QByteArray& Name)
{
    MainFormFixture::LogIn(*FForm, Name);
}

void TestMainWindow::Call(const QString& Address)
{
    FForm->CallingID->setEditText(Address);
    FForm->ActionConnect->trigger();
}

void TestMainWindow::Establish()
{
    Post(KR_WM_STATUS, Online | KR_STATUS_LINK_UP);
    Post(KR_WM_CALL, KR_CALL_ESTABLISHED);
}

void TestMainWindow::ConferenceClosingToTray()
{
    TOrvantaFake::SetSetting("CloseToTray", true);
    CreateForm();
    FForm->show();
    LogIn();
    Call(QStringLiteral("bob@demo.pellory"));
    Establish();
    TKrMessageDlg::ClearShownMessages();
}

void TestMainWindow::firstRunFollowsInitialized_data()
{
    QTest::addColumn<int>("initialized"); // -1: no value
    QTest::addColumn<bool>("prepares");
    QTest::addColumn<bool>("pages");
    QTest::newRow("never started") << -1 << true << true;
    QTest::newRow("only audio pending") << 2 << true << false;
    QTest::newRow("set up") << 3 << false << false;
}

void TestMainWindow::firstRunFollowsInitialized()
{
    QFETCH(int, initialized);
    QFETCH(bool, prepares);
    QFETCH(bool, pages);
    TRegistry registry(HKEY_CURRENT_USER);
    QVERIFY(registry.OpenKey(AppKey, true));
    if (initialized < 0)
        registry.DeleteValue(QStringLiteral("Initialized"));
    else
        registry.WriteInteger(QStringLiteral("Initialized"), quint32(initialized));

    // Each first-run page is answered with Next as it comes.
    QStringList seen;
    std::function<void(QWidget*)> next = [&](QWidget* Dialog) {
        if (auto info = qobject_cast<TInfoFormForm*>(Dialog)) {
            seen << info->StepLabel->text();
            WhenModal(next); // the same window comes back with the next page
            info->NextButton->click();
        }
    };
    WhenModal(next);
    CreateForm();
    FForm->show();
    QTRY_VERIFY_WITH_TIMEOUT(!pages || seen.size() == 2, 5000);
    QTest::qWait(50);

    QCOMPARE(!TOrvantaFake::ProcessCalls("Receivers\\AudioPlayback\\PrepareAudio").isEmpty(),
             prepares);
    QCOMPARE(ReadRegistry(AppKey, QStringLiteral("Initialized")), std::optional<quint32>(3));
    if (pages)
        QCOMPARE(seen, (QStringList{QStringLiteral("Hardware Check"),
                                    QStringLiteral("Network Configuration")}));
    else
        QVERIFY(seen.isEmpty());
    QCOMPARE(TOrvantaFake::Calls("KrBwtWizardOn").size(), pages ? 2 : 0);
}

void TestMainWindow::captureFormat_data()
{
    QTest::addColumn<qint64>("format"); // -1: no value
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("rate");
    QTest::newRow("none") << qint64(-1) << QSize(320, 240) << 8000;
    QTest::newRow("40x30 rate 2") << qint64(0x021E28) << QSize(320, 240) << 22050;
    QTest::newRow("80x60 rate 1") << qint64(0x013C50) << QSize(640, 480) << 11025;
    QTest::newRow("rate code 7") << qint64(0x071E28) << QSize(320, 240) << 8000;
    QTest::newRow("width byte 19") << qint64(0x021E13) << QSize(320, 240) << 8000;
    QTest::newRow("height byte 14") << qint64(0x020E28) << QSize(320, 240) << 8000;
}

void TestMainWindow::captureFormat()
{
    QFETCH(qint64, format);
    QFETCH(QSize, size);
    QFETCH(int, rate);
    if (format >= 0)
        WriteRegistry(AppKey + QStringLiteral("\\Current configuration"), QStringLiteral("Format"),
                      quint32(format));
    CreateForm();
    QCOMPARE(FForm->CaptureSize(), size);
    QCOMPARE(FForm->AudioRate(), rate);
    const QList<TFakeCall> starts = TOrvantaFake::Calls("KrStartSender");
    QVERIFY(!starts.isEmpty());
    const TFakeCall& start = starts.last();
    QCOMPARE(start.Args.value(6).toInt(), size.width());
    QCOMPARE(start.Args.value(7).toInt(), size.height());
    QCOMPARE(start.Args.value(8).toInt(), rate);
}

void TestMainWindow::modesSetTrayAndStatusBar()
{
    CreateForm();
    QCOMPARE(FForm->TrayIconIndex(), 6);
    QCOMPARE(FForm->TrayHint(), QStringLiteral("Offline"));

    Post(KR_WM_STATUS, Connected);
    QCOMPARE(FForm->TrayIconIndex(), 4);
    QCOMPARE(FForm->TrayHint(), QStringLiteral("Not logged in"));
    QCOMPARE(FForm->StatusBarText(0), QStringLiteral("Not logged in"));

    LogIn();
    QCOMPARE(FForm->TrayIconIndex(), 5);
    QCOMPARE(FForm->TrayHint(), QStringLiteral("Online"));
    QCOMPARE(FForm->StatusBarText(0), QStringLiteral("User Alice"));
    QCOMPARE(FForm->StatusBarImage(0), 1);
    QVERIFY(FForm->ShowsHint());
    QCOMPARE(Box()->currentText(), QStringLiteral("Type in an email address to place a call"));
    QCOMPARE(TOrvantaFake::ProcessCalls("Lastlogin", KR_OP_WRITE_SETTING).size(), 1);

    Call(QStringLiteral("bob@demo.pellory"));
    QCOMPARE(FForm->StatusMode(), 3);
    Establish();
    QCOMPARE(FForm->StatusMode(), 4);
    QCOMPARE(FForm->TrayIconIndex(), 7);
    QCOMPARE(FForm->TrayHint(), QStringLiteral("In conference"));
    QCOMPARE(FForm->StatusBarImage(0), 2);
    QCOMPARE(FForm->StatusBarWidth(1), 110);
    QCOMPARE(FForm->StatusBarWidth(2), 110);
    QVERIFY(FForm->StatTimer->isActive());
    QVERIFY(FForm->CallTimer->isActive());
    QVERIFY(!TOrvantaFake::Calls("KrConnectSender").isEmpty());
    QVERIFY(!TOrvantaFake::ProcessCalls("Receivers\\ConnectReceiver").isEmpty());

    FForm->ActionDisconnect->trigger();
    QVERIFY(!TOrvantaFake::Calls("KrHangupProtocolConnect").isEmpty());
    Post(KR_WM_STATUS, Online);
    QCOMPARE(FForm->StatusMode(), 2);
    QCOMPARE(FForm->TrayIconIndex(), 5);
    QCOMPARE(FForm->StatusBarWidth(1), 0);
    QCOMPARE(FForm->QualityIndex(), 5);
    QVERIFY(!FForm->StatTimer->isActive());

    Post(KR_WM_STATUS, Connected);
    QCOMPARE(FForm->TrayIconIndex(), 4);
    QCOMPARE(FForm->StatusBarText(0), QStringLiteral("Not logged in"));
    Post(KR_WM_STATUS, 0);
    QCOMPARE(FForm->TrayIconIndex(), 6);
    QCOMPARE(FForm->StatusLabel->text(), QStringLiteral("Trying to connect to server..."));
}

void TestMainWindow::controlsFollowTheMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("login");
    QTest::addColumn<QString>("loginCaption");
    QTest::addColumn<bool>("connect");
    QTest::addColumn<bool>("disconnect");
    QTest::addColumn<bool>("callingBox");
    QTest::addColumn<bool>("book");
    QTest::addColumn<bool>("hardware");
    QTest::newRow("offline") << 0 << false << "&Login" << false << false << false << false << true;
    QTest::newRow("connected") << 1 << true << "&Login" << false << false << true << true << true;
    QTest::newRow("online") << 2 << true << "&Logout" << true << false << true << true << true;
    QTest::newRow("calling") << 3 << false << "&Logout" << false << true << false << true << false;
    QTest::newRow("conference") << 4 << false << "&Logout" << false << true << false << true
                                << false;
}

void TestMainWindow::controlsFollowTheMode()
{
    QFETCH(int, mode);
    CreateForm();
    if (mode >= 1)
        Post(KR_WM_STATUS, Connected);
    if (mode >= 2)
        LogIn();
    if (mode >= 3)
        Call(QStringLiteral("bob@demo.pellory"));
    if (mode >= 4)
        Establish();
    QCOMPARE(FForm->StatusMode(), mode);

    QTEST(FForm->ActionLogin->isEnabled(), "login");
    QTEST(FForm->ActionLogin->text(), "loginCaption");
    QTEST(FForm->ActionConnect->isEnabled(), "connect");
    QTEST(FForm->ActionDisconnect->isEnabled(), "disconnect");
    QTEST(!FForm->CallingID->isHidden(), "callingBox");
    QTEST(FForm->ActionBook->isEnabled(), "book");
    QTEST(FForm->ActionHardware->isEnabled(), "hardware");
    QCOMPARE(FForm->StatusPanel->isHidden(), !FForm->CallingID->isHidden());
}

void TestMainWindow::callingBoxRules_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<bool>("placed");
    QTest::newRow("bare name") << "bob" << true << false;
    QTest::newRow("name and number") << "bob#12" << false << true;
    QTest::newRow("address") << "bob@demo.pellory" << false << true;
    QTest::newRow("own address") << "alice@demo.pellory" << false << false;
    QTest::newRow("own address, other case") << "Alice@demo.pellory" << false << true;
}

void TestMainWindow::callingBoxRules()
{
    QFETCH(QString, address);
    QFETCH(bool, warned);
    QFETCH(bool, placed);
    CreateForm();
    LogIn();
    TKrMessageDlg::ClearShownMessages();
    FForm->CallingID->setFocus();
    FForm->CallingID->setEditText(address);
    QTest::keyClick(FForm->CallingID->lineEdit(), Qt::Key_Return);

    QCOMPARE(Shown().contains(QStringLiteral("Incorrect address format. Please type in an email "
                                             "address of the person you are trying to call.")),
             warned);
    const QList<TFakeCall> calls = TOrvantaFake::ProcessCalls("Protocol\\Call", KR_OP_RUN);
    QCOMPARE(calls.isEmpty(), !placed);
    if (placed) {
        QCOMPARE(FForm->StatusMode(), 3);
        QCOMPARE(FForm->CallTarget(), address);
        QCOMPARE(Box()->itemText(0), address);
    }
}

void TestMainWindow::callHistoryKeepsTenNewestFirst()
{
    TOrvantaFake::SetHistory({"a@x", "b@x", "c@x", "d@x", "e@x", "f@x", "g@x", "h@x", "i@x"});
    CreateForm();
    QCOMPARE(Box()->count(), 9);
    Box()->setEditText(QStringLiteral("j@x"));
    FForm->AddToCallHistory();
    QCOMPARE(Box()->count(), 10);
    Box()->setEditText(QStringLiteral("k@x"));
    FForm->AddToCallHistory();
    QCOMPARE(Box()->count(), 10);
    QCOMPARE(Box()->itemText(0), QStringLiteral("k@x"));
    QCOMPARE(Box()->itemText(9), QStringLiteral("h@x")); // "i@x" was tenth and went

    Box()->setEditText(QStringLiteral("E@X"));
    FForm->AddToCallHistory();
    QCOMPARE(Box()->count(), 10);
    QCOMPARE(Box()->itemText(0), QStringLiteral("E@X"));
    QCOMPARE(Box()->findText(QStringLiteral("e@x"), Qt::MatchFixedString | Qt::MatchCaseSensitive),
             -1);
}

void TestMainWindow::pastedLinesJoin()
{
    CreateForm();
    Box()->setEditText(QStringLiteral("bob@\r\ndemo.\r\npellory"));
    QCOMPARE(Box()->currentText(), QStringLiteral("bob@demo.pellory"));
}

void TestMainWindow::ringBackTimesOut()
{
    CreateForm();
    LogIn();
    Call(QStringLiteral("bob@demo.pellory"));
    QCOMPARE(FForm->StatusMode(), 3);
    QVERIFY(FForm->WaitTimer->isActive());
    QCOMPARE(FForm->WaitTimer->interval(), 25000);
    QVERIFY(TOrvantaFake::Calls("KrHangupProtocolConnect").isEmpty());

    FForm->WaitTimerTimer();
    QVERIFY(!FForm->WaitTimer->isActive());
    QCOMPARE(TOrvantaFake::Calls("KrHangupProtocolConnect").size(), 1);

    // Once the call is up, the time-out leaves it alone.
    Post(KR_WM_STATUS, Online);
    Call(QStringLiteral("bob@demo.pellory"));
    Establish();
    TOrvantaFake::Reset();
    FForm->WaitTimerTimer();
    QVERIFY(TOrvantaFake::Calls("KrHangupProtocolConnect").isEmpty());
}

void TestMainWindow::busySignalHoldsTheStatusPanel()
{
    CreateForm();
    LogIn();
    Call(QStringLiteral("busy@demo.pellory"));
    // The engine breaks the call: the peer is busy.
    Post(KR_WM_STATUS, Online | 133);
    QCOMPARE(FForm->StatusMode(), 2);
    QVERIFY(FForm->BusySignal());
    QCOMPARE(FForm->StatusLabel->text(), QStringLiteral("Busy ...."));
    QVERIFY(!FForm->StatusPanel->isHidden());
    QVERIFY(!FForm->ActionConnect->isEnabled());
    QVERIFY(FForm->ActionDisconnect->isEnabled());
    QVERIFY(FForm->BusyTimer->isActive());

    FForm->ActionDisconnect->trigger();
    QVERIFY(!FForm->BusySignal());
    QVERIFY(FForm->ActionConnect->isEnabled());
    QVERIFY(FForm->StatusPanel->isHidden());
}

void TestMainWindow::loginLoopAsksAgainForMissingFields()
{
    CreateForm();
    Post(KR_WM_STATUS, Connected);
    // First no password, then no user name, then both.
    QList<std::pair<QString, QString>> entries{{QStringLiteral("ann"), QString()},
                                               {QString(), QStringLiteral("secret")},
                                               {QStringLiteral("ann"), QStringLiteral("secret")}};
    std::function<void(QWidget*)> fill = [&](QWidget* Dialog) {
        auto login = qobject_cast<TLoginForm*>(Dialog);
        if (!login || entries.isEmpty())
            return;
        const auto [user, password] = entries.takeFirst();
        login->Login->setText(user);
        login->Password->setText(password);
        if (!entries.isEmpty())
            WhenModal(fill, Dialog);
        login->OkButton->click();
    };
    WhenModal(fill);
    FForm->ActionLogin->trigger();

    QVERIFY(entries.isEmpty());
    QCOMPARE(Shown(), (QStringList{QStringLiteral("Please enter a valid password"),
                                   QStringLiteral("Please enter a user name to login")}));
    const QList<TFakeCall> logins = TOrvantaFake::Calls("KrLoginToServer");
    QCOMPARE(logins.size(), 1);
    QCOMPARE(logins.first().Args.value(1).toByteArray(), QByteArray("ann"));
    QCOMPARE(FForm->LoginName(), QStringLiteral("ann"));
}

void TestMainWindow::refusedLoginReopensTheDialog()
{
    CreateForm();
    Post(KR_WM_STATUS, Connected);
    int dialogs = 0;
    WhenModal([&](QWidget* Dialog) {
        ++dialogs;
        Dialog->close();
    });
    // Wrong user name or password.
    Post(KR_WM_STATUS, Connected | 33);
    QTRY_COMPARE(dialogs, 1);
    QVERIFY(Shown().contains(QStringLiteral("User login: Incorrect user name or password")));
}

void TestMainWindow::logoutAsksFirst()
{
    CreateForm();
    LogIn();
    TKrMessageDlg::InstallScript([](const TShownMessage&) { return int(mrNo); });
    // The confirmation is answered No by closing it.
    WhenModal([](QWidget* Dialog) { Dialog->close(); });
    FForm->ActionLogin->trigger();
    QVERIFY(TOrvantaFake::Calls("KrLogoutServer").isEmpty());

    TOrvantaFake::SetSetting("AskConfirmation", true);
    FForm->ActionLogin->trigger();
    QCOMPARE(TOrvantaFake::Calls("KrLogoutServer").size(), 1);
}

void TestMainWindow::sendRateIsCappedAt60()
{
    CreateForm();
    LogIn();
    Call(QStringLiteral("bob@demo.pellory"));
    Establish();
    TOrvantaFake::SetTraffic(9413, 1000); // 75.3 and 8.0 kb/s
    FForm->StatTimerTimer();
    QCOMPARE(FForm->StatusBarText(1), QStringLiteral("Snd: 60.0 kb/s"));
    QCOMPARE(FForm->StatusBarText(2), QStringLiteral("Rcv: 8.0 kb/s"));

    FTick += 3723000;
    FForm->CallTimerTimer();
    QVERIFY(FForm->StatusLabel->text().endsWith(QStringLiteral(". Call in progress 01:02:03")));
}

void TestMainWindow::volumeBarUnmutes()
{
    TOrvantaFake::SetProcess(KR_OP_GET, "Receivers\\AudioPlayback\\AudioRenderList", 0,
                             QVariantList{QByteArray("Speakers")});
    TOrvantaFake::SetProcess(KR_OP_GET, "Receivers\\PlaybackDevice", 0, QByteArray("Speakers"));
    CreateForm();
    FForm->ActionPlayAudio->trigger();
    QVERIFY(!FForm->ActionPlayAudio->isChecked());
    FForm->VolumeBar->setValue(FForm->VolumeBar->value() == 40 ? 60 : 40);
    QVERIFY(FForm->ActionPlayAudio->isChecked());
}

void TestMainWindow::scriptedRequestLogsOutLogsInAndCalls()
{
    CreateForm();
    LogIn("someone@demo.pellory");
    FForm->CallProcess()->Start(QString(), QString(), QString(), QString(),
                                QStringLiteral("alice@demo.pellory"),
                                QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"),
                                QStringLiteral("bob@demo.pellory"), QString(), 0, false);
    QCOMPARE(TOrvantaFake::Calls("KrLogoutServer").size(), 1);

    FTick += 10000;
    Post(KR_WM_STATUS, Connected);
    const QList<TFakeCall> logins = TOrvantaFake::Calls("KrLoginToServer");
    QCOMPARE(logins.size(), 1);
    QCOMPARE(logins.first().Args.value(1).toByteArray(), QByteArray("alice@demo.pellory"));

    FTick += 10000;
    TOrvantaFake::SetTexts("KrGetMyName", {"alice@demo.pellory", "Alice", ""});
    Post(KR_WM_STATUS, Online);
    const QList<TFakeCall> calls = TOrvantaFake::ProcessCalls("Protocol\\Call", KR_OP_RUN);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(FForm->StatusMode(), 3);
    QCOMPARE(FForm->CallTarget(), QStringLiteral("bob@demo.pellory"));
}

void TestMainWindow::scriptedRequestExpiresAfterAMinute()
{
    CreateForm();
    LogIn("someone@demo.pellory");
    FForm->CallProcess()->Start(QString(), QString(), QString(), QString(),
                                QStringLiteral("alice@demo.pellory"),
                                QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"),
                                QStringLiteral("bob@demo.pellory"), QString(), 0, false);
    FTick += 60001;
    Post(KR_WM_STATUS, Connected);
    QVERIFY(TOrvantaFake::Calls("KrLoginToServer").isEmpty());
    QVERIFY(FForm->CallProcess()->Idle());
}

void TestMainWindow::doubleClickedContact_data()
{
    QTest::addColumn<QString>("conference");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("stateImage");
    QTest::addColumn<QByteArray>("called");
    QTest::addColumn<int>("type");
    QTest::newRow("online friend") << "" << 1 << 1 << QByteArray("bob@demo.pellory") << 0;
    QTest::newRow("multicasting friend") << "" << 1 << 4 << QByteArray("bob@demo.pellory") << 2;
    QTest::newRow("runs a conference") << "review" << 5 << 5 << QByteArray("review") << 12;
    QTest::newRow("in my conference")
        << "alice@demo.pellory" << 5 << 5 << QByteArray("bob@demo.pellory") << 0;
}

void TestMainWindow::doubleClickedContact()
{
    QFETCH(QString, conference);
    QFETCH(int, status);
    QFETCH(int, stateImage);
    QFETCH(QByteArray, called);
    QFETCH(int, type);
    CreateForm();
    LogIn();
    FForm->UserListDblClick(QStringLiteral("bob@demo.pellory"), conference, status, stateImage);
    const QList<TFakeCall> calls = TOrvantaFake::ProcessCalls("Protocol\\Call", KR_OP_RUN);
    QCOMPARE(calls.size(), 1);
    const QVariantList call = calls.first().Value().toList();
    QCOMPARE(call.value(1).toByteArray(), called);
    QCOMPARE(FForm->KrCore->ConferenceType(), TConferenceType(type));
}

void TestMainWindow::proxyCredentialsGoBackToTheEngine()
{
    CreateForm();
    char user[KR_PROXY_TEXT_SIZE] = "old";
    char password[KR_PROXY_TEXT_SIZE] = "old";
    WhenModal([](QWidget* Dialog) {
        auto form = qobject_cast<TAuthenticationForm*>(Dialog);
        QVERIFY(form);
        QCOMPARE(form->UserEdit->text(), QStringLiteral("old"));
        form->UserEdit->setText(QStringLiteral("demo"));
        form->PasswordEdit->setText(QStringLiteral("secret"));
        form->TeButton1->click();
    });
    Post(KR_WM_PROXY_AUTH, WPARAM(user), LPARAM(password));
    QCOMPARE(QByteArray(user), QByteArray("demo"));
    QCOMPARE(QByteArray(password), QByteArray("secret"));
    const QList<TFakeCall> ends = TOrvantaFake::Calls("KrProxyDialogEnd");
    QCOMPARE(ends.size(), 1);
    QCOMPARE(ends.first().Args.value(0).toInt(), 2);
}

void TestMainWindow::hiddenStart_data()
{
    QTest::addColumn<bool>("firstRun");
    QTest::addColumn<bool>("shown");
    QTest::newRow("normal run") << false << false;
    QTest::newRow("first run") << true << true;
}

void TestMainWindow::hiddenStart()
{
    QFETCH(bool, firstRun);
    QFETCH(bool, shown);
    if (firstRun)
        WriteRegistry(AppKey, QStringLiteral("Initialized"), 0);
    StartupValues.StartHidden = true;
    CreateForm(); // the first-run pages would follow the first paint
    QCOMPARE(FForm->isVisible(), shown);
    QCOMPARE(FForm->HiddenToTray(), !shown);
    QCOMPARE(StartupValues.StartHidden, !shown);
}

void TestMainWindow::closeToTrayAsksAboutTheConference()
{
    ConferenceClosingToTray();
    TKrMessageDlg::InstallScript([](const TShownMessage&) { return int(mrNo); });

    FForm->close();
    QCOMPARE(Shown(), QStringList{QStringLiteral("Do you want to end current conference ?")});
    QVERIFY(FForm->HiddenToTray());
    QVERIFY(!FForm->isVisible());
    QCOMPARE(FForm->StatusMode(), 4);
    QVERIFY(TOrvantaFake::Calls("KrHangupProtocolConnect").isEmpty());

    FForm->RestoreFromTray();
    QVERIFY(FForm->isVisible());
    QVERIFY(!FForm->HiddenToTray());
}

void TestMainWindow::exitDuringAConferenceHangsUp()
{
    ConferenceClosingToTray();

    FForm->Exit1->trigger();
    QVERIFY(Shown().isEmpty());
    QVERIFY(MainWindowClosing);
    QVERIFY(!MainWindowReady);
    QVERIFY(!TOrvantaFake::Calls("KrHangupProtocolConnect").isEmpty());
    QVERIFY(!TOrvantaFake::ProcessCalls("ShowSelf", KR_OP_WRITE_SETTING).isEmpty());
    QVERIFY(!TOrvantaFake::Calls("KrRelease").isEmpty());
}

void TestMainWindow::chatSizeAndColourComeBack()
{
    TChatForm chat;
    ChatForm = &chat;
    const auto forget = qScopeGuard([] { ChatForm = nullptr; });
    // The flags block keeps five integers from byte 20: the first is the size
    // entry, the fourth the colour with red in its low byte.
    QByteArray flags(KR_FLAGS_BLOCK_SIZE, '\0');
    flags[20] = 15;
    flags[32] = char(0x20);
    flags[33] = char(0x40);
    flags[34] = char(0x80);
    TOrvantaFake::SetFlags(flags);
    CreateForm();
    QCOMPARE(chat.FontSizeEdit->currentText(), QStringLiteral("72"));
    QCOMPARE(chat.Color(), QColor(0x20, 0x40, 0x80));
    QVERIFY(chat.Document().contains("color:204080;font-size:72"));

    chat.FontSizeEdit->setCurrentIndex(3);
    chat.SetColor(QColor(0x10, 0x20, 0x30));
    FForm->Exit1->trigger();
    const QList<TFakeCall> saved = TOrvantaFake::Calls("KrSetFlags");
    QVERIFY(!saved.isEmpty());
    const QByteArray block = saved.last().Args.value(1).toByteArray();
    QCOMPARE(int(block.at(20)), 3);
    QCOMPARE(block.mid(32, 4), QByteArray::fromHex("10203000"));
}

void TestMainWindow::sideWindowsShareOnePlace()
{
    TChatForm chat;
    THistoryForm history;
    THotListForm book;
    TSearchForm search;
    ChatForm = &chat;
    HistoryForm = &history;
    HotListForm = &book;
    SearchForm = &search;
    const auto forget = qScopeGuard([] {
        ChatForm = nullptr;
        HistoryForm = nullptr;
        HotListForm = nullptr;
        SearchForm = nullptr;
    });
    CreateForm();
    // Placed beside the main window, as high as it, or at the screen's edge
    // when there is no room.
    const QRect main = FForm->frameGeometry();
    const int screenWidth = QGuiApplication::primaryScreen()->geometry().width();
    for (QWidget* window : std::initializer_list<QWidget*>{&chat, &history, &book, &search}) {
        const int fit = window == &chat ? chat.width() : book.width();
        QCOMPARE(window->x(), qMin(main.right() + 1, screenWidth - fit));
        QVERIFY(qAbs(window->y() - main.top()) <= 4); // the frame may settle after showing
        if (window->minimumHeight() != window->maximumHeight()) // the book keeps its own size
            QCOMPARE(window->height(), FForm->height());
    }
    FForm->show();

    // Not logged in: the book's button asks for the login instead.
    Post(KR_WM_STATUS, Connected);
    bool asked = false;
    WhenModal([&](QWidget* Dialog) {
        asked = true;
        Dialog->close();
    });
    FForm->ActionBook->trigger();
    QVERIFY(asked);
    QVERIFY(!book.isVisible());

    LogIn(); // opens the address book
    QVERIFY(book.isVisible());
    FForm->ActionBook->trigger();
    QVERIFY(!book.isVisible());
    FForm->ActionBook->trigger();
    QVERIFY(book.isVisible());

    // History takes the book's place; the chat then hides it and the others
    // move to where it was.
    book.move(100, 50);
    history.move(300, 70);
    search.move(500, 90);
    FForm->ActionHistory->trigger();
    QVERIFY(history.isVisible() && !book.isVisible());
    QCOMPARE(history.pos(), QPoint(100, 50));
    history.move(120, 60);
    FForm->ActionChat->trigger();
    QVERIFY(chat.isVisible() && !history.isVisible());
    QCOMPARE(book.pos(), QPoint(120, 60));
    QCOMPARE(search.pos(), QPoint(120, 60));
    QVERIFY(FForm->ActionChat->isChecked());

    // Coming back from the tray with the history shown hides the other lists.
    FForm->ActionHistory->trigger();
    search.show();
    FForm->TrayButtonClick();
    FForm->RestoreFromTray();
    QVERIFY(history.isVisible() && !search.isVisible() && !book.isVisible());
}

void TestMainWindow::onlineHelp_data()
{
    QTest::addColumn<QByteArray>("helpUrl");
    QTest::addColumn<QString>("opened");
    QTest::newRow("the service's page")
        << QByteArray("https://help.example/tavrilo") << "https://help.example/tavrilo";
    QTest::newRow("the built-in one") << QByteArray() << "https://www.pellory.example/help.asp";
}

void TestMainWindow::onlineHelp()
{
    QFETCH(QByteArray, helpUrl);
    QFETCH(QString, opened);
    QStringList targets;
    TShell::InstallRecorder([&](const QString& Target, bool) { targets << Target; });
    const auto restore = qScopeGuard([] { TShell::RemoveRecorder(); });
    TOrvantaFake::SetProperty("help_url", helpUrl);
    CreateForm();
    FForm->OnlineItem->trigger();
    QCOMPARE(targets, QStringList{opened});
}

void TestMainWindow::minimizingHidesToTheTray()
{
    CreateForm();
    FForm->show();
    FForm->showMinimized();
    QTRY_VERIFY(FForm->HiddenToTray());
    QVERIFY(!FForm->isVisible());
    FForm->RestoreFromTray();
    QVERIFY(FForm->isVisible() && !FForm->isMinimized());
}

void TestMainWindow::loginOpensTheAddressBook_data()
{
    QTest::addColumn<bool>("inTray");
    QTest::newRow("window shown") << false;
    QTest::newRow("hidden in the tray") << true;
}

void TestMainWindow::loginOpensTheAddressBook()
{
    QFETCH(bool, inTray);
    THotListForm book;
    HotListForm = &book;
    const auto forget = qScopeGuard([] { HotListForm = nullptr; });
    CreateForm();
    if (inTray)
        FForm->TrayButtonClick();
    LogIn();
    QCOMPARE(book.isVisible(), !inTray);
}

void TestMainWindow::bookResultsShowBesideTheLists_data()
{
    QTest::addColumn<bool>("add");
    QTest::addColumn<int>("eventCode");
    QTest::addColumn<QString>("text");
    QTest::newRow("added") << true << 1536 << "User ann@x was added to your address book.";
    QTest::newRow("deleted") << false << 1536 << "User ann@x was deleted from your address book.";
    QTest::newRow("not found") << true << 1539 << "User ann@x not found.";
    QTest::newRow("not valid") << true << 1537 << "User ann@x not valid.";
    QTest::newRow("already there") << true << 1538 << "User ann@x is already in your address book.";
    QTest::newRow("database") << true << 1540 << "Data base error. Address to developers.";
}

void TestMainWindow::bookResultsShowBesideTheLists()
{
    QFETCH(bool, add);
    QFETCH(int, eventCode);
    QFETCH(QString, text);
    THotListForm book;
    HotListForm = &book;
    const auto forget = qScopeGuard([] { HotListForm = nullptr; });
    CreateForm();
    LogIn();
    const auto request = [&](int Number) {
        TOrvantaFake::QueueResults("KrAddressBook", {Number, 0});
        if (add)
            FForm->KrBooks->AddFriendByEmail(QStringLiteral("ann@x"));
        else
            FForm->KrBooks->DeleteFriend(QStringLiteral("ann@x"), QStringLiteral("ann@x"));
        Post(KR_WM_STATUS, Online | quint32(eventCode), Number);
    };
    book.hide(); // the login opened it
    TKrMessageDlg::ClearShownMessages();
    request(7); // no list window open: nothing to say
    QVERIFY(Shown().isEmpty());
    book.show();
    request(8);
    QCOMPARE(Shown(), QStringList{text});
    QCOMPARE(TKrMessageDlg::ShownMessages().first().DlgType, mtInformation);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
