#include "startup/StartupValues.h"

#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("serverName");
    QTest::addColumn<QString>("serverAddress");
    QTest::addColumn<QString>("serverPort");
    QTest::addColumn<QString>("serverFile");
    QTest::addColumn<bool>("startHidden");
    QTest::addColumn<bool>("automationStart");

    QTest::newRow("nothing") << QStringList{} << "" << "" << "" << "" << false << false;
    QTest::newRow("all switches")
        << QStringList{"/serv", "main", "/servip", "10.0.0.1", "/port", "4000", "/f", "s.ini", "/m"}
        << "main" << "10.0.0.1" << "4000" << "s.ini" << true << false;
    QTest::newRow("a value may look like a switch")
        << QStringList{"/serv", "abc", "/port", "/m"} << "abc" << "" << "/m" << "" << false << false;
    QTest::newRow("switches are case-sensitive")
        << QStringList{"/F", "x", "/SERV", "y", "/M"} << "" << "" << "" << "" << false << false;
    QTest::newRow("only whole arguments are switches")
        << QStringList{"/serv=abc", "/mm", "-m", "/serv abc"} << "" << "" << "" << "" << false
        << false;
    QTest::newRow("a value switch given last sets nothing")
        << QStringList{"/serv"} << "" << "" << "" << "" << false << false;
    QTest::newRow("the later of two wins")
        << QStringList{"/serv", "one", "/serv", "two"} << "two" << "" << "" << "" << false << false;
    QTest::newRow("unused values are consumed")
        << QStringList{"/p", "/m", "/t", "/serv", "x"} << "" << "" << "" << "" << false << false;
    QTest::newRow("unknown arguments are ignored")
        << QStringList{"--help", "", "/serv", "", "ünï"} << "" << "" << "" << "" << false << false;
    QTest::newRow("automation start")
        << QStringList{"-Embedding"} << "" << "" << "" << "" << false << true;
    QTest::newRow("a value is never the automation switch")
        << QStringList{"/f", "/Embedding"} << "" << "" << "" << "/Embedding" << false << false;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    const TStartupValues values = ParseCommandLine(arguments);
    QTEST(values.ServerName, "serverName");
    QTEST(values.ServerAddress, "serverAddress");
    QTEST(values.ServerPort, "serverPort");
    QTEST(values.ServerFile, "serverFile");
    QTEST(values.StartHidden, "startHidden");
    QTEST(values.AutomationStart, "automationStart");
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
