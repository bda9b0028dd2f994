// The main window on the real engine and its demo service, driven as a user
// drives it.
#include "ModalSupport.h"
#include "TestSupport.h"
#include "chat/chat.h"
#include "contacts/AddNew.h"
#include "contacts/HotList.h"
#include "mainwindow/FormIncomming.h"
#include "mainwindow/MainScreen.h"
#include "mainwindow/Missed.h"
#include "orvanta_demo.h"
#include "setup/Login.h"
#include "startup/StartupValues.h"
#include "tools/DemoProfile.h"
#include "ui/MessageDlg.h"
#include "ui/WavePlay.h"
#include "video/SelfViewUnit.h"
#include "video/VideoPanel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

class TestMainWindowEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void logInCallTheEchoPeerAndHangUp();
    void busyPeerGivesTheBusySignal();
    void refusedLoginReopensTheDialog();
    void scriptedRequestSwitchesUserAndCalls();
    void incomingCallRingsAndYesReachesTheConference();
    void incomingCallRefused();
    void callerGivingUpIsAMissedCall_data();
    void callerGivingUpIsAMissedCall();
    void threeMissedCallsEndInOnePluralNotice();
    void autoAnswerTakesPlainCallsOnly();
    void callsWhileSettingUpAreRefused();
    void chatWithTheEchoPeer();
    void addressBookAfterLogin();

private:
    void CreateForm();
    // Logs in through the login dialog, as a user does.
    void LogIn(const QString& User, const QString& Password);

    std::unique_ptr<TTestPlatformRoot> FRoot;
    std::unique_ptr<TMainForm> FForm;
};

void TestMainWindowEndToEnd::init()
{
    FRoot = std::make_unique<TTestPlatformRoot>();
    TOrvantaDemo::SetTimings(100, 60000, 60000, 60000);
    StartupValues = {};
    TKrMessageDlg::ClearShownMessages();
    TKrMessageDlg::InstallScript([](const TShownMessage&) { return int(mrOk); });
    TDemoProfile::MarkFirstRunDone();
}

void TestMainWindowEndToEnd::cleanup()
{
    FForm.reset();
    TKrMessageDlg::RemoveScript();
    FRoot.reset();
}

void TestMainWindowEndToEnd::CreateForm()
{
    FForm = std::make_unique<TMainForm>();
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
    QTRY_COMPARE(FForm->StatusMode(), 1);
}

void TestMainWindowEndToEnd::LogIn(const QString& User, const QString& Password)
{
    WhenModal([&](QWidget* Dialog) {
        auto login = qobject_cast<TLoginForm*>(Dialog);
        QVERIFY(login);
        QTRY_VERIFY(login->OkButton->isEnabled());
        login->Login->setText(User);
        login->Password->setText(Password);
        login->OkButton->click();
    });
    FForm->ActionLogin->trigger();
    QTRY_COMPARE(FForm->StatusMode(), 2);
}

