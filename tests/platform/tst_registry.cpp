#include "TestSupport.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestRegistry : public QObject
{
    Q_OBJECT
private slots:
    void init() { FRoot = std::make_unique<TTestPlatformRoot>(); }
    void cleanup() { FRoot.reset(); }

    void typedValuesPersist();
    void namesIgnoreCaseAndHivesAreSeparate();
    void keysOpenCreateAndDelete();
    void readOnlyKeysRefuseWrites();
    void damagedHiveIsKeptAsideAndReplacedByAnEmptyOne();

private:
    std::unique_ptr<TTestPlatformRoot> FRoot;
};

void TestRegistry::typedValuesPersist()
{
    {
        TRegistry registry;
        QVERIFY(registry.OpenKey(QStringLiteral("\\Software\\Orvanta\\Tavrilo"), true));
        QVERIFY(registry.WriteString(QStringLiteral("Name"), QStringLiteral("Zoë \"x\"")));
        QVERIFY(registry.WriteExpandString(QStringLiteral("Path"), QStringLiteral("%HOME%/x")));
        QVERIFY(registry.WriteInteger(QStringLiteral("Initialized"), 0xFFFFFFFFu));
        QVERIFY(registry.WriteBinaryData(QStringLiteral("Blob"), QByteArray("\0\1\2\xff", 4)));
        QVERIFY(registry.WriteString(QString(), QStringLiteral("default value")));
    }
    QVERIFY(TRegistry::HiveFile(HKEY_CURRENT_USER).startsWith(FRoot->Path()));

    TRegistry registry; // a new object reads what the file holds
    QVERIFY(registry.OpenKeyReadOnly(QStringLiteral("Software\\Orvanta\\Tavrilo")));
    QCOMPARE(registry.ReadString(QStringLiteral("Name")), QStringLiteral("Zoë \"x\""));
    QCOMPARE(registry.GetDataType(QStringLiteral("Path")), TRegDataType::rdExpandString);
    QCOMPARE(registry.ReadString(QStringLiteral("Path")), QStringLiteral("%HOME%/x"));
    QCOMPARE(registry.ReadInteger(QStringLiteral("Initialized")), 0xFFFFFFFFu);
    QCOMPARE(registry.ReadBinaryData(QStringLiteral("Blob")), QByteArray("\0\1\2\xff", 4));
    QCOMPARE(registry.ReadString(QString()), QStringLiteral("default value"));

    // A value of another type, or none, reads as nothing.
    QVERIFY(!registry.ReadInteger(QStringLiteral("Name")));
    QVERIFY(!registry.ReadString(QStringLiteral("Initialized")));
    QVERIFY(!registry.ReadString(QStringLiteral("Missing")));
    QCOMPARE(registry.GetDataType(QStringLiteral("Missing")), TRegDataType::rdUnknown);
}

void TestRegistry::namesIgnoreCaseAndHivesAreSeparate()
{
    TRegistry user(HKEY_CURRENT_USER);
    QVERIFY(user.OpenKey(QStringLiteral("\\Software\\Run"), true));
    QVERIFY(user.WriteString(QStringLiteral("Tavrilo"), QStringLiteral("one")));
    QVERIFY(user.WriteString(QStringLiteral("TAVRILO"), QStringLiteral("two"))); // same value
    QCOMPARE(user.GetValueNames(), QStringList{QStringLiteral("Tavrilo")});
    QCOMPARE(user.ReadString(QStringLiteral("tavrilo")), QStringLiteral("two"));
    QVERIFY(user.KeyExists(QStringLiteral("\\SOFTWARE\\run")));

    TRegistry machine(HKEY_LOCAL_MACHINE);
    QVERIFY(!machine.KeyExists(QStringLiteral("\\Software\\Run")));
    QVERIFY(TRegistry::HiveFile(HKEY_LOCAL_MACHINE) != TRegistry::HiveFile(HKEY_CLASSES_ROOT));

    QVERIFY(user.DeleteValue(QStringLiteral("TaVrIlO")));
    QVERIFY(!user.ValueExists(QStringLiteral("Tavrilo")));
    QVERIFY(!user.DeleteValue(QStringLiteral("Tavrilo"))); // nothing left to delete
}

void TestRegistry::keysOpenCreateAndDelete()
{
    TRegistry registry(HKEY_CLASSES_ROOT);
    QVERIFY(!registry.OpenKey(QStringLiteral("pellory"), false));
    QVERIFY(registry.OpenKey(QStringLiteral("pellory"), true));
    QVERIFY(registry.OpenKey(QStringLiteral("shell\\open\\command"), true)); // relative
    QCOMPARE(registry.CurrentPath(), QStringLiteral("pellory\\shell\\open\\command"));
    QVERIFY(registry.WriteString(QString(), QStringLiteral("krrundll x")));
    registry.CloseKey();

    QVERIFY(registry.OpenKey(QStringLiteral("\\pellory\\shell"), false));
    QCOMPARE(registry.GetKeyNames(), QStringList{QStringLiteral("open")});

    QVERIFY(registry.DeleteKey(QStringLiteral("\\pellory")));
    QVERIFY(!registry.KeyExists(QStringLiteral("\\pellory\\shell\\open\\command")));
    QVERIFY(!registry.DeleteKey(QStringLiteral("\\pellory")));
}

void TestRegistry::readOnlyKeysRefuseWrites()
{
    TRegistry registry;
    QVERIFY(registry.OpenKey(QStringLiteral("\\Software\\X"), true));
    QVERIFY(registry.WriteInteger(QStringLiteral("A"), 1));
    QVERIFY(registry.OpenKeyReadOnly(QStringLiteral("\\Software\\X")));
    QVERIFY(!registry.WriteInteger(QStringLiteral("A"), 2));
    QVERIFY(!registry.DeleteValue(QStringLiteral("A")));
    QCOMPARE(registry.ReadInteger(QStringLiteral("A")), 1u);

    registry.CloseKey();
    QVERIFY(!registry.WriteInteger(QStringLiteral("A"), 3)); // no key open
}

void TestRegistry::damagedHiveIsKeptAsideAndReplacedByAnEmptyOne()
{
    const QString file = TRegistry::HiveFile(HKEY_CURRENT_USER);
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile damaged(file);
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("{\"keys\": {\"Software\": "); // cut off mid-write
    damaged.close();

    TRegistry registry;
    QVERIFY(!registry.KeyExists(QStringLiteral("\\Software")));
    const QStringList aside =
        QFileInfo(file).dir().entryList({QFileInfo(file).fileName() + QStringLiteral(".damaged-*")});
    QCOMPARE(aside.size(), 1);

    // The program goes on with an empty hive that it can write again.
    QVERIFY(registry.OpenKey(QStringLiteral("\\Software"), true));
    QVERIFY(registry.WriteInteger(QStringLiteral("Initialized"), 1));
    QCOMPARE(TRegistry().KeyExists(QStringLiteral("\\Software")), true);
}

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
