// The address book window and the add dialog on the fake engine, beside a
// main window: what the user sees of the friends and what goes to the engine.
#include "OrvantaFake.h"
#include "TestSupport.h"
#include "contacts/AddNew.h"
#include "contacts/AddressBook.h"
#include "contacts/HotList.h"
#include "mainwindow/MainFormFixture.h"
#include "mainwindow/MainScreen.h"
#include "startup/StartupValues.h"
#include "ui/MessageDlg.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

namespace {

using MainFormFixture::CommunicatorAccount;
using MainFormFixture::ModifyBookRight;

struct TFriend
{
    TFriend(const QString& ID, const QString& Name, int State, const QString& Conf = {})
        : UserID(ID), DisplayName(Name), Status(State), Conference(Conf)
    {
    }
    QString UserID;
    QString DisplayName;
    int Status;
    QString Conference;
};

QStringList BookStrings(const QList<TFriend>& Friends)
{
    QStringList strings;
    for (const TFriend& f : Friends)
        strings << f.UserID << f.DisplayName << f.Conference << QString::number(f.Status)
                << QString();
    return strings;
}

QStringList Column(const QTreeWidget* List, int Index)
{
    QStringList texts;
    for (int i = 0; i < List->topLevelItemCount(); ++i)
        texts << List->topLevelItem(i)->text(Index);
    return texts;
}

// The engine's address book requests: operation and text.
QList<QPair<int, QByteArray>> BookRequests()
{
    QList<QPair<int, QByteArray>> requests;
    for (const TFakeCall& call : TOrvantaFake::Calls("KrAddressBook"))
        if (call.Args.value(1).toInt() != 0)
            requests.append({call.Args.value(1).toInt(), call.Args.value(2).toByteArray()});
    return requests;
}

} // namespace

class TestHotList : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void emailValidation_data();
    void emailValidation();
    void addButtonSendsOnlyValidAddresses_data();
    void addButtonSendsOnlyValidAddresses();
    void addDialogStartsWithThePrivatePeer();

    void tabsFilterAndSortTheFriends();
    void statusImagesAndTips_data();
    void statusImagesAndTips();
    void refreshKeepsTheSelectedFriend();
    void untrustedNamesStayText();

    void deleteAsksThenSends_data();
    void deleteAsksThenSends();
    void deletingNeedsTheRight();
    void doubleClickOrEnterCalls_data();
    void doubleClickOrEnterCalls();

    void detailsPanelShowsTheSelectedFriend_data();
    void detailsPanelShowsTheSelectedFriend();
    void newsForAnotherUserIsIgnored();
    void panelFoldsAndStartsCollapsed();

private:
    void LogIn(int Flags = CommunicatorAccount | ModifyBookRight);
    void Deliver(const QList<TFriend>& Friends) { FBooks->HandleUserList(1, BookStrings(Friends)); }
    void Select(const QString& UserID);
    QTreeWidgetItem* Item(const QString& UserID) const;

    std::unique_ptr<TTestPlatformRoot> FRoot;
    std::unique_ptr<TMainForm> FMain;
    TKrBooks* FBooks = nullptr; // the main window's
    std::unique_ptr<THotListForm> FForm;
};

void TestHotList::init()
{
    FRoot = std::make_unique<TTestPlatformRoot>();
    TOrvantaFake::Reset();
    MainFormFixture::PrepareEngine();
    FMain = std::make_unique<TMainForm>();
    FMain->setAttribute(Qt::WA_DontShowOnScreen);
    FBooks = FMain->KrBooks;
    FForm = std::make_unique<THotListForm>();
    FForm->setAttribute(Qt::WA_DontShowOnScreen);
    FForm->KrBooks = FBooks;
    FForm->KrCore = FMain->KrCore;
    HotListForm = FForm.get();
}

