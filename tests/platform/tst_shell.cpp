#include "platform/Shell.h"

#include <QDir>
#include <QTest>
#include <QUrl>

class TestShell : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void opensWebMailAndFileTargets_data();
    void opensWebMailAndFileTargets();
    void refusesOtherTargets_data();
    void refusesOtherTargets();

private:
    QStringList FOpened;
};

void TestShell::init()
{
    FOpened.clear();
    TShell::InstallRecorder([this](const QString& Target, bool Hidden) {
        FOpened << Target + (Hidden ? QStringLiteral(" hidden") : QString());
    });
}

void TestShell::cleanup()
{
    TShell::RemoveRecorder();
}

void TestShell::opensWebMailAndFileTargets_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("https") << QStringLiteral("https://www.pellory.example/register?x=1") << false;
    QTest::newRow("http, upper-case scheme") << QStringLiteral("HTTP://example.org/") << false;
    QTest::newRow("mailto") << QStringLiteral("mailto:help@pellory.example") << false;
    QTest::newRow("file url") << QUrl::fromLocalFile(QDir::tempPath()).toString() << false;
    QTest::newRow("absolute path, hidden") << QDir::tempPath() + QStringLiteral("/hw.bat") << true;
    QTest::newRow("relative path") << QStringLiteral("chat.html") << false;
}

void TestShell::opensWebMailAndFileTargets()
{
    QFETCH(QString, target);
    QFETCH(bool, hidden);
    QVERIFY(TShell::Open(target, hidden));
    QCOMPARE(FOpened, QStringList{target + (hidden ? QStringLiteral(" hidden") : QString())});
}

void TestShell::refusesOtherTargets_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << QStringLiteral("   ");
    QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)");
    QTest::newRow("ftp") << QStringLiteral("ftp://example.org/file");
    QTest::newRow("smb") << QStringLiteral("smb://host/share");
    QTest::newRow("custom handler") << QStringLiteral("pellory:call?addr=bob");
    QTest::newRow("data") << QStringLiteral("data:text/html,<b>x</b>");
    QTest::newRow("http without host") << QStringLiteral("http:relative");
    QTest::newRow("mailto without address") << QStringLiteral("mailto:");
    QTest::newRow("malformed") << QStringLiteral("https://exa mple.org/");
}

void TestShell::refusesOtherTargets()
{
    QFETCH(QString, target);
    QVERIFY(!TShell::Open(target));
    QVERIFY(FOpened.isEmpty());
    // The recorder is no way around the checks: without it nothing opens either.
    TShell::RemoveRecorder();
    QVERIFY(!TShell::Open(target));
}

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