void TestMainWindowEndToEnd::logInCallTheEchoPeerAndHangUp()
{
    TDemoProfile::SelectTestCamera();
    CreateForm();
    QVERIFY(FForm->MainVideoPanel->Rendering()); // the own picture while idle
    LogIn(QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"));
    QCOMPARE(FForm->KrCore->MyName(), QStringLiteral("alice@demo.pellory"));
    QCOMPARE(FForm->TrayHint(), QStringLiteral("Online"));

    FForm->CallingID->lineEdit()->setFocus();
    FForm->CallingID->setEditText(QStringLiteral("echo@demo.pellory"));
    QTest::keyClick(FForm->CallingID->lineEdit(), Qt::Key_Return);
    QCOMPARE(FForm->StatusMode(), 3);
    QVERIFY(!FForm->StatusPanel->isHidden());
    QTRY_COMPARE(FForm->StatusMode(), 4);
    QCOMPARE(FForm->TrayHint(), QStringLiteral("In conference"));
    QVERIFY(FForm->MainVideoPanel->Rendering());

    // The echoed picture reaches the big panel.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QImage shot = FForm->MainVideoPanel->grab().toImage();
            return shot.pixelColor(shot.width() / 2, shot.height() / 2) != QColor(Qt::black);
        }(),
        10000);
    FForm->CallTimerTimer();
    QVERIFY(FForm->StatusLabel->text().contains(QStringLiteral("Call in progress")));

    // The own picture moved into the self view, shown once the user asks for it.
    TSelfMainForm* selfView = FForm->SelfView();
    QVERIFY(selfView);
    QVERIFY(!selfView->isVisible());
    FForm->ActionPip->trigger();
    QVERIFY(selfView->isVisible());
    QVERIFY(selfView->SelfVideoPanel->Rendering());
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QImage shot = selfView->SelfVideoPanel->grab().toImage();
            return shot.pixelColor(shot.width() / 2, shot.height() / 4) != QColor(Qt::black);
        }(),
        10000);

    FForm->ActionDisconnect->trigger();
    QTRY_COMPARE(FForm->StatusMode(), 2);
    QCOMPARE(FForm->TrayHint(), QStringLiteral("Online"));
    QVERIFY(FForm->StatusPanel->isHidden());
    QVERIFY(!selfView->isVisible());
    QVERIFY(FForm->MainVideoPanel->Rendering()); // the own picture is back
    QCOMPARE(FForm->CallingID->itemText(0), QStringLiteral("echo@demo.pellory"));
}

void TestMainWindowEndToEnd::busyPeerGivesTheBusySignal()
{
    CreateForm();
    LogIn(QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"));
    FForm->CallingID->setEditText(QStringLiteral("busy@demo.pellory"));
    FForm->ActionConnect->trigger();
    QTRY_VERIFY(FForm->BusySignal());
    QCOMPARE(FForm->StatusMode(), 2);
    QCOMPARE(FForm->StatusLabel->text(), QStringLiteral("Busy ...."));
    QVERIFY(!FForm->ActionConnect->isEnabled());

    FForm->StopBusySignal(); // what the busy timer does when it fires
    QVERIFY(!FForm->BusySignal());
    QVERIFY(FForm->ActionConnect->isEnabled());
}

void TestMainWindowEndToEnd::refusedLoginReopensTheDialog()
{
    CreateForm();
    QStringList passwords{QStringLiteral("wrong"), QStringLiteral("alice")};
    std::function<void(QWidget*)> answer = [&](QWidget* Dialog) {
        auto login = qobject_cast<TLoginForm*>(Dialog);
        if (!login || passwords.isEmpty())
            return;
        login->Login->setText(QStringLiteral("alice@demo.pellory"));
        login->Password->setText(passwords.takeFirst());
        if (!passwords.isEmpty())
            WhenModal(answer, Dialog);
        login->OkButton->click();
    };
    WhenModal(answer);
    FForm->ActionLogin->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(FForm->StatusMode(), 2, 10000);
    QVERIFY(passwords.isEmpty());
    bool refused = false;
    for (const TShownMessage& message : TKrMessageDlg::ShownMessages())
        refused |= message.Text == QStringLiteral("User login: Incorrect user name or password");
    QVERIFY(refused);
}

void TestMainWindowEndToEnd::scriptedRequestSwitchesUserAndCalls()
{
    CreateForm();
    LogIn(QStringLiteral("bob@demo.pellory"), QStringLiteral("bob"));
    FForm->CallProcess()->Start(QString(), QString(), QString(), QString(),
                                QStringLiteral("alice@demo.pellory"),
                                QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"),
                                QStringLiteral("echo@demo.pellory"), QString(), 0, true);
    QTRY_COMPARE_WITH_TIMEOUT(FForm->StatusMode(), 4, 15000);
    QCOMPARE(FForm->KrCore->MyName(), QStringLiteral("alice@demo.pellory"));
    QCOMPARE(FForm->KrCore->PeerName(), QStringLiteral("echo@demo.pellory"));
}

namespace {

const QString Carol = QStringLiteral("carol@demo.pellory");
const QString Alice = QStringLiteral("alice@demo.pellory");

} // namespace

void TestMainWindowEndToEnd::incomingCallRingsAndYesReachesTheConference()
{
    CreateForm();
    LogIn(Alice, QStringLiteral("alice"));
    QString prompt;
    QString caller;
    bool ringing = false;
    WhenModal([&](QWidget* Dialog) {
        auto incoming = qobject_cast<TIncommingForm*>(Dialog);
        QVERIFY(incoming);
        prompt = incoming->ConfirmLabel_->text();
        caller = incoming->ConfirmLabel->text();
        ringing = FForm->RingWave->Active();
        incoming->YesButton->click();
    });
    QVERIFY(TOrvantaDemo::PlaceCall(Carol, Alice));
    QTRY_COMPARE(FForm->StatusMode(), 4);
    QCOMPARE(prompt, QStringLiteral("Accept incoming call from "));
    QVERIFY(caller.endsWith(QStringLiteral(" ?")) && caller.size() > 2);
    QVERIFY(ringing);
    QVERIFY(!FForm->RingWave->Active());
    QCOMPARE(FForm->KrCore->PeerName(), Carol);
    QCOMPARE(FForm->MissedCount(), 0);
}

void TestMainWindowEndToEnd::incomingCallRefused()
{
    CreateForm();
    LogIn(Alice, QStringLiteral("alice"));
    bool asked = false;
    WhenModal([&](QWidget* Dialog) {
        asked = true;
        QTest::keyClick(Dialog, Qt::Key_Escape); // Escape answers No
    });
    QVERIFY(TOrvantaDemo::PlaceCall(Carol, Alice));
    QTRY_VERIFY(asked);
    QTRY_VERIFY(!FForm->IncomingDialogOpen());
    QTest::qWait(300);
    QCOMPARE(FForm->StatusMode(), 2);
    QCOMPARE(FForm->MissedCount(), 0);
    QVERIFY(!FForm->RingWave->Active());
}

void TestMainWindowEndToEnd::callerGivingUpIsAMissedCall_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK opens the history") << true;
    QTest::newRow("Cancel acknowledges") << false;
}