void TestHotList::cleanup()
{
    FForm.reset();
    FBooks = nullptr;
    FMain.reset();
    TKrMessageDlg::RemoveScript();
    TOrvantaFake::Reset();
    FRoot.reset();
}

// Logging in shows the address book window, as the main window does.
void TestHotList::LogIn(int Flags)
{
    MainFormFixture::LogIn(*FMain, "alice@demo.pellory", Flags);
    QVERIFY(FForm->isVisible());
}

void TestHotList::Select(const QString& UserID)
{
    QTreeWidgetItem* item = Item(UserID);
    QVERIFY(item);
    FForm->UserList->setCurrentItem(item);
}

QTreeWidgetItem* TestHotList::Item(const QString& UserID) const
{
    return FForm->UserList->findItems(UserID, Qt::MatchExactly, 1).value(0);
}

// ---- The add dialog -----------------------------------------------------------------------

void TestHotList::emailValidation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("shortest valid") << "a@b.cd" << true;
    QTest::newRow("five characters") << "a@b.c" << false;
    QTest::newRow("dot right after the at") << "ab@.cde" << false;
    QTest::newRow("no dot after the at") << "abcd@efgh" << true;
    QTest::newRow("dot only before the at") << "a.bc@defg" << true;
    QTest::newRow("at first") << "@abc.de" << false;
    QTest::newRow("dot last") << "abc@de.fg." << false;
    QTest::newRow("dot last but one") << "abc@def.g" << false;
    QTest::newRow("two ats") << "ab@c@d.ef" << false;
    QTest::newRow("nothing after the at") << "abcdef@" << false;
    QTest::newRow("no at") << "abcdef.gh" << false;
    QTest::newRow("255 characters") << "a@" + QString(250, 'b') + ".cd" << true;
    QTest::newRow("256 characters") << "a@" + QString(251, 'b') + ".cd" << false;
}

void TestHotList::emailValidation()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(TAddNewForm::ValidEmail(text), valid);
}

void TestHotList::addButtonSendsOnlyValidAddresses_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent"); // empty: nothing sent, the dialog stays open
    QTest::newRow("valid") << "bob@demo.pellory"
                           << "bob@demo.pellory";
    QTest::newRow("invalid") << "bob@.pellory"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
    const QString longText = "x@" + QString(298, 'y');
    QTest::newRow("300 characters cut to 255") << longText << longText.left(255);
}

void TestHotList::addButtonSendsOnlyValidAddresses()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    LogIn();
    TOrvantaFake::Reset();
    TAddNewForm dialog(FBooks);
    dialog.SeSkinEdit1->setText(typed);
    dialog.AddButtonClick();
    if (sent.isEmpty()) {
        QCOMPARE(dialog.result(), int(mrNone));
        QVERIFY(BookRequests().isEmpty());
        const QList<TShownMessage> shown = TKrMessageDlg::ShownMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Text, QStringLiteral("Invalid email address. Please correct."));
        QCOMPARE(shown.first().DlgType, mtInformation);
        QCOMPARE(shown.first().Buttons, TMsgDlgButtons(mbOK));
    } else {
        QCOMPARE(dialog.result(), int(mrOk));
        QCOMPARE(BookRequests(), (QList<QPair<int, QByteArray>>{{4, sent.toLatin1()}}));
        QVERIFY(TKrMessageDlg::ShownMessages().isEmpty());
    }
}

