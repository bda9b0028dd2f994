#include "ModalSupport.h"
#include "engine/KrCoreFixture.h"
#include "setup/Authentication.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <array>
#include <cstring>

namespace {

// An engine buffer: the text, a zero, then filler bytes that must survive.
using TBuffer = std::array<char, KR_PROXY_TEXT_SIZE>;
TBuffer Buffer(const QByteArray& Text)
{
    TBuffer buffer;
    buffer.fill('\x7f');
    std::memcpy(buffer.data(), Text.constData(), size_t(Text.size()));
    buffer[size_t(Text.size())] = '\0';
    return buffer;
}

QByteArray TextOf(const TBuffer& Buffer)
{
    return QByteArray(Buffer.data(), qstrnlen(Buffer.data(), Buffer.size()));
}

void WhenAuthenticationOpen(std::function<void(TAuthenticationForm* Form)> Action)
{
    WhenModal([Action](QWidget* Dialog) {
        auto form = qobject_cast<TAuthenticationForm*>(Dialog);
        QPointer<TAuthenticationForm> guard = form;
        if (form)
            Action(form);
        QTimer::singleShot(3000, qApp, [guard] {
            if (guard)
                guard->done(-1);
        });
    });
}

} // namespace

class TestAuthentication : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void refusingLeavesTheBuffersAlone_data();
    void refusingLeavesTheBuffersAlone();
    void okWritesTheEnteredTextsBack();
    void unterminatedBufferIsReadWithinItsSize();
    void longEntriesAreCutToTheEditLimit_data();
    void longEntriesAreCutToTheEditLimit();
    void saveStoresTheWholeProxySet();

private:
    std::unique_ptr<TKrCoreFixture> F;
};

void TestAuthentication::init()
{
    F = std::make_unique<TKrCoreFixture>();
    F->Start();
}

void TestAuthentication::cleanup()
{
    F.reset();
}

void TestAuthentication::refusingLeavesTheBuffersAlone_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("window frame") << 2;
}

void TestAuthentication::refusingLeavesTheBuffersAlone()
{
    QFETCH(int, way);
    F->Core->FPOptions.UserName = QStringLiteral("kept");
    TBuffer user = Buffer("proxyuser"), password = Buffer("old");
    const TBuffer userBefore = user, passwordBefore = password;
    int dialogResult = -1;
    QString shownUser, shownPassword;
    WhenAuthenticationOpen([&](TAuthenticationForm* Form) {
        shownUser = Form->UserEdit->text();
        shownPassword = Form->PasswordEdit->text();
        Form->UserEdit->setText(QStringLiteral("typed"));
        Form->SavePropBox->setChecked(true);
        if (way == 0)
            QTest::mouseClick(Form->TeButton2, Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(Form->UserEdit, Qt::Key_Escape);
        else
            Form->close();
        dialogResult = Form->DialogResult;
    });
    QCOMPARE(RunProxyAuthentication(*F->Core, user.data(), password.data()), 0);
    QCOMPARE(shownUser, QStringLiteral("proxyuser"));
    QCOMPARE(shownPassword, QStringLiteral("old"));
    QCOMPARE(dialogResult, way == 2 ? 0 : 2);
    QCOMPARE(user, userBefore);
    QCOMPARE(password, passwordBefore);
    QCOMPARE(F->Core->FPOptions.UserName, QStringLiteral("kept"));
    QVERIFY(TOrvantaFake::Calls("KrSetProxySet").isEmpty());
}

void TestAuthentication::okWritesTheEnteredTextsBack()
{
    TBuffer user = Buffer("proxyuser"), password = Buffer("old");
    WhenAuthenticationOpen([&](TAuthenticationForm* Form) {
        Form->PasswordEdit->setText(QStringLiteral("nöw"));
        QTest::mouseClick(Form->TeButton1, Qt::LeftButton);
    });
    QCOMPARE(RunProxyAuthentication(*F->Core, user.data(), password.data()), 2);
    QCOMPARE(F->Core->FPOptions.UserName, QStringLiteral("proxyuser"));
    QCOMPARE(F->Core->FPOptions.Password, QStringLiteral("nöw"));
    QCOMPARE(TextOf(user), QByteArray("proxyuser"));
    QCOMPARE(TextOf(password), QStringLiteral("nöw").toUtf8());
    QVERIFY(TOrvantaFake::Calls("KrSetProxySet").isEmpty());
}

void TestAuthentication::unterminatedBufferIsReadWithinItsSize()
{
    TBuffer user, password = Buffer("pw");
    user.fill('u');
    QString shown;
    WhenAuthenticationOpen([&](TAuthenticationForm* Form) {
        shown = Form->UserEdit->text();
        Form->reject();
    });
    QCOMPARE(RunProxyAuthentication(*F->Core, user.data(), password.data()), 0);
    QCOMPARE(shown, QString(TAuthenticationForm::MaxTextLength, QLatin1Char('u')));
}

void TestAuthentication::longEntriesAreCutToTheEditLimit_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("written");
    QTest::newRow("ascii") << QString(100, QLatin1Char('a')) << QString(63, QLatin1Char('a'));
    QTest::newRow("two-byte characters") << QString(100, QChar(0xE9)) << QString(63, QChar(0xE9));
    // The edit keeps 63 UTF-16 units; half a surrogate pair is not written.
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("four-byte characters") << face.repeated(40) << face.repeated(31);
}

void TestAuthentication::longEntriesAreCutToTheEditLimit()
{
    QFETCH(QString, entry);
    QFETCH(QString, written);
    TBuffer user = Buffer("u"), password = Buffer("p");
    WhenAuthenticationOpen([&](TAuthenticationForm* Form) {
        Form->UserEdit->setText(entry);
        Form->PasswordEdit->setText(entry);
        Form->TeButton1Click();
    });
    QCOMPARE(RunProxyAuthentication(*F->Core, user.data(), password.data()), 2);
    const QByteArray bytes = written.toUtf8();
    QCOMPARE(TextOf(user), bytes);
    QCOMPARE(TextOf(password), bytes);
    // Nothing past the terminating zero was touched.
    QCOMPARE(user[size_t(bytes.size()) + 1], '\x7f');
    QCOMPARE(user.back(), '\x7f');
}

void TestAuthentication::saveStoresTheWholeProxySet()
{
    TFakeProxy proxy;
    proxy.ProxyType = 2;
    proxy.Address = "proxy.example";
    proxy.Port = 8080;
    proxy.UserName = "stored";
    proxy.Password = "storedpw";
    TOrvantaFake::SetProxy(proxy);
    TBuffer user = Buffer(""), password = Buffer("");
    WhenAuthenticationOpen([&](TAuthenticationForm* Form) {
        Form->UserEdit->setText(QStringLiteral("typed"));
        Form->PasswordEdit->setText(QStringLiteral("typedpw"));
        Form->SavePropBox->setChecked(true);
        QTest::keyClick(Form->PasswordEdit, Qt::Key_Return);
    });
    QCOMPARE(RunProxyAuthentication(*F->Core, user.data(), password.data()), 2);
    const QList<TFakeCall> stored = TOrvantaFake::Calls("KrSetProxySet");
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0].Args.value(0).toList(),
             QVariantList({2, QByteArray("proxy.example"), 8080, QByteArray("typed"),
                           QByteArray("typedpw")}));
    QVERIFY(!F->Core->FPOptions.bCanSavePassword);
    QCOMPARE(TextOf(user), QByteArray("typed"));
    QCOMPARE(TextOf(password), QByteArray("typedpw"));
}

QTEST_MAIN(TestAuthentication)
#include "tst_authentication.moc"
