#include "ModalSupport.h"
#include "chat/chat.h"
#include "engine/KrCoreFixture.h"
#include "ui/MessageDlg.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QNetworkProxy>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>

namespace {

// The document's header with the own rule's colour and every rule's size.
QByteArray Header(const QByteArray& OwnColour = "008000", const QByteArray& Size = "14")
{
    const QByteArray rule = ";font-size:" + Size;
    return "<HTML><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=utf-8\"><STYLE TYPE=\"text/css\">"
           ".my{font-family:arial;color:" +
           OwnColour + rule + "}.other{font-family:arial;color:0000ff" + rule +
           "}.host{font-family:arial;color:0000ff" + rule + "}.ad{font-family:arial;color:ff0000" +
           rule + "}.sup{font-family:arial;color:0000ff" + rule +
           "}</STYLE></head><BODY BGCOLOR=ffffff>";
}

// A web server on the loopback interface that answers every request alike,
// or not at all, and keeps the request lines.
class TLocalWebServer : public QObject
{
public:
    TLocalWebServer()
    {
        Server.listen(QHostAddress::LocalHost);
        connect(&Server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = Server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Answer(socket); });
        });
    }
    QString Url(const QString& Path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(Server.serverPort()).arg(Path);
    }

    int Status = 200;
    QByteArray ContentType = "text/html; charset=utf-8";
    QByteArray Body = "<p>PAGE-MARK</p>";
    bool Silent = false;
    QByteArrayList Requests;

private:
    void Answer(QTcpSocket* Socket)
    {
        QByteArray& request = Pending[Socket];
        request += Socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        Requests << request.left(request.indexOf("\r\n"));
        if (Silent)
            return;
        Socket->write("HTTP/1.1 " + QByteArray::number(Status) + " X\r\nContent-Type: " +
                      ContentType + "\r\nContent-Length: " + QByteArray::number(Body.size()) +
                      "\r\nConnection: close\r\n\r\n" + Body);
        Socket->disconnectFromHost();
    }

    QTcpServer Server;
    QHash<QTcpSocket*, QByteArray> Pending;
};

} // namespace

class TestChat : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void typedLinesAreSentAsOneLine_data();
    void typedLinesAreSentAsOneLine();
    void receivedLinesAreEscapedAndClassified_data();
    void receivedLinesAreEscapedAndClassified();
    void followedAddress_data();
    void followedAddress();
    void newLineWhileFetchingShowsTheTranscript();
    void refusedAddressesShowTheTranscript_data();
    void refusedAddressesShowTheTranscript();
    void pushedAddressIsSentOnlyDuringAConference_data();
    void pushedAddressIsSentOnlyDuringAConference();
    void colourAfterSizeKeepsTheSize();
    void clearingKeepsSizeAndColour();
    void viewLinesMatchAFullRedraw();
    void savedFileIsTheDocument();
    void failedSaveIsReported();
    void saveDialogOffersChatHtml();
    void chatActionFollowsTheWindow();

private:
    void LogIn(const QByteArray& DisplayName);
    void FollowPage();
    QString Shown() const { return Form->HTMLBrowser->toPlainText(); }
    QString LastLine() const { return Form->HTMLBrowser->document()->lastBlock().text(); }

    std::unique_ptr<TKrCoreFixture> F;
    std::unique_ptr<TChatForm> Form;
    std::unique_ptr<TLocalWebServer> Web;
};

void TestChat::initTestCase()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestChat::init()
{
    F = std::make_unique<TKrCoreFixture>();
    F->Start();
    LogIn("Alice");
    Form = std::make_unique<TChatForm>();
    Form->KrCore = F->Core.get();
    Form->NavigateTimeoutMs = 500;
    Form->SetInputEnabled(true);
    Web = std::make_unique<TLocalWebServer>();
}

void TestChat::cleanup()
{
    Form.reset();
    Web.reset();
    F.reset();
    TKrMessageDlg::RemoveScript();
    TKrMessageDlg::ClearShownMessages();
}

void TestChat::LogIn(const QByteArray& DisplayName)
{
    TOrvantaFake::SetResult("KrGetMyName", 0x11);
    TOrvantaFake::SetTexts("KrGetMyName", {"alice@demo", DisplayName, ""});
    F->PostStatus(KR_STATUS_CONNECTED);
    F->PostStatus(TKrCoreFixture::Online);
    TOrvantaFake::Reset();
}