void TestHotList::addDialogStartsWithThePrivatePeer()
{
    LogIn();
    FMain->CallingID->setEditText(QStringLiteral("carol@demo.pellory"));
    FMain->ActionConnect->trigger();
    MainFormFixture::Post(*FMain, KR_WM_STATUS, MainFormFixture::Online | KR_STATUS_LINK_UP);
    MainFormFixture::Post(*FMain, KR_WM_CALL, KR_CALL_ESTABLISHED);
    QCOMPARE(FMain->StatusMode(), 4);
    QString prefilled = QStringLiteral("not opened");
    QTimer::singleShot(0, this, [&] {
        auto dialog = FForm->findChild<TAddNewForm*>(QStringLiteral("AddNewForm"));
        QVERIFY(dialog);
        prefilled = dialog->SeSkinEdit1->text();
        dialog->CancelButton->click();
    });
    TOrvantaFake::Reset();
    TOrvantaFake::SetTexts("KrGetOtherName", {"carol@demo.pellory", "Carol", ""});
    FForm->SeSkinButton3Click();
    QCOMPARE(prefilled, QStringLiteral("carol@demo.pellory"));
    QVERIFY(!FForm->findChild<TAddNewForm*>());
    QVERIFY(BookRequests().isEmpty());
}

// ---- The list -----------------------------------------------------------------------------

void TestHotList::tabsFilterAndSortTheFriends()
{
    LogIn();
    Deliver({{"u1", "dave", 0},
             {"u2", "Carol", 1},
             {"u3", "bob", 5},
             {"u4", "Erin", -1},
             {"u5", "alice", 2}});
    FForm->SeSkinButton5Click(FForm->SeSkinButton5);
    QCOMPARE(Column(FForm->UserList, 0), (QStringList{"alice", "bob", "Carol"}));
    QCOMPARE(Column(FForm->UserList, 1), (QStringList{"u5", "u3", "u2"}));
    QCOMPARE(FForm->CurrentTab(), 1);
    QCOMPARE(FForm->UserList->headerItem()->text(0), QString(38, ' ') + "Online Friends");

    FForm->SeSkinButton6Click(FForm->SeSkinButton6);
    QCOMPARE(Column(FForm->UserList, 0), (QStringList{"alice", "bob", "Carol", "dave", "Erin"}));
    QCOMPARE(FForm->CurrentTab(), 2);
    QCOMPARE(FForm->UserList->headerItem()->text(0), QString(40, ' ') + "All Friends");

    // A shorter delivery drops the surplus rows; the refresh stays on its tab.
    Deliver({{"u2", "Carol", 0}});
    FForm->RefreshFromBook();
    QCOMPARE(Column(FForm->UserList, 0), (QStringList{"Carol"}));
    QCOMPARE(FForm->CurrentTab(), 2);
    Deliver({});
    FForm->RefreshFromBook();
    QCOMPARE(FForm->UserList->topLevelItemCount(), 0);
}

void TestHotList::statusImagesAndTips_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("image");
    QTest::addColumn<QString>("tip");
    QTest::newRow("unknown") << -1 << 3 << "Unknown";
    QTest::newRow("offline") << 0 << 0 << "Offline";
    QTest::newRow("online") << 1 << 1 << "Online";
    QTest::newRow("busy") << 2 << 2 << "Busy";
    QTest::newRow("multicasting 3") << 3 << 4 << "Multicasting";
    QTest::newRow("multicasting 4") << 4 << 4 << "Multicasting";
    QTest::newRow("conference owner") << 5 << 5 << "Group conference owner";
    QTest::newRow("other value") << 9 << 9 << "";
}

void TestHotList::statusImagesAndTips()
{
    QFETCH(int, status);
    QFETCH(int, image);
    QFETCH(QString, tip);
    Deliver({{"u1", "bob", status}});
    FForm->SeSkinButton6Click(FForm->SeSkinButton6);
    QTreeWidgetItem* item = Item("u1");
    QVERIFY(item);
    QCOMPARE(item->data(0, THotListForm::StateImageRole).toInt(), image);
    QCOMPARE(item->toolTip(0), tip);
    QCOMPARE(item->icon(0).isNull(), image > 7);
}