void TestMainWindowEndToEnd::callerGivingUpIsAMissedCall()
{
    QFETCH(bool, ok);
    TOrvantaDemo::SetTimings(100, 60000, 300, 60000);
    CreateForm();
    LogIn(Alice, QStringLiteral("alice"));
    const QDateTime before = QDateTime::currentDateTime();
    QString notice;
    QDateTime firstMissed;
    std::function<void(QWidget*)> answer = [&](QWidget* Dialog) {
        auto missed = qobject_cast<TMissedForm*>(Dialog);
        if (!missed) { // the incoming call rings on, unanswered
            WhenModal(answer);
            return;
        }
        notice = missed->TeLabel1->text();
        firstMissed = FForm->MissedFirstTime();
        (ok ? missed->TeButton1 : missed->TeButton2)->click();
    };
    WhenModal(answer);
    QVERIFY(TOrvantaDemo::PlaceCall(Carol, Alice));
    QTRY_COMPARE_WITH_TIMEOUT(notice, QStringLiteral("You have a missed call !"), 10000);
    QTRY_VERIFY(!FForm->MissedForm());
    QCOMPARE(FForm->MissedCount(), 0);
    QVERIFY(!FForm->MissedFirstTime().isValid());
    QVERIFY(firstMissed >= before);
    if (ok)
        QCOMPARE(FForm->MissedSince(), firstMissed);
    else
        QVERIFY(FForm->MissedSince() > firstMissed);
}

