#include "ModalSupport.h"
#include "engine/KrCoreFixture.h"
#include "platform/Shell.h"
#include "setup/Login.h"
#include "ui/MessageDlg.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// Acts on the login dialog once it is open.
void WhenLoginOpen(std::function<void(TLoginForm* Form)> Action)
{
    WhenModal([Action](QWidget* Dialog) {
        if (auto form = qobject_cast<TLoginForm*>(Dialog))
            Action(form);
    });
}

QStringList EnabledControls(const TLoginForm* Form)
{
    QStringList names;
    const std::pair<const char*, const QWidget*> controls[] = {
        {"Label3", Form->Label3},
        {"Login", Form->Login},
        {"Label4", Form->Label4},
        {"Password", Form->Password},
        {"AutoLoginBox", Form->AutoLoginBox},
        {"OkButton", Form->OkButton},
        {"SeSkinButton2", Form->SeSkinButton2},
        {"regButton", Form->regButton}};
    for (const auto& [name, control] : controls)
        if (control->isEnabled())
            names << QString::fromLatin1(name);
    return names;
}

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void followsTheConnectionWhileOpen();
    void closesAtOnceWhenAlreadyLoggedIn();
    void cancelsByButtonEscapeAndFrame_data();
    void cancelsByButtonEscapeAndFrame();
    void incompleteInputSendsNothing_data();
    void incompleteInputSendsNothing();
    void okLogsInWithTheTypedName();
    void prefillsTheLastLoginAndFocuses_data();
    void prefillsTheLastLoginAndFocuses();
    void registrationButtonFollowsTheServerAddress_data();
    void registrationButtonFollowsTheServerAddress();
    void opensOnlyOneDialog();

private:
    void Connect() { F->PostStatus(KR_STATUS_CONNECTED); }
    int Run() { return RunLoginDialog(nullptr, *F->Core, FLoginName); }

    std::unique_ptr<TKrCoreFixture> F;
    // A dialog that stays open against expectation (the fault under test) is
    // closed with -1, so the test fails instead of hanging.
    QTimer FFallback;
    QString FLoginName;
    QStringList FOpened;
};

void TestLogin::init()
{
    F = std::make_unique<TKrCoreFixture>();
    F->Start();
    // As the main window does at every connection change.
    F->Core->OnModeChange = [](TKrCore*, int) { RefreshLoginDialog(); };
    FLoginName = QStringLiteral("before");
    FOpened.clear();
    TShell::InstallRecorder([this](const QString& Target, bool) { FOpened << Target; });
    FFallback.setSingleShot(true);
    FFallback.callOnTimeout([] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto form = qobject_cast<TLoginForm*>(window)) {
                form->show();
                form->done(-1);
            }
    });
    FFallback.start(3000);
}

void TestLogin::cleanup()
{
    FFallback.stop();
    TShell::RemoveRecorder();
    F.reset();
    QCOMPARE(LoginDialogWindow, HWND(0));
}

void TestLogin::followsTheConnectionWhileOpen()
{
    TOrvantaFake::SetSetting("Lastlogin", QStringLiteral("ann"));
    TOrvantaFake::SetProperty("registration_url", "https://www.pellory.example/register");
    QStringList offline, connected;
    bool passwordFocused = false;
    WhenLoginOpen([&](TLoginForm* Form) {
        offline = EnabledControls(Form);
        Connect();
        QCoreApplication::sendPostedEvents();
        connected = EnabledControls(Form);
        passwordFocused = Form->focusWidget() == Form->Password;
        // The automatic login succeeds while the dialog is open.
        F->LogIn();
        QCoreApplication::sendPostedEvents();
    });
    QCOMPARE(Run(), int(mrCancel));
    QCOMPARE(offline, QStringList{QStringLiteral("SeSkinButton2")});
    QCOMPARE(connected, QStringList({"Label3", "Login", "Label4", "Password", "AutoLoginBox",
                                     "OkButton", "SeSkinButton2", "regButton"}));
    QVERIFY(passwordFocused);
    QVERIFY(TOrvantaFake::Calls("KrLoginToServer").isEmpty());
    QCOMPARE(FLoginName, QStringLiteral("before"));
}

void TestLogin::closesAtOnceWhenAlreadyLoggedIn()
{
    F->LogIn();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Run(), int(mrCancel));
    QVERIFY(clock.elapsed() < 2000);
}

void TestLogin::cancelsByButtonEscapeAndFrame_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("window frame") << 2;
}

void TestLogin::cancelsByButtonEscapeAndFrame()
{
    QFETCH(int, way);
    Connect();
    WhenLoginOpen([&](TLoginForm* Form) {
        Form->Password->setText(QStringLiteral("secret"));
        if (way == 0)
            QTest::mouseClick(Form->SeSkinButton2, Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(Form->Password, Qt::Key_Escape);
        else
            Form->close();
    });
    QCOMPARE(Run(), int(mrCancel));
    QVERIFY(TOrvantaFake::Calls("KrLoginToServer").isEmpty());
}

void TestLogin::incompleteInputSendsNothing_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("result");
    QTest::newRow("no user name") << QString() << QStringLiteral("secret") << int(mrIgnore);
    QTest::newRow("neither") << QString() << QString() << int(mrIgnore);
    QTest::newRow("no password") << QStringLiteral("bob") << QString() << int(mrAbort);
}