void TestHotList::refreshKeepsTheSelectedFriend()
{
    LogIn();
    Deliver({{"u1", "bob", 1}, {"u2", "carol", 1}, {"u3", "dave", 1}});
    FForm->SeSkinButton6Click(FForm->SeSkinButton6);
    Select("u2");
    QCOMPARE(FForm->RememberedIndex(), 1);
    QCOMPARE(FMain->CallingID->currentText(), QStringLiteral("u2"));

    // Two friends sort in before the selected one.
    Deliver({{"u1", "bob", 1},
             {"u2", "carol", 1},
             {"u3", "dave", 1},
             {"u4", "aaron", 1},
             {"u5", "abby", 1}});
    FForm->RefreshFromBook();
    QCOMPARE(FForm->SelectedItem(), Item("u2"));
    QCOMPARE(FForm->UserList->selectedItems().size(), 1);
    QCOMPARE(FForm->RememberedIndex(), 3);
    QVERIFY(FForm->SeSkinButton4->isEnabled());

    // The selected friend leaves: nothing is selected and deleting is off.
    Deliver({{"u1", "bob", 1}, {"u3", "dave", 1}});
    FForm->RefreshFromBook();
    QCOMPARE(FForm->SelectedItem(), nullptr);
    QVERIFY(!FForm->SeSkinButton4->isEnabled());
}

void TestHotList::untrustedNamesStayText()
{
    const QString markup = QStringLiteral("<b>bold</b><img src=x>");
    const QString longName(TBookRecord::MaxText, QChar(0x263A));
    Deliver({{"u1", markup, 1}, {"u2", longName, 1}, {"u3", QString(), 1}});
    FForm->SeSkinButton6Click(FForm->SeSkinButton6);
    QCOMPARE(Column(FForm->UserList, 0), (QStringList{QString(), markup, longName}));
    QCOMPARE(FForm->TeLabel3->textFormat(), Qt::PlainText);
}

// ---- Deleting and calling -----------------------------------------------------------------

void TestHotList::deleteAsksThenSends_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << int(mrYes);
    QTest::newRow("no") << int(mrNo);
}

void TestHotList::deleteAsksThenSends()
{
    QFETCH(int, answer);
    LogIn();
    Deliver({{"bob@demo.pellory", "Bob 100%s", 1}, {"u2", "carol", 1}});
    FForm->SeSkinButton5Click(FForm->SeSkinButton5);
    Select("bob@demo.pellory");
    QVERIFY(FForm->SeSkinButton4->isEnabled());
    TOrvantaFake::Reset();
    TKrMessageDlg::InstallScript([answer](const TShownMessage&) { return answer; });

    FForm->SeSkinButton4->click();
    const QList<TShownMessage> shown = TKrMessageDlg::ShownMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().Text,
             QStringLiteral("Are you sure you want to delete Bob 100%s from address book?"));
    QCOMPARE(shown.first().DlgType, mtConfirmation);
    QCOMPARE(shown.first().Buttons, TMsgDlgButtons(mbYes | mbNo));
    if (answer == mrYes) {
        QCOMPARE(BookRequests(),
                 (QList<QPair<int, QByteArray>>{{2, QByteArray("bob@demo.pellory")}}));
        QCOMPARE(FForm->SelectedItem(), nullptr);
        QCOMPARE(FForm->RememberedUserID(), QString());
        QVERIFY(!FForm->SeSkinButton4->isEnabled());
    } else {
        QVERIFY(BookRequests().isEmpty());
        QCOMPARE(FForm->SelectedItem(), Item("bob@demo.pellory"));
    }
}

void TestHotList::deletingNeedsTheRight()
{
    LogIn(CommunicatorAccount);
    Deliver({{"u1", "bob", 1}});
    FForm->SeSkinButton5Click(FForm->SeSkinButton5);
    Select("u1");
    QVERIFY(!FForm->SeSkinButton4->isEnabled());
    FForm->UserListEnter();
    QVERIFY(!FForm->SeSkinButton4->isEnabled());
    FForm->SeSkinPopupMenu1Popup();
    QVERIFY(!FForm->CustomItem4->isEnabled());
    QVERIFY(!FMain->ActionShowUserProfile->isEnabled());

    // The Delete key presses only an enabled button.
    TOrvantaFake::Reset();
    QTest::keyClick(FForm->UserList, Qt::Key_Delete);
    QVERIFY(TKrMessageDlg::ShownMessages().isEmpty());
    QVERIFY(BookRequests().isEmpty());
}

