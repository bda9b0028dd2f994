#include "ModalSupport.h"
#include "TestSupport.h"
#include "platform/Shell.h"
#include "setup/WizardsInfo.h"
#include "ui/MessageDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

void ShowPage(TInfoFormForm& Form, int Page)
{
    switch (Page) {
    case TInfoFormForm::HardwarePage:
        Form.ShowHardwarePage();
        break;
    case TInfoFormForm::NetworkPage:
        Form.ShowNetworkPage();
        break;
    case TInfoFormForm::AccountPage:
        Form.ShowAccountPage();
        break;
    default:
        Form.ShowLanguagePage();
    }
}

QStringList ShownControls(const TInfoFormForm& Form)
{
    QStringList names;
    const std::pair<const char*, const QWidget*> controls[] = {
        {"HardwareLabel1", Form.HardwareLabel1}, {"NetLabel1", Form.NetLabel1},
        {"LoginLabel1", Form.LoginLabel1},       {"LoginLabel4", Form.LoginLabel4},
        {"LoginLabel6", Form.LoginLabel6},       {"LoginLabel7", Form.LoginLabel7},
        {"LoginLabel8", Form.LoginLabel8},       {"LanguageLabel", Form.LanguageLabel},
        {"LangCombo", Form.LangCombo},           {"NextButton", Form.NextButton},
        {"LoginButton", Form.LoginButton},       {"CancelButton", Form.CancelButton}};
    for (const auto& [name, control] : controls)
        if (!control->isHidden())
            names << QString::fromLatin1(name);
    return names;
}

} // namespace

class TestWizardsInfo : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void eachPageShowsItsOwnControls_data();
    void eachPageShowsItsOwnControls();
    void cancelAsksExceptOnTheAccountPage_data();
    void cancelAsksExceptOnTheAccountPage();
    void nextAndLoginClose_data();
    void nextAndLoginClose();
    void accountLinksOpenTheirAddresses();

private:
    TTestPlatformRoot FRoot;
};

void TestWizardsInfo::cleanup()
{
    TKrMessageDlg::RemoveScript();
    TKrMessageDlg::ClearShownMessages();
    TShell::RemoveRecorder();
}

void TestWizardsInfo::eachPageShowsItsOwnControls_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("hardware") << int(TInfoFormForm::HardwarePage)
                              << QStringLiteral("Hardware Check")
                              << QStringLiteral("Hardware wizard")
                              << QStringList{"HardwareLabel1", "NextButton", "CancelButton"};
    QTest::newRow("network") << int(TInfoFormForm::NetworkPage)
                             << QStringLiteral("Network Configuration")
                             << QStringLiteral("Network wizard")
                             << QStringList{"NetLabel1", "NextButton", "CancelButton"};
    QTest::newRow("account") << int(TInfoFormForm::AccountPage)
                             << QStringLiteral("Login/Registration")
                             << QStringLiteral("Login wizard")
                             << QStringList{"LoginLabel1", "LoginLabel4", "LoginLabel6",
                                            "LoginLabel7", "LoginLabel8", "LoginButton",
                                            "CancelButton"};
    QTest::newRow("language") << int(TInfoFormForm::LanguagePage)
                              << QStringLiteral("Please choose your language")
                              << QStringLiteral("Choose Your Language")
                              << QStringList{"LanguageLabel", "LangCombo", "NextButton",
                                             "CancelButton"};
}

void TestWizardsInfo::eachPageShowsItsOwnControls()
{
    QFETCH(int, page);
    QFETCH(QString, step);
    QFETCH(QString, caption);
    QFETCH(QStringList, shown);
    TInfoFormForm form(nullptr);
    // A page shown after another keeps nothing of it.
    for (int other = 0; other < 4; ++other)
        ShowPage(form, other);
    ShowPage(form, page);
    QCOMPARE(form.PageIndex, page);
    QCOMPARE(ShownControls(form), shown);
    QCOMPARE(form.StepLabel->text(), step);
    QCOMPARE(form.windowTitle(), caption);
    // A change of language keeps the page.
    form.Localize();
    QCOMPARE(form.windowTitle(), caption);
}