// Leaves the view on a page from the local server, so that coming back to the
// transcript can be seen.
void TestChat::FollowPage()
{
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("###") + Web->Url("/page"),
                         QStringLiteral("Bob"));
    QTRY_VERIFY(Form->ShowingPage());
    QVERIFY(Shown().contains(QLatin1String("PAGE-MARK")));
}

void TestChat::typedLinesAreSentAsOneLine_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QByteArray>("displayName");
    QTest::addColumn<QByteArray>("sent"); // empty: nothing
    QTest::addColumn<QByteArray>("fragment");

    QTest::newRow("two lines") << "ab\ncd" << Qt::KeyboardModifiers() << QByteArray("Alice")
                               << QByteArray("abcd")
                               << QByteArray(
                                      "<FONT class=\"my\"><U>Alice:</U> <B>abcd<BR></B></FONT>");
    QTest::newRow("shift enter") << "x\n\ny" << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                 << QByteArray("Alice") << QByteArray("xy")
                                 << QByteArray(
                                        "<FONT class=\"my\"><U>Alice:</U> <B>xy<BR></B></FONT>");
    QTest::newRow("no display name")
        << "hi" << Qt::KeyboardModifiers(Qt::ControlModifier) << QByteArray() << QByteArray("hi")
        << QByteArray("<FONT class=\"my\"><U>My:</U> <B>hi<BR></B></FONT>");
    QTest::newRow("markup goes out as typed, shown as text")
        << "<i>a</i> & b" << Qt::KeyboardModifiers() << QByteArray("<Al>")
        << QByteArray("<i>a</i> & b")
        << QByteArray("<FONT class=\"my\"><U>&lt;Al&gt;:</U> <B>&lt;i&gt;a&lt;/i&gt; &amp; "
                      "b<BR></B></FONT>");
    QTest::newRow("empty lines only")
        << "\n\n"
        << Qt::KeyboardModifiers() << QByteArray("Alice") << QByteArray() << QByteArray();
}

void TestChat::typedLinesAreSentAsOneLine()
{
    QFETCH(QString, typed);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QByteArray, displayName);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, fragment);
    LogIn(displayName);
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    const QByteArray before = Form->Document();

    Form->ChatEdit->setPlainText(typed);
    QTest::keyClick(Form->ChatEdit, Qt::Key_Return, modifiers);

    const QList<TFakeCall> calls = TOrvantaFake::Calls("KrSendMessage");
    if (sent.isEmpty()) {
        QVERIFY(calls.isEmpty());
    } else {
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].Args.value(1).toByteArray(), sent);
    }
    QCOMPARE(Form->Document(), before + fragment);
    QVERIFY(Form->ChatEdit->toPlainText().isEmpty());
}

void TestChat::receivedLinesAreEscapedAndClassified_data()
{
    QTest::addColumn<bool>("system");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QByteArray>("fragment");
    QTest::addColumn<QString>("shown");

    QTest::newRow("other party") << false << "hi there"
                                 << "Bob"
                                 << QByteArray("<FONT class=\"other\"><U>Bob:</U> <B>hi "
                                               "there</B></FONT><BR>")
                                 << "Bob: hi there";
    QTest::newRow("system") << true << "going down"
                            << "Server"
                            << QByteArray("<FONT class=\"ad\"><B>Server:<BR>going "
                                          "down</B></FONT><BR>")
                            << QStringLiteral("Server:\u2028going down");
    QTest::newRow("host mark") << false << QStringLiteral("\u00B8\u00B8\u00B8welcome") << "Host"
                               << QByteArray("<FONT class=\"host\"><U>Host:</U> "
                                             "<B>welcome</B></FONT><BR>")
                               << "Host: welcome";
    // Three 0xB8 bytes sent as UTF-8 text do not decode; such a line is an
    // ordinary one, replacement characters included.
    QTest::newRow("undecodable mark")
        << false << QStringLiteral("\uFFFD\uFFFD\uFFFDx") << "Host"
        << QByteArray("<FONT class=\"other\"><U>Host:</U> "
                      "<B>\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx</B></FONT><BR>")
        << QStringLiteral("Host: \uFFFD\uFFFD\uFFFDx");
    QTest::newRow("markup in text")
        << false << "<b>x</b> & <img src=\"http://a/b.png\">"
        << "Bob"
        << QByteArray("<FONT class=\"other\"><U>Bob:</U> <B>&lt;b&gt;x&lt;/b&gt; &amp; &lt;img "
                      "src=&quot;http://a/b.png&quot;&gt;</B></FONT><BR>")
        << "Bob: <b>x</b> & <img src=\"http://a/b.png\">";
    QTest::newRow("markup in a system name")
        << true << "t"
        << "<a href=\"http://a\">E</a>"
        << QByteArray("<FONT class=\"ad\"><B>&lt;a href=&quot;http://a&quot;&gt;E&lt;/a&gt;:<BR>"
                      "t</B></FONT><BR>")
        << QStringLiteral("<a href=\"http://a\">E</a>:\u2028t");
    QTest::newRow("non-Latin") << false << QStringLiteral("Привет") << QStringLiteral("Борис")
                               << QByteArray("<FONT class=\"other\"><U>") +
                                      QStringLiteral("Борис:</U> <B>Привет").toUtf8() +
                                      "</B></FONT><BR>"
                               << QStringLiteral("Борис: Привет");
}

