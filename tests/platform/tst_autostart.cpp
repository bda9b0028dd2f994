#include "TestSupport.h"
#include "platform/Autostart.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QString ReadEntry(const QString& Path)
{
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString ExecOf(const QString& Entry)
{
    for (const QString& line : Entry.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("Exec=")))
            return line.mid(5);
    return {};
}

QStringList AutostartEntries()
{
    return QDir(TPaths::AutostartDir()).entryList(QDir::Files | QDir::Hidden);
}

bool MakeFile(const QString& Path)
{
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile file(Path);
    return file.open(QIODevice::WriteOnly);
}

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT
private slots:
    void init() { FRoot = std::make_unique<TTestPlatformRoot>(); }
    void cleanup() { FRoot.reset(); }

    void runValuesHaveADesktopEntry();
    void onlyTextValuesOfTheUsersRunKeyAreMirrored();
    void execQuotesTheProgramPath_data();
    void execQuotesTheProgramPath();

private:
    std::unique_ptr<TTestPlatformRoot> FRoot;
};

void TestAutostart::runValuesHaveADesktopEntry()
{
    const QString program = FRoot->Path() + QStringLiteral("/bin/Tavrilo");
    QVERIFY(MakeFile(program));

    TRegistry registry(HKEY_CURRENT_USER);
    // Key and value names are matched as the registry matches them.
    QVERIFY(registry.OpenKey(QStringLiteral("\\SOFTWARE\\microsoft\\Windows\\CurrentVersion\\RUN"),
                             true));
    QVERIFY(registry.WriteString(QStringLiteral("Tavrilo"), program + QStringLiteral(" /m")));
    QCOMPARE(AutostartEntries(), QStringList{QStringLiteral("Tavrilo.desktop")});
    QCOMPARE(ReadEntry(TAutostart::EntryFile(QStringLiteral("Tavrilo"))),
             QStringLiteral("[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Tavrilo\n"
                            "Exec=\"%1\" /m\n"
                            "X-GNOME-Autostart-enabled=true\n")
                 .arg(program));

    // The same value under another spelling keeps its one entry.
    QVERIFY(registry.WriteString(QStringLiteral("TAVRILO"), program));
    QCOMPARE(AutostartEntries(), QStringList{QStringLiteral("Tavrilo.desktop")});
    QCOMPARE(ExecOf(ReadEntry(TAutostart::EntryFile(QStringLiteral("Tavrilo")))),
             QStringLiteral("\"%1\"").arg(program));

    QVERIFY(registry.DeleteValue(QStringLiteral("tavrilo")));
    QVERIFY(AutostartEntries().isEmpty());

    // A value name is no path: it cannot place an entry outside the folder.
    QVERIFY(registry.WriteString(QStringLiteral("../../evil"), program));
    QCOMPARE(AutostartEntries(), QStringList{QStringLiteral("..%2F..%2Fevil.desktop")});
    QVERIFY(registry.DeleteValue(QStringLiteral("../../evil")));
    QVERIFY(AutostartEntries().isEmpty());
}

void TestAutostart::onlyTextValuesOfTheUsersRunKeyAreMirrored()
{
    const QString runKey = QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    TRegistry machine(HKEY_LOCAL_MACHINE);
    QVERIFY(machine.OpenKey(runKey, true));
    QVERIFY(machine.WriteString(QStringLiteral("Machine"), QStringLiteral("/bin/true")));

    TRegistry user(HKEY_CURRENT_USER);
    QVERIFY(user.OpenKey(runKey + QStringLiteral("\\Below"), true));
    QVERIFY(user.WriteString(QStringLiteral("Below"), QStringLiteral("/bin/true")));
    QVERIFY(user.OpenKey(runKey, true));
    QVERIFY(user.WriteString(QString(), QStringLiteral("/bin/true"))); // the key's default value
    QVERIFY(AutostartEntries().isEmpty());

    // A text value turned into a number no longer starts anything.
    QVERIFY(user.WriteExpandString(QStringLiteral("Tool"), QStringLiteral("/bin/true")));
    QCOMPARE(AutostartEntries(), QStringList{QStringLiteral("Tool.desktop")});
    QVERIFY(user.WriteInteger(QStringLiteral("Tool"), 1));
    QVERIFY(AutostartEntries().isEmpty());

    // Deleting a value that is not there changes nothing.
    QVERIFY(!user.DeleteValue(QStringLiteral("Missing")));
    QVERIFY(AutostartEntries().isEmpty());
}

void TestAutostart::execQuotesTheProgramPath_data()
{
    // Files to create below the root, the Run command, and the Exec line as
    // written in the file ("@" stands for the root).
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("exec");

    QTest::newRow("path with spaces") << QStringList{"my app/Tavrilo"} << "@/my app/Tavrilo /m"
                                      << "\"@/my app/Tavrilo\" /m";
    QTest::newRow("longest existing prefix wins") << QStringList{"a", "a b"} << "@/a b /m"
                                                  << "\"@/a b\" /m";
    QTest::newRow("quoted command") << QStringList{"my app/Tavrilo"} << "\"@/my app/Tavrilo\" /m"
                                    << "\"@/my app/Tavrilo\" /m";
    // Inside quotes " ` $ \ take a backslash, then every backslash of the
    // value is doubled; % is doubled as it starts field codes.
    QTest::newRow("characters that need escapes")
        << QStringList{"d $x `y` \"q\" b\\s 5%/Tavrilo"} << "@/d $x `y` \"q\" b\\s 5%/Tavrilo /m"
        << "\"@/d \\\\$x \\\\`y\\\\` \\\\\"q\\\\\" b\\\\\\\\s 5%%/Tavrilo\" /m";
    QTest::newRow("arguments with reserved characters are quoted")
        << QStringList{"Tavrilo"} << "@/Tavrilo /m a;b"
        << "\"@/Tavrilo\" /m \"a;b\"";
    QTest::newRow("no such file: the whole text is the program")
        << QStringList{} << "@/gone/Tavrilo /m"
        << "\"@/gone/Tavrilo /m\"";
}

void TestAutostart::execQuotesTheProgramPath()
{
    QFETCH(QStringList, files);
    QFETCH(QString, command);
    QFETCH(QString, exec);
    const QString root = FRoot->Path();
    for (const QString& file : files)
        QVERIFY(MakeFile(root + QLatin1Char('/') + file));

    QVERIFY(TAutostart::WriteEntry(QStringLiteral("Tavrilo"), command.replace('@', root)));
    QCOMPARE(ExecOf(ReadEntry(TAutostart::EntryFile(QStringLiteral("Tavrilo")))),
             exec.replace('@', root));
}

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