void TestMainWindowEndToEnd::threeMissedCallsEndInOnePluralNotice()
{
    TOrvantaDemo::SetTimings(100, 60000, 300, 60000);
    CreateForm();
    LogIn(Alice, QStringLiteral("alice"));
    // Each new call takes the open notice away; the next miss brings it back counting on.
    int calls = 1;
    QString last;
    std::function<void(QWidget*)> onNotice = [&](QWidget* Dialog) {
        auto missed = qobject_cast<TMissedForm*>(Dialog);
        if (missed && FForm->MissedCount() != calls)
            missed = nullptr; // the notice of an earlier call, on its way out
        if (missed && calls < 3) {
            ++calls;
            TOrvantaDemo::PlaceCall(Carol, Alice);
        } else if (missed) {
            last = missed->TeLabel1->text();
            missed->TeButton2->click();
            return;
        }
        WhenModal(onNotice);
    };
    WhenModal(onNotice);
    QVERIFY(TOrvantaDemo::PlaceCall(Carol, Alice));
    QTRY_COMPARE_WITH_TIMEOUT(last, QStringLiteral("You have 3  missed calls !"), 15000);
    QCOMPARE(calls, 3);
    QTRY_VERIFY(!FForm->MissedForm());
    QCOMPARE(FForm->MissedCount(), 0);
}

void TestMainWindowEndToEnd::autoAnswerTakesPlainCallsOnly()
{
    CreateForm();
    LogIn(Alice, QStringLiteral("alice"));
    FForm->KrCore->WriteSetting(QStringLiteral("AutoResponce"), TKrValue::Boolean(true));
    FForm->TrayButtonClick();
    QVERIFY(TOrvantaDemo::PlaceCall(Carol, Alice));
    QTRY_COMPARE(FForm->StatusMode(), 4);
    QVERIFY(!FForm->HiddenToTray());
    FForm->ActionDisconnect->trigger();
    QTRY_COMPARE(FForm->StatusMode(), 2);

    // An invitation into a conference is still asked.
    QString prompt;
    WhenModal([&](QWidget* Dialog) {
        auto incoming = qobject_cast<TIncommingForm*>(Dialog);
        QVERIFY(incoming);
        prompt = incoming->ConfirmLabel_->text();
        incoming->NoButton->click();
    });
    QVERIFY(TOrvantaDemo::PlaceCall(QStringLiteral("erin@demo.pellory"), Alice, true));
    QTRY_COMPARE(prompt, QStringLiteral("Accept conference invitation from "));
}

void TestMainWindowEndToEnd::callsWhileSettingUpAreRefused()
{
    TOrvantaDemo::SetTimings(100, 60000, 300, 60000);
    CreateForm();
    LogIn(Alice, QStringLiteral("alice"));
    FForm->SetPreferencesOpen(true);
    QVERIFY(TOrvantaDemo::PlaceCall(Carol, Alice));
    QTest::qWait(800); // longer than the caller waits
    QVERIFY(!FForm->IncomingDialogOpen());
    QCOMPARE(FForm->MissedCount(), 0);
    QVERIFY(!FForm->MissedForm());
    QCOMPARE(FForm->StatusMode(), 2);
}

void TestMainWindowEndToEnd::chatWithTheEchoPeer()
{
    TChatForm chat;
    ChatForm = &chat;
    const auto forget = qScopeGuard([] { ChatForm = nullptr; });
    CreateForm();
    QVERIFY(!chat.ChatEdit->isEnabled());
    LogIn(Alice, QStringLiteral("alice"));
    FForm->CallingID->setEditText(QStringLiteral("echo@demo.pellory"));
    FForm->ActionConnect->trigger();
    QTRY_COMPARE(FForm->StatusMode(), 4);
    QVERIFY(chat.ChatEdit->isEnabled() && chat.SendButton->isEnabled());

    chat.ChatEdit->setPlainText(QStringLiteral("Gr\u00fc\u00dfe <b>"));
    chat.SendButtonClick();
    // The own line, then the echo peer's copy of it.
    QTRY_VERIFY(chat.Document().count("Gr\xc3\xbc\xc3\x9f"
                                      "e &lt;b&gt;") == 2);
    QVERIFY(chat.Document().contains("class=\"my\""));
    QVERIFY(chat.Document().contains("class=\"other\""));

    FForm->ActionDisconnect->trigger();
    QTRY_COMPARE(FForm->StatusMode(), 2);
    QVERIFY(!chat.ChatEdit->isEnabled() && !chat.SendButton->isEnabled());
}