void TestChat::receivedLinesAreEscapedAndClassified()
{
    QFETCH(bool, system);
    QFETCH(QString, message);
    QFETCH(QString, user);
    QFETCH(QByteArray, fragment);
    QFETCH(QString, shown);
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("first"), QStringLiteral("Bob"));
    Form->hide();
    const QByteArray before = Form->Document();

    Form->ReceiveMessage(F->Core.get(), system, message, user);

    QVERIFY(Form->isVisible());
    QCOMPARE(Form->Document(), before + fragment);
    QCOMPARE(LastLine(), shown);
    for (QTextBlock block = Form->HTMLBrowser->document()->begin(); block.isValid();
         block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QVERIFY(!it.fragment().charFormat().isAnchor());
            QVERIFY(!it.fragment().charFormat().isImageFormat());
        }
}

void TestChat::followedAddress_data()
{
    QTest::addColumn<bool>("system");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("page");

    QTest::newRow("page") << false << 200 << QByteArray("text/html") << false << true;
    QTest::newRow("page from a system line")
        << true << 200 << QByteArray("text/html") << false << true;
    QTest::newRow("plain text") << false << 200 << QByteArray("text/plain") << false << true;
    QTest::newRow("not found") << false << 404 << QByteArray("text/html") << false << false;
    QTest::newRow("picture") << false << 200 << QByteArray("image/png") << false << false;
    QTest::newRow("no answer") << false << 200 << QByteArray("text/html") << true << false;
}

void TestChat::followedAddress()
{
    QFETCH(bool, system);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(bool, silent);
    QFETCH(bool, page);
    Web->Status = status;
    Web->ContentType = contentType;
    Web->Silent = silent;
    // Nothing may be loaded beyond the page itself, neither from the server
    // nor from local files.
    QTemporaryDir dir;
    const QUrl localPicture = QUrl::fromLocalFile(dir.filePath(QStringLiteral("local.png")));
    QImage(4, 4, QImage::Format_RGB32).save(localPicture.toLocalFile());
    Web->Body = "<html><head><link rel=stylesheet href=\"/style.css\"></head><body>"
                "<p>PAGE-MARK</p><img src=\"/picture.png\"><img src=\"" +
                localPicture.toEncoded() + "\"></body></html>";
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("before"), QStringLiteral("Bob"));
    const QByteArray document = Form->Document();

    Form->ReceiveMessage(F->Core.get(), system, QStringLiteral("###") + Web->Url("/page"),
                         QStringLiteral("Bob"));
    QVERIFY(Form->Navigating());
    QTRY_VERIFY_WITH_TIMEOUT(!Form->Navigating(), 5000);

    QCOMPARE(Form->ShowingPage(), page);
    QCOMPARE(Shown().contains(QLatin1String("PAGE-MARK")), page);
    QCOMPARE(Shown().contains(QLatin1String("Bob: before")), !page);
    QCOMPARE(Form->Document(), document);
    QTest::qWait(50);
    QCOMPARE(Web->Requests, QByteArrayList{"GET /page HTTP/1.1"});
    QVERIFY(Form->HTMLBrowser->document()
                ->resource(QTextDocument::ImageResource, localPicture)
                .isNull());

    // "###" alone comes back to the transcript.
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("###"), QStringLiteral("Bob"));
    QVERIFY(!Form->ShowingPage());
    QCOMPARE(Shown(), QStringLiteral("Bob: before"));
    QCOMPARE(Form->Document(), document);
}