void TestWizardsInfo::cancelAsksExceptOnTheAccountPage_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("closes");
    const QString hardware = QStringLiteral("Do you really want to cancel Hardware wizard ?");
    QTest::newRow("hardware, No") << 0 << false << int(mrNo) << hardware << false;
    QTest::newRow("hardware, Yes") << 0 << false << int(mrYes) << hardware << true;
    QTest::newRow("hardware, Escape, No") << 0 << true << int(mrNo) << hardware << false;
    QTest::newRow("network, Yes") << 1 << false << int(mrYes)
                                  << QStringLiteral("Do you really want to cancel Network wizard ?")
                                  << true;
    QTest::newRow("language, Escape, Yes")
        << 3 << true << int(mrYes)
        << QStringLiteral("Do you really want to cancel Choose Your Language ?") << true;
    QTest::newRow("account") << 2 << false << int(mrNo) << QString() << true;
    QTest::newRow("account, Escape") << 2 << true << int(mrNo) << QString() << true;
}

void TestWizardsInfo::cancelAsksExceptOnTheAccountPage()
{
    QFETCH(int, page);
    QFETCH(bool, byEscape);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(bool, closes);
    TKrMessageDlg::InstallScript([answer](const TShownMessage&) { return answer; });
    TInfoFormForm form(nullptr);
    ShowPage(form, page);
    bool openAfterCancel = false;
    WhenModal([&](QWidget*) {
        if (byEscape)
            QTest::keyClick(&form, Qt::Key_Escape);
        else
            QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        openAfterCancel = form.isVisible();
        if (openAfterCancel)
            form.done(mrNone);
    });
    const int result = form.exec();
    QCOMPARE(openAfterCancel, !closes);
    if (closes)
        QCOMPARE(result, int(mrCancel));
    QVERIFY(form.Cancelled);
    QVERIFY(!form.LoginChosen);
    const QList<TShownMessage> shown = TKrMessageDlg::ShownMessages();
    QCOMPARE(shown.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) {
        QCOMPARE(shown[0].Text, question);
        QCOMPARE(shown[0].DlgType, mtConfirmation);
        QCOMPARE(shown[0].Buttons, TMsgDlgButtons(mbYes | mbNo));
    }
}

void TestWizardsInfo::nextAndLoginClose_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("login");
    QTest::newRow("Next on the hardware page") << 0 << false;
    QTest::newRow("Next on the language page") << 3 << false;
    QTest::newRow("Login on the account page") << 2 << true;
}

void TestWizardsInfo::nextAndLoginClose()
{
    QFETCH(int, page);
    QFETCH(bool, login);
    TInfoFormForm form(nullptr);
    ShowPage(form, page);
    for (int run = 0; run < 2; ++run) {
        // Shown again, the window starts out cancelled.
        bool cancelledWhenShown = false;
        WhenModal([&](QWidget*) {
            cancelledWhenShown = form.Cancelled;
            QTest::mouseClick(login ? form.LoginButton : form.NextButton, Qt::LeftButton);
        });
        QCOMPARE(form.exec(), int(mrOk));
        QVERIFY(cancelledWhenShown);
        QVERIFY(!form.Cancelled);
        QCOMPARE(form.LoginChosen, login);
    }
    QVERIFY(TKrMessageDlg::ShownMessages().isEmpty());
}

void TestWizardsInfo::accountLinksOpenTheirAddresses()
{
    QStringList opened;
    TShell::InstallRecorder([&](const QString& Target, bool) { opened << Target; });
    TInfoFormForm form(nullptr);
    form.RegistrationURL = QStringLiteral("https://www.pellory.example/register");
    form.ShowAccountPage();
    form.show();
    QVERIFY(form.LoginLabel7->isEnabled());
    QCOMPARE(form.LoginLabel7->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(!form.LoginLabel4->isEnabled());
    QCOMPARE(form.LoginLabel4->cursor().shape(), Qt::ArrowCursor);

    emit form.LoginLabel7->linkActivated(QStringLiteral("#"));
    QCOMPARE(opened, QStringList{form.RegistrationURL});
    QVERIFY(form.isVisible());

    // Addresses given later take effect when the page is shown again.
    form.PrivacyURL = QStringLiteral("https://www.pellory.example/privacy");
    form.ShowAccountPage();
    QVERIFY(form.LoginLabel4->isEnabled());
    emit form.LoginLabel4->linkActivated(QStringLiteral("#"));
    QCOMPARE(opened.last(), form.PrivacyURL);
    QVERIFY(form.isVisible());
}

QTEST_MAIN(TestWizardsInfo)
#include "tst_wizardsinfo.moc"