namespace {

QTreeWidgetItem* FriendItem(const THotListForm& Book, const QString& UserId)
{
    for (int i = 0; i < Book.UserList->topLevelItemCount(); ++i)
        if (Book.UserList->topLevelItem(i)->text(1) == UserId)
            return Book.UserList->topLevelItem(i);
    return nullptr;
}

} // namespace

void TestMainWindowEndToEnd::addressBookAfterLogin()
{
    THotListForm book;
    HotListForm = &book;
    const auto forget = qScopeGuard([] { HotListForm = nullptr; });
    TKrMessageDlg::InstallScript([](const TShownMessage& Message) {
        return Message.Buttons & mbYes ? int(mrYes) : int(mrOk);
    });
    CreateForm();
    LogIn(Alice, QStringLiteral("alice"));
    QVERIFY(book.isVisible());

    // The online friends, each with the picture of its state.
    QTRY_VERIFY(FriendItem(book, QStringLiteral("echo@demo.pellory")));
    QVERIFY(FriendItem(book, QStringLiteral("erin@demo.pellory")));
    for (int i = 0; i < book.UserList->topLevelItemCount(); ++i)
        QVERIFY(!book.UserList->topLevelItem(i)->icon(0).isNull());

    // Add a friend by e-mail and hear about it.
    TKrMessageDlg::ClearShownMessages();
    WhenModal([](QWidget* Dialog) {
        auto add = qobject_cast<TAddNewForm*>(Dialog);
        QVERIFY(add);
        add->SeSkinEdit1->setText(QStringLiteral("lena_ross@demo.pellory"));
        add->AddButton->click();
    });
    book.SeSkinButton3Click();
    const QString added =
        QStringLiteral("User lena_ross@demo.pellory was added to your address book.");
    QTRY_VERIFY(!TKrMessageDlg::ShownMessages().isEmpty());
    QCOMPARE(TKrMessageDlg::ShownMessages().last().Text, added);
    book.SeSkinButton6Click(nullptr); // all friends
    QTRY_VERIFY(FriendItem(book, QStringLiteral("lena_ross@demo.pellory")));

    // ... and delete it again.
    book.UserList->setCurrentItem(FriendItem(book, QStringLiteral("lena_ross@demo.pellory")));
    TKrMessageDlg::ClearShownMessages();
    book.SeSkinButton4Click();
    QTRY_VERIFY(!FriendItem(book, QStringLiteral("lena_ross@demo.pellory")));
    QTRY_VERIFY(!TKrMessageDlg::ShownMessages().isEmpty());
    QVERIFY(TKrMessageDlg::ShownMessages().last().Text.contains(QStringLiteral("was deleted")));

    // A double click calls the friend.
    book.UserList->setCurrentItem(FriendItem(book, QStringLiteral("echo@demo.pellory")));
    book.UserListDblClick();
    QTRY_COMPARE(FForm->StatusMode(), 4);
    QCOMPARE(FForm->KrCore->PeerName(), QStringLiteral("echo@demo.pellory"));
    FForm->ActionDisconnect->trigger();
    QTRY_COMPARE(FForm->StatusMode(), 2);

    // On a friend who runs a group conference, it joins the conference.
    book.UserList->setCurrentItem(FriendItem(book, QStringLiteral("erin@demo.pellory")));
    book.UserListDblClick();
    QCOMPARE(FForm->CallTarget(), QStringLiteral("design-review"));
    QCOMPARE(FForm->KrCore->ConferenceType(), ctHotQuery);
    QTRY_COMPARE(FForm->StatusMode(), 4);
}

QTEST_MAIN(TestMainWindowEndToEnd)
#include "tst_mainwindow_e2e.moc"