void TestChat::newLineWhileFetchingShowsTheTranscript()
{
    Web->Silent = true;
    Form->NavigateTimeoutMs = 10000;
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("###") + Web->Url("/page"),
                         QStringLiteral("Bob"));
    QVERIFY(Form->Navigating());

    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("later"), QStringLiteral("Bob"));

    QVERIFY(!Form->Navigating());
    QVERIFY(!Form->ShowingPage());
    QCOMPARE(Shown(), QStringLiteral("Bob: later"));
}

void TestChat::refusedAddressesShowTheTranscript_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("system");

    QTest::newRow("none") << QString() << false;
    QTest::newRow("none, system line") << QString() << true;
    QTest::newRow("local file") << QStringLiteral("file://%1") << false;
    QTest::newRow("local file, system line") << QStringLiteral("file://%1") << true;
    QTest::newRow("ftp") << QStringLiteral("ftp://127.0.0.1/x") << false;
    QTest::newRow("script") << QStringLiteral("javascript:alert(1)") << false;
    QTest::newRow("data") << QStringLiteral("data:text/html,<p>DATA-MARK</p>") << false;
    QTest::newRow("no host") << QStringLiteral("http:///x") << false;
    QTest::newRow("not an address") << QStringLiteral("just words") << false;
}

void TestChat::refusedAddressesShowTheTranscript()
{
    QFETCH(QString, address);
    QFETCH(bool, system);
    QTemporaryDir dir;
    QFile secret(dir.filePath(QStringLiteral("secret.html")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("<p>SECRET-MARK</p>");
    secret.close();
    if (address.contains(QLatin1String("%1")))
        address = address.arg(secret.fileName());
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("before"), QStringLiteral("Bob"));
    const QByteArray document = Form->Document();
    FollowPage();

    Form->ReceiveMessage(F->Core.get(), system, QStringLiteral("###") + address,
                         QStringLiteral("Bob"));

    QVERIFY(!Form->Navigating());
    QVERIFY(!Form->ShowingPage());
    QCOMPARE(Shown(), QStringLiteral("Bob: before"));
    QCOMPARE(Form->Document(), document);
    QCOMPARE(Web->Requests.size(), 1);
}

void TestChat::pushedAddressIsSentOnlyDuringAConference_data()
{
    QTest::addColumn<bool>("conference");
    QTest::newRow("in a conference") << true;
    QTest::newRow("no conference") << false;
}

void TestChat::pushedAddressIsSentOnlyDuringAConference()
{
    QFETCH(bool, conference);
    Form->SetInputEnabled(conference);
    const QByteArray document = Form->Document();

    Form->PushURL(QStringLiteral("###") + Web->Url("/page"));

    const QList<TFakeCall> calls = TOrvantaFake::Calls("KrSendMessage");
    QCOMPARE(calls.size(), conference ? 1 : 0);
    if (conference)
        QCOMPARE(calls[0].Args.value(1).toByteArray(), ("###" + Web->Url("/page")).toUtf8());
    QTRY_VERIFY(Form->ShowingPage());
    QCOMPARE(Form->Document(), document);
}

void TestChat::colourAfterSizeKeepsTheSize()
{
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("x"), QStringLiteral("Bob"));
    Form->ChatEdit->setPlainText(QStringLiteral("y"));
    Form->SendButtonClick();
    const QByteArray body = Form->Document().mid(Header().size());

    Form->FontSizeEdit->setCurrentIndex(Form->FontSizeEdit->findText(QStringLiteral("72")));
    QCOMPARE(Form->Document(), Header("008000", "72") + body);
    Form->SetColor(QColor(255, 0, 0));
    Form->ApplyColor();
    QCOMPARE(Form->Document(), Header("FF0000", "72") + body);

    // The view follows the styles: the other party's line, then the own one.
    QTextCursor other(Form->HTMLBrowser->document()->firstBlock());
    other.movePosition(QTextCursor::NextCharacter);
    QCOMPARE(other.charFormat().font().pixelSize(), 72);
    QCOMPARE(other.charFormat().foreground().color(), QColor(0, 0, 255));
    QTextCursor own(Form->HTMLBrowser->document()->lastBlock());
    own.movePosition(QTextCursor::NextCharacter);
    QCOMPARE(own.charFormat().font().pixelSize(), 72);
    QCOMPARE(own.charFormat().foreground().color(), QColor(255, 0, 0));
}

