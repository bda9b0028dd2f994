#include "NetworkOptions.h"
#include "TestSupport.h"

#include <QFile>
#include <QTest>

class TestNetworkOptions : public QObject
{
    Q_OBJECT
private slots:
    void keptBetweenRunsAndPrivate();
    void outOfRangeValuesAreRefused();
};

void TestNetworkOptions::keptBetweenRunsAndPrivate()
{
    TTestPlatformRoot root;
    const QString file = root.Path() + QStringLiteral("/network.json");
    {
        TNetworkOptions options(file);
        QVERIFY(options.SetProxy({2, "proxy.example", 3128, "user", "s\xe9\x63ret"}));
        QVERIFY(options.SetConnectionMode(2));
        QVERIFY(options.SetNetType(5));
        QVERIFY(options.SetManualPort(4000));
    }
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                                      QFile::WriteOther;
    QVERIFY(!(QFile::permissions(file) & others)); // it holds the proxy password

    const TNetworkOptions options(file);
    QCOMPARE(options.Proxy().Address, QByteArray("proxy.example"));
    QCOMPARE(options.Proxy().Port, uint16_t(3128));
    QCOMPARE(options.Proxy().Password, QByteArray("s\xe9\x63ret"));
    QCOMPARE(options.ConnectionMode(), 2);
    QCOMPARE(options.NetType(), 5);
    QCOMPARE(options.ManualPort(), uint16_t(4000));
}

void TestNetworkOptions::outOfRangeValuesAreRefused()
{
    TTestPlatformRoot root;
    TNetworkOptions options(root.Path() + QStringLiteral("/network.json"));
    QVERIFY(!options.SetConnectionMode(-1));
    QVERIFY(!options.SetConnectionMode(TNetworkOptions::MaxConnectionMode + 1));
    QVERIFY(!options.SetNetType(6));
    QVERIFY(!options.SetProxy({1, QByteArray(256, 'a'), 80, {}, {}}));
    QCOMPARE(options.Proxy().Address, QByteArray());
    QCOMPARE(options.NetType(), 0);
}

QTEST_GUILESS_MAIN(TestNetworkOptions)
#include "tst_networkoptions.moc"