void TestHotList::doubleClickOrEnterCalls_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("conference");
    QTest::addColumn<bool>("selectionCleared");
    QTest::addColumn<bool>("enterKey");
    QTest::addColumn<QByteArray>("called");
    QTest::addColumn<int>("type");
    QTest::newRow("online friend") << 1 << "" << false << false << QByteArray("bob@demo") << 0;
    QTest::newRow("multicasting friend")
        << 4 << "" << false << false << QByteArray("bob@demo") << 2;
    QTest::newRow("conference owner")
        << 5 << "review" << false << false << QByteArray("review") << 12;
    QTest::newRow("Enter key") << 1 << "" << false << true << QByteArray("bob@demo") << 0;
    QTest::newRow("remembered after deactivation")
        << 1 << "" << true << false << QByteArray("bob@demo") << 0;
}

void TestHotList::doubleClickOrEnterCalls()
{
    QFETCH(int, status);
    QFETCH(QString, conference);
    QFETCH(bool, selectionCleared);
    QFETCH(bool, enterKey);
    QFETCH(QByteArray, called);
    QFETCH(int, type);
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    LogIn();
    Deliver({{"al@demo", "al", 1}, {"bob@demo", "bob", status, conference}});
    FForm->SeSkinButton5Click(FForm->SeSkinButton5);
    Select("bob@demo");
    if (selectionCleared)
        FForm->UserList->clearSelection();
    if (enterKey)
        QTest::keyClick(FForm->UserList, Qt::Key_Return);
    else
        FForm->UserListDblClick();
    const QList<TFakeCall> calls = TOrvantaFake::ProcessCalls("Protocol\\Call", KR_OP_RUN);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first().Value().toList().value(1).toByteArray(), called);
    QCOMPARE(FMain->KrCore->ConferenceType(), TConferenceType(type));
}

// ---- Details panel ------------------------------------------------------------------------

void TestHotList::detailsPanelShowsTheSelectedFriend_data()
{
    QTest::addColumn<QByteArray>("gender");
    QTest::addColumn<QByteArray>("age");
    QTest::addColumn<QString>("shownGender");
    QTest::addColumn<QString>("shownAge");
    QTest::newRow("male") << QByteArray("m") << QByteArray("33") << "Male"
                          << "33";
    QTest::newRow("female") << QByteArray("f") << QByteArray("") << "Female"
                            << "N\\A";
    QTest::newRow("other text") << QByteArray("M") << QByteArray("") << "M"
                                << "N\\A";
    QTest::newRow("single space") << QByteArray(" ") << QByteArray("") << "N\\A"
                                  << "N\\A";
    QTest::newRow("empty") << QByteArray("") << QByteArray("40") << "N\\A"
                           << "40";
}

void TestHotList::detailsPanelShowsTheSelectedFriend()
{
    QFETCH(QByteArray, gender);
    QFETCH(QByteArray, age);
    QFETCH(QString, shownGender);
    QFETCH(QString, shownAge);
    LogIn();
    Deliver({{"u1", "bob", 1}});
    FForm->RefreshFromBook();
    TOrvantaFake::SetTexts("KrReadUserInfo",
                           {"", "Bobby", "", "", "", gender, "", age, "", "Oslo", "", ""});
    Select("u1");
    FForm->TeButton2Click();
    QVERIFY(!FForm->PanelCollapsed());
    const QList<TFakeCall> reads = TOrvantaFake::Calls("KrReadUserInfo");
    QVERIFY(!reads.isEmpty());
    QCOMPARE(reads.last().Args.value(1), QVariant(QByteArray("u1")));
    QCOMPARE(FForm->TeLabel3->text(), QStringLiteral("Bobby"));
    QCOMPARE(FForm->TeLabel5->text(), shownGender);
    QCOMPARE(FForm->TeLabel6->text(), shownAge);
    QCOMPARE(FForm->TeLabel9->text(), QStringLiteral("Oslo"));
    // The fake has no photo for anyone.
    QVERIFY(!FForm->PhotoShown());
    QVERIFY(!FForm->Image1->pixmap().isNull());

    FForm->ClearSelection();
    QCOMPARE(FForm->TeLabel3->text(), QString());
    QCOMPARE(FForm->TeLabel9->text(), QString());
    QCOMPARE(FForm->Details().Nick, QString());
    QCOMPARE(FForm->SelectedItem(), nullptr);
}