void TestChat::clearingKeepsSizeAndColour()
{
    Form->FontSizeEdit->setCurrentIndex(Form->FontSizeEdit->findText(QStringLiteral("20")));
    Form->SetColor(QColor(0x12, 0x34, 0xAB));
    Form->ApplyColor();
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("x"), QStringLiteral("Bob"));
    FollowPage();

    Form->ClearChatButtonClick();

    QCOMPARE(Form->Document(), Header("1234AB", "20"));
    QVERIFY(!Form->ShowingPage());
    QVERIFY(Shown().isEmpty());
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("again"), QStringLiteral("Bob"));
    QCOMPARE(Shown(), QStringLiteral("Bob: again"));
}

// Lines are added to the view one by one; redrawing it from the document must
// give the same text, line for line, and the view stays scrolled to the end.
void TestChat::viewLinesMatchAFullRedraw()
{
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    for (int i = 0; i < 40; ++i) {
        const QString n = QString::number(i);
        Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("line ") + n,
                             QStringLiteral("Bob"));
        Form->ReceiveMessage(F->Core.get(), true, QStringLiteral("note ") + n,
                             QStringLiteral("Srv"));
        Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("\u00B8\u00B8\u00B8host ") + n,
                             QStringLiteral("H"));
        Form->ChatEdit->setPlainText(QStringLiteral("mine ") + n);
        Form->SendButtonClick();
    }
    const QString incremental = Shown();
    QCOMPARE(Form->HTMLBrowser->document()->blockCount(), 160);
    QCOMPARE(Form->HTMLBrowser->document()->lastBlock().text(), QStringLiteral("Alice: mine 39"));
    const QScrollBar* bar = Form->HTMLBrowser->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    Form->ApplyColor();

    QCOMPARE(Shown(), incremental);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestChat::savedFileIsTheDocument()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chat.html"));
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("first"), QStringLiteral("Bob"));
    QVERIFY(Form->SaveDocument(path));
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("second"), QStringLiteral("Bob"));

    QVERIFY(Form->SaveDocument(path)); // overwrites

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QCOMPARE(saved, Form->Document());
    QVERIFY(saved.startsWith(Header()));
    QVERIFY(saved.endsWith("second</B></FONT><BR>"));
    QVERIFY(!saved.toLower().contains("</body"));
    QVERIFY(!saved.toLower().contains("</html"));
}

void TestChat::failedSaveIsReported()
{
    TKrMessageDlg::InstallScript([](const TShownMessage&) { return int(mrOk); });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/chat.html"));
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("first"), QStringLiteral("Bob"));
    const QByteArray document = Form->Document();

    QVERIFY(!Form->SaveDocument(path));

    const QList<TShownMessage> shown = TKrMessageDlg::ShownMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].DlgType, mtError);
    QVERIFY(shown[0].Text.contains(path));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(Form->Document(), document);
}

void TestChat::saveDialogOffersChatHtml()
{
    QTemporaryDir dir;
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("first"), QStringLiteral("Bob"));
    QString offered;
    WhenModal([&](QWidget* Dialog) {
        auto dialog = qobject_cast<QFileDialog*>(Dialog);
        if (!dialog) {
            Dialog->close();
            return;
        }
        offered = dialog->selectedFiles().value(0);
        dialog->setDirectory(dir.path());
        dialog->selectFile(QStringLiteral("chat.html"));
        static_cast<QDialog*>(dialog)->accept();
    });

    Form->SaveButtonClick();

    QCOMPARE(QFileInfo(offered).fileName(), QStringLiteral("chat.html"));
    QFile file(dir.filePath(QStringLiteral("chat.html")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), Form->Document());
}

void TestChat::chatActionFollowsTheWindow()
{
    QAction action;
    action.setCheckable(true);
    Form->ChatAction = &action;

    Form->show();
    QVERIFY(action.isChecked());
    Form->close();
    QVERIFY(!action.isChecked());
    Form->ReceiveMessage(F->Core.get(), false, QStringLiteral("x"), QStringLiteral("Bob"));
    QVERIFY(action.isChecked());
}

QTEST_MAIN(TestChat)
#include "tst_chat.moc"