void TestLogin::incompleteInputSendsNothing()
{
    QFETCH(QString, userName);
    QFETCH(QString, password);
    QFETCH(int, result);
    TOrvantaFake::SetSetting("Lastlogin", QStringLiteral("ann"));
    Connect();
    WhenLoginOpen([&](TLoginForm* Form) {
        Form->Login->setText(userName);
        Form->Password->setText(password);
        QTest::mouseClick(Form->OkButton, Qt::LeftButton);
    });
    QCOMPARE(Run(), result);
    QVERIFY(TOrvantaFake::Calls("KrLoginToServer").isEmpty());
    QCOMPARE(FLoginName, QStringLiteral("before"));

    // The caller opens it again: the stored name comes back, not the one typed.
    QString reopenedName, reopenedPassword = QStringLiteral("unread");
    WhenLoginOpen([&](TLoginForm* Form) {
        reopenedName = Form->Login->text();
        reopenedPassword = Form->Password->text();
        Form->reject();
    });
    QCOMPARE(Run(), int(mrCancel));
    QCOMPARE(reopenedName, QStringLiteral("ann"));
    QCOMPARE(reopenedPassword, QString());
}

void TestLogin::okLogsInWithTheTypedName()
{
    TOrvantaFake::SetSetting("Lastlogin", QStringLiteral("ann"));
    Connect();
    WhenLoginOpen([&](TLoginForm* Form) {
        Form->Login->setText(QStringLiteral("zoë@demo"));
        Form->Password->setText(QStringLiteral("pässword"));
        QTest::keyClick(Form->Password, Qt::Key_Return);
    });
    QCOMPARE(Run(), int(mrOk));
    QCOMPARE(FLoginName, QStringLiteral("zoë@demo"));
    const QList<TFakeCall> logins = TOrvantaFake::Calls("KrLoginToServer");
    QCOMPARE(logins.size(), 1);
    QCOMPARE(logins[0].Args.mid(1), QVariantList({QStringLiteral("zoë@demo").toUtf8(),
                                                  QStringLiteral("pässword").toUtf8(), 1}));
}

void TestLogin::prefillsTheLastLoginAndFocuses_data()
{
    QTest::addColumn<QString>("lastLogin");
    QTest::addColumn<QString>("focused");
    QTest::newRow("stored name") << QStringLiteral("ann@demo") << QStringLiteral("Password");
    QTest::newRow("none stored") << QString() << QStringLiteral("Login");
}

void TestLogin::prefillsTheLastLoginAndFocuses()
{
    QFETCH(QString, lastLogin);
    QFETCH(QString, focused);
    if (!lastLogin.isEmpty())
        TOrvantaFake::SetSetting("Lastlogin", lastLogin);
    Connect();
    QString shownName, focus;
    WhenLoginOpen([&](TLoginForm* Form) {
        shownName = Form->Login->text();
        focus = Form->focusWidget() == Form->Password ? QStringLiteral("Password")
                : Form->focusWidget() == Form->Login  ? QStringLiteral("Login")
                                                      : QStringLiteral("other");
        Form->reject();
    });
    QCOMPARE(Run(), int(mrCancel));
    QCOMPARE(shownName, lastLogin);
    QCOMPARE(focus, focused);
}

void TestLogin::registrationButtonFollowsTheServerAddress_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::newRow("no address") << QByteArray();
    QTest::newRow("address") << QByteArray("https://www.pellory.example/register");
}

void TestLogin::registrationButtonFollowsTheServerAddress()
{
    QFETCH(QByteArray, address);
    TOrvantaFake::SetProperty("registration_url", address);
    Connect();
    bool enabled = false;
    WhenLoginOpen([&](TLoginForm* Form) {
        enabled = Form->regButton->isEnabled();
        if (enabled)
            QTest::mouseClick(Form->regButton, Qt::LeftButton);
        else
            Form->reject();
    });
    QCOMPARE(Run(), int(mrCancel));
    QCOMPARE(enabled, !address.isEmpty());
    QCOMPARE(FOpened, address.isEmpty() ? QStringList() : QStringList{QString::fromUtf8(address)});
}

void TestLogin::opensOnlyOneDialog()
{
    Connect();
    HWND open = 0;
    int second = -1;
    WhenLoginOpen([&](TLoginForm* Form) {
        open = LoginDialogWindow;
        second = Run();
        QCOMPARE(LoginDialogWindow, open);
        Form->reject();
    });
    QCOMPARE(Run(), int(mrCancel));
    QVERIFY(open != 0);
    QCOMPARE(second, int(mrCancel));
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