void TestHotList::newsForAnotherUserIsIgnored()
{
    LogIn();
    Deliver({{"u1", "bob", 1}, {"u2", "carol", 1}});
    FForm->RefreshFromBook();
    Select("u1");
    TOrvantaFake::Reset();
    TOrvantaFake::SetTexts("KrReadUserInfo", {"", "Carrie"});
    FForm->ShowUserDetails(QStringLiteral("u2"));
    FForm->ShowUserPicture(QStringLiteral("u2"));
    QVERIFY(TOrvantaFake::Calls("KrReadUserInfo").isEmpty());
    QVERIFY(TOrvantaFake::ProcessCalls("Protocol\\UserPhoto").isEmpty());
    QVERIFY(FForm->TeLabel3->text() != QStringLiteral("Carrie"));

    FForm->ShowUserDetails(QStringLiteral("u1"));
    QCOMPARE(FForm->TeLabel3->text(), QStringLiteral("Carrie"));
}

void TestHotList::panelFoldsAndStartsCollapsed()
{
    LogIn();
    QList<TFriend> many;
    for (int i = 0; i < 40; ++i)
        many.append({QStringLiteral("u%1").arg(i, 2, 10, QLatin1Char('0')),
                     QStringLiteral("friend %1").arg(i, 2, 10, QLatin1Char('0')), 1});
    Deliver(many);
    FForm->RefreshFromBook();
    QVERIFY(FForm->PanelCollapsed());
    const int collapsedTop = FForm->SeSkinPanel1->y();
    QCOMPARE(collapsedTop, FForm->height() - 22);
    QCOMPARE(FForm->UserList->geometry().bottom(), collapsedTop - 2);

    // A friend near the bottom of the long list stays in view when the panel opens.
    FForm->UserList->scrollToItem(Item("u15"));
    Select("u15");
    FForm->TeButton2Click();
    QCOMPARE(FForm->SeSkinPanel1->y(), collapsedTop - THotListForm::FoldStep);
    QCOMPARE(FForm->SeSkinPanel1->height(), THotListForm::PanelHeight);
    QCOMPARE(FForm->UserList->geometry().bottom(), FForm->SeSkinPanel1->y() - 2);
    const QRect row = FForm->UserList->visualItemRect(Item("u15"));
    QVERIFY(row.top() >= 0 && row.bottom() <= FForm->UserList->viewport()->height());

    // Switching tabs by hand folds it; hiding folds it; showing starts folded.
    FForm->SeSkinButton6Click(FForm->SeSkinButton6);
    QVERIFY(FForm->PanelCollapsed());
    FForm->TeButton2Click();
    FForm->hide();
    QVERIFY(FForm->PanelCollapsed());
    QCOMPARE(FForm->SeSkinPanel1->height(), THotListForm::FoldedHeight);
    FForm->show();
    QVERIFY(FForm->PanelCollapsed());
    QCOMPARE(FForm->SeSkinPanel1->y(), collapsedTop);
    QCOMPARE(FForm->CurrentTab(), 1);
}

QTEST_MAIN(TestHotList)
#include "tst_hotlist.moc"
